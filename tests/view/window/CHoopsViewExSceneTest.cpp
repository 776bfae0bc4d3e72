// Scene commands of the view window: element kinds, translucency, Gouraud shading, plant
// parts, cutting planes, view compass and the initial symbol visibility.
#include "ViewWindowFixture.h"
#include "platform/mvo/ViewFixture.h"

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HSelectionSet.h"
#include "view/HBaseViewEx.h"

#include <cstdio>
#include <filesystem>

using namespace ketra::view;
using viewtest::Compact;
using viewtest::ViewWindowTest;

namespace {

const char* const kNineKinds[] = {"restraints", "rigids", "hangers", "pipes", "bends",
                                  "anchors", "structures", "expansion joints", "tees"};

const char* const kStyles[] = {
    "Pipes",   "Hangers",          "hangersCNode", "hangersNoCN", "Restraints", "restraintsCNode",
    "restraintsNoCN", "Anchors",   "anchorsCNode", "anchorsNoCN", "Expansion Joints",
    "Structure", "bends",          "rigids",       "flanges",     "nozlims",    "nozzles", "tees"};

std::string Transmission(const std::string& style)
{
    char value[256] = "";
    HC_Open_Segment(("/Style Library/" + style).c_str());
    if (HC_Show_Existence("color") > 0)
        HC_Show_One_Color("faces=transmission", value);
    HC_Close_Segment();
    return Compact(value);
}

bool Locked(const std::string& style)
{
    return HC_QShow_Existence(("/Style Library/" + style).c_str(),
                              "rendering options = attribute lock") > 0;
}

std::string OwnVisibility(HC_KEY segment)
{
    char value[512] = "";
    HC_Open_Segment_By_Key(segment);
    if (HC_Show_Existence("visibility") > 0)
        HC_Show_Visibility(value);
    HC_Close_Segment();
    return Compact(value);
}

bool HiddenPart(HC_KEY segment)
{
    char value[64] = "";
    HC_Open_Segment_By_Key(segment);
    if (HC_Show_Existence("user option = Drafton Hidden Part") > 0)
        HC_Show_One_User_Option("Drafton Hidden Part", value);
    HC_Close_Segment();
    return std::string(value) == "on" && OwnVisibility(segment) == "everything=off";
}

} // namespace

TEST_F(ViewWindowTest, OnTwiceHidesThenShowsAllNineKinds)
{
    EXPECT_TRUE(window->GetAllElementKindsShown());
    Run(kCmdShowAllKinds);
    EXPECT_FALSE(window->GetAllElementKindsShown());
    for (const char* kind : kNineKinds)
        EXPECT_EQ(OwnVisibility(Kind(kind)), "everything=off") << kind;
    Run(kCmdShowAllKinds);
    EXPECT_TRUE(window->GetAllElementKindsShown());
    for (const char* kind : kNineKinds)
        EXPECT_EQ(OwnVisibility(Kind(kind)), "") << kind;

    // Tees have a toggle of their own; Show All brings back whatever On or a toggle hid.
    Run(kCmdShowTees);
    EXPECT_EQ(OwnVisibility(Kind("tees")), "everything=off");
    Run(kCmdShowAllKinds);
    Run(kCmdShowAllParts);
    EXPECT_TRUE(window->GetAllElementKindsShown());
    for (const char* kind : kNineKinds)
        EXPECT_EQ(OwnVisibility(Kind(kind)), "") << kind;
}

TEST_F(ViewWindowTest, KindToggleRemovesAnyVisibilityOfItsOwn)
{
    const HC_KEY pipes = Kind("pipes");
    HC_Open_Segment_By_Key(pipes);
    HC_Set_Visibility("faces=off, lines=on");
    HC_Close_Segment();
    Run(kCmdShowPipes);
    EXPECT_EQ(OwnVisibility(pipes), "");
    EXPECT_EQ(Ui(kCmdShowPipes).GetCheck(), 1);
    Run(kCmdShowPipes);
    EXPECT_EQ(OwnVisibility(pipes), "everything=off");
    EXPECT_EQ(Ui(kCmdShowPipes).GetCheck(), 0);

    // Each toggle opens its own segment (names compared without regard to case).
    const std::pair<unsigned int, const char*> kinds[] = {
        {kCmdShowBends, "bends"},   {kCmdShowRestraints, "restraints"}, {kCmdShowHangers, "hangers"},
        {kCmdShowAnchors, "anchors"}, {kCmdShowRigids, "rigids"},       {kCmdShowStructures, "structures"},
        {kCmdShowExpansionJoints, "Expansion Joints"}};
    for (const auto& [id, name] : kinds) {
        Run(id);
        EXPECT_EQ(OwnVisibility(Kind(name)), "everything=off") << name;
    }
}

TEST_F(ViewWindowTest, TranslucentObjectsTurnsAllEighteenStylesBothWays)
{
    HC_Open_Segment("/Style Library/Pipes");
    HC_Set_Color("faces=(diffuse=red), lines=blue");
    HC_Close_Segment();
    Run(kCmdTranslucent);
    const float percent = config.GetInvisiblePercent();
    char expected[64];
    std::snprintf(expected, sizeof expected, "R=%g G=%g B=%g", percent, percent, percent);
    for (const char* style : kStyles) {
        EXPECT_EQ(Transmission(style), Compact(expected)) << style;
        EXPECT_TRUE(Locked(style)) << style;
    }
    EXPECT_FALSE(HUtility::SegmentExists("/include library/DoubleDummy"));

    // Translucent now (any component above 0): the command makes them opaque again.
    Run(kCmdTranslucent);
    for (const char* style : kStyles) {
        EXPECT_EQ(Transmission(style), "R=0G=0B=0") << style;
        EXPECT_FALSE(Locked(style)) << style;
    }
    // A full transmission on one channel counts as translucent too.
    Run(kCmdTranslucent);
    HC_Open_Segment("/Style Library/Pipes");
    HC_Set_Color("faces=(transmission=(r=1 g=0 b=0))");
    HC_Close_Segment();
    Run(kCmdTranslucent);
    for (const char* style : kStyles) {
        EXPECT_EQ(Transmission(style), "R=0G=0B=0") << style;
        EXPECT_FALSE(Locked(style)) << style;
    }
}

TEST_F(ViewWindowTest, GouraudShadingKeepsAShownSceneFile)
{
    // What showing a saved scene does: the file read into the include library, its model
    // segment included in the view's model segment.
    HC_Open_Segment("/include library/scene file/model_1");
    mvotest::InsertBox({0, 0, 0}, {1, 1, 1});
    const HC_KEY scene = HC_KShow_Open_Segment();
    HC_Close_Segment();
    HC_Open_Segment_By_Key(model->GetModelKey());
    HC_Include_Segment_By_Key(scene);
    HC_Close_Segment();

    Run(kCmdGouraud);
    std::vector<HC_KEY> included;
    HC_Open_Segment_By_Key(model->GetModelKey());
    HC_Begin_Contents_Search(".", "includes");
    std::string type;
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key))
        included.push_back(HC_Show_Include_Segment(key, nullptr));
    HC_End_Contents_Search();
    HC_Close_Segment();
    const HC_KEY library = HC_Open_Segment("/include library/halden");
    HC_Close_Segment();
    EXPECT_EQ(included, (std::vector<HC_KEY>{library, scene}));
}

TEST_F(ViewWindowTest, GouraudShadingShowsTheLibraryShaded)
{
    const HC_KEY modelKey = model->GetModelKey();
    HC_Open_Segment_By_Key(modelKey);
    HC_Rotate_Object(90, 0, 0);
    HC_Open_Segment("junk");
    mvotest::InsertBox({0, 0, 0}, {1, 1, 1});
    HC_Close_Segment();
    HC_Insert_Line(0, 0, 0, 1, 1, 1);
    HC_Close_Segment();
    HC_Open_Segment("/include library/halden/pipes/linesCentre");
    HC_Close_Segment();
    const HC_KEY deep = Kind("pipes/run 1/LINES 2");
    window->SetFastPrint(false);
    Run(kCmdEdges);  // edges hidden first; Gouraud says what they are afterwards

    Run(kCmdGouraud);
    EXPECT_EQ(view->GetRenderMode(), HRenderGouraud);
    for (HC_KEY lines : {Kind("pipes/linesCentre"), deep}) {
        EXPECT_EQ(viewtest::Visibility(lines, "lines"), "on");
        EXPECT_EQ(viewtest::Visibility(lines, "text"), "on");
        EXPECT_EQ(viewtest::Visibility(lines, "markers"), "off");
        EXPECT_EQ(viewtest::Visibility(lines, "edges"), "off");
    }
    EXPECT_EQ(OwnVisibility(Kind("pipes")), "");

    // The model segment holds the library include, its turn and the legend, nothing else.
    HC_Open_Segment_By_Key(modelKey);
    EXPECT_EQ(HC_Show_Existence("geometry"), 0);
    EXPECT_EQ(HC_Show_Existence("includes"), 1);
    EXPECT_EQ(HC_Show_Existence("modelling matrix"), 1);
    EXPECT_FALSE(HUtility::SegmentExists("junk"));
    HC_Close_Segment();
    EXPECT_EQ(HC_Show_Existence_By_Key(view->GetLegendKey(), "self"), 1);
    EXPECT_EQ(OwnVisibility(modelKey), "faces=on,edges=off,lines=off,lights=(faces=on,edges=on,markers=on)");
    HC_Open_Segment_By_Key(modelKey);
    HC_Open_Segment("LineView");
    const HC_KEY lineView = HC_KShow_Open_Segment();
    HC_Close_Segment();
    HC_Close_Segment();
    EXPECT_EQ(OwnVisibility(lineView), "edges=off,lines=off");
    EXPECT_TRUE(window->GetFacesShown());
    EXPECT_FALSE(window->GetEdgesShown());
    EXPECT_TRUE(window->GetFastPrint());
    // The triad is hidden (axis mode 0): its letters stay hidden too. Shown, it gets text.
    EXPECT_EQ(viewtest::Visibility(view->GetTriadKey(), "text"), "off");
    view->SetAxisMode(AxisOn);
    Run(kCmdGouraud);
    EXPECT_EQ(viewtest::Visibility(view->GetTriadKey(), "text"), "on");
    EXPECT_EQ(viewtest::Visibility(view->GetTriadKey(), "edges"), "off");
}

namespace {

class PlantPartsTest : public ViewWindowTest {
protected:
    void SetUp() override
    {
        ViewWindowTest::SetUp();
        HC_Open_Segment_By_Key(model->GetModelKey());
        HC_Include_Segment("/include library/halden");
        HC_Close_Segment();
        part1 = Kind("Drafton/part1");
        part2 = Kind("Drafton/part2");
        HC_Open_Segment_By_Key(part1);
        shell1 = mvotest::InsertBox({-1, -1, 0}, {1, 1, 0.5f});
        HC_Close_Segment();
        HC_Open_Segment_By_Key(part2);
        mvotest::InsertBox({4, 4, 0}, {5, 5, 0.5f});
        HC_Close_Segment();
        view->SetDraftonModelLoadedFlag(1);
        view->SetViewMode(HViewTop, false, true);
    }
    HC_KEY part1 = -1, part2 = -1, shell1 = -1;
};

} // namespace

TEST_F(PlantPartsTest, HideSelectedHidesTheSelectedPartsAndClearsTheSelection)
{
    view->GetSelection()->SetSelectionLevel(HSelectLevelEntity);
    view->GetSelection()->Select(shell1, nullptr, 0, 0);
    Run(kCmdHideSelectedParts);
    EXPECT_TRUE(HiddenPart(part1));
    EXPECT_FALSE(HiddenPart(part2));
    EXPECT_EQ(view->GetSelection()->GetSize(), 0u);
    EXPECT_EQ(window->GetPlantPartHidden(), 1u);

    // An item outside the plant model is left alone.
    const HC_KEY other = Kind("pipes");
    view->GetSelection()->Select(other, nullptr, 0, 0);
    Run(kCmdHideSelectedParts);
    EXPECT_FALSE(HiddenPart(other));

    // An element of the plot (an "Element" object segment) is hidden through any of its
    // items, and Show All brings it back.
    const HC_KEY element = Kind("pipes/10-20");
    HC_Open_Segment_By_Key(element);
    const HC_KEY pipe = mvotest::InsertBox({8, 8, 0}, {9, 9, 0.5f});
    HC_Close_Segment();
    HObjectManager::SetHObjectSegment(element, CHoopsViewEx::kElementObjectKind);
    view->GetSelection()->Select(pipe, nullptr, 0, 0);
    Run(kCmdHideSelectedParts);
    EXPECT_TRUE(HiddenPart(element));
    EXPECT_FALSE(HiddenPart(part2));
    Run(kCmdShowAllParts);
    EXPECT_FALSE(HiddenPart(element));
    EXPECT_EQ(OwnVisibility(element), "");
}

TEST_F(PlantPartsTest, HideCurrentHidesThePartUnderTheRightClick)
{
    // The pixel over part 1's top face.
    const HPoint at = view->WorldToWindow(HPoint(0, 0, 0.5f));
    window->OnRButtonDown(MK_RBUTTON, {static_cast<int>((at.x + 1) * 150), static_cast<int>((1 - at.y) * 150)});
    EXPECT_EQ(window->GetPlantPartHidden(), 0u);
    Run(kCmdHideCurrentPart);
    EXPECT_TRUE(HiddenPart(part1));
    EXPECT_FALSE(HiddenPart(part2));
    EXPECT_EQ(window->GetPlantPartHidden(), 1u);
}

TEST_F(PlantPartsTest, ShowAllShowsEveryHiddenPartThroughIncludesEvenInACycle)
{
    const HC_KEY library = Kind("Drafton library/valve");
    HC_Open_Segment_By_Key(part2);
    HC_Include_Segment("/include library/halden/Drafton library");
    HC_Close_Segment();
    HC_Open_Segment_By_Key(library);
    HC_Include_Segment("/include library/halden/Drafton");  // back to the plant: a cycle
    HC_Close_Segment();
    for (HC_KEY segment : {part1, library}) {
        HC_Open_Segment_By_Key(segment);
        HC_Set_User_Options("Drafton Hidden Part = on");
        HC_Set_Visibility("everything = off");
        HC_Close_Segment();
    }
    // A visibility of the host's own (no hidden-part mark) stays.
    HC_Open_Segment_By_Key(part2);
    HC_Set_Visibility("edges = off");
    HC_Close_Segment();

    Run(kCmdShowAllParts);
    for (HC_KEY segment : {part1, library}) {
        EXPECT_EQ(OwnVisibility(segment), "");
        EXPECT_EQ(HC_Show_Existence_By_Key(segment, "user options"), 0);
    }
    EXPECT_EQ(OwnVisibility(part2), "edges=off");
    EXPECT_EQ(window->GetPlantPartHidden(), 1u);
}

TEST_F(ViewWindowTest, CuttingPlanesAreInsertedDeletedAndSectioned)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    mvotest::InsertBox({-1, -1, -1}, {1, 1, 1});
    HC_Close_Segment();
    const HC_KEY planes = view->GetCuttingPlanesKey();
    Run(kCmdInsertCuttingPlane);
    EXPECT_EQ(OperatorName(), "HOpMoveHandle");
    EXPECT_GT(HC_Show_Existence_By_Key(planes, "segments"), 0);
    HC_Open_Segment_By_Key(planes);
    EXPECT_TRUE(HUtility::SegmentExists("handles"));
    HC_Close_Segment();
    EXPECT_TRUE(window->GetCuttingPlanesExist());

    Run(kCmdDeleteCuttingPlane);
    EXPECT_EQ(HC_Show_Existence_By_Key(planes, "segments"), 0);
    EXPECT_EQ(HC_Show_Existence_By_Key(view->GetCuttingPlaneGeomKey(), "segments, geometry"), 0);
    EXPECT_FALSE(window->GetCuttingPlanesExist());

    Run(kCmdCuttingPlaneX);
    HC_Open_Segment_By_Key(planes);
    EXPECT_TRUE(HUtility::SegmentExists("threesection"));
    HC_Close_Segment();
    Run(kCmdCuttingPlaneX);
    HC_Open_Segment_By_Key(planes);
    EXPECT_FALSE(HUtility::SegmentExists("threesection"));
    HC_Close_Segment();
}

TEST_F(ViewWindowTest, ViewCompassCyclesTheAxisMode)
{
    const AxisMode expected[] = {AxisOn, AxisCenter, AxisOnAndCenter, AxisOff, AxisOn};
    for (AxisMode mode : expected) {
        Run(kCmdViewCompass);
        EXPECT_EQ(view->GetAxisMode(), mode);
    }
}

TEST_F(ViewWindowTest, InitialSymbolVisibilityAsksForSupportsWhenRestraintsShow)
{
    window->SetInitialSymbolVisibility();
    EXPECT_EQ(port.postedCommands, std::deque<unsigned int>{kCmdShowSupports});

    const std::filesystem::path file =
        std::filesystem::path(testing::TempDir()) / "viewwindow-plot.xml";
    std::filesystem::remove(file);
    config.SetConfigFile(file.wstring().c_str());
    config.SetRestraintDisplay(false);
    port.postedCommands.clear();
    window->SetInitialSymbolVisibility();
    EXPECT_TRUE(port.postedCommands.empty());
    std::filesystem::remove(file);
}
