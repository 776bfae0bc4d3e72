#include "platform/mvo/HCamera.h"

#include <cmath>
#include <cstring>

#include "platform/hc/HcStrings.h"

namespace {

bool Differs(float a, float b)
{
    const float scale = std::fmax(1.0f, std::fmax(std::fabs(a), std::fabs(b)));
    return std::fabs(a - b) > 1e-5f * scale;
}

bool Differs(const HPoint& a, const HPoint& b)
{
    return Differs(a.x, b.x) || Differs(a.y, b.y) || Differs(a.z, b.z);
}

} // namespace

bool HCamera::CameraDifferent(const HCamera& other) const
{
    if (!valid || !other.valid)
        return true;
    return Differs(position, other.position) || Differs(target, other.target) ||
           Differs(up_vector, other.up_vector) || Differs(field_width, other.field_width) ||
           Differs(field_height, other.field_height) ||
           std::strcmp(projection, other.projection) != 0;
}

void HCamera::GetFromSegment(HC_KEY segment)
{
    if (HC_Show_Existence_By_Key(segment, "self") == 0) {
        valid = false;
        return;
    }
    HC_Open_Segment_By_Key(segment);
    std::string proj;
    HC_Show_Camera(&position, &target, &up_vector, &field_width, &field_height, proj);
    HC_Close_Segment();
    std::strncpy(projection, proj.c_str(), sizeof(projection) - 1);
    projection[sizeof(projection) - 1] = '\0';
    valid = true;
}

void HCamera::SetToSegment(HC_KEY segment) const
{
    if (HC_Show_Existence_By_Key(segment, "self") == 0)
        return;
    HC_Open_Segment_By_Key(segment);
    HC_Set_Camera(&position, &target, &up_vector, field_width, field_height,
                  projection[0] ? projection : "orthographic");
    HC_Close_Segment();
}

float HCamera::Distance() const { return HLength(target - position); }

HPoint HCamera::ViewDirection() const { return HNormalized(target - position); }

bool HCamera::IsPerspective() const
{
    return std::strncmp(projection, "perspective", 11) == 0 ||
           std::strncmp(projection, "Perspective", 11) == 0;
}
