// The view window's Walk command (40003): the library walk operator (HOpCameraWalk) set up
// from the user's walk settings in CAppSettings.
//
// The command handler:
//     if (std::strcmp(current->GetName(), "HOpCameraWalk") == 0)
//         ConfigureWalkOperator(*static_cast<HOpCameraWalk*>(current));
//     else
//         LocalSetOperator(BuildWalkOperator(view));
//     ShowWalkNavigationPanel(port);
#pragma once

class HBaseView;
class HOpCameraWalk;

namespace ketra::window {
class WindowPort;
}

// Registry units of WalkAvatarHeight per model unit.
inline constexpr double kWalkAvatarHeightUnits = 100.0;
// The automatic avatar height is the model's largest extent over this.
inline constexpr double kWalkAutomaticHeightDivisor = 60.0;
// Name of the walk controls panel (WindowPort::ShowPanel).
inline constexpr const char* kWalkNavigationPanel = "navigation";

// A new HOpCameraWalk(view, 0, 1), configured (ConfigureWalkOperator). The caller owns it and
// installs it. Null for a null view.
HOpCameraWalk* BuildWalkOperator(HBaseView* view);

// Applies the walk settings to `walk` and takes one walk step:
//   keyboard walk, collision and snap to floor from bWalkUseKeyboard, bWalkCollision and
//   bWalkSnapToFloor;
//   avatar height: with bWalkAutomaticHeight the model's largest extent / 60, written back
//   to WalkAvatarHeight (x 100, truncated; an empty model leaves both the operator's height
//   and the setting as they are); otherwise WalkAvatarHeight / 100;
//   step heights up and down: the avatar height x WalkStepHeightUp / 100 and
//   x WalkStepHeightDown / 100.
void ConfigureWalkOperator(HOpCameraWalk& walk);

// Opens the walk navigation panel beside the view. False when the toolkit has none.
bool ShowWalkNavigationPanel(ketra::window::WindowPort& port);
