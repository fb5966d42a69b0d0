#include "BenchSupport.h"

#include "KenAll.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace tenmari::bench {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string kenAllCsvOrSay() {
    std::string why;
    std::string path = tenmari::test::kenAllCsv(&why);
    if (path.empty()) {
        std::printf("%s: nothing to measure.\n", why.c_str());
        return path;
    }
    // A file just unpacked is still being written back to the disk for a
    // while; timings taken meanwhile would measure that too.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return path;
}

}  // namespace tenmari::bench
