// HugePageAllocator against std::allocator: blocks about the size from which
// it takes whole huge pages (writable to the last element, aligned as
// promised), and counts too large for a block, which must be refused with
// std::allocator's own exceptions rather than rounded into a small block.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "core/huge_pages.hpp"

using namespace velmarin;

namespace {

struct Odd {
    char bytes[3];
};

template <class T>
class HugePageAllocatorLimits : public testing::Test {};
using Elements = testing::Types<char, std::uint64_t, Odd>;
TYPED_TEST_SUITE(HugePageAllocatorLimits, Elements);

constexpr std::size_t huge_page = HugePageAllocator<char>::huge_page;
constexpr std::size_t largest = std::numeric_limits<std::size_t>::max();
constexpr std::size_t largest_difference = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());

enum class Outcome { block, bad_array_new_length, bad_alloc };

template <class Allocator>
Outcome outcome_of(std::size_t n) {
    Allocator allocator;
    try {
        allocator.deallocate(allocator.allocate(n), n);
        return Outcome::block;
    } catch (const std::bad_array_new_length&) {
        return Outcome::bad_array_new_length;
    } catch (const std::bad_alloc&) {
        return Outcome::bad_alloc;
    }
}

TYPED_TEST(HugePageAllocatorLimits, WritableAndAlignedAboutTheHugePage) {
    using T = TypeParam;
    const std::size_t at = huge_page / sizeof(T);  // the first count on huge pages, or the last below it
    HugePageAllocator<T> allocator;
    for (std::size_t n : {std::size_t{1}, at - 1, at, at + 1, 3 * at + 7}) {
        T* block = allocator.allocate(n);
        ASSERT_NE(block, nullptr) << n << " elements";
        if (n * sizeof(T) >= huge_page) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % huge_page, 0u) << n << " elements";
        }
        std::memset(static_cast<void*>(block), 0xff, n * sizeof(T));
        allocator.deallocate(block, n);
    }
}

// Every count here is beyond std::allocator's limit, so neither allocator
// reaches the heap: the first whose bytes pass that limit, those whose bytes
// would wrap when rounded up to whole huge pages, the last whose bytes fit a
// size_t, and one whose bytes do not (for single bytes, the last two are one).
TYPED_TEST(HugePageAllocatorLimits, CountsTooLargeRefusedAsByTheStandardAllocator) {
    using T = TypeParam;
    const std::size_t most = largest / sizeof(T);
    for (std::size_t n : {largest_difference / sizeof(T) + 1, (largest - huge_page + 2) / sizeof(T),
                          (largest - huge_page / 2) / sizeof(T), most - 1, most, largest}) {
        const Outcome standard = outcome_of<std::allocator<T>>(n);
        ASSERT_NE(standard, Outcome::block) << n << " elements";
        EXPECT_EQ(outcome_of<HugePageAllocator<T>>(n), standard) << n << " elements of " << sizeof(T) << " bytes";
    }
}

}  // namespace
