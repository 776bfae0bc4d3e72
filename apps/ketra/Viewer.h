// Entry point of `ketra view`.
#pragma once

#include "ViewerDocument.h"

#include <functional>
#include <string>

class QWidget;

namespace ketra::app {

// Lets files be dropped on `window` (and everything in it): a drag that carries local files
// is accepted, and on the drop `open` gets the first file's absolute path. `open` reports
// its own failures. The filter lives as long as the window.
void AcceptFileDrops(QWidget& window, std::function<void(const std::string& path)> open);

// The model path of the command line, made absolute against the folder the viewer was
// started in (so that nothing later depends on the working folder).
std::string StartPath(const std::string& modelPath);

// Exit status when the model given on the command line fails to load.
inline constexpr int kViewerBadModel = 2;

// Opens `modelPath` in the viewer application and runs it until the window closes. A model
// that fails to load is reported on stderr ("FILE:LINE:COLUMN: what") and gives
// kViewerBadModel without opening a window.
int RunViewer(int argc, char** argv, const std::string& modelPath, ViewerOptions options);

} // namespace ketra::app
