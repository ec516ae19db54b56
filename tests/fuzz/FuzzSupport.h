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
    InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    const uint8_t* Rest() const { return data_ + pos_; }
    size_t RestSize() const { return size_ - pos_; }
    // The next n bytes (fewer at the end); moves past them.
    std::vector<uint8_t> Take(size_t n) {
        n = n < RestSize() ? n : RestSize();
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace movarel::fuzz
