#include "analysis/FrameSolver.h"

#include <Eigen/Dense>
#include <Eigen/Sparse>
#include <Eigen/SparseCholesky>

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

namespace ketra::analysis {

namespace {

using Mat12 = Eigen::Matrix<double, 12, 12>;
using Vec12 = Eigen::Matrix<double, 12, 1>;

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

FrameResult SolveStatic(const FrameModel& model) {
    FrameResult result;
    const int nodes = static_cast<int>(model.nodes.size());
    const int dofs = 6 * nodes;
    auto validNode = [&](int n) { return n >= 0 && n < nodes; };

    std::vector<Eigen::Triplet<double>> triplets;
    Eigen::VectorXd force = Eigen::VectorXd::Zero(dofs);
    std::vector<Mat12> locals(model.beams.size());
    std::vector<Eigen::Matrix<double, 12, 12>> transforms(model.beams.size());
    std::vector<Vec12> equivalents(model.beams.size());
    double largestDiagonal = 0;
    for (std::size_t i = 0; i < model.beams.size(); ++i) {
        const Beam& beam = model.beams[i];
        if (!validNode(beam.a) || !validNode(beam.b) || beam.a == beam.b) {
            result.error = "beam " + std::to_string(i) + " does not join two nodes of the model";
            return result;
        }
        double L = 0;
        const Eigen::Matrix3d r = LocalAxes(model.nodes[beam.a], model.nodes[beam.b], &L);
        if (!(L > 0) || !(beam.youngs > 0) || !(beam.section.area > 0) || !(beam.section.inertia > 0)) {
            result.error = "beam " + std::to_string(i) + " has no length, stiffness or section";
            return result;
        }
        locals[i] = LocalStiffness(beam, L);
        transforms[i] = Transform(r);
        equivalents[i] = EquivalentLoads(r * Eigen::Vector3d(beam.load[0], beam.load[1], beam.load[2]), L);
        // A free strain ε is held back by EAε at both ends: the nodes are pushed apart.
        const double held = beam.youngs * beam.section.area * beam.strain;
        equivalents[i](0) -= held;
        equivalents[i](6) += held;
        const Mat12 global = transforms[i].transpose() * locals[i] * transforms[i];
        const Vec12 fGlobal = transforms[i].transpose() * equivalents[i];
        const int at[2] = {6 * beam.a, 6 * beam.b};
        for (int p = 0; p < 12; ++p) {
            force(at[p / 6] + p % 6) += fGlobal(p);
            largestDiagonal = std::max(largestDiagonal, global(p, p));
            for (int q = 0; q < 12; ++q)
                if (global(p, q) != 0)
                    triplets.emplace_back(at[p / 6] + p % 6, at[q / 6] + q % 6, global(p, q));
        }
    }
    for (const NodalLoad& load : model.loads) {
        if (!validNode(load.node)) {
            result.error = "a load stands on node " + std::to_string(load.node) + ", which the model lacks";
            return result;
        }
        for (int i = 0; i < 6; ++i)
            force(6 * load.node + i) += load.load[i];
    }

    // Springs add stiffness. Rigid supports fix degrees of freedom exactly: each node's
    // translations (and rotations) are taken in a basis whose first axes are its rigid
    // directions, and those axes are removed from the system.
    std::vector<int> fixedBy(dofs, -1);              // in the nodes' bases
    std::vector<Eigen::Matrix3d> basis(2 * nodes, Eigen::Matrix3d::Identity());
    std::vector<std::vector<std::pair<Eigen::Vector3d, int>>> rigidDirections(2 * nodes);
    for (std::size_t s = 0; s < model.supports.size(); ++s) {
        const Support& support = model.supports[s];
        if (!validNode(support.node)) {
            result.error = "a support stands on node " + std::to_string(support.node) + ", which the model lacks";
            return result;
        }
        const int base = 6 * support.node;
        if (support.kind == Support::Kind::Anchor) {
            for (int i = 0; i < 6; ++i)
                if (fixedBy[base + i] == -1)
                    fixedBy[base + i] = static_cast<int>(s);
            continue;
        }
        const int block = 2 * support.node + (support.kind == Support::Kind::Rotation ? 1 : 0);
        const Eigen::Vector3d d = Eigen::Vector3d(support.direction[0], support.direction[1], support.direction[2]);
        if (!(d.norm() > 0)) {
            result.error = "a support at node " + std::to_string(support.node) + " has no direction";
            return result;
        }
        if (support.stiffness > 0) {
            const Eigen::Matrix3d k = support.stiffness * d.normalized() * d.normalized().transpose();
            for (int p = 0; p < 3; ++p)
                for (int q = 0; q < 3; ++q)
                    triplets.emplace_back(6 * support.node + (block % 2) * 3 + p,
                                          6 * support.node + (block % 2) * 3 + q, k(p, q));
        } else {
            rigidDirections[block].emplace_back(d.normalized(), static_cast<int>(s));
        }
    }
    for (int block = 0; block < 2 * nodes; ++block) {
        const int base = 6 * (block / 2) + (block % 2) * 3;
        if (rigidDirections[block].empty() || fixedBy[base] != -1)
            continue; // nothing rigid, or anchored
        // Gram-Schmidt on the rigid directions, completed to a right-handed basis.
        std::vector<Eigen::Vector3d> axes;
        for (const auto& [d, support] : rigidDirections[block]) {
            Eigen::Vector3d v = d;
            for (const Eigen::Vector3d& a : axes)
                v -= v.dot(a) * a;
            if (v.norm() < 1e-9)
                continue; // along directions already held
            fixedBy[base + static_cast<int>(axes.size())] = support;
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
            basis[block].col(i) = axes[i];
    }

    // T maps the nodes' bases to global axes: u = T u'. K' = Tᵀ K T, f' = Tᵀ f.
    std::vector<Eigen::Triplet<double>> tTriplets;
    for (int block = 0; block < 2 * nodes; ++block) {
        const int base = 6 * (block / 2) + (block % 2) * 3;
        for (int p = 0; p < 3; ++p)
            for (int q = 0; q < 3; ++q)
                if (basis[block](p, q) != 0)
                    tTriplets.emplace_back(base + p, base + q, basis[block](p, q));
    }
    Eigen::SparseMatrix<double> t(dofs, dofs);
    t.setFromTriplets(tTriplets.begin(), tTriplets.end());
    Eigen::SparseMatrix<double> globalK(dofs, dofs);
    globalK.setFromTriplets(triplets.begin(), triplets.end());
    const Eigen::SparseMatrix<double> full = Eigen::SparseMatrix<double>(t.transpose() * globalK * t);
    const Eigen::VectorXd fullForce = t.transpose() * force;

    std::vector<int> freeIndex(dofs, -1), freeDofs;
    for (int i = 0; i < dofs; ++i)
        if (fixedBy[i] == -1) {
            freeIndex[i] = static_cast<int>(freeDofs.size());
            freeDofs.push_back(i);
        }
    std::vector<Eigen::Triplet<double>> reducedTriplets;
    for (int col = 0; col < full.outerSize(); ++col)
        for (Eigen::SparseMatrix<double>::InnerIterator it(full, col); it; ++it)
            if (freeIndex[it.row()] >= 0 && freeIndex[it.col()] >= 0)
                reducedTriplets.emplace_back(freeIndex[it.row()], freeIndex[it.col()], it.value());
    const int n = static_cast<int>(freeDofs.size());
    Eigen::SparseMatrix<double> reduced(n, n);
    reduced.setFromTriplets(reducedTriplets.begin(), reducedTriplets.end());
    Eigen::VectorXd reducedForce(n);
    for (int i = 0; i < n; ++i)
        reducedForce(i) = fullForce(freeDofs[i]);

    Eigen::VectorXd u = Eigen::VectorXd::Zero(dofs);
    if (n > 0) {
        Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> ldlt(reduced);
        // A free direction shows as a pivot that vanishes against the stiffness around it.
        std::set<int> moving;
        if (ldlt.info() == Eigen::Success) {
            const Eigen::VectorXd& d = ldlt.vectorD();
            const auto& perm = ldlt.permutationP().indices();
            for (int i = 0; i < n; ++i)
                if (!(d(perm(i)) > 1e-11 * largestDiagonal))
                    moving.insert(freeDofs[i] / 6);
        }
        if (ldlt.info() != Eigen::Success || !moving.empty()) {
            // The free motions are what a slightly stiffened system does when pushed (two steps
            // of inverse iteration): every node that moves with them is named.
            Eigen::SparseMatrix<double> stiffened = reduced;
            for (int i = 0; i < n; ++i)
                stiffened.coeffRef(i, i) += 1e-9 * largestDiagonal;
            Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> soft(stiffened);
            if (soft.info() == Eigen::Success) {
                moving.clear();
                // A push on every degree of freedom, uneven so that no free motion is square
                // to it.
                Eigen::VectorXd push(n);
                for (int i = 0; i < n; ++i)
                    push(i) = 1 + 0.1 * (i % 7);
                Eigen::VectorXd mode = soft.solve(push);
                mode = soft.solve(mode / mode.cwiseAbs().maxCoeff());
                const double largest = mode.cwiseAbs().maxCoeff();
                for (int i = 0; i < n; ++i)
                    if (std::fabs(mode(i)) > 1e-3 * largest)
                        moving.insert(freeDofs[i] / 6);
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
            result.error = message.str();
            return result;
        }
        const Eigen::VectorXd solved = ldlt.solve(reducedForce);
        for (int i = 0; i < n; ++i)
            u(freeDofs[i]) = solved(i);
    }
    const Eigen::VectorXd uBasis = u;
    u = t * uBasis;

    result.displacements.resize(nodes);
    for (int i = 0; i < nodes; ++i)
        for (int j = 0; j < 6; ++j)
            result.displacements[i][j] = u(6 * i + j);
    for (std::size_t i = 0; i < model.beams.size(); ++i) {
        const Beam& beam = model.beams[i];
        Vec12 ue;
        ue << u.segment<6>(6 * beam.a), u.segment<6>(6 * beam.b);
        const Vec12 local = locals[i] * (transforms[i] * ue) - equivalents[i];
        const Vec12 global = transforms[i].transpose() * local;
        BeamEnds& ends = result.beamEnds.emplace_back();
        for (int j = 0; j < 6; ++j) {
            ends.a[j] = global(j);
            ends.b[j] = global(6 + j);
        }
    }
    // Reactions: at a fixed degree of freedom what the structure does not balance, turned
    // back from the node's basis to global axes; at a spring the spring's force.
    const Eigen::VectorXd residual = full * uBasis - fullForce;
    result.reactions.assign(model.supports.size(), Vec6{});
    for (int i = 0; i < dofs; ++i) {
        if (fixedBy[i] < 0)
            continue;
        const int block = 2 * (i / 6) + (i % 6) / 3;
        const Eigen::Vector3d along = basis[block].col(i % 3) * residual(i);
        for (int p = 0; p < 3; ++p)
            result.reactions[fixedBy[i]][(i % 6) / 3 * 3 + p] += along(p);
    }
    for (std::size_t s = 0; s < model.supports.size(); ++s) {
        const Support& support = model.supports[s];
        if (support.kind == Support::Kind::Anchor || support.stiffness == 0)
            continue;
        const int offset = support.kind == Support::Kind::Rotation ? 3 : 0;
        const Eigen::Vector3d d = Eigen::Vector3d(support.direction[0], support.direction[1], support.direction[2]).normalized();
        const double along = d.dot(u.segment<3>(6 * support.node + offset));
        for (int p = 0; p < 3; ++p)
            result.reactions[s][offset + p] = -support.stiffness * along * d(p);
    }
    result.ok = true;
    return result;
}

} // namespace ketra::analysis
