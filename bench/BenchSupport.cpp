#include "BenchSupport.h"

#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace tenmari::bench {
namespace {

// KEN_ALL.CSV unpacked into `dir`; empty with `why` set when that fails.
std::string unpack(const std::string& zipPath, const std::filesystem::path& dir, std::string& why) {
    int err = 0;
    zip_t* archive = zip_open(zipPath.c_str(), ZIP_RDONLY, &err);
    if (!archive) {
        why = zipPath + ": cannot open the zip (libzip error " + std::to_string(err) + ")";
        return {};
    }
    std::unique_ptr<zip_t, decltype(&zip_discard)> guard(archive, zip_discard);
    const zip_int64_t index = zip_name_locate(archive, "KEN_ALL.CSV", ZIP_FL_NOCASE | ZIP_FL_NODIR);
    zip_file_t* file = index < 0 ? nullptr : zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        why = zipPath + ": no readable KEN_ALL.CSV inside";
        return {};
    }
    const auto out = dir / "KEN_ALL.CSV";
    std::ofstream os(out, std::ios::binary);
    std::vector<char> buf(1 << 20);
    zip_int64_t n;
    while ((n = zip_fread(file, buf.data(), buf.size())) > 0) os.write(buf.data(), n);
    zip_fclose(file);
    if (n < 0 || !os) {
        why = zipPath + ": unpacking KEN_ALL.CSV failed";
        return {};
    }
    return out.string();
}

}  // namespace

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

KenAllFile::KenAllFile(const char* purpose) {
    const char* env = std::getenv("TENMARI_KEN_ALL");
    if (!env || !*env || !std::filesystem::is_regular_file(env)) {
        skipped_ = true;
        return;
    }
    const std::string source = env;
    if (!(source.ends_with(".zip") || source.ends_with(".ZIP"))) {
        path_ = source;
        return;
    }
    dir_ = std::filesystem::temp_directory_path() /
           (std::string(purpose) + "-" + std::to_string(static_cast<long long>(::getpid())));
    std::filesystem::create_directories(dir_);
    path_ = unpack(source, dir_, error_);
}

KenAllFile::~KenAllFile() {
    if (dir_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

}  // namespace tenmari::bench
