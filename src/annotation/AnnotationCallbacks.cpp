#include "annotation/AnnotationCallbacks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "annotation/HKetraUtilityAnnotation.h"
#include "annotation/HKetraUtilityAnnotationMeasure.h"
#include "platform/hc/HcStrings.h"
#include "platform/hc/HcExtras.h"
#include "platform/render/TextRenderer.h"

namespace {

ketra::render::TextRenderer& Fonts()
{
    static ketra::render::TextRenderer renderer;
    return renderer;
}

bool MeasureForPicking(const std::u16string& text, const std::string& font, double pixelHeight,
                       double& width)
{
    width = MeasureNoteText(text, font, pixelHeight);
    return true;
}

} // namespace

double MeasureNoteText(const std::u16string& text, const std::string& font, double pixelHeight)
{
    ketra::render::TextDraw draw;
    draw.text.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        draw.text.push_back(c);
    }
    std::string family = font;
    // The first family of a list "(Arial, sans serif)" or "Arial, ...".
    family.erase(std::remove(family.begin(), family.end(), '('), family.end());
    family.erase(std::remove(family.begin(), family.end(), ')'), family.end());
    family.erase(std::remove(family.begin(), family.end(), '"'), family.end());
    if (const size_t comma = family.find(','); comma != std::string::npos)
        family.resize(comma);
    while (!family.empty() && family.front() == ' ')
        family.erase(family.begin());
    while (!family.empty() && family.back() == ' ')
        family.pop_back();
    if (!family.empty())
        draw.fontName = family;
    float width = 0, height = 0;
    if (pixelHeight > 0 && Fonts().Measure(draw, static_cast<float>(pixelHeight), width, height))
        return width;
    return 0.6 * pixelHeight * static_cast<double>(draw.text.size());
}

void RegisterAnnotationCallbacks()
{
    struct Entry {
        const char* name;
        HC_CALLBACK function;
    };
    static const Entry kEntries[] = {
        {"ketra_drawline", reinterpret_cast<HC_CALLBACK>(&HKetraUtilityAnnotation::drawLineCallback)},
        {"ketra_drawlineclip",
         reinterpret_cast<HC_CALLBACK>(&HKetraUtilityAnnotation::drawLineCallbackClip)},
        {"ketra_drawmarker", reinterpret_cast<HC_CALLBACK>(&HKetraUtilityAnnotation::drawMarkerCallback)},
        {"ketra_drawlinedummy",
         reinterpret_cast<HC_CALLBACK>(&HKetraUtilityAnnotationMeasure::drawLineCallbackDummy)},
    };
    bool seen[4] = {false, false, false, false};
    int found = 0;
    std::string name;
    HC_Begin_Callback_Name_Search();
    while (found < 4 && HC_Find_Callback_Name(name))
        for (int i = 0; i < 4; ++i)
            if (!seen[i] && strcasecmp(name.c_str(), kEntries[i].name) == 0)
                seen[i] = true, ++found;
    HC_End_Callback_Name_Search();
    for (int i = 0; i < 4; ++i)
        if (!seen[i])
            HC_Define_Callback_Name(kEntries[i].name, kEntries[i].function);
    ketra::hc::SetTextExtentMeasurer(&MeasureForPicking);
}

namespace ketra::annotation {

bool LeaderEnd(const HIC_DC_Point& target, const HIC_DC_Point& position, const DeviceBox& box,
               HIC_DC_Point& end)
{
    end.x = target.x >= position.x ? box.right : box.left;
    end.y = target.y < position.y ? box.bottom : box.top;
    end.z = position.z;
    return target.x >= box.right || target.x <= box.left || target.y <= box.bottom ||
           target.y >= box.top;
}

int ClipOutsideBox(const HIC_DC_Point& a, const HIC_DC_Point& b, const DeviceBox& box,
                   HIC_DC_Point pieces[2][2])
{
    // Liang-Barsky: the parameter range [t0, t1] of the segment inside the box.
    const double dx = b.x - a.x, dy = b.y - a.y;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - box.left, box.right - a.x, a.y - box.bottom, box.top - a.y};
    bool inside = true;
    for (int i = 0; i < 4 && inside; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                inside = false;
        } else {
            const double r = q[i] / p[i];
            if (p[i] < 0)
                t0 = std::max(t0, r);
            else
                t1 = std::min(t1, r);
        }
    }
    auto at = [&](double t) {
        return HIC_DC_Point{static_cast<float>(a.x + dx * t), static_cast<float>(a.y + dy * t),
                            static_cast<float>(a.z + (b.z - a.z) * t)};
    };
    if (!inside || t0 >= t1) {
        pieces[0][0] = a;
        pieces[0][1] = b;
        return 1;
    }
    int n = 0;
    if (t0 > 0)
        pieces[n][0] = a, pieces[n][1] = at(t0), ++n;
    if (t1 < 1)
        pieces[n][0] = at(t1), pieces[n][1] = b, ++n;
    return n;
}

bool NoteBoxOnDevice(HIC_Rendition const* nr, DeviceBox& box)
{
    std::vector<HC_KEY> path(static_cast<size_t>(std::max(0, HIC_Show_Path(nr, 0, nullptr))));
    if (path.empty())
        return false;
    HIC_Show_Path(nr, static_cast<int>(path.size()), path.data());
    const HC_KEY drawn = HIC_Show_Segment_Key(nr);
    if (drawn == -1 || HC_Show_Existence_By_Key(drawn, "self") == 0)
        return false;
    HC_KEY background = -1;
    HC_Open_Segment_By_Key(drawn);
    if (HC_QShow_Existence("../matrix/mask transform/background", "self") > 0) {
        background = HC_Open_Segment("../matrix/mask transform/background");
        HC_Close_Segment();
    }
    HC_Close_Segment();
    if (background == -1)
        return false;
    std::vector<HC_KEY> keys{background};
    keys.insert(keys.end(), path.begin() + 1, path.end());
    int width = 0, height = 0;
    HIC_Show_Window_Size(nr, &width, &height);
    const float corners[4][3] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    float xs[4], ys[4];
    for (int i = 0; i < 4; ++i) {
        float out[3] = {0, 0, 0};
        HC_Compute_Coordinates_By_Path(static_cast<int>(keys.size()), keys.data(), "object",
                                       corners[i], "outer pixels", out);
        xs[i] = out[0];
        ys[i] = static_cast<float>(height - 1) - out[1];
    }
    box.left = std::min({xs[0], xs[1], xs[2], xs[3]});
    box.right = std::max({xs[0], xs[1], xs[2], xs[3]});
    box.bottom = ys[1]; // corner (1, -1)
    box.top = ys[2];    // corner (1, 1)
    if (box.bottom > box.top)
        std::swap(box.bottom, box.top);
    return std::isfinite(box.left) && std::isfinite(box.right) && std::isfinite(box.bottom) &&
           std::isfinite(box.top);
}

bool Arrowhead(const HIC_DC_Point& tip, const HIC_DC_Point& tail, const DeviceBox& box,
               HIC_DC_Point corners[3])
{
    const float dx = tail.x - tip.x;
    const float dy = tail.y - tip.y;
    const float length = std::hypot(dx, dy);
    if (!(length > 0))
        return false;
    const float along = kArrowheadPerBoxHeight * std::fabs(box.top - box.bottom);
    const float ux = dx / length * along, uy = dy / length * along;
    corners[0] = tip;
    corners[1] = {tip.x + ux - uy / 2, tip.y + uy + ux / 2, tip.z};
    corners[2] = {tip.x + ux + uy / 2, tip.y + uy - ux / 2, tip.z};
    return true;
}

} // namespace ketra::annotation

using ketra::annotation::DeviceBox;

void HKetraUtilityAnnotation::drawLineCallback(HIC_Rendition const* nr, int count,
                                               HIC_DC_Point const* points)
{
    if (!nr || !points || count < 2)
        return;
    DeviceBox box;
    if (!ketra::annotation::NoteBoxOnDevice(nr, box)) {
        HIC_Draw_DC_Polyline(nr, count, points);
        return;
    }
    HIC_DC_Point line[2] = {points[0], points[0]};
    if (!ketra::annotation::LeaderEnd(points[0], points[count - 1], box, line[1]))
        return;
    HIC_Draw_DC_Polyline(nr, 2, line);
    HIC_DC_Point head[3];
    if (ketra::annotation::Arrowhead(line[0], line[1], box, head))
        HIC_Draw_DC_Polygon(nr, 3, head);
}

void HKetraUtilityAnnotation::drawLineCallbackClip(HIC_Rendition const* nr, int count,
                                                   HIC_DC_Point const* points)
{
    if (!nr || !points || count < 2)
        return;
    DeviceBox box;
    if (!ketra::annotation::NoteBoxOnDevice(nr, box)) {
        HIC_Draw_DC_Polyline(nr, count, points);
        return;
    }
    for (int i = 0; i + 1 < count; ++i) {
        HIC_DC_Point pieces[2][2];
        const int n = ketra::annotation::ClipOutsideBox(points[i], points[i + 1], box, pieces);
        if (n == 2) {
            // Drawn from the line's far end so that the start cap marks both ends of a
            // dimension line, not the edge of the box.
            std::swap(pieces[1][0], pieces[1][1]);
        }
        for (int k = 0; k < n; ++k)
            HIC_Draw_DC_Polyline(nr, 2, pieces[k]);
    }
}

void HKetraUtilityAnnotation::drawMarkerCallback(HIC_Rendition const* nr, HIC_DC_Point const* point)
{
    (void)nr;
    (void)point;
}
