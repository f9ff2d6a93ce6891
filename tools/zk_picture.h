// The indexed pictures the painting tool draws, their GIF89a writer and
// the PNG writer for desktop icons, shared by the game's and the tour's
// painters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RGB {
    uint8_t r, g, b;
};
constexpr RGB kKey{255, 0, 255};  // converts to the engine's key 0xF81F
constexpr double kPi = 3.14159265358979323846;

// Distance from point p to the segment a-b.
double segDist(double px, double py, double ax, double ay, double bx, double by);

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    std::vector<RGB> palette;
    Picture(int w_, int h_, std::vector<RGB> pal)
        : w(w_), h(h_), px(size_t(w_) * size_t(h_), 0), palette(std::move(pal)) {}
    uint8_t& at(int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; }
    // Index 0 outside the picture.
    uint8_t get(int x, int y) const {
        return x < 0 || y < 0 || x >= w || y >= h ? 0 : px[size_t(y) * size_t(w) + size_t(x)];
    }
};

// Writes frames of one size and the first frame's palette as a GIF89a file.
// Several frames are an animation: each later frame follows a graphic control
// block with the delay (hundredths of a second), and one more block after the
// last frame makes that frame wait too before a player loops.
bool writeGif(const std::string& path, const std::vector<Picture>& frames, int delay = 0);

// Writes the picture as an 8-bit RGBA PNG, index 0 (the key) fully
// transparent. With shrink n, every n x n block of the picture becomes one
// pixel whose colour is the mean of the block's opaque pixels and whose
// opacity is their share of the block: a picture painted n times larger
// gives an icon with smooth edges. Nothing in the file varies between runs.
bool writeIconPng(const std::string& path, const Picture& p, int shrink = 1);
