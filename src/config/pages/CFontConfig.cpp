// The font page.
#include "config/pages/COptionPages.h"

#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/hc/hc.h"
#include "view/HBaseViewEx.h"

#include <cmath>
#include <cstdio>

namespace {

std::string Copy(const char* text) {
    return text ? text : "";
}

unsigned long ParseColor(const std::string& text) {
    auto channel = [&](const char* token) {
        double v = HOpConfig::NumberAfter(text, token);
        v = v < 0 ? 0 : (v > 1 ? 1 : v);
        return static_cast<unsigned long>(v * 255.0 + 0.5);
    };
    return channel("r=") | (channel("g=") << 8) | (channel("b=") << 16);
}

// The alignment character as the setters take it.
std::string JustificationWord(const std::string& alignment) {
    if (alignment == "<")
        return "left";
    if (alignment == "*")
        return "center";
    return "right";
}

} // namespace

CFontConfig::CFontConfig(HOpConfig& config, ketra::window::WindowPort* port)
    : CPropertyPage(config, port) {}

std::vector<std::string> CFontConfig::GetStyleNames() const {
    std::vector<std::string> names = {"Annotations", "Nodes", "Legend"};
    if (m_config.GetConfigType() == HOpConfig::ConfigMarlow)
        names.push_back("Height Scale");
    return names;
}

const char* CFontConfig::SampleSegment(int index) {
    static const char* const names[] = {"AnnotationText", "NodeText", "LegendText",
                                        "HeightScaleText"};
    return index >= 0 && index < 4 ? names[index] : "";
}

const char* CFontConfig::SampleText(int index) {
    static const char* const texts[] = {"Notes", "Nodes", "Legend", "Height Scale"};
    return index >= 0 && index < 4 ? texts[index] : "";
}

void CFontConfig::ParseSize(const std::string& text, double& size, std::string& unit) {
    size = HOpConfig::Atof(text.c_str());
    const size_t blank = text.find_first_of(" \t");
    unit = "pts";
    if (blank != std::string::npos) {
        const size_t start = text.find_first_not_of(" \t", blank);
        if (start != std::string::npos)
            unit = text.substr(start);
    }
}

std::string CFontConfig::PreviewFont(const TextStyle& style) {
    return "name=\"" + style.font + "\", transforms=" + style.transformation +
           ",size=" + HOpConfig::FormatFixed(style.size, 1) + " " + style.unit;
}

void CFontConfig::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    {
        HOpConfig::ReadOnly readOnly(m_config);
        HOpConfig& c = m_config;
        auto read = [](TextStyle& s, std::string font, std::string size, std::string color,
                       std::string transformation, std::string justification) {
            s.font = std::move(font);
            ParseSize(size, s.size, s.unit);
            s.color = ParseColor(color);
            s.transformation = std::move(transformation);
            s.justification = std::move(justification);
        };
        read(m_read[Annotations], Copy(c.GetAnnotationTextFont()), Copy(c.GetAnnotationTextSize()),
             Copy(c.GetAnnotationTextColor()), Copy(c.GetAnnotationTextTransformation()),
             Copy(c.GetAnnotationTextJustification()));
        read(m_read[Nodes], Copy(c.GetNodeTextFont()), Copy(c.GetNodeTextSize()),
             Copy(c.GetNodeTextColor()), Copy(c.GetNodeTextTransformation()),
             Copy(c.GetNodeTextJustification()));
        read(m_read[Legend], Copy(c.GetLegendTextFont()), Copy(c.GetLegendTextSize()),
             Copy(c.GetLegendTextColor()), Copy(c.GetLegendTextTransformation()),
             Copy(c.GetLegendTextJustification()));
        read(m_read[HeightScale], Copy(c.GetHeightScaleFont()), Copy(c.GetHeightScaleSize()),
             Copy(c.GetHeightScaleColor()), Copy(c.GetHeightScaleTransformation()),
             Copy(c.GetHeightScaleJustification()));
    }
    m_styles = m_read;

    m_preview = std::make_unique<PagePreview>("FontPicker0");
    m_preview->Prepare("faces=on,lights=on");
    {
        HOpConfig::ReadOnly readOnly(m_config);
        m_preview->SetWindowColor(
            HOpConfig::FormatColor(ParseColor(Copy(m_config.GetBackgroundColor()))));
        m_preview->SetGradient(m_config.GetBackgroundTopColor(),
                               m_config.GetBackgroundBottomColor());
    }
    // One text per style, stacked so that all of them show at once.
    const int count = GetStyleCount();
    HC_Open_Segment_By_Key(m_preview->DemoSegment());
    for (int i = 0; i < count; ++i) {
        HC_Open_Segment(SampleSegment(i));
        HC_Insert_Text(0, 0, 0.6 - 0.4 * i, SampleText(i));
        HC_Close_Segment();
    }
    // A frame so the camera has something to fit.
    const float box[5][3] = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 0.9f}, {-1, 0, 0.9f}, {-1, 0, -1}};
    HC_Insert_Polyline(5, box);
    HC_Close_Segment();
    ShowStyles();
    m_preview->View().SetViewMode(HViewFront, false, true);
    m_preview->Update();
    Port().SetTimer(kPreviewTimer, kPreviewPeriodMs);
}

void CFontConfig::ShowStyles() {
    if (!m_preview)
        return;
    HC_Open_Segment_By_Key(m_preview->DemoSegment());
    for (int i = 0; i < GetStyleCount(); ++i) {
        const TextStyle& s = m_styles[static_cast<size_t>(i)];
        HC_Open_Segment(SampleSegment(i));
        HC_Set_Color(("text=(" + HOpConfig::FormatColor(s.color) + ")").c_str());
        HC_Set_Text_Alignment(s.justification.c_str());
        HC_Set_Text_Font(PreviewFont(s).c_str());
        HC_Close_Segment();
    }
    HC_Close_Segment();
    m_preview->Update();
}

const CFontConfig::TextStyle& CFontConfig::GetStyle(int index) const {
    if (index < 0 || index >= 4)
        return m_read[0];
    return m_styles[static_cast<size_t>(index)];
}

bool CFontConfig::Valid(int index) const {
    return index >= 0 && index < GetStyleCount();
}

void CFontConfig::SetFont(int index, const std::string& font) {
    if (!Valid(index) || font.empty())
        return;
    m_styles[static_cast<size_t>(index)].font = font;
    ShowStyles();
}
void CFontConfig::SetSize(int index, double size) {
    if (!Valid(index) || !(size > 0))
        return;
    m_styles[static_cast<size_t>(index)].size = size;
    ShowStyles();
}
void CFontConfig::SetColor(int index, unsigned long color) {
    if (!Valid(index))
        return;
    m_styles[static_cast<size_t>(index)].color = color & 0xFFFFFF;
    ShowStyles();
}
void CFontConfig::SetTransformation(int index, const std::string& transformation) {
    if (!Valid(index))
        return;
    m_styles[static_cast<size_t>(index)].transformation = transformation == "on" ? "on" : "off";
    ShowStyles();
}
void CFontConfig::SetJustification(int index, const std::string& justification) {
    if (!Valid(index))
        return;
    m_styles[static_cast<size_t>(index)].justification =
        HOpConfig::JustificationChar(justification == "<"   ? "left"
                                     : justification == "*" ? "center"
                                                            : justification);
    ShowStyles();
}

bool CFontConfig::OnApply() {
    ClosePreview();
    HOpConfig& c = m_config;
    for (int i = 0; i < GetStyleCount(); ++i) {
        const TextStyle& s = m_styles[static_cast<size_t>(i)];
        const TextStyle& r = m_read[static_cast<size_t>(i)];
        const bool font = s.font != r.font;
        const bool size = s.size != r.size || s.unit != r.unit;
        const int wholeSize = static_cast<int>(std::lround(s.size));
        const bool color = s.color != r.color;
        const bool transformation = s.transformation != r.transformation;
        const bool justification = s.justification != r.justification;
        const std::string word = JustificationWord(s.justification);
        switch (i) {
        case Annotations:
            if (font)
                c.SetAnnotationTextFont(s.font.c_str());
            if (size)
                c.SetAnnotationTextSize(wholeSize, s.unit.c_str());
            if (color)
                c.SetAnnotationTextColor(s.color);
            if (transformation)
                c.SetAnnotationTextTransformation(s.transformation.c_str());
            break;
        case Nodes:
            if (font)
                c.SetNodeTextFont(s.font.c_str());
            if (size)
                c.SetNodeTextSize(wholeSize, s.unit.c_str());
            if (color)
                c.SetNodeTextColor(s.color);
            if (transformation)
                c.SetNodeTextTransformation(s.transformation.c_str());
            if (justification)
                c.SetNodeTextJustification(word.c_str());
            break;
        case Legend:
            if (font)
                c.SetLegendTextFont(s.font.c_str());
            if (size)
                c.SetLegendTextSize(wholeSize, s.unit.c_str());
            if (color)
                c.SetLegendTextColor(s.color);
            if (transformation)
                c.SetLegendTextTransformation(s.transformation.c_str());
            if (justification)
                c.SetLegendTextJustification(word.c_str());
            break;
        case HeightScale:
            if (font)
                c.SetHeightScaleFont(s.font.c_str());
            if (size)
                c.SetHeightScaleSize(wholeSize, s.unit.c_str());
            if (color)
                c.SetHeightScaleColor(s.color, false);
            if (transformation)
                c.SetHeightScaleTransformation(s.transformation.c_str());
            if (justification)
                c.SetHeightScaleJustification(word.c_str());
            break;
        default:
            break;
        }
    }
    m_read = m_styles;
    m_open = false;
    return true;
}
