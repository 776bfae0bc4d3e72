// Opens a model file of either format the host reads: the model format's JSON
// (docs/model-format.md) or a Piping Component File (docs/pcf.md). The format is chosen by
// the file's content; the extension decides only for text that looks like neither.
#pragma once

#include "host/PcfReader.h"
#include "host/PipingModel.h"

#include <string>
#include <string_view>

namespace ketra::host {

enum class ModelFormat { Json, Pcf };

// JSON when the text starts with '{' (after blanks and a byte-order mark), PCF when its
// first keywords are PCF keywords; otherwise PCF for a ".pcf" path and JSON for any other.
ModelFormat SniffModelFormat(std::string_view text, const std::string& path);

struct ModelFileResult {
    bool ok = false;
    ModelFormat format = ModelFormat::Json;
    PipingModel model;
    std::string error; // "file:line:column: what"
    PcfReport pcf;     // for PCF files
};

ModelFileResult LoadModelFile(const std::string& path);
ModelFileResult ParseModelText(std::string_view text, const std::string& name);

} // namespace ketra::host
