// Fonts and text layout, and the text layers that draw laid-out slots.
//
// The five built-in fonts are stored one bit a pixel (engine/zk_fontdata.cpp,
// generated from the glyph sheets in tools/fonts) and expanded once, on first
// use, to 16-bit masks that the plain letter blitter combines with a colour.
// ZK_Text lays a string out in a box (word wrap, four alignments, a line count
// bounded by the box) and stores the letter places in a text slot; a text
// layer draws its 256 slots every frame where their letters stand.
#include <cstdlib>
#include <cstring>

#include "ZKlib.h"
#include "zk_layout.h"

static_assert(zk_fields_in_order({offsetof(TextFont, Font), offsetof(TextFont, LetterStart),
                                 offsetof(TextFont, LetterWidth), offsetof(TextFont, height)}));
static_assert(sizeof(TextInfo) == 5);
static_assert(offsetof(TextInfo, lineGap) == 0 && offsetof(TextInfo, letterSpacing) == 1 &&
              offsetof(TextInfo, align) == 2 && offsetof(TextInfo, alpha) == 3 && offsetof(TextInfo, layer) == 4);
static_assert(zk_fields_in_order({offsetof(LetterPlace, letter), offsetof(LetterPlace, x),
                                 offsetof(LetterPlace, y)}));
static_assert(zk_fields_in_order({offsetof(LetterPositions, count), offsetof(LetterPositions, places)}));
static_assert(zk_fields_in_order({offsetof(TextSlotRecord, count), offsetof(TextSlotRecord, font),
                                 offsetof(TextSlotRecord, colour), offsetof(TextSlotRecord, alpha),
                                 offsetof(TextSlotRecord, capacity), offsetof(TextSlotRecord, letters)}));

TextFont* const zk_deffonts[5] = {&zk_text0, &zk_text1, &zk_text2, &zk_text3, &zk_text4};
const int32_t zk_deffontsize[5] = {306, 480, 738, 1289, 1978};
TextFont* zk_fonts[16];
TextInfo zk_textinfo = {0, 1, 0, 32, 0};
LetterPositions ZK_LetterPos;
TextSlotRecord ZK_TextSlot[16][256];

// ---------------------------------------------------------------- fonts

void zk_textdecompress(int font) {
    if (font < 0 || font > 4) return;
    const TextFont* src = zk_deffonts[font];
    auto* f = static_cast<TextFont*>(std::malloc(sizeof(TextFont)));
    if (!f) return;
    f->LetterStart = src->LetterStart;
    f->LetterWidth = src->LetterWidth;
    f->height = src->height;
    const size_t bytes = size_t(zk_deffontsize[font]);
    auto* masks = static_cast<uint16_t*>(std::malloc(bytes * 8 * sizeof(uint16_t)));
    if (!masks) {
        std::free(f);
        return;
    }
    const auto* bits = static_cast<const uint8_t*>(src->Font);
    for (size_t i = 0; i < bytes; ++i)
        for (unsigned b = 0; b < 8; ++b) masks[i * 8 + b] = (bits[i] >> b) & 1u ? 0xFFFF : 0x0000;
    f->Font = masks;
    zk_fonts[font] = f;
}

void zk_cleanfonts() {
    for (int n = 0; n < 16; ++n) {
        TextFont* f = zk_fonts[n];
        if (!f) continue;
        std::free(f->Font);
        if (n >= 5) {
            std::free(f->LetterStart);
            std::free(f->LetterWidth);
        }
        std::free(f);
        zk_fonts[n] = nullptr;
    }
}

// ---------------------------------------------------------------- layout

static int16_t i16(int v) { return static_cast<int16_t>(v); }  // 16-bit wrap, well defined

static int floorHalf(int v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

void ZK_DoAlign(uint16_t first, int16_t lineEnd, int16_t right, uint8_t justify) {
    const int n = ZK_LetterPos.count;
    LetterPlace* p = ZK_LetterPos.places;
    int16_t free = i16(right - lineEnd + 1);
    switch (zk_textinfo.align) {
        case 1:
            for (int k = first; k < n; ++k) p[k].x = i16(p[k].x + free + 1);
            return;
        case 2: {
            const int shift = floorHalf(free + 1);
            for (int k = first; k < n; ++k) p[k].x = i16(p[k].x + shift);
            return;
        }
        case 3:
            break;
        default:
            return;
    }
    if (!justify) return;
    const uint8_t gaps = uint8_t(unsigned(n - first - 1));
    uint8_t step = 0;
    if (gaps < free) {
        free = i16(free - gaps);
        step = 1;
    }
    uint8_t spaces = 0;
    for (int k = first; k < n - 1; ++k)
        if (p[k].letter == 32) spaces = uint8_t(spaces + 1);
    uint8_t offset = 0;
    for (int k = first; k < n; ++k) {
        offset = uint8_t(offset + step);
        p[k].x = i16(p[k].x + offset);
        if (p[k].letter == 32 && free != 0) {
            // Each space takes its rounded share of what remains.
            const uint8_t extra = spaces ? uint8_t(unsigned((free + spaces / 2) / spaces)) : 0;
            free = i16(free - extra);
            offset = uint8_t(offset + extra);
            spaces = uint8_t(spaces - 1);
        }
    }
}

void ZK_DoLetterPos(int16_t left, int16_t top, int16_t right, int16_t bottom, const char* text, uint8_t font,
                    int32_t count) {
    LetterPlace* places = ZK_LetterPos.places;
    const TextFont* f = font < 16 ? zk_fonts[font] : nullptr;
    const auto* t = reinterpret_cast<const uint8_t*>(text);
    int n = 0;
    int16_t x = left, y = top;
    int lineStart = 0;
    // The last place of the array is kept for the end position: the layout
    // stops once the letters fill the others.
    constexpr int maxLetters = ZK_MAXLETTERS - 1;

    if (!f || !t) {
        ZK_LetterPos.count = 0;
        places[0].x = x;
        places[0].y = y;
        return;
    }
    const uint8_t* width = f->LetterWidth;
    const int h = f->height;
    const uint8_t s = zk_textinfo.letterSpacing;
    auto adv = [&](uint8_t c) { return uint8_t(width[c] + s); };
    auto place = [&](uint8_t c, int16_t px, int16_t py) {
        places[n].letter = c;
        places[n].x = px;
        places[n].y = py;
        ++n;
    };
    const int64_t limit = int64_t(count) + (zk_textinfo.align == 0 || zk_textinfo.align == 3 ? 200 : 100);
    int64_t i = 0;

    if (limit > 0 && t[0] != 0) {
        for (;;) {
            if (n >= maxLetters) break;
            const uint8_t c = t[i];
            int16_t e;
            uint8_t flag;
            if (c == 10) {
                place(c, x, y);
                e = (i > 0 && t[i - 1] == 32) ? i16(x - width[32]) : x;
                flag = 0;
            } else if (c == 32 || x + adv(c) <= right) {
                place(c, x, y);
                x = i16(x + adv(c));
                ++i;
                if (i < limit && t[i] != 0) continue;
                break;
            } else {
                // The letter does not fit: its word moves to the next line,
                // unless the word began the line (it is wider than the whole
                // line), which then breaks here at the line edge.
                int back = 0;
                while (back < n - lineStart && t[i - 1 - back] != 32) ++back;
                if (back < n - lineStart) {
                    for (int k = 0; k < back; ++k) {
                        --n;
                        x = i16(x - adv(places[n].letter));
                        --i;
                    }
                    e = i16(x - 1 - width[32]);
                } else {
                    e = x;
                }
                flag = 1;
            }
            // Line break.
            if (y + 2 * h > bottom) {
                x = e;
                break;
            }
            ZK_LetterPos.count = n;
            ZK_DoAlign(uint16_t(lineStart), e, right, flag);
            y = i16(y + h + zk_textinfo.lineGap);
            lineStart = n;
            x = left;
            if (t[i] > 32 && n < maxLetters) {
                place(t[i], left, y);
                x = i16(left + adv(t[i]));
            }
            ++i;
            if (i < limit && t[i] != 0) continue;
            break;
        }
    }
    if (i > 0 && t[i - 1] == 32) x = i16(x - width[32]);
    ZK_LetterPos.count = n;
    ZK_DoAlign(uint16_t(lineStart), x, right, y + 2 * h > bottom ? 1 : 0);
    places[n].x = x;
    places[n].y = y;
}

int16_t ZK_Text(uint8_t slot, int16_t left, int16_t top, int16_t right, int16_t bottom, const char* text,
                uint16_t colour, uint8_t font, int32_t count) {
    if (font >= 16 || zk_textinfo.layer > 15) return 0;
    if (!zk_fonts[font]) {
        if (font >= 5) return 0;
        zk_textdecompress(font);
        if (!zk_fonts[font]) return 0;
    }
    TextSlotRecord& r = ZK_TextSlot[zk_textinfo.layer][slot];
    r.font = font;
    r.colour = colour;
    ZK_DoLetterPos(left, top, right, bottom, text, font, count);
    const int32_t m = count < ZK_LetterPos.count ? count : ZK_LetterPos.count;
    ZK_LetterPos.count = m;
    if (!r.letters || m > r.capacity) {
        std::free(r.letters);
        r.capacity = uint16_t(m + 16);
        r.letters = static_cast<LetterPlace*>(std::malloc((size_t(r.capacity) + 1) * sizeof(LetterPlace)));
        if (!r.letters) {
            r.capacity = 0;
            r.count = 0;
            return 0;
        }
    }
    if (m > 0) std::memcpy(r.letters, ZK_LetterPos.places, size_t(m) * sizeof(LetterPlace));
    r.alpha = zk_textinfo.alpha;
    r.count = m;
    return int16_t(m);
}

// ---------------------------------------------------------------- text layers

void ZK_LoadTextBg(uint8_t layer) {
    if (layer > 15) return;
    ZK_BgDelete(layer);
    BgLayer& b = zk_bg[layer];
    b.used = 1;
    b.kind = 2;
    b.alpha = 32;
    b.plain = 0;
    b.priority = layer;
    b.x = 0;
    b.y = 0;
    zk_textinfo.layer = layer;
    ZK_LetterPos.count = 0;
}

void ZK_ShowTextBg(uint8_t layer) {
    if (layer > 15) return;
    for (const TextSlotRecord& r : ZK_TextSlot[layer]) {
        if (r.count <= 0 || r.alpha == 0 || !r.letters) continue;
        const TextFont* f = zk_fonts[r.font & 15];
        if (!f) continue;
        const int h = f->height;
        for (int32_t k = 0; k < r.count; ++k) {
            const LetterPlace& p = r.letters[k];
            const int w = int8_t(f->LetterWidth[p.letter]);
            if (w <= 0) continue;  // newlines and codes without a glyph
            if (r.font < 5) {
                const auto* masks = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(f->Font) +
                                                                      (f->LetterStart[p.letter] & ~int32_t(1)));
                ZK_CopyPlainLetter(masks, r.colour, w, h, p.x, p.y, r.alpha);
            } else {
                ZK_CopyLetter(static_cast<const uint16_t*>(f->Font) + f->LetterStart[p.letter], 1, w, h, p.x, p.y,
                              r.alpha);
            }
        }
    }
}

void ZK_ResetTextBg(uint8_t layer) {
    if (layer > 15) return;
    for (TextSlotRecord& r : ZK_TextSlot[layer]) {
        r.count = 0;
        std::free(r.letters);
        r.letters = nullptr;
    }
}

void ZK_ClearText(uint8_t slot) {
    if (zk_textinfo.layer <= 15) ZK_TextSlot[zk_textinfo.layer][slot].count = 0;
}
