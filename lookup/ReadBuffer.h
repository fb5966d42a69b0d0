#pragma once
// The bytes a dictionary is read into, in large pages (LargePages.h): a
// process's first search then does not fault its buffer in 4 KB at a time,
// which on virtual machines with dear page faults costs about as much as
// reading the whole nationwide file. (Mapping 4 KB pages filled in at once
// was tried too: half the cost of faulting them in, no better than the
// smaller buffer of before.) Built with a memory-checking sanitizer it is a
// plain heap array, so that a pass reading past its bytes is still caught.

#include <cstddef>
#include <vector>

// Whether the buffer is a plain heap array: under a sanitizer that checks memory.
#if defined(__SANITIZE_ADDRESS__)
#define TENMARI_HEAP_READ_BUFFER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define TENMARI_HEAP_READ_BUFFER 1
#endif
#endif

namespace tenmari {

class ReadBuffer {
public:
    ReadBuffer() = default;
    ~ReadBuffer() { release(); }
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;

    char* data() { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // n bytes in use; the first of them keep what they held. Throws
    // std::bad_alloc when the memory cannot be had.
    void resize(std::size_t n);
    // Gives the memory back; the buffer is then empty.
    void release();

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t room_ = 0;  // bytes usable from data_
#if defined(TENMARI_HEAP_READ_BUFFER)
    std::vector<char> heap_;
#endif
};

}  // namespace tenmari
