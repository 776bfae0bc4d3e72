// CAppSettings' typed registry reads and writes, the number text forms and the
// application-profile values.
#include "config/CAppSettings.h"

#include "platform/sys/Registry.h"
#include "platform/sys/TextEncoding.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <cwctype>

using namespace ketra::sys;

namespace {

constexpr DWORD kTextLimitBytes = 8192;
constexpr DWORD kNumberLimitBytes = 512;

} // namespace

std::string CAppSettings::DwordBytes(std::uint32_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
            static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
}

std::string CAppSettings::TextBytes(std::wstring_view text) {
    std::string bytes;
    for (char16_t u : ToUtf16(text)) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

// Independent of the C locale (a Qt host sets it from the environment): the store's
// numbers always use '.'.
std::wstring CAppSettings::FormatNumber(float value, int decimals) {
    char buffer[128];
    if (decimals >= 0) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                     std::chars_format::fixed, decimals);
        return FromUtf8(std::string_view(buffer, r.ptr - buffer));
    }
    // The shortest text that reads back as the same float.
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return FromUtf8(std::string_view(buffer, r.ptr - buffer));
}

// A wide atof: leading blanks skipped, the longest number prefix converted, 0 when there is
// none.
float CAppSettings::ParseNumber(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])))
        ++i;
    std::string narrow;
    for (; i < text.size() && text[i] < 0x80; ++i)
        narrow += static_cast<char>(text[i]);
    std::string_view digits = narrow;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    double value = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (r.ec == std::errc::result_out_of_range)
        return 0.0f;
    if (r.ec != std::errc())
        return 0.0f;
    return static_cast<float>(value);
}

bool CAppSettings::ReadDword(Key key, const std::wstring& name, std::uint32_t* value) {
    BYTE bytes[4];
    DWORD type = 0;
    DWORD size = sizeof bytes;
    if (RegQueryValueEx(key, name.c_str(), nullptr, &type, bytes, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != 4)
        return false;
    *value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
    return true;
}

bool CAppSettings::ReadText(Key key, const std::wstring& name, unsigned limitBytes,
                                  std::wstring* text) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueEx(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size > limitBytes || size % 2 != 0)
        return false;
    std::string bytes(size, '\0');
    if (RegQueryValueEx(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                        &size) != ERROR_SUCCESS ||
        size != bytes.size())
        return false;
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    while (!units.empty() && units.back() == u'\0')
        units.pop_back();
    return DecodeUtf16(units, text);
}

bool CAppSettings::ReadNumber(Key key, const std::wstring& name, float* value) {
    std::wstring text;
    if (!ReadText(key, name, kNumberLimitBytes, &text))
        return false;
    *value = ParseNumber(text);
    return true;
}

bool CAppSettings::ReadLongText(Key key, const std::wstring& name, std::wstring* text) {
    return ReadText(key, name, kTextLimitBytes, text);
}

// ---- The private operations ----

void CAppSettings::SetValue(Key key, const std::wstring& name, int value) {
    SetValue(key, name, static_cast<unsigned long>(static_cast<std::uint32_t>(value)));
}

void CAppSettings::SetValue(Key key, const std::wstring& name, unsigned long value) {
    const std::string bytes = CAppSettings::DwordBytes(static_cast<std::uint32_t>(value));
    RegSetValueEx(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(bytes.data()), 4);
}

void CAppSettings::SetValue(Key key, const std::wstring& name, float value, int precision,
                            bool asText) {
    if (asText) {
        SetValue(key, name, CAppSettings::FormatNumber(value, precision).c_str());
        return;
    }
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    SetValue(key, name, static_cast<unsigned long>(bits));
}

void CAppSettings::SetValue(Key key, const std::wstring& name, const wchar_t* text) {
    const std::string bytes = CAppSettings::TextBytes(text ? text : L"");
    RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                  static_cast<DWORD>(bytes.size()));
}

float CAppSettings::GetValue(Key key, const std::wstring& name, float defaultValue) {
    std::uint32_t bits = 0;
    if (!CAppSettings::ReadDword(key, name, &bits))
        return defaultValue;
    float value = 0;
    std::memcpy(&value, &bits, 4);
    return value;
}

int CAppSettings::GetValue(Key key, const std::wstring& name, int defaultValue) {
    std::uint32_t number = 0;
    if (!CAppSettings::ReadDword(key, name, &number))
        return defaultValue;
    return static_cast<int>(number);
}

unsigned long CAppSettings::GetValue(Key key, const std::wstring& name,
                                     unsigned long defaultValue) {
    std::uint32_t number = 0;
    if (!CAppSettings::ReadDword(key, name, &number))
        return defaultValue;
    return number;
}

std::wstring CAppSettings::GetValue(Key key, const std::wstring& name,
                                    const std::wstring& defaultValue) {
    std::wstring text;
    if (!CAppSettings::ReadLongText(key, name, &text))
        return defaultValue;
    return text;
}

// ---- Application-profile values ----

bool CAppSettings::WriteProfileBinary(const wchar_t* section, const wchar_t* entry,
                                      const void* data, unsigned size) {
    if (!section || !*section || (!data && size > 0))
        return false;
    HKEY key = nullptr;
    const std::wstring path = ProductKeyPath() + L"\\" + section;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                       KEY_WRITE | KEY_READ, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG status =
        RegSetValueEx(key, entry, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool CAppSettings::GetProfileBinary(const wchar_t* section, const wchar_t* entry,
                                    std::vector<std::uint8_t>* data) {
    if (!section || !*section || !data)
        return false;
    HKEY key = nullptr;
    const std::wstring path = ProductKeyPath() + L"\\" + section;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    bool ok = RegQueryValueEx(key, entry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
              type == REG_BINARY;
    if (ok) {
        data->assign(size, 0);
        ok = RegQueryValueEx(key, entry, nullptr, &type, data->data(), &size) == ERROR_SUCCESS;
        data->resize(size);
    }
    RegCloseKey(key);
    return ok;
}

bool CAppSettings::StoreColorData(const std::uint32_t (&colors)[kPaletteSize],
                                  const std::uint8_t (&order)[kPaletteSize]) {
    std::string table;
    for (std::uint32_t c : colors)
        table += CAppSettings::DwordBytes(c);
    RegistryTransaction transaction;
    const bool ok = WriteProfileBinary(L"ColorData", L"ColorTable", table.data(),
                                       static_cast<unsigned>(table.size())) &&
                    WriteProfileBinary(L"ColorData", L"MRU", order, kPaletteSize);
    return ok && transaction.Commit() == ERROR_SUCCESS;
}

bool CAppSettings::LoadColorData(std::uint32_t (&colors)[kPaletteSize],
                                 std::uint8_t (&order)[kPaletteSize]) {
    std::vector<std::uint8_t> table;
    std::vector<std::uint8_t> mru;
    if (!GetProfileBinary(L"ColorData", L"ColorTable", &table) ||
        !GetProfileBinary(L"ColorData", L"MRU", &mru))
        return false;
    std::uint8_t bytes[4 * kPaletteSize];
    for (int i = 0; i < kPaletteSize; ++i)
        std::memcpy(bytes + 4 * i, CAppSettings::DwordBytes(colors[i]).data(), 4);
    std::memcpy(bytes, table.data(), std::min(table.size(), sizeof bytes));
    for (int i = 0; i < kPaletteSize; ++i)
        colors[i] = bytes[4 * i] | (bytes[4 * i + 1] << 8) | (bytes[4 * i + 2] << 16) |
                    (std::uint32_t{bytes[4 * i + 3]} << 24);
    std::memcpy(order, mru.data(), std::min<std::size_t>(mru.size(), kPaletteSize));
    return true;
}
