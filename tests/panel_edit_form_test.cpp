// The panel and the edit placed by a form file, as the window's design does.
#include "SsEdit.h"
#include "TrPanel.h"
#include "ui_panel_edit_form.h"

#include <gtest/gtest.h>

#include <limits>

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

}  // namespace
}  // namespace tenmari
