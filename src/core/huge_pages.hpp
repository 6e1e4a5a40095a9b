// An allocator for large arrays read in random order (hash tables, maps from
// one numbering to another), and a zero-filled array on the same terms.
//
// A block of 2 MiB or more is aligned to 2 MiB and offered to the kernel for
// transparent huge pages: a table of tens of megabytes then costs a few
// dozen TLB entries and page faults instead of thousands, which is much of
// the time of a lookup that misses the cache anyway. Smaller blocks come
// from the ordinary heap. Where huge pages are not available this is an
// aligned allocation and nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace velmarin {

template <class T>
struct HugePageAllocator {
    using value_type = T;

    static constexpr std::size_t huge_page = std::size_t{1} << 21;
    // The most bytes one block may hold, std::allocator's limit: a pointer
    // difference must be able to span it.
    static constexpr std::size_t largest_bytes = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());

    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    // Refuses what std::allocator refuses, with its exceptions: a count whose
    // bytes do not fit a size_t, and one of more bytes than a pointer
    // difference can span. The bytes left are at most half the address
    // space, so rounding them up to whole huge pages cannot wrap.
    T* allocate(std::size_t n) {
        if (n > largest_bytes / sizeof(T)) {
            if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
            throw std::bad_alloc();
        }
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

// Offers the whole huge pages inside a block from another allocator (the
// buffer of a standard vector that is handed on) for transparent huge pages:
// first touches of a large buffer then cost a fraction of the time.
inline void advise_huge_pages(const void* block, std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t huge_page = HugePageAllocator<char>::huge_page;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + huge_page - 1) & ~(huge_page - 1);
    const std::uintptr_t last = (start + bytes) & ~(huge_page - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // advice only
#else
    (void)block;
    (void)bytes;
#endif
}

// A fixed number of T (plain records, valid when all bytes are zero) that
// start zeroed, for tables cleared before use. Large arrays are mapped from
// the kernel, which hands out pages already zero, so the memory is not
// written twice; like the allocator's blocks they are aligned to 2 MiB and
// offered for huge pages. Small ones come from calloc.
template <class T>
class ZeroedArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    ZeroedArray() = default;
    explicit ZeroedArray(std::size_t n) : size_(n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T) - HugePageAllocator<T>::huge_page) {
            throw std::bad_array_new_length();
        }
        data_ = static_cast<T*>(allocate(bytes()));
    }
    ZeroedArray(ZeroedArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    ZeroedArray& operator=(ZeroedArray&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }
    ~ZeroedArray() { release(data_, bytes()); }

    std::size_t size() const noexcept { return size_; }
    T& operator[](std::size_t i) noexcept { return data_[i]; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }

private:
    static constexpr std::size_t huge_page = HugePageAllocator<T>::huge_page;

    std::size_t bytes() const noexcept { return size_ * sizeof(T); }

    static bool mapped(std::size_t bytes) noexcept {
#if defined(__linux__)
        return bytes >= huge_page;
#else
        return false;
#endif
    }

    static void* allocate(std::size_t bytes) {
        if (bytes == 0) return nullptr;
        if (!mapped(bytes)) {
            void* block = std::calloc(1, bytes);
            if (!block) throw std::bad_alloc();
            return block;
        }
#if defined(__linux__)
        // Mapped with a huge page to spare, then trimmed to an aligned run.
        const std::size_t rounded = (bytes + huge_page - 1) & ~(huge_page - 1);
        void* map = ::mmap(nullptr, rounded + huge_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(map);
        const std::uintptr_t aligned = (start + huge_page - 1) & ~(huge_page - 1);
        if (aligned > start) ::munmap(map, aligned - start);
        const std::size_t after = start + huge_page - aligned;
        if (after > 0) ::munmap(reinterpret_cast<void*>(aligned + rounded), after);
#if defined(MADV_HUGEPAGE)
        ::madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);  // advice only
#endif
        return reinterpret_cast<void*>(aligned);
#endif
    }

    static void release(T* block, std::size_t bytes) noexcept {
        if (!block) return;
        if (!mapped(bytes)) return std::free(block);
#if defined(__linux__)
        ::munmap(block, (bytes + huge_page - 1) & ~(huge_page - 1));
#endif
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace velmarin
