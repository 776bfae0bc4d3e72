// The rendering option "mask transform" as picking and coordinate conversion see it: the same
// rule the renderer draws by (docs/rendering.md), so a note is hit and measured where it shows.
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/OptionParser.h"

#include <algorithm>
#include <vector>

namespace ketra::hc {

namespace cm = CameraMath;

bool ParseMaskParts(const std::string& value, MaskParts& out) {
    out = MaskParts();
    const std::string trimmed = NormalizeName(value);
    if (trimmed == "off" || trimmed == "none" || trimmed == "()")
        return false;
    std::string_view inner = trimmed, stripped;
    if (StripParentheses(inner, stripped))
        inner = stripped;
    auto words = [&](std::string_view list, bool camera, bool model) {
        std::string_view body = list, group;
        if (StripParentheses(body, group))
            body = group;
        std::vector<OptionItem> items;
        if (!ParseOptionList(body, items, nullptr) || items.empty())
            return false;
        for (const OptionItem& item : items) {
            if (item.hasValue || item.negated)
                return false;
            if (item.name == "rotate" || item.name == "rotation") {
                out.cameraRotate = out.cameraRotate || camera;
                out.modelRotate = out.modelRotate || model;
            } else if (item.name == "scale") {
                out.cameraScale = out.cameraScale || camera;
                out.modelScale = out.modelScale || model;
            } else if (item.name == "perspective" && camera) {
                out.cameraPerspective = true;
            } else {
                return false;
            }
        }
        return true;
    };
    std::vector<OptionItem> items;
    if (!ParseOptionList(inner, items, nullptr) || items.empty())
        return false;
    const bool qualified =
        std::any_of(items.begin(), items.end(), [](const OptionItem& i) { return i.hasValue; });
    bool ok = true;
    if (!qualified) {
        ok = words(inner, true, true);
    } else {
        for (const OptionItem& item : items) {
            if (!item.hasValue)
                ok = false;
            else if (item.name == "camera")
                ok = ok && words(item.value, true, false);
            else if (item.name == "modelling matrix" || item.name == "modeling matrix" ||
                     item.name == "model")
                ok = ok && words(item.value, false, true);
            else
                ok = false;
        }
    }
    // Only what the renderer draws counts; anything else is drawn (and picked) unmasked.
    if (!ok || !out.cameraRotate || out.modelRotate != out.modelScale) {
        out = MaskParts();
        return false;
    }
    return true;
}

const std::string* OwnMaskTransform(const Segment& segment, int depth) {
    if (segment.attributes)
        if (const std::string* mask = segment.attributes->renderingOptions.Find("mask transform"))
            return mask;
    if (depth > 16)
        return nullptr;
    const std::string* found = nullptr;
    for (const auto& ref : segment.styles)
        if (ref->target)
            if (const std::string* mask = OwnMaskTransform(*ref->target, depth + 1))
                found = mask;
    return found;
}

bool SegmentMask(const Segment& segment, MaskParts& out) {
    const std::string* mask = OwnMaskTransform(segment, 0);
    return mask && ParseMaskParts(*mask, out);
}

cm::Matrix4 MaskedModelling(const cm::Matrix4& model, const MaskParts& mask,
                            const cm::Camera& camera, double widthPixels, double heightPixels) {
    const double width = std::max(1.0, widthPixels), height = std::max(1.0, heightPixels);
    const cm::Vec3 anchor = cm::TransformPoint(model, {0, 0, 0});
    const cm::Frame frame = cm::CameraFrame(camera);
    const cm::HalfField half = cm::VisibleHalfField(camera, width / height);
    const double pixelsPerUnit = mask.cameraScale ? height / 2.0 : height / (2.0 * half.y);
    double worldPerPixel = 2.0 * half.y / height;
    if (camera.projection == cm::Projection::Perspective && mask.cameraPerspective) {
        const double depth = cm::Dot(anchor - camera.position, frame.forward);
        if (depth > 0)
            worldPerPixel *= depth / frame.distance;
    }
    const double k = pixelsPerUnit * worldPerPixel;
    cm::Matrix4 facing;
    const cm::Vec3 rows[3] = {frame.right * k, frame.up * k, frame.forward * -k};
    for (int r = 0; r < 3; ++r) {
        facing(r, 0) = rows[r].x, facing(r, 1) = rows[r].y, facing(r, 2) = rows[r].z;
        facing(r, 3) = 0;
    }
    cm::Matrix4 result = facing;
    if (!mask.modelRotate) {
        cm::Matrix4 linear = model;
        linear(3, 0) = linear(3, 1) = linear(3, 2) = 0;
        result = cm::Multiply(linear, facing);
    }
    result(3, 0) = anchor.x, result(3, 1) = anchor.y, result(3, 2) = anchor.z, result(3, 3) = 1;
    return result;
}

} // namespace ketra::hc
