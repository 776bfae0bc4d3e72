// HSOpCameraDrag: the operator of an overview view. It shows where the tracked (main) view's
// camera stands as the segment "camerapointer" of the overview's scene (a line from the eye
// to the target drawn with an arrow head, and a pickable, invisible marker at the eye), and
// a left drag moves the tracked camera's eye under the cursor, the target along with it.
//
// Beside the pointer, the segment "cameraframe" of the overview's scene outlines in red what
// the tracked view shows: the rectangle of its field at the target, widened to its window's
// shape (FrameCorners). An orthographic camera's eye stands far off, so the frame is what
// shows where that view looks.
//
// The operator listens to both views (HUpdateListener): a camera change of the tracked view
// marks the pointer stale and a timer every kTimerSeconds (HTManager, HTCS_PeriodicSkip)
// rebuilds it (while the tracked camera keeps moving, only if the overview's last frame took
// under kBusyFrameSeconds; a slower one is drawn when the tracked view rests); when either view is destroyed the operator forgets it and never touches it
// again. Either view may therefore die first; the operator unregisters from whatever view is
// still alive when it is destroyed.
#pragma once

#include <memory>

#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HPoint.h"

class HCamera;
class HTClient;


class HSOpCameraDrag : public HBaseOperator, public HUpdateListener {
public:
    static constexpr float kTimerSeconds = 0.5f;
    static constexpr double kBusyFrameSeconds = 0.05;
    static constexpr const char* kPointerSegment = "camerapointer";
    static constexpr const char* kFrameSegment = "cameraframe";
    static constexpr const char* kArrowCallback = "HUtilityAnnotation_draw_line_with_arrow";

    // own: the overview view the operator works in; tracked: the main view whose camera it
    // shows (may be null; then the operator shows and moves nothing). Builds the pointer.
    HSOpCameraDrag(HBaseView* own, HBaseView* tracked, int doRepeat = 0, int doCapture = 1);
    ~HSOpCameraDrag() override;
    HSOpCameraDrag(const HSOpCameraDrag&) = delete;
    HSOpCameraDrag& operator=(const HSOpCameraDrag&) = delete;

    const char* GetName() override; // "HSOpCameraDrag"
    HBaseOperator* Clone() override;

    // Rebuilds "camerapointer" in the own view's scene from the tracked view's camera.
    // Does nothing without both views.
    void BuildCameraPointer();
    // Timer step: rebuilds the pointer (and updates the own view) when the tracked camera
    // changed since the last rebuild.
    void UpdateTimer();

    int CameraChangedEvent(HBaseView* view) override;
    int ViewDestroyedEvent(HBaseView* view) override;

    int OnLButtonDown(HEventInfo& event) override;
    int OnLButtonDownAndMove(HEventInfo& event) override;
    int OnLButtonUp(HEventInfo& event) override;

    // The corners of what `camera` shows in a window of width x height pixels (0: the
    // field itself): its field centred on the target, across the line of sight, the shorter
    // side widened to the window's shape unless the projection is stretched. Bottom left
    // first, counter-clockwise as seen from the eye. False for a degenerate camera.
    static bool FrameCorners(const HCamera& camera, int width, int height, HPoint corners[4]);

    HBaseView* GetTrackedView() const { return m_trackedView; }
    bool GetCameraChanged() const { return m_cameraChanged; }

private:
    void Listen(HBaseView* view);
    void StopListening(HBaseView* view);

    HBaseView* m_trackedView = nullptr;
    bool m_cameraChanged = false;
    bool m_movedSinceTick = false;  // the tracked camera changed since the last timer step
    std::unique_ptr<HTClient> m_timer;
};
