// What each fuzz target adds to the shared support: its seed inputs. The
// support unit sets up the headless device before the first input and, when
// the environment variable ZK_FUZZ_SEEDS names a folder, writes the seeds
// there (seed_000, seed_001, ...) and exits instead of fuzzing.
#pragma once

#include <cstdint>
#include <vector>

// Small valid inputs that reach the target's interesting paths.
std::vector<std::vector<uint8_t>> zk_fuzz_seeds();

// The application's layer hook (zk_DoVect) calls this when it is set.
extern void (*zk_fuzz_dovect)(uint8_t layer);
