#pragma once
// HCreateCylinder: the builder of every pipe run and of the cylindrical parts of the bend and
// symbol builders. It turns one straight element, given by its end points and a radius, into a
// faceted shell with two coarser levels of detail in the segment the caller has open.

#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HPoint.h"

class HBaseView;

class HCreateCylinder : public HBaseOperator {
public:
    /// The view may be null: building needs no view. The two integers go to HBaseOperator
    /// (the component passes 0 and 1).
    HCreateCylinder(HBaseView* view, int doRepeat = 0, int doCapture = 1);

    /// Builds the element from (x1, y1, z1) to (x2, y2, z2) into the open segment and returns
    /// the key of the full-detail shell: `facets` facets, level 1 the same shape with 4 facets,
    /// level 2 the centre line (2 points, face list 2 0 1). The shell is built in the canonical
    /// frame (height = the element length rounded to 0.001) and carried onto the element by the
    /// element placement rule; no attribute is set.
    ///   radius        outer radius of the bottom end
    ///   innerRadius   non-zero (and not equal to radius): a tube between the two radii
    ///   topRadius     non-zero: a reducer of constant wall (eccentric when SetConcentric(0))
    ///   lidFlags      1: no lids; 2: top lid; 4: bottom lid
    ///   edgeOptions   rim edges marked on canonical shells; the element's shell carries none
    ///   start/endAngle swept arc in radians; (0, 360) is the full circle. A partial arc is
    ///                 turned once by startAngle about the element axis.
    /// Returns −1 and draws nothing when facets is below 1 or above 100000, when any argument
    /// is not finite, or when no segment is open.
    long InsertCylinder(float x1, float y1, float z1, float x2, float y2, float z2, float radius,
                        int facets, float innerRadius, float topRadius, int lidFlags,
                        int edgeOptions, float startAngle, float endAngle);

    /// Reducers: 1 (the default) concentric, 0 eccentric with the flat side below.
    void SetConcentric(int concentric) { m_concentric = concentric; }
    int GetConcentric() const { return m_concentric; }
    /// Eccentric reducers: the top centre moves by the radius difference towards 1: −x,
    /// 2: +x, 3: +y, 4: −y; other values: no shift.
    void SetFlatSide(int side) { m_flatSide = side; }
    int GetFlatSide() const { return m_flatSide; }

    const char* GetName() override { return "Create Cylinder"; }
    /// Copies "Create Cylinder" into buffer (at least 16 chars); null is ignored.
    void GetName(char* buffer);

    int OnLButtonDown(HEventInfo&) override { return 0; }
    int OnMouseMove(HEventInfo&) override { return 0; }
    int OnLButtonUp(HEventInfo&) override { return 3; }

protected:
    /// One canonical shell (axis along +Z from `centre`) inserted into the open segment with
    /// HC_Insert_Shell; its lid rims are made visible edges as edgeOptions selects, and for a
    /// partial arc the open segment is turned about Z by startAngle. Returns the key, or −1
    /// (nothing inserted) for invalid facets or non-finite input.
    long Create_Faceted_CylinderEx(HPoint centre, float radius, float height, int facets,
                                   int lidFlags, int edgeOptions, float startAngle,
                                   float endAngle, float innerRadius, float topRadius);

private:
    int m_concentric = 1;
    int m_flatSide = 0;
    // Interactive operator state; not used for building.
    float m_operatorValue1 = 0;
    bool m_operatorFlag1 = false;
    bool m_operatorFlag2 = false;
    float m_operatorValue2 = 0;
    HPoint m_operatorPoint;
};
