// The GIF decoder's own declarations: the giflib-typed helpers that the image
// loaders share, for the engine and its tests. Games include ZKlib.h only.
#pragma once

#include <gif_lib.h>

#include <cstddef>
#include <cstdint>

// Where readFunc reads from: the next byte and how many bytes are left. The
// decoder's giflib handle carries a pointer to one of these as its user data.
struct ZkGifSource {
    const uint8_t* pos;
    size_t left;
};

// Limits of one decode.
constexpr int32_t ZK_GIF_MAX_FRAMES = 1024;        // image descriptors decoded per GIF
constexpr int64_t ZK_GIF_MAX_PIXELS = 1 << 22;     // logical screen w * h the loaders accept
constexpr int32_t ZK_GIF_MAX_16BIT_WIDTH = 2048;   // the size of LineBuf

// Interlaced GIFs: the 4 passes start at these rows and step by these.
extern const int16_t InterlacedOffset[4];
extern const int16_t InterlacedJumps[4];

// giflib input function: copies up to count bytes from the source and
// advances it. At the end of the data it copies what is left and returns
// that shorter count, which giflib reports as a read error.
int readFunc(GifFileType* gif, GifByteType* dest, int count);

// Decodes one line of count pixels of the current image into dest: straight
// as palette indices when GifBits is 0, through LineBuf and zk_gif_pal to
// RGB565 when GifBits is 1 (count is then at most 2048). Returns giflib's
// result for the line.
int DGifGetLineByte(GifFileType* gif, GifPixelType* dest, int count);

// dest[i] = zk_gif_pal[source[i]] for count pixels.
void CopyLine2(uint16_t* dest, const uint8_t* source, int count);

// How a decode ended.
enum ZkGifEnd : int {
    ZK_GIF_DONE = 0,     // at the terminator, or stopped through ZK_GifInfo.state
    ZK_GIF_FAILED = -1,  // not a GIF, cut short, a giflib error, too many frames, no memory
    ZK_GIF_LOST = -2,    // code run during a wait released or replaced the layer
};

// Decodes every image of the GIF into dest, a picture of rowLength x rows
// pixels (bytes when to16 is 0, RGB565 when it is 1), converting colour maps
// into palette (zk_gif_pal when to16 is set) and pacing animation through
// ZK_GifInfo and ZK_Refresh. Reads at most size bytes. Image descriptors are
// clipped to the logical screen and to rowLength x rows; palette entries at
// and above a map's colour count are not written; a missing colour map writes
// none. When dest and palette are the storage of layer (0..15), the decode
// ends without writing again as soon as the frame loop releases that layer.
// Whatever the end, the destination keeps what was decoded until then.
ZkGifEnd DecodeGif(const uint8_t* gif, size_t size, void* dest, uint16_t* palette, uint8_t to16, int32_t rowLength,
                   int32_t rows, int layer = -1);
// The trusting form: the data must be a complete, valid GIF whose logical
// screen is rowLength pixels wide; the destination must hold its whole screen.
int DecodeGif(const uint8_t* gif, void* dest, uint16_t* palette, uint8_t to16, int16_t rowLength);
