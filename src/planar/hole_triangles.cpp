#include "planar/hole_triangles.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmarin {

namespace {

// The triangles' area may differ from the rings' by this share of it.
constexpr double area_agreement = 1e-9;
// Joining a hole looks at every corner for every corner it might join
// (corners squared), for each hole: faces beyond this much work are not cut
// here. A door leaf's panes are some hundred corners; this is a tenth of a
// second.
constexpr double largest_work = 1e8;

double cross(const Point2D& o, const Point2D& a, const Point2D& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool same(const Point2D& a, const Point2D& b) { return a.x == b.x && a.y == b.y; }

double ring_area(std::span<const Point2D> points, const std::vector<std::size_t>& ring) {
    double twice = 0.0;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const Point2D& a = points[ring[k]];
        const Point2D& b = points[ring[(k + 1) % ring.size()]];
        twice += a.x * b.y - b.x * a.y;
    }
    return twice / 2;
}

// Whether segments pq and rs cross at a point inside both.
bool cross_properly(const Point2D& p, const Point2D& q, const Point2D& r, const Point2D& s) {
    const double d1 = cross(p, q, r), d2 = cross(p, q, s), d3 = cross(r, s, p), d4 = cross(r, s, q);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

bool inside_triangle(const Point2D& a, const Point2D& b, const Point2D& c, const Point2D& p) {
    return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

// The ring being cut: positions in points, as a list that the cuts join
// holes into and the ears leave.
class Polygon {
public:
    explicit Polygon(std::span<const Point2D> points) : points_(points) {}

    // Appends a ring of its own, wound as `ccw` asks.
    void add_ring(std::vector<std::size_t> ring, bool ccw) {
        if ((ring_area(points_, ring) > 0) != ccw) std::ranges::reverse(ring);
        for (const std::size_t p : ring) nodes_.push_back({p, 0, 0});
        const std::size_t first = nodes_.size() - ring.size();
        for (std::size_t k = first; k < nodes_.size(); ++k) {
            nodes_[k].next = k + 1 < nodes_.size() ? k + 1 : first;
            nodes_[k].prev = k > first ? k - 1 : nodes_.size() - 1;
        }
    }

    // Joins the hole whose nodes start at `hole` into the ring through `outer`,
    // by a cut from the hole's node with the largest x to the nearest node it sees.
    bool join(std::size_t hole, std::size_t outer, std::size_t outer_count) {
        std::size_t m = hole;
        for (std::size_t n = nodes_[hole].next; n != hole; n = nodes_[n].next) {
            if (point(n).x > point(m).x) m = n;
        }
        std::size_t best = no_node;
        double nearest = std::numeric_limits<double>::infinity();
        std::size_t n = outer;
        for (std::size_t k = 0; k < outer_count; ++k, n = nodes_[n].next) {
            const double dx = point(n).x - point(m).x, dy = point(n).y - point(m).y;
            const double distance = dx * dx + dy * dy;
            if (distance < nearest && opens_into(n, point(m)) && opens_into(m, point(n)) && sees(m, n)) {
                nearest = distance;
                best = n;
            }
        }
        if (best == no_node) return false;
        // best -> m -> ... around the hole ... -> m' -> best' -> best's old next.
        const std::size_t m_copy = nodes_.size(), best_copy = m_copy + 1;
        nodes_.push_back({nodes_[m].point, nodes_[m].prev, best_copy});
        nodes_.push_back({nodes_[best].point, m_copy, nodes_[best].next});
        nodes_[nodes_[m].prev].next = m_copy;
        nodes_[nodes_[best].next].prev = best_copy;
        nodes_[best].next = m;
        nodes_[m].prev = best;
        return true;
    }

    // Clips ears from the ring through `start` until none is left; false when it stalls.
    bool clip(std::size_t start, std::size_t count, std::vector<Triangle>& out) {
        std::size_t n = start;
        std::size_t tried = 0;
        while (count > 3) {
            const std::size_t a = nodes_[n].prev, c = nodes_[n].next;
            const double turn = cross(point(a), point(n), point(c));
            const bool flat = turn == 0.0;
            if (flat || (turn > 0 && is_ear(a, n, c))) {
                if (!flat) out.push_back({nodes_[a].point, nodes_[n].point, nodes_[c].point});
                nodes_[a].next = c;
                nodes_[c].prev = a;
                --count;
                tried = 0;
                n = c;
                continue;
            }
            if (++tried > count) return false;
            n = c;
        }
        const std::size_t a = nodes_[n].prev, c = nodes_[n].next;
        if (cross(point(a), point(n), point(c)) > 0) out.push_back({nodes_[a].point, nodes_[n].point, nodes_[c].point});
        return true;
    }

    std::size_t size() const { return nodes_.size(); }

private:
    static constexpr std::size_t no_node = std::numeric_limits<std::size_t>::max();

    struct Node {
        std::size_t point;
        std::size_t prev;
        std::size_t next;
    };

    const Point2D& point(std::size_t node) const { return points_[nodes_[node].point]; }

    // Whether the direction from node n towards p lies within n's corner, inside the ring.
    bool opens_into(std::size_t n, const Point2D& p) const {
        const Point2D &a = point(nodes_[n].prev), &o = point(n), &b = point(nodes_[n].next);
        if (cross(a, o, b) >= 0) return cross(o, b, p) >= 0 && cross(a, o, p) >= 0;  // a convex corner
        return cross(o, b, p) >= 0 || cross(a, o, p) >= 0;
    }

    // Whether the segment between nodes m and n crosses no edge of the ring or the holes.
    bool sees(std::size_t m, std::size_t n) const {
        for (std::size_t k = 0; k < nodes_.size(); ++k) {
            const Point2D &p = point(k), &q = point(nodes_[k].next);
            if (cross_properly(point(m), point(n), p, q)) return false;
        }
        return true;
    }

    bool is_ear(std::size_t a, std::size_t b, std::size_t c) const {
        const Point2D &pa = point(a), &pb = point(b), &pc = point(c);
        for (std::size_t n = nodes_[c].next; n != a; n = nodes_[n].next) {
            const Point2D& p = point(n);
            if (same(p, pa) || same(p, pb) || same(p, pc)) continue;
            if (inside_triangle(pa, pb, pc, p)) return false;
        }
        return true;
    }

    std::span<const Point2D> points_;
    std::vector<Node> nodes_;
};

}  // namespace

std::optional<std::vector<Triangle>> triangles_with_holes(std::span<const Point2D> points,
                                                          std::span<const std::vector<std::size_t>> rings) {
    if (rings.empty()) return std::nullopt;
    for (const std::vector<std::size_t>& ring : rings) {
        if (ring.size() < 3) return std::nullopt;
        for (const std::size_t p : ring) {
            if (p >= points.size() || !std::isfinite(points[p].x) || !std::isfinite(points[p].y)) return std::nullopt;
        }
    }
    double corners = 0.0;
    for (const std::vector<std::size_t>& ring : rings) corners += static_cast<double>(ring.size());
    if (corners * corners * static_cast<double>(rings.size()) > largest_work) return std::nullopt;
    double expected = std::abs(ring_area(points, rings[0]));
    Polygon polygon(points);
    polygon.add_ring(rings[0], true);
    // Holes in order of their largest x, the rightmost first, as each cut
    // then meets only holes already joined.
    std::vector<std::size_t> order(rings.size() - 1);
    std::vector<double> reach(rings.size(), -std::numeric_limits<double>::infinity());
    for (std::size_t h = 1; h < rings.size(); ++h) {
        order[h - 1] = h;
        for (const std::size_t p : rings[h]) reach[h] = std::max(reach[h], points[p].x);
        expected -= std::abs(ring_area(points, rings[h]));
    }
    std::ranges::sort(order, [&](std::size_t a, std::size_t b) { return reach[a] > reach[b]; });
    std::vector<std::size_t> starts(rings.size(), 0);
    for (std::size_t h = 1; h < rings.size(); ++h) {
        starts[h] = polygon.size();
        polygon.add_ring(rings[h], false);
    }
    std::size_t count = rings[0].size();
    for (const std::size_t h : order) {
        if (!polygon.join(starts[h], 0, count)) return std::nullopt;
        count += rings[h].size() + 2;
    }
    std::vector<Triangle> triangles;
    if (!(expected > 0) || !polygon.clip(0, count, triangles)) return std::nullopt;
    double area = 0.0;
    for (const Triangle& t : triangles) area += cross(points[t[0]], points[t[1]], points[t[2]]) / 2;
    if (std::abs(area - expected) > area_agreement * expected) return std::nullopt;
    return triangles;
}

}  // namespace velmarin
