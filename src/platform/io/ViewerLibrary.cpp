#include "platform/io/ViewerLibrary.h"

// The bundle is 2 MB of text: the assembler copies it in, rather than the compiler parsing
// it as a string literal.
asm(R"(
    .section .rodata
    .p2align 4
    .globl ketra_three_js_begin, ketra_three_js_end
    .hidden ketra_three_js_begin, ketra_three_js_end
ketra_three_js_begin:
    .incbin ")" KETRA_THREE_BUNDLE R"("
ketra_three_js_end:
    .byte 0
    .previous
)");

extern "C" __attribute__((visibility("hidden"))) const char ketra_three_js_begin[];
extern "C" __attribute__((visibility("hidden"))) const char ketra_three_js_end[];

namespace ketra::io {

std::string_view ThreeJsScript() {
    return {ketra_three_js_begin, static_cast<size_t>(ketra_three_js_end - ketra_three_js_begin)};
}

std::string_view ThreeJsVersion() { return KETRA_THREE_VERSION; }

} // namespace ketra::io
