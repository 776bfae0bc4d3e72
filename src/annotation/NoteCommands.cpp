#include "annotation/NoteCommands.h"

#include <cstring>
#include <string>
#include <vector>

#include "annotation/HKetraUtilityAnnotation.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HUtility.h"
#include "annotation/KetraViewWindow.h"

namespace ketra::annotation {

namespace {

bool Exists(long key) { return key != -1 && HC_Show_Existence_By_Key(key, "self") > 0; }

// The text item of a library note (the first text anywhere below the note segment).
long LibraryNoteText(long note)
{
    long text = -1;
    HC_Open_Segment_By_Key(note);
    HC_Begin_Contents_Search("...", "text");
    std::string type;
    long key = -1;
    if (HC_Find_Contents(type, &key))
        text = key;
    HC_End_Contents_Search();
    HC_Close_Segment();
    return text;
}

} // namespace

long NoteSegmentOf(long key)
{
    if (!Exists(key))
        return -1;
    std::string kind;
    const long segment = HObjectManager::FindHObjectSegment(key, &kind);
    if (segment == -1)
        return -1;
    if (kind == "KetraAnnotation" || kind == "`KetraAnnotation`" || kind == "Annotation")
        return segment;
    return -1;
}

long FindNoteAt(HBaseView* view, float x, float y)
{
    if (!view)
        return -1;
    // Every item under the cursor, nearest first: a note behind a model item still counts
    // when nothing nearer is a note.
    long found = -1;
    HC_Open_Segment_By_Key(view->GetViewKey());
    if (HC_Compute_Selection(".", "./scene", "v", x, y) > 0) {
        do {
            long key = -1;
            int o1 = 0, o2 = 0, o3 = 0;
            HC_Show_Selection_Element(&key, &o1, &o2, &o3);
            found = NoteSegmentOf(key);
        } while (found == -1 && HC_Find_Related_Selection());
    }
    HC_Close_Segment();
    return found;
}

bool DeleteNote(HBaseView* view, long noteKey)
{
    long segment = NoteSegmentOf(noteKey);
    if (segment == -1 && Exists(noteKey))
        segment = HUtility::GrabSegment(noteKey);
    if (segment == -1 || !Exists(segment) || NoteSegmentOf(segment) == -1)
        return false;
    if (view)
        view->GetEventManager()->EmitObjectDeleted(view, segment);
    HC_Delete_By_Key(segment);
    if (view)
        view->Update();
    return true;
}

bool EditNote(KetraViewWindow* window, long noteKey)
{
    if (!window || !window->GetHoopsView())
        return false;
    HBaseView* view = window->GetHoopsView();
    const long segment = NoteSegmentOf(noteKey);
    if (segment == -1)
        return false;
    std::string kind;
    HObjectManager::FindHObjectSegment(segment, &kind);
    const bool ours = kind != "Annotation";
    HKetraUtilityAnnotation note;
    long libraryText = -1;
    std::string text;
    if (ours) {
        note.SetNote(segment, view);
        text = Utf16ToUtf8(note.GetText16());
    } else {
        libraryText = LibraryNoteText(segment);
        if (libraryText != -1) {
            HC_Show_Text(libraryText, nullptr, nullptr, nullptr, text);
        }
    }
    if (!window->AskNoteText(text, "Edit Note"))
        return false;
    if (ours) {
        note.SetText16(Utf8ToUtf16(text));
        note.Resize(view->GetViewKey(), view->GetIncludeLinkKey());
        window->UpdateAnnotations(segment, &note);
    } else if (libraryText != -1) {
        HC_Edit_Text(libraryText, text.c_str());
    }
    view->Update();
    return true;
}

} // namespace ketra::annotation
