// The view window's command table: every id has a handler, and each item's enabled state and
// check mark follow the state they name.
#include "ViewWindowFixture.h"
#include "platform/mvo/ViewFixture.h"

#include "platform/mvo/HOpCameraOrbit.h"
#include "platform/mvo/HOpMarkup.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/window/ResourceModule.h"
#include "view/HBaseViewEx.h"

#include <functional>
#include <set>

using namespace ketra::view;
using viewtest::ViewWindowTest;

namespace {

// Every command of the window's table.
const unsigned int kTableIds[] = {
    42835, 43022, 42838, 43023, 42837, 43024, 40002, 40101, 40104, 40102, 40103, 42796, 42793,
    42795, 42797, 42794, 43073, 42775, 42828, 42809, 42811, 40001, 43067, 43051, 43052, 43037,
    40003, 42807, 43053, 33000, 42824, 42825, 40013, 42801, 34010, 34009, 40014, 42773, 42774,
    42810, 40008, 103,   42849, 43035, 43040, 43041, 43042, 43043, 43044, 43045, 43046, 43047,
    43084, 32904, 32841, 32882, 57643, 43002, 43064, 43065, 43082, 43079, 43081, 130,   131,
    40005, 43068, 43038, 57634, 57604, 32988, 40006, 57607, 57608, 57609,
};

std::vector<unsigned int> MenuIds(unsigned int menuId)
{
    const ketra::window::ResourceModule* module =
        ketra::window::LoadResourceModule(kComponentResourceModule);
    EXPECT_NE(module, nullptr);
    ketra::window::ScopedResourceHandle scoped(module);
    CMenu menu;
    EXPECT_TRUE(menu.LoadMenu(menuId)) << menuId;
    return menu.CommandIds();
}

} // namespace

TEST_F(ViewWindowTest, EveryCommandOfTheTableAndOfTheMenusHasAHandler)
{
    for (unsigned int id : kTableIds)
        EXPECT_TRUE(window->Commands().HasHandler(id)) << id;
    std::set<unsigned int> inMenus;
    for (unsigned int menu : {kMenuMain, kMenuToolBar, kMenuContext})
        for (unsigned int id : MenuIds(menu))
            inMenus.insert(id);
    // The application's own items are the application's to handle.
    for (unsigned int id : inMenus)
        EXPECT_EQ(window->Commands().HasHandler(id), !IsApplicationCommand(id)) << id;
    // The bar and the tool bar offer what the table has, the note items excepted.
    for (unsigned int id : kTableIds) {
        if (id != kCmdDeleteNote && id != kCmdEditNote) {
            EXPECT_TRUE(inMenus.count(id)) << id << " is in no menu";
        }
    }
}

TEST_F(ViewWindowTest, StandardViewsAreCheckedByTheViewMode)
{
    struct Case {
        unsigned int id;
        ViewMode mode;
    };
    const Case cases[] = {{42835, HViewFront}, {43022, HViewBack},  {42838, HViewTop},
                          {43023, HViewBottom}, {42837, HViewLeft}, {43024, HViewRight},
                          {40002, HViewIsoSE},  {40101, HViewIsoSE}, {40104, HViewIsoNW},
                          {40102, HViewIsoSW},  {40103, HViewIsoNE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_TRUE(Run(c.id));
        EXPECT_EQ(view->GetViewMode(), c.mode);
        for (const Case& other : cases)
            EXPECT_EQ(Ui(other.id).GetCheck(), other.mode == c.mode ? 1 : 0) << other.id;
    }
    view->SetViewModeValue(HViewIso);
    EXPECT_EQ(Ui(kCmdViewIsoSE).GetCheck(), 1);
    EXPECT_EQ(Ui(kCmdViewFront).GetCheck(), 0);

    EXPECT_TRUE(Ui(kCmdViewTop).IsEnabled());
    Run(kCmdWalk);
    EXPECT_FALSE(Ui(kCmdViewTop).IsEnabled());
    EXPECT_FALSE(Ui(kCmdViewBottom).IsEnabled());
    EXPECT_TRUE(Ui(kCmdViewFront).IsEnabled());
}

TEST_F(ViewWindowTest, OperatorCommandsInstallTheirOperatorAndAreCheckedByItsName)
{
    struct Case {
        unsigned int id;
        const char* name;
    };
    const Case cases[] = {
        {42796, "HOpCameraZoomEx"},    {42793, "HOpCameraZoomBoxEx"}, {42795, "HOpCameraOrbitEx"},
        {42797, "HOpCameraPanEx"},     {42775, "HOpObjectRotate"},    {42809, "HOpSelectAperture"},
        {43067, "HOpMarkupPostIt"},    {43051, "HOpMarkupCircle"},    {43052, "HOpMarkupRectangle"},
        {43037, "HOpMarkupFreehand"},  {40003, "HOpCameraWalk"},      {42807, "HOpMoveHandle"},
        {42811, "HOpKetraSelectArea"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Run(c.id);
        EXPECT_EQ(OperatorName(), c.name);
        EXPECT_EQ(view->GetOperator()->GetDoRepeat(), 0);
        EXPECT_EQ(view->GetOperator()->GetDoCapture(), 1);
        for (const Case& other : cases) {
            const CCmdUI ui = Ui(other.id);
            EXPECT_TRUE(ui.IsEnabled()) << other.id;
            EXPECT_EQ(ui.GetCheck(), other.id == c.id ? 1 : 0) << other.id;
        }
        EXPECT_EQ(Ui(kCmdAnnotate).GetCheck(), 0);
    }
    // Walk opens the navigation panel beside the view.
    EXPECT_TRUE(port.panels["navigation"]);

    Run(kCmdOrbitCamera);
    auto* orbit = dynamic_cast<HOpCameraOrbit*>(view->GetOperator());
    ASSERT_NE(orbit, nullptr);
    EXPECT_TRUE(orbit->GetLightFollowsCamera());
    EXPECT_FALSE(orbit->GetShowBoundingBox());

    Run(kCmdTranslateSelection);
    EXPECT_EQ(OperatorName(), "HOpObjectTranslate");
    EXPECT_FALSE(Ui(kCmdTranslateSelection).IsEnabled());

    window->LocalSetOperator(new HOpMarkupAnnotate(view.get(), 0, 1));
    EXPECT_EQ(Ui(kCmdAnnotate).GetCheck(), 1);
    EXPECT_TRUE(Run(kCmdAnnotate));  // a check mark only: the operator stays
    EXPECT_EQ(OperatorName(), "HOpMarkupAnnotate");
}

TEST_F(ViewWindowTest, ProjectionAndRenderModeItemsFollowTheView)
{
    const std::pair<unsigned int, HProjMode> projections[] = {
        {42824, ProjOrthographic}, {42825, ProjPerspective}, {40013, ProjStretched}};
    for (const auto& [id, mode] : projections) {
        Run(id);
        EXPECT_EQ(view->GetProjMode(), mode);
        for (const auto& [other, otherMode] : projections)
            EXPECT_EQ(Ui(other).GetCheck(), otherMode == mode ? 1 : 0) << other;
    }

    struct Case {
        unsigned int id;
        std::set<HRenderMode> marked;
    };
    const Case cases[] = {
        {42801, {HRenderWireframe}},
        {34010, {HRenderHiddenLine, HRenderHiddenLineFast, HRenderBRepHiddenLine}},
        {34009, {HRenderGouraud, HRenderGouraudWithEdges}},
        {40014, {HRenderSilhouette}},
    };
    for (const Case& c : cases) {
        Run(c.id);
        EXPECT_TRUE(c.marked.count(view->GetRenderMode())) << c.id;
    }
    for (HRenderMode mode : {HRenderWireframe, HRenderSilhouette, HRenderHiddenLine,
                             HRenderHiddenLineFast, HRenderBRepHiddenLine, HRenderGouraud,
                             HRenderFlat, HRenderGouraudWithEdges, HRenderMarkers}) {
        view->SetRenderMode(mode);
        for (const Case& c : cases)
            EXPECT_EQ(Ui(c.id).GetCheck(), c.marked.count(mode) ? 1 : 0) << c.id << " mode " << mode;
    }
}

TEST_F(ViewWindowTest, SceneToggleItemsAreCheckedWhileShown)
{
    EXPECT_EQ(Ui(kCmdEdges).GetCheck(), 1);
    EXPECT_EQ(Ui(kCmdFaces).GetCheck(), 1);
    EXPECT_EQ(Ui(kCmdLights).GetCheck(), 1);
    EXPECT_EQ(Ui(kCmdMarkers).GetCheck(), 0);
    EXPECT_TRUE(window->GetFastPrint());
    // Ticked from the start, and shown from the start.
    EXPECT_EQ(viewtest::Visibility(model->GetModelKey(), "edges"), "on");

    Run(kCmdEdges);
    EXPECT_EQ(Ui(kCmdEdges).GetCheck(), 0);
    EXPECT_EQ(viewtest::Visibility(model->GetModelKey(), "edges"), "off");
    EXPECT_EQ(viewtest::Visibility(model->GetModelKey(), "lines"), "off");
    Run(kCmdEdges);
    EXPECT_EQ(viewtest::Visibility(model->GetModelKey(), "lines"), "on");

    Run(kCmdFaces);
    EXPECT_EQ(Ui(kCmdFaces).GetCheck(), 0);
    EXPECT_EQ(viewtest::Visibility(model->GetModelKey(), "faces"), "off");

    Run(kCmdLights);
    EXPECT_EQ(Ui(kCmdLights).GetCheck(), 0);
    EXPECT_FALSE(window->GetFastPrint());
    EXPECT_EQ(viewtest::Visibility(view->GetLightsKey(), "lights"), "off");
    Run(kCmdLights);
    EXPECT_TRUE(window->GetFastPrint());

    // A pipe whose coarsest level is its centre line gets a marker at each node, once.
    HC_Open_Segment("/include library/halden/pipes/10-20");
    const float tube[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const int triangle[] = {3, 0, 1, 2};
    const HC_KEY shell = HC_Insert_Shell(3, tube, 4, triangle);
    HC_Open_Geometry(shell);
    HC_Open_LOD(2);
    const float line[] = {0, 0, 0, 5, 0, 0};
    const int edge[] = {2, 0, 1};
    HC_Insert_Shell(2, line, 3, edge);
    HC_Close_LOD();
    HC_Close_Geometry();
    HC_Close_Segment();
    const auto markers = [] {
        return HC_QShow_Existence("/include library/halden/pipes/10-20/node markers", "markers");
    };
    Run(kCmdMarkers);
    EXPECT_EQ(Ui(kCmdMarkers).GetCheck(), 1);
    EXPECT_EQ(viewtest::Visibility(view->GetSceneKey(), "markers"), "on");
    EXPECT_EQ(markers(), 2);
    Run(kCmdMarkers);
    EXPECT_EQ(viewtest::Visibility(view->GetSceneKey(), "markers"), "off");
    Run(kCmdMarkers);
    EXPECT_EQ(markers(), 2);
}

TEST_F(ViewWindowTest, WalkLooksInPerspectiveAndGivesTheProjectionBack)
{
    view->SetProjMode(ProjOrthographic);
    Run(kCmdWalk);
    EXPECT_EQ(view->GetProjMode(), ProjPerspective);
    Run(kCmdWalk); // the walk again: still walking
    EXPECT_EQ(view->GetProjMode(), ProjPerspective);
    Run(kCmdOrbitCamera);
    EXPECT_EQ(view->GetProjMode(), ProjOrthographic);
    view->SetProjMode(ProjStretched);
    Run(kCmdWalk);
    Run(kCmdPanCamera);
    EXPECT_EQ(view->GetProjMode(), ProjStretched);
}

TEST_F(ViewWindowTest, ItemsEnabledByState)
{
    // Always disabled / always enabled.
    EXPECT_FALSE(Ui(kCmdForces).IsEnabled());
    EXPECT_FALSE(Ui(kCmdModelInfo).IsEnabled());
    EXPECT_TRUE(Ui(kCmdCollaborate).IsEnabled());
    EXPECT_FALSE(Ui(kCmdTranslateSelection).IsEnabled());
    CCmdUI findNode = Ui(kCmdFindNode);
    EXPECT_FALSE(findNode.EnableWasSet());  // left as the host sets it

    // Zoom to Selection needs a selection.
    EXPECT_FALSE(Ui(kCmdZoomToSelection).IsEnabled());
    HC_Open_Segment_By_Key(model->GetModelKey());
    const HC_KEY box = mvotest::InsertBox({-1, -1, -1}, {1, 1, 1});
    HC_Close_Segment();
    view->GetSelection()->Select(box, nullptr, 0, 0);
    EXPECT_TRUE(Ui(kCmdZoomToSelection).IsEnabled());

    // Undo needs a recorded camera.
    EXPECT_FALSE(Ui(kCmdUndo).IsEnabled());
    window->OnLButtonDown(MK_LBUTTON, {5, 5});
    EXPECT_TRUE(Ui(kCmdUndo).IsEnabled());

    // Delete Cutting Plane needs a plane.
    EXPECT_FALSE(Ui(kCmdDeleteCuttingPlane).IsEnabled());
    Run(kCmdInsertCuttingPlane);
    EXPECT_TRUE(Ui(kCmdDeleteCuttingPlane).IsEnabled());
    Run(kCmdDeleteCuttingPlane);
    EXPECT_FALSE(Ui(kCmdDeleteCuttingPlane).IsEnabled());

    // Four views: only for the input plot, checked by its flag.
    config.SetConfigType(HOpConfig::ConfigInput);
    EXPECT_TRUE(Ui(kCmdFourViews).IsEnabled());
    for (int type : {0, 3, 4, 5}) {
        config.SetConfigType(type);
        EXPECT_FALSE(Ui(kCmdFourViews).IsEnabled()) << type;
    }
    config.SetConfigType(HOpConfig::ConfigInput);
    port.hasSplitter = true;
    Run(kCmdFourViews);
    EXPECT_EQ(Ui(kCmdFourViews).GetCheck(), 1);
    EXPECT_EQ(port.splitterPanes, 4);
    Run(kCmdFourViews);
    EXPECT_EQ(Ui(kCmdFourViews).GetCheck(), 0);
    EXPECT_EQ(port.splitterPanes, 1);
}
