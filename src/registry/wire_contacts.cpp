#include "registry/wire_contacts.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "boxes/bounds.hpp"
#include "boxes/box_index.hpp"
#include "core/fault.hpp"
#include "geometry/vector_ops.hpp"

namespace velmarin {

namespace {

// Almost straight up, tilted off the axes so the ray does not run along the
// diagonals and edges of axis-aligned faces. Deliberately not normalised.
constexpr Vector3D ray_direction{1e-7, 2e-7, 1.0};
constexpr double parallel_limit = 1e-8;
constexpr double nearest_crossing = 1e-8;

// One fan triangle with what the ray test needs of it alone: the ray's
// direction is fixed, so only the start point varies between tests.
struct RayTriangle {
    Vector3D v0, e1, e2, h;
    double f = 0.0;
    bool parallel = false;  // never crossed
};

RayTriangle ray_triangle(const Vector3D& v0, const Vector3D& v1, const Vector3D& v2) {
    RayTriangle t;
    t.v0 = v0;
    t.e1 = minus(v1, v0);
    t.e2 = minus(v2, v0);
    t.h = cross(ray_direction, t.e2);
    const double a = dot(t.e1, t.h);
    t.parallel = std::fabs(a) < parallel_limit;
    t.f = 1.0 / a;
    return t;
}

// The ray-triangle test with inclusive bounds: a ray through an edge that two
// triangles share counts for both.
bool crosses(const RayTriangle& t, const Vector3D& p) {
    if (t.parallel) return false;
    const Vector3D s = minus(p, t.v0);
    const double u = t.f * dot(s, t.h);
    if (u < 0.0 || u > 1.0) return false;
    const Vector3D q = cross(s, t.e1);
    const double v = t.f * dot(ray_direction, q);
    if (v < 0.0 || u + v > 1.0) return false;
    return t.f * dot(t.e2, q) > nearest_crossing;
}

// Faces are split into the fan (f0, f(k-1), fk) whatever their shape; faces
// of one or two indices are skipped.
template <class Visit>
void for_each_fan_triangle(const Mesh& mesh, Visit&& visit) {
    for (Face face : mesh.faces) {
        check(!face.empty(), "a face without vertices in the wire test");
        if (face.size() < 3) continue;
        const Vector3D& v0 = checked(mesh.vertices, face[0]);
        for (std::size_t k = 2; k < face.size(); ++k) {
            visit(ray_triangle(v0, checked(mesh.vertices, face[k - 1]), checked(mesh.vertices, face[k])));
        }
    }
}

std::vector<WireContact> literal_wire_contacts(const std::vector<Wire>& wires, const std::vector<Mesh>& meshes) {
    std::vector<WireContact> contacts;
    for (std::size_t w = 0; w < wires.size(); ++w) {
        const Vector3D m = midpoint(wires[w]);
        for (std::size_t i = 0; i < meshes.size(); ++i) {
            if (point_in_mesh(m, meshes[i])) contacts.push_back({w, i});
        }
    }
    return contacts;
}

// The meshes a midpoint's ray may cross, found through the meshes' boxes.
// Rounding in the ray test is covered by a margin far wider than its error;
// a mesh or midpoint with a non-finite coordinate is always tested.
class MeshColumns {
public:
    // `entries` also fills the members declared before the tree.
    explicit MeshColumns(const std::vector<Mesh>& meshes) : tree_(entries(meshes)) {}

    // Positions in ascending order.
    void candidates(const Vector3D& p, std::vector<std::size_t>& out) const {
        out.clear();
        if (!is_finite(p)) {
            for (std::size_t i = 0; i < count_; ++i) out.push_back(i);
            return;
        }
        out = unbounded_;
        const double rise = std::fmax(0.0, top_ - p.z);
        const double margin =
            1e-6 * (1.0 + std::fmax(scale_, std::fmax(std::fabs(p.x), std::fabs(p.y))) + std::fabs(p.z) + rise);
        Bounds column;
        column.lower = {p.x - margin, p.y - margin, p.z - margin};
        column.upper = {p.x + ray_direction.x * rise + margin, p.y + ray_direction.y * rise + margin, top_ + margin};
        tree_.query(column, [&](std::uint64_t i) { out.push_back(i); });
        std::sort(out.begin(), out.end());
    }

private:
    std::vector<BoxIndex::Entry> entries(const std::vector<Mesh>& meshes) {
        count_ = meshes.size();
        std::vector<BoxIndex::Entry> list;
        for (std::size_t i = 0; i < meshes.size(); ++i) {
            const Mesh& mesh = meshes[i];
            Bounds box;
            for (Face face : mesh.faces) {
                check(!face.empty(), "a face without vertices in the wire test");
                if (face.size() < 3) continue;  // never tested
                for (std::uint64_t index : face) box.add(checked(mesh.vertices, index));
            }
            // No tested face, or none with a number in it: no triangle is ever crossed.
            if (box.lower.x > box.upper.x) continue;
            if (!box.is_finite() || !all_finite(mesh)) {
                unbounded_.push_back(i);
                continue;
            }
            top_ = std::fmax(top_, box.upper.z);
            scale_ = std::fmax(scale_, box.magnitude());
            list.push_back({box, i});
        }
        return list;
    }

    static bool all_finite(const Mesh& mesh) {
        return std::all_of(mesh.vertices.begin(), mesh.vertices.end(), [](const Vector3D& v) { return is_finite(v); });
    }

    std::size_t count_ = 0;
    std::vector<std::size_t> unbounded_;
    double top_ = -Bounds::largest;
    double scale_ = 0.0;
    BoxIndex tree_;
};

// The items ordered by `key(item)`, a number below `keys`, those of one key
// in the order they come: one counting pass and one placing pass, where a
// comparison sort of the many pairs took a third of the wire stage.
template <class Item, class Key>
std::vector<Item> grouped_by(const std::vector<Item>& items, std::size_t keys, const Key& key) {
    std::vector<std::size_t> start(keys + 1, 0);
    for (const Item& item : items) ++checked(start, key(item) + 1);
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<Item> out(items.size());
    for (const Item& item : items) out[checked(start, key(item))++] = item;
    return out;
}

// Each candidate mesh is taken once, its triangles prepared once, and tested
// against every midpoint whose ray may cross it.
std::vector<WireContact> indexed_wire_contacts(const std::vector<Wire>& wires, const std::vector<Mesh>& meshes) {
    const MeshColumns columns(meshes);
    std::vector<Vector3D> midpoints;
    std::vector<std::pair<std::size_t, std::size_t>> pairs;  // (mesh, wire)
    std::vector<std::size_t> candidates;
    for (std::size_t w = 0; w < wires.size(); ++w) {
        midpoints.push_back(midpoint(wires[w]));
        columns.candidates(midpoints.back(), candidates);
        for (std::size_t i : candidates) pairs.emplace_back(i, w);
    }
    // By mesh, then by wire (the pairs come by wire, then by mesh).
    pairs = grouped_by(pairs, meshes.size(), [](const auto& pair) { return pair.first; });

    std::vector<WireContact> contacts;
    std::vector<RayTriangle> triangles;
    for (std::size_t k = 0; k < pairs.size();) {
        const std::size_t i = pairs[k].first;
        triangles.clear();
        for_each_fan_triangle(checked(meshes, i), [&](const RayTriangle& t) {
            if (!t.parallel) triangles.push_back(t);
        });
        for (; k < pairs.size() && pairs[k].first == i; ++k) {
            const Vector3D& p = checked(midpoints, pairs[k].second);
            std::size_t crossings = 0;
            for (const RayTriangle& t : triangles) crossings += crosses(t, p) ? 1 : 0;
            if (crossings % 2 == 1) contacts.push_back({pairs[k].second, i});
        }
    }
    // By wire, then by mesh (the contacts come by mesh, then by wire).
    return grouped_by(contacts, wires.size(), [](const WireContact& c) { return c.wire_index; });
}

}  // namespace

bool point_in_mesh(const Vector3D& point, const Mesh& mesh) {
    std::size_t crossings = 0;
    for_each_fan_triangle(mesh, [&](const RayTriangle& t) { crossings += crosses(t, point) ? 1 : 0; });
    return crossings % 2 == 1;
}

Vector3D midpoint(const Wire& wire) {
    return {(wire.start.x + wire.end.x) * 0.5, (wire.start.y + wire.end.y) * 0.5, (wire.start.z + wire.end.z) * 0.5};
}

std::vector<WireContact> find_wire_contacts(const std::vector<Wire>& wires, const std::vector<Mesh>& meshes,
                                            Search search) {
    if (wires.empty()) return {};
    return search == Search::Literal ? literal_wire_contacts(wires, meshes) : indexed_wire_contacts(wires, meshes);
}

}  // namespace velmarin
