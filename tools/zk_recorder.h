// Recording a scripted run of a program on the headless device: stylus
// events from a script (at frames or virtual milliseconds), a seeded random
// player, PNG screenshots of chosen frames and an animated GIF of a range of
// frames. zk_record (zk_record.cpp) is the command-line front; the pieces
// are here so that tests can drive them with programs of their own.
//
// Frames: frame N is the N-th picture the program shows (presents), counted
// from 0: frame 0 is the program's first composed frame (the shell's paint
// of the empty back buffer, before the program runs, is not counted). An
// event at frame N is posted when frame N is shown, so the
// program sees it at the end of the frame slot that follows and reacts in
// frame N + 1. Events at one frame are posted in script order; the layer
// lets each press or release through only once the program has sampled the
// one before, so a down and an up at one frame still make a tap.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "zk_win32.h"

struct ZkScriptEvent {
    bool atFrame;   // time counts frames, else virtual milliseconds
    uint32_t time;
    UINT message;   // WM_LBUTTONDOWN, WM_MOUSEMOVE or WM_LBUTTONUP
    int x, y;
};

struct ZkRandomPlayer {
    uint64_t seed;
    int taps;
};

struct ZkRecordJob {
    std::vector<ZkScriptEvent> events;
    std::vector<ZkRandomPlayer> players;
    int frames = 0;                                  // the run ends when this many frames were shown
    std::vector<std::pair<int, std::string>> pngs;  // frame, path
    std::string gif;                                 // empty: no GIF
    int gifFrom = 0, gifTo = -1;                     // inclusive; -1: the last frame
};

// Adds the events and players of a script (the format is described in
// zk_record.cpp). False, with "line N: ..." in error, on a malformed line.
bool zk_parse_script(const std::string& text, ZkRecordJob& job, std::string& error);

// The taps of a random player: `taps` taps, each a down and, two frames
// later, an up at the same place, away from the top rows (where a quit
// button would be). The first comes at frame 1 to 78 and each next one 5
// to 82 frames after the last, all drawn from the seed alone, so a seed
// plays the same game in a run of any length (taps past its end are never
// delivered).
std::vector<ZkScriptEvent> zk_random_taps(const ZkRandomPlayer& player);

// Checks the job's frame numbers against its length.
bool zk_check_job(const ZkRecordJob& job, std::string& error);

// Arms the recorder on the headless device: schedules the events and hooks
// the presents. Call it as the program starts, in the entry the shell calls
// (after the platform and device reset), so that the shell's first paint
// is not counted as a frame. whenDone, if given, is called (from inside the paint of the
// last frame) once job.frames frames were shown.
void zk_record_begin(const ZkRecordJob& job, void (*whenDone)());
// True once the run has shown all its frames; the program may leave then.
bool zk_record_done();
// Frames shown so far in this run.
int zk_record_frames_seen();
// Disarms the recorder and writes the GIF. Safe to call more than once.
// False, with error filled, when a file could not be written or a frame
// asked for was never shown.
bool zk_record_end(std::string& error);
