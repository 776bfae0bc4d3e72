// The component's application, frame, child window, splitter and document classes.
//
// CHOOPS_KETRAApp::InitInstance sets the component up once per process: the resource module
// (menus, dialog descriptions, the HTML page template) compiled into the library, defaults of
// the graphics system in the settings store under "HOOPS" (each written only when missing),
// and the draw callbacks notes use (each defined only when not yet defined).
#pragma once

#include "config/HOpConfig.h"
#include "platform/window/CHoopsApp.h"
#include "platform/window/CHoopsDoc.h"
#include "platform/window/CHoopsFrame.h"

#include <functional>
#include <string>

typedef long HC_KEY;

namespace ketra::window { struct ResourceModule; }

class CHOOPS_KETRAApp : public CHoopsApp {
public:
    static constexpr int kGraphicsVersion = 1918;

    CHOOPS_KETRAApp();
    ~CHOOPS_KETRAApp() override;

    bool InitInstance() override;

    // The application's plot configuration.
    HOpConfig& GetConfig() { return m_config; }

    // The module the component's resources come from (set by InitInstance).
    const ketra::window::ResourceModule* GetResourceModule() const { return m_resources; }
    // Folder of the component's library file, with a trailing '/' ("" when unknown).
    static std::string ComponentFolder();
    // File name of the component's library ("libHOOPS_KETRA.so.0", ...).
    static std::string ComponentFileName();

private:
    void WriteGraphicsDefaults();

    HOpConfig m_config;
    const ketra::window::ResourceModule* m_resources = nullptr;
};

// The process's application object (created on first use).
CHOOPS_KETRAApp& GetKetraApp();

// Frame of a single-document host. Palette devices do not exist under X11 or Wayland: the
// palette members exist and do nothing.
class CHoopsFrameSdi : public CHoopsFrame {
public:
    using CHoopsFrame::CHoopsFrame;
    struct CPalette* GetSharedPalette() { return nullptr; }
    int IsPaletteShared() const { return m_paletteShared; }
    void SetPaletteShared(int shared) { m_paletteShared = shared; }

private:
    int m_paletteShared = 0;
};

// The child window's splitter: one pane, or four (2 x 2) after a split.
class CCustSplitterWnd {
public:
    int GetRowCount() const { return m_rows; }
    int GetColumnCount() const { return m_columns; }
    bool GetFourViews() const { return m_fourViews; }
    int GetActivePane() const { return m_activePane; }
    bool IsTracking() const { return m_tracking; }

    // Creation leaves one pane.
    void Create();
    // One pane -> four (flag set); four -> one, first pane active (flag cleared).
    void ToggleFourViews();
    void SetActivePane(int pane) { m_activePane = (pane >= 0 && pane < m_rows * m_columns) ? pane : 0; }
    // A keyboard split in progress: Enter or Escape ends it (0x0D, 0x1B). Returns true when
    // the key ended a split.
    void StartTracking() { m_tracking = true; }
    bool OnKeyDown(unsigned int key);
    // Called with the new pane count whenever the layout changes.
    std::function<void(int panes)> onLayout;

private:
    int m_rows = 1;
    int m_columns = 1;
    bool m_fourViews = false;
    int m_activePane = 0;
    bool m_tracking = false;
};

class CHoopsChildWnd : public CHoopsFrame {
public:
    explicit CHoopsChildWnd(ketra::window::WindowPort* port = nullptr);
    CCustSplitterWnd* GetSplitterWnd() { return &m_splitter; }

private:
    CCustSplitterWnd m_splitter;
};

class HBaseModel;

// The document: owns nothing of the toolkit; holds the model and the key of the segment the
// host includes it through.
class CHoopsOleDoc : public CHoopsDoc {
public:
    HBaseModel* GetHoopsModel() override { return m_pHoopsModel; }
    HC_KEY GetIncludeKey() const { return m_includeKey; }
    void SetIncludeKey(HC_KEY key) { m_includeKey = key; }
    virtual bool OnNewDocument() { return true; }
    virtual bool OnOpenDocument(const char* path) { return path != nullptr && *path != '\0'; }
    virtual void Serialize() {}

private:
    HC_KEY m_includeKey = -1;
};
