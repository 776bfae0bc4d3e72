#include "platform/ui/pages/ColourNames.h"

#include <cstdio>
#include <limits>

namespace ketra::ui {
namespace {

struct Named {
    int r, g, b;
    const char* name;
};

// The palette's twenty colours first, then common names for the rest.
constexpr Named kNames[] = {
    {0, 0, 0, "Black"},          {128, 0, 0, "Dark Red"},      {0, 128, 0, "Green"},
    {128, 128, 0, "Olive"},      {0, 0, 128, "Navy"},          {128, 0, 128, "Purple"},
    {0, 128, 128, "Teal"},       {192, 192, 192, "Silver"},    {192, 220, 192, "Money Green"},
    {166, 202, 240, "Sky Blue"}, {255, 251, 240, "Cream"},     {160, 160, 164, "Medium Grey"},
    {128, 128, 128, "Grey"},     {255, 0, 0, "Red"},           {0, 255, 0, "Bright Green"},
    {255, 255, 0, "Yellow"},     {0, 0, 255, "Blue"},          {255, 0, 255, "Magenta"},
    {0, 255, 255, "Cyan"},       {255, 255, 255, "White"},     {255, 165, 0, "Orange"},
    {165, 42, 42, "Brown"},      {255, 192, 203, "Pink"},      {173, 216, 230, "Light Blue"},
    {64, 64, 64, "Dark Grey"},   {211, 211, 211, "Light Grey"}, {144, 238, 144, "Light Green"},
    {255, 255, 224, "Light Yellow"}, {0, 100, 0, "Dark Green"}, {0, 0, 139, "Dark Blue"},
    {238, 130, 238, "Violet"},   {210, 180, 140, "Tan"},       {255, 215, 0, "Gold"},
};

double RedmeanDistance(int r1, int g1, int b1, int r2, int g2, int b2) {
    const double mean = (r1 + r2) / 2.0;
    const double dr = r1 - r2, dg = g1 - g2, db = b1 - b2;
    return (2 + mean / 256) * dr * dr + 4 * dg * dg + (2 + (255 - mean) / 256) * db * db;
}

} // namespace

std::string ColourName(unsigned long colorref) {
    const int r = static_cast<int>(colorref & 0xFF), g = static_cast<int>((colorref >> 8) & 0xFF),
              b = static_cast<int>((colorref >> 16) & 0xFF);
    const Named* best = nullptr;
    double bestDistance = std::numeric_limits<double>::max();
    for (const Named& named : kNames) {
        const double d = RedmeanDistance(r, g, b, named.r, named.g, named.b);
        if (d < bestDistance) {
            bestDistance = d;
            best = &named;
        }
    }
    if (bestDistance == 0)
        return best->name;
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", r, g, b);
    return std::string("Near ") + best->name + " (" + hex + ")";
}

} // namespace ketra::ui
