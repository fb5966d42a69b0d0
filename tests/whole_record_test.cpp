// Whole records: a split run of lines joined into one, the town area cut
// before its note by one rule, the note kept beside it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Cp932.h"
#include "DictionaryReader.h"
#include "MatchRules.h"
#include "PostReference.h"
#include "WholeRecord.h"

namespace {

namespace fs = std::filesystem;
using tenmari::utf8ToCp932;

// One dictionary line (UTF-8 texts, written as code page 932).
std::string line(const std::string& code, const std::string& townReading, const std::string& town,
                 const std::string& municipality = "札幌市中央区") {
    return "1101,\"060  \",\"" + code + "\",\"ﾎｯｶｲﾄﾞｳ\",\"ｻｯﾎﾟﾛｼﾁｭｳｵｳｸ\",\"" + townReading + "\",\"北海道\",\"" +
           municipality + "\",\"" + town + "\",0,0,0,0,0,0\r\n";
}

struct Whole {
    std::string code, oldCode, town, note, townReading;
    std::uint64_t line, lines;
    bool operator==(const Whole&) const = default;
};

std::vector<Whole> wholeRecords(const std::string& path) {
    std::vector<Whole> out;
    tenmari::DictionaryReader reader(path);
    tenmari::WholeRecordSinkFn sink([&](const tenmari::WholeRecord& r) {
        out.push_back({std::string(r.code), std::string(r.oldCode), tenmari::cp932ToUtf8(r.townArea),
                       tenmari::cp932ToUtf8(r.note), tenmari::cp932ToUtf8(r.townAreaReading), r.line, r.lines});
    });
    tenmari::forEachWholeRecord(reader, sink);
    return out;
}

class WholeRecordPass : public ::testing::Test {
protected:
    std::string write(const std::string& utf8, const std::string& raw = {}) {
        std::ofstream(path_, std::ios::binary) << utf8ToCp932(utf8) << raw;
        return path_.string();
    }
    void TearDown() override { fs::remove(path_); }
    fs::path path_ = fs::temp_directory_path() / ("tenmari-whole-" + std::to_string(::getpid()) + ".csv");
};

TEST_F(WholeRecordPass, ARunIsOneRecordWithItsNoteBesideTheTownArea) {
    const std::string path =
        write(line("0600001", "ｷﾀ1ｼﾞｮｳﾆｼ", "北一条西（１・１９丁目）") +      // a note on one line
              line("0600042", "ｵｵﾄﾞｵﾘﾆｼ(1-19ﾁｮｳﾒ", "大通西（１・１９丁目") +  // a run of three lines
              line("0600042", "", "、２０丁目") + line("0600042", "ﾁｮｳﾒ)", "）") +
              line("0600000", "ｲｶﾆｹｲｻｲｶﾞﾅｲﾊﾞｱｲ", "以下に掲載がない場合") +
              line("0640941", "ｱｻﾋｶﾞｵｶ(", "旭ケ丘（") +   // left open: the next line has
              line("0600002", "ｷﾀ2ｼﾞｮｳﾆｼ", "北二条西"));  // another code
    const std::vector<Whole> expected = {
        {"0600001", "060  ", "北一条西", "（１・１９丁目）", "ｷﾀ1ｼﾞｮｳﾆｼ", 1, 1},
        {"0600042", "060  ", "大通西", "（１・１９丁目、２０丁目）", "ｵｵﾄﾞｵﾘﾆｼ", 2, 3},
        {"0600000", "060  ", "以下に掲載がない場合", "", "ｲｶﾆｹｲｻｲｶﾞﾅｲﾊﾞｱｲ", 5, 1},
        {"0640941", "060  ", "旭ケ丘", "（", "ｱｻﾋｶﾞｵｶ", 6, 1},
        {"0600002", "060  ", "北二条西", "", "ｷﾀ2ｼﾞｮｳﾆｼ", 7, 1},
    };
    EXPECT_EQ(wholeRecords(path), expected);
}

// The cut steps by character: 0x81 0x69 across two characters is no "（".
TEST(MatchRules, TheNoteBeginsAtTheFirstBracketTakenAsACharacter) {
    const std::string trailThenI = "\x8a\x81i";  // a kanji whose trail byte is 0x81, then "i"
    const std::string open = utf8ToCp932("（");
    EXPECT_EQ(tenmari::noteStart(trailThenI + open + "x"), trailThenI.size());
    EXPECT_EQ(tenmari::cutBeforeNote(trailThenI), trailThenI);
    EXPECT_EQ(tenmari::cutBeforeNote(utf8ToCp932("大通西（１丁目）")), utf8ToCp932("大通西"));
    EXPECT_EQ(tenmari::noteStart(""), std::string_view::npos);
}

TEST_F(WholeRecordPass, TheQueriesOnWholeRecordsMatchARunByItsFirstLine) {
    const std::string path = write(line("0600042", "ｵｵﾄﾞｵﾘﾆｼ(1-19ﾁｮｳﾒ", "大通西（１・１９丁目") +
                                   line("0600042", "", "、２０丁目）") + line("0600001", "ｷﾀ1ｼﾞｮｳﾆｼ", "北一条西"));
    tenmari::TPostReference ref;
    ref.SetPostFile(path);
    std::vector<std::string> seen;
    tenmari::WholeRecordSinkFn sink([&](const tenmari::WholeRecord& r) {
        seen.push_back(std::string(r.code) + " " + tenmari::cp932ToUtf8(std::string(r.townArea) + std::string(r.note)));
    });
    ref.AddressToPostEachWhole(utf8ToCp932("北海道札幌市中央区大通"), sink);
    EXPECT_EQ(seen, (std::vector<std::string>{"0600042 大通西（１・１９丁目、２０丁目）"}));
    seen.clear();
    ref.AddressToPostEachWhole(utf8ToCp932("北海道札幌市中央区、２０"), sink);  // a carrying line is no record
    EXPECT_TRUE(seen.empty());
    ref.PostToAddressEachWhole("060", sink);
    EXPECT_EQ(seen.size(), 2u);
    seen.clear();
    EXPECT_TRUE(ref.PostToAddressWhole("060-0001", sink));
    EXPECT_EQ(seen, (std::vector<std::string>{"0600001 北一条西"}));
    EXPECT_FALSE(ref.PostToAddressWhole("0609999", sink));
}

}  // namespace
