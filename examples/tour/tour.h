// The engine tour: a program that walks through the engine's features one
// scene at a time: text, the debug overlay, sprites, the stylus, background
// layers and fades. Each scene is a short run of plain engine calls; the
// "next" button (bottom right) moves on, the quit button (top right) ends
// the program.
//
// The tour is a library so that the program and the tests run the same code:
// the program adds the SDL device and defines zk_DoVect to call
// Tour_DrawVectors.
#pragma once

#include <cstdint>

#include "ZKlib.h"

// The scenes, in the order the "next" button visits them (after the last one
// the tour starts again with the first).
enum TourScene : int {
    TOUR_TEXT = 1,
    TOUR_DEBUG = 2,
    TOUR_SPRITES = 3,
    TOUR_STYLUS = 4,
    TOUR_LAYERS = 5,
    TOUR_FADES = 6,
    TOUR_SCENES = 6,
};

extern int tour_scene;       // the scene on screen, 0 before the first
extern uint32_t tour_seen;   // bit n set once scene n has run a frame
extern int tour_doubletaps;  // double taps counted in the stylus scene

// Sprite numbers and screen places the tests tap.
constexpr int TOUR_SPR_QUIT = 1024;  // from the engine's zk_quit, centred at 232, 8
constexpr int TOUR_SPR_NEXT = 1025;  // centred at TOUR_NEXT_X, TOUR_NEXT_Y
constexpr int TOUR_NEXT_X = 212;
constexpr int TOUR_NEXT_Y = 306;

// Stylus scene: the three sprites that can be dragged.
constexpr int TOUR_SPR_DONUT = 40;  // grabbed only on its ring (pixel test), keeps its offset
constexpr int TOUR_SPR_SNAP = 41;   // a star that snaps its centre to the stylus
constexpr int TOUR_SPR_FISH = 42;   // a fish that keeps its offset to the stylus

// Layers scene: the picture layers and the playback buttons.
constexpr int TOUR_BG_PAINT = 8;   // 16-bit painting layer
constexpr int TOUR_BG_GIF = 9;     // animated GIF background
constexpr int TOUR_BG_TILES = 12;  // scrolling tile map
constexpr int TOUR_SPR_PLAY = 50;  // play / pause toggle
constexpr int TOUR_SPR_STOP = 51;
constexpr int TOUR_PAINT_X = 124;  // the painting layer's top-left corner on screen
constexpr int TOUR_PAINT_Y = 118;

// Runs the whole tour (after the shell has started); returns 0 when the quit
// button ends it.
int Tour_Main();

// The names of the engine calls and records scene n shows, which the scene
// prints in font 0 under its title (text slot 2 of the labels layer, 1).
const char* Tour_CallNames(int scene);

// The tour's vector hook: draws the lines and rectangles of vector layer
// `layer` into zk_buffer, clipped to the screen and to the layer's window.
// A shape's colour is RGB565; mode 0 draws a rectangle's outline and mode 1
// fills it with colour2 inside an outline of colour. While the animated GIF
// plays, it also runs the layers scene's frame logic (see tour.cpp).
void Tour_DrawVectors(uint8_t layer);
