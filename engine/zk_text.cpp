// Fonts and text layout (placeholder until the text unit lands).
#include "ZKlib.h"

TextFont* zk_fonts[16];

void zk_cleanfonts() {}

// Text layers are drawn and released by the text unit; until it lands they
// draw nothing and hold nothing.
void ZK_ShowTextBg(uint8_t) {}
void ZK_ResetTextBg(uint8_t) {}
