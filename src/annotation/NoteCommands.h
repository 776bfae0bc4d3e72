// The note commands of the view window's context menu, as functions the window's command
// handlers call: find the note under the cursor, Delete Note (130) and Edit Note (131).
// Notes are the component's (object kind "KetraAnnotation", plain or measurement) and the
// view layer's library notes (kind "Annotation").
#pragma once

class KetraViewWindow;
class HBaseView;

namespace ketra::annotation {

// Command ids of the context menu's note items.
constexpr unsigned int kDeleteNoteCommand = 130;
constexpr unsigned int kEditNoteCommand = 131;

// The note segment under window position (x, y) (local window coordinates, -1..1), -1 when
// the item there belongs to no note.
long FindNoteAt(HBaseView* view, float x, float y);
// The note segment holding key (a note segment or any key inside one), -1 when none.
long NoteSegmentOf(long key);

// Deletes the note holding noteKey: the view's object-manipulation listeners hear of it
// first, then the segment is deleted and the view updated. False (nothing done) when
// noteKey is in no note.
bool DeleteNote(HBaseView* view, long noteKey);
// Shows the window's note-text dialog with the note's text; on OK sets the new text, fits
// the background to it, tells the window (UpdateAnnotations) and updates the view. False when
// there is no window, view or note, or the dialog was cancelled.
bool EditNote(KetraViewWindow* window, long noteKey);

} // namespace ketra::annotation
