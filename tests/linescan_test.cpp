// The vector forms of the line scan must give the portable answer on every
// line, whatever the lengths, CRs and commas around the 16- and 32-byte edges.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scan/CpuFeatures.h"
#include "scan/LineScan.h"

namespace ls = tenmari::linescan;

TEST(LineScan, VectorFormsAgreeWithThePortableOne) {
    std::vector<ls::Scan> forms;
#if defined(__x86_64__) || defined(__i386__)
    forms.push_back(ls::sse2);
    if (tenmari::cpu::runs(tenmari::cpu::ScanForm::avx2)) forms.push_back(ls::avx2);
#endif
    if (forms.empty()) GTEST_SKIP() << "no vector form on this processor";

    std::mt19937 rng(7);
    const std::string alphabet = ",,,,\r\n\"ab\x81\x69\x96";
    for (int round = 0; round < 20000; ++round) {
        std::string block(std::uniform_int_distribution<std::size_t>(0, 90)(rng), 'x');
        for (char& c : block) {
            if (rng() % 3 == 0) c = alphabet[rng() % alphabet.size()];
        }
        const int field = static_cast<int>(rng() % 10) + 1;
        for (std::size_t from = 0; from <= block.size(); from += 1 + rng() % 7) {
            const char* p = block.data() + from;
            const char* end = block.data() + block.size();
            const ls::Result want = ls::portable(p, end, field);
            for (ls::Scan scan : forms) {
                const ls::Result got = scan(p, end, field);
                ASSERT_EQ(got.field, want.field) << "field " << field << " in [" << block.substr(from) << "]";
                ASSERT_EQ(got.lf, want.lf) << "[" << block.substr(from) << "]";
            }
        }
    }
}

TEST(LineScan, FindsTheFieldAndTheLineEnd) {
    const std::string line = "13101,\"100  \",\"1000001\",x\r\nnext";
    const ls::Result r = ls::best()(line.data(), line.data() + line.size(), 2);
    ASSERT_NE(r.field, nullptr);
    EXPECT_EQ(std::string(r.field, 9), "\"1000001\"");
    EXPECT_EQ(r.lf - line.data(), 26);
    // A CR or the line's end before the field's comma: no field.
    EXPECT_EQ(ls::best()(line.data(), line.data() + line.size(), 5).field, nullptr);
}
