// HOpMarkupAnnotateEx: the library's note operator (HOpMarkupAnnotate) with the note's text
// typed from the keyboard once the note is placed: characters append, Backspace (8) removes
// the last one (nothing on an empty text), Enter (13) finishes (a post-it operator, named
// "HOpMarkupPostIt", then hands the markup layer's "notes" segment to the markup manager's
// notification).
#pragma once

#include <string>

#include "platform/mvo/HOpMarkup.h"

class HOpMarkupAnnotateEx : public HOpMarkupAnnotate {
public:
    // The base gets the view, repeat != 0, the capture flag, true and true.
    HOpMarkupAnnotateEx(HBaseView* view, bool flag = false, int doRepeat = 0, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;
    int OnKeyDown(HEventInfo& event) override;

    const std::u16string& GetTypedText() const { return m_typed; }
    bool GetFlag() const { return m_flag; }

protected:
    void finalize_text(bool transmit);
    void TransmitMarkupSegment();

    std::u16string m_typed;
    bool m_flag = false;
};
