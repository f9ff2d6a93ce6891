// The sprite table: 4096 slots addressed by number, each a view of one frame
// of a SpriteImage, and the choice of blitter that draws it.
#include <cstddef>
#include <cstdlib>

#include "ZKlib.h"
#include "zk_layout.h"

// The game writes these records directly, so their layout is part of the
// interface.
static_assert(zk_fields_in_order({offsetof(Sprite, visible), offsetof(Sprite, pixels), offsetof(Sprite, x),
                                 offsetof(Sprite, y), offsetof(Sprite, frameWidth), offsetof(Sprite, frameHeight),
                                 offsetof(Sprite, width), offsetof(Sprite, height), offsetof(Sprite, depth),
                                 offsetof(Sprite, opaque), offsetof(Sprite, palette), offsetof(Sprite, priority),
                                 offsetof(Sprite, frame), offsetof(Sprite, animStep), offsetof(Sprite, animLow),
                                 offsetof(Sprite, animHigh), offsetof(Sprite, animLoops), offsetof(Sprite, animSpeed),
                                 offsetof(Sprite, animActive), offsetof(Sprite, animTicks),
                                 offsetof(Sprite, animPingPong), offsetof(Sprite, alpha), offsetof(Sprite, flipX),
                                 offsetof(Sprite, flipY), offsetof(Sprite, zoom), offsetof(Sprite, angle),
                                 offsetof(Sprite, lineOffsets), offsetof(Sprite, runs), offsetof(Sprite, window),
                                 offsetof(Sprite, clipLeft), offsetof(Sprite, clipTop), offsetof(Sprite, clipRight),
                                 offsetof(Sprite, clipBottom)}));

Sprite* zk_sprites[4096];

void ZK_InitSprites() {
    for (Sprite*& s : zk_sprites) {
        std::free(s);
        s = nullptr;
    }
}

void ZK_CreateSprite(int32_t slot, SpriteImage* image, uint16_t width, uint16_t height, int16_t x, int16_t y) {
    if (slot < 0 || slot > 4095 || !image) return;  // a failed load gives no image
    Sprite*& s = zk_sprites[slot];
    if (!s) {
        // Zeroed, so that the animation fields a first creation leaves alone
        // hold something defined.
        s = static_cast<Sprite*>(std::calloc(1, sizeof(Sprite)));
        if (!s) return;  // no record: the slot stays empty
    }
    const int16_t number = int16_t(slot);
    if (number < zk_minsprite) zk_minsprite = number;
    if (number > zk_maxsprite) zk_maxsprite = number;

    s->visible = 1;
    s->pixels = image->pixels;
    s->x = x;
    s->y = y;
    s->frameWidth = int16_t(width);
    s->frameHeight = int16_t(height);
    s->width = int16_t(width);
    s->height = int16_t(height);
    s->depth = uint8_t(image->depth);
    s->opaque = uint8_t(image->opaque);
    s->palette = image->palette;
    s->priority = 0;
    s->frame = 0;
    s->animActive = 0;  // the other animation fields keep their old values
    s->alpha = 32;
    s->flipX = 0;
    s->flipY = 0;
    s->zoom = 1024;
    s->angle = 0;
    s->lineOffsets = image->lineOffsets;
    s->runs = image->runs;
    s->window = 0;
    ZK_SetSpriteLimits(uint16_t(slot), 0, 0, int(width) - 1, int(height) - 1);
}

void ZK_SetSpriteXY(uint16_t slot, int16_t x, int16_t y) {
    Sprite* s = slot < 4096 ? zk_sprites[slot] : nullptr;
    if (!s) return;
    s->x = x;
    s->y = y;
}

void ZK_SetSpriteLimits(uint16_t slot, int left, int top, int right, int bottom) {
    Sprite* s = slot < 4096 ? zk_sprites[slot] : nullptr;
    if (!s) return;
    // 8-bit fields: a frame 300 pixels wide gets a right limit of 43.
    s->clipLeft = uint8_t(left);
    s->clipTop = uint8_t(top);
    s->clipRight = uint8_t(right);
    s->clipBottom = uint8_t(bottom);
}

void ZK_ShowSprite(uint16_t slot) {
    if (slot > 4095 || !zk_sprites[slot]) return;
    zk_cursprite = int16_t(slot);
    // The animation advances first, so the frame drawn is the one after it.
    ZK_UpdateSpriteAnim(slot);
    const Sprite* s = zk_sprites[slot];
    zk_curwindow = s->window;

    const int left = s->x - (s->width >> 1);
    const int top = s->y - (s->height >> 1);
    if (s->depth != 1 && s->depth != 2) return;

    const ptrdiff_t first = ptrdiff_t(s->frame) * s->frameWidth * s->frameHeight;
    const bool transformed = s->zoom != 1024 || (uint32_t(s->angle) & 511u) != 0;

    if (s->depth == 1) {
        const uint8_t* frame = static_cast<const uint8_t*>(s->pixels) + first;
        if (transformed) {
            const int r = 2 * (s->alpha != 32) + (s->opaque ? 1 : 0);
            ZK_CopyRot[r](frame, s->palette, s->width, s->height, left, top, s->alpha, s->angle, s->zoom);
        } else if (s->flipX || s->flipY) {
            ZK_Copy8bitToScreen(frame, s->palette, s->width, s->height, left, top, s->alpha, int8_t(s->flipX),
                                int8_t(s->flipY));
        } else if (s->opaque) {
            ZK_Copy8bitFastCopy(frame, s->palette, s->width, s->height, left, top, s->alpha);
        } else {
            ZK_Copy8bitRLE(frame, s->palette, s->runs, s->lineOffsets + ptrdiff_t(s->frame) * s->height, s->width,
                           s->height, left, top, s->alpha);
        }
    } else {
        const uint16_t* frame = static_cast<const uint16_t*>(s->pixels) + first;
        if (transformed) {
            const int r = 4 + 2 * (s->alpha != 32) + (s->opaque ? 1 : 0);
            ZK_CopyRot[r](frame, nullptr, s->width, s->height, left, top, s->alpha, s->angle, s->zoom);
        } else if (s->flipX || s->flipY) {
            ZK_Copy16bitToScreen(frame, s->width, s->height, left, top, s->alpha, int8_t(s->flipX),
                                 int8_t(s->flipY));
        } else if (s->opaque) {
            ZK_Copy16bitFastCopy(frame, s->width, s->height, left, top, s->alpha);
        } else {
            ZK_Copy16bitRLE(frame, s->runs, s->lineOffsets + ptrdiff_t(s->frame) * s->height, s->width, s->height,
                            left, top, s->alpha);
        }
    }
}
