// The checkerboard texture that paints nozzle limits in their two colours.
#include "config/HOpConfig.h"
#include "platform/hc/HcStrings.h"

#include <cstring>
#include <vector>

void HOpConfig::CreateCheckerboardTexture(int width, int height, unsigned long color1,
                                          unsigned long color2) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);

    HC_Open_Segment("checkerboard segment");
    HC_Flush_Contents(".", "everything");
    // Squares of 16 pixels; the square at the origin has the second colour.
    size_t at = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long c = ((x / 16) & 1) != ((y / 16) & 1) ? color1 : color2;
            pixels[at++] = static_cast<unsigned char>(c & 0xFF);
            pixels[at++] = static_cast<unsigned char>((c >> 8) & 0xFF);
            pixels[at++] = static_cast<unsigned char>((c >> 16) & 0xFF);
        }
    }
    HC_Insert_Image(0.0, 0.0, 0.0, "rgb, name=checkerboard image", width, height, pixels.data());
    HC_Set_Visibility("images = off");
    HC_Close_Segment();

    // Defined once: a second call only refreshes the image the texture reads.
    bool defined = false;
    std::string name;
    HC_Begin_Texture_Search();
    while (HC_Find_Texture(name))
        if (name.find("checkerboard texture") != std::string::npos)
            defined = true;
    HC_End_Texture_Search();
    if (!defined)
        HC_Define_Texture("checkerboard texture",
                          "source=checkerboard image, parameterization source = cylinder");
}
