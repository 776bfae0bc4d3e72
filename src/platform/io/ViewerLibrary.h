// The three.js library (npm, pinned; see cmake/ThreeJs.cmake) as one classic script that
// defines window.THREE, compiled into the component for the HTML pages' viewer.
#pragma once

#include <string_view>

namespace ketra::io {

// The script's text; valid for the life of the process. It never contains "</script" or
// "<!--", so it can be inlined between <script> tags as it is.
std::string_view ThreeJsScript();
// The three.js version compiled in ("0.187.0").
std::string_view ThreeJsVersion();

} // namespace ketra::io
