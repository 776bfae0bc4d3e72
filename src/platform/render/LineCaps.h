// Line-style caps: glyphs drawn at the ends of polylines, oriented along the line and scaled
// with its weight. No GL here: the result is triangles in pixels.
#pragma once

#include "platform/render/DrawList.h"

#include <vector>

namespace ketra::render {

// Appends triangles (x, y pixel pairs, three corners each) of `glyph` placed with its origin
// at (x, y) and its +x axis along the unit direction (dx, dy) — into the line, away from the
// end it caps. One glyph unit is weight * kCapPixelsPerWeight / glyph.size pixels (at least
// weight 1). Filled figures are filled (as a fan, so convex figures such as arrowheads);
// stroked figures are drawn `weight` pixels wide.
void AppendCapTriangles(const GlyphShape& glyph, float x, float y, float dx, float dy, float weight,
                        std::vector<float>& out);

// The caps of a polyline given in pixels (x, y pairs): the start cap at the first point
// pointing along the first segment of non-zero length, the end cap likewise at the last.
void AppendLineCaps(const std::vector<float>& xy, const GlyphShape* startCap, const GlyphShape* endCap,
                    float weight, std::vector<float>& out);

} // namespace ketra::render
