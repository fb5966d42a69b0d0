#pragma once
// The ten regions the user picks a dictionary by: the nationwide file and
// nine regional files, all in the Jisho folder beside the program. Texts are
// UTF-8; a regional file holds the records of exactly its prefectures.

#include <filesystem>
#include <span>
#include <string_view>

namespace tenmari {

struct Region {
    int index;                  // drop-down item index and stored `Jisho` value
    std::string_view item;      // drop-down item text
    std::string_view caption;   // region panel caption
    std::string_view fileName;  // bare file name inside the Jisho folder
    // Full prefecture names ("北海道", "青森県", ...); empty for the nationwide file.
    std::span<const std::string_view> prefectures;
};

inline constexpr std::string_view kJishoFolder = "Jisho";
inline constexpr int kRegionCount = 10;
inline constexpr int kNationwide = 0;

// All ten, in index order.
std::span<const Region> regions();

// Region `index` (0..9); throws std::out_of_range for any other value.
const Region& region(int index);

// Index (1..9) of the region whose prefectures include `name`, or -1.
int regionOfPrefecture(std::string_view utf8Name);
// The same for a name in code page 932, as read from a dictionary line.
int regionOfPrefectureCp932(std::string_view cp932Name);

// exeDir/Jisho/<file name of region `index`>; throws like region().
std::filesystem::path jishoPath(const std::filesystem::path& exeDir, int index);

}  // namespace tenmari
