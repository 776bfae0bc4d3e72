// Writers of rendered images: PNG (libpng), BMP (our own writer: 24-bit BI_RGB, bottom-up
// rows padded to 4 bytes), TIFF (libtiff: RGB, 8 bits, deflate) and JPEG (libjpeg-turbo).
// Each stores the resolution (dots per inch) in the file where the format has a place for it.
//
// Files are written atomically: into a temporary file in the target's folder, flushed to
// disk, then renamed over the target. On failure the temporary is removed and an existing
// file at the path is untouched.
#pragma once

#include "platform/render/Renderer.h"

#include <string>

namespace ketra::io {

enum class ImageFormat { Png, Bmp, Tiff, Jpeg };

enum class WriteStatus {
    Ok,
    BadPath,  // empty path, missing folder, no permission
    Failed,   // empty image or an encoder error
};

struct ImageWriteOptions {
    int dpi = 96;          // <= 0 means 96
    int jpegQuality = 90;  // 1..100
};

// Writes `image` (alpha ignored) to `path`. On failure *error (when given) names the file and
// the reason.
WriteStatus WriteImage(const render::Image& image, const std::string& path, ImageFormat format,
                       const ImageWriteOptions& options, std::string* error = nullptr);

} // namespace ketra::io
