#include "platform/sys/Registry.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/RegistryTree.h"
#include "platform/sys/Shell.h"
#include "platform/sys/TextEncoding.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <unordered_map>

namespace ketra::sys {

namespace {

using Path = std::vector<std::wstring>;

struct Handle {
    Path path;
    REGSAM access = 0;
};

struct Store {
    std::recursive_mutex mutex;

    // The file as last read.
    std::string path;
    FileIdentity identity;
    std::int64_t loadedAtNs = 0;
    bool loaded = false;
    RegistryTree tree;
    bool corrupt = false;

    // The last unreadable file reported, so each bad version is reported once.
    std::string reportedPath;
    FileIdentity reportedIdentity;

    // A report waiting for the file lock to be released.
    std::string pendingReport;

    // The open transaction, if any.
    int depth = 0;
    std::optional<FileLock> lock;
    bool dirty = false;
    // A change this transaction refused (no lock, unreadable file): its commit fails with it,
    // so a caller does not take the values for saved.
    LONG refused = ERROR_SUCCESS;

    std::unordered_map<std::uintptr_t, Handle> handles;
    std::uintptr_t nextHandle = 0x10000;
};

Store& TheStore() {
    static Store store;
    return store;
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void DeliverReport(Store& s) {
    if (s.pendingReport.empty())
        return;
    const std::string text = std::move(s.pendingReport);
    s.pendingReport.clear();
    GetShell().MessageBox(text, "Ketra", Shell::Icon::Warning, Shell::Buttons::Ok);
}

void ReportUnreadable(Store& s, const std::string& problem) {
    if (s.reportedPath == s.path && s.reportedIdentity == s.identity)
        return;
    s.reportedPath = s.path;
    s.reportedIdentity = s.identity;
    s.pendingReport = "The settings file cannot be read (" + problem +
                      "). Settings keep their defaults and are not saved until the file is "
                      "repaired or removed.";
    // A message box may wait for the user: never show it while other programs wait for our
    // file lock.
    if (s.depth == 0)
        DeliverReport(s);
}

void Load(Store& s, const std::string& path) {
    s.path = path;
    s.identity = GetFileIdentity(path);
    s.loadedAtNs = NowNs();
    s.loaded = true;
    s.corrupt = false;
    s.tree.Clear();
    if (!s.identity.exists)
        return;
    std::string bytes;
    std::string error;
    if (!ReadFile(path, &bytes, &error)) {
        s.corrupt = true;
        ReportUnreadable(s, error);
        return;
    }
    RegParseError parseError;
    if (!RegistryTree::FromText(bytes, &s.tree, &parseError)) {
        s.tree.Clear();
        s.corrupt = true;
        ReportUnreadable(s, path + ":" + std::to_string(parseError.line) + ": " +
                                parseError.message);
    }
}

// Re-reads the file unless it is certainly unchanged. A file modified within a second of
// our last read may have been rewritten with the same inode number, size and timestamp
// (timestamps are coarse and inodes are reused), so such a file is always re-read.
void Refresh(Store& s) {
    const std::string path = RegistryFilePath();
    if (s.loaded && path == s.path) {
        const FileIdentity id = GetFileIdentity(path);
        if (id == s.identity && (!id.exists || id.mtimeNs + 1000000000 < s.loadedAtNs))
            return;
    }
    Load(s, path);
}

bool ParseSubKey(const wchar_t* subKey, Path* out) {
    out->clear();
    if (!subKey || !*subKey)
        return true;
    std::wstring_view rest(subKey);
    if (rest.front() == L'\\')
        return false;
    if (rest.back() == L'\\')
        rest.remove_suffix(1);
    while (true) {
        const auto slash = rest.find(L'\\');
        const std::wstring_view component = rest.substr(0, slash);
        if (component.empty())
            return false;
        for (wchar_t c : component)
            if (c < 0x20)
                return false;
        out->emplace_back(component);
        if (slash == std::wstring_view::npos)
            return true;
        rest.remove_prefix(slash + 1);
    }
}

// The checks a call that hands out a key handle starts with: somewhere to put the handle
// (cleared here) and a well-formed sub-key path.
LONG StartOpening(const wchar_t* subKey, HKEY* result, Path* sub) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    return ParseSubKey(subKey, sub) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
}

bool ValidValueName(const wchar_t* name) {
    for (const wchar_t* p = name; p && *p; ++p)
        if (*p < 0x20)
            return false;
    return true;
}

std::wstring ValueName(const wchar_t* name) { return name ? std::wstring(name) : std::wstring(); }

bool IsRootHandle(HKEY key) { return key == HKEY_CURRENT_USER; }

// The handle's key path and access, or false for an unknown or closed handle.
bool LookUp(Store& s, HKEY key, Handle* out) {
    if (IsRootHandle(key)) {
        *out = Handle{{L"HKEY_CURRENT_USER"}, KEY_ALL_ACCESS};
        return true;
    }
    const auto it = s.handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == s.handles.end())
        return false;
    *out = it->second;
    return true;
}

HKEY NewHandle(Store& s, Path path, REGSAM access) {
    const std::uintptr_t id = s.nextHandle++;
    s.handles.emplace(id, Handle{std::move(path), access});
    return reinterpret_cast<HKEY>(id);
}

// The key a handle names in the current tree; the root key exists even when empty.
const RegistryKey* KeyOf(Store& s, const Handle& h) {
    static const RegistryKey kEmptyRoot(L"HKEY_CURRENT_USER");
    const RegistryKey* key = s.tree.Find(h.path);
    if (!key && h.path.size() == 1)
        return &kEmptyRoot;
    return key;
}

template <class F> LONG Read(HKEY hkey, F body) {
    Store& s = TheStore();
    std::lock_guard guard(s.mutex);
    Handle h;
    if (!LookUp(s, hkey, &h))
        return ERROR_INVALID_HANDLE;
    if (s.depth == 0)
        Refresh(s);
    const RegistryKey* key = KeyOf(s, h);
    if (!key)
        return ERROR_KEY_DELETED;
    return body(*key, h);
}

// Runs `change` on the key of `hkey` inside a transaction (joining an open one). `change`
// sets `changed` when it altered the tree and must not alter it when it fails.
template <class F> LONG Mutate(HKEY hkey, REGSAM needed, F change) {
    Store& s = TheStore();
    std::lock_guard guard(s.mutex);
    Handle h;
    if (!LookUp(s, hkey, &h))
        return ERROR_INVALID_HANDLE;
    if ((h.access & needed & 0xFFFF) != (needed & 0xFFFF))
        return ERROR_ACCESS_DENIED;
    RegistryTransaction transaction;
    if (s.corrupt)
        return s.refused = ERROR_REGISTRY_CORRUPT;
    if (!s.lock || !s.lock->IsLocked())
        return s.refused = ERROR_ACCESS_DENIED;
    RegistryKey* key = h.path.size() == 1 ? s.tree.FindOrCreate(h.path) : s.tree.Find(h.path);
    if (!key)
        return ERROR_KEY_DELETED;
    bool changed = false;
    const LONG result = change(*key, h, changed);
    if (result != ERROR_SUCCESS)
        return result;
    if (changed)
        s.dirty = true;
    return transaction.Commit();
}

LONG CopyOut(const std::string& bytes, DWORD type, DWORD* typeOut, BYTE* data, DWORD* size) {
    if (typeOut)
        *typeOut = type;
    const auto needed = static_cast<DWORD>(bytes.size());
    if (data) {
        if (!size)
            return ERROR_INVALID_PARAMETER;
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, bytes.data(), bytes.size());
    }
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}

LONG CopyName(const std::wstring& name, wchar_t* buffer, DWORD* size) {
    if (!buffer || !size)
        return ERROR_INVALID_PARAMETER;
    if (*size < name.size() + 1) {
        *size = static_cast<DWORD>(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::wmemcpy(buffer, name.data(), name.size());
    buffer[name.size()] = L'\0';
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

} // namespace

std::string RegistryFilePath() {
    if (const char* explicitPath = std::getenv("KETRA_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/ketra/registry.reg";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else {
        struct passwd pw {};
        struct passwd* result = nullptr;
        char buffer[4096];
        if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &result) == 0 && result)
            home = pw.pw_dir;
    }
    return home + "/.config/ketra/registry.reg";
}

// ---- Transactions ----

RegistryTransaction::RegistryTransaction() {
    Store& s = TheStore();
    s.mutex.lock();
    if (s.depth++ > 0)
        return;
    const std::string path = RegistryFilePath();
    MakeParentDirectories(path, nullptr);
    s.lock.emplace(path, FileLock::Mode::Exclusive);
    if (s.lock->IsLocked())
        RemoveStaleTemporaries(path);
    // Under the lock the file is always re-read: this is what keeps other processes' values.
    Load(s, path);
    s.dirty = false;
    s.refused = ERROR_SUCCESS;
}

LONG RegistryTransaction::Commit() {
    if (m_done)
        return ERROR_SUCCESS;
    m_done = true;
    Store& s = TheStore();
    if (s.depth > 1)
        return ERROR_SUCCESS;
    if (s.refused != ERROR_SUCCESS)
        return s.refused;
    if (!s.dirty)
        return ERROR_SUCCESS;
    s.dirty = false;
    LONG result = ERROR_SUCCESS;
    if (s.corrupt)
        result = ERROR_REGISTRY_CORRUPT;
    else if (!s.lock || !s.lock->IsLocked())
        result = ERROR_ACCESS_DENIED;
    else if (!WriteFileAtomically(s.path, s.tree.Serialise(), nullptr))
        result = ERROR_CANTWRITE;
    if (result == ERROR_SUCCESS) {
        s.identity = GetFileIdentity(s.path);
        s.loadedAtNs = NowNs();
    } else {
        Load(s, s.path);
    }
    return result;
}

RegistryTransaction::~RegistryTransaction() {
    Store& s = TheStore();
    if (--s.depth == 0) {
        if (s.dirty) {
            // Uncommitted changes are dropped: show the file again.
            s.dirty = false;
            s.loaded = false;
        }
        s.lock.reset();
        DeliverReport(s);
    }
    s.mutex.unlock();
}

// ---- Keys ----

LONG RegCreateKeyEx(HKEY key, const wchar_t* subKey, DWORD, wchar_t*, DWORD, REGSAM access, void*,
                    HKEY* result, DWORD* disposition) {
    Path sub;
    if (const LONG status = StartOpening(subKey, result, &sub); status != ERROR_SUCCESS)
        return status;
    Store& s = TheStore();
    std::lock_guard guard(s.mutex);
    Handle parent;
    if (!LookUp(s, key, &parent))
        return ERROR_INVALID_HANDLE;
    Path full = parent.path;
    full.insert(full.end(), sub.begin(), sub.end());
    // Opening an existing key is a read; only a missing key costs a write.
    if (s.depth == 0)
        Refresh(s);
    bool exists = s.tree.Find(full) != nullptr || (full.size() == 1);
    if (!exists) {
        const LONG status = Mutate(key, KEY_CREATE_SUB_KEY, [&](RegistryKey& k, const Handle&,
                                                                bool& changed) {
            RegistryKey* at = &k;
            for (const auto& component : sub)
                at = at->FindOrCreate(component, &changed);
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS)
            return status;
    }
    if (disposition)
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(s, std::move(full), access);
    return ERROR_SUCCESS;
}

LONG RegOpenKeyEx(HKEY key, const wchar_t* subKey, DWORD, REGSAM access, HKEY* result) {
    Path sub;
    if (const LONG status = StartOpening(subKey, result, &sub); status != ERROR_SUCCESS)
        return status;
    Store& s = TheStore();
    std::lock_guard guard(s.mutex);
    Path full;
    const LONG status = Read(key, [&](const RegistryKey& k, const Handle& h) {
        const RegistryKey* at = &k;
        for (const auto& component : sub)
            if (!(at = at->Find(component)))
                return ERROR_FILE_NOT_FOUND;
        full = h.path;
        full.insert(full.end(), sub.begin(), sub.end());
        return ERROR_SUCCESS;
    });
    if (status == ERROR_SUCCESS)
        *result = NewHandle(s, std::move(full), access);
    return status;
}

LONG RegCloseKey(HKEY key) {
    if (IsRootHandle(key))
        return ERROR_SUCCESS;
    Store& s = TheStore();
    std::lock_guard guard(s.mutex);
    return s.handles.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS
                                                                  : ERROR_INVALID_HANDLE;
}

LONG RegDeleteKey(HKEY key, const wchar_t* subKey) {
    Path sub;
    if (!ParseSubKey(subKey, &sub) || sub.empty())
        return ERROR_BAD_PATHNAME;
    return Mutate(key, KEY_SET_VALUE, [&](RegistryKey& k, const Handle&, bool& changed) {
        RegistryKey* parent = &k;
        for (std::size_t i = 0; i + 1 < sub.size(); ++i)
            if (!(parent = parent->Find(sub[i])))
                return ERROR_FILE_NOT_FOUND;
        const RegistryKey* target = parent->Find(sub.back());
        if (!target)
            return ERROR_FILE_NOT_FOUND;
        if (!target->Subkeys().empty())
            return ERROR_ACCESS_DENIED;
        changed = parent->Remove(sub.back());
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteTree(HKEY key, const wchar_t* subKey) {
    Path sub;
    if (!ParseSubKey(subKey, &sub))
        return ERROR_BAD_PATHNAME;
    return Mutate(key, KEY_SET_VALUE, [&](RegistryKey& k, const Handle&, bool& changed) {
        if (sub.empty()) {
            changed = !k.Values().empty() || !k.Subkeys().empty();
            k.ClearValues();
            k.ClearSubkeys();
            return ERROR_SUCCESS;
        }
        RegistryKey* parent = &k;
        for (std::size_t i = 0; i + 1 < sub.size(); ++i)
            if (!(parent = parent->Find(sub[i])))
                return ERROR_FILE_NOT_FOUND;
        if (!parent->Remove(sub.back()))
            return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

// ---- Values ----

LONG RegQueryValueEx(HKEY key, const wchar_t* name, DWORD*, DWORD* type, BYTE* data,
                     DWORD* dataSize) {
    return Read(key, [&](const RegistryKey& k, const Handle&) {
        const RegValue* value = k.FindValue(ValueName(name));
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        return CopyOut(value->data, value->type, type, data, dataSize);
    });
}

LONG RegSetValueEx(HKEY key, const wchar_t* name, DWORD, DWORD type, const BYTE* data,
                   DWORD dataSize) {
    if (!ValidValueName(name) || (!data && dataSize > 0))
        return ERROR_INVALID_PARAMETER;
    std::string bytes(reinterpret_cast<const char*>(data), dataSize);
    if (type == REG_SZ && bytes.size() >= 2 && bytes.size() % 2 == 0 &&
        bytes.compare(bytes.size() - 2, 2, std::string(2, '\0')) == 0)
        bytes.resize(bytes.size() - 2);
    return Mutate(key, KEY_SET_VALUE, [&](RegistryKey& k, const Handle&, bool& changed) {
        const RegValue* old = k.FindValue(ValueName(name));
        if (old && old->type == type && old->data == bytes)
            return ERROR_SUCCESS;
        k.SetValue(ValueName(name), type, std::move(bytes));
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValue(HKEY key, const wchar_t* name) {
    return Mutate(key, KEY_SET_VALUE, [&](RegistryKey& k, const Handle&, bool& changed) {
        if (!k.RemoveValue(ValueName(name)))
            return ERROR_FILE_NOT_FOUND;
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKeyEx(HKEY key, DWORD index, wchar_t* name, DWORD* nameSize, DWORD*, wchar_t*,
                  DWORD* classSize, void*) {
    if (classSize)
        *classSize = 0;
    return Read(key, [&](const RegistryKey& k, const Handle&) {
        if (index >= k.Subkeys().size())
            return ERROR_NO_MORE_ITEMS;
        auto it = k.Subkeys().begin();
        std::advance(it, index);
        return CopyName(it->second->Name(), name, nameSize);
    });
}

LONG RegEnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameSize, DWORD*, DWORD* type,
                  BYTE* data, DWORD* dataSize) {
    return Read(key, [&](const RegistryKey& k, const Handle&) {
        if (index >= k.Values().size())
            return ERROR_NO_MORE_ITEMS;
        const RegValue& value = k.Values()[index];
        const LONG status = CopyName(value.name, name, nameSize);
        if (status != ERROR_SUCCESS)
            return status;
        return CopyOut(value.data, value.type, type, data, dataSize);
    });
}

LONG RegQueryInfoKey(HKEY key, DWORD* subKeys, DWORD* values) {
    return Read(key, [&](const RegistryKey& k, const Handle&) {
        if (subKeys)
            *subKeys = static_cast<DWORD>(k.Subkeys().size());
        if (values)
            *values = static_cast<DWORD>(k.Values().size());
        return ERROR_SUCCESS;
    });
}

LONG RegFlushKey(HKEY key) {
    return Read(key, [](const RegistryKey&, const Handle&) { return ERROR_SUCCESS; });
}

// ---- Conveniences ----

LONG RegSetString(HKEY key, const wchar_t* name, std::wstring_view text) {
    const std::u16string units = ToUtf16(text);
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size()));
}

LONG RegQueryString(HKEY key, const wchar_t* name, std::wstring* text) {
    return Read(key, [&](const RegistryKey& k, const Handle&) {
        const RegValue* value = k.FindValue(ValueName(name));
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        if ((value->type != REG_SZ && value->type != REG_EXPAND_SZ) || value->data.size() % 2)
            return ERROR_UNSUPPORTED_TYPE;
        std::u16string units(value->data.size() / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(
                static_cast<unsigned char>(value->data[2 * i]) |
                (static_cast<unsigned char>(value->data[2 * i + 1]) << 8));
        while (!units.empty() && units.back() == u'\0')
            units.pop_back();
        return DecodeUtf16(units, text) ? ERROR_SUCCESS : ERROR_UNSUPPORTED_TYPE;
    });
}

LONG RegSetDword(HKEY key, const wchar_t* name, DWORD value) {
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    return RegSetValueEx(key, name, 0, REG_DWORD, bytes, 4);
}

LONG RegQueryDword(HKEY key, const wchar_t* name, DWORD* value) {
    return Read(key, [&](const RegistryKey& k, const Handle&) {
        const RegValue* stored = k.FindValue(ValueName(name));
        if (!stored)
            return ERROR_FILE_NOT_FOUND;
        if (stored->type != REG_DWORD || stored->data.size() != 4)
            return ERROR_UNSUPPORTED_TYPE;
        const auto* bytes = reinterpret_cast<const unsigned char*>(stored->data.data());
        *value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (DWORD{bytes[3]} << 24);
        return ERROR_SUCCESS;
    });
}

// ---- Export and import ----

bool RegExportFile(const std::string& path, std::string* error) {
    Store& s = TheStore();
    std::lock_guard guard(s.mutex);
    if (s.depth == 0)
        Refresh(s);
    if (s.corrupt) {
        if (error)
            *error = "the settings file '" + s.path + "' cannot be read; nothing exported";
        return false;
    }
    return WriteFileAtomically(path, s.tree.Serialise(), error);
}

bool RegImportFile(const std::string& path, std::string* error) {
    std::string bytes;
    if (!ReadFile(path, &bytes, error))
        return false;
    std::vector<RegFileEntry> entries;
    RegParseError parseError;
    if (!RegistryTree::Parse(bytes, &entries, &parseError)) {
        if (error)
            *error = path + ":" + std::to_string(parseError.line) + ": " + parseError.message;
        return false;
    }
    Store& s = TheStore();
    std::lock_guard guard(s.mutex);
    RegistryTransaction transaction;
    if (s.corrupt || !s.lock || !s.lock->IsLocked()) {
        if (error)
            *error = s.corrupt ? "the settings file '" + s.path + "' cannot be read"
                               : s.lock->Error();
        return false;
    }
    s.tree.Apply(entries);
    s.dirty = true;
    if (transaction.Commit() != ERROR_SUCCESS) {
        if (error)
            *error = "cannot write the settings file '" + s.path + "'";
        return false;
    }
    return true;
}

} // namespace ketra::sys
