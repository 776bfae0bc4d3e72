#include "platform/ui/WalkNavigationPanel.h"

#include "config/CAppSettings.h"
#include "operators/WalkCommand.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

namespace ketra::ui {

WalkNavigationPanel::WalkNavigationPanel(QWidget* parent) : QDockWidget("Navigation", parent) {
    setObjectName("navigation");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    m_keyboard = new QCheckBox("Keyboard walk (W S A D Q Z)", body);
    m_collision = new QCheckBox("Collision detection", body);
    m_snap = new QCheckBox("Snap to floor", body);
    m_automatic = new QCheckBox("Automatic avatar height", body);
    m_height = new QDoubleSpinBox(body);
    m_height->setRange(0.01, 1.0e6);
    m_height->setDecimals(2);
    m_height->setToolTip("Eye height above the floor, in model units");
    for (QCheckBox* box : {m_keyboard, m_collision, m_snap, m_automatic})
        layout->addWidget(box);
    auto* form = new QFormLayout;
    form->addRow("Avatar height:", m_height);
    layout->addLayout(form);
    layout->addWidget(new QLabel("Left drag: walk and turn\nMiddle drag: slide and rise\n"
                                 "Wheel: look up and down",
                                 body));
    layout->addStretch();
    setWidget(body);
    for (QCheckBox* box : {m_keyboard, m_collision, m_snap, m_automatic})
        connect(box, &QCheckBox::toggled, this, [this] { Store(); });
    connect(m_height, &QDoubleSpinBox::valueChanged, this, [this] { Store(); });
    Refresh();
}

void WalkNavigationPanel::showEvent(QShowEvent* event) {
    Refresh();
    QDockWidget::showEvent(event);
}

void WalkNavigationPanel::Refresh() {
    m_refreshing = true;
    m_keyboard->setChecked(CAppSettings::bWalkUseKeyboard);
    m_collision->setChecked(CAppSettings::bWalkCollision);
    m_snap->setChecked(CAppSettings::bWalkSnapToFloor);
    m_automatic->setChecked(CAppSettings::bWalkAutomaticHeight);
    m_height->setValue(CAppSettings::WalkAvatarHeight / kWalkAvatarHeightUnits);
    m_height->setEnabled(!CAppSettings::bWalkAutomaticHeight);
    m_refreshing = false;
}

void WalkNavigationPanel::Store() {
    if (m_refreshing)
        return;
    CAppSettings::bWalkUseKeyboard = m_keyboard->isChecked();
    CAppSettings::bWalkCollision = m_collision->isChecked();
    CAppSettings::bWalkSnapToFloor = m_snap->isChecked();
    CAppSettings::bWalkAutomaticHeight = m_automatic->isChecked();
    if (!CAppSettings::bWalkAutomaticHeight)
        CAppSettings::WalkAvatarHeight =
            static_cast<int>(std::lround(m_height->value() * kWalkAvatarHeightUnits));
    m_height->setEnabled(!CAppSettings::bWalkAutomaticHeight);
    CAppSettings::SaveSettings();
    if (changed)
        changed();
    // A reconfigured walk may have measured a new automatic height.
    Refresh();
}

} // namespace ketra::ui
