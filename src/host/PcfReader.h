// Reads Piping Component Files (PCF), the plain-text pipeline format that isometric
// generators and stress programs exchange, into the same PipingModel the JSON reader makes
// (docs/pcf.md). Components become elements between snapped nodes; bends are computed from
// their end points and corner; supports become restraints, hangers and anchors. A file that
// is not PCF, or a component that cannot be drawn, fails with "file:line:column: what";
// merely unusual components are skipped and reported.
#pragma once

#include "host/PipingModel.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ketra::host {

struct PcfReport {
    std::string boreUnits = "MM";               // as the first component read them
    std::string coordUnits = "MM";              // the model's length unit
    std::vector<std::string> pipelines;         // PIPELINE-REFERENCE names, in file order
    std::map<std::string, int> components;      // component records read, by keyword
    std::map<std::string, int> skipped;         // component records not drawn, by keyword
    std::map<std::string, int> unknownKeywords; // keywords this reader does not know
    std::vector<std::string> warnings;          // "file:line:column: what", one per record
    // The box of every point that went into the model (end, branch and corner points,
    // support positions), in the file's co-ordinate units before re-centring.
    bool hasBox = false;
    Vec3 boxMin{}, boxMax{};
    double pipeLength = 0; // PIPE components' lengths as written, in the file's co-ordinate units
    int lines = 0;
};

struct PcfOptions {
    double snapMillimetres = 1.0; // points closer than this are one node
};

struct PcfLoadResult {
    bool ok = false;
    PipingModel model; // co-ordinates re-centred: file position = node + model.origin
    std::string error; // "file:line:column: what"
    PcfReport report;  // filled as far as reading got, also on failure
};

// Reads PCF text. `name` is used in messages.
PcfLoadResult ParsePcf(std::string_view text, const std::string& name,
                       const PcfOptions& options = {});
PcfLoadResult LoadPcf(const std::string& path, const PcfOptions& options = {});

// True when the text starts like a PCF file: the first keywords are PCF header, pipeline or
// component keywords, and it is not JSON.
bool LooksLikePcf(std::string_view text);

// The report as `ketra info` prints it: pipelines, components by keyword, what was skipped,
// unknown keywords and the bounding box in the file's units. Lines end in '\n'.
std::string FormatPcfReport(const PcfReport& report);

// At most `limit` warnings, one a line, then "... and N more warnings" when there are more.
std::string FormatPcfWarnings(const PcfReport& report, std::size_t limit = 20);

} // namespace ketra::host
