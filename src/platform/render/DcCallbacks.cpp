#include "platform/render/DcCallbacks.h"

#include "platform/hc/hc.h"

// What a callback sees of the item being drawn. Valid only during the callback.
struct HIC_Rendition {
    ketra::render::DcPrimitives* out = nullptr;
    const ketra::render::CallbackDraw* call = nullptr;
    HC_KEY display = -1;
    int width = 0, height = 0;
};

namespace ketra::render {

void RunDcCallbacks(const Layer& layer, const CameraMath::Matrix4& worldToDevice, int windowWidth,
                    int windowHeight, HC_KEY displayKey, DcPrimitives& out) {
    std::vector<HIC_DC_Point> points;
    for (const CallbackDraw& call : layer.callbacks) {
        if (!call.function) continue;
        points.clear();
        bool behind = false;
        for (size_t i = 0; i + 2 < call.points.size(); i += 3) {
            double w = 1;
            const CameraMath::Vec3 p = CameraMath::TransformPoint(
                worldToDevice, {call.points[i], call.points[i + 1], call.points[i + 2]}, &w);
            behind = behind || w <= 0;
            points.push_back({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
        }
        if (behind || points.empty()) continue;
        HIC_Rendition rendition;
        rendition.out = &out;
        rendition.call = &call;
        rendition.display = displayKey;
        rendition.width = windowWidth;
        rendition.height = windowHeight;
        if (call.kind == CallbackDraw::Kind::Polyline) {
            auto action = reinterpret_cast<HIC_Draw_DC_Polyline_Action>(call.function);
            action(&rendition, static_cast<int>(points.size()), points.data());
        } else {
            auto action = reinterpret_cast<HIC_Draw_DC_Marker_Action>(call.function);
            action(&rendition, points.data());
        }
    }
}

} // namespace ketra::render

using ketra::render::DcPrimitives;

extern "C" {

void HIC_Draw_DC_Polyline(HIC_Rendition const* nr, int count, HIC_DC_Point const* points) {
    if (!nr || !nr->out || !points || count < 2) return;
    DcPrimitives::Polyline line;
    line.color = nr->call->color;
    line.weight = nr->call->weight;
    line.startCap = nr->call->startCap;
    line.endCap = nr->call->endCap;
    for (int i = 0; i < count; ++i) line.points.insert(line.points.end(), {points[i].x, points[i].y, points[i].z});
    nr->out->polylines.push_back(std::move(line));
}

void HIC_Draw_DC_Polygon(HIC_Rendition const* nr, int count, HIC_DC_Point const* points) {
    if (!nr || !nr->out || !points || count < 3) return;
    DcPrimitives::Polygon polygon;
    polygon.color = nr->call->color;
    for (int i = 0; i < count; ++i) polygon.points.insert(polygon.points.end(), {points[i].x, points[i].y, points[i].z});
    nr->out->polygons.push_back(std::move(polygon));
}

void HIC_Draw_DC_Marker(HIC_Rendition const* nr, HIC_DC_Point const* point) {
    if (!nr || !nr->out || !point) return;
    DcPrimitives::Marker marker;
    marker.x = point->x;
    marker.y = point->y;
    marker.z = point->z;
    marker.color = nr->call->color;
    marker.symbol = nr->call->markerSymbol;
    marker.size = nr->call->markerSize;
    nr->out->markers.push_back(marker);
}

HC_KEY HIC_Show_Segment_Key(HIC_Rendition const* nr) { return nr && nr->call ? nr->call->segment : -1; }
HC_KEY HIC_Show_Geometry_Key(HIC_Rendition const* nr) { return nr && nr->call ? nr->call->key : -1; }
HC_KEY HIC_Show_Display_Key(HIC_Rendition const* nr) { return nr ? nr->display : -1; }

void HIC_Show_Window_Size(HIC_Rendition const* nr, int* width, int* height) {
    if (width) *width = nr ? nr->width : 0;
    if (height) *height = nr ? nr->height : 0;
}

int HIC_Show_Path(HIC_Rendition const* nr, int capacity, HC_KEY* keys) {
    if (!nr || !nr->call) return 0;
    const auto& path = nr->call->path;
    for (int i = 0; i < capacity && i < static_cast<int>(path.size()) && keys; ++i) keys[i] = path[static_cast<size_t>(i)];
    return static_cast<int>(path.size());
}

} // extern "C"
