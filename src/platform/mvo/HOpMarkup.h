// The markup operators: circles, rectangles, freehand strokes and text notes that a reviewer
// draws over the model. Shapes go into the current layer of the view's markup manager (a new
// layer is opened when none is current), each kind in the layer's subsegment named by the
// operator's GetName(), in world coordinates on the plane through the camera target; their
// lines are red with weight 2. A finished shape is passed to the markup manager's
// notification when the view emits messages. Without a markup manager nothing is drawn.
#pragma once

#include <string>

#include "platform/mvo/HOpConstructCircle.h"
#include "platform/mvo/HOpConstructRectangle.h"

typedef long HC_KEY;

// Opens the markup subsegment `name` of the view's current layer, sets the markup line
// style there, and returns its key (-1 without a markup manager). Nothing stays open.
HC_KEY OpenMarkupShapeSegment(HBaseView* view, const char* name);

class HOpMarkupCircle : public HOpConstructCircle {
public:
    explicit HOpMarkupCircle(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    // A release with a radius above zero adds the circle (a closed polyline of 65 points).
    int OnLButtonUp(HEventInfo& event) override;
};

class HOpMarkupRectangle : public HOpConstructRectangle {
public:
    explicit HOpMarkupRectangle(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    // A release after a drag adds the rectangle's closed outline (5 points).
    int OnLButtonUp(HEventInfo& event) override;
};

class HOpMarkupFreehand : public HBaseOperator {
public:
    explicit HOpMarkupFreehand(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    // The stroke is inked in the window-space segment while drawn; the release moves it into
    // the markup layer as a polyline in world coordinates.
    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

protected:
    HC_KEY m_ink = -1;
};

// A text note with a leader: the press picks the target (the model point under the cursor,
// else the point on the target plane), the drag places the note, the release ends the
// gesture; then typed keys edit its text (Backspace removes, Enter finishes). Each note is an
// object segment of kind "Annotation" in the layer's subsegment "notes", holding a leader
// line from target to position and a text item at the position. With createNewNotes false, a
// press on an existing note grabs and moves it instead. With addToLayer false the notes go
// into the scene's subsegment "notes" instead of a markup layer.
class HOpMarkupAnnotate : public HBaseOperator {
public:
    explicit HOpMarkupAnnotate(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1,
                               bool addToLayer = true, bool createNewNotes = true);
    const char* GetName() override;
    HBaseOperator* Clone() override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;
    int OnKeyDown(HEventInfo& event) override;

    // The note being placed or typed (-1 when none) and its text.
    HC_KEY GetNoteKey() const { return m_noteKey; }
    const std::string& GetNoteText() const { return m_text; }
    // Replaces the note's text.
    void SetNoteText(const std::string& text);

protected:
    // Whether the note draws a leader (post-its do not).
    virtual bool HasLeader() const { return true; }
    void Rebuild();

    bool m_addToLayer = true;
    bool m_createNewNotes = true;
    HC_KEY m_noteKey = -1;
    HPoint m_target;
    HPoint m_position;
    std::string m_text;
};

// A note without a leader, pinned where it is clicked.
class HOpMarkupPostIt : public HOpMarkupAnnotate {
public:
    explicit HOpMarkupPostIt(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1,
                             bool addToLayer = true, bool createNewNotes = true);
    const char* GetName() override;
    HBaseOperator* Clone() override;

protected:
    bool HasLeader() const override { return false; }
};
