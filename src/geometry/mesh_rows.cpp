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
std::vector<Face> block_to_faces(std::span<const Index> corners, std::size_t rows, std::size_t width) {
    check(width == 0 ? corners.empty() : corners.size() % width == 0 && corners.size() / width == rows,
          "a block of rows holds rows * width indices");
    if (width < 3) rows = std::min<std::size_t>(rows, 1);
    std::vector<Face> faces;
    faces.reserve(rows);
    for (std::size_t row = 0; row < rows; ++row) {
        const auto first = corners.begin() + static_cast<std::ptrdiff_t>(row * width);
        faces.emplace_back(first, first + static_cast<std::ptrdiff_t>(width));
    }
    return faces;
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

Result<std::vector<Face>> faces_from_rows(std::span<const std::int64_t> corners, std::size_t rows,
                                          std::size_t width) {
    const auto negative = std::find_if(corners.begin(), corners.end(), [](std::int64_t k) { return k < 0; });
    if (negative != corners.end()) {
        const auto position = static_cast<std::size_t>(negative - corners.begin());
        return value_error("Face " + std::to_string(position / width) + " references negative index " +
                           std::to_string(*negative) + ".");
    }
    return block_to_faces(corners, rows, width);
}

Result<std::vector<Face>> faces_from_rows(std::span<const std::uint64_t> corners, std::size_t rows,
                                          std::size_t width) {
    return block_to_faces(corners, rows, width);
}

FaceLayout face_layout(const std::vector<Face>& faces) {
    FaceLayout layout;
    layout.width = faces.empty() ? 0 : faces.front().size();
    for (const Face& face : faces) {
        layout.corners += face.size();
        if (face.size() != layout.width) layout.width = 0;
    }
    return layout;
}

// Indices of a valid mesh lie below its vertex count, far below 2^63, so
// they are the same numbers as signed integers.
void copy_corners(const std::vector<Face>& faces, std::span<std::int64_t> out) {
    auto next = out.begin();
    for (const Face& face : faces) {
        check(static_cast<std::size_t>(out.end() - next) >= face.size(), "corner run shorter than the faces");
        next = std::copy(face.begin(), face.end(), next);
    }
    check(next == out.end(), "corner run longer than the faces");
}

void copy_offsets(const std::vector<Face>& faces, std::span<std::int64_t> out) {
    check(out.size() == faces.size() + 1, "offsets must have one more value than there are faces");
    std::int64_t offset = 0;
    out[0] = 0;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        offset += static_cast<std::int64_t>(faces[i].size());
        out[i + 1] = offset;
    }
}

}  // namespace velmarin
