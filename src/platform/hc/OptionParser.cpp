#include "platform/hc/OptionParser.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace ketra::hc {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Scans `text` tracking parentheses and quotes; calls onTop(i) for every
// top-level character index. False when they do not balance.
template <typename F>
bool ScanTopLevel(std::string_view text, std::string* error, F&& onTop) {
    int depth = 0;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (c == '(') {
            ++depth;
            continue;
        }
        if (c == ')') {
            if (--depth < 0) {
                if (error) *error = "unbalanced ')' at position " + std::to_string(i + 1);
                return false;
            }
            continue;
        }
        if (depth == 0) onTop(i);
    }
    if (quote) {
        if (error) *error = "unterminated quote";
        return false;
    }
    if (depth != 0) {
        if (error) *error = "missing ')'";
        return false;
    }
    return true;
}

}  // namespace

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::string NormalizeName(std::string_view s) {
    s = Trim(s);
    std::string out;
    out.reserve(s.size());
    bool blank = false;
    for (char c : s) {
        if (IsBlank(c)) {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out.push_back(' ');
        blank = false;
        out.push_back(AsciiLower(c));
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

bool StripParentheses(std::string_view value, std::string_view& inner) {
    value = Trim(value);
    if (value.size() < 2 || value.front() != '(' || value.back() != ')') return false;
    // The first '(' must close at the very end: "(a) (b)" is not one group.
    int depth = 0;
    char quote = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0 && i != value.size() - 1) return false;
        }
    }
    if (depth != 0) return false;
    inner = Trim(value.substr(1, value.size() - 2));
    return true;
}

bool ParseOnOff(std::string_view value, bool& on) {
    const std::string v = NormalizeName(value);
    if (v == "on" || v == "true" || v == "yes") {
        on = true;
        return true;
    }
    if (v == "off" || v == "false" || v == "no") {
        on = false;
        return true;
    }
    return false;
}

bool ParseNumber(std::string_view text, double& out) {
    text = Trim(text);
    if (text.empty() || text.size() > 64) return false;
    if (text.front() == '+') text.remove_prefix(1);
    // from_chars rejects a leading '.', strtod does not: use strtod on a copy.
    std::string copy(text);
    char* end = nullptr;
    const double v = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || *end != '\0') return false;
    if (!(v == v) || v > 1e300 || v < -1e300) return false;  // NaN/inf are never valid input
    out = v;
    return true;
}

bool ParseNumberWithUnit(std::string_view text, double& out, std::string& unit) {
    text = Trim(text);
    size_t i = 0;
    while (i < text.size() && !IsBlank(text[i]) && !std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
    // Allow an exponent such as 1e3: strtod handles it when no blank follows.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E') && i + 1 < text.size() &&
        (std::isdigit(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == '-' || text[i + 1] == '+')) {
        ++i;
        while (i < text.size() && !IsBlank(text[i]) && !std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
    }
    if (!ParseNumber(text.substr(0, i), out)) return false;
    unit = NormalizeName(text.substr(i));
    return true;
}

bool SplitTopLevel(std::string_view text, std::vector<std::string_view>& parts, std::string* error) {
    parts.clear();
    size_t start = 0;
    const bool ok = ScanTopLevel(text, error, [&](size_t i) {
        if (text[i] == ',') {
            parts.push_back(Trim(text.substr(start, i - start)));
            start = i + 1;
        }
    });
    if (!ok) {
        parts.clear();
        return false;
    }
    parts.push_back(Trim(text.substr(start)));
    return true;
}

bool ParseOptionList(std::string_view text, std::vector<OptionItem>& out, std::string* error) {
    out.clear();
    std::vector<std::string_view> parts;
    if (!SplitTopLevel(text, parts, error)) return false;
    for (std::string_view part : parts) {
        if (part.empty()) continue;
        size_t eq = std::string_view::npos;
        ScanTopLevel(part, nullptr, [&](size_t i) {
            if (eq == std::string_view::npos && part[i] == '=') eq = i;
        });
        OptionItem item;
        std::string_view rawName = eq == std::string_view::npos ? part : part.substr(0, eq);
        for (char c : rawName) {
            if (c == '(' || c == ')' || c == '\'' || c == '"' || c == '=') {
                if (error) *error = "malformed option name '" + std::string(Trim(rawName)) + "'";
                out.clear();
                return false;
            }
        }
        item.name = NormalizeName(rawName);
        if (eq != std::string_view::npos) {
            item.hasValue = true;
            std::string_view value = Trim(part.substr(eq + 1));
            if (value.empty()) {
                if (error) *error = "option '" + item.name + "' has an empty value";
                out.clear();
                return false;
            }
            if (value.back() == '!') {
                item.forced = true;
                value = Trim(value.substr(0, value.size() - 1));
                if (value.empty()) {
                    if (error) *error = "option '" + item.name + "' has an empty value";
                    out.clear();
                    return false;
                }
            }
            item.value = std::string(value);
        } else if (item.name.size() > 3 && item.name.compare(0, 3, "no ") == 0) {
            item.negated = true;
            item.name = item.name.substr(3);
        }
        // The lock mark comes off first: "!" alone names nothing.
        if (!item.hasValue && !item.name.empty() && item.name.back() == '!') {
            item.forced = true;
            item.name = NormalizeName(std::string_view(item.name).substr(0, item.name.size() - 1));
        }
        if (item.name.empty() || item.name == "no") {
            if (error) *error = "option without a name in '" + std::string(part) + "'";
            out.clear();
            return false;
        }
        out.push_back(std::move(item));
    }
    return true;
}

}  // namespace ketra::hc
