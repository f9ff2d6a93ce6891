// PNG files of RGB565 pictures, through libpng. Nothing varies between runs:
// no time or text chunks, so the same picture always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>

// Writes a w x h RGB565 picture as an 8-bit RGB PNG (each channel widened by
// repeating its top bits, so 0x1F becomes 0xFF and the colour converts back
// exactly). False, with error filled, on failure.
bool zk_write_png(const std::string& path, const uint16_t* pixels, int w, int h, std::string& error);

// 8-bit channels of an RGB565 colour, as the PNG and GIF writers store them.
inline uint8_t zk_red8(uint16_t c) { return uint8_t(((c >> 11) << 3) | (c >> 13)); }
inline uint8_t zk_green8(uint16_t c) { return uint8_t((((c >> 5) & 63u) << 2) | ((c >> 9) & 3u)); }
inline uint8_t zk_blue8(uint16_t c) { return uint8_t(((c & 31u) << 3) | ((c >> 2) & 7u)); }
inline uint16_t zk_rgb565(uint8_t r, uint8_t g, uint8_t b) {
    return uint16_t(((unsigned(r) >> 3) << 11) | ((unsigned(g) >> 2) << 5) | (unsigned(b) >> 3));
}
