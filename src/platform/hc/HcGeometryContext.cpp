// Geometry editing contexts: open geometry, face, edge, vertex and LOD.
#include "platform/hc/GraphInternal.h"

#include <cmath>

using namespace ketra::hc;
using namespace ketra::hc::detail;

namespace {

using Frame = Graph::State::Frame;

const char* FrameName(Frame::Kind k) {
    switch (k) {
        case Frame::Kind::Segment: return "segment";
        case Frame::Kind::Geometry: return "geometry";
        case Frame::Kind::Face: return "face";
        case Frame::Kind::Edge: return "edge";
        case Frame::Kind::Vertex: return "vertex";
        case Frame::Kind::Lod: return "LOD";
    }
    return "";
}

// The open shell when the innermost frame is an open geometry; error otherwise.
Geometry* OpenShell(const char* fn, const char* what) {
    Frame* top = TopFrame();
    if (!top || top->kind != Frame::Kind::Geometry) {
        ReportError(fn, HC_ERR_STATE, std::string(what) + " needs an open geometry (HC_Open_Geometry) innermost");
        return nullptr;
    }
    Geometry* g = Graph::Instance().FindGeometry(top->key);
    if (!g) {
        ReportError(fn, HC_ERR_STATE, "the open geometry was deleted");
        return nullptr;
    }
    if (!g->Shell()) {
        ReportError(fn, HC_ERR_KEY, std::string(what) + " applies to shells, not to a " + GeometryKindName(g->type));
        return nullptr;
    }
    return g;
}

void Close(const char* fn, Frame::Kind kind) {
    Frame* top = TopFrame();
    if (!top || top->kind != kind) {
        ReportError(fn, HC_ERR_STATE,
                    std::string("no ") + FrameName(kind) + " is open" +
                        (top ? std::string(" (the innermost open item is a ") + FrameName(top->kind) + ")" : ""));
        return;
    }
    St().open.pop_back();
}

}  // namespace

extern "C" {

void HC_Open_Geometry(HC_KEY key) {
    const char* fn = __func__;
    Frame* top = TopFrame();
    if (top && top->kind != Frame::Kind::Segment) {
        ReportError(fn, HC_ERR_STATE, std::string("a ") + FrameName(top->kind) + " is already open");
        return;
    }
    Geometry* g = FindGeometryKey(fn, key);
    if (!g) return;
    St().open.push_back(Frame{Frame::Kind::Geometry, g->key});
}

void HC_Close_Geometry(void) { Close(__func__, Frame::Kind::Geometry); }

void HC_Open_Face(int face) {
    const char* fn = __func__;
    Geometry* g = OpenShell(fn, "HC_Open_Face");
    if (!g) return;
    if (face < 0 || face >= g->Shell()->faceCount) {
        ReportError(fn, HC_ERR_ARGUMENT, "face " + std::to_string(face) + " of a shell with " +
                                             std::to_string(g->Shell()->faceCount) + " faces");
        return;
    }
    St().open.push_back(Frame{Frame::Kind::Face, g->key, face, 0});
}

void HC_Close_Face(void) { Close(__func__, Frame::Kind::Face); }

void HC_Open_Edge(int vertex1, int vertex2) {
    const char* fn = __func__;
    Geometry* g = OpenShell(fn, "HC_Open_Edge");
    if (!g) return;
    const int n = static_cast<int>(g->Shell()->points.size());
    if (vertex1 < 0 || vertex2 < 0 || vertex1 >= n || vertex2 >= n || vertex1 == vertex2) {
        ReportError(fn, HC_ERR_ARGUMENT, "edge " + std::to_string(vertex1) + "-" + std::to_string(vertex2) +
                                             " of a shell with " + std::to_string(n) + " points");
        return;
    }
    St().open.push_back(Frame{Frame::Kind::Edge, g->key, vertex1, vertex2});
}

void HC_Close_Edge(void) { Close(__func__, Frame::Kind::Edge); }

void HC_Open_Vertex(int vertex) {
    const char* fn = __func__;
    Geometry* g = OpenShell(fn, "HC_Open_Vertex");
    if (!g) return;
    const int n = static_cast<int>(g->Shell()->points.size());
    if (vertex < 0 || vertex >= n) {
        ReportError(fn, HC_ERR_ARGUMENT, "vertex " + std::to_string(vertex) + " of a shell with " +
                                             std::to_string(n) + " points");
        return;
    }
    St().open.push_back(Frame{Frame::Kind::Vertex, g->key, vertex, 0});
}

void HC_Close_Vertex(void) { Close(__func__, Frame::Kind::Vertex); }

void HC_Open_LOD(int level) {
    const char* fn = __func__;
    Geometry* g = OpenShell(fn, "HC_Open_LOD");
    if (!g) return;
    if (g->lodBase) {
        ReportError(fn, HC_ERR_STATE, "a level-of-detail item has no levels of its own");
        return;
    }
    if (level < 1 || level > 7) {
        ReportError(fn, HC_ERR_ARGUMENT, "LOD level must lie in 1..7, not " + std::to_string(level));
        return;
    }
    St().open.push_back(Frame{Frame::Kind::Lod, g->key, level, 0});
}

void HC_Close_LOD(void) { Close(__func__, Frame::Kind::Lod); }

void HC_Set_Normal(double x, double y, double z) {
    const char* fn = __func__;
    Frame* top = TopFrame();
    if (!top || (top->kind != Frame::Kind::Face && top->kind != Frame::Kind::Vertex)) {
        ReportError(fn, HC_ERR_STATE, "a normal needs an open face or vertex");
        return;
    }
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || (x == 0 && y == 0 && z == 0)) {
        ReportError(fn, HC_ERR_ARGUMENT, "a normal must be finite and non-zero");
        return;
    }
    AttributeTarget t;
    if (!RequireTarget(fn, kTargetElement, t)) return;
    t.ElementAttrs(true)->normal = Vec3{float(x), float(y), float(z)};
    Graph::Instance().Touch(*t.geometry);
}

void HC_UnSet_Normal(void) {
    AttributeTarget t;
    if (!RequireTarget(__func__, kTargetElement, t)) return;
    if (ElementAttributes* e = t.ElementAttrs(false)) {
        e->normal.reset();
        t.Prune();
        Graph::Instance().Touch(*t.geometry);
    }
}

void HC_Show_Normal(float* x, float* y, float* z) {
    AttributeTarget t;
    if (!RequireTarget(__func__, kTargetElement, t)) return;
    const ElementAttributes* e = t.ElementAttrs(false);
    if (!e || !e->normal) {
        ReportError(__func__, HC_ERR_STATE, "no normal is set here");
        return;
    }
    if (x) *x = e->normal->x;
    if (y) *y = e->normal->y;
    if (z) *z = e->normal->z;
}

}  // extern "C"
