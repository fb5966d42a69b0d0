// The address reader: notes read into conditions, and addresses written as
// people write them, one table per form, on hand-written records modelled on
// the nationwide file's; with TENMARI_KEN_ALL, every whole record of the file
// finds itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "AddressIndex.h"
#include "DictionaryReader.h"
#include "KenAll.h"
#include "Notes.h"
#include "Text.h"
#include "DictionaryRecords.h"

namespace {

using tenmari::address::AddressIndex;
using tenmari::address::Answer;
using tenmari::address::Level;
using tenmari::address::NoteKind;
using tenmari::address::WholeRecord;

WholeRecord rec(const char* code, const char* pref, const char* muni, const char* town, const char* note = "") {
    return WholeRecord{code, pref, muni, town, note, 0};
}

// Hand-written, in the file's order and spelling (full-width digits in notes).
const std::vector<WholeRecord>& fixtures() {
    static const std::vector<WholeRecord> records = {
        rec("0600000", "北海道", "札幌市中央区", "以下に掲載がない場合"),
        rec("0640941", "北海道", "札幌市中央区", "旭ケ丘"),
        rec("0600042", "北海道", "札幌市中央区", "大通西", "１～１９丁目"),
        rec("0640820", "北海道", "札幌市中央区", "大通西", "２０～２８丁目"),
        rec("0010000", "北海道", "札幌市北区", "以下に掲載がない場合"),
        rec("0010024", "北海道", "札幌市北区", "北二十四条西"),
        rec("0030000", "北海道", "札幌市白石区", "以下に掲載がない場合"),
        rec("0030022", "北海道", "札幌市白石区", "南郷通", "南"),
        rec("0030023", "北海道", "札幌市白石区", "南郷通", "北"),
        rec("0820000", "北海道", "河西郡芽室町", "以下に掲載がない場合"),
        rec("0820385", "北海道", "河西郡芽室町", "渋山", "上渋山"),
        rec("0820078", "北海道", "河西郡芽室町", "渋山", "その他"),
        rec("0250000", "岩手県", "花巻市", "以下に掲載がない場合"),
        rec("0250075", "岩手県", "花巻市", "材木町"),
        rec("9840000", "宮城県", "仙台市若林区", "以下に掲載がない場合"),
        rec("9840074", "宮城県", "仙台市若林区", "東七番丁"),
        rec("9870000", "宮城県", "登米市", "以下に掲載がない場合"),
        rec("9870511", "宮城県", "登米市", "迫町佐沼"),
        rec("9793100", "福島県", "いわき市", "以下に掲載がない場合"),
        rec("9793131", "福島県", "いわき市", "常盤", "１～１３１番地"),
        rec("9793132", "福島県", "いわき市", "常盤", "４００、４００－２番地"),
        rec("9793133", "福島県", "いわき市", "常盤", "その他"),
        rec("9793140", "福島県", "いわき市", "二又瀬"),
        rec("3350000", "埼玉県", "戸田市", "以下に掲載がない場合"),
        rec("3350021", "埼玉県", "戸田市", "新曽"),
        rec("3350026", "埼玉県", "戸田市", "新曽南"),
        rec("2600000", "千葉県", "千葉市中央区", "以下に掲載がない場合"),
        rec("2600013", "千葉県", "千葉市中央区", "中央"),
        rec("1600000", "東京都", "新宿区", "以下に掲載がない場合"),
        rec("1600023", "東京都", "新宿区", "西新宿", "次のビルを除く"),
        rec("1631390", "東京都", "新宿区", "西新宿新宿アイランドタワー", "地階・階層不明"),
        rec("1631301", "東京都", "新宿区", "西新宿新宿アイランドタワー", "１階"),
        rec("1631309", "東京都", "新宿区", "西新宿新宿アイランドタワー", "９階"),
        rec("1850000", "東京都", "国分寺市", "以下に掲載がない場合"),
        rec("1850014", "東京都", "国分寺市", "東恋ケ窪"),
        rec("1830000", "東京都", "府中市", "以下に掲載がない場合"),
        rec("1830022", "東京都", "府中市", "宮西町"),
        rec("1830027", "東京都", "府中市", "本町"),
        rec("1980200", "東京都", "西多摩郡奥多摩町", "以下に掲載がない場合"),
        rec("1980212", "東京都", "西多摩郡奥多摩町", "氷川"),
        rec("4500000", "愛知県", "名古屋市中村区", "以下に掲載がない場合"),
        rec("4500002", "愛知県", "名古屋市中村区", "名駅", "次のビルを除く"),
        rec("4506290", "愛知県", "名古屋市中村区", "名駅ミッドランドスクエア", "高層棟）（地階・階層不明"),
        rec("4506201", "愛知県", "名古屋市中村区", "名駅ミッドランドスクエア", "高層棟）（１階"),
        rec("4701100", "愛知県", "豊明市", "以下に掲載がない場合"),
        rec("4701124", "愛知県", "豊明市", "三崎町"),
        rec("4701127", "愛知県", "豊明市", "三崎町", "ゆたか台"),
        rec("6040000", "京都府", "京都市中京区", "以下に掲載がない場合"),
        rec("6040924", "京都府", "京都市中京区", "一之船入町"),
        rec("6048026", "京都府", "京都市中京区", "米屋町", "河原町通四条上る、四条通河原町西入"),
        rec("6048126", "京都府", "京都市中京区", "米屋町", "堀川通蛸薬師下る"),
        rec("6050000", "京都府", "京都市東山区", "以下に掲載がない場合"),
        rec("6050933", "京都府", "京都市東山区", "七軒町", "大和大路通七条下る３丁目、塩小路通大和大路西入"),
        rec("7260000", "広島県", "府中市", "以下に掲載がない場合"),
        rec("7260004", "広島県", "府中市", "府川町"),
        rec("7260005", "広島県", "府中市", "本町"),
        // A municipality without a record of its own (no 以下に掲載がない場合).
        rec("9011201", "沖縄県", "島尻郡架空村", "東浜"),
    };
    return records;
}

const AddressIndex& index() {
    static const AddressIndex i(fixtures());
    return i;
}

struct Row {
    const char* address;
    const char* code;  // "" when the answer has no code
    Level level;
};

void check(const std::vector<Row>& rows) {
    for (const Row& r : rows) {
        const Answer a = index().match(r.address);
        EXPECT_EQ(a.code, r.code) << r.address;
        EXPECT_EQ(a.level, r.level) << r.address << " -> " << levelName(a.level);
        if (a.found()) {
            EXPECT_TRUE(a.candidates.empty()) << r.address;
        }
    }
}

TEST(AddressForms, WidthsDashesAndNumbers) {
    check({
        {"北海道札幌市中央区大通西２２丁目１番３号", "0640820", Level::number},
        {"北海道札幌市中央区大通西22-1-3", "0640820", Level::number},
        {"北海道札幌市中央区大通西二十二丁目一番三号", "0640820", Level::number},
        {"北海道札幌市中央区大通西22丁目1-3", "0640820", Level::number},
        {"北海道札幌市中央区大通西1－2", "0600042", Level::number},
        {"北海道札幌市中央区大通西1−2", "0600042", Level::number},
        {"北海道札幌市中央区大通西1ー2", "0600042", Level::number},
        {"北海道札幌市中央区大通西１ｰ２", "0600042", Level::number},
        {"北海道札幌市中央区大通西1—2", "0600042", Level::number},
        {"福島県いわき市常盤120番地", "9793131", Level::number},
        {"福島県いわき市常盤１２０", "9793131", Level::number},
        {"福島県いわき市常盤百二十番地", "9793131", Level::number},
        {"福島県いわき市常盤400番地の2", "9793132", Level::number},
        {"福島県いわき市常盤４００－２", "9793132", Level::number},
        {"福島県いわき市常盤千二百三十四", "9793133", Level::number},  // in no range: その他
        {"福島県いわき市二又瀬3", "9793140", Level::town},             // 二又瀬 stays a name
    });
}

TEST(AddressForms, NumbersInsideTownNames) {
    check({
        {"北海道札幌市北区北２４条西６丁目１−１", "0010024", Level::town},
        {"北海道札幌市北区北24条西6-1-1", "0010024", Level::town},
        {"宮城県仙台市若林区東7番町1", "9840074", Level::town},
    });
}

TEST(AddressForms, KanjiVariantsAndKe) {
    check({
        {"愛知県豊明市三﨑町5", "4701124", Level::town},
        {"東京都国分寺市東恋ヶ窪２丁目１－１", "1850014", Level::town},
        {"東京都国分寺市東恋ヵ窪2-1-1", "1850014", Level::town},
        {"北海道札幌市中央区旭ヶ丘", "0640941", Level::town},
        {"愛知県豊明市三崎町ゆたか台5", "4701127", Level::town},
    });
}

TEST(AddressForms, SpacesCommasAndPostalCode) {
    check({
        {"北海道 札幌市中央区　大通西 22丁目", "0640820", Level::number},
        {"北海道、札幌市中央区、大通西22丁目", "0640820", Level::number},
        {"〒064-0820 北海道札幌市中央区大通西22丁目", "0640820", Level::number},
        {"〒0640820北海道札幌市中央区大通西22丁目", "0640820", Level::number},
        {"〒160-0023 千葉市中央区中央1-1", "2600013", Level::town},  // the written code is kept aside
    });
    EXPECT_EQ(index().match("〒160-0023 千葉市中央区中央1-1").writtenCode, "1600023");
}

TEST(AddressForms, PrefectureAndDistrictLeftOut) {
    check({
        {"札幌市中央区大通西22丁目", "0640820", Level::number},
        {"千葉市中央区中央1-1", "2600013", Level::town},
        {"登米市迫町佐沼", "9870511", Level::town},
        {"府中市府川町3", "7260004", Level::town},  // only Hiroshima's has it
        {"府中市宮西町1", "1830022", Level::town},
        {"府中市本町1", "", Level::ambiguous},  // both have it
        {"府中市", "", Level::ambiguous},
        {"府中市架空町1", "", Level::ambiguous},
        {"東京都奥多摩町氷川1", "1980212", Level::town},
        {"奥多摩町氷川1", "1980212", Level::town},
        {"岩手花巻市材木町1", "0250075", Level::town},
        {"東京府中市宮西町1", "1830022", Level::town},
        {"中京区一之船入町537", "6040924", Level::town},  // a ward without its city
    });
    const Answer a = index().match("府中市本町1");
    EXPECT_EQ(a.candidates, (std::vector<std::string>{"1830027", "7260005"}));
}

TEST(AddressForms, OazaAndAzaAdded) {
    check({
        {"埼玉県戸田市大字新曽２２４２", "3350021", Level::town},
        {"埼玉県戸田市字新曽2242", "3350021", Level::town},
        {"埼玉県戸田市新曽南3-1", "3350026", Level::town},
        {"北海道河西郡芽室町渋山字上渋山12", "0820385", Level::town},
        {"北海道河西郡芽室町渋山12", "0820078", Level::number},
    });
}

TEST(AddressForms, KyotoStreets) {
    check({
        {"京都府京都市中京区河原町通四条上る米屋町", "6048026", Level::town},
        {"京都市中京区河原町四条上ル米屋町1", "6048026", Level::town},
        {"京都市中京区四条通河原町西入米屋町", "6048026", Level::town},
        {"京都市中京区堀川通蛸薬師下る米屋町", "6048126", Level::town},
        {"京都市中京区米屋町", "", Level::ambiguous},  // the street decides
        {"京都府京都市中京区河原町二条下ル一之船入町537-50", "6040924", Level::town},
        {"京都市東山区大和大路通七条下る三丁目七軒町", "6050933", Level::town},
    });
}

TEST(AddressForms, TownNotListedAnswersForTheCity) {
    check({
        {"北海道札幌市中央区架空町1-2", "0600000", Level::city},
        {"北海道札幌市中央区", "0600000", Level::city},
        {"北海道", "", Level::prefecture},
        {"架空県架空市", "", Level::none},
        // Without the city's own record, its one town is not the answer for another.
        {"沖縄県島尻郡架空村西浜１", "", Level::city},
        {"沖縄県島尻郡架空村東浜１", "9011201", Level::town},
    });
}

TEST(AddressForms, BuildingsAndFloors) {
    check({
        {"東京都新宿区西新宿6-5-1 新宿アイランドタワー9階", "1631309", Level::floor},
        {"東京都新宿区西新宿6-5-1新宿アイランドタワー9F", "1631309", Level::floor},
        {"東京都新宿区西新宿６－５－１　新宿アイランドタワー９Ｆ", "1631309", Level::floor},
        {"東京都新宿区西新宿新宿アイランドタワー1階", "1631301", Level::floor},
        {"東京都新宿区西新宿6-5-1 新宿アイランドタワー", "1631390", Level::building},
        {"東京都新宿区西新宿6-5-1 新宿アイランドタワーB1", "1631390", Level::building},
        {"東京都新宿区西新宿6-5-1 新宿アイランドタワー地下1階", "1631390", Level::building},
        {"東京都新宿区西新宿6-5-1 新宿アイランドタワー55階", "1631390", Level::building},
        {"東京都新宿区西新宿6-5-1", "1600023", Level::town},
        {"愛知県名古屋市中村区名駅4-7-1 ミッドランドスクエア 1階", "4506201", Level::floor},
    });
}

TEST(AddressAnswers, NeverAConfidentCodeWhereRecordsFitEqually) {
    check({
        {"北海道札幌市中央区大通西", "", Level::ambiguous},        // the chome decides
        {"北海道札幌市中央区大通西30丁目", "", Level::ambiguous},  // in no range, no その他
        {"北海道札幌市白石区南郷通1丁目", "", Level::ambiguous},
        {"北海道札幌市白石区南郷通1丁目南", "0030022", Level::town},
        {"北海道河西郡芽室町渋山", "", Level::ambiguous},
    });
    const Answer a = index().match("北海道札幌市中央区大通西");
    EXPECT_EQ(a.candidates, (std::vector<std::string>{"0600042", "0640820"}));
    EXPECT_TRUE(a.address.empty());
}

TEST(AddressAnswers, BadInputNeverCrashes) {
    const std::string digits(4096, '1');
    std::string chome;
    for (int i = 0; i < 500; ++i) chome += "丁目";
    for (const std::string& q : {digits, chome, "北海道札幌市中央区大通西" + digits, "北海道札幌市中央区大通西" + chome,
                                 std::string("\xff\xfe"), std::string(), std::string("〒"),
                                 std::string("北海道札幌市中央区大通西99999999999999999999丁目")}) {
        const Answer a = index().match(q);
        EXPECT_TRUE(a.level != Level::number || !a.code.empty());
    }
    EXPECT_EQ(index().match("北海道札幌市中央区大通西" + chome).level, Level::ambiguous);
    EXPECT_EQ(index().match(std::string("\xff\xfe")).level, Level::none);
}

struct NoteRow {
    const char* note;
    bool kyoto;
    NoteKind kind;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> numbers;  // lo, hi
    std::size_t names = 0;
};

TEST(AddressNotes, ReadIntoConditions) {
    const std::vector<NoteRow> rows = {
        {"１～１９丁目", false, NoteKind::chome, {{1, 19}}},
        {"２０～２８丁目", false, NoteKind::chome, {{20, 28}}},
        {"１、２丁目", false, NoteKind::chome, {{1, 1}, {2, 2}}},
        {"１～１３１番地", false, NoteKind::lot, {{1, 131}}},
        {"４００、４００－２番地", false, NoteKind::lot, {{400, 400}, {400, 400}}},
        {"１７番地", false, NoteKind::lot, {{17, 17}}},
        {"１～３４番", false, NoteKind::lot, {{1, 34}}},
        {"２５、３５", false, NoteKind::lot, {{25, 25}, {35, 35}}},
        {"７８２－１３、５３６３－７～８、５４４５～５４４６－４番地",
         false,
         NoteKind::lot,
         {{782, 782}, {5363, 5363}, {5445, 5446}}},
        {"４０５１、４７８３、すずらん荘、東電上部ダム",
         false,
         NoteKind::lotsAndNames,
         {{4051, 4051}, {4783, 4783}},
         2},
        {"その他", false, NoteKind::other, {}},
        {"次のビルを除く", false, NoteKind::exceptBuildings, {}},
        {"地階・階層不明", false, NoteKind::floorUnknown, {}},
        {"９階", false, NoteKind::floor, {}},
        {"高層棟）（１２階", false, NoteKind::floor, {}},
        {"高層棟）（地階・階層不明", false, NoteKind::floorUnknown, {}},
        {"丁目", false, NoteKind::anyChome, {}},
        {"番地", false, NoteKind::anyLot, {}},
        {"大字", false, NoteKind::anyLot, {}},
        {"南", false, NoteKind::names, {}, 1},
        {"麻衣、大北、川井、下名、竹尾、櫟木", false, NoteKind::names, {}, 6},
        {"大三", false, NoteKind::names, {}, 1},  // kanji numerals inside a name
        {"河原町通四条上る、四条通河原町西入", true, NoteKind::kyotoStreets, {}, 2},
        {"大和大路通七条下る３丁目、塩小路通大和大路西入", true, NoteKind::kyotoStreets, {}, 2},
        // Not read: they stay text, and their record answers for its town.
        {"西５～８線７９～１１０番地", false, NoteKind::unread, {}},
        {"１条～６条", false, NoteKind::unread, {}},
        {"１７３～２５７番地「鉢伏峠」", false, NoteKind::unread, {}},
        {"下久保「１７４を除く」、高森", false, NoteKind::unread, {}},
        {"妙高山国有林第２８班", false, NoteKind::unread, {}},
        {"１丁目、３番地", false, NoteKind::unread, {}},
    };
    for (const NoteRow& r : rows) {
        const auto c = tenmari::address::readNote(r.note, r.kyoto);
        EXPECT_EQ(c.kind, r.kind) << r.note << " -> " << noteKindName(c.kind);
        std::vector<std::pair<std::uint32_t, std::uint32_t>> numbers;
        for (const auto& n : c.numbers) numbers.emplace_back(n.lo, n.hi);
        EXPECT_EQ(numbers, r.numbers) << r.note;
        EXPECT_EQ(c.names.size(), r.names) << r.note;
    }
    // "４００－２番地" is that lot's second part only.
    const auto c = tenmari::address::readNote("４００－２番地", false);
    ASSERT_EQ(c.numbers.size(), 1u);
    EXPECT_TRUE(c.numbers[0].contains(400, 2, true));
    EXPECT_FALSE(c.numbers[0].contains(400, 3, true));
}

TEST(AddressNotes, CountedByKind) {
    const auto counts = index().noteCounts();
    std::size_t chome = 0;
    for (const auto& c : counts) {
        if (c.kind == "chome") chome = c.records;
    }
    EXPECT_EQ(chome, 2u);
}

// With the nationwide file: each whole record, written with a number inside
// its conditions (and its building and floor), answers with its own code.
TEST(AddressKenAll, EveryRecordFindsItself) {
    TENMARI_REQUIRE_KEN_ALL(csv);
    tenmari::DictionaryReader reader(csv);
    const auto records = tenmari::address::readRecords(reader);
    const AddressIndex all(records);
    // Records by town, to see what stands beside a record.
    std::map<std::tuple<std::string, std::string, std::string>, std::vector<std::size_t>> towns;
    std::vector<NoteKind> kinds;
    for (std::size_t i = 0; i < records.size(); ++i) {
        towns[{records[i].prefecture, records[i].municipality, records[i].town}].push_back(i);
        kinds.push_back(
            tenmari::address::readNote(records[i].note, records[i].municipality.starts_with("京都市")).kind);
    }
    const auto siblings = [&](std::size_t i) -> const std::vector<std::size_t>& {
        return towns[{records[i].prefecture, records[i].municipality, records[i].town}];
    };
    const auto beside = [&](std::size_t i, NoteKind kind) {
        const auto& s = siblings(i);
        return std::any_of(s.begin(), s.end(), [&](std::size_t k) { return k != i && kinds[k] == kind; });
    };
    std::size_t notRead = 0, failed = 0, checked = 0, twins = 0;
    std::vector<std::string> failures;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const WholeRecord& r = records[i];
        const bool notListed = r.town == "以下に掲載がない場合";
        const auto c = tenmari::address::readNote(r.note, r.municipality.starts_with("京都市"));
        if (c.kind == NoteKind::unread) {
            ++notRead;
            continue;
        }
        std::string q = r.prefecture + r.municipality;
        switch (c.kind) {
        case NoteKind::chome: q += r.town + std::to_string(c.numbers[0].hi) + "丁目1"; break;
        case NoteKind::lot:
            q += r.town + std::to_string(c.numbers[0].hi) + "番地";
            if (c.numbers[0].subHi != 0xFFFFFFFFu) q += "の" + std::to_string(c.numbers[0].subHi);
            break;
        case NoteKind::anyChome: q += r.town + "1丁目1"; break;
        case NoteKind::anyLot: q += r.town + "1番地"; break;
        case NoteKind::names:
        case NoteKind::lotsAndNames: q += r.town + "字" + tenmari::address::encodeUtf8(c.names.back()); break;
        case NoteKind::kyotoStreets: q += r.note.substr(0, r.note.find("、")) + r.town; break;
        case NoteKind::floor: q += r.town + std::to_string(c.floor) + "階"; break;
        case NoteKind::floorUnknown: q += r.town; break;
        case NoteKind::other:
            // Beside "（番地）" or "（大字）" the numbered part has its own record: その他 is the rest, by name.
            q += r.town + (beside(i, NoteKind::anyLot) || beside(i, NoteKind::anyChome) ? "字架空" : "999999番地");
            break;
        default:
            if (!notListed) q += r.town;
        }
        ++checked;
        const Answer a = all.match(q);
        // Two records of one town area without notes and with codes of their own
        // (新潟市北区 東栄町): nothing written tells them apart, so ambiguous is right.
        if (c.kind == NoteKind::none && !notListed) {
            const auto& s = siblings(i);
            if (std::count_if(s.begin(), s.end(), [&](std::size_t k) {
                    return kinds[k] == NoteKind::none && records[k].code != r.code;
                }) > 0) {
                ++twins;
                EXPECT_EQ(a.level, Level::ambiguous) << q;
                EXPECT_NE(std::find(a.candidates.begin(), a.candidates.end(), r.code), a.candidates.end()) << q;
                continue;
            }
        }
        if (a.code != r.code) {
            ++failed;
            if (failures.size() < 40) failures.push_back(q + " -> " + a.code + " " + std::string(levelName(a.level)));
        }
    }
    std::string shown;
    for (const auto& f : failures) shown += f + "\n";
    RecordProperty("checked", std::to_string(checked));
    RecordProperty("not_read", std::to_string(notRead));
    std::printf("checked %zu, notes not read %zu, twins without notes %zu, failed %zu\n", checked, notRead, twins,
                failed);
    EXPECT_EQ(failed, 0u) << shown;
}

}  // namespace
