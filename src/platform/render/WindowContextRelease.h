// A window system whose OpenGL context is current on the scene graph's thread keeps the
// headless context (RenderToImage, the display driver) from being made current there: GL
// dispatch allows one window-system API per thread at a time, so pictures, copies and prints
// asked for while a window is shown would fail. A window layer drawing through another API
// (the Qt skin, over GLX) installs a function that gives its current context up; the headless
// context calls it, on the thread that is about to make it current, before each use. The
// window makes its own context current again before it next draws.
#pragma once

namespace ketra::render {

// Null removes it. The function must do nothing on threads that hold no window context.
void SetWindowContextRelease(void (*release)());

} // namespace ketra::render
