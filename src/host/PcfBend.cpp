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

std::optional<Vec3> PcfCornerFromArcCentre(const PcfComponent& c, const std::vector<PcfLeg>& legs1,
                                           const std::vector<PcfLeg>& legs2, double tolerance) {
    const Vec3 &p1 = c.ends[0].at, &p2 = c.ends[1].at, &centre = c.centre->at;
    const double r1 = Norm(Sub(p1, centre)), r2 = Norm(Sub(p2, centre)), r = (r1 + r2) / 2;
    const double slack = std::max(2 * tolerance, 0.05 * r);
    if (r <= tolerance || std::fabs(r1 - r2) > slack || legs1.size() + legs2.size() == 0)
        return std::nullopt; // without legs nothing tells a centre from a corner
    for (const PcfLeg& leg : legs1)
        if (std::fabs(Dot(leg.inward, Sub(centre, p1))) > slack)
            return std::nullopt;
    for (const PcfLeg& leg : legs2)
        if (std::fabs(Dot(leg.inward, Sub(centre, p2))) > slack)
            return std::nullopt;
    const Vec3 middle = Sub(Mul(Add(p1, p2), 0.5), centre);
    const double h = Norm(middle); // r cos(half the deflection)
    if (h <= tolerance)
        return std::nullopt; // a half circle has no corner
    return Add(centre, Mul(middle, r * r / (h * h)));
}

std::optional<Vec3> PcfCornerFromLegs(const PcfComponent& c, const std::vector<PcfLeg>& legs1,
                                      const std::vector<PcfLeg>& legs2, double tolerance,
                                      std::string* how) {
    const Vec3 &p1 = c.ends[0].at, &p2 = c.ends[1].at;
    auto line = [](const PcfLeg& leg) { return std::to_string(leg.component->position.line); };
    if (!legs1.empty() && !legs2.empty()) {
        // The nearest points of the lines p1 + s d1 and p2 + t d2.
        const Vec3 &d1 = legs1[0].inward, &d2 = legs2[0].inward, w = Sub(p1, p2);
        const double k = Dot(d1, d2), den = 1 - k * k;
        if (den < 1e-6)
            return std::nullopt; // parallel legs
        const double s = (k * Dot(d2, w) - Dot(d1, w)) / den, t = Dot(d2, w) + s * k;
        if (s <= tolerance || t <= tolerance)
            return std::nullopt;
        *how = "where the legs at lines " + line(legs1[0]) + " and " + line(legs2[0]) + " meet";
        return Mul(Add(Add(p1, Mul(d1, s)), Add(p2, Mul(d2, t))), 0.5);
    }
    if (legs1.empty() && legs2.empty())
        return std::nullopt;
    // The tangent at one end and the other end fix the arc: its corner is on the tangent, as
    // far from both ends.
    const PcfLeg& leg = legs1.empty() ? legs2[0] : legs1[0];
    const Vec3 &from = legs1.empty() ? p2 : p1, &to = legs1.empty() ? p1 : p2;
    const Vec3 w = Sub(to, from);
    const double along = 2 * Dot(leg.inward, w);
    if (along <= tolerance)
        return std::nullopt;
    *how = "on the line of the " + leg.component->keyword + " at line " + line(leg) +
           ", as far from both END-POINTs";
    return Add(from, Mul(leg.inward, Dot(w, w) / along));
}

bool PcfOnBend(const Vec3& p, const Vec3& p1, const Vec3& p2, const Vec3& corner, double radius,
               double reach, double tolerance) {
    const Vec3 u1 = Unit(Sub(corner, p1)), u2 = Unit(Sub(p2, corner));
    const double half = std::acos(std::clamp(Dot(u1, u2), -1.0, 1.0)) / 2;
    const Vec3 centre = Add(corner, Mul(Unit(Sub(u2, u1)), radius / std::cos(half)));
    return std::fabs(Norm(Sub(p, centre)) - radius) <= reach && Dot(Sub(p, p1), u1) >= -tolerance &&
           Dot(Sub(p2, p), u2) >= -tolerance;
}

} // namespace ketra::host
