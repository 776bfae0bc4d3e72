#include "host/PcfText.h"

#include <charconv>
#include <cmath>

namespace ketra::host {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return false;
        if (i + extra >= s.size() && extra > 0)
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

std::vector<PcfLine> SplitPcfLines(std::string_view text) {
    std::vector<PcfLine> lines;
    lines.reserve(text.size() / 24 + 1);
    std::size_t pos = 0;
    int number = 0;
    while (pos < text.size()) {
        ++number;
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        std::string_view row = text.substr(pos, end - pos);
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
            text[end + 1] == '\n')
            ++end;
        pos = end + 1;

        std::size_t i = 0;
        while (i < row.size() && IsBlank(row[i]))
            ++i;
        if (i == row.size())
            continue;
        PcfLine line;
        line.line = number;
        line.indent = static_cast<int>(i);
        bool first = true;
        while (i < row.size()) {
            std::size_t start = i;
            while (i < row.size() && !IsBlank(row[i]))
                ++i;
            std::string_view word = row.substr(start, i - start);
            if (first) {
                line.keyword.assign(word);
                for (char& c : line.keyword)
                    if (c >= 'a' && c <= 'z')
                        c = static_cast<char>(c - 'a' + 'A');
                line.keywordColumn = static_cast<int>(start) + 1;
                first = false;
            } else {
                line.values.push_back({word, static_cast<int>(start) + 1});
            }
            while (i < row.size() && IsBlank(row[i]))
                ++i;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string DecodePcfText(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string JoinPcfValues(const PcfLine& line, std::size_t first) {
    std::string out;
    for (std::size_t i = first; i < line.values.size(); ++i) {
        if (!out.empty())
            out += ' ';
        out += DecodePcfText(line.values[i].text);
    }
    return out;
}

bool ParsePcfNumber(std::string_view text, double* value) {
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' || text[0] == '.'))
        return false;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace ketra::host
