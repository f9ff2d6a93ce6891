// The one RGB565 blend that every blending path uses: blitters, the fade,
// letters, layer pixels and rotated sprites.
//
// Both colours are spread to 0x07E0F81F (green moves to bits 21..26, red and
// blue stay), so one multiply moves all three channels at once:
// per channel d + floor((s - d) * alpha / 32). The subtraction borrows across
// channel gaps, but the mask after the shift throws the borrows away.
#pragma once

#include <cstdint>

constexpr uint32_t ZK_SPREAD_MASK = 0x07E0F81Fu;

constexpr uint32_t zk_spread(uint16_t c) { return (c | (uint32_t(c) << 16)) & ZK_SPREAD_MASK; }

constexpr uint16_t zk_unspread(uint32_t t) { return uint16_t(t | (t >> 16)); }

constexpr uint16_t zk_blend(uint16_t s, uint16_t d, uint32_t alpha) {
    const uint32_t ed = zk_spread(d);
    const uint32_t t = (ed + (((zk_spread(s) - ed) * alpha) >> 5)) & ZK_SPREAD_MASK;
    return zk_unspread(t);
}
