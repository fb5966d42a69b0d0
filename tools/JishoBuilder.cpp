#include "JishoBuilder.h"

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Cp932.h"
#include "DictionaryFields.h"
#include "DictionaryReader.h"

namespace tenmari::jisho {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::string_view kMember = "KEN_ALL.CSV";

std::string failure(const fs::path& path, std::string_view what, int err) {
    return path.string() + ": " + std::string(what) + ": " + std::strerror(err);
}

// Japan Post's file, from the zip or as it lies, as a stream of bytes.
class Source {
public:
    explicit Source(const fs::path& path) : path_(path) {
        if (isZip()) {
            openZip();
        } else {
            fd_ = openFile();
        }
    }
    ~Source() {
        if (member_) zip_fclose(member_);
        if (archive_) zip_discard(archive_);
        if (fd_ >= 0) ::close(fd_);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // Up to `size` bytes into `buf`; 0 at the end.
    std::size_t read(char* buf, std::size_t size) {
        if (member_) {
            const zip_int64_t n = zip_fread(member_, buf, size);
            if (n < 0) {
                throw BuildError(path_.string() + ": cannot unpack " + std::string(kMember) + ": " +
                                 zip_file_strerror(member_));
            }
            return static_cast<std::size_t>(n);
        }
        ssize_t n;
        do {
            n = ::read(fd_, buf, size);
        } while (n < 0 && errno == EINTR);
        if (n < 0) throw BuildError(failure(path_, "read error", errno));
        return static_cast<std::size_t>(n);
    }

private:
    int openFile() const {
        int fd;
        do {
            fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) throw BuildError(failure(path_, "cannot open", errno));
        return fd;
    }

    // A .zip name or the zip signature at the start (a CSV starts with digits).
    bool isZip() const {
        std::string ext = path_.extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".zip") return true;
        const int fd = openFile();
        char head[4] = {};
        ssize_t n;
        do {
            n = ::pread(fd, head, sizeof head, 0);
        } while (n < 0 && errno == EINTR);
        const int err = errno;
        ::close(fd);
        if (n < 0) throw BuildError(failure(path_, "read error", err));
        return n == 4 && head[0] == 'P' && head[1] == 'K' &&
               ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
    }

    void openZip() {
        int code = 0;
        archive_ = zip_open(path_.c_str(), ZIP_RDONLY, &code);
        if (!archive_) {
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            const std::string reason = zip_error_strerror(&error);
            zip_error_fini(&error);
            throw BuildError(path_.string() + ": cannot open the zip: " + reason);
        }
        const zip_int64_t index = zip_name_locate(archive_, kMember.data(), ZIP_FL_NOCASE | ZIP_FL_NODIR);
        if (index < 0) throw BuildError(path_.string() + ": the zip holds no " + std::string(kMember));
        member_ = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
        if (!member_) {
            throw BuildError(path_.string() + ": cannot unpack " + std::string(kMember) + ": " +
                             zip_strerror(archive_));
        }
    }

    fs::path path_;
    int fd_ = -1;
    zip_t* archive_ = nullptr;
    zip_file_t* member_ = nullptr;
};

// A file written as "<final name>.part" and renamed over the final name by
// commit(); removed again if it is never committed.
class PartFile {
public:
    explicit PartFile(fs::path finalPath) : final_(std::move(finalPath)), part_(final_.string() + ".part") {
        do {
            fd_ = ::open(part_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0) throw BuildError(failure(part_, "cannot create", errno));
        buf_.reserve(kChunk);
    }
    ~PartFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_) ::unlink(part_.c_str());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const fs::path& partPath() const { return part_; }

    void write(std::string_view bytes) {
        if (buf_.size() + bytes.size() > kChunk) flush();
        if (bytes.size() >= kChunk) {
            writeAll(bytes);
        } else {
            buf_.append(bytes);
        }
    }

    // Everything on disk and the file closed.
    void finish() {
        flush();
        if (::fsync(fd_) != 0) throw BuildError(failure(part_, "cannot write", errno));
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) throw BuildError(failure(part_, "cannot write", errno));
    }

    void commit() {
        if (::rename(part_.c_str(), final_.c_str()) != 0) {
            throw BuildError(failure(final_, "cannot rename into place", errno));
        }
        committed_ = true;
    }

private:
    void flush() {
        writeAll(buf_);
        buf_.clear();
    }

    void writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                throw BuildError(failure(part_, "cannot write", errno));
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    fs::path final_;
    fs::path part_;
    int fd_ = -1;
    std::string buf_;
    bool committed_ = false;
};

// A prefecture as the user can read it: UTF-8, or escaped bytes when the
// field is not code page 932 text; long garbage is cut short.
std::string readable(std::string_view cp932) {
    constexpr std::size_t kMax = 40;
    const bool cut = cp932.size() > kMax;
    if (cut) cp932 = cp932.substr(0, kMax);
    std::string text;
    try {
        text = cp932ToUtf8(cp932);
    } catch (const EncodingError&) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (char c : cp932) {
            const auto b = static_cast<unsigned char>(c);
            if (b >= 0x20 && b < 0x7F) {
                text.push_back(c);
            } else {
                text += "\\x";
                text.push_back(kHex[b >> 4]);
                text.push_back(kHex[b & 0xF]);
            }
        }
    }
    return cut ? text + "..." : text;
}

void syncDirectory(const fs::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes the ten files into `dir` and renames them into place.
LineCounts split(Source& input, const fs::path& source, const fs::path& dir) {
    std::vector<std::unique_ptr<PartFile>> files;
    for (const Region& r : regions()) files.push_back(std::make_unique<PartFile>(dir / r.fileName));

    // The nationwide file: the source's bytes, unchanged.
    PartFile& nationwide = *files[kNationwide];
    std::vector<char> chunk(kChunk);
    while (const std::size_t n = input.read(chunk.data(), chunk.size())) nationwide.write({chunk.data(), n});
    nationwide.finish();

    // Each line, with its own line end, to the file of its prefecture's region.
    LineCounts counts{};
    std::uint64_t line = 0;
    DictionaryReader reader(nationwide.partPath().string());
    std::array<std::string_view, fields::kCount> raw;
    std::string lineScratch;
    std::string fieldScratch;
    for (std::string_view block = reader.nextBlock(); !block.empty(); block = reader.nextBlock()) {
        while (!block.empty()) {
            const std::size_t nl = block.find('\n');
            const std::size_t stop = nl == std::string_view::npos ? block.size() : nl + 1;
            const std::string_view bytes = block.substr(0, stop);
            block.remove_prefix(stop);
            ++line;

            const std::string_view lineEnd = nl == std::string_view::npos ? "" : "\n";
            const std::string_view text =
                DictionaryReader::lineText(bytes.substr(0, bytes.size() - lineEnd.size()), lineScratch);
            fields::cut(text, raw, fields::kPrefecture + 1);
            const std::string_view prefecture = fields::unquote(raw[fields::kPrefecture], fieldScratch);
            const int index = regionOfPrefectureCp932(prefecture);
            if (index < 0) {
                const std::string where = source.string() + ": line " + std::to_string(line) + ": ";
                if (prefecture.empty()) {
                    throw BuildError(where + "no prefecture (field 7 is empty or not quoted)");
                }
                throw BuildError(where + "the prefecture \"" + readable(prefecture) + "\" belongs to no region");
            }
            files[static_cast<std::size_t>(index)]->write(bytes);
            ++counts[static_cast<std::size_t>(index)];
        }
    }
    if (line == 0) throw BuildError(source.string() + ": no records");
    counts[kNationwide] = line;

    for (std::size_t i = 1; i < files.size(); ++i) files[i]->finish();
    for (auto& f : files) f->commit();
    syncDirectory(dir);
    return counts;
}

}  // namespace

LineCounts build(const fs::path& source, const fs::path& dir) {
    Source input(source);

    std::error_code ec;
    const bool created = fs::create_directories(dir, ec);
    if (ec) throw BuildError(dir.string() + ": cannot create the folder: " + ec.message());
    try {
        return split(input, source, dir);
    } catch (...) {
        if (created) fs::remove(dir, ec);  // a folder made for nothing goes again
        throw;
    }
}

}  // namespace tenmari::jisho
