#include "view/ViewSettings.h"

#include <cstdlib>
#include <string>
#include <type_traits>

#include "config/CAppSettings.h"

namespace {

// The settings store keeps some values as numbers and some as text (REG_SZ numbers,
// wide strings); these read either form.
template <class T> double AsNumber(const T& value)
{
    if constexpr (std::is_arithmetic_v<std::decay_t<T>>) {
        return static_cast<double>(value);
    } else {
        std::string text;
        for (auto ch : value)
            text.push_back(static_cast<char>(ch));
        return std::strtod(text.c_str(), nullptr);
    }
}

template <class T> std::string AsUtf8(const T& value)
{
    std::string text;
    for (auto ch : value) {
        const auto code = static_cast<unsigned long>(ch);
        if (code < 0x80) {
            text.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            text.push_back(static_cast<char>(0xC0 | (code >> 6)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xE0 | ((code >> 12) & 0x0F)));
            text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return text;
}

} // namespace

namespace ketra::view::ViewSettings {

bool SmoothTransition() { return AsNumber(CAppSettings::bSmoothTransition) != 0; }
int HideOverlappingText() { return static_cast<int>(AsNumber(CAppSettings::HideOverlappingText)); }
bool BackplaneCulling() { return AsNumber(CAppSettings::bBackplaneCulling) != 0; }
std::string PackageName() { return AsUtf8(CAppSettings::PackageName); }
int ShowMarkers() { return static_cast<int>(AsNumber(CAppSettings::ShowMarkers)); }
double PipeMarkerSymbolSize() { return AsNumber(CAppSettings::PipeMarkerSymbolSize); }
int SilhouetteModeNodeTextAlwaysVisible()
{
    return static_cast<int>(AsNumber(CAppSettings::SilhouetteModeNodeTextAlwaysVisible));
}
int RenderedModeNodeTextAlwaysVisible()
{
    return static_cast<int>(AsNumber(CAppSettings::RenderedModeNodeTextAlwaysVisible));
}

} // namespace ketra::view::ViewSettings
