#include "platform/io/GltfScreenParts.h"

#include "platform/hc/SceneGraph.h"
#include "platform/sys/TextEncoding.h"

#include <cmath>

namespace ketra::io {

namespace cm = hc::CameraMath;

namespace {

tinygltf::Value Number(double v) { return tinygltf::Value(std::isfinite(v) ? v : 0.0); }

tinygltf::Value Rgb(const render::Color& c) {
    return tinygltf::Value(tinygltf::Value::Array{Number(c.r), Number(c.g), Number(c.b)});
}

// wchar_t holds a whole code point here, as char32_t does.
std::string Utf8(const std::u32string& text) { return sys::ToUtf8(std::wstring(text.begin(), text.end())); }

cm::Vec3 ToWorld(const render::MeshDraw& draw, const float* p) {
    const cm::Vec3 v{p[0], p[1], p[2]};
    return draw.identity ? v : cm::TransformPoint(draw.matrix, v);
}

// Points of text size `pixels` as the renderer lays them out (points at 96 dpi).
double TextPixels(const render::TextDraw& text) {
    return text.sizeUnit == render::TextDraw::Unit::Pixels ? text.size : text.size * 96.0 / 72.0;
}

} // namespace

HC_KEY GltfScreenParts::MaskRoot(HC_KEY segment) {
    if (const auto at = m_maskRoots.find(segment); at != m_maskRoots.end())
        return at->second;
    HC_KEY root = -1;
    for (const hc::Segment* s = hc::Graph::Instance().FindSegment(segment); s; s = s->owner)
        if (s->attributes && s->attributes->renderingOptions.Find("mask transform")) {
            root = s->key;
            break;
        }
    m_maskRoots.emplace(segment, root);
    return root;
}

bool GltfScreenParts::Masked(HC_KEY segment) { return MaskRoot(segment) != -1; }

bool GltfScreenParts::TakeMasked(const render::MeshDraw& draw) {
    const HC_KEY root = MaskRoot(draw.segment);
    if (root == -1)
        return false;
    const hc::Segment* s = hc::Graph::Instance().FindSegment(root);
    Box& box = m_boxes[s && s->owner ? s->owner->key : root];
    if (draw.faces && !draw.hiddenSurfaceOnly && draw.mesh && !draw.mesh->triangles.empty() &&
        draw.surface.transmission < 1.0f) {
        box.fill = true;
        box.fillColor = draw.faceColor;
    }
    if (draw.edges && draw.mesh && !draw.mesh->edges.empty() && !box.edge) {
        box.edge = true;
        box.edgeColor = draw.edgeColor;
    }
    return true;
}

bool GltfScreenParts::TakeMasked(const render::LineDraw& line) {
    const HC_KEY root = MaskRoot(line.segment);
    if (root == -1)
        return false;
    const hc::Segment* s = hc::Graph::Instance().FindSegment(root);
    Box& box = m_boxes[s && s->owner ? s->owner->key : root];
    box.edge = true;
    box.edgeColor = line.color;
    return true;
}

std::array<double, 2> GltfScreenParts::ToFrame(const render::Layer& layer, const render::DrawList& list, double x,
                                               double y, double z) const {
    const double aspect = static_cast<double>(layer.width) / std::max(1, layer.height);
    const cm::Vec3 w = cm::TransformPoint(cm::WorldToWindow(layer.camera, aspect), {x, y, z});
    const double px = layer.x + (w.x + 1) / 2 * layer.width;
    const double py = layer.y + (w.y + 1) / 2 * layer.height;  // from the bottom
    const double round = 10;
    return {std::round(px / m_scale * round) / round, std::round((list.height - py) / m_scale * round) / round};
}

tinygltf::Value GltfScreenParts::Label(const render::TextDraw& text, const render::Layer& layer, bool screen,
                                       const render::DrawList& list) {
    tinygltf::Value::Object label;
    label["text"] = tinygltf::Value(Utf8(text.text));
    if (screen) {
        const auto at = ToFrame(layer, list, text.position[0], text.position[1], text.position[2]);
        label["screen"] = tinygltf::Value(tinygltf::Value::Array{Number(at[0]), Number(at[1])});
    } else {
        label["position"] = tinygltf::Value(
            tinygltf::Value::Array{Number(text.position[0]), Number(text.position[1]), Number(text.position[2])});
    }
    label["color"] = Rgb(text.color);
    if (text.sizeUnit == render::TextDraw::Unit::WorldUnits && !screen) {
        label["worldSize"] = Number(text.size);
    } else if (text.sizeUnit == render::TextDraw::Unit::WorldUnits) {
        const double aspect = static_cast<double>(layer.width) / std::max(1, layer.height);
        const cm::HalfField half = cm::VisibleHalfField(layer.camera, aspect);
        label["size"] = Number(text.size * layer.height / (2.0 * half.y) / m_scale);
    } else {
        label["size"] = Number(TextPixels(text));
    }
    label["font"] = tinygltf::Value(text.fontName);
    label["align"] = tinygltf::Value(std::string{text.alignX, text.alignY});
    const hc::Segment* s = hc::Graph::Instance().FindSegment(text.segment);
    if (const auto at = s && s->owner ? m_boxes.find(s->owner->key) : m_boxes.end(); at != m_boxes.end()) {
        tinygltf::Value::Object box;
        if (at->second.fill)
            box["fill"] = Rgb(at->second.fillColor);
        if (at->second.edge)
            box["edge"] = Rgb(at->second.edgeColor);
        label["box"] = tinygltf::Value(box);
    }
    return tinygltf::Value(label);
}

void GltfScreenParts::Write(const render::DrawList& list, tinygltf::Value::Object& extras) {
    tinygltf::Value::Array labels, overlay;
    if (!list.layers.empty())
        for (const render::TextDraw& text : list.Main().texts)
            if (!text.text.empty())
                labels.push_back(Label(text, list.Main(), false, list));
    for (size_t i = 1; i < list.layers.size(); ++i) {
        const render::Layer& layer = list.layers[i];
        // The axis triad turns with the camera: the page's reader turns the model without it.
        const hc::Segment* segment = hc::Graph::Instance().FindSegment(layer.segment);
        if (!segment || hc::EqualsNoCase(segment->name, "axis"))
            continue;
        for (const render::MeshDraw& draw : layer.meshes) {
            if (!draw.mesh || !draw.faces || draw.hiddenSurfaceOnly)
                continue;
            const render::Mesh& mesh = *draw.mesh;
            mesh.triangles.Visit([&](const auto& triangles) {
                for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
                    tinygltf::Value::Array points;
                    for (size_t k = 0; k < 3; ++k) {
                        const cm::Vec3 p = ToWorld(draw, &mesh.positions[3 * static_cast<size_t>(triangles[t + k])]);
                        const auto at = ToFrame(layer, list, p.x, p.y, p.z);
                        points.push_back(Number(at[0]));
                        points.push_back(Number(at[1]));
                    }
                    tinygltf::Value::Object shape;
                    shape["fill"] = Rgb(draw.faceColor);
                    shape["points"] = tinygltf::Value(points);
                    overlay.push_back(tinygltf::Value(shape));
                }
            });
        }
        for (const render::LineDraw& line : layer.lines) {
            const size_t n = line.points.size() / 3;
            for (size_t first = 0; first + 1 < n; first += line.pairs ? 2 : n) {
                const size_t last = line.pairs ? first + 2 : n;
                tinygltf::Value::Array points;
                for (size_t k = first; k < last; ++k) {
                    const auto at = ToFrame(layer, list, line.points[3 * k], line.points[3 * k + 1], line.points[3 * k + 2]);
                    points.push_back(Number(at[0]));
                    points.push_back(Number(at[1]));
                }
                tinygltf::Value::Object shape;
                shape["stroke"] = Rgb(line.color);
                shape["width"] = Number(std::max(1.0f, line.state.weight));
                shape["points"] = tinygltf::Value(points);
                overlay.push_back(tinygltf::Value(shape));
            }
        }
        for (const render::TextDraw& text : layer.texts)
            if (!text.text.empty())
                labels.push_back(Label(text, layer, true, list));
    }
    extras["labels"] = tinygltf::Value(labels);
    extras["overlay"] = tinygltf::Value(overlay);
}

} // namespace ketra::io
