#pragma once
// tenmari-lookup's output: lines of cells joined by TAB, each cell converted
// by its own form, gathered in one buffer and written out a block at a time.
// The writer works out the room a line needs from its cells, so a line with
// more cells (or longer ones) never writes past the buffer: it grows.

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tenmari::lookupcli {

enum class CellForm {
    text,     // UTF-8 already (a query as typed): copied
    record,   // code page 932 from the dictionary: converted to UTF-8, or copied with --sjis
    reading,  // a record's reading: as `record`, its half-width katakana made full-width
};

struct Cell {
    std::string_view bytes;
    CellForm form = CellForm::record;
};

class OutputWriter {
public:
    // `sjis`: code page 932 cells go out as they are. What waits is written
    // out to `fd` once `flushAt` bytes or more wait.
    explicit OutputWriter(bool sjis, std::size_t flushAt = std::size_t{64} << 10, int fd = 1);

    // One line: the cells joined by TAB, ended by LF. False, with nothing of
    // the line kept, when a code page 932 cell holds bytes that are not code
    // page 932 (firstBadBytes names them). After a failed write, lines are
    // taken but no longer written.
    bool line(std::span<const Cell> cells);
    bool line(std::initializer_list<Cell> cells) { return line(std::span<const Cell>(cells.begin(), cells.size())); }

    // Writes out what waits; the errno of the first failed write, or 0.
    int flush();
    int error() const { return error_; }

private:
    char* room(std::size_t n);  // where n more bytes may go
    char* put(const Cell& cell, char* o);

    bool sjis_;
    std::size_t flushAt_;
    int fd_;
    std::vector<char> buf_;
    std::size_t used_ = 0;
    int error_ = 0;
    std::string kana_;
};

// The first bytes of code page 932 text that are not code page 932, for a
// message ("0x81 0x20"); "some bytes" when there are none.
std::string firstBadBytes(std::string_view cp932);

}  // namespace tenmari::lookupcli
