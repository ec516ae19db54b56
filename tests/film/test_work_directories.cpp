// Work directories in the shared temporary path: each is held by its process,
// and a start-up removes only those of this user that nobody holds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/FileOps.h"
#include "platform/WorkDirectory.h"
#include "test_dirs.h"

using namespace movarel;
namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

// Tries the lock the way a clean-up does, from a descriptor of its own.
bool LockIsFree(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

// Another process that holds dir's lock until it is killed.
pid_t HoldInAnotherProcess(const std::string& dir) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        const char ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        for (;;) ::pause();
    }
    char ok = 'n';
    (void)!::read(ready[0], &ok, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return ok == 'y' ? pid : -1;
}

// The file-operation seam reports this one folder as another user's.
std::string foreignFolder;
int LstatWithAForeignFolder(const char* path, struct stat* out) {
    const int r = ::lstat(path, out);
    if (r == 0 && path == foreignFolder) out->st_uid = ::geteuid() + 1;
    return r;
}

}  // namespace

TEST(WorkDirectories, EachIsHeldForTheLifeOfItsOwner) {
    TestDir temp;
    WorkDirectory first = WorkDirectory::Create(temp.path);
    WorkDirectory second = WorkDirectory::Create(temp.path);
    ASSERT_EQ(first.Path(), temp.path + "qxP_0000/");
    ASSERT_EQ(second.Path(), temp.path + "qxP_0001/");
    EXPECT_FALSE(LockIsFree(first.Path()));
    RemoveStaleWorkDirectories(temp.path);
    EXPECT_TRUE(fs::is_directory(first.Path()));
    EXPECT_TRUE(fs::is_directory(second.Path()));

    // Moved, it is still held; removed, it is gone and its lock with it.
    WorkDirectory moved = std::move(first);
    EXPECT_FALSE(LockIsFree(moved.Path()));
    const std::string path = moved.Path();
    moved.Remove();
    EXPECT_FALSE(fs::exists(path));
    // One that still holds files stays, no longer held, for the next start-up.
    const std::string kept = second.Path();
    Touch(kept + "left");
    second.Remove();
    EXPECT_TRUE(fs::exists(kept + "left"));
    EXPECT_TRUE(LockIsFree(kept));
}

TEST(WorkDirectories, StartUpRemovesOnlyStaleOnesOfThisUser) {
    TestDir temp, outside;
    auto dir = [&](const std::string& name) {
        fs::create_directory(temp.path + name);
        return temp.path + name + "/";
    };
    // Left by a killed player: files, an unpack folder, a link to a file of ours.
    const std::string stale = dir("qxP_0000");
    Touch(stale + "qxS_1.~qxflm");
    fs::create_directory(stale + "qxS_2.~cab");
    Touch(stale + "qxS_2.~cab/data.dat");
    Touch(outside.path + "precious");
    fs::create_symlink(outside.path + "precious", stale + "qxS_3.mp3");
    fs::create_directory_symlink(outside.path, stale + "qxS_4.~cab");
    const std::string held = dir("qxP_0001");
    Touch(held + "playing");
    const std::string foreign = dir("qxP_0002");
    Touch(foreign + "theirs");
    fs::create_directory(outside.path + "linked");
    Touch(outside.path + "linked/mine");
    fs::create_directory_symlink(outside.path + "linked", temp.path + "qxP_0003");
    Touch(temp.path + "qxP_0004");  // a file, not a folder
    for (const char* other : {"qxP_12", "qxP_0005x", "qxP_", "qxs_0006", "notes"}) Touch(dir(other) + "kept");

    const pid_t holder = HoldInAnotherProcess(held);
    ASSERT_GT(holder, 0);
    foreignFolder = temp.path + "qxP_0002";
    FileOps ops = PosixFileOps();
    ops.lstat = LstatWithAForeignFolder;
    const FileOps previous = SetFileOps(ops);
    RemoveStaleWorkDirectories(temp.path);
    SetFileOps(previous);

    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(outside.path + "precious"));
    EXPECT_TRUE(fs::exists(outside.path + "linked/mine"));
    EXPECT_TRUE(fs::exists(held + "playing"));
    EXPECT_TRUE(fs::exists(foreign + "theirs"));
    EXPECT_TRUE(fs::is_symlink(temp.path + "qxP_0003"));
    EXPECT_TRUE(fs::is_regular_file(temp.path + "qxP_0004"));
    for (const char* other : {"qxP_12", "qxP_0005x", "qxP_", "qxs_0006", "notes"})
        EXPECT_TRUE(fs::exists(temp.path + other + "/kept")) << other;

    // Once its process is gone, the held one is stale as well; a new work
    // directory takes the first free name again.
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    SetFileOps(ops);
    RemoveStaleWorkDirectories(temp.path);
    SetFileOps(previous);
    EXPECT_FALSE(fs::exists(held));
    EXPECT_TRUE(fs::exists(foreign + "theirs"));
    WorkDirectory next = WorkDirectory::Create(temp.path);
    EXPECT_EQ(next.Path(), temp.path + "qxP_0000/");
}
