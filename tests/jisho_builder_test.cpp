#include <gtest/gtest.h>

#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Cp932.h"
#include "DictionaryFields.h"
#include "JishoBuilder.h"
#include "KenAll.h"
#include "PostReference.h"
#include "Regions.h"

namespace fs = std::filesystem;
using tenmari::kRegionCount;
using tenmari::Region;
using tenmari::regions;
using tenmari::utf8ToCp932;
using tenmari::jisho::BuildError;
using tenmari::jisho::LineCounts;

namespace {

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A zip holding `member`; `store` keeps the data uncompressed.
void writeZip(const fs::path& path, const std::string& member, const std::string& bytes, bool store = false) {
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr) << err;
    zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
    ASSERT_NE(src, nullptr);
    const zip_int64_t index = zip_file_add(z, member.c_str(), src, ZIP_FL_OVERWRITE);
    ASSERT_GE(index, 0);
    if (store) zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    ASSERT_EQ(zip_close(z), 0);
}

// One record in the public layout, the texts given in UTF-8.
std::string record(const std::string& prefecture, const std::string& code, const std::string& town) {
    return utf8ToCp932("01101,\"" + code.substr(0, 3) + "  \",\"" + code + "\",\"ｶﾅ\",\"ｶﾅ\",\"ｶﾅ\",\"" + prefecture +
                       "\",\"市\",\"" + town + "\",0,0,0,0,0,0");
}

std::map<std::string, std::string> folderContents(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        files[entry.path().filename().string()] = readBytes(entry.path());
    }
    return files;
}

// Lines with their line ends, as written to the files.
std::vector<std::string> rawLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t nl = bytes.find('\n', pos);
        const std::size_t stop = nl == std::string::npos ? bytes.size() : nl + 1;
        lines.push_back(bytes.substr(pos, stop - pos));
        pos = stop;
    }
    return lines;
}

class JishoBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "tenmari-jisho-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" +
                           info->name();
        std::replace(name.begin(), name.end(), '/', '_');  // parameterised names hold slashes
        root_ = fs::temp_directory_path() / name;
        fs::remove_all(root_);
        fs::create_directories(root_);
        dir_ = root_ / "Jisho";
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string file(int region) const { return readBytes(dir_ / regions()[static_cast<std::size_t>(region)].fileName); }

    // The folder as an earlier run left it.
    void putOldFolder() {
        fs::create_directories(dir_);
        for (const Region& r : regions()) writeBytes(dir_ / r.fileName, "old " + std::string(r.fileName));
    }

    fs::path root_;
    fs::path dir_;
};

}  // namespace

// ---------------------------------------------------------------- region table

TEST(Regions, CaptionsListExactlyTheRegionsPrefectures) {
    std::set<std::string_view> all;
    for (const Region& r : regions()) {
        if (r.index == tenmari::kNationwide) {
            EXPECT_TRUE(r.prefectures.empty());
            continue;
        }
        std::string names;
        for (std::string_view p : r.prefectures) {
            EXPECT_TRUE(all.insert(p).second) << p << " is in two regions";
            // The caption's short form: 北海道 stays, the others drop 都, 府 or 県 (3 bytes in UTF-8).
            const std::string_view shortName = p == "北海道" ? p : p.substr(0, p.size() - 3);
            if (!names.empty()) names += "・";
            names += shortName;
        }
        EXPECT_EQ(names, r.caption) << r.item;
    }
    EXPECT_EQ(all.size(), 47u);
}

TEST(Regions, FileNamesAndPaths) {
    const char* const names[] = {"Zenkoku.csv", "Hokkaidou.csv", "Touhoku.csv", "Hokuriku.csv", "Kantou.csv",
                                 "Toukai.csv",  "Kinki.csv",     "Chugoku.csv", "Shikoku.csv",  "Kyushu.csv"};
    ASSERT_EQ(regions().size(), std::size(names));
    for (int i = 0; i < kRegionCount; ++i) {
        EXPECT_EQ(tenmari::region(i).index, i);
        EXPECT_EQ(tenmari::region(i).fileName, names[i]);
    }
    EXPECT_EQ(tenmari::jishoPath("/opt/tenmari", 4), fs::path("/opt/tenmari/Jisho/Kantou.csv"));
    EXPECT_THROW(tenmari::region(-1), std::out_of_range);
    EXPECT_THROW(tenmari::region(10), std::out_of_range);
}

TEST(Regions, PrefectureToRegion) {
    const std::pair<const char*, int> cases[] = {
        {"北海道", 1}, {"青森県", 2}, {"福島県", 2}, {"新潟県", 3}, {"福井県", 3}, {"東京都", 4},
        {"山梨県", 4}, {"岐阜県", 5}, {"大阪府", 6}, {"京都府", 6}, {"和歌山県", 6}, {"山口県", 7},
        {"高知県", 8}, {"鹿児島県", 9}, {"沖縄県", 9}, {"東京", -1}, {"京都", -1}, {"北海", -1},
        {"東京都 ", -1}, {"", -1},
    };
    for (const auto& [name, index] : cases) {
        EXPECT_EQ(tenmari::regionOfPrefecture(name), index) << name;
        EXPECT_EQ(tenmari::regionOfPrefectureCp932(utf8ToCp932(name)), index) << name;
    }
    // UTF-8 bytes are not taken for code page 932 ones.
    EXPECT_EQ(tenmari::regionOfPrefectureCp932("東京都"), -1);
}

// ---------------------------------------------------------------- the builder

namespace {

// Lines of several regions, interleaved; one holds a lone CR, which the
// regional file must keep as it is.
const std::string kH1 = record("北海道", "0600001", "一条") + "\r\n";
const std::string kT1 = record("東京都", "1000001", "千代田") + "\r\n";
const std::string kK1 = record("京都府", "6040001", "本\r町") + "\r\n";
const std::string kH2 = record("北海道", "0400001", "以下に掲載がない場合") + "\r\n";
const std::string kO1 = record("沖縄県", "9000001", "久米（１～３丁目）") + "\r\n";
const std::string kY1 = record("山梨県", "4000001", "中央") + "\r\n";
const std::string kK2 = record("大阪府", "5300001", "梅田") + "\r\n";
const std::string kN1 = record("長野県", "3800001", "本町") + "\r\n";
const std::string kSource = kH1 + kT1 + kK1 + kH2 + kO1 + kY1 + kK2 + kN1;

enum class Input { Csv, CsvOtherName, Zip, ZipWithoutZipName, ZipInFolder };

struct InputCase {
    Input input;
    const char* name;
};

class JishoBuilderInput : public JishoBuilderTest, public ::testing::WithParamInterface<InputCase> {};

}  // namespace

TEST_P(JishoBuilderInput, WritesAllTenFilesByteForByte) {
    fs::path source;
    switch (GetParam().input) {
    case Input::Csv: writeBytes(source = root_ / "KEN_ALL.CSV", kSource); break;
    case Input::CsvOtherName: writeBytes(source = root_ / "postal.txt", kSource); break;
    case Input::Zip: writeZip(source = root_ / "ken_all.zip", "KEN_ALL.CSV", kSource); break;
    case Input::ZipWithoutZipName: writeZip(source = root_ / "download", "ken_all.csv", kSource); break;
    case Input::ZipInFolder: writeZip(source = root_ / "KEN_ALL.ZIP", "data/KEN_ALL.CSV", kSource); break;
    }
    putOldFolder();

    const LineCounts counts = tenmari::jisho::build(source, dir_);

    const std::string expected[kRegionCount] = {
        kSource, kH1 + kH2, "", kN1, kT1 + kY1, "", kK1 + kK2, "", "", kO1,
    };
    const LineCounts expectedCounts{8, 2, 0, 1, 2, 0, 2, 0, 0, 1};
    for (int i = 0; i < kRegionCount; ++i) EXPECT_EQ(file(i), expected[i]) << tenmari::region(i).fileName;
    EXPECT_EQ(counts, expectedCounts);
    EXPECT_EQ(folderContents(dir_).size(), 10u);  // no temporary file is left behind
}

INSTANTIATE_TEST_SUITE_P(Sources, JishoBuilderInput,
                         ::testing::Values(InputCase{Input::Csv, "Csv"}, InputCase{Input::CsvOtherName, "CsvOtherName"},
                                           InputCase{Input::Zip, "Zip"},
                                           InputCase{Input::ZipWithoutZipName, "ZipWithoutZipName"},
                                           InputCase{Input::ZipInFolder, "ZipInFolder"}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(JishoBuilderTest, LineEndsAndEndOfFileByte) {
    struct Case {
        const char* what;
        std::string source;
        std::string hokkaidou;
        std::string kantou;
        std::uint64_t lines;
    };
    const std::string h = record("北海道", "0600001", "一条");
    const std::string t = record("東京都", "1000001", "千代田");
    const Case cases[] = {
        {"last line without a line end", h + "\r\n" + t, h + "\r\n", t, 2},
        {"LF line ends", h + "\n" + t + "\n", h + "\n", t + "\n", 2},
        {"Ctrl-Z at the end", h + "\r\n" + t + "\r\n\x1A", h + "\r\n", t + "\r\n", 2},
        {"Ctrl-Z, then anything", h + "\r\n\x1A" + record("東京", "1", "x") + "\r\n", h + "\r\n", "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(root_ / "KEN_ALL.CSV", c.source);
        const LineCounts counts = tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_);
        EXPECT_EQ(file(0), c.source);  // the nationwide copy keeps every byte
        EXPECT_EQ(file(1), c.hokkaidou);
        EXPECT_EQ(file(4), c.kantou);
        EXPECT_EQ(counts[0], c.lines);
        EXPECT_EQ(counts[1] + counts[4], c.lines);
    }
}

TEST_F(JishoBuilderTest, BadSourceChangesNothing) {
    struct Case {
        const char* what;
        std::string fileName;
        std::string csv;  // written as is, or zipped when `zipMember` is set
        std::string zipMember;
        std::vector<std::string> message;  // parts of the error text
    };
    const std::string h = record("北海道", "0600001", "一条") + "\r\n";
    const Case cases[] = {
        {"prefecture of no region", "KEN_ALL.CSV", h + h + record("東京", "1000001", "x") + "\r\n", "",
         {"KEN_ALL.CSV: line 3: ", "\"東京\"", "belongs to no region"}},
        {"blank line", "KEN_ALL.CSV", h + "\r\n" + h, "", {"line 2: no prefecture"}},
        {"unquoted prefecture", "KEN_ALL.CSV", h + utf8ToCp932("1,\"1\",\"1\",\"a\",\"b\",\"c\",東京都,\"d\",\"e\"\n"), "",
         {"line 2: no prefecture"}},
        {"bytes that are no text", "KEN_ALL.CSV", "1,2,3,4,5,6,\"\xFF\xFE\x01\"\r\n", "", {"line 1: ", "\\xFF\\xFE\\x01"}},
        {"bad line inside a zip", "ken_all.zip", h + record("Tokyo", "1000001", "x"), "KEN_ALL.CSV",
         {"ken_all.zip: line 2: ", "\"Tokyo\""}},
        {"empty file", "KEN_ALL.CSV", "", "", {"no records"}},
        {"nothing before Ctrl-Z", "KEN_ALL.CSV", "\x1A" + h, "", {"no records"}},
        {"zip without KEN_ALL.CSV", "ken_all.zip", h, "README.TXT", {"ken_all.zip: the zip holds no KEN_ALL.CSV"}},
        {"not a zip at all", "ken_all.zip", h, "", {"ken_all.zip: cannot open the zip"}},
        {"missing source", "", "", "", {"cannot open", "No such file"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path source = root_ / (c.fileName.empty() ? "missing.csv" : c.fileName);
        fs::remove(source);
        if (!c.zipMember.empty()) {
            writeZip(source, c.zipMember, c.csv);
        } else if (!c.fileName.empty()) {
            writeBytes(source, c.csv);
        }
        putOldFolder();
        const auto before = folderContents(dir_);
        try {
            tenmari::jisho::build(source, dir_);
            ADD_FAILURE() << "no error";
        } catch (const BuildError& e) {
            const std::string text = e.what();
            for (const std::string& part : c.message) EXPECT_NE(text.find(part), std::string::npos) << text;
        }
        EXPECT_EQ(folderContents(dir_), before);
    }
}

TEST_F(JishoBuilderTest, UnreadableSourcesAndFolders) {
    // A directory opens but cannot be read.
    fs::create_directories(root_ / "KEN_ALL.CSV");
    EXPECT_THROW(tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_), BuildError);
    EXPECT_FALSE(fs::exists(dir_));  // nothing is created for a source that cannot be read
    writeBytes(root_ / "bad.csv", record("東京", "1000001", "x"));
    EXPECT_THROW(tenmari::jisho::build(root_ / "bad.csv", dir_), BuildError);
    EXPECT_FALSE(fs::exists(dir_));  // nor left behind when a line fails

    // A zip whose data no longer match their checksum.
    const std::string data = record("北海道", "0600001", "MARKER-MARKER-MARKER") + "\r\n";
    writeZip(root_ / "ken_all.zip", "KEN_ALL.CSV", data, /*store=*/true);
    std::string zip = readBytes(root_ / "ken_all.zip");
    const std::size_t at = zip.find("MARKER-MARKER");
    ASSERT_NE(at, std::string::npos);
    zip[at] = 'N';
    writeBytes(root_ / "ken_all.zip", zip);
    putOldFolder();
    const auto before = folderContents(dir_);
    EXPECT_THROW(tenmari::jisho::build(root_ / "ken_all.zip", dir_), BuildError);
    EXPECT_EQ(folderContents(dir_), before);

    // A folder that cannot be made.
    writeBytes(root_ / "KEN_ALL2.CSV", data);
    writeBytes(root_ / "plain-file", "x");
    try {
        tenmari::jisho::build(root_ / "KEN_ALL2.CSV", root_ / "plain-file" / "Jisho");
        ADD_FAILURE() << "no error";
    } catch (const BuildError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot create the folder"), std::string::npos) << e.what();
    }
}

// ---------------------------------------------------------------- the sample dictionary

TEST_F(JishoBuilderTest, SampleDictionaryCoversEveryRegion) {
    const fs::path sample = TENMARI_SAMPLE_DICTIONARY;
    const std::string bytes = readBytes(sample);
    ASSERT_FALSE(bytes.empty());
    const LineCounts counts = tenmari::jisho::build(sample, dir_);
    std::uint64_t sum = 0;
    for (int i = 1; i < kRegionCount; ++i) {
        EXPECT_GT(counts[static_cast<std::size_t>(i)], 0u) << tenmari::region(i).fileName;
        sum += counts[static_cast<std::size_t>(i)];
    }
    EXPECT_EQ(sum, counts[0]);

    const std::string rest = utf8ToCp932("以下に掲載がない場合");
    const std::string bracket = utf8ToCp932("（");
    std::map<std::string, int> codes;
    bool hasRest = false;
    bool hasBracket = false;
    for (const std::string& line : rawLines(bytes)) {
        ASSERT_TRUE(line.ends_with("\r\n")) << line;
        const std::string text = line.substr(0, line.size() - 2);
        EXPECT_NO_THROW(tenmari::cp932ToUtf8(text)) << "not code page 932";
        hasRest |= tenmari::fields::GetField(text, 8) == rest;
        hasBracket |= tenmari::fields::GetField(text, 8).find(bracket) != std::string::npos;
        ++codes[tenmari::fields::GetField(text, 2)];
    }
    EXPECT_TRUE(hasRest);
    EXPECT_TRUE(hasBracket);
    EXPECT_TRUE(std::any_of(codes.begin(), codes.end(), [](const auto& c) { return c.second == 2; }));

    // The run command's first lookup answers from the sample.
    tenmari::TPostReference ref;
    ref.SetPostFile(tenmari::jishoPath(root_, 0).string());
    EXPECT_EQ(tenmari::cp932ToUtf8(ref.PostToAddress("100-0001")), "東京都千代田区千代田");
}

// ---------------------------------------------------------------- Japan Post's file

TEST_F(JishoBuilderTest, RegionalFilesTogetherHoldEveryNationwideLineOnce) {
    TENMARI_REQUIRE_KEN_ALL(csv);
    // Built from what the variable names (the zip, usually), compared with the plain file.
    const LineCounts counts = tenmari::jisho::build(std::getenv("TENMARI_KEN_ALL"), dir_);
    const std::string nationwide = readBytes(csv);
    ASSERT_EQ(file(0), nationwide);

    std::vector<std::string> expected = rawLines(nationwide);
    EXPECT_EQ(counts[0], expected.size());
    std::vector<std::string> regional;
    for (int i = 1; i < kRegionCount; ++i) {
        const auto lines = rawLines(file(i));
        EXPECT_EQ(counts[static_cast<std::size_t>(i)], lines.size());
        for (const std::string& line : lines) {
            const std::string prefecture = tenmari::fields::GetField(line.substr(0, line.find('\r')), 6);
            ASSERT_EQ(tenmari::regionOfPrefectureCp932(prefecture), i) << tenmari::cp932ToUtf8(prefecture);
        }
        regional.insert(regional.end(), lines.begin(), lines.end());
    }
    std::sort(expected.begin(), expected.end());
    std::sort(regional.begin(), regional.end());
    EXPECT_TRUE(expected == regional) << expected.size() << " nationwide lines, " << regional.size() << " regional";
}
