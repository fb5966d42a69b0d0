#include "Notes.h"

#include <algorithm>

namespace tenmari::address {

std::string_view noteKindName(NoteKind kind) {
    switch (kind) {
    case NoteKind::none: return "none";
    case NoteKind::chome: return "chome";
    case NoteKind::lot: return "lot";
    case NoteKind::lotsAndNames: return "lots and names";
    case NoteKind::anyChome: return "chome part";
    case NoteKind::anyLot: return "lot part";
    case NoteKind::other: return "other";
    case NoteKind::exceptBuildings: return "except buildings";
    case NoteKind::floor: return "floor";
    case NoteKind::floorUnknown: return "floor unknown";
    case NoteKind::names: return "names";
    case NoteKind::kyotoStreets: return "kyoto streets";
    case NoteKind::unread: return "not read";
    }
    return "";
}

namespace {

bool endsWith(TextView t, TextView s) { return t.size() >= s.size() && t.substr(t.size() - s.size()) == s; }

std::vector<Text> splitItems(TextView t) {
    std::vector<Text> out;
    Text cur;
    for (const char32_t c : t) {
        if (c == U'、' || c == U',') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    out.push_back(cur);
    return out;
}

enum class Unit { none, chome, lot };

// "１２", "４００－２", "１～１９", "５３６３－７～８", "５４４５～５４４６－４",
// with an optional unit; false for anything else.
bool readNumberItem(TextView item, NumberRange& r, Unit& unit) {
    unit = Unit::none;
    if (endsWith(item, U"丁目")) {
        unit = Unit::chome;
        item.remove_suffix(2);
    } else if (endsWith(item, U"番地")) {
        unit = Unit::lot;
        item.remove_suffix(2);
    } else if (endsWith(item, U"番")) {
        unit = Unit::lot;
        item.remove_suffix(1);
    }
    std::size_t at = 0;
    const auto lo = readNumber(item, at);
    if (!lo) return false;
    r = NumberRange{*lo, *lo};
    std::optional<std::uint32_t> subLo;
    if (at < item.size() && item[at] == U'-') {
        ++at;
        subLo = readNumber(item, at);
        if (!subLo) return false;
        r.subLo = r.subHi = *subLo;
    }
    if (at < item.size() && item[at] == U'~') {
        ++at;
        const auto hi = readNumber(item, at);
        if (!hi) return false;
        if (subLo) {
            r.subHi = *hi;  // "５３６３－７～８": lots 5363-7 to 5363-8
        } else {
            r.hi = *hi;
            if (at < item.size() && item[at] == U'-') {  // "５４４５～５４４６－４"
                ++at;
                const auto subHi = readNumber(item, at);
                if (!subHi) return false;
                r.subLo = 0;
                r.subHi = *subHi;
            }
        }
        if (r.hi < r.lo || r.subHi < r.subLo) return false;
    }
    return at == item.size();
}

bool hasDigit(TextView t) { return std::any_of(t.begin(), t.end(), isDigit); }

}  // namespace

Text streetForm(TextView street) {
    Text out;
    for (std::size_t i = 0; i < street.size();) {
        const TextView rest = street.substr(i);
        if (rest[0] == U'通' || rest[0] == U'筋') {
            ++i;
            continue;
        }
        bool replaced = false;
        for (const Text& word : kyotoDirections()) {
            if (rest.starts_with(word)) {
                out.push_back(word[0]);  // 上, 下, 西 or 東
                if (word[0] == U'西' || word[0] == U'東') out.push_back(U'入');
                i += word.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out.push_back(street[i++]);
    }
    return out;
}

Conditions readNote(std::string_view noteUtf8, bool kyoto) {
    Conditions c;
    if (noteUtf8.empty()) return c;
    Text note = canonical(noteUtf8, true);
    if (note.empty()) {
        c.kind = NoteKind::unread;
        return c;
    }
    if (note == U"その他") return c.kind = NoteKind::other, c;
    if (note == U"次のビルを除く") return c.kind = NoteKind::exceptBuildings, c;
    if (note == U"丁目") return c.kind = NoteKind::anyChome, c;
    if (note == U"番地" || note == U"大字") return c.kind = NoteKind::anyLot, c;
    // "高層棟）（１階": a tower of a building, then its floor.
    for (const TextView tower : {TextView(U"高層棟)("), TextView(U"高層棟）（")}) {
        if (note.starts_with(tower)) {
            c.highRise = true;
            note.erase(0, tower.size());
        }
    }
    if (note == U"地階・階層不明") return c.kind = NoteKind::floorUnknown, c;
    if (endsWith(note, U"階")) {
        std::size_t at = 0;
        const auto n = readNumber(note, at);
        if (n && at + 1 == note.size()) {
            c.kind = NoteKind::floor;
            c.floor = static_cast<int>(*n);
            return c;
        }
    }
    if (c.highRise) return c.kind = NoteKind::unread, c;
    // Brackets within the note ("下久保「１７４を除く」") are exceptions not read.
    if (std::any_of(note.begin(), note.end(), [](char32_t ch) {
            return ch == U'「' || ch == U'」' || ch == U'(' || ch == U')' || ch == U'（' || ch == U'）';
        })) {
        c.kind = NoteKind::unread;
        return c;
    }
    std::vector<Text> items = splitItems(note);
    // Names are told by the note as written: "大三" is a name, "３" a number.
    const std::vector<Text> written = splitItems(canonical(noteUtf8, true, false));
    if (written.size() != items.size()) return c.kind = NoteKind::unread, c;
    if (kyoto) {
        bool streets = true;
        for (const Text& item : items) {
            const bool direction = std::any_of(kyotoDirections().begin(), kyotoDirections().end(),
                                               [&](const Text& w) { return item.find(w) != Text::npos; });
            streets = streets && direction;
        }
        if (streets) {
            c.kind = NoteKind::kyotoStreets;
            for (const Text& item : items) c.names.push_back(streetForm(item));
            return c;
        }
    }
    // Numbers with a unit, the unit of a later item standing for the items before it.
    std::vector<std::pair<NumberRange, Unit>> numbers;
    bool anyName = false;
    for (std::size_t k = 0; k < items.size(); ++k) {
        const Text& item = items[k];
        if (item.empty()) return c.kind = NoteKind::unread, c;
        NumberRange r;
        Unit u;
        if (endsWith(item, U"区") && std::all_of(item.begin(), item.end() - 1, isDigit)) {
            c.names.push_back(item);  // "１区": a part of the town, written so
            anyName = true;
        } else if (hasDigit(written[k]) && readNumberItem(item, r, u)) {
            numbers.emplace_back(r, u);
        } else if (!hasDigit(written[k]) && item.find(U'~') == Text::npos) {
            c.names.push_back(item);
            anyName = true;
        } else {
            c.names.clear();
            c.kind = NoteKind::unread;  // "西５～８線７９～１１０番地", "１条～６条"
            return c;
        }
    }
    Unit unit = Unit::none;
    bool chome = false, lot = false;
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
        if (it->second != Unit::none) unit = it->second;
        (unit == Unit::chome ? chome : lot) = true;
        c.numbers.push_back(it->first);
    }
    std::reverse(c.numbers.begin(), c.numbers.end());
    if (chome && (lot || anyName)) {
        c.numbers.clear();
        c.names.clear();
        c.kind = NoteKind::unread;
        return c;
    }
    if (chome) {
        c.kind = NoteKind::chome;
    } else if (lot) {
        c.kind = anyName ? NoteKind::lotsAndNames : NoteKind::lot;
    } else {
        c.kind = NoteKind::names;
    }
    return c;
}

}  // namespace tenmari::address
