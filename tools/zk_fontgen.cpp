// zk_fontgen: packs the glyph sheets of tools/fonts into the engine's font
// tables.
//
//   zk_fontgen <sheet folder> <output folder>          writes the two units
//   zk_fontgen --check <sheet folder> <engine folder>  exits 1 when they differ
//
// Sheets: font0.txt .. font4.txt hold the five proportional fonts, debug.txt
// the 6 x 6 debug font. Lines starting with ';' are comments. A proportional
// sheet begins with "height <h>"; then each glyph is a line "-- <code> <look>"
// followed by h rows of '#' (ink) and '.' (background), all of one length,
// the letter's width. The debug sheet lists glyphs the same way with 6 rows
// of 6, or a line "-- <code> <look> = <code> <mirror>" for a glyph drawn from
// another's tile (mirror: x, y, xy, or same for the tile as it is).
//
// The packed form: letters in code order, one bit a pixel, least significant
// bit first, rows of the letter's own width; LetterStart[c] counts bytes of
// the 16-bit expanded array (2 per pixel). Every rule the engine relies on
// (heights, code coverage, space widths, packed sizes, the debug tile
// numbering) is checked here, and so is the even spacing (kTrailing), so a
// sheet that breaks one is refused.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Glyph {
    int width = 0;
    std::vector<std::string> rows;
    int from = -1;  // debug font: the glyph whose tile this one shows
    int mirror = 0;  // bit 0: left-right, bit 1: top-bottom
};

struct Sheet {
    int height = 0;
    std::map<int, Glyph> glyphs;
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "zk_fontgen: %s\n", what.c_str());
    std::exit(2);
}

Sheet readSheet(const std::string& path, int fixedHeight) {
    std::ifstream in(path);
    if (!in) fail("cannot read " + path);
    Sheet s;
    s.height = fixedHeight;
    std::string line;
    Glyph* cur = nullptr;
    int code = -1, lineNo = 0;
    auto where = [&] { return path + ":" + std::to_string(lineNo); };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line.rfind("height ", 0) == 0) {
            s.height = std::atoi(line.c_str() + 7);
            continue;
        }
        if (line.rfind("-- ", 0) == 0) {
            std::istringstream ls(line.substr(3));
            ls >> code;
            if (!ls || code < 0 || code > 255) fail(where() + ": bad glyph code");
            if (s.glyphs.count(code)) fail(where() + ": code listed twice");
            cur = &s.glyphs[code];
            const auto eq = line.find(" = ");
            if (eq != std::string::npos) {
                std::istringstream rs(line.substr(eq + 3));
                std::string m;
                rs >> cur->from >> m;
                cur->mirror = m == "x" ? 1 : m == "y" ? 2 : m == "xy" ? 3 : m == "same" ? 0 : -1;
                if (!rs || cur->from < 0 || cur->from > 255 || cur->mirror < 0) fail(where() + ": bad reuse line");
                cur = nullptr;
            }
            continue;
        }
        if (!cur) fail(where() + ": row outside a glyph");
        for (char c : line)
            if (c != '#' && c != '.') fail(where() + ": rows hold only '#' and '.'");
        if (!cur->rows.empty() && line.size() != cur->rows[0].size()) fail(where() + ": rows of unequal width");
        cur->rows.push_back(line);
        cur->width = int(line.size());
    }
    for (auto& [c, g] : s.glyphs)
        if (g.from < 0 && int(g.rows.size()) != s.height)
            fail(path + ": glyph " + std::to_string(c) + " has " + std::to_string(g.rows.size()) + " rows");
    return s;
}

// The codes with a glyph: 32-126 and 224-253 but 240, 246, 247, 248 in every
// font; the largest font also has 199 and 246.
bool hasGlyph(int font, int c) {
    if (c >= 32 && c <= 126) return true;
    if (c >= 224 && c <= 253) return c != 240 && c != 247 && c != 248 && (c != 246 || font == 4);
    return font == 4 && c == 199;
}

constexpr int kHeights[5] = {6, 8, 9, 12, 14};
constexpr int kSizes[5] = {306, 480, 738, 1289, 1978};
constexpr int kSpace[5] = {1, 1, 1, 2, 3};
// The blank columns after every glyph but the space (none before it): the
// same in all the glyphs of a font, so that letters of one width have one
// advance and words space evenly. The packed sizes are met by the widths of
// the glyphs themselves.
constexpr int kTrailing[5] = {0, 0, 1, 1, 1};

// A glyph's blank columns before and after its ink.
std::pair<int, int> blankColumns(const Glyph& g) {
    auto blank = [&](int x) {
        for (const std::string& row : g.rows)
            if (row[size_t(x)] == '#') return false;
        return true;
    };
    int before = 0, after = 0;
    while (before < g.width && blank(before)) ++before;
    while (after < g.width - before && blank(g.width - 1 - after)) ++after;
    return {before, after};
}

void emitBytes(std::ostringstream& o, const std::vector<uint8_t>& b) {
    for (size_t i = 0; i < b.size(); ++i) {
        if (i % 16 == 0) o << "\n   ";
        char buf[8];
        std::snprintf(buf, sizeof buf, " 0x%02X,", b[i]);
        o << buf;
    }
    o << "\n";
}

std::string fontUnit(const std::string& dir) {
    std::ostringstream o;
    o << "// Generated by tools/zk_fontgen from tools/fonts/font0.txt .. font4.txt; edit the sheets, not this file.\n"
         "// The five built-in fonts, one bit a pixel, least significant bit first.\n"
         "#include \"ZKlib.h\"\n";
    for (int n = 0; n < 5; ++n) {
        const Sheet s = readSheet(dir + "/font" + std::to_string(n) + ".txt", 0);
        const std::string name = "font" + std::to_string(n) + ".txt";
        if (s.height != kHeights[n]) fail(name + ": height must be " + std::to_string(kHeights[n]));
        int width[256] = {};
        long bits = 0;
        for (int c = 0; c < 256; ++c) {
            auto it = s.glyphs.find(c);
            if (hasGlyph(n, c) != (it != s.glyphs.end()))
                fail(name + ": code " + std::to_string(c) + (hasGlyph(n, c) ? " needs a glyph" : " must have none"));
            if (it == s.glyphs.end()) continue;
            if (it->second.width < 1 || it->second.width > 127) fail(name + ": bad width at " + std::to_string(c));
            width[c] = it->second.width;
            if (c != 32 && blankColumns(it->second) != std::pair{0, kTrailing[n]})
                fail(name + ": glyph " + std::to_string(c) + " must start with ink and end in " +
                     std::to_string(kTrailing[n]) + " blank column(s)");
            bits += long(width[c]) * s.height;
        }
        if (width[32] != kSpace[n]) fail(name + ": the space must be " + std::to_string(kSpace[n]) + " wide");
        const long bytes = (bits + 7) / 8;
        if (bytes != kSizes[n]) {
            const long columns = (long(kSizes[n]) * 8) / s.height - bits / s.height;
            fail(name + ": packs to " + std::to_string(bytes) + " bytes, not " + std::to_string(kSizes[n]) +
                 " (about " + std::to_string(columns) + " columns to add)");
        }
        std::vector<uint8_t> packed(size_t(bytes), 0);
        int32_t start[256];
        long p = 0;
        for (int c = 0; c < 256; ++c) {
            start[c] = int32_t(2 * p);
            auto it = s.glyphs.find(c);
            if (it == s.glyphs.end()) continue;
            for (const std::string& row : it->second.rows)
                for (char px : row) {
                    if (px == '#') packed[size_t(p / 8)] = uint8_t(packed[size_t(p / 8)] | (1u << (p % 8)));
                    ++p;
                }
        }
        const std::string id = "zk_text" + std::to_string(n);
        o << "\nextern const uint8_t " << id << "_Font[" << bytes << "];\nconst uint8_t " << id << "_Font[" << bytes
          << "] = {";
        emitBytes(o, packed);
        o << "};\n\nextern const int32_t " << id << "_LetterStart[256];\nconst int32_t " << id
          << "_LetterStart[256] = {";
        for (int c = 0; c < 256; ++c) o << (c % 12 == 0 ? "\n    " : " ") << start[c] << ",";
        o << "\n};\n\nextern const uint8_t " << id << "_LetterWidth[256];\nconst uint8_t " << id
          << "_LetterWidth[256] = {";
        for (int c = 0; c < 256; ++c) o << (c % 16 == 0 ? "\n    " : " ") << width[c] << ",";
        o << "\n};\n\nTextFont " << id << " = {const_cast<uint8_t*>(" << id << "_Font), const_cast<int32_t*>(" << id
          << "_LetterStart),\n                     const_cast<uint8_t*>(" << id << "_LetterWidth), " << s.height
          << "};\n";
    }
    return o.str();
}

// The debug font: tile 0 blank, then a tile for each glyph in code order that
// does not reuse another's tile; 87 tiles in all, the last five for 224 and
// 231-234.
std::string debugUnit(const std::string& dir) {
    const Sheet s = readSheet(dir + "/debug.txt", 6);
    auto wanted = [](int c) { return (c >= 33 && c <= 126 && c != 95) || c == 224 || (c >= 231 && c <= 234); };
    std::vector<uint8_t> tiles(37, 0);  // tile 0: blank
    uint32_t map[288] = {};
    int tileOf[256];
    for (int& t : tileOf) t = -1;
    for (int c = 0; c < 256; ++c) {
        auto it = s.glyphs.find(c);
        if (wanted(c) != (it != s.glyphs.end()))
            fail("debug.txt: code " + std::to_string(c) + (wanted(c) ? " needs a glyph" : " must have none"));
        if (it == s.glyphs.end() || it->second.from >= 0) continue;
        if (it->second.width != 6) fail("debug.txt: glyphs are 6 x 6");
        tileOf[c] = int(tiles.size() / 37);
        tiles.push_back(0);
        for (const std::string& row : it->second.rows)
            for (char px : row) tiles.push_back(px == '#' ? 1 : 0);
        map[c] = uint32_t(tileOf[c]);
    }
    for (const auto& [c, g] : s.glyphs) {
        if (g.from < 0) continue;
        if (tileOf[g.from] < 0) fail("debug.txt: " + std::to_string(c) + " reuses a glyph that has no tile");
        map[c] = uint32_t(tileOf[g.from]) | (g.mirror & 1 ? 1u << 25 : 0u) | (g.mirror & 2 ? 1u << 26 : 0u);
    }
    if (tiles.size() != 87 * 37) fail("debug.txt: " + std::to_string(tiles.size() / 37) + " tiles, not 87");
    if (tileOf[224] != 82 || tileOf[231] != 83 || tileOf[234] != 86) fail("debug.txt: 224, 231-234 are tiles 82-86");

    std::ostringstream o;
    o << "// Generated by tools/zk_fontgen from tools/fonts/debug.txt; edit the sheet, not this file.\n"
         "// The debug overlay's font: 87 tiles of 6 x 6 and the character table.\n"
         "#include \"ZKlib.h\"\n\nconst uint8_t zk_debug_Tiles[3219] = {";
    emitBytes(o, tiles);
    o << "};\n\nconst uint32_t zk_debug_Map[288] = {";
    for (int c = 0; c < 288; ++c) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08X,", map[c]);
        o << (c % 8 == 0 ? "\n    " : " ") << buf;
    }
    o << "\n};\n";
    return o.str();
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream o;
    o << in.rdbuf();
    return o.str();
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 4 && std::string(argv[1]) == "--check";
    if (argc != 3 && !check) {
        std::fprintf(stderr, "usage: zk_fontgen [--check] <sheet folder> <output folder>\n");
        return 2;
    }
    const std::string in = argv[check ? 2 : 1], out = argv[check ? 3 : 2];
    const std::pair<std::string, std::string> units[2] = {{"zk_fontdata.cpp", fontUnit(in)},
                                                          {"zk_debugfont.cpp", debugUnit(in)}};
    int rc = 0;
    for (const auto& [name, text] : units) {
        const std::string path = out + "/" + name;
        if (check) {
            if (readAll(path) != text) {
                std::fprintf(stderr, "zk_fontgen: %s is not what the sheets give; regenerate it\n", path.c_str());
                rc = 1;
            }
        } else {
            std::ofstream f(path, std::ios::binary);
            f << text;
            if (!f) fail("cannot write " + path);
        }
    }
    return rc;
}
