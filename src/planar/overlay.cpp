#include "planar/overlay.hpp"

#include <clipper.hpp>

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/fault.hpp"

namespace velmarin {

namespace {

namespace cl = ClipperLib;

bool differs(const Point2D& a, const Point2D& b) { return !(a.x == b.x) || !(a.y == b.y); }

// The rings of a polygon set as the overlay takes them: every point but the
// last, which is taken to repeat the first.
using Paths2D = std::vector<Ring>;

void append_paths(const Polygon2D& polygon, Paths2D& out) {
    auto add = [&](const Ring& ring) {
        out.emplace_back(ring.begin(), ring.empty() ? ring.end() : ring.end() - 1);
    };
    add(polygon.exterior);
    for (const Ring& hole : polygon.holes) add(hole);
}

// The integer grid shared by both operands: centred on their common box and
// scaled so the larger half-extent spans about 2^29 units. Both operands must
// be mapped by the same grid, or shared edges would not line up.
class Grid {
public:
    explicit Grid(const Paths2D& subject, const Paths2D& clip) {
        Box box;
        for (const Paths2D* set : {&subject, &clip}) {
            for (const Ring& path : *set) {
                for (const Point2D& p : path) box.add(p);
            }
        }
        const double half_width = (box.max_x - box.min_x) * 0.5;
        const double half_height = (box.max_y - box.min_y) * 0.5;
        centre_ = {box.min_x + half_width, box.min_y + half_height};
        const double half = std::fmax(half_width, half_height);
        if (half > 0.0) {
            const long long k = saturated_int32(std::round(std::log2(half)));
            scale_ = std::ldexp(1.0, static_cast<int>(clamp_exponent(29 - k)));
            inverse_ = std::ldexp(1.0, static_cast<int>(clamp_exponent(k - 29)));
        }
    }

    cl::IntPoint to_grid(const Point2D& p) const {
        return {saturated_int32(std::round((p.x - centre_.x) * scale_)),
                saturated_int32(std::round((p.y - centre_.y) * scale_))};
    }

    Point2D from_grid(const cl::IntPoint& p) const {
        return {static_cast<double>(p.X) * inverse_ + centre_.x, static_cast<double>(p.Y) * inverse_ + centre_.y};
    }

private:
    // NaN coordinates take no part in the box, as in fmin and fmax.
    struct Box {
        double min_x = std::numeric_limits<double>::infinity();
        double min_y = std::numeric_limits<double>::infinity();
        double max_x = -std::numeric_limits<double>::infinity();
        double max_y = -std::numeric_limits<double>::infinity();
        void add(const Point2D& p) {
            min_x = std::fmin(min_x, p.x);
            min_y = std::fmin(min_y, p.y);
            max_x = std::fmax(max_x, p.x);
            max_y = std::fmax(max_y, p.y);
        }
    };

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

    // Beyond these exponents ldexp already gives 0 or infinity.
    static long long clamp_exponent(long long e) { return e < -4096 ? -4096 : (e > 4096 ? 4096 : e); }

    Point2D centre_;
    double scale_ = 1.0;
    double inverse_ = 1.0;
};

cl::Paths to_grid(const Paths2D& paths, const Grid& grid) {
    cl::Paths out(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        out[i].reserve(paths[i].size());
        for (const Point2D& p : paths[i]) out[i].push_back(grid.to_grid(p));
    }
    return out;
}

Ring from_grid(const cl::Path& path, const Grid& grid) {
    Ring ring;
    ring.reserve(path.size() + 1);
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

MultiPolygon2D overlay(const Paths2D& subject, const Paths2D& clip, BooleanOp op) {
    const Grid grid(subject, clip);
    cl::Clipper clipper;
    const bool subject_added = clipper.AddPaths(to_grid(subject, grid), cl::ptSubject, true);
    const bool clip_added = clipper.AddPaths(to_grid(clip, grid), cl::ptClip, true);
    // The library refuses to run on no edges at all (rings that are empty,
    // too short or flat); that region is empty whatever the operation.
    if (!subject_added && !clip_added) return {};
    cl::PolyTree tree;
    check(clipper.Execute(clip_type(op), tree, cl::pftEvenOdd, cl::pftEvenOdd), "polygon overlay failed");
    return read_tree(tree, grid);
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

Polygon2D project_face(const std::vector<Vector3D>& vertices, Face face, const Vector3D& origin,
                       const Vector3D& eu, const Vector3D& ev) {
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
