// The web device: the 240 x 320 screen on the page's canvas (scaled by the
// largest whole factor that fits, crisp and letterboxed), pointer events
// (mouse, touch, pen) as the stylus, performance.now() as the clock. The
// browser half is zk_device_web.js.
//
// The engine's frame loop never returns to the browser, so the device gives
// the browser its turn from inside the loop's wait: ASYNCIFY unwinds the
// program at zk_web_yield and resumes it there once the browser has run its
// events, timers and painting.
#include <emscripten.h>

#include <cstdint>

#include "zk_device.h"
#include "zk_sdl.h"

extern "C" {
int zk_web_open(const char* title);
void zk_web_present(const uint16_t* screen);
int zk_web_next_event(int* event);
void zk_web_close();
void zk_web_yield(int ms);
}

// The engine's frame slot in milliseconds (see idle()).
extern int32_t zk_FPSms;

namespace {

// A press shorter than this is held until it has lasted this long, so the
// engine's once-per-frame sampling (25 ms) sees every tap.
constexpr uint32_t MIN_PRESS_MS = 50;
// The wait is given to the browser while its end is further away than this.
constexpr uint32_t BUSY_MS = 1;

struct Web {
    bool open = false;
    uint32_t pressedAt = 0;
    bool releasePending = false;
    int releaseX = 0, releaseY = 0;
    uint32_t presentedAt = 0;
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

void present(const uint16_t* screen) {
    zk_web_present(screen);
    W.presentedAt = now();
}

// How long the engine's wait may be given away. The shell paints 3 ms
// before its slot ends, and the device sees that paint; so the slot ends
// about 3 ms after the latest present, and the next paint is due one slot
// after it.
// TODO(runtime): a stopgap until the layer tells devices where the engine's
// wait ends; the estimate reads the engine's slot length.
uint32_t idleBudget() {
    if (zk_FPSms <= 0) return 0;
    const uint32_t t = now();
    const uint32_t since = t - W.presentedAt;
    const uint32_t slot = uint32_t(zk_FPSms);
    uint32_t until;
    if (since < 3)
        until = 3;
    else if (since < slot)
        until = slot;
    else
        return 0;
    return until - since;
}

void idle() {
    uint32_t budget = idleBudget();
    if (budget <= BUSY_MS) return;
    // Timers fire up to about a millisecond late, and a timer below 4 ms may
    // be stretched to 4: short waits take one turn of the event loop instead.
    uint32_t ms = budget - BUSY_MS;
    zk_web_yield(ms >= 4 ? int(ms - 1) : 0);
}

void deliver(UINT message, int x, int y) {
    if (message == WM_LBUTTONDOWN) {
        if (W.releasePending) {  // a quick tap still held: its release first
            zk_post_input(WM_LBUTTONUP, W.releaseX, W.releaseY);
            W.releasePending = false;
        }
        W.pressedAt = now();
    } else if (message == WM_LBUTTONUP && now() - W.pressedAt < MIN_PRESS_MS) {
        W.releasePending = true;
        W.releaseX = x;
        W.releaseY = y;
        return;
    }
    zk_post_input(message, x, y);
}

void poll() {
    if (!W.open) return;
    if (W.releasePending && now() - W.pressedAt >= MIN_PRESS_MS) {
        zk_post_input(WM_LBUTTONUP, W.releaseX, W.releaseY);
        W.releasePending = false;
    }
    int e[3];
    while (zk_web_next_event(e)) deliver(UINT(e[0]), e[1], e[2]);
    idle();
}

uint32_t ticks() { return now(); }

ZkDevice device{"web", open, close, present, poll, ticks};

}  // namespace

ZkDevice* zk_linked_device() { return &device; }

// TODO(runtime): the game sets its window icon through the SDL device's call
// until the icon moves out of the game's main; the page keeps its own icon.
void zk_sdl_set_icon(const uint16_t*) {}
