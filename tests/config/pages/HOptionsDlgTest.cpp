// The Options dialog: its pages, OK applying every page to every open view, Cancel
// writing nothing, and a broken file that is reported and left alone.
#include "PagesFixture.h"

#include "platform/mvo/HBaseModel.h"
#include "config/pages/CConfig.h"
#include "config/pages/COptionPages.h"
#include "view/HMyBaseView.h"
#include "config/pages/HOptionsDlg.h"

using namespace pagestest;

namespace {

class HOptionsDlgTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        model.Init();
        for (auto& view : views) {
            view = std::make_unique<HMyBaseView>(&model, nullptr, nullptr, nullptr, 0, 0);
            view->Init();
        }
    }
    void TearDown() override {
        for (auto& view : views)
            view.reset();
        PagesTest::TearDown();
    }
    std::vector<HBaseView*> Views() { return {views[0].get(), views[1].get()}; }

    HBaseModel model;
    std::unique_ptr<HMyBaseView> views[2];
};

} // namespace

TEST_F(HOptionsDlgTest, HasOnePagePerClassByCaption) {
    HOptionsDlg dialog(Open(HOpConfig::ConfigInput), Views(), &port);
    dialog.AddStandardPages();
    std::vector<std::string> captions;
    for (const auto& page : dialog.GetPages())
        captions.push_back(page->GetCaption());
    EXPECT_EQ(captions, (std::vector<std::string>{"Colors", "Fonts", "Markers", "Transparency",
                                                  "Displaced Shape", "User Options"}));
    EXPECT_NE(dynamic_cast<CConfig*>(dialog.FindPage("Colors")), nullptr);
    EXPECT_EQ(dialog.FindPage("Nothing"), nullptr);
    EXPECT_EQ(dialog.Find<CUserOptions>(), dialog.FindPage("User Options"));
    EXPECT_EQ(dialog.GetPages()[0]->GetViews().size(), 2u);
}

TEST_F(HOptionsDlgTest, OkAppliesEveryPageToEveryView) {
    HOpConfig& config = Open(HOpConfig::ConfigMarlow);
    HOptionsDlg dialog(config, Views(), &port);
    dialog.AddStandardPages();
    dialog.OnInitDialog();
    ASSERT_TRUE(dialog.IsOpen());
    auto* colors = dialog.Find<CConfig>();
    colors->OnSelchangingElements(colors->FindItem("Cutting Plane Grids"));
    colors->SetCurrentColor(0x00FF00);
    colors->OnSelchangingElements(colors->FindItem("Cylinders"));
    colors->SetCurrentColor(0x0000FF);
    dialog.Find<CInvisible>()->SetSliderPos(20);
    dialog.OnOK();
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_EQ(SegmentColor("?Style Library/Cylinders", "faces"), 0x0000FFu);
    for (auto& view : views) {
        char grid[4096] = "";
        HC_Open_Segment_By_Key(view->GetCuttingPlanesKey());
        HC_Show_One_Color("faces", grid);
        HC_Close_Segment();
        EXPECT_EQ(ColorValue(grid), 0x00FF00u);
    }
    EXPECT_EQ(FileValue(file, "Element", "Transparency", "Factor"), "0.200000");
    EXPECT_TRUE(port.timers.empty());
}

TEST_F(HOptionsDlgTest, CancelChangesNothingOnDisk) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    {
        // A file that already lists what the pages read.
        HOptionsDlg dialog(config, Views(), &port);
        dialog.AddStandardPages();
        dialog.OnInitDialog();
        dialog.OnOK();
    }
    const std::string before = ReadAll(file);
    const auto settings = std::make_tuple(CAppSettings::PipeColor, CAppSettings::PipeMarkerColor,
                                          CAppSettings::PipeMarkerSymbolSize);
    HOptionsDlg dialog(config, Views(), &port);
    dialog.AddStandardPages();
    dialog.OnInitDialog();
    auto* colors = dialog.Find<CConfig>();
    colors->OnSelchangingElements(colors->FindItem("Pipe Color"));
    colors->SetCurrentColor(0x0000FF);
    dialog.Find<CMarkerConfig>()->SetColor(0x00FF00);
    dialog.Find<CMarkerConfig>()->SetSliderPos(400);
    dialog.Find<CFontConfig>()->SetFont(CFontConfig::Nodes, "Courier");
    dialog.Find<COutputOptions>()->SetPatternIndex(3);
    dialog.Find<CUserOptions>()->Edit().orbitBoundingBox = true;
    dialog.OnCancel();
    EXPECT_EQ(ReadAll(file), before);
    EXPECT_EQ(std::make_tuple(CAppSettings::PipeColor, CAppSettings::PipeMarkerColor,
                              CAppSettings::PipeMarkerSymbolSize),
              settings);
    EXPECT_TRUE(port.timers.empty());
}

TEST_F(HOptionsDlgTest, BrokenFileIsReportedAndNotOverwritten) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    const std::string broken = "<?xml version=\"1.0\"?>\n<PlotProperties><Element name=";
    WriteAll(file, broken);
    HOptionsDlg dialog(config, Views(), &port);
    dialog.AddStandardPages();
    dialog.OnInitDialog();
    auto* colors = dialog.Find<CConfig>();
    colors->SetCurrentColor(0x0000FF);
    dialog.Find<CInvisible>()->SetSliderPos(5);
    dialog.OnOK();
    EXPECT_EQ(ReadAll(file), broken);
    EXPECT_FALSE(shell.messages.empty());
}

TEST_F(HOptionsDlgTest, OkKeepsWhatAnotherProgramChangedMeanwhile) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    config.SetLastOperator("HOpCameraOrbit");
    config.SetDisplacedLineWeight(2);
    HOptionsDlg dialog(config, Views(), &port);
    dialog.AddStandardPages();
    dialog.OnInitDialog();
    // Another program writes the same file while the dialog is open.
    HOpConfig other;
    other.SetConfigFile(ketra::sys::FromUtf8(file.string()).c_str());
    other.SetLastOperator("HOpCameraPan");
    other.SetDisplacedLineWeight(4);
    dialog.Find<CInvisible>()->SetSliderPos(30);
    dialog.OnOK();
    EXPECT_EQ(std::string(config.GetLastOperator()), "HOpCameraPan");
    EXPECT_FLOAT_EQ(config.GetDisplacedLineWeight(), 4.0f);
    EXPECT_EQ(FileValue(file, "Element", "Transparency", "Factor"), "0.300000");
}
