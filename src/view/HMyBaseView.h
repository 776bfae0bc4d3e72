// HMyBaseView: the view the component's windows create. Init sets the scene's default
// colours, visibility and selectability, the "construction" and "parts" segments and the
// component's selection set.
#pragma once

#include "view/HBaseViewEx.h"

class HSelectionSet;

class HMyBaseView : public HBaseViewEx {
public:
    HMyBaseView(HBaseModel* model, const char* alias, const char* driverType,
                const char* instanceName, long windowHandle, long colorMap);

    void Init() override;

    long GetPartsKey() const { return m_partsKey; }
    long GetConstructionKey() const { return m_constructionKey; }

    // The selection set Init installs. The element registry registers a factory that makes
    // its HMySelectionSet; without one Init installs a plain HSelectionSet at segment level.
    // The set returned is owned by the view; Init calls its Init.
    using SelectionSetFactory = HSelectionSet* (*)(HBaseViewEx* view);
    static void SetSelectionSetFactory(SelectionSetFactory factory);
    static SelectionSetFactory GetSelectionSetFactory();

private:
    long m_partsKey = 0;
    int m_unused = 0;
    long m_constructionKey = 0;
    float m_unusedScale = 1.0f;
};
