#include "geometry/solid_faces.hpp"

#include "geometry/clean.hpp"
#include "geometry/coplanar_faces.hpp"
#include "geometry/orient.hpp"

namespace velmarin {

Result<Mesh> welded_solid_faces(const Mesh& faces, double weld) {
    // Corners repeated for every face they bound are made one first, so that
    // faces are wound and merged across the corners they share.
    Result<Mesh> merged = merge_equal_vertices(faces);
    if (!merged.ok()) return merged;
    Result<Mesh> outward = orient_outward(merged.value());
    if (!outward.ok()) return outward;
    Result<Mesh> planar = merge_coplanar_faces(outward.value());
    if (!planar.ok()) return planar;
    return clean_mesh(planar.value(), weld);
}

}  // namespace velmarin
