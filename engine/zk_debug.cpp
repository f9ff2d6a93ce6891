// The debug text overlay (placeholder until the overlay unit lands).
#include "ZKlib.h"

int8_t zk_debug_bg = -1;

void ZK_DebugText(uint16_t, uint16_t, const char*, ...) {}
