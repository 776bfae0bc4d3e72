// The font, transparency, markers, displaced-shape and user options pages: what each reads,
// shows and writes, and that an unchanged or cancelled page writes nothing.
#include "PagesFixture.h"

#include "config/pages/COptionPages.h"

using namespace pagestest;

namespace {
class OptionPagesTest : public PagesTest {};
} // namespace

TEST_F(OptionPagesTest, TransparencyStoresTheSliderAsAFactor) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CInvisible page(config, &port);
    page.OnInitDialog();
    EXPECT_EQ(page.GetSliderPos(), 50); // VisibilityPercent's default
    EXPECT_EQ(port.timers.at(CPropertyPage::kPreviewTimer), 50u);
    page.SetSliderPos(37);
    EXPECT_EQ(page.GetLabel(), "37%");
    EXPECT_EQ(page.SampleColor(), "transmission=(r=0.370000 g=0.370000 b=0.370000)");
    page.OnTimer(CPropertyPage::kPreviewTimer);
    char color[4096] = "";
    HC_Open_Segment_By_Key(page.GetPreview()->DemoSegment());
    HC_Open_Segment("InvisibleHelix");
    HC_Show_One_Color("faces=transmission", color);
    HC_Close_Segment();
    HC_Close_Segment();
    EXPECT_EQ(ColorValue(color), 0x5E5E5Eu);
    ASSERT_TRUE(page.OnApply());
    EXPECT_EQ(FileValue(file, "Element", "Transparency", "Factor"), "0.370000");

    // The settings store overrides the file by default, so it takes the factor too.
    EXPECT_EQ(CAppSettings::VisibilityPercent, 37);
    EXPECT_FLOAT_EQ(config.GetInvisiblePercent(), 0.37f);
    CAppSettings::UseSystemColorInfo = 0;
    EXPECT_FLOAT_EQ(config.GetInvisiblePercent(), 0.37f);

    page.SetSliderPos(150);
    EXPECT_EQ(page.GetSliderPos(), CInvisible::kMax);
    page.SetSliderPos(-3);
    EXPECT_EQ(page.GetSliderPos(), CInvisible::kMin);
}

TEST_F(OptionPagesTest, MarkersReadChangeAndWriteTheSettings) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CMarkerConfig page(config, &port);
    page.OnInitDialog();
    EXPECT_TRUE(page.GetUseMarkers());
    EXPECT_EQ(page.GetSliderPos(), 25);
    EXPECT_EQ(page.GetColor(), 0x0000FFu);
    page.SetSliderPos(120);
    EXPECT_EQ(page.GetLabel(), "120%");
    page.SetUseMarkers(false);
    port.colorAnswer = 0x00FF00;
    ASSERT_TRUE(page.OnColorButton());
    port.colorOk = false;
    EXPECT_FALSE(page.OnColorButton());
    EXPECT_EQ(page.GetColor(), 0x00FF00u);
    page.OnTimer(CPropertyPage::kPreviewTimer);
    HC_Open_Segment_By_Key(page.GetPreview()->DemoSegment());
    HC_Open_Segment("Lines");
    float size = 0;
    char marker[64] = "";
    HC_Show_Marker_Size(&size);
    HC_Show_One_Color("markers", marker);
    HC_Close_Segment();
    HC_Close_Segment();
    EXPECT_FLOAT_EQ(size, 1.2f);
    EXPECT_EQ(ColorValue(marker), 0x00FF00u);
    ASSERT_TRUE(page.OnApply());
    EXPECT_FLOAT_EQ(CAppSettings::PipeMarkerSymbolSize, 1.2f);
    EXPECT_FLOAT_EQ(CAppSettings::BendMarkerSymbolSize, 1.2f);
    EXPECT_EQ(CAppSettings::ShowMarkers, 0);
    EXPECT_EQ(CAppSettings::PipeMarkerColor, 0x00FF00u);
    EXPECT_EQ(CAppSettings::BendMarkerColor, 0x00FF00u);
}

TEST_F(OptionPagesTest, DisplacedShapeWritesAndStylesTheLine) {
    HOpConfig& config = Open(HOpConfig::ConfigOutput);
    config.SetDisplacedLinePattern("-.-.");
    config.SetDisplacedLineWeight(3);
    COutputOptions page(config, &port);
    page.OnInitDialog();
    EXPECT_EQ(page.GetPatternIndex(), 1);
    EXPECT_EQ(page.GetWeight(), 3);
    page.SetPatternIndex(6);
    page.SetWeight(12);
    EXPECT_EQ(page.GetWeight(), COutputOptions::kMaxWeight);
    page.SetColor(0x0000FF);
    ASSERT_TRUE(page.OnApply());
    EXPECT_EQ(std::string(config.GetDisplacedLinePattern()), "phantom");
    EXPECT_FLOAT_EQ(config.GetDisplacedLineWeight(), 10.0f);
    EXPECT_EQ(FileValue(file, "Element", "DisplacedLine", "DiffuseColor"),
              "r=1.000000 g=0.000000 b=0.000000");
    char pattern[64] = "";
    HC_Open_Segment("/Style Library/Displaced Shapes");
    HC_Show_Line_Pattern(pattern);
    HC_Close_Segment();
    EXPECT_EQ(std::string(pattern), "phantom");
    EXPECT_EQ(COutputOptions::Patterns().size(), 7u);
}

TEST_F(OptionPagesTest, DisplacedShapeWithAnUnlistedPatternKeepsIt) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    config.SetDisplacedLinePattern("dotted-custom");
    COutputOptions page(config, &port);
    page.OnInitDialog();
    EXPECT_EQ(page.GetPatternIndex(), -1);
    page.SetWeight(2);
    page.OnApply();
    EXPECT_EQ(std::string(config.GetDisplacedLinePattern()), "dotted-custom");
}

TEST_F(OptionPagesTest, UserOptionsMapTheRadioGroups) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    const int expected[] = {-1, 1, 2, 3, 4, 6, 5, 0, -1};
    for (int mode = 0; mode <= 8; ++mode)
        EXPECT_EQ(CUserOptions::ViewModeToButton(mode), expected[mode]) << mode;
    for (int button = 0; button <= 6; ++button)
        EXPECT_EQ(CUserOptions::ViewModeToButton(CUserOptions::ButtonToViewMode(button)), button);
    EXPECT_EQ(CUserOptions::ProjectionToButton(1), 1);
    EXPECT_EQ(CUserOptions::ProjectionToButton(2), 0);
    EXPECT_EQ(CUserOptions::ProjectionToButton(3), 2);
    EXPECT_EQ(CUserOptions::OperatorToButton("HOpCameraPan"), 5);
    EXPECT_EQ(CUserOptions::OperatorToButton("HOpObjectAnnotate"), 4);

    config.SetLastViewMode(5); // "YZ"
    config.SetLastOperator("Camera Walk");
    config.SetProjectionDisplay(3);
    {
        CUserOptions page(config, &port);
        page.OnInitDialog();
        EXPECT_EQ(page.Get().viewButton, 6);
        EXPECT_EQ(page.Get().operatorButton, -1);
        EXPECT_EQ(page.Get().projectionButton, 2);
        page.OnApply();
        EXPECT_EQ(std::string(config.GetLastOperator()), "Camera Walk");
    }
    config.SetLastViewMode(6); // "ZY"
    CUserOptions page(config, &port);
    page.OnInitDialog();
    EXPECT_EQ(page.Get().viewButton, 5);
    page.Edit().operatorButton = 5;
    page.Edit().viewButton = 0;
    page.Edit().projectionButton = 1;
    page.Edit().hideOverlappedText = !page.Get().hideOverlappedText;
    const bool hide = page.Get().hideOverlappedText;
    page.Edit().restoreView = false;
    page.OnApply();
    EXPECT_EQ(std::string(config.GetLastOperator()), "HOpCameraPan");
    EXPECT_EQ(config.GetLastViewMode(), 7);
    EXPECT_EQ(config.GetProjectionDisplay(), 1);
    EXPECT_EQ(config.GetHideOverlappedText(), hide);
    EXPECT_FALSE(config.GetRestorePreviousView());
}

TEST_F(OptionPagesTest, FontsReadChangeAndWriteEachStyle) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    CAppSettings::UseSystemFontInfo = 0;
    CAppSettings::UseSystemColorInfo = 0;
    config.SetNodeTextFont("Liberation Sans");
    config.SetNodeTextSize(14, "pts");
    config.SetNodeTextJustification("center");
    CFontConfig page(config, &port);
    page.OnInitDialog();
    EXPECT_EQ(page.GetStyleNames(), (std::vector<std::string>{"Annotations", "Nodes", "Legend"}));
    const auto& nodes = page.GetStyle(CFontConfig::Nodes);
    EXPECT_EQ(nodes.font, "Liberation Sans");
    EXPECT_DOUBLE_EQ(nodes.size, 14.0);
    EXPECT_EQ(nodes.unit, "pts");
    EXPECT_EQ(nodes.justification, "*");
    EXPECT_EQ(CFontConfig::PreviewFont(nodes),
              "name=\"Liberation Sans\", transforms=" + nodes.transformation + ",size=14.0 pts");
    EXPECT_EQ(HC_Show_Existence_By_Key(page.GetPreview()->DemoSegment(), "segments"), 3);

    page.SetFont(CFontConfig::Legend, "DejaVu Sans");
    page.SetSize(CFontConfig::Legend, 20);
    page.SetColor(CFontConfig::Legend, 0x00FF00);
    page.SetJustification(CFontConfig::Legend, "right");
    page.SetSize(CFontConfig::Annotations, 11);
    page.SetFont(7, "ignored");
    ASSERT_TRUE(page.OnApply());
    EXPECT_EQ(std::string(config.GetLegendTextFont()), "DejaVu Sans");
    EXPECT_EQ(std::string(config.GetLegendTextSize()), "20.0 pts");
    EXPECT_EQ(ColorValue(config.GetLegendTextColor()), 0x00FF00u);
    EXPECT_EQ(std::string(config.GetLegendTextJustification()), ">");
    EXPECT_EQ(std::string(config.GetAnnotationTextSize()), "11.0 pts");
    EXPECT_EQ(std::string(config.GetNodeTextFont()), "Liberation Sans");

    double size = 0;
    std::string unit;
    CFontConfig::ParseSize("10 pts", size, unit);
    EXPECT_DOUBLE_EQ(size, 10.0);
    EXPECT_EQ(unit, "pts");
    CFontConfig::ParseSize("7.5", size, unit);
    EXPECT_DOUBLE_EQ(size, 7.5);
    EXPECT_EQ(unit, "pts");
}

TEST_F(OptionPagesTest, FontsOfThePressureVesselHostIncludeTheHeightScale) {
    HOpConfig& config = Open(HOpConfig::ConfigMarlow);
    CFontConfig page(config, &port);
    page.OnInitDialog();
    ASSERT_EQ(page.GetStyleCount(), 4);
    EXPECT_EQ(page.GetStyle(CFontConfig::HeightScale).font, "Arial");
    EXPECT_EQ(page.GetStyle(CFontConfig::HeightScale).justification, "<");
    page.SetSize(CFontConfig::HeightScale, 16);
    page.SetColor(CFontConfig::HeightScale, 0x0000FF);
    page.OnApply();
    EXPECT_EQ(CAppSettings::MRL_HeightScaleFontSize, L"16.0 pts");
    EXPECT_EQ(CAppSettings::MRL_HeightScaleFontColor, 0x0000FFu);
}

TEST_F(OptionPagesTest, UnchangedOrCancelledPagesLeaveTheFileByteIdentical) {
    HOpConfig& config = Open(HOpConfig::ConfigInput);
    config.SetLastOperator("Camera Walk");
    const std::string before = ReadAll(file);
    {
        CFontConfig fonts(config, &port);
        CInvisible invisible(config, &port);
        CMarkerConfig markers(config, &port);
        COutputOptions output(config, &port);
        CUserOptions user(config, &port);
        for (CPropertyPage* page :
             std::initializer_list<CPropertyPage*>{&fonts, &invisible, &markers, &output, &user})
            page->OnInitDialog();
        fonts.SetFont(0, "Courier");
        invisible.SetSliderPos(10);
        markers.SetSliderPos(300);
        output.SetWeight(7);
        user.Edit().operatorButton = 0;
        for (CPropertyPage* page :
             std::initializer_list<CPropertyPage*>{&fonts, &invisible, &markers, &output, &user})
            page->OnCancel();
    }
    EXPECT_EQ(ReadAll(file), before);
    CInvisible invisible(config, &port);
    invisible.OnInitDialog();
    invisible.OnApply();
    CUserOptions user(config, &port);
    user.OnInitDialog();
    user.OnApply();
    EXPECT_EQ(ReadAll(file), before);
    EXPECT_TRUE(shell.messages.empty());
}
