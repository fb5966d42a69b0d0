#pragma once
// Fresh memory at a large-page boundary, with the system asked to back it by
// large pages (2 MiB). On virtual machines that keep shadow page tables the
// first touch of each 4 KB page costs some 10 to 20 µs; one large page costs
// about as much as ten. Where the system gives no large pages, ordinary
// pages serve. The read buffer and the batch tables take their memory here.

#include <cstddef>

namespace tenmari::largepages {

inline constexpr std::size_t kSize = std::size_t{2} << 20;

// `bytes` (a multiple of kSize) of zeroed memory starting at a multiple of
// kSize, or nullptr when it cannot be had. With `addressSpaceOnly` no memory
// is promised for it until it is touched (MAP_NORESERVE).
void* map(std::size_t bytes, bool addressSpaceOnly = false);
// Gives back what map() gave.
void unmap(void* p, std::size_t bytes);

}  // namespace tenmari::largepages
