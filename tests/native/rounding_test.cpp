// The rounding of the weld keys: round_saturating against the library's
// rounding, the two-at-a-time rounding against round_saturating, and welding
// (which takes one or the other) against cells keyed by round_saturating alone.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "core/rounding.hpp"
#include "geometry/clean.hpp"

using namespace velmarin;

namespace {

constexpr std::int64_t int64_max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64_min = std::numeric_limits<std::int64_t>::min();
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
// The size below which round_small takes both values, as its comment says.
constexpr double small_limit = 0x1p51;

// round_saturating as plainly written: the library's rounding (halves away
// from zero), clamped.
std::int64_t plain_round(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 0x1p63) return int64_max;
    if (value <= -0x1p63) return int64_min;
    return static_cast<std::int64_t>(std::round(value));
}

// Where rounding goes wrong when it goes wrong: halves and their neighbours,
// the edges of the binades where a double's step becomes 1/2, 1 and 2, the
// ends of the integer range, and what is not a number.
std::vector<double> edge_values() {
    // clang-format off
    const std::vector<double> seeds = {
        0.0, 5e-324, 0.25, 0.5, 1.5, 2.5, 1e6 + 0.5,
        small_limit - 1.5, small_limit - 1.0, small_limit - 0.5, small_limit, small_limit + 0.5, small_limit + 1.0,
        0x1p52 - 0.5, 0x1p52, 0x1p52 + 1.0, 0x1p53 + 2.0, 0x1p63, 1e300, std::numeric_limits<double>::max(), infinity};
    // clang-format on
    std::vector<double> values = {nan, -nan};
    for (double seed : seeds) {
        for (double v : {seed, std::nextafter(seed, 0.0), std::nextafter(seed, infinity)}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    return values;
}

// Any bit pattern; 53 random bits scaled to sizes about those where the
// step of a double passes 1; or a whole number of any size and a half.
double random_value(std::mt19937_64& random) {
    switch (random() % 3) {
        case 0: return std::bit_cast<double>(random());
        case 1: return std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 120) - 80);
        default: return static_cast<double>(static_cast<std::int64_t>(random() >> (random() % 64))) + 0.5;
    }
}

TEST(Rounding, SaturatingRoundsAsTheLibraryDoes) {
    for (double v : edge_values()) EXPECT_EQ(round_saturating(v), plain_round(v)) << v;
    std::mt19937_64 random(20);
    for (int i = 0; i < 200000; ++i) {
        const double v = random_value(random);
        ASSERT_EQ(round_saturating(v), plain_round(v)) << v;
    }
}

#if defined(__SSE2__)
// The quick rounding of a pair, with whether it took it.
struct Quick {
    bool small;
    std::int64_t first, second;
};

Quick round_quick(double first, double second) {
    __m128i rounded;
    const bool small = round_small(_mm_set_pd(second, first), rounded);
    std::array<std::int64_t, 2> lanes;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes.data()), rounded);
    return {small, lanes[0], lanes[1]};
}

void expect_quick_agrees(double first, double second) {
    const Quick quick = round_quick(first, second);
    const bool small = std::fabs(first) < small_limit && std::fabs(second) < small_limit;
    ASSERT_EQ(quick.small, small) << first << ", " << second;
    if (!small) return;
    EXPECT_EQ(quick.first, round_saturating(first)) << first << " beside " << second;
    EXPECT_EQ(quick.second, round_saturating(second)) << second << " beside " << first;
}

TEST(Rounding, SmallPairsRoundAsSaturating) {
    const std::vector<double> values = edge_values();
    for (double first : values) {
        for (double second : values) {
            expect_quick_agrees(first, second);
            if (HasFatalFailure()) return;
        }
    }
    std::mt19937_64 random(21);
    for (int i = 0; i < 200000; ++i) {
        expect_quick_agrees(random_value(random), random_value(random));
        if (HasFatalFailure()) return;
    }
}

#endif

// Restores the rounding mode a test changed.
class RoundingMode {
public:
    explicit RoundingMode(int mode) : saved_(std::fegetround()) { std::fesetround(mode); }
    ~RoundingMode() { std::fesetround(saved_); }

private:
    int saved_;
};

TEST(Rounding, QuickOnlyWhileRoundingToNearest) {
    EXPECT_TRUE(can_round_small());
    for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        const RoundingMode changed(mode);
        EXPECT_FALSE(can_round_small()) << "mode " << mode;
    }
    EXPECT_TRUE(can_round_small());
}

// Welding as plainly written: each vertex's cell keyed by round_saturating
// alone, the first vertex of each cell kept.
std::vector<Vector3D> plain_weld(const std::vector<Vector3D>& vertices, double tolerance) {
    std::set<std::array<std::int64_t, 3>> cells;
    std::vector<Vector3D> kept;
    for (const Vector3D& v : vertices) {
        const std::array<std::int64_t, 3> key = {round_saturating(v.x / tolerance), round_saturating(v.y / tolerance),
                                                 round_saturating(v.z / tolerance)};
        if (cells.insert(key).second) kept.push_back(v);
    }
    return kept;
}

bool same_bits(const Vector3D& a, const Vector3D& b) {
    return std::bit_cast<std::uint64_t>(a.x) == std::bit_cast<std::uint64_t>(b.x) &&
           std::bit_cast<std::uint64_t>(a.y) == std::bit_cast<std::uint64_t>(b.y) &&
           std::bit_cast<std::uint64_t>(a.z) == std::bit_cast<std::uint64_t>(b.z);
}

// Vertices whose coordinates are edge values times the tolerance, mixed so
// that every component meets each of them and cells are met repeatedly.
std::vector<Vector3D> edge_vertices(double tolerance, std::mt19937_64& random) {
    const double scale = tolerance > 0.0 ? tolerance : 1.0;
    std::vector<double> coordinates;
    for (double v : edge_values()) coordinates.push_back(v * scale);
    std::vector<Vector3D> vertices;
    for (int i = 0; i < 4000; ++i) {
        auto pick = [&] { return coordinates[random() % coordinates.size()]; };
        vertices.push_back({pick(), pick(), pick()});
        if (i % 4 == 3) vertices.push_back(vertices[random() % vertices.size()]);
    }
    return vertices;
}

class WeldKeys : public testing::TestWithParam<double> {};

TEST_P(WeldKeys, WeldAsRoundSaturatingKeys) {
    const double tolerance = GetParam();
    std::mt19937_64 random(22);
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        const RoundingMode changed(mode);
        const std::vector<Vector3D> vertices = edge_vertices(tolerance, random);
        const Result<Mesh> welded = clean_mesh(Mesh{vertices, {}}, tolerance);
        ASSERT_TRUE(welded.ok());
        const std::vector<Vector3D> expected = plain_weld(vertices, tolerance);
        ASSERT_EQ(welded.value().vertices.size(), expected.size()) << "mode " << mode;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_TRUE(same_bits(welded.value().vertices[i], expected[i])) << "mode " << mode << ", vertex " << i;
        }
    }
}

// Dyadic and decimal tolerances, one so small that keys overflow, and a
// tolerance that makes every quotient infinite or NaN.
INSTANTIATE_TEST_SUITE_P(Tolerances, WeldKeys, testing::Values(1.0, 0.001, 0x1p-20, 1e-300, 0.0));

}  // namespace
