// ResultsPanel: results in `ketra view`. It reads a results file for the model shown (from
// the command line, File > Open Results... or the Results menu) and keeps its display:
//   - a dock ("Results") with the load cases, what to show (colours by ratio or stress, the
//     displaced shape, support loads), the displaced shape's scale and an Animate button;
//   - the Results menu: Open Results..., the cases, Animate, Support Loads, node numbers (all
//     or the selection's) and the dock;
//   - the window's Forces command (support-load arrows on and off) and its Animate item (the
//     context menu's), both through the window's command map, and a tool-bar button;
//   - the animation, on the view's timer manager: a static case from rest to full and back, a
//     modal case swinging; the same command or Escape stops it;
//   - the element information's extra lines (stresses, allowables, movements);
//   - Analysis > Run: the built-in solver on the model shown (its static cases and lowest
//     modes), its results shown at once and kept until Results > Save Results As... writes them.
// Switching case or what is shown rewrites colours and overlays only, never the model.
#pragma once

#include "results/ResultsDisplay.h"
#include "results/ResultsFile.h"

#include <memory>
#include <string>

class CHoopsViewEx;
class QAction;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QString;

namespace ketra::ui {
class HoopsMainWindow;
} // namespace ketra::ui

namespace ketra::app {

class ViewerDocument;

class ResultsPanel {
public:
    ResultsPanel(ketra::ui::HoopsMainWindow& frame, CHoopsViewEx& window, ViewerDocument& document);
    ~ResultsPanel();
    ResultsPanel(const ResultsPanel&) = delete;
    ResultsPanel& operator=(const ResultsPanel&) = delete;

    // Reads `path` for the model shown and shows its first case. A file that fails changes
    // nothing; its "FILE:LINE:COLUMN: what" goes to *error and, unless `quiet`, a message box.
    bool Open(const std::string& path, std::string* error = nullptr, bool quiet = false);
    void OpenWithDialog();
    // Analyses the model shown (operating, sustained and expansion cases, and up to `modes`
    // lowest modes) and shows the results. A model the solver refuses changes nothing; its
    // message goes to *error and, unless `quiet`, a message box. Modes that cannot be found
    // (no mass) leave the static cases shown, with a word in the status bar.
    bool RunAnalysis(int modes = 10, std::string* error = nullptr, bool quiet = false);
    // Writes the results of the last run (atomically); false with *error when it cannot.
    bool SaveResults(const std::string& path, std::string* error = nullptr);
    // The model is about to go: the results and everything they show go with it.
    void Drop();

    bool HasResults() const { return m_display != nullptr; }
    // Shows the case of that name with the panel's choices; false when the file has none.
    bool ShowCase(const std::string& name);
    void SetLoadsShown(bool shown);
    bool LoadsShown() const;
    void ToggleAnimation();
    bool Animating() const;
    // Node numbers: every node's, only the selection's, or none.
    void ShowAllNodeNumbers();
    void ShowSelectedNodeNumbers();
    void HideNodeNumbers();

    const results::ResultsDisplay* Display() const { return m_display.get(); }
    QDockWidget* Dock() const { return m_dock; }

private:
    class Animation;
    class EscapeKey;

    // Replaces what is shown with `results`, labelled `label` in the dock.
    void Show(results::Results results, const std::string& path, const QString& label);
    bool Fail(const std::string& message, std::string* error, bool quiet);
    void BuildDock();
    void BuildMenu();
    void RegisterCommands();
    // Shows the current case again with the panel's choices (colours, displaced, loads, scale).
    void Reshow();
    void FillCases();
    void StopAnimation();
    void Redraw();

    ketra::ui::HoopsMainWindow& m_frame;
    CHoopsViewEx& m_window;
    ViewerDocument& m_document;
    std::string m_path;
    std::string m_runText; // the results file text of the last Analysis > Run; empty otherwise
    results::Results m_results;
    std::unique_ptr<results::ResultsDisplay> m_display;
    std::unique_ptr<Animation> m_animation;
    std::unique_ptr<EscapeKey> m_escape;

    QDockWidget* m_dock = nullptr;
    QLabel* m_file = nullptr;
    QListWidget* m_cases = nullptr;
    QComboBox* m_colours = nullptr;
    QCheckBox* m_displaced = nullptr;
    QCheckBox* m_loads = nullptr;
    QDoubleSpinBox* m_scale = nullptr;
    QPushButton* m_animate = nullptr;
    QMenu* m_caseMenu = nullptr;
    QAction* m_animateAction = nullptr;
    QAction* m_saveAction = nullptr;
    int m_legendWidth = 0, m_legendHeight = 0; // the view's size the legend was laid out for
    bool m_filling = false; // the widgets are being set from the display, not by the user
};

} // namespace ketra::app
