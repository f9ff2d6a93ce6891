// Running the engine in tests: the headless device, a fresh layer and frame
// clock per run, and the application's two entry points (the game's main and
// the vector hook) routed to whatever the test sets.
#pragma once

#include <cstdint>
#include <functional>

#include "../platform/zk_headless.h"
#include "ZKlib.h"

// The layer-drawing hook the engine calls after every layer; null: nothing.
extern std::function<void(uint8_t layer)> zk_test_dovect;

// Runs WinMain with body as the game's main and returns WinMain's result, on
// a fresh layer, headless device (clock 0, step 1 ms, no script) and frame
// clock, as at program start. The shell's start-up and clean-up run around it.
// setup, when given, runs on the fresh platform before WinMain (to create
// shell windows or queue events, say).
int zk_test_run(const std::function<int()>& body, const std::function<void()>& setup = nullptr);

// The RGB565 blend as the rules give it: each channel of d moves toward k by
// alpha / 32, rounding down (alpha 32 gives k, 0 leaves d).
uint16_t zk_test_blend(uint16_t k, uint16_t d, int alpha);
