// The progress bar: scale, marks, the click and drag rules and the time tooltip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <cmath>

#include "ControlsTestSupport.h"
#include "controls/ProgressBar.h"

using namespace movarel;
using namespace movarel::test;

namespace {

struct BarFixture {
    AppFirst app;
    QWidget parent;
    ProgressBar* bar;
    struct Seek {
        int32_t part;
        float offset;
        bool dragging;
    };
    std::vector<Seek> asked;
    explicit BarFixture(const std::vector<float>& lengths) {
        EnsureApp();
        parent.resize(300, 40);
        bar = new ProgressBar(&parent);
        bar->setGeometry(0, 0, 200, 10);
        for (float l : lengths)
            bar->addPart(l);
        QObject::connect(bar, &ProgressBar::seekRequested, [this](int32_t part, float offset, bool dragging) {
            asked.push_back({part, offset, dragging});
        });
    }
    void Mouse(QEvent::Type type, int x, Qt::MouseButtons held) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(x, 5), bar->mapToGlobal(QPointF(x, 5)), button, held, Qt::NoModifier);
        QApplication::sendEvent(bar, &e);
    }
    void Click(int x) {
        Mouse(QEvent::MouseButtonPress, x, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, x, Qt::NoButton);
    }
};

}  // namespace

TEST(ProgressBar, ScaleRunsFromTwoToWidthLessTwo) {
    BarFixture f({10, 20, 30});
    EXPECT_EQ(f.bar->total(), 60.0f);
    struct Case {
        float v;
        int32_t x;
    } cases[] = {{0, 2}, {60, 198}, {10, 35}, {30, 100}, {0.5f, 4}};
    for (const Case& c : cases)
        EXPECT_EQ(f.bar->valueToX(c.v), c.x) << c.v;
    BarFixture empty({});
    EXPECT_EQ(empty.bar->valueToX(5), 0);
    EXPECT_EQ(empty.bar->total(), 0.0f);
}

// Marks at x = 2, 35 and 100; the end of the scale at 198.
TEST(ProgressBar, AClickAsksForTheTimeUnderThePointerSnappingToStartsNearIt) {
    struct Case {
        int x;
        int32_t part;
        float offset;
    } cases[] = {
        {0, 0, 0},                    // left of the scale: the film's start
        {6, 0, 0},                    // 4 px from the first start
        {7, 0, 60.0f * 5 / 196},      // 5 px: the time under the pointer
        {31, 1, 0},                   // 4 px left of the mark at 35
        {39, 1, 0},                   // 4 px right of it
        {60, 1, 60.0f * 58 / 196 - 10},
        {105, 2, 60.0f * 103 / 196 - 30},
        {198, 2, 30},                 // the end: the last part's end
        {250, 2, 30},                 // beyond the scale as well
    };
    for (const Case& c : cases) {
        BarFixture f({10, 20, 30});
        f.Click(c.x);
        ASSERT_EQ(f.asked.size(), 1u) << c.x;
        EXPECT_EQ(f.asked[0].part, c.part) << c.x;
        EXPECT_NEAR(f.asked[0].offset, c.offset, 1e-4) << c.x;
        EXPECT_FALSE(f.asked[0].dragging) << c.x;
        // The owner moves the bar once it has seeked.
        EXPECT_EQ(f.bar->position(), 0.0f) << c.x;
    }
}

TEST(ProgressBar, ADragAsksForEveryPlaceThePointerPassesAndTheBarFollows) {
    BarFixture f({10, 20, 30});
    f.Mouse(QEvent::MouseMove, 150, Qt::NoButton);  // hovering asks for nothing
    EXPECT_TRUE(f.asked.empty());
    f.Mouse(QEvent::MouseButtonPress, 3, Qt::LeftButton);
    f.Mouse(QEvent::MouseMove, 36, Qt::LeftButton);  // no snapping while dragging
    f.Mouse(QEvent::MouseMove, 150, Qt::LeftButton);
    f.Mouse(QEvent::MouseButtonRelease, 150, Qt::NoButton);
    f.Mouse(QEvent::MouseMove, 180, Qt::NoButton);
    ASSERT_EQ(f.asked.size(), 3u);
    EXPECT_EQ(f.asked[0].part, 0);
    EXPECT_EQ(f.asked[0].offset, 0.0f);
    EXPECT_FALSE(f.asked[0].dragging);
    EXPECT_EQ(f.asked[1].part, 1);
    EXPECT_NEAR(f.asked[1].offset, 60.0f * 34 / 196 - 10, 1e-4);
    EXPECT_TRUE(f.asked[1].dragging);
    EXPECT_EQ(f.asked[2].part, 2);
    EXPECT_NEAR(f.bar->position(), 60.0f * 148 / 196, 1e-4);

    // Without parts, or too narrow for a scale, the bar asks for nothing.
    BarFixture empty({});
    empty.Click(100);
    BarFixture narrow({10});
    narrow.bar->setGeometry(0, 0, 4, 10);
    narrow.Click(2);
    EXPECT_TRUE(empty.asked.empty());
    EXPECT_TRUE(narrow.asked.empty());
}

TEST(ProgressBar, TheTooltipNamesTheTimeUnderThePointer) {
    BarFixture f({10, 20, 30});
    f.bar->setToolTip("Progress");
    f.parent.show();
    f.bar->setValueText([](float v) { return QString::number(static_cast<double>(v), 'f', 1); });
    QHelpEvent help(QEvent::ToolTip, QPoint(100, 5), f.bar->mapToGlobal(QPoint(100, 5)));
    QApplication::sendEvent(f.bar, &help);
    EXPECT_EQ(QToolTip::text().toStdString(), "30.0");
    QToolTip::hideText();
}

TEST(ProgressBar, PositionsAreClampedToTheTotal) {
    BarFixture f({10, 20, 30});
    struct Case {
        float in, out;
    } cases[] = {{-5, 0}, {100, 60}, {25, 25}, {std::nanf(""), 0}, {INFINITY, 60}};
    for (const Case& c : cases) {
        f.bar->setPosition(c.in);
        EXPECT_EQ(f.bar->position(), c.out) << c.in;
    }
    f.bar->setPosition(25);
    f.bar->clearParts();
    EXPECT_EQ(f.bar->position(), 25.0f);  // clearing keeps the position
}

TEST(ProgressBar, PaintsMarksAtBoundariesOnly) {
    const QRgb black = QColor(Qt::black).rgb();
    const QRgb fill = Rgb(0xB8A8A0);
    const QRgb white = QColor(Qt::white).rgb();
    BarFixture f({10, 20, 30});
    f.bar->setPosition(30);
    QImage img = f.bar->grab().toImage();
    EXPECT_EQ(img.pixel(35, 5), black);
    EXPECT_EQ(img.pixel(100, 5), black);
    EXPECT_EQ(img.pixel(20, 5), fill);    // filled up to x = 100
    EXPECT_EQ(img.pixel(150, 5), white);  // beyond the position
    EXPECT_EQ(img.pixel(150, 0), fill);   // the outline
    EXPECT_EQ(img.pixel(198, 5), white);  // no mark at the end
    EXPECT_EQ(img.pixel(2, 1), white);

    BarFixture one({10});
    img = one.bar->grab().toImage();
    for (int x = 3; x < 197; ++x)
        ASSERT_NE(img.pixel(x, 5), black) << x;

    // An empty bar: the outline and a fill rectangle that ends at x = 0.
    BarFixture empty({});
    img = empty.bar->grab().toImage();
    EXPECT_EQ(img.pixel(100, 5), white);
    EXPECT_EQ(img.pixel(0, 5), fill);
    EXPECT_EQ(img.pixel(199, 5), fill);
}
