// The Options dialog frame.
#include "platform/ui/pages/OptionsDialog.h"

#include "config/CAppSettings.h"
#include "platform/ui/pages/OptionPageWidgets.h"
#include "config/pages/CColorBtn.h"
#include "config/pages/CPropertyPage.h"
#include "config/pages/HOptionsDlg.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ketra::ui {

OptionsDialog::OptionsDialog(HOpConfig& config, std::vector<HBaseView*> views, QWidget* parent)
    : QDialog(parent), m_logic(std::make_unique<HOptionsDlg>(config, std::move(views))) {
    setWindowTitle("Options");
    CColorBtn::Load();
    m_tabs = new QTabWidget(this);
    m_pages = MakeOptionPages(config, *m_logic, m_tabs);
    m_logic->OnInitDialog();
    for (PageWidget* page : m_pages) {
        m_tabs->addTab(page, QString::fromStdString(page->Page()->GetCaption()));
        page->Load();
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(buttons);
    resize(640, 480);
}

OptionsDialog::~OptionsDialog() {
    if (m_logic->IsOpen())
        m_logic->OnCancel();
}

void OptionsDialog::accept() {
    m_logic->OnOK();
    CColorBtn::Store();
    for (PageWidget* page : m_pages)
        if (page->Preview())
            page->Preview()->update();
    QDialog::accept();
}

void OptionsDialog::reject() {
    m_logic->OnCancel();
    QDialog::reject();
}

bool ShowOptionsDialog(QWidget* parent, HOpConfig& config, const std::vector<HBaseView*>& views,
                       bool saveSettings) {
    OptionsDialog dialog(config, views, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (saveSettings)
        CAppSettings::SaveSettings();
    return true;
}

} // namespace ketra::ui
