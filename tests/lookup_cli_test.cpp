// tenmari-lookup as a user runs it: output, exit status and error lines.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Cp932.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out, err;
};

Outcome run(const std::string& args) {
    const fs::path errFile = fs::temp_directory_path() / ("tenmari-cli-err-" + std::to_string(::getpid()));
    const std::string cmd = std::string(TENMARI_LOOKUP_EXE) + " " + args + " 2>" + errFile.string();
    Outcome r{};
    FILE* pipe = ::popen(cmd.c_str(), "r");
    std::array<char, 4096> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) r.out.append(buf.data(), n);
    const int st = ::pclose(pipe);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream in(errFile);
    r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    fs::remove(errFile);
    return r;
}

class LookupCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tenmari-cli-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        dict_ = (dir_ / "dict.csv").string();
        std::ofstream(dict_, std::ios::binary) << tenmari::utf8ToCp932(
            "13101,\"100  \",\"1000001\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ﾁﾖﾀﾞ\",\"東京都\",\"千代田区\",\"千代田\",0,0,0,0,0,0\r\n"
            "13101,\"100  \",\"1000002\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ｺｳｷｮｶﾞｲｴﾝ\",\"東京都\",\"千代田区\",\"皇居外苑\",0,0,0,0,0,0\r\n");
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string dict() const { return "--dict '" + dict_ + "' "; }

    fs::path dir_;
    std::string dict_;
};

TEST_F(LookupCli, AnswersTheThreeQueries) {
    Outcome r = run(dict() + "code 100-0001");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "東京都千代田区千代田\n");
    r = run(dict() + "prefix 100");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1000001\t東京都千代田区千代田\n1000002\t東京都千代田区皇居外苑\n");
    r = run(dict() + "--pick-out part address 千代田区皇");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1000002\t千代田区皇居外苑\n");
    r = run(dict() + "--sjis code 1000001");
    EXPECT_EQ(r.out, tenmari::utf8ToCp932("東京都千代田区千代田\n"));
    EXPECT_EQ(r.err, "");
}

TEST_F(LookupCli, NothingFoundIsStatusOne) {
    for (const char* args : {"code 9999999", "prefix 999", "address 大阪府"}) {
        const Outcome r = run(dict() + args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err, "") << args;
    }
}

TEST_F(LookupCli, ErrorsAreStatusTwoWithOneLineNamingTheCause) {
    struct Case {
        std::string args;
        std::string inMessage;
    };
    const Case cases[] = {
        {"--dict '" + (dir_ / "absent.csv").string() + "' code 1000001", "absent.csv: no such dictionary file"},
        {"--dict '" + dir_.string() + "' prefix 100", "no such dictionary file"},  // a folder is no dictionary
        {"--dict /proc/self/mem address x", "Input/output error"},
        {dict() + "address '😀'", "query '😀'"},
        {dict() + "lookup 100", "unknown command 'lookup'"},
        {dict() + "--pick-out some code 1", "--pick-out takes all or part"},
        {dict() + "code", "expected a command and one QUERY"},
        {"--bogus code 1", "unknown option '--bogus'"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_EQ(r.err.rfind("tenmari-lookup: ", 0), 0u) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.inMessage), std::string::npos) << c.args << "\n" << r.err;
    }
}

TEST_F(LookupCli, ARecordThatIsNotCodePage932SpoilsOnlyItsOwnLine) {
    // 0x85 0x40 has no character in code page 932.
    std::ofstream(dict_, std::ios::app | std::ios::binary)
        << "13101,\"100  \",\"1000003\",\"\",\"\",\"\",\"\x85\x40\",\"\",\"\"\r\n";
    const Outcome r = run(dict() + "prefix 100");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "1000001\t東京都千代田区千代田\n1000002\t東京都千代田区皇居外苑\n");
    EXPECT_NE(r.err.find("not code page 932"), std::string::npos) << r.err;
    EXPECT_EQ(run(dict() + "--sjis prefix 1000003").status, 0);  // its own bytes print fine
}

TEST_F(LookupCli, HelpShowsTheUsage) {
    const Outcome r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("tenmari-lookup [--dict FILE]"), std::string::npos);
}

TEST_F(LookupCli, DefaultDictionaryIsBesideTheProgram) {
    // The build tree's Jisho may or may not exist; either way the message names that path.
    const Outcome r = run("code 1000001");
    if (r.status == 2) {
        EXPECT_NE(r.err.find("/Jisho/Zenkoku.csv"), std::string::npos) << r.err;
    } else {
        EXPECT_TRUE(r.status == 0 || r.status == 1);
    }
}

}  // namespace

// The lines around a bad record all come out, converted; the error names the
// byte's offset within the printed line, for the code query as well.
TEST_F(LookupCli, ABadRecordAmongGoodOnesIsNamedWithItsOffsetInTheLine) {
    const std::string good = std::string(std::istreambuf_iterator<char>(std::ifstream(dict_, std::ios::binary).rdbuf()), {});
    std::ofstream(dict_, std::ios::binary)
        << "13101,\"100  \",\"1000000\",\"\",\"\",\"\",\"\xc1\xd6\",\"\x96\x6b\",\"\x82\xa0\x85\x40\x82\xa2\"\r\n"
        << good << "13101,\"100  \",\"1000009\",\"\",\"\",\"\",\"\x82\xa4\",\"\",\"\"\r\n";
    const std::string prefix = "tenmari-lookup: " + dict_ + ": a record is not code page 932 text (";
    Outcome r = run(dict() + "prefix 100");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "1000001\t東京都千代田区千代田\n1000002\t東京都千代田区皇居外苑\n1000009\tう\n");
    EXPECT_EQ(r.err, prefix + "code page 932 to UTF-8: cannot convert the byte at offset 14)\n");
    r = run(dict() + "code 1000000");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, prefix + "code page 932 to UTF-8: cannot convert the byte at offset 6)\n");
}
