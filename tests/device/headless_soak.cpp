// A long headless game must not grow: Quib played for 1,000,000 frames by a
// seeded random player tapping 20,000 times through the recorder. Exits 1
// when the resident size grew by more than 1 MB after frame 20,000.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "ZKlib.h"
#include "quib.h"
#include "zk_device.h"
#include "zk_headless.h"
#include "zk_recorder.h"

namespace {

constexpr int kFrames = 1000000, kTaps = 20000, kSettled = 20000;
long settledKb = -1;

long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

void finished() {
    const long endKb = residentKb();
    std::printf("resident: %ld kB at frame %d, %ld kB at the end\n", settledKb, kSettled, endKb);
    std::exit(settledKb > 0 && endKb - settledKb <= 1024 ? 0 : 1);
}

}  // namespace

// Called after every layer of every frame: the place to look at the frame count.
void zk_DoVect(uint8_t) {
    if (settledKb < 0 && zk_record_frames_seen() >= kSettled) settledKb = residentKb();
}

int zk_main() { return Quib_Main(); }

int main() {
    ZkRecordJob job;
    job.frames = kFrames;
    job.players.push_back({20260101, kTaps});
    zk_use_device(zk_headless_device());
    zk_headless_reset();
    zk_record_begin(job, finished);
    static char module;
    WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, nullptr, SW_SHOW);
    std::printf("the game ended after %d frames\n", zk_record_frames_seen());
    return 1;
}
