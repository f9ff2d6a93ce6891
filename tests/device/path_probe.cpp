// Prints ZK_Path as the shell found it, for path_test.sh: a program like any
// other (the process entry and the shell), on the headless device.
#include <cstdio>

#include "ZKlib.h"

void zk_DoVect(uint8_t) {}

int main() {
    std::printf("%s\n", ZK_Path ? ZK_Path : "(null)");
    return 0;
}
