// Per-layer matrices and lights of a frame: the camera's view and projection (depth range
// fitted to what the layer draws) and the lights in viewpoint space.
#pragma once

#include "platform/render/DrawList.h"

#include <vector>

namespace ketra::render {

struct Frame {
    // Everything here is derived from `layer`, which must outlive the frame.
    const Layer* layer = nullptr;
    CameraMath::Matrix4 worldToEye, worldToClip;
    float viewport[2] = {1, 1};
    bool perspective = false;
    std::vector<float> lightDirs, lightColors;  // towards each light (viewpoint space), colour
    bool unlit = false;  // the scene's lights are off: surfaces take their colour unshaded
};

Frame MakeFrame(const Layer& layer);

} // namespace ketra::render
