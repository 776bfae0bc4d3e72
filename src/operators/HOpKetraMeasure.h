// HOpKetraMeasure: measures the distance between two points picked on the model. The first
// press picks the first point, the second press the second point and makes a measurement
// note (HKetraUtilityAnnotationMeasure) in the markup layer showing the distance, e.g.
// "12.35 in"; moving the mouse then carries the text (and the dimension line with it) in the
// screen plane, and the third press sets it down. Presses on empty space are ignored. The
// window hears of the note (InsertAnnotations) when it is set down.
#pragma once

#include <string>

#include "annotation/HKetraUtilityAnnotationMeasure.h"
#include "operators/KetraBaseOperator.h"
#include "platform/mvo/HBaseOperator.h"

class HOpKetraMeasure : public HBaseOperator, public KetraBaseOperator {
public:
    HOpKetraMeasure(KetraViewWindow* window, int doRepeat = 1, int doCapture = 1);
    const char* GetName() override;
    HBaseOperator* Clone() override;
    int OnLButtonDown(HEventInfo& event) override;
    int OnNoButtonDownAndMove(HEventInfo& event) override;
    int OnKeyDown(HEventInfo& event) override;

    // The unit written after the value. Default: the model segment's user option "units"
    // (the plotter's "in" or "mm") when set, else none.
    void SetUnitSuffix(const std::string& suffix) { m_unit = suffix; m_unitSet = true; }
    std::string GetUnitSuffix() const;
    // The text for a distance: the value with CAppSettings::DF_UnitsDisplayDecimalDisplay
    // decimals (0..6) and the unit suffix.
    std::string FormatDistance(double distance) const;
    // 0: waiting for the first point, 1: for the second, 2: placing the text.
    int GetStage() const { return m_stage; }
    long GetNoteKey() { return m_measure.GetKey(); }

protected:
    void PlaceText(HEventInfo& event);

    int m_stage = 0;
    HPoint m_first;
    HKetraUtilityAnnotationMeasure m_measure;
    std::string m_unit;
    bool m_unitSet = false;
};
