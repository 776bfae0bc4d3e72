// The colour page: the tree of each host, what an item shows and writes, the preview and
// its timer, OK, Cancel and the reset.
#include "PagesFixture.h"

#include "config/StyleLibrary.h"
#include "platform/render/Renderer.h"
#include "config/pages/CConfig.h"

#include <algorithm>

using namespace pagestest;

namespace {

std::vector<std::string> Children(const CConfig& page, int item) {
    std::vector<std::string> texts;
    for (int child : page.GetItems()[static_cast<size_t>(item)].children)
        texts.push_back(page.GetItems()[static_cast<size_t>(child)].text);
    return texts;
}

class CConfigTest : public PagesTest {};

} // namespace

TEST_F(CConfigTest, TreeListsTheItemsOfEachHost) {
    {
        CConfig page(Open(HOpConfig::ConfigInput), &port);
        page.OnInitDialog();
        const std::vector<std::string> expected = {
            "Background",       "Hangers",      "Highlights",       "Labels",
            "Markers",          "Nodes",        "Nozzles",          "Flanges",
            "Pipe Color",       "Rigids/Bends", "Structural Steel", "Selections",
            "Expansion Joints", "Anchors",      "Restraints",       "Annotation Text",
            "Legend Text",      "SIFs/Tees"};
        ASSERT_EQ(page.GetRoots().size(), 2u);
        EXPECT_EQ(Children(page, page.GetRoots()[0]), expected);
        EXPECT_EQ(Children(page, page.FindItem("Background")),
                  (std::vector<std::string>{"Top", "Bottom"}));
        EXPECT_TRUE(page.GetItems()[static_cast<size_t>(page.FindItem("Background"))].expanded);
        EXPECT_EQ(page.GetItems()[static_cast<size_t>(page.GetRoots()[1])].text, "General");
        page.OnCancel();
    }
    {
        CConfig page(Open(HOpConfig::ConfigOutput), &port);
        page.OnInitDialog();
        EXPECT_EQ(Children(page, page.GetRoots()[0]).back(), "Output Text");
        EXPECT_EQ(page.GetSelectedItem(), -1);
        page.OnCancel();
    }
    {
        CConfig page(Open(HOpConfig::ConfigMarlow), &port);
        page.OnInitDialog();
        const auto items = Children(page, page.GetRoots()[0]);
        EXPECT_EQ(items.size(), 28u);
        EXPECT_EQ(items.front(), "Background");
        EXPECT_EQ(items.back(), "Weights");
        EXPECT_EQ(page.FindItem("Pipe Color"), -1);
        page.OnCancel();
    }
}

TEST_F(CConfigTest, HdsTreeHasSixItemsAndStartsOnStructuralSteel) {
    HOpConfig& config = Open(HOpConfig::ConfigHDS);
    CConfig page(config, &port);
    page.OnInitDialog();
    EXPECT_EQ(Children(page, page.GetRoots()[0]),
              (std::vector<std::string>{"Material ID Text", "Anchors", "Nodes", "Section ID Text",
                                        "Background", "Structural Steel"}));
    ASSERT_EQ(page.GetSelectedItem(), page.FindItem("Structural Steel"));
    EXPECT_EQ(page.GetSampleColor(), std::string(config.GetStructuralSteelColor()));
    EXPECT_TRUE(page.IsChangeEnabled());
    char sample[4096] = "";
    HC_Open_Segment(CConfig::kSampleStyle);
    HC_Show_One_Color("faces", sample);
    HC_Close_Segment();
    EXPECT_EQ(ColorValue(sample), CAppSettings::SteelColor);
    page.OnCancel();
}

TEST_F(CConfigTest, PipeColorAlsoWritesTheBendColourOnOk) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CConfig page(config, &port);
    page.OnInitDialog();
    ASSERT_EQ(page.GetSelectedItem(), page.FindItem("Pipe Color"));
    port.colorAnswer = 0x0000FF;
    const std::string before = ReadAll(file);
    page.OnChange();
    ASSERT_TRUE(port.Called("ChooseColor"));
    EXPECT_EQ(ColorValue(page.GetSampleColor()), 0x0000FFu);
    EXPECT_EQ(ReadAll(file), before) << "nothing is written before OK";

    page.OnOK();
    EXPECT_EQ(FileValue(file, "Element", "GenericPipe", "DiffuseColor"),
              "r=1.000000 g=0.000000 b=0.000000");
    EXPECT_EQ(FileValue(file, "Element", "GenericBend", "DiffuseColor"),
              "r=1.000000 g=0.000000 b=0.000000");
    // The settings colour overrides the file on a piping host: it follows the choice, so the
    // scene's pipe and bend styles draw it.
    EXPECT_EQ(CAppSettings::PipeColor, 0x0000FFu);
    EXPECT_EQ(SegmentColor("/Style Library/Pipes", "faces"), 0x0000FFu);
    EXPECT_EQ(SegmentColor("/Style Library/Bends", "faces"), 0x0000FFu);
}

TEST_F(CConfigTest, HeightScalePreviewsDimensionsAndWritesHeightScale) {
    HOpConfig& config = Open(HOpConfig::ConfigMarlow);
    config.SetDimensionsColor(0x00FF00);
    CConfig page(config, &port);
    page.OnInitDialog();
    page.OnSelchangingElements(page.FindItem("Height Scale"));
    EXPECT_EQ(ColorValue(page.GetCurrentColor()), 0x00FF00u);
    EXPECT_NE(CAppSettings::MRL_HeightScaleFontColor, 0x00FF00u);

    EXPECT_EQ(page.SetCurrentColor(0x800000), "R=0.000000 G=0.000000 B=0.501961");
    page.OnOK();
    EXPECT_EQ(CAppSettings::MRL_HeightScaleFontColor, 0x800000u);
    EXPECT_EQ(FileValue(file, "Element", "Dimensions", "Color"),
              "r=0.000000 g=1.000000 b=0.000000");
}

TEST_F(CConfigTest, ItemsWithoutAccessorShowBrightWhiteAndIgnoreChanges) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CConfig page(config, &port);
    page.OnInitDialog();
    for (const char* item : {"Highlights", "Labels", "Selections", "General", "Colors"}) {
        page.OnSelchangingElements(page.FindItem(item));
        EXPECT_EQ(page.GetSampleColor(), "bright white") << item;
        EXPECT_FALSE(page.IsChangeEnabled()) << item;
        EXPECT_EQ(page.SetCurrentColor(0x123456), "") << item;
    }
    port.calls.clear();
    page.OnChange();
    EXPECT_FALSE(port.Called("ChooseColor"));
    EXPECT_TRUE(page.GetPendingChanges().empty());
}

TEST_F(CConfigTest, ItemsReadAndWriteThroughTheirAccessors) {
    HOpConfig& config = Open(HOpConfig::ConfigOutput);
    CAppSettings::UseSystemColorInfo = 0;
    CConfig page(config, &port);
    page.OnInitDialog();
    struct Case {
        const char* item;
        unsigned long color;
        std::string (*read)(HOpConfig&);
    };
    const Case cases[] = {
        {"Rigids/Bends", 0x010203, [](HOpConfig& c) { return std::string(c.GetRigidColor()); }},
        {"Hangers", 0x040506, [](HOpConfig& c) { return std::string(c.GetHangerColor()); }},
        {"Restraints", 0x070809, [](HOpConfig& c) { return std::string(c.GetRestraintColor()); }},
        {"Top", 0x0A0B0C,
         [](HOpConfig& c) { return HOpConfig::FormatColor(c.GetBackgroundTopColor()); }},
        {"Output Text", 0x0D0E0F, [](HOpConfig& c) { return std::string(c.GetOutputTextColor()); }},
        {"Legend Text", 0x101112, [](HOpConfig& c) { return std::string(c.GetLegendTextColor()); }},
    };
    for (const Case& c : cases) {
        page.OnSelchangingElements(page.FindItem(c.item));
        page.SetCurrentColor(c.color);
        EXPECT_EQ(ColorValue(page.GetCurrentColor()), c.color) << c.item;
    }
    page.OnOK();
    for (const Case& c : cases)
        EXPECT_EQ(ColorValue(c.read(config)), c.color) << c.item;
}

TEST_F(CConfigTest, PreviewTurnsOnItsTimerAndGoesOnOk) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CConfig page(config, &port);
    page.OnInitDialog();
    ASSERT_NE(page.GetPreview(), nullptr);
    EXPECT_EQ(port.timers.at(CPropertyPage::kPreviewTimer), 50u);
    PagePreview& preview = *page.GetPreview();
    EXPECT_EQ(HC_QShow_Existence("/Style Library/Color Sample", "self"), 1);
    EXPECT_GT(HC_Show_Existence_By_Key(preview.DemoSegment(), "segments"), 0);

    HPoint before[3], after[3];
    float w, h;
    char projection[64];
    HC_Open_Segment_By_Key(preview.GetSceneKey());
    HC_Show_Camera(&before[0], &before[1], &before[2], &w, &h, projection);
    HC_Close_Segment();
    page.OnTimer(CPropertyPage::kPreviewTimer);
    HC_Open_Segment_By_Key(preview.GetSceneKey());
    HC_Show_Camera(&after[0], &after[1], &after[2], &w, &h, projection);
    HC_Close_Segment();
    EXPECT_GT(std::abs(after[0].x - before[0].x) + std::abs(after[0].y - before[0].y) +
                  std::abs(after[0].z - before[0].z),
              1e-4f);

    const HC_KEY model = preview.GetModelKey();
    page.OnOK();
    EXPECT_EQ(page.GetPreview(), nullptr);
    EXPECT_EQ(port.timers.count(CPropertyPage::kPreviewTimer), 0u);
    EXPECT_EQ(HC_Show_Existence_By_Key(model, "self"), 0);
}

TEST_F(CConfigTest, ResetAllColorsOfAPipingHostLeavesVesselStylesAlone) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    // ("?Style Library/Nozzles" is the piping hosts' nozzle style too.)
    for (const char* vessel : {"?Style Library/Cylinders", "?Style Library/Skirts",
                               "?Style Library/Saddles", "?Style Library/Baserings"}) {
        HC_Open_Segment(vessel);
        HC_Set_Color("faces=(r=0.5 g=0.25 b=0)");
        HC_Close_Segment();
    }
    CConfig page(config, &port);
    page.ResetAllColors();
    for (const char* vessel : {"?Style Library/Cylinders", "?Style Library/Skirts",
                               "?Style Library/Saddles", "?Style Library/Baserings"})
        EXPECT_EQ(SegmentColor(vessel, "faces"), 0x004080u) << vessel;
    EXPECT_EQ(SegmentColor("/Style Library/Pipes", "faces"), CAppSettings::PipeColor);

    HOpConfig& vessel = Open(HOpConfig::ConfigMarlow);
    CConfig vesselPage(vessel, &port);
    vesselPage.ResetAllColors();
    EXPECT_EQ(SegmentColor("?Style Library/Cylinders", "faces"), CAppSettings::MRL_CylinderColor);
}

TEST_F(CConfigTest, CancelLeavesFileAndSettingsAsTheyWere) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CConfig page(config, &port);
    page.OnInitDialog();
    const std::string before = ReadAll(file);
    const auto pipe = CAppSettings::PipeColor;
    port.colorAnswer = 0x00FF00;
    page.OnSelchangingElements(page.FindItem("Anchors"));
    page.OnChange();
    page.OnSelchangingElements(page.FindItem("Pipe Color"));
    page.OnChange();
    page.OnCancel();
    EXPECT_EQ(ReadAll(file), before);
    EXPECT_EQ(CAppSettings::PipeColor, pipe);
    EXPECT_EQ(port.timers.count(CPropertyPage::kPreviewTimer), 0u);
}

TEST_F(CConfigTest, ShowingTheTreeWritesNoDefaultsIntoTheFile) {
    HOpConfig& config = Open(HOpConfig::ConfigDynplot);
    const std::string before = ReadAll(file);
    CConfig page(config, &port);
    page.OnInitDialog();
    for (const auto& item : page.GetItems())
        page.OnSelchangingElements(page.FindItem(item.text));
    page.OnCancel();
    EXPECT_EQ(ReadAll(file), before);
}

TEST_F(CConfigTest, ResetAllRemovesTheFileColoursAtOnce) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CAppSettings::UseSystemColorInfo = 0;
    config.SetHangerColor(0x112233);
    CConfig page(config, &port);
    page.OnInitDialog();
    page.OnSelchangingElements(page.FindItem("Hangers"));
    EXPECT_EQ(ColorValue(page.GetCurrentColor()), 0x112233u);
    page.OnResetall();
    // Refilling the styles records the default again.
    EXPECT_EQ(FileValue(file, "Element", "GenericHanger", "DiffuseColor"),
              HOpConfig::FormatColor(CAppSettings::HangerColor));
    EXPECT_EQ(ColorValue(page.GetCurrentColor()), CAppSettings::HangerColor);
    EXPECT_EQ(SegmentColor("/Style Library/Hangers", "faces"), CAppSettings::HangerColor);
    page.OnCancel();
}

TEST_F(CConfigTest, PreviewShowsTheChosenColour) {
    std::string why;
    if (!ketra::render::HeadlessAvailable(&why))
        GTEST_SKIP() << "no headless GL: " << why;
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CConfig page(config, &port);
    page.OnInitDialog();
    page.OnSelchangingElements(page.FindItem("Hangers"));
    port.colorAnswer = 0x0000FF; // red
    page.OnChange();
    ketra::render::Image image;
    ASSERT_TRUE(
        ketra::render::RenderToImage(page.GetPreview()->GetViewKey(), {120, 90, 1}, image, &why))
        << why;
    int reddish = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const auto p = image.At(x, y);
            if (p.r > 90 && p.g < p.r / 3 && p.b < p.r / 3)
                ++reddish;
        }
    EXPECT_GT(reddish, 30);
    page.OnCancel();
}

TEST_F(CConfigTest, SettingsColourFollowsOnlyWhereItOverridesTheFile) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CAppSettings::UseSystemColorInfo = 0;
    const auto pipe = CAppSettings::PipeColor;
    CConfig page(config, &port);
    page.OnInitDialog();
    page.OnSelchangingElements(page.FindItem("Pipe Color"));
    page.SetCurrentColor(0x00FF00);
    page.OnSelchangingElements(page.FindItem("SIFs/Tees"));
    page.SetCurrentColor(0x0000FF);
    page.OnOK();
    EXPECT_EQ(CAppSettings::PipeColor, pipe) << "the file's colour is drawn";
    EXPECT_EQ(ColorValue(config.GetPipeColor()), 0x00FF00u);
    // A piping host always draws tees in the settings colour.
    EXPECT_EQ(CAppSettings::SIFSTeesColor, 0x0000FFu);
    EXPECT_EQ(SegmentColor("/Style Library/Tees", "faces"), 0x0000FFu);

    HOpConfig& plain = Open(HOpConfig::ConfigDefault);
    CConfig plainPage(plain, &port);
    plainPage.OnInitDialog();
    plainPage.OnSelchangingElements(plainPage.FindItem("SIFs/Tees"));
    plainPage.SetCurrentColor(0x00FF00);
    plainPage.OnOK();
    EXPECT_EQ(CAppSettings::SIFSTeesColor, 0x0000FFu);
    EXPECT_EQ(ColorValue(plain.GetTeeColor()), 0x00FF00u);
}
