// ZKlib: a compact 2D software-rendered engine for a 240 x 320 portrait
// screen with a stylus.
//
// The engine is procedural: its central records are globals that a game reads
// and writes directly (zk_sprites entries, zk_bg, Stylus, zk_fade), sprites
// and layers are addressed by number, and no operation reports an error or
// checks its arguments unless its comment says so. The one check they all
// make: an operation given a window or layer number outside 0..15, or a
// sprite number outside 0..4095 or of a slot never created, does nothing
// (and returns 0 where it returns a value), so it never writes another
// record.
//
// Units: 1024 = natural zoom; 512 angle units to a turn (0 right, 128 up);
// opacity 0..32 (32 opaque); priorities 0..1023, 1023 drawn first.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- screen
constexpr int ZK_WIDTH = 240;
constexpr int ZK_HEIGHT = 320;

// The back buffer: RGB565, row-major, 240 pixels per row.
extern uint16_t zk_buffer[ZK_WIDTH * ZK_HEIGHT];
// The transparent key of 16-bit pictures (magenta).
extern uint16_t zk_transpcolor;

// ---------------------------------------------------------------- shell and frame loop
extern char* ZK_Path;  // program directory, with its trailing separator
extern int16_t stylusx;
extern int16_t stylusy;
extern uint8_t stylusheld;

extern uint32_t zk_destFPS;
extern int32_t zk_FPSms;
extern int32_t zk_FPS;
extern uint8_t zk_showfps;
extern uint32_t zk_fpscnt[64];
extern uint8_t zk_nfps;

// One frame: composes the picture, pumps the window's messages while it waits
// for the end of the frame's slot (the picture is shown during the wait),
// and samples the stylus into Stylus.
//
// When the window is closed from outside (its close button, SIGINT or
// SIGTERM, the window destroyed by the desktop, the display connection
// lost), the program ends inside ZK_Refresh with exit code 0: zk_clean's
// releases run (images, sprites, layers, fonts, the screen given back, the
// window closed), then functions registered with atexit and the destructors
// of static objects. Code after the game's frame loop does not run, so a
// game that must save something registers an atexit function for it.
void ZK_Refresh();
void ZK_SetFrameRate(uint32_t rate);
void zk_clean();
void zk_getcurrentpath();

// The desktop window's icon: width x height RGB565 pixels, row-major, with
// zk_transpcolor as the transparent key, 1 to 256 pixels a side (others are
// ignored). The pixels are copied. Call it any time, also before ZK_Init.
void ZK_SetWindowIcon(const uint16_t* pixels, int width, int height);

// ---------------------------------------------------------------- composition
struct ClipWindow {
    int16_t left;
    int16_t top;
    int16_t right;
    int16_t bottom;
};

struct CopyLimits {
    int16_t firstColumn;
    int16_t firstRow;
    int16_t endColumn;
    int16_t endRow;
    int32_t rotCos;
    int32_t rotSin;
    int32_t rotU;
    int32_t rotV;
    int16_t boxLeft;
    int16_t boxTop;
    int32_t rotCosInv;
    int32_t rotSinInv;
};

struct Fade {
    uint8_t level;
    uint16_t colour;
    uint16_t priority;
    int16_t left;
    int16_t top;
    int16_t right;
    int16_t bottom;
};

extern ClipWindow zk_window[16];
extern CopyLimits zk_limits;
extern Fade zk_fade;
extern uint8_t zk_curwindow;
extern int16_t zk_cursprite;
extern uint16_t zk_bgcolor;
extern int16_t prio_nsprite[1024];
extern int16_t prio_nextsprite[4096];
extern int8_t prio_nbg[1024];
extern int8_t prio_nextbg[16];
extern int32_t zk_minsprite;
extern int32_t zk_maxsprite;

void ZK_Init();
void zk_whenrefresh();
void ZK_SetWindowLimits(int n, int left, int top, int right, int bottom);
void ZK_SetFadeLimits(int left, int top, int right, int bottom);
void zk_dotransp();
void ZK_FadeOut(int step);
void ZK_FadeIn(int step);

// ---------------------------------------------------------------- images
struct SpriteImage {
    void* pixels;            // depth 1: bytes; depth 2: RGB565
    uint16_t* lineOffsets;   // per line: offset of its first run byte; null when opaque
    uint8_t* runs;           // run list; null when opaque
    uint16_t* palette;       // 256 RGB565 entries (depth 1 only)
    int32_t depth;           // 1 = 8-bit palettised, 2 = RGB565
    int32_t opaque;          // 1 = no transparent pixel
    int32_t width;
    int32_t height;          // all frames stacked
};

struct GifInfo {
    int32_t firstFrame;
    int32_t lastFrame;
    int32_t frameCount;
    float speed;
    uint8_t state;  // 1 playing, 2 paused, 0 stop
};

extern SpriteImage* zk_sprite_alloc[1024];
extern uint16_t zk_nsprite_alloc;
extern uint16_t zk_gif_pal[256];
extern uint8_t GifBits;
extern uint8_t LineBuf[2048];
extern GifInfo ZK_GifInfo;
extern SpriteImage zk_quit;  // the built-in quit button, 16 x 16, four frames

// GIF loaders. The sized forms never read past size bytes; the one-argument
// forms trust their data to be a complete, valid GIF. Frames are clipped to
// the logical screen, and pixels that no frame covers hold 0.
// A load succeeds when its decode reaches the GIF's terminator, or when code
// run by the frame loop during an animation wait stops the playback
// (ZK_GifInfo.state = 0): the picture then holds the frames decoded so far.
// It fails on data that is not a GIF or is cut short, a giflib error, a
// logical screen of 0 or more than 4M pixels, more than 1024 images, or no
// memory; and a failed load keeps nothing.
// - ZK_GifToSprite returns the new image, registered, or null when the load
//   failed, when the registry is full, or when an image with transparency
//   would need a run longer than 255 pixels or a run list of 65,536 bytes or
//   more; nothing is then registered.
// - ZK_BgLoadGif makes the layer an 8-bit bitmap holding the GIF's own
//   indices and palette; ZK_BgLoadGif16bit makes it a 16-bit bitmap (at most
//   2048 pixels wide) converted through zk_gif_pal. Both set plain from the
//   palette, and leave the layer free when the load failed.
// - Code run during a wait may delete or reload the layer being loaded: the
//   decode then ends without writing to it again, and the layer stays as that
//   code left it. A load started there leaves ZK_GifInfo, GifBits and
//   zk_gif_pal as the waiting load had them.
SpriteImage* ZK_GifToSprite(const uint8_t* gif);
SpriteImage* ZK_GifToSprite(const uint8_t* gif, size_t size);
void ZK_BgLoadGif(uint8_t layer, const uint8_t* gif);
void ZK_BgLoadGif(uint8_t layer, const uint8_t* gif, size_t size);
void ZK_BgLoadGif16bit(uint8_t layer, const uint8_t* gif);
void ZK_BgLoadGif16bit(uint8_t layer, const uint8_t* gif, size_t size);
void zk_cleanspritealloc();

// ---------------------------------------------------------------- sprites
struct Sprite {
    uint8_t visible;
    void* pixels;
    int16_t x;
    int16_t y;
    int16_t frameWidth;
    int16_t frameHeight;
    int16_t width;
    int16_t height;
    uint8_t depth;
    uint8_t opaque;
    uint16_t* palette;
    int16_t priority;
    int16_t frame;
    int16_t animStep;
    int16_t animLow;
    int16_t animHigh;
    int16_t animLoops;
    uint16_t animSpeed;
    uint8_t animActive;
    uint8_t animTicks;
    uint8_t animPingPong;
    int16_t alpha;
    uint8_t flipX;
    uint8_t flipY;
    int32_t zoom;
    int32_t angle;
    uint16_t* lineOffsets;
    uint8_t* runs;
    uint8_t window;
    uint8_t clipLeft;
    uint8_t clipTop;
    uint8_t clipRight;
    uint8_t clipBottom;
};

extern Sprite* zk_sprites[4096];

void ZK_InitSprites();
void ZK_CreateSprite(int32_t slot, SpriteImage* image, uint16_t width, uint16_t height, int16_t x, int16_t y);
void ZK_SetSpriteXY(uint16_t slot, int16_t x, int16_t y);
void ZK_SetSpriteLimits(uint16_t slot, int left, int top, int right, int bottom);
void ZK_ShowSprite(uint16_t slot);

void ZK_StartSpriteAnimEx(int16_t slot, uint16_t first, uint16_t last, uint16_t speed, uint8_t pingPong,
                          uint16_t loops);
void ZK_UpdateSpriteAnim(uint16_t slot);

// ---------------------------------------------------------------- blitters
void ZK_AdjustCopyLimits(int x, int y, int width, int height);
void ZK_Copy16bitFastCopy(const uint16_t* pixels, int width, int height, int x, int y, int alpha);
void ZK_Copy8bitFastCopy(const uint8_t* pixels, const uint16_t* palette, int width, int height, int x, int y,
                         int alpha);
void ZK_Copy8bitRLE(const uint8_t* pixels, const uint16_t* palette, const uint8_t* runs,
                    const uint16_t* lineOffsets, int width, int height, int x, int y, int alpha);
void ZK_Copy16bitRLE(const uint16_t* pixels, const uint8_t* runs, const uint16_t* lineOffsets, int width,
                     int height, int x, int y, int alpha);
void ZK_Copy16bitToScreen(const uint16_t* pixels, int width, int height, int x, int y, int alpha, int8_t flipX,
                          int8_t flipY);
void ZK_Copy8bitToScreen(const uint8_t* pixels, const uint16_t* palette, int width, int height, int x, int y,
                         int alpha, int8_t flipX, int8_t flipY);

void ZK_CopyLetter(const uint16_t* block, int unused, int width, int height, int x, int y, uint8_t alpha);
void ZK_CopyPlainLetter(const uint16_t* masks, uint16_t colour, int width, int height, int x, int y,
                        uint8_t alpha);

void ZK_RotoZoomLimits(int x, int y, int width, int height, int angle, int zoom);
typedef void (*ZK_RotBlitter)(const void* pixels, const uint16_t* palette, int width, int height, int x, int y,
                              int alpha, int angle, int zoom);
extern const ZK_RotBlitter ZK_CopyRot[8];
void ZK_8bitRot(const void*, const uint16_t*, int, int, int, int, int, int, int);
void ZK_8bitRotFull(const void*, const uint16_t*, int, int, int, int, int, int, int);
void ZK_8bitRotAlpha(const void*, const uint16_t*, int, int, int, int, int, int, int);
void ZK_8bitRotAlphaFull(const void*, const uint16_t*, int, int, int, int, int, int, int);
void ZK_16bitRot(const void*, const uint16_t*, int, int, int, int, int, int, int);
void ZK_16bitRotFull(const void*, const uint16_t*, int, int, int, int, int, int, int);
void ZK_16bitRotAlpha(const void*, const uint16_t*, int, int, int, int, int, int, int);
void ZK_16bitRotAlphaFull(const void*, const uint16_t*, int, int, int, int, int, int, int);

// ---------------------------------------------------------------- input
struct StylusState {
    uint8_t held;
    uint8_t released;
    uint8_t pressed;
    uint8_t doubleTap;
    int16_t x;
    int16_t y;
    int16_t heldFrames;
    int16_t upFrames;
    int16_t dx;
    int16_t dy;
};

struct MovedSprite {
    uint8_t active;
    uint16_t sprite;
    int16_t x;
    int16_t y;
    int16_t dx;
    int16_t dy;
    uint8_t idleFrames;
};

extern StylusState Stylus;
extern MovedSprite ZK_MovedSprite;

void ZK_InitStylus();
void ZK_UpdateInput();
uint8_t ZK_SpriteTouched(uint16_t slot);
uint16_t ZK_SpriteTouchedPix(uint16_t slot);
uint8_t ZK_MoveSpriteEx(uint16_t slot, uint8_t snap, uint8_t pixelTest);

// ---------------------------------------------------------------- angles
extern const int16_t ZK_SIN[512];
uint16_t ZK_AdjustAngle(uint16_t a, uint16_t step, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
int32_t ZK_GetAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// ---------------------------------------------------------------- background layers
struct VectorShape {
    uint8_t kind;  // 0 line, 1 rectangle
    VectorShape* next;
    uint16_t colour;
    uint8_t mode;
    uint16_t colour2;
    int32_t x1;
    int32_t y1;
    int32_t x2;
    int32_t y2;
};

struct BgLayer {
    uint8_t used;
    uint8_t kind;  // 0 caller bitmap, 1 tile map, 2 text, 3 engine bitmap, 255 vector
    uint8_t depth;
    void* pixels;
    uint32_t* map;
    uint16_t* palette;
    uint16_t* tilePalettes[16];
    int32_t width;
    int32_t height;
    int32_t mapColumns;
    int32_t mapRows;
    int32_t tileWidth;
    int32_t tileHeight;
    uint16_t priority;
    int32_t x;
    int32_t y;
    int16_t alpha;
    uint8_t plain;
    uint8_t window;
    VectorShape* shapes;
};

struct BgInfo {
    int32_t kind;
    int32_t depth;
    int32_t width;
    int32_t height;
    int32_t tileWidth;  // kind 0: the plain flag
    int32_t tileHeight;
};

extern BgLayer zk_bg[16];

void ZK_BgLoad8bitBitmap(uint8_t layer, int16_t width, int16_t height, uint8_t plain);
void ZK_BgLoadBitmap(uint8_t layer, int16_t width, int16_t height, uint8_t plain);
void ZK_BgLoadEx(uint8_t layer, const BgInfo* info, void* pixels, uint32_t* map, uint16_t* palette);
void ZK_BgDelete(uint8_t layer);
void ZK_ResetBg();
void ZK_BgScrollXY(uint8_t layer, int32_t x, int32_t y);
void ZK_BgCopyBitmap(uint8_t layer, const uint16_t* source);
void ZK_BgSetPixelAlpha(uint8_t layer, int16_t x, int16_t y, uint16_t colour, int32_t alpha);
void ZK_ShowBg(int8_t layer);
void ZK_ShowTileBg(int8_t layer);

void ZK_LoadVectoBg(uint8_t layer);
void ZK_VectoBgAddLine(uint8_t layer, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t colour,
                       uint8_t mode);
void ZK_VectoBgAddRectangle(uint8_t layer, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t colour,
                            uint16_t colour2, uint8_t mode);

// Defined by the application: called after each background layer is drawn.
void zk_DoVect(uint8_t layer);

// ---------------------------------------------------------------- text
struct TextFont {
    void* Font;             // built-in: packed bits; in zk_fonts: 16-bit masks or colour+mask planes
    int32_t* LetterStart;   // 256 entries
    uint8_t* LetterWidth;   // 256 entries, 0 = no glyph
    uint8_t height;
};

struct TextInfo {
    uint8_t lineGap;
    uint8_t letterSpacing;
    uint8_t align;  // 0 left, 1 right, 2 centre, 3 justify
    uint8_t alpha;
    uint8_t layer;
};

struct LetterPlace {
    uint8_t letter;
    int16_t x;
    int16_t y;
};

constexpr int ZK_MAXLETTERS = 2048;
struct LetterPositions {
    int32_t count;
    LetterPlace places[ZK_MAXLETTERS];
};

struct TextSlotRecord {
    int32_t count;
    uint8_t font;
    uint16_t colour;
    uint8_t alpha;
    uint16_t capacity;
    LetterPlace* letters;
};

extern TextFont zk_text0, zk_text1, zk_text2, zk_text3, zk_text4;
extern TextFont* const zk_deffonts[5];
extern const int32_t zk_deffontsize[5];
extern TextFont* zk_fonts[16];
extern TextInfo zk_textinfo;
extern LetterPositions ZK_LetterPos;
extern TextSlotRecord ZK_TextSlot[16][256];

int16_t ZK_Text(uint8_t slot, int16_t left, int16_t top, int16_t right, int16_t bottom, const char* text,
                uint16_t colour, uint8_t font, int32_t count);
void ZK_DoLetterPos(int16_t left, int16_t top, int16_t right, int16_t bottom, const char* text, uint8_t font,
                    int32_t count);
void ZK_DoAlign(uint16_t first, int16_t lineEnd, int16_t right, uint8_t justify);
void zk_textdecompress(int font);
void zk_cleanfonts();

void ZK_LoadTextBg(uint8_t layer);
void ZK_ShowTextBg(uint8_t layer);
void ZK_ResetTextBg(uint8_t layer);
void ZK_ClearText(uint8_t slot);

// ---------------------------------------------------------------- debug overlay
struct DebugFont {
    const uint32_t* Map;
    int32_t MapCount;
    const uint8_t* Tiles;
    int32_t TilesSize;
    const uint16_t* Pal;
    const BgInfo* Info;
};

extern const BgInfo zk_debug_Info;
extern const uint8_t zk_debug_Tiles[3219];
extern const uint32_t zk_debug_Map[288];
extern const uint16_t zk_debug_Pal[2];
extern const DebugFont zk_debug;
extern int8_t zk_debug_bg;
extern uint32_t* zk_debugtruemap;
extern uint32_t zk_debugmap[4096];
extern uint16_t debug_width;
extern uint16_t debug_height;
extern uint16_t zk_debug_colors[16];
extern uint8_t zk_debug_color;

void ZK_InitDebug(uint8_t layer);
void ZK_InitCustomDebug(uint8_t layer, const DebugFont* font);
void ZK_DebugText(uint16_t column, uint16_t row, const char* format, ...);

// ---------------------------------------------------------------- the application
// C++ allows one global main, and the process entry (in the platform layer)
// owns it: like SDL_main, this header renames the game's own `main()` so the
// entry can call WinMain, which calls the game.
int zk_main();
#ifndef ZK_NO_MAIN_RENAME
#define main zk_main
#endif
