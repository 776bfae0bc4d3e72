// The note operators driven by synthetic events: placing, moving, retyping and deleting
// notes, floating notes, typed notes and measurements.
#include "annotation/HKetraUtilityAnnotationMeasure.h"
#include "annotation/NoteFixture.h"
#include "operators/HOpKetraMarkupFloatingText.h"
#include "operators/HOpKetraMarkupText.h"
#include "operators/HOpKetraMeasure.h"
#include "operators/HOpMarkupAnnotateEx.h"
#include "operators/MarkupTools.h"
#include "platform/io/HIOUtilityHsf.h"
#include "platform/mvo/HMarkupManager.h"
#include "platform/render/SceneWalker.h"
#include "view/window/ViewOutput.h"

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace notetest;
using namespace ketra::operators;

namespace {

// The note segments of the current markup layer.
std::vector<long> LayerNotes(HBaseView* view)
{
    std::vector<long> notes;
    const long layer = view->GetMarkupManager()->GetCurrentLayerKey();
    if (layer == -1)
        return notes;
    HC_Open_Segment_By_Key(layer);
    HC_Begin_Contents_Search(".", "segments");
    char type[64];
    long key;
    while (HC_Find_Contents(type, &key))
        if (HKetraUtilityAnnotation::IsAnnotation(key))
            notes.push_back(key);
    HC_End_Contents_Search();
    HC_Close_Segment();
    return notes;
}

class MarkupTextTest : public NoteTest {
protected:
    HOpKetraMarkupText* Install(MarkupTool tool = MarkupTool::Annotate)
    {
        InstallMarkupOperator(window.get(), tool);
        return dynamic_cast<HOpKetraMarkupText*>(view->GetOperator());
    }
    // Presses on the box (window centre), drags and releases at (x, y).
    void PlaceNote(float x, float y)
    {
        Mouse(HE_LButtonDown, 0.0f, 0.0f, MVO_LBUTTON);
        Mouse(HE_MouseMove, x / 2, y / 2, MVO_LBUTTON);
        Mouse(HE_MouseMove, x, y, MVO_LBUTTON);
        Mouse(HE_LButtonUp, x, y, 0);
    }
};

} // namespace

TEST_F(MarkupTextTest, PressDragReleaseMakesANoteWithALeader)
{
    HOpKetraMarkupText* op = Install();
    ASSERT_NE(op, nullptr);
    EXPECT_STREQ(op->GetName(), "HOpKetraMarkupAnnotate");
    EXPECT_TRUE(view->GetAnnotationResize());
    port.noteDialogText = "Check the shoe";
    Mouse(HE_LButtonDown, 0.0f, 0.0f, MVO_LBUTTON);
    EXPECT_TRUE(op->OperatorStarted());
    const long preview = op->GetPreviewSegment();
    ASSERT_NE(preview, -1);
    Mouse(HE_MouseMove, 0.4f, 0.4f, MVO_LBUTTON);
    EXPECT_EQ(HC_Show_Existence_By_Key(preview, "lines"), 1); // the rubber-band leader
    Mouse(HE_LButtonUp, 0.4f, 0.4f, 0);
    EXPECT_EQ(HC_Show_Existence_By_Key(preview, "self"), 0); // nothing left in the model

    const auto notes = LayerNotes(view);
    ASSERT_EQ(notes.size(), 1u);
    HKetraUtilityAnnotation note;
    note.SetNote(notes[0], view);
    EXPECT_EQ(Utf16ToUtf8(note.GetText16()), "Check the shoe");
    HPoint target, position;
    note.ShowTarget(target);
    note.ShowPosition(position);
    EXPECT_NEAR(target.y, -1.0f, 1e-3f); // on the box's front face
    const HPoint released = view->WindowToWorld(HPoint(0.4f, 0.4f, 0));
    EXPECT_NEAR(position.x, released.x, 1e-3f);
    EXPECT_NEAR(position.z, released.z, 1e-3f);
    EXPECT_EQ(note.GetBackgroundType(), 2); // "Annotation Background Type"
    EXPECT_FLOAT_EQ(note.GetLineWeight(), 2.0f);
    std::unique_ptr<char[]> font(note.GetTextFont()), size(note.GetTextSize());
    EXPECT_STREQ(font.get(), "Arial");
    EXPECT_EQ(Compact(size.get()), "8.0pts");
    const std::vector<std::string> hooks{"restore false", "insert HOpKetraMarkupAnnotate",
                                         "restore true"};
    EXPECT_EQ(window->hooks, hooks);
    EXPECT_EQ(window->insertedKey, notes[0]);
    EXPECT_FALSE(op->GetCreateNewNotes());
}

// The texts of the notes below `root`, re-attached as a host does, in order.
std::vector<std::string> NoteTextsBelow(const std::string& root, HBaseView* view)
{
    std::vector<std::string> texts;
    HC_Open_Segment(root.c_str());
    HC_Begin_Contents_Search("...", "segments");
    char type[64];
    long key;
    while (HC_Find_Contents(type, &key))
        if (HKetraUtilityAnnotation::IsNote(key) && HKetraUtilityAnnotation::GetKey(key) == key) {
            HKetraUtilityAnnotation note;
            note.SetNote(key, view);
            texts.push_back(Utf16ToUtf8(note.GetText16()));
        }
    HC_End_Contents_Search();
    HC_Close_Segment();
    std::sort(texts.begin(), texts.end());
    return texts;
}

TEST_F(MarkupTextTest, NotesSurviveSaveAsAndReopeningInEveryScenePath)
{
    Install();
    port.noteDialogText = "Check the shoe";
    PlaceNote(0.4f, 0.4f);
    Install(MarkupTool::FloatingText);
    port.noteDialogText = "Floating";
    Mouse(HE_LButtonDown, 0.8f, -0.8f, MVO_LBUTTON);
    Mouse(HE_LButtonUp, 0.8f, -0.8f, 0);
    ASSERT_EQ(LayerNotes(view).size(), 2u);
    const std::vector<std::string> expected{"Check the shoe", "Floating"};

    const auto dir = std::filesystem::temp_directory_path() / ("ketra-saved-notes-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // Save As of each scene format, and of a page (which writes its scene files beside it).
    for (const char* name : {"plant.hsf", "plant.hmf", "page.html"}) {
        port.fileDialogAnswer.ok = true;
        port.fileDialogAnswer.path = (dir / name).string();
        ketra::view::FileSaveAs(*window, "plant.json");
        EXPECT_TRUE(port.messages.empty()) << name << ": " << port.messages.front();
    }
    for (const char* name : {"plant.hsf", "plant.hmf", "page.hsf", "page.hmf"}) {
        const std::string path = (dir / name).string();
        // The view keeps its notes where they were.
        EXPECT_EQ(LayerNotes(view).size(), 2u) << name;
        const std::string reopened = "/reopened/" + std::filesystem::path(name).stem().string() +
                                     std::filesystem::path(name).extension().string().substr(1);
        std::string error;
        ASSERT_TRUE(ketra::io::ReadSceneFile(path, reopened, &error)) << error;
        EXPECT_EQ(NoteTextsBelow(reopened, view), expected) << name;
        // ... and they show: their texts are drawn.
        ketra::render::WalkSettings settings;
        ketra::render::MeshCache cache;
        ketra::render::DrawList list;
        ASSERT_TRUE(ketra::render::BuildDrawList(HC_Create_Segment(reopened.c_str()), settings, cache, list));
        EXPECT_EQ(list.Main().texts.size(), 2u) << name;
        HC_Delete_Segment(reopened.c_str());
    }
    std::filesystem::remove_all(dir);
}

TEST_F(MarkupTextTest, TheNoteDialogOpensWithTheMouseReleased)
{
    // Through the window, which captures the mouse on a press as in the real one.
    Install(MarkupTool::FloatingText);
    port.noteDialogText = "Floating";
    window->OnLButtonDown(MK_LBUTTON, CPoint(380, 20));
    window->OnLButtonUp(0, CPoint(380, 20));
    ASSERT_EQ(LayerNotes(view).size(), 1u);
    const auto dialog = std::find_if(port.calls.begin(), port.calls.end(),
                                     [](const std::string& call) { return call.rfind("NoteTextDialog", 0) == 0; });
    ASSERT_NE(dialog, port.calls.end());
    const auto capture = std::find(std::make_reverse_iterator(dialog), port.calls.rend(), "SetCapture");
    ASSERT_NE(capture, port.calls.rend());
    EXPECT_NE(std::find(capture.base(), dialog, "ReleaseCapture"), dialog)
        << "the dialog was shown while the view held the mouse";
}

TEST_F(MarkupTextTest, ACancelledTextMakesNoNote)
{
    Install();
    port.noteDialogOk = false;
    PlaceNote(0.4f, 0.4f);
    EXPECT_TRUE(LayerNotes(view).empty());
    EXPECT_TRUE(window->hooks.empty());
}

TEST_F(MarkupTextTest, ANoteIsMovedInTheScreenPlaneAndRetyped)
{
    HOpKetraMarkupText* op = Install();
    port.noteDialogText = "move me";
    PlaceNote(0.5f, 0.5f);
    const long key = LayerNotes(view).at(0);
    HKetraUtilityAnnotation note;
    note.SetNote(key, view);
    HPoint before;
    note.ShowPosition(before);
    const HPoint at = ToWindow(before);
    Mouse(HE_LButtonDown, at.x, at.y, MVO_LBUTTON);
    EXPECT_TRUE(op->GetEditingExistingNote());
    Mouse(HE_MouseMove, at.x - 0.2f, at.y, MVO_LBUTTON);
    Mouse(HE_LButtonUp, at.x - 0.2f, at.y, 0);
    note.SetNote(key, view);
    HPoint after;
    note.ShowPosition(after);
    EXPECT_NEAR(after.y, before.y, 1e-3f); // the screen plane of the front view
    EXPECT_LT(after.x, before.x - 0.1f);
    HC_Open_Segment_By_Key(key);
    EXPECT_EQ(HC_Show_Existence("heuristics = quick moves"), 0);
    EXPECT_EQ(HC_Show_Existence("rendering options = depth range"), 0);
    HC_Close_Segment();

    const HPoint now = ToWindow(after);
    port.noteDialogText = "retyped";
    Mouse(HE_LButtonDblClk, now.x, now.y, MVO_LBUTTON);
    note.SetNote(key, view);
    EXPECT_EQ(Utf16ToUtf8(note.GetText16()), "retyped");
    EXPECT_EQ(window->hooks.back(), "update");
    EXPECT_EQ(window->updatedKey, key);
}

TEST_F(MarkupTextTest, ANoteWhoseTextWasEmptiedIsDeletedOnTheNextPress)
{
    HOpKetraMarkupText* op = Install();
    port.noteDialogText = "soon empty";
    PlaceNote(0.5f, 0.5f);
    const long key = LayerNotes(view).at(0);
    HPoint position;
    HKetraUtilityAnnotation note;
    note.SetNote(key, view);
    note.ShowPosition(position);
    const HPoint at = ToWindow(position);
    Mouse(HE_LButtonDown, at.x, at.y, MVO_LBUTTON);
    ASSERT_TRUE(op->GetEditingExistingNote());
    op->GetAnnotation().SetText("");
    Mouse(HE_LButtonDown, -0.9f, -0.9f, MVO_LBUTTON);
    EXPECT_EQ(HC_Show_Existence_By_Key(key, "self"), 0);
}

TEST_F(MarkupTextTest, AFloatingNoteNeedsEmptySpace)
{
    Install(MarkupTool::FloatingText);
    EXPECT_STREQ(view->GetOperator()->GetName(), "HOpKetraMarkupFloatingText");
    port.noteDialogText = "floating";
    // Onto the model: no note.
    Mouse(HE_LButtonDown, 0.0f, 0.0f, MVO_LBUTTON);
    Mouse(HE_LButtonUp, 0.0f, 0.0f, 0);
    EXPECT_TRUE(LayerNotes(view).empty());
    // Onto empty space: a note without a leader, its target its position.
    Mouse(HE_LButtonDown, 0.8f, -0.8f, MVO_LBUTTON);
    Mouse(HE_LButtonUp, 0.8f, -0.8f, 0);
    const auto notes = LayerNotes(view);
    ASSERT_EQ(notes.size(), 1u);
    HKetraUtilityAnnotation note;
    note.SetNote(notes[0], view);
    HPoint target, position;
    note.ShowTarget(target);
    note.ShowPosition(position);
    EXPECT_EQ(target, position);
    char value[64] = "";
    HC_Open_Segment_By_Key(notes[0]);
    HC_Open_Segment("conditions/xarrow");
    HC_Show_One_Visibility("lines", value);
    HC_Close_Segment();
    HC_Close_Segment();
    EXPECT_STREQ(value, "off");
    EXPECT_EQ(window->hooks.at(1), "insert HOpKetraMarkupFloatingText");
}

namespace {
class PostIt : public HOpMarkupAnnotateEx {
public:
    using HOpMarkupAnnotateEx::HOpMarkupAnnotateEx;
    const char* GetName() override { return "HOpMarkupPostIt"; }
};
} // namespace

TEST_F(MarkupTextTest, TypedNotesTakeKeysAndAPostItTransmitsOnEnter)
{
    auto* op = new PostIt(view, false, 0, 1);
    window->LocalSetOperator(op);
    Mouse(HE_LButtonDown, 0.0f, 0.0f, MVO_LBUTTON);
    Mouse(HE_MouseMove, 0.3f, 0.3f, MVO_LBUTTON);
    EXPECT_EQ(Mouse(HE_LButtonUp, 0.3f, 0.3f, 0), HOP_READY);
    ASSERT_NE(op->GetNoteKey(), -1);
    EXPECT_EQ(Key(8), HOP_OK); // Backspace on an empty text does nothing
    EXPECT_TRUE(op->GetTypedText().empty());
    Key('A');
    Key('B');
    Key(8);
    Key('C');
    EXPECT_EQ(op->GetTypedText(), u"AC");
    EXPECT_EQ(op->GetNoteText(), "AC");
    // Keys that type nothing add nothing (a Shift once drew a box); a window that knows the
    // typed character gives it as typed, whatever the key code.
    Key(0x10);
    Key(0x25);
    window->OnKeyDownTyped(0x10, 1, 0, 0);
    window->OnKeyDownTyped('B', 1, 0, U'b');
    window->OnKeyDownTyped('E', 1, 0, U'\u00e9');
    window->OnKeyDownTyped('1', 1, 0, U'!');
    EXPECT_EQ(op->GetTypedText(), u"ACb\u00e9!");
    EXPECT_EQ(op->GetNoteText(), "ACb\u00e9!");
    const unsigned int before = view->GetMarkupManager()->GetNotificationCount();
    EXPECT_EQ(Key(13), HOP_OK);
    EXPECT_EQ(view->GetMarkupManager()->GetNotificationCount(), before + 1);
    EXPECT_TRUE(op->GetTypedText().empty());
}

TEST_F(MarkupTextTest, TheMeasureToolMeasuresBetweenTwoPickedPoints)
{
    ASSERT_TRUE(InstallMarkupOperator(window.get(), MarkupTool::Measure));
    auto* op = dynamic_cast<HOpKetraMeasure*>(view->GetOperator());
    ASSERT_NE(op, nullptr);
    op->SetUnitSuffix("in");
    const HPoint a = ToWindow(HPoint(-0.5f, -1, 0)), b = ToWindow(HPoint(0.5f, -1, 0));
    Mouse(HE_LButtonDown, a.x, a.y, MVO_LBUTTON);
    Mouse(HE_LButtonUp, a.x, a.y, 0);
    EXPECT_EQ(op->GetStage(), 1);
    Mouse(HE_LButtonDown, b.x, b.y, MVO_LBUTTON);
    Mouse(HE_LButtonUp, b.x, b.y, 0);
    EXPECT_EQ(op->GetStage(), 2);
    const long key = op->GetNoteKey();
    ASSERT_TRUE(HKetraUtilityAnnotationMeasure::IsMeasurement(key));
    Mouse(HE_MouseMove, 0.0f, 0.7f, 0);
    Mouse(HE_LButtonDown, 0.0f, 0.7f, MVO_LBUTTON);
    EXPECT_EQ(op->GetStage(), 0);
    HKetraUtilityAnnotationMeasure measure;
    measure.SetNote(key, view);
    EXPECT_EQ(Utf16ToUtf8(measure.GetText16()), "1.00 in");
    EXPECT_NEAR(measure.GetFirstPoint().x, -0.5f, 1e-3f);
    EXPECT_NEAR(measure.GetSecondPoint().x, 0.5f, 1e-3f);
    EXPECT_GT(measure.GetFirstEnd().z, 0.5f); // the dimension line lifted towards the text
    EXPECT_EQ(window->insertedKey, key);
    EXPECT_EQ(op->FormatDistance(12.345), "12.35 in");
}
