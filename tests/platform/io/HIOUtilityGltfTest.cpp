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

#include <filesystem>

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
