// Frame composition: the clear band, backgrounds and sprites by priority from
// the back (1023) to the front (0), the fade pass at its priority, the clip
// windows every blitter reads, and the engine's start-up call.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

#include "ZKlib.h"
#include "zk_layout.h"
#include "zk_blend.h"
#include "zk_blit.h"

// Field order and widths of these records are part of the interface.
static_assert(zk_fields_in_order({offsetof(ClipWindow, left), offsetof(ClipWindow, top), offsetof(ClipWindow, right),
                                 offsetof(ClipWindow, bottom)}));
static_assert(sizeof(ClipWindow) == 8);
static_assert(zk_fields_in_order({offsetof(CopyLimits, firstColumn), offsetof(CopyLimits, firstRow),
                                 offsetof(CopyLimits, endColumn), offsetof(CopyLimits, endRow),
                                 offsetof(CopyLimits, rotCos), offsetof(CopyLimits, rotSin),
                                 offsetof(CopyLimits, rotU), offsetof(CopyLimits, rotV),
                                 offsetof(CopyLimits, boxLeft), offsetof(CopyLimits, boxTop),
                                 offsetof(CopyLimits, rotCosInv), offsetof(CopyLimits, rotSinInv)}));
static_assert(zk_fields_in_order({offsetof(Fade, level), offsetof(Fade, colour), offsetof(Fade, priority),
                                 offsetof(Fade, left), offsetof(Fade, top), offsetof(Fade, right),
                                 offsetof(Fade, bottom)}));

ClipWindow zk_window[16];
CopyLimits zk_limits;
Fade zk_fade;
uint8_t zk_curwindow;
int16_t zk_cursprite = -1;
uint16_t zk_bgcolor;
int16_t prio_nsprite[1024];
int16_t prio_nextsprite[4096];
int8_t prio_nbg[1024];
int8_t prio_nextbg[16];
int32_t zk_minsprite = 4096;
int32_t zk_maxsprite = -1;

namespace {
constexpr int kPriorities = 1024;
}

void ZK_Init() {
    ZK_InitStylus();
    ZK_InitSprites();
    std::srand(unsigned(std::time(nullptr)));
    ZK_SetFadeLimits(0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1);
    zk_fade.level = 32;
    zk_fade.priority = 0;
    zk_fade.colour = 0;
    ZK_SetWindowLimits(0, 0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1);
}

void ZK_SetWindowLimits(int n, int left, int top, int right, int bottom) {
    if (n < 0 || n > 15) return;
    ClipWindow& w = zk_window[n];
    w.left = int16_t(left);
    w.top = int16_t(top);
    w.right = int16_t(right);
    w.bottom = int16_t(bottom);
}

void ZK_SetFadeLimits(int left, int top, int right, int bottom) {
    zk_fade.left = int16_t(left);
    zk_fade.top = int16_t(top);
    zk_fade.right = int16_t(right);
    zk_fade.bottom = int16_t(bottom);
}

namespace {

// Each pixel moves toward the fade colour by a/32, with the blitters' blend.
template <int N>
ZK_INLINE void fade_rows(int left, int top, int right, int bottom, uint16_t colour, uint32_t a) {
    const int n = right - left + 1;
    uint16_t row[ZK_WIDTH];
    std::fill_n(row, n, colour);
    for (int y = top; y <= bottom; ++y) zk_blend_span<N>(zk_buffer + ptrdiff_t(y) * ZK_WIDTH + left, n, a, ZkLoad16{row});
}
void fade_narrow(int l, int t, int r, int b, uint16_t c, uint32_t a) { fade_rows<8>(l, t, r, b, c, a); }
ZK_TARGET_WIDE void fade_wide(int l, int t, int r, int b, uint16_t c, uint32_t a) {
    fade_rows<ZK_HAVE_WIDE ? 16 : 8>(l, t, r, b, c, a);
}

// The clear colour twice in each 32-bit word; several words per store.
template <int N>
ZK_INLINE void clear_rows(uint32_t top, uint32_t bottom, uint16_t colour) {
    using U = typename ZkVec<N>::U;
    const U v = U{} + colour;
    uint16_t* d = zk_buffer + ptrdiff_t(top) * ZK_WIDTH;
    const ptrdiff_t count = ptrdiff_t(bottom - top) * ZK_WIDTH;  // a multiple of 16
    ptrdiff_t i = 0;
    for (; i + 4 * N <= count; i += 4 * N)
        zk_vstore(d + i, v), zk_vstore(d + i + N, v), zk_vstore(d + i + 2 * N, v), zk_vstore(d + i + 3 * N, v);
    for (; i < count; i += N) zk_vstore(d + i, v);
}
void clear_narrow(uint32_t t, uint32_t b, uint16_t c) { clear_rows<8>(t, b, c); }
ZK_TARGET_WIDE void clear_wide(uint32_t t, uint32_t b, uint16_t c) { clear_rows<ZK_HAVE_WIDE ? 16 : 8>(t, b, c); }
static_assert(ZK_WIDTH % 16 == 0);

}  // namespace

void zk_dotransp() {
    // A rectangle reaching past the screen is faded only where it is on it.
    const int left = std::max<int>(zk_fade.left, 0), right = std::min<int>(zk_fade.right, ZK_WIDTH - 1);
    const int top = std::max<int>(zk_fade.top, 0), bottom = std::min<int>(zk_fade.bottom, ZK_HEIGHT - 1);
    if (left > right || top > bottom) return;
    const uint32_t a = uint32_t(32 - int(zk_fade.level));
    if (zk_blit_level >= 1)
        fade_wide(left, top, right, bottom, zk_fade.colour, a);
    else
        fade_narrow(left, top, right, bottom, zk_fade.colour, a);
}

void zk_whenrefresh() {
    std::memset(prio_nsprite, 0xFF, sizeof prio_nsprite);  // every entry -1
    std::memset(prio_nbg, 0xFF, sizeof prio_nbg);

    // Sprite lists: each starts with the highest sprite number of its
    // priority. Only slots that exist are scanned; a priority outside the
    // list heads takes no part. first and last bound the priorities used.
    int first = -1, last = kPriorities;
    const int32_t lo = std::max<int32_t>(zk_minsprite, 0), hi = std::min<int32_t>(zk_maxsprite, 4095);
    for (int32_t i = lo; i <= hi; ++i) {
        const Sprite* s = zk_sprites[i];
        if (s == nullptr || s->visible == 0 || s->alpha <= 0 || s->zoom == 0) continue;
        const int p = s->priority;
        if (p < 0 || p >= kPriorities) continue;
        prio_nextsprite[i] = prio_nsprite[p];
        prio_nsprite[p] = int16_t(i);
        first = std::max(first, p);
        last = std::min(last, p);
    }

    // Background lists and, in the same pass in layer order, the band of
    // rows that no opaque full-width layer covers. Positions compare as
    // unsigned, so a layer starting above the screen never narrows the band.
    uint32_t top = 0, bottom = ZK_HEIGHT;
    for (int j = 0; j < 16; ++j) {
        const BgLayer& b = zk_bg[j];
        if (b.used == 0 || b.alpha <= 0) continue;
        if (b.alpha == 32 && b.plain != 0 && b.x <= 0 && int64_t(b.x) + b.width > ZK_WIDTH - 1) {
            const uint32_t y = uint32_t(b.y), end = y + uint32_t(b.height);
            if (y <= top) top = std::max(top, end);
            if (end >= bottom) bottom = std::min(bottom, y);
        }
        if (b.priority >= kPriorities) continue;
        prio_nextbg[j] = prio_nbg[b.priority];
        prio_nbg[b.priority] = int8_t(j);
        first = std::max<int>(first, b.priority);
        last = std::min<int>(last, b.priority);
    }

    if (bottom > top) {
        if (zk_blit_level >= 1)
            clear_wide(top, bottom, zk_bgcolor);
        else
            clear_narrow(top, bottom, zk_bgcolor);
    }

    // From the back (1023) to the front (0). Priorities above first and below
    // last hold nothing: across such a stretch only the fade can happen, at
    // most once, and nothing runs there that could change it.
    auto fadeWithin = [](int high, int low) {
        if (zk_fade.level != 32 && zk_fade.priority <= high && zk_fade.priority >= low) zk_dotransp();
    };
    if (first < 0) return fadeWithin(kPriorities - 1, 0);
    fadeWithin(kPriorities - 1, first + 1);
    for (int p = first; p >= last; --p) {
        for (int j = prio_nbg[p]; j != -1; j = prio_nextbg[j]) ZK_ShowBg(int8_t(j));
        for (int i = prio_nsprite[p]; i != -1; i = prio_nextsprite[i]) ZK_ShowSprite(uint16_t(i));
        if (p == zk_fade.priority && zk_fade.level != 32) zk_dotransp();
    }
    fadeWithin(last - 1, 0);
}

// Whole fades, one frame per level. A step of 0 would never end, so it does
// nothing.
void ZK_FadeOut(int step) {
    const uint8_t s = uint8_t(step);
    if (s == 0) return;
    uint8_t level = 32;
    do {
        zk_fade.level = level;
        ZK_Refresh();
        level = uint8_t(level - s);
    } while (int8_t(level) >= 0);
}

void ZK_FadeIn(int step) {
    const uint8_t s = uint8_t(step);
    if (s == 0) return;
    uint8_t level = 0;
    do {
        zk_fade.level = level;
        level = uint8_t(level + s);
        ZK_Refresh();
    } while (int8_t(level) <= 32);
}
