// Umbrella header: every public header of ketra::core.
#pragma once

#include "platform/hc/hc.h"
