// A headless model and view for the view-layer tests. No display driver is installed, so
// Update does not render; the scene graph is what the tests look at.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HCamera.h"
#include "platform/mvo/HEventInfo.h"

namespace mvotest {

inline void ExpectNear(const HPoint& a, const HPoint& b, float tolerance = 1e-4f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

inline std::string KeyType(HC_KEY key)
{
    char type[64] = "";
    HC_Show_Key_Type(key, type);
    return type;
}

// Inserts an axis-aligned box shell from minimum to maximum into the open segment.
inline HC_KEY InsertBox(const HPoint& mn, const HPoint& mx)
{
    const HPoint p[8] = {{mn.x, mn.y, mn.z}, {mx.x, mn.y, mn.z}, {mx.x, mx.y, mn.z}, {mn.x, mx.y, mn.z},
                         {mn.x, mn.y, mx.z}, {mx.x, mn.y, mx.z}, {mx.x, mx.y, mx.z}, {mn.x, mx.y, mx.z}};
    const int faces[] = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4, 4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7};
    return HC_Insert_Shell(8, p, static_cast<int>(sizeof(faces) / sizeof(int)), faces);
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HBaseView::SetAutoInstallDisplayDriver(false);
        model = std::make_unique<HBaseModel>();
        model->Init();
        view = std::make_unique<HBaseView>(model.get());
        view->Init();
        view->SetWindowSizeInPixels(400, 400);
    }
    void TearDown() override
    {
        view.reset();
        model.reset();
    }

    HCamera Camera() const
    {
        HCamera camera;
        view->GetCamera(camera);
        return camera;
    }

    // Sends a mouse event at local window (x, y) to the view's operator.
    int Mouse(HEventType type, float x, float y, unsigned int flags = 0)
    {
        HEventInfo event(view.get());
        event.SetPoint(type, x, y, flags);
        return view->InjectEvent(event);
    }

    // A left-button drag in `steps` moves; returns the release's result.
    int Drag(float x0, float y0, float x1, float y1, int steps = 4)
    {
        Mouse(HE_LButtonDown, x0, y0, MVO_LBUTTON);
        for (int i = 1; i <= steps; ++i) {
            const float t = static_cast<float>(i) / static_cast<float>(steps);
            Mouse(HE_MouseMove, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, MVO_LBUTTON);
        }
        return Mouse(HE_LButtonUp, x1, y1, 0);
    }

    std::unique_ptr<HBaseModel> model;
    std::unique_ptr<HBaseView> view;
};

} // namespace mvotest
