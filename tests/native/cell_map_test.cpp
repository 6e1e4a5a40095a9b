// The weld map at the edges of its packed range and in the second table
// that holds the keys beyond it, against a plain ordered map.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <tuple>
#include <vector>

#include "geometry/cell_map.hpp"

using namespace velmarin;

namespace {

constexpr std::int64_t bias = CellMap::bias;
constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64_min = std::numeric_limits<std::int64_t>::min();

// Components on both sides of each end of the packed range, around zero,
// one bit beyond the range, and the saturated ends of a rounding.
const std::vector<std::int64_t> edge_components = {int64_min, -2 * bias, -bias - 1, -bias,    -bias + 1, -1,       0, 1,
                                                   bias - 2,  bias - 1,  bias,      bias + 1, 2 * bias,  int64_max};

bool packs(std::int64_t component) { return -bias <= component && component < bias; }

// Numbers a key as welding does: through the packed table where it packs,
// whole otherwise.
std::uint64_t number(CellMap& cells, const CellKey& key) {
    const CellMap::Lookup lookup = cells.start_lookup(key);
    return lookup.packs() ? cells.find_or_insert(lookup) : cells.find_or_insert_whole(key);
}

// Cells numbered as plainly written: 0, 1, 2, ... in order of first key.
class PlainCells {
public:
    std::uint64_t number(const CellKey& key) {
        return numbers_.try_emplace(std::tuple(key.x, key.y, key.z), numbers_.size()).first->second;
    }
    std::size_t size() const { return numbers_.size(); }

private:
    std::map<std::tuple<std::int64_t, std::int64_t, std::int64_t>, std::uint64_t> numbers_;
};

std::vector<CellKey> edge_keys() {
    std::vector<CellKey> keys;
    for (std::int64_t x : edge_components) {
        for (std::int64_t y : edge_components) {
            for (std::int64_t z : edge_components) keys.push_back({x, y, z});
        }
    }
    return keys;
}

// Each key is numbered as the plain map numbers it, whichever table holds it.
void expect_numbered_plainly(const std::vector<CellKey>& keys, std::size_t expected) {
    CellMap cells(expected);
    PlainCells plain;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const CellKey& key = keys[i];
        ASSERT_EQ(number(cells, key), plain.number(key))
            << "key " << i << ": " << key.x << ", " << key.y << ", " << key.z;
    }
    EXPECT_EQ(cells.size(), plain.size());
}

TEST(CellMap, PacksExactlyTheKeysInRange) {
    const CellMap cells(0);
    for (const CellKey& key : edge_keys()) {
        EXPECT_EQ(cells.start_lookup(key).packs(), packs(key.x) && packs(key.y) && packs(key.z))
            << key.x << ", " << key.y << ", " << key.z;
    }
}

// Every combination of edge components, in two shuffled rounds: the second
// round finds every cell again. Both tables start small and grow, with the
// other's cells counted in between.
TEST(CellMap, EdgeKeysNumberedAsAPlainMap) {
    std::vector<CellKey> keys = edge_keys();
    std::mt19937_64 random(30);
    std::shuffle(keys.begin(), keys.end(), random);
    std::vector<CellKey> again = keys;
    std::shuffle(again.begin(), again.end(), random);
    keys.insert(keys.end(), again.begin(), again.end());
    for (std::size_t expected : {0, 1 << 12}) expect_numbered_plainly(keys, expected);
}

// Many keys about both ends of the range, one in eight of them packed: each
// table grows many times while the other fills.
TEST(CellMap, GrowsAcrossBothTables) {
    std::mt19937_64 random(31);
    auto component = [&] {
        const auto offset = static_cast<std::int64_t>(random() % 24) - 12;
        return (random() % 2 ? bias : -bias) + offset;
    };
    std::vector<CellKey> keys(60000);
    for (CellKey& key : keys) key = {component(), component(), component()};
    expect_numbered_plainly(keys, 0);
}

}  // namespace
