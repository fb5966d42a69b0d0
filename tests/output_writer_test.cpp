// tenmari-lookup's output writer: lines of cells of every form, as many and
// as long as they come, never past its buffer.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Cp932.h"
#include "OutputWriter.h"

namespace {

using tenmari::lookupcli::Cell;
using tenmari::lookupcli::CellForm;
using tenmari::lookupcli::OutputWriter;

// What a writer with a small buffer writes for `lines` of cells.
std::string written(bool sjis, const std::vector<std::vector<Cell>>& lines, std::vector<bool>* taken = nullptr) {
    std::FILE* f = std::tmpfile();
    {
        OutputWriter out(sjis, 16, ::fileno(f));
        for (const auto& cells : lines) {
            const bool ok = out.line(cells);
            if (taken) taken->push_back(ok);
        }
        EXPECT_EQ(out.flush(), 0);
    }
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(f);
    return text;
}

TEST(OutputWriter, EveryCellOfEveryFormFitsHoweverManyAndLong) {
    using tenmari::utf8ToCp932;
    const std::string code = "1000001";
    const std::string address = utf8ToCp932("東京都千代田区千代田");
    const std::string reading = utf8ToCp932("ﾄｳｷｮｳﾄ ﾁﾖﾀﾞｸ");
    const std::string longAddress = utf8ToCp932(std::string(3000, 'a') + "　") + address;  // longer than the buffer
    // Four, five and more cells: the room is the cells', not a count of columns.
    const std::vector<std::vector<Cell>> lines = {
        {{"q", CellForm::text}, {code}, {address}},
        {{"q", CellForm::text}, {code}, {address}, {reading, CellForm::reading}},
        {{"q", CellForm::text}, {code}, {longAddress}, {reading, CellForm::reading}, {longAddress}},
        {{"", CellForm::text}, {"", CellForm::text}},
    };
    const std::string u = tenmari::cp932ToUtf8(address);
    const std::string ul = tenmari::cp932ToUtf8(longAddress);
    EXPECT_EQ(written(false, lines), "q\t1000001\t" + u + "\n" + "q\t1000001\t" + u + "\tトウキョウト チヨダク\n" +
                                         "q\t1000001\t" + ul + "\tトウキョウト チヨダク\t" + ul + "\n\t\n");
    // --sjis: the dictionary's bytes as they are, the reading full-width in code page 932.
    EXPECT_EQ(written(true, {lines[1]}), "q\t1000001\t" + address + "\t" + utf8ToCp932("トウキョウト チヨダク") + "\n");
}

TEST(OutputWriter, ALineWithBytesThatAreNotCodePage932IsLeftOutWhole) {
    std::vector<bool> taken;
    const std::string bad = "\x81\x20";  // a lead byte without its trail
    EXPECT_EQ(written(false, {{{"1"}, {"a"}}, {{"2"}, {bad}}, {{"3"}, {"c"}}}, &taken), "1\ta\n3\tc\n");
    EXPECT_EQ(taken, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(tenmari::lookupcli::firstBadBytes("ab" + bad), "0x81 0x20");
}

}  // namespace
