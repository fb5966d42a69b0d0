#pragma once
// Shared by the benchmarks: timing, medians, and Japan Post's file as the
// tests get it (TENMARI_KEN_ALL, a zip unpacked once into a scratch folder).

#include <chrono>
#include <string>
#include <vector>

namespace tenmari::bench {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);
double median(std::vector<double> v);

// The path of a plain KEN_ALL.CSV, or empty after printing why there is
// nothing to measure.
std::string kenAllCsvOrSay();

}  // namespace tenmari::bench
