// Full-screen mode: take the whole 240 x 320 screen from the device shell
// while the game runs (work area, task bar, input panel and its button) and
// give it back at the end.
#include "ZKlib.h"
#include "zk_w32main.h"

RECT rtDesktop;
RECT rtNewDesktop;
RECT rtTaskBar;
RECT rtInputPanel;
RECT rtSipButton;
HWND hWndTaskBar;
HWND hWndInputPanel;
HWND hWndSipButton;

namespace {
LONG widthOf(const RECT& r) { return r.right - r.left; }
LONG heightOf(const RECT& r) { return r.bottom - r.top; }
}  // namespace

void InitFullScreen() {
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &rtDesktop, 0) == 1) {
        SetRect(&rtNewDesktop, 0, 0, ZK_WIDTH, ZK_HEIGHT);
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &rtNewDesktop, SPIF_UPDATEINIFILE);
    }
    hWndInputPanel = FindWindowW(L"SipWndClass", nullptr);
    if (hWndInputPanel) GetWindowRect(hWndInputPanel, &rtInputPanel);
    hWndSipButton = FindWindowW(L"MS_SIPBUTTON", nullptr);
    if (hWndSipButton) GetWindowRect(hWndSipButton, &rtSipButton);
    hWndTaskBar = FindWindowW(L"HHTaskBar", nullptr);
    if (hWndTaskBar) GetWindowRect(hWndTaskBar, &rtTaskBar);
}

void EnableFullScreen(HWND window) {
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &rtNewDesktop, SPIF_UPDATEINIFILE);
    const LONG bottom = rtNewDesktop.bottom;
    if (hWndTaskBar) MoveWindow(hWndTaskBar, 0, bottom, widthOf(rtTaskBar), heightOf(rtTaskBar), FALSE);
    if (hWndInputPanel)
        MoveWindow(hWndInputPanel, 0, bottom - heightOf(rtInputPanel), widthOf(rtInputPanel),
                   heightOf(rtInputPanel), FALSE);
    if (hWndSipButton) MoveWindow(hWndSipButton, 0, bottom, widthOf(rtSipButton), heightOf(rtSipButton), FALSE);
    MoveWindow(window, rtNewDesktop.left, rtNewDesktop.top, widthOf(rtNewDesktop), heightOf(rtNewDesktop), FALSE);
}

void DisableFullScreen(HWND window) {
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &rtDesktop, SPIF_UPDATEINIFILE);
    const LONG taskBarHeight = hWndTaskBar ? heightOf(rtTaskBar) : 0;
    if (hWndTaskBar)
        MoveWindow(hWndTaskBar, rtTaskBar.left, rtTaskBar.top, widthOf(rtTaskBar), heightOf(rtTaskBar), FALSE);
    if (hWndInputPanel)
        MoveWindow(hWndInputPanel, rtDesktop.left, rtDesktop.bottom - heightOf(rtInputPanel) - taskBarHeight,
                   widthOf(rtInputPanel), heightOf(rtInputPanel), FALSE);
    if (hWndSipButton)
        MoveWindow(hWndSipButton, rtSipButton.left, rtSipButton.top, widthOf(rtSipButton), heightOf(rtSipButton),
                   FALSE);
    MoveWindow(window, rtDesktop.left, rtDesktop.top, widthOf(rtDesktop), heightOf(rtDesktop) - taskBarHeight,
               FALSE);
}
