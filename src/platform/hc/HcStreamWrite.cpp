// The scene stream writer: the subtree as records in the text metafile's order (attributes,
// styles, includes, geometry, subsegments). Points and numbers are stored as their float
// images, so reading gives back the same values.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/HcStream.h"
#include "platform/hc/HcStreamCodec.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace ketra::hc {

namespace {

using namespace hsf;

class StreamWriter {
public:
    StreamWriter(const Segment& root, const std::function<bool(const Segment&)>& keep) : m_keep(keep) { Number(root); }

    std::string Run(const Segment& root) {
        m_out.reserve(1 << 16);
        m_out.append(kHeaderBytes, '\0');
        Body(root);
        const std::string_view body(m_out.data() + kHeaderBytes, m_out.size() - kHeaderBytes);
        const uint32_t crc = Crc32(body);
        const uint64_t length = body.size();
        char* h = m_out.data();
        std::memcpy(h, kStreamMagic.data(), 8);
        const uint32_t version = kStreamVersion, flags = 0;
        std::memcpy(h + 8, &version, 4);
        std::memcpy(h + 12, &flags, 4);
        std::memcpy(h + 16, &length, 8);
        std::memcpy(h + 24, &crc, 4);
        return std::move(m_out);
    }

private:
    void Number(const Segment& s) {
        m_ordinal.emplace(&s, static_cast<uint64_t>(m_ordinal.size()));
        for (const auto& child : s.children)
            if (Kept(*child))
                Number(*child);
    }

    // --- primitives
    void U8(uint8_t v) { m_out += static_cast<char>(v); }
    void VarU(uint64_t v) {
        while (v >= 0x80) {
            m_out += static_cast<char>((v & 0x7F) | 0x80);
            v >>= 7;
        }
        m_out += static_cast<char>(v);
    }
    void VarI(int64_t v) { VarU(ZigZag(v)); }
    void F32(float v) { m_out.append(reinterpret_cast<const char*>(&v), 4); }
    void Floats(const float* v, size_t n) { m_out.append(reinterpret_cast<const char*>(v), n * 4); }
    void Point(const Vec3& p) { Floats(&p.x, 3); }
    void Points(const std::vector<Vec3>& points) {
        VarU(points.size());
        static_assert(sizeof(Vec3) == 12);
        m_out.append(reinterpret_cast<const char*>(points.data()), points.size() * 12);
    }
    void Str(std::string_view s) {
        VarU(s.size());
        m_out += s;
    }

    // A record: tag, length filled in when it closes.
    size_t Begin(Tag tag) {
        U8(tag);
        m_out.append(4, '\0');
        return m_out.size();
    }
    void End(size_t start) {
        const uint32_t length = static_cast<uint32_t>(m_out.size() - start);
        std::memcpy(m_out.data() + start - 4, &length, 4);
    }

    // --- attributes
    void TextAttr(AttrId id, std::string_view value) {
        const size_t r = Begin(kAttribute);
        U8(id);
        Str(value);
        End(r);
    }
    void FloatAttr(AttrId id, const float* v, size_t n) {
        const size_t r = Begin(kAttribute);
        U8(id);
        Floats(v, n);
        End(r);
    }

    static std::string Num(float v) {
        char buf[32];
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    }
    static std::string RgbText(const Rgb& c) {
        return "R=" + Num(c.r) + " G=" + Num(c.g) + " B=" + Num(c.b);
    }

    void Colors(const ColorAttribute& color) {
        std::string spec;
        for (size_t i = 0; i < kColorChannelCount; ++i) {
            const ChannelColor& c = color.channels[i];
            std::string parts;
            auto add = [&](const std::string& part) {
                if (!parts.empty())
                    parts += ',';
                parts += part;
            };
            if (c.diffuse && c.diffuse->kind == Diffuse::Kind::Rgb)
                add("diffuse=" + RgbText(c.diffuse->rgb));
            else if (c.diffuse && c.diffuse->kind == Diffuse::Kind::Texture)
                add("diffuse=" + c.diffuse->texture);
            if (c.specular)
                add("specular=" + RgbText(*c.specular));
            if (c.transmission)
                add("transmission=" + RgbText(*c.transmission));
            if (c.emission)
                add("emission=" + RgbText(*c.emission));
            if (c.gloss)
                add("gloss=" + Num(*c.gloss));
            if (!parts.empty()) {
                if (!spec.empty())
                    spec += ',';
                spec += ColorChannelName(static_cast<ColorChannel>(i));
                spec += "=(" + parts + ")";
            }
        }
        if (!spec.empty())
            TextAttr(kColor, spec);
        for (size_t i = 0; i < kColorChannelCount; ++i) {
            const ChannelColor& c = color.channels[i];
            if (c.diffuse && c.diffuse->kind == Diffuse::Kind::Index) {
                const size_t r = Begin(kAttribute);
                U8(kColorIndex);
                Str(ColorChannelName(static_cast<ColorChannel>(i)));
                VarI(static_cast<int64_t>(c.diffuse->index));
                End(r);
            }
        }
    }

    void Options(AttrId id, const OptionMap& map) {
        if (!map.Empty())
            TextAttr(id, map.ToString());
    }

    // The attributes of a segment or item: its set (may be the empty one) and user options.
    void Attributes(const Entity& owner, const AttributeSet& a) {
        if (a.color)
            Colors(*a.color);
        if (a.colorMap) {
            std::string list;
            for (const Rgb& c : *a.colorMap) {
                if (!list.empty())
                    list += ',';
                list += RgbText(c);
            }
            TextAttr(kColorMap, list);
        }
        if (!a.visibility.Empty())
            TextAttr(kVisibility, FormatVisibility(a.visibility));
        if (!a.selectability.Empty())
            TextAttr(kSelectability, FormatSelectability(a.selectability));
        if (a.linePattern)
            TextAttr(kLinePattern, *a.linePattern);
        if (a.edgePattern)
            TextAttr(kEdgePattern, *a.edgePattern);
        if (a.facePattern)
            TextAttr(kFacePattern, *a.facePattern);
        if (a.markerSymbol)
            TextAttr(kMarkerSymbol, *a.markerSymbol);
        if (a.textAlignment)
            TextAttr(kTextAlignment, *a.textAlignment);
        if (a.lineWeight)
            FloatAttr(kLineWeight, &*a.lineWeight, 1);
        if (a.edgeWeight)
            FloatAttr(kEdgeWeight, &*a.edgeWeight, 1);
        if (a.markerSize)
            FloatAttr(kMarkerSize, &*a.markerSize, 1);
        Options(kTextFont, a.textFont);
        Options(kRenderingOptions, a.renderingOptions);
        Options(kHeuristics, a.heuristics);
        Options(kCallback, a.callbacks);
        if (owner.userOptions)
            Options(kUserOptions, *owner.userOptions);
        for (const auto& [index, value] : a.userIndex) {
            const size_t r = Begin(kAttribute);
            U8(kUserIndex);
            VarI(index);
            VarI(static_cast<int64_t>(value));
            End(r);
        }
        if (a.handedness) {
            const size_t r = Begin(kAttribute);
            U8(kHandedness);
            U8(*a.handedness == Handedness::Left ? 0 : 1);
            End(r);
        }
        if (a.modellingMatrix)
            FloatAttr(kMatrix, a.modellingMatrix->data(), 16);
        if (a.camera.set) {
            const Camera& c = a.camera;
            const float v[11] = {c.position.x, c.position.y, c.position.z, c.target.x, c.target.y,
                                 c.target.z,   c.up.x,       c.up.y,       c.up.z,     c.width,
                                 c.height};
            const size_t r = Begin(kAttribute);
            U8(kCamera);
            Floats(v, 11);
            U8(c.projection == Projection::Perspective ? 0 : c.projection == Projection::Orthographic ? 1 : 2);
            End(r);
        }
        if (a.window.set) {
            const float v[4] = {a.window.left, a.window.right, a.window.bottom, a.window.top};
            FloatAttr(kWindow, v, 4);
        }
        if (a.driver)
            Options(kDriverOptions, a.driver->options);
    }

    void ElementRecord(ElementKind kind, int a, int b, const ElementAttributes& e) {
        auto one = [&](auto&& write) {
            const size_t r = Begin(kElement);
            U8(kind);
            VarU(static_cast<uint64_t>(a));
            if (kind == kEdge)
                VarU(static_cast<uint64_t>(b));
            write();
            End(r);
        };
        if (e.color) {
            // One record per attribute, so a colour that is both RGB and indexed stays whole.
            const size_t before = m_out.size();
            std::string saved;
            Colors(*e.color);
            saved.assign(m_out, before, std::string::npos);
            m_out.resize(before);
            // `saved` holds one or more attribute records; each goes into its own element.
            size_t pos = 0;
            while (pos < saved.size()) {
                uint32_t len = 0;
                std::memcpy(&len, saved.data() + pos + 1, 4);
                const std::string_view rec(saved.data() + pos, 5 + len);
                one([&] { m_out += rec; });
                pos += 5 + len;
            }
        }
        if (!e.visibility.Empty())
            one([&] { TextAttr(kVisibility, FormatVisibility(e.visibility)); });
        if (e.normal)
            one([&] { FloatAttr(kNormal, &e.normal->x, 3); });
    }

    void ShellData(const hc::ShellData& d) {
        Points(d.points);
        VarU(d.faceList.size());
        for (int v : d.faceList)
            VarI(v);
    }

    void ShellRecords(const hc::ShellData& d) {
        if (d.elements) {
            std::vector<int> faces, vertices;
            for (const auto& kv : d.elements->faces)
                faces.push_back(kv.first);
            for (const auto& kv : d.elements->vertices)
                vertices.push_back(kv.first);
            std::sort(faces.begin(), faces.end());
            std::sort(vertices.begin(), vertices.end());
            for (int f : faces)
                ElementRecord(kFace, f, 0, d.elements->faces.at(f));
            for (const auto& [edge, attrs] : d.elements->edges)
                ElementRecord(kEdge, edge.first, edge.second, attrs);
            for (int v : vertices)
                ElementRecord(kVertex, v, 0, d.elements->vertices.at(v));
        }
        for (const LodLevel& level : d.lods) {
            const size_t r = Begin(kLod);
            VarU(static_cast<uint64_t>(level.level));
            for (const auto& item : level.items)
                if (const hc::ShellData* shell = item->Shell()) {
                    const size_t g = Begin(kGeometry);
                    U8(static_cast<uint8_t>(GeometryKind::Shell));
                    ShellData(*shell);
                    End(g);
                }
            End(r);
        }
    }

    void Item(const Geometry& g) {
        const size_t r = Begin(kGeometry);
        U8(static_cast<uint8_t>(g.type));
        switch (g.type) {
        case GeometryKind::Shell: {
            const auto& d = std::get<hc::ShellData>(g.data);
            ShellData(d);
            ShellRecords(d);
            break;
        }
        case GeometryKind::PolyCylinder: {
            const auto& d = std::get<PolyCylinderData>(g.data);
            Points(d.points);
            VarU(d.radii.size());
            Floats(d.radii.data(), d.radii.size());
            U8(static_cast<uint8_t>(d.capping));
            break;
        }
        case GeometryKind::Cylinder: {
            const auto& d = std::get<CylinderData>(g.data);
            Point(d.first);
            Point(d.second);
            F32(d.radius);
            U8(static_cast<uint8_t>(d.capping));
            break;
        }
        case GeometryKind::Line: {
            const auto& d = std::get<LineData>(g.data);
            Point(d.first);
            Point(d.second);
            break;
        }
        case GeometryKind::Polyline:
        case GeometryKind::Polygon:
            Points(std::get<PolylineData>(g.data).points);
            break;
        case GeometryKind::Marker:
            Point(std::get<MarkerData>(g.data).position);
            break;
        case GeometryKind::Text: {
            const auto& d = std::get<TextData>(g.data);
            Point(d.position);
            U8(d.unicode ? 1 : 0);
            Str(d.unicode ? hmf::ToUtf8(d.text) : hmf::ToLatin1(d.text));
            break;
        }
        case GeometryKind::Circle: {
            const auto& d = std::get<CircleData>(g.data);
            for (const Vec3& p : d.points)
                Point(p);
            break;
        }
        case GeometryKind::Ellipse:
        case GeometryKind::EllipticalArc: {
            const auto& d = std::get<EllipseData>(g.data);
            Point(d.center);
            Point(d.major);
            Point(d.minor);
            if (g.type == GeometryKind::EllipticalArc) {
                F32(d.start);
                F32(d.end);
            }
            break;
        }
        case GeometryKind::Image: {
            const auto& d = std::get<ImageData>(g.data);
            Point(d.position);
            Str(d.format);
            VarU(static_cast<uint64_t>(d.width));
            VarU(static_cast<uint64_t>(d.height));
            Str(d.name);
            Str(std::string_view(reinterpret_cast<const char*>(d.pixels.data()), d.pixels.size()));
            break;
        }
        case GeometryKind::DistantLight:
            Point(std::get<DistantLightData>(g.data).direction);
            break;
        case GeometryKind::CuttingPlane: {
            const auto& d = std::get<CuttingPlaneData>(g.data);
            const float v[4] = {d.a, d.b, d.c, d.d};
            Floats(v, 4);
            break;
        }
        }
        if (g.attributes || g.userOptions)
            Attributes(g, g.attributes ? *g.attributes : NoAttributes());
        End(r);
    }

    void Reference(const hc::Reference& ref, Tag tag) {
        if (!ref.target)
            return;
        const size_t r = Begin(tag);
        const auto it = m_ordinal.find(ref.target);
        if (it != m_ordinal.end()) {
            U8(kRefOrdinal);
            VarU(it->second);
        } else {
            U8(kRefPath);
            Str(Graph::Instance().PathName(*ref.target));
        }
        End(r);
    }

    void Body(const Segment& s) {
        if (s.attributes || s.userOptions)
            Attributes(s, s.attributes ? *s.attributes : NoAttributes());
        for (const auto& ref : s.styles)
            Reference(*ref, kStyle);
        for (const auto& ref : s.includes)
            Reference(*ref, kInclude);
        for (const auto& item : s.geometry)
            Item(*item);
        for (const auto& child : s.children) {
            if (!Kept(*child))
                continue;
            const size_t r = Begin(kSegment);
            Str(child->name);
            Body(*child);
            End(r);
        }
    }

    bool Kept(const Segment& s) const { return !m_keep || m_keep(s); }

    const std::function<bool(const Segment&)>& m_keep;
    std::unordered_map<const Segment*, uint64_t> m_ordinal;
    std::string m_out;
};

} // namespace

std::string StreamBytes(const Segment& root, const std::function<bool(const Segment&)>& keep) {
    return StreamWriter(root, keep).Run(root);
}

bool LooksLikeStream(std::string_view data) {
    return data.size() >= kStreamMagic.size() && data.substr(0, kStreamMagic.size()) == kStreamMagic;
}

} // namespace ketra::hc
