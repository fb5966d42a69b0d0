// Batch conversion: its parts (input lines, kana, the query table) and the
// tenmari-lookup batch command against the single searches.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Batch.h"
#include "DictionaryRecords.h"
#include "DictionaryScan.h"
#include "Cp932.h"
#include "KenAll.h"
#include "PostReference.h"
#include "ReferenceReading.h"
#include "RunTool.h"

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
        {"a\nb", {"a", "b"}, 0, ""},                    // no newline at the end
        {"a\r\nb\r\n", {"a", "b"}, 0, ""},              // CR LF
        {"\xEF\xBB\xBF東京都\n", {"東京都"}, 0, ""},    // byte-order mark skipped
        {"x\xEF\xBB\xBF\n", {"x\xEF\xBB\xBF"}, 0, ""},  // only at the start
        {std::string(4096, 'b') + "\n", {std::string(4096, 'b')}, 0, ""},
        {"ok\n" + longLine + "\n", {}, 2, "longer than 4096 bytes"},
        {"ok\nok\n\xff\xfe\n", {}, 3, "not UTF-8"},
        {"\xe6\x9d\n", {}, 1, "not UTF-8"},  // a character cut short
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
        {"ｯﾞ", "ッ゛"},  // no voiced ッ: the mark stays a mark
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
        // 求 is 0x8B 0x81: with the "i" after it, the bytes 0x81 0x69 of a "（"
        // that is none. The key is the whole text.
        {"1000010", "東京都千代田区求iビル"},
    };
    const std::vector<std::string> queries = {"東京都千代田区丸の内１－９－１",
                                              "東京都千代田区",
                                              "東京都千代田区丸の内ＪＰタワー１階",
                                              "東京都千代",
                                              "",
                                              "東京都千代田区千代田",
                                              "東京都千代田区丸の内１－９－１",
                                              "東京都千代田区求iビル１階",
                                              "東京都千代田区求"};
    EXPECT_EQ(addressAnswers(queries, records, false),
              (std::vector<std::vector<std::string>>{
                  {"1000005"}, {"1000000"}, {"1006890"}, {}, {}, {"1000001"}, {"1000005"}, {"1000010"}, {"1000000"}}));
    EXPECT_EQ(addressAnswers(queries, records, true), (std::vector<std::vector<std::string>>{{"1000005", "1000006"},
                                                                                             {"1000000"},
                                                                                             {"1006890"},
                                                                                             {},
                                                                                             {},
                                                                                             {"1000001"},
                                                                                             {"1000005", "1000006"},
                                                                                             {"1000010"},
                                                                                             {"1000000"}}));
}

// ---------------------------------------------------------------- the command

using test::Outcome;

// tenmari-lookup with these arguments and `input` on standard input.
Outcome run(const std::vector<std::string>& args, const std::string& input, const char* stdoutPath = nullptr) {
    return test::runTool(TENMARI_LOOKUP_EXE, args, input, stdoutPath);
}

const std::string kSample = TENMARI_SAMPLE_DICTIONARY;

// tenmari-lookup with these arguments, fed through a pipe `input` and then up
// to `more` bytes of `fill` (as much as it takes before it ends): its exit
// status, its errors, the bytes it took and its peak memory.
struct Fed {
    int status;
    std::string err;
    std::size_t taken;
    long peakKb;
};
Fed feed(const std::vector<std::string>& args, const std::string& input, char fill, std::size_t more) {
    const std::string errPath = (fs::temp_directory_path() / ("tenmari-fed-" + std::to_string(::getpid()))).string();
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    std::vector<char*> argv{const_cast<char*>(TENMARI_LOOKUP_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open("/dev/null", O_WRONLY);
        const int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (o < 0 || e < 0 || ::dup2(fds[0], 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(127);
        ::close(fds[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[0]);
    const auto before = std::signal(SIGPIPE, SIG_IGN);  // a tool that stops reading ends the feeding
    std::size_t taken = 0;
    const auto put = [&](const char* p, std::size_t n) {
        while (n > 0) {
            const ssize_t w = ::write(fds[1], p, n);
            if (w <= 0) return false;
            taken += static_cast<std::size_t>(w);
            p += w;
            n -= static_cast<std::size_t>(w);
        }
        return true;
    };
    const std::string piece(std::size_t{1} << 16, fill);
    if (put(input.data(), input.size())) {
        for (std::size_t left = more; left > 0 && put(piece.data(), std::min(left, piece.size()));) {
            left -= std::min(left, piece.size());
        }
    }
    ::close(fds[1]);
    std::signal(SIGPIPE, before);
    int st = 0;
    rusage usage{};
    ::wait4(pid, &st, 0, &usage);
    Fed r{WIFEXITED(st) ? WEXITSTATUS(st) : -1, test::readFile(errPath), taken, usage.ru_maxrss};
    fs::remove(errPath);
    return r;
}

TEST(BatchCommand, BadInputIsAnErrorNamingItsLineAndNeverACrash) {
    const std::string big(5 * 1024, 'x');
    constexpr std::size_t kEndless = std::size_t{256} << 20;  // as good as endless: far more than a bad line needs
    struct Case {
        std::string input;
        int status;
        std::string out;
        std::string inError;
        std::size_t more = 0;  // bytes of `fill` after the input, through a pipe
        char fill = 0;
    };
    const Case cases[] = {
        {"", 0, "", ""},
        {"\n\n", 1, "\t\t\n\t\t\n", ""},
        {"1000001", 0, "1000001\t1000001\t東京都千代田区千代田\n", ""},  // no newline at the end
        {"1000001\r\n9999999\r\n", 1, "1000001\t1000001\t東京都千代田区千代田\n9999999\t\t\n", ""},
        {"1000001\n" + big + "\n", 2, "", "line 2: the line is longer than 4096 bytes"},
        {"1000001\n\xff\n", 2, "", "line 2: the line is not UTF-8"},
        {std::string("10000\0"
                     "01\n",
                     9),
         2, "", "line 1: the line holds a NUL byte"},
        {"東京😀\n", 1, "東京😀\t\t\n", ""},  // no code page 932 form: no answer
        // Endless input: refused at its first bad line as soon as that is
        // read, with no more memory than a read takes.
        {"", 2, "", "line 1: the line holds a NUL byte", kEndless, '\0'},  // as from /dev/zero
        {std::string("1000001\n10\0", 11), 2, "", "line 2: the line holds a NUL byte", kEndless, 'a'},
        {"1000001\n", 2, "", "line 2: the line is longer than 4096 bytes", kEndless, '1'},
        {"1000001\n\xff\n", 2, "", "line 2: the line is not UTF-8", kEndless, '\n'},
    };
    for (const Case& c : cases) {
        if (c.more > 0) {
            const Fed r = feed({"--dict", kSample, "batch", "code"}, c.input, c.fill, c.more);
            EXPECT_EQ(r.status, c.status) << c.inError << r.err;
            EXPECT_NE(r.err.find(c.inError), std::string::npos) << r.err;
            EXPECT_LT(r.taken, std::size_t{16} << 20) << c.inError;
            EXPECT_LT(r.peakKb, 64 * 1024) << c.inError;
            continue;
        }
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
        const std::string text = cp932ToUtf8(reference::cutAtOpenParen(address));
        switch (k % 10) {
        case 0: addresses.push_back(text); break;
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9: addresses.push_back(rest ? text : text + "１－９－１"); break;
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
            if (std::string_view(kind) == "address") a.insert(a.begin(), "--strict");  // the exact rule
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
                const std::string key = reference::cutAtOpenParen(as[k]);
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

// ---------------------------------------------------------------- readings, whole records, folding

// A dictionary written by hand in Japan Post's layout (code page 932, CR LF):
// long town areas split over runs of lines of one code, notes in brackets,
// the record of the rest of a municipality.
class WholeRecords : public ::testing::Test {
protected:
    void SetUp() override {
        dict_ = (fs::temp_directory_path() / ("tenmari-whole-" + std::to_string(::getpid()) + ".csv")).string();
        const char* const lines[] = {
            R"l(01101,"064  ","0640000","ﾎｯｶｲﾄﾞｳ","ｻｯﾎﾟﾛｼﾁｭｳｵｳｸ","ｲｶﾆｹｲｻｲｶﾞﾅｲﾊﾞｱｲ","北海道","札幌市中央区","以下に掲載がない場合",0,0,0,0,0,0)l",
            // A run of three lines, the reading split with the text.
            R"l(01224,"066  ","0669901","ﾎｯｶｲﾄﾞｳ","ﾐﾅﾄｼ","ﾜｶﾊﾞ(1-3ﾊﾞﾝﾁ､5ﾊﾞﾝﾁ､","北海道","港市","若葉（１－３番地、５番地、",1,0,0,0,0,0)l",
            R"l(01224,"066  ","0669901","ﾎｯｶｲﾄﾞｳ","ﾐﾅﾄｼ","7ﾊﾞﾝﾁ､9ﾊﾞﾝﾁ､","北海道","港市","７番地、９番地、",1,0,0,0,0,0)l",
            R"l(01224,"066  ","0669901","ﾎｯｶｲﾄﾞｳ","ﾐﾅﾄｼ","11ﾊﾞﾝﾁ)","北海道","港市","１１番地）",1,0,0,0,0,0)l",
            // A run of two lines, the reading repeated on each; then a record
            // of the same code that carries nothing on.
            R"l(26102,"602  ","6029901","ｷｮｳﾄﾌ","ｷｮｳﾄｼｶﾐｷﾞｮｳｸ","ｶﾒﾉﾁｮｳ","京都府","京都市上京区","亀乃町（東通上る、",0,0,0,0,0,0)l",
            R"l(26102,"602  ","6029901","ｷｮｳﾄﾌ","ｷｮｳﾄｼｶﾐｷﾞｮｳｸ","ｶﾒﾉﾁｮｳ","京都府","京都市上京区","西通下る）",0,0,0,0,0,0)l",
            R"l(26102,"602  ","6029901","ｷｮｳﾄﾌ","ｷｮｳﾄｼｶﾐｷﾞｮｳｸ","ﾂﾙﾉﾁｮｳ","京都府","京都市上京区","鶴乃町",0,0,0,0,0,0)l",
            // A note on one line; brackets within brackets; a run broken by
            // another code; a run that the end of the file leaves open.
            R"l(13101,"100  ","1009901","ﾄｳｷｮｳﾄ","ﾁﾖﾀﾞｸ","ﾏﾙﾉｳﾁ(ﾂｷﾞﾉﾋﾞﾙｦﾉｿﾞｸ)","東京都","千代田区","丸の内（次のビルを除く）",0,0,0,0,0,0)l",
            R"l(13101,"100  ","1009902","ﾄｳｷｮｳﾄ","ﾁﾖﾀﾞｸ","ｿﾄﾎﾞﾘ(1ﾁｮｳﾒ(ｲﾁﾌﾞ)､","東京都","千代田区","外堀（１丁目（一部）、",0,0,0,0,0,0)l",
            R"l(13101,"100  ","1009902","ﾄｳｷｮｳﾄ","ﾁﾖﾀﾞｸ","2ﾁｮｳﾒ(ｾﾞﾝｲｷ))","東京都","千代田区","２丁目（全域））",0,0,0,0,0,0)l",
            R"l(13101,"100  ","1009903","ﾄｳｷｮｳﾄ","ﾁﾖﾀﾞｸ","ｳﾁﾎﾞﾘ(1ﾁｮｳﾒ､","東京都","千代田区","内堀（１丁目、",0,0,0,0,0,0)l",
            R"l(13101,"100  ","1009904","ﾄｳｷｮｳﾄ","ﾁﾖﾀﾞｸ","ｷﾀﾎﾞﾘ","東京都","千代田区","北堀",0,0,0,0,0,0)l",
            R"l(13101,"100  ","1009905","ﾄｳｷｮｳﾄ","ﾁﾖﾀﾞｸ","ﾐﾅﾐﾎﾞﾘ(1ﾁｮｳﾒ､","東京都","千代田区","南堀（１丁目、",0,0,0,0,0,0)l",
            R"l(13101,"100  ","1009905","ﾄｳｷｮｳﾄ","ﾁﾖﾀﾞｸ","2ﾁｮｳﾒ､","東京都","千代田区","２丁目、",0,0,0,0,0,0)l",
        };
        std::string bytes;
        for (const char* l : lines) bytes += utf8ToCp932(l) + "\r\n";
        std::ofstream(dict_, std::ios::binary) << bytes;
    }
    void TearDown() override { fs::remove(dict_); }

    Outcome lookup(std::vector<std::string> args, const std::string& input = "") const {
        args.insert(args.begin(), {"--dict", dict_});
        return run(args, input);
    }

    std::string dict_;
};

TEST_F(WholeRecords, RunsBecomeOneRecordAndNotesAreDropped) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string out;
    };
    const Case cases[] = {
        // Without --whole every piece is a record of its own, as the lookup reads it.
        {{"code", "0669901"}, "", "北海道港市若葉（１－３番地、５番地、\n"},
        {{"--whole", "code", "0669901"}, "", "北海道港市若葉\n"},
        {{"--whole", "--kana", "code", "0669901"}, "", "北海道港市若葉\tホッカイドウミナトシワカバ\n"},
        {{"--whole", "--kana", "prefix", "066"}, "", "0669901\t北海道港市若葉\tホッカイドウミナトシワカバ\n"},
        {{"--whole", "--kana", "--pick-out", "part", "prefix", "602"},
         "",
         "6029901\t京都市上京区亀乃町\tキョウトシカミギョウクカメノチョウ\n"
         "6029901\t京都市上京区鶴乃町\tキョウトシカミギョウクツルノチョウ\n"},
        {{"prefix", "1009902"},
         "",
         "1009902\t東京都千代田区外堀（１丁目（一部）、\n1009902\t東京都千代田区２丁目（全域））\n"},
        {{"--whole", "address", "東京都千代田区"},
         "",
         "1009901\t東京都千代田区丸の内\n1009902\t東京都千代田区外堀\n1009903\t東京都千代田区内堀\n"
         "1009904\t東京都千代田区北堀\n1009905\t東京都千代田区南堀\n"},
        // A piece that carries on a run is no record: it is not found by its own text.
        {{"address", "東京都千代田区２丁目"},
         "",
         "1009902\t東京都千代田区２丁目（全域））\n1009905\t東京都千代田区２丁目、\n"},
        {{"--whole", "address", "東京都千代田区２丁目"}, "", ""},
        // Batches: one line per record of the code with --all; the longest beginning.
        {{"--all", "batch", "code"},
         "0669901\n",
         "0669901\t0669901\t北海道港市若葉（１－３番地、５番地、\n"
         "0669901\t0669901\t北海道港市７番地、９番地、\n"
         "0669901\t0669901\t北海道港市１１番地）\n"},
        {{"--all", "--whole", "--kana", "batch", "code"},
         "0669901\n6029901\n",
         "0669901\t0669901\t北海道港市若葉\tホッカイドウミナトシワカバ\n"
         "6029901\t6029901\t京都府京都市上京区亀乃町\tキョウトフキョウトシカミギョウクカメノチョウ\n"
         "6029901\t6029901\t京都府京都市上京区鶴乃町\tキョウトフキョウトシカミギョウクツルノチョウ\n"},
        {{"--strict", "batch", "address"},
         "北海道港市７番地、９番地、１０\n北海道港市若葉１１番地\n",
         "北海道港市７番地、９番地、１０\t0669901\t北海道港市７番地、９番地、\n"
         "北海道港市若葉１１番地\t0669901\t北海道港市若葉（１－３番地、５番地、\n"},
        {{"--strict", "--whole", "--kana", "batch", "address"},
         "北海道港市７番地、９番地、１０\n北海道港市若葉１１番地\n",
         "北海道港市７番地、９番地、１０\t\t\t\n"
         "北海道港市若葉１１番地\t0669901\t北海道港市若葉\tホッカイドウミナトシワカバ\n"},
        // The reading of the rest of a municipality is left out as its text is.
        {{"--kana", "code", "0640000"}, "", "北海道札幌市中央区\tホッカイドウサッポロシチュウオウク\n"},
        {{"--kana", "batch", "code"},
         "0640000\n",
         "0640000\t0640000\t北海道札幌市中央区\tホッカイドウサッポロシチュウオウク\n"},
        {{"--strict", "--whole", "--kana", "--pick-out", "part", "batch", "address"},
         "札幌市中央区北１条\n",
         "札幌市中央区北１条\t0640000\t札幌市中央区\tサッポロシチュウオウク\n"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        const Outcome r = lookup(c.args, c.input);
        EXPECT_EQ(r.out, c.out) << shown;
        EXPECT_EQ(r.status, c.out.find("\t\t") == std::string::npos && !c.out.empty() ? 0 : 1) << shown << r.err;
        EXPECT_EQ(r.err, "") << shown;
    }
}

TEST(WholeRecordsNationwide, JapanPostsSplitRunsAreJoined) {
    TENMARI_REQUIRE_KEN_ALL(csv);
    const auto records = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--dict", csv});
        const Outcome r = run(args, "");
        EXPECT_EQ(r.status, 0) << r.err;
        return std::count(r.out.begin(), r.out.end(), '\n');
    };
    // Measured on the nationwide file of 124,825 lines, and checked by hand at a few runs:
    // 208 runs carried on over 314 further lines.
    const auto pieces = records({"prefix", ""});
    const auto whole = records({"--whole", "prefix", ""});
    EXPECT_EQ(pieces - whole, 314) << pieces << " lines, " << whole << " whole records";
    EXPECT_EQ(run({"--dict", csv, "--whole", "code", "0660005"}, "").out, "北海道千歳市協和\n");
    EXPECT_EQ(run({"--dict", csv, "--whole", "--kana", "batch", "code"}, "066-0005\n").out,
              "066-0005\t0660005\t北海道千歳市協和\tホッカイドウチトセシキョウワ\n");
}

// Every whole record with its reading, by two ways: the listing of every
// record (the lookup's pass, read again by the tool), and a batch of every
// code with --all (the batch's own pass).
TEST(WholeRecordsNationwide, BatchAndListingAgreeOnEveryRecord) {
    TENMARI_REQUIRE_KEN_ALL(csv);
    for (const char* pickOut : {"all", "part"}) {
        const Outcome listing = run({"--dict", csv, "--pick-out", pickOut, "--whole", "--kana", "prefix", ""}, "");
        ASSERT_EQ(listing.status, 0) << listing.err;
        std::map<std::string, std::string> byCode;  // code -> its records' lines, in file order
        std::vector<std::string> codes;
        for (const auto& row : cells(listing.out)) {
            ASSERT_EQ(row.size(), 3u);
            std::string& lines = byCode[row[0]];
            if (lines.empty()) codes.push_back(row[0]);
            lines += row[0] + "\t" + row[0] + "\t" + row[1] + "\t" + row[2] + "\n";
        }
        std::string input, expected;
        for (const std::string& c : codes) {
            input += c + "\n";
            expected += byCode[c];
        }
        const Outcome batch =
            run({"--dict", csv, "--pick-out", pickOut, "--whole", "--kana", "--all", "batch", "code"}, input);
        EXPECT_EQ(batch.status, 0) << batch.err;
        EXPECT_TRUE(batch.out == expected) << pickOut << ": the batch differs from the listing";
    }
}

TEST(BatchFold, HalfWidthBecomesTheFilesFullWidth) {
    const std::pair<std::string, std::string> cases[] = {
        {"丸の内1-9-1", "丸の内１－９－１"},
        {"JPタワー", "ＪＰタワー"},
        {"abc xyz", "ａｂｃ　ｘｙｚ"},
        {"曙2条", "曙２条"},
        {"全角１－９はそのまま", "全角１－９はそのまま"},
        {"(注)", "(注)"},  // only digits, letters, the space and the hyphen
        {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(batch::foldToFullWidth(in), out) << in;
}

TEST_F(WholeRecords, FoldFindsTheFullWidthText) {
    std::ofstream(dict_, std::ios::app | std::ios::binary)
        << utf8ToCp932(
               R"l(01204,"070  ","0700062","ﾎｯｶｲﾄﾞｳ","ｱｻﾋｶﾜｼ","ｱｹﾎﾞﾉ2ｼﾞｮｳ","北海道","旭川市","曙２条",0,0,1,0,0,0)l") +
               "\r\n";
    const std::string input = "北海道旭川市曙2条3丁目\n北海道旭川市曙２条３丁目\n";
    Outcome r = lookup({"--strict", "batch", "address"}, input);
    EXPECT_EQ(r.out, "北海道旭川市曙2条3丁目\t\t\n北海道旭川市曙２条３丁目\t0700062\t北海道旭川市曙２条\n");
    r = lookup({"--fold", "batch", "address"}, input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "北海道旭川市曙2条3丁目\t0700062\t北海道旭川市曙２条\n北海道旭川市曙２条３丁目\t0700062\t北海道旭川市曙２条\n");
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--fold", "batch", "code"}, {"--fold", "address", "北海道"}}) {
        r = lookup(wrong, "1\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("--fold goes with batch address only"), std::string::npos) << r.err;
    }
}

TEST(BatchCommand, OldCodesAreAnsweredAsTheCodeSearchAnswersThem) {
    TPostReference ref;
    ref.SetPostFile(kSample);
    std::vector<std::pair<std::string, std::string>> records;  // the sample's (code, address) in file order
    ref.PostToAddressEach("", [&](std::string_view c, std::string_view a) { records.emplace_back(c, a); });
    const std::vector<std::string> lines = reference::linesOfFile(kSample);
    ASSERT_EQ(lines.size(), records.size());
    // The old code of the first record, as 3 digits when it is one.
    const std::string old = reference::field(lines[0], 1);
    const std::string query = old.substr(0, old.find(' '));
    const Outcome r = run({"--dict", kSample, "batch", "code"}, query + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, query + "\t" + records[0].first + "\t" + cp932ToUtf8(ref.PostToAddress(query)) + "\n");
    // Every record of that old code with --all, in file order.
    std::string every;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (reference::field(lines[k], 1) == old)
            every += query + "\t" + records[k].first + "\t" + cp932ToUtf8(records[k].second) + "\n";
    }
    EXPECT_EQ(run({"--dict", kSample, "--all", "batch", "code"}, query + "\n").out, every);
}

// A 0x1A ends the dictionary's text for the batch as for the single
// searches: a line after it answers nothing, by code or by address.
TEST(BatchCommand, NoLineAfterTheEndMarkAnswers) {
    const fs::path dict = fs::temp_directory_path() / ("tenmari-eof-" + std::to_string(::getpid()) + ".csv");
    const std::string line1 = "13101,\"100  \",\"1000001\",\"x\",\"y\",\"z\",\"A\",\"B\",\"C\",0,0,0,0,0,0\r\n";
    const std::string line2 = "13101,\"100  \",\"1000002\",\"x\",\"y\",\"z\",\"A\",\"B\",\"D\",0,0,0,0,0,0\r\n";
    std::ofstream(dict, std::ios::binary) << line1 << '\x1a' << line2;
    for (const char* kind : {"code", "address"}) {
        const std::string query = std::string(kind) == "code" ? "1000002" : "ABD";
        const Outcome r = run({"--dict", dict.string(), "batch", kind}, query + "\n");
        EXPECT_EQ(r.status, 1) << kind << ": " << r.out;
        EXPECT_EQ(r.out, query + "\t\t\n") << kind;
        EXPECT_EQ(run({"--dict", dict.string(), kind == std::string("code") ? "code" : "address", query}, "").status,
                  1);
    }
    // The exact rule too.
    const Outcome strict = run({"--dict", dict.string(), "--strict", "batch", "address"}, "ABD\n");
    EXPECT_EQ(strict.status, 1) << strict.out;
    EXPECT_EQ(strict.out, "ABD\t\t\n");
    fs::remove(dict);
}

TEST(BatchProgress, OnlyOnATerminalAndOnlyAfterASecond) {
    using namespace std::chrono_literals;
    const auto t0 = batch::Progress::Clock::time_point{} + 1000s;
    std::string written;
    const auto writer = [&](std::string_view s) { written += s; };

    batch::Progress quiet(false, 1000, "Zenkoku.csv", t0, writer);  // standard error is no terminal
    quiet.update(500, 10, t0 + 5s);
    quiet.done();
    EXPECT_EQ(written, "");

    batch::Progress shown(true, 1000, "Zenkoku.csv", t0, writer);
    shown.update(100, 2, t0 + 900ms);  // under a second: nothing yet
    EXPECT_EQ(written, "");
    shown.update(450, 12345, t0 + 1100ms);
    EXPECT_EQ(written, "\rtenmari-lookup: 12,345 lines, 45% of Zenkoku.csv read\x1b[K");
    written.clear();
    shown.update(460, 12400, t0 + 1150ms);  // redrawn at most ten times a second
    EXPECT_EQ(written, "");
    shown.update(1000, 20000, t0 + 1300ms);
    EXPECT_EQ(written, "\rtenmari-lookup: 20,000 lines, 100% of Zenkoku.csv read\x1b[K");
    written.clear();
    shown.done();  // the line is wiped at the end
    EXPECT_EQ(written, "\r\x1b[K");
}

TEST(BatchRuns, AFollowingLineOfTheSameCodeCarriesOnAnOpenRun) {
    // (line, code, town area in code page 932, whether it carries on)
    struct Step {
        std::uint64_t line;
        std::string code;
        std::string town;
        bool carriesOn;
    };
    const std::vector<Step> steps = {
        {1, "1", "若葉（１、", false},       {2, "1", "２）", true},     {3, "1", "鶴乃町", false},
        {4, "2", "外堀（（一部）、", false}, {5, "2", "全域））", true}, {6, "2", "（次）", false},
        {7, "3", "内堀（", false},           {8, "4", "北堀、", false},  // another code ends the run
        {9, "5", "南堀（", false},           {11, "5", "２）", false},   // so does a line between
    };
    tenmari::SplitRuns runs;
    for (const Step& s : steps) {
        const std::string town = utf8ToCp932(s.town);
        const bool carries = runs.continues(s.line, s.code);
        EXPECT_EQ(carries, s.carriesOn) << s.line;
        runs.see(s.line, s.code, tenmari::bracketBalance(town), carries);
    }
}

TEST(BatchScan, QuickFieldsReadAsTheLinesCutReadsThem) {
    const std::string lines[] = {
        R"(13101,"100  ","1000001","a","b","c","x","y","z",0)",
        R"(13101,"100  ","1000001"tail,"a")",
        "13101,\"10\r0  \",\"1000001\",\"\"",  // a CR within field 1
        "13101,\"100  \",\"10000\r01\",\"\"",  // a CR within field 2: not 7 digits as it stands
        "13\r101,\"100  \",\"1000001\"",       // a CR before both
        R"(13101,"1,0  ","1000001")",          // a comma in a quoted field cuts it
        R"(13101,"100""","1000001")",          // a doubled quote
        R"(13101,"100  ","100000")",           // six digits
        R"(13101,"100  ","1000001)",           // no closing quote
        R"(13101,"100  ",1000001)",            // unquoted: empty
        R"(13101,"100  ","１０００００１")",
        R"(13101,"100  )",
        "",
    };
    for (const std::string& line : lines) {
        std::string scratch;
        const std::string_view text = DictionaryReader::lineText(line, scratch);
        if (const auto code = fields::quickCode(line)) {
            EXPECT_EQ(*code, fields::GetField(text, 2)) << line;
        }
        if (const auto old = fields::quickOldCode(line)) {
            EXPECT_EQ(*old, fields::GetField(text, 1)) << line;
        }
        batch::LineFields f;
        f.reset(line);
        for (const int k : {1, 2, 6, 8}) EXPECT_EQ(f.field(k), fields::GetField(text, k)) << line << " field " << k;
    }
    EXPECT_TRUE(fields::quickCode(lines[0]));  // the common line is read straight
    EXPECT_TRUE(fields::quickOldCode(lines[0]));
}

}  // namespace

// ---------------------------------------------------------------- a dictionary that changes

namespace {

enum class Change { none, shrinks, emptied, grows, rewrittenInPlace, replacedByRename };

// Changes the file once, after the first read of its bytes (a block, or the mapping).
struct ChangeAfterFirstRead {
    std::string path;
    Change change;
    std::atomic<int> reads{0};

    static void fn(void* ctx, const DictionaryReader&) {
        auto* self = static_cast<ChangeAfterFirstRead*>(ctx);
        if (self->reads++ != 0) return;
        const std::uintmax_t size = fs::file_size(self->path);
        switch (self->change) {
        case Change::none: break;
        case Change::shrinks: fs::resize_file(self->path, size / 2); break;
        case Change::emptied: fs::resize_file(self->path, 0); break;
        case Change::grows: std::ofstream(self->path, std::ios::app | std::ios::binary) << "x\r\n"; break;
        case Change::rewrittenInPlace: {  // the same size, other bytes in the middle
            const int fd = ::open(self->path.c_str(), O_WRONLY);
            ASSERT_EQ(::pwrite(fd, "9", 1, static_cast<off_t>(size / 2)), 1);
            ::close(fd);
            break;
        }
        case Change::replacedByRename: {  // a new file under the name; the old one stays open
            std::ofstream(self->path + ".new", std::ios::binary) << "1,\"\",\"1000001\"\r\n";
            fs::rename(self->path + ".new", self->path);
            break;
        }
        }
    }
};

struct AfterReadFor {
    explicit AfterReadFor(ChangeAfterFirstRead& c) { setAfterRead(ChangeAfterFirstRead::fn, &c); }
    ~AfterReadFor() { setAfterRead(nullptr, nullptr); }
};

struct ReadingFor {
    explicit ReadingFor(Reading how) { setReading(how); }
    ~ReadingFor() { setReading(was); }
    Reading was = reading();
};

}  // namespace

// A dictionary that shrinks, grows or is rewritten while a search reads it
// ends that search with an error, on every way of reading and in the batch:
// nothing read from a changed file passes for an answer. A new file renamed
// over it leaves the open one to be read to its end, as it was.
TEST(ChangingDictionary, AChangeUnderASearchIsAnErrorAndARenameIsNot) {
    const fs::path dir = fs::temp_directory_path() / ("tenmari-changing-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "dict.csv").string();
    // Several read blocks, so that a pass on two threads splits it.
    std::string bytes;
    for (int k = 0; bytes.size() < 5 * DictionaryReader::blockSize(); ++k) {
        const std::string code = std::to_string(1000000 + k % 5000);
        bytes += "13101,\"100  \",\"" + code + "\",\"ｶﾅ\",\"ｶﾅ\",\"ｶﾅ\",\"" + utf8ToCp932("東京都") + "\",\"" +
                 utf8ToCp932("千代田区") + "\",\"" + utf8ToCp932("町") + std::to_string(k) + "\",0,0,0,0,0,0\r\n";
    }
    const auto writeDictionary = [&] {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        // Written long ago: a rewrite now shows in the modification time.
        const timespec times[2] = {{1600000000, 0}, {1600000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    writeDictionary();
    TPostReference ref;
    ref.SetPostFile(path);
    const auto listing = [&] {
        TPostReference::StringList as, cs;
        ref.PostToAddressList("100", as, cs);
        return cs;
    };
    const TPostReference::StringList wholeListing = listing();
    ASSERT_EQ(wholeListing.size(), static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    const std::string lastCode = wholeListing.back();
    const auto batchCodes = [&] {
        batch::QueryTable table(batch::QueryTable::Kind::code, false);
        table.add("1000001");
        table.add(lastCode);
        table.seal();
        DictionaryReader reader(path);
        batch::answerBatch(table, batch::QueryTable::Kind::code, reader, {}, false, [](auto, auto) {});
        return table.answers(1).size();
    };
    ASSERT_EQ(batchCodes(), 1u);

    struct Case {
        Change change;
        const char* how;  // nullptr: read to the end, as it was
    } const cases[] = {
        {Change::none, nullptr},
        {Change::shrinks, "shrank"},
        {Change::emptied, "shrank"},
        {Change::grows, "grew"},
        {Change::rewrittenInPlace, "rewritten"},
        {Change::replacedByRename, nullptr},
    };
    const std::pair<Reading, const char*> readings[] = {{Reading::read, "read"}, {Reading::map, "mapped"}};
    enum Search { list, code, inBatch };
    for (const Case& c : cases) {
        for (const auto& [how, readingName] : readings) {
            for (const Search search : {list, code, inBatch}) {
                SCOPED_TRACE(std::to_string(static_cast<int>(c.change)) + " " + readingName + " search " +
                             std::to_string(search));
                if (search == inBatch && how != Reading::read) continue;  // the batch reads one way only
                writeDictionary();
                ReadingFor way(how);
                ChangeAfterFirstRead changer{path, c.change};
                AfterReadFor seam(changer);
                try {
                    switch (search) {
                    case list: EXPECT_EQ(listing(), wholeListing); break;
                    case code: EXPECT_NE(ref.PostToAddress(lastCode), ""); break;
                    case inBatch: EXPECT_EQ(batchCodes(), 1u); break;
                    }
                    EXPECT_EQ(c.how, nullptr) << "no error";
                } catch (const PostFileError& e) {
                    ASSERT_NE(c.how, nullptr) << e.what();
                    EXPECT_NE(std::string(e.what()).find(c.how), std::string::npos) << e.what();
                    EXPECT_EQ(e.code(), PostFileError::kChanged) << e.what();
                    EXPECT_EQ(e.path(), path);
                }
                EXPECT_GE(changer.reads.load(), 1);
            }
        }
    }
    fs::remove_all(dir);
}

namespace {

// The code column of a batch's output, line by line.
std::vector<std::string> codeColumn(const std::string& out) {
    std::vector<std::string> codes;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t nl = out.find('\n', at);
        const std::string line = out.substr(at, nl - at);
        const std::size_t tab = line.find('\t');
        codes.push_back(line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
        at = nl + 1;
    }
    return codes;
}

// Where the exact rule gives one code (however many records), the written
// address reading gives the same: the whole address of each record, with a number.
void checkStrictAgrees(const std::string& dict, std::size_t every) {
    const auto records = tenmari::address::readRecords(dict);
    std::string input;
    for (std::size_t i = 0; i < records.size(); i += every) {
        const auto& r = records[i];
        input += r.prefecture + r.municipality + (r.town == "以下に掲載がない場合" ? "" : r.town) + "１－２\n";
    }
    const Outcome strict = run({"--dict", dict, "--strict", "--all", "batch", "address"}, input);
    const Outcome written = run({"--dict", dict, "batch", "address"}, input);
    ASSERT_LE(strict.status, 1) << strict.err;
    ASSERT_LE(written.status, 1) << written.err;
    // --all: one line per record of the answer; the lines of one query run together.
    std::map<std::string, std::set<std::string>> strictCodes;
    for (std::size_t at = 0; at < strict.out.size();) {
        const std::size_t nl = strict.out.find('\n', at);
        const std::string line = strict.out.substr(at, nl - at);
        const std::size_t tab = line.find('\t');
        const std::string code = line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
        if (!code.empty()) strictCodes[line.substr(0, tab)].insert(code);
        at = nl + 1;
    }
    const auto codes = codeColumn(written.out);
    std::size_t line = 0, compared = 0;
    for (std::size_t at = 0; at < input.size(); ++line) {
        const std::size_t nl = input.find('\n', at);
        const std::string query = input.substr(at, nl - at);
        at = nl + 1;
        const auto it = strictCodes.find(query);
        if (it == strictCodes.end() || it->second.size() != 1) continue;
        ASSERT_LT(line, codes.size());
        EXPECT_EQ(codes[line], *it->second.begin()) << query;
        ++compared;
    }
    EXPECT_GT(compared, 0u);
}

}  // namespace

TEST(WrittenAddresses, StrictAndDefaultAgreeOnTheSample) { checkStrictAgrees(kSample, 1); }

TEST(WrittenAddresses, StrictAndDefaultAgreeOnTwoThousandNationwideRecords) {
    TENMARI_REQUIRE_KEN_ALL(csv);
    checkStrictAgrees(csv, 124000 / 2000);
}

TEST(WrittenAddresses, MatchLevelCheckAndNotes) {
    struct Case {
        std::vector<std::string> args;
        std::string input, out;
        int status;
    };
    const Case cases[] = {
        {{"match", "旭川市若葉台3丁目"}, "", "0700931\t北海道旭川市若葉台\n", 0},
        {{"--level", "match", "旭川市若葉台８丁目５"}, "", "0700932\t北海道旭川市若葉台\tnumber\n", 0},
        {{"--level", "match", "旭川市若葉台"}, "", "\t\tambiguous 0700931 0700932\n", 1},
        {{"--level", "match", "函館市架空町1"}, "", "0400000\t北海道函館市\tcity\n", 0},
        {{"--level", "--pick-out", "part", "match", "東京都八王子市 桜台 1-2"}, "", "1920971\t八王子市桜台\ttown\n", 0},
        {{"--level", "match", "北海道"}, "", "\t\tprefecture\n", 1},
        {{"--level", "batch", "address"},
         "旭川市若葉台一丁目\n\n架空県\n",
         "旭川市若葉台一丁目\t0700931\t北海道旭川市若葉台\tnumber\n\t\t\tnone\n架空県\t\t\tnone\n",
         1},
        // Only the lines whose code disagrees, with the right one.
        {{"--check", "batch", "address"},
         "0700932\t北海道旭川市若葉台3丁目\n〒070-0931 北海道旭川市若葉台3丁目\n070-0931\t旭川市若葉台２丁目\n",
         "0700932\t北海道旭川市若葉台3丁目\t0700931\t北海道旭川市若葉台\n",
         1},
        {{"--check", "batch", "address"}, "〒070-0931 北海道旭川市若葉台3丁目\n", "", 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--dict", kSample};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome r = run(args, c.input);
        EXPECT_EQ(r.out, c.out) << c.args.back();
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
    }
    const Outcome notes = run({"--dict", kSample, "notes"}, "");
    EXPECT_EQ(notes.out, "read\tother\t2\nread\tchome\t1\n");
    EXPECT_EQ(run({"--dict", kSample, "--strict", "--level", "batch", "address"}, "x\n").status, 2);
    EXPECT_EQ(run({"--dict", kSample, "--level", "batch", "code"}, "1\n").status, 2);
}

TEST(WrittenAddresses, BadInputRowsAreNoCrash) {
    std::string chome;
    for (int i = 0; i < 600; ++i) chome += "丁目";  // 3,600 bytes: within a batch line
    const std::string input = std::string(4096, '1') + "\n" + chome + "\n" + "北海道旭川市若葉台" + chome + "\n";
    const Outcome r = run({"--dict", kSample, "--level", "batch", "address"}, input);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
    EXPECT_NE(r.out.find("\tambiguous 0700931 0700932\n"), std::string::npos);
    // A line over 4096 bytes is the batch's error, as for every batch.
    EXPECT_EQ(run({"--dict", kSample, "batch", "address"}, std::string(4097, '1') + "\n").status, 2);
}
