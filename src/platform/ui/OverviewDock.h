// OverviewDock: a dock showing a second, small view window (the overview), whose operator
// shows and drags the main view's camera. The dock owns the pane; its owner builds the window
// (view and operator) and takes it away (ClearPane) before the main view goes.
#pragma once

#include "platform/ui/ViewPane.h"

#include <QDockWidget>

#include <memory>

namespace ketra::ui {

class OverviewDock final : public QDockWidget {
    Q_OBJECT
public:
    explicit OverviewDock(QWidget* parent = nullptr);
    ~OverviewDock() override;

    // Shows `window` in the dock (replacing the previous one).
    void SetWindow(std::unique_ptr<CHoopsView> window);
    // Deletes the window shown (its view and operator with it).
    void ClearPane();
    ViewPane* Pane() const { return m_pane.get(); }

    QSize sizeHint() const override { return QSize(260, 220); }

private:
    std::unique_ptr<ViewPane> m_pane;
};

} // namespace ketra::ui
