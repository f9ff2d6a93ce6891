#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "zk_blend.h"
#include "zk_test_support.h"

namespace {

constexpr int kHeight[5] = {6, 8, 9, 12, 14};
constexpr int kSpace[5] = {1, 1, 1, 2, 3};

bool hasGlyph(int font, int c) {
    if (c >= 32 && c <= 126) return true;
    if (c >= 224 && c <= 253) return c != 240 && c != 247 && c != 248 && (c != 246 || font == 4);
    return font == 4 && c == 199;
}

void resetText() {
    zk_textinfo = {0, 1, 0, 32, 0};
    for (int l = 0; l < 16; ++l) ZK_ResetTextBg(uint8_t(l));
    for (auto& layer : ZK_TextSlot)
        for (auto& s : layer) s = TextSlotRecord{};
    zk_cleanfonts();
    zk_window[0] = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    zk_curwindow = 0, zk_cursprite = -1;
}

int width(int font, uint8_t c) { return zk_deffonts[font]->LetterWidth[c]; }

// Lays text out in font 0 through ZK_Text and returns the kept places.
std::vector<LetterPlace> layout(const char* text, int16_t l, int16_t t, int16_t r, int16_t b, int font = 0,
                                int32_t count = 1000) {
    ZK_Text(0, l, t, r, b, text, 0xFFFF, uint8_t(font), count);
    return {ZK_LetterPos.places, ZK_LetterPos.places + ZK_LetterPos.count};
}

// The last inked column of a place.
int lastColumn(const LetterPlace& p, int font) { return p.x + width(font, p.letter) - 1; }

struct TextTest : ::testing::Test {
    void SetUp() override { resetText(); }
    void TearDown() override { resetText(); }
};

}  // namespace

TEST(Fonts, StoredTablesFollowTheLayoutRules) {
    for (int n = 0; n < 5; ++n) {
        SCOPED_TRACE("font " + std::to_string(n));
        const TextFont* f = zk_deffonts[n];
        EXPECT_EQ((std::vector<int>{f->height, f->LetterWidth[32], int(f->LetterStart[0])}),
                  (std::vector<int>{kHeight[n], kSpace[n], 0}));
        long pixels = 0;
        for (int c = 0; c < 256; ++c) {
            EXPECT_EQ(f->LetterWidth[c] != 0, hasGlyph(n, c)) << "code " << c;
            if (c < 255) { EXPECT_EQ(f->LetterStart[c + 1], f->LetterStart[c] + 2 * f->LetterWidth[c] * f->height); }
            pixels += f->LetterWidth[c] * f->height;
        }
        EXPECT_EQ((pixels + 7) / 8, zk_deffontsize[n]);
        // Each glyph but the space has ink, the space none, and the padding
        // after the last letter is clear.
        const auto* bits = static_cast<const uint8_t*>(f->Font);
        auto ink = [&](long p) { return (bits[p / 8] >> (p % 8)) & 1; };
        for (int c = 0; c < 256; ++c) {
            if (!f->LetterWidth[c]) continue;
            int count = 0;
            for (long p = f->LetterStart[c] / 2; p < f->LetterStart[c] / 2 + f->LetterWidth[c] * f->height; ++p)
                count += ink(p);
            EXPECT_EQ(count == 0, c == 32) << "code " << c;
        }
        for (long p = pixels; p < long(zk_deffontsize[n]) * 8; ++p) EXPECT_EQ(ink(p), 0);
    }
    EXPECT_EQ(std::vector<int>(zk_deffontsize, zk_deffontsize + 5), (std::vector<int>{306, 480, 738, 1289, 1978}));
}

TEST_F(TextTest, DecompressionExpandsBitsToMasksAndSharesTheTables) {
    for (int n = 0; n < 5; ++n) {
        zk_textdecompress(n);
        const TextFont* f = zk_fonts[n];
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(f->LetterStart == zk_deffonts[n]->LetterStart && f->LetterWidth == zk_deffonts[n]->LetterWidth &&
                    f->height == zk_deffonts[n]->height);
        const auto* bits = static_cast<const uint8_t*>(zk_deffonts[n]->Font);
        const auto* masks = static_cast<const uint16_t*>(f->Font);
        for (int p = 0; p < zk_deffontsize[n] * 8; ++p)
            ASSERT_EQ(masks[p], (bits[p / 8] >> (p % 8)) & 1 ? 0xFFFF : 0x0000) << "font " << n << " pixel " << p;
    }
    zk_cleanfonts();
    for (TextFont* f : zk_fonts) EXPECT_EQ(f, nullptr);
}

TEST_F(TextTest, LeftLayoutAdvancesAndEmptyText) {
    EXPECT_EQ(ZK_Text(0, 10, 20, 200, 300, "", 0xFFFF, 0, 100), 0);
    EXPECT_EQ((std::vector<int>{ZK_TextSlot[0][0].count, ZK_LetterPos.places[0].x, ZK_LetterPos.places[0].y}),
              (std::vector<int>{0, 10, 20}));

    for (uint8_t spacing : {uint8_t(1), uint8_t(3)}) {
        zk_textinfo.letterSpacing = spacing;
        const char* text = "Hi, you!";
        auto p = layout(text, 10, 20, 200, 300, 2);
        ASSERT_EQ(p.size(), std::strlen(text));
        int x = 10;
        for (size_t k = 0; k < p.size(); x += width(2, uint8_t(text[k])) + spacing, ++k)
            EXPECT_TRUE(p[k].letter == uint8_t(text[k]) && p[k].x == x && p[k].y == 20) << "letter " << k;
        EXPECT_EQ(ZK_LetterPos.places[p.size()].x, x);  // the end place
    }
}

TEST_F(TextTest, WrappingNewlinesAndTheBottomStop) {
    const int h = kHeight[0];
    zk_textinfo.lineGap = 2;
    // "aaa bbb": the box ends inside bbb, which moves whole to the next line;
    // the space stays behind as the first line's last letter.
    const int adv = width(0, 'a') + 1;
    const int16_t right = int16_t(10 + 4 * adv + 2 * adv);
    auto p = layout("aaa bbbb", 10, 0, right, 100);
    ASSERT_EQ(p.size(), 8u);
    EXPECT_EQ((std::vector<int>{p[3].letter, p[3].y, p[4].letter, p[4].x, p[4].y}),
              (std::vector<int>{' ', 0, 'b', 10, h + 2}));

    // A newline is a letter of width 0 ending its line; the next starts at left.
    p = layout("ab\ncd", 10, 0, 200, 100);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ((std::vector<int>{p[2].letter, p[3].x, p[3].y}), (std::vector<int>{10, 10, h + 2}));

    // A line whose successor would end below bottom is the last one.
    zk_textinfo.lineGap = 0;
    p = layout("one\ntwo\nthree", 0, 0, 200, int16_t(2 * h - 1 + h));  // room for two lines
    EXPECT_EQ((std::vector<int>{int(p.size()), p.back().y, p.back().letter}), (std::vector<int>{8, h, 10}))
        << "one\\ntwo\\n: three is dropped";

    // count keeps the first letters, but the breaks are those of the whole text.
    auto all = layout("aaa bbbb cc", 10, 0, right, 100);
    auto few = layout("aaa bbbb cc", 10, 0, right, 100, 0, 6);
    ASSERT_EQ(few.size(), 6u);
    EXPECT_EQ(ZK_TextSlot[0][0].count, 6);
    for (size_t k = 0; k < few.size(); ++k) EXPECT_TRUE(few[k].x == all[k].x && few[k].y == all[k].y) << k;
}

TEST_F(TextTest, AlignmentsPlaceLinesInTheBox) {
    const char* text = "The quick brown fox jumps over the lazy dog again and again";
    for (int font = 0; font < 5; ++font) {
        SCOPED_TRACE("font " + std::to_string(font));
        for (uint8_t align = 0; align < 4; ++align) {
            zk_textinfo.align = align;
            auto p = layout(text, 20, 0, 180, 319, font);
            ASSERT_EQ(p.size(), std::strlen(text));
            // Group the places by line.
            std::vector<std::vector<LetterPlace>> lines;
            for (const auto& q : p) {
                if (lines.empty() || lines.back().back().y != q.y) lines.emplace_back();
                lines.back().push_back(q);
            }
            ASSERT_GE(lines.size(), 2u);
            for (size_t l = 0; l < lines.size(); ++l) {
                auto line = lines[l];
                while (line.back().letter == ' ') line.pop_back();
                const int first = line.front().x, last = lastColumn(line.back(), font);
                EXPECT_LE(last, 180);
                if (align == 0) { EXPECT_EQ(first, 20); }
                if (align == 1) { EXPECT_EQ(last, 180); }
                if (align == 2) { EXPECT_LE(std::abs((first - 20) - (180 - last)), 2); }
                // Wrapped lines are spread to the box's right edge (the
                // spread stops one column short of where right alignment puts
                // the line); the last line stays left.
                if (align == 3) { EXPECT_EQ(l + 1 < lines.size() ? last : first, l + 1 < lines.size() ? 179 : 20); }
            }
        }
    }
}

TEST_F(TextTest, JustifyLeavesNewlineEndedLinesAlone) {
    zk_textinfo.align = 3;
    const int h = kHeight[0];
    auto p = layout("a b\nc d\ne f", 0, 0, 100, 100);
    EXPECT_EQ(p[2].x, width(0, 'a') + 1 + width(0, ' ') + 1);  // not spread out
    // The last line that fits is justified even when a newline ends it.
    p = layout("a b\nc d\ne f", 0, 0, 100, int16_t(2 * h - 1));
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p.back().letter, 10);
    EXPECT_GT(p[2].x, 50);
}

TEST_F(TextTest, OverlongWordsBreakAtTheLineEdge) {
    // Wider than the box: the word is broken where the line ends, in order.
    const char* word = "abcdefghijklmnopqrstuvwxyz";
    auto p = layout(word, 5, 0, 40, 319);
    ASSERT_EQ(p.size(), std::strlen(word));
    for (size_t k = 0; k < p.size(); ++k) EXPECT_TRUE(p[k].letter == uint8_t(word[k]) && lastColumn(p[k], 0) <= 40) << k;
    EXPECT_GT(p.back().y, 0);
    // A long word after a short one: the short line stays, the long word
    // starts the next line and breaks at its edge.
    p = layout("ab abcdefghijklmnopqrstuvwxyz", 5, 0, 40, 319);
    EXPECT_EQ(p[3].x, 5);
    EXPECT_GT(p[3].y, p[0].y);
    // A box narrower than one letter: one letter a line, and it ends.
    p = layout("abc def", 5, 0, 6, 319);
    EXPECT_EQ(p.size(), 7u);
}

TEST_F(TextTest, LongTextsStopWhereThePlacesEnd) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "ab ";
    for (uint8_t align : {uint8_t(0), uint8_t(3)}) {
        zk_textinfo.align = align;
        const int16_t n = ZK_Text(1, 0, -32000, 239, 32767, text.c_str(), 0xFFFF, 0, 100000);
        EXPECT_EQ(n, ZK_MAXLETTERS - 1);
        EXPECT_EQ(ZK_TextSlot[0][1].capacity, ZK_MAXLETTERS - 1 + 16);
    }
}

TEST_F(TextTest, SlotsGrowToCountPlus16AndAreReused) {
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "hello", 0x1234, 1, 100), 5);
    TextSlotRecord& s = ZK_TextSlot[0][5];
    EXPECT_EQ((std::vector<int>{s.capacity, s.font, s.colour, s.alpha}), (std::vector<int>{5 + 16, 1, 0x1234, 32}));
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "hello world, 21 letters", 0x1234, 1, 100), 23);
    EXPECT_EQ(s.capacity, 23 + 16);
    LetterPlace* grown = s.letters;
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "short", 0x1234, 1, 100), 5);
    EXPECT_TRUE(s.letters == grown && s.capacity == 23 + 16);
    // ZK_ClearText empties the slot and keeps its array for the next text.
    ZK_ClearText(5);
    EXPECT_TRUE(s.count == 0 && s.letters == grown);
    // Fonts above 4 that nobody loaded: 0 and the slot untouched.
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "x", 0x0000, 7, 100), 0);
    EXPECT_TRUE(s.font == 1 && s.colour == 0x1234);
    // Resetting the layer releases the arrays; the next text allocates anew.
    ZK_ResetTextBg(0);
    EXPECT_TRUE(s.letters == nullptr && s.count == 0);
    EXPECT_EQ(ZK_Text(5, 0, 0, 239, 319, "ab", 0x1234, 1, 100), 2);
    EXPECT_EQ(s.capacity, 2 + 16);
}

namespace {

// Clears the buffer to black, draws text layer 'layer' (through the layer
// dispatch when viaBg) and returns the pixels drawn.
int drawn(uint8_t layer, bool viaBg = false) {
    std::memset(zk_buffer, 0, sizeof zk_buffer);
    viaBg ? ZK_ShowBg(int8_t(layer)) : ZK_ShowTextBg(layer);
    int n = 0;
    for (uint16_t p : zk_buffer) n += p != 0;
    return n;
}

}  // namespace

TEST_F(TextTest, TextLayersDrawTheirSlotsWhereTheLettersStand) {
    ZK_LoadTextBg(4);
    EXPECT_EQ((std::vector<int>{zk_bg[4].kind, zk_bg[4].used, zk_bg[4].priority, zk_textinfo.layer}),
              (std::vector<int>{2, 1, 4, 4}));
    EXPECT_EQ(drawn(4), 0);  // no filled slot, nothing drawn

    ZK_Text(0, 10, 10, 230, 100, "I", 0xFFFF, 2, 10);
    EXPECT_GT(drawn(4), 0);
    std::vector<uint16_t> opaque(zk_buffer, zk_buffer + ZK_WIDTH * ZK_HEIGHT);
    // Every ink pixel lies in the letter's box.
    for (int y = 0; y < ZK_HEIGHT; ++y)
        for (int x = 0; x < ZK_WIDTH; ++x)
            if (zk_buffer[y * ZK_WIDTH + x]) {
                EXPECT_TRUE(x >= 10 && x < 10 + width(2, 'I') && y >= 10 && y < 10 + kHeight[2]) << x << ", " << y;
            }

    // The layer's position does not move its text.
    ZK_BgScrollXY(4, 50, 70);
    drawn(4, true);
    EXPECT_EQ(std::vector<uint16_t>(zk_buffer, zk_buffer + ZK_WIDTH * ZK_HEIGHT), opaque);

    // alpha 16 blends half; alpha 0 is not drawn.
    ZK_TextSlot[4][0].alpha = 16;
    drawn(4);
    for (int i = 0; i < ZK_WIDTH * ZK_HEIGHT; ++i)
        ASSERT_EQ(zk_buffer[i], opaque[i] ? zk_blend(0xFFFF, 0x0000, 16) : 0);
    ZK_TextSlot[4][0].alpha = 0;
    EXPECT_EQ(drawn(4), 0);

    // A second text layer: ZK_Text fills the one loaded last; the first
    // keeps its slots.
    ZK_TextSlot[4][0].alpha = 32;
    ZK_LoadTextBg(9);
    ZK_Text(0, 100, 100, 230, 200, "W", 0x07E0, 2, 10);
    EXPECT_EQ((std::vector<int>{ZK_TextSlot[9][0].count, ZK_TextSlot[4][0].count, ZK_TextSlot[4][0].letters[0].letter}),
              (std::vector<int>{1, 1, 'I'}));
    EXPECT_GT(drawn(9), 0);
    EXPECT_EQ(zk_buffer[10 * ZK_WIDTH + 10], 0);

    // Deleting a text layer releases its slots' arrays; loaded again, it
    // starts empty.
    ZK_BgDelete(4);
    EXPECT_TRUE(ZK_TextSlot[4][0].letters == nullptr && ZK_TextSlot[4][0].count == 0);
    ZK_LoadTextBg(4);
    EXPECT_EQ(drawn(4, true), 0);
}

// Each font's whole glyph set (top row) and one paragraph in the four
// alignments (bottom row), drawn through a text layer, one screen each, side
// by side in text_fonts.ppm in the build folder.
TEST_F(TextTest, FontSheet) {
    const char* paragraph =
        "Quib fires balls that bounce, count down and grow. D\xe9j\xe0 vu: gar\xe7on, na\xefve, se\xf1or!";
    const int W = 5 * ZK_WIDTH;
    std::vector<uint16_t> sheet(size_t(W) * 2 * ZK_HEIGHT);
    const uint16_t colours[4] = {0xFFFF, 0xFFE0, 0x07FF, 0xFBEF};
    auto show = [&](int font, int page) {
        for (uint16_t& p : zk_buffer) p = 0x2104;
        ZK_ShowTextBg(2);
        for (int r = 0; r < ZK_HEIGHT; ++r)
            std::memcpy(&sheet[size_t(page * ZK_HEIGHT + r) * size_t(W) + size_t(font) * ZK_WIDTH],
                        &zk_buffer[r * ZK_WIDTH], ZK_WIDTH * sizeof(uint16_t));
    };
    for (int font = 0; font < 5; ++font) {
        SCOPED_TRACE("font " + std::to_string(font));
        resetText();
        ZK_LoadTextBg(2);
        std::string glyphs;
        for (int c = 33; c < 256; ++c)
            if (zk_deffonts[font]->LetterWidth[c]) glyphs += char(c);
        zk_textinfo.lineGap = 2;
        EXPECT_EQ(ZK_Text(0, 2, 2, 237, 317, glyphs.c_str(), 0xFFFF, uint8_t(font), 1000), int(glyphs.size()));
        show(font, 0);
        ZK_ClearText(0);
        int y = 4;
        for (uint8_t align = 0; align < 4; ++align) {
            zk_textinfo.align = align;
            const int n = ZK_Text(uint8_t(1 + align), 4, int16_t(y), 235, 317, paragraph, colours[align],
                                  uint8_t(font), 1000);
            EXPECT_EQ(n, int(std::strlen(paragraph))) << "align " << int(align);
            // Every kept letter lies inside the box.
            for (int k = 0; k < n; ++k) {
                const LetterPlace& p = ZK_LetterPos.places[k];
                EXPECT_TRUE(p.letter == ' ' || (p.x >= 4 && lastColumn(p, font) <= 235)) << "letter " << k;
            }
            y = ZK_LetterPos.places[n].y + kHeight[font] + 8;
        }
        show(font, 1);
    }
    zk_test_save_ppm("text_fonts", sheet.data(), W, 2 * ZK_HEIGHT);
}
