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

uint32_t ticks() { return now(); }

// The browser's timers wake the program a little after the millisecond it
// asked for, and a frame's wait notices its end only when the program runs:
// so the last millisecond before the end is waited without giving the
// browser a turn. The engine paints at most 3 ms before its wait ends, and
// the layer shows that picture only after the wait, so from 2 ms after a
// paint that is not shown yet the end is at most a millisecond away.
// Anywhere else the browser has the processor until the next millisecond.
//
// Until the first composed frame is painted (the window's second paint: the
// first shows the black buffer) the browser gets no turn: it is still
// loading the page then and may keep the processor for longer than the 3 ms
// between a paint request and the end of its wait, which would end that
// wait without its paint, and the player would never see the first frame.
// That is at most one slot (32 ms) at the start.
void idle() {
    if (W.paints < 2) return;
    const uint32_t sincePaint = now() - W.paintedAt;
    if (W.waiting && sincePaint >= 2 && sincePaint <= 3) return;
    zk_web_sleep();
}

void icon(const uint32_t* argb, int width, int height) { zk_web_icon(argb, width, height); }

ZkDevice device{"web", open, close, present, show, poll, ticks, idle, icon};

}  // namespace

ZkDevice* zk_linked_device() { return &device; }
