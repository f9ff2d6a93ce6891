// Text layout worked out by hand from the rules, in a full-colour test font
// whose widths are round numbers; the text slots; and text layers drawn
// against a reference made from the stored glyph bits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "zk_test_support.h"

namespace {

constexpr int kFont = 5, kH = 5;  // the test font: height 5

// Letters 33..126 are 3 wide, 'i' 1, the space 2; nothing else has a glyph.
// Each glyph is a colour plane and then a mask plane (some pixels 0).
int testWidth(int c) { return c == ' ' ? 2 : c == 'i' ? 1 : c > 32 && c < 127 ? 3 : 0; }

void installTestFont() {
    auto* f = static_cast<TextFont*>(std::malloc(sizeof(TextFont)));
    f->LetterStart = static_cast<int32_t*>(std::malloc(256 * sizeof(int32_t)));
    f->LetterWidth = static_cast<uint8_t*>(std::malloc(256));
    f->height = kH;
    int32_t words = 0;
    for (int c = 0; c < 256; ++c) f->LetterStart[c] = words, f->LetterWidth[c] = uint8_t(testWidth(c)), words += 2 * testWidth(c) * kH;
    auto* planes = static_cast<uint16_t*>(std::malloc(size_t(words) * 2));
    for (int c = 0; c < 256; ++c)
        for (int p = 0, n = testWidth(c) * kH; p < n; ++p) {
            planes[f->LetterStart[c] + p] = uint16_t(0x0841 * (c % 31) + p);
            planes[f->LetterStart[c] + n + p] = (p + c) % 3 ? 0xFFFF : 0;
        }
    f->Font = planes;
    zk_fonts[kFont] = f;
}

void resetText() {
    ZK_ResetBg();
    for (BgLayer& b : zk_bg) b.window = 0;
    zk_textinfo = {0, 1, 0, 32, 0};
    for (int l = 0; l < 16; ++l) ZK_ResetTextBg(uint8_t(l));
    for (auto& layer : ZK_TextSlot)
        for (auto& s : layer) s = TextSlotRecord{};
    zk_cleanfonts();
    zk_window[0] = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    zk_curwindow = 0, zk_cursprite = -1;
}

struct TextTest : ::testing::Test {
    void SetUp() override { resetText(), installTestFont(); }
    void TearDown() override { resetText(); }
};

using V = std::vector<int>;

// The settings as the program starts with them, before any test changes them.
const TextInfo kStart = zk_textinfo;

// What the text layer L must draw over background: every slot with letters
// and a non-zero alpha, letter by letter, from the stored font data (one bit
// a pixel for fonts 0-4, colour and mask planes for the others).
std::vector<uint16_t> expectedLayer(int L, uint16_t background) {
    std::vector<uint16_t> want(ZK_WIDTH * ZK_HEIGHT, background);
    for (const TextSlotRecord& s : ZK_TextSlot[L]) {
        if (s.count <= 0 || s.alpha == 0) continue;
        const TextFont* f = s.font < 5 ? zk_deffonts[s.font] : zk_fonts[s.font];
        for (int k = 0; k < s.count; ++k) {
            const LetterPlace& p = s.letters[k];
            const int w = f->LetterWidth[p.letter], h = f->height, start = f->LetterStart[p.letter];
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c) {
                    const int x = p.x + c, y = p.y + r, i = r * w + c;
                    if (x < 0 || y < 0 || x >= ZK_WIDTH || y >= ZK_HEIGHT) continue;
                    const auto* bits = static_cast<const uint8_t*>(f->Font);
                    const auto* planes = static_cast<const uint16_t*>(f->Font);
                    const bool ink = s.font < 5 ? (bits[(start / 2 + i) / 8] >> ((start / 2 + i) % 8)) & 1
                                                : planes[start + w * h + i] != 0;
                    const uint16_t colour = s.font < 5 ? s.colour : planes[start + i];
                    uint16_t& d = want[size_t(y) * ZK_WIDTH + size_t(x)];
                    if (ink) d = zk_test_blend(colour, d, s.alpha);
                }
        }
    }
    return want;
}

std::vector<uint16_t> drawLayer(int L, uint16_t background, bool viaBg = false) {
    std::fill(std::begin(zk_buffer), std::end(zk_buffer), background);
    viaBg ? ZK_ShowBg(int8_t(L)) : ZK_ShowTextBg(uint8_t(L));
    return {std::begin(zk_buffer), std::end(zk_buffer)};
}

}  // namespace

TEST(Text, StartingSettings) {
    EXPECT_EQ((V{kStart.lineGap, kStart.letterSpacing, kStart.align, kStart.alpha, kStart.layer}), (V{0, 1, 0, 32, 0}));
}

// Pen advances: letter 4, space 3, 'i' 2 (width + letterSpacing 1).
TEST_F(TextTest, WorkedLayouts) {
    // xs, ys: each letter's place; end: the end place.
    struct Case { const char* what; const char* text; int16_t left, top, right, bottom; uint8_t align, gap, spacing;
                  V xs, ys, end; };
    const Case cases[] = {
        {"left", "ab ci", 10, 20, 100, 200, 0, 0, 1, {10, 14, 18, 21, 25}, {20, 20, 20, 20, 20}, {27, 20}},
        {"spacing 3", "ab c", 0, 0, 100, 200, 0, 0, 3, {0, 6, 12, 17}, {0, 0, 0, 0}, {23, 0}},
        {"the word moves whole, its space stays", "ab cd", 0, 0, 16, 100, 0, 2, 1, {0, 4, 8, 0, 4}, {0, 0, 0, 7, 7}, {8, 7}},
        {"right: free 9, + 10", "ab cd", 0, 0, 16, 100, 1, 0, 1, {10, 14, 18, 10, 14}, {0, 0, 0, 5, 5}, {8, 5}},
        {"centre: free 9, + 5", "ab cd", 0, 0, 16, 100, 2, 0, 1, {5, 9, 13, 5, 9}, {0, 0, 0, 5, 5}, {8, 5}},
        {"centre: free 8, + 4", "ab cd", 0, 0, 15, 100, 2, 0, 1, {4, 8, 12, 4, 8}, {0, 0, 0, 5, 5}, {8, 5}},
        {"centre: trailing spaces past the edge, free -12, - 6", "ab     ", 0, 0, 8, 100, 2, 0, 1,
         {-6, -2, 2, 5, 8, 11, 14}, {0, 0, 0, 0, 0, 0, 0}, {21, 0}},
        {"right: a newline after a space ends the line before the space", "ab \ncd", 0, 0, 20, 100, 1, 0, 1,
         {13, 17, 21, 24, 14, 18}, {0, 0, 0, 0, 5, 5}, {8, 5}},
        {"right: a newline after a leading space", " \nab", 0, 0, 20, 100, 1, 0, 1, {21, 24, 14, 18}, {0, 0, 5, 5}, {8, 5}},
        {"right: a newline after a letter", "ab\ncd", 0, 0, 20, 100, 1, 0, 1, {14, 18, 22, 14, 18}, {0, 0, 0, 5, 5}, {8, 5}},
        {"right: a trailing space", "ab ", 0, 0, 20, 100, 1, 0, 1, {13, 17, 21}, {0, 0, 0}, {9, 0}},
        {"justify: free 9 over 8 gaps, one pixel a letter, a space's share of 1 rounds up", "ab cd ef gh", 0, 0, 38,
         100, 3, 0, 1, {1, 6, 11, 16, 21, 26, 30, 35, 40, 0, 4}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 5}, {8, 5}},
        {"justify: free 7 over 10 gaps, the spaces take 4 and 3", "aaaa bb cc d", 0, 0, 44, 100, 3, 0, 1,
         {0, 4, 8, 12, 16, 23, 27, 31, 37, 41, 45, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}, {4, 5}},
        {"justify: a newline-ended line stays", "a b\nc d", 0, 0, 30, 100, 3, 0, 1, {0, 4, 7, 11, 0, 4, 7},
         {0, 0, 0, 0, 5, 5, 5}, {11, 5}},
        {"justify: the last line that fits is spread, newline or not", "a b\nc d", 0, 0, 30, 9, 3, 0, 1,
         {1, 6, 27, 32}, {0, 0, 0, 0}, {11, 0}},
        {"bottom: the next line would end at 10, not below 10", "ab cd", 0, 0, 16, 10, 0, 0, 1, {0, 4, 8, 0, 4},
         {0, 0, 0, 5, 5}, {8, 5}},
        {"bottom: ... below 9: the rest is dropped, the end steps back over the space", "ab cd", 0, 0, 16, 9, 0, 0,
         1, {0, 4, 8}, {0, 0, 0}, {6, 0}},
        {"justify at the bottom stop", "ab cd", 0, 0, 16, 9, 3, 0, 1, {1, 6, 11}, {0, 0, 0}, {6, 0}},
        {"a word wider than the line breaks at its edge; a letter at the break, '!' too, starts the next line",
         "abc!efgh", 0, 0, 13, 100, 1, 0, 1, {3, 7, 11, 3, 7, 11, 7, 11}, {0, 0, 0, 5, 5, 5, 10, 10}, {8, 10}},
        {"empty", "", 7, 9, 100, 100, 1, 0, 1, {}, {}, {7, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zk_textinfo.align = c.align, zk_textinfo.lineGap = c.gap, zk_textinfo.letterSpacing = c.spacing;
        const int n = ZK_Text(3, c.left, c.top, c.right, c.bottom, c.text, 0x1234, kFont, 1000);
        ASSERT_EQ(n, int(c.xs.size()));
        const TextSlotRecord& s = ZK_TextSlot[0][3];
        V letters, xs, ys;
        for (int k = 0; k < n; ++k) letters.push_back(s.letters[k].letter), xs.push_back(s.letters[k].x), ys.push_back(s.letters[k].y);
        EXPECT_EQ(std::tuple(letters, xs, ys, V{ZK_LetterPos.places[n].x, ZK_LetterPos.places[n].y}),
                  std::tuple(V(c.text, c.text + n), c.xs, c.ys, c.end));
    }
}

// The layout looks at count + 200 text positions with alignments 0 and 3,
// count + 100 with 1 and 2; only count letters are kept, placed as in the
// longer layout.
TEST_F(TextTest, CountLimitsTheExaminedText) {
    const std::string text(300, 'a');
    struct Case { uint8_t align; int examined, x0; } const cases[] = {
        {0, 202, 0}, {3, 202, 0}, {1, 102, 1000 - 4 * 102 + 2}, {2, 102, (1000 - 4 * 102 + 2) / 2}};
    for (const Case& c : cases) {
        zk_textinfo.align = c.align;
        EXPECT_EQ(ZK_Text(0, 0, 0, 1000, 100, text.c_str(), 0, kFont, 2), 2);
        const LetterPlace* p = ZK_TextSlot[0][0].letters;
        EXPECT_EQ((V{ZK_LetterPos.count, p[0].x, p[1].x, ZK_LetterPos.places[c.examined].x}),
                  (V{2, c.x0, c.x0 + 4, 4 * c.examined}))
            << "align " << int(c.align);
    }
    // Texts longer than the place array stop where it ends, the last place
    // kept for the end position.
    const std::string huge(3 * ZK_MAXLETTERS, 'a');
    zk_textinfo.align = 0;
    EXPECT_EQ(ZK_Text(1, 0, -32000, 239, 32767, huge.c_str(), 0, 0, 100000), ZK_MAXLETTERS - 1);
}

TEST_F(TextTest, SlotsGrowToCountPlus16AndAreReused) {
    zk_textinfo.alpha = 20;
    TextSlotRecord& s = ZK_TextSlot[0][5];
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "hello", 0x1234, 1, 100), 5);
    EXPECT_EQ((V{s.count, s.capacity, s.font, s.colour, s.alpha}), (V{5, 21, 1, 0x1234, 20}));
    ASSERT_NE(zk_fonts[1], nullptr) << "a built-in font is unpacked on first use";
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "hello world, 21 letters", 0x4321, 2, 100), 23);
    EXPECT_EQ(s.capacity, 23 + 16);
    LetterPlace* grown = s.letters;
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "short", 0x1234, 1, 3), 3);
    EXPECT_TRUE(s.letters == grown && s.capacity == 23 + 16 && s.count == 3);
    ZK_ClearText(5);  // empties the slot, keeps its array
    EXPECT_TRUE(s.count == 0 && s.letters == grown);
    zk_textinfo.layer = 15;  // the last layer's slots likewise
    EXPECT_EQ(ZK_Text(2, 0, 0, 239, 319, "abc", 0x1234, 1, 100), 3);
    ZK_ClearText(2);
    EXPECT_EQ(ZK_TextSlot[15][2].count, 0);
    zk_textinfo.layer = 0;
    // Without a font the layout places nothing and ends where it starts.
    ZK_DoLetterPos(7, 9, 100, 100, "abc", 8, 10);
    EXPECT_EQ((V{ZK_LetterPos.count, ZK_LetterPos.places[0].x, ZK_LetterPos.places[0].y}), (V{0, 7, 9}));
    // A font above 4 that nobody loaded: 0, and the slot is not touched.
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "x", 0x0000, 7, 100), 0);
    EXPECT_TRUE(s.font == 1 && s.colour == 0x1234 && s.letters == grown);
    ZK_ResetTextBg(0);  // releases the arrays; the next text allocates anew
    EXPECT_TRUE(s.letters == nullptr && s.count == 0);
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "ab", 0x1234, 1, 100), 2);
    EXPECT_EQ(s.capacity, 2 + 16);
    const TextFont* own = zk_fonts[kFont];
    zk_textdecompress(kFont), zk_textdecompress(-1);  // only fonts 0-4 are built in
    EXPECT_EQ(zk_fonts[kFont], own);
    zk_cleanfonts();
    for (TextFont* f : zk_fonts) EXPECT_EQ(f, nullptr);
}

TEST_F(TextTest, TextLayersDrawEveryGlyphWhereItsLetterStands) {
    ZK_LoadTextBg(4);
    EXPECT_EQ((V{zk_bg[4].used, zk_bg[4].kind, zk_bg[4].alpha, zk_bg[4].plain, zk_bg[4].priority, zk_textinfo.layer}),
              (V{1, 2, 32, 0, 4, 4}));
    // Every glyph of every font, one font a slot, the last one half blended
    // and the test font's colour planes in another; some letters cut by the
    // screen's edges.
    const uint8_t alphas[6] = {32, 32, 32, 32, 16, 32};
    for (int font = 0; font < 6; ++font) {
        const TextFont* f = font < 5 ? zk_deffonts[font] : zk_fonts[kFont];
        std::string glyphs;
        for (int c = 1; c < 256; ++c)
            if (f->LetterWidth[c]) glyphs += char(c);
        zk_textinfo.alpha = alphas[font];
        zk_textinfo.lineGap = 1;
        const int16_t top = int16_t(font * 53 - 4);
        ZK_Text(uint8_t(font), -3, top, 243, 319, glyphs.c_str(), uint16_t(0xF800 >> font), uint8_t(font < 5 ? font : kFont),
                1000);
    }
    EXPECT_EQ(drawLayer(4, 0x2104), expectedLayer(4, 0x2104));
    // The layer's own position does not move the text; alpha 0 hides a slot.
    ZK_BgScrollXY(4, 50, 70);
    ZK_TextSlot[4][2].alpha = 0;
    EXPECT_EQ(drawLayer(4, 0x0000, true), expectedLayer(4, 0x0000));

    // A second text layer: ZK_Text fills it; the first keeps its slots.
    ZK_LoadTextBg(9);
    ZK_Text(0, 100, 100, 230, 200, "W", 0x07E0, 2, 10);
    EXPECT_EQ((V{ZK_TextSlot[9][0].count, ZK_TextSlot[4][0].count > 0}), (V{1, 1}));
    EXPECT_EQ(drawLayer(9, 0), expectedLayer(9, 0));
    // Deleting a text layer releases its slots' arrays; loaded again, empty.
    ZK_BgDelete(4);
    EXPECT_TRUE(ZK_TextSlot[4][0].letters == nullptr && ZK_TextSlot[4][0].count == 0);
    ZK_LoadTextBg(4);
    EXPECT_EQ((V{zk_bg[4].x, zk_bg[4].y}), (V{0, 0}));
    EXPECT_EQ(drawLayer(4, 0, true), std::vector<uint16_t>(ZK_WIDTH * ZK_HEIGHT, 0));
}
