// The segment list window: its keys, the mouse, the close button and layout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include "ControlsTestSupport.h"
#include "controls/UqxBottomPanel.h"
#include "controls/UqxSegmentList.h"
#include "engine/PlaybackClock.h"

using namespace movarel;
using namespace movarel::test;

namespace {

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

struct ListFixture {
    RecordingCalls calls;
    FilmFixture film{{{640, 480, 100, 10, "Intro"}, {800, 600, 100, 10, "Setup"}, {640, 480, 100, 20, "End"}}};
    PanelFixture panel;
    QListWidget* list = SegmentListBox();
    ListFixture() {
        calls.segmentListWindow = panel.list;
        panel.main->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(panel.main));
        calls.ToggleSegmentList();  // shown and filled, as the shell does it
        list->setFocus();
        calls.log.clear();
    }
};

}  // namespace

TEST(SegmentList, ShowingFillsTheNamesAndSelectsTheCurrentSegment) {
    ListFixture f;
    ASSERT_EQ(f.list->count(), 3);
    EXPECT_EQ(f.list->item(1)->text(), "Setup");
    EXPECT_EQ(f.list->currentRow(), 0);
    SelectSegmentInList(2);
    EXPECT_EQ(f.list->currentRow(), 2);
    ClearSegmentNames();
    EXPECT_EQ(f.list->count(), 0);
    AddSegmentName("Caf\xE9");  // not UTF-8: a code-page title
    EXPECT_EQ(f.list->item(0)->text().size(), 4);
}

TEST(SegmentList, ReturnStartsTheSelectedSegmentAndHandsTheFocusOver) {
    ListFixture f;
    ASSERT_TRUE(f.list->hasFocus());
    PressKey(Qt::Key_Down);  // other keys move the selection as in any list
    EXPECT_EQ(f.list->currentRow(), 1);
    PressKey(Qt::Key_Return);
    EXPECT_EQ(f.calls.log, (std::vector<std::string>{"ToggleSegmentList", "StartSegment 1"}));
    EXPECT_FALSE(f.panel.list->isVisible());
    EXPECT_EQ(PanelClock().CurrentSegment, 1);
    EXPECT_EQ(BottomPanel().InfoText, "800 x 600 x 32 / 10 fps");
    EXPECT_TRUE(PanelButton(cmd::Segments)->hasFocus());
    EXPECT_FALSE(PanelButton(cmd::Segments)->isChecked());
}

TEST(SegmentList, EscapeHidesTheListAndHandsTheFocusOver) {
    ListFixture f;
    PressKey(Qt::Key_Escape);
    EXPECT_EQ(f.calls.log, std::vector<std::string>{"ToggleSegmentList"});
    EXPECT_FALSE(f.panel.list->isVisible());
    EXPECT_TRUE(PanelButton(cmd::Segments)->hasFocus());
}

TEST(SegmentList, ADoubleClickBehavesLikeReturn) {
    ListFixture f;
    const QRect item = f.list->visualItemRect(f.list->item(2));
    // The first click of a double click selects the item.
    QTest::mouseClick(f.list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    QTest::mouseDClick(f.list->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    EXPECT_EQ(f.calls.log, (std::vector<std::string>{"ToggleSegmentList", "StartSegment 2"}));
    EXPECT_FALSE(f.panel.list->isVisible());
    EXPECT_EQ(PanelClock().CurrentSegment, 2);
}

TEST(SegmentList, TheRightButtonOpensTheContextMenu) {
    ListFixture f;
    QTest::mousePress(f.list->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(20, 5));
    QTest::mousePress(f.panel.list, Qt::RightButton, Qt::NoModifier, QPoint(100, 10));
    EXPECT_EQ(f.calls.log, (std::vector<std::string>{"ShowPopupMenu", "ShowPopupMenu"}));
    EXPECT_TRUE(f.panel.list->isVisible());
}

TEST(SegmentList, TheCloseButtonHidesTheListAndTheButtonFollows) {
    ListFixture f;
    ASSERT_TRUE(PanelButton(cmd::Segments)->isChecked());
    QTest::mouseClick(SegmentListModule().CloseButton, Qt::LeftButton);
    EXPECT_FALSE(f.panel.list->isVisible());
    EXPECT_FALSE(PanelButton(cmd::Segments)->isChecked());
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
        EXPECT_EQ(SegmentListModule().CloseButton->geometry(), QRect(c.w - 20, 5, 15, 15));
    }
    const QImage img = f.panel.list->grab().toImage();
    const QRgb accent = Rgb(kSegmentListAccentColor);
    EXPECT_EQ(img.pixel(0, 0), accent);
    EXPECT_EQ(img.pixel(249, 119), accent);
    EXPECT_EQ(img.pixel(5, 20), accent);  // the title bar
    EXPECT_EQ(img.pixel(2, 10), f.panel.list->palette().color(QPalette::Window).rgb());
}

TEST(SegmentList, AFailingHandlerIsReportedAndTheListGoesOn) {
    struct FailingCalls : RecordingCalls {
        void ToggleSegmentList() override { throw std::runtime_error("no"); }
    };
    ListFixture f;
    FailingCalls failing;
    MessageRecorder recorder;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(f.list, &press);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "SegmentList: WndProc error: Msg = 256");
    EXPECT_EQ(recorder.Messages()[0].caption, "Error");
}
