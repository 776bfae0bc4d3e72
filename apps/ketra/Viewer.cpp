// The interactive viewer of `ketra view`: the plotter's view shown in a view window
// (CHoopsViewEx) inside the Qt frame of platform/ui, which draws it, forwards mouse and keys to
// the window and builds menus and tool bar from the window's commands.
#include "platform/ui/HoopsMainWindow.h"
#include "platform/window/CHoopsView.h"
#include "plotter/Plotter.h"
#include "view/CHoopsViewEx.h"
#include "view/HMyBaseView.h"
#include "view/ViewCommands.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// The view window the viewer shows, over the plotter's view (which the plotter keeps).
std::unique_ptr<CHoopsView> MakeViewWindow(ketra::plotter::Plotter& plotter) {
    auto window = std::make_unique<CHoopsViewEx>();
    window->SetHoopsViewEx(&plotter.View(), false);
    return window;
}

// Saves the view's picture to `path` and quits; retries a while when the view cannot draw yet
// (the fallback replacing a failed OpenGL surface). *status becomes 1 if nothing was saved.
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

int RunViewer(int argc, char** argv, ketra::plotter::Plotter& plotter, const std::string& title) {
    QApplication app(argc, argv);
    ketra::ui::HoopsMainWindow frame(MakeViewWindow(plotter));
    frame.setWindowTitle(QString::fromStdString(title) + " - Ketra");
    // Left drag orbits until the user picks another tool, as the Orbit command sets it up.
    if (!plotter.View().GetOperator())
        frame.ViewWindow()->OnCommand(ketra::view::kCmdOrbitCamera);
    frame.show();
    // KETRA_VIEWER_SCREENSHOT=path: save the view's picture once the window has been up for a
    // moment, then quit (used to check the viewer on a virtual display).
    int status = 0;
    if (const char* shot = std::getenv("KETRA_VIEWER_SCREENSHOT")) {
        const QString path = QString::fromLocal8Bit(shot);
        QTimer::singleShot(1500, &frame,
                           [&frame, &status, path] { SaveScreenshot(&frame, path, 10, &status); });
    }
    const int rc = app.exec();
    return rc != 0 ? rc : status;
}
