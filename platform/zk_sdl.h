// The SDL2 desktop device.
#pragma once

#include "zk_device.h"

struct SDL_Window;

ZkDevice* zk_sdl_device();
// The open window (null while closed), for tests and tools.
SDL_Window* zk_sdl_window();

// Where a point of the open window (in SDL's window coordinates) falls on
// the device screen, through the current scale, letterbox and pixel ratio;
// points outside the picture land outside 0..239 x 0..319.
void zk_sdl_window_to_device(double windowX, double windowY, int* x, int* y);
// Tests: the drawable size to assume instead of the renderer's, as on a
// HiDPI display with more pixels than window points; 0 x 0 asks SDL again.
void zk_sdl_assume_output_size(int width, int height);
