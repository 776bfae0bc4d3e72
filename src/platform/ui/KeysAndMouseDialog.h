// KeysAndMouseDialog: Help > Keys and Mouse, a table of what the mouse buttons, the wheel and
// the keys do in the view window.
#pragma once

#include <QDialog>

#include <utility>
#include <vector>

class QTableWidget;

namespace ketra::ui {

class KeysAndMouseDialog final : public QDialog {
    Q_OBJECT
public:
    explicit KeysAndMouseDialog(QWidget* parent = nullptr);

    // The rows shown: (input, what it does).
    static const std::vector<std::pair<const char*, const char*>>& Rows();
    QTableWidget* Table() const { return m_table; }

private:
    QTableWidget* m_table = nullptr;
};

} // namespace ketra::ui
