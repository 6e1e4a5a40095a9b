// Turning a fuzzer's bytes into the core's records: numbers, rings, meshes
// and small buildings. Every target reads its input through this one reader,
// so they share one encoding and meshes are made in one place.
//
// Most numbers come out on a coarse grid (multiples of 0.25 in [-8, 8)), so
// that random bytes still give faces that are coplanar, touching or facing
// each other; some come out a hair off the grid, and a few are raw doubles
// (NaN, infinities, subnormals, huge values). Reading past the end yields
// zeros, so every input decodes to something.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "geometry/mesh.hpp"
#include "geometry/vector.hpp"
#include "planar/overlay.hpp"
#include "registry/spatial_registry.hpp"

namespace velmarin::fuzz {

// How much of each record one input may ask for: small enough that a run
// makes thousands of calls a second.
struct MeshLimits {
    std::size_t vertices = 10;
    std::size_t faces = 8;
    std::size_t corners = 6;  // per face, beyond the three of a valid face
};

// Faces that may break the mesh rule (fewer than three corners, indices past
// the vertex list) for routines documented to take any mesh; `Valid` gives
// only what Mesh's constructor accepts.
enum class Faces { Valid, Any };

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ == size_; }

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    // 0 to `most`, both included.
    std::size_t count(std::size_t most) { return byte() % (most + 1); }

    // Eight bytes as they are.
    double raw() {
        std::uint8_t bits[sizeof(double)] = {};
        for (std::uint8_t& b : bits) b = byte();
        double value;
        std::memcpy(&value, bits, sizeof value);
        return value;
    }

    double coordinate() {
        const std::uint8_t tag = byte();
        if (tag < 0xe0) return grid(tag);
        if (tag < 0xf8) return grid(byte()) + (tag - 0xec) * 1e-3;  // near the grid, within a tolerance or two
        return raw();
    }

    // Mostly a small positive tolerance; sometimes zero, negative or raw.
    double tolerance() {
        const std::uint8_t tag = byte();
        if (tag < 0xc0) return 1e-3 * (1 + tag % 64);
        if (tag < 0xf0) return coordinate();
        return raw();
    }

    Vector3D point() {
        const double x = coordinate();
        const double y = coordinate();
        return {x, y, coordinate()};
    }

    Point2D point2d() {
        const double x = coordinate();
        return {x, coordinate()};
    }

    // A ring as the planar layer's callers hand it over: closed, except when
    // the input says otherwise.
    Ring ring(std::size_t most) {
        const bool closed = byte() % 8 != 0;
        Ring r(count(most));
        for (Point2D& p : r) p = point2d();
        if (closed) close_ring(r);
        return r;
    }

    Polygon2D polygon() {
        Polygon2D p{ring(8), {}};
        p.holes.resize(count(2));
        for (Ring& hole : p.holes) hole = ring(6);
        return p;
    }

    Mesh mesh(Faces rule, const MeshLimits& limits = {}) {
        std::vector<Vector3D> vertices(count(limits.vertices));
        for (Vector3D& v : vertices) v = point();
        const std::size_t faces = count(limits.faces);
        std::vector<std::vector<std::uint64_t>> corners(faces);
        for (auto& face : corners) {
            face.resize(rule == Faces::Valid ? 3 + count(limits.corners) : count(3 + limits.corners));
            for (std::uint64_t& index : face) {
                const std::uint64_t b = byte();
                index = rule == Faces::Any ? b : b % std::max<std::size_t>(vertices.size(), 1);
            }
        }
        if (rule == Faces::Valid && vertices.empty()) corners.clear();
        return make_mesh(std::move(vertices), corners);
    }

    // An axis-aligned box from a corner and three extents on the grid; a
    // negative or zero extent turns it inside out or flattens it.
    Mesh box() {
        const Vector3D o = point();
        const Vector3D e = point();
        std::vector<Vector3D> corners;
        for (const double z : {o.z, o.z + e.z}) {
            for (const double y : {o.y, o.y + e.y}) {
                for (const double x : {o.x, o.x + e.x}) corners.push_back({x, y, z});
            }
        }
        return make_mesh(std::move(corners),
                         {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}});
    }

    // Mostly boxes, so that rooms share walls and slabs; sometimes any
    // valid mesh.
    Mesh room() { return byte() % 4 != 0 ? box() : mesh(Faces::Valid); }

    // A few rooms, wires and apertures: what SpatialRegistry accepts.
    SpatialRegistry building() {
        SpatialRegistry registry;
        registry.meshes.resize(count(6));
        for (Mesh& m : registry.meshes) m = room();
        registry.wires.resize(count(3));
        for (Wire& w : registry.wires) w = {point(), point()};
        registry.apertures.resize(count(4));
        for (Mesh& a : registry.apertures) a = room();
        return registry;
    }

private:
    static double grid(std::uint8_t b) { return (static_cast<int>(b % 64) - 32) * 0.25; }

    // The one place a fuzz target assembles a mesh.
    static Mesh make_mesh(std::vector<Vector3D> vertices, const std::vector<std::vector<std::uint64_t>>& faces) {
        Mesh m;
        m.vertices = std::move(vertices);
        for (const auto& face : faces) m.faces.push_back(face);
        return m;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Whether two doubles are the same value, NaN included.
inline bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace velmarin::fuzz
