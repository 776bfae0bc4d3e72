// KetraViewWindow: what notes, measurements and the markup operators ask of the view window
// they work in. The view window (CHoopsViewEx) implements it, so this layer and the operators
// reach the window without depending on the layer that builds it. Not owned by its users.
#pragma once

#include <string>

class HBaseOperator;
class HBaseView;
class HBaseViewEx;
class HKetraUtilityAnnotation;

class KetraViewWindow {
public:
    // The window's view as the view extension; null while no view is set.
    virtual HBaseViewEx* GetHoopsViewEx() = 0;
    // The window's view, whatever its class; null while no view is set.
    virtual HBaseView* GetHoopsView() const = 0;
    // Makes `op` the view's operator (the view owns it from then on).
    virtual void LocalSetOperator(HBaseOperator* op) = 0;
    // Shows the note-text dialog with `caption`, starting from `text`. True with the edited
    // text in `text` when the user confirmed; false when cancelled or the window has no port.
    virtual bool AskNoteText(std::string& text, const char* caption) = 0;
    // A note or measurement was made (InsertAnnotations) or retyped (UpdateAnnotations);
    // set_status_view_to_be_restored(false) brackets an insertion.
    virtual void set_status_view_to_be_restored(bool restore) = 0;
    virtual void InsertAnnotations(long key, const char* text, HKetraUtilityAnnotation* note) = 0;
    virtual void UpdateAnnotations(long key, HKetraUtilityAnnotation* note) = 0;

protected:
    ~KetraViewWindow() = default;
};
