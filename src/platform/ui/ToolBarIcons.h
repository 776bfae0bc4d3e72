// ToolBarIcons: the tool bar's icons, painted in code (no image files to ship or lose). Each
// is drawn on a 24-unit grid at twice that resolution, so it stays sharp on high-density
// screens.
#pragma once

#include <QIcon>

namespace ketra::ui {

inline constexpr int kToolBarIconSize = 24;

// The icon of tool-bar command `id`; null for a command without one (its button then shows
// its text).
QIcon ToolBarIcon(unsigned int id);

} // namespace ketra::ui
