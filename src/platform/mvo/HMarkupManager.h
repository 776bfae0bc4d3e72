// HMarkupManager: markup layers of one view. Each layer is a subsegment of the view's markup
// segment ("scene/markup/<layer name>"); markup operators draw into the current layer. A
// layer remembers the camera it was made with, and opening it again with setCamera true
// brings that camera back, so a reviewer's sketch lines up with the model again.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/mvo/HCamera.h"

typedef long HC_KEY;

class HBaseView;

class HMarkupManager {
public:
    // markupKey: the segment that holds the layers (the view's "scene/markup").
    HMarkupManager(HBaseView* view, HC_KEY markupKey);

    HC_KEY GetMarkupKey() const { return m_markupKey; }
    // Current layer, -1 when none is open.
    HC_KEY GetCurrentLayerKey() const { return m_currentLayer; }
    std::string GetCurrentLayerName() const;
    // Opens the layer `name` (creating it; null or "" makes a new layer "layer <n>") and
    // makes it current; the other layers are hidden. setCamera: a new layer stores the
    // view's camera, an existing one restores its stored camera. emitMessage: the change is
    // passed to the notification. Returns the layer's key.
    HC_KEY OpenLayer(const char* name, bool setCamera = true, bool emitMessage = true);
    // The subsegment `name` of the current layer (created when missing); when no layer is
    // current a new unnamed layer is opened first (setCamera and emitMessage true). -1 when
    // the markup segment is gone.
    HC_KEY GetLayerSubsegment(const char* name);
    // No current layer; every layer stays as it is.
    void DisableCurrentLayer() { m_currentLayer = -1; }
    // Deletes a layer by name; false when there is none.
    bool DeleteLayer(const char* name);
    std::vector<std::string> GetLayerNames() const;

    // Notification of a changed markup segment (for collaboration hosts): calls the callback
    // (if any) and counts the calls.
    void SetNotification(std::function<void(HC_KEY)> callback) { m_notify = std::move(callback); }
    void EmitMarkupSegment(HC_KEY segment);
    unsigned int GetNotificationCount() const { return m_notifications; }

private:
    HBaseView* m_view = nullptr;
    HC_KEY m_markupKey = -1;
    HC_KEY m_currentLayer = -1;
    unsigned int m_layerCounter = 0;
    std::map<HC_KEY, HCamera> m_cameras;
    std::function<void(HC_KEY)> m_notify;
    unsigned int m_notifications = 0;
};
