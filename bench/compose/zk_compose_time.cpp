// zk_compose_time: plays a Quib script on the headless device up to a frame,
// then composes that frame again and again and prints the time one
// composition takes. Built natively and for node, it compares the two.
//
//   zk_compose_time SCRIPT FRAME [REPEATS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "ZKlib.h"
#include "quib.h"
#include "zk_device.h"
#include "zk_headless.h"
#include "zk_recorder.h"

namespace {

int repeats = 2000;

// The chosen frame is on screen: time its composition, then close the
// window so the program ends.
void timeFrame() {
    zk_whenrefresh();  // warm caches and the JIT alike
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i) zk_whenrefresh();
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    std::printf("compose: %.2f us per frame (%d frames)\n", spent.count() / repeats, repeats);
    zk_post_close();
}

}  // namespace

int zk_main() { return Quib_Main(); }
void zk_DoVect(uint8_t) {}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zk_compose_time SCRIPT FRAME [REPEATS]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ZkRecordJob job;
    std::string error;
    job.frames = std::atoi(argv[2]);
    if (argc > 3) repeats = std::max(1, std::atoi(argv[3]));
    if (!in || !zk_parse_script(text.str(), job, error) || !zk_check_job(job, error) || job.frames < 1) {
        std::fprintf(stderr, "zk_compose_time: %s: %s\n", argv[1], error.empty() ? "cannot read" : error.c_str());
        return 2;
    }
    zk_use_device(zk_headless_device());
    zk_headless_reset();
    zk_record_begin(job, timeFrame);
    static char module;
    static WCHAR noCommandLine[] = L"";
    WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, noCommandLine, SW_SHOW);
    return zk_record_end(error) ? 0 : 1;
}
