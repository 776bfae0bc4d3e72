#pragma once
// The element placement rule: how a shape built in the canonical frame (axis along +Z from the
// origin) is carried onto an element given as a CVector3D.
//
//   theta exactly 180          → half turn about Y (rotation by −180° about (0, 1, 0));
//   otherwise, normal not zero → right-handed rotation by −theta about the normal (dy, −dx, 0);
//   otherwise (pointing up)    → no rotation;
//   then the translation to the element's start.
//
// The builders apply it to their points directly; ApplyElementPlacement composes the same
// rotation and translation onto the open segment for callers that place a segment instead.

class CVector3D;

/// A rotation followed by a translation, row-vector convention: p' = p · rotation + translation.
struct RigidTransform {
    double rotation[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double translation[3] = {0, 0, 0};

    /// Maps `count` packed x, y, z points in place (results rounded to float).
    void Apply(float* xyz, int count) const;
    /// Maps one point.
    void Apply(const double in[3], double out[3]) const;
    /// Composes `other` after this one (this, then other).
    RigidTransform Then(const RigidTransform& other) const;
    /// The 4×4 row-major matrix of the graphics system (translation in the last row).
    void ToMatrix(float matrix[16]) const;
};

/// Right-handed rotation by `degrees` about the axis (x, y, z), which need not be unit length.
/// Degrees are converted to radians with the graphics system's pi. A zero axis gives identity.
RigidTransform AxisRotation(double x, double y, double z, double degrees);

/// The placement of the canonical frame onto `element`.
RigidTransform ElementPlacement(const CVector3D& element);

/// Only the rotation part of the placement (no translation).
RigidTransform ElementPlacementRotation(const CVector3D& element);

/// Composes the placement onto the modelling matrix of the currently open segment with
/// HC_Rotate_Object_Offaxis and HC_Translate_Object, as the builders' segment-based callers do.
void ApplyElementPlacement(const CVector3D& element);
