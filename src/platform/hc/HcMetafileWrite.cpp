// HC_Write_Metafile: a segment's subtree as a Ketra scene file (docs/hmf-format.md). Numbers
// are written in their shortest exact form, so reading the file back gives the same floats.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/OptionParser.h"

#include <algorithm>
#include <set>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace ketra::hc {

namespace {

class Writer {
public:
    Writer(const Segment& root, const SegmentFilter& keep) : m_keep(keep) {
        Number(root);
        m_out.reserve(1 << 16);
    }

    std::string Run(const Segment& root) {
        m_out += "KETRA-HMF 1\n";
        Definitions(root);
        Body(root, 0);
        m_out += "end-of-file\n";
        return std::move(m_out);
    }

private:
    // Segments inside the written subtree are referenced by their pre-order number.
    void Number(const Segment& s) {
        m_ordinal.emplace(&s, static_cast<int>(m_ordinal.size()));
        for (const auto& child : s.children)
            if (Kept(*child))
                Number(*child);
    }

    // The glyphs and line styles the subtree names (line and edge patterns, marker symbols,
    // and the glyphs of those line styles), so the file draws the same elsewhere. Callback
    // names are kept as attributes; their functions belong to the program.
    void CollectNames(const AttributeSet& a, std::set<std::string>& names) {
        for (const auto* text : {&a.linePattern, &a.edgePattern, &a.markerSymbol})
            if (*text)
                names.insert(NormalizeName(**text));
    }
    void CollectNames(const Segment& s, std::set<std::string>& names) {
        if (s.attributes)
            CollectNames(*s.attributes, names);
        for (const auto& item : s.geometry) {
            if (item->attributes)
                CollectNames(*item->attributes, names);
            if (const ShellData* shell = item->Shell())
                for (const LodLevel& level : shell->lods)
                    for (const auto& part : level.items)
                        if (part->attributes)
                            CollectNames(*part->attributes, names);
        }
        for (const auto& child : s.children)
            if (Kept(*child))
                CollectNames(*child, names);
    }
    void Definitions(const Segment& root) {
        std::set<std::string> names;
        CollectNames(root, names);
        const hc::Definitions& defs = Graph::Instance().Defs();
        std::vector<std::pair<std::string, std::string>> styles;
        for (const auto& [name, definition] : defs.lineStyles) {
            if (!names.count(NormalizeName(name)))
                continue;
            styles.push_back({name, definition});
            std::vector<OptionItem> items;
            if (ParseOptionList(definition, items, nullptr))
                for (const OptionItem& item : items)
                    if (item.hasValue)
                        names.insert(NormalizeName(item.value));
        }
        for (const auto& [key, data] : defs.glyphs) {
            if (!names.count(key))
                continue;
            const auto name = defs.glyphNames.find(key);
            Row(0, "", "glyph", Quote{name != defs.glyphNames.end() ? name->second : key},
                data.size());
            m_out.pop_back();
            for (signed char b : data)
                Fields("", static_cast<int>(b));
            m_out += '\n';
        }
        for (const auto& [name, definition] : styles)
            Row(0, "", "line-style", Quote{name}, Quote{definition});
    }

    // A user key given with HC_Renumber_Key.
    void UserKey(const Entity& e, int depth) {
        if (e.hasUserKey)
            Row(depth, "", "user-key", static_cast<long long>(e.userKey),
                e.userKeyLocal ? "local" : "global");
    }

    void Indent(int depth) { m_out.append(static_cast<size_t>(depth) * 2, ' '); }

    // Numbers in their shortest exact form: a float as a float, a double as a double.
    template <typename T> void Num(T v) {
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_out.append(buf, r.ptr);
    }
    void Int(long long v) { Num(v); }
    void Point(const Vec3& p) { Fields(p.x, p.y, p.z); }

    // A field of a line: a point, a number, a bare word or a quoted string.
    struct Quote {
        std::string_view text;
    };
    void Field(const Vec3& p) { Point(p); }
    void Field(float v) { Num(v); }
    void Field(double v) { Num(v); }
    template <std::integral T> void Field(T v) { Int(static_cast<long long>(v)); }
    void Field(std::string_view word) { m_out += word; }
    void Field(Quote q) { Quoted(q.text); }
    // Fields separated by single blanks.
    template <typename First, typename... Rest>
    void Fields(const First& first, const Rest&... rest) {
        Field(first);
        ((m_out += ' ', Field(rest)), ...);
    }
    // A whole line at `depth`; `prefix` names a shell element ("face 3 ") when not empty.
    template <typename... A> void Row(int depth, std::string_view prefix, const A&... fields) {
        Line(depth, prefix);
        Fields(fields...);
        m_out += '\n';
    }
    // The first line of a block; its content follows at depth + 1 and Close ends it.
    template <typename... A> void Open(int depth, const A&... fields) {
        Indent(depth);
        Fields(fields...);
        m_out += " {\n";
    }
    void Close(int depth) { Line(depth, "}\n"); }
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
        if (!spec.empty())
            Row(depth, prefix, "color", Quote{spec});
        for (size_t i = 0; i < kColorChannelCount; ++i) {
            const ChannelColor& c = color.channels[i];
            if (c.diffuse && c.diffuse->kind == Diffuse::Kind::Index)
                Row(depth, prefix, "color-index",
                    Quote{ColorChannelName(static_cast<ColorChannel>(i))},
                    static_cast<long long>(c.diffuse->index));
        }
    }

    void Text(int depth, std::string_view keyword, const std::string& value) {
        Row(depth, "", keyword, Quote{value});
    }
    void Options(int depth, std::string_view keyword, const OptionMap& map) {
        if (!map.Empty())
            Text(depth, keyword, map.ToString());
    }

    // The attributes of a segment or item: its set (may be the empty one) and user options.
    void Attributes(const Entity& owner, const AttributeSet& a, int depth) {
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
        if (a.lineWeight)
            Row(depth, "", "line-weight", *a.lineWeight);
        if (a.edgeWeight)
            Row(depth, "", "edge-weight", *a.edgeWeight);
        if (a.markerSize)
            Row(depth, "", "marker-size", *a.markerSize);
        Options(depth, "text-font", a.textFont);
        Options(depth, "rendering-options", a.renderingOptions);
        Options(depth, "heuristics", a.heuristics);
        Options(depth, "callback", a.callbacks);
        if (owner.userOptions)
            Options(depth, "user-options", *owner.userOptions);
        for (const auto& [index, value] : a.userIndex)
            Row(depth, "", "user-index", index, value);
        if (a.handedness)
            Row(depth, "", "handedness", *a.handedness == Handedness::Left ? "left" : "right");
        if (a.modellingMatrix) {
            Line(depth, "matrix");
            Numbers(*a.modellingMatrix);
            m_out += '\n';
        }
        if (a.camera.set) {
            const Camera& c = a.camera;
            Row(depth, "", "camera", c.position, c.target, c.up, c.width, c.height,
                c.projection == Projection::Perspective  ? "perspective"
                : c.projection == Projection::Stretched ? "stretched"
                                                         : "orthographic");
        }
        if (a.window.set)
            Row(depth, "", "window", a.window.left, a.window.right, a.window.bottom, a.window.top);
        if (a.driver)
            Options(depth, "driver-options", a.driver->options);
    }

    // Each number of a list after a blank.
    template <typename List> void Numbers(const List& list) {
        for (const auto& v : list)
            Fields("", v);
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
        if (!e.visibility.Empty())
            Row(depth, prefix, "visibility", Quote{FormatVisibility(e.visibility)});
        if (e.normal)
            Row(depth, prefix, "normal", *e.normal);
    }

    void ShellBody(const ShellData& d, int depth) {
        Points(d.points, depth);
        const std::vector<int>& list = d.faceList;
        for (size_t i = 0; i < list.size();) {
            const int count = list[i];
            const size_t len = static_cast<size_t>(count < 0 ? -static_cast<long>(count) : count);
            Line(depth, "f ");
            Int(count);
            for (size_t k = 1; k <= len && i + k < list.size(); ++k)
                Fields("", list[i + k]);
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
            Open(depth, "lod", level.level);
            for (const auto& item : level.items)
                if (const ShellData* shell = item->Shell()) {
                    Open(depth + 1, "shell", shell->points.size(), shell->faceList.size());
                    ShellBody(*shell, depth + 2);
                    UserKey(*item, depth + 2);
                    if ((item->attributes && !item->attributes->Empty()) || item->userOptions)
                        Attributes(*item, item->attributes ? *item->attributes : NoAttributes(), depth + 2);
                    Close(depth + 1);
                }
            Close(depth);
        }
    }

    void Points(const std::vector<Vec3>& points, int depth) {
        for (const Vec3& p : points)
            Row(depth, "", p);
    }

    // One geometry item: its line, then a block for its points, pixels or attributes.
    void Item(const Geometry& g, int depth) {
        Line(depth, "");
        bool block = (g.attributes && !g.attributes->Empty()) || g.hasUserKey;
        bool opened = false;  // the item's line already ends in " {"
        auto open = [&](const auto&... fields) {
            Fields(fields...);
            m_out += " {\n";
            block = opened = true;
        };
        switch (g.type) {
        case GeometryKind::Shell: {
            const ShellData& d = std::get<ShellData>(g.data);
            open("shell", d.points.size(), d.faceList.size());
            ShellBody(d, depth + 1);
            break;
        }
        case GeometryKind::PolyCylinder: {
            const PolyCylinderData& d = std::get<PolyCylinderData>(g.data);
            open("polycylinder", d.points.size(), d.radii.size(), CappingName(d.capping));
            Points(d.points, depth + 1);
            Line(depth + 1, "r");
            Numbers(d.radii);
            m_out += '\n';
            break;
        }
        case GeometryKind::Cylinder: {
            const CylinderData& d = std::get<CylinderData>(g.data);
            Fields("cylinder", d.first, d.second, d.radius, CappingName(d.capping));
            break;
        }
        case GeometryKind::Line: {
            const LineData& d = std::get<LineData>(g.data);
            Fields("line", d.first, d.second);
            break;
        }
        case GeometryKind::Polyline:
        case GeometryKind::Polygon: {
            const PolylineData& d = std::get<PolylineData>(g.data);
            open(g.type == GeometryKind::Polygon ? "polygon" : "polyline", d.points.size());
            Points(d.points, depth + 1);
            break;
        }
        case GeometryKind::Marker:
            Fields("marker", std::get<MarkerData>(g.data).position);
            break;
        case GeometryKind::Text: {
            const TextData& d = std::get<TextData>(g.data);
            Fields(d.unicode ? "text-unicode" : "text", d.position,
                   Quote{d.unicode ? hmf::ToUtf8(d.text) : hmf::ToLatin1(d.text)});
            break;
        }
        case GeometryKind::Circle: {
            const CircleData& d = std::get<CircleData>(g.data);
            Fields("circle", d.points[0], d.points[1], d.points[2]);
            break;
        }
        case GeometryKind::Ellipse:
        case GeometryKind::EllipticalArc: {
            const EllipseData& d = std::get<EllipseData>(g.data);
            const bool arc = g.type == GeometryKind::EllipticalArc;
            Fields(arc ? "elliptical-arc" : "ellipse", d.center, d.major, d.minor);
            if (arc)
                Fields("", d.start, d.end);
            break;
        }
        case GeometryKind::Image: {
            const ImageData& d = std::get<ImageData>(g.data);
            open("image", d.position, Quote{d.format}, d.width, d.height, Quote{d.name});
            static const char kHex[] = "0123456789abcdef";
            for (size_t i = 0; i < d.pixels.size(); i += 64) {
                Line(depth + 1, "x ");
                for (size_t k = i; k < std::min(d.pixels.size(), i + 64); ++k) {
                    m_out += kHex[d.pixels[k] >> 4];
                    m_out += kHex[d.pixels[k] & 15];
                }
                m_out += '\n';
            }
            break;
        }
        case GeometryKind::DistantLight:
            Fields("distant-light", std::get<DistantLightData>(g.data).direction);
            break;
        case GeometryKind::CuttingPlane: {
            const CuttingPlaneData& d = std::get<CuttingPlaneData>(g.data);
            Fields("cutting-plane", d.a, d.b, d.c, d.d);
            break;
        }
        }
        if (!block) {
            m_out += '\n';
            return;
        }
        if (!opened)
            m_out += " {\n";
        UserKey(g, depth + 1);
        if (g.attributes || g.userOptions)
            Attributes(g, g.attributes ? *g.attributes : NoAttributes(), depth + 1);
        Close(depth);
    }

    void Body(const Segment& s, int depth) {
        if (s.attributes || s.userOptions)
            Attributes(s, s.attributes ? *s.attributes : NoAttributes(), depth);
        for (const auto& ref : s.styles)
            Reference(*ref, "style", depth);
        for (const auto& ref : s.includes)
            Reference(*ref, "include", depth);
        for (const auto& item : s.geometry)
            Item(*item, depth);
        for (const auto& child : s.children) {
            if (!Kept(*child))
                continue;
            Open(depth, "segment", Quote{child->name});
            UserKey(*child, depth + 1);
            Body(*child, depth + 1);
            Close(depth);
        }
    }

    bool Kept(const Segment& s) const { return !m_keep || m_keep(s); }

    const SegmentFilter& m_keep;
    std::unordered_map<const Segment*, int> m_ordinal;
    std::string m_out;
};

// Writes next to the destination, then renames over it: a reader never sees half a file and
// a failed write leaves the old file as it was.
bool WriteAtomically(const std::string& path, const std::string& data, std::string& error) {
    // An exclusive create ("x"): two writers never share a temporary.
    std::string temp;
    std::FILE* f = nullptr;
    for (unsigned attempt = 0; attempt < 100 && !f; ++attempt) {
        temp = path + ".tmp-" + std::to_string(std::random_device{}());
        f = std::fopen(temp.c_str(), "wbx");
    }
    if (!f) {
        error = "cannot create a temporary file beside '" + path + "'";
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

MetafileFileWriter& TheMetafileFileWriter() {
    static MetafileFileWriter writer = nullptr;
    return writer;
}

} // namespace

void SetMetafileFileWriter(MetafileFileWriter writer) { TheMetafileFileWriter() = writer; }

// The text of a subtree as HC_Write_Metafile writes it.
std::string MetafileText(const Segment& root, const SegmentFilter& keep) {
    return Writer(root, keep).Run(root);
}

const Segment& SelfContainedRoot(const Segment& segment, SegmentFilter& keep) {
    keep = {};
    std::unordered_set<const Segment*> needed{&segment};
    auto inside = [&](const Segment* s) {
        for (; s; s = s->owner)
            if (needed.count(s))
                return true;
        return false;
    };
    // Every include below a needed segment, followed through the segments it brings in.
    std::vector<const Segment*> pending{&segment};
    while (!pending.empty()) {
        const Segment* s = pending.back();
        pending.pop_back();
        for (const auto& ref : s->includes)
            if (ref->target && !inside(ref->target)) {
                needed.insert(ref->target);
                pending.push_back(ref->target);
            }
        for (const auto& child : s->children)
            pending.push_back(child.get());
    }
    if (needed.size() == 1)
        return segment;
    // The nearest segment above all of them, and the segments on the way down to each.
    auto chain = [](const Segment* s) {
        std::vector<const Segment*> up;
        for (; s; s = s->owner)
            up.push_back(s);
        return std::vector<const Segment*>(up.rbegin(), up.rend());
    };
    std::vector<const Segment*> common = chain(&segment);
    for (const Segment* s : needed) {
        const std::vector<const Segment*> other = chain(s);
        size_t n = 0;
        while (n < common.size() && n < other.size() && common[n] == other[n])
            ++n;
        common.resize(n);
    }
    const Segment* root = common.empty() ? &segment : common.back();
    auto onTheWay = std::make_shared<std::unordered_set<const Segment*>>();
    for (const Segment* s : needed)
        for (const Segment* up = s; up && up != root; up = up->owner)
            onTheWay->insert(up);
    auto neededCopy = std::make_shared<std::unordered_set<const Segment*>>(std::move(needed));
    keep = [onTheWay, neededCopy, root](const Segment& s) {
        if (onTheWay->count(&s))
            return true;
        for (const Segment* up = &s; up && up != root; up = up->owner)
            if (neededCopy->count(up))
                return true;
        return false;
    };
    return *root;
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
    const MetafileFileWriter writer = TheMetafileFileWriter() ? TheMetafileFileWriter() : &WriteAtomically;
    if (!writer(file, MetafileText(*root), error))
        ReportError(fn, HC_ERR_FILE, error);
}
