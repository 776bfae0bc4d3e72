// The lexer and the checks of scene-file text (docs/hmf-format.md).
#include "platform/hc/HcExtras.h"
#include "platform/hc/SceneFileNames.h"
#include "platform/hc/OptionParser.h"

#include <algorithm>
#include <charconv>

namespace ketra::hc::hmf {

namespace {

int Hex(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool Lexer::Next() {
    m_tokens.clear();
    while (m_pos < m_data.size()) {
        const size_t end = m_data.find('\n', m_pos);
        m_lastLineTerminated = end != std::string_view::npos;
        std::string_view line =
            m_data.substr(m_pos, (m_lastLineTerminated ? end : m_data.size()) - m_pos);
        m_pos = m_lastLineTerminated ? end + 1 : m_data.size();
        ++m_line;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!Split(line))
            return false;
        if (!m_tokens.empty())
            return true;
    }
    return false;
}

bool Lexer::Split(std::string_view line) {
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            m_error = "control character in the file";
            return false;
        }
        if (m_tokens.empty() && c == ';')
            return true; // a comment line
        Token t;
        if (c == '"') {
            t.kind = Token::Kind::String;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d != '\\') {
                    if (static_cast<unsigned char>(d) < 0x20) {
                        m_error = "control character in a string";
                        return false;
                    }
                    t.value += d;
                    continue;
                }
                if (i >= line.size())
                    break;
                const char e = line[i++];
                if (e == '"' || e == '\\') {
                    t.value += e;
                } else if (e == 'x' && i + 1 < line.size() && Hex(line[i]) >= 0 &&
                           Hex(line[i + 1]) >= 0) {
                    t.value += static_cast<char>(Hex(line[i]) * 16 + Hex(line[i + 1]));
                    i += 2;
                } else {
                    m_error = "bad escape in a string";
                    return false;
                }
            }
            if (!closed) {
                m_error = "string not closed on its line";
                return false;
            }
        } else {
            const size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                ++i;
            t.text = line.substr(start, i - start);
            if (t.text == "{") {
                t.kind = Token::Kind::Open;
            } else if (t.text == "}") {
                t.kind = Token::Kind::Close;
            } else if (t.text[0] == '#') {
                t.kind = Token::Kind::Ref;
                const auto r =
                    std::from_chars(t.text.data() + 1, t.text.data() + t.text.size(), t.ref);
                if (r.ec != std::errc() || r.ptr != t.text.data() + t.text.size() || t.ref < 0) {
                    m_error = "bad segment reference '" + std::string(t.text) + "'";
                    return false;
                }
            } else if (t.text.find('"') != std::string_view::npos) {
                m_error = "quote inside a word";
                return false;
            }
        }
        m_tokens.push_back(std::move(t));
    }
    return true;
}

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < text.size() && text[i + 1] >= 0xdc00 &&
            text[i + 1] < 0xe000) {
            c = 0x10000 + ((c - 0xd800) << 10) + (text[i + 1] - 0xdc00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

std::string ToLatin1(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text)
        out += static_cast<char>(c & 0xff);
    return out;
}

bool FromUtf8(const std::string& in, std::u16string& out) {
    out.clear();
    for (size_t i = 0; i < in.size();) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        uint32_t code = 0;
        size_t len = 0;
        if (c < 0x80) {
            code = c;
            len = 1;
        } else if ((c & 0xe0) == 0xc0) {
            code = c & 0x1f;
            len = 2;
        } else if ((c & 0xf0) == 0xe0) {
            code = c & 0x0f;
            len = 3;
        } else if ((c & 0xf8) == 0xf0) {
            code = c & 0x07;
            len = 4;
        } else {
            return false;
        }
        if (i + len > in.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            const unsigned char d = static_cast<unsigned char>(in[i + k]);
            if ((d & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (d & 0x3f);
        }
        i += len;
        if (code == 0 || code > 0x10ffff)
            return false;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xd800 + (code >> 10));
            out += static_cast<char16_t>(0xdc00 + (code & 0x3ff));
        } else {
            out += static_cast<char16_t>(code); // lone surrogates come back as written
        }
    }
    return true;
}

std::string NameLengthProblem(std::string_view nameOrPath) {
    size_t longest = 0;
    for (size_t start = 0; start <= nameOrPath.size();) {
        size_t end = nameOrPath.find('/', start);
        if (end == std::string_view::npos)
            end = nameOrPath.size();
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    if (longest <= kMaxSegmentName)
        return {};
    return "a segment name of " + std::to_string(longest) + " bytes (the limit is " +
           std::to_string(kMaxSegmentName) + ")";
}

bool ValidSegmentName(const std::string& name) {
    if (name.size() > kMaxSegmentName)
        return false;
    // Segment names are kept trimmed, so a stored name never has blanks at its ends; a name
    // with them would be read as its trimmed self ("\t..\t" as the parent).
    if (Trim(name).size() != name.size())
        return false;
    if (name == "." || name == ".." || (!name.empty() && name[0] == '@'))
        return false;
    return name.find_first_of("/?*") == std::string::npos;
}
// A reference to a segment outside the file: an absolute path without aliases or
// wildcards.
bool ValidAbsolutePath(const std::string& path) {
    if (path.size() < 2 || path[0] != '/' || path.back() == '/')
        return false;
    if (path.find("//") != std::string::npos || path.find_first_of("?*") != std::string::npos)
        return false;
    std::string_view rest(path);
    while (!rest.empty()) {
        rest.remove_prefix(1);
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part == "." || part == ".." || part == "..." || Trim(part).size() != part.size())
            return false;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    return true;
}

} // namespace ketra::hc::hmf
