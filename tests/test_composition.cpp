// Frame composition: the priority lists, the clear band, the fade pass and
// whole fades through the frame loop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "zk_blend.h"
#include "zk_test_support.h"

namespace {

class Composition : public ::testing::Test {
protected:
    void SetUp() override {
        ZK_ResetBg();
        ZK_InitSprites();
        zk_minsprite = 4096;
        zk_maxsprite = -1;
        for (BgLayer& b : zk_bg) b = BgLayer{};
        zk_bgcolor = 0;
        zk_fade.level = 32;
        zk_fade.priority = 0;
        zk_fade.colour = 0;
        ZK_SetFadeLimits(0, 0, 239, 319);
        ZK_SetWindowLimits(0, 0, 0, 239, 319);
        zk_curwindow = 0;
        zk_cursprite = -1;
    }
    void TearDown() override { SetUp(); }

    // A sprite record made by hand: drawn by nothing (depth 0), so only the
    // lists it lands in are seen.
    static Sprite* sprite(int slot, int priority, int16_t alpha = 32, int32_t zoom = 1024, uint8_t visible = 1) {
        Sprite* s = static_cast<Sprite*>(std::calloc(1, sizeof(Sprite)));
        s->visible = visible;
        s->priority = int16_t(priority);
        s->alpha = alpha;
        s->zoom = zoom;
        zk_sprites[slot] = s;
        zk_minsprite = std::min(zk_minsprite, int32_t(slot));
        zk_maxsprite = std::max(zk_maxsprite, int32_t(slot));
        return s;
    }
    // A layer that takes part in the lists and the band but draws nothing
    // itself (the vector kind with no shapes).
    static BgLayer& layer(int j, int x, int y, int w, int h, uint16_t priority, int16_t alpha = 32,
                          uint8_t plain = 1) {
        BgLayer& b = zk_bg[j];
        b.used = 1;
        b.kind = 255;
        b.x = x;
        b.y = y;
        b.width = w;
        b.height = h;
        b.priority = priority;
        b.alpha = alpha;
        b.plain = plain;
        return b;
    }
};

std::vector<int> sprite_list(int p) {
    std::vector<int> v;
    for (int i = prio_nsprite[p]; i != -1; i = prio_nextsprite[i]) v.push_back(i);
    return v;
}
std::vector<int> bg_list(int p) {
    std::vector<int> v;
    for (int j = prio_nbg[p]; j != -1; j = prio_nextbg[j]) v.push_back(j);
    return v;
}

}  // namespace

TEST_F(Composition, InitSetsTheFadeAndWindowDefaults) {
    zk_fade = Fade{7, 0x1234, 9, 1, 2, 3, 4};
    ZK_SetWindowLimits(0, 5, 5, 6, 6);
    zk_minsprite = 17;
    zk_maxsprite = 20;
    ZK_Init();
    EXPECT_EQ(zk_fade.level, 32);
    EXPECT_EQ(zk_fade.colour, 0);
    EXPECT_EQ(zk_fade.priority, 0);
    EXPECT_EQ(zk_fade.left, 0);
    EXPECT_EQ(zk_fade.top, 0);
    EXPECT_EQ(zk_fade.right, 239);
    EXPECT_EQ(zk_fade.bottom, 319);
    EXPECT_EQ(zk_window[0].left, 0);
    EXPECT_EQ(zk_window[0].top, 0);
    EXPECT_EQ(zk_window[0].right, 239);
    EXPECT_EQ(zk_window[0].bottom, 319);
    EXPECT_EQ(zk_minsprite, 17);  // untouched
    EXPECT_EQ(zk_maxsprite, 20);
    // Window values are kept as 16 bits.
    ZK_SetWindowLimits(3, 65536 + 7, -1, 70000, 319);
    EXPECT_EQ(zk_window[3].left, 7);
    EXPECT_EQ(zk_window[3].top, -1);
    EXPECT_EQ(zk_window[3].right, int16_t(70000 & 0xFFFF));
}

TEST_F(Composition, PriorityListsRunFromTheHighestNumberDown) {
    sprite(3, 5);
    sprite(7, 5);
    sprite(9, 5);
    sprite(4, 1023);
    sprite(5, 5, 0);          // alpha 0
    sprite(6, 5, -3);         // alpha below 0
    sprite(8, 5, 32, 0);      // zoom 0
    sprite(10, 5, 32, 1024, 0);  // hidden
    sprite(12, 0);
    sprite(13, 2000);         // outside the list heads: takes no part
    layer(2, 0, 0, 10, 10, 10);
    layer(11, 0, 0, 10, 10, 10);
    layer(4, 0, 0, 10, 10, 10, 0);  // alpha 0
    layer(6, 0, 0, 10, 10, 5);
    zk_bg[7].used = 0;
    zk_whenrefresh();
    EXPECT_EQ(sprite_list(5), (std::vector<int>{9, 7, 3}));
    EXPECT_EQ(sprite_list(1023), (std::vector<int>{4}));
    EXPECT_EQ(sprite_list(0), (std::vector<int>{12}));
    EXPECT_EQ(bg_list(10), (std::vector<int>{11, 2}));
    EXPECT_EQ(bg_list(5), (std::vector<int>{6}));
    int heads = 0;
    for (int p = 0; p < 1024; ++p) heads += (prio_nsprite[p] != -1) + (prio_nbg[p] != -1);
    EXPECT_EQ(heads, 5);

    // Rebuilt from scratch: a hidden sprite leaves its list.
    zk_sprites[7]->visible = 0;
    zk_sprites[4]->priority = 6;
    zk_whenrefresh();
    EXPECT_EQ(sprite_list(5), (std::vector<int>{9, 3}));
    EXPECT_EQ(sprite_list(1023), std::vector<int>{});
    EXPECT_EQ(sprite_list(6), (std::vector<int>{4}));
}

TEST_F(Composition, ClearsOnlyTheRowsNoOpaqueFullWidthLayerCovers) {
    struct L {
        int x, y, w, h;
        int16_t alpha;
        uint8_t plain;
    };
    struct Case {
        const char* what;
        std::vector<L> layers;
        int clearFrom, clearTo;  // rows cleared, end exclusive
    } cases[] = {
        {"no layers", {}, 0, 320},
        {"full screen", {{0, 0, 240, 320, 32, 1}}, 0, 0},
        {"wider and left of the screen", {{-5, 0, 300, 320, 32, 1}}, 0, 0},
        {"above the screen", {{0, -10, 240, 330, 32, 1}}, 0, 320},
        {"top part", {{0, 0, 240, 100, 32, 1}}, 100, 320},
        {"bottom part", {{0, 200, 240, 120, 32, 1}}, 0, 200},
        {"top and bottom", {{0, 200, 240, 120, 32, 1}, {0, 0, 240, 100, 32, 1}}, 100, 200},
        {"touches only after a later layer", {{0, 100, 240, 50, 32, 1}, {0, 0, 240, 100, 32, 1}}, 100, 320},
        {"middle", {{0, 100, 240, 50, 32, 1}}, 0, 320},
        {"blended", {{0, 0, 240, 320, 31, 1}}, 0, 320},
        {"with transparency", {{0, 0, 240, 320, 32, 0}}, 0, 320},
        {"not at the left edge", {{1, 0, 240, 320, 32, 1}}, 0, 320},
        {"one column short", {{0, 0, 239, 320, 32, 1}}, 0, 320},
        {"taller than the screen", {{0, 0, 240, 5000, 32, 1}}, 0, 0},
    };
    zk_bgcolor = 0x1357;
    for (const Case& c : cases) {
        for (BgLayer& b : zk_bg) b = BgLayer{};
        int j = 0;
        for (const L& l : c.layers) layer(j++, l.x, l.y, l.w, l.h, 10, l.alpha, l.plain);
        std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0xAAAA));
        zk_whenrefresh();
        for (int y = 0; y < 320; ++y) {
            const uint16_t want = y >= c.clearFrom && y < c.clearTo ? 0x1357 : 0xAAAA;
            bool rowOk = true;
            for (int x = 0; x < 240; ++x) rowOk &= zk_buffer[y * 240 + x] == want;
            if (!rowOk) {
                ADD_FAILURE() << c.what << ": row " << y;
                break;
            }
        }
    }
}

TEST_F(Composition, FadePassBlendsTheRectangleTowardTheFadeColour) {
    struct Case {
        uint8_t level;
        uint16_t colour, pixel, want;
    } cases[] = {
        {16, 0x0000, 0xFFFF, 0x7BEF},  // halves each channel, rounding down
        {0, 0x1234, 0xFFFF, 0x1234},
        {0, 0xF81F, 0x0000, 0xF81F},
        {32, 0x0000, 0xABCD, 0xABCD},
        {8, 0xFFFF, 0x0000, zk_blend(0xFFFF, 0x0000, 24)},
    };
    for (const Case& c : cases) {
        std::fill(std::begin(zk_buffer), std::end(zk_buffer), c.pixel);
        zk_fade.level = c.level;
        zk_fade.colour = c.colour;
        ZK_SetFadeLimits(10, 20, 30, 40);
        zk_dotransp();
        for (int y = 0; y < 320; ++y)
            for (int x = 0; x < 240; ++x) {
                const bool inside = x >= 10 && x <= 30 && y >= 20 && y <= 40;
                if (zk_buffer[y * 240 + x] != (inside ? c.want : c.pixel)) {
                    ADD_FAILURE() << "level " << int(c.level) << " at " << x << "," << y;
                    y = 320;
                    break;
                }
            }
    }
    // A rectangle reaching past the screen fades only the screen part.
    std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0xFFFF));
    zk_fade.level = 0;
    zk_fade.colour = 0;
    ZK_SetFadeLimits(-100, 300, 1000, 5000);
    zk_dotransp();
    EXPECT_EQ(zk_buffer[299 * 240], 0xFFFF);
    EXPECT_EQ(zk_buffer[300 * 240], 0x0000);
    EXPECT_EQ(zk_buffer[319 * 240 + 239], 0x0000);
}

TEST_F(Composition, FadeRunsAtItsPriorityAndNotAtLevel32) {
    // The cleared frame is white; the fade darkens it at any priority, and a
    // level of 32 runs no pass at all.
    zk_bgcolor = 0xFFFF;
    zk_fade.priority = 5;
    zk_fade.level = 16;
    zk_whenrefresh();
    EXPECT_EQ(zk_buffer[0], 0x7BEF);
    zk_fade.priority = 1023;
    zk_fade.level = 0;
    zk_whenrefresh();
    EXPECT_EQ(zk_buffer[320 * 240 - 1], 0x0000);
    zk_fade.level = 32;
    zk_whenrefresh();
    EXPECT_EQ(zk_buffer[0], 0xFFFF);
    zk_fade.level = 0;
    zk_fade.priority = 1024;  // never reached
    zk_whenrefresh();
    EXPECT_EQ(zk_buffer[0], 0xFFFF);
}

namespace {
// The fade level of each presented frame, read back from a white frame
// faded toward black.
std::vector<int> presented;
void record_level(const uint16_t* screen, void*) {
    const uint16_t p = screen[120 * 240 + 120];
    for (int level = 0; level <= 32; ++level)
        if (zk_blend(0x0000, 0xFFFF, uint32_t(32 - level)) == p) {
            if (presented.empty() || presented.back() != level) presented.push_back(level);
            return;
        }
    presented.push_back(-1);
}
}  // namespace

TEST_F(Composition, WholeFadesShowEveryLevelAndStopAtTheLastReached) {
    struct Case {
        bool in;
        int step;
        std::vector<int> levels;
        int last;
    } cases[] = {
        {false, 5, {32, 27, 22, 17, 12, 7, 2}, 2},
        {true, 5, {0, 5, 10, 15, 20, 25, 30}, 30},
        {false, 16, {32, 16, 0}, 0},
        {true, 16, {0, 16, 32}, 32},
        {true, 0, {}, 32},  // a step of 0 would never end
    };
    for (const Case& c : cases) {
        presented.clear();
        int last = -1;
        zk_test_run([&] {
            ZK_Init();
            zk_bgcolor = 0xFFFF;
            zk_headless_on_present(record_level, nullptr);
            if (c.in)
                ZK_FadeIn(c.step);
            else
                ZK_FadeOut(c.step);
            zk_headless_on_present(nullptr, nullptr);
            last = zk_fade.level;
            return 0;
        });
        zk_bgcolor = 0;
        EXPECT_EQ(presented, c.levels) << (c.in ? "in " : "out ") << c.step;
        EXPECT_EQ(last, c.last) << (c.in ? "in " : "out ") << c.step;
    }
}

// ---------------------------------------------------------------- drawing order, end to end
namespace {

// One-colour opaque 16-bit pictures, shown as sprites and layers.
struct Picture {
    std::vector<uint16_t> pixels;
    SpriteImage image{};
    Picture(uint16_t colour, int w, int h) : pixels(size_t(w * h), colour) {
        image.pixels = pixels.data();
        image.depth = 2;
        image.opaque = 1;
        image.width = w;
        image.height = h;
    }
};

void show_layer(uint8_t j, Picture& p, int x, int y, uint16_t priority) {
    const BgInfo info{0, 2, p.image.width, p.image.height, 1, 0};
    ZK_BgLoadEx(j, &info, p.pixels.data(), nullptr, nullptr);
    zk_bg[j].x = x;
    zk_bg[j].y = y;
    zk_bg[j].priority = priority;
}

uint16_t px(int x, int y) { return zk_buffer[y * 240 + x]; }

}  // namespace

TEST_F(Composition, DrawsFromTheBackPriorityToTheFrontLayersBeforeSprites) {
    Picture red(0xF800, 20, 20), green(0x07E0, 20, 20), blue(0x001F, 20, 20), white(0xFFFF, 20, 20);
    Picture grey(0x8410, 240, 320);

    // Two sprites of equal priority: the lower number ends on top.
    ZK_CreateSprite(8, &red.image, 20, 20, 50, 50);
    ZK_CreateSprite(3, &green.image, 20, 20, 55, 50);
    zk_sprites[8]->priority = zk_sprites[3]->priority = 7;
    // A sprite in front by priority although its number is higher.
    ZK_CreateSprite(20, &blue.image, 20, 20, 50, 100);
    ZK_CreateSprite(2, &white.image, 20, 20, 55, 100);
    zk_sprites[20]->priority = 1;
    zk_sprites[2]->priority = 2;
    // A layer and a sprite of equal priority: the sprite over the layer; a
    // layer of a lower priority number over a sprite.
    show_layer(4, red, 100, 50, 9);
    ZK_CreateSprite(30, &green.image, 20, 20, 115, 60);
    zk_sprites[30]->priority = 9;
    show_layer(5, blue, 100, 100, 0);
    ZK_CreateSprite(31, &white.image, 20, 20, 115, 110);
    zk_sprites[31]->priority = 1;
    // Two layers of equal priority: the lower-numbered layer on top.
    show_layer(12, white, 150, 50, 20);
    show_layer(11, red, 160, 50, 20);
    // Skipped sprites draw nothing.
    ZK_CreateSprite(40, &white.image, 20, 20, 200, 200);
    zk_sprites[40]->alpha = 0;
    ZK_CreateSprite(41, &white.image, 20, 20, 200, 230);
    zk_sprites[41]->zoom = 0;
    ZK_CreateSprite(42, &white.image, 20, 20, 200, 260);
    zk_sprites[42]->visible = 0;
    // The full-screen layer at the very back.
    show_layer(0, grey, 0, 0, 1023);

    zk_bgcolor = 0x1234;
    zk_whenrefresh();
    EXPECT_EQ(px(52, 50), 0x07E0);   // sprite 3 over sprite 8
    EXPECT_EQ(px(41, 50), 0xF800);   // sprite 8 where 3 does not reach
    EXPECT_EQ(px(52, 100), 0x001F);  // priority 1 over priority 2
    EXPECT_EQ(px(112, 55), 0x07E0);  // sprite over the layer of its priority
    EXPECT_EQ(px(112, 105), 0x001F); // layer of priority 0 over a sprite of priority 1
    EXPECT_EQ(px(165, 55), 0xF800);  // layer 11 over layer 12
    EXPECT_EQ(px(152, 55), 0xFFFF);
    EXPECT_EQ(px(200, 200), 0x8410); // alpha 0, zoom 0, hidden: only the back layer
    EXPECT_EQ(px(200, 230), 0x8410);
    EXPECT_EQ(px(200, 260), 0x8410);
    EXPECT_EQ(px(0, 0), 0x8410);     // nothing cleared under an opaque full-screen layer
    zk_bgcolor = 0;
}

TEST_F(Composition, FadeFadesWhatIsBehindItsPriorityOnly) {
    Picture white(0xFFFF, 10, 10);
    Picture grey(0xFFFF, 240, 320);
    ZK_CreateSprite(1, &white.image, 10, 10, 20, 20);  // priority 3: in front of the fade
    zk_sprites[1]->priority = 3;
    ZK_CreateSprite(2, &white.image, 10, 10, 60, 20);  // priority 5: faded
    zk_sprites[2]->priority = 5;
    ZK_CreateSprite(3, &white.image, 10, 10, 100, 20);  // priority 7: faded
    zk_sprites[3]->priority = 7;
    show_layer(0, grey, 0, 0, 600);
    zk_fade.level = 16;
    struct Case {
        uint16_t priority;
        uint16_t s1, s2, s3, back;
    } cases[] = {
        {5, 0xFFFF, 0x7BEF, 0x7BEF, 0x7BEF},
        {0, 0x7BEF, 0x7BEF, 0x7BEF, 0x7BEF},
        {4, 0xFFFF, 0x7BEF, 0x7BEF, 0x7BEF},     // between drawn priorities
        {1000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},  // behind everything: the layer covers it
        {600, 0xFFFF, 0xFFFF, 0xFFFF, 0x7BEF},  // right after the layer of its priority
        {599, 0xFFFF, 0xFFFF, 0xFFFF, 0x7BEF},
        {6, 0xFFFF, 0xFFFF, 0x7BEF, 0x7BEF},
    };
    for (const Case& c : cases) {
        zk_fade.priority = c.priority;
        zk_whenrefresh();
        EXPECT_EQ(px(20, 20), c.s1) << c.priority;
        EXPECT_EQ(px(60, 20), c.s2) << c.priority;
        EXPECT_EQ(px(100, 20), c.s3) << c.priority;
        EXPECT_EQ(px(200, 200), c.back) << c.priority;
    }
}

TEST_F(Composition, HookChangingTheFadeDuringTheWalkIsSeenAtLaterPriorities) {
    // The layer hook runs during the walk; a fade it starts at a priority
    // still to come is applied there.
    Picture white(0xFFFF, 240, 320);
    show_layer(0, white, 0, 0, 900);
    zk_fade.priority = 100;
    zk_fade.level = 32;
    zk_test_dovect = [](uint8_t) { zk_fade.level = 0; };
    zk_whenrefresh();
    zk_test_dovect = nullptr;
    EXPECT_EQ(px(10, 10), 0x0000);
}
