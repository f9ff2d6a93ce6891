// Makes GIF files in memory from pixel arrays with giflib's encoder, so that
// tests, benchmarks and fuzz seeds state their own pictures; and small
// editors that bend a valid file into the malformed ones the decoder must
// survive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ZkGifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlace = false;
    // width x height palette indices, row-major, rows in the order they are
    // stored: for an interlaced frame that is the order of the 4 passes.
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> colours;  // a local colour map, 0xRRGGBB; empty: none
    int delay = -1;                 // >= 0: a graphic control block with this delay comes first
};

// A GIF89a of a width x height screen with a global colour map (0xRRGGBB,
// padded with black to a power of two; empty: none) and the given frames.
// Returns an empty vector when giflib refuses the input.
std::vector<uint8_t> zk_make_gif(int width, int height, const std::vector<uint32_t>& colours,
                                 const std::vector<ZkGifFrame>& frames);
// One frame that covers the screen.
std::vector<uint8_t> zk_make_gif(int width, int height, const std::vector<uint32_t>& colours,
                                 const std::vector<uint8_t>& pixels);

// Byte offsets in a well-formed GIF: the ',' that starts image descriptor
// number frame, and the LZW code-size byte of that image's data.
size_t zk_gif_descriptor_at(const std::vector<uint8_t>& gif, int frame);
size_t zk_gif_code_size_at(const std::vector<uint8_t>& gif, int frame);

// Rewrites the global colour map to 2^(bits + 1) entries (keeping the first
// ones), or removes it when bits is -1. Only shrinks.
void zk_gif_shrink_global_map(std::vector<uint8_t>& gif, int bits);

// Sets a 16-bit little-endian field.
void zk_gif_put16(std::vector<uint8_t>& gif, size_t at, unsigned value);
