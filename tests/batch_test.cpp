// Batch conversion: its parts (input lines, kana, the query table) and the
// tenmari-lookup batch command against the single searches.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Batch.h"
#include "Cp932.h"
#include "KenAll.h"
#include "PostReference.h"
#include "ReferenceReading.h"

namespace {

namespace fs = std::filesystem;
using namespace tenmari;

TEST(BatchInput, LinesAndTheirErrors) {
    const std::string longLine(5 * 1024, 'a');
    struct Case {
        std::string text;
        std::vector<std::string> lines;
        std::size_t errorLine;  // 0: no error
        std::string inMessage;
    };
    const Case cases[] = {
        {"", {}, 0, ""},
        {"\n\n\n", {"", "", ""}, 0, ""},
        {"a\nb", {"a", "b"}, 0, ""},                         // no newline at the end
        {"a\r\nb\r\n", {"a", "b"}, 0, ""},                   // CR LF
        {"\xEF\xBB\xBF東京都\n", {"東京都"}, 0, ""},         // byte-order mark skipped
        {"x\xEF\xBB\xBF\n", {"x\xEF\xBB\xBF"}, 0, ""},       // only at the start
        {std::string(4096, 'b') + "\n", {std::string(4096, 'b')}, 0, ""},
        {"ok\n" + longLine + "\n", {}, 2, "longer than 4096 bytes"},
        {"ok\nok\n\xff\xfe\n", {}, 3, "not UTF-8"},
        {"\xe6\x9d\n", {}, 1, "not UTF-8"},                  // a character cut short
        {std::string("a\0b\n", 4), {}, 1, "NUL"},
    };
    for (const Case& c : cases) {
        std::vector<std::string_view> lines;
        const auto error = batch::splitLines(c.text, lines);
        if (c.errorLine == 0) {
            ASSERT_FALSE(error) << c.text.substr(0, 40) << ": " << error->message;
            EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), c.lines) << c.text.substr(0, 40);
        } else {
            ASSERT_TRUE(error) << c.text.substr(0, 40);
            EXPECT_EQ(error->line, c.errorLine) << c.text.substr(0, 40);
            EXPECT_NE(error->message.find(c.inMessage), std::string::npos) << error->message;
        }
    }
}

TEST(BatchKana, HalfWidthBecomesFullWidthWithMarksJoined) {
    const std::pair<std::string, std::string> cases[] = {
        {"ﾄｳｷｮｳﾄ", "トウキョウト"},
        {"ｶﾞｷﾞｸﾞｹﾞｺﾞ", "ガギグゲゴ"},
        {"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ", "ダヂヅデド"},
        {"ﾊﾞﾋﾟﾌﾞﾍﾟﾎﾞ", "バピブペボ"},
        {"ｳﾞ", "ヴ"},
        {"ｯﾞ", "ッ゛"},          // no voiced ッ: the mark stays a mark
        {"ｱﾟﾞ", "ア゜゛"},
        {"ﾞｶ", "゛カ"},
        {"ｲｶﾆｹｲｻｲｶﾞﾅｲﾊﾞｱｲ", "イカニケイサイガナイバアイ"},
        {"ﾜｶﾊﾞﾀﾞｲ(1-5ﾁｮｳﾒ)", "ワカバダイ(1-5チョウメ)"},
        {"｡｢｣､･ｦｧｰﾝ", "。「」、・ヲァーン"},
        {"漢字abc", "漢字abc"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(batch::fullWidthKana(in), out) << in;
}

// The answer of each query line by the longest beginning, in code page 932.
std::vector<std::vector<std::string>> addressAnswers(const std::vector<std::string>& queries,
                                                     const std::vector<std::pair<std::string, std::string>>& records,
                                                     bool all) {
    batch::QueryTable table(batch::QueryTable::Kind::address, all);
    for (const std::string& q : queries) table.add(utf8ToCp932(q));
    table.seal();
    for (const auto& [code, address] : records) table.offer(code, utf8ToCp932(address));
    std::vector<std::vector<std::string>> out;
    for (std::size_t k = 0; k < queries.size(); ++k) {
        out.emplace_back();
        for (const batch::Answer& a : table.answers(k)) out.back().push_back(a.code);
    }
    return out;
}

TEST(BatchTable, AddressByLongestBeginningFirstInFileOrder) {
    const std::vector<std::pair<std::string, std::string>> records = {
        {"1000000", "東京都千代田区"},
        {"1000005", "東京都千代田区丸の内（次のビルを除く）"},
        {"1006890", "東京都千代田区丸の内ＪＰタワー（地階・階層不明）"},
        {"1000006", "東京都千代田区丸の内"},
        {"1000001", "東京都千代田区千代田"},
    };
    const std::vector<std::string> queries = {
        "東京都千代田区丸の内１－９－１", "東京都千代田区", "東京都千代田区丸の内ＪＰタワー１階",
        "東京都千代", "", "東京都千代田区千代田", "東京都千代田区丸の内１－９－１"};
    EXPECT_EQ(addressAnswers(queries, records, false),
              (std::vector<std::vector<std::string>>{
                  {"1000005"}, {"1000000"}, {"1006890"}, {}, {}, {"1000001"}, {"1000005"}}));
    EXPECT_EQ(addressAnswers(queries, records, true),
              (std::vector<std::vector<std::string>>{{"1000005", "1000006"},
                                                     {"1000000"},
                                                     {"1006890"},
                                                     {},
                                                     {},
                                                     {"1000001"},
                                                     {"1000005", "1000006"}}));
}

// ---------------------------------------------------------------- the command

struct Outcome {
    int status;
    std::string out, err;
};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs tenmari-lookup with these arguments and `input` on standard input;
// standard output goes to `stdoutPath` when given.
Outcome run(const std::vector<std::string>& args, const std::string& input, const char* stdoutPath = nullptr) {
    const fs::path base = fs::temp_directory_path() / ("tenmari-batch-" + std::to_string(::getpid()));
    const std::string in = base.string() + ".in", out = base.string() + ".out", err = base.string() + ".err";
    std::ofstream(in, std::ios::binary) << input;
    std::vector<char*> argv{const_cast<char*>(TENMARI_LOOKUP_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int i = ::open(in.c_str(), O_RDONLY);
        const int o = ::open(stdoutPath ? stdoutPath : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (i < 0 || o < 0 || e < 0 || ::dup2(i, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    Outcome r{WIFEXITED(st) ? WEXITSTATUS(st) : -1, stdoutPath ? "" : readFile(out), readFile(err)};
    fs::remove(in);
    fs::remove(out);
    fs::remove(err);
    return r;
}

const std::string kSample = TENMARI_SAMPLE_DICTIONARY;

TEST(BatchCommand, BadInputIsAnErrorNamingItsLineAndNeverACrash) {
    const std::string big(5 * 1024, 'x');
    struct Case {
        std::string input;
        int status;
        std::string out;
        std::string inError;
    };
    const Case cases[] = {
        {"", 0, "", ""},
        {"\n\n", 1, "\t\t\n\t\t\n", ""},
        {"1000001", 0, "1000001\t1000001\t東京都千代田区千代田\n", ""},  // no newline at the end
        {"1000001\r\n9999999\r\n", 1, "1000001\t1000001\t東京都千代田区千代田\n9999999\t\t\n", ""},
        {"1000001\n" + big + "\n", 2, "", "line 2: the line is longer than 4096 bytes"},
        {"1000001\n\xff\n", 2, "", "line 2: the line is not UTF-8"},
        {std::string("10000\0" "01\n", 9), 2, "", "line 1: the line holds a NUL byte"},
        {"東京😀\n", 1, "東京😀\t\t\n", ""},  // no code page 932 form: no answer
    };
    for (const Case& c : cases) {
        const Outcome r = run({"--dict", kSample, "batch", "code"}, c.input);
        EXPECT_EQ(r.status, c.status) << c.input.substr(0, 30) << r.err;
        EXPECT_EQ(r.out, c.out) << c.input.substr(0, 30);
        if (c.inError.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(c.inError), std::string::npos) << r.err;
        }
    }
    // Unwritable output, an unreadable input, wrong words.
    Outcome r = run({"--dict", kSample, "batch", "code"}, "1000001\n", "/dev/full");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("No space left"), std::string::npos) << r.err;
    r = run({"--dict", kSample, "batch", "code", "/nonexistent/queries.txt"}, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("/nonexistent/queries.txt: No such file"), std::string::npos) << r.err;
    r = run({"--dict", kSample, "batch", "zip"}, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("batch takes code or address"), std::string::npos) << r.err;
    r = run({"--dict", "/nonexistent/dict.csv", "batch", "code"}, "1000001\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no such dictionary file"), std::string::npos) << r.err;
    r = run({"--dict", kSample, "--all", "code", "1000001"}, "");
    EXPECT_EQ(r.status, 2);
}

std::vector<std::vector<std::string>> cells(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t nl = out.find('\n', at);
        std::string line = out.substr(at, nl - at);
        at = nl + 1;
        rows.emplace_back();
        std::size_t from = 0;
        for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1) {
            rows.back().push_back(line.substr(from, tab - from));
        }
        rows.back().push_back(line.substr(from));
    }
    return rows;
}

// 2,000 batch answers of each kind against the single searches on `dict`,
// with and without --all. Queries: records' codes (some typed the Japanese
// way) and absent codes; records' address texts with a block number after
// them, municipalities alone and addresses that match nothing.
void checkAgainstSingleSearches(const std::string& dict) {
    TPostReference ref;
    ref.SetPostFile(dict);
    std::vector<std::pair<std::string, std::string>> records;  // code page 932
    ref.PostToAddressEach("", [&](std::string_view c, std::string_view a) { records.emplace_back(c, a); });
    ASSERT_FALSE(records.empty());
    const std::vector<std::string> lines = reference::linesOfFile(dict);
    ASSERT_EQ(lines.size(), records.size());
    std::mt19937 random(21);
    std::vector<std::string> codes, addresses;
    for (int k = 0; k < 2000; ++k) {
        const std::size_t pick = random() % records.size();
        const auto& [code, address] = records[pick];
        // The record of the rest of a municipality is found by the single
        // search only as the municipality itself, not with a block after it.
        const bool rest = reference::field(lines[pick], 8) == utf8ToCp932("以下に掲載がない場合");
        switch (k % 10) {
        case 0: codes.push_back(code.substr(0, 3) + "-" + code.substr(3)); break;
        // An absent code, built by appending: GCC 12 at -O3 sees a false overlap in "9" + string.
        case 1: codes.push_back(std::string("9").append(code, 1, 5).append("x")); break;
        default: codes.push_back(code);
        }
        const std::string text = cp932ToUtf8(batch::cutAtBracket(address));
        switch (k % 10) {
        case 0: addresses.push_back(text); break;
        case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9:
            addresses.push_back(rest ? text : text + "１－９－１");
            break;
        case 1: addresses.push_back("架空県" + text); break;  // absent
        }
    }
    // Each single search once, for both runs.
    std::map<std::pair<bool, std::string>, std::pair<TPostReference::StringList, TPostReference::StringList>> single;
    const auto search = [&](bool address, const std::string& q) -> const auto& {
        auto [it, fresh] = single.try_emplace({address, q});
        if (fresh && address) ref.AddressToPostList(q, it->second.first, it->second.second);
        if (fresh && !address) ref.PostToAddressList(q, it->second.first, it->second.second);
        return it->second;
    };
    for (const bool all : {false, true}) {
        const auto args = [&](const char* kind) {
            std::vector<std::string> a{"--dict", dict, "batch", kind};
            if (all) a.insert(a.begin(), "--all");
            return a;
        };
        std::string input;
        for (const std::string& c : codes) input += c + "\n";
        Outcome r = run(args("code"), input);
        ASSERT_LE(r.status, 1) << r.err;
        const auto rows = cells(r.out);
        std::size_t row = 0;
        for (const std::string& query : codes) {
            std::string q = query;
            if (const auto h = q.find('-'); h != std::string::npos) q.erase(h, 1);
            const auto& [as, cs] = search(false, q);
            std::vector<std::string> expected;  // every record of exactly that code, in file order
            for (std::size_t k = 0; k < cs.size(); ++k) {
                if (cs[k] == q) expected.push_back(cs[k] + "\t" + cp932ToUtf8(as[k]));
            }
            if (!all && expected.size() > 1) expected.resize(1);
            if (expected.empty()) {
                expected.push_back("\t");
            } else if (!all) {  // the first is the single code search's answer
                EXPECT_EQ(q + "\t" + cp932ToUtf8(ref.PostToAddress(query)), expected[0]);
            }
            for (const std::string& e : expected) {
                ASSERT_LT(row, rows.size());
                ASSERT_EQ(rows[row].size(), 3u);
                EXPECT_EQ(rows[row][0], query);
                EXPECT_EQ(rows[row][1] + "\t" + rows[row][2], e) << query;
                ++row;
            }
        }
        EXPECT_EQ(row, rows.size());

        input.clear();
        for (const std::string& a : addresses) input += a + "\n";
        r = run(args("address"), input);
        ASSERT_LE(r.status, 1) << r.err;
        const auto arows = cells(r.out);
        row = 0;
        for (const std::string& query : addresses) {
            const std::string q = utf8ToCp932(query);
            const auto& [as, cs] = search(true, q);
            // Of the single search's matches, those whose address text (cut
            // before "（") begins the query; the longest, first or all.
            std::size_t best = 0;
            std::vector<std::string> expected;
            for (std::size_t k = 0; k < cs.size(); ++k) {
                const std::string_view key = batch::cutAtBracket(as[k]);
                if (key.empty() || !std::string_view(q).starts_with(key) || key.size() < best) continue;
                if (key.size() > best) expected.clear();
                if (key.size() > best || all || expected.empty()) expected.push_back(cs[k] + "\t" + cp932ToUtf8(as[k]));
                best = key.size();
            }
            if (expected.empty()) expected.push_back("\t");
            for (const std::string& e : expected) {
                ASSERT_LT(row, arows.size());
                ASSERT_EQ(arows[row].size(), 3u);
                EXPECT_EQ(arows[row][0], query);
                EXPECT_EQ(arows[row][1] + "\t" + arows[row][2], e) << query;
                ++row;
            }
        }
        EXPECT_EQ(row, arows.size());
    }
}

TEST(BatchCommand, SameAsTheSingleSearchesOnTheSample) { checkAgainstSingleSearches(kSample); }

TEST(BatchCommand, SameAsTheSingleSearchesOnTheNationwideFile) {
    TENMARI_REQUIRE_KEN_ALL(csv);
    checkAgainstSingleSearches(csv);
}

}  // namespace
