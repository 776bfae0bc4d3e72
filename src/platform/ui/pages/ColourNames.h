// ColourNames: a name a user knows for a colour, for the colour palette's entries.
#pragma once

#include <string>

namespace ketra::ui {

// The name of a Windows COLORREF colour (0x00BBGGRR): the table's name when the colour is one
// of its entries ("Sky Blue"), else the nearest entry's with the colour's hex code
// ("Near Orange (#ff9900)"). Nearness is the "redmean" weighted RGB distance (T. Riemersma,
// "Colour metric", CompuPhase), which follows perceived difference far better than plain RGB.
std::string ColourName(unsigned long colorref);

} // namespace ketra::ui
