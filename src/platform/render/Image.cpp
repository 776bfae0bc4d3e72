#include "platform/render/Renderer.h"

namespace ketra::render {

Image::Pixel Image::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {};
    const size_t i = (static_cast<size_t>(y) * width + x) * 4;
    if (i + 3 >= rgba.size()) return {};
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

} // namespace ketra::render
