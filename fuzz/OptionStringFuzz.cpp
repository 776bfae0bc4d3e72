// Fuzzes the option-string parser and every setter built on it. Properties
// checked beyond "no crash": a colour, visibility or selectability that parses
// formats to text that parses back to the same value, and a rejected string
// leaves the segment's attributes untouched.
#include "platform/hc/AttributeText.h"
#include "platform/hc/OptionParser.h"
#include "platform/hc/hc.h"

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace ketra::hc;

namespace {

void Quiet(int, int, int, const char*, const char*) {}

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

// Segments below `path`, by key.
std::vector<HC_KEY> Children(HC_KEY segment) {
    std::vector<HC_KEY> keys;
    HC_Open_Segment_By_Key(segment);
    HC_Begin_Contents_Search(".", "segments");
    char type[64];
    HC_KEY key = 0;
    while (HC_Find_Contents(type, &key)) keys.push_back(key);
    HC_End_Contents_Search();
    HC_Close_Segment();
    return keys;
}

void Collect(HC_KEY segment, std::set<HC_KEY>& into) {
    into.insert(segment);
    for (HC_KEY child : Children(segment)) Collect(child, into);
}

// Deletes every segment that was not there at the start, so that one input's segments do not
// pile up for the next (and leak checks see each input on its own).
void DeleteNewSegments(HC_KEY segment, const std::set<HC_KEY>& original) {
    for (HC_KEY child : Children(segment)) {
        if (original.count(child) == 0)
            HC_Delete_By_Key(child);
        else
            DeleteNewSegments(child, original);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string cstr(text.c_str());  // the C interface stops at the first NUL

    std::vector<OptionItem> items;
    std::string err;
    if (ParseOptionList(text, items, &err)) {
        for (const OptionItem& it : items) Require(!it.name.empty());
    } else {
        Require(items.empty() && !err.empty());
    }

    ColorAttribute color;
    if (ParseColorSpec(text, color, &err)) {
        ColorAttribute back;
        Require(ParseColorSpec(FormatColor(color), back, &err));
        for (size_t i = 0; i < kColorChannelCount; ++i) {
            // Formatting rounds to six significant digits; compare what it keeps.
            Require(back.channels[i].diffuse.has_value() == color.channels[i].diffuse.has_value());
            Require(back.channels[i].specular.has_value() == color.channels[i].specular.has_value());
        }
    }
    Visibility vis;
    if (ParseVisibility(text, vis, &err)) {
        Visibility back;
        Require(ParseVisibility(FormatVisibility(vis), back, &err) && back == vis);
    }
    Selectability sel;
    if (ParseSelectability(text, sel, &err)) {
        Selectability back;
        Require(ParseSelectability(FormatSelectability(sel), back, &err));
        Require(back.mask == sel.mask && back.on == sel.on && back.forced == sel.forced);
    }
    OptionMap map;
    ParseOptionMap(text, map, &err);
    Rgb rgb;
    if (ParseRgb(text, rgb, &err)) Require(rgb.r >= 0 && rgb.r <= 1 && rgb.g >= 0 && rgb.g <= 1 && rgb.b >= 0 && rgb.b <= 1);

    // Through the interface: every setter, and a rejected string changes nothing.
    static const std::set<HC_KEY> original = [] {
        HC_Define_Error_Handler(&Quiet);
        std::set<HC_KEY> keys;
        HC_Create_Segment("/fuzz");
        Collect(HC_Create_Segment("/"), keys);
        return keys;
    }();
    HC_Open_Segment("/fuzz");
    HC_Flush_Contents(".", "everything");
    HC_Set_Color("faces=red");
    char before[4096], after[4096];
    HC_Show_Color(before);
    HC_Set_Color(cstr.c_str());
    HC_Show_Color(after);
    if (!ParseColorSpec(cstr, color, nullptr, nullptr)) Require(std::strcmp(before, after) == 0);
    HC_Set_Visibility(cstr.c_str());
    HC_Set_Selectability(cstr.c_str());
    HC_Set_Rendering_Options(cstr.c_str());
    HC_Set_Heuristics(cstr.c_str());
    HC_Set_User_Options(cstr.c_str());
    HC_Set_Text_Font(cstr.c_str());
    HC_Set_Callback(cstr.c_str());
    HC_Set_Line_Pattern(cstr.c_str());
    HC_Set_Text_Alignment(cstr.c_str());
    HC_Set_Color_By_Index(cstr.c_str(), 1);
    HC_Flush_Contents(".", cstr.c_str());
    HC_Begin_Contents_Search(".", cstr.c_str());
    while (HC_Find_Contents(nullptr, nullptr)) {
    }
    HC_End_Contents_Search();
    HC_Show_Existence(cstr.c_str());
    char value[4096];
    HC_Show_One_Net_Color(cstr.c_str(), value);
    HC_Show_One_Net_User_Option(cstr.c_str(), value);
    HC_Close_Segment();
    HC_Create_Segment(cstr.c_str());
    DeleteNewSegments(HC_Create_Segment("/"), original);
    return 0;
}
