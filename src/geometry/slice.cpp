#include "geometry/slice.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace velmarin {

namespace {

constexpr std::uint64_t unmapped = std::numeric_limits<std::uint64_t>::max();

// One result under construction.
class HalfBuilder {
public:
    std::uint64_t append(const Vector3D& point) {
        vertices_.push_back(point);
        return vertices_.size() - 1;
    }

    void add_face(std::uint64_t a, std::uint64_t b, std::uint64_t c) { faces_.push_back({a, b, c}); }

    // Room for what the counted triangles will add, so that the runs grow
    // once rather than by doubling (each doubling copies a run that may be
    // hundreds of megabytes).
    void reserve(std::size_t faces, std::size_t vertices) {
        faces_.reserve(faces, 3 * faces);
        vertices_.reserve(vertices);
    }

    // Valid by construction: every face is a triangle of vertices appended
    // before it.
    Mesh build() { return Mesh{std::move(vertices_), std::move(faces_)}; }

private:
    std::vector<Vector3D> vertices_;
    FaceList faces_;
};

// An input vertex's signed distance from the plane, and where its copy went
// once a triangle has used it. A vertex is only ever used on its own side of
// the plane, so one copy is all it can have.
struct InputVertex {
    double distance;
    std::uint64_t copy = unmapped;
};

struct Plane {
    Vector3D unit_normal;
    Vector3D origin;

    double distance(const Vector3D& v) const {
        const Vector3D& n = unit_normal;
        return ((v.x - origin.x) * n.x + (v.y - origin.y) * n.y) + (v.z - origin.z) * n.z;
    }
};

bool is_above(double distance) { return distance >= 0.0; }  // NaN is below

// The point where the edge from `lone` to `other` meets the plane.
Vector3D cut_point(const Vector3D& lone, const Vector3D& other, double d_lone, double d_other) {
    const double t = d_lone / (d_lone - d_other);
    return {(other.x - lone.x) * t + lone.x, (other.y - lone.y) * t + lone.y, (other.z - lone.z) * t + lone.z};
}

class Slicer {
public:
    Slicer(const Mesh& mesh, const Plane& plane) : mesh_(mesh) {
        inputs_.reserve(mesh.vertices.size());
        for (const Vector3D& v : mesh.vertices) inputs_.push_back({plane.distance(v)});
        reserve_halves();
    }

    void add_face(Face corners) {
        for (std::size_t i = 1; i + 1 < corners.size(); ++i) add_triangle({corners[0], corners[i], corners[i + 1]});
    }

    SlicedMesh finish() { return SlicedMesh{above_.build(), below_.build()}; }

private:
    HalfBuilder& side(bool above) { return above ? above_ : below_; }

    // Input vertices that whole triangles and same-side corners use are
    // copied once and shared; cut points are never shared, so each triangle
    // is handled without looking at its neighbours.
    std::uint64_t reuse(HalfBuilder& half, std::uint64_t input_index) {
        std::uint64_t& copy = checked(inputs_, input_index).copy;
        if (copy == unmapped) copy = half.append(mesh_.vertices[input_index]);
        return copy;
    }

    int corners_above(const std::array<std::uint64_t, 3>& slot, std::array<double, 3>& d) const {
        int above_count = 0;
        for (int s = 0; s < 3; ++s) {
            d[s] = checked(inputs_, slot[s]).distance;
            above_count += is_above(d[s]);
        }
        return above_count;
    }

    // Counts each half's triangles by how the corners fall, before any is made.
    void reserve_halves() {
        std::array<std::size_t, 4> triangles{};  // by corners above
        std::array<double, 3> d;
        for (const Face corners : mesh_.faces) {
            for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
                ++triangles[corners_above({corners[0], corners[i], corners[i + 1]}, d)];
            }
        }
        // A lone corner's side gets one triangle and three new vertices, the
        // other side two triangles and two new vertices; copies of input
        // vertices are at most three per triangle and one per input vertex.
        const std::size_t inputs = inputs_.size();
        const std::size_t above = triangles[3] + triangles[1] + 2 * triangles[2];
        const std::size_t below = triangles[0] + triangles[2] + 2 * triangles[1];
        above_.reserve(above, std::min(inputs, 3 * above) + 3 * triangles[1] + 2 * triangles[2]);
        below_.reserve(below, std::min(inputs, 3 * below) + 3 * triangles[2] + 2 * triangles[1]);
    }

    void add_triangle(const std::array<std::uint64_t, 3>& slot) {
        std::array<double, 3> d;
        const int above_count = corners_above(slot, d);
        if (above_count == 0 || above_count == 3) {
            HalfBuilder& whole = side(above_count == 3);
            const std::uint64_t a = reuse(whole, slot[0]);
            const std::uint64_t b = reuse(whole, slot[1]);
            const std::uint64_t c = reuse(whole, slot[2]);
            whole.add_face(a, b, c);
            return;
        }
        // The lone slot is the one on the minority side; A and B follow it in
        // the triangle's cyclic order, which keeps the winding.
        const bool lone_above = above_count == 1;
        int l = 0;
        while (is_above(d[l]) != lone_above) ++l;
        const int a = (l + 1) % 3;
        const int b = (l + 2) % 3;
        split_triangle(slot[l], slot[a], slot[b], d[l], d[a], d[b]);
    }

    void split_triangle(std::uint64_t lone, std::uint64_t a, std::uint64_t b, double d_lone, double d_a, double d_b) {
        const Vector3D& pl = mesh_.vertices[lone];
        const Vector3D p1 = cut_point(pl, mesh_.vertices[a], d_lone, d_a);
        const Vector3D p2 = cut_point(pl, mesh_.vertices[b], d_lone, d_b);

        HalfBuilder& lone_side = side(is_above(d_lone));
        const std::uint64_t k = lone_side.append(pl);
        lone_side.append(p1);
        lone_side.append(p2);
        lone_side.add_face(k, k + 1, k + 2);

        HalfBuilder& other_side = side(!is_above(d_lone));
        const std::uint64_t mapped_a = reuse(other_side, a);
        const std::uint64_t mapped_b = reuse(other_side, b);
        const std::uint64_t p = other_side.append(p1);
        other_side.append(p2);
        other_side.add_face(p, mapped_a, mapped_b);
        other_side.add_face(p, mapped_b, p + 1);
    }

    const Mesh& mesh_;
    std::vector<InputVertex> inputs_;
    HalfBuilder above_;
    HalfBuilder below_;
};

}  // namespace

// A plane normal shorter than this (1e-8 itself passes) gives no direction
// to slice along, and is refused.
constexpr double shortest_plane_normal = 1e-8;

Result<SlicedMesh> slice_by_plane(const Mesh& mesh, const Vector3D& normal, const Vector3D& origin) {
    const double length = std::sqrt((normal.x * normal.x + normal.y * normal.y) + normal.z * normal.z);
    if (length < shortest_plane_normal) return value_error("Invalid plane normal vector.");
    const Plane plane{{normal.x / length, normal.y / length, normal.z / length}, origin};

    Slicer slicer(mesh, plane);
    for (Face face : mesh.faces) slicer.add_face(face);
    return slicer.finish();
}

}  // namespace velmarin
