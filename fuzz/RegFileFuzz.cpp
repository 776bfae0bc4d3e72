// Fuzzes the settings store's ".reg" reader: any bytes parse or fail with a line number,
// and whatever parses serialises to text that parses back to the same tree.
#include "platform/sys/RegistryTree.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace ketra::sys;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    RegistryTree tree;
    RegParseError error;
    if (!RegistryTree::FromText(text, &tree, &error)) {
        if (error.line < 0)
            std::abort();
        return 0;
    }
    RegistryTree again;
    if (!RegistryTree::FromText(tree.Serialise(), &again, &error) || !(again == tree))
        std::abort();
    return 0;
}
