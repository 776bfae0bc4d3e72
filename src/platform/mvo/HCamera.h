// HCamera: one camera of the view layer (position, target, up vector, field, projection),
// copied out of and back into a segment's camera attribute.
#pragma once

#include "platform/mvo/HPoint.h"

typedef long HC_KEY;

class HCamera {
public:
    HPoint position{0.0f, 0.0f, 5.0f};
    HPoint target{0.0f, 0.0f, 0.0f};
    HPoint up_vector{0.0f, 1.0f, 0.0f};
    float field_width = 2.0f;
    float field_height = 2.0f;
    // "perspective", "orthographic" or "stretched" (what HC_Show_Camera reports).
    char projection[64] = "orthographic";
    // False until the camera was read or set; CameraDifferent treats an invalid camera as
    // different from every camera.
    bool valid = false;

    void InvalidateCamera() { valid = false; }
    // True when any component differs by more than a relative 1e-5 (or this camera is invalid).
    bool CameraDifferent(const HCamera& other) const;

    // Reads the net camera of a segment (HC_PShow_Net_Camera semantics: the camera in force
    // there, inherited from above when the segment has none). Sets valid.
    void GetFromSegment(HC_KEY segment);
    // Writes the whole camera onto a segment (position, target, up, field, projection).
    void SetToSegment(HC_KEY segment) const;

    // Distance from position to target.
    float Distance() const;
    // Unit vector from position to target ((0,0,0) for a degenerate camera).
    HPoint ViewDirection() const;
    bool IsPerspective() const;
};
