#include "extrusion/join.hpp"

#include <cmath>
#include <cstdint>

namespace velmarin {

namespace {

// Pieces at or below this area are slivers of the overlay's grid, not rooms.
constexpr double minimum_piece_area = 1e-5;

// A mesh without faces encloses nothing, so it contributes an empty region
// instead of a footprint read from a face it does not have.
Polygon2D footprint(const Mesh& mesh) {
    if (mesh.faces.empty()) return {};
    return project_face(mesh.vertices, mesh.faces[0], {0.0, 0.0, 0.0}, {1.0, 0.0, 0.0}, {0.0, 1.0, 0.0});
}

void extrude_pieces(const MultiPolygon2D& pieces, double z_base, double height, std::vector<Mesh>& out) {
    for (const Polygon2D& piece : pieces) {
        // A NaN area fails the comparison, so such a piece is dropped too.
        if (std::fabs(polygon_signed_area(piece)) > minimum_piece_area) {
            out.push_back(extrude_ring(piece.exterior, z_base, height));
        }
    }
}

}  // namespace

Mesh extrude_ring(const Ring& ring, double z_base, double height) {
    if (ring.size() <= 3) return {};
    const std::size_t m = ring.size() - 1;
    const double z_top = z_base + height;

    Mesh prism;
    prism.vertices.reserve(2 * m);
    for (std::size_t k = 0; k < m; ++k) prism.vertices.push_back({ring[k].x, ring[k].y, z_base});
    for (std::size_t k = 0; k < m; ++k) prism.vertices.push_back({ring[k].x, ring[k].y, z_top});

    prism.faces.reserve(m + 2, 6 * m);
    std::vector<std::uint64_t> bottom(m), top(m);
    for (std::size_t k = 0; k < m; ++k) {
        bottom[k] = m - 1 - k;
        top[k] = m + k;
    }
    prism.faces.push_back(bottom);
    prism.faces.push_back(top);
    for (std::size_t k = 0; k < m; ++k) {
        const std::size_t next = k + 1 < m ? k + 1 : 0;
        prism.faces.push_back({k, next, next + m, k + m});
    }
    return prism;
}

std::vector<Mesh> boolean_join_extruded(const Mesh& a, const Mesh& b, double z_base, double height) {
    const Polygon2D footprint_a = footprint(a);
    const Polygon2D footprint_b = footprint(b);
    std::vector<Mesh> prisms;
    extrude_pieces(polygon_boolean(footprint_a, footprint_b, BooleanOp::Intersection), z_base, height, prisms);
    extrude_pieces(polygon_boolean(footprint_a, footprint_b, BooleanOp::Difference), z_base, height, prisms);
    extrude_pieces(polygon_boolean(footprint_b, footprint_a, BooleanOp::Difference), z_base, height, prisms);
    return prisms;
}

}  // namespace velmarin
