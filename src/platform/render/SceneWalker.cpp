#include "platform/render/SceneWalker.h"

#include "platform/hc/OptionParser.h"
#include "platform/hc/SceneGraph.h"
#include "platform/hc/hc.h"
#include "platform/render/ItemMeshes.h"
#include "platform/render/MeshBuilder.h"
#include "platform/sys/HugePages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <new>
#include <atomic>
#include <exception>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>

namespace ketra::render {

namespace cm = CameraMath;
using hc::ColorChannel;

// ---- MeshCache ----

const MeshCache::Entry* MeshCache::Find(HC_KEY key, std::uint64_t changeCount, int variant) {
    auto found = m_entries.find(Slot{key, variant});
    if (found == m_entries.end() || found->second.changeCount != changeCount) return nullptr;
    found->second.lastUsed = m_frame;
    return &found->second;
}

const MeshCache::Entry& MeshCache::Store(HC_KEY key, std::uint64_t changeCount, Mesh mesh, int variant, bool faceEdges) {
    Entry& entry = m_entries[Slot{key, variant}];
    Drop(entry);
    entry.changeCount = changeCount;
    entry.mesh = std::make_shared<const Mesh>(std::move(mesh));
    entry.placement.reset();
    entry.faceEdges = faceEdges;
    m_bytes += MeshBytes(*entry.mesh);
    sys::AdviseHeapGrowth(entry.mesh.get());  // the cache of a large scene fills the heap
    entry.stamp = m_nextStamp++;
    entry.lastUsed = m_frame;
    ++m_builds;
    return entry;
}

const MeshCache::Entry& MeshCache::StoreCopy(HC_KEY key, std::uint64_t changeCount, std::shared_ptr<const Mesh> mesh,
                                             const ShapePlacement& placement, int variant, bool faceEdges) {
    Entry& entry = m_entries[Slot{key, variant}];
    Drop(entry);
    entry.changeCount = changeCount;
    entry.mesh = std::move(mesh);
    entry.placement = std::make_shared<const ShapePlacement>(placement);
    entry.faceEdges = faceEdges;
    m_bytes += sizeof(ShapePlacement);
    entry.stamp = m_nextStamp++;
    entry.lastUsed = m_frame;
    return entry;
}

void MeshCache::Forget(HC_KEY key, int variant) {
    auto found = m_entries.find(Slot{key, variant});
    if (found == m_entries.end()) return;
    Drop(found->second);
    m_entries.erase(found);
}

void MeshCache::EndFrame(std::uint64_t frames, int user) {
    const std::uint64_t bit = user >= 0 && user < kMaxUsers ? std::uint64_t{1} << user : 0;
    bool dropped = false;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        Entry& entry = it->second;
        if (entry.lastUsed == m_frame)
            entry.users |= bit;
        else
            entry.users &= ~bit;
        if (entry.users == 0 && entry.lastUsed + frames < m_frame) {
            Drop(entry);
            it = m_entries.erase(it);
            dropped = true;
        } else {
            ++it;
        }
    }
    if (dropped) m_shapes.Prune();
    ++m_frame;
}

int MeshCache::Join() {
    for (int user = 0; user < kMaxUsers; ++user)
        if (!(m_users & (std::uint64_t{1} << user))) {
            m_users |= std::uint64_t{1} << user;
            return user;
        }
    return -1;
}

void MeshCache::Leave(int user) {
    if (user < 0 || user >= kMaxUsers) return;
    const std::uint64_t bit = std::uint64_t{1} << user;
    m_users &= ~bit;
    for (auto& [slot, entry] : m_entries) entry.users &= ~bit;
}

void MeshCache::Drop(const Entry& entry) {
    if (entry.placement)
        m_bytes -= sizeof(ShapePlacement);
    else if (entry.mesh)
        m_bytes -= MeshBytes(*entry.mesh);
}

// ---- Window gradients ----

namespace {

std::map<HC_KEY, std::pair<Color, Color>>& Gradients() {
    static std::map<HC_KEY, std::pair<Color, Color>> gradients;
    return gradients;
}

std::uint64_t& GradientChanges() {
    static std::uint64_t changes = 0;
    return changes;
}

} // namespace

void SetWindowGradient(HC_KEY segment, const Color& top, const Color& bottom) {
    Gradients()[segment] = {top, bottom};
    ++GradientChanges();
}

void ClearWindowGradient(HC_KEY segment) {
    Gradients().erase(segment);
    ++GradientChanges();
}

std::uint64_t WalkInputChanges() { return hc::Graph::Instance().ContentChanges() + GradientChanges(); }

// ---- Mask transform ----

bool ParseMaskTransform(const std::string& value, MaskTransform& out, std::string* error) {
    out = MaskTransform();
    auto fail = [&](const std::string& why) {
        out = MaskTransform();
        if (error) *error = why;
        return false;
    };
    const std::string trimmed = hc::NormalizeName(value);
    if (trimmed == "off" || trimmed == "none" || trimmed == "()") return true;
    std::string_view inner = trimmed;
    std::string_view stripped;
    if (hc::StripParentheses(inner, stripped)) inner = stripped;
    // A list of component words, each masking it in the camera (and the modelling matrix
    // when `model` is given).
    auto words = [&](std::string_view list, bool camera, bool model) {
        std::string_view body = list;
        std::string_view group;
        if (hc::StripParentheses(body, group)) body = group;
        std::vector<hc::OptionItem> items;
        std::string why;
        if (!hc::ParseOptionList(body, items, &why)) return fail(why);
        if (items.empty()) return fail("an empty list of components");
        for (const hc::OptionItem& item : items) {
            if (item.hasValue || item.negated) return fail("unexpected '" + item.name + "'");
            if (item.name == "rotate" || item.name == "rotation") {
                if (camera) out.cameraRotate = true;
                if (model) out.modelRotate = true;
            } else if (item.name == "scale") {
                if (camera) out.cameraScale = true;
                if (model) out.modelScale = true;
            } else if (item.name == "perspective") {
                if (!camera) return fail("a modelling matrix has no perspective to mask");
                out.cameraPerspective = true;
            } else {
                return fail("unknown component '" + item.name + "'");
            }
        }
        return true;
    };
    std::vector<hc::OptionItem> items;
    std::string why;
    if (!hc::ParseOptionList(inner, items, &why)) return fail(why);
    if (items.empty()) return fail("nothing to mask");
    const bool qualified = std::any_of(items.begin(), items.end(), [](const hc::OptionItem& i) { return i.hasValue; });
    if (!qualified) {
        if (!words(inner, true, true)) return false;
    } else {
        for (const hc::OptionItem& item : items) {
            if (!item.hasValue) return fail("mix of '" + item.name + "' and qualified lists");
            if (item.name == "camera") {
                if (!words(item.value, true, false)) return false;
            } else if (item.name == "modelling matrix" || item.name == "modeling matrix" || item.name == "model") {
                if (!words(item.value, false, true)) return false;
            } else {
                return fail("unknown transform '" + item.name + "'");
            }
        }
    }
    if (!out.cameraRotate) return fail("only masks that include the camera's rotation are drawn");
    if (out.modelRotate != out.modelScale) return fail("the modelling matrix's rotation and scale are masked together");
    return true;
}

// ---- The walk ----

namespace {

Color ToColor(const hc::Rgb& c) { return {c.r, c.g, c.b}; }

cm::Matrix4 ToMatrix(const hc::Matrix& m) { return cm::Matrix4::FromFloats(m.data()); }

cm::Camera ToCamera(const hc::Camera& c) {
    cm::Camera camera;
    camera.position = {c.position.x, c.position.y, c.position.z};
    camera.target = {c.target.x, c.target.y, c.target.z};
    camera.up = {c.up.x, c.up.y, c.up.z};
    camera.width = c.width;
    camera.height = c.height;
    camera.projection = c.projection == hc::Projection::Perspective    ? cm::Projection::Perspective
                        : c.projection == hc::Projection::Stretched    ? cm::Projection::Stretched
                                                                       : cm::Projection::Orthographic;
    return camera;
}

std::string Lower(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return out;
}

// "(0.0,0.1)" or "0,0.1" -> two numbers.
bool ParsePair(const std::string& text, float& a, float& b) {
    std::string cleaned;
    for (char c : text) cleaned.push_back(c == '(' || c == ')' || c == ',' ? ' ' : c);
    return std::sscanf(cleaned.c_str(), "%f %f", &a, &b) == 2;
}

// What the view's render mode asks of the picture.
struct ModeRules {
    bool hiddenLine = false;     // faces only hide; edges drawn
    bool wireframe = false;      // no faces; every edge
    bool silhouette = false;     // only silhouette/hard edges
    bool coarsestLod = false;    // marker mode: centre lines
    bool vertexMarkers = false;
    int shading = -1;            // -1 from attributes, else Shading
};

// Motion frames leave out items too small to see one by one (Walker::LeaveOutSmallItems), but
// a plant's supports are nearly all such items, and a plant turning without them is not the
// plant. Each left-out item with faces in colour is drawn instead as a speck: a tetrahedron of
// its colour about its centre, at least about two pixels across (some side of it faces the eye
// however the orbit turns it). Items of one colour within a few pixels of each other share one
// speck (a support is several small items). All specks of one surface state are one mesh,
// built once for the walk that the whole orbit reuses. Their back faces are culled, so a speck
// costs the rasterizer one or two triangles.
class StandIns {
public:
    // `pixelsPerUnit`: pixels per world unit at the orbit's target.
    explicit StandIns(double pixelsPerUnit) : m_cell(pixelsPerUnit > 0 ? kCellPixels / pixelsPerUnit : 0) {}

    // `pixelsPerUnit`: the item's pixels per world unit at its nearest in the orbit.
    void Add(const MeshDraw& draw, const cm::Vec3& centre, double radius, double pixelsPerUnit) {
        if (!draw.faces || draw.hiddenSurfaceOnly || draw.surface.transmission > 0.0f || !draw.mesh ||
            draw.mesh->TriangleCount() == 0 || !(m_cell > 0))
            return;
        Group* group = nullptr;
        for (Group& g : m_groups)
            if (g.surface == draw.surface) group = &g;
        if (!group) {
            if (m_groups.size() >= kMaxGroups) return;
            m_groups.push_back({draw.surface, Mesh{}, {}});
            group = &m_groups.back();
        }
        const std::uint32_t colour = PackColor(draw.faceColor);
        const auto cell = [&](double v) { return static_cast<std::int64_t>(std::floor(v / m_cell)); };
        if (!group->cells.insert({cell(centre.x), cell(centre.y), cell(centre.z), colour}).second) return;
        const double size = std::max(radius, pixelsPerUnit > 0 ? 1.5 / pixelsPerUnit : radius);
        Mesh& mesh = group->mesh;
        const std::uint32_t base = static_cast<std::uint32_t>(mesh.VertexCount());
        constexpr float k = 0.57735027f;  // 1 / sqrt(3): alternate corners of a cube
        static constexpr float corners[4][3] = {{k, k, k}, {k, -k, -k}, {-k, k, -k}, {-k, -k, k}};
        for (const auto& c : corners) {
            const float p[3] = {static_cast<float>(centre.x + size * c[0]), static_cast<float>(centre.y + size * c[1]),
                                static_cast<float>(centre.z + size * c[2])};
            for (int a = 0; a < 3; ++a) {
                mesh.boundsMin[a] = mesh.positions.empty() ? p[a] : std::min(mesh.boundsMin[a], p[a]);
                mesh.boundsMax[a] = mesh.positions.empty() ? p[a] : std::max(mesh.boundsMax[a], p[a]);
            }
            mesh.positions.insert(mesh.positions.end(), {p[0], p[1], p[2]});
            mesh.normals.push_back(PackNormal(c[0], c[1], c[2]));
            mesh.colors.push_back(colour);
        }
        // Counter-clockwise seen from outside.
        for (const std::uint32_t t : {0u, 1u, 2u, 0u, 3u, 1u, 0u, 2u, 3u, 1u, 3u, 2u}) mesh.triangles.push_back(base + t);
    }

    // One draw per surface state, after the items kept.
    void AddTo(Layer& layer) {
        static std::atomic<std::uint64_t> next{1};
        for (Group& g : m_groups) {
            g.mesh.faceEdges = false;
            MeshDraw draw;
            draw.segment = layer.segment;
            draw.surface = g.surface;
            draw.surface.cullBack = true;
            draw.surface.mirrored = false;
            draw.faces = true;
            // Numbered apart from the mesh cache's stamps: a new walk's specks fill new buffers.
            draw.meshStamp = (std::uint64_t{1} << 62) | next++;
            draw.mesh = std::make_shared<const Mesh>(std::move(g.mesh));
            layer.meshes.push_back(std::move(draw));
        }
    }

private:
    static constexpr size_t kMaxGroups = 16;
    static constexpr double kCellPixels = 3.0;
    struct Cell {
        std::int64_t x, y, z;
        std::uint32_t colour;
        bool operator==(const Cell&) const = default;
    };
    struct CellHash {
        size_t operator()(const Cell& c) const {
            return std::hash<std::int64_t>()(c.x * 73856093 ^ c.y * 19349663 ^ c.z * 83492791) ^ c.colour;
        }
    };
    struct Group {
        SurfaceState surface;
        Mesh mesh;
        std::unordered_set<Cell, CellHash> cells;
    };
    const double m_cell;  // world units
    std::vector<Group> m_groups;
};

ModeRules RulesFor(int mode) {
    ModeRules r;
    switch (mode) {
    case 1: r.wireframe = true; break;
    case 3: r.hiddenLine = r.silhouette = true; break;
    case 4: case 5: case 6: r.hiddenLine = true; break;
    case 8: case 10: r.shading = static_cast<int>(Shading::Gouraud); break;
    case 9: r.shading = static_cast<int>(Shading::Flat); break;
    case 19: r.wireframe = r.coarsestLod = r.vertexMarkers = true; break;
    default: break;
    }
    return r;
}

// Attributes of one segment in the form the draw list wants, computed once per segment.
struct Resolved {
    std::uint32_t visible = 0;
    Color faces, edges, lines, markers, text, cutEdges;
    SurfaceState surface;
    LineState edgeState, lineState;
    int markerSymbol = kMarkerCircleDot;
    float markerPixels = 8.0f;
    bool lod = false;
    int lodClamp = 0;  // "lodo = (clamp = n)": level n for every item, whatever its size
    bool hiddenLineOption = false;
    bool lightFollowsCamera = false;
    HC_CALLBACK dcPolyline = nullptr, dcMarker = nullptr;
    // Text
    std::string fontName = "sans-serif";
    float textSize = 12;
    TextDraw::Unit textUnit = TextDraw::Unit::Points;
    bool textTransforms = false;
    char alignX = '*', alignY = '*';
    // Faces textured by the net diffuse colour (a defined texture with a source image).
    std::shared_ptr<const TextureImage> texture;
    TextureMapping textureMapping;
    // Caps of the net line style.
    std::shared_ptr<const GlyphShape> startCap, endCap;
};

constexpr float kDefaultMarkerPixels = 8.0f;

class Walker {
public:
    Walker(const WalkSettings& settings, MeshCache& cache, DrawList& out)
        : m_settings(settings), m_cache(cache), m_out(out), m_rules(RulesFor(settings.renderMode)),
          m_graph(hc::Graph::Instance()) {}

    void Run(const hc::Segment& root) {
        hc::NetAttributes net = m_graph.Net(root);
        Layer main;
        main.segment = root.key;
        main.width = m_settings.width;
        main.height = m_settings.height;
        SetBackground(main, root, net);
        if (net.camera.set) {
            main.camera = ToCamera(net.camera);
            main.cameraSet = true;
            main.cameraSegment = root.key;
        }
        // Room for a draw per item up front: growing the list of a large scene copies it
        // several times over (a twentieth of a first picture). Every key the graph gave out
        // bounds the items of a scene that includes no segment twice; room left untouched costs
        // address space only.
        try {
            main.meshes.reserve(m_graph.KeysGiven());
            sys::AdviseBlock(main.meshes.data(), main.meshes.capacity() * sizeof(MeshDraw));
        } catch (const std::bad_alloc&) {
            // no room to spare (strict overcommit, say): the list grows as it fills
        }
        m_out.layers.push_back(std::move(main));
        m_layer = 0;
        m_clipSet = -1;
        Walk(root, net, 0);
        for (Layer& layer : m_out.layers)
            if (!layer.cameraSet) layer.camera = cm::DefaultCamera();
        ResolvePendingMeshes();
        PickLevels();
        LeaveOutlinesOut();
        LeaveOutSmallItems();
        for (Layer& layer : m_out.layers) AddSectionOutlines(layer);
    }

private:
    void SetBackground(Layer& layer, const hc::Segment& segment, const hc::NetAttributes& net) {
        const Color window = ToColor(net.DiffuseRgb(ColorChannel::Windows));
        layer.windowTop = layer.windowBottom = window;
        auto& gradients = Gradients();
        auto found = gradients.find(segment.key);
        if (found != gradients.end()) {
            layer.windowTop = found->second.first;
            layer.windowBottom = found->second.second;
        }
    }

    Resolved Resolve(const hc::NetAttributes& net) const {
        Resolved r;
        r.visible = net.visible;
        r.faces = ToColor(net.DiffuseRgb(ColorChannel::Faces));
        r.edges = ToColor(net.DiffuseRgb(ColorChannel::Edges));
        r.lines = ToColor(net.DiffuseRgb(ColorChannel::Lines));
        r.markers = ToColor(net.DiffuseRgb(ColorChannel::Markers));
        r.text = ToColor(net.DiffuseRgb(ColorChannel::Text));
        r.cutEdges = ToColor(net.DiffuseRgb(ColorChannel::CutEdges));
        const hc::ChannelColor& faces = net.color[ColorChannel::Faces];
        if (faces.specular) r.surface.specular = ToColor(*faces.specular);
        if (faces.gloss) r.surface.gloss = *faces.gloss;
        if (faces.transmission)
            r.surface.transmission = std::clamp(
                (faces.transmission->r + faces.transmission->g + faces.transmission->b) / 3.0f, 0.0f, 1.0f);

        const hc::OptionMap& ro = net.renderingOptions;
        if (ro.Has("lighting") && !ro.IsOn("lighting")) r.surface.lighting = false;
        if (const std::string* li = ro.Find("lighting interpolation")) {
            const std::string v = Lower(*li);
            if (v == "off" || v.find("faces=off") != std::string::npos || v == "flat")
                r.surface.shading = Shading::Flat;
        }
        if (m_rules.shading >= 0) r.surface.shading = static_cast<Shading>(m_rules.shading);
        if (const std::string* dr = ro.Find("depth range")) {
            float a = 0, b = 1;
            if (ParsePair(*dr, a, b) && a >= 0 && b <= 1 && a <= b) r.surface.depthRange = {a, b};
        }
        if (const std::string* fd = ro.Find("face displacement")) r.surface.faceDisplacement = std::strtof(fd->c_str(), nullptr);
        r.lod = ro.IsOn("lod");
        if (const std::string* lodo = ro.Find("lodo")) r.lodClamp = LodClamp(*lodo);
        const std::string* hsra = ro.Find("hidden surface removal algorithm");
        if (!hsra) hsra = ro.Find("hsra");
        r.hiddenLineOption = hsra && Lower(*hsra).find("hiddenline") != std::string::npos;
        r.lightFollowsCamera = ro.IsOn("light follows camera");
        r.surface.clipSet = m_clipSet;
        {
            // Both spellings are in use ("backplane cull" by the view, "no backplane culling" by
            // notes); an explicit "no" of either wins, so a note's background always shows.
            const hc::OptionMap& h = net.heuristics;
            bool on = false, off = false;
            for (const char* name : {"backplane cull", "backplane culling"}) {
                if (!h.Has(name)) continue;
                (h.IsOn(name) ? on : off) = true;
            }
            r.surface.cullBack = on && !off;
        }

        r.edgeState.weight = std::max(0.5f, net.edgeWeight);
        r.edgeState.pattern = PatternFromName(net.edgePattern);
        r.edgeState.depthRange = r.surface.depthRange;
        r.edgeState.clipSet = m_clipSet;
        r.edgeState.silhouetteOnly = m_rules.silhouette;
        r.lineState.weight = std::max(0.5f, net.lineWeight);
        r.lineState.pattern = PatternFromName(net.linePattern);
        r.lineState.depthRange = r.surface.depthRange;
        r.lineState.clipSet = m_clipSet;
        r.markerSymbol = MarkerSymbolFromName(net.markerSymbol);
        r.markerPixels = std::max(1.0f, net.markerSize * kDefaultMarkerPixels);

        const hc::Definitions& defs = m_graph.Defs();
        if (const std::string* name = net.callbacks.Find("draw dc polyline")) r.dcPolyline = defs.FindCallback(*name);
        if (const std::string* name = net.callbacks.Find("draw dc marker")) r.dcMarker = defs.FindCallback(*name);

        ResolveTexture(net, r);
        ResolveLineStyle(net, r);
        ResolveFont(net, r);
        if (net.textAlignment.size() >= 1) {
            for (char c : net.textAlignment) {
                if (c == '<' || c == '>') r.alignX = c;
                if (c == '^' || c == 'v') r.alignY = c;
            }
        }
        return r;
    }

    // "diffuse = <texture>": the texture's source image, found by the name it was inserted
    // with; a missing image leaves the plain diffuse colour.
    void ResolveTexture(const hc::NetAttributes& net, Resolved& r) const {
        const hc::ChannelColor& faces = net.color[ColorChannel::Faces];
        if (!faces.diffuse || faces.diffuse->kind != hc::Diffuse::Kind::Texture) return;
        const hc::TextureDefinition* texture = m_graph.Defs().FindTexture(faces.diffuse->texture);
        if (!texture) return;
        const std::string* source = texture->options.Find("source");
        if (!source) return;
        r.texture = TextureFor(*source);
        if (!r.texture) return;
        if (const std::string* param = texture->options.Find("parameterization source"))
            if (Lower(*param) == "cylinder") r.textureMapping.kind = TextureMapping::Kind::Cylinder;
    }

    std::shared_ptr<const TextureImage> TextureFor(const std::string& imageName) const {
        const hc::Geometry* item = m_graph.FindNamedImage(imageName);
        if (!item || item->type != hc::GeometryKind::Image) return nullptr;
        auto found = m_textures.find(item->key);
        if (found != m_textures.end()) return found->second;
        const auto& data = std::get<hc::ImageData>(item->data);
        auto image = std::make_shared<TextureImage>();
        if (!ToRgba(data, image->rgba)) return m_textures[item->key] = nullptr;
        image->key = item->key;
        image->changeCount = item->changeCount;
        image->width = data.width;
        image->height = data.height;
        return m_textures[item->key] = std::move(image);
    }

    // RGBA rows top down from an image item's pixels; false when they do not fill the size.
    static bool ToRgba(const hc::ImageData& data, std::vector<std::uint8_t>& rgba) {
        if (data.width <= 0 || data.height <= 0 || data.width > 16384 || data.height > 16384) return false;
        const size_t pixels = static_cast<size_t>(data.width) * static_cast<size_t>(data.height);
        const size_t bytesPerPixel = data.format == "rgba" ? 4 : (data.format == "grayscale" ? 1 : 3);
        if (data.pixels.size() < pixels * bytesPerPixel) return false;
        rgba.resize(pixels * 4);
        for (size_t i = 0; i < pixels; ++i) {
            const std::uint8_t* in = &data.pixels[i * bytesPerPixel];
            std::uint8_t* out = &rgba[i * 4];
            out[0] = in[0];
            out[1] = bytesPerPixel == 1 ? in[0] : in[1];
            out[2] = bytesPerPixel == 1 ? in[0] : in[2];
            out[3] = bytesPerPixel == 4 ? in[3] : 255;
        }
        return true;
    }

    // A line pattern naming a defined line style: its "start cap" and "end cap" glyphs.
    void ResolveLineStyle(const hc::NetAttributes& net, Resolved& r) const {
        const std::string* style = m_graph.Defs().FindLineStyle(net.linePattern);
        if (!style) return;
        std::vector<hc::OptionItem> items;
        if (!hc::ParseOptionList(*style, items)) return;
        for (const hc::OptionItem& item : items) {
            if (!item.hasValue) continue;
            if (item.name == "start cap") r.startCap = GlyphFor(item.value);
            if (item.name == "end cap") r.endCap = GlyphFor(item.value);
        }
    }

    std::shared_ptr<const GlyphShape> GlyphFor(const std::string& name) const {
        const std::string key = hc::NormalizeName(name);
        auto found = m_glyphs.find(key);
        if (found != m_glyphs.end()) return found->second;
        std::shared_ptr<GlyphShape> shape;
        if (const std::vector<signed char>* bytes = m_graph.Defs().FindGlyph(name)) {
            shape = std::make_shared<GlyphShape>();
            if (!DecodeGlyph(*bytes, *shape)) shape.reset();
        }
        return m_glyphs[key] = shape;
    }

    static void ResolveFont(const hc::NetAttributes& net, Resolved& r) {
        if (const std::string* name = net.textFont.Find("name")) {
            std::string first = *name;
            first.erase(std::remove(first.begin(), first.end(), '('), first.end());
            first.erase(std::remove(first.begin(), first.end(), ')'), first.end());
            const size_t comma = first.find(',');
            if (comma != std::string::npos) first.resize(comma);
            while (!first.empty() && first.front() == ' ') first.erase(first.begin());
            while (!first.empty() && first.back() == ' ') first.pop_back();
            if (!first.empty()) r.fontName = first;
        }
        if (const std::string* size = net.textFont.Find("size")) {
            char unit[32] = "";
            float value = 0;
            const int n = std::sscanf(size->c_str(), "%f %31s", &value, unit);
            if (n >= 1 && value > 0 && std::isfinite(value)) {
                r.textSize = value;
                const std::string u = Lower(unit);
                if (u == "pixels" || u == "px" || u == "pixel")
                    r.textUnit = TextDraw::Unit::Pixels;
                else if (u == "oru" || u == "wru")
                    r.textUnit = TextDraw::Unit::WorldUnits;
                else
                    r.textUnit = TextDraw::Unit::Points;
            }
        }
        if (const std::string* transforms = net.textFont.Find("transforms"))
            r.textTransforms = Lower(*transforms) != "off";
    }

    // Attribute locks: "attribute lock = (color = (faces = transmission))", "= color",
    // "= visibility", "= (color, visibility)". Locked values set above win over values set
    // below.
    struct Locks {
        bool any = false;
        bool color = false, faceTransmission = false, visibility = false;
    };
    static Locks LocksOf(const hc::NetAttributes& net) {
        Locks locks;
        const std::string* text = net.renderingOptions.Find("attribute lock");
        if (!text) return locks;
        const std::string v = Lower(*text);
        if (v == "off" || v == "nocolor" || v == "(nocolor)" || v.empty()) return locks;
        if (v.find("transmission") != std::string::npos)
            locks.faceTransmission = true;
        else if (v.find("nocolor") == std::string::npos && v.find("color") != std::string::npos)
            locks.color = true;
        if (v.find("novisibility") == std::string::npos && v.find("visibility") != std::string::npos)
            locks.visibility = true;
        locks.any = locks.color || locks.faceTransmission || locks.visibility;
        return locks;
    }

    void ApplyChild(hc::NetAttributes& child, const hc::NetAttributes& parent, const hc::Segment& segment) {
        const Locks locks = LocksOf(parent);
        hc::Graph::Apply(child, segment);
        if (!locks.any) return;
        if (locks.color) child.color = parent.color;
        if (locks.faceTransmission)
            child.color[ColorChannel::Faces].transmission = parent.color[ColorChannel::Faces].transmission;
        if (locks.visibility) child.visible = parent.visible;
        // The lock itself stays in force below.
        if (const std::string* lock = parent.renderingOptions.Find("attribute lock"))
            child.renderingOptions.Set("attribute lock", *lock);
    }

    void Walk(const hc::Segment& segment, const hc::NetAttributes& inherited, int depth) {
        if (depth > 256 || !m_onStack.insert(&segment).second) return;  // include cycles
        sys::AdviseHeapGrowth();
        const hc::NetAttributes* netPointer = &inherited;
        const hc::NetAttributes& net = inherited;
        const int savedClip = m_clipSet;
        const int savedLayer = m_layer;

        if (depth > 0 && segment.attributes && segment.attributes->window.set) {
            // A subwindow: its own viewport, camera and background.
            const hc::Window& w = segment.attributes->window;
            const Layer& parent = m_out.layers[static_cast<size_t>(m_layer)];
            Layer layer;
            layer.segment = segment.key;
            const double l = std::clamp<double>(w.left, -1, 1), r = std::clamp<double>(w.right, -1, 1);
            const double b = std::clamp<double>(w.bottom, -1, 1), t = std::clamp<double>(w.top, -1, 1);
            layer.x = parent.x + static_cast<int>(std::lround((l + 1) / 2 * parent.width));
            layer.y = parent.y + static_cast<int>(std::lround((b + 1) / 2 * parent.height));
            layer.width = std::max(1, static_cast<int>(std::lround((r - l) / 2 * parent.width)));
            layer.height = std::max(1, static_cast<int>(std::lround((t - b) / 2 * parent.height)));
            layer.clearColor = segment.attributes->color &&
                               (*segment.attributes->color)[ColorChannel::Windows].diffuse.has_value();
            SetBackground(layer, segment, net);
            layer.lights = parent.lights;
            layer.lightsOff = parent.lightsOff;
            m_out.layers.push_back(std::move(layer));
            m_layer = static_cast<int>(m_out.layers.size()) - 1;
            m_clipSet = -1;
        }
        if (segment.attributes && segment.attributes->camera.set) {
            Layer& current = m_out.layers[static_cast<size_t>(m_layer)];
            if (!current.cameraSet) {
                current.camera = ToCamera(net.camera);
                current.cameraSet = true;
                current.cameraSegment = segment.key;
            } else if (depth > 0 && current.segment != segment.key) {
                // A camera of its own without a window (a window-space overlay): drawn over
                // the same viewport through that camera.
                Layer overlay;
                overlay.segment = segment.key;
                overlay.x = current.x;
                overlay.y = current.y;
                overlay.width = current.width;
                overlay.height = current.height;
                overlay.clearColor = false;
                overlay.windowTop = current.windowTop;
                overlay.windowBottom = current.windowBottom;
                overlay.lights = current.lights;
                overlay.lightsOff = current.lightsOff;
                overlay.camera = ToCamera(net.camera);
                overlay.cameraSet = true;
                overlay.cameraSegment = segment.key;
                m_out.layers.push_back(std::move(overlay));
                m_layer = static_cast<int>(m_out.layers.size()) - 1;
                m_clipSet = -1;
            }
        }
        // "mask transform" set here: the subtree is drawn from this segment's anchor with the
        // masked parts of the transform dropped (its own modelling matrices below still apply).
        std::optional<hc::NetAttributes> maskedNet;
        if (const std::string* mask = OwnMaskTransform(segment, 0)) {
                MaskTransform parsed;
                std::string why;
                if (!ParseMaskTransform(*mask, parsed, &why)) {
                    static std::set<std::pair<HC_KEY, std::string>> reported;  // once per segment and value
                    if (reported.insert({segment.key, *mask}).second)
                        hc::ReportError("HC_Update_Display", HC_ERR_OPTION,
                                        "bad rendering options 'mask transform = " + *mask + "': " + why);
                } else if (parsed.Any()) {
                    maskedNet.emplace(net);
                    maskedNet->modelling = MaskedModelling(net.modelling, parsed);
                    netPointer = &*maskedNet;
                }
            }
        const hc::NetAttributes& here = *netPointer;
        CollectCuttingPlanes(segment, here);
        m_path.push_back(segment.key);
        if (!segment.geometry.empty()) {
            const Resolved resolved = Resolve(here);
            for (const auto& item : segment.geometry) Emit(*item, segment, here, resolved);
        }
        for (const auto& child : segment.children) {
            hc::NetAttributes childNet = here;
            ApplyChild(childNet, here, *child);
            Walk(*child, childNet, depth + 1);
        }
        for (const auto& include : segment.includes) {
            if (!include->target) continue;
            hc::NetAttributes childNet = here;
            ApplyChild(childNet, here, *include->target);
            m_path.push_back(include->key);
            Walk(*include->target, childNet, depth + 1);
            m_path.pop_back();
        }
        m_path.pop_back();
        m_clipSet = savedClip;
        m_layer = savedLayer;
        m_onStack.erase(&segment);
    }

    // The "mask transform" option set on the segment itself, else through one of its styles
    // (the style's own styles first, as the net attributes apply them, the segment's last);
    // null when neither sets it. Owners' options do not count: a mask applies once, at the
    // segment that sets it.
    static const std::string* OwnMaskTransform(const hc::Segment& segment, int depth) {
        if (segment.attributes)
            if (const std::string* mask = segment.attributes->renderingOptions.Find("mask transform")) return mask;
        if (depth > 16) return nullptr;  // styles that style each other
        const std::string* found = nullptr;
        for (const auto& ref : segment.styles)
            if (ref->target)
                if (const std::string* mask = OwnMaskTransform(*ref->target, depth + 1)) found = mask;
        return found;
    }

    // The net modelling matrix of a masked subtree: its anchor projected as before, the
    // masked parts of the camera undone (see MaskTransform) and, with the modelling matrix's
    // rotation and scale masked, only its translation kept.
    hc::Matrix MaskedModelling(const hc::Matrix& modelling, const MaskTransform& mask) const {
        const Layer& layer = m_out.layers[static_cast<size_t>(m_layer)];
        m_out.cameraDependent = true;
        const cm::Camera camera = layer.cameraSet ? layer.camera : cm::DefaultCamera();
        const int width = std::max(1, layer.width), height = std::max(1, layer.height);
        const cm::Matrix4 model = ToMatrix(modelling);
        const cm::Vec3 anchor = cm::TransformPoint(model, {0, 0, 0});
        const cm::Frame frame = cm::CameraFrame(camera);
        const cm::HalfField half = cm::VisibleHalfField(camera, static_cast<double>(width) / height);
        // Pixels one unit of the subtree covers, and world units per pixel where it is drawn.
        const double pixelsPerUnit = mask.cameraScale ? height / 2.0 : height / (2.0 * half.y);
        double worldPerPixel = 2.0 * half.y / height;
        if (camera.projection == cm::Projection::Perspective && mask.cameraPerspective) {
            const double depth = cm::Dot(anchor - camera.position, frame.forward);
            if (depth > 0) worldPerPixel *= depth / frame.distance;
        }
        const double k = pixelsPerUnit * worldPerPixel;
        // Screen-aligned axes: x right, y up, z towards the viewer.
        cm::Matrix4 facing;
        const cm::Vec3 rows[3] = {frame.right * k, frame.up * k, frame.forward * -k};
        for (int r = 0; r < 3; ++r) {
            facing(r, 0) = rows[r].x, facing(r, 1) = rows[r].y, facing(r, 2) = rows[r].z, facing(r, 3) = 0;
        }
        cm::Matrix4 result = facing;
        if (!mask.modelRotate) {
            cm::Matrix4 linear = model;
            linear(3, 0) = linear(3, 1) = linear(3, 2) = 0;
            result = cm::Multiply(linear, facing);
        }
        result(3, 0) = anchor.x, result(3, 1) = anchor.y, result(3, 2) = anchor.z, result(3, 3) = 1;
        hc::Matrix out;
        result.ToFloats(out.data());
        return out;
    }

    // Cutting planes cut everything in the subtree of the segment that owns the segment
    // holding them (so a view's "cutting planes" segment cuts the scene beside it), and the
    // subtree of the segment holding them.
    void CollectCuttingPlanes(const hc::Segment& segment, const hc::NetAttributes& net) {
        std::vector<ClipPlane> planes;
        // A holder with the rendering option "intersecting cutting planes" makes its planes
        // one group: they cut only together.
        auto gather = [&](const hc::Segment& holder, const cm::Matrix4& toWorld, bool together) {
            const int group = together ? ++m_nextClipGroup : 0;
            for (const auto& item : holder.geometry) {
                if (item->type != hc::GeometryKind::CuttingPlane) continue;
                const auto& p = std::get<hc::CuttingPlaneData>(item->data);
                // A plane as a column vector maps by the inverse matrix (row-vector points).
                cm::Matrix4 inverse;
                cm::Invert(toWorld, inverse);
                const double in[4] = {p.a, p.b, p.c, p.d};
                double outPlane[4];
                for (int i = 0; i < 4; ++i)
                    outPlane[i] = inverse(i, 0) * in[0] + inverse(i, 1) * in[1] + inverse(i, 2) * in[2] + inverse(i, 3) * in[3];
                planes.push_back({outPlane[0], outPlane[1], outPlane[2], outPlane[3], group});
            }
        };
        const cm::Matrix4 here = ToMatrix(net.modelling);
        if (net.visible & hc::kCuttingPlanes) gather(segment, here, net.renderingOptions.IsOn("intersecting cutting planes"));
        auto holdsPlanes = [](const hc::Segment& s) {
            for (const auto& item : s.geometry)
                if (item->type == hc::GeometryKind::CuttingPlane) return true;
            return false;
        };
        // A view's "cutting planes" segment, holding nothing but a segment per plane inserted
        // (HUtilityGeometryCreation) and perhaps the planes' move handle, holds them for the
        // scene it belongs to.
        auto onlyPlanes = [&](const hc::Segment& s) {
            if (s.name != "cutting planes" || !s.geometry.empty() || s.children.empty()) return false;
            bool anyPlane = false;
            for (const auto& grandchild : s.children) {
                if (!grandchild->children.empty()) return false;
                anyPlane = anyPlane || holdsPlanes(*grandchild);
            }
            return anyPlane;
        };
        auto gatherChild = [&](const hc::Segment& child, const hc::NetAttributes& above) {
            hc::NetAttributes childNet = above;
            hc::Graph::Apply(childNet, child);
            if (childNet.visible & hc::kCuttingPlanes)
                gather(child, ToMatrix(childNet.modelling), childNet.renderingOptions.IsOn("intersecting cutting planes"));
            return childNet;
        };
        for (const auto& child : segment.children) {
            if (holdsPlanes(*child)) {
                gatherChild(*child, net);
            } else if (onlyPlanes(*child)) {
                const hc::NetAttributes groupNet = gatherChild(*child, net);
                for (const auto& grandchild : child->children) gatherChild(*grandchild, groupNet);
            }
        }
        if (planes.empty()) return;
        Layer& layer = m_out.layers[static_cast<size_t>(m_layer)];
        std::vector<ClipPlane> set = m_clipSet >= 0 ? layer.clipSets[static_cast<size_t>(m_clipSet)]
                                                    : std::vector<ClipPlane>{};
        for (const ClipPlane& p : planes)
            if (set.size() < 8) set.push_back(p);
        layer.clipSets.push_back(std::move(set));
        m_clipSet = static_cast<int>(layer.clipSets.size()) - 1;
    }

    // The item's mesh from the cache, built when missing or out of date. Tubes are kept per
    // facet count: the same item seen at another size gets (and caches) other facets. A mesh
    // drawn only as faces is built without its face edges; one that shows edges gets them.
    // An item that moves one already built takes that one's mesh.
    const MeshCache::Entry& MeshFor(const hc::Geometry& item, int facets, bool edges) {
        if (const MeshCache::Entry* cached = CachedMesh(item, facets, edges)) return *cached;
        const ShapeProbe probe = ProbeShape(item, facets);
        if (auto match = m_cache.Shapes().Find(probe, item, edges)) return StoreCopy(item, facets, *match);
        const MeshCache::Entry& entry = m_cache.Store(item.key, MeshVersion(item, facets, edges),
                                                      TessellateItem(item, facets, edges), facets, edges);
        m_cache.Shapes().Add(probe, item.key, item.changeCount, entry.mesh, edges);
        return entry;
    }

    const MeshCache::Entry& StoreCopy(const hc::Geometry& item, int facets, const ShapeTable::Match& match) {
        return m_cache.StoreCopy(item.key, MeshVersion(item, facets, match.faceEdges), match.mesh, match.placement,
                                 facets, match.faceEdges);
    }

    // Gives a draw the mesh of a cache entry, placing it when the mesh is another item's.
    static void TakeMesh(MeshDraw& draw, const MeshCache::Entry& entry) {
        draw.mesh = entry.mesh;
        draw.meshStamp = entry.stamp;
        if (!entry.placement) return;
        if (draw.identity) {
            draw.matrix = entry.placement->matrix;
            draw.placedOnly = true;
        } else {
            draw.matrix = cm::Multiply(entry.placement->matrix, draw.matrix);
        }
        draw.identity = false;
        draw.placed = true;
    }

    // Undoes TakeMesh's placement (before the draw takes another mesh).
    static void Unplace(MeshDraw& draw, const ShapePlacement& placement) {
        if (!draw.placed) return;
        if (draw.placedOnly) {
            draw.matrix = cm::Matrix4::Identity();
            draw.identity = true;
        } else {
            cm::Matrix4 inverse;
            cm::Invert(placement.matrix, inverse);
            draw.matrix = cm::Multiply(inverse, draw.matrix);
        }
        draw.placed = draw.placedOnly = false;
    }

    // A cached mesh that will do: with face edges when they are wanted, else either kind.
    const MeshCache::Entry* CachedMesh(const hc::Geometry& item, int facets, bool edges) {
        if (const MeshCache::Entry* full = m_cache.Find(item.key, MeshVersion(item, facets, true), facets)) return full;
        return edges ? nullptr : m_cache.Find(item.key, MeshVersion(item, facets, false), facets);
    }

    // The level of "lodo = (clamp = n)" (0 when absent or not a level).
    static int LodClamp(const std::string& value) {
        std::string_view inner = value;
        hc::StripParentheses(value, inner);
        std::vector<hc::OptionItem> items;
        if (!hc::ParseOptionList(inner, items)) return 0;
        for (const hc::OptionItem& item : items) {
            double level = 0;
            if (item.name == "clamp" && item.hasValue && hc::ParseNumber(item.value, level) && level >= 1 && level <= 8)
                return static_cast<int>(level);
        }
        return 0;
    }

    // Tube sides at a clamped level of detail (motion frames): chosen without the camera.
    static int ClampedTubeFacets(int level) { return level >= 2 ? 6 : 8; }

    // Facets for a tube item as large as it shows in the current layer: a tube a few pixels
    // across looks the same with 6 sides as with 16, at a third of the triangles.
    // *acrossPixels (when given) receives the tube's width on screen (infinity when unknown).
    int TubeFacets(const hc::Geometry& item, const hc::NetAttributes& net, double* acrossPixels = nullptr) const {
        if (acrossPixels) *acrossPixels = INFINITY;
        const Layer& layer = m_out.layers[static_cast<size_t>(m_layer)];
        if (!layer.cameraSet || layer.width < 1 || layer.height < 1) return kTubeFacets;
        m_out.cameraDependent = true;
        const hc::Vec3* first = nullptr;
        const hc::Vec3* last = nullptr;
        double radius = 0;
        if (const auto* pc = std::get_if<hc::PolyCylinderData>(&item.data)) {
            if (pc->points.empty()) return kTubeFacets;
            first = &pc->points.front();
            last = &pc->points.back();
            for (float r : pc->radii) radius = std::max(radius, static_cast<double>(std::fabs(r)));
        } else if (const auto* c = std::get_if<hc::CylinderData>(&item.data)) {
            first = &c->first;
            last = &c->second;
            radius = std::fabs(c->radius);
        } else {
            return kTubeFacets;
        }
        const double aspect = static_cast<double>(layer.width) / layer.height;
        const cm::Matrix4 toWindow = cm::WorldToWindow(layer.camera, aspect);
        const cm::Matrix4 model = ToMatrix(net.modelling);
        const cm::Frame frame = cm::CameraFrame(layer.camera);
        // The radius seen across the screen at each end (perspective makes the ends differ);
        // the modelling matrix may scale it.
        double pixels = 0;
        for (const hc::Vec3* end : {first, last}) {
            const cm::Vec3 centre = cm::TransformPoint(model, {end->x, end->y, end->z});
            const cm::Vec3 side = cm::TransformPoint(model, {end->x + radius, end->y, end->z});
            const cm::Vec3 side2 = cm::TransformPoint(model, {end->x, end->y + radius, end->z});
            const cm::Vec3 side3 = cm::TransformPoint(model, {end->x, end->y, end->z + radius});
            const double worldRadius =
                std::max({cm::Length(side - centre), cm::Length(side2 - centre), cm::Length(side3 - centre)});
            double w0 = 1, w1 = 1;
            const cm::Vec3 a = cm::TransformPoint(toWindow, centre, &w0);
            const cm::Vec3 b = cm::TransformPoint(toWindow, centre + frame.up * worldRadius, &w1);
            if (w0 <= 0 || w1 <= 0) return kTubeFacets;  // at or behind the eye
            pixels = std::max(pixels, std::fabs(b.y - a.y) / 2 * layer.height);
        }
        const double across = 2 * pixels;
        if (acrossPixels) *acrossPixels = across;
        if (across >= 24) return kTubeFacets;
        if (across >= 12) return 12;
        if (across >= 6) return 8;
        return 6;
    }

    static std::u32string ToUtf32(const std::u16string& text) {
        std::u32string out;
        for (size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
                out.push_back(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
                ++i;
            } else {
                out.push_back(c);
            }
        }
        return out;
    }

    std::array<float, 3> ToWorld(const hc::Vec3& p, const hc::NetAttributes& net) const {
        const hc::Vec3 w = hc::IsIdentity(net.modelling) ? p : hc::TransformPoint(p, net.modelling);
        return {w.x, w.y, w.z};
    }

    void Emit(const hc::Geometry& item, const hc::Segment& segment, const hc::NetAttributes& segmentNet,
              const Resolved& segmentResolved) {
        // Attributes set on the item itself (HC_Open_Geometry) apply to it alone.
        std::optional<hc::NetAttributes> itemNet;
        std::optional<Resolved> itemResolved;
        if (item.attributes && !item.attributes->Empty()) {
            itemNet.emplace(segmentNet);
            hc::Graph::ApplyAttributes(*itemNet, *item.attributes);
            itemResolved.emplace(Resolve(*itemNet));
        }
        const hc::NetAttributes& net = itemNet ? *itemNet : segmentNet;
        const Resolved& r = itemResolved ? *itemResolved : segmentResolved;
        Layer& layer = m_out.layers[static_cast<size_t>(m_layer)];

        switch (item.type) {
        case hc::GeometryKind::Shell:
        case hc::GeometryKind::PolyCylinder:
        case hc::GeometryKind::Cylinder:
        case hc::GeometryKind::Polygon:
        case hc::GeometryKind::Circle:
        case hc::GeometryKind::Ellipse: EmitMesh(item, segment, net, r, layer); break;
        case hc::GeometryKind::Line:
        case hc::GeometryKind::Polyline:
        case hc::GeometryKind::EllipticalArc: {
            if (!(r.visible & hc::kLines)) break;
            LineDraw line;
            line.key = item.key;
            line.segment = segment.key;
            line.color = r.lines;
            line.state = r.lineState;
            line.state.silhouetteOnly = false;
            line.startCap = r.startCap;
            line.endCap = r.endCap;
            if (item.type == hc::GeometryKind::Line) {
                const auto& l = std::get<hc::LineData>(item.data);
                for (const hc::Vec3& p : {l.first, l.second}) {
                    auto w = ToWorld(p, net);
                    line.points.insert(line.points.end(), w.begin(), w.end());
                }
            } else if (item.type == hc::GeometryKind::Polyline) {
                for (const hc::Vec3& p : std::get<hc::PolylineData>(item.data).points) {
                    auto w = ToWorld(p, net);
                    line.points.insert(line.points.end(), w.begin(), w.end());
                }
            } else {
                const auto& e = std::get<hc::EllipseData>(item.data);
                const std::vector<float> pts = EllipsePoints({e.center.x, e.center.y, e.center.z}, {e.major.x, e.major.y, e.major.z},
                                                             {e.minor.x, e.minor.y, e.minor.z}, e.start, e.end);
                for (size_t i = 0; i + 2 < pts.size(); i += 3) {
                    auto w = ToWorld({pts[i], pts[i + 1], pts[i + 2]}, net);
                    line.points.insert(line.points.end(), w.begin(), w.end());
                }
            }
            if (line.points.size() < 6) break;
            for (size_t i = 0; i + 2 < line.points.size(); i += 3) layer.AddBounds(line.points[i], line.points[i + 1], line.points[i + 2]);
            if (r.dcPolyline) {
                CallbackDraw call = Callback(CallbackDraw::Kind::Polyline, r.dcPolyline, item, segment);
                call.points = std::move(line.points);
                call.color = r.lines;
                call.weight = r.lineState.weight;
                call.startCap = r.startCap;
                call.endCap = r.endCap;
                layer.callbacks.push_back(std::move(call));
            } else {
                layer.lines.push_back(std::move(line));
            }
            break;
        }
        case hc::GeometryKind::Marker: {
            if (!(r.visible & hc::kMarkers)) break;
            const auto w = ToWorld(std::get<hc::MarkerData>(item.data).position, net);
            layer.AddBounds(w[0], w[1], w[2]);
            if (r.dcMarker) {
                CallbackDraw call = Callback(CallbackDraw::Kind::Marker, r.dcMarker, item, segment);
                call.points.assign(w.begin(), w.end());
                call.color = r.markers;
                call.markerSymbol = r.markerSymbol;
                call.markerSize = r.markerPixels;
                layer.callbacks.push_back(std::move(call));
                break;
            }
            MarkerDraw marker;
            marker.key = item.key;
            marker.segment = segment.key;
            marker.position = w;
            marker.color = r.markers;
            marker.symbol = r.markerSymbol;
            marker.size = r.markerPixels;
            marker.depthRange = r.surface.depthRange;
            marker.clipSet = m_clipSet;
            layer.markers.push_back(marker);
            break;
        }
        case hc::GeometryKind::Text: {
            if (!(r.visible & hc::kText)) break;
            const auto& t = std::get<hc::TextData>(item.data);
            TextDraw text;
            text.key = item.key;
            text.segment = segment.key;
            text.position = ToWorld(t.position, net);
            text.text = ToUtf32(t.text);
            text.color = r.text;
            text.fontName = r.fontName;
            text.size = r.textSize;
            text.sizeUnit = r.textUnit;
            text.alignX = r.alignX;
            text.alignY = r.alignY;
            text.transforms = r.textTransforms;
            text.hideOverlapped = net.heuristics.IsOn("hide overlapped text");
            if (text.transforms && !hc::IsIdentity(net.modelling)) {
                const cm::Matrix4 m = ToMatrix(net.modelling);
                const cm::Vec3 x = cm::TransformVector(m, {1, 0, 0}), y = cm::TransformVector(m, {0, 1, 0});
                text.xAxis = {static_cast<float>(x.x), static_cast<float>(x.y), static_cast<float>(x.z)};
                text.yAxis = {static_cast<float>(y.x), static_cast<float>(y.y), static_cast<float>(y.z)};
            }
            text.depthRange = r.surface.depthRange;
            text.clipSet = m_clipSet;
            layer.AddBounds(text.position[0], text.position[1], text.position[2]);
            layer.texts.push_back(std::move(text));
            break;
        }
        case hc::GeometryKind::DistantLight: {
            // A light switched off leaves the faces unlit rather than to the default light.
            if (!(r.visible & hc::kLightsFaces)) {
                layer.lightsOff = true;
                break;
            }
            const auto& d = std::get<hc::DistantLightData>(item.data).direction;
            cm::Vec3 dir{d.x, d.y, d.z};
            if (!r.lightFollowsCamera) dir = cm::TransformVector(ToMatrix(net.modelling), dir);
            dir = cm::Normalized(dir);
            if (cm::Length(dir) == 0) break;
            Light light;
            light.toLight = {static_cast<float>(dir.x), static_cast<float>(dir.y), static_cast<float>(dir.z)};
            light.cameraRelative = r.lightFollowsCamera;
            light.color = ToColor(net.DiffuseRgb(ColorChannel::Lights));
            if (light.color == Color{0, 0, 0}) light.color = {1, 1, 1};
            layer.lights.push_back(light);
            break;
        }
        case hc::GeometryKind::Image: {
            if (!(r.visible & hc::kImages)) break;
            const auto& data = std::get<hc::ImageData>(item.data);
            ImageDraw image;
            if (!ToRgba(data, image.rgba)) break;
            image.key = item.key;
            image.segment = segment.key;
            image.changeCount = item.changeCount;
            image.position = ToWorld(data.position, net);
            image.width = data.width;
            image.height = data.height;
            image.depthRange = r.surface.depthRange;
            layer.AddBounds(image.position[0], image.position[1], image.position[2]);
            layer.images.push_back(std::move(image));
            break;
        }
        default: break;  // cutting planes (collected above)
        }
    }

    // A draw callback for an item, with the key path from the item up to the display.
    CallbackDraw Callback(CallbackDraw::Kind kind, void (*function)(), const hc::Geometry& item,
                          const hc::Segment& segment) const {
        CallbackDraw call;
        call.kind = kind;
        call.function = function;
        call.key = item.key;
        call.segment = segment.key;
        call.path.assign(m_path.rbegin(), m_path.rend());
        return call;
    }

    void EmitMesh(const hc::Geometry& item, const hc::Segment& segment, const hc::NetAttributes& net,
                  const Resolved& r, Layer& layer) {
        const bool facesVisible = (r.visible & hc::kFaces) != 0;
        const bool edgesVisible = (r.visible & hc::kEdges) != 0;
        const bool hiddenLine = m_rules.hiddenLine || r.hiddenLineOption;
        const bool lineModes = m_rules.wireframe || hiddenLine;
        MeshDraw draw;
        draw.key = item.key;
        draw.segment = segment.key;
        // In the line modes anything with visible faces or edges shows its edges.
        draw.edges = lineModes ? (facesVisible || edgesVisible) : edgesVisible;
        // In the hidden-line modes see-through faces hide nothing (a cutting plane's quad
        // must not hide the half it keeps); their edges still show.
        draw.faces = m_rules.wireframe || (hiddenLine && r.surface.transmission > 0.0f) ? false : facesVisible;
        draw.hiddenSurfaceOnly = hiddenLine && draw.faces;
        draw.vertexMarkers = m_rules.vertexMarkers && (r.visible & hc::kMarkers) && (facesVisible || edgesVisible);
        if (!draw.faces && !draw.edges && !draw.vertexMarkers) return;
        draw.faceColor = r.faces;
        draw.edgeColor = r.edges;
        draw.markerColor = r.markers;
        draw.cutEdgeColor = r.cutEdges;
        draw.surface = r.surface;
        draw.edgeState = r.edgeState;
        // Wherever faces are drawn (shaded, hidden line) and in silhouette mode, only outlines
        // are drawn: silhouettes, boundaries and hard folds, not the facet edges of smooth
        // surfaces, which would turn a shaded pipe into flat bands.
        draw.edgeState.silhouetteOnly = m_rules.silhouette || draw.faces;
        draw.markerSymbol = r.markerSymbol;
        draw.markerSize = r.markerPixels;
        draw.texture = r.texture;
        draw.textureMapping = r.textureMapping;
        draw.identity = hc::IsIdentity(net.modelling);
        if (!draw.identity) draw.matrix = ToMatrix(net.modelling);
        if (draw.surface.cullBack && !draw.identity) {
            const cm::Matrix4& m = draw.matrix;
            const double det = m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) -
                               m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
                               m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
            draw.surface.mirrored = det < 0;
        }

        const bool tube = item.type == hc::GeometryKind::PolyCylinder || item.type == hc::GeometryKind::Cylinder;
        double across = INFINITY;
        const int facets = !tube ? kTubeFacets : r.lodClamp > 0 ? ClampedTubeFacets(r.lodClamp) : TubeFacets(item, net, &across);
        if (tube && draw.faces && across < m_settings.tubeLinePixels) {
            EmitTubeAxis(item, segment, net, r, layer);
            return;
        }
        const MeshCache::Entry* cached = CachedMesh(item, facets, draw.edges);
        // A texture laid over a shell's bounds follows the shell's own axes, not a copy's.
        if (cached && cached->placement && draw.texture) cached = nullptr;
        if (cached) {
            TakeMesh(draw, *cached);
            if (!draw.mesh || (draw.mesh->VertexCount() == 0 && !HasLods(item))) return;
            AddMeshBounds(layer, draw, cached->placement.get());
        } else {
            // Tessellated after the walk, all new items at once and in parallel.
            auto [slot, added] = m_pendingByKey.try_emplace(item.key, m_pending.size());
            if (added) {
                // Whatever the cache holds for it is out of date or lacks the edges: the
                // new mesh replaces it, and both need not be held at once (on a large plant,
                // switching to a mode with edges rebuilds every mesh).
                m_cache.Forget(item.key, facets);
                PendingMesh& pending = m_pending.emplace_back();
                pending.item = &item;
                pending.facets = facets;
                pending.edges = draw.edges;
                pending.ownMesh = draw.texture != nullptr;
            } else {
                m_pending[slot->second].edges |= draw.edges;  // one mesh serves both draws
                m_pending[slot->second].ownMesh |= draw.texture != nullptr;
            }
            m_pendingDraws.push_back({m_layer, layer.meshes.size(), slot->second});
        }

        // Levels of detail are chosen after the walk, when every layer's camera is known.
        if (HasLods(item) && (r.lod || m_settings.levelsOfDetail || m_rules.coarsestLod)) m_lodCandidates.push_back({m_layer, layer.meshes.size(), &item, r.lod, r.lodClamp});
        m_out.detailLevel = std::max(m_out.detailLevel, r.lodClamp);
        // Motion frames leave out what is too small to see (marker mode shows every item).
        if (r.lodClamp >= kMotionCullLevel && !m_rules.coarsestLod && m_layer == 0)
            m_cullCandidates.push_back(layer.meshes.size());
        if (layer.meshes.size() == layer.meshes.capacity()) {
            // Grown here rather than by push_back, so that when the list is too large for the
            // heap the room beyond what it copies is advised huge pages before it is filled.
            layer.meshes.reserve(std::max<size_t>(64, 2 * layer.meshes.capacity()));
            sys::AdviseBlock(layer.meshes.data(), layer.meshes.capacity() * sizeof(MeshDraw));
        }
        layer.meshes.push_back(std::move(draw));
    }

    // A tube thinner on screen than WalkSettings::tubeLinePixels: its axis, one pixel wide,
    // in the colour of its faces.
    void EmitTubeAxis(const hc::Geometry& item, const hc::Segment& segment, const hc::NetAttributes& net,
                      const Resolved& r, Layer& layer) const {
        LineDraw line;
        line.key = item.key;
        line.segment = segment.key;
        line.color = r.faces;
        line.state = r.edgeState;
        line.state.weight = 1;
        line.state.pattern = LinePattern{};
        line.state.silhouetteOnly = false;
        auto add = [&](const hc::Vec3& p) {
            const auto w = ToWorld(p, net);
            line.points.insert(line.points.end(), w.begin(), w.end());
            layer.AddBounds(w[0], w[1], w[2]);
        };
        if (const auto* pc = std::get_if<hc::PolyCylinderData>(&item.data)) {
            for (const hc::Vec3& p : pc->points) add(p);
        } else if (const auto* c = std::get_if<hc::CylinderData>(&item.data)) {
            add(c->first);
            add(c->second);
        }
        if (line.points.size() >= 6) layer.lines.push_back(std::move(line));
    }

    static std::uint64_t MeshVersion(const hc::Geometry& item, int facets, bool edges) {
        return (item.changeCount * 64 + static_cast<std::uint64_t>(facets & 63)) * 2 + (edges ? 1 : 0);
    }

    // Runs work(i) for i below count on every core (up to eight threads) when count is large.
    // The first exception of any thread (bad_alloc on a huge shell, say) stops the others and
    // is thrown again here once every helper has been joined: an exception leaving a thread's
    // function, or a joinable thread destroyed, would end the process.
    template <typename Work>
    static void OnEveryCore(size_t count, bool reserveArenas, const Work& work) {
        std::atomic<size_t> next{0};
        std::mutex failureMutex;
        std::exception_ptr failure;
        auto run = [&]() noexcept {
            try {
                if (reserveArenas && count >= 64) sys::ReserveArenaRoom();
                for (size_t i = next++; i < count; i = next++) work(i);
            } catch (...) {
                next = count;
                std::lock_guard guard(failureMutex);
                if (!failure) failure = std::current_exception();
            }
        };
        const size_t helpers = count < 64 ? 0 : std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()) - 1, 7);
        std::vector<std::thread> threads;
        threads.reserve(helpers);
        for (size_t t = 0; t < helpers; ++t) {
            // A helper that cannot start (thread limit, no memory) is no fault: this thread
            // drains the queue anyway.
            try {
                threads.emplace_back(run);
            } catch (const std::system_error&) {
                break;
            }
        }
        run();
        for (std::thread& thread : threads) thread.join();
        if (failure) std::rethrow_exception(failure);
    }

    // Builds the meshes the walk found missing from the cache, on every core (the meshes are
    // independent and the scene is only read), then gives each waiting draw its mesh and
    // bounds; draws whose mesh came out empty are dropped as the walk would have dropped them.
    // A shell or tube that is a moved copy of one built before, or of an earlier one of this
    // batch, takes that one's mesh instead of being built.
    void ResolvePendingMeshes() {
        if (m_pending.empty()) return;
        try {
            OnEveryCore(m_pending.size(), false, [&](size_t i) {
                PendingMesh& p = m_pending[i];
                if (!p.ownMesh) p.probe = ProbeShape(*p.item, p.facets);
            });
            // Copies of shells built before take their meshes.
            ShapeTable& shapes = m_cache.Shapes();
            OnEveryCore(m_pending.size(), false, [&](size_t i) {
                PendingMesh& p = m_pending[i];
                if (p.probe.usable) p.copyOf = shapes.Find(p.probe, *p.item, p.edges);
            });
            // Of the others, the first shell of each probe hash is built (with the face edges
            // any of its copies want) and the rest are checked against it; those that are not
            // its copies (another shape of the same hash) go to the next round.
            std::vector<size_t> open;
            for (size_t i = 0; i < m_pending.size(); ++i)
                if (m_pending[i].probe.usable && !m_pending[i].copyOf) open.push_back(i);
            for (int round = 0; round < 4 && !open.empty(); ++round) {
                std::unordered_map<std::uint64_t, size_t> firstOfHash;
                std::vector<size_t> checked;
                for (size_t i : open) {
                    auto [first, added] = firstOfHash.try_emplace(m_pending[i].probe.hash, i);
                    if (added) continue;
                    m_pending[i].source = first->second;
                    checked.push_back(i);
                }
                OnEveryCore(checked.size(), false, [&](size_t k) {
                    PendingMesh& p = m_pending[checked[k]];
                    const PendingMesh& source = m_pending[p.source];
                    p.placedFromSource = PlaceShape(*source.item, source.probe, *p.item, p.probe);
                });
                open.clear();
                for (size_t i : checked) {
                    PendingMesh& p = m_pending[i];
                    if (p.placedFromSource) {
                        m_pending[p.source].edges |= p.edges;
                    } else {
                        p.source = SIZE_MAX;
                        open.push_back(i);
                    }
                }
            }
            OnEveryCore(m_pending.size(), true, [&](size_t i) {
                PendingMesh& p = m_pending[i];
                if (p.copyOf || p.placedFromSource) return;
                p.mesh = TessellateItem(*p.item, p.facets, p.edges);
                sys::AdviseArenaOf(p.mesh.positions.data());
            });
        } catch (...) {
            m_pending.clear();
            m_pendingByKey.clear();
            m_pendingDraws.clear();
            throw;
        }

        // Built meshes first, so that copies of this batch's shells find them.
        std::vector<const MeshCache::Entry*> entries(m_pending.size());
        for (size_t i = 0; i < m_pending.size(); ++i) {
            PendingMesh& p = m_pending[i];
            if (p.copyOf || p.placedFromSource) continue;
            entries[i] = &m_cache.Store(p.item->key, MeshVersion(*p.item, p.facets, p.edges), std::move(p.mesh), p.facets, p.edges);
            m_cache.Shapes().Add(p.probe, p.item->key, p.item->changeCount, entries[i]->mesh, p.edges);
        }
        for (size_t i = 0; i < m_pending.size(); ++i) {
            PendingMesh& p = m_pending[i];
            if (p.copyOf) {
                entries[i] = &StoreCopy(*p.item, p.facets, *p.copyOf);
            } else if (p.placedFromSource) {
                const PendingMesh& source = m_pending[p.source];  // built just above
                const ShapeTable::Match match{entries[p.source]->mesh, *p.placedFromSource, source.edges};
                entries[i] = &StoreCopy(*p.item, p.facets, match);
            }
        }
        std::vector<std::vector<bool>> dropped(m_out.layers.size());
        bool anyDropped = false;
        for (const PendingDraw& d : m_pendingDraws) {
            Layer& layer = m_out.layers[static_cast<size_t>(d.layer)];
            MeshDraw& draw = layer.meshes[d.index];
            TakeMesh(draw, *entries[d.slot]);
            if (!draw.mesh || (draw.mesh->VertexCount() == 0 && !HasLods(*m_pending[d.slot].item))) {
                std::vector<bool>& marks = dropped[static_cast<size_t>(d.layer)];
                marks.resize(layer.meshes.size());
                marks[d.index] = true;
                anyDropped = true;
                continue;
            }
            AddMeshBounds(layer, draw, entries[d.slot]->placement.get());
        }
        m_pending.clear();
        m_pendingByKey.clear();
        m_pendingDraws.clear();
        if (!anyDropped) return;
        // Drop the empty draws, and move the level-of-detail candidates with their draws.
        std::vector<std::vector<size_t>> newIndex(m_out.layers.size());
        for (size_t li = 0; li < m_out.layers.size(); ++li) {
            const std::vector<bool>& marks = dropped[li];
            if (marks.empty()) continue;
            std::vector<MeshDraw>& meshes = m_out.layers[li].meshes;
            std::vector<size_t>& remap = newIndex[li];
            remap.assign(meshes.size(), SIZE_MAX);
            size_t kept = 0;
            for (size_t i = 0; i < meshes.size(); ++i) {
                if (i < marks.size() && marks[i]) continue;
                remap[i] = kept;
                if (kept != i) meshes[kept] = std::move(meshes[i]);
                ++kept;
            }
            meshes.resize(kept);
        }
        std::vector<LodCandidate> candidates;
        for (LodCandidate c : m_lodCandidates) {
            const std::vector<size_t>& remap = newIndex[static_cast<size_t>(c.layer)];
            if (!remap.empty()) {
                if (remap[c.index] == SIZE_MAX) continue;
                c.index = remap[c.index];
            }
            candidates.push_back(c);
        }
        m_lodCandidates = std::move(candidates);
    }

    static bool HasLods(const hc::Geometry& item) {
        const hc::ShellData* shell = item.Shell();
        return shell && !shell->lods.empty();
    }

    // A copy standing in its own item's space adds its own bounds, not those of the shape
    // turned (which would be wider).
    void AddMeshBounds(Layer& layer, const MeshDraw& draw, const ShapePlacement* placement) {
        const Mesh& mesh = *draw.mesh;
        if (mesh.VertexCount() == 0) return;
        const bool own = placement && placement->ownBounds && draw.placedOnly;
        const std::array<float, 3>& low = own ? placement->low : mesh.boundsMin;
        const std::array<float, 3>& high = own ? placement->high : mesh.boundsMax;
        for (int corner = 0; corner < 8; ++corner) {
            cm::Vec3 p{(corner & 1) ? high[0] : low[0], (corner & 2) ? high[1] : low[1], (corner & 4) ? high[2] : low[2]};
            if (!draw.identity && !own) p = cm::TransformPoint(draw.matrix, p);
            layer.AddBounds(p.x, p.y, p.z);
        }
    }

    // Projected size in pixels of a mesh's bounds under the layer's camera.
    static double ProjectedPixels(const Layer& layer, const MeshDraw& draw) {
        const Mesh& mesh = *draw.mesh;
        const double aspect = layer.height > 0 ? static_cast<double>(layer.width) / layer.height : 1.0;
        const cm::Matrix4 toWindow = cm::WorldToWindow(layer.camera, aspect);
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (int corner = 0; corner < 8; ++corner) {
            cm::Vec3 p{(corner & 1) ? mesh.boundsMax[0] : mesh.boundsMin[0], (corner & 2) ? mesh.boundsMax[1] : mesh.boundsMin[1],
                       (corner & 4) ? mesh.boundsMax[2] : mesh.boundsMin[2]};
            if (!draw.identity) p = cm::TransformPoint(draw.matrix, p);
            double w = 1;
            const cm::Vec3 q = cm::TransformPoint(toWindow, p, &w);
            if (w <= 0) return 1e9;  // behind the eye: keep full detail
            minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
            minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
        }
        const double dx = (maxX - minX) / 2 * layer.width, dy = (maxY - minY) / 2 * layer.height;
        return std::sqrt(dx * dx + dy * dy);
    }

    void PickLevels() {
        for (const LodCandidate& c : m_lodCandidates) {
            Layer& layer = m_out.layers[static_cast<size_t>(c.layer)];
            MeshDraw& draw = layer.meshes[c.index];
            const hc::ShellData& shell = *c.item->Shell();
            int wanted = 0;
            if (m_rules.coarsestLod) {
                wanted = 99;
            } else if (c.clamp > 0) {
                wanted = c.clamp;
            } else if (draw.mesh->VertexCount() > 0) {
                m_out.cameraDependent = true;
                const double pixels = ProjectedPixels(layer, draw);
                if (pixels < m_settings.lodLevel2Pixels) wanted = 2;
                else if (pixels < m_settings.lodLevel1Pixels) wanted = 1;
            }
            if (wanted == 0) continue;
            // The finest defined level not finer than wanted; or the coarsest when none.
            const hc::LodLevel* chosen = nullptr;
            for (const hc::LodLevel& level : shell.lods)
                if (level.level <= wanted && !level.items.empty()) chosen = &level;
            if (!chosen) continue;
            // A level may hold several shells; they are merged into one mesh here.
            const hc::Geometry& first = *chosen->items.front();
            if (draw.placed)
                if (const MeshCache::Entry* base = CachedMesh(*c.item, kTubeFacets, draw.edges); base && base->placement)
                    Unplace(draw, *base->placement);
            if (chosen->items.size() == 1) {
                TakeMesh(draw, MeshFor(first, kTubeFacets, draw.edges));
            } else {
                std::uint64_t change = 0;
                for (const auto& part : chosen->items) change = std::max(change, part->changeCount);
                // A key of its own so the merged mesh never replaces the first shell's entry.
                const HC_KEY levelKey = first.key - (1L << 40);
                const MeshCache::Entry* cached = m_cache.Find(levelKey, change);
                if (!cached) {
                    std::vector<float> points;
                    std::vector<int> faces;
                    for (const auto& part : chosen->items) {
                        const hc::ShellData* s = part->Shell();
                        if (!s) continue;
                        const int base = static_cast<int>(points.size() / 3);
                        for (const hc::Vec3& p : s->points) points.insert(points.end(), {p.x, p.y, p.z});
                        for (size_t i = 0; i < s->faceList.size();) {
                            const int n = s->faceList[i];
                            const size_t len = static_cast<size_t>(std::abs(n));
                            faces.push_back(n);
                            for (size_t k = 1; k <= len && i + k < s->faceList.size(); ++k) faces.push_back(s->faceList[i + k] + base);
                            i += 1 + len;
                        }
                    }
                    cached = &m_cache.Store(levelKey, change, BuildShellMesh(points, faces));
                }
                draw.mesh = cached->mesh;
                draw.meshStamp = cached->stamp;
            }
            draw.lod = chosen->level;
            // A centre line has no faces: it shows as its edges in every mode.
            if (draw.mesh->TriangleCount() == 0) draw.edges = true;
        }
    }

    // Motion frames draw shaded items without their outlines: on a large plant the outlines
    // cost more than the faces (on the generated 20,000-element plant, 17 of a frame's 24 ms),
    // and the faces alone, in their colours, keep the plant recognisable. What shows by its
    // edges alone (centre lines, symbols made of lines) keeps them, and so do the modes whose
    // picture is the edges.
    void LeaveOutlinesOut() {
        if (m_out.detailLevel < 1 || m_rules.silhouette || m_rules.wireframe) return;
        for (Layer& layer : m_out.layers)
            for (MeshDraw& d : layer.meshes)
                if (d.edges && d.faces && !d.hiddenSurfaceOnly && d.edgeState.silhouetteOnly && d.mesh &&
                    d.mesh->TriangleCount() > 0)
                    d.edges = false;
    }

    // Motion frames: drops the main layer's items that stay under kMotionCullPixels across
    // for every camera orbiting the current one's target at its distance and field. The bound
    // uses the item's bounding sphere at its nearest possible distance from the eye, so the list
    // holds for a whole orbit (DrawList::orbitDependent) and the walk is not repeated.
    void LeaveOutSmallItems() {
        if (m_cullCandidates.empty()) return;
        Layer& layer = m_out.layers.front();
        if (!layer.cameraSet || layer.width < 1 || layer.height < 1) return;
        const cm::Camera& camera = layer.camera;
        const double distance = cm::Length(camera.target - camera.position);
        if (!(distance > 0) || !(camera.width > 0) || !(camera.height > 0)) return;
        // Pixels per world unit on the target plane, at most (a stretched field scales its
        // axes apart).
        const double scale = std::max(layer.width / camera.width, layer.height / camera.height);
        const bool perspective = camera.projection == cm::Projection::Perspective;
        std::vector<bool> drop(layer.meshes.size(), false);
        size_t dropped = 0;
        // Where faces show in colour, what is left out is drawn as specks of its colour.
        std::optional<StandIns> standIns;
        if (!m_rules.hiddenLine && !m_rules.wireframe && !m_rules.silhouette) standIns.emplace(scale);
        for (size_t index : m_cullCandidates) {
            if (index >= layer.meshes.size()) continue;
            const MeshDraw& draw = layer.meshes[index];
            if (!draw.mesh || draw.mesh->VertexCount() == 0) continue;
            const Mesh& mesh = *draw.mesh;
            cm::Vec3 lo{mesh.boundsMin[0], mesh.boundsMin[1], mesh.boundsMin[2]};
            cm::Vec3 hi{mesh.boundsMax[0], mesh.boundsMax[1], mesh.boundsMax[2]};
            cm::Vec3 centre = (lo + hi) * 0.5;
            double radius = cm::Length(hi - lo) * 0.5;
            if (!draw.identity) {
                const cm::Vec3 c = cm::TransformPoint(draw.matrix, centre);
                double stretch = 0;  // the largest axis scale of the modelling matrix
                for (int axis = 0; axis < 3; ++axis) {
                    const cm::Vec3 v = cm::TransformVector(draw.matrix, {axis == 0 ? 1.0 : 0.0, axis == 1 ? 1.0 : 0.0, axis == 2 ? 1.0 : 0.0});
                    stretch = std::max(stretch, cm::Length(v));
                }
                centre = c;
                radius *= stretch;
            }
            double perUnit = scale;  // pixels per world unit where the orbit brings it nearest
            if (perspective) {
                const double nearest = distance - cm::Length(centre - camera.target) - radius;
                if (nearest < distance * 0.05) continue;  // may come close to the eye: keep
                perUnit *= distance / nearest;
            }
            if (2 * radius * perUnit < kMotionCullPixels) {
                drop[index] = true;
                ++dropped;
                if (standIns) standIns->Add(draw, centre, radius, perUnit);
            }
        }
        m_out.orbitDependent = true;
        m_out.orbitCamera = camera;
        if (dropped == 0) return;
        size_t kept = 0;
        for (size_t i = 0; i < layer.meshes.size(); ++i)
            if (!drop[i]) {
                if (kept != i) layer.meshes[kept] = std::move(layer.meshes[i]);
                ++kept;
            }
        layer.meshes.resize(kept);
        if (standIns) standIns->AddTo(layer);
    }

    struct LodCandidate {
        int layer;
        size_t index;
        const hc::Geometry* item;
        bool lodOption;
        int clamp;
    };

    const WalkSettings& m_settings;
    MeshCache& m_cache;
    DrawList& m_out;
    ModeRules m_rules;
    const hc::Graph& m_graph;
    int m_layer = 0;
    int m_clipSet = -1;
    int m_nextClipGroup = 0;
    mutable std::unordered_map<HC_KEY, std::shared_ptr<const TextureImage>> m_textures;
    mutable std::unordered_map<std::string, std::shared_ptr<const GlyphShape>> m_glyphs;
    std::vector<HC_KEY> m_path;
    std::unordered_set<const hc::Segment*> m_onStack;
    std::vector<LodCandidate> m_lodCandidates;
    std::vector<size_t> m_cullCandidates;  // main-layer meshes that motion frames may leave out
    // Items to tessellate after the walk (one per item key), and the draws waiting for them.
    struct PendingMesh {
        const hc::Geometry* item = nullptr;
        int facets = 0;
        bool edges = false;
        bool ownMesh = false;  // a textured draw needs the shell's own mesh
        Mesh mesh;
        ShapeProbe probe;
        size_t source = SIZE_MAX;  // an earlier pending shell it may be a copy of
        std::optional<ShapeTable::Match> copyOf;         // a built shell's mesh, placed
        std::optional<ShapePlacement> placedFromSource;  // or the source's mesh, placed
    };
    struct PendingDraw {
        int layer;
        size_t index;
        size_t slot;
    };
    std::vector<PendingMesh> m_pending;
    std::unordered_map<HC_KEY, size_t> m_pendingByKey;
    std::vector<PendingDraw> m_pendingDraws;
};

} // namespace

bool BuildDrawList(HC_KEY segmentKey, const WalkSettings& settings, MeshCache& cache, DrawList& out,
                   std::string* error) {
    out = DrawList();
    const hc::Segment* segment = hc::Graph::Instance().FindSegment(segmentKey);
    if (!segment) {
        if (error) *error = "key " + std::to_string(segmentKey) + " is not a segment";
        return false;
    }
    out.displayKey = segment->key;
    out.width = settings.width;
    out.height = settings.height;
    out.renderMode = settings.renderMode;
    Walker walker(settings, cache, out);
    walker.Run(*segment);
    cache.EndFrame(4, settings.meshCacheUser);
    return true;
}

bool OrbitOf(const CameraMath::Camera& original, const CameraMath::Camera& moved) {
    auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-5 * std::max({1.0, std::fabs(a), std::fabs(b)}); };
    const cm::Vec3 t0 = original.target, t1 = moved.target;
    return original.projection == moved.projection && near(original.width, moved.width) &&
           near(original.height, moved.height) && near(t0.x, t1.x) && near(t0.y, t1.y) && near(t0.z, t1.z) &&
           near(cm::Length(original.target - original.position), cm::Length(moved.target - moved.position));
}

bool RefreshCameras(DrawList& list) {
    const hc::Graph& graph = hc::Graph::Instance();
    for (Layer& layer : list.layers) {
        if (layer.cameraSegment == -1) continue;
        const hc::Segment* segment = graph.FindSegment(layer.cameraSegment);
        if (!segment) return false;
        if (segment->attributes && segment->attributes->camera.set) {
            layer.camera = ToCamera(segment->attributes->camera);
        } else {
            const hc::NetAttributes net = graph.Net(*segment);
            if (!net.camera.set) return false;
            layer.camera = ToCamera(net.camera);
        }
    }
    return !list.orbitDependent || list.layers.empty() || OrbitOf(list.orbitCamera, list.layers.front().camera);
}

} // namespace ketra::render
