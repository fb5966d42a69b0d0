// A form designed in Qt Designer sets the button's design-time settings.
#include "plButton.h"
#include "ui_button_form.h"

#include <gtest/gtest.h>

using tenmari::TplButton;

TEST(ButtonForm, DesignedSettingsReachTheButton) {
    QWidget form;
    Ui::ButtonForm ui;
    ui.setupUi(&form);
    TplButton* b = ui.plBtnKensaku;
    EXPECT_EQ(b->geometry(), QRect(13, 8, 100, 49));
    EXPECT_EQ(b->ButtonStyle(), TplButton::bsFlat);
    EXPECT_EQ(b->FlatFrameType(), TplButton::bffEtched);
    EXPECT_EQ(b->GradEndColor(), 0x00C7DDE2u);
    EXPECT_EQ(b->CaptionTop(), 17);
    EXPECT_FALSE(b->CaptionVertCenter());
    // The form gives the parent before the name: the stored caption alone counts.
    EXPECT_EQ(b->CaptionA()->Caption(), QStringLiteral("検　索"));
    EXPECT_EQ(b->CaptionA()->Alignment(), TplButton::taRight);
    EXPECT_EQ(b->CaptionA()->Right(), 11);
    EXPECT_TRUE(b->CaptionB()->Caption().isEmpty());
    EXPECT_EQ(b->Image()->Top(), 12);
    EXPECT_FALSE(b->Image()->VertCenter());
    EXPECT_TRUE(b->Cancel());
    EXPECT_EQ(b->ModalResult(), 2);
}

TEST(ButtonForm, PropertiesByName) {
    TplButton b;
    EXPECT_TRUE(b.setProperty("ButtonStyle", QStringLiteral("bsRoundRect")));
    EXPECT_EQ(b.ButtonStyle(), TplButton::bsRoundRect);
    EXPECT_TRUE(b.setProperty("CaptionBAlignment", QStringLiteral("taEven")));
    EXPECT_EQ(b.CaptionB()->Alignment(), TplButton::taEven);
    EXPECT_TRUE(b.setProperty("ImageLeft", 4));
    EXPECT_FALSE(b.Image()->HorzCenter());
    EXPECT_EQ(b.property("ImageLeft").toInt(), 4);
    EXPECT_TRUE(b.CaptionA()->setProperty("Alignment", QStringLiteral("taLeft")));
    EXPECT_EQ(b.property("CaptionAAlignment").value<TplButton::TplBtnAlignment>(), TplButton::taLeft);
}
