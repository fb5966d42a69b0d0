#pragma once
// Sequential reading of a postal dictionary file in large blocks of whole
// lines. Nothing of the file is kept beyond the current block; a block grows
// only as far as the longest line needs.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ReadBuffer.h"

namespace tenmari {

// An input/output error on a dictionary, with the file name and the system's reason.
// path() and code() keep the parts, so that a window can word the reason in its own
// language: code() is the system's error number, kNotRegular for something that is
// neither a file nor a folder, 0 when neither applies (the text alone tells).
class PostFileError : public std::runtime_error {
public:
    static constexpr int kNotRegular = -1;

    using std::runtime_error::runtime_error;
    PostFileError(const std::string& what, std::string path, int code)
        : std::runtime_error(what), path_(std::move(path)), code_(code) {}

    const std::string& path() const { return path_; }
    int code() const { return code_; }

private:
    std::string path_;
    int code_ = 0;
};

// How a pass gets at the file's bytes. `read` copies whole-line blocks into
// one buffer kept per thread and reused; `map` maps the file and lets its
// pages fault in as the pass touches them; `mapPopulate` maps it with every
// page filled at once. On machines where page faults are dear (virtual
// machines with paravirtualised page tables) the mapping costs several times
// a read() of the file before a byte is looked at; read() costs about the same
// everywhere, so it is the default.
// Every pass runs on its caller's thread.
enum class Reading { read, map, mapPopulate };
Reading reading();
void setReading(Reading how);  // for the benchmark and tests; process-wide
// What the default is on this machine.
Reading defaultReading();

class DictionaryReader {
public:
    // Opens the file for reading; throws PostFileError when it cannot, also
    // when nothing is there.
    explicit DictionaryReader(const std::string& path);
    // The same, but nullptr when the path names no file: nothing is there,
    // or a folder is. Something there that cannot be read (no permission, a
    // device or pipe) still throws PostFileError with its reason.
    static std::unique_ptr<DictionaryReader> open(const std::string& path);
    ~DictionaryReader();
    DictionaryReader(const DictionaryReader&) = delete;
    DictionaryReader& operator=(const DictionaryReader&) = delete;

    // The next run of whole lines, each ending in LF except perhaps the last
    // one of the file. A 0x1A ends the file's text: the caller stops at the
    // first one it meets (a block may hold one, and blocks after it may
    // follow). An empty view means the end of the file. Throws PostFileError
    // on a read error.
    std::string_view nextBlock();

    // The text of one raw line (LF excluded): every CR removed, so that CR LF
    // ends a line and a lone CR is dropped. May use `scratch` for the copy.
    static std::string_view lineText(std::string_view raw, std::string& scratch);

    // The whole file as it was when opened, mapped read-only, or an empty view
    // when it cannot be mapped (empty, or not a file the system maps); then
    // nextBlock() reads it. Read the view only inside runGuarded(): pages
    // past the end of a file that has since shrunk fault.
    std::string_view mapped();

    const std::string& path() const { return path_; }
    // The file's size as the system tells it now; 0 when it tells none.
    std::uint64_t size() const;
    // How much one read takes on this machine: half its L2 cache, from 128 KiB
    // to 1 MiB (256 KiB where the cache size is not told), so that a block
    // is still in the cache when the pass reads it.
    static std::size_t blockSize();

private:
    DictionaryReader(const std::string& path, int fd);  // takes the descriptor
    void fill();

    std::string path_;
    int fd_ = -1;
    ReadBuffer* buf_;  // the thread's kept buffer, or own_ when that is in use
    ReadBuffer own_;
    bool lent_ = false;      // buf_ is the thread's kept buffer
    std::uint64_t pos_ = 0;  // the file offset of the next read
    std::size_t begin_ = 0;  // first byte not yet handed out
    std::size_t end_ = 0;    // end of the bytes read so far
    bool eof_ = false;
    const char* map_ = nullptr;
    std::size_t mapSize_ = 0;
    bool mapTried_ = false;
};

}  // namespace tenmari
