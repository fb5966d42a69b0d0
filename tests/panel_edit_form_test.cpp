// The panel and the edit placed by a form file, as the window's design does.
#include "SsEdit.h"
#include "TrPanel.h"
#include "ui_panel_edit_form.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace tenmari {
namespace {

TEST(PanelEditFormTest, FormFileSetsTheProperties) {
    QWidget form;
    Ui::PanelEditForm ui;
    ui.setupUi(&form);

    EXPECT_TRUE(ui.LabelSoft->Transparent());
    EXPECT_EQ(ui.LabelSoft->Alignment(), TTransPanel::taLeftJustify);
    EXPECT_EQ(ui.LabelSoft->BevelOuter(), TTransPanel::bvNone);
    EXPECT_EQ(ui.LabelSoft->Caption(), "Tenmari Software");
    EXPECT_EQ(ui.LabelSoft->geometry(), QRect(123, 22, 296, 17));

    EXPECT_EQ(ui.Balloon->Shape(), TTransPanel::stFukidasi);
    EXPECT_EQ(ui.Balloon->FukidasiType(), TTransPanel::ftBottom);
    EXPECT_EQ(ui.Balloon->FukidasiPosition(), 30);
    EXPECT_EQ(ui.Balloon->ShapePen().width(), 2);
    EXPECT_EQ(ui.Balloon->ShapePen().color(), QColor(255, 0, 0));
    EXPECT_EQ(ui.Balloon->CaptionLines(), (QStringList{"一行目", "2"}));

    // Colours as the design writes them, a number or the text 0x00BBGGRR.
    EXPECT_EQ(ui.Balloon->ShapeBrush().color(), QColor(0xCC, 0xCE, 0xC4));
    EXPECT_EQ(ui.Balloon->Color(), 0x00DDE8E5u);
    EXPECT_EQ(ui.LabelSoft->Color(), clBtnShadow);

    // The page counter: its layout text is the first write.
    EXPECT_EQ(ui.SsEditHelp->Text(), "0/7");
    EXPECT_TRUE(ui.SsEditHelp->TextAssigned());
    EXPECT_TRUE(ui.SsEditHelp->isReadOnly());
    EXPECT_EQ(ui.SsEditHelp->Alignment(), TSsEdit::taCenter);
    EXPECT_EQ(ui.SsEditHelp->EditOption().Length.MaxLength, 0);
    // The line edit's own limit stays off.
    EXPECT_EQ(ui.SsEditHelp->QLineEdit::maxLength(), std::numeric_limits<int>::max());
    ui.SsEditHelp->SetText("1/7");
    EXPECT_EQ(ui.SsEditHelp->Text(), "1/7");
}

// The design's colour text: "0x" and eight hexadecimal digits, nothing else.
TEST(PanelEditFormTest, ColourTextIsTheDesignsHexForm) {
    const struct {
        const char* text;
        std::optional<TColor> colour;
    } cases[] = {
        {"0x00DDE8E5", 0x00DDE8E5u},   {"0x00dde8e5", 0x00DDE8E5u},  {"0X00C4CECC", 0x00C4CECCu},
        {"0xFF00000F", clBtnFace},  // a system colour: too big for the form file's <number>
        {"0x00000000", clBlack},       {"14543077", std::nullopt},  // the decimal number is no colour text
        {"0xDDE8E5", std::nullopt},                                 // six digits
        {"0x00DDE8E5F", std::nullopt}, {"0x00DDE8G5", std::nullopt}, {"0x-0DDE8E5", std::nullopt},
        {" 0x00DDE8E", std::nullopt},  {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(colourFromText(QString::fromLatin1(c.text)), c.colour) << c.text;
    }
}

// Text that is no colour leaves the control's colour as it was.
TEST(PanelEditFormTest, ColourTextThatIsNoColourKeepsTheColour) {
    TTransPanel panel;
    panel.setColor(QStringLiteral("0x00C4CECC"));
    EXPECT_EQ(panel.Color(), 0x00C4CECCu);
    panel.setColor(QStringLiteral("12897996"));
    EXPECT_EQ(panel.Color(), 0x00C4CECCu);
}

}  // namespace
}  // namespace tenmari
