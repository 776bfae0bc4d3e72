#include "platform/ui/KeysAndMouseDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ketra::ui {

const std::vector<std::pair<const char*, const char*>>& KeysAndMouseDialog::Rows() {
    static const std::vector<std::pair<const char*, const char*>> rows = {
        {"Left drag", "The current tool (orbit, pan, zoom, zoom window, select, walk)"},
        {"Middle drag", "Pan, whatever the tool"},
        {"Right click", "Context menu"},
        {"Wheel", "Zoom in and out"},
        {"Left / Right arrow", "Orbit (pan with the pan tool) left and right"},
        {"Up / Down arrow", "Orbit (pan with the pan tool) up and down"},
        {"+ / -", "Zoom in / out"},
        {"W / S", "Walk forward / back (walk tool, keyboard walk on)"},
        {"A / D", "Step left / right (walk tool)"},
        {"Q / Z", "Rise / sink (walk tool)"},
        {"Delete", "Delete the selection or the note under the cursor"},
        {"Enter / Escape", "Finish a split of the views"},
    };
    return rows;
}

KeysAndMouseDialog::KeysAndMouseDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Keys and Mouse");
    auto* layout = new QVBoxLayout(this);
    const auto& rows = Rows();
    m_table = new QTableWidget(static_cast<int>(rows.size()), 2, this);
    m_table->setHorizontalHeaderLabels({"Input", "Action"});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        m_table->setItem(i, 0, new QTableWidgetItem(rows[static_cast<size_t>(i)].first));
        m_table->setItem(i, 1, new QTableWidgetItem(rows[static_cast<size_t>(i)].second));
    }
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeColumnToContents(0);
    layout->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, 420);
}

} // namespace ketra::ui
