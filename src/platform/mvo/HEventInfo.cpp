#include "platform/mvo/HEventInfo.h"

#include "platform/mvo/HBaseView.h"

HEventInfo::HEventInfo(HBaseView* view) : m_view(view) {}

void HEventInfo::ComputePositions()
{
    if (!m_view || m_view->GetSceneKey() == -1) {
        m_worldPos = m_windowPos;
        m_viewpointPos = m_windowPos;
        return;
    }
    m_worldPos = m_view->WindowToWorld(m_windowPos);
    m_viewpointPos = m_view->WorldToViewpoint(m_worldPos);
}

void HEventInfo::SetPoint(HEventType type, float x, float y, unsigned int flags)
{
    m_type = type;
    m_flags = flags;
    m_windowPos.Set(x, y, 0.0f);
    int width = 0, height = 0;
    if (m_view)
        m_view->GetWindowSizeInPixels(width, height);
    if (width > 0 && height > 0)
        m_pixelPos.Set((x + 1.0f) * 0.5f * static_cast<float>(width),
                       (1.0f - y) * 0.5f * static_cast<float>(height), 0.0f);
    else
        m_pixelPos.Set(0.0f, 0.0f, 0.0f);
    ComputePositions();
}

void HEventInfo::SetPixelPoint(HEventType type, int px, int py, unsigned int flags)
{
    int width = 0, height = 0;
    if (m_view)
        m_view->GetWindowSizeInPixels(width, height);
    if (width <= 0 || height <= 0) {
        width = 1;
        height = 1;
    }
    // Pixel centres map into the window's -1..1 square, y up.
    const float x = (static_cast<float>(px) + 0.5f) / static_cast<float>(width) * 2.0f - 1.0f;
    const float y = 1.0f - (static_cast<float>(py) + 0.5f) / static_cast<float>(height) * 2.0f;
    SetPoint(type, x, y, flags);
    m_pixelPos.Set(static_cast<float>(px), static_cast<float>(py), 0.0f);
}

void HEventInfo::SetKey(HEventType type, unsigned int character, unsigned int repeatCount,
                        unsigned int flags)
{
    m_type = type;
    m_char = character;
    m_repeatCount = repeatCount;
    m_flags = flags;
}

void HEventInfo::SetMouseWheel(float x, float y, float delta, unsigned int flags)
{
    SetPoint(HE_MouseWheel, x, y, flags);
    m_wheelDelta = delta;
}

void HEventInfo::SetTimer(float seconds)
{
    m_type = HE_Timer;
    m_time = seconds;
}
