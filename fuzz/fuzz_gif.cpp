// Arbitrary bytes through the three GIF loaders, with a hook run by the frame
// loop during their animation waits (after vector layer 15) acting as a
// game's might, then all they made drawn, so that the run lists and layer
// records are used as the blitters trust them, and released.
// Input: 3 control bytes, then the GIF. Byte 0: firstFrame = (b & 7) - 1,
// lastFrame = (b >> 3) - 1. Byte 1, bits 0-2: the speed the hook sets. Byte
// 2: the Action in bits 0-2, taken once at refresh (b >> 3) + 1. Past 40
// refreshes each wait ends at its next, past 256 the playback stops.
#include "zk_test_support.h"

namespace {

constexpr float SPEEDS[8] = {1.0f, 0.5f, 2.0f, 0.25f, 3.0f, 60.0f, 0.0f, 1e9f};
// A pause lasts 3 refreshes; RELOAD decodes into the layer being loaded
// again at its depth, OTHER_DEPTH at the other.
enum Action : uint8_t { NOTHING, PAUSE, STOP, DELETE, RELOAD, SPRITE, OTHER_DEPTH, RELEASE_ALL };

const uint8_t* gif;
size_t size;
uint8_t layer;  // the layer being loaded: 1 for the sprite and 8-bit loaders, 2 for the 16-bit one

// depth 0: a sprite; 1 or 2: into the layer at 8 or 16 bits.
void load(int depth) {
    if (depth == 0) ZK_GifToSprite(gif, size);
    if (depth == 1) ZK_BgLoadGif(layer, gif, size);
    if (depth == 2) ZK_BgLoadGif16bit(layer, gif, size);
}

void act(Action action) {
    switch (action) {
        case NOTHING: break;
        case PAUSE: ZK_GifInfo.state = 2; break;
        case STOP: ZK_GifInfo.state = 0; break;
        case DELETE: ZK_BgDelete(layer); break;
        case RELOAD: load(layer); break;
        case SPRITE: load(0); break;
        case OTHER_DEPTH: load(3 - layer); break;
        case RELEASE_ALL:
            zk_cleanspritealloc();
            ZK_ResetBg();
            ZK_LoadVectoBg(15);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    if (n < 3) return 0;
    gif = data + 3;
    size = n - 3;
    const uint32_t at = (data[2] >> 3) + 1u;
    uint32_t ticks = 0;
    zk_window[0] = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    ZK_LoadVectoBg(15);
    zk_test_dovect = [&](uint8_t drawn) {
        if (drawn != 15) return;
        ++ticks;
        ZK_GifInfo.speed = ticks > 40 ? 1e30f : SPEEDS[data[1] & 7];
        if (ZK_GifInfo.state == 2 && (ticks > 40 || ticks == at + 3)) ZK_GifInfo.state = 1;
        if (ticks > 256) ZK_GifInfo.state = 0;
        if (ticks == at) act(Action(data[2] & 7));
    };
    for (int depth = 0; depth < 3; ++depth) {
        ZK_GifInfo.firstFrame = int32_t(data[0] & 7) - 1;
        ZK_GifInfo.lastFrame = int32_t(data[0] >> 3) - 1;
        layer = uint8_t(depth == 2 ? 2 : 1);
        load(depth);
    }
    zk_test_dovect = nullptr;

    // Whatever is left: each image through the blitters that take it, and
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
