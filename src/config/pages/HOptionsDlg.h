// HOptionsDlg: the Options dialog without a toolkit. It keeps its pages by caption, opens
// them together, and forwards OK and Cancel to every page: OK applies each page, fills the
// style segments from the plot properties once more (so fonts and markers reach the scene
// too) and redraws every view it was given; Cancel writes nothing.
//
// Ownership: the dialog owns its pages. The configuration, the port and the views must
// outlive it.
#pragma once

#include "config/pages/CPropertyPage.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class HBaseView;
class HOpConfig;

class HOptionsDlg {
public:
    HOptionsDlg(HOpConfig& config, std::vector<HBaseView*> views,
                ketra::window::WindowPort* port = nullptr);
    ~HOptionsDlg();
    HOptionsDlg(const HOptionsDlg&) = delete;
    HOptionsDlg& operator=(const HOptionsDlg&) = delete;

    // The component's pages in tab order: CConfig, CFontConfig, CMarkerConfig, CInvisible,
    // COutputOptions, CUserOptions.
    void AddStandardPages();
    // Adds a page (its views are set to the dialog's). Returns it.
    CPropertyPage* AddPage(std::unique_ptr<CPropertyPage> page);
    const std::vector<std::unique_ptr<CPropertyPage>>& GetPages() const { return m_pages; }
    // The page with that caption, null when none.
    CPropertyPage* FindPage(const std::string& caption) const;
    template <typename Page> Page* Find() const {
        for (const auto& page : m_pages)
            if (auto* p = dynamic_cast<Page*>(page.get()))
                return p;
        return nullptr;
    }

    // Opens every page (reads values, builds previews, starts their timers).
    void OnInitDialog();
    // Applies every page, fills the style segments and redraws the views.
    void OnOK();
    // Closes every page; writes nothing.
    void OnCancel();
    bool IsOpen() const { return m_open; }

private:
    HOpConfig& m_config;
    std::vector<HBaseView*> m_views;
    ketra::window::WindowPort* m_port;
    std::vector<std::unique_ptr<CPropertyPage>> m_pages;
    std::map<std::string, CPropertyPage*> m_byCaption;
    bool m_open = false;
};
