// The progress bar: scale, marks, the click rule and an owner that refuses a click.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

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
    std::vector<int32_t> asked;
    // The owner takes the clicked part (or refuses it).
    bool allow = true;
    explicit BarFixture(const std::vector<float>& lengths) {
        EnsureApp();
        parent.resize(300, 40);
        bar = new ProgressBar(&parent);
        bar->setGeometry(0, 0, 200, 10);
        for (float l : lengths)
            bar->addPart(l);
        QObject::connect(bar, &ProgressBar::partClicked, [this](int32_t index) {
            asked.push_back(index);
            if (allow)
                bar->selectPart(index);
        });
    }
    void Click(int x) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(x, 5), bar->mapToGlobal(QPointF(x, 5)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &e);
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

TEST(ProgressBar, ClicksChooseThePartOfTheRoundedTime) {
    struct Case {
        int x;
        int32_t selected;  // -1: nothing
        float position;
    } cases[] = {
        {60, 1, 10},   // t = round(60 * 58 / 196) = 18
        {198, -1, 0},  // t = 60: at the total, nothing qualifies
        {197, -1, 0},  // t = round(59.69) = 60 as well
        {2, 0, 0},
        {0, 0, 0},     // left of the scale t is -1: still the first part
        {33, 0, 0},    // t = round(9.49) = 9
        {34, 1, 10},   // t = round(9.80) = 10, left of the mark at 35: the rounded t decides
        {101, 2, 30},  // t = round(30.31) = 30 is the end of part 1, so part 2
    };
    for (const Case& c : cases) {
        BarFixture f({10, 20, 30});
        f.Click(c.x);
        if (c.selected < 0) {
            EXPECT_TRUE(f.asked.empty()) << c.x;
            EXPECT_EQ(f.bar->currentPart(), -1) << c.x;
        } else {
            ASSERT_EQ(f.asked.size(), 1u) << c.x;
            EXPECT_EQ(f.asked[0], c.selected) << c.x;
            EXPECT_EQ(f.bar->currentPart(), c.selected) << c.x;
            EXPECT_EQ(f.bar->position(), c.position) << c.x;
        }
    }
}

TEST(ProgressBar, AClickTheOwnerRefusesChangesNothing) {
    BarFixture f({10, 20, 30});
    f.bar->setPosition(42);
    f.allow = false;
    f.Click(60);
    ASSERT_EQ(f.asked.size(), 1u);
    EXPECT_EQ(f.bar->currentPart(), -1);
    EXPECT_EQ(f.bar->position(), 42.0f);
    // Indexes outside the parts select nothing.
    f.bar->selectPart(3);
    f.bar->selectPart(-1);
    EXPECT_EQ(f.bar->currentPart(), -1);
    EXPECT_EQ(f.bar->position(), 42.0f);
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
    empty.Click(100);
    EXPECT_TRUE(empty.asked.empty());
}
