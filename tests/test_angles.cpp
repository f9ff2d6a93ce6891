#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ZKlib.h"

TEST(Angles, SineTableIsTheRoundedSine) {
    for (int i = 0; i < 512; ++i)
        EXPECT_EQ(ZK_SIN[i], int(std::lround(256.0 * std::sin(2.0 * std::numbers::pi * i / 512.0)))) << "entry " << i;
}

TEST(Angles, GetAngleExamples) {
    const struct { int32_t x1, y1, x2, y2, angle; } cases[] = {
        {0, 0, 10, 0, 0},     {0, 0, 0, -10, 128},  {0, 0, -10, 0, 256},        {0, 0, 0, 10, 384},
        {0, 0, 10, -10, 64},  {0, 0, -10, 10, 320}, {0, 0, 3, -1, 26},          {100, 100, 130, 140, 437},
        {0, 0, 29, 53, 431},  // the greedy search ends here, though the true direction is 424.8
        {0, 0, 0, 0, 434},    // equal points: only the table's rounding speaks
        {0, 0, 256, 0, 384},  // 256 pixels apart the 32-bit distances wrap
        {-5, 7, -5, 7, 434},  // equal points anywhere give the same: both scale by 256
    };
    for (const auto& c : cases)
        EXPECT_EQ(ZK_GetAngle(c.x1, c.y1, c.x2, c.y2), c.angle)
            << "from (" << c.x1 << ", " << c.y1 << ") to (" << c.x2 << ", " << c.y2 << ")";
}

// One step compares the aim distances at a - step, a and a + step strictly,
// the lower angle first: on a tie the angle stays. The distances below were
// worked out from the table: towards (-3, -3), D(384) = D(0) > D(128) and
// D(0) > D(128) = D(256); for equal points D(384) = D(0) = D(128).
TEST(Angles, AdjustAngleTakesOneStrictStep) {
    const struct { uint16_t a, step; int32_t x2, y2; int want; } cases[] = {
        {0, 180, -12, 16, 332},  // 0 - 180, modulo 512, towards (-12, 16) in direction 332
        {0, 128, -3, -3, 128},   // the lower one ties, the upper one is nearer
        {128, 128, -3, -3, 128}, // the upper one ties, the lower one is farther
        {0, 128, 0, 0, 0},       // all three tie
        {512 + 100, 0, -12, 16, 100},
    };
    for (const auto& c : cases) EXPECT_EQ(ZK_AdjustAngle(c.a, c.step, 0, 0, c.x2, c.y2), c.want) << c.a << " " << c.step;
}
