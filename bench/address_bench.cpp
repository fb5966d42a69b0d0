// Addresses written as people write them, made from the nationwide file at
// run time, each with the answer it must get, and the address reader's score
// by form. The set is written to /tmp (TENMARI_WRITTEN, default
// /tmp/tenmari-written-addresses.tsv: form TAB address TAB code or "ambiguous")
// for the whole-process runs of bench/address_vs_cat.sh; nothing of it is kept.
//
//   TENMARI_KEN_ALL=/path/to/ken_all.zip build/bench/tenmari-bench-address [--show N] [--match ADDRESS]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "AddressIndex.h"
#include "BenchSupport.h"
#include "DictionaryReader.h"
#include "Notes.h"
#include "Text.h"
#include "DictionaryRecords.h"

namespace {

using tenmari::address::Answer;
using tenmari::address::Conditions;
using tenmari::address::Level;
using tenmari::address::NoteKind;
using tenmari::address::WholeRecord;

struct Case {
    std::string form, text, expected;  // expected: a code, or "ambiguous"
    Level least = Level::town;         // the level the answer must reach at least
};

std::string fullWidth(const std::string& s) {
    std::string out;
    for (const char c : s) {
        if (c >= '0' && c <= '9') {
            out += "\xEF\xBC";
            out.push_back(static_cast<char>(0x90 + (c - '0')));
        } else if (c == '-') {
            out += "－";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string kanji(std::uint32_t n) {
    static const char* kDigit[] = {"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    if (n == 0) return kDigit[0];
    std::string out;
    if (n >= 10000) {  // digit by digit, as "一二三四五"
        for (const char c : std::to_string(n)) out += kDigit[c - '0'];
        return out;
    }
    const std::uint32_t th = n / 1000, h = n / 100 % 10, t = n / 10 % 10, o = n % 10;
    if (th) out += (th > 1 ? std::string(kDigit[th]) : "") + "千";
    if (h) out += (h > 1 ? std::string(kDigit[h]) : "") + "百";
    if (t) out += (t > 1 ? std::string(kDigit[t]) : "") + "十";
    if (o) out += kDigit[o];
    return out;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
        s.replace(at, from.size(), to);
    return s;
}

// The digits of a kanji numeral run in a town name, written full-width ("北二十四条西" → "北２４条西").
std::string digitsInName(const std::string& town) {
    static const std::vector<std::string> kNum = {"〇", "一", "二", "三", "四", "五", "六",
                                                  "七", "八", "九", "十", "百", "千"};
    std::string out;
    for (std::size_t i = 0; i < town.size();) {
        std::uint32_t total = 0, section = 0;
        bool any = false, mult = false;
        std::size_t j = i;
        for (;;) {
            bool hit = false;
            for (std::size_t k = 0; k < kNum.size(); ++k) {
                if (town.compare(j, kNum[k].size(), kNum[k]) != 0) continue;
                const std::uint32_t v = k <= 9 ? static_cast<std::uint32_t>(k)
                                               : (k == 10   ? 10u
                                                  : k == 11 ? 100u
                                                            : 1000u);
                if (v >= 10) {
                    total += (section ? section : 1) * v;
                    section = 0;
                    mult = true;
                } else {
                    section = section * 10 + v;
                }
                j += kNum[k].size();
                hit = any = true;
                break;
            }
            if (!hit) break;
        }
        if (any) {
            out += fullWidth(std::to_string(mult ? total + section : section));
            i = j;
        } else {
            out.push_back(town[i++]);
        }
    }
    return out;
}

// A number inside a record's conditions, written in one of three styles.
struct Number {
    std::optional<std::uint32_t> chome, lot, sub;
};

std::string written(const Number& n, int style) {
    const auto num = [&](std::uint32_t v) {
        return style == 2 ? kanji(v) : style == 0 ? fullWidth(std::to_string(v)) : std::to_string(v);
    };
    std::string out;
    if (n.chome) {
        if (style == 1) return std::to_string(*n.chome) + "-" + std::to_string(n.lot.value_or(2)) + "-3";
        return num(*n.chome) + "丁目" + num(n.lot.value_or(2)) + "番" + num(3) + "号";
    }
    if (n.lot) {
        out = num(*n.lot) + "番地";
        if (n.sub) out += (style == 1 ? "の" : "") + num(*n.sub);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int show = 0;
    const char* one = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--show") show = std::atoi(argv[i + 1]);
        if (std::string(argv[i]) == "--match") one = argv[i + 1];
    }
    const std::string csv = tenmari::bench::kenAllCsvOrSay();
    if (csv.empty()) return 0;
    auto start = tenmari::bench::Clock::now();
    tenmari::DictionaryReader reader(csv);
    const std::vector<WholeRecord> records = tenmari::address::readRecords(reader);
    const double readMs = tenmari::bench::msSince(start);
    start = tenmari::bench::Clock::now();
    const tenmari::address::AddressIndex index(records);
    const double buildMs = tenmari::bench::msSince(start);
    if (one) {  // one address, for a look at its answer
        const Answer a = index.match(one);
        std::printf("%s\t%s\t%s", a.code.c_str(), a.address.c_str(), std::string(levelName(a.level)).c_str());
        for (const auto& k : a.candidates) std::printf(" %s", k.c_str());
        std::printf("\n");
        return 0;
    }

    // Towns by prefecture, municipality and town text, and municipality names by prefecture.
    std::map<std::tuple<std::string, std::string, std::string>, std::vector<std::size_t>> towns;
    std::map<std::string, std::set<std::string>> prefsOfMuni;
    std::map<std::pair<std::string, std::string>, std::size_t> cityRecord;
    std::vector<Conditions> conds;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const WholeRecord& r = records[i];
        conds.push_back(tenmari::address::readNote(r.note, r.municipality.starts_with("京都市")));
        towns[{r.prefecture, r.municipality, r.town}].push_back(i);
        const std::size_t gun = r.municipality.find("郡");
        prefsOfMuni[gun == std::string::npos ? r.municipality : r.municipality.substr(gun + 3)].insert(r.prefecture);
        if (r.town == "以下に掲載がない場合") cityRecord[{r.prefecture, r.municipality}] = i;
    }

    // The number that must lead to record i, or nullopt when none can be written.
    const auto numberFor = [&](std::size_t i) -> std::optional<Number> {
        const WholeRecord& r = records[i];
        const Conditions& c = conds[i];
        const auto& group = towns[{r.prefecture, r.municipality, r.town}];
        Number n;
        switch (c.kind) {
        case NoteKind::chome: n.chome = c.numbers[0].lo; return n;
        case NoteKind::lot:
            n.lot = c.numbers[0].lo;
            if (c.numbers[0].subHi != 0xFFFFFFFFu) n.sub = c.numbers[0].subHi;
            return n;
        case NoteKind::anyChome: n.chome = 1; return n;
        case NoteKind::anyLot: n.lot = 100; return n;
        case NoteKind::other: {
            std::uint32_t most = 0;
            bool chome = false;
            for (const std::size_t s : group) {
                // Beside "（番地）" or "（丁目）", "（その他）" is the part without numbers: no number leads there.
                if (conds[s].kind == NoteKind::anyLot || conds[s].kind == NoteKind::anyChome) return std::nullopt;
                for (const auto& range : conds[s].numbers) most = std::max(most, range.hi);
                chome = chome || conds[s].kind == NoteKind::chome;
            }
            (chome ? n.chome : n.lot) = most + 1;
            return n;
        }
        case NoteKind::none:
        case NoteKind::exceptBuildings:
            if (group.size() == 1) n.chome = 1;
            return n;
        case NoteKind::names:
        case NoteKind::lotsAndNames:
        case NoteKind::kyotoStreets:
        case NoteKind::floor:
        case NoteKind::floorUnknown: return n;
        case NoteKind::unread: return std::nullopt;
        }
        return std::nullopt;
    };

    std::mt19937 rng(33);
    std::vector<Case> cases;
    // Town areas by the municipality's name without its district, across prefectures.
    std::set<std::tuple<std::string, std::string, std::string>> byShortName;
    const auto shortName = [](const std::string& m) {
        const std::size_t gun = m.find("郡");
        return gun == std::string::npos ? m : m.substr(gun + 3);
    };
    for (const auto& [key, ids] : towns) {
        const auto& [p, m, t] = key;
        byShortName.insert({shortName(m), t, p});
    }
    const auto ambiguousWithoutPrefecture = [&](const WholeRecord& r) {
        const std::string name = shortName(r.municipality);
        for (const std::string& p : prefsOfMuni[name]) {
            if (p == r.prefecture) continue;
            if (byShortName.count({name, r.town, p}) || r.town == "以下に掲載がない場合") return true;
        }
        return false;
    };
    std::map<std::string, int> perForm;
    // TENMARI_WRITTEN_PER_FORM: how many addresses of each form (1,000 unless told).
    const char* perFormEnv = std::getenv("TENMARI_WRITTEN_PER_FORM");
    const int kPerForm = perFormEnv ? std::max(1, std::atoi(perFormEnv)) : 1000;
    std::vector<std::size_t> order(records.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    const auto add = [&](const std::string& form, std::string text, std::string expected, Level least = Level::town) {
        if (perForm[form] >= kPerForm) return;
        ++perForm[form];
        cases.push_back({form, std::move(text), std::move(expected), least});
    };
    for (const std::size_t i : order) {
        const WholeRecord& r = records[i];
        const Conditions& c = conds[i];
        const bool notListed = r.town == "以下に掲載がない場合";
        if (notListed) {
            add("town not listed", r.prefecture + r.municipality + "架空町１－２", r.code, Level::city);
            continue;
        }
        const auto n = numberFor(i);
        if (!n) continue;  // a note not read: the record answers for its town only
        std::string town = r.town;
        std::string tail = written(*n, 0);
        if (c.kind == NoteKind::names || c.kind == NoteKind::lotsAndNames)
            tail = "字" + tenmari::address::encodeUtf8(c.names[0]) + tail;
        const int style = static_cast<int>(rng() % 3);
        const Level least = (n->chome || n->lot) && c.kind != NoteKind::none && c.kind != NoteKind::exceptBuildings
                                ? Level::number
                                : Level::town;
        if (c.kind == NoteKind::floor || c.kind == NoteKind::floorUnknown) {
            // The building's town area is its base town and its name: write the number between.
            const auto& siblings = towns[{r.prefecture, r.municipality, r.town}];
            (void)siblings;
            std::string base;
            for (const auto& [key, ids] : towns) {
                const auto& [pp, mm, tt] = key;
                if (pp == r.prefecture && mm == r.municipality && tt != r.town && r.town.starts_with(tt) &&
                    tt.size() > base.size() && conds[ids[0]].kind == NoteKind::exceptBuildings) {
                    base = tt;
                }
            }
            if (base.empty()) continue;
            std::string name = r.town.substr(base.size());
            if (name.back() >= '0' && name.back() <= '9') name += " ";
            if (name.ends_with("０") || name.ends_with("１") || name.ends_with("Ｂ")) name += " ";
            std::string floor;
            if (c.kind == NoteKind::floor) {
                const int form = static_cast<int>(rng() % 3);
                floor = form == 0   ? std::to_string(c.floor) + "階"
                        : form == 1 ? std::to_string(c.floor) + "F"
                                    : fullWidth(std::to_string(c.floor)) + "Ｆ";
            } else {
                floor = rng() % 2 ? "" : rng() % 2 ? "B1" : "地下1階";
            }
            add("building and floor", r.prefecture + r.municipality + base + "1-2-3 " + name + floor, r.code,
                c.kind == NoteKind::floor ? Level::floor : Level::building);
            continue;
        }
        if (c.kind == NoteKind::kyotoStreets) continue;  // below, with the street's own text
        const std::string whole = r.prefecture + r.municipality + town;
        if (c.kind == NoteKind::names || c.kind == NoteKind::lotsAndNames) {
            // The part of the town before the number: "島ケ原字町123".
            add("names in notes", whole + tail, r.code, Level::town);
            continue;
        }
        add(style == 0   ? "full-width numbers"
            : style == 1 ? "1-2-3"
                         : "kanji numerals",
            whole + written(*n, style), r.code, least);
        add("dashes",
            whole + replaceAll(written(*n, 1), "-",
                               rng() % 2   ? "－"
                               : rng() % 2 ? "ー"
                                           : "−"),
            r.code, least);
        add("spaces", r.prefecture + " " + r.municipality + "　" + town + " " + written(*n, 1), r.code, least);
        add("〒 code", "〒" + r.code.substr(0, 3) + "-" + r.code.substr(3) + " " + whole + written(*n, 0), r.code,
            least);
        add("no prefecture", r.municipality + town + written(*n, 0),
            ambiguousWithoutPrefecture(r) ? "ambiguous" : r.code, least);
        if (r.prefecture != "北海道") {
            add("prefecture without 県府都",
                r.prefecture.substr(0, r.prefecture.size() - 3) + r.municipality + town + written(*n, 1), r.code,
                least);
        }
        if (const std::size_t gun = r.municipality.find("郡"); gun != std::string::npos) {
            add("district left out", r.prefecture + r.municipality.substr(gun + 3) + town + written(*n, 1), r.code,
                least);
        }
        if (town.find("ケ") != std::string::npos) {
            add("ヶ for ケ", r.prefecture + r.municipality + replaceAll(town, "ケ", "ヶ") + written(*n, 0), r.code,
                least);
        }
        if (!town.starts_with("大字") && !town.starts_with("字") && r.municipality.find("市") == std::string::npos) {
            add("大字 added", r.prefecture + r.municipality + "大字" + town + written(*n, 0), r.code, least);
        }
        for (const auto& [file, variant] : std::vector<std::pair<std::string, std::string>>{
                 {"崎", "﨑"}, {"高", "髙"}, {"辺", "邉"}, {"沢", "澤"}, {"浜", "濱"}, {"館", "舘"}}) {
            if (town.find(file) != std::string::npos) {
                add("kanji variants", r.prefecture + r.municipality + replaceAll(town, file, variant) + written(*n, 1),
                    r.code, least);
                break;
            }
        }
        if (const std::string digits = digitsInName(town); digits != town) {
            add("numbers in town names", r.prefecture + r.municipality + digits + written(*n, 1), r.code, least);
        }
    }
    // Kyoto: the street, its direction, then the town.
    for (const std::size_t i : order) {
        const WholeRecord& r = records[i];
        if (conds[i].kind != NoteKind::kyotoStreets) continue;
        std::string street = r.note.substr(0, r.note.find("、"));
        if (rng() % 2) street = replaceAll(replaceAll(street, "上る", "上ル"), "下る", "下ル");
        add("kyoto streets", r.prefecture + r.municipality + street + r.town + "123", r.code);
    }

    {
        const char* env = std::getenv("TENMARI_WRITTEN");
        std::ofstream out(env ? env : "/tmp/tenmari-written-addresses.tsv");
        for (const Case& c : cases) out << c.form << '\t' << c.text << '\t' << c.expected << '\n';
    }

    struct Score {
        int total = 0, right = 0, ambiguous = 0, wrong = 0, wrongOnAmbiguous = 0, fallbackAsTown = 0, shallow = 0;
    };
    std::map<std::string, Score> scores;
    std::map<std::string, int> shown;
    start = tenmari::bench::Clock::now();
    for (const Case& c : cases) {
        const Answer a = index.match(c.text);
        Score& s = scores[c.form];
        ++s.total;
        bool ok;
        if (c.expected == "ambiguous") {
            ok = a.level == Level::ambiguous;
            if (!ok && a.found()) ++s.wrongOnAmbiguous;
        } else {
            ok = a.code == c.expected;
            if (a.level == Level::ambiguous) ++s.ambiguous;
            if (!ok && a.found()) ++s.wrong;
            if (!ok && a.level == Level::city) ++s.fallbackAsTown;
            if (ok && c.least != Level::city && a.level == Level::city) ++s.fallbackAsTown;
        }
        if (ok) ++s.right;
        if (!ok && shown[c.form]++ < show) {
            std::string cands;
            for (const auto& k : a.candidates) cands += " " + k;
            std::fprintf(stderr, "%s: %s -> %s %s%s (expected %s)\n", c.form.c_str(), c.text.c_str(), a.code.c_str(),
                         std::string(levelName(a.level)).c_str(), cands.c_str(), c.expected.c_str());
        }
    }
    const double matchMs = tenmari::bench::msSince(start);
    Score all;
    std::printf("%-28s %6s %7s %6s %6s %6s %6s\n", "form", "cases", "right", "%", "ambig", "wrong", "wrongA");
    for (const auto& [form, s] : scores) {
        std::printf("%-28s %6d %7d %6.2f %6d %6d %6d\n", form.c_str(), s.total, s.right, 100.0 * s.right / s.total,
                    s.ambiguous, s.wrong, s.wrongOnAmbiguous);
        all.total += s.total;
        all.right += s.right;
        all.ambiguous += s.ambiguous;
        all.wrong += s.wrong;
        all.wrongOnAmbiguous += s.wrongOnAmbiguous;
    }
    std::printf("%-28s %6d %7d %6.2f %6d %6d %6d\n", "all", all.total, all.right, 100.0 * all.right / all.total,
                all.ambiguous, all.wrong, all.wrongOnAmbiguous);
    std::printf("records %zu, read %.1f ms, index built %.1f ms, %zu matches %.1f ms (%.2f us each)\n", records.size(),
                readMs, buildMs, cases.size(), matchMs, 1000.0 * matchMs / static_cast<double>(cases.size()));
    return 0;
}
