// The interactive viewer of `ketra view`: the application (ViewerApp) over the model given on
// the command line, run in Qt's event loop.
#include "Viewer.h"

#include "ViewerApp.h"
#include "platform/ui/HoopsMainWindow.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

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

// The first local file a drag carries; empty for none.
QString DraggedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

class FileDropFilter final : public QObject {
public:
    FileDropFilter(QObject* parent, std::function<void(const std::string&)> open)
        : QObject(parent), m_open(std::move(open)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (DraggedFile(drag->mimeData()).isEmpty())
                return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString file = DraggedFile(drop->mimeData());
            if (file.isEmpty())
                return false;
            drop->acceptProposedAction();
            // Opened once the drop is over: the source waits for its answer meanwhile.
            const std::string path = StartPath(file.toStdString());
            QTimer::singleShot(0, this, [this, path] { m_open(path); });
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<void(const std::string&)> m_open;
};

} // namespace

void AcceptFileDrops(QWidget& window, std::function<void(const std::string& path)> open) {
    window.setAcceptDrops(true);
    window.installEventFilter(new FileDropFilter(&window, std::move(open)));
}

std::string StartPath(const std::string& modelPath) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(modelPath, error);
    return error ? modelPath : absolute.lexically_normal().string();
}

int RunViewer(int argc, char** argv, const std::string& modelPath, ViewerOptions options) {
    // One GL share group for every view: the panes of four views draw the model's faces from
    // one set of buffers, and a view moved into the splitter keeps its context.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication qtApp(argc, argv);
    ViewerApp app(std::move(options));
    std::string error;
    if (!app.OpenFile(StartPath(modelPath), &error, true)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kViewerBadModel;
    }
    AcceptFileDrops(app.Frame(), [&app](const std::string& path) { app.OpenFile(path); });
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
