// WalkNavigationPanel: the walk controls beside the view (the panel the Walk command opens,
// WindowPort panel "navigation"): keyboard walk, collision, snap to floor, automatic avatar
// height and the avatar height itself. It reads the walk settings (CAppSettings) when shown
// and writes them, and saves the settings store, as the user changes a control; `changed`
// then lets the owner reconfigure a walk in progress.
#pragma once

#include <QDockWidget>

#include <functional>

class QCheckBox;
class QDoubleSpinBox;

namespace ketra::ui {

class WalkNavigationPanel final : public QDockWidget {
    Q_OBJECT
public:
    explicit WalkNavigationPanel(QWidget* parent = nullptr);

    // Shows the current settings in the controls.
    void Refresh();
    std::function<void()> changed;

    QCheckBox* KeyboardWalk() const { return m_keyboard; }
    QCheckBox* Collision() const { return m_collision; }
    QCheckBox* SnapToFloor() const { return m_snap; }
    QCheckBox* AutomaticHeight() const { return m_automatic; }
    QDoubleSpinBox* AvatarHeight() const { return m_height; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Store();

    QCheckBox* m_keyboard = nullptr;
    QCheckBox* m_collision = nullptr;
    QCheckBox* m_snap = nullptr;
    QCheckBox* m_automatic = nullptr;
    QDoubleSpinBox* m_height = nullptr;
    bool m_refreshing = false;
};

} // namespace ketra::ui
