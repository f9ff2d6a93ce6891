// Paints the engine tour's pictures (examples/tour/assets) and writes them as
// GIF89a files with giflib: `zk_assets --tour <output folder>`.
//
// Every picture is painted straight in palette indices with hard edges, so
// the files stay small and the colours stay exact. Sprite pictures keep their
// transparent pixels in palette entry 0, pure magenta (255, 0, 255): the
// engine's key colour, so the loader needs no remapping. Shapes get a one
// pixel outline wherever they meet the key.
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "zk_picture.h"

int zk_assets_tour(const char* folder);
Picture paintTourIcon(int size);

namespace {


// ------------------------------------------------------------------ painting helpers
bool inPolygon(double x, double y, const std::vector<std::pair<double, double>>& poly) {
    bool in = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        auto [xi, yi] = poly[i];
        auto [xj, yj] = poly[j];
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
}

// Paints every pixel of a frame from its centre point: fn returns the
// palette index, 0 for the key.
void paint(Picture& p, int top, int height, const std::function<uint8_t(double, double)>& fn) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < p.w; ++x) p.at(x, top + y) = fn(x + 0.5, y + 0.5);
}

// Opaque pixels of a frame that touch the key (or the frame's edge) become
// the outline colour.
void outline(Picture& p, int top, int height, uint8_t index) {
    std::vector<uint8_t> copy(p.px);
    auto get = [&](int x, int y) {
        return x < 0 || y < top || x >= p.w || y >= top + height ? 0 : copy[size_t(y) * size_t(p.w) + size_t(x)];
    };
    for (int y = top; y < top + height; ++y)
        for (int x = 0; x < p.w; ++x)
            if (get(x, y) && (!get(x - 1, y) || !get(x + 1, y) || !get(x, y - 1) || !get(x, y + 1))) p.at(x, y) = index;
}

// ------------------------------------------------------------------ sprites
// The "next" button: a green pill with two white chevrons.
Picture paintNext() {
    Picture p(44, 20, {kKey, {0, 110, 45}, {40, 195, 90}, {120, 235, 150}, {255, 255, 255}});
    paint(p, 0, 20, [](double x, double y) -> uint8_t {
        if (segDist(x, y, 10, 10, 34, 10) > 9.6) return 0;
        if (segDist(x, y, 16, 5.5, 21.5, 10) < 1.5 || segDist(x, y, 16, 14.5, 21.5, 10) < 1.5 ||
            segDist(x, y, 24, 5.5, 29.5, 10) < 1.5 || segDist(x, y, 24, 14.5, 29.5, 10) < 1.5)
            return 4;
        return y < 9 ? 3 : 2;
    });
    outline(p, 0, 20, 1);
    return p;
}

// A clock face, 8 frames of 24 x 24 stacked: the hand turns an eighth of a
// turn a frame, so the frame shown can be read off the picture.
Picture paintClock() {
    Picture p(24, 24 * 8,
              {kKey, {30, 40, 95}, {252, 252, 246}, {150, 160, 185}, {235, 45, 60}, {40, 40, 55}, {222, 228, 242}});
    for (int f = 0; f < 8; ++f) {
        const double a = f * kPi / 4;
        const double hx = 12 + 7.5 * std::sin(a), hy = 12 - 7.5 * std::cos(a);
        paint(p, 24 * f, 24, [&](double x, double y) -> uint8_t {
            const double r = std::hypot(x - 12, y - 12);
            if (r > 11.6) return 0;
            if (r > 10) return 1;
            if (std::hypot(x - 12, y - 12) < 2.0) return 5;
            if (segDist(x, y, 12, 12, hx, hy) < 1.25) return 4;
            for (int t = 0; t < 8; ++t)
                if (std::hypot(x - (12 + 8.2 * std::sin(t * kPi / 4)), y - (12 - 8.2 * std::cos(t * kPi / 4))) < 1.0)
                    return 3;
            return y > 12 + (x - 12) * 0.3 + 4 ? 6 : 2;
        });
        outline(p, 24 * f, 24, 1);
    }
    return p;
}

// A fish facing right: tail on the left, a fin on top, a pale belly, so that
// both mirrorings show.
Picture paintFish() {
    Picture p(32, 20,
              {kKey,
               {120, 40, 0},
               {255, 140, 20},
               {255, 190, 80},
               {255, 244, 220},
               {20, 20, 30},
               {255, 255, 255},
               {240, 80, 30}});
    const std::vector<std::pair<double, double>> tail{{10, 10}, {1, 3}, {4, 10}, {1, 17}};
    const std::vector<std::pair<double, double>> fin{{13, 5}, {23, 5}, {15, 0.5}};
    paint(p, 0, 20, [&](double x, double y) -> uint8_t {
        const double ex = (x - 19) / 12.0, ey = (y - 10.5) / 7.0;
        const bool body = ex * ex + ey * ey <= 1.0;
        if (body) {
            if (std::hypot(x - 25.5, y - 8.5) < 2.2) return std::hypot(x - 26, y - 8.5) < 1.2 ? 5 : 6;
            if (y > 12.5 + 0.15 * (x - 19)) return 4;
            if (std::fabs(x - 17) < 0.8 && y > 5 && y < 15) return 7;  // the gill line
            return y < 8 ? 3 : 2;
        }
        if (inPolygon(x, y, tail)) return 7;
        if (inPolygon(x, y, fin)) return 7;
        return 0;
    });
    outline(p, 0, 20, 1);
    return p;
}

// A five-pointed star, lit from the top left.
Picture paintStar() {
    Picture p(32, 32, {kKey, {190, 95, 0}, {255, 210, 0}, {255, 245, 150}, {255, 165, 0}});
    std::vector<std::pair<double, double>> star;
    for (int k = 0; k < 10; ++k) {
        const double a = k * kPi / 5 - kPi / 2;
        const double r = k % 2 ? 6.6 : 15.4;
        star.emplace_back(16 + r * std::cos(a), 16.5 + r * std::sin(a));
    }
    paint(p, 0, 32, [&](double x, double y) -> uint8_t {
        if (!inPolygon(x, y, star)) return 0;
        if (std::hypot(x - 16, y - 16.5) < 3.2) return 3;
        return (x - 16) + (y - 16.5) < 0 ? 3 : ((x - 16) > 2 * (y - 16.5) ? 2 : 4);
    });
    outline(p, 0, 32, 1);
    return p;
}

// A ring doughnut with pink icing and sprinkles; its hole is transparent, so
// a pixel test tells the ring from the hole.
Picture paintDonut() {
    Picture p(40, 40,
              {kKey,
               {110, 60, 30},
               {225, 165, 95},
               {255, 115, 180},
               {255, 185, 220},
               {255, 230, 60},
               {60, 220, 240},
               {255, 255, 255}});
    paint(p, 0, 40, [](double x, double y) -> uint8_t {
        const double r = std::hypot(x - 20, y - 20);
        if (r > 19.4 || r < 7.2) return 0;
        const double a = std::atan2(y - 20, x - 20);
        const double wave = 0.9 * std::sin(a * 9);
        if (r < 9.2 - wave * 0.5 || r > 16.2 + wave) return 2;
        // Sprinkles: short dashes on a fixed scatter of angles and radii.
        for (int k = 0; k < 14; ++k) {
            const double sa = k * 2 * kPi / 14 + (k % 3) * 0.21, sr = 11.5 + (k % 4) * 1.1;
            const double sx = 20 + sr * std::cos(sa), sy = 20 + sr * std::sin(sa);
            const double dx = std::cos(sa + k), dy = std::sin(sa + k);
            if (segDist(x, y, sx - dx, sy - dy, sx + dx, sy + dy) < 0.6) return uint8_t(5 + k % 3);
        }
        return (x - 20) + (y - 20) < -6 ? 4 : 3;
    });
    outline(p, 0, 40, 1);
    return p;
}

// Play, pause and stop: three 24 x 24 frames of a blue key.
Picture paintButtons() {
    Picture p(24, 72, {kKey, {20, 60, 140}, {50, 130, 230}, {120, 180, 255}, {255, 255, 255}});
    const std::vector<std::pair<double, double>> play{{8, 5.5}, {8, 18.5}, {19, 12}};
    for (int f = 0; f < 3; ++f) {
        paint(p, 24 * f, 24, [&](double x, double y) -> uint8_t {
            const double qx = std::max(std::fabs(x - 12) - 6.5, 0.0), qy = std::max(std::fabs(y - 12) - 6.5, 0.0);
            if (std::hypot(qx, qy) > 5) return 0;
            const bool icon = f == 0   ? inPolygon(x, y, play)
                              : f == 1 ? (y > 6 && y < 18 && ((x > 7 && x < 11) || (x > 13 && x < 17)))
                                       : (x > 7 && x < 17 && y > 7 && y < 17);
            if (icon) return 4;
            return y < 10 ? 3 : 2;
        });
        outline(p, 24 * f, 24, 1);
    }
    return p;
}

// ------------------------------------------------------------------ backgrounds
// Seven 16 x 16 tiles side by side: plain sky, sky with a cloud, brick, an
// arrow pointing right, a slope (ground in the lower left), ground, and a
// flower. Entry 0 (the key) is kept out of every tile, so all of them are
// solid; the tour mirrors the arrow and the slope and recolours the set
// through several palettes.
Picture paintTiles() {
    Picture p(16 * 7, 16,
              {kKey,
               {120, 200, 255},
               {250, 250, 255},
               {205, 75, 55},
               {235, 205, 175},
               {255, 220, 40},
               {55, 60, 85},
               {60, 185, 70},
               {150, 95, 50},
               {135, 230, 110},
               {255, 100, 170},
               {255, 235, 70},
               {110, 70, 40},
               {175, 225, 255},
               {240, 130, 100}});
    const std::vector<std::pair<double, double>> arrow{{2, 6},      {8.5, 6},  {8.5, 2.5}, {14.5, 8},
                                                       {8.5, 13.5}, {8.5, 10}, {2, 10}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            // 0: sky, a lighter band at the top.
            p.at(x, y) = y < 5 ? 13 : 1;
            // 1: a cloud.
            const bool cloud = std::hypot(cx - 6, cy - 9) < 3.6 || std::hypot(cx - 10, cy - 8) < 3.2 ||
                               (cy > 9 && cy < 11.5 && cx > 3 && cx < 13);
            p.at(16 + x, y) = cloud ? 2 : (y < 5 ? 13 : 1);
            // 2: brick in courses of 8 rows, the joints offset by half a brick.
            const bool joint = y % 8 == 7 || (y < 8 ? x % 16 == 7 : (x + 8) % 16 == 7 || x == 15);
            p.at(32 + x, y) = joint ? 4 : (y % 8 == 0 ? 14 : 3);
            // 3: an arrow on a dark plate.
            p.at(48 + x, y) = inPolygon(cx, cy, arrow) ? (cy < 7.5 ? 11 : 5) : 6;
            // 4: a slope, grass along its edge.
            p.at(64 + x, y) = cy > cx + 2.2 ? 8 : (cy > cx - 0.6 ? 7 : (y < 5 ? 13 : 1));
            // 5: ground with a grass top and a few stones.
            const bool stone = (x == 4 && y == 9) || (x == 11 && y == 12) || (x == 7 && y == 14) || (x == 13 && y == 6);
            p.at(80 + x, y) = y < 2 ? 9 : (y < 4 ? 7 : (stone ? 12 : 8));
            // 6: a flower on sky.
            uint8_t f = y < 5 ? 13 : 1;
            if (std::fabs(cx - 8) < 0.8 && cy > 7) f = 7;
            if (std::hypot(cx - 10.5, cy - 11) < 1.6 && cy < 11.5) f = 9;
            for (int k = 0; k < 5; ++k)
                if (std::hypot(cx - (8 + 2.6 * std::cos(k * 2 * kPi / 5)),
                               cy - (5.5 + 2.6 * std::sin(k * 2 * kPi / 5))) < 1.7)
                    f = 10;
            if (std::hypot(cx - 8, cy - 5.5) < 1.4) f = 11;
            p.at(96 + x, y) = f;
        }
    return p;
}

// A sunset over the sea, 8 frames: the waves roll one step a frame and the
// sun's reflection shimmers.
std::vector<Picture> paintWaves() {
    const std::vector<RGB> pal{{70, 95, 200},   {120, 120, 215}, {200, 130, 175}, {255, 165, 130},
                               {255, 205, 120}, {255, 240, 130}, {255, 255, 215}, {20, 55, 135},
                               {30, 85, 175},   {50, 125, 205},  {115, 185, 240}, {240, 250, 255},
                               {255, 215, 150}, {0, 0, 0},       {0, 0, 0},       {0, 0, 0}};
    std::vector<Picture> frames;
    for (int f = 0; f < 8; ++f) {
        Picture p(112, 64, pal);
        const double phase = f * 2 * kPi / 8;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 112; ++x) {
                const double cx = x + 0.5, cy = y + 0.5;
                uint8_t c;
                if (cy < 36) {
                    c = uint8_t(cy < 10 ? 0 : cy < 19 ? 1 : cy < 27 ? 2 : cy < 32 ? 3 : 4);
                    const double r = std::hypot(cx - 56, cy - 31);
                    if (r < 11) c = r < 7 ? 6 : 5;
                } else {
                    const double depth = (cy - 36) / 28.0;
                    c = uint8_t(depth < 0.2 ? 10 : depth < 0.45 ? 9 : depth < 0.75 ? 8 : 7);
                    // Crests: one sine band every 6 rows, rolling with the frame.
                    const double band = std::fmod(cy - 36, 6.0);
                    const double crest = 2.5 + 1.6 * std::sin(cx * 0.19 + phase + std::floor((cy - 36) / 6.0) * 1.7);
                    if (std::fabs(band - crest) < 0.55) c = 11;
                    // The sun's reflection: broken gold dashes under the sun.
                    const double half = 11 - depth * 7;
                    if (std::fabs(cx - 56) < half && std::fmod(cy + f * 0.75, 3.0) < 1.0 &&
                        std::sin(cx * 0.9 + cy * 1.3 + phase * 2) > -0.2)
                        c = 12;
                }
                p.at(x, y) = c;
            }
        frames.push_back(std::move(p));
    }
    return frames;
}

// Drawing paper for the 16-bit painting layer: cream with a faint grid.
Picture paintCanvas() {
    Picture p(108, 100, {{255, 250, 236}, {208, 226, 246}, {150, 160, 190}});
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
            p.at(x, y) = x == 0 || y == 0 || x == p.w - 1 || y == p.h - 1 ? 2 : (x % 12 == 6 || y % 12 == 6 ? 1 : 0);
    return p;
}

// The backdrop of every scene: a dusk gradient in 16 bands.
Picture paintBackdrop() {
    std::vector<RGB> pal;
    for (int k = 0; k < 16; ++k) pal.push_back({uint8_t(24 + k * 3), uint8_t(30 + k * 1), uint8_t(72 + k * 3)});
    Picture p(240, 320, pal);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x) p.at(x, y) = uint8_t(y / 20);
    return p;
}

}  // namespace

// The tour's desktop icon, size x size: its star on a rounded indigo tile
// with a light edge, the colours of the tour's panels.
Picture paintTourIcon(int size) {
    Picture p(size, size,
              {kKey, {190, 95, 0}, {255, 210, 0}, {255, 245, 150}, {255, 165, 0}, {34, 38, 92}, {104, 108, 255},
               {14, 16, 40}});
    const double s = size / 32.0, edge = std::max(1.0, size / 40.0);
    std::vector<std::pair<double, double>> star;
    for (int k = 0; k < 10; ++k) {
        const double a = k * kPi / 5 - kPi / 2;
        const double r = (k % 2 ? 5.4 : 12.6) * s;
        star.emplace_back(16 * s + r * std::cos(a), 16.8 * s + r * std::sin(a));
    }
    paint(p, 0, size, [&](double x, double y) -> uint8_t {
        // The tile: a square with corners rounded by a quarter of its side.
        const double half = 16 * s - 0.5, corner = 8 * s;
        const double qx = std::max(std::fabs(x - 16 * s) - (half - corner), 0.0);
        const double qy = std::max(std::fabs(y - 16 * s) - (half - corner), 0.0);
        const double inside = corner - std::hypot(qx, qy);  // distance in from the tile's edge
        if (inside < 0) return 0;
        if (inside < edge) return 7;
        if (inside < 2 * edge) return 6;
        if (!inPolygon(x, y, star)) return 5;
        for (size_t k = 0; k < star.size(); ++k) {  // the star's outline
            const auto [ax, ay] = star[k];
            const auto [bx, by] = star[(k + 1) % star.size()];
            if (segDist(x, y, ax, ay, bx, by) < s) return 1;  // none at 16, where it would fill the star
        }
        if (std::hypot(x - 16 * s, y - 16.8 * s) < 2.6 * s) return 3;
        const double dx = x - 16 * s, dy = y - 16.8 * s;
        return dx + dy < 0 ? 3 : (dx > 2 * dy ? 2 : 4);
    });
    return p;
}

int zk_assets_tour(const char* folder) {
    struct Item {
        const char* name;
        std::vector<Picture> frames;
    };
    std::vector<Item> items;
    items.push_back({"tour_next", {paintNext()}});
    items.push_back({"tour_clock", {paintClock()}});
    items.push_back({"tour_fish", {paintFish()}});
    items.push_back({"tour_star", {paintStar()}});
    items.push_back({"tour_donut", {paintDonut()}});
    items.push_back({"tour_buttons", {paintButtons()}});
    items.push_back({"tour_tiles", {paintTiles()}});
    items.push_back({"tour_waves", paintWaves()});
    items.push_back({"tour_canvas", {paintCanvas()}});
    items.push_back({"tour_backdrop", {paintBackdrop()}});
    int failures = 0;
    for (const Item& it : items) {
        const std::string path = std::string(folder) + "/" + it.name + ".gif";
        if (!writeGif(path, it.frames, 10)) {
            std::fprintf(stderr, "zk_assets: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
