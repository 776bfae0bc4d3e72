#include "operators/HOpKetraMarkupFloatingText.h"

#include "annotation/HKetraUtilityAnnotationMeasure.h"
#include "config/CAppSettings.h"
#include "operators/KetraMarkupSettings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"

using namespace ketra::operators;

HOpKetraMarkupFloatingText::HOpKetraMarkupFloatingText(KetraViewWindow* window, int doRepeat,
                                                       int doCapture)
    : HOpKetraMarkupText(window, true, doRepeat, doCapture, true)
{
}

const char* HOpKetraMarkupFloatingText::GetName() { return "HOpKetraMarkupFloatingText"; }

HBaseOperator* HOpKetraMarkupFloatingText::Clone() { return new HOpKetraMarkupFloatingText(*this); }

int HOpKetraMarkupFloatingText::OnLButtonUp(HEventInfo& event)
{
    // A press on a model item would make a note with a leader there; floating notes need
    // empty space, so that gesture ends without a note.
    if (m_bOpStarted && !m_editingExisting) {
        m_bOpStarted = false;
        if (m_previewSegment != -1 && HC_Show_Existence_By_Key(m_previewSegment, "self") > 0)
            HC_Delete_By_Key(m_previewSegment);
        m_previewSegment = -1;
    }
    HOpKetraMarkupText::OnLButtonUp(event);
    if (!m_createNewNotes || !m_pView)
        return HOP_OK;
    HPoint point;
    long key = Pick(event.GetMouseWindowPos(), point);
    if (key == -1)
        point = event.GetMouseWorldPos();
    m_ptFirst = m_ptNew = point;
    if (HKetraUtilityAnnotationMeasure::IsMeasurement(key))
        return HOP_OK;
    if (!HKetraUtilityAnnotation::IsNote(key) && key == -1) {
        m_editingExisting = false;
        const std::u16string text = GetNoteText();
        m_createNewNotes = false;
        const long layer = MarkupLayer(m_pView);
        if (!text.empty() && layer != -1) {
            const long note = m_annotation.InsertWithEncoding(
                reinterpret_cast<const unsigned short*>(text.c_str()), point, point, layer,
                m_pView, -1, CAppSettings::AnnotationBackgroundType, false, nullptr, 0);
            if (note != -1) {
                m_noteKey = note;
                m_editingExisting = true;
                m_annotation.SetColor(MarkupColorString().c_str());
                m_annotation.SetTextFont(MarkupTextFontString().c_str());
                m_annotation.Resize(m_pView->GetViewKey(), m_pView->GetIncludeLinkKey());
                NotifyInserted();
            }
        }
        m_pView->Update();
    }
    return HOP_OK;
}
