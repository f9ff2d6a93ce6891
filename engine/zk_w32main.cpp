// The application shell and the frame loop: the window, the back buffer and
// its presentation, the message pump, frame pacing and the stylus variables.
#include "zk_w32main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../platform/zk_device.h"
#include "ZKlib.h"

uint16_t zk_buffer[ZK_WIDTH * ZK_HEIGHT];
uint16_t zk_transpcolor = 0xF81F;

HBITMAP hbitmap;
HWND zk_hwnd;
HINSTANCE zk_instance;
char* ZK_Path;
int16_t stylusx;
int16_t stylusy;
uint8_t stylusheld;

uint32_t zk_destFPS = 40;
int32_t zk_FPSms = 25;
int32_t zk_FPS = 40;
uint8_t zk_showfps = 1;
uint32_t zk_fpscnt[64];
uint8_t zk_nfps;

namespace {

// Set when the main window has received WM_DESTROY, so the pump can tell the
// quit message of a window closed from outside from one posted by the game.
bool windowDestroyed;

// The frame clock of ZK_Refresh.
struct FrameClock {
    uint8_t initialized;
    uint32_t yet;       // last tick reading
    uint32_t next;      // tick at which the current slot ends
    uint32_t fps_yet;   // tick of the latest rate sample
    uint32_t fps_last;  // tick of the sample before it
};
FrameClock frameClock;

// Tick comparisons are made on the signed distance, so the wait neither hangs
// nor skips when the 32-bit millisecond counter wraps after 49.7 days.
bool reached(uint32_t now, uint32_t deadline) { return int32_t(now - deadline) >= 0; }

}  // namespace

void zk_resetframeclock() {
    frameClock = FrameClock{};
    windowDestroyed = false;
    zk_destFPS = 40;
    zk_FPSms = 25;
    zk_FPS = 40;
    zk_showfps = 1;
    std::memset(zk_fpscnt, 0, sizeof zk_fpscnt);
    zk_nfps = 0;
    stylusx = stylusy = 0;
    stylusheld = 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    WNDCLASSW wc{};
    wc.style = 0;
    wc.lpfnWndProc = MainProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = nullptr;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = SYS_COLOR_BRUSH_BTNFACE;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = L"zk";
    if (!RegisterClassW(&wc)) {
        std::fprintf(stderr, "ZKlib: cannot register the window class (error %u)\n", unsigned(GetLastError()));
        return 1;
    }
    HWND window = CreateWindowExW(0, L"zk", L"Coded using ZKlib", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                  ZK_WIDTH, ZK_HEIGHT, nullptr, nullptr, instance, nullptr);
    if (!window) {
        const char* why = zk_device_error();
        std::fprintf(stderr, "ZKlib: cannot create the game window: %s\n",
                     why && *why ? why : "the window system refused it");
        return 1;
    }
    hbitmap = CreateBitmap(ZK_WIDTH, ZK_HEIGHT, 1, 16, nullptr);
    ShowWindow(window, SW_SHOWMINNOACTIVE);  // always 7, whatever the shell asked for
    UpdateWindow(window);
    zk_hwnd = window;
    zk_instance = instance;
    zk_getcurrentpath();
    zk_main();
    zk_clean();
    return 0;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            InitFullScreen();
            EnableFullScreen(window);
            return 0;
        case WM_DESTROY:
            DeleteObject(hbitmap);
            hbitmap = nullptr;
            windowDestroyed = true;
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            drawBuffer(window);
            return 0;
        case WM_ERASEBKGND:
            return -1;  // never erased: nothing flickers to the class brush
        case WM_LBUTTONDOWN:
            stylusheld = 1;
            [[fallthrough]];
        case WM_MOUSEMOVE:
            stylusx = int16_t(LOWORD(lParam));
            stylusy = int16_t(HIWORD(lParam));
            return 0;
        case WM_LBUTTONUP:
            stylusheld = 0;
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void drawBuffer(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    HDC memory = CreateCompatibleDC(nullptr);
    SetBitmapBits(hbitmap, ZK_WIDTH * ZK_HEIGHT * 2, zk_buffer);
    SelectObject(memory, hbitmap);
    BitBlt(dc, 0, 0, ZK_WIDTH, ZK_HEIGHT, memory, 0, 0, SRCCOPY);
    DeleteDC(memory);
    EndPaint(window, &ps);
}

void zk_getcurrentpath() {
    std::free(ZK_Path);  // a process that starts the shell again keeps one copy
    ZK_Path = nullptr;
    // The module path may be longer than any fixed buffer: grow the buffer
    // until the whole path fits (a full buffer means it was cut short).
    std::vector<WCHAR> buffer(260);
    for (;;) {
        const DWORD got = GetModuleFileNameW(zk_instance, buffer.data(), DWORD(buffer.size()));
        if (got == 0) return;
        if (got < buffer.size()) break;
        buffer.resize(buffer.size() * 2);
    }
    const int n = int(std::wcslen(buffer.data())) + 1;
    // The code page may need several bytes per character: ask it how many.
    const int size = WideCharToMultiByte(CP_ACP, 0, buffer.data(), n, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    ZK_Path = static_cast<char*>(std::malloc(size_t(size)));
    if (!ZK_Path) return;
    if (WideCharToMultiByte(CP_ACP, 0, buffer.data(), n, ZK_Path, size, nullptr, nullptr) == 0) {
        std::free(ZK_Path);
        ZK_Path = nullptr;
        return;
    }
    // Keep the directory with its separator: a backslash on the handheld,
    // a slash here.
    char* cut = std::strrchr(ZK_Path, '\\');
    if (!cut) cut = std::strrchr(ZK_Path, '/');
    if (cut) cut[1] = 0;
}

void zk_clean() {
    zk_cleanspritealloc();
    // Every created record goes, hidden ones too, and the slots are cleared
    // so that nothing can reach a freed record afterwards.
    for (int32_t i = zk_minsprite; i <= zk_maxsprite; ++i) {
        std::free(zk_sprites[i]);
        zk_sprites[i] = nullptr;
    }
    ZK_ResetBg();
    zk_cleanfonts();
    DisableFullScreen(zk_hwnd);
    SendMessageW(zk_hwnd, WM_CLOSE, 0, 0);
}

void ZK_SetWindowIcon(const uint16_t* pixels, int width, int height) {
    zk_set_window_icon(pixels, width, height, zk_transpcolor);
}

void ZK_SetFrameRate(uint32_t rate) {
    zk_destFPS = rate & 0xFFFF;
    zk_FPSms = zk_destFPS ? int32_t(1000 / zk_destFPS) : 0;
}

void ZK_Refresh() {
    if (!frameClock.initialized) {
        frameClock.initialized = 1;
        uint32_t t = GetTickCount();
        frameClock.next = t + 32;
        frameClock.yet = t;
    }

    zk_whenrefresh();

    bool invalidated = false;
    for (;;) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                if (windowDestroyed) {
                    // The window was closed from outside: nothing is left to
                    // show or to read, so the program ends here, cleanly.
                    zk_clean();
                    std::exit(0);
                }
                break;  // ends this wait only; next is not advanced
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            continue;
        }
        frameClock.yet = GetTickCount();
        if (!invalidated && reached(frameClock.yet, frameClock.next - 3)) {
            InvalidateRect(zk_hwnd, nullptr, TRUE);
            invalidated = true;
        }
        if (!reached(frameClock.yet, frameClock.next)) continue;
        frameClock.next = frameClock.yet + uint32_t(zk_FPSms);
        if (zk_showfps) ZK_DebugText(0, 0, "%d  ", zk_FPS);
        break;
    }

    frameClock.fps_last = frameClock.fps_yet;
    frameClock.fps_yet = frameClock.yet;
    uint32_t d = frameClock.fps_yet - frameClock.fps_last;
    zk_fpscnt[zk_nfps] = (d ? 8000u / d : 0u) + 4u;
    zk_nfps = uint8_t(zk_nfps + 1);
    if (zk_nfps % 32 == 0) {
        uint32_t sum = 0;
        for (uint32_t s : zk_fpscnt) sum += s;
        zk_FPS = int32_t(sum >> 9);
        zk_nfps &= 63;
    }

    if (stylusx < 0) {
        stylusheld = 0;
        stylusx = 0;
    } else if (stylusx > ZK_WIDTH - 1) {
        stylusheld = 0;
        stylusx = ZK_WIDTH - 1;
    }
    if (stylusy < 0) {
        stylusheld = 0;
        stylusy = 0;
    } else if (stylusy > ZK_HEIGHT - 1) {
        stylusheld = 0;
        stylusy = ZK_HEIGHT - 1;
    }

    ZK_UpdateInput();
}
