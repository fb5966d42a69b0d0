#include "LargePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace tenmari::largepages {

void* map(std::size_t bytes, bool addressSpaceOnly) {
    // One large page more than asked, so that the memory can start at a
    // boundary; the ends left over are given back.
    const std::size_t mapped = bytes + kSize;
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (addressSpaceOnly ? MAP_NORESERVE : 0);
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const auto at = (start + kSize - 1) & ~std::uintptr_t{kSize - 1};
    if (at > start) ::munmap(p, at - start);
    if (const std::size_t tail = start + mapped - (at + bytes); tail > 0) {
        ::munmap(reinterpret_cast<void*>(at + bytes), tail);
    }
    void* const data = reinterpret_cast<void*>(at);
#if defined(MADV_HUGEPAGE)
    ::madvise(data, bytes, MADV_HUGEPAGE);  // a hint: without large pages all still works
#endif
    return data;
}

void unmap(void* p, std::size_t bytes) {
    if (p != nullptr) ::munmap(p, bytes);
}

}  // namespace tenmari::largepages
