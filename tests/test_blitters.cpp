// The copy and letter blitters against plain per-pixel reference loops, over
// random images, positions, clip windows, sprite clip rectangles, opacities,
// mirror flags and run lists, at every build level the processor runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "zk_blend.h"
#include "zk_blit.h"
#include "zk_test_support.h"

namespace {

struct Rect { int64_t fc, fr, ec, er; };

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

// Which pixels of a line are opaque, read from its run list as the format
// describes; a run that reaches past the width is cut at the width.
std::vector<bool> ref_opaque(const uint8_t* runs, int w) {
    std::vector<bool> opaque(size_t(w) + 256, false);
    for (int x = *runs++; x < w; x += *runs++) {
        for (int n = *runs++; n > 0; --n) opaque[size_t(x++)] = true;
        if (x >= w) break;
    }
    opaque.resize(size_t(w));
    return opaque;
}

struct Image {
    int w = 0, h = 0;
    std::vector<uint16_t> p16, palette, lineOffsets;
    std::vector<uint8_t> p8, runs;
    uint16_t colour(bool eight, int64_t c, int64_t r) const {
        return eight ? palette[p8[size_t(r * w + c)]] : p16[size_t(r * w + c)];
    }
    bool keyed(bool eight, int64_t c, int64_t r) const {
        return eight ? p8[size_t(r * w + c)] == 0 : p16[size_t(r * w + c)] == 0xF81F;
    }
};

// Every visible pixel for which drawn(c, r) holds gets colour(c, r), stored
// or blended; a mirrored axis shows the visible source range backwards.
template <class Drawn, class Colour>
void ref_copy(uint16_t* buf, int x, int y, int w, int h, int alpha, bool fx, bool fy, Drawn drawn, Colour colour) {
    const Rect r = ref_clip(x, y, w, h);
    for (int64_t row = r.fr; row < r.er; ++row)
        for (int64_t c = r.fc; c < r.ec; ++c) {
            const int64_t sc = fx ? r.fc + r.ec - 1 - c : c, sr = fy ? r.fr + r.er - 1 - row : row;
            uint16_t& d = buf[(y + row) * 240 + x + c];
            if (drawn(sc, sr)) d = colour(sc, sr, d, alpha);
        }
}

// Letters: opaque, the mask's bits choose between colour and buffer; any
// other alpha blends the colour wherever the mask is not 0.
uint16_t ref_letter(uint16_t k, uint16_t m, uint16_t d, int alpha) {
    if (alpha == 32) return uint16_t((d & ~m) | (k & m));
    return m != 0 ? zk_test_blend(k, d, alpha) : d;
}

// Per line a transparent count, an opaque one, ..., closed by four 0xFF
// bytes. With overrun, a caller's mistake: each line's last count reaches
// past the width.
void build_runs(Image& im, const std::vector<bool>& transparent, int overrun) {
    for (int r = 0; r < im.h; ++r) {
        im.lineOffsets.push_back(uint16_t(im.runs.size()));
        for (int c = 0; c < im.w;)
            for (bool opaque : {false, true}) {
                int n = 0;
                for (; c < im.w && transparent[size_t(r * im.w + c)] != opaque; ++c) ++n;
                im.runs.push_back(uint8_t(n));
                if (c >= im.w) break;
            }
        im.runs.back() = uint8_t(std::min(im.runs.back() + overrun, 255));
    }
    im.runs.insert(im.runs.end(), 4, 0xFF);
}

Image random_image(std::mt19937& rng, int w, int h) {
    const int transparentPercent = int(rng() % 101);
    Image im;
    im.w = w, im.h = h;
    for (int i = 0; i < 256; ++i) im.palette.push_back(uint16_t(rng()));
    std::vector<bool> transparent(size_t(w * h));
    for (size_t i = 0; i < transparent.size(); ++i) {
        transparent[i] = int(rng() % 100) < transparentPercent;
        const uint16_t c = uint16_t(rng());
        im.p16.push_back(transparent[i] ? 0xF81F : c == 0xF81F ? 0xF81E : c);
        im.p8.push_back(transparent[i] ? 0 : uint8_t(1 + rng() % 255));
    }
    build_runs(im, transparent, rng() % 8 == 0 ? int(1 + rng() % 40) : 0);
    return im;
}

// Far off, just off the low side, at the high edge, partly off either side,
// or anywhere near the screen.
int random_coord(std::mt19937& rng, int size, int screen) {
    const int r = int(rng() % 1000), near = r % (screen + 20) - 10;
    const int at[] = {-100000 - r, 100000 + r, -size - r % 4, screen + r % 4 - 2, -(r % (size + 1)), screen - r % (size + 1), near, near};
    return at[rng() % 8];
}

Sprite clipSprite;  // a hand-made record whose clip rectangle the blitters apply
constexpr int kSlot = 77;

void use_sprite_clip(int l, int t, int r, int b) {
    clipSprite.clipLeft = uint8_t(l), clipSprite.clipTop = uint8_t(t);
    clipSprite.clipRight = uint8_t(r), clipSprite.clipBottom = uint8_t(b);
    zk_sprites[kSlot] = &clipSprite, zk_cursprite = kSlot;
}

// Window 0 or another (sometimes inverted), sometimes a sprite clip.
void random_clip(std::mt19937& rng) {
    zk_curwindow = 0, zk_cursprite = -1;
    if (rng() % 3 != 0) {
        int l = int(rng() % 240), r = int(rng() % 240), t = int(rng() % 320), b = int(rng() % 320);
        if (rng() % 8 != 0) {
            if (l > r) std::swap(l, r);
            if (t > b) std::swap(t, b);
        }
        zk_curwindow = uint8_t(1 + rng() % 15);
        ZK_SetWindowLimits(zk_curwindow, l, t, r, b);
    }
    if (rng() % 4 == 0) use_sprite_clip(int(rng() % 64), int(rng() % 64), int(rng() % 64), int(rng() % 64));
}

void compare_with_reference(unsigned seed) {
    std::mt19937 rng(seed);
    static uint16_t ref[240 * 320];
    for (auto& p : zk_buffer) p = uint16_t(rng());
    int mismatches = 0;
    for (int iter = 0; iter < 1600 && mismatches < 5; ++iter) {
        const int routine = iter % 8;
        const bool eight = routine & 1;
        // Images of the screen's width or wider, half of them at x = 0 in the
        // whole screen and opaque (as a background layer draws them): only
        // exactly 240 may be copied as one block.
        const bool full = rng() % 4 == 0;
        const int w = full ? 240 + (rng() % 2 ? int(rng() % 60) : 0) : 1 + int(rng() % (rng() % 4 ? 40 : 255));
        const int h = 1 + int(rng() % (rng() % 16 == 0 ? 330 : full ? 24 : 40));
        const Image im = random_image(rng, w, h);
        const bool block = full && rng() % 2;
        const int x = block ? 0 : random_coord(rng, w, 240), y = block ? int(rng() % 300) : random_coord(rng, h, 320);
        random_clip(rng);
        const int v = int(rng() % 40);  // alpha 0..33, 32 more often, -1 or 16
        int alpha = v < 34 ? v : v < 37 ? 32 : v == 37 ? -1 : 16;
        if (block) zk_curwindow = 0, zk_cursprite = -1, alpha = 32;
        const bool fx = rng() & 1, fy = rng() & 1;
        // An exactly sized run list, so any read past its closing bytes is caught.
        std::vector<uint8_t> runs(im.runs);
        std::memcpy(ref, zk_buffer, sizeof ref);
        auto colour = [&](int64_t c, int64_t r, uint16_t d, int a) {
            return a == 32 ? im.colour(eight, c, r) : zk_test_blend(im.colour(eight, c, r), d, a);
        };
        auto always = [](int64_t, int64_t) { return true; };
        if (routine < 2) {
            if (eight) ZK_Copy8bitFastCopy(im.p8.data(), im.palette.data(), w, h, x, y, alpha);
            else ZK_Copy16bitFastCopy(im.p16.data(), w, h, x, y, alpha);
            if (alpha > 0) ref_copy(ref, x, y, w, h, alpha, false, false, always, colour);
        } else if (routine < 4) {
            if (eight) ZK_Copy8bitRLE(im.p8.data(), im.palette.data(), runs.data(), im.lineOffsets.data(), w, h, x, y, alpha);
            else ZK_Copy16bitRLE(im.p16.data(), runs.data(), im.lineOffsets.data(), w, h, x, y, alpha);
            std::vector<std::vector<bool>> opaque;
            for (int r = 0; r < h; ++r) opaque.push_back(ref_opaque(runs.data() + im.lineOffsets[size_t(r)], w));
            ref_copy(ref, x, y, w, h, alpha, false, false, [&](int64_t c, int64_t r) { return bool(opaque[size_t(r)][size_t(c)]); }, colour);
        } else if (routine < 6) {  // any non-zero flag mirrors
            if (eight) ZK_Copy8bitToScreen(im.p8.data(), im.palette.data(), w, h, x, y, alpha, int8_t(fx), int8_t(fy));
            else ZK_Copy16bitToScreen(im.p16.data(), w, h, x, y, alpha, int8_t(fx ? (rng() % 2 ? 1 : -128) : 0), int8_t(fy ? 7 : 0));
            if (alpha > 0) ref_copy(ref, x, y, w, h, alpha, fx, fy, [&](int64_t c, int64_t r) { return !im.keyed(eight, c, r); }, colour);
        } else {  // letters: colours then masks, the masks mostly 0 or 0xFFFF
            std::vector<uint16_t> block(size_t(2 * w * h));
            const uint16_t plain = uint16_t(rng());
            for (size_t i = 0; i < block.size(); ++i) {
                const uint32_t r = rng();
                block[i] = i < size_t(w * h) ? (eight ? plain : uint16_t(r >> 8)) : uint16_t(r % 8 < 3 ? 0 : r % 8 < 7 ? 0xFFFF : r >> 8);
            }
            const uint8_t a = alpha < 0 ? uint8_t(eight ? 200 : 255) : uint8_t(alpha);
            if (eight) ZK_CopyPlainLetter(block.data() + w * h, plain, w, h, x, y, a);
            else ZK_CopyLetter(block.data(), 1, w, h, x, y, a);
            ref_copy(ref, x, y, w, h, a, false, false, always, [&](int64_t c, int64_t r, uint16_t d, int) {
                return ref_letter(block[size_t(r * w + c)], block[size_t(w * h + r * w + c)], d, a);
            });
        }
        if (std::memcmp(ref, zk_buffer, sizeof ref) != 0) {
            ADD_FAILURE() << "routine " << routine << " iter " << iter << " " << w << " x " << h << " at " << x << ","
                          << y << " alpha " << alpha << " mirror " << fx << fy << " window " << int(zk_curwindow)
                          << " sprite clip " << (zk_cursprite != -1);
            ++mismatches;
            std::memcpy(zk_buffer, ref, sizeof ref);
        }
    }
    EXPECT_EQ(mismatches, 0);
}
}  // namespace

TEST(Blitters, EveryRoutineMatchesTheReferenceLoopPixelForPixel) {
    const int top = zk_blit_level;
    zk_window[0] = {0, 0, 239, 319};
    for (int level = 0; level <= top; ++level) {
        zk_blit_level = level;
        SCOPED_TRACE("build level " + std::to_string(level));
        compare_with_reference(12345u + 1000u * unsigned(level));
    }
    zk_blit_level = top;
    zk_sprites[kSlot] = nullptr, zk_cursprite = -1, zk_curwindow = 0;
}
