#include "platform/ui/FourViewSplitter.h"

#include <QLabel>
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
        auto* cell = new QWidget;
        auto* layout = new QVBoxLayout(cell);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* title = new QLabel(cell);
        title->setObjectName(QString("pane title %1").arg(i));
        title->setContentsMargins(6, 2, 6, 2);
        title->setAutoFillBackground(true);
        title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        layout->addWidget(title);
        pane->setMinimumSize(kMinimumPane, kMinimumPane);
        layout->addWidget(pane, 1);
        m_columns[static_cast<size_t>(i / 2)]->insertWidget(i % 2, cell);
        m_panes[static_cast<size_t>(i)] = pane;
        m_titles[static_cast<size_t>(i)] = title;
        pane->show();
    }
    for (QSplitter* row : m_columns)
        row->setSizes({1000, 1000});
    m_rows->setSizes({1000, 1000});
    SetCurrent(m_current);
}

QWidget* FourViewSplitter::Pane(int index) const {
    if (index < 0 || index > 3)
        return nullptr;
    return m_panes[static_cast<size_t>(index)];
}

QLabel* FourViewSplitter::TitleBar(int index) const {
    if (index < 0 || index > 3)
        return nullptr;
    return m_titles[static_cast<size_t>(index)];
}

void FourViewSplitter::SetTitle(int index, const QString& title) {
    if (QLabel* bar = TitleBar(index); bar && bar->text() != title)
        bar->setText(title);
}

QString FourViewSplitter::Title(int index) const {
    const QLabel* bar = TitleBar(index);
    return bar ? bar->text() : QString();
}

void FourViewSplitter::SetCurrent(int index) {
    m_current = index;
    for (int i = 0; i < 4; ++i) {
        QLabel* bar = m_titles[static_cast<size_t>(i)];
        if (!bar)
            continue;
        const bool current = i == index;
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Window, palette.color(current ? QPalette::Highlight : QPalette::Button));
        palette.setColor(QPalette::WindowText,
                         palette.color(current ? QPalette::HighlightedText : QPalette::ButtonText));
        bar->setPalette(palette);
        QFont font = bar->font();
        font.setBold(current);
        bar->setFont(font);
    }
}

} // namespace ketra::ui
