#pragma once
// The window's layout states and where they put the panels. Pure geometry,
// so the table can be checked without a window.

#include <vector>

namespace tenmari {

// WinState values.
inline constexpr int kCompact = 1;        // search or settings panel, button row below it
inline constexpr int kExpanded = 2;       // tall enough for the results or the help panel
inline constexpr int kExpandRequest = 3;  // the results panel was just shown: grow, then 2

inline constexpr int kWindowWidth = 450;
inline constexpr int kCompactHeight = 413;
inline constexpr int kExpandedHeight = 555;
// Without the title bar everything moves up by this much.
inline constexpr int kNoTitleOffset = 4;

struct WindowLayout {
    bool valid = false;        // false: the state changes nothing
    int mainHeight = 0;        // PnlMain height, and so the client height (final, after growth)
    int kensakuTop = 0;        // PnlKensaku top
    int buttonRowTop = 0;      // PnlBtn1 and PnlBtn2 top
    bool kekkaTopSet = false;  // PnlKekka top is set (to kekkaTop)
    int kekkaTop = 0;
    bool hideKekka = false;       // compact hides the results panel
    bool showKekka = false;       // an expand request shows it
    bool settingFollows = false;  // PnlSetting top := PnlKensaku top
    bool helpFollows = false;     // PnlHelp top := PnlKensaku top
    bool animate = false;         // grow PnlMain step by step
    int nextState = 0;            // WinState afterwards
};

// The layout for `winState` with the title offset (0 or kNoTitleOffset).
WindowLayout windowLayout(int winState, int titleOffset);

// The heights PnlMain takes while it grows from `startHeight`: five steps of
// 29 pixels, then 3 back.
std::vector<int> growthSteps(int startHeight);

}  // namespace tenmari
