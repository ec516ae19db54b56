#pragma once
// Writes a picture as an 8-bit RGB PNG file.
#include <string>

namespace movarel {
struct Picture;
}

namespace movarel::tool {

// False (errno tells why) when the file cannot be written.
bool WritePng(const std::string& path, const Picture& picture);

}  // namespace movarel::tool
