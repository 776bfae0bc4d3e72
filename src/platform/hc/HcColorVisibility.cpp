// Colour, colour map and visibility calls: they also apply to open faces,
// edges and vertices of a shell.
#include "platform/hc/AttributeAccess.h"
#include "platform/hc/OptionParser.h"

#include <cmath>

using namespace ketra::hc;
using namespace ketra::hc::detail;

namespace {

// The colour attribute slot of whatever is open (segment, geometry, element).
std::unique_ptr<ColorAttribute>* ColorSlot(const AttributeTarget& t, bool create) {
    if (t.element != AttributeTarget::Element::None) {
        ElementAttributes* e = t.ElementAttrs(create);
        return e ? &e->color : nullptr;
    }
    AttributeSet* s = t.Set(create);
    return s ? &s->color : nullptr;
}

Visibility* VisibilitySlot(const AttributeTarget& t, bool create) {
    if (t.element != AttributeTarget::Element::None) {
        ElementAttributes* e = t.ElementAttrs(create);
        return e ? &e->visibility : nullptr;
    }
    AttributeSet* s = t.Set(create);
    return s ? &s->visibility : nullptr;
}

void Finish(const AttributeTarget& t) {
    t.Prune();
    if (t.segment && t.segment->attributes && t.segment->attributes->Empty()) t.segment->attributes.reset();
    Graph::Instance().Touch(*t.Owner());
}

// Net colours with indices resolved through the net colour map.
ColorAttribute Resolved(const NetAttributes& net) {
    ColorAttribute c = net.color;
    for (size_t i = 0; i < kColorChannelCount; ++i) {
        auto& d = c.channels[i].diffuse;
        if (d && d->kind == Diffuse::Kind::Index) {
            Diffuse r;
            r.rgb = net.DiffuseRgb(static_cast<ColorChannel>(i));
            d = r;
        }
    }
    return c;
}

void ShowOneNet(const char* fn, const NetAttributes& net, const char* channel, char* value) {
    std::string out, err;
    if (!FormatOneColor(Resolved(net), channel, out, &err)) {
        ReportError(fn, HC_ERR_OPTION, err.empty() ? "no such colour component" : err);
        return;
    }
    CopyOut(out, value);
}

}  // namespace

extern "C" {

void HC_Set_Color(const char* color_spec) {
    const char* fn = __func__;
    if (NullArg(fn, color_spec, "colour")) return;
    ColorAttribute parsed;
    std::string err;
    if (!ParseColorSpec(color_spec, parsed, &err, &TextureExists)) {
        ReportBadOption(fn, "colour", color_spec, err);
        return;
    }
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    auto* slot = ColorSlot(t, true);
    if (!*slot) *slot = std::make_unique<ColorAttribute>();
    (*slot)->MergeFrom(parsed);
    Finish(t);
}

void HC_UnSet_Color(void) {
    AttributeTarget t;
    if (!RequireTarget(__func__, kTargetAny, t)) return;
    if (auto* slot = ColorSlot(t, false)) slot->reset();
    Finish(t);
}

void HC_UnSet_One_Color(const char* channel) {
    const char* fn = __func__;
    if (NullArg(fn, channel, "channel")) return;
    std::vector<ColorChannel> channels;
    std::string err;
    if (!ParseChannelList(channel, channels, &err)) {
        ReportBadOption(fn, "colour channel", channel, err);
        return;
    }
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    auto* slot = ColorSlot(t, false);
    if (slot && *slot) {
        for (ColorChannel c : channels) (**slot)[c] = ChannelColor{};
        if ((*slot)->Empty()) slot->reset();
    }
    Finish(t);
}

void HC_Show_Color(char* color_spec) {
    const char* fn = __func__;
    if (NullArg(fn, color_spec, "output")) return;
    color_spec[0] = '\0';
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    auto* slot = ColorSlot(t, false);
    if (!slot || !*slot || (*slot)->Empty()) return NotSet(fn, "colour");
    CopyOut(FormatColor(**slot), color_spec);
}

void HC_Show_One_Color(const char* channel, char* value) {
    const char* fn = __func__;
    if (NullArg(fn, channel, "channel") || NullArg(fn, value, "output")) return;
    value[0] = '\0';
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    auto* slot = ColorSlot(t, false);
    std::string out, err;
    if (!slot || !*slot || !FormatOneColor(**slot, channel, out, &err)) {
        if (!err.empty()) ReportError(fn, HC_ERR_OPTION, err);
        else NotSet(fn, "colour");
        return;
    }
    CopyOut(out, value);
}

void HC_Show_Net_Color(char* color_spec) { HC_PShow_Net_Color(0, nullptr, color_spec); }

void HC_Show_One_Net_Color(const char* channel, char* value) {
    HC_PShow_One_Net_Color(0, nullptr, channel, value);
}

void HC_PShow_Net_Color(int count, const HC_KEY* keys, char* color_spec) {
    ShowNet(__func__, count, keys, color_spec,
            [](const NetAttributes& net) { return FormatColor(Resolved(net)); });
}

void HC_PShow_One_Net_Color(int count, const HC_KEY* keys, const char* channel, char* value) {
    const char* fn = __func__;
    if (NullArg(fn, channel, "channel") || NullArg(fn, value, "output")) return;
    value[0] = '\0';
    NetAttributes net;
    if (!NetOf(fn, count, keys, net)) return;
    ShowOneNet(fn, net, channel, value);
}

void HC_Set_Color_By_Index(const char* types, int index) {
    const char* fn = __func__;
    if (NullArg(fn, types, "types")) return;
    std::vector<ColorChannel> channels;
    std::string err;
    if (!ParseChannelList(types, channels, &err)) {
        ReportBadOption(fn, "colour channel list", types, err);
        return;
    }
    if (index < 0) {
        ReportError(fn, HC_ERR_ARGUMENT, "colour index " + std::to_string(index) + " is negative");
        return;
    }
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    auto* slot = ColorSlot(t, true);
    if (!*slot) *slot = std::make_unique<ColorAttribute>();
    Diffuse d;
    d.kind = Diffuse::Kind::Index;
    d.index = static_cast<float>(index);
    for (ColorChannel c : channels) (**slot)[c].diffuse = d;
    Finish(t);
}

void HC_Set_Color_Map(const char* colors) {
    const char* fn = __func__;
    if (NullArg(fn, colors, "colours")) return;
    std::vector<Rgb> map;
    std::string err;
    if (!ParseColorMap(colors, map, &err)) {
        ReportBadOption(fn, "colour map", colors, err);
        return;
    }
    ModifySet(fn, kTargetSegment, [&](AttributeSet& a) { a.colorMap = std::move(map); });
}

void HC_UnSet_Color_Map(void) {
    ModifySet(__func__, kTargetSegment, [](AttributeSet& a) { a.colorMap.reset(); });
}

void HC_Show_Color_Map(char* colors) {
    ShowLocal(
        __func__, kTargetSegment, colors, "colour map",
        [](const AttributeSet& a) { return a.colorMap.has_value(); },
        [](const AttributeSet& a) { return FormatColorMap(*a.colorMap); });
}

void HC_Show_Net_Color_Map(char* colors) {
    ShowNet(__func__, 0, nullptr, colors,
            [](const NetAttributes& net) { return FormatColorMap(net.colorMap); });
}

void HC_Set_Visibility(const char* list) {
    const char* fn = __func__;
    if (NullArg(fn, list, "visibility")) return;
    Visibility parsed;
    std::string err;
    if (!ParseVisibility(list, parsed, &err)) {
        ReportBadOption(fn, "visibility", list, err);
        return;
    }
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    VisibilitySlot(t, true)->MergeFrom(parsed);
    Finish(t);
}

void HC_UnSet_Visibility(void) {
    AttributeTarget t;
    if (!RequireTarget(__func__, kTargetAny, t)) return;
    if (Visibility* v = VisibilitySlot(t, false)) *v = Visibility{};
    Finish(t);
}

void HC_UnSet_One_Visibility(const char* which) {
    const char* fn = __func__;
    if (NullArg(fn, which, "type")) return;
    const uint32_t bits = TypeBitsForName(which);
    if (bits == 0) {
        ReportBadOption(fn, "visibility type", which, "unknown type");
        return;
    }
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    if (Visibility* v = VisibilitySlot(t, false)) {
        v->mask &= ~bits;
        v->on &= ~bits;
    }
    Finish(t);
}

void HC_Show_Visibility(char* list) {
    const char* fn = __func__;
    if (NullArg(fn, list, "output")) return;
    list[0] = '\0';
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    const Visibility* v = VisibilitySlot(t, false);
    if (!v || v->Empty()) return NotSet(fn, "visibility");
    CopyOut(FormatVisibility(*v), list);
}

void HC_Show_One_Visibility(const char* which, char* value) {
    const char* fn = __func__;
    if (NullArg(fn, which, "type") || NullArg(fn, value, "output")) return;
    value[0] = '\0';
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetAny, t)) return;
    if (TypeBitsForName(which) == 0) {
        ReportBadOption(fn, "visibility type", which, "unknown type");
        return;
    }
    const Visibility* v = VisibilitySlot(t, false);
    std::string out;
    if (!v || !FormatOneVisibility(v->mask, v->on, which, out)) return NotSet(fn, "visibility");
    CopyOut(out, value);
}

void HC_Show_Net_Visibility(char* list) { HC_PShow_Net_Visibility(0, nullptr, list); }

void HC_Show_One_Net_Visibility(const char* which, char* value) {
    const char* fn = __func__;
    if (NullArg(fn, which, "type") || NullArg(fn, value, "output")) return;
    value[0] = '\0';
    NetAttributes net;
    if (!NetOf(fn, 0, nullptr, net)) return;
    std::string out;
    if (!FormatOneVisibility(kAllTypes, net.visible, which, out)) {
        ReportBadOption(fn, "visibility type", which, "unknown type");
        return;
    }
    CopyOut(out, value);
}

void HC_PShow_Net_Visibility(int count, const HC_KEY* keys, char* list) {
    ShowNet(__func__, count, keys, list, [](const NetAttributes& net) {
        // A mask short of every type keeps the "everything" shorthand out of net values.
        constexpr uint32_t kLights = kLightsFaces | kLightsEdges | kLightsMarkers;
        return FormatVisibility(Visibility{kAllTypes & ~kLights, net.visible}) + "," +
               FormatVisibility(Visibility{kLights, net.visible});
    });
}

}  // extern "C"
