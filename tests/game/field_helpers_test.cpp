// The small helpers of the field: clamping and the pan of a place.
#include <gtest/gtest.h>

#include <limits>

#include "game/clamp.h"
#include "game/frame_effects.h"

TEST(ClampTo, RaisesThenLowers) {
    float value = -5;
    clampTo(value, -1, 1);
    EXPECT_EQ(value, -1);
    value = 7;
    clampTo(value, -1, 1);
    EXPECT_EQ(value, 1);
    value = 0.25f;
    clampTo(value, -1, 1);
    EXPECT_EQ(value, 0.25f);
    value = 0;
    clampTo(value, 2, 1);
    EXPECT_EQ(value, 1) << "with low above high the high bound wins, as the order of the tests says";
}

TEST(PanForX, ScalesTheFieldToFullPanAndTruncates) {
    EXPECT_EQ(panForX(-600), -100);
    EXPECT_EQ(panForX(600), 100);
    EXPECT_EQ(panForX(-512), -100);
    EXPECT_EQ(panForX(512), 100);
    EXPECT_EQ(panForX(100), 19) << "19.53 truncated";
    EXPECT_EQ(panForX(-100), -19) << "truncated toward zero, not down";
    EXPECT_EQ(panForX(0), 0);
    EXPECT_EQ(panForX(2.5f), 0);
    EXPECT_EQ(panForX(std::numeric_limits<float>::quiet_NaN()), 0) << "not a place: the middle";
    EXPECT_EQ(panForX(-std::numeric_limits<float>::infinity()), -100);
}
