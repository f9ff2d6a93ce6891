#include "zk_test_support.h"

#include "zk_w32main.h"

std::function<void(uint8_t)> zk_test_dovect;
static std::function<int()> testMain;

int zk_main() { return testMain ? testMain() : 0; }
void zk_DoVect(uint8_t layer) {
    if (zk_test_dovect) zk_test_dovect(layer);
}

int zk_test_run(const std::function<int()>& body, const std::function<void()>& setup) {
    zk_use_device(zk_headless_device());
    zk_platform_reset();
    zk_headless_reset();
    zk_resetframeclock();
    if (setup) setup();
    testMain = body;
    static char module;
    static WCHAR none[] = L"";
    int rc = WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, none, SW_SHOW);
    testMain = nullptr;
    return rc;
}

uint16_t zk_test_blend(uint16_t k, uint16_t d, int alpha) {
    const uint32_t m = 0x07E0F81F;
    const uint32_t K = (k | uint32_t(k) << 16) & m, D = (d | uint32_t(d) << 16) & m;
    const uint32_t r = (D + (((K - D) * uint32_t(alpha)) >> 5)) & m;
    return uint16_t(r | r >> 16);
}
