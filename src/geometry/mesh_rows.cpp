#include "geometry/mesh_rows.hpp"

#include <algorithm>
#include <string>

namespace velmarin {

namespace {

// A row narrower than three indices is never a valid face, so the first
// one is all that validation needs to name the failure. Reading no more
// also keeps a block of empty rows (which occupies no memory, however
// many rows it claims) from costing a face record per row.
template <class Index>
FaceList block_to_faces(std::span<const Index> corners, std::size_t rows, std::size_t width) {
    check(width == 0 ? corners.empty() : corners.size() % width == 0 && corners.size() / width == rows,
          "a block of rows holds rows * width indices");
    if (width < 3) rows = std::min<std::size_t>(rows, 1);
    std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> indices(
        corners.begin(), corners.begin() + static_cast<std::ptrdiff_t>(rows * width));
    std::vector<std::size_t, HugePageAllocator<std::size_t>> offsets(rows + 1);
    for (std::size_t r = 0; r <= rows; ++r) offsets[r] = r * width;
    return FaceList(std::move(indices), std::move(offsets));
}

}  // namespace

std::vector<Vector3D> vertices_from_rows(std::span<const double> coordinates) {
    check(coordinates.size() % 3 == 0, "rows of coordinates hold three values each");
    std::vector<Vector3D> vertices;
    vertices.reserve(coordinates.size() / 3);
    for (std::size_t i = 0; i < coordinates.size(); i += 3) {
        vertices.push_back({coordinates[i], coordinates[i + 1], coordinates[i + 2]});
    }
    return vertices;
}

void copy_coordinates(const std::vector<Vector3D>& vertices, std::span<double> out) {
    check(out.size() == 3 * vertices.size(), "rows of coordinates hold three values per vertex");
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        out[3 * i] = vertices[i].x;
        out[3 * i + 1] = vertices[i].y;
        out[3 * i + 2] = vertices[i].z;
    }
}

Result<FaceList> faces_from_rows(std::span<const std::int64_t> corners, std::size_t rows, std::size_t width) {
    const auto negative = std::find_if(corners.begin(), corners.end(), [](std::int64_t k) { return k < 0; });
    if (negative != corners.end()) {
        const auto position = static_cast<std::size_t>(negative - corners.begin());
        return value_error("Face " + std::to_string(position / width) + " references negative index " +
                           std::to_string(*negative) + ".");
    }
    return block_to_faces(corners, rows, width);
}

Result<FaceList> faces_from_rows(std::span<const std::uint64_t> corners, std::size_t rows, std::size_t width) {
    return block_to_faces(corners, rows, width);
}

std::size_t common_face_length(const FaceList& faces) {
    if (faces.empty()) return 0;
    const std::size_t width = faces[0].size();
    const std::span<const std::size_t> offsets = faces.offsets();
    for (std::size_t i = 1; i < offsets.size(); ++i) {
        if (offsets[i] - offsets[i - 1] != width) return 0;
    }
    return width;
}

// Indices of a valid mesh lie below its vertex count, far below 2^63, so
// they are the same numbers as signed integers.
void copy_corners(const FaceList& faces, std::span<std::int64_t> out) {
    check(out.size() == faces.indices().size(), "the corner run holds every face's indices");
    std::copy(faces.indices().begin(), faces.indices().end(), out.begin());
}

void copy_offsets(const FaceList& faces, std::span<std::int64_t> out) {
    check(out.size() == faces.size() + 1, "offsets must have one more value than there are faces");
    std::copy(faces.offsets().begin(), faces.offsets().end(), out.begin());
}

}  // namespace velmarin
