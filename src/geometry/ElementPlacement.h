#pragma once
// The element placement rule: how a shape built in the canonical frame (axis along +Z from the
// origin) is carried onto an element given as a CVector3D.
//
//   theta exactly 180          → half turn about Y (rotation by −180° about (0, 1, 0));
//   otherwise, normal not zero → right-handed rotation by −theta about the normal (dy, −dx, 0);
//   otherwise (pointing up)    → no rotation;
//   then the translation to the element's start.
//
// The builders apply it to their points directly. The transforms here are built, composed and
// applied with exactly the arithmetic of the scene graph's modelling matrices (single-precision
// 4×4 matrices, products and point mapping accumulated in double), so placed points equal, to
// the bit, the points read back through a segment that carries the same transforms.
// ApplyElementPlacement composes the placement onto the open segment for callers that place a
// segment instead.

class CVector3D;

/// A 4×4 single-precision modelling matrix, row-major, row-vector convention
/// (p' = p · M, translation in the last row).
struct RigidTransform {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    /// Maps `count` packed x, y, z points in place (each result rounded to float once).
    void Apply(float* xyz, int count) const;
    /// Maps one point without rounding.
    void Apply(const double in[3], double out[3]) const;
    /// This transform followed by `other` (the matrix product this × other, each entry
    /// accumulated in double and rounded to float, as composing onto a segment does).
    RigidTransform Then(const RigidTransform& other) const;
};

/// Right-handed rotation by `degrees` about the axis (x, y, z), which need not be unit length.
/// A zero axis gives the identity.
RigidTransform AxisRotation(double x, double y, double z, double degrees);

/// Translation by (x, y, z).
RigidTransform Translation(double x, double y, double z);

/// The placement of the canonical frame onto `element`.
RigidTransform ElementPlacement(const CVector3D& element);

/// Only the rotation part of the placement (no translation).
RigidTransform ElementPlacementRotation(const CVector3D& element);

/// Composes the placement onto the modelling matrix of the currently open segment with
/// HC_Rotate_Object_Offaxis and HC_Translate_Object.
void ApplyElementPlacement(const CVector3D& element);
