// ZeroedArray at its limits: sizes about the one from which it maps its own
// pages (zero, writable to the last element, aligned as promised, zero again
// where a freed array stood), and counts whose bytes do not fit the address
// space, which must be refused rather than wrap to a small block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "core/huge_pages.hpp"

using namespace velmarin;

namespace {

// A weld map slot's shape, and a size that divides no page.
struct Slot {
    std::uint64_t key;
    std::uint32_t tag, cell;
};
struct Odd {
    char bytes[3];
};

template <class T>
class ZeroedArrayLimits : public testing::Test {};
using Elements = testing::Types<char, Slot, Odd>;
TYPED_TEST_SUITE(ZeroedArrayLimits, Elements);

constexpr std::size_t huge_page = HugePageAllocator<char>::huge_page;
constexpr std::size_t largest = std::numeric_limits<std::size_t>::max();

template <class T>
bool all_zero(const ZeroedArray<T>& array) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&array[0]);
    return std::all_of(bytes, bytes + array.size() * sizeof(T), [](unsigned char b) { return b == 0; });
}

TYPED_TEST(ZeroedArrayLimits, ZeroAndWritableAboutTheMappedSize) {
    using T = TypeParam;
    const std::size_t at = huge_page / sizeof(T);  // the first count mapped, or the last below it
    EXPECT_EQ(ZeroedArray<T>(0).size(), 0u);
    for (std::size_t n : {std::size_t{1}, at - 1, at, at + 1, 3 * at + 7}) {
        // Each size twice: the second array may stand where the first,
        // filled with ones, was freed.
        for (int time = 0; time < 2; ++time) {
            ZeroedArray<T> array(n);
            ASSERT_EQ(array.size(), n);
            ASSERT_TRUE(all_zero(array)) << n << " elements, time " << time;
            if (n * sizeof(T) >= huge_page) {
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&array[0]) % huge_page, 0u) << n << " elements";
            }
            std::memset(static_cast<void*>(&array[0]), 0xff, n * sizeof(T));
        }
    }
}

TYPED_TEST(ZeroedArrayLimits, MovesLeaveTheSourceEmpty) {
    using T = TypeParam;
    for (std::size_t n : {std::size_t{1}, 3 * huge_page / sizeof(T)}) {
        ZeroedArray<T> array(n);
        ZeroedArray<T> moved(std::move(array));
        EXPECT_EQ(array.size(), 0u);
        ZeroedArray<T> assigned(5);
        assigned = std::move(moved);
        ASSERT_EQ(assigned.size(), n);
        EXPECT_TRUE(all_zero(assigned));
    }
}

// Counts whose bytes, rounded up to whole huge pages with one to spare,
// would pass the end of the address space, and counts just short of that,
// which no machine can map: both throw, none hands out a block.
TYPED_TEST(ZeroedArrayLimits, CountsBeyondTheAddressSpaceRefused) {
    using T = TypeParam;
    const std::size_t most = largest / sizeof(T);
    for (std::size_t n :
         {largest, most, most - 1, most - huge_page / sizeof(T), most - 2 * huge_page / sizeof(T), most - huge_page - 1,
          most - huge_page, most - huge_page + 1, most / 2, (std::size_t{1} << 48) / sizeof(T)}) {
        EXPECT_THROW(ZeroedArray<T>{n}, std::bad_alloc) << n << " elements of " << sizeof(T) << " bytes";
    }
}

}  // namespace
