// The component's own resources (menus 128, 129 and 203; see resources/ in this folder),
// compiled into the library and offered as the resource module kComponentResourceModule.
#pragma once

namespace ketra::view {

// Name of the resource module that holds the component's resources.
inline constexpr const char* kComponentResourceModule = "HOOPS_KETRA1918_vc90U.dll";

// Registers the component's embedded resources as the module named kComponentResourceModule.
// Idempotent; the view window's constructor calls it, and hosts may call it before loading
// the menus themselves (ketra::window::LoadResourceModule, ScopedResourceHandle,
// CMenu::LoadMenu).
void RegisterComponentResources();

} // namespace ketra::view
