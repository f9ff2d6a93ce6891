// The SDL2 device: one desktop window showing the 240 x 320 device screen
// scaled by the largest whole factor that fits, letterboxed, with crisp
// pixels. The left mouse button and touch act as the stylus.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "zk_device.h"
#include "zk_sdl.h"

namespace {

// A press shorter than this is held until it has lasted this long, so the
// engine's once-per-frame sampling (25 ms) sees every tap.
constexpr uint32_t MIN_PRESS_MS = 50;

struct Sdl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    uint16_t screen[ZK_SCREEN_W * ZK_SCREEN_H]{};
    bool held = false;
    uint32_t pressedAt = 0;
    bool releasePending = false;
    int releaseX = 0, releaseY = 0;
    SDL_FingerID finger = 0;
    bool fingerDown = false;
    const uint16_t* icon = nullptr;  // 16 x 16 RGB565, 0xF81F transparent
};

Sdl S;

void render() {
    if (!S.renderer) return;
    SDL_UpdateTexture(S.texture, nullptr, S.screen, ZK_SCREEN_W * 2);
    int ow, oh;
    SDL_GetRendererOutputSize(S.renderer, &ow, &oh);
    int scale = std::max(1, std::min(ow / ZK_SCREEN_W, oh / ZK_SCREEN_H));
    SDL_Rect dst{(ow - ZK_SCREEN_W * scale) / 2, (oh - ZK_SCREEN_H * scale) / 2, ZK_SCREEN_W * scale,
                 ZK_SCREEN_H * scale};
    SDL_SetRenderDrawColor(S.renderer, 0, 0, 0, 255);
    SDL_RenderClear(S.renderer);
    SDL_RenderCopy(S.renderer, S.texture, nullptr, &dst);
    SDL_RenderPresent(S.renderer);
}

// Window coordinates (points) to device pixels; positions outside the
// picture map outside 0..239 x 0..319, as a captured drag should.
void toDevice(double wx, double wy, int* x, int* y) {
    int ww, wh, ow, oh;
    SDL_GetWindowSize(S.window, &ww, &wh);
    SDL_GetRendererOutputSize(S.renderer, &ow, &oh);
    double ratio = ww > 0 ? double(ow) / ww : 1.0;
    int scale = std::max(1, std::min(ow / ZK_SCREEN_W, oh / ZK_SCREEN_H));
    double ox = (ow - ZK_SCREEN_W * scale) / 2.0, oy = (oh - ZK_SCREEN_H * scale) / 2.0;
    *x = int(SDL_floor((wx * ratio - ox) / scale));
    *y = int(SDL_floor((wy * ratio - oy) / scale));
    *x = std::clamp(*x, -32768, 32767);
    *y = std::clamp(*y, -32768, 32767);
}

void press(int x, int y) {
    if (S.releasePending) {  // a quick tap still held: deliver its release first
        zk_post_input(WM_LBUTTONUP, S.releaseX, S.releaseY);
        S.releasePending = false;
    }
    S.held = true;
    S.pressedAt = SDL_GetTicks();
    zk_post_input(WM_LBUTTONDOWN, x, y);
}

void release(int x, int y) {
    if (!S.held) return;
    S.held = false;
    if (SDL_GetTicks() - S.pressedAt < MIN_PRESS_MS) {
        S.releasePending = true;
        S.releaseX = x;
        S.releaseY = y;
    } else {
        zk_post_input(WM_LBUTTONUP, x, y);
    }
}

void setIcon() {
    if (!S.icon || !S.window) return;
    static uint32_t argb[16 * 16];
    for (int i = 0; i < 256; ++i) {
        uint16_t c = S.icon[i];
        uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
        uint32_t a = c == 0xF81F ? 0 : 255;
        argb[i] = (a << 24) | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(argb, 16, 16, 32, 64, SDL_PIXELFORMAT_ARGB8888);
    if (s) {
        SDL_SetWindowIcon(S.window, s);
        SDL_FreeSurface(s);
    }
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
    // The largest whole scale whose window fits the usable display area.
    int scale = 2;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        scale = std::max(1, std::min((usable.w - 16) / ZK_SCREEN_W, (usable.h - 48) / ZK_SCREEN_H));
    }
    S.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, ZK_SCREEN_W * scale,
                                ZK_SCREEN_H * scale, SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!S.window) {
        std::snprintf(error, size_t(errorSize), "cannot open a window (%s)", SDL_GetError());
        SDL_Quit();
        return false;
    }
    SDL_SetWindowMinimumSize(S.window, ZK_SCREEN_W, ZK_SCREEN_H);
    S.renderer = SDL_CreateRenderer(S.window, -1, 0);
    if (!S.renderer) S.renderer = SDL_CreateRenderer(S.window, -1, SDL_RENDERER_SOFTWARE);
    if (S.renderer)
        S.texture = SDL_CreateTexture(S.renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, ZK_SCREEN_W,
                                      ZK_SCREEN_H);
    if (!S.renderer || !S.texture) {
        std::snprintf(error, size_t(errorSize), "cannot draw into the window (%s)", SDL_GetError());
        SDL_DestroyWindow(S.window);
        S.window = nullptr;
        SDL_Quit();
        return false;
    }
    setIcon();
    render();
    return true;
}

void close() {
    if (S.texture) SDL_DestroyTexture(S.texture);
    if (S.renderer) SDL_DestroyRenderer(S.renderer);
    if (S.window) SDL_DestroyWindow(S.window);
    S.texture = nullptr;
    S.renderer = nullptr;
    S.window = nullptr;
    SDL_Quit();
}

void present(const uint16_t* screen) {
    std::memcpy(S.screen, screen, sizeof S.screen);
    render();
}

void poll() {
    if (!S.window) return;
    if (S.releasePending && SDL_GetTicks() - S.pressedAt >= MIN_PRESS_MS) {
        zk_post_input(WM_LBUTTONUP, S.releaseX, S.releaseY);
        S.releasePending = false;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        int x, y;
        switch (e.type) {
            case SDL_QUIT:
                zk_post_close();
                break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) zk_post_close();
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                    render();
                break;
            case SDL_MOUSEBUTTONDOWN:
                if (e.button.button != SDL_BUTTON_LEFT || e.button.which == SDL_TOUCH_MOUSEID) break;
                toDevice(e.button.x, e.button.y, &x, &y);
                SDL_CaptureMouse(SDL_TRUE);
                press(x, y);
                break;
            case SDL_MOUSEBUTTONUP:
                if (e.button.button != SDL_BUTTON_LEFT || e.button.which == SDL_TOUCH_MOUSEID) break;
                toDevice(e.button.x, e.button.y, &x, &y);
                SDL_CaptureMouse(SDL_FALSE);
                release(x, y);
                break;
            case SDL_MOUSEMOTION:
                if (e.motion.which == SDL_TOUCH_MOUSEID || !S.held || S.fingerDown) break;
                toDevice(e.motion.x, e.motion.y, &x, &y);
                zk_post_input(WM_MOUSEMOVE, x, y);
                break;
            case SDL_FINGERDOWN:
            case SDL_FINGERMOTION:
            case SDL_FINGERUP: {
                int ww, wh;
                SDL_GetWindowSize(S.window, &ww, &wh);
                toDevice(double(e.tfinger.x) * ww, double(e.tfinger.y) * wh, &x, &y);
                if (e.type == SDL_FINGERDOWN) {
                    if (S.fingerDown) break;  // one stylus: further fingers are ignored
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
}

uint32_t ticks() { return SDL_GetTicks(); }

ZkDevice device{"sdl", open, close, present, poll, ticks};

}  // namespace

ZkDevice* zk_sdl_device() { return &device; }
ZkDevice* zk_linked_device() { return &device; }
void zk_sdl_set_icon(const uint16_t* rgb565) {
    S.icon = rgb565;
    setIcon();
}
