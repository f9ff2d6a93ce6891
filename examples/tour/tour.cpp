// The engine tour: six scenes, each a few plain engine calls, to read as
// examples. The frame loop is the same everywhere: the scene's step for one
// frame, ZK_Refresh, then a look at the two buttons.
//
// Layers used throughout (a layer's priority is its number unless set; lower
// numbers are drawn later, in front):
//   0  the debug overlay (debug scene only)
//   1  labels: the current text layer, one text slot per label
//   2  the clipped ticker text (text scene)
//   3  the animated vector shapes (layers scene)
//   8, 9, 12  the painting layer, the animated GIF and the tile map (layers scene)
//   13 panels: a vector layer of frames and boxes behind each scene's parts,
//      moved back to priority 1000
//   15 the backdrop picture, moved to the back priority 1023
// Sprites 10..99 belong to scenes; 1024 is quit and 1025 is next.
#include "tour.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

int tour_scene = 0;
uint32_t tour_seen = 0;
int tour_doubletaps = 0;

// The embedded pictures (painted by `zk_assets --tour`).
extern const uint8_t tour_next[], tour_clock[], tour_fish[], tour_star[], tour_donut[], tour_buttons[], tour_tiles[],
    tour_waves[], tour_canvas[], tour_backdrop[];
extern const size_t tour_next_size, tour_clock_size, tour_fish_size, tour_star_size, tour_donut_size, tour_buttons_size,
    tour_tiles_size, tour_waves_size, tour_canvas_size, tour_backdrop_size;

namespace {

// ---------------------------------------------------------------- shared state
constexpr uint8_t kBgDebug = 0, kBgLabels = 1, kBgTicker = 2, kBgShapes = 3, kBgPanels = 13, kBgBackdrop = 15;

constexpr uint16_t kWhite = 0xFFFF, kGrey = 0xA534, kCyan = 0x07FF, kYellow = 0xFFE0, kGreen = 0x87F0, kOrange = 0xFD20,
                   kPink = 0xFB56, kNavy = 0x10A8, kPanel = 0x2129, kEdge = 0x6B7F, kCallNames = 0x9D7F;

SpriteImage *imgNext, *imgClock, *imgFish, *imgStar, *imgDonut, *imgButtons;

bool wantQuit = false;  // the quit button was tapped
bool wantNext = false;  // the next button was tapped
int sceneFrames = 0;    // frames since the scene began

int sinOf(int a) { return ZK_SIN[a & 511]; }  // 256 = 1; angle 128 points up
int cosOf(int a) { return ZK_SIN[(a + 128) & 511]; }

// 0, 1, ..., n, n - 1, ..., 1, 0, 1, ... for t = 0, 1, 2, ...
int pingPong(int t, int n) {
    const int k = t % (2 * n);
    return k <= n ? k : 2 * n - k;
}

// Called once after each frame, by the frame loop and (while the animated
// GIF plays) by the layers scene's hook: the buttons for the frame just shown.
void afterFrame() {
    tour_seen |= 1u << tour_scene;
    ++sceneFrames;
    if (Stylus.pressed && ZK_SpriteTouched(TOUR_SPR_QUIT)) wantQuit = true;
    if (Stylus.pressed && ZK_SpriteTouched(TOUR_SPR_NEXT)) wantNext = true;
}

bool tapped(int sprite) { return Stylus.pressed && zk_sprites[sprite] && ZK_SpriteTouched(uint16_t(sprite)); }

// A label: text in slot `slot` of the labels layer, laid out in the box.
void label(uint8_t slot, int left, int top, int right, int bottom, const char* text, uint16_t colour, uint8_t font,
           uint8_t align = 0) {
    zk_textinfo.layer = kBgLabels;
    zk_textinfo.align = align;
    ZK_Text(slot, int16_t(left), int16_t(top), int16_t(right), int16_t(bottom), text, colour, font,
            int32_t(std::strlen(text)));
    zk_textinfo.align = 0;
}

// A one-line label of font `font` (heights 6, 8, 9, 12, 14).
void line(uint8_t slot, int x, int y, const char* text, uint16_t colour, uint8_t font = 0, uint8_t align = 0) {
    const int h = zk_deffonts[font]->height;
    label(slot, x, y, align ? 239 - x : 236, y + h, text, colour, font, align);
}

// A small caption centred under a point.
void caption(uint8_t slot, int centreX, int top, const char* text, uint16_t colour) {
    label(slot, centreX - 60, top, centreX + 60, top + 6, text, colour, 0, 2);
}

void panel(int left, int top, int right, int bottom, uint16_t fill = kPanel, uint16_t edge = kEdge) {
    ZK_VectoBgAddRectangle(kBgPanels, left, top, right, bottom, edge, fill, 1);
}

void frameBox(int left, int top, int right, int bottom, uint16_t edge = kEdge) {
    ZK_VectoBgAddRectangle(kBgPanels, left, top, right, bottom, edge, 0, 0);
}

Sprite* sprite(int slot, SpriteImage* image, int w, int h, int x, int y) {
    ZK_CreateSprite(slot, image, uint16_t(w), uint16_t(h), int16_t(x), int16_t(y));
    return zk_sprites[slot];
}

// ================================================================ 1: text
// The five fonts, one paragraph in the four alignments, a slot whose opacity
// pulses, and a ticker on its own text layer clipped by window 2.
const char kParagraph[] = "The layout wraps whole words at the edge of the box, then places each line on its own.";
int tickerX = 220;

void textSetup() {
    static const char* const names[5] = {"Font 0: six pixels, the smallest", "Font 1: eight pixels high",
                                         "Font 2: nine pixels high", "Font 3: twelve pixels", "Font 4: fourteen"};
    static const uint16_t colours[5] = {kWhite, kCyan, kYellow, kGreen, kOrange};
    for (int f = 0, y = 35; f < 5; y += zk_deffonts[f]->height + 3, ++f)
        line(uint8_t(10 + f), 8, y, names[f], colours[f], uint8_t(f));

    static const char* const heads[4] = {"Left. ", "Right. ", "Centre. ", "Justified. "};
    for (int a = 0; a < 4; ++a) {
        const int left = a % 2 ? 124 : 6, top = a < 2 ? 100 : 164;
        panel(left - 2, top - 2, left + 111, top + 59);
        char text[160];
        std::snprintf(text, sizeof text, "%s%s", heads[a], kParagraph);
        label(uint8_t(20 + a), left + 2, top + 1, left + 108, top + 58, text, a == 3 ? kYellow : kWhite, 1, uint8_t(a));
    }

    panel(6, 227, 233, 251, 0xFE60, 0xFFF0);
    line(30, 6, 233, "This slot is blended", kNavy, 3, 2);

    // The ticker lives on text layer 2, which draws inside clip window 2.
    ZK_SetWindowLimits(2, 20, 259, 219, 277);
    frameBox(19, 258, 220, 278, kYellow);
    ZK_LoadTextBg(kBgTicker);
    zk_bg[kBgTicker].window = 2;
    line(31, 20, 283, "a text layer clipped by window 2", kGrey, 0, 2);
    tickerX = 220;
}

void textStep() {
    // The blended slot: its record's opacity, written directly.
    ZK_TextSlot[kBgLabels][30].alpha = uint8_t(2 + pingPong(sceneFrames / 2, 30));

    // The ticker: laid out again each frame one pixel further left (a text
    // layer's letters stand where ZK_Text put them).
    static const char ticker[] =
        "Text slots are laid out once and drawn every frame ... the clip window "
        "cuts letters at its edges ...";
    zk_textinfo.layer = kBgTicker;
    ZK_Text(0, int16_t(tickerX), 261, int16_t(tickerX + 2000), 261 + 14, ticker, kCyan, 4, int32_t(sizeof ticker - 1));
    const int end = ZK_LetterPos.places[ZK_LetterPos.count].x;
    zk_textinfo.layer = kBgLabels;
    tickerX = end < 20 ? 220 : tickerX - 1;
}

// ================================================================ 2: the debug overlay
// The overlay is a grid of 40 x 53 cells of 6 x 6 pixels over the whole
// screen; the scene fills it from below the title to above the buttons, a
// blank row between lines, one panel behind each group.
void debugSetup() {
    ZK_InitDebug(kBgDebug);  // the frame rate now shows at cell (0, 0)
    panel(6, 38, 233, 64);
    ZK_DebugText(2, 7, "%c6The overlay prints in 6 x 6 cells;");
    ZK_DebugText(2, 9, "%c8the frame rate stays in the corner.");

    panel(6, 66, 233, 140);
    ZK_DebugText(2, 12, "%c5Numbers   %d %d %d", 42, -7, 0);
    ZK_DebugText(2, 14, "%c2Hex       %x %x", 255u, 0xC0FFEEu);
    ZK_DebugText(2, 16, "%c6Fixed     %f2 %f3 %f0", 3.14159, -0.25, 7.5);
    ZK_DebugText(2, 18, "%c1Padded    [%05d] [%03d] [%.6d]", -42, 7, 123);
    ZK_DebugText(2, 20, "%c7Strings   %s", "in any colour");
    ZK_DebugText(2, 22, "Colours   %c00%c11%c22%c33%c44%c55%c66%c77%c88");

    panel(6, 142, 233, 176);
    ZK_DebugText(2, 25, "%c5Two lines/nin one call");
    ZK_DebugText(2, 28, "%c8A lone % prints as itself");

    panel(6, 180, 233, 236);
    // Text past the end of a row goes on at the start of the next.
    panel(6, 240, 233, 290);
    ZK_DebugText(32, 41, "%c7A long line runs on at the row below.");
}

void debugStep() {
    ZK_DebugText(2, 31, "%c0Frame     %d  ", sceneFrames);
    ZK_DebugText(2, 33, "%c6Seconds   %f1  ", sceneFrames / double(zk_destFPS ? zk_destFPS : 40));
    ZK_DebugText(2, 35, "%c5Stylus    %03d,%03d held %d  ", Stylus.x, Stylus.y, Stylus.heldFrames);
    ZK_DebugText(2, 37, "%c2Frame ms  %d  ", zk_FPSms);
    // Printing spaces erases: a marker under the stylus, the rest blank.
    char row[41];
    std::memset(row, ' ', 40);
    row[40] = 0;
    row[std::clamp(Stylus.x / 6, 0, 39)] = '^';
    ZK_DebugText(0, 45, "%c6%s", row);
    ZK_DebugText(2, 46, "%c8the marker follows the stylus  ");
}

void debugEnd() {
    ZK_BgDelete(kBgDebug);
    zk_debug_bg = -1;  // no overlay: the frame rate is no longer printed
}

// ================================================================ 3: sprites
enum {
    kClockOneWay = 10,
    kClockPingPong,
    kClockLoops,
    kFishMirror = 14,
    kFishAlpha = 18,
    kSpin = 22,
    kZoom,
    kSpinZoom,
    kWipe = 26,
    kSwimmer
};

void spritesSetup() {
    // Animation: frames 0..7 at 8 a second, one way, back and forth, and
    // three passes (tap it to start again).
    for (int k = 0; k < 3; ++k) sprite(kClockOneWay + k, imgClock, 24, 24, 40 + 80 * k, 46);
    ZK_StartSpriteAnimEx(kClockOneWay, 0, 7, 8, 0, 0);
    ZK_StartSpriteAnimEx(kClockPingPong, 0, 7, 8, 1, 0);
    ZK_StartSpriteAnimEx(kClockLoops, 0, 7, 8, 0, 3);
    caption(10, 40, 62, "one way", kWhite);
    caption(11, 120, 62, "ping-pong", kWhite);
    caption(12, 200, 62, "3 loops (tap)", kWhite);

    // Mirroring: none, left to right, top to bottom, both.
    for (int k = 0; k < 4; ++k) {
        Sprite* s = sprite(kFishMirror + k, imgFish, 32, 20, 36 + 56 * k, 94);
        s->flipX = uint8_t(k & 1);
        s->flipY = uint8_t(k >> 1);
    }
    line(13, 4, 108, "mirrored: none, x, y, both", kWhite, 0, 2);

    // Blending over stripes: alpha 32, 22, 12 and 6.
    for (int x = 8; x < 232; x += 16) panel(x, 130, x + 7, 158, 0xFFFF, 0xFFFF);
    static const int16_t alphas[4] = {32, 22, 12, 6};
    for (int k = 0; k < 4; ++k) sprite(kFishAlpha + k, imgFish, 32, 20, 36 + 56 * k, 144)->alpha = alphas[k];
    line(14, 4, 162, "blended: alpha 32, 22, 12, 6", kWhite, 0, 2);

    // Rotate and zoom: turning, pulsing, and both at once half blended.
    sprite(kSpin, imgStar, 32, 32, 50, 200);
    sprite(kZoom, imgStar, 32, 32, 120, 200);
    sprite(kSpinZoom, imgFish, 32, 20, 190, 200)->alpha = 20;
    caption(15, 50, 226, "rotated", kWhite);
    caption(16, 120, 226, "zoomed", kWhite);
    caption(17, 190, 226, "both, blended", kWhite);

    // Clipping: a star wiped by its own clip rectangle, and a fish swimming
    // through clip window 3.
    sprite(kWipe, imgStar, 32, 32, 50, 262);
    ZK_SetWindowLimits(3, 110, 246, 200, 278);
    frameBox(109, 245, 201, 279, kYellow);
    sprite(kSwimmer, imgFish, 32, 20, 100, 262)->window = 3;
    caption(18, 50, 284, "own clip rectangle", kWhite);
    caption(19, 155, 284, "clip window 3", kWhite);
}

void spritesStep() {
    if (tapped(kClockLoops)) ZK_StartSpriteAnimEx(kClockLoops, 0, 7, 8, 0, 3);
    zk_sprites[kSpin]->angle = (sceneFrames * 3) & 511;
    zk_sprites[kZoom]->zoom = 1024 + sinOf(sceneFrames * 4) * 2;  // 512 .. 1536
    zk_sprites[kSpinZoom]->angle = (-sceneFrames * 2) & 511;
    zk_sprites[kSpinZoom]->zoom = 1280 + sinOf(sceneFrames * 3);
    const int w = pingPong(sceneFrames / 2, 31);
    ZK_SetSpriteLimits(kWipe, 0, 0, w, 31);
    zk_sprites[kSwimmer]->x = int16_t(90 + pingPong(sceneFrames, 130));
    zk_sprites[kSwimmer]->flipX = uint8_t((sceneFrames / 130) & 1);
}

// ================================================================ 4: the stylus
int taps = 0;

void stylusSetup() {
    taps = 0;
    tour_doubletaps = 0;
    sprite(TOUR_SPR_DONUT, imgDonut, 40, 40, 50, 90);
    sprite(TOUR_SPR_SNAP, imgStar, 32, 32, 120, 150);
    sprite(TOUR_SPR_FISH, imgFish, 32, 20, 190, 90);
    line(13, 4, 192, "Drag the three. Tap twice quickly to double tap.", kGrey, 0, 2);
    panel(6, 206, 233, 290);
}

void stylusStep() {
    // At most one sprite is dragged at a time: the first call that grabs wins.
    ZK_MoveSpriteEx(TOUR_SPR_DONUT, 0, 1);  // pixel test: the hole does not grab
    ZK_MoveSpriteEx(TOUR_SPR_SNAP, 1, 0);   // snap: the centre jumps to the stylus
    ZK_MoveSpriteEx(TOUR_SPR_FISH, 0, 0);   // plain: the sprite keeps its offset
    if (Stylus.pressed) ++taps;
    if (Stylus.doubleTap) ++tour_doubletaps;
    const Sprite* d = zk_sprites[TOUR_SPR_DONUT];
    const Sprite* n = zk_sprites[TOUR_SPR_SNAP];
    const Sprite* f = zk_sprites[TOUR_SPR_FISH];
    caption(10, d->x, d->y + 22, "grab the ring", kPink);
    caption(11, n->x, n->y + 18, "snaps to the stylus", kYellow);
    caption(12, f->x, f->y + 12, "keeps its offset", kOrange);

    char text[96];
    std::snprintf(text, sizeof text, "Taps %d    double taps %d", taps, tour_doubletaps);
    line(20, 12, 212, text, kWhite, 2);
    std::snprintf(text, sizeof text, "Held for %d frames, up for %d", Stylus.heldFrames, Stylus.upFrames);
    line(21, 12, 228, text, kCyan, 2);
    std::snprintf(text, sizeof text, "Stylus %d, %d  moved %d, %d", Stylus.x, Stylus.y, Stylus.dx, Stylus.dy);
    line(22, 12, 244, text, kGreen, 2);
    if (ZK_MovedSprite.active)
        std::snprintf(text, sizeof text, "Dragging sprite %d, idle %d", ZK_MovedSprite.sprite,
                      ZK_MovedSprite.idleFrames);
    else
        std::snprintf(text, sizeof text, "Nothing dragged");
    line(23, 12, 260, text, kYellow, 2);
    line(24, 12, 276, Stylus.held ? "held" : "up", Stylus.held ? kOrange : kGrey, 2);
}

// ================================================================ 5: layers
// A tile map scrolling in window 1, an animated GIF with its buttons, a
// 16-bit layer to paint on, and a vector layer drawn by the hook.
constexpr int kTile = 16, kTileCount = 7, kMapColumns = 32, kMapRows = 12;
constexpr int kTilesTop = 48;  // the tile map's window: rows 48 .. 111, below the call names
uint8_t tileSet[kTileCount * (kTile * kTile + 1)];
uint32_t tileMap[kMapColumns * kMapRows];
uint16_t tilePalettes[4][256];
bool tilesReady = false;

enum { kSky, kCloud, kBrick, kArrow, kSlope, kGround, kFlower };

// A tile-map entry: tile number, palette 0..3 and the two mirror bits. Bit 12
// marks the cell used, so that tile 0 can be drawn.
constexpr uint32_t cell(int tile, int palette = 0, bool mirrorX = false, bool mirrorY = false) {
    return 0x1000u | uint32_t(tile) | (uint32_t(mirrorX) << 25) | (uint32_t(mirrorY) << 26) | (uint32_t(palette) << 27);
}

// The tile set is cut from a sprite picture of 7 tiles side by side; the
// other three palettes are recolourings of its own.
void buildTiles() {
    SpriteImage* sheet = ZK_GifToSprite(tour_tiles, tour_tiles_size);
    if (!sheet || sheet->depth != 1 || sheet->width < kTile * kTileCount || sheet->height < kTile) return;
    const auto* px = static_cast<const uint8_t*>(sheet->pixels);
    for (int n = 0; n < kTileCount; ++n) {
        uint8_t* t = tileSet + n * (kTile * kTile + 1);
        t[0] = 1;  // solid unless a transparent pixel turns up
        for (int y = 0; y < kTile; ++y)
            for (int x = 0; x < kTile; ++x) {
                const uint8_t v = px[y * sheet->width + n * kTile + x];
                t[1 + y * kTile + x] = v;
                if (v == 0) t[0] = 0;
            }
    }
    for (int i = 0; i < 256; ++i) {
        const uint16_t c = sheet->palette[i];
        const int r = c >> 11, g = (c >> 5) & 63, b = c & 31;
        const int lum = (r * 2 + g + b * 2) / 3;  // 0..62
        tilePalettes[0][i] = c;
        tilePalettes[1][i] = uint16_t((b << 11) | (g << 5) | r);                         // red and blue swapped
        tilePalettes[2][i] = uint16_t(((r / 2) << 11) | ((g / 2) << 5) | (b / 2 + 12));  // night
        tilePalettes[3][i] =
            uint16_t(((lum / 2 < 31 ? lum / 2 + 1 : 31) << 11) | ((lum * 3 / 4) << 5) | (lum / 5));  // sepia
    }
    for (int c = 0; c < kMapColumns; ++c) {
        auto at = [&](int r) -> uint32_t& { return tileMap[r * kMapColumns + c]; };
        at(0) = c % 7 == 2 ? cell(kCloud) : cell(kSky);
        at(1) = c % 9 == 5 ? cell(kCloud) : cell(kSky);
        at(2) = cell(kArrow, (c / 4) % 4, (c / 2) % 2 == 1);  // arrows both ways in four palettes
        at(3) = cell(kSky);
        at(4) = at(5) = cell(kBrick, (c / 8) % 4);
        at(6) = c % 4 == 1 ? cell(kSlope, 0, true, true) : c % 4 == 2 ? cell(kSlope, 0, false, true) : cell(kSky);
        at(7) = c % 5 == 3 ? cell(kCloud) : cell(kSky);
        const int h = c % 8;
        at(8) = h == 2 ? cell(kSlope, 0, true) : h == 3 ? cell(kSlope) : cell(kSky);
        at(9) = h == 1             ? cell(kSlope, 0, true)
                : h == 2 || h == 3 ? cell(kGround)
                : h == 4           ? cell(kSlope)
                : h == 6           ? cell(kFlower)
                                   : cell(kSky);
        at(10) = cell(kGround);
        at(11) = cell(kGround, (c / 8) % 4);
    }
    tilesReady = true;
}

bool gifWanted = false;   // play the animated GIF (again when it ends)
bool gifPlaying = false;  // inside ZK_BgLoadGif: the hook runs the frame logic
int brush = 0;            // paint colour index

void layersFrame();

void layersSetup() {
    // The tile map in window 1.
    if (tilesReady) {
        const BgInfo info{1, 1, kMapColumns * kTile, kMapRows * kTile, kTile, kTile};
        ZK_BgLoadEx(TOUR_BG_TILES, &info, tileSet, tileMap, tilePalettes[0]);
        for (int k = 1; k < 4; ++k) zk_bg[TOUR_BG_TILES].tilePalettes[k] = tilePalettes[k];
        ZK_SetWindowLimits(1, 0, kTilesTop, 239, 111);
        zk_bg[TOUR_BG_TILES].window = 1;
        ZK_BgScrollXY(TOUR_BG_TILES, 0, kTilesTop);
    }
    // The painting layer: a 16-bit picture.
    ZK_BgLoadGif16bit(TOUR_BG_PAINT, tour_canvas, tour_canvas_size);
    ZK_BgScrollXY(TOUR_BG_PAINT, TOUR_PAINT_X, TOUR_PAINT_Y);
    line(10, TOUR_PAINT_X, 220, "16-bit layer: paint", kWhite, 0);

    // The animated GIF plays from the step; its buttons sit below it.
    panel(6, 116, 121, 183);
    sprite(TOUR_SPR_PLAY, imgButtons, 24, 24, 20, 200)->frame = 1;
    sprite(TOUR_SPR_STOP, imgButtons, 24, 24, 48, 200)->frame = 2;
    gifWanted = true;
    brush = 0;

    // The vector layer: its shapes are made again every frame, clipped by
    // window 4.
    ZK_SetWindowLimits(4, 8, 232, 231, 290);
    frameBox(7, 231, 232, 291);
    ZK_LoadVectoBg(kBgShapes);
    zk_bg[kBgShapes].window = 4;
    layersFrame();
}

void status(const char* what) {
    char text[64];
    std::snprintf(text, sizeof text, "GIF %s, frame %d", what, ZK_GifInfo.frameCount);
    label(11, 64, 190, 121, 206, text, kWhite, 0);
}

void paintAt(int x, int y, uint16_t colour) {
    const BgLayer& canvas = zk_bg[TOUR_BG_PAINT];
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            const int d2 = dx * dx + dy * dy, px = x + dx, py = y + dy;
            if (d2 > 10 || px < 0 || py < 0 || px >= canvas.width || py >= canvas.height) continue;
            ZK_BgSetPixelAlpha(TOUR_BG_PAINT, int16_t(px), int16_t(py), colour, 12 - d2);  // a soft brush
        }
}

// One frame of the layers scene: everything but the GIF, which plays itself.
void layersFrame() {
    static const uint16_t colours[6] = {0xF800, 0xFC00, 0xE7E0, 0x07E0, 0x04FF, 0x801F};
    const int t = sceneFrames;

    // The loader puts the GIF's layer at (0, 0) each time it starts.
    ZK_BgScrollXY(TOUR_BG_GIF, 8, 118);
    // The tile map scrolls back and forth under its window.
    ZK_BgScrollXY(TOUR_BG_TILES, -pingPong(t, kMapColumns * kTile - 240),
                  kTilesTop - pingPong(t / 2, kMapRows * kTile - (112 - kTilesTop)));

    // Painting: the stroke from the last position to this one.
    const BgLayer& canvas = zk_bg[TOUR_BG_PAINT];
    const int x = Stylus.x - TOUR_PAINT_X, y = Stylus.y - TOUR_PAINT_Y;
    if (Stylus.held && canvas.used && x >= 0 && y >= 0 && x < canvas.width && y < canvas.height) {
        if (Stylus.pressed) brush = (brush + 1) % 6;
        const int steps = 1 + (Stylus.dx < 0 ? -Stylus.dx : Stylus.dx) + (Stylus.dy < 0 ? -Stylus.dy : Stylus.dy);
        for (int s = 0; s < steps; s += 2)
            paintAt(x - Stylus.dx * (steps - 1 - s) / steps, y - Stylus.dy * (steps - 1 - s) / steps, colours[brush]);
    }

    // The vector shapes: spokes turning round a hub, a bar running off the
    // window's edge, and outlined boxes.
    ZK_LoadVectoBg(kBgShapes);
    for (int k = 0; k < 12; ++k) {
        const int a = t * 2 + k * 512 / 12;
        ZK_VectoBgAddLine(kBgShapes, 48, 261, 48 + cosOf(a) * 26 / 256, 261 - sinOf(a) * 26 / 256, colours[k % 6], 0);
    }
    const int bx = 90 + pingPong(t * 2, 170);
    ZK_VectoBgAddRectangle(kBgShapes, bx, 244, bx + 40, 262, kWhite, 0x3A7F, 1);
    ZK_VectoBgAddRectangle(kBgShapes, 100, 268, 100 + pingPong(t, 120), 284, kYellow, 0, 0);
    ZK_VectoBgAddLine(kBgShapes, 8, 290, 231, 232, kGrey, 0);

    // The GIF's buttons.
    if (tapped(TOUR_SPR_PLAY)) {
        if (!gifWanted)
            gifWanted = true;  // stopped: play from the start
        else
            ZK_GifInfo.state = ZK_GifInfo.state == 2 ? 1 : 2;  // pause or go on
    }
    if (tapped(TOUR_SPR_STOP) && gifWanted) {
        gifWanted = false;
        ZK_GifInfo.state = 0;  // the loader returns at its next wait
    }
    const bool paused = gifWanted && ZK_GifInfo.state == 2;
    zk_sprites[TOUR_SPR_PLAY]->frame = int16_t(gifWanted && !paused ? 1 : 0);
    status(!gifWanted ? "stopped" : paused ? "paused" : "playing");
    if (gifPlaying && (wantNext || wantQuit)) ZK_GifInfo.state = 0;
}

void layersStep() {
    if (!gifWanted) return layersFrame();
    // ZK_BgLoadGif plays an animated GIF by running the frame loop between
    // its frames; the frame logic then runs in the hook (Tour_DrawVectors),
    // which the panels layer calls first in every frame, before the other
    // layers of the scene are drawn. The loader returns at the end
    // of the picture (the next step plays it again) or when the hook sets
    // ZK_GifInfo.state to 0.
    ZK_GifInfo.firstFrame = 0;
    ZK_GifInfo.lastFrame = 1 << 20;
    gifPlaying = true;
    ZK_BgLoadGif(TOUR_BG_GIF, tour_waves, tour_waves_size);
    gifPlaying = false;
    afterFrame();  // the loader's last frame has not been looked at yet
    if (!wantNext && !wantQuit) layersFrame();
}

void layersEnd() {
    gifWanted = false;
    ZK_GifInfo.lastFrame = 0;
    ZK_BgDelete(kBgShapes);
}

// ================================================================ 6: fades
// The fade pass runs after the things of its priority and those behind: at
// priority 200 it darkens the backdrop and the fish (priority 300) while the
// stars (priority 10), the labels (layer 1) and the buttons (0) stay bright.
enum { kFadeFish = 10, kFadeStar = 20 };

void fadesSetup() {
    for (int k = 0; k < 5; ++k) sprite(kFadeFish + k, imgFish, 32, 20, 30 + 45 * k, 100 + 30 * k)->priority = 300;
    for (int k = 0; k < 3; ++k) sprite(kFadeStar + k, imgStar, 32, 32, 50 + 70 * k, 262)->priority = 10;
    panel(12, 86, 227, 234, 0x7DFF, kWhite);
    label(10, 10, 36, 230, 86,
          "zk_fade.priority is 200: the fish and the backdrop behind it fade, the stars "
          "(priority 10) and this text stay bright.",
          kWhite, 1, 3);
}

void fadesStep() {
    for (int k = 0; k < 5; ++k) {
        Sprite* s = zk_sprites[kFadeFish + k];
        s->x = int16_t(20 + pingPong(sceneFrames + 37 * k, 200));
        s->flipX = uint8_t(((sceneFrames + 37 * k) / 200) & 1);
    }
    for (int k = 0; k < 3; ++k) zk_sprites[kFadeStar + k]->angle = (sceneFrames * (k + 1)) & 511;
    zk_fade.priority = 200;
    zk_fade.colour = 0x0004;
    zk_fade.level = uint8_t(2 + pingPong(sceneFrames / 2, 30));
    char text[32];
    std::snprintf(text, sizeof text, "fade level %d", zk_fade.level);
    line(11, 0, 284, text, kYellow, 2, 2);
}

void fadesEnd() {
    zk_fade.priority = 0;
    zk_fade.colour = 0;
    zk_fade.level = 32;
}

// ================================================================ the tour
// A scene: its title, the engine calls and records it shows (printed small
// under the title, so the screen says what to look up in ZKlib.h), and its
// steps.
struct Scene {
    const char* title;
    const char* calls;
    void (*setup)();
    void (*step)();
    void (*end)();
};

void nothing() {}

const Scene kScenes[TOUR_SCENES + 1] = {
    {"", "", nothing, nothing, nothing},
    {"Text", "ZK_LoadTextBg  ZK_Text  zk_textinfo.align  ZK_TextSlot[][].alpha  ZK_SetWindowLimits  zk_bg[].window",
     textSetup, textStep, nothing},
    {"Debug overlay", "ZK_InitDebug  ZK_DebugText  ZK_BgDelete  zk_debug_bg", debugSetup, debugStep, debugEnd},
    {"Sprites",
     "ZK_CreateSprite  ZK_StartSpriteAnimEx  ZK_SetSpriteLimits  ZK_SetWindowLimits  "
     "sprite .flipX .flipY .alpha .angle .zoom .window",
     spritesSetup, spritesStep, nothing},
    {"Stylus",
     "ZK_MoveSpriteEx  ZK_SpriteTouched  ZK_MovedSprite  Stylus .pressed .held .doubleTap .heldFrames .upFrames .dx .dy",
     stylusSetup, stylusStep, nothing},
    {"Layers",
     "ZK_BgLoadEx  ZK_BgScrollXY  ZK_BgLoadGif16bit  ZK_BgSetPixelAlpha  ZK_BgLoadGif  ZK_GifInfo  "
     "ZK_LoadVectoBg  ZK_VectoBgAddLine  ZK_VectoBgAddRectangle  zk_DoVect",
     layersSetup, layersStep, layersEnd},
    {"Fades", "zk_fade .priority .colour .level  sprite .priority  ZK_FadeOut  ZK_FadeIn", fadesSetup, fadesStep,
     fadesEnd},
};

void beginScene(int n) {
    tour_scene = n;
    sceneFrames = 0;
    wantNext = false;
    ZK_LoadTextBg(kBgLabels);   // empties the labels of the last scene
    ZK_LoadVectoBg(kBgPanels);  // and its panels
    zk_bg[kBgPanels].priority = 1000;
    line(0, 0, 3, kScenes[n].title, kWhite, 4, 2);
    zk_textinfo.lineGap = 1;  // font 0's lines would touch
    label(2, 4, 19, 235, 47, kScenes[n].calls, kCallNames, 0, 2);  // up to four lines
    zk_textinfo.lineGap = 0;
    char text[16];
    std::snprintf(text, sizeof text, "%d / %d", n, int(TOUR_SCENES));
    line(1, 6, 306, text, kGrey, 1);
    kScenes[n].setup();
}

void endScene(int n) {
    kScenes[n].end();
    for (int s = 0; s < 1024; ++s)
        if (zk_sprites[s]) zk_sprites[s]->visible = 0;
    static const uint8_t sceneLayers[] = {kBgTicker, TOUR_BG_PAINT, TOUR_BG_GIF, TOUR_BG_TILES};
    for (uint8_t layer : sceneLayers) ZK_BgDelete(layer);
}

// ---------------------------------------------------------------- the vector hook
struct Clip {
    int left, top, right, bottom;
};

// Fills the rectangle l..r x t..b (inclusive), cut to the clip rectangle; an
// empty one draws nothing.
void fillRect(const Clip& c, int64_t l, int64_t t, int64_t r, int64_t b, uint16_t colour) {
    l = std::max<int64_t>(l, c.left);
    r = std::min<int64_t>(r, c.right);
    t = std::max<int64_t>(t, c.top);
    b = std::min<int64_t>(b, c.bottom);
    for (int64_t y = t; y <= b; ++y)
        for (int64_t x = l; x <= r; ++x) zk_buffer[y * ZK_WIDTH + x] = colour;
}

// A line cut to the clip rectangle first (so far-off end points cost
// nothing), then stepped pixel by pixel.
void drawLine(const Clip& c, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint16_t colour) {
    double t0 = 0, t1 = 1;
    const double dx = double(x2 - x1), dy = double(y2 - y1);
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {double(x1 - c.left), double(c.right - x1), double(y1 - c.top), double(c.bottom - y1)};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0 ? r > t1 : r < t0) return;
        if (p[i] < 0)
            t0 = r > t0 ? r : t0;
        else
            t1 = r < t1 ? r : t1;
    }
    auto clampTo = [](double v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : int(v + 0.5); };
    int ax = clampTo(double(x1) + t0 * dx, c.left, c.right), ay = clampTo(double(y1) + t0 * dy, c.top, c.bottom);
    const int bx = clampTo(double(x1) + t1 * dx, c.left, c.right), by = clampTo(double(y1) + t1 * dy, c.top, c.bottom);
    const int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
    const int ex = ax < bx ? bx - ax : ax - bx, ey = ay < by ? ay - by : by - ay;
    int err = ex + ey;
    for (;;) {
        zk_buffer[ay * ZK_WIDTH + ax] = colour;
        if (ax == bx && ay == by) break;
        const int e2 = 2 * err;
        if (e2 >= ey) {
            err += ey;
            ax += sx;
        }
        if (e2 <= ex) {
            err += ex;
            ay += sy;
        }
    }
}

}  // namespace

void Tour_DrawVectors(uint8_t layer) {
    if (layer > 15) return;
    const BgLayer& bg = zk_bg[layer];
    if (layer == kBgPanels && gifPlaying) {
        // Inside the GIF loader's frame loop: this frame's logic, before the
        // scene's own layers are drawn.
        afterFrame();
        layersFrame();
    }
    if (bg.kind != 255) return;
    const ClipWindow& w = zk_window[zk_curwindow & 15];
    const Clip c{w.left > 0 ? w.left : 0, w.top > 0 ? w.top : 0, w.right < ZK_WIDTH - 1 ? w.right : ZK_WIDTH - 1,
                 w.bottom < ZK_HEIGHT - 1 ? w.bottom : ZK_HEIGHT - 1};
    if (c.left > c.right || c.top > c.bottom) return;
    // Shapes stand relative to the layer's position.
    for (const VectorShape* s = bg.shapes; s; s = s->next) {
        const int64_t x1 = int64_t(s->x1) + bg.x, y1 = int64_t(s->y1) + bg.y;
        const int64_t x2 = int64_t(s->x2) + bg.x, y2 = int64_t(s->y2) + bg.y;
        if (s->kind == 0) {
            drawLine(c, x1, y1, x2, y2, s->colour);
        } else if (s->kind == 1) {
            const int64_t l = x1 < x2 ? x1 : x2, r = x1 < x2 ? x2 : x1;
            const int64_t t = y1 < y2 ? y1 : y2, b = y1 < y2 ? y2 : y1;
            if (s->mode == 1) fillRect(c, l + 1, t + 1, r - 1, b - 1, s->colour2);
            fillRect(c, l, t, r, t, s->colour);
            fillRect(c, l, b, r, b, s->colour);
            fillRect(c, l, t, l, b, s->colour);
            fillRect(c, r, t, r, b, s->colour);
        }
    }
}

const char* Tour_CallNames(int scene) { return kScenes[scene >= 1 && scene <= TOUR_SCENES ? scene : 0].calls; }

int Tour_Main() {
    ZK_Init();
    tour_scene = 0;
    tour_seen = 0;
    wantQuit = false;

    imgNext = ZK_GifToSprite(tour_next, tour_next_size);
    imgClock = ZK_GifToSprite(tour_clock, tour_clock_size);
    imgFish = ZK_GifToSprite(tour_fish, tour_fish_size);
    imgStar = ZK_GifToSprite(tour_star, tour_star_size);
    imgDonut = ZK_GifToSprite(tour_donut, tour_donut_size);
    imgButtons = ZK_GifToSprite(tour_buttons, tour_buttons_size);
    if (!imgNext || !imgClock || !imgFish || !imgStar || !imgDonut || !imgButtons) return 1;
    buildTiles();
    ZK_BgLoadGif(kBgBackdrop, tour_backdrop, tour_backdrop_size);
    zk_bg[kBgBackdrop].priority = 1023;
    ZK_CreateSprite(TOUR_SPR_QUIT, &zk_quit, 16, 16, 232, 8);
    ZK_CreateSprite(TOUR_SPR_NEXT, imgNext, 44, 20, TOUR_NEXT_X, TOUR_NEXT_Y);

    zk_fade.level = 0;  // the first scene fades in from black
    for (int n = 1;; n = n % TOUR_SCENES + 1) {
        beginScene(n);
        ZK_FadeIn(4);
        while (!wantNext && !wantQuit) {
            kScenes[n].step();
            ZK_Refresh();
            afterFrame();
        }
        if (wantQuit) break;
        zk_fade.priority = 0;  // whole-screen fades between scenes
        zk_fade.colour = 0;
        ZK_FadeOut(4);
        endScene(n);
    }
    endScene(tour_scene);
    for (int w = 1; w <= 4; ++w) ZK_SetWindowLimits(w, 0, 0, 0, 0);
    return 0;
}
