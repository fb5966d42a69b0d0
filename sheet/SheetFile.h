#pragma once
// The files of a sheet: the input read whole, and the output written whole or
// not at all. The output goes to a temporary file in its own folder, which is
// renamed into place once every byte is written: a full disk, a folder that
// cannot be written, an interrupt or a cancel leave no half-written file.

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "LargeMemory.h"

namespace tenmari::sheet {

class FileError : public std::runtime_error {
public:
    enum class Kind { read, exists, sameAsInput, write };
    FileError(Kind kind, int err, const std::string& message) : std::runtime_error(message), kind_(kind), err_(err) {}
    Kind kind() const { return kind_; }
    int err() const { return err_; }  // errno, 0 when none

private:
    Kind kind_;
    int err_;
};

// The output's name beside the input: "顧客.csv" → "顧客_郵便番号.csv" (a name
// without ".csv" gets the suffix and ".csv").
std::string outputBeside(const std::string& input);

// All of a file's bytes, read into memory that is not cleared first.
class FileBytes {
public:
    std::string_view view() const { return {data_.get(), size_}; }

private:
    friend FileBytes readWhole(const std::string& path);
    struct Unmap {
        std::size_t room;
        void operator()(char* p) const { LargeMemory<char>().deallocate(p, room); }
    };
    std::unique_ptr<char[], Unmap> data_{nullptr, Unmap{0}};
    std::size_t size_ = 0;
};

// All of a file. Throws FileError (read).
FileBytes readWhole(const std::string& path);

// The write that puts bytes into a file descriptor, replaceable by tests (a
// full disk): as ::write.
using WriteFn = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

// Writes `bytes` to `output` through a temporary file renamed into place.
// An existing `output` is replaced only with `replace`; never `input` itself.
// Throws FileError; nothing is left behind then.
void writeWhole(const std::string& output, std::string_view bytes, bool replace, const std::string& input = {},
                const WriteFn& write = {});

}  // namespace tenmari::sheet
