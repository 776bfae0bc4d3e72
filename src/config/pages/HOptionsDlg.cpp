// The Options dialog's page map and its OK and Cancel.
#include "config/pages/HOptionsDlg.h"

#include "config/HOpConfig.h"
#include "config/StyleLibrary.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseView.h"
#include "config/pages/CConfig.h"
#include "config/pages/COptionPages.h"

HOptionsDlg::HOptionsDlg(HOpConfig& config, std::vector<HBaseView*> views,
                         ketra::window::WindowPort* port)
    : m_config(config), m_views(std::move(views)), m_port(port) {}

HOptionsDlg::~HOptionsDlg() = default;

void HOptionsDlg::AddStandardPages() {
    AddPage(std::make_unique<CConfig>(m_config, m_port));
    AddPage(std::make_unique<CFontConfig>(m_config, m_port));
    AddPage(std::make_unique<CMarkerConfig>(m_config, m_port));
    AddPage(std::make_unique<CInvisible>(m_config, m_port));
    AddPage(std::make_unique<COutputOptions>(m_config, m_port));
    AddPage(std::make_unique<CUserOptions>(m_config, m_port));
}

CPropertyPage* HOptionsDlg::AddPage(std::unique_ptr<CPropertyPage> page) {
    if (!page)
        return nullptr;
    page->SetViews(m_views);
    CPropertyPage* raw = page.get();
    m_byCaption[raw->GetCaption()] = raw;
    m_pages.push_back(std::move(page));
    return raw;
}

CPropertyPage* HOptionsDlg::FindPage(const std::string& caption) const {
    const auto it = m_byCaption.find(caption);
    return it == m_byCaption.end() ? nullptr : it->second;
}

void HOptionsDlg::OnInitDialog() {
    for (const auto& page : m_pages)
        page->OnInitDialog();
    m_open = true;
}

void HOptionsDlg::OnOK() {
    if (!m_open)
        return;
    for (const auto& page : m_pages)
        page->OnApply();
    if (m_views.empty()) {
        StyleLibrary::ResetAllColors(m_config);
    } else {
        for (HBaseView* view : m_views) {
            StyleLibrary::ViewTargets targets;
            if (view)
                targets.cuttingPlaneSegment = view->GetCuttingPlanesKey();
            StyleLibrary::ResetAllColors(m_config, targets);
        }
    }
    StyleLibrary::ApplyDisplacedShapeStyle(m_config);
    for (HBaseView* view : m_views) {
        if (!view)
            continue;
        HC_Control_Update_By_Key(view->GetViewKey(), "redraw everything");
        view->Update();
    }
    m_open = false;
}

void HOptionsDlg::OnCancel() {
    if (!m_open)
        return;
    for (const auto& page : m_pages)
        page->OnCancel();
    m_open = false;
}
