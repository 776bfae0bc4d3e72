// Value formatting and parsing of the plot-properties file. Everything here is independent
// of the process locale: the file and the scene-graph strings always use a decimal point.
#include "config/HOpConfig.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <strings.h>

namespace {

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

unsigned long HOpConfig::GetColorByIndex(int index) {
    static constexpr unsigned long kTable[16] = {
        0x000000, 0x7F0000, 0x007F00, 0x7F7F00, 0x00007F, 0x7F007F, 0x007F7F, 0x7F7F7F,
        0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    if (index < 0 || index > 15)
        return 0x007FFF;
    return kTable[index];
}

std::string HOpConfig::FormatFixed(double value, int precision) {
    char buffer[400];
    // to_chars with a precision prints exactly what printf("%.*f") prints, minus the locale.
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, end);
}

std::string HOpConfig::FormatColor(unsigned long color) {
    return "r=" + FormatFixed((color & 0xFF) / 255.0, 6) +
           " g=" + FormatFixed(((color >> 8) & 0xFF) / 255.0, 6) +
           " b=" + FormatFixed(((color >> 16) & 0xFF) / 255.0, 6);
}

std::string HOpConfig::BuildColorSettingString(unsigned long diffuse, unsigned long lines,
                                               unsigned long edges, unsigned long specular,
                                               unsigned long transmission) {
    return "faces=(diffuse=" + FormatColor(diffuse) + ",specular=" + FormatColor(specular) +
           ",transmission=" + FormatColor(transmission) + "),lines=" + FormatColor(lines) +
           ",edges=" + FormatColor(edges);
}

std::string HOpConfig::FormatMRLColor(unsigned long color) {
    const std::string c = FormatColor(color);
    return "faces=(diffuse=" + c + ", specular=white, transmission=black),lines=" + c +
           ",edges=" + c;
}

double HOpConfig::Atof(const char* text) {
    if (!text)
        return 0.0;
    return strtod_l(text, nullptr, CLocale());
}

int HOpConfig::Atoi(const char* text) {
    if (!text)
        return 0;
    // atoi: leading blanks and a sign, then digits; out-of-range values are clamped here
    // instead of being undefined.
    const long value = std::strtol(text, nullptr, 10);
    if (value > 2147483647L)
        return 2147483647;
    if (value < -2147483647L - 1)
        return -2147483647 - 1;
    return static_cast<int>(value);
}

double HOpConfig::NumberAfter(const std::string& text, const char* token) {
    const size_t at = text.find(token);
    if (at == std::string::npos)
        return 0.0;
    return Atof(text.c_str() + at + std::strlen(token));
}

const char* HOpConfig::JustificationChar(const std::string& text) {
    if (strcasecmp(text.c_str(), "left") == 0)
        return "<";
    if (strcasecmp(text.c_str(), "center") == 0)
        return "*";
    return ">";
}
