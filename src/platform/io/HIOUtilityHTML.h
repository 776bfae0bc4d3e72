// HIOUtilityHTML: the HTML page output. The page is the component's template (resource 118,
// supplied by the view layer through SetTemplateSource) with its placeholders filled:
//   "<!-- $$filename$$ -->"              the file's name without folder and extension
//   "<!-- $$filename_with_ext$$ -->"     that name with ".hsf" (the scene stream beside it)
//   "<!-- $$graphics_frame_width$$ -->", "<!-- $$graphics_frame_height$$ -->"
//                                        the viewer's size in pixels (options' pixel size,
//                                        else 800 x 600)
//   "<!-- $$Background_Colors$$ -->"     the window's top and bottom colours, as the
//                                        arguments "[r, g, b], [r, g, b]" (0..1)
// and two of ours for the viewer that replaces the plug-in:
//   "<!-- $$three_js$$ -->"              three.js (ViewerLibrary.h), inlined
//   "<!-- $$scene_glb_base64$$ -->"      the scene as glTF binary (HIOUtilityGltf), base64
//   "<!-- $$results_json$$ -->"          the results the page switches between and animates
//                                        (PageResults as JSON), "null" without
// so the one file opens offline. Every occurrence of a placeholder is replaced.
#pragma once

#include "platform/io/HIOManager.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class HIOUtilityHTML final : public HOutputHandler {
public:
    // Gives the page template, or "" when none is available.
    using TemplateSource = std::string (*)();

    const char* GetOutputName() const override { return "html"; }
    const char* GetOutputTypesString() const override { return "html;htm"; }

    // Writes the page of the scene below `key` (a view's driver segment) atomically. Fails
    // (OutputFail) when no template is available.
    HFileOutputResult FileOutputByKey(const char* filename, HC_KEY key,
                                      const HOutputHandlerOptions* options) override;

    // Where templates come from (process-wide; null: none). The view layer installs one that
    // reads resource 118 of the current resource module.
    static void SetTemplateSource(TemplateSource source);
    static TemplateSource GetTemplateSource();
};

namespace ketra::io {

struct HtmlPageFields {
    std::string fileName;         // without folder and extension
    int frameWidth = 800, frameHeight = 600;
};

// The page of what `key` shows from `pageTemplate`. False with *error when the scene cannot
// be written.
bool BuildHtmlPage(const std::string& pageTemplate, HC_KEY key, const HtmlPageFields& fields,
                   std::string& out, std::string* error = nullptr);

// Results a page carries beside its scene: states (load cases) that the reader switches
// between, each with the colour of every item group, a legend and lines that move.
struct PageState {
    std::string name;
    // Animation: a swing (-1 to 1, a mode shape) or rest to full and back, once a period.
    bool swing = false;
    double period = 3;
    std::vector<std::array<float, 3>> groupColours;  // per item group (0..1)
    // The legend, top to bottom: a line of text and the colour of its swatch, if any.
    std::vector<std::pair<std::string, std::optional<std::array<float, 3>>>> legend;
    // How far each point of the moving lines moves at full displacement (x, y, z per point,
    // as `PageResults::lines`); empty lines, or none: they stay at rest.
    std::vector<std::vector<float>> lines;
};

struct PageResults {
    // Item group i is drawn in idColours[i] while the scene is written (GltfOptions).
    std::vector<std::array<float, 3>> idColours;
    // The moving lines at rest (x, y, z per point) and how they are drawn.
    std::vector<std::vector<float>> lines;
    std::array<float, 3> lineColour{0, 0, 0};
    float lineWeight = 1;
    std::vector<PageState> states;
    std::size_t initial = 0;  // the state shown first
};

// Where a page's results come from while a view shows them: `prepare` fills the results and
// makes the scene ready to write (each group's items in its id colour; what the page draws
// itself, such as the legend and the moving lines, hidden) and returns false when there is
// nothing to carry; `restore` shows the view as it was. Process-wide; empty: none.
struct PageResultsSource {
    std::function<bool(PageResults&)> prepare;
    std::function<void()> restore;
};
void SetPageResultsSource(PageResultsSource source);

// The results as the page reads them (JSON, safe inside a script element).
std::string PageResultsJson(const PageResults& results);

// Replaces every occurrence of `placeholder` in `text`.
void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value);

} // namespace ketra::io
