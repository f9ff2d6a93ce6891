// Fonts and text layout (placeholder until the text unit lands).
#include "ZKlib.h"

TextFont* zk_fonts[16];

void zk_cleanfonts() {}
