// A scene tree with every kind of content the scene files carry: attributes of every kind,
// styles, includes inside and outside the tree, every geometry kind, per-face, per-edge and
// per-vertex attributes and levels of detail. Built under "/src" (and "/style library/pipes").
#pragma once

#include "platform/hc/hc.h"

#include <cstdint>

namespace ketra::test {

// A tree with every kind of content the format carries.
inline void BuildRichTree() {
    HC_Open_Segment("/style library/pipes");
    HC_Set_Color("faces=(diffuse=r=0.650980 g=0.792157 b=0.941176,specular=white,"
                 "transmission=black),lines=red,edges=blue");
    HC_Close_Segment();
    HC_Open_Segment("/src");
    HC_Set_Visibility("lights = (faces = on, edges = off, markers = off), markers = off, "
                      "faces=on");
    HC_Set_Selectability("markers = on!, lines = off");
    HC_Set_Heuristics("quick moves, no related selection limit");
    HC_Set_Rendering_Options("mask transform = (camera = (rotate, perspective), "
                             "modelling matrix = (rotate, scale))");
    HC_Set_Text_Font("name=(Arial,sans serif,system default), size=8.0 pts");
    HC_Set_Color_By_Index("text, lights", 1);
    HC_Set_Line_Weight(2.5);
    HC_Set_Marker_Symbol("+");
    HC_Set_User_Index(0, reinterpret_cast<void*>(static_cast<intptr_t>(7)));
    const float pos[3] = {1, 2, 30}, tgt[3] = {0.1f, 0.2f, 0.3f}, up[3] = {0, 1, 0};
    HC_Set_Camera(pos, tgt, up, 3.25, 2.5, "perspective");
    HC_Style_Segment("/style library/pipes");
    HC_Open_Segment("pipe 1");
    HC_Set_User_Options("from = 10, to = 20, note = (a, b)");
    HC_Rotate_Object(10, 20, 30.123456);
    HC_Translate_Object(0.1, -2, 1e-7);
    const float pts[] = {0, 0,     0,     1, 0,     0,     1, 1,    0,     0, 1,
                         0, 0.25f, 0.25f, 0, 0.75f, 0.25f, 0, 0.5f, 0.75f, 0};
    const int faces[] = {4, 0, 1, 2, 3, -3, 4, 5, 6, 2, 0, 2};
    const HC_KEY shell = HC_Insert_Shell(7, pts, 12, faces);
    HC_Open_Geometry(shell);
    HC_Open_Face(0);
    HC_Set_Color("red");
    HC_Close_Face();
    HC_Open_Edge(0, 1);
    HC_Set_Visibility("off");
    HC_Close_Edge();
    HC_Open_Vertex(2);
    HC_Set_Normal(0, 0, 1);
    HC_Close_Vertex();
    HC_Open_LOD(1);
    const int coarse[] = {3, 0, 1, 2};
    HC_Insert_Shell(3, pts, 4, coarse);
    HC_Close_LOD();
    HC_Open_LOD(2);
    const float line[] = {0, 0, 0, 1, 1, 0};
    const int edge[] = {2, 0, 1};
    HC_Insert_Shell(2, line, 3, edge);
    HC_Close_LOD();
    HC_Set_Color("faces = green");
    HC_Close_Geometry();
    HC_Close_Segment();
    HC_Open_Segment(""); // nameless
    const float axis[] = {0, 0, 0, 0, 0, 5, 1, 0, 6};
    const float radii[] = {0.5f, 0.25f, 0.125f};
    HC_Insert_PolyCylinder(3, axis, 3, radii, "first");
    const float c1[] = {0, 0, 0}, c2[] = {1, 0, 0};
    HC_Insert_Cylinder(c1, c2, 0.3, "none");
    HC_Insert_Line(0, 0, 0, 1, 2, 3);
    HC_Insert_Polyline(3, axis);
    HC_Insert_Polygon(3, axis);
    HC_Insert_Marker(1, 2, 3);
    HC_Insert_Text(0, 1, 2, "plain \"quoted\" \\ text");
    const unsigned short unicode[] = {0x41, 0xe9, 0x4e2d, 0xd83d, 0xde00, 0};
    HC_Insert_Text_With_Encoding(3, 2, 1, "unicode", unicode);
    const float p1[] = {1, 0, 0}, p2[] = {0, 1, 0}, p3[] = {-1, 0, 0};
    HC_Insert_Circle(p1, p2, p3);
    const float centre[] = {0, 0, 0}, major[] = {2, 0, 0}, minor[] = {0, 1, 0};
    HC_Insert_Ellipse(centre, major, minor);
    HC_Insert_Elliptical_Arc(centre, major, minor, 0.125, 0.75);
    const unsigned char pixels[] = {0, 1, 2, 3, 4, 5, 250, 251, 252, 253, 254, 255};
    HC_Insert_Image(1, 1, 1, "rgb", 2, 2, pixels);
    HC_Insert_Distant_Light(1, 1, -1);
    HC_Insert_Cutting_Plane(0, 0, 1, -0.5);
    HC_Close_Segment();
    HC_Open_Segment("linked");
    HC_Include_Segment("/src/pipe 1");          // inside the file
    HC_Include_Segment("/style library/pipes"); // outside it
    HC_Set_Window(-1, 0, -0.5, 0.5);
    HC_Close_Segment();
    HC_Close_Segment();
}

} // namespace ketra::test
