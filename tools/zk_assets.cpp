// Paints Quib's pictures and writes them as GIF89a files with giflib.
//
// Usage: zk_assets <output folder>          the game's pictures
//        zk_assets --tour <output folder>   the tour's (zk_assets_tour.cpp)
//        zk_assets --icons <output folder>  both programs' desktop icons (PNG)
//
// The pictures are drawn procedurally here, so this file is where the art
// lives: change it and rebuild the `assets` target to regenerate
// game/assets/. Every sprite picture keeps its transparent pixels in one
// palette entry of pure magenta (255, 0, 255), and nothing is blended into
// that colour: a pixel is either fully key or fully opaque, shading only
// goes inward from an edge.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zk_picture.h"

int zk_assets_tour(const char* folder);  // the engine tour's pictures, tools/zk_assets_tour.cpp
Picture paintTourIcon(int size);         // the tour's icon, painted size x size, same file

namespace {

bool isKeyColour(RGB c) {  // converts to RGB565 0xF81F
    return (c.r >> 3) == 31 && (c.g >> 2) == 0 && (c.b >> 3) == 31;
}

// ------------------------------------------------------------------ helpers

// 4 x 4 ordered-dither thresholds in (0, 1).
double bayer(int x, int y) {
    static constexpr int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (m[y & 3][x & 3] + 0.5) / 16.0;
}

// Picks one of n ramp steps for t in [0, 1], dithered when dither is set.
int rampStep(double t, int n, int x, int y, bool dither) {
    t = std::clamp(t, 0.0, 1.0) * (n - 1);
    int lo = int(std::floor(t));
    if (lo >= n - 1) return n - 1;
    double f = t - lo;
    if (dither) return f > bayer(x, y) ? lo + 1 : lo;
    return f >= 0.5 ? lo + 1 : lo;
}

// ------------------------------------------------------------------ glyphs
// A bold pixel typeface with 2-pixel strokes, 10 rows high; widths vary.
const std::map<char, std::array<std::string_view, 10>>& boldFont() {
    static const std::map<char, std::array<std::string_view, 10>> font = {
        {'0', {".####.", "##..##", "##..##", "##.###", "##.###", "###.##", "###.##", "##..##", "##..##", ".####."}},
        {'1', {"..##..", ".###..", "####..", "..##..", "..##..", "..##..", "..##..", "..##..", "..##..", "######"}},
        {'2', {".####.", "##..##", "....##", "....##", "...##.", "..##..", ".##...", "##....", "##....", "######"}},
        {'3', {".####.", "##..##", "....##", "....##", "..###.", "....##", "....##", "....##", "##..##", ".####."}},
        {'4', {"...###", "..####", ".##.##", "##..##", "##..##", "######", "....##", "....##", "....##", "....##"}},
        {'5', {"######", "##....", "##....", "#####.", "....##", "....##", "....##", "....##", "##..##", ".####."}},
        {'6', {".####.", "##..##", "##....", "##....", "#####.", "##..##", "##..##", "##..##", "##..##", ".####."}},
        {'7', {"######", "....##", "....##", "...##.", "...##.", "..##..", "..##..", ".##...", ".##...", ".##..."}},
        {'8', {".####.", "##..##", "##..##", "##..##", ".####.", "##..##", "##..##", "##..##", "##..##", ".####."}},
        {'9', {".####.", "##..##", "##..##", "##..##", "##..##", ".#####", "....##", "....##", "##..##", ".####."}},
        {'S', {".####.", "##..##", "##....", "##....", ".####.", "....##", "....##", "....##", "##..##", ".####."}},
        {'C', {".####.", "##..##", "##....", "##....", "##....", "##....", "##....", "##....", "##..##", ".####."}},
        {'O', {".####.", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."}},
        {'R', {"#####.", "##..##", "##..##", "##..##", "#####.", "####..", "##.##.", "##..##", "##..##", "##..##"}},
        {'E', {"######", "##....", "##....", "##....", "#####.", "##....", "##....", "##....", "##....", "######"}},
        {'G', {".####.", "##..##", "##....", "##....", "##.###", "##..##", "##..##", "##..##", "##..##", ".####."}},
        {'A', {".####.", "##..##", "##..##", "##..##", "######", "##..##", "##..##", "##..##", "##..##", "##..##"}},
        {'M',
         {"##....##", "###..###", "########", "##.##.##", "##....##", "##....##", "##....##", "##....##", "##....##",
          "##....##"}},
        {'V', {"##..##", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", ".####.", ".####.", "..##.."}},
    };
    return font;
}

int glyphWidth(char c) { return int(boldFont().at(c)[0].size()); }
bool glyphOn(char c, int gx, int gy) {
    const auto& g = boldFont().at(c);
    return gy >= 0 && gy < 10 && gx >= 0 && gx < int(g[0].size()) && g[size_t(gy)][size_t(gx)] == '#';
}

// Text laid out in the bold face at an integer scale: a coverage mask of
// glyph pixels, its width and its height.
struct TextMask {
    int w, h;
    std::vector<uint8_t> on;
    bool at(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && on[size_t(y) * w + x]; }
};

TextMask layoutText(std::string_view text, int scale, int gap) {
    int w = 0;
    for (size_t i = 0; i < text.size(); ++i) w += glyphWidth(text[i]) * scale + (i + 1 < text.size() ? gap : 0);
    TextMask m{w, 10 * scale, std::vector<uint8_t>(size_t(w) * 10 * scale, 0)};
    int x0 = 0;
    for (char c : text) {
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < glyphWidth(c) * scale; ++x)
                if (glyphOn(c, x / scale, y / scale)) m.on[size_t(y) * w + x0 + x] = 1;
        x0 += glyphWidth(c) * scale + gap;
    }
    return m;
}

// Draws text with a one-pixel dark outline (8-neighbour) at (ox, oy): fill
// colour chosen per glyph row by fillIndex(row 0..h-1), a drop shadow one
// pixel down and right.
template <typename FillFn>
void drawText(Picture& p, const TextMask& m, int ox, int oy, uint8_t outline, uint8_t shadow, FillFn fillIndex) {
    auto inside = [&](int x, int y) { return m.at(x - ox, y - oy); };
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            if (inside(x, y)) continue;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) near = inside(x + dx, y + dy);
            if (near) p.at(x, y) = outline;
            else if (inside(x - 1, y - 1) || inside(x - 2, y - 2)) p.at(x, y) = shadow;
        }
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            if (m.at(x, y) && ox + x >= 0 && oy + y >= 0 && ox + x < p.w && oy + y < p.h) p.at(ox + x, oy + y) = fillIndex(y);
}

// ------------------------------------------------------------------ balls
// One palette for every ball picture: key, outline, white, pale gold, then
// four shades (dark to light) for each count: 3 green, 2 amber, 1 red.
const std::vector<RGB> kBallPalette = {
    kKey,          {24, 20, 52},   {255, 255, 255}, {255, 240, 170},  // 0-3
    {18, 104, 48}, {36, 164, 70},  {92, 214, 96},   {178, 246, 160},  // green 4-7
    {168, 84, 0},  {232, 142, 14}, {255, 196, 52},  {255, 234, 140},  // amber 8-11
    {132, 18, 44}, {208, 38, 62},  {246, 92, 104},  {255, 172, 172},  // red 12-15
};
constexpr uint8_t kOutline = 1, kWhite = 2, kPale = 3;
uint8_t hueBase(int count) { return count == 3 ? 4 : count == 2 ? 8 : 12; }

// The count numerals on a ball as strokes in a box 1 wide and 1.4 high,
// y down: polylines (arcs sampled finely).
std::vector<std::vector<std::pair<double, double>>> numeralStrokes(int n) {
    std::vector<std::vector<std::pair<double, double>>> s;
    auto arc = [](double cx, double cy, double r, double a0, double a1) {
        std::vector<std::pair<double, double>> pts;
        for (int i = 0; i <= 32; ++i) {
            double a = (a0 + (a1 - a0) * i / 32.0) * kPi / 180.0;
            pts.emplace_back(cx + r * std::cos(a), cy - r * std::sin(a));
        }
        return pts;
    };
    if (n == 1) {
        s.push_back({{0.5, 0.02}, {0.5, 1.38}});
        s.push_back({{0.5, 0.02}, {0.2, 0.3}});
        s.push_back({{0.2, 1.38}, {0.8, 1.38}});
    } else if (n == 2) {
        auto a = arc(0.5, 0.4, 0.38, 160, -35);
        a.emplace_back(0.04, 1.38);
        a.emplace_back(0.96, 1.38);
        s.push_back(a);
    } else {
        s.push_back(arc(0.5, 0.37, 0.35, 150, -90));
        s.push_back(arc(0.5, 1.03, 0.35, 90, -150));
    }
    return s;
}

double numeralDist(int n, double x, double y) {
    double best = 1e9;
    for (const auto& line : numeralStrokes(n))
        for (size_t i = 0; i + 1 < line.size(); ++i)
            best = std::min(best, segDist(x, y, line[i].first, line[i].second, line[i + 1].first, line[i + 1].second));
    return best;
}

// A shaded sphere (light from the upper left) with a dark rim; px, py are
// offsets from the centre in units of the radius.
uint8_t sphereShade(double px, double py, int base, int x, int y, bool dither) {
    double u2 = px * px + py * py;
    double nz = std::sqrt(std::max(0.0, 1.0 - u2));
    const double lx = -0.45, ly = -0.55, lz = 0.70;
    double diff = std::max(0.0, px * lx + py * ly + nz * lz);
    // The highlight: the half vector between the light and the viewer.
    double hx = lx, hy = ly, hz = lz + 1.0, hl = std::sqrt(hx * hx + hy * hy + hz * hz);
    double specular = std::pow(std::max(0.0, (px * hx + py * hy + nz * hz) / hl), 40.0);
    if (specular > 0.55) return kWhite;
    double t = 0.12 + 0.95 * diff;
    return uint8_t(base + rampStep(t, 4, x, y, dither));
}

void paintBallFrame(Picture& p, int size, int frame, int count) {
    const double R = size / 2.0;
    const bool small = size <= 16;
    const bool dither = false;  // clean bands: a dithered picture turns to grain when zoomed
    const double rim = std::max(1.0, size * 0.035);
    const int oy = frame * size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double dx = x + 0.5 - R, dy = y + 0.5 - R;
            double d = std::sqrt(dx * dx + dy * dy);
            uint8_t c = 0;
            if (count > 0) {
                // Half a pixel inside the frame, so the outline has no
                // one-pixel nubs at the top, bottom and sides.
                const double Rd = R - 0.5;
                if (d <= Rd) c = d > Rd - rim ? kOutline : sphereShade(dx / Rd, dy / Rd, hueBase(count), x, y, dither);
            } else {
                // Popped: an eight-pointed burst, white at the heart through
                // pale gold to red at its tips.
                double a = std::atan2(dy, dx) + kPi / 8;
                double sector = std::fmod(a + 2 * kPi, kPi / 4) / (kPi / 4);  // 0..1 across one point
                double tri = 1.0 - std::abs(sector - 0.5) * 2.0;              // 1 at a tip, 0 between
                double reach = R * (0.48 + 0.52 * tri);
                if (d <= reach) {
                    double edge = reach - d;
                    double rel = d / R;
                    if (edge < rim * (small ? 1.0 : 1.3)) c = kOutline;
                    else if (rel < 0.22) c = kWhite;
                    else if (rel < 0.42) c = kPale;
                    else c = uint8_t(12 + rampStep(1.0 - (rel - 0.42) / 0.5, 3, x, y, dither) + 1);
                }
            }
            p.at(x, oy + y) = c;
        }
    if (count <= 0) return;
    const uint8_t base = hueBase(count);
    // A stroked numeral about 56 % of the diameter high, white with an
    // outline in the darkest shade of the ball's hue and a soft drop shadow.
    const double gh = size * 0.54, scale = gh / 1.4;
    const double stroke = 0.2 * scale, outline = std::max(1.5, size * 0.03);
    const double gx0 = R - scale * 0.5, gy0 = R - gh * 0.5;
    const double shadowOff = std::max(1.0, size * 0.025);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            uint8_t& c = p.at(x, oy + y);
            if (c == 0 || c == kOutline) continue;
            double gxp = (x + 0.5 - gx0) / scale, gyp = (y + 0.5 - gy0) / scale;
            double dist = numeralDist(count, gxp, gyp) * scale;
            double sdist = numeralDist(count, gxp - shadowOff / scale, gyp - shadowOff / scale) * scale;
            if (dist <= stroke / 2) c = (y + 0.5 - gy0) > gh * 0.62 ? kPale : kWhite;
            else if (dist <= stroke / 2 + outline) c = base;
            else if (sdist <= stroke / 2 + outline) c = uint8_t(base + 1);
        }
}

// The two small pictures (16 and 32) are what a flying ball and most balls
// at rest show, always turned by the ball's angle and sampled pixel for
// pixel, 1:1 or a little larger. Nothing in them may break up when turned:
// the ball is one flat colour (any band or spot would turn into ragged
// steps), the rim is two pixels wide and the numeral is a bold glyph with
// strokes of two pixels (four in the larger picture).
void paintSmallBallFrame(Picture& p, int size, int frame, int count) {
    // 6 x 10 numerals with two-pixel strokes; the 32 picture doubles them.
    static constexpr std::string_view glyphs[3][10] = {
        {"..##..", ".###..", "####..", "..##..", "..##..", "..##..", "..##..", "..##..", "######", "######"},
        {".####.", "######", "##..##", "....##", "...###", "..###.", ".###..", "###...", "######", "######"},
        {"#####.", "######", "....##", "....##", ".####.", ".####.", "....##", "....##", "######", "#####."},
    };
    const int scale = size / 16, oy = frame * size;
    const double R = size / 2.0, rim = 2.0;
    const auto& g = glyphs[count - 1];
    const int gx = size / 2 - 3 * scale, gy = size / 2 - 5 * scale;
    auto ink = [&](int x, int y) {
        const int u = (x - gx) / scale, v = (y - gy) / scale;
        return x >= gx && y >= gy && u < 6 && v < 10 && g[size_t(v)][size_t(u)] == '#';
    };
    const uint8_t base = hueBase(count);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double d = std::hypot(x + 0.5 - R, y + 0.5 - R) / (R - 0.5);  // 1 at the edge
            uint8_t c = 0;
            if (d <= 1.0) {
                if (ink(x, y)) c = kWhite;
                else if (d > 1.0 - rim / (R - 0.5)) c = kOutline;
                else c = uint8_t(base + 1);
            }
            p.at(x, oy + y) = c;
        }
}

Picture paintBalls(int size) {
    Picture p(size, size * 4, kBallPalette);
    for (int k = 0; k < 4; ++k) {
        if (size <= 32 && k > 0)
            paintSmallBallFrame(p, size, k, k);
        else
            paintBallFrame(p, size, k, k);
    }
    return p;
}

// ------------------------------------------------------------------ score digits and labels
const std::vector<RGB> kTextPalette = {
    kKey, {16, 14, 40}, {255, 255, 255}, {255, 244, 176}, {255, 204, 64}, {232, 150, 20},
    {28, 44, 110}, {44, 70, 160}, {120, 200, 255}, {60, 30, 90}, {12, 22, 70},
    {255, 120, 110}, {230, 50, 70}, {150, 20, 60}, {90, 140, 230}, {200, 230, 255},
};
// Gradient of the bold text, top to bottom over 10 glyph rows.
uint8_t goldRow(int row10) { return row10 < 4 ? 2 : row10 < 7 ? 3 : 4; }

Picture paintNumbers() {
    Picture p(16, 160, kTextPalette);
    for (int d = 0; d < 10; ++d) {
        TextMask m = layoutText(std::string(1, char('0' + d)), 1, 0);
        Picture f(16, 16, kTextPalette);
        drawText(f, m, (16 - m.w) / 2, 3, 1, 1, [](int row) { return goldRow(row); });
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) p.at(x, d * 16 + y) = f.at(x, y);
    }
    return p;
}

// A rounded panel: a lighter upper and a darker lower half, a bright border,
// hard corners against the key.
void paintPanel(Picture& p, double radius, uint8_t border, uint8_t inner, uint8_t fillTop, uint8_t fillBottom) {
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            double cx = std::clamp(x + 0.5, radius, p.w - radius), cy = std::clamp(y + 0.5, radius, p.h - radius);
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d > radius) continue;
            double depth = radius - d;  // distance from the outer edge, along the corners
            double edge = std::min({double(x), double(y), double(p.w - 1 - x), double(p.h - 1 - y)});
            if (d > 0) edge = std::min(edge, depth);
            uint8_t c = y * 2 < p.h ? fillTop : fillBottom;  // two clean halves: a dither would read as grain
            if (edge < 1.0) c = border;
            else if (edge < 2.0) c = inner;
            p.at(x, y) = c;
        }
}

Picture paintScoreLabel() {
    Picture p(103, 16, kTextPalette);
    paintPanel(p, 7.5, 8, 10, 7, 6);
    TextMask m = layoutText("SCORE", 1, 3);
    drawText(p, m, (103 - m.w) / 2, 3, 1, 10, [](int row) { return goldRow(row); });
    return p;
}

Picture paintGameOver() {
    Picture p(87, 54, kTextPalette);
    paintPanel(p, 9.5, 15, 14, 7, 6);
    TextMask a = layoutText("GAME", 2, 3), b = layoutText("OVER", 2, 3);
    auto fill = [](int row) -> uint8_t { return row < 7 ? 2 : row < 13 ? 11 : 12; };
    drawText(p, a, (87 - a.w) / 2, 5, 1, 10, fill);
    drawText(p, b, (87 - b.w) / 2, 29, 1, 10, fill);
    return p;
}

// ------------------------------------------------------------------ cannon
// 58 x 14, pivot at pixel (29, 7): the barrel runs from the pivot to the
// right edge (angle 0), the hub and a short breech sit at and left of it.
Picture paintCanon() {
    const std::vector<RGB> pal = {
        kKey,           {22, 24, 36},   {70, 78, 100},  {110, 120, 146}, {156, 168, 194}, {206, 216, 236},
        {250, 252, 255}, {150, 96, 10}, {226, 166, 40}, {255, 222, 120}, {44, 50, 70},
    };
    Picture p(58, 14, pal);
    // Cylinder shading across a band from row top to row bottom.
    auto steel = [](int y, int top, int bottom) -> uint8_t {
        double t = (y + 0.5 - top) / double(bottom - top + 1);  // 0 top .. 1 bottom
        if (t < 0.18) return 4;
        if (t < 0.36) return 5;
        if (t < 0.5) return 6;
        if (t < 0.7) return 4;
        if (t < 0.86) return 3;
        return 2;
    };
    auto brass = [](int y, int top, int bottom) -> uint8_t {
        double t = (y + 0.5 - top) / double(bottom - top + 1);
        return t < 0.3 ? 9 : t < 0.65 ? 8 : 7;
    };
    auto band = [&](int x0, int x1, int top, int bottom, bool gold) {
        for (int x = x0; x <= x1; ++x)
            for (int y = top; y <= bottom; ++y) {
                bool edge = x == x0 || x == x1 || y == top || y == bottom;
                p.at(x, y) = edge ? 1 : gold ? brass(y, top, bottom) : steel(y, top, bottom);
            }
    };
    band(15, 28, 4, 9, false);    // breech
    band(29, 57, 3, 10, false);   // barrel
    band(36, 39, 2, 11, true);    // reinforcing ring
    band(51, 57, 1, 12, false);   // muzzle
    for (int y = 5; y <= 8; ++y) p.at(57, y) = 10;  // the bore
    // Hub: a brass disc centred on the pivot.
    for (int y = 0; y < 14; ++y)
        for (int x = 22; x < 37; ++x) {
            double d = std::hypot(x + 0.5 - 29.5, y + 0.5 - 7.0);
            if (d > 7.0) continue;
            double lx = (x + 0.5 - 29.5) / 7.0, ly = (y + 0.5 - 7.0) / 7.0;
            double lit = -0.5 * lx - 0.7 * ly;
            p.at(x, y) = d > 6.0 ? 1 : d < 1.6 ? 10 : lit > 0.45 ? 9 : lit > -0.2 ? 8 : 7;
        }
    return p;
}

// ------------------------------------------------------------------ background
RGB mix(RGB a, RGB b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return RGB{uint8_t(a.r + (b.r - a.r) * t + 0.5), uint8_t(a.g + (b.g - a.g) * t + 0.5),
               uint8_t(a.b + (b.b - a.b) * t + 0.5)};
}

Picture paintBackground() {
    const int W = 240, H = 320;
    std::vector<RGB> rgb(size_t(W) * H);
    auto put = [&](int x, int y, RGB c) { rgb[size_t(y) * W + x] = c; };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            RGB c;
            if (y < 19) {
                // Score bar: a dark slate panel with a soft top light.
                c = mix(RGB{44, 52, 96}, RGB{18, 22, 50}, y / 18.0);
            } else if (y == 19) {
                c = RGB{120, 200, 255};
            } else if (y < 272) {
                // The board: deep blue into violet, with a faint diamond
                // lattice and a glow at the centre top.
                double t = (y - 20) / 251.0;
                c = t < 0.6 ? mix(RGB{22, 52, 124}, RGB{46, 40, 128}, t / 0.6)
                            : mix(RGB{46, 40, 128}, RGB{70, 30, 112}, (t - 0.6) / 0.4);
                int u = (x + y) % 24, v = (x - y + 480) % 24;
                if (u == 0 || v == 0) c = mix(c, RGB{140, 170, 255}, 0.16);
            } else if (y < 275) {
                // The bottom line: bright gold with a darker lower edge.
                c = y == 272 ? RGB{255, 214, 70} : y == 273 ? RGB{220, 150, 30} : RGB{120, 70, 20};
            } else {
                // The floor below the line, a brushed dark metal.
                double t = (y - 275) / 44.0;
                c = mix(RGB{44, 46, 64}, RGB{20, 20, 30}, t);
                if (((x / 2 + y) & 7) == 0) c = mix(c, RGB{70, 74, 96}, 0.4);
            }
            put(x, y, c);
        }
    // The cannon's base: a trapezoid plinth and a dome under the pivot.
    for (int y = 290; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            double halfw = 26 + (y - 290) * 0.55;
            if (std::abs(x + 0.5 - 120) > halfw) continue;
            double t = (x + 0.5 - (120 - halfw)) / (2 * halfw);
            RGB c = mix(RGB{150, 160, 186}, RGB{54, 58, 80}, t);
            if (y == 290 || std::abs(std::abs(x + 0.5 - 120) - halfw) < 1.0) c = RGB{24, 26, 38};
            else if (y == 291) c = RGB{200, 210, 230};
            put(x, y, c);
        }
    for (int y = 288; y < H; ++y)
        for (int x = 96; x < 144; ++x) {
            double dx = x + 0.5 - 120, dy = y + 0.5 - 308;
            double d = std::hypot(dx, dy);
            if (d > 17) continue;
            double lit = std::clamp((-0.5 * dx - 0.8 * dy) / 17.0, -1.0, 1.0);
            RGB c = mix(RGB{70, 76, 104}, RGB{214, 222, 240}, (lit + 1) / 2);
            if (d > 15.8) c = RGB{24, 26, 38};
            put(x, y, c);
        }
    // The screen shows RGB565, where gradients this gentle have only a few
    // steps a channel, and each step would show as a band. So every channel
    // is dithered between its two nearest RGB565 levels with a 4 x 4
    // ordered pattern; neighbouring levels differ too little for the
    // pattern to show, and the picture keeps few enough colours for an
    // exact palette.
    auto level = [](uint8_t v, int shift, double threshold) {
        const double exact = v / double(1 << shift);
        const int top = 255 >> shift;
        const int l = std::min(top, int(exact) + (exact - int(exact) > threshold ? 1 : 0));
        return uint8_t((l << shift) | (l >> (8 - 2 * shift)));  // converts back to level l
    };
    std::map<uint32_t, uint8_t> index;
    std::vector<RGB> pal;
    std::vector<uint8_t> px(rgb.size());
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const RGB c = rgb[size_t(y) * W + x];
            const double t = bayer(x, y);
            const RGB d{level(c.r, 3, t), level(c.g, 2, t), level(c.b, 3, t)};
            const uint32_t key = uint32_t(d.r) << 16 | uint32_t(d.g) << 8 | d.b;
            auto [it, added] = index.try_emplace(key, uint8_t(pal.size()));
            if (added) pal.push_back(d);
            px[size_t(y) * W + x] = it->second;
            if (pal.size() > 256) {
                std::fprintf(stderr, "zk_assets: the background needs more than 256 colours\n");
                std::exit(1);
            }
        }
    pal.resize(256, RGB{0, 0, 0});  // the board picture is a 256-colour GIF
    Picture p(W, H, pal);
    p.px = px;
    return p;
}

// Quib's icon at a size in pixels, and how much it is to be shrunk: the
// green ball carrying its 3. At 16 and 32 it is the game's own picture, so
// the window icon and the small desktop icons are exactly what the game
// shows; larger, it is the shaded ball painted four times (256: twice) the
// size, to be shrunk with smooth edges.
struct Icon {
    Picture picture;
    int shrink;
};

Icon quibIcon(int size) {
    if (size <= 32) {
        Picture p(size, size, kBallPalette);
        const Picture balls = paintBalls(size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) p.at(x, y) = balls.get(x, 3 * size + y);
        return {p, 1};
    }
    const int shrink = size >= 256 ? 2 : 4;
    Picture p(size * shrink, size * shrink, kBallPalette);
    paintBallFrame(p, size * shrink, 0, 3);
    return {p, shrink};
}

// The desktop icons of both programs as <folder>/hicolor/<n>x<n>/apps/
// quib.png and zk_tour.png, at the sizes desktops look for.
int writeIcons(const std::string& folder) {
    int failures = 0;
    for (int size : {16, 32, 48, 128, 256}) {
        const std::string n = std::to_string(size);
        const std::string dir = folder + "/hicolor/" + n + "x" + n + "/apps";
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        const Icon quib = quibIcon(size);
        const int tourShrink = size <= 32 ? 1 : size >= 256 ? 2 : 4;
        const std::pair<std::string, bool> written[] = {
            {dir + "/quib.png", writeIconPng(dir + "/quib.png", quib.picture, quib.shrink)},
            {dir + "/zk_tour.png",
             writeIconPng(dir + "/zk_tour.png", paintTourIcon(size * tourShrink), tourShrink)}};
        for (const auto& [path, ok] : written)
            if (!ok) {
                std::fprintf(stderr, "zk_assets: cannot write %s\n", path.c_str());
                ++failures;
            }
    }
    return failures ? 1 : 0;
}

// Checks the colour convention before anything is written.
bool checkKey(const std::string& name, const Picture& p, bool keyed) {
    int keys = 0;
    for (RGB c : p.palette) keys += isKeyColour(c);
    bool ok = keyed ? keys == 1 && p.palette[0].r == 255 && p.palette[0].g == 0 && p.palette[0].b == 255 : keys == 0;
    if (!ok) std::fprintf(stderr, "zk_assets: %s breaks the key colour rule\n", name.c_str());
    return ok;
}

}  // namespace


int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--tour") return zk_assets_tour(argv[2]);
    if (argc == 3 && std::string_view(argv[1]) == "--icons") return writeIcons(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zk_assets [--tour | --icons] <output folder>\n");
        return 2;
    }
    const std::string out = argv[1];
    struct Item {
        const char* name;
        Picture pic;
        bool keyed;
    };
    std::vector<Item> items;
    items.push_back({"bg", paintBackground(), false});
    items.push_back({"quib", paintBalls(240), true});
    items.push_back({"quib_medium", paintBalls(128), true});
    items.push_back({"quib_small", paintBalls(32), true});
    items.push_back({"quib_vsmall", paintBalls(16), true});
    items.push_back({"quib_numbers", paintNumbers(), true});
    items.push_back({"quib_score", paintScoreLabel(), true});
    items.push_back({"quib_gameover", paintGameOver(), true});
    items.push_back({"quib_canon", paintCanon(), true});
    items.push_back({"quib_icon", quibIcon(16).picture, true});
    int failures = 0;
    for (const Item& it : items) {
        if (!checkKey(it.name, it.pic, it.keyed)) {
            ++failures;
            continue;
        }
        std::string path = out + "/" + it.name + ".gif";
        if (!writeGif(path, {it.pic})) {
            std::fprintf(stderr, "zk_assets: cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
