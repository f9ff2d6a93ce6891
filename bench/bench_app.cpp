// The two functions every program on the engine defines, for the benchmark
// binary: it never runs the shell, and draws no vector layers.
#include "ZKlib.h"

int zk_main() { return 0; }
void zk_DoVect(uint8_t) {}
