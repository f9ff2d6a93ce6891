#include <cstdio>
#include <cstdlib>
#include <string>

#include "../platform/zk_headless.h"
#include "ZKlib.h"
#include "zk_fuzz.h"
#include "zk_w32main.h"

// The application's two entry points: no game runs under the fuzzer, and
// the layer hook is the target's.
void (*zk_fuzz_dovect)(uint8_t layer);
int zk_main() { return 0; }
void zk_DoVect(uint8_t layer) {
    if (zk_fuzz_dovect) zk_fuzz_dovect(layer);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* dir = std::getenv("ZK_FUZZ_SEEDS")) {
        int n = 0;
        for (const auto& seed : zk_fuzz_seeds()) {
            char name[32];
            std::snprintf(name, sizeof name, "/seed_%03d", n++);
            const std::string path = std::string(dir) + name;
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f || std::fwrite(seed.data(), 1, seed.size(), f) != seed.size()) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                std::exit(1);
            }
            std::fclose(f);
        }
        std::fprintf(stderr, "%d seeds written\n", n);
        std::exit(0);
    }
    // The frame loop may run inside a decode (animation waits): give it the
    // headless device and the whole-screen clip window.
    zk_use_device(zk_headless_device());
    zk_platform_reset();
    zk_headless_reset();
    zk_resetframeclock();
    for (auto& w : zk_window) w = ClipWindow{0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    zk_curwindow = 0;
    zk_cursprite = -1;
    return 0;
}
