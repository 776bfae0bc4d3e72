// User state kept in the plot-properties file: symbol sizes and visibility, the last
// operator, view, camera and render mode, the displaced-shape line and the plant-design
// model name.
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"

#include <cstring>

namespace {
constexpr const char* kElement = "Element";
constexpr const char* kUser = "UserSettings";

std::string Str(const char* text) {
    return text ? text : "";
}

// atof then truncation toward zero, without undefined behaviour for huge values.
int TruncatedInt(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return 0;
    return static_cast<int>(value);
}
} // namespace

// ---- symbol sizes --------------------------------------------------------------------------

#define KETRA_SYMBOL_SIZE(Name)                                                                    \
    int HOpConfig::Get##Name##Size() {                                                             \
        return TruncatedInt(Atof(GetAttribute(kElement, #Name, #Name "Size", "2")));               \
    }                                                                                              \
    void HOpConfig::Set##Name##Size(int size) {                                                    \
        SetAttribute(kElement, #Name, #Name "Size", FormatFixed(size, 1));                         \
    }

KETRA_SYMBOL_SIZE(Restraint)
KETRA_SYMBOL_SIZE(Anchor)
KETRA_SYMBOL_SIZE(Hanger)
KETRA_SYMBOL_SIZE(NozzleLimit)

#undef KETRA_SYMBOL_SIZE

// ---- displaced shape line ------------------------------------------------------------------

float HOpConfig::GetDisplacedLineWeight() {
    return static_cast<float>(Atof(GetAttribute(kElement, "DisplacedLine", "Weight", "1.0")));
}
void HOpConfig::SetDisplacedLineWeight(float weight) {
    SetAttribute(kElement, "DisplacedLine", "Weight", FormatFixed(weight, 6));
}
float HOpConfig::GetDisplacedLineScale() {
    return static_cast<float>(Atof(GetAttribute(kElement, "DisplacedLine", "Scale", "4.0")));
}
void HOpConfig::SetDisplacedLineScale(float scale) {
    SetAttribute(kElement, "DisplacedLine", "Scale", FormatFixed(scale, 2));
}
const char* HOpConfig::GetDisplacedLinePattern() {
    return GetAttribute(kElement, "DisplacedLine", "Pattern", "....");
}
void HOpConfig::SetDisplacedLinePattern(const char* pattern) {
    SetAttribute(kElement, "DisplacedLine", "Pattern", Str(pattern));
}

// ---- flags -----------------------------------------------------------------------------------

bool HOpConfig::GetFlag(const char* section, const char* name, const char* attribute,
                        const char* def) {
    return Attr(section, name, attribute, def) == "on";
}

void HOpConfig::SetFlag(const char* section, const char* name, const char* attribute, bool on) {
    SetAttribute(section, name, attribute, on ? "on" : "off");
}

#define KETRA_DISPLAY(Name, attribute, def)                                                        \
    bool HOpConfig::Get##Name##Display() {                                                         \
        return GetFlag(kUser, "SymbolDisplay", attribute, def);                                    \
    }                                                                                              \
    void HOpConfig::Set##Name##Display(bool show) {                                                \
        SetFlag(kUser, "SymbolDisplay", attribute, show);                                          \
    }

KETRA_DISPLAY(Restraint, "Restraints", "on")
KETRA_DISPLAY(Anchor, "Anchors", "on")
KETRA_DISPLAY(Hanger, "Hangers", "on")
KETRA_DISPLAY(Nozzle, "Nozzles", "on")
KETRA_DISPLAY(Flange, "Flanges", "on")
KETRA_DISPLAY(NozzleLimit, "NozzleLimits", "on")
KETRA_DISPLAY(Material, "Materials", "on")
KETRA_DISPLAY(Displacement, "Displacements", "on")
KETRA_DISPLAY(Forces, "Forces", "on")
KETRA_DISPLAY(Tee, "Tees", "off")
KETRA_DISPLAY(NodeNumber, "NodeNumbers", "off")
KETRA_DISPLAY(Length, "Lengths", "off")

#undef KETRA_DISPLAY

bool HOpConfig::GetTempDisplay(int) {
    return GetFlag(kUser, "SymbolDisplay", "Temp", "off");
}
void HOpConfig::SetTempDisplay(int show) {
    SetFlag(kUser, "SymbolDisplay", "Temp", show != 0);
}
bool HOpConfig::GetPressureDisplay(int) {
    return GetFlag(kUser, "SymbolDisplay", "Pressure", "off");
}
void HOpConfig::SetPressureDisplay(int show) {
    SetFlag(kUser, "SymbolDisplay", "Pressure", show != 0);
}

int HOpConfig::GetProjectionDisplay() {
    if (m_configType == ConfigMarlow)
        return static_cast<int>(CAppSettings::ProjectionMode);
    const std::string text = Attr(kUser, "SymbolDisplay", "Projection", "Orthographic");
    if (text == "Perspective")
        return 1;
    if (text == "Stretched")
        return 3;
    return 2;
}

void HOpConfig::SetProjectionDisplay(int mode) {
    SetAttribute(kUser, "SymbolDisplay", "Projection",
                 mode == 1   ? "Perspective"
                 : mode == 3 ? "Stretched"
                             : "Orthographic");
}

// ---- operator, view and render mode ------------------------------------------------------------

const char* HOpConfig::OperatorEntry() const {
    switch (m_configType) {
    case ConfigInput:
        return "InputOperator";
    case ConfigHDS:
        return "HDSOperator";
    case ConfigOutput:
        return "Outp02Operator";
    case ConfigDynplot:
        return "DynplotOperator";
    default:
        return "Operator";
    }
}

const char* HOpConfig::ViewEntry() const {
    switch (m_configType) {
    case ConfigInput:
        return "InputView";
    case ConfigHDS:
        return "HDSView";
    case ConfigOutput:
        return "Outp02View";
    case ConfigDynplot:
        return "DynplotView";
    default:
        return "View";
    }
}

const char* HOpConfig::GetLastOperator() {
    return GetAttribute(kUser, OperatorEntry(), "OperatorName", "orbit");
}
void HOpConfig::SetLastOperator(const char* name) {
    SetAttribute(kUser, OperatorEntry(), "OperatorName", Str(name));
}
bool HOpConfig::GetRestorePreviousOperator() {
    return Attr(kUser, OperatorEntry(), "RestorePrevious", "yes") != "no";
}
void HOpConfig::SetRestorePreviousOperator(bool restore) {
    SetAttribute(kUser, OperatorEntry(), "RestorePrevious", restore ? "yes" : "no");
}
bool HOpConfig::GetRestorePreviousView() {
    return Attr(kUser, ViewEntry(), "RestorePrevious", "yes") != "no";
}
void HOpConfig::SetRestorePreviousView(bool restore) {
    SetAttribute(kUser, ViewEntry(), "RestorePrevious", restore ? "yes" : "no");
}

namespace {
constexpr const char* kViewModes[] = {"XY", "YX", "XZ", "ZX", "YZ", "ZY", "Iso"};
}

int HOpConfig::GetLastViewMode() {
    const std::string text = Attr(kUser, "View", "Mode", "Iso");
    for (int i = 0; i < 7; ++i)
        if (text == kViewModes[i])
            return i + 1;
    return text == "Unknown" ? 26 : 7;
}

void HOpConfig::SetLastViewMode(int mode) {
    SetAttribute(kUser, "View", "Mode", mode >= 1 && mode <= 7 ? kViewModes[mode - 1] : "Unknown");
}

bool HOpConfig::GetSmoothUpdates() {
    return GetFlag(kUser, "Operator", "SmoothTransitions",
                   CAppSettings::bSmoothTransition ? "on" : "off");
}
void HOpConfig::SetSmoothUpdates(bool smooth) {
    SetFlag(kUser, "Operator", "SmoothTransitions", smooth);
}
bool HOpConfig::GetHideOverlappedText() {
    return GetFlag(kUser, "Operator", "OverlappedText", "on");
}
void HOpConfig::SetHideOverlappedText(bool hide) {
    SetFlag(kUser, "Operator", "OverlappedText", hide);
}

int HOpConfig::GetRenderMode() {
    const std::string def = std::to_string(static_cast<int>(CAppSettings::RenderMode));
    return Atoi(GetAttribute(kUser, "RenderMode", "Mode", def.c_str()));
}
void HOpConfig::SetRenderMode(int mode) {
    SetAttribute(kUser, "RenderMode", "Mode", std::to_string(mode));
}
bool HOpConfig::GetRestoreRenderMode() {
    return Attr(kUser, "RenderMode", "RestorePrevious", "yes") != "no";
}
void HOpConfig::SetRestoreRenderMode(bool restore) {
    SetAttribute(kUser, "RenderMode", "RestorePrevious", restore ? "yes" : "no");
}
bool HOpConfig::GetOrbitBoundingBoxVisibility() {
    return GetFlag(kUser, "OrbitCamera", "BoundingBox", "on");
}
void HOpConfig::SetOrbitBoundingBoxVisibility(bool visible) {
    SetFlag(kUser, "OrbitCamera", "BoundingBox", visible);
}

// ---- camera ----------------------------------------------------------------------------------

void HOpConfig::GetPointAttribute(const char* attribute, float* xyz) {
    if (!xyz)
        return;
    const std::string text = Attr(kUser, "Camera", attribute, "x=0.0 y=0.0 z=0.0");
    xyz[0] = static_cast<float>(NumberAfter(text, "x="));
    xyz[1] = static_cast<float>(NumberAfter(text, "y="));
    xyz[2] = static_cast<float>(NumberAfter(text, "z="));
}

void HOpConfig::SetPointAttribute(const char* attribute, const float* xyz) {
    if (!xyz)
        return;
    SetAttribute(kUser, "Camera", attribute,
                 "x=" + FormatFixed(xyz[0], 6) + " y=" + FormatFixed(xyz[1], 6) +
                     " z=" + FormatFixed(xyz[2], 6));
}

void HOpConfig::GetLastCameraPosition(float* xyz) {
    GetPointAttribute("Position", xyz);
}
void HOpConfig::GetLastCameraTarget(float* xyz) {
    GetPointAttribute("TargetVector", xyz);
}
void HOpConfig::GetLastCameraUpVector(float* xyz) {
    GetPointAttribute("UpVector", xyz);
}
void HOpConfig::SetLastCameraPosition(const float* xyz) {
    SetPointAttribute("Position", xyz);
}
void HOpConfig::SetLastCameraTarget(const float* xyz) {
    SetPointAttribute("TargetVector", xyz);
}
void HOpConfig::SetLastCameraUpVector(const float* xyz) {
    SetPointAttribute("UpVector", xyz);
}

float HOpConfig::GetLastCameraFieldWidth() {
    return static_cast<float>(Atof(GetAttribute(kUser, "Camera", "FieldWidth", "1.0")));
}
float HOpConfig::GetLastCameraFieldHeight() {
    return static_cast<float>(Atof(GetAttribute(kUser, "Camera", "FieldHeight", "1.0")));
}
void HOpConfig::SetLastCameraFieldWidth(const float* width) {
    if (width)
        SetAttribute(kUser, "Camera", "FieldWidth", FormatFixed(*width, 6));
}
void HOpConfig::SetLastCameraFieldHeight(const float* height) {
    if (height)
        SetAttribute(kUser, "Camera", "FieldHeight", FormatFixed(*height, 6));
}

// ---- plant-design model ------------------------------------------------------------------------

const char* HOpConfig::GetSavedDraftonFileName() {
    return GetAttribute("DraftonModel", "ModelInfo", "DrawingName", "No Model Specified");
}

void HOpConfig::SetSavedDraftonFileName(const char* name, int crc, const void*, int) {
    SetAttributes("DraftonModel", "ModelInfo",
                  {{"DrawingName", Str(name)}, {"CRCValue", std::to_string(crc)}});
}
