// A program for measure_runtime.sh: an empty screen at the frame rate given
// by ZK_PROBE_FPS (40 when unset) that prints "pressed" and "released" on
// the frames whose Stylus says so, so a script can count how many of the
// clicks it sent the frame loop saw.
#include <cstdio>
#include <cstdlib>

#include "ZKlib.h"

void zk_DoVect(uint8_t) {}

int main() {
    const char* rate = std::getenv("ZK_PROBE_FPS");
    ZK_Init();
    ZK_SetFrameRate(rate ? uint32_t(std::atoi(rate)) : 40u);
    for (;;) {
        ZK_Refresh();
        if (Stylus.pressed) std::printf("pressed\n");
        if (Stylus.released) std::printf("released\n");
        if (Stylus.pressed || Stylus.released) std::fflush(stdout);
    }
}
