// The headless device: no window, a virtual millisecond clock and a script
// of stylus events, so whole frames and whole games run deterministically.
//
// The clock advances by a set step (1 ms unless changed) at every
// GetTickCount call, so the engine's busy waits end quickly and always after
// the same number of polls. It never idles. Scripted events are posted to the shown window
// once the clock has reached their time.
#pragma once

#include <cstdint>

#include "zk_device.h"

ZkDevice* zk_headless_device();

void zk_headless_reset();  // clock 0, step 1, no script, no paints
void zk_headless_set_clock(uint32_t ms);
uint32_t zk_headless_clock();
void zk_headless_set_step(uint32_t ms);

// One stylus event at a virtual time: WM_LBUTTONDOWN, WM_MOUSEMOVE or
// WM_LBUTTONUP at device position (x, y). Events are kept in time order;
// events of equal time keep the order they were added in.
void zk_headless_event(uint32_t ms, UINT message, int x, int y);
// Down at ms, up holdMs later, both at (x, y).
void zk_headless_tap(uint32_t ms, int x, int y, uint32_t holdMs = 30);
int zk_headless_pending();  // events not yet delivered

int zk_headless_paints();  // presents since the last reset
int zk_headless_shows();   // shows since the last reset
// What each show costs on the virtual clock (0 unless set; reset keeps 0).
void zk_headless_set_show_cost(uint32_t ms);
const uint16_t* zk_headless_screen();
// Called after every present with the device screen (recorders use it).
void zk_headless_on_present(void (*hook)(const uint16_t* screen, void* user), void* user);
