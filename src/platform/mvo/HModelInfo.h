// HModelInfo: geometry counts of a segment tree, following includes (each included segment
// is counted every time it is included, as it is drawn). Shell faces count as triangles
// (a face of n points is n - 2 triangles; holes are not counted); polylines, lines and ink
// count as polylines; polycylinders and cylinders apart; segments include the start segment.
#pragma once

typedef long HC_KEY;

class HBaseView;

class HModelInfo {
public:
    // Counts below `segment`; an invalid key gives all zeros.
    void ComputeModelInfo(HC_KEY segment);
    // Counts what a view shows (its scene segment).
    void ComputeModelInfo(HBaseView* view);

    long GetTriangleCount() const { return m_triangles; }
    long GetShellCount() const { return m_shells; }
    long GetPolylineCount() const { return m_polylines; }
    long GetTextCount() const { return m_texts; }
    long GetSegmentCount() const { return m_segments; }
    long GetMarkerCount() const { return m_markers; }
    long GetCylinderCount() const { return m_cylinders; }
    long GetIncludeCount() const { return m_includes; }

private:
    void Count(HC_KEY segment, int depth);
    long m_triangles = 0, m_shells = 0, m_polylines = 0, m_texts = 0, m_segments = 0;
    long m_markers = 0, m_cylinders = 0, m_includes = 0;
};
