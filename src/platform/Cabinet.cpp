#include "platform/Cabinet.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <fcntl.h>
#include <mspack.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileOps.h"
#include "platform/LittleEndian.h"

namespace movarel::cab {
namespace {

// A cabinet set longer than this is taken as a loop of next-cabinet names.
constexpr int kMaxCabinetsInSet = 256;

}  // namespace

// libmspack's functions with the state of one decompressor's files: each
// decompressor has its own, so two loads never share an error or a budget.
struct SeamSystem : mspack_system {
    explicit SeamSystem(const mspack_system& functions) : mspack_system(functions) {}
    int lastError = 0;  // errno of the last failed file operation
    // Handed to the next file opened for writing: the length the cabinet
    // declares for it. The decoder should never write more; if it does, the
    // write fails and the file is deleted like any other failed one.
    int64_t nextWriteBudget = -1;
};

namespace {

struct SeamFile : mspack_file {
    SeamSystem* system = nullptr;  // where its errors go
    int fd = -1;
    int64_t writeBudget = -1;  // bytes this file may still take; -1 = no bound
};

mspack_file* SeamOpen(mspack_system* self, const char* filename, int mode) {
    auto* sys = static_cast<SeamSystem*>(self);
    int flags = O_CLOEXEC;
    mode_t permissions = 0;
    switch (mode) {
        case MSPACK_SYS_OPEN_READ:
            flags |= O_RDONLY;
            break;
        case MSPACK_SYS_OPEN_WRITE: {
            // Output files are always new. A regular file in the way is an
            // earlier extraction and goes; anything else (a link, a folder)
            // stays, and the exclusive create below then fails.
            struct stat st;
            if (::lstat(filename, &st) == 0 && S_ISREG(st.st_mode))
                ::unlink(filename);
            flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
            permissions = 0600;
            break;
        }
        default:
            // libmspack's cabinet decompressor never updates or appends.
            sys->lastError = EINVAL;
            return nullptr;
    }
    int fd = Files().open(filename, flags, permissions);
    if (fd < 0) {
        sys->lastError = errno;
        return nullptr;
    }
    auto* file = new (std::nothrow) SeamFile;
    if (!file) {
        Files().close(fd);
        sys->lastError = ENOMEM;
        return nullptr;
    }
    file->system = sys;
    file->fd = fd;
    if (mode == MSPACK_SYS_OPEN_WRITE) {
        file->writeBudget = sys->nextWriteBudget;
        sys->nextWriteBudget = -1;
    }
    return file;
}

void SeamClose(mspack_file* file) {
    auto* f = static_cast<SeamFile*>(file);
    if (!f)
        return;
    if (Files().close(f->fd) != 0)
        f->system->lastError = errno;
    delete f;
}

int SeamRead(mspack_file* file, void* buffer, int bytes) {
    auto* f = static_cast<SeamFile*>(file);
    if (!f || bytes < 0)
        return -1;
    errno = 0;
    size_t n = ReadAll(f->fd, buffer, static_cast<size_t>(bytes));
    if (n < static_cast<size_t>(bytes) && errno != 0) {
        f->system->lastError = errno;
        if (n == 0)
            return -1;
    }
    return static_cast<int>(n);
}

int SeamWrite(mspack_file* file, void* buffer, int bytes) {
    auto* f = static_cast<SeamFile*>(file);
    if (!f || bytes < 0)
        return -1;
    if (f->writeBudget >= 0) {
        if (bytes > f->writeBudget) {
            f->system->lastError = EFBIG;
            return -1;
        }
        f->writeBudget -= bytes;
    }
    size_t n = WriteAll(f->fd, buffer, static_cast<size_t>(bytes));
    if (n != static_cast<size_t>(bytes)) {
        f->system->lastError = errno;
        return -1;
    }
    return bytes;
}

int SeamSeek(mspack_file* file, off_t offset, int mode) {
    auto* f = static_cast<SeamFile*>(file);
    if (!f)
        return -1;
    int whence = mode == MSPACK_SYS_SEEK_START ? SEEK_SET : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR : SEEK_END;
    if (Files().seek(f->fd, offset, whence) < 0) {
        f->system->lastError = errno;
        return -1;
    }
    return 0;
}

off_t SeamTell(mspack_file* file) {
    auto* f = static_cast<SeamFile*>(file);
    if (!f)
        return -1;
    return Files().seek(f->fd, 0, SEEK_CUR);
}

// libmspack's warnings (a truncated cabinet, a bad name) are not for the
// user: the outcome of each operation says what matters.
void SeamMessage(mspack_file*, const char*, ...) {}

void* SeamAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void SeamFree(void* block) { std::free(block); }
void SeamCopy(void* source, void* destination, size_t bytes) { std::memmove(destination, source, bytes); }

// The same functions for every decompressor.
constexpr mspack_system kSeamFunctions = {SeamOpen,    SeamClose, SeamRead, SeamWrite, SeamSeek, SeamTell,
                                          SeamMessage, SeamAlloc, SeamFree, SeamCopy,  nullptr};

// Owns one decompressor and every cabinet it opened. libmspack's close()
// frees a cabinet together with every cabinet appended to it, so a cabinet
// joined into a set is closed with the set and never on its own (that would
// free it twice); one that could not be joined is closed by itself.
class Session {
public:
    Session() : decompressor(owned.get()) {}
    ~Session() {
        if (!decompressor)
            return;
        for (auto it = cabinets.rbegin(); it != cabinets.rend(); ++it)
            decompressor->close(decompressor, *it);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    mscab_decompressor* Decompressor() { return decompressor; }
    SeamSystem& System() { return owned.System(); }

    // libmspack keeps the name pointer while the cabinet is open.
    mscabd_cabinet* Open(const std::string& path) {
        if (!decompressor)
            return nullptr;
        names.push_back(path);
        mscabd_cabinet* cab = decompressor->open(decompressor, const_cast<char*>(names.back().c_str()));
        if (cab)
            cabinets.push_back(cab);
        return cab;
    }

    // next now belongs to the set of the cabinet it was appended to.
    void Joined(mscabd_cabinet* next) {
        for (auto it = cabinets.begin(); it != cabinets.end(); ++it) {
            if (*it == next) {
                cabinets.erase(it);
                return;
            }
        }
    }

private:
    cab::Decompressor owned;
    mscab_decompressor* decompressor;
    std::deque<std::string> names;
    std::deque<mscabd_cabinet*> cabinets;
};

uint16_t DosDate(const mscabd_file* f) {
    int year = f->date_y - 1980;
    if (year < 0)
        year = 0;
    return static_cast<uint16_t>(((year & 0x7F) << 9) | ((static_cast<unsigned char>(f->date_m) & 0x0F) << 5) |
                                 (static_cast<unsigned char>(f->date_d) & 0x1F));
}

uint16_t DosTime(const mscabd_file* f) {
    return static_cast<uint16_t>(((static_cast<unsigned char>(f->time_h) & 0x1F) << 11) |
                                 ((static_cast<unsigned char>(f->time_m) & 0x3F) << 5) |
                                 ((static_cast<unsigned char>(f->time_s) / 2) & 0x1F));
}

uint16_t FolderIndex(const mscabd_cabinet* cab, const mscabd_file* file) {
    uint16_t index = 0;
    for (const mscabd_folder* folder = cab->folders; folder; folder = folder->next, ++index)
        if (folder == file->folder)
            return index;
    return index;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty())
        return name;
    if (directory.back() == '/')
        return directory + name;
    return directory + "/" + name;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsRealDirectory(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates path and its missing parents (mode 0700). An existing component
// that is not a directory of its own (a link, a file) fails.
bool MakeDirectories(const std::string& path) {
    if (path.empty())
        return true;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        std::string part = path.substr(0, pos);
        if (part.empty() || part == "/")
            continue;
        if (::mkdir(part.c_str(), 0700) == 0)
            continue;
        if (errno != EEXIST)
            return false;
        struct stat st;
        if (::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
    }
    return true;
}

// Creates the subdirectories of a safe relative path below root; every
// component must be a real directory, so a link planted there cannot lead
// the file elsewhere.
bool MakeSubdirectories(const std::string& root, const std::string& relative) {
    size_t pos = 0;
    while ((pos = relative.find('/', pos)) != std::string::npos) {
        std::string dir = JoinPath(root, relative.substr(0, pos));
        if (::mkdir(dir.c_str(), 0700) != 0 && (errno != EEXIST || !IsRealDirectory(dir)))
            return false;
        ++pos;
    }
    return true;
}

void ApplyStoredMetadata(const std::string& path, const mscabd_file* file) {
    int fd = Files().open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (fd < 0)
        return;
    int64_t when = DosDateTimeToUnix(DosDate(file), DosTime(file));
    if (when >= 0) {
        struct timespec times[2];
        times[0].tv_sec = static_cast<time_t>(when);
        times[0].tv_nsec = 0;
        times[1] = times[0];
        ::futimens(fd, times);
    }
    // Hidden, system and archive mean nothing here; read-only does.
    if (file->attribs & MSCAB_ATTRIB_RDONLY) {
        struct stat st;
        if (::fstat(fd, &st) == 0)
            ::fchmod(fd, st.st_mode & 07555);
    }
    Files().close(fd);
}

}  // namespace

Decompressor::Decompressor() : system_(std::make_unique<SeamSystem>(kSeamFunctions)) {
    decompressor_ = mspack_create_cab_decompressor(system_.get());
    if (!decompressor_)
        return;
    int selftest = MSPACK_ERR_OK;
    MSPACK_SYS_SELFTEST(selftest);
    if (selftest != MSPACK_ERR_OK) {
        mspack_destroy_cab_decompressor(decompressor_);
        decompressor_ = nullptr;
    }
}

Decompressor::~Decompressor() {
    if (decompressor_)
        mspack_destroy_cab_decompressor(decompressor_);
}

std::string SafeRelativePath(const std::string& cabinetName) {
    if (cabinetName.empty() || cabinetName.size() > kMaxEntryName)
        return std::string();
    if (cabinetName.front() == '/' || cabinetName.front() == '\\')
        return std::string();
    if (cabinetName.find('\0') != std::string::npos)
        return std::string();
    std::string result;
    size_t start = 0;
    while (start <= cabinetName.size()) {
        size_t end = cabinetName.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = cabinetName.size();
        std::string part = cabinetName.substr(start, end - start);
        if (part == "..")
            return std::string();
        if (!part.empty() && part != ".") {
            if (!result.empty())
                result += '/';
            result += part;
        }
        start = end + 1;
    }
    return result;
}

int64_t DosDateTimeToUnix(uint16_t date, uint16_t time) {
    struct tm t{};
    t.tm_year = 80 + (date >> 9);
    t.tm_mon = ((date >> 5) & 0x0F) - 1;
    t.tm_mday = date & 0x1F;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 0x3F;
    t.tm_sec = (time & 0x1F) * 2;
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 || t.tm_hour > 23 || t.tm_min > 59 || t.tm_sec > 59)
        return -1;
    t.tm_isdst = -1;
    time_t result = std::mktime(&t);
    return result == static_cast<time_t>(-1) ? -1 : static_cast<int64_t>(result);
}

bool IsEmptyCabinet(const std::string& path) {
    int fd = Files().open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    uint8_t h[36];
    const size_t got = ReadAll(fd, h, sizeof h);
    const off_t size = Files().seek(fd, 0, SEEK_END);
    Files().close(fd);
    if (got != sizeof h || size < 0)
        return false;
    return std::memcmp(h, "MSCF", 4) == 0 && h[25] == 1 && ReadU16LE(h + 28) == 0 && ReadU32LE(h + 8) >= sizeof h &&
           ReadU32LE(h + 8) <= static_cast<uint64_t>(size) && ReadU32LE(h + 16) <= static_cast<uint64_t>(size);
}

bool IsCabinetFile(const std::string& path) {
    Session session;
    return session.Open(path) != nullptr || IsEmptyCabinet(path);
}

bool ListCabinet(const std::string& path, std::vector<CabEntry>& entries) {
    entries.clear();
    Session session;
    mscabd_cabinet* cab = session.Open(path);
    if (!cab)
        return IsEmptyCabinet(path);
    for (const mscabd_file* f = cab->files; f; f = f->next) {
        CabEntry e;
        e.name = f->filename ? f->filename : "";
        e.size = f->length;
        e.date = DosDate(f);
        e.time = DosTime(f);
        e.attributes = static_cast<uint16_t>(f->attribs);
        e.folderIndex = FolderIndex(cab, f);
        entries.push_back(std::move(e));
    }
    return true;
}

ExtractResult ExtractCabinet(const std::string& cabinetPath, const std::string& destination,
                             const ExtractOptions& options) {
    ExtractResult result;
    Session session;
    mscab_decompressor* d = session.Decompressor();
    mscabd_cabinet* first = session.Open(cabinetPath);
    if (!d || !first) {
        result.opened = IsEmptyCabinet(cabinetPath);
        return result;
    }
    result.opened = true;

    // Join the following cabinets of a set; a next cabinet that is missing
    // or does not match ends the set, and the files that run into it fail.
    if (options.followSet) {
        std::set<std::string> seen{cabinetPath};
        mscabd_cabinet* last = first;
        const std::string folder = DirectoryOf(cabinetPath);
        for (int n = 1; n < kMaxCabinetsInSet && (last->flags & MSCAB_HDR_NEXTCAB) && last->nextname; ++n) {
            std::string nextName = last->nextname;
            if (nextName.empty() || nextName.find_first_of("/\\") != std::string::npos || nextName == "." ||
                nextName == "..")
                break;
            std::string nextPath = folder + nextName;
            if (!seen.insert(nextPath).second || !IsRegularFile(nextPath))
                break;
            mscabd_cabinet* next = session.Open(nextPath);
            if (!next || d->append(d, last, next) != MSPACK_ERR_OK)
                break;
            session.Joined(next);
            last = next;
        }
    }

    if (!MakeDirectories(destination))
        return result;

    int64_t total = 0;
    for (mscabd_file* f = first->files; f; f = f->next) {
        // Sizes come from the cabinet: held against the bound and the disk
        // before a byte is decoded.
        const int64_t length = f->length;
        const int64_t freeBytes = Files().freeBytes(destination.c_str());
        if (options.maxBytes > 0 && total + length > options.maxBytes) {
            ++result.tooLarge;
            continue;
        }
        if (freeBytes >= 0 && length > freeBytes) {
            ++result.noSpace;
            continue;
        }
        std::string relative = SafeRelativePath(f->filename ? f->filename : "");
        if (relative.empty() || !MakeSubdirectories(destination, relative)) {
            ++result.skipped;
            continue;
        }
        std::string path = JoinPath(destination, relative);
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            ++result.skipped;
            continue;
        }
        SeamSystem& seam = session.System();
        seam.nextWriteBudget = length;
        seam.lastError = 0;
        int error = d->extract(d, f, const_cast<char*>(path.c_str()));
        seam.nextWriteBudget = -1;
        if (error == MSPACK_ERR_OPEN) {
            ++result.failed;
            continue;
        }
        if (error != MSPACK_ERR_OK) {
            // We created this file; a partial one would pass for damaged data.
            ::unlink(path.c_str());
            ++result.failed;
            // The disk refused the data: the next file would fare no better,
            // and the caller must tell the user which file it was. A decoder
            // that runs past the file's declared size (EFBIG) is damage.
            if (error == MSPACK_ERR_WRITE && seam.lastError != EFBIG) {
                result.writeFailed = path;
                result.writeError = seam.lastError;
                return result;
            }
            continue;
        }
        ApplyStoredMetadata(path, f);
        total += length;
        ++result.written;
        result.files.push_back(relative);
    }
    return result;
}

}  // namespace movarel::cab
