// The scene stream reader. The stream is not trusted: the header, the checksum of the body
// and every record's length are checked first. A stream read into a new segment is read once,
// into a private staging segment that becomes the destination only when every record was
// accepted. Into an existing segment, as the text metafile reader does, the records first run
// into a private scratch segment through the same HC_* calls as the real read, failing on the
// first problem, and only a clean stream is read into the destination; that check pass inserts
// only what it must (shells whose attributes need an item to land on).
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/SceneFileNames.h"
#include "platform/hc/HcStream.h"
#include "platform/hc/HcStreamCodec.h"

#include <climits>
#include <cmath>
#include <vector>

namespace ketra::hc {

namespace {

using namespace hsf;

constexpr int kMaxDepth = 256;

class StreamReader;
StreamReader* g_activeStream = nullptr;

// A bounded view of the body; every read checks what is left.
struct Span {
    const char* p = nullptr;
    const char* end = nullptr;
    size_t Left() const { return static_cast<size_t>(end - p); }
    bool Empty() const { return p == end; }
};

class StreamReader {
public:
    StreamReader(std::string_view body, std::string name, bool dryRun)
        : m_body(body), m_name(std::move(name)), m_dryRun(dryRun) {}

    bool Run(Key root) {
        m_ordinals.push_back(root);
        HC_Open_Segment_By_Key(root);
        if (!Check(m_body.data()))
            return false;
        ++m_opened;
        Span all{m_body.data(), m_body.data() + m_body.size()};
        if (!SegmentBody(all, 0))
            return false;
        HC_Close_Segment();
        --m_opened;
        return Check(all.end) && References();
    }

    void HcError(const char* function, const char* message) {
        if (m_hcError.empty())
            m_hcError = std::string(function) + ": " + message;
    }
    const std::string& Error() const { return m_error; }
    // Deletes the segments outside the stream's own tree that its references made (a
    // refused stream leaves nothing behind).
    void UndoOutside() {
        for (Key key : m_madeOutside)
            if (Segment* s = Graph::Instance().FindSegment(key))
                detail::DeleteSegment(*s);
        m_madeOutside.clear();
    }

private:
    struct Ref {
        Key owner;
        bool style;
        long long ordinal;  // -1 for a path
        std::string path;
        size_t offset;
    };

    size_t Offset(const char* at) const { return kHeaderBytes + static_cast<size_t>(at - m_body.data()); }
    bool Fail(const char* at, const std::string& message) {
        if (m_error.empty())
            m_error = m_name + ": byte " + std::to_string(Offset(at)) + ": " + message;
        return false;
    }
    // Turns a problem an HC_* call reported into the read's failure.
    bool Check(const char* at) {
        if (m_hcError.empty())
            return true;
        return Fail(at, m_hcError);
    }

    // --- primitives (each false after reporting when the span is too short)
    bool U8(Span& s, uint8_t& v) {
        if (s.Left() < 1)
            return Fail(s.p, "the record ends early");
        v = static_cast<uint8_t>(*s.p++);
        return true;
    }
    bool VarU(Span& s, uint64_t& v) {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            uint8_t b = 0;
            if (!U8(s, b))
                return false;
            v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80))
                return true;
        }
        return Fail(s.p, "a number is longer than ten bytes");
    }
    bool VarI(Span& s, int64_t& v) {
        uint64_t u = 0;
        if (!VarU(s, u))
            return false;
        v = UnZigZag(u);
        return true;
    }
    // A count that must fit what is left, at `unit` bytes each.
    bool Count(Span& s, size_t unit, size_t& n) {
        const char* at = s.p;
        uint64_t v = 0;
        if (!VarU(s, v))
            return false;
        if (v > INT_MAX || (unit && v > s.Left() / unit))
            return Fail(at, "count " + std::to_string(v) + " does not fit the record");
        n = static_cast<size_t>(v);
        return true;
    }
    bool Floats(Span& s, size_t n, float* out) {
        if (s.Left() / 4 < n)
            return Fail(s.p, "the record ends early");
        if (n == 0)
            return true;  // an empty vector has no storage to copy into
        std::memcpy(out, s.p, n * 4);
        for (size_t i = 0; i < n; ++i)
            if (!std::isfinite(out[i]) || std::fabs(out[i]) > 3e38f)
                return Fail(s.p + i * 4, "a number is infinite, not a number or too large");
        s.p += n * 4;
        return true;
    }
    bool FloatVector(Span& s, size_t n, std::vector<float>& out) {
        out.resize(n);
        return Floats(s, n, out.data());
    }
    bool Str(Span& s, std::string& out) {
        size_t n = 0;
        if (!Count(s, 1, n))
            return false;
        out.assign(s.p, n);
        s.p += n;
        return true;
    }
    // The next record of `s`: its tag and payload.
    bool Record(Span& s, uint8_t& tag, Span& payload) {
        uint32_t length = 0;
        if (!U8(s, tag))
            return false;
        if (s.Left() < 4)
            return Fail(s.p, "a record header is cut short");
        std::memcpy(&length, s.p, 4);
        s.p += 4;
        if (length > s.Left())
            return Fail(s.p - 5, "record length " + std::to_string(length) + " runs past its block");
        payload = {s.p, s.p + length};
        s.p += length;
        return true;
    }
    bool Done(const Span& s, const char* what) {
        return s.Empty() ? true : Fail(s.p, std::string("extra bytes at the end of ") + what);
    }

    // --- attributes
    bool Attribute(Span s, bool element) {
        const char* at = s.p;
        uint8_t id = 0;
        if (!U8(s, id))
            return false;
        if (id == 0 || id > kAttrLast)
            return Fail(at, "unknown attribute " + std::to_string(id));
        const bool elementAttr = id == kColor || id == kColorIndex || id == kVisibility || id == kNormal;
        if (element && !elementAttr)
            return Fail(at, "attribute " + std::to_string(id) + " cannot be set on a face, edge or vertex");
        if (!element && id == kNormal)
            return Fail(at, "a normal is set only on a face, edge or vertex");
        std::string text;
        float v[16];
        switch (id) {
        case kColorIndex: {
            int64_t index = 0;
            if (!Str(s, text) || !VarI(s, index))
                return false;
            if (index < 0 || index > (1 << 20))
                return Fail(at, "colour index " + std::to_string(index) + " is out of range");
            HC_Set_Color_By_Index(text.c_str(), static_cast<int>(index));
            break;
        }
        case kLineWeight:
        case kEdgeWeight:
        case kMarkerSize:
            if (!Floats(s, 1, v))
                return false;
            if (id == kLineWeight)
                HC_Set_Line_Weight(v[0]);
            else if (id == kEdgeWeight)
                HC_Set_Edge_Weight(v[0]);
            else
                HC_Set_Marker_Size(v[0]);
            break;
        case kUserIndex: {
            int64_t index = 0, value = 0;
            if (!VarI(s, index) || !VarI(s, value))
                return false;
            if (index < LONG_MIN || index > LONG_MAX)
                return Fail(at, "user index out of range");
            HC_Set_User_Index(static_cast<long>(index),
                              reinterpret_cast<const void*>(static_cast<intptr_t>(value)));
            break;
        }
        case kHandedness: {
            uint8_t h = 0;
            if (!U8(s, h))
                return false;
            if (h > 1)
                return Fail(at, "handedness " + std::to_string(h) + " is neither left nor right");
            HC_Set_Handedness(h == 0 ? "left" : "right");
            break;
        }
        case kMatrix:
            if (!Floats(s, 16, v))
                return false;
            HC_Set_Modelling_Matrix(v);
            break;
        case kCamera: {
            uint8_t projection = 0;
            if (!Floats(s, 11, v) || !U8(s, projection))
                return false;
            if (projection > 2)
                return Fail(at, "unknown projection " + std::to_string(projection));
            static const char* const kProjection[] = {"perspective", "orthographic", "stretched"};
            HC_Set_Camera(v, v + 3, v + 6, v[9], v[10], kProjection[projection]);
            break;
        }
        case kWindow:
            if (!Floats(s, 4, v))
                return false;
            HC_Set_Window(v[0], v[1], v[2], v[3]);
            break;
        case kNormal:
            if (!Floats(s, 3, v))
                return false;
            HC_Set_Normal(v[0], v[1], v[2]);
            break;
        default: {
            if (!Str(s, text))
                return false;
            const char* t = text.c_str();
            if (text.size() != std::strlen(t))
                return Fail(at, "an attribute text holds a zero byte");
            switch (id) {
            case kColor: HC_Set_Color(t); break;
            case kColorMap: HC_Set_Color_Map(t); break;
            case kVisibility: HC_Set_Visibility(t); break;
            case kSelectability: HC_Set_Selectability(t); break;
            case kLinePattern: HC_Set_Line_Pattern(t); break;
            case kEdgePattern: HC_Set_Edge_Pattern(t); break;
            case kFacePattern: HC_Set_Face_Pattern(t); break;
            case kMarkerSymbol: HC_Set_Marker_Symbol(t); break;
            case kTextAlignment: HC_Set_Text_Alignment(t); break;
            case kTextFont: HC_Set_Text_Font(t); break;
            case kRenderingOptions: HC_Set_Rendering_Options(t); break;
            case kHeuristics: HC_Set_Heuristics(t); break;
            case kCallback: HC_Set_Callback(t); break;
            case kUserOptions: HC_Set_User_Options(t); break;
            case kDriverOptions: HC_Set_Driver_Options(t); break;
            default: return Fail(at, "unknown attribute " + std::to_string(id));
            }
        }
        }
        return Done(s, "an attribute") && Check(at);
    }

    // --- geometry
    bool PointArray(Span& s, std::vector<float>& points, size_t& count) {
        return Count(s, 12, count) && FloatVector(s, count * 3, points);
    }
    bool ShellData(Span& s, std::vector<float>& points, size_t& pcount, std::vector<int>& faces) {
        if (!PointArray(s, points, pcount))
            return false;
        size_t flen = 0;
        const char* at = s.p;
        if (!Count(s, 1, flen))
            return false;
        faces.resize(flen);
        for (size_t i = 0; i < flen;) {
            const char* faceAt = s.p;
            int64_t count = 0;
            if (!VarI(s, count))
                return false;
            // The range is checked before the sign is taken off: -INT64_MIN does not exist.
            const bool inRange = count != 0 && count >= INT_MIN + 1 && count <= INT_MAX;
            const int64_t len = !inRange ? 0 : count < 0 ? -count : count;
            if (!inRange || static_cast<uint64_t>(len) > flen - i - 1)
                return Fail(faceAt, "face count " + std::to_string(count) +
                                        " does not fit the face list of " + std::to_string(flen));
            faces[i++] = static_cast<int>(count);
            for (int64_t k = 0; k < len; ++k) {
                const char* indexAt = s.p;
                int64_t index = 0;
                if (!VarI(s, index))
                    return false;
                if (index < 0 || static_cast<uint64_t>(index) >= pcount)
                    return Fail(indexAt, "point index " + std::to_string(index) + " is outside 0 .. " +
                                             std::to_string(static_cast<long long>(pcount) - 1));
                faces[i++] = static_cast<int>(index);
            }
        }
        (void)at;
        return true;
    }

    static bool HasItemAttributes(Span s) {
        while (s.Left() >= 5) {
            const uint8_t tag = static_cast<uint8_t>(*s.p);
            if (tag == kAttribute || tag == kElement)
                return true;
            uint32_t length = 0;
            std::memcpy(&length, s.p + 1, 4);
            if (length > s.Left() - 5)
                return true;  // malformed: let the full read report it
            s.p += 5 + length;
        }
        return false;
    }

    // The records after an item's data: attributes, and for shells elements and levels.
    bool ItemRecords(Span& s, Key key, bool shell, bool inserted, int depth) {
        if (inserted) {
            HC_Open_Geometry(key);
            if (!Check(s.p))
                return false;
            ++m_opened;
        }
        while (!s.Empty()) {
            uint8_t tag = 0;
            Span payload;
            const char* at = s.p;
            if (!Record(s, tag, payload))
                return false;
            if (tag == kAttribute) {
                if (!Attribute(payload, false))
                    return false;
            } else if (shell && tag == kElement) {
                if (!Element(payload))
                    return false;
            } else if (shell && tag == kLod) {
                if (!Lod(payload, inserted, depth))
                    return false;
            } else {
                return Fail(at, "record " + std::to_string(tag) + " cannot follow this item");
            }
        }
        if (inserted) {
            HC_Close_Geometry();
            --m_opened;
            return Check(s.p);
        }
        return true;
    }

    bool Element(Span s) {
        const char* at = s.p;
        uint8_t kind = 0;
        uint64_t a = 0, b = 0;
        if (!U8(s, kind) || !VarU(s, a) || (kind == kEdge && !VarU(s, b)))
            return false;
        if (kind > kEdge)
            return Fail(at, "unknown element kind " + std::to_string(kind));
        if (a > INT_MAX || b > INT_MAX)
            return Fail(at, "element number out of range");
        if (kind == kFace)
            HC_Open_Face(static_cast<int>(a));
        else if (kind == kVertex)
            HC_Open_Vertex(static_cast<int>(a));
        else
            HC_Open_Edge(static_cast<int>(a), static_cast<int>(b));
        if (!Check(at))
            return false;
        ++m_opened;
        uint8_t tag = 0;
        Span payload;
        if (!Record(s, tag, payload))
            return false;
        if (tag != kAttribute)
            return Fail(at, "an element holds one attribute");
        if (!Attribute(payload, true) || !Done(s, "an element"))
            return false;
        if (kind == kFace)
            HC_Close_Face();
        else if (kind == kVertex)
            HC_Close_Vertex();
        else
            HC_Close_Edge();
        --m_opened;
        return Check(at);
    }

    bool Lod(Span s, bool inserted, int depth) {
        const char* at = s.p;
        uint64_t level = 0;
        if (!VarU(s, level))
            return false;
        if (level < 1 || level > 7)
            return Fail(at, "level of detail " + std::to_string(level) + " is outside 1 .. 7");
        if (inserted) {
            HC_Open_LOD(static_cast<int>(level));
            if (!Check(at))
                return false;
            ++m_opened;
        }
        std::vector<float> points;
        std::vector<int> faces;
        while (!s.Empty()) {
            uint8_t tag = 0, kind = 0;
            Span payload;
            const char* itemAt = s.p;
            if (!Record(s, tag, payload) || (tag == kGeometry && !U8(payload, kind)))
                return false;
            if (tag != kGeometry || kind != static_cast<uint8_t>(GeometryKind::Shell))
                return Fail(itemAt, "a level of detail holds only shells");
            size_t pcount = 0;
            if (!ShellData(payload, points, pcount, faces) || !Done(payload, "a level's shell"))
                return false;
            if (inserted) {
                HC_Insert_Shell(static_cast<int>(pcount), points.data(), static_cast<int>(faces.size()),
                                faces.data());
                if (!Check(itemAt))
                    return false;
            }
        }
        (void)depth;
        if (inserted) {
            HC_Close_LOD();
            --m_opened;
            return Check(s.p);
        }
        return true;
    }

    bool Geometry(Span s, int depth) {
        if (depth > kMaxDepth)
            return Fail(s.p, "blocks nest too deeply");
        const char* at = s.p;
        uint8_t kindByte = 0;
        if (!U8(s, kindByte))
            return false;
        if (kindByte > static_cast<uint8_t>(GeometryKind::CuttingPlane))
            return Fail(at, "unknown geometry kind " + std::to_string(kindByte));
        const auto kind = static_cast<GeometryKind>(kindByte);
        std::vector<float> points;
        size_t count = 0;
        float v[12];
        Key key = kNoKey;
        auto capping = [&](uint8_t c) -> const char* {
            return c <= 3 ? CappingName(static_cast<Capping>(c)) : nullptr;
        };
        switch (kind) {
        case GeometryKind::Shell: {
            std::vector<int> faces;
            if (!ShellData(s, points, count, faces))
                return false;
            const bool insert = !m_dryRun || HasItemAttributes(s);
            if (insert) {
                key = HC_Insert_Shell(static_cast<int>(count), points.data(), static_cast<int>(faces.size()),
                                      faces.data());
                if (!Check(at))
                    return false;
            }
            return ItemRecords(s, key, true, insert, depth);
        }
        case GeometryKind::PolyCylinder: {
            std::vector<float> radii;
            size_t rcount = 0;
            uint8_t c = 0;
            if (!PointArray(s, points, count) || !Count(s, 4, rcount) || !FloatVector(s, rcount, radii) ||
                !U8(s, c))
                return false;
            if (!capping(c))
                return Fail(at, "unknown capping " + std::to_string(c));
            key = HC_Insert_PolyCylinder(static_cast<int>(count), points.data(), static_cast<int>(rcount),
                                         radii.data(), capping(c));
            break;
        }
        case GeometryKind::Cylinder: {
            uint8_t c = 0;
            if (!Floats(s, 7, v) || !U8(s, c))
                return false;
            if (!capping(c))
                return Fail(at, "unknown capping " + std::to_string(c));
            key = HC_Insert_Cylinder(v, v + 3, v[6], capping(c));
            break;
        }
        case GeometryKind::Line:
            if (!Floats(s, 6, v))
                return false;
            key = HC_Insert_Line(v[0], v[1], v[2], v[3], v[4], v[5]);
            break;
        case GeometryKind::Polyline:
        case GeometryKind::Polygon:
            if (!PointArray(s, points, count))
                return false;
            key = kind == GeometryKind::Polyline ? HC_Insert_Polyline(static_cast<int>(count), points.data())
                                                 : HC_Insert_Polygon(static_cast<int>(count), points.data());
            break;
        case GeometryKind::Marker:
            if (!Floats(s, 3, v))
                return false;
            key = HC_Insert_Marker(v[0], v[1], v[2]);
            break;
        case GeometryKind::Text: {
            uint8_t unicode = 0;
            std::string text;
            if (!Floats(s, 3, v) || !U8(s, unicode) || !Str(s, text))
                return false;
            if (unicode > 1)
                return Fail(at, "unknown text encoding " + std::to_string(unicode));
            if (unicode == 0) {
                if (text.find('\0') != std::string::npos)
                    return Fail(at, "the text holds a zero byte");
                key = HC_Insert_Text(v[0], v[1], v[2], text.c_str());
            } else {
                std::u16string units;
                if (!hmf::FromUtf8(text, units))
                    return Fail(at, "the text is not UTF-8");
                key = HC_Insert_Text_With_Encoding(v[0], v[1], v[2], "unicode", units.c_str());
            }
            break;
        }
        case GeometryKind::Circle:
            if (!Floats(s, 9, v))
                return false;
            key = HC_Insert_Circle(v, v + 3, v + 6);
            break;
        case GeometryKind::Ellipse:
        case GeometryKind::EllipticalArc: {
            const bool arc = kind == GeometryKind::EllipticalArc;
            if (!Floats(s, arc ? 11 : 9, v))
                return false;
            key = arc ? HC_Insert_Elliptical_Arc(v, v + 3, v + 6, v[9], v[10]) : HC_Insert_Ellipse(v, v + 3, v + 6);
            break;
        }
        case GeometryKind::Image: {
            std::string format, name, pixels;
            uint64_t width = 0, height = 0;
            if (!Floats(s, 3, v) || !Str(s, format) || !VarU(s, width) || !VarU(s, height) || !Str(s, name) ||
                !Str(s, pixels))
                return false;
            const size_t bpp = format == "rgb" ? 3 : format == "rgba" ? 4 : format == "grayscale" ? 1 : 0;
            if (bpp == 0)
                return Fail(at, "unknown image format '" + format + "'");
            if (width == 0 || height == 0 || width > 65536 || height > 65536 || width * height * bpp != pixels.size())
                return Fail(at, "image size " + std::to_string(width) + " x " + std::to_string(height) +
                                    " does not match its " + std::to_string(pixels.size()) + " bytes");
            for (char c : name)
                if (c == ',' || c == '(' || c == ')' || c == '=' || c == '\'' || c == '"' || c == '\0')
                    return Fail(at, "image name '" + name + "' holds a separator");
            const std::string full = name.empty() ? format : format + ", name = " + name;
            key = HC_Insert_Image(v[0], v[1], v[2], full.c_str(), static_cast<int>(width), static_cast<int>(height),
                                  pixels.data());
            break;
        }
        case GeometryKind::DistantLight:
            if (!Floats(s, 3, v))
                return false;
            key = HC_Insert_Distant_Light(v[0], v[1], v[2]);
            break;
        case GeometryKind::CuttingPlane:
            if (!Floats(s, 4, v))
                return false;
            key = HC_Insert_Cutting_Plane(v[0], v[1], v[2], v[3]);
            break;
        }
        if (!Check(at))
            return false;
        return ItemRecords(s, key, false, true, depth);
    }

    // --- segments and references
    bool SegmentBody(Span& s, int depth) {
        if (depth > kMaxDepth)
            return Fail(s.p, "segments nest too deeply");
        const Key owner = HC_KShow_Open_Segment();
        while (!s.Empty()) {
            uint8_t tag = 0;
            Span payload;
            const char* at = s.p;
            if (!Record(s, tag, payload))
                return false;
            switch (tag) {
            case kSegment: {
                std::string name;
                if (!Str(payload, name))
                    return false;
                if (const std::string problem = hmf::NameLengthProblem(name); !problem.empty())
                    return Fail(at, problem);
                if (name.find('\0') != std::string::npos || !hmf::ValidSegmentName(name))
                    return Fail(at, "'" + name + "' is not a segment name");
                HC_Open_Segment(name.c_str());
                if (!Check(at))
                    return false;
                ++m_opened;
                m_ordinals.push_back(HC_KShow_Open_Segment());
                if (!SegmentBody(payload, depth + 1))
                    return false;
                HC_Close_Segment();
                --m_opened;
                if (!Check(at))
                    return false;
                break;
            }
            case kStyle:
            case kInclude: {
                Ref r{owner, tag == kStyle, -1, {}, Offset(at)};
                uint8_t form = 0;
                if (!U8(payload, form))
                    return false;
                if (form == kRefOrdinal) {
                    uint64_t ordinal = 0;
                    if (!VarU(payload, ordinal))
                        return false;
                    if (ordinal > INT_MAX)
                        return Fail(at, "no segment #" + std::to_string(ordinal) + " in the file");
                    r.ordinal = static_cast<long long>(ordinal);
                } else if (form == kRefPath) {
                    if (!Str(payload, r.path))
                        return false;
                    if (const std::string problem = hmf::NameLengthProblem(r.path); !problem.empty())
                        return Fail(at, problem);
                    if (r.path.find('\0') != std::string::npos || !hmf::ValidAbsolutePath(r.path))
                        return Fail(at, "'" + r.path + "' is not an absolute segment path");
                } else {
                    return Fail(at, "unknown reference form " + std::to_string(form));
                }
                if (!Done(payload, "a reference"))
                    return false;
                m_refs.push_back(std::move(r));
                break;
            }
            case kAttribute:
                if (!Attribute(payload, false))
                    return false;
                break;
            case kGeometry:
                if (!Geometry(payload, depth + 1))
                    return false;
                break;
            default:
                return Fail(at, "record " + std::to_string(tag) + " cannot stand in a segment");
            }
        }
        return true;
    }

    bool References() {
        for (const Ref& r : m_refs) {
            Key target = kNoKey;
            const std::string where = m_name + ": byte " + std::to_string(r.offset) + ": ";
            if (r.ordinal >= 0) {
                if (static_cast<size_t>(r.ordinal) >= m_ordinals.size()) {
                    m_error = where + "no segment #" + std::to_string(r.ordinal) + " in the file";
                    return false;
                }
                target = m_ordinals[static_cast<size_t>(r.ordinal)];
            } else if (m_dryRun) {
                continue;  // outside the file: made only by the real read
            }
            HC_Open_Segment_By_Key(r.owner);
            if (!m_hcError.empty()) {
                m_error = where + m_hcError;
                return false;
            }
            ++m_opened;
            if (target != kNoKey) {
                if (r.style)
                    HC_Style_Segment_By_Key(target);
                else
                    HC_Include_Segment_By_Key(target);
            } else {
                const std::string missing = OutermostMissing(r.path);
                if (r.style)
                    HC_Style_Segment(r.path.c_str());
                else
                    HC_Include_Segment(r.path.c_str());
                if (!missing.empty())
                    if (const Segment* made = Graph::Instance().Resolve(missing, false))
                        m_madeOutside.push_back(made->key);
            }
            HC_Close_Segment();
            --m_opened;
            if (!m_hcError.empty()) {
                m_error = where + m_hcError;
                return false;
            }
        }
        return true;
    }

    // The outermost segment of an absolute path that does not exist yet ("" when it does):
    // what a reference to the path would create.
    static std::string OutermostMissing(const std::string& path) {
        Graph& graph = Graph::Instance();
        for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
            const std::string prefix = path.substr(0, slash);
            if (!graph.Resolve(prefix, false))
                return prefix;
            if (slash == std::string::npos)
                return "";
        }
    }

    std::vector<Key> m_madeOutside;
    std::string_view m_body;
    std::string m_name;
    bool m_dryRun;
    std::vector<Key> m_ordinals;
    std::vector<Ref> m_refs;
    std::string m_error, m_hcError;
    int m_opened = 0;
};

void CaptureStreamError(int, int, int severity, const char* function, const char* message) {
    if (severity >= HC_SEV_ERROR && g_activeStream)
        g_activeStream->HcError(function ? function : "", message ? message : "");
}

bool RunStreamPass(StreamReader& reader, Key root) {
    return detail::RunWithErrorHandler(&CaptureStreamError, [&] {
        g_activeStream = &reader;
        const bool ok = reader.Run(root);
        g_activeStream = nullptr;
        return ok;
    });
}

bool CheckHeader(std::string_view data, const std::string& name, std::string_view& body, std::string& error) {
    auto fail = [&](const std::string& message) {
        error = name + ": " + message;
        return false;
    };
    if (!LooksLikeStream(data))
        return fail("not a Ketra scene stream (it does not start with KETRAHSF)");
    if (data.size() < kHeaderBytes)
        return fail("the header is cut short (" + std::to_string(data.size()) + " of " +
                    std::to_string(kHeaderBytes) + " bytes)");
    uint32_t version = 0, flags = 0, crc = 0;
    uint64_t length = 0;
    std::memcpy(&version, data.data() + 8, 4);
    std::memcpy(&flags, data.data() + 12, 4);
    std::memcpy(&length, data.data() + 16, 8);
    std::memcpy(&crc, data.data() + 24, 4);
    if (version != kStreamVersion)
        return fail("stream version " + std::to_string(version) + " is not supported (this program reads " +
                    std::to_string(kStreamVersion) + ")");
    if (flags != 0)
        return fail("unknown stream flags " + std::to_string(flags));
    const uint64_t have = data.size() - kHeaderBytes;
    if (have < length)
        return fail("the file is cut short: " + std::to_string(have) + " of " + std::to_string(length) +
                    " bytes of scene data");
    if (have > length)
        return fail(std::to_string(have - length) + " bytes after the end of the scene data");
    body = data.substr(kHeaderBytes);
    if (hsf::Crc32(body) != crc)
        return fail("the scene data is damaged (checksum mismatch)");
    return true;
}

// A destination that does not exist yet is read in one pass: into a private staging segment,
// deleted when the stream is refused, else renamed into place (keys, and so includes of the
// stream's own segments, stay valid).
bool ReadIntoNewSegment(std::string_view body, const std::string& name, const std::string& destination,
                        std::string& error) {
    Graph& graph = Graph::Instance();
    Segment* staging = detail::CreateChild(graph.Root(), "");
    if (!staging) {
        error = "cannot create a staging segment";
        return false;
    }
    const Key key = staging->key;
    StreamReader read(body, name, false);
    bool ok = RunStreamPass(read, key);
    if (!ok)
        error = read.Error();
    if (ok) {
        const std::string stagingPath = graph.PathName(*graph.FindSegment(key));
        HC_Rename_Segment(stagingPath.c_str(), destination.c_str());
        ok = graph.Resolve(destination, false) == graph.FindSegment(key);
        if (!ok)
            error = name + ": cannot make the segment '" + destination + "'";
    }
    if (!ok) {
        read.UndoOutside();
        if (Segment* s = graph.FindSegment(key))
            detail::DeleteSegment(*s);
    }
    return ok;
}

} // namespace

bool ReadStreamBytes(std::string_view data, std::string_view name, std::string_view into, std::string& error) {
    const std::string fileName(name);
    std::string_view body;
    if (!CheckHeader(data, fileName, body, error))
        return false;
    Graph& graph = Graph::Instance();
    const std::string destination(into);
    if (hmf::ValidAbsolutePath(destination) && !graph.Resolve(destination, false))
        return ReadIntoNewSegment(body, fileName, destination, error);
    Segment* scratch = detail::CreateChild(graph.Root(), "");
    if (!scratch) {
        error = "cannot create a scratch segment";
        return false;
    }
    const Key scratchKey = scratch->key;
    bool ok = false;
    {
        StreamReader check(body, fileName, true);
        ok = RunStreamPass(check, scratchKey);
        if (!ok)
            error = check.Error();
    }
    if (Segment* s = graph.FindSegment(scratchKey))
        detail::DeleteSegment(*s);
    if (!ok)
        return false;

    std::string resolveError;
    Segment* target = graph.Resolve(destination, true, &resolveError);
    if (!target) {
        error = "cannot open the segment '" + destination + "'" + (resolveError.empty() ? "" : ": " + resolveError);
        return false;
    }
    StreamReader read(body, fileName, false);
    if (!RunStreamPass(read, target->key)) {
        error = read.Error();
        read.UndoOutside();
        return false;
    }
    return true;
}

} // namespace ketra::hc
