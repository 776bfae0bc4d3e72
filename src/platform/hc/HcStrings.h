// HcStrings.h — forms of the text-returning HC_* calls that cannot overrun.
//
// The calls of hc.h that write text into a caller's `char*` trust the caller's buffer to be
// large enough. Segment paths, names, user options and text strings come from scene files and
// hosts, so no fixed buffer is ever large enough for them. Every call of hc.h that returns text
// has a form here that returns it in a std::string:
// * a call whose only output is one text returns it (`std::string HC_Show_Segment(HC_KEY)`);
// * a call with other outputs, or a result of its own, takes `std::string&` in place of each
//   `char*` (`bool HC_Find_Contents(std::string& type, HC_KEY* key)`).
// Errors behave as in hc.h; a failed call gives an empty string.
#pragma once

#include "platform/hc/hc.h"

#include <string>

extern "C" void HC_Show_Driver_Options(char* list);

namespace ketra::hc {

// Receives one text output of an HC_* call: pass Buffer() where the call takes `char*`, and
// the whole text lands in the sink instead of the buffer, whatever its length. Lives on the
// caller's stack for the duration of the call; not copyable.
class TextSink {
public:
    TextSink();
    ~TextSink();
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    char* Buffer() { return m_marker; }
    std::string Take() { return std::move(m_text); }

    // Called by the graph for every text it writes out: true when `out` is a sink's buffer,
    // whose text then becomes `text`.
    static bool Receive(const char* out, const std::string& text);

private:
    char m_marker[8] = {}; // calls may clear the first byte before writing
    std::string m_text;
};

} // namespace ketra::hc

inline std::string HC_Show_System_Options() {
    ketra::hc::TextSink list_;
    HC_Show_System_Options(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_Alias(const char* name) {
    ketra::hc::TextSink expansion_;
    HC_Show_Alias(name, expansion_.Buffer());
    return expansion_.Take();
}

inline std::string HC_Show_Open_Segment() {
    ketra::hc::TextSink segment_;
    HC_Show_Open_Segment(segment_.Buffer());
    return segment_.Take();
}

inline std::string HC_Show_Pathname_Expansion(const char* pathname) {
    ketra::hc::TextSink expansion_;
    HC_Show_Pathname_Expansion(pathname, expansion_.Buffer());
    return expansion_.Take();
}

inline std::string HC_Show_Segment(HC_KEY key) {
    ketra::hc::TextSink pathname_;
    HC_Show_Segment(key, pathname_.Buffer());
    return pathname_.Take();
}

inline std::string HC_Show_Segment_Name(HC_KEY key) {
    ketra::hc::TextSink name_;
    HC_Show_Segment_Name(key, name_.Buffer());
    return name_.Take();
}

inline HC_KEY HC_Show_Include_Segment(HC_KEY include_key, std::string& pathname) {
    ketra::hc::TextSink pathname_;
    const HC_KEY result = HC_Show_Include_Segment(include_key, pathname_.Buffer());
    pathname = pathname_.Take();
    return result;
}

inline HC_KEY HC_Show_Style_Segment(HC_KEY style_key, std::string& pathname) {
    ketra::hc::TextSink pathname_;
    const HC_KEY result = HC_Show_Style_Segment(style_key, pathname_.Buffer());
    pathname = pathname_.Take();
    return result;
}

inline std::string HC_Show_Key_Type(HC_KEY key) {
    ketra::hc::TextSink type_;
    HC_Show_Key_Type(key, type_.Buffer());
    return type_.Take();
}

inline HC_KEY HC_Show_Owner_By_Key(HC_KEY key, std::string& owner) {
    ketra::hc::TextSink owner_;
    const HC_KEY result = HC_Show_Owner_By_Key(key, owner_.Buffer());
    owner = owner_.Take();
    return result;
}

inline bool HC_Find_Contents(std::string& type, HC_KEY* key) {
    ketra::hc::TextSink type_;
    const bool result = HC_Find_Contents(type_.Buffer(), key);
    type = type_.Take();
    return result;
}

inline void HC_Show_PolyCylinder(HC_KEY key, int* pcount, void* points, int* rcount, float* radii,
                                 std::string& capping) {
    ketra::hc::TextSink capping_;
    HC_Show_PolyCylinder(key, pcount, points, rcount, radii, capping_.Buffer());
    capping = capping_.Take();
}

inline void HC_Show_Cylinder(HC_KEY key, void* center_point_1, void* center_point_2, float* radius,
                             std::string& capping) {
    ketra::hc::TextSink capping_;
    HC_Show_Cylinder(key, center_point_1, center_point_2, radius, capping_.Buffer());
    capping = capping_.Take();
}

inline void HC_Show_Text(HC_KEY key, float* x, float* y, float* z, std::string& text) {
    ketra::hc::TextSink text_;
    HC_Show_Text(key, x, y, z, text_.Buffer());
    text = text_.Take();
}

inline std::string HC_Show_Text_Encoding(HC_KEY key) {
    ketra::hc::TextSink encoding_;
    HC_Show_Text_Encoding(key, encoding_.Buffer());
    return encoding_.Take();
}

inline void HC_Show_Text_With_Encoding(HC_KEY key, float* x, float* y, float* z,
                                       std::string& encoding, std::string& text) {
    ketra::hc::TextSink encoding_;
    ketra::hc::TextSink text_;
    HC_Show_Text_With_Encoding(key, x, y, z, encoding_.Buffer(), text_.Buffer());
    encoding = encoding_.Take();
    text = text_.Take();
}

inline void HC_Show_Image_Size(HC_KEY key, float* x, float* y, float* z, std::string& format,
                               int* width, int* height) {
    ketra::hc::TextSink format_;
    HC_Show_Image_Size(key, x, y, z, format_.Buffer(), width, height);
    format = format_.Take();
}

inline void HC_Show_Image(HC_KEY key, float* x, float* y, float* z, std::string& format, int* width,
                          int* height, void* data) {
    ketra::hc::TextSink format_;
    HC_Show_Image(key, x, y, z, format_.Buffer(), width, height, data);
    format = format_.Take();
}

inline std::string HC_Show_Color() {
    ketra::hc::TextSink color_spec_;
    HC_Show_Color(color_spec_.Buffer());
    return color_spec_.Take();
}

inline std::string HC_Show_One_Color(const char* channel) {
    ketra::hc::TextSink value_;
    HC_Show_One_Color(channel, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Net_Color() {
    ketra::hc::TextSink color_spec_;
    HC_Show_Net_Color(color_spec_.Buffer());
    return color_spec_.Take();
}

inline std::string HC_Show_One_Net_Color(const char* channel) {
    ketra::hc::TextSink value_;
    HC_Show_One_Net_Color(channel, value_.Buffer());
    return value_.Take();
}

inline std::string HC_PShow_Net_Color(int count, const HC_KEY* keys) {
    ketra::hc::TextSink color_spec_;
    HC_PShow_Net_Color(count, keys, color_spec_.Buffer());
    return color_spec_.Take();
}

inline std::string HC_PShow_One_Net_Color(int count, const HC_KEY* keys, const char* channel) {
    ketra::hc::TextSink value_;
    HC_PShow_One_Net_Color(count, keys, channel, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Color_Map() {
    ketra::hc::TextSink colors_;
    HC_Show_Color_Map(colors_.Buffer());
    return colors_.Take();
}

inline std::string HC_Show_Net_Color_Map() {
    ketra::hc::TextSink colors_;
    HC_Show_Net_Color_Map(colors_.Buffer());
    return colors_.Take();
}

inline std::string HC_Show_Visibility() {
    ketra::hc::TextSink list_;
    HC_Show_Visibility(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Visibility(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Visibility(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Net_Visibility() {
    ketra::hc::TextSink list_;
    HC_Show_Net_Visibility(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Net_Visibility(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Net_Visibility(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_PShow_Net_Visibility(int count, const HC_KEY* keys) {
    ketra::hc::TextSink list_;
    HC_PShow_Net_Visibility(count, keys, list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_Line_Pattern() {
    ketra::hc::TextSink pattern_;
    HC_Show_Line_Pattern(pattern_.Buffer());
    return pattern_.Take();
}

inline std::string HC_Show_Net_Line_Pattern() {
    ketra::hc::TextSink pattern_;
    HC_Show_Net_Line_Pattern(pattern_.Buffer());
    return pattern_.Take();
}

inline std::string HC_PShow_Net_Line_Pattern(int count, const HC_KEY* keys) {
    ketra::hc::TextSink pattern_;
    HC_PShow_Net_Line_Pattern(count, keys, pattern_.Buffer());
    return pattern_.Take();
}

inline std::string HC_Show_Edge_Pattern() {
    ketra::hc::TextSink pattern_;
    HC_Show_Edge_Pattern(pattern_.Buffer());
    return pattern_.Take();
}

inline std::string HC_Show_Net_Edge_Pattern() {
    ketra::hc::TextSink pattern_;
    HC_Show_Net_Edge_Pattern(pattern_.Buffer());
    return pattern_.Take();
}

inline std::string HC_Show_Face_Pattern() {
    ketra::hc::TextSink pattern_;
    HC_Show_Face_Pattern(pattern_.Buffer());
    return pattern_.Take();
}

inline std::string HC_Show_Net_Face_Pattern() {
    ketra::hc::TextSink pattern_;
    HC_Show_Net_Face_Pattern(pattern_.Buffer());
    return pattern_.Take();
}

inline std::string HC_Show_Marker_Symbol() {
    ketra::hc::TextSink symbol_;
    HC_Show_Marker_Symbol(symbol_.Buffer());
    return symbol_.Take();
}

inline std::string HC_Show_Net_Marker_Symbol() {
    ketra::hc::TextSink symbol_;
    HC_Show_Net_Marker_Symbol(symbol_.Buffer());
    return symbol_.Take();
}

inline std::string HC_PShow_Net_Marker_Symbol(int count, const HC_KEY* keys) {
    ketra::hc::TextSink symbol_;
    HC_PShow_Net_Marker_Symbol(count, keys, symbol_.Buffer());
    return symbol_.Take();
}

inline std::string HC_Show_Text_Font() {
    ketra::hc::TextSink options_;
    HC_Show_Text_Font(options_.Buffer());
    return options_.Take();
}

inline std::string HC_Show_One_Text_Font(const char* option) {
    ketra::hc::TextSink value_;
    HC_Show_One_Text_Font(option, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Net_Text_Font() {
    ketra::hc::TextSink options_;
    HC_Show_Net_Text_Font(options_.Buffer());
    return options_.Take();
}

inline std::string HC_Show_One_Net_Text_Font(const char* option) {
    ketra::hc::TextSink value_;
    HC_Show_One_Net_Text_Font(option, value_.Buffer());
    return value_.Take();
}

inline std::string HC_PShow_Net_Text_Font(int count, const HC_KEY* keys) {
    ketra::hc::TextSink options_;
    HC_PShow_Net_Text_Font(count, keys, options_.Buffer());
    return options_.Take();
}

inline std::string HC_Show_Text_Alignment() {
    ketra::hc::TextSink locater_;
    HC_Show_Text_Alignment(locater_.Buffer());
    return locater_.Take();
}

inline std::string HC_Show_Net_Text_Alignment() {
    ketra::hc::TextSink locater_;
    HC_Show_Net_Text_Alignment(locater_.Buffer());
    return locater_.Take();
}

inline std::string HC_PShow_Net_Text_Alignment(int count, const HC_KEY* keys) {
    ketra::hc::TextSink locater_;
    HC_PShow_Net_Text_Alignment(count, keys, locater_.Buffer());
    return locater_.Take();
}

inline std::string HC_Show_Rendering_Options() {
    ketra::hc::TextSink list_;
    HC_Show_Rendering_Options(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Rendering_Option(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Rendering_Option(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Net_Rendering_Options() {
    ketra::hc::TextSink list_;
    HC_Show_Net_Rendering_Options(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Net_Rendering_Option(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Net_Rendering_Option(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_PShow_Net_Rendering_Options(int count, const HC_KEY* keys) {
    ketra::hc::TextSink list_;
    HC_PShow_Net_Rendering_Options(count, keys, list_.Buffer());
    return list_.Take();
}

inline std::string HC_PShow_One_Net_Rendering_Option(int count, const HC_KEY* keys,
                                                     const char* which) {
    ketra::hc::TextSink value_;
    HC_PShow_One_Net_Rendering_Option(count, keys, which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Heuristics() {
    ketra::hc::TextSink list_;
    HC_Show_Heuristics(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Heuristic(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Heuristic(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Net_Heuristics() {
    ketra::hc::TextSink list_;
    HC_Show_Net_Heuristics(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Net_Heuristic(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Net_Heuristic(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_PShow_Net_Heuristics(int count, const HC_KEY* keys) {
    ketra::hc::TextSink list_;
    HC_PShow_Net_Heuristics(count, keys, list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_Selectability() {
    ketra::hc::TextSink list_;
    HC_Show_Selectability(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Selectability(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Selectability(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Net_Selectability() {
    ketra::hc::TextSink list_;
    HC_Show_Net_Selectability(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Net_Selectability(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Net_Selectability(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_PShow_Net_Selectability(int count, const HC_KEY* keys) {
    ketra::hc::TextSink list_;
    HC_PShow_Net_Selectability(count, keys, list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_Handedness() {
    ketra::hc::TextSink value_;
    HC_Show_Handedness(value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Net_Handedness() {
    ketra::hc::TextSink value_;
    HC_Show_Net_Handedness(value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Callback() {
    ketra::hc::TextSink callbacks_;
    HC_Show_Callback(callbacks_.Buffer());
    return callbacks_.Take();
}

inline std::string HC_Show_One_Callback(const char* callback_point) {
    ketra::hc::TextSink callback_name_;
    HC_Show_One_Callback(callback_point, callback_name_.Buffer());
    return callback_name_.Take();
}

inline std::string HC_Show_One_Net_Callback(const char* callback_point) {
    ketra::hc::TextSink callback_name_;
    HC_Show_One_Net_Callback(callback_point, callback_name_.Buffer());
    return callback_name_.Take();
}

inline std::string HC_Show_User_Options() {
    ketra::hc::TextSink list_;
    HC_Show_User_Options(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_User_Option(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_User_Option(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_Show_Net_User_Options() {
    ketra::hc::TextSink list_;
    HC_Show_Net_User_Options(list_.Buffer());
    return list_.Take();
}

inline std::string HC_Show_One_Net_User_Option(const char* which) {
    ketra::hc::TextSink value_;
    HC_Show_One_Net_User_Option(which, value_.Buffer());
    return value_.Take();
}

inline std::string HC_PShow_One_Net_User_Option(int count, const HC_KEY* keys, const char* which) {
    ketra::hc::TextSink value_;
    HC_PShow_One_Net_User_Option(count, keys, which, value_.Buffer());
    return value_.Take();
}

inline bool HC_Find_Callback_Name(std::string& name) {
    ketra::hc::TextSink name_;
    const bool result = HC_Find_Callback_Name(name_.Buffer());
    name = name_.Take();
    return result;
}

inline bool HC_Find_Glyph(std::string& name) {
    ketra::hc::TextSink name_;
    const bool result = HC_Find_Glyph(name_.Buffer());
    name = name_.Take();
    return result;
}

inline std::string HC_Show_Line_Style(const char* name) {
    ketra::hc::TextSink definition_;
    HC_Show_Line_Style(name, definition_.Buffer());
    return definition_.Take();
}

inline bool HC_Find_Line_Style(std::string& name) {
    ketra::hc::TextSink name_;
    const bool result = HC_Find_Line_Style(name_.Buffer());
    name = name_.Take();
    return result;
}

inline std::string HC_Show_Texture(const char* name) {
    ketra::hc::TextSink definition_;
    HC_Show_Texture(name, definition_.Buffer());
    return definition_.Take();
}

inline bool HC_Find_Texture(std::string& name) {
    ketra::hc::TextSink name_;
    const bool result = HC_Find_Texture(name_.Buffer());
    name = name_.Take();
    return result;
}

inline void HC_Show_Camera(void* position, void* target, void* up, float* width, float* height,
                           std::string& projection) {
    ketra::hc::TextSink projection_;
    HC_Show_Camera(position, target, up, width, height, projection_.Buffer());
    projection = projection_.Take();
}

inline void HC_PShow_Net_Camera(int count, const HC_KEY* keys, void* position, void* target,
                                void* up, float* width, float* height, std::string& projection) {
    ketra::hc::TextSink projection_;
    HC_PShow_Net_Camera(count, keys, position, target, up, width, height, projection_.Buffer());
    projection = projection_.Take();
}

inline std::string HC_Show_Device_Info(const char* driver, const char* item) {
    ketra::hc::TextSink data_;
    HC_Show_Device_Info(driver, item, data_.Buffer());
    return data_.Take();
}

inline std::string HC_Show_Driver_Options() {
    ketra::hc::TextSink list_;
    HC_Show_Driver_Options(list_.Buffer());
    return list_.Take();
}
