#include "Regions.h"

#include <array>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Cp932.h"

namespace tenmari {
namespace {

using namespace std::string_view_literals;

constexpr std::array kHokkaidou{"北海道"sv};
constexpr std::array kTouhoku{"青森県"sv, "秋田県"sv, "岩手県"sv, "山形県"sv, "宮城県"sv, "福島県"sv};
constexpr std::array kHokuriku{"新潟県"sv, "長野県"sv, "富山県"sv, "石川県"sv, "福井県"sv};
constexpr std::array kKantou{"東京都"sv, "神奈川県"sv, "埼玉県"sv, "千葉県"sv,
                             "茨城県"sv, "群馬県"sv,   "栃木県"sv, "山梨県"sv};
constexpr std::array kToukai{"愛知県"sv, "静岡県"sv, "三重県"sv, "岐阜県"sv};
constexpr std::array kKinki{"大阪府"sv, "京都府"sv, "兵庫県"sv, "奈良県"sv, "和歌山県"sv, "滋賀県"sv};
constexpr std::array kChugoku{"広島県"sv, "岡山県"sv, "鳥取県"sv, "島根県"sv, "山口県"sv};
constexpr std::array kShikoku{"香川県"sv, "愛媛県"sv, "徳島県"sv, "高知県"sv};
constexpr std::array kKyushu{"福岡県"sv, "大分県"sv, "佐賀県"sv,   "長崎県"sv,
                             "熊本県"sv, "宮崎県"sv, "鹿児島県"sv, "沖縄県"sv};

// The full-width spaces in the nationwide caption are U+3000.
const std::array<Region, kRegionCount> kRegions{{
    {0, "全国", "全　国　（47都道府県全検索）", "Zenkoku.csv", {}},
    {1, "北海道", "北海道", "Hokkaidou.csv", kHokkaidou},
    {2, "東北地方", "青森・秋田・岩手・山形・宮城・福島", "Touhoku.csv", kTouhoku},
    {3, "北陸・信越地方", "新潟・長野・富山・石川・福井", "Hokuriku.csv", kHokuriku},
    {4, "関東地方", "東京・神奈川・埼玉・千葉・茨城・群馬・栃木・山梨", "Kantou.csv", kKantou},
    {5, "東海地方", "愛知・静岡・三重・岐阜", "Toukai.csv", kToukai},
    {6, "近畿地方", "大阪・京都・兵庫・奈良・和歌山・滋賀", "Kinki.csv", kKinki},
    {7, "中国地方", "広島・岡山・鳥取・島根・山口", "Chugoku.csv", kChugoku},
    {8, "四国地方", "香川・愛媛・徳島・高知", "Shikoku.csv", kShikoku},
    {9, "九州・沖縄地方", "福岡・大分・佐賀・長崎・熊本・宮崎・鹿児島・沖縄", "Kyushu.csv", kKyushu},
}};

// Every prefecture in code page 932 with its region, built once.
const std::vector<std::pair<std::string, int>>& cp932Prefectures() {
    static const auto table = [] {
        std::vector<std::pair<std::string, int>> t;
        for (const Region& r : kRegions) {
            for (std::string_view name : r.prefectures) t.emplace_back(utf8ToCp932(name), r.index);
        }
        return t;
    }();
    return table;
}

}  // namespace

std::span<const Region> regions() { return kRegions; }

const Region& region(int index) {
    if (index < 0 || index >= kRegionCount) {
        throw std::out_of_range("no region " + std::to_string(index) + " (0 to 9)");
    }
    return kRegions[static_cast<std::size_t>(index)];
}

int regionOfPrefecture(std::string_view utf8Name) {
    for (const Region& r : kRegions) {
        for (std::string_view name : r.prefectures) {
            if (name == utf8Name) return r.index;
        }
    }
    return -1;
}

int regionOfPrefectureCp932(std::string_view cp932Name) {
    for (const auto& [name, index] : cp932Prefectures()) {
        if (name == cp932Name) return index;
    }
    return -1;
}

std::filesystem::path jishoPath(const std::filesystem::path& exeDir, int index) {
    return exeDir / kJishoFolder / region(index).fileName;
}

}  // namespace tenmari
