// A static R*-tree of boxes, each carrying a small payload, bulk-loaded once
// and then only queried, from any number of threads at once.
//
// Boxes are closed: two boxes that share only a face, an edge or a corner
// intersect. Keys are clamped to the finite range before they enter the
// tree. Clamping keeps every intersection the unclamped boxes have (it is
// monotone), while the tree's packing, which sorts by box centres, never
// meets the NaN centre of a box from -inf to +inf.
#pragma once

#include <cmath>
#include <utility>
#include <vector>

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <boost/iterator/function_output_iterator.hpp>

#include "registry/bounds.hpp"

namespace velmarin {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

// Leaf and node capacity of every tree (measured in bench/bench_build.py).
inline constexpr std::size_t box_index_node_size = 16;

template <class Payload>
class BoxIndex {
public:
    using Point = bg::model::point<double, 3, bg::cs::cartesian>;
    using Box = bg::model::box<Point>;

    struct Entry {
        Box key;
        Payload payload;
    };

    static Entry entry(const Bounds& bounds, Payload payload) { return {key_of(bounds), std::move(payload)}; }

    // The packing constructor: one bulk load, never single insertions.
    explicit BoxIndex(std::vector<Entry> entries) : tree_(entries.begin(), entries.end()) {}

    // Calls `visit(payload)` for every entry whose box intersects `bounds`,
    // in the order the tree yields them.
    template <class Visit>
    void query(const Bounds& bounds, Visit&& visit) const {
        auto out = boost::make_function_output_iterator([&](const Entry& e) { visit(e.payload); });
        tree_.query(bgi::intersects(key_of(bounds)), out);
    }

    std::size_t size() const { return tree_.size(); }

private:
    struct KeyOf {
        using result_type = const Box&;
        result_type operator()(const Entry& e) const { return e.key; }
    };

    // NaN (which no finite box margin produces) widens to the whole range.
    static double clamp(double v, double if_nan) {
        if (std::isnan(v)) return if_nan;
        return std::fmin(std::fmax(v, -Bounds::largest), Bounds::largest);
    }

    static Box key_of(const Bounds& b) {
        constexpr double big = Bounds::largest;
        return Box(Point(clamp(b.lower.x, -big), clamp(b.lower.y, -big), clamp(b.lower.z, -big)),
                   Point(clamp(b.upper.x, big), clamp(b.upper.y, big), clamp(b.upper.z, big)));
    }

    bgi::rtree<Entry, bgi::rstar<box_index_node_size>, KeyOf> tree_;
};

}  // namespace velmarin
