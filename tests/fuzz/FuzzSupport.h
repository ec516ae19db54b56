#pragma once
// What every fuzz target shares: message boxes go nowhere (a fuzzer shows
// thousands of them), and files are written only in a private folder that is
// made once per process and removed when it ends.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/UserMessages.h"
#include "platform/WorkDirectory.h"

namespace movarel::fuzz {

inline void DiscardMessages() {
    static const bool installed = [] {
        SetMessageBoxHandler([](const MessageRequest&) {});
        return true;
    }();
    (void)installed;
}

// A folder of this process only, with a trailing '/'.
inline const std::string& PrivateDir() {
    static const std::string dir = [] {
        std::string pattern = GetTempPath() + "movarel-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr)
            abort();
        std::string made = std::string(name.data()) + "/";
        static std::string removeAtExit;
        removeAtExit = made;
        atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removeAtExit, ignored);
        });
        return made;
    }();
    return dir;
}

// Writes the input to path (truncating); aborts when the folder is unusable,
// since every later run would test nothing.
inline void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        abort();
    if (size > 0 && fwrite(data, 1, size, file) != size)
        abort();
    fclose(file);
}

// Reads small integers off the front of the input; zeros once it is used up.
class InputReader {
public:
    InputReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    const uint8_t* Rest() const { return FData + FPos; }
    size_t RestSize() const { return FSize - FPos; }
    // The next n bytes (fewer at the end); moves past them.
    std::vector<uint8_t> Take(size_t n) {
        n = n < RestSize() ? n : RestSize();
        std::vector<uint8_t> out(FData + FPos, FData + FPos + n);
        FPos += n;
        return out;
    }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

}  // namespace movarel::fuzz
