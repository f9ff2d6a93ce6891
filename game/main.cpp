// The Quib program: the window's icon, then the game.
#include <vector>

#include "ZKlib.h"
#include "quib.h"

// The engine calls this after drawing each background layer; Quib draws
// nothing there.
void zk_DoVect(uint8_t) {}

int main() {
    // The icon picture through the engine's own decoder: its key colour
    // lands on palette entry 0, which holds zk_transpcolor, so the RGB565
    // pixels keep the key where the picture is transparent.
    if (const SpriteImage* icon = ZK_GifToSprite(quib_icon, quib_icon_size)) {
        const auto* index = static_cast<const uint8_t*>(icon->pixels);
        std::vector<uint16_t> pixels(size_t(icon->width) * size_t(icon->height));
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = icon->palette[index[i]];
        ZK_SetWindowIcon(pixels.data(), icon->width, icon->height);
    }
    return Quib_Main();
}
