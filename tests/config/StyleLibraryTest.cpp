// The style segments after ResetAllColors, the displaced-shape style and the checkerboard
// texture, checked in the scene graph itself.
#include "config/StyleLibrary.h"
#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "platform/hc/hc.h"
#include "platform/sys/Shell.h"
#include "platform/sys/TextEncoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> g_errors;

void CountErrors(int, int, int, const char* function, const char* message) {
    g_errors.push_back(std::string(function ? function : "") + ": " + (message ? message : ""));
}

struct Quiet : ketra::sys::Shell {
    Answer MessageBox(const std::string&, const std::string&, Icon, Buttons) override {
        return Answer::Ok;
    }
    void Beep() override {}
};

const std::string kBlue = "r=0.000000 g=0.000000 b=1.000000";
const std::string kRed = "r=1.000000 g=0.000000 b=0.000000";
const std::string kGreen = "r=0.000000 g=1.000000 b=0.000000";
const std::string kWhite = "r=1.000000 g=1.000000 b=1.000000";
const std::string kBlack = "r=0.000000 g=0.000000 b=0.000000";
const std::string kGrey = "r=0.752941 g=0.752941 b=0.752941";
const std::string kMagenta = "r=1.000000 g=0.000000 b=1.000000";
const std::string kPurple = "r=0.501961 g=0.000000 b=0.501961";
const std::string kPipeSetting = "r=0.650980 g=0.792157 b=0.941176";

std::string Family(const std::string& c) {
    return "faces=(diffuse=" + c + ",specular=white,transmission=black),lines=" + c + ",edges=" + c;
}
std::string Vessel(const std::string& c) {
    return "faces=(diffuse=" + c + ", specular=white, transmission=black),lines=" + c +
           ",edges=" + c;
}

std::string ShowColor(const char* segment) {
    char value[4096] = "";
    HC_Open_Segment(segment);
    HC_Show_Color(value);
    HC_Close_Segment();
    return value;
}

// How the scene graph shows a colour after these settings, in a scratch segment.
std::string Reference(const std::vector<std::string>& colors) {
    HC_Open_Segment("/reference");
    HC_Flush_Contents(".", "everything");
    for (const std::string& c : colors)
        HC_Set_Color(c.c_str());
    char value[4096] = "";
    HC_Show_Color(value);
    HC_Close_Segment();
    return value;
}

std::string ReferenceFont(const std::string& font) {
    HC_Open_Segment("/reference");
    HC_Flush_Contents(".", "everything");
    HC_Set_Text_Font(font.c_str());
    char value[4096] = "";
    HC_Show_Text_Font(value);
    HC_Close_Segment();
    return value;
}

class StyleLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        HC_Reset_System();
        g_errors.clear();
        HC_Define_Error_Handler(CountErrors);
        ketra::sys::SetShell(&m_quiet);
        char pattern[] = "/tmp/ketra-styles-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_colors = CAppSettings::UseSystemColorInfo;
        m_fonts = CAppSettings::UseSystemFontInfo;
        m_package = CAppSettings::PackageName;
        m_version = CAppSettings::Version;
        CAppSettings::UseSystemColorInfo = 1;
        CAppSettings::UseSystemFontInfo = 1;
    }
    void TearDown() override {
        HC_Define_Error_Handler(nullptr);
        ketra::sys::SetShell(nullptr);
        CAppSettings::UseSystemColorInfo = m_colors;
        CAppSettings::UseSystemFontInfo = m_fonts;
        CAppSettings::PackageName = m_package;
        CAppSettings::Version = m_version;
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    void UseFile(HOpConfig& config) {
        config.SetConfigFile(ketra::sys::FromUtf8((m_dir / "plot.xml").string()).c_str());
    }

    Quiet m_quiet;
    fs::path m_dir;
    int m_colors = 1;
    int m_fonts = 1;
    std::wstring m_package;
    std::wstring m_version;
};

class StyleLibraryKindTest : public StyleLibraryTest, public ::testing::WithParamInterface<int> {};

TEST_P(StyleLibraryKindTest, ResetAllColorsFillsEveryStyleForTheHostKind) {
    const auto type = static_cast<HOpConfig::ConfigType>(GetParam());
    HOpConfig config;
    config.SetConfigType(type);
    UseFile(config);
    const HC_KEY cuttingPlanes = HC_Create_Segment("/driver/view/cutting planes");
    std::vector<std::string> fonts;
    StyleLibrary::ViewTargets view;
    view.cuttingPlaneSegment = cuttingPlanes;
    view.changeAllFonts = [&](const std::string& font) { fonts.push_back(font); };

    // Left-overs in the flushed styles go; the caller's open segment stays open.
    HC_Open_Segment("/Style Library/Pipes/stale");
    HC_Close_Segment();
    const HC_KEY callerSegment = HC_Open_Segment("/model");
    StyleLibrary::ResetAllColors(config, view);
    EXPECT_EQ(HC_KShow_Open_Segment(), callerSegment);
    HC_Close_Segment();
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
    EXPECT_EQ(HC_QShow_Existence("/Style Library/Pipes", "segments"), 0);

    const bool piping = type >= HOpConfig::ConfigInput;
    const std::string pipe = piping ? kPipeSetting : kBlue;
    EXPECT_EQ(ShowColor("/Style Library/Pipes"),
              Reference({"markers=(R=1.000000 G=0.000000 B=0.000000)", Family(pipe)}));
    EXPECT_EQ(ShowColor("/Style Library/Bends"),
              Reference({"markers=(R=1.000000 G=1.000000 B=0.000000)", Family(pipe)}));
    EXPECT_EQ(ShowColor("/Style Library/Hangers"),
              Reference({Family(piping ? kPurple : "r=0.000000 g=1.000000 b=1.000000")}));
    EXPECT_EQ(ShowColor("/Style Library/Structure"), Reference({Family(piping ? kGrey : kRed)}));
    const std::string restraintMarkers =
        "markers=" + (piping ? kRed : std::string("r=1.000000 g=1.000000 b=0.000000"));
    EXPECT_EQ(ShowColor("/Style Library/Restraints"),
              Reference({restraintMarkers, Family(kGreen)}));
    EXPECT_EQ(ShowColor("?Style Library/MaterialText"), Reference({"r=0 g=1.0 b=1.0"}));
    EXPECT_EQ(ShowColor("/Style Library/SectionText"), Reference({"r=1.0 g=1.0 b=0"}));

    char value[4096] = "";
    HC_Open_Segment("/Style Library/Pipes");
    HC_Show_Marker_Symbol(value);
    EXPECT_STREQ(value, "(.)");
    float size = 0;
    HC_Show_Marker_Size(&size);
    EXPECT_FLOAT_EQ(size, 0.25f);
    HC_Close_Segment();

    HC_Open_Segment("/Style Library/Nozzles");
    HC_Show_One_Visibility("edges", value);
    EXPECT_STREQ(value, "off");
    HC_Close_Segment();

    const std::string nodeFont =
        "name=(Arial,sans serif,system default), transforms=off,size=28.0 pts";
    const std::string referenceFont = ReferenceFont(nodeFont);
    HC_Open_Segment("/Style Library/NodeText");
    HC_Show_Text_Font(value);
    EXPECT_EQ(std::string(value), referenceFont);
    HC_Show_Text_Alignment(value);
    EXPECT_STREQ(value, "<");
    HC_Close_Segment();
    ASSERT_EQ(fonts.size(), 1u);
    EXPECT_EQ(fonts[0], "name=(Arial,sans serif,system default), transforms=off,size=8.0 pts");

    const bool vessel = type == HOpConfig::ConfigMarlow;
    for (const char* part :
         {"?Style Library/Cylinders", "?Style Library/Baserings", "/Style Library/Weights",
          "/Style Library/HeightScale", "?Style Library/Descriptions"})
        EXPECT_EQ(HC_QShow_Existence(part, "color"), vessel ? 1 : 0) << part;
    EXPECT_EQ(HC_Show_Existence_By_Key(cuttingPlanes, "color"), vessel ? 1 : 0);
    if (vessel) {
        EXPECT_EQ(ShowColor("?Style Library/Cylinders"), Reference({Vessel(kGrey)}));
        EXPECT_EQ(ShowColor("?Style Library/Nozzles"), Reference({Vessel(kGreen)}));
        EXPECT_EQ(ShowColor("/Style Library/Descriptions"),
                  Reference({Vessel("r=0.000000 g=1.000000 b=1.000000")}));
        HC_Open_Segment("/Style Library/HeightScale");
        HC_Show_Text_Font(value);
        EXPECT_EQ(
            std::string(value),
            ReferenceFont("name=(Arial,sans serif,system default), transforms=off,size=10 pts"));
        HC_Close_Segment();
    } else {
        EXPECT_EQ(ShowColor("/Style Library/Nozzles"),
                  Reference({Family(piping ? kMagenta : kGreen)}));
    }
}

INSTANTIATE_TEST_SUITE_P(HostKinds, StyleLibraryKindTest, ::testing::Values(0, 1, 2, 3, 4, 5));

TEST_F(StyleLibraryTest, StaleCuttingPlaneKeyKeepsTheSegmentStackBalanced) {
    HOpConfig config;
    config.SetConfigType(HOpConfig::ConfigMarlow);
    const HC_KEY gone = HC_Create_Segment("/gone");
    HC_Delete_Segment("/gone");
    StyleLibrary::ViewTargets view;
    view.cuttingPlaneSegment = gone;
    const HC_KEY open = HC_Open_Segment("/model");
    StyleLibrary::ResetAllColors(config, view);
    EXPECT_EQ(HC_KShow_Open_Segment(), open);
    HC_Close_Segment();
}

TEST_F(StyleLibraryTest, DisplacedShapeStyleTakesColourPatternAndWeight) {
    HOpConfig config;
    UseFile(config);
    config.SetDisplacedLinePattern("-.-.");
    config.SetDisplacedLineWeight(3.0f);
    config.SetDisplacedLineColor(0x0000FF);
    StyleLibrary::ApplyDisplacedShapeStyle(config);
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();
    EXPECT_EQ(ShowColor("/Style Library/Displaced Shapes"), Reference({Family(kRed)}));
    char pattern[256] = "";
    float weight = 0;
    HC_Open_Segment("/Style Library/Displaced Shapes");
    HC_Show_Line_Pattern(pattern);
    HC_Show_Line_Weight(&weight);
    HC_Close_Segment();
    EXPECT_STREQ(pattern, "-.-.");
    EXPECT_FLOAT_EQ(weight, 3.0f);
}

TEST_F(StyleLibraryTest, CheckerboardTextureIsDefinedOnceAndItsImageRefreshed) {
    HOpConfig config;
    HC_Open_Segment("/limits");
    EXPECT_STREQ(config.GetNozzleLimitColor(), "diffuse=checkerboard texture");
    config.CreateCheckerboardTexture(40, 20, 0x0000FF, 0x00FF00);
    HC_Close_Segment();
    EXPECT_TRUE(g_errors.empty()) << g_errors.front();

    int textures = 0;
    char name[4096];
    HC_Begin_Texture_Search();
    while (HC_Find_Texture(name))
        ++textures;
    HC_End_Texture_Search();
    EXPECT_EQ(textures, 1);
    EXPECT_EQ(HC_QShow_Existence("/limits/checkerboard segment", "images"), 1);

    HC_KEY image = -1;
    char type[64];
    HC_Begin_Contents_Search("/limits/checkerboard segment", "images");
    ASSERT_TRUE(HC_Find_Contents(type, &image));
    HC_End_Contents_Search();
    float x, y, z;
    char format[256];
    int width = 0, height = 0;
    HC_Show_Image_Size(image, &x, &y, &z, format, &width, &height);
    ASSERT_EQ(width, 40);
    ASSERT_EQ(height, 20);
    std::vector<unsigned char> pixels(40 * 20 * 3);
    HC_Show_Image(image, &x, &y, &z, format, &width, &height, pixels.data());
    auto pixel = [&](int px, int py) {
        const size_t at = (static_cast<size_t>(py) * 40 + static_cast<size_t>(px)) * 3;
        return std::vector<int>{pixels[at], pixels[at + 1], pixels[at + 2]};
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<int>{0, 255, 0})); // colour 2 at the origin
    EXPECT_EQ(pixel(15, 15), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(pixel(16, 0), (std::vector<int>{255, 0, 0})); // colour 1 next to it
    EXPECT_EQ(pixel(0, 16), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(pixel(16, 16), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(pixel(39, 19), (std::vector<int>{255, 0, 0})); // x / 16 = 2, y / 16 = 1
    EXPECT_EQ(pixel(32, 0), (std::vector<int>{0, 255, 0}));
}

} // namespace
