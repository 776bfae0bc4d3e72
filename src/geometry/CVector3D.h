#pragma once
// One straight piping or steel element as the vector from its start ("from") to its end ("to"),
// with everything the geometry builders derive from it: the rounded length, direction angles,
// the polar angle theta from +Z with its horizontal turning normal, points along the element,
// and the bend frame of two consecutive elements.
//
// Angles returned are in degrees, converted with the class's own single-precision pi
// (kVectorPi = 3.1415925f): degrees = float(float(radians) * 180) / kVectorPi. Lengths are in
// the host's model units. No operation throws or reports failure; degenerate input gives the
// defined values documented below.

#include "platform/mvo/HPoint.h"

#include <memory>

/// The class's own value of pi, used for every radian/degree conversion of CVector3D.
inline constexpr float kVectorPi = 3.1415925f;

/// Converts radians to degrees the way CVector3D does: the radian value is narrowed to single
/// precision, multiplied by 180 in single precision, then divided by kVectorPi.
float VectorRadiansToDegrees(double radians);

/// The length rounding of CVector3D: `value` formatted with "%.3f", parsed back and narrowed
/// to float (computed without the text round trip).
float RoundToThousandths(float value);

/// Bend point construction for two consecutive elements A1→B1 and A2→B2 with bend radius R.
/// On return B1 holds the near tangent point P1 (on the first element), B2 the far tangent point
/// P2 (on the second), `centre` the centre of the bend arc and `*tangentLength` (if not null)
/// T = R·tan(α/2). Returns 0 on success and 1 when the centre cannot be found; `centre` is then
/// left unwritten. Pointers must not be null except `tangentLength`.
int CalcBendPoints(const float A1[3], float B1[3], const float A2[3], float B2[3], float R,
                   float centre[3], float* tangentLength = nullptr);

class CVector3D {
public:
    /// All-zero vector: from, to, direction, height, rotation and theta are 0, no split points.
    CVector3D();
    /// from = (x1, y1, z1), to = (x2, y2, z2), then the derivation steps (see Set).
    CVector3D(float x1, float y1, float z1, float x2, float y2, float z2);
    ~CVector3D();

    // Copies would have to share or duplicate the owned split-point array; neither is wanted.
    CVector3D(const CVector3D&) = delete;
    CVector3D& operator=(const CVector3D&) = delete;

    /// Same as the constructor on an existing object: clears the weld flag, bend normal and weld
    /// points, stores the points, direction = to − from, height = rounded length, direction
    /// angles, theta and normal. The split list is kept.
    void Set(float x1, float y1, float z1, float x2, float y2, float z2);

    /// Replace one coordinate and recompute only the height; direction, rotation, theta and
    /// normal keep their old values.
    void SetFromX(float v);
    void SetFromY(float v);
    void SetFromZ(float v);
    void SetToX(float v);
    void SetToY(float v);
    void SetToZ(float v);

    /// Computes the point at distance h along the element, measured from the start when
    /// fromEnd is 0 and from the end otherwise (read with GetNewHeightX/Y/Z). The step uses
    /// k = 1 / height (k = 1 when the height is 0) and the stored from/to points.
    void SetHeight(float h, int fromEnd);

    /// Makes max(count, 2) evenly spaced points from "from" to "to" (both included), replacing
    /// any previous list. If memory runs out the list is left empty.
    void SplitVector(int count);

    float GetFromVectorX() const { return m_from[0]; }
    float GetFromVectorY() const { return m_from[1]; }
    float GetFromVectorZ() const { return m_from[2]; }
    float GetToVectorX() const { return m_to[0]; }
    float GetToVectorY() const { return m_to[1]; }
    float GetToVectorZ() const { return m_to[2]; }

    /// Element length rounded to 0.001 (after GetBendRotation: from "from" to the near point).
    float GetHeight() const { return static_cast<float>(m_height); }
    /// Polar angle from +Z in degrees, in [0, 180]; 90.0000076 for a horizontal element.
    float GetTheta() const { return m_theta; }

    /// Turning normal (dy, −dx, 0), not normalised.
    float GetNormalX() const { return m_normal[0]; }
    float GetNormalY() const { return m_normal[1]; }
    float GetNormalZ() const { return m_normal[2]; }
    /// Component i (0 = x, 1 = y, 2 = z) of the normal; 0 for any other index.
    float GetNormalVector(int i) const { return Component(m_normal, i); }

    /// axis 1, 2, 3 → direction angle to X, Y, Z in degrees; any other value → −1.
    float GetRotation(int axis) const;
    float GetXRotation() const { return GetRotation(1); }
    float GetYRotation() const { return GetRotation(2); }
    float GetZRotation() const { return GetRotation(3); }

    float GetBendNormalX() const { return m_bendNormal[0]; }
    float GetBendNormalY() const { return m_bendNormal[1]; }
    float GetBendNormalZ() const { return m_bendNormal[2]; }
    float GetBendNormal(int i) const { return Component(m_bendNormal, i); }
    /// Bend centre of the last GetBendRotation (0 before the first one).
    float GetBendCenterX() const { return m_bendCentre[0]; }
    float GetBendCenterY() const { return m_bendCentre[1]; }
    float GetBendCenterZ() const { return m_bendCentre[2]; }
    float GetBendCenter(int i) const { return Component(m_bendCentre, i); }
    float GetWeld1X() const { return m_weld1[0]; }
    float GetWeld1Y() const { return m_weld1[1]; }
    float GetWeld1Z() const { return m_weld1[2]; }
    float GetWeldPoint1(int i) const { return Component(m_weld1, i); }
    float GetWeld2X() const { return m_weld2[0]; }
    float GetWeld2Y() const { return m_weld2[1]; }
    float GetWeld2Z() const { return m_weld2[2]; }
    float GetWeldPoint2(int i) const { return Component(m_weld2, i); }
    /// The point of the last SetHeight (0 before the first one).
    float GetNewHeightX() const { return m_newHeight[0]; }
    float GetNewHeightY() const { return m_newHeight[1]; }
    float GetNewHeightZ() const { return m_newHeight[2]; }

    /// The split points of the last SplitVector, or null. Valid until the next SplitVector or
    /// the object's destruction.
    HPoint* GetSplitVector() const { return m_split.get(); }
    /// Split point i; a default point (0, 0, 0) for an index outside 0 … count − 1.
    HPoint GetSplitVector(int i) const;
    int GetSplitVectorSize() const { return m_splitCount; }

    /// Angle in degrees between this element's direction and the other's (0 collinear, 90 a
    /// right angle). 0 when other is null.
    float operator^(CVector3D* other) const;
    /// Angle in degrees between this element's normal and the other's; 90 when either normal is
    /// (near) zero or other is null.
    float operator%(CVector3D* other) const;

    /// Fills the bend fields of this element for the bend onto `next` with bend radius R and the
    /// 4×4 row-major matrix M that carries a shape built in the XY plane about the origin into
    /// the bend plane (local X → centre-to-near-point, Y → this direction, Z → plane normal).
    /// Afterwards the height is the rounded distance from "from" to the near point; direction,
    /// rotation and theta are unchanged. Returns the angle in degrees between the bend plane's
    /// normal and +Z (NaN for collinear elements). `next` null: nothing happens, returns 0.
    float GetBendRotation(CVector3D* next, float bendRadius, float matrix[4][4]);

private:
    static float Component(const float v[3], int i) { return i >= 0 && i < 3 ? v[i] : 0.0f; }
    void Derive();
    float CalcHeight() const;
    float CalcDirection(float component) const;
    float CalcRotation();

    float m_direction[3] = {0, 0, 0}; // to − from (x, y, z)
    int m_useWeldPoint = 0;
    float m_normal[3] = {0, 0, 0};
    float m_bendNormal[3] = {0, 0, 0};
    float m_weld1[3] = {0, 0, 0};
    float m_weld2[3] = {0, 0, 0};
    float m_bendCentre[3] = {0, 0, 0};
    float m_theta = 0;
    float m_from[3] = {0, 0, 0};
    float m_to[3] = {0, 0, 0};
    float m_rotation[3] = {0, 0, 0};
    double m_height = 0;
    float m_newHeight[3] = {0, 0, 0};
    std::unique_ptr<HPoint[]> m_split;
    int m_splitCount = 0;
};
