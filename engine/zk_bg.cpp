// Background layers (placeholder until the layer unit lands).
#include "ZKlib.h"

BgLayer zk_bg[16];

void ZK_BgDelete(uint8_t layer) { zk_bg[layer & 15].used = 0; }
void ZK_ResetBg() {
    for (int i = 0; i < 16; ++i) ZK_BgDelete(uint8_t(i));
}
void ZK_ShowBg(int8_t) {}
