// ViewerApp: `ketra view` as a desktop application. It holds the document (the model shown),
// the frame (HoopsMainWindow over the main view window), the four-view splitter, the docks
// (segment browser, overview, walk navigation) and the application's own commands, which it
// adds to the main view window's command map so that the menu bar built from menu 128 shows
// them with their check and enable state:
//   File: Open... (57601: models, PCF and scene files), the recent files (57616 ...,
//   absolute and canonical), Exit (57665);
//   View: Segment Browser, Overview, Navigation (docks shown or hidden);
//   Results: the results panel's menu (ResultsPanel.h);
//   Tools: Options... (the Options dialog over every open view);
//   Help: Keys and Mouse (57664).
// The frame's size, position, docks and the recent files are kept in the settings store
// (ViewerSettings) and restored at start.
#pragma once

#include "ResultsPanel.h"
#include "ViewerDocument.h"
#include "ViewerPanes.h"
#include "ViewerSettings.h"

#include <memory>
#include <string>

class CHoopsViewEx;
class QDockWidget;

namespace ketra::ui {
class CSegmentDialogBar;
class HoopsMainWindow;
class OverviewDock;
class PropertiesPanel;
class WalkNavigationPanel;
} // namespace ketra::ui

namespace ketra::plotter {
class ElementCommands;
} // namespace ketra::plotter

namespace ketra::app {

class ViewerApp {
public:
    // Needs the QApplication. Builds the frame and docks (nothing is shown until Show).
    explicit ViewerApp(ViewerOptions options);
    ~ViewerApp();
    ViewerApp(const ViewerApp&) = delete;
    ViewerApp& operator=(const ViewerApp&) = delete;

    // Opens `path`. A model that fails to load shows its "FILE:LINE:COLUMN: what" message
    // in a message box (unless `quiet`, for the command line's first model, which the caller
    // reports) and keeps the current model. True when the new model is shown.
    bool OpenFile(const std::string& path, std::string* error = nullptr, bool quiet = false);
    // File > Open...: asks for a file and opens it.
    void OpenWithDialog();

    // Restores the window's geometry and docks from the settings store and shows it.
    void Show();
    // Stores geometry, docks and recent files (also done when the frame closes).
    void SaveSettings();

    ketra::ui::HoopsMainWindow& Frame() { return *m_frame; }
    CHoopsViewEx& MainWindow();
    ViewerDocument& Document() { return m_document; }
    ViewerPanes& Panes() { return *m_panes; }
    ketra::ui::CSegmentDialogBar& SegmentBrowser() { return *m_browser; }
    ketra::ui::OverviewDock& Overview() { return *m_overview; }
    ketra::ui::WalkNavigationPanel& Navigation() { return *m_navigation; }
    ResultsPanel& Results() { return *m_results; }
    // The results file of the command line (ViewerOptions::results) over the model opened
    // first; true when there is none. A file that fails leaves its message in *error.
    bool OpenStartResults(std::string* error);
    const RecentFiles& Recent() const { return m_recent; }

    // The Options dialog and the help dialog (Tools > Options..., Help > Keys and Mouse).
    void ShowOptions();
    void ShowKeysAndMouse();

private:
    void RegisterCommands();
    // Keys of the menu bar's items, as ketra::ui::CommandHelps lists them (Ctrl+O Open, F1
    // Keys and Mouse, Ctrl+4 four views, the standard views' Ctrl+Shift+letter, ...).
    void SetAccelerators();
    // Everything that refers to the document's views lets go of them.
    void DetachViews();
    // ... and takes the new ones.
    void AttachViews();
    void BuildOverview();
    void ToggleDock(QDockWidget* dock);

    ViewerDocument m_document;
    RecentFiles m_recent;
    std::unique_ptr<ketra::ui::HoopsMainWindow> m_frame;
    std::unique_ptr<ViewerPanes> m_panes;
    ketra::ui::CSegmentDialogBar* m_browser = nullptr;
    ketra::ui::OverviewDock* m_overview = nullptr;
    ketra::ui::WalkNavigationPanel* m_navigation = nullptr;
    // Properties, Model Info, Find Node and the Delete key on the document's model.
    std::unique_ptr<ketra::plotter::ElementCommands> m_elementCommands;
    ketra::ui::PropertiesPanel* m_properties = nullptr;  // made when first shown
    std::unique_ptr<ResultsPanel> m_results;
    std::string m_startResults;
};

} // namespace ketra::app
