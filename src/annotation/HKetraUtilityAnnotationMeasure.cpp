#include "annotation/HKetraUtilityAnnotationMeasure.h"

#include <cstring>
#include <string>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HObjectManager.h"

long HKetraUtilityAnnotationMeasure::Insert(const char* text, HPoint first, HPoint second,
                                            long segment, HBaseView* view, long style,
                                            int background, bool leader, long* path, int pathLength)
{
    const std::u16string wide = Utf8ToUtf16(text ? text : "");
    return InsertWithEncoding(reinterpret_cast<const unsigned short*>(wide.c_str()), first,
                              second, segment, view, style, background, leader, path, pathLength);
}

long HKetraUtilityAnnotationMeasure::Insert(HPoint first, HPoint second, long segment,
                                            HBaseView* view, long style, int background,
                                            bool leader, long* path, int pathLength)
{
    return Insert("", first, second, segment, view, style, background, leader, path, pathLength);
}

long HKetraUtilityAnnotationMeasure::InsertWithEncoding(const unsigned short* text, HPoint first,
                                                        HPoint second, long segment,
                                                        HBaseView* view, long style,
                                                        int background, bool leader, long* path,
                                                        int pathLength)
{
    m_firstPoint = m_firstEnd = first;
    m_secondPoint = m_secondEnd = second;
    mid_point(first, second, m_textPoint);
    const long key = HKetraUtilityAnnotation::InsertWithEncoding(
        text, first, second, segment, view, style, background, leader, path, pathLength);
    if (key == -1)
        return -1;
    HObjectManager::SetHObjectSegment(key, "KetraAnnotation", "HKetraUtilityAnnotationMeasure");
    const long lines = Sub("conditions/xarrow");
    HC_Open_Segment_By_Key(lines);
    HC_Open_Segment("leader lines");
    HC_Set_Line_Pattern("- -");
    HC_Close_Segment();
    HC_Close_Segment();
    return key;
}

void HKetraUtilityAnnotationMeasure::SetNote(long key, HBaseView* view)
{
    HKetraUtilityAnnotation::SetNote(key, view);
    const long lines = Sub("conditions/xarrow/leader lines");
    if (lines == -1)
        return;
    HC_Open_Segment_By_Key(lines);
    HC_Begin_Contents_Search(".", "lines");
    std::string type;
    long line = -1;
    for (int i = 0; i < 2 && HC_Find_Contents(type, &line); ++i) {
        float a[3], b[3];
        HC_Show_Line(line, &a[0], &a[1], &a[2], &b[0], &b[1], &b[2]);
        (i == 0 ? m_firstPoint : m_secondPoint).Set(a[0], a[1], a[2]);
        (i == 0 ? m_firstEnd : m_secondEnd).Set(b[0], b[1], b[2]);
    }
    HC_End_Contents_Search();
    HC_Close_Segment();
    HPoint middle;
    mid_point(m_firstEnd, m_secondEnd, middle);
    m_textPoint = middle;
}

void HKetraUtilityAnnotationMeasure::MoveText(HPoint first, HPoint second)
{
    m_firstPoint = m_firstEnd = first;
    m_secondPoint = m_secondEnd = second;
    mid_point(first, second, m_textPoint);
    Redraw();
}

void HKetraUtilityAnnotationMeasure::MoveText(HPoint text)
{
    HPoint middle;
    mid_point(m_firstPoint, m_secondPoint, middle);
    const HPoint offset(text.x - middle.x, text.y - middle.y, text.z - middle.z);
    m_textPoint = text;
    m_firstEnd.Set(m_firstPoint.x + offset.x, m_firstPoint.y + offset.y, m_firstPoint.z + offset.z);
    m_secondEnd.Set(m_secondPoint.x + offset.x, m_secondPoint.y + offset.y,
                    m_secondPoint.z + offset.z);
    Redraw();
}

void HKetraUtilityAnnotationMeasure::Redraw()
{
    const long arrow = Sub("conditions/xarrow");
    const long matrix = Sub("conditions/matrix");
    if (arrow == -1 || matrix == -1)
        return;
    m_target = m_firstEnd;
    m_position = m_textPoint;
    HC_Open_Segment_By_Key(arrow);
    HC_Flush_Contents("...", "geometry");
    HC_Set_Callback("draw dc polyline = ketra_drawlineclip");
    HC_Insert_Line(m_firstEnd.x, m_firstEnd.y, m_firstEnd.z, m_secondEnd.x, m_secondEnd.y,
                   m_secondEnd.z);
    HC_Open_Segment("leader lines");
    HC_Set_Callback("draw dc polyline = ketra_drawlinedummy");
    HC_Insert_Line(m_firstPoint.x, m_firstPoint.y, m_firstPoint.z, m_firstEnd.x, m_firstEnd.y,
                   m_firstEnd.z);
    HC_Insert_Line(m_secondPoint.x, m_secondPoint.y, m_secondPoint.z, m_secondEnd.x,
                   m_secondEnd.y, m_secondEnd.z);
    HC_Close_Segment();
    HC_Close_Segment();
    HC_Open_Segment_By_Key(matrix);
    HC_UnSet_Modelling_Matrix();
    HC_Translate_Object(m_textPoint.x, m_textPoint.y, m_textPoint.z);
    HC_Close_Segment();
}

bool HKetraUtilityAnnotationMeasure::IsMeasurement(long key)
{
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0)
        return false;
    std::string kind;
    const long segment = HObjectManager::FindHObjectSegment(key, &kind);
    return segment != -1 && kind == "KetraAnnotation" &&
           HObjectManager::GetHObjectInfo(segment) == "HKetraUtilityAnnotationMeasure";
}

void HKetraUtilityAnnotationMeasure::mid_point(const HPoint& a, const HPoint& b, HPoint& out)
{
    out.Set((a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2);
}

void HKetraUtilityAnnotationMeasure::drawLineCallbackDummy(HIC_Rendition const* nr, int count,
                                                           HIC_DC_Point const* points)
{
    HIC_Draw_DC_Polyline(nr, count, points);
}
