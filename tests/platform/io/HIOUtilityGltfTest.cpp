// glTF output: what another loader reads back from our .glb and .gltf: meshes per colour,
// polylines as lines, the Z-up root node and the view in the scene's extras.
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include "platform/io/HIOUtilityGltf.h"

#include "platform/hc/hc.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

namespace {

// A display: a red square and a green one, a blue polyline, a grey-to-white background.
class GltfScene : public ::testing::Test {
protected:
    void SetUp() override {
        m_key = HC_Open_Segment("/driver/null/gltf test");
        const float position[3] = {0, 0, 5}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
        HC_Set_Camera(position, target, up, 4.0, 3.0, "orthographic");
        HC_Set_Visibility("edges = off");
        const float square[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
        const int faces[5] = {4, 0, 1, 2, 3};
        HC_Open_Segment("red");
        HC_Set_Color("faces = red");
        HC_Insert_Shell(4, square, 5, faces);
        HC_Translate_Object(2, 0, 0);  // the matrix is baked into the points
        HC_Close_Segment();
        HC_Open_Segment("green");
        HC_Set_Color("faces = green");
        HC_Insert_Shell(4, square, 5, faces);
        HC_Close_Segment();
        HC_Open_Segment("line");
        HC_Set_Color("lines = blue");
        HC_Set_Line_Weight(3);
        const float line[9] = {0, 0, 1, 1, 0, 1, 1, 1, 1};
        HC_Insert_Polyline(3, line);
        HC_Close_Segment();
        HC_Close_Segment();
    }
    void TearDown() override { HC_Delete_By_Key(m_key); }

    bool Load(bool binary, tinygltf::Model& model) {
        std::string bytes, error;
        EXPECT_TRUE(ketra::io::BuildGltf(m_key, binary, bytes, &error)) << error;
        tinygltf::TinyGLTF loader;
        std::string warning;
        const bool ok = binary ? loader.LoadBinaryFromMemory(&model, &error, &warning,
                                                             reinterpret_cast<const unsigned char*>(bytes.data()),
                                                             static_cast<unsigned>(bytes.size()))
                               : loader.LoadASCIIFromString(&model, &error, &warning, bytes.data(),
                                                            static_cast<unsigned>(bytes.size()), "");
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    HC_KEY m_key = -1;
};

const tinygltf::Primitive* FindPrimitive(const tinygltf::Model& model, int mode, double r, double g, double b) {
    for (const tinygltf::Primitive& p : model.meshes.at(0).primitives) {
        const auto& f = model.materials.at(p.material).pbrMetallicRoughness.baseColorFactor;
        if (p.mode == mode && std::abs(f[0] - r) < 1e-3 && std::abs(f[1] - g) < 1e-3 && std::abs(f[2] - b) < 1e-3)
            return &p;
    }
    return nullptr;
}

} // namespace

TEST_F(GltfScene, LoadersReadMeshesPerColourAndLines) {
    for (bool binary : {true, false}) {
        tinygltf::Model model;
        ASSERT_TRUE(Load(binary, model));
        ASSERT_EQ(model.meshes.size(), 1u);
        const tinygltf::Primitive* red = FindPrimitive(model, TINYGLTF_MODE_TRIANGLES, 1, 0, 0);
        const tinygltf::Primitive* green = FindPrimitive(model, TINYGLTF_MODE_TRIANGLES, 0, 1, 0);
        const tinygltf::Primitive* blue = FindPrimitive(model, TINYGLTF_MODE_LINE, 0, 0, 1);
        ASSERT_TRUE(red && green && blue);
        EXPECT_EQ(model.accessors.at(red->indices).count, 6u);   // two triangles
        EXPECT_EQ(model.accessors.at(blue->indices).count, 4u);  // two segments
        // World coordinates: the red square moved by its segment's matrix.
        const tinygltf::Accessor& points = model.accessors.at(red->attributes.at("POSITION"));
        EXPECT_DOUBLE_EQ(points.minValues.at(0), 2.0);
        EXPECT_DOUBLE_EQ(points.maxValues.at(0), 3.0);
        EXPECT_EQ(red->attributes.count("NORMAL"), 1u);
        EXPECT_DOUBLE_EQ(model.materials.at(blue->material).extras.Get("lineWeight").GetNumberAsDouble(), 3.0);
        // Z up becomes glTF's Y up.
        const std::vector<double> zUp{1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
        EXPECT_EQ(model.nodes.at(0).matrix, zUp);
        const tinygltf::Value& camera = model.scenes.at(0).extras.Get("ketra").Get("camera");
        EXPECT_DOUBLE_EQ(camera.Get("width").GetNumberAsDouble(), 4.0);
        EXPECT_EQ(camera.Get("projection").Get<std::string>(), "orthographic");
    }
}

TEST_F(GltfScene, HandlersWriteFilesAndRefuseBadNames) {
    const auto dir = std::filesystem::temp_directory_path() / ("ketra-gltf-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const char* ext : {"glb", "gltf"}) {
        HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler(ext);
        ASSERT_NE(handler, nullptr) << ext;
        const std::string file = (dir / (std::string("scene.") + ext)).string();
        EXPECT_EQ(handler->FileOutputByKey(file.c_str(), m_key, nullptr), OutputOK) << HIOManager::LastError();
        EXPECT_GT(std::filesystem::file_size(file), 100u);
        EXPECT_EQ(handler->FileOutputByKey((dir / "no/such/folder.glb").c_str(), m_key, nullptr), OutputBadFileName);
        EXPECT_EQ(handler->FileOutputByKey(file.c_str(), 12345, nullptr), OutputFail);
    }
    std::filesystem::remove_all(dir);
}

namespace {

tinygltf::Model LoadBytes(const std::string& bytes) {
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    EXPECT_TRUE(loader.LoadBinaryFromMemory(&model, &error, &warning,
                                            reinterpret_cast<const unsigned char*>(bytes.data()),
                                            static_cast<unsigned>(bytes.size())))
        << error;
    return model;
}

// World positions of an accessor, dequantized with its node's translation and scale.
std::vector<std::array<double, 3>> WorldPositions(const tinygltf::Model& model, const tinygltf::Node& node,
                                                  int accessorIndex) {
    const tinygltf::Accessor& a = model.accessors.at(accessorIndex);
    const tinygltf::BufferView& v = model.bufferViews.at(a.bufferView);
    const unsigned char* data = model.buffers.at(v.buffer).data.data() + v.byteOffset + a.byteOffset;
    const size_t stride = a.ByteStride(v);
    std::vector<std::array<double, 3>> out;
    for (size_t i = 0; i < a.count; ++i) {
        std::array<double, 3> p{};
        for (int k = 0; k < 3; ++k) {
            double q;
            if (a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
                uint16_t s;
                std::memcpy(&s, data + i * stride + 2 * k, 2);
                q = s;
            } else {
                float f;
                std::memcpy(&f, data + i * stride + 4 * k, 4);
                q = f;
            }
            p[k] = (node.translation.empty() ? 0 : node.translation[k]) + (node.scale.empty() ? 1 : node.scale[k]) * q;
        }
        out.push_back(p);
    }
    return out;
}

} // namespace

TEST_F(GltfScene, QuantizedChunksKeepPositionsAndShareVerticesBetweenFacesAndEdges) {
    HC_Open_Segment_By_Key(m_key);
    HC_Open_Segment("red");
    HC_Set_Visibility("edges = on");
    HC_Set_Color("edges = black");
    HC_Close_Segment();
    HC_Close_Segment();
    ketra::io::GltfOptions options;
    options.quantize = true;
    std::string bytes, error;
    ASSERT_TRUE(ketra::io::BuildGltf(m_key, true, bytes, &error, nullptr, options)) << error;
    const tinygltf::Model model = LoadBytes(bytes);
    const std::vector<std::string> declared{"KHR_mesh_quantization"};
    EXPECT_EQ(model.extensionsUsed, declared);
    EXPECT_EQ(model.extensionsRequired, declared);
    ASSERT_FALSE(model.nodes.empty());
    EXPECT_EQ(model.nodes[0].mesh, -1);
    bool redFound = false;
    for (int child : model.nodes[0].children) {
        const tinygltf::Node& node = model.nodes.at(child);
        const tinygltf::Mesh& mesh = model.meshes.at(node.mesh);
        ASSERT_EQ(node.scale.size(), 3u);
        EXPECT_TRUE(node.scale[0] == node.scale[1] && node.scale[1] == node.scale[2]);  // normals stay right
        for (const tinygltf::Primitive& p : mesh.primitives) {
            const tinygltf::Accessor& points = model.accessors.at(p.attributes.at("POSITION"));
            EXPECT_EQ(points.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
            EXPECT_EQ(model.bufferViews.at(points.bufferView).byteStride, 8u);
            EXPECT_EQ(model.accessors.at(p.indices).componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
            const auto& f = model.materials.at(p.material).pbrMetallicRoughness.baseColorFactor;
            if (p.mode != TINYGLTF_MODE_TRIANGLES || f[0] != 1.0 || f[1] != 0.0)
                continue;
            redFound = true;
            const tinygltf::Accessor& normals = model.accessors.at(p.attributes.at("NORMAL"));
            EXPECT_EQ(normals.componentType, TINYGLTF_COMPONENT_TYPE_BYTE);
            EXPECT_TRUE(normals.normalized);
            // The red square's corners, (2..3, 0..1, 0), come back.
            for (const auto& q : WorldPositions(model, node, p.attributes.at("POSITION"))) {
                EXPECT_TRUE(std::abs(q[0] - 2) < 1e-4 || std::abs(q[0] - 3) < 1e-4) << q[0];
                EXPECT_TRUE(std::abs(q[1]) < 1e-4 || std::abs(q[1] - 1) < 1e-4) << q[1];
                EXPECT_NEAR(q[2], 0, 1e-4);
            }
            // Its black edges: a line primitive of the same chunk on the same vertices.
            bool edges = false;
            for (const tinygltf::Primitive& e : mesh.primitives)
                edges |= e.mode == TINYGLTF_MODE_LINE && e.attributes.at("POSITION") == p.attributes.at("POSITION") &&
                         model.accessors.at(e.indices).count == 8;
            EXPECT_TRUE(edges);
        }
    }
    EXPECT_TRUE(redFound);
}

TEST(GltfChunks, ManyItemsSplitIntoChunksOf16BitIndices) {
    const HC_KEY key = HC_Open_Segment("/driver/null/gltf chunks");
    HC_Set_Visibility("edges = off");
    const int faces[5] = {4, 0, 1, 2, 3};
    constexpr int kSquares = 17000;  // 68,000 vertices
    for (int i = 0; i < kSquares; ++i) {
        const float x = static_cast<float>(i);
        const float square[12] = {x, 0, 0, x + 0.5f, 0, 0, x + 0.5f, 1, 0, x, 1, 0};
        HC_Insert_Shell(4, square, 5, faces);
    }
    HC_Close_Segment();
    for (bool quantize : {false, true}) {
        ketra::io::GltfOptions options;
        options.quantize = quantize;
        std::string bytes, error;
        ASSERT_TRUE(ketra::io::BuildGltf(key, true, bytes, &error, nullptr, options)) << error;
        const tinygltf::Model model = LoadBytes(bytes);
        size_t vertices = 0, triangles = 0, primitives = 0;
        for (const tinygltf::Mesh& mesh : model.meshes) {
            for (const tinygltf::Primitive& p : mesh.primitives) {
                const tinygltf::Accessor& points = model.accessors.at(p.attributes.at("POSITION"));
                EXPECT_LE(points.count, 65535u);
                EXPECT_EQ(model.accessors.at(p.indices).componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
                vertices += points.count;
                triangles += model.accessors.at(p.indices).count / 3;
                ++primitives;
            }
        }
        EXPECT_EQ(vertices, 4u * kSquares) << quantize;
        EXPECT_EQ(triangles, 2u * kSquares) << quantize;
        EXPECT_GE(primitives, 2u) << quantize;
    }
    HC_Delete_By_Key(key);
}

// For a page: items a few pixels across become lines in their faces' colour; a file at full
// detail keeps them as faces.
TEST(GltfDetail, SmallTubesAndShellsBecomeLinesOfTheirColourForAPage) {
    const HC_KEY key = HC_Open_Segment("/driver/null/gltf detail");
    const float position[3] = {0, 0, 1000}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    HC_Set_Camera(position, target, up, 1000.0, 1000.0, "orthographic");
    HC_Set_Visibility("edges = off");
    HC_Set_Color("faces = blue, edges = black");
    const float a[3] = {0, 0, 0}, b[3] = {400, 0, 0};
    HC_Insert_Cylinder(a, b, 0.5, "both");  // 1 unit across: about a quarter pixel at 256
    // A small square with a centre line as its second level.
    const float square[12] = {0, 10, 0, 2, 10, 0, 2, 12, 0, 0, 12, 0};
    const int faces[5] = {4, 0, 1, 2, 3};
    const HC_KEY shell = HC_Insert_Shell(4, square, 5, faces);
    HC_Open_Geometry(shell);
    HC_Open_LOD(2);
    const float centre[6] = {0, 11, 0, 2, 11, 0};
    const int line[3] = {2, 0, 1};
    HC_Insert_Shell(2, centre, 3, line);
    HC_Close_LOD();
    HC_Close_Geometry();
    HC_Close_Segment();
    auto modes = [&](const ketra::io::GltfOptions& options) {
        std::string bytes, error;
        EXPECT_TRUE(ketra::io::BuildGltf(key, true, bytes, &error, nullptr, options)) << error;
        const tinygltf::Model model = LoadBytes(bytes);
        std::map<int, size_t> out;  // mode -> primitives, every one blue
        for (const tinygltf::Mesh& mesh : model.meshes) {
            for (const tinygltf::Primitive& p : mesh.primitives) {
                const auto& f = model.materials.at(p.material).pbrMetallicRoughness.baseColorFactor;
                EXPECT_EQ(f, (std::vector<double>{0, 0, 1, 1}));
                ++out[p.mode];
            }
        }
        return out;
    };
    ketra::io::GltfOptions full;
    EXPECT_EQ(modes(full), (std::map<int, size_t>{{TINYGLTF_MODE_TRIANGLES, 1}}));
    ketra::io::GltfOptions page;
    page.windowPixels = 256;
    page.lodLevel2Pixels = 16;
    page.tubeLinePixels = 2;
    EXPECT_EQ(modes(page), (std::map<int, size_t>{{TINYGLTF_MODE_LINE, 1}}));
    HC_Delete_By_Key(key);
}

// glTF requires unit normals: a degenerate face (no normal of its own) still gets one.
TEST(GltfNormals, DegenerateFacesGetUnitNormals) {
    const HC_KEY key = HC_Open_Segment("/driver/null/gltf normals");
    const float line[9] = {0, 0, 0, 1, 0, 0, 2, 0, 0};
    const int faces[4] = {3, 0, 1, 2};
    HC_Insert_Shell(3, line, 4, faces);
    HC_Close_Segment();
    std::string bytes, error;
    ASSERT_TRUE(ketra::io::BuildGltf(key, true, bytes, &error)) << error;
    const tinygltf::Model model = LoadBytes(bytes);
    size_t checked = 0;
    for (const tinygltf::Primitive& p : model.meshes.at(0).primitives) {
        if (!p.attributes.count("NORMAL"))
            continue;
        const tinygltf::Accessor& a = model.accessors.at(p.attributes.at("NORMAL"));
        const tinygltf::BufferView& v = model.bufferViews.at(a.bufferView);
        const unsigned char* data = model.buffers.at(0).data.data() + v.byteOffset + a.byteOffset;
        for (size_t i = 0; i < a.count; ++i, ++checked) {
            float n[3];
            std::memcpy(n, data + 12 * i, 12);
            EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-5) << i;
        }
    }
    EXPECT_EQ(checked, 3u);
    HC_Delete_By_Key(key);
}
