#pragma once
// Byte streams, the string list, the engine lock and temporary file names:
// the small class library every reader of the player stands on.
// Positions, sizes and counts are signed 32-bit, as in the film format.
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace movarel {

// A failure with a message for the user ("Cannot read file %s", "MMTimer = 0").
class EqxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TqxStream {
public:
    virtual ~TqxStream() = default;
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
    int32_t CopyFrom(TqxStream& source, int32_t count);
    // The name used in write-failure messages.
    virtual std::string Name() const { return std::string(); }

    static constexpr int32_t kCopyBufferSize = 61440;
};

// Open modes of TqxFileStream.
constexpr int kModeCreate = 0xFFFF;    // create a new file, read-write
constexpr int kModeRead = 0;           // read, exclusive
constexpr int kModeReadShared = 32;    // read, others may read

class TqxFileStream : public TqxStream {
public:
    // Raises EqxError("Cannot open or create file.") when the file cannot be
    // opened. kModeCreate creates the file exclusively and never follows a
    // symbolic link: every file the player writes is new.
    TqxFileStream(const std::string& fileName, int mode);
    ~TqxFileStream() override;
    TqxFileStream(const TqxFileStream&) = delete;
    TqxFileStream& operator=(const TqxFileStream&) = delete;

    int32_t GetPosition() override;
    void SetPosition(int32_t offset) override;
    int32_t GetSize() override;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    void ReadBuffer(void* buffer, int32_t count) override;
    std::string Name() const override { return FFileName; }

    const std::string& FileName() const { return FFileName; }
    int Handle() const { return FHandle; }

    // Makes the stream show only length bytes of the file from base on:
    // positions, the size, reads and writes all stay inside that window, so
    // a part of a larger file can be used in place instead of copied out.
    void Restrict(int64_t base, int32_t length);
    // Where the window starts in the file (0 when the stream is not restricted).
    int64_t WindowBase() const { return FBase; }

private:
    int FHandle = -1;
    std::string FFileName;
    int64_t FBase = 0;
    int32_t FLength = -1;  // -1: the whole file
    // How many of count bytes fit between the position and the window's end.
    int32_t Room(int32_t count);
};

class TqxMemoryStream : public TqxStream {
public:
    TqxMemoryStream();
    int32_t GetPosition() override { return FPosition; }
    void SetPosition(int32_t offset) override;
    int32_t GetSize() override { return FSize; }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    void ReadBuffer(void* buffer, int32_t count) override;
    void SetCapacity(int32_t bytes);
    int32_t Capacity() const { return static_cast<int32_t>(FData.size()); }
    const uint8_t* Data() const { return FData.data(); }
    std::string Name() const override { return "memory"; }

private:
    std::vector<uint8_t> FData;
    int32_t FPosition = 0;
    int32_t FSize = 0;
};

class TqxStringList {
public:
    int32_t Add(const std::string& text);
    void Clear();
    void Delete(int32_t index);
    std::string Get(int32_t index) const;
    int32_t IndexOf(const std::string& text) const;
    int32_t Count() const { return FCount; }
    int32_t Capacity() const { return static_cast<int32_t>(FItems.size()); }
    // The trimmed value of the first "Key = Value" item whose trimmed key
    // equals key, ignoring case; empty when none.
    std::string Values(const std::string& key) const;
    // Appends the lines of a byte buffer (lines end in CR, CR LF or NUL).
    void SetText(const char* buffer, int32_t length);

private:
    int32_t FCount = 0;
    std::vector<std::string> FItems;
};

// The engine lock: re-entrant for the thread that holds it.
class TCriticalSection {
public:
    void Enter() { FLock.lock(); }
    void Leave() { FLock.unlock(); }
    std::recursive_mutex& Native() { return FLock; }

private:
    std::recursive_mutex FLock;
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
