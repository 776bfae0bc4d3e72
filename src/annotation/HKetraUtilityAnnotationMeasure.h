// HKetraUtilityAnnotationMeasure: a note that shows a distance between two points. The text
// sits on a dimension line parallel to the measured segment ("conditions/xarrow", drawn by
// "ketra_drawlineclip", interrupted where the note's box covers it); dashed extension lines
// in "conditions/xarrow/leader lines" ("ketra_drawlinedummy", pattern "- -") join the
// measured points to the ends of the dimension line. The note segment is an object of kind
// "KetraAnnotation" with the info "HKetraUtilityAnnotationMeasure".
#pragma once

#include "annotation/HKetraUtilityAnnotation.h"

class HKetraUtilityAnnotationMeasure : public HKetraUtilityAnnotation {
public:
    HKetraUtilityAnnotationMeasure() = default;
    HKetraUtilityAnnotationMeasure(const HKetraUtilityAnnotationMeasure&) = default;
    HKetraUtilityAnnotationMeasure& operator=(const HKetraUtilityAnnotationMeasure&) = default;

    const char* GetType() override { return "HKetraUtilityAnnotationMeasure"; }
    long Insert(const char* text, HPoint first, HPoint second, long segment, HBaseView* view,
                long style, int background, bool leader, long* path = nullptr,
                int pathLength = 0) override;
    long Insert(HPoint first, HPoint second, long segment, HBaseView* view, long style,
                int background, bool leader, long* path = nullptr, int pathLength = 0) override;
    // Until MoveText is called the note looks like a plain note: a leader from first to
    // second with the text at second.
    long InsertWithEncoding(const unsigned short* text, HPoint first, HPoint second, long segment,
                            HBaseView* view, long style, int background, bool leader,
                            long* path = nullptr, int pathLength = 0) override;
    void SetNote(long key, HBaseView* view) override;
    using HKetraUtilityAnnotation::SetNote;
    using HKetraUtilityAnnotation::MoveText;
    // Measures between two new points: extension lines of zero length, text at the midpoint.
    virtual void MoveText(HPoint first, HPoint second);
    // Moves the text; the dimension line shifts parallel so that its midpoint lies on it.
    virtual void MoveText(HPoint text);

    // True when the object segment holding key is a measurement; false for -1.
    static bool IsMeasurement(long key);
    static void mid_point(const HPoint& a, const HPoint& b, HPoint& out);
    // "ketra_drawlinedummy": draws the polyline unchanged.
    static void drawLineCallbackDummy(HIC_Rendition const* nr, int count, HIC_DC_Point const* points);

    const HPoint& GetFirstPoint() const { return m_firstPoint; }
    const HPoint& GetSecondPoint() const { return m_secondPoint; }
    const HPoint& GetFirstEnd() const { return m_firstEnd; }
    const HPoint& GetSecondEnd() const { return m_secondEnd; }
    const HPoint& GetTextPoint() const { return m_textPoint; }

protected:
    void Redraw();

    HPoint m_firstPoint;
    HPoint m_secondPoint;
    HPoint m_firstEnd;
    HPoint m_secondEnd;
    HPoint m_textPoint;
};
