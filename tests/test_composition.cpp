// Frame composition: the priority lists, the clear band, the fade pass and
// whole fades through the frame loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <tuple>
#include <vector>

#include "zk_test_support.h"

namespace {

class Composition : public ::testing::Test {
protected:
    void SetUp() override {
        ZK_ResetBg(), ZK_InitSprites();
        zk_minsprite = 4096, zk_maxsprite = -1;
        for (BgLayer& b : zk_bg) b = BgLayer{};
        zk_bgcolor = 0, zk_fade.level = 32, zk_fade.priority = 0, zk_fade.colour = 0;
        ZK_SetFadeLimits(0, 0, 239, 319), ZK_SetWindowLimits(0, 0, 0, 239, 319);
        zk_curwindow = 0, zk_cursprite = -1;
    }
    void TearDown() override { SetUp(); }

    // A sprite record made by hand: drawn by nothing (depth 0), so only the
    // lists it lands in are seen.
    static void sprite(int slot, int priority, int16_t alpha = 32, int32_t zoom = 1024, uint8_t visible = 1) {
        Sprite* s = static_cast<Sprite*>(std::calloc(1, sizeof(Sprite)));
        s->visible = visible, s->priority = int16_t(priority), s->alpha = alpha, s->zoom = zoom;
        zk_sprites[slot] = s;
        zk_minsprite = std::min(zk_minsprite, int32_t(slot)), zk_maxsprite = std::max(zk_maxsprite, int32_t(slot));
    }
    // A layer that takes part in the lists and the band but draws nothing
    // itself (the vector kind with no shapes).
    static void layer(int j, int x, int y, int w, int h, uint16_t priority, int16_t alpha = 32, uint8_t plain = 1) {
        BgLayer& b = zk_bg[j];
        b.used = 1, b.kind = 255, b.x = x, b.y = y, b.width = w, b.height = h;
        b.priority = priority, b.alpha = alpha, b.plain = plain;
    }
};

// Every non-empty priority list, by priority.
using Lists = std::map<int, std::vector<int>>;
template <class Heads, class Next>
Lists lists(const Heads& heads, const Next& next) {
    Lists all;
    for (int p = 0; p < 1024; ++p)
        for (int i = heads[p]; i != -1; i = next[i]) all[p].push_back(i);
    return all;
}
auto fields(const Fade& f) { return std::tuple(int(f.level), f.colour, f.priority, f.left, f.top, f.right, f.bottom); }
auto fields(const ClipWindow& w) { return std::tuple(w.left, w.top, w.right, w.bottom); }
uint16_t px(int x, int y) { return zk_buffer[y * 240 + x]; }

// The fade level of each presented frame, read back from a white frame
// faded toward black.
std::vector<int> presented;
void record_level(const uint16_t* screen, void*) {
    const uint16_t p = screen[120 * 240 + 120];
    for (int level = 0; level <= 32; ++level)
        if (zk_test_blend(0x0000, 0xFFFF, 32 - level) == p) {
            if (presented.empty() || presented.back() != level) presented.push_back(level);
            return;
        }
    presented.push_back(-1);
}

// One-colour opaque 16-bit pictures, shown as sprites and layers.
struct Picture {
    std::vector<uint16_t> pixels;
    SpriteImage image;
    Picture(uint16_t colour, int w, int h)
        : pixels(size_t(w * h), colour), image{pixels.data(), nullptr, nullptr, nullptr, 2, 1, w, h} {}
};

void show_layer(uint8_t j, Picture& p, int x, int y, uint16_t priority) {
    const BgInfo info{0, 2, p.image.width, p.image.height, 1, 0};
    ZK_BgLoadEx(j, &info, p.pixels.data(), nullptr, nullptr);
    zk_bg[j].x = x, zk_bg[j].y = y, zk_bg[j].priority = priority;
}

Sprite* show_sprite(int slot, Picture& p, int x, int y, int16_t priority) {
    ZK_CreateSprite(slot, &p.image, uint16_t(p.image.width), uint16_t(p.image.height), int16_t(x), int16_t(y));
    zk_sprites[slot]->priority = priority;
    return zk_sprites[slot];
}

}  // namespace

TEST_F(Composition, InitSetsTheFadeAndWindowDefaults) {
    zk_fade = Fade{7, 0x1234, 9, 1, 2, 3, 4};
    ZK_SetWindowLimits(0, 5, 5, 6, 6);
    zk_minsprite = 17, zk_maxsprite = 20;
    ZK_Init();
    EXPECT_EQ(fields(zk_fade), fields(Fade{32, 0, 0, 0, 0, 239, 319}));
    EXPECT_EQ(fields(zk_window[0]), fields(ClipWindow{0, 0, 239, 319}));
    EXPECT_EQ(std::tuple(zk_minsprite, zk_maxsprite), std::tuple(17, 20));  // untouched
    // Window values are kept as 16 bits.
    ZK_SetWindowLimits(3, 65536 + 7, -1, 70000, 319);
    EXPECT_EQ(fields(zk_window[3]), fields(ClipWindow{7, -1, int16_t(70000 & 0xFFFF), 319}));
}

TEST_F(Composition, PriorityListsRunFromTheHighestNumberDown) {
    for (int slot : {3, 7, 9}) sprite(slot, 5);
    sprite(4, 1023), sprite(12, 0);
    sprite(5, 5, 0), sprite(6, 5, -3);                // alpha 0 and below 0
    sprite(8, 5, 32, 0), sprite(10, 5, 32, 1024, 0);  // zoom 0, hidden
    sprite(13, 1024), sprite(14, 2000);               // outside the list heads: no part
    layer(2, 0, 0, 10, 10, 10), layer(11, 0, 0, 10, 10, 10), layer(6, 0, 0, 10, 10, 5);
    layer(4, 0, 0, 10, 10, 10, 0), layer(9, 0, 0, 10, 10, 10, -1);  // alpha 0 and below 0
    layer(13, 0, 0, 10, 10, 10, 1);                                  // the faintest still draws
    layer(3, 0, 0, 10, 10, 1024), layer(15, 0, 0, 10, 10, 1023);
    zk_bg[7].used = 0;
    std::vector<int> drawn;  // the layers in the order drawn, through the hook
    zk_test_dovect = [&](uint8_t j) { drawn.push_back(j); };
    zk_whenrefresh();
    EXPECT_EQ(lists(prio_nsprite, prio_nextsprite), (Lists{{0, {12}}, {5, {9, 7, 3}}, {1023, {4}}}));
    EXPECT_EQ(lists(prio_nbg, prio_nextbg), (Lists{{5, {6}}, {10, {13, 11, 2}}, {1023, {15}}}));
    EXPECT_EQ(drawn, (std::vector<int>{15, 13, 11, 2, 6}));
    // Rebuilt from scratch: a hidden sprite leaves its list.
    zk_sprites[7]->visible = 0;
    zk_sprites[4]->priority = 6;
    zk_whenrefresh();
    zk_test_dovect = nullptr;
    EXPECT_EQ(lists(prio_nsprite, prio_nextsprite), (Lists{{0, {12}}, {5, {9, 3}}, {6, {4}}}));
}

TEST_F(Composition, ClearsOnlyTheRowsNoOpaqueFullWidthLayerCovers) {
    struct L { int x, y, w, h; int16_t alpha; uint8_t plain; };
    // The rows cleared run from clearFrom to before clearTo.
    struct Case { const char* what; std::vector<L> layers; int clearFrom, clearTo; } cases[] = {
        {"no layers", {}, 0, 320}, {"full screen", {{0, 0, 240, 320, 32, 1}}, 0, 0},
        {"wider and left of the screen", {{-5, 0, 300, 320, 32, 1}}, 0, 0},
        {"above the screen", {{0, -10, 240, 330, 32, 1}}, 0, 320}, {"top part", {{0, 0, 240, 100, 32, 1}}, 100, 320},
        {"odd rows", {{0, 0, 240, 101, 32, 1}, {0, 318, 240, 2, 32, 1}}, 101, 318},
        {"bottom part", {{0, 200, 240, 120, 32, 1}}, 0, 200},
        {"top and bottom", {{0, 200, 240, 120, 32, 1}, {0, 0, 240, 100, 32, 1}}, 100, 200},
        {"touches only after a later layer", {{0, 100, 240, 50, 32, 1}, {0, 0, 240, 100, 32, 1}}, 100, 320},
        {"middle", {{0, 100, 240, 50, 32, 1}}, 0, 320}, {"blended", {{0, 0, 240, 320, 31, 1}}, 0, 320},
        {"with transparency", {{0, 0, 240, 320, 32, 0}}, 0, 320}, {"not at the left edge", {{1, 0, 240, 320, 32, 1}}, 0, 320},
        {"one column short", {{0, 0, 239, 320, 32, 1}}, 0, 320}, {"taller than the screen", {{0, 0, 240, 5000, 32, 1}}, 0, 0}};
    zk_bgcolor = 0x1357;
    for (const Case& c : cases) {
        for (BgLayer& b : zk_bg) b = BgLayer{};
        int j = 0;
        for (const L& l : c.layers) layer(j++, l.x, l.y, l.w, l.h, 10, l.alpha, l.plain);
        std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0xAAAA));
        zk_whenrefresh();
        std::vector<uint16_t> want(240 * 320, 0xAAAA);
        std::fill(want.begin() + 240 * c.clearFrom, want.begin() + 240 * c.clearTo, 0x1357);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), zk_buffer)) << c.what;
    }
}

// Nothing drawn: the cleared frame is faded all the same, even at the back priority.
TEST_F(Composition, FadePassBlendsTheRectangleTowardTheFadeColour) {
    // Level 16 halves each channel, rounding down; a rectangle past the screen fades only the screen part.
    struct Case { uint8_t level; uint16_t colour, pixel, want; int left, top, right, bottom; } cases[] = {
        {16, 0x0000, 0xFFFF, 0x7BEF, 10, 20, 30, 40}, {0, 0x1234, 0xFFFF, 0x1234, 10, 20, 30, 40},
        {0, 0xF81F, 0x0000, 0xF81F, 10, 20, 30, 40}, {32, 0x0000, 0xABCD, 0xABCD, 10, 20, 30, 40},
        {8, 0xFFFF, 0x0000, zk_test_blend(0xFFFF, 0x0000, 24), 10, 20, 30, 40},
        {5, 0x1234, 0xF0F0, zk_test_blend(0x1234, 0xF0F0, 27), 0, 0, 239, 319},
        {0, 0x0000, 0xFFFF, 0x0000, -100, 300, 1000, 5000}};
    for (const Case& c : cases) {
        zk_bgcolor = c.pixel, zk_fade.priority = 1023, zk_fade.level = c.level, zk_fade.colour = c.colour;
        ZK_SetFadeLimits(c.left, c.top, c.right, c.bottom);
        zk_whenrefresh();
        int wrong = 0;
        for (int i = 0; i < 240 * 320; ++i) {
            const int x = i % 240, y = i / 240;
            wrong += zk_buffer[i] != (x >= c.left && x <= c.right && y >= c.top && y <= c.bottom ? c.want : c.pixel);
        }
        EXPECT_EQ(wrong, 0) << "level " << int(c.level);
    }
}

TEST_F(Composition, WholeFadesShowEveryLevelAndStopAtTheLastReached) {
    // A step of 0 would never end: no fade.
    struct Case { bool in; int step; std::vector<int> levels; int last; } cases[] = {
        {false, 5, {32, 27, 22, 17, 12, 7, 2}, 2}, {true, 5, {0, 5, 10, 15, 20, 25, 30}, 30}, {false, 16, {32, 16, 0}, 0},
        {true, 16, {0, 16, 32}, 32}, {true, 0, {}, 32}};
    for (const Case& c : cases) {
        presented.clear();
        int last = -1;
        zk_test_run([&] {
            ZK_Init();
            zk_bgcolor = 0xFFFF;
            zk_headless_on_present(record_level, nullptr);
            c.in ? ZK_FadeIn(c.step) : ZK_FadeOut(c.step);
            zk_headless_on_present(nullptr, nullptr);
            last = zk_fade.level;
            return 0;
        });
        EXPECT_EQ(std::tuple(presented, last), std::tuple(c.levels, c.last)) << (c.in ? "in " : "out ") << c.step;
    }
}

TEST_F(Composition, DrawsFromTheBackPriorityToTheFrontLayersBeforeSprites) {
    Picture red(0xF800, 20, 20), green(0x07E0, 20, 20), blue(0x001F, 20, 20), white(0xFFFF, 20, 20);
    Picture grey(0x8410, 240, 320);
    show_sprite(8, red, 50, 50, 7);  // equal priority: the lower number (3) ends on top
    show_sprite(3, green, 55, 50, 7);
    show_sprite(20, blue, 50, 100, 1);  // in front by priority although its number is higher
    show_sprite(2, white, 55, 100, 2);
    show_layer(4, red, 100, 50, 9);  // a sprite over the layer of its priority ...
    show_sprite(30, green, 115, 60, 9);
    show_layer(5, blue, 100, 100, 0);  // ... a layer of a lower priority number over a sprite
    show_sprite(31, white, 115, 110, 1);
    show_layer(12, white, 150, 50, 20);  // equal priority: the lower-numbered layer on top
    show_layer(11, red, 160, 50, 20);
    show_layer(0, grey, 0, 0, 1023);  // the full-screen layer at the very back

    zk_bgcolor = 0x1234;
    zk_whenrefresh();
    // In turn: sprite 3 over sprite 8, which shows beside it; priority 1 over 2; a sprite over the layer of
    // its priority; a layer of priority 0 over a sprite of 1; layer 11 over 12, which shows beside it; the
    // back layer, with nothing cleared under it.
    const struct { int x, y; uint16_t want; } checks[] = {
        {52, 50, 0x07E0}, {41, 50, 0xF800}, {52, 100, 0x001F}, {112, 55, 0x07E0}, {112, 105, 0x001F}, {165, 55, 0xF800},
        {152, 55, 0xFFFF}, {200, 200, 0x8410}, {0, 0, 0x8410}};
    for (const auto& c : checks) EXPECT_EQ(px(c.x, c.y), c.want) << c.x << "," << c.y;
}

TEST_F(Composition, FadeFadesWhatIsBehindItsPriorityOnly) {
    Picture white(0xFFFF, 10, 10), back(0xFFFF, 240, 320);
    show_sprite(1, white, 20, 20, 3);
    show_sprite(2, white, 60, 20, 5);
    show_sprite(3, white, 100, 20, 7);
    show_layer(0, back, 0, 0, 600);
    zk_fade.level = 16;
    // 4 lies between drawn priorities, 600 is the layer's own (applied right after it), 1000 lies behind
    // everything (the layer covers it) and 1024 is never reached.
    struct Case { uint16_t priority, s1, s2, s3, back; } cases[] = {
        {5, 0xFFFF, 0x7BEF, 0x7BEF, 0x7BEF}, {0, 0x7BEF, 0x7BEF, 0x7BEF, 0x7BEF}, {4, 0xFFFF, 0x7BEF, 0x7BEF, 0x7BEF},
        {1000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, {600, 0xFFFF, 0xFFFF, 0xFFFF, 0x7BEF}, {599, 0xFFFF, 0xFFFF, 0xFFFF, 0x7BEF},
        {6, 0xFFFF, 0xFFFF, 0x7BEF, 0x7BEF}, {1024, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}};
    for (const Case& c : cases) {
        zk_fade.priority = c.priority, zk_fade.level = 16;
        zk_whenrefresh();
        EXPECT_EQ(std::tuple(px(20, 20), px(60, 20), px(100, 20), px(200, 200)), std::tuple(c.s1, c.s2, c.s3, c.back))
            << c.priority;
    }
    // The layer hook runs during the walk: a fade it starts at a priority still to come is applied there.
    zk_fade.priority = 4, zk_fade.level = 32;
    zk_test_dovect = [](uint8_t) { zk_fade.level = 16; };
    zk_whenrefresh();
    zk_test_dovect = nullptr;
    EXPECT_EQ(std::tuple(px(20, 20), px(60, 20), px(100, 20), px(200, 200)), std::tuple(0xFFFF, 0x7BEF, 0x7BEF, 0x7BEF));
}
