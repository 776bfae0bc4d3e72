#include "analysis/FrameSolver.h"

#include "analysis/FrameSystem.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

namespace ketra::analysis {

using namespace detail;

namespace {

// Rows: the beam's local axes in global co-ordinates (x along the beam; y and z any pair
// square to it, the round section being the same about both).
Eigen::Matrix3d LocalAxes(const Vec3& a, const Vec3& b, double* length) {
    Eigen::Vector3d x(b[0] - a[0], b[1] - a[1], b[2] - a[2]);
    *length = x.norm();
    x /= *length;
    const Eigen::Vector3d ref = std::fabs(x.z()) < 0.9 ? Eigen::Vector3d::UnitZ() : Eigen::Vector3d::UnitX();
    const Eigen::Vector3d y = ref.cross(x).normalized();
    const Eigen::Vector3d z = x.cross(y);
    Eigen::Matrix3d r;
    r.row(0) = x;
    r.row(1) = y;
    r.row(2) = z;
    return r;
}

// The stiffness of a prismatic space beam with shear deformation in its local axes
// (Przemieniecki, Theory of Matrix Structural Analysis, 1968, eq. 5.116; shear parameter
// Φ = 12EI / (G·As·L²), zero without shear deformation). Degrees of freedom per end:
// u, v, w, θx, θy, θz.
Mat12 LocalStiffness(const Beam& beam, double L) {
    const double E = beam.youngs, G = beam.shear, A = beam.section.area, J = beam.section.torsion;
    const double I = beam.section.inertia / beam.flexibility;
    const double phi = beam.section.shearArea > 0 ? 12 * E * I / (G * beam.section.shearArea * L * L) : 0;
    Mat12 k = Mat12::Zero();
    const double axial = E * A / L, twist = G * J / L;
    k(0, 0) = k(6, 6) = axial;
    k(0, 6) = -axial;
    k(3, 3) = k(9, 9) = twist;
    k(3, 9) = -twist;
    const double c = E * I / ((1 + phi) * L * L * L);
    // Bending in the local x-y plane (v, θz: 1, 5, 7, 11).
    k(1, 1) = k(7, 7) = 12 * c;
    k(1, 7) = -12 * c;
    k(1, 5) = k(1, 11) = 6 * c * L;
    k(5, 7) = k(7, 11) = -6 * c * L;
    k(5, 5) = k(11, 11) = (4 + phi) * c * L * L;
    k(5, 11) = (2 - phi) * c * L * L;
    // Bending in the local x-z plane (w, θy: 2, 4, 8, 10), with the opposite coupling sign.
    k(2, 2) = k(8, 8) = 12 * c;
    k(2, 8) = -12 * c;
    k(2, 4) = k(2, 10) = -6 * c * L;
    k(4, 8) = k(8, 10) = 6 * c * L;
    k(4, 4) = k(10, 10) = (4 + phi) * c * L * L;
    k(4, 10) = (2 - phi) * c * L * L;
    return k.selfadjointView<Eigen::Upper>();
}

// Fixed-end forces of a uniform load w (local axes) that the nodes take: half the load at each
// end and end moments wL²/12 (the same with shear deformation, the load being symmetric).
Vec12 EquivalentLoads(const Eigen::Vector3d& w, double L) {
    Vec12 f = Vec12::Zero();
    for (int i = 0; i < 3; ++i)
        f(i) = f(6 + i) = w(i) * L / 2;
    f(5) = w(1) * L * L / 12;   // θz at a from v load
    f(11) = -w(1) * L * L / 12;
    f(4) = -w(2) * L * L / 12;  // θy at a from w load
    f(10) = w(2) * L * L / 12;
    return f;
}

Eigen::Matrix<double, 12, 12> Transform(const Eigen::Matrix3d& r) {
    Eigen::Matrix<double, 12, 12> t = Eigen::Matrix<double, 12, 12>::Zero();
    for (int i = 0; i < 4; ++i)
        t.block<3, 3>(3 * i, 3 * i) = r;
    return t;
}

} // namespace

Section PipeSection(double od, double wall, double poisson) {
    const double id = std::max(0.0, od - 2 * wall);
    Section s;
    s.area = M_PI / 4 * (od * od - id * id);
    s.inertia = M_PI / 64 * (std::pow(od, 4) - std::pow(id, 4));
    s.torsion = 2 * s.inertia;
    s.shearArea = s.area * 2 * (1 + poisson) / (4 + 3 * poisson);
    return s;
}


namespace detail {

namespace {
SparseMatrix FreePart(const Restrained& r, const SparseMatrix& full);
}

std::string Assemble(const FrameModel& model, Assembly* out) {
    Assembly& a = *out;
    const int nodes = static_cast<int>(model.nodes.size());
    a.dofs = 6 * nodes;
    auto validNode = [&](int n) { return n >= 0 && n < nodes; };
    a.force = Eigen::VectorXd::Zero(a.dofs);
    const std::size_t beams = model.beams.size();
    a.locals.resize(beams);
    a.transforms.resize(beams);
    a.equivalents.resize(beams);
    a.lengths.resize(beams);
    a.axes.resize(beams);
    Triplets stiffness;
    stiffness.reserve(144 * beams);
    for (std::size_t i = 0; i < beams; ++i) {
        const Beam& beam = model.beams[i];
        if (!validNode(beam.a) || !validNode(beam.b) || beam.a == beam.b)
            return "beam " + std::to_string(i) + " does not join two nodes of the model";
        double L = 0;
        const Eigen::Matrix3d r = LocalAxes(model.nodes[beam.a], model.nodes[beam.b], &L);
        if (!(L > 0) || !(beam.youngs > 0) || !(beam.section.area > 0) || !(beam.section.inertia > 0))
            return "beam " + std::to_string(i) + " has no length, stiffness or section";
        a.lengths[i] = L;
        a.axes[i] = r;
        a.locals[i] = LocalStiffness(beam, L);
        a.transforms[i] = Transform(r);
        a.equivalents[i] = EquivalentLoads(r * Eigen::Vector3d(beam.load[0], beam.load[1], beam.load[2]), L);
        // A free strain ε is held back by EAε at both ends: the nodes are pushed apart.
        const double held = beam.youngs * beam.section.area * beam.strain;
        a.equivalents[i](0) -= held;
        a.equivalents[i](6) += held;
        const Mat12 global = a.transforms[i].transpose() * a.locals[i] * a.transforms[i];
        const Vec12 fGlobal = a.transforms[i].transpose() * a.equivalents[i];
        const int at[2] = {6 * beam.a, 6 * beam.b};
        for (int p = 0; p < 12; ++p) {
            a.force(at[p / 6] + p % 6) += fGlobal(p);
            for (int q = 0; q < 12; ++q)
                if (global(p, q) != 0)
                    stiffness.emplace_back(at[p / 6] + p % 6, at[q / 6] + q % 6, global(p, q));
        }
    }
    a.stiffness = SparseMatrix(a.dofs, a.dofs);
    a.stiffness.setFromTriplets(stiffness.begin(), stiffness.end());
    for (const NodalLoad& load : model.loads) {
        if (!validNode(load.node))
            return "a load stands on node " + std::to_string(load.node) + ", which the model lacks";
        for (int i = 0; i < 6; ++i)
            a.force(6 * load.node + i) += load.load[i];
    }
    for (std::size_t s = 0; s < model.supports.size(); ++s) {
        const Support& support = model.supports[s];
        const std::string name = "support " + std::to_string(s) + " at node " + std::to_string(support.node);
        if (!validNode(support.node))
            return "a support stands on node " + std::to_string(support.node) + ", which the model lacks";
        if ((support.oneWay || support.preload != 0) && support.kind != Support::Kind::Translation)
            return name + ": only a translation support can be one-way or carry a preload";
        if (!std::isfinite(support.preload))
            return name + " has a preload that is not a number";
        if (support.kind == Support::Kind::Anchor)
            continue;
        const Eigen::Vector3d d(support.direction[0], support.direction[1], support.direction[2]);
        if (!(d.norm() > 0) || !d.allFinite())
            return "a support at node " + std::to_string(support.node) + " has no direction";
        if (!(support.stiffness >= 0) || !std::isfinite(support.stiffness))
            return name + " has a spring rate of " + std::to_string(support.stiffness) + "; it must be 0 (rigid) or more";
    }
    for (const PointMass& mass : model.masses)
        if (!validNode(mass.node) || !(mass.mass >= 0) || !std::isfinite(mass.mass))
            return "a mass of " + std::to_string(mass.mass) + " stands on node " + std::to_string(mass.node) +
                   (validNode(mass.node) ? "; a mass must be 0 or more" : ", which the model lacks");
    return {};
}

void Restrain(const FrameModel& model, const Assembly& assembly, const std::vector<char>& engaged, Restrained* out) {
    Restrained& r = *out;
    const int dofs = assembly.dofs, nodes = dofs / 6;
    // Springs add stiffness. Rigid supports fix degrees of freedom exactly: each node's
    // translations (and rotations) are taken in a basis whose first axes are its rigid
    // directions, and those axes are removed from the system.
    Triplets triplets;
    r.fixedBy.assign(dofs, -1);
    r.basis.assign(2 * nodes, Eigen::Matrix3d::Identity());
    std::vector<std::vector<std::pair<Eigen::Vector3d, int>>> rigidDirections(2 * nodes);
    for (std::size_t s = 0; s < model.supports.size(); ++s) {
        const Support& support = model.supports[s];
        if (!engaged[s])
            continue;
        const int base = 6 * support.node;
        if (support.kind == Support::Kind::Anchor) {
            for (int i = 0; i < 6; ++i)
                if (r.fixedBy[base + i] == -1)
                    r.fixedBy[base + i] = static_cast<int>(s);
            continue;
        }
        const int block = 2 * support.node + (support.kind == Support::Kind::Rotation ? 1 : 0);
        const Eigen::Vector3d d = Eigen::Vector3d(support.direction[0], support.direction[1], support.direction[2]).normalized();
        if (support.stiffness > 0) {
            const Eigen::Matrix3d k = support.stiffness * d * d.transpose();
            for (int p = 0; p < 3; ++p)
                for (int q = 0; q < 3; ++q)
                    triplets.emplace_back(base + (block % 2) * 3 + p, base + (block % 2) * 3 + q, k(p, q));
        } else {
            rigidDirections[block].emplace_back(d, static_cast<int>(s));
        }
    }
    for (int block = 0; block < 2 * nodes; ++block) {
        const int base = 6 * (block / 2) + (block % 2) * 3;
        if (rigidDirections[block].empty() || r.fixedBy[base] != -1)
            continue; // nothing rigid, or anchored
        // Gram-Schmidt on the rigid directions, completed to a right-handed basis.
        std::vector<Eigen::Vector3d> axes;
        for (const auto& [d, support] : rigidDirections[block]) {
            Eigen::Vector3d v = d;
            for (const Eigen::Vector3d& a : axes)
                v -= v.dot(a) * a;
            if (v.norm() < 1e-9)
                continue; // along directions already held
            r.fixedBy[base + static_cast<int>(axes.size())] = support;
            axes.push_back(v.normalized());
        }
        for (int axis = 0; axis < 3; ++axis) {
            Eigen::Vector3d v = Eigen::Vector3d::Unit(axis);
            for (const Eigen::Vector3d& a : axes)
                v -= v.dot(a) * a;
            if (axes.size() < 3 && v.norm() > 1e-6)
                axes.push_back(v.normalized());
        }
        for (int i = 0; i < 3; ++i)
            r.basis[block].col(i) = axes[i];
    }

    // T maps the nodes' bases to global axes: u = T u'. K' = Tᵀ K T.
    Triplets tTriplets;
    for (int block = 0; block < 2 * nodes; ++block) {
        const int base = 6 * (block / 2) + (block % 2) * 3;
        for (int p = 0; p < 3; ++p)
            for (int q = 0; q < 3; ++q)
                if (r.basis[block](p, q) != 0)
                    tTriplets.emplace_back(base + p, base + q, r.basis[block](p, q));
    }
    r.t = SparseMatrix(dofs, dofs);
    r.t.setFromTriplets(tTriplets.begin(), tTriplets.end());
    SparseMatrix springs(dofs, dofs);
    springs.setFromTriplets(triplets.begin(), triplets.end());
    const SparseMatrix globalK = assembly.stiffness + springs;
    r.full = SparseMatrix(r.t.transpose() * globalK * r.t);
    r.freeDofs.clear();
    for (int i = 0; i < dofs; ++i)
        if (r.fixedBy[i] == -1)
            r.freeDofs.push_back(i);
    r.reduced = FreePart(r, r.full);
}

SparseMatrix Reduce(const Restrained& r, const SparseMatrix& global) {
    return FreePart(r, SparseMatrix(r.t.transpose() * global * r.t));
}

namespace {

// The free rows and columns of a matrix in the nodes' bases.
SparseMatrix FreePart(const Restrained& r, const SparseMatrix& full) {
    std::vector<int> freeIndex(r.fixedBy.size(), -1);
    for (std::size_t i = 0; i < r.freeDofs.size(); ++i)
        freeIndex[r.freeDofs[i]] = static_cast<int>(i);
    Triplets reduced;
    reduced.reserve(full.nonZeros());
    for (int col = 0; col < full.outerSize(); ++col)
        for (SparseMatrix::InnerIterator it(full, col); it; ++it)
            if (freeIndex[it.row()] >= 0 && freeIndex[it.col()] >= 0)
                reduced.emplace_back(freeIndex[it.row()], freeIndex[it.col()], it.value());
    const int n = static_cast<int>(r.freeDofs.size());
    SparseMatrix out(n, n);
    out.setFromTriplets(reduced.begin(), reduced.end());
    return out;
}

} // namespace

std::string Factorise(const Restrained& r, Eigen::SimplicialLDLT<SparseMatrix>* ldlt) {
    const int n = static_cast<int>(r.freeDofs.size());
    if (n == 0)
        return {};
    const Eigen::VectorXd diagonal = r.reduced.diagonal();
    ldlt->compute(r.reduced);
    // A free direction shows as a pivot that vanishes against its own diagonal term: elimination
    // leaves a stiffness of rounding error. A long flexible line beside stiff pipe keeps
    // pivots of 10⁻⁷ of its diagonal or more; a free motion leaves 10⁻¹³ or less.
    std::set<int> moving;
    if (ldlt->info() == Eigen::Success) {
        const Eigen::VectorXd& d = ldlt->vectorD();
        const auto& perm = ldlt->permutationP().indices();
        for (int i = 0; i < n; ++i)
            if (!(d(perm(i)) > 1e-10 * diagonal(i)))
                moving.insert(r.freeDofs[i] / 6);
    }
    if (ldlt->info() == Eigen::Success && moving.empty())
        return {};
    // The free motions are what a slightly stiffened system does when pushed (two steps of
    // inverse iteration): every node that moves with them is named.
    const double largestDiagonal = diagonal.cwiseAbs().maxCoeff() > 0 ? diagonal.cwiseAbs().maxCoeff() : 1;
    SparseMatrix stiffened = r.reduced;
    for (int i = 0; i < n; ++i)
        stiffened.coeffRef(i, i) += 1e-9 * largestDiagonal;
    Eigen::SimplicialLDLT<SparseMatrix> soft(stiffened);
    if (soft.info() == Eigen::Success) {
        moving.clear();
        // A push on every degree of freedom, uneven so that no free motion is square to it.
        Eigen::VectorXd push(n);
        for (int i = 0; i < n; ++i)
            push(i) = 1 + 0.1 * (i % 7);
        Eigen::VectorXd mode = soft.solve(push);
        mode = soft.solve(mode / mode.cwiseAbs().maxCoeff());
        const double largest = mode.cwiseAbs().maxCoeff();
        for (int i = 0; i < n; ++i)
            if (std::fabs(mode(i)) > 1e-3 * largest)
                moving.insert(r.freeDofs[i] / 6);
    }
    std::ostringstream message;
    message << "the model is free to move: nothing holds node";
    if (moving.size() > 1)
        message << "s";
    int listed = 0;
    for (int node : moving) {
        if (listed == 20) {
            message << " and " << moving.size() - 20 << " more";
            break;
        }
        message << (listed++ ? ", " : " ") << node;
    }
    if (moving.empty())
        message << "s of the model";
    return message.str();
}

} // namespace detail

namespace {

Eigen::Vector3d Direction(const Support& support) {
    return Eigen::Vector3d(support.direction[0], support.direction[1], support.direction[2]).normalized();
}

// One linear solve with the supports for which `engaged` is set; the others carry nothing.
FrameResult SolveLinear(const FrameModel& model, const Assembly& assembly, const std::vector<char>& engaged) {
    FrameResult result;
    const int dofs = assembly.dofs, nodes = dofs / 6;
    Restrained r;
    Restrain(model, assembly, engaged, &r);
    // Preloads push on the pipe like loads; the support's reaction includes them.
    Eigen::VectorXd force = assembly.force;
    for (std::size_t s = 0; s < model.supports.size(); ++s)
        if (engaged[s] && model.supports[s].preload != 0)
            force.segment<3>(6 * model.supports[s].node) += model.supports[s].preload * Direction(model.supports[s]);
    const Eigen::VectorXd fullForce = r.t.transpose() * force;
    const int n = static_cast<int>(r.freeDofs.size());
    Eigen::VectorXd uBasis = Eigen::VectorXd::Zero(dofs);
    if (n > 0) {
        Eigen::SimplicialLDLT<SparseMatrix> ldlt;
        result.error = Factorise(r, &ldlt);
        if (!result.error.empty())
            return result;
        Eigen::VectorXd reducedForce(n);
        for (int i = 0; i < n; ++i)
            reducedForce(i) = fullForce(r.freeDofs[i]);
        const Eigen::VectorXd solved = ldlt.solve(reducedForce);
        for (int i = 0; i < n; ++i)
            uBasis(r.freeDofs[i]) = solved(i);
    }
    const Eigen::VectorXd u = r.t * uBasis;

    result.displacements.resize(nodes);
    for (int i = 0; i < nodes; ++i)
        for (int j = 0; j < 6; ++j)
            result.displacements[i][j] = u(6 * i + j);
    for (std::size_t i = 0; i < model.beams.size(); ++i) {
        const Beam& beam = model.beams[i];
        Vec12 ue;
        ue << u.segment<6>(6 * beam.a), u.segment<6>(6 * beam.b);
        const Vec12 local = assembly.locals[i] * (assembly.transforms[i] * ue) - assembly.equivalents[i];
        const Vec12 global = assembly.transforms[i].transpose() * local;
        BeamEnds& ends = result.beamEnds.emplace_back();
        for (int j = 0; j < 6; ++j) {
            ends.a[j] = global(j);
            ends.b[j] = global(6 + j);
        }
    }
    // Reactions: at a fixed degree of freedom what the structure does not balance, turned
    // back from the node's basis to global axes; at a spring the spring's force; and each
    // support's preload.
    const Eigen::VectorXd residual = r.full * uBasis - fullForce;
    result.reactions.assign(model.supports.size(), Vec6{});
    for (int i = 0; i < dofs; ++i) {
        if (r.fixedBy[i] < 0)
            continue;
        const int block = 2 * (i / 6) + (i % 6) / 3;
        const Eigen::Vector3d along = r.basis[block].col(i % 3) * residual(i);
        for (int p = 0; p < 3; ++p)
            result.reactions[r.fixedBy[i]][(i % 6) / 3 * 3 + p] += along(p);
    }
    for (std::size_t s = 0; s < model.supports.size(); ++s) {
        const Support& support = model.supports[s];
        if (!engaged[s] || support.kind == Support::Kind::Anchor)
            continue;
        const int offset = support.kind == Support::Kind::Rotation ? 3 : 0;
        const Eigen::Vector3d d = Direction(support);
        const double along = d.dot(u.segment<3>(6 * support.node + offset));
        const double push = (support.stiffness > 0 ? -support.stiffness * along : 0) + support.preload;
        for (int p = 0; p < 3; ++p)
            result.reactions[s][offset + p] += push * d(p);
    }
    result.ok = true;
    return result;
}

// The first 20 items, and how many more.
std::string List(const std::vector<int>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size() && i < 20; ++i)
        out += (i ? ", " : "") + std::to_string(items[i]);
    if (items.size() > 20)
        out += " and " + std::to_string(items.size() - 20) + " more";
    return out;
}

} // namespace

FrameResult SolveStatic(const FrameModel& model) {
    Assembly assembly;
    if (std::string error = Assemble(model, &assembly); !error.empty()) {
        FrameResult result;
        result.error = error;
        return result;
    }
    // One-way supports by lift-off iteration: solve with every support holding; release the
    // one-way supports that would pull, engage again the released ones the pipe moves into,
    // and repeat until no support changes.
    std::vector<char> engaged(model.supports.size(), 1);
    std::vector<int> oneWay;
    double preloads = 0;
    for (std::size_t s = 0; s < model.supports.size(); ++s) {
        if (model.supports[s].oneWay)
            oneWay.push_back(static_cast<int>(s));
        preloads = std::max(preloads, std::fabs(model.supports[s].preload));
    }
    // What counts as no force and no movement: a billionth of the largest load, and of the
    // largest movement.
    const double forceTolerance = 1e-9 * std::max(assembly.force.cwiseAbs().maxCoeff(), preloads);
    std::vector<int> lastChange(model.supports.size(), -1);
    std::set<std::vector<char>> visited{std::vector<char>(oneWay.size(), 1)};
    bool cycling = false;
    for (int pass = 0;; ++pass) {
        FrameResult result = SolveLinear(model, assembly, engaged);
        std::vector<int> released;
        for (int s : oneWay)
            if (!engaged[s])
                released.push_back(s);
        if (!result.ok) {
            if (!released.empty())
                result.error.insert(std::string("the model is free to move").size(),
                                    " once one-way support" + std::string(released.size() > 1 ? "s " : " ") +
                                        List(released) + (released.size() > 1 ? " lift" : " lifts") + " off");
            return result;
        }
        result.liftedOff = released;
        double largestMove = 0;
        for (const Vec6& u : result.displacements)
            largestMove = std::max({largestMove, std::fabs(u[0]), std::fabs(u[1]), std::fabs(u[2])});
        // Engage every released support the pipe moves into. Release every holding support
        // that pulls, or, once the iteration has come back to a state it was in before (it
        // would go round for ever), only the one that pulls hardest.
        std::vector<int> changed;
        int hardest = -1;
        double hardestPull = forceTolerance;
        for (int s : oneWay) {
            const Support& support = model.supports[s];
            const Eigen::Vector3d d = Direction(support);
            const Eigen::Vector3d u(result.displacements[support.node][0], result.displacements[support.node][1],
                                    result.displacements[support.node][2]);
            if (engaged[s]) { // it holds while it pushes
                const double pull = -d.dot(Eigen::Vector3d(result.reactions[s][0], result.reactions[s][1], result.reactions[s][2]));
                if (pull > forceTolerance && !cycling)
                    changed.push_back(s);
                if (pull > hardestPull) {
                    hardestPull = pull;
                    hardest = s;
                }
            } else if (support.stiffness > 0 ? -support.stiffness * d.dot(u) + support.preload > forceTolerance
                                              : d.dot(u) < -1e-9 * largestMove) {
                changed.push_back(s); // a spring that would push again, or a rigid stop moved into
            }
        }
        if (cycling && hardest >= 0)
            changed.push_back(hardest);
        for (int s : changed) {
            engaged[s] = !engaged[s];
            lastChange[s] = pass;
        }
        std::vector<char> state;
        for (int s : oneWay)
            state.push_back(engaged[s]);
        cycling = cycling || !visited.insert(state).second;
        if (changed.empty())
            return result;
        if (pass + 1 == kLiftOffPasses) {
            // Those that changed in the last few passes go to and fro.
            std::vector<int> chatter;
            for (int s : oneWay)
                if (lastChange[s] >= pass - 3)
                    chatter.push_back(s);
            result.warning = "one-way supports did not settle in " + std::to_string(kLiftOffPasses) +
                             " passes; these go on lifting off and taking hold again: " + List(chatter);
            return result;
        }
    }
}

} // namespace ketra::analysis
