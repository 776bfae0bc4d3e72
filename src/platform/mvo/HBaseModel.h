// HBaseModel: the model that one or more views show. It owns the model segment
// ("/include library/model_<n>", one per model object), which views include through their
// include link. Destroying the model deletes its segment.
#pragma once

#include "platform/io/HIOManager.h"

typedef long HC_KEY;

class HBaseView;

class HBaseModel {
public:
    HBaseModel();
    virtual ~HBaseModel();
    HBaseModel(const HBaseModel&) = delete;
    HBaseModel& operator=(const HBaseModel&) = delete;

    // Creates the model segment (idempotent). Call once before use.
    virtual void Init();
    // Key of the model segment; -1 before Init.
    HC_KEY GetModelKey() const { return m_modelKey; }
    // Key of "/include library" under which model segments live; -1 before Init.
    HC_KEY GetModelIncludeKey() const { return m_includeKey; }
    // Deletes everything in the model segment (geometry, subsegments, attributes).
    virtual void Flush();

    // Writes the model to a file, by extension: ".hmf" a metafile of the model segment,
    // ".hsf" the scene stream of the model segment (both with the library segments the model
    // includes, so the file shows the same in a new process), any other extension the registered
    // output handler for it with the model segment's key. Images are pictures of the model
    // as `view` shows it (its driver segment: camera, lights) at the options' pixel size.
    // view may be null. Returns OutputBadFileName for an empty path, OutputNotHandled when no
    // handler serves the extension.
    virtual HFileOutputResult FileOutput(const char* fileName, HBaseView* view,
                                         HOutputHandlerOptions* options = nullptr);

    bool GetModelChanged() const { return m_changed; }
    void SetModelChanged(bool changed = true) { m_changed = changed; }

private:
    HC_KEY m_modelKey = -1;
    HC_KEY m_includeKey = -1;
    bool m_changed = false;
};
