// The ".reg" reader. The grammar is in RegistryTree.h.
#include "platform/sys/RegistryTree.h"

#include "platform/sys/TextEncoding.h"

#include <cctype>

namespace ketra::sys {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    return true;
}

bool HasControl(std::wstring_view s) {
    for (wchar_t c : s)
        if (c < 0x20)
            return true;
    return false;
}

// Converts UTF-16LE text (after its BOM) to UTF-8 so one reader serves both encodings.
bool Utf16LeToUtf8(std::string_view bytes, std::string* out) {
    if (bytes.size() % 2 != 0)
        return false;
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    std::wstring wide;
    if (!DecodeUtf16(units, &wide))
        return false;
    *out = ToUtf8(wide);
    return true;
}

std::string Utf16LeBytes(std::wstring_view text) {
    std::string data;
    for (char16_t u : ToUtf16(text)) {
        data += static_cast<char>(u & 0xFF);
        data += static_cast<char>(u >> 8);
    }
    return data;
}

class Parser {
public:
    Parser(std::string_view text, std::vector<RegFileEntry>* entries, RegParseError* error)
        : m_text(text), m_entries(entries), m_error(error) {}

    bool Run() {
        bool haveHeader = false;
        while (NextLine()) {
            std::string_view line = TrimRight(TrimLeft(m_line));
            if (line.empty())
                continue;
            if (!haveHeader) {
                if (line != kHeader5 && line != kHeader4)
                    return Fail("expected the header \"Windows Registry Editor Version 5.00\"");
                haveHeader = true;
                continue;
            }
            if (line.front() == ';')
                continue;
            if (!(line.front() == '[' ? KeyLine(line) : ValueLine(line)))
                return false;
        }
        if (!m_valid)
            return false;
        if (!haveHeader)
            return Fail("expected the header \"Windows Registry Editor Version 5.00\"");
        return true;
    }

private:
    bool NextLine() {
        if (m_pos >= m_text.size())
            return false;
        const auto end = m_text.find('\n', m_pos);
        const auto stop = end == std::string_view::npos ? m_text.size() : end;
        m_line = m_text.substr(m_pos, stop - m_pos);
        m_pos = stop + 1;
        ++m_lineNumber;
        std::size_t bad = 0;
        std::wstring ignored;
        if (!DecodeUtf8(m_line, &ignored, &bad))
            return Fail("invalid UTF-8 at column " + std::to_string(bad + 1));
        return true;
    }

    bool Fail(const std::string& message) {
        if (m_error && m_valid) {
            m_error->line = m_lineNumber;
            m_error->message = message;
        }
        m_valid = false;
        return false;
    }

    bool KeyLine(std::string_view line) {
        const auto close = line.rfind(']');
        if (close == std::string_view::npos || close != line.size() - 1)
            return Fail("a key line must end with ']'");
        std::string_view body = line.substr(1, close - 1);
        bool remove = false;
        if (!body.empty() && body.front() == '-') {
            remove = true;
            body.remove_prefix(1);
        }
        std::vector<std::wstring> path;
        const std::wstring wide = FromUtf8(body);
        std::size_t start = 0;
        for (;;) {
            const auto slash = wide.find(L'\\', start);
            path.push_back(wide.substr(start, slash == std::wstring::npos ? std::wstring::npos
                                                                         : slash - start));
            if (slash == std::wstring::npos)
                break;
            start = slash + 1;
        }
        const std::wstring root = RegistryTree::CanonicalRoot(path.front());
        if (root.empty())
            return Fail("unknown root key '" + ToUtf8(path.front()) + "'");
        path.front() = root;
        for (const auto& component : path) {
            if (component.empty())
                return Fail("empty key name in '" + std::string(body) + "'");
            if (HasControl(component))
                return Fail("control character in a key name");
        }
        m_key = path;
        m_keyDeleted = remove;
        RegFileEntry entry;
        entry.kind = remove ? RegFileEntry::Kind::DeleteKey : RegFileEntry::Kind::Key;
        entry.path = std::move(path);
        m_entries->push_back(std::move(entry));
        return true;
    }

    // Reads a quoted string at s[0] == '"'; returns the rest after the closing quote.
    bool Quoted(std::string_view s, std::string* out, std::string_view* rest) {
        out->clear();
        for (std::size_t i = 1; i < s.size(); ++i) {
            const char c = s[i];
            if (c == '"') {
                *rest = s.substr(i + 1);
                return true;
            }
            if (c == '\\') {
                if (i + 1 >= s.size())
                    break;
                const char next = s[++i];
                if (next != '\\' && next != '"')
                    return Fail(std::string("unknown escape '\\") + next + "' in a quoted string");
            }
            *out += s[i];
        }
        return Fail("missing closing '\"'");
    }

    bool ValueLine(std::string_view line) {
        if (m_key.empty())
            return Fail("a value before the first [key] line");
        if (m_keyDeleted)
            return Fail("a value under a deleted [-key]");
        RegFileEntry entry;
        entry.path = m_key;
        std::string_view rest;
        if (line.front() == '@') {
            rest = line.substr(1);
        } else if (line.front() == '"') {
            std::string name;
            if (!Quoted(line, &name, &rest))
                return false;
            entry.value.name = FromUtf8(name);
            if (HasControl(entry.value.name))
                return Fail("control character in a value name");
        } else {
            return Fail("expected a [key], a \"value name\" or @");
        }
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=')
            return Fail("expected '=' after the value name");
        rest = TrimLeft(rest.substr(1));
        if (!Data(rest, &entry))
            return false;
        m_entries->push_back(std::move(entry));
        return true;
    }

    bool ExpectEnd(std::string_view rest) {
        if (!TrimLeft(rest).empty())
            return Fail("unexpected text after the value: '" + std::string(TrimLeft(rest)) + "'");
        return true;
    }

    bool Data(std::string_view s, RegFileEntry* entry) {
        RegValue& value = entry->value;
        entry->kind = RegFileEntry::Kind::Value;
        if (s == "-") {
            entry->kind = RegFileEntry::Kind::DeleteValue;
            return true;
        }
        if (!s.empty() && s.front() == '"') {
            std::string text;
            std::string_view rest;
            if (!Quoted(s, &text, &rest) || !ExpectEnd(rest))
                return false;
            value.type = REG_SZ;
            value.data = Utf16LeBytes(FromUtf8(text));
            return true;
        }
        if (StartsWithNoCase(s, "dword:")) {
            s.remove_prefix(6);
            DWORD number = 0;
            std::size_t digits = 0;
            while (digits < s.size() && HexDigit(s[digits]) >= 0) {
                number = (number << 4) | static_cast<DWORD>(HexDigit(s[digits]));
                ++digits;
            }
            if (digits == 0 || digits > 8)
                return Fail("dword: needs 1 to 8 hexadecimal digits");
            if (!ExpectEnd(s.substr(digits)))
                return false;
            value.type = REG_DWORD;
            value.data = {static_cast<char>(number & 0xFF), static_cast<char>((number >> 8) & 0xFF),
                          static_cast<char>((number >> 16) & 0xFF),
                          static_cast<char>((number >> 24) & 0xFF)};
            return true;
        }
        if (StartsWithNoCase(s, "hex")) {
            s.remove_prefix(3);
            value.type = REG_BINARY;
            if (!s.empty() && s.front() == '(') {
                const auto close = s.find(')');
                if (close == std::string_view::npos || close == 1 || close > 9)
                    return Fail("hex(type): needs a hexadecimal type number");
                DWORD type = 0;
                for (char c : s.substr(1, close - 1)) {
                    if (HexDigit(c) < 0)
                        return Fail("hex(type): needs a hexadecimal type number");
                    type = (type << 4) | static_cast<DWORD>(HexDigit(c));
                }
                value.type = type;
                s.remove_prefix(close + 1);
            }
            if (s.empty() || s.front() != ':')
                return Fail("expected ':' after hex");
            return HexBytes(s.substr(1), &value.data);
        }
        return Fail("unknown value data '" + std::string(s) + "'");
    }

    bool HexBytes(std::string_view s, std::string* data) {
        std::string joined;
        for (;;) {
            s = TrimRight(s);
            if (s.empty() || s.back() != '\\') {
                joined += s;
                break;
            }
            s.remove_suffix(1);
            joined += s;
            if (!NextLine())
                return Fail("the file ends inside a continued hex value");
            s = TrimLeft(m_line);
        }
        std::string_view rest = joined;
        data->clear();
        if (TrimLeft(rest).empty())
            return true;
        for (;;) {
            const auto comma = rest.find(',');
            std::string_view token = TrimRight(TrimLeft(rest.substr(0, comma)));
            if (token.empty()) {
                if (comma == std::string_view::npos)
                    break; // a trailing comma
                return Fail("empty byte in a hex list");
            }
            if (token.size() > 2 || HexDigit(token[0]) < 0 ||
                (token.size() == 2 && HexDigit(token[1]) < 0))
                return Fail("'" + std::string(token) + "' is not a hexadecimal byte");
            int byte = HexDigit(token[0]);
            if (token.size() == 2)
                byte = byte * 16 + HexDigit(token[1]);
            *data += static_cast<char>(byte);
            if (comma == std::string_view::npos)
                break;
            rest = rest.substr(comma + 1);
        }
        return true;
    }

    std::string_view m_text;
    std::vector<RegFileEntry>* m_entries;
    RegParseError* m_error;
    std::size_t m_pos = 0;
    std::string_view m_line;
    int m_lineNumber = 0;
    bool m_valid = true;
    std::vector<std::wstring> m_key;
    bool m_keyDeleted = false;
};

} // namespace

bool RegistryTree::Parse(std::string_view text, std::vector<RegFileEntry>* entries,
                         RegParseError* error) {
    entries->clear();
    std::string converted;
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
        static_cast<unsigned char>(text[1]) == 0xFE) {
        if (!Utf16LeToUtf8(text.substr(2), &converted)) {
            if (error)
                *error = RegParseError{1, "malformed UTF-16 text"};
            return false;
        }
        text = converted;
    } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    Parser parser(text, entries, error);
    if (!parser.Run()) {
        entries->clear();
        return false;
    }
    return true;
}

} // namespace ketra::sys
