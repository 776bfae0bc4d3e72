// The colour palette's names: the palette's own colours by name, anything else by the nearest
// name with its code. Colours are Windows COLORREFs (0x00BBGGRR): a swapped byte order would
// call navy "Dark Red".
#include "platform/ui/pages/ColourNames.h"

#include <gtest/gtest.h>

using ketra::ui::ColourName;

TEST(ColourNamesTest, PaletteColoursByNameOthersByTheNearest) {
    EXPECT_EQ(ColourName(0x800000), "Navy");
    EXPECT_EQ(ColourName(0x000080), "Dark Red");
    EXPECT_EQ(ColourName(0xF0CAA6), "Sky Blue");
    EXPECT_EQ(ColourName(0xFFFFFF), "White");
    EXPECT_EQ(ColourName(0x0088FF), "Near Orange (#ff8800)");
    EXPECT_EQ(ColourName(0x101010), "Near Black (#101010)");
}
