// Shows one load case of a results file on a drawn model: elements coloured by code-stress
// ratio or by stress in the settings' six levels, a legend fixed on the screen in the view's
// "LegendWindow" segment, the displaced shape over a ghost of the centre lines, and support
// loads as arrows with their values. Switching case rewrites colours and the overlay
// segments only; the tessellated model is never touched.
#pragma once

#include "plotter/ElementInfo.h"
#include "plotter/Plotter.h"
#include "results/ResultsFile.h"

#include "platform/io/HIOUtilityHTML.h"

#include <array>
#include <map>
#include <optional>
#include <string>

namespace ketra::results {

enum class StressMeasure { Ratio, Stress };

struct DisplayOptions {
    bool colours = true;            // elements coloured by their stress
    StressMeasure measure = StressMeasure::Ratio;
    bool displaced = true;          // the displaced shape and the ghost of the original
    bool loads = false;             // support loads as arrows
    double scale = 0;               // displacement magnification; 0: the plot properties'
                                    // displaced-line "Scale" when set to other than its
                                    // default 4, else chosen (AutoScale)
    double animation = 1;           // fraction of the displacements shown (animation phase)
};

// A stress scale: six levels, each the lowest value that takes its colour (colour values as
// the settings store keeps them, red in the low byte). A value takes the colour of the highest
// level it reaches; below the first level, the first colour.
struct StressScale {
    std::array<double, 6> levels{};
    std::array<unsigned long, 6> colours{};
    std::string unit; // "%" for ratios, else the file's stress unit

    // 0..5.
    int BandOf(double value) const;
    // The settings' "Stress Pct Level n"/"Stress Pct Color n" (ratios in percent) or "Stress
    // Actual Level n"/"Stress Actual Value Color n".
    static StressScale FromSettings(StressMeasure measure, const std::string& stressUnit);
};

// The magnification that shows the largest movement of a case as a tenth of the model's
// largest extent; 1 when nothing moves.
double AutoScale(const LoadCase& c, const host::PipingModel& model);

// The displaced centre line of one element, `points` points from its start to its end: the
// chord moved by the end translations, axially linear and bent by the cubic (Hermite) shape
// of a beam between the end translations and rotations, magnified by `scale`.
std::vector<Vec3> DisplacedCentreLine(const Vec3& a, const Vec3& b, const NodeMotion& ma, const NodeMotion& mb,
                                      double scale, int points);

// The fraction of the displacements an animation shows `seconds` after it started. A static
// case grows from rest to full and back (0, 1, 0) once a period; a modal case swings as its
// mode shape, sin(2πt/T) from -1 to 1. Both are at rest at every whole period.
double AnimationPhase(const LoadCase& c, double seconds);
// The period in seconds: a visible rate, not the mode's own frequency.
double AnimationPeriod(const LoadCase& c);

class ResultsDisplay {
public:
    // Neither is copied: both must outlive the display.
    ResultsDisplay(plotter::Plotter& plotter, const host::PipingModel& model, const Results& results);
    ~ResultsDisplay();
    ResultsDisplay(const ResultsDisplay&) = delete;
    ResultsDisplay& operator=(const ResultsDisplay&) = delete;

    // Shows the case; false (nothing changed) when the file has no such case.
    bool Show(const std::string& caseName, const DisplayOptions& options);
    // Removes colours, legend and overlays: the model as drawn.
    void Clear();

    // Redraws the displaced shape alone with `fraction` of the displacements (an animation's
    // frame); colours, legend and arrows stay. False when no displaced shape is shown.
    bool SetPhase(double fraction);

    // The current case's values for an element (from, to) or a support (from == to): code
    // stress, allowable and ratio at each end, support loads, the movement of its nodes.
    // Empty without a case or values.
    plotter::InfoLines ElementLines(int from, int to) const;

    const LoadCase* Current() const { return m_case; }
    const DisplayOptions& Options() const { return m_options; }
    // The magnification the displaced shape is drawn with (after Show).
    double Scale() const { return m_scale; }
    // Lays the legend out again for the window's present size in pixels (after a resize);
    // nothing else is redrawn.
    void FitLegend();
    // The legend's lines, top to bottom, as drawn.
    const std::vector<std::string>& LegendLines() const { return m_legend; }

private:
    struct LegendLine {
        std::string text;
        int band = -1; // a level's swatch; -1: none
    };
    std::vector<LegendLine> LegendFor(const LoadCase& c, const DisplayOptions& options, const StressScale& scale,
                                      double magnification) const;
    double ScaleFor(const LoadCase& c, const DisplayOptions& options) const;
    // The value an element end is coloured by; none when the case lacks it.
    static std::optional<double> Measured(const EndStress& end, StressMeasure measure);
    // The worst value of each element, and of each tee (the worst of its elements), by
    // (from, to); a tee by (node, node).
    std::map<ElementKey, double> Worst(const LoadCase& c, StressMeasure measure) const;
    // The segments drawing an element, or a tee (node, node).
    std::vector<long> Segments(const ElementKey& key) const;
    void Paint(long segment, const std::string& colour);
    // For the HTML page: see io::PageResultsSource.
    bool PreparePage(io::PageResults& page);
    void Colour(const DisplayOptions& options, const StressScale& scale);
    void Legend(const DisplayOptions& options, const StressScale& scale);
    void Displaced(const DisplayOptions& options);
    void DisplacedLines(double scale);
    void Loads();
    long Overlay(const char* name);

    plotter::Plotter& m_plotter;
    const host::PipingModel& m_model;
    const Results& m_results;
    const LoadCase* m_case = nullptr;
    std::vector<long> m_coloured;
    std::vector<std::string> m_legend;
    DisplayOptions m_options;
    double m_scale = 1;
    long m_overlay = -1;
    long m_displaced = -1;
};

} // namespace ketra::results
