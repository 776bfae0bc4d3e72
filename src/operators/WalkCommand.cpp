#include "operators/WalkCommand.h"

#include "config/CAppSettings.h"
#include "platform/mvo/HOpCameraWalk.h"
#include "platform/window/WindowPort.h"

HOpCameraWalk* BuildWalkOperator(HBaseView* view) {
    if (!view)
        return nullptr;
    auto* walk = new HOpCameraWalk(view, 0, 1);
    ConfigureWalkOperator(*walk);
    return walk;
}

void ConfigureWalkOperator(HOpCameraWalk& walk) {
    walk.SetKeyboardWalk(CAppSettings::bWalkUseKeyboard);
    walk.SetCollisionDetection(CAppSettings::bWalkCollision);
    walk.SetSnapToFloor(CAppSettings::bWalkSnapToFloor);

    double avatarHeight = 0.0;
    if (!CAppSettings::bWalkAutomaticHeight) {
        avatarHeight = CAppSettings::WalkAvatarHeight / kWalkAvatarHeightUnits;
    } else {
        const double extent = walk.CalculateExtents();
        // Nothing to measure: keep the stored height rather than overwrite it with 0.
        if (extent > 0.0) {
            avatarHeight = extent / kWalkAutomaticHeightDivisor;
            CAppSettings::WalkAvatarHeight =
                static_cast<int>(avatarHeight * kWalkAvatarHeightUnits);
        }
    }
    if (avatarHeight > 0.0)
        walk.SetAvatarHeight(static_cast<float>(avatarHeight));
    const double height = walk.GetAvatarHeight();
    walk.SetStepHeightUp(static_cast<float>(height * CAppSettings::WalkStepHeightUp / 100.0));
    walk.SetStepHeightDown(static_cast<float>(height * CAppSettings::WalkStepHeightDown / 100.0));

    walk.OnWalk(); // "now" on the walk's own clock
}

bool ShowWalkNavigationPanel(ketra::window::WindowPort& port) {
    return port.ShowPanel(kWalkNavigationPanel, true);
}
