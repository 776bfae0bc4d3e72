#include "view/window/ComponentResources.h"

#include "view/window/EmbeddedResources.h"

#include "platform/window/ResourceModule.h"

#include <cstring>
#include <string>

namespace ketra::view {

void RegisterComponentResources()
{
    // The module is built once; later calls find it registered and leave it alone, so a
    // host that replaced it (its own menus under the same name) keeps its version.
    static const bool registered = [] {
        if (ketra::window::LoadResourceModule(kComponentResourceModule))
            return true;
        ketra::window::ResourceModule module;
        module.name = kComponentResourceModule;
        for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
            const EmbeddedResource& resource = kEmbeddedResources[i];
            std::string text(resource.data, resource.size);
            if (std::strcmp(resource.kind, "menu") == 0)
                module.menus[resource.id] = std::move(text);
            else
                module.texts[resource.id] = std::move(text);
        }
        ketra::window::RegisterResourceModule(module);
        return true;
    }();
    (void)registered;
}

} // namespace ketra::view
