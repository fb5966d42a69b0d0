// The lookup against a plain reference reading of the line and field rules:
// on generated files full of awkward lines, and on Japan Post's real file.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cstdio>
#include <random>
#include <tuple>

#include "Cp932.h"
#include "CpuFeatures.h"
#include "DictionaryFields.h"
#include "DictionaryReader.h"
#include "KenAll.h"
#include "PostReference.h"
#include "ReferenceReading.h"

using namespace tenmari;

namespace {

namespace fs = std::filesystem;
using reference::Lists;

void expectSameAsReference(const std::string& path, const std::vector<std::string>& queriesUtf8,
                           const std::vector<std::string>& rawQueries = {}) {
    const auto lines = reference::linesOfFile(path);
    std::vector<std::string> queries = rawQueries;
    for (const auto& q : queriesUtf8) queries.push_back(utf8ToCp932(q));
    for (TPostOption pick : {poptAll, poptPart}) {
        TPostReference ref;
        ref.SetPostFile(path);
        ref.SetPickOut(pick);
        bool raised = false;
        ref.OnNotPostFile = [&](TPostReference&) { raised = true; };
        for (const auto& q : queries) {
            SCOPED_TRACE("query " + reference::shown(q) + (pick == poptAll ? " (all)" : " (part)"));
            Lists got;
            ref.PostToAddressList(q, got.first, got.second);
            EXPECT_EQ(got, reference::prefixQuery(lines, q, pick)) << "prefix";
            ref.AddressToPostList(q, got.first, got.second);
            EXPECT_EQ(got, reference::addressQuery(lines, q, pick)) << "address";
            // One match at a time, the same matches.
            Lists each;
            const TPostReference::MatchFn collect = [&](std::string_view code, std::string_view address) {
                each.first.emplace_back(address);
                each.second.emplace_back(code);
            };
            ref.PostToAddressEach(q, collect);
            EXPECT_EQ(each, reference::prefixQuery(lines, q, pick)) << "prefix, one at a time";
            each = {};
            ref.AddressToPostEach(q, collect);
            EXPECT_EQ(each, reference::addressQuery(lines, q, pick)) << "address, one at a time";
            bool found = false;
            const std::string expected = reference::codeQuery(lines, q, pick, found);
            raised = false;
            EXPECT_EQ(ref.PostToAddress(q), expected) << "code";
            EXPECT_EQ(raised, !found) << "code event";
        }
    }
}

// Lines built from pieces that stress the fast paths: stray CRs, doubled and
// missing quotes, commas, "（" and its look-alike bytes, short and long lines.
std::string awkwardFile(std::mt19937& rng) {
    const std::vector<std::string> pieces = {
        "\"", "\"\"", ",", "\r", "1", "0", "100", "1000001", "  ", "-", "\x81\x69", "\x8b\x81i",
        utf8ToCp932("東京都"), utf8ToCp932("千代田区"), utf8ToCp932("千代田"), utf8ToCp932("（注）"),
        utf8ToCp932("以下に掲載がない場合"), utf8ToCp932("北海道"), "\x96", "x"};
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    std::string out;
    for (int line = 0; line < 400; ++line) {
        if (pick(4) == 0) {  // a well-formed record with random field texts
            std::string f[9];
            for (auto& s : f) {
                for (std::size_t k = pick(4); k > 0; --k) s += pieces[pick(pieces.size())];
            }
            out += "13101,\"" + f[1] + "\",\"" + f[2] + "\",\"a\",\"b\",\"c\",\"" + f[6] + "\",\"" + f[7] + "\",\"" + f[8] +
                   "\",0,0,0,0,0,0";
        } else {
            for (std::size_t k = pick(30); k > 0; --k) out += pieces[pick(pieces.size())];
        }
        const std::size_t end = pick(10);
        out += end == 0 ? "\n" : end == 1 ? "\r\r\n" : "\r\n";
        if (pick(40) == 0) out += std::string(40000, 'y') + "\r\n";  // crosses block edges
    }
    if (pick(3) == 0) out += "\x1a" "13101,\"100  \",\"1000001\"";
    return out;
}

// Every query table runs end to end over every scan form and both ways of
// reading the file; a form this processor cannot run is skipped by name.
using FormAndReading = std::tuple<cpu::ScanForm, Reading>;

class EveryForm : public ::testing::TestWithParam<FormAndReading> {
protected:
    void SetUp() override {
        const cpu::ScanForm form = std::get<0>(GetParam());
        if (!cpu::runs(form)) GTEST_SKIP() << "this processor cannot run the " << cpu::name(form) << " form";
        cpu::setScanForm(form);
        setReading(std::get<1>(GetParam()));
    }
    void TearDown() override {
        cpu::setScanForm(formBefore_);
        setReading(readingBefore_);
    }

private:
    cpu::ScanForm formBefore_ = cpu::scanForm();
    Reading readingBefore_ = reading();
};

std::string formName(const ::testing::TestParamInfo<FormAndReading>& info) {
    return std::string(cpu::name(std::get<0>(info.param))) +
           (std::get<1>(info.param) == Reading::read ? "_read" : "_mapped");
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(LookupAgainstReference, EveryForm,
                         ::testing::Combine(::testing::Values(cpu::ScanForm::bytes, cpu::ScanForm::avx2,
                                                              cpu::ScanForm::avx512),
                                            ::testing::Values(Reading::read, Reading::map)),
                         formName);

TEST_P(EveryForm, AwkwardGeneratedFiles) {
    const fs::path dir = fs::temp_directory_path() / ("tenmari-awkward-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 rng(20261210);
    const std::vector<std::string> queries = {"", "1", "100", "100-", "1000001", "100-0001", "100  ", "10000",
                                              "東京都", "東京都千代田区", "東京都千代田区千代田", "千代田区",
                                              "東京都千代田区千代田（注）", "北海道", "x", "\""};
    const std::vector<std::string> raw = {"\x96", "\x8b", "\x8b\x81", "\x8b\x81i"};
    for (int round = 0; round < 12; ++round) {
        const fs::path p = dir / ("dict" + std::to_string(round) + ".csv");
        std::ofstream(p, std::ios::binary) << awkwardFile(rng);
        SCOPED_TRACE(p.string());
        expectSameAsReference(p.string(), queries, raw);
    }
    fs::remove_all(dir);
}

TEST_P(EveryForm, AwkwardLinesAcrossWindowEdges) {
    // Several MiB: awkward runs of lines between lines longer than the steps
    // a lookup takes through a file, so that the runs fall on shifting offsets
    // of its blocks, batches and windows; a CR or a 0x1A at a block edge.
    const fs::path dir = fs::temp_directory_path() / ("tenmari-edges-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 rng(1211);
    const std::string tokyo = utf8ToCp932(R"(13101,"100  ","1000001","","","","東京都","千代田区","千代田")");
    for (int round = 0; round < 3; ++round) {
        std::string bytes;
        for (int run = 0; run < 5; ++run) {
            std::string awkward = awkwardFile(rng);
            if (const auto z = awkward.find('\x1a'); z != std::string::npos && run < 4) awkward.resize(z);
            bytes += awkward;
            bytes += "1,\"" + std::string((std::size_t{1} << 20) + 4099 * static_cast<std::size_t>(run), 'w') + "\"\r\n";
        }
        // A CR, then a 0x1A, on the last bytes before a 64-byte edge.
        while ((bytes.size() + tokyo.size()) % 64 != 63) bytes += ' ';
        bytes += tokyo + "\r" + tokyo + "\r\n";
        while (bytes.size() % 64 != static_cast<std::size_t>(63 - round)) bytes += 'v';
        bytes += "\x1a" + tokyo + "\r\n";
        const fs::path p = dir / ("edges" + std::to_string(round) + ".csv");
        std::ofstream(p, std::ios::binary) << bytes;
        SCOPED_TRACE(p.string());
        expectSameAsReference(p.string(), {"", "1", "100", "1000001", "100  ", "東京都", "東京都千代田区千代田", "北海道", "v", "w"});
    }
    fs::remove_all(dir);
}

TEST(KenAll, KnownFacts) {
    TENMARI_REQUIRE_KEN_ALL(path);
    TPostReference ref;
    ref.SetPostFile(path);
    EXPECT_EQ(cp932ToUtf8(ref.PostToAddress("1000001")), "東京都千代田区千代田");
    EXPECT_EQ(cp932ToUtf8(ref.PostToAddress("100-0001")), "東京都千代田区千代田");
    TPostReference::StringList addresses, codes;
    ref.PostToAddressList("100", addresses, codes);
    EXPECT_EQ(codes.size(), 466u);
    ref.AddressToPostList(utf8ToCp932("北海道"), addresses, codes);
    EXPECT_EQ(codes.size(), 8201u);
    ref.AddressToPostList("", addresses, codes);
    EXPECT_EQ(codes.size(), 124825u);
}

TEST_P(EveryForm, KenAllSameAsReference) {
    TENMARI_REQUIRE_KEN_ALL(path);
    expectSameAsReference(path, {"100", "0600000", "9071801", "060", "06001", "1", "北海道", "東京都千代田区",
                                 "東京都千代田区丸の内一丁目", "京都府京都市", "沖縄県八重山郡竹富町字",
                                 "札幌市中央区", "大阪府大阪市北区梅田グランフロント"});
}
