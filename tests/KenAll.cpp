#include "KenAll.h"

#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <vector>

namespace tenmari::test {
namespace {

std::string unpack(const std::string& zipPath, std::string& why) {
    int err = 0;
    zip_t* archive = zip_open(zipPath.c_str(), ZIP_RDONLY, &err);
    if (!archive) {
        why = zipPath + ": cannot open the zip (libzip error " + std::to_string(err) + ")";
        return {};
    }
    std::unique_ptr<zip_t, decltype(&zip_discard)> guard(archive, zip_discard);
    zip_int64_t index = zip_name_locate(archive, "KEN_ALL.CSV", ZIP_FL_NOCASE | ZIP_FL_NODIR);
    if (index < 0) {
        why = zipPath + ": no KEN_ALL.CSV inside";
        return {};
    }
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        why = zipPath + ": cannot read KEN_ALL.CSV";
        return {};
    }
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tenmari-ken-all-" + std::to_string(static_cast<long long>(::getpid())));
    std::filesystem::create_directories(dir);
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
    static const struct Cleanup {
        std::filesystem::path d;
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(d, ec);
        }
    } cleanup{dir};
    return out.string();
}

}  // namespace

std::string kenAllCsv(std::string* why) {
    static std::once_flag once;
    static std::string path;
    static std::string reason;
    std::call_once(once, [] {
        const char* env = std::getenv("TENMARI_KEN_ALL");
        if (!env || !*env) {
            reason = "TENMARI_KEN_ALL is not set: Japan Post's nationwide file is not available";
            return;
        }
        const std::string p = env;
        if (!std::filesystem::is_regular_file(p)) {
            reason = "TENMARI_KEN_ALL names no file: " + p;
            return;
        }
        const bool isZip = p.size() >= 4 && (p.ends_with(".zip") || p.ends_with(".ZIP"));
        path = isZip ? unpack(p, reason) : p;
    });
    if (why) *why = reason;
    return path;
}

}  // namespace tenmari::test
