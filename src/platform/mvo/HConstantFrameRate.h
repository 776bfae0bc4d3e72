// HConstantFrameRate: keeps camera motion fluid on large models by trading detail for speed.
// While active, each frame time reported by the view (Watch) raises or lowers a detail
// level 0..kMaxLevel: level 0 draws everything; each level up switches the scene to a coarser
// level of detail during motion (rendering options "lod = on, lodo = (clamp = level)"): fewer
// tube sides and coarser shells, from level 2 items too small to see left out, at level 3 a
// frame of half the resolution scaled up.
// Stop restores full detail. Walk operators stop it for their lifetime.
#pragma once

#include <optional>
#include <string>

class HBaseView;

class HConstantFrameRate {
public:
    static constexpr int kMaxLevel = 3;
    // From this level on frames are drawn at half the resolution (ketra::render::
    // SetReducedResolution on the view) with the scene clamped to the level below it.
    static constexpr int kReducedLevel = 3;
    // A frame slower than this many budgets goes straight to kMaxLevel.
    static constexpr float kJumpFactor = 4.0f;
    // The first frame at a finer level whose drawing alone takes this many budgets sends the
    // motion back (its uploads of new buffers about double a level's drawing, no more).
    static constexpr float kFirstFrameFactor = 3.0f;
    // A level is not tried while the level finer than it was seen in this motion taking over
    // this many budgets: a level keeps well over an eighth of the drawing of the one finer
    // than it, so it would miss the budget too (and trying it costs its walk, meshes and
    // buffers, hundreds of megabytes on a large plant).
    static constexpr float kSkipFactor = 8.0f;
    // Frames after which a level seen too slow may be tried again in the same motion (about
    // five seconds at the default rate: a finer level that failed costs a stutter when tried).
    // Each time the same level is seen too slow again in that motion the wait doubles, up to
    // kMaxRetryFrames: a long orbit of a plant whose finer level stays out of reach would
    // otherwise stutter every few seconds.
    static constexpr int kRetryFrames = 48;
    static constexpr int kMaxRetryFrames = 16 * kRetryFrames;

    explicit HConstantFrameRate(HBaseView* view);

    // Target frames per second (> 0; other values are ignored). Default 20.
    void SetTargetFrameRate(float fps);
    float GetTargetFrameRate() const { return m_targetFps; }

    void Start();
    // Stops adapting and restores full detail on the scene.
    void Stop();
    bool GetActive() const { return m_active; }

    // Reports the time the last frame took. While active: slower than the target's budget by
    // more than 20 % raises the level (slower than kJumpFactor budgets: to kMaxLevel), faster
    // than half the budget lowers it, unless the finer level was seen missing the budget in
    // the last kRetryFrames frames of this motion (on a large model a finer level can cost
    // many budgets: trying it again every other frame would make the motion stutter).
    // Returns the level now in force (0 when inactive).
    int Watch(float frameSeconds);
    // Reports the first frame at a level just entered. Its time pays for the change (a new
    // walk, new meshes and buffers), so it is ignored, unless the level was entered going
    // finer and the frame's drawing alone (`drawSeconds`, without the walk; negative when
    // unknown) took more than kFirstFrameFactor budgets: then the level counts as seen too slow
    // and the motion goes straight back to the level it came from, rather than drawing
    // another frame at it first. Returns the level now in force (0 when inactive).
    int WatchFirstAtLevel(float drawSeconds);
    // The camera came to rest: back to full detail (stays active for the next motion).
    void EndMotion();
    int GetDetailLevel() const { return m_level; }

private:
    void ApplyLevel();

    HBaseView* m_view = nullptr;
    float m_targetFps = 20.0f;
    bool m_active = false;
    int m_level = 0;
    int m_previousLevel = 0;  // the level before the last change
    int m_appliedClamp = 0;  // the "lodo" clamp set on the scene (0: none)
    // This motion's last frame time at each level (negative: none yet) and the frame count
    // when it was seen; cleared when the motion ends.
    float m_levelSeconds[kMaxLevel + 1] = {-1, -1, -1, -1};
    int m_levelSeen[kMaxLevel + 1] = {0, 0, 0, 0};
    int m_retryAfter[kMaxLevel + 1] = {kRetryFrames, kRetryFrames, kRetryFrames, kRetryFrames};
    int m_frames = 0;
    void ForgetLevelTimes();
    void Record(int level, float seconds);
    // The scene's own "lod" option while a level is in force ("" when it had none).
    std::optional<std::string> m_savedLod;
};
