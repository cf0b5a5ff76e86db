// Memory for the road model's per-sample arrays, which run to hundreds of megabytes on long
// tracks: large blocks go on huge pages where the system offers them (one page fault for every
// 2 MiB instead of 512), and growing an array leaves the new elements unwritten, because the
// model writes every sample before anything reads it.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace rolvet {

template <typename T> struct SampleAllocator {
    // Elements are made by writing them: only types whose objects memory itself can hold.
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    using value_type = T;

    static constexpr std::size_t kHugePage = std::size_t{2} << 20;
    static constexpr std::size_t Rounded(std::size_t bytes) {
        return (bytes + kHugePage - 1) / kHugePage * kHugePage;
    }

    SampleAllocator() = default;
    template <typename U> SampleAllocator(const SampleAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T) - 2 * kHugePage) {
            throw std::bad_array_new_length();
        }
        const std::size_t bytes = std::max<std::size_t>(n * sizeof(T), 1);
        if (bytes < kHugePage) {
            void* p = std::malloc(bytes);
            if (p == nullptr) {
                throw std::bad_alloc();
            }
            return static_cast<T*>(p);
        }
        // Large blocks are mapped here rather than by malloc, which after the first large free
        // serves blocks of up to 32 MiB from its heap and there fault them in 4 KiB at a time.
        // The mapping is cut to whole huge pages on a huge-page boundary.
        const std::size_t rounded = Rounded(bytes);
        void* mapped = ::mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            throw std::bad_alloc();
        }
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = Rounded(start);
        if (aligned > start) {
            ::munmap(mapped, aligned - start);
        }
        if (const std::size_t tail = start + kHugePage - aligned; tail > 0) {
            ::munmap(reinterpret_cast<void*>(aligned + rounded), tail);
        }
        auto* p = reinterpret_cast<void*>(aligned);
        ::madvise(p, rounded, MADV_HUGEPAGE); // a hint: without it, plain pages
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = std::max<std::size_t>(n * sizeof(T), 1);
        if (bytes < kHugePage) {
            std::free(p);
        } else {
            ::munmap(p, Rounded(bytes));
        }
    }

    template <typename U, typename... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    // Growing the array: the element stays to be written.
    template <typename U> void construct(U*) noexcept {}

    template <typename U> bool operator==(const SampleAllocator<U>&) const noexcept { return true; }
};

template <typename T> using SampleVector = std::vector<T, SampleAllocator<T>>;

} // namespace rolvet
