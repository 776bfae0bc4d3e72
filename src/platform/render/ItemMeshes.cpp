#include "platform/render/ItemMeshes.h"

#include "platform/hc/SceneGraph.h"
#include "platform/render/MeshBuilder.h"

#include <cmath>

namespace ketra::render {

namespace cm = CameraMath;
using hc::ColorChannel;

namespace {

Color ToColor(const hc::Rgb& c) { return {c.r, c.g, c.b}; }

static Mesh BuildShellWithElements(const hc::ShellData& shell, std::span<const float> points, bool faceEdges) {
    const hc::ShellElements& el = *shell.elements;
    std::vector<std::optional<Color>> faceColors, vertexColors;
    std::vector<std::optional<std::array<float, 3>>> normals;
    std::vector<std::optional<bool>> faceVisible;
    std::vector<std::pair<int, int>> hidden;
    std::vector<std::pair<std::pair<int, int>, Color>> edgeColors;
    auto colorOf = [](const hc::ElementAttributes& a, ColorChannel channel) -> std::optional<Color> {
        if (!a.color) return std::nullopt;
        const hc::ChannelColor& c = (*a.color)[channel];
        if (!c.diffuse || c.diffuse->kind != hc::Diffuse::Kind::Rgb) return std::nullopt;
        return ToColor(c.diffuse->rgb);
    };
    for (const auto& [index, a] : el.faces) {
        if (index < 0 || index >= shell.faceCount) continue;
        if (auto c = colorOf(a, ColorChannel::Faces)) {
            faceColors.resize(static_cast<size_t>(shell.faceCount));
            faceColors[static_cast<size_t>(index)] = c;
        }
        if (a.visibility.mask & hc::kFaces) {
            faceVisible.resize(static_cast<size_t>(shell.faceCount));
            faceVisible[static_cast<size_t>(index)] = (a.visibility.on & hc::kFaces) != 0;
        }
    }
    for (const auto& [index, a] : el.vertices) {
        if (index < 0 || index >= static_cast<int>(shell.points.size())) continue;
        auto c = colorOf(a, ColorChannel::Vertices);
        if (!c) c = colorOf(a, ColorChannel::Faces);
        if (c) {
            vertexColors.resize(shell.points.size());
            vertexColors[static_cast<size_t>(index)] = c;
        }
        if (a.normal) {
            normals.resize(shell.points.size());
            normals[static_cast<size_t>(index)] = std::array<float, 3>{a.normal->x, a.normal->y, a.normal->z};
        }
    }
    for (const auto& [edge, a] : el.edges) {
        if ((a.visibility.mask & hc::kEdges) && !(a.visibility.on & hc::kEdges)) hidden.push_back(edge);
        if (auto c = colorOf(a, ColorChannel::Edges)) edgeColors.push_back({edge, *c});
    }
    ShellExtras extras;
    extras.faceColors = faceColors;
    extras.vertexColors = vertexColors;
    extras.vertexNormals = normals;
    extras.faceVisible = faceVisible;
    extras.hiddenEdges = hidden;
    extras.edgeColors = edgeColors;
    extras.faceEdges = faceEdges;
    return BuildShellMesh(points, shell.faceList, extras);
}

} // namespace

namespace {

Mesh BuildItemMesh(const hc::Geometry& item, int tubeFacets, bool faceEdges) {
    switch (item.type) {
    case hc::GeometryKind::Shell: {
        const hc::ShellData& shell = std::get<hc::ShellData>(item.data);
        std::span<const float> points(reinterpret_cast<const float*>(shell.points.data()), shell.points.size() * 3);
        if (!shell.elements) {
            ShellExtras extras;
            extras.faceEdges = faceEdges;
            return BuildShellMesh(points, shell.faceList, extras);
        }
        return BuildShellWithElements(shell, points, faceEdges);
    }
    case hc::GeometryKind::PolyCylinder: {
        const auto& pc = std::get<hc::PolyCylinderData>(item.data);
        std::span<const float> points(reinterpret_cast<const float*>(pc.points.data()), pc.points.size() * 3);
        return BuildTubeMesh(points, pc.radii,
                             pc.capping == hc::Capping::Both || pc.capping == hc::Capping::First,
                             pc.capping == hc::Capping::Both || pc.capping == hc::Capping::Second, tubeFacets,
                             faceEdges);
    }
    case hc::GeometryKind::Cylinder: {
        const auto& c = std::get<hc::CylinderData>(item.data);
        const float points[6] = {c.first.x, c.first.y, c.first.z, c.second.x, c.second.y, c.second.z};
        const float radius[1] = {c.radius};
        return BuildTubeMesh(points, radius,
                             c.capping == hc::Capping::Both || c.capping == hc::Capping::First,
                             c.capping == hc::Capping::Both || c.capping == hc::Capping::Second, tubeFacets,
                             faceEdges);
    }
    case hc::GeometryKind::Polygon: {
        const auto& p = std::get<hc::PolylineData>(item.data);
        return BuildPolygonMesh(std::span<const float>(reinterpret_cast<const float*>(p.points.data()), p.points.size() * 3));
    }
    case hc::GeometryKind::Circle: {
        const auto& c = std::get<hc::CircleData>(item.data);
        const cm::Vec3 n = cm::Normalized({c.normal.x, c.normal.y, c.normal.z});
        cm::Vec3 u = cm::Normalized(cm::Cross(n, std::fabs(n.z) < 0.9 ? cm::Vec3{0, 0, 1} : cm::Vec3{1, 0, 0}));
        if (cm::Length(n) == 0) u = {1, 0, 0};
        const cm::Vec3 v = cm::Cross(n, u);
        const std::array<float, 3> centre{c.center.x, c.center.y, c.center.z};
        const std::array<float, 3> major{static_cast<float>(c.center.x + u.x * c.radius),
                                         static_cast<float>(c.center.y + u.y * c.radius),
                                         static_cast<float>(c.center.z + u.z * c.radius)};
        const std::array<float, 3> minor{static_cast<float>(c.center.x + v.x * c.radius),
                                         static_cast<float>(c.center.y + v.y * c.radius),
                                         static_cast<float>(c.center.z + v.z * c.radius)};
        return BuildPolygonMesh(EllipsePoints(centre, major, minor, 0, 1));
    }
    case hc::GeometryKind::Ellipse: {
        const auto& e = std::get<hc::EllipseData>(item.data);
        return BuildPolygonMesh(EllipsePoints({e.center.x, e.center.y, e.center.z}, {e.major.x, e.major.y, e.major.z},
                                              {e.minor.x, e.minor.y, e.minor.z}, 0, 1));
    }
    default: return {};
    }
}

} // namespace

Mesh TessellateItem(const hc::Geometry& item, int tubeFacets, bool faceEdges) {
    Mesh mesh = BuildItemMesh(item, tubeFacets, faceEdges);
    // Meshes live in the cache for as long as their items are drawn: give back what the
    // builders reserved and did not use (a fifth to a quarter of the positions and normals
    // on a large plant).
    mesh.positions.shrink_to_fit();
    mesh.normals.shrink_to_fit();
    mesh.colors.shrink_to_fit();
    mesh.triangles.shrink_to_fit();
    mesh.edges.shrink_to_fit();
    mesh.edgeColors.shrink_to_fit();
    mesh.markerVertices.shrink_to_fit();
    return mesh;
}


// Where a cutting plane cuts an item's faces, the cut shows as an outline in the item's
// "cut edges" colour; only the parts that the set's other planes keep are drawn.
void AddSectionOutlines(Layer& layer) {
    std::vector<LineDraw> outlines;
    for (const MeshDraw& d : layer.meshes) {
        if (!d.faces || d.surface.clipSet < 0 || d.hiddenSurfaceOnly || !d.mesh || d.mesh->triangles.empty()) continue;
        const std::vector<ClipPlane>& planes = layer.clipSets[static_cast<size_t>(d.surface.clipSet)];
        const Mesh& mesh = *d.mesh;
        std::vector<cm::Vec3> world(mesh.VertexCount());
        for (size_t i = 0; i < world.size(); ++i) {
            const cm::Vec3 p{mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]};
            world[i] = d.identity ? p : cm::TransformPoint(d.matrix, p);
        }
        LineDraw outline;
        outline.key = d.key;
        outline.segment = d.segment;
        outline.pairs = true;
        outline.color = d.cutEdgeColor;
        outline.state = d.edgeState;
        outline.state.silhouetteOnly = false;
        outline.state.clipSet = -1;  // it lies on the plane; the other planes were applied here
        for (size_t pi = 0; pi < planes.size(); ++pi) {
            const ClipPlane& p = planes[pi];
            auto side = [&](const cm::Vec3& v) { return p.a * v.x + p.b * v.y + p.c * v.z + p.d; };
            // The part of a cut segment (a to b) on the outline: planes grouped with this one
            // cut only together, so the outline runs where they are all positive (the opened
            // corner); planes cutting alone must keep it; other groups must not cut its middle.
            auto clipToOutline = [&](cm::Vec3& a, cm::Vec3& b) {
                double t0 = 0, t1 = 1;
                std::vector<ClipPlane> otherGroups;
                for (size_t qi = 0; qi < planes.size(); ++qi) {
                    if (qi == pi) continue;
                    const ClipPlane& q = planes[qi];
                    double sa = q.Side(a.x, a.y, a.z), sb = q.Side(b.x, b.y, b.z);
                    if (p.group != 0 && q.group == p.group) {
                        // keep sa, sb >= 0
                    } else if (q.group == 0) {
                        sa = -sa, sb = -sb;  // keep the side <= 0
                    } else {
                        otherGroups.push_back(q);
                        continue;
                    }
                    sa += 1e-9, sb += 1e-9;
                    if (sa < 0 && sb < 0) return false;
                    if (sa < 0) t0 = std::max(t0, sa / (sa - sb));
                    if (sb < 0) t1 = std::min(t1, sa / (sa - sb));
                }
                if (t1 - t0 <= 1e-9) return false;
                const cm::Vec3 span = b - a;
                b = a + span * t1;
                a = a + span * t0;
                const cm::Vec3 middle = (a + b) * 0.5;
                return otherGroups.empty() || !IsCutAway(otherGroups, middle.x, middle.y, middle.z);
            };
            for (size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
                const cm::Vec3* v[3] = {&world[mesh.triangles[t]], &world[mesh.triangles[t + 1]], &world[mesh.triangles[t + 2]]};
                const double s[3] = {side(*v[0]), side(*v[1]), side(*v[2])};
                cm::Vec3 hits[2];
                int n = 0;
                for (int k = 0; k < 3 && n < 2; ++k) {
                    const double a = s[k], b = s[(k + 1) % 3];
                    if ((a < 0 && b > 0) || (a > 0 && b < 0)) {
                        const double f = a / (a - b);
                        hits[n++] = *v[k] + (*v[(k + 1) % 3] - *v[k]) * f;
                    }
                }
                if (n < 2 || !clipToOutline(hits[0], hits[1])) continue;
                for (const cm::Vec3& h : hits)
                    outline.points.insert(outline.points.end(), {static_cast<float>(h.x), static_cast<float>(h.y), static_cast<float>(h.z)});
            }
        }
        if (!outline.points.empty()) outlines.push_back(std::move(outline));
    }
    for (LineDraw& l : outlines) layer.lines.push_back(std::move(l));
}

} // namespace ketra::render
