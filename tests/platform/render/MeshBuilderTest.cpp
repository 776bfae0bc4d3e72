#include "platform/render/MeshBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace ketra::render;

namespace {

double TriangleArea(const Mesh& mesh) {
    double area = 0;
    for (size_t t = 0; t < mesh.triangles.size(); t += 3) {
        const float* a = &mesh.positions[3 * mesh.triangles[t]];
        const float* b = &mesh.positions[3 * mesh.triangles[t + 1]];
        const float* c = &mesh.positions[3 * mesh.triangles[t + 2]];
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        area += 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    }
    return area;
}

bool IsOpenEdge(const Mesh& mesh, size_t e) {
    return mesh.edges[4 * e + 2] == mesh.edges[4 * e] || mesh.edges[4 * e + 3] == mesh.edges[4 * e];
}

const std::vector<float> kCube = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};
const std::vector<int> kCubeFaces = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4,
                                     4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7};

} // namespace

TEST(MeshBuilder, QuadIsTwoTrianglesWithFourOpenEdges) {
    const std::vector<float> points = {0, 0, 0, 2, 0, 0, 2, 1, 0, 0, 1, 0};
    const std::vector<int> faces = {4, 0, 1, 2, 3};
    const Mesh mesh = BuildShellMesh(points, faces);
    EXPECT_EQ(mesh.TriangleCount(), 2u);
    EXPECT_NEAR(TriangleArea(mesh), 2.0, 1e-6);
    ASSERT_EQ(mesh.EdgeCount(), 4u);
    for (size_t e = 0; e < 4; ++e) EXPECT_TRUE(IsOpenEdge(mesh, e));
    for (size_t i = 0; i < mesh.VertexCount(); ++i) EXPECT_NEAR(std::fabs(UnpackNormal(mesh.normals[i])[2]), 1.0f, 1e-6f);
    EXPECT_EQ(mesh.markerVertices.size(), 4u);
    EXPECT_EQ(mesh.boundsMax[0], 2.0f);
}

TEST(MeshBuilder, CubeSplitsNormalsAtCreasesAndSharesEdges) {
    const Mesh mesh = BuildShellMesh(kCube, kCubeFaces);
    EXPECT_EQ(mesh.TriangleCount(), 12u);
    EXPECT_NEAR(TriangleArea(mesh), 6.0, 1e-6);
    EXPECT_EQ(mesh.VertexCount(), 24u);  // three normals at each corner
    ASSERT_EQ(mesh.EdgeCount(), 12u);
    for (size_t e = 0; e < mesh.EdgeCount(); ++e) EXPECT_FALSE(IsOpenEdge(mesh, e)) << e;
    // Every normal is axis aligned (no smoothing across 90 degrees).
    for (size_t i = 0; i < mesh.VertexCount(); ++i) {
        const std::array<float, 3> u = UnpackNormal(mesh.normals[i]);
        const float n = std::fabs(u[0]) + std::fabs(u[1]) + std::fabs(u[2]);
        EXPECT_NEAR(n, 1.0f, 1e-5f);
    }
    EXPECT_EQ(mesh.markerVertices.size(), 8u);
}

TEST(MeshBuilder, HolesAndConcaveFacesCoverTheRightArea) {
    // 4x4 square with a 2x2 hole in the middle.
    const std::vector<float> points = {0, 0, 0, 4, 0, 0, 4, 4, 0, 0, 4, 0, 1, 1, 0, 1, 3, 0, 3, 3, 0, 3, 1, 0};
    const std::vector<int> faces = {4, 0, 1, 2, 3, -4, 4, 5, 6, 7};
    const Mesh holed = BuildShellMesh(points, faces);
    EXPECT_NEAR(TriangleArea(holed), 12.0, 1e-5);
    EXPECT_EQ(holed.EdgeCount(), 8u);
    // An L shape (concave): area 3.
    const std::vector<float> l = {0, 0, 0, 2, 0, 0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0};
    const std::vector<int> lf = {6, 0, 1, 2, 3, 4, 5};
    const Mesh lshape = BuildShellMesh(l, lf);
    EXPECT_EQ(lshape.TriangleCount(), 4u);
    EXPECT_NEAR(TriangleArea(lshape), 3.0, 1e-5);
}

TEST(MeshBuilder, MalformedListsKeepWhatCameBefore) {
    const std::vector<float> points = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    // Second face runs past the end of the list.
    const Mesh truncated = BuildShellMesh(points, std::vector<int>{3, 0, 1, 2, 5, 0, 1});
    EXPECT_EQ(truncated.TriangleCount(), 1u);
    // Index outside the points ends the parse there.
    const Mesh outside = BuildShellMesh(points, std::vector<int>{3, 0, 1, 2, 3, 0, 9, 2, 3, 0, 2, 3});
    EXPECT_EQ(outside.TriangleCount(), 1u);
    const Mesh negative = BuildShellMesh(points, std::vector<int>{3, 0, -1, 2});
    EXPECT_EQ(negative.TriangleCount(), 0u);
    EXPECT_EQ(BuildShellMesh({}, std::vector<int>{3, 0, 1, 2}).TriangleCount(), 0u);
}

TEST(MeshBuilder, TwoPointFacesAreCentreLines) {
    const std::vector<float> points = {0, 0, 0, 0, 0, 5};
    const Mesh mesh = BuildShellMesh(points, std::vector<int>{2, 0, 1});
    EXPECT_EQ(mesh.TriangleCount(), 0u);
    ASSERT_EQ(mesh.EdgeCount(), 1u);
    EXPECT_TRUE(IsOpenEdge(mesh, 0));
    EXPECT_EQ(mesh.markerVertices.size(), 2u);
}

TEST(MeshBuilder, PerFaceColoursAndHiddenEdges) {
    const std::vector<std::optional<Color>> faceColors = {std::nullopt, Color{1, 0, 0}};
    const std::vector<std::pair<int, int>> hidden = {{1, 0}};
    ShellExtras extras;
    extras.faceColors = faceColors;
    extras.hiddenEdges = hidden;
    const std::vector<float> points = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const Mesh mesh = BuildShellMesh(points, std::vector<int>{3, 0, 1, 2, 3, 0, 2, 3}, extras);
    ASSERT_EQ(mesh.colors.size(), mesh.VertexCount());
    int red = 0, unset = 0;
    for (std::uint32_t c : mesh.colors) (c == 0xFF0000FFu ? red : unset) += (c == 0xFF0000FFu || c == 0) ? 1 : 0;
    EXPECT_EQ(red, 3);    // the second triangle's corners
    EXPECT_EQ(unset, 3);  // the first takes the item's colour
    EXPECT_EQ(mesh.EdgeCount(), 4u);  // 5 distinct edges less the hidden one
}

TEST(MeshBuilder, TubeHasRadiusFacetsAndCaps) {
    const std::vector<float> points = {0, 0, 0, 0, 0, 10};
    const std::vector<float> radius = {2};
    const Mesh tube = BuildTubeMesh(points, radius, true, true, 8);
    EXPECT_EQ(tube.TriangleCount(), 8u * 2u + 2u * 6u);
    for (size_t i = 0; i < tube.VertexCount(); ++i) {
        const float r = std::hypot(tube.positions[3 * i], tube.positions[3 * i + 1]);
        EXPECT_NEAR(r, 2.0f, 1e-4f);
    }
    const Mesh open = BuildTubeMesh(points, radius, false, false, 8);
    EXPECT_EQ(open.TriangleCount(), 16u);
    // Repeated points and a single point make nothing, never a crash.
    EXPECT_EQ(BuildTubeMesh(std::vector<float>{1, 1, 1, 1, 1, 1}, radius, true, true).TriangleCount(), 0u);
}

TEST(MeshBuilder, PatternsAndSymbolsByName) {
    EXPECT_EQ(PatternFromName("---").mask, 0xFFFF);
    EXPECT_NE(PatternFromName("- -").mask, 0xFFFF);
    EXPECT_NE(PatternFromName("-.-.").mask, PatternFromName("....").mask);
    EXPECT_NE(PatternFromName("center").mask, 0xFFFF);
    EXPECT_NE(PatternFromName("phantom").mask, PatternFromName("center").mask);
    EXPECT_EQ(PatternFromName("no such").mask, 0xFFFF);
    EXPECT_EQ(MarkerSymbolFromName("(.)"), kMarkerCircleDot);
    EXPECT_EQ(MarkerSymbolFromName("+"), kMarkerPlus);
    EXPECT_EQ(MarkerSymbolFromName("x"), kMarkerCross);
    EXPECT_EQ(MarkerSymbolFromName("*"), kMarkerStar);
    EXPECT_EQ(MarkerSymbolFromName("o"), kMarkerCircle);
    EXPECT_EQ(MarkerSymbolFromName("."), kMarkerDot);
}

// Meshes keep their normals packed as the GPU reads them; unpacking must give back the sign
// of each component (the 10-bit two's complement) and the ends of the range.
TEST(MeshBuilder, PackedNormalsComeBackWithinTheirPrecision) {
    const float cases[][3] = {{0, 0, 1}, {0, 0, -1}, {-1, 0, 0}, {0.6f, -0.8f, 0}, {-0.577f, -0.577f, 0.577f}};
    for (const auto& c : cases) {
        const std::array<float, 3> back = UnpackNormal(PackNormal(c[0], c[1], c[2]));
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], c[k], 1.0f / 511.0f) << k;
    }
    // A shell seen from below: every normal points down -z.
    const float points[12] = {0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0};
    const int faces[5] = {4, 0, 1, 2, 3};
    const Mesh mesh = BuildShellMesh(points, faces);
    ASSERT_EQ(mesh.normals.size(), mesh.VertexCount());
    for (std::uint32_t n : mesh.normals) EXPECT_EQ(UnpackNormal(n)[2], -1.0f);
}

// A shell large enough to be split among threads comes out as one thread makes it: the same
// triangles and edges, corner for corner, in the same order, with the same normals and
// colours; only points on both sides of a split may have a vertex on each.
TEST(MeshBuilder, LargeShellSplitAmongThreadsMatchesOneThread) {
    const int side = 260;  // 67,600 faces
    std::vector<float> points;
    std::vector<int> faces;
    for (int j = 0; j <= side; ++j)
        for (int i = 0; i <= side; ++i)
            points.insert(points.end(), {float(i), float(j), std::sin(i * 0.1f) + (i > side / 2 ? i * 0.8f : 0.0f)});
    std::vector<std::optional<Color>> colors;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const int a = j * (side + 1) + i;
            if ((i + j) % 5 == 0) {
                faces.insert(faces.end(), {3, a, a + 1, a + side + 2, 3, a, a + side + 2, a + side + 1});
                colors.insert(colors.end(), {Color{1, 0, 0}, std::nullopt});
            } else {
                faces.insert(faces.end(), {4, a, a + 1, a + side + 2, a + side + 1});
                colors.push_back(j % 3 ? std::optional<Color>() : Color{0, 0, 1});
            }
        }
    ShellExtras extras;
    extras.faceColors = colors;
    extras.parallel = false;
    const Mesh one = BuildShellMesh(points, faces, extras);
    extras.parallel = true;
    const Mesh split = BuildShellMesh(points, faces, extras);

    auto same = [&](std::uint32_t a, std::uint32_t b) {
        return std::equal(&one.positions[3 * a], &one.positions[3 * a + 3], &split.positions[3 * b]) &&
               one.normals[a] == split.normals[b] && one.colors[a] == split.colors[b];
    };
    ASSERT_EQ(one.triangles.size(), split.triangles.size());
    for (size_t i = 0; i < one.triangles.size(); ++i)
        ASSERT_TRUE(same(one.triangles[i], split.triangles[i])) << "triangle corner " << i;
    ASSERT_EQ(one.EdgeCount(), split.EdgeCount());
    for (size_t e = 0; e < one.EdgeCount(); ++e) {
        for (size_t k = 0; k < 4; ++k) ASSERT_TRUE(same(one.edges[4 * e + k], split.edges[4 * e + k])) << "edge " << e;
        ASSERT_EQ(IsOpenEdge(one, e), IsOpenEdge(split, e)) << "edge " << e;
    }
    ASSERT_EQ(one.markerVertices.size(), split.markerVertices.size());
    for (size_t m = 0; m < one.markerVertices.size(); ++m)
        ASSERT_TRUE(same(one.markerVertices[m], split.markerVertices[m])) << "marker " << m;
    EXPECT_GE(split.VertexCount(), one.VertexCount());
    EXPECT_LE(split.VertexCount(), one.VertexCount() + 8 * (side + 1));
    EXPECT_EQ(split.boundsMin, one.boundsMin);
    EXPECT_EQ(split.boundsMax, one.boundsMax);
}
