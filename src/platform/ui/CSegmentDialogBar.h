// CSegmentDialogBar: the segment browser dock. A tree of the view's scene (filled lazily as
// branches open, one level ahead of what is open), the information list, the "Standard
// View"/"Expanded View" button and a "Follow Selection" button, all over a CSegmentBrowserDlg,
// which decides what they show: choosing a tree item selects it in the view (highlighted there) and
// shows its counts.
//
// The view is not owned; reset it with SetView(nullptr, ...) before it goes.
#pragma once

#include "view/window/CSegmentBrowserDlg.h"

#include <QDockWidget>

#include <memory>
#include <string>

class HBaseView;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ketra::ui {

class CSegmentDialogBar final : public QDockWidget {
    Q_OBJECT
public:
    static constexpr const char* kFollowText = "Follow Selection";

    explicit CSegmentDialogBar(QWidget* parent = nullptr);
    ~CSegmentDialogBar() override;

    // Browses `view` (null: shows nothing) and opens the tree at the model segment.
    void SetView(HBaseView* view, const std::string& documentName);
    CSegmentBrowserDlg* Browser() const { return m_browser.get(); }
    // The host's names for segments, kept for every view the bar is given.
    void SetDescriber(CSegmentBrowserDlg::Describer describer);

    // The tree item of browser item `id` (null while its branch has not been listed).
    QTreeWidgetItem* TreeItem(int id) const;
    // Selects browser item `id` as a click in the tree does.
    void SelectItem(int id);
    // Expands the tree along the view's selection (the Follow Selection button).
    void FollowSelection();
    // Presses the view button.
    void ToggleRoot();

    QTreeWidget* Tree() const { return m_tree; }
    QListWidget* Information() const { return m_information; }
    QPushButton* ViewButton() const { return m_viewButton; }

private:
    void Rebuild();
    QTreeWidgetItem* MakeItem(int id);
    void FillChildren(QTreeWidgetItem* item);
    // Lists the item's children and theirs.
    void FillAhead(QTreeWidgetItem* item);
    void ShowInformation();

    std::unique_ptr<CSegmentBrowserDlg> m_browser;
    CSegmentBrowserDlg::Describer m_describer;
    QTreeWidget* m_tree = nullptr;
    QListWidget* m_information = nullptr;
    QPushButton* m_viewButton = nullptr;
    QPushButton* m_followButton = nullptr;
    bool m_filling = false;
};

} // namespace ketra::ui
