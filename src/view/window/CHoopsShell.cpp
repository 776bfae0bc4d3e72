#include "view/window/CHoopsShell.h"

#include "annotation/AnnotationCallbacks.h"
#include "platform/hc/hc.h"
#include "platform/sys/Registry.h"
#include "platform/sys/TextEncoding.h"
#include "platform/window/ResourceModule.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

namespace ketra::view {
// Registers the resource module compiled into the library (ComponentResources.cpp).
void RegisterComponentResources();
} // namespace ketra::view

namespace {

// The folder fontconfig searches first on Linux systems.
constexpr const char* kSystemFontFolder = "/usr/share/fonts";

std::string ComponentPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&CHOOPS_KETRAApp::ComponentFolder), &info) == 0 ||
        !info.dli_fname)
        return {};
    return info.dli_fname;
}

} // namespace

CHOOPS_KETRAApp::CHOOPS_KETRAApp() = default;
CHOOPS_KETRAApp::~CHOOPS_KETRAApp() = default;

std::string CHOOPS_KETRAApp::ComponentFolder()
{
    const std::string path = ComponentPath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string CHOOPS_KETRAApp::ComponentFileName()
{
    const std::string path = ComponentPath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CHOOPS_KETRAApp::InitInstance()
{
    if (!CHoopsApp::InitInstance())
        return false;

    // Resources: the module named after the graphics version, beside the component; a
    // component whose own file carries the name holds them itself. Both are the module
    // compiled into this library.
    ketra::view::RegisterComponentResources();
    char moduleName[4096];
    std::snprintf(moduleName, sizeof moduleName, "%sHOOPS_KETRA%d_vc90u.dll",
                  ComponentFolder().c_str(), kGraphicsVersion);
    const char* baseName = std::strrchr(moduleName, '/');
    const ketra::window::ResourceModule* module =
        ketra::window::LoadResourceModule(baseName ? baseName + 1 : moduleName);
    if (module)
        m_resources = module;
    if (ComponentFileName().find("HOOPS_KETRA") != std::string::npos || !m_resources) {
        char ownName[64];
        std::snprintf(ownName, sizeof ownName, "HOOPS_KETRA%d_vc90U.dll", kGraphicsVersion);
        if (const ketra::window::ResourceModule* own = ketra::window::LoadResourceModule(ownName))
            m_resources = own;
    }
    if (m_resources)
        ketra::window::SetResourceHandle(m_resources);

    WriteGraphicsDefaults();
    // The notes' draw callbacks, each defined only where it is not defined yet.
    RegisterAnnotationCallbacks();
    return true;
}

void CHOOPS_KETRAApp::WriteGraphicsDefaults()
{
    using namespace ketra::sys;
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, L"HOOPS", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                       nullptr) != ERROR_SUCCESS)
        return;
    const std::wstring folder = FromUtf8(ComponentFolder());
    const std::wstring fonts = FromUtf8(kSystemFontFolder);
    const struct {
        const wchar_t* name;
        std::wstring value;
    } defaults[] = {
        {L"HOOPS_PICTURE", L"opengl/window0"},
        {L"INSTALLATION_DIRECTORY", folder},
        {L"PARASOLID_SCHEMA_PATH", folder},
        {L"HOOPS_FONT_DIRECTORY", fonts},
        {L"HOOPS_SYSTEM_OPTIONS", L"no errors,no warnings,no info"},
    };
    {
        // One write of the store for all missing values.
        RegistryTransaction transaction;
        for (const auto& entry : defaults) {
            if (RegQueryValueEx(key, entry.name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
                continue;
            RegSetString(key, entry.name, entry.value);
        }
        transaction.Commit();
    }
    RegCloseKey(key);
    char option[4200];
    std::snprintf(option, sizeof option, "font directory=%s", kSystemFontFolder);
    HC_Define_System_Options(option);
}

CHOOPS_KETRAApp& GetKetraApp()
{
    static CHOOPS_KETRAApp app;
    return app;
}

// --- splitter and child window

void CCustSplitterWnd::Create()
{
    m_rows = 1;
    m_columns = 1;
    m_fourViews = false;
    m_activePane = 0;
    m_tracking = false;
    if (onLayout)
        onLayout(1);
}

void CCustSplitterWnd::ToggleFourViews()
{
    if (m_rows == 1 && m_columns == 1) {
        m_rows = 2;
        m_columns = 2;
        m_fourViews = true;
    } else {
        m_rows = 1;
        m_columns = 1;
        m_fourViews = false;
        m_activePane = 0;
    }
    m_tracking = false;
    if (onLayout)
        onLayout(m_rows * m_columns);
}

bool CCustSplitterWnd::OnKeyDown(unsigned int key)
{
    if (!m_tracking || (key != 0x0D && key != 0x1B))
        return false;
    m_tracking = false;
    if (onLayout)
        onLayout(m_rows * m_columns);
    return true;
}

CHoopsChildWnd::CHoopsChildWnd(ketra::window::WindowPort* port) : CHoopsFrame(port)
{
    m_splitter.onLayout = [this](int panes) { Port().SetSplitterPanes(panes); };
    m_splitter.Create();
}
