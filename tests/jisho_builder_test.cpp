#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <chrono>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
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

// The date of the data in the sources the tests write: 2026-05-26 09:58 local
// time (even seconds, as a zip keeps them).
std::time_t dataTime() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 4;
    t.tm_mday = 26;
    t.tm_hour = 9;
    t.tm_min = 58;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::time_t modifiedTime(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// A zip holding `member`, dated dataTime(); `store` keeps the data uncompressed.
void writeZip(const fs::path& path, const std::string& member, const std::string& bytes, bool store = false) {
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr) << err;
    zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
    ASSERT_NE(src, nullptr);
    const zip_int64_t index = zip_file_add(z, member.c_str(), src, ZIP_FL_OVERWRITE);
    ASSERT_GE(index, 0);
    if (store) zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    ASSERT_EQ(zip_file_set_mtime(z, static_cast<zip_uint64_t>(index), dataTime(), 0), 0);
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
        files[entry.path().filename().string()] = entry.is_directory() ? "(folder)" : readBytes(entry.path());
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
        std::string name =
            "tenmari-jisho-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');  // parameterised names hold slashes
        root_ = fs::temp_directory_path() / name;
        fs::remove_all(root_);
        fs::create_directories(root_);
        dir_ = root_ / "Jisho";
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string file(int region) const {
        return readBytes(dir_ / regions()[static_cast<std::size_t>(region)].fileName);
    }

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
        {"北海道", 1}, {"青森県", 2}, {"福島県", 2}, {"新潟県", 3},   {"福井県", 3},   {"東京都", 4}, {"山梨県", 4},
        {"岐阜県", 5}, {"大阪府", 6}, {"京都府", 6}, {"和歌山県", 6}, {"山口県", 7},   {"高知県", 8}, {"鹿児島県", 9},
        {"沖縄県", 9}, {"東京", -1},  {"京都", -1},  {"北海", -1},    {"東京都 ", -1}, {"", -1},
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

// Lines of every region, interleaved.
const std::string kH1 = record("北海道", "0600001", "一条") + "\r\n";
const std::string kT1 = record("東京都", "1000001", "千代田") + "\r\n";
const std::string kK1 = record("京都府", "6040001", "本町") + "\r\n";
const std::string kH2 = record("北海道", "0400001", "以下に掲載がない場合") + "\r\n";
const std::string kO1 = record("沖縄県", "9000001", "久米（１～３丁目）") + "\r\n";
const std::string kY1 = record("山梨県", "4000001", "中央") + "\r\n";
const std::string kK2 = record("大阪府", "5300001", "梅田") + "\r\n";
const std::string kN1 = record("長野県", "3800001", "本町") + "\r\n";
const std::string kA1 = record("青森県", "0300001", "新町") + "\r\n";
const std::string kG1 = record("岐阜県", "5000001", "金町") + "\r\n";
const std::string kC1 = record("広島県", "7300001", "白島") + "\r\n";
const std::string kS1 = record("高知県", "7800001", "本町") + "\r\n";
const std::string kSource = kH1 + kT1 + kK1 + kH2 + kO1 + kY1 + kK2 + kN1 + kA1 + kG1 + kC1 + kS1;
const std::string kExpected[kRegionCount] = {
    kSource, kH1 + kH2, kA1, kN1, kT1 + kY1, kG1, kK1 + kK2, kC1, kS1, kO1,
};
const LineCounts kExpectedCounts{12, 2, 1, 1, 2, 1, 2, 1, 1, 1};

// One line of each region but Hokkaidou and Kantou, which tests give themselves.
const std::string kOtherRegions = kA1 + kN1 + kG1 + kK1 + kC1 + kS1 + kO1;

enum class Input { Csv, CsvOtherName, Zip, ZipWithoutZipName, ZipInFolder, Utf8, Utf8WithBom, Utf8Zip };

struct InputCase {
    Input input;
    const char* name;
};

class JishoBuilderInput : public JishoBuilderTest, public ::testing::WithParamInterface<InputCase> {};

}  // namespace

TEST_P(JishoBuilderInput, WritesAllTenFilesByteForByte) {
    const std::string utf8 = tenmari::cp932ToUtf8(kSource);
    fs::path source;
    switch (GetParam().input) {
    case Input::Csv: writeBytes(source = root_ / "KEN_ALL.CSV", kSource); break;
    case Input::CsvOtherName: writeBytes(source = root_ / "postal.txt", kSource); break;
    case Input::Zip: writeZip(source = root_ / "ken_all.zip", "KEN_ALL.CSV", kSource); break;
    case Input::ZipWithoutZipName: writeZip(source = root_ / "download", "ken_all.csv", kSource); break;
    case Input::ZipInFolder: writeZip(source = root_ / "KEN_ALL.ZIP", "data/KEN_ALL.CSV", kSource); break;
    case Input::Utf8: writeBytes(source = root_ / "utf_ken_all.csv", utf8); break;
    case Input::Utf8WithBom: writeBytes(source = root_ / "utf_ken_all.csv", "\xEF\xBB\xBF" + utf8); break;
    case Input::Utf8Zip: writeZip(source = root_ / "utf_ken_all.zip", "utf_ken_all.csv", utf8); break;
    }
    // A file's own date is the data's only where no zip member tells it.
    const timespec fileDate[2] = {{0, UTIME_OMIT}, {dataTime(), 0}};
    const bool zip = source.extension() != ".CSV" && source.extension() != ".csv" && source.extension() != ".txt";
    if (!zip) {
        ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), fileDate, 0), 0);
    }
    putOldFolder();

    const LineCounts counts = tenmari::jisho::build(source, dir_);

    for (int i = 0; i < kRegionCount; ++i) {
        EXPECT_EQ(file(i), kExpected[i]) << tenmari::region(i).fileName;
        // The window shows a dictionary's date as the data's.
        EXPECT_EQ(modifiedTime(dir_ / tenmari::region(i).fileName), dataTime()) << tenmari::region(i).fileName;
    }
    EXPECT_EQ(counts, kExpectedCounts);
    EXPECT_EQ(folderContents(dir_).size(), 10u);
    EXPECT_EQ(folderContents(root_).size(), 2u) << "only the source and the folder";  // nothing left beside
}

INSTANTIATE_TEST_SUITE_P(Sources, JishoBuilderInput,
                         ::testing::Values(InputCase{Input::Csv, "Csv"}, InputCase{Input::CsvOtherName, "CsvOtherName"},
                                           InputCase{Input::Zip, "Zip"},
                                           InputCase{Input::ZipWithoutZipName, "ZipWithoutZipName"},
                                           InputCase{Input::ZipInFolder, "ZipInFolder"}, InputCase{Input::Utf8, "Utf8"},
                                           InputCase{Input::Utf8WithBom, "Utf8WithBom"},
                                           InputCase{Input::Utf8Zip, "Utf8Zip"}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(JishoBuilderTest, LineEndsAndEndOfFileByte) {
    struct Case {
        const char* what;
        std::string source;
        std::string hokkaidou;
        std::string kantou;
    };
    const std::string h = record("北海道", "0600001", "一条");
    const std::string t = record("東京都", "1000001", "千代田");
    const Case cases[] = {
        {"last line without a line end", h + "\r\n" + kOtherRegions + t, h + "\r\n", t},
        {"LF line ends", h + "\n" + kOtherRegions + t + "\n", h + "\n", t + "\n"},
        {"Ctrl-Z as the last byte", h + "\r\n" + kOtherRegions + t + "\r\n\x1A", h + "\r\n", t + "\r\n"},
        {"Ctrl-Z right after the last line", h + "\r\n" + kOtherRegions + t + "\x1A", h + "\r\n", t},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(root_ / "KEN_ALL.CSV", c.source);
        const LineCounts counts = tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_);
        EXPECT_EQ(file(0), c.source);  // the nationwide copy keeps every byte
        EXPECT_EQ(file(1), c.hokkaidou);
        EXPECT_EQ(file(4), c.kantou);
        EXPECT_EQ(counts[0], 9u);
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
    const std::string t = record("東京都", "1000001", "千代田") + "\r\n";
    const std::string good = h + kOtherRegions + t;
    const std::string tooLong = record("北海道", "0600001", std::string(70 * 1024, 'x')) + "\r\n";
    const Case cases[] = {
        {"prefecture of no region",
         "KEN_ALL.CSV",
         h + h + record("東京", "1000001", "x") + "\r\n" + good,
         "",
         {"KEN_ALL.CSV: line 3: ", "\"東京\"", "belongs to no region"}},
        {"blank line", "KEN_ALL.CSV", h + "\r\n" + good, "", {"KEN_ALL.CSV: line 2: a blank line"}},
        {"blank last line", "KEN_ALL.CSV", good + "\r\n", "", {"line 10: a blank line"}},
        {"unquoted prefecture",
         "KEN_ALL.CSV",
         h + utf8ToCp932("1,\"1\",\"1000001\",\"a\",\"b\",\"c\",東京都,\"d\",\"e\",0,0,0,0,0,0\n") + good,
         "",
         {"line 2: field 7, the prefecture, is not quoted"}},
        {"unquoted postal code",
         "KEN_ALL.CSV",
         good + utf8ToCp932("1,\"1\",1000001,\"a\",\"b\",\"c\",\"東京都\",\"d\",\"e\",0,0,0,0,0,0\n"),
         "",
         {"line 10: field 3, the postal code, is not quoted"}},
        {"postal code of 6 digits",
         "KEN_ALL.CSV",
         good + record("東京都", "100001", "x"),
         "",
         {"line 10: the postal code \"100001\" is not 7 digits"}},
        {"bytes that are no text",
         "KEN_ALL.CSV",
         good + "01101,\"100  \",\"1000001\",\"\",\"\",\"\",\"\xFF\xFE\x01\",\"a\",\"b\",0,0,0,0,0,0\r\n",
         "",
         {"line 10: not code page 932 text: the bytes \\xFF at byte"}},
        {"14 fields", "KEN_ALL.CSV", good + t.substr(0, t.rfind(',')) + "\r\n", "", {"line 10: 14 fields, not 15"}},
        {"16 fields",
         "KEN_ALL.CSV",
         h + h.substr(0, h.size() - 2) + ",0\r\n" + good,
         "",
         {"line 2: 16 fields, not 15"}},
        {"a download cut off inside a quote",
         "KEN_ALL.CSV",
         good + t.substr(0, 25),
         "",
         {"line 10: field 4 has no closing quote"}},
        {"a comma inside quotes",
         "KEN_ALL.CSV",
         good + record("東京都", "1000001", "丸の内,1"),
         "",
         {"line 10: field 9 has no closing quote"}},
        {"text after a closing quote",
         "KEN_ALL.CSV",
         good + record("東京都", "1000001", "x\"y"),
         "",
         {"line 10: field 9 has text after its closing quote"}},
        {"a quote inside an unquoted value",
         "KEN_ALL.CSV",
         "0\"1" + h.substr(5) + good,
         "",
         {"line 1: field 1 has a quote inside an unquoted value"}},
        {"a lone CR",
         "KEN_ALL.CSV",
         h + record("京都府", "6040001", "本\r町") + "\r\n" + good,
         "",
         {"line 2: a CR that is not followed by LF"}},
        {"CR line ends only",
         "KEN_ALL.CSV",
         [&] {
             std::string cr = good;
             std::erase(cr, '\n');
             return cr;
         }(),
         "",
         {"line 1: a CR that is not followed by LF"}},
        {"CR line ends, more than a line's limit",
         "KEN_ALL.CSV",
         [&] {
             std::string all;
             for (int k = 0; k < 1000; ++k) all += h.substr(0, h.size() - 1);
             return all;
         }(),
         "",
         {"line 1: longer than 64 KB, with CRs but no LF"}},
        {"a line longer than 64 KB", "KEN_ALL.CSV", h + tooLong + good, "", {"line 2: longer than 64 KB"}},
        {"data after Ctrl-Z", "KEN_ALL.CSV", good + "\x1A" + h, "", {"line 10: data after the end-of-file byte 0x1A"}},
        {"Ctrl-Z inside a line",
         "KEN_ALL.CSV",
         good + h.substr(0, 20) + "\x1A" + h.substr(20),
         "",
         {"line 10: data after the end-of-file byte 0x1A"}},
        {"nothing before Ctrl-Z", "KEN_ALL.CSV", "\x1A" + good, "", {"line 1: data after the end-of-file byte 0x1A"}},
        {"a regional file",
         "Kantou.csv",
         t + record("山梨県", "4000001", "中央") + "\r\n",
         "",
         {"Kantou.csv: no lines for 北海道, 東北地方", "九州・沖縄地方: not Japan Post's nationwide file"}},
        {"one region missing",
         "KEN_ALL.CSV",
         h + kA1 + kN1 + kG1 + kK1 + kC1 + kS1 + t,
         "",
         {"no lines for 九州・沖縄地方:"}},
        {"UTF-8 with a character code page 932 lacks",
         "utf_ken_all.csv",
         tenmari::cp932ToUtf8(good + record("東京都", "1000001", "x")) + "\r\n" +
             "01101,\"100  \",\"1000001\",\"\",\"\",\"\",\"東京都\",\"市\",\"😀\",0,0,0,0,0,0\r\n",
         "",
         {"utf_ken_all.csv: line 11: not UTF-8 text that code page 932 can hold", "U+1F600"}},
        {"UTF-8 broken on a later line",
         "utf_ken_all.csv",
         tenmari::cp932ToUtf8(good) + record("東京都", "1000001", "x") + "\r\n",
         "",
         {"line 10: not UTF-8 text", "begins no UTF-8 character"}},
        {"bad line inside a zip",
         "ken_all.zip",
         h + record("Tokyo", "1000001", "x"),
         "KEN_ALL.CSV",
         {"ken_all.zip (KEN_ALL.CSV): line 2: ", "\"Tokyo\""}},
        {"empty file", "KEN_ALL.CSV", "", "", {"KEN_ALL.CSV: no records"}},
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
            EXPECT_EQ(text.find(".tenmari-"), std::string::npos) << "names a temporary file: " << text;
        }
        EXPECT_EQ(folderContents(dir_), before);
        EXPECT_EQ(folderContents(root_).size(), c.fileName.empty() ? 1u : 2u) << "something left beside the folder";
        fs::remove(source);
    }
}

TEST_F(JishoBuilderTest, OnlyRegularFilesAreSources) {
    ASSERT_EQ(::mkfifo((root_ / "fifo").c_str(), 0600), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string pipePath = "/proc/self/fd/" + std::to_string(fds[0]);
    fs::create_directories(root_ / "folder.csv");
    const std::pair<fs::path, std::string> cases[] = {
        {root_ / "fifo", "fifo: a pipe, not a file"},      // would hang for ever
        {pipePath, "a pipe, not a file"},                  // would fail with "Illegal seek"
        {"/dev/zero", "/dev/zero: a device, not a file"},  // would fill the disk
        {root_ / "folder.csv", "folder.csv: a folder, not a file"},
    };
    putOldFolder();
    const auto before = folderContents(dir_);
    for (const auto& [path, message] : cases) {
        try {
            tenmari::jisho::build(path, dir_);
            ADD_FAILURE() << path << ": no error";
        } catch (const BuildError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
        EXPECT_EQ(folderContents(dir_), before);
    }
    ::close(fds[0]);
    ::close(fds[1]);
}

namespace {

std::size_t openDescriptors() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
}

// Sets the compression method of every entry of a stored zip (local and central headers).
std::string withMethod(std::string zip, std::uint16_t method) {
    for (const std::string& sig : {std::string("PK\x03\x04", 4), std::string("PK\x01\x02", 4)}) {
        const std::size_t offset = sig[2] == 3 ? 8 : 10;
        for (std::size_t at = zip.find(sig); at != std::string::npos; at = zip.find(sig, at + 4)) {
            zip[at + offset] = static_cast<char>(method & 0xFF);
            zip[at + offset + 1] = static_cast<char>(method >> 8);
        }
    }
    return zip;
}

}  // namespace

TEST_F(JishoBuilderTest, UnusableZipsAndHugeSourcesCloseEverything) {
    const std::string good = kSource;
    // Without KEN_ALL.CSV.
    writeZip(root_ / "none.zip", "README.TXT", good);
    // Encrypted.
    {
        int err = 0;
        zip_t* z = zip_open((root_ / "locked.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        ASSERT_NE(z, nullptr);
        zip_source_t* src = zip_source_buffer(z, good.data(), good.size(), 0);
        const zip_int64_t index = zip_file_add(z, "KEN_ALL.CSV", src, ZIP_FL_OVERWRITE);
        ASSERT_EQ(zip_file_set_encryption(z, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, "secret"), 0);
        ASSERT_EQ(zip_close(z), 0);
    }
    // A compression method libzip cannot unpack.
    writeZip(root_ / "stored.zip", "KEN_ALL.CSV", good, /*store=*/true);
    writeBytes(root_ / "method.zip", withMethod(readBytes(root_ / "stored.zip"), 97));
    // A member that says it unpacks to 3 GB (a zip bomb is refused before it is read).
    {
        std::string zip = readBytes(root_ / "stored.zip");
        const std::size_t central = zip.find(std::string("PK\x01\x02", 4));
        ASSERT_NE(central, std::string::npos);
        for (int k = 0; k < 4; ++k) zip[central + 24 + static_cast<std::size_t>(k)] = "\x00\x00\x00\xC0"[k];
        writeBytes(root_ / "bomb.zip", zip);
    }
    // A plain file over the limit (sparse: no disk is used).
    {
        std::ofstream(root_ / "huge.csv").close();
        fs::resize_file(root_ / "huge.csv", (256ull << 20) + 1);
    }
    const std::pair<const char*, const char*> cases[] = {
        {"none.zip", "the zip holds no KEN_ALL.CSV"}, {"locked.zip", "cannot unpack KEN_ALL.CSV"},
        {"method.zip", "cannot unpack KEN_ALL.CSV"},  {"bomb.zip", "KEN_ALL.CSV unpacks to 3072 MB, more than 256 MB"},
        {"huge.csv", "huge.csv: larger than 256 MB"},
    };
    putOldFolder();
    const auto before = folderContents(dir_);
    const std::size_t fds = openDescriptors();
    for (const auto& [name, message] : cases) {
        for (int round = 0; round < 100; ++round) {
            try {
                tenmari::jisho::build(root_ / name, dir_);
                ADD_FAILURE() << name << ": no error";
                break;
            } catch (const BuildError& e) {
                if (round == 0) {
                    EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
                }
            }
        }
        EXPECT_EQ(openDescriptors(), fds) << name << " leaves descriptors open";
    }
    EXPECT_EQ(folderContents(dir_), before);
}

TEST_F(JishoBuilderTest, SourceLimitsHoldForPiecesOfAnySize) {
    {
        // A closing 0x1A counts once: a source just under the limit is taken.
        const tenmari::jisho::SourceLimits limits{200, kSource.size() + 1};
        tenmari::jisho::SourceCheck check(
            "src", [](std::string_view, int) {}, limits);
        check.feed(kSource + "\x1A");
        EXPECT_EQ(check.finish(), kExpectedCounts);
        EXPECT_TRUE(check.endsWithEndMark());
    }
    // The check on its own, with small limits: a long line or too many bytes
    // fail at the same line however the bytes come.
    const std::string data = kSource + kSource;
    const tenmari::jisho::SourceLimits limits{200, 1000};
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
        SCOPED_TRACE(piece);
        std::string out;
        tenmari::jisho::SourceCheck check(
            "src", [&](std::string_view line, int) { out += line; }, limits);
        try {
            for (std::size_t at = 0; at < data.size(); at += piece)
                check.feed(std::string_view(data).substr(at, piece));
            check.finish();
            ADD_FAILURE() << "no error";
        } catch (const tenmari::jisho::SourceError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "src: larger than 0 MB: not Japan Post's postal-code file (theirs is about 12 MB)");
        }
        const tenmari::jisho::SourceLimits shortLines{50, 1 << 20};
        tenmari::jisho::SourceCheck lines(
            "src", [](std::string_view, int) {}, shortLines);
        try {
            for (std::size_t at = 0; at < kSource.size(); at += piece)
                lines.feed(std::string_view(kSource).substr(at, piece));
            ADD_FAILURE() << "no error";
        } catch (const tenmari::jisho::SourceError& e) {
            EXPECT_EQ(e.line(), 1u) << e.what();
            EXPECT_NE(std::string(e.what()).find("src: line 1: longer than 0 KB"), std::string::npos) << e.what();
        }
    }
}

TEST_F(JishoBuilderTest, ReplacesTheFolderWhollyAndKeepsOtherFiles) {
    writeBytes(root_ / "KEN_ALL.CSV", kSource);
    putOldFolder();
    writeBytes(dir_ / ".source", "stamp");
    writeBytes(dir_ / "notes.txt", "mine");
    fs::create_symlink("Zenkoku.csv", dir_ / "all.csv");
    writeBytes(dir_ / "Kantou.csv.part", "left by an older build");
    tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_);
    EXPECT_FALSE(fs::exists(dir_ / "Kantou.csv.part"));
    EXPECT_EQ(file(0), kSource);
    EXPECT_EQ(readBytes(dir_ / ".source"), "stamp");
    EXPECT_EQ(readBytes(dir_ / "notes.txt"), "mine");
    EXPECT_EQ(fs::read_symlink(dir_ / "all.csv"), "Zenkoku.csv");
    EXPECT_EQ(folderContents(root_).size(), 2u);

    // A folder in the way, even under a dictionary's name, is refused before anything changes.
    putOldFolder();
    fs::remove(dir_ / "Kyushu.csv");
    fs::create_directories(dir_ / "Kyushu.csv");
    auto before = folderContents(dir_);
    try {
        tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_);
        ADD_FAILURE() << "no error";
    } catch (const BuildError& e) {
        EXPECT_NE(std::string(e.what()).find("Kyushu.csv: a folder inside the dictionary folder"), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(fs::is_directory(dir_ / "Kyushu.csv"));
    EXPECT_EQ(folderContents(dir_).size(), before.size() - 1 + 1);
    fs::remove(dir_ / "Kyushu.csv");

    // A second build of the same folder at the same time is refused.
    const int parent = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(parent, LOCK_EX), 0);
    try {
        tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_);
        ADD_FAILURE() << "no error";
    } catch (const BuildError& e) {
        EXPECT_NE(std::string(e.what()).find("another tenmari-jisho is preparing it"), std::string::npos) << e.what();
    }
    ::close(parent);

    // A symbolic link to the folder: the folder it points to is replaced.
    fs::create_symlink(dir_, root_ / "link");
    tenmari::jisho::build(root_ / "KEN_ALL.CSV", root_ / "link");
    EXPECT_TRUE(fs::is_symlink(root_ / "link"));
    EXPECT_EQ(file(0), kSource);
}

TEST_F(JishoBuilderTest, LeftoversOfAnInterruptedRunAreCleared) {
    writeBytes(root_ / "KEN_ALL.CSV", kSource);
    writeBytes(root_ / "bad.csv", "1,2,3\r\n");
    // Killed while building: half a new set beside the old folder.
    putOldFolder();
    const auto old = folderContents(dir_);
    fs::create_directories(root_ / ".Jisho.tenmari-new");
    writeBytes(root_ / ".Jisho.tenmari-new" / "Zenkoku.csv", "half");
    EXPECT_THROW(tenmari::jisho::build(root_ / "bad.csv", dir_), BuildError);
    EXPECT_EQ(folderContents(dir_), old);
    EXPECT_FALSE(fs::exists(root_ / ".Jisho.tenmari-new"));

    // Killed half-way through a swap of two renames: the old set was put
    // aside and the folder is missing. It comes back, even when the new
    // source is bad.
    fs::rename(dir_, root_ / ".Jisho.tenmari-old");
    EXPECT_THROW(tenmari::jisho::build(root_ / "bad.csv", dir_), BuildError);
    EXPECT_EQ(folderContents(dir_), old);
    EXPECT_FALSE(fs::exists(root_ / ".Jisho.tenmari-old"));

    // An older build left a read-only folder's old set, read-only, where it
    // builds: this run still gets out of it.
    fs::create_directories(root_ / ".Jisho.tenmari-new");
    writeBytes(root_ / ".Jisho.tenmari-new" / "Zenkoku.csv", "old");
    ::chmod((root_ / ".Jisho.tenmari-new").c_str(), 0555);
    EXPECT_THROW(tenmari::jisho::build(root_ / "bad.csv", dir_), BuildError);
    EXPECT_EQ(folderContents(dir_), old);
    EXPECT_FALSE(fs::exists(root_ / ".Jisho.tenmari-new"));

    // Killed after that swap: the old set still aside, the new folder in place.
    fs::copy(dir_, root_ / ".Jisho.tenmari-old");
    tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_);
    EXPECT_EQ(file(0), kSource);
    EXPECT_EQ(folderContents(root_).size(), 3u);  // KEN_ALL.CSV, bad.csv, Jisho
}

TEST_F(JishoBuilderTest, KilledAtAnyMomentTheFolderIsWhollyOldOrWhollyNew) {
    // Big enough that a build takes a while: about 9 MB.
    std::string big;
    for (int k = 0; k < 30000; ++k) big += kSource;
    writeBytes(root_ / "KEN_ALL.CSV", big);
    putOldFolder();
    const auto old = folderContents(dir_);
    std::mt19937 rng(12);
    int sawOld = 0;
    int sawNew = 0;
    for (int round = 0; round < 12; ++round) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::execl(TENMARI_JISHO_EXE, TENMARI_JISHO_EXE, (root_ / "KEN_ALL.CSV").c_str(), dir_.c_str(), nullptr);
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 400000)(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const auto now = folderContents(dir_);
        if (now == old) {
            ++sawOld;
        } else {
            ASSERT_EQ(now.size(), 10u) << "round " << round;
            EXPECT_EQ(now.at("Zenkoku.csv"), big) << "round " << round;
            EXPECT_EQ(now.at("Hokkaidou.csv").size(), (kH1.size() + kH2.size()) * 30000) << "round " << round;
            ++sawNew;
            putOldFolder();  // start again from the old set
        }
    }
    // A run that is not interrupted clears what the others left.
    tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_);
    EXPECT_EQ(folderContents(root_).size(), 2u);
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}

TEST_F(JishoBuilderTest, UnreadableSourcesAndFolders) {
    // A directory opens but cannot be read.
    fs::create_directories(root_ / "KEN_ALL.CSV");
    EXPECT_THROW(tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_), BuildError);
    EXPECT_FALSE(fs::exists(dir_));  // nothing is created for a source that cannot be read
    writeBytes(root_ / "bad.csv", record("東京", "1000001", "x"));
    EXPECT_THROW(tenmari::jisho::build(root_ / "bad.csv", dir_), BuildError);
    EXPECT_FALSE(fs::exists(dir_));  // nor left behind when a line fails
    EXPECT_THROW(tenmari::jisho::build(root_ / "bad.csv", root_ / "new" / "deeper" / "Jisho"), BuildError);
    EXPECT_FALSE(fs::exists(root_ / "new"));  // nor the folders made for it

    // A zip whose data no longer match their checksum.
    const std::string data = kSource + record("北海道", "0600001", "MARKER-MARKER-MARKER") + "\r\n";
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

// Where the folder goes: one that cannot take the new set is refused before
// anything changes, its mode is never changed, whatever was put at its path
// while the set was built is kept (and the run fails), and no state is left
// that the next run cannot get out of.
TEST_F(JishoBuilderTest, BadOutputFoldersAreRefusedAndWhatIsThereIsKept) {
    writeBytes(root_ / "KEN_ALL.CSV", kSource);
    const auto modeOf = [](const fs::path& p) {
        struct stat st {};
        return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    const auto moveAsideAnd = [&](std::function<void()> put) {
        return [&, put] {
            fs::rename(dir_, root_ / "moved");
            put();
        };
    };
    struct Case {
        const char* name;
        std::function<void()> before;
        std::function<void()> whileBuilding;  // once the new set is ready, before the swap
        const char* inMessage;                // nullptr: built
        std::function<void()> check;          // after the run
        std::function<void()> mend;           // what the user does before the next run
    } const cases[] = {
        {"a read-only folder in a writable parent (a real check also for root, who could write it)",
         [&] {
             putOldFolder();
             ::chmod(dir_.c_str(), 0555);
         },
         nullptr, "Jisho: the folder is read-only (mode 555)",
         [&] {
             EXPECT_EQ(modeOf(dir_), 0555u);
             EXPECT_EQ(folderContents(dir_).at("Zenkoku.csv"), "old Zenkoku.csv");
         },
         [&] { ::chmod(dir_.c_str(), 0755); }},
        {"a folder's own mode is kept",
         [&] {
             putOldFolder();
             ::chmod(dir_.c_str(), 02750);
         },
         nullptr, nullptr,
         [&] {
             EXPECT_EQ(modeOf(dir_), 02750u);
             EXPECT_EQ(file(0), kSource);
         },
         nullptr},
        {"a file put at the path of a folder that was not there", nullptr, [&] { writeBytes(dir_, "mine"); },
         "Jisho: something else was put there", [&] { EXPECT_EQ(readBytes(dir_), "mine"); }, [&] { fs::remove(dir_); }},
        {"the folder replaced by a file", [&] { putOldFolder(); }, moveAsideAnd([&] { writeBytes(dir_, "mine"); }),
         "Jisho: something else was put there",
         [&] {
             EXPECT_EQ(readBytes(dir_), "mine");
             EXPECT_EQ(folderContents(root_ / "moved").at("Zenkoku.csv"), "old Zenkoku.csv");
         },
         [&] {
             fs::remove(dir_);
             fs::remove_all(root_ / "moved");
         }},
        {"the folder replaced by another folder", [&] { putOldFolder(); }, moveAsideAnd([&] {
             fs::create_directories(dir_);
             writeBytes(dir_ / "notes.txt", "mine");
         }),
         "Jisho: something else was put there",
         [&] {
             EXPECT_EQ(folderContents(dir_), (std::map<std::string, std::string>{{"notes.txt", "mine"}}));
             EXPECT_EQ(folderContents(root_ / "moved").at("Zenkoku.csv"), "old Zenkoku.csv");
         },
         [&] {
             fs::remove_all(dir_);
             fs::remove_all(root_ / "moved");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.before) c.before();
        bool called = false;
        try {
            tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_, [&] {
                called = true;
                if (c.whileBuilding) c.whileBuilding();
            });
            EXPECT_EQ(c.inMessage, nullptr) << "built";
        } catch (const BuildError& e) {
            ASSERT_NE(c.inMessage, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.inMessage), std::string::npos) << e.what();
        }
        EXPECT_EQ(called, c.whileBuilding != nullptr || c.inMessage == nullptr) << "refused before anything changed";
        c.check();
        // Nothing hidden is left beside the folder.
        for (const auto& [name, bytes] : folderContents(root_)) EXPECT_NE(name[0], '.') << name;
        // The next run gets out of it.
        if (c.mend) c.mend();
        tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_);
        EXPECT_EQ(file(0), kSource);
        fs::remove_all(dir_);
    }
}

// The swap exchanges the folders in one step: the folder is never missing,
// nor deleted, at any moment of a build (told by the parent folder's events,
// not by when they happen).
TEST_F(JishoBuilderTest, TheFolderIsNeverMissingDuringABuild) {
    writeBytes(root_ / "KEN_ALL.CSV", kSource);
    putOldFolder();
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, root_.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO), 0);
    tenmari::jisho::build(root_ / "KEN_ALL.CSV", dir_, [&] {
        // The new set is ready: the old one still stands.
        EXPECT_EQ(file(0), "old Zenkoku.csv");
    });
    EXPECT_EQ(file(0), kSource);

    struct Step {
        std::string from, to;  // a move; from alone: removed; to alone: made
    };
    std::vector<Step> steps;
    alignas(inotify_event) char buf[64 * 1024];
    for (ssize_t n; (n = ::read(watch, buf, sizeof buf)) > 0;) {
        for (char* p = buf; p < buf + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            const std::string name = e->len > 0 ? e->name : "";
            if (e->mask & IN_MOVED_TO && !steps.empty() && steps.back().to.empty() && !steps.back().from.empty()) {
                steps.back().to = name;
            } else if (e->mask & (IN_MOVED_FROM | IN_DELETE)) {
                steps.push_back({name, ""});
            } else if (e->mask & (IN_MOVED_TO | IN_CREATE)) {
                steps.push_back({"", name});
            }
            p += sizeof(inotify_event) + e->len;
        }
    }
    ::close(watch);
    bool present = true;
    int exchanges = 0;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const Step& s = steps[k];
        // An exchange shows as two moves, each the other's reverse.
        if (k + 1 < steps.size() && s.to == "Jisho" && !s.from.empty() && steps[k + 1].from == "Jisho" &&
            steps[k + 1].to == s.from) {
            ++exchanges;
            ++k;
            continue;
        }
        if (s.from == "Jisho") {
            present = false;
            ADD_FAILURE() << "the folder was " << (s.to.empty() ? "deleted" : "moved to " + s.to) << " at step " << k;
        }
        if (s.to == "Jisho") present = true;
    }
    EXPECT_TRUE(present);
    EXPECT_EQ(exchanges, 1);
}

// ---------------------------------------------------------------- tenmari-jisho

TEST_F(JishoBuilderTest, CommandLine) {
    writeBytes(root_ / "KEN_ALL.CSV", kSource);
    ASSERT_EQ(::mkfifo((root_ / "fifo").c_str(), 0600), 0);
    struct Case {
        std::string args;
        int status;
        std::string err;  // part of stderr
    };
    const std::string src = (root_ / "KEN_ALL.CSV").string();
    const std::string dir = dir_.string();
    const Case cases[] = {
        {src + " " + dir + " >/dev/full", 2, "tenmari-jisho: cannot write the report: No space left on device"},
        {(root_ / "fifo").string() + " " + dir, 2, "fifo: a pipe, not a file"},
        {"/dev/zero " + dir, 2, "/dev/zero: a device, not a file"},
        {"'' " + dir, 2, "usage: tenmari-jisho SOURCE DIR"},
        {src, 2, "usage: tenmari-jisho SOURCE DIR"},
        {"--help >/dev/full", 2, "cannot write the output"},
        {src + " " + dir + " >/dev/null", 0, ""},
    };
    for (const Case& c : cases) {
        const fs::path errFile = root_ / "err";
        // `timeout` stands guard: a hang is a failure, not a stuck test run.
        const std::string cmd =
            "timeout 20 " + std::string(TENMARI_JISHO_EXE) + " " + c.args + " 2>" + errFile.string();
        const int st = std::system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(st) ? WEXITSTATUS(st) : -1, c.status) << c.args;
        const std::string err = readBytes(errFile);
        if (c.err.empty()) {
            EXPECT_EQ(err, "") << c.args;
        } else {
            EXPECT_NE(err.find(c.err), std::string::npos) << c.args << "\n" << err;
        }
    }
    EXPECT_EQ(file(0), kSource);
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
