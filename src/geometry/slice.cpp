#include "geometry/slice.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace velmarin {

namespace {

constexpr std::uint64_t unmapped = std::numeric_limits<std::uint64_t>::max();

// One result under construction. Input vertices that whole triangles and
// same-side corners use are copied once and shared; cut points are never
// shared, so each triangle is handled without looking at its neighbours.
class HalfBuilder {
public:
    explicit HalfBuilder(const Mesh& input) : input_(input), copy_of_(input.vertices.size(), unmapped) {}

    std::uint64_t reuse(std::uint64_t input_index) {
        std::uint64_t& copy = checked(copy_of_, input_index);
        if (copy == unmapped) copy = append(input_.vertices[input_index]);
        return copy;
    }

    std::uint64_t append(const Vector3D& point) {
        vertices_.push_back(point);
        return vertices_.size() - 1;
    }

    void add_face(std::uint64_t a, std::uint64_t b, std::uint64_t c) { faces_.push_back({a, b, c}); }

    Result<Mesh> build() { return build_mesh(std::move(vertices_), std::move(faces_)); }

private:
    const Mesh& input_;
    std::vector<std::uint64_t> copy_of_;
    std::vector<Vector3D> vertices_;
    std::vector<Face> faces_;
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
    Slicer(const Mesh& mesh, const Plane& plane) : mesh_(mesh), above_(mesh), below_(mesh) {
        distances_.reserve(mesh.vertices.size());
        for (const Vector3D& v : mesh.vertices) distances_.push_back(plane.distance(v));
    }

    void add_face(const Face& corners) {
        for (std::size_t i = 1; i + 1 < corners.size(); ++i) add_triangle({corners[0], corners[i], corners[i + 1]});
    }

    Result<SlicedMesh> finish() {
        Result<Mesh> above = above_.build();
        if (!above.ok()) return above.error();
        Result<Mesh> below = below_.build();
        if (!below.ok()) return below.error();
        return SlicedMesh{std::move(above).value(), std::move(below).value()};
    }

private:
    HalfBuilder& side(bool above) { return above ? above_ : below_; }

    void add_triangle(const std::array<std::uint64_t, 3>& slot) {
        std::array<double, 3> d;
        int above_count = 0;
        for (int s = 0; s < 3; ++s) {
            d[s] = checked(distances_, slot[s]);
            above_count += is_above(d[s]);
        }
        if (above_count == 0 || above_count == 3) {
            HalfBuilder& whole = side(above_count == 3);
            const std::uint64_t a = whole.reuse(slot[0]);
            const std::uint64_t b = whole.reuse(slot[1]);
            const std::uint64_t c = whole.reuse(slot[2]);
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
        const std::uint64_t mapped_a = other_side.reuse(a);
        const std::uint64_t mapped_b = other_side.reuse(b);
        const std::uint64_t p = other_side.append(p1);
        other_side.append(p2);
        other_side.add_face(p, mapped_a, mapped_b);
        other_side.add_face(p, mapped_b, p + 1);
    }

    const Mesh& mesh_;
    std::vector<double> distances_;
    HalfBuilder above_;
    HalfBuilder below_;
};

}  // namespace

Result<SlicedMesh> slice_by_plane(const Mesh& mesh, const Vector3D& normal, const Vector3D& origin) {
    const double length = std::sqrt((normal.x * normal.x + normal.y * normal.y) + normal.z * normal.z);
    if (length < 1e-8) return value_error("Invalid plane normal vector.");
    const Plane plane{{normal.x / length, normal.y / length, normal.z / length}, origin};

    Slicer slicer(mesh, plane);
    for (const Face& face : mesh.faces) slicer.add_face(face);
    return slicer.finish();
}

}  // namespace velmarin
