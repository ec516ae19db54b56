#include "platform/WorkDirectory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/FileOps.h"

namespace movarel {

namespace {

// "qxP_" and at least four digits: the only names a work directory is given.
bool IsWorkDirectoryName(const char* name) {
    if (std::strncmp(name, "qxP_", 4) != 0)
        return false;
    size_t digits = 0;
    for (const char* p = name + 4; *p != '\0'; ++p, ++digits)
        if (*p < '0' || *p > '9')
            return false;
    return digits >= 4;
}

bool SameEntry(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

int OpenDirectoryAt(int parent, const char* name) {
    return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Deletes everything below the directory open as fd. Entries are reached
// through their parent's descriptor, so a link is removed as itself and
// nothing it points at is ever opened.
void RemoveContents(int fd) {
    const int listing = ::dup(fd);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0)
            ::close(listing);
        return;
    }
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st;
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = OpenDirectoryAt(fd, name);
            if (sub >= 0) {
                RemoveContents(sub);
                ::close(sub);
            }
            ::unlinkat(fd, name, AT_REMOVEDIR);
        } else {
            ::unlinkat(fd, name, 0);
        }
    }
    ::closedir(dir);
}

}  // namespace

std::string GetTempPath() {
    const char* env = std::getenv("TMPDIR");
    std::string path = (env && *env) ? env : "/tmp";
    if (path.back() != '/')
        path += '/';
    return path;
}

WorkDirectory WorkDirectory::Create(const std::string& tempPath) {
    for (long n = 0; n < 100000000L; ++n) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%04ld", n);
        const std::string candidate = tempPath + "qxP_" + digits;
        if (::mkdir(candidate.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return WorkDirectory();
        }
        // Until the lock is taken, another start-up's clean-up may take the
        // new folder for stale and remove it: then the name is given up.
        const int lock = OpenDirectoryAt(AT_FDCWD, candidate.c_str());
        if (lock < 0)
            continue;
        if (::flock(lock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(lock);  // a clean-up holds it and is removing it
            continue;
        }
        // (A file system without locks leaves the folder unheld; a clean-up
        // there cannot lock either, and so removes nothing.)
        struct stat opened, named;
        if (::fstat(lock, &opened) != 0 || ::lstat(candidate.c_str(), &named) != 0 || !SameEntry(opened, named)) {
            ::close(lock);  // removed, and the name made anew by someone else
            continue;
        }
        return WorkDirectory(candidate + "/", lock);
    }
    return WorkDirectory();
}

WorkDirectory::WorkDirectory(WorkDirectory&& other) noexcept
    : path(std::move(other.path)), lock(other.lock) {
    other.path.clear();
    other.lock = -1;
}

WorkDirectory& WorkDirectory::operator=(WorkDirectory&& other) noexcept {
    if (this != &other) {
        Remove();
        path = std::move(other.path);
        lock = other.lock;
        other.path.clear();
        other.lock = -1;
    }
    return *this;
}

void WorkDirectory::Remove() {
    // Removed while still held, so no clean-up can meet it half gone.
    if (!path.empty())
        ::rmdir(path.c_str());
    if (lock >= 0)
        ::close(lock);
    path.clear();
    lock = -1;
}

void WorkDirectory::RemoveAll() {
    if (lock >= 0)
        RemoveContents(lock);
    Remove();
}

void RemoveStaleWorkDirectories(const std::string& tempPath) {
    DIR* temp = ::opendir(tempPath.c_str());
    if (temp == nullptr)
        return;
    const int tempFd = ::dirfd(temp);
    const uid_t me = ::geteuid();
    while (dirent* entry = ::readdir(temp)) {
        const char* name = entry->d_name;
        if (!IsWorkDirectoryName(name))
            continue;
        // The temporary path is shared: a link, a file or another user's
        // folder under such a name is none of ours.
        struct stat named;
        if (Files().lstat((tempPath + name).c_str(), &named) != 0 || !S_ISDIR(named.st_mode) || named.st_uid != me)
            continue;
        const int fd = OpenDirectoryAt(tempFd, name);
        if (fd < 0)
            continue;
        struct stat opened;
        // Held: its player or tool runs. A lock that cannot be tried at all
        // proves nothing, so that folder stays too.
        if (::fstat(fd, &opened) != 0 || !SameEntry(opened, named) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        RemoveContents(fd);
        ::unlinkat(tempFd, name, AT_REMOVEDIR);
        ::close(fd);
    }
    ::closedir(temp);
}

}  // namespace movarel
