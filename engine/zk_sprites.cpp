// The sprite table (placeholder until the sprite unit lands).
#include <cstdlib>

#include "ZKlib.h"

Sprite* zk_sprites[4096];

void ZK_InitSprites() {
    for (auto& s : zk_sprites) {
        std::free(s);
        s = nullptr;
    }
}
void ZK_ShowSprite(uint16_t) {}
