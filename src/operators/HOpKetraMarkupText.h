// HOpKetraMarkupText: places, moves and retypes text notes (HKetraUtilityAnnotation). A press
// on a model item starts a new note there (a green rubber-band leader follows the drag; the
// release asks for the text through the window's note-text dialog and makes the note in the
// markup layer, leader from the pressed point to the released one); a press on an existing
// note picks it up (the drag moves it in the screen plane); a double click on a note retypes
// it. A press while a note whose text was emptied is held deletes that note. The window
// hears of each note made (InsertAnnotations between set_status_view_to_be_restored(false)
// and (true)) and retyped (UpdateAnnotations).
#pragma once

#include <string>

#include "annotation/HKetraUtilityAnnotation.h"
#include "operators/KetraBaseOperator.h"
#include "platform/mvo/HBaseOperator.h"

class HOpKetraMarkupText : public HBaseOperator, public KetraBaseOperator {
public:
    // Turns on the view's annotation resizing. addToLayer: new notes are made only when true;
    // createNewNotes: see GetCreateNewNotes.
    HOpKetraMarkupText(KetraViewWindow* window, bool addToLayer = true, int doRepeat = 0,
                       int doCapture = 1, bool createNewNotes = true);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;
    int OnLButtonDblClk(HEventInfo& event) override;

    int GetBackgroundType() const { return m_backgroundType; }
    void SetBackgroundType(int type) { m_backgroundType = type; }
    long GetNoteKey() const { return m_noteKey; }
    void SetNoteKey(long key) { m_noteKey = key; }
    HKetraUtilityAnnotation& GetAnnotation() { return m_annotation; }
    void SetAnnotation(const HKetraUtilityAnnotation& annotation) { m_annotation = annotation; }
    bool GetAddToLayer() const { return m_addToLayer; }
    void SetAddToLayer(bool on) { m_addToLayer = on; }
    bool GetTouchedText() const { return m_touchedText; }
    void SetTouchedText(bool on) { m_touchedText = on; }
    bool GetHideOverlappedText() const { return m_hideOverlappedText; }
    void SetHideOverlappedText(bool on) { m_hideOverlappedText = on; }
    // True until a release has asked for a note's text (a press sets it again).
    bool GetCreateNewNotes() const { return m_createNewNotes; }
    void SetCreateNewNotes(bool on) { m_createNewNotes = on; }
    bool GetEditingExistingNote() const { return m_editingExisting; }
    long GetPreviewSegment() const { return m_previewSegment; }

protected:
    void StartOp();
    // Ends the gesture: a new note is made (when it gets a text), a moved note loses its
    // "quick moves" heuristic and "depth range" option. Returns whether the operator was
    // started.
    bool EndOp();
    // The note's text from the window's note-text dialog (the existing note's text shown when
    // one is edited); empty when cancelled or without a window.
    virtual std::u16string GetNoteText();
    // Colour, font, background visibility and weights from the annotation settings.
    void StyleNote();
    // Tells the window of a new note.
    void NotifyInserted();
    // Picks at the window position: the item and its world position; -1 when nothing.
    long Pick(const HPoint& window, HPoint& world);

    int m_backgroundType = 1;
    long m_noteKey = 0;
    HKetraUtilityAnnotation m_annotation;
    bool m_addToLayer = true;
    bool m_touchedText = false;
    bool m_hideOverlappedText = false;
    bool m_editingExisting = false;
    long m_previewSegment = -1;
    bool m_createNewNotes = true;
};
