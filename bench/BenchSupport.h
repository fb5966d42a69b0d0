#pragma once
// Shared by the benchmarks: timing, medians and Japan Post's file unpacked
// into a scratch folder.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tenmari::bench {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);
double median(std::vector<double> v);

// The nationwide dictionary from TENMARI_KEN_ALL (.zip or KEN_ALL.CSV) as a
// plain file, unpacked into a scratch folder that goes away with this object.
class KenAllFile {
public:
    KenAllFile(const char* purpose);
    ~KenAllFile();
    KenAllFile(const KenAllFile&) = delete;
    KenAllFile& operator=(const KenAllFile&) = delete;

    // Empty when TENMARI_KEN_ALL is not set (`skipped`) or unpacking failed (`error`).
    const std::string& path() const { return path_; }
    bool skipped() const { return skipped_; }
    const std::string& error() const { return error_; }

private:
    std::filesystem::path dir_;
    std::string path_;
    std::string error_;
    bool skipped_ = false;
};

}  // namespace tenmari::bench
