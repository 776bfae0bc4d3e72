// The frame-rate meter of the status bar: moving frames only, over the last second, and
// nothing once the camera rests.
#include "platform/ui/FrameRateMeter.h"

#include <gtest/gtest.h>

using ketra::ui::FrameRateMeter;

TEST(FrameRateMeter, CountsMovingFramesOverTheLastSecondAndReadsRestAfterAPause) {
    FrameRateMeter meter;
    EXPECT_EQ(meter.Text(0), "");
    for (int i = 0; i <= 20; ++i)
        meter.Frame(10.0 + 0.1 * i, true); // 10 a second for 2 s
    EXPECT_NEAR(meter.Rate(12.05), 10.0, 0.01);
    EXPECT_EQ(meter.Text(12.05), "10.0 fps");
    // Frames at rest neither count nor keep the rate alive.
    for (int i = 1; i <= 5; ++i)
        meter.Frame(12.0 + 0.01 * i, false);
    EXPECT_NEAR(meter.Rate(12.1), 10.0, 0.01);
    EXPECT_EQ(meter.Rate(12.0 + FrameRateMeter::kIdleSeconds + 0.01), 0);
    EXPECT_EQ(meter.Text(14.0), "");
    // A new motion: the pause is not an interval; the rate follows the new pace.
    meter.Frame(20.0, true);
    EXPECT_EQ(meter.Rate(20.0), 0); // one frame is no rate yet
    for (int i = 1; i <= 8; ++i)
        meter.Frame(20.0 + 0.25 * i, true);
    EXPECT_NEAR(meter.Rate(22.0), 4.0, 0.01);
    // Slow frames (under the idle time apart) still read as motion between them.
    meter.Reset();
    meter.Frame(30.0, true);
    meter.Frame(30.8, true);
    EXPECT_NEAR(meter.Rate(31.0), 1.25, 0.01);
    EXPECT_EQ(meter.Rate(30.8 + 1.3), 0); // 1.5 intervals passed: at rest
}
