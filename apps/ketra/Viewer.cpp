// The interactive viewer of `ketra view`: a window that shows the plotter's view and
// routes mouse and keys to the view's operators. Frames are rendered through the headless
// renderer and shown in a raster widget, which works on every X server (Xvfb included).
#include "platform/io/HIOManager.h"
#include "platform/mvo/HEventInfo.h"
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
#include <QImage>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

#include <functional>
#include <string>

namespace {

class ViewerWidget : public QWidget {
public:
    explicit ViewerWidget(HMyBaseView& view) : m_view(view) {
        setMinimumSize(320, 240);
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(false);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QImage Grab() const { return m_frame; }
    std::function<void(const QString&)> onStatus;

protected:
    void paintEvent(QPaintEvent*) override {
        const qreal ratio = devicePixelRatioF();
        const int w = std::max(1, static_cast<int>(width() * ratio));
        const int h = std::max(1, static_cast<int>(height() * ratio));
        m_view.SetWindowSizeInPixels(w, h);
        ketra::render::Image image;
        std::string error;
        ketra::render::FrameSettings settings;
        settings.width = w;
        settings.height = h;
        settings.samples = 1;
        QPainter painter(this);
        if (!ketra::render::RenderToImage(m_view.GetViewKey(), settings, image, &error)) {
            painter.fillRect(rect(), Qt::black);
            painter.setPen(Qt::white);
            painter.drawText(rect(), Qt::AlignCenter, QString::fromStdString("cannot draw: " + error));
            return;
        }
        m_frame = QImage(image.rgba.data(), image.width, image.height, QImage::Format_RGBA8888).copy();
        m_frame.setDevicePixelRatio(ratio);
        painter.drawImage(0, 0, m_frame);
    }

    void mousePressEvent(QMouseEvent* e) override { Send(e, Press(e->button()), e->buttons()); }
    void mouseReleaseEvent(QMouseEvent* e) override { Send(e, Release(e->button()), e->buttons() | e->button()); }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton)
            Send(e, HE_LButtonDblClk, e->buttons());
    }
    void mouseMoveEvent(QMouseEvent* e) override { Send(e, HE_MouseMove, e->buttons()); }
    void wheelEvent(QWheelEvent* e) override {
        HEventInfo info(&m_view);
        const QPointF p = e->position();
        float x = static_cast<float>(2.0 * p.x() / width() - 1.0);
        float y = static_cast<float>(1.0 - 2.0 * p.y() / height());
        info.SetMouseWheel(x, y, static_cast<float>(e->angleDelta().y()), Flags(e->buttons(), e->modifiers()));
        m_view.InjectEvent(info);
        update();
    }
    void keyPressEvent(QKeyEvent* e) override {
        HEventInfo info(&m_view);
        unsigned key = e->text().isEmpty() ? static_cast<unsigned>(e->key()) : e->text().at(0).unicode();
        info.SetKey(HE_KeyDown, key, e->isAutoRepeat() ? 2u : 1u, Flags(Qt::NoButton, e->modifiers()));
        m_view.InjectEvent(info);
        update();
    }

private:
    static HEventType Press(Qt::MouseButton b) {
        return b == Qt::LeftButton ? HE_LButtonDown : b == Qt::MiddleButton ? HE_MButtonDown : HE_RButtonDown;
    }
    static HEventType Release(Qt::MouseButton b) {
        return b == Qt::LeftButton ? HE_LButtonUp : b == Qt::MiddleButton ? HE_MButtonUp : HE_RButtonUp;
    }
    static unsigned Flags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
        unsigned f = 0;
        if (buttons & Qt::LeftButton)
            f |= MVO_LBUTTON;
        if (buttons & Qt::MiddleButton)
            f |= MVO_MBUTTON;
        if (buttons & Qt::RightButton)
            f |= MVO_RBUTTON;
        if (mods & Qt::ShiftModifier)
            f |= MVO_SHIFT;
        if (mods & Qt::ControlModifier)
            f |= MVO_CONTROL;
        if (mods & Qt::AltModifier)
            f |= MVO_ALT;
        return f;
    }
    void Send(QMouseEvent* e, HEventType type, Qt::MouseButtons buttons) {
        HEventInfo info(&m_view);
        const QPointF p = e->position();
        const qreal ratio = devicePixelRatioF();
        info.SetPixelPoint(type, static_cast<int>(p.x() * ratio), static_cast<int>(p.y() * ratio),
                           Flags(buttons, e->modifiers()));
        m_view.InjectEvent(info);
        update();
    }

    HMyBaseView& m_view;
    QImage m_frame;
};

class ViewerWindow : public QMainWindow {
public:
    ViewerWindow(ketra::plotter::Plotter& plotter, const QString& title) : m_plotter(plotter) {
        HMyBaseView& view = plotter.View();
        m_widget = new ViewerWidget(view);
        setCentralWidget(m_widget);
        setWindowTitle(title + " - Ketra");
        resize(1100, 800);

        QMenu* file = menuBar()->addMenu("&File");
        file->addAction("&Save Picture...", QKeySequence::Save, [this] { SavePicture(); });
        file->addAction("&Copy Picture", QKeySequence::Copy,
                        [this] { QApplication::clipboard()->setImage(m_widget->Grab()); });
        file->addSeparator();
        file->addAction("&Quit", QKeySequence::Quit, [this] { close(); });

        QToolBar* bar = addToolBar("View");
        QMenu* viewMenu = menuBar()->addMenu("&View");
        auto standard = [&](const char* name, ViewMode mode, const char* shortcut) {
            QAction* a = viewMenu->addAction(name, [this, mode] {
                m_plotter.View().SetViewMode(mode, false, true);
                m_widget->update();
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
            m_widget->update();
        });
        bar->addSeparator();

        QMenu* modeMenu = menuBar()->addMenu("&Render");
        auto* modes = new QActionGroup(this);
        auto mode = [&](const char* name, HRenderMode m, bool checked) {
            QAction* a = modeMenu->addAction(name, [this, m] {
                m_plotter.View().SetRenderMode(m);
                m_widget->update();
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
                m_widget->update();
            });
        }
        statusBar()->showMessage("Left drag: tool · middle drag: pan · wheel: zoom · I F T L R: views · Z: fit");
    }

private:
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
        options.m_Pixel_Width = m_widget->width();
        options.m_Pixel_Height = m_widget->height();
        if (m_plotter.View().FileOutput(p.c_str(), handler, &options) != OutputOK)
            QMessageBox::warning(this, "Ketra", "Could not write " + path);
        else
            statusBar()->showMessage("Saved " + path, 4000);
    }

    ketra::plotter::Plotter& m_plotter;
    ViewerWidget* m_widget = nullptr;
};

} // namespace

int RunViewer(int argc, char** argv, ketra::plotter::Plotter& plotter, const std::string& title) {
    QApplication app(argc, argv);
    ViewerWindow window(plotter, QString::fromStdString(title));
    window.show();
    // KETRA_VIEWER_SCREENSHOT=path: save the window after it has drawn, then quit (used to
    // check the viewer on a virtual display).
    if (const char* shot = std::getenv("KETRA_VIEWER_SCREENSHOT")) {
        QString path = QString::fromLocal8Bit(shot);
        QTimer::singleShot(1500, &window, [&window, path] {
            window.grab().save(path);
            QApplication::quit();
        });
    }
    return app.exec();
}
