// Text styles (annotations, node, legend and output text, the height scale), the window
// background, markers and the transparency factor.
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/sys/TextEncoding.h"

#include <strings.h>

namespace {
constexpr const char* kElement = "Element";

template <typename T> unsigned long Colour(const T& value) {
    return static_cast<unsigned long>(value);
}
template <typename T> std::string Text(const T& value) {
    return ketra::sys::ToUtf8(std::wstring_view(value));
}
std::wstring Wide(const char* text) {
    return ketra::sys::FromUtf8(text ? text : "");
}
std::string Str(const char* text) {
    return text ? text : "";
}

// Channel of a colour text ("r=1.000000 ...") as a byte: × 255, truncated, low 8 bits.
// The small allowance makes a colour written with six decimals read back as itself
// (150 / 255 is written 0.588235, which × 255 is 149.99993) while a true fraction such as
// 0.5 (127.5) still truncates.
unsigned long ChannelByte(double value) {
    const double scaled = value * 255.0 + 0.001;
    if (!(scaled > -9.0e18 && scaled < 9.0e18))
        return 0;
    return static_cast<unsigned long>(static_cast<long long>(scaled) & 0xFF);
}
} // namespace

// Where one text style's values live and where its defaults come from.
struct HOpConfig::TextStyle {
    const char* entry;
    std::string (*settingsSize)();
    std::string (*settingsFont)();
    unsigned long (*defaultColor)(const HOpConfig&);
    bool colorFollowsFonts; // the colour skips the file when system fonts (not colours) override
};

const char* HOpConfig::GetTextSize(const TextStyle& style) {
    const std::string size = style.settingsSize();
    if (CAppSettings::UseSystemFontInfo != 0)
        return Result(size);
    return GetAttribute(kElement, style.entry, "TextSize", size.c_str());
}

const char* HOpConfig::GetTextFont(const TextStyle& style) {
    const std::string font = style.settingsFont();
    if (CAppSettings::UseSystemFontInfo != 0)
        return Result(font);
    return GetAttribute(kElement, style.entry, "TextFont", font.c_str());
}

const char* HOpConfig::GetTextColor(const TextStyle& style) {
    const std::string color = FormatColor(style.defaultColor(*this));
    const bool skipFile = style.colorFollowsFonts ? CAppSettings::UseSystemFontInfo != 0
                                                  : CAppSettings::UseSystemColorInfo != 0;
    if (skipFile)
        return Result(color);
    return GetAttribute(kElement, style.entry, "Color", color.c_str());
}

const char* HOpConfig::GetTextTransformation(const TextStyle& style) {
    return GetAttribute(kElement, style.entry, "Transforms", "off");
}

const char* HOpConfig::GetTextJustification(const TextStyle& style) {
    return JustificationChar(Attr(kElement, style.entry, "TextJustification", "left"));
}

namespace {
std::string SizeText(double size, const char* unit) {
    return HOpConfig::FormatFixed(size, 1) + " " + Str(unit);
}
// The settings store keeps whole sizes as "%d.0 %s".
std::wstring SettingsSize(int size, const char* unit) {
    return Wide((std::to_string(size) + ".0 " + Str(unit)).c_str());
}
std::string OnOff(const char* text) {
    return text && strcasecmp(text, "on") == 0 ? "on" : "off";
}
} // namespace

#define KETRA_TEXT_STYLE(Prefix, entry, sizeMember, fontMember, colorFn, followsFonts)             \
    const HOpConfig::TextStyle& HOpConfig::Prefix##Style() {                                       \
        static constexpr TextStyle style{entry, [] { return Text(CAppSettings::sizeMember); },     \
                                         [] { return Text(CAppSettings::fontMember); }, colorFn,   \
                                         followsFonts};                                            \
        return style;                                                                              \
    }                                                                                              \
    const char* HOpConfig::Get##Prefix##TextSize() {                                               \
        return GetTextSize(Prefix##Style());                                                       \
    }                                                                                              \
    const char* HOpConfig::Get##Prefix##TextFont() {                                               \
        return GetTextFont(Prefix##Style());                                                       \
    }                                                                                              \
    const char* HOpConfig::Get##Prefix##TextColor() {                                              \
        return GetTextColor(Prefix##Style());                                                      \
    }                                                                                              \
    const char* HOpConfig::Get##Prefix##TextTransformation() {                                     \
        return GetTextTransformation(Prefix##Style());                                             \
    }                                                                                              \
    const char* HOpConfig::Get##Prefix##TextJustification() {                                      \
        return GetTextJustification(Prefix##Style());                                              \
    }

KETRA_TEXT_STYLE(
    Annotation, "Annotations", AnnotationFontSize, AnnotationFontName,
    [](const HOpConfig&) { return Colour(CAppSettings::AnnotationFontColor); }, false)
KETRA_TEXT_STYLE(
    Node, "NodeText", NodeFontSize, NodeFontName,
    [](const HOpConfig& c) {
        return c.IsPipingHost() ? Colour(CAppSettings::NodeColor) : c.TableOr(17, 0x0000FF);
    },
    true)
KETRA_TEXT_STYLE(
    Legend, "LegendText", LegendFontSize, LegendFontName,
    [](const HOpConfig& c) {
        return c.IsPipingHost() ? Colour(CAppSettings::LegendFontColor) : c.TableOr(17, 0x00FFFF);
    },
    false)
KETRA_TEXT_STYLE(
    Output, "OutputText", OutputTextFontSize, OutputTextFontName,
    [](const HOpConfig& c) {
        return c.IsPipingHost() ? Colour(CAppSettings::OutputTextColor) : c.TableOr(17, 0xFF0000);
    },
    false)

#undef KETRA_TEXT_STYLE

// Annotation, node and legend setters mirror into the settings store when system fonts
// override the file, so the override shows the user's latest choice.
#define KETRA_TEXT_SETTERS(Prefix, entry, sizeMember, fontMember, colorMember)                     \
    void HOpConfig::Set##Prefix##TextSize(int size, const char* unit) {                            \
        SetAttribute(kElement, entry, "TextSize", SizeText(size, unit));                           \
        if (CAppSettings::UseSystemFontInfo != 0)                                                  \
            CAppSettings::sizeMember = SettingsSize(size, unit);                                   \
    }                                                                                              \
    void HOpConfig::Set##Prefix##TextFont(const char* name) {                                      \
        SetAttribute(kElement, entry, "TextFont", Str(name));                                      \
        if (CAppSettings::UseSystemFontInfo != 0)                                                  \
            CAppSettings::fontMember = Wide(name);                                                 \
    }                                                                                              \
    void HOpConfig::Set##Prefix##TextColor(unsigned long color) {                                  \
        SetAttribute(kElement, entry, "Color", FormatColor(color));                                \
        if (CAppSettings::UseSystemFontInfo != 0)                                                  \
            CAppSettings::colorMember = color;                                                     \
    }                                                                                              \
    void HOpConfig::Set##Prefix##TextTransformation(const char* text) {                            \
        SetAttribute(kElement, entry, "Transforms", OnOff(text));                                  \
    }

KETRA_TEXT_SETTERS(Annotation, "Annotations", AnnotationFontSize, AnnotationFontName,
                   AnnotationFontColor)
KETRA_TEXT_SETTERS(Node, "NodeText", NodeFontSize, NodeFontName, NodeColor)
KETRA_TEXT_SETTERS(Legend, "LegendText", LegendFontSize, LegendFontName, LegendFontColor)

#undef KETRA_TEXT_SETTERS

void HOpConfig::SetNodeTextJustification(const char* text) {
    SetAttribute(kElement, "NodeText", "TextJustification", Str(text));
}
void HOpConfig::SetLegendTextJustification(const char* text) {
    SetAttribute(kElement, "LegendText", "TextJustification", Str(text));
}

// Output text is kept in the file only, and its size comes in tenths.
void HOpConfig::SetOutputTextSize(int size, const char* unit) {
    SetAttribute(kElement, "OutputText", "TextSize", SizeText(size / 10.0, unit));
}
void HOpConfig::SetOutputTextFont(const char* name) {
    SetAttribute(kElement, "OutputText", "TextFont", Str(name));
}
void HOpConfig::SetOutputTextColor(unsigned long color) {
    SetAttribute(kElement, "OutputText", "Color", FormatColor(color));
}
void HOpConfig::SetOutputTextTransformation(const char* text) {
    SetAttribute(kElement, "OutputText", "Transforms", OnOff(text));
}
void HOpConfig::SetOutputTextJustification(const char* text) {
    SetAttribute(kElement, "OutputText", "TextJustification", Str(text));
}

// ---- height scale (pressure-vessel host) -------------------------------------------------------

const char* HOpConfig::GetHeightScaleColor() {
    if (m_configType == ConfigMarlow)
        return Result(FormatColor(Colour(CAppSettings::MRL_HeightScaleFontColor)));
    const std::string color = FormatColor(TableOr(17, 0x00FFFF));
    if (CAppSettings::UseSystemColorInfo != 0)
        return Result(color);
    return GetAttribute(kElement, "HeightScale", "Color", color.c_str());
}

void HOpConfig::SetHeightScaleColor(unsigned long color, bool) {
    if (m_configType == ConfigMarlow)
        CAppSettings::MRL_HeightScaleFontColor = color;
    else
        SetAttribute(kElement, "HeightScale", "Color", FormatColor(color));
}

const char* HOpConfig::GetHeightScaleSize() {
    return Result(Text(CAppSettings::MRL_HeightScaleFontSize));
}
const char* HOpConfig::GetHeightScaleFont() {
    return Result(Text(CAppSettings::MRL_HeightScaleFontName));
}
const char* HOpConfig::GetHeightScaleTransformation() {
    return Result(Text(CAppSettings::MRL_HeightScaleFontTransformation));
}
const char* HOpConfig::GetHeightScaleJustification() {
    return JustificationChar(Text(CAppSettings::MRL_HeightScaleFontJustification));
}
void HOpConfig::SetHeightScaleSize(int size, const char* unit) {
    CAppSettings::MRL_HeightScaleFontSize = Wide(SizeText(size, unit).c_str());
}
void HOpConfig::SetHeightScaleFont(const char* name) {
    CAppSettings::MRL_HeightScaleFontName = Wide(name);
}
void HOpConfig::SetHeightScaleTransformation(const char* text) {
    CAppSettings::MRL_HeightScaleFontTransformation = Wide(text);
}
void HOpConfig::SetHeightScaleJustification(const char* text) {
    CAppSettings::MRL_HeightScaleFontJustification = Wide(text);
}

// ---- background --------------------------------------------------------------------------------

unsigned long HOpConfig::GetBackgroundEdgeColor(const char* attribute,
                                                unsigned long settingsColor) {
    const unsigned long c = m_configType >= ConfigMarlow && m_configType <= ConfigDynplot
                                ? settingsColor
                                : TableOr(4, 0x000000);
    std::string text = FormatColor(c);
    if (CAppSettings::UseSystemColorInfo == 0)
        text = Attr(kElement, "Background", attribute, text);
    return ChannelByte(NumberAfter(text, "r=")) | ChannelByte(NumberAfter(text, "g=")) << 8 |
           ChannelByte(NumberAfter(text, "b=")) << 16;
}

unsigned long HOpConfig::GetBackgroundTopColor() {
    return GetBackgroundEdgeColor("TopColor", Colour(CAppSettings::WindowBackgroundTopColor));
}
unsigned long HOpConfig::GetBackgroundBottomColor() {
    return GetBackgroundEdgeColor("BottomColor", Colour(CAppSettings::WindowBackgroundBottomColor));
}
void HOpConfig::SetBackgroundTopColor(unsigned long color) {
    SetAttribute(kElement, "Background", "TopColor", FormatColor(color));
}
void HOpConfig::SetBackgroundBottomColor(unsigned long color) {
    SetAttribute(kElement, "Background", "BottomColor", FormatColor(color));
}

const char* HOpConfig::GetBackgroundColor() {
    std::string text = FormatColor(TableOr(4, 0x000000));
    if (CAppSettings::UseSystemColorInfo == 0)
        text = Attr(kElement, "Background", "windows", text);
    return Result("windows=" + text);
}
void HOpConfig::SetBackgroundColor(unsigned long color) {
    SetAttribute(kElement, "Background", "windows", FormatColor(color));
}

// ---- markers and transparency ------------------------------------------------------------------

const char* HOpConfig::GetMarkerColor() {
    const unsigned long c =
        IsPipingHost() ? Colour(CAppSettings::PipeMarkerColor) : TableOr(17, 0x00FFFF);
    return GetAttribute(kElement, "Markers", "Color", FormatColor(c).c_str());
}
void HOpConfig::SetMarkerColor(unsigned long color) {
    CAppSettings::PipeMarkerColor = color;
    CAppSettings::BendMarkerColor = color;
}
const char* HOpConfig::GetMarkerSymbol() {
    return GetAttribute(kElement, "Markers", "Symbol", "(.)");
}
void HOpConfig::SetMarkerSymbol(const char* symbol) {
    CAppSettings::PipeMarkerSymbol = Wide(symbol);
    CAppSettings::BendMarkerSymbol = Wide(symbol);
}
bool HOpConfig::GetUseMarkerSymbol() {
    return CAppSettings::ShowMarkers != 0;
}
void HOpConfig::SetUseMarkerSymbol(bool use) {
    CAppSettings::ShowMarkers = use ? 1 : 0;
}
const char* HOpConfig::GetMarkerSize() {
    return Result(FormatFixed(CAppSettings::PipeMarkerSymbolSize, 4));
}
void HOpConfig::SetMarkerSize(float size) {
    CAppSettings::PipeMarkerSymbolSize = size;
    CAppSettings::BendMarkerSymbolSize = size;
}

float HOpConfig::GetInvisiblePercent() {
    const float settings = static_cast<float>(CAppSettings::VisibilityPercent) / 100.0f;
    // Always fetched, so the factor appears in the file even while system colours rule.
    const std::string text = Attr(kElement, "Transparency", "Factor", FormatFixed(settings, 2));
    if (CAppSettings::UseSystemColorInfo != 0)
        return settings;
    return static_cast<float>(Atof(text.c_str()));
}
void HOpConfig::SetInvisiblePercent(float factor) {
    SetAttribute(kElement, "Transparency", "Factor", FormatFixed(factor, 6));
}
