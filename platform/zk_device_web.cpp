// The web device: the 240 x 320 screen on the page's canvas (scaled by the
// largest whole factor that fits, crisp and letterboxed), pointer events
// (mouse, touch, pen) as the stylus, performance.now() as the clock, the
// window's icon as the page's. The browser half is zk_device_web.js.
//
// The engine's frame loop never returns to the browser, so the device gives
// the browser its turn from inside the loop's wait: ASYNCIFY unwinds the
// program at zk_web_sleep and resumes it there once the browser has run its
// events, timers and painting.
#include <emscripten.h>

#include <cstdint>

#include "zk_device.h"

extern "C" {
int zk_web_open(const char* title);
void zk_web_show(const uint16_t* screen, int paint);
int zk_web_next_event(int* event);
void zk_web_icon(const uint32_t* argb, int width, int height);
void zk_web_close();
void zk_web_sleep();
}

namespace {

struct Web {
    bool open = false;
    int paints = 0;           // presents since the window opened
    bool waiting = false;     // a present not shown yet
    uint32_t paintedAt = 0;
    uint32_t clock = 0;        // the last reading given out
    bool clockStarted = false;
};

Web W;

uint32_t now() { return uint32_t(uint64_t(emscripten_get_now())); }

bool open(const char* title, char* error, int errorSize) {
    if (!zk_web_open(title)) {
        if (errorSize > 0) {
            const char why[] = "the page has no canvas with the id zk-screen";
            int n = 0;
            for (; n < errorSize - 1 && why[n]; ++n) error[n] = why[n];
            error[n] = 0;
        }
        return false;
    }
    W = Web{};
    W.open = true;
    return true;
}

void close() {
    if (!W.open) return;
    W.open = false;
    zk_web_close();
}

void present(const uint16_t*) {
    ++W.paints;
    W.waiting = true;
    W.paintedAt = now();
}

void show() {
    W.waiting = false;
    zk_web_show(zk_device_screen(), W.paints);
}

void poll() {
    int e[3];
    while (W.open && zk_web_next_event(e)) zk_post_input(UINT(e[0]), e[1], e[2]);
}

// The clock never skips a millisecond: after a stall (the browser busy with
// the page, or the machine with another program) it catches up one
// millisecond per reading. The frame loop asks for its paint only in the
// last 3 ms of a wait, so a clock that jumped past them would end that wait
// without showing its frame; this way every frame is painted, the first one
// too, while the page is still loading. The catching up takes microseconds.
uint32_t ticks() {
    const uint32_t real = now();
    if (!W.clockStarted || int32_t(real - W.clock) <= 1) {
        W.clock = real;
        W.clockStarted = true;
    } else {
        ++W.clock;
    }
    return W.clock;
}

// The browser's timers wake the program a little after the millisecond it
// asked for, and a frame's wait notices its end only when the program runs:
// so the last millisecond before the end is waited without giving the
// browser a turn. The engine paints at most 3 ms before its wait ends, and
// the layer shows that picture only after the wait, so from 2 ms after a
// paint that is not shown yet the end is at most a millisecond away.
// Anywhere else the browser has the processor until the next millisecond.
void idle() {
    if (W.clock != now()) return;  // the clock is catching up
    const uint32_t sincePaint = now() - W.paintedAt;
    if (W.waiting && sincePaint >= 2 && sincePaint <= 3) return;
    zk_web_sleep();
}

void icon(const uint32_t* argb, int width, int height) { zk_web_icon(argb, width, height); }

ZkDevice device{"web", open, close, present, show, poll, ticks, idle, icon};

}  // namespace

ZkDevice* zk_linked_device() { return &device; }
