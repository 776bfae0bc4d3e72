#include "platform/sys/AtomicFile.h"

#include "platform/sys/AnotherUser.h"
#include "platform/sys/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ketra::sys;
using ketra::test::RunAsAnotherUser;
using ketra::test::TempDir;

namespace {

std::string Slurp(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFile(path, &bytes, nullptr)) << path;
    return bytes;
}

int CountEntries(const std::string& directory) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++n;
    return n;
}

// Runs `body` in a forked child and returns its wait status.
template <class F> int InChild(F body) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

} // namespace

TEST(AtomicFile, WritesReplacesAndLeavesNoTemporary) {
    TempDir dir;
    const std::string path = dir.File("a.txt");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "first", &error)) << error;
    EXPECT_EQ(Slurp(path), "first");
    std::string binary("x\0y\xff", 4);
    ASSERT_TRUE(WriteFileAtomically(path, binary, &error)) << error;
    EXPECT_EQ(Slurp(path), binary);
    ASSERT_TRUE(WriteFileAtomically(path, "", &error)) << error;
    EXPECT_EQ(Slurp(path), "");
    EXPECT_EQ(CountEntries(dir.Path()), 1);
}

TEST(AtomicFile, KeepsPermissionsAndFollowsLinks) {
    TempDir dir;
    const std::string target = dir.File("target.reg");
    ASSERT_TRUE(WriteFileAtomically(target, "old", nullptr));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    const std::string link = dir.File("link.reg");
    ASSERT_EQ(symlink("target.reg", link.c_str()), 0);

    ASSERT_TRUE(WriteFileAtomically(link, "new", nullptr));
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_EQ(Slurp(target), "new");
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFile, ReadOnlyTargetIsRefusedAndItsGroupKept) {
    TempDir dir;
    const std::string target = dir.File("plot.xml");
    ASSERT_TRUE(WriteFileAtomically(target, "old", nullptr));
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(target, "new", &error));
    EXPECT_EQ(error, "cannot write '" + target + "': " + std::strerror(EACCES));
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_EQ(CountEntries(dir.Path()), 1);
    EXPECT_TRUE(IsReadOnlyFile(target));

    // Writable again, in a group of ours other than the primary one where we have one (as
    // root any group will do): the replacement keeps it.
    ASSERT_EQ(chmod(target.c_str(), 0664), 0);
    gid_t group = getegid();
    gid_t groups[64];
    const int n = getgroups(64, groups);
    for (int i = 0; i < n; ++i)
        if (groups[i] != getegid())
            group = groups[i];
    if (geteuid() == 0)
        group = 65534;
    ASSERT_EQ(chown(target.c_str(), static_cast<uid_t>(-1), group), 0);
    ASSERT_TRUE(WriteFileAtomically(target, "new", &error)) << error;
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
    EXPECT_FALSE(IsReadOnlyFile(target));
    EXPECT_FALSE(IsReadOnlyFile(dir.File("missing")));
}

TEST(AtomicFile, FailuresNameThePathAndLeaveNothing) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir.File("missing/x.reg"), "data", &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    EXPECT_EQ(CountEntries(dir.Path()), 0);

    std::string bytes = "stale";
    EXPECT_FALSE(ReadFile(dir.File("none"), &bytes, &error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_NE(error.find("none"), std::string::npos) << error;
    EXPECT_FALSE(ReadFile(dir.Path(), &bytes, &error)) << "a folder is not a file";
    EXPECT_FALSE(WriteFileAtomically("", "x", &error));
}

TEST(AtomicFile, MakeParentDirectoriesCreatesTheChain) {
    TempDir dir;
    const std::string path = dir.File("a/b/c/settings.reg");
    std::string error;
    ASSERT_TRUE(MakeParentDirectories(path, &error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
    EXPECT_TRUE(WriteFileAtomically(path, "ok", &error)) << error;
    ASSERT_TRUE(WriteFileAtomically(dir.File("plain"), "f", nullptr));
    EXPECT_FALSE(MakeParentDirectories(dir.File("plain/x"), &error));
}

TEST(AtomicFile, IdentityNoticesRewritesOfTheSameSize) {
    TempDir dir;
    const std::string path = dir.File("id");
    EXPECT_FALSE(GetFileIdentity(path).exists);
    ASSERT_TRUE(WriteFileAtomically(path, "aaaa", nullptr));
    const FileIdentity first = GetFileIdentity(path);
    EXPECT_TRUE(first.exists);
    EXPECT_EQ(first.size, 4);
    EXPECT_EQ(first, GetFileIdentity(path));
    ASSERT_TRUE(WriteFileAtomically(path, "bbbb", nullptr));
    EXPECT_NE(first, GetFileIdentity(path)) << "a replacement has a new inode";
}

// A writer that dies after writing its temporary but before renaming it must leave the
// previous content in place.
TEST(AtomicFile, WriterKilledBeforeRenameLeavesOldFile) {
    TempDir dir;
    const std::string path = dir.File("settings.reg");
    ASSERT_TRUE(WriteFileAtomically(path, "old content", nullptr));
    const int status = InChild([&] {
        test_hooks::SetBeforeRenameHook([](const std::string&) { raise(SIGKILL); });
        WriteFileAtomically(path, "new content that never lands", nullptr);
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_EQ(Slurp(path), "old content");
    EXPECT_EQ(CountEntries(dir.Path()), 2) << "the dead writer's temporary";
    ASSERT_TRUE(WriteFileAtomically(dir.File("other"), "x", nullptr));
    RemoveStaleTemporaries(path);
    EXPECT_EQ(CountEntries(dir.Path()), 2) << "only the temporary goes";
    EXPECT_EQ(Slurp(path), "old content");
}

// The streamed form: what goes through the stream and the descriptor lands together on
// Commit; until then, and when the object is dropped, the old file stays as it was.
TEST(AtomicFile, StreamedWriteLandsOnlyOnCommit) {
    TempDir dir;
    const std::string path = dir.File("picture.bin");
    ASSERT_TRUE(WriteFileAtomically(path, "old", nullptr));
    std::string error;
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(path, &error)) << error;
        ASSERT_NE(file.Stream(), nullptr);
        ASSERT_GE(std::fputs("never", file.Stream()), 0);
        std::fflush(file.Stream());
    }
    EXPECT_EQ(Slurp(path), "old") << "dropped without Commit";
    EXPECT_EQ(CountEntries(dir.Path()), 1) << "the dropped temporary is removed";

    AtomicFile file;
    ASSERT_TRUE(file.Open(path, &error)) << error;
    ASSERT_TRUE(file.Write("head,", &error)) << error;
    std::fputs("stream,", file.Stream());
    std::fflush(file.Stream());
    ASSERT_EQ(write(file.Descriptor(), "fd", 2), 2);
    EXPECT_EQ(Slurp(path), "old") << "visible before Commit";
    ASSERT_TRUE(file.Commit(&error)) << error;
    EXPECT_EQ(Slurp(path), "head,stream,fd");
    EXPECT_EQ(CountEntries(dir.Path()), 1);
    EXPECT_FALSE(file.Commit(&error)) << "a second Commit has nothing to land";
    EXPECT_EQ(Slurp(path), "head,stream,fd");
}

TEST(AtomicFile, NamesThatAreNoFileAreRefused) {
    TempDir dir;
    std::string error;
    AtomicFile file;
    EXPECT_FALSE(file.Open(dir.Path() + "/", &error));
    EXPECT_NE(error.find(dir.Path()), std::string::npos) << error;
    EXPECT_FALSE(file.Open("", &error));
    EXPECT_FALSE(file.Open(dir.File("missing/x.png"), &error));
    EXPECT_NE(error.find("missing/x.png"), std::string::npos) << error;
    EXPECT_EQ(file.Stream(), nullptr);
    EXPECT_EQ(file.Descriptor(), -1);
    EXPECT_FALSE(file.Write("x", &error));
    EXPECT_FALSE(file.Commit(&error));
    EXPECT_EQ(CountEntries(dir.Path()), 0);
}

// Two processes incrementing a counter file under the lock must not lose an increment.
TEST(FileLock, SerialisesReadModifyWriteAcrossProcesses) {
    TempDir dir;
    const std::string path = dir.File("counter");
    ASSERT_TRUE(WriteFileAtomically(path, "0", nullptr));
    constexpr int kRounds = 100;
    auto increment = [&] {
        for (int i = 0; i < kRounds; ++i) {
            FileLock lock(path, FileLock::Mode::Exclusive);
            if (!lock.IsLocked())
                _exit(2);
            std::string bytes;
            if (!ReadFile(path, &bytes, nullptr))
                _exit(3);
            const std::string next = std::to_string(std::stoi(bytes) + 1);
            if (!WriteFileAtomically(path, next, nullptr))
                _exit(4);
        }
    };
    const pid_t other = fork();
    if (other == 0) {
        increment();
        _exit(0);
    }
    increment();
    int status = 0;
    waitpid(other, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Slurp(path), std::to_string(2 * kRounds));
}

TEST(FileLock, SharedLocksCoexistAndExcludeWriters) {
    TempDir dir;
    const std::string path = dir.File("f");
    {
        FileLock a(path, FileLock::Mode::Shared);
        ASSERT_TRUE(a.IsLocked()) << a.Error();
        // A second shared holder in another process is granted at once; an exclusive
        // request is not (checked with a non-blocking flock in the child).
        const int status = InChild([&] {
            FileLock b(path, FileLock::Mode::Shared);
            if (!b.IsLocked())
                _exit(1);
        });
        EXPECT_EQ(WEXITSTATUS(status), 0);
        const int exclusive = InChild([&] {
            const int fd = open(FileLock::LockPathFor(path).c_str(), O_RDWR);
            _exit(flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0);
        });
        EXPECT_EQ(WEXITSTATUS(exclusive), 0) << "exclusive lock granted while shared held";
    }
    FileLock moved(path, FileLock::Mode::Exclusive);
    FileLock owner(std::move(moved));
    EXPECT_TRUE(owner.IsLocked());
    EXPECT_FALSE(moved.IsLocked());

    FileLock bad(dir.File("no/such/folder/f"), FileLock::Mode::Exclusive);
    EXPECT_FALSE(bad.IsLocked());
    EXPECT_NE(bad.Error().find("no/such/folder"), std::string::npos) << bad.Error();
}

// A lock file left by another user (say after running the program with sudo) cannot be
// opened for writing; flock does not need that, so the lock is still had.
TEST(FileLock, LockFileThatCannotBeWrittenStillLocks) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
    const std::string path = dir.File("registry.reg");
    const std::string lockPath = FileLock::LockPathFor(path);
    { FileLock create(path, FileLock::Mode::Exclusive); }
    ASSERT_EQ(chmod(lockPath.c_str(), 0444), 0);
    EXPECT_EQ(RunAsAnotherUser([&] {
                  FileLock lock(path, FileLock::Mode::Exclusive);
                  if (!lock.IsLocked())
                      return 1;
                  // It excludes others as a writable one would.
                  const int fd = open(lockPath.c_str(), O_RDONLY);
                  const bool excluded = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
                  close(fd);
                  return excluded ? 0 : 2;
              }),
              0);
    // A lock file nobody may open is reported, not ignored.
    ASSERT_EQ(chmod(lockPath.c_str(), 0), 0);
    EXPECT_EQ(RunAsAnotherUser([&] {
                  FileLock lock(path, FileLock::Mode::Exclusive);
                  return !lock.IsLocked() && lock.Error().find(lockPath) != std::string::npos ? 0 : 1;
              }),
              0);
}
