// HIOUtilityGltf: glTF 2.0 output (.glb binary, .gltf text with the buffer embedded) of what
// a segment shows, for other tools (Blender, three.js editors, validators) and for the
// viewer of our HTML pages.
//
// What is written: the segment is walked as the renderer walks it (net colours, visibility,
// render mode, full level of detail), so the file shows what the view shows. Faces become
// one triangle mesh per face colour and transparency (positions in world coordinates,
// normals), visible edges and polylines line primitives per colour and weight, markers point
// primitives. The root node turns our Z-up world into glTF's Y-up. The scene's extras hold
// the view: "ketra" = { camera {position, target, up, width, height, projection} in our
// world coordinates, background {top, bottom} colours, up "z" }; each material's extras hold
// "lineWeight" (pixels) for line primitives.
#pragma once

#include "platform/io/HIOManager.h"

#include <string>

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

// The glTF of what `key` shows, binary (.glb) or JSON text with an embedded buffer. False
// with *error when the key is not a segment or shows nothing that can be written.
// `background`, when given, receives the window's top and bottom colours (r, g, b, 0..1).
// `windowPixels` > 0 tessellates and picks levels of detail as for a window of that many
// pixels a side (smaller files for a page); 0 writes every item at full detail. Without
// `normals` the meshes carry positions only (a viewer computes the normals).
bool BuildGltf(HC_KEY key, bool binary, std::string& out, std::string* error = nullptr,
               float (*background)[2][3] = nullptr, int windowPixels = 0, bool normals = true);

} // namespace ketra::io
