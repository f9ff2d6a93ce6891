// The shell, the message pump and frame pacing, and full-screen mode, run on
// the headless device's virtual clock (1 ms per tick reading unless set).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "zk_test_support.h"
#include "zk_w32main.h"

namespace {

// The last tick value the engine read (the clock has moved one step past it).
uint32_t lastRead() { return zk_headless_clock() - 1; }

// The tick each present happened at, while the recorder is in scope.
struct PaintRecorder {
    std::vector<uint32_t> times;
    PaintRecorder() {
        zk_headless_on_present([](const uint16_t*, void* me) { static_cast<PaintRecorder*>(me)->times.push_back(lastRead()); },
                               this);
    }
    ~PaintRecorder() { zk_headless_on_present(nullptr, nullptr); }
};

bool rectIs(HWND w, LONG l, LONG t, LONG r, LONG b) {
    RECT rc{};
    return GetWindowRect(w, &rc) && rc.left == l && rc.top == t && rc.right == r && rc.bottom == b;
}

}  // namespace

TEST(Shell, StartUpPaintsAndShutDown) {
    PaintRecorder paints;
    EXPECT_EQ(zk_test_run([&] {
                  ZK_Init();
                  EXPECT_EQ(FindWindowW(L"zk", nullptr), zk_hwnd);
                  EXPECT_NE(hbitmap, nullptr);
                  EXPECT_EQ(paints.times.size(), 1u);  // UpdateWindow painted the still black buffer
                  EXPECT_NE(MainProc(zk_hwnd, WM_ERASEBKGND, 0, 0), 0);
                  EXPECT_EQ(MainProc(zk_hwnd, 0x1234, 0, 0), 0);  // to DefWindowProcW
                  for (int i = 0; i < ZK_WIDTH * ZK_HEIGHT; ++i) zk_buffer[i] = uint16_t(i * 7);
                  MainProc(zk_hwnd, WM_PAINT, 0, 0);
                  EXPECT_EQ(paints.times.size(), 2u);
                  EXPECT_EQ(std::memcmp(zk_headless_screen(), zk_buffer, sizeof zk_buffer), 0);  // the whole buffer
                  return 0;
              }),
              0);
    EXPECT_EQ(FindWindowW(L"zk", nullptr), nullptr);  // closed by the clean-up
    EXPECT_EQ(hbitmap, nullptr);                      // deleted on WM_DESTROY
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));  // its quit message is left unfetched
    EXPECT_EQ(m.message, unsigned(WM_QUIT));
}

// From clock 0 and from just below 2^32, where the tick counter wraps in the
// first slot: the wait neither hangs nor skips.
TEST(FramePacing, SlotsPaintsQuitOverrunsAndSlowShowsAlsoAcrossTheTickWrap) {
    for (const uint32_t t0 : {0u, 0xFFFFFFFFu - 10u}) {
        SCOPED_TRACE(t0);
        PaintRecorder paints;
        zk_test_run(
            [&] {
                ZK_Init();
                ZK_Refresh();
                EXPECT_EQ(lastRead(), t0 + 32u);  // the first slot is 32 ms whatever the rate
                EXPECT_EQ(paints.times.size(), 2u);
                EXPECT_EQ(paints.times.back(), t0 + 29u);  // within the last 3 ms of the slot
                // A quit message ends the wait at once, before any tick is
                // read; the slot cut short is still the one waited for.
                PostQuitMessage(0);
                const uint32_t quitAt = zk_headless_clock();
                ZK_Refresh();
                EXPECT_EQ(zk_headless_clock(), quitAt);
                EXPECT_NE(FindWindowW(L"zk", nullptr), nullptr);  // the game goes on
                ZK_Refresh();
                EXPECT_EQ(lastRead(), t0 + 57u);  // 25 ms later
                EXPECT_EQ(paints.times.back(), t0 + 54u);
                // The game's logic overran: the slot ends as soon as that is
                // seen and the paint waits for the next call's pump.
                zk_headless_set_clock(t0 + 200u);
                const size_t before = paints.times.size();
                ZK_Refresh();
                EXPECT_EQ(lastRead(), t0 + 200u);
                EXPECT_EQ(paints.times.size(), before);
                ZK_Refresh();
                EXPECT_EQ(paints.times.size(), before + 2);  // the late one first, then this frame's
                EXPECT_EQ(paints.times[before], t0 + 200u);
                EXPECT_EQ(lastRead(), t0 + 225u);  // counted from when the overrun was seen
                // A coarse clock: lateness is never made up (next is t0 + 250).
                zk_headless_set_step(10);
                ZK_Refresh();
                const uint32_t end = zk_headless_clock() - 10u;
                EXPECT_GE(end, t0 + 250u);
                EXPECT_LT(end, t0 + 260u);
                ZK_Refresh();
                EXPECT_GE(zk_headless_clock() - 10u, end + 25u);
                // A slow display (15 ms a show) shows where it cannot delay
                // the end of a wait: every frame is shown, the slots stay 25 ms.
                zk_headless_set_step(1);
                zk_headless_set_show_cost(15);
                ZK_Refresh();
                const int shows = zk_headless_shows();
                std::vector<uint32_t> slots;
                for (uint32_t from = lastRead(); slots.size() < 400; from = lastRead()) {
                    ZK_Refresh();
                    slots.push_back(lastRead() - from);
                }
                EXPECT_EQ(slots, std::vector<uint32_t>(400, 25u));
                EXPECT_EQ(zk_headless_shows() - shows, 400);
                return 0;
            },
            [t0] { zk_headless_set_clock(t0); });
    }
}

// The rates as the program starts with them, before any run resets them.
const std::vector<int> kStartRates = {int(zk_destFPS), zk_FPSms, zk_FPS};

TEST(FramePacing, MeasuredRateAndUnpacedRates) {
    EXPECT_EQ(kStartRates, (std::vector<int>{40, 25, 40}));
    zk_FPS = 7;  // left by an earlier run: a new start measures afresh
    zk_test_run([] {
        ZK_Init();
        for (int i = 0; i < 31; ++i) ZK_Refresh();
        EXPECT_EQ(zk_FPS, 40);  // nothing measured before the 32nd sample
        ZK_Refresh();
        // Samples 8000/32+4 and then 8000/25+4; the rate is the ring's sum
        // over 512: (254 + 31 x 324) / 512, then (254 + 63 x 324) / 512.
        EXPECT_EQ((std::vector<uint32_t>{zk_fpscnt[0], zk_fpscnt[31], zk_fpscnt[32], zk_nfps}),
                  (std::vector<uint32_t>{254, 324, 0, 32}));
        EXPECT_EQ(zk_FPS, 20);
        for (int i = 0; i < 32; ++i) ZK_Refresh();
        EXPECT_EQ(zk_FPS, 40);
        EXPECT_EQ(zk_nfps, 0);
        for (uint32_t rate : {0u, 1001u, 65536u}) {
            ZK_SetFrameRate(rate);
            EXPECT_EQ(zk_FPSms, 0);
            ZK_Refresh();  // ends the current paced slot
            const uint32_t t = zk_headless_clock();
            for (int i = 0; i < 10; ++i) ZK_Refresh();
            EXPECT_EQ(zk_headless_clock() - t, 10u) << "rate " << rate;  // one reading a frame
        }
        ZK_SetFrameRate(40 + 65536);  // only the low 16 bits count
        EXPECT_EQ(zk_destFPS, 40u);
        EXPECT_EQ(zk_FPSms, 25);
        ZK_SetFrameRate(60);
        EXPECT_EQ(zk_FPSms, 16);
        return 0;
    });
}

// The window procedure takes the position of a press or a move (signed 16-bit
// halves of lParam; a move alone does not press) and a release keeps the last
// one; each frame clamps it to the screen, lifting the stylus off the screen
// but not on its edges.
TEST(Stylus, MessagesPlaceItAndFramesClampItToTheScreen) {
    zk_test_run([] {
        ZK_Init();
        EXPECT_EQ((std::vector<int>{stylusx, stylusy}), (std::vector<int>{0, 0}));  // each start, whatever a run left
        for (auto [message, x, y, wantX, wantY, held] :
             {std::tuple{WM_MOUSEMOVE, 5, 6, 5, 6, 0}, {WM_LBUTTONDOWN, -7, 100, 0, 100, 0}, {WM_LBUTTONDOWN, 300, 5, 239, 5, 0},
              {WM_LBUTTONDOWN, 60, -3, 60, 0, 0}, {WM_LBUTTONDOWN, 50, 400, 50, 319, 0}, {WM_LBUTTONDOWN, 0, 0, 0, 0, 1},
              {WM_MOUSEMOVE, 239, 319, 239, 319, 1}, {WM_LBUTTONUP, 99, 99, 239, 319, 0}}) {
            MainProc(zk_hwnd, message, 0, MAKELPARAM(x, y));
            ZK_Refresh();
            EXPECT_EQ((std::vector<int>{stylusx, stylusy, stylusheld, Stylus.held}),
                      (std::vector<int>{wantX, wantY, held, held}));
        }
        return 0;
    });
}

// A copy to the window lands only where the source bitmap, the window and the
// screen all are; the rest of the screen keeps what it showed.
TEST(Shell, CopiesToTheWindowClipToSourceWindowAndScreen) {
    struct Case {
        RECT window;
        int x, y, w, h, sx, sy;
    };
    const Case cases[] = {
        {{-10, -20, 230, 300}, 0, 0, 240, 320, 0, 0},    // window off the top-left of the screen
        {{100, 200, 340, 520}, 0, 0, 240, 320, 0, 0},    // and off the bottom-right
        {{20, 30, 240, 320}, -5, 7, 100, 50, 200, 300},  // off the window's left, past the bitmap's corner
        {{20, 30, 240, 320}, 3, 4, 240, 320, -3, -4},    // source from before the bitmap
        {{0, 0, 240, 320}, 0, 0, -4, 320, 0, 0},         // nothing to copy
        {{0, 0, 240, 320}, 0x7FFFFFF0, 0, 40, 320, 0, 0},  // offsets whose sums overflow 32 bits
        {{0, 0, 240, 320}, 0, 0, 240, 320, -0x7FFFFFF0, 0},
    };
    constexpr int BW = 250, BH = 330;
    std::vector<uint16_t> bits(BW * BH);
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = uint16_t((uint32_t(i) * 2654435761u) >> 16);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "window " << c.window.left << "," << c.window.top << " x " << c.x);
        zk_test_run([&] {
            std::fill(zk_buffer, zk_buffer + ZK_WIDTH * ZK_HEIGHT, 0x1111);
            MainProc(zk_hwnd, WM_PAINT, 0, 0);
            const RECT& r = c.window;
            MoveWindow(zk_hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
            HBITMAP b = CreateBitmap(BW, BH, 1, 16, bits.data());
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(zk_hwnd, &ps), memory = CreateCompatibleDC(nullptr);
            SelectObject(memory, b);
            EXPECT_TRUE(BitBlt(dc, c.x, c.y, c.w, c.h, memory, c.sx, c.sy, SRCCOPY));
            DeleteDC(memory);
            EndPaint(zk_hwnd, &ps);
            DeleteObject(b);
            std::vector<uint16_t> want(ZK_WIDTH * ZK_HEIGHT, 0x1111);
            for (int64_t Y = 0; Y < ZK_HEIGHT; ++Y)
                for (int64_t X = 0; X < ZK_WIDTH; ++X) {
                    const int64_t col = X - r.left - c.x, row = Y - r.top - c.y, bx = c.sx + col, by = c.sy + row;
                    if (X >= r.left && X < r.right && Y >= r.top && Y < r.bottom && col >= 0 && col < c.w &&
                        row >= 0 && row < c.h && bx >= 0 && bx < BW && by >= 0 && by < BH)
                        want[Y * ZK_WIDTH + X] = bits[by * BW + bx];
                }
            EXPECT_EQ(std::vector<uint16_t>(zk_headless_screen(), zk_headless_screen() + ZK_WIDTH * ZK_HEIGHT), want);
            return 0;
        });
    }
}

// Quick taps, each press and release at the same moment, and a double click
// made of four such messages: every press and every release reaches the
// frame loop, at every rate from 1 to 1000 frames a second and unpaced.
TEST(Stylus, QuickTapsAreSeenAtEveryFrameRate) {
    for (const uint32_t rate : {1u, 5u, 10u, 25u, 40u, 333u, 1000u, 0u}) {
        SCOPED_TRACE(rate);
        std::vector<std::vector<int>> seen;  // pressed, released, x, y
        zk_test_run([&] {
            ZK_Init();
            ZK_SetFrameRate(rate);
            ZK_Refresh();
            const uint32_t now = zk_headless_clock();
            zk_headless_tap(now + 1, 30, 40, 0);
            for (int k = 0; k < 2; ++k) zk_headless_tap(now + 2, 50 + k, 60, 0);
            for (int frame = 0; frame < 20; ++frame) {
                ZK_Refresh();
                if (Stylus.pressed || Stylus.released) seen.push_back({Stylus.pressed, Stylus.released, Stylus.x, Stylus.y});
            }
            return 0;
        });
        EXPECT_EQ(seen, (std::vector<std::vector<int>>{
                            {1, 0, 30, 40}, {0, 1, 30, 40}, {1, 0, 50, 60}, {0, 1, 50, 60}, {1, 0, 51, 60}, {0, 1, 51, 60}}));
    }
}

// While the game runs, the work area is the screen, the bar and the button
// lie just below it and the panel's lower edge on its bottom; at the end all
// is as it was, the panel above the bar.
TEST(FullScreen, TakesTheScreenAndGivesItBack) {
    HWND bar = nullptr, sip = nullptr, sipButton = nullptr;
    auto workIs = [](LONG top, LONG bottom) {
        RECT work{};
        return SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) && work.top == top && work.bottom == bottom;
    };
    zk_test_run(
        [&] {
            EXPECT_TRUE(workIs(0, 320) && rectIs(bar, 0, 320, 240, 346) && rectIs(sipButton, 0, 320, 30, 346) &&
                        rectIs(sip, 0, 240, 240, 320) && rectIs(zk_hwnd, 0, 0, 240, 320));
            return 0;
        },
        [&] {
            RECT desktop{0, 26, 240, 294};
            SystemParametersInfoW(SPI_SETWORKAREA, 0, &desktop, 0);
            auto make = [](const wchar_t* cls, RECT r) {
                WNDCLASSW wc{0, DefWindowProcW, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, cls};
                RegisterClassW(&wc);
                return CreateWindowExW(0, cls, nullptr, 0, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                       nullptr, nullptr, nullptr, nullptr);
            };
            bar = make(L"HHTaskBar", {0, 0, 240, 26});
            sip = make(L"SipWndClass", {0, 214, 240, 294});
            sipButton = make(L"MS_SIPBUTTON", {210, 294, 240, 320});
        });
    EXPECT_TRUE(workIs(26, 294) && rectIs(bar, 0, 0, 240, 26) && rectIs(sipButton, 210, 294, 240, 320) &&
                rectIs(sip, 0, 294 - 80 - 26, 240, 294 - 26));
}

// The class taken already: WinMain says why and returns 1.
TEST(Shell, NoWindowClassIsAFailureWithAReason) {
    testing::internal::CaptureStderr();
    zk_platform_reset();
    WNDCLASSW taken{0, DefWindowProcW, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"zk"};
    RegisterClassW(&taken);
    static char module;
    EXPECT_EQ(WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, nullptr, SW_SHOW), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot register the window class"), std::string::npos) << err;
}
