#include "operators/HOpKetraMeasure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "config/CAppSettings.h"
#include "operators/HOpKetraMarkupCircle.h"
#include "operators/HOpKetraMarkupFloatingText.h"
#include "operators/HOpKetraMarkupFreehand.h"
#include "operators/HOpKetraMarkupRectangle.h"
#include "operators/HOpMarkupAnnotateEx.h"
#include "operators/KetraMarkupSettings.h"
#include "operators/MarkupTools.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HUtility.h"
#include "annotation/KetraViewWindow.h"
#include "view/HBaseViewEx.h"

using namespace ketra::operators;

HOpKetraMeasure::HOpKetraMeasure(KetraViewWindow* window, int doRepeat, int doCapture)
    : HBaseOperator(window ? static_cast<HBaseView*>(window->GetHoopsViewEx()) : nullptr, doRepeat,
                    doCapture),
      KetraBaseOperator(window)
{
}

const char* HOpKetraMeasure::GetName() { return "HOpKetraMeasure"; }

HBaseOperator* HOpKetraMeasure::Clone() { return new HOpKetraMeasure(*this); }

std::string HOpKetraMeasure::GetUnitSuffix() const
{
    if (m_unitSet || !m_pView)
        return m_unit;
    const long model = m_pView->GetModelKey();
    std::string value;
    if (model != -1 && HC_Show_Existence_By_Key(model, "self") > 0) {
        HC_Open_Segment_By_Key(model);
        if (HC_Show_Existence("user option = units") > 0)
            value = HC_Show_One_User_Option("units");
        HC_Close_Segment();
    }
    return value;
}

std::string HOpKetraMeasure::FormatDistance(double distance) const
{
    const int decimals = std::clamp(CAppSettings::DF_UnitsDisplayDecimalDisplay, 0, 6);
    char text[128];
    std::snprintf(text, sizeof(text), "%.*f", decimals, distance);
    const std::string unit = GetUnitSuffix();
    return unit.empty() ? std::string(text) : std::string(text) + " " + unit;
}

int HOpKetraMeasure::OnLButtonDown(HEventInfo& event)
{
    if (!m_pView)
        return HOP_NOT_HANDLED;
    if (m_stage == 2) {
        PlaceText(event);
        m_stage = 0;
        m_bOpStarted = false;
        HC_Open_Segment_By_Key(m_measure.GetKey());
        if (HC_Show_Existence("heuristics = quick moves") > 0)
            HC_UnSet_One_Heuristic("quick moves");
        HC_Close_Segment();
        if (KetraViewWindow* window = GetKetraView()) {
            window->set_status_view_to_be_restored(false);
            window->InsertAnnotations(m_measure.GetKey(), GetName(), &m_measure);
            window->set_status_view_to_be_restored(true);
        }
        m_pView->Update();
        return HOP_READY;
    }
    HPoint world;
    const HPoint at = event.GetMouseWindowPos();
    const long key = HUtility::SelectUnderCursor(m_pView, at.x, at.y, &world);
    if (key == -1 || HKetraUtilityAnnotation::IsAnnotation(key))
        return HOP_OK;
    if (m_stage == 0) {
        m_first = world;
        m_ptFirst = world;
        m_stage = 1;
        m_bOpStarted = true;
        return HOP_OK;
    }
    const long layer = MarkupLayer(m_pView);
    if (layer == -1) {
        m_stage = 0;
        m_bOpStarted = false;
        return HOP_OK;
    }
    const HPoint d = world - m_first;
    const double distance = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
    const long note = m_measure.Insert(FormatDistance(distance).c_str(), m_first, world, layer,
                                       m_pView, -1, CAppSettings::AnnotationBackgroundType, true);
    if (note == -1) {
        m_stage = 0;
        m_bOpStarted = false;
        return HOP_OK;
    }
    m_measure.SetColor(MarkupColorString().c_str());
    m_measure.SetTextFont(MarkupTextFontString().c_str());
    m_measure.SetBackgroundVisibility(CAppSettings::UseAnnotationBackgroundColor != 0);
    m_measure.SetLineWeight(static_cast<float>(MarkupLineWeight()));
    m_measure.MoveText(m_first, world);
    m_measure.Resize(m_pView->GetViewKey(), m_pView->GetIncludeLinkKey());
    HC_Open_Segment_By_Key(note);
    HC_Set_Heuristics("quick moves");
    HC_Close_Segment();
    m_stage = 2;
    m_pView->Update();
    return HOP_OK;
}

void HOpKetraMeasure::PlaceText(HEventInfo& event)
{
    HPoint middle;
    HKetraUtilityAnnotationMeasure::mid_point(m_measure.GetFirstPoint(), m_measure.GetSecondPoint(),
                                              middle);
    HPoint to = event.GetMouseWorldPos();
    HUtility::AdjustPositionToPlane(m_pView, to, middle);
    m_measure.MoveText(to);
}

int HOpKetraMeasure::OnNoButtonDownAndMove(HEventInfo& event)
{
    if (m_stage != 2 || !m_pView)
        return HBaseOperator::OnNoButtonDownAndMove(event);
    PlaceText(event);
    m_pView->Update();
    return HOP_OK;
}

int HOpKetraMeasure::OnKeyDown(HEventInfo& event)
{
    // Escape drops a measurement in the making.
    if (event.GetChar() == 27 && m_stage != 0) {
        if (m_stage == 2 && m_measure.GetKey() != -1 &&
            HC_Show_Existence_By_Key(m_measure.GetKey(), "self") > 0)
            HC_Delete_By_Key(m_measure.GetKey());
        m_stage = 0;
        m_bOpStarted = false;
        if (m_pView)
            m_pView->Update();
        return HOP_OK;
    }
    return HBaseOperator::OnKeyDown(event);
}

// --- the tool bar's markup group ------------------------------------------------------------

namespace ketra::operators {

HBaseOperator* CreateMarkupOperator(KetraViewWindow* window, MarkupTool tool)
{
    if (!window || !window->GetHoopsViewEx())
        return nullptr;
    switch (tool) {
    case MarkupTool::Circle:
        return new HOpKetraMarkupCircle(window, 0, 1);
    case MarkupTool::Rectangle:
        return new HOpKetraMarkupRectangle(window, 0, 1);
    case MarkupTool::Freehand:
        return new HOpKetraMarkupFreehand(window, 0, 1);
    case MarkupTool::Annotate:
        return new HOpKetraMarkupText(window, true, 0, 1, true);
    case MarkupTool::FloatingText:
        return new HOpKetraMarkupFloatingText(window, 0, 1);
    case MarkupTool::TypedNote:
        return new HOpMarkupAnnotateEx(window->GetHoopsViewEx(), false, 0, 1);
    case MarkupTool::Measure:
        return new HOpKetraMeasure(window, 1, 1);
    }
    return nullptr;
}

bool InstallMarkupOperator(KetraViewWindow* window, MarkupTool tool)
{
    HBaseOperator* op = CreateMarkupOperator(window, tool);
    if (!op)
        return false;
    window->LocalSetOperator(op);
    return true;
}

const char* MarkupToolOperatorName(MarkupTool tool)
{
    switch (tool) {
    case MarkupTool::Circle: return "HOpKetraMarkupCircle";
    case MarkupTool::Rectangle: return "HOpKetraMarkupRectangle";
    case MarkupTool::Freehand: return "HOpKetraMarkupFreehand";
    case MarkupTool::Annotate: return "HOpKetraMarkupAnnotate";
    case MarkupTool::FloatingText: return "HOpKetraMarkupFloatingText";
    case MarkupTool::TypedNote: return "HOpMarkupAnnotateEx";
    case MarkupTool::Measure: return "HOpKetraMeasure";
    }
    return "";
}

} // namespace ketra::operators
