#pragma once
// Japan Post's nationwide file for the tests that want it: TENMARI_KEN_ALL
// names the .zip or an unpacked KEN_ALL.CSV. Tests skip without it.

#include <string>

namespace tenmari::test {

// Path of a plain KEN_ALL.CSV (unpacked once per test run into a temporary
// folder when the variable names a zip), or empty with `why` set.
std::string kenAllCsv(std::string* why = nullptr);

}  // namespace tenmari::test

// Skips the current test when the nationwide file is not available.
#define TENMARI_REQUIRE_KEN_ALL(path)             \
    std::string path;                             \
    do {                                          \
        std::string why_;                         \
        path = ::tenmari::test::kenAllCsv(&why_); \
        if (path.empty()) GTEST_SKIP() << why_;   \
    } while (0)
