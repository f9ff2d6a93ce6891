#include "zk_gifwriter.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "zk_png.h"

namespace {

constexpr int kMaxColours = 255;  // one index stays free for "unchanged"

struct Rgb {
    uint8_t r, g, b;
};

Rgb expand(uint16_t c) { return {zk_red8(c), zk_green8(c), zk_blue8(c)}; }

struct Weighted {
    uint16_t colour;
    uint32_t count;
};

int channel(uint16_t c, int which) {
    Rgb v = expand(c);
    return which == 0 ? v.r : which == 1 ? v.g : v.b;
}

// Median cut: the box with the widest channel range is split at the
// weighted median of that channel until there are `limit` boxes; each box
// gives its weighted mean colour. Every ordering is total, so the result
// depends only on the histogram.
std::vector<Rgb> medianCut(std::vector<Weighted> colours, int limit) {
    struct Box {
        size_t begin, end;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    auto range = [&](const Box& b, int& axis) {
        int best = -1;
        for (int a = 0; a < 3; ++a) {
            int lo = 255, hi = 0;
            for (size_t i = b.begin; i < b.end; ++i) {
                int v = channel(colours[i].colour, a);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            if (hi - lo > best) {
                best = hi - lo;
                axis = a;
            }
        }
        return best;
    };
    while (int(boxes.size()) < limit) {
        int pick = -1, pickAxis = 0, widest = 0;
        for (size_t k = 0; k < boxes.size(); ++k) {
            if (boxes[k].end - boxes[k].begin < 2) continue;
            int axis = 0;
            int r = range(boxes[k], axis);
            if (r > widest) {
                widest = r;
                pick = int(k);
                pickAxis = axis;
            }
        }
        if (pick < 0) break;
        Box b = boxes[size_t(pick)];
        std::sort(colours.begin() + long(b.begin), colours.begin() + long(b.end),
                  [pickAxis](const Weighted& x, const Weighted& y) {
                      int vx = channel(x.colour, pickAxis), vy = channel(y.colour, pickAxis);
                      return vx != vy ? vx < vy : x.colour < y.colour;
                  });
        uint64_t total = 0;
        for (size_t i = b.begin; i < b.end; ++i) total += colours[i].count;
        uint64_t half = 0;
        size_t cut = b.begin + 1;
        for (size_t i = b.begin; i + 1 < b.end; ++i) {
            half += colours[i].count;
            cut = i + 1;
            if (2 * half >= total) break;
        }
        boxes[size_t(pick)] = {b.begin, cut};
        boxes.push_back({cut, b.end});
    }
    std::vector<Rgb> palette;
    for (const Box& b : boxes) {
        uint64_t n = 0, r = 0, g = 0, bl = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            Rgb v = expand(colours[i].colour);
            uint64_t w = colours[i].count;
            n += w;
            r += v.r * w;
            g += v.g * w;
            bl += v.b * w;
        }
        palette.push_back({uint8_t((r + n / 2) / n), uint8_t((g + n / 2) / n), uint8_t((bl + n / 2) / n)});
    }
    return palette;
}

int nearest(const std::vector<Rgb>& palette, uint16_t c) {
    Rgb v = expand(c);
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        long dr = long(v.r) - palette[i].r, dg = long(v.g) - palette[i].g, db = long(v.b) - palette[i].b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

struct MapDeleter {
    void operator()(ColorMapObject* m) const { GifFreeMapObject(m); }
};
using Map = std::unique_ptr<ColorMapObject, MapDeleter>;

// A colour map of a power-of-two size with room for the transparent index
// right after the colours.
Map makeMap(const std::vector<Rgb>& colours) {
    int size = 2;
    while (size < int(colours.size()) + 1) size *= 2;
    std::vector<GifColorType> entries(size_t(size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < colours.size(); ++i) entries[i] = {colours[i].r, colours[i].g, colours[i].b};
    return Map(GifMakeMapObject(size, entries.data()));
}

int writeBytes(GifFileType* gif, const GifByteType* bytes, int count) {
    return int(std::fwrite(bytes, 1, size_t(count), static_cast<FILE*>(gif->UserData)));
}

std::string gifError(const std::string& path, int code) {
    const char* text = GifErrorString(code);
    return path + ": " + (text ? text : "GIF error");
}

}  // namespace

bool zk_write_gif(const std::string& path, int w, int h, int count, const ZkFrameSource& frame, std::string& error) {
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535 || count <= 0) {
        error = "nothing to write";
        return false;
    }
    const size_t pixels = size_t(w) * size_t(h);

    // Pass 1: every colour of the run.
    auto seen = std::make_unique<std::bitset<65536>>();
    for (int i = 0; i < count; ++i) {
        const uint16_t* f = frame(i);
        for (size_t p = 0; p < pixels; ++p) seen->set(f[p]);
    }
    const bool global = seen->count() <= size_t(kMaxColours);
    std::vector<int16_t> globalIndex(65536, -1);
    std::vector<Rgb> globalColours;
    if (global)
        for (unsigned c = 0; c < 65536; ++c)
            if (seen->test(c)) {
                globalIndex[c] = int16_t(globalColours.size());
                globalColours.push_back(expand(uint16_t(c)));
            }
    seen.reset();

    // Through stdio, so that the file gets the usual permissions.
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    int code = 0;
    GifFileType* gif = EGifOpen(file, writeBytes, &code);
    if (!gif) {
        std::fclose(file);
        error = gifError(path, code);
        return false;
    }
    auto fail = [&](const char* what) {
        error = path + ": " + what + " (" + (GifErrorString(gif->Error) ? GifErrorString(gif->Error) : "?") + ")";
        int ignored = 0;
        EGifCloseFile(gif, &ignored);
        std::fclose(file);
        return false;
    };
    EGifSetGifVersion(gif, true);
    Map globalMap = global ? makeMap(globalColours) : nullptr;
    if (EGifPutScreenDesc(gif, w, h, 8, 0, globalMap.get()) != GIF_OK) return fail("screen descriptor");
    static const GifByteType netscape[] = "NETSCAPE2.0";
    static const GifByteType loopForever[3] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(gif, 11, netscape) != GIF_OK || EGifPutExtensionBlock(gif, 3, loopForever) != GIF_OK ||
        EGifPutExtensionTrailer(gif) != GIF_OK)
        return fail("loop extension");

    // Pass 2: encode. prev is the previous source frame; a pixel is sent when
    // it differs from it, so a pixel once approximated stays as it is shown
    // until it changes, and nothing shimmers.
    std::vector<uint16_t> prev(pixels, 0);
    std::vector<int16_t> localIndex(65536, -1);
    std::vector<uint32_t> histogram(65536, 0);
    std::vector<GifPixelType> row(static_cast<size_t>(w), 0);
    for (int i = 0; i < count; ++i) {
        const uint16_t* f = frame(i);
        int left = w, top = h, right = -1, bottom = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                size_t p = size_t(y) * size_t(w) + size_t(x);
                if (i > 0 && f[p] == prev[p]) continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        const bool still = right < 0;
        if (still) left = right = top = bottom = 0;  // one transparent pixel carries the delay
        auto changed = [&](size_t p) { return !still && (i == 0 || f[p] != prev[p]); };

        int transparent;
        Map localMap;
        const std::vector<int16_t>* index = &globalIndex;
        if (global) {
            transparent = int(globalColours.size());
        } else {
            std::vector<Weighted> used;
            for (int y = top; y <= bottom; ++y)
                for (int x = left; x <= right; ++x) {
                    size_t p = size_t(y) * size_t(w) + size_t(x);
                    if (changed(p) && histogram[f[p]]++ == 0) used.push_back({f[p], 0});
                }
            for (Weighted& u : used) {
                u.count = histogram[u.colour];
                histogram[u.colour] = 0;
            }
            std::sort(used.begin(), used.end(), [](const Weighted& a, const Weighted& b) { return a.colour < b.colour; });
            std::vector<Rgb> palette;
            if (used.size() <= size_t(kMaxColours)) {
                for (size_t k = 0; k < used.size(); ++k) {
                    localIndex[used[k].colour] = int16_t(k);
                    palette.push_back(expand(used[k].colour));
                }
            } else {
                palette = medianCut(used, kMaxColours);
                for (const Weighted& u : used) localIndex[u.colour] = int16_t(nearest(palette, u.colour));
            }
            transparent = int(palette.size());
            localMap = makeMap(palette);
            index = &localIndex;  // cleared again after the rows
        }

        GraphicsControlBlock gcb{DISPOSE_DO_NOT, false, zk_gif_delay(i), transparent};
        GifByteType extension[4];
        EGifGCBToExtension(&gcb, extension);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) != GIF_OK) return fail("frame delay");
        const int rw = right - left + 1, rh = bottom - top + 1;
        if (EGifPutImageDesc(gif, left, top, rw, rh, false, localMap.get()) != GIF_OK) return fail("image descriptor");
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                size_t p = size_t(y) * size_t(w) + size_t(x);
                row[size_t(x - left)] = changed(p) ? GifPixelType((*index)[f[p]]) : GifPixelType(transparent);
            }
            if (EGifPutLine(gif, row.data(), rw) != GIF_OK) return fail("pixels");
        }
        if (!global)
            for (int y = top; y <= bottom; ++y)
                for (int x = left; x <= right; ++x) localIndex[f[size_t(y) * size_t(w) + size_t(x)]] = -1;
        std::memcpy(prev.data(), f, pixels * sizeof(uint16_t));
    }
    const bool closed = EGifCloseFile(gif, &code) == GIF_OK;
    const bool flushed = std::fclose(file) == 0;
    if (!closed || !flushed) {
        error = closed ? path + ": " + std::strerror(errno) : gifError(path, code);
        return false;
    }
    return true;
}
