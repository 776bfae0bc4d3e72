#include "platform/window/CWnd.h"

#include "platform/window/CMenu.h"

namespace {

// Stands in while a window has no toolkit: nothing is shown, every question is answered
// with "no" or "cancel", so handlers run unchanged in headless hosts.
class InertPort final : public ketra::window::WindowPort {
public:
    unsigned int TrackPopupMenu(const CMenu&, CPoint, unsigned int) override { return 0; }
    CPoint ClientToScreen(CPoint client) override { return client; }
    CSize ClientSize() override { return {0, 0}; }
    int MessageBox(const std::string&, const std::string&, unsigned int) override
    {
        return ketra::window::IDCANCEL;
    }
    ketra::window::FileDialogResult FileDialog(const ketra::window::FileDialogRequest&) override
    {
        return {};
    }
    bool NoteTextDialog(std::string&, const std::string&) override { return false; }
    bool ChooseColor(unsigned int&) override { return false; }
    void PostCommand(unsigned int) override {}
    void SetCapture() override {}
    void ReleaseCapture() override {}
    void TrackMouseLeave() override {}
    void SetTimer(unsigned int, unsigned int) override {}
    void KillTimer(unsigned int) override {}
    void Invalidate() override {}
    bool SetClipboardImage(const ketra::render::Image&) override { return false; }
    bool Print(const ketra::render::Image&, const ketra::window::PrintRequest&) override
    {
        return false;
    }
    bool HasSplitter() override { return false; }
    void SetSplitterPanes(int) override {}
    void SetStatusText(int, const std::string&) override {}
    void SetTitle(const std::string&) override {}
    bool IsKeyDown(unsigned int) override { return false; }
    bool ShowPanel(const std::string&, bool) override { return false; }
};

} // namespace

ketra::window::WindowPort& CWnd::Port() const
{
    static InertPort inert;
    return m_port ? *m_port : inert;
}

bool CWnd::OnCommand(unsigned int id)
{
    return m_commands.Execute(id);
}

bool CWnd::OnUpdateCommand(unsigned int id, CCmdUI& ui)
{
    return m_commands.Update(id, ui);
}
