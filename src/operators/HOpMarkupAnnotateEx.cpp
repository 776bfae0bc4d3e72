#include "operators/HOpMarkupAnnotateEx.h"

#include <cstring>

#include "annotation/HKetraUtilityAnnotation.h"
#include "operators/KetraMarkupSettings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HMarkupManager.h"

HOpMarkupAnnotateEx::HOpMarkupAnnotateEx(HBaseView* view, bool flag, int doRepeat, int doCapture)
    : HOpMarkupAnnotate(view, doRepeat != 0, doCapture, true, true), m_flag(flag)
{
}

const char* HOpMarkupAnnotateEx::GetName() { return "HOpMarkupAnnotateEx"; }

HBaseOperator* HOpMarkupAnnotateEx::Clone() { return new HOpMarkupAnnotateEx(*this); }

int HOpMarkupAnnotateEx::OnLButtonDown(HEventInfo& event)
{
    HOpMarkupAnnotate::OnLButtonDown(event);
    m_typed.clear(); // a new note starts with no text
    return HOP_OK;
}

int HOpMarkupAnnotateEx::OnLButtonDownAndMove(HEventInfo& event)
{
    return HOpMarkupAnnotate::OnLButtonDownAndMove(event);
}

int HOpMarkupAnnotateEx::OnLButtonUp(HEventInfo& event)
{
    if (!m_bOpStarted)
        return HBaseOperator::OnLButtonUp(event);
    m_bOpStarted = false;
    if (m_noteKey != -1 && HC_Show_Existence_By_Key(m_noteKey, "self") > 0) {
        HC_Open_Segment_By_Key(m_noteKey);
        if (HC_Show_Existence("heuristics = quick moves") > 0)
            HC_UnSet_One_Heuristic("quick moves");
        HC_Close_Segment();
    }
    if (std::strcmp(GetName(), "HOpMarkupPostIt") == 0)
        TransmitMarkupSegment();
    if (m_pView)
        m_pView->Update();
    return HOP_READY;
}

int HOpMarkupAnnotateEx::OnKeyDown(HEventInfo& event)
{
    if (m_bOpStarted || m_noteKey == -1)
        return HOpMarkupAnnotate::OnKeyDown(event);
    const unsigned int c = event.GetChar();
    if (c == 8) {
        if (m_typed.empty())
            return HOP_OK;
        m_typed.pop_back();
    } else if (c == 13) {
        finalize_text(std::strcmp(GetName(), "HOpMarkupPostIt") == 0);
        return HOP_OK;
    } else {
        // What the key types. A window that does not say types the key code of letters,
        // digits and the space bar; keys that type nothing (Shift, arrows) add nothing.
        char32_t typed = 0;
        if (event.HasTyped())
            typed = event.GetTyped();
        else if (c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
            typed = c;
        if (typed < 0x20 || typed == 0x7F || (typed >= 0xD800 && typed <= 0xDFFF) || typed > 0x10FFFF)
            return HOP_OK;
        if (typed > 0xFFFF) {
            typed -= 0x10000;
            m_typed.push_back(static_cast<char16_t>(0xD800 + (typed >> 10)));
            m_typed.push_back(static_cast<char16_t>(0xDC00 + (typed & 0x3FF)));
        } else {
            m_typed.push_back(static_cast<char16_t>(typed));
        }
    }
    SetNoteText(Utf16ToUtf8(m_typed));
    if (m_pView)
        m_pView->Update();
    return HOP_OK;
}

void HOpMarkupAnnotateEx::finalize_text(bool transmit)
{
    m_typed.clear();
    if (transmit)
        TransmitMarkupSegment();
    m_bOpStarted = false;
    m_noteKey = -1; // typing into this note is finished
    if (m_pView)
        m_pView->Update();
}

void HOpMarkupAnnotateEx::TransmitMarkupSegment()
{
    if (!m_pView || !m_pView->GetEmitMessages() || !m_pView->GetMarkupManager())
        return;
    HMarkupManager* manager = m_pView->GetMarkupManager();
    if (manager->GetCurrentLayerKey() == -1)
        return;
    HC_Open_Segment_By_Key(manager->GetCurrentLayerKey());
    const long notes = HC_Open_Segment("notes");
    HC_Close_Segment();
    HC_Close_Segment();
    manager->EmitMarkupSegment(notes);
}
