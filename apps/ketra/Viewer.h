// Entry point of `ketra view`.
#pragma once

#include "ViewerDocument.h"

#include <string>

namespace ketra::app {

// Exit status when the model given on the command line fails to load.
inline constexpr int kViewerBadModel = 2;

// Opens `modelPath` in the viewer application and runs it until the window closes. A model
// that fails to load is reported on stderr ("FILE:LINE:COLUMN: what") and gives
// kViewerBadModel without opening a window.
int RunViewer(int argc, char** argv, const std::string& modelPath, ViewerOptions options);

} // namespace ketra::app
