// A mesh as array libraries hold it: vertices as rows of three coordinates;
// faces as one block of rows of equal width, or as one run of all corner
// indices with the offset at which each face starts (compressed rows). All
// are row-major runs of plain numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/error.hpp"
#include "geometry/mesh.hpp"

namespace velmarin {

// The vertices of rows of x, y and z; `coordinates` holds 3 * n values.
std::vector<Vector3D> vertices_from_rows(std::span<const double> coordinates);

// The rows of x, y and z of `vertices`; `out` holds 3 * n values.
void copy_coordinates(const std::vector<Vector3D>& vertices, std::span<double> out);

// The faces of a block of `rows` rows of `width` indices (`corners` holds
// rows * width values). A negative index fails, naming its face, as a
// conversion does: before any face is validated.
Result<FaceList> faces_from_rows(std::span<const std::int64_t> corners, std::size_t rows, std::size_t width);
Result<FaceList> faces_from_rows(std::span<const std::uint64_t> corners, std::size_t rows, std::size_t width);

// The length every face shares; 0 when lengths differ or there are no faces.
std::size_t common_face_length(const FaceList& faces);

// Every face's indices, one face after the other; `out` holds exactly
// faces.indices().size() values.
void copy_corners(const FaceList& faces, std::span<std::int64_t> out);

// Where each face starts in that run, and the run's end: faces.size() + 1 values.
void copy_offsets(const FaceList& faces, std::span<std::int64_t> out);

}  // namespace velmarin
