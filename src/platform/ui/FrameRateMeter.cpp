#include "platform/ui/FrameRateMeter.h"

#include <algorithm>
#include <cstdio>

namespace ketra::ui {

bool FrameRateMeter::AtRest(double now) const {
    if (m_moving.empty())
        return true;
    const double last = m_moving.back();
    const double lastInterval = m_moving.size() >= 2 ? last - m_moving[m_moving.size() - 2] : 0;
    return now - last > std::max(kIdleSeconds, 1.5 * lastInterval);
}

void FrameRateMeter::Frame(double seconds, bool moving) {
    if (!moving)
        return;
    // A motion after a rest starts a new measurement: the pause is no frame interval.
    if (AtRest(seconds))
        m_moving.clear();
    m_moving.push_back(seconds);
    while (m_moving.size() > 2 && m_moving.front() < seconds - kWindowSeconds)
        m_moving.pop_front();
}

double FrameRateMeter::Rate(double now) const {
    if (m_moving.size() < 2 || AtRest(now))
        return 0;
    const double span = m_moving.back() - m_moving.front();
    return span > 0 ? static_cast<double>(m_moving.size() - 1) / span : 0;
}

std::string FrameRateMeter::Text(double now) const {
    const double rate = Rate(now);
    if (rate <= 0)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.1f fps", rate);
    return text;
}

} // namespace ketra::ui
