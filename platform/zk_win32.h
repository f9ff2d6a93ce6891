// The small Win32-style layer the engine's shell is written against.
//
// It offers exactly the window-manager, drawing, message and time calls the
// shell uses, under their Win32 names and with the behaviour the shell relies
// on; behind it one device (an SDL2 desktop window, or a headless one for
// tests and tools) supplies the screen, the clock and the stylus.
#pragma once

#include <cstdint>
#include <cwchar>

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef intptr_t LRESULT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef wchar_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef BOOL* LPBOOL;
typedef void* LPVOID;
typedef const void* LPCVOID;

struct ZkWindow;
struct ZkDC;
struct ZkGdiObject;
struct ZkModule;
typedef ZkWindow* HWND;
typedef ZkDC* HDC;
typedef ZkGdiObject* HGDIOBJ;
typedef ZkGdiObject* HBITMAP;
typedef ZkGdiObject* HBRUSH;
typedef ZkGdiObject* HICON;
typedef ZkGdiObject* HCURSOR;
typedef ZkGdiObject* HMENU;
typedef ZkModule* HINSTANCE;

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct RECT {
    LONG left, top, right, bottom;
};
typedef RECT* LPRECT;

struct POINT {
    LONG x, y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
typedef MSG* LPMSG;

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
};

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};

// Messages.
enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_ERASEBKGND = 0x0014,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
};

#define WS_VISIBLE 0x10000000u
#define CW_USEDEFAULT ((int)0x80000000)
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define SRCCOPY 0x00CC0020u
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOW 5
#define CP_ACP 0u
#define SPI_SETWORKAREA 0x002Fu
#define SPI_GETWORKAREA 0x0030u
#define SPIF_UPDATEINIFILE 0x0001u
#define COLOR_BTNFACE 15
#define SYS_COLOR_BRUSH_BTNFACE ((HBRUSH)(uintptr_t)0x40000010u)
#define MAKEINTRESOURCEW(i) ((LPCWSTR)(uintptr_t)(WORD)(i))
#define IDI_APPLICATION MAKEINTRESOURCEW(0x7F00)
#define IDC_ARROW MAKEINTRESOURCEW(0x7F00)
#define LOWORD(l) ((WORD)((uintptr_t)(l) & 0xFFFF))
#define HIWORD(l) ((WORD)(((uintptr_t)(l) >> 16) & 0xFFFF))
#define MAKELPARAM(lo, hi) ((LPARAM)(uint32_t)(((uint32_t)(WORD)(lo)) | (((uint32_t)(WORD)(hi)) << 16)))

#define ERROR_SUCCESS 0u
#define ERROR_INVALID_WINDOW_HANDLE 1400u
#define ERROR_CANNOT_FIND_WND_CLASS 1407u
#define ERROR_CLASS_ALREADY_EXISTS 1410u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_DEVICE_NOT_AVAILABLE 4319u

// Windows.
WORD RegisterClassW(const WNDCLASSW* wc);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
HWND FindWindowW(LPCWSTR className, LPCWSTR title);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);

// The queue.
BOOL PeekMessageW(LPMSG msg, HWND window, UINT first, UINT last, UINT remove);
void PostQuitMessage(int exitCode);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);

// Drawing.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
LONG SetBitmapBits(HBITMAP bitmap, DWORD bytes, const void* bits);
HDC CreateCompatibleDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);

// System.
DWORD GetTickCount();
BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID data, UINT flags);
BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
DWORD GetModuleFileNameW(HINSTANCE module, LPWSTR buffer, DWORD size);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR out, int outBytes,
                        LPCSTR defaultChar, LPBOOL usedDefault);
DWORD GetLastError();

// The process entry calls this; the engine's shell defines it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
