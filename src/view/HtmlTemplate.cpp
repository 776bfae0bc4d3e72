#include "view/HtmlTemplate.h"

asm(R"(
    .section .rodata
    .globl ketra_html_118_begin, ketra_html_118_end
    .hidden ketra_html_118_begin, ketra_html_118_end
ketra_html_118_begin:
    .incbin ")" KETRA_HTML_TEMPLATE R"("
ketra_html_118_end:
    .byte 0
    .previous
)");

extern "C" __attribute__((visibility("hidden"))) const char ketra_html_118_begin[];
extern "C" __attribute__((visibility("hidden"))) const char ketra_html_118_end[];

namespace ketra::view {

std::string_view HtmlPageTemplate() {
    return {ketra_html_118_begin, static_cast<size_t>(ketra_html_118_end - ketra_html_118_begin)};
}

} // namespace ketra::view
