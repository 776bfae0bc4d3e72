#include "platform/ui/KeysAndMouseDialog.h"

#include "platform/ui/CommandHelp.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace ketra::ui {

std::vector<std::pair<std::string, std::string>> KeysAndMouseDialog::Rows() {
    std::vector<std::pair<std::string, std::string>> rows = {
        {"Mouse", ""},
        {"Left drag", "The current tool (orbit, pan, zoom, zoom window, select, walk)"},
        {"Middle drag", "Pan, whatever the tool"},
        {"Right click", "Context menu"},
        {"Wheel", "Zoom in and out"},
        {"Pointer at rest", "The element under it in the status bar: nodes, kind, sizes"},
        {"Double-click", "Properties of the element under the pointer"},
        {"Keys in the view", ""},
        {"Left / Right arrow", "Orbit (pan with the pan tool) left and right"},
        {"Up / Down arrow", "Orbit (pan with the pan tool) up and down"},
        {"+ / -", "Zoom in / out"},
        {"W / S", "Walk forward / back (walk tool, keyboard walk on)"},
        {"A / D", "Step left / right (walk tool)"},
        {"Q / Z", "Rise / sink (walk tool)"},
        {"Delete", "Delete the selection or the note under the cursor"},
        {"Enter / Escape", "Finish a split of the views"},
        {"Shortcuts", ""},
    };
    std::set<std::string> listed;
    for (const CommandHelp& help : CommandHelps())
        if (*help.keys && listed.insert(help.keys).second)
            rows.emplace_back(help.keys, std::string(help.name) + ": " + help.help);
    return rows;
}

KeysAndMouseDialog::KeysAndMouseDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Keys and Mouse");
    auto* layout = new QVBoxLayout(this);
    const auto rows = Rows();
    m_table = new QTableWidget(static_cast<int>(rows.size()), 2, this);
    m_table->setHorizontalHeaderLabels({"Input", "Action"});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setWordWrap(true);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const auto& [input, action] = rows[static_cast<size_t>(i)];
        auto* item = new QTableWidgetItem(QString::fromStdString(input));
        if (action.empty()) {  // a group's heading across both columns
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            m_table->setSpan(i, 0, 1, 2);
        }
        m_table->setItem(i, 0, item);
        m_table->setItem(i, 1, new QTableWidgetItem(QString::fromStdString(action)));
    }
    m_table->resizeColumnToContents(0);
    m_table->setColumnWidth(0, m_table->columnWidth(0) + 12);
    m_table->setColumnWidth(1, 470);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeRowsToContents();
    // Tall and wide enough for every row, within the screen.
    int height = m_table->horizontalHeader()->height() + 2 * m_table->frameWidth();
    for (int i = 0; i < m_table->rowCount(); ++i)
        height += m_table->rowHeight(i);
    const int width = m_table->columnWidth(0) + m_table->columnWidth(1) + 2 * m_table->frameWidth();
    m_table->setMinimumSize(width, std::min(height, screen() ? screen()->availableGeometry().height() - 120 : height));
    layout->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    adjustSize();
}

} // namespace ketra::ui
