// A file written under a temporary name in the target's folder and renamed over the target
// when committed; dropped (and removed) otherwise.
#pragma once

#include <cstdio>
#include <string>

namespace ketra::io {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary next to `path`. False (with the errno text in *error) when the
    // folder is missing or not writable.
    bool Open(const std::string& path, std::string* error);
    std::FILE* Stream() const { return m_stream; }
    // The temporary's descriptor (for libraries that take one); still owned by this object.
    int Descriptor() const;
    // Flushes, syncs and renames the temporary over the target. False with a message when
    // any step fails (the temporary is then removed).
    bool Commit(std::string* error);

private:
    std::string m_target, m_temporary;
    std::FILE* m_stream = nullptr;
    bool m_done = false;
};

} // namespace ketra::io
