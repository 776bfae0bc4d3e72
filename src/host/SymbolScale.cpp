#include "host/SymbolScale.h"

#include <algorithm>
#include <vector>

namespace ketra::host {

double ChooseSymbolScale(const PipingModel& model) {
    // The median, not the mean or the largest: a few large headers or a long run of small
    // drains must not size the symbols of everything else.
    std::vector<double> diameters;
    diameters.reserve(model.elements.size());
    for (const Element& e : model.elements)
        if (e.od > 0)
            diameters.push_back(e.od);
    if (diameters.empty())
        return 1.0;
    const auto middle = diameters.begin() + static_cast<std::ptrdiff_t>(diameters.size() / 2);
    std::nth_element(diameters.begin(), middle, diameters.end());
    return kSymbolScalePerDiameter * *middle;
}

} // namespace ketra::host
