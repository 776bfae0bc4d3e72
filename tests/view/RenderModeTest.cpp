#include "ViewExFixture.h"

using viewtest::RenderingOption;
using viewtest::ViewExTest;
using viewtest::Visibility;

namespace {

constexpr const char* kNodeText = "/Style Library/nodeText";

class RenderModeTest : public ViewExTest {
protected:
    void SetUp() override
    {
        ViewExTest::SetUp();
        CAppSettings::PackageName = L"Halden";
        HC_Open_Segment(kNodeText);
        HC_Flush_Contents(".", "everything");
        HC_Close_Segment();
    }
    HC_KEY NodeTextKey() { return HC_Create_Segment(kNodeText); }
};

} // namespace

TEST_F(RenderModeTest, SilhouetteModeFollowsItsNodeTextSetting)
{
    CAppSettings::SilhouetteModeNodeTextAlwaysVisible = 1;
    view->SetRenderMode(HRenderSilhouette);
    EXPECT_EQ(RenderingOption(kNodeText, "depth range"), "(0.0,0.1)");
    CAppSettings::SilhouetteModeNodeTextAlwaysVisible = 0;
    view->SetRenderMode(HRenderSilhouette);
    EXPECT_EQ(RenderingOption(kNodeText, "depth range"), "(0,1)");
}

TEST_F(RenderModeTest, ShadedModesFollowTheRenderedSettingAndHideNodeMarkers)
{
    for (HRenderMode mode : {HRenderGouraud, HRenderFlat, HRenderGouraudWithEdges}) {
        SCOPED_TRACE(static_cast<int>(mode));
        CAppSettings::RenderedModeNodeTextAlwaysVisible = 1;
        view->SetRenderMode(mode);
        EXPECT_EQ(RenderingOption(kNodeText, "depth range"), "(0.0,0.1)");
        EXPECT_EQ(Visibility(NodeTextKey(), "markers"), "off");
        CAppSettings::RenderedModeNodeTextAlwaysVisible = 0;
        view->SetRenderMode(mode);
        EXPECT_EQ(RenderingOption(kNodeText, "depth range"), "(0,1)");
    }
    CAppSettings::RenderedModeNodeTextAlwaysVisible = 1;
    view->SetRenderMode(HRenderWireframe);  // any other mode: always the full range
    EXPECT_EQ(RenderingOption(kNodeText, "depth range"), "(0,1)");
}

TEST_F(RenderModeTest, MarkerModeShowsMarkersAndLeavingItCleansUp)
{
    CAppSettings::ShowMarkers = 1;
    CAppSettings::PipeMarkerSymbolSize = 0.75f;
    view->SetRenderMode(HRenderMarkers);
    EXPECT_EQ(Visibility(view->GetSceneKey(), "markers"), "on");
    EXPECT_EQ(Visibility(view->GetSceneKey(), "edges"), "on");
    float size = 0;
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Show_Marker_Size(&size);
    EXPECT_GT(HC_Show_Existence("rendering options = lod"), 0);
    HC_Close_Segment();
    EXPECT_FLOAT_EQ(size, 0.75f);
    EXPECT_EQ(RenderingOption(kNodeText, "depth range"), "(0,1)");
    EXPECT_EQ(Visibility(NodeTextKey(), "markers"), "off");

    view->SetRenderMode(HRenderGouraud);
    EXPECT_EQ(Visibility(view->GetSceneKey(), "markers"), "off");
    HC_Open_Segment_By_Key(view->GetSceneKey());
    EXPECT_EQ(HC_Show_Existence("rendering options = lod"), 0);
    EXPECT_EQ(HC_Show_Existence("rendering options = lodo"), 0);
    EXPECT_EQ(HC_Show_Existence("rendering options = lighting interpolation"), 0);
    HC_Close_Segment();
}

TEST_F(RenderModeTest, MarkerModeWithoutShowMarkersKeepsMarkersHidden)
{
    CAppSettings::ShowMarkers = 0;
    view->SetRenderMode(HRenderMarkers);
    EXPECT_EQ(Visibility(view->GetSceneKey(), "markers"), "off");
}

TEST_F(RenderModeTest, DraftonPackageTouchesNeitherMarkersNorNodeText)
{
    CAppSettings::PackageName = L"Drafton Design Review";
    CAppSettings::ShowMarkers = 1;
    view->SetRenderMode(HRenderMarkers);
    EXPECT_EQ(view->GetRenderMode(), HRenderMarkers);
    EXPECT_EQ(Visibility(view->GetSceneKey(), "markers"), "off");
    view->SetRenderMode(HRenderSilhouette);
    EXPECT_EQ(view->GetRenderMode(), HRenderSilhouette);
    EXPECT_EQ(RenderingOption(kNodeText, "depth range"), "");
    HC_Open_Segment(kNodeText);
    EXPECT_EQ(HC_Show_Existence("visibility"), 0);
    HC_Close_Segment();
}
