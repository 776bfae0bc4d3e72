// Safe reading and writing of user files: the settings store, the plot-properties file and
// saved pictures go through here so that a crash, a full disk or a second process never
// leaves a torn, half-written or lost file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace ketra::sys {

// Replaces the file at `path` with `bytes` so that every reader sees either the whole old
// content or the whole new one: the bytes go to a temporary in the same folder, which is
// flushed to disk (fsync), renamed over `path`, and the folder is flushed too. An existing
// file keeps its permission bits; a symbolic link is followed (its target is replaced, the
// link stays). Missing parent folders are not created (see MakeParentDirectories).
// An existing target whose permission bits deny this user writing (IsReadOnlyFile) is refused
// with EACCES: the rename would otherwise replace a file its owner made read-only.
// The new file keeps the old one's group where the system allows.
// Returns false and, when `error` is non-null, a message naming the path and the system
// error; on failure the old file is untouched and no temporary is left behind.
// This does not lock: callers that read, modify and write hold a FileLock around it.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);

// WriteFileAtomically in steps, for writers that produce a file piece by piece or through a
// library that takes a FILE* or a descriptor (the image encoders). Open creates the
// temporary beside the target, Write/Stream/Descriptor fill it, and Commit flushes, syncs
// and renames it over the target, with the same rules and messages as WriteFileAtomically.
// Destroyed without a successful Commit, it removes the temporary and leaves the target as
// it was.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary for `path`. False, with a message naming the path, when the name
    // is empty or ends in '/' (no file name) or the folder is missing or not writable.
    bool Open(const std::string& path, std::string* error);
    // The temporary as a stream and as its descriptor (for libraries that take one); both
    // stay owned by this object. Null and -1 when not open. Write goes through the stream:
    // flush it before writing through the descriptor.
    std::FILE* Stream() const { return m_stream; }
    int Descriptor() const;
    // Appends `bytes` to the temporary. False with a message when they cannot be written.
    bool Write(std::string_view bytes, std::string* error);
    // Flushes and syncs the temporary, renames it over the target and syncs the folder.
    // False with a message when any step fails; the temporary is then removed.
    bool Commit(std::string* error);

private:
    void Discard();
    std::string m_target, m_directory, m_temporary;
    std::FILE* m_stream = nullptr;
};

// Deletes temporaries that WriteFileAtomically or AtomicFile left beside `path` when a writer died
// before renaming. Call it only while holding the exclusive FileLock of `path` that every
// writer of `path` takes, so no temporary still being written is removed.
void RemoveStaleTemporaries(const std::string& path);

// Reads the whole file into `*bytes` (which must not be null). Returns false, with a
// message in `*error` when non-null, if the file cannot be opened or read; a missing file
// gives errno ENOENT, which FileExists distinguishes.
bool ReadFile(const std::string& path, std::string* bytes, std::string* error);

// True when `path` names an existing file (following links).
bool FileExists(const std::string& path);

// True when `path` names an existing file whose permission bits give this user no write
// access (the owner's bit for its owner, the group's for its groups, else the others'). The
// bits are read as they stand, root's override aside: root's own 0444 file is read-only,
// another user's counts as read-only only when nobody may write it. WriteFileAtomically
// refuses such a file.
bool IsReadOnlyFile(const std::string& path);

// Creates the folders above `path` (mode 0700 for new ones, like a per-user config
// folder). True when they exist afterwards.
bool MakeParentDirectories(const std::string& path, std::string* error);

// What a cache needs to notice that a file changed, including a replacement by rename
// (new inode) and a rewrite within the same second (mtime in nanoseconds).
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at `path` now; `exists` is false when there is none (or it
// cannot be examined).
FileIdentity GetFileIdentity(const std::string& path);

// An advisory lock (flock) that makes a read-modify-write cycle atomic across processes.
// It locks the sibling file "<path>.lock", never `path` itself, because an atomic write
// replaces the file's inode and a lock held on the old inode would protect nothing. The
// lock file is created when missing (its folder must exist) and is never deleted, since
// deleting it would let two processes lock two different files.
// The constructor blocks until the lock is granted. Two FileLock objects on the same path
// exclude each other even inside one process, so a thread must not nest an exclusive lock.
// The lock is released by the destructor, or by the kernel if the process dies.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    FileLock(const std::string& path, Mode mode);
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // A lock file that cannot be opened for writing (another user's, a read-only mount) is
    // locked through a read-only descriptor. False when the lock file could not be opened or
    // locked at all; Error() says why.
    bool IsLocked() const { return m_fd >= 0; }
    const std::string& Error() const { return m_error; }
    // The lock file used for `path`.
    static std::string LockPathFor(const std::string& path);

private:
    void Release();
    int m_fd = -1;
    std::string m_error;
};

namespace test_hooks {
// Called by AtomicFile::Commit (so by WriteFileAtomically too) after the temporary is
// complete and flushed, just before the rename, with the temporary's path. Tests use it to
// kill a writer at the worst moment. Pass nullptr to remove it. Not for production use.
using BeforeRenameHook = void (*)(const std::string& temporaryPath);
void SetBeforeRenameHook(BeforeRenameHook hook);
} // namespace test_hooks

} // namespace ketra::sys
