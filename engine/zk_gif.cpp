// GIF image loading (placeholder until the GIF unit lands).
#include "ZKlib.h"

SpriteImage* zk_sprite_alloc[1024];
uint16_t zk_nsprite_alloc;

void zk_cleanspritealloc() { zk_nsprite_alloc = 0; }
