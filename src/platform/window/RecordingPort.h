// RecordingPort: a WindowPort for tests. Every call is appended to `calls` as one line
// ("TrackPopupMenu 120,40 flags=0x2800", "MessageBox <text>", ...); answers come from the
// public fields, which a test sets before it drives the window.
#pragma once

#include "platform/window/CMenu.h"
#include "platform/window/WindowPort.h"

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ketra::window {

class RecordingPort : public WindowPort {
public:
    // --- answers
    unsigned int popupChoice = 0;          // returned by TrackPopupMenu
    CPoint screenOffset{0, 0};             // ClientToScreen adds it
    CSize clientSize{800, 600};
    int messageBoxAnswer = IDOK;
    FileDialogResult fileDialogAnswer;     // returned by FileDialog
    bool noteDialogOk = true;
    std::string noteDialogText;            // replaces the note text when noteDialogOk
    bool colorOk = true;
    unsigned int colorAnswer = 0;
    bool clipboardOk = true;
    bool printOk = true;
    bool hasSplitter = false;
    std::set<unsigned int> keysDown;       // IsKeyDown answers from this set
    bool panelsExist = true;

    // --- what happened
    std::vector<std::string> calls;
    CMenu lastMenu;                        // copy of the last menu tracked
    CPoint lastMenuPoint;
    unsigned int lastMenuFlags = 0;
    std::vector<std::string> messages;     // message box texts
    FileDialogRequest lastFileDialog;
    std::deque<unsigned int> postedCommands;
    bool captured = false;
    std::map<unsigned int, unsigned int> timers;  // id -> period
    int invalidations = 0;
    int clipboardImages = 0;
    int prints = 0;
    PrintRequest lastPrint;
    int splitterPanes = 1;
    std::map<int, std::string> statusText;
    std::string windowTitle;
    std::map<std::string, bool> panels;

    unsigned int TrackPopupMenu(const CMenu& menu, CPoint screen, unsigned int flags) override;
    CPoint ClientToScreen(CPoint client) override;
    CSize ClientSize() override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned int style) override;
    FileDialogResult FileDialog(const FileDialogRequest& request) override;
    bool NoteTextDialog(std::string& text, const std::string& title) override;
    bool ChooseColor(unsigned int& rgb) override;
    void PostCommand(unsigned int id) override;
    void SetCapture() override;
    void ReleaseCapture() override;
    void TrackMouseLeave() override;
    void SetTimer(unsigned int id, unsigned int milliseconds) override;
    void KillTimer(unsigned int id) override;
    void Invalidate() override;
    bool SetClipboardImage(const ketra::render::Image& image) override;
    bool Print(const ketra::render::Image& image, const PrintRequest& request) override;
    bool HasSplitter() override;
    void SetSplitterPanes(int panes) override;
    void SetStatusText(int pane, const std::string& text) override;
    void SetTitle(const std::string& text) override;
    bool IsKeyDown(unsigned int virtualKey) override;
    bool ShowPanel(const std::string& name, bool show) override;

    // True when some recorded call starts with `prefix`.
    bool Called(const std::string& prefix) const;
};

} // namespace ketra::window
