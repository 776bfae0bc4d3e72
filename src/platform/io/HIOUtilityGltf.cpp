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

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <tuple>

namespace ketra::io {

namespace {

using render::Color;

// Primitives are gathered per material: triangles by face colour and opacity, lines and
// points by colour (and weight).
struct MaterialKey {
    int mode;  // TINYGLTF_MODE_*
    float r, g, b, a, weight;
    auto Tie() const { return std::tie(mode, r, g, b, a, weight); }
    bool operator<(const MaterialKey& o) const { return Tie() < o.Tie(); }
};

struct Batch {
    std::vector<float> positions;
    std::vector<float> normals;  // triangles only
    std::vector<uint32_t> indices;
};

class GltfBuilder {
public:
    explicit GltfBuilder(bool normals) : m_normals(normals) {}

    void AddMesh(const render::MeshDraw& draw) {
        const render::Mesh& mesh = *draw.mesh;
        const float opacity = 1.0f - std::clamp(draw.surface.transmission, 0.0f, 1.0f);
        const size_t vertices = mesh.VertexCount();
        std::vector<float> world(vertices * 3), normals;
        for (size_t i = 0; i < vertices; ++i) {
            const auto p = Transform(draw, {mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]});
            world[3 * i] = p[0];
            world[3 * i + 1] = p[1];
            world[3 * i + 2] = p[2];
        }
        if (draw.faces && !draw.hiddenSurfaceOnly && !mesh.triangles.empty() && opacity > 0.0f) {
            Batch& batch = m_batches[{TINYGLTF_MODE_TRIANGLES, draw.faceColor.r, draw.faceColor.g,
                                      draw.faceColor.b, opacity, 0.0f}];
            const uint32_t base = static_cast<uint32_t>(batch.positions.size() / 3);
            batch.positions.insert(batch.positions.end(), world.begin(), world.end());
            for (size_t i = 0; m_normals && i < vertices; ++i) {
                std::array<float, 3> n{0, 0, 1};
                if (mesh.normals.size() >= 3 * (i + 1))
                    n = NormalTransform(draw, {mesh.normals[3 * i], mesh.normals[3 * i + 1], mesh.normals[3 * i + 2]});
                batch.normals.insert(batch.normals.end(), n.begin(), n.end());
            }
            for (uint32_t index : mesh.triangles)
                batch.indices.push_back(base + index);
        }
        if (draw.edges && !mesh.edges.empty()) {
            Batch& batch = m_batches[{TINYGLTF_MODE_LINE, draw.edgeColor.r, draw.edgeColor.g, draw.edgeColor.b,
                                      1.0f, draw.edgeState.weight}];
            const uint32_t base = static_cast<uint32_t>(batch.positions.size() / 3);
            batch.positions.insert(batch.positions.end(), world.begin(), world.end());
            for (size_t e = 0; e + 3 < mesh.edges.size(); e += 4) {
                batch.indices.push_back(base + mesh.edges[e]);
                batch.indices.push_back(base + mesh.edges[e + 1]);
            }
        }
    }

    void AddLine(const render::LineDraw& line) {
        const size_t n = line.points.size() / 3;
        if (n < 2)
            return;
        Batch& batch = m_batches[{TINYGLTF_MODE_LINE, line.color.r, line.color.g, line.color.b, 1.0f,
                                  line.state.weight}];
        const uint32_t base = static_cast<uint32_t>(batch.positions.size() / 3);
        batch.positions.insert(batch.positions.end(), line.points.begin(), line.points.begin() + n * 3);
        for (size_t i = 0; i + 1 < n; i += line.pairs ? 2 : 1) {
            batch.indices.push_back(base + static_cast<uint32_t>(i));
            batch.indices.push_back(base + static_cast<uint32_t>(i + 1));
        }
    }

    void AddMarker(const render::MarkerDraw& marker) {
        Batch& batch = m_batches[{TINYGLTF_MODE_POINTS, marker.color.r, marker.color.g, marker.color.b, 1.0f,
                                  marker.size}];
        batch.indices.push_back(static_cast<uint32_t>(batch.positions.size() / 3));
        batch.positions.insert(batch.positions.end(), marker.position.begin(), marker.position.end());
    }

    bool Empty() const { return m_batches.empty(); }

    void Write(tinygltf::Model& model, const render::Layer& layer) {
        model.asset.version = "2.0";
        model.asset.generator = "Ketra";
        tinygltf::Buffer buffer;
        tinygltf::Mesh mesh;
        mesh.name = "scene";
        for (const auto& [key, batch] : m_batches) {
            tinygltf::Material material;
            material.pbrMetallicRoughness.baseColorFactor = {key.r, key.g, key.b, key.a};
            material.pbrMetallicRoughness.metallicFactor = 0.0;
            material.pbrMetallicRoughness.roughnessFactor = 0.6;
            material.doubleSided = true;
            if (key.a < 1.0f)
                material.alphaMode = "BLEND";
            if (key.mode != TINYGLTF_MODE_TRIANGLES) {
                tinygltf::Value::Object extras;
                extras["lineWeight"] = tinygltf::Value(static_cast<double>(key.weight));
                material.extras = tinygltf::Value(extras);
            }
            model.materials.push_back(material);

            tinygltf::Primitive primitive;
            primitive.mode = key.mode;
            primitive.material = static_cast<int>(model.materials.size() - 1);
            primitive.attributes["POSITION"] = AddAccessor(model, buffer, batch.positions, true);
            if (!batch.normals.empty())
                primitive.attributes["NORMAL"] = AddAccessor(model, buffer, batch.normals, false);
            primitive.indices = AddIndices(model, buffer, batch.indices);
            mesh.primitives.push_back(primitive);
        }
        model.buffers.push_back(std::move(buffer));
        model.meshes.push_back(std::move(mesh));

        tinygltf::Node node;
        node.name = "ketra";
        node.mesh = 0;
        // Our world is Z-up; glTF's is Y-up: x stays, z goes to y, y to -z.
        node.matrix = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
        model.nodes.push_back(node);
        tinygltf::Scene scene;
        scene.nodes.push_back(0);
        scene.extras = tinygltf::Value(ViewExtras(layer));
        model.scenes.push_back(scene);
        model.defaultScene = 0;
    }

private:
    static std::array<float, 3> Transform(const render::MeshDraw& draw, const hc::CameraMath::Vec3& p) {
        if (draw.identity)
            return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        const auto q = hc::CameraMath::TransformPoint(draw.matrix, p);
        return {static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z)};
    }
    static std::array<float, 3> NormalTransform(const render::MeshDraw& draw, const hc::CameraMath::Vec3& n) {
        hc::CameraMath::Vec3 q = draw.identity ? n : hc::CameraMath::TransformVector(draw.matrix, n);
        const double length = hc::CameraMath::Length(q);
        if (length > 0)
            q = q * (1.0 / length);
        return {static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z)};
    }

    static int AddView(tinygltf::Model& model, tinygltf::Buffer& buffer, const void* data, size_t bytes, int target) {
        while (buffer.data.size() % 4)
            buffer.data.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.data.size();
        view.byteLength = bytes;
        view.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        buffer.data.insert(buffer.data.end(), p, p + bytes);
        model.bufferViews.push_back(view);
        return static_cast<int>(model.bufferViews.size() - 1);
    }

    static int AddAccessor(tinygltf::Model& model, tinygltf::Buffer& buffer, const std::vector<float>& values,
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
        model.accessors.push_back(accessor);
        return static_cast<int>(model.accessors.size() - 1);
    }

    static int AddIndices(tinygltf::Model& model, tinygltf::Buffer& buffer, const std::vector<uint32_t>& indices) {
        tinygltf::Accessor accessor;
        accessor.bufferView =
            AddView(model, buffer, indices.data(), indices.size() * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        accessor.type = TINYGLTF_TYPE_SCALAR;
        accessor.count = indices.size();
        model.accessors.push_back(accessor);
        return static_cast<int>(model.accessors.size() - 1);
    }

    static tinygltf::Value Vec(const hc::CameraMath::Vec3& v) {
        return tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(v.x), tinygltf::Value(v.y), tinygltf::Value(v.z)});
    }
    static tinygltf::Value Rgb(const Color& c) {
        return tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(static_cast<double>(c.r)),
                                                      tinygltf::Value(static_cast<double>(c.g)),
                                                      tinygltf::Value(static_cast<double>(c.b))});
    }
    static tinygltf::Value::Object ViewExtras(const render::Layer& layer) {
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
        tinygltf::Value::Object ketra;
        ketra["camera"] = tinygltf::Value(camera);
        ketra["background"] = tinygltf::Value(background);
        ketra["up"] = tinygltf::Value(std::string("z"));
        tinygltf::Value::Object extras;
        extras["ketra"] = tinygltf::Value(ketra);
        return extras;
    }

    bool m_normals;
    std::map<MaterialKey, Batch> m_batches;
};

} // namespace

bool BuildGltf(HC_KEY key, bool binary, std::string& out, std::string* error, float (*background)[2][3],
               int windowPixels, bool normals) {
    render::WalkSettings settings;
    // Without a window size, one large enough that every item is drawn at full detail.
    settings.width = settings.height = windowPixels > 0 ? windowPixels : 1 << 20;
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
    GltfBuilder builder(normals);
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
    for (const render::MeshDraw& draw : layer.meshes)
        if (draw.mesh)
            builder.AddMesh(draw);
    for (const render::LineDraw& line : layer.lines)
        builder.AddLine(line);
    for (const render::MarkerDraw& marker : layer.markers)
        builder.AddMarker(marker);
    tinygltf::Model model;
    builder.Write(model, layer);
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
