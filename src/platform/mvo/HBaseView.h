// HBaseView: one view of a model in a window (or offscreen). It owns a display segment under
// "/driver" and the segment tree below it (see README.md in this folder for the layout), the
// camera (on the scene segment), the current operator, the selection set, the event and markup
// managers and the constant-frame-rate object.
//
// A headless view needs no window:
//     HBaseModel model; model.Init();
//     HBaseView view(&model);            // driver type null: "/driver/null/<name>"
//     view.Init();
//     ... build geometry under model.GetModelKey() ...
//     view.ZoomToExtents(); view.Update();   // renders offscreen when the renderer is linked
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/io/HIOManager.h"
#include "platform/mvo/HCamera.h"
#include "platform/mvo/HEventManager.h"
#include "platform/mvo/HPoint.h"

typedef long HC_KEY;

class HBaseModel;
class HBaseOperator;
class HConstantFrameRate;
class HEventInfo;
class HMarkupManager;
class HSelectionSet;
class HTClient;

// Render modes. The numbers are fixed: the component's commands pass and compare them.
enum HRenderMode {
    HRenderUnknown = 0,
    HRenderWireframe = 1,
    HRenderWireframeWithSilhouette = 2,
    HRenderSilhouette = 3,  // two-line mode
    HRenderHiddenLine = 4,
    HRenderHiddenLineFast = 5,
    HRenderBRepHiddenLine = 6,
    HRenderBRepHiddenLineFast = 7,
    HRenderGouraud = 8,
    HRenderFlat = 9,
    HRenderGouraudWithEdges = 10,
    HRenderFlatWithEdges = 11,
    HRenderPhong = 12,
    HRenderPhongWithEdges = 13,
    HRenderGouraudWithLines = 14,
    HRenderFlatWithLines = 15,
    HRenderPhongWithLines = 16,
    HRenderShadedWireframe = 17,
    HRenderLoRes = 18,
    HRenderMarkers = 19,  // marker mode: coarsest level of detail with a marker per vertex
};

// Projection modes (numbers fixed as the commands pass them).
enum HProjMode {
    ProjUnknown = 0,
    ProjPerspective = 1,
    ProjOrthographic = 2,
    ProjStretched = 3,
};

// Standard views. The world is Z-up. Names of the plane views "AB" follow the component's
// menus, which show 1 as Front, 2 Back, 3 Bottom, 4 Top, 5 Right, 6 Left: each plane view
// gives exactly the camera of that standard view. Directions (eye seen from the target):
//   Front 20 (and XY 1): eye at -Y, up +Z        Back 21 (YX 2):   eye at +Y, up +Z
//   Right 22 (YZ 5):     eye at +X, up +Z        Left 23 (ZY 6):   eye at -X, up +Z
//   Top 24 (ZX 4):       eye at +Z, up +Y        Bottom 25 (XZ 3): eye at -Z, up -Y
//   Iso SE 16 (and Iso 7): eye along (1,-1,1)    Iso SW 17: (-1,-1,1)
//   Iso NE 18: (1,1,1)                           Iso NW 19: (-1,1,1)        all up +Z
// Unknown 26 (and HViewNone) leave the camera as it is.
enum ViewMode {
    HViewNone = 0,
    HViewXY = 1,
    HViewYX = 2,
    HViewXZ = 3,
    HViewZX = 4,
    HViewYZ = 5,
    HViewZY = 6,
    HViewIso = 7,
    HViewIsoSE = 16,
    HViewIsoSW = 17,
    HViewIsoNE = 18,
    HViewIsoNW = 19,
    HViewFront = 20,
    HViewBack = 21,
    HViewRight = 22,
    HViewLeft = 23,
    HViewTop = 24,
    HViewBottom = 25,
    HViewUnknown = 26,
};

enum HandednessMode { HandednessLeft = 0, HandednessRight = 1, HandednessNotSet = 2 };

// The axis triad window in the lower-left corner: 0 hides it; 1, 2 and 3 show it (the
// values are kept apart for hosts that cycle through them; all three draw the same triad).
enum AxisMode { AxisOff = 0, AxisOn = 1, AxisCenter = 2, AxisOnAndCenter = 3 };

class HBaseView : public HUpdateListener, public HMouseListener, public HObjectManipulationListener {
public:
    // model must outlive the view and be Init-ed. alias names the display segment (default
    // "view<N>"); driverType null or "" or "null" means headless (offscreen); instanceName,
    // when given, wins over alias as the display segment name. windowHandle and colorMap are
    // kept for the window layer; the remaining arguments are accepted and unused.
    explicit HBaseView(HBaseModel* model, const char* alias = nullptr,
                       const char* driverType = nullptr, const char* instanceName = nullptr,
                       long windowHandle = 0, long colorMap = 0, void* clipOverride = nullptr,
                       void* windowHandle2 = nullptr, const char* driverPath = nullptr);
    // Deletes the current operator, the selection set and the display segment; tells update
    // listeners ViewDestroyedEvent first.
    ~HBaseView() override;
    HBaseView(const HBaseView&) = delete;
    HBaseView& operator=(const HBaseView&) = delete;

    // Whether Init installs the renderer's display driver (default true). Tests that must
    // not render call SetAutoInstallDisplayDriver(false) before creating views.
    static void SetAutoInstallDisplayDriver(bool on);

    // Builds the segment tree, default attributes, lights, camera (Iso view of a unit box),
    // the selection set (a plain HSelectionSet unless one was installed) and the managers.
    virtual void Init();
    // Draws the view (HC_Control_Update_By_Key on the display segment, then
    // HC_Update_Display). Headless views render offscreen once the renderer's display
    // driver is installed (Init installs it). While the camera moves and the constant-frame-
    // rate object is started, the last frame's time sets the motion detail; a frame drawn at
    // reduced detail arms a timer (HTManager) that calls Update again kMotionRestSeconds
    // after the last such frame, so the full-detail frame follows when the motion stops.
    virtual void Update();

    // Keys of the segment tree (valid after Init; -1 before).
    HC_KEY GetViewKey() const { return m_viewKey; }
    HC_KEY GetSceneKey() const { return m_sceneKey; }
    HC_KEY GetModelKey() const;
    HC_KEY GetIncludeLinkKey() const { return m_includeLinkKey; }
    HC_KEY GetLightsKey() const { return m_lightsKey; }
    HC_KEY GetCuttingPlanesKey() const { return m_cuttingPlanesKey; }
    HC_KEY GetCuttingPlaneGeomKey() const { return m_cuttingPlaneGeomKey; }
    HC_KEY GetWindowspaceKey() const { return m_windowspaceKey; }
    HC_KEY GetOverwriteKey() const { return m_overwriteKey; }
    HC_KEY GetAxisTriadKey() const { return m_axisKey; }
    /// The triad drawn in the scene at the camera target (axis modes 2 and 3).
    HC_KEY GetCenterAxisTriadKey() const { return m_centerAxisKey; }
    HBaseModel* GetModel() const { return m_model; }
    const std::string& GetDriverType() const { return m_driverType; }
    bool IsHeadless() const { return m_headless; }
    long GetWindowHandle() const { return m_windowHandle; }
    long GetColorMap() const { return m_colorMap; }
    // Window size in pixels (from the display's "pixels" device information).
    void GetWindowSizeInPixels(int& width, int& height) const;
    // Sets the display's window size ("window size = (W pixels, H pixels)").
    void SetWindowSizeInPixels(int width, int height);

    // Current operator. The view owns it: SetOperator replaces the pointer without deleting
    // the previous one (callers that replace an operator delete the old one themselves), the
    // destructor deletes the current one.
    HBaseOperator* GetOperator() const { return m_operator; }
    virtual void SetOperator(HBaseOperator* op);
    // Emits the event to the mouse listeners, then hands it to the current operator
    // (HBaseOperator::Dispatch); wheel events that no operator handles zoom the view. Returns
    // the operator's result (HOP_NOT_HANDLED without one; the zoom's result for the wheel).
    int InjectEvent(HEventInfo& event);

    // Selection set. The view owns it; SetSelection deletes the previous one.
    HSelectionSet* GetSelection() const { return m_selection; }
    void SetSelection(HSelectionSet* selection);

    // Render modes: set rendering options and visibility on the scene segment and tell the
    // renderer (see README.md). emitMessage only counts for listeners.
    virtual void SetRenderMode(HRenderMode mode, bool emitMessage = false);
    HRenderMode GetRenderMode() const { return m_renderMode; }
    void RenderGouraud() { SetRenderMode(HRenderGouraud); }
    void RenderFlat() { SetRenderMode(HRenderFlat); }
    void RenderWireframe() { SetRenderMode(HRenderWireframe); }
    void RenderSilhouette() { SetRenderMode(HRenderSilhouette); }
    void RenderHiddenLineFast() { SetRenderMode(HRenderHiddenLineFast); }

    virtual void SetProjMode(HProjMode mode);
    HProjMode GetProjMode() const { return m_projMode; }

    // Sets a standard view about the model's bounding box (see ViewMode). fitWorld true fits
    // the model into the field, false keeps the target distance and field. emitMessage
    // notifies camera listeners.
    virtual void SetViewMode(ViewMode mode, bool emitMessage = false, bool fitWorld = true);
    ViewMode GetViewMode() const { return m_viewMode; }
    void SetViewModeValue(ViewMode mode) { m_viewMode = mode; }

    // Fits the camera to the bounding box of the scene: target at the box centre, same
    // direction and up vector, field = the box diagonal. An empty scene fits the unit box.
    virtual void ZoomToExtents();
    // Same as ZoomToExtents without smooth transition.
    void FitWorld();
    // The camera set by Init (or the last SetViewMode/ZoomToExtents that fitted the model).
    void ZoomToInitialCamera();

    // Conversions through the scene camera and the window's aspect ratio. Window points are
    // local window coordinates (-1..1, y up) with z = 0 on the plane through the camera
    // target facing the camera; viewpoint space has the eye at the origin, +z towards the
    // target.
    HPoint WindowToWorld(const HPoint& window) const;
    HPoint WorldToWindow(const HPoint& world) const;
    HPoint WorldToViewpoint(const HPoint& world) const;
    HPoint ViewpointToWorld(const HPoint& viewpoint) const;
    // Width / height of the window in pixels (1 when unknown).
    double GetWindowAspect() const;

    void GetCamera(HCamera& camera) const;
    void SetCamera(const HCamera& camera);
    // Called after every camera change: marks the camera changed, moves the axis triad and
    // tells update listeners (CameraChangedEvent) when emitMessage is true or listeners exist.
    virtual void CameraPositionChanged(bool emitMessage = false, bool smoothTransition = false);
    // Number of CameraPositionChanged calls (tests and hosts use it to see a camera move).
    unsigned int GetCameraChangeCount() const { return m_cameraChanges; }

    void SetHandedness(HandednessMode handedness, bool emitMessage = false);
    HandednessMode GetHandedness() const { return m_handedness; }

    void SetAxisMode(AxisMode mode);
    AxisMode GetAxisMode() const { return m_axisMode; }
    // Lays out the axis triad window in the lower-left corner (a square of 1/5 of the
    // shorter window side) and turns its camera with the view's.
    void AdjustAxisWindowEx();

    bool GetSmoothTransition() const { return m_smoothTransition; }
    void SetSmoothTransition(bool on) { m_smoothTransition = on; }

    // Key-state callback: tells whether a key (Windows virtual-key code, e.g. 0x57 'W',
    // 0x10 Shift) is held now. The view window installs its own; operators that poll the
    // keyboard (the walk) call GetKeyState. Without a callback every key reads as up.
    void SetKeyStateCallback(std::function<bool(unsigned int virtualKey)> callback)
    {
        m_keyState = std::move(callback);
    }
    bool GetKeyState(unsigned int virtualKey) const { return m_keyState && m_keyState(virtualKey); }

    HConstantFrameRate* GetConstantFrameRateObject() const { return m_frameRate.get(); }
    // After a motion drawn at reduced detail, the view asks for the full-detail frame itself
    // (an Update with the camera at rest) when no motion frame followed for this long.
    static constexpr float kMotionRestSeconds = 0.3f;
    HEventManager* GetEventManager() { return &m_eventManager; }
    HMarkupManager* GetMarkupManager() const { return m_markupManager.get(); }

    void SetAnnotationResize(bool on) { m_annotationResize = on; }
    bool GetAnnotationResize() const { return m_annotationResize; }
    // Hide overlapped text: the flag is kept for the annotation layer and the scene gets the
    // heuristic "hide overlapped text" / "no hide overlapped text".
    void SetHideOverlappedText(bool on);
    bool GetHideOverlappedText() const { return m_hideOverlappedText; }
    // Backplane culling: scene heuristics "backplane cull" / "no backplane cull".
    void SetBackplaneCulling(bool on);
    bool GetBackplaneCulling() const { return m_backplaneCulling; }
    // Light follows camera: the scene's distant light is kept in camera space.
    void SetLightFollowsCamera(bool on);
    bool GetLightFollowsCamera() const { return m_lightFollowsCamera; }

    void SetGeometryChanged(bool changed = true) { m_geometryChanged = changed; }
    bool GetGeometryChanged() const { return m_geometryChanged; }
    bool GetEmitMessages() const { return m_emitMessages; }
    void SetEmitMessages(bool on) { m_emitMessages = on; }

    // Writes what the view shows through an output handler (images render the display
    // segment). A null handler finds one from the file's extension. Returns
    // OutputNotHandled when none exists, OutputBadFileName for an empty name.
    virtual HFileOutputResult FileOutput(const char* fileName, HOutputHandler* handler,
                                         HOutputHandlerOptions* options);

    // HMouseListener: the wheel zooms about the cursor (one notch of 120 = 10 %).
    int OnMouseWheel(HEventInfo& event) override;

protected:
    // Applies the projection to the scene camera without touching the mode value.
    void ApplyProjection();
    // Bounding box of everything the scene shows, false when it shows nothing.
    bool ComputeSceneExtents(HPoint& minimum, HPoint& maximum) const;
    // Camera that looks at the box along `eyeDirection` (from target to eye) with `up`.
    HCamera FitCameraToBox(const HPoint& minimum, const HPoint& maximum, const HPoint& eyeDirection,
                           const HPoint& up) const;

    HBaseModel* m_model = nullptr;
    std::string m_alias;
    std::string m_driverType;
    std::string m_displayPath;
    bool m_headless = true;
    long m_windowHandle = 0;
    long m_colorMap = 0;

    HC_KEY m_viewKey = -1;
    HC_KEY m_sceneKey = -1;
    HC_KEY m_includeLinkKey = -1;
    HC_KEY m_lightsKey = -1;
    HC_KEY m_cuttingPlanesKey = -1;
    HC_KEY m_cuttingPlaneGeomKey = -1;
    HC_KEY m_windowspaceKey = -1;
    HC_KEY m_overwriteKey = -1;
    HC_KEY m_axisKey = -1;
    HC_KEY m_centerAxisKey = -1;
    HC_KEY m_markupKey = -1;
    // What AdjustAxisWindowEx last set on the triads, so a camera move that leaves them as
    // they were changes nothing in the scene (which would make every view walk it again).
    struct AxisPlacement {
        double width = -1, height = -1;  // the corner triad's window
        bool corner = false;
        bool center = false;
        float size = 0;  // the centre triad's scale and place
        HPoint target;
        bool operator==(const AxisPlacement&) const = default;
    };
    std::optional<AxisPlacement> m_cornerAxisSet, m_centerAxisSet;

    HBaseOperator* m_operator = nullptr;
    HSelectionSet* m_selection = nullptr;
    HRenderMode m_renderMode = HRenderGouraud;
    HProjMode m_projMode = ProjOrthographic;
    ViewMode m_viewMode = HViewIso;
    HandednessMode m_handedness = HandednessRight;
    AxisMode m_axisMode = AxisOff;
    bool m_smoothTransition = false;
    bool m_annotationResize = false;
    bool m_hideOverlappedText = false;
    bool m_backplaneCulling = false;
    bool m_lightFollowsCamera = false;
    bool m_geometryChanged = false;
    bool m_emitMessages = true;
    bool m_initialised = false;
    unsigned int m_cameraChanges = 0;
    HCamera m_initialCamera;
    HCamera m_motionCamera;          // the camera of the last Update
    std::uint64_t m_seenFrame = 0;    // the number of the last frame of this view Update judged
    bool m_levelJustChanged = false;  // the last Update changed the motion detail level
    int m_requestedLevel = 0;         // the detail level of the frame the last Update asked for
    // The time of a full-detail frame that an Update at rest took in (an exposure's): what
    // the first frame of the next motion would cost, judged when that motion starts.
    double m_restFrameSeconds = 0;
    // Asks for the full-detail frame once the camera has rested kMotionRestSeconds after a
    // motion frame drawn at reduced detail (HTManager time; the window layer ticks it).
    std::unique_ptr<HTClient> m_restTimer;
    static bool MotionRestTick(float requestTime, float actualTime, void* view);
    void ArmRestTimer();
    void FrameShown();

    HEventManager m_eventManager;
    std::function<bool(unsigned int)> m_keyState;
    std::unique_ptr<HConstantFrameRate> m_frameRate;
    std::unique_ptr<HMarkupManager> m_markupManager;
};
