#pragma once
// One line of a dictionary as a record: its fields cut once (by the quick cut
// where it serves) and unquoted on demand, and the texts made of them, the
// address by the pick-out and its reading. The lookup's passes and the
// command-line tool's own pass read a record through this one class.

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "DictionaryFields.h"
#include <vector>

#include "DictionaryReader.h"
#include "MatchRules.h"
#include "scan/Scan.h"

namespace tenmari {

namespace detail {
// Copies n bytes, the short runs of a record's fields without a library call.
inline void copyBytes(char* out, const char* in, std::size_t n) {
    if (n > 32) {
        std::memcpy(out, in, n);
    } else if (n >= 16) {
        std::memcpy(out, in, 16);
        std::memcpy(out + n - 16, in + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(out, in, 8);
        std::memcpy(out + n - 8, in + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(out, in, 4);
        std::memcpy(out + n - 4, in + n - 4, 4);
    } else if (n > 0) {
        out[0] = in[0];
        out[n / 2] = in[n / 2];
        out[n - 1] = in[n - 1];
    }
}
}  // namespace detail

// One line's fields 0..8, cut once and unquoted on demand. The text has
// every CR removed first: a CR is no part of a line's text.
class RecordFields {
public:
    static constexpr int kFieldsRead = fields::kTownArea + 1;
    static constexpr unsigned kAllFields = (1u << kFieldsRead) - 1;

    // Starts on a new line; `line` excludes the LF and a CR right before it.
    // One RecordFields serves a whole file pass, so its buffers are allocated once.
    void reset(std::string_view line) {
        line_ = line;
        known_ = 0;
        if (fields::cutRead(line, raw_, plain_)) {  // the common line, fields 1, 2, 6, 7 and 8 only
            cut_ = fields::kReadFields;
            return;
        }
        cutAll();
    }

    // Field `index`, 0 to 8. One that the quick cut left out is cut now.
    std::string_view field(int index) {
        const auto i = static_cast<std::size_t>(index);
        // (Known at compile time for the fields the quick cut always cuts.)
        if ((fields::kReadFields & (1u << i)) == 0 && (cut_ & (1u << i)) == 0) cutAll();
        // A plainly quoted field needs no unquoting: its value is the text between.
        if ((plain_ & (1u << i)) != 0) return raw_[i].substr(1, raw_[i].size() - 2);
        if ((known_ & (1u << i)) == 0) {
            values_[i] = fields::unquote(raw_[i], scratch_[i]);
            known_ |= 1u << i;
        }
        return values_[i];
    }

    // The parts of the address text: prefecture (with poptAll), municipality
    // and town area, the town area left out when it is "以下に掲載がない場合".
    struct Parts {
        std::string_view pref, city, town;
        std::size_t size() const { return pref.size() + city.size() + town.size(); }
        char* copyTo(char* out) const {
            detail::copyBytes(out, pref.data(), pref.size());
            out += pref.size();
            detail::copyBytes(out, city.data(), city.size());
            out += city.size();
            detail::copyBytes(out, town.data(), town.size());
            return out + town.size();
        }
    };
    Parts parts(TPostOption pickOut) {
        Parts p{pickOut == poptAll ? field(fields::kPrefecture) : std::string_view(), field(fields::kMunicipality),
                field(fields::kTownArea)};
        if (p.town == kNotListed) p.town = {};
        return p;
    }

    std::string address(TPostOption pickOut) {
        const Parts p = parts(pickOut);
        std::string out(p.size(), '\0');
        p.copyTo(out.data());
        return out;
    }
    // The address text as a new last entry of `list`: made in place, in one
    // allocation of its exact size.
    void appendAddress(TPostOption pickOut, std::vector<std::string>& list) {
        const Parts p = parts(pickOut);
        p.copyTo(list.emplace_back(p.size(), '\0').data());
    }
    // The address text into `out`, which keeps its room from line to line.
    void address(TPostOption pickOut, std::string& out) {
        const Parts p = parts(pickOut);
        out.resize(p.size());
        p.copyTo(out.data());
    }

    // The reading from the same fields as the address text (half-width as in
    // the file); the town area's left out where the address leaves its text out.
    Parts readingParts(TPostOption pickOut) {
        const bool listed = field(fields::kTownArea) != kNotListed;
        return {pickOut == poptAll ? field(fields::kPrefectureReading) : std::string_view(),
                field(fields::kMunicipalityReading), listed ? field(fields::kTownAreaReading) : std::string_view()};
    }

private:
    // Fields 0 to 8 the plain way. The fields already cut come out the same
    // (the quick cut is the same cut), so views handed out stay right.
    void cutAll() {
        if (!fields::cutWithoutCr(line_, raw_, kFieldsRead, &plain_)) {
            fields::cut(DictionaryReader::lineText(line_, text_), raw_, kFieldsRead);
            plain_ = 0;
            known_ = 0;  // the raw fields now lie in text_: unquote them again
        }
        cut_ = kAllFields;
    }

    std::string_view line_;
    std::string text_;  // the line without its CRs, when it had any
    std::array<std::string_view, fields::kCount> raw_{};
    std::array<std::string_view, kFieldsRead> values_{};
    unsigned plain_ = 0;  // bit i: raw_[i] is plainly quoted
    unsigned known_ = 0;  // bit i: values_[i] is unquoted
    unsigned cut_ = 0;    // bit i: raw_[i] is cut
    std::array<std::string, kFieldsRead> scratch_;
};

}  // namespace tenmari
