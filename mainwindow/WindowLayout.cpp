#include "WindowLayout.h"

namespace tenmari {

WindowLayout windowLayout(int winState, int o) {
    WindowLayout l;
    l.kensakuTop = 83 - o;
    switch (winState) {
    case kCompact:
        l.valid = true;
        l.mainHeight = kCompactHeight - o;
        l.buttonRowTop = 343 - o;
        l.hideKekka = true;
        l.settingFollows = true;
        l.nextState = kCompact;
        break;
    case kExpanded:
        l.valid = true;
        l.mainHeight = kExpandedHeight - o;
        l.buttonRowTop = 484 - o;
        l.kekkaTopSet = true;
        l.kekkaTop = 343 - o;
        l.helpFollows = true;
        l.nextState = kExpanded;
        break;
    case kExpandRequest:
        l.valid = true;
        l.mainHeight = kExpandedHeight - o;  // from the compact height; see growthSteps
        l.buttonRowTop = 484 - o;
        l.kekkaTopSet = true;
        l.kekkaTop = 343 - o;
        l.showKekka = true;
        l.animate = true;
        l.nextState = kExpanded;
        break;
    default: break;
    }
    return l;
}

std::vector<int> growthSteps(int startHeight) {
    std::vector<int> steps;
    int h = startHeight;
    for (int i = 0; i < 5; ++i) {
        h += 29;
        steps.push_back(h);
    }
    steps.push_back(h - 3);
    return steps;
}

}  // namespace tenmari
