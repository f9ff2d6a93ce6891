#include "zk_png.h"

#include <png.h>

#include <cstring>
#include <vector>

bool zk_write_png(const std::string& path, const uint16_t* pixels, int w, int h, std::string& error) {
    if (w <= 0 || h <= 0) {
        error = "empty picture";
        return false;
    }
    std::vector<uint8_t> bytes(size_t(w) * size_t(h) * 3);
    uint8_t* out = bytes.data();
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
        const uint16_t c = pixels[i];
        *out++ = zk_red8(c);
        *out++ = zk_green8(c);
        *out++ = zk_blue8(c);
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), w * 3, nullptr)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}
