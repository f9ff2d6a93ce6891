// The per-frame stylus state, hit tests and dragging, driven through the raw
// stylus variables (the frame loop's own taps are the shell's tests).
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "zk_test_support.h"

namespace {

// The state as the program starts with it, but for the five fields the
// reset sets, which hold something else first so that a missed one shows.
void freshInput() {
    Stylus = StylusState{};
    Stylus.pressed = Stylus.released = Stylus.held = 1, Stylus.x = Stylus.y = -5;
    ZK_MovedSprite = MovedSprite{};
    ZK_InitStylus();
    stylusheld = 0, stylusx = 0, stylusy = 0;
    ZK_InitSprites();
}

// One frame's sample of the raw stylus; up(n): n frames lifted.
void frame(uint8_t held, int16_t x = 0, int16_t y = 0) {
    stylusheld = held;
    if (held) stylusx = x, stylusy = y;
    ZK_UpdateInput();
}
void up(int frames) {
    for (int i = 0; i < frames; ++i) frame(0);
}

std::vector<int> stylus() {
    const StylusState& s = Stylus;
    return {s.pressed, s.released, s.held, s.doubleTap, s.dx, s.dy, s.x, s.y, s.heldFrames, s.upFrames};
}

// A 16 x 16 sprite whose pixels are 0 (transparent) in the left half and
// 1 + column in the right half; the array is exactly one frame, so the
// address sanitizer sees any read past it.
struct Target {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(256);
    SpriteImage image{pixels.data(), nullptr, nullptr, nullptr, 1, 1, 16, 16};
    Target() {
        for (int k = 0; k < 256; ++k) pixels[k] = k % 16 < 8 ? 0 : uint8_t(1 + k % 16);
    }
};

}  // namespace

TEST(Stylus, EdgesCountersAndMovement) {
    freshInput();
    EXPECT_EQ(stylus(), (std::vector<int>{0, 0, 0, 0, 0, 0, 120, 160, 0, 0}));
    // Each frame's state, as stylus() lists it. The up counter runs from the
    // start, so an early first press is a double tap; the press frame has no
    // movement; the up counter stays while down and the release frame counts
    // 1; the held counter, the last point and movement stay while up.
    up(10);
    const struct { uint8_t held; int16_t x, y; std::vector<int> want; } steps[] = {
        {1, 50, 60, {1, 0, 1, 1, 0, 0, 50, 60, 1, 10}},
        {1, 55, 57, {0, 0, 1, 0, 5, -3, 55, 57, 2, 10}},
        {0, 0, 0, {0, 1, 0, 0, 5, -3, 55, 57, 2, 1}},
    };
    for (size_t k = 0; k < std::size(steps); ++k) {
        frame(steps[k].held, steps[k].x, steps[k].y);
        EXPECT_EQ(stylus(), steps[k].want) << "frame " << k;
    }
    // Held 10 frames, then up u frames: the next press is a double tap while
    // 10 + u <= 44.
    for (int upFor : {30, 34, 35, 60}) {
        up(60);
        for (int i = 0; i < 10; ++i) frame(1, 10, 10);
        up(upFor);
        frame(1, 10, 10);
        EXPECT_EQ(Stylus.doubleTap, 10 + upFor <= 44) << upFor;
    }
}

TEST(Stylus, HitTestsUseTheInclusiveBox) {
    freshInput();
    Target t;
    ZK_CreateSprite(1, &t.image, 16, 16, 232, 8);  // left 224, top 0
    // The box has an extra column and row, touched but holding no pixel;
    // column 0 is transparent.
    const struct { int16_t x, y; int touched, pixel; } cases[] = {
        {240, 16, 1, 0}, {241, 16, 0, 0}, {240, 17, 0, 0}, {224, 0, 1, 0}, {223, 0, 0, 0},
        {239, 15, 1, 16}, {232, 5, 1, 9}, {231, 5, 1, 0}, {239, 16, 1, 0}, {240, 3, 1, 0},
    };
    for (const auto& c : cases) {
        frame(1, c.x, c.y);
        EXPECT_EQ(std::pair(int(ZK_SpriteTouched(1)), int(ZK_SpriteTouchedPix(1))), std::pair(c.touched, c.pixel))
            << c.x << ", " << c.y;
    }
    // Hidden sprites are never touched; depth 3 holds no pixel, not even at
    // the opaque (236, 4); 16-bit frames give the raw value.
    frame(1, 236, 4);
    zk_sprites[1]->visible = 0;
    EXPECT_EQ(ZK_SpriteTouched(1) + ZK_SpriteTouchedPix(1), 0);
    zk_sprites[1]->visible = 1;
    zk_sprites[1]->depth = 3;
    EXPECT_EQ(ZK_SpriteTouchedPix(1), 0);
    // The key colour counts as touched: frame 1 of a 4 x 8 image, row 2, column 1.
    uint16_t wide[32] = {};
    wide[16 + 2 * 4 + 1] = 0xF81F;
    SpriteImage image16{wide, nullptr, nullptr, nullptr, 2, 1, 4, 8};
    ZK_CreateSprite(2, &image16, 4, 4, 50, 50);  // left 48, top 48
    zk_sprites[2]->frame = 1;
    frame(1, 49, 50);
    EXPECT_EQ(ZK_SpriteTouchedPix(2), 0xF81F);
    ZK_InitSprites();
}

TEST(Stylus, Dragging) {
    freshInput();
    Target t;
    ZK_CreateSprite(7, &t.image, 16, 16, 100, 100);
    ZK_CreateSprite(9, &t.image, 16, 16, 104, 100);  // overlaps sprite 7
    // Each call: slot, snap, pixel test; n frames of the stylus (held, x, y)
    // before it; what it returns; the drag record (active, sprite, idle
    // frames), both centres, the record's movement and centre.
    const struct { uint16_t slot; uint8_t snap, pixels; int n, held, x, y, ok; std::vector<int> after; } calls[] = {
        {7, 0, 0, 0, 0, 0, 0, 0, {0, 0, 0, 100, 100, 104, 100, 0, 0, 0, 0}},      // not held
        {100, 0, 0, 1, 1, 102, 100, 0, {0, 0, 1, 100, 100, 104, 100, 0, 0, 0, 0}},  // an empty slot
        {7, 0, 0, 0, 0, 0, 0, 1, {1, 7, 0, 100, 100, 104, 100, 0, 0, 100, 100}},  // grabbed: no move in that frame
        {9, 0, 0, 0, 0, 0, 0, 0, {1, 7, 0, 100, 100, 104, 100, 0, 0, 100, 100}},  // one drag at a time
        {9, 0, 0, 1, 1, 107, 97, 0, {1, 7, 1, 100, 100, 104, 100, 0, 0, 100, 100}},
        {7, 0, 0, 0, 0, 0, 0, 1, {1, 7, 0, 105, 97, 104, 100, 5, -3, 105, 97}},  // keeps its offset
        {7, 1, 0, 1, 1, 110, 99, 1, {1, 7, 0, 110, 99, 104, 100, 3, 2, 110, 99}},  // snap: centre on the stylus
        // The watchdog: two unserved frames keep the drag (a refused call
        // for another sprite does not serve it), the third ends it.
        {9, 0, 0, 2, 1, 110, 99, 0, {1, 7, 2, 110, 99, 104, 100, 3, 2, 110, 99}},
        {9, 0, 0, 1, 1, 110, 99, 1, {1, 9, 0, 110, 99, 104, 100, 0, 0, 104, 100}},
        {9, 0, 0, 1, 0, 0, 0, 0, {0, 9, 0, 110, 99, 104, 100, 0, 0, 104, 100}},  // lifting ends a drag at once
        // Sliding the held stylus onto a sprite grabs it; with the pixel
        // test only an opaque pixel does: column 1 of sprite 9 is
        // transparent, column 10 not.
        {9, 0, 1, 1, 1, 20, 20, 0, {0, 9, 1, 110, 99, 104, 100, 0, 0, 104, 100}},
        {9, 0, 1, 1, 1, 97, 100, 0, {0, 9, 2, 110, 99, 104, 100, 0, 0, 104, 100}},
        {9, 0, 1, 1, 1, 106, 100, 1, {1, 9, 0, 110, 99, 104, 100, 0, 0, 104, 100}},
    };
    for (size_t k = 0; k < std::size(calls); ++k) {
        const auto& c = calls[k];
        for (int i = 0; i < c.n; ++i) frame(uint8_t(c.held), int16_t(c.x), int16_t(c.y));
        EXPECT_EQ(ZK_MoveSpriteEx(c.slot, c.snap, c.pixels), c.ok) << "call " << k;
        const MovedSprite& m = ZK_MovedSprite;
        EXPECT_EQ((std::vector<int>{m.active, m.sprite, m.idleFrames, zk_sprites[7]->x, zk_sprites[7]->y, zk_sprites[9]->x,
                                    zk_sprites[9]->y, m.dx, m.dy, m.x, m.y}),
                  c.after)
            << "call " << k;
    }
    zk_sprites[9]->visible = 0;  // hidden sprites are never dragged
    EXPECT_EQ(ZK_MoveSpriteEx(9, 0, 0), 0);
    ZK_InitSprites();
}
