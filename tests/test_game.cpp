// Quib on the headless device. Throws are compared frame by frame, whole
// ball table and score, with the rules' own account of a throw (below), from
// boards that put the walls, the bottom line and the count-down bookkeeping
// at their exact boundary frames, and all through whole games.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "quib.h"
#include "zk_test_support.h"

namespace {

// The game's sprite numbers, as the rules give them.
constexpr int kCanon = 3, kGameOver = 8, kScore = 10, kDigits = 11, kBalls = 128, kQuit = 1024;

struct State { Ball balls[QUIB_MAXBALLS]; int n; uint16_t score; };

State current() {
    State s;
    std::memcpy(s.balls, quib_balls, sizeof s.balls);
    s.n = quib_nballs, s.score = score;
    return s;
}

// The table as text, to compare and to print: every record that is in use
// or ever held a ball, field by field (the padding holds whatever was there).
std::string text(const State& s) {
    std::ostringstream o;
    o << "n " << s.n << " score " << s.score;
    for (int k = 0; k < QUIB_MAXBALLS; ++k)
        if (const Ball& b = s.balls[k]; b.count != -1 || b.radius)
            o << "\n  " << k << ": (" << b.x << " " << b.y << " " << b.fx << " " << b.fy << ") " << b.speed << " r "
              << b.radius << " " << b.angle << " " << int(b.count);
    return o.str();
}
bool operator==(const State& a, const State& b) { return text(a) == text(b); }

// ---------------------------------------------------------------- the rules' account

int32_t sinOf(int a) { return ZK_SIN[a & 511]; }
int32_t cosOf(int a) { return ZK_SIN[(a + 128) & 511]; }

bool overlap(const Ball& a, const Ball& b) {
    const int64_t dx = a.x - b.x, dy = a.y - b.y, sum = uint16_t(a.radius + b.radius);
    return dx * dx + dy * dy < sum * sum;
}

// One frame of shrinking (Quib_ProcessZero).
void shrink(State& s) {
    for (int k = 0, seen = 0, n = s.n; k < QUIB_MAXBALLS && seen < n; ++k) {
        Ball& b = s.balls[k];
        if (b.count == -1) continue;
        ++seen;
        if (b.count != 0) continue;
        b.radius = uint16_t(b.radius - 1), b.angle = uint16_t(b.angle + 12);
        if (b.radius == 0) b.count = -1, --s.n;
    }
}

struct Throw {
    std::vector<State> frames;  // what each shown frame of the throw holds
    State end;                  // the board when the throw returns
    int result = 0;             // 1: the ball crossed the bottom line
};

// Quib_ThrowBall(a) on board s.
Throw throwFrom(State s, uint16_t a) {
    Throw t;
    t.end = s;
    if (s.n >= 255) return t.result = 1, t;  // the 8-bit count is full
    int k = 0;  // the first free record, else the one after those in use
    while (k < s.n && s.balls[k].count != -1) ++k;
    Ball& b = s.balls[k];
    b = Ball{120, 308, 120 * 256, 308 * 256, 0x6A400, 8, uint16_t(a - 128), 3};
    b.fy += 4 * int32_t((-int64_t(b.speed) * sinOf(a)) >> 16);
    b.fx += 4 * int32_t((int64_t(b.speed) * cosOf(a)) >> 16);
    b.x = int16_t(b.fx >> 8), b.y = int16_t(b.fy >> 8);
    ++s.n;
    for (uint16_t d = a; b.speed != 0;) {
        const int32_t dx = int32_t((int64_t(b.speed) * cosOf(d)) >> 16);
        const int32_t dy = int32_t((-int64_t(b.speed) * sinOf(d)) >> 16);
        b.fx += dx, b.fy += dy, b.x = int16_t(b.fx >> 8), b.y = int16_t(b.fy >> 8);
        for (int j = 0, remaining = s.n; j < QUIB_MAXBALLS && remaining > 0; ++j) {
            Ball& o = s.balls[j];
            if (o.count == -1) continue;
            --remaining;
            if (j == k || o.count == 0 || !overlap(b, o)) continue;
            const uint16_t f = uint16_t(ZK_GetAngle(o.x, o.y, b.x, b.y));
            const int32_t px = int32_t((int64_t(b.speed) * cosOf(f)) >> 17);
            const int32_t py = int32_t((int64_t(b.speed) * sinOf(f)) >> 17);
            while (overlap(b, o)) b.fx += px, b.fy -= py, b.x = int16_t(b.fx >> 8), b.y = int16_t(b.fy >> 8);
            if (--o.count == 0) ++s.score;
            b.speed += b.speed >> 4, d = f, remaining = 1;
        }
        b.speed -= b.speed >> 6;
        if (b.speed < 8192) b.speed = 0;
        const int r = b.radius;
        if (b.y - r <= 19 && dy < 0) d = uint16_t(511 - d);
        if (b.y + r > 272 && dy > 0) return t.end = s, t.result = 1, t;
        if (b.x < r + 1 && dx < 0) d = uint16_t(255 - d);
        if (b.x > 240 - r && dx > 0) d = uint16_t(255 - d);
        shrink(s);
        t.frames.push_back(s);
    }
    for (bool going = true; going;) {
        for (int step = 0; step < 2 && going; ++step) {
            bool touching = false;
            for (int j = 0, seen = 0; j < QUIB_MAXBALLS && seen < s.n; ++j)
                if (s.balls[j].count != -1 && ++seen && j != k && s.balls[j].count != 0 && overlap(b, s.balls[j]))
                    touching = true;
            const int r = b.radius;
            going = b.y - r > 19 && b.y + r < 272 && b.x >= r + 1 && b.x <= 239 - r && !touching;
            if (going) ++b.radius;
        }
        shrink(s);
        t.frames.push_back(s);
    }
    t.end = s;
    return t;
}

// ---------------------------------------------------------------- running the game

// What is wrong with the balls' sprites, or "": a ball in use shows at its
// place (one that crossed the line may lag), with picture, size and zoom by
// radius, its angle, its count as frame, priority 1; a free one is hidden.
std::string spritesShowTheBalls(bool lagging = false) {
    for (int k = 0; k < QUIB_MAXBALLS; ++k) {
        const Ball& b = quib_balls[k];
        const Sprite* s = zk_sprites[kBalls + k];
        if (b.count == -1 && s && s->visible) return "the sprite of free ball " + std::to_string(k) + " shows";
        if (b.count == -1) continue;
        const int r = b.radius;
        const int size = r > 72 ? 240 : r > 20 ? 128 : r > 10 ? 32 : 16;
        const int zoom = r > 72 ? r * 2048 / 240 : r > 20 ? r * 16 : r > 10 ? r * 64 : r * 128;
        const SpriteImage* image = r > 72 ? main_spr : r > 20 ? main_spr_medium : r > 10 ? main_spr_small : main_spr_vsmall;
        const bool placed = (lagging && b.speed != 0) || (s && s->x == b.x && s->y == b.y);
        if (!s || !s->visible || !placed || s->pixels != image->pixels || s->width != size || s->height != size ||
            s->zoom != zoom || s->angle != b.angle || s->frame != b.count || s->priority != 1)
            return "the sprite of ball " + std::to_string(k) + " does not show it";
    }
    return "";
}

// Runs body inside the shell after the game's start-up, with an empty board.
void withGame(const std::function<void()>& body) {
    zk_test_run([&] {
        ZK_Init();
        Quib_Setup();
        for (auto& b : quib_balls) b.count = -1;
        quib_nballs = 0, score = 0;
        body();
        return 0;
    });
}

std::vector<State> shown;  // the state at every frame presented
void recordFrame(const uint16_t*, void*) {
    shown.push_back(current());
    EXPECT_EQ(spritesShowTheBalls(), "") << "frame " << shown.size();
}

// Throws along a from the board the balls make, in the game and by the
// rules, and compares every frame.
void expectThrow(const std::vector<Ball>& board, uint16_t a) {
    withGame([&] {
        for (size_t k = 0; k < board.size(); ++k) {
            quib_balls[k] = board[k];
            quib_nballs = uint8_t(quib_nballs + (board[k].count != -1));
            Quib_SetSize(int(k));  // nothing for a free record
        }
        const Throw want = throwFrom(current(), a);
        shown.clear();
        zk_headless_on_present(recordFrame, nullptr);
        const int result = Quib_ThrowBall(a);
        zk_headless_on_present(nullptr, nullptr);
        EXPECT_EQ(result, want.result);
        ASSERT_EQ(shown.size(), want.frames.size());
        for (size_t f = 0; f < shown.size(); ++f)
            ASSERT_EQ(text(shown[f]), text(want.frames[f])) << "frame " << f + 1 << " (the game's, then the rules')";
    });
}

Ball at(int x, int y, int radius, int count) {
    return Ball{int16_t(x), int16_t(y), x * 256, y * 256, 0, uint16_t(radius), uint16_t(7 * x), int8_t(count)};
}
const Ball kFree = at(0, 0, 0, -1);

// One run of the whole program with scripted taps, checked at every frame:
// a throw's frames are the rules' from the board and the barrel's angle
// where it started; between throws the board only shrinks; the barrel, the
// game-over entrance, the sprites and the score digits show what they should.
struct Game {
    std::vector<int> aims;               // fired one after another when the barrel gets there
    std::function<void(Game&)> each;     // more taps, once a frame
    enum Mode { Aiming, Throwing, Over } mode = Aiming;
    int frame = 0, firedAt = 0, throws = 0, overs = 0, games = 0, endedAt = 0, aimStep = 1, lastAim = 16, entrance = 0;
    uint32_t holdMs = 10;  // how long the taps that fire stay down
    size_t nextAim = 0, shownFrame = 0;
    State prev{};
    Throw pending;
    std::string wrong;  // the first thing that broke the rules

    void tap(int x = 100, int y = 200, uint32_t holdMs = 10) { zk_headless_tap(zk_headless_clock(), x, y, holdMs); }
    void quit() { tap(232, 8); }
    void fail(const std::string& what) {
        if (wrong.empty()) wrong = "frame " + std::to_string(frame) + ": " + what;
    }
    int aim() const { return zk_sprites[kCanon]->angle; }

    void check() {
        ++frame;
        const State now = current();
        State shrunk = prev;
        shrink(shrunk);
        if (frame == 1 || (mode == Over && now.n == 0)) {
            for (const Ball& b : now.balls)
                if (b.count != -1) fail("a new game starts with balls");
            if (frame > 1 && now.score != prev.score) fail("the score is reset before the new game's first frame");
            mode = Aiming, aimStep = 1, ++games;
            checkPictures();
            prev = now, prev.score = 0;  // shown from the next frame on
            return;
        }
        if (mode == Throwing && shownFrame == pending.frames.size() && pending.result == 0) mode = Aiming;
        if (mode != Throwing && !(now == shrunk) && !(mode == Over && now == prev)) {
            // A throw started along the barrel's angle.
            pending = throwFrom(prev, uint16_t(aim()));
            ++throws, shownFrame = 0, mode = Throwing;
        }
        if (mode == Throwing && shownFrame < pending.frames.size()) {
            if (!(now == pending.frames[shownFrame++])) fail("the throw differs from the rules:\n" + text(now));
        } else if (mode == Throwing) {
            // The throw crossed the line: this frame ends the game.
            State s = pending.end;
            shrink(s);
            if (!(now == s)) fail("the frame that ends the game:\n" + text(now));
            mode = Over, ++overs, endedAt = frame, entrance = 0;
        }
        checkPictures();
        prev = now;
    }

    void checkPictures() {
        if (const std::string w = spritesShowTheBalls(mode == Over); !w.empty()) fail(w);
        // The barrel: 17 first in a game, one unit a frame, turning at 16 and 240.
        if (mode == Aiming && frame > 1 && aim() != lastAim) {
            if (lastAim == 16 || lastAim == 240) aimStep = lastAim == 16 ? 1 : -1;
            if (aim() != lastAim + aimStep && !(aim() == 17 && games > 0)) fail("the barrel jumps");
        }
        lastAim = aim();
        // The game-over entrance: k = 8, 12, ... 256 with angle 2k, alpha k / 8, zoom 4k.
        const Sprite& g = *zk_sprites[kGameOver];
        if (mode == Over && g.visible && g.zoom != 0) {
            const int k = entrance < 256 ? (entrance ? entrance + 4 : 8) : 256;
            if (g.zoom != 4 * k || g.angle != 2 * k || g.alpha != k / 8) fail("the entrance at k " + std::to_string(k));
            entrance = k;
        }
        if (mode != Over && g.visible) fail("the game-over picture shows during a game");
        // The score digits, most significant first, from the game's second frame.
        if (frame > 1) {
            std::string digits;
            for (int i = 0; i < 10; ++i)
                if (const Sprite* d = zk_sprites[kDigits + i]; d && d->visible) digits += char('0' + d->frame);
            if (digits != std::to_string(score)) fail("the score shows " + digits);
        }
    }
};

void onFrame(const uint16_t*, void* user) {
    Game& g = *static_cast<Game*>(user);
    if (!zk_sprites[kCanon]) return;  // the shell's first paint, before the game runs
    g.check();
    // Fire the next aim: the barrel shows it in the next frame.
    const int a = g.aim();
    const int next = (a == 16 || a == 240) ? a - g.aimStep : a + g.aimStep;
    if (g.mode == Game::Aiming && g.nextAim < g.aims.size() && next == g.aims[g.nextAim]) g.tap(100, 200, g.holdMs), ++g.nextAim, g.firedAt = g.frame;
    if (g.each) g.each(g);
    if (!g.wrong.empty() || g.frame > 6000) g.quit();  // stop at the first fault, or if the game stalls
}

int play(Game& g) {
    zk_headless_on_present(onFrame, &g);
    const int rc = zk_test_run(Quib_Main);
    zk_headless_on_present(nullptr, nullptr);
    EXPECT_EQ(g.wrong, "");
    return rc;
}

}  // namespace

TEST(QuibThrow, FramesFollowTheRules) {
    const struct { const char* what; uint16_t aim; std::vector<Ball> board; } cases[] = {
        {"straight up: the top wall mirrors 128 into 383; rest and growth to the walls", 128, {}},
        {"both side walls, the top wall at y - r = 19 and 20", 56, {}},
        {"the side walls at their last columns", 19, {}},
        {"mirror-image aims differ by 1 in dx", 240, {}},
        {"sent back down: the bottom line at y + r = 272 goes on", 128, {at(120, 200, 30, 3)}},
        {"... and at 273 ends the game", 104, {at(120, 200, 30, 3)}},
        {"record 0 free: the thrown ball takes it, and the scan counts it", 128, {kFree, at(120, 150, 20, 3)}},
        {"free records between: the thrown ball takes the first, the scans walk past the others", 128,
         {at(20, 40, 10, 2), kFree, kFree, kFree, at(120, 150, 20, 1)}},
        {"two hits in a frame, then only the next record in use is looked at", 128,
         {at(120, 281, 25, 3), at(120, 281, 40, 3), at(20, 40, 10, 2), at(120, 281, 60, 3)}},
        {"a level hit pushes out sideways only and the ball leaves level", 128, {at(150, 274, 25, 3)}},
        {"after a hit the thrown ball, next in use, counts as the one looked at", 128,
         {at(120, 281, 25, 3), kFree, at(120, 281, 40, 3)}},
        {"a counted-down ball is passed through and shrinks away", 128, {kFree, at(120, 200, 40, 0)}},
        {"growth stops at another ball, the last in use, past a free record", 128,
         {at(20, 40, 10, 2), kFree, kFree, at(205, 190, 20, 3)}},
        {"growth passes a counted-down ball", 128, {at(117, 189, 400, 0)}},
        {"aimed down: the first step crosses the line", 384, {}},
        {"a full table ends the game at once", 128, std::vector<Ball>(255, at(60, 100, 1, 1))},
        {"one record left: the throw takes it", 128, std::vector<Ball>(254, at(60, 100, 1, 1))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectThrow(c.board, c.aim);
    }
}

TEST(QuibTable, OwnSpritesAndScoreDigits) {
    withGame([] {
        EXPECT_EQ((std::vector<int>{zk_bg[10].width, zk_bg[10].height, zk_bg[10].plain}), (std::vector<int>{240, 320, 1}));
        Quib_ShowScore(65535);
        Quib_ShowScore(105);
        // The game's own sprites: image, size, centre, priority 0, frame; the
        // score's digits most significant first from x = 120, 8 apart, the
        // rest hidden.
        const struct { int n; const SpriteImage* image; int w, h, x, y, frame; } own[] = {
            {kQuit, &zk_quit, 16, 16, 232, 8, 0},          {kCanon, canon_spr, 58, 14, 120, 308, 0},
            {kGameOver, gameover_spr, 87, 54, 120, 140, 0}, {kScore, score_spr, 103, 16, 54, 9, 0},
            {kDigits, numbers, 16, 16, 120, 9, 1},          {kDigits + 1, numbers, 16, 16, 128, 9, 0},
            {kDigits + 2, numbers, 16, 16, 136, 9, 5}};
        for (const auto& o : own) {
            const Sprite* s = zk_sprites[o.n];
            ASSERT_NE(s, nullptr);
            EXPECT_EQ((std::vector<int>{s->pixels == o.image->pixels, s->width, s->height, s->x, s->y, s->priority, s->frame}),
                      (std::vector<int>{1, o.w, o.h, o.x, o.y, 0, o.frame}))
                << o.n;
        }
        EXPECT_EQ(zk_sprites[kDigits + 3]->visible + zk_sprites[kDigits + 4]->visible, 0);
    });
}

// Six throws fill the board and count two balls down to 0; a seventh comes
// back down across the line. The entrance runs to its end, a tap starts a
// new game, one throw is fired with the stylus held down for 10 seconds (it
// fires once), and the quit button ends the program.
TEST(QuibGame, WholeGamesFollowTheRules) {
    Game g;
    g.aims = {214, 125, 122, 40, 161, 56, 78};
    int aimingAfter = 0;
    g.each = [&](Game& g) {
        if (g.overs == 1 && g.games == 1 && g.frame == g.endedAt + 80) {
            EXPECT_EQ(g.entrance, 256);
            EXPECT_EQ(score, 2);
            g.tap();
            g.aims.push_back(128);
            g.holdMs = 10000;
        }
        if (g.games == 2 && g.throws == int(g.aims.size()) && g.mode == Game::Aiming && ++aimingAfter == 60) g.quit();
    };
    EXPECT_EQ(play(g), 0);
    EXPECT_EQ((std::vector<int>{g.overs, g.games, g.throws, score, Stylus.held}), (std::vector<int>{1, 2, 8, 0, 1}));
}

// The quit button ends the program before the next frame whenever it is
// touched, and fires nothing; touched in the frame that ends a game, it
// skips the game-over entrance.
TEST(QuibGame, QuitFromEveryStateNeverFires) {
    enum { Aiming, Flight, Growth, Ending, Entrance, Wait };
    for (int state = Aiming; state <= Wait; ++state) {
        SCOPED_TRACE(state);
        Game g;
        g.aims = state == Aiming ? std::vector<int>{} : state <= Growth ? std::vector<int>{128} : std::vector<int>{128, 130};
        int quitAt = 0;
        g.each = [&](Game& g) {
            const Ball& b = quib_balls[0];
            const bool now = state == Aiming   ? g.frame == 50
                             : state == Flight ? g.throws == 1 && b.speed != 0 && g.frame > 150
                             : state == Growth ? g.throws == 1 && b.speed == 0 && b.radius > 12
                                               : g.overs && g.frame == g.endedAt + (state == Ending ? 0 : state == Entrance ? 20 : 100);
            // The ending frame's quit goes straight into the raw stylus: the
            // platform's queue would hold it behind the last throw's release.
            if (state == Ending && g.frame == g.firedAt + 1) stylusheld = 0;
            if (quitAt || !now) return;
            quitAt = g.frame;
            if (state != Ending) g.quit();
            else stylusheld = 1, stylusx = 232, stylusy = 8;
        };
        EXPECT_EQ(play(g), 0);
        EXPECT_EQ(g.frame, quitAt) << "ends before the next frame";
        EXPECT_EQ(quib_nballs, int(g.aims.size())) << "the quit tap fired nothing";
        EXPECT_EQ(g.entrance != 0, state >= Entrance) << "the entrance shows from the frame after the ending one";
    }
}
