// Preloaded into a program (LD_PRELOAD) by measure_runtime.sh: writes one
// line to the file named by ZK_PRESENT_LOG each time the program shows a
// picture through SDL (a renderer present, a window surface update or a GL
// swap), so a script can count presents over any stretch of time by counting
// lines. Each line is one write(), so a count read while the program runs is
// exact.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

static int logFile = -2;

static void note(void) {
    if (logFile == -2) {
        const char* path = getenv("ZK_PRESENT_LOG");
        logFile = path ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }
    if (logFile >= 0 && write(logFile, "p\n", 2) != 2) logFile = -1;
}

void SDL_RenderPresent(void* renderer) {
    static void (*real)(void*);
    if (!real) real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_RenderPresent");
    real(renderer);
    note();
}

int SDL_UpdateWindowSurface(void* window) {
    static int (*real)(void*);
    if (!real) real = (int (*)(void*))dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface");
    int result = real(window);
    note();
    return result;
}

void SDL_GL_SwapWindow(void* window) {
    static void (*real)(void*);
    if (!real) real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    real(window);
    note();
}
