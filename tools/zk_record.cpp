// zk_record: runs a program on the headless device from a script of stylus
// events and writes PNG screenshots and an animated GIF of the run. The
// virtual clock and the script make every run of the same script identical,
// byte for byte, in every file written.
//
//   zk_record --program quib --script run.txt --frames 800
//             [--png FRAME:file.png ...] [--gif file.gif [--from F] [--to F]]
//
// --frames N   the run lasts N frames (0..N-1); after the last one the files
//              are written and the program's window is closed.
// --png F:P    writes frame F to P (repeatable).
// --gif P      writes frames --from..--to (inclusive; default the whole run)
//              as an animated GIF at 40 frames per second.
//
// Frame N is the N-th picture the program shows, counted from 0; frame 0 is
// its first composed frame. At 40 frames per second, frame N is shown at
// about 30 + N x 25 ms.
//
// The script: one event a line, '#' starts a comment.
//   <time> down|move|up <x> <y>
//       time: f<N> for the moment frame N is shown (the program sees the
//       event in its next frame), or <N>ms for a virtual millisecond.
//       down, move, up: the stylus touches, moves, leaves at screen (x, y).
//       Each press and each release is seen by the program at least once:
//       a down and an up at the same frame make a tap, and an event that
//       follows a press or release within a frame or two waits for it.
//   random <seed> <taps>
//       a player tapping <taps> times at frames and places drawn from
//       <seed> alone (an eighth of a second to two seconds apart, each
//       held for two frames, below the top 24 rows): the same seed plays
//       the same taps whatever the run's length.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "ZKlib.h"
#include "quib.h"
#include "zk_device.h"
#include "zk_headless.h"
#include "zk_recorder.h"

namespace {

// The programs the recorder can run: a name, the game's entry and its layer
// hook (null: the program draws nothing there). One line adds a program.
struct Program {
    const char* name;
    int (*main)();
    void (*doVect)(uint8_t layer);
};

const Program programs[] = {
    {"quib", Quib_Main, nullptr},
};

const Program* chosen = nullptr;
ZkRecordJob job;

int usage(const char* why) {
    if (why) std::fprintf(stderr, "zk_record: %s\n", why);
    std::fprintf(stderr,
                 "usage: zk_record --program NAME --script FILE --frames N [--png FRAME:FILE ...]\n"
                 "                 [--gif FILE [--from F] [--to F]]\n"
                 "programs:");
    for (const Program& p : programs) std::fprintf(stderr, " %s", p.name);
    std::fprintf(stderr, "\n");
    return 2;
}

bool number(const char* s, int& out) {
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (end == s || *end || v < 0 || v > 0x7FFFFFFFL) return false;
    out = int(v);
    return true;
}

// The last frame was shown: write the files, then close the window as the
// desktop would, so the shell cleans up and the process ends with 0.
void finished() {
    std::string error;
    if (!zk_record_end(error)) {
        std::fprintf(stderr, "zk_record: %s\n", error.c_str());
        std::exit(1);
    }
    zk_post_close();
}

}  // namespace

// The shell calls the game's main through this name, once its window is
// up: the recording starts here, so the shell's first paint (of a back
// buffer nothing has drawn into yet) is not frame 0.
int zk_main() {
    zk_record_begin(job, finished);
    return chosen ? chosen->main() : 0;
}
void zk_DoVect(uint8_t layer) {
    if (chosen && chosen->doVect) chosen->doVect(layer);
}

int main(int argc, char** argv) {
    std::string programName, scriptPath;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--help" || a == "-h") {
            usage(nullptr);
            return 0;
        } else if (a == "--program" && (v = value())) {
            programName = v;
        } else if (a == "--script" && (v = value())) {
            scriptPath = v;
        } else if (a == "--frames" && (v = value())) {
            if (!number(v, job.frames)) return usage("bad --frames");
        } else if (a == "--png" && (v = value())) {
            const char* colon = std::strchr(v, ':');
            int frame = 0;
            if (!colon || !number(std::string(v, colon).c_str(), frame) || !colon[1])
                return usage("--png needs FRAME:FILE");
            job.pngs.push_back({frame, colon + 1});
        } else if (a == "--gif" && (v = value())) {
            job.gif = v;
        } else if (a == "--from" && (v = value())) {
            if (!number(v, job.gifFrom)) return usage("bad --from");
        } else if (a == "--to" && (v = value())) {
            if (!number(v, job.gifTo)) return usage("bad --to");
        } else {
            return usage(("unknown or incomplete option " + a).c_str());
        }
    }
    for (const Program& p : programs)
        if (programName == p.name) chosen = &p;
    if (!chosen) return usage(programName.empty() ? "no --program" : ("no program " + programName).c_str());

    if (scriptPath.empty()) return usage("no --script");
    std::ifstream in(scriptPath, std::ios::binary);
    if (!in) return usage(("cannot read " + scriptPath).c_str());
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!zk_parse_script(text.str(), job, error)) {
        std::fprintf(stderr, "zk_record: %s: %s\n", scriptPath.c_str(), error.c_str());
        return 2;
    }
    if (!zk_check_job(job, error)) return usage(error.c_str());

    zk_use_device(zk_headless_device());
    zk_headless_reset();
    static char module;
    static WCHAR noCommandLine[] = L"";
    if (WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, noCommandLine, SW_SHOW) != 0)
        return 1;  // the shell could not start the program, and said why
    // The program left by itself (its quit button) before the last frame.
    if (!zk_record_end(error)) {
        std::fprintf(stderr, "zk_record: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
