// HIOUtilityGltf: glTF 2.0 output (.glb binary, .gltf text with the buffer embedded) of what
// a segment shows, for other tools (Blender, three.js editors, validators) and for the
// viewer of our HTML pages.
//
// What is written: the segment is walked as the renderer walks it (net colours, visibility,
// render mode, full level of detail), so the file shows what the view shows. Faces become
// triangle primitives per face colour and transparency (with normals), visible edges and
// polylines line primitives per colour and weight, markers point primitives (BuildGltf
// gives the layout). The scene's extras hold the view: "ketra" = { camera {position, target,
// up, width, height, projection} in our world coordinates, background {top, bottom} colours,
// up "z", labels [...], overlay [...] }; each material's extras hold "lineWeight" (pixels) for
// line and point primitives. glTF holds no text: texts, and what faces the screen at a fixed
// size, go to "labels" and "overlay" (GltfScreenParts.h, docs/html-page.md).
#pragma once

#include "platform/io/HIOManager.h"

#include <array>
#include <string>
#include <vector>

class HIOUtilityGltf final : public HOutputHandler {
public:
    explicit HIOUtilityGltf(bool binary) : m_binary(binary) {}

    const char* GetOutputName() const override { return m_binary ? "glb" : "gltf"; }
    const char* GetOutputTypesString() const override { return m_binary ? "glb" : "gltf"; }

    // Writes the scene below `key` (a view's driver segment gives its camera and background).
    // options are not needed.
    HFileOutputResult FileOutputByKey(const char* filename, HC_KEY key,
                                      const HOutputHandlerOptions* options) override;

private:
    bool m_binary;
};

namespace ketra::io {

struct GltfOptions {
    // > 0: tessellates tubes and picks levels of detail as for a window of that many pixels a
    // side (smaller files for a page): the shells' coarse level for items under
    // lodLevel1Pixels across, their centre lines (in the faces' colour) under lodLevel2Pixels,
    // a tube's axis for tubes thinner than tubeLinePixels; 0: every item at full detail.
    int windowPixels = 0;
    float lodLevel1Pixels = 48.0f;
    float lodLevel2Pixels = 0.0f;
    float tubeLinePixels = 0.0f;
    // Without normals the meshes carry positions only (a viewer computes them).
    bool normals = true;
    // Compact output for our page's viewer (declares KHR_mesh_quantization, so other
    // loaders that know the extension read it too): positions as unsigned 16-bit integers
    // per chunk of nearby items, the chunk's node scaling and moving them back; normals as
    // normalized bytes. Without it positions and normals are floats (core glTF only).
    bool quantize = false;
    // > 0: the size in pixels of the page frame that shows the scene; what is fixed to the
    // screen (subwindows such as a legend) is laid out for it (see GltfScreenParts.h).
    int frameWidth = 0, frameHeight = 0;
    // Items a page recolours (the elements of a results page): item group i is drawn in
    // groupColours[i] (8 bits a channel) while the scene is written. Faces, edges and lines in
    // one of these colours take one white material whose extras hold "groups": true, and each
    // vertex its group number in the attribute "_GROUP" (a float), so that the page colours
    // them per vertex. Null or empty: none.
    const std::vector<std::array<float, 3>>* groupColours = nullptr;
};

// The glTF of what `key` shows, binary (.glb) or JSON text with an embedded buffer. False
// with *error when the key is not a segment or shows nothing that can be written.
// `background`, when given, receives the window's top and bottom colours (r, g, b, 0..1).
//
// Layout: node 0 ("ketra") turns our Z-up world into glTF's Y-up. Primitives are grouped in
// chunks of at most 65,535 vertices (16-bit indices); the faces of a chunk and its edges are
// two primitives sharing one POSITION accessor. Without quantization node 0 holds mesh 0 with
// every primitive in world coordinates; with it, each chunk is a child node of node 0 with
// its own mesh, translation and uniform scale.
bool BuildGltf(HC_KEY key, bool binary, std::string& out, std::string* error = nullptr,
               float (*background)[2][3] = nullptr, const GltfOptions& options = {});

} // namespace ketra::io
