// The symbol scale a model gets when its file gives none.
#pragma once

#include "host/PipingModel.h"

namespace ketra::host {

// Support symbols are drawn at the view's symbol scale factor (a length in model units), not
// at the pipe's size, so one number must suit the model's pipes: the factor is twice the
// median outer diameter of the elements, in either unit (docs/model-format.md). 1 for a model
// without elements.
double ChooseSymbolScale(const PipingModel& model);

// A restraint's shaft and head are each one factor long: at twice the diameter a support
// across a pipe of typical size stands four diameters clear of it, and one along the pipe
// shows beyond its surface.
constexpr double kSymbolScalePerDiameter = 2.0;

} // namespace ketra::host
