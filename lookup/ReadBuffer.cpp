#include "ReadBuffer.h"

#include "LargePages.h"

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

void ReadBuffer::resize(std::size_t n) {
    if (n <= room_) {
        size_ = n;
        return;
    }
    const std::size_t room = (n + largepages::kSize - 1) / largepages::kSize * largepages::kSize;
    auto* const data = static_cast<char*>(largepages::map(room));
    if (data == nullptr) throw std::bad_alloc();
    if (size_ > 0) std::memcpy(data, data_, size_);
    largepages::unmap(data_, room_);
    data_ = data;
    room_ = room;
    size_ = n;
}

void ReadBuffer::release() {
    largepages::unmap(data_, room_);
    data_ = nullptr;
    size_ = room_ = 0;
}

#endif

}  // namespace tenmari
