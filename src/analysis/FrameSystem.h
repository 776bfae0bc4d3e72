// The frame's equations, shared by the static and the modal solver: the beams' stiffness and
// loads assembled in global axes, then restrained by the supports (springs added, rigid
// directions removed exactly in each node's own basis), then factorised with the check for
// free motion.
#pragma once

#include "analysis/FrameSolver.h"

#include <Eigen/Dense>
#include <Eigen/Sparse>
#include <Eigen/SparseCholesky>

#include <string>
#include <vector>

namespace ketra::analysis::detail {

using Mat12 = Eigen::Matrix<double, 12, 12>;
using Vec12 = Eigen::Matrix<double, 12, 1>;
using SparseMatrix = Eigen::SparseMatrix<double>;
using Triplets = std::vector<Eigen::Triplet<double>>;

struct Assembly {
    int dofs = 0;
    SparseMatrix stiffness; // the beams' stiffness, global axes
    Eigen::VectorXd force; // the beams' equivalent loads and the nodal loads
    std::vector<Mat12> locals, transforms;
    std::vector<Vec12> equivalents;
    std::vector<double> lengths;
    std::vector<Eigen::Matrix3d> axes; // per beam: rows are its local axes
};

// Empty, or why the model cannot be assembled (a beam without nodes, length or section, a
// load or support on a node the model lacks, a support without direction or of a kind that
// cannot carry what it is given).
std::string Assemble(const FrameModel& model, Assembly* out);

struct Restrained {
    std::vector<int> fixedBy;           // per degree of freedom in the nodes' bases: the support holding it, or −1
    std::vector<Eigen::Matrix3d> basis; // per node, translations then rotations: columns are the basis
    SparseMatrix t;                     // from the nodes' bases to global axes: u = T u'
    SparseMatrix full;                  // Tᵀ K T
    std::vector<int> freeDofs;          // the degrees of freedom (in the nodes' bases) left free
    SparseMatrix reduced;               // the free rows and columns of Tᵀ K T
};

// Restrains the beams' stiffness by the supports for which `engaged` is set.
void Restrain(const FrameModel& model, const Assembly& assembly, const std::vector<char>& engaged, Restrained* out);

// The free rows and columns of Tᵀ A T for a matrix A in global axes (the mass matrix).
SparseMatrix Reduce(const Restrained& restrained, const SparseMatrix& global);

// Factorises the reduced stiffness. Empty, or the message naming the nodes that can move
// without resistance.
std::string Factorise(const Restrained& restrained, Eigen::SimplicialLDLT<SparseMatrix>* ldlt);

} // namespace ketra::analysis::detail
