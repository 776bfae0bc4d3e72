#include "host/PcfModelBuilder.h"

#include "host/PcfVector.h"

#include <algorithm>
#include <cmath>

namespace ketra::host {

using namespace pcf;

PcfBendShape MeasurePcfBend(const PcfComponent& c, double tolerance, const std::string& unit,
                            std::vector<std::pair<SourcePosition, std::string>>* warnings) {
    PcfBendShape shape;
    const Vec3 &p1 = c.ends[0].at, &p2 = c.ends[1].at, &corner = c.centre->at;
    const double t1 = Norm(Sub(corner, p1)), t2 = Norm(Sub(p2, corner));
    if (t1 <= tolerance || t2 <= tolerance) {
        if (Norm(Sub(p2, p1)) <= tolerance) {
            shape.zeroLength = true;
            return shape;
        }
        throw PcfError{c.centre->position,
                       c.keyword + "'s CENTRE-POINT lies on an END-POINT; it must be the "
                                   "corner where the legs meet"};
    }
    const double cosine = std::clamp(Dot(Sub(corner, p1), Sub(p2, corner)) / (t1 * t2), -1.0, 1.0);
    const double deflection = std::acos(cosine) * 180 / kPi;
    shape.deflection = deflection;
    if (deflection < 0.5) {
        warnings->push_back({c.position, c.keyword + " turns by " + Fixed(deflection) +
                                             " degrees; drawn straight"});
        shape.straight = true;
        return shape;
    }
    if (deflection > 179) {
        throw PcfError{c.centre->position,
                       c.keyword + " turns back on itself (" + Fixed(deflection) + " degrees)"};
    }
    const double tangent = (t1 + t2) / 2;
    if (std::fabs(t1 - t2) > std::max(2 * tolerance, 0.05 * tangent))
        throw PcfError{c.centre->position,
                       c.keyword + "'s legs from the CENTRE-POINT are " + Fixed(t1) + " and " +
                           Fixed(t2) + " " + unit +
                           " long; a bend's corner is as far from both END-POINTs"};
    const double half = deflection * kPi / 360;
    double radius = tangent / std::tan(half);
    if (c.bendRadius) {
        if (std::fabs(*c.bendRadius - radius) <= std::max(tolerance, 0.01 * radius))
            radius = *c.bendRadius;
        else
            warnings->push_back(
                {c.bendRadiusPosition, "BEND-RADIUS " + Fixed(*c.bendRadius) +
                                           " does not fit the bend's geometry; drawn with radius " +
                                           Fixed(radius)});
    }
    if (c.angle) {
        // Exporters write hundredths of a degree or degrees, the deflection or the
        // included angle: any of these that fits the geometry will do.
        bool fits = false;
        for (double a : {*c.angle / 100, *c.angle})
            for (double v : {a, 180 - a})
                fits = fits || std::fabs(v - deflection) <= 1.0;
        if (!fits)
            warnings->push_back({c.anglePosition, "ANGLE " + Fixed(*c.angle, 0) +
                                                      " does not match the bend's deflection of " +
                                                      Fixed(deflection) + " degrees"});
    }
    shape.radius = radius;
    return shape;
}

} // namespace ketra::host
