// The HTML page template (resources/html_118.html, the component's text resource 118)
// compiled into the component, for when no resource module supplies it.
#pragma once

#include <string_view>

namespace ketra::view {

// The template's text; valid for the life of the process.
std::string_view HtmlPageTemplate();

} // namespace ketra::view
