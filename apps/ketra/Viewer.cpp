// The interactive viewer of `ketra view`: a window that shows the plotter's view and
// routes mouse and keys to the view's operators. The view is drawn with OpenGL in the window
// when Qt can make a 3.3 core context; otherwise (offscreen platform, no GL, a renderer that
// fails its first frame, KETRA_VIEWER_RASTER=1) frames are rendered offscreen and painted into
// a raster widget (ViewerSurface.h).
#include "ViewerSurface.h"
#include "platform/io/HIOManager.h"
#include "platform/mvo/HOpCameraOrbit.h"
#include "platform/mvo/HOpCameraPan.h"
#include "platform/mvo/HOpCameraZoom.h"
#include "platform/mvo/HOpCameraZoomBox.h"
#include "platform/render/Renderer.h"
#include "plotter/Plotter.h"
#include "view/HMyBaseView.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

class ViewerWindow : public QMainWindow {
public:
    ViewerWindow(ketra::plotter::Plotter& plotter, const QString& title) : m_plotter(plotter) {
        HMyBaseView& view = plotter.View();
        const ketra::app::SurfaceChoice choice = ketra::app::ChooseSurface();
        if (choice.openGL)
            SetSurface(ketra::app::MakeGlSurface(view, [this](const QString& why) { FallBack(why); }));
        else
            FallBack(choice.why);
        // Updates of the view (operators, menus) ask the window to repaint instead of
        // rendering offscreen.
        ketra::render::SetWindowTarget(view.GetViewKey(), [this] { Repaint(); });
        setWindowTitle(title + " - Ketra");
        resize(1100, 800);

        QMenu* file = menuBar()->addMenu("&File");
        file->addAction("&Save Picture...", QKeySequence::Save, [this] { SavePicture(); });
        file->addAction("&Copy Picture", QKeySequence::Copy,
                        [this] { QApplication::clipboard()->setImage(m_surface->Grab()); });
        file->addSeparator();
        file->addAction("&Quit", QKeySequence::Quit, [this] { close(); });

        QToolBar* bar = addToolBar("View");
        QMenu* viewMenu = menuBar()->addMenu("&View");
        auto standard = [&](const char* name, ViewMode mode, const char* shortcut) {
            QAction* a = viewMenu->addAction(name, [this, mode] {
                m_plotter.View().SetViewMode(mode, false, true);
                Repaint();
            });
            a->setShortcut(QKeySequence(shortcut));
            bar->addAction(a);
        };
        standard("Iso", HViewIsoSE, "I");
        standard("Front", HViewFront, "F");
        standard("Back", HViewBack, "Shift+F");
        standard("Top", HViewTop, "T");
        standard("Bottom", HViewBottom, "Shift+T");
        standard("Left", HViewLeft, "L");
        standard("Right", HViewRight, "R");
        viewMenu->addAction("Zoom to &Extents", QKeySequence("Z"), [this] {
            m_plotter.View().ZoomToExtents();
            Repaint();
        });
        bar->addSeparator();

        QMenu* modeMenu = menuBar()->addMenu("&Render");
        auto* modes = new QActionGroup(this);
        auto mode = [&](const char* name, HRenderMode m, bool checked) {
            QAction* a = modeMenu->addAction(name, [this, m] {
                m_plotter.View().SetRenderMode(m);
                Repaint();
            });
            a->setCheckable(true);
            a->setChecked(checked);
            modes->addAction(a);
        };
        mode("Shaded", HRenderGouraud, true);
        mode("Flat", HRenderFlat, false);
        mode("Wireframe", HRenderWireframe, false);
        mode("Hidden Line", HRenderHiddenLineFast, false);
        mode("Silhouette", HRenderSilhouette, false);

        QMenu* tools = menuBar()->addMenu("&Tools");
        auto* ops = new QActionGroup(this);
        auto tool = [&](const char* name, std::function<HBaseOperator*()> make, bool checked) {
            QAction* a = tools->addAction(name, [this, make] { SetOperator(make()); });
            a->setCheckable(true);
            a->setChecked(checked);
            ops->addAction(a);
            bar->addAction(a);
        };
        tool("Orbit", [&view] { return new HOpCameraOrbit(&view); }, true);
        tool("Pan", [&view] { return new HOpCameraPan(&view); }, false);
        tool("Zoom", [&view] { return new HOpCameraZoom(&view); }, false);
        tool("Zoom Box", [&view] { return new HOpCameraZoomBox(&view); }, false);
        SetOperator(new HOpCameraOrbit(&view));

        QMenu* show = menuBar()->addMenu("&Show");
        using ketra::plotter::Kind;
        for (Kind k : {Kind::Pipes, Kind::Bends, Kind::Restraints, Kind::Hangers, Kind::Anchors,
                       Kind::Rigids, Kind::Structures, Kind::ExpansionJoints, Kind::Tees}) {
            QAction* a = show->addAction(ketra::plotter::KindSegmentName(k));
            a->setCheckable(true);
            a->setChecked(m_plotter.IsVisible(k));
            connect(a, &QAction::toggled, this, [this, k](bool on) {
                m_plotter.SetVisible(k, on);
                Repaint();
            });
        }
        statusBar()->showMessage("Left drag: tool · middle drag: pan · wheel: zoom · I F T L R: views · Z: fit");
    }

    ~ViewerWindow() override { ketra::render::SetWindowTarget(m_plotter.View().GetViewKey(), {}); }

    // The picture of the view now; null while it cannot draw.
    QImage Picture() { return m_surface->Grab(); }

private:
    void Repaint() {
        if (m_surface)
            m_surface->Widget()->update();
    }
    void SetSurface(ketra::app::ViewSurface* surface) {
        m_surface = surface;
        setCentralWidget(surface->Widget());  // the previous one is deleted later
        surface->Widget()->setFocus();
    }
    // Draws offscreen into a raster widget from now on; says why once.
    void FallBack(const QString& why) {
        std::fprintf(stderr, "viewer: drawing offscreen into the window (%s)\n", why.toLocal8Bit().constData());
        SetSurface(ketra::app::MakeRasterSurface(m_plotter.View()));
    }
    void SetOperator(HBaseOperator* op) {
        HMyBaseView& view = m_plotter.View();
        HBaseOperator* old = view.GetOperator();
        view.SetOperator(op);
        delete old;
    }
    void SavePicture() {
        QString path = QFileDialog::getSaveFileName(this, "Save Picture", "picture.png",
                                                    "Images (*.png *.tif *.bmp *.jpg)");
        if (path.isEmpty())
            return;
        std::string p = path.toStdString();
        std::string ext = p.substr(p.find_last_of('.') + 1);
        HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler(ext.c_str());
        if (!handler) {
            QMessageBox::warning(this, "Ketra",
                                 QString("Handler for file type .%1 unavailable.\nNo file has been created.")
                                     .arg(QString::fromStdString(ext)));
            return;
        }
        HOutputHandlerOptions options;
        options.m_pHBaseView = &m_plotter.View();
        options.m_Pixel_Width = m_surface->Widget()->width();
        options.m_Pixel_Height = m_surface->Widget()->height();
        HFileOutputResult result;
        {
            ketra::app::OffscreenRendering offscreen;
            result = m_plotter.View().FileOutput(p.c_str(), handler, &options);
        }
        if (result != OutputOK)
            QMessageBox::warning(this, "Ketra", "Could not write " + path);
        else
            statusBar()->showMessage("Saved " + path, 4000);
    }

    ketra::plotter::Plotter& m_plotter;
    ketra::app::ViewSurface* m_surface = nullptr;
};

// Saves the view's picture to `path` and quits; retries a while when the view cannot draw yet
// (the fallback replacing a failed OpenGL surface). *status becomes 1 if nothing was saved.
void SaveScreenshot(ViewerWindow* window, const QString& path, int triesLeft, int* status) {
    const QImage picture = window->Picture();
    if (picture.isNull() && triesLeft > 0) {
        QTimer::singleShot(200, window, [=] { SaveScreenshot(window, path, triesLeft - 1, status); });
        return;
    }
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "viewer: cannot save the screenshot %s\n", path.toLocal8Bit().constData());
        *status = 1;
    }
    QApplication::quit();
}

} // namespace

int RunViewer(int argc, char** argv, ketra::plotter::Plotter& plotter, const std::string& title) {
    QApplication app(argc, argv);
    ViewerWindow window(plotter, QString::fromStdString(title));
    window.show();
    // KETRA_VIEWER_SCREENSHOT=path: save the view's picture once the window has been up for a
    // moment, then quit (used to check the viewer on a virtual display). A surface that cannot
    // draw is given a little time to be replaced by the fallback.
    int status = 0;
    if (const char* shot = std::getenv("KETRA_VIEWER_SCREENSHOT")) {
        const QString path = QString::fromLocal8Bit(shot);
        QTimer::singleShot(1500, &window, [&window, &status, path] { SaveScreenshot(&window, path, 10, &status); });
    }
    const int rc = app.exec();
    return rc != 0 ? rc : status;
}
