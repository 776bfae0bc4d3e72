#include "platform/sys/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ketra::sys {

namespace {

std::atomic<test_hooks::BeforeRenameHook> g_beforeRenameHook{nullptr};

void SetError(std::string* error, const std::string& what, const std::string& path, int err) {
    if (error)
        *error = what + " '" + path + "': " + std::strerror(err);
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writing through a link must replace the link's target, not turn the link into a file.
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved))
        return resolved;
    // A dangling link: write where it points if we can read it, else replace the link.
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return path;
    target[n] = '\0';
    if (target[0] == '/')
        return target;
    return DirectoryOf(path) + "/" + target;
}

int OpenUniqueTemporary(const std::string& directory, const std::string& base,
                        std::string* tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto ticks = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        *tempPath = directory + "/." + base + ".tmp-" + std::to_string(getpid()) + "-" +
                    std::to_string(counter.fetch_add(1)) + "-" + std::to_string(ticks % 1000000);
        // 0666 lets the umask decide, as for any new file the user creates.
        const int fd = open(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    AtomicFile file;
    return file.Open(path, error) && file.Write(bytes, error) && file.Commit(error);
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    if (!m_temporary.empty()) {
        unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

bool AtomicFile::Open(const std::string& path, std::string* error) {
    Discard();
    if (path.empty()) {
        if (error)
            *error = "cannot write a file with an empty name";
        return false;
    }
    if (path.back() == '/') {
        SetError(error, "cannot write", path, EISDIR);
        return false;
    }
    m_target = ResolveLink(path);
    m_directory = DirectoryOf(m_target);
    if (IsReadOnlyFile(m_target)) {
        SetError(error, "cannot write", m_target, EACCES);
        return false;
    }
    const int fd = OpenUniqueTemporary(m_directory, BaseNameOf(m_target), &m_temporary);
    if (fd < 0) {
        const int err = errno;
        m_temporary.clear();
        SetError(error, "cannot create a temporary file beside", m_target, err);
        return false;
    }
    auto fail = [&](const char* what, int err) {
        close(fd);
        Discard();
        SetError(error, what, m_target, err);
        return false;
    };
    struct stat old {};
    if (stat(m_target.c_str(), &old) == 0) {
        // The group first: changing it may clear the set-group-ID bit that fchmod restores.
        // Not every user may give a file that group; the file then gets the folder's default.
        if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        }
        if (fchmod(fd, old.st_mode & 07777) != 0)
            return fail("cannot copy the permissions of", errno);
    }
    m_stream = fdopen(fd, "wb");
    if (!m_stream)
        return fail("cannot write", errno);
    return true;
}

int AtomicFile::Descriptor() const { return m_stream ? fileno(m_stream) : -1; }

bool AtomicFile::Write(std::string_view bytes, std::string* error) {
    if (!m_stream) {
        SetError(error, "cannot write", m_target, EBADF);
        return false;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_stream) != bytes.size()) {
        SetError(error, "cannot write", m_target, errno);
        return false;
    }
    return true;
}

bool AtomicFile::Commit(std::string* error) {
    auto fail = [&](const char* what, int err) {
        Discard();
        SetError(error, what, m_target, err);
        return false;
    };
    if (!m_stream)
        return fail("cannot write", EBADF);
    if (std::fflush(m_stream) != 0)
        return fail("cannot write", errno);
    if (fsync(fileno(m_stream)) != 0)
        return fail("cannot flush", errno);
    std::FILE* stream = m_stream;
    m_stream = nullptr;
    if (std::fclose(stream) != 0)
        return fail("cannot write", errno);
    if (auto hook = g_beforeRenameHook.load())
        hook(m_temporary);
    if (rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return fail("cannot replace", errno);
    m_temporary.clear();
    // The rename is durable only once the folder's entry is on disk.
    const int dirFd = open(m_directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::string target = ResolveLink(path);
    const std::string directory = DirectoryOf(target);
    const std::string prefix = "." + BaseNameOf(target) + ".tmp-";
    DIR* dir = opendir(directory.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

bool ReadFile(const std::string& path, std::string* bytes, std::string* error) {
    bytes->clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "cannot open", path, errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        SetError(error, "cannot read", path, EISDIR);
        return false;
    }
    if (st.st_size > 0)
        bytes->reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            close(fd);
            bytes->clear();
            SetError(error, "cannot read", path, err);
            return false;
        }
        if (n == 0)
            break;
        bytes->append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const uid_t uid = geteuid();
    if (st.st_uid == uid)
        return (st.st_mode & S_IWUSR) == 0;
    bool inGroup = st.st_gid == getegid();
    if (!inGroup) {
        gid_t groups[256];
        const int n = getgroups(256, groups);
        for (int i = 0; i < n && !inGroup; ++i)
            inGroup = groups[i] == st.st_gid;
    }
    if (inGroup)
        return (st.st_mode & S_IWGRP) == 0;
    // Root may write any file whose owner could: only a file nobody may write is read-only.
    if (uid == 0)
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    return (st.st_mode & S_IWOTH) == 0;
}

bool MakeParentDirectories(const std::string& path, std::string* error) {
    const std::string directory = DirectoryOf(path);
    if (directory == "." || directory == "/")
        return true;
    struct stat st {};
    if (stat(directory.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        SetError(error, "not a folder:", directory, ENOTDIR);
        return false;
    }
    if (!MakeParentDirectories(directory, error))
        return false;
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        SetError(error, "cannot create the folder", directory, errno);
        return false;
    }
    return true;
}

FileIdentity GetFileIdentity(const std::string& path) {
    FileIdentity id;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return id;
    id.exists = true;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::int64_t>(st.st_size);
    id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

std::string FileLock::LockPathFor(const std::string& path) { return path + ".lock"; }

FileLock::FileLock(const std::string& path, Mode mode) {
    const std::string lockPath = LockPathFor(path);
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // flock needs no write access: a lock file left by another user (or on a read-only
    // mount) still serves through a read-only descriptor.
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(&m_error, "cannot open the lock file", lockPath, errno);
        return;
    }
    const int operation = mode == Mode::Exclusive ? LOCK_EX : LOCK_SH;
    while (flock(fd, operation) != 0) {
        if (errno == EINTR)
            continue;
        SetError(&m_error, "cannot lock", lockPath, errno);
        close(fd);
        return;
    }
    m_fd = fd;
}

FileLock::~FileLock() { Release(); }

FileLock::FileLock(FileLock&& other) noexcept : m_fd(other.m_fd), m_error(std::move(other.m_error)) {
    other.m_fd = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = other.m_fd;
        m_error = std::move(other.m_error);
        other.m_fd = -1;
    }
    return *this;
}

void FileLock::Release() {
    if (m_fd >= 0) {
        // Closing the only descriptor of the open file releases the flock.
        close(m_fd);
        m_fd = -1;
    }
}

namespace test_hooks {
void SetBeforeRenameHook(BeforeRenameHook hook) { g_beforeRenameHook.store(hook); }
} // namespace test_hooks

} // namespace ketra::sys
