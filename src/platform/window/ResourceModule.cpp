#include "platform/window/ResourceModule.h"

#include <memory>
#include <strings.h>
#include <vector>

namespace ketra::window {
namespace {

struct Registry {
    // Stable addresses: handles given out stay valid when more modules are registered.
    std::vector<std::unique_ptr<ResourceModule>> modules;
    const ResourceModule* current = nullptr;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

void RegisterResourceModule(const ResourceModule& module)
{
    Registry& registry = TheRegistry();
    for (auto& existing : registry.modules) {
        if (strcasecmp(existing->name.c_str(), module.name.c_str()) == 0) {
            *existing = module;
            return;
        }
    }
    registry.modules.push_back(std::make_unique<ResourceModule>(module));
}

const ResourceModule* LoadResourceModule(const char* name)
{
    if (!name)
        return nullptr;
    for (const auto& module : TheRegistry().modules)
        if (strcasecmp(module->name.c_str(), name) == 0)
            return module.get();
    return nullptr;
}

const ResourceModule* GetResourceHandle()
{
    return TheRegistry().current;
}

void SetResourceHandle(const ResourceModule* module)
{
    TheRegistry().current = module;
}

} // namespace ketra::window
