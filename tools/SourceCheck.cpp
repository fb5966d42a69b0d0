#include "SourceCheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Cp932.h"
#include "DictionaryFields.h"
#include "Utf8.h"

namespace tenmari::jisho {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kEndMark = 0x1A;

// Field indices the lookup reads, with their names; all must be quoted.
struct ReadField {
    int index;
    const char* name;
};
constexpr ReadField kReadFields[] = {
    {fields::kOldCode, "the old postal code"}, {fields::kCode, "the postal code"},
    {fields::kPrefecture, "the prefecture"},   {fields::kMunicipality, "the municipality"},
    {fields::kTownArea, "the town area"},
};

std::string hex(unsigned char b) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("\\x") + kHex[b >> 4] + kHex[b & 0xF];
}

// A field as the user can read it: UTF-8, or escaped bytes when it is not
// code page 932 text; long garbage is cut short.
std::string readable(std::string_view cp932) {
    constexpr std::size_t kMax = 40;
    const bool cut = cp932.size() > kMax;
    if (cut) cp932 = cp932.substr(0, kMax);
    std::string text;
    try {
        text = cp932ToUtf8(cp932);
        for (char c : text) {
            if (static_cast<unsigned char>(c) < 0x20) throw EncodingError("control character");
        }
    } catch (const EncodingError&) {
        text.clear();
        for (char c : cp932) {
            const auto b = static_cast<unsigned char>(c);
            text += (b >= 0x20 && b < 0x7F) ? std::string(1, c) : hex(b);
        }
    }
    return cut ? text + "..." : text;
}

// Why a UTF-8 line does not convert: its first bad byte or character.
std::string whyNotConvertible(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto ch = utf8::decode(text, i);
        if (!ch) return "the byte " + hex(static_cast<unsigned char>(text[i])) + " begins no UTF-8 character";
        try {
            utf8ToCp932(text.substr(i, ch->length));
        } catch (const EncodingError&) {
            char cp[16];
            std::snprintf(cp, sizeof cp, "U+%04X", static_cast<unsigned>(ch->cp));
            return std::string(cp) + " has no form in code page 932";
        }
        i += ch->length;
    }
    return "it does not convert to code page 932";
}

// Where a line stops being code page 932 text: the bytes and their position.
std::string whereNotCp932(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = charSizeAt(text, i);
        try {
            cp932ToUtf8(text.substr(i, n));
        } catch (const EncodingError&) {
            std::string bytes;
            for (std::size_t k = 0; k < n; ++k) bytes += hex(static_cast<unsigned char>(text[i + k]));
            return "the bytes " + bytes + " at byte " + std::to_string(i + 1);
        }
        i += n;
    }
    return "it does not convert";
}

}  // namespace

SourceCheck::SourceCheck(std::string name, Sink sink, SourceLimits limits)
    : name_(std::move(name)), sink_(std::move(sink)), limits_(limits) {}

void SourceCheck::refuse(std::uint64_t line, const std::string& what) const {
    if (line == 0) throw SourceError(name_ + ": " + what, 0);
    throw SourceError(name_ + ": line " + std::to_string(line) + ": " + what, line);
}

void SourceCheck::feed(std::string_view bytes) {
    if (bytes.empty()) return;
    if (endMark_) refuse(line_ + 1, "data after the end-of-file byte 0x1A");
    total_ += bytes.size();
    if (total_ > limits_.maxBytes) {
        refuse(0, "larger than " + std::to_string(limits_.maxBytes >> 20) +
                      " MB: not Japan Post's postal-code file (theirs is about 12 MB)");
    }
    if (const void* z = std::memchr(bytes.data(), kEndMark, bytes.size())) {
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(z) - bytes.data());
        total_ -= bytes.size();  // counted again by the call below
        feed(bytes.substr(0, at));
        total_ += bytes.size() - at;
        if (at + 1 < bytes.size()) {
            const bool lineDone = pending_.empty();
            refuse(line_ + 1, std::string("data after the end-of-file byte 0x1A") +
                                  (lineDone ? "" : " (which stands inside the line)"));
        }
        endMark_ = true;
        return;
    }
    auto tooLong = [&](std::string_view start) {
        const bool cr = start.find('\r') != std::string_view::npos;
        refuse(line_ + 1, "longer than " + std::to_string(limits_.maxLine / 1024) + " KB" +
                              (cr ? ", with CRs but no LF: lines must end in CR LF or LF" : ""));
    };
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        const std::size_t take = nl == std::string_view::npos ? bytes.size() : nl + 1;
        if (pending_.size() + take > limits_.maxLine) tooLong(pending_.empty() ? bytes.substr(0, take) : pending_);
        if (nl == std::string_view::npos) {
            pending_.append(bytes);
            return;
        }
        if (pending_.empty()) {
            takeLine(bytes.substr(0, take));
        } else {
            pending_.append(bytes.substr(0, take));
            takeLine(pending_);
            pending_.clear();
        }
        bytes.remove_prefix(take);
    }
}

void SourceCheck::takeLine(std::string_view bytes) {
    const std::uint64_t n = line_ + 1;
    std::string_view text = bytes;
    std::string_view lineEnd;
    if (text.ends_with("\r\n")) {
        lineEnd = "\r\n";
    } else if (text.ends_with('\n')) {
        lineEnd = "\n";
    }
    text.remove_suffix(lineEnd.size());
    if (text.find('\r') != std::string_view::npos) {
        refuse(n, "a CR that is not followed by LF: lines must end in CR LF or LF");
    }
    if (n == 1 && text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
        encoding_ = Encoding::Utf8;
    }
    if (text.empty()) refuse(n, "a blank line");

    if (encoding_ == Encoding::Unknown) {
        const bool ascii = std::none_of(text.begin(), text.end(), [](char c) { return c & 0x80; });
        encoding_ = !ascii && utf8::valid(text) ? Encoding::Utf8 : Encoding::Cp932;
    }
    std::string_view cp932 = text;
    if (encoding_ == Encoding::Utf8) {
        try {
            converted_ = utf8ToCp932(text);
        } catch (const EncodingError&) {
            refuse(n, "not UTF-8 text that code page 932 can hold, as the source's first line is: " +
                          whyNotConvertible(text));
        }
        cp932 = converted_;
    } else {
        try {
            cp932ToUtf8(text);
        } catch (const EncodingError&) {
            refuse(n, "not code page 932 text: " + whereNotCp932(text));
        }
    }

    const int region = checkFields(cp932);
    line_ = n;
    ++counts_[0];
    ++counts_[static_cast<std::size_t>(region)];
    if (encoding_ == Encoding::Utf8) {
        converted_.append(lineEnd);
        sink_(converted_, region);
    } else {
        sink_(bytes, region);
    }
}

int SourceCheck::checkFields(std::string_view text) {
    const std::uint64_t n = line_ + 1;
    std::array<std::string_view, fields::kCount> raw{};
    std::size_t count = 0;
    for (std::string_view rest = text;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view piece = rest.substr(0, comma);
        if (count < raw.size()) raw[count] = piece;
        ++count;
        // Unquoted without any quote, or quoted whole with inner quotes doubled.
        if (piece.find('"') != std::string_view::npos) {
            const std::string field = "field " + std::to_string(count);
            if (piece.front() != '"') refuse(n, field + " has a quote inside an unquoted value");
            std::size_t i = 1;
            while (i < piece.size()) {
                if (piece[i] != '"') {
                    ++i;
                } else if (i + 1 < piece.size() && piece[i + 1] == '"') {
                    i += 2;
                } else {
                    break;
                }
            }
            if (i >= piece.size()) {
                refuse(n, field + " has no closing quote (a cut-off line, or a comma inside quotes)");
            }
            if (i + 1 != piece.size()) refuse(n, field + " has text after its closing quote");
        }
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (count != fields::kCount) {
        refuse(n, std::to_string(count) + " fields, not " + std::to_string(fields::kCount) +
                      (count < fields::kCount ? " (a cut-off line?)" : ""));
    }
    for (const ReadField& f : kReadFields) {
        if (!raw[static_cast<std::size_t>(f.index)].starts_with('"')) {
            refuse(n, "field " + std::to_string(f.index + 1) + ", " + f.name + ", is not quoted");
        }
    }
    std::string scratch;
    const std::string_view code = fields::unquote(raw[fields::kCode], scratch);
    if (code.size() != 7 || !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        refuse(n, "the postal code \"" + readable(code) + "\" is not 7 digits");
    }
    const std::string_view prefecture = fields::unquote(raw[fields::kPrefecture], scratch);
    const int region = regionOfPrefectureCp932(prefecture);
    if (region < 0) {
        if (prefecture.empty()) refuse(n, "no prefecture (field 7 is empty)");
        refuse(n, "the prefecture \"" + readable(prefecture) + "\" belongs to no region");
    }
    return region;
}

LineCounts SourceCheck::finish() {
    if (!finished_) {
        finished_ = true;
        if (!pending_.empty()) {
            const std::string last = std::move(pending_);
            pending_.clear();
            takeLine(last);
        }
    }
    if (counts_[0] == 0) refuse(0, "no records");
    std::string missing;
    for (const Region& r : regions()) {
        if (r.index == kNationwide || counts_[static_cast<std::size_t>(r.index)] > 0) continue;
        missing += (missing.empty() ? "" : ", ") + std::string(r.item);
    }
    if (!missing.empty()) {
        refuse(0, "no lines for " + missing + ": not Japan Post's nationwide file (a regional file, or a part of it?)");
    }
    return counts_;
}

}  // namespace tenmari::jisho
