// The slider: value and thumb mapping, its change events, the mouse and paint.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "ControlsTestSupport.h"
#include "controls/Slider.h"
#include "controls/WidgetHelpers.h"

using namespace movarel;
using namespace movarel::test;

namespace {

struct SliderFixture {
    AppFirst app;
    QWidget parent;
    Slider* s;
    int events = 0;
    std::vector<int32_t> seen;
    SliderFixture(int32_t width, int32_t max, int32_t value) {
        EnsureApp();
        parent.resize(200, 40);
        // Shown, so a resize reaches the slider at once.
        parent.show();
        s = new Slider(&parent);
        s->setGeometry(0, 0, width, 20);
        s->setMaximum(max);
        s->setValue(value);
        QObject::connect(s, &Slider::valueChanged, [this](int32_t value) {
            ++events;
            seen.push_back(value);
        });
    }
};

void SendMouse(QWidget* w, QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(x, 10), w->mapToGlobal(QPointF(x, 10)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(Slider, InitGivesTheDefaults) {
    SliderFixture f(120, 10, 0);
    EXPECT_EQ(f.s->minimum(), 0);
    EXPECT_EQ(f.s->maximum(), 10);
    EXPECT_EQ(f.s->value(), 0);
    EXPECT_EQ(f.s->thumbOffset(), 0);
    EXPECT_EQ(f.s->thumbWidth(), 16);
}

TEST(Slider, ValueAndOffsetMapBothWays) {
    struct Case {
        int32_t width, max, value, offset;
    } cases[] = {
        {70, 8, 3, 20},    // round(54 * 3 / 8) = round(20.25)
        {70, 8, 8, 54},    // the far end
        {50, 100, 50, 17}, // 34 positions for 101 values
        {50, 100, 60, 20}, // round(20.4)
        {70, 8, 0, 0},
    };
    for (const Case& c : cases) {
        SliderFixture f(c.width, c.max, c.value);
        EXPECT_EQ(f.s->thumbOffset(), c.offset) << c.width << "/" << c.max << "/" << c.value;
        EXPECT_EQ(f.s->offsetForValue(), c.offset);
    }
    // From the other side: offset 20 on a 70-wide slider of 0..8 is value 3.
    SliderFixture f(70, 8, 0);
    f.s->setThumbOffset(20);
    EXPECT_EQ(f.s->value(), 3);
    EXPECT_EQ(f.events, 1);
}

TEST(Slider, AValueNoOffsetShowsEndsAtTheNearestOneAndFiresTwice) {
    struct Case {
        int32_t start, target, offset, value;
        std::vector<int32_t> events;
    } cases[] = {
        // The thumb does not move, so the value stays as asked.
        {50, 51, 17, 51, {51}},
        // The thumb moves to 17, which is value 50: the inner event, then the outer one.
        {60, 51, 17, 50, {50, 50}},
    };
    for (const Case& c : cases) {
        SliderFixture f(50, 100, c.start);
        f.s->setValue(c.target);
        EXPECT_EQ(f.s->thumbOffset(), c.offset) << c.start;
        EXPECT_EQ(f.s->value(), c.value) << c.start;
        EXPECT_EQ(f.seen, c.events) << c.start;
    }
}

TEST(Slider, TheSameOrAClampedSameValueFiresNothing) {
    SliderFixture f(70, 8, 8);
    f.s->setValue(8);
    f.s->setValue(100);
    EXPECT_EQ(f.events, 0);
    f.s->setValue(-5);
    EXPECT_EQ(f.s->value(), 0);
    f.s->setValue(-1);
    EXPECT_EQ(f.events, 1);
    f.s->setThumbOffset(-30);  // clamps to the offset it has
    f.s->setThumbOffset(500);
    EXPECT_EQ(f.s->thumbOffset(), 54);
    EXPECT_EQ(f.s->value(), 8);
}

TEST(Slider, SetMaxAloneLeavesTheThumbUntilTheNextValueOrResize) {
    SliderFixture f(70, 10, 5);
    EXPECT_EQ(f.s->thumbOffset(), 27);
    f.s->setMaximum(20);
    EXPECT_EQ(f.s->thumbOffset(), 27);
    EXPECT_EQ(f.events, 0);
    f.s->resize(108, 20);  // round(5 * 92 / 20) = 23
    EXPECT_EQ(f.s->thumbOffset(), 23);
    f.s->setValue(4);  // round(4 * 92 / 20) = 18.4
    EXPECT_EQ(f.s->thumbOffset(), 18);
}

TEST(Slider, ANarrowSliderKeepsItsThumbAtZero) {
    SliderFixture f(10, 8, 4);
    EXPECT_EQ(f.s->thumbOffset(), 0);
    SendMouse(f.s, QEvent::MouseButtonPress, 9, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(f.s->thumbOffset(), 0);
    EXPECT_EQ(f.s->value(), 4);
}

TEST(Slider, PressJumpsTheThumbAndADragIsClampedAtBothEnds) {
    SliderFixture f(70, 8, 3);
    SendMouse(f.s, QEvent::MouseButtonPress, 38, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(f.s->isDragging());
    EXPECT_EQ(f.s->thumbOffset(), 30);  // the thumb's centre under the pointer
    EXPECT_EQ(f.s->value(), 4);      // round(30 / 54 * 8) = 4.44
    SendMouse(f.s, QEvent::MouseMove, 5000, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(f.s->thumbOffset(), 54);
    EXPECT_EQ(f.s->value(), 8);
    SendMouse(f.s, QEvent::MouseMove, -300, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(f.s->thumbOffset(), 0);
    EXPECT_EQ(f.s->value(), 0);
    SendMouse(f.s, QEvent::MouseButtonRelease, -300, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(f.s->isDragging());
    // Without a press the mouse moves nothing.
    SendMouse(f.s, QEvent::MouseMove, 40, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(f.s->value(), 0);
}

TEST(Slider, ADisabledSliderIgnoresPressesAndDisablingEndsADrag) {
    SliderFixture f(70, 8, 3);
    SendMouse(f.s, QEvent::MouseButtonPress, 10, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(f.s->isDragging());
    f.s->setEnabled(false);
    SendMouse(f.s, QEvent::MouseButtonRelease, 10, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(f.s->isDragging());
    const int32_t before = f.s->value();
    SendMouse(f.s, QEvent::MouseButtonPress, 60, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(f.s->isDragging());
    EXPECT_EQ(f.s->value(), before);
}

TEST(Slider, PaintsTrackRowsSixToThirteenAndThumbRowsTwoToSeventeen) {
    SliderFixture f(70, 8, 0);
    f.s->setBackground(QBrush(Qt::white));
    f.s->setTrackPen(QPen(ColorFromRef(0xA89890)));
    QImage img = f.s->grab().toImage();
    const QRgb accent = Rgb(0xA89890);
    const QRgb grey = Rgb(0xE0E0E0);
    // Thumb at offset 0: its outline spans columns 0..15, rows 2..17.
    EXPECT_EQ(img.pixel(8, 2), accent);
    EXPECT_EQ(img.pixel(8, 17), accent);
    EXPECT_EQ(img.pixel(8, 1), Rgb(0xFFFFFF));
    EXPECT_EQ(img.pixel(8, 18), Rgb(0xFFFFFF));
    EXPECT_EQ(img.pixel(1, 1 + 2), grey);  // inside the thumb, no picture
    // Track right of the thumb: outline rows 6 and 13, white inside.
    EXPECT_EQ(img.pixel(40, 6), accent);
    EXPECT_EQ(img.pixel(40, 13), accent);
    EXPECT_EQ(img.pixel(40, 9), Rgb(0xFFFFFF));
    EXPECT_EQ(img.pixel(40, 5), Rgb(0xFFFFFF));
    EXPECT_EQ(img.pixel(40, 14), Rgb(0xFFFFFF));
    EXPECT_EQ(img.pixel(69, 9), accent);

    f.s->setEnabled(false);
    img = f.s->grab().toImage();
    EXPECT_EQ(img.pixel(40, 6), grey);
    EXPECT_EQ(img.pixel(8, 2), grey);
}

TEST(Slider, AThumbPictureFillsTheThumbInsideItsOutline) {
    SliderFixture f(70, 8, 0);
    QPixmap red(14, 14);
    red.fill(Qt::red);
    f.s->setThumbPicture(red);
    const QImage img = f.s->grab().toImage();
    EXPECT_EQ(img.pixel(1, 3), QColor(Qt::red).rgb());
    EXPECT_EQ(img.pixel(14, 16), QColor(Qt::red).rgb());
    EXPECT_EQ(img.pixel(15, 16), QColor(Qt::black).rgb());  // no track pen: black outline
}
