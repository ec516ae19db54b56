#pragma once
// Byte streams, the string list and temporary file names:
// the small class library every reader of the player stands on.
// Positions, sizes and counts are signed 32-bit, as in the film format.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace movarel {

// A failure with a message for the user ("Cannot read file %s", "MMTimer = 0").
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Stream {
public:
    virtual ~Stream() = default;
    virtual int32_t GetPosition() = 0;
    virtual void SetPosition(int32_t offset) = 0;
    virtual int32_t GetSize() = 0;
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    virtual void ReadBuffer(void* buffer, int32_t count) = 0;
    // Copies count bytes from source (count 0: the whole source from its start)
    // through one buffer of at most 61440 bytes. Raises the source's read error
    // on a short source and "Cannot write file %s" when this stream takes less
    // than it is given (a full disk must not pass as a complete copy).
    int32_t CopyFrom(Stream& source, int32_t count);
    // The name used in write-failure messages.
    virtual std::string Name() const { return std::string(); }

    static constexpr int32_t kCopyBufferSize = 61440;
};

// Open modes of FileStream.
constexpr int kModeCreate = 0xFFFF;    // create a new file, read-write
constexpr int kModeRead = 0;           // read, exclusive
constexpr int kModeReadShared = 32;    // read, others may read

class FileStream : public Stream {
public:
    // Raises Error("Cannot open or create file.") when the file cannot be
    // opened. kModeCreate creates the file exclusively and never follows a
    // symbolic link: every file the player writes is new.
    FileStream(const std::string& fileName, int mode);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    int32_t GetPosition() override;
    void SetPosition(int32_t offset) override;
    int32_t GetSize() override;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    void ReadBuffer(void* buffer, int32_t count) override;
    std::string Name() const override { return fileName; }

    const std::string& FileName() const { return fileName; }
    int Handle() const { return handle; }

    // Makes the stream show only length bytes of the file from base on:
    // positions, the size, reads and writes all stay inside that window, so
    // a part of a larger file can be used in place instead of copied out.
    void Restrict(int64_t windowStart, int32_t windowLength);
    // Where the window starts in the file (0 when the stream is not restricted).
    int64_t WindowBase() const { return base; }

    // Reads up to count bytes at offset (inside the window), leaving the
    // stream's position alone, so readers never share a position. Returns
    // the bytes read.
    int32_t ReadAt(int64_t offset, void* buffer, int32_t count) const;
    // The bytes in the window (the whole file when there is none), without
    // moving the position.
    int32_t Length() const;

private:
    int handle = -1;
    std::string fileName;
    int64_t base = 0;
    int32_t length = -1;  // -1: the whole file
    // How many of count bytes fit between the position and the window's end.
    int32_t Room(int32_t count);
};

class MemoryStream : public Stream {
public:
    MemoryStream();
    int32_t GetPosition() override { return position; }
    void SetPosition(int32_t offset) override;
    int32_t GetSize() override { return size; }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    void ReadBuffer(void* buffer, int32_t count) override;
    void SetCapacity(int32_t bytes);
    int32_t Capacity() const { return static_cast<int32_t>(data.size()); }
    const uint8_t* Data() const { return data.data(); }
    std::string Name() const override { return "memory"; }

private:
    std::vector<uint8_t> data;
    int32_t position = 0;
    int32_t size = 0;
};

class StringList {
public:
    int32_t Add(const std::string& text);
    void Clear();
    void Delete(int32_t index);
    std::string Get(int32_t index) const;
    int32_t IndexOf(const std::string& text) const;
    int32_t Count() const { return count; }
    int32_t Capacity() const { return static_cast<int32_t>(items.size()); }
    // The trimmed value of the first "Key = Value" item whose trimmed key
    // equals key, ignoring case; empty when none.
    std::string Values(const std::string& key) const;
    // Appends the lines of a byte buffer (lines end in CR, CR LF or NUL).
    void SetText(const char* buffer, int32_t length);

private:
    int32_t count = 0;
    std::vector<std::string> items;
};

// directory (empty: the system temporary path) + prefix + a 17-digit local
// time stamp "YYYYMMDDhhnnsszzz" + "." + extension, for the first time stamp
// whose name does not exist. Creates nothing.
std::string MakeTempFileName(const std::string& extension, const std::string& directory,
                             const std::string& prefix);

// Removes leading and trailing characters with codes up to 32.
std::string TrimText(const std::string& text);

bool FileExists(const std::string& path);

}  // namespace movarel
