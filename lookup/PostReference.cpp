#include "PostReference.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "Cp932.h"
#include "DictionaryFields.h"
#include "RecordFields.h"
#include "WholeRecordPass.h"
#include "scan/Scan.h"

namespace tenmari {
namespace {

using fields::kCount;
using Record = RecordFields;

// Room for n more entries, told before the lines come: no list is moved
// while it grows.
void reserveMore(TPostReference::StringList& addresses, TPostReference::StringList& codes, std::size_t n) {
    addresses.reserve(addresses.size() + n);
    codes.reserve(codes.size() + n);
}

// The address key of a record (prefecture with poptAll, municipality, town
// area) cut before its first "（", compared with the query over the shorter
// of the two lengths.
bool addressMatches(Record& rec, TPostOption pickOut, std::string_view query, std::string& key) {
    std::array<std::string_view, 3> pieces;
    std::size_t count = 0;
    if (pickOut == poptAll) pieces[count++] = rec.field(fields::kPrefecture);
    pieces[count++] = rec.field(fields::kMunicipality);
    pieces[count++] = rec.field(fields::kTownArea);

    // Where the uncut key first differs from the query, without building it.
    std::size_t at = 0;  // bytes of the query matched so far
    bool differs = false;
    bool maybeParen = false;  // a 0x81 byte at or before the difference
    for (std::size_t k = 0; k < count && at < query.size(); ++k) {
        const std::string_view piece = pieces[k];
        const std::size_t n = std::min(piece.size(), query.size() - at);
        std::size_t j = 0;
        while (j < n && piece[j] == query[at + j]) ++j;
        if (!piece.empty() && std::memchr(piece.data(), 0x81, std::min(j + 1, piece.size())) != nullptr) {
            maybeParen = true;
        }
        at += j;
        if (j < n) {
            differs = true;
            break;
        }
    }
    // Equal over the shorter length: the key cut anywhere still is.
    if (!differs) return true;
    // A difference decides unless a "（" may cut the key at or before it.
    if (!maybeParen) return false;

    key.clear();
    for (std::size_t k = 0; k < count; ++k) key.append(pieces[k]);
    const std::string_view cut = cutBeforeNote(key);
    const std::size_t len = std::min(cut.size(), query.size());
    return cut.compare(0, len, query, 0, len) == 0;
}

}  // namespace

TPostReference::TPostReference() : postFile_("Ken_all.csv") {}

void TPostReference::notFound() {
    if (OnNotPostFile) OnNotPostFile(*this);
}

namespace {

// What a query asks of a line, by one of the three rules.
class Query {
public:
    enum Rule { equal, prefix, address };

    Query(Rule rule, std::string_view query, TPostOption pickOut) : rule_(rule), pickOut_(pickOut) {
        if (rule == address) {  // used unchanged
            q_ = query;
            return;
        }
        q_ = withoutFirstHyphen(query, storage_);
        if (rule == equal && isOldCode(q_)) {
            storage_ = oldCodeField(q_);
            q_ = storage_;
            field_ = fields::kOldCode;
        }
    }

    linefilter::Probe probe() const {
        if (rule_ == address) return {pickOut_ == poptAll ? fields::kPrefecture : fields::kMunicipality, q_, true};
        return {field_, q_, false};
    }

    Rule rule() const { return rule_; }

    // Whether the line matches, by rule R (the query's own).
    template <Rule R>
    bool matches(Record& rec) {
        if constexpr (R == equal) return rec.field(field_) == q_;
        if constexpr (R == prefix) return rec.field(fields::kCode).starts_with(q_);
        if constexpr (R == address) return q_.empty() || addressMatches(rec, pickOut_, q_, key_);
    }
    bool matches(Record& rec) {
        switch (rule_) {
        case equal: return matches<equal>(rec);
        case prefix: return matches<prefix>(rec);
        case address: return matches<address>(rec);
        }
        return false;
    }

private:
    Rule rule_;
    TPostOption pickOut_;
    std::string storage_;
    std::string_view q_;
    int field_ = fields::kCode;
    std::string key_;
};

// The one pass of every query: take(rec, place) for each matching line, in
// file order, until it returns false; count(n) as forEachLine's. Line numbers
// are counted only with `countLines`.
template <Query::Rule R, typename Take, typename Count>
void passBy(DictionaryReader& reader, Query& query, bool stopsEarly, bool countLines, Take& take, Count& count) {
    Record rec;
    linefilter::forEachPlacedLine(
        reader, query.probe(), stopsEarly, countLines,
        [&](std::string_view line, const linefilter::Place& place) {
            rec.reset(line);
            return !query.matches<R>(rec) || take(rec, place);
        },
        count);
}

template <typename Take, typename Count>
void pass(DictionaryReader& reader, Query& query, bool stopsEarly, bool countLines, Take&& take, Count&& count) {
    // The rule is chosen once, not at every line.
    switch (query.rule()) {
    case Query::equal: return passBy<Query::equal>(reader, query, stopsEarly, countLines, take, count);
    case Query::prefix: return passBy<Query::prefix>(reader, query, stopsEarly, countLines, take, count);
    case Query::address: return passBy<Query::address>(reader, query, stopsEarly, countLines, take, count);
    }
}

// Hands each match to `sink` as a record; with `firstOnly` the first alone.
// Returns whether there was one.
bool passToSink(DictionaryReader& reader, Query& query, TPostOption pickOut, bool firstOnly, MatchSink& sink) {
    std::string address;  // reused: one allocation for the longest
    MatchRecord record;
    const bool readings = sink.wantsReadings();
    bool found = false;
    pass(
        reader, query, firstOnly, true,
        [&](Record& rec, const linefilter::Place& place) {
            rec.address(pickOut, address);
            record.code = rec.field(fields::kCode);
            record.address = address;
            if (readings) {
                record.prefectureReading = rec.field(fields::kPrefectureReading);
                record.municipalityReading = rec.field(fields::kMunicipalityReading);
                record.townAreaReading = rec.field(fields::kTownAreaReading);
            }
            record.line = place.line;
            record.offset = place.offset;
            found = true;
            return sink.take(record) && !firstOnly;
        },
        [](std::size_t) {});
    return found;
}

// A matching record as the last entries of a listing's two lists.
void listRecord(Record& rec, TPostOption pickOut, TPostReference::StringList& addresses,
                TPostReference::StringList& codes) {
    codes.emplace_back(rec.field(fields::kCode));
    rec.appendAddress(pickOut, addresses);
}

}  // namespace

std::string TPostReference::PostToAddress(std::string_view query) {
    const auto reader = DictionaryReader::open(postFile_);
    if (!reader) {
        notFound();
        return {};
    }
    Query q(Query::equal, query, pickOut_);
    std::string result;
    bool found = false;
    pass(
        *reader, q, true, false,
        [&](Record& rec, const linefilter::Place&) {
            result = rec.address(pickOut_);
            found = true;
            return false;
        },
        [](std::size_t) {});
    if (found) return result;
    notFound();
    return {};
}

void TPostReference::listPass(int rule, std::string_view query, StringList& addresses, StringList& codes) {
    addresses.clear();
    codes.clear();
    const auto reader = DictionaryReader::open(postFile_);
    if (!reader) {
        notFound();
        return;
    }
    Query q(static_cast<Query::Rule>(rule), query, pickOut_);
    pass(
        *reader, q, false, false,
        [&](Record& rec, const linefilter::Place&) {
            listRecord(rec, pickOut_, addresses, codes);
            return true;
        },
        [&](std::size_t n) { reserveMore(addresses, codes, n); });
}

void TPostReference::PostToAddressList(std::string_view query, StringList& addresses, StringList& codes) {
    listPass(Query::prefix, query, addresses, codes);
}

void TPostReference::AddressToPostList(std::string_view query, StringList& addresses, StringList& codes) {
    listPass(Query::address, query, addresses, codes);
}

void TPostReference::eachPass(int rule, std::string_view query, MatchSink& sink) {
    const auto reader = DictionaryReader::open(postFile_);
    if (!reader) {
        notFound();
        return;
    }
    Query q(static_cast<Query::Rule>(rule), query, pickOut_);
    passToSink(*reader, q, pickOut_, false, sink);
}

bool TPostReference::PostToAddressRecord(std::string_view query, MatchSink& sink) {
    const auto reader = DictionaryReader::open(postFile_);
    if (reader) {
        Query q(Query::equal, query, pickOut_);
        if (passToSink(*reader, q, pickOut_, true, sink)) return true;
    }
    notFound();
    return false;
}

void TPostReference::PostToAddressEach(std::string_view query, MatchSink& sink) {
    eachPass(Query::prefix, query, sink);
}

void TPostReference::AddressToPostEach(std::string_view query, MatchSink& sink) {
    eachPass(Query::address, query, sink);
}

bool TPostReference::wholePass(int rule, std::string_view query, bool firstOnly, WholeRecordSink& sink) {
    const auto reader = DictionaryReader::open(postFile_);
    if (!reader) {
        notFound();
        return false;
    }
    Query q(static_cast<Query::Rule>(rule), query, pickOut_);
    bool found = false;
    WholeRecordSinkFn counted([&](const WholeRecord& r) {
        found = true;
        return sink.take(r) && !firstOnly;
    });
    forEachWholeRecord(
        *reader, firstOnly, &q, [](void* ctx, RecordFields& first) { return static_cast<Query*>(ctx)->matches(first); },
        counted);
    // (A code without a record raises the event as a missing file does.)
    if (!found && firstOnly) notFound();
    return found;
}

bool TPostReference::PostToAddressWhole(std::string_view query, WholeRecordSink& sink) {
    return wholePass(Query::equal, query, true, sink);
}

void TPostReference::PostToAddressEachWhole(std::string_view query, WholeRecordSink& sink) {
    wholePass(Query::prefix, query, false, sink);
}

void TPostReference::AddressToPostEachWhole(std::string_view query, WholeRecordSink& sink) {
    wholePass(Query::address, query, false, sink);
}

void TPostReference::PostToAddressEach(std::string_view query, const MatchFn& match) {
    MatchSinkFn sink([&](const MatchRecord& r) { match(r.code, r.address); });
    PostToAddressEach(query, sink);
}

void TPostReference::AddressToPostEach(std::string_view query, const MatchFn& match) {
    MatchSinkFn sink([&](const MatchRecord& r) { match(r.code, r.address); });
    AddressToPostEach(query, sink);
}

}  // namespace tenmari
