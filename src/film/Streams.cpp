#include "film/Streams.h"

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
#include "platform/WorkDirectory.h"

namespace movarel {

int32_t Stream::CopyFrom(Stream& source, int32_t count) {
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
            throw Error("Cannot write file " + Name());
        remaining -= n;
    }
    return count;
}

// --- file stream -----------------------------------------------------------

FileStream::FileStream(const std::string& name, int mode) : fileName(name) {
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
    handle = Files().open(fileName.c_str(), flags, permissions);
    if (handle < 0)
        throw Error("Cannot open or create file.");
}

FileStream::~FileStream() {
    if (handle >= 0)
        Files().close(handle);
}

int32_t FileStream::GetPosition() {
    off_t pos = Files().seek(handle, 0, SEEK_CUR);
    if (pos < 0)
        return -1;
    return static_cast<int32_t>(std::clamp<int64_t>(pos - base, 0, INT32_MAX));
}

void FileStream::SetPosition(int32_t offset) {
    // A negative offset cannot be a position; leave the stream where it is.
    if (offset >= 0)
        Files().seek(handle, static_cast<off_t>(base + offset), SEEK_SET);
}

int32_t FileStream::GetSize() {
    off_t here = Files().seek(handle, 0, SEEK_CUR);
    off_t end = Files().seek(handle, 0, SEEK_END);
    if (here >= 0)
        Files().seek(handle, here, SEEK_SET);
    if (end < 0)
        return 0;
    int64_t size = std::max<int64_t>(end - base, 0);
    if (length >= 0)
        size = std::min<int64_t>(size, length);
    return static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
}

void FileStream::Restrict(int64_t windowStart, int32_t windowLength) {
    base = std::max<int64_t>(windowStart, 0);
    length = std::max<int32_t>(windowLength, 0);
    SetPosition(0);
}

int32_t FileStream::Length() const {
    struct stat st {};
    if (::fstat(handle, &st) != 0)
        return 0;
    int64_t size = std::max<int64_t>(static_cast<int64_t>(st.st_size) - base, 0);
    if (length >= 0)
        size = std::min<int64_t>(size, length);
    return static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
}

int32_t FileStream::ReadAt(int64_t offset, void* buffer, int32_t count) const {
    if (offset < 0 || count <= 0)
        return 0;
    if (length >= 0)
        count = static_cast<int32_t>(std::clamp<int64_t>(length - offset, 0, count));
    auto* at = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(handle, at + done, static_cast<size_t>(count - done),
                                  static_cast<off_t>(base + offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<int32_t>(n);
    }
    return done;
}

int32_t FileStream::Room(int32_t count) {
    if (length < 0)
        return count;
    const int32_t pos = GetPosition();
    return pos < 0 ? 0 : std::clamp(length - pos, 0, count);
}

int32_t FileStream::Read(void* buffer, int32_t count) {
    count = Room(count);
    if (count <= 0)
        return 0;
    return static_cast<int32_t>(ReadAll(handle, buffer, static_cast<size_t>(count)));
}

int32_t FileStream::Write(const void* buffer, int32_t count) {
    count = Room(count);
    if (count <= 0)
        return 0;
    return static_cast<int32_t>(WriteAll(handle, buffer, static_cast<size_t>(count)));
}

void FileStream::ReadBuffer(void* buffer, int32_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw Error("Cannot read file " + fileName);
}

// --- memory stream ---------------------------------------------------------

MemoryStream::MemoryStream() : data(4096) {}

void MemoryStream::SetPosition(int32_t offset) {
    if (offset >= 0 && offset < size)
        position = offset;
}

int32_t MemoryStream::Read(void* buffer, int32_t count) {
    if (count < 0 || size == 0)
        return 0;
    int32_t n = std::min(count, size - position);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, data.data() + position, static_cast<size_t>(n));
    position += n;
    return n;
}

int32_t MemoryStream::Write(const void* buffer, int32_t count) {
    if (count < 1)
        return 0;
    int64_t end = static_cast<int64_t>(position) + count;
    if (end > INT32_MAX - 4096)
        throw Error("Out of memory");
    if (end > static_cast<int64_t>(data.size()))
        data.resize(static_cast<size_t>(end + 4096));
    if (end > size)
        size = static_cast<int32_t>(end);
    std::memcpy(data.data() + position, buffer, static_cast<size_t>(count));
    position = static_cast<int32_t>(end);
    return count;
}

void MemoryStream::ReadBuffer(void* buffer, int32_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw Error("Cannot read buffer");
}

void MemoryStream::SetCapacity(int32_t bytes) {
    data.resize(static_cast<size_t>(std::max(bytes, size)));
}

// --- string list -----------------------------------------------------------

int32_t StringList::Add(const std::string& text) {
    if (count == static_cast<int32_t>(items.size()))
        items.resize(items.size() + 16);
    items[static_cast<size_t>(count)] = text;
    return count++;
}

void StringList::Clear() {
    items.clear();
    items.shrink_to_fit();
    count = 0;
}

void StringList::Delete(int32_t index) {
    if (index < 0 || index >= count)
        return;
    for (int32_t i = index; i + 1 < count; ++i)
        items[static_cast<size_t>(i)] = std::move(items[static_cast<size_t>(i + 1)]);
    --count;
    items[static_cast<size_t>(count)].clear();
}

std::string StringList::Get(int32_t index) const {
    if (index < 0 || index >= count)
        return std::string();
    return items[static_cast<size_t>(index)];
}

int32_t StringList::IndexOf(const std::string& text) const {
    for (int32_t i = 0; i < count; ++i)
        if (items[static_cast<size_t>(i)] == text)
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

std::string StringList::Values(const std::string& key) const {
    if (key.empty())
        return std::string();
    for (int32_t i = 0; i < count; ++i) {
        const std::string& item = items[static_cast<size_t>(i)];
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

void StringList::SetText(const char* buffer, int32_t length) {
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
