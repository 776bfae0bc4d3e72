// FrameRateMeter: frames per second while the camera moves, for the frame's status bar (the
// View menu's Frame Rate toggle). Fed with the time of every frame shown and whether its camera
// differs from the previous frame's; frames at rest neither count nor keep the rate alive.
// Qt-free, so it can be driven with explicit times.
#pragma once

#include <deque>
#include <string>

namespace ketra::ui {

class FrameRateMeter {
public:
    // The rate is taken over the moving frames of the last kWindowSeconds (at least the last
    // two); with no moving frame for kIdleSeconds (or 1.5 of the last interval, when frames
    // come slower than that) the camera counts as at rest, so rates under one frame a second
    // read as rest.
    static constexpr double kWindowSeconds = 1.0;
    static constexpr double kIdleSeconds = 1.0;

    // A frame was shown at `seconds` (a steady clock); `moving`: its camera had moved.
    void Frame(double seconds, bool moving);
    // Frames per second at `now`; 0 at rest or before two moving frames.
    double Rate(double now) const;
    // "12.5 fps" while moving, else empty.
    std::string Text(double now) const;
    void Reset() { m_moving.clear(); }

private:
    bool AtRest(double now) const;
    std::deque<double> m_moving; // times of recent moving frames, oldest first
};

} // namespace ketra::ui
