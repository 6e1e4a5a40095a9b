// An allocator for large arrays read in random order (hash tables, maps from
// one numbering to another).
//
// A block of 2 MiB or more is aligned to 2 MiB and offered to the kernel for
// transparent huge pages: a table of tens of megabytes then costs a few
// dozen TLB entries and page faults instead of thousands, which is much of
// the time of a lookup that misses the cache anyway. Smaller blocks come
// from the ordinary heap. Where huge pages are not available this is an
// aligned allocation and nothing more.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace velmarin {

template <class T>
struct HugePageAllocator {
    using value_type = T;

    static constexpr std::size_t huge_page = std::size_t{1} << 21;

    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < huge_page) return std::allocator<T>().allocate(n);
        const std::size_t rounded = (bytes + huge_page - 1) & ~(huge_page - 1);
        void* block = std::aligned_alloc(huge_page, rounded);
        if (!block) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        ::madvise(block, rounded, MADV_HUGEPAGE);  // advice only: refusal changes nothing
#endif
        return static_cast<T*>(block);
    }

    void deallocate(T* block, std::size_t n) noexcept {
        if (n * sizeof(T) < huge_page) {
            std::allocator<T>().deallocate(block, n);
        } else {
            std::free(block);
        }
    }

    template <class U>
    bool operator==(const HugePageAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace velmarin
