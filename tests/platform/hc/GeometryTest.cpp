// Geometry items: exact round trips, levels of detail and the less common kinds.
#include "HcTestSupport.h"

#include "platform/hc/SceneGraph.h"

#include <cmath>
#include <string>
#include <vector>

using namespace ketra::hc::test;

namespace {

class Geometry : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        HC_Open_Segment("/geometry");
    }
    void TearDown() override {
        HC_Close_Segment();
        GraphTest::TearDown();
    }
};

TEST_F(Geometry, ShellWithHoleRoundTripsExactly) {
    // A square with a square hole, plus an edge-only face.
    const std::vector<float> pts = {0, 0, 0, 4, 0, 0, 4, 4, 0, 0, 4, 0,
                                    1, 1, 0, 3, 1, 0, 3, 3, 0, 1, 3, 0};
    const std::vector<int> faces = {4, 0, 1, 2, 3, -4, 4, 7, 6, 5, 2, 0, 6};
    const HC_KEY key = HC_Insert_Shell(8, pts.data(), static_cast<int>(faces.size()), faces.data());
    ASSERT_NE(key, -1);
    int pcount = 0, flen = 0;
    HC_Show_Shell_Size(key, &pcount, &flen);
    ASSERT_EQ(pcount, 8);
    ASSERT_EQ(flen, static_cast<int>(faces.size()));
    std::vector<float> outPts(3 * pcount);
    std::vector<int> outFaces(flen);
    HC_Show_Shell(key, &pcount, outPts.data(), &flen, outFaces.data());
    EXPECT_EQ(outPts, pts);
    EXPECT_EQ(outFaces, faces);
    int faceCount = 0;
    HC_Show_Shell_Face_Count(key, &faceCount);
    EXPECT_EQ(faceCount, 2);  // the hole is part of face 0
    HC_Open_Geometry(key);
    HC_Open_Face(1);
    HC_Close_Face();
    HC_Open_Face(2);  // no third face
    HC_Close_Geometry();
    EXPECT_EQ(TakeErrors(), 1u);
}

TEST_F(Geometry, BadFaceListsAreRejectedWithoutInserting) {
    const float pts[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const std::vector<std::vector<int>> bad = {
        {3, 0, 1, 3},      // index past the points
        {3, 0, 1},         // count runs past the list
        {-3, 0, 1, 2},     // hole with no face
        {0, 1, 2},         // zero count
        {3, 0, -1, 2},     // negative index
        {3, 0, 1, 2, 5},   // trailing count runs past
    };
    for (const auto& f : bad) {
        EXPECT_EQ(HC_Insert_Shell(3, pts, static_cast<int>(f.size()), f.data()), -1);
    }
    EXPECT_EQ(TakeErrors(), bad.size());
    const float nan[] = {0, 0, 0, NAN, 0, 0, 0, 1, 0};
    const int tri[] = {3, 0, 1, 2};
    EXPECT_EQ(HC_Insert_Shell(3, nan, 4, tri), -1);
    EXPECT_EQ(HC_Insert_Shell(-1, pts, 4, tri), -1);
    EXPECT_EQ(HC_Insert_Shell(3, nullptr, 4, tri), -1);
    EXPECT_EQ(TakeErrors(), 3u);
    EXPECT_EQ(HC_Show_Existence("shells"), 0);
    // An empty shell is fine: symbols insert one and give it levels of detail.
    EXPECT_NE(HC_Insert_Shell(0, nullptr, 0, nullptr), -1);
}

TEST_F(Geometry, LevelsOfDetailBelongToTheirShell) {
    const float full[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const int quad[] = {4, 0, 1, 2, 3};
    const HC_KEY key = HC_Insert_Shell(4, full, 5, quad);
    const float line[] = {0, 0, 0, 1, 1, 1};
    const int edge[] = {2, 0, 1};
    HC_Open_Geometry(key);
    HC_Open_LOD(1);
    const HC_KEY lod1 = HC_Insert_Shell(4, full, 5, quad);
    HC_Close_LOD();
    HC_Open_LOD(2);
    const HC_KEY lod2 = HC_Insert_Shell(2, line, 3, edge);
    // While the LOD is open a search of "." lists its contents.
    HC_Begin_Contents_Search(".", "shells");
    HC_KEY found = -1;
    ASSERT_TRUE(HC_Find_Contents(nullptr, &found));
    EXPECT_EQ(found, lod2);
    EXPECT_FALSE(HC_Find_Contents(nullptr, &found));
    HC_End_Contents_Search();
    HC_Close_LOD();
    HC_Close_Geometry();
    EXPECT_EQ(TakeErrors(), 0u);
    // The segment shows one shell; the levels hang off it.
    EXPECT_EQ(HC_Show_Existence("shells"), 1);
    using namespace ketra::hc;
    const auto* g = Graph::Instance().FindGeometry(key);
    ASSERT_EQ(g->Shell()->lods.size(), 2u);
    EXPECT_EQ(g->Shell()->lods[0].level, 1);
    EXPECT_EQ(g->Shell()->lods[1].items[0]->key, lod2);
    EXPECT_EQ(HC_Show_Owner_By_Key(lod1, nullptr), HC_KShow_Open_Segment());
    // Deleting the shell takes its levels with it.
    HC_Delete_By_Key(key);
    char type[32];
    HC_Show_Key_Type(lod1, type);
    EXPECT_STREQ(type, "invalid");
    HC_Show_Key_Type(lod2, type);
    EXPECT_STREQ(type, "invalid");
}

TEST_F(Geometry, UnbalancedGeometryAndLodOpensAreRefused) {
    const float p[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const int f[] = {3, 0, 1, 2};
    const HC_KEY shell = HC_Insert_Shell(3, p, 4, f);
    const HC_KEY marker = HC_Insert_Marker(0, 0, 0);
    HC_Open_LOD(1);  // no geometry open
    HC_Close_LOD();
    HC_Close_Geometry();
    HC_Open_Geometry(marker);
    HC_Open_LOD(1);  // markers have no levels
    HC_Close_Geometry();
    HC_Open_Geometry(shell);
    HC_Open_LOD(0);  // out of range
    HC_Open_LOD(1);
    HC_Close_Segment();  // LOD still open
    HC_Close_Geometry();  // LOD still open
    HC_Open_Segment("x");  // cannot open a segment inside a geometry
    HC_Close_LOD();
    HC_Close_Geometry();
    EXPECT_EQ(TakeErrors(), 8u);
    // Still consistent: the open segment is /geometry.
    char path[256];
    HC_Show_Open_Segment(path);
    EXPECT_STREQ(path, "/geometry");
}

TEST_F(Geometry, PolyCylindersCylindersAndLines) {
    const float pts[] = {0, 0, 0, 0, 0, 5, 0, 5, 5};
    const float radii[] = {1, 2, 1};
    const HC_KEY pc = HC_Insert_PolyCylinder(3, pts, 3, radii, "first");
    int pcount = 0, rcount = 0;
    HC_Show_PolyCylinder_Count(pc, &pcount, &rcount);
    EXPECT_EQ(pcount, 3);
    EXPECT_EQ(rcount, 3);
    float outPts[9], outRadii[3];
    char cap[16];
    HC_Show_PolyCylinder(pc, &pcount, outPts, &rcount, outRadii, cap);
    EXPECT_EQ(outRadii[1], 2.0f);
    EXPECT_EQ(outPts[7], 5.0f);
    EXPECT_STREQ(cap, "first");
    const float r = 0.5f;
    const HC_KEY one = HC_Insert_PolyCylinder(2, pts, 1, &r, "BOTH");
    HC_Show_PolyCylinder(one, nullptr, nullptr, &rcount, nullptr, cap);
    EXPECT_EQ(rcount, 1);
    EXPECT_STREQ(cap, "both");
    EXPECT_EQ(HC_Insert_PolyCylinder(3, pts, 2, radii, "both"), -1);
    EXPECT_EQ(HC_Insert_PolyCylinder(3, pts, 1, &r, "ends"), -1);
    EXPECT_EQ(HC_Insert_PolyCylinder(1, pts, 1, &r, "both"), -1);
    EXPECT_EQ(TakeErrors(), 3u);

    const HC_KEY cyl = HC_Insert_Cylinder(pts, pts + 3, 1.5, "none");
    float a[3], b[3], radius = 0;
    HC_Show_Cylinder(cyl, a, b, &radius, cap);
    EXPECT_EQ(b[2], 5.0f);
    EXPECT_EQ(radius, 1.5f);
    EXPECT_STREQ(cap, "none");
    const HC_KEY line = HC_Insert_Line(1, 2, 3, 4, 5, 6);
    float v[6];
    HC_Show_Line(line, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    EXPECT_EQ(v[5], 6.0f);
    // Asking a cylinder for its shell is an error, not a crash.
    int n = 7;
    HC_Show_Shell_Size(cyl, &n, nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(TakeErrors(), 1u);
}

TEST_F(Geometry, InkExtendsOneStrokeUntilSomethingElseIsInserted) {
    const HC_KEY s1 = HC_Insert_Ink(0, 0, 0);
    EXPECT_EQ(HC_Insert_Ink(1, 0, 0), s1);
    EXPECT_EQ(HC_Insert_Ink(1, 1, 0), s1);
    int count = 0;
    HC_Show_Polyline_Count(s1, &count);
    EXPECT_EQ(count, 3);
    std::vector<float> pts(9);
    HC_Show_Polyline(s1, &count, pts.data());
    EXPECT_EQ(pts[6], 1.0f);
    HC_Insert_Marker(0, 0, 0);
    const HC_KEY s2 = HC_Insert_Ink(5, 5, 5);
    EXPECT_NE(s2, s1);
    HC_Restart_Ink();
    EXPECT_NE(HC_Insert_Ink(6, 6, 6), s2);
    const float poly[] = {0, 0, 0, 1, 1, 1};
    const HC_KEY pl = HC_Insert_Polyline(2, poly);
    HC_Show_Polyline_Count(pl, &count);
    EXPECT_EQ(count, 2);
}

TEST_F(Geometry, TextKeepsItsEncoding) {
    const unsigned short note[] = {0x4E2D, 'a', 0x00E9, 0};
    const HC_KEY t = HC_Insert_Text_With_Encoding(1, 2, 3, "unicode", note);
    int length = 0;
    HC_Show_Text_Length(t, &length);
    EXPECT_EQ(length, 3);
    char enc[32];
    unsigned short back[8] = {};
    float x = 0;
    HC_Show_Text_With_Encoding(t, &x, nullptr, nullptr, enc, back);
    EXPECT_STREQ(enc, "unicode");
    EXPECT_EQ(back[0], 0x4E2D);
    EXPECT_EQ(back[2], 0x00E9);
    EXPECT_EQ(back[3], 0);
    EXPECT_EQ(x, 1.0f);
    char utf8[32];
    HC_Show_Text(t, nullptr, nullptr, nullptr, utf8);
    EXPECT_STREQ(utf8, "\xE4\xB8\xAD" "a" "\xC3\xA9");
    const HC_KEY plain = HC_Insert_Text(0, 0, 0, "Node 10");
    HC_Show_Text(plain, nullptr, nullptr, nullptr, utf8);
    EXPECT_STREQ(utf8, "Node 10");
    HC_Edit_Text(plain, "Node 20");
    HC_Show_Text(plain, nullptr, nullptr, nullptr, utf8);
    EXPECT_STREQ(utf8, "Node 20");
    EXPECT_EQ(HC_Insert_Text_With_Encoding(0, 0, 0, "klingon", note), -1);
    EXPECT_EQ(TakeErrors(), 1u);
}

TEST_F(Geometry, CirclesEllipsesPolygonsImagesAndLights) {
    const float p1[] = {1, 0, 0}, p2[] = {0, 1, 0}, p3[] = {-1, 0, 0};
    const HC_KEY c = HC_Insert_Circle(p1, p2, p3);
    float center[3], radius = 0, normal[3];
    HC_Show_Circle_By_Radius(c, center, &radius, normal);
    EXPECT_NEAR(center[0], 0, 1e-6);
    EXPECT_NEAR(radius, 1, 1e-6);
    EXPECT_NEAR(std::fabs(normal[2]), 1, 1e-6);
    const float collinear[] = {2, 0, 0};
    EXPECT_EQ(HC_Insert_Circle(p1, p3, collinear), -1);
    const float up[] = {0, 0, 1}, origin[] = {0, 0, 0};
    const HC_KEY byRadius = HC_Insert_Circle_By_Radius(origin, 2, up);
    float q1[3], q2[3], q3[3];
    HC_Show_Circle(byRadius, q1, q2, q3);
    EXPECT_NEAR(std::hypot(q2[0], q2[1]), 2, 1e-5);
    const float major[] = {2, 0, 0}, minor[] = {0, 1, 0};
    const HC_KEY arc = HC_Insert_Elliptical_Arc(origin, major, minor, 0, 0.25);
    float s = -1, e = -1;
    HC_Show_Elliptical_Arc(arc, nullptr, nullptr, nullptr, &s, &e);
    EXPECT_EQ(e, 0.25f);
    EXPECT_EQ(HC_Insert_Ellipse(origin, major, major), -1);
    const float square[] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    const HC_KEY poly = HC_Insert_Polygon(4, square);
    int count = 0;
    HC_Show_Polygon_Count(poly, &count);
    EXPECT_EQ(count, 4);
    const unsigned char pixels[2 * 2 * 3] = {255, 0, 0, 0, 0, 255, 0, 0, 255, 255, 0, 0};
    const HC_KEY img = HC_Insert_Image(0, 0, 0, "rgb, name=checkerboard image", 2, 2, pixels);
    ASSERT_NE(img, -1);
    EXPECT_EQ(ketra::hc::Graph::Instance().FindNamedImage("Checkerboard Image")->key, img);
    const unsigned char patch[3] = {9, 9, 9};
    HC_Edit_Image(img, 1, 1, 1, 1, patch);
    unsigned char back[12];
    char format[64];
    int w = 0, h = 0;
    HC_Show_Image(img, nullptr, nullptr, nullptr, format, &w, &h, back);
    EXPECT_EQ(back[9], 9);
    EXPECT_STREQ(format, "rgb, name = checkerboard image");
    HC_Edit_Image(img, 1, 1, 2, 1, patch);  // outside
    EXPECT_EQ(HC_Insert_Image(0, 0, 0, "jpeg", 2, 2, pixels), -1);
    EXPECT_EQ(HC_Insert_Image(0, 0, 0, "rgb", 0, 2, pixels), -1);
    const HC_KEY light = HC_Insert_Distant_Light(0, 0, -1);
    float dz = 0;
    HC_Show_Distant_Light(light, nullptr, nullptr, &dz);
    EXPECT_EQ(dz, -1.0f);
    EXPECT_EQ(HC_Insert_Distant_Light(0, 0, 0), -1);
    EXPECT_EQ(TakeErrors(), 6u);
    HC_Delete_By_Key(img);
    EXPECT_EQ(ketra::hc::Graph::Instance().FindNamedImage("checkerboard image"), nullptr);
}

}  // namespace
