// The device behind the Win32-style layer: where the 240 x 320 screen is
// shown, where the milliseconds come from and where stylus events start.
//
// Devices: the SDL2 desktop window (zk_device_sdl) and the headless one
// (zk_device_headless). A program picks one by linking it (each defines
// zk_linked_device) or in code with zk_use_device before WinMain runs.
//
// What the layer does for every device, so that a device stays small:
// - It decides when showing a picture cannot delay the end of a frame. The
//   engine asks for its repaint at most 3 ms before its frame's wait ends,
//   so once the clock has read 3 ms past that request the wait is over; the
//   layer calls show at the next poll, which is the first poll of the next
//   frame's wait (after that frame is composed), when the frame has most of
//   its time left. A paint that nobody asked for (the desktop uncovered the
//   window) is shown at the first poll after the next clock reading.
// - It holds each stylus button message, and everything queued behind it,
//   until the engine has sampled the stylus since the previous button
//   message was taken. The engine samples once at the end of each frame's
//   wait and asks for exactly one repaint in each wait (a wait cut short by
//   WM_QUIT may ask for none, which only holds longer), so a sample has
//   surely come once two repaints were asked for since that message, or one
//   was and the clock has since read 3 ms past it. So every press and every
//   release is seen, at any frame rate, and a quick double click stays two
//   clicks; a click that follows a release within a frame or two waits a
//   frame or two.
// - It knows when nothing is pending (no message, no paint, no quit) and
//   calls idle then; the engine can do nothing new before the clock moves.
#pragma once

#include <cstdint>

#include "zk_win32.h"

constexpr int ZK_SCREEN_W = 240;
constexpr int ZK_SCREEN_H = 320;

// Every entry runs on the program's one thread. Entries marked optional may
// be null.
struct ZkDevice {
    const char* name;
    // Opens the device's view of the window that the layer shows (the first
    // visible top-level window). Returns false and fills error on failure.
    bool (*open)(const char* title, char* error, int errorSize);
    // Closes that view. After this no entry but open and ticks is called.
    void (*close)();
    // A paint reached the shown window: screen (the same as
    // zk_device_screen(), valid until the next paint) is the new picture.
    // Must be cheap: the paint happens in the last milliseconds of a frame.
    void (*present)(const uint16_t* screen);
    // Optional. Puts the picture of the last present in front of the player:
    // the costly part (upload, scaling, swap). The layer calls it where it
    // cannot delay the end of a frame's wait (see above); it may take up to
    // most of a frame.
    void (*show)();
    // Moves pending device events into the layer's queue (zk_post_input,
    // zk_post_close, zk_post_repaint). Never blocks.
    void (*poll)();
    // Milliseconds, unsigned 32-bit, wrapping.
    uint32_t (*ticks)();
    // Optional. Nothing is pending: give the processor up until just after
    // ticks() next changes (or until an event comes, if sooner), so the
    // engine sees the new millisecond at once. Never longer than that.
    void (*idle)();
    // Optional. The shown window's icon: width x height pixels, row-major,
    // 0xAARRGGBB, valid for the call only. Called only while open.
    void (*icon)(const uint32_t* argb, int width, int height);
};

// The device that is linked in; each device library defines it.
ZkDevice* zk_linked_device();
// Overrides the linked device (tests, tools); null returns to the linked one.
void zk_use_device(ZkDevice* device);
ZkDevice* zk_current_device();

// For devices: stylus input for the shown window, in device pixels.
void zk_post_input(UINT message, int x, int y);
// For devices: the desktop asked the program to close (window close button,
// SIGINT, SIGTERM, the window destroyed from outside). Sends WM_CLOSE to the
// shown window.
void zk_post_close();
// For devices: the player's view lost its picture (uncovered, resized), so
// the shown window needs a paint.
void zk_post_repaint();
// The 240 x 320 RGB565 device screen that BitBlt writes.
const uint16_t* zk_device_screen();
// Why the last failed CreateWindowExW failed, as text ("" when unknown).
const char* zk_device_error();
// For the shell: the shown window's icon, width x height RGB565 pixels with
// `transparent` as the key colour. The layer keeps a copy and gives it to
// the device whenever the device opens. Sizes outside 1..256 are ignored.
void zk_set_window_icon(const uint16_t* rgb565, int width, int height, uint16_t transparent);
// Forgets every class, window, bitmap and queued message; tests call it
// between cases so each starts from a fresh layer.
void zk_platform_reset();
