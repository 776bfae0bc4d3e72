// PropertiesPanel: the Properties of the selected elements, one titled section per element
// with its labelled lines ("OD", "168.3 mm"). A window of its own beside the view that stays
// open while the user works on; showing new sections replaces the old ones.
#pragma once

#include <QDialog>

#include <string>
#include <utility>
#include <vector>

class QTreeWidget;

namespace ketra::ui {

struct PropertySection {
    std::string title;                                       // "Bend 10–20"
    std::vector<std::pair<std::string, std::string>> lines;  // label, value
};

class PropertiesPanel final : public QDialog {
    Q_OBJECT
public:
    explicit PropertiesPanel(QWidget* parent = nullptr);

    // Shows `sections` (every one expanded when there are few) and raises the panel.
    void ShowSections(const std::vector<PropertySection>& sections);
    QTreeWidget* Tree() const { return m_tree; }
    // The panel's text as Copy puts it on the clipboard: "title" then "label<TAB>value" lines.
    QString Text() const;

private:
    QTreeWidget* m_tree = nullptr;
    bool m_placed = false;
};

} // namespace ketra::ui
