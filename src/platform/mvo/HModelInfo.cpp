#include "platform/mvo/HModelInfo.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/hc/HcStrings.h"
#include "platform/mvo/HBaseView.h"

namespace {
// Includes may form a cycle only by mistake; a depth bound keeps such a scene countable.
constexpr int kMaxDepth = 256;
} // namespace

void HModelInfo::ComputeModelInfo(HBaseView* view)
{
    ComputeModelInfo(view ? view->GetSceneKey() : -1);
}

void HModelInfo::ComputeModelInfo(HC_KEY segment)
{
    *this = HModelInfo();
    if (segment == -1 || HC_Show_Existence_By_Key(segment, "self") == 0)
        return;
    Count(segment, 0);
}

void HModelInfo::Count(HC_KEY segment, int depth)
{
    if (depth > kMaxDepth)
        return;
    ++m_segments;
    std::vector<std::pair<std::string, HC_KEY>> items;
    HC_Open_Segment_By_Key(segment);
    HC_Begin_Contents_Search(".", "segments, includes, geometry");
    std::string type;
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key))
        items.emplace_back(type, key);
    HC_End_Contents_Search();
    HC_Close_Segment();
    for (const auto& [itemType, itemKey] : items) {
        if (itemType == "segment") {
            Count(itemKey, depth + 1);
        } else if (itemType == "include") {
            ++m_includes;
            const HC_KEY included = HC_Show_Include_Segment(itemKey, nullptr);
            if (included != -1)
                Count(included, depth + 1);
        } else if (itemType == "shell") {
            ++m_shells;
            int points = 0, length = 0;
            HC_Show_Shell_Size(itemKey, &points, &length);
            std::vector<int> faces(static_cast<size_t>(length > 0 ? length : 0));
            HC_Show_Shell(itemKey, &points, nullptr, &length, faces.data());
            for (int i = 0; i < length;) {
                const int n = faces[static_cast<size_t>(i)];
                if (n >= 3)
                    m_triangles += n - 2;
                i += 1 + (n < 0 ? -n : n);
            }
        } else if (itemType == "polyline" || itemType == "line") {
            ++m_polylines;
        } else if (itemType == "text") {
            ++m_texts;
        } else if (itemType == "marker") {
            ++m_markers;
        } else if (itemType == "polycylinder" || itemType == "cylinder") {
            ++m_cylinders;
        }
    }
}
