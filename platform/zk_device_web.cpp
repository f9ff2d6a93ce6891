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

namespace {

// A press shorter than this is held until it has lasted this long, so the
// engine's once-per-frame sampling (25 ms) sees every tap.
constexpr uint32_t MIN_PRESS_MS = 50;
// The shell paints 3 ms before its frame's wait ends: for this long after a
// present the end is near.
constexpr uint32_t NEAR_END_MS = 4;

struct Web {
    bool open = false;
    uint32_t pressedAt = 0;
    bool releasePending = false;
    int releaseX = 0, releaseY = 0;
    uint32_t presentedAt = 0;
    int presents = 0;
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
    ++W.presents;
}

// The engine's wait gives the browser its turn at every poll that finds
// nothing to do. Until the paint, the end of the wait is at least 3 ms away:
// the browser gets a millisecond (a late timer only makes the paint a little
// later). From the paint to the end it gets one turn of its event loop at a
// time, so the end is seen within a fraction of a millisecond.
//
// A wait that ends before its paint was fetched shows its frame only with the
// next one, and a page that has just loaded may keep the browser busy for
// tens of milliseconds: so the first frame's wait (one slot, the window's
// first paint being the program's first present) keeps the browser waiting,
// and the program's first picture is always shown.
// TODO(runtime): the layer is to call this only when nothing is pending.
void idle() {
    if (W.presents < 2) return;
    zk_web_yield(now() - W.presentedAt < NEAR_END_MS ? 0 : 1);
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
    bool any = false;
    while (zk_web_next_event(e)) {
        deliver(UINT(e[0]), e[1], e[2]);
        any = true;
    }
    if (!any) idle();
}

uint32_t ticks() { return now(); }

ZkDevice device{"web", open, close, present, nullptr, poll, ticks, nullptr, nullptr};

}  // namespace

ZkDevice* zk_linked_device() { return &device; }

// TODO(runtime): the game sets its window icon through the SDL device's call
// until the icon moves out of the game's main; the page keeps its own icon.
void zk_sdl_set_icon(const uint16_t*) {}
