// Resource modules: the component's menus and text resources (page templates, dialog
// descriptions) are compiled into the library as named modules. A caller loads a module by
// name, makes it the current resource handle while it loads what it needs (CMenu::LoadMenu
// reads the current handle), then restores the previous handle.
#pragma once

#include <map>
#include <string>

namespace ketra::window {

struct ResourceModule {
    std::string name;                          // e.g. "HOOPS_KETRA1918_vc90U.dll"
    std::map<unsigned int, std::string> menus; // menu id -> resource script
    std::map<unsigned int, std::string> texts; // other resources by id
};

// Adds (or replaces) a module under its name. Modules live until the process ends.
void RegisterResourceModule(const ResourceModule& module);
// The module of that name (compared without regard to case), null when none is registered.
const ResourceModule* LoadResourceModule(const char* name);
// Modules are never unloaded; kept so callers can pair their loads.
inline void FreeResourceModule(const ResourceModule*) {}

// Current resource handle (null at start: nothing can be loaded).
const ResourceModule* GetResourceHandle();
void SetResourceHandle(const ResourceModule* module);

// Sets a module as the current resource handle for the life of the object, then restores
// the previous one.
class ScopedResourceHandle {
public:
    explicit ScopedResourceHandle(const ResourceModule* module)
        : m_previous(GetResourceHandle()) { SetResourceHandle(module); }
    ~ScopedResourceHandle() { SetResourceHandle(m_previous); }
    ScopedResourceHandle(const ScopedResourceHandle&) = delete;
    ScopedResourceHandle& operator=(const ScopedResourceHandle&) = delete;

private:
    const ResourceModule* m_previous;
};

} // namespace ketra::window
