// The SDL2 device: one desktop window showing the 240 x 320 device screen
// scaled by the largest whole factor that fits, letterboxed, with crisp
// pixels. The left mouse button and touch act as the stylus.
//
// Everything runs on the program's one thread, which owns the window and
// the renderer as SDL requires. Presents are made cheap instead: a paint
// only notes that the picture changed, and the upload and swap happen in
// show, which the layer calls when the frame has most of its time left, so
// a slow display (8 ms and more under a loaded X server) lengthens no frame.
#include <SDL.h>
#include <X11/Xlib.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "zk_device.h"
#include "zk_sdl.h"

namespace {

struct Sdl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    bool changed = false;  // presented and not yet shown
    bool held = false;
    SDL_FingerID finger = 0;
    bool fingerDown = false;
    int assumedOutputW = 0, assumedOutputH = 0;  // tests: a HiDPI drawable
    // The X connection is gone: no SDL call may reach Xlib any more.
    bool displayLost = false;
    bool windowLost = false;  // the X window is gone; closing is on its way
    jmp_buf* guard = nullptr;
    XErrorHandler previousErrorHandler = nullptr;
    XIOErrorHandler previousIOErrorHandler = nullptr;
};

Sdl S;

// ------------------------------------------------------------------ clock

// The device's own millisecond clock, so it knows where the next
// millisecond starts and can sleep until just after it.
uint64_t nowNs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1000000000u + uint64_t(t.tv_nsec);
}
const uint64_t originNs = nowNs();

uint32_t ticks() { return uint32_t((nowNs() - originNs) / 1000000u); }

// Sleeps until the clock has moved to the next millisecond. The engine reads
// the clock right after, so it sees a slot end within a fraction of a
// millisecond, and a thread that sleeps gets the processor back sooner on a
// busy machine than one that spins. Events wait at most this millisecond.
void idle() {
    const uint64_t next = ((nowNs() - originNs) / 1000000u + 1) * 1000000u + originNs;
    timespec at{time_t(next / 1000000000u), long(next % 1000000000u)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

// ------------------------------------------------------------------ X11 endings

// A window destroyed from outside, or a display connection closed by a
// window manager's kill, would end the program through Xlib's handlers with
// exit code 1 and none of the releases. Both become the desktop's close
// instead, which ends the program through its usual clean-up.
int onXError(Display* display, XErrorEvent* e) {
    if (!S.windowLost) {
        char text[160] = "";
        XGetErrorText(display, e->error_code, text, sizeof text);
        std::fprintf(stderr, "ZKlib: the window is gone (X error: %s); closing\n", text);
        S.windowLost = true;
        zk_post_close();
    }
    return 0;
}

// Xlib must not be entered again after its connection broke, and this
// handler must not return; it goes back to the device entry that was
// running (every SDL call of the device is made under a guard), which
// leaves SDL alone from then on.
int onXIOError(Display*) {
    if (!S.displayLost) std::fprintf(stderr, "ZKlib: the display connection is gone; closing\n");
    S.displayLost = S.windowLost = true;
    zk_post_close();
    if (S.guard) std::longjmp(*S.guard, 1);
    return 0;  // outside every device entry: Xlib ends the process
}

void hookX11() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0) return;
    S.previousErrorHandler = XSetErrorHandler(onXError);
    S.previousIOErrorHandler = XSetIOErrorHandler(onXIOError);
}

void unhookX11() {
    if (!S.previousErrorHandler && !S.previousIOErrorHandler) return;
    XSetErrorHandler(S.previousErrorHandler);
    XSetIOErrorHandler(S.previousIOErrorHandler);
    S.previousErrorHandler = nullptr;
    S.previousIOErrorHandler = nullptr;
}

// Runs f unless the display is lost; a broken connection inside f comes back
// here through onXIOError.
template <typename F>
void guarded(F f) {
    if (S.displayLost) return;
    jmp_buf here;
    jmp_buf* outer = S.guard;
    if (setjmp(here) == 0) {
        S.guard = &here;
        f();
    }
    S.guard = outer;
}

// ------------------------------------------------------------------ mapping

struct View {
    int windowW, windowH;  // window size in points (events come in points)
    int outputW, outputH;  // drawable size in pixels
};

View currentView() {
    View v{ZK_SCREEN_W, ZK_SCREEN_H, ZK_SCREEN_W, ZK_SCREEN_H};
    SDL_GetWindowSize(S.window, &v.windowW, &v.windowH);
    if (S.assumedOutputW > 0 && S.assumedOutputH > 0) {
        v.outputW = S.assumedOutputW;
        v.outputH = S.assumedOutputH;
    } else if (S.renderer) {
        SDL_GetRendererOutputSize(S.renderer, &v.outputW, &v.outputH);
    }
    return v;
}

int scaleOf(const View& v) { return std::max(1, std::min(v.outputW / ZK_SCREEN_W, v.outputH / ZK_SCREEN_H)); }

SDL_Rect pictureOf(const View& v) {
    const int s = scaleOf(v);
    return SDL_Rect{(v.outputW - ZK_SCREEN_W * s) / 2, (v.outputH - ZK_SCREEN_H * s) / 2, ZK_SCREEN_W * s,
                    ZK_SCREEN_H * s};
}

// ------------------------------------------------------------------ entries

void show() {
    guarded([] {
        if (!S.renderer || S.windowLost || !S.changed) return;
        if (SDL_GetWindowFlags(S.window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) return;
        S.changed = false;
        SDL_UpdateTexture(S.texture, nullptr, zk_device_screen(), ZK_SCREEN_W * 2);
        const SDL_Rect dst = pictureOf(currentView());
        SDL_SetRenderDrawColor(S.renderer, 0, 0, 0, 255);
        SDL_RenderClear(S.renderer);
        SDL_RenderCopy(S.renderer, S.texture, nullptr, &dst);
        SDL_RenderPresent(S.renderer);
    });
}

void present(const uint16_t*) { S.changed = true; }

void press(int x, int y) {
    S.held = true;
    zk_post_input(WM_LBUTTONDOWN, x, y);
}

void release(int x, int y) {
    if (!S.held) return;
    S.held = false;
    zk_post_input(WM_LBUTTONUP, x, y);
}

void handle(const SDL_Event& e) {
    int x, y;
    switch (e.type) {
        case SDL_QUIT:
            zk_post_close();
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) zk_post_close();
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                e.window.event == SDL_WINDOWEVENT_RESTORED) {
                S.changed = true;
                zk_post_repaint();
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button != SDL_BUTTON_LEFT || e.button.which == SDL_TOUCH_MOUSEID) break;
            zk_sdl_window_to_device(e.button.x, e.button.y, &x, &y);
            SDL_CaptureMouse(SDL_TRUE);
            press(x, y);
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT || e.button.which == SDL_TOUCH_MOUSEID) break;
            zk_sdl_window_to_device(e.button.x, e.button.y, &x, &y);
            SDL_CaptureMouse(SDL_FALSE);
            release(x, y);
            break;
        case SDL_MOUSEMOTION:
            if (e.motion.which == SDL_TOUCH_MOUSEID || !S.held || S.fingerDown) break;
            zk_sdl_window_to_device(e.motion.x, e.motion.y, &x, &y);
            zk_post_input(WM_MOUSEMOVE, x, y);
            break;
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP: {
            const View v = currentView();
            zk_sdl_window_to_device(double(e.tfinger.x) * v.windowW, double(e.tfinger.y) * v.windowH, &x, &y);
            if (e.type == SDL_FINGERDOWN) {
                if (S.fingerDown || S.held) break;  // one stylus: further fingers are ignored
                S.fingerDown = true;
                S.finger = e.tfinger.fingerId;
                // The down message carries its own position, so a touch
                // never drags from the last contact point.
                press(x, y);
            } else if (S.fingerDown && e.tfinger.fingerId == S.finger) {
                if (e.type == SDL_FINGERMOTION) {
                    zk_post_input(WM_MOUSEMOVE, x, y);
                } else {
                    S.fingerDown = false;
                    release(x, y);
                }
            }
            break;
        }
        default:
            break;
    }
}

void poll() {
    guarded([] {
        if (!S.window) return;
        SDL_Event e;
        while (SDL_PollEvent(&e)) handle(e);
    });
}

void icon(const uint32_t* argb, int width, int height) {
    guarded([&] {
        if (!S.window) return;
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(argb), width, height, 32, width * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
        if (!s) return;
        SDL_SetWindowIcon(S.window, s);
        SDL_FreeSurface(s);
    });
}

void closeDevice() {
    // A window or connection lost from outside is not torn down: SDL would
    // destroy the dead window again and meet the error after it has put
    // Xlib's exiting handler back. The process is about to end, and its
    // resources go with it.
    if (!S.windowLost)
        guarded([] {
            if (S.texture) SDL_DestroyTexture(S.texture);
            if (S.renderer) SDL_DestroyRenderer(S.renderer);
            if (S.window) SDL_DestroyWindow(S.window);
            SDL_Quit();
            unhookX11();
        });
    S.texture = nullptr;
    S.renderer = nullptr;
    S.window = nullptr;
    S.held = S.fingerDown = S.changed = false;
}

bool fail(char* error, int errorSize, const char* what) {
    std::snprintf(error, size_t(errorSize), "%s (%s)", what, SDL_GetError());
    closeDevice();
    return false;
}

bool open(const char* title, char* error, int errorSize) {
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::snprintf(error, size_t(errorSize), "no display found (%s)", SDL_GetError());
        return false;
    }
    // Without a desktop SDL falls back to its offscreen driver, which would
    // run the game where nobody can see it.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy")) &&
        !SDL_getenv("SDL_VIDEODRIVER")) {
        const char* x11 = SDL_getenv("DISPLAY");
        if (x11 && *x11)
            std::snprintf(error, size_t(errorSize), "no display found (cannot reach the display \"%s\")", x11);
        else
            std::snprintf(error, size_t(errorSize), "no display found (DISPLAY and WAYLAND_DISPLAY are not set)");
        SDL_Quit();
        return false;
    }
    S.displayLost = S.windowLost = false;
    hookX11();
    // The largest whole scale whose window fits the usable display area.
    int scale = 2;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
        scale = std::max(1, std::min((usable.w - 16) / ZK_SCREEN_W, (usable.h - 48) / ZK_SCREEN_H));
    S.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, ZK_SCREEN_W * scale,
                                ZK_SCREEN_H * scale, SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!S.window) return fail(error, errorSize, "cannot open a window");
    SDL_SetWindowMinimumSize(S.window, ZK_SCREEN_W, ZK_SCREEN_H);
    S.renderer = SDL_CreateRenderer(S.window, -1, 0);
    if (!S.renderer) S.renderer = SDL_CreateRenderer(S.window, -1, SDL_RENDERER_SOFTWARE);
    if (S.renderer)
        S.texture = SDL_CreateTexture(S.renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, ZK_SCREEN_W,
                                      ZK_SCREEN_H);
    if (!S.renderer || !S.texture) return fail(error, errorSize, "cannot draw into the window");
    return true;
}

ZkDevice device{"sdl", open, closeDevice, present, show, poll, ticks, idle, icon};

}  // namespace

// Window points to device pixels; positions outside the picture map outside
// 0..239 x 0..319, as a captured drag should.
void zk_sdl_window_to_device(double wx, double wy, int* x, int* y) {
    const View v = currentView();
    const double ratio = v.windowW > 0 ? double(v.outputW) / v.windowW : 1.0;
    const int scale = scaleOf(v);
    const SDL_Rect picture = pictureOf(v);
    *x = std::clamp(int(SDL_floor((wx * ratio - picture.x) / scale)), -32768, 32767);
    *y = std::clamp(int(SDL_floor((wy * ratio - picture.y) / scale)), -32768, 32767);
}

void zk_sdl_assume_output_size(int width, int height) {
    S.assumedOutputW = width;
    S.assumedOutputH = height;
}

ZkDevice* zk_sdl_device() { return &device; }
SDL_Window* zk_sdl_window() { return S.window; }
ZkDevice* zk_linked_device() { return &device; }
