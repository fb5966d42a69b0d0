#pragma once
// What the lookup hands out for each matching line of a dictionary: one
// record at a time, in file order, to a sink. Every text is a view of code
// page 932 bytes, valid only until the sink returns; copy what must last.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "SinkCall.h"

#include "MatchRules.h"  // TextParts

namespace tenmari {

struct MatchRecord {
    std::string_view code;                 // field index 2, the 7-digit postal code
    std::string_view address;              // the address text by the pick-out (prefecture with poptAll,
                                           // municipality, town area unless "以下に掲載がない場合");
                                           // empty for a sink that wants only its parts
    TextParts addressParts;                // the same text as its three parts
    std::string_view prefectureReading;    // field index 3 (column 4), half-width katakana as in the file
    std::string_view municipalityReading;  // field index 4 (column 5)
    std::string_view townAreaReading;      // field index 5 (column 6)
    std::string_view reading;              // the reading of the address text: the same parts' readings
    std::uint64_t line = 0;                // line number in the file, counting from 1 (0 when not asked for)
    std::uint64_t offset = 0;              // byte offset of the line's first byte in the file
};

// Receives the matches of one query. Return false to end the pass early
// (no further record is read); true to go on.
class MatchSink {
public:
    virtual ~MatchSink() = default;
    virtual bool take(const MatchRecord& record) = 0;
    // Whether the records need their readings. A sink that says no gets them
    // empty, and the pass is spared cutting each matching line whole.
    virtual bool wantsReadings() const { return true; }
    // Whether the records need `address` made; a sink that makes the text
    // itself from `addressParts` (in place, in its own storage) says no.
    virtual bool wantsAddress() const { return true; }
    // Whether the records need their line numbers (counting them costs a
    // look at every byte between the matches); without, `line` is 0.
    virtual bool wantsLineNumbers() const { return true; }
    // Before the first record of a pass that reads to the end: about how
    // many will come (a hint, for room taken once).
    virtual void expect(std::size_t /*records*/) {}
};

// A sink from any callable taking the record and returning bool (or void: go on).
template <typename Fn>
class MatchSinkFn final : public MatchSink {
public:
    explicit MatchSinkFn(Fn fn, bool readings = true) : fn_(std::move(fn)), readings_(readings) {}
    bool wantsReadings() const override { return readings_; }
    bool take(const MatchRecord& record) override { return callSink(fn_, record); }

private:
    Fn fn_;
    bool readings_;
};

}  // namespace tenmari
