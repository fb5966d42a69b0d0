// Keeping the copied text after the program ends: who keeps it, and that the
// tests' own clipboard never starts a helper.

#include "ClipboardKeeper.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <gtest/gtest.h>

using tenmari::ClipboardHandover;
using tenmari::ClipboardSituation;

TEST(ClipboardKeeperTest, ChoosesWhoKeepsTheText) {
    struct Case {
        const char* what;
        ClipboardSituation s;
        ClipboardHandover want;
    };
    const QString xcb = QStringLiteral("xcb");
    const Case cases[] = {
        {"X11, no manager: our helper", {xcb, true, false, false, true}, ClipboardHandover::Helper},
        {"X11 with a manager: the manager", {xcb, true, true, false, true}, ClipboardHandover::Manager},
        {"the manager also without a helper", {xcb, true, true, false, false}, ClipboardHandover::Manager},
        {"no helper installed", {xcb, true, false, false, false}, ClipboardHandover::None},
        {"someone else owns the clipboard", {xcb, false, false, false, true}, ClipboardHandover::None},
        {"switched off by the user", {xcb, true, false, true, true}, ClipboardHandover::None},
        {"offscreen, as in tests", {QStringLiteral("offscreen"), true, false, false, true}, ClipboardHandover::None},
        {"Wayland", {QStringLiteral("wayland"), true, false, false, true}, ClipboardHandover::None},
    };
    for (const Case& c : cases) EXPECT_EQ(tenmari::chooseClipboardHandover(c.s), c.want) << c.what;
}

TEST(ClipboardKeeperTest, StartsNothingOffscreen) {
    QGuiApplication::clipboard()->setText(QStringLiteral("〒100-0001"));
    // A file that is surely executable stands in for the helper.
    const QString helper = QStringLiteral("/bin/true");
    const ClipboardSituation s = tenmari::currentClipboardSituation(helper);
    EXPECT_EQ(s.platform, QGuiApplication::platformName());
    EXPECT_FALSE(s.helperFound) << "the helper is looked for only on X11";
    EXPECT_EQ(tenmari::keepClipboardAfterExit(helper), 0);
}
