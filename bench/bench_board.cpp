// The densest board the game reaches, composed as every frame is: Quib's own
// pictures and sprites, 199 balls at rest, one ball in flight, the score,
// the cannon, the quit button and the full-screen background. Ours
// (zk_whenrefresh) is set against SDL2's software renderer drawing the same
// sprites from the same decoded pictures.
//
// The board: 199 balls of radius 8 dropped on a hexagonal grid of 17-pixel
// steps (a random 199 of its 238 places), each then grown by Quib's own rule,
// one pixel of radius at a time while it touches neither a wall nor another
// ball; their pictures, zooms and turns are made by Quib_SetSize, as the game
// makes them.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "ZKlib.h"
#include "bench_peers.h"
#include "quib.h"

namespace {

constexpr int kResting = 199;

bool touching(const Ball& a, const Ball& b) {
    const int dx = a.x - b.x, dy = a.y - b.y, sum = a.radius + b.radius;
    return dx * dx + dy * dy < sum * sum;
}

bool canGrow(int k) {
    const Ball& b = quib_balls[k];
    const int r = b.radius;
    if (!(b.y - r > QUIB_TOP - 1 && b.y + r < QUIB_BOTTOM && b.x >= r + 1 && b.x <= ZK_WIDTH - 1 - r)) return false;
    for (int j = 0; j < kResting; ++j)
        if (j != k && touching(b, quib_balls[j])) return false;
    return true;
}

void setBall(int k, int x, int y, int radius, int count, int angle) {
    Ball& b = quib_balls[k];
    b = Ball{int16_t(x), int16_t(y), x * 256, y * 256, 0, uint16_t(radius), uint16_t(angle), int8_t(count)};
}

void buildBoard() {
    ZK_Init();
    Quib_Setup();
    zk_sprites[QUIB_SPR_GAMEOVER]->visible = 0;
    zk_sprites[QUIB_SPR_CANON]->angle = 100;
    std::vector<std::pair<int, int>> places;
    for (int row = 0; 28 + row * 14.73 <= 263; ++row)
        for (int x = 9 + (row % 2) * 8; x <= 231; x += 17) places.push_back({x, 28 + int(row * 14.73)});
    std::mt19937 rng(15);
    std::shuffle(places.begin(), places.end(), rng);
    for (int k = 0; k < QUIB_MAXBALLS; ++k) quib_balls[k].count = -1;
    for (int k = 0; k < kResting; ++k)
        setBall(k, places[size_t(k)].first, places[size_t(k)].second, 8, 1 + int(rng() % 3),
                16 + int(rng() % 225) - 128);
    for (bool grew = true; grew;) {
        grew = false;
        for (int k = 0; k < kResting; ++k)
            if (canGrow(k)) ++quib_balls[k].radius, grew = true;
    }
    setBall(kResting, 131, 290, 8, 3, 40 - 128);  // in flight, just out of the barrel
    quib_nballs = kResting + 1;
    for (int k = 0; k <= kResting; ++k) Quib_SetSize(k);
    score = 137;
    Quib_ShowScore(score);
}

void tearDown() {
    ZK_InitSprites();
    ZK_BgDelete(QUIB_BG_LAYER);
    zk_cleanspritealloc();
}

void BM_Peer_DenseBoard_SDL_Renderer(benchmark::State& state) {
    buildBoard();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    static uint16_t screen[ZK_WIDTH * ZK_HEIGHT];
    SDL_Surface* target =
        SDL_CreateRGBSurfaceWithFormatFrom(screen, ZK_WIDTH, ZK_HEIGHT, 16, ZK_WIDTH * 2, SDL_PIXELFORMAT_RGB565);
    SDL_Renderer* r = SDL_CreateSoftwareRenderer(target);
    // One texture per picture, from the decoded indices and palette, key 0
    // (the quit button, 16-bit, as it is).
    auto texture = [&](const SpriteImage* im) {
        SDL_Surface* s;
        if (im->depth == 2) {
            s = SDL_CreateRGBSurfaceWithFormatFrom(im->pixels, im->width, im->height, 16, im->width * 2,
                                                   SDL_PIXELFORMAT_RGB565);
            SDL_SetColorKey(s, SDL_TRUE, zk_transpcolor);
        } else {
            s = SDL_CreateRGBSurfaceWithFormatFrom(im->pixels, im->width, im->height, 8, im->width,
                                                   SDL_PIXELFORMAT_INDEX8);
            SDL_Color colours[256];
            for (int i = 0; i < 256; ++i) {
                const uint16_t c = im->palette[i];
                colours[i] = {uint8_t((c >> 11) << 3), uint8_t(((c >> 5) & 63) << 2), uint8_t((c & 31) << 3), 255};
            }
            SDL_SetPaletteColors(s->format->palette, colours, 0, 256);
            if (!im->opaque) SDL_SetColorKey(s, SDL_TRUE, 0);
        }
        SDL_Texture* t = SDL_CreateTextureFromSurface(r, s);
        SDL_FreeSurface(s);
        return t;
    };
    const BgLayer& bg = zk_bg[QUIB_BG_LAYER];
    SpriteImage bgImage{bg.pixels, nullptr, nullptr, bg.palette, 1, 1, bg.width, bg.height};
    SDL_Texture* bgT = texture(&bgImage);
    struct Drawn {
        SDL_Texture* t;
        const Sprite* s;
    };
    std::vector<Drawn> sprites;
    std::vector<std::pair<const void*, SDL_Texture*>> made;
    for (int i = zk_maxsprite; i >= zk_minsprite; --i) {
        const Sprite* s = zk_sprites[i];
        if (!s || !s->visible) continue;
        SDL_Texture* t = nullptr;
        for (auto& m : made)
            if (m.first == s->pixels) t = m.second;
        if (!t) {
            for (int k = 0; k < zk_nsprite_alloc; ++k)
                if (zk_sprite_alloc[k]->pixels == s->pixels) t = texture(zk_sprite_alloc[k]);
            if (!t) t = texture(&zk_quit);
            made.push_back({s->pixels, t});
        }
        sprites.push_back({t, s});
    }
    zk_timed(state, "board", true, 0, [&] {
        SDL_RenderCopy(r, bgT, nullptr, nullptr);
        for (const Drawn& d : sprites) {
            const Sprite* s = d.s;
            const SDL_Rect from{0, s->frame * s->height, s->width, s->height};
            const int w = s->width * s->zoom / 1024, h = s->height * s->zoom / 1024;
            const SDL_Rect at{s->x - w / 2, s->y - h / 2, w, h};
            SDL_RenderCopyEx(r, d.t, &from, &at, -s->angle * 360.0 / 512.0, nullptr, SDL_FLIP_NONE);
        }
        SDL_RenderFlush(r);
    });
    for (auto& m : made) SDL_DestroyTexture(m.second);
    SDL_DestroyTexture(bgT);
    SDL_DestroyRenderer(r);
    SDL_FreeSurface(target);
    tearDown();
}
BENCHMARK(BM_Peer_DenseBoard_SDL_Renderer);

void BM_DenseBoard(benchmark::State& state) {
    buildBoard();
    zk_timed(state, "board", false, 0, [] { zk_whenrefresh(); });
    int small = 0;
    for (int k = 0; k < kResting; ++k) small += quib_balls[k].radius <= 10;
    state.counters["radius_up_to_10"] = small;
    tearDown();
}
BENCHMARK(BM_DenseBoard);

}  // namespace
