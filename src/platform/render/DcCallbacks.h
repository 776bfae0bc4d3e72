// Runs the "draw dc polyline" and "draw dc marker" callbacks of a frame and collects what they
// draw through the HIC_* interface (hc.h) as device-space primitives for the backend.
#pragma once

#include "platform/render/DrawList.h"

#include <vector>

namespace ketra::render {

struct DcPrimitives {
    struct Polyline {
        std::vector<float> points;  // x, y pixels (origin bottom-left), z depth 0..1
        Color color;
        float weight = 1;
        std::shared_ptr<const GlyphShape> startCap, endCap;  // the calling item's line-style caps
    };
    struct Marker {
        float x = 0, y = 0, z = 0;
        Color color;
        int symbol = kMarkerCircleDot;
        float size = 8;
    };
    struct Polygon {
        std::vector<float> points;
        Color color;
    };
    std::vector<Polyline> polylines;
    std::vector<Polygon> polygons;
    std::vector<Marker> markers;
    bool Empty() const { return polylines.empty() && polygons.empty() && markers.empty(); }
};

// Projects each callback's world points with `worldToPixels` (world -> x, y pixels from the
// bottom-left of the layer's viewport offset by (originX, originY), z window depth 0..1) and
// calls it. What the callbacks draw is appended to `out`.
void RunDcCallbacks(const Layer& layer, const CameraMath::Matrix4& worldToDevice, int windowWidth,
                    int windowHeight, HC_KEY displayKey, DcPrimitives& out);

} // namespace ketra::render
