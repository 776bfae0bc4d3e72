// A headless HMyBaseView over its own model, with the settings the view reads saved and
// restored around each test, and a shell that counts beeps.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/CAppSettings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/sys/Shell.h"
#include "view/HMyBaseView.h"

namespace viewtest {

class BeepCounter : public ketra::sys::Shell {
public:
    void Beep() override { ++beeps; }
    int beeps = 0;
};

inline void ExpectNear(const HPoint& a, const HPoint& b, float tolerance = 1e-4f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// A rendering option or visibility value of a segment with blanks removed ("" when unset).
inline std::string Compact(std::string text)
{
    std::string out;
    for (char c : text)
        if (c != ' ')
            out.push_back(c);
    return out;
}

inline std::string RenderingOption(const char* segment, const char* option)
{
    char value[4096] = "";
    HC_Open_Segment(segment);
    if (HC_Show_Existence((std::string("rendering options = ") + option).c_str()) > 0)
        HC_Show_One_Rendering_Option(option, value);
    HC_Close_Segment();
    return Compact(value);
}

inline std::string Visibility(HC_KEY segment, const char* which)
{
    char value[4096] = "";
    HC_Open_Segment_By_Key(segment);
    HC_Show_One_Net_Visibility(which, value);
    HC_Close_Segment();
    return Compact(value);
}

class ViewExTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HBaseView::SetAutoInstallDisplayDriver(false);
        savedPackage = CAppSettings::PackageName;
        savedSilhouette = CAppSettings::SilhouetteModeNodeTextAlwaysVisible;
        savedRendered = CAppSettings::RenderedModeNodeTextAlwaysVisible;
        savedShowMarkers = CAppSettings::ShowMarkers;
        savedMarkerSize = CAppSettings::PipeMarkerSymbolSize;
        ketra::sys::SetShell(&beepShell);
        model = std::make_unique<HBaseModel>();
        model->Init();
        view = std::make_unique<HMyBaseView>(model.get(), nullptr, nullptr, nullptr, 0, 0);
        view->Init();
        view->SetWindowSizeInPixels(300, 300);
    }
    void TearDown() override
    {
        view.reset();
        model.reset();
        ketra::sys::SetShell(nullptr);
        CAppSettings::PackageName = savedPackage;
        CAppSettings::SilhouetteModeNodeTextAlwaysVisible = savedSilhouette;
        CAppSettings::RenderedModeNodeTextAlwaysVisible = savedRendered;
        CAppSettings::ShowMarkers = savedShowMarkers;
        CAppSettings::PipeMarkerSymbolSize = savedMarkerSize;
    }
    HCamera Camera() const
    {
        HCamera camera;
        view->GetCamera(camera);
        return camera;
    }

    BeepCounter beepShell;
    std::unique_ptr<HBaseModel> model;
    std::unique_ptr<HMyBaseView> view;

private:
    std::wstring savedPackage;
    decltype(CAppSettings::SilhouetteModeNodeTextAlwaysVisible) savedSilhouette{};
    decltype(CAppSettings::RenderedModeNodeTextAlwaysVisible) savedRendered{};
    decltype(CAppSettings::ShowMarkers) savedShowMarkers{};
    decltype(CAppSettings::PipeMarkerSymbolSize) savedMarkerSize{};
};

} // namespace viewtest
