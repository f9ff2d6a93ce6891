// GIF decoding into layers and sprite images beside giflib's own DGifSlurp
// of the same bytes (the whole file into giflib's raster, no colour
// conversion, no run list), and a full-screen tile layer drawn per frame.
//
// Each of our decode cases reports "slurp_over_ours": DGifSlurp's time
// divided by ours (above 1: ours is faster). Run the slurp case first (the
// default order, or a filter that keeps it).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <ctime>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ZKlib.h"
#include "gif_maker.h"

namespace {

std::map<std::string, double> slurpNs;

// The ratios compare processor time, which other load on the machine
// disturbs less than the wall clock.
using CpuTime = double;
CpuTime cpuNow() { return double(std::clock()) * 1e9 / CLOCKS_PER_SEC; }

// A picture with smooth areas and noise, as a drawn background has.
std::vector<uint8_t> picture(int w, int h, int colours, bool key) {
    std::mt19937 rng(3);
    std::vector<uint8_t> p(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int v = ((x / 8) + (y / 6) * 3 + int(rng() % 3)) % colours;
            if (key && ((x - 60) * (x - 60) + (y % 320 - 160) * (y % 320 - 160) > 100 * 100)) v = 0;
            p[size_t(y) * size_t(w) + size_t(x)] = uint8_t(v);
        }
    return p;
}

std::vector<uint32_t> palette(int n, bool key) {
    std::vector<uint32_t> c;
    for (int i = 0; i < n; ++i) c.push_back(uint32_t(i * 53 % 256) << 16 | uint32_t(i * 29 % 256) << 8 | uint32_t(i));
    if (key) c[0] = 0xFF00FF;
    return c;
}

const std::vector<uint8_t>& screen256() {
    static const auto g = zk_make_gif(240, 320, palette(256, false), picture(240, 320, 256, false));
    return g;
}
const std::vector<uint8_t>& sprite16() {
    static const auto g = zk_make_gif(240, 960, palette(16, true), picture(240, 960, 16, true));
    return g;
}

struct Reader {
    const uint8_t* pos;
    size_t left;
};
int readMem(GifFileType* gif, GifByteType* dest, int n) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const size_t k = std::min(size_t(n), r->left);
    std::memcpy(dest, r->pos, k);
    r->pos += k;
    r->left -= k;
    return int(k);
}

void slurp(benchmark::State& state, const std::vector<uint8_t>& gif, const char* key) {
    const CpuTime t0 = cpuNow();
    int64_t n = 0;
    for (auto _ : state) {
        Reader r{gif.data(), gif.size()};
        int err = 0;
        GifFileType* f = DGifOpen(&r, readMem, &err);
        if (!f || DGifSlurp(f) != GIF_OK) state.SkipWithError("slurp failed");
        benchmark::DoNotOptimize(f->SavedImages);
        DGifCloseFile(f, &err);
        ++n;
    }
    const double ns = cpuNow() - t0;
    slurpNs[key] = ns / double(n ? n : 1);
    state.SetItemsProcessed(n * int64_t(gif.size()));
}

void report(benchmark::State& state, const char* key, CpuTime t0, int64_t n) {
    const double ns = (cpuNow() - t0) / double(n ? n : 1);
    if (slurpNs.count(key)) state.counters["slurp_over_ours"] = slurpNs[key] / ns;
}

void BM_Giflib_Slurp_240x320_256(benchmark::State& state) { slurp(state, screen256(), "screen"); }

void BM_ZK_BgLoadGif_240x320_256(benchmark::State& state) {
    const auto& gif = screen256();
    const CpuTime t0 = cpuNow();
    int64_t n = 0;
    for (auto _ : state) {
        ZK_BgLoadGif(10, gif.data(), gif.size());
        benchmark::DoNotOptimize(zk_bg[10].pixels);
        ++n;
    }
    report(state, "screen", t0, n);
    ZK_BgDelete(10);
}

void BM_ZK_BgLoadGif16bit_240x320_256(benchmark::State& state) {
    const auto& gif = screen256();
    const CpuTime t0 = cpuNow();
    int64_t n = 0;
    for (auto _ : state) {
        ZK_BgLoadGif16bit(10, gif.data(), gif.size());
        benchmark::DoNotOptimize(zk_bg[10].pixels);
        ++n;
    }
    report(state, "screen", t0, n);
    ZK_BgDelete(10);
}

void BM_Giflib_Slurp_240x960_16(benchmark::State& state) { slurp(state, sprite16(), "sprite"); }

// Includes releasing the image each time (zk_cleanspritealloc of one image).
void BM_ZK_GifToSprite_240x960_16_keyed(benchmark::State& state) {
    const auto& gif = sprite16();
    const CpuTime t0 = cpuNow();
    int64_t n = 0;
    for (auto _ : state) {
        SpriteImage* im = ZK_GifToSprite(gif.data(), gif.size());
        if (!im || im->opaque) state.SkipWithError("expected an image with transparency");
        benchmark::DoNotOptimize(im);
        zk_cleanspritealloc();
        ++n;
    }
    report(state, "sprite", t0, n);
}

// A 240 x 324 tile layer of 6 x 6 tiles (40 x 54 cells) over the screen:
// half the tiles solid (plain copy), a quarter keyed, a quarter mirrored.
void BM_ZK_ShowBg_TileLayer_6x6_FullScreen(benchmark::State& state) {
    constexpr int T = 6, COLS = 40, ROWS = 54, NT = 64;
    static std::vector<uint8_t> tiles(size_t(NT) * (T * T + 1));
    static std::vector<uint32_t> map(size_t(COLS) * ROWS);
    static std::vector<uint16_t> pal(256);
    std::mt19937 rng(5);
    for (int t = 0; t < NT; ++t) {
        uint8_t* d = &tiles[size_t(t) * (T * T + 1)];
        d[0] = t % 2 == 0 ? 1 : 0;
        for (int i = 1; i <= T * T; ++i) d[i] = uint8_t(d[0] ? 1 + rng() % 255 : rng() % 4 == 0 ? 0 : 1 + rng() % 255);
    }
    for (auto& c : pal) c = uint16_t(rng());
    for (size_t i = 0; i < map.size(); ++i) {
        const uint32_t t = uint32_t(rng() % NT);
        map[i] = 0x1000 | t | (i % 4 == 3 ? 1u << 25 : 0u);
    }
    for (auto& w : zk_window) w = ClipWindow{0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    const BgInfo info{1, 1, COLS * T, ROWS * T, T, T};
    ZK_BgLoadEx(3, &info, tiles.data(), map.data(), pal.data());
    for (auto _ : state) {
        ZK_ShowBg(3);
        benchmark::DoNotOptimize(zk_buffer[1000]);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * ZK_WIDTH * ZK_HEIGHT);
    ZK_BgDelete(3);
}

}  // namespace

BENCHMARK(BM_Giflib_Slurp_240x320_256);
BENCHMARK(BM_ZK_BgLoadGif_240x320_256);
BENCHMARK(BM_ZK_BgLoadGif16bit_240x320_256);
BENCHMARK(BM_Giflib_Slurp_240x960_16);
BENCHMARK(BM_ZK_GifToSprite_240x960_16_keyed);
BENCHMARK(BM_ZK_ShowBg_TileLayer_6x6_FullScreen);
