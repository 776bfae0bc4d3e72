#include "platform/io/HIOUtilityHsf.h"

#include "platform/hc/HcExtras.h"
#include "platform/hc/HcStream.h"
#include "platform/sys/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace ketra::io {

bool CanWriteFile(const std::string& path, std::string* error) {
    if (path.empty() || path.back() == '/') {
        if (error)
            *error = "\"" + path + "\": not a file name";
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (::access(folder.c_str(), W_OK) != 0) {
        if (error)
            *error = "cannot write \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ReadSceneFileBytes(const std::string& path, std::string& data, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (error)
            *error = "cannot read \"" + path + "\"";
        return false;
    }
    return true;
}

bool ReadSceneData(const std::string& data, const std::string& name, const std::string& segment,
                   std::string* error) {
    std::string message;
    const bool ok = ketra::hc::LooksLikeStream(data)
                        ? ketra::hc::ReadStreamBytes(data, name, segment, message)
                        : ketra::hc::ReadMetafileText(data, name, segment, message);
    if (!ok && error)
        *error = message;
    return ok;
}

bool ReadSceneFile(const std::string& path, const std::string& segment, std::string* error) {
    std::string data;
    return ReadSceneFileBytes(path, data, error) && ReadSceneData(data, path, segment, error);
}

} // namespace ketra::io

HFileOutputResult HIOUtilityHsf::FileOutputByKey(const char* filename, HC_KEY key, const HOutputHandlerOptions*) {
    const std::string file = filename ? filename : "";
    std::string error;
    if (!ketra::io::CanWriteFile(file, &error)) {
        HIOManager::SetLastError(error);
        return OutputBadFileName;
    }
    const ketra::hc::Segment* root = ketra::hc::Graph::Instance().FindSegment(key);
    if (!root) {
        HIOManager::SetLastError("\"" + file + "\": key " + std::to_string(key) + " is not a segment");
        return OutputFail;
    }
    // With the segments it includes from outside itself, so the file shows the same on its own.
    ketra::hc::SegmentFilter keep;
    const ketra::hc::Segment& written = ketra::hc::SelfContainedRoot(*root, keep);
    if (!ketra::sys::WriteFileAtomically(file, ketra::hc::StreamBytes(written, keep), &error)) {
        HIOManager::SetLastError(error);
        return OutputFail;
    }
    HIOManager::SetLastError("");
    return OutputOK;
}
