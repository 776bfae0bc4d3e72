#include "platform/io/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ketra::io {

AtomicFile::~AtomicFile() {
    if (m_stream) std::fclose(m_stream);
    if (!m_done && !m_temporary.empty()) ::unlink(m_temporary.c_str());
}

bool AtomicFile::Open(const std::string& path, std::string* error) {
    if (path.empty() || path.back() == '/') {
        if (error) *error = "\"" + path + "\": not a file name";
        return false;
    }
    m_target = path;
    std::string name = path + ".XXXXXX.tmp";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    int fd = ::mkstemps(buffer.data(), 4);
    if (fd < 0) {
        if (error) *error = "cannot write \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file 0600; a saved picture gets the usual mode for new files.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    m_temporary = buffer.data();
    m_stream = ::fdopen(fd, "wb");
    if (!m_stream) {
        ::close(fd);
        if (error) *error = "cannot write \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    return true;
}

int AtomicFile::Descriptor() const { return m_stream ? ::fileno(m_stream) : -1; }

bool AtomicFile::Commit(std::string* error) {
    auto fail = [&](const char* step) {
        if (error) *error = "cannot write \"" + m_target + "\": " + step + ": " + std::strerror(errno);
        return false;
    };
    if (m_stream) {
        if (std::fflush(m_stream) != 0) return fail("flush");
        if (::fsync(::fileno(m_stream)) != 0) return fail("fsync");
        std::FILE* stream = m_stream;
        m_stream = nullptr;
        if (std::fclose(stream) != 0) return fail("close");
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) return fail("rename");
    m_done = true;
    return true;
}

} // namespace ketra::io
