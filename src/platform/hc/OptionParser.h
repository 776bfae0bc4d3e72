// OptionParser.h — the one option-string parser behind every HC_* setter.
//
// Grammar: items separated by top-level commas (empty items are skipped, so a
// trailing comma is fine); an item is `name`, `no name` or `name = value`,
// split at the first top-level '='. Parentheses nest and quotes ('...' or
// "...") protect their contents; both must balance. Names are case-insensitive:
// they are returned lower-cased with blanks trimmed and runs of blanks
// collapsed. Values are returned trimmed with their case and inner text kept;
// a value ending in '!' is "forced" and returned without the '!'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ketra::hc {

struct OptionItem {
    std::string name;   // normalised (lower case, single blanks)
    std::string value;  // trimmed; empty when !hasValue
    bool hasValue = false;
    bool negated = false;  // "no name"
    bool forced = false;   // value ended in '!'
};

// Parses `text`; false with *error (when given) describing the first problem.
// On failure `out` is left empty.
bool ParseOptionList(std::string_view text, std::vector<OptionItem>& out,
                     std::string* error = nullptr);

std::string_view Trim(std::string_view s);
// ASCII lower case: option words and segment names compare this way whatever the locale
// (the C library's locale-aware tolower is measurably slow on hot paths).
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
std::string ToLower(std::string_view s);
// Lower case, trimmed, runs of blanks collapsed to one blank.
std::string NormalizeName(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// True when `value` is one parenthesised group "( ... )"; `inner` gets its contents.
bool StripParentheses(std::string_view value, std::string_view& inner);
// "on"/"off"/"true"/"false"/"yes"/"no" (case-insensitive).
bool ParseOnOff(std::string_view value, bool& on);
// A whole-string decimal number (leading/trailing blanks allowed).
bool ParseNumber(std::string_view text, double& out);
// A number followed by an optional unit word ("8.0 pts", "12 pixels"); `unit`
// receives the lower-cased unit ("" when none).
bool ParseNumberWithUnit(std::string_view text, double& out, std::string& unit);
// Splits at top-level commas (no '=' handling); trims each part.
bool SplitTopLevel(std::string_view text, std::vector<std::string_view>& parts,
                   std::string* error = nullptr);

}  // namespace ketra::hc
