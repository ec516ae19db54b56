#pragma once
// The cabinet layer: lists and extracts cabinet archives with libmspack.
// Every file libmspack touches goes through Files() (src/platform/FileOps.h),
// so a test can make a write fail. Output files are always created fresh
// (exclusively, mode 0600, never through a symbolic link) and a name from
// inside a cabinet never leads outside the destination directory.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct mscab_decompressor;

namespace movarel::cab {

// Longest file name taken from a cabinet's file table.
constexpr size_t kMaxEntryName = 780;

struct CabEntry {
    std::string name;        // as stored in the cabinet ('\\' separators)
    uint32_t size = 0;       // uncompressed
    uint16_t date = 0;       // DOS date
    uint16_t time = 0;       // DOS time
    uint16_t attributes = 0;
    uint16_t folderIndex = 0;
};

// Whether libmspack can open the file as a cabinet (header and file table
// complete and consistent). A file that cannot be opened is not a cabinet.
bool IsCabinetFile(const std::string& path);

// libmspack refuses a cabinet without files; its header alone makes it one
// here (complete, signed "MSCF", version 1.x, no files, sizes within the file).
bool IsEmptyCabinet(const std::string& path);

// Lists the cabinet's files; false when it is not a cabinet.
bool ListCabinet(const std::string& path, std::vector<CabEntry>& entries);

struct ExtractOptions {
    // Follow the cabinet set into the next cabinets (they must sit in the
    // same directory as the first one).
    bool followSet = true;
    // The most one extraction may write, all its files together; 0 = no
    // bound. A file that would go beyond it is not decoded at all, so a small
    // cabinet that declares a huge file cannot fill the disk.
    int64_t maxBytes = 0;
};

struct ExtractResult {
    bool opened = false;  // the cabinet could be opened
    int written = 0;      // files extracted completely
    int skipped = 0;      // unsafe names, or a destination that is not a regular file
    int failed = 0;       // decoding or writing failed; nothing was left behind
    int tooLarge = 0;     // not decoded: would go beyond maxBytes
    int noSpace = 0;      // not decoded: larger than the free space of the disk
    // The file that could not be written (a full disk, an I/O error), with
    // the errno of the failure; extraction stops there. Empty when none.
    std::string writeFailed;
    int writeError = 0;
    // What was written, relative to the destination ('/' separators), in
    // extraction order; the cabinet's own listing may disagree with it.
    std::vector<std::string> files;
};

// Extracts every file into destination (created when missing). A file whose
// decoding or writing fails is deleted, never left half-written; so is one
// that would write more than the cabinet declares for it. The stored DOS date
// and time (local time) and the read-only attribute are applied.
ExtractResult ExtractCabinet(const std::string& cabinetPath, const std::string& destination,
                             const ExtractOptions& options = {});

// The relative path ('/' separators) a cabinet name is extracted to, or empty
// when the name must not be extracted: absolute, a ".." component, longer than
// kMaxEntryName, or nothing left after dropping empty and "." components.
std::string SafeRelativePath(const std::string& cabinetName);

// DOS date and time (local time) to seconds since the epoch; -1 when invalid.
int64_t DosDateTimeToUnix(uint16_t date, uint16_t time);

struct SeamSystem;

// A cabinet decompressor whose files go through the I/O seam (Files()); its
// write mode creates files exclusively, as above.
class Decompressor {
public:
    Decompressor();
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    // Null when libmspack cannot be set up.
    mscab_decompressor* get() const { return decompressor_; }
    SeamSystem& System() { return *system_; }

private:
    // libmspack keeps the pointer: the system outlives the decompressor.
    std::unique_ptr<SeamSystem> system_;
    mscab_decompressor* decompressor_ = nullptr;
};

}  // namespace movarel::cab
