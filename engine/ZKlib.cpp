// Frame composition (placeholder until the composition unit lands).
#include "ZKlib.h"

ClipWindow zk_window[16];
CopyLimits zk_limits;
Fade zk_fade;
uint8_t zk_curwindow;
int16_t zk_cursprite = -1;
uint16_t zk_bgcolor;
int16_t prio_nsprite[1024];
int16_t prio_nextsprite[4096];
int8_t prio_nbg[1024];
int8_t prio_nextbg[16];
int32_t zk_minsprite = 4096;
int32_t zk_maxsprite = -1;

void ZK_Init() {
    ZK_InitStylus();
    ZK_InitSprites();
}
void zk_whenrefresh() {}

void ZK_SetWindowLimits(int n, int left, int top, int right, int bottom) {
    ClipWindow& w = zk_window[n & 15];
    w.left = int16_t(left);
    w.top = int16_t(top);
    w.right = int16_t(right);
    w.bottom = int16_t(bottom);
}
