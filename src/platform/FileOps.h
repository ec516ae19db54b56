#pragma once
// The narrow seam in front of every file operation of the film code. All
// streams and the cabinet layer go through it, so a test can make a write fail
// (a full disk), report a nearly full disk, or count what was opened, without
// touching the real system.
#include <cstdint>
#include <mutex>
#include <sys/stat.h>
#include <sys/types.h>

#include "platform/UserMessages.h"

namespace movarel {

struct FileOps {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* buffer, size_t count);
    ssize_t (*write)(int fd, const void* buffer, size_t count);
    off_t (*seek)(int fd, off_t offset, int whence);
    int (*close)(int fd);
    // Bytes an unprivileged process may still write below path; -1 when unknown.
    int64_t (*freeBytes)(const char* path);
    // The entry itself, a link not followed: who owns a folder in the shared
    // temporary path decides whether the player may clean it up.
    int (*lstat)(const char* path, struct stat* out);
};

// The process's seam in front of the system: the file operations and, beside
// them, the message function everything the user is told goes through
// (ShowMessage), as a cabinet library's system table holds both. It is the
// one place a test or the shell replaces either.
struct SystemSeam : FileOps {
    explicit SystemSeam(const FileOps& ops) : FileOps(ops) {}
    // Messages come from the timer thread too: the handler is swapped and
    // read under the lock. Empty means standard error.
    std::mutex MessageLock;
    MessageBoxHandler Message;
};

// The seam in force: the POSIX operations and messages on standard error
// unless a test, a tool or the shell replaced them (SetFileOps,
// SetMessageBoxHandler).
SystemSeam& Files();

// Replaces the file operations and returns the previous ones.
FileOps SetFileOps(const FileOps& ops);

// The plain POSIX operations.
FileOps PosixFileOps();

// Writes all of count bytes, retrying short writes; returns the bytes written
// (less than count when the platform refused the rest, errno tells why).
size_t WriteAll(int fd, const void* buffer, size_t count);

// Reads up to count bytes, retrying short reads until end of file or error.
size_t ReadAll(int fd, void* buffer, size_t count);

}  // namespace movarel
