// The HTML page: every placeholder of the template filled (escaped where it is text), three.js
// inlined once, the scene embedded; without a template the handler refuses.
#include "platform/io/HIOUtilityHTML.h"

#include "platform/hc/hc.h"
#include "platform/io/ViewerLibrary.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace {

const char* const kTemplate =
    "<title><!-- $$filename$$ --></title><!-- $$filename$$ -->|<!-- $$filename_with_ext$$ -->|"
    "<!-- $$graphics_frame_width$$ -->x<!-- $$graphics_frame_height$$ -->|"
    "colours(<!-- $$Background_Colors$$ -->)|<script><!-- $$three_js$$ --></script>|"
    "scene=\"<!-- $$scene_glb_base64$$ -->\"";

std::string g_template;
std::string TestTemplate() { return g_template; }

class HtmlPage : public ::testing::Test {
protected:
    void SetUp() override {
        m_key = HC_Open_Segment("/driver/null/html test");
        HC_Set_Color("faces = red");
        const float square[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
        const int faces[5] = {4, 0, 1, 2, 3};
        HC_Insert_Shell(4, square, 5, faces);
        HC_Close_Segment();
        HIOUtilityHTML::SetTemplateSource(&TestTemplate);
    }
    void TearDown() override {
        HC_Delete_By_Key(m_key);
        HIOUtilityHTML::SetTemplateSource(nullptr);
    }
    HC_KEY m_key = -1;
};

} // namespace

TEST_F(HtmlPage, EveryPlaceholderIsFilled) {
    ketra::io::HtmlPageFields fields;
    fields.fileName = "a<b & \"c\"";
    fields.frameWidth = 640;
    fields.frameHeight = 480;
    std::string page, error;
    ASSERT_TRUE(ketra::io::BuildHtmlPage(kTemplate, m_key, fields, page, &error)) << error;
    EXPECT_EQ(page.find("<!-- $$"), std::string::npos);
    const std::string name = "a&lt;b &amp; &quot;c&quot;";
    EXPECT_EQ(page.rfind("<title>" + name + "</title>" + name + "|" + name + ".hsf|640x480|colours([", 0), 0u)
        << page.substr(0, 200);
    const std::string three(ketra::io::ThreeJsScript());
    ASSERT_GT(three.size(), 100000u);
    EXPECT_EQ(three.find("</script"), std::string::npos);
    EXPECT_NE(page.find("<script>" + three + "</script>"), std::string::npos);
    // "glTF" in base64.
    EXPECT_NE(page.find("scene=\"Z2xURg"), std::string::npos);
}

TEST_F(HtmlPage, HandlerWritesThePageOrRefusesWithoutATemplate) {
    const auto dir = std::filesystem::temp_directory_path() / ("ketra-html-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler("HTM");
    ASSERT_NE(handler, nullptr);
    const std::string file = (dir / "page.html").string();
    g_template = "";
    EXPECT_EQ(handler->FileOutputByKey(file.c_str(), m_key, nullptr), OutputFail);
    EXPECT_NE(HIOManager::LastError().find("template"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file));
    g_template = kTemplate;
    HOutputHandlerOptions options;
    options.m_Pixel_Width = 300;
    options.m_Pixel_Height = 200;
    EXPECT_EQ(handler->FileOutputByKey(file.c_str(), m_key, &options), OutputOK) << HIOManager::LastError();
    EXPECT_TRUE(std::filesystem::exists(file));
    std::filesystem::remove_all(dir);
}
