// Background layers: loading and release, pixels, the tile ranges, drawing
// through the blitters with the hook, and vector layers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "zk_bg.h"
#include "zk_test_support.h"

namespace {

// A clean screen, clip windows and layer table, and a hook that records
// which layers it saw with the clip state in force.
struct Scene {
    struct Call {
        uint8_t layer;
        uint8_t window;
        int16_t sprite;
    };
    std::vector<Call> calls;
    Scene() {
        ZK_ResetBg();
        std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0x1234));
        for (auto& w : zk_window) w = ClipWindow{0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
        zk_cursprite = 5;
        zk_test_dovect = [this](uint8_t layer) { calls.push_back({layer, zk_curwindow, zk_cursprite}); };
    }
    ~Scene() {
        zk_test_dovect = nullptr;
        ZK_ResetBg();
        zk_cursprite = -1;
        zk_curwindow = 0;
        zk_bgcolor = 0;
    }
    static uint16_t at(int x, int y) { return zk_buffer[y * ZK_WIDTH + x]; }
};

constexpr uint16_t RED = 0xF800, GREEN = 0x07E0, BLUE = 0x001F, WHITE = 0xFFFF;

}  // namespace

TEST(BgLayers, LoadersSetTheRecordAndDeleteFreesWhatTheEngineOwns) {
    Scene scene;
    ZK_BgLoad8bitBitmap(7, 20, 10, 0);
    const BgLayer& bg = zk_bg[7];
    EXPECT_EQ(bg.used, 1);
    EXPECT_EQ(bg.kind, 3);
    EXPECT_EQ(bg.depth, 1);
    EXPECT_EQ(bg.width, 20);
    EXPECT_EQ(bg.height, 10);
    EXPECT_EQ(bg.priority, 7);
    EXPECT_EQ(bg.alpha, 32);
    EXPECT_EQ(bg.plain, 0);
    EXPECT_EQ(bg.window, 0);
    EXPECT_EQ(bg.map, nullptr);
    ASSERT_NE(bg.palette, nullptr);
    ASSERT_NE(bg.pixels, nullptr);
    // Loading over an 8-bit engine bitmap frees its pixels and palette (the
    // sanitized build reports a leak otherwise) ...
    zk_bgcolor = 0x4321;
    ZK_BgLoadBitmap(7, 3, 2, 0);
    EXPECT_EQ(bg.depth, 2);
    EXPECT_EQ(bg.palette, nullptr);
    const auto* p16 = static_cast<const uint16_t*>(bg.pixels);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(p16[i], 0x4321) << i;  // plain 0: filled with zk_bgcolor
    // ... while caller-owned storage is never freed (freeing these stack
    // arrays would be reported).
    uint16_t pixels[6] = {}, palette[256] = {};
    uint8_t tiles[37] = {};
    uint32_t map[4] = {};
    const BgInfo bitmap{0, 2, 3, 2, 1, 0};
    ZK_BgLoadEx(7, &bitmap, pixels, nullptr, palette);
    EXPECT_EQ(bg.kind, 0);
    EXPECT_EQ(bg.plain, 1);
    EXPECT_EQ(bg.pixels, pixels);
    const BgInfo tileInfo{1, 1, 12, 13, 6, 6};
    ZK_BgLoadEx(7, &tileInfo, tiles, map, palette);
    EXPECT_EQ(bg.kind, 1);
    EXPECT_EQ(bg.mapColumns, 2);
    EXPECT_EQ(bg.mapRows, 2);
    EXPECT_EQ(bg.tilePalettes[0], palette);
    EXPECT_EQ(bg.plain, 0);
    const BgInfo noTiles{1, 1, 12, 12, 0, 0};
    ZK_BgLoadEx(7, &noTiles, tiles, map, palette);
    EXPECT_EQ(bg.mapColumns, 0);  // a division by 0 gives 0
    ZK_BgDelete(7);
    EXPECT_EQ(bg.used, 0);
    ZK_BgDelete(7);  // deleting a free layer is harmless
    ZK_ResetBg();
    for (const BgLayer& l : zk_bg) EXPECT_EQ(l.used, 0);
}

TEST(BgLayers, PixelAlphaAndCopyWorkOn16bitBitmapsOnly) {
    Scene scene;
    ZK_BgLoadBitmap(2, 4, 3, 0);
    const std::vector<uint16_t> src = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ZK_BgCopyBitmap(2, src.data());
    auto* px = static_cast<uint16_t*>(zk_bg[2].pixels);
    EXPECT_EQ(std::memcmp(px, src.data(), 24), 0);
    px[5] = 0x0000;
    ZK_BgSetPixelAlpha(2, 1, 1, WHITE, 16);  // black halfway to white: red 15, green 31, blue 15
    EXPECT_EQ(px[5], (15 << 11) | (31 << 5) | 15);
    ZK_BgSetPixelAlpha(2, 1, 1, RED, 0);
    EXPECT_EQ(px[5], (15 << 11) | (31 << 5) | 15);
    ZK_BgSetPixelAlpha(2, 1, 1, BLUE, 32);
    EXPECT_EQ(px[5], BLUE);
    // Outside the layer nothing is written; on an 8-bit layer nothing either.
    for (auto xy : {std::pair{4, 0}, {0, 3}, {-1, 0}, {0, -1}}) ZK_BgSetPixelAlpha(2, int16_t(xy.first), int16_t(xy.second), RED, 32);
    EXPECT_EQ(std::memcmp(px, std::vector<uint16_t>{1, 2, 3, 4, 5, BLUE, 7, 8, 9, 10, 11, 12}.data(), 24), 0);
    ZK_BgLoad8bitBitmap(3, 2, 2, 1);
    ZK_BgSetPixelAlpha(3, 0, 0, RED, 32);
    ZK_BgCopyBitmap(3, src.data());
    EXPECT_EQ(static_cast<uint8_t*>(zk_bg[3].pixels)[0], 0);
}

TEST(BgLayers, TileRangesSkipOnlyCellsOffTheScreen) {
    BgLayer bg{};
    bg.tileWidth = bg.tileHeight = 6;
    bg.mapColumns = 100;
    bg.mapRows = 100;
    struct Case {
        int32_t x, y, mapRows;
        ZkTileRange want;
    } cases[] = {
        {-5, 0, 100, {0, 54, 0, 41}},      // column 0 partly visible
        {-6, 0, 100, {0, 54, 1, 41}},      // column 0 wholly off
        {0, -13, 100, {2, 56, 0, 40}},
        {0, 10, 9, {0, 9, 0, 40}},          // a 54-high map at y = 10 shows all 9 rows
        {240, 0, 100, {0, 54, 0, 0}},       // right of the screen: nothing
        {0, 320, 100, {0, 0, 0, 40}},       // below it: nothing
        {-600, 0, 100, {0, 54, 100, 100}},  // left of the map's end: nothing
        {INT32_MIN, INT32_MAX, 100, {0, 0, 100, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        bg.x = c.x;
        bg.y = c.y;
        bg.mapRows = c.mapRows;
        const ZkTileRange r = zk_tilerange(bg);
        EXPECT_EQ(r.firstRow, c.want.firstRow);
        EXPECT_EQ(r.endRow, c.want.endRow);
        EXPECT_EQ(r.firstColumn, c.want.firstColumn);
        EXPECT_EQ(r.endColumn, c.want.endColumn);
    }
    bg.tileWidth = 0;
    EXPECT_EQ(zk_tilerange(bg).endColumn, 0);
}

TEST(BgDrawing, BitmapLayersPickThePlainOrKeyedBlitterAndCallTheHook) {
    Scene scene;
    // 8-bit: index 0 is drawn by the plain copy, skipped by the keyed one.
    ZK_BgLoad8bitBitmap(1, 2, 1, 1);
    zk_bg[1].palette[0] = RED;
    zk_bg[1].palette[1] = GREEN;
    static_cast<uint8_t*>(zk_bg[1].pixels)[1] = 1;
    zk_bg[1].window = 3;
    ZK_ShowBg(1);
    EXPECT_EQ(Scene::at(0, 0), RED);
    EXPECT_EQ(Scene::at(1, 0), GREEN);
    zk_bg[1].plain = 0;
    ZK_BgScrollXY(1, 10, 5);
    ZK_ShowBg(1);
    EXPECT_EQ(Scene::at(10, 5), 0x1234);
    EXPECT_EQ(Scene::at(11, 5), GREEN);
    ASSERT_EQ(scene.calls.size(), 2u);
    EXPECT_EQ(scene.calls[0].layer, 1);
    EXPECT_EQ(scene.calls[0].window, 3);
    EXPECT_EQ(scene.calls[0].sprite, -1);

    // 16-bit: the key colour likewise.
    ZK_BgLoadBitmap(2, 2, 1, 1);
    auto* px = static_cast<uint16_t*>(zk_bg[2].pixels);
    px[0] = 0xF81F;
    px[1] = BLUE;
    ZK_BgScrollXY(2, 0, 20);
    ZK_ShowBg(2);
    EXPECT_EQ(Scene::at(0, 20), 0xF81F);
    EXPECT_EQ(Scene::at(1, 20), BLUE);
    zk_bg[2].plain = 0;
    ZK_BgScrollXY(2, 0, 21);
    ZK_ShowBg(2);
    EXPECT_EQ(Scene::at(0, 21), 0x1234);
    EXPECT_EQ(Scene::at(1, 21), BLUE);
    // Opacity 16 blends.
    zk_bg[2].alpha = 16;
    px[1] = WHITE;
    zk_buffer[22 * ZK_WIDTH + 1] = 0;
    ZK_BgScrollXY(2, 0, 22);
    ZK_ShowBg(2);
    EXPECT_EQ(Scene::at(1, 22), (15 << 11) | (31 << 5) | 15);

    // Free layers, alpha 0 or below, and vector layers draw nothing; only
    // the last calls the hook.
    scene.calls.clear();
    const std::vector<uint16_t> before(std::begin(zk_buffer), std::end(zk_buffer));
    zk_bg[2].alpha = 0;
    ZK_ShowBg(2);
    zk_bg[2].alpha = -3;
    ZK_ShowBg(2);
    ZK_ShowBg(9);  // free
    ZK_ShowBg(-1);
    ZK_LoadVectoBg(12);
    ZK_ShowBg(12);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), zk_buffer));
    ASSERT_EQ(scene.calls.size(), 1u);
    EXPECT_EQ(scene.calls[0].layer, 12);
}

TEST(BgDrawing, TileMapsDrawTheirCellsWithMirrorsAndPalettes) {
    Scene scene;
    // Tiles of 2 x 2: tile 0 solid (indices 1 2 / 3 0), tile 1 not solid.
    uint8_t tiles[2 * 5] = {1, 1, 2, 3, 0, /**/ 0, 2, 2, 2, 2};
    uint16_t pal0[256] = {}, pal3[256] = {};
    pal0[1] = RED, pal0[2] = GREEN, pal0[3] = BLUE;
    pal3[1] = WHITE, pal3[2] = 0x0821, pal3[3] = 0x1042;
    // Columns: empty, tile 0 (0x1000), tile 0 mirrored (bit 25), tile 0 with
    // palette 3, tile 1 with an entry of bits 0-23 all zero but bit 26.
    uint32_t map[5] = {0, 0x1000, 0x1000 | 1u << 25, 0x1000 | 3u << 27, 1u << 26};
    const BgInfo info{1, 1, 10, 2, 2, 2};
    ZK_BgLoadEx(6, &info, tiles, map, pal0);
    zk_bg[6].tilePalettes[3] = pal3;
    ZK_BgScrollXY(6, 4, 7);
    ZK_ShowBg(6);
    auto cell = [](int c, int dx, int dy) { return Scene::at(4 + 2 * c + dx, 7 + dy); };
    for (int d = 0; d < 4; ++d) EXPECT_EQ(cell(0, d & 1, d >> 1), 0x1234) << "empty cell";
    // Solid, unmirrored: the plain copy draws index 0 too (palette entry 0).
    EXPECT_EQ(cell(1, 0, 0), RED);
    EXPECT_EQ(cell(1, 1, 0), GREEN);
    EXPECT_EQ(cell(1, 0, 1), BLUE);
    EXPECT_EQ(cell(1, 1, 1), 0);
    // Mirrored: the keyed blitter, so index 0 is skipped even on a solid tile.
    EXPECT_EQ(cell(2, 0, 0), GREEN);
    EXPECT_EQ(cell(2, 1, 0), RED);
    EXPECT_EQ(cell(2, 0, 1), 0x1234);
    EXPECT_EQ(cell(2, 1, 1), BLUE);
    EXPECT_EQ(cell(3, 0, 0), WHITE);
    EXPECT_EQ(cell(3, 1, 1), 0);
    for (int d = 0; d < 4; ++d) EXPECT_EQ(cell(4, d & 1, d >> 1), 0x1234) << "bits 0-23 zero";
    ASSERT_EQ(scene.calls.size(), 1u);

    // Scrolled partly off the left edge: columns cut by it still show.
    ZK_BgScrollXY(6, -3, 0);
    ZK_ShowBg(6);
    EXPECT_EQ(Scene::at(0, 0), GREEN);  // column 1, its right half
    EXPECT_EQ(Scene::at(1, 0), GREEN);  // column 2, mirrored
    zk_test_save_ppm("bg_tiles", zk_buffer);
}

TEST(VectorLayers, ShapesKeepTheirOrderAndTheHookRunsEveryFrame) {
    Scene scene;
    ZK_VectoBgAddLine(4, 1, 2, 3, 4, RED, 1);  // a free layer: ignored
    EXPECT_EQ(zk_bg[4].used, 0);
    EXPECT_EQ(zk_bg[4].shapes, nullptr);

    ZK_LoadVectoBg(4);
    EXPECT_EQ(zk_bg[4].used, 1);
    EXPECT_EQ(zk_bg[4].kind, 255);
    EXPECT_EQ(zk_bg[4].priority, 4);
    EXPECT_EQ(zk_bg[4].alpha, 32);
    ZK_VectoBgAddLine(4, 1, 2, 3, 4, RED, 1);
    ZK_VectoBgAddRectangle(4, -5, -6, 7, 8, GREEN, BLUE, 2);
    ZK_VectoBgAddLine(4, 9, 10, 11, 12, WHITE, 3);
    const VectorShape* s = zk_bg[4].shapes;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->kind, 0);
    EXPECT_EQ(s->colour, RED);
    EXPECT_EQ(s->mode, 1);
    EXPECT_EQ(s->x1, 1);
    EXPECT_EQ(s->y2, 4);
    s = s->next;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->kind, 1);
    EXPECT_EQ(s->colour, GREEN);
    EXPECT_EQ(s->colour2, BLUE);
    EXPECT_EQ(s->mode, 2);
    EXPECT_EQ(s->x1, -5);
    EXPECT_EQ(s->y1, -6);
    s = s->next;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->x2, 11);
    EXPECT_EQ(s->next, nullptr);

    // Reloading empties the list and keeps the layer.
    ZK_LoadVectoBg(4);
    EXPECT_EQ(zk_bg[4].used, 1);
    EXPECT_EQ(zk_bg[4].kind, 255);
    EXPECT_EQ(zk_bg[4].shapes, nullptr);
    ZK_VectoBgAddLine(4, 0, 0, 1, 1, RED, 0);  // released by the delete below

    // The composer draws nothing for it but calls the hook every frame.
    int frames = 0;
    const int rc = zk_test_run([&] {
        ZK_Init();
        ZK_LoadVectoBg(4);
        scene.calls.clear();
        for (; frames < 3; ++frames) ZK_Refresh();
        return 0;
    });
    EXPECT_EQ(rc, 0);
    int seen = 0;
    for (const auto& c : scene.calls) seen += c.layer == 4;
    EXPECT_EQ(seen, frames);
}
