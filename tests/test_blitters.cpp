// The copy and letter blitters against plain per-pixel reference loops, over
// random images, positions, clip windows, sprite clip rectangles, opacities,
// mirror flags and run lists, plus the worked cases of each routine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ZKlib.h"
#include "zk_blend.h"
#include "zk_blit.h"

namespace {

// ---------------------------------------------------------------- reference pieces
// The blend exactly as its recipe reads, for any alpha (wrap-around included).
uint16_t ref_blend(uint16_t s, uint16_t d, int alpha) {
    auto spread = [](uint16_t c) { return (uint32_t(c) | (uint32_t(c) << 16)) & 0x07E0F81Fu; };
    const uint32_t es = spread(s), ed = spread(d);
    uint32_t t = ed + (((es - ed) * uint32_t(alpha)) >> 5);
    t &= 0x07E0F81Fu;
    return uint16_t(t | (t >> 16));
}

struct Rect {
    int64_t fc, fr, ec, er;
};

// The visible source rectangle: window (met with the screen), then the
// current sprite's clip rectangle.
Rect ref_clip(int64_t x, int64_t y, int64_t w, int64_t h) {
    const ClipWindow& win = zk_window[zk_curwindow];
    const int64_t left = std::max<int64_t>(win.left, 0), top = std::max<int64_t>(win.top, 0);
    const int64_t right = std::min<int64_t>(win.right, 239), bottom = std::min<int64_t>(win.bottom, 319);
    Rect r{x < left ? left - x : 0, y < top ? top - y : 0, x + w > right ? right - x + 1 : w,
           y + h > bottom ? bottom - y + 1 : h};
    if (zk_cursprite != -1) {
        const Sprite* s = zk_sprites[zk_cursprite];
        r = {std::max<int64_t>(r.fc, s->clipLeft), std::max<int64_t>(r.fr, s->clipTop),
             std::min<int64_t>(r.ec, s->clipRight + 1), std::min<int64_t>(r.er, s->clipBottom + 1)};
    }
    return r;
}

void ref_put(uint16_t* buf, int64_t x, int64_t y, uint16_t colour, int alpha) {
    uint16_t& d = buf[y * 240 + x];
    d = alpha == 32 ? colour : ref_blend(colour, d, alpha);
}

// Which pixels of each line are opaque, read from the run list as its format
// describes; a run that reaches past the width is cut at the width.
std::vector<bool> ref_decode_line(const uint8_t* runs, int w) {
    std::vector<bool> opaque(size_t(w), false);
    for (int x = *runs++; x < w; x += *runs++) {
        for (int i = 0, n = *runs++; i < n; ++i, ++x)
            if (x < w) opaque[size_t(x)] = true;
        if (x >= w) break;
    }
    return opaque;
}

// Source colour of (c, r) for a 16-bit or an 8-bit image.
struct Image {
    int w = 0, h = 0;
    std::vector<uint16_t> p16;
    std::vector<uint8_t> p8;
    std::vector<uint16_t> palette;
    std::vector<uint8_t> runs;
    std::vector<uint16_t> lineOffsets;
    uint16_t colour(bool eight, int64_t c, int64_t r) const {
        return eight ? palette[p8[size_t(r * w + c)]] : p16[size_t(r * w + c)];
    }
    bool keyed(bool eight, int64_t c, int64_t r) const { return eight ? p8[size_t(r * w + c)] == 0 : p16[size_t(r * w + c)] == 0xF81F; }
};

// Builds the run list of an image from its transparency: per line
// transparent, opaque, transparent, ... counts starting with a transparent
// one, the list closed by four 0xFF bytes. With overrun, a caller's mistake:
// each line's last count reaches past the width.
void build_runs(Image& im, const std::vector<bool>& transparent, int overrun = 0) {
    im.runs.clear();
    im.lineOffsets.clear();
    for (int r = 0; r < im.h; ++r) {
        im.lineOffsets.push_back(uint16_t(im.runs.size()));
        for (int c = 0; c < im.w;)
            for (bool opaque : {false, true}) {  // a transparent count, then an opaque one
                int n = 0;
                for (; c < im.w && transparent[size_t(r * im.w + c)] != opaque; ++c) ++n;
                im.runs.push_back(uint8_t(n));
                if (c >= im.w) break;
            }
        im.runs.back() = uint8_t(std::min(im.runs.back() + overrun, 255));
    }
    for (int i = 0; i < 4; ++i) im.runs.push_back(0xFF);
}

// ---------------------------------------------------------------- reference routines
void ref_fast(uint16_t* buf, const Image& im, bool eight, int x, int y, int alpha) {
    if (alpha <= 0) return;
    const Rect r = ref_clip(x, y, im.w, im.h);
    for (int64_t row = r.fr; row < r.er; ++row)
        for (int64_t c = r.fc; c < r.ec; ++c)
            ref_put(buf, x + c, y + row, im.colour(eight, c, row), alpha);
}

void ref_rle(uint16_t* buf, const Image& im, bool eight, int x, int y, int alpha) {
    const Rect r = ref_clip(x, y, im.w, im.h);
    for (int64_t row = r.fr; row < r.er; ++row) {
        const std::vector<bool> opaque = ref_decode_line(im.runs.data() + im.lineOffsets[size_t(row)], im.w);
        for (int64_t c = r.fc; c < r.ec; ++c)
            if (opaque[size_t(c)]) ref_put(buf, x + c, y + row, im.colour(eight, c, row), alpha);
    }
}

void ref_toscreen(uint16_t* buf, const Image& im, bool eight, int x, int y, int alpha, bool fx, bool fy) {
    if (alpha <= 0) return;
    const Rect r = ref_clip(x, y, im.w, im.h);
    for (int64_t row = r.fr; row < r.er; ++row)
        for (int64_t c = r.fc; c < r.ec; ++c) {
            const int64_t sc = fx ? r.fc + r.ec - 1 - c : c, sr = fy ? r.fr + r.er - 1 - row : row;
            if (!im.keyed(eight, sc, sr)) ref_put(buf, x + c, y + row, im.colour(eight, sc, sr), alpha);
        }
}

void ref_letter(uint16_t* buf, const uint16_t* colours, const uint16_t* masks, int w, int h, int x, int y,
                int alpha) {
    const Rect r = ref_clip(x, y, w, h);
    for (int64_t row = r.fr; row < r.er; ++row)
        for (int64_t c = r.fc; c < r.ec; ++c) {
            const uint16_t m = masks[row * w + c], k = colours[row * w + c];
            uint16_t& d = buf[(y + row) * 240 + x + c];
            if (alpha == 32 || m != 0) d = alpha == 32 ? uint16_t((d & ~m) | (k & m)) : ref_blend(k, d, alpha);
        }
}

// ---------------------------------------------------------------- fixture
class Blitters : public ::testing::Test {
protected:
    void SetUp() override {
        zk_window[0] = {0, 0, 239, 319};
        zk_curwindow = 0, zk_cursprite = -1;
        std::memset(zk_buffer, 0, sizeof zk_buffer);
    }
    void TearDown() override {
        if (sprite_ != nullptr) {
            zk_sprites[kSlot] = nullptr;
            std::free(sprite_);
        }
        zk_cursprite = -1, zk_curwindow = 0;
        for (int i = 1; i < 16; ++i) zk_window[i] = {0, 0, 0, 0};
    }
    // A hand-made sprite record whose clip rectangle the blitters apply.
    void use_sprite_clip(int l, int t, int r, int b) {
        if (sprite_ == nullptr) {
            sprite_ = static_cast<Sprite*>(std::calloc(1, sizeof(Sprite)));
            zk_sprites[kSlot] = sprite_;
        }
        sprite_->clipLeft = uint8_t(l), sprite_->clipTop = uint8_t(t);
        sprite_->clipRight = uint8_t(r), sprite_->clipBottom = uint8_t(b);
        zk_cursprite = kSlot;
    }
    void compare_with_reference(unsigned seed);
    static constexpr int kSlot = 77;
    Sprite* sprite_ = nullptr;
};

uint16_t at(int x, int y) { return zk_buffer[y * 240 + x]; }

Image random_image(std::mt19937& rng, int w, int h, int transparentPercent) {
    Image im;
    im.w = w, im.h = h;
    im.palette.resize(256);
    for (auto& c : im.palette) c = uint16_t(rng());
    im.palette[0] = uint16_t(rng() & 1 ? 0xF81F : rng());
    std::vector<bool> transparent(size_t(w * h));
    im.p16.resize(size_t(w * h));
    im.p8.resize(size_t(w * h));
    for (size_t i = 0; i < transparent.size(); ++i) {
        transparent[i] = int(rng() % 100) < transparentPercent;
        im.p16[i] = transparent[i] ? uint16_t(0xF81F) : uint16_t(rng());
        if (!transparent[i] && im.p16[i] == 0xF81F) im.p16[i] = 0xF81E;
        im.p8[i] = transparent[i] ? uint8_t(0) : uint8_t(1 + rng() % 255);
    }
    build_runs(im, transparent, rng() % 8 == 0 ? int(1 + rng() % 40) : 0);
    return im;
}

int random_coord(std::mt19937& rng, int size, int screen) {
    switch (rng() % 8) {
        case 0: return -100000 - int(rng() % 1000);
        case 1: return 100000 + int(rng() % 1000);
        case 2: return -size - int(rng() % 4);            // just off the low side
        case 3: return screen + int(rng() % 4) - 2;       // at the high edge
        case 4: return -int(rng() % (size + 1));          // partly off the low side
        case 5: return screen - int(rng() % (size + 1));  // partly off the high side
        default: return int(rng() % (screen + 20)) - 10;
    }
}

// One random clip setting: window 0 or another, sometimes a sprite clip.
template <class F>
void random_clip(std::mt19937& rng, F&& sprite_clip) {
    zk_cursprite = -1;
    if (rng() % 3 == 0) {
        zk_curwindow = 0;
    } else {
        const int n = 1 + int(rng() % 15);
        int l = int(rng() % 240), r = int(rng() % 240), t = int(rng() % 320), b = int(rng() % 320);
        if (rng() % 8 != 0) {  // mostly well-formed, sometimes inverted
            if (l > r) std::swap(l, r);
            if (t > b) std::swap(t, b);
        }
        ZK_SetWindowLimits(n, l, t, r, b);
        zk_curwindow = uint8_t(n);
    }
    if (rng() % 4 == 0) sprite_clip(int(rng() % 64), int(rng() % 64), int(rng() % 64), int(rng() % 64));
}

int random_alpha(std::mt19937& rng) {
    const int v = int(rng() % 40);
    return v < 34 ? v : v < 37 ? 32 : v == 37 ? -1 : 16;  // 0..33, opaque more often, -1, half
}

}  // namespace

// ---------------------------------------------------------------- the blend
TEST(Blend, MatchesThePerChannelRuleForEveryValueAndAlpha) {
    // Per channel: d + floor((s - d) * alpha / 32). Channels are independent,
    // so every pair of channel values is tried in one channel with the other
    // two set to varied values.
    struct Channel {
        int shift, bits;
    } channels[] = {{11, 5}, {5, 6}, {0, 5}};
    int failures = 0;
    for (const Channel& ch : channels) {
        const int top = (1 << ch.bits) - 1;
        for (int s = 0; s <= top; ++s)
            for (int d = 0; d <= top; ++d)
                for (int a = 0; a <= 32; ++a) {
                    const uint16_t other = uint16_t((s * 7 + d * 13 + a) * 0x1357);
                    const uint16_t keep = uint16_t(~(top << ch.shift));
                    const uint16_t sc = uint16_t((other & keep) | (s << ch.shift));
                    const uint16_t dc = uint16_t((~other & keep) | (d << ch.shift));
                    const int diff = s - d;
                    const int expect = d + (diff * a >= 0 ? diff * a / 32 : -((-diff * a + 31) / 32));
                    const int got = (zk_blend(sc, dc, uint32_t(a)) >> ch.shift) & top;
                    if (got != expect && ++failures < 5)
                        ADD_FAILURE() << "shift " << ch.shift << " s " << s << " d " << d << " a " << a << " got "
                                      << got << " want " << expect;
                    if (zk_blend(sc, dc, uint32_t(a)) != ref_blend(sc, dc, a) && ++failures < 5)
                        ADD_FAILURE() << "recipe differs";
                }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(zk_blend(0xFFFF, 0x0000, 16), 0x7BEF);  // red 15, green 31, blue 15
    EXPECT_EQ(zk_blend(0x0000, 0xFFFF, 16), 0x7BEF);
}

// ---------------------------------------------------------------- clipping
TEST_F(Blitters, ClipLimitsOfTheWorkedCases) {
    struct Case {
        int x, y, w, h;
        int spriteClip[4];  // -1: no sprite
        int fc, fr, ec, er;
    } cases[] = {
        {-5, 0, 16, 16, {-1}, 5, 0, 16, 16},           // cut on the left
        {224, 304, 16, 16, {-1}, 0, 0, 16, 16},        // right edge exactly at the window edge
        {230, 310, 16, 16, {-1}, 0, 0, 10, 10},        // cut on the right and bottom
        {10, 10, 16, 16, {2, 2, 5, 5}, 2, 2, 6, 6},    // sprite clip rectangle
        {0, -10, 240, 320, {-1}, 0, 10, 240, 320},     // full width, above the top
        {-40000, 0, 16, 16, {-1}, 32767, 0, 16, 16},   // far left: empty, no 16-bit wrap
        {40000, 40000, 16, 16, {-1}, 0, 0, -32768, -32768},
    };
    for (const Case& c : cases) {
        zk_cursprite = -1;
        if (c.spriteClip[0] >= 0) use_sprite_clip(c.spriteClip[0], c.spriteClip[1], c.spriteClip[2], c.spriteClip[3]);
        ZK_AdjustCopyLimits(c.x, c.y, c.w, c.h);
        const CopyLimits& l = zk_limits;
        EXPECT_EQ((std::vector<int>{l.firstColumn, l.firstRow, l.endColumn, l.endRow}),
                  (std::vector<int>{c.fc, c.fr, c.ec, c.er}))
            << c.x << "," << c.y;
    }
}

// ---------------------------------------------------------------- random comparison
TEST_F(Blitters, EveryRoutineMatchesTheReferenceLoopPixelForPixel) {
    // Every build of the vector loops that the processor runs.
    const int top = zk_blit_level;
    for (int level = 0; level <= top; ++level) {
        zk_blit_level = level;
        SCOPED_TRACE("build level " + std::to_string(level));
        compare_with_reference(12345u + 1000u * unsigned(level));
    }
    zk_blit_level = top;
}

void Blitters::compare_with_reference(unsigned seed) {
    std::mt19937 rng(seed);
    static uint16_t ref[240 * 320];
    for (auto& p : zk_buffer) p = uint16_t(rng());
    auto sprite_clip = [&](int l, int t, int r, int b) { use_sprite_clip(l, t, r, b); };
    int mismatches = 0;
    for (int iter = 0; iter < 1200 && mismatches < 5; ++iter) {
        int w, h;
        const int shape = int(rng() % 6);
        switch (shape) {
            // The block copy's case, and wider images at x = 0 (as a layer
            // draws them), which it must not take.
            case 0: w = 240 + (rng() % 2 ? int(rng() % 60) : 0), h = 1 + int(rng() % (rng() % 16 == 0 ? 330 : 24)); break;
            case 1: w = 1 + int(rng() % 255), h = 1 + int(rng() % 8); break;  // wide
            default: w = 1 + int(rng() % 40), h = 1 + int(rng() % 40); break;
        }
        const Image im = random_image(rng, w, h, int(rng() % 101));
        const int x = shape == 0 && rng() % 2 ? 0 : random_coord(rng, w, 240), y = random_coord(rng, h, 320);
        random_clip(rng, sprite_clip);
        int alpha = random_alpha(rng);
        if (shape == 0 && rng() % 2) zk_curwindow = 0, zk_cursprite = -1, alpha = 32;  // the block copy's terms
        const bool fx = rng() & 1, fy = rng() & 1;
        const int routine = iter % 8;
        const bool eight = routine & 1;
        // An exactly sized run list, so any read past its closing bytes is caught.
        std::vector<uint8_t> runs(im.runs);
        std::memcpy(ref, zk_buffer, sizeof ref);
        switch (routine) {
            case 0:
            case 1:
                if (eight) ZK_Copy8bitFastCopy(im.p8.data(), im.palette.data(), w, h, x, y, alpha);
                else ZK_Copy16bitFastCopy(im.p16.data(), w, h, x, y, alpha);
                ref_fast(ref, im, eight, x, y, alpha);
                break;
            case 2:
            case 3:
                if (eight) ZK_Copy8bitRLE(im.p8.data(), im.palette.data(), runs.data(), im.lineOffsets.data(), w, h, x, y, alpha);
                else ZK_Copy16bitRLE(im.p16.data(), runs.data(), im.lineOffsets.data(), w, h, x, y, alpha);
                ref_rle(ref, im, eight, x, y, alpha);
                break;
            case 4:
            case 5:  // any non-zero flag mirrors
                if (eight) ZK_Copy8bitToScreen(im.p8.data(), im.palette.data(), w, h, x, y, alpha, int8_t(fx), int8_t(fy));
                else ZK_Copy16bitToScreen(im.p16.data(), w, h, x, y, alpha, int8_t(fx ? (rng() % 2 ? 1 : -128) : 0), int8_t(fy ? 7 : 0));
                ref_toscreen(ref, im, eight, x, y, alpha, fx, fy);
                break;
            case 6: {  // colours then masks, the masks mostly 0 or 0xFFFF
                std::vector<uint16_t> block(size_t(2 * w * h));
                for (size_t i = 0; i < block.size(); ++i) {
                    const uint32_t v = rng();
                    block[i] = i < size_t(w * h) || v % 4 == 0 ? uint16_t(v >> 8) : uint16_t(v % 4 == 1 ? 0 : 0xFFFF);
                }
                const uint8_t a = alpha < 0 ? uint8_t(255) : uint8_t(alpha);
                ZK_CopyLetter(block.data(), 1, w, h, x, y, a);
                ref_letter(ref, block.data(), block.data() + w * h, w, h, x, y, a);
                break;
            }
            case 7: {
                std::vector<uint16_t> masks(size_t(w * h));
                for (auto& m : masks) {
                    const uint32_t v = rng() % 8;
                    m = v < 3 ? 0 : v < 7 ? 0xFFFF : uint16_t(rng());
                }
                const std::vector<uint16_t> colours(size_t(w * h), uint16_t(iter * 2654435761u >> 16));
                const uint8_t a = alpha < 0 ? uint8_t(200) : uint8_t(alpha);
                ZK_CopyPlainLetter(masks.data(), colours[0], w, h, x, y, a);
                ref_letter(ref, colours.data(), masks.data(), w, h, x, y, a);
                break;
            }
        }
        if (std::memcmp(ref, zk_buffer, sizeof ref) != 0) {
            int px = 0;
            while (ref[px] == zk_buffer[px]) ++px;
            ADD_FAILURE() << "routine " << routine << " iter " << iter << " w " << w << " h " << h << " x " << x
                          << " y " << y << " alpha " << alpha << " fx " << fx << " fy " << fy << " window "
                          << int(zk_curwindow) << " sprite clip " << (zk_cursprite != -1) << ": first difference at ("
                          << px % 240 << "," << px / 240 << ") " << zk_buffer[px] << " != " << ref[px];
            ++mismatches;
            std::memcpy(zk_buffer, ref, sizeof ref);
        }
        if (sprite_ != nullptr) zk_cursprite = -1;
    }
    EXPECT_EQ(mismatches, 0);
}
// ---------------------------------------------------------------- worked cases
namespace {
using P = std::vector<uint16_t>;
P row(int x, int y, int n) { return {zk_buffer + y * 240 + x, zk_buffer + y * 240 + x + n}; }
void clear() { std::memset(zk_buffer, 0, sizeof zk_buffer); }
}  // namespace

TEST_F(Blitters, WorkedCasesOfTheCopyRoutines) {
    // A 16 x 16 image whose pixel (c, r) is c + 16 r + 1 (never the key).
    std::vector<uint16_t> p16(256), pal(256);
    std::vector<uint8_t> p8(256);
    for (int i = 0; i < 256; ++i) p16[size_t(i)] = uint16_t(i + 1), p8[size_t(i)] = uint8_t(i), pal[size_t(i)] = uint16_t(0x1000 + i);

    // Mirroring: unclipped, source column 15 at buffer column x; both flags put
    // (15, 15) at (x, y); clipped at x = -4, buffer column 0 shows column 15
    // and column 11 shows column 4.
    ZK_Copy16bitToScreen(p16.data(), 16, 16, 50, 50, 32, 1, 0);
    EXPECT_EQ(at(50, 50), 16);
    ZK_Copy16bitToScreen(p16.data(), 16, 16, 50, 80, 32, 1, 1);
    EXPECT_EQ(at(50, 80), 256);
    clear();
    ZK_Copy8bitToScreen(p8.data(), pal.data(), 16, 1, -4, 0, 32, 1, 0);
    EXPECT_EQ(row(0, 0, 1), (P{0x1000 + 15}));
    EXPECT_EQ(row(11, 0, 2), (P{0x1000 + 4, 0}));
}

TEST_F(Blitters, RunListLinesDrawTheirOpaqueColumns) {
    // Lines of a 16-wide image as run lists, drawn in the screen's last row
    // and columns with various first and end columns (through the window),
    // as the source columns drawn. A run reaching past the width is cut
    // there: drawing on would leave the window and, here, the buffer.
    struct Case {
        std::vector<uint8_t> line;
        int windowLeft, windowRight;  // image columns
        int firstDrawn, lastDrawn;    // -1: nothing drawn
    } cases[] = {
        {{16}, 0, 15, -1, -1},      {{3, 10, 3}, 0, 15, 3, 12}, {{3, 10, 3}, 5, 15, 5, 12},
        {{3, 10, 3}, 0, 7, 3, 7},   {{3, 10, 3}, 13, 15, -1, -1}, {{0, 16}, 0, 15, 0, 15},
        {{0, 16}, 15, 15, 15, 15},  {{3, 10, 3}, 12, 15, 12, 12}, {{3, 40}, 0, 15, 3, 15},
        {{0, 200, 9}, 0, 15, 0, 15}, {{3, 40}, 0, 7, 3, 7},
    };
    std::vector<uint16_t> p16(16), pal(256, 0x0F0F);
    std::vector<uint8_t> p8(16);
    for (int i = 0; i < 16; ++i) p16[size_t(i)] = uint16_t(100 + i), p8[size_t(i)] = uint8_t(i), pal[size_t(i)] = uint16_t(200 + i);
    const uint16_t offsets[1] = {0};
    const int x = 224, y = 319;
    for (const Case& c : cases) {
        std::vector<uint8_t> runs(c.line);
        runs.insert(runs.end(), 4, 0xFF);
        ZK_SetWindowLimits(3, x + c.windowLeft, 0, x + c.windowRight, 319);
        zk_curwindow = 3;
        for (int eight = 0; eight < 2; ++eight)
            for (int alpha : {32, 31}) {
                clear();
                if (eight)
                    ZK_Copy8bitRLE(p8.data(), pal.data(), runs.data(), offsets, 16, 1, x, y, alpha);
                else
                    ZK_Copy16bitRLE(p16.data(), runs.data(), offsets, 16, 1, x, y, alpha);
                P want(240 * 320, 0);
                for (int col = c.firstDrawn; col >= 0 && col <= c.lastDrawn; ++col)
                    want[size_t(y * 240 + x + col)] = ref_blend(uint16_t((eight ? 200 : 100) + col), 0, alpha);
                EXPECT_EQ(row(0, 0, 240 * 320), want) << "line of " << c.line.size() << " window " << c.windowLeft
                                                      << ".." << c.windowRight << (eight ? " 8-bit" : " 16-bit")
                                                      << " alpha " << alpha;
            }
    }
}

TEST_F(Blitters, WorkedCasesOfTheLetterRoutines) {
    // Plain letter, colour 0x001F: opaque over 0xFFFF, then alpha 16 over 0
    // (only the low 8 bits replaced where the mask is 0x00FF; blended, the
    // whole colour).
    const uint16_t masks[3] = {0xFFFF, 0x0000, 0x00FF};
    const struct { P before; int alpha; P after; } steps[] = {
        {{0xFFFF, 0xFFFF, 0xFFFF}, 32, {0x001F, 0xFFFF, 0xFF1F}},
        {{0, 0, 0xFFFF}, 16, {0x000F, 0x0000, ref_blend(0x001F, 0xFFFF, 16)}},
        {{0, 0, 0xFFFF}, 31, {ref_blend(0x001F, 0, 31), 0x0000, ref_blend(0x001F, 0xFFFF, 31)}},
        {{5, 6, 7}, 0, {5, 6, 7}},  // alpha 0 draws nothing
    };
    for (const auto& s : steps) {
        std::copy(s.before.begin(), s.before.end(), zk_buffer);
        ZK_CopyPlainLetter(masks, 0x001F, 3, 1, 0, 0, uint8_t(s.alpha));
        EXPECT_EQ(row(0, 0, 3), s.after) << s.alpha;
    }

    // Colour letter 2 x 1: colours then masks; half outside the left edge of
    // window 2, drawing only from the window edge on.
    const uint16_t block[4] = {0x1111, 0x2222, 0xFFFF, 0xFFFF};
    clear();
    ZK_CopyLetter(block, 1, 2, 1, 10, 0, 32);
    EXPECT_EQ(row(10, 0, 2), (P{0x1111, 0x2222}));
    ZK_SetWindowLimits(2, 21, 0, 239, 319);
    zk_curwindow = 2;
    ZK_CopyLetter(block, 1, 2, 1, 20, 5, 32);
    EXPECT_EQ(row(20, 5, 2), (P{0, 0x2222}));
}
