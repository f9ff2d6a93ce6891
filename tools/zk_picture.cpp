#include "zk_picture.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>

bool writeGif(const std::string& path, const std::vector<Picture>& frames, int delay) {
    const Picture& first = frames.front();
    int bits = 1;
    while ((1 << bits) < int(first.palette.size())) ++bits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    for (int i = 0; i < (1 << bits); ++i) {
        RGB c = i < int(first.palette.size()) ? first.palette[size_t(i)] : RGB{0, 0, 0};
        map->Colors[i] = GifColorType{c.r, c.g, c.b};
    }
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    if (!gif) {
        GifFreeMapObject(map);
        return false;
    }
    EGifSetGifVersion(gif, true);
    const uint8_t control[4] = {0x04, uint8_t(delay & 0xFF), uint8_t(delay >> 8), 0};
    bool ok = EGifPutScreenDesc(gif, first.w, first.h, bits, 0, map) == GIF_OK;
    std::vector<GifPixelType> row(size_t(first.w));
    for (size_t f = 0; ok && f < frames.size(); ++f) {
        if (f > 0) ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
        ok = ok && EGifPutImageDesc(gif, 0, 0, first.w, first.h, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < first.h; ++y) {
            std::copy_n(frames[f].px.begin() + ptrdiff_t(y) * first.w, first.w, row.begin());
            ok = EGifPutLine(gif, row.data(), first.w) == GIF_OK;
        }
    }
    if (ok && frames.size() > 1) ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
    if (EGifCloseFile(gif, &err) != GIF_OK) ok = false;
    GifFreeMapObject(map);
    return ok;
}

double segDist(double px, double py, double ax, double ay, double bx, double by) {
    double vx = bx - ax, vy = by - ay;
    double l2 = vx * vx + vy * vy;
    double t = l2 > 0 ? std::clamp(((px - ax) * vx + (py - ay) * vy) / l2, 0.0, 1.0) : 0.0;
    double dx = px - (ax + t * vx), dy = py - (ay + t * vy);
    return std::sqrt(dx * dx + dy * dy);
}

bool writeIconPng(const std::string& path, const Picture& p, int shrink) {
    const int w = p.w / shrink, h = p.h / shrink;
    if (w <= 0 || h <= 0) return false;
    std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int r = 0, g = 0, b = 0, n = 0;
            for (int sy = 0; sy < shrink; ++sy)
                for (int sx = 0; sx < shrink; ++sx) {
                    const uint8_t i = p.get(x * shrink + sx, y * shrink + sy);
                    if (i == 0 || i >= p.palette.size()) continue;
                    r += p.palette[i].r, g += p.palette[i].g, b += p.palette[i].b, ++n;
                }
            uint8_t* out = &rgba[(size_t(y) * size_t(w) + size_t(x)) * 4];
            if (n == 0) continue;
            out[0] = uint8_t((r + n / 2) / n), out[1] = uint8_t((g + n / 2) / n), out[2] = uint8_t((b + n / 2) / n);
            out[3] = uint8_t((n * 255 + shrink * shrink / 2) / (shrink * shrink));
        }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGBA;
    const bool ok = png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), w * 4, nullptr) != 0;
    png_image_free(&image);
    return ok;
}
