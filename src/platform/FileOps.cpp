#include "platform/FileOps.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace movarel {
namespace {

int PosixOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t PosixRead(int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); }
ssize_t PosixWrite(int fd, const void* buffer, size_t count) { return ::write(fd, buffer, count); }
off_t PosixSeek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }
int PosixClose(int fd) { return ::close(fd); }
int64_t PosixFreeBytes(const char* path) {
    struct statvfs st;
    if (::statvfs(path, &st) != 0)
        return -1;
    return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}
int PosixLstat(const char* path, struct stat* out) { return ::lstat(path, out); }

}  // namespace

FileOps PosixFileOps() {
    return FileOps{PosixOpen, PosixRead, PosixWrite, PosixSeek, PosixClose, PosixFreeBytes, PosixLstat};
}

SystemSeam& Files() {
    static SystemSeam seam(PosixFileOps());
    return seam;
}

FileOps SetFileOps(const FileOps& ops) {
    FileOps& current = Files();
    const FileOps previous = current;
    current = ops;
    return previous;
}

size_t WriteAll(int fd, const void* buffer, size_t count) {
    const char* p = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
        ssize_t n = Files().write(fd, p + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t ReadAll(int fd, void* buffer, size_t count) {
    char* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        ssize_t n = Files().read(fd, p + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

}  // namespace movarel
