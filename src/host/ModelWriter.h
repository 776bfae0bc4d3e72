// Writes a PipingModel as the model format's JSON (docs/model-format.md), so that reading
// the text back gives the same model: every node is written with its co-ordinates, and
// numbers keep all their digits.
#pragma once

#include "host/PipingModel.h"

#include <string>

namespace ketra::host {

std::string WriteModelJson(const PipingModel& model);

} // namespace ketra::host
