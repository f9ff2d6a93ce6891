// The SDL2 desktop device.
#pragma once

#include <cstdint>

#include "zk_device.h"

ZkDevice* zk_sdl_device();
// The window icon: 16 x 16 RGB565 pixels, 0xF81F transparent. The pixels
// must stay valid while the program runs.
void zk_sdl_set_icon(const uint16_t* rgb565);
