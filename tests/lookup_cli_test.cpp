// tenmari-lookup as a user runs it: output, exit status and error lines.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Cp932.h"
#include "RunTool.h"

namespace {

namespace fs = std::filesystem;

using tenmari::test::Outcome;
using tenmari::test::readFile;

// The program with exactly these arguments (no shell in between); standard
// output goes to `stdoutPath` when given.
Outcome run(const std::vector<std::string>& args, const char* stdoutPath = nullptr) {
    return tenmari::test::runTool(TENMARI_LOOKUP_EXE, args, std::nullopt, stdoutPath);
}

// The records as code page 932 with CR LF line ends; texts given in UTF-8.
std::string records(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& l : lines) bytes += tenmari::utf8ToCp932(l) + "\r\n";
    return bytes;
}

class LookupCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tenmari-cli-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        dict_ = (dir_ / "dict.csv").string();
        std::ofstream(dict_, std::ios::binary) << records(
            {"13101,\"100  \",\"1000001\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ﾁﾖﾀﾞ\",\"東京都\",\"千代田区\",\"千代田\",0,0,0,0,0,0",
             "13101,\"100  "
             "\",\"1000002\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ｺｳｷｮｶﾞｲｴﾝ\",\"東京都\",\"千代田区\",\"皇居外苑\",0,0,0,0,0,0"});
    }
    void TearDown() override { fs::remove_all(dir_); }

    // The arguments after --dict with the test's dictionary.
    Outcome lookup(std::vector<std::string> args, const char* stdoutPath = nullptr) const {
        args.insert(args.begin(), {"--dict", dict_});
        return run(args, stdoutPath);
    }

    fs::path dir_;
    std::string dict_;
};

TEST_F(LookupCli, AnswersTheThreeQueries) {
    Outcome r = lookup({"code", "100-0001"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "東京都千代田区千代田\n");
    r = lookup({"prefix", "100"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1000001\t東京都千代田区千代田\n1000002\t東京都千代田区皇居外苑\n");
    r = lookup({"--pick-out", "part", "address", "千代田区皇"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1000002\t千代田区皇居外苑\n");
    r = lookup({"--sjis", "code", "1000001"});
    EXPECT_EQ(r.out, tenmari::utf8ToCp932("東京都千代田区千代田\n"));
    EXPECT_EQ(r.err, "");
}

TEST_F(LookupCli, NothingFoundIsStatusOne) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"code", "9999999"}, {"prefix", "999"}, {"address", "大阪府"}}) {
        const Outcome r = lookup(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }
}

TEST_F(LookupCli, ErrorsAreStatusTwoWithOneShortLineNamingTheCause) {
    const std::string fifo = (dir_ / "pipe.csv").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string absent = (dir_ / "absent.csv").string();
    const std::string folder = dir_.string();
    const std::string longTail(100 * 1024, 'a');  // near the longest argument Linux takes
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> inMessage;
    };
    const Case cases[] = {
        {{"--dict", absent, "code", "1000001"}, {absent + ": no such dictionary file"}},
        {{"--dict", folder, "prefix", "100"}, {folder + ": is a folder, not a dictionary file"}},
        {{"--dict", folder, "code", "1000001"}, {folder + ": is a folder, not a dictionary file"}},
        {{"--dict", "", "code", "1000001"}, {"--dict needs a file, not an empty name", "usage:"}},
        {{"--dict", fifo, "address", "x"}, {"pipe.csv: not a regular file"}},  // at once, no hang
        {{"--dict", "/proc/self/mem", "address", "x"}, {"Input/output error"}},
        // A character without a code page 932 form is named, in a short quoted piece.
        {{"--dict", dict_, "address", "東京😀都"}, {"U+1F600 (😀)", "no form in code page 932", "\"東京😀都\""}},
        {{"--dict", dict_, "address", "abcdefghijklmnopqrstuvwxyz😀" + longTail},
         {"U+1F600 (😀)", "\"…stuvwxyz😀aaaaaaaa…\""}},
        {{"--dict", dict_, "code", "100😀"}, {"U+1F600"}},
        // Bytes that are no UTF-8 are told apart, and shown escaped.
        {{"--dict", dict_, "address",
          "ab\xff\xfe"
          "cd"},
         {"not UTF-8 text", "0xFF at byte 3", "\"ab\\xFF\\xFEcd\""}},
        {{"--dict", dict_, "address", "\xe6\x9d"}, {"not UTF-8 text", "0xE6 at byte 1"}},  // cut short
        {{"--dict", dict_, "address", "\xc0\xaf"}, {"not UTF-8 text", "0xC0 at byte 1"}},  // overlong "/"
        {{"--dict", dict_, "address", "\xed\xa0\x80"}, {"not UTF-8 text", "0xED"}},        // a surrogate
        {{"--dict", dict_, "address", longTail + "\xff"}, {"not UTF-8 text", "\"…aaaaaaaa\\xFF\""}},
        // A control character is named but never printed as it is.
        {{"--dict", dict_, "address",
          "a\xc2\x85"
          "b"},
         {"holds U+0085,", "\"a\\xC2\\x85b\""}},
        {{"--dict", dict_, "lookup", "100"}, {"unknown command 'lookup'"}},
        {{"--dict", dict_, "--pick-out", "some", "code", "1"}, {"--pick-out takes all or part"}},
        {{"--dict", dict_, "code"}, {"expected a command and one QUERY"}},
        {{"--bogus", "code", "1"}, {"unknown option '--bogus'"}},
        {{"--" + longTail, "code", "1"}, {"unknown option '--aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa…'"}},
        {{"--dict", dict_, "look\x1b[2Jup", "1"}, {"unknown command 'look\\x1B[2Jup'"}},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args);
        std::string shown;
        for (const std::string& a : c.args) {
            shown += ' ';  // appended piece by piece: GCC 12 at -O3 warns falsely on " " + a.substr()
            shown.append(a, 0, 60);
        }
        const std::string trace = shown + "\n" + r.err.substr(0, 2000);
        EXPECT_EQ(r.status, 2) << trace;
        EXPECT_EQ(r.out, "") << trace;
        EXPECT_EQ(r.err.rfind("tenmari-lookup: ", 0), 0u) << trace;
        EXPECT_LT(r.err.find('\n'), 300u) << "a long first line\n" << trace;
        for (const std::string& part : c.inMessage) EXPECT_NE(r.err.find(part), std::string::npos) << part << trace;
    }
}

TEST_F(LookupCli, FullWidthDigitsAndDashesCountInCodesOnly) {
    const std::string chiyoda = "東京都千代田区千代田\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"code", "１００－０００１"}, chiyoda},
        {{"code", "100－0001"}, chiyoda},
        {{"code", "100−0001"}, chiyoda},   // U+2212 minus sign
        {{"code", "100‐0001"}, chiyoda},   // U+2010 hyphen
        {{"code", "100ー0001"}, chiyoda},  // U+30FC long vowel mark
        {{"code", "１０００００１"}, chiyoda},
        {{"prefix", "１００"}, "1000001\t東京都千代田区千代田\n1000002\t東京都千代田区皇居外苑\n"},
        {{"prefix", "100－000２"}, "1000002\t東京都千代田区皇居外苑\n"},
    };
    for (const auto& [args, out] : cases) {
        const Outcome r = lookup(args);
        EXPECT_EQ(r.status, 0) << args[1] << "\n" << r.err;
        EXPECT_EQ(r.out, out) << args[1];
    }
    EXPECT_EQ(lookup({"code", "100－－0001"}).status, 1);  // still only one hyphen goes
    // An address is compared exactly as typed.
    std::ofstream(dict_, std::ios::app | std::ios::binary)
        << records({"13101,\"100  \",\"1000003\",\"\",\"\",\"\",\"東京都\",\"千代田区\",\"１丁目\",0,0,0,0,0,0"});
    EXPECT_EQ(lookup({"address", "東京都千代田区1"}).status, 1);
    EXPECT_EQ(lookup({"address", "東京都千代田区１"}).out, "1000003\t東京都千代田区１丁目\n");
}

TEST_F(LookupCli, FailedWritesAreErrors) {
    // Output larger than any stdio or pipe buffer, and output of one short line.
    std::vector<std::string> many;
    for (int k = 0; k < 3000; ++k) {
        many.push_back("13101,\"100  \",\"100" + std::to_string(1000 + k) +
                       "\",\"\",\"\",\"\",\"東京都\",\"千代田区\",\"長い町名の例です\",0,0,0,0,0,0");
    }
    const std::string big = (dir_ / "big.csv").string();
    std::ofstream(big, std::ios::binary) << records(many);
    const std::vector<std::string> cases[] = {
        {"--dict", big, "prefix", "100"},
        {"--dict", dict_, "code", "1000001"},
        {"--dict", dict_, "--sjis", "address", "東京都"},
        {"--help"},
    };
    for (const auto& args : cases) {
        const Outcome r = run(args, "/dev/full");
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.err, "tenmari-lookup: cannot write the output: No space left on device\n") << args.back();
    }
    // A reader that stops early is no error worth a message.
    const fs::path errFile = dir_ / "pipe-err";
    const std::string cmd = std::string(TENMARI_LOOKUP_EXE) + " --dict '" + big + "' prefix 100 2>'" +
                            errFile.string() + "' | head -c 10 >/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(readFile(errFile), "");
    // The same when SIGPIPE is ignored and the write fails with EPIPE instead.
    const std::string ignored = "trap '' PIPE; " + std::string(TENMARI_LOOKUP_EXE) + " --dict '" + big +
                                "' prefix 100 2>'" + errFile.string() + "' | head -c 10 >/dev/null";
    EXPECT_EQ(std::system(ignored.c_str()), 0);
    EXPECT_EQ(readFile(errFile), "");
}

TEST_F(LookupCli, ARecordThatCannotBeShownIsNamedByItsLine) {
    // 0x85 0x40 has no character in code page 932; lines 3 and 5 hold it,
    // line 4 is a good record between them.
    const std::string bad = "13101,\"100  \",\"1000003\",\"\",\"\",\"\",\"\x85\x40\",\"\",\"\"\r\n";
    std::ofstream(dict_, std::ios::app | std::ios::binary)
        << bad << records({"13101,\"100  \",\"1000004\",\"\",\"\",\"\",\"東京都\",\"港区\",\"\""}) << bad;
    Outcome r = lookup({"prefix", "100"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "1000001\t東京都千代田区千代田\n1000002\t東京都千代田区皇居外苑\n1000004\t東京都港区\n");
    const std::string named = dict_ + ": line 3: the record cannot be shown as UTF-8: 0x85 0x40 is no code page 932";
    EXPECT_EQ(r.err.rfind("tenmari-lookup: " + named, 0), 0u) << r.err;
    EXPECT_NE(r.err.find(dict_ + ": line 5: "), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;  // once per record

    r = lookup({"code", "1000003"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(dict_ + ": line 3: "), std::string::npos) << r.err;
    r = lookup({"--pick-out", "part", "address", ""});  // prefecture left out: all can be shown
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lookup({"--sjis", "prefix", "1000003"}).status, 0);  // its own bytes print fine
}

TEST_F(LookupCli, HelpShowsTheUsage) {
    const Outcome r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("tenmari-lookup [--dict FILE]"), std::string::npos);
}

TEST_F(LookupCli, DefaultDictionaryIsBesideTheProgram) {
    // The build tree's Jisho may or may not exist; either way the message names that path.
    const Outcome r = run({"code", "1000001"});
    if (r.status == 2) {
        EXPECT_NE(r.err.find("/Jisho/Zenkoku.csv"), std::string::npos) << r.err;
    } else {
        EXPECT_TRUE(r.status == 0 || r.status == 1);
    }
}

}  // namespace
