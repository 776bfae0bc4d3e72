// The transparency, markers, displaced-shape and user options pages.
#include "config/pages/COptionPages.h"

#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "config/StyleLibrary.h"
#include "platform/hc/hc.h"
#include "symbols/HCreatePlotSymbols.h"
#include "view/HBaseViewEx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string Copy(const char* text) {
    return text ? text : "";
}

// The colour button's reading of a colour text: each channel after "r=", "g=", "b=" times
// 255, truncated.
unsigned long TruncatedColor(const std::string& text) {
    auto channel = [&](const char* token) {
        double v = HOpConfig::NumberAfter(text, token);
        v = v < 0 ? 0 : (v > 1 ? 1 : v);
        return static_cast<unsigned long>(v * 255.0) & 0xFF;
    };
    return channel("r=") | (channel("g=") << 8) | (channel("b=") << 16);
}

std::string Percent(int pos) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f%%", static_cast<double>(pos));
    return text;
}

// The zig-zag sample line of the markers and displaced-shape pages, in "ColorDemo/Lines".
HC_KEY InsertSampleLines(PagePreview& preview, bool markers) {
    static const float points[6][3] = {{-1.5f, 0, -0.6f}, {-0.9f, 0, 0.6f}, {-0.3f, 0, -0.6f},
                                       {0.3f, 0, 0.6f},   {0.9f, 0, -0.6f}, {1.5f, 0, 0.6f}};
    HC_Open_Segment_By_Key(preview.DemoSegment());
    const HC_KEY lines = HC_Open_Segment("Lines");
    HC_Insert_Polyline(6, points);
    if (markers)
        for (const auto& p : points)
            HC_Insert_Marker(p[0], p[1], p[2]);
    HC_Close_Segment();
    HC_Close_Segment();
    return lines;
}

} // namespace

// ---- transparency ------------------------------------------------------------------------

CInvisible::CInvisible(HOpConfig& config, ketra::window::WindowPort* port)
    : CPropertyPage(config, port) {}

void CInvisible::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    std::string hanger, window;
    {
        HOpConfig::ReadOnly readOnly(m_config);
        m_readPos = std::clamp(
            static_cast<int>(std::lround(m_config.GetInvisiblePercent() * 100.0f)), kMin, kMax);
        hanger = Copy(m_config.GetHangerColor());
        window = Copy(m_config.GetBackgroundColor());
    }
    m_pos = m_readPos;
    m_preview = std::make_unique<PagePreview>("ColorPicker0");
    HC_Open_Segment_By_Key(m_preview->DemoSegment());
    HC_Open_Segment("InvisibleHelix");
    HC_Set_Color(hanger.c_str());
    HCreatePlotSymbols symbols(&m_preview->View());
    symbols.InsertSpringHanger(0, 0, 0, 0.5f, 1, HCreatePlotSymbols::YAxis);
    HC_Close_Segment();
    HC_Close_Segment();
    m_preview->Prepare("faces=on,lights=on");
    m_preview->SetWindowColor(HOpConfig::FormatColor(TruncatedColor(window)));
    m_preview->Fit();
    OnTimer(kPreviewTimer);
    Port().SetTimer(kPreviewTimer, kPreviewPeriodMs);
}

void CInvisible::SetSliderPos(int pos) {
    m_pos = std::clamp(pos, kMin, kMax);
}

std::string CInvisible::GetLabel() const {
    return Percent(m_pos);
}

std::string CInvisible::SampleColor() const {
    const double v = m_pos / 100.0;
    char text[96];
    std::snprintf(text, sizeof text, "transmission=(r=%f g=%f b=%f)", v, v, v);
    return text;
}

void CInvisible::OnTimer(unsigned int id) {
    if (id != kPreviewTimer || !m_preview)
        return;
    HC_Open_Segment_By_Key(m_preview->DemoSegment());
    HC_Open_Segment("InvisibleHelix");
    HC_Set_Color(SampleColor().c_str());
    HC_Close_Segment();
    HC_Close_Segment();
    m_preview->Orbit(5, 0);
}

bool CInvisible::OnApply() {
    ClosePreview();
    if (m_pos != m_readPos) {
        m_config.SetInvisiblePercent(static_cast<float>(m_pos) / 100.0f);
        // While the settings store overrides the file, the factor is read from the store; without
        // this the chosen value would be written and never used.
        if (CAppSettings::UseSystemColorInfo != 0)
            CAppSettings::VisibilityPercent = m_pos;
    }
    m_readPos = m_pos;
    m_open = false;
    return true;
}

// ---- markers -----------------------------------------------------------------------------

CMarkerConfig::CMarkerConfig(HOpConfig& config, ketra::window::WindowPort* port)
    : CPropertyPage(config, port) {}

void CMarkerConfig::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    std::string pipe, window;
    {
        HOpConfig::ReadOnly readOnly(m_config);
        m_readUse = m_config.GetUseMarkerSymbol();
        m_readPos = std::clamp(
            static_cast<int>(std::lround(HOpConfig::Atof(m_config.GetMarkerSize()) * 100.0)), kMin,
            kMax);
        m_readColor = TruncatedColor(Copy(m_config.GetMarkerColor()));
        pipe = Copy(m_config.GetPipeColor());
        window = Copy(m_config.GetBackgroundColor());
    }
    m_use = m_readUse;
    m_pos = m_readPos;
    m_color = m_readColor;
    m_preview = std::make_unique<PagePreview>("ColorPicker0");
    const HC_KEY lines = InsertSampleLines(*m_preview, true);
    HC_Open_Segment_By_Key(lines);
    HC_Set_Color(pipe.c_str());
    HC_Set_Marker_Symbol("(.)");
    HC_Close_Segment();
    m_preview->Prepare("lights=on,markers=on");
    m_preview->SetWindowColor(HOpConfig::FormatColor(TruncatedColor(window)));
    m_preview->View().SetViewMode(HViewFront, false, true);
    OnTimer(kPreviewTimer);
    Port().SetTimer(kPreviewTimer, kPreviewPeriodMs);
}

void CMarkerConfig::SetSliderPos(int pos) {
    m_pos = std::clamp(pos, kMin, kMax);
}

std::string CMarkerConfig::GetLabel() const {
    return Percent(m_pos);
}

void CMarkerConfig::OnTimer(unsigned int id) {
    if (id != kPreviewTimer || !m_preview)
        return;
    HC_Open_Segment_By_Key(m_preview->DemoSegment());
    HC_Open_Segment("Lines");
    HC_Set_Marker_Size(m_pos / 100.0);
    HC_Set_Color(("markers=(" + HOpConfig::FormatColor(m_color) + ")").c_str());
    HC_Set_Visibility(m_use ? "markers=on" : "markers=off");
    HC_Close_Segment();
    HC_Close_Segment();
    m_preview->Orbit(5, 0);
}

bool CMarkerConfig::OnColorButton() {
    unsigned int rgb = static_cast<unsigned int>(m_color);
    if (!Port().ChooseColor(rgb))
        return false;
    SetColor(rgb);
    return true;
}

bool CMarkerConfig::OnApply() {
    ClosePreview();
    if (m_pos != m_readPos)
        m_config.SetMarkerSize(static_cast<float>(m_pos) / 100.0f);
    if (m_use != m_readUse)
        m_config.SetUseMarkerSymbol(m_use);
    if (m_color != m_readColor)
        m_config.SetMarkerColor(m_color);
    m_readPos = m_pos;
    m_readUse = m_use;
    m_readColor = m_color;
    m_open = false;
    return true;
}

// ---- displaced shape ---------------------------------------------------------------------

COutputOptions::COutputOptions(HOpConfig& config, ketra::window::WindowPort* port)
    : CPropertyPage(config, port) {}

const std::vector<std::string>& COutputOptions::Patterns() {
    static const std::vector<std::string> patterns = {"----",  "-.-.",   "-...",   "....",
                                                      "-- --", "center", "phantom"};
    return patterns;
}

void COutputOptions::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    std::string pattern, window;
    {
        HOpConfig::ReadOnly readOnly(m_config);
        m_readColor = TruncatedColor(Copy(m_config.GetDisplacedLineColor()));
        pattern = Copy(m_config.GetDisplacedLinePattern());
        m_readWeight = std::clamp(static_cast<int>(std::lround(m_config.GetDisplacedLineWeight())),
                                  kMinWeight, kMaxWeight);
        window = Copy(m_config.GetBackgroundColor());
    }
    const auto& patterns = Patterns();
    const auto found = std::find(patterns.begin(), patterns.end(), pattern);
    m_readPattern = found == patterns.end() ? -1 : static_cast<int>(found - patterns.begin());
    m_pattern = m_readPattern;
    m_weight = m_readWeight;
    m_color = m_readColor;
    m_preview = std::make_unique<PagePreview>("ColorPicker0");
    InsertSampleLines(*m_preview, false);
    m_preview->Prepare("faces=on,lights=on");
    m_preview->SetWindowColor(HOpConfig::FormatColor(TruncatedColor(window)));
    m_preview->View().SetViewMode(HViewFront, false, true);
    ShowSample();
    Port().SetTimer(kPreviewTimer, kPreviewPeriodMs);
}

void COutputOptions::ShowSample() {
    if (!m_preview)
        return;
    HC_Open_Segment_By_Key(m_preview->DemoSegment());
    HC_Open_Segment("Lines");
    HC_Set_Color(("lines=(" + HOpConfig::FormatColor(m_color) + ")").c_str());
    if (m_pattern >= 0)
        HC_Set_Line_Pattern(Patterns()[static_cast<size_t>(m_pattern)].c_str());
    HC_Set_Line_Weight(m_weight);
    HC_Close_Segment();
    HC_Close_Segment();
}

void COutputOptions::SetPatternIndex(int index) {
    if (index >= 0 && index < static_cast<int>(Patterns().size()))
        m_pattern = index;
    ShowSample();
}

void COutputOptions::SetWeight(int weight) {
    m_weight = std::clamp(weight, kMinWeight, kMaxWeight);
    ShowSample();
}

void COutputOptions::OnTimer(unsigned int id) {
    if (id != kPreviewTimer || !m_preview)
        return;
    ShowSample();
    m_preview->Orbit(5, 0);
}

bool COutputOptions::OnColorButton() {
    unsigned int rgb = static_cast<unsigned int>(m_color);
    if (!Port().ChooseColor(rgb))
        return false;
    SetColor(rgb);
    ShowSample();
    return true;
}

bool COutputOptions::OnApply() {
    ClosePreview();
    if (m_weight != m_readWeight)
        m_config.SetDisplacedLineWeight(static_cast<float>(m_weight));
    if (m_pattern != m_readPattern && m_pattern >= 0)
        m_config.SetDisplacedLinePattern(Patterns()[static_cast<size_t>(m_pattern)].c_str());
    if (m_color != m_readColor)
        m_config.SetDisplacedLineColor(m_color, false);
    m_readWeight = m_weight;
    m_readPattern = m_pattern;
    m_readColor = m_color;
    StyleLibrary::ApplyDisplacedShapeStyle(m_config);
    RedrawViews();
    m_open = false;
    return true;
}

// ---- user options ------------------------------------------------------------------------

CUserOptions::CUserOptions(HOpConfig& config, ketra::window::WindowPort* port)
    : CPropertyPage(config, port) {}

int CUserOptions::ViewModeToButton(int viewMode) {
    switch (viewMode) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 3:
        return 3;
    case 4:
        return 4;
    case 5:
        return 6;
    case 6:
        return 5;
    case 7:
        return 0;
    default:
        return -1;
    }
}

int CUserOptions::ButtonToViewMode(int button) {
    for (int mode = 1; mode <= 7; ++mode)
        if (ViewModeToButton(mode) == button)
            return mode;
    return 26; // "Unknown"
}

int CUserOptions::ProjectionToButton(int projection) {
    return projection == 1 ? 1 : projection == 3 ? 2 : 0;
}

int CUserOptions::ButtonToProjection(int button) {
    return button == 1 ? 1 : button == 2 ? 3 : 2;
}

namespace {
const char* const kOperators[] = {"HOpCameraOrbit",    "HOpCameraZoomBox",  "HOpCameraZoom",
                                  "HOpSelectAperture", "HOpObjectAnnotate", "HOpCameraPan"};
}

int CUserOptions::OperatorToButton(const std::string& name) {
    for (int i = 0; i < 6; ++i)
        if (name == kOperators[i])
            return i;
    return -1;
}

std::string CUserOptions::ButtonToOperator(int button) {
    return button >= 0 && button < 6 ? kOperators[button] : "";
}

const std::vector<std::string>& CUserOptions::ViewButtonTexts() {
    static const std::vector<std::string> texts = {"Iso", "XY", "YX", "XZ", "ZX", "ZY", "YZ"};
    return texts;
}

const std::vector<std::string>& CUserOptions::ProjectionButtonTexts() {
    static const std::vector<std::string> texts = {"Orthographic", "Perspective", "Stretched"};
    return texts;
}

const std::vector<std::string>& CUserOptions::OperatorButtonTexts() {
    static const std::vector<std::string> texts = {"Orbit",  "Zoom Box", "Zoom",
                                                   "Select", "Annotate", "Pan"};
    return texts;
}

void CUserOptions::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    HOpConfig::ReadOnly readOnly(m_config);
    m_read.orbitBoundingBox = m_config.GetOrbitBoundingBoxVisibility();
    m_read.restoreOperator = m_config.GetRestorePreviousOperator();
    m_read.restoreView = m_config.GetRestorePreviousView();
    m_read.hideOverlappedText = m_config.GetHideOverlappedText();
    m_read.viewButton = ViewModeToButton(m_config.GetLastViewMode());
    m_read.projectionButton = ProjectionToButton(m_config.GetProjectionDisplay());
    m_read.operatorButton = OperatorToButton(Copy(m_config.GetLastOperator()));
    m_values = m_read;
}

bool CUserOptions::OnApply() {
    const Values& v = m_values;
    const Values& r = m_read;
    if (v.orbitBoundingBox != r.orbitBoundingBox)
        m_config.SetOrbitBoundingBoxVisibility(v.orbitBoundingBox);
    if (v.restoreOperator != r.restoreOperator)
        m_config.SetRestorePreviousOperator(v.restoreOperator);
    if (v.restoreView != r.restoreView)
        m_config.SetRestorePreviousView(v.restoreView);
    if (v.hideOverlappedText != r.hideOverlappedText)
        m_config.SetHideOverlappedText(v.hideOverlappedText);
    // A group left without a selection keeps what is stored (a "Camera Walk" operator, an
    // unknown view) rather than overwriting it.
    if (v.viewButton != r.viewButton && v.viewButton >= 0)
        m_config.SetLastViewMode(ButtonToViewMode(v.viewButton));
    if (v.projectionButton != r.projectionButton)
        m_config.SetProjectionDisplay(ButtonToProjection(v.projectionButton));
    if (v.operatorButton != r.operatorButton && v.operatorButton >= 0)
        m_config.SetLastOperator(ButtonToOperator(v.operatorButton).c_str());
    m_read = m_values;
    m_open = false;
    return true;
}
