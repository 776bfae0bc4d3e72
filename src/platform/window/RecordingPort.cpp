#include "platform/window/RecordingPort.h"

#include "platform/render/Renderer.h"

#include <cstdio>

namespace ketra::window {
namespace {

std::string Hex(unsigned int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

} // namespace

unsigned int RecordingPort::TrackPopupMenu(const CMenu& menu, CPoint screen, unsigned int flags)
{
    lastMenu = menu;
    lastMenuPoint = screen;
    lastMenuFlags = flags;
    calls.push_back("TrackPopupMenu " + std::to_string(screen.x) + "," + std::to_string(screen.y) +
                    " flags=" + Hex(flags));
    return popupChoice;
}

CPoint RecordingPort::ClientToScreen(CPoint client)
{
    return {client.x + screenOffset.x, client.y + screenOffset.y};
}

CSize RecordingPort::ClientSize()
{
    return clientSize;
}

int RecordingPort::MessageBox(const std::string& text, const std::string& caption,
                              unsigned int style)
{
    messages.push_back(text);
    calls.push_back("MessageBox " + text + " | " + caption + " | " + Hex(style));
    return messageBoxAnswer;
}

FileDialogResult RecordingPort::FileDialog(const FileDialogRequest& request)
{
    lastFileDialog = request;
    calls.push_back(std::string("FileDialog ") + (request.save ? "save " : "open ") + request.title);
    return fileDialogAnswer;
}

bool RecordingPort::NoteTextDialog(std::string& text, const std::string& dialogTitle)
{
    calls.push_back("NoteTextDialog " + dialogTitle + " | " + text);
    if (noteDialogOk)
        text = noteDialogText;
    return noteDialogOk;
}

bool RecordingPort::ChooseColor(unsigned int& rgb)
{
    calls.push_back("ChooseColor " + Hex(rgb));
    if (colorOk)
        rgb = colorAnswer;
    return colorOk;
}

void RecordingPort::PostCommand(unsigned int id)
{
    postedCommands.push_back(id);
    calls.push_back("PostCommand " + std::to_string(id));
}

void RecordingPort::SetCapture()
{
    captured = true;
    calls.push_back("SetCapture");
}

void RecordingPort::ReleaseCapture()
{
    captured = false;
    calls.push_back("ReleaseCapture");
}

void RecordingPort::TrackMouseLeave()
{
    calls.push_back("TrackMouseLeave");
}

void RecordingPort::SetTimer(unsigned int id, unsigned int milliseconds)
{
    timers[id] = milliseconds;
    calls.push_back("SetTimer " + std::to_string(id) + " " + std::to_string(milliseconds));
}

void RecordingPort::KillTimer(unsigned int id)
{
    timers.erase(id);
    calls.push_back("KillTimer " + std::to_string(id));
}

void RecordingPort::Invalidate()
{
    ++invalidations;
}

bool RecordingPort::SetClipboardImage(const ketra::render::Image& image)
{
    calls.push_back("SetClipboardImage " + std::to_string(image.width) + "x" +
                    std::to_string(image.height));
    if (clipboardOk)
        ++clipboardImages;
    return clipboardOk;
}

bool RecordingPort::Print(const ketra::render::Image& image, const PrintRequest& request)
{
    lastPrint = request;
    calls.push_back("Print " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                    (request.grayscale ? " grayscale" : ""));
    if (printOk)
        ++prints;
    return printOk;
}

bool RecordingPort::HasSplitter()
{
    return hasSplitter;
}

void RecordingPort::SetSplitterPanes(int panes)
{
    splitterPanes = panes;
    calls.push_back("SetSplitterPanes " + std::to_string(panes));
}

void RecordingPort::SetStatusText(int pane, const std::string& text)
{
    statusText[pane] = text;
}

void RecordingPort::SetTitle(const std::string& text)
{
    windowTitle = text;
}

bool RecordingPort::IsKeyDown(unsigned int virtualKey)
{
    return keysDown.count(virtualKey) != 0;
}

bool RecordingPort::ShowPanel(const std::string& name, bool show)
{
    calls.push_back("ShowPanel " + name + (show ? " on" : " off"));
    if (!panelsExist)
        return false;
    panels[name] = show;
    return true;
}

bool RecordingPort::Called(const std::string& prefix) const
{
    for (const std::string& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

} // namespace ketra::window
