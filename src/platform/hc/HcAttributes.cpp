// Segment (and geometry) attributes other than colour, visibility and the
// modelling matrix.
#include "platform/hc/AttributeAccess.h"
#include "platform/hc/OptionParser.h"

#include <cmath>
#include <cstdio>
#include <utility>

using namespace ketra::hc;
using namespace ketra::hc::detail;

namespace {

constexpr unsigned kSegGeo = kTargetSegment | kTargetGeometry;

using StrMember = std::optional<std::string> AttributeSet::*;
using NetStrMember = std::string NetAttributes::*;
using FloatMember = std::optional<float> AttributeSet::*;
using NetFloatMember = float NetAttributes::*;
using MapMember = OptionMap AttributeSet::*;
using NetMapMember = OptionMap NetAttributes::*;

const char* HandednessName(Handedness h) { return h == Handedness::Left ? "left" : "right"; }

std::string FormatFloat(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", static_cast<double>(v));
    return buf;
}

// --- single strings -------------------------------------------------------

void SetStr(const char* fn, StrMember m, const char* value, const char* what,
            bool (*valid)(std::string_view, std::string&)) {
    if (NullArg(fn, value, what)) return;
    const std::string v(Trim(value));
    std::string err;
    if (v.empty() || v.size() > 256 || (valid && !valid(v, err))) {
        ReportBadOption(fn, what, value, err.empty() ? "empty or too long" : err);
        return;
    }
    ModifySet(fn, kSegGeo, [&](AttributeSet& a) { a.*m = v; });
}

void UnSetStr(const char* fn, StrMember m) {
    ModifySet(fn, kSegGeo, [&](AttributeSet& a) { (a.*m).reset(); });
}

void ShowStr(const char* fn, StrMember m, char* out, const char* what) {
    ShowLocal(
        fn, kSegGeo, out, what, [&](const AttributeSet& a) { return (a.*m).has_value(); },
        [&](const AttributeSet& a) { return *(a.*m); });
}

void ShowNetStr(const char* fn, int count, const HC_KEY* keys, NetStrMember m, char* out) {
    ShowNet(fn, count, keys, out, [&](const NetAttributes& net) { return net.*m; });
}

// --- single floats --------------------------------------------------------

void SetFloat(const char* fn, FloatMember m, double value, const char* what) {
    if (!std::isfinite(value) || value < 0 || value > 1e6) {
        ReportError(fn, HC_ERR_ARGUMENT, std::string("bad ") + what + " " + FormatFloat(float(value)));
        return;
    }
    ModifySet(fn, kSegGeo, [&](AttributeSet& a) { a.*m = static_cast<float>(value); });
}

void UnSetFloat(const char* fn, FloatMember m) {
    ModifySet(fn, kSegGeo, [&](AttributeSet& a) { (a.*m).reset(); });
}

void ShowFloat(const char* fn, FloatMember m, float* out, const char* what) {
    if (NullArg(fn, out, "output")) return;
    *out = 0;
    bool ok = false;
    const AttributeSet* a = LocalSet(fn, kSegGeo, &ok);
    if (!ok) return;
    if (!a || !(a->*m)) return NotSet(fn, what);
    *out = *(a->*m);
}

void ShowNetFloat(const char* fn, int count, const HC_KEY* keys, NetFloatMember m, float* out) {
    if (NullArg(fn, out, "output")) return;
    *out = 0;
    NetAttributes net;
    if (NetOf(fn, count, keys, net)) *out = net.*m;
}

// --- option maps ------------------------------------------------------------

// Parses an option list given to a set call into `out`; false having reported a null or bad
// list.
bool ParseMapArgument(const char* fn, const char* list, const char* what, OptionMap& out) {
    if (NullArg(fn, list, what)) return false;
    std::string err;
    if (ParseOptionMap(list, out, &err)) return true;
    ReportBadOption(fn, what, list, err);
    return false;
}

void SetMap(const char* fn, MapMember m, const char* list, const char* what, unsigned allowed = kSegGeo) {
    OptionMap parsed;
    if (!ParseMapArgument(fn, list, what, parsed)) return;
    ModifySet(fn, allowed, [&](AttributeSet& a) { (a.*m).MergeFrom(parsed); });
}

void UnSetMap(const char* fn, MapMember m, unsigned allowed = kSegGeo) {
    ModifySet(fn, allowed, [&](AttributeSet& a) { (a.*m).Clear(); });
}

void UnSetOne(const char* fn, MapMember m, const char* which, unsigned allowed = kSegGeo) {
    if (NullArg(fn, which, "name")) return;
    std::string name = NormalizeName(which);
    // "no lighting" and "lighting" name the same option.
    if (name.rfind("no ", 0) == 0) name = name.substr(3);
    ModifySet(fn, allowed, [&](AttributeSet& a) { (a.*m).Erase(name); });
}

void ShowMap(const char* fn, MapMember m, char* out, const char* what, unsigned allowed = kSegGeo) {
    ShowLocal(
        fn, allowed, out, what, [&](const AttributeSet& a) { return !(a.*m).Empty(); },
        [&](const AttributeSet& a) { return (a.*m).ToString(); });
}

void ShowOne(const char* fn, MapMember m, const char* which, char* out, const char* what,
             unsigned allowed = kSegGeo) {
    if (NullArg(fn, which, "name") || NullArg(fn, out, "output")) return;
    out[0] = '\0';
    bool ok = false;
    const AttributeSet* a = LocalSet(fn, allowed, &ok);
    if (!ok) return;
    const std::string* v = a ? (a->*m).Find(which) : nullptr;
    if (!v) {
        ReportError(fn, HC_ERR_STATE, std::string("no ") + what + " '" + std::string(Trim(which)) + "' is set here");
        return;
    }
    CopyOut(*v, out);
}

void ShowNetMap(const char* fn, int count, const HC_KEY* keys, NetMapMember m, char* out) {
    ShowNet(fn, count, keys, out, [&](const NetAttributes& net) { return (net.*m).ToString(); });
}

void ShowNetOne(const char* fn, int count, const HC_KEY* keys, NetMapMember m, const char* which, char* out,
                const char* what) {
    if (NullArg(fn, which, "name") || NullArg(fn, out, "output")) return;
    out[0] = '\0';
    NetAttributes net;
    if (!NetOf(fn, count, keys, net)) return;
    const std::string* v = (net.*m).Find(which);
    if (!v) {
        ReportError(fn, HC_ERR_STATE, std::string("no ") + what + " '" + std::string(Trim(which)) + "' applies here");
        return;
    }
    CopyOut(*v, out);
}

// --- validators ---------------------------------------------------------------

bool ValidLinePattern(std::string_view p, std::string& err) {
    static const char* const kNamed[] = {"center", "phantom", "solid", "dashed", "dotted", "dash dot",
                                         "dash dot dot", "long dash", "finely dotted"};
    const std::string n = NormalizeName(p);
    for (const char* k : kNamed)
        if (n == k) return true;
    bool symbols = true;
    for (char c : p)
        if (c != '-' && c != '.' && c != ' ' && c != '(' && c != ')' && c != '_' && c != '|') symbols = false;
    if (symbols) return true;
    if (std::as_const(Graph::Instance()).Defs().FindLineStyle(p)) return true;
    err = "not a line pattern or defined line style";
    return false;
}

bool ValidFacePattern(std::string_view p, std::string& err) {
    static const char* const kPatterns[] = {"solid", "##", "||", "==", "//", "\\\\", "::", "<><>", "[]", "checkerboard"};
    const std::string n = NormalizeName(p);
    for (const char* k : kPatterns)
        if (n == k) return true;
    err = "not a face pattern";
    return false;
}

bool ValidAlignment(std::string_view p, std::string& err) {
    if (p.size() > 3) {
        err = "at most three of < > ^ v *";
        return false;
    }
    for (char c : p) {
        if (c != '<' && c != '>' && c != '^' && c != 'v' && c != 'V' && c != '*') {
            err = "only < > ^ v * are alignment characters";
            return false;
        }
    }
    return true;
}

// Runs `change` on the target's user options and records the change; an emptied map goes.
template <typename F>
bool ModifyUserOptions(const char* fn, F&& change) {
    AttributeTarget t;
    if (!RequireTarget(fn, kSegGeo, t)) return false;
    OptionMap* map = t.UserOptions(true);
    if (!map) return false;
    change(*map);
    if (map->Empty()) t.Owner()->userOptions.reset();
    Graph::Instance().Touch(*t.Owner());
    return true;
}

// The target's user options for showing (null when none, no error).
const OptionMap* LocalUserOptions(const char* fn, bool* ok) {
    AttributeTarget t;
    *ok = RequireTarget(fn, kSegGeo, t);
    return *ok ? t.UserOptions(false) : nullptr;
}

// The text of one user option of the target, or null having reported why.
const std::string* OneUserOption(const char* fn, const char* which) {
    bool ok = false;
    const OptionMap* map = LocalUserOptions(fn, &ok);
    if (!ok) return nullptr;
    const std::string* v = map ? map->Find(which) : nullptr;
    if (!v) ReportError(fn, HC_ERR_STATE, "no user option '" + std::string(Trim(which)) + "' is set here");
    return v;
}

std::string UserOptionsText(const OptionMap& map) {
    std::string out;
    for (const auto& [name, value] : map.Entries()) {
        if (!out.empty()) out += ',';
        out += name + "=" + value;
    }
    return out;
}

}  // namespace

extern "C" {

// Line, edge and face patterns.
void HC_Set_Line_Pattern(const char* p) { SetStr(__func__, &AttributeSet::linePattern, p, "line pattern", &ValidLinePattern); }
void HC_UnSet_Line_Pattern(void) { UnSetStr(__func__, &AttributeSet::linePattern); }
void HC_Show_Line_Pattern(char* p) { ShowStr(__func__, &AttributeSet::linePattern, p, "line pattern"); }
void HC_Show_Net_Line_Pattern(char* p) { ShowNetStr(__func__, 0, nullptr, &NetAttributes::linePattern, p); }
void HC_PShow_Net_Line_Pattern(int count, const HC_KEY* keys, char* p) {
    ShowNetStr(__func__, count, keys, &NetAttributes::linePattern, p);
}
void HC_Set_Edge_Pattern(const char* p) { SetStr(__func__, &AttributeSet::edgePattern, p, "edge pattern", &ValidLinePattern); }
void HC_UnSet_Edge_Pattern(void) { UnSetStr(__func__, &AttributeSet::edgePattern); }
void HC_Show_Edge_Pattern(char* p) { ShowStr(__func__, &AttributeSet::edgePattern, p, "edge pattern"); }
void HC_Show_Net_Edge_Pattern(char* p) { ShowNetStr(__func__, 0, nullptr, &NetAttributes::edgePattern, p); }
void HC_Set_Face_Pattern(const char* p) { SetStr(__func__, &AttributeSet::facePattern, p, "face pattern", &ValidFacePattern); }
void HC_UnSet_Face_Pattern(void) { UnSetStr(__func__, &AttributeSet::facePattern); }
void HC_Show_Face_Pattern(char* p) { ShowStr(__func__, &AttributeSet::facePattern, p, "face pattern"); }
void HC_Show_Net_Face_Pattern(char* p) { ShowNetStr(__func__, 0, nullptr, &NetAttributes::facePattern, p); }

// Weights and marker size.
void HC_Set_Line_Weight(double w) { SetFloat(__func__, &AttributeSet::lineWeight, w, "line weight"); }
void HC_UnSet_Line_Weight(void) { UnSetFloat(__func__, &AttributeSet::lineWeight); }
void HC_Show_Line_Weight(float* w) { ShowFloat(__func__, &AttributeSet::lineWeight, w, "line weight"); }
void HC_Show_Net_Line_Weight(float* w) { ShowNetFloat(__func__, 0, nullptr, &NetAttributes::lineWeight, w); }
void HC_PShow_Net_Line_Weight(int count, const HC_KEY* keys, float* w) {
    ShowNetFloat(__func__, count, keys, &NetAttributes::lineWeight, w);
}
void HC_Set_Edge_Weight(double w) { SetFloat(__func__, &AttributeSet::edgeWeight, w, "edge weight"); }
void HC_UnSet_Edge_Weight(void) { UnSetFloat(__func__, &AttributeSet::edgeWeight); }
void HC_Show_Edge_Weight(float* w) { ShowFloat(__func__, &AttributeSet::edgeWeight, w, "edge weight"); }
void HC_Show_Net_Edge_Weight(float* w) { ShowNetFloat(__func__, 0, nullptr, &NetAttributes::edgeWeight, w); }
void HC_PShow_Net_Edge_Weight(int count, const HC_KEY* keys, float* w) {
    ShowNetFloat(__func__, count, keys, &NetAttributes::edgeWeight, w);
}
void HC_Set_Marker_Size(double s) { SetFloat(__func__, &AttributeSet::markerSize, s, "marker size"); }
void HC_UnSet_Marker_Size(void) { UnSetFloat(__func__, &AttributeSet::markerSize); }
void HC_Show_Marker_Size(float* s) { ShowFloat(__func__, &AttributeSet::markerSize, s, "marker size"); }
void HC_Show_Net_Marker_Size(float* s) { ShowNetFloat(__func__, 0, nullptr, &NetAttributes::markerSize, s); }
void HC_PShow_Net_Marker_Size(int count, const HC_KEY* keys, float* s) {
    ShowNetFloat(__func__, count, keys, &NetAttributes::markerSize, s);
}

// Marker symbol and text alignment.
void HC_Set_Marker_Symbol(const char* s) { SetStr(__func__, &AttributeSet::markerSymbol, s, "marker symbol", nullptr); }
void HC_UnSet_Marker_Symbol(void) { UnSetStr(__func__, &AttributeSet::markerSymbol); }
void HC_Show_Marker_Symbol(char* s) { ShowStr(__func__, &AttributeSet::markerSymbol, s, "marker symbol"); }
void HC_Show_Net_Marker_Symbol(char* s) { ShowNetStr(__func__, 0, nullptr, &NetAttributes::markerSymbol, s); }
void HC_PShow_Net_Marker_Symbol(int count, const HC_KEY* keys, char* s) {
    ShowNetStr(__func__, count, keys, &NetAttributes::markerSymbol, s);
}
void HC_Set_Text_Alignment(const char* s) { SetStr(__func__, &AttributeSet::textAlignment, s, "text alignment", &ValidAlignment); }
void HC_UnSet_Text_Alignment(void) { UnSetStr(__func__, &AttributeSet::textAlignment); }
void HC_Show_Text_Alignment(char* s) { ShowStr(__func__, &AttributeSet::textAlignment, s, "text alignment"); }
void HC_Show_Net_Text_Alignment(char* s) { ShowNetStr(__func__, 0, nullptr, &NetAttributes::textAlignment, s); }
void HC_PShow_Net_Text_Alignment(int count, const HC_KEY* keys, char* s) {
    ShowNetStr(__func__, count, keys, &NetAttributes::textAlignment, s);
}

// Text font.
void HC_Set_Text_Font(const char* o) { SetMap(__func__, &AttributeSet::textFont, o, "text font"); }
void HC_UnSet_Text_Font(void) { UnSetMap(__func__, &AttributeSet::textFont); }
void HC_UnSet_One_Text_Font(const char* w) { UnSetOne(__func__, &AttributeSet::textFont, w); }
void HC_Show_Text_Font(char* o) { ShowMap(__func__, &AttributeSet::textFont, o, "text font"); }
void HC_Show_One_Text_Font(const char* w, char* v) { ShowOne(__func__, &AttributeSet::textFont, w, v, "text font option"); }
void HC_Show_Net_Text_Font(char* o) { ShowNetMap(__func__, 0, nullptr, &NetAttributes::textFont, o); }
void HC_Show_One_Net_Text_Font(const char* w, char* v) {
    ShowNetOne(__func__, 0, nullptr, &NetAttributes::textFont, w, v, "text font option");
}
void HC_PShow_Net_Text_Font(int count, const HC_KEY* keys, char* o) {
    ShowNetMap(__func__, count, keys, &NetAttributes::textFont, o);
}

// Rendering options.
void HC_Set_Rendering_Options(const char* l) { SetMap(__func__, &AttributeSet::renderingOptions, l, "rendering options"); }
void HC_UnSet_Rendering_Options(void) { UnSetMap(__func__, &AttributeSet::renderingOptions); }
void HC_UnSet_One_Rendering_Option(const char* w) { UnSetOne(__func__, &AttributeSet::renderingOptions, w); }
void HC_Show_Rendering_Options(char* l) { ShowMap(__func__, &AttributeSet::renderingOptions, l, "rendering options"); }
void HC_Show_One_Rendering_Option(const char* w, char* v) {
    ShowOne(__func__, &AttributeSet::renderingOptions, w, v, "rendering option");
}
void HC_Show_Net_Rendering_Options(char* l) { ShowNetMap(__func__, 0, nullptr, &NetAttributes::renderingOptions, l); }
void HC_Show_One_Net_Rendering_Option(const char* w, char* v) {
    ShowNetOne(__func__, 0, nullptr, &NetAttributes::renderingOptions, w, v, "rendering option");
}
void HC_PShow_Net_Rendering_Options(int count, const HC_KEY* keys, char* l) {
    ShowNetMap(__func__, count, keys, &NetAttributes::renderingOptions, l);
}
void HC_PShow_One_Net_Rendering_Option(int count, const HC_KEY* keys, const char* w, char* v) {
    ShowNetOne(__func__, count, keys, &NetAttributes::renderingOptions, w, v, "rendering option");
}

// Heuristics.
void HC_Set_Heuristics(const char* l) { SetMap(__func__, &AttributeSet::heuristics, l, "heuristics"); }
void HC_UnSet_Heuristics(void) { UnSetMap(__func__, &AttributeSet::heuristics); }
void HC_UnSet_One_Heuristic(const char* w) { UnSetOne(__func__, &AttributeSet::heuristics, w); }
void HC_Show_Heuristics(char* l) { ShowMap(__func__, &AttributeSet::heuristics, l, "heuristics"); }
void HC_Show_One_Heuristic(const char* w, char* v) { ShowOne(__func__, &AttributeSet::heuristics, w, v, "heuristic"); }
void HC_Show_Net_Heuristics(char* l) { ShowNetMap(__func__, 0, nullptr, &NetAttributes::heuristics, l); }
void HC_Show_One_Net_Heuristic(const char* w, char* v) {
    ShowNetOne(__func__, 0, nullptr, &NetAttributes::heuristics, w, v, "heuristic");
}
void HC_PShow_Net_Heuristics(int count, const HC_KEY* keys, char* l) {
    ShowNetMap(__func__, count, keys, &NetAttributes::heuristics, l);
}

// Selectability.
void HC_Set_Selectability(const char* list) {
    const char* fn = __func__;
    if (NullArg(fn, list, "selectability")) return;
    Selectability parsed;
    std::string err;
    if (!ParseSelectability(list, parsed, &err)) {
        ReportBadOption(fn, "selectability", list, err);
        return;
    }
    ModifySet(fn, kSegGeo, [&](AttributeSet& a) { a.selectability.MergeFrom(parsed); });
}

void HC_UnSet_Selectability(void) {
    ModifySet(__func__, kSegGeo, [](AttributeSet& a) { a.selectability = Selectability{}; });
}

void HC_UnSet_One_Selectability(const char* which) {
    const char* fn = __func__;
    if (NullArg(fn, which, "type")) return;
    const uint32_t bits = TypeBitsForName(which);
    if (bits == 0) {
        ReportBadOption(fn, "selectability type", which, "unknown type");
        return;
    }
    ModifySet(fn, kSegGeo, [&](AttributeSet& a) {
        a.selectability.mask &= ~bits;
        a.selectability.on &= ~bits;
        a.selectability.forced &= ~bits;
    });
}

void HC_Show_Selectability(char* list) {
    ShowLocal(
        __func__, kSegGeo, list, "selectability",
        [](const AttributeSet& a) { return !a.selectability.Empty(); },
        [](const AttributeSet& a) { return FormatSelectability(a.selectability); });
}

void HC_Show_One_Selectability(const char* which, char* value) {
    const char* fn = __func__;
    if (NullArg(fn, which, "type") || NullArg(fn, value, "output")) return;
    value[0] = '\0';
    bool ok = false;
    const AttributeSet* a = LocalSet(fn, kSegGeo, &ok);
    if (!ok) return;
    const uint32_t bits = TypeBitsForName(which);
    if (bits == 0) {
        ReportBadOption(fn, "selectability type", which, "unknown type");
        return;
    }
    if (!a || (a->selectability.mask & bits) != bits) return NotSet(fn, "selectability");
    const bool on = (a->selectability.on & bits) == bits;
    const bool forced = (a->selectability.forced & bits) == bits;
    CopyOut(on ? (forced ? "on!" : "on") : "off", value);
}

void HC_Show_Net_Selectability(char* list) { HC_PShow_Net_Selectability(0, nullptr, list); }

void HC_Show_One_Net_Selectability(const char* which, char* value) {
    const char* fn = __func__;
    if (NullArg(fn, which, "type") || NullArg(fn, value, "output")) return;
    value[0] = '\0';
    const uint32_t bits = TypeBitsForName(which);
    if (bits == 0) {
        ReportBadOption(fn, "selectability type", which, "unknown type");
        return;
    }
    NetAttributes net;
    if (!NetOf(fn, 0, nullptr, net)) return;
    const bool on = (net.selectable & bits) == bits;
    const bool forced = (net.selectableForced & bits) == bits;
    CopyOut(on ? (forced ? "on!" : "on") : "off", value);
}

void HC_PShow_Net_Selectability(int count, const HC_KEY* keys, char* list) {
    ShowNet(__func__, count, keys, list, [](const NetAttributes& net) {
        constexpr uint32_t kLights = kLightsFaces | kLightsEdges | kLightsMarkers;
        return FormatSelectability(Selectability{kAllTypes & ~kLights, net.selectable, net.selectableForced});
    });
}

// Handedness.
void HC_Set_Handedness(const char* value) {
    const char* fn = __func__;
    if (NullArg(fn, value, "handedness")) return;
    const std::string v = NormalizeName(value);
    if (v != "left" && v != "right") {
        ReportBadOption(fn, "handedness", value, "expected \"left\" or \"right\"");
        return;
    }
    ModifySet(fn, kTargetSegment, [&](AttributeSet& a) { a.handedness = v == "left" ? Handedness::Left : Handedness::Right; });
}

void HC_UnSet_Handedness(void) {
    ModifySet(__func__, kTargetSegment, [](AttributeSet& a) { a.handedness.reset(); });
}

void HC_Show_Handedness(char* value) {
    ShowLocal(
        __func__, kTargetSegment, value, "handedness",
        [](const AttributeSet& a) { return a.handedness.has_value(); },
        [](const AttributeSet& a) { return std::string(HandednessName(*a.handedness)); });
}

void HC_Show_Net_Handedness(char* value) {
    ShowNet(__func__, 0, nullptr, value,
            [](const NetAttributes& net) { return std::string(HandednessName(net.handedness)); });
}

// Callbacks.
void HC_Set_Callback(const char* callbacks) {
    const char* fn = __func__;
    if (NullArg(fn, callbacks, "callbacks")) return;
    std::vector<OptionItem> items;
    std::string err;
    if (!ParseOptionList(callbacks, items, &err) || items.empty()) {
        ReportBadOption(fn, "callback", callbacks, err.empty() ? "empty list" : err);
        return;
    }
    OptionMap parsed;
    for (const OptionItem& it : items) {
        if (!it.hasValue || it.negated) {
            ReportBadOption(fn, "callback", callbacks, "expected 'callback point = name' for '" + it.name + "'");
            return;
        }
        parsed.Set(it.name, it.value);
    }
    ModifySet(fn, kSegGeo, [&](AttributeSet& a) { a.callbacks.MergeFrom(parsed); });
}

void HC_UnSet_Callback(void) { UnSetMap(__func__, &AttributeSet::callbacks); }
void HC_UnSet_One_Callback(const char* point) { UnSetOne(__func__, &AttributeSet::callbacks, point); }
void HC_Show_Callback(char* c) { ShowMap(__func__, &AttributeSet::callbacks, c, "callback"); }
void HC_Show_One_Callback(const char* point, char* name) {
    ShowOne(__func__, &AttributeSet::callbacks, point, name, "callback");
}
void HC_Show_One_Net_Callback(const char* point, char* name) {
    ShowNetOne(__func__, 0, nullptr, &NetAttributes::callbacks, point, name, "callback");
}

// User options: values are kept exactly as given (no on/off folding of names
// without a value: "flag" stores "on"). They live on the segment or item itself (see Entity).

void HC_Set_User_Options(const char* list) {
    OptionMap parsed;
    if (ParseMapArgument(__func__, list, "user options", parsed))
        ModifyUserOptions(__func__, [&](OptionMap& map) { map.MergeFrom(parsed); });
}
void HC_UnSet_User_Options(void) {
    ModifyUserOptions(__func__, [](OptionMap& map) { map.Clear(); });
}
void HC_UnSet_One_User_Option(const char* w) {
    const char* fn = __func__;
    if (NullArg(fn, w, "name")) return;
    ModifyUserOptions(fn, [&](OptionMap& map) { map.Erase(w); });
}
void HC_Show_User_Options(char* l) {
    const char* fn = __func__;
    if (NullArg(fn, l, "output")) return;
    l[0] = '\0';
    bool ok = false;
    const OptionMap* map = LocalUserOptions(fn, &ok);
    if (!ok) return;
    if (!map || map->Empty()) return NotSet(fn, "user option");
    CopyOut(UserOptionsText(*map), l);
}
void HC_Show_User_Options_Length(int* length) {
    const char* fn = __func__;
    if (NullArg(fn, length, "output")) return;
    *length = 0;
    bool ok = false;
    const OptionMap* map = LocalUserOptions(fn, &ok);
    if (map) *length = static_cast<int>(UserOptionsText(*map).size());
}
void HC_Show_One_User_Option(const char* w, char* v) {
    const char* fn = __func__;
    if (NullArg(fn, w, "name") || NullArg(fn, v, "output")) return;
    v[0] = '\0';
    if (const std::string* value = OneUserOption(fn, w)) CopyOut(*value, v);
}
void HC_Show_One_User_Option_Length(const char* w, int* length) {
    const char* fn = __func__;
    if (NullArg(fn, w, "name") || NullArg(fn, length, "output")) return;
    *length = 0;
    if (const std::string* value = OneUserOption(fn, w)) *length = static_cast<int>(value->size());
}
void HC_Show_Net_User_Options(char* l) {
    const char* fn = __func__;
    if (NullArg(fn, l, "output")) return;
    l[0] = '\0';
    NetAttributes net;
    if (NetOf(fn, 0, nullptr, net)) CopyOut(UserOptionsText(net.userOptions), l);
}
void HC_Show_One_Net_User_Option(const char* w, char* v) {
    ShowNetOne(__func__, 0, nullptr, &NetAttributes::userOptions, w, v, "user option");
}
void HC_PShow_One_Net_User_Option(int count, const HC_KEY* keys, const char* w, char* v) {
    ShowNetOne(__func__, count, keys, &NetAttributes::userOptions, w, v, "user option");
}

// User index.
void HC_Set_User_Index(long index, const void* data) {
    ModifySet(__func__, kSegGeo, [&](AttributeSet& a) { a.userIndex[index] = reinterpret_cast<intptr_t>(data); });
}

void HC_UnSet_One_User_Index(long index) {
    ModifySet(__func__, kSegGeo, [&](AttributeSet& a) { a.userIndex.erase(index); });
}

bool HC_Show_One_User_Index(long index, void** data) {
    const char* fn = __func__;
    if (NullArg(fn, data, "output")) return false;
    *data = nullptr;
    bool ok = false;
    const AttributeSet* a = LocalSet(fn, kSegGeo, &ok);
    if (!a) return false;
    auto it = a->userIndex.find(index);
    if (it == a->userIndex.end()) return false;
    *data = reinterpret_cast<void*>(it->second);
    return true;
}

bool HC_Show_One_Net_User_Index(long index, void** data) {
    const char* fn = __func__;
    if (NullArg(fn, data, "output")) return false;
    *data = nullptr;
    NetAttributes net;
    if (!NetOf(fn, 0, nullptr, net)) return false;
    auto it = net.userIndex.find(index);
    if (it == net.userIndex.end()) return false;
    *data = reinterpret_cast<void*>(it->second);
    return true;
}

// Subwindow.
void HC_Set_Window(double left, double right, double bottom, double top) {
    const char* fn = __func__;
    if (!std::isfinite(left) || !std::isfinite(right) || !std::isfinite(bottom) || !std::isfinite(top) ||
        left >= right || bottom >= top || left < -1 || right > 1 || bottom < -1 || top > 1) {
        ReportError(fn, HC_ERR_ARGUMENT, "a window needs -1 <= left < right <= 1 and -1 <= bottom < top <= 1");
        return;
    }
    ModifySet(fn, kTargetSegment, [&](AttributeSet& a) {
        a.window = Window{true, float(left), float(right), float(bottom), float(top)};
    });
}

void HC_UnSet_Window(void) {
    ModifySet(__func__, kTargetSegment, [](AttributeSet& a) { a.window = Window{}; });
}

void HC_Show_Window(float* left, float* right, float* bottom, float* top) {
    const char* fn = __func__;
    bool ok = false;
    const AttributeSet* a = LocalSet(fn, kTargetSegment, &ok);
    if (!ok) return;
    if (!a || !a->window.set) return NotSet(fn, "window");
    if (left) *left = a->window.left;
    if (right) *right = a->window.right;
    if (bottom) *bottom = a->window.bottom;
    if (top) *top = a->window.top;
}

}  // extern "C"
