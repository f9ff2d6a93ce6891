// The Quib program: the SDL window's icon, then the game.
#include <gif_lib.h>

#include <cstring>

#include "ZKlib.h"
#include "quib.h"
#include "zk_sdl.h"

// The engine calls this after drawing each background layer; Quib draws
// nothing there.
void zk_DoVect(uint8_t) {}

namespace {

struct GifReader {
    const uint8_t* at;
    size_t left;
};

int readIcon(GifFileType* gif, GifByteType* to, int count) {
    auto* r = static_cast<GifReader*>(gif->UserData);
    size_t n = size_t(count) < r->left ? size_t(count) : r->left;
    std::memcpy(to, r->at, n);
    r->at += n;
    r->left -= n;
    return int(n);
}

// The embedded 16 x 16 icon picture as RGB565, its key colour left as the
// key; stays all key when the picture cannot be read.
const uint16_t* iconPixels() {
    static uint16_t pixels[16 * 16];
    for (auto& p : pixels) p = 0xF81F;
    GifReader reader{quib_icon, quib_icon_size};
    int err = 0;
    GifFileType* gif = DGifOpen(&reader, readIcon, &err);
    if (!gif) return pixels;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage& image = gif->SavedImages[0];
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        const int w = image.ImageDesc.Width, h = image.ImageDesc.Height;
        if (map && w == 16 && h == 16 && image.ImageDesc.Left == 0 && image.ImageDesc.Top == 0) {
            for (int i = 0; i < 16 * 16; ++i) {
                int index = image.RasterBits[i];
                if (index >= map->ColorCount) continue;
                const GifColorType c = map->Colors[index];
                pixels[i] = uint16_t(((c.Red >> 3) << 11) | ((c.Green >> 2) << 5) | (c.Blue >> 3));
            }
        }
    }
    DGifCloseFile(gif, &err);
    return pixels;
}

}  // namespace

int main() {
    zk_sdl_set_icon(iconPixels());
    return Quib_Main();
}
