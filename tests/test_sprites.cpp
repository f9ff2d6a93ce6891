// The sprite table, the blitter each sprite is drawn with (seen through the
// pixels it leaves), and sprite animation.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "zk_blend.h"
#include "zk_test_support.h"

namespace {

// A run list of a 16-wide image with one opaque span a line, columns from(y) .. from(y) + n - 1: a
// transparent count, an opaque one and a transparent one per line; four 0xFF bytes end it.
struct RunList { std::vector<uint16_t> offsets; std::vector<uint8_t> runs; };
RunList spanRuns(int height, int (*from)(int y), int n) {
    RunList r;
    for (int y = 0; y < height; ++y) {
        r.offsets.push_back(uint16_t(r.runs.size()));
        r.runs.insert(r.runs.end(), {uint8_t(from(y)), uint8_t(n), uint8_t(16 - from(y) - n)});
    }
    r.runs.insert(r.runs.end(), 4, 0xFF);
    return r;
}

void resetTable() {
    ZK_InitSprites();
    zk_minsprite = 4096, zk_maxsprite = -1;
    for (ClipWindow& w : zk_window) w = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    zk_curwindow = 0, zk_cursprite = -1, zk_FPS = 40;
}

void fill(uint16_t colour) { std::fill(std::begin(zk_buffer), std::end(zk_buffer), colour); }
// Draws sprite n alone over a buffer of colour.
void showAlone(int16_t n, uint16_t colour) {
    fill(colour);
    ZK_ShowSprite(n);
}
uint16_t at(int x, int y) { return zk_buffer[y * ZK_WIDTH + x]; }

constexpr uint16_t kBackground = 0x18E3;

// A 16 x 16 test picture in both depths. Index 0 / the key sits on every
// 7th pixel; the run list marks columns 0..11 opaque, which differs from
// the key pattern, so the run-list copy, the keyed copy and the plain copy
// all leave different pixels.
struct TestPictures {
    uint8_t indices[256];
    uint16_t colours[256];
    uint16_t palette[256];
    RunList runs = spanRuns(16, [](int) { return 0; }, 12);
    SpriteImage image8{}, image16{};

    TestPictures() {
        for (int i = 0; i < 256; ++i) palette[i] = uint16_t(0x2000 + 37 * i);
        palette[0] = 0x00AA;
        for (int k = 0; k < 256; ++k) {
            indices[k] = k % 7 == 0 ? 0 : uint8_t(1 + k % 200);
            colours[k] = k % 7 == 0 ? zk_transpcolor : uint16_t(0x4000 + k);
        }
        image8 = {indices, runs.offsets.data(), runs.runs.data(), palette, 1, 0, 16, 16};
        image16 = {colours, runs.offsets.data(), runs.runs.data(), nullptr, 2, 0, 16, 16};
    }
    uint16_t colour(int depth, int k) const { return depth == 1 ? palette[indices[k]] : colours[k]; }
    bool key(int depth, int k) const { return depth == 1 ? indices[k] == 0 : colours[k] == zk_transpcolor; }
};

}  // namespace

TEST(Sprites, CreationWidensTheRangeAndRecreationKeepsTheRecord) {
    resetTable();
    TestPictures p;
    for (auto [slot, low, high] : {std::tuple{5, 5, 5}, {2, 2, 5}, {3, 2, 5}}) {
        ZK_CreateSprite(int16_t(slot), &p.image8, 16, 16, 10, 10);
        EXPECT_EQ(std::pair(int(zk_minsprite), int(zk_maxsprite)), std::pair(low, high)) << "slot " << slot;
    }

    // Change everything the game may change, start an animation, then create
    // the slot again with another image and size.
    Sprite* s = zk_sprites[3];
    ZK_StartSpriteAnimEx(3, 1, 6, 25, 1, 4);
    s->x = 1, s->y = 2, s->priority = 300, s->frame = 5, s->alpha = 7, s->flipX = 1, s->flipY = 1;
    s->zoom = 3000, s->angle = 99, s->window = 4, s->visible = 0;
    ZK_SetSpriteLimits(3, 1, 2, 3, 4);
    ZK_CreateSprite(3, &p.image16, 8, 12, 50, 60);
    EXPECT_EQ(zk_sprites[3], s) << "the record is reused";
    EXPECT_EQ((std::vector<int>{s->visible, s->x, s->y, s->frameWidth, s->frameHeight, s->width, s->height, s->depth,
                                s->opaque, s->priority, s->frame, s->alpha, s->flipX, s->flipY, s->zoom, s->angle,
                                s->window, s->clipLeft, s->clipTop, s->clipRight, s->clipBottom}),
              (std::vector<int>{1, 50, 60, 8, 12, 8, 12, 2, 0, 0, 0, 32, 0, 0, 1024, 0, 0, 0, 0, 7, 11}));
    // The animation is stopped but keeps its bounds and speed.
    EXPECT_EQ((std::vector<int>{s->animActive, s->animLow, s->animHigh, s->animSpeed, s->animLoops, s->animPingPong}),
              (std::vector<int>{0, 1, 6, 25, 4, 1}));

    // The clip limits keep their low 8 bits.
    ZK_CreateSprite(9, &p.image8, 16, 16, 0, 0);
    ZK_SetSpriteLimits(9, 256 + 3, -1, 511, 1000);
    ZK_SetSpriteXY(9, -7, 400);
    const Sprite* n = zk_sprites[9];
    EXPECT_EQ((std::vector<int>{n->clipLeft, n->clipTop, n->clipRight, n->clipBottom, n->x, n->y}),
              (std::vector<int>{3, 255, 255, 232, -7, 400}));

    ZK_InitSprites();
    for (Sprite* slot : zk_sprites) EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(std::pair(int(zk_minsprite), int(zk_maxsprite)), std::pair(2, 9)) << "the range is left as it was";
}

TEST(Sprites, FramesOfAStackedImageInsideTheWindowAndClipRectangle) {
    resetTable();
    // 16-bit pixels that name their index, cut into 15 x 15 frames: frame 3 starts at pixel 3 x 225. An odd
    // width centres with the arithmetic half: width 15 at x = 100 starts at 93. The sprite's window ends at
    // x = 104 (column 11); its own clip rectangle keeps columns 2..12 and rows 3..13, slot 0's too.
    std::vector<uint16_t> named(16 * 64);
    for (int k = 0; k < 16 * 64; ++k) named[k] = uint16_t(k + 1);
    SpriteImage opaque{named.data(), nullptr, nullptr, nullptr, 2, 1, 16, 64};
    ZK_CreateSprite(0, &opaque, 15, 15, 100, 100);
    zk_sprites[0]->frame = 3, zk_sprites[0]->window = 2;
    ZK_SetWindowLimits(2, 0, 0, 104, 319);
    ZK_SetSpriteLimits(0, 2, 3, 12, 13);
    showAlone(0, 0);
    for (int r = -1; r <= 15; ++r)
        for (int c = -1; c <= 15; ++c) {
            const bool shown = c >= 2 && c <= 11 && r >= 3 && r <= 13;
            EXPECT_EQ(at(93 + c, 93 + r), shown ? 675 + r * 15 + c + 1 : 0) << c << ", " << r;
        }

    // With a run list, frame f's lines are entries 16 f onwards: here frame
    // f is opaque in columns 2f .. 2f + 3 only.
    std::vector<uint8_t> rows(16 * 64);
    uint16_t palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = uint16_t(0x3000 + i);
    for (int k = 0; k < 16 * 64; ++k) rows[k] = uint8_t(1 + k / 16);  // index names the image row
    RunList runs = spanRuns(64, [](int y) { return 2 * (y / 16); }, 4);
    SpriteImage listed{rows.data(), runs.offsets.data(), runs.runs.data(), palette, 1, 0, 16, 64};
    ZK_CreateSprite(2, &listed, 16, 16, 50, 50);
    zk_sprites[2]->frame = 3;
    showAlone(2, 0);
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            EXPECT_EQ(at(42 + c, 42 + r), c >= 6 && c < 10 ? palette[1 + 48 + r] : 0) << c << ", " << r;
    ZK_InitSprites();
}

TEST(Sprites, BlitterChoiceSeenInThePixels) {
    resetTable();
    TestPictures p;
    const int cx = 60, cy = 70, left = cx - 8, top = cy - 8;

    // Upright drawing: plain copy for opaque images, run-list copy for the
    // others, keyed mirroring copy whenever a mirror flag is set; an angle
    // of 512 or -512 at zoom 1024 is upright too.
    enum Expect { Plain, RunList, MirroredX, MirroredXY };
    struct Case { int depth, opaque, angle; uint8_t flipX, flipY; Expect expect; } const upright[] = {
        {1, 1, 0, 0, 0, Plain}, {2, 1, 0, 0, 0, Plain}, {1, 0, 0, 0, 0, RunList}, {2, 0, 512, 0, 0, RunList},
        {1, 1, -512, 0, 0, Plain}, {1, 0, 0, 1, 0, MirroredX}, {2, 1, 0, 1, 0, MirroredX}, {1, 1, 1024, 1, 1, MirroredXY},
        {2, 0, 0, 1, 1, MirroredXY}};
    for (const Case& c : upright) {
        SCOPED_TRACE(testing::Message() << "upright case " << &c - upright);
        SpriteImage image = c.depth == 1 ? p.image8 : p.image16;
        image.opaque = c.opaque;
        ZK_CreateSprite(7, &image, 16, 16, int16_t(cx), int16_t(cy));
        zk_sprites[7]->angle = c.angle, zk_sprites[7]->flipX = c.flipX, zk_sprites[7]->flipY = c.flipY;
        showAlone(7, kBackground);
        for (int r = 0; r < 16; ++r)
            for (int col = 0; col < 16; ++col) {
                const int k = (c.expect == MirroredXY ? 15 - r : r) * 16 + (c.expect >= MirroredX ? 15 - col : col);
                const bool hidden = c.expect == RunList ? col >= 12 : c.expect >= MirroredX && p.key(c.depth, k);
                ASSERT_EQ(at(left + col, top + r), hidden ? kBackground : p.colour(c.depth, k))
                    << "at column " << col << " row " << r;
            }
    }

    // Transformed drawing goes to the rotate and zoom entry 4 x (16-bit) +
    // 2 x (alpha not 32) + opaque (the picture has keyed pixels, so keyed and
    // opaque entries differ), and the mirror flags are ignored.
    struct RotCase { int depth, opaque, alpha, angle, zoom, entry; uint8_t flipX; } const rotated[] = {
        {1, 0, 20, 0, 2048, 2, 0}, {1, 0, 32, 0, 2048, 0, 0}, {2, 1, 32, 100, 1024, 5, 0}, {1, 1, 32, 1, 1024, 1, 0},
        {2, 0, 32, 0, 1023, 4, 0}, {2, 1, 5, 300, 700, 7, 1}, {1, 1, 9, 600, 1300, 3, 1}, {2, 0, 31, 77, 1500, 6, 0}};
    std::vector<uint16_t> got(std::size(zk_buffer));
    for (const RotCase& c : rotated) {
        SCOPED_TRACE(testing::Message() << "rotated case " << &c - rotated);
        SpriteImage image = c.depth == 1 ? p.image8 : p.image16;
        image.opaque = c.opaque;
        ZK_CreateSprite(8, &image, 16, 16, int16_t(cx), int16_t(cy));
        Sprite* s = zk_sprites[8];
        s->alpha = int16_t(c.alpha), s->angle = c.angle, s->zoom = c.zoom, s->flipX = c.flipX;
        ZK_SetSpriteLimits(8, 4, 4, 5, 5);  // ignored by the rotated path
        showAlone(8, kBackground);
        EXPECT_EQ(zk_cursprite, -1);
        std::copy(std::begin(zk_buffer), std::end(zk_buffer), got.begin());
        fill(kBackground);
        ZK_CopyRot[c.entry](image.pixels, c.depth == 1 ? p.palette : nullptr, 16, 16, left, top, c.alpha, c.angle, c.zoom);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), std::begin(zk_buffer)));
        EXPECT_NE(std::count(got.begin(), got.end(), kBackground), ZK_WIDTH * ZK_HEIGHT);
    }
    ZK_InitSprites();
}

TEST(Sprites, ShutDownFreesEveryRecordHiddenOrNot) {
    static TestPictures p;
    EXPECT_EQ(zk_test_run([] {
        ZK_Init();
        for (int slot : {10, 20, 4095}) ZK_CreateSprite(int16_t(slot), slot < 4095 ? &p.image8 : &p.image16, 16, 16, 20, 20);
        zk_sprites[20]->visible = 0;
        ZK_Refresh();
        return 0;
    }), 0);
    // The leak checker of the sanitized build sees any record left behind.
    EXPECT_TRUE(zk_sprites[10] == nullptr && zk_sprites[20] == nullptr && zk_sprites[4095] == nullptr);
}

// Depth 0 draws nothing, but the animation still moves on and the clip state
// is still set.
TEST(SpriteAnimation, Sequences) {
    resetTable();
    TestPictures p;
    SpriteImage image = p.image8;
    image.depth = 0;
    fill(kBackground);
    // frames: the frame after each drawing; activeAfter, loopsAfter: animActive and animLoops at the end.
    struct Anim {
        uint16_t first, last, speed; uint8_t pingPong; uint16_t loops; std::vector<int> frames; int activeAfter, loopsAfter;
    };
    const Anim cases[] = {
        // One way from 2 to 5: wraps to 2. Endless loops settle at -1, from -32768 too.
        {2, 5, 40, 0, 0, {3, 4, 5, 2, 3, 4, 5, 2, 3}, 1, -1}, {2, 5, 40, 0, 1, {3, 4, 5, 2, 2, 2}, 0, 0},
        {2, 5, 40, 0, 2, {3, 4, 5, 2, 3, 4, 5, 2, 2}, 0, 0}, {2, 5, 40, 0, 0x8000, {3, 4, 5, 2}, 1, -1},
        // Ping-pong: the turning frames are not repeated; the last pass stops
        // on the bound it reached.
        {2, 5, 40, 1, 0, {3, 4, 5, 4, 3, 2, 3, 4, 5, 4}, 1, -1},
        {2, 5, 40, 1, 2, {3, 4, 5, 4, 3, 2, 2, 2}, 0, 0}, {2, 5, 40, 1, 1, {3, 4, 5, 5, 5}, 0, 0},
        // Speed 10 at 40 frames per second: a step every 4th drawing.
        {2, 5, 10, 0, 0, {2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 2}, 1, -1},
        // Speed 80: two steps per drawing, each tested against the bounds.
        {2, 5, 80, 0, 0, {4, 2, 4, 2}, 1, -1}, {2, 5, 80, 1, 0, {4, 4, 2, 4, 4, 2}, 1, -1},
        {2, 5, 80, 1, 1, {4, 5, 5}, 0, 0},
        // Speed 0 never moves, never counts and never ends.
        {2, 5, 0, 1, 1, {2, 2, 2, 2, 2, 2}, 1, 1},
        // Only the low 8 bits of the speed count: 0x128 plays at 40.
        {2, 5, 0x128, 0, 0, {3, 4, 5, 2}, 1, -1},
        // First = last: one way, every step ends a pass at once.
        {3, 3, 40, 0, 3, {3, 3, 3, 3}, 0, 0}, {3, 3, 40, 1, 0, {2, 3, 2, 3, 2}, 1, -1}, {3, 3, 40, 1, 1, {3, 3}, 0, 0},
        // Descending: starts from the lower end with step -1; ping-pong turns
        // at once, one way shows only the lower end while counting loops.
        {5, 2, 40, 1, 0, {3, 4, 5, 4, 3, 2, 3}, 1, -1}, {5, 2, 40, 0, 2, {2, 2, 2}, 0, 0},
    };
    for (const Anim& c : cases) {  // in the first slot
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        ZK_CreateSprite(0, &image, 16, 16, 0, 0);
        zk_sprites[0]->window = 5;
        ZK_StartSpriteAnimEx(0, c.first, c.last, c.speed, c.pingPong, c.loops);
        EXPECT_EQ(zk_sprites[0]->frame, std::min<int16_t>(int16_t(c.first), int16_t(c.last)))
            << "the start frame is shown at once";
        std::vector<int> frames;
        zk_cursprite = -1, zk_curwindow = 0;
        for (size_t i = 0; i < c.frames.size(); ++i) ZK_ShowSprite(0), frames.push_back(zk_sprites[0]->frame);
        const Sprite* s = zk_sprites[0];
        EXPECT_EQ(std::tuple(frames, int(s->animActive), int(s->animLoops), int(zk_cursprite), int(zk_curwindow)),
                  std::tuple(c.frames, c.activeAfter, c.loopsAfter, 0, 5));
    }
    EXPECT_EQ(std::count(std::begin(zk_buffer), std::end(zk_buffer), kBackground), ZK_WIDTH * ZK_HEIGHT);

    // The last slot animates too.
    ZK_CreateSprite(4095, &image, 16, 16, 0, 0);
    ZK_StartSpriteAnimEx(4095, 1, 3, 40, 0, 0);
    EXPECT_EQ(zk_sprites[4095]->animActive, 1);

    // A measured rate below 1 counts as 1 instead of hanging the step loop;
    // at 20 frames per second speed 40 makes two steps per drawing.
    for (auto [fps, speed, frame] : {std::tuple{0, 3, 3}, {-5, 3, 3}, {20, 40, 2}}) {
        zk_FPS = fps;
        ZK_StartSpriteAnimEx(0, 0, 9, uint16_t(speed), 0, 0);
        ZK_ShowSprite(0);
        EXPECT_EQ(zk_sprites[0]->frame, frame) << "rate " << fps;
    }
    zk_FPS = 40;
    ZK_InitSprites();
}
