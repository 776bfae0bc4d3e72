// Error handling, system options, aliases and process-wide definitions
// (callback names, glyphs, line styles, textures).
#include "platform/hc/AttributeAccess.h"
#include "platform/hc/OptionParser.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace ketra::hc;
using namespace ketra::hc::detail;

namespace {

constexpr size_t kMaxNameLength = 1024;

// A definition name: trimmed, non-empty, bounded.
bool CheckName(const char* fn, const char* name, std::string& out) {
    if (NullArg(fn, name, "name")) return false;
    out = std::string(Trim(name));
    if (out.empty() || out.size() > kMaxNameLength) {
        ReportError(fn, HC_ERR_ARGUMENT, "a definition needs a name of 1.." + std::to_string(kMaxNameLength) + " characters");
        return false;
    }
    return true;
}

void BeginSearch(Graph::State::NameSearch& s, std::vector<std::string> names) {
    s.active = true;
    s.names = std::move(names);
    s.next = 0;
}

bool FindNext(const char* fn, Graph::State::NameSearch& s, char* name) {
    if (!s.active) {
        ReportError(fn, HC_ERR_STATE, "no search is active");
        return false;
    }
    if (s.next >= s.names.size()) return false;
    if (name) CopyOut(s.names[s.next], name);
    ++s.next;
    return true;
}

void EndSearch(const char* fn, Graph::State::NameSearch& s) {
    if (!s.active) ReportError(fn, HC_ERR_STATE, "no search is active");
    s = {};
}

template <typename Vec>
auto FindByName(Vec& v, std::string_view name) {
    const std::string n = NormalizeName(name);
    return std::find_if(v.begin(), v.end(), [&](const auto& e) { return NormalizeName(e.first) == n; });
}

}  // namespace

extern "C" {

void HC_Define_Error_Handler(HC_ERROR_HANDLER handler) { St().handler = handler; }

void HC_UnDefine_Error_Handler(HC_ERROR_HANDLER handler) {
    if (St().handler == handler) St().handler = nullptr;
}

void HC_Report_Error(int category, int specific, int severity, const char* function, const char* message) {
    ReportError(function ? function : "HC_Report_Error", category, message ? message : "",
                std::clamp(severity, 0, 3), specific);
}

void HC_Define_System_Options(const char* list) {
    const char* fn = __func__;
    if (NullArg(fn, list, "options")) return;
    std::vector<OptionItem> items;
    std::string err;
    if (!ParseOptionList(list, items, &err) || items.empty()) {
        ReportBadOption(fn, "system options", list, err.empty() ? "empty list" : err);
        return;
    }
    Graph::State& st = St();
    for (const OptionItem& it : items) {
        bool on = !it.negated;
        if (it.hasValue && (it.name == "errors" || it.name == "warnings" || it.name == "info") &&
            !ParseOnOff(it.value, on)) {
            ReportBadOption(fn, "system options", list, "'" + it.name + "' takes on or off");
            return;
        }
    }
    for (const OptionItem& it : items) {
        bool on = !it.negated;
        if (it.hasValue) ParseOnOff(it.value, on);
        if (it.name == "errors") st.errors = on;
        else if (it.name == "warnings") st.warnings = on;
        else if (it.name == "info") st.info = on;
        else st.systemOptions.Set(it.name, it.hasValue ? it.value : (on ? "on" : "off"));
    }
}

void HC_Show_System_Options(char* list) {
    if (NullArg(__func__, list, "output")) return;
    const Graph::State& st = St();
    std::string out = std::string(st.errors ? "errors" : "no errors") + "," +
                      (st.warnings ? "warnings" : "no warnings") + "," + (st.info ? "info" : "no info");
    if (!st.systemOptions.Empty()) out += "," + st.systemOptions.ToString();
    CopyOut(out, list);
}

void HC_Reset_System(void) { Graph::Instance().Reset(); }

void HC_Define_Alias(const char* name, const char* expansion) {
    const char* fn = __func__;
    std::string n;
    if (!CheckName(fn, name, n) || NullArg(fn, expansion, "expansion")) return;
    if (n.front() != '?' || n.size() < 2 || n.find('/') != std::string::npos) {
        ReportError(fn, HC_ERR_PATH, "an alias name starts with '?' and has no '/': '" + n + "'");
        return;
    }
    if (Trim(expansion).empty()) {
        ReportError(fn, HC_ERR_PATH, "empty alias expansion");
        return;
    }
    Graph::Instance().DefineAlias(n, expansion);
}

void HC_UnDefine_Alias(const char* name) {
    if (NullArg(__func__, name, "name")) return;
    if (!Graph::Instance().RemoveAlias(name))
        ReportError(__func__, HC_ERR_DEFINITION, "alias '" + std::string(name) + "' is not defined");
}

void HC_Show_Alias(const char* name, char* expansion) {
    const char* fn = __func__;
    if (NullArg(fn, name, "name") || NullArg(fn, expansion, "output")) return;
    expansion[0] = '\0';
    const std::string* e = Graph::Instance().FindAlias(name);
    if (!e) {
        ReportError(fn, HC_ERR_DEFINITION, "alias '" + std::string(name) + "' is not defined");
        return;
    }
    CopyOut(*e, expansion);
}

// --- callback names ---------------------------------------------------------

void HC_Define_Callback_Name(const char* name, HC_CALLBACK callback) {
    const char* fn = __func__;
    std::string n;
    if (!CheckName(fn, name, n)) return;
    if (!callback) {
        ReportError(fn, HC_ERR_ARGUMENT, "null callback for '" + n + "'");
        return;
    }
    auto& v = Graph::Instance().Defs().callbacks;
    auto it = FindByName(v, n);
    if (it != v.end()) it->second = callback;
    else v.emplace_back(n, callback);
}

void HC_UnDefine_Callback_Name(const char* name) {
    if (NullArg(__func__, name, "name")) return;
    auto& v = Graph::Instance().Defs().callbacks;
    auto it = FindByName(v, name);
    if (it == v.end()) {
        ReportError(__func__, HC_ERR_DEFINITION, "callback '" + std::string(name) + "' is not defined");
        return;
    }
    v.erase(it);
}

void HC_Show_Callback_Name(const char* name, HC_CALLBACK* callback) {
    const char* fn = __func__;
    if (NullArg(fn, name, "name") || NullArg(fn, callback, "output")) return;
    *callback = std::as_const(Graph::Instance()).Defs().FindCallback(name);
    if (!*callback) ReportError(fn, HC_ERR_DEFINITION, "callback '" + std::string(name) + "' is not defined");
}

void HC_Begin_Callback_Name_Search(void) {
    std::vector<std::string> names;
    for (const auto& c : Graph::Instance().Defs().callbacks) names.push_back(c.first);
    BeginSearch(St().callbackSearch, std::move(names));
}
bool HC_Find_Callback_Name(char* name) { return FindNext(__func__, St().callbackSearch, name); }
void HC_End_Callback_Name_Search(void) { EndSearch(__func__, St().callbackSearch); }

// --- glyphs -----------------------------------------------------------------

void HC_Define_Glyph(const char* name, int data_size, const char* data) {
    const char* fn = __func__;
    std::string n;
    if (!CheckName(fn, name, n)) return;
    if (data_size <= 0 || data_size > 65536) {
        ReportError(fn, HC_ERR_ARGUMENT, "glyph size must lie in 1..65536, not " + std::to_string(data_size));
        return;
    }
    if (NullArg(fn, data, "glyph data")) return;
    Definitions& d = Graph::Instance().Defs();
    const std::string key = NormalizeName(n);
    d.glyphs[key] = std::vector<signed char>(data, data + data_size);
    d.glyphNames[key] = n;
}

void HC_UnDefine_Glyph(const char* name) {
    if (NullArg(__func__, name, "name")) return;
    Definitions& d = Graph::Instance().Defs();
    const std::string key = NormalizeName(name);
    if (!d.glyphs.erase(key)) {
        ReportError(__func__, HC_ERR_DEFINITION, "glyph '" + std::string(name) + "' is not defined");
        return;
    }
    d.glyphNames.erase(key);
}

void HC_Show_Glyph_Size(const char* name, int* data_size) {
    const char* fn = __func__;
    if (NullArg(fn, name, "name") || NullArg(fn, data_size, "output")) return;
    *data_size = 0;
    const auto* g = std::as_const(Graph::Instance()).Defs().FindGlyph(name);
    if (!g) {
        ReportError(fn, HC_ERR_DEFINITION, "glyph '" + std::string(name) + "' is not defined");
        return;
    }
    *data_size = static_cast<int>(g->size());
}

void HC_Show_Glyph(const char* name, char* data) {
    const char* fn = __func__;
    if (NullArg(fn, name, "name") || NullArg(fn, data, "output")) return;
    const auto* g = std::as_const(Graph::Instance()).Defs().FindGlyph(name);
    if (!g) {
        ReportError(fn, HC_ERR_DEFINITION, "glyph '" + std::string(name) + "' is not defined");
        return;
    }
    std::memcpy(data, g->data(), g->size());
}

void HC_Begin_Glyph_Search(void) {
    std::vector<std::string> names;
    for (const auto& [key, shown] : Graph::Instance().Defs().glyphNames) names.push_back(shown);
    BeginSearch(St().glyphSearch, std::move(names));
}
bool HC_Find_Glyph(char* name) { return FindNext(__func__, St().glyphSearch, name); }
void HC_End_Glyph_Search(void) { EndSearch(__func__, St().glyphSearch); }

// --- line styles --------------------------------------------------------------

void HC_Define_Line_Style(const char* name, const char* definition) {
    const char* fn = __func__;
    std::string n;
    if (!CheckName(fn, name, n) || NullArg(fn, definition, "definition")) return;
    std::vector<OptionItem> items;
    std::string err;
    if (!ParseOptionList(definition, items, &err) || items.empty()) {
        ReportBadOption(fn, "line style", definition, err.empty() ? "empty definition" : err);
        return;
    }
    auto& v = Graph::Instance().Defs().lineStyles;
    auto it = FindByName(v, n);
    if (it != v.end()) it->second = definition;
    else v.emplace_back(n, definition);
}

void HC_UnDefine_Line_Style(const char* name) {
    if (NullArg(__func__, name, "name")) return;
    auto& v = Graph::Instance().Defs().lineStyles;
    auto it = FindByName(v, name);
    if (it == v.end()) {
        ReportError(__func__, HC_ERR_DEFINITION, "line style '" + std::string(name) + "' is not defined");
        return;
    }
    v.erase(it);
}

void HC_Show_Line_Style(const char* name, char* definition) {
    const char* fn = __func__;
    if (NullArg(fn, name, "name") || NullArg(fn, definition, "output")) return;
    definition[0] = '\0';
    const std::string* d = std::as_const(Graph::Instance()).Defs().FindLineStyle(name);
    if (!d) {
        ReportError(fn, HC_ERR_DEFINITION, "line style '" + std::string(name) + "' is not defined");
        return;
    }
    CopyOut(*d, definition);
}

void HC_Begin_Line_Style_Search(void) {
    std::vector<std::string> names;
    for (const auto& l : Graph::Instance().Defs().lineStyles) names.push_back(l.first);
    BeginSearch(St().lineStyleSearch, std::move(names));
}
bool HC_Find_Line_Style(char* name) { return FindNext(__func__, St().lineStyleSearch, name); }
void HC_End_Line_Style_Search(void) { EndSearch(__func__, St().lineStyleSearch); }

// --- textures -------------------------------------------------------------------

void HC_Define_Texture(const char* name, const char* definition) {
    const char* fn = __func__;
    std::string n;
    if (!CheckName(fn, name, n) || NullArg(fn, definition, "definition")) return;
    TextureDefinition t;
    t.name = n;
    t.definition = definition;
    std::string err;
    if (!ParseOptionMap(definition, t.options, &err)) {
        ReportBadOption(fn, "texture definition", definition, err);
        return;
    }
    if (!t.options.Has("source")) {
        ReportBadOption(fn, "texture definition", definition, "a texture needs a source image");
        return;
    }
    auto& v = Graph::Instance().Defs().textures;
    const std::string key = NormalizeName(n);
    auto it = std::find_if(v.begin(), v.end(), [&](const TextureDefinition& d) { return NormalizeName(d.name) == key; });
    if (it != v.end()) *it = std::move(t);
    else v.push_back(std::move(t));
}

void HC_UnDefine_Texture(const char* name) {
    if (NullArg(__func__, name, "name")) return;
    auto& v = Graph::Instance().Defs().textures;
    const std::string key = NormalizeName(name);
    auto it = std::find_if(v.begin(), v.end(), [&](const TextureDefinition& d) { return NormalizeName(d.name) == key; });
    if (it == v.end()) {
        ReportError(__func__, HC_ERR_DEFINITION, "texture '" + std::string(name) + "' is not defined");
        return;
    }
    v.erase(it);
}

void HC_Show_Texture(const char* name, char* definition) {
    const char* fn = __func__;
    if (NullArg(fn, name, "name") || NullArg(fn, definition, "output")) return;
    definition[0] = '\0';
    const TextureDefinition* t = std::as_const(Graph::Instance()).Defs().FindTexture(name);
    if (!t) {
        ReportError(fn, HC_ERR_DEFINITION, "texture '" + std::string(name) + "' is not defined");
        return;
    }
    CopyOut(t->definition, definition);
}

void HC_Begin_Texture_Search(void) {
    std::vector<std::string> names;
    for (const auto& t : Graph::Instance().Defs().textures) names.push_back(t.name);
    BeginSearch(St().textureSearch, std::move(names));
}
bool HC_Find_Texture(char* name) { return FindNext(__func__, St().textureSearch, name); }
void HC_End_Texture_Search(void) { EndSearch(__func__, St().textureSearch); }

}  // extern "C"
