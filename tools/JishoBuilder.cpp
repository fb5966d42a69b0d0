#include "JishoBuilder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tenmari::jisho {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::string_view kMembers[] = {"KEN_ALL.CSV", "UTF_KEN_ALL.CSV"};  // code page 932, UTF-8 edition

std::string failure(const fs::path& path, std::string_view what, int err) {
    return path.string() + ": " + std::string(what) + ": " + std::strerror(err);
}

struct FdCloser {
    void operator()(const int* fd) const {
        ::close(*fd);
        delete fd;
    }
};
using Fd = std::unique_ptr<int, FdCloser>;

Fd openFd(const fs::path& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? Fd() : Fd(new int(fd));
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// Japan Post's file, from the zip or as it lies, as a stream of bytes. Only
// a regular file is taken: a pipe or device could hang or never end.
class Source {
public:
    Source(const fs::path& path, const SourceLimits& limits) : path_(path) {
        // Non-blocking, so that opening a pipe without a writer cannot hang.
        fd_ = openFd(path, O_RDONLY | O_NONBLOCK);
        if (!fd_) throw BuildError(failure(path, "cannot open", errno));
        struct stat st {};
        if (::fstat(*fd_, &st) != 0) throw BuildError(failure(path, "cannot open", errno));
        if (!S_ISREG(st.st_mode)) {
            throw BuildError(path.string() + ": " + kindOf(st.st_mode) +
                             ", not a file: give Japan Post's ken_all.zip or the KEN_ALL.CSV inside it");
        }
        ::fcntl(*fd_, F_SETFL, ::fcntl(*fd_, F_GETFL) & ~O_NONBLOCK);
        dataTime_ = st.st_mtim;
        if (static_cast<std::uint64_t>(st.st_size) > limits.maxBytes) {
            throw BuildError(path.string() + ": larger than " + std::to_string(limits.maxBytes >> 20) +
                             " MB: not Japan Post's postal-code file (theirs is about 12 MB)");
        }
        if (isZip()) openZip(limits);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // The name the check's messages give: the file, or the member inside the zip.
    std::string name() const { return member_ ? path_.string() + " (" + memberName_ + ")" : path_.string(); }

    // When Japan Post made the data: the zip member's time, else the file's.
    timespec dataTime() const { return dataTime_; }

    // Up to `size` bytes into `buf`; 0 at the end.
    std::size_t read(char* buf, std::size_t size) {
        if (member_) {
            const zip_int64_t n = zip_fread(member_.get(), buf, size);
            if (n < 0) {
                throw BuildError(path_.string() + ": cannot unpack " + memberName_ + ": " +
                                 zip_file_strerror(member_.get()));
            }
            return static_cast<std::size_t>(n);
        }
        ssize_t n;
        do {
            n = ::read(*fd_, buf, size);
        } while (n < 0 && errno == EINTR);
        if (n < 0) throw BuildError(failure(path_, "read error", errno));
        return static_cast<std::size_t>(n);
    }

private:
    // A .zip name or the zip signature at the start (a CSV starts with digits).
    bool isZip() const {
        std::string ext = path_.extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".zip") return true;
        char head[4] = {};
        ssize_t n;
        do {
            n = ::pread(*fd_, head, sizeof head, 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0) throw BuildError(failure(path_, "read error", errno));
        return n == 4 && head[0] == 'P' && head[1] == 'K' &&
               ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
    }

    void openZip(const SourceLimits& limits) {
        // libzip takes a descriptor of its own; ours is closed with the Source.
        const int own = ::fcntl(*fd_, F_DUPFD_CLOEXEC, 0);
        if (own < 0) throw BuildError(failure(path_, "cannot open", errno));
        int code = 0;
        archive_.reset(zip_fdopen(own, ZIP_RDONLY, &code));
        if (!archive_) {
            ::close(own);
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            const std::string reason = zip_error_strerror(&error);
            zip_error_fini(&error);
            throw BuildError(path_.string() + ": cannot open the zip: " + reason);
        }
        zip_int64_t index = -1;
        for (std::string_view m : kMembers) {
            index = zip_name_locate(archive_.get(), std::string(m).c_str(), ZIP_FL_NOCASE | ZIP_FL_NODIR);
            if (index >= 0) break;
        }
        if (index < 0) throw BuildError(path_.string() + ": the zip holds no KEN_ALL.CSV (nor utf_ken_all.csv)");
        const auto at = static_cast<zip_uint64_t>(index);
        memberName_ = zip_get_name(archive_.get(), at, 0);
        zip_stat_t st;
        zip_stat_init(&st);
        const bool stated = zip_stat_index(archive_.get(), at, 0, &st) == 0;
        if (stated && (st.valid & ZIP_STAT_MTIME)) dataTime_ = {st.mtime, 0};
        if (stated && (st.valid & ZIP_STAT_SIZE) && st.size > limits.maxBytes) {
            throw BuildError(path_.string() + ": " + memberName_ + " unpacks to " + std::to_string(st.size >> 20) +
                             " MB, more than " + std::to_string(limits.maxBytes >> 20) +
                             " MB: not Japan Post's postal-code file (theirs is about 12 MB)");
        }
        member_.reset(zip_fopen_index(archive_.get(), at, 0));
        if (!member_) {
            throw BuildError(path_.string() + ": cannot unpack " + memberName_ + ": " + zip_strerror(archive_.get()));
        }
    }

    struct ArchiveCloser {
        void operator()(zip_t* z) const { zip_discard(z); }
    };
    struct MemberCloser {
        void operator()(zip_file_t* f) const { zip_fclose(f); }
    };

    fs::path path_;
    // Declared in the order they are opened: destroyed in reverse, also
    // when the constructor stops half-way.
    Fd fd_;
    std::unique_ptr<zip_t, ArchiveCloser> archive_;
    std::unique_ptr<zip_file_t, MemberCloser> member_;
    std::string memberName_;
    timespec dataTime_{};
};

// One of the ten files, written in large pieces. Errors name the file by
// the name it will have in the folder, never by the hidden one it is built in.
class OutFile {
public:
    OutFile(const fs::path& path, fs::path shownAs) : shown_(std::move(shownAs)) {
        fd_ = openFd(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (!fd_) throw BuildError(failure(shown_, "cannot create", errno));
        buf_.reserve(kChunk);
    }

    void write(std::string_view bytes) {
        if (buf_.size() + bytes.size() > kChunk) flush();
        if (bytes.size() >= kChunk) {
            writeAll(bytes);
        } else {
            buf_.append(bytes);
        }
    }

    // Everything on disk, dated `modified`, and the file closed.
    void finish(const timespec& modified) {
        flush();
        const timespec times[2] = {{0, UTIME_OMIT}, modified};
        if (::futimens(*fd_, times) != 0) throw BuildError(failure(shown_, "cannot date", errno));
        if (::fsync(*fd_) != 0) throw BuildError(failure(shown_, "cannot write", errno));
        const int fd = *fd_;
        delete fd_.release();
        if (::close(fd) != 0) throw BuildError(failure(shown_, "cannot write", errno));
    }

private:
    void flush() {
        writeAll(buf_);
        buf_.clear();
    }

    void writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(*fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                throw BuildError(failure(shown_, "cannot write", errno));
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    fs::path shown_;
    Fd fd_;
    std::string buf_;
};

void syncDirectory(const fs::path& dir) {
    if (const Fd fd = openFd(dir, O_RDONLY | O_DIRECTORY)) ::fsync(*fd);
}

bool isOneOfTheTen(const fs::path& name) {
    for (const Region& r : regions()) {
        if (name == r.fileName) return true;
    }
    return false;
}

// The dictionary folder and the hidden siblings a build uses: the new set is
// made in `fresh`; `old` holds the old set only while a swap without
// RENAME_EXCHANGE is under way.
struct Folder {
    explicit Folder(const fs::path& given) {
        fs::path p = fs::absolute(given).lexically_normal();
        if (p.filename().empty()) p = p.parent_path();  // "Jisho/"
        std::error_code ec;
        if (fs::is_symlink(fs::symlink_status(p, ec))) {  // build where it points
            p = fs::canonical(p, ec);
            if (ec) throw BuildError(given.string() + ": " + ec.message());
        }
        if (p == p.root_path()) throw BuildError(given.string() + ": the root folder cannot be a dictionary folder");
        dir = p;
        parent = p.parent_path();
        fresh = parent / hidden(p.filename(), ".tenmari-new");
        old = parent / hidden(p.filename(), ".tenmari-old");
    }
    fs::path dir, parent, fresh, old;

private:
    // ".<name><suffix>", built by appending to one string: no temporary is
    // inserted into at its front (GCC 12 at -O3 sees a false overlap there).
    static fs::path hidden(const fs::path& name, const char* suffix) {
        std::string s(".");
        s += name.string();
        s += suffix;
        return s;
    }
};

// Only one build per folder at a time: a lock on the folder's parent,
// released when the process ends however it ends.
Fd lockParent(const Folder& f) {
    Fd fd = openFd(f.parent, O_RDONLY | O_DIRECTORY);
    if (!fd) throw BuildError(failure(f.parent, "cannot open the folder", errno));
    if (::flock(*fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) throw BuildError(f.dir.string() + ": another tenmari-jisho is preparing it");
        throw BuildError(failure(f.parent, "cannot lock the folder", errno));
    }
    return fd;
}

// What an interrupted run left: an unfinished new set, or the old set put
// aside by a swap that did not finish.
void clearLeftovers(const Folder& f) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(f.old, ec))) {
        if (!fs::exists(fs::symlink_status(f.dir, ec))) {
            if (::rename(f.old.c_str(), f.dir.c_str()) != 0) {
                throw BuildError(failure(f.old, "cannot put back the dictionaries of an interrupted run", errno));
            }
        } else {
            fs::remove_all(f.old, ec);
        }
    }
    fs::remove_all(f.fresh, ec);
    if (ec && fs::is_directory(fs::symlink_status(f.fresh))) {
        // Left read-only (by an older build that swapped out a read-only
        // folder): it is this program's own, made writable to be removed.
        ::chmod(f.fresh.c_str(), 0700);
        ec.clear();
        fs::remove_all(f.fresh, ec);
    }
    if (ec) throw BuildError(f.fresh.string() + ": cannot remove what an interrupted run left: " + ec.message());
}

// What stood at the folder's path when the run began: the swap puts the new
// set in place only where that still stands (or where nothing stood and
// still nothing does), and removes nothing else.
struct FoundFolder {
    bool present = false;
    dev_t dev = 0;
    ino_t ino = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;  // permission bits, set-group-ID and sticky bit included

    static FoundFolder at(const fs::path& path) {
        FoundFolder f;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return f;
        f.present = true;
        f.dev = st.st_dev;
        f.ino = st.st_ino;
        f.uid = st.st_uid;
        f.gid = st.st_gid;
        f.mode = st.st_mode & 07777;
        return f;
    }
    bool sameAs(const FoundFolder& o) const { return present == o.present && dev == o.dev && ino == o.ino; }
};

std::string octal(mode_t mode) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%o", static_cast<unsigned>(mode));
    return buf;
}

// The folder's contents are replaced and its mode is kept: the old set must
// be removable after the swap. A folder whose mode writes no one in, or that
// this process cannot write, is refused before anything changes (the mode is
// looked at, not only asked about: the superuser could write it anyway).
void refuseReadOnly(const Folder& f, const FoundFolder& found) {
    if (!found.present || !fs::is_directory(fs::symlink_status(f.dir))) return;
    if ((found.mode & 0222) == 0) {
        throw BuildError(f.dir.string() + ": the folder is read-only (mode " + octal(found.mode) +
                         "): make it writable to replace its dictionaries (chmod u+w)");
    }
    if (::access(f.dir.c_str(), W_OK | X_OK) != 0) {
        throw BuildError(failure(f.dir, "cannot replace the dictionaries in the folder", errno));
    }
}

// Files of the old folder that are not dictionaries go with the new set
// (hard links: the old folder keeps them until the swap). A folder inside
// is refused before anything is built.
std::vector<fs::path> filesToKeep(const Folder& f) {
    std::vector<fs::path> keep;
    std::error_code ec;
    const auto st = fs::symlink_status(f.dir, ec);
    if (!fs::exists(st)) return keep;
    if (!fs::is_directory(st)) throw BuildError(f.dir.string() + ": not a folder");
    for (fs::directory_iterator it(f.dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path name = it->path().filename();
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            throw BuildError(it->path().string() + ": a folder inside the dictionary folder; move it away first");
        }
        // "<file>.part": what an older builder, writing in place, left when stopped.
        const bool oldPart = name.extension() == ".part" && isOneOfTheTen(name.stem());
        if (!isOneOfTheTen(name) && !oldPart) keep.push_back(name);
    }
    if (ec) throw BuildError(f.dir.string() + ": cannot read the folder: " + ec.message());
    return keep;
}

void carryOver(const Folder& f, const std::vector<fs::path>& keep) {
    for (const fs::path& name : keep) {
        const fs::path from = f.dir / name;
        const fs::path to = f.fresh / name;
        if (::link(from.c_str(), to.c_str()) == 0) continue;
        const int err = errno;
        std::error_code ec;
        if (!fs::is_regular_file(fs::symlink_status(from, ec)) ||
            !fs::copy_file(from, to, fs::copy_options::none, ec)) {
            throw BuildError(failure(from, "cannot keep it in the new folder", ec ? ec.value() : err));
        }
    }
}

// Puts the new set in place in one step; the old set ends up in `fresh`.
// Without RENAME_EXCHANGE (some file systems) the old folder is put aside
// first, and an interrupted run puts it back the next time. Only the folder
// found at the start is swapped out: anything else at the path (put there
// while the set was built) makes the run fail, and is kept where it stood;
// `freshIsOurs` then tells whether `fresh` still holds the new set.
void swapIn(const Folder& f, const FoundFolder& found, bool& freshIsOurs) {
    const auto notOurs = [&] {
        return BuildError(f.dir.string() +
                          ": something else was put there while the dictionaries were built; it is kept, and the "
                          "new dictionaries were not put in place");
    };
    const auto cannot = [&](int err) {
        return BuildError(failure(f.dir, "cannot put the dictionaries in place", err));
    };
    if (!found.present) {
        if (::renameat2(AT_FDCWD, f.fresh.c_str(), AT_FDCWD, f.dir.c_str(), RENAME_NOREPLACE) == 0) return;
        if (errno == EEXIST) throw notOurs();
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) throw cannot(errno);
        if (FoundFolder::at(f.dir).present) throw notOurs();
        if (::rename(f.fresh.c_str(), f.dir.c_str()) != 0) throw cannot(errno);
        return;
    }
    if (!FoundFolder::at(f.dir).sameAs(found)) throw notOurs();
    if (::renameat2(AT_FDCWD, f.fresh.c_str(), AT_FDCWD, f.dir.c_str(), RENAME_EXCHANGE) == 0) {
        freshIsOurs = false;
        // Put in place between the look above and the exchange: exchanged back.
        if (!FoundFolder::at(f.fresh).sameAs(found)) {
            if (::renameat2(AT_FDCWD, f.fresh.c_str(), AT_FDCWD, f.dir.c_str(), RENAME_EXCHANGE) == 0) {
                freshIsOurs = true;
                throw notOurs();
            }
            throw BuildError(f.dir.string() +
                             ": something else was put there while the dictionaries were built; it "
                             "was moved to " +
                             f.fresh.string() + " and is kept there");
        }
        return;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) throw cannot(errno);
    if (::rename(f.dir.c_str(), f.old.c_str()) != 0) throw cannot(errno);
    if (!FoundFolder::at(f.old).sameAs(found)) {
        ::rename(f.old.c_str(), f.dir.c_str());
        throw notOurs();
    }
    if (::rename(f.fresh.c_str(), f.dir.c_str()) != 0) {
        const int err = errno;
        ::rename(f.old.c_str(), f.dir.c_str());
        throw cannot(err);
    }
    freshIsOurs = false;
    if (::rename(f.old.c_str(), f.fresh.c_str()) != 0) freshIsOurs = true;  // nothing there to remove
}

// The new folder takes the old one's owner and mode (as far as this process
// may give them): replacing the dictionaries changes nothing else about it.
void keepOwnerAndMode(const Folder& f, const FoundFolder& found) {
    if (!found.present) return;
    struct stat st {};
    if (::stat(f.fresh.c_str(), &st) != 0) throw BuildError(failure(f.dir, "cannot create the folder", errno));
    if ((st.st_uid != found.uid || st.st_gid != found.gid) && ::chown(f.fresh.c_str(), found.uid, found.gid) != 0) {
        // Only the superuser gives a folder away; a group this user is not in stays as made.
    }
    if (::chmod(f.fresh.c_str(), found.mode) != 0)
        throw BuildError(failure(f.dir, "cannot set the folder's mode", errno));
}

// Creates the folder's missing parents; removes them again unless kept.
class Parents {
public:
    explicit Parents(const fs::path& parent) {
        std::error_code ec;
        for (fs::path p = parent; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
            first_ = p;
            if (p == p.parent_path()) break;
        }
        fs::create_directories(parent, ec);
        if (ec) throw BuildError(parent.string() + ": cannot create the folder: " + ec.message());
    }
    ~Parents() {
        if (!kept_ && !first_.empty()) {
            std::error_code ec;
            fs::remove_all(first_, ec);
        }
    }
    Parents(const Parents&) = delete;
    Parents& operator=(const Parents&) = delete;
    void keep() { kept_ = true; }

private:
    fs::path first_;  // the outermost folder made here
    bool kept_ = false;
};

}  // namespace

LineCounts build(const fs::path& source, const fs::path& dir, const std::function<void()>& newSetReady) {
    const SourceLimits limits;
    Source input(source, limits);

    const Folder folder(dir);
    const FoundFolder found = FoundFolder::at(folder.dir);
    refuseReadOnly(folder, found);
    Parents parents(folder.parent);
    const Fd lock = lockParent(folder);
    clearLeftovers(folder);
    const std::vector<fs::path> keep = filesToKeep(folder);

    if (::mkdir(folder.fresh.c_str(), 0755) != 0) {
        throw BuildError(failure(folder.dir, "cannot create the folder", errno));
    }
    bool freshIsOurs = true;
    try {
        std::vector<OutFile> files;
        files.reserve(regions().size());
        for (const Region& r : regions()) files.emplace_back(folder.fresh / r.fileName, folder.dir / r.fileName);

        SourceCheck check(
            input.name(),
            [&](std::string_view line, int region) {
                files[kNationwide].write(line);
                files[static_cast<std::size_t>(region)].write(line);
            },
            limits);
        std::vector<char> chunk(kChunk);
        while (const std::size_t n = input.read(chunk.data(), chunk.size())) check.feed({chunk.data(), n});
        const LineCounts counts = check.finish();
        if (check.endsWithEndMark()) files[kNationwide].write("\x1A");
        // Each file carries the data's date, which the window shows as the dictionary's.
        for (OutFile& f : files) f.finish(input.dataTime());

        carryOver(folder, keep);
        keepOwnerAndMode(folder, found);
        syncDirectory(folder.fresh);
        if (newSetReady) newSetReady();
        swapIn(folder, found, freshIsOurs);
        parents.keep();
        std::error_code ec;
        if (!freshIsOurs) fs::remove_all(folder.fresh, ec);  // the old set, the folder found at the start
        syncDirectory(folder.parent);
        return counts;
    } catch (...) {
        std::error_code ec;
        if (freshIsOurs) fs::remove_all(folder.fresh, ec);
        throw;
    }
}

}  // namespace tenmari::jisho
