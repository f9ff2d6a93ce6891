// The per-frame stylus state, hit tests and dragging, driven frame by frame
// through the raw stylus variables, and once through the whole frame loop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "zk_test_support.h"

namespace {

void freshInput() {
    Stylus = StylusState{};
    ZK_MovedSprite = MovedSprite{};
    ZK_InitStylus();
    stylusheld = 0, stylusx = 0, stylusy = 0;
}

// One frame's sample of the raw stylus.
void frame(uint8_t held, int16_t x = 0, int16_t y = 0) {
    stylusheld = held;
    if (held) stylusx = x, stylusy = y;
    ZK_UpdateInput();
}
void up(int frames) {
    for (int i = 0; i < frames; ++i) frame(0);
}

// The whole per-frame stylus state.
std::vector<int> stylus() {
    const StylusState& s = Stylus;
    return {s.pressed, s.released, s.held, s.doubleTap, s.dx, s.dy, s.x, s.y, s.heldFrames, s.upFrames};
}

// A 16 x 16 sprite whose pixels are 0 (transparent) in the left half and
// 1 + column in the right half; the array is exactly one frame, so the
// address sanitizer sees any read past it.
struct Target {
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(256));
    uint16_t palette[256] = {};
    SpriteImage image{pixels, nullptr, nullptr, palette, 1, 1, 16, 16};
    Target() {
        for (int k = 0; k < 256; ++k) pixels[k] = k % 16 < 8 ? 0 : uint8_t(1 + k % 16);
    }
    ~Target() { std::free(pixels); }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
};

// The dragged sprite's centre and the drag record's movement and centre.
std::vector<int> dragOf(int sprite) {
    const MovedSprite& m = ZK_MovedSprite;
    return {zk_sprites[sprite]->x, zk_sprites[sprite]->y, m.dx, m.dy, m.x, m.y};
}

}  // namespace

TEST(Stylus, EdgesCountersAndMovement) {
    freshInput();
    EXPECT_EQ(stylus(), (std::vector<int>{0, 0, 0, 0, 0, 0, 120, 160, 0, 0}));

    // Each frame's state: pressed, released, held, doubleTap, dx, dy, x, y,
    // heldFrames, upFrames. The first press of the program is a double tap
    // when it comes within 44 frames of the start, as the up counter runs
    // from there; the press frame has no movement however far the stylus
    // came; the up counter stays while down and the release frame counts 1;
    // the held counter, the last point and movement stay while up.
    up(10);
    const struct { uint8_t held; int16_t x, y; std::vector<int> want; } steps[] = {
        {1, 50, 60, {1, 0, 1, 1, 0, 0, 50, 60, 1, 10}},
        {1, 55, 57, {0, 0, 1, 0, 5, -3, 55, 57, 2, 10}},
        {0, 0, 0, {0, 1, 0, 0, 5, -3, 55, 57, 2, 1}},
        {0, 0, 0, {0, 0, 0, 0, 5, -3, 55, 57, 2, 2}},
    };
    for (size_t k = 0; k < std::size(steps); ++k) {
        frame(steps[k].held, steps[k].x, steps[k].y);
        EXPECT_EQ(stylus(), steps[k].want) << "frame " << k;
    }

    // Held 10 frames, then up u frames: the next press is a double tap while
    // 10 + u <= 44, and only in the press frame.
    for (int upFor : {30, 34, 35, 60}) {
        SCOPED_TRACE(testing::Message() << "up for " << upFor);
        up(60);
        for (int i = 0; i < 10; ++i) frame(1, 10, 10);
        EXPECT_EQ(Stylus.heldFrames, 10);
        up(upFor);
        frame(1, 10, 10);
        EXPECT_EQ(std::pair(int(Stylus.pressed), int(Stylus.doubleTap)), std::pair(1, 10 + upFor <= 44 ? 1 : 0));
        frame(1, 10, 10);
        EXPECT_EQ(Stylus.doubleTap, 0);
    }

    // A press and release between two samples is never seen, nor does the
    // point move.
    up(3);
    stylusheld = 1, stylusx = 200, stylusy = 200, stylusheld = 0;
    ZK_UpdateInput();
    EXPECT_EQ((std::vector<int>{Stylus.pressed, Stylus.held, Stylus.x}), (std::vector<int>{0, 0, 10}));
}

TEST(Stylus, HitTestsUseTheInclusiveBox) {
    freshInput();
    ZK_InitSprites();
    Target t;
    ZK_CreateSprite(1, &t.image, 16, 16, 232, 8);  // left 224, top 0
    const struct { int16_t x, y; int touched, pixel; } cases[] = {
        {240, 16, 1, 0},  // the extra column and row: touched, but no pixel there
        {241, 16, 0, 0},  {240, 17, 0, 0},  {224, 0, 1, 0},  // column 0: transparent
        {223, 0, 0, 0},   {239, 15, 1, 16}, {232, 5, 1, 9},  {231, 5, 1, 0},
        {239, 16, 1, 0},  {240, 3, 1, 0},
    };
    for (const auto& c : cases) {
        frame(1, c.x, c.y);
        EXPECT_EQ(std::pair(int(ZK_SpriteTouched(1)), int(ZK_SpriteTouchedPix(1))), std::pair(c.touched, c.pixel))
            << c.x << ", " << c.y;
    }

    // After the lift the last contact point keeps counting, until a contact
    // elsewhere.
    frame(1, 236, 4);
    up(2);
    EXPECT_EQ(ZK_SpriteTouched(1), 1);
    frame(1, 100, 100);
    EXPECT_EQ(ZK_SpriteTouched(1), 0);

    // Hidden sprites are never touched; frames and depths pick the pixel.
    frame(1, 236, 4);
    zk_sprites[1]->visible = 0;
    EXPECT_EQ(ZK_SpriteTouched(1) + ZK_SpriteTouchedPix(1), 0);
    zk_sprites[1]->visible = 1;
    EXPECT_EQ(ZK_SpriteTouchedPix(1), 13);
    zk_sprites[1]->depth = 3;
    EXPECT_EQ(ZK_SpriteTouchedPix(1), 0);

    // 16-bit: the raw value, so the key colour counts as touched and black
    // does not. Frame 1 of a 4 x 8 image.
    uint16_t wide[32] = {};
    wide[16 + 2 * 4 + 1] = 0xF81F;
    wide[16 + 2 * 4 + 2] = 0x1234;
    SpriteImage image16{wide, nullptr, nullptr, nullptr, 2, 1, 4, 8};
    ZK_CreateSprite(2, &image16, 4, 4, 50, 50);  // left 48, top 48
    zk_sprites[2]->frame = 1;
    for (auto [x, pixel] : {std::pair{49, 0xF81F}, {50, 0x1234}, {51, 0}}) {
        frame(1, int16_t(x), 50);
        EXPECT_EQ(ZK_SpriteTouchedPix(2), pixel) << x;
    }
    ZK_InitSprites();
}

TEST(Stylus, Dragging) {
    freshInput();
    ZK_InitSprites();
    Target t;
    ZK_CreateSprite(7, &t.image, 16, 16, 100, 100);
    ZK_CreateSprite(9, &t.image, 16, 16, 104, 100);  // overlaps sprite 7

    // Not held, empty slot, hidden sprite: no drag.
    EXPECT_EQ(ZK_MoveSpriteEx(7, 0, 0), 0);
    frame(1, 102, 100);
    EXPECT_EQ(ZK_MoveSpriteEx(100, 0, 0), 0);
    zk_sprites[7]->visible = 0;
    EXPECT_EQ(ZK_MoveSpriteEx(7, 0, 0), 0);
    zk_sprites[7]->visible = 1;

    // Grabbed: no move in that frame.
    EXPECT_EQ(ZK_MoveSpriteEx(7, 0, 0), 1);
    EXPECT_EQ((std::vector<int>{ZK_MovedSprite.active, ZK_MovedSprite.sprite, zk_sprites[7]->x}),
              (std::vector<int>{1, 7, 100}));
    EXPECT_EQ(ZK_MoveSpriteEx(9, 0, 0), 0) << "one drag at a time";

    // Without snap the sprite keeps its offset: 5 right and 3 up.
    frame(1, 107, 97);
    EXPECT_EQ(ZK_MoveSpriteEx(9, 0, 0), 0);
    EXPECT_EQ(ZK_MoveSpriteEx(7, 0, 0), 1);
    EXPECT_EQ(dragOf(7), (std::vector<int>{105, 97, 5, -3, 105, 97}));
    EXPECT_EQ(zk_sprites[9]->x, 104);

    // With snap the centre jumps to the stylus.
    frame(1, 110, 99);
    EXPECT_EQ(ZK_MoveSpriteEx(7, 1, 0), 1);
    EXPECT_EQ(dragOf(7), (std::vector<int>{110, 99, 3, 2, 110, 99}));

    // The watchdog: two unserved frames keep the drag, the third ends it.
    for (int i = 0; i < 2; ++i) frame(1, 110, 99);
    EXPECT_EQ(ZK_MovedSprite.active, 1);
    EXPECT_EQ(ZK_MoveSpriteEx(9, 0, 0), 0);
    frame(1, 110, 99);
    EXPECT_EQ(ZK_MovedSprite.active, 0) << "a refused call for another sprite does not serve the drag";
    EXPECT_EQ(ZK_MoveSpriteEx(9, 0, 0), 1) << "after the drag ends any sprite under the stylus may be taken";
    EXPECT_EQ(ZK_MovedSprite.sprite, 9);

    // Lifting ends a drag at once.
    frame(0);
    EXPECT_EQ(ZK_MovedSprite.active, 0);
    EXPECT_EQ(ZK_MoveSpriteEx(9, 0, 0), 0);

    // Sliding the held stylus onto a sprite grabs it; with the pixel test only
    // an opaque pixel does: column 1 of sprite 9 is transparent, column 10 not.
    for (auto [x, grabbed] : {std::pair{20, 0}, {97, 0}, {106, 1}}) {
        frame(1, int16_t(x), x == 20 ? 20 : 100);
        EXPECT_EQ(ZK_MoveSpriteEx(9, 0, 1), grabbed) << x;
    }
    EXPECT_EQ(zk_sprites[9]->x, 104);
    ZK_InitSprites();
}

TEST(Stylus, ThroughTheFrameLoop) {
    // Scripted taps on the headless device, with the built-in quit button in
    // the top-right corner: a touch of it ends the loop in the frame it is
    // first seen; taps elsewhere, even a press and release at one moment, are
    // seen and do not end it.
    int frames = 0, presses = 0, releases = 0, wrongPixels = 0;
    std::vector<int> seen;
    EXPECT_EQ(zk_test_run([&] {
                  ZK_Init();
                  ZK_CreateSprite(0, &zk_quit, 16, 16, 232, 8);
                  ZK_Refresh();
                  // Shown with its run list: the key pixels of its cut
                  // corners leave the cleared black.
                  const uint16_t* button = static_cast<const uint16_t*>(zk_quit.pixels);
                  for (int k = 0; k < 256; ++k)
                      wrongPixels += zk_buffer[k / 16 * ZK_WIDTH + 224 + k % 16] !=
                                     (button[k] == zk_transpcolor ? 0 : button[k]);
                  const uint32_t now = zk_headless_clock();
                  zk_headless_tap(now + 200, 30, 30, 0);  // down and up together
                  zk_headless_tap(now + 400, 60, 60, 80);
                  zk_headless_tap(now + 700, 236, 4, 80);
                  for (; frames < 200; ++frames) {
                      ZK_Refresh();
                      presses += Stylus.pressed;
                      releases += Stylus.released;
                      if (Stylus.pressed) seen.push_back(Stylus.x);
                      if (Stylus.pressed && ZK_SpriteTouched(0)) return 0;
                  }
                  return 1;
              }),
              0);
    EXPECT_EQ((std::vector<int>{wrongPixels, presses, releases}), (std::vector<int>{0, 3, 2}));
    EXPECT_EQ(seen, (std::vector<int>{30, 60, 236}));
    EXPECT_GT(frames, 20);
    EXPECT_LT(frames, 40);
}
