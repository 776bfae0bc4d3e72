#include "platform/sys/RegistryTree.h"

#include "platform/sys/TextEncoding.h"

#include <algorithm>
#include <cstdio>

namespace ketra::sys {

RegistryKey::RegistryKey(const RegistryKey& other)
    : m_name(other.m_name), m_values(other.m_values) {
    for (const auto& [folded, sub] : other.m_subkeys)
        m_subkeys.emplace(folded, std::make_unique<RegistryKey>(*sub));
}

RegistryKey& RegistryKey::operator=(const RegistryKey& other) {
    if (this != &other) {
        RegistryKey copy(other);
        *this = std::move(copy);
    }
    return *this;
}

RegistryKey* RegistryKey::Find(std::wstring_view name) {
    const auto it = m_subkeys.find(FoldCase(name));
    return it == m_subkeys.end() ? nullptr : it->second.get();
}

const RegistryKey* RegistryKey::Find(std::wstring_view name) const {
    const auto it = m_subkeys.find(FoldCase(name));
    return it == m_subkeys.end() ? nullptr : it->second.get();
}

RegistryKey* RegistryKey::FindOrCreate(std::wstring_view name, bool* created) {
    auto& slot = m_subkeys[FoldCase(name)];
    if (created)
        *created = !slot;
    if (!slot)
        slot = std::make_unique<RegistryKey>(std::wstring(name));
    return slot.get();
}

bool RegistryKey::Remove(std::wstring_view name) { return m_subkeys.erase(FoldCase(name)) > 0; }

namespace {
bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}
} // namespace

const RegValue* RegistryKey::FindValue(std::wstring_view name) const {
    for (const RegValue& v : m_values)
        if (SameName(v.name, name))
            return &v;
    return nullptr;
}

void RegistryKey::SetValue(std::wstring_view name, DWORD type, std::string data) {
    // An existing value keeps its place and the spelling of its name, as on Windows.
    if (auto* existing = const_cast<RegValue*>(FindValue(name))) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    m_values.push_back(RegValue{std::wstring(name), type, std::move(data)});
}

bool RegistryKey::RemoveValue(std::wstring_view name) {
    const auto it = std::find_if(m_values.begin(), m_values.end(),
                                 [&](const RegValue& v) { return SameName(v.name, name); });
    if (it == m_values.end())
        return false;
    m_values.erase(it);
    return true;
}

bool RegistryKey::Equals(const RegistryKey& other) const {
    if (m_name != other.m_name || m_values != other.m_values ||
        m_subkeys.size() != other.m_subkeys.size())
        return false;
    auto a = m_subkeys.begin();
    auto b = other.m_subkeys.begin();
    for (; a != m_subkeys.end(); ++a, ++b)
        if (a->first != b->first || !a->second->Equals(*b->second))
            return false;
    return true;
}

RegistryKey* RegistryTree::Find(const std::vector<std::wstring>& path) {
    RegistryKey* key = &m_roots;
    for (const auto& component : path) {
        key = key->Find(component);
        if (!key)
            return nullptr;
    }
    return key;
}

RegistryKey* RegistryTree::FindOrCreate(const std::vector<std::wstring>& path, bool* created) {
    RegistryKey* key = &m_roots;
    bool made = false;
    for (const auto& component : path)
        key = key->FindOrCreate(component, &made);
    if (created)
        *created = made;
    return key;
}

bool RegistryTree::Remove(const std::vector<std::wstring>& path) {
    if (path.empty())
        return false;
    RegistryKey* parent = Find(std::vector<std::wstring>(path.begin(), path.end() - 1));
    return parent && parent->Remove(path.back());
}

void RegistryTree::Apply(const std::vector<RegFileEntry>& entries) {
    for (const RegFileEntry& e : entries) {
        switch (e.kind) {
        case RegFileEntry::Kind::Key:
            FindOrCreate(e.path);
            break;
        case RegFileEntry::Kind::DeleteKey:
            Remove(e.path);
            break;
        case RegFileEntry::Kind::Value:
            FindOrCreate(e.path)->SetValue(e.value.name, e.value.type, e.value.data);
            break;
        case RegFileEntry::Kind::DeleteValue:
            if (RegistryKey* key = Find(e.path))
                key->RemoveValue(e.value.name);
            break;
        }
    }
}

bool RegistryTree::FromText(std::string_view text, RegistryTree* tree, RegParseError* error) {
    std::vector<RegFileEntry> entries;
    if (!Parse(text, &entries, error))
        return false;
    tree->Clear();
    tree->Apply(entries);
    return true;
}

std::wstring RegistryTree::CanonicalRoot(std::wstring_view name) {
    static const wchar_t* const kRoots[] = {L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                            L"HKEY_CLASSES_ROOT", L"HKEY_USERS",
                                            L"HKEY_CURRENT_CONFIG"};
    const std::wstring folded = FoldCase(name);
    for (const wchar_t* root : kRoots)
        if (folded == root)
            return root;
    return {};
}

// ---- Serialisation ----

namespace {

void AppendQuoted(std::string& out, std::wstring_view text) {
    out += '"';
    for (char c : ToUtf8(text)) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// REG_SZ data that can be written as a quoted string: whole UTF-16 text with no character
// that would break the line-based form.
bool QuotableText(const std::string& data, std::wstring* text) {
    if (data.size() % 2 != 0)
        return false;
    std::u16string units(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                         (static_cast<unsigned char>(data[2 * i + 1]) << 8));
    if (!DecodeUtf16(units, text))
        return false;
    return std::none_of(text->begin(), text->end(),
                        [](wchar_t c) { return c == L'\0' || c == L'\r' || c == L'\n'; });
}

void AppendHex(std::string& out, std::size_t lineStart, DWORD type, const std::string& data) {
    char buffer[16];
    if (type == REG_BINARY) {
        out += "hex:";
    } else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(type));
        out += buffer;
    }
    // Wrapped like regedit: lines stay below 80 columns, continued with "\" and two blanks.
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(data[i]));
        out += buffer;
        if (i + 1 < data.size()) {
            out += ',';
            if (out.size() - lineStart > 75) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

void AppendValue(std::string& out, const RegValue& value) {
    const std::size_t lineStart = out.size();
    if (value.name.empty())
        out += '@';
    else
        AppendQuoted(out, value.name);
    out += '=';
    std::wstring text;
    if (value.type == REG_SZ && QuotableText(value.data, &text)) {
        AppendQuoted(out, text);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(value.data.data());
        const DWORD number = b[0] | (b[1] << 8) | (b[2] << 16) | (DWORD{b[3]} << 24);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(number));
        out += buffer;
    } else {
        AppendHex(out, lineStart, value.type, value.data);
    }
    out += '\n';
}

void AppendKey(std::string& out, const RegistryKey& key, const std::string& path, bool isRoot) {
    // A root is named by its subkeys' paths; one left empty (its keys deleted) is written on
    // its own so the file reads back as the same tree.
    if (!isRoot || !key.Values().empty() || key.Subkeys().empty()) {
        out += '[';
        out += path;
        out += "]\n";
        for (const RegValue& value : key.Values())
            AppendValue(out, value);
        out += '\n';
    }
    for (const auto& [folded, sub] : key.Subkeys())
        AppendKey(out, *sub, path + "\\" + ToUtf8(sub->Name()), false);
}

} // namespace

std::string RegistryTree::Serialise() const {
    std::string out = "Windows Registry Editor Version 5.00\n\n";
    for (const auto& [folded, root] : m_roots.Subkeys())
        AppendKey(out, *root, ToUtf8(root->Name()), true);
    return out;
}

} // namespace ketra::sys
