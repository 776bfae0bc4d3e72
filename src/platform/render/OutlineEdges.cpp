#include "platform/render/OutlineEdges.h"

#include <cmath>

namespace ketra::render {

namespace {

// Faces closer to edge-on than this (the sine of about 3 degrees) are left to the shader's
// exact test, which also keeps faces under half a pixel wide on screen.
constexpr float kEdgeOnSine = 0.05f;

struct V3 {
    float x, y, z;
};
V3 Sub(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 Cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

void SelectOutlineEdges(const std::vector<float>& positions,
                        const IndexList& edges, const CameraMath::Camera& camera,
                        float creaseCos, std::vector<std::uint32_t>& kept, const OutlineScreen* screen) {
    const size_t vertices = positions.size() / 3;
    // Each vertex in pixels, once (an edge's ends are shared with its neighbours'); NaN marks
    // one at or behind the eye.
    thread_local std::vector<float> pixels;
    if (screen) {
        pixels.resize(2 * vertices);
        const CameraMath::Matrix4& m = screen->worldToClip;
        const float hx = screen->viewport[0] * 0.5f, hy = screen->viewport[1] * 0.5f;
        for (size_t i = 0; i < vertices; ++i) {
            double w = 0;
            const CameraMath::Vec3 p = CameraMath::TransformPoint(m, {positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]}, &w);
            const bool seen = w > 0;
            pixels[2 * i] = seen ? static_cast<float>(p.x) * hx : NAN;
            pixels[2 * i + 1] = seen ? static_cast<float>(p.y) * hy : NAN;
        }
    }
    const float minSquared = screen ? screen->minPixels * screen->minPixels : 0;
    auto tooShort = [&](std::uint32_t ia, std::uint32_t ib) {
        if (!screen || ia >= vertices || ib >= vertices) return false;
        const float dx = pixels[2 * ib] - pixels[2 * ia], dy = pixels[2 * ib + 1] - pixels[2 * ia + 1];
        return dx * dx + dy * dy < minSquared;  // false when either end is NaN
    };
    const bool perspective = camera.projection == CameraMath::Projection::Perspective;
    const V3 eye{static_cast<float>(camera.position.x), static_cast<float>(camera.position.y),
                 static_cast<float>(camera.position.z)};
    const V3 along = Sub({static_cast<float>(camera.target.x), static_cast<float>(camera.target.y),
                          static_cast<float>(camera.target.z)},
                         eye);
    auto at = [&](std::uint32_t i) {
        return V3{positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]};
    };
    auto same = [&](std::uint32_t i, std::uint32_t j) {
        return positions[3 * i] == positions[3 * j] &&
               positions[3 * i + 1] == positions[3 * j + 1] &&
               positions[3 * i + 2] == positions[3 * j + 2];
    };
    edges.Visit([&](const auto& list) {
        for (size_t e = 0; e + 3 < list.size(); e += 4) {
            const std::uint32_t ia = list[e], ib = list[e + 1], ic = list[e + 2], id = list[e + 3];
            bool keep = true;
            if (ia < vertices && ib < vertices && ic < vertices && id < vertices && !same(ic, ia) &&
                !same(id, ia)) {
                const V3 a = at(ia), ab = Sub(at(ib), a);
                const V3 n1 = Cross(ab, Sub(at(ic), a)), n2 = Cross(ab, Sub(at(id), a));
                const float l1 = std::sqrt(Dot(n1, n1)), l2 = std::sqrt(Dot(n2, n2));
                if (l1 > 0 && l2 > 0 && -Dot(n1, n2) / (l1 * l2) >= creaseCos) {
                    // A smooth join: shown only where it folds on screen, i.e. where the faces'
                    // far vertices lie on one side of the edge as the eye sees it.
                    const V3 view = perspective ? Sub(a, eye) : along;
                    const float lv = std::sqrt(Dot(view, view));
                    const float s1 = Dot(n1, view), s2 = Dot(n2, view);
                    const bool edgeOn = std::fabs(s1) <= kEdgeOnSine * l1 * lv ||
                                        std::fabs(s2) <= kEdgeOnSine * l2 * lv;
                    keep = edgeOn || (s1 > 0) == (s2 > 0);
                }
            }
            // A bare line (no face on either side) is all there is of it: always kept.
            if (keep && tooShort(ia, ib) && ic < vertices && id < vertices && !(same(ic, ia) && same(id, ia))) keep = false;
            if (keep) kept.push_back(static_cast<std::uint32_t>(e / 4));
        }
    });
}

} // namespace ketra::render
