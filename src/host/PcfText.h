// The lines of a Piping Component File (PCF) split into keyword and values, with positions.
// PCF is plain text: one record per line, a keyword and values separated by runs of blanks,
// no fixed columns. Bytes are kept as they are (geometry lines are ASCII); only text values
// that are shown to users go through DecodePcfText.
#pragma once

#include "host/JsonDocument.h"

#include <string>
#include <string_view>
#include <vector>

namespace ketra::host {

struct PcfToken {
    std::string_view text; // a view into the file's bytes
    int column = 1;        // 1-based, in bytes
};

struct PcfLine {
    int line = 1;        // 1-based
    int indent = 0;      // leading blanks and tabs
    std::string keyword; // upper-case
    int keywordColumn = 1;
    std::vector<PcfToken> values;
};

// Splits `text` into non-blank lines. LF, CRLF and lone CR end lines; a missing final newline
// is fine. The views in the result point into `text`, which must outlive them.
std::vector<PcfLine> SplitPcfLines(std::string_view text);

// A value as UTF-8: kept when it is valid UTF-8, otherwise read as Latin-1 (the two encodings
// exporters use; files declare neither).
std::string DecodePcfText(std::string_view bytes);

// The values from `first` on, joined by single blanks and decoded.
std::string JoinPcfValues(const PcfLine& line, std::size_t first = 0);

// Parses a decimal number ("12", "-0.0000", "1.5E3", "+4"). False for anything else, and for
// NaN and infinities.
bool ParsePcfNumber(std::string_view text, double* value);

} // namespace ketra::host
