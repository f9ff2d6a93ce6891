// Arbitrary bytes through the three sized GIF loaders, then everything they
// made drawn (so the run lists and layer records are used as the blitters
// trust them) and released.
#include <cstddef>
#include <cstdint>

#include "ZKlib.h"
#include "gif_maker.h"
#include "zk_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZK_GifInfo.firstFrame = ZK_GifInfo.lastFrame = 0;
    if (SpriteImage* im = ZK_GifToSprite(data, size)) {
        const auto* px = static_cast<const uint8_t*>(im->pixels);
        if (im->opaque)
            ZK_Copy8bitFastCopy(px, im->palette, im->width, im->height, -3, -2, 32);
        else
            ZK_Copy8bitRLE(px, im->palette, im->runs, im->lineOffsets, im->width, im->height, 5, -7, 20);
        ZK_Copy8bitToScreen(px, im->palette, im->width, im->height, -1, 3, 32, 1, 1);
    }
    ZK_BgLoadGif(1, data, size);
    ZK_BgLoadGif16bit(2, data, size);
    ZK_ShowBg(1);
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

}  // namespace

std::vector<std::vector<uint8_t>> zk_fuzz_seeds() {
    std::vector<std::vector<uint8_t>> s;
    s.push_back(zk_make_gif(16, 16, colours(16), pattern(16, 16, 16, 0)));            // 16 colours, no key
    s.push_back(zk_make_gif(24, 20, colours(256, 0), pattern(24, 20, 256, 1)));      // 256, key at 0
    s.push_back(zk_make_gif(13, 7, colours(16, 5), pattern(13, 7, 16, 2)));          // odd size, key at 5
    s.push_back(zk_make_gif(9, 11, colours(16, 3, 9), pattern(9, 11, 16, 3)));       // the key twice
    {
        ZkGifFrame f = frame(0, 0, 10, 10, 8, 4);
        f.interlace = true;
        s.push_back(zk_make_gif(10, 10, colours(8, 0), {f}));                         // interlaced
        f = frame(0, 0, 5, 3, 4, 7);
        f.interlace = true;
        s.push_back(zk_make_gif(5, 3, colours(4), {f}));                              // interlaced, 3 rows
    }
    {
        ZkGifFrame a = frame(0, 0, 12, 12, 4, 5), b = frame(2, 3, 6, 5, 16, 6);
        b.colours = colours(16, 5);                                                   // a local colour map
        s.push_back(zk_make_gif(12, 12, colours(4), {a, b}));
    }
    {
        ZkGifFrame a = frame(0, 0, 8, 8, 4, 8), b = frame(1, 1, 4, 4, 4, 9), c = frame(4, 4, 4, 4, 4, 10);
        a.delay = 0, b.delay = 5, c.delay = 10;                                       // animated, with delays
        s.push_back(zk_make_gif(8, 8, colours(4, 0), {a, b, c}));
    }
    s.push_back(zk_make_gif(255, 3, colours(2, 0), pattern(255, 3, 2, 11)));         // long lines of short runs
    s.push_back(zk_make_gif(1, 1, colours(2), pattern(1, 1, 2, 0)));                 // the smallest
    return s;
}
