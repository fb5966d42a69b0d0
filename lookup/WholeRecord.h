#pragma once
// A record of a dictionary as people mean it. Japan Post splits a long town
// area over several lines of the same code (a "split run": the first line
// opens a "（" that a later one closes); a whole record is such a run joined
// into one, or a line of its own. Its town area is given without the note
// (cut before the first "（" by cutBeforeNote), and the note beside it.
// Texts are code page 932 bytes, views valid only until the sink returns.

#include <cstdint>
#include <string_view>
#include <utility>

#include "SinkCall.h"

namespace tenmari {

class DictionaryReader;

struct WholeRecord {
    std::string_view code;          // field 2: the 7-digit postal code
    std::string_view oldCode;       // field 1: the old 3- or 5-digit code, blank-padded to 5 bytes
    std::string_view prefecture;    // field 6
    std::string_view municipality;  // field 7
    std::string_view townArea;  // field 8 over the run, before its note; may be "以下に掲載がない場合" (kNotListed)
    std::string_view note;               // from the first "（" on, over the run, brackets included; empty without one
    std::string_view prefectureReading;  // field 3, half-width katakana as in the file
    std::string_view municipalityReading;  // field 4
    std::string_view townAreaReading;      // field 5 of the first line, before its "(" (the run's lines repeat it)
    std::uint64_t line = 0;                // the first line's number, counting from 1
    std::uint64_t lines = 1;               // how many lines the record takes (more than 1 for a split run)
};

// Receives whole records in file order; false ends the pass.
class WholeRecordSink {
public:
    virtual ~WholeRecordSink() = default;
    virtual bool take(const WholeRecord& record) = 0;
};

// A sink from any callable taking the record and returning bool (or void: go on).
template <typename Fn>
class WholeRecordSinkFn final : public WholeRecordSink {
public:
    explicit WholeRecordSinkFn(Fn fn) : fn_(std::move(fn)) {}
    bool take(const WholeRecord& record) override { return callSink(fn_, record); }

private:
    Fn fn_;
};

// One pass over the dictionary from the top, every whole record handed to
// `sink` in file order. Throws PostFileError on a read error.
void forEachWholeRecord(DictionaryReader& reader, WholeRecordSink& sink);

}  // namespace tenmari
