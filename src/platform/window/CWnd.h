// CWnd: what every window class of the component shares: its WindowPort and its command
// map. Without a port set, calls go to an inert port (menus choose nothing, dialogs answer
// Cancel), so a window class never has to test for a toolkit.
#pragma once

#include "platform/window/CCmdUI.h"
#include "platform/window/CPoint.h"
#include "platform/window/CommandMap.h"
#include "platform/window/WindowPort.h"

class CWnd {
public:
    explicit CWnd(ketra::window::WindowPort* port = nullptr) : m_port(port) {}
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The port stays owned by the caller and must outlive the window (or be reset first).
    void SetPort(ketra::window::WindowPort* port) { m_port = port; }
    // Never null.
    ketra::window::WindowPort& Port() const;
    bool HasPort() const { return m_port != nullptr; }

    // Runs command `id`; false when the window has no handler for it.
    virtual bool OnCommand(unsigned int id);
    // Fills `ui` for command `id`; false when the window has no updater for it.
    virtual bool OnUpdateCommand(unsigned int id, CCmdUI& ui);
    // Posts `id` to this window through the port (delivered later to OnCommand).
    void PostCommand(unsigned int id) { Port().PostCommand(id); }

    CPoint ClientToScreen(CPoint client) const { return Port().ClientToScreen(client); }
    CommandMap& Commands() { return m_commands; }
    const CommandMap& Commands() const { return m_commands; }

protected:
    ketra::window::WindowPort* m_port = nullptr;
    CommandMap m_commands;
};
