// Scene files of a model that includes library segments outside itself (the plotter's
// "/include library/<model>" including "/include library/halden/..."): the file holds what the
// model includes, so read into a tree that has nothing else it shows the same geometry.
#include "platform/hc/HcExtras.h"
#include "platform/hc/hc.h"
#include "platform/io/HIOManager.h"
#include "platform/io/HIOUtilityHsf.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace {

using ketra::hc::Graph;
using ketra::hc::Segment;

// Shells drawn below `s`, through includes.
int ShellsShown(const Segment& s) {
    int shells = 0;
    for (const auto& item : s.geometry)
        shells += item->Shell() ? 1 : 0;
    for (const auto& ref : s.includes)
        shells += ref->target ? ShellsShown(*ref->target) : 0;
    for (const auto& child : s.children)
        shells += ShellsShown(*child);
    return shells;
}

bool Inside(const Segment* s, const Segment* root) {
    for (; s; s = s->owner)
        if (s == root)
            return true;
    return false;
}

void Shell() {
    const float square[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const int faces[5] = {4, 0, 1, 2, 3};
    HC_Insert_Shell(4, square, 5, faces);
}

class SceneFile : public ::testing::Test {
protected:
    void SetUp() override {
        Build();
        m_dir =
            std::filesystem::temp_directory_path() / ("ketra-scene-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void Build() {
        HC_Open_Segment("/include library/scene file test");
        HC_Open_Segment("library/pipes/10-20");
        Shell();
        HC_Close_Segment();
        HC_Open_Segment("library/steel"); // includes a segment of the library in turn
        Shell();
        HC_Include_Segment("/include library/scene file test/library/pipes");
        HC_Close_Segment();
        HC_Open_Segment("library/unused");
        Shell();
        HC_Close_Segment();
        HC_Open_Segment("another model");
        Shell();
        HC_Close_Segment();
        m_model = HC_Open_Segment("model_7");
        HC_Include_Segment("/include library/scene file test/library/steel");
        HC_Open_Segment("own");
        Shell();
        HC_Close_Segment();
        HC_Close_Segment();
        HC_Close_Segment();
    }
    void TearDown() override {
        for (const char* s : {"/include library/scene file test", "/read scene file"})
            if (HC_QShow_Existence(s, "self") > 0)
                HC_Delete_Segment(s);
        std::filesystem::remove_all(m_dir);
    }
    HC_KEY m_model = -1;
    std::filesystem::path m_dir;
};

} // namespace

TEST_F(SceneFile, ModelIsWrittenWithTheLibrarySegmentsItIncludes) {
    const Segment* model = Graph::Instance().FindSegment(m_model);
    ASSERT_NE(model, nullptr);
    const int shown = ShellsShown(*model);
    ASSERT_EQ(shown, 3); // its own, steel and the pipe steel includes
    ketra::hc::SegmentFilter keep;
    const Segment& root = ketra::hc::SelfContainedRoot(*model, keep);
    EXPECT_EQ(&root,
              Graph::Instance().FindSegment(HC_Open_Segment("/include library/scene file test")));
    HC_Close_Segment();
    ASSERT_TRUE(keep);

    for (const char* ext : {"hsf", "hmf"}) {
        if (HC_QShow_Existence("/include library/scene file test", "self") == 0) {
            Build();
            model = Graph::Instance().FindSegment(m_model);
        }
        const std::string file = (m_dir / (std::string("model.") + ext)).string();
        ASSERT_EQ(HIOManager::Instance()->GetOutputHandler(ext)->FileOutputByKey(file.c_str(),
                                                                                 m_model, nullptr),
                  OutputOK)
            << HIOManager::LastError();
        // A fresh tree: the library the model was drawn from is gone.
        HC_Delete_Segment("/include library/scene file test");
        std::string error;
        ASSERT_TRUE(ketra::io::ReadSceneFile(file, "/read scene file", &error)) << error;
        const HC_KEY readKey = HC_Open_Segment("/read scene file");
        HC_Close_Segment();
        const Segment* read = Graph::Instance().FindSegment(readKey);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(HC_QShow_Existence("/read scene file/model_7", "self"), 1) << ext;
        EXPECT_EQ(HC_QShow_Existence("/read scene file/library/steel", "self"), 1) << ext;
        // What nothing included stays out.
        EXPECT_EQ(HC_QShow_Existence("/read scene file/library/unused", "self"), 0) << ext;
        EXPECT_EQ(HC_QShow_Existence("/read scene file/another model", "self"), 0) << ext;
        const HC_KEY copyKey = HC_Open_Segment("/read scene file/model_7");
        HC_Close_Segment();
        const Segment* copy = Graph::Instance().FindSegment(copyKey);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(ShellsShown(*copy), shown) << ext;
        for (const auto& ref : copy->includes)
            EXPECT_TRUE(Inside(ref->target, read)) << ext;
        HC_Delete_Segment("/read scene file");
    }
}

TEST_F(SceneFile, SegmentIncludingNothingOutsideIsWrittenAlone) {
    HC_KEY own = HC_Open_Segment("/include library/scene file test/library/pipes");
    HC_Close_Segment();
    ketra::hc::SegmentFilter keep;
    const Segment* pipes = Graph::Instance().FindSegment(own);
    ASSERT_NE(pipes, nullptr);
    EXPECT_EQ(&ketra::hc::SelfContainedRoot(*pipes, keep), pipes);
    EXPECT_FALSE(keep);
}
