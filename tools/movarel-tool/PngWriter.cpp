#include "PngWriter.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

#include "film/Picture.h"

namespace movarel::tool {
namespace {

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    PutBig32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    PutBig32(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool WritePng(const std::string& path, const Picture& picture) {
    const size_t w = static_cast<size_t>(picture.Width), h = static_cast<size_t>(picture.Height);
    if (w == 0 || h == 0 || picture.Pixels.size() != w * h)
        return false;
    std::vector<uint8_t> raw;
    raw.reserve(h * (1 + 3 * w));
    for (size_t y = 0; y < h; ++y) {
        raw.push_back(0);  // no filter
        for (size_t x = 0; x < w; ++x) {
            uint32_t p = picture.Pixels[y * w + x];
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(w));
    PutBig32(header, static_cast<uint32_t>(h));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter, no interlace
    Chunk(file, "IHDR", header);
    Chunk(file, "IDAT", packed);
    Chunk(file, "IEND", {});

    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    ok = (std::fclose(out) == 0) && ok;
    return ok;
}

}  // namespace movarel::tool
