// Memory for the road model's per-sample arrays, which run to hundreds of megabytes on long
// tracks: large blocks go on huge pages where the system offers them (one page fault for every
// 2 MiB instead of 512), and growing an array leaves the new elements unwritten, because the
// model writes every sample before anything reads it.
#pragma once

#include <sys/mman.h>

#include <cstddef>
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

    SampleAllocator() = default;
    template <typename U> SampleAllocator(const SampleAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T) - kHugePage) {
            throw std::bad_array_new_length();
        }
        const std::size_t bytes = std::max<std::size_t>(n * sizeof(T), 1);
        void* p = nullptr;
        if (bytes >= kHugePage) {
            const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
            p = std::aligned_alloc(kHugePage, rounded);
            if (p != nullptr) {
                ::madvise(p, rounded, MADV_HUGEPAGE); // a hint: without it, plain pages
            }
        } else {
            p = std::malloc(bytes);
        }
        if (p == nullptr) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }

    template <typename U, typename... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    // Growing the array: the element stays to be written.
    template <typename U> void construct(U*) noexcept {}

    template <typename U> bool operator==(const SampleAllocator<U>&) const noexcept { return true; }
};

template <typename T> using SampleVector = std::vector<T, SampleAllocator<T>>;

} // namespace rolvet
