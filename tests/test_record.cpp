// The recorder: scripts, the random player, the PNG and GIF writers, and
// whole recorded runs of a small program on the headless device.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

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

// Reads a PNG back into RGB565 (and the alpha of each pixel when asked).
bool readPng(const std::string& path, Frame& out, int& w, int& h, std::vector<uint8_t>* alpha = nullptr) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return false;
    w = int(image.width);
    h = int(image.height);
    out.resize(size_t(w) * size_t(h));
    if (alpha) alpha->resize(out.size());
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = zk_rgb565(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2]);
        if (alpha) (*alpha)[i] = rgba[4 * i + 3];
    }
    return true;
}

// A GIF decoded by giflib and played: each frame composed over the last.
struct Played {
    bool ok = false;
    int width = 0, height = 0;
    std::vector<Frame> frames;
    std::vector<int> delays;
    std::vector<GifImageDesc> descs;
    bool loops = false;
};

Played playGif(const std::string& path) {
    Played p;
    int err = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
    if (!gif) return p;
    if (DGifSlurp(gif) == GIF_OK) {
        p.ok = true;
        p.width = gif->SWidth;
        p.height = gif->SHeight;
        Frame canvas(size_t(p.width) * size_t(p.height), 0);
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& im = gif->SavedImages[i];
            GraphicsControlBlock gcb{};
            gcb.TransparentColor = NO_TRANSPARENT_COLOR;
            DGifSavedExtensionToGCB(gif, i, &gcb);
            p.delays.push_back(gcb.DelayTime);
            p.descs.push_back(im.ImageDesc);
            const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
            for (int y = 0; y < im.ImageDesc.Height; ++y)
                for (int x = 0; x < im.ImageDesc.Width; ++x) {
                    int index = im.RasterBits[y * im.ImageDesc.Width + x];
                    if (index == gcb.TransparentColor || !map || index >= map->ColorCount) continue;
                    const GifColorType c = map->Colors[index];
                    canvas[size_t(im.ImageDesc.Top + y) * size_t(p.width) + size_t(im.ImageDesc.Left + x)] =
                        zk_rgb565(c.Red, c.Green, c.Blue);
                }
            p.frames.push_back(canvas);
            for (int e = 0; e < im.ExtensionBlockCount; ++e) {
                const ExtensionBlock& b = im.ExtensionBlocks[e];
                if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                    std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0)
                    p.loops = true;
            }
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

bool writeGif(const std::string& path, const std::vector<Frame>& frames) {
    std::string error;
    bool ok = zk_write_gif(path, W, H, int(frames.size()), [&](int i) { return frames[size_t(i)].data(); }, error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

}  // namespace

TEST(Record, ScriptLinesAndTheirMistakes) {
    ZkRecordJob job;
    std::string error;
    ASSERT_TRUE(zk_parse_script("# a comment\n\nf12 down 120 200   # tap\n  f14 up 120 200\n"
                                "3000ms move -5 400\nrandom 7 3\n",
                                job, error))
        << error;
    ASSERT_EQ(job.events.size(), 3u);
    EXPECT_TRUE(job.events[0].atFrame);
    EXPECT_EQ(job.events[0].time, 12u);
    EXPECT_EQ(job.events[0].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(job.events[0].x, 120);
    EXPECT_EQ(job.events[0].y, 200);
    EXPECT_EQ(job.events[1].message, UINT(WM_LBUTTONUP));
    EXPECT_FALSE(job.events[2].atFrame);
    EXPECT_EQ(job.events[2].time, 3000u);
    EXPECT_EQ(job.events[2].message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(job.events[2].x, -5);  // off the screen: the shell clamps it
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
    auto a = zk_random_taps({7, 40}, 500);
    auto b = zk_random_taps({7, 40}, 500);
    auto c = zk_random_taps({8, 40}, 500);
    ASSERT_EQ(a.size(), 80u);
    bool same = true, differs = false;
    for (size_t i = 0; i < a.size(); ++i) {
        same = same && a[i].time == b[i].time && a[i].x == b[i].x && a[i].y == b[i].y;
        differs = differs || a[i].time != c[i].time || a[i].x != c[i].x;
    }
    EXPECT_TRUE(same);
    EXPECT_TRUE(differs);
    for (size_t i = 0; i < a.size(); i += 2) {
        EXPECT_EQ(a[i].message, UINT(WM_LBUTTONDOWN));
        EXPECT_EQ(a[i + 1].message, UINT(WM_LBUTTONUP));
        EXPECT_EQ(a[i + 1].time, a[i].time + 2);
        EXPECT_GE(a[i].time, 1u);
        EXPECT_LT(a[i + 1].time, 500u);
        EXPECT_TRUE(a[i].x >= 0 && a[i].x < W && a[i].y >= 24 && a[i].y < H) << a[i].x << "," << a[i].y;
        if (i >= 2) {
            EXPECT_GE(a[i].time, a[i - 2].time);
        }
    }
    EXPECT_TRUE(zk_random_taps({7, 5}, 3).empty());  // no room for a tap
}

TEST(Record, PngHoldsTheExactColoursAndTheKeyAsTransparency) {
    Frame f(size_t(W * H));
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint16_t(i * 2654435761u >> 16);
    f[0] = 0xFFFF;
    f[1] = 0x0000;
    f[2] = 0xF81F;
    std::string error, path = buildPath("exact.png");
    ASSERT_TRUE(zk_write_png(path, f.data(), W, H, error)) << error;
    Frame back;
    int w = 0, h = 0;
    std::vector<uint8_t> alpha;
    ASSERT_TRUE(readPng(path, back, w, h, &alpha));
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    EXPECT_TRUE(back == f);
    EXPECT_EQ(alpha[2], 255);  // no key without keyTransparent

    Frame icon(16 * 16, 0x07E0);
    icon[5] = icon[255] = 0xF81F;
    path = buildPath("icon.png");
    ASSERT_TRUE(zk_write_png(path, icon.data(), 16, 16, error, true)) << error;
    ASSERT_TRUE(readPng(path, back, w, h, &alpha));
    EXPECT_EQ(w, 16);
    EXPECT_EQ(alpha[5], 0);
    EXPECT_EQ(alpha[255], 0);
    EXPECT_EQ(alpha[6], 255);
    EXPECT_EQ(back[6], 0x07E0);

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
    std::string path = buildPath("exact.gif");
    ASSERT_TRUE(writeGif(path, frames));
    Played p = playGif(path);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.width, W);
    EXPECT_EQ(p.height, H);
    EXPECT_TRUE(p.loops);
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

    // The same frames give the same bytes.
    std::string again = buildPath("exact2.gif");
    ASSERT_TRUE(writeGif(again, frames));
    EXPECT_EQ(readFile(path), readFile(again));
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
    std::string path = buildPath("many.gif");
    ASSERT_TRUE(writeGif(path, frames));
    Played p = playGif(path);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.frames.size(), frames.size());
    int worst = 0;
    for (size_t k = 0; k < frames[0].size(); ++k) worst = std::max(worst, channelError(p.frames[0][k], frames[0][k]));
    EXPECT_LE(worst, 48);
    for (size_t i = 1; i < frames.size(); ++i)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                size_t k = size_t(y * W + x);
                bool patch = x >= 50 && x <= 69 && y >= 50 && y <= 69;
                if (patch) {
                    ASSERT_EQ(p.frames[i][k], frames[i][k]) << "frame " << i << " at " << x << "," << y;
                } else {
                    ASSERT_EQ(p.frames[i][k], p.frames[0][k]) << "frame " << i << " shimmers at " << x << "," << y;
                }
            }
    std::string again = buildPath("many2.gif");
    ASSERT_TRUE(writeGif(again, frames));
    EXPECT_EQ(readFile(path), readFile(again));

    std::string error;
    EXPECT_FALSE(zk_write_gif(buildPath("no/such/folder/x.gif"), W, H, 1, [&](int) { return f.data(); }, error));
    EXPECT_FALSE(error.empty());
}

namespace {

// A small program for the recorder: a square follows the stylus and grows
// with every press; it notes at which frame count each press was seen and
// keeps a copy of every frame the device showed.
struct StandIn {
    std::vector<int> pressedAt;  // frames shown when the press was seen
    std::vector<Frame> shown;
    int stopAfter = 1 << 30;

    int run() {
        ZK_Init();
        int size = 2, frame = 0;
        auto keep = [&] {
            int n = zk_headless_paints();
            if (n <= 0) return;
            if (int(shown.size()) < n) shown.resize(size_t(n));
            shown[size_t(n - 1)].assign(zk_device_screen(), zk_device_screen() + W * H);
        };
        keep();
        while (!zk_record_done() && frame < stopAfter) {
            if (Stylus.pressed) {
                pressedAt.push_back(zk_headless_paints());
                size += 2;
            }
            for (int i = 0; i < W * H; ++i) zk_buffer[i] = uint16_t((i / W + frame) & 7 ? 0x0010 : 0x0210);
            for (int y = Stylus.y - size; y <= Stylus.y + size; ++y)
                for (int x = Stylus.x - size; x <= Stylus.x + size; ++x)
                    if (x >= 0 && x < W && y >= 0 && y < H) zk_buffer[y * W + x] = Stylus.held ? 0xFFE0 : 0xF800;
            ZK_Refresh();
            keep();
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
    job.pngs = {{10, buildPath(tag + "10.png")}, {39, buildPath(tag + "39.png")}};
    job.gif = buildPath(tag + ".gif");
    job.gifFrom = 1;
    return job;
}

bool record(const ZkRecordJob& job, StandIn& program, std::string& error) {
    zk_test_run([&] { return program.run(); }, [&] { zk_record_begin(job, nullptr); });
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

    Frame png;
    int w = 0, h = 0;
    for (int f : {10, 39}) {
        ASSERT_TRUE(readPng(buildPath("run_a" + std::to_string(f) + ".png"), png, w, h));
        EXPECT_TRUE(png == first.shown[size_t(f)]) << "frame " << f;
    }
    Played p = playGif(job.gif);
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.frames.size(), 39u);  // frames 1..39
    for (size_t i = 0; i < p.frames.size(); ++i) EXPECT_TRUE(p.frames[i] == first.shown[i + 1]) << "frame " << i + 1;

    StandIn second;
    ZkRecordJob again = standInJob("run_b");
    ASSERT_TRUE(record(again, second, error)) << error;
    EXPECT_EQ(readFile(buildPath("run_a10.png")), readFile(buildPath("run_b10.png")));
    EXPECT_EQ(readFile(buildPath("run_a39.png")), readFile(buildPath("run_b39.png")));
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
    // one at 400 ms while frame 16 is on the screen (frames start at 32 ms,
    // then every 25 ms), then the random player's, none of which overlap for
    // this seed.
    std::vector<int> expected{17};
    for (const ZkScriptEvent& e : zk_random_taps(job.players[0], job.frames))
        if (e.message == WM_LBUTTONDOWN) expected.push_back(int(e.time) + 1);
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
    Frame png;
    int w = 0, h = 0;
    EXPECT_TRUE(readPng(buildPath("early5.png"), png, w, h));
    std::string again;
    EXPECT_FALSE(zk_record_end(again));  // ending twice keeps the verdict
    EXPECT_EQ(again, error);
}
