// Arbitrary bytes laid out by ZK_Text in arbitrary boxes, fonts 0-4, all
// alignment values, gaps and spacings, then drawn through a text layer, so
// the layout, the slot arrays and the letter blitters meet every place the
// layout can produce.
//
// Input: 16 header bytes, then the text (up to the first 0):
//   0-7   left, top, right, bottom (16-bit little-endian each)
//   8     font (mod 5)       9  align (any value)   10 line gap
//   11    letter spacing     12 slot alpha          13 slot
//   14-15 count: the letters to keep, as a signed 16-bit value scaled by 4
#include <string>

#include "zk_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 16), size - 16);
    const auto le16 = [data](int at) { return int16_t(uint16_t(data[at] | data[at + 1] << 8)); };
    zk_window[0] = {0, 0, ZK_WIDTH - 1, ZK_HEIGHT - 1};
    ZK_LoadTextBg(3);
    zk_textinfo.lineGap = data[10];
    zk_textinfo.letterSpacing = data[11];
    zk_textinfo.align = data[9];
    zk_textinfo.alpha = uint8_t(data[12] % 33);
    const int16_t n = ZK_Text(data[13], le16(0), le16(2), le16(4), le16(6), text.c_str(), 0xFFFF, uint8_t(data[8] % 5),
                              le16(14) * 4);
    // A second, shorter text into the same slot reuses its array.
    if (n > 4) ZK_Text(data[13], le16(0), le16(2), le16(4), le16(6), text.c_str(), 0x07E0, uint8_t((data[8] + 1) % 5), n / 2);
    ZK_ShowBg(3);
    ZK_BgDelete(3);
    return 0;
}
