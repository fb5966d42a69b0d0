#pragma once
// The seven pages of the illustrated manual: picture, text lines, counter
// and what each page does to the two page-turning buttons.

#include <QString>

#include <vector>

namespace tenmari {

// What showing a page does to one page button.
enum class ButtonEffect { Unchanged, Enable, Disable };

struct HelpPageContent {
    int number;                  // 1..7
    QString picture;             // relative to the executable's folder, "/" separators
    QString counter;             // "1/7" ... "7/7"
    ButtonEffect back;           // plBtnBack
    ButtonEffect front;          // plBtnFront
    std::vector<QString> lines;  // in order; empty lines included
};

inline constexpr int kHelpPageCount = 7;

// All pages, page 1 first.
const std::vector<HelpPageContent>& helpPages();

// The page with this number, or nullptr outside 1..kHelpPageCount.
const HelpPageContent* helpPage(int number);

// The memo's whole text for a page: its lines joined by "\n", no line break
// after the last one.
QString helpMemoText(const HelpPageContent& page);

// The picture's full path: the executable's folder joined with the page's
// relative name.
QString helpPicturePath(const QString& exeDir, const HelpPageContent& page);

// A button's enabled state after a page's effect on it.
constexpr bool applyButtonEffect(ButtonEffect effect, bool enabled) {
    switch (effect) {
    case ButtonEffect::Enable: return true;
    case ButtonEffect::Disable: return false;
    case ButtonEffect::Unchanged: break;
    }
    return enabled;
}

}  // namespace tenmari
