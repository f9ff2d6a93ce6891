// zk_icon: writes a program's 16 x 16 desktop icon as a PNG with
// transparency.
//
//   zk_icon OUT.png [IN.gif]
//
// With a GIF, its first picture is converted: pixels in the GIF's
// transparent index or in the colour that converts to the key 0xF81F
// (magenta) become transparent. Without one, a ball is drawn.
#include <gif_lib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "zk_png.h"

namespace {

constexpr uint16_t kKey = 0xF81F;

bool fromGif(const char* path, std::vector<uint16_t>& pixels, int& w, int& h) {
    int err = 0;
    GifFileType* gif = DGifOpenFileName(path, &err);
    if (!gif) return false;
    bool ok = false;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage& image = gif->SavedImages[0];
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, 0, &gcb);
        w = image.ImageDesc.Width;
        h = image.ImageDesc.Height;
        if (map && w > 0 && h > 0) {
            pixels.assign(size_t(w) * size_t(h), kKey);
            for (size_t i = 0; i < pixels.size(); ++i) {
                int index = image.RasterBits[i];
                if (index >= map->ColorCount || index == gcb.TransparentColor) continue;
                const GifColorType c = map->Colors[index];
                pixels[i] = zk_rgb565(c.Red, c.Green, c.Blue);
            }
            ok = true;
        }
    }
    DGifCloseFile(gif, &err);
    return ok;
}

// A shaded ball with a dark rim and a light spot, on transparency.
void drawBall(std::vector<uint16_t>& pixels) {
    pixels.assign(16 * 16, kKey);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            int dx = 2 * x - 15, dy = 2 * y - 15;  // doubled offsets from the centre (7.5, 7.5)
            int d2 = dx * dx + dy * dy;
            if (d2 > 15 * 15) continue;
            int sx = 2 * x - 10, sy = 2 * y - 10;  // offsets from the light spot (5, 5)
            int light = 255 - (sx * sx + sy * sy) * 255 / (2 * 26 * 26);
            if (light < 60) light = 60;
            uint8_t r = uint8_t(light), g = uint8_t(light * 3 / 5), b = uint8_t(light / 6);
            if (d2 > 13 * 13) r = 90, g = 40, b = 10;
            pixels[size_t(y * 16 + x)] = zk_rgb565(r, g, b);
        }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: zk_icon OUT.png [IN.gif]\n");
        return 2;
    }
    std::vector<uint16_t> pixels;
    int w = 16, h = 16;
    if (argc == 3) {
        if (!fromGif(argv[2], pixels, w, h)) {
            std::fprintf(stderr, "zk_icon: cannot read the picture in %s\n", argv[2]);
            return 1;
        }
    } else {
        drawBall(pixels);
    }
    std::string error;
    if (!zk_write_png(argv[1], pixels.data(), w, h, error, true, kKey)) {
        std::fprintf(stderr, "zk_icon: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
