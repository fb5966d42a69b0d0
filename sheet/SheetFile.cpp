#include "SheetFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace tenmari::sheet {

namespace {

std::string why(int err) { return std::strerror(err); }

// While a temporary file exists, an interrupt removes it before the process
// ends as the signal would have ended it. Only where the signal would end the
// process (its default action): a program that handles it itself keeps its
// own handling.
char g_temp[4096];
std::atomic<bool> g_tempSet{false};

void removeTempAndEnd(int sig) {
    if (g_tempSet.load()) ::unlink(g_temp);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

class TempGuard {
public:
    explicit TempGuard(const std::string& path) {
        if (path.size() < sizeof g_temp) {
            std::memcpy(g_temp, path.c_str(), path.size() + 1);
            g_tempSet = true;
        }
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            struct sigaction old {};
            if (::sigaction(kSignals[i], nullptr, &old) == 0 && old.sa_handler == SIG_DFL &&
                !(old.sa_flags & SA_SIGINFO)) {
                struct sigaction sa {};
                sa.sa_handler = removeTempAndEnd;
                sigemptyset(&sa.sa_mask);
                ::sigaction(kSignals[i], &sa, nullptr);
                installed_[i] = true;
            }
        }
    }
    ~TempGuard() {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            if (installed_[i]) std::signal(kSignals[i], SIG_DFL);
        }
        g_tempSet = false;
    }
    TempGuard(const TempGuard&) = delete;
    TempGuard& operator=(const TempGuard&) = delete;

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
    bool installed_[std::size(kSignals)] = {};
};

}  // namespace

std::string outputBeside(const std::string& input) {
    const std::filesystem::path p(input);
    std::string stem = p.filename().string();
    const std::string ext = p.extension().string();
    if (ext == ".csv" || ext == ".CSV") stem.resize(stem.size() - ext.size());
    return (p.parent_path() / (stem + "_郵便番号" + (ext == ".CSV" ? ".CSV" : ".csv"))).string();
}

FileBytes readWhole(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw FileError(FileError::Kind::read, errno, path + ": " + why(errno));
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw FileError(FileError::Kind::read, EISDIR, path + ": is a folder, not a CSV file");
    }
    // A file's size is known: one buffer, read into at once; other input grows.
    FileBytes out;
    std::size_t room = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 1 << 16;
    out.data_ = {LargeMemory<char>().allocate(room), FileBytes::Unmap{room}};
    for (;;) {
        if (out.size_ == room) {
            std::unique_ptr<char[], FileBytes::Unmap> more{LargeMemory<char>().allocate(2 * room),
                                                           FileBytes::Unmap{2 * room}};
            room *= 2;
            std::memcpy(more.get(), out.data_.get(), out.size_);
            out.data_ = std::move(more);
        }
        const ssize_t n = ::read(fd, out.data_.get() + out.size_, room - out.size_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            throw FileError(FileError::Kind::read, err, path + ": " + why(err));
        }
        if (n == 0) break;
        out.size_ += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return out;
}

void writeWhole(const std::string& output, std::string_view bytes, bool replace, const std::string& input,
                const WriteFn& write) {
    struct stat out {};
    const bool exists = ::stat(output.c_str(), &out) == 0;
    if (exists && !input.empty()) {
        struct stat in {};
        if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            throw FileError(FileError::Kind::sameAsInput, 0, output + ": is the input itself, never written over");
        }
    }
    if (exists && S_ISDIR(out.st_mode)) {
        throw FileError(FileError::Kind::write, EISDIR, output + ": is a folder");
    }
    if (exists && !replace) {
        throw FileError(FileError::Kind::exists, EEXIST, output + ": exists already (--force replaces it)");
    }
    std::filesystem::path target(output);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    // A name of its own in the output's folder, made with O_EXCL.
    std::random_device random;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        char tag[32];
        std::snprintf(tag, sizeof tag, ".%d.%08x.part", static_cast<int>(::getpid()), static_cast<unsigned>(random()));
        // Built by appending: GCC 12 at -O3 sees a false overlap in "." + string.
        std::string name(".");
        name.append(target.filename().string()).append(tag);
        temp = (folder / name).string();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt > 16)) {
            const int err = errno;
            throw FileError(FileError::Kind::write, err,
                            output + ": cannot write in " + folder.string() + ": " + why(err));
        }
    }
    TempGuard guard(temp);
    const auto fail = [&](int err, const std::string& what) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw FileError(FileError::Kind::write, err, output + ": " + what + ": " + why(err));
    };
    while (!bytes.empty()) {
        const ssize_t n = write ? write(fd, bytes.data(), bytes.size()) : ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : ENOSPC, "cannot write");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throw FileError(FileError::Kind::write, err, output + ": cannot write: " + why(err));
    }
    // Into place: without `replace`, never over a file made meanwhile.
    int rc;
    if (replace) {
        rc = ::rename(temp.c_str(), output.c_str());
    } else {
        rc = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, output.c_str(), RENAME_NOREPLACE);
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {  // a file system without it
            rc = ::link(temp.c_str(), output.c_str());
            if (rc == 0) ::unlink(temp.c_str());
        }
    }
    if (rc != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        if (err == EEXIST) {
            throw FileError(FileError::Kind::exists, err, output + ": exists already (--force replaces it)");
        }
        throw FileError(FileError::Kind::write, err, output + ": cannot write: " + why(err));
    }
}

}  // namespace tenmari::sheet
