// Background layers: the 16 layer records, bitmap, tile and vector layers,
// their loading, release, position and pixels, and drawing them through the
// clipped blitters, with the application's hook after every drawn layer.
//
// Choices this unit makes where callers could leave things open:
// - layer numbers above 15 are ignored by every operation;
// - an 8-bit engine bitmap starts with every pixel 0 and a zero palette;
// - a loader that cannot get its memory leaves the layer free;
// - ZK_BgCopyBitmap and ZK_BgSetPixelAlpha act only on a 16-bit bitmap layer
//   in use, and ZK_BgSetPixelAlpha ignores pixels outside the layer;
// - ZK_BgLoadEx with a kind other than 0 or 1 sets the common fields only;
// - ZK_BgDelete releases a vector layer's shapes;
// - tile rows and columns are visited up to the screen's bottom and right
//   edges (and never beyond the map), so a map placed at a positive x or y
//   shows every cell that lies on the screen.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ZKlib.h"
#include "zk_layout.h"
#include "zk_bg.h"
#include "zk_blend.h"

BgLayer zk_bg[16];
uint32_t zk_bgstamp[16];

static_assert(zk_fields_in_order({offsetof(BgLayer, used), offsetof(BgLayer, kind), offsetof(BgLayer, depth),
                                 offsetof(BgLayer, pixels), offsetof(BgLayer, map), offsetof(BgLayer, palette),
                                 offsetof(BgLayer, tilePalettes), offsetof(BgLayer, width), offsetof(BgLayer, height),
                                 offsetof(BgLayer, mapColumns), offsetof(BgLayer, mapRows),
                                 offsetof(BgLayer, tileWidth), offsetof(BgLayer, tileHeight),
                                 offsetof(BgLayer, priority), offsetof(BgLayer, x), offsetof(BgLayer, y),
                                 offsetof(BgLayer, alpha), offsetof(BgLayer, plain), offsetof(BgLayer, window),
                                 offsetof(BgLayer, shapes)}));
static_assert(offsetof(BgInfo, kind) < offsetof(BgInfo, depth) && offsetof(BgInfo, depth) < offsetof(BgInfo, width) &&
              offsetof(BgInfo, width) < offsetof(BgInfo, height) &&
              offsetof(BgInfo, height) < offsetof(BgInfo, tileWidth) &&
              offsetof(BgInfo, tileWidth) < offsetof(BgInfo, tileHeight) && sizeof(BgInfo) == 24);
static_assert(zk_fields_in_order({offsetof(VectorShape, kind), offsetof(VectorShape, next),
                                 offsetof(VectorShape, colour), offsetof(VectorShape, mode),
                                 offsetof(VectorShape, colour2), offsetof(VectorShape, x1), offsetof(VectorShape, y1),
                                 offsetof(VectorShape, x2), offsetof(VectorShape, y2)}));

namespace {

void freeShapes(BgLayer& bg) {
    for (VectorShape* s = bg.shapes; s;) {
        VectorShape* next = s->next;
        std::free(s);
        s = next;
    }
    bg.shapes = nullptr;
}

// Steps 1 and 2 of both engine-bitmap loaders.
BgLayer& startBitmap(uint8_t layer, int16_t width, int16_t height, uint8_t depth) {
    ZK_BgDelete(layer);
    BgLayer& bg = zk_bg[layer];
    bg.used = 1;
    bg.kind = 3;
    bg.depth = depth;
    bg.window = 0;
    bg.priority = layer;
    bg.map = nullptr;
    bg.x = bg.y = 0;
    bg.width = std::max<int32_t>(width, 0);
    bg.height = std::max<int32_t>(height, 0);
    return bg;
}

size_t pixelCount(const BgLayer& bg) { return size_t(std::max(bg.width, 0)) * size_t(std::max(bg.height, 0)); }

bool is16bitBitmap(const BgLayer& bg) {
    return bg.used == 1 && (bg.kind == 0 || bg.kind == 3) && bg.depth == 2 && bg.pixels;
}

}  // namespace

void ZK_BgLoad8bitBitmap(uint8_t layer, int16_t width, int16_t height, uint8_t plain) {
    if (layer > 15) return;
    BgLayer& bg = startBitmap(layer, width, height, 1);
    bg.palette = static_cast<uint16_t*>(std::calloc(256, sizeof(uint16_t)));
    bg.pixels = std::calloc(std::max<size_t>(pixelCount(bg), 1), 1);
    if (!bg.palette || !bg.pixels) {
        ZK_BgDelete(layer);
        return;
    }
    bg.plain = plain;
    bg.alpha = 32;
}

void ZK_BgLoadBitmap(uint8_t layer, int16_t width, int16_t height, uint8_t plain) {
    if (layer > 15) return;
    BgLayer& bg = startBitmap(layer, width, height, 2);
    bg.palette = nullptr;
    const size_t n = pixelCount(bg);
    auto* pixels = static_cast<uint16_t*>(std::malloc(std::max<size_t>(n, 1) * sizeof(uint16_t)));
    bg.pixels = pixels;
    if (!pixels) {
        ZK_BgDelete(layer);
        return;
    }
    if (plain == 0) std::fill(pixels, pixels + n, zk_bgcolor);
    bg.plain = plain;
    bg.alpha = 32;
}

void ZK_BgLoadEx(uint8_t layer, const BgInfo* info, void* pixels, uint32_t* map, uint16_t* palette) {
    if (layer > 15 || !info) return;
    ZK_BgDelete(layer);
    BgLayer& bg = zk_bg[layer];
    bg.used = 1;
    bg.kind = uint8_t(info->kind);
    bg.depth = uint8_t(info->depth);
    bg.x = bg.y = 0;
    bg.width = info->width;
    bg.height = info->height;
    bg.palette = palette;
    bg.map = map;
    bg.pixels = pixels;
    bg.priority = layer;
    bg.alpha = 32;
    bg.window = 0;
    if (bg.kind == 0) {
        bg.plain = uint8_t(info->tileWidth);
    } else if (bg.kind == 1) {
        bg.tileWidth = info->tileWidth;
        bg.tileHeight = info->tileHeight;
        bg.mapColumns = bg.tileWidth ? bg.width / bg.tileWidth : 0;
        bg.mapRows = bg.tileHeight ? bg.height / bg.tileHeight : 0;
        bg.tilePalettes[0] = palette;
        bg.plain = 0;
    }
}

void ZK_BgDelete(uint8_t layer) {
    if (layer > 15) return;
    BgLayer& bg = zk_bg[layer];
    ++zk_bgstamp[layer];
    if (bg.used) {
        if (bg.kind == 3) {
            std::free(bg.pixels);
            bg.pixels = nullptr;
            if (bg.depth == 1) {
                std::free(bg.palette);
                bg.palette = nullptr;
            }
        } else if (bg.kind == 2) {
            ZK_ResetTextBg(layer);
        } else if (bg.kind == 255) {
            freeShapes(bg);
        }
    }
    bg.used = 0;
}

void ZK_ResetBg() {
    for (int i = 0; i < 16; ++i) ZK_BgDelete(uint8_t(i));
}

void ZK_BgScrollXY(uint8_t layer, int32_t x, int32_t y) {
    if (layer > 15) return;
    zk_bg[layer].x = x;
    zk_bg[layer].y = y;
}

void ZK_BgCopyBitmap(uint8_t layer, const uint16_t* source) {
    if (layer > 15 || !source || !is16bitBitmap(zk_bg[layer])) return;
    std::memcpy(zk_bg[layer].pixels, source, pixelCount(zk_bg[layer]) * sizeof(uint16_t));
}

void ZK_BgSetPixelAlpha(uint8_t layer, int16_t x, int16_t y, uint16_t colour, int32_t alpha) {
    if (layer > 15) return;
    const BgLayer& bg = zk_bg[layer];
    if (!is16bitBitmap(bg) || x < 0 || y < 0 || x >= bg.width || y >= bg.height) return;
    uint16_t& p = static_cast<uint16_t*>(bg.pixels)[size_t(bg.width) * size_t(y) + size_t(x)];
    p = zk_blend(colour, p, uint32_t(alpha));
}

// ---------------------------------------------------------------- drawing

ZkTileRange zk_tilerange(const BgLayer& bg) {
    ZkTileRange r{0, 0, 0, 0};
    const int64_t tw = bg.tileWidth, th = bg.tileHeight;
    if (tw <= 0 || th <= 0) return r;
    // Cells wholly above or left of the screen are skipped (divisions
    // truncate toward zero, so a cell cut by the edge is kept) ...
    r.firstRow = int32_t(std::clamp<int64_t>(-int64_t(bg.y) / th, 0, std::max(bg.mapRows, 0)));
    r.firstColumn = int32_t(std::clamp<int64_t>(-int64_t(bg.x) / tw, 0, std::max(bg.mapColumns, 0)));
    // ... and so are those wholly below or right of it.
    const int64_t below = ZK_HEIGHT - int64_t(bg.y), right = ZK_WIDTH - int64_t(bg.x);
    r.endRow = int32_t(std::min<int64_t>(bg.mapRows, below > 0 ? (below + th - 1) / th : 0));
    r.endColumn = int32_t(std::min<int64_t>(bg.mapColumns, right > 0 ? (right + tw - 1) / tw : 0));
    return r;
}

void ZK_ShowTileBg(int8_t layer) {
    if (layer < 0 || layer > 15) return;
    const BgLayer& bg = zk_bg[layer];
    if (!bg.map || !bg.pixels) return;
    const ZkTileRange range = zk_tilerange(bg);
    if (range.firstRow >= range.endRow || range.firstColumn >= range.endColumn) return;
    const int tw = bg.tileWidth, th = bg.tileHeight;
    const size_t tileBytes = size_t(tw) * size_t(th) + 1;
    const auto* tiles = static_cast<const uint8_t*>(bg.pixels);
    for (int32_t r = range.firstRow; r < range.endRow; ++r) {
        const uint32_t* row = bg.map + size_t(r) * size_t(bg.mapColumns);
        const int sy = int(int64_t(bg.y) + int64_t(r) * th);
        for (int32_t c = range.firstColumn; c < range.endColumn; ++c) {
            const uint32_t e = row[c];
            if ((e & 0xFFFFFFu) == 0) continue;  // an empty cell
            const uint16_t* palette = bg.tilePalettes[(e >> 27) & 15];
            if (!palette) continue;  // a palette that was never set
            const uint8_t* tile = tiles + size_t(e & 0xFFFu) * tileBytes;
            const int sx = int(int64_t(bg.x) + int64_t(c) * tw);
            const int8_t flipX = int8_t((e >> 25) & 1), flipY = int8_t((e >> 26) & 1);
            if (!flipX && !flipY && tile[0] == 1)
                ZK_Copy8bitFastCopy(tile + 1, palette, tw, th, sx, sy, bg.alpha);
            else
                ZK_Copy8bitToScreen(tile + 1, palette, tw, th, sx, sy, bg.alpha, flipX, flipY);
        }
    }
}

void ZK_ShowBg(int8_t layer) {
    if (layer < 0 || layer > 15) return;
    const BgLayer& bg = zk_bg[layer];
    if (bg.used != 1 || bg.alpha <= 0) return;
    zk_curwindow = bg.window;
    zk_cursprite = -1;
    switch (bg.kind) {
        case 0:
        case 3:
            if (!bg.pixels) break;
            if (bg.depth == 1 && bg.palette) {
                const auto* p = static_cast<const uint8_t*>(bg.pixels);
                if (bg.plain == 1)
                    ZK_Copy8bitFastCopy(p, bg.palette, bg.width, bg.height, bg.x, bg.y, bg.alpha);
                else
                    ZK_Copy8bitToScreen(p, bg.palette, bg.width, bg.height, bg.x, bg.y, bg.alpha, 0, 0);
            } else if (bg.depth == 2) {
                const auto* p = static_cast<const uint16_t*>(bg.pixels);
                if (bg.plain == 1)
                    ZK_Copy16bitFastCopy(p, bg.width, bg.height, bg.x, bg.y, bg.alpha);
                else
                    ZK_Copy16bitToScreen(p, bg.width, bg.height, bg.x, bg.y, bg.alpha, 0, 0);
            }
            break;
        case 1:
            ZK_ShowTileBg(layer);
            break;
        case 2:
            ZK_ShowTextBg(uint8_t(layer));
            break;
        default:
            break;  // a vector layer: the hook below is its drawing
    }
    zk_DoVect(uint8_t(layer));
}

// ---------------------------------------------------------------- vector layers

void ZK_LoadVectoBg(uint8_t layer) {
    if (layer > 15) return;
    BgLayer& bg = zk_bg[layer];
    if (!bg.used) {
        bg.used = 1;
        bg.kind = 255;
        bg.shapes = nullptr;
        bg.priority = layer;
        bg.alpha = 32;
    } else {
        freeShapes(bg);
    }
}

namespace {

VectorShape* appendShape(uint8_t layer, uint8_t kind, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t colour,
                         uint8_t mode) {
    if (layer > 15 || !zk_bg[layer].used) return nullptr;
    auto* s = static_cast<VectorShape*>(std::calloc(1, sizeof(VectorShape)));
    if (!s) return nullptr;
    s->kind = kind;
    s->x1 = x1;
    s->y1 = y1;
    s->x2 = x2;
    s->y2 = y2;
    s->colour = colour;
    s->mode = mode;
    s->next = nullptr;
    VectorShape** end = &zk_bg[layer].shapes;
    while (*end) end = &(*end)->next;
    *end = s;
    return s;
}

}  // namespace

void ZK_VectoBgAddLine(uint8_t layer, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t colour, uint8_t mode) {
    appendShape(layer, 0, x1, y1, x2, y2, colour, mode);
}

void ZK_VectoBgAddRectangle(uint8_t layer, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t colour,
                            uint16_t colour2, uint8_t mode) {
    if (VectorShape* s = appendShape(layer, 1, x1, y1, x2, y2, colour, mode)) s->colour2 = colour2;
}
