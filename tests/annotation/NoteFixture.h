// A headless view window with its view and a recording port for the note and markup tests:
// the window's annotation hooks are recorded, the markup settings saved and restored.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "annotation/HKetraUtilityAnnotation.h"
#include "config/CAppSettings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HEventInfo.h"
#include "platform/window/RecordingPort.h"
#include "view/window/CHoopsViewEx.h"
#include "view/HMyBaseView.h"

namespace notetest {

class HookWindow : public CHoopsViewEx {
public:
    using CHoopsViewEx::CHoopsViewEx;
    void set_status_view_to_be_restored(bool restore) override
    {
        hooks.push_back(std::string("restore ") + (restore ? "true" : "false"));
    }
    void InsertAnnotations(long key, const char* text, HKetraUtilityAnnotation* note) override
    {
        hooks.push_back(std::string("insert ") + text);
        insertedKey = key;
        insertedNote = note;
    }
    void UpdateAnnotations(long key, HKetraUtilityAnnotation* note) override
    {
        hooks.push_back("update");
        updatedKey = key;
        (void)note;
    }
    std::vector<std::string> hooks;
    long insertedKey = -1, updatedKey = -1;
    HKetraUtilityAnnotation* insertedNote = nullptr;
};

inline std::string Compact(std::string text)
{
    std::string out;
    for (char c : text)
        if (c != ' ')
            out.push_back(c);
    return out;
}

inline std::string KeyType(long key)
{
    char type[64] = "";
    HC_Show_Key_Type(key, type);
    return type;
}

// An axis-aligned box shell from mn to mx in the open segment.
inline long InsertBox(const HPoint& mn, const HPoint& mx)
{
    const HPoint p[8] = {{mn.x, mn.y, mn.z}, {mx.x, mn.y, mn.z}, {mx.x, mx.y, mn.z}, {mn.x, mx.y, mn.z},
                         {mn.x, mn.y, mx.z}, {mx.x, mn.y, mx.z}, {mx.x, mx.y, mx.z}, {mn.x, mx.y, mx.z}};
    const int faces[] = {4, 0, 3, 2, 1, 4, 4, 5, 6, 7, 4, 0, 1, 5, 4, 4, 1, 2, 6, 5, 4, 2, 3, 7, 6, 4, 3, 0, 4, 7};
    return HC_Insert_Shell(8, p, static_cast<int>(sizeof(faces) / sizeof(int)), faces);
}

class NoteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HBaseView::SetAutoInstallDisplayDriver(false);
        m_fontSize = CAppSettings::AnnotationFontSize;
        m_lineWeight = CAppSettings::AnnotationLineWeight;
        m_backgroundType = CAppSettings::AnnotationBackgroundType;
        m_fontColor = CAppSettings::AnnotationFontColor;
        CAppSettings::AnnotationFontSize = L"8.0 pts";
        CAppSettings::AnnotationLineWeight = L"2.000";
        CAppSettings::AnnotationBackgroundType = 2;
        model = std::make_unique<HBaseModel>();
        model->Init();
        view = new HMyBaseView(model.get(), nullptr, nullptr, nullptr, 0, 0);
        view->Init();
        view->SetWindowSizeInPixels(400, 400);
        window = std::make_unique<HookWindow>(&port);
        window->SetHoopsViewEx(view, true);
        // The model: a box in front of the camera, the view looking down -Y (front view).
        HC_Open_Segment_By_Key(model->GetModelKey());
        box = InsertBox({-1, -1, -1}, {1, 1, 1});
        HC_Close_Segment();
        view->SetViewMode(HViewFront);
        // The box fills the middle of the window (about -0.36 .. 0.36), leaving empty space.
        HC_Open_Segment_By_Key(view->GetSceneKey());
        HC_Zoom_Camera(0.4);
        HC_Close_Segment();
    }
    void TearDown() override
    {
        window.reset();
        model.reset();
        CAppSettings::AnnotationFontSize = m_fontSize;
        CAppSettings::AnnotationLineWeight = m_lineWeight;
        CAppSettings::AnnotationBackgroundType = m_backgroundType;
        CAppSettings::AnnotationFontColor = m_fontColor;
    }

    int Mouse(HEventType type, float x, float y, unsigned int flags = 0)
    {
        HEventInfo event(view);
        event.SetPoint(type, x, y, flags);
        return view->InjectEvent(event);
    }
    int Key(unsigned int character)
    {
        HEventInfo event(view);
        event.SetKey(HE_KeyDown, character, 1, 0);
        return view->InjectEvent(event);
    }
    // Window position (local window, -1..1) of a world point.
    HPoint ToWindow(const HPoint& world) const { return view->WorldToWindow(world); }

    ketra::window::RecordingPort port;
    std::unique_ptr<HBaseModel> model;
    HMyBaseView* view = nullptr; // owned by the window
    std::unique_ptr<HookWindow> window;
    long box = -1;

private:
    std::wstring m_fontSize, m_lineWeight;
    int m_backgroundType = 2;
    std::uint32_t m_fontColor = 0;
};

} // namespace notetest
