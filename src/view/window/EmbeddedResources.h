// The component's resources compiled into the library (from src/view/window/resources by
// cmake/EmbedResources.cmake). RegisterComponentResources turns them into the resource
// module the window layer loads menus from.
#pragma once

#include <cstddef>

namespace ketra::view {

struct EmbeddedResource {
    const char* kind;  // "menu" or "text"
    unsigned int id;
    const char* data;  // the file's bytes, followed by a terminating 0
    std::size_t size;  // without the terminating 0
};

extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;

} // namespace ketra::view
