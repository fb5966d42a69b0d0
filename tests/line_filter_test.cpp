// The first look at lines, which rules most of them out before they are cut
// into fields: it must never rule out a line that the plain rules match, its
// 64-byte block form must agree with its line-by-line form at every block
// edge, the mapped and the read pass must hand on the same lines, and a
// mapped file that shrinks must give an error, not a crash.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "Cp932.h"
#include "DictionaryFields.h"
#include "DictionaryReader.h"
#include "PostReference.h"
#include "ReadBuffer.h"
#include "scan/FaultGuard.h"
#include "scan/LineFilter.h"

namespace lf = tenmari::linefilter;
namespace fields = tenmari::fields;
using tenmari::DictionaryReader;
using tenmari::PostFileError;
using tenmari::utf8ToCp932;

namespace {

namespace fs = std::filesystem;

// Whether a raw line (LF excluded) matches the probe by the plain rules: its
// field, or its address key cut before the first "（", compared with the query.
bool plainlyMatches(std::string_view raw, const lf::Probe& probe) {
    std::string text;
    for (char c : raw) {
        if (c != '\r') text.push_back(c);
    }
    if (!probe.address) return fields::GetField(text, probe.field).starts_with(probe.query);
    std::string key;
    for (int f = probe.field; f <= fields::kTownArea; ++f) key += fields::GetField(text, f);
    for (std::size_t i = 0; i < key.size();) {
        if (key.compare(i, 2, "\x81\x69") == 0) {
            key.resize(i);
            break;
        }
        const auto c = static_cast<unsigned char>(key[i]);
        i += ((c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc)) && i + 1 < key.size() ? 2 : 1;
    }
    const std::size_t n = std::min(key.size(), probe.query.size());
    return key.compare(0, n, probe.query, 0, n) == 0;
}

// The lines of a text by the rules, as [begin, end) offsets (end at the LF).
std::vector<std::pair<std::size_t, std::size_t>> linesOf(const std::string& text) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    const std::size_t stop = std::min(text.find('\x1a'), text.size());
    std::size_t begin = 0;
    for (std::size_t i = 0; i < stop; ++i) {
        if (text[i] == '\n') {
            out.emplace_back(begin, i);
            begin = i + 1;
        }
    }
    if (begin < stop) out.emplace_back(begin, stop);
    return out;
}

std::vector<std::pair<std::size_t, std::size_t>> offsets(const std::vector<lf::Span>& spans, const char* base) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (const lf::Span& s : spans) {
        out.emplace_back(static_cast<std::size_t>(s.begin - base), static_cast<std::size_t>(s.end - base));
    }
    return out;
}

std::string shown(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        char hex[5];
        std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7f ? "%c" : "\\x%02x", c);
        out += hex;
    }
    return out;
}

// Pieces that make lines awkward for a quick look: quotes, doubled quotes,
// commas, lone and paired CRs, "（" and bytes that look like half of it.
const std::vector<std::string>& pieces() {
    static const std::vector<std::string> p = {"\"",
                                               "\"\"",
                                               ",",
                                               ",\"",
                                               "\",\"",
                                               "\r",
                                               "\r\n",
                                               "\n",
                                               "1",
                                               "10",
                                               "100",
                                               "  ",
                                               "\x81\x69",
                                               "\x8b\x81i",
                                               "\x81",
                                               utf8ToCp932("東京都"),
                                               utf8ToCp932("千代田区"),
                                               utf8ToCp932("北"),
                                               "x",
                                               "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"};
    return p;
}

lf::Probe randomProbe(std::mt19937& rng, std::string& storage) {
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    storage.clear();
    for (std::size_t k = pick(4); k > 0; --k) storage += pieces()[pick(pieces().size())];
    lf::Probe probe;
    probe.field = static_cast<int>(pick(8)) + 1;
    probe.query = storage;
    probe.address = probe.field >= fields::kPrefecture && pick(2) == 0;
    return probe;
}

// Every form keeps the lines that the line-by-line one keeps, with the same
// resume point and end, in one step and in two (the first, not final, ending
// at `cut`); the literal pass keeps some of them; and neither leaves out a
// line that the rules match.
void checkForms(const std::string& text, const lf::Probe& probe, std::size_t cut) {
    const char* const b = text.data();
    const char* const e = b + text.size();
    std::vector<lf::Span> byLine;
    const lf::Result rl = lf::candidates(b, e, true, probe, byLine, lf::Form::byLine);
    const auto kept = offsets(byLine, b);
    for (const lf::Form form : {lf::Form::byLine, lf::Form::avx2, lf::Form::avx2Pdep}) {
        if (!lf::runs(form)) continue;
        std::vector<lf::Span> other;
        const lf::Result ro = lf::candidates(b, e, true, probe, other, form);
        ASSERT_EQ(offsets(other, b), kept) << "form " << static_cast<int>(form);
        ASSERT_EQ(ro.resume, rl.resume);
        ASSERT_EQ(ro.ended, rl.ended);

        std::vector<lf::Span> steps;
        const lf::Result first = lf::candidates(b, b + cut, false, probe, steps, form);
        if (!first.ended) lf::candidates(first.resume, e, true, probe, steps, form);
        ASSERT_EQ(offsets(steps, b), kept) << "form " << static_cast<int>(form) << " cut at " << cut;
    }
    // The literal pass keeps fewer lines: some of those kept here, and every
    // plain match (checked below), in one step and in two.
    std::vector<std::pair<std::size_t, std::size_t>> literal;
    if (lf::literalFits(probe) && lf::runs(lf::Form::avx2)) {
        std::vector<lf::Span> spans;
        const lf::Result r = lf::literalCandidates(b, e, true, probe, spans);
        ASSERT_EQ(r.resume, rl.resume);
        ASSERT_EQ(r.ended, rl.ended);
        literal = offsets(spans, b);
        for (const auto& line : literal) {
            ASSERT_NE(std::find(kept.begin(), kept.end(), line), kept.end()) << "literal pass kept " << line.first;
        }
        std::vector<lf::Span> steps, unused;
        const lf::Result first = lf::literalCandidates(b, b + cut, false, probe, steps);
        const lf::Result firstByLine = lf::candidates(b, b + cut, false, probe, unused, lf::Form::byLine);
        ASSERT_EQ(first.resume, firstByLine.resume);
        ASSERT_EQ(first.ended, firstByLine.ended);
        if (!first.ended) lf::literalCandidates(first.resume, e, true, probe, steps);
        ASSERT_EQ(offsets(steps, b), literal) << "literal pass cut at " << cut;
    }
    for (const auto& line : linesOf(text)) {
        const std::string_view raw = std::string_view(text).substr(line.first, line.second - line.first);
        if (!plainlyMatches(raw, probe)) continue;
        ASSERT_NE(std::find(kept.begin(), kept.end(), line), kept.end()) << "ruled out [" << shown(raw) << "]";
        if (lf::literalFits(probe) && lf::runs(lf::Form::avx2)) {
            ASSERT_NE(std::find(literal.begin(), literal.end(), line), literal.end())
                << "literal pass ruled out [" << shown(raw) << "]";
        }
    }
}

}  // namespace

TEST(LineFilter, NeverRulesOutAMatchAndBothFormsAgreeAtEveryBlockEdge) {
    std::mt19937 rng(11);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    std::string query;
    for (int round = 0; round < 8000; ++round) {
        // A few hundred bytes, so that every kind of byte lands on every
        // offset of a 64-byte block over the rounds; now and then a 0x1A.
        std::string text;
        const std::size_t target = pick(400);
        while (text.size() < target) {
            const std::size_t what = pick(10);
            if (what == 0) {
                text += "13101,\"100  \",\"1000001\",\"a\",\"b\",\"c\",\"" + utf8ToCp932("東京都") + "\",\"" +
                        utf8ToCp932("千代田区") + "\",\"" + utf8ToCp932("千代田") + "\",0,0,0,0,0,0\r\n";
            } else if (what < 4) {
                // A record whose fields are quoted, left open, unquoted or empty.
                for (int f = 0; f < 10; ++f) {
                    std::string value;
                    for (std::size_t k = pick(3); k > 0; --k) value += pieces()[pick(pieces().size())];
                    const std::size_t form = pick(6);
                    text += form < 3 ? "\"" + value + "\"" : form == 3 ? "\"" + value : form == 4 ? value : "";
                    text += f < 9 ? "," : pick(2) ? "\r\n" : "\n";
                }
            } else {
                text += pieces()[pick(pieces().size())];
            }
        }
        if (pick(8) == 0) text.insert(pick(text.size() + 1), 1, '\x1a');
        const lf::Probe probe = randomProbe(rng, query);
        SCOPED_TRACE("text [" + shown(text) + "] field " + std::to_string(probe.field) + " query [" +
                     shown(probe.query) + "]" + (probe.address ? " address" : ""));

        ASSERT_NO_FATAL_FAILURE(checkForms(text, probe, pick(text.size() + 1)));
    }
}

// A line with a run of 64 or more commas fills whole chunks with commas; every
// form keeps the same lines there, at every offset of the run in a chunk.
TEST(LineFilter, LongRunsOfCommasAtEveryOffset) {
    const std::string tokyo = utf8ToCp932("東京都");
    for (std::size_t lead = 0; lead < 64; ++lead) {
        for (const std::size_t run : {63, 64, 65, 128, 200}) {
            const std::string text = std::string(lead, 'x') + "\"1000001\"" + std::string(run, ',') + "\"" +
                                     utf8ToCp932("東京都") + "\"\r\n13101,\"100\",\"1000002\"\n";
            for (int field = 1; field <= 9; ++field) {
                lf::Probe probe;
                probe.field = field;
                probe.query = field == 3 ? std::string_view("100") : field >= 7 ? std::string_view(tokyo) : "1";
                probe.address = field >= fields::kPrefecture;
                SCOPED_TRACE("lead " + std::to_string(lead) + " run " + std::to_string(run) + " field " +
                             std::to_string(field));
                const char* const b = text.data();
                const char* const e = b + text.size();
                std::vector<lf::Span> byLine;
                lf::candidates(b, e, true, probe, byLine, lf::Form::byLine);
                for (const lf::Form form : {lf::Form::avx2, lf::Form::avx2Pdep}) {
                    if (!lf::runs(form)) continue;
                    std::vector<lf::Span> other;
                    lf::candidates(b, e, true, probe, other, form);
                    ASSERT_EQ(offsets(other, b), offsets(byLine, b)) << "form " << static_cast<int>(form);
                }
            }
        }
    }
}

// The block pass seeks a municipality's comma (field 7, an address key of
// poptPart) in bytes 32 to 95 of a line and only counts the commas before.
// Lines whose seventh comma stands at every offset around that window's
// edges, with none to all seven of their commas in the first 32 bytes, with a
// municipality that matches, differs, is empty or left open: every form keeps
// the lines the line-by-line one keeps, and none loses a match.
TEST(LineFilter, MunicipalityCommaAroundTheSoughtWindow) {
    const std::string sapporo = utf8ToCp932("札幌市中央区");
    const std::string values[] = {"\"" + sapporo + "\"", "\"" + utf8ToCp932("函館市") + "\"", "\"\"", "\"" + sapporo,
                                  "\"" + utf8ToCp932("札") + "\""};
    for (int head = 0; head <= 7; ++head) {
        std::string text;
        for (std::size_t at = 0; at <= 110; ++at) {
            // `head` commas right at the start, the other 7 - head just before `at`.
            // Appended, not "1" + std::string: GCC 12 at -O3 misreads that as an overlapping copy.
            std::string line(1, '1');
            line.append(static_cast<std::size_t>(head), ',');
            const std::size_t rest = static_cast<std::size_t>(7 - head);
            if (line.size() + rest > at + 1 || (rest == 0 && line.size() != at + 1)) continue;
            line += std::string(at + 1 - rest - line.size(), 'b') + std::string(rest, ',');
            line += values[at % std::size(values)] + ",\"" + utf8ToCp932("町") + "\",0,0,0,0,0,0";
            text += line + (at % 3 == 0 ? "\r\n" : "\n");
        }
        text += std::string(200, 'z') + "\n";  // the lines above all take the quick way
        for (const std::string_view query : {std::string_view(sapporo), std::string_view(sapporo).substr(0, 2)}) {
            const lf::Probe probe{fields::kMunicipality, query, true};
            SCOPED_TRACE("head " + std::to_string(head) + " query [" + shown(query) + "]");
            ASSERT_NO_FATAL_FAILURE(checkForms(text, probe, text.size() / 2));
        }
    }
}

// Texts of many kilobytes, where most lines take the block pass's quick way:
// records whose probed field begins before, across and past the first 64 and
// 128 bytes of a line, lines longer than a block of 64 or 128 bytes, CRs, and
// a 0x1A on or beside a 64-byte edge. Every form keeps the lines the
// line-by-line one keeps, in one step or in two, and no plain match is lost.
TEST(LineFilter, LongTextsAgreeWithTheLineByLineForm) {
    std::mt19937 rng(29);
    auto pick = [&](std::size_t n) { return std::uint32_t(std::uniform_int_distribution<std::size_t>(0, n - 1)(rng)); };
    const std::string kana = "\xb1\xb2\xb3\xb4\xb5";  // half-width kana, one byte each
    auto value = [&](std::size_t n) {
        std::string v;
        while (v.size() < n) {
            const std::size_t what = pick(12);
            v += what == 0  ? pieces()[pick(pieces().size())]
                 : what < 4 ? utf8ToCp932("千代田")
                            : std::string(1, kana[pick(5)]);
        }
        return v;
    };
    std::string query;
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const std::size_t target = 2000 + pick(20000);
        while (text.size() < target) {
            const std::size_t what = pick(20);
            if (what < 14) {
                // A record of the public layout with fields of any length.
                text += std::to_string(10000 + pick(90000)) + ",\"" + std::to_string(100 + pick(900)) + "  \",\"" +
                        std::to_string(1000000 + pick(9000000)) + "\",\"" + value(pick(what < 8 ? 20 : 90)) + "\",\"" +
                        value(pick(what < 8 ? 30 : 120)) + "\",\"" + value(pick(40)) + "\",\"" +
                        utf8ToCp932(pick(2) ? "東京都" : "北海道") + "\",\"" + value(pick(16)) + "\",\"" +
                        value(pick(40)) + "\",0,0,0,0,0,0" + (pick(4) ? "\r\n" : "\n");
            } else if (what < 18) {
                for (std::size_t k = pick(12); k > 0; --k) text += pieces()[pick(pieces().size())];
                text += "\n";
            } else if (what == 18) {
                text += std::string(pick(3), ',') + "\"" + value(100 + pick(500)) + "\"," + value(pick(200)) + "\n";
            } else {
                text += pick(2) ? "\n" : "\r\n";
            }
        }
        if (pick(3) == 0) {
            // A lone CR somewhere, and now and then a 0x1A at or beside a 64-byte edge.
            text.insert(pick(text.size()), 1, '\r');
        }
        if (pick(4) == 0) {
            const std::size_t edge = (pick(text.size()) & ~std::size_t{63}) + std::size_t{pick(5)} - 2;
            text.insert(std::min(edge, text.size()), 1, '\x1a');
        }
        const lf::Probe probe = randomProbe(rng, query);
        SCOPED_TRACE("round " + std::to_string(round) + " field " + std::to_string(probe.field) + " query [" +
                     shown(probe.query) + "]" + (probe.address ? " address" : ""));

        ASSERT_NO_FATAL_FAILURE(checkForms(text, probe, pick(text.size() + 1)));
    }
}

TEST(LineFilter, RulesOutPlainRecordsThatDiffer) {
    // Records of the public layout: only the matching ones are left to be read.
    std::string text;
    const char* prefs[] = {"北海道", "東京都", "大阪府", "沖縄県"};
    for (int i = 0; i < 400; ++i) {
        const std::string code = std::to_string(1000000 + i * 7919 % 9000000);
        text += "13101,\"" + code.substr(0, 3) + "  \",\"" + code + "\",\"a\",\"b\",\"c\",\"" +
                utf8ToCp932(prefs[i % 4]) + "\",\"" + utf8ToCp932(i % 8 < 4 ? "千代田区" : "中央区") + "\",\"" +
                utf8ToCp932("町") + "\",0,0,0,0,0,0\r\n";
    }
    const std::string tokyo = utf8ToCp932("東京都千代田区");
    const std::string code = "1000";
    const lf::Probe probes[] = {{fields::kPrefecture, tokyo, true}, {fields::kCode, code, false}};
    for (const lf::Probe& probe : probes) {
        std::vector<lf::Span> kept;
        lf::candidates(text.data(), text.data() + text.size(), true, probe, kept);
        std::size_t matches = 0;
        for (const auto& line : linesOf(text)) {
            matches += plainlyMatches(std::string_view(text).substr(line.first, line.second - line.first), probe);
        }
        EXPECT_EQ(kept.size(), matches) << shown(probe.query);
    }
}

namespace {

class LineFilterFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tenmari-filter-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string write(const std::string& bytes, const std::string& name = "dict.csv") {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    // The kept lines' texts, through the mapping or through reads.
    static std::vector<std::string> passLines(const std::string& path, const lf::Probe& probe, bool mapped,
                                              bool stopsEarly) {
        std::vector<std::string> out;
        auto reader = DictionaryReader::open(path);
        auto fn = [](void* ctx, std::string_view line) {
            static_cast<std::vector<std::string>*>(ctx)->emplace_back(line);
            return true;
        };
        if (mapped) {
            EXPECT_FALSE(reader->mapped().empty());
            lf::forEachLineMapped(*reader, probe, stopsEarly, &out, fn, [](void*, std::size_t) {});
        } else {
            lf::forEachLineRead(*reader, probe, &out, fn);
        }
        return out;
    }

    fs::path dir_;
};

// A record of the nationwide file's shape: its JIS code, old code and code,
// readings "a" "b" "c", the three address fields (UTF-8 here), six flags
// and the line end `eol`.
std::string recordLine(const char* codes, const char* prefecture, const char* municipality, const char* townArea,
                       const char* eol) {
    return std::string(codes) + ",\"a\",\"b\",\"c\",\"" + utf8ToCp932(prefecture) + "\",\"" +
           utf8ToCp932(municipality) + "\",\"" + utf8ToCp932(townArea) + "\",0,0,0,0,0,0" + eol;
}
constexpr const char* kTokyoCodes = "13101,\"100  \",\"1000001\"";
constexpr const char* kSapporoCodes = "01101,\"060  \",\"0600000\"";

// A dictionary of a few MiB whose awkward bytes sit at the edges that the
// passes cut at: 64-byte blocks, read blocks, 256 KiB batches and 1 MiB windows, with
// lines longer than a batch and than a window.
std::string edgeFile(std::size_t eofAt) {
    const std::string plain = recordLine(kTokyoCodes, "東京都", "千代田区", "千代田", "\r\n");
    const std::string other = recordLine(kSapporoCodes, "北海道", "札幌市", "以下に掲載がない場合", "\r\n");
    // Specials that must land exactly on an offset: a lone CR inside the
    // code, a CR LF, a quote and a comma right before the probed field.
    const std::vector<std::pair<std::string, std::size_t>> specials = {
        {"13101,\"100  \",\"10\r00009\",\"\",\"\",\"\",\"\",\"\",\"\"\n", 17},  // the lone CR
        {plain, plain.size() - 2},                                              // the CR of CR LF
        {"13101,\"100  \",\"1000008\",,,,\"" + utf8ToCp932("東京都") + "\",,\n", 26},
        {"\n", 0},  // an empty line
    };
    // 256 KiB, 1 MiB and 1.5 MiB, and this machine's read block and twice it.
    const std::size_t edges[] = {std::size_t{256} << 10, std::size_t{1} << 20, std::size_t{3} << 19,
                                 DictionaryReader::blockSize(), 2 * DictionaryReader::blockSize()};
    std::string out;
    std::mt19937 rng(3);
    auto padTo = [&](std::size_t offset) {  // a filler line so that the next byte lands at `offset`
        if (offset <= out.size() + 80) return;
        const std::size_t len = offset - out.size();
        out += "1,\"" + std::string(len - 5, 'z') + "\"\r\n";
    };
    for (std::size_t round = 0; out.size() < (std::size_t{5} << 19); ++round) {
        for (int k = 0; k < 30; ++k) out += (rng() % 3 == 0) ? other : plain;
        const auto& [line, at] = specials[round % specials.size()];
        const std::size_t near = round % 7 == 0 ? edges[(round / 7) % std::size(edges)] - 64 : out.size() + 200;
        const std::size_t blockEdge =
            (near / 64) * 64 + 64 + (round % 5) - 2;  // 2 bytes before a block edge to 2 after
        if (blockEdge - at > out.size() + 80) {
            padTo(blockEdge - at);
            out += line;
        }
        if (round == 9) out += "1,\"" + std::string(std::size_t{3} << 19, 'w') + "\"\r\n";  // longer than a window
    }
    out += plain.substr(0, plain.size() - 2);  // the last line has no line end
    if (eofAt < out.size()) out[eofAt] = '\x1a';
    return out;
}

}  // namespace

TEST_F(LineFilterFile, MappedAndReadPassesHandOnTheSameLines) {
    const std::string tokyo = utf8ToCp932("東京都");
    const std::string sapporo = utf8ToCp932("札幌市");
    const std::string code = "100";
    const std::string last = "1000001";
    const lf::Probe probes[] = {{fields::kPrefecture, tokyo, true},
                                {fields::kMunicipality, sapporo, true},
                                {fields::kCode, code, false},
                                {fields::kCode, last, false},
                                {fields::kCode, "", false}};
    // A 0x1A nowhere, at a block edge, beside and at batch edges and at a window edge.
    for (std::size_t eofAt : {std::size_t{0} - 1, std::size_t{64} * 1000 + 63, (std::size_t{64} << 10) + 1,
                              std::size_t{256} << 10, (std::size_t{1} << 20) - 1}) {
        const std::string bytes = edgeFile(eofAt);
        const std::string path = write(bytes);
        std::vector<std::string> expectedAll;
        for (const auto& line : linesOf(bytes)) {
            std::string_view l = std::string_view(bytes).substr(line.first, line.second - line.first);
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            expectedAll.emplace_back(l);
        }
        for (const lf::Probe& probe : probes) {
            SCOPED_TRACE("0x1A at " + std::to_string(eofAt) + ", query " + shown(probe.query));
            const auto read = passLines(path, probe, false, false);
            EXPECT_EQ(passLines(path, probe, true, false), read);
            EXPECT_EQ(passLines(path, probe, true, true), read);
            if (probe.query.empty()) {
                EXPECT_EQ(read, expectedAll);
            }
            std::size_t matches = 0;
            for (const std::string& l : expectedAll) matches += plainlyMatches(l, probe);
            std::size_t keptMatches = 0;
            for (const std::string& l : read) keptMatches += plainlyMatches(l, probe);
            EXPECT_EQ(keptMatches, matches);
        }
    }
}

// The read buffer keeps its bytes as it grows, past its first large page
// too, and can be used again after it gave its memory back.
TEST(ReadBuffer, KeepsItsBytesAsItGrowsAndAfterARelease) {
    tenmari::ReadBuffer buf;
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(buf.empty());
        std::size_t filled = 0;
        for (const std::size_t n : {std::size_t{100}, DictionaryReader::blockSize(), std::size_t{3} << 20,
                                    std::size_t{1} << 20, std::size_t{9} << 20}) {
            buf.resize(n);
            ASSERT_EQ(buf.size(), n);
            for (std::size_t i = 0; i < std::min(filled, n); ++i) {
                ASSERT_EQ(buf.data()[i], static_cast<char>(i * 7 + 1)) << "byte " << i << " at size " << n;
            }
            for (std::size_t i = filled; i < n; ++i) buf.data()[i] = static_cast<char>(i * 7 + 1);
            filled = n;
        }
        buf.release();
    }
}

// A pass through reads tells the caller's lists their room once, before the
// first line it hands on: every line, from the file's size; a probed pass,
// twice the lines of its first read block that keeps any; a probed pass that
// keeps nothing, never.
TEST_F(LineFilterFile, APassThroughReadsTellsItsCountOnceBeforeItsFirstLine) {
    const std::string tokyo = utf8ToCp932("東京都");
    const std::string line = "13101,\"100  \",\"1000001\",\"a\",\"b\",\"c\",\"" + tokyo + "\",\"x\",\"y\",0\n";
    const std::string otherLine = "1,\"060  \",\"0600000\",\"a\",\"b\",\"c\",\"z\",\"x\",\"y\",0\n";
    const std::size_t block = DictionaryReader::blockSize();
    std::string big;  // three read blocks, the matches all in the second
    while (big.size() < block + block / 2) big += otherLine;
    for (int i = 0; i < 300; ++i) big += line;
    while (big.size() < 3 * block) big += otherLine;
    std::string small;
    for (int i = 0; i < 40; ++i) small += (i % 4 == 0 ? line : otherLine);
    const std::size_t bigLines = big.size() / otherLine.size();
    struct Case {
        const char* name;
        const std::string* bytes;
        lf::Probe probe;
        std::size_t atLeast, atMost;  // the count told; none when both are 0
    };
    const Case cases[] = {
        {"every line of three blocks", &big, {fields::kCode, "", false}, bigLines, 2 * bigLines},
        {"a prefecture in the second block", &big, {fields::kPrefecture, tokyo, true}, 600, 600},
        {"a prefecture in a file of one block", &small, {fields::kPrefecture, tokyo, true}, 20, 20},
        {"a code nowhere in the file", &big, {fields::kCode, "999", false}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        struct Seen {
            std::vector<std::size_t> counts;
            std::size_t linesBeforeCount = 0;
            std::size_t lines = 0;
        } seen;
        auto reader = DictionaryReader::open(write(*c.bytes));
        lf::forEachPlacedLineRead(
            *reader, c.probe, false, false, &seen,
            [](void* ctx, std::string_view, const lf::Place&) {
                ++static_cast<Seen*>(ctx)->lines;
                return true;
            },
            [](void* ctx, std::size_t n) {
                auto* s = static_cast<Seen*>(ctx);
                s->counts.push_back(n);
                s->linesBeforeCount = s->lines;
            });
        if (c.atMost == 0) {
            EXPECT_TRUE(seen.counts.empty());
            continue;
        }
        ASSERT_EQ(seen.counts.size(), 1u);
        EXPECT_EQ(seen.linesBeforeCount, 0u);
        EXPECT_GE(seen.counts[0], c.atLeast);
        EXPECT_LE(seen.counts[0], c.atMost);
    }
}

TEST_F(LineFilterFile, AFileThatShrinksUnderThePassIsAnErrorNotACrash) {
    std::string bytes;
    while (bytes.size() < (std::size_t{3} << 20))
        bytes += "13101,\"100  \",\"1000001\",\"a\",\"b\",\"c\",\"x\",\"y\",\"z\"\r\n";
    const lf::Probe probe{fields::kCode, "100", false};
    for (const std::size_t left : {std::size_t{0}, std::size_t{5000}, std::size_t{1} << 20}) {
        for (const bool stopsEarly : {false, true}) {
            SCOPED_TRACE(std::to_string(left) + " bytes left" + (stopsEarly ? ", window by window" : ""));
            const std::string path = write(bytes);
            auto reader = DictionaryReader::open(path);
            ASSERT_FALSE(reader->mapped().empty());
            // Another part of the program may have set its own action since.
            if (left == 0) std::signal(SIGBUS, SIG_DFL);
            // The file shrinks as the first line is handed on; the pages past
            // its new end are gone when the pass reaches them.
            struct Ctx {
                std::string path;
                std::size_t left;
                std::size_t lines = 0;
            } ctx{path, left};
            auto fn = [](void* c, std::string_view) {
                auto* x = static_cast<Ctx*>(c);
                if (x->lines++ == 0) fs::resize_file(x->path, x->left);
                return true;
            };
            try {
                lf::forEachLineMapped(*reader, probe, stopsEarly, &ctx, fn, [](void*, std::size_t) {});
                ADD_FAILURE() << "expected an error";
            } catch (const PostFileError& e) {
                EXPECT_NE(std::string(e.what()).find("shrank"), std::string::npos) << e.what();
                EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            }
        }
    }
}

TEST_F(LineFilterFile, GuardedReadsOfLostPagesReturnFalseEveryTime) {
    const std::string path = write(std::string(std::size_t{1} << 16, 'x'));
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    void* map = ::mmap(nullptr, std::size_t{1} << 16, PROT_READ, MAP_PRIVATE, fd, 0);
    ASSERT_NE(map, MAP_FAILED);
    const auto* bytes = static_cast<const volatile char*>(map);
    char seen = 0;
    auto touchLast = [&] { seen = bytes[(std::size_t{1} << 16) - 1]; };
    EXPECT_TRUE(tenmari::runGuarded(map, std::size_t{1} << 16, touchLast));
    EXPECT_EQ(seen, 'x');
    fs::resize_file(path, 100);
    // Twice: after the first jump out, the next fault must be caught as well.
    EXPECT_FALSE(tenmari::runGuarded(map, std::size_t{1} << 16, touchLast));
    EXPECT_FALSE(tenmari::runGuarded(map, std::size_t{1} << 16, touchLast));
    auto touchFirst = [&] { seen = bytes[0]; };
    EXPECT_TRUE(tenmari::runGuarded(map, std::size_t{1} << 16, touchFirst));
    ::munmap(map, std::size_t{1} << 16);
    ::close(fd);
}

TEST_F(LineFilterFile, AnExceptionLeavesNoGuardBehind) {
    const std::string path = write(std::string(std::size_t{1} << 16, 'x'));
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    void* map = ::mmap(nullptr, std::size_t{1} << 16, PROT_READ, MAP_PRIVATE, fd, 0);
    ASSERT_NE(map, MAP_FAILED);
    bool inside = false;
    auto throws = [&] {
        inside = tenmari::insideGuard();
        throw std::runtime_error("out of memory");
    };
    EXPECT_THROW(tenmari::runGuarded(map, std::size_t{1} << 16, throws), std::runtime_error);
    EXPECT_TRUE(inside);
    EXPECT_FALSE(tenmari::insideGuard());
    // A fault outside any guard still gets the action it had before: the
    // end of the process (in a child), by the signal itself or, in a build
    // whose sanitizer handles bus errors, by its report and failure status.
    fs::resize_file(path, 100);
    const auto endedByTheFault = [](int status) {
        return (WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) || (WIFEXITED(status) && WEXITSTATUS(status) != 0);
    };
    EXPECT_EXIT(
        {
            [[maybe_unused]] volatile char c = static_cast<const volatile char*>(map)[(std::size_t{1} << 16) - 1];
            std::exit(0);
        },
        endedByTheFault, "");
    ::munmap(map, std::size_t{1} << 16);
    ::close(fd);
}
