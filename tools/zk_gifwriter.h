// Animated GIF files of RGB565 frames, through giflib's encoder.
//
// Colours are never dithered. When the whole run has at most 255 colours,
// one global palette holds them exactly. Otherwise every frame gets its own
// palette: exact when the pixels it sends have at most 255 colours, else a
// median cut of them, each pixel taking its nearest entry. Index 255 (or the
// first free one) is kept transparent: a frame sends only the rectangle
// around the pixels that changed since the previous frame, and unchanged
// pixels inside it are transparent, so a mostly still picture costs little.
// Frame delays alternate 2 and 3 hundredths, 40 frames per second on
// average, and the animation loops for ever.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Supplies frame i (w x h RGB565 pixels). The writer asks for the frames in
// order 0..count-1, twice (one pass for the colours, one to encode); the
// pointer needs to stay valid only until the next call.
using ZkFrameSource = std::function<const uint16_t*(int i)>;

// Delay of the i-th frame of the file in hundredths of a second.
constexpr int zk_gif_delay(int i) { return i % 2 == 0 ? 2 : 3; }

// Writes count frames to path. False, with error filled, on failure.
bool zk_write_gif(const std::string& path, int w, int h, int count, const ZkFrameSource& frame, std::string& error);
