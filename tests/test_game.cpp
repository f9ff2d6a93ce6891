// Quib on the headless device: the throw's arithmetic, collisions, growth,
// scoring and the game loop with scripted taps, frame by frame.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

#include "quib.h"
#include "zk_test_support.h"

namespace {

constexpr int kShown = 8;  // ball records and sprites recorded per frame

// Copies of the game's records and sprites after a frame (a missing sprite
// reads as a zeroed, hidden one).
struct Shot {
    uint8_t nballs = 0;
    uint16_t score = 0;
    Ball balls[kShown] = {};
    Sprite canon{}, gameover{}, ball[kShown] = {}, digit[10] = {};
};

Sprite spriteAt(int n) { return zk_sprites[n] ? *zk_sprites[n] : Sprite{}; }

// The frame that ended a game: the thrown ball's record has crossed the line
// but its sprite was not moved there.
bool endsGame(const Shot& s) {
    for (int k = 0; k < kShown; ++k) {
        const Ball& b = s.balls[k];
        if (b.count == 3 && s.ball[k].visible && b.y != s.ball[k].y && b.y + b.radius > 272) return true;
    }
    return false;
}

// One scripted run of the whole program. Frame n is the n-th ZK_Refresh of
// the game: the hook sees what the game set up before it, and a tap made in
// it is `pressed` when that refresh returns.
struct Play {
    std::map<int, std::pair<int, int>> taps;  // frame -> position
    std::function<void(Play&, int)> each;     // called in every frame, after the snapshot
    std::vector<int> aims, firedAt;           // fired one after another by autoAim
    size_t nextAim = 0;
    std::vector<Shot> shots;  // shots[n - 1] is frame n
    int frame = 0, ended = 0;  // ended: the first frame that ended a game
    int quitFrom = 3000;       // a safety net: tap quit from here on
    bool started = false;

    void tap(int x, int y, uint32_t holdMs = 30) { zk_headless_tap(zk_headless_clock(), x, y, holdMs); }
    void quit() { tap(232, 8); }
    const Shot& at(int f) const { return shots.at(size_t(f - 1)); }
    // Fires the next aim as soon as the barrel is about to show it (one frame
    // after the barrel starts moving again after a throw).
    void autoAim() {
        if (frame < 2 || nextAim >= aims.size() || at(frame).gameover.visible) return;
        const int a = at(frame).canon.angle, step = a - at(frame - 1).canon.angle;
        if (step && ((a == 240 || a == 16) ? a - step : a + step) == aims[nextAim]) {
            tap(100, 200, 10);  // up before the next frame ends
            firedAt.push_back(frame);
            ++nextAim;
        }
    }
};

void presentHook(const uint16_t*, void* user) {
    Play& p = *static_cast<Play*>(user);
    if (!p.started) return;  // the shell's first paint, before the game runs
    ++p.frame;
    Shot s{quib_nballs, score, {}, spriteAt(QUIB_SPR_CANON), spriteAt(QUIB_SPR_GAMEOVER)};
    for (int k = 0; k < kShown; ++k) s.balls[k] = quib_balls[k], s.ball[k] = spriteAt(QUIB_SPR_BALLS + k);
    for (int i = 0; i < 10; ++i) s.digit[i] = spriteAt(QUIB_SPR_DIGITS + i);
    p.shots.push_back(s);
    if (!p.ended && endsGame(s)) p.ended = p.frame;
    p.autoAim();
    if (p.each) p.each(p, p.frame);
    if (auto it = p.taps.find(p.frame); it != p.taps.end()) p.tap(it->second.first, it->second.second);
    if (p.frame >= p.quitFrom && (p.frame - p.quitFrom) % 4 == 0) p.quit();
}

int runGame(Play& p) {
    zk_headless_on_present(presentHook, &p);
    const int rc = zk_test_run([&] {
        p.started = true;
        return Quib_Main();
    });
    zk_headless_on_present(nullptr, nullptr);
    return rc;
}

// Runs body inside the shell after the game's start-up, for direct calls.
void withGame(const std::function<void()>& body) {
    zk_test_run([&] {
        ZK_Init();
        Quib_Setup();
        for (auto& b : quib_balls) b.count = -1;
        quib_nballs = 0;
        score = 0;
        body();
        return 0;
    });
}

// Where a throw straight up settles on an empty board, as reference.
Ball freeThrowUp() {
    Ball free{};
    withGame([&] {
        EXPECT_EQ(Quib_ThrowBall(128), 0);
        free = quib_balls[0];
    });
    return free;
}

// The frame in which to tap so that the first sweep (17..240, frames 2..225)
// or, for 16, the way back fires at aim a.
int tapFrameFor(int a) { return a == 16 ? 448 : a - 16; }

constexpr int32_t kLaunchSpeed = 0x6A400;
int32_t stepOf(int32_t speed, int trig) { return int32_t((int64_t(speed) * trig) >> 16); }
int32_t cosTab(int a) { return ZK_SIN[(a + 128) & 511]; }
int32_t sinTab(int a) { return ZK_SIN[a & 511]; }

void addBall(int k, int x, int y, int radius, int count) {
    quib_balls[k] = Ball{int16_t(x), int16_t(y), x * 256, y * 256, 0, uint16_t(radius), 0, int8_t(count)};
    quib_nballs = uint8_t(quib_nballs + 1);
    Quib_SetSize(k);
}

void freeBall(int k) {
    quib_balls[k].count = -1;
    quib_nballs = uint8_t(quib_nballs - 1);
    if (Sprite* s = zk_sprites[QUIB_SPR_BALLS + k]) s->visible = 0;
}

// The first radius at which a ball at (x, y) can no longer grow against the
// walls and the bottom line.
int wallLimit(int x, int y) { return std::min({y - 19, 272 - y, x, 240 - x}); }

struct GifFacts {
    bool ok = false;
    std::string version;
    int w = 0, h = 0, colours = 0, keyEntries = 0;
    std::vector<uint8_t> pixels;
    std::vector<uint16_t> rgb565;  // palette
    uint16_t px(int x, int y) const { return rgb565[pixels[size_t(y) * size_t(w) + size_t(x)]]; }
};

GifFacts readGif(const uint8_t* data, size_t size) {
    struct Reader {
        const uint8_t* at;
        size_t left;
    } reader{data, size};
    GifFacts f;
    f.version.assign(reinterpret_cast<const char*>(data), 6);
    int err = 0;
    GifFileType* gif = DGifOpen(&reader, [](GifFileType* g, GifByteType* to, int n) {
        auto* r = static_cast<Reader*>(g->UserData);
        const size_t take = std::min(size_t(n), r->left);
        std::memcpy(to, r->at, take);
        r->at += take, r->left -= take;
        return int(take);
    }, &err);
    if (!gif) return f;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1 && gif->SColorMap) {
        f.ok = true;
        f.w = gif->SWidth, f.h = gif->SHeight, f.colours = gif->SColorMap->ColorCount;
        for (int i = 0; i < f.colours; ++i) {
            const GifColorType c = gif->SColorMap->Colors[i];
            f.rgb565.push_back(uint16_t(((c.Red >> 3) << 11) | ((c.Green >> 2) << 5) | (c.Blue >> 3)));
            f.keyEntries += f.rgb565.back() == 0xF81F;
        }
        f.pixels.assign(gif->SavedImages[0].RasterBits, gif->SavedImages[0].RasterBits + size_t(f.w) * f.h);
    }
    DGifCloseFile(gif, &err);
    return f;
}

}  // namespace

TEST(QuibPictures, SizesColoursAndKey) {
    struct Case {
        const char* name;
        const uint8_t* data;
        size_t size;
        int w, h, colours;  // colours 0: not checked
        bool keyed;
    };
    const Case cases[] = {
        {"bg", bg, bg_size, 240, 320, 256, false},
        {"quib", quib, quib_size, 240, 960, 16, true},
        {"quib_medium", quib_medium, quib_medium_size, 128, 512, 0, true},
        {"quib_small", quib_small, quib_small_size, 32, 128, 0, true},
        {"quib_vsmall", quib_vsmall, quib_vsmall_size, 16, 64, 0, true},
        {"quib_numbers", quib_numbers, quib_numbers_size, 16, 160, 0, true},
        {"quib_score", quib_score, quib_score_size, 103, 16, 0, true},
        {"quib_gameover", quib_gameover, quib_gameover_size, 87, 54, 0, true},
        {"quib_canon", quib_canon, quib_canon_size, 58, 14, 0, true},
        {"quib_icon", quib_icon, quib_icon_size, 16, 16, 0, true},
    };
    int ballPictures = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GifFacts f = readGif(c.data, c.size);
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(f.version, "GIF89a");
        EXPECT_EQ(f.w, c.w);
        EXPECT_EQ(f.h, c.h);
        EXPECT_TRUE(!c.colours || f.colours == c.colours) << f.colours;
        EXPECT_EQ(f.keyEntries, c.keyed ? 1 : 0);
        if (!c.keyed) continue;
        // Both key and opaque pixels, and the key is the exact magenta.
        int key = 0;
        for (uint8_t v : f.pixels) key += f.rgb565[v] == 0xF81F;
        EXPECT_GT(key, 0);
        EXPECT_LT(key, f.w * f.h);
        // The four ball pictures (four square frames): every frame has a
        // round outline, an opaque centre and key corners.
        ballPictures += c.h == 4 * c.w;
        for (int k = 0, s = c.w; c.h == 4 * c.w && k < 4; ++k) {
            EXPECT_NE(f.px(s / 2, k * s + s / 2), 0xF81F) << "frame " << k;
            EXPECT_EQ(f.px(0, k * s), 0xF81F);
            EXPECT_EQ(f.px(s - 1, k * s + s - 1), 0xF81F);
        }
    }
    EXPECT_EQ(ballPictures, 4);
    // The cannon's barrel lies right of its pivot: the right end is opaque on
    // the middle row, the top-left corner is key.
    const GifFacts canon = readGif(quib_canon, quib_canon_size);
    EXPECT_NE(canon.px(57, 7), 0xF81F);
    EXPECT_EQ(canon.px(0, 0), 0xF81F);
}

TEST(QuibTable, FirstFreeSizesAndScore) {
    withGame([] {
        // Lowest free record.
        EXPECT_EQ(Quib_GetFirstFree(), 0);
        for (int k = 0; k < 3; ++k) addBall(k, 50 + 40 * k, 100, 8, 3);
        EXPECT_EQ(Quib_GetFirstFree(), 3);
        freeBall(1);
        EXPECT_EQ(Quib_GetFirstFree(), 1);
        freeBall(0);
        EXPECT_EQ(Quib_GetFirstFree(), 0);

        // Picture class and zoom by radius; the picture shows the count.
        struct Size {
            int radius, width;
            int32_t zoom;
        };
        const Size sizes[] = {{1, 16, 128},   {8, 16, 1024},  {10, 16, 1280},  {11, 32, 704},  {20, 32, 1280},
                              {21, 128, 336}, {72, 128, 1152}, {73, 240, 622}, {120, 240, 1024}};
        for (const Size& s : sizes) {
            SCOPED_TRACE(s.radius);
            quib_balls[2].radius = uint16_t(s.radius);
            quib_balls[2].angle = 77;
            quib_balls[2].count = 2;
            Quib_SetSize(2);
            const Sprite* sp = zk_sprites[QUIB_SPR_BALLS + 2];
            ASSERT_NE(sp, nullptr);
            EXPECT_EQ(sp->width, s.width);
            EXPECT_EQ(sp->height, s.width);
            EXPECT_EQ(sp->zoom, s.zoom);
            EXPECT_EQ(sp->angle, 77);
            EXPECT_EQ(sp->priority, 1);
            EXPECT_EQ(sp->frame, 2);
            EXPECT_EQ(sp->x, 130);
        }
        Quib_SetSize(5);  // a free record makes no sprite
        EXPECT_EQ(zk_sprites[QUIB_SPR_BALLS + 5], nullptr);

        // Digits most significant first, 8 pixels apart from x = 120; the
        // rest hidden.
        const std::pair<uint16_t, std::vector<int>> scores[] = {
            {105, {1, 0, 5}}, {0, {0}}, {65535, {6, 5, 5, 3, 5}}, {9, {9}}, {10, {1, 0}}};
        for (const auto& [value, digits] : scores) {
            Quib_ShowScore(value);
            for (int i = 0; i < 10; ++i) {
                SCOPED_TRACE(testing::Message() << value << " place " << i);
                const Sprite* d = zk_sprites[QUIB_SPR_DIGITS + i];
                if (i >= int(digits.size())) {
                    EXPECT_TRUE(!d || !d->visible);
                    continue;
                }
                ASSERT_NE(d, nullptr);
                EXPECT_TRUE(d->visible);
                EXPECT_EQ(d->frame, digits[size_t(i)]);
                EXPECT_EQ(d->x, 120 + 8 * i);
                EXPECT_EQ(d->y, 9);
            }
        }
    });
}

TEST(QuibThrow, LaunchAndFirstShownPositions) {
    struct Case {
        int aim, x, y;
        int32_t dx, dy;  // one step of the launch speed along the aim
    };
    const Case cases[] = {{16, 152, 301, 1666, -333}, {128, 120, 274, 0, -1700}, {240, 87, 301, -1667, -333}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.aim);
        Play p;
        const int tap = tapFrameFor(c.aim);
        p.taps[tap] = {100, 200};
        p.quitFrom = tap + 3;
        EXPECT_EQ(runGame(p), 0);
        EXPECT_EQ(p.at(tap).canon.angle, c.aim == 16 ? 17 : c.aim - 1);
        const Shot& s = p.at(tap + 1);
        EXPECT_EQ(s.nballs, 1);
        const Ball& b = s.balls[0];
        EXPECT_EQ(b.count, 3);
        EXPECT_EQ(b.radius, 8);
        EXPECT_EQ(b.angle, uint16_t(c.aim - 128));
        // The launch moves 4 steps, the first flight frame one more.
        EXPECT_EQ(b.fx, 120 * 256 + 5 * c.dx);
        EXPECT_EQ(b.fy, 308 * 256 + 5 * c.dy);
        EXPECT_EQ(b.x, c.x);
        EXPECT_EQ(b.y, c.y);
        EXPECT_TRUE(s.ball[0].visible);
        EXPECT_EQ(s.ball[0].x, c.x);
        EXPECT_EQ(s.ball[0].y, c.y);
        EXPECT_EQ(s.ball[0].zoom, 1024);
        EXPECT_EQ(s.ball[0].frame, 3);
        // Still in flight a frame later (no game over while moving up across
        // the line), and the aim does not move during the throw.
        EXPECT_NE(p.at(tap + 2).balls[0].speed, 0);
        EXPECT_EQ(p.at(tap + 2).canon.angle, s.canon.angle);
    }
}

TEST(QuibThrow, FreeFlightTopWallAndGrowthAgainstTheWalls) {
    Play p;
    const int tap = tapFrameFor(128);
    p.taps[tap] = {100, 200};
    p.quitFrom = tap + 420;
    EXPECT_EQ(runGame(p), 0);
    // The frames in which the ball moves, from the frame after the tap. It
    // flies straight up, then the top wall mirrors 128 into 383 (not 384):
    // every step on the way down drifts left by the cosine of 383.
    Ball was{120, 281, 120 * 256, 308 * 256 - 4 * 1700, 0, 8, 0, 3};  // after the 4 launch steps
    int still = tap + 1, bounce = 0;
    double pixels = 0;
    for (; still <= p.frame; ++still) {
        const Ball& now = p.at(still).balls[0];
        if (now.fx == was.fx && now.fy == was.fy) break;
        pixels += std::hypot(double(now.fx - was.fx), double(now.fy - was.fy)) / 256.0;
        const int dir = now.fy > was.fy ? 383 : 128;
        if (dir == 383 && !bounce) bounce = still;
        if (still > tap + 1) {
            EXPECT_EQ(now.fx - was.fx, stepOf(was.speed, cosTab(dir))) << still;
            EXPECT_EQ(now.fy - was.fy, stepOf(-was.speed, sinTab(dir))) << still;
        }
        was = now;
    }
    ASSERT_LE(still, p.frame);
    EXPECT_EQ(still - tap - 1, 253);
    EXPECT_NEAR(pixels, 417, 2);
    EXPECT_EQ(p.at(still).balls[0].speed, 0);
    ASSERT_GT(bounce, 0);
    EXPECT_LE(p.at(bounce - 1).balls[0].y - 8, 19);
    EXPECT_LT(p.at(still - 1).balls[0].fx, 120 * 256);

    // At rest it grows by 2 a frame until it would reach a wall or the line;
    // the throw ends one frame later and aiming resumes.
    const Ball rest = p.at(still).balls[0];
    const int limit = wallLimit(rest.x, rest.y);
    int r = 8, n = still;
    for (; r + 2 < limit; ++n, r += 2) EXPECT_EQ(p.at(n).balls[0].radius, r + 2) << n;
    EXPECT_EQ(p.at(n).balls[0].radius, limit);
    EXPECT_EQ(p.at(n + 5).balls[0].radius, limit);
    EXPECT_NE(p.at(n + 5).canon.angle, p.at(n + 4).canon.angle);
    EXPECT_EQ(p.at(n + 5).ball[0].frame, 3);
    EXPECT_EQ(p.at(n + 5).score, 0);
}

// Against the free throw straight up: a ball passes through counted-down
// balls, and stops growing at the first radius that touches another ball.
TEST(QuibThrow, PassesThroughCountedDownBallsAndGrowthStopsAtAnother) {
    const Ball free = freeThrowUp();
    withGame([&] {
        addBall(0, 120, 200, 40, 0);  // shrinking, right across the path
        EXPECT_EQ(Quib_ThrowBall(128), 0);
        const Ball& b = quib_balls[1];
        EXPECT_EQ(b.fx, free.fx);
        EXPECT_EQ(b.fy, free.fy);
        EXPECT_EQ(b.radius, free.radius);
        EXPECT_EQ(score, 0);
        EXPECT_EQ(quib_balls[0].count, -1);  // shrunk away, never counted below 0
        EXPECT_EQ(quib_nballs, 1);
    });
    withGame([&] {
        const int ox = free.x + 82, oy = free.y, orad = 30;  // at rest right of where the throw settles
        addBall(0, ox, oy, orad, 3);
        EXPECT_EQ(Quib_ThrowBall(128), 0);
        const Ball& b = quib_balls[1];
        EXPECT_EQ(b.x, free.x);
        EXPECT_EQ(b.y, free.y);
        int expect = 8;
        while ((b.x - ox) * (b.x - ox) >= (expect + orad) * (expect + orad)) ++expect;
        EXPECT_LT(expect, wallLimit(b.x, b.y));
        EXPECT_EQ(b.radius, expect);
        EXPECT_EQ(quib_balls[0].count, 3);
        EXPECT_EQ(score, 0);
    });
}

TEST(QuibThrow, HitThreeTimesScoresOneAndShrinksAway) {
    withGame([] {
        addBall(0, 120, 150, 20, 3);
        for (int hit = 1; hit <= 3; ++hit) {
            SCOPED_TRACE(hit);
            // Straight up into the ball, back down along the line of centres
            // and across the bottom line: game over.
            const int paints = zk_headless_paints();
            EXPECT_EQ(Quib_ThrowBall(128), 1);
            const int steps = zk_headless_paints() - paints + 1;  // the last step ends the throw unshown
            const Ball& t = quib_balls[1];
            // One step made the ball 1/16 faster (neighbouring steps may round
            // alike), and the speed is not that of a throw without a hit.
            int matches = 0;
            for (int h = 0; h <= steps; ++h) {  // h = 0: no hit at all
                int32_t sp = kLaunchSpeed;
                for (int i = 1; i <= steps; ++i) {
                    if (i == h) sp += sp >> 4;
                    sp -= sp >> 6;
                }
                if (sp == t.speed) matches += h == 0 ? 100 : 1;
            }
            EXPECT_GE(matches, 1);
            EXPECT_LT(matches, 100);
            EXPECT_GT(t.y + 8, 272);
            EXPECT_LE(zk_sprites[QUIB_SPR_BALLS + 1]->y + 8, 272);  // shown above the line
            EXPECT_EQ(t.count, 3);
            EXPECT_EQ(quib_balls[0].count, 3 - hit);
            EXPECT_EQ(zk_sprites[QUIB_SPR_BALLS]->frame, 3 - hit);
            EXPECT_EQ(score, hit == 3 ? 1 : 0);
            freeBall(1);
        }
        EXPECT_EQ(zk_sprites[QUIB_SPR_DIGITS]->frame, 1);
        // Shrinking: one pixel and 12 angle units a frame, then gone.
        int r = quib_balls[0].radius;
        uint16_t angle = quib_balls[0].angle;
        EXPECT_LT(r, 20);  // it began shrinking during the throw
        for (--r; r >= 1; --r) {
            Quib_VBL();
            angle = uint16_t(angle + 12);
            const Sprite* s = zk_sprites[QUIB_SPR_BALLS];
            EXPECT_EQ(quib_balls[0].radius, r);
            EXPECT_EQ(quib_balls[0].angle, angle);
            EXPECT_EQ(s->angle, angle);
            EXPECT_EQ(s->frame, 0);
            EXPECT_EQ(s->zoom, r > 10 ? r * 64 : r * 128);
        }
        Quib_VBL();
        EXPECT_EQ(quib_balls[0].count, -1);
        EXPECT_EQ(quib_balls[0].radius, 0);
        EXPECT_EQ(quib_nballs, 0);
        EXPECT_FALSE(zk_sprites[QUIB_SPR_BALLS]->visible);
        EXPECT_EQ(score, 1);
    });
}

TEST(QuibThrow, FullTableEndsTheGameInsteadOfWrapping) {
    auto fill = [] {
        for (int k = 0; k < 255; ++k)
            quib_balls[k] = Ball{int16_t(k % 240), 100, (k % 240) * 256, 100 * 256, 0, 1, 0, 1};
        quib_nballs = 255;
    };
    withGame([&] {
        fill();
        EXPECT_EQ(Quib_ThrowBall(128), 1);
        EXPECT_EQ(quib_nballs, 255);
        EXPECT_EQ(quib_balls[255].count, -1);
        EXPECT_EQ(zk_sprites[QUIB_SPR_BALLS + 255], nullptr);
    });
    // In the game: a tap on a full table starts the game-over entrance.
    Play p;
    p.each = [&](Play& p, int f) {
        if (f != 50) return;
        fill();
        p.tap(100, 200);
    };
    p.quitFrom = 60;
    EXPECT_EQ(runGame(p), 0);
    EXPECT_FALSE(p.at(50).gameover.visible);
    EXPECT_TRUE(p.at(52).gameover.visible);
    EXPECT_EQ(p.at(52).gameover.zoom, 4 * 8);
    EXPECT_EQ(p.at(55).nballs, 255);
    EXPECT_EQ(quib_balls[255].count, -1);
}

// The aims {128, 130} end a game quickly: the first throw settles and grows
// large straight above the cannon, the second hits it at once and goes back
// down.
TEST(QuibGame, EntranceWaitAndNewGame) {
    Play p;
    p.aims = {128, 130};
    int restartTap = 0;
    p.each = [&](Play& p, int f) {
        // During the wait: show a long score, then tap for the next game.
        if (p.ended && f == p.ended + 80) Quib_ShowScore(105);
        if (p.ended && f == p.ended + 90) p.tap(100, 200), restartTap = f;
    };
    p.quitFrom = 1500;
    EXPECT_EQ(runGame(p), 0);
    ASSERT_GT(p.ended, 0);
    EXPECT_EQ(p.at(p.ended).nballs, 2);
    // The entrance: 63 frames turning once, fading and growing in.
    for (int i = 1; i <= 63; ++i) {
        const Sprite& g = p.at(p.ended + i).gameover;
        const int k = 4 + 4 * i;
        EXPECT_TRUE(g.visible) << i;
        EXPECT_EQ(g.angle, 2 * k) << i;
        EXPECT_EQ(g.alpha, k / 8) << i;
        EXPECT_EQ(g.zoom, 4 * k) << i;
    }
    EXPECT_EQ(p.at(p.ended + 64).gameover.zoom, 1024);
    EXPECT_EQ(p.at(p.ended + 64).canon.angle, p.at(p.ended).canon.angle);  // no aiming while waiting
    // The tap: one plain frame, then the new game hides every ball and the
    // picture, and the score shows a single 0.
    const Shot& fresh = p.at(restartTap + 2);
    EXPECT_FALSE(fresh.gameover.visible);
    for (int k = 0; k < kShown; ++k) EXPECT_FALSE(fresh.ball[k].visible) << k;
    EXPECT_EQ(fresh.nballs, 0);
    const Shot& scored = p.at(restartTap + 3);
    EXPECT_TRUE(scored.digit[0].visible);
    EXPECT_EQ(scored.digit[0].frame, 0);
    for (int i = 1; i < 10; ++i) EXPECT_FALSE(scored.digit[i].visible) << i;
    EXPECT_EQ(scored.canon.angle, 17);
    EXPECT_EQ(p.at(restartTap + 4).canon.angle, 18);
}

TEST(QuibGame, EntranceSkippedWhenTheEndingFrameHasATap) {
    Play p;
    p.aims = {128, 130};
    p.each = [](Play& p, int f) {
        // The throw's tap lifts in the next frame and the new one comes in the
        // ending frame, straight into the raw stylus: through the queue the
        // platform holds a release until the press was surely sampled, and
        // the next press until that release was, a frame too late here.
        if (!p.firedAt.empty() && f == p.firedAt.back() + 1) stylusheld = 0;
        if (f == p.ended) stylusheld = 1, stylusx = 100, stylusy = 200;
        if (f == p.ended + 1) stylusheld = 0;
    };
    p.quitFrom = 1500;
    EXPECT_EQ(runGame(p), 0);
    ASSERT_GT(p.ended, 0);
    // Shown but never drawn (zoom 0), then the next game at once.
    EXPECT_EQ(p.at(p.ended + 1).gameover.zoom, 0);
    EXPECT_FALSE(p.at(p.ended + 2).gameover.visible);
    EXPECT_EQ(p.at(p.ended + 2).nballs, 0);
    EXPECT_EQ(p.at(p.ended + 3).canon.angle, 17);
    for (int f = p.ended + 1; f < p.ended + 70; ++f)
        EXPECT_TRUE(p.at(f).gameover.zoom == 0 || !p.at(f).gameover.visible) << f;
}

TEST(QuibGame, QuitFromEveryStateNeverFires) {
    enum { Aiming, Flight, Growth, Entrance, Wait };
    for (int state = Aiming; state <= Wait; ++state) {
        SCOPED_TRACE(state);
        Play p;
        if (state == Flight || state == Growth) p.taps[tapFrameFor(128)] = {100, 200};
        if (state >= Entrance) p.aims = {128, 130};
        int quitAt = 0;
        p.each = [&](Play& p, int f) {
            const Ball& b = p.at(f).balls[0];
            const bool now = state == Aiming   ? f == 50
                             : state == Flight ? f == tapFrameFor(128) + 30
                             : state == Growth ? b.count == 3 && b.speed == 0 && b.radius > 12
                                               : p.ended && f == p.ended + (state == Entrance ? 20 : 100);
            if (!quitAt && now) quitAt = f, p.quit();
        };
        p.quitFrom = 100000;
        EXPECT_EQ(runGame(p), 0);
        ASSERT_GT(quitAt, 0);
        EXPECT_EQ(p.frame, quitAt);  // ends before the next frame
        EXPECT_EQ(quib_nballs, state == Aiming ? 0 : state >= Entrance ? 2 : 1);
        EXPECT_EQ(quib_balls[quib_nballs].count, -1);  // the quit tap fired nothing
        EXPECT_TRUE(state != Flight || quib_balls[0].speed != 0);  // quit in mid-flight
        EXPECT_TRUE(state != Growth || quib_balls[0].radius < wallLimit(quib_balls[0].x, quib_balls[0].y));
    }
}

TEST(QuibGame, HeldStylusFiresOnce) {
    Play p;
    p.each = [](Play&, int f) {
        if (f == tapFrameFor(128)) zk_headless_event(zk_headless_clock(), WM_LBUTTONDOWN, 100, 200);
    };
    p.quitFrom = 900;
    EXPECT_EQ(runGame(p), 0);
    EXPECT_EQ(p.at(899).nballs, 1);
    EXPECT_EQ(quib_balls[1].count, -1);
}

TEST(QuibGame, WholeScriptedGameToGameOverAndRestart) {
    Play p;
    p.aims = {17, 207, 112, 112, 17, 207, 147, 147, 147, 157, 32, 17, 22, 52, 128, 128, 128, 128, 128, 128};
    int restart = 0, inconsistent = 0;
    uint16_t lastScore = 0;
    p.each = [&](Play& p, int f) {
        // The table agrees with its count, every ball in play shows its count
        // on a visible sprite, and the score never falls within a game.
        int inUse = 0;
        for (int k = 0; k < QUIB_MAXBALLS; ++k) {
            if (quib_balls[k].count == -1) continue;
            ++inUse;
            const Sprite* s = zk_sprites[QUIB_SPR_BALLS + k];
            if (!s || !s->visible || s->frame != quib_balls[k].count) ++inconsistent;
        }
        if (inUse != quib_nballs || (!restart && score < lastScore)) ++inconsistent;
        lastScore = score;
        // Pictures of the board for people to look at.
        if (f == 7600) zk_test_save_ppm("quib_board", zk_headless_screen());
        if (p.ended && f == p.ended + 64) zk_test_save_ppm("quib_gameover", zk_headless_screen());
        if (p.ended && !restart && f == p.ended + 70) {
            restart = f;
            p.aims = {128, 100};
            p.nextAim = 0;
            p.tap(100, 200);
        }
    };
    p.quitFrom = 8800;
    EXPECT_EQ(runGame(p), 0);
    EXPECT_EQ(inconsistent, 0);
    EXPECT_EQ(p.firedAt, (std::vector<int>{447, 919, 1364, 1819, 2442, 2914, 3321, 3849, 4303, 4870, 5469, 5761,
                                           6038, 6334, 6682, 7183, 7688, 7876, 8419}));
    EXPECT_EQ(p.ended, 7693);
    EXPECT_EQ(restart, 7763);
    // Score and balls on the board in the frames in which each throw was
    // tapped, in the frame that ended the game, and in the next game.
    const std::tuple<int, uint16_t, int> checks[] = {
        {447, 0, 0},  {919, 0, 1},  {1364, 1, 1}, {1819, 1, 2}, {2442, 2, 2},  {2914, 2, 3},  {3321, 3, 3},
        {3849, 3, 4}, {4303, 3, 5}, {4870, 3, 6}, {5469, 6, 4}, {5761, 7, 4},  {6038, 7, 5},  {6334, 7, 6},
        {6682, 7, 7}, {7183, 10, 5}, {7688, 10, 6}, {7693, 10, 7}, {7876, 0, 0}, {8419, 0, 1},
    };
    for (const auto& [frame, value, balls] : checks) {
        ASSERT_LE(frame, p.frame);
        EXPECT_EQ(p.at(frame).score, value) << frame;
        EXPECT_EQ(p.at(frame).nballs, balls) << frame;
    }
    // The score of 10 showed two digits (the new game's single 0 is checked
    // after a longer score above).
    EXPECT_TRUE(p.at(7693).digit[1].visible);
    EXPECT_EQ(p.at(7693).digit[0].frame, 1);
    EXPECT_EQ(p.at(7693).digit[1].frame, 0);
}
