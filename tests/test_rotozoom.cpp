// The rotate and zoom blitters against a plain reference of their rules,
// whole buffer against whole buffer, at every build level, plus the worked
// cases that pin the rules themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "zk_blit.h"
#include "zk_test_support.h"

namespace {

int64_t fdiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

struct Picture {
    int w, h;
    bool eight;
    std::vector<uint8_t> p8;
    std::vector<uint16_t> p16, palette;
};

// The set-up and the row walk as the rules read, in 64-bit arithmetic, with
// the routines' stated departures: a box whose corner does not fit 16 bits
// is not drawn; where a step's reciprocal is 0 its entry and exit are
// counted exactly. A sample that the rules take from outside the image
// (their counts round) may be dropped or clamped to the image's edge: care[]
// is 0 there and alt[] holds the clamped result.
void ref_rot(uint16_t* buf, uint8_t* care, uint16_t* alt, const Picture& pic, int entry, int x, int y, int alpha,
             int angle, int zoom) {
    const bool keyed = entry % 2 == 0, blended = entry & 2;
    const int64_t w = pic.w, h = pic.h;
    const int64_t m = std::max((w * zoom) >> 10, (h * zoom) >> 10), side = m + (m >> 1), half = side >> 1;
    const int64_t boxLeft = x + (w >> 1) - half, boxTop = y + (h >> 1) - half;
    if (boxLeft != int16_t(boxLeft) || boxTop != int16_t(boxTop)) return;
    const ClipWindow& win = zk_window[zk_curwindow];
    const int64_t left = std::max<int64_t>(win.left, 0), top = std::max<int64_t>(win.top, 0);
    const int64_t right = std::min<int64_t>(win.right, 239), bottom = std::min<int64_t>(win.bottom, 319);
    const int64_t fc = boxLeft < left ? left - boxLeft : 0, fr = boxTop < top ? top - boxTop : 0;
    const int64_t ec = boxLeft + side > right ? right - boxLeft + 1 : side;
    const int64_t er = boxTop + side > bottom ? bottom - boxTop + 1 : side;
    const int64_t inv = zoom ? 262144 / zoom : 0, k = ((half * 1448) >> 8) * inv;
    const int64_t c = ZK_SIN[(angle + 128) & 511], s = ZK_SIN[angle & 511];
    const int64_t p = ZK_SIN[(angle + 64) & 511], q = ZK_SIN[(angle + 192) & 511];
    const int64_t cs = c * inv, sn = s * inv;
    const int64_t cosInv = (cs >> 8) ? 65536 / (cs >> 8) : 0, sinInv = (sn >> 8) ? 65536 / (sn >> 8) : 0;
    int64_t U = w * 32768 - ((q * k) >> 2) - fr * sn, V = h * 32768 - ((p * k) >> 2) + fr * cs;
    if (fr < er && fc < ec && zoom > 0) {
        EXPECT_EQ((std::vector<int64_t>{zk_limits.boxLeft, zk_limits.boxTop, zk_limits.rotCos, zk_limits.rotSin,
                                        zk_limits.rotU, zk_limits.rotV, zk_limits.rotCosInv, zk_limits.rotSinInv}),
                  (std::vector<int64_t>{boxLeft, boxTop, cs, sn, int32_t(U), int32_t(V), cosInv, sinInv}));
    }
    const int64_t W = w << 16, H = h << 16;
    auto inside = [&](int64_t u, int64_t v) { return u >= 0 && u < W && v >= 0 && v < H; };
    // Columns until the point enters (or, from inside, leaves) along one axis.
    auto enter = [](int64_t pt, int64_t step, int64_t reciprocal, int64_t size) -> int64_t {
        const int64_t limit = size << 16;
        if (pt >= limit && step < 0)
            return reciprocal ? ((size * 256 - (pt >> 8)) * reciprocal) >> 16 : fdiv(pt - limit, -step) + 1;
        if (pt < 0 && step > 0) return reciprocal ? ((-(pt >> 8)) * reciprocal) >> 16 : fdiv(-pt - 1, step) + 1;
        return 0;
    };
    auto leave = [](int64_t pt, int64_t step, int64_t reciprocal, int64_t size) -> int64_t {
        if (step == 0) return 10000;
        if (step > 0) return reciprocal ? ((size * 256 - (pt >> 8)) * reciprocal) >> 16 : fdiv((size << 16) - 1 - pt, step) + 1;
        return reciprocal ? ((-(pt >> 8)) * reciprocal) >> 16 : fdiv(pt, -step) + 1;
    };
    for (int64_t j = fr; j < er; ++j, U -= sn, V += cs) {
        int64_t col = fc, u = U + col * cs, v = V + col * sn;
        if (!inside(u, v)) {
            const int64_t skip = std::max(enter(u, cs, cosInv, w), enter(v, sn, sinInv, h));
            u += skip * cs, v += skip * sn, col += skip;
            for (int t = 0; t < 2 && !inside(u, v); ++t) u += cs, v += sn, ++col;
            if (!inside(u, v)) continue;
        }
        const int64_t n = std::min({leave(u, cs, cosInv, w), leave(v, sn, sinInv, h), ec - col});
        for (int64_t i = 0; i < n; ++i, u += cs, v += sn, ++col) {
            const int64_t at = (boxTop + j) * 240 + boxLeft + col;
            const int64_t e = std::clamp(v >> 16, int64_t(0), h - 1) * w + std::clamp(u >> 16, int64_t(0), w - 1);
            const uint16_t sample = pic.eight ? pic.p8[size_t(e)] : pic.p16[size_t(e)];
            const uint16_t colour = pic.eight ? pic.palette[sample] : sample;
            uint16_t& d = inside(u, v) ? buf[at] : (care[at] = 0, alt[at] = buf[at]);
            if (!keyed || sample != (pic.eight ? 0 : 0xF81F)) d = blended ? zk_test_blend(colour, d, alpha) : colour;
        }
    }
}

}  // namespace

// Random blits of every routine, sizes, turns (many near a quarter turn,
// where steps are small), zooms, places, windows and weights, after boxes at
// the limits of the clip record; each picture is allocated to its exact size.
TEST(RotoZoom, EveryRoutineMatchesTheReferenceAtEveryLevel) {
    for (ClipWindow& w : zk_window) w = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    const int topLevel = zk_blit_level;
    static uint16_t ref[ZK_WIDTH * ZK_HEIGHT], start[ZK_WIDTH * ZK_HEIGHT], alt[ZK_WIDTH * ZK_HEIGHT];
    static uint8_t care[ZK_WIDTH * ZK_HEIGHT];
    // Boxes whose corner fits 16 bits while their far side or their clipped
    // columns do not (all drawn), and corners that do not (nothing drawn).
    const struct { int side, x, y, angle, zoom; } limits[] = {
        {256, 0, 0, 0, 174400},    {256, 100, 50, 3, 174000}, {256, -8, 32, 0, 55000},
        {16, -40000, 100, 3, 1024}, {16, 100, 40000, 3, 1024}, {16, 100, 100, 77, 0}, {16, 100, 100, 3, -2048},
        // Steps of 256 pixels or more, whose reciprocals are 0: one sample a row, or a few.
        {700, -200, -150, 0, 3}, {1400, -500, -400, 40, 2}, {1400, -500, -400, 300, 2}, {2100, -900, -800, 200, 2},
    };
    for (int level = 0; level <= topLevel; ++level) {
        zk_blit_level = level;
        std::mt19937 rng(20240607u + unsigned(level));
        auto pick = [&](int lo, int hi) { return lo + int(rng() % uint32_t(hi - lo + 1)); };
        int mismatches = 0;
        long drawn = 0;  // by the reference: the comparisons are not idle
        for (int n = 0; n < 2000 && mismatches < 3; ++n) {
            const int entry = n % 8;
            const int sizes[] = {pick(1, 3), pick(1, 64), pick(65, 256)};
            Picture pic{sizes[pick(0, 9) == 0 ? 2 : pick(0, 6) == 0 ? 0 : 1], sizes[pick(0, 9) == 0 ? 2 : 1], entry < 4, {}, {}, {}};
            const int zooms[] = {1024 << pick(0, 3), pick(4000, 8192), pick(2, 100), int(std::exp2(pick(700, 1300) / 100.0))};
            int zoom = zooms[pick(0, 9) < 6 ? 3 : pick(0, 2)] * (pick(0, 99) == 0 ? -1 : 1);
            int angle = (pick(0, 1) ? pick(0, 3) * 128 + pick(-4, 4) : pick(0, 511)) + 512 * pick(-2, 2);
            int x = pick(-pic.w - 60, ZK_WIDTH + 60), y = pick(-pic.h - 60, ZK_HEIGHT + 60);
            if (const auto* l = n < int(std::size(limits)) ? &limits[n] : nullptr)
                pic.w = pic.h = l->side, x = l->x, y = l->y, angle = l->angle, zoom = l->zoom;
            const int alpha = entry & 2 ? (pick(0, 19) == 0 ? pick(-40, 80) : pick(0, 32)) : 32;
            zk_curwindow = 0;
            if (pick(0, 2) == 0 && n >= int(std::size(limits))) {
                const int l = pick(0, 200), t = pick(0, 280);
                zk_window[5] = {int16_t(l), int16_t(t), int16_t(pick(l, 239)), int16_t(pick(t, 319))};
                zk_curwindow = 5;
            }
            zk_cursprite = -1;
            const size_t count = size_t(pic.w) * size_t(pic.h), bytes = count * (pic.eight ? 1 : 2);
            for (int i = 0; i < 256; ++i) pic.palette.push_back(uint16_t(rng()));
            const bool keys = rng() % 2;
            for (size_t i = 0; i < count; ++i) {
                const bool key = keys && rng() % 6 == 0;
                if (pic.eight) pic.p8.push_back(key ? 0 : uint8_t(rng()));
                else pic.p16.push_back(key ? 0xF81F : uint16_t(rng()));
            }
            // Exactly sized copies for the routine to read.
            void* pixels = std::malloc(bytes);
            std::memcpy(pixels, pic.eight ? static_cast<const void*>(pic.p8.data()) : pic.p16.data(), bytes);
            for (size_t i = 0; i < ZK_WIDTH * ZK_HEIGHT; ++i) zk_buffer[i] = uint16_t(rng() | 1);
            std::memcpy(ref, zk_buffer, sizeof ref);
            std::memcpy(start, zk_buffer, sizeof start);
            std::memset(care, 1, sizeof care);
            ZK_CopyRot[entry](pixels, pic.eight ? pic.palette.data() : nullptr, pic.w, pic.h, x, y, alpha, angle, zoom);
            std::free(pixels);
            ref_rot(ref, care, alt, pic, entry, x, y, alpha, angle, zoom);
            int first = -1, differ = 0;
            for (int i = 0; i < ZK_WIDTH * ZK_HEIGHT; ++i) {
                if (ref[i] != zk_buffer[i] && (care[i] || alt[i] != zk_buffer[i]) && differ++ == 0) first = i;
                drawn += ref[i] != start[i];
            }
            if (differ && ++mismatches)
                ADD_FAILURE() << "level " << level << " entry " << entry << " " << pic.w << " x " << pic.h << " at "
                              << x << ", " << y << " angle " << angle << " zoom " << zoom << " alpha " << alpha
                              << " window " << int(zk_curwindow) << ": " << differ << " differ, first ("
                              << first % ZK_WIDTH << ", " << first / ZK_WIDTH << ")";
        }
        EXPECT_GT(drawn, 1000000) << "level " << level;
    }
    zk_blit_level = topLevel;
}

// The rules' own numbers, which the reference reads the same way: a 16 x 16
// picture whose pixel (c, r) holds r * 16 + c + 1, drawn with its top-left
// corner at (100, 100), fills a rectangle of the screen, each pixel from
// the source pixel given.
TEST(RotoZoom, WorkedCases) {
    for (ClipWindow& w : zk_window) w = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    zk_window[3] = {0, 0, 105, 107};
    std::vector<uint16_t> named(256);
    for (int i = 0; i < 256; ++i) named[size_t(i)] = uint16_t(i + 1);
    struct Source { int column, row; };
    // set-up: boxLeft, boxTop, rotCos, rotSin, rotCosInv, rotSinInv; area:
    // minX, maxX, minY, maxY.
    const struct { int window, angle, zoom; std::vector<int> setUp, area; Source (*source)(int x, int y); } cases[] = {
        // A quarter turn: one column short of 16, as the exit count rounds down.
        {0, 128, 1024, {96, 96, 0, 65536, 0, 256}, {100, 114, 100, 115}, [](int x, int y) { return Source{115 - y, x - 100}; }},
        // The same in a window that cuts it; the sprite's own clip does not apply.
        {3, 128, 1024, {96, 96, 0, 65536, 0, 256}, {100, 105, 100, 107}, [](int x, int y) { return Source{115 - y, x - 100}; }},
        // Twice the size: every source pixel 2 x 2, the last column 1 wide.
        {0, 0, 2048, {84, 84, 32768, 0, 512, 0}, {92, 122, 92, 123}, [](int x, int y) { return Source{(x - 92) / 2, (y - 92) / 2}; }},
        // Half the size: every second source row and column.
        {0, 0, 512, {102, 102, 131072, 0, 128, 0}, {104, 110, 104, 111}, [](int x, int y) { return Source{2 * (x - 104), 2 * (y - 104)}; }},
        // Half a turn; only the angle modulo 512 counts.
        {0, 256 - 1024, 1024, {96, 96, -65536, 0, -256, 0}, {100, 114, 100, 115}, [](int x, int y) { return Source{115 - x, 115 - y}; }},
    };
    static uint8_t pixels[256];
    static uint16_t palette[256];
    SpriteImage image{pixels, nullptr, nullptr, palette, 1, 1, 16, 16};
    ZK_CreateSprite(4000, &image, 16, 16, 108, 108);
    ZK_SetSpriteLimits(4000, 0, 0, 1, 1);  // would keep 2 x 2 pixels
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "angle " << c.angle << " zoom " << c.zoom << " window " << c.window);
        std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0));
        zk_curwindow = uint8_t(c.window), zk_cursprite = 4000;
        ZK_16bitRotFull(named.data(), nullptr, 16, 16, 100, 100, 32, c.angle, c.zoom);
        const CopyLimits& l = zk_limits;
        EXPECT_EQ((std::vector<int>{l.boxLeft, l.boxTop, l.rotCos, l.rotSin, l.rotCosInv, l.rotSinInv}), c.setUp);
        std::vector<uint16_t> want(size_t(ZK_WIDTH) * ZK_HEIGHT, 0);
        for (int y = c.area[2]; y <= c.area[3]; ++y)
            for (int x = c.area[0]; x <= c.area[1]; ++x)
                want[size_t(y * ZK_WIDTH + x)] = uint16_t(c.source(x, y).row * 16 + c.source(x, y).column + 1);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), zk_buffer));
    }
    zk_curwindow = 0;
    ZK_InitSprites();
}
