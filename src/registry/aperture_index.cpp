#include "registry/aperture_index.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "core/fault.hpp"
#include "core/rounding.hpp"
#include "geometry/vector_ops.hpp"
#include "planar/rectangle.hpp"

namespace velmarin {

namespace {

// Distance of the face's farthest vertex from its own plane.
double flatness(const Mesh& mesh, const Face& face, const FacePlane& plane) {
    double worst = 0.0;
    for (std::uint64_t index : face) {
        worst = std::fmax(worst, std::fabs(dot(plane.normal, checked(mesh.vertices, index)) + plane.offset));
    }
    return worst;
}

// A normal and its opposite pass the plane tests alike, so clusters hold
// normals turned to a common side.
Vector3D turned(const Vector3D& n) {
    const double lead = n.x != 0.0 ? n.x : (n.y != 0.0 ? n.y : n.z);
    return lead < 0.0 ? Vector3D{-n.x, -n.y, -n.z} : n;
}

std::array<std::int64_t, 3> cluster_key(const Vector3D& n) {
    constexpr double cells = 0x1p20;
    return {round_saturating(n.x * cells), round_saturating(n.y * cells), round_saturating(n.z * cells)};
}

double distance_up_to_sign(const Vector3D& a, const Vector3D& b) {
    return std::fmin(length(minus(a, b)), length(Vector3D{a.x + b.x, a.y + b.y, a.z + b.z}));
}

// Whether the projection of a 3D box along `axis` meets [low, high]. The
// projection of a box's centre c and half-sizes h is c.axis +- sum |axis_i| h_i.
bool meets(const Bounds& box, const Vector3D& origin, const Vector3D& axis, double low, double high) {
    const Vector3D centre{(box.lower.x + box.upper.x) * 0.5 - origin.x, (box.lower.y + box.upper.y) * 0.5 - origin.y,
                          (box.lower.z + box.upper.z) * 0.5 - origin.z};
    const Vector3D half{(box.upper.x - box.lower.x) * 0.5, (box.upper.y - box.lower.y) * 0.5,
                        (box.upper.z - box.lower.z) * 0.5};
    const double middle = dot(centre, axis);
    const double spread = std::fabs(axis.x) * half.x + std::fabs(axis.y) * half.y + std::fabs(axis.z) * half.z;
    const double slack = 1e-9 * (1.0 + std::fabs(middle) + spread + std::fmax(std::fabs(low), std::fabs(high)));
    return middle + spread >= low - slack && middle - spread <= high + slack;
}

}  // namespace

ApertureIndex::ApertureIndex(const std::vector<Mesh>& apertures, double tolerance)
    : tolerance_(tolerance), tree_(index_faces(apertures)) {}

void ApertureIndex::add_face(const Mesh& mesh, std::size_t face, std::vector<BoxIndex::Entry>& entries) {
    const FacePlane plane = face_plane(mesh, face);
    // A plane with a non-finite part fails every plane test.
    if (!plane.valid || !is_finite(plane.normal) || !std::isfinite(plane.offset)) return;
    const Face& indices = mesh.faces[face];
    Bounds box;
    for (std::uint64_t index : indices) {
        const Vector3D& q = checked(mesh.vertices, index);
        box.add(q);
        radius_ = std::fmax(radius_, dot(q, q));  // squared until all are in
    }
    entries.push_back({box.grown(flatness(mesh, indices, plane)), faces_.size()});
    faces_.push_back({&mesh, face, plane, box});
}

std::vector<BoxIndex::Entry> ApertureIndex::index_faces(const std::vector<Mesh>& apertures) {
    std::vector<BoxIndex::Entry> entries;
    for (const Mesh& mesh : apertures) {
        for (std::size_t g = 0; g < mesh.faces.size(); ++g) add_face(mesh, g, entries);
    }
    radius_ = std::sqrt(radius_);
    std::map<std::array<std::int64_t, 3>, std::size_t> clusters;
    std::array<std::int64_t, 3> last_key{};
    std::size_t last = 0;
    for (const ApertureFace& face : faces_) {
        const Vector3D normal = turned(face.plane.normal);
        const std::array<std::int64_t, 3> key = cluster_key(normal);
        if (clusters_.empty() || key != last_key) {  // neighbouring faces mostly share their normal
            auto [place, added] = clusters.try_emplace(key, clusters_.size());
            if (added) clusters_.push_back({normal, 0.0});
            last_key = key;
            last = place->second;
        }
        NormalCluster& cluster = checked(clusters_, last);
        cluster.spread = std::fmax(cluster.spread, length(minus(normal, cluster.normal)));
    }
    return entries;
}

double ApertureIndex::reach(const ContactFace& face) const {
    const Vector3D& n = face.plane.normal;
    // Normals that pass the angle test lie within sqrt(2 tol) of n or -n.
    const double limit = std::sqrt(2.0 * tolerance_ + 1e-12) + 1e-9;
    double tilt = -1.0;
    for (const NormalCluster& cluster : clusters_) {
        const double apart = distance_up_to_sign(n, cluster.normal);
        if (apart - cluster.spread > limit) continue;
        tilt = std::fmax(tilt, apart + cluster.spread);
    }
    if (tilt < 0.0) return -1.0;
    const double own_flatness = flatness(face.mesh, face.face, face.plane);
    const double slack = 1e-9 * (1.0 + radius_ + face.box.magnitude());
    return own_flatness + tolerance_ + tilt * radius_ + slack;
}

void ApertureIndex::gather(const MultiPolygon2D& region, const ContactFace& face, std::vector<std::size_t>& out) const {
    const double distance = reach(face);
    if (distance < 0.0) return;
    const Rectangle2D extent = rectangle_of(region);
    const PlaneFrame& frame = face.frame;
    tree_.query(face.box.grown(distance + std::fabs(face.depth)), [&](std::uint64_t k) {
        const ApertureFace& candidate = checked(faces_, k);
        if (!plane_between(face.plane, candidate.plane, tolerance_, face.depth)) return;
        if (extent.finite && !(meets(candidate.box, frame.origin, frame.u, extent.min_x, extent.max_x) &&
                               meets(candidate.box, frame.origin, frame.v, extent.min_y, extent.max_y))) {
            return;
        }
        out.push_back(k);
    });
    std::sort(out.begin(), out.end());
}

void ApertureIndex::cut(MultiPolygon2D& region, const ContactFace& face) const {
    if (region.empty() || faces_.empty()) return;
    std::vector<std::size_t> reaching;
    gather(region, face, reaching);
    for (std::size_t k : reaching) {
        const ApertureFace& hole = faces_[k];
        const Polygon2D polygon = project_face(hole.mesh->vertices, hole.mesh->faces[hole.face], face.frame.origin,
                                               face.frame.u, face.frame.v);
        region = polygon_boolean(region, polygon, BooleanOp::Difference);
        if (region.empty()) return;
    }
}

}  // namespace velmarin
