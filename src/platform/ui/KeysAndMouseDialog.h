// KeysAndMouseDialog: Help > Keys and Mouse, a table of what the mouse buttons, the wheel and
// the keys do in the view window, and every keyboard shortcut of the menus (from
// CommandHelps, so the table lists the keys the menus really have). The dialog is sized to
// show every row without scrolling.
#pragma once

#include <QDialog>

#include <string>
#include <utility>
#include <vector>

class QTableWidget;

namespace ketra::ui {

class KeysAndMouseDialog final : public QDialog {
    Q_OBJECT
public:
    explicit KeysAndMouseDialog(QWidget* parent = nullptr);

    // The rows shown: (input, what it does); a row with an empty action heads a group.
    static std::vector<std::pair<std::string, std::string>> Rows();
    QTableWidget* Table() const { return m_table; }

private:
    QTableWidget* m_table = nullptr;
};

} // namespace ketra::ui
