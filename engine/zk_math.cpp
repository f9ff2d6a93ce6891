// Angles: the sine table and the direction search.
//
// 512 angle units make a turn; 0 points right, 128 up the screen (y grows
// downward, so angles turn counter-clockwise on screen).
#include <cstdint>
#include <initializer_list>
#include <numbers>

#include "ZKlib.h"

namespace {

// sin(x) for 0 <= x <= pi / 2 by its Taylor series, in constexpr double
// arithmetic. Thirty terms bring the error far below 1e-14; the nearest
// table value to a rounding half-way point is 7e-4 away, so every entry
// rounds as it would with an exact sine.
constexpr double quarterSine(double x) {
    double term = x;
    double sum = x;
    for (int n = 1; n < 30; ++n) {
        term *= -x * x / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr int16_t roundedSine(int i) {
    const int quadrant = (i >> 7) & 3;
    const int r = i & 127;
    // Fold into the first quadrant: sin(pi - x) = sin(x), sin(pi + x) = -sin(x).
    const int k = (quadrant & 1) ? 128 - r : r;
    const double s = 256.0 * quarterSine(2.0 * std::numbers::pi * k / 512.0);
    const int magnitude = int(s + 0.5);
    return int16_t(quadrant >= 2 ? -magnitude : magnitude);
}

struct SineTable {
    int16_t v[512];
};

constexpr SineTable makeSineTable() {
    SineTable t{};
    for (int i = 0; i < 512; ++i) t.v[i] = roundedSine(i);
    return t;
}

constexpr SineTable kSine = makeSineTable();
static_assert(kSine.v[0] == 0 && kSine.v[1] == 3 && kSine.v[2] == 6 && kSine.v[3] == 9 && kSine.v[4] == 13 &&
              kSine.v[5] == 16);
static_assert(kSine.v[128] == 256 && kSine.v[256] == 0 && kSine.v[384] == -256);

// The aim distance: the squared distance, in 1/256 pixel, between (x2, y2)
// and the point one pixel from (x1, y1) in direction t. Everything keeps its
// low 32 bits, as on the handheld; for points closer than 256 pixels nothing
// is lost.
uint32_t aimDistance(uint32_t t, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const uint32_t sine = uint32_t(int32_t(kSine.v[t & 511]));
    const uint32_t cosine = uint32_t(int32_t(kSine.v[(t + 128) & 511]));
    const uint32_t dx = uint32_t(x1) * 256u + cosine - uint32_t(x2) * 256u;
    const uint32_t dy = uint32_t(y1) * 256u - sine - uint32_t(y2) * 256u;
    return dx * dx + dy * dy;
}

}  // namespace

// Spelled out entry by entry from the constexpr table, so the object keeps
// the plain array type the header declares and needs no start-up code.
#define ZK_S4(i) kSine.v[i], kSine.v[i + 1], kSine.v[i + 2], kSine.v[i + 3]
#define ZK_S16(i) ZK_S4(i), ZK_S4(i + 4), ZK_S4(i + 8), ZK_S4(i + 12)
#define ZK_S64(i) ZK_S16(i), ZK_S16(i + 16), ZK_S16(i + 32), ZK_S16(i + 48)
constinit const int16_t ZK_SIN[512] = {ZK_S64(0),   ZK_S64(64),  ZK_S64(128), ZK_S64(192),
                                       ZK_S64(256), ZK_S64(320), ZK_S64(384), ZK_S64(448)};
#undef ZK_S64
#undef ZK_S16
#undef ZK_S4

uint16_t ZK_AdjustAngle(uint16_t a, uint16_t step, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const uint32_t lower = (uint32_t(a) - step) & 511u;
    const uint32_t upper = (uint32_t(a) + step) & 511u;
    const uint32_t here = aimDistance(a, x1, y1, x2, y2);
    // Strict comparisons: a tie keeps the current angle, and the smaller
    // angle is tried first.
    if (aimDistance(lower, x1, y1, x2, y2) < here) return uint16_t(lower);
    if (aimDistance(upper, x1, y1, x2, y2) < here) return uint16_t(upper);
    return uint16_t(a & 511u);
}

int32_t ZK_GetAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    uint16_t a = 0;
    // Coarse steps 180, 113, 71, 45, 29, 19, 12, 8: each is the last less
    // three eighths of it while that stays above 5; then 4, 2 and 1.
    for (uint16_t step = 180; step > 5; step = uint16_t(step - ((3u * step) >> 3)))
        a = ZK_AdjustAngle(a, step, x1, y1, x2, y2);
    for (uint16_t step : {uint16_t(4), uint16_t(2), uint16_t(1)}) a = ZK_AdjustAngle(a, step, x1, y1, x2, y2);
    return a;
}
