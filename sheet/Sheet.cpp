#include "Sheet.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "Cp932.h"
#include "LargeMemory.h"
#include "Utf8.h"

namespace tenmari::sheet {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// ---------------------------------------------------------------- lines for messages

// The line (from 1) of byte `at`: CR LF, LF and CR each end a line.
std::size_t lineOf(std::string_view text, std::size_t at) {
    std::size_t line = 1;
    at = std::min(at, text.size());
    for (std::size_t i = 0; i < at; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    }
    return line;
}

// Each line of the text with its start, without its end.
template <typename F>
void forEachLine(std::string_view text, F&& f) {
    std::size_t line = 1;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        if (!f(line, text.substr(at, end - at))) return;
        if (end == text.size()) return;
        at = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        ++line;
    }
}

// Through the decoding table, a block of lines at a time (an LF is never the
// second byte of a character).
bool validCp932(std::string_view s) {
    constexpr std::size_t kBlock = 64 * 1024;
    std::vector<char16_t> units(std::min(s.size(), kBlock) + 1);
    for (std::size_t at = 0; at < s.size();) {
        std::size_t end = std::min(s.size(), at + kBlock);
        if (end < s.size()) {
            const std::size_t lf = s.rfind('\n', end - 1);
            end = lf != std::string_view::npos && lf >= at ? lf + 1 : end;
        }
        const std::string_view block = s.substr(at, end - at);
        if (units.size() < block.size() + 1) units.resize(block.size() + 1);
        const char16_t* last = cp932ToUtf16(block, units.data());
        if (std::find(static_cast<const char16_t*>(units.data()), last, kReplacementChar) != last) return false;
        at = end;
    }
    return true;
}

// The first line for which `valid` is false, or 0.
template <typename F>
std::size_t firstBadLine(std::string_view text, F&& valid) {
    std::size_t bad = 0;
    forEachLine(text, [&](std::size_t line, std::string_view l) {
        if (valid(l)) return true;
        bad = line;
        return false;
    });
    return bad;
}

std::string lineWord(std::size_t line) { return "line " + std::to_string(line); }

// ---------------------------------------------------------------- the cells, by libcsv

struct Cell {
    std::size_t rawBegin, rawEnd;  // the cell as written, quotes and all
};

struct Row {
    std::size_t begin, end, termEnd;  // the row's bytes, then its line end byte up to termEnd
    std::size_t firstCell, cells;     // none for a blank line
};

// libcsv is given the text in pieces that each end at the first comma, CR or
// LF: a cell or row it ends during a piece ends at the piece's last byte, so
// every cell's bytes in the file are known. Which of those bytes end cells,
// and what a cell holds, is libcsv's reading alone.
struct Parse {
    std::string_view text;
    std::size_t pieceEnd = 0;  // the byte that ends the piece being read
    std::size_t fieldStart = 0;
    std::size_t rowStart = 0;
    std::size_t rowCells = 0;
    std::vector<Cell, LargeMemory<Cell>> cells;
    std::vector<Row, LargeMemory<Row>> rows;
    std::optional<SheetError> error;

    static void onCell(void*, std::size_t, void* data) {
        auto& p = *static_cast<Parse*>(data);
        if (p.error) return;
        if (++p.rowCells > kMaxColumns) {
            p.error.emplace(SheetError::Kind::tooManyColumns, lineOf(p.text, p.pieceEnd), 0,
                            lineWord(lineOf(p.text, p.rowStart)) + ": a row of more than " +
                                std::to_string(kMaxColumns) + " columns, more than a spreadsheet holds");
            return;
        }
        if (p.pieceEnd - p.fieldStart > kMaxCellBytes) {
            const std::size_t line = lineOf(p.text, p.fieldStart);
            p.error.emplace(SheetError::Kind::cellTooLong, line, p.rowCells,
                            lineWord(line) + ": column " + std::to_string(p.rowCells) + " holds more than " +
                                std::to_string(kMaxCellBytes) + " bytes, more than a spreadsheet's cell");
            return;
        }
        p.cells.push_back({p.fieldStart, p.pieceEnd});
        p.fieldStart = p.pieceEnd + 1;
    }

    static void onRow(int c, void* data) {
        auto& p = *static_cast<Parse*>(data);
        if (p.error) return;
        const std::size_t at = p.pieceEnd;
        if (c == -1) {  // the end of the file, without a line end
            if (p.rowCells) p.rows.push_back({p.rowStart, at, at, p.cells.size() - p.rowCells, p.rowCells});
            p.rowCells = 0;
            return;
        }
        if (p.rowCells == 0 && c == '\n' && at > 0 && p.text[at - 1] == '\r' && !p.rows.empty() &&
            p.rows.back().termEnd == at) {
            ++p.rows.back().termEnd;  // the LF of a CR LF
        } else {
            // A line end without cells is a blank line: a row without cells.
            p.rows.push_back({p.rowCells ? p.rowStart : at, at, at + 1, p.cells.size() - p.rowCells, p.rowCells});
        }
        p.rowCells = 0;
        p.rowStart = p.fieldStart = at + 1;
    }
};

int noSpace(unsigned char) { return 0; }  // spaces around a cell belong to it

// A parser as the sheet reads its cells: strict, spaces kept, every line end
// told.
struct Parser {
    csv_parser p;
    Parser() {
        if (csv_init(&p, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) throw std::bad_alloc();
        csv_set_space_func(&p, noSpace);
    }
    ~Parser() { csv_free(&p); }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;
};

// The text of one cell, read again from its bytes when asked: a cell that
// does not open with a quote holds its bytes as they are; a quoted one is
// read by libcsv.
class CellText {
public:
    std::string_view operator()(std::string_view raw) {
        if (raw.empty() || raw[0] != '"') return raw;
        text_.clear();
        const auto take = [](void* s, std::size_t length, void* data) {
            static_cast<std::string*>(data)->assign(static_cast<const char*>(s), length);
        };
        csv_parse(&parser_.p, raw.data(), raw.size(), take, nullptr, &text_);
        csv_fini(&parser_.p, take, nullptr, &text_);
        return text_;
    }

private:
    Parser parser_;
    std::string text_;
};

std::vector<Row, LargeMemory<Row>> readCells(std::string_view text, Parse& p, const StageProgress& progress,
                                             bool& cancelled) {
    Parser reader;
    csv_parser& parser = reader.p;
    p.text = text;
    // About a cell in every 16 bytes, and a row in every 128: few regrowths.
    p.cells.reserve(text.size() / 16 + 16);
    p.rows.reserve(text.size() / 128 + 16);
    static constexpr auto kEnds = [] {
        std::array<bool, 256> t{};
        t[','] = t['\r'] = t['\n'] = true;
        return t;
    }();
    const auto fail = [&](std::size_t at) {
        if (csv_error(&parser) == CSV_ENOMEM || csv_error(&parser) == CSV_ETOOBIG) throw std::bad_alloc();
        const std::size_t line = lineOf(text, at);
        if (at >= text.size()) {
            const std::size_t opened = lineOf(text, p.fieldStart);
            throw SheetError(
                SheetError::Kind::unclosedQuote, opened, p.rowCells + 1,
                lineWord(opened) + ": a quote opened in column " + std::to_string(p.rowCells + 1) + " is never closed");
        }
        throw SheetError(SheetError::Kind::badQuote, line, p.rowCells + 1,
                         lineWord(line) + ": a quote inside column " + std::to_string(p.rowCells + 1) +
                             ", whose text is not in quotes (a quote in a cell is written \"\")");
    };
    std::size_t nextReport = std::size_t{1} << 20;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t stop = at;
        while (stop < text.size() && !kEnds[static_cast<unsigned char>(text[stop])]) ++stop;
        const std::size_t length = (stop < text.size() ? stop + 1 : stop) - at;
        p.pieceEnd = stop;
        const std::size_t done = csv_parse(&parser, text.data() + at, length, Parse::onCell, Parse::onRow, &p);
        if (p.error) throw *p.error;
        if (done != length) fail(at + done);
        at += length;
        if (at > p.fieldStart && at - p.fieldStart > kMaxCellBytes) {
            const std::size_t line = lineOf(text, p.fieldStart);
            throw SheetError(SheetError::Kind::cellTooLong, line, p.rowCells + 1,
                             lineWord(line) + ": column " + std::to_string(p.rowCells + 1) + " holds more than " +
                                 std::to_string(kMaxCellBytes) + " bytes, more than a spreadsheet's cell");
        }
        if (progress && at >= nextReport) {
            nextReport = at + (std::size_t{1} << 20);
            if (!progress(Stage::reading, at, text.size())) {
                cancelled = true;
                return {};
            }
        }
    }
    p.pieceEnd = text.size();
    if (csv_fini(&parser, Parse::onCell, Parse::onRow, &p) != 0) fail(text.size());
    if (p.error) throw *p.error;
    return std::move(p.rows);
}

// ---------------------------------------------------------------- texts

struct Text {
    Encoding encoding;
    // UTF-8 of the file's text (cells, headers).
    std::string utf8(std::string_view s) const {
        if (encoding != Encoding::cp932) return std::string(s);
        std::string out(utf8Room(s.size()), '\0');
        out.resize(static_cast<std::size_t>(cp932ToUtf8(s, out.data()) - out.data()));
        return out;
    }
    // The file's text of UTF-8.
    std::string file(std::string_view utf8) const {
        return encoding == Encoding::cp932 ? utf8ToCp932(utf8) : std::string(utf8);
    }
};

bool startsWithPrefecture(std::string_view s) {
    static constexpr std::array<std::string_view, 47> kPrefectures = {
        "北海道", "青森県", "岩手県", "宮城県",   "秋田県", "山形県",   "福島県", "茨城県", "栃木県", "群馬県",
        "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県",   "石川県", "福井県", "山梨県", "長野県",
        "岐阜県", "静岡県", "愛知県", "三重県",   "滋賀県", "京都府",   "大阪府", "兵庫県", "奈良県", "和歌山県",
        "鳥取県", "島根県", "岡山県", "広島県",   "山口県", "徳島県",   "香川県", "愛媛県", "高知県", "福岡県",
        "佐賀県", "長崎県", "熊本県", "大分県",   "宮崎県", "鹿児島県", "沖縄県"};
    while (s.starts_with(" ") || s.starts_with("\xE3\x80\x80")) s.remove_prefix(s[0] == ' ' ? 1 : 3);
    if (s.starts_with("\xE3\x80\x92")) s.remove_prefix(3);  // 〒
    return std::any_of(kPrefectures.begin(), kPrefectures.end(), [&](std::string_view p) { return s.starts_with(p); });
}

// A cell that reads as an address: it begins with a prefecture, or names a
// city, ward or district with a number after it.
bool looksLikeAddress(std::string_view s) {
    if (startsWithPrefecture(s)) return true;
    for (const std::string_view unit : {"市", "区", "郡"}) {
        const auto at = s.find(unit);
        if (at == std::string_view::npos) continue;
        const std::string_view rest = s.substr(at + unit.size());
        if (std::any_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            rest.find("\xEF\xBC") != std::string_view::npos)  // full-width digits and dashes
            return true;
    }
    return false;
}

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The 7 digits of a code as people write it (〒, hyphens and dashes, full-width
// digits, spaces), or empty when it is no code.
std::string codeDigits(std::string_view s) {
    std::string digits;
    for (std::size_t i = 0; i < s.size();) {
        const auto ch = utf8::decode(s, i);
        if (!ch) return {};
        const char32_t c = ch->cp;
        if (c >= '0' && c <= '9') {
            digits += static_cast<char>(c);
        } else if (c >= 0xFF10 && c <= 0xFF19) {
            digits += static_cast<char>('0' + (c - 0xFF10));
        } else if (!(c == '-' || c == ' ' || c == 0x3000 || c == 0x3012 || c == 0xFF0D || c == 0x2212 || c == 0x2010 ||
                     c == 0x30FC)) {
            return {};
        }
        i += ch->length;
    }
    return digits.size() == 7 ? digits : std::string();
}

// How the sheet writes its codes: "1000001", "100-0001", "〒100-0001".
struct CodeStyle {
    bool hyphen = false;
    bool mark = false;
    std::string write(std::string_view code) const {
        std::string out = mark ? "〒" : "";
        if (hyphen && code.size() == 7) return out.append(code.substr(0, 3)).append("-").append(code.substr(3));
        return out.append(code);
    }
};

CodeStyle styleOf(std::string_view utf8) {
    CodeStyle style;
    if (utf8.starts_with("〒")) {
        style.mark = true;
        utf8.remove_prefix(std::string_view("〒").size());
    }
    style.hyphen = utf8.size() == 8 && utf8[3] == '-' && allDigits(utf8.substr(0, 3)) && allDigits(utf8.substr(4));
    return style;
}

// A new cell: quoted by libcsv only when its text needs it.
template <typename Out>
void appendCell(Out& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + 2 * text.size() + 2);
    out.resize(at + csv_write(out.data() + at, out.size() - at, text.data(), text.size()));
}

}  // namespace

const char* encodingName(Encoding e) {
    switch (e) {
    case Encoding::utf8: return "UTF-8";
    case Encoding::utf8Bom: return "UTF-8 with a byte-order mark";
    case Encoding::cp932: return "code page 932 (Shift_JIS)";
    }
    return "";
}

Encoding detectEncoding(std::string_view input) {
    if (const auto nul = input.find('\0'); nul != std::string_view::npos) {
        const std::size_t line = lineOf(input, nul);
        throw SheetError(SheetError::Kind::nulByte, line, 0, lineWord(line) + ": a NUL byte, which no text holds");
    }
    const bool bom = input.starts_with(kBom);
    const std::string_view body = bom ? input.substr(kBom.size()) : input;
    if (utf8::valid(body)) return bom ? Encoding::utf8Bom : Encoding::utf8;
    const std::size_t utf8Bad = firstBadLine(body, [](std::string_view l) { return utf8::valid(l); });
    if (bom) {
        throw SheetError(SheetError::Kind::notText, utf8Bad, 0,
                         lineWord(utf8Bad) + ": not UTF-8 text, though the file begins with UTF-8's byte-order mark");
    }
    if (validCp932(body)) return Encoding::cp932;
    const std::size_t cpBad = firstBadLine(body, validCp932);
    // The reading that gets further names the line.
    const bool asUtf8 = utf8Bad >= cpBad;
    const std::size_t line = asUtf8 ? utf8Bad : cpBad;
    throw SheetError(SheetError::Kind::notText, line, 0,
                     lineWord(line) +
                         ": neither UTF-8 nor code page 932 (Shift_JIS) text (the lines before it read as " +
                         (asUtf8 ? "UTF-8" : "code page 932") + ")");
}

std::string summaryLine(const Summary& s, bool check) {
    std::string out = std::to_string(s.rows) + " rows, " + std::to_string(s.filled) + " filled, " +
                      std::to_string(s.toNumber) + " understood to the number, " + std::to_string(s.ambiguous) +
                      " ambiguous, " + std::to_string(s.notFound) + " not found";
    if (s.empty) out += ", " + std::to_string(s.empty) + " without an address";
    if (check) out += ", " + std::to_string(s.kept) + " codes kept, " + std::to_string(s.differ) + " disagree";
    return out;
}

std::string choiceLine(const Converted& c) {
    std::string out = "address column " + std::to_string(c.addressColumn + 1);
    if (!c.addressHeader.empty()) out += " (" + c.addressHeader + ")";
    if (c.addressColumnFound) {
        out += c.addressHeader.find("住所") != std::string::npos ? ", the first whose header holds 住所"
                                                                 : ", the first whose cells look like addresses";
    }
    if (c.codeColumnUsed) out += "; codes in column " + std::to_string(c.codeColumn + 1);
    return out;
}

Converted convert(std::string_view input, const Options& options, AddressAnswerer& answerer,
                  const StageProgress& progress) {
    Converted result;
    result.encoding = detectEncoding(input);
    const Text text{result.encoding};
    const std::string_view bom = result.encoding == Encoding::utf8Bom ? kBom : std::string_view();
    const std::string_view body = input.substr(bom.size());

    Parse parse;
    const std::vector<Row, LargeMemory<Row>> rows = readCells(body, parse, progress, result.cancelled);
    if (result.cancelled) return result;
    CellText cellText;
    const auto cell = [&](const Row& r, std::size_t column) -> std::optional<std::string_view> {
        if (column >= r.cells) return std::nullopt;
        const Cell& c = parse.cells[r.firstCell + column];
        return cellText(body.substr(c.rawBegin, c.rawEnd - c.rawBegin));
    };
    const auto utf8Cell = [&](const Row& r, std::size_t column) {
        const auto v = cell(r, column);
        return v ? text.utf8(*v) : std::string();
    };

    std::vector<std::size_t> filled;  // the rows with cells, in order
    std::size_t width = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].cells == 0) continue;
        filled.push_back(i);
        width = std::max(width, rows[i].cells);
    }
    if (filled.empty()) throw SheetError(SheetError::Kind::noRows, 0, 0, "no rows: the file holds no cells");
    const Row& first = rows[filled.front()];
    const std::size_t firstLine = lineOf(body, first.begin);

    // A column named by its number from 1, or by its header text.
    const auto named = [&](const std::string& name, const char* what) -> std::size_t {
        if (allDigits(name)) {
            const unsigned long n = name.size() > 6 ? 0 : std::stoul(name);
            if (n < 1 || n > width) {
                throw SheetError(SheetError::Kind::noSuchColumn, 0, 0,
                                 std::string("no ") + what + " column " + name + ": the sheet has " +
                                     std::to_string(width) + " columns");
            }
            return n - 1;
        }
        for (std::size_t c = 0; c < first.cells; ++c) {
            if (utf8Cell(first, c) == name) return c;
        }
        throw SheetError(SheetError::Kind::noSuchColumn, firstLine, 0,
                         std::string("no ") + what + " column named \"" + name + "\" in the first row");
    };

    // The address column.
    bool header = false;
    if (!options.column.empty()) {
        result.addressColumn = named(options.column, "address");
        header = !allDigits(options.column) || !looksLikeAddress(utf8Cell(first, result.addressColumn));
    } else {
        result.addressColumnFound = true;
        std::optional<std::size_t> found;
        for (std::size_t c = 0; c < first.cells && !found; ++c) {
            if (utf8Cell(first, c).find("住所") != std::string::npos) found = c;
        }
        header = found.has_value();
        for (std::size_t c = 0; c < width && !found; ++c) {
            std::size_t seen = 0, addresses = 0;
            for (std::size_t k = 0; k < filled.size() && seen < 50; ++k) {
                const std::string v = utf8Cell(rows[filled[k]], c);
                if (v.empty()) continue;
                ++seen;
                if (looksLikeAddress(v)) ++addresses;
            }
            if (seen && addresses * 2 > seen) found = c;
        }
        if (!found) {
            throw SheetError(SheetError::Kind::noAddressColumn, 0, 0,
                             "no column of addresses found (no header holds 住所, and no column's cells look like "
                             "addresses): name it with --column");
        }
        result.addressColumn = *found;
        if (!header) header = !looksLikeAddress(utf8Cell(first, result.addressColumn));
    }
    if (header) result.addressHeader = utf8Cell(first, result.addressColumn);

    // The column of codes: named, or found by its header for its style and --check.
    std::optional<std::size_t> codeColumn;
    if (!options.codeColumn.empty()) {
        codeColumn = named(options.codeColumn, "code");
    } else if (header) {
        for (std::size_t c = 0; c < first.cells && !codeColumn; ++c) {
            const std::string h = utf8Cell(first, c);
            if (c != result.addressColumn &&
                (h.find("郵便番号") != std::string::npos || h.find("〒") != std::string::npos))
                codeColumn = c;
        }
    }
    if (options.check && !codeColumn) {
        throw SheetError(SheetError::Kind::noCodeColumn, 0, 0,
                         "--check needs a column of codes: name it with --code-column");
    }
    if (codeColumn && *codeColumn == result.addressColumn) {
        throw SheetError(SheetError::Kind::noSuchColumn, 0, 0, "the column of codes is the address column");
    }
    const bool fill = !options.codeColumn.empty() || options.check;
    result.codeColumnUsed = fill;
    if (codeColumn) result.codeColumn = *codeColumn;
    CodeStyle style;
    if (codeColumn) {
        for (std::size_t k = header ? 1 : 0; k < filled.size(); ++k) {
            const std::string v = utf8Cell(rows[filled[k]], *codeColumn);
            if (!codeDigits(v).empty()) {
                style = styleOf(v);
                break;
            }
        }
    }

    // The addresses, asked all at once.
    // A UTF-8 cell without quotes is its own text, in the file's bytes; the
    // others are kept one after the other in `texts`.
    const std::size_t dataFrom = header ? 1 : 0;
    std::vector<std::size_t> asked(filled.size(), SIZE_MAX);  // row k's place in `addresses`
    std::vector<std::pair<std::size_t, std::size_t>> kept;    // in `texts`, or npos and the cell
    std::string texts;
    for (std::size_t k = dataFrom; k < filled.size(); ++k) {
        const Row& r = rows[filled[k]];
        if (result.addressColumn >= r.cells) continue;
        const Cell& c = parse.cells[r.firstCell + result.addressColumn];
        if (c.rawEnd == c.rawBegin) continue;
        asked[k] = kept.size();
        if (text.encoding != Encoding::cp932 && body[c.rawBegin] != '"') {
            kept.emplace_back(std::string::npos, k);
            continue;
        }
        const std::string a = utf8Cell(r, result.addressColumn);
        if (a.empty()) {
            asked[k] = SIZE_MAX;
            continue;
        }
        kept.emplace_back(texts.size(), a.size());
        texts += a;
    }
    std::vector<std::string_view> addresses;
    addresses.reserve(kept.size());
    for (const auto& [at, n] : kept) {
        if (at != std::string::npos) {
            addresses.push_back(std::string_view(texts).substr(at, n));
        } else {
            const Row& r = rows[filled[n]];
            const Cell& c = parse.cells[r.firstCell + result.addressColumn];
            addresses.push_back(body.substr(c.rawBegin, c.rawEnd - c.rawBegin));
        }
    }
    std::vector<AddressAnswer> answers;
    const ProgressFn answering = [&](std::uint64_t done, std::uint64_t total) {
        return !progress || progress(Stage::answering, done, total);
    };
    if (!answerer.answerAll(addresses, answers, answering) || answers.size() != addresses.size()) {
        result.cancelled = true;
        return result;
    }

    // The output: every row's bytes as they were, the new cells after them.
    const std::string codeHeader = text.file("郵便番号");
    const std::string checkHeader = text.file("確認");
    Bytes& out = result.bytes;
    out.reserve(input.size() + input.size() / 4 + 64 * rows.size());
    out.append(bom);
    std::size_t k = 0;  // rows with cells so far
    std::string code, note;
    for (const Row& r : rows) {
        if (r.cells == 0) {
            out.append(body.substr(r.begin, r.termEnd - r.begin));
            continue;
        }
        const bool isHeader = header && k == 0;
        code.clear();
        note.clear();
        bool writeCode = false;  // into the column of codes
        if (isHeader) {
            code = codeHeader;
            note = checkHeader;
        } else {
            Summary& s = result.summary;
            ++s.rows;
            const std::string existing = fill ? utf8Cell(r, *codeColumn) : std::string();
            const bool hasCode = fill && !existing.empty();
            if (asked[k] == SIZE_MAX) {
                ++s.empty;
                note = "no address";
            } else {
                const AddressAnswer& a = answers[asked[k]];
                using L = AddressAnswer::Level;
                if (a.level >= L::number && a.level <= L::floor) ++s.toNumber;
                if (a.level == L::ambiguous) ++s.ambiguous;
                // Understood only to the prefecture, or to a municipality
                // without a record of its own: no code, so not found either.
                if (a.level != L::ambiguous && a.code.empty()) ++s.notFound;
                std::string described;  // the answer for 確認
                if (a.level == L::ambiguous) {
                    described = "ambiguous";
                    for (const std::string& c : a.candidates) described += " " + style.write(c);
                } else if (a.level == L::none || (a.level < L::town)) {
                    described = levelWord(a.level);
                }
                if (hasCode) {
                    ++s.kept;
                    const std::string given = codeDigits(existing);
                    const bool agrees = a.level == L::ambiguous ? std::find(a.candidates.begin(), a.candidates.end(),
                                                                            given) != a.candidates.end()
                                                                : !a.code.empty() && given == a.code;
                    const bool checkable = a.level == L::ambiguous || (!a.code.empty() && a.level >= L::town);
                    if (checkable && !agrees) {
                        ++s.differ;
                        note = "differs: " + (a.level == L::ambiguous ? described : style.write(a.code));
                    } else if (!agrees) {
                        note = described;
                    }
                } else {
                    if (!a.code.empty()) {
                        code = style.write(a.code);
                        ++s.filled;
                    }
                    note = described;
                }
            }
            writeCode = fill && !hasCode && !code.empty();
            code = text.file(code);
            note = text.file(note);
        }
        // The row as it was, with the code put into its empty cell.
        if (writeCode && *codeColumn < r.cells) {
            const Cell& c = parse.cells[r.firstCell + *codeColumn];
            const bool quoted = c.rawEnd > c.rawBegin && body[c.rawBegin] == '"';
            out.append(body.substr(r.begin, c.rawBegin - r.begin));
            if (quoted) out.append("\"");
            out.append(code);
            if (quoted) out.append("\"");
            out.append(body.substr(c.rawEnd, r.end - c.rawEnd));
        } else {
            out.append(body.substr(r.begin, r.end - r.begin));
        }
        for (std::size_t c = r.cells; c < width; ++c) {
            out.append(",");
            if (writeCode && c == *codeColumn) out.append(code);
        }
        if (!fill) {
            out.append(",");
            appendCell(out, code);
        }
        out.append(",");
        appendCell(out, note);
        out.append(body.substr(r.end, r.termEnd - r.end));
        ++k;
    }
    return result;
}

}  // namespace tenmari::sheet
