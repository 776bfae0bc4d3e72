// The annotations' draw callbacks and the geometry they compute, kept apart from the
// callbacks' calling convention so it can be checked on its own.
//
// Device coordinates are pixels with the origin at the bottom-left of the window, y up (the
// convention of the HIC_* interface in platform/hc/hc.h).
#pragma once

#include <string>

#include "platform/hc/hc.h"

class HBaseView;

// Defines the callback names "ketra_drawline", "ketra_drawlineclip", "ketra_drawmarker" and
// "ketra_drawlinedummy" where they are not yet defined, and lets picking measure text with
// the renderer's fonts. Idempotent; notes call it themselves, the application at start-up.
void RegisterAnnotationCallbacks();

// Width in pixels of `text` in the font family at an em of `pixelHeight` pixels (the
// renderer's fonts; 0.6 em a character when no font loads).
double MeasureNoteText(const std::u16string& text, const std::string& font, double pixelHeight);

// Resizes the notes of `view` whenever its window changes size (one listener per view,
// removed when the view is destroyed).
void WatchNoteWindowSize(HBaseView* view);

namespace ketra::annotation {

// A note's background box on the device: left/right, bottom/top.
struct DeviceBox {
    float left = 0, right = 0, bottom = 0, top = 0;
};

// The leader's end for a target and the note's position: x on the box's right side when the
// target is at or right of the position, else on its left; y on its bottom when the target is
// below the position, else on its top. False (nothing drawn) while the target lies strictly
// inside the box.
bool LeaderEnd(const HIC_DC_Point& target, const HIC_DC_Point& position, const DeviceBox& box,
               HIC_DC_Point& end);

// The parts of the segment a-b outside the box: 0, 1 or 2 pieces written to pieces[0..1]
// (two points each). A segment that only touches the box's border is kept whole.
int ClipOutsideBox(const HIC_DC_Point& a, const HIC_DC_Point& b, const DeviceBox& box,
                   HIC_DC_Point pieces[2][2]);

// The leader's arrowhead, sized to the note: a filled triangle with its tip at `tip`, pointing
// away from `tail`, kArrowheadPerBoxHeight times the box's height long and half as wide on
// each side (the proportions of the leader's line-style cap, which it covers whatever the
// line weight up to a cap of that length). False when tip and tail coincide.
inline constexpr float kArrowheadPerBoxHeight = 0.75f;
bool Arrowhead(const HIC_DC_Point& tip, const HIC_DC_Point& tail, const DeviceBox& box,
               HIC_DC_Point corners[3]);

// The device box of the note background "../matrix/mask transform/background" relative to
// the segment being drawn (a note's "conditions/xarrow"); false when there is none.
bool NoteBoxOnDevice(HIC_Rendition const* nr, DeviceBox& box);

} // namespace ketra::annotation
