#include "AddressIndex.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "Notes.h"
#include "Text.h"

namespace tenmari::address {

std::string_view levelName(Level level) {
    switch (level) {
    case Level::none: return "none";
    case Level::prefecture: return "prefecture";
    case Level::city: return "city";
    case Level::town: return "town";
    case Level::number: return "number";
    case Level::building: return "building";
    case Level::floor: return "floor";
    case Level::ambiguous: return "ambiguous";
    }
    return "";
}

namespace {

constexpr std::string_view kNotListed = "以下に掲載がない場合";

struct Record {
    std::string code;
    std::string address;  // whole address, UTF-8
    Conditions cond;
};

// The records of one town area name in one municipality (a building with a
// code per floor is a town area of its own: "西新宿新宿アイランドタワー").
// The key lengths a map holds after each first character, so that a search
// for the longest key at the start of a text asks the map only at those
// lengths (bit n-1 for length n; the last bit for 64 and longer).
struct KeyLengths {
    std::unordered_map<char32_t, std::uint64_t> byFirst;
    static std::uint64_t bit(std::size_t n) { return std::uint64_t{1} << (std::min<std::size_t>(n, 64) - 1); }
    void add(TextView key) {
        if (!key.empty()) byFirst[key[0]] |= bit(key.size());
    }
    std::uint64_t of(TextView t) const {
        if (t.empty()) return 0;
        const auto it = byFirst.find(t[0]);
        return it == byFirst.end() ? 0 : it->second;
    }
};

struct Town {
    Text key;
    std::vector<std::uint32_t> records;
    bool building = false;      // its records are floors
    bool chomeNumbers = false;  // some record is decided by chome
    bool exceptBuildings = false;
    std::vector<std::uint32_t> buildings;  // towns that are buildings in this one, with the rest of their key
    std::vector<Text> buildingNames;
};

struct Municipality {
    std::uint32_t prefecture = 0;
    bool kyoto = false;
    std::int64_t cityRecord = -1;        // 以下に掲載がない場合
    std::vector<std::uint32_t> records;  // in the records given, file order
    // Made when an address first names the municipality (a single query
    // reads one or two of the 1,900): its towns, their records' conditions.
    std::unique_ptr<std::once_flag> made = std::make_unique<std::once_flag>();
    mutable std::unordered_map<Text, std::uint32_t, TextHash, std::equal_to<>> towns;  // into townList
    mutable std::vector<Town> townList;
    mutable std::size_t longestTown = 0;
    mutable KeyLengths townLengths;
};

// One way of reading the address: what it found, how far.
struct Reading {
    Level level = Level::none;
    std::vector<std::uint32_t> records;  // one: the answer; several: ambiguous
};

int rank(Level l) {
    switch (l) {
    case Level::floor: return 7;
    case Level::building: return 6;
    case Level::number: return 5;
    case Level::town: return 4;
    case Level::city: return 3;
    case Level::prefecture: return 2;
    default: return 0;
    }
}

// The numbers written after a town.
struct Numbers {
    std::optional<std::uint32_t> first;  // the first number, with its unit where written
    bool firstChome = false, firstLot = false;
    std::optional<std::uint32_t> second;
    std::size_t end = 0;  // where the numbers end
};

Numbers readNumbers(TextView t) {
    Numbers n;
    std::size_t at = 0;
    n.first = readNumber(t, at);
    if (!n.first) return n;
    if (t.substr(at).starts_with(U"丁目")) {
        n.firstChome = true;
        at += 2;
    } else if (t.substr(at).starts_with(U"番地")) {
        n.firstLot = true;
        at += 2;
    } else if (t.substr(at).starts_with(U"番")) {
        n.firstLot = true;
        at += 1;
    } else if (t.substr(at).starts_with(U"地割")) {
        at += 2;
    }
    std::size_t next = at;
    if (next < t.size() && (t[next] == U'-' || t[next] == U'の')) ++next;
    if (const auto second = readNumber(t, next)) {
        n.second = second;
        at = next;
        for (const TextView unit : {TextView(U"番地"), TextView(U"番"), TextView(U"号")}) {
            if (t.substr(at).starts_with(unit)) {
                at += unit.size();
                break;
            }
        }
    }
    // Further numbers ("-3", "3号", "の5") belong to the same address.
    for (;;) {
        std::size_t k = at;
        if (k < t.size() && (t[k] == U'-' || t[k] == U'の')) ++k;
        if (!readNumber(t, k)) break;
        for (const TextView unit : {TextView(U"番地"), TextView(U"番"), TextView(U"号")}) {
            if (t.substr(k).starts_with(unit)) {
                k += unit.size();
                break;
            }
        }
        at = k;
    }
    n.end = at;
    return n;
}

// A floor written after a building: "9階", "9F", "B1", "B1F", "地下1階"; below ground negative.
std::optional<int> readFloor(TextView t) {
    for (std::size_t i = 0; i < t.size(); ++i) {
        std::size_t at = i;
        bool below = false;
        if (t.substr(at).starts_with(U"地下")) {
            below = true;
            at += 2;
        } else if (t[at] == U'B' && at + 1 < t.size() && isDigit(t[at + 1]) && (i == 0 || !isDigit(t[i - 1]))) {
            below = true;
            at += 1;
        } else if (i > 0 && isDigit(t[i - 1])) {
            continue;
        }
        const auto n = readNumber(t, at);
        if (!n) continue;
        const bool unit = at < t.size() && (t[at] == U'階' || t[at] == U'F');
        if (!unit && !below) continue;
        return below ? -static_cast<int>(*n) : static_cast<int>(*n);
    }
    return std::nullopt;
}

}  // namespace

struct AddressIndex::Impl {
    std::vector<WholeRecord> input;
    mutable std::vector<Record> records;  // filled with their municipality
    std::vector<Municipality> municipalities;
    std::vector<std::string> prefectures;
    // 北海道, 東京都 and 東京; municipalities also without the district or city.
    std::unordered_map<Text, std::vector<std::uint32_t>, TextHash, std::equal_to<>> prefectureKeys;
    std::unordered_map<Text, std::vector<std::uint32_t>, TextHash, std::equal_to<>> municipalityKeys;
    std::size_t longestPrefecture = 0, longestMunicipality = 0;
    KeyLengths prefectureLengths, municipalityLengths;

    void build();
    const Municipality& made(const Municipality& m) const;
    void makeAll() const {
        for (const Municipality& m : municipalities) made(m);
    }
    Answer match(std::string_view utf8) const;
    void readAt(const Municipality& m, TextView rest, std::vector<Reading>& out) const;
    Reading resolveTown(const Municipality& m, const Town& town, TextView rest, TextView street) const;
    Reading resolveBuilding(const Town& building, TextView rest) const;

    // The longest key of `map` that begins `t` at `at`, with its length.
    template <typename Map>
    static const typename Map::mapped_type* longest(const Map& map, const KeyLengths& lengths, std::size_t most,
                                                    TextView t, std::size_t& length) {
        const std::uint64_t held = lengths.of(t);
        for (std::size_t n = std::min(most, t.size()); n > 0; --n) {
            if (!(held & KeyLengths::bit(n))) continue;
            const auto it = map.find(t.substr(0, n));
            if (it != map.end()) {
                length = n;
                return &it->second;
            }
        }
        return nullptr;
    }
};

void AddressIndex::Impl::build() {
    std::map<std::pair<std::string, std::string>, std::uint32_t> muniIds;
    std::unordered_map<std::string, std::uint32_t> prefIds;
    records.resize(input.size());
    const std::pair<std::string, std::string>* last = nullptr;
    std::uint32_t lastId = 0;
    for (std::uint32_t id = 0; id < input.size(); ++id) {
        const WholeRecord& w = input[id];
        // Records come in runs of one municipality: looked up once a run.
        if (!last || last->second != w.municipality || last->first != w.prefecture) {
            auto [pit, newPref] = prefIds.try_emplace(w.prefecture, static_cast<std::uint32_t>(prefectures.size()));
            if (newPref) prefectures.push_back(w.prefecture);
            auto [mit, newMuni] =
                muniIds.try_emplace({w.prefecture, w.municipality}, static_cast<std::uint32_t>(municipalities.size()));
            if (newMuni) {
                Municipality& m = municipalities.emplace_back();
                m.prefecture = pit->second;
                m.kyoto = w.municipality.starts_with("京都市");
            }
            last = &mit->first;
            lastId = mit->second;
        }
        Municipality& m = municipalities[lastId];
        m.records.push_back(id);
        if (w.town == kNotListed && m.cityRecord < 0) m.cityRecord = id;
    }
    for (std::uint32_t p = 0; p < prefectures.size(); ++p) {
        const Text key = canonical(prefectures[p]);
        prefectureKeys[key].push_back(p);
        if (key.size() > 2 && (key.back() == U'都' || key.back() == U'府' || key.back() == U'県')) {
            prefectureKeys[key.substr(0, key.size() - 1)].push_back(p);
        }
    }
    for (const auto& [k, _] : prefectureKeys) {
        longestPrefecture = std::max(longestPrefecture, k.size());
        prefectureLengths.add(k);
    }
    for (const auto& [names, id] : muniIds) {
        const Text key = canonical(names.second);
        municipalityKeys[key].push_back(id);
        // A district (郡) left out: 西多摩郡奥多摩町 as 奥多摩町.
        const std::size_t gun = key.find(U'郡');
        if (gun != Text::npos && gun + 1 < key.size()) municipalityKeys[key.substr(gun + 1)].push_back(id);
        // A ward of a large city without its city: 札幌市中央区 as 中央区 (the town then decides).
        const std::size_t city = key.rfind(U'市');
        if (key.back() == U'区' && city != Text::npos && city > 0 && city + 2 < key.size()) {
            municipalityKeys[key.substr(city + 1)].push_back(id);
        }
    }
    for (auto& [k, ids] : municipalityKeys) {
        longestMunicipality = std::max(longestMunicipality, k.size());
        municipalityLengths.add(k);
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    }
}

const Municipality& AddressIndex::Impl::made(const Municipality& m) const {
    std::call_once(*m.made, [&] {
        for (const std::uint32_t id : m.records) {
            const WholeRecord& w = input[id];
            Record& r = records[id];
            r.code = w.code;
            const bool notListed = w.town == kNotListed;
            r.address = w.prefecture + w.municipality + (notListed ? std::string() : w.town);
            r.cond = readNote(w.note, m.kyoto);
            if (notListed) continue;
            Text key = canonical(w.town);
            auto [tit, newTown] = m.towns.try_emplace(key, static_cast<std::uint32_t>(m.townList.size()));
            if (newTown) {
                m.longestTown = std::max(m.longestTown, key.size());
                m.townLengths.add(key);
                m.townList.emplace_back().key = std::move(key);
            }
            Town& t = m.townList[tit->second];
            t.records.push_back(id);
            if (r.cond.kind == NoteKind::floor || r.cond.kind == NoteKind::floorUnknown) t.building = true;
            if (r.cond.kind == NoteKind::chome || r.cond.kind == NoteKind::anyChome) t.chomeNumbers = true;
            if (r.cond.kind == NoteKind::exceptBuildings) t.exceptBuildings = true;
        }
        // Each building under the town it stands in: the longest town key it begins with.
        for (const auto& [key, id] : m.towns) {
            if (!m.townList[id].building) continue;
            for (std::size_t n = key.size() - 1; n > 0; --n) {
                const auto base = m.towns.find(TextView(key).substr(0, n));
                if (base == m.towns.end() || m.townList[base->second].building) continue;
                m.townList[base->second].buildings.push_back(id);
                m.townList[base->second].buildingNames.push_back(key.substr(n));
                break;
            }
        }
    });
    return m;
}

Reading AddressIndex::Impl::resolveBuilding(const Town& building, TextView rest) const {
    const auto floor = readFloor(rest);
    std::int64_t unknown = -1;
    for (const std::uint32_t id : building.records) {
        const Conditions& c = records[id].cond;
        if (c.kind == NoteKind::floorUnknown) unknown = id;
        if (floor && *floor > 0 && c.kind == NoteKind::floor && c.floor == *floor) return {Level::floor, {id}};
    }
    if (unknown >= 0) return {Level::building, {static_cast<std::uint32_t>(unknown)}};
    return {Level::ambiguous, building.records};
}

Reading AddressIndex::Impl::resolveTown(const Municipality& m, const Town& town, TextView rest, TextView street) const {
    if (town.building) return resolveBuilding(town, rest);
    // 字 or 大字 before the part of the town, or the numbers.
    if (rest.starts_with(U"大字")) rest.remove_prefix(2);
    if (rest.starts_with(U"字")) rest.remove_prefix(1);
    // A name from a note ("南郷通（南）", a 字 of a list) anywhere in what follows.
    // A name at the start wins over one further on, a longer over a shorter
    // ("中荒町" is not "荒町").
    std::vector<std::uint32_t> named;
    std::size_t afterName = 0;
    std::size_t bestScore = 0;
    for (const std::uint32_t id : town.records) {
        const Conditions& c = records[id].cond;
        if (c.kind != NoteKind::names && c.kind != NoteKind::lotsAndNames) continue;
        for (const Text& name : c.names) {
            const std::size_t at = rest.find(name);
            if (at == TextView::npos) continue;
            const std::size_t score = (at == 0 ? 1000 : 0) + name.size();
            if (score > bestScore) {
                bestScore = score;
                named.assign(1, id);
                afterName = at == 0 ? name.size() : 0;
            } else if (score == bestScore && std::find(named.begin(), named.end(), id) == named.end()) {
                named.push_back(id);
            }
        }
    }
    TextView numbersText = rest.substr(afterName);
    if (numbersText.starts_with(U"字")) numbersText.remove_prefix(1);
    const Numbers n = readNumbers(numbersText);
    // A building of the town, named after the numbers: its floor decides.
    const TextView after = numbersText.substr(n.end);
    // (The longest name written: "新丸の内ビルディング" holds "丸の内ビルディング".)
    std::int64_t building = -1;
    TextView floorText;
    for (std::size_t b = 0; b < town.buildings.size(); ++b) {
        const TextView name = town.buildingNames[b];
        if (building >= 0 && town.buildingNames[static_cast<std::size_t>(building)].size() >= name.size()) continue;
        if (const std::size_t at = after.find(name); at != TextView::npos) {
            building = static_cast<std::int64_t>(b);
            floorText = after.substr(at + name.size());
        } else if (rest.starts_with(name)) {
            building = static_cast<std::int64_t>(b);
            floorText = rest.substr(name.size());
        }
    }
    if (building >= 0) {
        return resolveBuilding(m.townList[town.buildings[static_cast<std::size_t>(building)]], floorText);
    }
    // The first number is a chome where the town's codes go by chome, or where written so.
    std::optional<std::uint32_t> chome, lot;
    std::uint32_t sub = 0;
    bool subKnown = false;
    if (n.first) {
        if (n.firstChome || (!n.firstLot && town.chomeNumbers)) {
            chome = n.first;
            lot = n.second;
        } else {
            lot = n.first;
            if (n.second) {
                sub = *n.second;
                subKnown = true;
            }
        }
    }
    const Text streetKey = streetForm(street);
    std::vector<std::uint32_t> fit;     // records whose condition the address meets
    std::vector<std::uint32_t> plain;   // records for the town as a whole
    std::vector<std::uint32_t> unread;  // notes not read
    std::int64_t other = -1;
    bool byNumber = false;
    for (const std::uint32_t id : town.records) {
        const Conditions& c = records[id].cond;
        switch (c.kind) {
        case NoteKind::chome:
            if (chome && std::any_of(c.numbers.begin(), c.numbers.end(),
                                     [&](const NumberRange& r) { return r.contains(*chome, 0, false); })) {
                fit.push_back(id);
                byNumber = true;
            }
            break;
        case NoteKind::lot:
        case NoteKind::lotsAndNames:
            if (lot && std::any_of(c.numbers.begin(), c.numbers.end(),
                                   [&](const NumberRange& r) { return r.contains(*lot, sub, subKnown); })) {
                fit.push_back(id);
                byNumber = true;
            } else if (std::find(named.begin(), named.end(), id) != named.end()) {
                fit.push_back(id);
            }
            break;
        case NoteKind::anyChome:
            if (chome) fit.push_back(id), byNumber = true;
            break;
        case NoteKind::anyLot:
            if (lot && !chome) fit.push_back(id), byNumber = true;
            break;
        case NoteKind::names:
            if (std::find(named.begin(), named.end(), id) != named.end()) fit.push_back(id);
            break;
        case NoteKind::kyotoStreets:
            if (!streetKey.empty() &&
                std::any_of(c.names.begin(), c.names.end(), [&](const Text& s) { return s == streetKey; })) {
                fit.push_back(id);
            }
            break;
        case NoteKind::other: other = id; break;
        case NoteKind::unread: unread.push_back(id); break;
        default: plain.push_back(id); break;
        }
    }
    // Kyoto: a street written a little differently ("河原町二条下ル" for "河原町通二条下る") by its beginning.
    if (fit.empty() && !streetKey.empty()) {
        for (const std::uint32_t id : town.records) {
            const Conditions& c = records[id].cond;
            if (c.kind != NoteKind::kyotoStreets) continue;
            if (std::any_of(c.names.begin(), c.names.end(),
                            [&](const Text& s) { return s.ends_with(streetKey) || streetKey.ends_with(s); })) {
                fit.push_back(id);
            }
        }
    }
    const Level numberLevel = byNumber ? Level::number : Level::town;
    if (fit.size() == 1) return {numberLevel, fit};
    if (fit.size() > 1) return {Level::ambiguous, fit};
    if (other >= 0 && (chome || lot)) return {Level::number, {static_cast<std::uint32_t>(other)}};
    // A part of the town that no record names: "その他" where the town is split by names.
    const bool byNames = std::any_of(town.records.begin(), town.records.end(), [&](std::uint32_t id) {
        const NoteKind k = records[id].cond.kind;
        return k == NoteKind::names || k == NoteKind::lotsAndNames || k == NoteKind::anyLot || k == NoteKind::anyChome;
    });
    if (other >= 0 && byNames && !rest.empty() && !isDigit(rest[0])) {
        return {Level::town, {static_cast<std::uint32_t>(other)}};
    }
    if (town.records.size() == 1) return {Level::town, town.records};
    if (plain.size() == 1 && unread.empty() && !(chome || lot)) return {Level::town, plain};
    if (plain.size() == 1 && unread.empty() && other < 0) return {Level::town, plain};
    return {Level::ambiguous, town.records};
}

void AddressIndex::Impl::readAt(const Municipality& municipality, TextView rest, std::vector<Reading>& out) const {
    const Municipality& m = made(municipality);
    const auto cityAnswer = [&]() -> Reading {
        if (m.cityRecord >= 0) return {Level::city, {static_cast<std::uint32_t>(m.cityRecord)}};
        // A municipality without its own record: understood to the city, but
        // no code to give (none of its towns is the answer).
        return {Level::city, {}};
    };
    if (rest.empty()) {
        out.push_back(cityAnswer());
        return;
    }
    // The town at the start, after "大字" or "字", or (Kyoto) after the street and its direction.
    struct Start {
        std::size_t at;
        TextView street;
    };
    std::vector<Start> starts{{0, {}}};
    if (rest.starts_with(U"大字")) starts.push_back({2, {}});
    if (rest.starts_with(U"字")) starts.push_back({1, {}});
    if (m.kyoto) {
        for (std::size_t i = 0; i < rest.size(); ++i) {
            for (const Text& w : kyotoDirections()) {
                if (rest.substr(i).starts_with(w)) {
                    std::size_t at = i + w.size();
                    starts.push_back({at, rest.substr(0, at)});
                    // "七条下る三丁目": a chome of the street before the town.
                    if (readNumber(rest, at) && rest.substr(at).starts_with(U"丁目")) {
                        starts.push_back({at + 2, rest.substr(0, at + 2)});
                    }
                    break;
                }
            }
        }
    }
    const Town* best = nullptr;
    std::size_t bestEnd = 0;
    TextView bestStreet;
    // The Kyoto form wins over a town name at the start that is only the street's ("河原町").
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        std::size_t length = 0;
        const auto* id = longest(m.towns, m.townLengths, m.longestTown, rest.substr(it->at), length);
        if (!id) continue;
        best = &m.townList[*id];
        bestEnd = it->at + length;
        bestStreet = it->street;
        break;
    }
    if (!best) {
        out.push_back(cityAnswer());
        return;
    }
    out.push_back(resolveTown(m, *best, rest.substr(bestEnd), bestStreet));
}

Answer AddressIndex::Impl::match(std::string_view utf8) const {
    Answer answer;
    const auto decoded = decodeUtf8(utf8);
    if (!decoded) return answer;
    Text q = canonical(*decoded);
    // A postal code before the address, kept aside.
    std::size_t at = 0;
    if (!q.empty() && q[0] == U'〒') ++at;
    {
        std::size_t k = at;
        std::string digits;
        while (k < q.size() && (isDigit(q[k]) || (q[k] == U'-' && digits.size() == 3)) && digits.size() < 8) {
            if (isDigit(q[k])) digits.push_back(static_cast<char>(q[k]));
            ++k;
        }
        if (digits.size() == 7 && (k == q.size() || !isDigit(q[k]))) {
            answer.writtenCode = digits;
            at = k;
            if (at < q.size() && q[at] == kNumberBreak) ++at;
        }
    }
    const TextView text = TextView(q).substr(at);
    std::vector<Reading> readings;
    // With the prefecture written, and without.
    std::size_t prefLength = 0;
    const auto* prefs = longest(prefectureKeys, prefectureLengths, longestPrefecture, text, prefLength);
    const auto tryMunicipalities = [&](TextView t, const std::vector<std::uint32_t>* only) {
        bool any = false;
        const std::uint64_t held = municipalityLengths.of(t);
        for (std::size_t n = std::min(longestMunicipality, t.size()); n > 0; --n) {
            if (!(held & KeyLengths::bit(n))) continue;
            const auto it = municipalityKeys.find(t.substr(0, n));
            if (it == municipalityKeys.end()) continue;
            for (const std::uint32_t id : it->second) {
                const Municipality& m = municipalities[id];
                if (only && std::find(only->begin(), only->end(), m.prefecture) == only->end()) continue;
                readAt(m, t.substr(n), readings);
                any = true;
            }
            if (any) return true;  // the longest municipality name written
        }
        return false;
    };
    bool found = false;
    if (prefs) found = tryMunicipalities(text.substr(prefLength), prefs);
    const bool withoutPrefecture = tryMunicipalities(text, nullptr);
    if (!found && !withoutPrefecture && prefs) {
        answer.level = prefs->size() == 1 ? Level::prefecture : Level::ambiguous;
        return answer;
    }
    if (readings.empty()) return answer;
    int top = 0;
    for (const Reading& r : readings) top = std::max(top, rank(r.level == Level::ambiguous ? Level::town : r.level));
    std::vector<std::uint32_t> ids;
    bool ambiguous = false;
    Level level = Level::none;
    for (const Reading& r : readings) {
        if (rank(r.level == Level::ambiguous ? Level::town : r.level) != top) continue;
        if (r.level == Level::ambiguous) ambiguous = true;
        level = r.level;
        ids.insert(ids.end(), r.records.begin(), r.records.end());
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<std::string> codes;
    for (const std::uint32_t id : ids) {
        if (std::find(codes.begin(), codes.end(), records[id].code) == codes.end()) codes.push_back(records[id].code);
    }
    if (codes.empty()) {
        answer.level = level;
        return answer;
    }
    if (codes.size() == 1) {
        // Records that differ only in their notes may share a code: one answer.
        answer.code = codes[0];
        answer.address = records[ids[0]].address;
        answer.level = ambiguous ? Level::town : level;
        return answer;
    }
    answer.level = Level::ambiguous;
    answer.candidates = std::move(codes);
    return answer;
}

AddressIndex::AddressIndex(const std::vector<WholeRecord>& records) : impl_(std::make_unique<Impl>()) {
    impl_->input = records;
    impl_->build();
}
AddressIndex::AddressIndex(std::vector<WholeRecord>&& records) : impl_(std::make_unique<Impl>()) {
    impl_->input = std::move(records);
    impl_->build();
}
AddressIndex::~AddressIndex() = default;
AddressIndex::AddressIndex(AddressIndex&&) noexcept = default;
AddressIndex& AddressIndex::operator=(AddressIndex&&) noexcept = default;

Answer AddressIndex::match(std::string_view utf8Address) const { return impl_->match(utf8Address); }
std::vector<NoteCount> AddressIndex::noteCounts() const {
    impl_->makeAll();
    std::map<std::string, std::size_t> kinds;
    for (std::size_t id = 0; id < impl_->input.size(); ++id) {
        if (!impl_->input[id].note.empty()) ++kinds[std::string(noteKindName(impl_->records[id].cond.kind))];
    }
    std::vector<NoteCount> counts;
    const std::string unread(noteKindName(NoteKind::unread));
    for (const auto& [kind, n] : kinds) {
        if (kind != unread) counts.push_back({kind, n});
    }
    std::sort(counts.begin(), counts.end(),
              [](const NoteCount& a, const NoteCount& b) { return a.records > b.records; });
    if (const auto it = kinds.find(unread); it != kinds.end()) counts.push_back({it->first, it->second});
    return counts;
}

std::vector<std::pair<std::string, std::size_t>> AddressIndex::notesNotRead() const {
    impl_->makeAll();
    std::map<std::string, std::size_t> notes;
    for (std::size_t id = 0; id < impl_->input.size(); ++id) {
        if (impl_->records[id].cond.kind == NoteKind::unread) ++notes[impl_->input[id].note];
    }
    std::vector<std::pair<std::string, std::size_t>> out(notes.begin(), notes.end());
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return out;
}

}  // namespace tenmari::address
