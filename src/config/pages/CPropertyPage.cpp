// Page base and the pages' preview view.
#include "config/pages/CPropertyPage.h"

#include "config/HOpConfig.h"
#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/render/SceneWalker.h"
#include "view/HBaseViewEx.h"

namespace {

ketra::render::Color ToRenderColor(unsigned long color) {
    return {static_cast<float>(color & 0xFF) / 255.0f,
            static_cast<float>((color >> 8) & 0xFF) / 255.0f,
            static_cast<float>((color >> 16) & 0xFF) / 255.0f};
}

} // namespace

PagePreview::PagePreview(const char* alias, int width, int height)
    : m_model(std::make_unique<HBaseModel>()) {
    m_model->Init();
    m_view = std::make_unique<HBaseViewEx>(m_model.get(), alias, "msw", nullptr, 0, 0);
    m_view->Init();
    m_view->SetWindowSizeInPixels(width, height);
    m_windowId = HC_Show_Device_Info(HC_Show_Segment(GetViewKey()).c_str(), "current window ID");
}

PagePreview::~PagePreview() {
    m_view.reset();
    m_model.reset();
}

HC_KEY PagePreview::GetViewKey() const {
    return m_view->GetViewKey();
}
HC_KEY PagePreview::GetSceneKey() const {
    return m_view->GetSceneKey();
}
HC_KEY PagePreview::GetModelKey() const {
    return m_model->GetModelKey();
}

HC_KEY PagePreview::DemoSegment() {
    if (m_demo == -1) {
        HC_Open_Segment_By_Key(GetModelKey());
        m_demo = HC_Open_Segment("ColorDemo");
        HC_Close_Segment();
        HC_Close_Segment();
    }
    return m_demo;
}

void PagePreview::Prepare(const char* visibility) {
    HC_Open_Segment_By_Key(m_view->GetAxisTriadKey());
    HC_Set_Visibility("everything=off");
    HC_Close_Segment();
    HC_Open_Segment_By_Key(GetModelKey());
    HC_Insert_Distant_Light(1, 1, -1);
    HC_Set_Visibility(visibility);
    HC_Close_Segment();
}

void PagePreview::SetWindowColor(const std::string& colorText) {
    HC_Open_Segment_By_Key(GetViewKey());
    HC_Set_Color(("windows=(" + colorText + ")").c_str());
    HC_Close_Segment();
}

void PagePreview::SetGradient(unsigned long top, unsigned long bottom) {
    ketra::render::SetWindowGradient(GetViewKey(), ToRenderColor(top), ToRenderColor(bottom));
}

void PagePreview::Orbit(double theta, double phi) {
    HC_Open_Segment_By_Key(GetSceneKey());
    HC_Orbit_Camera(theta, phi);
    HC_Close_Segment();
    Update();
}

void PagePreview::Fit() {
    m_view->SetViewMode(HViewIso, false, true);
    Update();
}

void PagePreview::SetSize(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    int oldWidth = 0, oldHeight = 0;
    m_view->GetWindowSizeInPixels(oldWidth, oldHeight);
    if (oldWidth != width || oldHeight != height)
        m_view->SetWindowSizeInPixels(width, height);
}

void PagePreview::Update() {
    HC_Control_Update_By_Key(GetViewKey(), "redraw everything");
    m_view->Update();
}

CPropertyPage::CPropertyPage(HOpConfig& config, ketra::window::WindowPort* port)
    : CWnd(port), m_config(config) {}

CPropertyPage::~CPropertyPage() {
    if (m_preview)
        Port().KillTimer(kPreviewTimer);
}

void CPropertyPage::OnInitDialog() {
    m_open = true;
}

void CPropertyPage::OnCancel() {
    ClosePreview();
    m_open = false;
}

void CPropertyPage::OnTimer(unsigned int id) {
    if (id == kPreviewTimer && m_preview)
        m_preview->Orbit(5, 0);
}

void CPropertyPage::ClosePreview() {
    if (!m_preview)
        return;
    Port().KillTimer(kPreviewTimer);
    m_preview.reset();
}

void CPropertyPage::RedrawViews() {
    for (HBaseView* view : m_views) {
        if (!view)
            continue;
        HC_Control_Update_By_Key(view->GetViewKey(), "redraw everything");
        view->Update();
    }
}
