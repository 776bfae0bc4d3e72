// The component's camera operators: the library's orbit, pan, zoom, zoom-box and walk
// operators with keyboard control. Arrow keys orbit (orbit and zoom box, 5 degrees a press,
// left/right about the vertical through the target) or pan (1 degree); the zoom keys scale the
// field by 0.95 (in) or 1.05 (out). The pan operator also pans with the middle button, which
// the view window lends it. The walk operator keeps the view's constant-frame-rate object
// stopped for its whole life.
//
// Key codes are those HEventInfo::GetChar returns: 0x25 left, 0x26 up, 0x27 right, 0x28 down;
// 0x2B, 0x3D, 0x6B zoom in; 0x2D, 0x6D zoom out. MoveCamera/ZoomCamera return 1 when they
// moved the camera, 0 for keys they do not handle.
#pragma once

#include "platform/mvo/HOpCameraOrbit.h"
#include "platform/mvo/HOpCameraPan.h"
#include "platform/mvo/HOpCameraWalk.h"
#include "platform/mvo/HOpCameraZoom.h"
#include "platform/mvo/HOpCameraZoomBox.h"

class HConstantFrameRate;

namespace ketra::operators {
enum : unsigned int {
    kKeyLeft = 0x25,
    kKeyUp = 0x26,
    kKeyRight = 0x27,
    kKeyDown = 0x28,
    kKeyZoomIn = 0x6B,
    kKeyZoomOut = 0x6D,
};
// True for the keys that zoom in (0x2B, 0x3D, 0x6B) or out (0x2D, 0x6D).
bool IsZoomInKey(unsigned int key);
bool IsZoomOutKey(unsigned int key);
} // namespace ketra::operators

class HOpCameraOrbitEx : public HOpCameraOrbit {
public:
    explicit HOpCameraOrbitEx(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    int OnKeyDown(HEventInfo& event) override;
    const char* GetName() override;
    HBaseOperator* Clone() override;
    virtual int MoveCamera(unsigned int key);
    virtual int ZoomCamera(unsigned int key);
};

class HOpCameraPanEx : public HOpCameraPan {
public:
    explicit HOpCameraPanEx(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    int OnMButtonDown(HEventInfo& event) override;
    int OnMButtonUp(HEventInfo& event) override;
    int OnKeyDown(HEventInfo& event) override;
    const char* GetName() override;
    HBaseOperator* Clone() override;
    int OnMButtonDownAndMove(HEventInfo& event) override;
    virtual int MoveCamera(unsigned int key);
    virtual int ZoomCamera(unsigned int key);
};

class HOpCameraZoomEx : public HOpCameraZoom {
public:
    explicit HOpCameraZoomEx(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    int OnKeyDown(HEventInfo& event) override;
    const char* GetName() override;
    HBaseOperator* Clone() override;
    virtual int MoveCamera(unsigned int key);
};

class HOpCameraZoomBoxEx : public HOpCameraZoomBox {
public:
    explicit HOpCameraZoomBoxEx(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    int OnLButtonDblClk(HEventInfo& event) override;
    int OnKeyDown(HEventInfo& event) override;
    const char* GetName() override;
    HBaseOperator* Clone() override;
    virtual int MoveCamera(unsigned int key);
    virtual int ZoomCamera(unsigned int key);
};

class HOpCameraWalkEx : public HOpCameraWalk {
public:
    // Stops the view's constant-frame-rate object (when it has one) until destruction.
    explicit HOpCameraWalkEx(HBaseView* view = nullptr, int doRepeat = 0, int doCapture = 1);
    ~HOpCameraWalkEx() override;
    const char* GetName() override;
    HBaseOperator* Clone() override;

protected:
    HConstantFrameRate* m_pConstantFrameRate = nullptr;
};
