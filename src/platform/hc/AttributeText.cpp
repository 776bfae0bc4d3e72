#include "platform/hc/AttributeText.h"

#include "platform/hc/OptionParser.h"
#include "platform/hc/HcStrings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ketra::hc {

namespace {

struct NamedColor {
    const char* name;
    Rgb rgb;
};

constexpr NamedColor kNamedColors[] = {
    {"white", {1, 1, 1}},        {"black", {0, 0, 0}},         {"red", {1, 0, 0}},
    {"green", {0, 1, 0}},        {"blue", {0, 0, 1}},          {"cyan", {0, 1, 1}},
    {"magenta", {1, 0, 1}},      {"yellow", {1, 1, 0}},        {"gray", {0.5f, 0.5f, 0.5f}},
    {"grey", {0.5f, 0.5f, 0.5f}}, {"orange", {1, 0.5f, 0}},    {"pink", {1, 0.75f, 0.8f}},
    {"brown", {0.6f, 0.3f, 0.1f}}, {"purple", {0.5f, 0, 0.5f}}, {"violet", {0.56f, 0, 1}},
    {"navy", {0, 0, 0.5f}},      {"olive", {0.5f, 0.5f, 0}},   {"teal", {0, 0.5f, 0.5f}},
    {"silver", {0.75f, 0.75f, 0.75f}}, {"gold", {1, 0.84f, 0}},
};

bool LookupName(std::string_view name, Rgb& out) {
    for (const NamedColor& c : kNamedColors) {
        if (name == c.name) {
            out = c.rgb;
            return true;
        }
    }
    return false;
}

Rgb Mix(const Rgb& a, const Rgb& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Named colour with modifier words in front: each modifier applies in turn,
// the nearest to the name first.
bool ParseNamedColor(std::string_view text, Rgb& out) {
    const std::string norm = NormalizeName(text);
    std::vector<std::string_view> words;
    std::string_view rest = norm;
    while (!rest.empty()) {
        const size_t sp = rest.find(' ');
        words.push_back(rest.substr(0, sp));
        if (sp == std::string_view::npos) break;
        rest.remove_prefix(sp + 1);
    }
    if (words.empty()) return false;
    Rgb rgb;
    std::string base(words.back());
    if (!LookupName(base, rgb)) {
        // "light-gray" style hyphenation is not a name of ours.
        return false;
    }
    for (size_t i = words.size() - 1; i-- > 0;) {
        const std::string_view m = words[i];
        const bool very = i > 0 && words[i - 1] == "very";
        if (m == "very") continue;
        const float k = very ? 1.5f : 1.0f;
        if (m == "bright") {
            const float mx = std::max({rgb.r, rgb.g, rgb.b});
            if (mx > 0) rgb = {rgb.r / mx, rgb.g / mx, rgb.b / mx};
        } else if (m == "light") {
            rgb = Mix(rgb, {1, 1, 1}, std::min(1.0f, 0.5f * k));
        } else if (m == "pale") {
            rgb = Mix(rgb, {1, 1, 1}, std::min(1.0f, 0.7f * k));
        } else if (m == "dark") {
            rgb = Mix(rgb, {0, 0, 0}, std::min(1.0f, 0.5f * k));
        } else if (m == "medium") {
            rgb = Mix(rgb, {0, 0, 0}, 0.25f);
        } else {
            return false;
        }
    }
    out = rgb;
    return true;
}

// "r=0.5 g=0.2 b=1" in any order, separated by blanks or commas.
bool ParseComponents(std::string_view text, Rgb& out, std::string* error) {
    float v[3] = {0, 0, 0};
    bool seen[3] = {false, false, false};
    size_t i = 0;
    auto skipSep = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == ',')) ++i;
    };
    skipSep();
    if (i >= text.size()) return false;
    while (i < text.size()) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        int slot = c == 'r' ? 0 : c == 'g' ? 1 : c == 'b' ? 2 : -1;
        if (slot < 0) return false;
        ++i;
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size() || text[i] != '=') return false;
        ++i;
        while (i < text.size() && text[i] == ' ') ++i;
        size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != ',' && text[j] != '\t') ++j;
        double d = 0;
        if (!ParseNumber(text.substr(i, j - i), d)) {
            if (error) *error = "bad colour component '" + std::string(text.substr(i, j - i)) + "'";
            return false;
        }
        if (d < 0 || d > 1) {
            if (error) *error = "colour component out of 0..1: " + std::string(text.substr(i, j - i));
            return false;
        }
        if (seen[slot]) return false;
        seen[slot] = true;
        v[slot] = static_cast<float>(d);
        i = j;
        skipSep();
    }
    if (!seen[0] || !seen[1] || !seen[2]) {
        if (error) *error = "colour needs r, g and b";
        return false;
    }
    out = {v[0], v[1], v[2]};
    return true;
}

bool IsComponentName(std::string_view n) {
    return n == "diffuse" || n == "diffuse color" || n == "specular" || n == "transmission" ||
           n == "emission" || n == "gloss";
}

bool ParseDiffuse(std::string_view value, Diffuse& d, std::string* error,
                  bool (*textureExists)(std::string_view)) {
    Rgb rgb;
    std::string err;
    if (ParseRgb(value, rgb, &err)) {
        d = Diffuse{};
        d.rgb = rgb;
        return true;
    }
    const std::string_view name = Trim(value);
    if (textureExists && textureExists(name)) {
        d = Diffuse{};
        d.kind = Diffuse::Kind::Texture;
        d.texture = std::string(name);
        return true;
    }
    if (error) *error = err.empty() ? "unknown colour '" + std::string(name) + "'" : err;
    return false;
}

// A channel value: a colour, a texture word, or a material list.
bool ParseChannelValue(std::string_view value, ChannelColor& out, std::string* error,
                       bool (*textureExists)(std::string_view)) {
    std::string_view inner = value;
    std::string_view stripped;
    if (StripParentheses(value, stripped)) inner = stripped;
    std::vector<OptionItem> items;
    std::string perr;
    bool material = false;
    if (ParseOptionList(inner, items, &perr) && !items.empty()) {
        material = std::all_of(items.begin(), items.end(), [](const OptionItem& it) {
            return it.hasValue && IsComponentName(it.name);
        });
    }
    if (!material) {
        Diffuse d;
        if (!ParseDiffuse(value, d, error, textureExists)) return false;
        out.diffuse = d;
        return true;
    }
    ChannelColor c;
    for (const OptionItem& it : items) {
        if (it.name == "diffuse" || it.name == "diffuse color") {
            Diffuse d;
            if (!ParseDiffuse(it.value, d, error, textureExists)) return false;
            c.diffuse = d;
        } else if (it.name == "gloss") {
            double g = 0;
            if (!ParseNumber(it.value, g) || g < 0 || g > 1000) {
                if (error) *error = "bad gloss '" + it.value + "'";
                return false;
            }
            c.gloss = static_cast<float>(g);
        } else {
            Rgb rgb;
            if (!ParseRgb(it.value, rgb, error)) return false;
            if (it.name == "specular") c.specular = rgb;
            else if (it.name == "transmission") c.transmission = rgb;
            else c.emission = rgb;
        }
    }
    out.MergeFrom(c);
    return true;
}

std::string FormatNumber(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", static_cast<double>(v));
    return buf;
}

struct TypeName {
    const char* name;
    uint32_t bits;
};

constexpr TypeName kTypeNames[] = {
    {"faces", kFaces}, {"face", kFaces}, {"polygons", kFaces | kEdges},
    {"edges", kEdges}, {"edge", kEdges}, {"lines", kLines}, {"line", kLines},
    {"polylines", kLines}, {"polyline", kLines}, {"markers", kMarkers}, {"marker", kMarkers},
    {"text", kText}, {"images", kImages}, {"image", kImages}, {"windows", kWindows},
    {"window", kWindows}, {"cutting planes", kCuttingPlanes}, {"cutting plane", kCuttingPlanes},
    {"shadows", kShadows}, {"shadow", kShadows}, {"vertices", kVertices}, {"vertex", kVertices},
    {"markers only", kMarkers},
    {"lights", kLightsFaces | kLightsEdges | kLightsMarkers},
    {"geometry", kFaces | kEdges | kLines | kMarkers | kText | kImages | kVertices},
    {"everything", kAllTypes},
};

// Names used when showing, in this order.
constexpr TypeName kShowNames[] = {
    {"faces", kFaces}, {"edges", kEdges}, {"lines", kLines}, {"markers", kMarkers},
    {"text", kText}, {"images", kImages}, {"windows", kWindows},
    {"cutting planes", kCuttingPlanes}, {"shadows", kShadows}, {"vertices", kVertices},
};

constexpr TypeName kLightNames[] = {
    {"faces", kLightsFaces}, {"edges", kLightsEdges}, {"markers", kLightsMarkers}};

// Shared by visibility and selectability: calls set(bits, on, forced).
template <typename Set>
bool ParseTypeList(std::string_view text, std::string* error, bool lightsNested, Set&& set,
                   bool selectability) {
    std::vector<OptionItem> items;
    if (!ParseOptionList(text, items, error)) return false;
    if (items.empty()) {
        if (error) *error = "empty list";
        return false;
    }
    for (const OptionItem& it : items) {
        bool on = true;
        bool forced = it.forced;
        if (!it.hasValue && (it.name == "on" || it.name == "off")) {
            set(kAllTypes, it.name == "on", forced);
            continue;
        }
        const uint32_t bits = TypeBitsForName(it.name);
        if (bits == 0) {
            if (error) *error = "unknown type '" + it.name + "'";
            return false;
        }
        if (it.hasValue) {
            std::string_view inner;
            if (StripParentheses(it.value, inner)) {
                // Nested lists: "lights = (faces = on, ...)"; for other types any
                // "on" inside switches the type on.
                std::vector<OptionItem> sub;
                if (!ParseOptionList(inner, sub, error)) return false;
                on = false;
                for (const OptionItem& s : sub) {
                    bool subOn = !s.negated;
                    if (s.hasValue && !ParseOnOff(s.value, subOn)) {
                        if (error) *error = "bad value '" + s.value + "' for '" + s.name + "'";
                        return false;
                    }
                    if (lightsNested && it.name == "lights") {
                        uint32_t sb = 0;
                        for (const TypeName& ln : kLightNames)
                            if (s.name == ln.name) sb = ln.bits;
                        if (sb == 0) {
                            if (error) *error = "unknown light type '" + s.name + "'";
                            return false;
                        }
                        set(sb, subOn, s.forced);
                    } else if (subOn) {
                        on = true;
                    }
                }
                if (lightsNested && it.name == "lights") continue;
            } else if (!ParseOnOff(it.value, on)) {
                if (selectability) {
                    // Pick actions ("v", "^", "*", "v!") select.
                    const std::string v = NormalizeName(it.value);
                    if (v == "v" || v == "^" || v == "*" || v == "o" || v == "v^" || v == "^v") on = true;
                    else {
                        if (error) *error = "bad value '" + it.value + "' for '" + it.name + "'";
                        return false;
                    }
                } else {
                    if (error) *error = "bad value '" + it.value + "' for '" + it.name + "'";
                    return false;
                }
            }
        } else {
            on = !it.negated;
        }
        set(bits, on, forced);
    }
    return true;
}

std::string FormatTypeBits(uint32_t mask, uint32_t on, uint32_t forced) {
    std::string out;
    auto value = [&](uint32_t bit) {
        if (!(on & bit)) return "off";
        return (forced & bit) ? "on!" : "on";
    };
    if (mask == kAllTypes && (on == 0 || on == kAllTypes) && forced == 0) return on ? "everything=on" : "everything=off";
    for (const TypeName& t : kShowNames) {
        if (!(mask & t.bits)) continue;
        if (!out.empty()) out += ',';
        out += t.name;
        out += '=';
        out += value(t.bits);
    }
    const uint32_t lights = kLightsFaces | kLightsEdges | kLightsMarkers;
    if (mask & lights) {
        if (!out.empty()) out += ',';
        out += "lights=(";
        bool first = true;
        for (const TypeName& l : kLightNames) {
            if (!(mask & l.bits)) continue;
            if (!first) out += ',';
            first = false;
            out += l.name;
            out += '=';
            out += value(l.bits);
        }
        out += ')';
    }
    return out;
}

}  // namespace

bool ParseRgb(std::string_view text, Rgb& out, std::string* error) {
    std::string_view t = Trim(text);
    std::string_view inner;
    if (StripParentheses(t, inner)) t = inner;
    if (t.empty()) {
        if (error) *error = "empty colour";
        return false;
    }
    if (t.find('=') != std::string_view::npos) {
        std::string err;
        if (ParseComponents(t, out, &err)) return true;
        if (error) *error = err.empty() ? "bad colour '" + std::string(t) + "'" : err;
        return false;
    }
    if (ParseNamedColor(t, out)) return true;
    if (error) *error = "unknown colour '" + std::string(t) + "'";
    return false;
}

bool ParseChannelNames(std::string_view name, std::vector<ColorChannel>& out) {
    const std::string n = NormalizeName(name);
    out.clear();
    struct Entry {
        const char* name;
        ColorChannel channel;
    };
    static constexpr Entry kChannels[] = {
        {"faces", ColorChannel::Faces},       {"face", ColorChannel::Faces},
        {"edges", ColorChannel::Edges},       {"edge", ColorChannel::Edges},
        {"lines", ColorChannel::Lines},       {"line", ColorChannel::Lines},
        {"polylines", ColorChannel::Lines},   {"polyline", ColorChannel::Lines},
        {"markers", ColorChannel::Markers},   {"marker", ColorChannel::Markers},
        {"text", ColorChannel::Text},         {"windows", ColorChannel::Windows},
        {"window", ColorChannel::Windows},    {"window contrast", ColorChannel::WindowContrast},
        {"lights", ColorChannel::Lights},     {"light", ColorChannel::Lights},
        {"back", ColorChannel::Back},         {"vertices", ColorChannel::Vertices},
        {"vertex", ColorChannel::Vertices},   {"cut faces", ColorChannel::CutFaces},
        {"cut edges", ColorChannel::CutEdges},
    };
    for (const Entry& e : kChannels) {
        if (n == e.name) {
            out.push_back(e.channel);
            return true;
        }
    }
    if (n == "geometry" || n == "polygons" || n == "polygon") {
        if (n == "geometry") {
            for (size_t i = 0; i < 6; ++i) out.push_back(GeometryChannels(i));
        } else {
            out = {ColorChannel::Faces, ColorChannel::Edges};
        }
        return true;
    }
    if (n == "everything") {
        for (size_t i = 0; i < kColorChannelCount; ++i) out.push_back(static_cast<ColorChannel>(i));
        return true;
    }
    return false;
}

ColorChannel GeometryChannels(size_t i) {
    static constexpr ColorChannel kGeometry[] = {ColorChannel::Faces, ColorChannel::Edges,
                                                 ColorChannel::Lines, ColorChannel::Markers,
                                                 ColorChannel::Text, ColorChannel::Vertices};
    return kGeometry[i];
}

bool ParseColorSpec(std::string_view text, ColorAttribute& out, std::string* error,
                    bool (*textureExists)(std::string_view)) {
    std::vector<OptionItem> items;
    if (!ParseOptionList(text, items, error)) return false;
    if (items.empty()) {
        if (error) *error = "empty colour string";
        return false;
    }
    ColorAttribute result;
    std::vector<ColorChannel> pending;
    std::vector<ColorChannel> channels;
    ChannelColor faceComponents;
    bool hasFaceComponents = false;
    for (const OptionItem& it : items) {
        if (it.negated) {
            if (error) *error = "'no " + it.name + "' is not a colour";
            return false;
        }
        if (!it.hasValue) {
            if (ParseChannelNames(it.name, channels)) {
                pending.insert(pending.end(), channels.begin(), channels.end());
                continue;
            }
            // A bare colour colours every geometry channel.
            Rgb rgb;
            if (!ParseRgb(it.name, rgb, error)) return false;
            ChannelColor c;
            c.diffuse = Diffuse{Diffuse::Kind::Rgb, rgb, 0, {}};
            for (size_t i = 0; i < 6; ++i) result[GeometryChannels(i)].MergeFrom(c);
            continue;
        }
        if (IsComponentName(it.name)) {
            // "diffuse = ..." at the top level means the faces.
            if (!ParseChannelValue("(" + it.name + "=" + it.value + ")", faceComponents, error,
                                   textureExists))
                return false;
            hasFaceComponents = true;
            continue;
        }
        if (!ParseChannelNames(it.name, channels)) {
            // "r=0.5 g=0.2 b=1" splits at its first '=': try the whole item as a colour.
            Rgb rgb;
            if (ParseRgb(it.name + "=" + it.value, rgb, nullptr)) {
                ChannelColor c;
                c.diffuse = Diffuse{Diffuse::Kind::Rgb, rgb, 0, {}};
                for (size_t i = 0; i < 6; ++i) result[GeometryChannels(i)].MergeFrom(c);
                continue;
            }
            if (error) *error = "unknown colour channel '" + it.name + "'";
            return false;
        }
        channels.insert(channels.end(), pending.begin(), pending.end());
        pending.clear();
        ChannelColor value;
        if (!ParseChannelValue(it.value, value, error, textureExists)) return false;
        for (ColorChannel ch : channels) result[ch].MergeFrom(value);
    }
    if (!pending.empty()) {
        if (error) *error = "colour channel without a colour";
        return false;
    }
    if (hasFaceComponents) result[ColorChannel::Faces].MergeFrom(faceComponents);
    out.MergeFrom(result);
    return true;
}

bool ParseChannelList(std::string_view text, std::vector<ColorChannel>& out, std::string* error) {
    std::vector<std::string_view> parts;
    out.clear();
    if (!SplitTopLevel(text, parts, error)) return false;
    std::vector<ColorChannel> ch;
    for (std::string_view p : parts) {
        if (p.empty()) continue;
        if (!ParseChannelNames(p, ch)) {
            if (error) *error = "unknown colour channel '" + std::string(p) + "'";
            return false;
        }
        out.insert(out.end(), ch.begin(), ch.end());
    }
    if (out.empty()) {
        if (error) *error = "no colour channel given";
        return false;
    }
    return true;
}

std::string FormatRgb(const Rgb& rgb) {
    return "R=" + FormatNumber(rgb.r) + " G=" + FormatNumber(rgb.g) + " B=" + FormatNumber(rgb.b);
}

std::string FormatDiffuse(const Diffuse& d) {
    switch (d.kind) {
        case Diffuse::Kind::Index: return "index=" + FormatNumber(d.index);
        case Diffuse::Kind::Texture: return d.texture;
        case Diffuse::Kind::Rgb: break;
    }
    return FormatRgb(d.rgb);
}

std::string FormatChannel(const ChannelColor& c) {
    if (c.diffuse && !c.specular && !c.transmission && !c.emission && !c.gloss &&
        c.diffuse->kind != Diffuse::Kind::Index)
        return FormatDiffuse(*c.diffuse);
    std::string out = "(";
    auto add = [&](const std::string& s) {
        if (out.size() > 1) out += ',';
        out += s;
    };
    if (c.diffuse) add("diffuse=" + FormatDiffuse(*c.diffuse));
    if (c.specular) add("specular=" + FormatRgb(*c.specular));
    if (c.transmission) add("transmission=" + FormatRgb(*c.transmission));
    if (c.emission) add("emission=" + FormatRgb(*c.emission));
    if (c.gloss) add("gloss=" + FormatNumber(*c.gloss));
    return out + ")";
}

std::string FormatColor(const ColorAttribute& color) {
    std::string out;
    for (size_t i = 0; i < kColorChannelCount; ++i) {
        const ChannelColor& c = color.channels[i];
        if (c.Empty()) continue;
        if (!out.empty()) out += ',';
        out += ColorChannelName(static_cast<ColorChannel>(i));
        out += '=';
        out += FormatChannel(c);
    }
    return out;
}

bool FormatOneColor(const ColorAttribute& color, std::string_view which, std::string& out,
                    std::string* error) {
    std::string w = NormalizeName(which);
    std::string component = "diffuse";
    const size_t eq = w.find('=');
    if (eq != std::string::npos) {
        component = NormalizeName(std::string_view(w).substr(eq + 1));
        w = NormalizeName(std::string_view(w).substr(0, eq));
    }
    std::vector<ColorChannel> ch;
    if (!ParseChannelNames(w, ch) || ch.size() != 1) {
        if (error) *error = "unknown colour channel '" + std::string(which) + "'";
        return false;
    }
    const ChannelColor& c = color[ch[0]];
    if (component == "diffuse" || component == "diffuse color") {
        if (!c.diffuse) return false;
        out = FormatDiffuse(*c.diffuse);
    } else if (component == "specular" && c.specular) {
        out = FormatRgb(*c.specular);
    } else if (component == "transmission" && c.transmission) {
        out = FormatRgb(*c.transmission);
    } else if (component == "emission" && c.emission) {
        out = FormatRgb(*c.emission);
    } else if (component == "gloss" && c.gloss) {
        out = FormatNumber(*c.gloss);
    } else {
        if (!IsComponentName(component) && error) *error = "unknown colour component '" + component + "'";
        return false;
    }
    return true;
}

uint32_t TypeBitsForName(std::string_view name) {
    const std::string n = NormalizeName(name);
    for (const TypeName& t : kTypeNames)
        if (n == t.name) return t.bits;
    return 0;
}

bool ParseVisibility(std::string_view text, Visibility& out, std::string* error) {
    Visibility v = out;
    const bool ok = ParseTypeList(
        text, error, true,
        [&](uint32_t bits, bool on, bool) {
            v.mask |= bits;
            v.on = on ? (v.on | bits) : (v.on & ~bits);
        },
        false);
    if (ok) out = v;
    return ok;
}

bool ParseSelectability(std::string_view text, Selectability& out, std::string* error) {
    Selectability s = out;
    const bool ok = ParseTypeList(
        text, error, true,
        [&](uint32_t bits, bool on, bool forced) {
            s.mask |= bits;
            s.on = on ? (s.on | bits) : (s.on & ~bits);
            s.forced = (on && forced) ? (s.forced | bits) : (s.forced & ~bits);
        },
        true);
    if (ok) out = s;
    return ok;
}

std::string FormatVisibility(const Visibility& v) { return FormatTypeBits(v.mask, v.on, 0); }

std::string FormatSelectability(const Selectability& s) {
    return FormatTypeBits(s.mask, s.on, s.forced);
}

bool FormatOneVisibility(uint32_t mask, uint32_t on, std::string_view which, std::string& out) {
    const uint32_t bits = TypeBitsForName(which);
    if (bits == 0 || (mask & bits) != bits) return false;
    const uint32_t v = on & bits;
    out = v == bits ? "on" : v == 0 ? "off" : "mixed";
    return true;
}

bool ParseOptionMap(std::string_view text, OptionMap& out, std::string* error) {
    std::vector<OptionItem> items;
    if (!ParseOptionList(text, items, error)) return false;
    if (items.empty()) {
        if (error) *error = "empty option list";
        return false;
    }
    for (const OptionItem& it : items) {
        if (it.hasValue) out.Set(it.name, it.forced ? it.value + "!" : it.value);
        else out.Set(it.name, it.negated ? "off" : (it.forced ? "on!" : "on"));
    }
    return true;
}

bool ParseColorMap(std::string_view text, std::vector<Rgb>& out, std::string* error) {
    std::vector<std::string_view> parts;
    if (!SplitTopLevel(text, parts, error)) return false;
    std::vector<Rgb> map;
    for (std::string_view p : parts) {
        if (p.empty()) continue;
        Rgb rgb;
        if (!ParseRgb(p, rgb, error)) return false;
        map.push_back(rgb);
    }
    if (map.empty()) {
        if (error) *error = "empty colour map";
        return false;
    }
    out = std::move(map);
    return true;
}

std::string FormatColorMap(const std::vector<Rgb>& map) {
    std::string out;
    for (const Rgb& c : map) {
        if (!out.empty()) out += ',';
        out += FormatRgb(c);
    }
    return out;
}

const std::vector<Rgb>& DefaultColorMap() {
    static const std::vector<Rgb> kMap = {{1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0},
                                         {0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
    return kMap;
}

void CopyOut(const std::string& text, char* out) {
    // A TextSink (HcStrings.h) takes the whole text in place of a caller buffer.
    if (!out || TextSink::Receive(out, text)) return;
    std::memcpy(out, text.c_str(), text.size() + 1);
}

}  // namespace ketra::hc
