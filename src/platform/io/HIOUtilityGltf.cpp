#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include "platform/io/HIOUtilityGltf.h"

#include "platform/io/HIOUtilityHsf.h"
#include "platform/render/Renderer.h"
#include "platform/render/SceneWalker.h"
#include "platform/sys/AtomicFile.h"

#include <tiny_gltf.h>
// The implementation is in this file once; headers that include tiny_gltf.h again get the
// declarations only.
#undef TINYGLTF_IMPLEMENTATION
#include "platform/io/GltfScreenParts.h"

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <tuple>

namespace ketra::io {

namespace {

using render::Color;

constexpr int kNoPrimitive = -1;
// glTF forbids the largest index value of a component type (primitive restart).
constexpr size_t kChunkVertices = 65535;
// A quantized chunk spans at most this share of the scene's diagonal, so its 16-bit steps
// stay near float precision however large the plant is.
constexpr double kChunkShareOfScene = 1.0 / 8;

// A primitive's material: triangles by face colour and opacity, lines and points by colour
// and weight (pixels). mode kNoPrimitive: the batch has no primitive of that kind.
struct MaterialKey {
    int mode = kNoPrimitive;  // TINYGLTF_MODE_*
    float r = 0, g = 0, b = 0, a = 1, weight = 0;
    bool grouped = false;  // coloured per vertex by its item group (GltfOptions::groupColours)
    auto Tie() const { return std::tie(mode, r, g, b, a, weight, grouped); }
    bool operator<(const MaterialKey& o) const { return Tie() < o.Tie(); }
};

// Items sharing their materials: the faces of a mesh and its edges use the same vertices.
struct BatchKey {
    MaterialKey faces, lines;  // lines: edges, polylines (LINE) or markers (POINTS)
    auto Tie() const { return std::tie(faces, lines); }
    bool operator<(const BatchKey& o) const { return Tie() < o.Tie(); }
};

struct Batch {
    struct Item {
        uint32_t vertex, triangle, line;  // where its vertices and indices start
    };
    std::vector<float> positions;
    std::vector<float> normals;  // with faces only
    std::vector<float> groups;   // a grouped batch's item group of each vertex
    std::vector<uint32_t> triangles, lines;
    std::vector<Item> items;

    Item Begin() {
        Item item{static_cast<uint32_t>(positions.size() / 3), static_cast<uint32_t>(triangles.size()),
                  static_cast<uint32_t>(lines.size())};
        items.push_back(item);
        return item;
    }
    // Item i's vertices [first, last) and index ranges.
    Item End(size_t i) const {
        return i + 1 < items.size() ? items[i + 1]
                                    : Item{static_cast<uint32_t>(positions.size() / 3),
                                           static_cast<uint32_t>(triangles.size()), static_cast<uint32_t>(lines.size())};
    }
};

struct Bounds {
    std::array<double, 3> lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
    void Add(const float* p) {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min<double>(lo[k], p[k]);
            hi[k] = std::max<double>(hi[k], p[k]);
        }
    }
    void Add(const Bounds& b) {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], b.lo[k]);
            hi[k] = std::max(hi[k], b.hi[k]);
        }
    }
    bool Empty() const { return lo[0] > hi[0]; }
    double Extent() const { return Empty() ? 0 : std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]}); }
    double Diagonal() const {
        return Empty() ? 0 : std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]);
    }
};

// Spreads the low 10 bits of v to every third bit (a Morton code's one axis).
uint32_t SpreadBits(uint32_t v) {
    v &= 0x3ff;
    v = (v | (v << 16)) & 0x030000ff;
    v = (v | (v << 8)) & 0x0300f00f;
    v = (v | (v << 4)) & 0x030c30c3;
    v = (v | (v << 2)) & 0x09249249;
    return v;
}

// 24-bit value of a colour, 8 bits a channel.
uint32_t ColourCode(float r, float g, float b) {
    auto channel = [](float c) { return static_cast<uint32_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255)); };
    return channel(r) | channel(g) << 8 | channel(b) << 16;
}

class GltfBuilder {
public:
    GltfBuilder(bool normals, bool quantize, const std::vector<std::array<float, 3>>* groupColours)
        : m_normals(normals), m_quantize(quantize) {
        if (groupColours)
            for (size_t i = 0; i < groupColours->size(); ++i)
                m_groups.emplace(ColourCode((*groupColours)[i][0], (*groupColours)[i][1], (*groupColours)[i][2]),
                                 static_cast<float>(i));
    }

    void AddMesh(const render::MeshDraw& draw) {
        const render::Mesh& mesh = *draw.mesh;
        const float opacity = 1.0f - std::clamp(draw.surface.transmission, 0.0f, 1.0f);
        const bool faces = draw.faces && !draw.hiddenSurfaceOnly && !mesh.triangles.empty() && opacity > 0.0f;
        const bool edges = draw.edges && !mesh.edges.empty();
        if (!faces && !edges)
            return;
        BatchKey key;
        if (faces)
            key.faces = {TINYGLTF_MODE_TRIANGLES, draw.faceColor.r, draw.faceColor.g, draw.faceColor.b, opacity, 0.0f};
        if (edges)
            key.lines = {TINYGLTF_MODE_LINE, draw.edgeColor.r, draw.edgeColor.g, draw.edgeColor.b, 1.0f,
                         draw.edgeState.weight};
        // A centre line stands for the faces of its item: it takes their colour.
        if (draw.lod > 0 && mesh.triangles.empty() && draw.faces && !draw.hiddenSurfaceOnly)
            key.lines = {TINYGLTF_MODE_LINE, draw.faceColor.r, draw.faceColor.g, draw.faceColor.b, 1.0f, 1.0f};
        const float group = Group(key.faces.mode != kNoPrimitive ? key.faces : key.lines);
        if (group >= 0)
            for (MaterialKey* material : {&key.faces, &key.lines})
                Whiten(*material);
        Batch& batch = m_batches[key];
        const uint32_t base = batch.Begin().vertex;
        const size_t vertices = mesh.VertexCount();
        if (group >= 0)
            batch.groups.insert(batch.groups.end(), vertices, group);
        for (size_t i = 0; i < vertices; ++i) {
            const auto p = Transform(draw, {mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]});
            batch.positions.insert(batch.positions.end(), p.begin(), p.end());
        }
        if (faces) {
            for (size_t i = 0; m_normals && i < vertices; ++i) {
                std::array<float, 3> n{0, 0, 1};
                if (i < mesh.normals.size()) {
                    const std::array<float, 3> u = render::UnpackNormal(mesh.normals[i]);
                    n = NormalTransform(draw, {u[0], u[1], u[2]});
                }
                batch.normals.insert(batch.normals.end(), n.begin(), n.end());
            }
            mesh.triangles.Visit([&](const auto& triangles) {
                for (auto index : triangles) batch.triangles.push_back(base + index);
            });
        }
        if (edges) {
            for (size_t e = 0; e + 3 < mesh.edges.size(); e += 4) {
                batch.lines.push_back(base + mesh.edges[e]);
                batch.lines.push_back(base + mesh.edges[e + 1]);
            }
        }
    }

    void AddLine(const render::LineDraw& line) {
        const size_t n = line.points.size() / 3;
        if (n < 2)
            return;
        BatchKey key;
        key.lines = {TINYGLTF_MODE_LINE, line.color.r, line.color.g, line.color.b, 1.0f, line.state.weight};
        const float group = Group(key.lines);
        if (group >= 0)
            Whiten(key.lines);
        Batch& batch = m_batches[key];
        const uint32_t base = batch.Begin().vertex;
        if (group >= 0)
            batch.groups.insert(batch.groups.end(), n, group);
        batch.positions.insert(batch.positions.end(), line.points.begin(), line.points.begin() + n * 3);
        for (size_t i = 0; i + 1 < n; i += line.pairs ? 2 : 1) {
            batch.lines.push_back(base + static_cast<uint32_t>(i));
            batch.lines.push_back(base + static_cast<uint32_t>(i + 1));
        }
    }

    void AddMarker(const render::MarkerDraw& marker) {
        BatchKey key;
        key.lines = {TINYGLTF_MODE_POINTS, marker.color.r, marker.color.g, marker.color.b, 1.0f, marker.size};
        Batch& batch = m_batches[key];
        batch.lines.push_back(batch.Begin().vertex);
        batch.positions.insert(batch.positions.end(), marker.position.begin(), marker.position.end());
    }

    // What a draw callback would have drawn: its world polylines (a note's leader) or markers.
    void AddCallback(const render::CallbackDraw& call) {
        if (call.kind == render::CallbackDraw::Kind::Marker) {
            render::MarkerDraw marker;
            marker.color = call.color;
            marker.size = call.markerSize;
            for (size_t i = 0; i + 2 < call.points.size(); i += 3) {
                marker.position = {call.points[i], call.points[i + 1], call.points[i + 2]};
                AddMarker(marker);
            }
            return;
        }
        render::LineDraw line;
        line.points = call.points;
        line.color = call.color;
        line.state.weight = call.weight;
        AddLine(line);
    }

    bool Empty() const { return m_batches.empty(); }

    void Write(tinygltf::Model& model, const render::Layer& layer, tinygltf::Value::Object screenParts) {
        model.asset.version = "2.0";
        model.asset.generator = "Ketra";
        if (m_quantize) {
            model.extensionsUsed.push_back("KHR_mesh_quantization");
            model.extensionsRequired.push_back("KHR_mesh_quantization");
        }
        model.buffers.emplace_back();
        tinygltf::Node root;
        root.name = "ketra";
        // Our world is Z-up; glTF's is Y-up: x stays, z goes to y, y to -z.
        root.matrix = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
        model.nodes.push_back(root);
        if (!m_quantize) {
            model.meshes.emplace_back();
            model.meshes[0].name = "scene";
            model.nodes[0].mesh = 0;
        }
        Bounds scene;
        std::vector<std::vector<Bounds>> itemBounds;
        for (const auto& [key, batch] : m_batches) {
            itemBounds.emplace_back(batch.items.size());
            for (size_t i = 0; i < batch.items.size(); ++i) {
                for (uint32_t v = batch.items[i].vertex; v < batch.End(i).vertex; ++v)
                    itemBounds.back()[i].Add(&batch.positions[3 * v]);
                scene.Add(itemBounds.back()[i]);
            }
        }
        const double chunkExtent = scene.Diagonal() * kChunkShareOfScene;
        size_t b = 0;
        for (const auto& [key, batch] : m_batches) {
            const std::vector<Bounds>& bounds = itemBounds[b++];
            std::vector<size_t> order(batch.items.size());
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            if (m_quantize)
                SortNearbyTogether(bounds, scene, order);
            std::vector<size_t> chunk;
            Bounds chunkBounds;
            size_t chunkVertices = 0;
            for (size_t i : order) {
                const size_t vertices = batch.End(i).vertex - batch.items[i].vertex;
                Bounds grown = chunkBounds;
                grown.Add(bounds[i]);
                if (!chunk.empty() && (chunkVertices + vertices > kChunkVertices ||
                                       (m_quantize && grown.Extent() > chunkExtent))) {
                    WriteChunk(model, key, batch, chunk, chunkBounds);
                    chunk.clear();
                    chunkVertices = 0;
                    grown = bounds[i];
                }
                chunk.push_back(i);
                chunkVertices += vertices;
                chunkBounds = grown;
            }
            if (!chunk.empty())
                WriteChunk(model, key, batch, chunk, chunkBounds);
        }
        tinygltf::Scene sceneNode;
        sceneNode.nodes.push_back(0);
        sceneNode.extras = tinygltf::Value(ViewExtras(layer, std::move(screenParts)));
        model.scenes.push_back(sceneNode);
        model.defaultScene = 0;
    }

private:
    // The item group drawn in the material's colour; -1 for none.
    float Group(const MaterialKey& material) const {
        if (m_groups.empty() || material.mode == kNoPrimitive)
            return -1;
        auto it = m_groups.find(ColourCode(material.r, material.g, material.b));
        return it == m_groups.end() ? -1 : it->second;
    }
    static void Whiten(MaterialKey& material) {
        if (material.mode == kNoPrimitive)
            return;
        material.r = material.g = material.b = 1;
        material.grouped = true;
    }

    // Orders items along a Morton curve through the scene's box, so that consecutive items,
    // and so the items of a chunk, lie near each other.
    static void SortNearbyTogether(const std::vector<Bounds>& bounds, const Bounds& scene, std::vector<size_t>& order) {
        std::vector<uint32_t> code(bounds.size(), 0);
        for (size_t i = 0; i < bounds.size(); ++i) {
            if (bounds[i].Empty())
                continue;
            for (int k = 0; k < 3; ++k) {
                const double size = scene.hi[k] - scene.lo[k];
                const double centre = (bounds[i].lo[k] + bounds[i].hi[k]) / 2;
                const double unit = size > 0 ? (centre - scene.lo[k]) / size : 0;
                code[i] |= SpreadBits(static_cast<uint32_t>(std::clamp(unit, 0.0, 1.0) * 1023)) << k;
            }
        }
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t c) { return code[a] < code[c]; });
    }

    int Material(tinygltf::Model& model, const MaterialKey& key) {
        auto [at, added] = m_materials.try_emplace(key, static_cast<int>(model.materials.size()));
        if (!added)
            return at->second;
        tinygltf::Material material;
        material.pbrMetallicRoughness.baseColorFactor = {key.r, key.g, key.b, key.a};
        material.pbrMetallicRoughness.metallicFactor = 0.0;
        material.pbrMetallicRoughness.roughnessFactor = 0.6;
        material.doubleSided = true;
        if (key.a < 1.0f)
            material.alphaMode = "BLEND";
        tinygltf::Value::Object extras;
        if (key.mode != TINYGLTF_MODE_TRIANGLES)
            extras["lineWeight"] = tinygltf::Value(static_cast<double>(key.weight));
        if (key.grouped)
            extras["groups"] = tinygltf::Value(true);
        if (!extras.empty())
            material.extras = tinygltf::Value(extras);
        model.materials.push_back(material);
        return at->second;
    }

    // The items `chunk` of `batch` as one or two primitives sharing their vertices.
    void WriteChunk(tinygltf::Model& model, const BatchKey& key, const Batch& batch, const std::vector<size_t>& chunk,
                    const Bounds& bounds) {
        std::vector<float> positions, normals, groups;
        std::vector<uint32_t> triangles, lines;
        for (size_t i : chunk) {
            const Batch::Item first = batch.items[i], last = batch.End(i);
            const uint32_t base = static_cast<uint32_t>(positions.size() / 3);
            positions.insert(positions.end(), batch.positions.begin() + 3 * first.vertex,
                             batch.positions.begin() + 3 * last.vertex);
            if (!batch.normals.empty())
                normals.insert(normals.end(), batch.normals.begin() + 3 * first.vertex,
                               batch.normals.begin() + 3 * last.vertex);
            if (!batch.groups.empty())
                groups.insert(groups.end(), batch.groups.begin() + first.vertex, batch.groups.begin() + last.vertex);
            for (uint32_t t = first.triangle; t < last.triangle; ++t)
                triangles.push_back(batch.triangles[t] - first.vertex + base);
            for (uint32_t l = first.line; l < last.line; ++l)
                lines.push_back(batch.lines[l] - first.vertex + base);
        }
        tinygltf::Buffer& buffer = model.buffers[0];
        std::map<std::string, int> attributes;
        tinygltf::Mesh* mesh = model.meshes.empty() ? nullptr : &model.meshes[0];
        if (m_quantize) {
            // Positions = node translation + node scale * q, q in 0..65535 on every axis.
            const double extent = bounds.Extent();
            const double step = extent > 0 ? extent / 65535.0 : 1.0;
            attributes["POSITION"] = AddQuantizedPositions(model, buffer, positions, bounds, step);
            if (!normals.empty())
                attributes["NORMAL"] = AddByteNormals(model, buffer, normals);
            tinygltf::Node node;
            node.mesh = static_cast<int>(model.meshes.size());
            node.translation = {bounds.lo[0], bounds.lo[1], bounds.lo[2]};
            node.scale = {step, step, step};
            model.nodes[0].children.push_back(static_cast<int>(model.nodes.size()));
            model.nodes.push_back(node);
            model.meshes.emplace_back();
            mesh = &model.meshes.back();
        } else {
            attributes["POSITION"] = AddFloats(model, buffer, positions, true);
            if (!normals.empty())
                attributes["NORMAL"] = AddFloats(model, buffer, normals, false);
        }
        if (!groups.empty()) {
            tinygltf::Accessor accessor;
            accessor.bufferView = AddView(model, buffer, groups.data(), groups.size() * 4, TINYGLTF_TARGET_ARRAY_BUFFER);
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
            accessor.type = TINYGLTF_TYPE_SCALAR;
            accessor.count = groups.size();
            attributes["_GROUP"] = AddAccessor(model, std::move(accessor));
        }
        const size_t vertices = positions.size() / 3;
        for (const MaterialKey* material : {&key.faces, &key.lines}) {
            const std::vector<uint32_t>& indices = material == &key.faces ? triangles : lines;
            if (material->mode == kNoPrimitive || indices.empty())
                continue;
            tinygltf::Primitive primitive;
            primitive.mode = material->mode;
            primitive.material = Material(model, *material);
            primitive.attributes = attributes;
            if (material->mode != TINYGLTF_MODE_TRIANGLES)
                primitive.attributes.erase("NORMAL");
            primitive.indices = AddIndices(model, buffer, indices, vertices);
            mesh->primitives.push_back(std::move(primitive));
        }
    }

    static std::array<float, 3> Transform(const render::MeshDraw& draw, const hc::CameraMath::Vec3& p) {
        if (draw.identity)
            return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        const auto q = hc::CameraMath::TransformPoint(draw.matrix, p);
        return {static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z)};
    }
    static std::array<float, 3> NormalTransform(const render::MeshDraw& draw, const hc::CameraMath::Vec3& n) {
        hc::CameraMath::Vec3 q = draw.identity ? n : hc::CameraMath::TransformVector(draw.matrix, n);
        const double length = hc::CameraMath::Length(q);
        // A degenerate face leaves a zero normal; glTF requires unit normals.
        if (!(length > 1e-12) || !std::isfinite(length))
            return {0, 0, 1};
        q = q * (1.0 / length);
        return {static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z)};
    }

    static int AddView(tinygltf::Model& model, tinygltf::Buffer& buffer, const void* data, size_t bytes, int target,
                       size_t stride = 0) {
        while (buffer.data.size() % 4)
            buffer.data.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.data.size();
        view.byteLength = bytes;
        view.byteStride = stride;
        view.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        buffer.data.insert(buffer.data.end(), p, p + bytes);
        model.bufferViews.push_back(view);
        return static_cast<int>(model.bufferViews.size() - 1);
    }

    static int AddAccessor(tinygltf::Model& model, tinygltf::Accessor accessor) {
        model.accessors.push_back(std::move(accessor));
        return static_cast<int>(model.accessors.size() - 1);
    }

    static int AddFloats(tinygltf::Model& model, tinygltf::Buffer& buffer, const std::vector<float>& values,
                         bool bounds) {
        tinygltf::Accessor accessor;
        accessor.bufferView = AddView(model, buffer, values.data(), values.size() * 4, TINYGLTF_TARGET_ARRAY_BUFFER);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.type = TINYGLTF_TYPE_VEC3;
        accessor.count = values.size() / 3;
        if (bounds && accessor.count > 0) {
            std::vector<double> lo(3, INFINITY), hi(3, -INFINITY);
            for (size_t i = 0; i < values.size(); ++i) {
                lo[i % 3] = std::min<double>(lo[i % 3], values[i]);
                hi[i % 3] = std::max<double>(hi[i % 3], values[i]);
            }
            accessor.minValues = lo;
            accessor.maxValues = hi;
        }
        return AddAccessor(model, std::move(accessor));
    }

    // Four 16-bit values a vertex (the fourth pads to glTF's 4-byte alignment).
    static int AddQuantizedPositions(tinygltf::Model& model, tinygltf::Buffer& buffer,
                                     const std::vector<float>& positions, const Bounds& bounds, double step) {
        const size_t vertices = positions.size() / 3;
        std::vector<uint16_t> packed(vertices * 4, 0);
        std::vector<double> lo(3, 65535), hi(3, 0);
        for (size_t v = 0; v < vertices; ++v) {
            for (int k = 0; k < 3; ++k) {
                const double q = std::round((positions[3 * v + k] - bounds.lo[k]) / step);
                packed[4 * v + k] = static_cast<uint16_t>(std::clamp(q, 0.0, 65535.0));
                lo[k] = std::min<double>(lo[k], packed[4 * v + k]);
                hi[k] = std::max<double>(hi[k], packed[4 * v + k]);
            }
        }
        tinygltf::Accessor accessor;
        accessor.bufferView =
            AddView(model, buffer, packed.data(), packed.size() * 2, TINYGLTF_TARGET_ARRAY_BUFFER, 8);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        accessor.type = TINYGLTF_TYPE_VEC3;
        accessor.count = vertices;
        accessor.minValues = lo;
        accessor.maxValues = hi;
        return AddAccessor(model, std::move(accessor));
    }

    // Normalized signed bytes, four a vertex.
    static int AddByteNormals(tinygltf::Model& model, tinygltf::Buffer& buffer, const std::vector<float>& normals) {
        const size_t vertices = normals.size() / 3;
        std::vector<int8_t> packed(vertices * 4, 0);
        for (size_t i = 0; i < vertices * 3; ++i)
            packed[i / 3 * 4 + i % 3] = static_cast<int8_t>(std::lround(std::clamp(normals[i], -1.0f, 1.0f) * 127));
        tinygltf::Accessor accessor;
        accessor.bufferView = AddView(model, buffer, packed.data(), packed.size(), TINYGLTF_TARGET_ARRAY_BUFFER, 4);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_BYTE;
        accessor.normalized = true;
        accessor.type = TINYGLTF_TYPE_VEC3;
        accessor.count = vertices;
        return AddAccessor(model, std::move(accessor));
    }

    // 16-bit indices where the vertices allow, else 32-bit.
    static int AddIndices(tinygltf::Model& model, tinygltf::Buffer& buffer, const std::vector<uint32_t>& indices,
                          size_t vertices) {
        tinygltf::Accessor accessor;
        if (vertices <= kChunkVertices) {
            const std::vector<uint16_t> shorts(indices.begin(), indices.end());
            accessor.bufferView =
                AddView(model, buffer, shorts.data(), shorts.size() * 2, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        } else {
            accessor.bufferView =
                AddView(model, buffer, indices.data(), indices.size() * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        }
        accessor.type = TINYGLTF_TYPE_SCALAR;
        accessor.count = indices.size();
        return AddAccessor(model, std::move(accessor));
    }

    static tinygltf::Value Vec(const hc::CameraMath::Vec3& v) {
        return tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(v.x), tinygltf::Value(v.y), tinygltf::Value(v.z)});
    }
    static tinygltf::Value Rgb(const Color& c) {
        return tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(static_cast<double>(c.r)),
                                                      tinygltf::Value(static_cast<double>(c.g)),
                                                      tinygltf::Value(static_cast<double>(c.b))});
    }
    static tinygltf::Value::Object ViewExtras(const render::Layer& layer, tinygltf::Value::Object ketra) {
        tinygltf::Value::Object camera;
        const auto& c = layer.camera;
        camera["position"] = Vec(c.position);
        camera["target"] = Vec(c.target);
        camera["up"] = Vec(c.up);
        camera["width"] = tinygltf::Value(c.width);
        camera["height"] = tinygltf::Value(c.height);
        camera["projection"] = tinygltf::Value(std::string(
            c.projection == hc::CameraMath::Projection::Perspective ? "perspective" : "orthographic"));
        tinygltf::Value::Object background;
        background["top"] = Rgb(layer.windowTop);
        background["bottom"] = Rgb(layer.windowBottom);
        ketra["camera"] = tinygltf::Value(camera);
        ketra["background"] = tinygltf::Value(background);
        ketra["up"] = tinygltf::Value(std::string("z"));
        tinygltf::Value::Object extras;
        extras["ketra"] = tinygltf::Value(ketra);
        return extras;
    }

    bool m_normals, m_quantize;
    std::map<BatchKey, Batch> m_batches;
    std::map<MaterialKey, int> m_materials;
    std::map<uint32_t, float> m_groups;  // colour code -> item group
};

} // namespace

bool BuildGltf(HC_KEY key, bool binary, std::string& out, std::string* error, float (*background)[2][3],
               const GltfOptions& options) {
    render::WalkSettings settings;
    // Without a window size, one large enough that every item is drawn at full detail.
    settings.width = settings.height = options.windowPixels > 0 ? options.windowPixels : 1 << 20;
    // A page's frame: the window keeps the frame's shape, so that what is fixed to the screen
    // (subwindows) lands where the view shows it.
    double framePixelScale = 1.0;
    if (options.frameWidth > 0 && options.frameHeight > 0) {
        framePixelScale = static_cast<double>(settings.width) / std::max(options.frameWidth, options.frameHeight);
        settings.width = std::max(1, static_cast<int>(std::lround(options.frameWidth * framePixelScale)));
        settings.height = std::max(1, static_cast<int>(std::lround(options.frameHeight * framePixelScale)));
    }
    if (options.windowPixels > 0) {
        settings.levelsOfDetail = true;
        settings.lodLevel1Pixels = options.lodLevel1Pixels;
        settings.lodLevel2Pixels = options.lodLevel2Pixels;
        settings.tubeLinePixels = options.tubeLinePixels;
    }
    settings.renderMode = render::GetRenderMode(key);
    render::MeshCache cache;
    render::DrawList list;
    if (!render::BuildDrawList(key, settings, cache, list, error))
        return false;
    if (list.layers.empty()) {
        if (error)
            *error = "the segment shows nothing";
        return false;
    }
    GltfBuilder builder(options.normals, options.quantize, options.groupColours);
    // Only the main window: subwindows (the axis triad) belong to the screen, not the model.
    const render::Layer& layer = list.Main();
    if (background) {
        const render::Color* colours[2] = {&layer.windowTop, &layer.windowBottom};
        for (int i = 0; i < 2; ++i) {
            (*background)[i][0] = colours[i]->r;
            (*background)[i][1] = colours[i]->g;
            (*background)[i][2] = colours[i]->b;
        }
    }
    // Items facing the screen at a fixed size (a note's frame) cannot be held as meshes: they
    // go to the labels they frame.
    GltfScreenParts screen(framePixelScale);
    for (const render::MeshDraw& draw : layer.meshes)
        if (draw.mesh && !screen.TakeMasked(draw))
            builder.AddMesh(draw);
    for (const render::LineDraw& line : layer.lines)
        if (!screen.TakeMasked(line))
            builder.AddLine(line);
    for (const render::MarkerDraw& marker : layer.markers)
        if (!screen.Masked(marker.segment))
            builder.AddMarker(marker);
    for (const render::CallbackDraw& call : layer.callbacks)
        if (!screen.Masked(call.segment))
            builder.AddCallback(call);
    tinygltf::Value::Object screenParts;
    screen.Write(list, screenParts);
    tinygltf::Model model;
    builder.Write(model, layer, std::move(screenParts));
    tinygltf::TinyGLTF gltf;
    std::ostringstream stream;
    if (!gltf.WriteGltfSceneToStream(&model, stream, !binary, binary)) {
        if (error)
            *error = "the glTF encoder failed";
        return false;
    }
    out = std::move(stream).str();
    return true;
}

} // namespace ketra::io

HFileOutputResult HIOUtilityGltf::FileOutputByKey(const char* filename, HC_KEY key, const HOutputHandlerOptions*) {
    const std::string file = filename ? filename : "";
    std::string error;
    if (!ketra::io::CanWriteFile(file, &error)) {
        HIOManager::SetLastError(error);
        return OutputBadFileName;
    }
    std::string bytes;
    if (!ketra::io::BuildGltf(key, m_binary, bytes, &error)) {
        HIOManager::SetLastError("\"" + file + "\": " + error);
        return OutputFail;
    }
    if (!ketra::sys::WriteFileAtomically(file, bytes, &error)) {
        HIOManager::SetLastError(error);
        return OutputFail;
    }
    HIOManager::SetLastError("");
    return OutputOK;
}
