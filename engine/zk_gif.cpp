// GIF images from memory: decoding into sprite images and background layers,
// the run lists of images with transparency, the image registry, and the
// pacing of animated GIFs through the frame loop.
//
// Decoding goes through giflib's memory interface. giflib checks the stream's
// syntax but not its sense, so the decoder adds what it leaves out:
// - readFunc never reads past the data it was given;
// - every giflib call's result is tested (not its error code, which some
//   failing paths leave at 0) and the first failure ends the decode;
// - image descriptors are clipped to the logical screen and the destination,
//   lines wider than the destination go through a line buffer;
// - palettes are 256 entries and start zeroed, so any pixel index (giflib
//   does not bound them by the colour count) reads a defined colour;
// - a decode fails after ZK_GIF_MAX_FRAMES image descriptors (giflib keeps
//   every descriptor it meets, even when streaming).
// A load fails unless its decode reaches the terminator or is stopped through
// ZK_GifInfo, and a failed load keeps nothing. Code that the frame loop runs
// during an animation wait may release the layer being decoded into (the
// decode then ends without writing again) or start another load (which keeps
// the waiting decode's state).
#include "zk_gif.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ZKlib.h"
#include "zk_bg.h"
#include "zk_layout.h"

SpriteImage* zk_sprite_alloc[1024];
uint16_t zk_nsprite_alloc;
uint16_t zk_gif_pal[256];
uint8_t GifBits;
uint8_t LineBuf[2048];
GifInfo ZK_GifInfo = {0, 0, 0, 0.0f, 0};

static_assert(zk_fields_in_order({offsetof(SpriteImage, pixels), offsetof(SpriteImage, lineOffsets),
                                 offsetof(SpriteImage, runs), offsetof(SpriteImage, palette),
                                 offsetof(SpriteImage, depth), offsetof(SpriteImage, opaque),
                                 offsetof(SpriteImage, width), offsetof(SpriteImage, height)}));
static_assert(zk_fields_in_order({offsetof(GifInfo, firstFrame), offsetof(GifInfo, lastFrame),
                                 offsetof(GifInfo, frameCount), offsetof(GifInfo, speed), offsetof(GifInfo, state)}));

const int16_t InterlacedOffset[4] = {0, 4, 2, 1};
const int16_t InterlacedJumps[4] = {8, 8, 4, 2};

int readFunc(GifFileType* gif, GifByteType* dest, int count) {
    auto* source = static_cast<ZkGifSource*>(gif->UserData);
    if (count <= 0) return 0;
    const size_t n = std::min(size_t(count), source->left);
    if (n) std::memcpy(dest, source->pos, n);
    source->pos += n;
    source->left -= n;
    return int(n);
}

void CopyLine2(uint16_t* dest, const uint8_t* source, int count) {
    for (int i = 0; i < count; ++i) dest[i] = zk_gif_pal[source[i]];
}

int DGifGetLineByte(GifFileType* gif, GifPixelType* dest, int count) {
    if (GifBits) {
        const int result = DGifGetLine(gif, LineBuf, count);
        if (result == GIF_OK) CopyLine2(reinterpret_cast<uint16_t*>(dest), LineBuf, count);
        return result;
    }
    return DGifGetLine(gif, dest, count);
}

namespace {

constexpr uint16_t rgb565(const GifColorType& c) {
    return uint16_t(((c.Red >> 3) << 11) | ((c.Green >> 2) << 5) | (c.Blue >> 3));
}

// Decodes waiting in the frame loop. Code run there may start another decode,
// which then keeps the decoder state that the waiting one goes on with.
int waitingDecodes = 0;

// Set up by every loader and decode: when it starts during another's wait, it
// puts ZK_GifInfo, GifBits and zk_gif_pal back as it found them when it ends,
// so the waiting decode goes on counting its own frames, writing its own
// pixel size and converting through its own palette.
struct KeepWaitingDecode {
    const bool nested = waitingDecodes > 0;
    GifInfo info{};
    uint8_t bits = 0;
    uint16_t pal[256];
    KeepWaitingDecode() {
        if (!nested) return;
        info = ZK_GifInfo;
        bits = GifBits;
        std::memcpy(pal, zk_gif_pal, sizeof pal);
    }
    ~KeepWaitingDecode() {
        if (!nested) return;
        ZK_GifInfo = info;
        GifBits = bits;
        std::memcpy(zk_gif_pal, pal, sizeof pal);
    }
    KeepWaitingDecode(const KeepWaitingDecode&) = delete;
    KeepWaitingDecode& operator=(const KeepWaitingDecode&) = delete;
};

// One decode's destination, the layer that owns it (-1: the caller) with its
// release count at the start, and the line buffer for lines over 2048 pixels.
struct Target {
    uint8_t* dest;
    int32_t columns;
    int32_t rows;
    int layer;
    uint32_t stamp;
    uint8_t* wide = nullptr;
    size_t wideSize = 0;

    bool lost() const { return layer >= 0 && zk_bgstamp[layer] != stamp; }
};

// Decodes the rows of the current image descriptor. Every row is read from
// giflib so that the stream stays in step; rows and columns outside the
// destination are dropped. False when giflib failed or memory ran out.
bool decodeImage(GifFileType* gif, Target& t) {
    const GifImageDesc& d = gif->Image;
    const int64_t left = d.Left, top = d.Top, width = d.Width, height = d.Height;
    if (width <= 0 || height <= 0) return true;  // nothing to read; the next record tells the rest
    const int64_t visible = std::clamp<int64_t>(t.columns - left, 0, width);
    // Lines that fit the destination (and LineBuf, at 16 bits) are decoded
    // straight into it; all others through a line buffer.
    const bool direct = visible == width && (!GifBits || width <= ZK_GIF_MAX_16BIT_WIDTH);
    uint8_t* line = LineBuf;
    if (width > int64_t(sizeof LineBuf)) {
        if (t.wideSize < size_t(width)) {
            void* grown = std::realloc(t.wide, size_t(width));
            if (!grown) return false;
            t.wide = static_cast<uint8_t*>(grown);
            t.wideSize = size_t(width);
        }
        line = t.wide;
    }
    auto row = [&](int64_t y) {
        const bool shown = y < t.rows && visible > 0;
        uint8_t* at = shown ? t.dest + (size_t(y * t.columns + left) << GifBits) : nullptr;
        if (shown && direct) return DGifGetLineByte(gif, at, int(width)) == GIF_OK;
        if (DGifGetLine(gif, line, int(width)) != GIF_OK) return false;
        if (shown) {
            if (GifBits)
                CopyLine2(reinterpret_cast<uint16_t*>(at), line, int(visible));
            else
                std::memcpy(at, line, size_t(visible));
        }
        return true;
    };
    if (d.Interlace) {
        for (int pass = 0; pass < 4; ++pass)
            for (int64_t y = top + InterlacedOffset[pass]; y < top + height; y += InterlacedJumps[pass])
                if (!row(y)) return false;
    } else {
        for (int64_t r = 0; r < height; ++r)
            if (!row(top + r)) return false;
    }
    return true;
}

// A graphic control block: counts the frame and waits its delay through the
// frame loop. False, with the end in end, when playback was stopped or the
// destination's layer released during the wait.
bool graphicControl(const GifByteType* block, const Target& t, ZkGifEnd& end) {
    const int32_t n = ZK_GifInfo.frameCount;  // code run during a wait may have set any value
    if (int64_t(n) + 1 > ZK_GifInfo.lastFrame) ZK_GifInfo.state = 0;
    ZK_GifInfo.frameCount = int32_t(uint32_t(n) + 1u);
    if (n < ZK_GifInfo.firstFrame) return true;
    // block[0] is the block's length; the delay is in its bytes 2 and 3.
    const unsigned delay = block[0] >= 3 ? unsigned(block[2]) | unsigned(block[3]) << 8 : 0u;
    const double wait = delay * 60 / 100.0;  // in 1/60-second ticks
    if (!(wait > 0)) return true;
    for (uint32_t count = 0;;) {
        ++waitingDecodes;
        ZK_Refresh();
        --waitingDecodes;
        end = t.lost() ? ZK_GIF_LOST : ZK_GIF_DONE;
        if (end == ZK_GIF_LOST) return false;
        if (ZK_GifInfo.state == 2) continue;  // paused: the wait does not advance
        if (ZK_GifInfo.state == 0) return false;
        ++count;
        if (!(wait > double(float(count) * ZK_GifInfo.speed))) return true;
    }
}

// Reads the records up to the terminator.
ZkGifEnd readRecords(GifFileType* file, Target& t, uint16_t* palette) {
    for (int32_t images = 0;;) {
        GifRecordType type;
        // giflib refuses unknown record types, so every type is one of these.
        if (DGifGetRecordType(file, &type) != GIF_OK) return ZK_GIF_FAILED;
        if (type == TERMINATE_RECORD_TYPE) return ZK_GIF_DONE;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (images++ >= ZK_GIF_MAX_FRAMES || DGifGetImageDesc(file) != GIF_OK) return ZK_GIF_FAILED;
            const ColorMapObject* map = file->Image.ColorMap ? file->Image.ColorMap : file->SColorMap;
            if (map && map->Colors && ZK_GifInfo.frameCount >= ZK_GifInfo.firstFrame)
                for (int i = std::min(map->ColorCount, 256) - 1; i >= 0; --i) palette[i] = rgb565(map->Colors[i]);
            if (!decodeImage(file, t)) return ZK_GIF_FAILED;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(file, &code, &block) != GIF_OK) return ZK_GIF_FAILED;
            while (block) {
                ZkGifEnd end = ZK_GIF_DONE;
                if (code == GRAPHICS_EXT_FUNC_CODE && !graphicControl(block, t, end)) return end;
                if (DGifGetExtensionNext(file, &block) != GIF_OK) return ZK_GIF_FAILED;
            }
        }
    }
}

}  // namespace

ZkGifEnd DecodeGif(const uint8_t* gif, size_t size, void* dest, uint16_t* palette, uint8_t to16, int32_t rowLength,
                   int32_t rows, int layer) {
    const KeepWaitingDecode keep;
    if (to16) palette = zk_gif_pal;
    ZK_GifInfo.speed = 1.0f;
    ZK_GifInfo.frameCount = 0;
    ZK_GifInfo.state = 1;
    GifBits = to16 ? 1 : 0;

    ZkGifSource source{gif, gif ? size : 0};
    int error = 0;
    GifFileType* file = DGifOpen(&source, readFunc, &error);
    if (!file) return ZK_GIF_FAILED;

    const bool owned = layer >= 0 && layer < 16;
    Target target{static_cast<uint8_t*>(dest), std::max(rowLength, 0), std::max(rows, 0), owned ? layer : -1,
                  owned ? zk_bgstamp[layer] : 0};
    if (!dest) target.columns = target.rows = 0;
    const ZkGifEnd end = readRecords(file, target, palette);
    std::free(target.wide);
    DGifCloseFile(file, &error);
    return end;
}

int DecodeGif(const uint8_t* gif, void* dest, uint16_t* palette, uint8_t to16, int16_t rowLength) {
    const int32_t rows = int32_t(gif[8] | gif[9] << 8);
    return DecodeGif(gif, std::numeric_limits<size_t>::max(), dest, palette, to16, rowLength, rows);
}

// ---------------------------------------------------------------- loaders

namespace {

constexpr size_t ZK_TRUSTED = std::numeric_limits<size_t>::max();

// The logical screen size from bytes 6-9 of the header; false when the data
// is too short to hold them.
bool screenSize(const uint8_t* gif, size_t size, uint32_t& w, uint32_t& h) {
    if (!gif || size < 10) return false;
    w = uint32_t(gif[6] | gif[7] << 8);
    h = uint32_t(gif[8] | gif[9] << 8);
    return true;
}

bool hasKey(const uint16_t* palette) {
    return std::find(palette, palette + 256, zk_transpcolor) != palette + 256;
}

// Builds the run list of an 8-bit image whose transparent pixels are 0.
// False (nothing allocated) when a run is longer than 255 pixels or the list
// with its 4 closing bytes would reach 65,536 bytes: the byte counts and
// 16-bit offsets of the format cannot hold those.
bool buildRuns(const uint8_t* pixels, uint32_t w, uint32_t h, uint8_t*& runs, uint16_t*& lineOffsets) {
    constexpr size_t limit = 65535 - 4;  // counts that fit beside the 4 closing bytes
    auto* list = static_cast<uint8_t*>(std::malloc(65535));
    auto* offsets = static_cast<uint16_t*>(std::malloc(size_t(h) * sizeof(uint16_t)));
    size_t n = 0;
    bool ok = list && offsets;
    for (uint32_t y = 0; ok && y < h; ++y) {
        const uint8_t* line = pixels + size_t(y) * w;
        offsets[y] = uint16_t(n);
        for (uint32_t x = 0; ok && x < w;) {
            for (int opaque = 0; opaque < 2 && x < w; ++opaque) {
                uint32_t end = x;
                while (end < w && (line[end] != 0) == bool(opaque)) ++end;
                if (end - x > 255 || n >= limit) {
                    ok = false;
                    break;
                }
                list[n++] = uint8_t(end - x);
                x = end;
            }
        }
    }
    if (ok) {
        std::memset(list + n, 0xFF, 4);
        n += 4;
        runs = static_cast<uint8_t*>(std::malloc(n));
        ok = runs != nullptr;
        if (ok) std::memcpy(runs, list, n);
    }
    std::free(list);
    if (ok) {
        lineOffsets = offsets;
    } else {
        std::free(offsets);
    }
    return ok;
}

void freeImage(SpriteImage* image) {
    if (!image) return;
    std::free(image->pixels);
    std::free(image->palette);
    std::free(image->runs);
    std::free(image->lineOffsets);
    std::free(image);
}

}  // namespace

SpriteImage* ZK_GifToSprite(const uint8_t* gif, size_t size) {
    const KeepWaitingDecode keep;
    uint32_t w = 0, h = 0;
    if (zk_nsprite_alloc >= 1024 || !screenSize(gif, size, w, h) || w == 0 || h == 0 ||
        int64_t(w) * h > ZK_GIF_MAX_PIXELS)
        return nullptr;
    auto* image = static_cast<SpriteImage*>(std::calloc(1, sizeof(SpriteImage)));
    if (!image) return nullptr;
    auto* pixels = static_cast<uint8_t*>(std::calloc(size_t(w) * h, 1));
    auto* palette = static_cast<uint16_t*>(std::calloc(256, sizeof(uint16_t)));
    image->pixels = pixels;
    image->palette = palette;
    image->depth = 1;
    image->width = int32_t(w);
    image->height = int32_t(h);
    if (!pixels || !palette || DecodeGif(gif, size, pixels, palette, 0, int32_t(w), int32_t(h)) != ZK_GIF_DONE) {
        freeImage(image);
        return nullptr;
    }

    const size_t k = size_t(std::find(palette, palette + 256, zk_transpcolor) - palette);
    if (k == 256) {
        image->opaque = 1;
    } else {
        image->opaque = 0;
        if (k != 0) {
            // Move the key to index 0: swap entries 0 and k and the pixels
            // that use them, so the picture's colours stay as they were.
            for (int i = 0; i < 256; ++i) zk_gif_pal[i] = uint16_t(i);
            zk_gif_pal[0] = uint16_t(k);
            zk_gif_pal[k] = 0;
            std::swap(palette[0], palette[k]);
            for (size_t i = 0, n = size_t(w) * h; i < n; ++i) pixels[i] = uint8_t(zk_gif_pal[pixels[i]]);
        }
        if (!buildRuns(pixels, w, h, image->runs, image->lineOffsets)) {
            freeImage(image);
            return nullptr;
        }
    }
    if (zk_nsprite_alloc >= 1024) {  // filled by code that ran during an animation wait
        freeImage(image);
        return nullptr;
    }
    zk_sprite_alloc[zk_nsprite_alloc++] = image;
    return image;
}

SpriteImage* ZK_GifToSprite(const uint8_t* gif) { return ZK_GifToSprite(gif, ZK_TRUSTED); }

namespace {

// Both layer loaders after the layer was made: decodes into it, and leaves
// it free when the decode failed. A layer that code run during an animation
// wait released or replaced is no longer the loader's: it stays as that
// code left it.
bool decodeIntoLayer(uint8_t layer, const uint8_t* gif, size_t size, uint16_t* palette, uint8_t to16) {
    BgLayer& bg = zk_bg[layer];
    const ZkGifEnd end = DecodeGif(gif, size, bg.pixels, palette, to16, bg.width, bg.height, layer);
    if (end == ZK_GIF_FAILED) ZK_BgDelete(layer);
    return end == ZK_GIF_DONE;
}

// The logical screen as the layer sizes take it (signed 16-bit), or false
// when it is empty, too large or missing.
bool layerSize(const uint8_t* gif, size_t size, int32_t maxWidth, int16_t& w, int16_t& h) {
    uint32_t uw = 0, uh = 0;
    if (!screenSize(gif, size, uw, uh)) return false;
    w = int16_t(uw), h = int16_t(uh);
    return w > 0 && h > 0 && w <= maxWidth && int64_t(w) * h <= ZK_GIF_MAX_PIXELS;
}

}  // namespace

void ZK_BgLoadGif(uint8_t layer, const uint8_t* gif, size_t size) {
    if (layer > 15) return;
    const KeepWaitingDecode keep;
    int16_t w = 0, h = 0;
    if (!layerSize(gif, size, INT16_MAX, w, h)) return ZK_BgDelete(layer);
    ZK_BgLoad8bitBitmap(layer, w, h, 1);
    BgLayer& bg = zk_bg[layer];
    if (bg.used != 1) return;  // out of memory: the layer stays free
    // The layer's pixels and palette start zeroed (ZK_BgLoad8bitBitmap).
    if (decodeIntoLayer(layer, gif, size, bg.palette, 0)) bg.plain = hasKey(bg.palette) ? 0 : 1;
}

void ZK_BgLoadGif(uint8_t layer, const uint8_t* gif) { ZK_BgLoadGif(layer, gif, ZK_TRUSTED); }

void ZK_BgLoadGif16bit(uint8_t layer, const uint8_t* gif, size_t size) {
    if (layer > 15) return;
    const KeepWaitingDecode keep;
    int16_t w = 0, h = 0;
    if (!layerSize(gif, size, ZK_GIF_MAX_16BIT_WIDTH, w, h)) return ZK_BgDelete(layer);
    ZK_BgLoadBitmap(layer, w, h, 1);
    BgLayer& bg = zk_bg[layer];
    if (bg.used != 1) return;
    std::memset(zk_gif_pal, 0, sizeof zk_gif_pal);
    std::memset(bg.pixels, 0, size_t(w) * size_t(h) * sizeof(uint16_t));
    if (decodeIntoLayer(layer, gif, size, zk_gif_pal, 1)) bg.plain = hasKey(zk_gif_pal) ? 0 : 1;
}

void ZK_BgLoadGif16bit(uint8_t layer, const uint8_t* gif) { ZK_BgLoadGif16bit(layer, gif, ZK_TRUSTED); }

void zk_cleanspritealloc() {
    for (uint16_t i = 0; i < zk_nsprite_alloc && i < 1024; ++i) {
        freeImage(zk_sprite_alloc[i]);
        zk_sprite_alloc[i] = nullptr;
    }
    zk_nsprite_alloc = 0;
}
