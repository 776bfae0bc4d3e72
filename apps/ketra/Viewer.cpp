// The interactive viewer of `ketra view`: the application (ViewerApp) over the model given on
// the command line, run in Qt's event loop.
#include "Viewer.h"

#include "ViewerApp.h"
#include "platform/ui/HoopsMainWindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace ketra::app {
namespace {

// Saves the picture of the frame's client area to `path` and quits; retries a while when the
// view cannot draw yet (the fallback replacing a failed OpenGL surface). *status becomes 1 if
// nothing was saved.
void SaveScreenshot(ketra::ui::HoopsMainWindow* frame, const QString& path, int triesLeft,
                    int* status) {
    const QImage picture = frame->Picture();
    if (picture.isNull() && triesLeft > 0) {
        QTimer::singleShot(200, frame, [=] { SaveScreenshot(frame, path, triesLeft - 1, status); });
        return;
    }
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "viewer: cannot save the screenshot %s\n",
                     path.toLocal8Bit().constData());
        *status = 1;
    }
    QApplication::quit();
}

} // namespace

int RunViewer(int argc, char** argv, const std::string& modelPath, ViewerOptions options) {
    // One GL share group for every view: the panes of four views draw the model's faces from
    // one set of buffers, and a view moved into the splitter keeps its context.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication qtApp(argc, argv);
    ViewerApp app(std::move(options));
    std::string error;
    if (!app.OpenFile(modelPath, &error, true)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kViewerBadModel;
    }
    if (!app.OpenStartResults(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kViewerBadModel;
    }
    app.Show();
    // KETRA_VIEWER_SCREENSHOT=path: save the view's picture once the window has been up for a
    // moment, then quit (used to check the viewer on a virtual display).
    int status = 0;
    ketra::ui::HoopsMainWindow* frame = &app.Frame();
    if (const char* shot = std::getenv("KETRA_VIEWER_SCREENSHOT")) {
        const QString path = QString::fromLocal8Bit(shot);
        QTimer::singleShot(1500, frame,
                           [frame, &status, path] { SaveScreenshot(frame, path, 10, &status); });
    }
    const int rc = qtApp.exec();
    return rc != 0 ? rc : status;
}

} // namespace ketra::app
