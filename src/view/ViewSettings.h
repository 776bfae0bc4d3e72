// The application settings the view extension reads, in one place. Each function reads the
// current value of the matching CAppSettings member on every call, so a host that changes a
// setting sees it take effect on the next Init or render-mode change.
#pragma once

#include <string>

namespace ketra::view::ViewSettings {

bool SmoothTransition();                  // CAppSettings::bSmoothTransition
int HideOverlappingText();                // CAppSettings::HideOverlappingText
bool BackplaneCulling();                  // CAppSettings::bBackplaneCulling
std::string PackageName();                // CAppSettings::PackageName, as UTF-8
int ShowMarkers();                        // CAppSettings::ShowMarkers
double PipeMarkerSymbolSize();            // CAppSettings::PipeMarkerSymbolSize, as a number
int SilhouetteModeNodeTextAlwaysVisible();  // CAppSettings::SilhouetteModeNodeTextAlwaysVisible
int RenderedModeNodeTextAlwaysVisible();    // CAppSettings::RenderedModeNodeTextAlwaysVisible

} // namespace ketra::view::ViewSettings
