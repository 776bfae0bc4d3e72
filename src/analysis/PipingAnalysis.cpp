#include "analysis/PipingAnalysis.h"

#include "analysis/PipingCode.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>

namespace ketra::analysis {

namespace {

using host::Element;
using host::PipingModel;

constexpr double kPi = 3.14159265358979323846;
constexpr double kGravitySi = 9.80665;      // m/s², standard gravity
constexpr double kGravityInch = 386.08858;  // in/s², the same
constexpr double kRigidFactor = 1000;       // a rigid element: the pipe's section, E times this
constexpr double kBendStep = kPi / 36;      // the longest arc one straight beam of a bend spans (5°)

struct BuildError {
    std::string what;
};

Vec3 Add(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec3 Sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 Scale(const Vec3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Norm(const Vec3& a) { return std::sqrt(Dot(a, a)); }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 Unit(const Vec3& a) {
    const double n = Norm(a);
    return n > 0 ? Scale(a, 1 / n) : Vec3{};
}

std::string Where(const std::string& name, const host::SourcePosition& p) {
    return name + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": ";
}

std::string ElementName(const Element& e) {
    return "element " + std::to_string(e.from) + "-" + std::to_string(e.to);
}

// The free thermal strain from the installed temperature `from` to `to`: α·ΔT with a mean
// coefficient, or e(to) − e(from) with e(T) = α_mean(T)·(T − T_ref) from the material's table.
bool ThermalStrain(const host::Material& m, double from, double to, double* strain) {
    if (m.expansion) {
        *strain = *m.expansion * (to - from);
        return true;
    }
    const auto& t = m.expansionTable;
    auto at = [&](double temperature, double* e) {
        if (t.empty() || temperature < t.front()[0] - 1e-9 || temperature > t.back()[0] + 1e-9)
            return false;
        std::size_t i = 1;
        while (i + 1 < t.size() && t[i][0] < temperature)
            ++i;
        double alpha = t[0][1];
        if (t.size() > 1) {
            const double s = (temperature - t[i - 1][0]) / (t[i][0] - t[i - 1][0]);
            alpha = t[i - 1][1] + s * (t[i][1] - t[i - 1][1]);
        }
        *e = alpha * (temperature - m.expansionReference);
        return true;
    };
    double a = 0, b = 0;
    if (!at(from, &a) || !at(to, &b))
        return false;
    *strain = b - a;
    return true;
}

// A bend's arc: from the tangent point on its element (T1) to the one on the next (T2).
struct Arc {
    std::size_t element = 0; // the element that ends at the corner
    std::vector<Vec3> points; // T1 .. T2
    std::vector<int> nodes;   // frame nodes of points[1..] (T1's is the element's choice)
    double tangent = 0;       // R·tan(θ/2), trimmed from both elements
    int lastBeam = -1;        // the arc's last beam, once built
    Vec3 normal{};            // of the bend's plane
    BendFactors factors;
    int middle() const { return nodes[points.size() / 2 - 1]; }
};

Section SectionOf(double od, double wall, double poisson) { return PipeSection(od, wall, poisson); }

class Builder {
public:
    Builder(const PipingModel& model, const std::string& name) : m_model(model), m_name(name) {}

    PipingFrame Build() {
        const bool inch = m_model.units == host::Units::Inches;
        m_pf.unitLength = inch ? "in" : "mm";
        m_pf.unitForce = inch ? "lbf" : "N";
        m_pf.unitMoment = inch ? "in.lbf" : "N.mm";
        m_pf.unitStress = inch ? "psi" : "MPa";
        // Weight per volume and mass per volume from a density (lb/in³ or kg/m³), in the
        // frame's units (lbf and in, lbf·s²/in; N and mm, tonnes).
        m_weightPerDensity = inch ? 1.0 : 1e-9 * kGravitySi;
        m_massPerDensity = inch ? 1.0 / kGravityInch : 1e-12;
        m_installed = m_model.installedTemperature.value_or(inch ? 70 : 21);
        m_pf.conditions = 1;
        for (const Element& e : m_model.elements)
            m_pf.conditions = std::max({m_pf.conditions, int(e.temperatures.size()), int(e.pressures.size())});
        m_pf.thermal.assign(std::size_t(m_pf.conditions), {});
        const Vec3 up = m_model.up == host::UpAxis::Z ? Vec3{0, 0, 1} : Vec3{0, 1, 0};
        m_down = Scale(up, -1);

        CheckNeeds();
        MakeArcs();
        for (std::size_t i = 0; i < m_model.elements.size(); ++i)
            AddElement(i);
        AddSupports(up, inch);
        return std::move(m_pf);
    }

private:
    [[noreturn]] void Fail(const host::SourcePosition& p, const std::string& what) const {
        throw BuildError{Where(m_name, p) + what};
    }

    void CheckNeeds() {
        for (const Element& e : m_model.elements) {
            if (e.material < 0)
                Fail(e.position, ElementName(e) + " has no material: give \"material\" at the top level or on an element");
            const host::Material& mat = m_model.materials[static_cast<std::size_t>(e.material)];
            if (!(e.wall > 0))
                Fail(e.position, ElementName(e) + " needs \"wall\" for analysis");
            if (!(mat.allowableCold > 0) || !(mat.allowableHot > 0))
                Fail(mat.position, "the material of " + ElementName(e) + " needs \"allowableCold\" and \"allowableHot\"");
            for (int c = 0; c < m_pf.conditions; ++c) {
                double strain = 0;
                const double t = TemperatureIn(e, c).value_or(m_installed);
                if (t != m_installed && !ThermalStrain(mat, m_installed, t, &strain))
                    Fail(e.position, ElementName(e) + " runs at " + Format(t) + " but its material's \"expansion\" " +
                                         (mat.expansionTable.empty() ? "is not given" : "table does not reach it or the installed temperature"));
            }
            if (e.expansionJoint && !e.jointStiffness)
                Fail(e.position, "the expansion joint " + ElementName(e) + " needs \"jointStiffness\"");
        }
    }

    static std::string Format(double d) {
        std::ostringstream s;
        s << d;
        return s.str();
    }

    int NewNode(const Vec3& p, int modelNode) {
        m_pf.frame.nodes.push_back(p);
        m_pf.frameNodeModel.push_back(modelNode);
        return static_cast<int>(m_pf.frame.nodes.size()) - 1;
    }

    int NodeOf(int modelNode) {
        auto it = m_pf.nodeOf.find(modelNode);
        if (it != m_pf.nodeOf.end())
            return it->second;
        const int n = NewNode(m_model.nodes.at(modelNode), modelNode);
        m_pf.nodeOf[modelNode] = n;
        return n;
    }

    // Each bend's arc, as straight beams of at most kBendStep of arc, an even number so that
    // one node falls at the arc's middle, which stands for the corner node in results.
    void MakeArcs() {
        for (std::size_t i = 0; i < m_model.elements.size(); ++i) {
            const Element& e = m_model.elements[i];
            if (!e.bendRadius)
                continue;
            const Element* next = m_model.FirstFrom(e.to);
            const Vec3 a = Unit(e.delta), b = Unit(next->delta);
            const double angle = std::acos(std::clamp(Dot(a, b), -1.0, 1.0));
            if (angle < 1e-6)
                continue; // no turn: a straight run
            if (angle > kPi - 1e-6)
                Fail(e.position, "the bend at node " + std::to_string(e.to) + " turns the pipe back on itself");
            Arc arc;
            arc.element = i;
            const double R = *e.bendRadius;
            arc.tangent = R * std::tan(angle / 2);
            const Vec3 corner = m_model.nodes.at(e.to);
            const Vec3 t1 = Sub(corner, Scale(a, arc.tangent));
            const Vec3 inward = Unit(Sub(b, Scale(a, Dot(a, b))));
            const Vec3 centre = Add(t1, Scale(inward, R));
            int steps = static_cast<int>(std::ceil(angle / kBendStep - 1e-9));
            steps = std::max(2, steps + steps % 2);
            for (int k = 0; k <= steps; ++k) {
                const double phi = angle * k / steps;
                arc.points.push_back(Add(centre, Add(Scale(inward, -R * std::cos(phi)), Scale(a, R * std::sin(phi)))));
            }
            arc.normal = Unit(Cross(a, b));
            arc.factors = ElbowFactors(e.od, e.wall, R);
            for (int k = 1; k <= steps; ++k)
                arc.nodes.push_back(NewNode(arc.points[static_cast<std::size_t>(k)], e.to));
            m_arcs[e.to] = std::move(arc);
            m_pf.nodeOf[e.to] = m_arcs[e.to].middle();
        }
    }

    const Arc* ArcAt(int node) const {
        auto it = m_arcs.find(node);
        return it == m_arcs.end() ? nullptr : &it->second;
    }

    struct Props {
        double youngs, shear, poisson, weight, mass;
        std::vector<double> strains; // free thermal strain per operating condition
    };

    // An element's temperature and pressure in operating condition `c`.
    static std::optional<double> TemperatureIn(const Element& e, int c) {
        return e.temperatures.empty() ? e.temperature : std::optional<double>(e.temperatures[std::size_t(c)]);
    }
    static double PressureIn(const Element& e, int c) {
        return e.pressures.empty() ? e.pressure : e.pressures[std::size_t(c)];
    }

    Props PropsOf(const Element& e) const {
        const host::Material& mat = m_model.materials[static_cast<std::size_t>(e.material)];
        Props p{};
        p.youngs = mat.youngs;
        p.poisson = mat.poisson;
        p.shear = mat.youngs / (2 * (1 + mat.poisson));
        const double od = e.reducerOd ? (e.od + *e.reducerOd) / 2 : e.od;
        const double id = od - 2 * e.wall;
        const double metal = kPi / 4 * (od * od - id * id);
        const double bore = kPi / 4 * id * id;
        const double outer = od + 2 * e.insulation.thickness;
        const double insulation = kPi / 4 * (outer * outer - od * od);
        const double perLength = mat.density * metal + e.contents * bore + e.insulation.density * insulation;
        p.weight = perLength * m_weightPerDensity;
        p.mass = perLength * m_massPerDensity;
        p.strains.assign(std::size_t(m_pf.conditions), 0.0);
        for (int c = 0; c < m_pf.conditions; ++c)
            if (const std::optional<double> t = TemperatureIn(e, c))
                ThermalStrain(mat, m_installed, *t, &p.strains[std::size_t(c)]);
        return p;
    }

    int AddBeam(int a, int b, const Props& p, const Section& s, double flexibility, double lengthRatio) {
        Beam beam;
        beam.a = a;
        beam.b = b;
        beam.youngs = p.youngs;
        beam.shear = p.shear;
        beam.section = s;
        beam.flexibility = flexibility;
        beam.massPerLength = p.mass * lengthRatio;
        beam.strain = p.strains.front();
        m_pf.frame.beams.push_back(beam);
        m_pf.weight.push_back(Scale(m_down, p.weight * lengthRatio));
        for (int c = 0; c < m_pf.conditions; ++c) {
            const double strain = p.strains[std::size_t(c)];
            m_pf.thermal[std::size_t(c)].push_back(strain);
            if (strain != 0)
                m_pf.hasLoad = true;
        }
        if (p.weight > 0)
            m_pf.hasLoad = true;
        return static_cast<int>(m_pf.frame.beams.size()) - 1;
    }

    // The stress intensification of a fitting at `node` as seen from an element's end there.
    PipingFrame::Station FittingAt(int node, int beam, bool atB) const {
        PipingFrame::Station st;
        st.beam = beam;
        st.atB = atB;
        if (const Arc* arc = ArcAt(node)) {
            st.inPlane = arc->factors.inPlane;
            st.outOfPlane = arc->factors.outOfPlane;
            st.planeNormal = arc->normal;
        } else if (m_teeNodes.count(node)) {
            const auto& [factors, normal] = m_teeNodes.at(node);
            st.inPlane = factors.inPlane;
            st.outOfPlane = factors.outOfPlane;
            st.planeNormal = normal;
        }
        return st;
    }

    void AddElement(std::size_t index) {
        if (index == 0)
            FindTees();
        const Element& e = m_model.elements[index];
        const Props props = PropsOf(e);
        PipingFrame::Part part;
        part.from = e.from;
        part.to = e.to;
        part.stressed = !e.rigid && !e.expansionJoint;
        part.od = e.od;
        part.endOd = e.reducerOd.value_or(e.od);
        part.wall = e.wall;
        part.corrodedWall = e.wall - e.corrosion;
        for (int c = 0; c < m_pf.conditions; ++c)
            part.pressures.push_back(PressureIn(e, c));
        part.pressure = *std::max_element(part.pressures.begin(), part.pressures.end());
        if (part.pressure > 0)
            m_pf.hasLoad = true;
        const host::Material& mat = m_model.materials[static_cast<std::size_t>(e.material)];
        part.allowableCold = mat.allowableCold;
        part.allowableHot = mat.allowableHot;
        part.rangeFactor = mat.rangeFactor;
        part.millTolerance = e.millTolerance;
        CheckPressureWall(e, part);

        // The straight run: from the start (after the previous bend's arc when this element
        // leaves a bend) to this element's own arc, or its end.
        const Arc* before = ArcAt(e.from);
        const bool leavesBend = before && m_model.FirstFrom(e.from) == &e;
        const Arc* own = ArcAt(e.to);
        if (own && own->element != index)
            own = nullptr; // another element's bend at this node
        const int start = leavesBend ? before->nodes.back() : NodeOf(e.from);
        const double length = Norm(e.delta);
        const double straight = length - (leavesBend ? before->tangent : 0) - (own ? own->tangent : 0);
        if (straight < -1e-9 * length)
            Fail(e.position, "the bend" + std::string(own ? " at node " + std::to_string(e.to) : "") +
                                 " does not fit on " + ElementName(e) + ": its arc needs " +
                                 Format(length - straight) + " of its " + Format(length));
        const bool none = straight <= 1e-6 * length;
        int end = own ? (none ? start : NewNode(own->points.front(), e.to)) : start;
        if (!own) {
            // Leaving a bend, the element may end where the arc does: its end node is the arc's.
            if (none && !m_pf.nodeOf.count(e.to))
                m_pf.nodeOf[e.to] = start;
            end = NodeOf(e.to);
            if (none && end != start)
                Fail(e.position, ElementName(e) + " ends where the arc of the bend at node " + std::to_string(e.from) +
                                     " ends, but node " + std::to_string(e.to) + " stands elsewhere in the frame");
        }
        const Section pipe = SectionOf((e.od + part.endOd) / 2, e.wall, props.poisson);
        int first = -1, last = -1;
        if (end != start) {
            Props p = props;
            Section s = pipe;
            if (e.rigid) {
                p.youngs *= kRigidFactor;
                p.shear *= kRigidFactor;
                if (e.weight) {
                    p.weight = *e.weight / straight;
                    p.mass = p.weight * m_massPerDensity / m_weightPerDensity;
                }
            } else if (e.jointStiffness) {
                s = JointSection(e, *e.jointStiffness, p, straight, pipe);
            }
            first = last = AddBeam(start, end, p, s, 1, 1);
        }
        if (own) {
            const Arc& arc = *own;
            const double R = *e.bendRadius;
            int from = end;
            std::vector<PipingFrame::Station> stations;
            for (std::size_t k = 1; k < arc.points.size(); ++k) {
                const double chord = Norm(Sub(arc.points[k], arc.points[k - 1]));
                const double step = 2 * std::asin(std::min(1.0, chord / (2 * R))) * R;
                // Chords are shorter than the arc: their flexibility and load are raised by
                // arc / chord so that the bend turns under a moment and weighs as the arc does.
                const double ratio = step / chord;
                const int beam = AddBeam(from, arc.nodes[k - 1], props, pipe, arc.factors.flexibility * ratio, ratio);
                if (first < 0)
                    first = beam;
                last = beam;
                for (bool atB : {false, true}) {
                    PipingFrame::Station st = FittingAt(e.to, beam, atB);
                    stations.push_back(st);
                    if (atB && arc.nodes[k - 1] == arc.middle())
                        part.endLoad = st;
                }
                from = arc.nodes[k - 1];
            }
            m_arcs[e.to].lastBeam = last;
            part.endStations = stations;
        }
        bool startAtB = false;
        if (first < 0) {
            // Nothing left between the bend it leaves and its end: its results are the arc's end.
            if (!leavesBend || before->lastBeam < 0 || end != start)
                Fail(e.position, ElementName(e) + " has no length left beside its bends");
            first = last = before->lastBeam;
            startAtB = true;
        }
        part.start = FittingAt(e.from, first, startAtB);
        if (!own) {
            part.endLoad = FittingAt(e.to, last, true);
            part.endStations = {part.endLoad};
        }
        m_pf.parts.push_back(part);
    }

    // The pressure design thickness of straight pipe, t = P·D / (2(S·E·W + P·Y)) with E = W = 1
    // and Y = 0.4 (B31.3 para. 304.1.2, eq. (3a); Y from Table 304.1.1 for ferritic and austenitic
    // steels below 900 °F), plus the corrosion allowance, against the wall less its mill
    // tolerance. A thinner wall is reported, not refused: the flexibility analysis still holds.
    void CheckPressureWall(const Element& e, const PipingFrame::Part& part) {
        if (!(part.pressure > 0))
            return;
        const double t = part.pressure * part.od / (2 * (part.allowableHot + 0.4 * part.pressure));
        const double available = part.wall * (1 - part.millTolerance / 100);
        if (available < t + e.corrosion)
            m_pf.warnings.push_back(ElementName(e) + ": the wall less its mill tolerance, " + Format(available) +
                                    ", is below the pressure design thickness plus corrosion, " + Format(t + e.corrosion));
    }

    // An expansion joint as a beam whose axial, bending, torsion and lateral stiffnesses are
    // the joint's: A = k_ax·L/E, I = k_b·L/E, J = k_t·L/G, and the shear area that gives the
    // lateral rate 12EI / ((1 + Φ)L³) with both ends held square.
    Section JointSection(const Element& e, const host::JointStiffness& k, const Props& p, double L,
                         const Section& pipe) const {
        Section s;
        s.area = k.axial * L / p.youngs;
        s.inertia = k.bending * L / p.youngs;
        s.torsion = k.torsion > 0 ? k.torsion * L / p.shear : pipe.torsion;
        if (k.lateral > 0) {
            const double phi = 12 * k.bending / (k.lateral * L * L) - 1;
            if (phi < -1e-12)
                Fail(e.position, "the expansion joint " + ElementName(e) + " cannot be laterally stiffer than 12 × bending / L² (" +
                                     Format(12 * k.bending / (L * L)) + ")");
            if (phi > 1e-12)
                s.shearArea = 12 * p.youngs * s.inertia / (p.shear * phi * L * L);
        }
        return s;
    }

    // Tees: the header's factors (the largest pipe that meets there); the plane of the run
    // (the two most nearly opposite elements) and the branch.
    void FindTees() {
        for (const host::NodeItem& t : m_model.tees) {
            const auto at = m_model.ElementsAt(t.node);
            if (at.size() != 3)
                continue; // not a tee the code's factors describe
            std::vector<Vec3> away;
            const Element* header = at.front();
            for (const Element* e : at) {
                away.push_back(Unit(e->from == t.node ? e->delta : Scale(e->delta, -1)));
                if (e->od > header->od)
                    header = e;
            }
            std::size_t r1 = 0, r2 = 1;
            for (std::size_t i = 0; i < away.size(); ++i)
                for (std::size_t j = i + 1; j < away.size(); ++j)
                    if (Dot(away[i], away[j]) < Dot(away[r1], away[r2]))
                        r1 = i, r2 = j;
            const std::size_t branch = 3 - r1 - r2;
            Vec3 normal = Unit(Cross(away[r1], away[branch]));
            m_teeNodes[t.node] = {TeeFactors(header->od, header->wall), normal};
        }
    }

    void AddSupports(const Vec3& up, bool inch) {
        auto add = [&](int modelNode, Support::Kind kind, const Vec3& d, double rate, bool oneWay) {
            Support s;
            s.node = NodeOf(modelNode);
            s.kind = kind;
            s.direction = d;
            s.stiffness = rate;
            s.oneWay = oneWay;
            m_pf.frame.supports.push_back(s);
            m_pf.supportNode.push_back(modelNode);
            m_pf.supportPreload.push_back(Vec3{});
        };
        for (const host::NodeItem& a : m_model.anchors)
            add(a.node, Support::Kind::Anchor, {}, 0, false);
        for (const host::Restraint& r : m_model.restraints) {
            Vec3 d{};
            if (r.direction > 0)
                d[static_cast<std::size_t>((r.direction - 1) % 3)] = r.direction > 3 ? -1 : 1;
            else {
                std::istringstream text(r.cosines);
                char comma = 0;
                text >> d[0] >> comma >> d[1] >> comma >> d[2];
            }
            if (!(Norm(d) > 0))
                Fail(r.position, "the restraint at node " + std::to_string(r.node) + " has no direction");
            if (r.stiff && !r.rate)
                Fail(r.position, "the spring restraint at node " + std::to_string(r.node) + " needs \"rate\"");
            add(r.node, Support::Kind::Translation, Unit(d), r.rate.value_or(0), r.oneWay);
        }
        for (const host::Hanger& h : m_model.hangers) {
            if (!h.rate || !h.coldLoad)
                Fail(h.position, "the hanger at node " + std::to_string(h.node) + " needs \"rate\" and \"coldLoad\"");
            add(h.node, Support::Kind::Translation, up, *h.rate, false);
            // The installed load acts on the pipe as a constant upward force in every case
            // with weight; the spring adds rate × movement on top.
            m_pf.supportPreload.back() = Scale(up, *h.coldLoad);
            if (*h.coldLoad > 0)
                m_pf.hasLoad = true;
        }
        const double weightPerMass = inch ? 1.0 : kGravitySi;     // lb -> lbf, kg -> N
        const double massUnit = inch ? 1.0 / kGravityInch : 1e-3; // lb -> lbf·s²/in, kg -> t
        for (const host::PointMass& p : m_model.masses) {
            const Vec3 w = Scale(m_down, p.mass * weightPerMass);
            m_pf.nodeLoads.push_back({NodeOf(p.node), {w[0], w[1], w[2], 0, 0, 0}});
            m_pf.frame.masses.push_back({NodeOf(p.node), p.mass * massUnit});
            m_pf.hasLoad = true;
        }
        for (const host::NodalForce& f : m_model.forces) {
            m_pf.nodeLoads.push_back({NodeOf(f.node), {f.force[0], f.force[1], f.force[2], f.moment[0], f.moment[1], f.moment[2]}});
            if (Norm(f.force) > 0 || Norm(f.moment) > 0)
                m_pf.hasLoad = true;
        }
    }

    const PipingModel& m_model;
    std::string m_name;
    PipingFrame m_pf;
    double m_weightPerDensity = 1, m_massPerDensity = 1, m_installed = 0;
    Vec3 m_down{};
    std::map<int, Arc> m_arcs; // by corner node
    std::map<int, std::pair<BendFactors, Vec3>> m_teeNodes;
};

} // namespace

FrameBuild BuildFrame(const host::PipingModel& model, const std::string& name) {
    FrameBuild out;
    try {
        out.piping = Builder(model, name).Build();
        out.ok = true;
    } catch (const BuildError& e) {
        out.error = e.what;
    }
    return out;
}

bool ParseCaseList(const std::string& text, CaseChoice* choice, std::string* error) {
    static const std::map<std::string, CaseId> names = {{"OPE", CaseId::Operating}, {"SUS", CaseId::Sustained},
                                                         {"EXP", CaseId::Expansion}, {"W", CaseId::Weight},
                                                         {"T", CaseId::Thermal}};
    std::set<CaseId> chosen;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        std::string name;
        for (char c : item)
            if (!std::isspace(static_cast<unsigned char>(c)))
                name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        auto it = names.find(name);
        if (it == names.end()) {
            *error = "unknown case \"" + item + "\": the cases are OPE, SUS, EXP, W and T";
            return false;
        }
        chosen.insert(it->second);
    }
    if (chosen.empty()) {
        *error = "no case chosen: the cases are OPE, SUS, EXP, W and T";
        return false;
    }
    choice->cases.assign(chosen.begin(), chosen.end());
    return true;
}

namespace {

enum class StressRule { None, Sustained, Expansion };

// The code stress at one station from the forces at that end of its beam (B31.3-2016,
// para. 320.2 for sustained and para. 319.4.4 for the expansion range):
//   S = sqrt((|S_a| + S_b)² + (2·S_t)²),  S_b = sqrt((i_i·M_i)² + (i_o·M_o)²) / Z,
//   S_t = M_t / (2Z),  S_a = |F_a| / A (+ P·D / (4t) when sustained).
// Sustained stresses take the sustained indices I = 0.75·i (at least 1) and the wall less
// its corrosion allowance; the expansion range the full factors and the nominal wall.
double CodeStress(const PipingFrame& pf, const PipingFrame::Part& part, const PipingFrame::Station& st,
                  const FrameResult& r, StressRule rule, bool atEnd) {
    const Beam& beam = pf.frame.beams[static_cast<std::size_t>(st.beam)];
    const Vec3 axis = Unit(Sub(pf.frame.nodes[static_cast<std::size_t>(beam.b)], pf.frame.nodes[static_cast<std::size_t>(beam.a)]));
    const Vec6& f = st.atB ? r.beamEnds[static_cast<std::size_t>(st.beam)].b : r.beamEnds[static_cast<std::size_t>(st.beam)].a;
    const Vec3 force{f[0], f[1], f[2]}, moment{f[3], f[4], f[5]};
    const bool sustained = rule == StressRule::Sustained;
    const double D = atEnd ? part.endOd : part.od;
    const double t = sustained ? part.corrodedWall : part.wall;
    const double d = D - 2 * t;
    const double area = kPi / 4 * (D * D - d * d);
    const double Z = kPi / 32 * (D * D * D * D - d * d * d * d) / D;
    const double torsion = Dot(moment, axis);
    const Vec3 bending = Sub(moment, Scale(axis, torsion));
    double ii = st.inPlane, io = st.outOfPlane;
    if (sustained) {
        ii = std::max(1.0, 0.75 * ii);
        io = std::max(1.0, 0.75 * io);
    }
    double mi = 0, mo = Norm(bending);
    if (Norm(st.planeNormal) > 0) {
        mi = std::fabs(Dot(bending, st.planeNormal));
        mo = std::sqrt(std::max(0.0, Dot(bending, bending) - mi * mi));
    } else {
        io = std::max(ii, io); // no plane: the larger factor for any bending
        ii = io;
    }
    const double sb = std::sqrt(ii * mi * ii * mi + io * mo * io * mo) / Z;
    const double st2 = torsion / Z; // 2·S_t
    double sa = std::fabs(Dot(force, axis)) / area;
    if (sustained)
        sa += part.pressure * D / (4 * t);
    return std::sqrt((sa + sb) * (sa + sb) + st2 * st2);
}

// The expansion stress range's allowable: S_A = f·(1.25·S_c + 0.25·S_h), plus f·(S_h − S_L)
// where the sustained stress leaves room (B31.3 para. 302.3.5(d), eqs. (1a) and (1b)).
double RangeAllowable(const PipingFrame::Part& part, double sustained) {
    return part.rangeFactor * (1.25 * part.allowableCold + 0.25 * part.allowableHot +
                               std::max(0.0, part.allowableHot - sustained));
}

Vec6 Negated(const Vec6& v) {
    Vec6 out{};
    for (int i = 0; i < 6; ++i)
        out[static_cast<std::size_t>(i)] = -v[static_cast<std::size_t>(i)];
    return out;
}

Vec6 EndLoad(const FrameResult& r, const PipingFrame::Station& st) {
    const BeamEnds& ends = r.beamEnds[static_cast<std::size_t>(st.beam)];
    return Negated(st.atB ? ends.b : ends.a); // what the end exerts on its node
}

// The worst of an end's stations by ratio to its allowable (by stress when there is none).
EndResult EndStress(const PipingFrame& pf, const PipingFrame::Part& part, const std::vector<PipingFrame::Station>& stations,
                    const FrameResult& r, StressRule rule, const FrameResult* sustained, bool atEnd) {
    EndResult best;
    double worst = -1;
    for (const PipingFrame::Station& st : stations) {
        EndResult e;
        e.stress = CodeStress(pf, part, st, r, rule, atEnd);
        if (rule == StressRule::Sustained && sustained)
            e.allowable = part.allowableHot;
        else if (rule == StressRule::Expansion && sustained)
            e.allowable = RangeAllowable(part, CodeStress(pf, part, st, *sustained, StressRule::Sustained, atEnd));
        const double measure = e.allowable > 0 ? e.stress / e.allowable : e.stress;
        if (measure > worst) {
            worst = measure;
            best = e;
        }
    }
    return best;
}

// `condition`: the operating condition whose pressures the stresses take; -1: the highest
// (the sustained case's).
CaseResult Report(const PipingFrame& pf, const FrameResult& r, const std::string& name, const std::string& kind,
                  StressRule rule, bool withPreload, const FrameResult* sustained, int condition = -1) {
    CaseResult c;
    c.name = name;
    c.kind = kind;
    for (const auto& [modelNode, frameNode] : pf.nodeOf)
        c.displacements[modelNode] = r.displacements[static_cast<std::size_t>(frameNode)];
    for (const PipingFrame::Part& given : pf.parts) {
        PipingFrame::Part part = given;
        if (condition >= 0)
            part.pressure = given.pressures[std::size_t(condition)];
        ElementResult e;
        e.from = part.from;
        e.to = part.to;
        e.start.load = EndLoad(r, part.start);
        e.end.load = EndLoad(r, part.endLoad);
        if (part.stressed && rule != StressRule::None) {
            const EndResult s = EndStress(pf, part, {part.start}, r, rule, sustained, false);
            const EndResult t = EndStress(pf, part, part.endStations, r, rule, sustained, true);
            e.start.stress = s.stress;
            e.start.allowable = s.allowable;
            e.end.stress = t.stress;
            e.end.allowable = t.allowable;
        }
        c.elements.push_back(e);
    }
    for (std::size_t s = 0; s < pf.frame.supports.size(); ++s) {
        Vec6 onPipe = r.reactions[s];
        if (withPreload)
            for (int i = 0; i < 3; ++i)
                onPipe[static_cast<std::size_t>(i)] += pf.supportPreload[s][static_cast<std::size_t>(i)];
        Vec6& taken = c.supports[pf.supportNode[s]];
        for (int i = 0; i < 6; ++i)
            taken[static_cast<std::size_t>(i)] -= onPipe[static_cast<std::size_t>(i)];
    }
    return c;
}

FrameResult Difference(const FrameResult& a, const FrameResult& b) {
    FrameResult d = a;
    auto sub = [](Vec6& x, const Vec6& y) {
        for (std::size_t i = 0; i < 6; ++i)
            x[i] -= y[i];
    };
    for (std::size_t i = 0; i < d.displacements.size(); ++i)
        sub(d.displacements[i], b.displacements[i]);
    for (std::size_t i = 0; i < d.beamEnds.size(); ++i) {
        sub(d.beamEnds[i].a, b.beamEnds[i].a);
        sub(d.beamEnds[i].b, b.beamEnds[i].b);
    }
    for (std::size_t i = 0; i < d.reactions.size(); ++i)
        sub(d.reactions[i], b.reactions[i]);
    return d;
}

// The solver names frame nodes by index; messages name the model's nodes (a bend's arc by
// its corner node).
std::string NameNodes(const PipingFrame& pf, const std::string& error) {
    const std::string lead = "nothing holds node";
    const std::size_t at = error.find(lead);
    if (at == std::string::npos)
        return error;
    std::size_t i = at + lead.size();
    if (i < error.size() && error[i] == 's')
        ++i;
    std::set<int> nodes;
    std::string more;
    std::istringstream in(error.substr(i));
    std::string token;
    while (in >> token) {
        if (token == "and") {
            more = " and more"; // the solver counts its own nodes, several to a bend
            break;
        }
        if (token.back() == ',')
            token.pop_back();
        if (token.empty() || !std::isdigit(static_cast<unsigned char>(token[0])))
            return error;
        const std::size_t n = static_cast<std::size_t>(std::stoul(token));
        if (n >= pf.frameNodeModel.size())
            return error;
        nodes.insert(pf.frameNodeModel[n]);
    }
    if (nodes.empty())
        return error;
    std::string out = error.substr(0, at) + lead + (nodes.size() > 1 ? "s" : "");
    bool first = true;
    for (int n : nodes) {
        out += (first ? " " : ", ") + std::to_string(n);
        first = false;
    }
    return out + more;
}

} // namespace

AnalysisResult Analyse(const PipingFrame& pf, const CaseChoice& choice, const std::function<void(int, int)>& progress) {
    AnalysisResult out;
    out.warnings = pf.warnings;
    if (!pf.hasLoad) {
        out.error = "the model has no load: no weight (material, contents or insulation density, point masses, "
                    "hanger loads), no force, no temperature other than the installed one and no pressure";
        return out;
    }
    auto wants = [&](CaseId id) { return std::find(choice.cases.begin(), choice.cases.end(), id) != choice.cases.end(); };
    const bool expansion = wants(CaseId::Expansion);
    const bool needOperating = wants(CaseId::Operating) || expansion;
    const bool needSustained = wants(CaseId::Sustained) || wants(CaseId::Weight) || expansion;
    // One operating case (and expansion range, and thermal case) per operating condition,
    // numbered when there are several: OPE1, OPE2, ..., EXP1, EXP2, ...
    const int n = pf.conditions;
    auto named = [&](const char* base, int c) { return n == 1 ? std::string(base) : base + std::to_string(c + 1); };
    const int total = (needOperating ? n : 0) + (needSustained ? 1 : 0) + (wants(CaseId::Thermal) ? n : 0);
    int done = 0;
    // `heat`: the operating condition whose thermal strains load the frame; -1: none.
    auto solve = [&](bool weight, int heat, const std::string& name, FrameResult* result) {
        FrameModel m = pf.frame;
        for (std::size_t i = 0; i < m.beams.size(); ++i) {
            m.beams[i].load = weight ? pf.weight[i] : Vec3{};
            m.beams[i].strain = heat >= 0 ? pf.thermal[std::size_t(heat)][i] : 0;
        }
        if (weight) {
            m.loads = pf.nodeLoads;
            for (std::size_t s = 0; s < pf.supportPreload.size(); ++s) {
                const Vec3& p = pf.supportPreload[s];
                if (Norm(p) > 0)
                    m.loads.push_back({m.supports[s].node, {p[0], p[1], p[2], 0, 0, 0}});
            }
        }
        *result = SolveStatic(m);
        if (progress)
            progress(++done, total);
        if (!result->ok) {
            out.error = NameNodes(pf, result->error);
            return false;
        }
        if (!result->warning.empty())
            out.warnings.push_back(name + ": " + NameNodes(pf, result->warning));
        if (!result->liftedOff.empty()) {
            std::string w = name + ": the one-way supports at node";
            for (std::size_t k = 0; k < result->liftedOff.size(); ++k)
                w += (k ? ", " : " ") + std::to_string(pf.supportNode[static_cast<std::size_t>(result->liftedOff[k])]);
            out.warnings.push_back(w + " lift off");
        }
        return true;
    };
    std::vector<FrameResult> ope(static_cast<std::size_t>(n)), thermal(static_cast<std::size_t>(n));
    FrameResult sus;
    if (needSustained && !solve(true, -1, "SUS", &sus))
        return out;
    for (int c = 0; c < n; ++c) {
        if (needOperating && !solve(true, c, named("OPE", c), &ope[std::size_t(c)]))
            return out;
        if (wants(CaseId::Thermal) && !solve(false, c, named("T", c), &thermal[std::size_t(c)]))
            return out;
    }
    for (CaseId id : choice.cases) {
        for (int c = 0; c < n; ++c) {
            const FrameResult& hot = ope[std::size_t(c)];
            switch (id) {
            case CaseId::Operating:
                out.cases.push_back(Report(pf, hot, named("OPE", c), "operating", StressRule::Sustained, true, nullptr, c));
                break;
            case CaseId::Expansion:
                out.cases.push_back(Report(pf, Difference(hot, sus), named("EXP", c), "expansion", StressRule::Expansion,
                                           false, &sus));
                break;
            case CaseId::Thermal:
                out.cases.push_back(
                    Report(pf, thermal[std::size_t(c)], named("T", c), "other", StressRule::None, false, nullptr));
                break;
            case CaseId::Sustained:
                if (c == 0)
                    out.cases.push_back(Report(pf, sus, "SUS", "sustained", StressRule::Sustained, true, &sus));
                break;
            case CaseId::Weight:
                if (c == 0)
                    out.cases.push_back(Report(pf, sus, "W", "other", StressRule::None, true, nullptr));
                break;
            }
        }
    }
    out.ok = true;
    return out;
}

CaseResult ModalCase(const PipingFrame& pf, int index, double frequency, const std::vector<Vec6>& shape) {
    CaseResult c;
    c.name = "Mode " + std::to_string(index);
    c.kind = "modal";
    c.frequency = frequency;
    for (const auto& [modelNode, frameNode] : pf.nodeOf)
        c.displacements[modelNode] = shape[static_cast<std::size_t>(frameNode)];
    return c;
}

namespace {

std::string JsonText(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Number(double v) {
    if (!std::isfinite(v))
        v = 0;
    if (std::fabs(v) < 1e-300)
        v = 0;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", v);
    return buffer;
}

std::string Triple(const Vec6& v, std::size_t first, double scale) {
    return "[" + Number(v[first] * scale) + ", " + Number(v[first + 1] * scale) + ", " + Number(v[first + 2] * scale) + "]";
}

std::string Pair(const ElementResult& e) { return "[" + std::to_string(e.from) + ", " + std::to_string(e.to) + "]"; }

} // namespace

std::string ResultsJson(const PipingFrame& pf, const std::vector<CaseResult>& cases, const std::string& program,
                        const std::string& modelName) {
    const double degrees = 180 / kPi;
    std::string o = "{\n  \"format\": \"ketra-results/1\",\n  \"program\": " + JsonText(program) +
                    ",\n  \"model\": " + JsonText(modelName) + ",\n  \"units\": {\"length\": " + JsonText(pf.unitLength) +
                    ", \"rotation\": \"deg\", \"force\": " + JsonText(pf.unitForce) + ", \"moment\": " +
                    JsonText(pf.unitMoment) + ", \"stress\": " + JsonText(pf.unitStress) + "},\n  \"cases\": [";
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const CaseResult& c = cases[k];
        o += k ? ",\n    {" : "\n    {";
        o += "\"name\": " + JsonText(c.name) + ", \"kind\": " + JsonText(c.kind);
        if (c.kind == "modal")
            o += ", \"frequency\": " + Number(c.frequency);
        o += ",\n     \"displacements\": [";
        bool first = true;
        for (const auto& [node, d] : c.displacements) {
            o += first ? "\n       " : ",\n       ";
            first = false;
            o += "{\"node\": " + std::to_string(node) + ", \"d\": " + Triple(d, 0, 1) + ", \"r\": " + Triple(d, 3, degrees) + "}";
        }
        o += "]";
        if (c.kind != "modal") {
            o += ",\n     \"forces\": [";
            for (std::size_t i = 0; i < c.elements.size(); ++i) {
                const ElementResult& e = c.elements[i];
                o += (i ? ",\n       " : "\n       ");
                o += "{\"element\": " + Pair(e) + ", \"start\": {\"f\": " + Triple(e.start.load, 0, 1) + ", \"m\": " +
                     Triple(e.start.load, 3, 1) + "}, \"end\": {\"f\": " + Triple(e.end.load, 0, 1) + ", \"m\": " +
                     Triple(e.end.load, 3, 1) + "}}";
            }
            o += "]";
            std::string stresses;
            auto end = [](const EndResult& r) {
                std::string s = "{\"stress\": " + Number(r.stress);
                if (r.allowable > 0)
                    s += ", \"allowable\": " + Number(r.allowable) + ", \"ratio\": " + Number(r.stress / r.allowable);
                return s + "}";
            };
            for (const ElementResult& e : c.elements) {
                if (e.start.stress < 0)
                    continue;
                stresses += stresses.empty() ? "\n       " : ",\n       ";
                stresses += "{\"element\": " + Pair(e) + ", \"start\": " + end(e.start) + ", \"end\": " + end(e.end) + "}";
            }
            if (!stresses.empty())
                o += ",\n     \"stresses\": [" + stresses + "]";
            o += ",\n     \"supports\": [";
            first = true;
            for (const auto& [node, f] : c.supports) {
                o += first ? "\n       " : ",\n       ";
                first = false;
                o += "{\"node\": " + std::to_string(node) + ", \"f\": " + Triple(f, 0, 1) + ", \"m\": " + Triple(f, 3, 1) + "}";
            }
            o += "]";
        }
        o += "}";
    }
    return o + "\n  ]\n}\n";
}

} // namespace ketra::analysis
