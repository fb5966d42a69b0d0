#include "DictionaryReader.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Utf8.h"

namespace tenmari {
namespace {

// The way chosen by setReading(); until then, the default (asked for on the
// first search, not at start-up).
constexpr int kUnset = -1;
std::atomic<int> chosenReading{kUnset};

// One read buffer per thread, lent to one reader at a time: a fresh buffer
// for each search would cost its page faults on every search.
struct KeptBuffer {
    ReadBuffer buf;
    bool inUse = false;
};
KeptBuffer& keptBuffer() {
    thread_local KeptBuffer kept;
    return kept;
}
constexpr char kEndOfFile = 0x1A;

// The largest file taken for a dictionary. The nationwide file is about
// 12 MB; anything twenty times larger is no postal dictionary, and reading it
// through would keep a search busy for seconds. It is refused with EFBIG.
constexpr long long kLargestDictionary = 256LL * 1024 * 1024;

// Whether the file is UTF-8 text (utf8::opensAsText), which read as code
// page 932 would give garbled addresses: such a file is refused with EILSEQ.
// Every read is by offset (pread).
ssize_t readAt(int fd, char* out, std::size_t n, std::uint64_t offset) {
    ssize_t got;
    do {
        got = ::pread(fd, out, n, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
}

bool opensAsUtf8(int fd) {
    char head[utf8::kOpeningLook];
    const ssize_t n = readAt(fd, head, sizeof head, 0);
    return n > 0 && utf8::opensAsText(std::string_view(head, static_cast<std::size_t>(n)));
}

PostFileError systemError(const std::string& path, const char* what, int err) {
    return PostFileError(path + ": " + what + ": " + std::strerror(err), path, err);
}

// The file's descriptor, or -1 with *missing set when nothing is there or
// a folder is (only when `missing` is given).
int openRegularFile(const std::string& path, bool* missing) {
    int fd;
    // Non-blocking, so that a pipe with no writer cannot hang the open.
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        if (missing && (err == ENOENT || err == ENOTDIR)) {
            *missing = true;
            return -1;
        }
        throw systemError(path, "cannot open", err);
    }
    struct stat st {};
    const int statErr = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (statErr == 0 && S_ISREG(st.st_mode)) {
        if (st.st_size > kLargestDictionary) {
            ::close(fd);
            throw PostFileError(path + ": " + std::to_string(st.st_size) +
                                    " bytes, too large for a dictionary (at most " +
                                    std::to_string(kLargestDictionary / (1024 * 1024)) + " MB)",
                                path, EFBIG);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (opensAsUtf8(fd)) {
            ::close(fd);
            throw PostFileError(path + ": UTF-8 text, not a code page 932 dictionary (tenmari-jisho converts it)", path,
                                EILSEQ);
        }
        return fd;
    }
    ::close(fd);
    if (statErr != 0) throw systemError(path, "cannot open", statErr);
    if (S_ISDIR(st.st_mode)) {
        if (missing) {
            *missing = true;
            return -1;
        }
        throw PostFileError(path + ": is a folder, not a dictionary file", path, EISDIR);
    }
    throw PostFileError(path + ": not a regular file", path, PostFileError::kNotRegular);
}

}  // namespace

Reading defaultReading() { return Reading::read; }

Reading reading() {
    const int chosen = chosenReading.load(std::memory_order_relaxed);
    return chosen == kUnset ? defaultReading() : static_cast<Reading>(chosen);
}
void setReading(Reading how) { chosenReading.store(static_cast<int>(how), std::memory_order_relaxed); }

DictionaryReader::DictionaryReader(const std::string& path) : DictionaryReader(path, openRegularFile(path, nullptr)) {}

std::unique_ptr<DictionaryReader> DictionaryReader::open(const std::string& path) {
    bool missing = false;
    const int fd = openRegularFile(path, &missing);
    if (missing) return nullptr;
    return std::unique_ptr<DictionaryReader>(new DictionaryReader(path, fd));
}

DictionaryReader::DictionaryReader(const std::string& path, int fd) : fd_(fd), buf_(&own_) {
    try {
        path_ = path;
    } catch (...) {
        ::close(fd_);
        throw;
    }
    KeptBuffer& kept = keptBuffer();
    if (!kept.inUse) {
        kept.inUse = true;
        lent_ = true;
        buf_ = &kept.buf;
    }
}

DictionaryReader::~DictionaryReader() {
    // A buffer grown for a very long line is not kept.
    if (lent_) {
        KeptBuffer& kept = keptBuffer();
        if (kept.buf.size() > DictionaryReader::blockSize()) kept.buf.release();
        kept.inUse = false;
    }
    if (map_ != nullptr) ::munmap(const_cast<char*>(map_), mapSize_);
    if (fd_ >= 0) ::close(fd_);
}

std::string_view DictionaryReader::mapped() {
    if (!mapTried_) {
        mapTried_ = true;
        struct stat st {};
        // Files that report no size (those of /proc among them) are read instead.
        if (begin_ == 0 && end_ == 0 && !eof_ && ::fstat(fd_, &st) == 0 && st.st_size > 0 &&
            static_cast<std::uintmax_t>(st.st_size) <= SIZE_MAX) {
            const auto size = static_cast<std::size_t>(st.st_size);
            const int flags = MAP_PRIVATE | (reading() == Reading::mapPopulate ? MAP_POPULATE : 0);
            void* p = ::mmap(nullptr, size, PROT_READ, flags, fd_, 0);
            if (p != MAP_FAILED) {
                map_ = static_cast<const char*>(p);
                mapSize_ = size;
            }
        }
    }
    return {map_, mapSize_};
}

std::size_t DictionaryReader::blockSize() {
    // Fewer, larger reads also spare system calls, which are dear on virtual machines.
    static const std::size_t size = [] {
        long l2 = -1;
#if defined(_SC_LEVEL2_CACHE_SIZE)
        l2 = ::sysconf(_SC_LEVEL2_CACHE_SIZE);
#endif
        if (l2 <= 0) return std::size_t{256} * 1024;
        std::size_t half = std::size_t{128} * 1024;
        while (half < std::size_t{1} << 20 && half * 4 <= static_cast<std::size_t>(l2)) half *= 2;
        return half;
    }();
    return size;
}

std::uint64_t DictionaryReader::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

void DictionaryReader::fill() {
    ReadBuffer& buf = *buf_;
    // Keep the unfinished line, move it to the front, grow if it fills the buffer.
    if (begin_ > 0) {
        std::memmove(buf.data(), buf.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buf.empty()) {
        buf.resize(DictionaryReader::blockSize());
    } else if (end_ == buf.size()) {
        // Ctrl-Z ends the file: a "line" that runs on past one is not read further.
        if (const void* z = std::memchr(buf.data(), kEndOfFile, end_)) {
            end_ = static_cast<std::size_t>(static_cast<const char*>(z) - buf.data());
            eof_ = true;
            return;
        }
        // A line longer than the buffer: grow it, as far as memory allows.
        try {
            buf.resize(buf.size() * 2);
        } catch (const std::bad_alloc&) {
            throw PostFileError(path_ + ": a line of " + std::to_string(end_) + " bytes is too long to read");
        }
    }
    const ssize_t n = readAt(fd_, buf.data() + end_, buf.size() - end_, pos_);
    if (n < 0) throw systemError(path_, "read error", errno);
    if (n == 0) {
        eof_ = true;
        return;
    }
    pos_ += static_cast<std::uint64_t>(n);
    // A Ctrl-Z is left in the block for the pass to find: every pass over the
    // bytes looks for it anyway, and a second look here would cost a pass.
    end_ += static_cast<std::size_t>(n);
}

std::string_view DictionaryReader::nextBlock() {
    while (true) {
        const char* data = buf_->data();
        if (end_ > begin_) {
            const void* lastNl = ::memrchr(data + begin_, '\n', end_ - begin_);
            if (lastNl) {
                const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(lastNl) - data) + 1;
                std::string_view block(data + begin_, stop - begin_);
                begin_ = stop;
                return block;
            }
            if (eof_) {  // last line without a line end
                std::string_view block(data + begin_, end_ - begin_);
                begin_ = end_;
                return block;
            }
        } else if (eof_) {
            return {};
        }
        fill();
    }
}

std::string_view DictionaryReader::lineText(std::string_view raw, std::string& scratch) {
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.find('\r') == std::string_view::npos) return raw;
    scratch.clear();
    for (char c : raw) {
        if (c != '\r') scratch.push_back(c);
    }
    return scratch;
}

}  // namespace tenmari
