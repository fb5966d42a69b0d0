#include "ReadBuffer.h"

#if !defined(TENMARI_HEAP_READ_BUFFER)
#include <sys/mman.h>
#endif

#include <cstdint>
#include <cstring>
#include <new>

namespace tenmari {

#if defined(TENMARI_HEAP_READ_BUFFER)

void ReadBuffer::resize(std::size_t n) {
    heap_.resize(n);
    data_ = heap_.data();
    size_ = room_ = n;
}

void ReadBuffer::release() {
    std::vector<char>().swap(heap_);
    data_ = nullptr;
    size_ = room_ = 0;
}

#else

namespace {
constexpr std::size_t kLargePage = std::size_t{2} << 20;
}

void ReadBuffer::resize(std::size_t n) {
    if (n <= room_) {
        size_ = n;
        return;
    }
    // Room in whole large pages, mapped with one to spare so that it can
    // start at a large-page boundary.
    const std::size_t room = (n + kLargePage - 1) / kLargePage * kLargePage;
    const std::size_t mapped = room + kLargePage;
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    const auto at = (reinterpret_cast<std::uintptr_t>(p) + kLargePage - 1) & ~std::uintptr_t{kLargePage - 1};
    char* const data = reinterpret_cast<char*>(at);
#if defined(MADV_HUGEPAGE)
    ::madvise(data, room, MADV_HUGEPAGE);  // a hint: without large pages all still works
#endif
    if (size_ > 0) std::memcpy(data, data_, size_);
    if (mapping_ != nullptr) ::munmap(mapping_, mapped_);
    mapping_ = p;
    mapped_ = mapped;
    data_ = data;
    room_ = room;
    size_ = n;
}

void ReadBuffer::release() {
    if (mapping_ != nullptr) ::munmap(mapping_, mapped_);
    mapping_ = nullptr;
    mapped_ = 0;
    data_ = nullptr;
    size_ = room_ = 0;
}

#endif

}  // namespace tenmari
