// FourViewSplitter: the frame's client area split into 2 x 2 panes (a vertical splitter of
// two horizontal ones), each at least 10 x 10 pixels. It only arranges the widgets it is
// given; the views in them are their owners' business.
#pragma once

#include <QWidget>

#include <array>

class QSplitter;

namespace ketra::ui {

class FourViewSplitter final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumPane = 10;

    explicit FourViewSplitter(QWidget* parent = nullptr);

    // Places the panes, row by row (0 top left, 1 top right, 2 bottom left, 3 bottom
    // right); the splitter becomes their parent. Sizes are shared evenly.
    void SetPanes(const std::array<QWidget*, 4>& panes);
    QWidget* Pane(int index) const;

private:
    QSplitter* m_rows = nullptr;
    std::array<QSplitter*, 2> m_columns{};
};

} // namespace ketra::ui
