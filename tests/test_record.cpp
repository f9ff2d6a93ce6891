// The recorder: scripts, the random player, the PNG and GIF writers, and
// whole recorded runs of a small program on the headless device.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "zk_gifwriter.h"
#include "zk_png.h"
#include "zk_recorder.h"
#include "zk_test_support.h"

// Jobs are written with designated initialisers; the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using Frame = std::vector<uint16_t>;
constexpr int W = ZK_WIDTH, H = ZK_HEIGHT;

std::string buildPath(const std::string& name) { return std::string(ZK_BUILD_DIR) + "/record_" + name; }

// A full-screen PNG read back as RGB565 pixels; empty when it cannot be read.
Frame readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()) || image.width != W || image.height != H) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    Frame out(size_t(W) * H);
    for (size_t i = 0; i < out.size(); ++i) out[i] = zk_rgb565(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    return out;
}

// A full-screen GIF decoded by giflib and played: each frame composed over
// the last, the first over white (so the first frame must send every pixel);
// its delays; whether it loops for ever.
struct Played {
    std::vector<Frame> frames;
    std::vector<int> delays;
    bool loops = false;
};

Played playGif(const std::string& path) {
    Played p;
    int err = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
    if (!gif) return p;
    Frame canvas(size_t(W) * H, 0xFFFF);
    const bool ok = DGifSlurp(gif) == GIF_OK && gif->SWidth == W && gif->SHeight == H;
    for (int i = 0; ok && i < gif->ImageCount; ++i) {
        const SavedImage& im = gif->SavedImages[i];
        const GifImageDesc& d = im.ImageDesc;
        GraphicsControlBlock gcb{0, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &gcb);
        p.delays.push_back(gcb.DelayTime);
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        for (int k = 0; k < d.Width * d.Height; ++k)
            if (const int c = im.RasterBits[k]; c != gcb.TransparentColor && map && c < map->ColorCount)
                canvas[size_t((d.Top + k / d.Width) * W + d.Left + k % d.Width)] =
                    zk_rgb565(map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue);
        p.frames.push_back(canvas);
        for (int e = 0; e + 1 < im.ExtensionBlockCount; ++e) {
            const ExtensionBlock* b = im.ExtensionBlocks + e;
            p.loops |= b[0].ByteCount == 11 && !std::memcmp(b[0].Bytes, "NETSCAPE2.0", 11) && b[1].ByteCount == 3 &&
                       !std::memcmp(b[1].Bytes, "\1\0\0", 3);
        }
    }
    DGifCloseFile(gif, &err);
    return p;
}

// A small program for the recorder: a square follows the stylus over moving
// stripes and grows with every press; frame 1 shows every RGB565 colour, and
// the bottom quarter keeps them from then on. It notes at which frame count
// each press was seen and keeps a copy of every frame it composed, in order.
struct StandIn {
    std::vector<int> pressedAt;  // frames shown when the press was seen
    std::vector<Frame> shown;
    int stopAfter = 1 << 30;

    int run() {
        ZK_Init();
        ZK_BgLoadBitmap(0, W, H, 1);  // drawn on a full-screen layer, under the rate counter
        Frame picture(size_t(W * H));
        for (int frame = 0; !zk_record_done() && frame < stopAfter; ++frame) {
            if (Stylus.pressed) pressedAt.push_back(zk_record_frames_seen());
            const int size = 2 + 2 * int(pressedAt.size());
            for (int i = 0; i < W * H; ++i) {
                const int x = i % W - Stylus.x, y = i / W - Stylus.y;
                picture[size_t(i)] = frame == 1 || (frame > 1 && i / W >= 240)     ? uint16_t(i)
                                     : std::abs(x) <= size && std::abs(y) <= size ? (Stylus.held ? 0xFFE0 : 0xF800)
                                     : (i / W + frame) & 7                    ? 0x0010
                                                                              : 0x0210;
            }
            ZK_BgCopyBitmap(0, picture.data());
            ZK_Refresh();
            shown.emplace_back(zk_device_screen(), zk_device_screen() + W * H);
        }
        return 0;
    }
};

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

TEST(Record, ScriptsJobsAndFilesInMissingFoldersAreChecked) {
    ZkRecordJob job;
    std::string error;
    ASSERT_TRUE(zk_parse_script("# a comment\n\nf12 down 120 200   # tap\n  f14 up 120 200\n"
                                "3000ms move -5 400\nrandom 7 3\n", job, error)) << error;
    std::vector<std::vector<int>> events;  // off-screen positions are the shell's to clamp
    for (const ZkScriptEvent& e : job.events) events.push_back({e.atFrame, int(e.time), int(e.message), e.x, e.y});
    EXPECT_EQ(events, (std::vector<std::vector<int>>{
                          {1, 12, WM_LBUTTONDOWN, 120, 200}, {1, 14, WM_LBUTTONUP, 120, 200}, {0, 3000, WM_MOUSEMOVE, -5, 400}}));
    ASSERT_EQ(job.players.size(), 1u);
    EXPECT_EQ(std::pair(job.players[0].seed, job.players[0].taps), std::pair(uint64_t(7), 3));

    const std::pair<const char*, const char*> bad[] = {
        {"f1 press 1 2", "line 1: bad event"},      {"f1 down 1", "line 1: expected"},
        {"\n\nf-1 down 1 2", "line 3: bad time"},   {"12sms down 1 2", "line 1: bad time"},
        {"f2 down 99999 0", "line 1: bad position"}, {"random seven 3", "line 1: bad seed"},
    };
    for (const auto& [text, says] : bad) {
        ZkRecordJob j;
        std::string e;
        EXPECT_FALSE(zk_parse_script(text, j, e)) << text;
        EXPECT_EQ(e.rfind(says, 0), 0u) << text << " -> " << e;
    }
    // frames, PNG frame (-1 none), GIF from, to: accepted?
    const int checks[][5] = {{10, 9, 0, -1, 1},  {10, 10, 0, -1, 0}, {0, -1, 0, -1, 0},
                             {10, -1, 3, 3, 1}, {10, -1, 4, 3, 0},  {10, -1, 0, 10, 0}};
    for (const auto& c : checks) {
        ZkRecordJob j{.frames = c[0], .gif = "x.gif", .gifFrom = c[2], .gifTo = c[3]};
        if (c[1] >= 0) j.pngs.push_back({c[1], "x.png"});
        EXPECT_EQ(zk_check_job(j, error), c[4] == 1) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    }
    const Frame icon(16 * 16, 0x07E0);
    std::string png, gif;
    EXPECT_FALSE(zk_write_png(buildPath("no/such/folder/x.png"), icon.data(), 16, 16, png));
    EXPECT_FALSE(zk_write_gif(buildPath("no/such/folder/x.gif"), 16, 16, 1, [&](int) { return icon.data(); }, gif));
    EXPECT_FALSE(png.empty() || gif.empty());
}


// One run scripted in frames and in milliseconds, with a random player too:
// every press reaches the program, and the files hold the frames it showed.
TEST(Record, RunsReachTheProgramAndKeepItsFrames) {
    ZkRecordJob job{.frames = 120, .gif = buildPath("run.gif"), .gifFrom = 1};
    std::string error;
    ASSERT_TRUE(zk_parse_script("random 11 6\nf5 down 100 150\nf6 move 110 150\nf7 up 110 150\n"
                                "400ms down 30 60\n460ms up 30 60\n", job, error)) << error;
    for (int f : {0, 1, 119}) job.pngs.push_back({f, buildPath("run" + std::to_string(f) + ".png")});
    StandIn program;
    ASSERT_TRUE(record(job, program, error)) << error;
    EXPECT_EQ(zk_record_frames_seen(), 120);
    // A press posted at frame N is seen when frame N has been shown, and its
    // effect shows in frame N + 1; the one at 400 ms while frame 15 is on the
    // screen (frame 0 at 29 ms, then one every 25 ms). The random player's
    // taps inside the run overlap none of the script's for this seed.
    std::vector<int> expected{6, 16};
    for (const ZkScriptEvent& e : zk_random_taps(job.players[0]))
        if (e.message == WM_LBUTTONDOWN && int(e.time) + 1 < job.frames) expected.push_back(int(e.time) + 1);
    ASSERT_GT(expected.size(), 3u);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(program.pressedAt, expected);
    // Frame N is the program's own frame N, the first one included.
    ASSERT_GE(program.shown.size(), 120u);
    for (int f : {0, 1, 119})
        EXPECT_TRUE(readPng(buildPath("run" + std::to_string(f) + ".png")) == program.shown[size_t(f)]) << "frame " << f;
    // Frames 1..119, at 40 frames a second (2 and 3 hundredths in turn),
    // looping. The first, of 65,536 colours, comes close (a median cut, no
    // dithering); after it a pixel that changes is sent exactly, and one that
    // never does stays as first shown.
    const Played p = playGif(buildPath("run.gif"));
    ASSERT_EQ(p.frames.size(), 119u);
    EXPECT_TRUE(p.loops);
    for (size_t i = 0; i < p.delays.size(); ++i) EXPECT_EQ(p.delays[i], i % 2 ? 3 : 2) << i;
    int worst = 0;
    for (size_t k = 0; k < p.frames[0].size(); ++k)
        for (auto channel : {zk_red8, zk_green8, zk_blue8})
            worst = std::max(worst, std::abs(channel(p.frames[0][k]) - channel(program.shown[1][k])));
    EXPECT_LE(worst, 48);
    std::vector<bool> changed(p.frames[0].size());
    for (size_t f = 1; f < p.frames.size(); ++f) {
        Frame want = p.frames[0];
        for (size_t k = 0; k < want.size(); ++k) {
            changed[k] = changed[k] || program.shown[f + 1][k] != program.shown[f][k];
            if (changed[k]) want[k] = program.shown[f + 1][k];
        }
        ASSERT_TRUE(p.frames[f] == want) << "frame " << f + 1;
    }
}

// The seed alone places each tap: fewer taps are the same taps, cut short;
// another seed plays another game.
TEST(Record, RandomPlayerIsSeededAndKeepsToTheBoard) {
    auto taps = [](uint64_t seed, int n) {
        std::vector<std::vector<int>> v;
        for (const ZkScriptEvent& e : zk_random_taps({seed, n})) v.push_back({int(e.time), int(e.message), e.x, e.y});
        return v;
    };
    const auto a = taps(7, 400);
    ASSERT_EQ(a.size(), 800u);
    EXPECT_NE(a, taps(8, 400));
    EXPECT_EQ(taps(7, 10), decltype(a)(a.begin(), a.begin() + 20));
    // A down and, two frames later, an up at the same place, away from the
    // top rows; the first at frame 1 to 78, each next 5 to 82 frames later.
    for (size_t i = 0; i < a.size(); i += 2) {
        const int gap = a[i][0] - (i ? a[i - 2][0] : 0), x = a[i][2], y = a[i][3];
        EXPECT_EQ(a[i + 1], (std::vector<int>{a[i][0] + 2, WM_LBUTTONUP, x, y}));
        EXPECT_TRUE(a[i][1] == WM_LBUTTONDOWN && gap >= (i ? 5 : 1) && gap <= (i ? 82 : 78)) << "tap " << i / 2;
        EXPECT_TRUE(x >= 0 && x < W && y >= 24 && y < H) << x << "," << y;
    }
}

TEST(Record, ARunThatEndsEarlyIsAnError) {
    const ZkRecordJob job{.frames = 100, .pngs = {{5, buildPath("early5.png")}, {50, buildPath("early50.png")}},
                          .gif = buildPath("early.gif")};
    StandIn program;
    program.stopAfter = 10;  // leaves by itself, as through a quit button
    std::string error, again;
    EXPECT_FALSE(record(job, program, error));
    EXPECT_NE(error.find("frame 50 was never shown"), std::string::npos) << error;
    EXPECT_FALSE(zk_record_done());
    EXPECT_FALSE(readPng(buildPath("early5.png")).empty());
    EXPECT_FALSE(zk_record_end(again));  // ending twice keeps the verdict
    EXPECT_EQ(again, error);
}
