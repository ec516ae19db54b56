#pragma once
// The system temporary path and the per-process work directories in it.
#include <string>
#include <utility>

namespace movarel {

// $TMPDIR, else /tmp, always with a trailing '/'.
std::string GetTempPath();

// One work directory, temp + "qxP_" + n (at least four digits) + "/", held
// by a lock on the directory for as long as this object lives, so that
// another player's clean-up can tell it from one whose process was killed.
class WorkDirectory {
public:
    WorkDirectory() = default;
    // Makes the first free name with mkdir mode 0700. A name that exists (a
    // directory, a file or a link of another user) is never taken over.
    // Empty (no path) when nothing could be made.
    static WorkDirectory Create(const std::string& tempPath);
    ~WorkDirectory() { Remove(); }
    WorkDirectory(WorkDirectory&& other) noexcept;
    WorkDirectory& operator=(WorkDirectory&& other) noexcept;
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;

    // With a trailing '/'; empty when there is none.
    const std::string& Path() const { return path; }
    // Removes the directory when it is empty (one that still holds files
    // stays, for the next start-up to clean) and lets go of the lock.
    void Remove();
    // Removes everything in the directory (links as themselves, nothing they
    // point at), then the directory.
    void RemoveAll();

private:
    WorkDirectory(std::string madePath, int heldLock) : path(std::move(madePath)), lock(heldLock) {}
    std::string path;
    int lock = -1;
};

// Removes the work directories in tempPath that no running process holds:
// left by a player or tool that was killed or crashed. Only directories
// named "qxP_" and four or more digits, owned by this user, are touched;
// links are never followed, and nothing below is followed either.
void RemoveStaleWorkDirectories(const std::string& tempPath);

}  // namespace movarel
