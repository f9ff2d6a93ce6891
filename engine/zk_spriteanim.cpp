// Sprite animation: a sprite steps through a range of its frames by itself,
// one way or back and forth, at a speed in frames per second that does not
// depend on the display rate.
#include <algorithm>

#include "ZKlib.h"

void ZK_StartSpriteAnimEx(int16_t slot, uint16_t first, uint16_t last, uint16_t speed, uint8_t pingPong,
                          uint16_t loops) {
    Sprite* s = slot >= 0 && slot < 4096 ? zk_sprites[slot] : nullptr;
    if (!s) return;
    s->animTicks = 0;
    s->animPingPong = pingPong;
    s->animSpeed = speed;
    s->animLoops = int16_t(loops);
    const int16_t lo = int16_t(first);
    const int16_t hi = int16_t(last);
    if (hi >= lo) {
        s->animLow = lo;
        s->animHigh = hi;
        s->animStep = 1;
        s->frame = lo;
    } else {
        // A descending range runs from its lower end with a step of -1.
        s->animLow = hi;
        s->animHigh = lo;
        s->animStep = -1;
        s->frame = hi;
    }
    s->animActive = 1;
}

void ZK_UpdateSpriteAnim(uint16_t slot) {
    Sprite* s = slot < 4096 ? zk_sprites[slot] : nullptr;
    if (!s || !s->animActive) return;
    // The accumulator counts in 1/zk_FPS of a step. A measured rate below 1
    // would never be used up, so it counts as 1 here.
    const int32_t fps = std::max<int32_t>(zk_FPS, 1);
    s->animTicks = uint8_t(s->animTicks + (s->animSpeed & 0xFFu));
    while (s->animTicks >= fps && s->animActive) {
        s->animTicks = uint8_t(s->animTicks - fps);
        s->frame = int16_t(s->frame + s->animStep);
        const bool passEnded =
            (s->animStep > 0 && s->frame > s->animHigh) || (s->animStep < 0 && s->frame < s->animLow);
        if (!passEnded) continue;
        if (s->animPingPong) {
            // Turn without showing the bound twice; on the last pass stop on
            // the bound that was reached.
            s->animStep = int16_t(-s->animStep);
            s->frame = int16_t(s->frame + (s->animLoops == 1 ? s->animStep : 2 * s->animStep));
        } else {
            s->frame = s->animLow;
        }
        // Loops of 0 or below play endlessly and settle at -1 (also from
        // -32768, which a plain 16-bit decrement would wrap to 32767).
        s->animLoops = s->animLoops <= 0 ? int16_t(-1) : int16_t(s->animLoops - 1);
        if (s->animLoops == 0) s->animActive = 0;
    }
}
