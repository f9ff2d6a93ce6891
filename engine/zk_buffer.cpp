// Clipped copy blitters and letter blitters: upright images copied into
// zk_buffer, clipped to the current window and the current sprite's own clip
// rectangle, stored (alpha 32) or blended.
#include <algorithm>

#include "ZKlib.h"
#include "zk_blit.h"

namespace {

// Clip results are kept as 16-bit values; positions far off-screen would wrap,
// so each end saturates instead. Both ends move the same way, so the range
// kept is never larger than the true one.
int16_t zk_sat16(int64_t v) { return int16_t(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

int zk_cpu_level() {
#if ZK_HAVE_WIDE
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) return 0;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl"))
        return 2;
    return 1;
#else
    return 0;
#endif
}

}  // namespace

int zk_blit_level = zk_cpu_level();

ZkClip zk_clip_wide(int64_t x, int64_t y, int64_t width, int64_t height) {
    const ClipWindow& w = zk_window[zk_curwindow & 15];
    // The buffer itself is never written outside: a window reaching past the
    // screen clips at the screen's edge.
    const int64_t left = std::max<int64_t>(w.left, 0);
    const int64_t top = std::max<int64_t>(w.top, 0);
    const int64_t right = std::min<int64_t>(w.right, ZK_WIDTH - 1);
    const int64_t bottom = std::min<int64_t>(w.bottom, ZK_HEIGHT - 1);
    ZkClip c{x < left ? left - x : 0, y < top ? top - y : 0, x + width > right ? right - x + 1 : width,
             y + height > bottom ? bottom - y + 1 : height};
    if (zk_cursprite >= 0 && zk_cursprite < 4096 && zk_sprites[zk_cursprite] != nullptr) {
        const Sprite* s = zk_sprites[zk_cursprite];
        c.firstColumn = std::max<int64_t>(c.firstColumn, s->clipLeft);
        c.firstRow = std::max<int64_t>(c.firstRow, s->clipTop);
        c.endColumn = std::min<int64_t>(c.endColumn, s->clipRight + 1);
        c.endRow = std::min<int64_t>(c.endRow, s->clipBottom + 1);
    }
    return c;
}

void zk_store_limits(const ZkClip& c) {
    zk_limits.firstColumn = zk_sat16(c.firstColumn);
    zk_limits.firstRow = zk_sat16(c.firstRow);
    zk_limits.endColumn = zk_sat16(c.endColumn);
    zk_limits.endRow = zk_sat16(c.endRow);
}

void ZK_AdjustCopyLimits(int x, int y, int width, int height) { zk_store_limits(zk_clip_wide(x, y, width, height)); }

// ---------------------------------------------------------------- the vectorised families
namespace {

ZK_INLINE void zk_make_from8(ZkFrom8& f, const uint16_t* palette) { f.palette = palette; }
#if ZK_HAVE_WIDE
ZK_INLINE void zk_make_from8(ZkFrom8x512& f, const uint16_t* palette) { ZkFrom8x512::make(f, palette); }
#endif


template <int N>
ZK_INLINE void fast16(const uint16_t* pixels, int width, int height, int x, int y, int alpha) {
    const ZkFrom16 src{zk_transpcolor};
    if (alpha != 32) return zk_copy_plain<N>(pixels, src, width, height, x, y, ZkBlend{uint32_t(alpha)});
    ZkRect r;
    if (!zk_clip(x, y, width, height, r)) return;
    if (r.firstColumn == 0 && r.endColumn == ZK_WIDTH && width == ZK_WIDTH) {
        // Whole rows: contiguous in source and buffer, one block copy.
        std::memcpy(zk_dest(x, y + r.firstRow), pixels + ptrdiff_t(r.firstRow) * ZK_WIDTH,
                    size_t(r.endRow - r.firstRow) * ZK_WIDTH * sizeof(uint16_t));
        return;
    }
    zk_copy_plain<N>(pixels, src, width, height, x, y, ZkStore{});
}

// The 8-bit builds take their palette source as a type: the scalar lookup,
// or the palette held in AVX-512 registers.
template <int N, class From8 = ZkFrom8>
ZK_INLINE void fast8(const uint8_t* pixels, const uint16_t* palette, int width, int height, int x, int y,
                     int alpha) {
    From8 src;
    zk_make_from8(src, palette);
    if (alpha == 32)
        zk_copy_plain<N>(pixels, src, width, height, x, y, ZkStore{});
    else
        zk_copy_plain<N>(pixels, src, width, height, x, y, ZkBlend{uint32_t(alpha)});
}

template <int N, class From8 = ZkFrom8>
ZK_INLINE void rle8(const uint8_t* pixels, const uint16_t* palette, const uint8_t* runs,
                    const uint16_t* lineOffsets, int width, int height, int x, int y, int alpha) {
    From8 src;
    zk_make_from8(src, palette);
    if (alpha == 32)
        zk_copy_runs<N>(pixels, src, runs, lineOffsets, width, height, x, y, ZkStore{});
    else
        zk_copy_runs<N>(pixels, src, runs, lineOffsets, width, height, x, y, ZkBlend{uint32_t(alpha)});
}

template <int N>
ZK_INLINE void rle16(const uint16_t* pixels, const uint8_t* runs, const uint16_t* lineOffsets, int width,
                     int height, int x, int y, int alpha) {
    const ZkFrom16 src{zk_transpcolor};
    if (alpha == 32)
        zk_copy_runs<N>(pixels, src, runs, lineOffsets, width, height, x, y, ZkStore{});
    else
        zk_copy_runs<N>(pixels, src, runs, lineOffsets, width, height, x, y, ZkBlend{uint32_t(alpha)});
}

template <int N>
ZK_INLINE void keyed16(const uint16_t* pixels, int width, int height, int x, int y, int alpha, int8_t flipX,
                       int8_t flipY) {
    const ZkFrom16 src{zk_transpcolor};
    if (alpha == 32)
        zk_copy_keyed<N>(pixels, src, width, height, x, y, flipX != 0, flipY != 0, ZkStore{});
    else
        zk_copy_keyed<N>(pixels, src, width, height, x, y, flipX != 0, flipY != 0, ZkBlend{uint32_t(alpha)});
}

template <int N, class From8 = ZkFrom8>
ZK_INLINE void keyed8(const uint8_t* pixels, const uint16_t* palette, int width, int height, int x, int y,
                      int alpha, int8_t flipX, int8_t flipY) {
    From8 src;
    zk_make_from8(src, palette);
    if (alpha == 32)
        zk_copy_keyed<N>(pixels, src, width, height, x, y, flipX != 0, flipY != 0, ZkStore{});
    else
        zk_copy_keyed<N>(pixels, src, width, height, x, y, flipX != 0, flipY != 0, ZkBlend{uint32_t(alpha)});
}

// level 0: 16-byte vectors; 1: AVX2; 2: AVX2 and, for 8-bit sources, the
// AVX-512 palette lookup.
#if ZK_HAVE_WIDE
#define ZK_BUILD_512(name, from, params, args) \
    __attribute__((flatten)) ZK_TARGET_512 void name##_2 params { name<16, from> args; }
#else
#define ZK_BUILD_512(name, from, params, args) \
    void name##_2 params { name<8> args; }
#endif
#define ZK_BUILD(name, params, args) \
    void name##_0 params { name<8> args; } \
    ZK_TARGET_WIDE void name##_1 params { name<ZK_HAVE_WIDE ? 16 : 8> args; }
#define ZK_CALL(name, args) (zk_blit_level >= 2 ? name##_2 args : zk_blit_level == 1 ? name##_1 args : name##_0 args)

#define ZK_FAST16_PARAMS (const uint16_t* pixels, int width, int height, int x, int y, int alpha)
#define ZK_FAST16_ARGS (pixels, width, height, x, y, alpha)
#define ZK_FAST8_PARAMS \
    (const uint8_t* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha)
#define ZK_FAST8_ARGS (pixels, palette, width, height, x, y, alpha)
#define ZK_RLE8_PARAMS                                                                                            \
    (const uint8_t* pixels, const uint16_t* palette, const uint8_t* runs, const uint16_t* lineOffsets, int width, \
     int height, int x, int y, int alpha)
#define ZK_RLE8_ARGS (pixels, palette, runs, lineOffsets, width, height, x, y, alpha)
#define ZK_RLE16_PARAMS \
    (const uint16_t* pixels, const uint8_t* runs, const uint16_t* lineOffsets, int width, int height, int x, int y, int alpha)
#define ZK_RLE16_ARGS (pixels, runs, lineOffsets, width, height, x, y, alpha)
#define ZK_KEYED16_PARAMS \
    (const uint16_t* pixels, int width, int height, int x, int y, int alpha, int8_t flipX, int8_t flipY)
#define ZK_KEYED16_ARGS (pixels, width, height, x, y, alpha, flipX, flipY)
#define ZK_KEYED8_PARAMS                                                                                         \
    (const uint8_t* pixels, const uint16_t* palette, int width, int height, int x, int y, int alpha, int8_t flipX, \
     int8_t flipY)
#define ZK_KEYED8_ARGS (pixels, palette, width, height, x, y, alpha, flipX, flipY)

ZK_BUILD(fast16, ZK_FAST16_PARAMS, ZK_FAST16_ARGS)
void fast16_2 ZK_FAST16_PARAMS { fast16_1 ZK_FAST16_ARGS; }  // nothing to gain from AVX-512
ZK_BUILD(fast8, ZK_FAST8_PARAMS, ZK_FAST8_ARGS)
ZK_BUILD_512(fast8, ZkFrom8x512, ZK_FAST8_PARAMS, ZK_FAST8_ARGS)
ZK_BUILD(rle8, ZK_RLE8_PARAMS, ZK_RLE8_ARGS)
ZK_BUILD_512(rle8, ZkFrom8x512, ZK_RLE8_PARAMS, ZK_RLE8_ARGS)
ZK_BUILD(rle16, ZK_RLE16_PARAMS, ZK_RLE16_ARGS)
void rle16_2 ZK_RLE16_PARAMS { rle16_1 ZK_RLE16_ARGS; }
ZK_BUILD(keyed16, ZK_KEYED16_PARAMS, ZK_KEYED16_ARGS)
void keyed16_2 ZK_KEYED16_PARAMS { keyed16_1 ZK_KEYED16_ARGS; }
ZK_BUILD(keyed8, ZK_KEYED8_PARAMS, ZK_KEYED8_ARGS)
ZK_BUILD_512(keyed8, ZkFrom8x512, ZK_KEYED8_PARAMS, ZK_KEYED8_ARGS)

}  // namespace

void ZK_Copy16bitFastCopy(const uint16_t* pixels, int width, int height, int x, int y, int alpha) {
    if (alpha <= 0) return;
    ZK_CALL(fast16, ZK_FAST16_ARGS);
}

void ZK_Copy8bitFastCopy(const uint8_t* pixels, const uint16_t* palette, int width, int height, int x, int y,
                         int alpha) {
    if (alpha <= 0) return;
    ZK_CALL(fast8, ZK_FAST8_ARGS);
}

// No shortcut for alpha 0 or below: the blend runs and leaves the buffer as it
// was (or, below 0, does what the blend does with that weight).
void ZK_Copy8bitRLE(const uint8_t* pixels, const uint16_t* palette, const uint8_t* runs,
                    const uint16_t* lineOffsets, int width, int height, int x, int y, int alpha) {
    ZK_CALL(rle8, ZK_RLE8_ARGS);
}

void ZK_Copy16bitRLE(const uint16_t* pixels, const uint8_t* runs, const uint16_t* lineOffsets, int width,
                     int height, int x, int y, int alpha) {
    ZK_CALL(rle16, ZK_RLE16_ARGS);
}

void ZK_Copy16bitToScreen(const uint16_t* pixels, int width, int height, int x, int y, int alpha, int8_t flipX,
                          int8_t flipY) {
    if (alpha <= 0) return;
    ZK_CALL(keyed16, ZK_KEYED16_ARGS);
}

void ZK_Copy8bitToScreen(const uint8_t* pixels, const uint16_t* palette, int width, int height, int x, int y,
                         int alpha, int8_t flipX, int8_t flipY) {
    if (alpha <= 0) return;
    ZK_CALL(keyed8, ZK_KEYED8_ARGS);
}

void ZK_CopyLetter(const uint16_t* block, int, int width, int height, int x, int y, uint8_t alpha) {
    // The mask plane follows the colour plane at once.
    const uint16_t* masks = block + ptrdiff_t(std::max(width, 0)) * std::max(height, 0);
    const ZkLetterColours colours{block};
    if (alpha == 32)
        zk_copy_letter(masks, colours, width, height, x, y, ZkStore{});
    else
        zk_copy_letter(masks, colours, width, height, x, y, ZkBlend{alpha});
}

void ZK_CopyPlainLetter(const uint16_t* masks, uint16_t colour, int width, int height, int x, int y,
                        uint8_t alpha) {
    const ZkLetterPlain k{colour};
    if (alpha == 32)
        zk_copy_letter(masks, k, width, height, x, y, ZkStore{});
    else
        zk_copy_letter(masks, k, width, height, x, y, ZkBlend{alpha});
}
