// Reads Piping Component Files (PCF), the plain-text pipeline format that isometric
// generators and stress programs exchange, into the same PipingModel the JSON reader makes
// (docs/pcf.md). Components become elements between snapped nodes; bends are computed from
// their end points and corner; supports become restraints, hangers and anchors. A file that
// is not PCF, or one in which nothing can be drawn, fails with "file:line:column: what"; a
// component that cannot be drawn is left out with an error, and merely unusual components are
// skipped or drawn as assumed, with a warning.
#pragma once

#include "host/PipingModel.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ketra::host {

struct PcfReport {
    // Units by name, whatever the file spelled ("IN" is INCH, "M" is METRE).
    std::string boreUnits = "MM";               // MM, INCH or INCH-SIXTEENTH, at the first component
    std::string coordUnits = "MM";              // MM, INCH or METRE: the file's length unit
    std::vector<std::string> pipelines;         // PIPELINE-REFERENCE names, in file order
    std::map<std::string, int> components;      // component records read, by keyword
    std::map<std::string, int> skipped;         // component records not drawn, by keyword
    std::map<std::string, int> unknownKeywords; // keywords this reader does not know
    std::vector<std::string> warnings;          // "file:line:column: what", one per record
    // Components that could not be drawn at all and were left out of a model that was drawn:
    // "file:line:column: error: what", one per component.
    std::vector<std::string> errors;
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

// The errors, then the warnings, one a line, at most `limit` lines in all, then
// "... and N more warnings" when there are more.
std::string FormatPcfWarnings(const PcfReport& report, std::size_t limit = 20);

} // namespace ketra::host
