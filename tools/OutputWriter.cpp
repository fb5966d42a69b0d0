#include "OutputWriter.h"

#include <algorithm>
#include <cstring>

#include "Batch.h"  // fullWidthKana
#include "Cp932.h"
#include "LookupOptions.h"
#include "WriteOut.h"

namespace tenmari::lookupcli {
namespace {

// The most bytes a cell can take once written.
std::size_t most(const Cell& cell, bool sjis) {
    switch (cell.form) {
    case CellForm::text: return cell.bytes.size();
    // A half-width katakana (one byte) may become a full-width one (two).
    case CellForm::reading: return sjis ? 2 * cell.bytes.size() : utf8Room(cell.bytes.size());
    case CellForm::record: return sjis ? cell.bytes.size() : utf8Room(cell.bytes.size());
    }
    return 0;
}

}  // namespace

OutputWriter::OutputWriter(bool sjis, std::size_t flushAt, int fd)
    : sjis_(sjis), flushAt_(flushAt), fd_(fd), buf_(2 * flushAt) {}

char* OutputWriter::room(std::size_t n) {
    if (used_ + n > buf_.size()) {
        if (used_ > 0) flush();
        if (n > buf_.size()) buf_.resize(n);
    }
    return buf_.data() + used_;
}

char* OutputWriter::put(const Cell& cell, char* o) {
    if (cell.form == CellForm::text || (cell.form == CellForm::record && sjis_)) {
        return std::copy(cell.bytes.begin(), cell.bytes.end(), o);
    }
    if (cell.form == CellForm::record) return cp932ToUtf8(cell.bytes, o);
    if (sjis_) {
        // Bytes that are not code page 932 go out as they are, as the rest of the record's.
        try {
            kana_ = utf8ToCp932(batch::fullWidthKana(cp932ToUtf8(cell.bytes)));
        } catch (const EncodingError&) {
            kana_.assign(cell.bytes);
        }
        return std::copy(kana_.begin(), kana_.end(), o);
    }
    // A reading: to UTF-8 in place, then full-width (never longer than the half-width text).
    char* const at = o;
    o = cp932ToUtf8(cell.bytes, o);
    kana_ = batch::fullWidthKana(std::string_view(at, static_cast<std::size_t>(o - at)));
    return std::copy(kana_.begin(), kana_.end(), at);
}

bool OutputWriter::line(std::span<const Cell> cells) {
    std::size_t n = cells.size() + 1;  // the TABs and the LF
    for (const Cell& c : cells) n += most(c, sjis_);
    char* const begin = room(n);
    char* o = begin;
    try {
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (k > 0) *o++ = '\t';
            o = put(cells[k], o);
        }
    } catch (const EncodingError&) {
        return false;  // nothing of the line is kept: used_ is unchanged
    }
    *o++ = '\n';
    used_ = static_cast<std::size_t>(o - buf_.data());
    if (used_ >= flushAt_) flush();
    return true;
}

int OutputWriter::flush() {
    if (error_ == 0 && used_ > 0) error_ = writeOut(std::string_view(buf_.data(), used_), fd_);
    used_ = 0;
    return error_;
}

std::string firstBadBytes(std::string_view cp932) {
    for (std::size_t i = 0; i < cp932.size();) {
        const std::size_t n = charSizeAt(cp932, i);
        try {
            cp932ToUtf8(cp932.substr(i, n));
        } catch (const EncodingError&) {
            std::string shown;
            for (std::size_t k = 0; k < n; ++k)
                shown += (k ? " 0x" : "0x") + hexByte(static_cast<unsigned char>(cp932[i + k])).substr(2);
            return shown;
        }
        i += n;
    }
    return "some bytes";
}

}  // namespace tenmari::lookupcli
