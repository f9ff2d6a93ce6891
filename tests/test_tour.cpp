// The engine tour on the headless device: one scripted run through every
// scene and back to the first, with drags, a double tap, painting and the
// animated GIF's pause, stop and play, ending on the quit button.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tour.h"
#include "zk_test_support.h"

namespace {

constexpr uint32_t kFrameMs = 25;  // one frame at 40 frames a second

// A stroke: down at (x, y), one move a frame by (dx, dy) for `moves`
// frames, then up a frame later.
void stroke(int x, int y, int dx, int dy, int moves) {
    const uint32_t now = zk_headless_clock();
    zk_headless_event(now, WM_LBUTTONDOWN, x, y);
    for (int k = 1; k <= moves; ++k) zk_headless_event(now + k * kFrameMs, WM_MOUSEMOVE, x + k * dx, y + k * dy);
    zk_headless_event(now + (moves + 1) * kFrameMs + 5, WM_LBUTTONUP, x + moves * dx, y + moves * dy);
}

void tap(int x, int y) { zk_headless_tap(zk_headless_clock(), x, y); }
void tapNext() { tap(TOUR_NEXT_X, TOUR_NEXT_Y); }

uint16_t screenAt(int x, int y) { return zk_headless_screen()[y * ZK_WIDTH + x]; }
int green(uint16_t c) { return (c >> 5) & 63; }

// The script: what to do in frame f of each scene, counted from the frame in
// which the scene was set up (its fade-in takes the first 9).
struct TourRun {
    std::vector<int> order;  // scenes in the order they appeared
    int scene = -1;
    int f = 0;
    int frames = 0;
    // Values looked at across frames.
    int16_t fishX = 0, fishY = 0;
    int doubleTapsBefore = -1;
    int32_t gifFramesPaused = -1;
    uint16_t canvasBefore = 0;
    int scenesChecked = 0;
};

void onPresent(const uint16_t*, void* user) {
    TourRun& r = *static_cast<TourRun*>(user);
    if (tour_scene == 0) return;  // the shell's first paint, or start-up
    ++r.frames;
    if (tour_scene != r.scene) {
        r.scene = tour_scene;
        r.order.push_back(tour_scene);
        r.f = 0;
    }
    const int f = ++r.f;
    if (r.frames > 6000 && r.frames % 4 == 0) tap(232, 8);  // a safety net: the script went astray
    const bool again = r.order.size() > TOUR_SCENES;
    if (f == 19 && !again) {  // a picture of each scene, for people to look at
        zk_test_save_ppm("tour_scene" + std::to_string(tour_scene), zk_headless_screen());
        // Every name of the scene's calls fits under its title, in font 0.
        const TextSlotRecord& names = ZK_TextSlot[1][2];
        EXPECT_EQ(names.font, 0);
        EXPECT_EQ(names.count, int32_t(std::strlen(Tour_CallNames(tour_scene)))) << "scene " << tour_scene;
    }

    switch (tour_scene) {
        case TOUR_TEXT:
            if (f == 30) {
                // Every label and the clipped ticker hold letters.
                EXPECT_GT(ZK_TextSlot[1][0].count, 0);
                EXPECT_GT(ZK_TextSlot[2][0].count, 0);
                ++r.scenesChecked;
                if (again)
                    tap(232, 8);
                else
                    tapNext();
            }
            break;
        case TOUR_DEBUG:
            if (f == 20) {
                EXPECT_EQ(zk_debug_bg, 0);
                // Row 12 reads "Numbers   42 -7 0" from column 2 on: the cell of
                // the 4 holds the debug font's entry for '4' in colour 5.
                EXPECT_EQ(zk_debugmap[12 * 40 + 12], zk_debugtruemap['4'] | (5u << 27));
                ++r.scenesChecked;
                tapNext();
            }
            break;
        case TOUR_SPRITES:
            // The clock with 3 loops of 8 frames at 8 a second stops on frame 0
            // after 3 seconds; a tap starts it again.
            if (f == 150) {
                EXPECT_EQ(zk_sprites[12]->animActive, 0);
                EXPECT_EQ(zk_sprites[12]->frame, 0);
                EXPECT_EQ(zk_sprites[10]->animActive, 1);  // the endless ones go on
                EXPECT_EQ(zk_sprites[11]->animActive, 1);
                tap(200, 46);
            }
            if (f == 156) {
                EXPECT_EQ(zk_sprites[12]->animActive, 1);
                ++r.scenesChecked;
                tapNext();
            }
            break;
        case TOUR_STYLUS: {
            Sprite* fish = zk_sprites[TOUR_SPR_FISH];
            Sprite* donut = zk_sprites[TOUR_SPR_DONUT];
            Sprite* star = zk_sprites[TOUR_SPR_SNAP];
            if (f == 20) {
                r.fishX = fish->x, r.fishY = fish->y;
                stroke(fish->x, fish->y, 4, 3, 10);  // the fish keeps its offset: it moves by 40, 30
            }
            if (f == 40) {
                EXPECT_EQ(fish->x, r.fishX + 40);
                EXPECT_EQ(fish->y, r.fishY + 30);
                stroke(donut->x + 1, donut->y, 1, 0, 3);  // in the hole: the pixel test refuses it
            }
            if (f == 100) {
                EXPECT_EQ(donut->x, 50);
                EXPECT_EQ(donut->y, 90);
                stroke(donut->x, donut->y - 15, 2, 0, 10);  // on the ring it follows
            }
            if (f == 160) {
                EXPECT_EQ(donut->x, 70);
                EXPECT_EQ(donut->y, 90);
                stroke(star->x + 10, star->y + 10, 1, 1, 5);  // the star snaps its centre to the stylus
            }
            if (f == 220) {
                EXPECT_EQ(star->x, 135);
                EXPECT_EQ(star->y, 165);
                r.doubleTapsBefore = tour_doubletaps;
                tap(200, 300 - 20);
            }
            if (f == 230) tap(200, 300 - 20);
            if (f == 240) {
                EXPECT_EQ(tour_doubletaps, r.doubleTapsBefore + 1);
                ++r.scenesChecked;
                tapNext();
            }
            break;
        }
        case TOUR_LAYERS: {
            const BgLayer& canvas = zk_bg[TOUR_BG_PAINT];
            const auto* paper = static_cast<const uint16_t*>(canvas.pixels);
            const int at = 30 * canvas.width + 40;  // on the stroke below, in layer pixels
            if (f == 20) {
                ASSERT_TRUE(canvas.used);
                ASSERT_EQ(canvas.depth, 2);
                r.canvasBefore = paper[at];
                stroke(TOUR_PAINT_X + 20, TOUR_PAINT_Y + 20, 2, 1, 20);
            }
            if (f == 50) {
                EXPECT_NE(paper[at], r.canvasBefore);
                EXPECT_EQ(ZK_GifInfo.state, 1);
                tap(20, 200);  // pause
            }
            if (f == 60) {
                EXPECT_EQ(ZK_GifInfo.state, 2);
                r.gifFramesPaused = ZK_GifInfo.frameCount;
            }
            if (f == 90) {
                EXPECT_EQ(ZK_GifInfo.frameCount, r.gifFramesPaused);  // nothing advanced while paused
                tap(20, 200);                                         // go on
            }
            if (f == 130) {
                EXPECT_EQ(ZK_GifInfo.state, 1);
                EXPECT_NE(ZK_GifInfo.frameCount, r.gifFramesPaused);
                tap(48, 200);  // stop
            }
            if (f == 140) {
                EXPECT_EQ(ZK_GifInfo.state, 0);
                EXPECT_EQ(zk_sprites[TOUR_SPR_PLAY]->frame, 0);  // shows "play" again
                tap(20, 200);                                    // play from the start
            }
            if (f == 150) {
                EXPECT_EQ(ZK_GifInfo.state, 1);
                EXPECT_EQ(zk_sprites[TOUR_SPR_PLAY]->frame, 1);
            }
            if (f == 200) {
                ++r.scenesChecked;
                tapNext();  // while the GIF plays: the hook stops it
            }
            break;
        }
        case TOUR_FADES:
            // Look once the fade is deep: the backdrop (priority 1023) is darker
            // than its own picture, the star in front (priority 10) is not.
            if (f >= 20 && f < 200 && zk_fade.level < 12 && r.scenesChecked == 5) {
                const BgLayer& back = zk_bg[15];
                const auto* px = static_cast<const uint8_t*>(back.pixels);
                const uint16_t own = back.palette[px[150 * back.width + 2]];
                EXPECT_LT(green(screenAt(2, 150)), green(own));
                const Sprite* star = zk_sprites[20];
                const auto* sp = static_cast<const uint8_t*>(star->pixels);
                EXPECT_EQ(screenAt(star->x, star->y), star->palette[sp[16 * 32 + 16]]);
                ++r.scenesChecked;
            }
            if (f == 200) tapNext();
            break;
    }
}

TEST(Tour, HeadlessRunReachesEveryScene) {
    TourRun r;
    zk_test_dovect = [](uint8_t layer) { Tour_DrawVectors(layer); };
    zk_headless_on_present(onPresent, &r);
    const int rc = zk_test_run([] { return Tour_Main(); });
    zk_headless_on_present(nullptr, nullptr);
    zk_test_dovect = nullptr;

    EXPECT_EQ(rc, 0);
    EXPECT_EQ(tour_seen, 0x7Eu);  // scenes 1..6
    EXPECT_EQ(r.order, (std::vector<int>{1, 2, 3, 4, 5, 6, 1}));
    EXPECT_EQ(r.scenesChecked, 7);
    EXPECT_LT(r.frames, 6000);
    EXPECT_EQ(zk_debug_bg, -1);  // the overlay was switched off again
}

}  // namespace

namespace {

// The tour's vector hook on its own: shapes far outside the screen, a layer
// offset, outline and filled rectangles, all cut to the layer's window.
TEST(Tour, VectorHookClipsToWindowAndScreen) {
    constexpr uint8_t layer = 6;
    constexpr uint16_t kPaper = 0x1234, kInk = 0xFFE0, kFill = 0x07FF;
    struct Case {
        const char* name;
        ClipWindow window;
        int32_t layerX, layerY;
        uint8_t kind, mode;
        int32_t x1, y1, x2, y2;
        std::vector<std::pair<int, int>> ink, fill;  // pixels expected in each colour; all others (the inside
                                                     // of an outline too) stay paper
    };
    std::vector<Case> cases = {
        {"a line across the plane, cut to a window",
         {10, 20, 50, 60},
         0,
         0,
         0,
         0,
         -100000,
         -100000,
         100000,
         100000,
         {},
         {}},
        {"an outline rectangle", {0, 0, 239, 319}, 0, 0, 1, 0, 30, 30, 33, 32, {}, {}},
        {"a filled rectangle larger than the screen", {0, 0, 239, 319}, 0, 0, 1, 1, -5, -5, 300, 400, {}, {}},
        {"a point moved by the layer's position", {0, 0, 239, 319}, 5, 7, 0, 0, 0, 0, 0, 0, {{5, 7}}, {}},
        {"a window beyond the screen's edges", {-50, 300, 400, 900}, 0, 0, 0, 0, 0, 319, 239, 319, {}, {}},
    };
    for (int v = 20; v <= 50; ++v) cases[0].ink.emplace_back(v, v);
    for (int x = 30; x <= 33; ++x) cases[1].ink.insert(cases[1].ink.end(), {{x, 30}, {x, 32}});
    cases[1].ink.insert(cases[1].ink.end(), {{30, 31}, {33, 31}});
    for (int y = 0; y < ZK_HEIGHT; ++y)
        for (int x = 0; x < ZK_WIDTH; ++x) cases[2].fill.emplace_back(x, y);
    for (int x = 0; x < ZK_WIDTH; ++x) cases[4].ink.emplace_back(x, 319);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto& p : zk_buffer) p = kPaper;
        ZK_LoadVectoBg(layer);
        zk_bg[layer].x = c.layerX;
        zk_bg[layer].y = c.layerY;
        if (c.kind == 0)
            ZK_VectoBgAddLine(layer, c.x1, c.y1, c.x2, c.y2, kInk, 0);
        else
            ZK_VectoBgAddRectangle(layer, c.x1, c.y1, c.x2, c.y2, kInk, kFill, c.mode);
        zk_window[7] = c.window;
        zk_curwindow = 7;
        Tour_DrawVectors(layer);

        std::vector<uint16_t> want(ZK_WIDTH * ZK_HEIGHT, kPaper);
        for (auto [x, y] : c.fill) want[size_t(y * ZK_WIDTH + x)] = kFill;
        for (auto [x, y] : c.ink) want[size_t(y * ZK_WIDTH + x)] = kInk;
        int wrong = 0;
        for (int i = 0; i < ZK_WIDTH * ZK_HEIGHT; ++i)
            if (zk_buffer[i] != want[size_t(i)] && wrong++ < 5)
                ADD_FAILURE() << "pixel " << i % ZK_WIDTH << ", " << i / ZK_WIDTH << " is " << zk_buffer[i];
        EXPECT_EQ(wrong, 0);
        ZK_BgDelete(layer);
        zk_bg[layer].x = zk_bg[layer].y = 0;
    }
    zk_window[7] = ClipWindow{0, 0, 0, 0};
    zk_curwindow = 0;
}

}  // namespace
