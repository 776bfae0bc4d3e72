#include "ViewerDocument.h"

#include "host/ModelFile.h"
#include "host/PipingModel.h"
#include "platform/render/Renderer.h"
#include "plotter/SceneFiles.h"
#include "view/HMyBaseView.h"

namespace ketra::app {

ViewerDocument::ViewerDocument(ViewerOptions options) : m_options(std::move(options)) {}

ViewerDocument::~ViewerDocument() = default;

HMyBaseView& ViewerDocument::View() {
    return m_plotter->View();
}

bool ViewerDocument::Open(const std::string& path, std::string* error,
                          const std::function<void()>& beforeReplace) {
    // A saved scene (.hsf, .hmf) is shown as it was saved; a piping model is drawn.
    const bool scene = ketra::plotter::IsSceneFile(path);
    ketra::host::ModelFileResult loaded;
    // Read whole before anything is replaced, and shown from what was read: a file that
    // changes or goes after the check cannot leave the viewer empty.
    ketra::plotter::SceneFileData sceneFile;
    if (!scene) {
        // JSON or PCF, chosen by the file's content.
        loaded = ketra::host::LoadModelFile(path);
        if (!loaded.ok) {
            if (error)
                *error = loaded.error;
            return false;
        }
        if (m_options.symbolScale > 0) {
            loaded.model.symbolScale = m_options.symbolScale;
            loaded.model.symbolScaleChosen = false;
        }
    } else if (!ketra::plotter::LoadSceneFile(path, sceneFile, error)) {
        return false;  // the current model stays
    }
    if (beforeReplace)
        beforeReplace();
    // The scene graph holds one drawn library at a time: the old plotter goes first.
    m_plotter.reset();
    // The new view is shown in the frame's window, which paints it once attached: the
    // updates while it is built draw nothing headless.
    ketra::render::DeferOffscreenFrames paintedByTheWindow;
    auto plotter = std::make_unique<ketra::plotter::Plotter>();
    ketra::plotter::PlotOptions options;
    options.configFile = m_options.configFile;
    options.configType = kConfigType;
    std::string startError;
    if (!plotter->Start(options, &startError)) {
        if (error)
            *error = path + ": " + startError;
        return false;
    }
    HMyBaseView& view = plotter->View();
    // The render mode goes first: it redraws, which costs nothing while the scene is empty.
    view.SetRenderMode(m_options.mode);
    if (scene) {
        if (!ketra::plotter::ShowSceneFile(sceneFile, view, error))
            return false;
    } else {
        plotter->Draw(loaded.model);
    }
    for (ketra::plotter::Kind kind : m_options.hidden)
        plotter->Hide(kind);
    view.SetViewMode(m_options.view, false, true);
    m_plotter = std::move(plotter);
    m_path = path;
    SetPathName(path);
    m_title = scene || loaded.model.title.empty() ? path : loaded.model.title;
    const bool pcf = loaded.format == ketra::host::ModelFormat::Pcf;
    m_unitsText = scene ? std::string()
                        : ketra::plotter::UnitsText(loaded.model.units, pcf ? loaded.pcf.coordUnits : "",
                                                    pcf ? loaded.pcf.boreUnits : "");
    return true;
}

} // namespace ketra::app
