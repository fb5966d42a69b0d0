#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>

#include "Cp932.h"
#include "PostReference.h"

using tenmari::cp932ToUtf8;
using tenmari::poptAll;
using tenmari::poptPart;
using tenmari::PostFileError;
using tenmari::TPostReference;
using tenmari::utf8ToCp932;

namespace {

namespace fs = std::filesystem;

// A record in the public layout; texts in UTF-8, written as code page 932.
std::string record(const std::string& oldCode, const std::string& code, const std::string& pref,
                   const std::string& city, const std::string& town) {
    return "13101,\"" + oldCode + "\",\"" + code + "\",\"ｶﾅ\",\"ｶﾅ\",\"ｶﾅ\",\"" + pref + "\",\"" + city + "\",\"" +
           town + "\",0,0,0,0,0,0";
}

class PostReferenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tenmari-lookup-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        ref_.OnNotPostFile = [this](TPostReference& sender) {
            ++events_;
            EXPECT_EQ(&sender, &ref_);
        };
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes UTF-8 lines as code page 932 with CR LF ends; returns the path.
    std::string write(std::initializer_list<std::string> lines, const std::string& name = "dict.csv") {
        std::string bytes;
        for (const std::string& l : lines) bytes += utf8ToCp932(l) + "\r\n";
        return writeRaw(bytes, name);
    }
    std::string writeRaw(const std::string& bytes, const std::string& name = "dict.csv") {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        ref_.SetPostFile(p.string());
        return p.string();
    }

    std::string code(const std::string& q) { return cp932ToUtf8(ref_.PostToAddress(utf8ToCp932(q))); }

    // "code address" per match, in UTF-8.
    std::vector<std::string> prefix(const std::string& q) {
        ref_.PostToAddressList(utf8ToCp932(q), addresses_, codes_);
        return joined();
    }
    std::vector<std::string> address(const std::string& q) {
        ref_.AddressToPostList(utf8ToCp932(q), addresses_, codes_);
        return joined();
    }
    std::vector<std::string> joined() const {
        EXPECT_EQ(addresses_.size(), codes_.size());
        std::vector<std::string> out;
        for (std::size_t i = 0; i < codes_.size(); ++i) out.push_back(codes_[i] + " " + cp932ToUtf8(addresses_[i]));
        return out;
    }

    fs::path dir_;
    TPostReference ref_;
    int events_ = 0;
    TPostReference::StringList addresses_, codes_;
};

using V = std::vector<std::string>;

TEST_F(PostReferenceTest, Defaults) {
    TPostReference fresh;
    EXPECT_EQ(fresh.PostFile(), "Ken_all.csv");
    EXPECT_EQ(fresh.PickOut(), poptAll);
    EXPECT_FALSE(fresh.OnNotPostFile);
}

TEST_F(PostReferenceTest, FullCodeGivesTheAddressOfTheFirstRecord) {
    write({record("100  ", "1000001", "東京都", "千代田区", "千代田"),
           record("100  ", "1000001", "東京都", "千代田区", "二番目"),
           record("060  ", "0600000", "北海道", "札幌市中央区", "以下に掲載がない場合")});
    EXPECT_EQ(code("1000001"), "東京都千代田区千代田");
    EXPECT_EQ(code("100-0001"), "東京都千代田区千代田");
    EXPECT_EQ(code("0600000"), "北海道札幌市中央区");  // the not-listed text never shows
    EXPECT_EQ(events_, 0);

    ref_.SetPickOut(poptPart);
    EXPECT_EQ(code("1000001"), "千代田区千代田");
}

TEST_F(PostReferenceTest, OnlyTheFirstHyphenIsRemoved) {
    write({record("100  ", "1000001", "東京都", "千代田区", "千代田")});
    EXPECT_EQ(code("1-000-001"), "");  // leaves 1000-001, which matches nothing
    EXPECT_EQ(events_, 1);
    EXPECT_EQ(code("1000-001"), "東京都千代田区千代田");  // one hyphen may stand anywhere
}

TEST_F(PostReferenceTest, ThreeAndFiveDigitsLookUpTheOldCode) {
    write({record("101  ", "1010001", "東京都", "千代田区", "神田"),
           record("100  ", "1000002", "東京都", "千代田区", "皇居外苑"),
           record("100  ", "1000001", "東京都", "千代田区", "千代田"),
           record("06001", "0600001", "北海道", "札幌市中央区", "北一条西")});
    EXPECT_EQ(code("100"), "東京都千代田区皇居外苑");
    EXPECT_EQ(code("06001"), "北海道札幌市中央区北一条西");
    EXPECT_EQ(code("060-01"), "北海道札幌市中央区北一条西");
    EXPECT_EQ(code("1000"), "");  // four digits compare with the full code
    EXPECT_EQ(events_, 1);
}

TEST_F(PostReferenceTest, PrefixListsEveryMatchInFileOrder) {
    write({record("100  ", "1000001", "東京都", "千代田区", "千代田"),
           record("060  ", "0600000", "北海道", "札幌市中央区", "以下に掲載がない場合"),
           record("100  ", "1000002", "東京都", "千代田区", "皇居外苑"),
           record("100  ", "1000001", "東京都", "千代田区", "千代田")});
    const V tokyo = {"1000001 東京都千代田区千代田", "1000002 東京都千代田区皇居外苑", "1000001 東京都千代田区千代田"};
    EXPECT_EQ(prefix("100"), tokyo);
    EXPECT_EQ(prefix("100-"), tokyo);
    EXPECT_EQ(prefix("100-0002"), V{"1000002 東京都千代田区皇居外苑"});
    EXPECT_EQ(prefix("").size(), 4u);
    EXPECT_EQ(prefix("12345678"), V{});
    EXPECT_EQ(prefix("060"), V{"0600000 北海道札幌市中央区"});
    EXPECT_EQ(events_, 0);  // no match is not a missing file
}

// A search started from a match of another one, on the same thread, has
// buffers of its own: neither disturbs the other's lines.
TEST_F(PostReferenceTest, ASearchInsideAnotherOnesMatchGetsItsOwnBuffers) {
    write({record("100  ", "1000001", "東京都", "千代田区", "千代田"),
           record("060  ", "0600000", "北海道", "札幌市中央区", "以下に掲載がない場合"),
           record("100  ", "1000002", "東京都", "千代田区", "皇居外苑")});
    V outer, inner;
    ref_.PostToAddressEach("", [&](std::string_view code, std::string_view address) {
        outer.push_back(std::string(code) + " " + cp932ToUtf8(address));
        TPostReference nested;
        nested.SetPostFile(ref_.PostFile());
        TPostReference::StringList a, c;
        nested.AddressToPostList(utf8ToCp932("東京都"), a, c);
        inner.push_back(std::to_string(c.size()));
    });
    EXPECT_EQ(outer,
              (V{"1000001 東京都千代田区千代田", "0600000 北海道札幌市中央区", "1000002 東京都千代田区皇居外苑"}));
    EXPECT_EQ(inner, (V{"2", "2", "2"}));
    EXPECT_EQ(prefix("100"), (V{"1000001 東京都千代田区千代田", "1000002 東京都千代田区皇居外苑"}));
}

TEST_F(PostReferenceTest, AddressMatchesEitherWayOverTheShorterLength) {
    write({record("100  ", "1000001", "東京都", "千代田区", "千代田"),
           record("100  ", "1000005", "東京都", "千代田区", "丸の内（次のビルを除く）"),
           record("100  ", "1000000", "東京都", "千代田区", "以下に掲載がない場合"),
           record("104  ", "1040061", "東京都", "中央区", "銀座"),
           record("060  ", "0600000", "北海道", "札幌市中央区", "以下に掲載がない場合")});
    EXPECT_EQ(address("東京都千代田"), (V{"1000001 東京都千代田区千代田",
                                          "1000005 東京都千代田区丸の内（次のビルを除く）", "1000000 東京都千代田区"}));
    // Longer than the key: the key cut before "（" begins the query.
    EXPECT_EQ(address("東京都千代田区丸の内一丁目"), V{"1000005 東京都千代田区丸の内（次のビルを除く）"});
    // The not-listed record's key keeps its town area text.
    EXPECT_EQ(address("東京都千代田区以下"), V{"1000000 東京都千代田区"});
    EXPECT_EQ(address("北海道"), V{"0600000 北海道札幌市中央区"});
    EXPECT_EQ(address("").size(), 5u);
    EXPECT_EQ(address("大阪府"), V{});
    EXPECT_EQ(address("東京都千代田区千代田"), V{"1000001 東京都千代田区千代田"});
}

TEST_F(PostReferenceTest, PickOutPartLeavesThePrefectureOut) {
    write({record("100  ", "1000001", "東京都", "千代田区", "千代田")});
    ref_.SetPickOut(poptPart);
    EXPECT_EQ(address("千代田区千代田"), V{"1000001 千代田区千代田"});
    EXPECT_EQ(address("東京都千代田区"), V{});
}

TEST_F(PostReferenceTest, ComparisonsAreExactBytes) {
    write({record("100  ", "1000001", "東京都", "千代田区", "千代田")});
    EXPECT_EQ(prefix("１００"), V{});            // full-width digits differ
    EXPECT_EQ(address("東京都 千代田区"), V{});  // nothing is trimmed
}

TEST_F(PostReferenceTest, OpenParenIsFoundAsACharacterOnly) {
    // "求" is 0x8B 0x81, so "求i" holds the bytes 0x81 0x69 without holding
    // "（": the key must not be cut there.
    write({record("100  ", "1000009", "東京都", "千代田区", "求iビル")});
    EXPECT_EQ(address("東京都千代田区求iビル"), V{"1000009 東京都千代田区求iビル"});
    EXPECT_EQ(address("東京都千代田区求xx"), V{});
}

TEST_F(PostReferenceTest, BlankAndShortLinesMatchEveryAddress) {
    writeRaw(utf8ToCp932(record("100  ", "1000001", "東京都", "千代田区", "千代田")) + "\r\n\r\n\"1\",\"2\"\r\n");
    EXPECT_EQ(address("大阪府"), (V{" ", " "}));
    EXPECT_EQ(prefix("1"), V{"1000001 東京都千代田区千代田"});
}

TEST_F(PostReferenceTest, LineEndsCarriageReturnsAndEndOfFile) {
    const std::string a = utf8ToCp932(record("100  ", "1000001", "東京都", "千代田区", "千代田"));
    const std::string b = utf8ToCp932(record("100  ", "1000002", "東京都", "千代田区", "皇居外苑"));
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t records;
    };
    const Case cases[] = {
        {"LF only", a + "\n" + b + "\n", 2},
        {"no end after the last line", a + "\r\n" + b, 2},
        {"empty line inside", a + "\r\n\r\n" + b + "\r\n", 3},
        {"Ctrl-Z ends the file", a + "\r\n\x1a" + b + "\r\n", 1},
        {"Ctrl-Z inside a line", a + "\r\n" + b.substr(0, 30) + "\x1a" + b.substr(30) + "\r\n", 2},
        // Past a Ctrl-Z nothing is read, however long it runs without a line end.
        {"Ctrl-Z, then more than a read block in one line",
         a + "\r\n\x1a" + std::string(600 * 1024, 'y') + "\r\n" + b + "\r\n", 1},
        {"Ctrl-Z inside a line longer than a read block",
         a + "\r\n" + b.substr(0, 30) + "\x1a" + std::string(600 * 1024, 'y') + "\r\n" + b + "\r\n", 2},
        {"empty file", "", 0},
    };
    for (const Case& c : cases) {
        writeRaw(c.bytes);
        EXPECT_EQ(address("").size(), c.records) << c.what;
    }
    // A lone CR is dropped from the line and does not end it.
    writeRaw("13101,\"100  \",\"10\r00003\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
    EXPECT_EQ(prefix("1000003"), V{"1000003 "});
}

TEST_F(PostReferenceTest, VeryLongLineWorks) {
    const std::string town(50 * 1024 * 1024, 'x');  // one 50 MB line
    writeRaw(utf8ToCp932(record("100  ", "1000001", "東京都", "千代田区", "千代田")) + "\r\n" +
             utf8ToCp932("13101,\"100  \",\"1000007\",\"\",\"\",\"\",\"東京都\",\"千代田区\",\"") + town + "\"\r\n" +
             utf8ToCp932(record("100  ", "1000008", "東京都", "千代田区", "最後")) + "\r\n");
    ref_.PostToAddressList("100", addresses_, codes_);
    ASSERT_EQ(codes_.size(), 3u);
    EXPECT_EQ(addresses_[1].size(), utf8ToCp932("東京都千代田区").size() + town.size());
    EXPECT_EQ(codes_[2], "1000008");
}

TEST_F(PostReferenceTest, MissingFileRaisesTheEventOnceAndClearsTheLists) {
    ref_.SetPostFile((dir_ / "absent.csv").string());
    addresses_ = {"old"};
    codes_ = {"old"};
    ref_.PostToAddressList("100", addresses_, codes_);
    EXPECT_TRUE(addresses_.empty());
    EXPECT_TRUE(codes_.empty());
    EXPECT_EQ(events_, 1);
    ref_.AddressToPostList("x", addresses_, codes_);
    EXPECT_EQ(events_, 2);
    EXPECT_EQ(ref_.PostToAddress("1000001"), "");
    EXPECT_EQ(events_, 3);
    int matches = 0;
    ref_.PostToAddressEach("100", [&](std::string_view, std::string_view) { ++matches; });
    ref_.AddressToPostEach("x", [&](std::string_view, std::string_view) { ++matches; });
    EXPECT_EQ(matches, 0);
    EXPECT_EQ(events_, 5);

    ref_.SetPostFile(dir_.string());  // a folder is no dictionary
    ref_.AddressToPostList("x", addresses_, codes_);
    EXPECT_EQ(events_, 6);

    ref_.OnNotPostFile = nullptr;  // unassigned: nothing happens
    EXPECT_NO_THROW(ref_.AddressToPostList("x", addresses_, codes_));
}

TEST_F(PostReferenceTest, ReadErrorsReachTheCallerWithTheReason) {
    // Opens fine, but every read at offset 0 fails with EIO.
    ref_.SetPostFile("/proc/self/mem");
    addresses_ = {"old"};
    try {
        ref_.AddressToPostList("", addresses_, codes_);
        FAIL() << "expected an error";
    } catch (const PostFileError& e) {
        EXPECT_NE(std::string(e.what()).find("/proc/self/mem"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("Input/output error"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(addresses_.empty());
    EXPECT_THROW(ref_.PostToAddress("1000001"), PostFileError);
    EXPECT_EQ(events_, 0);

    if (::geteuid() != 0) {  // root reads any file whatever its mode
        const std::string p = write({record("100  ", "1000001", "東京都", "千代田区", "千代田")});
        ::chmod(p.c_str(), 0);
        EXPECT_THROW(ref_.PostToAddressList("1", addresses_, codes_), PostFileError);
        // A file in a folder that cannot be searched is there but unreachable:
        // an error with its reason, not a missing dictionary.
        ::chmod(p.c_str(), 0644);
        ::chmod(dir_.c_str(), 0);
        EXPECT_THROW(ref_.PostToAddressList("1", addresses_, codes_), PostFileError);
        ::chmod(dir_.c_str(), 0755);
        EXPECT_EQ(events_, 0);
    }
    // A path through a file is not there at all.
    ref_.SetPostFile((dir_ / "dict.csv" / "inner.csv").string());
    write({record("100  ", "1000001", "東京都", "千代田区", "千代田")});
    ref_.SetPostFile((dir_ / "dict.csv" / "inner.csv").string());
    ref_.PostToAddressList("1", addresses_, codes_);
    EXPECT_EQ(events_, 1);
}

TEST_F(PostReferenceTest, PipesAndDevicesAreErrorsNotHangs) {
    const std::string fifo = (dir_ / "pipe.csv").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        ref_.SetPostFile(path);
        try {
            ref_.AddressToPostList("", addresses_, codes_);
            ADD_FAILURE() << path << ": expected an error";
        } catch (const PostFileError& e) {
            EXPECT_NE(std::string(e.what()).find("not a regular file"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(events_, 0);
}

// A dictionary in UTF-8 would read as garbled addresses: it is refused at
// once; code page 932 text, even of half-width kana alone, is not.
TEST_F(PostReferenceTest, UnicodeTextIsRefusedNotGarbled) {
    const std::string utf8Line =
        "13101,\"100  \",\"1000001\",\"ﾄｳｷｮｳﾄ\",\"ﾁﾖﾀﾞｸ\",\"ﾁﾖﾀﾞ\",\"東京都\",\"千代田区\","
        "\"千代田\",0,0,0,0,0,0\r\n";
    const std::string kanaOnly =
        "13101,\"100  \",\"1000001\",\"\xC4\xB3\xB7\xAE\xB3\xC4\",\"\",\"\",\"\",\"\",\"\","
        "0,0,0,0,0,0\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        bool refused;
    } const cases[] = {
        {"UTF-8 records", utf8Line + utf8Line, true},
        {"a UTF-8 byte-order mark", "\xEF\xBB\xBF" + utf8Line, true},
        {"one UTF-8 line longer than what is looked at", std::string(5000, 'a') + "\xE6\x9D\xB1" + "\r\n", false},
        {"half-width kana in code page 932", kanaOnly, false},
        {"ASCII first, UTF-8 after", "1,\"100  \",\"1000009\"\r\n" + utf8Line, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir_ / "enc.csv").string();
        std::ofstream(path, std::ios::binary) << c.bytes;
        ref_.SetPostFile(path);
        try {
            ref_.PostToAddressList("100", addresses_, codes_);
            EXPECT_FALSE(c.refused);
        } catch (const PostFileError& e) {
            EXPECT_TRUE(c.refused) << e.what();
            EXPECT_EQ(e.code(), EILSEQ);
            EXPECT_NE(std::string(e.what()).find("UTF-8"), std::string::npos) << e.what();
        }
    }
}

TEST_F(PostReferenceTest, EachQueryReadsTheCurrentFile) {
    const std::string first = write({record("100  ", "1000001", "東京都", "千代田区", "千代田")}, "a.csv");
    const std::string second = write({record("060  ", "0600000", "北海道", "札幌市中央区", "大通")}, "b.csv");
    ref_.SetPostFile(first);
    EXPECT_EQ(code("1000001"), "東京都千代田区千代田");
    ref_.SetPostFile(second);
    EXPECT_EQ(code("1000001"), "");
    EXPECT_EQ(code("0600000"), "北海道札幌市中央区大通");
}

}  // namespace

TEST_F(PostReferenceTest, AddressesOfEveryPartLength) {
    // Parts of 0 to 40 bytes, on lines short and long enough for the quick
    // cut, with the ninth comma before and after byte 128: every byte of each
    // part lands in the address, in order, and nothing else does.
    std::string bytes;
    std::vector<std::string> want;
    for (std::size_t n = 0; n <= 40; ++n) {
        std::string pref, city, town;
        for (std::size_t k = 0; k < n; ++k) {
            pref += static_cast<char>('a' + k % 26);
            city += static_cast<char>('A' + (k + 7) % 26);
            town += static_cast<char>('0' + (k + 3) % 10);
        }
        const std::string parts[][3] = {{pref, city, town},
                                        {pref.substr(0, n / 3), city, town.substr(n / 2)},
                                        {"", city.substr(0, 1), town},
                                        {pref, "", ""}};
        for (const auto& p : parts) {
            bytes += "1,\"\",\"1000001\",\"\",\"\",\"\",\"" + p[0] + "\",\"" + p[1] + "\",\"" + p[2] + "\"\r\n";
            want.push_back("1000001 " + p[0] + p[1] + p[2]);
        }
    }
    writeRaw(bytes);
    EXPECT_EQ(address(""), want);
    EXPECT_EQ(prefix("1000001"), want);
}
