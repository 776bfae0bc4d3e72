#include "platform/render/Texturing.h"

#include <algorithm>
#include <cmath>

namespace ketra::render {

namespace cm = CameraMath;

namespace {

constexpr double kPi = 3.14159265358979323846;

cm::Vec3 Vertex(const Mesh& mesh, size_t i) {
    return {mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]};
}

// Any unit vector perpendicular to the unit vector a.
cm::Vec3 Perpendicular(cm::Vec3 a) {
    const cm::Vec3 other = std::fabs(a.x) < 0.9 ? cm::Vec3{1, 0, 0} : cm::Vec3{0, 1, 0};
    return cm::Normalized(cm::Cross(a, other));
}

} // namespace

MappingAxis PrincipalAxis(const Mesh& mesh) {
    MappingAxis result;
    const size_t n = mesh.VertexCount();
    if (n == 0) return result;
    cm::Vec3 centre;
    for (size_t i = 0; i < n; ++i) centre = centre + Vertex(mesh, i);
    centre = centre * (1.0 / static_cast<double>(n));
    double c[3][3] = {};
    for (size_t i = 0; i < n; ++i) {
        const cm::Vec3 d = Vertex(mesh, i) - centre;
        const double v[3] = {d.x, d.y, d.z};
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) c[r][k] += v[r] * v[k];
    }
    // Power iteration from the bounding box's longest side.
    const double ex = mesh.boundsMax[0] - mesh.boundsMin[0], ey = mesh.boundsMax[1] - mesh.boundsMin[1],
                 ez = mesh.boundsMax[2] - mesh.boundsMin[2];
    cm::Vec3 axis = ex >= ey && ex >= ez ? cm::Vec3{1, 0, 0} : (ey >= ez ? cm::Vec3{0, 1, 0} : cm::Vec3{0, 0, 1});
    // A slight tilt so a start exactly perpendicular to the answer still converges.
    axis = cm::Normalized(axis + cm::Vec3{1e-3, 2e-3, 3e-3});
    for (int step = 0; step < 64; ++step) {
        const cm::Vec3 next{c[0][0] * axis.x + c[0][1] * axis.y + c[0][2] * axis.z,
                            c[1][0] * axis.x + c[1][1] * axis.y + c[1][2] * axis.z,
                            c[2][0] * axis.x + c[2][1] * axis.y + c[2][2] * axis.z};
        const cm::Vec3 unit = cm::Normalized(next);
        if (cm::Length(unit) == 0) break;  // all vertices in one point
        axis = unit;
    }
    // Snap tiny components so axis-aligned items get an exactly aligned axis.
    for (double* v : {&axis.x, &axis.y, &axis.z})
        if (std::fabs(*v) < 1e-9) *v = 0;
    result.origin = centre;
    result.axis = cm::Normalized(axis);
    if (cm::Length(result.axis) == 0) result.axis = {0, 0, 1};
    return result;
}

void BuildTexturedTriangles(const MeshDraw& draw, TexturedTriangles& out) {
    out = TexturedTriangles();
    if (!draw.mesh) return;
    const Mesh& mesh = *draw.mesh;
    const size_t vertices = mesh.VertexCount();
    if (vertices == 0 || mesh.triangles.empty()) return;

    // Per-vertex (u, v) in object space; for the cylinder also the distance from the axis,
    // so corners on the axis (cap centres) can borrow the angle of their triangle.
    std::vector<double> u(vertices), v(vertices), radial(vertices, 1.0);
    if (draw.textureMapping.kind == TextureMapping::Kind::Cylinder) {
        const MappingAxis frame = PrincipalAxis(mesh);
        const cm::Vec3 e1 = Perpendicular(frame.axis), e2 = cm::Cross(frame.axis, e1);
        double tMin = 1e300, tMax = -1e300, rMax = 0;
        std::vector<double> along(vertices);
        for (size_t i = 0; i < vertices; ++i) {
            const cm::Vec3 d = Vertex(mesh, i) - frame.origin;
            along[i] = cm::Dot(d, frame.axis);
            tMin = std::min(tMin, along[i]);
            tMax = std::max(tMax, along[i]);
            const double x = cm::Dot(d, e1), y = cm::Dot(d, e2);
            radial[i] = std::sqrt(x * x + y * y);
            rMax = std::max(rMax, radial[i]);
            u[i] = std::atan2(y, x) / (2 * kPi) + 0.5;
        }
        const double length = tMax - tMin;
        for (size_t i = 0; i < vertices; ++i) {
            v[i] = length > 0 ? (along[i] - tMin) / length : 0.0;
            radial[i] = rMax > 0 ? radial[i] / rMax : 0.0;
        }
    } else {
        int axes[3] = {0, 1, 2};
        double extent[3];
        for (int a = 0; a < 3; ++a) extent[a] = mesh.boundsMax[a] - mesh.boundsMin[a];
        std::stable_sort(axes, axes + 3, [&](int a, int b) { return extent[a] > extent[b]; });
        for (size_t i = 0; i < vertices; ++i) {
            const float* p = &mesh.positions[3 * i];
            u[i] = extent[axes[0]] > 0 ? (p[axes[0]] - mesh.boundsMin[axes[0]]) / extent[axes[0]] : 0.0;
            v[i] = extent[axes[1]] > 0 ? (p[axes[1]] - mesh.boundsMin[axes[1]]) / extent[axes[1]] : 0.0;
        }
    }

    cm::Matrix4 normalMatrix;
    if (!draw.identity) {
        cm::Matrix4 inverse;
        cm::Invert(draw.matrix, inverse);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) normalMatrix(r, c) = inverse(c, r);
    }
    const bool cylinder = draw.textureMapping.kind == TextureMapping::Kind::Cylinder;
    const size_t triangles = mesh.triangles.size() / 3;
    out.positions.reserve(triangles * 9);
    out.normals.reserve(triangles * 9);
    out.uvs.reserve(triangles * 6);
    for (size_t t = 0; t < triangles; ++t) {
        std::uint32_t corner[3];
        bool valid = true;
        for (int k = 0; k < 3; ++k) {
            corner[k] = mesh.triangles[3 * t + static_cast<size_t>(k)];
            valid = valid && corner[k] < vertices;
        }
        if (!valid) continue;
        double cu[3], cv[3];
        for (int k = 0; k < 3; ++k) cu[k] = u[corner[k]], cv[k] = v[corner[k]];
        if (cylinder) {
            // Corners on the axis have no angle of their own.
            double sum = 0;
            int counted = 0;
            for (int k = 0; k < 3; ++k)
                if (radial[corner[k]] > 1e-6) sum += cu[k], ++counted;
            // Across the seam (u jumps from 1 to 0), lift the small side by one turn.
            const double lo = *std::min_element(cu, cu + 3), hi = *std::max_element(cu, cu + 3);
            if (hi - lo > 0.5) {
                sum = 0;
                for (int k = 0; k < 3; ++k) {
                    if (cu[k] < 0.5) cu[k] += 1.0;
                    if (radial[corner[k]] > 1e-6) sum += cu[k];
                }
            }
            for (int k = 0; k < 3; ++k)
                if (radial[corner[k]] <= 1e-6 && counted > 0) cu[k] = sum / counted;
        }
        for (int k = 0; k < 3; ++k) {
            const size_t i = corner[k];
            cm::Vec3 p = Vertex(mesh, i);
            cm::Vec3 n{0, 0, 1};
            if (i < mesh.normals.size()) {
                const std::array<float, 3> unpacked = UnpackNormal(mesh.normals[i]);
                n = cm::Vec3{unpacked[0], unpacked[1], unpacked[2]};
            }
            if (!draw.identity) {
                p = cm::TransformPoint(draw.matrix, p);
                n = cm::Normalized(cm::TransformVector(normalMatrix, n));
            }
            out.positions.insert(out.positions.end(), {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
            out.normals.insert(out.normals.end(), {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)});
            out.uvs.insert(out.uvs.end(), {static_cast<float>(cu[k]), static_cast<float>(cv[k])});
        }
    }
}

} // namespace ketra::render
