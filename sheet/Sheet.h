#pragma once
// A list kept in a spreadsheet and saved as CSV, converted as a whole: every
// row comes back byte for byte as it was, in order, with the postal codes of
// its address column added after its last column (or filled into a column of
// codes), and a column 確認 for the rows a person should look at.
//
// The cells are read by libcsv (RFC 4180: quoted cells, doubled quotes, commas
// and line breaks inside quotes, CR LF, LF or CR). The encoding is found from
// the bytes: UTF-8 with or without a byte-order mark, or code page 932; the
// output is written in the same encoding, with the same line ends and mark.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "AddressAnswerer.h"
#include "LargeMemory.h"

namespace tenmari::sheet {

enum class Encoding { utf8, utf8Bom, cp932 };
const char* encodingName(Encoding e);

// Why a sheet cannot be converted. `line` is the line of the file (from 1)
// where the fault is, 0 when it names none; `column` likewise.
class SheetError : public std::runtime_error {
public:
    enum class Kind {
        notText,         // neither UTF-8 nor code page 932
        nulByte,         // a NUL byte
        badQuote,        // a quote where none may be
        unclosedQuote,   // a quoted cell never closed
        cellTooLong,     // a cell larger than any spreadsheet holds
        tooManyColumns,  // more columns than any spreadsheet holds
        noRows,          // nothing in the file
        noAddressColumn,
        noSuchColumn,
        noCodeColumn,
    };
    SheetError(Kind kind, std::size_t line, std::size_t column, const std::string& message)
        : std::runtime_error(message), kind_(kind), line_(line), column_(column) {}
    Kind kind() const { return kind_; }
    std::size_t line() const { return line_; }
    std::size_t column() const { return column_; }

private:
    Kind kind_;
    std::size_t line_, column_;
};

// A spreadsheet's own limits (Excel's): larger is no list saved by one.
inline constexpr std::size_t kMaxColumns = 16384;
inline constexpr std::size_t kMaxCellBytes = 32767 * 4;

struct Options {
    // The address column: its number from 1, or its header text; empty: the
    // first column whose header holds 住所, else the first whose cells look
    // like addresses.
    std::string column;
    // A column of codes filled where empty instead of a column added: its
    // number or header text; empty: none.
    std::string codeColumn;
    // Keep every filled code, and tell in 確認 where it disagrees with the
    // address (the column of codes: codeColumn, else one whose header holds
    // 郵便番号 or 〒).
    bool check = false;
};

struct Summary {
    std::size_t rows = 0;       // rows of data (the header and blank lines not counted)
    std::size_t filled = 0;     // codes written
    std::size_t toNumber = 0;   // addresses understood to their number or further
    std::size_t ambiguous = 0;  // several codes fit
    std::size_t notFound = 0;   // no code fits (not found, or understood only to the prefecture or city)
    std::size_t empty = 0;      // rows without an address
    std::size_t kept = 0;       // --check: filled codes kept
    std::size_t differ = 0;     // --check: filled codes that disagree with the address
};

// The summary as the command line says it, one line without its end.
std::string summaryLine(const Summary& s, bool check);

struct Converted {
    Bytes bytes;  // the whole output file
    Encoding encoding = Encoding::utf8;
    Summary summary;
    std::size_t addressColumn = 0;    // from 0
    std::string addressHeader;        // UTF-8; empty without a header row
    bool addressColumnFound = false;  // chosen without --column
    std::size_t codeColumn = 0;       // from 0, when codeColumnUsed
    bool codeColumnUsed = false;
    bool cancelled = false;  // the progress asked to stop: `bytes` is empty
};

// The choice of the address column in words, for standard error (UTF-8).
std::string choiceLine(const Converted& c);

// The stages of a conversion, for progress: reading the cells (bytes of the
// file), answering the addresses (the answerer's own units).
enum class Stage { reading, answering };
using StageProgress = std::function<bool(Stage, std::uint64_t done, std::uint64_t total)>;

// Converts a whole CSV file's bytes. Throws SheetError.
Converted convert(std::string_view input, const Options& options, AddressAnswerer& answerer,
                  const StageProgress& progress = {});

// Encoding of a file's bytes; throws SheetError (notText, nulByte).
Encoding detectEncoding(std::string_view input);

}  // namespace tenmari::sheet
