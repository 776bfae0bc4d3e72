// The view window's context menu: what it holds by position, its radio checks, the plot
// configuration's rules, the plant-part items, and the note items for a note under the cursor.
#include "ViewWindowFixture.h"
#include "platform/mvo/ViewFixture.h"

#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HOpCameraWalk.h"
#include "platform/mvo/HOpMarkup.h"
#include "platform/window/ResourceModule.h"
#include "view/HBaseViewEx.h"

using namespace ketra::view;
using viewtest::RecordingOperator;
using viewtest::ViewWindowTest;

namespace {

class ContextMenuTest : public ViewWindowTest {
protected:
    // Right-clicks at `point` and returns the menu the port was asked to show.
    const CMenu& RightClick(CPoint point = {100, 120})
    {
        port.lastMenu.DestroyMenu();
        window->OnRButtonDown(MK_RBUTTON, point);
        return port.lastMenu;
    }
    std::vector<std::string> Texts(const CMenu& menu)
    {
        std::vector<std::string> texts;
        for (int i = 0; i < menu.GetMenuItemCount(); ++i) {
            const std::string text = menu.GetMenuString(static_cast<unsigned int>(i), MF_BYPOSITION);
            texts.push_back(text.empty() && menu.GetMenuState(i, MF_BYPOSITION) & MF_SEPARATOR ? "-" : text);
        }
        return texts;
    }
    // Position of the radio-checked entry of popup `index`, -1 when none is checked.
    static int Checked(const CMenu& menu, int index)
    {
        const CMenu* popup = menu.GetSubMenu(index);
        int found = -1;
        for (int i = 0; popup && i < popup->GetMenuItemCount(); ++i)
            if (popup->GetMenuState(i, MF_BYPOSITION) & MF_CHECKED)
                found = found == -1 ? i : -2;  // -2: more than one
        return found;
    }
    static bool IsChecked(const CMenu& menu, unsigned int id)
    {
        return (menu.GetMenuState(id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }
    static bool IsGrayed(const CMenu& menu, unsigned int id)
    {
        return (menu.GetMenuState(id, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
};

class RefusingWindow : public CHoopsViewEx {
public:
    using CHoopsViewEx::CHoopsViewEx;
    int UpdatePopupMenu(CMenu* menu) override
    {
        seen = menu->GetMenuItemCount();
        return 0;
    }
    int seen = -1;
};

} // namespace

TEST_F(ContextMenuTest, HoldsTheDocumentedItemsByPosition)
{
    const CMenu& menu = RightClick();
    EXPECT_EQ(Texts(menu), (std::vector<std::string>{"Operators", "Views", "Projections", "-",
                                                     "&Highlights", "-", "Properties", "-",
                                                     "Animate", "-", "Visibility", "Plant Parts"}));
    EXPECT_EQ(menu.GetMenuItemID(8), kCmdCollaborate);
    EXPECT_EQ(menu.GetSubMenu(0)->GetMenuItemCount(), 7);
    EXPECT_EQ(menu.GetSubMenu(1)->GetMenuItemCount(), 8);
    EXPECT_EQ(menu.GetSubMenu(2)->GetMenuItemCount(), 3);
    const unsigned int operators[] = {40001, 42809, 42795, 42797, 40003, 42796, 42793};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(menu.GetSubMenu(0)->GetMenuItemID(i), operators[i]);
    const unsigned int views[] = {42835, 43022, 43023, 42838, 43024, 42837, 40002};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(menu.GetSubMenu(1)->GetMenuItemID(i), views[i]);
    // The scene-part popups went with the first four.
    EXPECT_EQ(menu.GetMenuState(kCmdEdges, MF_BYCOMMAND), 0xFFFFFFFFu);
    // No plant model: its items are greyed.
    for (unsigned int id : {kCmdHideSelectedParts, kCmdHideCurrentPart, kCmdShowAllParts})
        EXPECT_TRUE(IsGrayed(menu, id)) << id;
    view->SetDraftonModelLoadedFlag(1);
    const CMenu& withPlant = RightClick();
    for (unsigned int id : {kCmdHideSelectedParts, kCmdHideCurrentPart, kCmdShowAllParts})
        EXPECT_FALSE(IsGrayed(withPlant, id)) << id;
}

TEST_F(ContextMenuTest, IsShownAtTheClickPointAndRunsTheChoice)
{
    port.screenOffset = {1000, 500};
    port.popupChoice = kCmdPerspective;
    RightClick({37, 81});
    EXPECT_EQ(port.lastMenuPoint, (CPoint{1037, 581}));
    EXPECT_EQ(port.lastMenuFlags, 0x2800u);
    viewtest::ExpectNear(window->GetRightClickPoint(), HPoint(37, 81, 0));
    EXPECT_EQ(view->GetProjMode(), ProjPerspective);
}

TEST_F(ContextMenuTest, TheOperatorGetsThePressAndTheWalkGetsNoMenu)
{
    std::vector<int> received;
    window->LocalSetOperator(new RecordingOperator(view.get(), "Recorder", &received));
    RightClick();
    EXPECT_EQ(received, std::vector<int>{HE_RButtonDown});
    EXPECT_TRUE(port.captured);
    EXPECT_TRUE(port.Called("TrackPopupMenu"));

    port.calls.clear();
    Run(kCmdWalk);
    RightClick();
    EXPECT_FALSE(port.Called("TrackPopupMenu"));
}

TEST_F(ContextMenuTest, RadioChecksTheOperatorViewAndProjection)
{
    const std::pair<unsigned int, int> operators[] = {
        {42809, 1}, {42795, 2}, {42797, 3}, {42796, 5}, {42793, 6}, {42775, -1}, {43051, -1}};
    for (const auto& [command, position] : operators) {
        Run(command);
        EXPECT_EQ(Checked(RightClick(), 0), position) << command;
    }
    window->LocalSetOperator(new HOpMarkupAnnotate(view.get(), 0, 1));
    EXPECT_EQ(Checked(RightClick(), 0), 0);
    const CMenu& radio = RightClick();
    EXPECT_TRUE(radio.Items()[0].popup->Items()[0].radio);

    const std::pair<int, int> views[] = {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4},
                                         {6, 5}, {7, 6}, {17, -1}, {0, -1}};
    for (const auto& [mode, position] : views) {
        view->SetViewModeValue(static_cast<ViewMode>(mode));
        EXPECT_EQ(Checked(RightClick(), 1), position) << mode;
    }
    // The view commands' own numbers mark the same entries.
    const std::pair<unsigned int, int> commands[] = {{42835, 0}, {43022, 1}, {43023, 2}, {42838, 3},
                                                     {43024, 4}, {42837, 5}, {40002, 6}, {40103, 7}};
    for (const auto& [command, position] : commands) {
        Run(command);
        EXPECT_EQ(Checked(RightClick(), 1), position) << command;
    }

    const std::pair<HProjMode, int> projections[] = {
        {ProjOrthographic, 0}, {ProjPerspective, 1}, {ProjStretched, 2}};
    for (const auto& [mode, position] : projections) {
        view->SetProjMode(mode);
        EXPECT_EQ(Checked(RightClick(), 2), position) << mode;
    }
}

TEST_F(ContextMenuTest, ElementKindsAreCheckedByTheirSegments)
{
    Kind("pipes");
    HC_Open_Segment("/include library/halden/bends");
    HC_Set_Visibility("faces=off");  // any visibility of its own hides the check
    HC_Close_Segment();
    const CMenu& menu = RightClick();
    EXPECT_TRUE(IsChecked(menu, kCmdShowPipes));
    EXPECT_FALSE(IsChecked(menu, kCmdShowBends));
    EXPECT_TRUE(IsChecked(menu, kCmdShowExpansionJoints));
    EXPECT_TRUE(IsChecked(menu, kCmdShowAllKinds));
    Run(kCmdShowAllKinds);
    const CMenu& hidden = RightClick();
    for (unsigned int id = kCmdShowPipes; id <= kCmdShowExpansionJoints; ++id)
        EXPECT_FALSE(IsChecked(hidden, id)) << id;
    EXPECT_FALSE(IsChecked(hidden, kCmdShowAllKinds));
}

TEST_F(ContextMenuTest, DynamicPlotHasNeitherHighlightsNorElementKinds)
{
    config.SetConfigType(HOpConfig::ConfigDynplot);
    const CMenu& menu = RightClick();
    for (const std::string& text : Texts(menu)) {
        EXPECT_NE(text, "&Highlights");
        EXPECT_NE(text, "Visibility");
    }
    EXPECT_EQ(Texts(menu), (std::vector<std::string>{"Operators", "Views", "Projections", "-",
                                                     "Properties", "-", "Animate", "-"}));
    EXPECT_EQ(menu.GetMenuState(kCmdShowPipes, MF_BYCOMMAND), 0xFFFFFFFFu);
}

TEST_F(ContextMenuTest, HdsPlotKeepsAnchorsStructuresAndRestraintsOnly)
{
    config.SetConfigType(HOpConfig::ConfigHDS);
    HC_Open_Segment("/include library/halden/anchors");
    HC_Set_Visibility("everything=off");
    HC_Close_Segment();
    const CMenu& menu = RightClick();
    for (unsigned int id : {kCmdShowPipes, kCmdShowBends, kCmdShowHangers, kCmdShowRigids,
                            kCmdShowExpansionJoints, kCmdShowAllKinds})
        EXPECT_EQ(menu.GetMenuState(id, MF_BYCOMMAND), 0xFFFFFFFFu) << id;
    for (const std::string& text : Texts(menu))
        EXPECT_NE(text, "&Highlights");
    EXPECT_FALSE(IsChecked(menu, kCmdShowAnchors));
    EXPECT_TRUE(IsChecked(menu, kCmdShowStructures));
    EXPECT_TRUE(IsChecked(menu, kCmdShowRestraints));
    EXPECT_EQ(Texts(menu)[4], "Properties");
}

TEST_F(ContextMenuTest, NotHiddenWhenTheHostDeclinesOrTheMenuIsMissing)
{
    RefusingWindow refusing(&port);
    refusing.SetHoopsViewEx(view.get(), false);
    refusing.OnRButtonDown(MK_RBUTTON, {10, 10});
    EXPECT_EQ(refusing.seen, 12);
    EXPECT_FALSE(port.Called("TrackPopupMenu"));

    // A module without menu 203: no menu, the press goes the base way.
    const ketra::window::ResourceModule saved =
        *ketra::window::LoadResourceModule(kComponentResourceModule);
    ketra::window::ResourceModule empty;
    empty.name = kComponentResourceModule;
    ketra::window::RegisterResourceModule(empty);
    std::vector<int> received;
    window->LocalSetOperator(new RecordingOperator(view.get(), "Recorder", &received));
    window->OnRButtonDown(MK_RBUTTON, {10, 10});
    ketra::window::RegisterResourceModule(saved);
    EXPECT_FALSE(port.Called("TrackPopupMenu"));
    EXPECT_EQ(received, std::vector<int>{HE_RButtonDown});
    // The previous resource handle is back.
    EXPECT_EQ(ketra::window::GetResourceHandle(), nullptr);
}

TEST_F(ContextMenuTest, NoteUnderTheCursorAddsDeleteAndEdit)
{
    HC_Open_Segment_By_Key(model->GetModelKey());
    HC_Open_Segment("note");
    const HC_KEY note = HC_KShow_Open_Segment();
    mvotest::InsertBox({-1, -1, 0}, {1, 1, 0.1f});
    HC_Insert_Text(0, 0, 0.2f, "old text");
    HC_Close_Segment();
    HC_Close_Segment();
    HObjectManager::SetHObjectSegment(note, "Annotation");
    view->SetViewMode(HViewTop, false, true);

    const CMenu& off = RightClick({2, 2});  // the corner: no note there
    EXPECT_EQ(off.GetMenuState(kCmdDeleteNote, MF_BYCOMMAND), 0xFFFFFFFFu);
    EXPECT_EQ(window->GetNoteKey(), -1);

    const CMenu& menu = RightClick({150, 150});
    const std::vector<std::string> texts = Texts(menu);
    ASSERT_EQ(texts.size(), 15u);
    EXPECT_EQ(texts[12], "-");
    EXPECT_EQ(menu.GetMenuItemID(13), kCmdDeleteNote);
    EXPECT_EQ(texts[13], "Delete Note");
    EXPECT_EQ(menu.GetMenuItemID(14), kCmdEditNote);
    EXPECT_EQ(texts[14], "Edit Note");
    EXPECT_NE(window->GetNoteKey(), -1);

    port.noteDialogText = "new text";
    EXPECT_TRUE(Run(kCmdEditNote));
    HC_KEY textKey = -1;
    HC_Open_Segment_By_Key(note);
    HC_Begin_Contents_Search(".", "text");
    char type[64];
    HC_Find_Contents(type, &textKey);
    HC_End_Contents_Search();
    HC_Close_Segment();
    char text[64] = "";
    float x, y, z;
    HC_Show_Text(textKey, &x, &y, &z, text);
    EXPECT_STREQ(text, "new text");

    struct Deleted : HObjectManipulationListener {
        int ObjectDeletedEvent(HBaseView*, HC_KEY key) override { keys.push_back(key); return 0; }
        std::vector<HC_KEY> keys;
    } listener;
    view->GetEventManager()->RegisterHandler(&listener);
    EXPECT_TRUE(Run(kCmdDeleteNote));
    view->GetEventManager()->UnRegisterHandler(&listener);
    EXPECT_EQ(listener.keys, std::vector<HC_KEY>{note});
    EXPECT_EQ(HC_Show_Existence_By_Key(note, "self"), 0);
    EXPECT_EQ(window->GetNoteKey(), -1);
}
