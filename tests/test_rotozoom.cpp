#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <vector>

#include "ZKlib.h"
#include "zk_blend.h"

namespace {

void wholeScreenWindows() {
    for (ClipWindow& w : zk_window) w = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    zk_curwindow = 0;
    zk_cursprite = -1;
}

void fill(uint16_t colour) { std::fill(std::begin(zk_buffer), std::end(zk_buffer), colour); }

uint16_t at(int x, int y) { return zk_buffer[y * ZK_WIDTH + x]; }

// A 16-bit picture whose every pixel names its own position: value
// r * width + c + 1, so 0 never occurs and a drawn pixel tells its source.
std::vector<uint16_t> namedPicture(int width, int height) {
    std::vector<uint16_t> p(size_t(width) * height);
    for (size_t i = 0; i < p.size(); ++i) p[i] = uint16_t(i + 1);
    return p;
}

// Draws the 16 x 16 named picture alone, opaque, centred on (x, y).
void rotNamed(int x, int y, int angle, int zoom) {
    static const std::vector<uint16_t> picture = namedPicture(16, 16);
    fill(0);
    ZK_16bitRotFull(picture.data(), nullptr, 16, 16, x, y, 32, angle, zoom);
}

struct Source {
    int column, row;
};
Source sourceOf(uint16_t value, int width) { return {(value - 1) % width, (value - 1) / width}; }

struct Area {
    int count = 0, minX = 1 << 20, maxX = -1, minY = 1 << 20, maxY = -1;
    std::vector<int> box() const { return {minX, maxX, minY, maxY, count}; }
};
Area drawnArea(uint16_t background) {
    Area a;
    for (int y = 0; y < ZK_HEIGHT; ++y)
        for (int x = 0; x < ZK_WIDTH; ++x)
            if (at(x, y) != background) {
                ++a.count;
                a.minX = std::min(a.minX, x);
                a.maxX = std::max(a.maxX, x);
                a.minY = std::min(a.minY, y);
                a.maxY = std::max(a.maxY, y);
            }
    return a;
}

// The source position the set-up's steps give box pixel (i, j), in exact
// arithmetic.
int64_t mappedU(int i, int j) {
    return int64_t(zk_limits.rotU) - int64_t(j - zk_limits.firstRow) * zk_limits.rotSin + int64_t(i) * zk_limits.rotCos;
}
int64_t mappedV(int i, int j) {
    return int64_t(zk_limits.rotV) + int64_t(j - zk_limits.firstRow) * zk_limits.rotCos + int64_t(i) * zk_limits.rotSin;
}

}  // namespace

TEST(RotoZoom, WorkedCases) {
    wholeScreenWindows();
    // setUp: boxLeft, boxTop, rotCos, rotSin, rotCosInv, rotSinInv; area: minX,
    // maxX, minY, maxY, count (a solid rectangle); source: where each pixel is from.
    const struct { int angle, zoom; std::vector<int> setUp, area; Source (*source)(int x, int y); } cases[] = {
        // A quarter turn: one column short of 16, as the exit count rounds down.
        {128, 1024, {96, 96, 0, 65536, 0, 256}, {100, 114, 100, 115, 240},
         [](int x, int y) { return Source{115 - y, x - 100}; }},
        // Twice the size: every source pixel 2 x 2, the last column 1 wide.
        {0, 2048, {84, 84, 32768, 0, 512, 0}, {92, 122, 92, 123, 992},
         [](int x, int y) { return Source{(x - 92) / 2, (y - 92) / 2}; }},
        // Half the size: every second source row and column.
        {0, 512, {102, 102, 131072, 0, 128, 0}, {104, 110, 104, 111, 56},
         [](int x, int y) { return Source{2 * (x - 104), 2 * (y - 104)}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "angle " << c.angle << " zoom " << c.zoom);
        rotNamed(100, 100, c.angle, c.zoom);
        const CopyLimits& l = zk_limits;
        EXPECT_EQ((std::vector<int>{l.boxLeft, l.boxTop, l.rotCos, l.rotSin, l.rotCosInv, l.rotSinInv}), c.setUp);
        const Area a = drawnArea(0);
        EXPECT_EQ(a.box(), c.area);
        EXPECT_EQ(a.count, (a.maxX - a.minX + 1) * (a.maxY - a.minY + 1)) << "a solid rectangle";
        // The exact source of every pixel.
        for (int y = a.minY; y <= a.maxY; ++y)
            for (int x = a.minX; x <= a.maxX; ++x) {
                const Source got = sourceOf(at(x, y), 16), want = c.source(x, y);
                EXPECT_TRUE(got.column == want.column && got.row == want.row) << x << ", " << y;
            }
    }
    // Half a turn; only the angle modulo 512 counts.
    for (int angle : {256, 256 - 1024}) {
        rotNamed(100, 100, angle, 1024);
        EXPECT_TRUE(sourceOf(at(100, 100), 16).column == 15 && sourceOf(at(100, 100), 16).row == 15) << angle;
    }
}

TEST(RotoZoom, ClippedToTheWindowNotToTheSprite) {
    wholeScreenWindows();
    // A sprite whose own clip rectangle keeps only 2 x 2 pixels.
    static uint8_t pixels[256];
    static uint16_t palette[256];
    SpriteImage image{pixels, nullptr, nullptr, palette, 1, 1, 16, 16};
    ZK_CreateSprite(4000, &image, 16, 16, 108, 108);
    ZK_SetSpriteLimits(4000, 0, 0, 1, 1);

    zk_window[3] = {0, 0, 105, 107};
    zk_curwindow = 3;
    zk_cursprite = 4000;
    rotNamed(100, 100, 128, 1024);
    EXPECT_EQ(zk_cursprite, -1);
    EXPECT_EQ(drawnArea(0).box(), (std::vector<int>{100, 105, 100, 107, 6 * 8}));
    EXPECT_TRUE(sourceOf(at(105, 107), 16).column == 8 && sourceOf(at(105, 107), 16).row == 5);

    // Wholly outside the window, zoom 0, a box too large for the 16-bit clip
    // record or placed too far out (which draw nothing rather than wrapping
    // their limits), a negative zoom (no box): nothing.
    zk_window[3] = {0, 0, 50, 50};
    const struct { int window, x, angle, zoom; } nothing[] = {{3, 100, 77, 1500}, {0, 100, 77, 0}, {0, 100, 3, 1 << 21}, {0, -40000, 3, 1024}, {0, 100, 3, -2048}};
    for (const auto& c : nothing) {
        zk_curwindow = uint8_t(c.window);
        rotNamed(c.x, 100, c.angle, c.zoom);
        EXPECT_EQ(drawnArea(0).count, 0) << "x " << c.x << " zoom " << c.zoom;
    }
    ZK_InitSprites();
}

TEST(RotoZoom, KeyedRoutinesSkipTheKeyAndAlphaBlends) {
    wholeScreenWindows();
    // A checkerboard of transparent samples in both depths.
    uint8_t indices[256];
    uint16_t colours[256];
    uint16_t palette[256];
    for (int i = 0; i < 256; ++i) {
        palette[i] = uint16_t(0x0841 * (1 + i % 30));
        const bool hole = ((i >> 4) + i) % 2 == 0;
        indices[i] = hole ? 0 : uint8_t(1 + i % 200);
        colours[i] = hole ? zk_transpcolor : palette[indices[i]];
    }
    const uint16_t background = 0x1234;
    for (int entry = 0; entry < 8; ++entry) {
        SCOPED_TRACE(testing::Message() << "entry " << entry);
        const bool keyed = entry % 2 == 0, blended = entry & 2, wide = entry >= 4;
        const int alpha = blended ? 12 : 32;
        auto draw = [&](int a) {
            fill(background);
            ZK_CopyRot[entry](wide ? static_cast<const void*>(colours) : indices, wide ? nullptr : palette, 16, 16, 60,
                              80, a, 37, 1900);
        };
        draw(alpha);
        int written = 0, keyWritten = 0;
        for (int j = zk_limits.firstRow; j < zk_limits.endRow; ++j)
            for (int i = zk_limits.firstColumn; i < zk_limits.endColumn; ++i) {
                const uint16_t got = at(zk_limits.boxLeft + i, zk_limits.boxTop + j);
                if (got == background) continue;
                ++written;
                const int64_t u = mappedU(i, j), v = mappedV(i, j);
                ASSERT_TRUE(u >= 0 && u < (16 << 16) && v >= 0 && v < (16 << 16));
                const int k = int(v >> 16) * 16 + int(u >> 16);
                const uint16_t colour = wide ? colours[k] : palette[indices[k]];
                EXPECT_EQ(got, blended ? zk_blend(colour, background, uint32_t(alpha)) : colour);
                keyWritten += wide ? colours[k] == zk_transpcolor : indices[k] == 0;
            }
        EXPECT_GT(written, 400);
        EXPECT_TRUE(keyed ? keyWritten == 0 : keyWritten > 200) << keyWritten << " keys written";

        // The Alpha routines have no shortcut: alpha 0 blends to no change.
        if (blended) {
            draw(0);
            EXPECT_EQ(drawnArea(background).count, 0);
        }
    }
}

// A positive step below 256 along one axis (large zooms a few units off a
// quarter turn) has a reciprocal of 0; such blits still draw the picture,
// about as much of it as the turn right on the quarter.
TEST(RotoZoom, SmallStepsNearQuarterTurnsStillDraw) {
    wholeScreenWindows();
    for (int zoom : {2048, 4096, 6000, 8192}) {
        for (int quarter = 0; quarter < 4; ++quarter) {
            rotNamed(112, 152, quarter * 128, zoom);
            const int straight = drawnArea(0).count;
            for (int off = -4; off <= 4; ++off) {
                rotNamed(112, 152, quarter * 128 + off, zoom);
                const int n = drawnArea(0).count;
                EXPECT_TRUE(n >= straight * 9 / 10 && n <= straight * 11 / 10)
                    << n << " against " << straight << " at zoom " << zoom << " angle " << quarter * 128 + off;
            }
        }
    }
}

// Thousands of random blits over every routine: each written pixel shows
// exactly the sample the set-up's mapping names (which lies inside the
// image, and is not a key for the keyed routines), treated as the routine
// says; nothing is written outside the box and the window; the mapping is
// close to the ideal turn and scale; and no sample outside the pixel array is
// read (each picture is allocated to its exact size, so the address
// sanitizer sees any stray read).
TEST(RotoZoom, RandomBlitsAreExactAndStayInside) {
    wholeScreenWindows();
    std::mt19937 rng(20240607);
    auto pick = [&](int lo, int hi) { return lo + int(rng() % uint32_t(hi - lo + 1)); };
    uint16_t palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = uint16_t(0x2000 + i * 97);
    const uint16_t background = 0x0000;
    double worstIdeal = 0;
    long written = 0;
    const int kCases = 4000;
    for (int n = 0; n < kCases; ++n) {
        const int entry = n % 8;
        const bool keyed = entry % 2 == 0, blended = entry & 2, wide = entry >= 4;
        const int width = pick(0, 9) == 0 ? pick(65, 200) : pick(1, 64);
        const int height = pick(0, 9) == 0 ? pick(65, 200) : pick(1, 64);
        int zoom;
        switch (pick(0, 5)) {
            case 0: zoom = 1024 << pick(0, 3); break;
            case 1: zoom = pick(4000, 8192); break;
            default: zoom = int(std::exp2(std::uniform_real_distribution<double>(7.0, 13.0)(rng))); break;
        }
        int angle = pick(0, 1) ? pick(0, 3) * 128 + pick(-4, 4) : pick(0, 511);
        angle += 512 * pick(-2, 2);
        const int x = pick(-width - 60, ZK_WIDTH + 60), y = pick(-height - 60, ZK_HEIGHT + 60);
        const int alpha = blended ? pick(1, 31) : 32;
        zk_curwindow = 0;
        if (pick(0, 2) == 0) {
            const int l = pick(0, 200), t = pick(0, 280);
            zk_window[5] = {int16_t(l), int16_t(t), int16_t(pick(l, 239)), int16_t(pick(t, 319))};
            zk_curwindow = 5;
        }
        const ClipWindow win = zk_window[zk_curwindow];

        // Exactly sized pictures: 16-bit ones name each pixel (with keys
        // sprinkled in for the keyed routines), 8-bit ones are random.
        const size_t count = size_t(width) * height;
        void* pixels = std::malloc(count * (wide ? 2 : 1));
        ASSERT_NE(pixels, nullptr);
        for (size_t k = 0; k < count; ++k) {
            const bool key = keyed && rng() % 8 == 0;
            if (wide)
                static_cast<uint16_t*>(pixels)[k] = key ? zk_transpcolor : uint16_t(k + 1);
            else
                static_cast<uint8_t*>(pixels)[k] = key ? 0 : uint8_t(1 + rng() % 255);
        }
        auto sample = [&](int64_t k) -> uint16_t {
            return wide ? static_cast<uint16_t*>(pixels)[k] : static_cast<uint8_t*>(pixels)[k];
        };

        fill(background);
        ZK_CopyRot[entry](pixels, wide ? nullptr : palette, width, height, x, y, alpha, angle, zoom);
        SCOPED_TRACE(testing::Message() << "entry " << entry << " " << width << " x " << height << " at " << x << ", "
                                        << y << " angle " << angle << " zoom " << zoom << " alpha " << alpha);

        const int bl = zk_limits.boxLeft, bt = zk_limits.boxTop;
        const int64_t m = std::max((int64_t(width) * zoom) >> 10, (int64_t(height) * zoom) >> 10);
        const int side = int(m + (m >> 1)), half = side >> 1;
        const double turn = 2.0 * std::numbers::pi * angle / 512.0, scale = 1024.0 / zoom;
        for (int sy = 0; sy < ZK_HEIGHT; ++sy)
            for (int sx = 0; sx < ZK_WIDTH; ++sx) {
                const uint16_t got = at(sx, sy);
                if (got == background) continue;
                ++written;
                ASSERT_TRUE(sx >= win.left && sx <= win.right && sy >= win.top && sy <= win.bottom)
                    << "outside the window at " << sx << ", " << sy;
                const int i = sx - bl, j = sy - bt;
                ASSERT_TRUE(i >= 0 && i < side && j >= 0 && j < side) << "outside the box at " << sx << ", " << sy;
                const int64_t u = mappedU(i, j), v = mappedV(i, j);
                ASSERT_TRUE(u >= 0 && u < (int64_t(width) << 16) && v >= 0 && v < (int64_t(height) << 16))
                    << "sample outside the image for " << sx << ", " << sy;
                const uint16_t s = sample((v >> 16) * width + (u >> 16));
                if (keyed) {
                    ASSERT_NE(s, wide ? zk_transpcolor : 0) << "key written at " << sx << ", " << sy;
                }
                const uint16_t colour = wide ? s : palette[s];
                ASSERT_EQ(got, blended ? zk_blend(colour, background, uint32_t(alpha)) : colour)
                    << "at " << sx << ", " << sy;
                // The ideal mapping about the box centre. The table's 1/256
                // sines and the truncated inverse zoom put the steps, and the
                // step from the centre back to the box corner, off it in
                // proportion to their lengths; the truncated corner step adds
                // a quarter of a box pixel.
                const double dx = i - half, dy = j - half;
                const double iu = width / 2.0 + (dx * std::cos(turn) - dy * std::sin(turn)) * scale;
                const double iv = height / 2.0 + (dx * std::sin(turn) + dy * std::cos(turn)) * scale;
                const double du = std::fabs(double(u) / 65536.0 - iu), dv = std::fabs(double(v) / 65536.0 - iv);
                const double inv = double(262144 / zoom);
                const double distance = (std::hypot(dx, dy) + half * std::numbers::sqrt2) * scale;
                const double allowed = 0.01 + distance * (0.0045 + 1.0 / inv) + 0.25 * scale;
                worstIdeal = std::max(worstIdeal, std::max(du, dv) / allowed);
                ASSERT_LE(std::max(du, dv), allowed) << "far from the ideal mapping at " << sx << ", " << sy;
            }
        std::free(pixels);
    }
    EXPECT_GT(written, kCases * 100L) << "the random blits should draw a fair amount";
    RecordProperty("worst_ideal_ratio", std::to_string(worstIdeal));
}
