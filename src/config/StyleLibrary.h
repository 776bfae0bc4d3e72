// StyleLibrary: pushes the plot properties into the shared style segments of the scene
// ("/Style Library/Pipes", "/Style Library/Bends", ...). Element segments take their
// colours from these styles, since no builder sets a colour; the colour page and the
// displaced-shape page call this after a change or a reset, and a host may call it
// directly after loading its plot properties.
//
// Contracts: every call opens and closes its own segments (the open-segment stack is as
// it was on return) and reads the values through the given HOpConfig, so the same rules
// for files, defaults and broken files apply. Strings that a hand-edited file makes
// unparsable go to the scene graph's error handler; nothing here throws.
#pragma once

#include "platform/hc/hc.h"

#include <functional>
#include <string>

class HOpConfig;

class StyleLibrary {
public:
    // What the style application needs from the current view, when there is one.
    struct ViewTargets {
        // The view's cutting-plane segment; the pressure-vessel host's grid colour goes
        // there. -1: no view, skipped.
        HC_KEY cuttingPlaneSegment = -1;
        // Receives the annotation font string so existing notes can change their font
        // (the view's annotation utility). Empty: skipped.
        std::function<void(const std::string& font)> changeAllFonts;
    };

    // Applies every element colour, marker and text style in the fixed order: pipes,
    // tees, hangers, nozzles, flanges, restraints, bends, expansion joints, anchors,
    // rigids, structure, node/output/annotation/legend text, node lengths, section text,
    // material text; for the pressure-vessel host then the vessel parts, the cutting
    // plane grid, the height scale, descriptions and weights.
    static void ResetAllColors(HOpConfig& config, const ViewTargets& view);
    static void ResetAllColors(HOpConfig& config); // without a view

    // "/Style Library/Displaced Shapes": colour, line pattern and line weight of the
    // displaced-shape line. A weight that is not positive leaves the weight unset.
    static void ApplyDisplacedShapeStyle(HOpConfig& config);

    // "name=(<font>,sans serif,system default), transforms=<t>,size=<size>".
    static std::string TextFontString(const std::string& font, const std::string& transforms,
                                      const std::string& size);
    // "markers=(R=%f G=%f B=%f)" of a colour value.
    static std::string MarkerColorString(unsigned long color);
};
