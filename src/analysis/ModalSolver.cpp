#include "analysis/ModalSolver.h"

#include "analysis/FrameSystem.h"

#include <Spectra/MatOp/SparseCholesky.h>
#include <Spectra/MatOp/SparseSymMatProd.h>
#include <Spectra/SymGEigsSolver.h>

#include <algorithm>
#include <cmath>

namespace ketra::analysis {

using namespace detail;

namespace {

// Up to this many free degrees of freedom the eigenproblem is solved densely.
constexpr int kDenseLimit = 400;

// The lumped mass matrix in global axes. Each beam's mass m·L goes half to each end's
// translations; each end also takes half the beam's rotary inertia, m·L·(J/A) about its axis
// and m·L·(I/A) about the two bending axes (the section's radius of gyration), so that every
// degree of freedom of a beam with mass has some. Point masses add to their node's
// translations.
SparseMatrix LumpedMass(const FrameModel& model, const Assembly& assembly) {
    Triplets triplets;
    auto addBlock = [&](int base, const Eigen::Matrix3d& block) {
        for (int p = 0; p < 3; ++p)
            for (int q = 0; q < 3; ++q)
                if (block(p, q) != 0)
                    triplets.emplace_back(base + p, base + q, block(p, q));
    };
    for (std::size_t i = 0; i < model.beams.size(); ++i) {
        const Beam& beam = model.beams[i];
        const double half = beam.massPerLength * assembly.lengths[i] / 2;
        if (half == 0)
            continue;
        const Section& s = beam.section;
        const Eigen::Matrix3d& r = assembly.axes[i];
        const Eigen::Matrix3d rotary =
            r.transpose() * Eigen::Vector3d(s.torsion, s.inertia, s.inertia).asDiagonal() * r * (half / s.area);
        for (int node : {beam.a, beam.b}) {
            addBlock(6 * node, half * Eigen::Matrix3d::Identity());
            addBlock(6 * node + 3, rotary);
        }
    }
    for (const PointMass& mass : model.masses)
        addBlock(6 * mass.node, mass.mass * Eigen::Matrix3d::Identity());
    SparseMatrix m(assembly.dofs, assembly.dofs);
    m.setFromTriplets(triplets.begin(), triplets.end());
    return m;
}

// The largest `count` eigenvalues μ of M x = μ K x (μ = 1/ω²) with their vectors, largest
// first. K is positive definite (the restrained stiffness), M semi-definite.
bool LargestInverse(const SparseMatrix& k, const SparseMatrix& m, int count, Eigen::VectorXd* values,
                    Eigen::MatrixXd* vectors) {
    const int n = static_cast<int>(k.rows());
    if (n <= kDenseLimit) {
        const Eigen::MatrixXd denseM(m), denseK(k);
        Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> dense(denseM, denseK);
        if (dense.info() != Eigen::Success)
            return false;
        *values = dense.eigenvalues().tail(count).reverse();
        *vectors = dense.eigenvectors().rightCols(count).rowwise().reverse();
        return true;
    }
    // Lanczos on L⁻¹ M L⁻ᵀ with K = L Lᵀ: the same as shift-invert about zero, the lowest
    // frequencies being the best separated largest μ.
    using MassOp = Spectra::SparseSymMatProd<double>;
    using StiffnessOp = Spectra::SparseCholesky<double>;
    MassOp massOp(m);
    StiffnessOp stiffnessOp(k);
    if (stiffnessOp.info() != Spectra::CompInfo::Successful)
        return false;
    // Lanczos can miss one of equal or nearly equal frequencies (identical lines side by side).
    // The Sturm sequence settles it: by Sylvester's law of inertia the negative pivots of
    // K − σM count the eigenvalues below σ. With σ just above the count-th frequency found, a
    // larger count means some were missed: ask again for as many as lie below σ.
    for (int wanted = count, pass = 0;; ++pass) {
        const int subspace = std::min(n, std::max(2 * wanted + 1, wanted + 20));
        Spectra::SymGEigsSolver<MassOp, StiffnessOp, Spectra::GEigsMode::Cholesky> eigs(massOp, stiffnessOp, wanted,
                                                                                        subspace);
        eigs.init();
        eigs.compute(Spectra::SortRule::LargestAlge, 1000, 1e-10, Spectra::SortRule::LargestAlge);
        if (eigs.info() != Spectra::CompInfo::Successful)
            return false;
        const Eigen::VectorXd all = eigs.eigenvalues();
        *values = all.head(count);
        *vectors = eigs.eigenvectors().leftCols(count);
        const double sigma = 1 / all(count - 1) * (1 + 1e-6);
        Eigen::SimplicialLDLT<SparseMatrix> shifted(SparseMatrix(k - sigma * m));
        if (shifted.info() != Eigen::Success)
            return true; // a pivot hit zero exactly: the count cannot be taken
        const int below = static_cast<int>((shifted.vectorD().array() < 0).count());
        const int found = static_cast<int>((all.array() > 1 / sigma).count()); // ω² < σ
        if (found >= below)
            return true;
        if (pass == 2 || below + 1 >= n)
            return false;
        wanted = below + 1;
    }
}

} // namespace

ModalResult SolveModes(const FrameModel& model, int count) {
    ModalResult result;
    if (count < 1) {
        result.error = "asked for " + std::to_string(count) + " modes; ask for 1 or more";
        return result;
    }
    Assembly assembly;
    result.error = Assemble(model, &assembly);
    if (!result.error.empty())
        return result;
    for (std::size_t i = 0; i < model.beams.size(); ++i)
        if (!(model.beams[i].massPerLength >= 0) || !std::isfinite(model.beams[i].massPerLength)) {
            result.error = "beam " + std::to_string(i) + " has a mass per length of " +
                           std::to_string(model.beams[i].massPerLength) + "; it must be 0 or more";
            return result;
        }
    // One-way supports hold; springs are springs; preloads, being constant, do not vibrate.
    Restrained r;
    Restrain(model, assembly, std::vector<char>(model.supports.size(), 1), &r);
    Eigen::SimplicialLDLT<SparseMatrix> ldlt;
    result.error = Factorise(r, &ldlt);
    if (!result.error.empty())
        return result;
    const SparseMatrix mass = Reduce(r, LumpedMass(model, assembly));
    // Only degrees of freedom with mass vibrate at a finite frequency (the lumped mass matrix
    // of each node's translations or rotations is either zero or definite).
    int massive = 0;
    for (int i = 0; i < mass.rows(); ++i)
        massive += mass.coeff(i, i) > 0;
    if (massive == 0) {
        result.error = "nothing free to move has mass: give the beams a mass per length or the nodes point masses";
        return result;
    }
    count = std::min(count, massive);
    Eigen::VectorXd inverse;
    Eigen::MatrixXd vectors;
    if (!LargestInverse(r.reduced, mass, count, &inverse, &vectors)) {
        result.error = "the eigenvalue solver did not find the lowest " + std::to_string(count) + " modes";
        return result;
    }
    const int nodes = static_cast<int>(model.nodes.size());
    for (int mode = 0; mode < count; ++mode) {
        Eigen::VectorXd phi = vectors.col(mode);
        phi /= std::sqrt(phi.dot(mass * phi)); // φᵀ M φ = 1
        Eigen::Index largest = 0;
        phi.cwiseAbs().maxCoeff(&largest);
        if (phi(largest) < 0) // the largest component positive, for a definite sign
            phi = -phi;
        Eigen::VectorXd basis = Eigen::VectorXd::Zero(6 * nodes);
        for (std::size_t i = 0; i < r.freeDofs.size(); ++i)
            basis(r.freeDofs[i]) = phi(static_cast<Eigen::Index>(i));
        const Eigen::VectorXd u = r.t * basis;
        std::vector<Vec6>& shape = result.shapes.emplace_back(nodes);
        for (int i = 0; i < nodes; ++i)
            for (int j = 0; j < 6; ++j)
                shape[i][j] = u(6 * i + j);
        result.frequencies.push_back(std::sqrt(1 / inverse(mode)) / (2 * M_PI));
    }
    result.ok = true;
    return result;
}

} // namespace ketra::analysis
