// Element colours: the colour family of the piping elements, the pressure-vessel part
// colours kept in the settings store, and the single-colour element values.
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"

#include <cmath>

namespace {
constexpr const char* kElement = "Element";

template <typename T> unsigned long Colour(const T& value) {
    return static_cast<unsigned long>(value);
}
} // namespace

// One member of the element colour family: where its default comes from and whether the
// "system colours override" setting keeps the file's colours out.
struct HOpConfig::ColorFamily {
    const char* entry;
    unsigned long (*settingsColor)(); // default for the piping host types; null: none
    int tableIndex;
    unsigned long fixedDefault;
    bool honoursSystemColors;
};

unsigned long HOpConfig::TableOr(int index, unsigned long fixed) const {
    if (!m_defaultColors)
        return fixed;
    const float value = m_defaultColors[index];
    // Truncation toward zero; values no int can hold are no valid index either.
    if (!(value > -2147483648.0f && value < 2147483648.0f))
        return GetColorByIndex(-1);
    return GetColorByIndex(static_cast<int>(value));
}

const char* HOpConfig::GetFamilyColor(const ColorFamily& family) {
    const Snapshot snapshot(*this);
    const unsigned long c = IsPipingHost() && family.settingsColor
                                ? family.settingsColor()
                                : TableOr(family.tableIndex, family.fixedDefault);
    const std::string text = FormatColor(c);
    std::string diffuse = text, lines = text, edges = text;
    if (!(family.honoursSystemColors && CAppSettings::UseSystemColorInfo != 0)) {
        // Read one after the other: missing values are added to the file in this order.
        diffuse = Attr(kElement, family.entry, "DiffuseColor", text);
        lines = Attr(kElement, family.entry, "LineColor", text);
        edges = Attr(kElement, family.entry, "EdgeColor", text);
    }
    const std::string specular = Attr(kElement, family.entry, "SpecularColor", "white");
    const std::string transmission = Attr(kElement, family.entry, "Transmission", "black");
    return Result("faces=(diffuse=" + diffuse + ",specular=" + specular +
                  ",transmission=" + transmission + "),lines=" + lines + ",edges=" + edges);
}

void HOpConfig::SetFamilyColor(const char* name, unsigned long color, bool transparent) {
    const std::string text = FormatColor(color);
    SetAttributes(kElement, name,
                  {{"DiffuseColor", text},
                   {"LineColor", text},
                   {"EdgeColor", text},
                   {"Transmission", transparent ? "red" : "black"}});
}

#define KETRA_SETTINGS_COLOUR(member) [] { return Colour(CAppSettings::member); }

#define KETRA_FAMILY(Name, entry, member, index, fixed, honours)                                   \
    const char* HOpConfig::Get##Name##Color() {                                                    \
        static constexpr ColorFamily family{entry, member, index, fixed, honours};                 \
        return GetFamilyColor(family);                                                             \
    }                                                                                              \
    void HOpConfig::Set##Name##Color(unsigned long color, bool transparent) {                      \
        SetFamilyColor(entry, color, transparent);                                                 \
    }

KETRA_FAMILY(Pipe, "GenericPipe", KETRA_SETTINGS_COLOUR(PipeColor), 0, 0xFF0000, true)
KETRA_FAMILY(Bend, "GenericBend", KETRA_SETTINGS_COLOUR(PipeColor), 0, 0xFF0000, true)
KETRA_FAMILY(Rigid, "GenericRigid", KETRA_SETTINGS_COLOUR(RigidColor), 16, 0x00FF00, true)
KETRA_FAMILY(Flange, "Flange", KETRA_SETTINGS_COLOUR(FlangeColor), 20, 0xFF00FF, true)
KETRA_FAMILY(Restraint, "GenericRestraint", KETRA_SETTINGS_COLOUR(RestraintColor), 16, 0x00FF00,
             true)
KETRA_FAMILY(RestraintCNode, "RestraintCN", KETRA_SETTINGS_COLOUR(RestraintCNodeColor), 16,
             0x00FF00, true)
KETRA_FAMILY(Anchor, "GenericAnchor", KETRA_SETTINGS_COLOUR(AnchorColor), 16, 0xFF0000, true)
KETRA_FAMILY(AnchorCNode, "AnchorCN", KETRA_SETTINGS_COLOUR(AnchorCNodeColor), 16, 0xFF0000, true)
KETRA_FAMILY(Hanger, "GenericHanger", KETRA_SETTINGS_COLOUR(HangerColor), 15, 0xFFFF00, true)
KETRA_FAMILY(HangerCNode, "HangerCN", KETRA_SETTINGS_COLOUR(HangerCNodeColor), 15, 0xFFFF00, true)
KETRA_FAMILY(ExpansionJoint, "GenericExpansionJoint", KETRA_SETTINGS_COLOUR(ExpJointColor), 16,
             0xFF0000, true)
KETRA_FAMILY(StructuralSteel, "GenericStructuralSteel", KETRA_SETTINGS_COLOUR(SteelColor), 30,
             0x0000FF, true)
KETRA_FAMILY(DisplacedLine, "DisplacedLine", KETRA_SETTINGS_COLOUR(DisplacedShapeColor), 29,
             0x010000, false)
KETRA_FAMILY(Forces, "Forces", nullptr, 0, 0x010000, false)
KETRA_FAMILY(Moments, "Moments", nullptr, 0, 0x010000, false)

#undef KETRA_FAMILY

const char* HOpConfig::GetNozzleLimitColor2() {
    static constexpr ColorFamily family{
        "GenericNozzleLimit2", KETRA_SETTINGS_COLOUR(NozzleLimitColor2), 20, 0xFFFFFF, true};
    return GetFamilyColor(family);
}

void HOpConfig::SetNozzleLimitColor(unsigned long first, unsigned long second, bool transparent) {
    SetFamilyColor("GenericNozzleLimit1", first, transparent);
    SetFamilyColor("GenericNozzleLimit2", second, transparent);
}

const char* HOpConfig::GetNozzleLimitColor() {
    CreateCheckerboardTexture(75, 75, Colour(CAppSettings::NozzleLimitColor1),
                              Colour(CAppSettings::NozzleLimitColor2));
    return "diffuse=checkerboard texture";
}

const char* HOpConfig::GetNozzleColor() {
    if (m_configType == ConfigMarlow)
        return Result(FormatMRLColor(Colour(CAppSettings::MRL_NozzleColor)));
    static constexpr ColorFamily family{"Nozzle", KETRA_SETTINGS_COLOUR(NozzleColor), 20, 0x00FF00,
                                        false};
    return GetFamilyColor(family);
}

void HOpConfig::SetNozzleColor(unsigned long color, bool transparent) {
    if (m_configType == ConfigMarlow)
        CAppSettings::MRL_NozzleColor = color;
    else
        SetFamilyColor("Nozzle", color, transparent);
}

const char* HOpConfig::GetTeeColor() {
    if (IsPipingHost()) {
        const unsigned long c = Colour(CAppSettings::SIFSTeesColor);
        return Result(BuildColorSettingString(c, c, c, 0xFFFFFF, 0x000000));
    }
    static constexpr ColorFamily family{"GenericTee", nullptr, 0, 0xFFFF00, false};
    return GetFamilyColor(family);
}

void HOpConfig::SetTeeColor(unsigned long color, bool transparent) {
    SetFamilyColor("GenericTee", color, transparent);
}

const char* HOpConfig::GetInsulationColor() {
    if (m_configType == ConfigMarlow)
        return Result(FormatMRLColor(Colour(CAppSettings::MRL_InsulationColor)));
    if (IsPipingHost()) {
        const unsigned long c = Colour(CAppSettings::InsulationColor);
        return Result(BuildColorSettingString(c, c, c, 0xFFFFFF, 0x000000));
    }
    static constexpr ColorFamily family{"Insulation", nullptr, 6, 0x010000, false};
    return GetFamilyColor(family);
}

void HOpConfig::SetInsulationColor(unsigned long color, bool transparent) {
    if (m_configType == ConfigMarlow)
        CAppSettings::MRL_InsulationColor = color;
    else if (IsPipingHost())
        CAppSettings::InsulationColor = color;
    else
        SetFamilyColor("Insulation", color, transparent);
}

#undef KETRA_SETTINGS_COLOUR

// ---- pressure-vessel parts: settings store only ---------------------------------------------

#define KETRA_VESSEL(Name, member)                                                                 \
    const char* HOpConfig::Get##Name##Color() {                                                    \
        return Result(FormatMRLColor(Colour(CAppSettings::member)));                               \
    }                                                                                              \
    void HOpConfig::Set##Name##Color(unsigned long color, bool) {                                  \
        CAppSettings::member = color;                                                              \
    }

KETRA_VESSEL(Cylinder, MRL_CylinderColor)
KETRA_VESSEL(Ellipse, MRL_EllipseColor)
KETRA_VESSEL(Torisphere, MRL_TorisphereColor)
KETRA_VESSEL(Sphere, MRL_SphereColor)
KETRA_VESSEL(Cone, MRL_ConeColor)
KETRA_VESSEL(WeldedFlat, MRL_WeldedFlatColor)
KETRA_VESSEL(BodyFlange, MRL_BodyFlangeColor)
KETRA_VESSEL(Skirt, MRL_SkirtColor)
KETRA_VESSEL(BarRing, MRL_BarRingColor)
KETRA_VESSEL(StructuralRing, MRL_StructuralRingsColor)
KETRA_VESSEL(HillsideNozzle, MRL_HillsideNozzleColor)
KETRA_VESSEL(Platform, MRL_PlatformColor)
KETRA_VESSEL(Packing, MRL_PackingColor)
KETRA_VESSEL(Saddle, MRL_SaddleColor)
KETRA_VESSEL(Tray, MRL_TrayColor)
KETRA_VESSEL(Lug, MRL_LugColor)
KETRA_VESSEL(Leg, MRL_LegColor)
KETRA_VESSEL(PipeLeg, MRL_PipeLegColor)
KETRA_VESSEL(StructuralLeg, MRL_StructuralLegColor)
KETRA_VESSEL(Liquid, MRL_LiquidColor)
KETRA_VESSEL(Lining, MRL_LiningColor)
KETRA_VESSEL(Basering, MRL_BaseRingColor)
KETRA_VESSEL(CuttingPlaneGrid, MRL_CuttingPlaneGridColor)
KETRA_VESSEL(Weights, MRL_WeightColor)

#undef KETRA_VESSEL

const char* HOpConfig::GetDescriptionColor() {
    if (m_configType == ConfigMarlow)
        return Result(FormatMRLColor(Colour(CAppSettings::MRL_TextDescriptionColor)));
    return GetAttribute(kElement, "Description", "Color",
                        FormatColor(TableOr(23, 0x00FFFF)).c_str());
}

void HOpConfig::SetDescriptionColor(unsigned long color, bool) {
    if (m_configType == ConfigMarlow)
        CAppSettings::MRL_TextDescriptionColor = color;
    SetAttribute(kElement, "Description", "Color", FormatColor(color));
}

// ---- single-colour element values ------------------------------------------------------------

const char* HOpConfig::GetMaterialIDColor() {
    return GetAttribute(kElement, "MaterialID", "Color", "r=0 g=1.0 b=1.0");
}

void HOpConfig::SetMaterialIDColor(unsigned long color, bool) {
    SetAttribute(kElement, "MaterialID", "Color", FormatColor(color));
}

const char* HOpConfig::GetSectionIDColor() {
    return GetAttribute(kElement, "SectionID", "Color", "r=1.0 g=1.0 b=0");
}

void HOpConfig::SetSectionIDColor(unsigned long color, bool) {
    SetAttribute(kElement, "SectionID", "Color", FormatColor(color));
}

const char* HOpConfig::GetDimensionsColor() {
    return GetAttribute(kElement, "Dimensions", "Color",
                        FormatColor(TableOr(22, 0xFFFFFF)).c_str());
}

void HOpConfig::SetDimensionsColor(unsigned long color, bool) {
    SetAttribute(kElement, "Dimensions", "Color", FormatColor(color));
}

const char* HOpConfig::GetStressLevelColor(int level) {
    const std::string entry = "StressLevel " + std::to_string(level);
    return GetAttribute(kElement, entry.c_str(), "Color",
                        FormatColor(TableOr(28 - level, 0x010000)).c_str());
}

void HOpConfig::SetStressLevel(int level, unsigned long color, float value) {
    const std::string entry = "StressLevel " + std::to_string(level);
    SetAttributes(kElement, entry.c_str(),
                  {{"Color", FormatColor(color)}, {"Level", FormatFixed(value, 6)}});
}

#define KETRA_STRESS(n)                                                                            \
    void HOpConfig::SetStressLevel##n(unsigned long color, float level) {                          \
        SetStressLevel(n, color, level);                                                           \
    }                                                                                              \
    const char* HOpConfig::GetStressLevelColor##n() {                                              \
        return GetStressLevelColor(n);                                                             \
    }

KETRA_STRESS(1)
KETRA_STRESS(2)
KETRA_STRESS(3)
KETRA_STRESS(4)
KETRA_STRESS(5)

#undef KETRA_STRESS
