// The recorder: scripts, the random player, the PNG and GIF writers, and
// whole recorded runs of a small program on the headless device.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "zk_gifwriter.h"
#include "zk_png.h"
#include "zk_recorder.h"
#include "zk_test_support.h"

namespace {

using Frame = std::vector<uint16_t>;
constexpr int W = ZK_WIDTH, H = ZK_HEIGHT;

std::string buildPath(const std::string& name) { return std::string(ZK_BUILD_DIR) + "/record_" + name; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A PNG read back into RGB565 and the alpha of each pixel.
struct Png {
    bool ok = false;
    int w = 0, h = 0;
    Frame px;
    std::vector<uint8_t> alpha;
};

Png readPng(const std::string& path) {
    Png p;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    p.ok = png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0;
    p.w = int(image.width), p.h = int(image.height);
    for (size_t i = 0; p.ok && i < rgba.size(); i += 4) {
        p.px.push_back(zk_rgb565(rgba[i], rgba[i + 1], rgba[i + 2]));
        p.alpha.push_back(rgba[i + 3]);
    }
    return p;
}

// A GIF decoded by giflib and played: each frame composed over the last.
struct Played {
    bool ok = false, loops = false;
    int width = 0, height = 0;
    std::vector<Frame> frames;
    std::vector<int> delays;
    std::vector<GifImageDesc> descs;
};

Played playGif(const std::string& path) {
    Played p;
    int err = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
    if (!gif) return p;
    p.ok = DGifSlurp(gif) == GIF_OK;
    p.width = gif->SWidth, p.height = gif->SHeight;
    Frame canvas(size_t(p.width) * size_t(p.height), 0);
    for (int i = 0; p.ok && i < gif->ImageCount; ++i) {
        const SavedImage& im = gif->SavedImages[i];
        const GifImageDesc& d = im.ImageDesc;
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &gcb);
        p.delays.push_back(gcb.DelayTime);
        p.descs.push_back(d);
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        for (int k = 0; k < d.Width * d.Height; ++k) {
            const int index = im.RasterBits[k];
            if (index == gcb.TransparentColor || !map || index >= map->ColorCount) continue;
            const GifColorType c = map->Colors[index];
            canvas[size_t(d.Top + k / d.Width) * size_t(p.width) + size_t(d.Left + k % d.Width)] =
                zk_rgb565(c.Red, c.Green, c.Blue);
        }
        p.frames.push_back(canvas);
        for (int e = 0; e < im.ExtensionBlockCount; ++e) {
            const ExtensionBlock& b = im.ExtensionBlocks[e];
            p.loops = p.loops || (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                                  std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0);
        }
    }
    DGifCloseFile(gif, &err);
    return p;
}

int channelError(uint16_t a, uint16_t b) {
    int e = std::abs(int(zk_red8(a)) - zk_red8(b));
    e = std::max(e, std::abs(int(zk_green8(a)) - zk_green8(b)));
    return std::max(e, std::abs(int(zk_blue8(a)) - zk_blue8(b)));
}

void fillRect(Frame& f, int x0, int y0, int x1, int y1, uint16_t c) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) f[size_t(y * W + x)] = c;
}

// Writes the frames as a GIF twice, checks that both files hold the same
// bytes, and plays the first back.
Played writeTwiceAndPlay(const std::string& name, const std::vector<Frame>& frames) {
    std::string error;
    const std::string path = buildPath(name + ".gif"), again = buildPath(name + "2.gif");
    for (const std::string& to : {path, again})
        EXPECT_TRUE(zk_write_gif(to, W, H, int(frames.size()), [&](int i) { return frames[size_t(i)].data(); }, error))
            << error;
    EXPECT_EQ(readFile(path), readFile(again));
    return playGif(path);
}

}  // namespace

TEST(Record, ScriptLinesAndTheirMistakes) {
    ZkRecordJob job;
    std::string error;
    ASSERT_TRUE(zk_parse_script("# a comment\n\nf12 down 120 200   # tap\n  f14 up 120 200\n"
                                "3000ms move -5 400\nrandom 7 3\n",
                                job, error))
        << error;
    // The move is off the screen: the shell clamps it.
    const ZkScriptEvent want[] = {{true, 12, WM_LBUTTONDOWN, 120, 200},
                                  {true, 14, WM_LBUTTONUP, 120, 200},
                                  {false, 3000, WM_MOUSEMOVE, -5, 400}};
    ASSERT_EQ(job.events.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const ZkScriptEvent& e = job.events[i];
        EXPECT_TRUE(e.atFrame == want[i].atFrame && e.time == want[i].time && e.message == want[i].message &&
                    e.x == want[i].x && e.y == want[i].y)
            << "event " << i << ": " << e.time << " " << e.message << " " << e.x << "," << e.y;
    }
    ASSERT_EQ(job.players.size(), 1u);
    EXPECT_EQ(job.players[0].seed, 7u);
    EXPECT_EQ(job.players[0].taps, 3);

    struct Bad {
        const char* text;
        const char* says;
    } bad[] = {
        {"f1 press 1 2", "line 1: bad event"},   {"f1 down 1", "line 1: expected"},
        {"\n\nx5 down 1 2", "line 3: bad time"}, {"f-1 down 1 2", "line 1: bad time"},
        {"5 down 1 2", "line 1: bad time"},      {"12sms down 1 2", "line 1: bad time"},
        {"f1 down 1 2x", "line 1: bad position"}, {"f1 up 1 2 3", "line 1: expected"},
        {"random 7", "line 1: expected"},        {"random seven 3", "line 1: bad seed"},
        {"f2 down 99999 0", "line 1: bad position"},
    };
    for (const Bad& b : bad) {
        ZkRecordJob j;
        std::string e;
        EXPECT_FALSE(zk_parse_script(b.text, j, e)) << b.text;
        EXPECT_EQ(e.rfind(b.says, 0), 0u) << b.text << " -> " << e;
    }

    struct Check {
        int frames, png, from, to;
        bool ok;
    } checks[] = {{10, 9, 0, -1, true}, {10, 10, 0, -1, false}, {0, -1, 0, -1, false},
                  {10, -1, 3, 3, true}, {10, -1, 4, 3, false},  {10, -1, 0, 10, false}};
    for (const Check& c : checks) {
        ZkRecordJob j;
        j.frames = c.frames;
        if (c.png >= 0) j.pngs.push_back({c.png, "x.png"});
        j.gif = "x.gif";
        j.gifFrom = c.from;
        j.gifTo = c.to;
        std::string e;
        EXPECT_EQ(zk_check_job(j, e), c.ok) << c.frames << " " << c.png << " " << c.from << " " << c.to;
    }
}

TEST(Record, RandomPlayerIsSeededAndKeepsToTheBoard) {
    auto a = zk_random_taps({7, 40});
    auto b = zk_random_taps({7, 40});
    auto c = zk_random_taps({8, 40});
    auto fewer = zk_random_taps({7, 10});
    ASSERT_EQ(a.size(), 80u);
    bool same = true, differs = false;
    for (size_t i = 0; i < a.size(); ++i) {
        same = same && a[i].time == b[i].time && a[i].x == b[i].x && a[i].y == b[i].y;
        differs = differs || a[i].time != c[i].time || a[i].x != c[i].x;
    }
    EXPECT_TRUE(same);
    EXPECT_TRUE(differs);
    // The seed alone places each tap: fewer taps are the same taps, cut short.
    ASSERT_EQ(fewer.size(), 20u);
    for (size_t i = 0; i < fewer.size(); ++i)
        EXPECT_TRUE(fewer[i].time == a[i].time && fewer[i].x == a[i].x && fewer[i].y == a[i].y) << i;
    for (size_t i = 0; i < a.size(); i += 2) {
        EXPECT_EQ(a[i].message, UINT(WM_LBUTTONDOWN));
        EXPECT_EQ(a[i + 1].message, UINT(WM_LBUTTONUP));
        EXPECT_EQ(a[i + 1].time, a[i].time + 2);
        const uint32_t gap = a[i].time - (i ? a[i - 2].time : 0);
        EXPECT_TRUE(gap >= (i ? 3u : 1u) && gap <= (i ? 80u : 78u)) << "tap " << i / 2 << " after " << gap;
        EXPECT_TRUE(a[i].x >= 0 && a[i].x < W && a[i].y >= 24 && a[i].y < H) << a[i].x << "," << a[i].y;
    }
}

TEST(Record, PngHoldsTheExactColoursAndTheKeyAsTransparency) {
    Frame f(size_t(W * H));
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint16_t(i * 2654435761u >> 16);
    f[0] = 0xFFFF;
    f[1] = 0x0000;
    f[2] = 0xF81F;
    Frame icon(16 * 16, 0x07E0);
    icon[5] = icon[255] = 0xF81F;
    std::string error;
    ASSERT_TRUE(zk_write_png(buildPath("exact.png"), f.data(), W, H, error)) << error;
    ASSERT_TRUE(zk_write_png(buildPath("icon.png"), icon.data(), 16, 16, error, true)) << error;
    const Png back = readPng(buildPath("exact.png")), key = readPng(buildPath("icon.png"));
    ASSERT_TRUE(back.ok && key.ok);
    EXPECT_TRUE(back.w == W && back.h == H && back.px == f);
    EXPECT_EQ(back.alpha[2], 255);  // no key without keyTransparent
    EXPECT_TRUE(key.w == 16 && key.h == 16);
    EXPECT_EQ(key.alpha[5], 0);
    EXPECT_EQ(key.alpha[255], 0);
    EXPECT_EQ(key.alpha[6], 255);
    EXPECT_EQ(key.px[6], 0x07E0);

    EXPECT_FALSE(zk_write_png(buildPath("no/such/folder/x.png"), f.data(), W, H, error));
    EXPECT_FALSE(error.empty());
}

TEST(Record, GifPlaysBackTheFramesAtFortyPerSecond) {
    // Few colours over the whole run: one exact global palette. A square
    // moves, one frame repeats the one before, the last changes nothing but
    // one pixel.
    std::vector<Frame> frames;
    for (int i = 0; i < 9; ++i) {
        Frame f(size_t(W * H), 0x001F);
        fillRect(f, 0, 300, W - 1, H - 1, 0x07E0);
        fillRect(f, 10 + 7 * i, 40 + 3 * i, 30 + 7 * i, 60 + 3 * i, i % 2 ? 0xF800 : 0xFFE0);
        frames.push_back(f);
    }
    frames[5] = frames[4];
    frames[8] = frames[7];
    frames[8][size_t(200 * W + 100)] = 0xFFFF;
    // The same frames give the same bytes.
    const Played p = writeTwiceAndPlay("exact", frames);
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.width == W && p.height == H && p.loops);
    ASSERT_EQ(p.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(p.frames[i] == frames[i]) << "frame " << i;
    int total = 0;
    for (size_t i = 0; i < p.delays.size(); ++i) {
        EXPECT_EQ(p.delays[i], i % 2 ? 3 : 2);
        total += p.delays[i];
    }
    // 9 frames in 23 hundredths: 39.1 per second; every pair is exactly 40.
    EXPECT_NEAR(100.0 * double(p.frames.size()) / total, 40.0, 1.0);
    // Only what changed is sent: the repeated frame is one pixel, the last
    // frame exactly its one changed pixel.
    EXPECT_EQ(p.descs[5].Width * p.descs[5].Height, 1);
    EXPECT_EQ(p.descs[8].Left, 100);
    EXPECT_EQ(p.descs[8].Top, 200);
    EXPECT_EQ(p.descs[8].Width * p.descs[8].Height, 1);
    EXPECT_LE(p.descs[2].Width, 28);  // the square's old and new places only
}

TEST(Record, GifWithManyColoursStaysCloseAndStill) {
    // 65,536 colours in the first frame: a median cut, nearest colours, no
    // dithering. Later frames change a small patch of 3 colours, which is
    // sent exactly, and leave the rest as first shown.
    std::vector<Frame> frames;
    Frame f(size_t(W * H));
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint16_t(i);
    frames.push_back(f);
    for (int i = 1; i < 4; ++i) {
        fillRect(f, 50, 50, 69, 69, i == 2 ? 0x1234 : 0xF800);
        fillRect(f, 55, 55, 60, 60, 0x07E0);
        f[size_t(60 * W + 60)] = 0xABCD;
        frames.push_back(f);
    }
    const Played p = writeTwiceAndPlay("many", frames);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.frames.size(), frames.size());
    int worst = 0;
    for (size_t k = 0; k < frames[0].size(); ++k) worst = std::max(worst, channelError(p.frames[0][k], frames[0][k]));
    EXPECT_LE(worst, 48);
    for (size_t i = 1; i < frames.size(); ++i)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const size_t k = size_t(y * W + x);
                const bool patch = x >= 50 && x <= 69 && y >= 50 && y <= 69;  // exact; elsewhere no shimmer
                ASSERT_EQ(p.frames[i][k], patch ? frames[i][k] : p.frames[0][k]) << i << " at " << x << "," << y;
            }
    std::string error;
    EXPECT_FALSE(zk_write_gif(buildPath("no/such/folder/x.gif"), W, H, 1, [&](int) { return f.data(); }, error));
    EXPECT_FALSE(error.empty());
}

namespace {

// A small program for the recorder: a square follows the stylus and grows
// with every press; it notes at which frame count each press was seen and
// keeps a copy of every frame it composed, in order.
struct StandIn {
    std::vector<int> pressedAt;  // frames shown when the press was seen
    std::vector<Frame> shown;
    int stopAfter = 1 << 30;

    int run() {
        ZK_Init();
        int size = 2, frame = 0;
        while (!zk_record_done() && frame < stopAfter) {
            if (Stylus.pressed) {
                pressedAt.push_back(zk_record_frames_seen());
                size += 2;
            }
            for (int i = 0; i < W * H; ++i) zk_buffer[i] = uint16_t((i / W + frame) & 7 ? 0x0010 : 0x0210);
            for (int y = Stylus.y - size; y <= Stylus.y + size; ++y)
                for (int x = Stylus.x - size; x <= Stylus.x + size; ++x)
                    if (x >= 0 && x < W && y >= 0 && y < H) zk_buffer[y * W + x] = Stylus.held ? 0xFFE0 : 0xF800;
            ZK_Refresh();
            shown.emplace_back(zk_device_screen(), zk_device_screen() + W * H);
            ++frame;
        }
        return 0;
    }
};

ZkRecordJob standInJob(const std::string& tag) {
    ZkRecordJob job;
    std::string error;
    EXPECT_TRUE(zk_parse_script("f5 down 100 150\nf6 move 110 150\nf7 up 110 150\n"
                                "f20 down 30 60\nf22 up 30 60\n",
                                job, error))
        << error;
    job.frames = 40;
    job.pngs = {{0, buildPath(tag + "0.png")}, {10, buildPath(tag + "10.png")}, {39, buildPath(tag + "39.png")}};
    job.gif = buildPath(tag + ".gif");
    job.gifFrom = 1;
    return job;
}

// Armed as zk_record arms it: when the program starts, after the shell's
// first paint.
bool record(const ZkRecordJob& job, StandIn& program, std::string& error) {
    zk_test_run([&] {
        zk_record_begin(job, nullptr);
        return program.run();
    });
    return zk_record_end(error);
}

}  // namespace

TEST(Record, ScriptedRunGivesTheSameFilesEveryTime) {
    StandIn first;
    ZkRecordJob job = standInJob("run_a");
    std::string error;
    ASSERT_TRUE(record(job, first, error)) << error;
    EXPECT_EQ(zk_record_frames_seen(), 40);
    // A press posted at frame N is seen when frame N has been shown, and
    // its effect shows in frame N + 1.
    EXPECT_EQ(first.pressedAt, (std::vector<int>{6, 21}));
    ASSERT_GE(first.shown.size(), 40u);

    // Frame N is the program's own frame N, the first one included.
    for (int f : {0, 10, 39}) {
        const Png png = readPng(buildPath("run_a" + std::to_string(f) + ".png"));
        EXPECT_TRUE(png.ok && png.px == first.shown[size_t(f)]) << "frame " << f;
    }
    Played p = playGif(job.gif);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.frames.size(), 39u);  // frames 1..39
    for (size_t i = 0; i < p.frames.size(); ++i) EXPECT_TRUE(p.frames[i] == first.shown[i + 1]) << "frame " << i + 1;

    StandIn second;
    ZkRecordJob again = standInJob("run_b");
    ASSERT_TRUE(record(again, second, error)) << error;
    for (int f : {0, 10, 39})
        EXPECT_EQ(readFile(buildPath("run_a" + std::to_string(f) + ".png")),
                  readFile(buildPath("run_b" + std::to_string(f) + ".png")));
    EXPECT_EQ(readFile(job.gif), readFile(again.gif));
    EXPECT_FALSE(readFile(job.gif).empty());
}

TEST(Record, RandomPlayerAndMillisecondEventsReachTheProgram) {
    ZkRecordJob job;
    std::string error;
    ASSERT_TRUE(zk_parse_script("random 11 6\n400ms down 50 50\n460ms up 50 50\n", job, error)) << error;
    job.frames = 120;
    StandIn program;
    ASSERT_TRUE(record(job, program, error)) << error;
    // Each press is seen once the frame after its down has been shown: the
    // one at 400 ms while frame 15 is on the screen (frame 0 at 29 ms, then
    // one every 25 ms), and the random player's that fall inside the run,
    // none of which overlap for this seed.
    std::vector<int> expected{16};
    for (const ZkScriptEvent& e : zk_random_taps(job.players[0]))
        if (e.message == WM_LBUTTONDOWN && int(e.time) + 1 < job.frames) expected.push_back(int(e.time) + 1);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(program.pressedAt, expected);
}

TEST(Record, ARunThatEndsEarlyIsAnError) {
    ZkRecordJob job;
    job.frames = 100;
    job.pngs = {{5, buildPath("early5.png")}, {50, buildPath("early50.png")}};
    job.gif = buildPath("early.gif");
    StandIn program;
    program.stopAfter = 10;  // leaves by itself, as through a quit button
    std::string error;
    EXPECT_FALSE(record(job, program, error));
    EXPECT_NE(error.find("frame 50 was never shown"), std::string::npos) << error;
    EXPECT_FALSE(zk_record_done());
    EXPECT_TRUE(readPng(buildPath("early5.png")).ok);
    std::string again;
    EXPECT_FALSE(zk_record_end(again));  // ending twice keeps the verdict
    EXPECT_EQ(again, error);
}
