// OpenGL declarations for the renderer. We call core-profile entry points directly: the GL
// vendor-neutral dispatch library (libOpenGL) exports every core function up to 4.5, and
// dispatches to whichever context (EGL or the window system's) is current.
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
