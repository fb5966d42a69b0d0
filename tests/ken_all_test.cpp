// The lookup against a plain reference reading of the line and field rules:
// on generated files full of awkward lines, and on Japan Post's real file.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cstdio>
#include <iterator>
#include <random>
#include <tuple>

#include "Cp932.h"
#include "scan/CpuFeatures.h"
#include "DictionaryFields.h"
#include "scan/FieldCuts.h"
#include "DictionaryReader.h"
#include "KenAll.h"
#include "scan/LineFilter.h"
#include "MatchRecord.h"
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
    const std::vector<std::string> pieces = {"\"",
                                             "\"\"",
                                             ",",
                                             "\r",
                                             "1",
                                             "0",
                                             "100",
                                             "1000001",
                                             "  ",
                                             "-",
                                             "\x81\x69",
                                             "\x8b\x81i",
                                             utf8ToCp932("東京都"),
                                             utf8ToCp932("千代田区"),
                                             utf8ToCp932("千代田"),
                                             utf8ToCp932("（注）"),
                                             utf8ToCp932("以下に掲載がない場合"),
                                             utf8ToCp932("北海道"),
                                             "\x96",
                                             "x"};
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    std::string out;
    for (int line = 0; line < 400; ++line) {
        if (pick(4) == 0) {  // a well-formed record with random field texts
            std::string f[9];
            for (auto& s : f) {
                for (std::size_t k = pick(4); k > 0; --k) s += pieces[pick(pieces.size())];
            }
            out += "13101,\"" + f[1] + "\",\"" + f[2] + "\",\"a\",\"b\",\"c\",\"" + f[6] + "\",\"" + f[7] + "\",\"" +
                   f[8] + "\",0,0,0,0,0,0";
        } else {
            for (std::size_t k = pick(30); k > 0; --k) out += pieces[pick(pieces.size())];
        }
        const std::size_t end = pick(10);
        out += end == 0 ? "\n" : end == 1 ? "\r\r\n" : "\r\n";
        if (pick(40) == 0) out += std::string(40000, 'y') + "\r\n";  // crosses block edges
    }
    if (pick(3) == 0)
        out +=
            "\x1a"
            "13101,\"100  \",\"1000001\"";
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
    const char* how = "_mapped";
    if (std::get<1>(info.param) == Reading::read) how = "_read";
    return std::string(cpu::name(std::get<0>(info.param))) + how;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(LookupAgainstReference, EveryForm,
                         ::testing::Combine(::testing::Values(cpu::ScanForm::bytes, cpu::ScanForm::avx2),
                                            ::testing::Values(Reading::read, Reading::map)),
                         formName);

TEST_P(EveryForm, AwkwardGeneratedFiles) {
    const fs::path dir = fs::temp_directory_path() / ("tenmari-awkward-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 rng(20261210);
    const std::vector<std::string> queries = {"",
                                              "1",
                                              "100",
                                              "100-",
                                              "1000001",
                                              "100-0001",
                                              "100  ",
                                              "10000",
                                              "東京都",
                                              "東京都千代田区",
                                              "東京都千代田区千代田",
                                              "千代田区",
                                              "東京都千代田区千代田（注）",
                                              "北海道",
                                              "x",
                                              "\""};
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
            bytes +=
                "1,\"" + std::string((std::size_t{1} << 20) + 4099 * static_cast<std::size_t>(run), 'w') + "\"\r\n";
        }
        // A CR, then a 0x1A, on the last bytes before a 64-byte edge.
        while ((bytes.size() + tokyo.size()) % 64 != 63) bytes += ' ';
        bytes += tokyo + "\r" + tokyo + "\r\n";
        while (bytes.size() % 64 != static_cast<std::size_t>(63 - round)) bytes += 'v';
        bytes += "\x1a" + tokyo + "\r\n";
        const fs::path p = dir / ("edges" + std::to_string(round) + ".csv");
        std::ofstream(p, std::ios::binary) << bytes;
        SCOPED_TRACE(p.string());
        expectSameAsReference(
            p.string(), {"", "1", "100", "1000001", "100  ", "東京都", "東京都千代田区千代田", "北海道", "v", "w"});
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
    expectSameAsReference(path, {"", "100", "0600000", "9071801", "060", "06001", "1", "北海道", "東京都千代田区",
                                 "東京都千代田区丸の内一丁目", "京都府京都市", "沖縄県八重山郡竹富町字", "札幌市中央区",
                                 "大阪府大阪市北区梅田グランフロント"});
}

// ---------------------------------------------------------------- match records

namespace {

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Where each line begins, read plainly: the data end at the first 0x1A, and
// a line begins at the start and after every LF that has bytes after it.
std::vector<std::uint64_t> lineStarts(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\x1a'));
    std::vector<std::uint64_t> starts;
    for (std::size_t at = 0; at < bytes.size();) {
        starts.push_back(at);
        const std::size_t lf = bytes.find('\n', at);
        if (lf == std::string_view::npos) break;
        at = lf + 1;
    }
    return starts;
}

// A record as the test compares it: line, offset, code, address, three readings.
using Seen = std::tuple<std::uint64_t, std::uint64_t, std::string, std::string, std::string, std::string, std::string>;

Seen seen(const MatchRecord& r) {
    return {r.line,
            r.offset,
            std::string(r.code),
            std::string(r.address),
            std::string(r.prefectureReading),
            std::string(r.municipalityReading),
            std::string(r.townAreaReading)};
}

// What line i (from 0) gives by the plain reading.
Seen expected(const std::vector<std::string>& lines, const std::vector<std::uint64_t>& starts, std::size_t i,
              TPostOption pick) {
    const std::string& l = lines[i];
    return {i + 1,
            starts[i],
            reference::field(l, 2),
            reference::address(l, pick),
            reference::field(l, 3),
            reference::field(l, 4),
            reference::field(l, 5)};
}

std::string shownSeen(const Seen& s) {
    return "line " + std::to_string(std::get<0>(s)) + " at " + std::to_string(std::get<1>(s)) + ": " +
           reference::shown(std::get<2>(s)) + " " + reference::shown(std::get<3>(s)) + " " +
           reference::shown(std::get<4>(s)) + "|" + reference::shown(std::get<5>(s)) + "|" +
           reference::shown(std::get<6>(s));
}

void expectSameSeen(const std::vector<Seen>& got, const std::vector<Seen>& want) {
    EXPECT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < std::min(got.size(), want.size()); ++k) {
        if (got[k] != want[k]) {
            ADD_FAILURE() << "record " << k << ": got " << shownSeen(got[k]) << "\nwant " << shownSeen(want[k]);
            return;
        }
    }
}

// Every record the lookup hands out carries the line number, byte offset,
// code, address and readings that the plain reading gives for its line.
void expectRecordsAsReference(const std::string& path, const std::vector<std::string>& queries) {
    const std::string bytes = fileBytes(path);
    const auto lines = reference::lines(bytes);
    const auto starts = lineStarts(bytes);
    ASSERT_EQ(starts.size(), lines.size());
    for (TPostOption pick : {poptAll, poptPart}) {
        TPostReference ref;
        ref.SetPostFile(path);
        ref.SetPickOut(pick);
        for (const auto& q : queries) {
            SCOPED_TRACE("query " + reference::shown(q) + (pick == poptAll ? " (all)" : " (part)"));
            std::vector<Seen> prefix, address, code;
            bool codeFound = false;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const std::vector<std::string> one{lines[i]};
                if (!reference::prefixQuery(one, q, pick).second.empty())
                    prefix.push_back(expected(lines, starts, i, pick));
                if (!reference::addressQuery(one, q, pick).second.empty())
                    address.push_back(expected(lines, starts, i, pick));
                bool found = false;
                reference::codeQuery(one, q, pick, found);
                if (found && !codeFound) {
                    codeFound = true;
                    code.push_back(expected(lines, starts, i, pick));
                }
            }
            std::vector<Seen> got;
            MatchSinkFn collect([&](const MatchRecord& r) { got.push_back(seen(r)); });
            ref.PostToAddressEach(q, collect);
            expectSameSeen(got, prefix);
            got.clear();
            ref.AddressToPostEach(q, collect);
            expectSameSeen(got, address);
            // A sink that wants no readings gets the same records without them.
            got.clear();
            MatchSinkFn bare([&](const MatchRecord& r) { got.push_back(seen(r)); }, false);
            ref.AddressToPostEach(q, bare);
            for (Seen& want : address) {
                std::get<4>(want).clear();
                std::get<5>(want).clear();
                std::get<6>(want).clear();
            }
            expectSameSeen(got, address);
            got.clear();
            EXPECT_EQ(ref.PostToAddressRecord(q, collect), codeFound);
            expectSameSeen(got, code);
        }
    }
}

// Both ways through a file (mapped, and read in blocks) hand each kept line
// with its offset and line number.
void expectPlacesAsReference(const std::string& path, const std::vector<std::string>& queries) {
    namespace lf = linefilter;
    const std::string bytes = fileBytes(path);
    const auto lines = reference::lines(bytes);
    const auto starts = lineStarts(bytes);
    ASSERT_EQ(starts.size(), lines.size());
    for (const auto& q : queries) {
        for (const lf::Probe probe : {lf::Probe{fields::kCode, q, false}, lf::Probe{fields::kPrefecture, q, true}}) {
            for (bool mapped : {true, false}) {
                SCOPED_TRACE("query " + reference::shown(q) + (probe.address ? " address" : " code") +
                             (mapped ? " mapped" : " read"));
                DictionaryReader reader(path);
                std::uint64_t last = 0;
                std::size_t handed = 0;
                bool ok = true;
                std::string scratch;
                auto fn = [&](std::string_view line, const lf::Place& place) {
                    ++handed;
                    ok = place.line > last && place.line <= lines.size() && place.offset == starts[place.line - 1] &&
                         DictionaryReader::lineText(line, scratch) == lines[place.line - 1];
                    EXPECT_TRUE(ok) << "line " << place.line << " at " << place.offset << " after line " << last;
                    last = place.line;
                    return ok;
                };
                struct Ctx {
                    decltype(fn)& f;
                } ctx{fn};
                const lf::PlacedFn call = [](void* c, std::string_view line, const lf::Place& place) {
                    return static_cast<Ctx*>(c)->f(line, place);
                };
                if (mapped) {
                    lf::forEachPlacedLineMapped(reader, probe, false, true, &ctx, call, [](void*, std::size_t) {});
                } else {
                    lf::forEachPlacedLineRead(reader, probe, true, &ctx, call);
                }
                if (ok && q.empty()) {
                    EXPECT_EQ(handed, lines.size());
                }
            }
        }
    }
}

// The readings (fields 3 to 5) by every way of cutting a line, against the
// plain cut, on every line of a file.
void expectReadingsAsPlainCut(const std::string& path) {
    const auto lines = reference::linesOfFile(path);
    ASSERT_FALSE(lines.empty());
    std::size_t wrong = 0;
    std::string scratch;
    for (std::size_t i = 0; i < lines.size() && wrong < 5; ++i) {
        const auto want = reference::fields(lines[i]);
        for (const auto form : {fields::CutForm::best, fields::CutForm::sse2, fields::CutForm::bytes}) {
            std::array<std::string_view, fields::kCount> raw{};
            unsigned plain = 0;
            ASSERT_TRUE(fields::cutWithoutCr(lines[i], raw, fields::kCount, &plain, form));
            for (int f : {fields::kPrefectureReading, fields::kMunicipalityReading, fields::kTownAreaReading}) {
                const std::string got(fields::unquote(raw[static_cast<std::size_t>(f)], scratch));
                if (got != want[static_cast<std::size_t>(f)]) {
                    ++wrong;
                    ADD_FAILURE() << "line " << i + 1 << " field " << f << " form " << static_cast<int>(form) << ": "
                                  << reference::shown(got);
                }
            }
        }
    }
    // Through the lookup, where the quick cut leaves the readings to be cut when asked for.
    TPostReference ref;
    ref.SetPostFile(path);
    std::size_t k = 0;
    MatchSinkFn check([&](const MatchRecord& r) {
        const std::string& l = lines[r.line - 1];
        const bool same = r.line == ++k && r.prefectureReading == reference::field(l, 3) &&
                          r.municipalityReading == reference::field(l, 4) &&
                          r.townAreaReading == reference::field(l, 5);
        if (!same) {
            ADD_FAILURE() << "line " << r.line << ": " << reference::shown(r.prefectureReading) << "|"
                          << reference::shown(r.municipalityReading) << "|" << reference::shown(r.townAreaReading);
        }
        return same;
    });
    ref.AddressToPostEach("", check);
    EXPECT_EQ(k, lines.size());
}

}  // namespace

TEST(MatchRecords, LinesOffsetsAndFieldsOnAwkwardGeneratedFiles) {
    const fs::path dir = fs::temp_directory_path() / ("tenmari-records-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 rng(20261211);
    std::vector<std::string> queries = {"\x96", "\x8b\x81i"};
    for (const char* q : {"", "1", "100", "100-", "1000001", "100  ", "10000", "東京都", "東京都千代田区", "千代田区",
                          "東京都千代田区千代田（注）", "x", "\""}) {
        queries.push_back(utf8ToCp932(q));
    }
    for (int round = 0; round < 8; ++round) {
        const fs::path p = dir / ("dict" + std::to_string(round) + ".csv");
        std::string bytes = awkwardFile(rng);
        if (round % 2 == 1) bytes += std::string(70, 'z') + ",\"1\",\"1000001\"";  // no LF at the end
        std::ofstream(p, std::ios::binary) << bytes;
        SCOPED_TRACE(p.string());
        expectRecordsAsReference(p.string(), queries);
        expectPlacesAsReference(p.string(), queries);
    }
    fs::remove_all(dir);
}

TEST(MatchRecords, LinesAndOffsetsAcrossWindowEdges) {
    // Lines longer than a block or a window, so that the counting of lines
    // goes on over the edges of blocks, batches and windows.
    const fs::path dir = fs::temp_directory_path() / ("tenmari-record-edges-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::mt19937 rng(1212);
    std::string bytes;
    for (int run = 0; run < 3; ++run) {
        std::string awkward = awkwardFile(rng);
        if (const auto z = awkward.find('\x1a'); z != std::string::npos) awkward.resize(z);
        bytes += awkward;
        bytes += "1,\"" + std::string((std::size_t{1} << 20) + 4099 * static_cast<std::size_t>(run), 'w') + "\"\r\n";
    }
    const fs::path p = dir / "edges.csv";
    std::ofstream(p, std::ios::binary) << bytes;
    const std::vector<std::string> queries = {"", "100", utf8ToCp932("東京都")};
    expectRecordsAsReference(p.string(), queries);
    expectPlacesAsReference(p.string(), queries);
    fs::remove_all(dir);
}

TEST(MatchRecords, ReadingsOfTheSampleByEveryCut) { expectReadingsAsPlainCut(TENMARI_SAMPLE_DICTIONARY); }

TEST(KenAll, ReadingsByEveryCut) {
    TENMARI_REQUIRE_KEN_ALL(path);
    expectReadingsAsPlainCut(path);
}

TEST(KenAll, RecordsAsReference) {
    TENMARI_REQUIRE_KEN_ALL(path);
    expectRecordsAsReference(path, {"100", "9071801", utf8ToCp932("北海道"), utf8ToCp932("東京都千代田区")});
}
