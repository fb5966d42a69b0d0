// tenmari-lookup sheet: a CSV list converted by the command line, on the
// sample dictionary and on the nationwide file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Cp932.h"
#include "KenAll.h"
#include "RunTool.h"

namespace fs = std::filesystem;
using tenmari::test::Outcome;
using tenmari::test::readFile;
using tenmari::test::runTool;

namespace {

class SheetCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tenmari-sheet-cli-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    Outcome run(std::vector<std::string> args, const std::string& dict = TENMARI_SAMPLE_DICTIONARY) {
        args.insert(args.begin(), {"--dict", dict, "sheet"});
        return runTool(TENMARI_LOOKUP_EXE, args);
    }
    std::string put(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    fs::path dir_;
};

TEST_F(SheetCommand, ASheetInCodePage932ComesBackBesideItWithItsCodes) {
    const std::string in = put("顧客.csv", tenmari::utf8ToCp932("番号,お名前,ご住所\r\n"
                                                                "1,\"山田, 太郎\",東京都千代田区千代田１－１\r\n"
                                                                "2,ソ表,\"北海道旭川市若葉台３丁目\"\r\n"
                                                                "3,能,北海道函館市緑町\r\n"
                                                                "4,\"\"\"鈴木\"\"\",沖縄県どこか\r\n"));
    const Outcome r = run({in});
    EXPECT_EQ(r.status, 1) << r.err;  // some rows without one code
    EXPECT_EQ(readFile(dir_ / "顧客_郵便番号.csv"),
              tenmari::utf8ToCp932("番号,お名前,ご住所,郵便番号,確認\r\n"
                                   "1,\"山田, 太郎\",東京都千代田区千代田１－１,1000001,\r\n"
                                   "2,ソ表,\"北海道旭川市若葉台３丁目\",0700931,\r\n"
                                   "3,能,北海道函館市緑町,0400937,\r\n"
                                   "4,\"\"\"鈴木\"\"\",沖縄県どこか,,prefecture\r\n"));
    EXPECT_NE(r.err.find("address column 3 (ご住所), the first whose header holds 住所, code page 932"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("4 rows, 3 filled, 1 understood to the number, 0 ambiguous, 1 not found"), std::string::npos)
        << r.err;
}

// Addresses as people write them, read on the sample dictionary: a chome
// inside or outside the listed range, the prefecture left out, kanji
// numerals; a town without the chome that decides its code, a town its city
// does not list, a prefecture alone. The same rows with a code column filled
// where empty (--code-column) and with the written codes checked (--check).
TEST_F(SheetCommand, EachAddressIsAnsweredAsAPersonReadsIt) {
    const std::string sheet =
        "住所,〒\n"
        "北海道旭川市若葉台３丁目,\n"
        "旭川市若葉台一丁目,070-0931\n"
        "北海道旭川市若葉台8丁目,070-0931\n"
        "北海道旭川市若葉台,\n"
        "北海道函館市港町1-1,\n"
        "沖縄県どこか,\n";
    const std::string filled =
        "住所,〒,確認\n"
        "北海道旭川市若葉台３丁目,070-0931,\n"
        "旭川市若葉台一丁目,070-0931,\n"
        "北海道旭川市若葉台8丁目,070-0931,differs: 070-0932\n"
        "北海道旭川市若葉台,,ambiguous 070-0931 070-0932\n"
        "北海道函館市港町1-1,040-0000,city\n"
        "沖縄県どこか,,prefecture\n";
    struct Case {
        std::vector<std::string> options;
        std::string output, summary;
    };
    const std::vector<Case> cases = {
        {{},
         "住所,〒,郵便番号,確認\n"
         "北海道旭川市若葉台３丁目,,070-0931,\n"
         "旭川市若葉台一丁目,070-0931,070-0931,\n"
         "北海道旭川市若葉台8丁目,070-0931,070-0932,\n"
         "北海道旭川市若葉台,,,ambiguous 070-0931 070-0932\n"
         "北海道函館市港町1-1,,040-0000,city\n"
         "沖縄県どこか,,,prefecture\n",
         "6 rows, 4 filled, 3 understood to the number, 1 ambiguous, 1 not found"},
        {{"--code-column", "2"}, filled, "6 rows, 2 filled, 3 understood to the number, 1 ambiguous, 1 not found"},
        {{"--check"},
         filled,
         "6 rows, 2 filled, 3 understood to the number, 1 ambiguous, 1 not found, 2 codes kept, 1 disagree"},
    };
    const std::string in = put("a.csv", sheet);
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--force", in});
        SCOPED_TRACE(args.front());
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(readFile(dir_ / "a_郵便番号.csv"), c.output);
        EXPECT_NE(r.err.find(c.summary), std::string::npos) << r.err;
    }
    const Outcome r = run({"--force", in}, (dir_ / "none.csv").string());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("none.csv: no such dictionary file"), std::string::npos) << r.err;
}

TEST_F(SheetCommand, TheInputAndAnExistingFileAreNeverWrittenOver) {
    const std::string sheet = "住所\n東京都千代田区千代田\n";
    const std::string in = put("a.csv", sheet);
    const std::string out = put("a_郵便番号.csv", "old");
    Outcome r = run({in});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("exists already (--force replaces it)"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(out), "old");
    r = run({"--force", in});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(out), "住所,郵便番号,確認\n東京都千代田区千代田,1000001,\n");
    r = run({"--output", in, "--force", in});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is the input itself"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(in), sheet);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names.size(), 2u);
}

TEST_F(SheetCommand, BadArgumentsAndFilesAreErrors) {
    const std::string in = put("a.csv", "住所\n\"東京都\n");
    struct Bad {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Bad> bad = {
        {{in}, "line 2: a quote opened in column 1 is never closed"},
        {{(dir_ / "none.csv").string()}, "No such file or directory"},
        {{dir_.string()}, "is a folder"},
        {{"--column"}, "--column needs a value"},
        {{"--colour", in}, "unknown option of sheet '--colour'"},
        {{in, in}, "sheet takes one FILE.csv"},
        {{}, "sheet needs a FILE.csv"},
    };
    for (const Bad& b : bad) {
        const Outcome r = run(b.args);
        EXPECT_EQ(r.status, 2) << b.says;
        EXPECT_NE(r.err.find(b.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(runTool(TENMARI_LOOKUP_EXE, {"--sjis", "sheet", in}).status, 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// 2,000 whole records of the nationwide file as addresses in a sheet with
// other columns (commas, quotes and line breaks in cells), in both encodings:
// every row comes back byte for byte with the answer `batch address` gives
// its address added, most of them the record's own code or an ambiguous
// answer that names it.
TEST_F(SheetCommand, NationwideAddressesComeBackRowForRow) {
    TENMARI_REQUIRE_KEN_ALL(csv);
    const Outcome listing = runTool(TENMARI_LOOKUP_EXE, {"--dict", csv, "--whole", "prefix", ""});
    ASSERT_EQ(listing.status, 0) << listing.err;
    std::vector<std::pair<std::string, std::string>> records;  // code, address
    std::istringstream lines(listing.out);
    for (std::string line; std::getline(lines, line);) {
        const auto tab = line.find('\t');
        records.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    ASSERT_GT(records.size(), 100000u);
    const std::size_t step = records.size() / 2000;
    // The cells batch address's answers make: the code, and 確認 empty from
    // the town on, else the level or "ambiguous" with the candidates.
    std::string queries;
    for (std::size_t k = 0; k < 2000; ++k) queries += records[k * step].second + "\n";
    const Outcome batch = runTool(TENMARI_LOOKUP_EXE, {"--dict", csv, "--level", "batch", "address"}, queries);
    ASSERT_NE(batch.status, 2) << batch.err;
    std::vector<std::string> answered;
    std::istringstream answers(batch.out);
    for (std::string line; std::getline(answers, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
        ASSERT_EQ(cells.size(), 4u) << line;
        const std::string& level = cells[3];
        const bool understood = level == "town" || level == "number" || level == "building" || level == "floor";
        answered.push_back(cells[1] + "," + (understood ? "" : level == "none" ? "not found" : level));
    }
    ASSERT_EQ(answered.size(), 2000u);
    for (const bool cp932 : {false, true}) {
        SCOPED_TRACE(cp932 ? "code page 932" : "UTF-8 with its mark");
        std::vector<std::string> rows;
        std::vector<std::string> codes;
        for (std::size_t k = 0; k < 2000; ++k) {
            const auto& [code, address] = records[k * step];
            const std::string n = std::to_string(k);
            rows.push_back(n + ",\"顧客 " + n + ", 様\"," + address + ",\"メモ \"\"" + n + "\"\"\r\n二行目\",03-" + n +
                           ",,ソ表能");
            codes.push_back(code);
        }
        std::string utf8 = "番号,お名前,住所,メモ,電話,空,備考\r\n";
        for (const std::string& row : rows) utf8 += row + "\r\n";
        const std::string bytes = cp932 ? tenmari::utf8ToCp932(utf8) : "\xEF\xBB\xBF" + utf8;
        const std::string in = put(cp932 ? "sjis.csv" : "utf8.csv", bytes);
        const Outcome r = run({in}, csv);
        ASSERT_NE(r.status, 2) << r.err;
        const std::string outBytes = readFile(cp932 ? dir_ / "sjis_郵便番号.csv" : dir_ / "utf8_郵便番号.csv");
        const std::string out = cp932 ? tenmari::cp932ToUtf8(outBytes) : outBytes.substr(3);
        ASSERT_TRUE(cp932 || outBytes.starts_with("\xEF\xBB\xBF"));
        const std::string header = "番号,お名前,住所,メモ,電話,空,備考,郵便番号,確認\r\n";
        ASSERT_TRUE(out.starts_with(header));
        std::size_t at = header.size();
        std::size_t found = 0;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            ASSERT_EQ(out.substr(at, rows[k].size() + 1), rows[k] + ",") << "row " << k;
            at += rows[k].size() + 1;
            const std::size_t end = out.find("\r\n", at);
            ASSERT_NE(end, std::string::npos);
            const std::string added = out.substr(at, end - at);
            at = end + 2;
            EXPECT_EQ(added, answered[k]) << "row " << k;
            if (added.starts_with(codes[k] + ",") ||
                (added.starts_with(",ambiguous ") && added.find(codes[k]) != std::string::npos)) {
                ++found;
            }
        }
        EXPECT_EQ(at, out.size());
        EXPECT_GT(found, 1800u);
        std::printf("%zu of 2000 rows with the record's own code or an ambiguous answer naming it\n", found);
    }
}

}  // namespace
