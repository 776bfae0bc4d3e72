// GltfScreenParts: what a view shows that glTF cannot hold, written beside the meshes in the
// scene's extras for our page's viewer (docs/html-page.md gives the layout):
// - texts of the main window become "labels": the text, its world anchor, colour, size in
//   pixels and alignment;
// - items under a "mask transform" face the screen at a fixed pixel size (a note's frame):
//   they are left out of the meshes, and the frame drawn beside a text becomes that label's
//   "box" (fill and edge colours);
// - subwindows fixed to the screen (a legend), but not the view's axis triad, become the
//   "overlay": their faces and lines as 2D shapes and their texts as labels, at pixel
//   positions in the page's frame.
#pragma once

#include "platform/render/DrawList.h"

#include <tiny_gltf.h>

#include <map>
#include <unordered_map>

namespace ketra::io {

class GltfScreenParts {
public:
    // listPixelsPerFramePixel: the draw list's window over the page's frame, per axis.
    explicit GltfScreenParts(double listPixelsPerFramePixel = 1.0) : m_scale(listPixelsPerFramePixel) {}

    // True for an item of `segment` that faces the screen (lies under a mask transform); it is
    // then kept as a box for the texts beside it and must not be written as a mesh.
    bool TakeMasked(const render::MeshDraw& draw);
    bool TakeMasked(const render::LineDraw& line);
    bool Masked(HC_KEY segment);

    // The scene extras' "labels" and "overlay" arrays for the list (main layer first).
    void Write(const render::DrawList& list, tinygltf::Value::Object& extras);

private:
    struct Box {
        bool fill = false, edge = false;
        render::Color fillColor, edgeColor;
    };
    // The segment holding the mask transform above `segment`, or -1.
    HC_KEY MaskRoot(HC_KEY segment);
    tinygltf::Value Label(const render::TextDraw& text, const render::Layer& layer, bool screen,
                          const render::DrawList& list);
    std::array<double, 2> ToFrame(const render::Layer& layer, const render::DrawList& list, double x, double y,
                                  double z) const;

    double m_scale;
    std::unordered_map<HC_KEY, HC_KEY> m_maskRoots;  // segment -> mask root (-1: none)
    std::map<HC_KEY, Box> m_boxes;                     // owner of a mask root -> its frame
};

} // namespace ketra::io
