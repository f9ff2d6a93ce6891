// zk_sheet: draws sheets for people to look at, with the engine itself on
// the headless device, and writes each as a PNG enlarged by a whole factor
// (nearest neighbour, so every screen pixel stays a crisp square).
//
//   zk_sheet fonts|balls|background|tour OUT.png [SCALE]   (SCALE: 1..8, default 3)
//
// fonts       each built-in font: a pangram, capitals, small letters, digits
//             and signs, the accented letters alone and in words; then the
//             debug overlay's font
// balls       the small ball pictures as a throw and the board draw them:
//             each count, turned to the angles a throw gives, at the radii
//             each picture serves, over the board
// background  the board picture with the score label, the score, the
//             game-over panel and the cannon
// tour        the tour's six scenes side by side, once each has faded in
//
// A sheet is 240 pixels wide (the tour's 720) and as tall as it needs: it is
// put together from screens composed one after another.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ZKlib.h"
#include "quib.h"
#include "tour.h"
#include "zk_device.h"
#include "zk_headless.h"
#include "zk_png.h"

namespace {

// The sheet being put together: rows of `width` pixels.
struct Sheet {
    int width = ZK_WIDTH;
    std::vector<uint16_t> px;
    int rows() const { return int(px.size()) / width; }
    // Copies screen rows [top, top + count) to the sheet at (x, y), growing it.
    void put(const uint16_t* screen, int top, int count, int x, int y) {
        if (size_t(y + count) * size_t(width) > px.size()) px.resize(size_t(y + count) * size_t(width), 0);
        for (int r = 0; r < count; ++r)
            std::memcpy(&px[size_t(y + r) * size_t(width) + size_t(x)], screen + (top + r) * ZK_WIDTH, ZK_WIDTH * 2);
    }
    void append(int top, int count) { put(zk_buffer, top, count, 0, rows()); }
};

Sheet sheet;
std::string kind;

constexpr uint16_t kInk = 0xFFFF, kDim = 0x8C71, kPaper = 0x10A3;
constexpr uint8_t kTextLayer = 1, kDebugLayer = 0;

// The engine's letters are Latin-1 bytes; the strings here are UTF-8.
std::string latin1(const char* utf8) {
    std::string out;
    for (const auto* p = reinterpret_cast<const unsigned char*>(utf8); *p; ++p)
        if (*p >= 0xC0 && p[1]) {
            out += char(((*p & 0x1F) << 6) | (p[1] & 0x3F));
            ++p;
        } else {
            out += char(*p);
        }
    return out;
}

// Lays text out in font `font` from row y across the screen and returns the
// row below its last line.
int lines(uint8_t& slot, int y, const std::string& text, uint8_t font, uint16_t colour) {
    const int h = zk_deffonts[font]->height;
    ZK_Text(slot++, 4, int16_t(y), 235, 318, text.c_str(), colour, font, int32_t(text.size()));
    return ZK_LetterPos.places[ZK_LetterPos.count].y + h + 1;
}

void fontsSheet() {
    static const char* const samples[] = {
        "The quick brown fox jumps over the lazy dog.",
        "SPHINX OF BLACK QUARTZ, JUDGE MY VOW!",
        "ABCDEFGHIJKLM NOPQRSTUVWXYZ abcdefghijklm nopqrstuvwxyz",
        "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~",
        "à á â ã ä å æ ç è é ê ë ì í î ï ñ ò ó ô õ ù ú û ü ý",
        "Déjà vu: crème brûlée, naïve façade, où l'âme côtoie Señor Müller.",
    };
    zk_bgcolor = kPaper;
    for (int f = 0; f < 5; ++f) {
        ZK_LoadTextBg(kTextLayer);
        uint8_t slot = 0;
        char head[32];
        std::snprintf(head, sizeof head, "font %d, %d pixels", f, zk_deffonts[f]->height);
        int y = lines(slot, 2, head, 0, kDim);
        for (const char* s : samples) y = lines(slot, y, latin1(s), uint8_t(f), kInk);
        if (f == 4) y = lines(slot, y, latin1("Ç ö"), 4, kInk);
        ZK_Refresh();
        sheet.append(0, y + 2);
    }
    ZK_ResetTextBg(kTextLayer);
    ZK_InitDebug(kDebugLayer);
    ZK_DebugText(0, 0, "%c8debug font, 6 x 6 cells  ");
    ZK_DebugText(0, 1, "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789");
    ZK_DebugText(0, 2, "abcdefghijklmnopqrstuvwxyz");
    ZK_DebugText(0, 3, "!\"#$%%&'()*+,-./:;<=>?@[\\]^`{|}~ \xE0\xE7\xE8\xE9\xEA");
    ZK_DebugText(0, 4, "The quick brown fox jumps over the lazy");
    ZK_DebugText(0, 5, "dog. Frame 25, x=%d y=%d 0x%x", 120, -7, 0xC0FFEEu);
    ZK_Refresh();
    sheet.append(0, 6 * 6 + 2);
    ZK_BgDelete(kDebugLayer);
    zk_debug_bg = -1;
}

// One strip of balls: for each angle a ball of picture `image` (side `side`)
// drawn at `radius` with frame `count`, over the board.
void ballStrip(SpriteImage* image, int side, int radius, int count, const std::vector<int>& angles, int height) {
    const int step = (ZK_WIDTH - 24) / int(angles.size());
    ZK_LoadTextBg(kTextLayer);
    char label[8];
    std::snprintf(label, sizeof label, "%d", radius);
    ZK_Text(0, 2, int16_t(height / 2 - 3), 22, int16_t(height), label, kInk, 0, 3);
    for (size_t i = 0; i < angles.size(); ++i) {
        const int slot = QUIB_SPR_BALLS + int(i);
        ZK_CreateSprite(slot, image, uint16_t(side), uint16_t(side), int16_t(24 + step / 2 + step * int(i)),
                        int16_t(height / 2));
        zk_sprites[slot]->zoom = int16_t(radius * 2048 / side);
        zk_sprites[slot]->angle = int16_t(angles[i] & 511);
        zk_sprites[slot]->frame = int16_t(count);
    }
    ZK_Refresh();
    sheet.append(0, height);
    for (size_t i = 0; i < angles.size(); ++i) zk_sprites[QUIB_SPR_BALLS + int(i)]->visible = 0;
}

void ballsSheet() {
    Quib_Setup();
    for (int s : {QUIB_SPR_QUIT, QUIB_SPR_CANON, QUIB_SPR_GAMEOVER, QUIB_SPR_SCORE}) zk_sprites[s]->visible = 0;
    ZK_BgScrollXY(QUIB_BG_LAYER, 0, -40);  // the board behind every strip
    // A throw turns the ball to its aim less a quarter turn: -112 .. 112.
    const std::vector<int> thrown{-112, -80, -48, -16, 0, 16, 48, 80, 112};
    for (int count = 3; count >= 0; --count) ballStrip(main_spr_vsmall, 16, 8, count, thrown, 24);
    ballStrip(main_spr_vsmall, 16, 10, 3, thrown, 26);
    const std::vector<int> resting{0, 32, 64, 96, 128};
    for (int radius : {12, 16, 20})
        for (int count = 3; count >= 1; --count) ballStrip(main_spr_small, 32, radius, count, resting, 2 * radius + 4);
}

void backgroundSheet() {
    Quib_Setup();
    Quib_ShowScore(105);
    Sprite* over = zk_sprites[QUIB_SPR_GAMEOVER];
    over->visible = 1;
    zk_sprites[QUIB_SPR_CANON]->angle = 100;
    ZK_Refresh();
    sheet.append(0, ZK_HEIGHT);
}

// The tour: a picture of each scene once it has faded in, then the next
// button; after the last scene, the quit button.
int tourFrames = 0, tourScene = 0;

void tourPresent(const uint16_t* screen, void*) {
    if (tour_scene != tourScene) tourScene = tour_scene, tourFrames = 0;
    if (tourScene == 0 || ++tourFrames != 40) return;
    sheet.put(screen, 0, ZK_HEIGHT, (tourScene - 1) % 3 * ZK_WIDTH, (tourScene - 1) / 3 * ZK_HEIGHT);
    if (tourScene == TOUR_SCENES)
        zk_headless_tap(zk_headless_clock(), 232, 8);
    else
        zk_headless_tap(zk_headless_clock(), TOUR_NEXT_X, TOUR_NEXT_Y);
}

}  // namespace

// The shell calls the program's main through this name.
int zk_main() {
    if (kind == "tour") {
        zk_headless_on_present(tourPresent, nullptr);
        return Tour_Main();
    }
    ZK_Init();
    if (kind == "fonts") fontsSheet();
    if (kind == "balls") ballsSheet();
    if (kind == "background") backgroundSheet();
    return 0;
}

void zk_DoVect(uint8_t layer) {
    if (kind == "tour") Tour_DrawVectors(layer);
}

int main(int argc, char** argv) {
    const int scale = argc == 4 ? std::atoi(argv[3]) : 3;
    kind = argc >= 3 ? argv[1] : "";
    if ((argc != 3 && argc != 4) || scale < 1 || scale > 8 ||
        (kind != "fonts" && kind != "balls" && kind != "background" && kind != "tour")) {
        std::fprintf(stderr, "usage: zk_sheet fonts|balls|background|tour OUT.png [SCALE 1..8]\n");
        return 2;
    }
    if (kind == "tour") sheet.width = 3 * ZK_WIDTH;
    zk_use_device(zk_headless_device());
    zk_headless_reset();
    static char module;
    static WCHAR noCommandLine[] = L"";
    WinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, noCommandLine, SW_SHOW);

    const int w = sheet.width, h = sheet.rows();
    std::vector<uint16_t> big(size_t(w) * size_t(h) * size_t(scale * scale));
    for (int y = 0; y < h * scale; ++y)
        for (int x = 0; x < w * scale; ++x)
            big[size_t(y) * size_t(w * scale) + size_t(x)] = sheet.px[size_t(y / scale) * size_t(w) + size_t(x / scale)];
    std::string error;
    if (!zk_write_png(argv[2], big.data(), w * scale, h * scale, error)) {
        std::fprintf(stderr, "zk_sheet: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
