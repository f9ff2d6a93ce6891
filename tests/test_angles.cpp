#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "ZKlib.h"

namespace {

// The aim distance written out independently: 64-bit products cut to their
// low 32 bits.
uint32_t referenceDistance(int t, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int64_t s = ZK_SIN[t & 511];
    const int64_t c = ZK_SIN[(t + 128) & 511];
    const int64_t X = 256 * int64_t(x1) + c - 256 * int64_t(x2);
    const int64_t Y = 256 * int64_t(y1) - s - 256 * int64_t(y2);
    return uint32_t(uint64_t(X * X + Y * Y));
}

}  // namespace

TEST(Angles, SineTableIsTheRoundedSine) {
    for (int i = 0; i < 512; ++i)
        EXPECT_EQ(ZK_SIN[i], int(std::lround(256.0 * std::sin(2.0 * std::numbers::pi * i / 512.0)))) << "entry " << i;
    const int first[] = {0, 3, 6, 9, 13, 16};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ZK_SIN[i], first[i]);
    EXPECT_EQ(ZK_SIN[128], 256);
    EXPECT_EQ(ZK_SIN[384], -256);
}

TEST(Angles, GetAngleExamples) {
    struct Case {
        int32_t x1, y1, x2, y2, angle;
    };
    const Case cases[] = {
        {0, 0, 10, 0, 0},     {0, 0, 0, -10, 128},  {0, 0, -10, 0, 256},        {0, 0, 0, 10, 384},
        {0, 0, 10, -10, 64},  {0, 0, -10, 10, 320}, {0, 0, 3, -1, 26},          {100, 100, 130, 140, 437},
        {0, 0, 29, 53, 431},  // the greedy search ends here, though the true direction is 424.8
        {0, 0, 0, 0, 434},    // equal points: only the table's rounding speaks
        {0, 0, 256, 0, 384},  // 256 pixels apart the 32-bit distances wrap
        {-5, 7, -5, 7, 434},  // equal points anywhere give the same
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZK_GetAngle(c.x1, c.y1, c.x2, c.y2), c.angle)
            << "from (" << c.x1 << ", " << c.y1 << ") to (" << c.x2 << ", " << c.y2 << ")";
}

TEST(Angles, AdjustAngleTakesOneStrictStep) {
    // Towards a point in direction 332, from angle 0 with step 180 the lower
    // neighbour is 332 (0 - 180, modulo 512).
    const double t = 2.0 * std::numbers::pi * 332 / 512.0;
    const int32_t x2 = int32_t(std::lround(20 * std::cos(t))), y2 = int32_t(std::lround(-20 * std::sin(t)));
    EXPECT_EQ(ZK_AdjustAngle(0, 180, 0, 0, x2, y2), 332);
    EXPECT_EQ(ZK_AdjustAngle(512 + 100, 0, 0, 0, x2, y2), 100);  // the result is taken modulo 512

    // Against the written-out distance over many random steps: strict
    // comparisons, the lower neighbour first, ties keep the angle.
    std::mt19937 rng(5);
    int ties = 0;
    for (int n = 0; n < 20000; ++n) {
        const uint16_t a = uint16_t(rng() % 1024), step = uint16_t(rng() % 200);
        const int32_t x1 = int32_t(rng() % 60) - 30, y1 = int32_t(rng() % 60) - 30;
        const int32_t x2b = x1 + int32_t(rng() % 7) - 3, y2b = y1 + int32_t(rng() % 7) - 3;
        const uint32_t lo = referenceDistance(a - step, x1, y1, x2b, y2b);
        const uint32_t here = referenceDistance(a, x1, y1, x2b, y2b);
        const uint32_t hi = referenceDistance(a + step, x1, y1, x2b, y2b);
        const int expected = lo < here ? (a - step) & 511 : hi < here ? (a + step) & 511 : a & 511;
        if (step && (lo == here || hi == here)) ++ties;
        ASSERT_EQ(ZK_AdjustAngle(a, step, x1, y1, x2b, y2b), expected)
            << "a " << a << " step " << step << " (" << x1 << ", " << y1 << ") to (" << x2b << ", " << y2b << ")";
    }
    EXPECT_GT(ties, 0) << "the random cases should include ties";
}
