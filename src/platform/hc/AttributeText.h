// AttributeText.h — parsing and formatting of the attribute strings of hc.h:
// colours, visibility, selectability, option maps.
#pragma once

#include "platform/hc/SceneGraph.h"

#include <string>
#include <string_view>
#include <vector>

namespace ketra::hc {

// One colour: a name with optional modifiers ("bright white", "light gray",
// "dark red", "medium blue", "pale yellow", "very dark green"), "r=0.5 g=0.2
// b=1" (any order, blanks or commas between), "(R=0.5 G=0.2 B=1)".
// Components must lie in 0..1.
bool ParseRgb(std::string_view text, Rgb& out, std::string* error = nullptr);

// A channel name ("faces", "face", "edges", "lines", "polylines", "markers",
// "text", "windows", "window", "window contrast", "lights", "back", "vertices",
// "cut faces", "cut edges"); "geometry" and "everything" expand to several.
// Returns false for an unknown name.
bool ParseChannelNames(std::string_view name, std::vector<ColorChannel>& out);
ColorChannel GeometryChannels(size_t i);

// A full colour string (see HC_Set_Color) merged into `out`.
// `textureExists` decides whether an unknown diffuse word names a texture.
bool ParseColorSpec(std::string_view text, ColorAttribute& out, std::string* error = nullptr,
                    bool (*textureExists)(std::string_view) = nullptr);
// A channel list for HC_Set_Color_By_Index ("faces", "text, lights").
bool ParseChannelList(std::string_view text, std::vector<ColorChannel>& out,
                      std::string* error = nullptr);

std::string FormatRgb(const Rgb& rgb);  // "R=1 G=0.5 B=0"
std::string FormatDiffuse(const Diffuse& d);
// "R=..." when only the diffuse is set, else "(diffuse=...,specular=...)".
std::string FormatChannel(const ChannelColor& c);
// "faces=...,edges=..." for every non-empty channel.
std::string FormatColor(const ColorAttribute& color);
// The value HC_Show_One_Color gives for "faces", "lines", "faces=specular", ...
bool FormatOneColor(const ColorAttribute& color, std::string_view which, std::string& out,
                    std::string* error = nullptr);

// Visibility / selectability lists (see hc.h). Merged into `out`.
bool ParseVisibility(std::string_view text, Visibility& out, std::string* error = nullptr);
bool ParseSelectability(std::string_view text, Selectability& out,
                        std::string* error = nullptr);
// Type bits for a visibility/selectability name; 0 when unknown.
uint32_t TypeBitsForName(std::string_view name);
std::string FormatVisibility(const Visibility& v);
std::string FormatSelectability(const Selectability& s);
// Value of one type ("on"/"off"/"on!"); false when the name is unknown.
bool FormatOneVisibility(uint32_t mask, uint32_t on, std::string_view which, std::string& out);

// Parses an option list into an option map (merging): "no x" -> x=off, bare
// "x" -> x=on, "x = v" -> x=v (a forced value keeps its '!').
bool ParseOptionMap(std::string_view text, OptionMap& out, std::string* error = nullptr);
// Colour map: comma-separated colours.
bool ParseColorMap(std::string_view text, std::vector<Rgb>& out, std::string* error = nullptr);
std::string FormatColorMap(const std::vector<Rgb>& map);
const std::vector<Rgb>& DefaultColorMap();

// Copies `text` (plus terminator) into a caller buffer; no-op for null.
void CopyOut(const std::string& text, char* out);

}  // namespace ketra::hc
