// GIF decoding into sprite images and layers, the run lists, animation
// pacing, the quit button, and every way bad data must end cleanly.
#include <gtest/gtest.h>

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
    Exact(const std::vector<uint8_t>& v, size_t n) : bytes(new uint8_t[n ? n : 1]), size(n) {
        if (n && !v.empty()) std::memcpy(bytes.get(), v.data(), std::min(n, v.size()));
    }
    explicit Exact(const std::vector<uint8_t>& v) : Exact(v, v.size()) {}
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
            if (x > 0 || opaque) {
                EXPECT_GT(n, 0) << "line " << y;
            }
            for (int i = 0; i < n; ++i) drawn.push_back(opaque);
            x += n;
        }
        EXPECT_EQ(x, im->width) << "line " << y;
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(im->runs[p + size_t(i)], 0xFF);
    return drawn;
}

std::vector<uint8_t> fill(size_t n, uint8_t v) { return std::vector<uint8_t>(n, v); }

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
        const Exact gif(zk_make_gif(8, 4, colours, pixels));
        const uint16_t before = zk_nsprite_alloc;
        SpriteImage* im = ZK_GifToSprite(gif.bytes.get(), gif.size);
        ASSERT_NE(im, nullptr);
        EXPECT_EQ(zk_nsprite_alloc, before + 1);
        EXPECT_EQ(zk_sprite_alloc[before], im);
        EXPECT_EQ(im->depth, 1);
        EXPECT_EQ(im->width, 8);
        EXPECT_EQ(im->height, 4);
        const auto* px = static_cast<const uint8_t*>(im->pixels);
        if (c.transparent < 0) {
            EXPECT_EQ(im->opaque, 1);
            EXPECT_EQ(im->runs, nullptr);
            EXPECT_EQ(im->lineOffsets, nullptr);
            for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(px[i], pixels[i]);
            continue;
        }
        EXPECT_EQ(im->opaque, 0);
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
    zk_cleanspritealloc();
    EXPECT_EQ(zk_nsprite_alloc, 0);
    EXPECT_EQ(zk_sprite_alloc[0], nullptr);
    zk_cleanspritealloc();  // with no images it only sets the count
    EXPECT_EQ(zk_nsprite_alloc, 0);
}

TEST(GifToSprite, SixteenColoursLeaveTheRestOfThePaletteAlone) {
    Cleanup cleanup;
    auto colours = rainbow(16);
    const auto bytes = zk_make_gif(4, 4, colours, fill(16, 7));
    // The decoder itself writes entries 0..15 only ...
    uint16_t palette[256];
    std::fill(palette, palette + 256, 0xABCD);
    uint8_t pixels[16] = {};
    EXPECT_EQ(DecodeGif(bytes.data(), bytes.size(), pixels, palette, 0, 4, 4), 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(palette[i], rgb565(colours[size_t(i)]));
    for (int i = 16; i < 256; ++i) ASSERT_EQ(palette[i], 0xABCD) << i;
    // ... and the loaders start from zeroed palettes, so the key cannot hide
    // above the colour count.
    SpriteImage* im = ZK_GifToSprite(bytes.data(), bytes.size());
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(im->opaque, 1);
    for (int i = 16; i < 256; ++i) ASSERT_EQ(im->palette[i], 0) << i;
    ZK_BgLoadGif(3, bytes.data(), bytes.size());
    for (int i = 16; i < 256; ++i) ASSERT_EQ(zk_bg[3].palette[i], 0) << i;
    EXPECT_EQ(zk_bg[3].plain, 1);
}

TEST(GifToSprite, FullWidthLinesAndRunLimits) {
    Cleanup cleanup;
    auto colours = rainbow();
    colours[0] = MAGENTA;
    // 240 wide: an opaque line is 00 F0, a transparent one F0.
    std::vector<uint8_t> px(480, 1);
    std::fill(px.begin() + 240, px.end(), 0);
    const Exact line240(zk_make_gif(240, 2, colours, px));
    SpriteImage* im = ZK_GifToSprite(line240.bytes.get(), line240.size);
    ASSERT_NE(im, nullptr);
    const uint8_t want[] = {0x00, 0xF0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(im->runs, want, sizeof want), 0);
    EXPECT_EQ(im->lineOffsets[0], 0);
    EXPECT_EQ(im->lineOffsets[1], 2);

    // A run of 256 pixels cannot be written as one byte: no image.
    std::vector<uint8_t> wide(300, 1);
    wide[0] = 0;
    const auto longRun = zk_make_gif(300, 1, colours, wide);
    EXPECT_EQ(ZK_GifToSprite(longRun.data(), longRun.size()), nullptr);
    // An opaque picture has no run list, so its width is free.
    auto noKey = rainbow();
    const auto opaqueWide = zk_make_gif(300, 1, noKey, fill(300, 1));
    EXPECT_NE(ZK_GifToSprite(opaqueWide.data(), opaqueWide.size()), nullptr);

    // Lines of 255 alternating pixels take 255 bytes: 256 lines fit in the
    // 65,536-byte limit with the closing bytes, 257 do not.
    for (int lines : {256, 257}) {
        std::vector<uint8_t> zebra(size_t(255 * lines));
        for (size_t i = 0; i < zebra.size(); ++i) zebra[i] = uint8_t((i % 255) & 1);
        const uint16_t count = zk_nsprite_alloc;
        const auto gif = zk_make_gif(255, lines, colours, zebra);
        SpriteImage* z = ZK_GifToSprite(gif.data(), gif.size());
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
    zk_cleanspritealloc();
    EXPECT_EQ(zk_nsprite_alloc, 0);
}

TEST(GifDecode, InterlacedRowsLandInPassOrder) {
    Cleanup cleanup;
    // Stored line i is filled with the value i, so each row shows when it
    // was decoded.
    struct Case {
        int rows;
        std::vector<int> order;  // the row that stored line i lands on
    } cases[] = {{10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}}, {3, {0, 2, 1}}, {1, {0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        ZkGifFrame f;
        f.width = 3;
        f.height = c.rows;
        f.interlace = true;
        for (int i = 0; i < c.rows; ++i)
            for (int x = 0; x < 3; ++x) f.pixels.push_back(uint8_t(i + 1));
        const Exact gif(zk_make_gif(3, c.rows, rainbow(16), {f}));
        SpriteImage* im = ZK_GifToSprite(gif.bytes.get(), gif.size);
        ASSERT_NE(im, nullptr);
        const auto* px = static_cast<const uint8_t*>(im->pixels);
        for (int i = 0; i < c.rows; ++i)
            for (int x = 0; x < 3; ++x) EXPECT_EQ(px[c.order[size_t(i)] * 3 + x], i + 1) << "line " << i;
    }
}

TEST(GifDecode, FramesAreClippedToTheScreenAndCapped) {
    Cleanup cleanup;
    // Frames at their own places; the second hangs off the right and
    // bottom of the 8 x 6 screen and the third lies wholly outside it.
    ZkGifFrame a, b, off;
    a.left = 1, a.top = 1, a.width = 2, a.height = 2, a.pixels = fill(4, 3);
    b.width = 5, b.height = 4, b.pixels = fill(20, 4);
    off.width = 4, off.height = 4, off.pixels = fill(16, 5);
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
        EXPECT_EQ(DecodeGif(gif.bytes.get(), gif.size, dest.get(), palette.data(), uint8_t(to16), 8, 6), 0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const int want = (x >= 5 && y >= 4) ? 4 : (x >= 1 && x <= 2 && y >= 1 && y <= 2) ? 3 : 0;
                const int got = to16 ? reinterpret_cast<uint16_t*>(dest.get())[y * 8 + x]
                                     : dest[size_t(y * 8 + x)];
                EXPECT_EQ(got, to16 ? (want ? rgb565(rainbow()[size_t(want)]) : 0) : want) << x << "," << y;
            }
    }

    // More frames than the cap: the decode stops after ZK_GIF_MAX_FRAMES.
    std::vector<ZkGifFrame> many(ZK_GIF_MAX_FRAMES + 40);
    for (size_t i = 0; i < many.size(); ++i) {
        many[i].width = many[i].height = 1;
        many[i].pixels = {uint8_t(i & 0xFF)};
    }
    const auto capped = zk_make_gif(1, 1, rainbow(), many);
    uint8_t pixel = 0;
    uint16_t palette[256];
    DecodeGif(capped.data(), capped.size(), &pixel, palette, 0, 1, 1);
    EXPECT_EQ(pixel, (ZK_GIF_MAX_FRAMES - 1) & 0xFF);
}

TEST(GifDecode, DelaysPaceThroughTheFrameLoop) {
    Cleanup cleanup;
    auto frame = [](int delay, uint8_t value) {
        ZkGifFrame f;
        f.width = f.height = 2;
        f.pixels = fill(4, value);
        f.delay = delay;
        return f;
    };
    const int rc = zk_test_run([&] {
        ZK_Init();
        // delay in 1/100 s -> refreshes of 1/60 s (rounded up by the loop)
        const struct {
            int delay;
            int refreshes;
        } cases[] = {{0, 0}, {1, 1}, {5, 3}, {10, 6}, {100, 60}};
        for (const auto& c : cases) {
            SCOPED_TRACE(c.delay);
            ZK_GifInfo.firstFrame = 0;
            ZK_GifInfo.lastFrame = 100;
            const auto gif = zk_make_gif(2, 2, rainbow(4), {frame(c.delay, 2)});
            const uint8_t before = zk_nfps;
            SpriteImage* im = ZK_GifToSprite(gif.data(), gif.size());
            if (!im) return 1;
            EXPECT_EQ((zk_nfps - before) & 63, c.refreshes);  // the sample ring index counts refreshes
            EXPECT_EQ(static_cast<uint8_t*>(im->pixels)[3], 2);
            EXPECT_EQ(ZK_GifInfo.frameCount, 1);
            EXPECT_EQ(ZK_GifInfo.state, 1);
            EXPECT_EQ(ZK_GifInfo.speed, 1.0f);
        }
        // At firstFrame = lastFrame = 0 the first wait refreshes once and
        // ends the decode before the image after it.
        ZK_GifInfo.firstFrame = ZK_GifInfo.lastFrame = 0;
        const auto gif = zk_make_gif(2, 2, rainbow(4), {frame(0, 1), frame(10, 2), frame(10, 3)});
        const uint8_t before = zk_nfps;
        SpriteImage* im = ZK_GifToSprite(gif.data(), gif.size());
        EXPECT_EQ((zk_nfps - before) & 63, 1);
        EXPECT_EQ(static_cast<uint8_t*>(im->pixels)[0], 1);
        EXPECT_EQ(ZK_GifInfo.state, 0);
        EXPECT_EQ(ZK_GifInfo.frameCount, 2);
        // Graphic control blocks below firstFrame do not wait.
        ZK_GifInfo.firstFrame = 2;
        ZK_GifInfo.lastFrame = 100;
        const uint8_t before2 = zk_nfps;
        im = ZK_GifToSprite(gif.data(), gif.size());
        EXPECT_EQ((zk_nfps - before2) & 63, 6);
        EXPECT_EQ(static_cast<uint8_t*>(im->pixels)[0], 3);

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
            const auto paced = zk_make_gif(2, 2, rainbow(4), {frame(5, 3)});
            const uint8_t from = zk_nfps;
            im = ZK_GifToSprite(paced.data(), paced.size());
            EXPECT_EQ((zk_nfps - from) & 63, resume ? 5 : 3);
            EXPECT_EQ(static_cast<uint8_t*>(im->pixels)[0], resume ? 3 : 0);
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
    EXPECT_EQ(bg.used, 1);
    EXPECT_EQ(bg.kind, 3);
    EXPECT_EQ(bg.depth, 1);
    EXPECT_EQ(bg.width, 3);
    EXPECT_EQ(bg.height, 2);
    EXPECT_EQ(bg.priority, 10);
    EXPECT_EQ(bg.plain, 0);
    EXPECT_EQ(std::memcmp(bg.pixels, px.data(), 6), 0);  // no remapping
    EXPECT_EQ(bg.palette[2], 0xF81F);
    ZK_BgLoadGif(10, opaque.data(), opaque.size());
    EXPECT_EQ(bg.plain, 1);

    ZK_BgLoadGif16bit(11, keyed.data(), keyed.size());
    const BgLayer& b16 = zk_bg[11];
    EXPECT_EQ(b16.depth, 2);
    EXPECT_EQ(b16.palette, nullptr);
    EXPECT_EQ(b16.plain, 0);
    const auto* p16 = static_cast<const uint16_t*>(b16.pixels);
    for (size_t i = 0; i < px.size(); ++i) EXPECT_EQ(p16[i], rgb565(colours[px[i]]));
    EXPECT_EQ(zk_gif_pal[2], 0xF81F);
    ZK_BgLoadGif16bit(11, opaque.data(), opaque.size());
    EXPECT_EQ(b16.plain, 1);
}

TEST(GifBadInput, EveryLoaderEndsCleanly) {
    Cleanup cleanup;
    // A base picture: two 16 x 16 frames over a 256-colour map, the first
    // with a graphic control block of delay 0.
    auto colours = rainbow();
    colours[0] = MAGENTA;
    std::vector<uint8_t> px(256);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 7);
    ZkGifFrame one, two;
    one.width = one.height = two.width = two.height = 16;
    one.pixels = px;
    one.delay = 0;
    two.pixels = fill(256, 9);
    const auto base = zk_make_gif(16, 16, colours, {one, two});
    ASSERT_FALSE(base.empty());
    const size_t desc = zk_gif_descriptor_at(base, 0);
    const size_t codeSize = zk_gif_code_size_at(base, 0);

    enum Want { NONE, IMAGE, EITHER };
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        Want want;
    };
    std::vector<Case> cases;
    for (size_t cut : {size_t(0), size_t(5), size_t(9), size_t(12), size_t(13 + 100)})
        cases.push_back({"cut in the header or map", {base.begin(), base.begin() + long(cut)}, NONE});
    for (size_t cut : {desc, desc + 4, codeSize, codeSize + 1, codeSize + 40, base.size() - 1})
        cases.push_back({"cut in the images", {base.begin(), base.begin() + long(cut)}, IMAGE});
    {
        auto d = base;
        d.back() = 0x55;
        cases.push_back({"unknown record type", d, IMAGE});
    }
    {
        auto d = base;
        d[codeSize] = 9;
        cases.push_back({"code size 9", d, IMAGE});
        d[codeSize] = 12;
        cases.push_back({"code size 12", d, IMAGE});
    }
    {
        // The first frame's data ends (end code) after 8 of the 16 rows.
        ZkGifFrame half = one;
        half.height = 8;
        half.pixels.resize(128);
        auto d = zk_make_gif(16, 16, colours, {half, two});
        zk_gif_put16(d, zk_gif_descriptor_at(d, 0) + 7, 16);
        cases.push_back({"end code too early", d, IMAGE});
    }
    {
        auto d = base;
        zk_gif_put16(d, desc + 1, 0xFFF0);
        zk_gif_put16(d, desc + 3, 0xFFF0);
        cases.push_back({"descriptor off the screen", d, IMAGE});
        d = base;
        zk_gif_put16(d, desc + 5, 0xFFFF);  // 65535 wide, clipped to 16
        cases.push_back({"descriptor wider than the screen", d, IMAGE});
        d = base;
        zk_gif_put16(d, desc + 5, 0);
        zk_gif_put16(d, desc + 7, 0);
        cases.push_back({"0 x 0 image", d, IMAGE});
    }
    {
        auto d = base;
        zk_gif_shrink_global_map(d, 0);  // 2 colours, pixels up to 255
        cases.push_back({"indices above the colour count", d, IMAGE});
        d = base;
        zk_gif_shrink_global_map(d, -1);
        cases.push_back({"no colour map", d, IMAGE});
    }
    {
        auto d = base;
        zk_gif_put16(d, 6, 0);
        cases.push_back({"0 x 16 screen", d, NONE});
        d = base;
        zk_gif_put16(d, 6, 0xFFFF);
        zk_gif_put16(d, 8, 0xFFFF);
        cases.push_back({"huge screen", d, NONE});
        d = base;
        zk_gif_put16(d, 6, 3000);
        zk_gif_put16(d, 8, 1);
        cases.push_back({"3000 x 1 screen", d, EITHER});
    }
    {
        std::vector<uint8_t> d(base.begin(), base.begin() + 6);
        cases.push_back({"header only", d, NONE});
        d = {'G', 'I', 'F', '8', '9', 'a', 16, 0, 16, 0, 0, 0, 0, ';'};
        cases.push_back({"no map, no image", d, IMAGE});
        d = {'N', 'O', 'T', 'G', 'I', 'F', 16, 0, 16, 0, 0, 0, 0, ';'};
        cases.push_back({"not a GIF", d, NONE});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(c.data.size()) + " bytes");
        const Exact gif(c.data);
        SpriteImage* im = ZK_GifToSprite(gif.bytes.get(), gif.size);
        if (c.want == NONE) {
            EXPECT_EQ(im, nullptr);
        } else if (c.want == IMAGE) {
            EXPECT_NE(im, nullptr);
        }
        if (im) {
            // Whatever was decoded, the image is whole and self-consistent.
            EXPECT_EQ(im->palette[0] == 0xF81F, im->opaque == 0);
            if (!im->opaque) {
                EXPECT_EQ(readRuns(im).size(), size_t(im->width) * size_t(im->height));
            }
        }
        ZK_BgLoadGif(4, gif.bytes.get(), gif.size);
        EXPECT_EQ(zk_bg[4].used, c.want == NONE ? 0 : 1);
        ZK_BgLoadGif16bit(5, gif.bytes.get(), gif.size);
        if (c.want == NONE) {
            EXPECT_EQ(zk_bg[5].used, 0);
        }
    }
    // A 16-bit layer is at most 2048 pixels wide (its line buffer); an
    // 8-bit one may be wider.
    auto wide = base;
    zk_gif_put16(wide, 6, 3000);
    ZK_BgLoadGif16bit(5, wide.data(), wide.size());
    EXPECT_EQ(zk_bg[5].used, 0);
    ZK_BgLoadGif(4, wide.data(), wide.size());
    EXPECT_EQ(zk_bg[4].used, 1);
    EXPECT_EQ(zk_bg[4].width, 3000);
    EXPECT_EQ(static_cast<uint8_t*>(zk_bg[4].pixels)[3000 * 15 + 15], 9);  // the second frame's last pixel
}

TEST(QuitButton, FourFramesOfTheCutSquareWithTheirRuns) {
    const SpriteImage& q = zk_quit;
    EXPECT_EQ(q.depth, 2);
    EXPECT_EQ(q.opaque, 0);
    EXPECT_EQ(q.width, 16);
    EXPECT_EQ(q.height, 64);
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
