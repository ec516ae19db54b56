// The segment list window: its keys, the mouse, the close button and layout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include "ControlsTestSupport.h"
#include "controls/BottomPanel.h"
#include "controls/SegmentListWindow.h"
#include "controls/WidgetHelpers.h"
#include "engine/Command.h"

using namespace movarel;
using namespace movarel::test;

namespace {

using Log = std::vector<std::string>;

// A key as the user presses it: the press and the release each go to the
// widget that has the focus at that moment.
void PressKey(Qt::Key key) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent e(type, key, Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    }
}

// The list shown and filled through the Segments button, the focus in it.
struct ListFixture {
    PanelFixture panel;
    QListWidget* list = panel.list->listBox();
    QPushButton* segments = panel.panel->button(cmd::Segments);
    ListFixture() {
        panel.main->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(panel.main));
        QTest::mouseClick(segments, Qt::LeftButton);
        panel.list->focusList();
        panel.log.clear();
    }
};

}  // namespace

TEST(SegmentList, ShowsTheNamesItIsGivenAndSelectsOne) {
    ListFixture f;
    ASSERT_EQ(f.list->count(), 3);
    EXPECT_EQ(f.list->item(1)->text(), "Setup");
    EXPECT_EQ(f.list->currentRow(), 0);
    f.panel.list->selectSegment(2);
    EXPECT_EQ(f.list->currentRow(), 2);
    f.panel.list->selectSegment(7);
    EXPECT_TRUE(f.list->selectedItems().isEmpty());
    f.panel.list->setSegmentNames({});
    EXPECT_EQ(f.list->count(), 0);
    // Film titles are code-page bytes; the shell decodes them for the list.
    f.panel.list->setSegmentNames({DecodeFilmText("Caf\xE9")});
    EXPECT_EQ(f.list->item(0)->text().size(), 4);
}

TEST(SegmentList, ReturnClosesTheListChoosesTheSegmentAndHandsTheFocusOver) {
    ListFixture f;
    ASSERT_TRUE(f.list->hasFocus());
    PressKey(Qt::Key_Down);  // other keys move the selection as in any list
    EXPECT_EQ(f.list->currentRow(), 1);
    PressKey(Qt::Key_Return);
    EXPECT_EQ(f.panel.log, (Log{"command 113", "segment 1"}));
    EXPECT_FALSE(f.panel.list->isVisible());
    EXPECT_TRUE(f.segments->hasFocus());
    EXPECT_FALSE(f.segments->isChecked());
}

TEST(SegmentList, EscapeClosesTheListAndHandsTheFocusOver) {
    ListFixture f;
    PressKey(Qt::Key_Escape);
    EXPECT_EQ(f.panel.log, Log{"command 113"});
    EXPECT_FALSE(f.panel.list->isVisible());
    EXPECT_TRUE(f.segments->hasFocus());
    // Asked after the hiding, the window still knows the list had the focus.
    EXPECT_TRUE(f.panel.list->listHadFocus());
    f.panel.list->forgetListFocus();
    EXPECT_FALSE(f.panel.list->listHadFocus());
}

TEST(SegmentList, ADoubleClickBehavesLikeReturn) {
    ListFixture f;
    const QRect item = f.list->visualItemRect(f.list->item(2));
    // The first click of a double click selects the item.
    QTest::mouseClick(f.list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    QTest::mouseDClick(f.list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    EXPECT_EQ(f.panel.log, (Log{"command 113", "segment 2"}));
    EXPECT_FALSE(f.panel.list->isVisible());
}

TEST(SegmentList, ReturnWithoutASelectionOnlyClosesTheList) {
    ListFixture f;
    f.panel.list->selectSegment(-1);
    PressKey(Qt::Key_Return);
    EXPECT_EQ(f.panel.log, Log{"command 113"});
}

TEST(SegmentList, TheRightButtonAsksForTheContextMenu) {
    ListFixture f;
    QTest::mousePress(f.list->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(20, 5));
    QTest::mousePress(f.panel.list, Qt::RightButton, Qt::NoModifier, QPoint(100, 10));
    EXPECT_EQ(f.panel.log, (Log{"menu", "menu"}));
    EXPECT_TRUE(f.panel.list->isVisible());
}

TEST(SegmentList, TheCloseButtonClosesTheListAndTheButtonFollows) {
    ListFixture f;
    ASSERT_TRUE(f.segments->isChecked());
    QTest::mouseClick(f.panel.list->closeButton(), Qt::LeftButton);
    EXPECT_EQ(f.panel.log, Log{"command 113"});
    EXPECT_FALSE(f.panel.list->isVisible());
    EXPECT_FALSE(f.segments->isChecked());
}

TEST(SegmentList, LayoutFollowsAResize) {
    ListFixture f;
    struct Case {
        int w, h;
    } cases[] = {{400, 300}, {400, 500}, {250, 120}};
    for (const Case& c : cases) {
        f.panel.list->resize(c.w, c.h);
        QApplication::processEvents();
        EXPECT_EQ(f.list->geometry(), QRect(QPoint(4, 24), QPoint(c.w - 5, c.h - 5))) << c.w << "x" << c.h;
        EXPECT_EQ(f.panel.list->closeButton()->geometry(), QRect(c.w - 20, 5, 15, 15));
    }
    const QImage img = f.panel.list->grab().toImage();
    const QRgb accent = Rgb(kSegmentListAccentColor);
    EXPECT_EQ(img.pixel(0, 0), accent);
    EXPECT_EQ(img.pixel(249, 119), accent);
    EXPECT_EQ(img.pixel(5, 20), accent);  // the title bar
    EXPECT_EQ(img.pixel(2, 10), f.panel.list->palette().color(QPalette::Window).rgb());
}

TEST(SegmentList, AFailureBehindASignalIsReportedAndTheListGoesOn) {
    ListFixture f;
    MessageRecorder recorder;
    struct Case {
        const char* what;
        std::function<void()> act;
        int number;
    } cases[] = {
        {"Escape pressed",
         [&] {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(f.list, &press);
         },
         256},
        {"Return released",
         [&] {
             QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
             QApplication::sendEvent(f.list, &release);
         },
         257},
        {"close button", [&] { QTest::mouseClick(f.panel.list->closeButton(), Qt::LeftButton); }, 273},
        {"right button", [&] { QTest::mousePress(f.panel.list, Qt::RightButton, {}, QPoint(100, 10)); }, 516},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        recorder.Clear();
        f.panel.list->show();
        f.panel.failNext = true;
        c.act();
        EXPECT_FALSE(f.panel.failNext) << "nothing was signalled";
        ASSERT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(recorder.Messages()[0].text, "SegmentList: WndProc error: Msg = " + std::to_string(c.number));
        EXPECT_EQ(recorder.Messages()[0].caption, "Error");
    }
}
