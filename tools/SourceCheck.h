#pragma once
// The strict check of Japan Post's nationwide file before it becomes the
// Jisho folder. The lookup reads any bytes leniently; the builder refuses
// a source that is plainly not that file, naming the line, so that a good
// folder is never replaced by a truncated download, a regional file or
// something else altogether.

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "Regions.h"

namespace tenmari::jisho {

// Why nothing was written. The text names the source (or folder) and the
// reason, and the line where there is one.
class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A source refused by the check; `line` counts from 1, 0 for the file as a whole.
class SourceError : public BuildError {
public:
    SourceError(const std::string& what, std::uint64_t line) : BuildError(what), line_(line) {}
    std::uint64_t line() const { return line_; }

private:
    std::uint64_t line_;
};

// Lines per file, by region index (0 is the nationwide file).
using LineCounts = std::array<std::uint64_t, kRegionCount>;

struct SourceLimits {
    std::size_t maxLine = 64 * 1024;        // bytes of one line, its line end included
    std::uint64_t maxBytes = 256ull << 20;  // the whole source (Japan Post's is 12 MB)
};

// Fed the source in pieces of any size; hands each line, in code page 932
// with its own line end, to the sink together with its region (1..9).
//
// A source is code page 932, or UTF-8 (Japan Post's UTF-8 edition) when it
// starts with a byte order mark or its first line is UTF-8 with characters
// beyond ASCII; UTF-8 lines are converted. Every line must:
//   - end in LF or CR LF (the last one may have no line end), hold no other
//     CR, not be blank and not be longer than the limit;
//   - have exactly 15 comma-separated fields, each either without quotes or
//     quoted whole (inner quotes doubled); the fields the lookup reads (old
//     code, code, prefecture, municipality, town area) quoted; a 7-digit code;
//   - be code page 932 text, or UTF-8 that converts to it;
//   - name a prefecture of one of the nine regions.
// A 0x1A may only be the source's last byte. At the end every region must
// have lines: a source without them is no nationwide file.
class SourceCheck {
public:
    using Sink = std::function<void(std::string_view line, int region)>;

    SourceCheck(std::string name, Sink sink, SourceLimits limits = {});

    // Throws SourceError at the first fault.
    void feed(std::string_view bytes);
    // The end of the source; throws SourceError. Returns the line counts.
    LineCounts finish();

    bool isUtf8() const { return encoding_ == Encoding::Utf8; }
    // Whether the source ended in the end-of-file byte 0x1A (not handed out as a line).
    bool endsWithEndMark() const { return endMark_; }

private:
    enum class Encoding { Unknown, Cp932, Utf8 };

    [[noreturn]] void refuse(std::uint64_t line, const std::string& what) const;
    void takeLine(std::string_view bytes);   // one line with its line end (if any)
    int checkFields(std::string_view text);  // the region

    std::string name_;
    Sink sink_;
    SourceLimits limits_;
    Encoding encoding_ = Encoding::Unknown;
    std::string pending_;  // the unfinished line
    std::string converted_;
    std::uint64_t total_ = 0;
    std::uint64_t line_ = 0;  // lines handed out so far
    bool endMark_ = false;
    bool finished_ = false;
    LineCounts counts_{};
};

}  // namespace tenmari::jisho
