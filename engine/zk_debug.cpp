// The debug text overlay: a screen-sized tile layer whose cells
// ZK_DebugText fills from a small printf-like language. Printing only writes
// tile-map entries (one look-up and one store a character); the layer is
// drawn by the tile path like any other, so text stays until overwritten.
//
// The built-in font's tiles and character table are generated from
// tools/fonts/debug.txt into engine/zk_debugfont.cpp.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "ZKlib.h"
#include "zk_layout.h"

static_assert(zk_fields_in_order({offsetof(DebugFont, Map), offsetof(DebugFont, MapCount), offsetof(DebugFont, Tiles),
                                 offsetof(DebugFont, TilesSize), offsetof(DebugFont, Pal),
                                 offsetof(DebugFont, Info)}));

const BgInfo zk_debug_Info = {1, 1, 192, 54, 6, 6};
const uint16_t zk_debug_Pal[2] = {0xF81F, 0xFFFF};
const DebugFont zk_debug = {zk_debug_Map, 288, zk_debug_Tiles, 3219, zk_debug_Pal, &zk_debug_Info};

int8_t zk_debug_bg = -1;
uint32_t* zk_debugtruemap;
uint32_t zk_debugmap[4096];
uint16_t debug_width;
uint16_t debug_height;
uint16_t pal[256];  // 16 palettes of 16: entry 16k + 1 is colour k
uint16_t zk_debug_colors[16] = {0xFFFF, 0xF800, 0x07E0, 0x001F, 0xF81F, 0x07FF, 0xFFE0, 0xCE79,
                                0xA534, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000};
uint8_t zk_debug_color;

void ZK_InitDebug(uint8_t layer) { ZK_InitCustomDebug(layer, &zk_debug); }

void ZK_InitCustomDebug(uint8_t layer, const DebugFont* font) {
    if (layer > 15 || !font || !font->Info) return;
    zk_debug_bg = int8_t(layer);
    ZK_BgLoadEx(layer, font->Info, const_cast<uint8_t*>(font->Tiles), const_cast<uint32_t*>(font->Map),
                const_cast<uint16_t*>(font->Pal));
    std::memset(zk_debugmap, 0, sizeof zk_debugmap);
    BgLayer& b = zk_bg[layer];
    zk_debugtruemap = b.map;
    b.map = zk_debugmap;
    b.width = ZK_WIDTH;
    b.height = ZK_HEIGHT;
    b.mapColumns = b.tileWidth > 0 ? ZK_WIDTH / b.tileWidth : 0;
    b.mapRows = b.tileHeight > 0 ? ZK_HEIGHT / b.tileHeight : 0;
    // zk_debugmap holds 4096 cells: tiles too small for that lose the rows
    // below them.
    if (b.mapColumns > 0) b.mapRows = std::min(b.mapRows, 4096 / b.mapColumns);
    debug_width = uint16_t(b.mapColumns);
    debug_height = uint16_t(b.mapRows);
    for (int k = 0; k < 16; ++k) {
        pal[16 * k + 1] = zk_debug_colors[k];
        b.tilePalettes[k] = &pal[16 * k];
    }
    zk_debug_color = 0;
}

namespace {

// One call's printing state: the starting cell, the current row and the
// characters put since the line began.
struct Printer {
    uint32_t x, r, k, W, cells;

    void put(uint8_t ch) {
        // Text past the end of a row runs on into the next; cells beyond the
        // grid (or beyond the overlay's map) are skipped.
        const uint64_t at = uint64_t(r) * W + x + k;
        if (at < cells && zk_debugtruemap)
            zk_debugmap[at] = zk_debugtruemap[ch] | (uint32_t(zk_debug_color) << 27);
        ++k;
    }
    void newline() {
        r += 1 + (W ? k / W : 0);
        k = 0;
    }
    void text(const char* s) {
        while (*s) put(uint8_t(*s++));
    }
    // Decimal digits of a magnitude, most significant first, at least one.
    static int digits(uint64_t v, char* out) {
        char tmp[24];
        int n = 0;
        do {
            tmp[n++] = char('0' + v % 10);
            v /= 10;
        } while (v);
        for (int j = 0; j < n; ++j) out[j] = tmp[n - 1 - j];
        return n;
    }
    void decimal(bool negative, uint64_t magnitude) {
        char d[24];
        const int n = digits(magnitude, d);
        if (negative) put('-');
        for (int j = 0; j < n; ++j) put(uint8_t(d[j]));
    }
    void fixed(double v, int decimals) {
        if (std::isnan(v)) return text("nan");
        if (std::isinf(v)) return text(v < 0 ? "-inf" : "inf");
        const double ip = std::trunc(v);
        const double mag = std::fabs(ip);
        if (mag < 1e18) {
            decimal(v < 0, uint64_t(mag));
        } else {
            // Beyond 64 bits: the digits come from the double itself.
            char d[320];
            int n = 0;
            for (double m = mag; m >= 1.0 && n < 320; m = std::floor(m / 10.0))
                d[n++] = char('0' + int(std::fmod(m, 10.0)));
            if (v < 0) put('-');
            while (n) put(uint8_t(d[--n]));
        }
        put('.');
        double f = std::fabs(v - ip);
        for (int j = 0; j < decimals; ++j) {
            f *= 10.0;
            const double t = std::trunc(f);
            put(uint8_t('0' + int(t)));
            f -= t;
        }
    }
};

bool isConversion(uint8_t c) { return c == 'c' || c == 's' || c == 'x' || c == 'd' || c == 'f'; }

}  // namespace

void ZK_DebugText(uint16_t column, uint16_t row, const char* format, ...) {
    if (zk_debug_bg == -1 || !format) return;
    const uint8_t savedColor = zk_debug_color;
    Printer p{column, row, 0, debug_width, 0};
    const uint32_t cells = uint32_t(debug_width) * debug_height;
    p.cells = cells < 4096 ? cells : 4096;

    va_list ap;
    va_start(ap, format);
    const auto* f = reinterpret_cast<const uint8_t*>(format);
    size_t i = 0;
    while (f[i]) {
        const uint8_t c = f[i];
        if (c == 10) {
            p.newline();
            i += 1;
        } else if (c == '/' && f[i + 1] == 'n') {
            p.newline();
            i += 2;
        } else if (c != '%') {
            p.put(c);
            i += 1;
        } else if (f[i + 1] == 'c' || f[i + 1] == 'f') {
            // Both take a character after them; a format that ends there
            // ends the printing.
            const uint8_t d = f[i + 2];
            if (!d) break;
            if (f[i + 1] == 'c') {
                zk_debug_color = uint8_t(d - 48);
            } else {
                const double v = va_arg(ap, double);
                p.fixed(v, int(d) - 48);
            }
            i += 3;
        } else if (f[i + 1] == 's') {
            const char* s = va_arg(ap, const char*);
            if (s) p.text(s);
            i += 2;
        } else if (f[i + 1] == 'x') {
            uint32_t v = va_arg(ap, uint32_t);
            char d[8];
            int n = 0;
            do {
                d[n++] = "0123456789ABCDEF"[v & 15];
                v >>= 4;
            } while (v);
            while (n) p.put(uint8_t(d[--n]));
            i += 2;
        } else if (f[i + 1] == 'd') {
            const int32_t v = va_arg(ap, int32_t);
            p.decimal(v < 0, v < 0 ? uint64_t(-int64_t(v)) : uint64_t(v));
            i += 2;
        } else if (f[i + 1] && f[i + 1] != ' ' && !isConversion(f[i + 1]) && f[i + 2] && f[i + 2] != ' ' &&
                   f[i + 3] == 'd') {
            // Padded integer: the fill goes before the sign (-42 with %05d
            // prints 000-42).
            const int32_t v = va_arg(ap, int32_t);
            const uint8_t fill = f[i + 1];
            const int width = int(f[i + 2]) - 48;
            char d[24];
            const int n = Printer::digits(v < 0 ? uint64_t(-int64_t(v)) : uint64_t(v), d);
            for (int j = n; j < width; ++j) p.put(fill);
            if (v < 0) p.put('-');
            for (int j = 0; j < n; ++j) p.put(uint8_t(d[j]));
            i += 4;
        } else {
            p.put('%');
            i += 1;
        }
    }
    va_end(ap);
    zk_debug_color = savedColor;
}
