#include "platform/ui/CSegmentDialogBar.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ketra::ui {
namespace {

constexpr int kIdRole = Qt::UserRole + 1;

int ItemId(const QTreeWidgetItem* item) {
    return item ? item->data(0, kIdRole).toInt() : -1;
}

} // namespace

CSegmentDialogBar::CSegmentDialogBar(QWidget* parent)
    : QDockWidget("Segment Browser", parent),
      m_browser(std::make_unique<CSegmentBrowserDlg>(nullptr, std::string())) {
    setObjectName("segmentBrowser");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* split = new QSplitter(Qt::Vertical, body);
    m_tree = new QTreeWidget(split);
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_information = new QListWidget(split);
    split->addWidget(m_tree);
    split->addWidget(m_information);
    split->setSizes({300, 100});
    layout->addWidget(split);
    auto* buttons = new QHBoxLayout;
    m_viewButton = new QPushButton(CSegmentBrowserDlg::kStandardView, body);
    m_followButton = new QPushButton(kFollowText, body);
    buttons->addWidget(m_viewButton);
    buttons->addWidget(m_followButton);
    layout->addLayout(buttons);
    setWidget(body);

    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!m_filling)
            FillAhead(item);
    });
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
                if (!m_filling && item)
                    SelectItem(ItemId(item));
            });
    connect(m_viewButton, &QPushButton::clicked, this, [this] { ToggleRoot(); });
    connect(m_followButton, &QPushButton::clicked, this, [this] { FollowSelection(); });
}

CSegmentDialogBar::~CSegmentDialogBar() = default;

void CSegmentDialogBar::SetDescriber(CSegmentBrowserDlg::Describer describer) {
    m_describer = std::move(describer);
    m_browser->SetDescriber(m_describer);
}

void CSegmentDialogBar::SetView(HBaseView* view, const std::string& documentName) {
    m_browser = std::make_unique<CSegmentBrowserDlg>(view, documentName);
    m_browser->SetDescriber(m_describer);
    setWindowTitle(QString::fromStdString(m_browser->GetTitle()));
    if (view)
        m_browser->Open();
    Rebuild();
    ShowInformation();
}

void CSegmentDialogBar::Rebuild() {
    m_filling = true;
    m_tree->clear();
    m_viewButton->setText(QString::fromStdString(m_browser->GetViewButtonText()));
    m_viewButton->setEnabled(m_browser->GetView() != nullptr);
    m_followButton->setEnabled(m_browser->GetView() != nullptr &&
                               m_browser->GetViewButtonText() == CSegmentBrowserDlg::kStandardView);
    if (m_browser->GetRoot() >= 0) {
        QTreeWidgetItem* root = MakeItem(m_browser->GetRoot());
        m_tree->addTopLevelItem(root);
        FillAhead(root);
        root->setExpanded(true);
    }
    m_filling = false;
}

QTreeWidgetItem* CSegmentDialogBar::MakeItem(int id) {
    const CSegmentBrowserDlg::Item& entry = m_browser->GetItem(id);
    auto* item = new QTreeWidgetItem(QStringList(QString::fromStdString(entry.text)));
    item->setData(0, kIdRole, id);
    // Children are listed when the branch opens; until then every segment may have some.
    item->setChildIndicatorPolicy(entry.kind == CSegmentBrowserDlg::Kind::Other
                                      ? QTreeWidgetItem::DontShowIndicator
                                      : QTreeWidgetItem::ShowIndicator);
    return item;
}

void CSegmentDialogBar::FillChildren(QTreeWidgetItem* item) {
    const int id = ItemId(item);
    if (id < 0 || item->childCount() > 0)
        return;
    const std::vector<int> children = m_browser->Expand(id);
    for (int child : children)
        item->addChild(MakeItem(child));
    if (children.empty())
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void CSegmentDialogBar::FillAhead(QTreeWidgetItem* item) {
    // The level below the opened one is listed too: the tree's keys (Right opens a branch)
    // and its arrows go by the rows an item has.
    FillChildren(item);
    for (int i = 0; i < item->childCount(); ++i)
        FillChildren(item->child(i));
}

QTreeWidgetItem* CSegmentDialogBar::TreeItem(int id) const {
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (ItemId(*it) == id)
            return *it;
    return nullptr;
}

void CSegmentDialogBar::SelectItem(int id) {
    m_browser->SelectItem(id);
    if (QTreeWidgetItem* item = TreeItem(id); item && m_tree->currentItem() != item) {
        m_filling = true;
        m_tree->setCurrentItem(item);
        m_filling = false;
    }
    ShowInformation();
}

void CSegmentDialogBar::FollowSelection() {
    m_browser->FollowSelection();
    m_filling = true;
    QTreeWidgetItem* last = nullptr;
    for (int id : m_browser->GetExpandedPath()) {
        // The browser listed the items along the path; the tree shows them as it opens.
        QTreeWidgetItem* item = TreeItem(id);
        if (!item)
            continue;
        if (QTreeWidgetItem* parent = item->parent())
            parent->setExpanded(true);
        FillAhead(item);
        last = item;
    }
    if (last) {
        m_tree->setCurrentItem(last);
        m_tree->scrollToItem(last);
    }
    m_filling = false;
}

void CSegmentDialogBar::ToggleRoot() {
    m_browser->OnViewButton();
    Rebuild();
}

void CSegmentDialogBar::ShowInformation() {
    m_information->clear();
    for (const std::string& line : m_browser->GetInformation())
        m_information->addItem(QString::fromStdString(line));
}

} // namespace ketra::ui
