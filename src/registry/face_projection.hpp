// Faces in the plane frame of another face: as polygons, as the rectangle
// they cover, and 2D points of the frame back in space.
#pragma once

#include "geometry/mesh.hpp"
#include "planar/overlay.hpp"
#include "planar/rectangle.hpp"
#include "registry/face_plane.hpp"

namespace velmarin {

Polygon2D project(const Mesh& mesh, Face face, const PlaneFrame& frame);

// Where `project` would put the face, without building its polygon.
Rectangle2D projected_extent(const Mesh& mesh, Face face, const PlaneFrame& frame);

Vector3D in_space(const PlaneFrame& frame, const Point2D& p);

}  // namespace velmarin
