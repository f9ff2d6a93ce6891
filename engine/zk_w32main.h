// The shell's own declarations: what the platform entry, the window
// procedure and full-screen mode share. Games include ZKlib.h only.
#pragma once

#include "../platform/zk_win32.h"

extern HBITMAP hbitmap;
extern HWND zk_hwnd;
extern HINSTANCE zk_instance;

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void drawBuffer(HWND window);

extern RECT rtDesktop;
extern RECT rtNewDesktop;
extern RECT rtTaskBar;
extern RECT rtInputPanel;
extern RECT rtSipButton;
extern HWND hWndTaskBar;
extern HWND hWndInputPanel;
extern HWND hWndSipButton;

void InitFullScreen();
void EnableFullScreen(HWND window);
void DisableFullScreen(HWND window);

// Starts the frame clock, the rate measurement and the raw stylus again as at
// program start, for processes that run the shell more than once (tests and
// the recorder).
void zk_resetframeclock();
