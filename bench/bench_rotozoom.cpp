// Rotated and zoomed sprites: each ZK_CopyRot routine beside what the same
// frame costs with SDL2_gfx (rotozoomSurface plus the blit of its result),
// pixman (a nearest-neighbour affine composite) and SDL2's software renderer
// (SDL_RenderCopyEx); a composition of 4096 run-list sprites; and a frame of
// 200 overlapping balls. Ours report "peer_over_ours" (bench_peers.h).
//
// Every case draws a square frame of side n holding a ball (a disc, the
// corners transparent) turned by about 30 degrees (43 units) and zoomed,
// centred on the 240 x 320 RGB565 screen.
#include <SDL.h>
#include <SDL2_rotozoom.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "ZKlib.h"
#include "bench_peers.h"

namespace {

constexpr int kAngle = 43;  // about 30 degrees
constexpr double kDegrees = kAngle * 360.0 / 512.0;

// A ball of side n in both depths: palette indices (0 outside the disc) and
// RGB565 (the key outside), with an ARGB copy for the peers.
struct Ball {
    int n;
    std::vector<uint8_t> indices;
    std::vector<uint16_t> colours;
    std::vector<uint32_t> argb;
    uint16_t palette[256];

    explicit Ball(int side) : n(side), indices(size_t(side) * side), colours(indices.size()), argb(indices.size()) {
        for (int i = 0; i < 256; ++i) palette[i] = uint16_t(((i >> 3) << 11) | ((i >> 2) << 5) | (31 - (i >> 3)));
        const double r = side / 2.0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const double dx = x + 0.5 - r, dy = y + 0.5 - r;
                const bool in = dx * dx + dy * dy <= r * r;
                const uint8_t index = in ? uint8_t(1 + (x * 7 + y * 3) % 255) : 0;
                const size_t k = size_t(y) * side + x;
                indices[k] = index;
                colours[k] = in ? palette[index] : zk_transpcolor;
                const uint16_t c = palette[index];
                argb[k] = in ? 0xFF000000u | (uint32_t((c >> 11) << 3) << 16) | (uint32_t(((c >> 5) & 63) << 2) << 8) |
                                   uint32_t((c & 31) << 3)
                             : 0;
            }
    }
};

Ball& ball(int n) {
    static std::vector<Ball*> balls;
    for (Ball* b : balls)
        if (b->n == n) return *b;
    balls.push_back(new Ball(n));
    return *balls.back();
}

// Pixels one draw leaves on a cleared screen: shown beside each time, so
// that the peers can be seen to draw the same ball.
template <typename Draw>
void countDrawn(benchmark::State& state, Draw draw) {
    std::fill(std::begin(zk_buffer), std::end(zk_buffer), uint16_t(0));
    draw();
    const auto lit = std::count_if(std::begin(zk_buffer), std::end(zk_buffer), [](uint16_t c) { return c != 0; });
    state.counters["drawn"] = double(lit);
}

void screenWindow() {
    for (ClipWindow& w : zk_window) w = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    zk_curwindow = 0;
    zk_cursprite = -1;
}

// The peers' work item of the same ball: the 8-bit keyed or the 16-bit
// keyed routine against the peers' 8-bit keyed or alpha-keyed source.
std::string rotWork(bool keyed8, int n, int zoom) {
    return (keyed8 ? "rot8/" : "rot16/") + std::to_string(n) + "/" + std::to_string(zoom);
}

// ---------------------------------------------------------------- peers

void peerArgs(benchmark::internal::Benchmark* b) {
    for (int keyed8 : {1, 0})
        for (int n : {16, 32, 128, 240})
            for (int zoom : {512, 1024, 1536, 2048}) b->Args({keyed8, n, zoom});
}

SDL_Surface* screenSurface() {
    static SDL_Surface* s = [] {
        SDL_Init(0);
        return SDL_CreateRGBSurfaceWithFormatFrom(zk_buffer, ZK_WIDTH, ZK_HEIGHT, 16, ZK_WIDTH * 2,
                                                  SDL_PIXELFORMAT_RGB565);
    }();
    return s;
}

// The source as SDL2_gfx takes it without converting: 8-bit with a palette
// and key 0, or 32-bit with alpha.
SDL_Surface* peerSource(Ball& b, bool keyed8) {
    SDL_Surface* s;
    if (keyed8) {
        s = SDL_CreateRGBSurfaceWithFormat(0, b.n, b.n, 8, SDL_PIXELFORMAT_INDEX8);
        SDL_Color colours[256];
        for (int i = 0; i < 256; ++i) {
            const uint16_t c = b.palette[i];
            colours[i] = {uint8_t((c >> 11) << 3), uint8_t(((c >> 5) & 63) << 2), uint8_t((c & 31) << 3), 255};
        }
        SDL_SetPaletteColors(s->format->palette, colours, 0, 256);
        for (int y = 0; y < b.n; ++y)
            std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, &b.indices[size_t(y) * b.n], size_t(b.n));
        SDL_SetColorKey(s, SDL_TRUE, 0);
    } else {
        s = SDL_CreateRGBSurfaceWithFormat(0, b.n, b.n, 32, SDL_PIXELFORMAT_ARGB8888);
        for (int y = 0; y < b.n; ++y)
            std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, &b.argb[size_t(y) * b.n], size_t(b.n) * 4);
        SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
    }
    return s;
}

// Arguments: 8-bit keyed (1) or 32-bit with alpha (0), side, zoom.
void BM_Peer_SDL2gfx_rotozoomSurface(benchmark::State& state) {
    const bool keyed8 = state.range(0);
    Ball& b = ball(int(state.range(1)));
    const double zoom = state.range(2) / 1024.0;
    SDL_Surface* screen = screenSurface();
    SDL_Surface* src = peerSource(b, keyed8);
    auto draw = [&] {
        SDL_Surface* turned = rotozoomSurface(src, kDegrees, zoom, SMOOTHING_OFF);
        if (keyed8) SDL_SetColorKey(turned, SDL_TRUE, 0);
        SDL_Rect at{120 - turned->w / 2, 160 - turned->h / 2, turned->w, turned->h};
        SDL_BlitSurface(turned, nullptr, screen, &at);
        SDL_FreeSurface(turned);
    };
    countDrawn(state, draw);
    zk_timed(state, rotWork(keyed8, b.n, int(state.range(2))), true, int64_t(state.counters["drawn"]), draw);
    SDL_FreeSurface(src);
}
BENCHMARK(BM_Peer_SDL2gfx_rotozoomSurface)->Apply(peerArgs);

void BM_Peer_SDL_RenderCopyEx(benchmark::State& state) {
    const bool keyed8 = state.range(0);
    Ball& b = ball(int(state.range(1)));
    const double zoom = state.range(2) / 1024.0;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_Renderer* r = SDL_CreateSoftwareRenderer(screenSurface());
    SDL_Surface* src = peerSource(b, keyed8);
    SDL_Texture* t = SDL_CreateTextureFromSurface(r, src);
    const int side = int(b.n * zoom);
    const SDL_Rect at{120 - side / 2, 160 - side / 2, side, side};
    auto draw = [&] {
        SDL_RenderCopyEx(r, t, nullptr, &at, -kDegrees, nullptr, SDL_FLIP_NONE);
        SDL_RenderFlush(r);
    };
    countDrawn(state, draw);
    zk_timed(state, rotWork(keyed8, b.n, int(state.range(2))), true, int64_t(state.counters["drawn"]), draw);
    SDL_DestroyTexture(t);
    SDL_FreeSurface(src);
    SDL_DestroyRenderer(r);
}
BENCHMARK(BM_Peer_SDL_RenderCopyEx)->Apply(peerArgs);

// pixman has no palettised or keyed source: the ball goes in as a8r8g8b8
// (the keyed case) or r5g6b5 (the opaque one) and is composited OVER the
// r5g6b5 screen through the inverse of the turn and zoom, nearest filter.
void BM_Peer_pixman_nearest_affine(benchmark::State& state) {
    const bool keyed = state.range(0);
    Ball& b = ball(int(state.range(1)));
    const double zoom = state.range(2) / 1024.0;
    pixman_image_t* screen =
        pixman_image_create_bits(PIXMAN_r5g6b5, ZK_WIDTH, ZK_HEIGHT, reinterpret_cast<uint32_t*>(zk_buffer),
                                 ZK_WIDTH * 2);
    std::vector<uint32_t> rgb16((size_t(b.n) * b.n + 1) / 2 + 1);
    std::memcpy(rgb16.data(), b.colours.data(), b.colours.size() * 2);
    pixman_image_t* src = keyed ? pixman_image_create_bits(PIXMAN_a8r8g8b8, b.n, b.n, b.argb.data(), b.n * 4)
                                : pixman_image_create_bits(PIXMAN_r5g6b5, b.n, b.n, rgb16.data(), b.n * 2);
    // Destination to source: about the screen centre, turn back and unzoom,
    // then move to the source centre.
    const double a = kAngle * 2.0 * std::numbers::pi / 512.0;
    const double c = std::cos(a) / zoom, s = std::sin(a) / zoom;
    const double cx = 120, cy = 160, h = b.n / 2.0;
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_double_to_fixed(c);
    t.matrix[0][1] = pixman_double_to_fixed(s);
    t.matrix[0][2] = pixman_double_to_fixed(h - c * cx - s * cy);
    t.matrix[1][0] = pixman_double_to_fixed(-s);
    t.matrix[1][1] = pixman_double_to_fixed(c);
    t.matrix[1][2] = pixman_double_to_fixed(h + s * cx - c * cy);
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
    const int box = std::min(int(b.n * zoom * 1.5), ZK_WIDTH);
    const int boxH = std::min(int(b.n * zoom * 1.5), ZK_HEIGHT);
    // Source coordinates given as screen ones, so the transform above maps
    // screen pixels straight to the ball.
    auto draw = [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, screen, 120 - box / 2, 160 - boxH / 2, 0, 0,
                                 120 - box / 2, 160 - boxH / 2, box, boxH);
    };
    countDrawn(state, draw);
    zk_timed(state, rotWork(keyed, b.n, int(state.range(2))), true, int64_t(state.counters["drawn"]), draw);
    pixman_image_unref(src);
    pixman_image_unref(screen);
}
BENCHMARK(BM_Peer_pixman_nearest_affine)->Apply(peerArgs);

// ---------------------------------------------------------------- ZKlib

// Arguments: routine, side, zoom, build level.
void BM_CopyRot(benchmark::State& state) {
    const int entry = int(state.range(0)), n = int(state.range(1)), zoom = int(state.range(2));
    const ZkBenchLevel level(state.range(3));
    Ball& b = ball(n);
    screenWindow();
    const void* pixels = entry < 4 ? static_cast<const void*>(b.indices.data()) : b.colours.data();
    const uint16_t* palette = entry < 4 ? b.palette : nullptr;
    const int alpha = (entry & 2) ? 20 : 32;
    auto draw = [&] { ZK_CopyRot[entry](pixels, palette, n, n, 120 - n / 2, 160 - n / 2, alpha, kAngle, zoom); };
    countDrawn(state, draw);
    const std::string work = entry == 0 || entry == 4 ? rotWork(entry == 0, n, zoom) : "";
    zk_timed(state, work, false, int64_t(state.counters["drawn"]), draw);
}

// Every build level for the 8- and 16-bit keyed routines at the headline
// size (128 x 128 at zoom 1.5), the top level for the rest.
void rotArgs(benchmark::internal::Benchmark* b) {
    for (int entry = 0; entry < 8; ++entry)
        for (int n : {16, 32, 128, 240})
            for (int zoom : {512, 1024, 1536, 2048})
                for (int level : {2, 1, 0})
                    if (level == 2 || ((entry == 0 || entry == 4) && n == 128 && zoom == 1536))
                        b->Args({entry, n, zoom, level});
}
BENCHMARK(BM_CopyRot)->Apply(rotArgs);

// ---------------------------------------------------------------- whole frames

// Run-list sprite images built from a transparency mask.
struct ListedImage {
    std::vector<uint8_t> pixels;
    std::vector<uint16_t> offsets;
    std::vector<uint8_t> runs;
    uint16_t palette[256];
    SpriteImage image{};

    ListedImage(int w, int h, const std::vector<uint8_t>& indices, const uint16_t* pal) : pixels(indices) {
        std::memcpy(palette, pal, sizeof palette);
        for (int y = 0; y < h; ++y) {
            offsets.push_back(uint16_t(runs.size()));
            bool opaque = false;
            for (int x = 0; x < w;) {
                int n = 0;
                while (x + n < w && (pixels[size_t(y) * w + x + n] != 0) == opaque) ++n;
                runs.push_back(uint8_t(n));
                x += n;
                opaque = !opaque;
            }
        }
        for (int i = 0; i < 4; ++i) runs.push_back(0xFF);
        image = {pixels.data(), offsets.data(), runs.data(), palette, 1, 0, w, h};
    }
};

void BM_Compose4096RunListSprites(benchmark::State& state) {
    ZK_Init();
    Ball& b = ball(16);
    static ListedImage img(16, 16, b.indices, b.palette);
    std::mt19937 rng(1);
    for (int i = 0; i < 4096; ++i) {
        ZK_CreateSprite(i, &img.image, 16, 16, int16_t(rng() % 240), int16_t(rng() % 320));
        zk_sprites[i]->priority = int16_t(rng() % 1024);
    }
    for (auto _ : state) {
        zk_whenrefresh();
        benchmark::ClobberMemory();
    }
    ZK_InitSprites();
}
BENCHMARK(BM_Compose4096RunListSprites);

// The game's frame: the full-screen 8-bit background, 200 turned and zoomed
// keyed balls of radius 8 to 40 (a 32 x 32 ball at zoom 512 to 2560), the
// cannon turned to its aim and four score digits.
struct GameScene {
    std::vector<uint8_t> background = std::vector<uint8_t>(ZK_WIDTH * ZK_HEIGHT);
    uint16_t bgPalette[256];
    ListedImage* cannon;
    ListedImage* digits;
    SpriteImage ballImage{};

    GameScene() {
        for (int i = 0; i < 256; ++i) bgPalette[i] = uint16_t(i * 0x0101);
        for (size_t k = 0; k < background.size(); ++k) background[k] = uint8_t(k * 13 / 7);
        Ball& b = ball(32);
        ballImage = {b.indices.data(), nullptr, nullptr, b.palette, 1, 0, 32, 32};
        std::vector<uint8_t> barrel(32 * 48);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 32; ++x)
                barrel[size_t(y) * 32 + x] = (x >= 10 && x < 22) || y > 32 ? uint8_t(5 + y) : 0;
        cannon = new ListedImage(32, 48, barrel, b.palette);
        std::vector<uint8_t> glyphs(16 * 160);
        for (size_t k = 0; k < glyphs.size(); ++k) glyphs[k] = (k * 7 % 5) ? uint8_t(200) : 0;
        digits = new ListedImage(16, 160, glyphs, b.palette);  // ten 16 x 16 frames
        std::mt19937 rng(3);
        for (int i = 0; i < 200; ++i) {
            ZK_CreateSprite(10 + i, &ballImage, 32, 32, int16_t(rng() % 240), int16_t(rng() % 280));
            const int radius = 8 + int(rng() % 33);
            zk_sprites[10 + i]->zoom = radius * 1024 / 16;
            zk_sprites[10 + i]->angle = int32_t(rng() % 512);
        }
        ZK_CreateSprite(1, &cannon->image, 32, 48, 120, 300);
        zk_sprites[1]->angle = 20;
        for (int i = 0; i < 4; ++i) {
            ZK_CreateSprite(2 + i, &digits->image, 16, 16, int16_t(180 + 16 * i), 12);
            zk_sprites[2 + i]->frame = int16_t(i * 3);
        }
    }
    void draw() {
        zk_curwindow = 0;
        zk_cursprite = -1;
        ZK_Copy8bitFastCopy(background.data(), bgPalette, ZK_WIDTH, ZK_HEIGHT, 0, 0, 32);
        for (int i = 0; i < 200; ++i) ZK_ShowSprite(uint16_t(10 + i));
        ZK_ShowSprite(1);
        for (int i = 0; i < 4; ++i) ZK_ShowSprite(uint16_t(2 + i));
    }
};

// The same scene through SDL2's software renderer: the background as one
// texture, the balls and the cannon with SDL_RenderCopyEx, the digits with
// SDL_RenderCopy (the ball picture stands in for the cannon and the digits).
void BM_Peer_GameFrame_SDL_Renderer(benchmark::State& state) {
    ZK_Init();
    GameScene scene;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_Renderer* r = SDL_CreateSoftwareRenderer(screenSurface());
    SDL_Surface* bg = SDL_CreateRGBSurfaceWithFormat(0, ZK_WIDTH, ZK_HEIGHT, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) {
        const uint16_t c = scene.bgPalette[i];
        colours[i] = {uint8_t((c >> 11) << 3), uint8_t(((c >> 5) & 63) << 2), uint8_t((c & 31) << 3), 255};
    }
    SDL_SetPaletteColors(bg->format->palette, colours, 0, 256);
    for (int y = 0; y < ZK_HEIGHT; ++y)
        std::memcpy(static_cast<uint8_t*>(bg->pixels) + y * bg->pitch, &scene.background[size_t(y) * ZK_WIDTH],
                    ZK_WIDTH);
    SDL_Texture* bgT = SDL_CreateTextureFromSurface(r, bg);
    SDL_Surface* ballS = peerSource(ball(32), true);
    SDL_Texture* ballT = SDL_CreateTextureFromSurface(r, ballS);
    zk_timed(state, "gameframe", true, 0, [&] {
        SDL_RenderCopy(r, bgT, nullptr, nullptr);
        for (int i = 0; i < 200; ++i) {
            const Sprite* s = zk_sprites[10 + i];
            const int side = 32 * s->zoom / 1024;
            const SDL_Rect at{s->x - side / 2, s->y - side / 2, side, side};
            SDL_RenderCopyEx(r, ballT, nullptr, &at, -s->angle * 360.0 / 512.0, nullptr, SDL_FLIP_NONE);
        }
        const SDL_Rect cannonAt{104, 276, 32, 48};
        SDL_RenderCopyEx(r, ballT, nullptr, &cannonAt, -20 * 360.0 / 512.0, nullptr, SDL_FLIP_NONE);
        for (int i = 0; i < 4; ++i) {
            const SDL_Rect at{172 + 16 * i, 4, 16, 16};
            SDL_RenderCopy(r, ballT, nullptr, &at);
        }
        SDL_RenderFlush(r);
    });
    SDL_DestroyTexture(ballT);
    SDL_DestroyTexture(bgT);
    SDL_FreeSurface(ballS);
    SDL_FreeSurface(bg);
    SDL_DestroyRenderer(r);
    ZK_InitSprites();
}
BENCHMARK(BM_Peer_GameFrame_SDL_Renderer);

void BM_GameFrame(benchmark::State& state) {
    ZK_Init();
    GameScene scene;
    zk_timed(state, "gameframe", false, 0, [&] { scene.draw(); });
    ZK_InitSprites();
}
BENCHMARK(BM_GameFrame);

}  // namespace
