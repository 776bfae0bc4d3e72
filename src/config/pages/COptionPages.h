// The option pages besides the colour page: text fonts, transparency, markers, the
// displaced-shape line and user preferences. Each reads its values from the plot
// configuration in OnInitDialog (without writing defaults into the file), keeps the user's
// edits, and in OnApply writes only the values that differ from what it read. Preview pages
// build a PagePreview whose 50 ms timer turns the sample by 5 degrees about the vertical
// and shows the page's current (unapplied) values.
#pragma once

#include "config/pages/CPropertyPage.h"

#include <array>
#include <string>
#include <vector>

class HOpConfig;

// Fonts of the annotation ("Notes"), node ("Nodes"), legend ("Legend") and, for the
// pressure-vessel host, height-scale ("Height Scale") text styles.
class CFontConfig : public CPropertyPage {
public:
    enum Style { Annotations = 0, Nodes = 1, Legend = 2, HeightScale = 3 };
    struct TextStyle {
        std::string font;           // "Arial"
        double size = 0;            // in `unit`
        std::string unit;           // "pts"
        unsigned long color = 0;    // red in bits 0-7
        std::string transformation; // "on" / "off"
        std::string justification;  // "<", "*" or ">"
    };

    explicit CFontConfig(HOpConfig& config, ketra::window::WindowPort* port = nullptr);
    std::string GetCaption() const override { return "Fonts"; }
    void OnInitDialog() override;
    // Writes font, size, colour, transformation and justification of each style where they
    // changed (the annotation style has no justification setter). Sizes are written as
    // whole numbers.
    bool OnApply() override;

    // Tree texts: "Annotations", "Nodes", "Legend" and, for the pressure-vessel host,
    // "Height Scale".
    std::vector<std::string> GetStyleNames() const;
    int GetStyleCount() const { return static_cast<int>(GetStyleNames().size()); }
    // Style `index` (0 .. GetStyleCount()-1) as edited; the first style's read values for
    // an index out of range. The setters ignore indexes out of range and empty fonts.
    const TextStyle& GetStyle(int index) const;
    void SetFont(int index, const std::string& font);
    void SetSize(int index, double size);
    void SetColor(int index, unsigned long color);
    void SetTransformation(int index, const std::string& transformation);
    // "left"/"center"/"right" or the alignment characters.
    void SetJustification(int index, const std::string& justification);
    // "name=\"<font>\", transforms=<t>,size=<size> <unit>": the preview text's font.
    static std::string PreviewFont(const TextStyle& style);
    // Parses "8.0 pts" into 8.0 and "pts" ("pts" when no unit is given).
    static void ParseSize(const std::string& text, double& size, std::string& unit);
    // Sample subsegment and text of a style ("AnnotationText", "Notes", ...).
    static const char* SampleSegment(int index);
    static const char* SampleText(int index);

private:
    void ShowStyles();
    bool Valid(int index) const;
    std::array<TextStyle, 4> m_read;
    std::array<TextStyle, 4> m_styles;
};

// Transparency factor of see-through elements.
class CInvisible : public CPropertyPage {
public:
    static constexpr int kMin = 0, kMax = 99, kTick = 10;

    explicit CInvisible(HOpConfig& config, ketra::window::WindowPort* port = nullptr);
    std::string GetCaption() const override { return "Transparency"; }
    void OnInitDialog() override;
    // Writes slider / 100 with SetInvisiblePercent when the slider moved.
    bool OnApply() override;
    // Gives the sample the slider's transmission, then turns the preview.
    void OnTimer(unsigned int id) override;

    int GetSliderPos() const { return m_pos; }
    // Clamped to kMin..kMax.
    void SetSliderPos(int pos);
    // "%.0f%%" of the slider.
    std::string GetLabel() const;
    // "transmission=(r=%f g=%f b=%f)", each channel slider / 100.
    std::string SampleColor() const;

private:
    int m_pos = 0;
    int m_readPos = 0;
};

// Markers on pipes and bends: on/off, size and colour.
class CMarkerConfig : public CPropertyPage {
public:
    static constexpr int kMin = 0, kMax = 500, kTick = 50;

    explicit CMarkerConfig(HOpConfig& config, ketra::window::WindowPort* port = nullptr);
    std::string GetCaption() const override { return "Markers"; }
    void OnInitDialog() override;
    // Writes SetMarkerSize(slider / 100), SetUseMarkerSymbol and SetMarkerColor where changed.
    bool OnApply() override;
    void OnTimer(unsigned int id) override;

    bool GetUseMarkers() const { return m_use; }
    void SetUseMarkers(bool use) { m_use = use; }
    int GetSliderPos() const { return m_pos; }
    void SetSliderPos(int pos);
    std::string GetLabel() const;
    unsigned long GetColor() const { return m_color; }
    void SetColor(unsigned long color) { m_color = color & 0xFFFFFF; }
    // The colour button: the port's colour chooser starting at the current colour.
    bool OnColorButton();

private:
    bool m_use = false, m_readUse = false;
    int m_pos = 0, m_readPos = 0;
    unsigned long m_color = 0, m_readColor = 0;
};

// The displaced-shape line: colour, pattern and weight.
class COutputOptions : public CPropertyPage {
public:
    static constexpr int kMinWeight = 1, kMaxWeight = 10, kTick = 1;

    explicit COutputOptions(HOpConfig& config, ketra::window::WindowPort* port = nullptr);
    std::string GetCaption() const override { return "Displaced Shape"; }
    void OnInitDialog() override;
    // Writes weight, pattern and colour where changed, then fills "/Style Library/Displaced
    // Shapes" and redraws the views.
    bool OnApply() override;
    void OnTimer(unsigned int id) override;

    // "----", "-.-.", "-...", "....", "-- --", "center", "phantom".
    static const std::vector<std::string>& Patterns();
    // Index into Patterns(); -1 when the stored pattern is not in the list.
    int GetPatternIndex() const { return m_pattern; }
    void SetPatternIndex(int index);
    int GetWeight() const { return m_weight; }
    void SetWeight(int weight);
    unsigned long GetColor() const { return m_color; }
    void SetColor(unsigned long color) { m_color = color & 0xFFFFFF; }
    bool OnColorButton();

private:
    void ShowSample();
    int m_pattern = 0, m_readPattern = 0;
    int m_weight = 1, m_readWeight = 1;
    unsigned long m_color = 0, m_readColor = 0;
};

// User preferences: no preview.
class CUserOptions : public CPropertyPage {
public:
    // Check box ids.
    static constexpr int kOrbitBoundingBox = 1021;
    static constexpr int kRestoreOperator = 1022;
    static constexpr int kRestoreView = 1019;
    static constexpr int kHideOverlappedText = 1030;

    struct Values {
        bool orbitBoundingBox = false;
        bool restoreOperator = false;
        bool restoreView = false;
        bool hideOverlappedText = false;
        int viewButton = -1; // -1: none selected
        int projectionButton = 0;
        int operatorButton = -1; // -1: none selected
        bool operator==(const Values&) const = default;
    };

    explicit CUserOptions(HOpConfig& config, ketra::window::WindowPort* port = nullptr);
    std::string GetCaption() const override { return "User Options"; }
    void OnInitDialog() override;
    // Writes the check boxes and the three groups where they changed.
    bool OnApply() override;

    Values& Edit() { return m_values; }
    const Values& Get() const { return m_values; }

    // The radio mappings. View mode 1..7 to its button (-1 for anything else) and back.
    static int ViewModeToButton(int viewMode);
    static int ButtonToViewMode(int button);
    // Projection 1 -> 1, 3 -> 2, anything else -> 0; and back (0 -> 2 orthographic).
    static int ProjectionToButton(int projection);
    static int ButtonToProjection(int button);
    // Operator class name to its button (-1 for anything else) and back ("" for none).
    static int OperatorToButton(const std::string& name);
    static std::string ButtonToOperator(int button);
    // Texts of the view, projection and operator buttons, by button number.
    static const std::vector<std::string>& ViewButtonTexts();
    static const std::vector<std::string>& ProjectionButtonTexts();
    static const std::vector<std::string>& OperatorButtonTexts();

private:
    Values m_values;
    Values m_read;
};
