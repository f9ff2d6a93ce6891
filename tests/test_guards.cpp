// Window, layer and sprite numbers outside their ranges (and sprite slots
// never created) are ignored: no operation given one writes another record.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "gif_maker.h"
#include "zk_test_support.h"

// The bytes of every record an operation addressed by number could reach.
static std::vector<uint8_t> records() {
    std::vector<uint8_t> v;
    auto add = [&](const auto&... record) {
        (v.insert(v.end(), reinterpret_cast<const uint8_t*>(&record), reinterpret_cast<const uint8_t*>(&record + 1)), ...);
    };
    add(zk_window, zk_bg, ZK_TextSlot, zk_textinfo, zk_debug_bg, zk_curwindow, zk_cursprite, ZK_MovedSprite, zk_minsprite,
        zk_maxsprite, zk_sprites);
    for (const Sprite* s : zk_sprites)
        if (s) add(*s);
    return v;
}

TEST(Guards, NumbersOutsideTheirRangesWriteNoRecord) {
    // Something in every kind of record: windows, a bitmap layer 0, a text
    // layer 1 with a slot, the debug overlay on layer 2, sprite 0.
    for (int n = 0; n < 16; ++n) ZK_SetWindowLimits(n, n, n, 100 + n, 200 + n);
    ZK_BgLoadBitmap(0, 4, 4, 0);
    ZK_LoadTextBg(1);
    ZK_Text(3, 0, 0, 100, 100, "abc", 0xFFFF, 0, 10);
    ZK_InitDebug(2);
    const uint8_t index = 1;
    uint16_t palette[256] = {0, 0xFFFF};
    SpriteImage image{const_cast<uint8_t*>(&index), nullptr, nullptr, palette, 1, 1, 1, 1};
    ZK_InitSprites();
    ZK_CreateSprite(0, &image, 1, 1, 10, 10);
    Stylus.held = 1;
    Stylus.x = 10;
    Stylus.y = 10;
    const auto gif = zk_make_gif(2, 2, {0xFFFFFF, 0}, std::vector<uint8_t>{0, 1, 1, 0});
    const uint16_t pixels[16] = {};

    const std::vector<uint8_t> before = records();
    const std::function<void()> calls[] = {
        [] { ZK_SetWindowLimits(16, 1, 2, 3, 4); },
        [] { ZK_SetWindowLimits(-1, 1, 2, 3, 4); },
        [] { ZK_LoadTextBg(16); },
        [] { ZK_InitDebug(16); },
        [] { ZK_InitCustomDebug(255, &zk_debug); },
        [] { ZK_BgLoad8bitBitmap(16, 4, 4, 1); },
        [] { ZK_BgLoadBitmap(16, 4, 4, 0); },
        [] { ZK_BgLoadEx(16, &zk_debug_Info, nullptr, nullptr, nullptr); },
        [] { ZK_BgDelete(16); },
        [] { ZK_BgScrollXY(16, 5, 5); },
        [&] { ZK_BgCopyBitmap(16, pixels); },
        [] { ZK_BgSetPixelAlpha(16, 0, 0, 0xFFFF, 32); },
        [] { ZK_LoadVectoBg(16); },
        [] { ZK_VectoBgAddLine(16, 0, 0, 5, 5, 0xFFFF, 0); },
        [&] { ZK_BgLoadGif(16, gif.data(), gif.size()); },
        [&] { ZK_BgLoadGif16bit(16, gif.data(), gif.size()); },
        [] { ZK_ResetTextBg(16); },
        [] {
            zk_textinfo.layer = 16;
            ZK_Text(3, 0, 0, 100, 100, "xyz", 0, 0, 10);
            ZK_ClearText(3);
            zk_textinfo.layer = 1;
        },
        [&] { ZK_CreateSprite(4096, &image, 1, 1, 0, 0); },
        [&] { ZK_CreateSprite(-1, &image, 1, 1, 0, 0); },
        [] { ZK_CreateSprite(0, nullptr, 1, 1, 0, 0); },
        [] { ZK_SetSpriteXY(4096, 1, 1); },
        [] { ZK_SetSpriteXY(7, 1, 1); },
        [] { ZK_SetSpriteLimits(4096, 0, 0, 0, 0); },
        [] { ZK_SetSpriteLimits(7, 0, 0, 0, 0); },
        [] { ZK_StartSpriteAnimEx(4096, 0, 3, 10, 0, 0); },
        [] { ZK_StartSpriteAnimEx(-1, 0, 3, 10, 0, 0); },
        [] { ZK_StartSpriteAnimEx(7, 0, 3, 10, 0, 0); },
        [] { ZK_UpdateSpriteAnim(4096); },
        [] { ZK_ShowSprite(4096); },
        [] { ZK_ShowSprite(7); },
        [] { EXPECT_EQ(ZK_MoveSpriteEx(4096, 1, 0), 0); },
        [] { EXPECT_EQ(ZK_SpriteTouched(4096) + ZK_SpriteTouchedPix(4096) + ZK_SpriteTouchedPix(7), 0); },
    };
    for (size_t i = 0; i < std::size(calls); ++i) {
        calls[i]();
        ASSERT_EQ(records(), before) << "call " << i;
    }

    // The debug map holds 4096 cells: small tiles get as many whole rows as
    // fit, drawn without reading past the map; text run past the last row's
    // end stops at its last cell.
    for (auto [tileWidth, tileHeight, columns, rows] :
         {std::tuple{2, 2, 120, 34}, {15, 1, 16, 256}, {16, 1, 15, 273}, {1, 1, 240, 17}, {14, 1, 17, 240}}) {
        const BgInfo tiny{1, 1, 4, 4, tileWidth, tileHeight};
        const DebugFont f{zk_debug_Map, 288, zk_debug_Tiles, 3219, zk_debug_Pal, &tiny};
        ZK_InitCustomDebug(3, &f);
        ZK_ShowBg(3);
        ZK_DebugText(0, uint16_t(rows - 1), "%s", std::string(size_t(columns) + 1, 'x').c_str());
        const int cells = columns * rows;
        EXPECT_EQ((std::vector<int>{zk_bg[3].mapColumns, zk_bg[3].mapRows, debug_width, debug_height,
                                    zk_debugmap[cells - columns] != 0, zk_debugmap[cells - 1] != 0,
                                    cells < 4096 && zk_debugmap[cells] != 0}),
                  (std::vector<int>{columns, rows, columns, rows, 1, 1, 0}));
    }
    Stylus = StylusState{};
    ZK_InitSprites();
    zk_minsprite = 4096;
    zk_maxsprite = -1;
    ZK_ResetBg();
    zk_debug_bg = -1;
    zk_textinfo = {0, 1, 0, 32, 0};
    for (ClipWindow& w : zk_window) w = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
}
