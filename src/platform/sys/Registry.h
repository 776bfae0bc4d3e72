// The per-user settings store: the HKEY_CURRENT_USER tree of keys and typed values behind
// Win32-like Reg* calls, kept in one file in the Windows ".reg" text format.
//
// File: $KETRA_REGISTRY, else $XDG_CONFIG_HOME/ketra/registry.reg, else
// ~/.config/ketra/registry.reg (RegistryFilePath). The path is looked up on every call.
//
// Consistency across processes. Every change (set, delete, creating a key) is one
// read-modify-write cycle of the whole file under an exclusive advisory lock: the file is
// re-read under the lock, the change is applied and the file is replaced atomically. A
// value written by another process in between is therefore kept. A RegistryTransaction
// groups many changes into one such cycle. Reads use the file as last read, re-read
// whenever its identity (inode, size, mtime) changes.
//
// A file that exists but cannot be parsed is never overwritten: reads behave as if the
// store were empty, every change fails with ERROR_REGISTRY_CORRUPT, and the problem
// (file, line, what) is reported once through the Shell.
//
// Names. Key and value names are case-insensitive (see FoldCase) and keep the case they
// were created with. A key name is one or more components separated by '\'; components
// are non-empty. Names may not contain control characters (below U+0020).
//
// String data. REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data are UTF-16 code units in
// little-endian byte order, as on Windows; a trailing NUL given to RegSetValueEx for REG_SZ
// is not stored, and RegQueryValueEx returns the text without one. RegSetString and
// RegQueryString do the conversion from and to wide strings.
//
// Threads: the calls are safe to use from several threads; handles are process-wide.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ketra::sys {

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BYTE = std::uint8_t;
using REGSAM = DWORD;
struct HKEY__;
using HKEY = HKEY__*;

// Status codes (Windows' values).
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;
constexpr LONG ERROR_KEY_DELETED = 1018;
constexpr LONG ERROR_UNSUPPORTED_TYPE = 1630;

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights. A handle opened without KEY_SET_VALUE / KEY_CREATE_SUB_KEY refuses
// changes with ERROR_ACCESS_DENIED.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyEx dispositions.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

// The only predefined root key. Never closed.
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});

// Opens `subKey` below `key`, creating every missing key on the way. `subKey` null or ""
// opens a new handle to `key` itself. `disposition` (may be null) says whether the last key
// was created. `reserved`, `keyClass`, `options` and `security` are ignored.
LONG RegCreateKeyEx(HKEY key, const wchar_t* subKey, DWORD reserved, wchar_t* keyClass,
                    DWORD options, REGSAM access, void* security, HKEY* result,
                    DWORD* disposition);
// Opens an existing key: ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyEx(HKEY key, const wchar_t* subKey, DWORD options, REGSAM access, HKEY* result);
// Releases a handle. Closing a predefined key is allowed and does nothing.
LONG RegCloseKey(HKEY key);

// Reads a value. `name` null or "" is the key's default value. Any of `type`, `data` and
// `dataSize` may be null; with `data` null the size is still reported. When `*dataSize`
// is smaller than the value, returns ERROR_MORE_DATA with the needed size in `*dataSize`.
LONG RegQueryValueEx(HKEY key, const wchar_t* name, DWORD* reserved, DWORD* type, BYTE* data,
                     DWORD* dataSize);
// Writes a value (`dataSize` bytes of `data`; `data` may be null only when the size is 0).
LONG RegSetValueEx(HKEY key, const wchar_t* name, DWORD reserved, DWORD type, const BYTE* data,
                   DWORD dataSize);
LONG RegDeleteValue(HKEY key, const wchar_t* name);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise), with its values.
LONG RegDeleteKey(HKEY key, const wchar_t* subKey);
// Deletes `subKey` with everything below it; with `subKey` null or "" deletes every
// value and subkey of `key` but keeps `key`.
LONG RegDeleteTree(HKEY key, const wchar_t* subKey);

// Enumerations, in case-insensitive name order for subkeys and in stored order for values.
// `nameSize` is in characters; on entry the buffer size including the terminator, on
// success the length without it. ERROR_NO_MORE_ITEMS past the end.
LONG RegEnumKeyEx(HKEY key, DWORD index, wchar_t* name, DWORD* nameSize, DWORD* reserved,
                  wchar_t* keyClass, DWORD* classSize, void* lastWriteTime);
LONG RegEnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* nameSize, DWORD* reserved,
                  DWORD* type, BYTE* data, DWORD* dataSize);
// Counts of subkeys and values (either pointer may be null).
LONG RegQueryInfoKey(HKEY key, DWORD* subKeys, DWORD* values);
// Nothing to do: every change is on disk when its call returns.
LONG RegFlushKey(HKEY key);

// Conveniences over the calls above. A value of another type (or a dword whose size is not
// 4 bytes, or string data that is not UTF-16) gives ERROR_UNSUPPORTED_TYPE.
LONG RegSetString(HKEY key, const wchar_t* name, std::wstring_view text);
LONG RegQueryString(HKEY key, const wchar_t* name, std::wstring* text);
LONG RegSetDword(HKEY key, const wchar_t* name, DWORD value);
LONG RegQueryDword(HKEY key, const wchar_t* name, DWORD* value);

// Groups every change made by this process while it lives into one atomic update of the
// file, under one exclusive lock (other processes' changes wait). On construction the file
// is re-read; Commit writes it once if anything changed. Destroying an uncommitted
// transaction discards its changes. Transactions nest: inner ones join the outermost, whose
// Commit writes. Other threads' registry calls wait while a transaction is open.
class RegistryTransaction {
public:
    RegistryTransaction();
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // ERROR_SUCCESS when the changes are on disk (or there were none); otherwise the
    // changes are discarded and the store shows the file again. A transaction in which a
    // change was refused (the lock could not be had, the file cannot be read) returns that
    // refusal. Only the first call acts.
    LONG Commit();

private:
    bool m_done = false;
};

// The store's file for this process now (see the header comment).
std::string RegistryFilePath();

// Copies the whole store to `path` as a ".reg" file (written atomically). Fails, with a
// message, when the store's file cannot be parsed or `path` cannot be written.
bool RegExportFile(const std::string& path, std::string* error);
// Merges a ".reg" file into the store as regedit does: keys are created, values set,
// "[-KEY]" deletes a key tree and "name"=- a value. The file is parsed completely first;
// a parse error (reported with file and line) leaves the store untouched.
bool RegImportFile(const std::string& path, std::string* error);

} // namespace ketra::sys
