// Stylus input: the per-frame stylus state, hit tests of sprites against the
// stylus, and dragging one sprite at a time.
#include <cstddef>

#include "ZKlib.h"
#include "zk_layout.h"

static_assert(zk_fields_in_order({offsetof(StylusState, held), offsetof(StylusState, released),
                                 offsetof(StylusState, pressed), offsetof(StylusState, doubleTap),
                                 offsetof(StylusState, x), offsetof(StylusState, y),
                                 offsetof(StylusState, heldFrames), offsetof(StylusState, upFrames),
                                 offsetof(StylusState, dx), offsetof(StylusState, dy)}));
static_assert(zk_fields_in_order({offsetof(MovedSprite, active), offsetof(MovedSprite, sprite),
                                 offsetof(MovedSprite, x), offsetof(MovedSprite, y), offsetof(MovedSprite, dx),
                                 offsetof(MovedSprite, dy), offsetof(MovedSprite, idleFrames)}));

StylusState Stylus;
MovedSprite ZK_MovedSprite;

void ZK_InitStylus() {
    Stylus.held = 0;
    Stylus.released = 0;
    Stylus.pressed = 0;
    Stylus.x = 120;  // the screen centre until the first contact
    Stylus.y = 160;
}

void ZK_UpdateInput() {
    const uint8_t prev = Stylus.held;
    const uint8_t now = stylusheld ? 1 : 0;
    Stylus.held = now;
    Stylus.pressed = (!prev && now) ? 1 : 0;
    Stylus.released = (prev && !now) ? 1 : 0;
    // Frames since the previous press began, counted before this frame.
    Stylus.doubleTap = (Stylus.pressed && Stylus.heldFrames + Stylus.upFrames <= 44) ? 1 : 0;
    Stylus.heldFrames = int16_t((Stylus.pressed ? 0 : Stylus.heldFrames) + now);
    Stylus.upFrames = int16_t((Stylus.released ? 0 : Stylus.upFrames) + (now ? 0 : 1));
    if (now) {
        if (Stylus.pressed) {
            Stylus.dx = 0;
            Stylus.dy = 0;
        } else {
            Stylus.dx = int16_t(stylusx - Stylus.x);
            Stylus.dy = int16_t(stylusy - Stylus.y);
        }
        Stylus.x = stylusx;
        Stylus.y = stylusy;
    }
    // The drag watchdog: a drag not served for three frames, or one whose
    // stylus went up, ends.
    ZK_MovedSprite.idleFrames = uint8_t(ZK_MovedSprite.idleFrames + 1);
    if (ZK_MovedSprite.idleFrames > 2 || !now) {
        ZK_MovedSprite.idleFrames = 0;
        ZK_MovedSprite.active = 0;
    }
}

namespace {

// The sprite's upright box with both ends included: width + 1 columns by
// height + 1 rows. Sets the stylus offset into it.
bool inBox(const Sprite* s, int& column, int& row) {
    const int left = s->x - (s->width >> 1);
    const int top = s->y - (s->height >> 1);
    column = Stylus.x - left;
    row = Stylus.y - top;
    return column >= 0 && column <= s->width && row >= 0 && row <= s->height;
}

}  // namespace

uint8_t ZK_SpriteTouched(uint16_t slot) {
    const Sprite* s = slot < 4096 ? zk_sprites[slot] : nullptr;
    int column, row;
    return (s && s->visible && inBox(s, column, row)) ? 1 : 0;
}

uint16_t ZK_SpriteTouchedPix(uint16_t slot) {
    const Sprite* s = slot < 4096 ? zk_sprites[slot] : nullptr;
    int column, row;
    if (!s || !s->visible || !inBox(s, column, row)) return 0;
    // The box's extra right column and bottom row lie outside the frame:
    // nothing is there to touch.
    if (column >= s->width || row >= s->height) return 0;
    const ptrdiff_t at = (ptrdiff_t(s->frame) * s->height + row) * s->width + column;
    if (s->depth == 1) return static_cast<const uint8_t*>(s->pixels)[at];
    if (s->depth == 2) return static_cast<const uint16_t*>(s->pixels)[at];
    return 0;
}

uint8_t ZK_MoveSpriteEx(uint16_t slot, uint8_t snap, uint8_t pixelTest) {
    Sprite* s = slot < 4096 ? zk_sprites[slot] : nullptr;
    if (!s || !s->visible || !Stylus.held) return 0;
    if (!ZK_MovedSprite.active) {
        int column, row;
        if (!inBox(s, column, row) || (pixelTest && !ZK_SpriteTouchedPix(slot))) return 0;
        // Grabbed: the sprite does not move in this frame.
        ZK_MovedSprite.active = 1;
        ZK_MovedSprite.sprite = slot;
        ZK_MovedSprite.dx = 0;
        ZK_MovedSprite.dy = 0;
    } else {
        if (ZK_MovedSprite.sprite != slot) return 0;
        ZK_MovedSprite.dx = Stylus.dx;
        ZK_MovedSprite.dy = Stylus.dy;
        if (snap) {
            ZK_SetSpriteXY(slot, Stylus.x, Stylus.y);
        } else {
            s->x = int16_t(s->x + Stylus.dx);
            s->y = int16_t(s->y + Stylus.dy);
        }
    }
    ZK_MovedSprite.x = s->x;
    ZK_MovedSprite.y = s->y;
    ZK_MovedSprite.idleFrames = 0;
    return 1;
}
