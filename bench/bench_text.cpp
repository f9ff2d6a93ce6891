// Text: laying a paragraph out, drawing a screen of laid-out text through a
// text layer, and printing a line on the debug overlay. The drawing is set
// against SDL2_gfx's string drawing (8 x 8 glyphs through SDL's software
// renderer onto a 240 x 320 RGB565 surface) for the same number of letters.
//
// items_per_second counts letters. BM_TextLayerScreen reports
// "peer_over_ours", the peer's time a letter divided by ours (above 1: ours
// is faster); run it together with its peer to get the ratio.
#include <benchmark/benchmark.h>
#include <SDL.h>
#include <SDL2_gfxPrimitives.h>

#include <chrono>
#include <string>
#include <vector>

#include "ZKlib.h"

namespace {

const char* kParagraph =
    "A cannon stands at the bottom centre of the screen and its barrel swings from side to side; a tap "
    "fires a ball carrying the count 3 in the barrel's direction; the ball flies with friction, bounces "
    "off the top and side walls and off the balls already on the board, and every ball it hits counts "
    "down by 1. A ball whose count reaches 0 spins, shrinks away and scores 1 point.";

double peerNsPerLetter = 0;

void fullWindow() {
    zk_window[0] = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    zk_curwindow = 0;
    zk_cursprite = -1;
}

// Runs body per iteration and returns the time of one, in ns.
template <class F>
double timed(benchmark::State& state, F&& body) {
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(t1 - t0).count() / double(state.iterations());
}

void BM_TextLayout(benchmark::State& state) {
    const int font = int(state.range(0));
    zk_textinfo.align = 3;
    int letters = 0;
    timed(state, [&] { letters = ZK_Text(0, 0, 0, 239, 319, kParagraph, 0xFFFF, uint8_t(font), 2000); });
    zk_textinfo.align = 0;
    state.SetItemsProcessed(int64_t(state.iterations()) * letters);
}
BENCHMARK(BM_TextLayout)->Arg(0)->Arg(2)->Arg(4);

// About a screen of the paragraph, again and again.
std::string screenText() {
    std::string s;
    while (s.size() < 1200) s += kParagraph, s += ' ';
    return s.substr(0, 1200);
}

void BM_PeerSDL2gfxStrings(benchmark::State& state) {
    // SDL2_gfx keeps its glyph textures from the first renderer it draws
    // with, so one surface and renderer serve every run.
    static SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, ZK_WIDTH, ZK_HEIGHT, 16, SDL_PIXELFORMAT_RGB565);
    static SDL_Renderer* r = SDL_CreateSoftwareRenderer(surface);
    if (!r || stringRGBA(r, 0, 0, "x", 255, 255, 0, 255) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    const std::string text = screenText();
    // 30 letters a row of 8 x 8 glyphs, 40 rows: as many letters as ours.
    std::vector<std::string> rows;
    for (size_t at = 0; at < text.size(); at += 30) rows.push_back(text.substr(at, 30));
    const double ns = timed(state, [&] {
        for (size_t k = 0; k < rows.size(); ++k)
            stringRGBA(r, 0, int16_t(8 * k), rows[k].c_str(), 255, 255, 0, 255);
        SDL_RenderFlush(r);  // the renderer queues its copies until flushed
    });
    peerNsPerLetter = ns / double(text.size());
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_PeerSDL2gfxStrings);

void BM_TextLayerScreen(benchmark::State& state) {
    fullWindow();
    ZK_LoadTextBg(2);
    const std::string text = screenText();
    zk_textinfo.alpha = uint8_t(state.range(0));
    const int letters = ZK_Text(0, 0, 0, 239, 319, text.c_str(), 0xFFE0, 1, 2000);
    zk_textinfo.alpha = 32;
    const double ns = timed(state, [] { ZK_ShowTextBg(2); });
    state.SetItemsProcessed(int64_t(state.iterations()) * letters);
    if (peerNsPerLetter > 0 && letters > 0) state.counters["peer_over_ours"] = peerNsPerLetter / (ns / letters);
    ZK_BgDelete(2);
}
BENCHMARK(BM_TextLayerScreen)->ArgName("alpha")->Arg(32)->Arg(16);

void BM_DebugTextLine(benchmark::State& state) {
    ZK_InitDebug(15);
    timed(state, [] { ZK_DebugText(0, 3, "%c2score %05d  fps %d  t=%f2 %s", 1234, 40, 3.14159, "ok"); });
    state.SetItemsProcessed(int64_t(state.iterations()) * 33);
    ZK_BgDelete(15);
    zk_debug_bg = -1;
}
BENCHMARK(BM_DebugTextLine);

}  // namespace
