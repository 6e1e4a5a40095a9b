// The 2D polygon layer under contact detection and the extruded join.
//
// Planar faces are compared as 2D regions: a face is projected into a plane
// frame (`project_face`), regions are combined with the polygon overlay
// library (`polygon_boolean`) and measured (`unsigned_area`,
// `polygon_signed_area`, `area_centroid`).
//
// Rings as this layer builds them are closed: a non-empty ring ends with a
// repeat of its first point. Regions follow the even-odd rule: a point is
// inside when an odd number of a polygon set's rings enclose it, whatever
// the direction of the rings, so a hole ring inside an exterior cuts it out
// and a face run backwards encloses the same region as the face itself.
//
// Every function here is pure and may run on several threads at once.
#pragma once

#include <vector>

#include "geometry/mesh.hpp"
#include "geometry/vector.hpp"

namespace velmarin {

struct Point2D {
    double x = 0.0;
    double y = 0.0;
};

using Ring = std::vector<Point2D>;

struct Polygon2D {
    Ring exterior;
    std::vector<Ring> holes;
};

using MultiPolygon2D = std::vector<Polygon2D>;

// The codes are fixed: callers may store or pass them as integers.
enum class BooleanOp : int { Intersection = 0, Union = 1, Difference = 2, Xor = 3 };

// ((p - origin) . eu, (p - origin) . ev): where `project_face` puts a vertex.
inline Point2D project_point(const Vector3D& p, const Vector3D& origin, const Vector3D& eu, const Vector3D& ev) {
    return {(p.x - origin.x) * eu.x + (p.y - origin.y) * eu.y + (p.z - origin.z) * eu.z,
            (p.x - origin.x) * ev.x + (p.y - origin.y) * ev.y + (p.z - origin.z) * ev.z};
}

// Maps each vertex of `face`, in face order, to
// ((p - origin) . eu, (p - origin) . ev) and closes the ring. The result has
// no holes. An index at or beyond the vertex count is an internal fault.
Polygon2D project_face(const std::vector<Vector3D>& vertices, Face face, const Vector3D& origin, const Vector3D& eu,
                       const Vector3D& ev);

// Appends the first point when the ring is not empty and its last point
// differs from the first in x or y (a NaN coordinate counts as different).
void close_ring(Ring& ring);

// The region of `subject` combined with the region of `clip` by `op`
// (Difference: in the subject and not in the clip). Every ring handed in is
// taken as closed: its last point is dropped without looking. Computed on an
// integer grid of about 2^-29 of the operands' common extent.
//
// Result: one polygon per outer contour of the overlay, each with the holes
// directly inside it; an island inside a hole is a polygon of its own. All
// rings come back closed; outer rings run counter-clockwise and holes
// clockwise. The order of the polygons and the start point of each ring are
// the overlay library's (deterministic for the same input).
MultiPolygon2D polygon_boolean(const MultiPolygon2D& subject, const Polygon2D& clip, BooleanOp op);
MultiPolygon2D polygon_boolean(const Polygon2D& subject, const Polygon2D& clip, BooleanOp op);

// The shoelace area, relative to the first point: positive for a
// counter-clockwise ring. Zero for a ring of fewer than three points or one
// whose last point differs from its first.
double ring_signed_area(const Ring& ring);

// |exterior area| - sum of |hole area|, with the sign of the exterior's
// signed area.
double polygon_signed_area(const Polygon2D& polygon);

// The sum over the polygons of ||exterior area| - sum of |hole area||.
double unsigned_area(const MultiPolygon2D& region);

// The area-weighted centroid of the region: each ring of non-zero area
// weighs |area|, holes subtract their weight and moment from their polygon,
// and polygons without net area are left out. NaN components when nothing
// has area; callers ask only of regions with an area above a tolerance.
Point2D area_centroid(const MultiPolygon2D& region);

}  // namespace velmarin
