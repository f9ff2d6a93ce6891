// Quib's rules and its frame loops: the ball table, the throw (launch,
// flight, collisions, count-down, walls, growth), the shrinking of
// counted-down balls, the score display and the game loop with game over.
#include "quib.h"

#include <cstddef>

// The record's layout is shared with anything that reads the table.
static_assert(offsetof(Ball, x) < offsetof(Ball, y) && offsetof(Ball, y) < offsetof(Ball, fx) &&
              offsetof(Ball, fx) < offsetof(Ball, fy) && offsetof(Ball, fy) < offsetof(Ball, speed) &&
              offsetof(Ball, speed) < offsetof(Ball, radius) && offsetof(Ball, radius) < offsetof(Ball, angle) &&
              offsetof(Ball, angle) < offsetof(Ball, count));

Ball quib_balls[QUIB_MAXBALLS];
uint8_t quib_nballs;
uint16_t score;

SpriteImage* main_spr;
SpriteImage* main_spr_medium;
SpriteImage* main_spr_small;
SpriteImage* main_spr_vsmall;
SpriteImage* numbers;
SpriteImage* score_spr;
SpriteImage* gameover_spr;
SpriteImage* canon_spr;

namespace {

int32_t sinOf(uint16_t a) { return ZK_SIN[a & 511]; }
int32_t cosOf(uint16_t a) { return ZK_SIN[(a + 128) & 511]; }

// (speed * trig) >> shift, rounding toward minus infinity. The product is
// formed in 64 bits: for every speed a throw can reach it equals the 32-bit
// product, and a runaway speed cannot overflow.
int32_t scaled(int32_t speed, int32_t trig, int shift) {
    return int32_t((int64_t(speed) * trig) >> shift);
}

// The two balls overlap: squared distance strictly below the squared sum of
// the radii, the sum taken as 16 bits.
bool overlaps(const Ball& a, const Ball& b) {
    int64_t dx = int64_t(a.x) - b.x, dy = int64_t(a.y) - b.y;
    int64_t sum = uint16_t(a.radius + b.radius);
    return dx * dx + dy * dy < sum * sum;
}

void place(Ball& b) {
    b.x = int16_t(b.fx >> 8);
    b.y = int16_t(b.fy >> 8);
}

bool quitTouched() { return ZK_SpriteTouched(QUIB_SPR_QUIT) != 0; }

// Some ball in use other than k, not counted down, overlaps ball k.
bool touchingAnother(int k) {
    int seen = 0;
    for (int j = 0; j < QUIB_MAXBALLS && seen < quib_nballs; ++j) {
        if (quib_balls[j].count == -1) continue;
        ++seen;
        if (j != k && quib_balls[j].count != 0 && overlaps(quib_balls[k], quib_balls[j])) return true;
    }
    return false;
}

// One frame of flight of ball k along d: false when the ball crossed the
// bottom line while moving down.
bool flightStep(int k, uint16_t& d) {
    Ball& b = quib_balls[k];
    const int32_t dx = scaled(b.speed, cosOf(d), 16);
    const int32_t dy = scaled(-b.speed, sinOf(d), 16);
    b.fx += dx;
    b.fy += dy;
    place(b);

    // Collision scan. After a hit only the next record in use is looked at
    // this frame; the ones further on wait for the next frame.
    if (quib_nballs != 0) {
        int remaining = quib_nballs;
        for (int j = 0; j < QUIB_MAXBALLS && remaining > 0; ++j) {
            Ball& o = quib_balls[j];
            if (o.count == -1) continue;
            --remaining;
            if (j == k || o.count == 0 || !overlaps(b, o)) continue;
            const uint16_t f = uint16_t(ZK_GetAngle(o.x, o.y, b.x, b.y));
            const int32_t px = scaled(b.speed, cosOf(f), 17);
            const int32_t py = scaled(b.speed, sinOf(f), 17);
            // Out along the line of centres in half steps. A zero step
            // cannot move the ball apart: the speed is then so small that the
            // ball is left where it is (the guard keeps the loop finite).
            while (overlaps(b, o) && (px != 0 || py != 0)) {
                b.fx += px;
                b.fy -= py;
                place(b);
            }
            o.count = int8_t(o.count - 1);
            if (o.count == 0) {
                score = uint16_t(score + 1);
                Quib_ShowScore(score);
            }
            if (Sprite* s = zk_sprites[QUIB_SPR_BALLS + j]) s->frame = o.count;
            b.speed += b.speed >> 4;
            d = f;
            remaining = 1;
        }
    }

    b.speed -= b.speed >> 6;
    if (b.speed < 8192) b.speed = 0;

    const int r = b.radius;
    if (b.y - r <= QUIB_TOP - 1 && dy < 0) d = uint16_t(511 - d);
    if (b.y + r > QUIB_BOTTOM && dy > 0) return false;
    if (b.x < r + 1 && dx < 0) d = uint16_t(255 - d);
    if (b.x > ZK_WIDTH - r && dx > 0) d = uint16_t(255 - d);
    return true;
}

// Ball k may grow by one pixel of radius.
bool canGrow(int k) {
    const Ball& b = quib_balls[k];
    const int r = b.radius;
    return b.y - r > QUIB_TOP - 1 && b.y + r < QUIB_BOTTOM && b.x >= r + 1 && b.x <= ZK_WIDTH - 1 - r &&
           !touchingAnother(k);
}

}  // namespace

uint16_t Quib_GetFirstFree() {
    const int n = quib_nballs;
    if (n == 0 || quib_balls[0].count == -1) return 0;
    for (int i = 1; i < n; ++i)
        if (quib_balls[i].count == -1) return uint16_t(i);
    return uint16_t(n);
}

void Quib_SetSize(int k) {
    const Ball& b = quib_balls[k];
    if (b.count == -1) return;
    const int r = b.radius;
    SpriteImage* image;
    int size, zoom;
    if (r > 72) {
        image = main_spr, size = 240, zoom = r * 2048 / 240;
    } else if (r > 20) {
        image = main_spr_medium, size = 128, zoom = r * 16;
    } else if (r > 10) {
        image = main_spr_small, size = 32, zoom = r * 64;
    } else {
        image = main_spr_vsmall, size = 16, zoom = r * 128;
    }
    const int slot = QUIB_SPR_BALLS + k;
    ZK_CreateSprite(slot, image, uint16_t(size), uint16_t(size), b.x, b.y);
    if (Sprite* s = zk_sprites[slot]) {
        s->zoom = zoom;
        s->angle = b.angle;
        s->priority = 1;
        s->frame = b.count;
    }
}

void Quib_ProcessZero() {
    const int n = quib_nballs;
    if (n == 0) return;
    int seen = 0;
    for (int k = 0; k < QUIB_MAXBALLS && seen < n; ++k) {
        Ball& b = quib_balls[k];
        if (b.count == -1) continue;
        ++seen;
        if (b.count != 0) continue;
        b.radius = uint16_t(b.radius - 1);
        b.angle = uint16_t(b.angle + 12);
        if (b.radius == 0) {
            b.count = -1;
            quib_nballs = uint8_t(quib_nballs - 1);
            if (Sprite* s = zk_sprites[QUIB_SPR_BALLS + k]) s->visible = 0;
        } else {
            Quib_SetSize(k);
        }
    }
}

void Quib_VBL() {
    Quib_ProcessZero();
    ZK_Refresh();
}

void Quib_ShowScore(uint16_t value) {
    // Produced units first, shown most significant first.
    uint8_t digits[5];
    int n = 0;
    do {
        digits[n++] = uint8_t(value % 10);
        value = uint16_t(value / 10);
    } while (value != 0);
    for (int i = 0; i < n; ++i) {
        const int slot = QUIB_SPR_DIGITS + i;
        ZK_CreateSprite(slot, numbers, 16, 16, int16_t(120 + 8 * i), 9);
        if (Sprite* s = zk_sprites[slot]) s->frame = digits[n - 1 - i];
    }
    for (int i = n; i < 10; ++i)
        if (Sprite* s = zk_sprites[QUIB_SPR_DIGITS + i]) s->visible = 0;
}

int Quib_ThrowBall(uint16_t a) {
    // Full table: one more ball would wrap the 8-bit count and overwrite a
    // record in use; the board counts as full and the game ends.
    if (quib_nballs >= QUIB_FULLTABLE) return 1;

    const int k = Quib_GetFirstFree();
    Ball& b = quib_balls[k];
    b.x = 120;
    b.y = 308;
    b.fx = 120 * 256;
    b.fy = 308 * 256;
    b.speed = 0x6A400;
    b.radius = 8;
    b.angle = uint16_t(a - 128);
    b.count = 3;
    Quib_SetSize(k);
    // The launch: four steps at once, so the ball leaves the barrel.
    b.fy += 4 * scaled(-b.speed, sinOf(a), 16);
    b.fx += 4 * scaled(b.speed, cosOf(a), 16);
    place(b);
    quib_nballs = uint8_t(quib_nballs + 1);

    uint16_t d = a;
    while (b.speed != 0) {
        if (!flightStep(k, d)) return 1;
        ZK_SetSpriteXY(uint16_t(QUIB_SPR_BALLS + k), b.x, b.y);
        if (quitTouched()) return 0;
        Quib_VBL();
    }

    // At rest: grow by up to two pixels of radius a frame; the throw ends
    // one frame after the first step that could not grow.
    for (;;) {
        bool going = true;
        for (int step = 0; step < 2; ++step) {
            if (!canGrow(k)) {
                Quib_SetSize(k);
                going = false;
                break;
            }
            b.radius = uint16_t(b.radius + 1);
            Quib_SetSize(k);
        }
        if (quitTouched()) return 0;
        Quib_VBL();
        if (!going) return 0;
    }
}

void Quib_Setup() {
    ZK_CreateSprite(QUIB_SPR_QUIT, &zk_quit, 16, 16, 232, 8);
    ZK_BgLoadGif(QUIB_BG_LAYER, bg, bg_size);
    main_spr = ZK_GifToSprite(quib, quib_size);
    main_spr_medium = ZK_GifToSprite(quib_medium, quib_medium_size);
    main_spr_small = ZK_GifToSprite(quib_small, quib_small_size);
    main_spr_vsmall = ZK_GifToSprite(quib_vsmall, quib_vsmall_size);
    numbers = ZK_GifToSprite(quib_numbers, quib_numbers_size);
    score_spr = ZK_GifToSprite(quib_score, quib_score_size);
    gameover_spr = ZK_GifToSprite(quib_gameover, quib_gameover_size);
    canon_spr = ZK_GifToSprite(quib_canon, quib_canon_size);
    ZK_CreateSprite(QUIB_SPR_CANON, canon_spr, 58, 14, 120, 308);
    ZK_CreateSprite(QUIB_SPR_GAMEOVER, gameover_spr, 87, 54, 120, 140);
    ZK_CreateSprite(QUIB_SPR_SCORE, score_spr, 103, 16, 54, 9);
}

int Quib_Main() {
    ZK_Init();
    Quib_Setup();
    Sprite* const canon = zk_sprites[QUIB_SPR_CANON];
    Sprite* const gameover = zk_sprites[QUIB_SPR_GAMEOVER];
    for (;;) {
        // A new game: an empty board and the score 0.
        if (gameover) gameover->visible = 0;
        for (int k = 0; k < QUIB_MAXBALLS; ++k) {
            quib_balls[k].count = -1;
            if (Sprite* s = zk_sprites[QUIB_SPR_BALLS + k]) s->visible = 0;
        }
        quib_nballs = 0;
        if (quitTouched()) return 0;
        Quib_VBL();
        score = 0;
        Quib_ShowScore(0);

        // Aiming: the barrel sweeps 16..240 and back, one unit a frame.
        bool alive = true;
        int16_t a = 16, step = 1;
        while (alive) {
            a = int16_t(a + step);
            if (a == 16 || a == 240) step = int16_t(-step);
            if (canon) canon->angle = a;
            if (Stylus.pressed && !quitTouched()) alive = Quib_ThrowBall(uint16_t(a)) == 0;
            if (quitTouched()) return 0;
            Quib_VBL();
        }

        // Game over: the picture turns once and grows in over 63 frames,
        // unless a tap already asks for the next game.
        if (gameover) {
            gameover->visible = 1;
            gameover->zoom = 0;
        }
        if (!Stylus.pressed) {
            for (int k = 8; k <= 256; k += 4) {
                if (gameover) {
                    gameover->angle = 2 * k;
                    gameover->alpha = int16_t(k / 8);
                    gameover->zoom = 4 * k;
                }
                Quib_VBL();
                if (Stylus.pressed) break;
            }
        }
        while (!Stylus.pressed) Quib_VBL();
        if (quitTouched()) return 0;
        ZK_Refresh();
    }
}
