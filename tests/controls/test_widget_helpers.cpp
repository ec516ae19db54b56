// The controls' common behaviour and the user-interface utilities.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <memory>

#include "ControlsTestSupport.h"
#include "controls/ProgressBar.h"
#include "controls/Slider.h"
#include "controls/WidgetHelpers.h"
#include "platform/Rounding.h"

using namespace movarel;
using namespace movarel::test;

TEST(ControlUtilities, RoundHalfEvenRoundsTiesToEvenAndSaturates) {
    struct Case {
        double in;
        int32_t out;
    } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {17.34, 17},
                 {20.25, 20}, {1e12, INT32_MAX}, {-1e12, INT32_MIN}, {std::nan(""), 0}};
    for (const Case& c : cases)
        EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
}

TEST(ControlUtilities, ColorRefIsBlueGreenRed) {
    EnsureApp();
    EXPECT_EQ(ColorFromRef(0xA89890), QColor(0x90, 0x98, 0xA8));
}

TEST(ControlUtilities, MenuTextCheckAndEnableWorkByPosition) {
    EnsureApp();
    MessageRecorder recorder;
    QMenu menu;
    menu.addAction("Load...");
    menu.addSeparator();
    menu.addAction("Play");

    SetMenuText(&menu, 2, "Spielen\bF9");
    EXPECT_EQ(menu.actions()[2]->text(), "Spielen\tF9");
    // An empty text, or only a shortcut suffix, leaves the item alone.
    SetMenuText(&menu, 2, "");
    SetMenuText(&menu, 2, "\bF9");
    EXPECT_EQ(menu.actions()[2]->text(), "Spielen\tF9");
    EXPECT_TRUE(recorder.Messages().empty());

    SetMenuText(&menu, 7, "Nowhere");
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "SetMenuText: SetMenuItemInfo error");
    EXPECT_EQ(recorder.Messages()[0].caption, "Debug");

    SetMenuCheck(&menu, 0, true);
    EXPECT_TRUE(menu.actions()[0]->isChecked());
    SetMenuCheck(&menu, 0, false);
    EXPECT_FALSE(menu.actions()[0]->isChecked());
    SetMenuEnabled(&menu, 2, false);
    EXPECT_FALSE(menu.actions()[2]->isEnabled());
    SetMenuEnabled(&menu, 2, true);
    EXPECT_TRUE(menu.actions()[2]->isEnabled());
    // Positions outside the menu are ignored.
    SetMenuCheck(&menu, -1, true);
    SetMenuEnabled(&menu, 99, false);

    QMenuBar bar;
    bar.addMenu("File");
    SetMenuText(&bar, 0, "Datei");
    EXPECT_EQ(bar.actions()[0]->text(), "Datei");
}

TEST(ControlUtilities, FontsTakeTheStyleBits) {
    EnsureApp();
    const QFont regular = CreateFontByName("Tahoma", 13, 0);
    const QFont bold = CreateFontByName("Tahoma", 13, 1);
    const QFont all = CreateFontByName("No Such Family Anywhere", 13, 15);
    EXPECT_FALSE(regular.bold());
    EXPECT_TRUE(bold.bold());
    EXPECT_EQ(bold.weight(), QFont::Bold);
    EXPECT_TRUE(all.bold() && all.italic() && all.underline() && all.strikeOut());
    EXPECT_LE(QFontMetrics(bold).height(), 13 + 1);
}

TEST(ControlUtilities, ButtonsGetTheirPictureAndCheck) {
    EnsureApp();
    QPushButton button;
    button.setCheckable(true);
    const QPixmap picture = SetButtonBitmap(&button, "PLAYBMP");
    EXPECT_EQ(picture.size(), QSize(20, 20));
    EXPECT_FALSE(button.icon().isNull());
    EXPECT_TRUE(SetButtonBitmap(&button, "NOSUCHBMP").isNull());
    SetButtonCheck(&button, true);
    EXPECT_TRUE(button.isChecked());
    SetButtonCheck(&button, false);
    EXPECT_FALSE(button.isChecked());
    SetButtonCheck(nullptr, true);
    for (const char* name : {"PAUSEBMP", "STOPBMP", "SEGMENTSBMP", "PREVBMP", "NEXTBMP", "FULLSCREENBMP"})
        EXPECT_EQ(SetButtonBitmap(nullptr, name).size(), QSize(20, 20)) << name;
}

TEST(Controls, TwoSlidersWorkApartAndAllControlsTakeTabFocusAndTheHandCursor) {
    EnsureApp();
    QWidget parent;
    Slider* a = new Slider(&parent);
    Slider* b = new Slider(&parent);
    ProgressBar* bar = new ProgressBar(&parent);
    for (QWidget* c : {static_cast<QWidget*>(a), static_cast<QWidget*>(b), static_cast<QWidget*>(bar)}) {
        EXPECT_TRUE(c->isEnabled());
        EXPECT_EQ(c->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(c->focusPolicy(), Qt::TabFocus);
    }
    EXPECT_EQ(a->geometry(), QRect(0, 0, 120, 22));
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 200, 10));
    a->setValue(4);
    b->setValue(7);
    EXPECT_EQ(a->value(), 4);
    EXPECT_EQ(b->value(), 7);
    // Made without a parent, a control is not shown.
    Slider alone;
    EXPECT_FALSE(alone.isVisible());
}

TEST(Controls, AHandedInBrushIsAValueTheSliderDoesNotOwn) {
    EnsureApp();
    QWidget parent;
    QBrush shared(Qt::white);
    {
        std::unique_ptr<Slider> one(new Slider(&parent));
        one->setBackground(shared);
        EXPECT_EQ(one->background().color(), QColor(Qt::white));
    }
    Slider* two = new Slider(&parent);
    two->setBackground(shared);
    EXPECT_EQ(shared.color(), QColor(Qt::white));
    EXPECT_EQ(two->background().color(), QColor(Qt::white));
}
