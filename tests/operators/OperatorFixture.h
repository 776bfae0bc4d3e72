// Headless views for the operator tests: no display driver (Update does not render), a
// scripted keyboard behind the view's key-state callback, and a timer clock the test moves
// by hand (HTManager ticks at exact binary times, so step lengths are exact).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HCamera.h"
#include "platform/mvo/HEventInfo.h"
#include "platform/mvo/HTManager.h"

namespace optest {

inline void ExpectNear(const HPoint& a, const HPoint& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// Inserts an axis-aligned box shell from minimum to maximum into the open segment.
inline HC_KEY InsertBox(const HPoint& mn, const HPoint& mx) {
    const HPoint p[8] = {{mn.x, mn.y, mn.z}, {mx.x, mn.y, mn.z}, {mx.x, mx.y, mn.z},
                         {mn.x, mx.y, mn.z}, {mn.x, mn.y, mx.z}, {mx.x, mn.y, mx.z},
                         {mx.x, mx.y, mx.z}, {mn.x, mx.y, mx.z}};
    const int faces[] = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4,
                         4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7};
    return HC_Insert_Shell(8, p, static_cast<int>(sizeof(faces) / sizeof(int)), faces);
}

inline HCamera CameraOf(const HBaseView& view) {
    HCamera camera;
    view.GetCamera(camera);
    return camera;
}

inline void SetCamera(HBaseView& view, const HPoint& position, const HPoint& target,
                      const HPoint& up = HPoint(0, 0, 1), float field = 10.0f) {
    HCamera camera = CameraOf(view);
    camera.position = position;
    camera.target = target;
    camera.up_vector = up;
    camera.field_width = camera.field_height = field;
    view.SetCamera(camera);
}

// Sends a mouse event at local window (x, y) to the view's operator.
inline int Mouse(HBaseView& view, HEventType type, float x, float y, unsigned int flags = 0) {
    HEventInfo event(&view);
    event.SetPoint(type, x, y, flags);
    return view.InjectEvent(event);
}

class OperatorTest : public ::testing::Test {
protected:
    // One tick of the manual clock: exactly 1/64 s.
    static constexpr float kTick = 1.0f / 64.0f;

    void SetUp() override {
        HBaseView::SetAutoInstallDisplayDriver(false);
        m_savedClock = HTManager::Instance()->GetCurrentTime();
        HTManager::Instance()->SetCurrentTime(kStartTime);
        model = std::make_unique<HBaseModel>();
        model->Init();
        view = NewView();
    }
    void TearDown() override {
        view.reset();
        model.reset();
        HTManager::Instance()->SetCurrentTime(m_savedClock + 1000.0f);
    }

    // A headless view of the test's model with the scripted keyboard.
    std::unique_ptr<HBaseView> NewView() {
        auto made = std::make_unique<HBaseView>(model.get());
        made->Init();
        made->SetWindowSizeInPixels(400, 400);
        made->SetKeyStateCallback([this](unsigned int key) { return keysDown.count(key) > 0; });
        return made;
    }
    // Replaces the view's operator (deleting the old one).
    void Install(HBaseOperator* op) {
        delete view->GetOperator();
        view->SetOperator(op);
    }
    // Moves the clock on by `ticks` ticks, ticking the timer manager at each.
    void Advance(int ticks = 1) {
        for (int i = 0; i < ticks; ++i) {
            now += kTick;
            HTManager::Instance()->Tick(now);
        }
    }
    // Moves the clock on by `seconds` in one tick.
    void AdvanceSeconds(float seconds) {
        now += seconds;
        HTManager::Instance()->Tick(now);
    }
    int Mouse(HEventType type, float x, float y, unsigned int flags = 0) {
        return optest::Mouse(*view, type, x, y, flags);
    }
    HCamera Camera() const { return CameraOf(*view); }

    static constexpr float kStartTime = 64.0f;
    float now = kStartTime;
    std::set<unsigned int> keysDown;
    std::unique_ptr<HBaseModel> model;
    std::unique_ptr<HBaseView> view;

private:
    float m_savedClock = 0.0f;
};

} // namespace optest
