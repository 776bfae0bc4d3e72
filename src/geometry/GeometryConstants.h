#pragma once
// Constants the builders share with the graphics class layer.

#include "platform/mvo/HUtility.h"

/// pi as the graphics class layer gives it (single precision), used for facet angles and the
/// builders' degree conversions. CVector3D keeps its own value, kVectorPi.
inline constexpr double kLayerPi = HUtility::PI;

/// The class layer's small tolerance: snapping nearly-equal coordinates of a trimmed bend and
/// lifting bend angles a hair (10 × epsilon) below a whole degree.
inline constexpr double kLayerEpsilon = HUtility::EH_Epsilon;

/// Largest facet count a builder accepts; more is refused (−1) rather than exhausting memory.
inline constexpr int kMaxFacets = 100000;
