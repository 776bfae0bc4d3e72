// Cameras of segments, display windows and driver options, and the display-update hooks.
#include "platform/hc/AttributeText.h"
#include "platform/hc/GraphInternal.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/OptionParser.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace ketra::hc {

namespace {

namespace cm = CameraMath;

cm::Vec3 ToMath(const Vec3& v) {
    return {v.x, v.y, v.z};
}
Vec3 FromMath(const cm::Vec3& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

bool Finite(double a) {
    return std::isfinite(a);
}

// Camera values must stay representable as floats: larger inputs would turn into infinities.
bool InFloatRange(double a) {
    return Finite(a) && std::fabs(a) <= 3.0e38;
}
bool InFloatRange(double a, double b, double c) {
    return InFloatRange(a) && InFloatRange(b) && InFloatRange(c);
}

const char* ProjectionName(Projection p) {
    switch (p) {
    case Projection::Perspective:
        return "perspective";
    case Projection::Stretched:
        return "stretched";
    case Projection::Orthographic:
        break;
    }
    return "orthographic";
}

bool ParseProjection(std::string_view text, Projection& out) {
    const std::string name = NormalizeName(text);
    if (name == "perspective") {
        out = Projection::Perspective;
    } else if (name == "orthographic") {
        out = Projection::Orthographic;
    } else if (name == "stretched") {
        out = Projection::Stretched;
    } else {
        return false;
    }
    return true;
}

// The camera the open segment currently sees: its own, else the inherited one.
cm::Camera CurrentCamera(const Segment& segment) {
    if (segment.attributes && segment.attributes->camera.set)
        return ToMathCamera(segment.attributes->camera);
    return EffectiveCamera(Graph::Instance().Net(segment));
}

// Stores a camera on the open segment. Setting any part of a camera on a segment that has
// none starts from the camera it inherited, as the moves do.
void StoreCamera(Segment& segment, const cm::Camera& camera) {
    const bool had = segment.attributes && segment.attributes->camera.set;
    FromMathCamera(camera, segment.Attributes().camera);
    // A first camera can add a layer to the picture: that is more than a camera move.
    if (had)
        Graph::Instance().TouchCamera(segment);
    else
        Graph::Instance().Touch(segment);
}

template <class Change> void ChangeCamera(const char* fn, Change&& change) {
    Segment* segment = detail::RequireOpenSegment(fn);
    if (!segment)
        return;
    cm::Camera camera = CurrentCamera(*segment);
    change(camera);
    StoreCamera(*segment, camera);
}

void WriteCamera(const cm::Camera& c, void* position, void* target, void* up, float* width,
                 float* height, char* projection) {
    auto put = [](void* out, const cm::Vec3& v) {
        if (!out)
            return;
        float* f = static_cast<float*>(out);
        f[0] = static_cast<float>(v.x);
        f[1] = static_cast<float>(v.y);
        f[2] = static_cast<float>(v.z);
    };
    put(position, c.position);
    put(target, c.target);
    put(up, c.up);
    if (width)
        *width = static_cast<float>(c.width);
    if (height)
        *height = static_cast<float>(c.height);
    if (projection) {
        const Projection p = c.projection == cm::Projection::Perspective ? Projection::Perspective
                             : c.projection == cm::Projection::Stretched ? Projection::Stretched
                                                                         : Projection::Orthographic;
        CopyOut(ProjectionName(p), projection);
    }
}

bool ReadPoint(const char* fn, const void* in, const char* what, cm::Vec3& out) {
    if (!in) {
        ReportError(fn, HC_ERR_ARGUMENT, std::string(what) + " is null");
        return false;
    }
    const float* f = static_cast<const float*>(in);
    if (!InFloatRange(f[0], f[1], f[2])) {
        ReportError(fn, HC_ERR_ARGUMENT, std::string(what) + " is not a finite point");
        return false;
    }
    out = {f[0], f[1], f[2]};
    return true;
}

std::string FormatNumber(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// "window size = (W pixels, H pixels)"; a bare number means pixels, "cm" and "in" convert
// at the display's resolution.
bool ParseWindowSize(std::string_view value, double dpi, int& width, int& height,
                     std::string& error) {
    std::string_view inner;
    if (!StripParentheses(value, inner))
        inner = value;
    std::vector<std::string_view> parts;
    if (!SplitTopLevel(inner, parts, &error))
        return false;
    if (parts.size() != 2) {
        error = "expected (width, height)";
        return false;
    }
    int result[2] = {0, 0};
    for (size_t i = 0; i < 2; ++i) {
        double number = 0;
        std::string unit;
        if (!ParseNumberWithUnit(parts[i], number, unit)) {
            error = "'" + std::string(parts[i]) + "' is not a size";
            return false;
        }
        if (unit == "cm")
            number = number / 2.54 * dpi;
        else if (unit == "in" || unit == "inch" || unit == "inches")
            number *= dpi;
        else if (!(unit.empty() || unit == "pixels" || unit == "pixel" || unit == "px")) {
            error = "unknown unit '" + unit + "'";
            return false;
        }
        const double rounded = std::round(number);
        if (!(rounded >= 1.0 && rounded <= 32768.0)) {
            error = "size " + FormatNumber(number) + " is outside 1 .. 32768 pixels";
            return false;
        }
        result[i] = static_cast<int>(rounded);
    }
    width = result[0];
    height = result[1];
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Helpers shared with coordinates, picking and the renderer
// ---------------------------------------------------------------------------

cm::Camera ToMathCamera(const Camera& slot) {
    if (!slot.set)
        return cm::DefaultCamera();
    cm::Camera c;
    c.position = ToMath(slot.position);
    c.target = ToMath(slot.target);
    c.up = ToMath(slot.up);
    c.width = slot.width;
    c.height = slot.height;
    c.projection = slot.projection == Projection::Perspective ? cm::Projection::Perspective
                   : slot.projection == Projection::Stretched ? cm::Projection::Stretched
                                                              : cm::Projection::Orthographic;
    return c;
}

void FromMathCamera(const cm::Camera& camera, Camera& slot) {
    slot.set = true;
    slot.position = FromMath(camera.position);
    slot.target = FromMath(camera.target);
    slot.up = FromMath(camera.up);
    slot.width = static_cast<float>(camera.width);
    slot.height = static_cast<float>(camera.height);
    slot.projection = camera.projection == cm::Projection::Perspective ? Projection::Perspective
                      : camera.projection == cm::Projection::Stretched ? Projection::Stretched
                                                                       : Projection::Orthographic;
}

cm::Camera EffectiveCamera(const NetAttributes& net) {
    if (net.cameraOwner == kNoKey && !net.camera.set)
        return cm::DefaultCamera();
    Camera slot = net.camera;
    slot.set = true;
    return ToMathCamera(slot);
}

bool IsDisplaySegment(const Segment& segment) {
    // "/driver/<kind>/<display>"
    const Segment* kind = segment.owner;
    const Segment* driver = kind ? kind->owner : nullptr;
    return driver && driver->owner == &Graph::Instance().Root() &&
           EqualsNoCase(driver->name, "driver");
}

DisplayWindow DisplayWindowOf(const Segment& display) {
    DisplayWindow w;
    w.display = &display;
    if (display.attributes && display.attributes->driver) {
        const DriverOptions& d = *display.attributes->driver;
        w.widthPixels = d.widthPixels;
        w.heightPixels = d.heightPixels;
        if (d.dpi > 0 && std::isfinite(d.dpi))
            w.dpi = d.dpi;
        if (const std::string* prox = d.options.Find("selection proximity")) {
            double cmValue = 0;
            std::string unit;
            if (ParseNumberWithUnit(*prox, cmValue, unit) && cmValue >= 0 && cmValue < 1e6)
                w.selectionProximityCm = cmValue;
        }
    }
    return w;
}

DisplayWindow FindDisplayWindow(const Segment& segment) {
    for (const Segment* s = &segment; s; s = s->owner)
        if (IsDisplaySegment(*s))
            return DisplayWindowOf(*s);
    return DisplayWindow{};
}

} // namespace ketra::hc

using namespace ketra::hc;
namespace cm = ketra::hc::CameraMath;

// ---------------------------------------------------------------------------
// Camera setters and moves
// ---------------------------------------------------------------------------

void HC_Set_Camera_Position(double x, double y, double z) {
    static const char* fn = "HC_Set_Camera_Position";
    if (!InFloatRange(x, y, z)) {
        ReportError(fn, HC_ERR_ARGUMENT, "position is not finite");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) { c.position = {x, y, z}; });
}

void HC_Set_Camera_Target(double x, double y, double z) {
    static const char* fn = "HC_Set_Camera_Target";
    if (!InFloatRange(x, y, z)) {
        ReportError(fn, HC_ERR_ARGUMENT, "target is not finite");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) { c.target = {x, y, z}; });
}

void HC_Set_Camera_Up_Vector(double x, double y, double z) {
    static const char* fn = "HC_Set_Camera_Up_Vector";
    if (!InFloatRange(x, y, z) || (x == 0 && y == 0 && z == 0)) {
        ReportError(fn, HC_ERR_ARGUMENT, "up vector must be finite and not zero");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) { c.up = {x, y, z}; });
}

void HC_Set_Camera_Field(double width, double height) {
    static const char* fn = "HC_Set_Camera_Field";
    // A zero field is allowed (a fit to a single point makes one); negative is not.
    if (!InFloatRange(width) || !InFloatRange(height) || width < 0 || height < 0) {
        ReportError(fn, HC_ERR_ARGUMENT,
                    "field " + FormatNumber(width) + " x " + FormatNumber(height) +
                        " must be finite and not negative");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) {
        c.width = width;
        c.height = height;
    });
}

void HC_Set_Camera_Projection(const char* projection) {
    static const char* fn = "HC_Set_Camera_Projection";
    Projection p;
    if (!projection || !ParseProjection(projection, p)) {
        ReportError(fn, HC_ERR_OPTION,
                    std::string("unknown projection '") + (projection ? projection : "(null)") +
                        "' (perspective, orthographic or stretched)");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) {
        c.projection = p == Projection::Perspective ? cm::Projection::Perspective
                       : p == Projection::Stretched ? cm::Projection::Stretched
                                                    : cm::Projection::Orthographic;
    });
}

void HC_Set_Camera(const void* position, const void* target, const void* up, double width,
                   double height, const char* projection) {
    static const char* fn = "HC_Set_Camera";
    cm::Vec3 p, t, u;
    if (!ReadPoint(fn, position, "position", p) || !ReadPoint(fn, target, "target", t) ||
        !ReadPoint(fn, up, "up vector", u))
        return;
    if (u == cm::Vec3{0, 0, 0}) {
        ReportError(fn, HC_ERR_ARGUMENT, "up vector is zero");
        return;
    }
    if (!InFloatRange(width) || !InFloatRange(height) || width < 0 || height < 0) {
        ReportError(fn, HC_ERR_ARGUMENT, "field must be finite and not negative");
        return;
    }
    Projection proj;
    if (!projection || !ParseProjection(projection, proj)) {
        ReportError(fn, HC_ERR_OPTION,
                    std::string("unknown projection '") + (projection ? projection : "(null)") +
                        "'");
        return;
    }
    Segment* segment = detail::RequireOpenSegment(fn);
    if (!segment)
        return;
    Camera slot;
    slot.set = true;
    slot.position = FromMath(p);
    slot.target = FromMath(t);
    slot.up = FromMath(u);
    slot.width = static_cast<float>(width);
    slot.height = static_cast<float>(height);
    slot.projection = proj;
    const bool had = segment->attributes && segment->attributes->camera.set;
    segment->Attributes().camera = slot;
    if (had)
        Graph::Instance().TouchCamera(*segment);
    else
        Graph::Instance().Touch(*segment);
}

void HC_UnSet_Camera(void) {
    static const char* fn = "HC_UnSet_Camera";
    Segment* segment = detail::RequireOpenSegment(fn);
    if (!segment)
        return;
    if (!segment->attributes || !segment->attributes->camera.set) {
        ReportError(fn, HC_ERR_STATE, "no camera is set on the open segment");
        return;
    }
    segment->attributes->camera = Camera{};
    Graph::Instance().Touch(*segment);
}

void HC_Show_Camera(void* position, void* target, void* up, float* width, float* height,
                    char* projection) {
    static const char* fn = "HC_Show_Camera";
    Segment* segment = detail::RequireOpenSegment(fn);
    if (!segment) {
        // Outputs still get defined values.
        WriteCamera(cm::DefaultCamera(), position, target, up, width, height, projection);
        return;
    }
    WriteCamera(CurrentCamera(*segment), position, target, up, width, height, projection);
}

void HC_PShow_Net_Camera(int count, const HC_KEY* keys, void* position, void* target, void* up,
                         float* width, float* height, char* projection) {
    static const char* fn = "HC_PShow_Net_Camera";
    cm::Camera camera = cm::DefaultCamera();
    if (count < 0 || (count > 0 && !keys)) {
        ReportError(fn, HC_ERR_ARGUMENT, "bad key path (negative count or null keys)");
    } else if (count == 0) {
        if (Segment* segment = detail::RequireOpenSegment(fn))
            camera = CurrentCamera(*segment);
    } else {
        NetAttributes net;
        std::string error;
        if (Graph::Instance().NetAlongPath(count, keys, net, &error))
            camera = EffectiveCamera(net);
        else
            ReportError(fn, HC_ERR_KEY, error.empty() ? "bad key path" : error);
    }
    WriteCamera(camera, position, target, up, width, height, projection);
}

void HC_Orbit_Camera(double theta, double phi) {
    static const char* fn = "HC_Orbit_Camera";
    if (!Finite(theta) || !Finite(phi)) {
        ReportError(fn, HC_ERR_ARGUMENT, "angles must be finite");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) { c = cm::Orbit(c, theta, phi); });
}

void HC_Pan_Camera(double theta, double phi) {
    static const char* fn = "HC_Pan_Camera";
    if (!Finite(theta) || !Finite(phi)) {
        ReportError(fn, HC_ERR_ARGUMENT, "angles must be finite");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) { c = cm::Pan(c, theta, phi); });
}

void HC_Dolly_Camera(double right, double up, double in) {
    static const char* fn = "HC_Dolly_Camera";
    if (!InFloatRange(right, up, in)) {
        ReportError(fn, HC_ERR_ARGUMENT, "distances must be finite");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) { c = cm::Dolly(c, right, up, in); });
}

void HC_Zoom_Camera(double zoom) {
    static const char* fn = "HC_Zoom_Camera";
    if (!Finite(zoom) || !(zoom > 0)) {
        ReportError(fn, HC_ERR_ARGUMENT, "zoom factor " + FormatNumber(zoom) + " must be > 0");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) { c = cm::Zoom(c, zoom); });
}

void HC_Roll_Camera(double degrees) {
    static const char* fn = "HC_Roll_Camera";
    if (!Finite(degrees)) {
        ReportError(fn, HC_ERR_ARGUMENT, "angle must be finite");
        return;
    }
    ChangeCamera(fn, [&](cm::Camera& c) { c = cm::Roll(c, degrees); });
}

// ---------------------------------------------------------------------------
// Driver options and device information
// ---------------------------------------------------------------------------

void HC_Set_Driver_Options(const char* list) {
    static const char* fn = "HC_Set_Driver_Options";
    if (!list) {
        ReportError(fn, HC_ERR_ARGUMENT, "option list is null");
        return;
    }
    Segment* segment = detail::RequireOpenSegment(fn);
    if (!segment)
        return;
    std::vector<OptionItem> items;
    std::string error;
    if (!ParseOptionList(list, items, &error)) {
        detail::ReportBadOption(fn, "driver options", list, error);
        return;
    }
    // Validate everything before changing anything.
    DriverOptions updated = segment->attributes && segment->attributes->driver
                                ? *segment->attributes->driver
                                : DriverOptions{};
    for (const OptionItem& item : items) {
        if (item.name == "window size") {
            if (item.negated) {
                updated.hasWindowSize = false;
                updated.widthPixels = 800;
                updated.heightPixels = 600;
                updated.options.Erase("window size");
                continue;
            }
            int w = 0, h = 0;
            if (!item.hasValue || !ParseWindowSize(item.value, updated.dpi, w, h, error)) {
                detail::ReportBadOption(fn, "window size", item.value,
                                        item.hasValue ? error : "a value is needed");
                return;
            }
            updated.hasWindowSize = true;
            updated.widthPixels = w;
            updated.heightPixels = h;
            updated.options.Set("window size", "(" + std::to_string(w) + " pixels, " +
                                                   std::to_string(h) + " pixels)");
        } else if (item.name == "selection proximity") {
            double value = 0;
            std::string unit;
            if (item.negated || !item.hasValue || !ParseNumberWithUnit(item.value, value, unit) ||
                value < 0 || value > 1e6 || !(unit.empty() || unit == "cm")) {
                detail::ReportBadOption(fn, "selection proximity", item.value,
                                        "expected a distance in centimetres");
                return;
            }
            updated.options.Set("selection proximity", item.value);
        } else if (item.negated) {
            updated.options.Set(item.name, "off");
        } else {
            updated.options.Set(item.name, item.hasValue ? item.value : "on");
        }
    }
    auto& slot = segment->Attributes().driver;
    if (!slot)
        slot = std::make_unique<DriverOptions>();
    *slot = std::move(updated);
    Graph::Instance().Touch(*segment);
}

void HC_UnSet_Driver_Options(void) {
    static const char* fn = "HC_UnSet_Driver_Options";
    Segment* segment = detail::RequireOpenSegment(fn);
    if (!segment)
        return;
    if (!segment->attributes || !segment->attributes->driver) {
        ReportError(fn, HC_ERR_STATE, "no driver options are set on the open segment");
        return;
    }
    segment->attributes->driver.reset();
    Graph::Instance().Touch(*segment);
}

void HC_Show_Driver_Options(char* list) {
    static const char* fn = "HC_Show_Driver_Options";
    if (!list) {
        ReportError(fn, HC_ERR_ARGUMENT, "output is null");
        return;
    }
    Segment* segment = detail::RequireOpenSegment(fn);
    if (!segment || !segment->attributes || !segment->attributes->driver) {
        CopyOut("", list);
        return;
    }
    CopyOut(segment->attributes->driver->options.ToString(), list);
}

void HC_Show_Device_Info(const char* driver, const char* item, char* data) {
    static const char* fn = "HC_Show_Device_Info";
    if (!data) {
        ReportError(fn, HC_ERR_ARGUMENT, "output is null");
        return;
    }
    CopyOut("", data);
    if (!driver || !item) {
        ReportError(fn, HC_ERR_ARGUMENT, "driver or item is null");
        return;
    }
    std::string error;
    Segment* segment = Graph::Instance().Resolve(driver, false, &error);
    if (!segment) {
        ReportError(fn, HC_ERR_PATH,
                    "no driver segment '" + std::string(driver) + "'" +
                        (error.empty() ? "" : ": " + error));
        return;
    }
    const DisplayWindow w = FindDisplayWindow(*segment);
    const std::string what = NormalizeName(item);
    char buf[128];
    if (what == "size") {
        std::snprintf(buf, sizeof buf, "%g, %g", w.widthPixels / w.dpi * 2.54,
                      w.heightPixels / w.dpi * 2.54);
    } else if (what == "pixels") {
        std::snprintf(buf, sizeof buf, "%d, %d", w.widthPixels, w.heightPixels);
    } else if (what == "resolution") {
        std::snprintf(buf, sizeof buf, "%g, %g", w.dpi, w.dpi);
    } else if (what == "current window id") {
        const Segment* display = w.display ? w.display : segment;
        const std::string* id = nullptr;
        if (display->attributes && display->attributes->driver)
            id = display->attributes->driver->options.Find("use window id");
        if (id)
            CopyOut(*id, data);
        else
            CopyOut(std::to_string(display->VisibleKey()), data);
        return;
    } else if (what == "driver type") {
        CopyOut(w.display && w.display->owner ? w.display->owner->name : std::string("null"), data);
        return;
    } else {
        ReportError(fn, HC_ERR_OPTION,
                    "unknown device information '" + std::string(item) +
                        "' (size, pixels, resolution, current window id, driver type)");
        return;
    }
    CopyOut(buf, data);
}

// ---------------------------------------------------------------------------
// Display updates: forwarded to the registered display drivers (the renderer)
// ---------------------------------------------------------------------------

void HC_Update_Display(void) {
    // Copy: a driver may register or unregister others while drawing.
    const std::vector<DisplayDriver*> drivers = Graph::Instance().DisplayDrivers();
    for (DisplayDriver* d : drivers)
        d->Update(kNoKey, UpdateMode::Update);
}

void HC_Control_Update_By_Key(HC_KEY key, const char* options) {
    static const char* fn = "HC_Control_Update_By_Key";
    Segment* segment = detail::FindSegmentKey(fn, key);
    if (!segment)
        return;
    if (!options) {
        ReportError(fn, HC_ERR_ARGUMENT, "options are null");
        return;
    }
    std::vector<OptionItem> items;
    std::string error;
    if (!ParseOptionList(options, items, &error)) {
        detail::ReportBadOption(fn, "update control", options, error);
        return;
    }
    std::vector<UpdateMode> modes;
    for (const OptionItem& item : items) {
        if (item.name == "redraw everything" && !item.negated)
            modes.push_back(UpdateMode::RedrawEverything);
        else if (item.name == "unset redraw" && !item.negated)
            modes.push_back(UpdateMode::UnsetRedraw);
        else {
            detail::ReportBadOption(fn, "update control", options,
                                    "unknown option '" + item.name +
                                        "' (redraw everything, unset redraw)");
            return;
        }
    }
    const Key original = segment->key;
    const std::vector<DisplayDriver*> drivers = Graph::Instance().DisplayDrivers();
    for (UpdateMode mode : modes)
        for (DisplayDriver* d : drivers)
            d->Update(original, mode);
}
