// Makes GIF files in memory from pixel arrays with giflib's encoder, so that
// tests and benchmarks state their own pictures.
#pragma once

#include <cstdint>
#include <vector>

struct ZkGifFrame {
    int left = 0, top = 0, width = 0, height = 0;
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
