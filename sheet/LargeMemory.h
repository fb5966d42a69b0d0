#pragma once
// An allocator for the sheet's large buffers (the file's bytes, its cells and
// rows, the output): a block of a megabyte or more is mapped afresh with the
// system asked to back it by 2 MiB pages. On virtual machines the first touch
// of each 4 KB page costs some microseconds; a sheet of 100,000 rows touches
// tens of megabytes. Smaller blocks come from the ordinary heap.

#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>
#include <string>

namespace tenmari::sheet {

template <typename T>
struct LargeMemory {
    using value_type = T;
    static constexpr std::size_t kLarge = std::size_t{1} << 20;
    static constexpr std::size_t kPage = std::size_t{2} << 20;

    LargeMemory() = default;
    template <typename U>
    LargeMemory(const LargeMemory<U>&) {}

    static std::size_t mapped(std::size_t n) { return (n * sizeof(T) + kPage - 1) / kPage * kPage; }

    T* allocate(std::size_t n) {
        if (n * sizeof(T) < kLarge) return std::allocator<T>().allocate(n);
        void* p = ::mmap(nullptr, mapped(n), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        ::madvise(p, mapped(n), MADV_HUGEPAGE);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) {
        if (n * sizeof(T) < kLarge) return std::allocator<T>().deallocate(p, n);
        ::munmap(p, mapped(n));
    }
    template <typename U>
    bool operator==(const LargeMemory<U>&) const {
        return true;
    }
};

// The bytes of a whole file.
using Bytes = std::basic_string<char, std::char_traits<char>, LargeMemory<char>>;

}  // namespace tenmari::sheet
