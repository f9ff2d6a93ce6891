// The Win32-style layer: a class table, windows, one message queue, 16-bit
// bitmaps and memory DCs, and a few system calls, enough for the engine's
// shell and full-screen code to run as written. The device (zk_device.h)
// provides the screen, the clock and the stylus.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "zk_device.h"
#include "zk_win32.h"

struct ZkWindow {
    std::wstring className;
    std::wstring title;
    DWORD style = 0;
    RECT rect{};
    WNDPROC proc = nullptr;
    bool alive = true;
    bool invalid = false;
    bool shown = false;  // the window the device shows
};

struct ZkGdiObject {
    enum Kind { Bitmap, Stock } kind = Stock;
    int width = 0, height = 0;
    std::vector<uint16_t> bits;
};

struct ZkDC {
    HWND window = nullptr;  // null: a memory DC
    HBITMAP selected = nullptr;
};

namespace {

struct WindowClass {
    std::wstring name;
    WNDPROC proc;
};

// When the last painted picture may be shown (see zk_device.h): once a
// clock reading reaches showFrom after a paint, at the next poll.
struct ShowSchedule {
    uint32_t lastTick = 0;          // the last clock reading given out
    uint32_t showFrom = 0;
    bool repaintAsked = false;      // InvalidateRect since the last show
    bool painted = false;           // a paint since the last show
    bool due = false;
};

// The tap gate (see zk_device.h) counts repaint requests since the last
// stylus button message left the queue. The engine sampled that message once
// two have passed, or once one has and its wait is known to be over.
struct TapGate {
    int repaints = 2;
    uint32_t repaintTick = 0;  // the clock reading of the last request
    bool waitOver = false;     // a reading since then is past that wait's end
    bool open() const { return repaints >= 2 || (repaints == 1 && waitOver); }
};

struct Layer {
    std::vector<WindowClass> classes;
    // Windows stay allocated until the layer is reset, so a stale handle is
    // recognised as dead instead of being read after it is freed.
    std::vector<std::unique_ptr<ZkWindow>> windows;
    std::deque<MSG> queue;
    bool quitPending = false;
    int quitCode = 0;
    RECT workArea{0, 0, ZK_SCREEN_W, ZK_SCREEN_H};
    DWORD lastError = 0;
    std::string deviceError;
    uint16_t screen[ZK_SCREEN_W * ZK_SCREEN_H]{};
    ZkDevice* device = nullptr;
    bool deviceOpen = false;
    ShowSchedule show;
    TapGate gate;
    std::vector<uint32_t> icon;  // 0xAARRGGBB
    int iconW = 0, iconH = 0;
};

Layer& layer() {
    static Layer L;
    return L;
}

ZkGdiObject stockIcon, stockCursor;

bool alive(HWND w) {
    if (!w) return false;
    for (auto& p : layer().windows)
        if (p.get() == w) return p->alive;
    return false;
}

HWND shownWindow() {
    for (auto& p : layer().windows)
        if (p->alive && p->shown) return p.get();
    return nullptr;
}

ZkDevice* device() {
    Layer& L = layer();
    return L.device ? L.device : zk_linked_device();
}

void giveIcon() {
    Layer& L = layer();
    if (L.deviceOpen && !L.icon.empty() && device()->icon) device()->icon(L.icon.data(), L.iconW, L.iconH);
}

bool isButton(UINT message) { return message == WM_LBUTTONDOWN || message == WM_LBUTTONUP; }

// The queue's front message, unless the tap gate holds it (and so everything
// behind it, to keep the order).
const MSG* deliverable() {
    Layer& L = layer();
    if (L.queue.empty()) return nullptr;
    const MSG& m = L.queue.front();
    if (isButton(m.message) && !L.gate.open()) return nullptr;
    return &m;
}

void destroyWindow(HWND w) {
    if (!alive(w)) return;
    w->proc(w, WM_DESTROY, 0, 0);
    w->alive = false;
    if (w->shown && layer().deviceOpen) {
        device()->close();
        layer().deviceOpen = false;
    }
    // Messages for a dead window are never delivered.
    auto& q = layer().queue;
    q.erase(std::remove_if(q.begin(), q.end(), [w](const MSG& m) { return m.hwnd == w; }), q.end());
}

}  // namespace

// ---------------------------------------------------------------- devices

void zk_use_device(ZkDevice* d) { layer().device = d; }
ZkDevice* zk_current_device() { return device(); }
const uint16_t* zk_device_screen() { return layer().screen; }
const char* zk_device_error() { return layer().deviceError.c_str(); }

void zk_post_input(UINT message, int x, int y) {
    HWND w = shownWindow();
    if (!w) return;
    MSG m{};
    m.hwnd = w;
    m.message = message;
    m.lParam = MAKELPARAM(int16_t(x), int16_t(y));
    layer().queue.push_back(m);
}

void zk_post_close() {
    HWND w = shownWindow();
    if (!w) return;
    MSG m{};
    m.hwnd = w;
    m.message = WM_CLOSE;
    layer().queue.push_back(m);
}

void zk_post_repaint() {
    if (HWND w = shownWindow()) w->invalid = true;
}

void zk_set_window_icon(const uint16_t* rgb565, int width, int height, uint16_t transparent) {
    if (!rgb565 || width < 1 || height < 1 || width > 256 || height > 256) return;
    Layer& L = layer();
    L.icon.resize(size_t(width) * size_t(height));
    for (size_t i = 0; i < L.icon.size(); ++i) {
        const uint32_t c = rgb565[i];
        const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
        const uint32_t alpha = c == transparent ? 0u : 0xFFu;
        L.icon[i] = (alpha << 24) | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
    L.iconW = width;
    L.iconH = height;
    giveIcon();
}

void zk_platform_reset() {
    Layer& L = layer();
    if (L.deviceOpen) device()->close();
    ZkDevice* keep = L.device;
    L.~Layer();
    new (&L) Layer();
    L.device = keep;
}

// ---------------------------------------------------------------- windows

WORD RegisterClassW(const WNDCLASSW* wc) {
    Layer& L = layer();
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
        L.lastError = ERROR_CANNOT_FIND_WND_CLASS;
        return 0;
    }
    for (auto& c : L.classes)
        if (c.name == wc->lpszClassName) {
            L.lastError = ERROR_CLASS_ALREADY_EXISTS;
            return 0;
        }
    L.classes.push_back({wc->lpszClassName, wc->lpfnWndProc});
    return WORD(0xC000 + L.classes.size());
}

HWND CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width, int height,
                     HWND, HMENU, HINSTANCE, LPVOID) {
    Layer& L = layer();
    const WindowClass* cls = nullptr;
    for (auto& c : L.classes)
        if (className && c.name == className) cls = &c;
    if (!cls) {
        L.lastError = ERROR_CANNOT_FIND_WND_CLASS;
        return nullptr;
    }
    auto w = std::make_unique<ZkWindow>();
    w->className = cls->name;
    w->title = title ? title : L"";
    w->style = style;
    w->proc = cls->proc;
    if (x == CW_USEDEFAULT) x = 0;
    if (y == CW_USEDEFAULT) y = 0;
    w->rect = RECT{x, y, x + width, y + height};
    w->invalid = (style & WS_VISIBLE) != 0;

    // The first visible window is the one the device shows.
    if ((style & WS_VISIBLE) && !shownWindow()) {
        char utf8[256];
        int n = WideCharToMultiByte(CP_ACP, 0, w->title.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
        if (n == 0) utf8[0] = 0;
        char error[256] = "";
        if (!device()->open(utf8, error, sizeof error)) {
            L.lastError = ERROR_DEVICE_NOT_AVAILABLE;
            L.deviceError = error;
            return nullptr;
        }
        L.deviceOpen = true;
        w->shown = true;
        giveIcon();
    }
    HWND h = w.get();
    L.windows.push_back(std::move(w));
    if (h->proc(h, WM_CREATE, 0, 0) == -1) {
        destroyWindow(h);
        return nullptr;
    }
    return h;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR title) {
    for (auto& p : layer().windows) {
        if (!p->alive) continue;
        if (className && p->className != className) continue;
        if (title && p->title != title) continue;
        return p.get();
    }
    return nullptr;
}

BOOL GetWindowRect(HWND w, LPRECT r) {
    if (!alive(w) || !r) {
        layer().lastError = ERROR_INVALID_WINDOW_HANDLE;
        return FALSE;
    }
    *r = w->rect;
    return TRUE;
}

BOOL MoveWindow(HWND w, int x, int y, int width, int height, BOOL repaint) {
    if (!alive(w)) {
        layer().lastError = ERROR_INVALID_WINDOW_HANDLE;
        return FALSE;
    }
    w->rect = RECT{x, y, x + width, y + height};
    if (repaint) w->invalid = true;
    return TRUE;
}

BOOL ShowWindow(HWND w, int) {
    if (!alive(w)) return FALSE;
    BOOL was = (w->style & WS_VISIBLE) != 0;
    w->style |= WS_VISIBLE;
    w->invalid = true;
    return was;
}

BOOL UpdateWindow(HWND w) {
    if (!alive(w)) return FALSE;
    if (w->invalid) w->proc(w, WM_PAINT, 0, 0);
    return TRUE;
}

LRESULT DefWindowProcW(HWND w, UINT message, WPARAM, LPARAM) {
    switch (message) {
        case WM_CLOSE:
            destroyWindow(w);
            return 0;
        case WM_PAINT:
            if (alive(w)) w->invalid = false;
            return 0;
        default:
            return 0;
    }
}

LRESULT SendMessageW(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!alive(w)) return 0;
    return w->proc(w, message, wParam, lParam);
}

HICON LoadIconW(HINSTANCE, LPCWSTR name) { return name == IDI_APPLICATION ? &stockIcon : nullptr; }
HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) { return name == IDC_ARROW ? &stockCursor : nullptr; }

// ---------------------------------------------------------------- the queue

BOOL PeekMessageW(LPMSG msg, HWND, UINT, UINT, UINT remove) {
    Layer& L = layer();
    if (L.show.due) {
        L.show = ShowSchedule{L.show.lastTick};
        if (L.deviceOpen && device()->show) device()->show();
    }
    device()->poll();
    if (const MSG* front = deliverable()) {
        *msg = *front;
        if (remove & PM_REMOVE) {
            if (isButton(msg->message)) L.gate.repaints = 0;
            L.queue.pop_front();
        }
        return TRUE;
    }
    if (L.quitPending) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = WPARAM(L.quitCode);
        if (remove & PM_REMOVE) L.quitPending = false;
        return TRUE;
    }
    for (auto& p : L.windows)
        if (p->alive && p->invalid) {
            *msg = MSG{};
            msg->hwnd = p.get();
            msg->message = WM_PAINT;
            return TRUE;
        }
    if (L.deviceOpen && device()->idle) device()->idle();
    return FALSE;
}

void PostQuitMessage(int code) {
    layer().quitPending = true;
    layer().quitCode = code;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg || !alive(msg->hwnd)) return 0;
    return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL InvalidateRect(HWND w, const RECT*, BOOL) {
    Layer& L = layer();
    // Only the engine's frame loop asks for repaints, once in each frame's
    // wait and at most 3 ms before its end, which the show schedule and the
    // tap gate count on.
    if (!w || alive(w)) {
        L.gate = TapGate{std::min(L.gate.repaints + 1, 2), L.show.lastTick, false};
        L.show.showFrom = L.show.lastTick + 3;
        L.show.repaintAsked = true;
    }
    if (!w) {
        for (auto& p : layer().windows)
            if (p->alive) p->invalid = true;
        return TRUE;
    }
    if (!alive(w)) return FALSE;
    w->invalid = true;
    return TRUE;
}

// ---------------------------------------------------------------- drawing

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
    if (width <= 0 || height <= 0 || planes != 1 || bpp != 16 || width > 4096 || height > 4096) {
        layer().lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    auto* b = new ZkGdiObject;
    b->kind = ZkGdiObject::Bitmap;
    b->width = width;
    b->height = height;
    b->bits.assign(size_t(width) * size_t(height), 0);
    if (bits) std::memcpy(b->bits.data(), bits, b->bits.size() * 2);
    return b;
}

LONG SetBitmapBits(HBITMAP b, DWORD bytes, const void* bits) {
    if (!b || b->kind != ZkGdiObject::Bitmap || !bits) return 0;
    size_t n = std::min<size_t>(bytes, b->bits.size() * 2);
    std::memcpy(b->bits.data(), bits, n);
    return LONG(n);
}

HDC CreateCompatibleDC(HDC) { return new ZkDC; }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!dc) return nullptr;
    HGDIOBJ old = dc->selected;
    dc->selected = object;
    return old;
}

namespace {
// The part of [0, count) that an offset moves into [lo, hi), as [first, end),
// in 64 bits so that no sum of coordinates overflows.
struct Span {
    int64_t first, end;
};
Span clipSpan(int64_t count, int64_t offset, int64_t lo, int64_t hi) {
    return Span{std::max<int64_t>(0, lo - offset), std::min<int64_t>(count, hi - offset)};
}
}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
    if (!dest || !source || rop != SRCCOPY || !alive(dest->window)) return FALSE;
    HBITMAP b = source->selected;
    if (!b || b->kind != ZkGdiObject::Bitmap) return FALSE;
    Layer& L = layer();
    const RECT& wr = dest->window->rect;
    // Clip once, to the source bitmap and to the window where it lies on the
    // device screen; then every row left is one copy.
    const int64_t left = int64_t(wr.left) + x, top = int64_t(wr.top) + y;
    const Span colsIn = clipSpan(width, sx, 0, b->width), rowsIn = clipSpan(height, sy, 0, b->height);
    const Span colsOut = clipSpan(width, left, std::max<LONG>(0, wr.left), std::min<LONG>(ZK_SCREEN_W, wr.right));
    const Span rowsOut = clipSpan(height, top, std::max<LONG>(0, wr.top), std::min<LONG>(ZK_SCREEN_H, wr.bottom));
    const int64_t c0 = std::max(colsIn.first, colsOut.first), c1 = std::min(colsIn.end, colsOut.end);
    const int64_t r0 = std::max(rowsIn.first, rowsOut.first), r1 = std::min(rowsIn.end, rowsOut.end);
    for (int64_t r = r0; c0 < c1 && r < r1; ++r)
        std::memcpy(&L.screen[(top + r) * ZK_SCREEN_W + left + c0], &b->bits[size_t((sy + r) * b->width + sx + c0)],
                    size_t(c1 - c0) * 2);
    if (dest->window->shown) {
        if (!L.show.painted && !L.show.repaintAsked) L.show.showFrom = L.show.lastTick;
        L.show.painted = true;
        device()->present(L.screen);
    }
    return TRUE;
}

HDC BeginPaint(HWND w, PAINTSTRUCT* paint) {
    if (!alive(w)) return nullptr;
    w->invalid = false;
    auto* dc = new ZkDC;
    dc->window = w;
    if (paint) {
        *paint = PAINTSTRUCT{};
        paint->hdc = dc;
        paint->rcPaint = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    }
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (paint) delete paint->hdc;
    return TRUE;
}

BOOL DeleteDC(HDC dc) {
    delete dc;
    return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object || object == &stockIcon || object == &stockCursor) return FALSE;
    delete object;
    return TRUE;
}

// ---------------------------------------------------------------- system

DWORD GetTickCount() {
    Layer& L = layer();
    ShowSchedule& s = L.show;
    s.lastTick = device()->ticks();
    if (s.painted && int32_t(s.lastTick - s.showFrom) >= 0) s.due = true;
    if (int32_t(s.lastTick - (L.gate.repaintTick + 3)) >= 0) L.gate.waitOver = true;
    return s.lastTick;
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID data, UINT) {
    if (!data) return FALSE;
    if (action == SPI_GETWORKAREA) {
        *static_cast<RECT*>(data) = layer().workArea;
        return TRUE;
    }
    if (action == SPI_SETWORKAREA) {
        layer().workArea = *static_cast<const RECT*>(data);
        return TRUE;
    }
    return FALSE;
}

BOOL SetRect(LPRECT r, int left, int top, int right, int bottom) {
    if (!r) return FALSE;
    *r = RECT{left, top, right, bottom};
    return TRUE;
}

namespace {

// Bytes that are not UTF-8 become the wide characters 0xDC80..0xDCFF (lone
// low surrogates, which no UTF-8 text can hold), and go back to the same
// bytes, so any file name makes the round trip.
constexpr uint32_t ESCAPED_BYTE = 0xDC00;

// The length of the UTF-8 sequence that starts at bytes[i] and the character
// it holds; 0 when none starts there.
int utf8At(const std::string& bytes, size_t i, uint32_t& c) {
    const uint8_t b = uint8_t(bytes[i]);
    const int n = b < 0x80 ? 1 : b < 0xC2 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
    if (n == 0 || i + size_t(n) > bytes.size()) return 0;
    c = n == 1 ? b : b & (0x7Fu >> n);
    for (int k = 1; k < n; ++k) {
        const uint8_t next = uint8_t(bytes[i + size_t(k)]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[n] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
    return n;
}

std::wstring decodeUtf8(const std::string& bytes) {
    std::wstring out;
    for (size_t i = 0; i < bytes.size();) {
        uint32_t c = 0;
        const int n = utf8At(bytes, i, c);
        out += n ? WCHAR(c) : WCHAR(ESCAPED_BYTE + uint8_t(bytes[i]));
        i += n ? size_t(n) : 1;
    }
    return out;
}

}  // namespace

DWORD GetModuleFileNameW(HINSTANCE, LPWSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
        if (n <= 0) {
            layer().lastError = ERROR_FILE_NOT_FOUND;
            return 0;
        }
        if (size_t(n) < path.size()) {
            path.resize(size_t(n));
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::wstring wide = decodeUtf8(path);
    // As on Win32: a buffer too small gets as much as fits, terminated, the
    // result is the buffer's size and the error says so.
    const size_t copied = std::min<size_t>(wide.size(), size - 1);
    std::wmemcpy(buffer, wide.data(), copied);
    buffer[copied] = 0;
    if (copied < wide.size()) {
        layer().lastError = ERROR_INSUFFICIENT_BUFFER;
        return size;
    }
    return DWORD(copied);
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR wide, int wideCount, LPSTR out, int outBytes, LPCSTR, LPBOOL) {
    // The system code page is UTF-8 here.
    if (!wide) return 0;
    if (wideCount < 0) wideCount = int(std::wcslen(wide)) + 1;
    std::string s;
    for (int i = 0; i < wideCount; ++i) {
        uint32_t c = uint32_t(wide[i]);
        if (c >= ESCAPED_BYTE + 0x80 && c <= ESCAPED_BYTE + 0xFF) {
            s += char(c - ESCAPED_BYTE);
            continue;
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = '?';
        if (c < 0x80) {
            s += char(c);
        } else if (c < 0x800) {
            s += char(0xC0 | (c >> 6));
            s += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            s += char(0xE0 | (c >> 12));
            s += char(0x80 | ((c >> 6) & 0x3F));
            s += char(0x80 | (c & 0x3F));
        } else {
            s += char(0xF0 | (c >> 18));
            s += char(0x80 | ((c >> 12) & 0x3F));
            s += char(0x80 | ((c >> 6) & 0x3F));
            s += char(0x80 | (c & 0x3F));
        }
    }
    if (!out || outBytes == 0) return int(s.size());
    if (int(s.size()) > outBytes) {
        layer().lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    std::memcpy(out, s.data(), s.size());
    return int(s.size());
}

DWORD GetLastError() { return layer().lastError; }
