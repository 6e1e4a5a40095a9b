#include "planar/overlay.hpp"

#include <clipper.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <unordered_map>

#include <boost/container/small_vector.hpp>

#include "core/fault.hpp"
#include "core/rounding.hpp"
#include "planar/rectangle.hpp"

namespace velmarin {

namespace {

namespace cl = ClipperLib;

bool differs(const Point2D& a, const Point2D& b) { return !(a.x == b.x) || !(a.y == b.y); }

// The rings of a polygon set as the overlay takes them: every point but the
// last, which is taken to repeat the first. Views into the caller's rings,
// held without a heap block for the few rings a contact region has.
using Paths2D = boost::container::small_vector<std::span<const Point2D>, 4>;

void append_paths(const Polygon2D& polygon, Paths2D& out) {
    auto add = [&](const Ring& ring) { out.emplace_back(ring.data(), ring.empty() ? 0 : ring.size() - 1); };
    add(polygon.exterior);
    for (const Ring& hole : polygon.holes) add(hole);
}

// The integer grid shared by both operands: centred on their common box and
// scaled so the larger half-extent spans about 2^29 units. Both operands must
// be mapped by the same grid, or shared edges would not line up.
class Grid {
public:
    explicit Grid(const Paths2D& subject, const Paths2D& clip) {
        Rectangle2D box;
        for (const Paths2D* set : {&subject, &clip}) {
            for (std::span<const Point2D> path : *set) {
                for (const Point2D& p : path) box.add(p);
            }
        }
        const double half_width = (box.max_x - box.min_x) * 0.5;
        const double half_height = (box.max_y - box.min_y) * 0.5;
        centre_ = {box.min_x + half_width, box.min_y + half_height};
        const double half = std::fmax(half_width, half_height);
        if (half > 0.0) {
            const long long k = saturated_int32(std::round(std::log2(half)));
            scale_ = std::ldexp(1.0, static_cast<int>(clamp_exponent(half_extent_bits - k)));
            inverse_ = std::ldexp(1.0, static_cast<int>(clamp_exponent(k - half_extent_bits)));
        }
    }

    cl::IntPoint to_grid(const Point2D& p) const {
        return {nearest_int32((p.x - centre_.x) * scale_), nearest_int32((p.y - centre_.y) * scale_)};
    }

    Point2D from_grid(const cl::IntPoint& p) const {
        return {static_cast<double>(p.X) * inverse_ + centre_.x, static_cast<double>(p.Y) * inverse_ + centre_.y};
    }

private:
    // The half-extent, rounded to a power of two, spans 2^29 units: at most
    // 2^29.5 before rounding, so every coordinate stays within Clipper's low
    // range (below 2^30), where its products fit in 64 bits.
    static constexpr long long half_extent_bits = 29;
    // Beyond these exponents ldexp already gives 0 or infinity.
    static constexpr long long exponent_limit = 4096;

    // Any double, NaN and infinities included, to a grid coordinate without
    // undefined behaviour: NaN goes to 0, the rest saturates.
    static long long saturated_int32(double v) {
        if (std::isnan(v)) return 0;
        if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
            return std::numeric_limits<std::int32_t>::min();
        }
        if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
            return std::numeric_limits<std::int32_t>::max();
        }
        return static_cast<long long>(v);
    }

    // saturated_int32(std::round(v)), without the library call: every
    // vertex of every operand is rounded onto the grid.
    static long long nearest_int32(double v) {
        return std::clamp<std::int64_t>(round_saturating(v), std::numeric_limits<std::int32_t>::min(),
                                        std::numeric_limits<std::int32_t>::max());
    }

    static long long clamp_exponent(long long e) { return std::clamp(e, -exponent_limit, exponent_limit); }

    Point2D centre_;
    double scale_ = 1.0;
    double inverse_ = 1.0;
};

// Into `out`, whose rings keep their capacity from one overlay to the next.
void to_grid(const Paths2D& paths, const Grid& grid, cl::Paths& out) {
    out.resize(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        out[i].clear();
        for (const Point2D& p : paths[i]) out[i].push_back(grid.to_grid(p));
    }
}

// Any range of grid points, closed.
template <class Points>
Ring from_grid(const Points& path, const Grid& grid) {
    Ring ring;
    ring.reserve(std::size(path) + 1);
    for (const cl::IntPoint& p : path) ring.push_back(grid.from_grid(p));
    close_ring(ring);
    return ring;
}

cl::ClipType clip_type(BooleanOp op) {
    switch (op) {
        case BooleanOp::Intersection: return cl::ctIntersection;
        case BooleanOp::Union: return cl::ctUnion;
        case BooleanOp::Difference: return cl::ctDifference;
        case BooleanOp::Xor: return cl::ctXor;
    }
    fault("unknown boolean operation " + std::to_string(static_cast<int>(op)));
}

// The tree's pre-order walk meets every outer contour, islands in holes
// included, in a fixed order; each becomes a polygon with its child holes.
MultiPolygon2D read_tree(const cl::PolyTree& tree, const Grid& grid) {
    MultiPolygon2D result;
    for (const cl::PolyNode* node = tree.GetFirst(); node; node = node->GetNext()) {
        if (node->IsHole()) continue;
        Polygon2D polygon{from_grid(node->Contour, grid), {}};
        polygon.holes.reserve(node->Childs.size());
        for (const cl::PolyNode* hole : node->Childs) polygon.holes.push_back(from_grid(hole->Contour, grid));
        result.push_back(std::move(polygon));
    }
    return result;
}

// Every coordinate in the range where the library works in 64-bit
// arithmetic (beyond it, it switches to 128-bit).
bool in_low_range(const cl::IntPoint& p) {
    constexpr cl::cInt low_range = 0x3FFFFFFF;
    return -low_range <= p.X && p.X <= low_range && -low_range <= p.Y && p.Y <= low_range;
}

// The four corners of a ring that may be a rectangle on the grid.
using Corners = std::array<cl::IntPoint, 4>;

// Whether the four grid points, in ring order, are a rectangle whose sides
// run along the axes in turn, each of non-zero length.
bool is_grid_rectangle(const Corners& p) {
    for (std::size_t k = 0; k < 4; ++k) {
        const cl::IntPoint& a = p[k];
        const cl::IntPoint& b = p[(k + 1) % 4];
        const cl::IntPoint& c = p[(k + 2) % 4];
        const bool along_x = a.Y == b.Y && a.X != b.X;
        const bool along_y = a.X == b.X && a.Y != b.Y;
        const bool next_along_x = b.Y == c.Y && b.X != c.X;
        if (!(along_x || along_y) || along_x == next_along_x || !in_low_range(a)) return false;
    }
    return true;
}

// The overlay of two rectangles on the grid, without running the library
// each time. On rings whose sides all run along the axes, what the library
// does is steered only by how the coordinates compare: its tests are
// comparisons, and its products of differences are exact and vanish or not
// as the differences do; every point it makes lies on two of the given
// sides. So the result for one pair, with each coordinate replaced by its
// rank among the pair's coordinates on its axis, is the result for every
// pair whose corners compare alike, point for point in the same order once
// the ranks are turned back into coordinates. Each thread asks the library
// once per such pattern (checked against the library itself in the native
// tests). Most contacts of box rooms, and the doors cut from them, are such
// pairs.
class RectangleOverlays {
public:
    // The result when both operands are grid rectangles, as `read_tree`
    // would give it; empty otherwise.
    std::optional<MultiPolygon2D> overlay(const Corners& subject, const Corners& clip, BooleanOp op, const Grid& grid,
                                          cl::Clipper& clipper, cl::PolyTree& tree) {
        if (!is_grid_rectangle(subject) || !is_grid_rectangle(clip)) return std::nullopt;
        const Ranks xs(subject, clip, &cl::IntPoint::X);
        const Ranks ys(subject, clip, &cl::IntPoint::Y);
        std::uint64_t key = static_cast<std::uint64_t>(op);
        int shift = 2;
        for (const Corners* ring : {&subject, &clip}) {
            for (const cl::IntPoint& p : *ring) {
                key |= static_cast<std::uint64_t>(xs.of(p.X) * 4 + ys.of(p.Y)) << shift;
                shift += 4;
            }
        }
        auto [place, added] = shapes_.try_emplace(key);
        if (added) place->second = learn(key, op, clipper, tree);
        return instance(place->second, xs, ys, grid);
    }

private:
    // Each point as x rank * 4 + y rank; per polygon its exterior, then its holes.
    using Shape = std::vector<std::vector<std::vector<std::uint8_t>>>;

    // The distinct values of one coordinate of two rectangles, in order: the
    // opposite corners 0 and 2 of each ring hold both of its values.
    class Ranks {
    public:
        Ranks(const Corners& a, const Corners& b, cl::cInt cl::IntPoint::*axis)
            : values_{a[0].*axis, a[2].*axis, b[0].*axis, b[2].*axis} {
            std::sort(std::begin(values_), std::end(values_));
            count_ = static_cast<std::size_t>(std::unique(std::begin(values_), std::end(values_)) - values_);
        }
        unsigned of(cl::cInt v) const {
            unsigned rank = 0;
            while (rank + 1 < count_ && values_[rank] != v) ++rank;
            return rank;
        }
        cl::cInt value(unsigned rank) const {
            const std::span<const cl::cInt> values(values_, count_);
            return checked(values, rank);
        }

    private:
        cl::cInt values_[4];
        std::size_t count_ = 0;
    };

    // The library's result for the ranks themselves, as coordinates.
    static Shape learn(std::uint64_t key, BooleanOp op, cl::Clipper& clipper, cl::PolyTree& tree) {
        cl::Paths rings(2, cl::Path(4));
        for (int k = 0; k < 8; ++k) {
            const auto point = static_cast<cl::cInt>((key >> (2 + 4 * k)) & 15);
            rings[k / 4][k % 4] = {point / 4, point % 4};
        }
        clipper.Clear();
        clipper.AddPath(rings[0], cl::ptSubject, true);
        clipper.AddPath(rings[1], cl::ptClip, true);
        check(clipper.Execute(clip_type(op), tree, cl::pftEvenOdd, cl::pftEvenOdd), "polygon overlay failed");
        clipper.Clear();
        auto ranks = [](const cl::Path& path) {
            std::vector<std::uint8_t> ring;
            for (const cl::IntPoint& p : path) {
                check(0 <= p.X && p.X < 4 && 0 <= p.Y && p.Y < 4, "a rectangle overlay off the given sides");
                ring.push_back(static_cast<std::uint8_t>(p.X * 4 + p.Y));
            }
            return ring;
        };
        Shape shape;
        for (const cl::PolyNode* node = tree.GetFirst(); node; node = node->GetNext()) {
            if (node->IsHole()) continue;
            shape.push_back({ranks(node->Contour)});
            for (const cl::PolyNode* hole : node->Childs) shape.back().push_back(ranks(hole->Contour));
        }
        return shape;
    }

    static MultiPolygon2D instance(const Shape& shape, const Ranks& xs, const Ranks& ys, const Grid& grid) {
        auto ring = [&](const std::vector<std::uint8_t>& ranks) {
            boost::container::small_vector<cl::IntPoint, 8> path;
            for (std::uint8_t r : ranks) path.push_back({xs.value(r / 4), ys.value(r % 4)});
            return from_grid(path, grid);
        };
        MultiPolygon2D result;
        result.reserve(shape.size());
        for (const auto& rings : shape) {
            Polygon2D polygon{ring(rings.front()), {}};
            polygon.holes.reserve(rings.size() - 1);
            for (std::size_t h = 1; h < rings.size(); ++h) polygon.holes.push_back(ring(rings[h]));
            result.push_back(std::move(polygon));
        }
        return result;
    }

    std::unordered_map<std::uint64_t, Shape> shapes_;
};

// What each thread's overlays reuse: the library's state and the grid
// rings, whose storage would otherwise be taken and given back every time.
struct Workspace {
    cl::Clipper clipper;
    cl::PolyTree tree;
    cl::Paths subject;
    cl::Paths clip;
    RectangleOverlays rectangles;
};

Workspace& workspace() {
    thread_local Workspace space;
    return space;
}

// The four grid corners of a set of one ring of four points (five, closed),
// the shape every operand that can be a grid rectangle has.
std::optional<Corners> four_corners(const Paths2D& paths, const Grid& grid) {
    if (paths.size() != 1 || paths[0].size() != 4) return std::nullopt;
    Corners corners;
    for (std::size_t k = 0; k < 4; ++k) corners[k] = grid.to_grid(paths[0][k]);
    return corners;
}

MultiPolygon2D overlay(const Paths2D& subject, const Paths2D& clip, BooleanOp op) {
    const Grid grid(subject, clip);
    Workspace& space = workspace();
    // Two rectangles are answered from their corners alone, without the
    // library's own rings being filled.
    if (const std::optional<Corners> a = four_corners(subject, grid)) {
        if (const std::optional<Corners> b = four_corners(clip, grid)) {
            if (std::optional<MultiPolygon2D> result =
                    space.rectangles.overlay(*a, *b, op, grid, space.clipper, space.tree)) {
                return std::move(*result);
            }
        }
    }
    to_grid(subject, grid, space.subject);
    to_grid(clip, grid, space.clip);
    cl::Clipper& clipper = space.clipper;
    clipper.Clear();
    const bool subject_added = clipper.AddPaths(space.subject, cl::ptSubject, true);
    const bool clip_added = clipper.AddPaths(space.clip, cl::ptClip, true);
    // The library refuses to run on no edges at all (rings that are empty,
    // too short or flat); that region is empty whatever the operation.
    if (!subject_added && !clip_added) return {};
    check(clipper.Execute(clip_type(op), space.tree, cl::pftEvenOdd, cl::pftEvenOdd), "polygon overlay failed");
    MultiPolygon2D result = read_tree(space.tree, grid);
    clipper.Clear();
    return result;
}

// Twice the signed area and the first moment of a closed ring, both
// relative to its first point.
struct RingMoments {
    double twice_area = 0.0;
    double sum_x = 0.0;
    double sum_y = 0.0;
};

bool has_area_shape(const Ring& ring) { return ring.size() >= 3 && !differs(ring.back(), ring.front()); }

RingMoments ring_moments(const Ring& ring) {
    RingMoments m;
    if (!has_area_shape(ring)) return m;
    const Point2D s = ring.front();
    for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
        const double ax = ring[k].x - s.x, ay = ring[k].y - s.y;
        const double bx = ring[k + 1].x - s.x, by = ring[k + 1].y - s.y;
        const double det = ax * by - bx * ay;
        m.twice_area += det;
        m.sum_x += (ax + bx) * det;
        m.sum_y += (ay + by) * det;
    }
    return m;
}

// A ring's area as weight and its centroid times that weight.
struct Weighted {
    double weight = 0.0;
    double x = 0.0;
    double y = 0.0;
};

Weighted weighted_ring(const Ring& ring) {
    const RingMoments m = ring_moments(ring);
    const double a = m.twice_area / 2.0;
    if (a == 0.0) return {};
    const Point2D s = ring.front();
    const double cx = s.x + m.sum_x / (6.0 * a);
    const double cy = s.y + m.sum_y / (6.0 * a);
    const double w = std::fabs(a);
    return {w, cx * w, cy * w};
}

}  // namespace

void close_ring(Ring& ring) {
    if (!ring.empty() && differs(ring.back(), ring.front())) ring.push_back(ring.front());
}

Polygon2D project_face(const std::vector<Vector3D>& vertices, Face face, const Vector3D& origin, const Vector3D& eu,
                       const Vector3D& ev) {
    Polygon2D polygon;
    polygon.exterior.reserve(face.size() + 1);
    for (std::uint64_t index : face) {
        polygon.exterior.push_back(project_point(checked(vertices, index), origin, eu, ev));
    }
    close_ring(polygon.exterior);
    return polygon;
}

MultiPolygon2D polygon_boolean(const MultiPolygon2D& subject, const Polygon2D& clip, BooleanOp op) {
    Paths2D subject_paths, clip_paths;
    for (const Polygon2D& polygon : subject) append_paths(polygon, subject_paths);
    append_paths(clip, clip_paths);
    return overlay(subject_paths, clip_paths, op);
}

MultiPolygon2D polygon_boolean(const Polygon2D& subject, const Polygon2D& clip, BooleanOp op) {
    Paths2D subject_paths, clip_paths;
    append_paths(subject, subject_paths);
    append_paths(clip, clip_paths);
    return overlay(subject_paths, clip_paths, op);
}

double ring_signed_area(const Ring& ring) { return ring_moments(ring).twice_area / 2.0; }

double polygon_signed_area(const Polygon2D& polygon) {
    const double exterior = ring_signed_area(polygon.exterior);
    double area = std::fabs(exterior);
    for (const Ring& hole : polygon.holes) area -= std::fabs(ring_signed_area(hole));
    return exterior < 0.0 ? -area : area;
}

double unsigned_area(const MultiPolygon2D& region) {
    double total = 0.0;
    for (const Polygon2D& polygon : region) total += std::fabs(polygon_signed_area(polygon));
    return total;
}

Point2D area_centroid(const MultiPolygon2D& region) {
    Weighted total;
    for (const Polygon2D& polygon : region) {
        Weighted part = weighted_ring(polygon.exterior);
        for (const Ring& hole : polygon.holes) {
            const Weighted h = weighted_ring(hole);
            part.weight -= h.weight;
            part.x -= h.x;
            part.y -= h.y;
        }
        if (part.weight == 0.0) continue;
        total.weight += part.weight;
        total.x += part.x;
        total.y += part.y;
    }
    return {total.x / total.weight, total.y / total.weight};
}

}  // namespace velmarin
