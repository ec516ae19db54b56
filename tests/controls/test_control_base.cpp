// The control base and the user-interface utilities.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <memory>

#include "ControlsTestSupport.h"
#include "controls/qxControls.h"
#include "controls/qxProgressBar.h"
#include "controls/qxSlider.h"
#include "platform/Rounding.h"

using namespace movarel;
using namespace movarel::test;

TEST(ControlUtilities, MakeBoundsRectGrowsFromTheCornerForNegativeExtents) {
    struct Case {
        int x, y, w, h;
        TRect expected;
    } cases[] = {
        {100, 1, -170, 20, {-69, 1, 100, 20}},
        {10, 20, 30, 40, {10, 20, 39, 59}},
        {10, 20, 0, 0, {10, 20, 9, 19}},
        {5, 50, 1, -10, {5, 41, 5, 50}},
    };
    for (const Case& c : cases) {
        TRect r;
        MakeBoundsRect(c.x, c.y, c.w, c.h, r);
        EXPECT_EQ(r, c.expected) << c.x << "," << c.y << "," << c.w << "," << c.h;
    }
    TRect r;
    MakeRect(1, 2, 3, 4, r);
    EXPECT_EQ(r, (TRect{1, 2, 3, 4}));
}

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

TEST(ControlBase, TwoControlsOfOneClassBothWorkAndShareTheRegistration) {
    EnsureApp();
    QWidget parent;
    TqxSlider* a = TqxControl::Create<TqxSlider>(&parent);
    TqxSlider* b = TqxControl::Create<TqxSlider>(&parent);
    TqxProgressBar* bar = TqxControl::Create<TqxProgressBar>(&parent);
    EXPECT_EQ(ControlsModule().Classes.count("qxSlider"), 1u);
    EXPECT_EQ(ControlsModule().Classes.count("qxProgressBar"), 1u);
    for (TqxControl* c : {static_cast<TqxControl*>(a), static_cast<TqxControl*>(b)}) {
        EXPECT_TRUE(c->Attached());
        EXPECT_TRUE(c->GetEnabled());
        EXPECT_EQ(c->ClassName(), "qxSlider");
        EXPECT_EQ(c->Style(), 0x50010000u);
        EXPECT_EQ(c->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(c->focusPolicy(), Qt::TabFocus);
        EXPECT_EQ(c->geometry(), QRect(0, 0, 120, 22));
    }
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 200, 10));
    a->SetPosition(4);
    b->SetPosition(7);
    EXPECT_EQ(a->GetPosition(), 4);
    EXPECT_EQ(b->GetPosition(), 7);
}

TEST(ControlBase, BoundsSettersMoveTheWindowAndMessage1025MovesItBack) {
    EnsureApp();
    QWidget parent;
    parent.resize(300, 100);
    parent.show();
    TqxSlider* s = TqxControl::Create<TqxSlider>(&parent);
    s->SetLeft(5);
    s->SetTop(6);
    s->SetWidth(70);
    s->SetHeight(20);
    EXPECT_EQ(s->geometry(), QRect(5, 6, 70, 20));

    // Moved from outside, the control follows; its stored bounds are what 1025 restores.
    s->setGeometry(40, 40, 70, 20);
    QApplication::processEvents();
    EXPECT_EQ(s->GetLeft(), 40);
    TRect stored{5, 6, 74, 25};
    EXPECT_EQ(s->BoundsChanging(stored), 1);
    QApplication::postEvent(s, new QEvent(static_cast<QEvent::Type>(kUpdateBoundsEvent)));
    QApplication::processEvents();
    EXPECT_EQ(s->geometry(), QRect(5, 6, 70, 20));
}

TEST(ControlBase, AHandedInBrushIsAValueTheControlDoesNotOwn) {
    EnsureApp();
    QWidget parent;
    QBrush shared(Qt::white);
    {
        std::unique_ptr<TqxSlider> one(TqxControl::Create<TqxSlider>(&parent));
        one->SetBrush(shared);
        EXPECT_EQ(one->Brush().color(), QColor(Qt::white));
    }
    TqxSlider* two = TqxControl::Create<TqxSlider>(&parent);
    two->SetBrush(shared);
    EXPECT_EQ(shared.color(), QColor(Qt::white));
    EXPECT_EQ(two->Brush().color(), QColor(Qt::white));
}
