#include "zk_picture.h"

#include <gif_lib.h>

#include <algorithm>
#include <cmath>

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
