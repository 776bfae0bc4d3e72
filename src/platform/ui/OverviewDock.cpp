#include "platform/ui/OverviewDock.h"

#include "platform/window/CHoopsView.h"

#include <QLabel>

namespace ketra::ui {

OverviewDock::OverviewDock(QWidget* parent) : QDockWidget("Overview", parent) {
    setObjectName("overview");
    setWidget(new QLabel("No model", this));
}

OverviewDock::~OverviewDock() {
    ClearPane();
}

void OverviewDock::SetWindow(std::unique_ptr<CHoopsView> window) {
    ClearPane();
    m_pane = std::make_unique<ViewPane>(std::move(window), this);
    // The dock takes the widget; the pane still deletes it before its window goes.
    setWidget(m_pane->Widget());
}

void OverviewDock::ClearPane() {
    if (!m_pane)
        return;
    setWidget(nullptr);
    m_pane.reset();
}

} // namespace ketra::ui
