// The registry's content in memory, and its ".reg" text form.
//
// Grammar accepted by Parse (documented for users in docs/settings-store.md):
//   file     := [BOM] header { line }        header: "Windows Registry Editor Version 5.00"
//                                            or "REGEDIT4"; UTF-8, or UTF-16LE with a BOM
//   line     := blank | ";" comment | "[" ["-"] path "]" | name "=" data
//   path     := ROOT { "\" component }       ROOT: HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
//                                            HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG
//   name     := "@" | quoted                 quoted: '"' { char | "\\" | "\"" } '"'
//   data     := quoted | "dword:" 1-8 hex digits | "hex" ["(" type ")"] ":" bytes | "-"
//   bytes    := [ hh { "," hh } ] where a line ending in "\" continues on the next line
// Blanks around "=" and at line ends are allowed. Serialise writes exactly this form
// (LF line ends, hex lines wrapped below 80 columns, strings that cannot be quoted as
// hex(1) bytes), so Parse(Serialise(t)) == t.
#pragma once

#include "platform/sys/Registry.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ketra::sys {

struct RegValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::string data; // raw bytes

    friend bool operator==(const RegValue&, const RegValue&) = default;
};

class RegistryKey {
public:
    explicit RegistryKey(std::wstring name = {}) : m_name(std::move(name)) {}
    // Copies are deep.
    RegistryKey(const RegistryKey& other);
    RegistryKey& operator=(const RegistryKey& other);
    RegistryKey(RegistryKey&&) noexcept = default;
    RegistryKey& operator=(RegistryKey&&) noexcept = default;

    const std::wstring& Name() const { return m_name; }

    // Subkeys, ordered by folded name.
    RegistryKey* Find(std::wstring_view name);
    const RegistryKey* Find(std::wstring_view name) const;
    RegistryKey* FindOrCreate(std::wstring_view name, bool* created = nullptr);
    bool Remove(std::wstring_view name);
    void ClearSubkeys() { m_subkeys.clear(); }
    const std::map<std::wstring, std::unique_ptr<RegistryKey>>& Subkeys() const { return m_subkeys; }

    // Values, in the order they were first set.
    const RegValue* FindValue(std::wstring_view name) const;
    void SetValue(std::wstring_view name, DWORD type, std::string data);
    bool RemoveValue(std::wstring_view name);
    void ClearValues() { m_values.clear(); }
    const std::vector<RegValue>& Values() const { return m_values; }

    bool Equals(const RegistryKey& other) const;

private:
    std::wstring m_name;
    std::vector<RegValue> m_values;
    std::map<std::wstring, std::unique_ptr<RegistryKey>> m_subkeys;
};

struct RegParseError {
    int line = 0;
    std::string message;
};

// One change read from a ".reg" file; applying them in order to an empty tree gives the
// file's tree.
struct RegFileEntry {
    enum class Kind { Key, DeleteKey, Value, DeleteValue };
    Kind kind = Kind::Key;
    std::vector<std::wstring> path; // root name first
    RegValue value;
};

class RegistryTree {
public:
    RegistryTree() = default;

    // The key at `path` (root name first), or null.
    RegistryKey* Find(const std::vector<std::wstring>& path);
    RegistryKey* FindOrCreate(const std::vector<std::wstring>& path, bool* created = nullptr);
    // Deletes the key at `path` with everything below; false when it does not exist.
    bool Remove(const std::vector<std::wstring>& path);
    void Clear() { m_roots = RegistryKey(); }
    const RegistryKey& Roots() const { return m_roots; }

    void Apply(const std::vector<RegFileEntry>& entries);

    // The ".reg" text of the whole tree.
    std::string Serialise() const;

    // Reads ".reg" text into entries. False with the first error's line when malformed.
    static bool Parse(std::string_view text, std::vector<RegFileEntry>* entries,
                      RegParseError* error);
    // Parse and Apply to a fresh tree.
    static bool FromText(std::string_view text, RegistryTree* tree, RegParseError* error);

    // The canonical spelling of a root key name, or "" when `name` is not one.
    static std::wstring CanonicalRoot(std::wstring_view name);

    bool operator==(const RegistryTree& other) const { return m_roots.Equals(other.m_roots); }

private:
    RegistryKey m_roots; // nameless; its subkeys are the root keys
};

} // namespace ketra::sys
