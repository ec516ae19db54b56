// The picture's place and scale, the window growing around a film, the
// minimum tracking size.
#include <gtest/gtest.h>

#include "shell/Geometry.h"

using namespace movarel;

TEST(PictureGeometry, CentredOrScaledWithAspectKept) {
    struct Case {
        int32_t fw, fh, cw, ch;
        bool stretch;
        int32_t ox, oy, sw, sh;
    };
    const Case cases[] = {
        {320, 240, 600, 360, false, 140, 60, 0, 0},    // fits: centred at its own size
        {600, 360, 600, 360, false, 0, 0, 0, 0},       // exactly fits
        {1200, 720, 600, 360, true, 0, 0, 600, 360},   // half size
        {1000, 1000, 800, 500, true, 150, 0, 500, 500},  // height limits
        {1920, 1080, 1280, 720, true, 0, 0, 1280, 720},
        {601, 100, 600, 360, true, 0, 130, 600, 100},  // 100 * 0.99833 rounds to 100
        {3, 3, 2, 2, true, 0, 0, 2, 2},
    };
    for (const Case& c : cases) {
        const PictureGeometry g = ComputePictureGeometry(c.fw, c.fh, c.cw, c.ch);
        EXPECT_EQ(g.Stretch, c.stretch) << c.fw << "x" << c.fh;
        EXPECT_EQ(g.OffsetX, c.ox) << c.fw << "x" << c.fh;
        EXPECT_EQ(g.OffsetY, c.oy) << c.fw << "x" << c.fh;
        if (c.stretch) {
            EXPECT_EQ(g.ScaledWidth, c.sw) << c.fw << "x" << c.fh;
            EXPECT_EQ(g.ScaledHeight, c.sh) << c.fw << "x" << c.fh;
            EXPECT_LT(g.Scale, 1.0f);
        }
    }
}

TEST(PictureGeometry, NoFilmOrNoRoomDrawsNothing) {
    EXPECT_FALSE(ComputePictureGeometry(0, 0, 600, 400).Stretch);
    EXPECT_TRUE(ComputePictureGeometry(100, 100, 0, 0).FrameRect().isEmpty());
    EXPECT_TRUE(ComputePictureGeometry(100, 100, -5, -5).FrameRect().isEmpty());
}

TEST(FitWindow, GrowsAroundCentreClampedOrMaximizes) {
    // 1024 x 700 film, 600 x 400 window (client 600 x 380 under a menu bar of
    // 20, panel 40) on a 1280 x 1024 screen.
    const QRect window(100, 100, 600, 400);
    const QSize client(600, 380);
    FitWindowResult r = ComputeFitWindow(window, client, 1024, 700, 40, QSize(1280, 1024));
    ASSERT_EQ(r.action, FitWindowResult::Move);
    EXPECT_EQ(r.window.size(), QSize(600 + 424, 400 + 360));
    EXPECT_EQ(r.window.topLeft(), QPoint(0, 0));

    // Near the right edge: pulled back onto the screen.
    r = ComputeFitWindow(QRect(900, 0, 600, 400), client, 700, 300, 40, QSize(1280, 1024));
    ASSERT_EQ(r.action, FitWindowResult::Move);
    EXPECT_EQ(r.window, QRect(1280 - 700, 0, 700, 400));

    // A film that fits leaves the window alone.
    EXPECT_EQ(ComputeFitWindow(window, client, 320, 240, 40, QSize(1280, 1024)).action, FitWindowResult::Keep);
    // Larger than the screen: maximize.
    EXPECT_EQ(ComputeFitWindow(window, client, 1920, 1080, 40, QSize(1280, 1024)).action,
              FitWindowResult::Maximize);
}

TEST(FitWindow, LimitTrackingKeepsMinimumByMovingRightAndBottom) {
    EXPECT_EQ(LimitTracking(QRect(300, 50, 400, 200)), QRect(300, 50, 600, 400));
    EXPECT_EQ(LimitTracking(QRect(10, 10, 800, 500)), QRect(10, 10, 800, 500));
}
