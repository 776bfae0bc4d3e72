// The application's Options dialog (Tools > Options...): one tab per page of the component
// (colours, fonts, markers, transparency, displaced shape, user options) over an
// HOptionsDlg. OK applies every page and refreshes every view given; Cancel writes nothing.
//
//     #include "platform/ui/pages/OptionsDialog.h"
//     if (ketra::ui::ShowOptionsDialog(this, config, {&view}))
//         statusBar()->showMessage("Options applied");
//
// Needs a QApplication. The configuration and the views must outlive the dialog.
#pragma once

#include <QDialog>

#include <memory>
#include <vector>

class HBaseView;
class HOpConfig;
class HOptionsDlg;
class QTabWidget;

namespace ketra::ui {

class PageWidget;

class OptionsDialog final : public QDialog {
public:
    // Opens every page at once (values read, previews built, timers started). The colour
    // buttons' palette is loaded from the settings store.
    OptionsDialog(HOpConfig& config, std::vector<HBaseView*> views, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    // OK: applies every page (HOptionsDlg::OnOK) and stores the colour palette.
    void accept() override;
    // Cancel or Escape: closes every page, writing nothing.
    void reject() override;

    HOptionsDlg& Logic() { return *m_logic; }
    QTabWidget* Tabs() const { return m_tabs; }
    const std::vector<PageWidget*>& Pages() const { return m_pages; }

private:
    std::unique_ptr<HOptionsDlg> m_logic;
    QTabWidget* m_tabs = nullptr;
    std::vector<PageWidget*> m_pages;
};

// Shows the Options dialog modally over `parent`. Returns true when OK was pressed: the
// values are then written to the plot-properties file, the style segments refilled, every
// view in `views` redrawn and, with `saveSettings`, the settings store saved
// (CAppSettings::SaveSettings). Cancel changes nothing on disk.
bool ShowOptionsDialog(QWidget* parent, HOpConfig& config, const std::vector<HBaseView*>& views,
                       bool saveSettings = true);

} // namespace ketra::ui
