#pragma once
// Writing a command-line tool's output whole: every byte, or the reason it
// could not be written.

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace tenmari {

// Everything to standard output (or to `fd`); the errno of a failure, or 0.
inline int writeOut(std::string_view bytes, int fd = STDOUT_FILENO) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

}  // namespace tenmari
