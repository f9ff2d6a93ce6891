#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "zk_test_support.h"

namespace {

// The character a cell shows ('?' when no glyph has that entry), '_' for an
// empty cell.
char shown(uint32_t cell) {
    if ((cell & 0xFFFFFF) == 0) return '_';
    const uint32_t entry = cell & ~(15u << 27);
    for (int c = 0; c < 256; ++c)
        if (zk_debug_Map[c] == entry) return char(c);
    return '?';
}

std::string row(int r, int from = 0, int n = 40) {
    std::string s;
    for (int c = from; c < from + n; ++c) s += shown(zk_debugmap[r * debug_width + c]);
    return s;
}

bool mapIsEmpty() { return std::all_of(std::begin(zk_debugmap), std::end(zk_debugmap), [](uint32_t c) { return !c; }); }

struct DebugTest : ::testing::Test {
    void SetUp() override { ZK_InitDebug(15); }
    void TearDown() override {
        ZK_BgDelete(15);
        zk_debug_bg = -1;
    }
};

}  // namespace

TEST_F(DebugTest, InitialisationMakesAScreenSizedTileLayer) {
    const BgLayer& b = zk_bg[15];
    EXPECT_EQ((std::vector<int>{zk_debug_bg, b.map == zk_debugmap, zk_debugtruemap == zk_debug_Map, b.kind, b.width, b.height,
                                b.mapColumns, b.mapRows, debug_width, debug_height, b.priority}),
              (std::vector<int>{15, 1, 1, 1, 240, 320, 40, 53, 40, 53, 15}));
    // Initialising again empties what was printed; switched off, it prints nothing.
    ZK_DebugText(3, 3, "abc");
    ZK_InitDebug(15);
    EXPECT_TRUE(mapIsEmpty());
    zk_debug_bg = -1;
    ZK_DebugText(0, 0, "%d  ", 25);
    EXPECT_TRUE(mapIsEmpty());
}

TEST_F(DebugTest, FormatLanguage) {
    ZK_DebugText(0, 0, "99");
    ZK_DebugText(0, 0, "%d  ", 7);  // the spaces erase the old digit
    EXPECT_EQ(row(0, 0, 3), "7__");

    // kind: the argument is 0 the int i, 1 the double d, 2 the string "Hi", 3 none.
    const struct { const char* format; int kind; int32_t i; double d; const char* want; } cases[] = {
        {"%x", 0, 255, 0, "FF"}, {"%x", 0, 0, 0, "0"}, {"%x", 0, -1, 0, "FFFFFFFF"}, {"%d", 0, 0, 0, "0"}, {"%d", 0, -7, 0, "-7"},
        {"%d", 0, INT_MIN, 0, "-2147483648"}, {"v=%d;", 0, 1234, 0, "v=1234;"}, {"%f2", 1, 0, 3.14159, "3.14"},
        {"%f2", 1, 0, 1.999, "1.99"}, {"%f1", 1, 0, -2.5, "-2.5"}, {"%f3", 1, 0, -0.25, "-0.250"}, {"%f3", 1, 0, 3.25, "3.250"},
        {"%f0", 1, 0, 7.5, "7."}, {"%f1", 1, 0, 0.5, "0.5"}, {"%f2", 1, 0, 0.0, "0.00"}, {"%05d", 0, -42, 0, "000-42"},
        {"%03d", 0, 7, 0, "007"}, {"%03d", 0, 0, 0, "000"}, {"%02d", 0, 12345, 0, "12345"}, {"%*4d", 0, 5, 0, "***5"},
        {"%s!", 2, 0, 0, "Hi!"}, {"100%", 3, 0, 0, "100%"}, {"%q%", 3, 0, 0, "%q%"}, {"%c", 3, 0, 0, ""},
        {"%f2", 1, 0, 1e20, "100000000000000000000.00"}};
    for (const auto& c : cases) {
        std::memset(zk_debugmap, 0, sizeof zk_debugmap);
        switch (c.kind) {
            case 0: ZK_DebugText(2, 5, c.format, c.i); break;
            case 1: ZK_DebugText(2, 5, c.format, c.d); break;
            case 2: ZK_DebugText(2, 5, c.format, "Hi"); break;
            default: ZK_DebugText(2, 5, c.format); break;
        }
        const std::string want = c.want;
        EXPECT_EQ(row(5, 0, int(want.size()) + 3), "__" + want + "_") << c.format;
    }
}

TEST_F(DebugTest, RowsWrapNewlinesAndTheLastRow) {
    ZK_DebugText(38, 4, "ABCD");
    EXPECT_EQ(row(4, 38, 2) + row(5, 0, 3), "ABCD_");

    // A newline after 45 characters from column 0 moves two rows down.
    ZK_DebugText(0, 10, "%s\nZ", std::string(45, 'x').c_str());
    EXPECT_EQ(row(11, 0, 6) + row(12, 0, 2), "xxxxx_Z_");
    ZK_DebugText(0, 20, "a/nb\nc");
    EXPECT_EQ(row(20, 0, 2) + row(21, 0, 2) + row(22, 0, 2), "a_b_c_");

    // Rows at or past the last write nothing, even far past it.
    uint32_t before[4096];
    std::memcpy(before, zk_debugmap, sizeof before);
    ZK_DebugText(0, 53, "nothing");
    ZK_DebugText(39, 52, "Xyz");
    ZK_DebugText(65535, 65535, "%s", std::string(300, 'q').c_str());
    before[52 * 40 + 39] = zk_debugmap[52 * 40 + 39];
    EXPECT_EQ(shown(before[52 * 40 + 39]), 'X');
    EXPECT_EQ(std::memcmp(before, zk_debugmap, sizeof before), 0);
}

// Colour k draws a glyph's ink in the k-th colour of the overlay's table and
// leaves the rest of its cell alone; a colour lasts one call, and '?' (63)
// sets colour 15; ')' is the tile of '(' mirrored.
TEST_F(DebugTest, TheLayerDrawsPrintedCellsInTheirColours) {
    const uint16_t colours[] = {0xFFFF, 0xF800, 0x07E0, 0x001F, 0xF81F, 0x07FF, 0xFFE0, 0xCE79, 0xA534, 0, 0, 0x07E0};
    std::string text;
    for (int k = 1; k < 10; ++k) text += "%c" + std::to_string(k) + "(";
    ZK_DebugText(1, 2, (text + "%c?(%c2)").c_str());
    ZK_DebugText(0, 2, "(");
    EXPECT_EQ(zk_debugmap[2 * 40 + 10] >> 27, 15u);
    zk_window[0] = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    std::fill(std::begin(zk_buffer), std::end(zk_buffer), 0x0841);
    ZK_ShowBg(15);
    std::vector<uint16_t> want(ZK_WIDTH * ZK_HEIGHT, 0x0841);
    const uint8_t* tile = zk_debug_Tiles + (zk_debug_Map[uint8_t('(')] & 0xFFF) * 37 + 1;
    for (int cell = 0; cell < 12; ++cell)
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                if (tile[y * 6 + x]) want[(12 + y) * ZK_WIDTH + 6 * cell + (cell < 11 ? x : 5 - x)] = colours[cell];
    EXPECT_EQ(std::vector<uint16_t>(std::begin(zk_buffer), std::end(zk_buffer)), want);
}

TEST(DebugOverlay, TheFrameLoopPrintsTheFrameRate) {
    EXPECT_EQ(zk_test_run([] {
        ZK_Init();
        ZK_InitDebug(14);
        for (int i = 0; i < 40; ++i) ZK_Refresh();
        const std::string fps = std::to_string(zk_FPS);
        EXPECT_EQ(row(0, 0, int(fps.size())), fps);
        return 0;
    }), 0);
    zk_debug_bg = -1;
}
