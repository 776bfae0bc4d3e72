// What the Qt pages share: a WindowPort for one page (its timers, colour chooser, repaints
// and message boxes), the preview widget that draws a page's PagePreview with our renderer,
// and the colour button over CColorBtn's shared palette.
#pragma once

#include "platform/window/WindowPort.h"
#include "config/pages/CColorBtn.h"

#include <QToolButton>
#include <QWidget>

#include <functional>
#include <map>

class CPropertyPage;
class PagePreview;
class QTimer;

namespace ketra::ui {

// The colour chooser the pages use: `rgb` (red in bits 0-7) is shown and replaced on OK.
// By default a pop-up of the 20 palette colours in last-used order and "Other Colours..."
// (Qt's colour dialog). A test or host may install another; an empty function restores it.
using ColorChooser = std::function<bool(QWidget* parent, unsigned int& rgb)>;
void SetColorChooser(ColorChooser chooser);
bool ChooseColor(QWidget* parent, unsigned int& rgb);

// The port of one page widget. Timers tick the page (CPropertyPage::OnTimer) and repaint
// the widget; Invalidate repaints it.
class PagePort final : public ketra::window::WindowPort {
public:
    explicit PagePort(QWidget* widget) : m_widget(widget) {}
    ~PagePort() override;
    void SetPage(CPropertyPage* page) { m_page = page; }
    // Extra widget repainted with the page (its preview).
    void SetPreviewWidget(QWidget* preview) { m_preview = preview; }

    unsigned int TrackPopupMenu(const CMenu&, CPoint, unsigned int) override { return 0; }
    CPoint ClientToScreen(CPoint client) override { return client; }
    CSize ClientSize() override;
    int MessageBox(const std::string& text, const std::string& caption,
                   unsigned int style) override;
    ketra::window::FileDialogResult FileDialog(const ketra::window::FileDialogRequest&) override {
        return {};
    }
    bool NoteTextDialog(std::string&, const std::string&) override { return false; }
    bool ChooseColor(unsigned int& rgb) override;
    void PostCommand(unsigned int) override {}
    void SetCapture() override {}
    void ReleaseCapture() override {}
    void TrackMouseLeave() override {}
    void SetTimer(unsigned int id, unsigned int milliseconds) override;
    void KillTimer(unsigned int id) override;
    void Invalidate() override;
    bool SetClipboardImage(const ketra::render::Image&) override { return false; }
    bool Print(const ketra::render::Image&, const ketra::window::PrintRequest&) override {
        return false;
    }
    bool HasSplitter() override { return false; }
    void SetSplitterPanes(int) override {}
    void SetStatusText(int, const std::string&) override {}
    void SetTitle(const std::string&) override {}
    bool IsKeyDown(unsigned int) override { return false; }
    bool ShowPanel(const std::string&, bool) override { return false; }

private:
    QWidget* m_widget;
    QWidget* m_preview = nullptr;
    CPropertyPage* m_page = nullptr;
    std::map<unsigned int, QTimer*> m_timers;
};

// Draws the page's preview (null: a plain panel) at the widget's size. Updates of the
// preview's view ask this widget to repaint.
class PreviewWidget final : public QWidget {
public:
    PreviewWidget(std::function<PagePreview*()> preview, QWidget* parent = nullptr);
    ~PreviewWidget() override;
    // Hooks the preview's display to this widget; call once the preview exists.
    void Attach();
    // The last picture drawn (null before the first paint).
    const QImage& LastPicture() const { return m_last; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::function<PagePreview*()> m_preview;
    long m_attached = -1;
    QImage m_last;
};

// A button that shows its colour; a click chooses a new one through ChooseColor.
class ColorButton final : public QToolButton {
public:
    explicit ColorButton(QWidget* parent = nullptr);
    unsigned long Color() const { return m_button.GetColor(); }
    void SetColor(unsigned long color);
    // Called after the user chose a colour.
    std::function<void(unsigned long)> onChanged;

private:
    void Choose();
    void Paint();
    CColorBtn m_button;
};

// "#rrggbb"-free conversions between colour values (red in bits 0-7) and QColor.
QColor ToQColor(unsigned long color);
unsigned long FromQColor(const QColor& color);

} // namespace ketra::ui
