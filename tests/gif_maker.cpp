#include "gif_maker.h"

#include <gif_lib.h>

namespace {

int writeBytes(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + count);
    return count;
}

ColorMapObject* makeMap(const std::vector<uint32_t>& colours) {
    if (colours.empty()) return nullptr;
    int n = 2;
    while (n < int(colours.size()) && n < 256) n *= 2;
    std::vector<GifColorType> entries(size_t(n), GifColorType{0, 0, 0});
    for (size_t i = 0; i < colours.size() && i < size_t(n); ++i)
        entries[i] = GifColorType{GifByteType(colours[i] >> 16), GifByteType(colours[i] >> 8), GifByteType(colours[i])};
    return GifMakeMapObject(n, entries.data());
}

size_t colourTableBytes(uint8_t flags) { return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0; }

// Skips sub-blocks starting at at; returns the offset after the terminator.
size_t skipBlocks(const std::vector<uint8_t>& gif, size_t at) {
    while (at < gif.size() && gif[at] != 0) at += size_t(gif[at]) + 1;
    return at + 1;
}

}  // namespace

std::vector<uint8_t> zk_make_gif(int width, int height, const std::vector<uint32_t>& colours,
                                 const std::vector<ZkGifFrame>& frames) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeBytes, &error);
    if (!gif) return {};
    EGifSetGifVersion(gif, true);
    bool ok = true;
    ColorMapObject* global = makeMap(colours);
    ok = EGifPutScreenDesc(gif, width, height, 8, 0, global) == GIF_OK;
    GifFreeMapObject(global);
    for (const ZkGifFrame& f : frames) {
        if (!ok) break;
        if (f.delay >= 0) {
            const GifByteType control[4] = {0, GifByteType(f.delay & 0xFF), GifByteType((f.delay >> 8) & 0xFF), 0};
            ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
        }
        ColorMapObject* local = makeMap(f.colours);
        ok = ok && EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, local) == GIF_OK;
        GifFreeMapObject(local);
        std::vector<GifPixelType> line(size_t(f.width));
        for (int y = 0; ok && y < f.height; ++y) {
            for (int x = 0; x < f.width; ++x) line[size_t(x)] = f.pixels[size_t(y) * size_t(f.width) + size_t(x)];
            ok = EGifPutLine(gif, line.data(), f.width) == GIF_OK;
        }
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    return ok ? out : std::vector<uint8_t>{};
}

std::vector<uint8_t> zk_make_gif(int width, int height, const std::vector<uint32_t>& colours,
                                 const std::vector<uint8_t>& pixels) {
    return zk_make_gif(width, height, colours, std::vector<ZkGifFrame>{{0, 0, width, height, false, pixels, {}, -1}});
}

size_t zk_gif_descriptor_at(const std::vector<uint8_t>& gif, int frame) {
    size_t at = 13 + colourTableBytes(gif[10]);
    for (int seen = 0; at < gif.size();) {
        if (gif[at] == 0x21) {
            at = skipBlocks(gif, at + 2);
        } else if (gif[at] == 0x2C) {
            if (seen++ == frame) return at;
            at += 10 + colourTableBytes(gif[at + 9]);
            at = skipBlocks(gif, at + 1);
        } else {
            break;
        }
    }
    return gif.size();
}

size_t zk_gif_code_size_at(const std::vector<uint8_t>& gif, int frame) {
    const size_t at = zk_gif_descriptor_at(gif, frame);
    return at + 10 + colourTableBytes(gif[at + 9]);
}

void zk_gif_shrink_global_map(std::vector<uint8_t>& gif, int bits) {
    const size_t had = colourTableBytes(gif[10]);
    size_t keep = 0;
    if (bits < 0) {
        gif[10] = uint8_t(gif[10] & 0x70);
    } else {
        gif[10] = uint8_t((gif[10] & 0xF8) | 0x80 | bits);
        keep = colourTableBytes(gif[10]);
    }
    if (keep < had) gif.erase(gif.begin() + 13 + long(keep), gif.begin() + 13 + long(had));
}

void zk_gif_put16(std::vector<uint8_t>& gif, size_t at, unsigned value) {
    gif[at] = uint8_t(value & 0xFF);
    gif[at + 1] = uint8_t((value >> 8) & 0xFF);
}
