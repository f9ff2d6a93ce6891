// The headless device (see zk_headless.h).
#include <algorithm>
#include <deque>

#include "zk_headless.h"

namespace {

struct Event {
    uint32_t ms;
    UINT message;
    int x, y;
};

struct Headless {
    uint32_t clock = 0;
    uint32_t step = 1;
    // Undelivered events, sorted by time. Delivered ones are dropped, so a
    // long scripted run keeps only what is still to come.
    std::deque<Event> script;
    int paints = 0;
    int shows = 0;
    uint32_t showCost = 0;
    void (*hook)(const uint16_t*, void*) = nullptr;
    void* user = nullptr;
};

Headless H;

// Wrap-safe: an event is due when the clock has passed its time, seen as a
// signed distance, so a script may start just below 2^32.
bool due(uint32_t ms) { return int32_t(H.clock - ms) >= 0; }

bool open(const char*, char*, int) { return true; }
void close() {}
void present(const uint16_t* screen) {
    ++H.paints;
    if (H.hook) H.hook(screen, H.user);
}
// Showing costs the set time on the virtual clock, as a slow display would.
void show() {
    ++H.shows;
    H.clock += H.showCost;
}
void poll() {
    while (!H.script.empty() && due(H.script.front().ms)) {
        const Event e = H.script.front();
        H.script.pop_front();
        zk_post_input(e.message, e.x, e.y);
    }
}
uint32_t ticks() {
    uint32_t t = H.clock;
    H.clock += H.step;
    return t;
}

ZkDevice device{"headless", open, close, present, show, poll, ticks, nullptr, nullptr};

}  // namespace

ZkDevice* zk_headless_device() { return &device; }

void zk_headless_reset() {
    auto hook = H.hook;
    auto user = H.user;
    H = Headless{};
    H.hook = hook;
    H.user = user;
}
void zk_headless_set_clock(uint32_t ms) { H.clock = ms; }
uint32_t zk_headless_clock() { return H.clock; }
void zk_headless_set_step(uint32_t ms) { H.step = ms; }

void zk_headless_event(uint32_t ms, UINT message, int x, int y) {
    Event e{ms, message, x, y};
    // Insert after every undelivered event that is not later than this one.
    auto pos = std::upper_bound(H.script.begin(), H.script.end(), e,
                                [](const Event& a, const Event& b) { return int32_t(a.ms - b.ms) < 0; });
    H.script.insert(pos, e);
}

void zk_headless_tap(uint32_t ms, int x, int y, uint32_t holdMs) {
    zk_headless_event(ms, WM_LBUTTONDOWN, x, y);
    zk_headless_event(ms + holdMs, WM_LBUTTONUP, x, y);
}

int zk_headless_pending() { return int(H.script.size()); }
int zk_headless_paints() { return H.paints; }
int zk_headless_shows() { return H.shows; }
void zk_headless_set_show_cost(uint32_t ms) { H.showCost = ms; }
const uint16_t* zk_headless_screen() { return zk_device_screen(); }
void zk_headless_on_present(void (*hook)(const uint16_t*, void*), void* user) {
    H.hook = hook;
    H.user = user;
}

ZkDevice* zk_linked_device() { return &device; }
