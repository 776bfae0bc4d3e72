// HIOUtilityHsf: the output handler of our binary scene stream (.hsf, docs/hsf-format.md),
// and reading scene files (.hsf or .hmf, told apart by their first bytes) back into a segment.
#pragma once

#include "platform/io/HIOManager.h"

#include <string>

class HIOUtilityHsf final : public HOutputHandler {
public:
    const char* GetOutputName() const override { return "hsf"; }
    const char* GetOutputTypesString() const override { return "hsf"; }

    // Writes the subtree of the segment `key` atomically, self-contained (see
    // ketra::hc::SelfContainedRoot: a model is written with the library segments it
    // includes). options are not needed.
    HFileOutputResult FileOutputByKey(const char* filename, HC_KEY key,
                                      const HOutputHandlerOptions* options) override;
};

namespace ketra::io {

// Reads a scene file (a stream or a text metafile) into `segment` (created when missing).
// All or nothing: on failure nothing is created and *error (when given) names the file, the
// place (byte or line) and the problem.
bool ReadSceneFile(const std::string& path, const std::string& segment, std::string* error = nullptr);

// The two halves of ReadSceneFile, for a caller that must read from the very bytes it
// checked: the file's bytes (false, with *error, when it cannot be read), and those bytes read
// into `segment` as the file `name`.
bool ReadSceneFileBytes(const std::string& path, std::string& data, std::string* error = nullptr);
bool ReadSceneData(const std::string& data, const std::string& name, const std::string& segment,
                   std::string* error = nullptr);

// Checks that `folder/file` can be written: a file name, an existing writable folder. False
// with *error set otherwise (the handlers' OutputBadFileName case).
bool CanWriteFile(const std::string& path, std::string* error);

} // namespace ketra::io
