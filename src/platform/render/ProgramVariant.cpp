#include "platform/render/ProgramVariant.h"

#include "platform/render/GlFrame.h"

#include <algorithm>

namespace ketra::render {

std::uint32_t ProgramVariant::Key() const {
    if (general) return static_cast<std::uint32_t>(kind) | 1u << 31;
    return static_cast<std::uint32_t>(kind) | static_cast<std::uint32_t>(clipPlanes) << 2 |
           static_cast<std::uint32_t>(cutTogether) << 6 | static_cast<std::uint32_t>(textured) << 7 |
           static_cast<std::uint32_t>(lit) << 8 | static_cast<std::uint32_t>(flat) << 9 |
           static_cast<std::uint32_t>(perspective) << 10 | static_cast<std::uint32_t>(specular) << 11 |
           static_cast<std::uint32_t>(lights) << 12 | static_cast<std::uint32_t>(batchColor) << 16;
}

std::string ProgramVariant::Defines() const {
    std::string s = "#version 330 core\n";
    auto define = [&s](const char* name, const std::string& value) { s += "#define " + std::string(name) + " " + value + "\n"; };
    auto flag = [](bool on) { return std::string(on ? "true" : "false"); };
    if (general) {
        // Every choice read from uniforms, every clip distance written.
        s += "uniform int uClipCount;\n"
             "uniform int uTextured;\n"
             "uniform int uLighting;\n"
             "uniform int uFlat;\n"
             "uniform int uPerspective;\n"
             "uniform int uLightCount;\n"
             "uniform float uGloss;\n";
        define("KETRA_CLIP_PLANES", "8");
        define("KETRA_CLIP_COUNT", "uClipCount");
        define("KETRA_CUT_TOGETHER", "true");
        define("KETRA_TEXTURED", "(uTextured != 0)");
        define("KETRA_LIT", "(uLighting != 0)");
        define("KETRA_FLAT", "(uFlat != 0)");
        define("KETRA_PERSPECTIVE", "(uPerspective != 0)");
        define("KETRA_SPECULAR", "(uGloss > 0.0)");
        define("KETRA_LIGHTS", "uLightCount");
        define("KETRA_BATCH_COLOR", "false");
        return s;
    }
    s += "uniform float uGloss;\n";
    define("KETRA_CLIP_PLANES", std::to_string(clipPlanes));
    define("KETRA_CLIP_COUNT", std::to_string(clipPlanes));
    define("KETRA_CUT_TOGETHER", flag(cutTogether));
    define("KETRA_TEXTURED", flag(textured));
    define("KETRA_LIT", flag(lit));
    define("KETRA_FLAT", flag(flat));
    define("KETRA_PERSPECTIVE", flag(perspective));
    define("KETRA_SPECULAR", flag(specular));
    define("KETRA_LIGHTS", std::to_string(lights));
    define("KETRA_BATCH_COLOR", flag(batchColor));
    return s;
}

std::string ProgramVariant::Name() const {
    std::string s = kind == ProgramKind::Surface ? "surface" : kind == ProgramKind::Line ? "line" : "marker";
    if (general) return s + " general";
    if (clipPlanes) s += " clip=" + std::to_string(clipPlanes);
    if (cutTogether) s += " cut-together";
    if (textured) s += " textured";
    if (lit) s += " lit=" + std::to_string(lights);
    if (flat) s += " flat";
    if (perspective) s += " perspective";
    if (specular) s += " specular";
    if (batchColor) s += " one-color";
    return s;
}

ProgramVariant ClipVariant(ProgramKind kind, const Layer& layer, int clipSet) {
    ProgramVariant v;
    v.kind = kind;
    if (clipSet < 0 || clipSet >= static_cast<int>(layer.clipSets.size())) return v;
    int alone = 0;
    for (const ClipPlane& c : layer.clipSets[static_cast<size_t>(clipSet)]) {
        if (c.group == 0) ++alone;
        else v.cutTogether = true;
    }
    v.clipPlanes = static_cast<std::uint8_t>(std::min(alone, 8));
    return v;
}

ProgramVariant SurfaceVariant(const Frame& f, const SurfaceState& s, bool textured, bool colorWritten) {
    ProgramVariant v = ClipVariant(ProgramKind::Surface, *f.layer, s.clipSet);
    // Faces that only hide write depth alone: their colour, shaded or not, is never seen.
    v.textured = textured && colorWritten;
    v.lit = s.lighting && !f.unlit && colorWritten;
    if (!v.lit) return v;
    v.flat = s.shading == Shading::Flat;
    v.perspective = f.perspective;
    v.specular = s.gloss > 0.0f;
    v.lights = static_cast<std::uint8_t>(std::min<size_t>(f.lightDirs.size() / 3, 8));
    return v;
}

} // namespace ketra::render
