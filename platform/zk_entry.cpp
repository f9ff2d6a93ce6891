// The process entry. C++ gives the one global main to the platform, as SDL
// does with SDL_main: ZKlib.h renames the game's main() to zk_main(), and
// this main starts WinMain, which calls it.
#include "zk_win32.h"

int main(int, char**) {
    static char module;  // the instance handle only has to be distinct
    static WCHAR noCommandLine[] = L"";
    return WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, noCommandLine, SW_SHOW);
}
