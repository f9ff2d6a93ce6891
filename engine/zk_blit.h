// The shared inner loops of the upright blitters.
//
// Every family (plain copy, run-list copy, keyed and mirrored copy, letters)
// is one template over a source format and a pixel operation:
//   - source: ZkFrom16 (RGB565 values) or ZkFrom8 (byte indices into a
//     256-entry RGB565 palette);
//   - operation: ZkStore (alpha 32, the source colour replaces the pixel) or
//     ZkBlend (any other alpha, the one RGB565 blend of zk_blend.h).
// The ZK_ routines in zk_buffer.cpp are thin entry points that clip once and
// pick an instantiation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "ZKlib.h"
#include "zk_blend.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#if defined(__GNUC__)
#define ZK_INLINE inline __attribute__((always_inline))
#else
#define ZK_INLINE inline
#endif

// ---------------------------------------------------------------- builds
// On x86 the families are built three times: for the 16-byte vectors every
// x86-64 processor has (level 0), for AVX2 (level 1), and for AVX2 with
// AVX-512BW palette lookups (level 2). zk_blit_level is the highest level the
// processor runs; tests lower it to run the other builds too.
#if defined(__x86_64__) || defined(__i386__)
#define ZK_HAVE_WIDE 1
#define ZK_TARGET_WIDE __attribute__((target("avx2")))
#define ZK_TARGET_512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))
#else
#define ZK_HAVE_WIDE 0
#define ZK_TARGET_WIDE
#define ZK_TARGET_512
#endif
extern int zk_blit_level;

// ---------------------------------------------------------------- sources
struct ZkFrom16 {
    using T = uint16_t;
    uint16_t key;  // the transparent value of the keyed routines
    ZK_INLINE uint16_t colour(T v) const { return v; }
};

struct ZkFrom8 {
    using T = uint8_t;
    const uint16_t* palette;
    ZK_INLINE uint16_t colour(T v) const { return palette[v]; }
    ZK_INLINE void lookup(uint16_t* d, const uint8_t* s, int n) const;  // n colours into d
};

// ---------------------------------------------------------------- operations
struct ZkStore {
    static constexpr bool blends = false;
    static constexpr uint32_t alpha = 32;
    ZK_INLINE uint16_t operator()(uint16_t s, uint16_t) const { return s; }
};

struct ZkBlend {
    static constexpr bool blends = true;
    uint32_t alpha;  // any value; 0 leaves the pixel, 32 gives the source
    ZK_INLINE uint16_t operator()(uint16_t s, uint16_t d) const { return zk_blend(s, d, alpha); }
};

// ---------------------------------------------------------------- vectors
// Row spans run on vectors of N 16-bit lanes: N = 8 everywhere (16 bytes),
// N = 16 in the kernels built for AVX2 (levels 1 and 2). Vectors move through
// memory and references only, never by value, so the 32-byte type never
// crosses a function boundary of code built without AVX.
template <int N>
struct ZkVec;
template <>
struct ZkVec<8> {
    typedef uint16_t U __attribute__((vector_size(16)));
    typedef int16_t I __attribute__((vector_size(16)));
    typedef uint8_t B __attribute__((vector_size(8)));  // as many bytes
};
template <>
struct ZkVec<16> {
    typedef uint16_t U __attribute__((vector_size(32)));
    typedef int16_t I __attribute__((vector_size(32)));
    typedef uint8_t B __attribute__((vector_size(16)));
};

template <class V>
ZK_INLINE void zk_vload(V& v, const uint16_t* p) {
    std::memcpy(&v, p, sizeof v);
}
template <class V>
ZK_INLINE void zk_vstore(uint16_t* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

// The lanes of v put in reverse order; Lanes is how many v has. The
// 16-byte forms are spelled out for the builds without byte shuffles.
template <int Lanes, class V, size_t... L>
ZK_INLINE void zk_reverse(V& v, std::index_sequence<L...>) {
    v = __builtin_shufflevector(v, v, (Lanes - 1 - int(L))...);
}
template <int Lanes, class V>
ZK_INLINE void zk_reverse(V& v) {
#if ZK_HAVE_WIDE
    if constexpr (sizeof(V) == 16 && Lanes == 8) {
        __m128i x;
        std::memcpy(&x, &v, 16);
        x = _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0x1B), 0x1B), 0x4E);
        std::memcpy(&v, &x, 16);
        return;
    }
#endif
    if constexpr (sizeof(V) == 8) {
        uint64_t x;
        std::memcpy(&x, &v, 8);
        x = __builtin_bswap64(x);
        std::memcpy(&v, &x, 8);
    } else {
        zk_reverse<Lanes>(v, std::make_index_sequence<Lanes>());
    }
}

// The blend per channel, d + floor((s - d) * a / 32), for a in 0..32, where
// it equals zk_blend exactly; the products stay within 16 bits.
template <int N>
ZK_INLINE void zk_vblend(typename ZkVec<N>::U& d, const typename ZkVec<N>::U& s, int16_t a) {
    using U = typename ZkVec<N>::U;
    using I = typename ZkVec<N>::I;
    const I sb = (I)(s & 31), db = (I)(d & 31);
    const I sg = (I)((s >> 5) & 63), dg = (I)((d >> 5) & 63);
    const I sr = (I)(s >> 11), dr = (I)(d >> 11);
    const I rb = db + (((sb - db) * a) >> 5);
    const I rg = dg + (((sg - dg) * a) >> 5);
    const I rr = dr + (((sr - dr) * a) >> 5);
    d = ((U)rr << 11) | ((U)rg << 5) | (U)rb;
}

// ---------------------------------------------------------------- spans
// n pixels copied. Short spans (sprite rows and runs) are moved inline by at
// most four vectors, the last ones overlapping the first; long ones go to
// memcpy.
template <int N>
ZK_INLINE void zk_copy16(uint16_t* __restrict d, const uint16_t* __restrict s, int n) {
    using U = typename ZkVec<N>::U;
    if (n >= 4 * N) {
        std::memcpy(d, s, size_t(n) * sizeof(uint16_t));
    } else if (n >= 2 * N) {
        U a, b, c, e;
        zk_vload(a, s), zk_vload(b, s + N), zk_vload(c, s + n - 2 * N), zk_vload(e, s + n - N);
        zk_vstore(d, a), zk_vstore(d + N, b), zk_vstore(d + n - 2 * N, c), zk_vstore(d + n - N, e);
    } else if (n >= N) {
        U a, b;
        zk_vload(a, s), zk_vload(b, s + n - N);
        zk_vstore(d, a), zk_vstore(d + n - N, b);
    } else if constexpr (N > 8) {
        zk_copy16<8>(d, s, n);
    } else if (n >= 4) {
        uint64_t a, b;
        std::memcpy(&a, s, 8), std::memcpy(&b, s + n - 4, 8);
        std::memcpy(d, &a, 8), std::memcpy(d + n - 4, &b, 8);
    } else if (n >= 2) {
        uint32_t a, b;
        std::memcpy(&a, s, 4), std::memcpy(&b, s + n - 2, 4);
        std::memcpy(d, &a, 4), std::memcpy(d + n - 2, &b, 4);
    } else if (n == 1) {
        d[0] = s[0];
    }
}

// n palette colours looked up, eight per step; the last step overlaps the one
// before it (storing the same colours again) instead of a loop over the rest.
ZK_INLINE void zk_lookup8(uint16_t* __restrict d, const uint8_t* __restrict s, const uint16_t* __restrict palette) {
    const uint16_t c0 = palette[s[0]], c1 = palette[s[1]], c2 = palette[s[2]], c3 = palette[s[3]];
    const uint16_t c4 = palette[s[4]], c5 = palette[s[5]], c6 = palette[s[6]], c7 = palette[s[7]];
    d[0] = c0, d[1] = c1, d[2] = c2, d[3] = c3, d[4] = c4, d[5] = c5, d[6] = c6, d[7] = c7;
}
ZK_INLINE void zk_lookup(uint16_t* __restrict d, const uint8_t* __restrict s, const uint16_t* __restrict palette,
                         int n) {
    if (n >= 8) {
        if (n > 16)
            for (int i = 0; i + 8 < n - 8; i += 8) zk_lookup8(d + i + 8, s + i + 8, palette);
        zk_lookup8(d, s, palette);
        zk_lookup8(d + n - 8, s + n - 8, palette);
    } else if (n >= 4) {
        const uint16_t c0 = palette[s[0]], c1 = palette[s[1]], c2 = palette[s[2]], c3 = palette[s[3]];
        const uint16_t e0 = palette[s[n - 4]], e1 = palette[s[n - 3]], e2 = palette[s[n - 2]], e3 = palette[s[n - 1]];
        d[0] = c0, d[1] = c1, d[2] = c2, d[3] = c3;
        d[n - 4] = e0, d[n - 3] = e1, d[n - 2] = e2, d[n - 1] = e3;
    } else if (n > 0) {
        const uint16_t c0 = palette[s[0]], c1 = palette[s[n >> 1]], c2 = palette[s[n - 1]];
        d[0] = c0, d[n >> 1] = c1, d[n - 1] = c2;
    }
}

ZK_INLINE void ZkFrom8::lookup(uint16_t* d, const uint8_t* s, int n) const { zk_lookup(d, s, palette, n); }

#if ZK_HAVE_WIDE
// The palette held in eight 512-bit registers: 32 indices at a time pick
// their colours with four two-register word permutes (64 entries each) and
// two blends on index bits 6 and 7. Loads and stores of a partial step are
// masked, so nothing outside the span is touched.
struct ZkFrom8x512 {
    using T = uint8_t;
    const uint16_t* palette;
    __m512i t[8];  // loaded once per call
    inline ZK_TARGET_512 static void make(ZkFrom8x512& f, const uint16_t* palette) {
        f.palette = palette;
        for (int k = 0; k < 8; ++k) f.t[k] = _mm512_loadu_si512(palette + 32 * k);
    }
    ZK_INLINE uint16_t colour(T v) const { return palette[v]; }
    // Not forced inline: only code built for AVX-512 may take it in, which the
    // flattened level-2 entry points do.
    inline ZK_TARGET_512 void lookup(uint16_t* d, const uint8_t* s, int n) const {
        const __m512i bit6 = _mm512_set1_epi16(64), bit7 = _mm512_set1_epi16(128);
        for (int i = 0; i < n; i += 32) {
            const int m = n - i < 32 ? n - i : 32;
            const __mmask32 k = _cvtu32_mask32(m == 32 ? ~0u : (1u << m) - 1u);
            const __m512i idx = _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(k, s + i));
            const __m512i r0 = _mm512_permutex2var_epi16(t[0], idx, t[1]);
            const __m512i r1 = _mm512_permutex2var_epi16(t[2], idx, t[3]);
            const __m512i r2 = _mm512_permutex2var_epi16(t[4], idx, t[5]);
            const __m512i r3 = _mm512_permutex2var_epi16(t[6], idx, t[7]);
            const __mmask32 b6 = _mm512_test_epi16_mask(idx, bit6), b7 = _mm512_test_epi16_mask(idx, bit7);
            const __m512i lo = _mm512_mask_blend_epi16(b6, r0, r1), hi = _mm512_mask_blend_epi16(b6, r2, r3);
            _mm512_mask_storeu_epi16(d + i, k, _mm512_mask_blend_epi16(b7, lo, hi));
        }
    }
};
#endif


// n pixels blended toward the colours that load(v, i) gives for pixels
// i..i+N-1. The last vector is computed first, from the buffer as it was, so
// that it may overlap the one before it.
template <int N, class Load>
ZK_INLINE void zk_blend_span(uint16_t* __restrict d, int n, uint32_t alpha, const Load& load) {
    using U = typename ZkVec<N>::U;
    if (alpha <= 32 && n >= N) {
        const int16_t a = int16_t(alpha);
        U ts, td;
        load(ts, n - N);
        zk_vload(td, d + n - N);
        zk_vblend<N>(td, ts, a);
        U vs{}, vd{};
        for (int i = 0; i + N < n; i += N) {
            load(vs, i);
            zk_vload(vd, d + i);
            zk_vblend<N>(vd, vs, a);
            zk_vstore(d + i, vd);
        }
        zk_vstore(d + n - N, td);
        return;
    }
    if constexpr (N > 8) {
        if (alpha <= 32 && n >= 8) return zk_blend_span<8>(d, n, alpha, load);
    }
    // Short spans, and weights beyond 32 (which wrap as the 32-bit recipe
    // does): one pixel at a time.
    for (int i = 0; i < n; ++i) d[i] = zk_blend(load.colour(i), d[i], alpha);
}

// The source of zk_blend_span: a row of RGB565 values.
struct ZkLoad16 {
    const uint16_t* s;
    template <class V>
    ZK_INLINE void operator()(V& v, int i) const {
        zk_vload(v, s + i);
    }
    ZK_INLINE uint16_t colour(int i) const { return s[i]; }
};

// One row segment of n pixels, source read left to right.
template <int N, class Src, class Op>
ZK_INLINE void zk_span(uint16_t* __restrict d, const typename Src::T* __restrict s, int n, const Src& src,
                       const Op& op) {
    if constexpr (std::is_same_v<Src, ZkFrom16>) {
        if constexpr (Op::blends)
            zk_blend_span<N>(d, n, op.alpha, ZkLoad16{s});
        else
            zk_copy16<N>(d, s, n);
    } else {
        if constexpr (Op::blends) {
            // Colours first, then the blend on whole vectors; a visible span
            // is never wider than the screen.
            uint16_t colours[ZK_WIDTH];
            for (int done = 0; done < n; done += ZK_WIDTH) {
                const int m = n - done < ZK_WIDTH ? n - done : ZK_WIDTH;
                src.lookup(colours, s + done, m);
                zk_blend_span<N>(d + done, m, op.alpha, ZkLoad16{colours});
            }
        } else {
            src.lookup(d, s, n);
        }
    }
}

// ---------------------------------------------------------------- masked rows
// A row of n pixels some of which are transparent: vectors of colours, a
// vector of lanes to keep (0xFFFF) beside each, the buffer loaded and the
// drawn lanes merged in. As with zk_blend_span, the last vector is worked out
// first, from the buffer as it was, so that it may overlap the one before it.
//
// Colours come from a row of RGB565 values read forward from p or, for a
// mirrored row, backward (p, p - 1, ...).
template <bool Back>
struct ZkRow16 {
    const uint16_t* p;
    template <class V>
    ZK_INLINE void operator()(V& v, int i) const {
        if constexpr (Back) {
            zk_vload(v, p - i - (int(sizeof(V) / 2) - 1));
            zk_reverse<sizeof(V) / 2>(v);
        } else {
            zk_vload(v, p + i);
        }
    }
    ZK_INLINE uint16_t at(int i) const { return Back ? p[-i] : p[i]; }
};

// Lanes to keep: those holding the key colour.
struct ZkClearKey {
    uint16_t key;
    template <class V>
    ZK_INLINE void operator()(V& keep, const V& colour, int) const {
        keep = (V)(colour == key);
    }
    ZK_INLINE bool at(uint16_t colour, int) const { return colour == key; }
};

// Lanes to keep: those whose palette index is 0, read like ZkRow16.
template <bool Back>
struct ZkClearIndex0 {
    const uint8_t* p;
    template <class V>
    ZK_INLINE void operator()(V& keep, const V&, int i) const {
        constexpr int N = sizeof(V) / 2;
        typename ZkVec<N>::B b;
        if constexpr (Back) {
            std::memcpy(&b, p - i - (N - 1), sizeof b);
            zk_reverse<N>(b);
        } else {
            std::memcpy(&b, p + i, sizeof b);
        }
        keep = (V)(__builtin_convertvector(b, V) == 0);
    }
    ZK_INLINE bool at(uint16_t, int i) const { return (Back ? p[-i] : p[i]) == 0; }
};

template <int N, class Colours, class Clear, class Op>
ZK_INLINE void zk_masked_vec(const uint16_t* d, int i, const Colours& colours, const Clear& clear, const Op& op,
                             typename ZkVec<N>::U& out) {
    using U = typename ZkVec<N>::U;
    U colour, keep;
    colours(colour, i);
    clear(keep, colour, i);
    zk_vload(out, d + i);
    U drawn = colour;
    if constexpr (Op::blends) {
        drawn = out;
        zk_vblend<N>(drawn, colour, int16_t(op.alpha));
    }
    out = (out & keep) | (drawn & ~keep);
}

template <int N, class Colours, class Clear, class Op>
ZK_INLINE void zk_masked_row(uint16_t* __restrict d, int n, const Colours& colours, const Clear& clear, const Op& op) {
    using U = typename ZkVec<N>::U;
    const bool vectors = !Op::blends || op.alpha <= 32;
    if (vectors && n >= N) {
        U last, out;
        zk_masked_vec<N>(d, n - N, colours, clear, op, last);
        for (int i = 0; i + N < n; i += N) {
            zk_masked_vec<N>(d, i, colours, clear, op, out);
            zk_vstore(d + i, out);
        }
        zk_vstore(d + n - N, last);
        return;
    }
    if constexpr (N > 8) {
        if (vectors && n >= 8) return zk_masked_row<8>(d, n, colours, clear, op);
    }
    for (int i = 0; i < n; ++i) {
        const uint16_t c = colours.at(i);
        if (!clear.at(c, i)) d[i] = op(c, d[i]);
    }
}

// One masked row of n pixels from an 8-bit or a 16-bit source read forward
// from s or backward; an 8-bit row is looked up first, from the lowest
// source address.
template <int N, bool Back, class Src, class Clear, class Op>
ZK_INLINE void zk_masked_source_row(uint16_t* __restrict d, const typename Src::T* __restrict s, int n,
                                    const Src& src, const Clear& clear, const Op& op) {
    if constexpr (std::is_same_v<typename Src::T, uint16_t>) {
        zk_masked_row<N>(d, n, ZkRow16<Back>{s}, clear, op);
    } else {
        uint16_t colours[ZK_WIDTH];  // a visible row is never wider than the screen
        src.lookup(colours, Back ? s - (n - 1) : s, n);
        zk_masked_row<N>(d, n, ZkRow16<Back>{Back ? colours + n - 1 : colours}, clear, op);
    }
}

// ---------------------------------------------------------------- clipping
// The clip of ZK_AdjustCopyLimits in full width: what zk_limits holds, before
// each value is saturated to 16 bits.
struct ZkClip {
    int64_t firstColumn, firstRow, endColumn, endRow;
};
ZkClip zk_clip_wide(int64_t x, int64_t y, int64_t width, int64_t height);
void zk_store_limits(const ZkClip& clip);

// ---------------------------------------------------------------- families
// The visible rectangle of the last clip, or false when it is empty.
struct ZkRect {
    int firstColumn, firstRow, endColumn, endRow;
};

ZK_INLINE bool zk_clip(int x, int y, int width, int height, ZkRect& r) {
    ZK_AdjustCopyLimits(x, y, width, height);
    r = {zk_limits.firstColumn, zk_limits.firstRow, zk_limits.endColumn, zk_limits.endRow};
    return r.firstRow < r.endRow && r.firstColumn < r.endColumn;
}

ZK_INLINE uint16_t* zk_dest(int x, int y) { return zk_buffer + ptrdiff_t(y) * ZK_WIDTH + x; }

// Every visible pixel drawn, no transparency.
template <int N, class Src, class Op>
ZK_INLINE void zk_copy_plain(const typename Src::T* pixels, const Src& src, int width, int height, int x, int y,
                   const Op& op) {
    ZkRect r;
    if (!zk_clip(x, y, width, height, r)) return;
    const int n = r.endColumn - r.firstColumn;
    uint16_t* d = zk_dest(x + r.firstColumn, y + r.firstRow);
    const typename Src::T* s = pixels + ptrdiff_t(r.firstRow) * width + r.firstColumn;
    for (int row = r.firstRow; row < r.endRow; ++row, d += ZK_WIDTH, s += width) zk_span<N>(d, s, n, src, op);
}

// Pixels skipped by the run list. Each line's counts alternate transparent
// and opaque, start with a transparent count and add up to the width; the
// list ends in four 0xFF bytes. A line's counts are read only until its
// visible columns are done, and every run is cut to them, at both ends: a
// caller's line whose counts add up past its width draws nothing past the
// clip (or the buffer).
template <int N, class Src, class Op>
ZK_INLINE void zk_copy_runs(const typename Src::T* pixels, const Src& src, const uint8_t* runs, const uint16_t* lineOffsets,
                  int width, int height, int x, int y, const Op& op) {
    ZkRect r;
    if (!zk_clip(x, y, width, height, r)) return;
    const int first = r.firstColumn, end = r.endColumn;
    uint16_t* d = zk_dest(x, y + r.firstRow);
    const typename Src::T* s = pixels + ptrdiff_t(r.firstRow) * width;
    for (int row = r.firstRow; row < r.endRow; ++row, d += ZK_WIDTH, s += width) {
        const uint8_t* p = runs + lineOffsets[row];
        for (int pos = *p++; pos < end;) {
            const int length = *p++;
            const int a = pos > first ? pos : first, b = pos + length < end ? pos + length : end;
            if (a < b) zk_span<N>(d + a, s + a, b - a, src, op);
            pos += length;
            if (pos >= end) break;
            pos += *p++;
        }
    }
}

// Per-pixel key test, with mirroring over the visible source range: buffer
// column x + c shows source column firstColumn + endColumn - 1 - c when
// mirrored, and rows likewise.
template <int N, bool MirrorX, class Src, class Op>
ZK_INLINE void zk_copy_keyed_rows(const typename Src::T* pixels, const Src& src, int width, const ZkRect& r, int x,
                                  int y, bool mirrorY, const Op& op) {
    const int n = r.endColumn - r.firstColumn;
    uint16_t* d = zk_dest(x + r.firstColumn, y + r.firstRow);
    const int startColumn = MirrorX ? r.endColumn - 1 : r.firstColumn;
    const int startRow = mirrorY ? r.endRow - 1 : r.firstRow;
    const ptrdiff_t rowStep = mirrorY ? -ptrdiff_t(width) : ptrdiff_t(width);
    const typename Src::T* s = pixels + ptrdiff_t(startRow) * width + startColumn;
    for (int row = r.firstRow; row < r.endRow; ++row, d += ZK_WIDTH, s += rowStep) {
        if constexpr (std::is_same_v<typename Src::T, uint16_t>)
            zk_masked_source_row<N, MirrorX>(d, s, n, src, ZkClearKey{src.key}, op);
        else
            zk_masked_source_row<N, MirrorX>(d, s, n, src, ZkClearIndex0<MirrorX>{s}, op);
    }
}

template <int N, class Src, class Op>
ZK_INLINE void zk_copy_keyed(const typename Src::T* pixels, const Src& src, int width, int height, int x, int y,
                             bool mirrorX, bool mirrorY, const Op& op) {
    ZkRect r;
    if (!zk_clip(x, y, width, height, r)) return;
    if (mirrorX)
        zk_copy_keyed_rows<N, true>(pixels, src, width, r, x, y, mirrorY, op);
    else
        zk_copy_keyed_rows<N, false>(pixels, src, width, r, x, y, mirrorY, op);
}

// Letters: k is the colour of a pixel, m its mask word. Opaque: the mask's bits
// choose between buffer and colour bit by bit; otherwise a non-zero mask draws
// the pixel blended.
struct ZkLetterColours {  // colour plane followed by the mask plane
    const uint16_t* colours;
    ZK_INLINE uint16_t colour(ptrdiff_t i) const { return colours[i]; }
};
struct ZkLetterPlain {  // one colour for the letter
    uint16_t k;
    ZK_INLINE uint16_t colour(ptrdiff_t) const { return k; }
};

template <class Colour, class Op>
ZK_INLINE void zk_copy_letter(const uint16_t* masks, const Colour& colour, int width, int height, int x, int y, const Op& op) {
    ZkRect r;
    if (!zk_clip(x, y, width, height, r)) return;
    const int n = r.endColumn - r.firstColumn;
    uint16_t* d = zk_dest(x + r.firstColumn, y + r.firstRow);
    ptrdiff_t at = ptrdiff_t(r.firstRow) * width + r.firstColumn;
    for (int row = r.firstRow; row < r.endRow; ++row, d += ZK_WIDTH, at += width) {
        const uint16_t* m = masks + at;
        for (int i = 0; i < n; ++i) {
            const uint16_t k = colour.colour(at + i);
            if constexpr (Op::blends) {
                if (m[i] != 0) d[i] = op(k, d[i]);
            } else {
                d[i] = uint16_t((d[i] & ~m[i]) | (k & m[i]));
            }
        }
    }
}
