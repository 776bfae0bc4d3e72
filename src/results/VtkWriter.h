// VTK XML output of results for ParaView users: the model's centre lines as an unstructured
// grid (one line cell per element, in plant co-ordinates), with each case's node
// displacements and rotations as point data and the element stresses as cell data; a .pvd
// collection names one .vtu file per case.
#pragma once

#include "results/ResultsFile.h"

#include <string>

namespace ketra::results {

// The .vtu text of one case.
std::string VtuText(const host::PipingModel& model, const Results& results, const LoadCase& c);

// Writes `path` (.vtu: the one case; .pvd: every case, each beside it as
// "<stem>_<n>.vtu", the collection listing them by case name). Files are written atomically.
// False with a message naming the file when one cannot be written.
bool WriteVtk(const std::string& path, const host::PipingModel& model, const Results& results,
              const LoadCase* oneCase, std::string* error);

} // namespace ketra::results
