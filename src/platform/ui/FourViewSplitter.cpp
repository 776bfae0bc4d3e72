#include "platform/ui/FourViewSplitter.h"

#include <QSplitter>
#include <QVBoxLayout>

namespace ketra::ui {

FourViewSplitter::FourViewSplitter(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_rows = new QSplitter(Qt::Vertical, this);
    m_rows->setChildrenCollapsible(false);
    for (QSplitter*& row : m_columns) {
        row = new QSplitter(Qt::Horizontal, m_rows);
        row->setChildrenCollapsible(false);
        m_rows->addWidget(row);
    }
    layout->addWidget(m_rows);
}

void FourViewSplitter::SetPanes(const std::array<QWidget*, 4>& panes) {
    for (int i = 0; i < 4; ++i) {
        QWidget* pane = panes[static_cast<size_t>(i)];
        if (!pane)
            continue;
        pane->setMinimumSize(kMinimumPane, kMinimumPane);
        m_columns[static_cast<size_t>(i / 2)]->insertWidget(i % 2, pane);
        pane->show();
    }
    for (QSplitter* row : m_columns)
        row->setSizes({1000, 1000});
    m_rows->setSizes({1000, 1000});
}

QWidget* FourViewSplitter::Pane(int index) const {
    if (index < 0 || index > 3)
        return nullptr;
    return m_columns[static_cast<size_t>(index / 2)]->widget(index % 2);
}

} // namespace ketra::ui
