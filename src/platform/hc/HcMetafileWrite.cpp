// HC_Write_Metafile: a segment's subtree as a Ketra scene file (docs/hmf-format.md). Numbers
// are written in their shortest exact form, so reading the file back gives the same floats.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_map>

namespace ketra::hc {

namespace {

class Writer {
public:
    explicit Writer(const Segment& root) {
        Number(root);
        m_out.reserve(1 << 16);
    }

    std::string Run(const Segment& root) {
        m_out += "KETRA-HMF 1\n";
        Body(root, 0);
        m_out += "end-of-file\n";
        return std::move(m_out);
    }

private:
    // Segments inside the written subtree are referenced by their pre-order number.
    void Number(const Segment& s) {
        m_ordinal.emplace(&s, static_cast<int>(m_ordinal.size()));
        for (const auto& child : s.children)
            Number(*child);
    }

    void Indent(int depth) { m_out.append(static_cast<size_t>(depth) * 2, ' '); }

    void Num(double v) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_out.append(buf, r.ptr);
    }
    void Num(float v) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_out.append(buf, r.ptr);
    }
    void Int(long long v) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_out.append(buf, r.ptr);
    }
    void Point(const Vec3& p) {
        Num(p.x);
        m_out += ' ';
        Num(p.y);
        m_out += ' ';
        Num(p.z);
    }
    // A quoted byte string: printable ASCII as is, everything else escaped.
    void Quoted(std::string_view text) {
        static const char kHex[] = "0123456789abcdef";
        m_out += '"';
        for (unsigned char c : text) {
            if (c == '"' || c == '\\') {
                m_out += '\\';
                m_out += static_cast<char>(c);
            } else if (c >= 0x20 && c < 0x7f) {
                m_out += static_cast<char>(c);
            } else {
                m_out += "\\x";
                m_out += kHex[c >> 4];
                m_out += kHex[c & 15];
            }
        }
        m_out += '"';
    }
    void Line(int depth, std::string_view keyword) {
        Indent(depth);
        m_out += keyword;
    }

    std::string Rgb(const hc::Rgb& c) {
        std::string s = "R=";
        char buf[32];
        s.append(buf, std::to_chars(buf, buf + sizeof buf, c.r).ptr);
        s += " G=";
        s.append(buf, std::to_chars(buf, buf + sizeof buf, c.g).ptr);
        s += " B=";
        s.append(buf, std::to_chars(buf, buf + sizeof buf, c.b).ptr);
        return s;
    }

    // Colours: RGB and texture parts as one colour string; indexed diffuse colours apart,
    // since they are set by index.
    void Colors(const ColorAttribute& color, int depth, std::string_view prefix) {
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
                add("diffuse=" + Rgb(c.diffuse->rgb));
            else if (c.diffuse && c.diffuse->kind == Diffuse::Kind::Texture)
                add("diffuse=" + c.diffuse->texture);
            if (c.specular)
                add("specular=" + Rgb(*c.specular));
            if (c.transmission)
                add("transmission=" + Rgb(*c.transmission));
            if (c.emission)
                add("emission=" + Rgb(*c.emission));
            if (c.gloss) {
                char buf[32];
                add("gloss=" +
                    std::string(buf, std::to_chars(buf, buf + sizeof buf, *c.gloss).ptr));
            }
            if (!parts.empty()) {
                if (!spec.empty())
                    spec += ',';
                spec += ColorChannelName(static_cast<ColorChannel>(i));
                spec += "=(" + parts + ")";
            }
        }
        if (!spec.empty()) {
            Line(depth, prefix);
            m_out += "color ";
            Quoted(spec);
            m_out += '\n';
        }
        for (size_t i = 0; i < kColorChannelCount; ++i) {
            const ChannelColor& c = color.channels[i];
            if (c.diffuse && c.diffuse->kind == Diffuse::Kind::Index) {
                Line(depth, prefix);
                m_out += "color-index ";
                Quoted(ColorChannelName(static_cast<ColorChannel>(i)));
                m_out += ' ';
                Int(static_cast<long long>(c.diffuse->index));
                m_out += '\n';
            }
        }
    }

    void Text(int depth, std::string_view keyword, const std::string& value) {
        Line(depth, keyword);
        m_out += ' ';
        Quoted(value);
        m_out += '\n';
    }
    void Options(int depth, std::string_view keyword, const OptionMap& map) {
        if (!map.Empty())
            Text(depth, keyword, map.ToString());
    }

    void Attributes(const AttributeSet& a, int depth) {
        if (a.color)
            Colors(*a.color, depth, "");
        if (a.colorMap) {
            std::string list;
            for (const hc::Rgb& c : *a.colorMap) {
                if (!list.empty())
                    list += ',';
                list += Rgb(c);
            }
            Text(depth, "color-map", list);
        }
        if (!a.visibility.Empty())
            Text(depth, "visibility", FormatVisibility(a.visibility));
        if (!a.selectability.Empty())
            Text(depth, "selectability", FormatSelectability(a.selectability));
        if (a.linePattern)
            Text(depth, "line-pattern", *a.linePattern);
        if (a.edgePattern)
            Text(depth, "edge-pattern", *a.edgePattern);
        if (a.facePattern)
            Text(depth, "face-pattern", *a.facePattern);
        if (a.markerSymbol)
            Text(depth, "marker-symbol", *a.markerSymbol);
        if (a.textAlignment)
            Text(depth, "text-alignment", *a.textAlignment);
        auto number = [&](std::string_view keyword, float v) {
            Line(depth, keyword);
            m_out += ' ';
            Num(v);
            m_out += '\n';
        };
        if (a.lineWeight)
            number("line-weight", *a.lineWeight);
        if (a.edgeWeight)
            number("edge-weight", *a.edgeWeight);
        if (a.markerSize)
            number("marker-size", *a.markerSize);
        Options(depth, "text-font", a.textFont);
        Options(depth, "rendering-options", a.renderingOptions);
        Options(depth, "heuristics", a.heuristics);
        Options(depth, "callback", a.callbacks);
        Options(depth, "user-options", a.userOptions);
        for (const auto& [index, value] : a.userIndex) {
            Line(depth, "user-index ");
            Int(index);
            m_out += ' ';
            Int(static_cast<long long>(value));
            m_out += '\n';
        }
        if (a.handedness) {
            Line(depth, "handedness ");
            m_out += *a.handedness == Handedness::Left ? "left\n" : "right\n";
        }
        if (a.modellingMatrix) {
            Line(depth, "matrix");
            for (float v : *a.modellingMatrix) {
                m_out += ' ';
                Num(v);
            }
            m_out += '\n';
        }
        if (a.camera.set) {
            const Camera& c = a.camera;
            Line(depth, "camera ");
            Point(c.position);
            m_out += ' ';
            Point(c.target);
            m_out += ' ';
            Point(c.up);
            m_out += ' ';
            Num(c.width);
            m_out += ' ';
            Num(c.height);
            m_out += c.projection == Projection::Perspective ? " perspective\n"
                     : c.projection == Projection::Stretched ? " stretched\n"
                                                             : " orthographic\n";
        }
        if (a.window.set) {
            Line(depth, "window ");
            Num(a.window.left);
            m_out += ' ';
            Num(a.window.right);
            m_out += ' ';
            Num(a.window.bottom);
            m_out += ' ';
            Num(a.window.top);
            m_out += '\n';
        }
        if (a.driver)
            Options(depth, "driver-options", a.driver->options);
    }

    void Reference(const hc::Reference& ref, std::string_view keyword, int depth) {
        if (!ref.target)
            return;
        Line(depth, keyword);
        m_out += ' ';
        const auto it = m_ordinal.find(ref.target);
        if (it != m_ordinal.end()) {
            m_out += '#';
            Int(it->second);
        } else {
            Quoted(Graph::Instance().PathName(*ref.target));
        }
        m_out += '\n';
    }

    void ElementAttributes(std::string_view kind, const std::string& index,
                           const hc::ElementAttributes& e, int depth) {
        const std::string prefix = std::string(kind) + " " + index + " ";
        if (e.color)
            Colors(*e.color, depth, prefix);
        if (!e.visibility.Empty()) {
            Line(depth, prefix);
            m_out += "visibility ";
            Quoted(FormatVisibility(e.visibility));
            m_out += '\n';
        }
        if (e.normal) {
            Line(depth, prefix);
            m_out += "normal ";
            Point(*e.normal);
            m_out += '\n';
        }
    }

    void ShellBody(const ShellData& d, int depth) {
        for (const Vec3& p : d.points) {
            Line(depth, "");
            Point(p);
            m_out += '\n';
        }
        const std::vector<int>& list = d.faceList;
        for (size_t i = 0; i < list.size();) {
            const int count = list[i];
            const size_t len = static_cast<size_t>(count < 0 ? -static_cast<long>(count) : count);
            Line(depth, "f ");
            Int(count);
            for (size_t k = 1; k <= len && i + k < list.size(); ++k) {
                m_out += ' ';
                Int(list[i + k]);
            }
            m_out += '\n';
            i += len + 1;
        }
        if (d.elements) {
            // Sorted so that the file does not depend on hash order.
            std::vector<int> faces, vertices;
            for (const auto& kv : d.elements->faces)
                faces.push_back(kv.first);
            for (const auto& kv : d.elements->vertices)
                vertices.push_back(kv.first);
            std::sort(faces.begin(), faces.end());
            std::sort(vertices.begin(), vertices.end());
            for (int f : faces)
                ElementAttributes("face", std::to_string(f), d.elements->faces.at(f), depth);
            for (const auto& [edge, attrs] : d.elements->edges)
                ElementAttributes("edge",
                                  std::to_string(edge.first) + " " + std::to_string(edge.second),
                                  attrs, depth);
            for (int v : vertices)
                ElementAttributes("vertex", std::to_string(v), d.elements->vertices.at(v), depth);
        }
        for (const LodLevel& level : d.lods) {
            Line(depth, "lod ");
            Int(level.level);
            m_out += " {\n";
            // Levels hold bare shells: their own attributes are not kept.
            for (const auto& item : level.items)
                if (const ShellData* shell = item->Shell()) {
                    Line(depth + 1, "shell ");
                    Int(static_cast<long long>(shell->points.size()));
                    m_out += ' ';
                    Int(static_cast<long long>(shell->faceList.size()));
                    m_out += " {\n";
                    ShellBody(*shell, depth + 2);
                    Line(depth + 1, "}\n");
                }
            Line(depth, "}\n");
        }
    }

    void Points(const std::vector<Vec3>& points, int depth) {
        for (const Vec3& p : points) {
            Line(depth, "");
            Point(p);
            m_out += '\n';
        }
    }

    void Item(const Geometry& g, int depth) {
        Line(depth, "");
        bool block = g.attributes && !g.attributes->Empty();
        switch (g.type) {
        case GeometryKind::Shell: {
            const ShellData& d = std::get<ShellData>(g.data);
            m_out += "shell ";
            Int(static_cast<long long>(d.points.size()));
            m_out += ' ';
            Int(static_cast<long long>(d.faceList.size()));
            m_out += " {\n";
            ShellBody(d, depth + 1);
            block = true;
            break;
        }
        case GeometryKind::PolyCylinder: {
            const PolyCylinderData& d = std::get<PolyCylinderData>(g.data);
            m_out += "polycylinder ";
            Int(static_cast<long long>(d.points.size()));
            m_out += ' ';
            Int(static_cast<long long>(d.radii.size()));
            m_out += ' ';
            m_out += CappingName(d.capping);
            m_out += " {\n";
            Points(d.points, depth + 1);
            Line(depth + 1, "r");
            for (float r : d.radii) {
                m_out += ' ';
                Num(r);
            }
            m_out += '\n';
            block = true;
            break;
        }
        case GeometryKind::Cylinder: {
            const CylinderData& d = std::get<CylinderData>(g.data);
            m_out += "cylinder ";
            Point(d.first);
            m_out += ' ';
            Point(d.second);
            m_out += ' ';
            Num(d.radius);
            m_out += ' ';
            m_out += CappingName(d.capping);
            break;
        }
        case GeometryKind::Line: {
            const LineData& d = std::get<LineData>(g.data);
            m_out += "line ";
            Point(d.first);
            m_out += ' ';
            Point(d.second);
            break;
        }
        case GeometryKind::Polyline:
        case GeometryKind::Polygon: {
            const PolylineData& d = std::get<PolylineData>(g.data);
            m_out += g.type == GeometryKind::Polygon ? "polygon " : "polyline ";
            Int(static_cast<long long>(d.points.size()));
            m_out += " {\n";
            Points(d.points, depth + 1);
            block = true;
            break;
        }
        case GeometryKind::Marker:
            m_out += "marker ";
            Point(std::get<MarkerData>(g.data).position);
            break;
        case GeometryKind::Text: {
            const TextData& d = std::get<TextData>(g.data);
            m_out += d.unicode ? "text-unicode " : "text ";
            Point(d.position);
            m_out += ' ';
            Quoted(d.unicode ? ToUtf8(d.text) : ToBytes(d.text));
            break;
        }
        case GeometryKind::Circle: {
            const CircleData& d = std::get<CircleData>(g.data);
            m_out += "circle ";
            Point(d.points[0]);
            m_out += ' ';
            Point(d.points[1]);
            m_out += ' ';
            Point(d.points[2]);
            break;
        }
        case GeometryKind::Ellipse:
        case GeometryKind::EllipticalArc: {
            const EllipseData& d = std::get<EllipseData>(g.data);
            const bool arc = g.type == GeometryKind::EllipticalArc;
            m_out += arc ? "elliptical-arc " : "ellipse ";
            Point(d.center);
            m_out += ' ';
            Point(d.major);
            m_out += ' ';
            Point(d.minor);
            if (arc) {
                m_out += ' ';
                Num(d.start);
                m_out += ' ';
                Num(d.end);
            }
            break;
        }
        case GeometryKind::Image: {
            const ImageData& d = std::get<ImageData>(g.data);
            m_out += "image ";
            Point(d.position);
            m_out += ' ';
            Quoted(d.format);
            m_out += ' ';
            Int(d.width);
            m_out += ' ';
            Int(d.height);
            m_out += ' ';
            Quoted(d.name);
            m_out += " {\n";
            static const char kHex[] = "0123456789abcdef";
            for (size_t i = 0; i < d.pixels.size(); i += 64) {
                Line(depth + 1, "x ");
                for (size_t k = i; k < std::min(d.pixels.size(), i + 64); ++k) {
                    m_out += kHex[d.pixels[k] >> 4];
                    m_out += kHex[d.pixels[k] & 15];
                }
                m_out += '\n';
            }
            block = true;
            break;
        }
        case GeometryKind::DistantLight:
            m_out += "distant-light ";
            Point(std::get<DistantLightData>(g.data).direction);
            break;
        case GeometryKind::CuttingPlane: {
            const CuttingPlaneData& d = std::get<CuttingPlaneData>(g.data);
            m_out += "cutting-plane ";
            Num(d.a);
            m_out += ' ';
            Num(d.b);
            m_out += ' ';
            Num(d.c);
            m_out += ' ';
            Num(d.d);
            break;
        }
        }
        const bool opened = !m_out.empty() && m_out.back() == '\n';
        if (block && !opened)
            m_out += " {\n";
        else if (!block)
            m_out += '\n';
        if (block) {
            if (g.attributes)
                Attributes(*g.attributes, depth + 1);
            Line(depth, "}\n");
        }
    }

    static std::string ToBytes(const std::u16string& text) {
        std::string out;
        out.reserve(text.size());
        for (char16_t c : text)
            out += static_cast<char>(c & 0xff);
        return out;
    }

    // UTF-16 to UTF-8; unpaired surrogates are kept as three-byte sequences so that the
    // text comes back unit for unit.
    static std::string ToUtf8(const std::u16string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            uint32_t c = text[i];
            if (c >= 0xd800 && c < 0xdc00 && i + 1 < text.size() && text[i + 1] >= 0xdc00 &&
                text[i + 1] < 0xe000) {
                c = 0x10000 + ((c - 0xd800) << 10) + (text[i + 1] - 0xdc00);
                ++i;
            }
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xc0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3f));
            } else if (c < 0x10000) {
                out += static_cast<char>(0xe0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
                out += static_cast<char>(0x80 | (c & 0x3f));
            } else {
                out += static_cast<char>(0xf0 | (c >> 18));
                out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
                out += static_cast<char>(0x80 | (c & 0x3f));
            }
        }
        return out;
    }

    void Body(const Segment& s, int depth) {
        if (s.attributes)
            Attributes(*s.attributes, depth);
        for (const auto& ref : s.styles)
            Reference(*ref, "style", depth);
        for (const auto& ref : s.includes)
            Reference(*ref, "include", depth);
        for (const auto& item : s.geometry)
            Item(*item, depth);
        for (const auto& child : s.children) {
            Line(depth, "segment ");
            Quoted(child->name);
            m_out += " {\n";
            Body(*child, depth + 1);
            Line(depth, "}\n");
        }
    }

    std::unordered_map<const Segment*, int> m_ordinal;
    std::string m_out;
};

// Writes next to the destination, then renames over it: a reader never sees half a file and
// a failed write leaves the old file as it was.
bool WriteAtomically(const std::string& path, const std::string& data, std::string& error) {
    const std::string temp = path + ".tmp-" + std::to_string(reinterpret_cast<uintptr_t>(&data));
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = "cannot create '" + temp + "'";
        return false;
    }
    const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    const bool flushed = std::fflush(f) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed) {
        std::remove(temp.c_str());
        error = "cannot write '" + temp + "'";
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        error = "cannot replace '" + path + "': " + ec.message();
        return false;
    }
    return true;
}

} // namespace

// The text of a subtree as HC_Write_Metafile writes it.
std::string MetafileText(const Segment& root) {
    return Writer(root).Run(root);
}

} // namespace ketra::hc

void HC_Write_Metafile(const char* segment, const char* file, const char* options) {
    using namespace ketra::hc;
    static const char* fn = "HC_Write_Metafile";
    if (!segment || !file || !options) {
        ReportError(fn, HC_ERR_ARGUMENT, "segment, file or options is null");
        return;
    }
    if (file[0] == '\0') {
        ReportError(fn, HC_ERR_FILE, "the file name is empty");
        return;
    }
    std::string error;
    const Segment* root = Graph::Instance().Resolve(segment, false, &error);
    if (!root) {
        ReportError(fn, HC_ERR_PATH,
                    "no segment '" + std::string(segment) + "'" +
                        (error.empty() ? "" : ": " + error));
        return;
    }
    if (!WriteAtomically(file, MetafileText(*root), error))
        ReportError(fn, HC_ERR_FILE, error);
}
