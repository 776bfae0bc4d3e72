// Filling the shared style segments from the plot properties.
#include "config/StyleLibrary.h"

#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/hc/HcStrings.h"
#include "platform/sys/TextEncoding.h"

namespace {

// Getters return a pointer into the configuration's one result buffer: take a copy
// before the next call.
std::string Copy(const char* text) {
    return text ? text : "";
}

// Opens a style segment for the length of one step.
class OpenStyle {
public:
    explicit OpenStyle(const char* segment) { HC_Open_Segment(segment); }
    explicit OpenStyle(HC_KEY key) { HC_Open_Segment_By_Key(key); }
    ~OpenStyle() { HC_Close_Segment(); }
    OpenStyle(const OpenStyle&) = delete;
    OpenStyle& operator=(const OpenStyle&) = delete;
};

void Colour(const char* segment, const std::string& color) {
    OpenStyle open(segment);
    HC_Set_Color(color.c_str());
}

// Marker colour, symbol and size of the pipe and bend styles, from the settings store.
void SettingsMarkers(std::uint32_t color, const std::wstring& symbol, float size) {
    HC_Set_Color(StyleLibrary::MarkerColorString(color).c_str());
    HC_Set_Marker_Symbol(ketra::sys::ToUtf8(symbol).c_str());
    HC_Set_Marker_Size(size);
}

// Marker colour, symbol and size of the restraint and rigid styles, from the file.
void FileMarkers(HOpConfig& config) {
    const std::string color = "markers=" + Copy(config.GetMarkerColor());
    const std::string symbol = Copy(config.GetMarkerSymbol());
    const double size = HOpConfig::Atof(config.GetMarkerSize());
    HC_Set_Color(color.c_str());
    HC_Set_Marker_Symbol(symbol.c_str());
    HC_Set_Marker_Size(size);
}

struct TextLook {
    std::string font;
    std::string alignment;
};

// Reads a text style in the order its values are first used (font, transformation,
// size, then the justification), so a new file lists them in that order.
template <typename Font, typename Transforms, typename Size, typename Justification>
TextLook ReadLook(Font font, Transforms transforms, Size size, Justification justification) {
    const std::string name = Copy(font());
    const std::string transformation = Copy(transforms());
    const std::string textSize = Copy(size());
    TextLook look;
    look.font = StyleLibrary::TextFontString(name, transformation, textSize);
    look.alignment = Copy(justification());
    return look;
}

void TextStyle(const char* segment, const std::string& color, const TextLook& look) {
    OpenStyle open(segment);
    HC_Set_Color(color.c_str());
    HC_Set_Text_Font(look.font.c_str());
    HC_Set_Text_Alignment(look.alignment.c_str());
}

} // namespace

std::string StyleLibrary::TextFontString(const std::string& font, const std::string& transforms,
                                         const std::string& size) {
    return "name=(" + font + ",sans serif,system default), transforms=" + transforms +
           ",size=" + size;
}

std::string StyleLibrary::MarkerColorString(unsigned long color) {
    return "markers=(R=" + HOpConfig::FormatFixed((color & 0xFF) / 255.0, 6) +
           " G=" + HOpConfig::FormatFixed(((color >> 8) & 0xFF) / 255.0, 6) +
           " B=" + HOpConfig::FormatFixed(((color >> 16) & 0xFF) / 255.0, 6) + ")";
}

void StyleLibrary::ResetAllColors(HOpConfig& config, const ViewTargets& view) {
    // One look at the file for the whole pass instead of one per value.
    const HOpConfig::Snapshot snapshot(config);
    {
        OpenStyle open("/Style Library/Pipes");
        HC_Flush_Contents(".", "everything");
        SettingsMarkers(CAppSettings::PipeMarkerColor, CAppSettings::PipeMarkerSymbol,
                        CAppSettings::PipeMarkerSymbolSize);
        HC_Set_Color(config.GetPipeColor());
    }
    Colour("/Style Library/Tees", Copy(config.GetTeeColor()));
    Colour("/Style Library/Hangers", Copy(config.GetHangerColor()));
    {
        OpenStyle open("/Style Library/Nozzles");
        HC_Set_Color(config.GetNozzleColor());
        HC_Set_Visibility("edges=off");
    }
    {
        OpenStyle open("/Style Library/Flanges");
        HC_Set_Color(config.GetFlangeColor());
        HC_Set_Visibility("edges=off");
    }
    {
        OpenStyle open("/Style Library/Restraints");
        FileMarkers(config);
        HC_Set_Color(config.GetRestraintColor());
    }
    {
        OpenStyle open("/Style Library/Bends");
        HC_Flush_Contents(".", "everything");
        SettingsMarkers(CAppSettings::BendMarkerColor, CAppSettings::BendMarkerSymbol,
                        CAppSettings::BendMarkerSymbolSize);
        HC_Set_Color(config.GetBendColor());
    }
    Colour("/Style Library/Expansion Joints", Copy(config.GetExpansionJointColor()));
    Colour("/Style Library/Anchors", Copy(config.GetAnchorColor()));
    {
        OpenStyle open("/Style Library/Rigids");
        FileMarkers(config);
        HC_Set_Color(config.GetRigidColor());
    }
    Colour("/Style Library/Structure", Copy(config.GetStructuralSteelColor()));

    {
        const std::string color = Copy(config.GetNodeTextColor());
        const TextLook look = ReadLook([&] { return config.GetNodeTextFont(); },
                                       [&] { return config.GetNodeTextTransformation(); },
                                       [&] { return config.GetNodeTextSize(); },
                                       [&] { return config.GetNodeTextJustification(); });
        TextStyle("/Style Library/NodeText", color, look);
    }
    {
        const std::string color = Copy(config.GetOutputTextColor());
        const TextLook look = ReadLook([&] { return config.GetOutputTextFont(); },
                                       [&] { return config.GetOutputTextTransformation(); },
                                       [&] { return config.GetOutputTextSize(); },
                                       [&] { return config.GetOutputTextJustification(); });
        TextStyle("/Style Library/OutputText", color, look);
    }
    {
        const std::string color = Copy(config.GetAnnotationTextColor());
        const TextLook look = ReadLook([&] { return config.GetAnnotationTextFont(); },
                                       [&] { return config.GetAnnotationTextTransformation(); },
                                       [&] { return config.GetAnnotationTextSize(); },
                                       [&] { return config.GetAnnotationTextJustification(); });
        TextStyle("/Style Library/AnnotationText", color, look);
        if (view.changeAllFonts)
            view.changeAllFonts(look.font);
    }
    const std::string legendColor = Copy(config.GetLegendTextColor());
    const TextLook legend = ReadLook([&] { return config.GetLegendTextFont(); },
                                     [&] { return config.GetLegendTextTransformation(); },
                                     [&] { return config.GetLegendTextSize(); },
                                     [&] { return config.GetLegendTextJustification(); });
    TextStyle("/Style Library/LegendText", legendColor, legend);
    TextStyle("?Style Library/NodeLengths", Copy(config.GetLegendTextColor()), legend);
    TextStyle("?Style Library/SectionText", Copy(config.GetSectionIDColor()), legend);
    TextStyle("/Style Library/MaterialText", Copy(config.GetMaterialIDColor()), legend);

    if (config.GetConfigType() != HOpConfig::ConfigMarlow)
        return;

    // The pressure-vessel host's parts.
    Colour("?Style Library/Cylinders", Copy(config.GetCylinderColor()));
    Colour("?Style Library/Elliptical Heads", Copy(config.GetEllipseColor()));
    Colour("?Style Library/Torispherical Heads", Copy(config.GetTorisphereColor()));
    Colour("?Style Library/Spherical Heads", Copy(config.GetSphereColor()));
    Colour("?Style Library/Conical Sections", Copy(config.GetConeColor()));
    Colour("?Style Library/Welded Flats", Copy(config.GetWeldedFlatColor()));
    Colour("?Style Library/Body Flanges", Copy(config.GetBodyFlangeColor()));
    Colour("?Style Library/Skirts", Copy(config.GetSkirtColor()));
    Colour("?Style Library/Bar Rings", Copy(config.GetBarRingColor()));
    Colour("?Style Library/Structural Rings", Copy(config.GetStructuralRingColor()));
    Colour("?Style Library/Nozzles", Copy(config.GetNozzleColor()));
    Colour("?Style Library/Hillside Nozzles", Copy(config.GetHillsideNozzleColor()));
    Colour("?Style Library/Platforms", Copy(config.GetPlatformColor()));
    Colour("?Style Library/Packing", Copy(config.GetPackingColor()));
    Colour("?Style Library/Saddles", Copy(config.GetSaddleColor()));
    Colour("?Style Library/Trays", Copy(config.GetTrayColor()));
    Colour("?Style Library/Lugs", Copy(config.GetLugColor()));
    Colour("?Style Library/Legs", Copy(config.GetLegColor()));
    Colour("?Style Library/Pipe Legs", Copy(config.GetPipeLegColor()));
    Colour("?Style Library/Structural Legs", Copy(config.GetStructuralLegColor()));
    Colour("?Style Library/Liquid", Copy(config.GetLiquidColor()));
    Colour("?Style Library/Insulation", Copy(config.GetInsulationColor()));
    Colour("?Style Library/Linings", Copy(config.GetLiningColor()));
    Colour("?Style Library/Baserings", Copy(config.GetBaseringColor()));
    const std::string keyType = HC_Show_Key_Type(view.cuttingPlaneSegment);
    // A stale or foreign key must not unbalance the open-segment stack.
    if (view.cuttingPlaneSegment != -1 && keyType == "segment") {
        const std::string grid = Copy(config.GetCuttingPlaneGridColor());
        OpenStyle open(view.cuttingPlaneSegment);
        HC_Set_Color(grid.c_str());
    }
    const TextLook heightScale = ReadLook([&] { return config.GetHeightScaleFont(); },
                                          [&] { return config.GetHeightScaleTransformation(); },
                                          [&] { return config.GetHeightScaleSize(); },
                                          [&] { return config.GetHeightScaleJustification(); });
    TextStyle("/Style Library/HeightScale", Copy(config.GetHeightScaleColor()), heightScale);
    TextStyle("?Style Library/Descriptions", Copy(config.GetDescriptionColor()), heightScale);
    Colour("/Style Library/Weights", Copy(config.GetWeightsColor()));
}

void StyleLibrary::ResetAllColors(HOpConfig& config) {
    ResetAllColors(config, ViewTargets{});
}

void StyleLibrary::ApplyDisplacedShapeStyle(HOpConfig& config) {
    const HOpConfig::Snapshot snapshot(config);
    const std::string color = Copy(config.GetDisplacedLineColor());
    const std::string pattern = Copy(config.GetDisplacedLinePattern());
    const float weight = config.GetDisplacedLineWeight();
    OpenStyle open("/Style Library/Displaced Shapes");
    HC_Set_Color(color.c_str());
    HC_Set_Line_Pattern(pattern.c_str());
    if (weight > 0.0f)
        HC_Set_Line_Weight(weight);
}
