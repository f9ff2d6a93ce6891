// What a fuzz target shares with the support unit, which sets up the
// headless device before the first input.
#pragma once

#include <cstdint>

// The application's layer hook (zk_DoVect) calls this when it is set.
extern void (*zk_fuzz_dovect)(uint8_t layer);
