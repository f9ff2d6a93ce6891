// Stylus input (placeholder until the input unit lands).
#include "ZKlib.h"

StylusState Stylus;
MovedSprite ZK_MovedSprite;

void ZK_InitStylus() {
    Stylus.held = Stylus.released = Stylus.pressed = 0;
    Stylus.x = 120;
    Stylus.y = 160;
}
void ZK_UpdateInput() {
    uint8_t prev = Stylus.held, now = stylusheld;
    Stylus.held = now;
    Stylus.pressed = !prev && now;
    Stylus.released = prev && !now;
    if (now) {
        Stylus.x = stylusx;
        Stylus.y = stylusy;
    }
}
