// The engine tour on the headless device: a run through every scene and
// back to the first, ending on the quit button; and its vector hook.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "tour.h"
#include "zk_test_support.h"

namespace {

void tap(int x, int y) { zk_headless_tap(zk_headless_clock(), x, y); }

// Every scene in turn; back at the first, the quit button.
struct TourRun {
    std::vector<int> order;  // scenes in the order they appeared
    int f = 0, frames = 0;
};

void onPresent(const uint16_t*, void* user) {
    TourRun& r = *static_cast<TourRun*>(user);
    if (tour_scene == 0) return;  // the shell's first paint, or start-up
    ++r.frames;
    if (r.order.empty() || tour_scene != r.order.back()) {
        r.order.push_back(tour_scene);
        r.f = 0;
    }
    if (++r.f != 30 && r.frames < 3000) return;  // past the fade-in; a safety net if the script went astray
    if (r.order.size() > TOUR_SCENES || r.frames >= 3000) return tap(232, 8);
    // Every name of the scene's calls fits under its title, in font 0.
    EXPECT_EQ(ZK_TextSlot[1][2].font, 0);
    EXPECT_EQ(ZK_TextSlot[1][2].count, int32_t(std::strlen(Tour_CallNames(tour_scene)))) << tour_scene;
    tap(TOUR_NEXT_X, TOUR_NEXT_Y);
}

}  // namespace

TEST(Tour, HeadlessRunReachesEveryScene) {
    TourRun r;
    zk_test_dovect = Tour_DrawVectors;
    zk_headless_on_present(onPresent, &r);
    const int rc = zk_test_run(Tour_Main);
    zk_headless_on_present(nullptr, nullptr);
    zk_test_dovect = nullptr;
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(tour_seen, 0x7Eu);  // scenes 1..6
    EXPECT_EQ(r.order, (std::vector<int>{1, 2, 3, 4, 5, 6, 1}));
    EXPECT_LT(r.frames, 3000);
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
        int mode;  // a rectangle's (0 outline, 1 filled); -1: a line
        int32_t x1, y1, x2, y2;
        std::function<uint16_t(int x, int y)> want;  // the inside of an outline stays paper
    };
    const auto ink = [=](bool on) { return on ? kInk : kPaper; };
    const ClipWindow all{0, 0, 239, 319};
    const Case cases[] = {
        {"a line across the plane, cut to a window", {10, 20, 50, 60}, 0, 0, -1, -100000, -100000, 100000, 100000,
         [=](int x, int y) { return ink(x == y && x >= 20 && x <= 50); }},
        {"an outline rectangle", all, 0, 0, 0, 30, 30, 33, 32,
         [=](int x, int y) { return ink(x >= 30 && x <= 33 && y >= 30 && y <= 32 && (y != 31 || x == 30 || x == 33)); }},
        {"a filled rectangle larger than the screen", all, 0, 0, 1, -5, -5, 300, 400, [=](int, int) { return kFill; }},
        {"a point moved by the layer's position", all, 5, 7, -1, 0, 0, 0, 0, [=](int x, int y) { return ink(x == 5 && y == 7); }},
        {"a window beyond the screen's edges", {-50, 300, 400, 900}, 0, 0, -1, 0, 319, 239, 319,
         [=](int, int y) { return ink(y == 319); }},
    };
    zk_curwindow = 0;  // the hook cuts to the window being drawn
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto& p : zk_buffer) p = kPaper;
        ZK_LoadVectoBg(layer);
        ZK_BgScrollXY(layer, c.layerX, c.layerY);
        if (c.mode >= 0)
            ZK_VectoBgAddRectangle(layer, c.x1, c.y1, c.x2, c.y2, kInk, kFill, uint8_t(c.mode));
        else
            ZK_VectoBgAddLine(layer, c.x1, c.y1, c.x2, c.y2, kInk, 0);
        zk_window[0] = c.window;
        Tour_DrawVectors(layer);
        for (int i = 0; i < ZK_WIDTH * ZK_HEIGHT; ++i)
            ASSERT_EQ(zk_buffer[i], c.want(i % ZK_WIDTH, i / ZK_WIDTH)) << "at " << i % ZK_WIDTH << "," << i / ZK_WIDTH;
        ZK_BgDelete(layer);
    }
    ZK_BgScrollXY(layer, 0, 0);
    zk_window[0] = all;
}
