// Rotate and zoom blitters.
//
// A square box of screen pixels, centred on the sprite and about 1.5 times
// its zoomed size, is clipped to the current window; for every box pixel the
// source pixel is found by stepping two 16.16 source coordinates (u, v).
// Each box row is first trimmed to the stretch whose samples fall inside the
// image, so the inner loop has no bounds test. The eight routines share one
// row walk and differ only in what they do with a sample.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "ZKlib.h"
#include "zk_blend.h"

namespace {

// A box reaching this far from the screen origin (in pixels, at zooms over
// a thousand times) would overflow the 16-bit fields of the clip record;
// such a blit draws nothing.
constexpr int64_t kLargestBoxReach = 30000;

}  // namespace

void ZK_RotoZoomLimits(int x, int y, int width, int height, int angle, int zoom) {
    // The larger zoomed side, and a box half as large again: room for the
    // turned frame, whose diagonal is at most about 1.41 times that side.
    const int64_t zw = (int64_t(width) * zoom) >> 10;
    const int64_t zh = (int64_t(height) * zoom) >> 10;
    const int64_t m = std::max(zw, zh);
    const int64_t side = m + (m >> 1);
    const int64_t half = side >> 1;
    const int64_t boxLeft = int64_t(x) + (width >> 1) - half;
    const int64_t boxTop = int64_t(y) + (height >> 1) - half;

    zk_cursprite = -1;  // the sprite's own clip rectangle does not apply
    const bool fits = std::llabs(boxLeft) + std::llabs(side) < kLargestBoxReach &&
                      std::llabs(boxTop) + std::llabs(side) < kLargestBoxReach;
    if (fits) {
        ZK_AdjustCopyLimits(int(boxLeft), int(boxTop), int(side), int(side));
    } else {
        zk_limits.firstColumn = zk_limits.endColumn = 0;
        zk_limits.firstRow = zk_limits.endRow = 0;
    }

    const int64_t inv = zoom ? 262144 / zoom : 0;
    // 1448 / 1024 is the square root of 2: k is the distance from the box
    // centre to a box corner, in the scale the corner step below needs.
    const int64_t k = ((half * 1448) >> 8) * inv;
    const uint32_t a = uint32_t(angle);
    const int64_t c = ZK_SIN[(a + 128u) & 511u];
    const int64_t s = ZK_SIN[a & 511u];
    const int64_t p = ZK_SIN[(a + 64u) & 511u];
    const int64_t q = ZK_SIN[(a + 192u) & 511u];

    const int64_t rotCos = c * inv;
    const int64_t rotSin = s * inv;
    const int64_t firstRow = zk_limits.firstRow;
    // Put the box centre on the source centre, step back along the diagonal
    // to the box's top-left corner, then down to the first row kept.
    const int64_t rotU = int64_t(width) * 32768 - ((q * k) >> 2) - firstRow * rotSin;
    const int64_t rotV = int64_t(height) * 32768 - ((p * k) >> 2) + firstRow * rotCos;

    zk_limits.rotCos = int32_t(rotCos);
    zk_limits.rotSin = int32_t(rotSin);
    zk_limits.rotU = int32_t(rotU);
    zk_limits.rotV = int32_t(rotV);
    zk_limits.boxLeft = int16_t(boxLeft);
    zk_limits.boxTop = int16_t(boxTop);
    const int32_t cosDiv = zk_limits.rotCos >> 8;
    const int32_t sinDiv = zk_limits.rotSin >> 8;
    zk_limits.rotCosInv = cosDiv ? 65536 / cosDiv : 0;
    zk_limits.rotSinInv = sinDiv ? 65536 / sinDiv : 0;
}

namespace {

// Division-free k / d for 0 <= k < 2^31 and 0 < d < 2^32: fine is
// floor(2^32 / d), so the estimate is the quotient or one below it, and one
// comparison settles which.
struct Divider {
    uint64_t d = 0;
    uint64_t fine = 0;

    explicit Divider(uint64_t divisor) : d(divisor), fine(divisor ? (uint64_t(1) << 32) / divisor : 0) {}

    int64_t quotient(int64_t k) const {
        const uint64_t uk = uint64_t(k);
        if (uk >= (uint64_t(1) << 31)) return int64_t(uk / d);  // far off: not met in practice
        uint64_t qt = (uk * fine) >> 32;
        while ((qt + 1) * d <= uk) ++qt;
        return int64_t(qt);
    }
};

// One source axis as the row walk sees it: the per-column step along it, the
// set-up's reciprocal of that step and the image's extent.
//
// The counts follow the set-up's reciprocals, so a row ends where the
// blitter has always ended it, often one sample short of the image edge.
// Those reciprocals are floors of a rounded step, so where the step is small
// they can also count past the edge; every count is therefore held to the
// exact number of samples that lie inside. A step whose reciprocal is 0
// (a positive step below 256, at large zooms close to a quarter turn) is
// counted exactly, instead of giving a count of 0 that would draw nothing.
struct Axis {
    int64_t step;     // 16.16 change per box column
    int64_t inv;      // 65536 / (step >> 8), 0 when that divisor is 0
    int64_t pixels;   // width or height
    int64_t limit;    // pixels << 16: inside is 0 <= p < limit
    Divider exact;    // by |step|

    Axis(int32_t s, int32_t reciprocal, int size)
        : step(s), inv(reciprocal), pixels(size), limit(int64_t(size) << 16), exact(uint64_t(std::llabs(s))) {}

    bool inside(int64_t p) const { return p >= 0 && p < limit; }

    // Columns to skip from an outside point until the line reaches the image
    // along this axis; 0 when it does not head that way.
    int64_t entry(int64_t p) const {
        if (p >= limit && step < 0) {
            if (inv) return ((pixels * 256 - (p >> 8)) * inv) >> 16;
            return exact.quotient(p - limit) + 1;
        }
        if (p < 0 && step > 0) {
            if (inv) return ((-(p >> 8)) * inv) >> 16;
            return exact.quotient(-p - 1) + 1;
        }
        return 0;
    }

    // Samples that lie inside from the inside point p on: the exact count.
    int64_t inside_count(int64_t p) const {
        if (step > 0) return exact.quotient(limit - 1 - p) + 1;
        if (step < 0) return exact.quotient(p) + 1;
        return INT32_MAX;
    }

    // The row's count from the inside point p along this axis.
    int64_t exit(int64_t p) const {
        int64_t n;
        if (step == 0) return 10000;
        if (!inv) {
            n = inside_count(p);
        } else if (step > 0) {
            n = ((pixels * 256 - (p >> 8)) * inv) >> 16;
        } else {
            n = ((-(p >> 8)) * inv) >> 16;
        }
        return std::min(n, inside_count(p));
    }
};

// What a routine does with one sample: look it up in the palette (8-bit),
// skip the key (keyed routines), store or blend.
template <typename Pixel, bool Keyed, bool Blend>
struct Sampler {
    const Pixel* pixels;
    const uint16_t* palette;
    uint16_t key;
    uint32_t alpha;

    void put(uint16_t* dst, Pixel s) const {
        if constexpr (Keyed) {
            if constexpr (sizeof(Pixel) == 1) {
                if (s == 0) return;
            } else {
                if (s == key) return;
            }
        }
        uint16_t colour;
        if constexpr (sizeof(Pixel) == 1)
            colour = palette[s];
        else
            colour = s;
        if constexpr (Blend)
            *dst = zk_blend(colour, *dst, alpha);
        else
            *dst = colour;
    }
};

template <typename Pixel, bool Keyed, bool Blend>
void rotBlit(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha, int angle,
             int zoom) {
    ZK_RotoZoomLimits(x, y, width, height, angle, zoom);
    const CopyLimits lim = zk_limits;
    if (lim.firstRow >= lim.endRow || width <= 0 || height <= 0) return;

    const Sampler<Pixel, Keyed, Blend> sampler{static_cast<const Pixel*>(pixels), palette, zk_transpcolor,
                                               uint32_t(alpha)};
    const Axis au(lim.rotCos, lim.rotCosInv, width);
    const Axis av(lim.rotSin, lim.rotSinInv, height);
    const int32_t stepU = lim.rotCos;
    const int32_t stepV = lim.rotSin;
    const Pixel* const src = sampler.pixels;
    const uint32_t stride = uint32_t(width);

    int64_t rowU = lim.rotU;
    int64_t rowV = lim.rotV;
    for (int j = lim.firstRow; j < lim.endRow; ++j, rowU -= stepV, rowV += stepU) {
        int64_t col = lim.firstColumn;
        int64_t u = rowU + col * stepU;
        int64_t v = rowV + col * stepV;

        // Entry: jump to where the line meets the image, then at most two
        // single steps to get over the rounding of the jump.
        if (!au.inside(u) || !av.inside(v)) {
            const int64_t skip = std::max(au.entry(u), av.entry(v));
            u += skip * stepU;
            v += skip * stepV;
            col += skip;
            for (int t = 0; t < 2 && !(au.inside(u) && av.inside(v)); ++t) {
                u += stepU;
                v += stepV;
                ++col;
            }
            if (!au.inside(u) || !av.inside(v)) continue;
        }

        // Exit: the columns until the line leaves the image or the box.
        const int64_t n = std::min({au.exit(u), av.exit(v), int64_t(lim.endColumn) - col});
        if (n <= 0) continue;

        uint16_t* dst = zk_buffer + (int64_t(lim.boxTop) + j) * ZK_WIDTH + lim.boxLeft + col;
        // Every sample of the stretch is inside, so u and v stay in
        // 0 .. size << 16 and the unsigned shifts give the pixel.
        uint32_t uu = uint32_t(u);
        uint32_t vv = uint32_t(v);
        for (int64_t i = 0; i < n; ++i) {
            sampler.put(dst + i, src[(vv >> 16) * stride + (uu >> 16)]);
            uu += uint32_t(stepU);
            vv += uint32_t(stepV);
        }
    }
}

}  // namespace

void ZK_8bitRot(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha, int angle,
                int zoom) {
    rotBlit<uint8_t, true, false>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_8bitRotFull(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                    int angle, int zoom) {
    rotBlit<uint8_t, false, false>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_8bitRotAlpha(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                     int angle, int zoom) {
    rotBlit<uint8_t, true, true>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_8bitRotAlphaFull(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                         int angle, int zoom) {
    rotBlit<uint8_t, false, true>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_16bitRot(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                 int angle, int zoom) {
    rotBlit<uint16_t, true, false>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_16bitRotFull(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                     int angle, int zoom) {
    rotBlit<uint16_t, false, false>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_16bitRotAlpha(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                      int angle, int zoom) {
    rotBlit<uint16_t, true, true>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_16bitRotAlphaFull(const void* pixels, const uint16_t* palette, int width, int height, int x, int y,
                          int alpha, int angle, int zoom) {
    rotBlit<uint16_t, false, true>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}

const ZK_RotBlitter ZK_CopyRot[8] = {ZK_8bitRot,  ZK_8bitRotFull,  ZK_8bitRotAlpha,  ZK_8bitRotAlphaFull,
                                     ZK_16bitRot, ZK_16bitRotFull, ZK_16bitRotAlpha, ZK_16bitRotAlphaFull};
