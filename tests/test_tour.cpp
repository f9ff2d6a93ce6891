// The engine tour on the headless device: one scripted run through every
// scene and back to the first, with drags, a double tap, painting and the
// animated GIF's pause, stop and play, ending on the quit button.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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
int green(uint16_t c) { return (c >> 5) & 63; }
std::vector<int> xy(const Sprite* s) { return {s->x, s->y}; }

// The script: what to do in frame f of each scene, counted from the frame in
// which the scene was set up (its fade-in takes the first 9).
struct TourRun {
    std::vector<int> order;  // scenes in the order they appeared
    int scene = -1, f = 0, frames = 0, scenesChecked = 0, doubleTaps = 0;
    int32_t gifFrames = 0;
    std::vector<int> fish;
    uint16_t paper = 0;
};

void onPresent(const uint16_t*, void* user) {
    TourRun& r = *static_cast<TourRun*>(user);
    if (tour_scene == 0) return;  // the shell's first paint, or start-up
    ++r.frames;
    if (tour_scene != r.scene) r.scene = tour_scene, r.order.push_back(tour_scene), r.f = 0;
    const int f = ++r.f;
    if (r.frames > 6000 && r.frames % 4 == 0) tap(232, 8);  // a safety net: the script went astray
    const bool again = r.order.size() > TOUR_SCENES;
    if (f == 19 && !again) {  // a picture of each scene, for people to look at
        zk_test_save_ppm("tour_scene" + std::to_string(tour_scene), zk_headless_screen());
        // Every name of the scene's calls fits under its title, in font 0.
        EXPECT_EQ(ZK_TextSlot[1][2].font, 0);
        EXPECT_EQ(ZK_TextSlot[1][2].count, int32_t(std::strlen(Tour_CallNames(tour_scene)))) << tour_scene;
    }
    auto done = [&](bool next = true) { ++r.scenesChecked, next ? tapNext() : void(); };
    Sprite** s = zk_sprites;
    const GifInfo& gif = ZK_GifInfo;
    switch (tour_scene) {
        case TOUR_TEXT:
            if (f != 30) break;
            EXPECT_GT(ZK_TextSlot[1][0].count, 0);  // every label and the clipped ticker hold letters
            EXPECT_GT(ZK_TextSlot[2][0].count, 0);
            done(!again);
            if (again) tap(232, 8);
            break;
        case TOUR_DEBUG:
            // Row 12 reads "Numbers   42 -7 0" from column 2 on: the cell of
            // the 4 holds the debug font's entry for '4' in colour 5.
            if (f != 20) break;
            EXPECT_EQ(zk_debug_bg, 0);
            EXPECT_EQ(zk_debugmap[12 * 40 + 12], zk_debugtruemap['4'] | (5u << 27));
            done();
            break;
        case TOUR_SPRITES:
            // The clock with 3 loops of 8 frames at 8 a second stops on frame 0
            // after 3 seconds while the endless ones go on; a tap restarts it.
            if (f == 150) {
                EXPECT_EQ((std::vector<int>{s[12]->animActive, s[12]->frame, s[10]->animActive, s[11]->animActive}),
                          (std::vector<int>{0, 0, 1, 1}));
                tap(200, 46);
            }
            if (f == 156) {
                EXPECT_EQ(s[12]->animActive, 1);
                done();
            }
            break;
        case TOUR_STYLUS: {
            Sprite *fish = s[TOUR_SPR_FISH], *donut = s[TOUR_SPR_DONUT], *star = s[TOUR_SPR_SNAP];
            if (f == 20) r.fish = xy(fish), stroke(fish->x, fish->y, 4, 3, 10);  // keeps its offset
            if (f == 40) {
                EXPECT_EQ(xy(fish), (std::vector<int>{r.fish[0] + 40, r.fish[1] + 30}));
                stroke(donut->x + 1, donut->y, 1, 0, 3);  // in the hole: the pixel test refuses it
            }
            if (f == 100) {
                EXPECT_EQ(xy(donut), (std::vector<int>{50, 90}));
                stroke(donut->x, donut->y - 15, 2, 0, 10);
            }
            if (f == 160) {
                EXPECT_EQ(xy(donut), (std::vector<int>{70, 90}));
                stroke(star->x + 10, star->y + 10, 1, 1, 5);
            }
            if (f == 220) {  // snapped
                EXPECT_EQ(xy(star), (std::vector<int>{135, 165}));
                r.doubleTaps = tour_doubletaps;
            }
            if (f == 220 || f == 230) tap(200, 280);
            if (f == 240) {
                EXPECT_EQ(tour_doubletaps, r.doubleTaps + 1);
                done();
            }
            break;
        }
        case TOUR_LAYERS: {
            const BgLayer& canvas = zk_bg[TOUR_BG_PAINT];
            auto paper = [&] { return static_cast<const uint16_t*>(canvas.pixels)[30 * canvas.width + 40]; };
            if (f == 20) {
                ASSERT_TRUE(canvas.used && canvas.depth == 2);
                r.paper = paper();
                stroke(TOUR_PAINT_X + 20, TOUR_PAINT_Y + 20, 2, 1, 20);  // paints over (40, 30)
            }
            if (f == 50) {  // pause
                EXPECT_NE(paper(), r.paper);
                EXPECT_EQ(gif.state, 1);
                tap(20, 200);
            }
            if (f == 60) {
                EXPECT_EQ(gif.state, 2);
                r.gifFrames = gif.frameCount;
            }
            if (f == 90) {  // nothing moved while paused; go on
                EXPECT_EQ(gif.frameCount, r.gifFrames);
                tap(20, 200);
            }
            if (f == 130) {  // stop
                EXPECT_EQ(gif.state, 1);
                EXPECT_NE(gif.frameCount, r.gifFrames);
                tap(48, 200);
            }
            if (f == 140) {  // play
                EXPECT_EQ(gif.state, 0);
                EXPECT_EQ(s[TOUR_SPR_PLAY]->frame, 0);
                tap(20, 200);
            }
            if (f == 150) {
                EXPECT_EQ(gif.state, 1);
                EXPECT_EQ(s[TOUR_SPR_PLAY]->frame, 1);
            }
            if (f == 200) done();  // while the GIF plays: the hook stops it
            break;
        }
        case TOUR_FADES:
            // Once the fade is deep the backdrop (priority 1023) is darker than
            // its own picture, the star in front (priority 10) is not.
            if (f >= 20 && f < 200 && zk_fade.level < 12 && r.scenesChecked == 5) {
                const BgLayer& back = zk_bg[15];
                const uint16_t own = back.palette[static_cast<const uint8_t*>(back.pixels)[150 * back.width + 2]];
                EXPECT_LT(green(zk_headless_screen()[150 * ZK_WIDTH + 2]), green(own));
                const Sprite* star = s[20];
                EXPECT_EQ(zk_headless_screen()[star->y * ZK_WIDTH + star->x],
                          star->palette[static_cast<const uint8_t*>(star->pixels)[16 * 32 + 16]]);
                done(false);
            }
            if (f == 200) tapNext();
            break;
    }
}

}  // namespace

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

// The tour's vector hook on its own: shapes far outside the screen, a layer
// offset, outline and filled rectangles, all cut to the layer's window.
TEST(Tour, VectorHookClipsToWindowAndScreen) {
    constexpr uint8_t layer = 6;
    constexpr uint16_t kPaper = 0x1234, kInk = 0xFFE0, kFill = 0x07FF;
    struct Case {
        const char* name;
        ClipWindow window;
        int32_t layerX, layerY;
        bool rectangle;
        uint8_t mode;
        int32_t x1, y1, x2, y2;
        std::function<uint16_t(int x, int y)> want;  // the inside of an outline stays paper
    };
    const auto ink = [=](bool on) { return on ? kInk : kPaper; };
    const Case cases[] = {
        {"a line across the plane, cut to a window", {10, 20, 50, 60}, 0, 0, false, 0, -100000, -100000, 100000,
         100000, [=](int x, int y) { return ink(x == y && x >= 20 && x <= 50); }},
        {"an outline rectangle", {0, 0, 239, 319}, 0, 0, true, 0, 30, 30, 33, 32,
         [=](int x, int y) { return ink(x >= 30 && x <= 33 && y >= 30 && y <= 32 && (y != 31 || x == 30 || x == 33)); }},
        {"a filled rectangle larger than the screen", {0, 0, 239, 319}, 0, 0, true, 1, -5, -5, 300, 400,
         [=](int, int) { return kFill; }},
        {"a point moved by the layer's position", {0, 0, 239, 319}, 5, 7, false, 0, 0, 0, 0, 0,
         [=](int x, int y) { return ink(x == 5 && y == 7); }},
        {"a window beyond the screen's edges", {-50, 300, 400, 900}, 0, 0, false, 0, 0, 319, 239, 319,
         [=](int, int y) { return ink(y == 319); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto& p : zk_buffer) p = kPaper;
        ZK_LoadVectoBg(layer);
        zk_bg[layer].x = c.layerX, zk_bg[layer].y = c.layerY;
        if (c.rectangle)
            ZK_VectoBgAddRectangle(layer, c.x1, c.y1, c.x2, c.y2, kInk, kFill, c.mode);
        else
            ZK_VectoBgAddLine(layer, c.x1, c.y1, c.x2, c.y2, kInk, 0);
        zk_window[7] = c.window, zk_curwindow = 7;
        Tour_DrawVectors(layer);
        std::vector<uint16_t> want;
        for (int i = 0; i < ZK_WIDTH * ZK_HEIGHT; ++i) want.push_back(c.want(i % ZK_WIDTH, i / ZK_WIDTH));
        EXPECT_TRUE(std::equal(want.begin(), want.end(), zk_buffer));
        ZK_BgDelete(layer);
        zk_bg[layer].x = zk_bg[layer].y = 0;
    }
    zk_window[7] = ClipWindow{0, 0, 0, 0}, zk_curwindow = 0;
}
