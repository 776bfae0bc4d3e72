// HC_Insert_* and HC_Show_* calls of geometry items.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/OptionParser.h"

#include <climits>
#include <cmath>
#include <cstring>

using namespace ketra::hc;
using namespace ketra::hc::detail;

namespace {

constexpr int kMaxCount = 1 << 28;  // guards size arithmetic against overflow

bool NullArg(const char* fn, const void* p, const char* what) {
    if (p) return false;
    ReportError(fn, HC_ERR_ARGUMENT, std::string("null ") + what);
    return true;
}

bool Finite(double v) { return std::isfinite(v); }

bool FiniteArgs(const char* fn, std::initializer_list<double> values) {
    for (double v : values) {
        if (!Finite(v)) {
            ReportError(fn, HC_ERR_ARGUMENT, "coordinate is not a finite number");
            return false;
        }
    }
    return true;
}

// Copies `count` points, rejecting non-finite coordinates.
bool ReadPoints(const char* fn, int count, const void* points, std::vector<Vec3>& out) {
    if (count < 0 || count > kMaxCount) {
        ReportError(fn, HC_ERR_ARGUMENT, "bad point count " + std::to_string(count));
        return false;
    }
    if (count > 0 && NullArg(fn, points, "points")) return false;
    const auto* f = static_cast<const float*>(points);
    out.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const float x = f[3 * i], y = f[3 * i + 1], z = f[3 * i + 2];
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
            ReportError(fn, HC_ERR_GEOMETRY, "point " + std::to_string(i) + " is not finite");
            return false;
        }
        out[static_cast<size_t>(i)] = {x, y, z};
    }
    return true;
}

bool ReadPoint(const char* fn, const void* p, Vec3& out, const char* what) {
    if (NullArg(fn, p, what)) return false;
    std::vector<Vec3> one;
    if (!ReadPoints(fn, 1, p, one)) return false;
    out = one[0];
    return true;
}

void WritePoints(const std::vector<Vec3>& pts, void* out) {
    if (!out || pts.empty()) return;
    std::memcpy(out, pts.data(), pts.size() * sizeof(Vec3));
}

void WritePoint(const Vec3& p, void* out) {
    if (out) std::memcpy(out, &p, sizeof(Vec3));
}

void Put(float* dst, float v) {
    if (dst) *dst = v;
}

// The two counts a show call gives (zero until the item is found).
void PutCounts(int* first, size_t firstCount, int* second, size_t secondCount) {
    if (first) *first = static_cast<int>(firstCount);
    if (second) *second = static_cast<int>(secondCount);
}

// Validates a face list against pcount; returns the number of faces or -1.
int CheckFaceList(const char* fn, int pcount, int flen, const int* faces) {
    if (flen < 0 || flen > kMaxCount) {
        ReportError(fn, HC_ERR_ARGUMENT, "bad face list length " + std::to_string(flen));
        return -1;
    }
    if (flen > 0 && NullArg(fn, faces, "face list")) return -1;
    int faceCount = 0;
    int i = 0;
    while (i < flen) {
        const int c = faces[i];
        if (c == 0 || c == INT_MIN) {
            ReportError(fn, HC_ERR_GEOMETRY, "face list entry " + std::to_string(i) + " has vertex count " + std::to_string(c));
            return -1;
        }
        const int n = c < 0 ? -c : c;
        if (c < 0 && faceCount == 0) {
            ReportError(fn, HC_ERR_GEOMETRY, "a hole at face list entry " + std::to_string(i) + " has no face before it");
            return -1;
        }
        if (n > flen - i - 1) {
            ReportError(fn, HC_ERR_GEOMETRY, "face at entry " + std::to_string(i) + " runs past the end of the face list");
            return -1;
        }
        for (int j = 1; j <= n; ++j) {
            const int v = faces[i + j];
            if (v < 0 || v >= pcount) {
                ReportError(fn, HC_ERR_GEOMETRY, "face list entry " + std::to_string(i + j) + " indexes point " +
                                                     std::to_string(v) + " of " + std::to_string(pcount));
                return -1;
            }
        }
        if (c > 0) ++faceCount;
        i += n + 1;
    }
    return faceCount;
}

bool ParseCapping(const char* fn, const char* text, Capping& out) {
    if (NullArg(fn, text, "capping")) return false;
    const std::string c = NormalizeName(text);
    if (c == "both") out = Capping::Both;
    else if (c == "none") out = Capping::None;
    else if (c == "first") out = Capping::First;
    else if (c == "second") out = Capping::Second;
    else {
        ReportError(fn, HC_ERR_OPTION, "capping must be \"both\", \"none\", \"first\" or \"second\", not '" + std::string(text) + "'");
        return false;
    }
    return true;
}

template <typename T>
T* Data(const char* fn, HC_KEY key, std::initializer_list<GeometryKind> kinds, Geometry** geo = nullptr) {
    Geometry* g = FindGeometryKey(fn, key);
    if (!g) return nullptr;
    for (GeometryKind k : kinds) {
        if (g->type == k) {
            if (geo) *geo = g;
            return std::get_if<T>(&g->data);
        }
    }
    ReportError(fn, HC_ERR_KEY, "key " + std::to_string(key) + " is a " + GeometryKindName(g->type) +
                                    ", not a " + GeometryKindName(*kinds.begin()));
    return nullptr;
}

// Text as HC_Show_Text gives it: UTF-8 for unicode text, else its ISO Latin-1 bytes.
std::string TextBytes(const TextData& d) {
    return d.unicode ? hmf::ToUtf8(d.text) : hmf::ToLatin1(d.text);
}

// Reads text in an encoding; false (reported) for unknown encodings.
bool ReadText(const char* fn, const char* encoding, const void* text, std::u16string& out, bool& unicode) {
    if (NullArg(fn, encoding, "encoding") || NullArg(fn, text, "text")) return false;
    const std::string enc = NormalizeName(encoding);
    out.clear();
    constexpr size_t kMaxText = 1u << 20;
    if (enc == "unicode" || enc == "utf16" || enc == "utf-16") {
        const auto* u = static_cast<const unsigned short*>(text);
        size_t n = 0;
        while (u[n] != 0) {
            if (++n > kMaxText) {
                ReportError(fn, HC_ERR_ARGUMENT, "text is longer than 1M characters");
                return false;
            }
        }
        out.assign(u, u + n);
        unicode = true;
        return true;
    }
    if (enc == "iso latin one" || enc == "iso latin" || enc == "iso latin 1") {
        const auto* c = static_cast<const unsigned char*>(text);
        size_t n = strnlen(static_cast<const char*>(text), kMaxText + 1);
        if (n > kMaxText) {
            ReportError(fn, HC_ERR_ARGUMENT, "text is longer than 1M characters");
            return false;
        }
        out.assign(c, c + n);
        unicode = false;
        return true;
    }
    ReportError(fn, HC_ERR_OPTION, "unknown text encoding '" + std::string(encoding) + "'");
    return false;
}

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Vec3& a, const Vec3& b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }

// Polylines and polygons: a list of points under one of the two kinds.
HC_KEY InsertPointList(const char* fn, GeometryKind kind, int count, const void* points) {
    std::vector<Vec3> pts;
    if (!ReadPoints(fn, count, points, pts)) return kNoKey;
    Geometry* g = InsertGeometry(fn, kind);
    if (!g) return kNoKey;
    std::get<PolylineData>(g->data).points = std::move(pts);
    return g->key;
}

void ShowPointListCount(const char* fn, GeometryKind kind, HC_KEY key, int* count) {
    if (NullArg(fn, count, "output")) return;
    *count = 0;
    if (const auto* d = Data<PolylineData>(fn, key, {kind}))
        *count = static_cast<int>(d->points.size());
}

void ShowPointList(const char* fn, GeometryKind kind, HC_KEY key, int* count, void* points) {
    if (count) *count = 0;
    const auto* d = Data<PolylineData>(fn, key, {kind});
    if (!d) return;
    if (count) *count = static_cast<int>(d->points.size());
    WritePoints(d->points, points);
}

int BytesPerPixel(std::string_view format) {
    if (format == "rgb") return 3;
    if (format == "rgba") return 4;
    if (format == "grayscale" || format == "gray" || format == "mapped 8") return 1;
    return 0;
}

}  // namespace

extern "C" {

HC_KEY HC_Insert_Shell(int pcount, const void* points, int flist_length, const int* face_list) {
    const char* fn = __func__;
    std::vector<Vec3> pts;
    if (!ReadPoints(fn, pcount, points, pts)) return kNoKey;
    const int faceCount = CheckFaceList(fn, pcount, flist_length, face_list);
    if (faceCount < 0) return kNoKey;
    Geometry* g = InsertGeometry(fn, GeometryKind::Shell);
    if (!g) return kNoKey;
    ShellData& s = *g->Shell();
    s.points = std::move(pts);
    s.faceList.assign(face_list, face_list + flist_length);
    s.faceCount = faceCount;
    return g->key;
}

void HC_Show_Shell_Size(HC_KEY key, int* pcount, int* flist_length) {
    PutCounts(pcount, 0, flist_length, 0);
    if (const ShellData* s = Data<ShellData>(__func__, key, {GeometryKind::Shell}))
        PutCounts(pcount, s->points.size(), flist_length, s->faceList.size());
}

void HC_Show_Shell(HC_KEY key, int* pcount, void* points, int* flist_length, int* face_list) {
    PutCounts(pcount, 0, flist_length, 0);
    const ShellData* s = Data<ShellData>(__func__, key, {GeometryKind::Shell});
    if (!s) return;
    PutCounts(pcount, s->points.size(), flist_length, s->faceList.size());
    WritePoints(s->points, points);
    if (face_list && !s->faceList.empty())
        std::memcpy(face_list, s->faceList.data(), s->faceList.size() * sizeof(int));
}

void HC_Show_Shell_Face_Count(HC_KEY key, int* face_count) {
    if (NullArg(__func__, face_count, "output")) return;
    *face_count = 0;
    if (const ShellData* s = Data<ShellData>(__func__, key, {GeometryKind::Shell})) *face_count = s->faceCount;
}

HC_KEY HC_Insert_PolyCylinder(int pcount, const void* points, int rcount, const float* radii, const char* capping) {
    const char* fn = __func__;
    std::vector<Vec3> pts;
    if (!ReadPoints(fn, pcount, points, pts)) return kNoKey;
    if (pcount < 2) {
        ReportError(fn, HC_ERR_ARGUMENT, "a polycylinder needs at least 2 points, not " + std::to_string(pcount));
        return kNoKey;
    }
    if (rcount != 1 && rcount != pcount) {
        ReportError(fn, HC_ERR_ARGUMENT, "radius count must be 1 or the point count, not " + std::to_string(rcount));
        return kNoKey;
    }
    if (NullArg(fn, radii, "radii")) return kNoKey;
    for (int i = 0; i < rcount; ++i) {
        if (!std::isfinite(radii[i]) || radii[i] < 0) {
            ReportError(fn, HC_ERR_ARGUMENT, "radius " + std::to_string(i) + " is negative or not finite");
            return kNoKey;
        }
    }
    Capping cap;
    if (!ParseCapping(fn, capping, cap)) return kNoKey;
    Geometry* g = InsertGeometry(fn, GeometryKind::PolyCylinder);
    if (!g) return kNoKey;
    auto& d = std::get<PolyCylinderData>(g->data);
    d.points = std::move(pts);
    d.radii.assign(radii, radii + rcount);
    d.capping = cap;
    return g->key;
}

void HC_Show_PolyCylinder_Count(HC_KEY key, int* pcount, int* rcount) {
    PutCounts(pcount, 0, rcount, 0);
    if (const auto* d = Data<PolyCylinderData>(__func__, key, {GeometryKind::PolyCylinder}))
        PutCounts(pcount, d->points.size(), rcount, d->radii.size());
}

void HC_Show_PolyCylinder(HC_KEY key, int* pcount, void* points, int* rcount, float* radii, char* capping) {
    PutCounts(pcount, 0, rcount, 0);
    if (capping) capping[0] = '\0';
    const auto* d = Data<PolyCylinderData>(__func__, key, {GeometryKind::PolyCylinder});
    if (!d) return;
    PutCounts(pcount, d->points.size(), rcount, d->radii.size());
    WritePoints(d->points, points);
    if (radii) std::memcpy(radii, d->radii.data(), d->radii.size() * sizeof(float));
    if (capping) CopyOut(CappingName(d->capping), capping);
}

HC_KEY HC_Insert_Cylinder(const void* center_point_1, const void* center_point_2, double radius, const char* capping) {
    const char* fn = __func__;
    Vec3 a, b;
    if (!ReadPoint(fn, center_point_1, a, "first centre") || !ReadPoint(fn, center_point_2, b, "second centre"))
        return kNoKey;
    if (!std::isfinite(radius) || radius < 0) {
        ReportError(fn, HC_ERR_ARGUMENT, "radius is negative or not finite");
        return kNoKey;
    }
    Capping cap;
    if (!ParseCapping(fn, capping, cap)) return kNoKey;
    Geometry* g = InsertGeometry(fn, GeometryKind::Cylinder);
    if (!g) return kNoKey;
    g->data = CylinderData{a, b, static_cast<float>(radius), cap};
    return g->key;
}

void HC_Show_Cylinder(HC_KEY key, void* center_point_1, void* center_point_2, float* radius, char* capping) {
    if (capping) capping[0] = '\0';
    const auto* d = Data<CylinderData>(__func__, key, {GeometryKind::Cylinder});
    if (!d) return;
    WritePoint(d->first, center_point_1);
    WritePoint(d->second, center_point_2);
    Put(radius, d->radius);
    if (capping) CopyOut(CappingName(d->capping), capping);
}

HC_KEY HC_Insert_Line(double xa, double ya, double za, double xb, double yb, double zb) {
    if (!FiniteArgs(__func__, {xa, ya, za, xb, yb, zb})) return kNoKey;
    Geometry* g = InsertGeometry(__func__, GeometryKind::Line);
    if (!g) return kNoKey;
    g->data = LineData{{float(xa), float(ya), float(za)}, {float(xb), float(yb), float(zb)}};
    return g->key;
}

void HC_Show_Line(HC_KEY key, float* xa, float* ya, float* za, float* xb, float* yb, float* zb) {
    const auto* d = Data<LineData>(__func__, key, {GeometryKind::Line});
    if (!d) return;
    Put(xa, d->first.x), Put(ya, d->first.y), Put(za, d->first.z);
    Put(xb, d->second.x), Put(yb, d->second.y), Put(zb, d->second.z);
}

HC_KEY HC_Insert_Polyline(int count, const void* points) {
    return InsertPointList(__func__, GeometryKind::Polyline, count, points);
}

void HC_Show_Polyline_Count(HC_KEY key, int* count) {
    ShowPointListCount(__func__, GeometryKind::Polyline, key, count);
}

void HC_Show_Polyline(HC_KEY key, int* count, void* points) {
    ShowPointList(__func__, GeometryKind::Polyline, key, count, points);
}

HC_KEY HC_Insert_Ink(double x, double y, double z) {
    const char* fn = __func__;
    if (!FiniteArgs(fn, {x, y, z})) return kNoKey;
    Graph& graph = Graph::Instance();
    Graph::State::Frame* top = TopFrame();
    Segment* seg = top && top->kind == Graph::State::Frame::Kind::Segment ? graph.OpenSegment() : nullptr;
    if (seg && seg->inkKey != kNoKey && !seg->geometry.empty() && seg->geometry.back()->key == seg->inkKey) {
        Geometry* g = seg->geometry.back().get();
        auto& d = std::get<PolylineData>(g->data);
        d.points.push_back({float(x), float(y), float(z)});
        graph.Touch(*g);
        return g->key;
    }
    Geometry* g = InsertGeometry(fn, GeometryKind::Polyline);
    if (!g) return kNoKey;
    auto& d = std::get<PolylineData>(g->data);
    d.ink = true;
    d.points.push_back({float(x), float(y), float(z)});
    if (g->owner && !g->lodBase) g->owner->inkKey = g->key;
    return g->key;
}

void HC_Restart_Ink(void) {
    if (Segment* s = RequireOpenSegment(__func__)) s->inkKey = kNoKey;
}

HC_KEY HC_Insert_Marker(double x, double y, double z) {
    if (!FiniteArgs(__func__, {x, y, z})) return kNoKey;
    Geometry* g = InsertGeometry(__func__, GeometryKind::Marker);
    if (!g) return kNoKey;
    g->data = MarkerData{{float(x), float(y), float(z)}};
    return g->key;
}

void HC_Show_Marker(HC_KEY key, float* x, float* y, float* z) {
    const auto* d = Data<MarkerData>(__func__, key, {GeometryKind::Marker});
    if (!d) return;
    Put(x, d->position.x), Put(y, d->position.y), Put(z, d->position.z);
}

HC_KEY HC_Insert_Text(double x, double y, double z, const char* text) {
    return HC_Insert_Text_With_Encoding(x, y, z, "iso latin one", text);
}

HC_KEY HC_Insert_Text_With_Encoding(double x, double y, double z, const char* encoding, const void* text) {
    const char* fn = __func__;
    if (!FiniteArgs(fn, {x, y, z})) return kNoKey;
    std::u16string chars;
    bool unicode = false;
    if (!ReadText(fn, encoding, text, chars, unicode)) return kNoKey;
    Geometry* g = InsertGeometry(fn, GeometryKind::Text);
    if (!g) return kNoKey;
    auto& d = std::get<TextData>(g->data);
    d.position = {float(x), float(y), float(z)};
    d.text = std::move(chars);
    d.unicode = unicode;
    return g->key;
}

void HC_Show_Text_Length(HC_KEY key, int* length) {
    if (NullArg(__func__, length, "output")) return;
    *length = 0;
    if (const auto* d = Data<TextData>(__func__, key, {GeometryKind::Text}))
        *length = static_cast<int>(d->unicode ? d->text.size() : d->text.size());
}

void HC_Show_Text(HC_KEY key, float* x, float* y, float* z, char* text) {
    if (text) text[0] = '\0';
    const auto* d = Data<TextData>(__func__, key, {GeometryKind::Text});
    if (!d) return;
    Put(x, d->position.x), Put(y, d->position.y), Put(z, d->position.z);
    CopyOut(TextBytes(*d), text);
}

void HC_Show_Text_Encoding(HC_KEY key, char* encoding) {
    if (NullArg(__func__, encoding, "output")) return;
    encoding[0] = '\0';
    if (const auto* d = Data<TextData>(__func__, key, {GeometryKind::Text}))
        CopyOut(d->unicode ? "unicode" : "iso latin one", encoding);
}

void HC_Show_Text_With_Encoding(HC_KEY key, float* x, float* y, float* z, char* encoding, void* text) {
    if (encoding) encoding[0] = '\0';
    const auto* d = Data<TextData>(__func__, key, {GeometryKind::Text});
    if (!d) return;
    Put(x, d->position.x), Put(y, d->position.y), Put(z, d->position.z);
    if (encoding) CopyOut(d->unicode ? "unicode" : "iso latin one", encoding);
    if (!text) return;
    if (d->unicode) {
        auto* u = static_cast<unsigned short*>(text);
        for (size_t i = 0; i < d->text.size(); ++i) u[i] = d->text[i];
        u[d->text.size()] = 0;
    } else {
        CopyOut(hmf::ToLatin1(d->text), static_cast<char*>(text));
    }
}

void HC_Edit_Text(HC_KEY key, const char* text) { HC_Edit_Text_With_Encoding(key, "iso latin one", text); }

void HC_Edit_Text_With_Encoding(HC_KEY key, const char* encoding, const void* text) {
    const char* fn = __func__;
    Geometry* g = nullptr;
    auto* d = Data<TextData>(fn, key, {GeometryKind::Text}, &g);
    if (!d) return;
    std::u16string chars;
    bool unicode = false;
    if (!ReadText(fn, encoding, text, chars, unicode)) return;
    d->text = std::move(chars);
    d->unicode = unicode;
    Graph::Instance().Touch(*g);
}

HC_KEY HC_Insert_Polygon(int count, const void* points) {
    return InsertPointList(__func__, GeometryKind::Polygon, count, points);
}

void HC_Show_Polygon_Count(HC_KEY key, int* count) {
    ShowPointListCount(__func__, GeometryKind::Polygon, key, count);
}

void HC_Show_Polygon(HC_KEY key, int* count, void* points) {
    ShowPointList(__func__, GeometryKind::Polygon, key, count, points);
}

HC_KEY HC_Insert_Circle(const void* point1, const void* point2, const void* point3) {
    const char* fn = __func__;
    Vec3 p[3];
    if (!ReadPoint(fn, point1, p[0], "point1") || !ReadPoint(fn, point2, p[1], "point2") ||
        !ReadPoint(fn, point3, p[2], "point3"))
        return kNoKey;
    // Circumcentre of the triangle p0 p1 p2.
    const Vec3 a = Sub(p[1], p[0]), b = Sub(p[2], p[0]);
    const Vec3 n = Cross(a, b);
    const double nn = Dot(n, n);
    if (!(nn > 1e-20)) {
        ReportError(fn, HC_ERR_GEOMETRY, "the three points of a circle are collinear");
        return kNoKey;
    }
    const Vec3 t1 = Cross(n, a), t2 = Cross(b, n);
    const double ka = Dot(b, b) / (2 * nn), kb = Dot(a, a) / (2 * nn);
    const Vec3 off{float(t1.x * ka + t2.x * kb), float(t1.y * ka + t2.y * kb), float(t1.z * ka + t2.z * kb)};
    Geometry* g = InsertGeometry(fn, GeometryKind::Circle);
    if (!g) return kNoKey;
    CircleData d;
    std::copy(p, p + 3, d.points);
    d.center = {p[0].x + off.x, p[0].y + off.y, p[0].z + off.z};
    const double len = std::sqrt(nn);
    d.normal = {float(n.x / len), float(n.y / len), float(n.z / len)};
    d.radius = static_cast<float>(std::sqrt(Dot(off, off)));
    g->data = d;
    return g->key;
}

HC_KEY HC_Insert_Circle_By_Radius(const void* center, double radius, const void* normal) {
    const char* fn = __func__;
    Vec3 c, n;
    if (!ReadPoint(fn, center, c, "centre") || !ReadPoint(fn, normal, n, "normal")) return kNoKey;
    const double len = std::sqrt(Dot(n, n));
    if (!(len > 1e-20) || !std::isfinite(radius) || radius <= 0) {
        ReportError(fn, HC_ERR_GEOMETRY, "a circle needs a positive radius and a non-zero normal");
        return kNoKey;
    }
    const Vec3 un{float(n.x / len), float(n.y / len), float(n.z / len)};
    // In-plane basis: u perpendicular to the normal, v = n x u.
    Vec3 u = std::fabs(un.x) < 0.9f ? Cross(un, Vec3{1, 0, 0}) : Cross(un, Vec3{0, 1, 0});
    const double ul = std::sqrt(Dot(u, u));
    u = {float(u.x / ul), float(u.y / ul), float(u.z / ul)};
    const Vec3 v = Cross(un, u);
    const float r = static_cast<float>(radius);
    Geometry* g = InsertGeometry(fn, GeometryKind::Circle);
    if (!g) return kNoKey;
    CircleData d;
    d.center = c;
    d.normal = un;
    d.radius = r;
    d.points[0] = {c.x + r * u.x, c.y + r * u.y, c.z + r * u.z};
    d.points[1] = {c.x + r * v.x, c.y + r * v.y, c.z + r * v.z};
    d.points[2] = {c.x - r * u.x, c.y - r * u.y, c.z - r * u.z};
    g->data = d;
    return g->key;
}

void HC_Show_Circle(HC_KEY key, void* point1, void* point2, void* point3) {
    const auto* d = Data<CircleData>(__func__, key, {GeometryKind::Circle});
    if (!d) return;
    WritePoint(d->points[0], point1);
    WritePoint(d->points[1], point2);
    WritePoint(d->points[2], point3);
}

void HC_Show_Circle_By_Radius(HC_KEY key, void* center, float* radius, void* normal) {
    const auto* d = Data<CircleData>(__func__, key, {GeometryKind::Circle});
    if (!d) return;
    WritePoint(d->center, center);
    Put(radius, d->radius);
    WritePoint(d->normal, normal);
}

static HC_KEY InsertEllipse(const char* fn, GeometryKind kind, const void* center, const void* major,
                            const void* minor, double start, double end) {
    EllipseData d;
    if (!ReadPoint(fn, center, d.center, "centre") || !ReadPoint(fn, major, d.major, "major") ||
        !ReadPoint(fn, minor, d.minor, "minor"))
        return kNoKey;
    if (!std::isfinite(start) || !std::isfinite(end)) {
        ReportError(fn, HC_ERR_ARGUMENT, "arc start and end must be finite");
        return kNoKey;
    }
    const Vec3 a = Sub(d.major, d.center), b = Sub(d.minor, d.center);
    if (!(Dot(Cross(a, b), Cross(a, b)) > 1e-20)) {
        ReportError(fn, HC_ERR_GEOMETRY, "the axes of an ellipse must be non-zero and not parallel");
        return kNoKey;
    }
    d.start = static_cast<float>(start);
    d.end = static_cast<float>(end);
    Geometry* g = InsertGeometry(fn, kind);
    if (!g) return kNoKey;
    g->data = d;
    return g->key;
}

HC_KEY HC_Insert_Ellipse(const void* center, const void* major, const void* minor) {
    return InsertEllipse(__func__, GeometryKind::Ellipse, center, major, minor, 0, 1);
}

HC_KEY HC_Insert_Elliptical_Arc(const void* center, const void* major, const void* minor, double start, double end) {
    return InsertEllipse(__func__, GeometryKind::EllipticalArc, center, major, minor, start, end);
}

void HC_Show_Ellipse(HC_KEY key, void* center, void* major, void* minor) {
    const auto* d = Data<EllipseData>(__func__, key, {GeometryKind::Ellipse});
    if (!d) return;
    WritePoint(d->center, center);
    WritePoint(d->major, major);
    WritePoint(d->minor, minor);
}

void HC_Show_Elliptical_Arc(HC_KEY key, void* center, void* major, void* minor, float* start, float* end) {
    const auto* d = Data<EllipseData>(__func__, key, {GeometryKind::EllipticalArc});
    if (!d) return;
    WritePoint(d->center, center);
    WritePoint(d->major, major);
    WritePoint(d->minor, minor);
    Put(start, d->start);
    Put(end, d->end);
}

HC_KEY HC_Insert_Image(double x, double y, double z, const char* format, int width, int height, const void* data) {
    const char* fn = __func__;
    if (!FiniteArgs(fn, {x, y, z}) || NullArg(fn, format, "format")) return kNoKey;
    std::vector<OptionItem> items;
    std::string err;
    if (!ParseOptionList(format, items, &err) || items.empty() || items[0].hasValue) {
        ReportBadOption(fn, "image format", format, err.empty() ? "expected a pixel format first" : err);
        return kNoKey;
    }
    const int bpp = BytesPerPixel(items[0].name);
    if (bpp == 0) {
        ReportBadOption(fn, "image format", format, "unknown pixel format '" + items[0].name + "'");
        return kNoKey;
    }
    std::string name;
    for (size_t i = 1; i < items.size(); ++i) {
        if (items[i].name == "name" && items[i].hasValue) name = items[i].value;
        else if (items[i].name != "local" && items[i].name != "discard" && items[i].name != "down-sample") {
            ReportBadOption(fn, "image format", format, "unknown option '" + items[i].name + "'");
            return kNoKey;
        }
    }
    if (width <= 0 || height <= 0 || width > 65536 || height > 65536 ||
        static_cast<long long>(width) * height > (1LL << 28)) {
        ReportError(fn, HC_ERR_ARGUMENT, "bad image size " + std::to_string(width) + " x " + std::to_string(height));
        return kNoKey;
    }
    if (NullArg(fn, data, "pixel data")) return kNoKey;
    Geometry* g = InsertGeometry(fn, GeometryKind::Image);
    if (!g) return kNoKey;
    auto& d = std::get<ImageData>(g->data);
    d.position = {float(x), float(y), float(z)};
    d.format = items[0].name == "gray" || items[0].name == "mapped 8" ? "grayscale" : items[0].name;
    d.name = name;
    d.width = width;
    d.height = height;
    const auto* bytes = static_cast<const uint8_t*>(data);
    d.pixels.assign(bytes, bytes + static_cast<size_t>(width) * height * bpp);
    if (!name.empty()) St().namedImages[NormalizeName(name)] = g->key;
    return g->key;
}

void HC_Show_Image_Size(HC_KEY key, float* x, float* y, float* z, char* format, int* width, int* height) {
    if (format) format[0] = '\0';
    const auto* d = Data<ImageData>(__func__, key, {GeometryKind::Image});
    if (!d) return;
    Put(x, d->position.x), Put(y, d->position.y), Put(z, d->position.z);
    if (format) CopyOut(d->name.empty() ? d->format : d->format + ", name = " + d->name, format);
    if (width) *width = d->width;
    if (height) *height = d->height;
}

void HC_Show_Image(HC_KEY key, float* x, float* y, float* z, char* format, int* width, int* height, void* data) {
    HC_Show_Image_Size(key, x, y, z, format, width, height);
    const auto* d = Graph::Instance().FindGeometry(key);
    if (!d || d->type != GeometryKind::Image || !data) return;
    const auto& img = std::get<ImageData>(d->data);
    if (!img.pixels.empty()) std::memcpy(data, img.pixels.data(), img.pixels.size());
}

void HC_Edit_Image(HC_KEY key, int xoffset, int yoffset, int xcount, int ycount, const void* data) {
    const char* fn = __func__;
    Geometry* g = nullptr;
    auto* d = Data<ImageData>(fn, key, {GeometryKind::Image}, &g);
    if (!d) return;
    if (xoffset < 0 || yoffset < 0 || xcount < 0 || ycount < 0 || xcount > d->width - xoffset ||
        ycount > d->height - yoffset) {
        ReportError(fn, HC_ERR_ARGUMENT, "the edited block lies outside the image");
        return;
    }
    if (xcount == 0 || ycount == 0) return;
    if (NullArg(fn, data, "pixel data")) return;
    const int bpp = BytesPerPixel(d->format);
    const auto* src = static_cast<const uint8_t*>(data);
    for (int row = 0; row < ycount; ++row) {
        const size_t dst = (static_cast<size_t>(yoffset + row) * d->width + xoffset) * bpp;
        std::memcpy(d->pixels.data() + dst, src + static_cast<size_t>(row) * xcount * bpp,
                    static_cast<size_t>(xcount) * bpp);
    }
    Graph::Instance().Touch(*g);
}

HC_KEY HC_Insert_Distant_Light(double di, double dj, double dk) {
    const char* fn = __func__;
    if (!FiniteArgs(fn, {di, dj, dk})) return kNoKey;
    if (di == 0 && dj == 0 && dk == 0) {
        ReportError(fn, HC_ERR_GEOMETRY, "a distant light needs a non-zero direction");
        return kNoKey;
    }
    Geometry* g = InsertGeometry(fn, GeometryKind::DistantLight);
    if (!g) return kNoKey;
    g->data = DistantLightData{{float(di), float(dj), float(dk)}};
    return g->key;
}

void HC_Show_Distant_Light(HC_KEY key, float* di, float* dj, float* dk) {
    const auto* d = Data<DistantLightData>(__func__, key, {GeometryKind::DistantLight});
    if (!d) return;
    Put(di, d->direction.x), Put(dj, d->direction.y), Put(dk, d->direction.z);
}

HC_KEY HC_Insert_Cutting_Plane(double a, double b, double c, double d) {
    const char* fn = __func__;
    if (!FiniteArgs(fn, {a, b, c, d})) return kNoKey;
    if (a == 0 && b == 0 && c == 0) {
        ReportError(fn, HC_ERR_GEOMETRY, "a cutting plane needs a non-zero normal");
        return kNoKey;
    }
    Geometry* g = InsertGeometry(fn, GeometryKind::CuttingPlane);
    if (!g) return kNoKey;
    g->data = CuttingPlaneData{float(a), float(b), float(c), float(d)};
    return g->key;
}

void HC_Show_Cutting_Plane(HC_KEY key, float* a, float* b, float* c, float* d) {
    const auto* p = Data<CuttingPlaneData>(__func__, key, {GeometryKind::CuttingPlane});
    if (!p) return;
    Put(a, p->a), Put(b, p->b), Put(c, p->c), Put(d, p->d);
}

}  // extern "C"
