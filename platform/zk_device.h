// The device behind the Win32-style layer: where the 240 x 320 screen is
// shown, where the milliseconds come from and where stylus events start.
//
// Two devices exist: the SDL2 desktop window (zk_device_sdl) and the headless
// one (zk_device_headless). A program picks one by linking it (each defines
// zk_linked_device) or in code with zk_use_device before WinMain runs.
#pragma once

#include <cstdint>

#include "zk_win32.h"

constexpr int ZK_SCREEN_W = 240;
constexpr int ZK_SCREEN_H = 320;

struct ZkDevice {
    const char* name;
    // Opens the device's view of the window that the layer shows (the first
    // visible top-level window). Returns false and fills error on failure.
    bool (*open)(const char* title, char* error, int errorSize);
    void (*close)();
    // The device screen changed (a BitBlt reached the shown window).
    void (*present)(const uint16_t* screen);
    // Moves device events into the layer's queue (zk_post_input etc.).
    void (*poll)();
    uint32_t (*ticks)();
};

// The device that is linked in; each device library defines it.
ZkDevice* zk_linked_device();
// Overrides the linked device (tests, tools); null returns to the linked one.
void zk_use_device(ZkDevice* device);
ZkDevice* zk_current_device();

// For devices: stylus input for the shown window, in device pixels.
void zk_post_input(UINT message, int x, int y);
// For devices: the desktop asked the program to close (window close button,
// SIGINT, SIGTERM). Sends WM_CLOSE to the shown window.
void zk_post_close();
// The 240 x 320 RGB565 device screen that BitBlt writes.
const uint16_t* zk_device_screen();
// Why the last failed CreateWindowExW failed, as text ("" when unknown).
const char* zk_device_error();
// Forgets every class, window, bitmap and queued message; tests call it
// between cases so each starts from a fresh layer.
void zk_platform_reset();
