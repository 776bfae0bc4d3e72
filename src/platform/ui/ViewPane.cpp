#include "platform/ui/ViewPane.h"

#include "platform/window/CHoopsView.h"

#include <QVBoxLayout>

#include <cstdio>

namespace ketra::ui {

ViewPane::ViewPane(std::unique_ptr<CHoopsView> window, QWidget* parent)
    : m_port(std::make_unique<QtWindowPort>()), m_window(std::move(window)),
      m_container(new QWidget(parent)) {
    auto* layout = new QVBoxLayout(m_container);
    layout->setContentsMargins(0, 0, 0, 0);
    m_container->setMinimumSize(10, 10);
    m_port->SetWindow(m_window.get());
    if (m_window)
        m_window->SetPort(m_port.get());
    const SurfaceChoice choice = ChooseSurface();
    if (choice.openGL)
        SetSurface(CreateViewSurface(choice, m_window.get(), m_container,
                                     [this](const QString& why) { FallBack(why); }));
    else
        FallBack(choice.why);
    if (m_window)
        m_window->OnInitialUpdate();
}

ViewPane::~ViewPane() {
    // The drawing area refers to the window until it is destroyed.
    if (m_surface)
        m_surface->Detach();
    m_port->SetSurface(nullptr);
    delete m_container.data();
    m_surface = nullptr;
    m_window.reset();
    m_port->SetWindow(nullptr);
}

void ViewPane::SetSurface(HoopsViewSurface* surface) {
    m_surface = surface;
    m_port->SetSurface(surface);
    if (surface) {
        surface->SetFrameListener(m_frameListener);
        m_container->layout()->addWidget(surface->Widget());
    }
}

void ViewPane::SetFrameListener(std::function<void()> listener) {
    m_frameListener = std::move(listener);
    if (m_surface)
        m_surface->SetFrameListener(m_frameListener);
}

void ViewPane::FallBack(const QString& why) {
    if (!m_container)
        return;
    if (m_surface) {
        std::fprintf(stderr, "viewer: a pane draws offscreen (%s)\n",
                     why.toLocal8Bit().constData());
        m_surface->Detach();
        m_port->SetSurface(nullptr);
        m_surface->Widget()->deleteLater();
    }
    SurfaceChoice raster;
    raster.why = why;
    SetSurface(CreateViewSurface(raster, m_window.get(), m_container, {}));
    if (m_surface)
        m_surface->Input().Resize(m_surface->PixelWidth(), m_surface->PixelHeight());
}

} // namespace ketra::ui
