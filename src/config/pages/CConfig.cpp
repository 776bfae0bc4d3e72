// The colour page: item tables, preview and the apply path.
#include "config/pages/CConfig.h"

#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "config/StyleLibrary.h"
#include "platform/hc/hc.h"
#include "symbols/HCreatePlotSymbols.h"
#include "view/HBaseViewEx.h"

#include <cstdio>

namespace {

using Getter = const char* (HOpConfig::*)();
using Setter = void (HOpConfig::*)(unsigned long, bool);
using Accessor = CConfig::ItemAccessor;
using Form = CConfig::ColorForm;

bool IsPipingHost(const HOpConfig& config) {
    const int type = config.GetConfigType();
    return type >= HOpConfig::ConfigInput && type <= HOpConfig::ConfigDynplot;
}

// Where a getter takes its colour from the settings store instead of the file, the store
// gets the chosen colour as well; otherwise the choice would be written and never drawn.
enum class Override {
    None,
    SystemColors,        // piping host with UseSystemColorInfo set
    PipingHost,          // piping host, always
    AnyHostSystemColors, // config types 1-5 with UseSystemColorInfo set
};

bool Overrides(const HOpConfig& config, Override when) {
    switch (when) {
    case Override::None:
        return false;
    case Override::SystemColors:
        return IsPipingHost(config) && CAppSettings::UseSystemColorInfo != 0;
    case Override::PipingHost:
        return IsPipingHost(config);
    case Override::AnyHostSystemColors:
        return config.GetConfigType() >= HOpConfig::ConfigMarlow &&
               config.GetConfigType() <= HOpConfig::ConfigDynplot &&
               CAppSettings::UseSystemColorInfo != 0;
    }
    return false;
}

Accessor Family(Getter get, Setter set, std::uint32_t* settings = nullptr,
                Override when = Override::None, Form form = Form::Element) {
    Accessor a;
    a.get = [get](HOpConfig& c) { return std::string((c.*get)()); };
    a.set = [set, settings, when](HOpConfig& c, unsigned long color) {
        (c.*set)(color, false);
        if (settings && Overrides(c, when))
            *settings = static_cast<std::uint32_t>(color & 0xFFFFFF);
    };
    a.form = form;
    return a;
}

Accessor Text(Getter get, void (HOpConfig::*set)(unsigned long), std::uint32_t* settings = nullptr,
              Override when = Override::None) {
    Accessor a;
    a.get = [get](HOpConfig& c) { return std::string((c.*get)()); };
    a.set = [set, settings, when](HOpConfig& c, unsigned long color) {
        (c.*set)(color);
        if (settings && Overrides(c, when))
            *settings = static_cast<std::uint32_t>(color & 0xFFFFFF);
    };
    a.form = Form::Plain;
    return a;
}

// "Top" / "Bottom": shown from the settings' window colours, written to the file.
Accessor Edge(std::uint32_t* settings, void (HOpConfig::*set)(unsigned long)) {
    Accessor a;
    a.get = [settings](HOpConfig&) { return HOpConfig::FormatColor(*settings); };
    a.set = [settings, set](HOpConfig& c, unsigned long color) {
        (c.*set)(color);
        if (Overrides(c, Override::AnyHostSystemColors))
            *settings = static_cast<std::uint32_t>(color & 0xFFFFFF);
    };
    a.form = Form::Plain;
    return a;
}

const std::map<std::string, Accessor>& Table() {
    static const std::map<std::string, Accessor> table = [] {
        std::map<std::string, Accessor> t;
        Accessor pipe;
        pipe.get = [](HOpConfig& c) { return std::string(c.GetPipeColor()); };
        pipe.set = [](HOpConfig& c, unsigned long color) {
            c.SetPipeColor(color, false);
            c.SetBendColor(color, false);
            if (Overrides(c, Override::SystemColors))
                CAppSettings::PipeColor = static_cast<std::uint32_t>(color & 0xFFFFFF);
        };
        t["Pipe Color"] = pipe;
        t["Rigids/Bends"] = Family(&HOpConfig::GetRigidColor, &HOpConfig::SetRigidColor,
                                   &CAppSettings::RigidColor, Override::SystemColors);
        t["Hangers"] = Family(&HOpConfig::GetHangerColor, &HOpConfig::SetHangerColor,
                              &CAppSettings::HangerColor, Override::SystemColors);
        t["Nozzles"] = Family(&HOpConfig::GetNozzleColor, &HOpConfig::SetNozzleColor);
        t["Flanges"] = Family(&HOpConfig::GetFlangeColor, &HOpConfig::SetFlangeColor,
                              &CAppSettings::FlangeColor, Override::SystemColors);
        t["Expansion Joints"] =
            Family(&HOpConfig::GetExpansionJointColor, &HOpConfig::SetExpansionJointColor,
                   &CAppSettings::ExpJointColor, Override::SystemColors);
        t["Anchors"] = Family(&HOpConfig::GetAnchorColor, &HOpConfig::SetAnchorColor,
                              &CAppSettings::AnchorColor, Override::SystemColors);
        t["Restraints"] = Family(&HOpConfig::GetRestraintColor, &HOpConfig::SetRestraintColor,
                                 &CAppSettings::RestraintColor, Override::SystemColors);
        t["Structural Steel"] =
            Family(&HOpConfig::GetStructuralSteelColor, &HOpConfig::SetStructuralSteelColor,
                   &CAppSettings::SteelColor, Override::SystemColors);
        t["SIFs/Tees"] = Family(&HOpConfig::GetTeeColor, &HOpConfig::SetTeeColor,
                                &CAppSettings::SIFSTeesColor, Override::PipingHost);
        Accessor background;
        background.get = [](HOpConfig& c) { return std::string(c.GetBackgroundColor()); };
        background.set = [](HOpConfig& c, unsigned long color) { c.SetBackgroundColor(color); };
        background.form = Form::Window;
        t["Background"] = background;
        t["Top"] = Edge(&CAppSettings::WindowBackgroundTopColor, &HOpConfig::SetBackgroundTopColor);
        t["Bottom"] =
            Edge(&CAppSettings::WindowBackgroundBottomColor, &HOpConfig::SetBackgroundBottomColor);
        t["Nodes"] = Text(&HOpConfig::GetNodeTextColor, &HOpConfig::SetNodeTextColor);
        t["Annotation Text"] =
            Text(&HOpConfig::GetAnnotationTextColor, &HOpConfig::SetAnnotationTextColor);
        t["Legend Text"] = Text(&HOpConfig::GetLegendTextColor, &HOpConfig::SetLegendTextColor);
        t["Output Text"] = Text(&HOpConfig::GetOutputTextColor, &HOpConfig::SetOutputTextColor,
                                &CAppSettings::OutputTextColor, Override::SystemColors);
        Accessor markers;
        markers.get = [](HOpConfig&) {
            return HOpConfig::FormatColor(CAppSettings::PipeMarkerColor);
        };
        markers.set = [](HOpConfig& c, unsigned long color) { c.SetMarkerColor(color); };
        markers.form = Form::Plain;
        t["Markers"] = markers;
        t["Material ID Text"] =
            Family(&HOpConfig::GetMaterialIDColor, &HOpConfig::SetMaterialIDColor, nullptr,
                   Override::None, Form::Plain);
        t["Section ID Text"] = Family(&HOpConfig::GetSectionIDColor, &HOpConfig::SetSectionIDColor,
                                      nullptr, Override::None, Form::Plain);
        // Vessel parts.
        t["Cutting Plane Grids"] =
            Family(&HOpConfig::GetCuttingPlaneGridColor, &HOpConfig::SetCuttingPlaneGridColor);
        t["Cylinders"] = Family(&HOpConfig::GetCylinderColor, &HOpConfig::SetCylinderColor);
        t["Elliptical Heads"] = Family(&HOpConfig::GetEllipseColor, &HOpConfig::SetEllipseColor);
        t["Torispherical Heads"] =
            Family(&HOpConfig::GetTorisphereColor, &HOpConfig::SetTorisphereColor);
        t["Spherical Heads"] = Family(&HOpConfig::GetSphereColor, &HOpConfig::SetSphereColor);
        t["Conical Sections"] = Family(&HOpConfig::GetConeColor, &HOpConfig::SetConeColor);
        t["Welded Flats"] = Family(&HOpConfig::GetWeldedFlatColor, &HOpConfig::SetWeldedFlatColor);
        t["ANSI/Bolted Flanges"] =
            Family(&HOpConfig::GetBodyFlangeColor, &HOpConfig::SetBodyFlangeColor);
        t["Body Flanges"] = t["ANSI/Bolted Flanges"];
        t["Skirts"] = Family(&HOpConfig::GetSkirtColor, &HOpConfig::SetSkirtColor);
        t["Bar Rings"] = Family(&HOpConfig::GetBarRingColor, &HOpConfig::SetBarRingColor);
        t["Structural Rings"] =
            Family(&HOpConfig::GetStructuralRingColor, &HOpConfig::SetStructuralRingColor);
        t["Hillside Nozzles"] =
            Family(&HOpConfig::GetHillsideNozzleColor, &HOpConfig::SetHillsideNozzleColor);
        t["Platforms"] = Family(&HOpConfig::GetPlatformColor, &HOpConfig::SetPlatformColor);
        t["Packing"] = Family(&HOpConfig::GetPackingColor, &HOpConfig::SetPackingColor);
        t["Saddles"] = Family(&HOpConfig::GetSaddleColor, &HOpConfig::SetSaddleColor);
        t["Trays"] = Family(&HOpConfig::GetTrayColor, &HOpConfig::SetTrayColor);
        t["Lugs"] = Family(&HOpConfig::GetLugColor, &HOpConfig::SetLugColor);
        t["Structural Legs"] =
            Family(&HOpConfig::GetStructuralLegColor, &HOpConfig::SetStructuralLegColor);
        t["Pipe Legs"] = Family(&HOpConfig::GetPipeLegColor, &HOpConfig::SetPipeLegColor);
        t["Liquid"] = Family(&HOpConfig::GetLiquidColor, &HOpConfig::SetLiquidColor);
        t["Insulation"] = Family(&HOpConfig::GetInsulationColor, &HOpConfig::SetInsulationColor);
        t["Linings"] = Family(&HOpConfig::GetLiningColor, &HOpConfig::SetLiningColor);
        t["Base Rings"] = Family(&HOpConfig::GetBaseringColor, &HOpConfig::SetBaseringColor);
        t["Baserings"] = t["Base Rings"];
        t["Weights"] = Family(&HOpConfig::GetWeightsColor, &HOpConfig::SetWeightsColor);
        t["Descriptions"] =
            Family(&HOpConfig::GetDescriptionColor, &HOpConfig::SetDescriptionColor);
        // The height scale previews the dimensions colour and writes its own.
        Accessor height;
        height.get = [](HOpConfig& c) { return std::string(c.GetDimensionsColor()); };
        height.set = [](HOpConfig& c, unsigned long color) { c.SetHeightScaleColor(color, false); };
        height.form = Form::Plain;
        t["Height Scale"] = height;
        return t;
    }();
    return table;
}

std::string ColorText(unsigned long color, Form form) {
    switch (form) {
    case Form::Element:
        return HOpConfig::FormatMRLColor(color);
    case Form::Plain:
        return HOpConfig::FormatColor(color);
    case Form::Window:
        return "windows=" + HOpConfig::FormatColor(color);
    }
    return HOpConfig::FormatColor(color);
}

// The channel numbers (0..1) after "r=", "g=", "b=" of a colour text as a colour value.
unsigned long ParseColor(const std::string& text) {
    auto channel = [&](const char* token) {
        double v = HOpConfig::NumberAfter(text, token);
        if (v < 0)
            v = 0;
        if (v > 1)
            v = 1;
        return static_cast<unsigned long>(v * 255.0 + 0.5);
    };
    return channel("r=") | (channel("g=") << 8) | (channel("b=") << 16);
}

bool IsBackgroundItem(const std::string& text) {
    return text == "Background" || text == "Top" || text == "Bottom";
}

} // namespace

const CConfig::ItemAccessor* CConfig::FindAccessor(const std::string& itemText) {
    const auto& table = Table();
    const auto it = table.find(itemText);
    return it == table.end() ? nullptr : &it->second;
}

std::vector<std::string> CConfig::ItemTexts(int configType) {
    switch (configType) {
    case HOpConfig::ConfigHDS:
        return {"Material ID Text", "Anchors", "Nodes",  "Section ID Text",
                "Background",       "Top",     "Bottom", "Structural Steel"};
    case HOpConfig::ConfigMarlow:
        return {"Background",
                "Top",
                "Bottom",
                "Cutting Plane Grids",
                "Cylinders",
                "Elliptical Heads",
                "Torispherical Heads",
                "Spherical Heads",
                "Conical Sections",
                "Welded Flats",
                "ANSI/Bolted Flanges",
                "Skirts",
                "Bar Rings",
                "Structural Rings",
                "Nozzles",
                "Hillside Nozzles",
                "Platforms",
                "Packing",
                "Saddles",
                "Trays",
                "Lugs",
                "Structural Legs",
                "Pipe Legs",
                "Liquid",
                "Insulation",
                "Linings",
                "Base Rings",
                "Height Scale",
                "Descriptions",
                "Weights"};
    default: {
        std::vector<std::string> items = {"Background",       "Top",        "Bottom",
                                          "Hangers",          "Highlights", "Labels",
                                          "Markers",          "Nodes",      "Nozzles",
                                          "Flanges",          "Pipe Color", "Rigids/Bends",
                                          "Structural Steel", "Selections", "Expansion Joints",
                                          "Anchors",          "Restraints", "Annotation Text",
                                          "Legend Text",      "SIFs/Tees"};
        if (configType == HOpConfig::ConfigOutput)
            items.push_back("Output Text");
        return items;
    }
    }
}

CConfig::CConfig(HOpConfig& config, ketra::window::WindowPort* port)
    : CPropertyPage(config, port) {}

CConfig::~CConfig() = default;

int CConfig::AddItem(const std::string& text, int parent) {
    TreeItem item;
    item.text = text;
    item.parent = parent;
    m_items.push_back(item);
    const int id = static_cast<int>(m_items.size()) - 1;
    if (parent >= 0)
        m_items[static_cast<size_t>(parent)].children.push_back(id);
    else
        m_roots.push_back(id);
    return id;
}

void CConfig::BuildTree() {
    m_items.clear();
    m_roots.clear();
    const int colors = AddItem("Colors", -1);
    int background = -1;
    for (const std::string& text : ItemTexts(m_config.GetConfigType())) {
        if (text == "Top" || text == "Bottom") {
            AddItem(text, background);
            continue;
        }
        const int id = AddItem(text, colors);
        if (text == "Background")
            background = id;
    }
    const int general = AddItem("General", -1);
    for (int id : {colors, general, background})
        if (id >= 0)
            m_items[static_cast<size_t>(id)].expanded = true;
}

void CConfig::BuildPreview() {
    m_preview = std::make_unique<PagePreview>("ColorPicker0");
    HC_Open_Segment(kSampleStyle);
    HC_Set_Color("bright white");
    HC_Close_Segment();
    m_sampleColor = "bright white";
    HC_Open_Segment_By_Key(m_preview->GetModelKey());
    HC_Open_Segment("ColorDemo");
    HC_Open_Segment("helix");
    HC_Style_Segment(kSampleStyle);
    HCreatePlotSymbols symbols(&m_preview->View());
    symbols.InsertSpringHanger(0, 0, 0, 0.5f, 1, HCreatePlotSymbols::YAxis);
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Close_Segment();
    m_preview->Prepare("faces=on,lights=on");
    m_preview->Fit();
}

void CConfig::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_pending.clear();
    BuildPreview();
    BuildTree();
    Port().SetTimer(kPreviewTimer, kPreviewPeriodMs);
    const int type = m_config.GetConfigType();
    if (type == HOpConfig::ConfigInput)
        OnSelchangingElements(FindItem("Pipe Color"));
    else if (type == HOpConfig::ConfigHDS)
        OnSelchangingElements(FindItem("Structural Steel"));
    else
        OnPaint();
}

int CConfig::FindItem(const std::string& text) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].text == text)
            return static_cast<int>(i);
    return -1;
}

std::string CConfig::GetCurrentColor() const {
    return GetCurrentColor(m_selected);
}

std::string CConfig::GetCurrentColor(int item) const {
    if (item < 0 || item >= static_cast<int>(m_items.size()))
        return "bright white";
    const std::string& text = m_items[static_cast<size_t>(item)].text;
    const ItemAccessor* accessor = FindAccessor(text);
    if (!accessor)
        return "bright white";
    const auto pending = m_pending.find(text);
    if (pending != m_pending.end())
        return ColorText(pending->second, accessor->form);
    // Showing a value must not write its default into the file: the dialog may be cancelled.
    HOpConfig::ReadOnly readOnly(m_config);
    return accessor->get(m_config);
}

void CConfig::OnSelchangingElements(int item) {
    if (item < -1 || item >= static_cast<int>(m_items.size()))
        return;
    m_selected = item;
    const bool hasAccessor =
        item >= 0 && FindAccessor(m_items[static_cast<size_t>(item)].text) != nullptr;
    m_sampleColor = GetCurrentColor(item);
    m_changeEnabled = hasAccessor;
    Port().Invalidate();
    OnPaint();
}

void CConfig::OnPaint() {
    if (!m_preview)
        return;
    m_preview->SetGradient(CAppSettings::WindowBackgroundTopColor,
                           CAppSettings::WindowBackgroundBottomColor);
    HC_Open_Segment(kSampleStyle);
    HC_Set_Color(m_sampleColor.c_str());
    HC_Close_Segment();
    m_preview->Update();
}

void CConfig::OnChange() {
    if (!m_changeEnabled || m_selected < 0)
        return;
    const std::string current = GetCurrentColor();
    unsigned int rgb = static_cast<unsigned int>(ParseColor(current));
    if (!Port().ChooseColor(rgb))
        return;
    const double r = (rgb & 0xFF) / 255.0, g = ((rgb >> 8) & 0xFF) / 255.0,
                 b = ((rgb >> 16) & 0xFF) / 255.0;
    if (m_preview) {
        char faces[160];
        std::snprintf(faces, sizeof faces,
                      "faces=(diffuse=(r=%f g=%f b=%f),specular=white,gloss=10)", r, g, b);
        HC_Open_Segment_By_Key(m_preview->DemoSegment());
        HC_Set_Color(faces);
        HC_Close_Segment();
        if (IsBackgroundItem(m_items[static_cast<size_t>(m_selected)].text))
            m_preview->SetWindowColor(HOpConfig::FormatColor(rgb));
    }
    SetCurrentColor(rgb);
    m_sampleColor = GetCurrentColor();
    OnPaint();
}

std::string CConfig::SetCurrentColor(unsigned long color) {
    if (m_selected < 0)
        return "";
    const std::string& text = m_items[static_cast<size_t>(m_selected)].text;
    if (!FindAccessor(text))
        return "";
    color &= 0xFFFFFF;
    m_pending[text] = color;
    char out[96];
    std::snprintf(out, sizeof out, "R=%f G=%f B=%f", (color & 0xFF) / 255.0,
                  ((color >> 8) & 0xFF) / 255.0, ((color >> 16) & 0xFF) / 255.0);
    return out;
}

void CConfig::OnTimer(unsigned int id) {
    if (id == kPreviewTimer && m_preview)
        m_preview->Orbit(5, 5);
}

void CConfig::WriteChange(const std::string& item, unsigned long color) {
    if (const ItemAccessor* accessor = FindAccessor(item))
        accessor->set(m_config, color);
}

bool CConfig::OnApply() {
    OnOK();
    return true;
}

void CConfig::OnOK() {
    ClosePreview();
    for (const auto& [item, color] : m_pending)
        WriteChange(item, color);
    m_pending.clear();
    ResetAllColors();
    RedrawViews();
    m_open = false;
}

void CConfig::OnResetall() {
    m_config.ResetAll();
    m_pending.clear();
    ResetAllColors();
    RedrawViews();
    if (m_selected >= 0)
        OnSelchangingElements(m_selected);
}

void CConfig::ResetAllColors() {
    if (m_views.empty()) {
        StyleLibrary::ResetAllColors(m_config);
        return;
    }
    for (HBaseView* view : m_views) {
        StyleLibrary::ViewTargets targets;
        if (view)
            targets.cuttingPlaneSegment = view->GetCuttingPlanesKey();
        StyleLibrary::ResetAllColors(m_config, targets);
    }
}
