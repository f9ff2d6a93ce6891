// A minimal program on the engine until the game lands: frames run through
// ZK_Refresh and a square follows the stylus until the window closes.
#include "ZKlib.h"

void zk_DoVect(uint8_t) {}

int main() {
    ZK_Init();
    for (;;) {
        for (auto& p : zk_buffer) p = 0x0000;
        uint16_t colour = stylusheld ? 0xFFE0 : 0x07FF;
        for (int y = stylusy - 4; y <= stylusy + 4; ++y)
            for (int x = stylusx - 4; x <= stylusx + 4; ++x)
                if (x >= 0 && x < ZK_WIDTH && y >= 0 && y < ZK_HEIGHT) zk_buffer[y * ZK_WIDTH + x] = colour;
        ZK_Refresh();
    }
}
