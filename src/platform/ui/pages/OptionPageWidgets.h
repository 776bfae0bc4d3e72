// The Qt pages of the Options dialog, one over each page class of the component. A page
// widget owns its port; the page itself belongs to the dialog's HOptionsDlg. Widgets decide
// nothing: they show what the page holds and pass each edit on.
#pragma once

#include "platform/ui/pages/PageSupport.h"

#include <QWidget>

#include <memory>
#include <vector>

class CPropertyPage;
class HOpConfig;
class HOptionsDlg;

namespace ketra::ui {

class PageWidget : public QWidget {
public:
    explicit PageWidget(QWidget* parent = nullptr);
    ~PageWidget() override;
    virtual CPropertyPage* Page() const = 0;
    // Fills the controls from the page (after the page's OnInitDialog).
    virtual void Load() = 0;
    PagePort& Port() { return *m_port; }
    // The preview widget, null for pages without one.
    PreviewWidget* Preview() const { return m_previewWidget; }

protected:
    // Makes the preview widget of the page (call after the page exists).
    PreviewWidget* MakePreview();

    std::unique_ptr<PagePort> m_port;
    PreviewWidget* m_previewWidget = nullptr;
};

// Creates the six pages (colours, fonts, markers, transparency, displaced shape, user
// options), adds each page to `dialog` and returns the widgets in tab order.
std::vector<PageWidget*> MakeOptionPages(HOpConfig& config, HOptionsDlg& dialog, QWidget* parent);

} // namespace ketra::ui
