// HManageMotion: the camera undo history of a view. Every left-button press in the view
// window records the camera (Step); Edit Undo restores the newest record (Undo). At most
// kMaxRecords records are kept; the oldest is dropped first.
#pragma once

#include <cstddef>
#include <deque>

class HBaseView;

// One camera: position, target and up vector (x, y, z each), field width and height.
struct MotionRecord {
    float position[3] = {0, 0, 0};
    float target[3] = {0, 0, 0};
    float up[3] = {0, 0, 0};
    float fieldWidth = 0;
    float fieldHeight = 0;
};

class HManageMotion {
public:
    static constexpr std::size_t kMaxRecords = 50;

    // view may be null; Step and Undo take the view to act on.
    explicit HManageMotion(HBaseView* view = nullptr);

    std::size_t Size() const { return m_records.size(); }
    // Appends the net camera of view's scene segment (null view: nothing). The int is unused.
    void Step(HBaseView* view, int unused = 0);
    // Restores the newest record on view's scene camera, updates the view and removes the
    // record. With no record (or a null view) it beeps (the shell's Beep) and changes
    // nothing. Returns true when a camera was restored.
    bool Undo(HBaseView* view);
    void Clear() { m_records.clear(); }
    const std::deque<MotionRecord>& Records() const { return m_records; }
    HBaseView* GetView() const { return m_view; }

private:
    HBaseView* m_view = nullptr;
    std::deque<MotionRecord> m_records;  // oldest first
};
