#include "platform/render/GlFrame.h"

#include <algorithm>
#include <cmath>

namespace ketra::render {

namespace cm = CameraMath;

Frame MakeFrame(const Layer& layer) {
    Frame f;
    f.layer = &layer;
    f.viewport[0] = static_cast<float>(layer.width);
    f.viewport[1] = static_cast<float>(layer.height);
    const double aspect = static_cast<double>(layer.width) / std::max(1, layer.height);
    f.worldToEye = cm::WorldToViewpoint(layer.camera);
    f.perspective = layer.camera.projection == cm::Projection::Perspective;
    // Depth range from the bounds of what is drawn, in viewpoint depth.
    double zMin = 1e300, zMax = -1e300;
    if (layer.hasBounds) {
        for (int corner = 0; corner < 8; ++corner) {
            const cm::Vec3 p{(corner & 1) ? layer.boundsMax[0] : layer.boundsMin[0], (corner & 2) ? layer.boundsMax[1] : layer.boundsMin[1],
                             (corner & 4) ? layer.boundsMax[2] : layer.boundsMin[2]};
            const double z = cm::TransformPoint(f.worldToEye, p).z;
            zMin = std::min(zMin, z);
            zMax = std::max(zMax, z);
        }
    } else {
        zMin = 0.1;
        zMax = 10;
    }
    const double distance = std::max(cm::Length(layer.camera.target - layer.camera.position), 1e-9);
    double nearDepth, farDepth;
    const double margin = std::max((zMax - zMin) * 0.01, distance * 1e-4);
    if (f.perspective) {
        farDepth = std::max(zMax + margin, distance * 1e-3);
        nearDepth = std::max(zMin - margin, farDepth * 1e-5);
        if (nearDepth >= farDepth) nearDepth = farDepth * 0.5;
    } else {
        nearDepth = zMin - margin;
        farDepth = zMax + margin;
        if (!(farDepth > nearDepth)) farDepth = nearDepth + 1;
    }
    f.worldToClip = cm::Multiply(f.worldToEye, cm::ViewpointToClip(layer.camera, aspect, nearDepth, farDepth));
    // Lights in viewpoint space (towards the light).
    auto addLight = [&](cm::Vec3 toLight, const Color& color) {
        toLight = cm::Normalized(toLight);
        f.lightDirs.insert(f.lightDirs.end(), {static_cast<float>(toLight.x), static_cast<float>(toLight.y), static_cast<float>(toLight.z)});
        f.lightColors.insert(f.lightColors.end(), {color.r, color.g, color.b});
    };
    for (const Light& light : layer.lights) {
        if (f.lightDirs.size() >= 24) break;
        const cm::Vec3 dir{light.toLight[0], light.toLight[1], light.toLight[2]};
        addLight(light.cameraRelative ? dir : cm::TransformVector(f.worldToEye, dir), light.color);
    }
    // No light in the scene: one over the viewer's shoulder (up, left, towards the viewer).
    // Lights there but switched off: faces show their plain colour.
    if (f.lightDirs.empty() && layer.lightsOff)
        f.unlit = true;
    else if (f.lightDirs.empty())
        addLight({-0.3, 0.5, -1.0}, {1, 1, 1});
    return f;
}


} // namespace ketra::render
