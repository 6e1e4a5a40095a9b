#include "boxes/box_index.hpp"

#include <cmath>
#include <utility>

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <boost/iterator/function_output_iterator.hpp>

namespace velmarin {

namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

using Point = bg::model::point<double, 3, bg::cs::cartesian>;
using Box = bg::model::box<Point>;
using Value = std::pair<Box, std::uint64_t>;

// Keys are clamped to the finite range before they enter the tree. Clamping
// keeps every intersection the unclamped boxes have (it is monotone), while
// the tree's packing, which sorts by box centres, never meets the NaN centre
// of a box from -inf to +inf. NaN (which no finite box margin produces)
// widens to the whole range.
double clamp(double v, double if_nan) {
    if (std::isnan(v)) return if_nan;
    return std::fmin(std::fmax(v, -Bounds::largest), Bounds::largest);
}

Box key_of(const Bounds& b) {
    constexpr double big = Bounds::largest;
    return Box(Point(clamp(b.lower.x, -big), clamp(b.lower.y, -big), clamp(b.lower.z, -big)),
               Point(clamp(b.upper.x, big), clamp(b.upper.y, big), clamp(b.upper.z, big)));
}

Value value_of(const BoxIndex::Entry& e) { return {key_of(e.box), e.position}; }

}  // namespace

struct BoxIndex::Tree {
    bgi::rtree<Value, bgi::rstar<box_index_node_size>> rtree;
};

namespace {

// The keys are made once before the packing, which reads each value several
// times; the tree is the same.
std::vector<Value> values_of(const std::vector<BoxIndex::Entry>& entries) {
    std::vector<Value> values;
    values.reserve(entries.size());
    for (const BoxIndex::Entry& e : entries) values.push_back(value_of(e));
    return values;
}

}  // namespace

BoxIndex::BoxIndex(const std::vector<Entry>& entries) {
    const std::vector<Value> values = values_of(entries);
    tree_ = std::make_unique<const Tree>(Tree{{values.begin(), values.end()}});
}

BoxIndex::BoxIndex(BoxIndex&&) noexcept = default;
BoxIndex& BoxIndex::operator=(BoxIndex&&) noexcept = default;
BoxIndex::~BoxIndex() = default;

void BoxIndex::for_each_hit(const Bounds& bounds, Visitor visitor, const void* context) const {
    auto out = boost::make_function_output_iterator([&](const Value& v) {
        const Point& low = v.first.min_corner();
        const Point& high = v.first.max_corner();
        Bounds box;
        box.lower = {low.get<0>(), low.get<1>(), low.get<2>()};
        box.upper = {high.get<0>(), high.get<1>(), high.get<2>()};
        visitor(context, v.second, box);
    });
    tree_->rtree.query(bgi::intersects(key_of(bounds)), out);
}

std::size_t BoxIndex::size() const { return tree_->rtree.size(); }

}  // namespace velmarin
