// An allocator for the large arrays of the log reader (the time index of a
// log of gigabytes holds megabytes): large blocks are aligned to and
// advised as huge pages, so that filling them faults a few pages, not one
// per 4 KiB. On a virtual machine a page fault can cost more than the rest
// of reading an index file.
#ifndef HUGEPAGES_H
#define HUGEPAGES_H

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

#include <sys/mman.h>

template <typename T>
struct HugePageAllocator
{
    using value_type = T;
    static constexpr std::size_t kHugePage = std::size_t(2) << 20;

    HugePageAllocator() = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U> &) {}

    T *allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kHugePage)
            return static_cast<T *>(::operator new(bytes));
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void *p = std::aligned_alloc(kHugePage, rounded);
        if (!p)
            throw std::bad_alloc();
        ::madvise(p, rounded, MADV_HUGEPAGE); // only advice: small pages serve as well
        return static_cast<T *>(p);
    }

    void deallocate(T *p, std::size_t n)
    {
        if (n * sizeof(T) < kHugePage)
            ::operator delete(p);
        else
            std::free(p);
    }

    // Elements made without a value are left unset, as a plain array's are:
    // a vector sized before it is filled is written once, not twice.
    template <typename U>
    void construct(U *p) noexcept(std::is_nothrow_default_constructible<U>::value)
    {
        ::new (static_cast<void *>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U *p, Args &&...args)
    {
        ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }

    template <typename U>
    bool operator==(const HugePageAllocator<U> &) const { return true; }
    template <typename U>
    bool operator!=(const HugePageAllocator<U> &) const { return false; }
};

#endif
