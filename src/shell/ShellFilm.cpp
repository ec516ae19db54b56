#include "shell/ShellFilm.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "film/FilmReader.h"
#include "film/Texts.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"

namespace movarel {

namespace {

bool ReadAt(int fd, off_t offset, void* buffer, size_t count) {
    if (Files().seek(fd, offset, SEEK_SET) != offset) return false;
    return ReadAll(fd, buffer, count) == count;
}

int32_t Int32At(const uint8_t* bytes) {
    uint32_t v = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    int32_t out;
    std::memcpy(&out, &v, sizeof out);
    return out;
}

}  // namespace

bool ReadLanguageTableOf(const std::string& file, std::string& table) {
    table.clear();
    const int fd = Files().open(file.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) return false;
    bool found = false;
    const off_t size = Files().seek(fd, 0, SEEK_END);
    uint8_t word[4];
    // Lengths from the file are checked against the file before they are used.
    if (size >= 8 && ReadAt(fd, size - 4, word, 4)) {
        const int64_t F = Int32At(word);
        const int64_t lengthAt = int64_t{size} - F - 8;
        if (F >= 0 && lengthAt >= 0 && ReadAt(fd, static_cast<off_t>(lengthAt), word, 4)) {
            const int64_t L = Int32At(word);
            if (L > 0 && L <= lengthAt) {
                table.resize(static_cast<size_t>(L));
                found = ReadAt(fd, static_cast<off_t>(lengthAt - L), table.data(), table.size());
                if (!found) table.clear();
            }
        }
    }
    Files().close(fd);
    return found;
}

void ApplyMessageTexts(const std::string& table) {
    TqxStringList list;
    list.SetText(table.data(), static_cast<int32_t>(table.size()));
    MessageTexts& t = Texts();
    const std::pair<const char*, std::string*> keys[] = {
        {"Error", &t.Error},
        {"Loading", &t.Loading},
        {"InvalidVersionFormat", &t.InvalidVersionFormat},
        {"Warning", &t.Warning},
        {"SegmentCountFmt", &t.SegmentCountFmt},
        {"WrongFile", &t.WrongFile},
        {"WrongDisplaySettings", &t.WrongDisplaySettings},
        {"CannotOpenFileFmt", &t.CannotOpenFileFmt},
        {"CannotCreateTempFile", &t.CannotCreateTempFile},
        {"VideoDecompressorError", &t.VideoDecompressorError},
        {"Segments", &t.Segments},
    };
    for (const auto& [key, text] : keys) {
        const std::string value = list.Values(key);
        if (!value.empty()) *text = DecodeAnsi(value);
    }
}

bool LoadStartupFilm(TqxFileStream& stream) { return LoadAppendedFilm(stream); }
void LoadFilmFile(const std::string& path) { LoadFilm(path); }

}  // namespace movarel
