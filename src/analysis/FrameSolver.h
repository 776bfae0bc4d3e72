// Linear static analysis of a space frame of straight beams with shear deformation: the core
// of the pipe stress solver. Units are whatever the caller uses consistently (N, mm, MPa;
// or lbf, in, psi). Nodes carry six degrees of freedom (three translations, three rotations,
// in global axes); beams are prismatic 3D Timoshenko beams; supports are anchors and rigid or
// sprung restraints of one direction of translation or rotation.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace ketra::analysis {

using Vec3 = std::array<double, 3>;
using Vec6 = std::array<double, 6>; // (x, y, z, rx, ry, rz)

struct Section {
    double area = 0;      // A
    double inertia = 0;   // I about either bending axis (round pipe)
    double torsion = 0;   // J
    double shearArea = 0; // k·A for transverse shear; 0: no shear deformation
};

// The section of a round tube of outer diameter `od` and wall `wall`, shear area by the
// thin-walled tube's shear coefficient k = 2(1 + ν) / (4 + 3ν) (Cowper, 1966).
Section PipeSection(double od, double wall, double poisson);

struct Beam {
    int a = 0, b = 0; // node indices
    double youngs = 0, shear = 0; // E and G
    Section section;
    // Divides the bending stiffness (a bend's flexibility factor, 1 for straight pipe).
    double flexibility = 1;
    Vec3 load{}; // uniformly distributed force per unit length, global axes (weight)
    double strain = 0; // free axial strain (thermal expansion α·ΔT, pressure elongation)
    // Mass per unit length for modal analysis (pipe, contents, insulation), in the mass unit
    // that goes with the caller's force and length (N and mm: tonnes; lbf and in: lbf·s²/in).
    double massPerLength = 0;
};

struct Support {
    enum class Kind { Anchor, Translation, Rotation };
    int node = 0;
    Kind kind = Kind::Anchor;
    Vec3 direction{}; // unit vector; for Translation and Rotation
    double stiffness = 0; // 0: rigid; otherwise a spring of this rate along the direction
    // One-way (Translation only): the support can only push the pipe along `direction`; where
    // it would have to pull, the pipe lifts off and the support carries nothing.
    bool oneWay = false;
    // A constant force the support exerts on the pipe along `direction` on top of its spring
    // (a hanger's installed load), for Translation supports.
    double preload = 0;
};

struct NodalLoad {
    int node = 0;
    Vec6 load{}; // forces and moments, global axes
};

struct PointMass {
    int node = 0;
    double mass = 0; // in the unit of Beam::massPerLength times length
};

struct FrameModel {
    std::vector<Vec3> nodes;
    std::vector<Beam> beams;
    std::vector<Support> supports;
    std::vector<NodalLoad> loads;
    std::vector<PointMass> masses; // lumped masses for modal analysis, beside the beams' own
};

struct BeamEnds {
    // The forces and moments its nodes exert on the beam's two ends, global axes (the member
    // end forces: at a free end of a loaded cantilever they are zero, at the fixed end they
    // balance the load).
    Vec6 a{}, b{};
};

struct FrameResult {
    bool ok = false;
    std::string error;           // why there is no result (a mechanism names its nodes)
    std::vector<Vec6> displacements; // per node
    std::vector<BeamEnds> beamEnds;  // per beam
    std::vector<Vec6> reactions;     // per support: the force and moment it exerts on the pipe
    std::vector<int> liftedOff;      // one-way supports (indices) that carry nothing
    std::string warning; // set when one-way supports did not settle: names those that chatter
};

// The most passes of the lift-off iteration of one-way supports before it gives up and names
// the supports that go on changing.
inline constexpr int kLiftOffPasses = 50;

// Solves K u = f. One-way supports are solved by lift-off iteration: those that would pull
// are released and those the pipe moves into engage again, until none changes (or
// kLiftOffPasses passes, with FrameResult::warning naming the supports that chatter). A model with a free direction (a mechanism) is refused, naming the nodes
// that can move without resistance, never solved to an arbitrary answer.
FrameResult SolveStatic(const FrameModel& model);

} // namespace ketra::analysis
