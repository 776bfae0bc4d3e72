#include "operators/HOpKetraMarkupText.h"

#include <cstring>

#include "annotation/HKetraUtilityAnnotationMeasure.h"
#include "config/CAppSettings.h"
#include "operators/KetraMarkupSettings.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HMarkupManager.h"
#include "platform/mvo/HUtility.h"
#include "annotation/KetraViewWindow.h"
#include "view/HBaseViewEx.h"

using namespace ketra::operators;

namespace {

bool Exists(long key) { return key != -1 && HC_Show_Existence_By_Key(key, "self") > 0; }

} // namespace

HOpKetraMarkupText::HOpKetraMarkupText(KetraViewWindow* window, bool addToLayer, int doRepeat,
                                       int doCapture, bool createNewNotes)
    : HBaseOperator(window ? static_cast<HBaseView*>(window->GetHoopsViewEx()) : nullptr, doRepeat,
                    doCapture),
      KetraBaseOperator(window), m_addToLayer(addToLayer), m_createNewNotes(createNewNotes)
{
    if (m_pView)
        m_pView->SetAnnotationResize(true);
}

const char* HOpKetraMarkupText::GetName() { return "HOpKetraMarkupAnnotate"; }

HBaseOperator* HOpKetraMarkupText::Clone() { return new HOpKetraMarkupText(*this); }

long HOpKetraMarkupText::Pick(const HPoint& window, HPoint& world)
{
    if (!m_pView || !Exists(m_pView->GetViewKey()))
        return -1;
    long key = -1;
    HC_Open_Segment_By_Key(m_pView->GetViewKey());
    if (HC_Compute_Selection(".", ".", "v", window.x, window.y) > 0) {
        int o1 = 0, o2 = 0, o3 = 0;
        HC_Show_Selection_Element(&key, &o1, &o2, &o3);
        float wx, wy, wz;
        HC_Show_Selection_Position(&wx, &wy, &wz, &world.x, &world.y, &world.z);
    }
    HC_Close_Segment();
    return key;
}

void HOpKetraMarkupText::StartOp()
{
    m_bOpStarted = true;
    m_touchedText = false;
}

int HOpKetraMarkupText::OnLButtonDown(HEventInfo& event)
{
    m_createNewNotes = true;
    if (!m_pView)
        return HOP_NOT_HANDLED;
    if (m_bOpStarted && m_editingExisting && m_annotation.GetTextLength() == 0) {
        const long note = m_annotation.GetKey();
        EndOp();
        if (Exists(note))
            HC_Delete_By_Key(note);
        m_editingExisting = false;
        m_pView->Update();
    }
    HPoint world;
    const long key = Pick(event.GetMouseWindowPos(), world);
    if (key == -1) {
        EndOp();
        return HOP_OK;
    }
    if (HC_Show_Key_Type(key) == "segment" || HKetraUtilityAnnotationMeasure::IsMeasurement(key)) {
        EndOp();
        return HOP_OK;
    }
    EndOp();
    if (HKetraUtilityAnnotation::IsNote(key)) {
        m_annotation.SetNote(key, m_pView);
        m_noteKey = m_annotation.GetKey();
        m_editingExisting = true;
    } else {
        m_editingExisting = false;
        HC_Open_Segment_By_Key(m_pView->GetModelKey());
        m_previewSegment = HC_Open_Segment("");
        HC_Set_Heuristics("quick moves");
        HC_Set_Color("lines = green");
        HC_Set_Visibility("lines = on");
        m_ptFirst = world;
        m_ptNew = world;
        HC_Close_Segment();
        HC_Close_Segment();
    }
    StartOp();
    m_pView->Update();
    return HOP_OK;
}

int HOpKetraMarkupText::OnLButtonDownAndMove(HEventInfo& event)
{
    if (!m_bOpStarted || !m_pView)
        return HOP_OK;
    if (!m_editingExisting) {
        if (Exists(m_previewSegment)) {
            HC_Open_Segment_By_Key(m_previewSegment);
            HC_Flush_Contents(".", "geometry");
            m_ptNew = event.GetMouseWorldPos();
            HC_Insert_Line(m_ptFirst.x, m_ptFirst.y, m_ptFirst.z, m_ptNew.x, m_ptNew.y, m_ptNew.z);
            HC_Close_Segment();
        }
    } else if (Exists(m_annotation.GetKey())) {
        HPoint position;
        m_annotation.ShowPosition(position);
        HPoint to = event.GetMouseWorldPos();
        HUtility::AdjustPositionToPlane(m_pView, to, position);
        HCamera camera;
        m_pView->GetCamera(camera);
        // Drawn over the model while it is carried about.
        HC_Open_Segment_By_Key(m_annotation.GetKey());
        HC_Set_Heuristics("quick moves");
        HC_Set_Rendering_Options("depth range = (0.0,0.1)");
        HC_Close_Segment();
        m_annotation.MoveText(to, &camera);
    }
    m_pView->Update();
    return HOP_OK;
}

int HOpKetraMarkupText::OnLButtonUp(HEventInfo& event)
{
    m_ptNew = event.GetMouseWorldPos();
    EndOp();
    return HOP_OK;
}

void HOpKetraMarkupText::StyleNote()
{
    const int weight = MarkupLineWeight();
    m_annotation.SetColor(MarkupColorString().c_str());
    m_annotation.SetTextFont(MarkupTextFontString().c_str());
    m_annotation.SetBackgroundVisibility(CAppSettings::UseAnnotationBackgroundColor != 0);
    m_annotation.SetEdgeWeight(static_cast<float>(weight));
    m_annotation.SetLineWeight(static_cast<float>(weight));
    m_annotation.Resize(0, nullptr, m_pView ? m_pView->GetViewKey() : -1);
}

void HOpKetraMarkupText::NotifyInserted()
{
    KetraViewWindow* window = GetKetraView();
    if (!window)
        return;
    window->set_status_view_to_be_restored(false);
    window->InsertAnnotations(m_annotation.GetKey(), GetName(), &m_annotation);
    window->set_status_view_to_be_restored(true);
}

bool HOpKetraMarkupText::EndOp()
{
    if (Exists(m_previewSegment)) {
        // The rubber band is gone with its segment: nothing of it stays in the model.
        HC_Delete_By_Key(m_previewSegment);
    }
    m_previewSegment = -1;
    if (!m_bOpStarted)
        return false;
    m_bOpStarted = false;
    if (!m_editingExisting) {
        if (m_addToLayer && m_pView && m_pView->GetMarkupManager()) {
            const std::u16string text = GetNoteText();
            m_createNewNotes = false;
            if (!text.empty()) {
                const long layer = MarkupLayer(m_pView);
                const long note = m_annotation.InsertWithEncoding(
                    reinterpret_cast<const unsigned short*>(text.c_str()), m_ptFirst, m_ptNew,
                    layer, m_pView, -1, CAppSettings::AnnotationBackgroundType, true, nullptr, 0);
                if (note != -1) {
                    m_noteKey = note;
                    m_editingExisting = true;
                    StyleNote();
                    NotifyInserted();
                }
            }
        }
    } else if (Exists(m_annotation.GetKey())) {
        HC_Open_Segment_By_Key(m_annotation.GetKey());
        if (HC_Show_Existence("heuristics = quick moves") > 0)
            HC_UnSet_One_Heuristic("quick moves");
        if (HC_Show_Existence("rendering options = depth range") > 0)
            HC_UnSet_One_Rendering_Option("depth range");
        HC_Close_Segment();
    }
    if (m_pView)
        m_pView->Update();
    return true;
}

std::u16string HOpKetraMarkupText::GetNoteText()
{
    KetraViewWindow* window = GetKetraView();
    if (!window)
        return {};
    std::string text;
    if (m_editingExisting && Exists(m_annotation.GetKey()))
        text = Utf16ToUtf8(m_annotation.GetText16());
    if (!window->AskNoteText(text, "Annotation"))
        return {};
    return Utf8ToUtf16(text);
}

int HOpKetraMarkupText::OnLButtonDblClk(HEventInfo& event)
{
    const int result = OnLButtonDown(event);
    // A double click retypes an existing note; a new note gets its text on release.
    if (result != HOP_OK || !m_bOpStarted || !m_editingExisting)
        return result;
    const std::u16string text = GetNoteText();
    if (!text.empty()) {
        m_annotation.SetText16(text);
        StyleNote();
        m_pView->Update();
        if (KetraViewWindow* window = GetKetraView())
            window->UpdateAnnotations(m_annotation.GetKey(), &m_annotation);
    }
    return result;
}
