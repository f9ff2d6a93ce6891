// Quib: the game on ZKlib. A cannon at the bottom swings its barrel; a tap
// fires a ball carrying the count 3; every ball it hits counts down, a ball
// at 0 shrinks away for a point, a ball at rest grows until it touches a wall
// or another ball, and a ball flying down across the line above the cannon
// ends the game.
//
// The game's state is plain globals so that the frame loop, the tests and
// the program all see the same records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ZKlib.h"

// One ball of the board. Positions are 24.8 fixed point, speeds 16.16.
struct Ball {
    int16_t x;        // centre, integer part of fx
    int16_t y;        // centre, integer part of fy
    int32_t fx;       // centre x times 256
    int32_t fy;       // centre y times 256
    int32_t speed;    // pixels per frame times 65536; 0 = at rest
    uint16_t radius;  // pixels
    uint16_t angle;   // rotation of the picture (not the direction of flight)
    int8_t count;     // -1 free, 0 shrinking away, 1..3 shown on the ball
};

constexpr int QUIB_MAXBALLS = 256;
// quib_nballs is 8 bits wide: at most this many balls are in use at once.
constexpr int QUIB_FULLTABLE = 255;

extern Ball quib_balls[QUIB_MAXBALLS];
extern uint8_t quib_nballs;  // records in use; the bound of every table scan
extern uint16_t score;

// The decoded pictures, kept for the whole run.
extern SpriteImage* main_spr;
extern SpriteImage* main_spr_medium;
extern SpriteImage* main_spr_small;
extern SpriteImage* main_spr_vsmall;
extern SpriteImage* numbers;
extern SpriteImage* score_spr;
extern SpriteImage* gameover_spr;
extern SpriteImage* canon_spr;

// Sprite numbers.
constexpr int QUIB_SPR_CANON = 3;
constexpr int QUIB_SPR_GAMEOVER = 8;
constexpr int QUIB_SPR_SCORE = 10;
constexpr int QUIB_SPR_DIGITS = 11;  // 11..20
constexpr int QUIB_SPR_BALLS = 128;  // ball k is sprite 128 + k
constexpr int QUIB_SPR_QUIT = 1024;
constexpr int QUIB_BG_LAYER = 10;

// Board limits: the score bar lies above the top wall, the cannon below the
// bottom line.
constexpr int QUIB_TOP = 20;
constexpr int QUIB_BOTTOM = 272;

uint16_t Quib_GetFirstFree();
void Quib_SetSize(int k);
void Quib_ProcessZero();
void Quib_VBL();
void Quib_ShowScore(uint16_t value);
// Throws a ball along the aim a and runs the throw frame by frame: 1 when the
// ball crossed the bottom line (or the table is full), 0 when it has come to
// rest or the quit button was touched.
int Quib_ThrowBall(uint16_t a);

// Decodes the pictures and creates the game's sprites (after ZK_Init).
void Quib_Setup();
// The whole program after start-up: games until the quit button; returns 0.
int Quib_Main();

// The embedded pictures: complete GIF89a files and their sizes.
extern const uint8_t bg[];
extern const size_t bg_size;
extern const uint8_t quib[];
extern const size_t quib_size;
extern const uint8_t quib_medium[];
extern const size_t quib_medium_size;
extern const uint8_t quib_small[];
extern const size_t quib_small_size;
extern const uint8_t quib_vsmall[];
extern const size_t quib_vsmall_size;
extern const uint8_t quib_numbers[];
extern const size_t quib_numbers_size;
extern const uint8_t quib_score[];
extern const size_t quib_score_size;
extern const uint8_t quib_gameover[];
extern const size_t quib_gameover_size;
extern const uint8_t quib_canon[];
extern const size_t quib_canon_size;
extern const uint8_t quib_icon[];  // 16 x 16, the program's icon
extern const size_t quib_icon_size;
