#pragma once
// HCreateBend: draws a pipe bend from two consecutive elements A1→B1 and A2→B2 (B1 is normally
// A2, the bend's corner): the first element up to the near tangent point followed by the torus
// that turns the run onto the second element, fused into one shell with levels of detail, or
// the same path as a polycylinder.

#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HPoint.h"

class HBaseView;

class HCreateBend : public HBaseOperator {
public:
    /// The view may be null: building needs no view.
    HCreateBend(HBaseView* view, int doRepeat = 0, int doCapture = 1);

    /// Moves A1 forward by `trim` along the first element (axes on which B1 differs from A1 by
    /// less than the layer's epsilon are snapped first), then draws the bend as below.
    void InsertBend(float a1x, float a1y, float a1z, float b1x, float b1y, float b1z, float a2x,
                    float a2y, float a2z, float b2x, float b2y, float b2z, float pipeRadius,
                    float bendRadius, float trim);
    /// The bend with 20 facets, level 1 the 4-facet bend, level 2 the three centre-line
    /// segments A1–B1, B1–A2, A2–B2 (4 points, face list 2 0 1 2 1 2 2 2 3). Draws nothing
    /// when CreateBend refuses the bend.
    void InsertBend(float a1x, float a1y, float a1z, float b1x, float b1y, float b1z, float a2x,
                    float a2y, float a2z, float b2x, float b2y, float b2z, float pipeRadius,
                    float bendRadius);
    /// One fused shell (straight run, then the torus) with `facets` facets in the open segment;
    /// returns its key, or −1 with nothing drawn when the second element has zero length, the
    /// elements are collinear, the angle rounds below 1 degree or to 180, the bend radius is not
    /// positive, facets is outside 1 … 360, or any input is not finite.
    long CreateBend(float a1x, float a1y, float a1z, float b1x, float b1y, float b1z, float a2x,
                    float a2y, float a2z, float b2x, float b2y, float b2z, float pipeRadius,
                    float bendRadius, int facets);
    /// The polycylinder from A1 through the near tangent point and along the arc to the far
    /// tangent point, radius pipeRadius, both ends capped with normals along the elements.
    /// Returns its key, or −1 (nothing drawn) in CreateBend's cases and when the angle
    /// truncates to 180 or a tangent point cannot be computed.
    long InsertBendPC(float a1x, float a1y, float a1z, float b1x, float b1y, float b1z, float a2x,
                      float a2y, float a2z, float b2x, float b2y, float b2z, float pipeRadius,
                      float bendRadius);
    /// Fuses the shells keys[0 … count − 1] into one shell in the open segment; keys[0]
    /// receives and the call returns its key; keys[1 …] are deleted. −1 when a key is not a
    /// shell (nothing changed).
    long MergeShells(int count, long* keys);

    const char* GetName() override { return "HCreateBend"; }
    /// Copies "HCreateBend" into buffer; null is ignored.
    void GetName(char* buffer);

    int OnLButtonDown(HEventInfo&) override { return 0; }
    int OnMouseMove(HEventInfo&) override { return 0; }
    int OnLButtonUp(HEventInfo&) override { return 3; }

protected:
    /// The torus of the bend in its local frame inserted into a new nameless subsegment of the
    /// open segment; returns the shell's key or −1.
    long Toroid(float pipeRadius, float bendRadius, float startAngle, float endAngle, int facets);

private:
    // Interactive operator state; not used for building.
    float m_operatorValue1 = 0;
    bool m_operatorFlag1 = false;
    bool m_operatorFlag2 = false;
    float m_operatorValue2 = 0;
    HPoint m_operatorPoint;
};
