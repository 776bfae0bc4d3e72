// Listener interfaces of the view layer and the event manager that calls them. A view's
// event manager delivers camera changes, view destruction, mouse and key events and object
// manipulations to every registered listener, in registration order. Listeners are not owned;
// a listener must unregister before it is destroyed (the manager tolerates unregistering
// from inside a callback).
#pragma once

#include <cstddef>
#include <vector>

typedef long HC_KEY;

class HBaseView;
class HEventInfo;

class HUpdateListener {
public:
    virtual ~HUpdateListener() = default;
    virtual int CameraChangedEvent(HBaseView* view) { (void)view; return 0; }
    virtual int ViewDestroyedEvent(HBaseView* view) { (void)view; return 0; }
    virtual int SmoothTransitionEvent(HBaseView* view) { (void)view; return 0; }
    // The view's window changed size (HBaseView::SetWindowSizeInPixels with a new size).
    virtual int WindowResizedEvent(HBaseView* view) { (void)view; return 0; }
};

class HMouseListener {
public:
    virtual ~HMouseListener() = default;
    virtual int OnLButtonDown(HEventInfo& event) { (void)event; return 0; }
    virtual int OnLButtonUp(HEventInfo& event) { (void)event; return 0; }
    virtual int OnMouseMove(HEventInfo& event) { (void)event; return 0; }
    virtual int OnMouseWheel(HEventInfo& event) { (void)event; return 0; }
    virtual int OnKeyDown(HEventInfo& event) { (void)event; return 0; }
    virtual int OnKeyUp(HEventInfo& event) { (void)event; return 0; }
};

class HObjectManipulationListener {
public:
    virtual ~HObjectManipulationListener() = default;
    // An object (segment) was moved, rotated or deleted through an operator.
    virtual int ObjectMovedEvent(HBaseView* view, HC_KEY key) { (void)view; (void)key; return 0; }
    virtual int ObjectDeletedEvent(HBaseView* view, HC_KEY key) { (void)view; (void)key; return 0; }
    virtual int SetupHandlesEvent(HBaseView* view, HC_KEY key, bool complex)
    { (void)view; (void)key; (void)complex; return 0; }
};

class HEventManager {
public:
    void RegisterHandler(HUpdateListener* listener);
    void RegisterHandler(HMouseListener* listener);
    void RegisterHandler(HObjectManipulationListener* listener);
    void UnRegisterHandler(HUpdateListener* listener);
    void UnRegisterHandler(HMouseListener* listener);
    void UnRegisterHandler(HObjectManipulationListener* listener);

    void EmitCameraChanged(HBaseView* view);
    void EmitViewDestroyed(HBaseView* view);
    void EmitWindowResized(HBaseView* view);
    // Mouse/key events: calls the handler named by the event type on each mouse listener
    // (HE_KeyDown -> OnKeyDown ...). Returns the last non-zero result, 0 when none.
    int EmitMouseEvent(HEventInfo& event);
    void EmitObjectMoved(HBaseView* view, HC_KEY key);
    void EmitObjectDeleted(HBaseView* view, HC_KEY key);

    std::size_t UpdateListenerCount() const;
    std::size_t MouseListenerCount() const;

private:
    template <class T> static void Remove(std::vector<T*>& list, T* item);
    std::vector<HUpdateListener*> m_update;
    std::vector<HMouseListener*> m_mouse;
    std::vector<HObjectManipulationListener*> m_object;
};
