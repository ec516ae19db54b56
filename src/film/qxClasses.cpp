#include "film/qxClasses.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/FileOps.h"
#include "platform/TempPath.h"

namespace movarel {

int32_t TqxStream::CopyFrom(TqxStream& source, int32_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    if (count <= 0)
        return count;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kCopyBufferSize)));
    int32_t remaining = count;
    while (remaining > 0) {
        int32_t n = std::min(static_cast<int32_t>(buffer.size()), remaining);
        source.ReadBuffer(buffer.data(), n);
        if (Write(buffer.data(), n) != n)
            throw EqxError("Cannot write file " + Name());
        remaining -= n;
    }
    return count;
}

// --- file stream -----------------------------------------------------------

TqxFileStream::TqxFileStream(const std::string& fileName, int mode) : FFileName(fileName) {
    int flags = O_CLOEXEC;
    mode_t permissions = 0;
    if (mode == kModeCreate) {
        flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
        permissions = 0600;
    } else {
        switch (mode & 3) {
            case 0: flags |= O_RDONLY; break;
            case 1: flags |= O_WRONLY; break;
            default: flags |= O_RDWR; break;
        }
    }
    FHandle = Files().open(fileName.c_str(), flags, permissions);
    if (FHandle < 0)
        throw EqxError("Cannot open or create file.");
}

TqxFileStream::~TqxFileStream() {
    if (FHandle >= 0)
        Files().close(FHandle);
}

int32_t TqxFileStream::GetPosition() {
    off_t pos = Files().seek(FHandle, 0, SEEK_CUR);
    if (pos < 0)
        return -1;
    return static_cast<int32_t>(std::clamp<int64_t>(pos - FBase, 0, INT32_MAX));
}

void TqxFileStream::SetPosition(int32_t offset) {
    // A negative offset cannot be a position; leave the stream where it is.
    if (offset >= 0)
        Files().seek(FHandle, static_cast<off_t>(FBase + offset), SEEK_SET);
}

int32_t TqxFileStream::GetSize() {
    off_t here = Files().seek(FHandle, 0, SEEK_CUR);
    off_t end = Files().seek(FHandle, 0, SEEK_END);
    if (here >= 0)
        Files().seek(FHandle, here, SEEK_SET);
    if (end < 0)
        return 0;
    int64_t size = std::max<int64_t>(end - FBase, 0);
    if (FLength >= 0)
        size = std::min<int64_t>(size, FLength);
    return static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
}

void TqxFileStream::Restrict(int64_t base, int32_t length) {
    FBase = std::max<int64_t>(base, 0);
    FLength = std::max<int32_t>(length, 0);
    SetPosition(0);
}

int32_t TqxFileStream::Room(int32_t count) {
    if (FLength < 0)
        return count;
    const int32_t pos = GetPosition();
    return pos < 0 ? 0 : std::clamp(FLength - pos, 0, count);
}

int32_t TqxFileStream::Read(void* buffer, int32_t count) {
    count = Room(count);
    if (count <= 0)
        return 0;
    return static_cast<int32_t>(ReadAll(FHandle, buffer, static_cast<size_t>(count)));
}

int32_t TqxFileStream::Write(const void* buffer, int32_t count) {
    count = Room(count);
    if (count <= 0)
        return 0;
    return static_cast<int32_t>(WriteAll(FHandle, buffer, static_cast<size_t>(count)));
}

void TqxFileStream::ReadBuffer(void* buffer, int32_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EqxError("Cannot read file " + FFileName);
}

// --- memory stream ---------------------------------------------------------

TqxMemoryStream::TqxMemoryStream() : FData(4096) {}

void TqxMemoryStream::SetPosition(int32_t offset) {
    if (offset >= 0 && offset < FSize)
        FPosition = offset;
}

int32_t TqxMemoryStream::Read(void* buffer, int32_t count) {
    if (count < 0 || FSize == 0)
        return 0;
    int32_t n = std::min(count, FSize - FPosition);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int32_t TqxMemoryStream::Write(const void* buffer, int32_t count) {
    if (count < 1)
        return 0;
    int64_t end = static_cast<int64_t>(FPosition) + count;
    if (end > INT32_MAX - 4096)
        throw EqxError("Out of memory");
    if (end > static_cast<int64_t>(FData.size()))
        FData.resize(static_cast<size_t>(end + 4096));
    if (end > FSize)
        FSize = static_cast<int32_t>(end);
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition = static_cast<int32_t>(end);
    return count;
}

void TqxMemoryStream::ReadBuffer(void* buffer, int32_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EqxError("Cannot read buffer");
}

void TqxMemoryStream::SetCapacity(int32_t bytes) {
    FData.resize(static_cast<size_t>(std::max(bytes, FSize)));
}

// --- string list -----------------------------------------------------------

int32_t TqxStringList::Add(const std::string& text) {
    if (FCount == static_cast<int32_t>(FItems.size()))
        FItems.resize(FItems.size() + 16);
    FItems[static_cast<size_t>(FCount)] = text;
    return FCount++;
}

void TqxStringList::Clear() {
    FItems.clear();
    FItems.shrink_to_fit();
    FCount = 0;
}

void TqxStringList::Delete(int32_t index) {
    if (index < 0 || index >= FCount)
        return;
    for (int32_t i = index; i + 1 < FCount; ++i)
        FItems[static_cast<size_t>(i)] = std::move(FItems[static_cast<size_t>(i + 1)]);
    --FCount;
    FItems[static_cast<size_t>(FCount)].clear();
}

std::string TqxStringList::Get(int32_t index) const {
    if (index < 0 || index >= FCount)
        return std::string();
    return FItems[static_cast<size_t>(index)];
}

int32_t TqxStringList::IndexOf(const std::string& text) const {
    for (int32_t i = 0; i < FCount; ++i)
        if (FItems[static_cast<size_t>(i)] == text)
            return i;
    return -1;
}

std::string TrimText(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
        --last;
    return text.substr(first, last - first);
}

std::string TqxStringList::Values(const std::string& key) const {
    if (key.empty())
        return std::string();
    for (int32_t i = 0; i < FCount; ++i) {
        const std::string& item = FItems[static_cast<size_t>(i)];
        size_t eq = item.find('=');
        if (eq == std::string::npos)
            continue;
        std::string itemKey = TrimText(item.substr(0, eq));
        // Keys are ASCII words; a case-insensitive byte comparison matches
        // the locale-aware one for them and never depends on the user's locale.
        if (itemKey.size() == key.size() && ::strncasecmp(itemKey.c_str(), key.c_str(), key.size()) == 0)
            return TrimText(item.substr(eq + 1));
    }
    return std::string();
}

void TqxStringList::SetText(const char* buffer, int32_t length) {
    if (buffer == nullptr || length <= 0)
        return;
    bool inLine = false;
    int32_t start = 0;
    for (int32_t i = 0; i < length; ++i) {
        char c = buffer[i];
        if (inLine) {
            if (c == '\r' || c == '\0') {
                Add(std::string(buffer + start, static_cast<size_t>(i - start)));
                inLine = false;
            }
        } else if (c != '\n') {
            start = i;
            inLine = true;
        }
    }
    if (inLine)
        Add(std::string(buffer + start, static_cast<size_t>(length - start)));
}

// --- temporary names -------------------------------------------------------

bool FileExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string MakeTempFileName(const std::string& extension, const std::string& directory,
                             const std::string& prefix) {
    std::string dir = directory.empty() ? GetTempPath() : directory;
    if (dir.back() != '/')
        dir += '/';
    for (;;) {
        struct timeval tv;
        ::gettimeofday(&tv, nullptr);
        struct tm local;
        ::localtime_r(&tv.tv_sec, &local);
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d%03d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                      static_cast<int>(tv.tv_usec / 1000));
        std::string name = dir + prefix + stamp + "." + extension;
        if (!FileExists(name))
            return name;
    }
}

}  // namespace movarel
