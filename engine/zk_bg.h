// The layer unit's own declarations, for the engine and its tests.
#pragma once

#include <cstdint>

#include "ZKlib.h"

// The map cells ZK_ShowTileBg visits: rows firstRow .. endRow - 1 and columns
// firstColumn .. endColumn - 1 (empty when an end is not above its first).
struct ZkTileRange {
    int32_t firstRow;
    int32_t endRow;
    int32_t firstColumn;
    int32_t endColumn;
};

ZkTileRange zk_tilerange(const BgLayer& layer);

// Counts the releases of each layer: ZK_BgDelete, and so every loader, adds
// one. A GIF loader whose decode waits in the frame loop compares it to tell
// whether code run there released or replaced the layer it writes into.
extern uint32_t zk_bgstamp[16];
