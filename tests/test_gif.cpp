// GIF decoding into sprite images and layers, the run lists, animation
// pacing, the quit button, and every way bad data must end cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
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

// Decodes an exactly sized copy of the data, so reads past it are caught.
SpriteImage* toSprite(const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> gif = data;
    return ZK_GifToSprite(gif.data(), gif.size());
}

ZkGifFrame frame(int w, int h, std::vector<uint8_t> pixels, int delay = -1) {
    return {0, 0, w, h, false, std::move(pixels), {}, delay};
}

std::vector<uint8_t> bytes(const void* p, size_t n) { return {static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n}; }
std::vector<uint16_t> words(const void* p, size_t n) { return {static_cast<const uint16_t*>(p), static_cast<const uint16_t*>(p) + n}; }

using V = std::vector<int64_t>;

void put16(std::vector<uint8_t>& gif, size_t at, unsigned value) {
    gif[at] = uint8_t(value & 0xFF);
    gif[at + 1] = uint8_t((value >> 8) & 0xFF);
}

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
    // The palette entries holding magenta; the entry whose pixels become transparent (-1: none).
    struct Case { const char* name; std::vector<int> keys; int transparent; } cases[] = {
        {"key at 5", {5}, 5}, {"key at 0", {0}, 0}, {"no key", {}, -1}, {"keys at 3 and 9", {3, 9}, 3}};
    // 8 x 4 pixels using entries 0, 3, 5, 9, the last entry (255) and others.
    const std::vector<uint8_t> pixels = {0, 5, 5, 1, 3, 9, 0, 0, 5, 5, 5, 5, 5, 5, 5, 5,
                                         1, 2, 3, 4, 5, 6, 7, 8, 9, 3, 0, 5, 0, 3, 9, 255};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto colours = rainbow();
        for (int k : c.keys) colours[size_t(k)] = MAGENTA;
        const uint16_t before = zk_nsprite_alloc;
        SpriteImage* im = toSprite(zk_make_gif(8, 4, colours, pixels));
        ASSERT_NE(im, nullptr);
        EXPECT_EQ((V{zk_nsprite_alloc, zk_sprite_alloc[before] == im}), (V{before + 1, 1}));
        EXPECT_EQ((V{im->depth, im->opaque, im->width, im->height}), (V{1, c.transparent < 0, 8, 4}));
        // Only the indices of the key and of entry 0 swap: every pixel shows
        // the colour it showed before, and the run list skips the key's.
        const int k = c.transparent;
        std::vector<uint8_t> want;
        std::vector<uint16_t> shown, wantShown;
        std::vector<bool> drawn;
        for (uint8_t p : pixels) {
            want.push_back(uint8_t(p == k ? 0 : p == 0 && k > 0 ? k : p));
            wantShown.push_back(rgb565(colours[p])), drawn.push_back(p != k);
        }
        EXPECT_EQ(bytes(im->pixels, 32), want);
        for (uint8_t p : bytes(im->pixels, 32)) shown.push_back(im->palette[p]);
        EXPECT_EQ(shown, wantShown);
        EXPECT_TRUE(k < 0 ? !im->runs && !im->lineOffsets : im->palette[0] == 0xF81F && readRuns(im) == drawn);
    }
    zk_cleanspritealloc();
    zk_cleanspritealloc();  // with no images it only sets the count
    EXPECT_EQ((V{zk_nsprite_alloc, zk_sprite_alloc[0] == nullptr}), (V{0, 1}));
}

TEST(GifToSprite, RunsAndTheirListKeepToTheirByteLimits) {
    Cleanup cleanup;
    auto colours = rainbow();
    colours[0] = MAGENTA;
    // A run of 256 pixels cannot be written as one byte: no image. An
    // opaque picture has no run list, so its width is free.
    std::vector<uint8_t> wide(300, 1);
    wide[0] = 0;
    EXPECT_EQ(toSprite(zk_make_gif(300, 1, colours, wide)), nullptr);
    EXPECT_NE(toSprite(zk_make_gif(300, 1, rainbow(), fill(300, 1))), nullptr);

    // Lines of 19 alternating pixels take 19 bytes: 3449 lines make the
    // longest list, 65,535 bytes with the closing ones; 3450 lines do not fit,
    // nor 3449 and a transparent line (1 byte).
    for (auto [lines, blank] : {std::pair{3449, 0}, {3450, 0}, {3449, 1}}) {
        std::vector<uint8_t> zebra(size_t(19 * (lines + blank)));
        for (size_t i = 0; i < size_t(19 * lines); ++i) zebra[i] = uint8_t((i % 19) & 1);
        const uint16_t count = zk_nsprite_alloc;
        SpriteImage* z = toSprite(zk_make_gif(19, lines + blank, colours, zebra));
        const bool fits = lines == 3449 && !blank;
        EXPECT_EQ((V{z != nullptr, zk_nsprite_alloc - count}), (V{fits, fits}));
        if (z) { EXPECT_EQ((V{z->lineOffsets[3448], int64_t(readRuns(z).size())}), (V{19 * 3448, 19 * 3449})); }
    }
}

TEST(GifToSprite, TheRegistryHolds1024Images) {
    Cleanup cleanup;
    const auto gif = zk_make_gif(1, 1, rainbow(2), fill(1, 1)), anim = zk_make_gif(1, 1, rainbow(2), {frame(1, 1, {1}, 10)});
    EXPECT_EQ(zk_test_run([&] {
        ZK_Init();
        ZK_LoadVectoBg(0);
        for (int i = 0; i < 1023; ++i) EXPECT_NE(ZK_GifToSprite(gif.data(), gif.size()), nullptr) << i;
        // The hook takes the last entry during the animation's wait: the animation keeps nothing.
        ZK_GifInfo.lastFrame = 100;
        zk_test_dovect = [&](uint8_t) { if (zk_nsprite_alloc < 1024) ZK_GifToSprite(gif.data(), gif.size()); };
        EXPECT_EQ(ZK_GifToSprite(anim.data(), anim.size()), nullptr);
        zk_test_dovect = nullptr;
        EXPECT_EQ(ZK_GifToSprite(gif.data(), gif.size()), nullptr);
        EXPECT_EQ(zk_nsprite_alloc, 1024);
        zk_cleanspritealloc();
        EXPECT_EQ(zk_sprite_alloc[1023], nullptr);
        return 0;
    }), 0);
}

// The playback record before any decode: every field 0 (read during start-up).
const GifInfo kGifStart = ZK_GifInfo;
TEST(GifDecode, PlaybackStartsAtZero) {
    EXPECT_EQ((V{kGifStart.firstFrame, kGifStart.lastFrame, kGifStart.frameCount, kGifStart.speed == 0.0f, kGifStart.state}),
              (V{0, 0, 0, 1, 0}));
}

TEST(GifDecode, InterlacedRowsLandInPassOrderFromTheImageTop) {
    Cleanup cleanup;
    // Stored line i is filled with the value i + 1, so each row shows when
    // it was decoded. The 3-pixel-wide image sits at (left, top) of a 6 x 12
    // screen, which cuts off what hangs over its right and bottom edges.
    struct Case { int rows, left, top; std::vector<int> order; /* the image row stored line i lands on */ } cases[] = {
        {10, 0, 0, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}}, {3, 0, 0, {0, 2, 1}}, {1, 0, 0, {0}}, {7, 1, 3, {0, 4, 2, 6, 1, 3, 5}},
        {7, 4, 8, {0, 4, 2, 6, 1, 3, 5}}, {2, 300, 0, {0, 1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows at " << c.left << ", " << c.top);
        ZkGifFrame f{c.left, c.top, 3, c.rows, true, {}, {}, -1};
        for (int i = 0; i < c.rows * 3; ++i) f.pixels.push_back(uint8_t(i / 3 + 1));
        SpriteImage* im = toSprite(zk_make_gif(6, 12, rainbow(16), {f}));
        ASSERT_NE(im, nullptr);
        std::vector<uint8_t> want(72);
        for (int i = 0; i < c.rows * 3; ++i) {
            const int x = c.left + i % 3, y = c.top + c.order[size_t(i / 3)];
            if (x < 6 && y < 12) want[size_t(y * 6 + x)] = uint8_t(i / 3 + 1);
        }
        EXPECT_EQ(bytes(im->pixels, want.size()), want);
    }
    // A line longer than the decoder's own 2,048-byte line buffer, cut by the screen.
    std::vector<uint8_t> wide(3000, 1);
    std::fill_n(wide.begin(), 6, 7);
    SpriteImage* im = toSprite(zk_make_gif(6, 1, rainbow(16), {frame(3000, 1, wide)}));
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(bytes(im->pixels, 6), fill(6, 7));
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
    // Entries 0-3 from map4, 4-15 from map16 when image A converted its
    // map; the decoder writes no other entry.
    auto palette = [&](bool fromA) {
        std::vector<uint16_t> p(256, 0xABCD);
        for (size_t i = 0; i < 16; ++i) p[i] = i < 4 ? rgb565(map4[i]) : fromA ? rgb565(map16[i]) : p[i];
        return p;
    };
    const struct { const char* name; int firstFrame; std::vector<ZkGifFrame> frames; std::vector<uint8_t> pixels;
                   std::vector<uint16_t> palette; } cases[] = {
        {"a local map, not the global one", 0, {b}, {0, 1, 2, 0, 0, 3, 0, 0}, palette(false)},
        {"both maps from frame 1 on", 1, {a, b}, {5, 1, 2, 5, 5, 3, 0, 5}, palette(true)},
        {"image A before frame 2 keeps the palette", 2, {a, b}, {5, 1, 2, 5, 5, 3, 0, 5}, palette(false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ZK_GifInfo.firstFrame = c.firstFrame, ZK_GifInfo.lastFrame = 100;
        const auto gif = zk_make_gif(4, 2, rainbow(16), c.frames);
        std::vector<uint16_t> palette(256, 0xABCD);
        std::vector<uint8_t> px(8);
        EXPECT_EQ(DecodeGif(gif.data(), gif.size(), px.data(), palette.data(), 0, 4, 2), ZK_GIF_DONE);
        EXPECT_EQ(px, c.pixels);
        EXPECT_EQ(palette, c.palette);
        // The loaders start from zeroed palettes, so the key cannot hide
        // above the colour count.
        SpriteImage* im = toSprite(gif);
        ASSERT_NE(im, nullptr);
        std::replace(palette.begin(), palette.end(), uint16_t(0xABCD), uint16_t(0));
        EXPECT_EQ(words(im->palette, 256), palette);
    }
}

TEST(GifDecode, DelaysPaceThroughTheFrameLoop) {
    Cleanup cleanup;
    auto squares = [](std::vector<int> delays) {
        std::vector<ZkGifFrame> f;
        for (size_t i = 0; i < delays.size(); ++i) f.push_back(frame(2, 2, fill(4, uint8_t(i + 1)), delays[i]));
        return zk_make_gif(2, 2, rainbow(4), f);
    };
    // A control block cut to 2 bytes (flags and the low byte of a delay of 10)
    // holds no delay. It follows the header (13 bytes) and the map (12).
    auto shortBlock = squares({10});
    shortBlock[25 + 2] = 2;
    shortBlock[25 + 5] = 0;  // the end of the block's data
    shortBlock.erase(shortBlock.begin() + 25 + 6, shortBlock.begin() + 25 + 8);
    // A delay in 1/100 s waits that many 1/60 s refreshes, rounded up. At
    // firstFrame = lastFrame = 0 the first wait refreshes once and stops the
    // decode before the image after it; graphic control blocks below
    // firstFrame do not wait.
    // want: refreshes, the image's pixel, frameCount, state.
    const struct { int firstFrame, lastFrame; std::vector<uint8_t> gif; V want; } cases[] = {
        {0, 100, squares({0}), {0, 1, 1, 1}}, {0, 100, squares({1}), {1, 1, 1, 1}}, {0, 100, squares({5}), {3, 1, 1, 1}},
        {0, 100, squares({10}), {6, 1, 1, 1}}, {0, 100, squares({100}), {60, 1, 1, 1}}, {0, 100, shortBlock, {0, 1, 1, 1}},
        {0, 0, squares({0, 10, 10}), {1, 1, 2, 0}}, {0, 1, squares({10, 10, 10}), {7, 1, 2, 0}},
        {2, 100, squares({0, 10, 10}), {6, 3, 3, 1}}};
    EXPECT_EQ(zk_test_run([&] {
        ZK_Init();
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "case " << &c - cases);
            ZK_GifInfo.firstFrame = c.firstFrame, ZK_GifInfo.lastFrame = c.lastFrame;
            const uint8_t before = zk_nfps;  // the frame loop's sample ring counts refreshes
            SpriteImage* im = ZK_GifToSprite(c.gif.data(), c.gif.size());
            EXPECT_NE(im, nullptr);  // a stop is a success too
            if (!im) continue;
            const uint8_t pixel = static_cast<const uint8_t*>(im->pixels)[0];
            EXPECT_EQ((V{(zk_nfps - before) & 63, pixel, ZK_GifInfo.frameCount, ZK_GifInfo.state, ZK_GifInfo.speed == 1.0f}),
                      (V{c.want[0], c.want[1], c.want[2], c.want[3], 1}));
        }
        return 0;
    }), 0);
}

TEST(GifLayers, WhatTheLayerHoldsWhenTheHookPausesStopsDeletesOrReloads) {
    Cleanup cleanup;
    // A 4 x 3 animation into layer 6, its palette keyed at entry 2: 1s, a
    // wait of 3 ticks, 3s, then 2s. A vector layer's hook acts at the first
    // refresh of the wait: it pauses (and at the third refresh resumes or
    // stops), deletes layer 6, loads it again from a still picture of 7s
    // under other colours without the key, or loads that still as a sprite.
    auto keyed = rainbow(16), other = rainbow(16);
    keyed[2] = MAGENTA;
    std::reverse(other.begin(), other.end());
    const auto still = zk_make_gif(4, 3, other, fill(12, 7));
    const auto anim = zk_make_gif(4, 3, keyed, {frame(4, 3, fill(12, 1)), frame(4, 3, fill(12, 3), 5),
                                                 frame(4, 3, fill(12, 2), 0)});
    enum Action { RESUME, STOP, DELETE, RELOAD, SPRITE };
    // value: every pixel of layer 6 afterwards, 0 for a free layer; after:
    // the refreshes, and ZK_GifInfo's frameCount and state afterwards.
    const struct { Action action; uint8_t value; V after; } cases[] = {
        {RESUME, 2, {5, 2, 1}}, {STOP, 1, {3, 1, 0}}, {DELETE, 0, {1, 1, 1}}, {RELOAD, 7, {1, 1, 1}}, {SPRITE, 2, {3, 2, 1}}};
    for (int depth : {1, 2})
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << ", action " << c.action);
            auto load = [depth](const std::vector<uint8_t>& g) {
                depth == 1 ? ZK_BgLoadGif(6, g.data(), g.size()) : ZK_BgLoadGif16bit(6, g.data(), g.size());
            };
            EXPECT_EQ(zk_test_run([&] {
                ZK_Init();
                ZK_LoadVectoBg(0);
                ZK_GifInfo.firstFrame = 0, ZK_GifInfo.lastFrame = 100;
                int calls = 0;
                zk_test_dovect = [&](uint8_t layer) {
                    if (layer != 0) return;
                    ++calls;
                    if (calls == 1 && c.action <= STOP) ZK_GifInfo.state = 2;
                    if (calls == 3 && c.action <= STOP) ZK_GifInfo.state = c.action == RESUME ? 1 : 0;
                    if (calls == 1 && c.action == DELETE) ZK_BgDelete(6);
                    if (calls == 1 && c.action == RELOAD) load(still);
                    if (calls == 1 && c.action == SPRITE) { EXPECT_NE(ZK_GifToSprite(still.data(), still.size()), nullptr); }
                };
                load(anim);
                zk_test_dovect = nullptr;
                EXPECT_EQ((V{calls, ZK_GifInfo.frameCount, ZK_GifInfo.state}), c.after);
                const BgLayer& bg = zk_bg[6];
                EXPECT_EQ((V{bg.used, bg.kind, bg.depth, bg.width, bg.height, bg.priority}), (V{c.value != 0, 3, depth, 4, 3, 6}));
                if (!c.value || !bg.used) return 0;
                // The GIF's own indices at 8 bits (no remapping), its colours at
                // 16; plain when the palette holds no key.
                const auto colours = c.value == 7 ? other : keyed;
                EXPECT_EQ(bg.plain, c.value == 7);
                std::vector<uint16_t> palette(256, 0);
                for (size_t i = 0; i < 16; ++i) palette[i] = rgb565(colours[i]);
                EXPECT_TRUE(depth == 2 ? words(bg.pixels, 12) == std::vector<uint16_t>(12, palette[c.value])
                                       : bytes(bg.pixels, 12) == fill(12, c.value) && words(bg.palette, 256) == palette);
                return 0;
            }), 0);
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
    // The first image descriptor follows the header (13 bytes), the map and
    // the graphic control block (8); the code size byte ends it, as the frame
    // has no map of its own.
    const size_t desc = 13 + 768 + 8, codeSize = desc + 10;
    ASSERT_EQ(base[desc], ',');

    // Which loaders take the data: the sprite loader, the 8-bit and the
    // 16-bit layer loader.
    enum : int { NONE = 0, SPRITE = 1, LAYER8 = 2, LAYER16 = 4, ALL = 7 };
    struct Case { const char* name; std::vector<uint8_t> data; int loads; };
    std::vector<Case> cases;
    for (size_t cut : {size_t(0), size_t(5), size_t(9), size_t(10), size_t(11), size_t(12), size_t(13), size_t(13 + 100), desc, desc + 4,
                       codeSize, codeSize + 1, codeSize + 40, base.size() - 1})
        cases.push_back({"cut short", {base.begin(), base.begin() + long(cut)}, NONE});
    auto add = [&](const char* name, int loads, auto edit) {
        auto d = base;
        edit(d);
        cases.push_back({name, d, loads});
    };
    using Data = std::vector<uint8_t>;
    add("unknown record type", NONE, [](Data& d) { d.back() = 0x55; });
    add("code size 9", NONE, [&](Data& d) { d[codeSize] = 9; });
    add("code size 12", NONE, [&](Data& d) { d[codeSize] = 12; });
    add("descriptor off the screen", ALL, [&](Data& d) { put16(d, desc + 1, 0xFFF0), put16(d, desc + 3, 0xFFF0); });
    add("descriptor wider than its data", NONE, [&](Data& d) { put16(d, desc + 5, 0xFFFF); });
    add("0 x 0 image", NONE, [&](Data& d) { put16(d, desc + 5, 0), put16(d, desc + 7, 0); });
    add("indices above the colour count", ALL, [](Data& d) {  // a map of 2 colours
        d[10] = uint8_t(d[10] & 0xF8);
        d.erase(d.begin() + 13 + 6, d.begin() + 13 + 768);
    });
    add("no colour map", ALL, [](Data& d) {
        d[10] = uint8_t(d[10] & 0x7F);
        d.erase(d.begin() + 13, d.begin() + 13 + 768);
    });
    add("0 x 16 screen", NONE, [](Data& d) { put16(d, 6, 0); });
    add("huge screen", NONE, [](Data& d) { put16(d, 6, 0xFFFF), put16(d, 8, 0xFFFF); });
    // A run over 255 pixels for a sprite; wider than LineBuf for 16 bits.
    add("3000 x 16 screen", LAYER8, [](Data& d) { put16(d, 6, 3000); });
    cases.push_back({"no map, no image", {'G', 'I', 'F', '8', '9', 'a', 16, 0, 16, 0, 0, 0, 0, ';'}, ALL});
    cases.push_back({"one row", zk_make_gif(16, 1, colours, std::vector<uint8_t>(px.begin(), px.begin() + 16)), ALL});
    cases.push_back({"not a GIF", {'N', 'O', 'T', 'G', 'I', 'F', 16, 0, 16, 0, 0, 0, 0, ';'}, NONE});
    // The first frame's data ends (end code) after 8 of the 16 rows.
    auto early = zk_make_gif(16, 16, colours, {frame(16, 8, std::vector<uint8_t>(px.begin(), px.begin() + 128), 0), two});
    put16(early, desc + 7, 16);  // laid out as the base
    cases.push_back({"end code too early", early, NONE});
    std::vector<ZkGifFrame> many(1025, frame(1, 1, {1}));
    cases.push_back({"more than 1024 images", zk_make_gif(1, 1, rainbow(2), many), NONE});
    // Without a key: the largest screen the loaders take, 2^22 pixels, and
    // one over it.
    for (auto [w, h, loads] : {std::tuple{2048, 2048, ALL}, {65, 64528, NONE}}) {
        auto d = zk_make_gif(16, 16, rainbow(), px);
        put16(d, 6, unsigned(w)), put16(d, 8, unsigned(h));
        cases.push_back({loads ? "2^22 pixels" : "2^22 + 16 pixels", d, loads});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(c.data.size()) + " bytes");
        const std::vector<uint8_t> gif = c.data;  // exactly sized, as toSprite's
        const uint16_t count = zk_nsprite_alloc;
        SpriteImage* im = ZK_GifToSprite(gif.data(), gif.size());
        // A made image is registered, whole and self-consistent.
        EXPECT_EQ((V{im != nullptr, zk_nsprite_alloc - count}), (V{c.loads & SPRITE, c.loads & SPRITE}));
        if (im) { EXPECT_EQ(im->palette[0] == 0xF81F, im->opaque == 0); }
        if (im && !im->opaque) { EXPECT_EQ(readRuns(im).size(), size_t(im->width) * size_t(im->height)); }
        // Layers in use before are free after a failed load.
        ZK_BgLoadGif(4, base.data(), base.size());
        ZK_BgLoadGif16bit(5, base.data(), base.size());
        ZK_BgLoadGif(4, gif.data(), gif.size());
        ZK_BgLoadGif16bit(5, gif.data(), gif.size());
        EXPECT_EQ((V{zk_bg[4].used, zk_bg[5].used}), (V{(c.loads & LAYER8) != 0, (c.loads & LAYER16) != 0}));
    }
}

TEST(QuitButton, FourFramesOfTheCutSquareWithTheirRuns) {
    const SpriteImage& q = zk_quit;
    EXPECT_EQ((V{q.depth, q.opaque, q.width, q.height, q.palette == nullptr}), (V{2, 0, 16, 64, 1}));
    const auto* px = static_cast<const uint16_t*>(q.pixels);
    auto margin = [](int y) { return y == 0 || y == 15 ? 8 : y == 1 || y == 14 ? 3 : y == 2 || y == 13 ? 2 : 1; };
    // The outline, and a run list that agrees with it: 176 counts and 4 0xFF.
    std::vector<bool> outline, keyed;
    for (int i = 0; i < 1024; ++i) {
        const int x = i % 16, m = margin(i / 16 % 16);
        outline.push_back(x >= m && x < 16 - m), keyed.push_back(px[i] != 0xF81F);
    }
    EXPECT_EQ(std::tuple(keyed, readRuns(&q), q.lineOffsets[63] + 1), std::tuple(outline, outline, 176));
    // The frames differ from each other (the button reacts).
    for (int f = 1; f < 4; ++f) EXPECT_NE(std::memcmp(px, px + f * 256, 512), 0) << f;
}
