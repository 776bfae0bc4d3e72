#include "view/HManageMotion.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "platform/sys/Shell.h"

HManageMotion::HManageMotion(HBaseView* view) : m_view(view) {}

void HManageMotion::Step(HBaseView* view, int)
{
    if (!view || view->GetSceneKey() == -1 || HC_Show_Existence_By_Key(view->GetSceneKey(), "self") == 0)
        return;
    MotionRecord record;
    char projection[4096] = "";
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Show_Camera(record.position, record.target, record.up, &record.fieldWidth,
                   &record.fieldHeight, projection);
    HC_Close_Segment();
    m_records.push_back(record);
    while (m_records.size() > kMaxRecords)
        m_records.pop_front();
}

bool HManageMotion::Undo(HBaseView* view)
{
    if (m_records.empty() || !view || view->GetSceneKey() == -1 ||
        HC_Show_Existence_By_Key(view->GetSceneKey(), "self") == 0) {
        ketra::sys::GetShell().Beep();
        return false;
    }
    const MotionRecord& record = m_records.back();
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HC_Set_Camera_Position(record.position[0], record.position[1], record.position[2]);
    HC_Set_Camera_Up_Vector(record.up[0], record.up[1], record.up[2]);
    HC_Set_Camera_Target(record.target[0], record.target[1], record.target[2]);
    HC_Set_Camera_Field(record.fieldWidth, record.fieldHeight);
    HC_Close_Segment();
    view->Update();
    m_records.pop_back();
    return true;
}
