// The copy blitters, the fade and the frame clear against the same work done
// by SDL2's software blitter and by pixman, each on its fastest path, with
// memcpy of the frame as the floor. Every case reports ns per call, Mpixels/s
// (items_per_second) and, for ours, "peer_over_ours" (bench_peers.h).
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ZKlib.h"
#include "bench_peers.h"

namespace {

constexpr int W = ZK_WIDTH, H = ZK_HEIGHT;
constexpr int S = 32;          // the small sprite
constexpr int SX = 100, SY = 100;  // where it is drawn

// ---------------------------------------------------------------- test pictures
struct Pictures {
    std::vector<uint16_t> full16, sprite16;
    std::vector<uint8_t> full8, sprite8;
    std::vector<uint16_t> palette;
    std::vector<uint8_t> runs;          // run list of the sprite
    std::vector<uint16_t> lineOffsets;
    std::vector<uint32_t> argb;         // the sprite premultiplied, for pixman
    int transparent = 0;

    Pictures() {
        std::mt19937 rng(7);
        palette.resize(256);
        for (auto& c : palette) c = uint16_t(rng());
        palette[0] = 0xF81F;
        full16.resize(W * H);
        full8.resize(W * H);
        for (int i = 0; i < W * H; ++i) full16[size_t(i)] = uint16_t(rng()), full8[size_t(i)] = uint8_t(rng());
        // A ball with a hole: about 30% of its pixels transparent, in a few
        // runs per line, as a game sprite has them.
        sprite16.resize(S * S);
        sprite8.resize(S * S);
        argb.resize(S * S);
        for (int r = 0; r < S; ++r) {
            lineOffsets.push_back(uint16_t(runs.size()));
            int c = 0;
            auto opaqueAt = [&](int col) {
                const double dx = col - 15.5, dy = r - 15.5, d2 = dx * dx + dy * dy;
                return d2 <= 15.6 * 15.6 && d2 > 3.0 * 3.0;
            };
            for (int col = 0; col < S; ++col) {
                const bool o = opaqueAt(col);
                const size_t i = size_t(r * S + col);
                uint16_t v = uint16_t(rng());
                if (v == 0xF81F) v = 0xF81E;
                sprite16[i] = o ? v : uint16_t(0xF81F);
                sprite8[i] = o ? uint8_t(1 + rng() % 255) : uint8_t(0);
                argb[i] = o ? 0xFF000000u | uint32_t((v >> 11) << 3) << 16 | uint32_t(((v >> 5) & 63) << 2) << 8 |
                                  uint32_t((v & 31) << 3)
                            : 0u;
                transparent += !o;
            }
            while (c < S) {
                int t = 0;
                while (c < S && !opaqueAt(c)) ++c, ++t;
                runs.push_back(uint8_t(t));
                if (c >= S) break;
                int o = 0;
                while (c < S && opaqueAt(c)) ++c, ++o;
                runs.push_back(uint8_t(o));
            }
        }
        for (int i = 0; i < 4; ++i) runs.push_back(0xFF);
    }
};

Pictures& pics() {
    static Pictures p;
    return p;
}

void reset_clip() {
    zk_window[0] = {0, 0, W - 1, H - 1};
    zk_curwindow = 0;
    zk_cursprite = -1;
}

template <class F>
void timed(benchmark::State& state, const char* work, bool peer, int pixels, F&& body) {
    zk_timed(state, work, peer, pixels, body);
}
using Level = ZkBenchLevel;

// ---------------------------------------------------------------- peers' pictures
alignas(64) uint16_t peerScreen[W * H];

struct Peers {
    SDL_Surface* screen;
    SDL_Surface* full16;
    SDL_Surface* full8;
    SDL_Surface* solid;   // a full-screen black picture, for the fade
    SDL_Surface* sprite16;
    SDL_Surface* sprite8;
    pixman_image_t* pScreen;
    pixman_image_t* pFull16;
    pixman_image_t* pSprite;      // a8r8g8b8: the key as alpha 0, pixman's fast path
    pixman_image_t* pHalf;        // solid mask 0x80 (alpha 16 of 32)
    pixman_image_t* pFadeColour;  // black at half opacity
    std::vector<uint16_t> solidPixels;

    Peers() {
        Pictures& p = pics();
        screen = SDL_CreateRGBSurfaceWithFormatFrom(peerScreen, W, H, 16, W * 2, SDL_PIXELFORMAT_RGB565);
        full16 = SDL_CreateRGBSurfaceWithFormatFrom(p.full16.data(), W, H, 16, W * 2, SDL_PIXELFORMAT_RGB565);
        full8 = SDL_CreateRGBSurfaceWithFormatFrom(p.full8.data(), W, H, 8, W, SDL_PIXELFORMAT_INDEX8);
        solidPixels.assign(W * H, 0);
        solid = SDL_CreateRGBSurfaceWithFormatFrom(solidPixels.data(), W, H, 16, W * 2, SDL_PIXELFORMAT_RGB565);
        sprite16 = SDL_CreateRGBSurfaceWithFormatFrom(p.sprite16.data(), S, S, 16, S * 2, SDL_PIXELFORMAT_RGB565);
        sprite8 = SDL_CreateRGBSurfaceWithFormatFrom(p.sprite8.data(), S, S, 8, S, SDL_PIXELFORMAT_INDEX8);
        SDL_Color colours[256];
        for (int i = 0; i < 256; ++i) {
            const uint16_t c = p.palette[size_t(i)];
            colours[i] = {uint8_t((c >> 11) << 3), uint8_t(((c >> 5) & 63) << 2), uint8_t((c & 31) << 3), 255};
        }
        SDL_SetPaletteColors(full8->format->palette, colours, 0, 256);
        SDL_SetPaletteColors(sprite8->format->palette, colours, 0, 256);

        pScreen = pixman_image_create_bits(PIXMAN_r5g6b5, W, H, reinterpret_cast<uint32_t*>(peerScreen), W * 2);
        pFull16 = pixman_image_create_bits(PIXMAN_r5g6b5, W, H, reinterpret_cast<uint32_t*>(p.full16.data()), W * 2);
        pSprite = pixman_image_create_bits(PIXMAN_a8r8g8b8, S, S, p.argb.data(), S * 4);
        const pixman_color_t half = {0, 0, 0, 0x8000};
        pHalf = pixman_image_create_solid_fill(&half);
        pFadeColour = pixman_image_create_solid_fill(&half);
    }
};

Peers& peers() {
    static Peers p;
    return p;
}

// SDL blits of src at (x, y) onto the peers' screen.
void sdl_blit(SDL_Surface* src, int x, int y) {
    SDL_Rect d{x, y, src->w, src->h};
    SDL_BlitSurface(src, nullptr, peers().screen, &d);
}

void sdl_plain(SDL_Surface* s) {
    SDL_SetColorKey(s, SDL_FALSE, 0);
    SDL_SetSurfaceRLE(s, 0);
    SDL_SetSurfaceAlphaMod(s, 255);
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
}
void sdl_alpha(SDL_Surface* s, uint8_t a) {
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(s, a);
}
void sdl_key(SDL_Surface* s, uint32_t key, bool rle) {
    SDL_SetSurfaceRLE(s, rle ? 1 : 0);
    SDL_SetColorKey(s, rle ? (SDL_TRUE | SDL_RLEACCEL) : SDL_TRUE, key);
    SDL_SetSurfaceRLE(s, rle ? 1 : 0);
}

// A horizontal mirror about the sprite's own centre, for pixman.
void pixman_mirror(pixman_image_t* img, bool on) {
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_int_to_fixed(-1);
    t.matrix[0][2] = pixman_int_to_fixed(S);
    pixman_image_set_transform(img, on ? &t : nullptr);  // none: the plain OVER fast path
    pixman_image_set_filter(img, PIXMAN_FILTER_NEAREST, nullptr, 0);
}

// ---------------------------------------------------------------- the floor
void BM_Memcpy_Frame(benchmark::State& state) {
    timed(state, "memcpy", true, W * H,
          [&] { std::memcpy(zk_buffer, pics().full16.data(), sizeof zk_buffer); });
}
BENCHMARK(BM_Memcpy_Frame);

// ---------------------------------------------------------------- full-screen 16-bit copy
void BM_Peer_SDL_Full16(benchmark::State& state) {
    sdl_plain(peers().full16);
    timed(state, "full16", true, W * H, [&] { sdl_blit(peers().full16, 0, 0); });
}
void BM_Peer_Pixman_Full16(benchmark::State& state) {
    Peers& p = peers();
    timed(state, "full16", true, W * H,
          [&] { pixman_image_composite32(PIXMAN_OP_SRC, p.pFull16, nullptr, p.pScreen, 0, 0, 0, 0, 0, 0, W, H); });
}
void BM_Ours_Full16(benchmark::State& state) {
    reset_clip();
    const uint16_t* src = pics().full16.data();
    timed(state, "full16", false, W * H, [&] { ZK_Copy16bitFastCopy(src, W, H, 0, 0, 32); });
    // The floor for this case is memcpy of the frame.
    if (auto it = zk_peer_best().find("memcpy"); it != zk_peer_best().end())
        state.counters["ours_over_memcpy"] = state.counters["ns_per_call"] / it->second;
}
BENCHMARK(BM_Peer_SDL_Full16);
BENCHMARK(BM_Peer_Pixman_Full16);
BENCHMARK(BM_Ours_Full16);

void BM_Peer_SDL_Full16Alpha16(benchmark::State& state) {
    sdl_plain(peers().full16);
    sdl_alpha(peers().full16, 128);
    timed(state, "full16a16", true, W * H, [&] { sdl_blit(peers().full16, 0, 0); });
    sdl_plain(peers().full16);
}
void BM_Peer_Pixman_Full16Alpha16(benchmark::State& state) {
    Peers& p = peers();
    timed(state, "full16a16", true, W * H, [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, p.pFull16, p.pHalf, p.pScreen, 0, 0, 0, 0, 0, 0, W, H);
    });
}
void BM_Ours_Full16Alpha16(benchmark::State& state) {
    reset_clip();
    const uint16_t* src = pics().full16.data();
    timed(state, "full16a16", false, W * H, [&] { ZK_Copy16bitFastCopy(src, W, H, 0, 0, 16); });
}
BENCHMARK(BM_Peer_SDL_Full16Alpha16);
BENCHMARK(BM_Peer_Pixman_Full16Alpha16);
BENCHMARK(BM_Ours_Full16Alpha16);

// ---------------------------------------------------------------- full-screen 8-bit copy
void BM_Peer_SDL_Full8(benchmark::State& state) {
    sdl_plain(peers().full8);
    timed(state, "full8", true, W * H, [&] { sdl_blit(peers().full8, 0, 0); });
}
void BM_Ours_Full8(benchmark::State& state) {
    reset_clip();
    const Level level(state.range(0));
    const Pictures& p = pics();
    timed(state, "full8", false, W * H,
          [&] { ZK_Copy8bitFastCopy(p.full8.data(), p.palette.data(), W, H, 0, 0, 32); });
}
BENCHMARK(BM_Peer_SDL_Full8);
BENCHMARK(BM_Ours_Full8)->ArgName("level")->Arg(2)->Arg(1)->Arg(0);

void BM_Peer_SDL_Full8Alpha16(benchmark::State& state) {
    sdl_plain(peers().full8);
    sdl_alpha(peers().full8, 128);
    timed(state, "full8a16", true, W * H, [&] { sdl_blit(peers().full8, 0, 0); });
    sdl_plain(peers().full8);
}
void BM_Ours_Full8Alpha16(benchmark::State& state) {
    reset_clip();
    const Pictures& p = pics();
    timed(state, "full8a16", false, W * H,
          [&] { ZK_Copy8bitFastCopy(p.full8.data(), p.palette.data(), W, H, 0, 0, 16); });
}
BENCHMARK(BM_Peer_SDL_Full8Alpha16);
BENCHMARK(BM_Ours_Full8Alpha16);

// ---------------------------------------------------------------- 32 x 32 keyed copies
// Ours by run list and by key test (the ToScreen routines unmirrored), against
// SDL's colour key with and without its run-length acceleration and pixman's
// a8r8g8b8 OVER, its fast path for a sprite with transparent pixels.
void BM_Peer_SDL_Keyed16(benchmark::State& state) {
    const bool rle = state.range(0) != 0;
    const uint8_t alpha = uint8_t(state.range(1));
    SDL_Surface* s = peers().sprite16;
    sdl_plain(s);
    sdl_key(s, 0xF81F, rle);
    if (alpha != 255) sdl_alpha(s, alpha);
    timed(state, alpha == 255 ? "rle16" : "rle16a16", true, S * S, [&] { sdl_blit(s, SX, SY); });
    sdl_plain(s);
}
void BM_Peer_Pixman_Keyed16(benchmark::State& state) {
    Peers& p = peers();
    pixman_mirror(p.pSprite, false);
    pixman_image_t* mask = state.range(0) == 32 ? nullptr : p.pHalf;
    timed(state, state.range(0) == 32 ? "rle16" : "rle16a16", true, S * S, [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, p.pSprite, mask, p.pScreen, 0, 0, 0, 0, SX, SY, S, S);
    });
}
void BM_Ours_RLE16(benchmark::State& state) {
    reset_clip();
    const Level level(state.range(1));
    const Pictures& p = pics();
    const int alpha = int(state.range(0));
    timed(state, alpha == 32 ? "rle16" : "rle16a16", false, S * S, [&] {
        ZK_Copy16bitRLE(p.sprite16.data(), p.runs.data(), p.lineOffsets.data(), S, S, SX, SY, alpha);
    });
}
void BM_Ours_KeyTest16(benchmark::State& state) {
    reset_clip();
    const Level level(state.range(1));
    const Pictures& p = pics();
    const int alpha = int(state.range(0));
    timed(state, alpha == 32 ? "rle16" : "rle16a16", false, S * S,
          [&] { ZK_Copy16bitToScreen(p.sprite16.data(), S, S, SX, SY, alpha, 0, 0); });
}
BENCHMARK(BM_Peer_SDL_Keyed16)->ArgNames({"rle", "alpha"})->Args({0, 255})->Args({1, 255})->Args({0, 128})->Args({1, 128});
BENCHMARK(BM_Peer_Pixman_Keyed16)->ArgName("alpha")->Arg(32)->Arg(16);
BENCHMARK(BM_Ours_RLE16)->ArgNames({"alpha", "level"})->ArgsProduct({{32, 16}, {2, 1, 0}});
BENCHMARK(BM_Ours_KeyTest16)->ArgNames({"alpha", "level"})->ArgsProduct({{32, 16}, {2, 1, 0}});

void BM_Peer_SDL_Keyed8(benchmark::State& state) {
    const bool rle = state.range(0) != 0;
    const uint8_t alpha = uint8_t(state.range(1));
    SDL_Surface* s = peers().sprite8;
    sdl_plain(s);
    sdl_key(s, 0, rle);
    if (alpha != 255) sdl_alpha(s, alpha);
    timed(state, alpha == 255 ? "rle8" : "rle8a16", true, S * S, [&] { sdl_blit(s, SX, SY); });
    sdl_plain(s);
}
void BM_Ours_RLE8(benchmark::State& state) {
    reset_clip();
    const Level level(state.range(1));
    const Pictures& p = pics();
    const int alpha = int(state.range(0));
    timed(state, alpha == 32 ? "rle8" : "rle8a16", false, S * S, [&] {
        ZK_Copy8bitRLE(p.sprite8.data(), p.palette.data(), p.runs.data(), p.lineOffsets.data(), S, S, SX, SY,
                       alpha);
    });
}
void BM_Ours_KeyTest8(benchmark::State& state) {
    reset_clip();
    const Level level(state.range(1));
    const Pictures& p = pics();
    const int alpha = int(state.range(0));
    timed(state, alpha == 32 ? "rle8" : "rle8a16", false, S * S,
          [&] { ZK_Copy8bitToScreen(p.sprite8.data(), p.palette.data(), S, S, SX, SY, alpha, 0, 0); });
}
BENCHMARK(BM_Peer_SDL_Keyed8)->ArgNames({"rle", "alpha"})->Args({0, 255})->Args({1, 255})->Args({0, 128})->Args({1, 128});
BENCHMARK(BM_Ours_RLE8)->ArgNames({"alpha", "level"})->ArgsProduct({{32, 16}, {2, 1, 0}});
BENCHMARK(BM_Ours_KeyTest8)->ArgNames({"alpha", "level"})->ArgsProduct({{32, 16}, {2, 1, 0}});

// ---------------------------------------------------------------- 32 x 32 mirrored keyed copies
// The peer is pixman's fast path for a flip: the a8r8g8b8 sprite under a
// mirror transform, nearest filter; ours of both depths are set against it.
void BM_Peer_Pixman_Mirrored(benchmark::State& state) {
    Peers& p = peers();
    pixman_mirror(p.pSprite, true);
    timed(state, state.range(0) == 32 ? "mirror" : "mirror_a16", true, S * S, [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, p.pSprite, state.range(0) == 32 ? nullptr : p.pHalf, p.pScreen, 0,
                                 0, 0, 0, SX, SY, S, S);
    });
    pixman_mirror(p.pSprite, false);
}
void BM_Ours_Mirrored16(benchmark::State& state) {
    reset_clip();
    const Level level(state.range(1));
    const Pictures& p = pics();
    const int alpha = int(state.range(0));
    timed(state, alpha == 32 ? "mirror" : "mirror_a16", false, S * S,
          [&] { ZK_Copy16bitToScreen(p.sprite16.data(), S, S, SX, SY, alpha, 1, 0); });
}
void BM_Ours_Mirrored8(benchmark::State& state) {
    reset_clip();
    const Level level(state.range(1));
    const Pictures& p = pics();
    const int alpha = int(state.range(0));
    timed(state, alpha == 32 ? "mirror" : "mirror_a16", false, S * S,
          [&] { ZK_Copy8bitToScreen(p.sprite8.data(), p.palette.data(), S, S, SX, SY, alpha, 1, 0); });
}
BENCHMARK(BM_Peer_Pixman_Mirrored)->ArgName("alpha")->Arg(32)->Arg(16);
BENCHMARK(BM_Ours_Mirrored16)->ArgNames({"alpha", "level"})->ArgsProduct({{32, 16}, {2, 1, 0}});
BENCHMARK(BM_Ours_Mirrored8)->ArgNames({"alpha", "level"})->ArgsProduct({{32, 16}, {2, 1, 0}});

// ---------------------------------------------------------------- full-screen fade and the empty frame
void BM_Peer_SDL_Fade(benchmark::State& state) {
    SDL_Surface* s = peers().solid;
    sdl_plain(s);
    sdl_alpha(s, 128);
    timed(state, "fade", true, W * H, [&] { sdl_blit(s, 0, 0); });
    sdl_plain(s);
}
void BM_Peer_Pixman_Fade(benchmark::State& state) {
    Peers& p = peers();
    timed(state, "fade", true, W * H, [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, p.pFadeColour, nullptr, p.pScreen, 0, 0, 0, 0, 0, 0, W, H);
    });
}
void BM_Ours_Fade(benchmark::State& state) {
    zk_fade = Fade{16, 0, 0, 0, 0, W - 1, H - 1};
    timed(state, "fade", false, W * H, [&] { zk_dotransp(); });
    zk_fade.level = 32;
}
BENCHMARK(BM_Peer_SDL_Fade);
BENCHMARK(BM_Peer_Pixman_Fade);
BENCHMARK(BM_Ours_Fade);

void BM_Peer_SDL_Clear(benchmark::State& state) {
    timed(state, "clear", true, W * H, [&] { SDL_FillRect(peers().screen, nullptr, 0x1234); });
}
void BM_Peer_Pixman_Clear(benchmark::State& state) {
    timed(state, "clear", true, W * H,
          [&] { pixman_fill(reinterpret_cast<uint32_t*>(peerScreen), W / 2, 16, 0, 0, W, H, 0x1234); });
}
void BM_Ours_EmptyFrame(benchmark::State& state) {
    // No sprites, no layers: the whole frame is cleared, and the 1024
    // priorities are walked.
    zk_minsprite = 4096;
    zk_maxsprite = -1;
    for (BgLayer& b : zk_bg) b.used = 0;
    zk_fade.level = 32;
    zk_bgcolor = 0x1234;
    timed(state, "clear", false, W * H, [&] { zk_whenrefresh(); });
    zk_bgcolor = 0;
}
BENCHMARK(BM_Peer_SDL_Clear);
BENCHMARK(BM_Peer_Pixman_Clear);
BENCHMARK(BM_Ours_EmptyFrame);

}  // namespace
