// CHoopsFrame: a top-level frame window (menus, tool bars, status bar, docks); the toolkit
// draws it, the port carries what the frame says to it.
#pragma once

#include "platform/window/CWnd.h"

#include <string>

class CHoopsFrame : public CWnd {
public:
    using CWnd::CWnd;

    // Text of status-bar pane `pane` (0 is the message pane).
    void SetPaneText(int pane, const std::string& text) { Port().SetStatusText(pane, text); }
    void SetTitle(const std::string& title) { Port().SetTitle(title); }
};
