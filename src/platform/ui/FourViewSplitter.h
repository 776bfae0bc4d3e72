// FourViewSplitter: the frame's client area split into 2 x 2 panes (a vertical splitter of
// two horizontal ones), each at least 10 x 10 pixels. Each pane sits under a title bar that
// names its view; the current pane's bar is drawn in the highlight colour, the others in the
// window colour. It only arranges and labels the widgets it is given; the views in them are
// their owners' business.
#pragma once

#include <QWidget>

#include <array>

class QLabel;
class QSplitter;

namespace ketra::ui {

class FourViewSplitter final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumPane = 10;

    explicit FourViewSplitter(QWidget* parent = nullptr);

    // Places the panes, row by row (0 top left, 1 top right, 2 bottom left, 3 bottom
    // right), each under its title bar; the splitter becomes their parent. Sizes are shared
    // evenly.
    void SetPanes(const std::array<QWidget*, 4>& panes);
    // The widget given for pane `index`; null for none.
    QWidget* Pane(int index) const;

    void SetTitle(int index, const QString& title);
    QString Title(int index) const;
    // Marks pane `index` as the current one (-1: none).
    void SetCurrent(int index);
    int Current() const { return m_current; }
    // The title bar of pane `index` (null for none).
    QLabel* TitleBar(int index) const;

private:
    QSplitter* m_rows = nullptr;
    std::array<QSplitter*, 2> m_columns{};
    std::array<QWidget*, 4> m_panes{};
    std::array<QLabel*, 4> m_titles{};
    int m_current = -1;
};

} // namespace ketra::ui
