// The symbol scale a model gets when its file gives none.
#pragma once

#include "host/PipingModel.h"

namespace ketra::host {

// Support symbols are drawn at the view's symbol scale factor (a length in model units), not
// at the pipe's size, so one number must suit the model's pipes: the factor is the median
// outer diameter of the elements, so a support stands about two diameters clear of a pipe of
// typical size in either unit (docs/model-format.md). 1 for a model without elements.
double ChooseSymbolScale(const PipingModel& model);

} // namespace ketra::host
