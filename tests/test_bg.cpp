// Background layers: loading and release, pixels, the tile ranges, drawing
// through the blitters with the hook, and vector layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "zk_bg.h"
#include "zk_test_support.h"

namespace {

// A clean screen, clip windows and layer table, and a hook that records
// which layers it saw with the clip state in force.
struct Scene {
    struct Call { uint8_t layer, window; int16_t sprite; };
    std::vector<Call> calls;
    Scene() {
        ZK_ResetBg();
        std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0x1234));
        for (auto& w : zk_window) w = ClipWindow{0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
        zk_cursprite = 5;
        zk_test_dovect = [this](uint8_t layer) { calls.push_back({layer, zk_curwindow, zk_cursprite}); };
    }
    ~Scene() { zk_test_dovect = nullptr, ZK_ResetBg(), zk_cursprite = -1, zk_curwindow = 0, zk_bgcolor = 0; }
};

using V = std::vector<int>;
using P = std::vector<uint16_t>;
constexpr uint16_t RED = 0xF800, GREEN = 0x07E0, BLUE = 0x001F, WHITE = 0xFFFF, GREY = (15 << 11) | (31 << 5) | 15;

}  // namespace

TEST(BgLayers, LoadersSetTheRecordAndDeleteFreesWhatTheEngineOwns) {
    Scene scene;
    ZK_BgLoad8bitBitmap(7, 20, 10, 0);
    const BgLayer& bg = zk_bg[7];
    EXPECT_EQ((V{bg.used, bg.kind, bg.depth, bg.width, bg.height, bg.priority, bg.alpha, bg.plain, bg.window}),
              (V{1, 3, 1, 20, 10, 7, 32, 0, 0}));
    ASSERT_TRUE(!bg.map && bg.palette && bg.pixels);
    // Loading over an 8-bit engine bitmap frees its pixels and palette (the
    // sanitized build reports a leak otherwise) ...
    zk_bgcolor = 0x4321;
    ZK_BgLoadBitmap(7, 3, 2, 0);
    const auto* p16 = static_cast<const uint16_t*>(bg.pixels);
    EXPECT_TRUE(bg.depth == 2 && !bg.palette && P(p16, p16 + 6) == P(6, 0x4321));  // plain 0: filled with zk_bgcolor
    // ... while caller-owned storage is never freed (freeing these stack
    // arrays would be reported).
    uint16_t pixels[6] = {}, palette[256] = {};
    uint8_t tiles[37] = {};
    uint32_t map[4] = {};
    const BgInfo bitmap{0, 2, 3, 2, 1, 0}, tileInfo{1, 1, 12, 13, 6, 6}, noTiles{1, 1, 12, 12, 0, 0};
    ZK_LoadTextBg(7);  // loading over a text layer empties its slots
    ZK_Text(0, 0, 0, 100, 100, "abc", 0xFFFF, 0, 10);
    ZK_BgLoadEx(7, &bitmap, pixels, nullptr, palette);
    EXPECT_EQ((V{bg.kind, bg.plain, ZK_TextSlot[7][0].count, bg.pixels == pixels}), (V{0, 1, 0, 1}));
    ZK_BgLoadEx(7, &tileInfo, tiles, map, palette);
    EXPECT_EQ((V{bg.kind, bg.mapColumns, bg.mapRows, bg.plain, bg.tilePalettes[0] == palette}), (V{1, 2, 2, 0, 1}));
    ZK_BgLoadEx(7, &noTiles, tiles, map, palette);
    EXPECT_EQ(bg.mapColumns, 0);  // a division by 0 gives 0
    ZK_BgDelete(7);
    ZK_BgDelete(7);  // deleting a free layer is harmless
    EXPECT_EQ(bg.used, 0);
}

TEST(BgLayers, PixelAlphaAndCopyWorkOn16bitBitmapsOnly) {
    Scene scene;
    ZK_BgLoadBitmap(2, 4, 3, 0);
    P want = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ZK_BgCopyBitmap(2, want.data());
    auto* px = static_cast<uint16_t*>(zk_bg[2].pixels);
    px[5] = 0x0000;
    // Black halfway to white is red 15, green 31, blue 15.
    const struct { uint16_t colour; int alpha; uint16_t want; } steps[] = {{WHITE, 16, GREY}, {RED, 0, GREY}, {BLUE, 32, BLUE}};
    for (const auto& s : steps) {
        ZK_BgSetPixelAlpha(2, 1, 1, s.colour, s.alpha);
        EXPECT_EQ(px[5], s.want) << s.alpha;
    }
    ZK_BgSetPixelAlpha(2, 0, 2, GREEN, 32);  // the first column and the last row
    want[8] = GREEN;
    // Outside the layer nothing is written; on an 8-bit layer nothing either.
    for (auto [x, y] : {std::pair{4, 0}, {0, 3}, {-1, 0}, {0, -1}}) ZK_BgSetPixelAlpha(2, int16_t(x), int16_t(y), RED, 32);
    want[5] = BLUE;
    EXPECT_EQ(P(px, px + 12), want);
    ZK_BgLoad8bitBitmap(3, 2, 2, 1);
    ZK_BgSetPixelAlpha(3, 0, 0, RED, 32);
    ZK_BgCopyBitmap(3, want.data());
    EXPECT_EQ(static_cast<uint8_t*>(zk_bg[3].pixels)[0], 0);
}

TEST(BgLayers, TileRangesSkipOnlyCellsOffTheScreen) {
    BgLayer bg{};
    bg.tileWidth = bg.tileHeight = 6;
    bg.mapColumns = 100;
    // want: rows first..end, columns first..end. Column 0 is partly visible at x = -5 and wholly off at -6;
    // a 54-high map at y = 10 shows all 9 rows; nothing shows right of, below or left of the screen.
    struct Case { int32_t x, y, mapRows; V want; } cases[] = {
        {-5, 0, 100, {0, 54, 0, 41}}, {-6, 0, 100, {0, 54, 1, 41}}, {0, -13, 100, {2, 56, 0, 40}}, {0, 10, 9, {0, 9, 0, 40}},
        {240, 0, 100, {0, 54, 0, 0}}, {0, 320, 100, {0, 0, 0, 40}}, {-600, 0, 100, {0, 54, 100, 100}},
        {0, -13, 0, {0, 0, 0, 40}}, {INT32_MIN, INT32_MAX, 100, {0, 0, 100, 100}}};
    for (const Case& c : cases) {
        bg.x = c.x, bg.y = c.y, bg.mapRows = c.mapRows;
        const ZkTileRange r = zk_tilerange(bg);
        EXPECT_EQ((V{r.firstRow, r.endRow, r.firstColumn, r.endColumn}), c.want) << c.x << "," << c.y;
    }
    bg.tileWidth = 0;
    EXPECT_EQ(zk_tilerange(bg).endColumn, 0);
}

// A 2 x 2 layer at (3, 4) with the key at its top left (index 0 at 8 bits,
// whatever its palette entry; 0xF81F at 16): a plain layer copies every
// pixel, a keyed one leaves the key out, neither mirrors, and the opacity
// blends; at opacity 0 or below nothing is drawn. Each layer drawn calls the
// hook once, with its window.
TEST(BgDrawing, BitmapLayersDrawPlainOrKeyedAndCallTheHook) {
    Scene scene;
    const P colours = {0xF81F, BLUE, RED, WHITE};
    const struct { int depth, plain, alpha; } cases[] = {{1, 1, 32}, {1, 0, 32}, {1, 0, 16}, {1, 1, -3}, {2, 1, 32},
                                                         {2, 0, 32}, {2, 1, 16}, {2, 0, 16}, {2, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << ", plain " << c.plain << ", alpha " << c.alpha);
        if (c.depth == 1) {
            ZK_BgLoad8bitBitmap(1, 2, 2, uint8_t(c.plain));
            std::copy(colours.begin(), colours.end(), zk_bg[1].palette);
            std::iota(static_cast<uint8_t*>(zk_bg[1].pixels), static_cast<uint8_t*>(zk_bg[1].pixels) + 4, 0);
        } else {
            ZK_BgLoadBitmap(1, 2, 2, uint8_t(c.plain));
            ZK_BgCopyBitmap(1, colours.data());
        }
        zk_bg[1].alpha = int16_t(c.alpha);
        zk_bg[1].window = 3;
        ZK_BgScrollXY(1, 3, 4);
        std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0x1234));
        scene.calls.clear();
        ZK_ShowBg(1);
        P want(ZK_WIDTH * ZK_HEIGHT, 0x1234);
        for (int i = c.plain ? 0 : 1; c.alpha > 0 && i < 4; ++i)
            want[size_t((4 + i / 2) * ZK_WIDTH + 3 + i % 2)] = zk_test_blend(colours[size_t(i)], 0x1234, c.alpha);
        EXPECT_EQ(P(std::begin(zk_buffer), std::end(zk_buffer)), want);
        ASSERT_EQ(scene.calls.size(), c.alpha > 0 ? 1u : 0u);
        if (c.alpha > 0) { EXPECT_EQ((V{scene.calls[0].layer, scene.calls[0].window, scene.calls[0].sprite}), (V{1, 3, -1})); }
    }
    // Free layers draw nothing; a vector layer only calls the hook.
    scene.calls.clear();
    ZK_ShowBg(9);
    ZK_ShowBg(-1);
    ZK_LoadVectoBg(12);
    ZK_ShowBg(12);
    ASSERT_EQ(scene.calls.size(), 1u);
    EXPECT_EQ(scene.calls[0].layer, 12);
}

// A tile map drawn at several positions, compared whole with the rules:
// cells whose bits 0-23 are zero draw nothing; a solid tile that is not
// mirrored is copied plain (index 0 too), any other tile keyed (index 0 left
// out) and mirrored by bits 25 (columns) and 26 (rows), with the palette of
// bits 27-30.
TEST(BgDrawing, TileMapsDrawTheirCellsWithMirrorsAndPalettes) {
    Scene scene;
    constexpr int tw = 3, th = 2, cols = 5, rows = 3;
    // Tile 0 solid, tile 1 not solid, tile 2 solid without index 0.
    uint8_t tiles[3 * (tw * th + 1)] = {1, 1, 2, 3, 0, 4, 5, /**/ 0, 0, 6, 7, 8, 0, 9, /**/ 1, 10, 11, 12, 13, 14, 15};
    uint16_t pal0[256], pal3[256];
    for (int i = 0; i < 256; ++i) pal0[i] = uint16_t(0x0841 * i + 1), pal3[i] = uint16_t(0xF800 - 0x0801 * i);
    const uint32_t X = 1u << 25, Y = 1u << 26, P3 = 3u << 27, T = 0x1000;
    uint32_t map[rows * cols] = {0,     T,     T | X,     T | Y,     T | X | Y,  //
                                 Y,     1,     1 | Y,     1 | X | Y, 2 | P3,     //
                                 2 | X, 2 | Y, T | 1u << 24 | 1u << 31, 2 | P3 | X | Y, 1 | P3};
    const BgInfo info{1, 1, cols * tw, rows * th, tw, th};
    ZK_BgLoadEx(6, &info, tiles, map, pal0);
    zk_bg[6].tilePalettes[3] = pal3;
    // At the screen's edges: cut on the left and top, one column and one row
    // left at the right and bottom.
    const std::pair<int, int> places[] = {{4, 7}, {-1, -3}, {-7, -5}, {240 - (cols - 1) * tw - 1, 320 - (rows - 1) * th - 1}};
    for (auto [x0, y0] : places) {
        std::vector<uint16_t> want(ZK_WIDTH * ZK_HEIGHT, 0x1234);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const uint32_t e = map[r * cols + c];
                if (!(e & 0xFFFFFF)) continue;
                const uint8_t* tile = tiles + (e & 0xFFF) * (tw * th + 1);
                const bool mx = e & X, my = e & Y, plain = !mx && !my && tile[0] == 1;
                const uint16_t* pal = (e >> 27 & 15) == 3 ? pal3 : pal0;
                // Clipped to the screen; a mirror works on the visible part.
                const int x = x0 + c * tw, y = y0 + r * th;
                const int fc = std::max(0, -x), ec = std::min(tw, ZK_WIDTH - x);
                const int fr = std::max(0, -y), er = std::min(th, ZK_HEIGHT - y);
                for (int j = fr; j < er; ++j)
                    for (int i = fc; i < ec; ++i) {
                        const uint8_t v = tile[1 + (my ? fr + er - 1 - j : j) * tw + (mx ? fc + ec - 1 - i : i)];
                        if (plain || v) want[(y + j) * ZK_WIDTH + x + i] = pal[v];
                    }
            }
        std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0x1234));
        ZK_BgScrollXY(6, x0, y0);
        ZK_ShowBg(6);
        EXPECT_EQ(P(std::begin(zk_buffer), std::end(zk_buffer)), want) << "at " << x0 << ", " << y0;
    }
    EXPECT_EQ(scene.calls.size(), std::size(places));
}

TEST(VectorLayers, ShapesKeepTheirOrderUntilTheLayerIsReloaded) {
    Scene scene;
    ZK_VectoBgAddLine(15, 1, 2, 3, 4, RED, 1);  // a free layer: ignored
    EXPECT_TRUE(!zk_bg[15].used && !zk_bg[15].shapes);

    ZK_LoadVectoBg(15);
    EXPECT_EQ((V{zk_bg[15].used, zk_bg[15].kind, zk_bg[15].priority, zk_bg[15].alpha}), (V{1, 255, 15, 32}));
    ZK_VectoBgAddLine(15, 1, 2, 3, 4, RED, 1);
    ZK_VectoBgAddRectangle(15, -5, -6, 7, 8, GREEN, BLUE, 2);
    ZK_VectoBgAddLine(15, 9, 10, 11, 12, WHITE, 3);
    // kind colour colour2 mode x1 y1 x2 y2, in the order added
    const V want[] = {{0, RED, -1, 1, 1, 2, 3, 4}, {1, GREEN, BLUE, 2, -5, -6, 7, 8}, {0, WHITE, -1, 3, 9, 10, 11, 12}};
    const VectorShape* s = zk_bg[15].shapes;
    for (const V& w : want) {
        ASSERT_NE(s, nullptr);
        EXPECT_EQ((V{s->kind, s->colour, w[2] < 0 ? -1 : s->colour2, s->mode, s->x1, s->y1, s->x2, s->y2}), w);
        s = s->next;
    }
    EXPECT_EQ(s, nullptr);

    // Reloading empties the list and keeps the layer.
    ZK_LoadVectoBg(15);
    EXPECT_EQ((V{zk_bg[15].used, zk_bg[15].kind, zk_bg[15].shapes == nullptr}), (V{1, 255, 1}));
    ZK_VectoBgAddLine(15, 0, 0, 1, 1, RED, 0);  // released with the scene's layers
}
