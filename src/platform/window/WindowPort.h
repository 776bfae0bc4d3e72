// WindowPort: everything a window class needs from a toolkit. The core's window classes
// (CHoopsView and the classes built on it) decide what happens; a port only shows and asks.
// The Qt skin implements it (platform/ui); RecordingPort records calls and gives scripted
// answers for tests. One port serves one window; it must outlive the window that uses it.
#pragma once

#include "platform/window/CPoint.h"

#include <string>
#include <vector>

class CMenu;

namespace ketra::render { struct Image; }

namespace ketra::window {

// Message box styles and answers (the Windows values).
enum : unsigned int {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// A file dialog request. `filter` uses the Windows form "Text (*.a;*.b)|*.a;*.b|...|".
struct FileDialogRequest {
    bool save = true;
    std::string title;           // empty: the toolkit's default title
    std::string filter;
    std::string initialName;     // file name or path shown at start
    std::string defaultExtension;
    // The two size fields (dialog template 111): shown when true, filled with these values.
    bool sizeFields = false;
    std::string widthText;
    std::string heightText;
};

struct FileDialogResult {
    bool ok = false;             // false: cancelled
    std::string path;
    int filterIndex = 1;         // 1-based, as the Windows dialog reports it
    std::string widthText;       // the size fields as typed
    std::string heightText;
};

// What to print: the page comes from the toolkit's printer; the window draws `image`
// scaled to the page. An empty `outputFile` prints to the chosen printer (the toolkit may
// fall back to a PDF file when none exists).
struct PrintRequest {
    std::string documentName;
    bool grayscale = false;
    bool showDialog = true;
    bool preview = false;
    std::string outputFile;
};

class WindowPort {
public:
    virtual ~WindowPort() = default;

    // Popup menu at `screen` (screen pixels); returns the chosen command id, 0 for none.
    virtual unsigned int TrackPopupMenu(const CMenu& menu, CPoint screen, unsigned int flags) = 0;
    // Client (window pixel) point to screen pixels.
    virtual CPoint ClientToScreen(CPoint client) = 0;
    // Size of the client area in pixels.
    virtual CSize ClientSize() = 0;

    // Modal message box; returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(const std::string& text, const std::string& caption,
                           unsigned int style) = 0;
    virtual FileDialogResult FileDialog(const FileDialogRequest& request) = 0;
    // The note-text dialog: one multi-line field, OK and Cancel. `text` is shown and, on OK,
    // replaced by what was typed. Returns true for OK.
    virtual bool NoteTextDialog(std::string& text, const std::string& title) = 0;
    // Colour chooser; `rgb` (red in bits 0-7) is shown and replaced on OK.
    virtual bool ChooseColor(unsigned int& rgb) = 0;

    // Queues a command for the window (delivered to its OnCommand from the event loop).
    virtual void PostCommand(unsigned int id) = 0;
    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    // Asks for one mouse-leave notification (CHoopsView::OnMouseLeave).
    virtual void TrackMouseLeave() = 0;
    // Periodic timer: CHoopsView::OnTimer(id) every `milliseconds` until KillTimer.
    virtual void SetTimer(unsigned int id, unsigned int milliseconds) = 0;
    virtual void KillTimer(unsigned int id) = 0;
    // Asks for a repaint (CHoopsView::OnPaint) from the event loop.
    virtual void Invalidate() = 0;

    virtual bool SetClipboardImage(const ketra::render::Image& image) = 0;
    // Prints `image` as the request says; false when cancelled or it failed.
    virtual bool Print(const ketra::render::Image& image, const PrintRequest& request) = 0;

    // The frame's splitter: whether one exists, and its pane layout (1 or 4 panes).
    virtual bool HasSplitter() = 0;
    virtual void SetSplitterPanes(int panes) = 0;
    // Status-bar pane text (pane 0 is the message pane).
    virtual void SetStatusText(int pane, const std::string& text) = 0;
    // Window title.
    virtual void SetTitle(const std::string& title) = 0;
    // Whether a key (Windows virtual-key code, e.g. 0x10 shift, 0x57 'W') is held now.
    virtual bool IsKeyDown(unsigned int virtualKey) = 0;
    // Opens or closes a named tool panel of the window (e.g. "navigation", "overview",
    // "segment browser"); false when the toolkit has no such panel.
    virtual bool ShowPanel(const std::string& name, bool show) = 0;
};

} // namespace ketra::window
