// HBaseViewEx: the component's 3D view. HBaseView plus what the host and the geometry
// builders need: the symbol scale factor, the model's up direction, the host's project block,
// a camera undo history, the shell cache and owned heap blocks of the builders, a legend
// segment and a fit-to-selection camera move.
#pragma once

#include <list>
#include <string>

#include "view/ShellRecords.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HBaseView.h"
#include "view/HManageMotion.h"

// The host's project block: opaque to the component, only stored.
struct ENVIR_BLOCK;

// Vertical axis of the host model. Only kUpDirectionAlternate (64224, 0xFAE0) is singled
// out: such a model has the alternate vertical axis and builders rotate their up-dependent
// offsets for it. Every other value means the default axis.
enum UpDirection : int {
    UpDirectionDefault = 0,
    UpDirectionAlternate = 0xFAE0,
};

class HBaseViewEx : public HBaseView {
public:
    explicit HBaseViewEx(HBaseModel* model);
    // alias, driver type, instance name (each may be null), window and colour-map handles.
    HBaseViewEx(HBaseModel* model, const char* alias, const char* driverType,
                const char* instanceName, long windowHandle, long colorMap);
    // Frees the shell cache and owned blocks (Reset) and the motion history.
    ~HBaseViewEx() override;

    // Smooth transition from CAppSettings::bSmoothTransition, base Init, hide overlapped
    // text, the model's "LegendWindow" segment, triad key 0, backplane culling. The camera
    // moved flag is false afterwards (the initial camera is no move).
    void Init() override;
    void Update() override;
    void SetViewMode(ViewMode mode, bool emitMessage = false, bool fitWorld = true) override;
    // Sets the camera moved flag, then the base.
    void CameraPositionChanged(bool emitMessage = false, bool smoothTransition = false) override;
    // The base render mode plus the marker-mode scene options and the "/Style Library/nodeText"
    // depth range (see the .cpp for the rules); nothing extra for "Drafton Design Review".
    void SetRenderMode(HRenderMode mode, bool emitMessage = false) override;

    // Frees every shell cache entry's arrays and every owned block, then empties both lists.
    // The scene is not touched.
    virtual void Reset();
    virtual void RenderHiddenLine() { RenderHiddenLineFast(); }
    // Stores the host's project block (not owned) and its name (copied; null gives "").
    virtual void SetCurrentProject(ENVIR_BLOCK* project, char* name);
    virtual ENVIR_BLOCK* GetCurrentProject() { return m_project; }
    // The stored project name; the pointer stays valid until the next SetCurrentProject.
    virtual char* GetProjectName() { return m_projectName.data(); }

    int OnMouseWheel(HEventInfo& event) override { return HBaseView::OnMouseWheel(event); }

    UpDirection GetUpDirection() const { return m_upDirection; }
    void SetUpDirection(UpDirection direction) { m_upDirection = direction; }
    float GetSymbolScaleFactor() const { return m_symbolScaleFactor; }
    // Stores factor (any value, no range check) and returns the previous one.
    float SetSymbolScaleFactor(float factor);

    // Stored only; GetTriadKey answers from the "axis" segment instead.
    void SetTriadKey(long key) { m_triadKey = key; }
    // Key of the view segment's subsegment "axis" (created when missing).
    long GetTriadKey();
    long GetTriadLightKey() const { return m_triadLightKey; }
    void SetTriadLightKey(long key) { m_triadLightKey = key; }
    long GetLegendKey() const { return m_legendKey; }
    void SetLegendKey(long key) { m_legendKey = key; }
    // Read and write the current-operator pointer directly: nothing is started, stopped or
    // deleted.
    HBaseOperator* GetCurrentOperator() const { return m_operator; }
    void SetCurrentOperator(HBaseOperator* op) { m_operator = op; }
    int GetDraftonModelLoadedFlag() const { return m_draftonModelLoaded; }
    void SetDraftonModelLoadedFlag(int flag) { m_draftonModelLoaded = flag; }
    // The camera moved flag: set by every camera change, read and cleared by the host.
    bool Get_Camera_Position() const { return m_cameraMoved; }
    void Set_Camera_Position(bool moved) { m_cameraMoved = moved; }

    // Shell cache and owned blocks of the builders (stable references: std::list).
    std::list<SHELLS>& GetShellCache() { return m_shellCache; }
    std::list<POINTLIST>& GetOwnedBlocks() { return m_ownedBlocks; }
    // Hands a heap block (allocated with new HPoint[n]) to the view; freed by Reset.
    void AddOwnedBlock(HPoint* block);
    HManageMotion& GetManageMotion() { return m_motion; }

    // The field (width, height) that keeps the camera's apparent size when the eye is moved
    // to point: both scaled by |point - position| / |target - position|. A camera whose
    // target equals its position leaves width and height unchanged.
    void ComputeNewField(float& width, float& height, const HPoint& point, const HCamera& camera);
    // Zoom to Selection: fits the camera to the bounding box of the selection segment (the
    // newest selected key); a shell turns the camera to look along its mean face normal.
    // Nothing happens while the selection is empty.
    void FitWorldToHOOPSSelection();
    // Mean face normal of a shell, normalised, or (0,0,0) when the mean is shorter than 0.1
    // (|x|+|y|+|z|), the key is not a shell, or key is 0.
    static HPoint ShellAverageNormal(HC_KEY shellKey);

protected:
    UpDirection m_upDirection = UpDirectionDefault;
    float m_symbolScaleFactor = 1.0f;
    long m_triadKey = 0;
    long m_triadLightKey = 0;
    int m_draftonModelLoaded = 0;
    bool m_cameraMoved = false;
    std::list<SHELLS> m_shellCache;
    std::list<POINTLIST> m_ownedBlocks;
    HManageMotion m_motion;
    ENVIR_BLOCK* m_project = nullptr;
    std::string m_projectName;
    long m_legendKey = 0;
};
