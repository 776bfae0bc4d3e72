#include "platform/ui/PropertiesPanel.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ketra::ui {

namespace {
constexpr int kExpandedSections = 5;  // more than this start collapsed
}

PropertiesPanel::PropertiesPanel(QWidget* parent) : QDialog(parent) {
    setObjectName("propertiesPanel");
    setWindowTitle("Properties");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({"Property", "Value"});
    m_tree->setAlternatingRowColors(true);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(true);
    layout->addWidget(m_tree);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton("&Copy", QDialogButtonBox::ActionRole);
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(Text()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    layout->addWidget(buttons);
    resize(460, 520);
}

void PropertiesPanel::ShowSections(const std::vector<PropertySection>& sections) {
    m_tree->clear();
    for (const PropertySection& section : sections) {
        auto* top = new QTreeWidgetItem(m_tree, {QString::fromStdString(section.title)});
        top->setFirstColumnSpanned(true);
        QFont bold = top->font(0);
        bold.setBold(true);
        top->setFont(0, bold);
        for (const auto& [label, value] : section.lines)
            new QTreeWidgetItem(top, {QString::fromStdString(label), QString::fromStdString(value)});
        top->setExpanded(sections.size() <= kExpandedSections);
    }
    setWindowTitle(sections.size() == 1 ? "Properties - " + QString::fromStdString(sections.front().title)
                                        : QString("Properties - %1 elements").arg(sections.size()));
    if (!isVisible() && !m_placed && parentWidget()) {
        // First shown at the frame's right edge, where it hides least of the model.
        const QRect frame = parentWidget()->frameGeometry();
        move(frame.right() - width() - 24, frame.top() + 120);
        m_placed = true;
    }
    show();
    raise();
}

QString PropertiesPanel::Text() const {
    QString text;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = m_tree->topLevelItem(i);
        text += top->text(0) + "\n";
        for (int j = 0; j < top->childCount(); ++j)
            text += top->child(j)->text(0) + "\t" + top->child(j)->text(1) + "\n";
    }
    return text;
}

} // namespace ketra::ui
