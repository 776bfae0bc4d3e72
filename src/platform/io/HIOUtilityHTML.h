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
// so the one file opens offline. Every occurrence of a placeholder is replaced.
#pragma once

#include "platform/io/HIOManager.h"

#include <string>

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

// Replaces every occurrence of `placeholder` in `text`.
void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value);

} // namespace ketra::io
