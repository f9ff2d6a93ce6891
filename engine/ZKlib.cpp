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
