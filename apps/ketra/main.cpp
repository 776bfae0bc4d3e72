// ketra: the command-line host. Draws piping models through the component, writes
// pictures, prints what a model holds, analyses it, and carries the settings store between machines.
#include "AnalyseCommand.h"
#include "Progress.h"
#include "ResultsOptions.h"
#include "host/ModelFile.h"
#include "host/ModelGenerator.h"
#include "host/ModelWriter.h"
#include "host/PipingModel.h"
#include "platform/hc/hc.h"
#include "platform/io/HIOManager.h"
#include "platform/io/HIOUtilityHsf.h"
#include "platform/render/Renderer.h"
#include "platform/sys/AtomicFile.h"
#include "platform/sys/Registry.h"
#include "plotter/Plotter.h"
#include "plotter/SceneFiles.h"
#include "view/HMyBaseView.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

#ifdef KETRA_WITH_VIEWER
#include "Viewer.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

constexpr int kExitUsage = 1;
constexpr int kExitBadModel = 2;
constexpr int kExitFailed = 3;

// Reads a model file of either format (chosen by content). A PCF file's warnings go to
// stderr, at most 20 of them.
bool LoadModel(const std::string& path, ketra::host::PipingModel& model, ketra::host::ModelFileResult* details = nullptr) {
    ketra::host::ModelFileResult r = ketra::host::LoadModelFile(path);
    if (!r.ok) {
        std::fprintf(stderr, "%s\n", r.error.c_str());
        return false;
    }
    std::fputs(ketra::host::FormatPcfWarnings(r.pcf).c_str(), stderr);
    model = std::move(r.model);
    if (details)
        *details = std::move(r);
    return true;
}

const std::map<std::string, ViewMode> kViews = {
    {"iso", HViewIsoSE}, {"iso-se", HViewIsoSE}, {"iso-sw", HViewIsoSW}, {"iso-ne", HViewIsoNE},
    {"iso-nw", HViewIsoNW}, {"front", HViewFront}, {"back", HViewBack}, {"top", HViewTop},
    {"bottom", HViewBottom}, {"left", HViewLeft}, {"right", HViewRight}};
const std::map<std::string, HRenderMode> kModes = {
    {"shaded", HRenderGouraud}, {"flat", HRenderFlat}, {"wireframe", HRenderWireframe},
    {"hidden", HRenderHiddenLineFast}, {"silhouette", HRenderSilhouette}, {"markers", HRenderMarkers}};

struct DrawArgs {
    std::string model;
    std::string config;
    std::string view = "iso";
    std::string mode = "shaded";
    std::vector<std::string> hide;
    double symbolScale = 0; // 0: the model's own
};

void AddDrawOptions(CLI::App* cmd, DrawArgs& a) {
    cmd->add_option("MODEL", a.model, "piping model file: JSON (docs/model-format.md) or PCF (docs/pcf.md), or a .hsf/.hmf scene file")->required();
    cmd->add_option("--config", a.config, "plot-properties file (default: the user's file)");
    std::string views, modes;
    for (const auto& [k, v] : kViews)
        views += (views.empty() ? "" : ", ") + k;
    for (const auto& [k, v] : kModes)
        modes += (modes.empty() ? "" : ", ") + k;
    cmd->add_option("--view", a.view, "standard view: " + views)->capture_default_str();
    cmd->add_option("--mode", a.mode, "render mode: " + modes)->capture_default_str();
    cmd->add_option("--hide", a.hide,
                    "element kinds to hide: pipes, bends, restraints, hangers, anchors, rigids, "
                    "structures, expansion-joints, tees (repeat or separate with commas)")
        ->delimiter(',');
    cmd->add_option("--symbol-scale", a.symbolScale,
                    "size of support symbols in model units (default: the model's \"symbolScale\", else its "
                    "median pipe diameter)")
        ->check([](const std::string& text) -> std::string {
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            return end != text.c_str() && *end == '\0' && value > 0 && value <= 1e9
                       ? ""
                       : "must be a number above 0 (at most 1e9), not \"" + text + "\"";
        });
}

using ketra::plotter::IsSceneFile;

// Shows a scene file in the view; a damaged file's message goes to stderr.
bool ShowSceneFile(const std::string& path, HMyBaseView& view) {
    std::string error;
    if (ketra::plotter::ShowSceneFile(path, view, &error))
        return true;
    std::fprintf(stderr, "ketra: %s\n", error.c_str());
    return false;
}

// The view, render mode and hidden kinds the options name; false (reported) for an unknown one.
bool ParseLook(const DrawArgs& a, ViewMode* view, HRenderMode* mode,
               std::vector<ketra::plotter::Kind>* hidden) {
    if (!kViews.count(a.view)) {
        std::fprintf(stderr, "ketra: unknown view \"%s\"\n", a.view.c_str());
        return false;
    }
    if (!kModes.count(a.mode)) {
        std::fprintf(stderr, "ketra: unknown render mode \"%s\"\n", a.mode.c_str());
        return false;
    }
    for (const std::string& h : a.hide) {
        ketra::plotter::Kind k;
        if (!ketra::plotter::ParseKind(h, &k)) {
            std::fprintf(stderr, "ketra: unknown element kind \"%s\"\n", h.c_str());
            return false;
        }
        hidden->push_back(k);
    }
    *view = kViews.at(a.view);
    *mode = kModes.at(a.mode);
    return true;
}

// Loads, starts the component, draws, and applies view, mode and hidden kinds.
int Draw(const DrawArgs& a, ketra::host::PipingModel& model, ketra::plotter::Plotter& plotter,
         ketra::plotter::PlotStats* stats, double* loadSeconds, double* buildSeconds) {
    auto t0 = Clock::now();
    const bool scene = IsSceneFile(a.model);
    if (!scene && !LoadModel(a.model, model))
        return kExitBadModel;
    if (a.symbolScale > 0) {
        model.symbolScale = a.symbolScale;
        model.symbolScaleChosen = false;
    }
    auto t1 = Clock::now();
    ViewMode viewMode = HViewIsoSE;
    HRenderMode renderMode = HRenderGouraud;
    std::vector<ketra::plotter::Kind> hidden;
    if (!ParseLook(a, &viewMode, &renderMode, &hidden))
        return kExitUsage;
    ketra::plotter::PlotOptions options;
    options.configFile = a.config;
    std::string error;
    if (!plotter.Start(options, &error)) {
        std::fprintf(stderr, "ketra: %s\n", error.c_str());
        return kExitFailed;
    }
    // The render mode goes first: changing it redraws the view, which costs nothing while
    // the scene is still empty.
    HMyBaseView& view = plotter.View();
    view.SetRenderMode(renderMode);
    ketra::app::Progress progress("drawing " + a.model);
    if (scene) {
        if (!ShowSceneFile(a.model, view))
            return kExitBadModel;
    } else {
        *stats = plotter.Draw(model, [&](long done, long total) { progress.Update(done, total); });
    }
    progress.Finish();
    for (auto k : hidden)
        plotter.Hide(k);
    view.SetViewMode(viewMode, false, true);
    auto t2 = Clock::now();
    if (loadSeconds)
        *loadSeconds = Seconds(t0, t1);
    if (buildSeconds)
        *buildSeconds = Seconds(t1, t2);
    return 0;
}

bool ParseSize(const std::string& text, int* w, int* h) {
    int ww = 0, hh = 0;
    char x = 0, extra = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &ww, &x, &hh, &extra) != 3 || (x != 'x' && x != 'X'))
        return false;
    if (ww < 1 || hh < 1 || ww > 16384 || hh > 16384)
        return false;
    *w = ww;
    *h = hh;
    return true;
}

int Render(const DrawArgs& a, const ketra::app::ResultsArgs& resultsArgs, const std::string& out,
           const std::string& size, int dpi, bool timings) {
    int width = 0, height = 0;
    if (!ParseSize(size, &width, &height)) {
        std::fprintf(stderr, "ketra: --size must be WIDTHxHEIGHT (1 to 16384 each), not \"%s\"\n", size.c_str());
        return kExitUsage;
    }
    std::string ext = std::filesystem::path(out).extension().string();
    if (!ext.empty())
        ext.erase(0, 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "vtu" || ext == "pvd")
        return ketra::app::WriteResultsVtk(a.model, resultsArgs, out);
    HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler(ext.c_str());
    if (!handler) {
        std::fprintf(stderr, "Handler for file type .%s unavailable.\nNo file has been created.\n", ext.c_str());
        return kExitUsage;
    }
    ketra::host::PipingModel model;
    ketra::plotter::Plotter plotter;
    ketra::plotter::PlotStats stats;
    double load = 0, build = 0;
    if (int rc = Draw(a, model, plotter, &stats, &load, &build))
        return rc;
    ketra::results::Results results;
    std::unique_ptr<ketra::results::ResultsDisplay> display;
    if (!resultsArgs.file.empty()) {
        // The legend is laid out in the picture's pixels.
        plotter.View().SetWindowSizeInPixels(width, height);
        if (!ketra::app::ShowResults(resultsArgs, model, plotter, results, display))
            return kExitBadModel;
    }
    ketra::app::ShowRequestedNodeNumbers(resultsArgs, model, plotter);
    auto t0 = Clock::now();
    HOutputHandlerOptions options;
    options.m_pHBaseView = &plotter.View();
    options.m_Pixel_Width = width;
    options.m_Pixel_Height = height;
    options.m_Image_Dpi = dpi;
    options.m_Window_Width = static_cast<float>(width) / static_cast<float>(dpi);
    options.m_Window_Height = static_cast<float>(height) / static_cast<float>(dpi);
    HFileOutputResult result;
    if (ext == "hsf" || ext == "hmf") {
        // The model's world: its segment and the element library it includes, so the file
        // shows again on its own (ketra render|view FILE.hsf).
        result = handler->FileOutputByKey(out.c_str(), plotter.View().GetModel()->GetModelIncludeKey(), &options);
    } else {
        result = plotter.View().FileOutput(out.c_str(), handler, &options);
    }
    std::string written = out;
    if (result == OutputOK && (ext == "html" || ext == "htm")) {
        // The page's "Reload" link names the scene file beside it, as the viewer's Save As
        // HTML writes it.
        written = std::filesystem::path(out).replace_extension(".hsf").string();
        HOutputHandler* hsf = HIOManager::Instance()->GetOutputHandler("hsf");
        result = hsf ? hsf->FileOutputByKey(written.c_str(), plotter.View().GetModel()->GetModelIncludeKey(),
                                            &options)
                     : OutputNotHandled;
    }
    auto t1 = Clock::now();
    if (result != OutputOK) {
        std::fprintf(stderr, "ketra: could not write %s (%s)\n", written.c_str(),
                     result == OutputBadFileName ? "bad file name or no permission" : "output failed");
        return kExitFailed;
    }
    if (timings) {
        const ketra::render::FrameTimings& frame = ketra::render::LastFrameTimings();
        const double render = frame.walkSeconds + frame.drawSeconds + frame.readSeconds;
        std::fprintf(stderr,
                     "load %.3f s, build %.3f s, render %.3f s (tessellate %.3f, draw %.3f, read back %.3f; "
                     "%zu meshes, %zu triangles), write %.3f s\n",
                     load, build, render, frame.walkSeconds, frame.drawSeconds, frame.readSeconds, frame.meshes,
                     frame.triangles, std::max(0.0, Seconds(t0, t1) - render));
    }
    return 0;
}

int Info(const std::string& path, bool registry, const std::string& resultsFile) {
    ketra::host::PipingModel model;
    ketra::host::ModelFileResult details;
    if (!LoadModel(path, model, &details))
        return kExitBadModel;
    const bool pcf = details.format == ketra::host::ModelFormat::Pcf;
    ketra::plotter::Plotter plotter;
    std::string error;
    if (!plotter.Start({}, &error)) {
        std::fprintf(stderr, "ketra: %s\n", error.c_str());
        return kExitFailed;
    }
    ketra::plotter::PlotStats stats = plotter.Draw(model);
    std::printf("model:      %s\n", path.c_str());
    if (pcf)
        std::fputs(ketra::host::FormatPcfReport(details.pcf).c_str(), stdout);
    if (!model.title.empty())
        std::printf("title:      %s\n", model.title.c_str());
    std::printf("units:      %s, %s up\n", model.units == ketra::host::Units::Inches ? "in" : "mm",
                model.up == ketra::host::UpAxis::Z ? "Z" : "Y");
    std::printf("nodes:      %zu\n", model.nodes.size());
    std::printf("elements:   %zu\n", model.elements.size());
    for (const auto& [kind, count] : stats.counts)
        std::printf("  %-17s %d\n", ketra::plotter::KindSegmentName(kind), count);
    const auto& o = model.origin;
    if (stats.hasBox && !pcf) // a PCF file's box, in its own units, is in its report above
        std::printf("bounding box: (%.3f, %.3f, %.3f) to (%.3f, %.3f, %.3f)\n", stats.bboxMin[0] + o[0],
                    stats.bboxMin[1] + o[1], stats.bboxMin[2] + o[2], stats.bboxMax[0] + o[0],
                    stats.bboxMax[1] + o[1], stats.bboxMax[2] + o[2]);
    std::printf("symbol scale: %g (%s)\n", model.symbolScale,
                model.symbolScaleChosen ? "chosen from the model's pipe sizes" : "from the model file");
    std::printf("registry:   %d keys\n", plotter.Registry().GetSize());
    if (registry) {
        static const char* names[] = {"pipe", "bend", "anchor", "restraint", "rigid", "hanger", "text", "tees"};
        for (const auto& [key, element] : plotter.Registry().GetElements()) {
            int type = static_cast<int>(element.GetType());
            std::printf("  key %ld  %d-%d  %s\n", key, element.GetFrom(), element.GetTo(),
                        type >= 0 && type < 8 ? names[type] : "?");
        }
    }
    if (!resultsFile.empty() && !ketra::app::PrintResultsInfo(resultsFile, model))
        return kExitBadModel;
    return 0;
}

// Writes a model file of either format as the model format's JSON.
int Convert(const std::string& path, const std::string& out) {
    ketra::host::PipingModel model;
    if (!LoadModel(path, model))
        return kExitBadModel;
    std::string error;
    if (!ketra::sys::WriteFileAtomically(out, ketra::host::WriteModelJson(model), &error)) {
        std::fprintf(stderr, "ketra: %s\n", error.c_str());
        return kExitFailed;
    }
    std::printf("wrote %s: %zu nodes, %zu elements\n", out.c_str(), model.nodes.size(), model.elements.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"ketra: draws piping models in 3D and writes pictures of them"};
    app.require_subcommand(1);

    DrawArgs renderArgs;
    std::string out, size = "1280x1024";
    int dpi = 96;
    bool timings = false;
    CLI::App* render = app.add_subcommand("render", "draw a model into an image file");
    AddDrawOptions(render, renderArgs);
    render->add_option("-o,--output", out,
                       "output file: .png, .tif, .tiff, .bmp, .jpg, .jpeg, .html, .hsf, .hmf, .glb, .gltf; with "
                       "--results also .vtu (one case) or .pvd (every case)")
        ->required();
    render->add_option("--size", size, "image size in pixels, WIDTHxHEIGHT")->capture_default_str();
    render->add_option("--dpi", dpi, "resolution written into the image")->check(CLI::Range(1, 10000))->capture_default_str();
    render->add_flag("--timings", timings, "print load, build and output times");
    ketra::app::ResultsArgs renderResults, infoResults;
    ketra::app::AddResultsOptions(render, renderResults, true);

    std::string infoPath;
    bool registry = false;
    CLI::App* info = app.add_subcommand("info", "print element counts, bounding box and the element registry");
    info->add_option("MODEL", infoPath, "piping model file")->required();
    info->add_flag("--registry", registry, "list every registered key with its nodes and type");
    ketra::app::AddResultsOptions(info, infoResults, false);

    DrawArgs viewArgs;
    CLI::App* view = app.add_subcommand("view", "open a model in an interactive window");
    AddDrawOptions(view, viewArgs);
    ketra::app::ResultsArgs viewResults;
    ketra::app::AddResultsOptions(view, viewResults, false);

    std::string convertPath, convertOut;
    CLI::App* convert = app.add_subcommand("convert", "write a model file (JSON or PCF) as the model format's JSON");
    convert->add_option("MODEL", convertPath, "piping model file: JSON or PCF")->required();
    convert->add_option("-o,--output", convertOut, "JSON file to write")->required();

    int generateCount = 0;
    CLI::App* generate = app.add_subcommand("generate", "write a plausible plant model of about N elements to standard output");
    generate->add_option("N", generateCount, "number of elements")->required()->check(CLI::Range(1, 10000000));

    ketra::app::AnalyseArgs analyseArgs;
    CLI::App* analyse = ketra::app::AddAnalyseCommand(app, analyseArgs);

    std::string settingsFile;
    CLI::App* settings = app.add_subcommand("settings", "carry the settings store between machines");
    settings->require_subcommand(1);
    CLI::App* exportCmd = settings->add_subcommand("export", "write the settings store to a .reg file");
    exportCmd->add_option("FILE", settingsFile, ".reg file to write")->required();
    CLI::App* importCmd = settings->add_subcommand("import", "merge a .reg file into the settings store");
    importCmd->add_option("FILE", settingsFile, ".reg file to read")->required();

    CLI11_PARSE(app, argc, argv);

    if (*render)
        return Render(renderArgs, renderResults, out, size, dpi, timings);
    if (*info)
        return Info(infoPath, registry, infoResults.file);
    if (*convert)
        return Convert(convertPath, convertOut);
    if (*analyse)
        return ketra::app::RunAnalyse(analyseArgs);
    if (*generate) {
        ketra::host::GenerateModel(std::cout, generateCount);
        return std::cout.good() ? 0 : kExitFailed;
    }
    if (*exportCmd || *importCmd) {
        std::string error;
        bool ok = *exportCmd ? ketra::sys::RegExportFile(settingsFile, &error)
                             : ketra::sys::RegImportFile(settingsFile, &error);
        if (!ok) {
            std::fprintf(stderr, "ketra: %s\n", error.c_str());
            return kExitFailed;
        }
        std::printf("%s %s\n", *exportCmd ? "exported the settings store to" : "imported", settingsFile.c_str());
        return 0;
    }
    if (*view) {
#ifdef KETRA_WITH_VIEWER
        // The viewer loads the model itself: File > Open loads the next one the same way.
        ketra::app::ViewerOptions options;
        options.configFile = viewArgs.config;
        options.symbolScale = viewArgs.symbolScale;
        options.results = viewResults.file;
        if (!ParseLook(viewArgs, &options.view, &options.mode, &options.hidden))
            return kExitUsage;
        return ketra::app::RunViewer(argc, argv, viewArgs.model, std::move(options));
#else
        std::fprintf(stderr, "ketra: this build has no window support (built without Qt)\n");
        return kExitFailed;
#endif
    }
    return 0;
}
