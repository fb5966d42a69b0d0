#pragma once
// A growable array of plain values for the batch tables, in memory of its
// own: a large stretch of address space is set aside at once and only the
// part in use is touched, so that growing never copies, and the system is
// asked for large pages (LargePages.h): a million queries' tables would
// otherwise spend most of their time in first touches of 4 KB pages.

#include <sys/mman.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

#include "LargePages.h"

namespace tenmari::batch {

template <typename T>
class FlatArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    FlatArray() = default;
    FlatArray(const FlatArray&) = delete;
    FlatArray& operator=(const FlatArray&) = delete;
    FlatArray(FlatArray&& o) noexcept { swap(o); }
    FlatArray& operator=(FlatArray&& o) noexcept {
        swap(o);
        return *this;
    }
    ~FlatArray() { largepages::unmap(data_, bytes_); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    T& back() { return data_[size_ - 1]; }

    // Room for n values in all. Memory never written before reads as zero bytes.
    void reserve(std::size_t n) {
        if (n * sizeof(T) <= bytes_) return;
        grow(n * sizeof(T));
    }
    void resize(std::size_t n) {
        reserve(n);
        size_ = n;
    }
    void push_back(const T& v) {
        if ((size_ + 1) * sizeof(T) > bytes_) grow((size_ + 1) * sizeof(T));
        data_[size_++] = v;
    }
    void append(const T* p, std::size_t n) {
        if ((size_ + n) * sizeof(T) > bytes_) grow((size_ + n) * sizeof(T));
        if (n) std::memcpy(data_ + size_, p, n * sizeof(T));
        size_ += n;
    }
    void clear() { size_ = 0; }
    void swap(FlatArray& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(bytes_, o.bytes_);
    }

private:
    static constexpr std::size_t kReserve = std::size_t{1} << 34;  // 16 GB of address space, none of it used yet

    void grow(std::size_t need) {
        if (!data_) {
            // One large stretch first; where the system refuses it, start small.
            std::size_t bytes = kReserve;
            void* p = largepages::map(bytes, true);
            if (p == nullptr) {
                bytes = (need + largepages::kSize - 1) / largepages::kSize * largepages::kSize;
                p = largepages::map(bytes);
            }
            if (p == nullptr) throw std::bad_alloc();
            data_ = static_cast<T*>(p);
            bytes_ = bytes;
            if (need <= bytes_) return;
        }
        // Past the stretch: move it, pages and all (the system copies nothing).
        const std::size_t bytes = std::max(need, bytes_ * 2);
        void* p = ::mremap(data_, bytes_, bytes, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<T*>(p);
        bytes_ = bytes;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t bytes_ = 0;
};

// Bytes as text.
inline std::string_view view(const FlatArray<char>& a) { return {a.data(), a.size()}; }

}  // namespace tenmari::batch
