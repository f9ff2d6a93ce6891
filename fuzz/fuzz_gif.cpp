// Arbitrary bytes through the three sized GIF loaders, with code run by the
// frame loop during their animation waits as a game's hook would run it, then
// everything they made drawn (so the run lists and layer records are used as
// the blitters trust them) and released.
//
// Input: 3 control bytes, then the GIF.
//   0  firstFrame = (b & 7) - 1, lastFrame = (b >> 3) - 1
//   1  bits 0-2: the playback speed the hook sets (table below); bits 3-4:
//      the loaders, 0 all three in turn, 1 ZK_GifToSprite, 2 ZK_BgLoadGif,
//      3 ZK_BgLoadGif16bit
//   2  bits 0-2: what the hook does once, at the refresh numbered b >> 3:
//      nothing, pause for 3 refreshes, stop, delete the layer being loaded,
//      load that layer again from the same data (a nested decode into it),
//      load a sprite from the same data, load the layer again at the other
//      depth, release every image and layer
// The hook runs once a refresh (after layer 15, a vector layer kept loaded).
// Past 40 refreshes it ends every wait at its next refresh, past 256 it stops
// the playback, so that long delays cost little.
#include <cstddef>
#include <cstdint>

#include "ZKlib.h"
#include "gif_maker.h"
#include "zk_fuzz.h"

namespace {

constexpr uint8_t CLOCK_LAYER = 15;
constexpr float SPEEDS[8] = {1.0f, 0.5f, 2.0f, 0.25f, 3.0f, 60.0f, 0.0f, 1e9f};

enum Action : uint8_t { NOTHING, PAUSE, STOP, DELETE, RELOAD, SPRITE, OTHER_DEPTH, RELEASE_ALL };

struct Run {
    const uint8_t* gif;
    size_t size;
    float speed;
    Action action;
    uint32_t at;
    uint8_t layer;      // the layer being loaded (1 or 2), or 1 for a sprite
    uint32_t ticks;     // refreshes so far
    uint32_t resumeAt;  // when a pause ends
    bool fired;
} run;

void load(int which, uint8_t layer) {
    run.layer = layer;
    if (which == 0) {
        ZK_GifToSprite(run.gif, run.size);
    } else if (which == 1) {
        ZK_BgLoadGif(layer, run.gif, run.size);
    } else {
        ZK_BgLoadGif16bit(layer, run.gif, run.size);
    }
}

void act() {
    switch (run.action) {
        case NOTHING: break;
        case PAUSE:
            ZK_GifInfo.state = 2;
            run.resumeAt = run.ticks + 3;
            break;
        case STOP: ZK_GifInfo.state = 0; break;
        case DELETE: ZK_BgDelete(run.layer); break;
        case RELOAD: load(run.layer == 2 ? 2 : 1, run.layer); break;
        case SPRITE: load(0, run.layer); break;
        case OTHER_DEPTH: load(run.layer == 2 ? 1 : 2, run.layer); break;
        case RELEASE_ALL:
            zk_cleanspritealloc();
            ZK_ResetBg();
            ZK_LoadVectoBg(CLOCK_LAYER);
            break;
    }
}

void hook(uint8_t layer) {
    if (layer != CLOCK_LAYER) return;
    ++run.ticks;
    if (run.resumeAt && run.ticks >= run.resumeAt && ZK_GifInfo.state == 2) ZK_GifInfo.state = 1;
    if (run.ticks > 256) {
        ZK_GifInfo.state = 0;
    } else if (run.ticks > 40) {
        ZK_GifInfo.speed = 1e30f;
        if (ZK_GifInfo.state == 2) ZK_GifInfo.state = 1;
    } else {
        ZK_GifInfo.speed = run.speed;
    }
    if (!run.fired && run.ticks > run.at) {
        run.fired = true;
        act();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    run = Run{data + 3, size - 3, SPEEDS[data[1] & 7], Action(data[2] & 7), uint32_t(data[2] >> 3), 1, 0, 0, false};
    zk_fuzz_dovect = hook;
    ZK_LoadVectoBg(CLOCK_LAYER);
    const int loaders = (data[1] >> 3) & 3;
    for (int which = 0; which < 3; ++which) {
        if (loaders && loaders != which + 1) continue;
        ZK_GifInfo.firstFrame = int32_t(data[0] & 7) - 1;
        ZK_GifInfo.lastFrame = int32_t(data[0] >> 3) - 1;
        load(which, uint8_t(which == 2 ? 2 : 1));
    }
    zk_fuzz_dovect = nullptr;

    // Draw whatever is left: images registered by the loads and the hook, and
    // both layers, the 16-bit one through both of its blitters.
    for (uint16_t i = 0; i < zk_nsprite_alloc; ++i) {
        const SpriteImage* im = zk_sprite_alloc[i];
        const auto* px = static_cast<const uint8_t*>(im->pixels);
        if (im->opaque)
            ZK_Copy8bitFastCopy(px, im->palette, im->width, im->height, -3, -2, 32);
        else
            ZK_Copy8bitRLE(px, im->palette, im->runs, im->lineOffsets, im->width, im->height, 5, -7, 20);
        ZK_Copy8bitToScreen(px, im->palette, im->width, im->height, -1, 3, 32, 1, 1);
    }
    ZK_ShowBg(1);
    ZK_ShowBg(2);
    zk_bg[2].plain = uint8_t(!zk_bg[2].plain);
    ZK_ShowBg(2);
    zk_cleanspritealloc();
    ZK_ResetBg();
    return 0;
}

namespace {

std::vector<uint32_t> colours(int n, int key1 = -1, int key2 = -1) {
    std::vector<uint32_t> c;
    for (int i = 0; i < n; ++i) c.push_back(uint32_t(i * 37 % 256) << 16 | uint32_t(i * 91 % 256) << 8 | uint32_t(i));
    for (int k : {key1, key2})
        if (k >= 0 && k < n) c[size_t(k)] = 0xFF00FF;
    return c;
}

std::vector<uint8_t> pattern(int w, int h, int n, int seed) {
    std::vector<uint8_t> p(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p[size_t(y * w + x)] = uint8_t(((x / 3 + y / 2 + seed) ^ (x * y)) % n);
    return p;
}

ZkGifFrame frame(int l, int t, int w, int h, int n, int seed) {
    ZkGifFrame f;
    f.left = l, f.top = t, f.width = w, f.height = h;
    f.pixels = pattern(w, h, n, seed);
    return f;
}

std::vector<uint8_t> with(uint8_t b0, uint8_t b1, uint8_t b2, std::vector<uint8_t> gif) {
    gif.insert(gif.begin(), {b0, b1, b2});
    return gif;
}

}  // namespace

std::vector<std::vector<uint8_t>> zk_fuzz_seeds() {
    std::vector<std::vector<uint8_t>> s;
    auto plain = [&](std::vector<uint8_t> gif) { s.push_back(with(1 | 1 << 3, 0, 0, std::move(gif))); };
    plain(zk_make_gif(16, 16, colours(16), pattern(16, 16, 16, 0)));            // 16 colours, no key
    plain(zk_make_gif(24, 20, colours(256, 0), pattern(24, 20, 256, 1)));      // 256, key at 0
    plain(zk_make_gif(13, 7, colours(16, 5), pattern(13, 7, 16, 2)));          // odd size, key at 5
    plain(zk_make_gif(9, 11, colours(16, 3, 9), pattern(9, 11, 16, 3)));       // the key twice
    {
        ZkGifFrame f = frame(0, 0, 10, 10, 8, 4);
        f.interlace = true;
        plain(zk_make_gif(10, 10, colours(8, 0), {f}));                         // interlaced
        f = frame(1, 2, 5, 3, 4, 7);
        f.interlace = true;
        plain(zk_make_gif(7, 6, colours(4), {f}));                              // interlaced, placed
    }
    {
        ZkGifFrame a = frame(0, 0, 12, 12, 4, 5), b = frame(2, 3, 6, 5, 16, 6);
        b.colours = colours(16, 5);                                             // a local colour map
        plain(zk_make_gif(12, 12, colours(4), {a, b}));
    }
    plain(zk_make_gif(255, 3, colours(2, 0), pattern(255, 3, 2, 11)));         // long lines of short runs
    plain(zk_make_gif(1, 1, colours(2), pattern(1, 1, 2, 0)));                 // the smallest

    // Animated: frames with delays, each with its own local map, played
    // from several first frames with the hook's actions at the second wait.
    ZkGifFrame a = frame(0, 0, 8, 8, 4, 8), b = frame(1, 1, 4, 4, 4, 9), c = frame(4, 4, 4, 4, 4, 10);
    a.delay = 0, b.delay = 5, c.delay = 10;
    b.colours = colours(4, 1), c.colours = colours(8);
    const auto animated = zk_make_gif(8, 8, colours(4, 0), {a, b, c});
    for (uint8_t action = 0; action < 8; ++action)
        for (uint8_t loaders : {1, 2, 3})
            s.push_back(with(uint8_t(2 | 9 << 3), uint8_t(action % 6 | loaders << 3), uint8_t(action | 1 << 3), animated));
    s.push_back(with(0, 0, 0, animated));  // the first wait stops the playback
    return s;
}
