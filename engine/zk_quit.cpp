// The built-in quit button: a red square with cut corners and a white cross,
// 16 x 16 pixels, four frames stacked (rest, lit, brighter, pressed), with
// its run list. Pixels and runs are computed at compile time.
#include <array>
#include <cstdint>

#include "ZKlib.h"

namespace {

constexpr int W = 16;
constexpr int FRAME = 16;
constexpr int FRAMES = 4;
constexpr int H = FRAME * FRAMES;
constexpr uint16_t KEY = 0xF81F;

constexpr uint16_t rgb(int r, int g, int b) { return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); }

// The outline: transparent pixels on each side of row y of a frame.
constexpr int margin(int y) {
    if (y == 0 || y == FRAME - 1) return FRAME / 2;  // the whole row
    if (y == 1 || y == FRAME - 2) return 3;
    if (y == 2 || y == FRAME - 3) return 2;
    return 1;
}

constexpr bool inside(int x, int y) {
    return x >= 0 && y >= 0 && x < W && y < FRAME && x >= margin(y) && x < W - margin(y);
}

constexpr int iabs(int v) { return v < 0 ? -v : v; }

// The cross: two 2-pixel strokes through the centre, columns and rows 4..11.
constexpr bool cross(int x, int y) {
    const int dx = 2 * x - 15, dy = 2 * y - 15;
    return iabs(iabs(dx) - iabs(dy)) <= 2 && iabs(dx) <= 7 && iabs(dy) <= 7;
}

struct Look {
    int red;    // body red at the top row, darkening downward
    int shade;  // the body's darkening from top to bottom
    int shift;  // the cross moves down and right by this when pressed
    uint16_t rim;
    uint16_t mark;
    uint16_t shadow;
};

constexpr Look looks[FRAMES] = {
    {216, 64, 0, rgb(120, 16, 16), rgb(255, 255, 255), rgb(112, 8, 8)},
    {236, 64, 0, rgb(140, 24, 24), rgb(255, 255, 255), rgb(128, 16, 16)},
    {252, 56, 0, rgb(160, 32, 32), rgb(255, 255, 224), rgb(144, 24, 24)},
    {176, 48, 1, rgb(96, 8, 8), rgb(224, 224, 224), rgb(88, 0, 0)},
};

constexpr uint16_t pixel(int f, int x, int y) {
    if (!inside(x, y)) return KEY;
    const Look& l = looks[f];
    const bool rim = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
    if (rim) return l.rim;
    const int cx = x - l.shift, cy = y - l.shift;
    if (cross(cx, cy)) return l.mark;
    if (cross(cx - 1, cy - 1)) return l.shadow;
    const int red = l.red - l.shade * y / (FRAME - 1);
    const int glow = y < 4 ? 48 - 12 * y : 0;  // a highlight along the top
    return rgb(red, 24 + glow / 2, 24 + glow / 2);
}

constexpr std::array<uint16_t, W * H> makePixels() {
    std::array<uint16_t, W * H> p{};
    for (int f = 0; f < FRAMES; ++f)
        for (int y = 0; y < FRAME; ++y)
            for (int x = 0; x < W; ++x) p[size_t((f * FRAME + y) * W + x)] = pixel(f, x, y);
    return p;
}

constexpr std::array<uint16_t, W * H> kPixels = makePixels();

// Runs of one line, in the shared format: transparent count, opaque count,
// ... starting with a transparent count.
template <typename Out>
constexpr void lineRuns(int y, Out&& out) {
    int x = 0;
    for (bool opaque = false; x < W; opaque = !opaque) {
        int end = x;
        while (end < W && (kPixels[size_t(y * W + end)] != KEY) == opaque) ++end;
        out(uint8_t(end - x));
        x = end;
    }
}

constexpr size_t countRuns() {
    size_t n = 0;
    for (int y = 0; y < H; ++y) lineRuns(y, [&](uint8_t) { ++n; });
    return n;
}

constexpr size_t RUN_BYTES = countRuns();
static_assert(RUN_BYTES == 176, "each frame: 2 one-byte rows and 14 three-byte rows");

struct Runs {
    std::array<uint8_t, RUN_BYTES + 4> bytes{};
    std::array<uint16_t, H> offsets{};
};

constexpr Runs makeRuns() {
    Runs r{};
    size_t n = 0;
    for (int y = 0; y < H; ++y) {
        r.offsets[size_t(y)] = uint16_t(n);
        lineRuns(y, [&](uint8_t b) { r.bytes[n++] = b; });
    }
    for (int i = 0; i < 4; ++i) r.bytes[n++] = 0xFF;  // lets a line's reader look two bytes past its end
    return r;
}

constexpr Runs kRuns = makeRuns();

}  // namespace

constinit std::array<uint16_t, W * H> zk_quit_Sprite = kPixels;
constinit std::array<uint16_t, H> zk_quit_RLEList = kRuns.offsets;
constinit std::array<uint8_t, RUN_BYTES + 4> zk_quit_RLE = kRuns.bytes;

constinit SpriteImage zk_quit = {zk_quit_Sprite.data(), zk_quit_RLEList.data(), zk_quit_RLE.data(), nullptr, 2, 0,
                                 W, H};
