#include "analysis/PipingCode.h"

#include <algorithm>
#include <cmath>

namespace ketra::analysis {

BendFactors ElbowFactors(double od, double wall, double radius) {
    BendFactors f;
    const double r = (od - wall) / 2;
    f.h = wall * radius / (r * r);
    const double h23 = std::cbrt(f.h * f.h);
    f.flexibility = std::max(1.0, 1.65 / f.h);
    f.inPlane = std::max(1.0, 0.9 / h23);
    f.outOfPlane = std::max(1.0, 0.75 / h23);
    return f;
}

BendFactors TeeFactors(double od, double wall) {
    BendFactors f;
    const double r = (od - wall) / 2;
    f.h = 3.1 * wall / r;
    f.flexibility = 1;
    const double io = 0.9 / std::cbrt(f.h * f.h);
    f.outOfPlane = std::max(1.0, io);
    f.inPlane = std::max(1.0, 0.75 * io + 0.25);
    return f;
}

} // namespace ketra::analysis
