#include "platform/mvo/HConstantFrameRate.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/render/Renderer.h"

HConstantFrameRate::HConstantFrameRate(HBaseView* view) : m_view(view) {}

void HConstantFrameRate::SetTargetFrameRate(float fps)
{
    if (fps > 0.0f)
        m_targetFps = fps;
}

void HConstantFrameRate::Start()
{
    m_active = true;
    ForgetLevelTimes();
}

void HConstantFrameRate::Stop()
{
    m_active = false;
    if (m_level != 0) {
        m_level = 0;
        ApplyLevel();
    }
}

int HConstantFrameRate::Watch(float frameSeconds)
{
    if (!m_active)
        return 0;
    const float budget = 1.0f / m_targetFps;
    ++m_frames;
    Record(m_level, frameSeconds);
    int level = m_level;
    // Far too slow (the first motion frame after a full-detail one, typically): straight to
    // the deepest level, since each level on the way would cost a walk of its own.
    if (frameSeconds > budget * kJumpFactor)
        level = kMaxLevel;
    else if (frameSeconds > budget * 1.2f && level < kMaxLevel)
        ++level;
    else if (frameSeconds < budget * 0.5f && level > 0) {
        const int finer = level - 1;
        auto seenOver = [&](int at, float budgets) {
            return m_levelSeconds[at] > budget * budgets && m_frames - m_levelSeen[at] < m_retryAfter[at];
        };
        const bool seenTooSlow = seenOver(finer, 1.2f) || (finer > 0 && seenOver(finer - 1, kSkipFactor));
        if (!seenTooSlow)
            --level;
    }
    if (level != m_level) {
        m_previousLevel = m_level;
        m_level = level;
        ApplyLevel();
    }
    return m_level;
}

int HConstantFrameRate::WatchFirstAtLevel(float drawSeconds)
{
    if (!m_active)
        return 0;
    const float budget = 1.0f / m_targetFps;
    if (m_level < m_previousLevel && drawSeconds > budget * kFirstFrameFactor) {
        ++m_frames;
        Record(m_level, drawSeconds);
        std::swap(m_level, m_previousLevel);
        ApplyLevel();
    }
    return m_level;
}

void HConstantFrameRate::ForgetLevelTimes()
{
    m_previousLevel = 0;
    for (int i = 0; i <= kMaxLevel; ++i)
        m_levelSeconds[i] = -1, m_levelSeen[i] = 0, m_retryAfter[i] = kRetryFrames;
    m_frames = 0;
}

void HConstantFrameRate::Record(int level, float seconds)
{
    const float slow = 1.2f / m_targetFps;
    if (seconds > slow && m_levelSeconds[level] > slow)  // too slow again in this motion
        m_retryAfter[level] = std::min(2 * m_retryAfter[level], kMaxRetryFrames);
    m_levelSeconds[level] = seconds;
    m_levelSeen[level] = m_frames;
}

void HConstantFrameRate::EndMotion()
{
    ForgetLevelTimes();
    if (m_level != 0) {
        m_level = 0;
        ApplyLevel();
    }
}

void HConstantFrameRate::ApplyLevel()
{
    if (!m_view || HC_Show_Existence_By_Key(m_view->GetSceneKey(), "self") == 0)
        return;
    // The deepest level differs from the one below only in resolution, a setting of the
    // renderer: moving between them keeps the scene (and so the renderer's walk) as it is.
    const bool reduce = m_level >= kReducedLevel;
    if (ketra::render::GetReducedResolution(m_view->GetViewKey()) != reduce) {
        ketra::render::SetReducedResolution(m_view->GetViewKey(), reduce);
        HC_Control_Update_By_Key(m_view->GetViewKey(), "redraw everything");
    }
    const int clamp = reduce ? kReducedLevel - 1 : m_level;
    HC_Open_Segment_By_Key(m_view->GetSceneKey());
    if (m_level == 0) {
        m_appliedClamp = 0;
        if (HC_Show_Existence("rendering options = lodo") > 0)
            HC_UnSet_One_Rendering_Option("lodo");
        // Full detail is the scene as it was before the motion: "lod" as the host left it.
        if (m_savedLod) {
            if (m_savedLod->empty()) {
                if (HC_Show_Existence("rendering options = lod") > 0)
                    HC_UnSet_One_Rendering_Option("lod");
            } else {
                HC_Set_Rendering_Options(("lod = " + *m_savedLod).c_str());
            }
            m_savedLod.reset();
        }
    } else {
        if (!m_savedLod) {
            std::string value;
            if (HC_Show_Existence("rendering options = lod") > 0)
                value = HC_Show_One_Rendering_Option("lod");
            m_savedLod = value;
        }
        const std::string options = "lod = on, lodo = (clamp = " + std::to_string(clamp) + ")";
        // Setting the same options again would still count as a change of the scene.
        if (clamp != m_appliedClamp)
            HC_Set_Rendering_Options(options.c_str());
        m_appliedClamp = clamp;
    }
    HC_Close_Segment();
}
