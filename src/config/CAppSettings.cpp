#include "config/CAppSettings.h"

#include "platform/sys/Registry.h"
#include "platform/sys/Shell.h"
#include "platform/sys/TextEncoding.h"

using namespace ketra::sys;

// ---- The members ----

std::wstring CAppSettings::CompanyName = L"Velmora";
std::wstring CAppSettings::PackageName = L"Halden";
std::wstring CAppSettings::Version = L"5.30";
std::wstring CAppSettings::RegOptionsSection = L"Options";

#define KETRA_DEFINE(type, p, n, e, initial, d)                                                    \
    type CAppSettings::p##n = initial;                                                             \
    type CAppSettings::p##Default##n = d;                                                          \
    const std::wstring CAppSettings::p##n##Entry = e;
#define KETRA_DEFINE_COLOR(p, n, e, d, f) KETRA_DEFINE(std::uint32_t, p, n, e, d, d)
#define KETRA_DEFINE_INT(p, n, e, d, f) KETRA_DEFINE(int, p, n, e, d, d)
#define KETRA_DEFINE_BOOL(p, n, e, d, f) KETRA_DEFINE(bool, p, n, e, d, d)
#define KETRA_DEFINE_NUMBER(p, n, e, d, x, f) KETRA_DEFINE(float, p, n, e, d, d)
#define KETRA_DEFINE_TEXT(p, n, e, d, i, f) KETRA_DEFINE(std::wstring, p, n, e, i, d)
KETRA_APP_SETTINGS(KETRA_DEFINE_COLOR, KETRA_DEFINE_INT, KETRA_DEFINE_BOOL, KETRA_DEFINE_NUMBER,
                   KETRA_DEFINE_TEXT)

// ---- The table that drives loading and saving ----

namespace {
// The flags column of the list, as KETRA_ROW pastes it.
enum Flags { Flag_Load = 0, Flag_SaveOnly = 1, Flag_LowByte = 2 };
enum class Kind { Color, Int, Bool, Number, Text };
} // namespace

struct CAppSettings::Setting {
    Kind kind;
    const std::wstring* entry;
    void* value;
    const void* defaultValue;
    int decimals;
    int flags;
    bool marlow;          // an MRL_ member: loaded for the pressure-vessel host only
    bool sharedWithOther; // its value name also belongs to a member of the other host
    std::string baseline; // what the member was when last loaded or saved, as stored bytes
};

std::vector<CAppSettings::Setting>& CAppSettings::Settings() {
    static std::vector<Setting> table = [] {
        std::vector<Setting> rows;
        auto add = [&rows](Kind kind, const std::wstring* entry, void* value,
                           const void* defaultValue, int decimals, int flags, const char* prefix) {
            rows.push_back(Setting{kind, entry, value, defaultValue, decimals, flags,
                                   std::string_view(prefix) == "MRL_", false, {}});
        };
#define KETRA_ROW(kind, p, n, x, f)                                                                \
    add(kind, &CAppSettings::p##n##Entry, &CAppSettings::p##n, &CAppSettings::p##Default##n, x, \
        Flag_##f, #p);
#define KETRA_ROW_COLOR(p, n, e, d, f) KETRA_ROW(Kind::Color, p, n, 0, f)
#define KETRA_ROW_INT(p, n, e, d, f) KETRA_ROW(Kind::Int, p, n, 0, f)
#define KETRA_ROW_BOOL(p, n, e, d, f) KETRA_ROW(Kind::Bool, p, n, 0, f)
#define KETRA_ROW_NUMBER(p, n, e, d, x, f) KETRA_ROW(Kind::Number, p, n, x, f)
#define KETRA_ROW_TEXT(p, n, e, d, i, f) KETRA_ROW(Kind::Text, p, n, 0, f)
        KETRA_APP_SETTINGS(KETRA_ROW_COLOR, KETRA_ROW_INT, KETRA_ROW_BOOL, KETRA_ROW_NUMBER,
                           KETRA_ROW_TEXT)
        for (Setting& row : rows) {
            for (const Setting& other : rows)
                if (other.marlow != row.marlow && FoldCase(*other.entry) == FoldCase(*row.entry))
                    row.sharedWithOther = true;
        }
        return rows;
    }();
    static bool baselined = [] {
        // The members hold their initial values the first time anyone asks for the table,
        // unless the host changed them before: their initial values come from the list.
        std::size_t i = 0;
#define KETRA_BASE(bytes) table[i++].baseline = bytes;
#define KETRA_BASE_COLOR(p, n, e, d, f) KETRA_BASE(char(REG_DWORD) + DwordBytes(d))
#define KETRA_BASE_INT(p, n, e, d, f) KETRA_BASE(char(REG_DWORD) + DwordBytes(d))
#define KETRA_BASE_BOOL(p, n, e, d, f) KETRA_BASE(char(REG_DWORD) + DwordBytes((d) ? 1 : 0))
#define KETRA_BASE_NUMBER(p, n, e, d, x, f) KETRA_BASE(char(REG_SZ) + TextBytes(FormatNumber(d, x)))
#define KETRA_BASE_TEXT(p, n, e, d, init, f) KETRA_BASE(char(REG_SZ) + TextBytes(init))
        KETRA_APP_SETTINGS(KETRA_BASE_COLOR, KETRA_BASE_INT, KETRA_BASE_BOOL, KETRA_BASE_NUMBER,
                           KETRA_BASE_TEXT)
        return true;
    }();
    (void)baselined;
    return table;
}

// ---- Per-setting operations ----

std::string CAppSettings::Encode(const Setting& s) {
    switch (s.kind) {
    case Kind::Color:
        return char(REG_DWORD) + DwordBytes(*static_cast<std::uint32_t*>(s.value));
    case Kind::Int:
        return char(REG_DWORD) + DwordBytes(static_cast<std::uint32_t>(*static_cast<int*>(s.value)));
    case Kind::Bool:
        return char(REG_DWORD) + DwordBytes(*static_cast<bool*>(s.value) ? 1 : 0);
    case Kind::Number:
        return char(REG_SZ) + TextBytes(FormatNumber(*static_cast<float*>(s.value), s.decimals));
    case Kind::Text: {
        // What SetValue stores: the characters up to the first NUL.
        const std::wstring& text = *static_cast<std::wstring*>(s.value);
        return char(REG_SZ) + TextBytes(std::wstring_view(text.c_str()));
    }
    }
    return {};
}

void CAppSettings::Load(Setting& s, Key key) {
    switch (s.kind) {
    case Kind::Color:
        *static_cast<std::uint32_t*>(s.value) = static_cast<std::uint32_t>(GetValue(
            key, *s.entry,
            static_cast<unsigned long>(*static_cast<const std::uint32_t*>(s.defaultValue))));
        break;
    case Kind::Int:
        *static_cast<int*>(s.value) =
            GetValue(key, *s.entry, *static_cast<const int*>(s.defaultValue));
        break;
    case Kind::Bool: {
        std::uint32_t number = 0;
        bool& flag = *static_cast<bool*>(s.value);
        if (!ReadDword(key, *s.entry, &number))
            flag = *static_cast<const bool*>(s.defaultValue);
        else
            flag = (s.flags & Flag_LowByte) ? (number & 0xFF) != 0 : number == 1;
        break;
    }
    case Kind::Number: {
        float number = 0;
        *static_cast<float*>(s.value) = ReadNumber(key, *s.entry, &number)
                                            ? number
                                            : *static_cast<const float*>(s.defaultValue);
        break;
    }
    case Kind::Text:
        *static_cast<std::wstring*>(s.value) =
            GetValue(key, *s.entry, *static_cast<const std::wstring*>(s.defaultValue));
        break;
    }
}

// Whether the store holds the value in a form InitSettings would load.
bool CAppSettings::Readable(const Setting& s, Key key) {
    std::uint32_t number = 0;
    float real = 0;
    std::wstring text;
    switch (s.kind) {
    case Kind::Color:
    case Kind::Int:
    case Kind::Bool:
        return ReadDword(key, *s.entry, &number);
    case Kind::Number:
        return ReadNumber(key, *s.entry, &real);
    case Kind::Text:
        return ReadLongText(key, *s.entry, &text);
    }
    return false;
}

void CAppSettings::Store(const Setting& s, Key key) {
    switch (s.kind) {
    case Kind::Color:
        SetValue(key, *s.entry, static_cast<unsigned long>(*static_cast<std::uint32_t*>(s.value)));
        break;
    case Kind::Int:
        SetValue(key, *s.entry, *static_cast<int*>(s.value));
        break;
    case Kind::Bool:
        // "Smooth Transition" keeps its flag in the lowest byte: 1 or 0 serves both rules.
        SetValue(key, *s.entry, *static_cast<bool*>(s.value) ? 1 : 0);
        break;
    case Kind::Number:
        SetValue(key, *s.entry, *static_cast<float*>(s.value), s.decimals, true);
        break;
    case Kind::Text:
        SetValue(key, *s.entry, static_cast<std::wstring*>(s.value)->c_str());
        break;
    }
}

// ---- Public operations ----

std::wstring CAppSettings::UserName() {
    std::wstring name = FromUtf8(GetShell().UserName());
    if (name.size() > 256)
        name.resize(256);
    return name;
}

CAppSettings::CAppSettings() {
    AnnotationAuthor = UserName();
    DefaultAnnotationAuthor = AnnotationAuthor;
}

std::wstring CAppSettings::ProductKeyPath() {
    return L"Software\\" + CompanyName + L"\\" + PackageName + L"\\" + Version;
}

std::wstring CAppSettings::SettingsKeyPath() { return ProductKeyPath() + L"\\" + RegOptionsSection; }

void CAppSettings::InitSettings() {
    // One transaction: every value comes from the same version of the file.
    RegistryTransaction transaction;
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, nullptr,
                       REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                       nullptr) != ERROR_SUCCESS)
        key = nullptr; // every value takes its default
    DefaultAnnotationAuthor = UserName();
    const bool marlow = PackageName == L"Marlow";
    std::vector<Setting>& settings = Settings();
    for (Setting& s : settings)
        if (!(s.flags & Flag_SaveOnly) && (marlow || !s.marlow))
            Load(s, key);
    if (OnIdleProcessCount < 1)
        OnIdleProcessCount = 1;
    for (Setting& s : settings)
        if (!(s.flags & Flag_SaveOnly) && (marlow || !s.marlow))
            s.baseline = Encode(s);
    if (key)
        RegCloseKey(key);
    transaction.Commit();
}

namespace {
// A store that cannot be written (its lock cannot be had, the disk is full) is reported once
// per kind of failure: the user would otherwise believe the values kept. An unreadable store
// is reported by the store itself.
void ReportNotSaved(LONG result) {
    static LONG reported = ERROR_SUCCESS;
    if (result == ERROR_REGISTRY_CORRUPT || result == reported)
        return;
    reported = result;
    const std::string why = result == ERROR_ACCESS_DENIED ? "its lock file cannot be opened"
                                                          : "the file cannot be written";
    GetShell().MessageBox("The settings cannot be saved in \"" + RegistryFilePath() + "\": " + why +
                              ". Changes last only until the program ends.",
                          "Ketra", Shell::Icon::Warning, Shell::Buttons::Ok);
}
} // namespace

void CAppSettings::SaveSettings() {
    // Under the store's lock and against its current content: a value is written when this
    // process changed it or the store lacks it, so concurrent programs keep each other's
    // changes.
    RegistryTransaction transaction;
    HKEY key = nullptr;
    const LONG opened = RegCreateKeyEx(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                                       nullptr);
    if (opened != ERROR_SUCCESS) {
        ReportNotSaved(opened);
        return;
    }
    const bool marlow = PackageName == L"Marlow";
    std::vector<Setting>& settings = Settings();
    std::vector<std::string> current(settings.size());
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const Setting& s = settings[i];
        // A shared value name belongs to the active host's member; the other member's
        // unloaded default would otherwise overwrite it.
        if (s.sharedWithOther && s.marlow != marlow)
            continue;
        current[i] = Encode(s);
        if (current[i] != s.baseline || !Readable(s, key))
            Store(s, key);
    }
    RegCloseKey(key);
    if (const LONG committed = transaction.Commit(); committed != ERROR_SUCCESS) {
        ReportNotSaved(committed);
        return;
    }
    for (std::size_t i = 0; i < settings.size(); ++i)
        if (!current[i].empty())
            settings[i].baseline = std::move(current[i]);
}

void CAppSettings::ResetSettings() {
    RegistryTransaction transaction;
    HKEY product = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, ProductKeyPath().c_str(), 0, KEY_ALL_ACCESS, &product) !=
        ERROR_SUCCESS)
        return;
    RegDeleteTree(product, RegOptionsSection.c_str());
    RegCloseKey(product);
    HKEY hoops = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, L"HOOPS", 0, KEY_ALL_ACCESS, &hoops) == ERROR_SUCCESS) {
        SetValue(hoops, L"HOOPS_PICTURE", L"OpenGL/Window0");
        RegCloseKey(hoops);
    }
    InitSettings();
    SaveSettings();
    transaction.Commit();
}
