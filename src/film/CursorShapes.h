#pragma once
// Recorded cursor shapes: one record per shape in a segment's data file, kept
// in memory as the mask and colour bits, drawn into the picture AND-then-XOR.
#include <cstdint>
#include <memory>
#include <vector>

namespace movarel {

class Stream;
struct Picture;

struct ShapeBitmap {
    int32_t Size = 0;       // bytes of bits as stored
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t BitsPixel = 0;
    std::vector<uint8_t> Bits;  // the stored bits, rows as the record holds them
};

class CursorShape {
public:
    // Result codes of LoadFromFile.
    static constexpr int kLoaded = 0;
    static constexpr int kOutOfMemory = 2;
    static constexpr int kNoBitmap = 4;

    // Reads one shape record from the stream's position. The stream always
    // moves past the whole record when it can be read, so the next record
    // follows; a short stream raises the stream's read error.
    int LoadFromFile(Stream& stream);

    // Draws the shape with its hotspot at (x, y), clipped to the picture.
    void Draw(Picture& picture, int32_t x, int32_t y) const;

    void Free();

    int32_t MaskWidth() const { return Mask.Width; }
    int32_t MaskHeight() const { return Mask.Height; }
    bool Loaded() const { return loaded; }

    int32_t HotSpotX = 0;
    int32_t HotSpotY = 0;
    ShapeBitmap Mask;
    ShapeBitmap Colour;

private:
    bool loaded = false;
    // The bits unpacked for drawing, one word per pixel: the AND mask as
    // 0x00FFFFFF (keep) or 0, the XOR colour as 0x00RRGGBB.
    int32_t andMaskWidth = 0, andMaskHeight = 0;
    int32_t xorColourWidth = 0, xorColourHeight = 0;
    std::vector<uint32_t> andMask;
    std::vector<uint32_t> xorColour;
};

class CursorShapes {
public:
    void Clear() { items.clear(); }
    int32_t Count() const { return static_cast<int32_t>(items.size()); }
    int32_t Add(std::unique_ptr<CursorShape> shape) {
        items.push_back(std::move(shape));
        return Count() - 1;
    }
    CursorShape* Get(int32_t index) const {
        return (index < 0 || index >= Count()) ? nullptr : items[static_cast<size_t>(index)].get();
    }

private:
    std::vector<std::unique_ptr<CursorShape>> items;
};

}  // namespace movarel
