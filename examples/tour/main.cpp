// The tour program: the engine in the SDL window, with the tour's vector
// hook. Everything else is the tour library.
#include "ZKlib.h"
#include "tour.h"

// The engine calls this after drawing each background layer.
void zk_DoVect(uint8_t layer) { Tour_DrawVectors(layer); }

int main() { return Tour_Main(); }
