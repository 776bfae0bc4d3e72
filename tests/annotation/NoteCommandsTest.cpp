#include "annotation/NoteCommands.h"

#include "NoteFixture.h"
#include "platform/mvo/HEventManager.h"

using namespace notetest;
using namespace ketra::annotation;

namespace {

class DeletionListener : public HObjectManipulationListener {
public:
    int ObjectDeletedEvent(HBaseView*, HC_KEY key) override
    {
        deleted = key;
        return 0;
    }
    long deleted = -1;
};

class NoteCommandsTest : public NoteTest {
protected:
    long InsertNote(const char* text, HPoint position = HPoint(0, -2, 0))
    {
        HKetraUtilityAnnotation note;
        return note.Insert(text, HPoint(0, -1, 0), position, model->GetModelKey(), view, -1, 1, true);
    }
};

} // namespace

TEST_F(NoteCommandsTest, TheNoteUnderTheCursorIsFound)
{
    const long key = InsertNote("find me", HPoint(0, -2, 0.5f));
    const HPoint at = ToWindow(HPoint(0, -2, 0.5f));
    EXPECT_EQ(FindNoteAt(view, at.x, at.y), key);
    // A few pixels right of the anchor, still over the note's text and box.
    EXPECT_EQ(FindNoteAt(view, at.x + 10.0f / 200.0f, at.y), key);
    // The box of the model: no note.
    EXPECT_EQ(FindNoteAt(view, 0.0f, -0.9f), -1);
    EXPECT_EQ(NoteSegmentOf(box), -1);
}

TEST_F(NoteCommandsTest, NotesAndItemsUnderLongNamesAreLookedUp)
{
    for (const size_t length : {6000u, 100000u}) {
        HC_Open_Segment_By_Key(model->GetModelKey());
        const long holder = HC_Open_Segment(std::string(length, 'n').c_str());
        const long line = HC_Insert_Line(5, 5, 5, 6, 6, 6);
        HC_Close_Segment();
        HC_Close_Segment();
        HKetraUtilityAnnotation note;
        const long key =
            note.Insert("deep", HPoint(0, -1, 0), HPoint(0, -2, 0.5f), holder, view, -1, 1, true);
        const HPoint at = ToWindow(HPoint(0, -2, 0.5f));
        EXPECT_EQ(FindNoteAt(view, at.x, at.y), key);
        EXPECT_EQ(NoteSegmentOf(line), -1);
        HC_Delete_By_Key(holder);
    }
}

TEST_F(NoteCommandsTest, DeleteNoteRemovesItAndTellsTheListeners)
{
    const long key = InsertNote("delete me");
    DeletionListener listener;
    view->GetEventManager()->RegisterHandler(&listener);
    EXPECT_FALSE(DeleteNote(view, box)); // the model is no note
    EXPECT_EQ(HC_Show_Existence_By_Key(box, "self"), 1);
    EXPECT_TRUE(DeleteNote(view, HKetraUtilityAnnotation().GetKey() == -1 ? key : key));
    EXPECT_EQ(listener.deleted, key);
    EXPECT_EQ(HC_Show_Existence_By_Key(key, "self"), 0);
    EXPECT_FALSE(DeleteNote(view, key)); // gone: nothing to do, no crash
    view->GetEventManager()->UnRegisterHandler(&listener);
}

TEST_F(NoteCommandsTest, EditNoteRetypesThroughTheDialog)
{
    const long key = InsertNote("before");
    port.noteDialogOk = true;
    port.noteDialogText = "after";
    EXPECT_TRUE(EditNote(window.get(), key));
    HKetraUtilityAnnotation note;
    note.SetNote(key, view);
    EXPECT_EQ(Utf16ToUtf8(note.GetText16()), "after");
    ASSERT_FALSE(window->hooks.empty());
    EXPECT_EQ(window->hooks.back(), "update");
    EXPECT_EQ(window->updatedKey, key);
    bool asked = false;
    for (const std::string& call : port.calls)
        asked = asked || call.find("NoteTextDialog") != std::string::npos;
    EXPECT_TRUE(asked);

    port.noteDialogOk = false;
    port.noteDialogText = "ignored";
    EXPECT_FALSE(EditNote(window.get(), key));
    note.SetNote(key, view);
    EXPECT_EQ(Utf16ToUtf8(note.GetText16()), "after");
    EXPECT_FALSE(EditNote(window.get(), box));
    EXPECT_FALSE(EditNote(nullptr, key));
}
