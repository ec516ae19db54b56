#include "DemoCursors.h"

#include <string>
#include <vector>

namespace movarel::demo {
namespace {

constexpr int kSize = 32;

// 'X' black, '.' white, ' ' transparent, '~' inverts the screen (monochrome
// shapes only).
struct Art {
    std::vector<std::string> rows;
    int hotX, hotY;
};

const Art& ArtOf(Pointer pointer) {
    static const Art arrow{{
        "X",
        "XX",
        "X.X",
        "X..X",
        "X...X",
        "X....X",
        "X.....X",
        "X......X",
        "X.......X",
        "X........X",
        "X.........X",
        "X......XXXXX",
        "X...X..X",
        "X..XX..X",
        "X.X  X..X",
        "XX   X..X",
        "X     X..X",
        "      X..X",
        "       XX",
    }, 0, 0};
    static const Art ibeam{{
        "~~~ ~~~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "   ~",
        "~~~ ~~~",
    }, 3, 8};
    static const Art move{{
        "         X",
        "        X.X",
        "       X...X",
        "      X.....X",
        "      XXX.XXX",
        "   XX   X.X   XX",
        "  X.X   X.X   X.X",
        " X..XXXXX.XXXXX..X",
        "X.................X",
        " X..XXXXX.XXXXX..X",
        "  X.X   X.X   X.X",
        "   XX   X.X   XX",
        "      XXX.XXX",
        "      X.....X",
        "       X...X",
        "        X.X",
        "         X",
    }, 9, 8};
    static const Art hand{{
        "     XX",
        "    X..X",
        "    X..X",
        "    X..X",
        "    X..XXX",
        "    X..X..XXX",
        "    X..X..X..XX",
        " XX X..X..X..X.X",
        "X..XX.........X.X",
        "X...X...........X",
        " X..............X",
        "  X.............X",
        "  X............X",
        "   X...........X",
        "    X.........X",
        "    X.........X",
        "    XXXXXXXXXXX",
    }, 5, 0};
    switch (pointer) {
        case Pointer::Arrow: return arrow;
        case Pointer::IBeam: return ibeam;
        case Pointer::Move: return move;
        case Pointer::Hand:
        case Pointer::MonoHand: return hand;
    }
    return arrow;
}

char At(const Art& art, int x, int y) {
    if (y >= static_cast<int>(art.rows.size()))
        return ' ';
    const std::string& row = art.rows[static_cast<size_t>(y)];
    return x < static_cast<int>(row.size()) ? row[static_cast<size_t>(x)] : ' ';
}

}  // namespace

writer::CursorShapeSpec PointerShape(Pointer pointer) {
    const Art& art = ArtOf(pointer);
    const size_t n = static_cast<size_t>(kSize * kSize);
    std::vector<uint8_t> andMask(n, 1);
    bool mono = pointer == Pointer::IBeam || pointer == Pointer::MonoHand;
    if (mono) {
        std::vector<uint8_t> xorMask(n, 0);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                size_t i = static_cast<size_t>(y * kSize + x);
                char c = At(art, x, y);
                andMask[i] = (c == ' ' || c == '~') ? 1 : 0;
                xorMask[i] = (c == '.' || c == '~') ? 1 : 0;
            }
        return writer::MonoCursor(kSize, kSize, andMask, xorMask, art.hotX, art.hotY);
    }
    // The colour hand is drawn a warm white, so it is told from the
    // monochrome one at a glance.
    const uint32_t white = pointer == Pointer::Hand ? 0xFFF2D8 : 0xFFFFFF;
    std::vector<uint32_t> colours(n, 0);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            size_t i = static_cast<size_t>(y * kSize + x);
            char c = At(art, x, y);
            if (c == 'X' || c == '.') {
                andMask[i] = 0;
                colours[i] = c == '.' ? white : 0x000000;
            }
        }
    return writer::ColourCursor(kSize, kSize, andMask, colours, art.hotX, art.hotY, 32);
}

}  // namespace movarel::demo
