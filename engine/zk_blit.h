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

#include "ZKlib.h"
#include "zk_blend.h"

#if defined(__GNUC__)
#define ZK_INLINE inline __attribute__((always_inline))
#else
#define ZK_INLINE inline
#endif

// ---------------------------------------------------------------- sources
struct ZkFrom16 {
    using T = uint16_t;
    uint16_t key;  // the transparent value of the keyed routines
    ZK_INLINE uint16_t colour(T v) const { return v; }
    ZK_INLINE bool transparent(T v) const { return v == key; }
};

struct ZkFrom8 {
    using T = uint8_t;
    const uint16_t* palette;
    ZK_INLINE uint16_t colour(T v) const { return palette[v]; }
    ZK_INLINE static bool transparent(T v) { return v == 0; }
};

// ---------------------------------------------------------------- operations
struct ZkStore {
    static constexpr bool blends = false;
    ZK_INLINE uint16_t operator()(uint16_t s, uint16_t) const { return s; }
};

struct ZkBlend {
    static constexpr bool blends = true;
    uint32_t alpha;  // any value; 0 leaves the pixel, 32 gives the source
    ZK_INLINE uint16_t operator()(uint16_t s, uint16_t d) const { return zk_blend(s, d, alpha); }
};

// ---------------------------------------------------------------- spans
// One row segment of n pixels, source read left to right.
template <class Src, class Op>
ZK_INLINE void zk_span(uint16_t* __restrict d, const typename Src::T* __restrict s, int n, const Src& src,
                       const Op& op) {
    if constexpr (std::is_same_v<Src, ZkFrom16> && !Op::blends) {
        std::memcpy(d, s, size_t(n) * sizeof(uint16_t));
    } else {
        for (int i = 0; i < n; ++i) d[i] = op(src.colour(s[i]), d[i]);
    }
}

// One keyed row segment of n pixels: transparent source values are skipped.
// With Mirror the source is read from s downward (s, s - 1, ...).
template <bool Mirror, class Src, class Op>
ZK_INLINE void zk_keyed_span(uint16_t* __restrict d, const typename Src::T* __restrict s, int n, const Src& src,
                             const Op& op) {
    for (int i = 0; i < n; ++i) {
        const typename Src::T v = Mirror ? s[-i] : s[i];
        if (!src.transparent(v)) d[i] = op(src.colour(v), d[i]);
    }
}

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
template <class Src, class Op>
void zk_copy_plain(const typename Src::T* pixels, const Src& src, int width, int height, int x, int y,
                   const Op& op) {
    ZkRect r;
    if (!zk_clip(x, y, width, height, r)) return;
    const int n = r.endColumn - r.firstColumn;
    uint16_t* d = zk_dest(x + r.firstColumn, y + r.firstRow);
    const typename Src::T* s = pixels + ptrdiff_t(r.firstRow) * width + r.firstColumn;
    for (int row = r.firstRow; row < r.endRow; ++row, d += ZK_WIDTH, s += width) zk_span(d, s, n, src, op);
}

// Pixels skipped by the run list. Each line's counts alternate transparent
// and opaque, start with a transparent count and add up to the width; the
// list ends in four 0xFF bytes, because a line may read up to two bytes past
// its last count before it sees that it is done.
template <class Src, class Op>
void zk_copy_runs(const typename Src::T* pixels, const Src& src, const uint8_t* runs, const uint16_t* lineOffsets,
                  int width, int height, int x, int y, const Op& op) {
    ZkRect r;
    if (!zk_clip(x, y, width, height, r)) return;
    const int first = r.firstColumn, end = r.endColumn;
    uint16_t* d = zk_dest(x, y + r.firstRow);
    const typename Src::T* s = pixels + ptrdiff_t(r.firstRow) * width;
    for (int row = r.firstRow; row < r.endRow; ++row, d += ZK_WIDTH, s += width) {
        const uint8_t* p = runs + lineOffsets[row];
        int pos = *p++;  // the column where the first opaque run begins
        int start, length;
        if (pos >= first) {
            start = pos;
            length = *p++;
        } else {
            // Walk the counts up to the first visible column.
            for (;;) {
                pos += *p++;  // opaque count
                if (pos >= first) {
                    start = first;
                    length = pos - first;
                    break;
                }
                pos += *p++;  // transparent count
                if (pos >= first) {
                    start = pos;
                    length = *p++;
                    break;
                }
            }
        }
        while (start < end) {
            const int stop = start + length < end ? start + length : end;
            zk_span(d + start, s + start, stop - start, src, op);
            start = stop + p[0];
            length = p[1];
            p += 2;
        }
    }
}

// Per-pixel key test, with mirroring over the visible source range: buffer
// column x + c shows source column firstColumn + endColumn - 1 - c when
// mirrored, and rows likewise.
template <bool MirrorX, class Src, class Op>
void zk_copy_keyed_rows(const typename Src::T* pixels, const Src& src, int width, const ZkRect& r, int x, int y,
                        bool mirrorY, const Op& op) {
    const int n = r.endColumn - r.firstColumn;
    uint16_t* d = zk_dest(x + r.firstColumn, y + r.firstRow);
    const int startColumn = MirrorX ? r.endColumn - 1 : r.firstColumn;
    const int startRow = mirrorY ? r.endRow - 1 : r.firstRow;
    const ptrdiff_t rowStep = mirrorY ? -ptrdiff_t(width) : ptrdiff_t(width);
    const typename Src::T* s = pixels + ptrdiff_t(startRow) * width + startColumn;
    for (int row = r.firstRow; row < r.endRow; ++row, d += ZK_WIDTH, s += rowStep)
        zk_keyed_span<MirrorX>(d, s, n, src, op);
}

template <class Src, class Op>
void zk_copy_keyed(const typename Src::T* pixels, const Src& src, int width, int height, int x, int y, bool mirrorX,
                   bool mirrorY, const Op& op) {
    ZkRect r;
    if (!zk_clip(x, y, width, height, r)) return;
    if (mirrorX)
        zk_copy_keyed_rows<true>(pixels, src, width, r, x, y, mirrorY, op);
    else
        zk_copy_keyed_rows<false>(pixels, src, width, r, x, y, mirrorY, op);
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
void zk_copy_letter(const uint16_t* masks, const Colour& colour, int width, int height, int x, int y, const Op& op) {
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
