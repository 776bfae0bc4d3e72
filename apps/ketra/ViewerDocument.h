// ViewerDocument: the model `ketra view` shows. It owns the plotter (the component's view of
// the drawn model and the plot configuration) and replaces it when another file is opened.
// A file is parsed completely before anything is replaced, so a model that fails to load
// leaves the current one as it was.
#pragma once

#include "platform/mvo/HBaseView.h"
#include "plotter/Plotter.h"
#include "platform/window/CHoopsDoc.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class HMyBaseView;

namespace ketra::app {

// How a freshly loaded model is shown.
struct ViewerOptions {
    std::string configFile; // plot-properties file; empty: the user's file
    ViewMode view = HViewIsoSE;
    HRenderMode mode = HRenderGouraud;
    std::vector<ketra::plotter::Kind> hidden;
    double symbolScale = 0; // above 0: wins over the model's own
    std::string results;    // results file shown over the first model; empty: none
};

// The viewer's document: the model file shown (its path is what Save As starts from).
class ViewerDocument : public CHoopsDoc {
public:
    // The plot configuration type of the viewer: the piping host's input plot.
    static constexpr int kConfigType = 2;

    explicit ViewerDocument(ViewerOptions options);
    ~ViewerDocument();
    ViewerDocument(const ViewerDocument&) = delete;
    ViewerDocument& operator=(const ViewerDocument&) = delete;

    // Loads `path`. On a parse error returns false with the loader's "FILE:LINE:COLUMN: what"
    // in *error and changes nothing. Otherwise `beforeReplace` runs (everything that refers
    // to the old views lets go of them), the old model goes and the new one is drawn.
    bool Open(const std::string& path, std::string* error,
              const std::function<void()>& beforeReplace = {});

    bool HasModel() const { return m_plotter != nullptr; }
    // Valid while HasModel(); replaced by the next successful Open.
    ketra::plotter::Plotter& Plotter() { return *m_plotter; }
    HMyBaseView& View();
    // The path as given to the last successful Open, and the model's title (or the path).
    const std::string& Path() const { return m_path; }
    const std::string& Title() const { return m_title; }
    // The model's units as the status bar shows them ("Units: mm", with a PCF file's own
    // units); "" for a scene file.
    const std::string& UnitsText() const { return m_unitsText; }

private:
    ViewerOptions m_options;
    std::unique_ptr<ketra::plotter::Plotter> m_plotter;
    std::string m_path;
    std::string m_title;
    std::string m_unitsText;
};

} // namespace ketra::app
