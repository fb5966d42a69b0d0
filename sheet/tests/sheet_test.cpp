// The sheet: CSV files written by hand, converted and compared byte for byte;
// bad input; the output file written whole or not at all.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Cp932.h"
#include "FakeAnswerer.h"
#include "Sheet.h"
#include "SheetFile.h"

namespace fs = std::filesystem;
using namespace tenmari::sheet;
using tenmari::sheet::test::FakeAnswerer;

namespace {

struct Case {
    Case(const char* n, std::string in, std::string out, Options o = {}, bool cp = false, Encoding e = Encoding::utf8)
        : name(n), input(std::move(in)), expected(std::move(out)), options(std::move(o)), cp932(cp), encoding(e) {}
    const char* name;
    std::string input, expected;  // UTF-8 as written here; code page 932 files are converted
    Options options;
    bool cp932;
    Encoding encoding;
};

const std::string kBom = "\xEF\xBB\xBF";

std::vector<Case> cases() {
    return {
        {"header and LF",  //
         "名前,住所\n山田,東京都千代田区千代田\n", "名前,住所,郵便番号,確認\n山田,東京都千代田区千代田,1000001,\n"},
        {"quoted commas, line breaks and doubled quotes, CR LF",
         "名前,住所,メモ\r\n\"山田, 太郎\",東京都千代田区千代田,\"一行目\r\n二行目\"\r\n"
         "\"言う\"\"はい\"\"\",\"北海道札幌市中央区大通西\",\" x \"\r\n",
         "名前,住所,メモ,郵便番号,確認\r\n\"山田, 太郎\",東京都千代田区千代田,\"一行目\r\n二行目\",1000001,\r\n"
         "\"言う\"\"はい\"\"\",\"北海道札幌市中央区大通西\",\" x \",,ambiguous 0600042 0640820\r\n"},
        {"no newline at the end",  //
         "住所\n東京都千代田区\nどこか", "住所,郵便番号,確認\n東京都千代田区,1000000,city\nどこか,,not found"},
        {"blank lines and an empty last line", "住所\r\n\r\n東京都千代田区千代田\r\n\r\n",
         "住所,郵便番号,確認\r\n\r\n東京都千代田区千代田,1000001,\r\n\r\n"},
        {"byte-order mark",
         kBom + "住所,電話\n東京都千代田区丸の内1-1,03\n",
         kBom + "住所,電話,郵便番号,確認\n東京都千代田区丸の内1-1,03,1000005,\n",
         {},
         false,
         Encoding::utf8Bom},
        {"code page 932: ソ 表 能 (second byte 0x5C) beside quotes and commas",
         "会社,住所\r\n\"ソ表\",\"東京都表能ソ\"\r\n能,東京都表能ソ\r\n\"表\"\"能\",\"ソ,表\"\r\n",
         "会社,住所,郵便番号,確認\r\n\"ソ表\",\"東京都表能ソ\",1000002,\r\n能,東京都表能ソ,1000002,\r\n"
         "\"表\"\"能\",\"ソ,表\",,not found\r\n",
         {},
         true,
         Encoding::cp932},
        {"code page 932 ending in 0x5C without a line end",
         "住所,会社\r\n東京都千代田区千代田,ソ表",
         "住所,会社,郵便番号,確認\r\n東京都千代田区千代田,ソ表,1000001,",
         {},
         true,
         Encoding::cp932},
        {"codes written as the sheet writes them",
         "名前,〒,住所\n山田,100-0001,東京都千代田区千代田\n佐藤,,東京都千代田区丸の内1-1\n",
         "名前,〒,住所,郵便番号,確認\n山田,100-0001,東京都千代田区千代田,100-0001,\n"
         "佐藤,,東京都千代田区丸の内1-1,100-0005,\n"},
        {"--code-column fills the empty cells, quoted ones in their quotes",
         "名前,〒,住所\n山田,〒100-0001,東京都千代田区千代田\n佐藤,,東京都千代田区丸の内1-1\n"
         "鈴木,\"\",東京都千代田区\n田中,\"\",どこか\n",
         "名前,〒,住所,確認\n山田,〒100-0001,東京都千代田区千代田,\n佐藤,〒100-0005,東京都千代田区丸の内1-1,\n"
         "鈴木,\"〒100-0000\",東京都千代田区,city\n田中,\"\",どこか,not found\n",
         {.column = "", .codeColumn = "〒", .check = false}},
        {"--check keeps the codes and marks the wrong ones",
         "住所,郵便番号\n東京都千代田区千代田,1000001\n東京都千代田区丸の内1-1,1000001\n"
         "北海道札幌市中央区大通西,0640820\n北海道札幌市中央区大通西,1000001\n東京都千代田区千代田,\n",
         "住所,郵便番号,確認\n東京都千代田区千代田,1000001,\n東京都千代田区丸の内1-1,1000001,differs: 1000005\n"
         "北海道札幌市中央区大通西,0640820,\n"
         "北海道札幌市中央区大通西,1000001,differs: ambiguous 0600042 0640820\n"
         "東京都千代田区千代田,1000001,\n",
         {.column = "", .codeColumn = "", .check = true}},
        {"no header: the column whose cells look like addresses; short rows padded",
         "山田,東京都千代田区千代田,x,y\n佐藤,東京都千代田区\n",
         "山田,東京都千代田区千代田,x,y,1000001,\n佐藤,東京都千代田区,,,1000000,city\n"},
        {"--column by number, with a header",
         "a,b\nx,東京都千代田区千代田\n,\n",
         "a,b,郵便番号,確認\nx,東京都千代田区千代田,1000001,\n,,,no address\n",
         {.column = "2", .codeColumn = "", .check = false}},
        {"--column by header text, CR line ends",
         "会社,送付先\r東京都千代田区,東京都千代田区千代田\r",
         "会社,送付先,郵便番号,確認\r東京都千代田区,東京都千代田区千代田,1000001,\r",
         {.column = "送付先", .codeColumn = "", .check = false}},
    };
}

std::string bytesOf(const std::string& utf8, bool cp932) { return cp932 ? tenmari::utf8ToCp932(utf8) : utf8; }

TEST(SheetTest, EachHandWrittenFileComesBackByteForByteWithItsCodes) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const std::string input = bytesOf(c.input, c.cp932);
        if (c.cp932) {
            ASSERT_NE(input.find('\x5C'), std::string::npos) << "the case is meant to hold 0x5C bytes";
        }
        FakeAnswerer answerer;
        const Converted out = convert(input, c.options, answerer);
        EXPECT_EQ(out.encoding, c.encoding);
        EXPECT_EQ(std::string_view(out.bytes), bytesOf(c.expected, c.cp932));
    }
}

TEST(SheetTest, SummaryCountsEachKindOfAnswer) {
    FakeAnswerer answerer;
    const Converted out =
        convert("住所\n東京都千代田区千代田\n東京都千代田区丸の内1-1\n北海道札幌市中央区大通西\nどこか\n\n\"\"\n", {},
                answerer);
    EXPECT_EQ(summaryLine(out.summary, false),
              "5 rows, 2 filled, 1 understood to the number, 1 ambiguous, 1 not found, 1 without an address");
    EXPECT_EQ(choiceLine(out), "address column 1 (住所), the first whose header holds 住所");
    EXPECT_EQ(answerer.asked, 4);
}

// Rows that get no code count as not found, whatever their level: the
// summary's counts then add up to the rows.
TEST(SheetTest, AnAddressUnderstoodOnlyToItsPrefectureOrCityWithoutACodeIsNotFound) {
    FakeAnswerer answerer;
    const Converted out = convert("住所\n東京都どこか\n北海道どこか村\n東京都千代田区\n", {}, answerer);
    EXPECT_EQ(std::string_view(out.bytes),
              "住所,郵便番号,確認\n東京都どこか,,prefecture\n北海道どこか村,,city\n東京都千代田区,1000000,city\n");
    EXPECT_EQ(summaryLine(out.summary, false),
              "3 rows, 1 filled, 0 understood to the number, 0 ambiguous, 2 not found");
}

TEST(SheetTest, BadInputIsAClearErrorNamingItsLine) {
    struct Bad {
        const char* name;
        std::string input;
        SheetError::Kind kind;
        std::size_t line;
    };
    std::string wide = "住所";
    for (int i = 0; i < 100000; ++i) wide += ",x";
    const std::vector<Bad> bad = {
        {"a cell of 1 MB", "住所\n\"" + std::string(1 << 20, 'a') + "\"\n", SheetError::Kind::cellTooLong, 2},
        {"100,000 columns", "a,b\n" + wide + "\n", SheetError::Kind::tooManyColumns, 2},
        {"a quote never closed", "住所\n東京都千代田区千代田\n\"東京都,\n1\n", SheetError::Kind::unclosedQuote, 3},
        {"a quote inside an unquoted cell", "住所\nab\"c\n", SheetError::Kind::badQuote, 2},
        {"text after a closing quote", "住所\n\"ab\"c\n", SheetError::Kind::badQuote, 2},
        {"a NUL byte", std::string("住所\n東京\0都\n", 15), SheetError::Kind::nulByte, 2},
        {"neither encoding", "住所\nok\n\xFF\xFE\n", SheetError::Kind::notText, 3},
        {"a mark, then not UTF-8", kBom + "住所\n\x82\xA0\n", SheetError::Kind::notText, 2},
        {"empty", "", SheetError::Kind::noRows, 0},
        {"no address column", "a,b\n1,2\n", SheetError::Kind::noAddressColumn, 0},
        {"no such column", "住所\nx\n", SheetError::Kind::noSuchColumn, 0},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        FakeAnswerer answerer;
        Options o;
        if (std::string_view(b.name) == "no such column") o.column = "3";
        try {
            convert(b.input, o, answerer);
            ADD_FAILURE() << "no error";
        } catch (const SheetError& e) {
            EXPECT_EQ(e.kind(), b.kind) << e.what();
            EXPECT_EQ(e.line(), b.line) << e.what();
            if (b.line) {
                EXPECT_NE(std::string(e.what()).find("line " + std::to_string(b.line)), std::string::npos);
            }
        }
        EXPECT_EQ(answerer.asked, 0);
    }
}

TEST(SheetTest, CheckWithoutAColumnOfCodesIsRefused) {
    FakeAnswerer answerer;
    EXPECT_THROW(convert("住所\n東京都千代田区千代田\n", {.column = "", .codeColumn = "", .check = true}, answerer),
                 SheetError);
}

TEST(SheetTest, ACancelWritesNothing) {
    FakeAnswerer answerer;
    const Converted out = convert("住所\n東京都千代田区千代田\n", {}, answerer,
                                  [](Stage s, std::uint64_t, std::uint64_t) { return s != Stage::answering; });
    EXPECT_TRUE(out.cancelled);
    EXPECT_TRUE(out.bytes.empty());
}

// ---------------------------------------------------------------- files

class SheetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tenmari-sheet-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    static void put(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir_;
};

TEST_F(SheetFileTest, TheOutputGoesBesideTheInputUnderItsOwnName) {
    EXPECT_EQ(outputBeside("/a/顧客.csv"), "/a/顧客_郵便番号.csv");
    EXPECT_EQ(outputBeside("顧客.CSV"), "顧客_郵便番号.CSV");
    EXPECT_EQ(outputBeside("list"), "list_郵便番号.csv");
}

TEST_F(SheetFileTest, AnExistingFileIsReplacedOnlyWhenAskedAndTheInputNever) {
    const fs::path in = dir_ / "in.csv", out = dir_ / "out.csv";
    put(in, "input");
    put(out, "old");
    EXPECT_THROW(writeWhole(out.string(), "new", false, in.string()), FileError);
    EXPECT_EQ(read(out), "old");
    writeWhole(out.string(), "new", true, in.string());
    EXPECT_EQ(read(out), "new");
    EXPECT_THROW(writeWhole(in.string(), "new", true, in.string()), FileError);
    EXPECT_EQ(read(in), "input");
    EXPECT_EQ(names(), (std::vector<std::string>{"in.csv", "out.csv"}));
}

TEST_F(SheetFileTest, AFullDiskLeavesNoFile) {
    const fs::path out = dir_ / "out.csv";
    int calls = 0;
    const WriteFn full = [&](int fd, const void* data, std::size_t size) -> ssize_t {
        if (++calls > 1) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, data, std::min<std::size_t>(size, 3));
    };
    try {
        writeWhole(out.string(), "abcdefgh", false, {}, full);
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(e.err(), ENOSPC);
        EXPECT_NE(std::string(e.what()).find(std::strerror(ENOSPC)), std::string::npos);
    }
    EXPECT_TRUE(names().empty());
}

TEST_F(SheetFileTest, AFolderThatCannotBeWrittenIsAClearError) {
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    // The superuser writes anywhere but in a read-only file system.
    fs::path folder = dir_;
    if (::access(dir_.c_str(), W_OK) == 0) folder = "/sys";
    try {
        writeWhole((folder / "out.csv").string(), "abc", false);
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(e.kind(), FileError::Kind::write);
        EXPECT_NE(std::string(e.what()).find("cannot write in"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(folder / "out.csv"));
}

TEST_F(SheetFileTest, AnInterruptWhileWritingLeavesNoFile) {
    const fs::path out = dir_ / "out.csv";
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGINT, SIG_DFL);
        const WriteFn interrupted = [](int fd, const void* data, std::size_t) -> ssize_t {
            ::write(fd, data, 2);
            ::raise(SIGINT);
            return 2;
        };
        writeWhole(out.string(), "abcdefgh", false, {}, interrupted);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    EXPECT_TRUE(names().empty());
}

}  // namespace
