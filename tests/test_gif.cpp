// GIF decoding into sprite images and layers, the run lists, animation
// pacing, the quit button, and every way bad data must end cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "gif_maker.h"
#include "zk_gif.h"
#include "zk_test_support.h"

namespace {

constexpr uint32_t MAGENTA = 0xFF00FF;

// 256 distinct colours, none of them the key.
std::vector<uint32_t> rainbow(int n = 256) {
    std::vector<uint32_t> c;
    for (int i = 0; i < n; ++i) c.push_back(uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(i / 2));
    return c;
}

constexpr uint16_t rgb565(uint32_t c) {
    return uint16_t((((c >> 16) & 0xFF) >> 3) << 11 | (((c >> 8) & 0xFF) >> 2) << 5 | ((c & 0xFF) >> 3));
}

// The data in a heap block of exactly its size, so reads past it are caught.
struct Exact {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size;
    explicit Exact(const std::vector<uint8_t>& v) : bytes(new uint8_t[v.empty() ? 1 : v.size()]), size(v.size()) {
        if (size) std::memcpy(bytes.get(), v.data(), size);
    }
};

// Reads an image's run list back into one flag per pixel (true: drawn),
// checking the format on the way: counts alternate from a transparent one,
// only the first may be 0, each line adds up to the width, the lines follow
// each other and the list ends in 4 0xFF bytes.
std::vector<bool> readRuns(const SpriteImage* im) {
    std::vector<bool> drawn;
    size_t p = 0;
    for (int y = 0; y < im->height; ++y) {
        EXPECT_EQ(im->lineOffsets[y], p) << "line " << y;
        int x = 0;
        for (bool opaque = false; x < im->width; opaque = !opaque) {
            const int n = im->runs[p++];
            if (x > 0 || opaque) { EXPECT_GT(n, 0) << "line " << y; }
            for (int i = 0; i < n; ++i) drawn.push_back(opaque);
            x += n;
        }
        EXPECT_EQ(x, im->width) << "line " << y;
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(im->runs[p + size_t(i)], 0xFF);
    return drawn;
}

std::vector<uint8_t> fill(size_t n, uint8_t v) { return std::vector<uint8_t>(n, v); }

// Decodes the data from a block of exactly its size.
SpriteImage* toSprite(const std::vector<uint8_t>& data) {
    const Exact gif(data);
    return ZK_GifToSprite(gif.bytes.get(), gif.size);
}

ZkGifFrame frame(int w, int h, std::vector<uint8_t> pixels, int delay = -1) {
    ZkGifFrame f;
    f.width = w, f.height = h, f.pixels = std::move(pixels), f.delay = delay;
    return f;
}

uint8_t firstPixel(const SpriteImage* im) { return static_cast<const uint8_t*>(im->pixels)[0]; }

using V = std::vector<int64_t>;
V shape(const SpriteImage* im) { return {im->depth, im->opaque, im->width, im->height}; }

struct Cleanup {
    ~Cleanup() {
        zk_cleanspritealloc();
        ZK_ResetBg();
        ZK_GifInfo.firstFrame = ZK_GifInfo.lastFrame = 0;
    }
};

}  // namespace

TEST(GifToSprite, KeyColourMovesToIndexZeroAndTheRunsMarkIt) {
    Cleanup cleanup;
    struct Case {
        const char* name;
        std::vector<int> keys;  // palette entries holding magenta
        int transparent;        // the entry whose pixels become transparent, -1 none
    } cases[] = {{"key at 5", {5}, 5}, {"key at 0", {0}, 0}, {"no key", {}, -1}, {"keys at 3 and 9", {3, 9}, 3}};
    // 8 x 4 pixels using entries 0, 3, 5, 9 and others.
    const std::vector<uint8_t> pixels = {0, 5, 5, 1, 3, 9, 0, 0,  //
                                         5, 5, 5, 5, 5, 5, 5, 5,  //
                                         1, 2, 3, 4, 5, 6, 7, 8,  //
                                         9, 3, 0, 5, 0, 3, 9, 5};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto colours = rainbow();
        for (int k : c.keys) colours[size_t(k)] = MAGENTA;
        const uint16_t before = zk_nsprite_alloc;
        SpriteImage* im = toSprite(zk_make_gif(8, 4, colours, pixels));
        ASSERT_NE(im, nullptr);
        EXPECT_EQ(zk_nsprite_alloc, before + 1);
        EXPECT_EQ(zk_sprite_alloc[before], im);
        EXPECT_EQ(shape(im), (V{1, c.transparent < 0, 8, 4}));
        const auto* px = static_cast<const uint8_t*>(im->pixels);
        if (c.transparent < 0) {
            EXPECT_EQ(im->runs, nullptr);
            EXPECT_EQ(im->lineOffsets, nullptr);
            EXPECT_EQ(std::vector<uint8_t>(px, px + pixels.size()), pixels);
            continue;
        }
        EXPECT_EQ(im->palette[0], 0xF81F);
        const int k = c.transparent;
        // The picture's colours are unchanged: every pixel shows what it
        // showed before, only the index of the key and of entry 0 swapped.
        for (size_t i = 0; i < pixels.size(); ++i) {
            const int want = pixels[i] == k ? 0 : pixels[i] == 0 ? k : pixels[i];
            EXPECT_EQ(px[i], want) << "pixel " << i;
            EXPECT_EQ(im->palette[px[i]], rgb565(colours[pixels[i]])) << "pixel " << i;
        }
        const std::vector<bool> drawn = readRuns(im);
        ASSERT_EQ(drawn.size(), pixels.size());
        for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(drawn[i], pixels[i] != k) << "pixel " << i;
    }
    for (int twice = 0; twice < 2; ++twice) {  // with no images it only sets the count
        zk_cleanspritealloc();
        EXPECT_EQ(zk_nsprite_alloc, 0);
        EXPECT_EQ(zk_sprite_alloc[0], nullptr);
    }
}

TEST(GifToSprite, SixteenColoursLeaveTheRestOfThePaletteAlone) {
    Cleanup cleanup;
    auto colours = rainbow(16);
    const auto bytes = zk_make_gif(4, 4, colours, fill(16, 7));
    // The decoder itself writes entries 0..15 only ...
    uint16_t palette[256];
    std::fill(palette, palette + 256, 0xABCD);
    uint8_t pixels[16] = {};
    EXPECT_EQ(DecodeGif(bytes.data(), bytes.size(), pixels, palette, 0, 4, 4), ZK_GIF_DONE);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(palette[i], rgb565(colours[size_t(i)]));
    EXPECT_EQ(std::vector<uint16_t>(palette + 16, palette + 256), std::vector<uint16_t>(240, 0xABCD));
    // ... and the loaders start from zeroed palettes, so the key cannot hide
    // above the colour count.
    SpriteImage* im = ZK_GifToSprite(bytes.data(), bytes.size());
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(im->opaque, 1);
    EXPECT_EQ(std::vector<uint16_t>(im->palette + 16, im->palette + 256), std::vector<uint16_t>(240, 0));
    ZK_BgLoadGif(3, bytes.data(), bytes.size());
    EXPECT_EQ(std::vector<uint16_t>(zk_bg[3].palette + 16, zk_bg[3].palette + 256), std::vector<uint16_t>(240, 0));
    EXPECT_EQ(zk_bg[3].plain, 1);
}

TEST(GifToSprite, FullWidthLinesAndRunLimits) {
    Cleanup cleanup;
    auto colours = rainbow();
    colours[0] = MAGENTA;
    // 240 wide: an opaque line is 00 F0, a transparent one F0.
    std::vector<uint8_t> px(480, 1);
    std::fill(px.begin() + 240, px.end(), 0);
    SpriteImage* im = toSprite(zk_make_gif(240, 2, colours, px));
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(im->runs, im->runs + 7), (std::vector<uint8_t>{0x00, 0xF0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ((V{im->lineOffsets[0], im->lineOffsets[1]}), (V{0, 2}));

    // A run of 256 pixels cannot be written as one byte: no image.
    std::vector<uint8_t> wide(300, 1);
    wide[0] = 0;
    EXPECT_EQ(toSprite(zk_make_gif(300, 1, colours, wide)), nullptr);
    // An opaque picture has no run list, so its width is free.
    EXPECT_NE(toSprite(zk_make_gif(300, 1, rainbow(), fill(300, 1))), nullptr);

    // Lines of 255 alternating pixels take 255 bytes: 256 lines fit in the
    // 65,536-byte limit with the closing bytes, 257 do not.
    for (int lines : {256, 257}) {
        std::vector<uint8_t> zebra(size_t(255 * lines));
        for (size_t i = 0; i < zebra.size(); ++i) zebra[i] = uint8_t((i % 255) & 1);
        const uint16_t count = zk_nsprite_alloc;
        SpriteImage* z = toSprite(zk_make_gif(255, lines, colours, zebra));
        if (lines == 256) {
            ASSERT_NE(z, nullptr);
            EXPECT_EQ(z->lineOffsets[255], 255 * 255);
            EXPECT_EQ(readRuns(z).size(), zebra.size());
        } else {
            EXPECT_EQ(z, nullptr);
            EXPECT_EQ(zk_nsprite_alloc, count);  // nothing half registered
        }
    }
}

TEST(GifToSprite, TheRegistryHolds1024Images) {
    Cleanup cleanup;
    const auto gif = zk_make_gif(1, 1, rainbow(2), fill(1, 1));
    for (int i = 0; i < 1024; ++i) ASSERT_NE(ZK_GifToSprite(gif.data(), gif.size()), nullptr) << i;
    EXPECT_EQ(ZK_GifToSprite(gif.data(), gif.size()), nullptr);
    EXPECT_EQ(zk_nsprite_alloc, 1024);
}

TEST(GifDecode, InterlacedRowsLandInPassOrderFromTheImageTop) {
    Cleanup cleanup;
    // Stored line i is filled with the value i + 1, so each row shows when
    // it was decoded. The 3-pixel-wide image sits at (left, top) of a screen
    // 2 pixels wider and 1 row taller.
    struct Case { int rows, left, top; std::vector<int> order; /* the image row stored line i lands on */ } cases[] = {
        {10, 0, 0, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}}, {3, 0, 0, {0, 2, 1}}, {1, 0, 0, {0}}, {7, 1, 3, {0, 4, 2, 6, 1, 3, 5}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        ZkGifFrame f = frame(3, c.rows, {});
        f.left = c.left, f.top = c.top, f.interlace = true;
        for (int i = 0; i < c.rows * 3; ++i) f.pixels.push_back(uint8_t(i / 3 + 1));
        const int w = c.left + 5, h = c.top + c.rows + 1;
        SpriteImage* im = toSprite(zk_make_gif(w, h, rainbow(16), {f}));
        ASSERT_NE(im, nullptr);
        std::vector<uint8_t> want(size_t(w * h));
        for (int i = 0; i < c.rows * 3; ++i)
            want[size_t((c.top + c.order[size_t(i / 3)]) * w + c.left + i % 3)] = uint8_t(i / 3 + 1);
        const auto* px = static_cast<const uint8_t*>(im->pixels);
        EXPECT_EQ(std::vector<uint8_t>(px, px + want.size()), want);
    }
}

TEST(GifDecode, EachImageConvertsItsOwnMapFromFirstFrameOn) {
    Cleanup cleanup;
    // A 4 x 2 screen over a 16-colour global map. Image A fills it with 5s
    // under a local map of 16 colours; image B puts 1 2 / 3 0 at column 1
    // under a local map of 4. Both follow a graphic control block of delay 0.
    std::vector<uint32_t> map16, map4 = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    for (uint32_t i = 0; i < 16; ++i) map16.push_back(0x0F0F0F * i + 0x000100);
    ZkGifFrame a = frame(4, 2, fill(8, 5), 0), b = frame(2, 2, {1, 2, 3, 0}, 0);
    a.colours = map16, b.colours = map4, b.left = 1;
    // Entries 0-3 from map4; 4-15 from map16 when image A converted its map.
    auto palette = [&](bool fromA) {
        std::vector<uint16_t> p(256, 0);
        for (size_t i = 0; i < 16; ++i) p[i] = i < 4 ? rgb565(map4[i]) : fromA ? rgb565(map16[i]) : 0;
        return p;
    };
    const struct {
        const char* name;
        int firstFrame;
        std::vector<ZkGifFrame> frames;
        std::vector<uint8_t> pixels;
        std::vector<uint16_t> palette;
    } cases[] = {
        {"a local map, not the global one", 0, {b}, {0, 1, 2, 0, 0, 3, 0, 0}, palette(false)},
        {"both maps from frame 1 on", 1, {a, b}, {5, 1, 2, 5, 5, 3, 0, 5}, palette(true)},
        {"image A before frame 2 keeps the palette", 2, {a, b}, {5, 1, 2, 5, 5, 3, 0, 5}, palette(false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ZK_GifInfo.firstFrame = c.firstFrame;
        ZK_GifInfo.lastFrame = 100;
        SpriteImage* im = toSprite(zk_make_gif(4, 2, rainbow(16), c.frames));
        ASSERT_NE(im, nullptr);
        const auto* px = static_cast<const uint8_t*>(im->pixels);
        EXPECT_EQ(std::vector<uint8_t>(px, px + 8), c.pixels);
        EXPECT_EQ(std::vector<uint16_t>(im->palette, im->palette + 256), c.palette);
    }
}

TEST(GifDecode, FramesAreClippedToTheScreen) {
    Cleanup cleanup;
    // Frames at their own places; the second hangs off the right and
    // bottom of the 8 x 6 screen and the third lies wholly outside it.
    ZkGifFrame a = frame(2, 2, fill(4, 3)), b = frame(5, 4, fill(20, 4)), off = frame(4, 4, fill(16, 5));
    a.left = 1, a.top = 1;
    auto bytes = zk_make_gif(8, 6, rainbow(16), {a, b, off});
    ASSERT_FALSE(bytes.empty());
    zk_gif_put16(bytes, zk_gif_descriptor_at(bytes, 1) + 1, 5);    // left 5: columns 5..9
    zk_gif_put16(bytes, zk_gif_descriptor_at(bytes, 1) + 3, 4);    // top 4: rows 4..7
    zk_gif_put16(bytes, zk_gif_descriptor_at(bytes, 2) + 1, 300);  // beyond the screen
    for (int to16 = 0; to16 < 2; ++to16) {
        SCOPED_TRACE(to16);
        const Exact gif(bytes);
        std::memset(zk_gif_pal, 0, sizeof zk_gif_pal);
        std::vector<uint16_t> palette(256, 0);
        const size_t n = 8 * 6;
        std::unique_ptr<uint8_t[]> dest(new uint8_t[n << to16]());
        EXPECT_EQ(DecodeGif(gif.bytes.get(), gif.size, dest.get(), palette.data(), uint8_t(to16), 8, 6), ZK_GIF_DONE);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const int want = (x >= 5 && y >= 4) ? 4 : (x >= 1 && x <= 2 && y >= 1 && y <= 2) ? 3 : 0;
                const int got = to16 ? reinterpret_cast<uint16_t*>(dest.get())[y * 8 + x]
                                     : dest[size_t(y * 8 + x)];
                EXPECT_EQ(got, to16 ? (want ? rgb565(rainbow()[size_t(want)]) : 0) : want) << x << "," << y;
            }
    }

}

TEST(GifDecode, DelaysPaceThroughTheFrameLoop) {
    Cleanup cleanup;
    auto square = [](int delay, uint8_t value) { return frame(2, 2, fill(4, value), delay); };
    // The sample ring index of the frame loop counts refreshes.
    auto refreshes = [](const std::vector<uint8_t>& gif, SpriteImage*& im) {
        const uint8_t before = zk_nfps;
        im = ZK_GifToSprite(gif.data(), gif.size());
        return (zk_nfps - before) & 63;
    };
    SpriteImage* im = nullptr;
    const int rc = zk_test_run([&] {
        ZK_Init();
        // delay in 1/100 s -> refreshes of 1/60 s (rounded up by the loop)
        const struct { int delay, refreshes; } cases[] = {{0, 0}, {1, 1}, {5, 3}, {10, 6}, {100, 60}};
        for (const auto& c : cases) {
            SCOPED_TRACE(c.delay);
            ZK_GifInfo.firstFrame = 0;
            ZK_GifInfo.lastFrame = 100;
            EXPECT_EQ(refreshes(zk_make_gif(2, 2, rainbow(4), {square(c.delay, 2)}), im), c.refreshes);
            if (!im) return 1;
            EXPECT_EQ(static_cast<uint8_t*>(im->pixels)[3], 2);
            EXPECT_EQ((V{ZK_GifInfo.frameCount, ZK_GifInfo.state}), (V{1, 1}));
            EXPECT_EQ(ZK_GifInfo.speed, 1.0f);
        }
        // At firstFrame = lastFrame = 0 the first wait refreshes once and
        // ends the decode before the image after it.
        ZK_GifInfo.firstFrame = ZK_GifInfo.lastFrame = 0;
        const auto gif = zk_make_gif(2, 2, rainbow(4), {square(0, 1), square(10, 2), square(10, 3)});
        EXPECT_EQ(refreshes(gif, im), 1);
        if (!im) return 1;
        EXPECT_EQ(firstPixel(im), 1);
        EXPECT_EQ((V{ZK_GifInfo.frameCount, ZK_GifInfo.state}), (V{2, 0}));
        // Graphic control blocks below firstFrame do not wait.
        ZK_GifInfo.firstFrame = 2;
        ZK_GifInfo.lastFrame = 100;
        EXPECT_EQ(refreshes(gif, im), 6);
        if (!im) return 1;
        EXPECT_EQ(firstPixel(im), 3);

        // Code run by the frame loop steers the wait: a vector layer's hook
        // pauses at the first refresh and resumes at the third, so a wait of
        // 3 ticks takes 5 refreshes; stopping at the second ends the decode
        // before its image.
        ZK_LoadVectoBg(0);
        int calls = 0;
        uint8_t resumeWith = 1;
        zk_test_dovect = [&](uint8_t) {
            ++calls;
            if (calls == 1) ZK_GifInfo.state = 2;
            if (calls == 3) ZK_GifInfo.state = resumeWith;
        };
        ZK_GifInfo.firstFrame = 0;
        for (uint8_t resume : {uint8_t(1), uint8_t(0)}) {
            SCOPED_TRACE(int(resume));
            calls = 0;
            resumeWith = resume;
            EXPECT_EQ(refreshes(zk_make_gif(2, 2, rainbow(4), {square(5, 3)}), im), resume ? 5 : 3);
            if (!im) return 1;  // a stop is a success: the image holds what came before it
            EXPECT_EQ(firstPixel(im), resume ? 3 : 0);
        }
        zk_test_dovect = nullptr;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST(GifLayers, LoadersKeepIndicesOrConvertAndSetPlain) {
    Cleanup cleanup;
    auto colours = rainbow(16);
    const std::vector<uint8_t> px = {0, 1, 2, 3, 4, 5};
    const auto opaque = zk_make_gif(3, 2, colours, px);
    colours[2] = MAGENTA;
    const auto keyed = zk_make_gif(3, 2, colours, px);

    ZK_BgLoadGif(10, keyed.data(), keyed.size());
    const BgLayer& bg = zk_bg[10];
    // used kind depth width height priority plain
    EXPECT_EQ((V{bg.used, bg.kind, bg.depth, bg.width, bg.height, bg.priority, bg.plain}), (V{1, 3, 1, 3, 2, 10, 0}));
    EXPECT_EQ(std::memcmp(bg.pixels, px.data(), 6), 0);  // no remapping
    EXPECT_EQ(bg.palette[2], 0xF81F);
    ZK_BgLoadGif(10, opaque.data(), opaque.size());
    EXPECT_EQ(bg.plain, 1);

    ZK_BgLoadGif16bit(11, keyed.data(), keyed.size());
    const BgLayer& b16 = zk_bg[11];
    EXPECT_EQ((V{b16.depth, b16.plain}), (V{2, 0}));
    EXPECT_EQ(b16.palette, nullptr);
    const auto* p16 = static_cast<const uint16_t*>(b16.pixels);
    for (size_t i = 0; i < px.size(); ++i) EXPECT_EQ(p16[i], rgb565(colours[px[i]]));
    EXPECT_EQ(zk_gif_pal[2], 0xF81F);
    ZK_BgLoadGif16bit(11, opaque.data(), opaque.size());
    EXPECT_EQ(b16.plain, 1);
}

TEST(GifLayers, CodeRunDuringAWaitMayReleaseTheLayerOrLoadAnother) {
    Cleanup cleanup;
    // A 4 x 3 animation: 1s, a wait of 3 refreshes, 2s, then 3s. At its
    // first refresh the hook deletes the layer, loads it again from a still
    // picture of 7s under other colours, or loads that still as a sprite.
    auto other = rainbow(16);
    std::reverse(other.begin(), other.end());
    const auto still = zk_make_gif(4, 3, other, fill(12, 7));
    const auto anim = zk_make_gif(4, 3, rainbow(16), {frame(4, 3, fill(12, 1)), frame(4, 3, fill(12, 2), 5),
                                                       frame(4, 3, fill(12, 3), 0)});
    enum Action { DELETE, RELOAD, SPRITE };
    // What layer 6 holds: the still alone when reloaded, else the whole
    // animation, with its own frame count and pixel size.
    auto check = [&](int depth, Action action) {
        const BgLayer& bg = zk_bg[6];
        if (action == DELETE) {
            EXPECT_EQ(bg.used, 0);
            return;
        }
        const auto colours = action == RELOAD ? other : rainbow(16);
        const uint8_t value = action == RELOAD ? 7 : 3;
        ASSERT_EQ((V{bg.used, bg.depth, bg.width, bg.height}), (V{1, depth, 4, 3}));
        if (action == SPRITE) { EXPECT_EQ((V{ZK_GifInfo.frameCount, ZK_GifInfo.state}), (V{2, 1})); }
        std::vector<uint16_t> want(12, depth == 1 ? value : rgb565(colours[value])), got(12);
        for (size_t i = 0; i < 12; ++i)
            got[i] = depth == 1 ? static_cast<const uint8_t*>(bg.pixels)[i] : static_cast<const uint16_t*>(bg.pixels)[i];
        EXPECT_EQ(got, want);
        if (depth == 2) return;
        std::vector<uint16_t> palette(256, 0);
        for (size_t i = 0; i < 16; ++i) palette[i] = rgb565(colours[i]);
        EXPECT_EQ(std::vector<uint16_t>(bg.palette, bg.palette + 256), palette);
    };
    for (int depth : {1, 2})
        for (Action action : {DELETE, RELOAD, SPRITE}) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << ", action " << action);
            auto load = [depth](const std::vector<uint8_t>& gif) {
                if (depth == 1) ZK_BgLoadGif(6, gif.data(), gif.size());
                else ZK_BgLoadGif16bit(6, gif.data(), gif.size());
            };
            const int rc = zk_test_run([&] {
                ZK_Init();
                ZK_GifInfo.firstFrame = 0, ZK_GifInfo.lastFrame = 100;
                bool acted = false;
                zk_test_dovect = [&](uint8_t) {
                    if (acted) return;
                    acted = true;
                    if (action == DELETE) ZK_BgDelete(6);
                    if (action == RELOAD) load(still);
                    if (action == SPRITE) { EXPECT_NE(ZK_GifToSprite(still.data(), still.size()), nullptr); }
                };
                load(anim);
                zk_test_dovect = nullptr;
                EXPECT_TRUE(acted);
                check(depth, action);
                return 0;
            });
            EXPECT_EQ(rc, 0);
        }
}

TEST(GifBadInput, FailedLoadsKeepNothing) {
    Cleanup cleanup;
    // A base picture: two 16 x 16 frames over a 256-colour map, the first
    // with a graphic control block of delay 0.
    auto colours = rainbow();
    colours[0] = MAGENTA;
    std::vector<uint8_t> px(256);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 7);
    const ZkGifFrame one = frame(16, 16, px, 0), two = frame(16, 16, fill(256, 9));
    const auto base = zk_make_gif(16, 16, colours, {one, two});
    ASSERT_FALSE(base.empty());
    const size_t desc = zk_gif_descriptor_at(base, 0);
    const size_t codeSize = zk_gif_code_size_at(base, 0);

    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        bool loads;
    };
    std::vector<Case> cases;
    for (size_t cut : {size_t(0), size_t(5), size_t(9), size_t(12), size_t(13), size_t(13 + 100), desc, desc + 4,
                       codeSize, codeSize + 1, codeSize + 40, base.size() - 1})
        cases.push_back({"cut short", {base.begin(), base.begin() + long(cut)}, false});
    auto add = [&](const char* name, bool loads, auto edit) {
        auto d = base;
        edit(d);
        cases.push_back({name, d, loads});
    };
    using Data = std::vector<uint8_t>;
    add("unknown record type", false, [](Data& d) { d.back() = 0x55; });
    add("code size 9", false, [&](Data& d) { d[codeSize] = 9; });
    add("code size 12", false, [&](Data& d) { d[codeSize] = 12; });
    add("descriptor off the screen", true, [&](Data& d) { zk_gif_put16(d, desc + 1, 0xFFF0), zk_gif_put16(d, desc + 3, 0xFFF0); });
    add("descriptor wider than its data", false, [&](Data& d) { zk_gif_put16(d, desc + 5, 0xFFFF); });
    add("0 x 0 image", false, [&](Data& d) { zk_gif_put16(d, desc + 5, 0), zk_gif_put16(d, desc + 7, 0); });
    add("indices above the colour count", true, [](Data& d) { zk_gif_shrink_global_map(d, 0); });  // 2 colours
    add("no colour map", true, [](Data& d) { zk_gif_shrink_global_map(d, -1); });
    add("0 x 16 screen", false, [](Data& d) { zk_gif_put16(d, 6, 0); });
    add("huge screen", false, [](Data& d) { zk_gif_put16(d, 6, 0xFFFF), zk_gif_put16(d, 8, 0xFFFF); });
    cases.push_back({"no map, no image", {'G', 'I', 'F', '8', '9', 'a', 16, 0, 16, 0, 0, 0, 0, ';'}, true});
    cases.push_back({"not a GIF", {'N', 'O', 'T', 'G', 'I', 'F', 16, 0, 16, 0, 0, 0, 0, ';'}, false});
    {
        // The first frame's data ends (end code) after 8 of the 16 rows.
        ZkGifFrame half = one;
        half.height = 8;
        half.pixels.resize(128);
        auto d = zk_make_gif(16, 16, colours, {half, two});
        zk_gif_put16(d, zk_gif_descriptor_at(d, 0) + 7, 16);
        cases.push_back({"end code too early", d, false});
    }
    std::vector<ZkGifFrame> many(ZK_GIF_MAX_FRAMES + 1, frame(1, 1, {1}));
    cases.push_back({"too many images", zk_make_gif(1, 1, rainbow(2), many), false});

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(c.data.size()) + " bytes");
        const Exact gif(c.data);
        const uint16_t count = zk_nsprite_alloc;
        SpriteImage* im = ZK_GifToSprite(gif.bytes.get(), gif.size);
        EXPECT_EQ((V{im != nullptr, zk_nsprite_alloc}), (V{c.loads, count + c.loads}));
        // Whatever was decoded, the image is whole and self-consistent.
        if (im) { EXPECT_EQ(im->palette[0] == 0xF81F, im->opaque == 0); }
        if (im && !im->opaque) { EXPECT_EQ(readRuns(im).size(), size_t(im->width) * size_t(im->height)); }
        // Layers in use before are free after a failed load.
        ZK_BgLoadGif(4, base.data(), base.size());
        ZK_BgLoadGif16bit(5, base.data(), base.size());
        ZK_BgLoadGif(4, gif.bytes.get(), gif.size);
        ZK_BgLoadGif16bit(5, gif.bytes.get(), gif.size);
        EXPECT_EQ((V{zk_bg[4].used, zk_bg[5].used}), (V{c.loads, c.loads}));
    }
    // A 16-bit layer is at most 2048 pixels wide (its line buffer); an
    // 8-bit one may be wider.
    auto wide = base;
    zk_gif_put16(wide, 6, 3000);
    ZK_BgLoadGif16bit(5, wide.data(), wide.size());
    EXPECT_EQ(zk_bg[5].used, 0);
    ZK_BgLoadGif(4, wide.data(), wide.size());
    EXPECT_EQ((V{zk_bg[4].used, zk_bg[4].width}), (V{1, 3000}));
    EXPECT_EQ(static_cast<uint8_t*>(zk_bg[4].pixels)[3000 * 15 + 15], 9);  // the second frame's last pixel
}

TEST(QuitButton, FourFramesOfTheCutSquareWithTheirRuns) {
    const SpriteImage& q = zk_quit;
    EXPECT_EQ(shape(&q), (V{2, 0, 16, 64}));
    EXPECT_EQ(q.palette, nullptr);
    const auto* px = static_cast<const uint16_t*>(q.pixels);
    auto margin = [](int y) { return y == 0 || y == 15 ? 8 : y == 1 || y == 14 ? 3 : y == 2 || y == 13 ? 2 : 1; };
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 16; ++x) {
            const int m = margin(y % 16);
            ASSERT_EQ(px[y * 16 + x] == 0xF81F, x < m || x >= 16 - m) << x << "," << y;
        }
    // The run list agrees with the pixels and is 176 counts and 4 0xFF.
    const std::vector<bool> drawn = readRuns(&q);
    ASSERT_EQ(drawn.size(), 1024u);
    for (int i = 0; i < 1024; ++i) EXPECT_EQ(drawn[size_t(i)], px[i] != 0xF81F);
    EXPECT_EQ(q.lineOffsets[63] + 1, 176);
    // The frames differ from each other (the button reacts).
    for (int f = 1; f < 4; ++f) EXPECT_NE(std::memcmp(px, px + f * 256, 512), 0) << f;
    zk_test_save_ppm("quit_button", px, 16, 64);
}
