// The SDL device's input, without a display server: SDL's dummy video driver,
// events injected with SDL_PushEvent, read back as the stylus messages the
// layer hands out. Each frame of the pump takes every deliverable message,
// then asks for one repaint, as the engine's frame loop does.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <vector>

#include "zk_sdl.h"

namespace {

using Got = std::tuple<UINT, int, int, int>;  // message, x, y, frame
std::vector<Got> got;
int frame = 0;

LRESULT CALLBACK record(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE || message == WM_LBUTTONUP)
        got.push_back({message, int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam)), frame});
    return DefWindowProcW(w, message, wParam, lParam);
}

// Events come in window points; a finger's position is a fraction of the
// window.
enum Kind { Down, Up, TouchMouse, Move, TouchDown, SecondFinger, TouchMove, TouchUp };
struct Step {
    Kind kind;
    double x, y;
};

SDL_Event event(const Step& s) {
    SDL_Event e{};
    if (s.kind <= TouchMouse) {
        e.type = s.kind == Up ? SDL_MOUSEBUTTONUP : SDL_MOUSEBUTTONDOWN;
        e.button.button = SDL_BUTTON_LEFT, e.button.which = s.kind == TouchMouse ? SDL_TOUCH_MOUSEID : 0;
        e.button.x = int(s.x), e.button.y = int(s.y);
    } else if (s.kind == Move) {
        e.type = SDL_MOUSEMOTION, e.motion.x = int(s.x), e.motion.y = int(s.y);
    } else {
        e.type = s.kind == TouchMove ? SDL_FINGERMOTION : s.kind == TouchUp ? SDL_FINGERUP : SDL_FINGERDOWN;
        e.tfinger.fingerId = s.kind == SecondFinger ? 2 : 1, e.tfinger.x = float(s.x), e.tfinger.y = float(s.y);
    }
    return e;
}

struct Case {
    const char* what;
    int windowW, windowH;  // points
    int outputW, outputH;  // drawable pixels; 0: as SDL reports (points)
    std::vector<Step> steps;
    std::vector<Got> want;
};

constexpr UINT D = WM_LBUTTONDOWN, M = WM_MOUSEMOVE, U = WM_LBUTTONUP;

// Scale s = min(output / 240 x 320); the picture is centred, so device pixel
// = floor((point x ratio - offset) / s), off the picture included.
const Case cases[] = {
    {"1x, corners", 240, 320, 0, 0, {{Down, 0, 0}, {Move, 239, 319}, {Up, 239, 319}},
     {{D, 0, 0, 0}, {M, 239, 319, 0}, {U, 239, 319, 2}}},
    {"2x letterboxed 10, 30: drag past the left and top edges", 500, 700, 0, 0,
     {{Down, 10, 30}, {Move, 0, 0}, {Move, 9, 29}, {Up, 9, 29}},
     {{D, 0, 0, 0}, {M, -5, -15, 0}, {M, -1, -1, 0}, {U, -1, -1, 2}}},
    {"2x: drag past the right and bottom edges", 500, 700, 0, 0,
     {{Down, 489, 669}, {Move, 490, 670}, {Move, 499, 699}, {Up, 499, 699}},
     {{D, 239, 319, 0}, {M, 240, 320, 0}, {M, 244, 334, 0}, {U, 244, 334, 2}}},
    {"3x letterboxed 40, 0", 800, 960, 0, 0, {{Down, 342, 601}, {Up, 342, 601}}, {{D, 100, 200, 0}, {U, 100, 200, 2}}},
    {"4x letterboxed 0, 60", 960, 1400, 0, 0, {{Down, 3, 63}, {Up, 959, 1339}}, {{D, 0, 0, 0}, {U, 239, 319, 2}}},
    {"HiDPI: 2 pixels a point, 4x", 480, 640, 960, 1280, {{Down, 121, 161}, {Up, 121, 161}}, {{D, 60, 80, 0}, {U, 60, 80, 2}}},
    {"HiDPI letterboxed 20 pixels", 500, 640, 1000, 1280, {{Down, 10, 0}, {Up, 9, 0}}, {{D, 0, 0, 0}, {U, -1, 0, 2}}},
    {"a quick double click stays two clicks", 240, 320, 0, 0, {{Down, 5, 6}, {Up, 5, 6}, {Down, 5, 6}, {Up, 5, 6}},
     {{D, 5, 6, 0}, {U, 5, 6, 2}, {D, 5, 6, 4}, {U, 5, 6, 6}}},
    {"moves only while held; touch-made mouse events ignored", 240, 320, 0, 0,
     {{Move, 1, 1}, {TouchMouse, 2, 2}, {Up, 3, 3}}, {}},
    {"touch at 2x, a second finger ignored", 500, 700, 0, 0,
     {{TouchDown, 0.5, 0.5}, {SecondFinger, 0.1, 0.1}, {TouchMove, 0.0, 1.0}, {TouchUp, 0.0, 1.0}},
     {{D, 120, 160, 0}, {M, -5, 335, 0}, {U, -5, 335, 2}}},
};

TEST(SdlInput, MouseAndTouchReachTheStylusAtTheRightDevicePixel) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    zk_use_device(zk_sdl_device());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zk_platform_reset();
        WNDCLASSW wc{0, record, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"sdl-input"};
        ASSERT_TRUE(RegisterClassW(&wc));
        HWND w = CreateWindowExW(0, L"sdl-input", L"input", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(w, nullptr) << zk_device_error();
        SDL_SetWindowSize(zk_sdl_window(), c.windowW, c.windowH);
        zk_sdl_assume_output_size(c.outputW, c.outputH);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);  // the resize
        got.clear();
        for (const Step& s : c.steps) {
            SDL_Event e = event(s);
            ASSERT_EQ(SDL_PushEvent(&e), 1);
        }
        for (frame = 0; frame < 10; ++frame) {
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
            InvalidateRect(w, nullptr, TRUE);
        }
        EXPECT_EQ(got, c.want);
        SendMessageW(w, WM_CLOSE, 0, 0);
        EXPECT_EQ(zk_sdl_window(), nullptr);
    }
    zk_sdl_assume_output_size(0, 0);
}

}  // namespace
