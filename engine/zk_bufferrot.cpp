// Rotate and zoom blitters.
//
// A square box of screen pixels, centred on the sprite and about 1.5 times
// its zoomed size, is clipped to the current window; for every box pixel the
// source pixel is found by stepping two 16.16 source coordinates (u, v).
// Each box row is first trimmed to the stretch whose samples fall inside the
// image, so the sample loop has no bounds test. The eight routines share one
// row walk and differ only in what they do with a sample; the sample loop is
// built per vector level like the upright families.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "ZKlib.h"
#include "zk_blit.h"

namespace {

// The set-up in full width. The clip record holds the same values whenever
// its 16- and 32-bit fields can; the walk works from these, so a box whose
// clipped columns run past 32767 is still drawn whole.
struct RotSetup {
    ZkClip clip;  // in box columns and rows
    int64_t rotCos, rotSin, rotU, rotV, boxLeft, boxTop, cosInv, sinInv;
};

RotSetup zk_rot_setup(int x, int y, int width, int height, int angle, int zoom) {
    // The larger zoomed side, and a box half as large again: room for the
    // turned frame, whose diagonal is at most about 1.41 times that side.
    const int64_t zw = (int64_t(width) * zoom) >> 10;
    const int64_t zh = (int64_t(height) * zoom) >> 10;
    const int64_t m = std::max(zw, zh);
    const int64_t side = m + (m >> 1);
    const int64_t half = side >> 1;
    RotSetup s{};
    s.boxLeft = int64_t(x) + (width >> 1) - half;
    s.boxTop = int64_t(y) + (height >> 1) - half;

    zk_cursprite = -1;  // the sprite's own clip rectangle does not apply
    // The record keeps the box's corner in 16 bits; a box placed further out
    // than that is not drawn.
    if (s.boxLeft == int16_t(s.boxLeft) && s.boxTop == int16_t(s.boxTop))
        s.clip = zk_clip_wide(s.boxLeft, s.boxTop, side, side);

    const int64_t inv = zoom ? 262144 / zoom : 0;
    // 1448 / 1024 is the square root of 2: k is the distance from the box
    // centre to a box corner, in the scale the corner step below needs.
    const int64_t k = ((half * 1448) >> 8) * inv;
    const uint32_t a = uint32_t(angle);
    const int64_t c = ZK_SIN[(a + 128u) & 511u];
    const int64_t sn = ZK_SIN[a & 511u];
    const int64_t p = ZK_SIN[(a + 64u) & 511u];
    const int64_t q = ZK_SIN[(a + 192u) & 511u];
    s.rotCos = c * inv;
    s.rotSin = sn * inv;
    // Put the box centre on the source centre, step back along the diagonal
    // to the box's top-left corner, then down to the first row kept.
    s.rotU = int64_t(width) * 32768 - ((q * k) >> 2) - s.clip.firstRow * s.rotSin;
    s.rotV = int64_t(height) * 32768 - ((p * k) >> 2) + s.clip.firstRow * s.rotCos;
    const int64_t cosDiv = int32_t(s.rotCos) >> 8, sinDiv = int32_t(s.rotSin) >> 8;
    s.cosInv = cosDiv ? 65536 / cosDiv : 0;
    s.sinInv = sinDiv ? 65536 / sinDiv : 0;
    return s;
}

void zk_store_rot(const RotSetup& s) {
    zk_store_limits(s.clip);
    zk_limits.rotCos = int32_t(s.rotCos);
    zk_limits.rotSin = int32_t(s.rotSin);
    zk_limits.rotU = int32_t(s.rotU);
    zk_limits.rotV = int32_t(s.rotV);
    zk_limits.boxLeft = int16_t(s.boxLeft);
    zk_limits.boxTop = int16_t(s.boxTop);
    zk_limits.rotCosInv = int32_t(s.cosInv);
    zk_limits.rotSinInv = int32_t(s.sinInv);
}

}  // namespace

void ZK_RotoZoomLimits(int x, int y, int width, int height, int angle, int zoom) {
    zk_store_rot(zk_rot_setup(x, y, width, height, angle, zoom));
}

namespace {

// floor(a / b) for b > 0.
int64_t floor_div(int64_t a, int64_t b) { return a / b - (a % b < 0); }

// One source axis as the row walk sees it: the step per box column, the
// set-up's reciprocal of it, the image's extent along it, and where the
// row's first point p0 lies in steps, kept exact from row to row by adding
// constant increments (p0 moves by the same amount every row), so that no
// row divides.
//
// The entry and exit counts follow the set-up's reciprocals, so a row ends
// where the blitter has always ended it, often one sample short of the image
// edge. Those reciprocals are floors of a rounded step, so where the step is
// small they can also count past the edge; every count is therefore held to
// the exact number of samples that lie inside. A step whose reciprocal is 0
// (a positive step below 256, at large zooms close to a quarter turn, or one
// of 256 pixels or more) is counted exactly, instead of giving a count of 0
// that would draw nothing.
struct Axis {
    int64_t step, inv, pixels, limit;  // limit = pixels << 16: inside is 0 <= p < limit
    int64_t mag = 0;                   // |step|
    int64_t q = 0, r = 0;              // p0 = q * mag + r, 0 <= r < mag
    int64_t dq = 0, dr = 0;            // the change of p0 from row to row, likewise
    int64_t limitQ = 0, limitR = 0;    // limit, likewise
    int64_t lastQ = 0, lastR = 0;      // limit - 1, likewise

    Axis(int64_t s, int64_t reciprocal, int size, int64_t p0, int64_t rowChange)
        : step(s), inv(reciprocal), pixels(size), limit(int64_t(size) << 16), mag(std::llabs(s)) {
        if (!mag) return;
        auto split = [&](int64_t v, int64_t& quotient, int64_t& rest) {
            quotient = floor_div(v, mag);
            rest = v - quotient * mag;
        };
        split(p0, q, r);
        split(rowChange, dq, dr);
        split(limit, limitQ, limitR);
        split(limit - 1, lastQ, lastR);
    }

    void next_row() {
        q += dq, r += dr;
        if (r >= mag) r -= mag, ++q;
    }

    bool inside(int64_t p) const { return p >= 0 && p < limit; }

    // Columns to skip from the row's first point p0, outside, until the line
    // reaches the image along this axis; 0 when it does not head that way.
    int64_t entry(int64_t p0) const {
        if (p0 >= limit && step < 0) {
            if (inv) return ((pixels * 256 - (p0 >> 8)) * inv) >> 16;
            return q - limitQ - (r < limitR) + 1;  // floor((p0 - limit) / mag) + 1
        }
        if (p0 < 0 && step > 0) {
            if (inv) return ((-(p0 >> 8)) * inv) >> 16;
            return -q;  // floor((-p0 - 1) / mag) + 1
        }
        return 0;
    }

    // The row's count from the inside point p, t columns after p0.
    int64_t exit(int64_t p, int64_t t) const {
        if (step == 0) return 10000;
        // The samples that lie inside from p on: floor((limit - 1 - p) / step)
        // + 1 heading up, floor(p / mag) + 1 heading down.
        const int64_t inside = step > 0 ? lastQ - (r > lastR) - q - t + 1 : q - t + 1;
        if (!inv) return inside;
        const int64_t n = step > 0 ? ((pixels * 256 - (p >> 8)) * inv) >> 16 : ((-(p >> 8)) * inv) >> 16;
        return std::min(n, inside);
    }
};

// ---------------------------------------------------------------- the sample loop
// What a routine does with a sample: an 8-bit one is looked up in the
// palette, the keyed routines skip index 0 or the key colour, the others
// store or blend.
template <typename Pixel, bool Keyed, bool Blend>
struct RotSampler {
    const Pixel* pixels;
    const uint16_t* palette;
    uint16_t key;
    uint32_t alpha;
    uint32_t stride;

    ZK_INLINE bool transparent(Pixel s) const {
        if constexpr (sizeof(Pixel) == 1) return s == 0;
        return s == key;
    }
    ZK_INLINE uint16_t colour(Pixel s) const {
        if constexpr (sizeof(Pixel) == 1) return palette[s];
        return s;
    }
    // A transparent sample stores the pixel back as it was: no branch on it
    // (a branch at the image's edges cost more than the store).
    ZK_INLINE void put(uint16_t* d, Pixel s) const {
        const uint16_t old = *d, drawn = Blend ? zk_blend(colour(s), old, alpha) : colour(s);
        *d = Keyed && transparent(s) ? old : drawn;
    }
    ZK_INLINE void put(uint16_t* d, int64_t u, int64_t v) const {
        put(d, pixels[(v >> 16) * int64_t(stride) + (u >> 16)]);
    }
};

using U32x8 = uint32_t __attribute__((vector_size(32)));
using U16x8 = ZkVec<8>::U;

// The plain per-sample loop: where there is no gather, and for 8-bit images
// even where there is. Measured on an AVX2 processor (Zen 3), 128 x 128 at
// 30 degrees and x1.5: building eight element numbers in a vector and then
// fetching them one at a time took about 1.5 times as long as this loop (the
// numbers go through memory), and two dependent gathers per eight 8-bit
// samples (pixel, then palette) were no faster than it; one gather per eight
// 16-bit samples is, by about 1.5 times.
struct ZkFetchEach {};

#if ZK_HAVE_WIDE
// Eight 16-bit samples through AVX2 gathers. A gather reads 32 bits per
// element, so each reads the pixel with the one below it (the one above, at
// pixel 0) and shifts it out: no read leaves the pixel array.
struct ZkFetchGather {
    // 32-bit lanes holding the pixel numbers e of the pixels at base, each
    // fetched and zero-extended.
    inline ZK_TARGET_WIDE static __m256i gather(const void* base, __m256i e) {
        const __m256i low = _mm256_set1_epi32(1);
        const __m256i from = _mm256_max_epu32(e, low);
        const __m256i word = _mm256_i32gather_epi32(static_cast<const int*>(base), _mm256_sub_epi32(from, low), 2);
        const __m256i shift = _mm256_slli_epi32(_mm256_sub_epi32(low, _mm256_sub_epi32(from, e)), 4);
        return _mm256_and_si256(_mm256_srlv_epi32(word, shift), _mm256_set1_epi32(0xFFFF));
    }
    inline ZK_TARGET_WIDE static void to16(const __m256i& v, U16x8& out) {
        const __m128i packed = _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        std::memcpy(&out, &packed, sizeof out);
    }
    template <class S>
    inline ZK_TARGET_WIDE static void fetch(const S& s, const U32x8& at, U16x8& colour, U16x8& clear) {
        static_assert(sizeof(*s.pixels) == 2, "8-bit images are fetched sample by sample");
        __m256i e;
        std::memcpy(&e, &at, sizeof e);
        const __m256i p = gather(s.pixels, e);
        to16(p, colour);
        to16(_mm256_srli_epi32(_mm256_cmpeq_epi32(p, _mm256_set1_epi32(s.key)), 16), clear);
    }
};
#endif

// Eight samples from (u, v), (u + du, v + dv), ... treated as the routine
// says, over the eight buffer pixels at d.
template <class Fetch, class S, bool Keyed, bool Blend>
ZK_INLINE void rot_eight(const uint16_t* d, uint32_t u, uint32_t v, uint32_t du, uint32_t dv, const S& s,
                         U16x8& out) {
    const U32x8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
    const U32x8 uu = u + lane * du, vv = v + lane * dv;
    U16x8 colour, clear;
    Fetch::fetch(s, (vv >> 16) * s.stride + (uu >> 16), colour, clear);
    if constexpr (Blend || Keyed) zk_vload(out, d);
    U16x8 drawn = colour;
    if constexpr (Blend) {
        drawn = out;
        zk_vblend<8>(drawn, colour, int16_t(s.alpha));
    }
    out = Keyed ? (out & clear) | (drawn & ~clear) : drawn;
}

// n samples from (u, v) into d, one at a time; in 32-bit coordinates unless
// the image is too large for them.
template <class S>
ZK_INLINE void rot_each(uint16_t* d, int64_t u0, int64_t v0, int n, int64_t du0, int64_t dv0, const S& s,
                        bool lanes) {
    if (!lanes) {
        for (int i = 0; i < n; ++i, u0 += du0, v0 += dv0) s.put(d + i, u0, v0);
        return;
    }
    // In 32 bits: every sample of the stretch lies inside the image.
    uint32_t u = uint32_t(u0), v = uint32_t(v0);
    const uint32_t du = uint32_t(du0), dv = uint32_t(dv0);
    for (int i = 0; i < n; ++i, u += du, v += dv) s.put(d + i, s.pixels[(v >> 16) * s.stride + (u >> 16)]);
}

// The same through a vector fetch: runs of eight in 32-bit lanes; the last
// eight are worked out first, from the buffer as it was, so that they may
// overlap the ones before them. Rows shorter than eight, weights beyond 0..32
// and images too large for 32-bit lanes go sample by sample.
template <class Fetch, class S, bool Keyed, bool Blend>
ZK_INLINE void rot_row(uint16_t* d, int64_t u0, int64_t v0, int n, int64_t du0, int64_t dv0, const S& s,
                       bool lanes) {
    if constexpr (std::is_same_v<Fetch, ZkFetchEach>) {
        rot_each(d, u0, v0, n, du0, dv0, s, lanes);
    } else {
        if (n < 8 || (Blend && s.alpha > 32) || !lanes) return rot_each(d, u0, v0, n, du0, dv0, s, lanes);
        const uint32_t u = uint32_t(u0), v = uint32_t(v0), du = uint32_t(du0), dv = uint32_t(dv0);
        U16x8 last, out;
        const uint32_t back = uint32_t(n - 8);
        rot_eight<Fetch, S, Keyed, Blend>(d + n - 8, u + back * du, v + back * dv, du, dv, s, last);
        for (int i = 0; i + 8 < n; i += 8) {
            rot_eight<Fetch, S, Keyed, Blend>(d + i, u + uint32_t(i) * du, v + uint32_t(i) * dv, du, dv, s, out);
            zk_vstore(d + i, out);
        }
        zk_vstore(d + n - 8, last);
    }
}

// ---------------------------------------------------------------- the row walk
template <class Fetch, typename Pixel, bool Keyed, bool Blend>
ZK_INLINE void rot_blit(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                        int angle, int zoom) {
    const RotSetup set = zk_rot_setup(x, y, width, height, angle, zoom);
    zk_store_rot(set);
    const ZkClip& clip = set.clip;
    if (clip.firstRow >= clip.endRow || width <= 0 || height <= 0) return;
    const int64_t cs = set.rotCos, sn = set.rotSin;
    int64_t u0 = set.rotU + clip.firstColumn * cs;  // the row's first point
    int64_t v0 = set.rotV + clip.firstColumn * sn;
    // Only rows between the image's corners can hold a sample inside it;
    // the others draw nothing and are not walked. A source point (u, v)
    // lies ((v - v0) cs - (u - u0) sn) / (cs^2 + sn^2) rows below the first;
    // a row's margin each side covers the rounding.
    int64_t firstRow = clip.firstRow, endRow = clip.endRow;
    if (cs != 0 || sn != 0) {
        const double norm = double(cs) * double(cs) + double(sn) * double(sn);
        double low = 1e300, high = -1e300;
        for (const int64_t cu : {int64_t(0), int64_t(width) << 16})
            for (const int64_t cv : {int64_t(0), int64_t(height) << 16}) {
                const double row = (double(cv - v0) * double(cs) - double(cu - u0) * double(sn)) / norm;
                low = std::min(low, row), high = std::max(high, row);
            }
        const double rows = double(endRow - firstRow);
        const int64_t skip = int64_t(std::clamp(std::floor(low) - 1, 0.0, rows));
        endRow = firstRow + int64_t(std::clamp(std::ceil(high) + 2, 0.0, rows));
        firstRow += skip, u0 -= skip * sn, v0 += skip * cs;
    }
    Axis au(cs, set.cosInv, width, u0, -sn);
    Axis av(sn, set.sinInv, height, v0, cs);
    const RotSampler<Pixel, Keyed, Blend> s{static_cast<const Pixel*>(pixels), palette, zk_transpcolor,
                                            uint32_t(alpha), uint32_t(width)};
    // Coordinates fit 32-bit lanes and element numbers the gathers' signed
    // indices; a gather reads 4 bytes, which the picture must hold.
    const int64_t elements = int64_t(width) * height;
    const bool lanes = width < 65536 && height < 65536 && elements < (int64_t(1) << 31) &&
                       elements * int64_t(sizeof(Pixel)) >= 4;
    for (int64_t j = firstRow; j < endRow; ++j, u0 -= sn, v0 += cs, au.next_row(), av.next_row()) {
        // Entry: jump to where the line meets the image, then at most two
        // single steps to get over the rounding of the jump.
        int64_t t = 0, u = u0, v = v0;
        if (!au.inside(u) || !av.inside(v)) {
            t = std::max(au.entry(u0), av.entry(v0));
            u += t * cs, v += t * sn;
            for (int k = 0; k < 2 && !(au.inside(u) && av.inside(v)); ++k) u += cs, v += sn, ++t;
            if (!au.inside(u) || !av.inside(v)) continue;
        }
        // Exit: the columns until the line leaves the image or the box.
        const int64_t col = clip.firstColumn + t;
        const int64_t n = std::min({au.exit(u, t), av.exit(v, t), clip.endColumn - col});
        if (n <= 0) continue;
        uint16_t* d = zk_buffer + (set.boxTop + j) * ZK_WIDTH + set.boxLeft + col;
        // Every sample of the stretch is inside: 0 <= u < width << 16 and
        // 0 <= v < height << 16.
        rot_row<Fetch, decltype(s), Keyed, Blend>(d, u, v, int(n), cs, sn, s, lanes);
    }
}

// Builds: level 0 sample by sample; level 1 and up on AVX2, with gathers for
// 16-bit images and sample by sample for 8-bit ones (see ZkFetchEach).
template <typename Pixel, bool Keyed, bool Blend>
void rot_level0(const void* p, const uint16_t* pal, int w, int h, int x, int y, int a, int angle, int zoom) {
    rot_blit<ZkFetchEach, Pixel, Keyed, Blend>(p, pal, w, h, x, y, a, angle, zoom);
}
template <typename Pixel, bool Keyed, bool Blend>
__attribute__((flatten)) ZK_TARGET_WIDE void rot_level1(const void* p, const uint16_t* pal, int w, int h, int x,
                                                        int y, int a, int angle, int zoom) {
#if ZK_HAVE_WIDE
    using Fetch = std::conditional_t<sizeof(Pixel) == 2, ZkFetchGather, ZkFetchEach>;
#else
    using Fetch = ZkFetchEach;
#endif
    rot_blit<Fetch, Pixel, Keyed, Blend>(p, pal, w, h, x, y, a, angle, zoom);
}

template <typename Pixel, bool Keyed, bool Blend>
void rot(const void* p, const uint16_t* pal, int w, int h, int x, int y, int a, int angle, int zoom) {
    if (zk_blit_level >= 1)
        rot_level1<Pixel, Keyed, Blend>(p, pal, w, h, x, y, a, angle, zoom);
    else
        rot_level0<Pixel, Keyed, Blend>(p, pal, w, h, x, y, a, angle, zoom);
}

}  // namespace

void ZK_8bitRot(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha, int angle,
                int zoom) {
    rot<uint8_t, true, false>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_8bitRotFull(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                    int angle, int zoom) {
    rot<uint8_t, false, false>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_8bitRotAlpha(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                     int angle, int zoom) {
    rot<uint8_t, true, true>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_8bitRotAlphaFull(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                         int angle, int zoom) {
    rot<uint8_t, false, true>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_16bitRot(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                 int angle, int zoom) {
    rot<uint16_t, true, false>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_16bitRotFull(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                     int angle, int zoom) {
    rot<uint16_t, false, false>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_16bitRotAlpha(const void* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha,
                      int angle, int zoom) {
    rot<uint16_t, true, true>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}
void ZK_16bitRotAlphaFull(const void* pixels, const uint16_t* palette, int width, int height, int x, int y,
                          int alpha, int angle, int zoom) {
    rot<uint16_t, false, true>(pixels, palette, width, height, x, y, alpha, angle, zoom);
}

const ZK_RotBlitter ZK_CopyRot[8] = {ZK_8bitRot,  ZK_8bitRotFull,  ZK_8bitRotAlpha,  ZK_8bitRotAlphaFull,
                                     ZK_16bitRot, ZK_16bitRotFull, ZK_16bitRotAlpha, ZK_16bitRotAlphaFull};
