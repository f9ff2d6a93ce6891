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

}  // namespace

std::vector<uint8_t> zk_make_gif(int width, int height, const std::vector<uint32_t>& colours,
                                 const std::vector<ZkGifFrame>& frames) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeBytes, &error);
    if (!gif) return {};
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = makeMap(colours);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, global) == GIF_OK;
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
        std::vector<GifPixelType> pixels = f.pixels;  // giflib masks each line in place
        for (int y = 0; ok && y < f.height; ++y) ok = EGifPutLine(gif, pixels.data() + size_t(y) * size_t(f.width), f.width) == GIF_OK;
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    return ok ? out : std::vector<uint8_t>{};
}

std::vector<uint8_t> zk_make_gif(int width, int height, const std::vector<uint32_t>& colours,
                                 const std::vector<uint8_t>& pixels) {
    return zk_make_gif(width, height, colours, std::vector<ZkGifFrame>{{0, 0, width, height, false, pixels, {}, -1}});
}
