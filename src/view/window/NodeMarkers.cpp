#include "view/window/NodeMarkers.h"

#include "platform/hc/hc.h"
#include "platform/hc/HcStrings.h"

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ketra::view {
namespace {

using Point = std::array<float, 3>;

// Points of the coarsest level of detail of `shell` (none when it has no levels).
std::vector<Point> CoarsestPoints(HC_KEY shell) {
    std::vector<Point> points;
    HC_Open_Geometry(shell);
    for (int level = 7; level >= 1 && points.empty(); --level) {
        HC_Open_LOD(level);
        std::vector<HC_KEY> shells;
        HC_Begin_Contents_Search(".", "shells");
        std::string type;
        HC_KEY key = -1;
        while (HC_Find_Contents(type, &key))
            shells.push_back(key);
        HC_End_Contents_Search();
        for (HC_KEY coarse : shells) {
            int count = 0, faces = 0;
            HC_Show_Shell_Size(coarse, &count, &faces);
            if (count <= 0)
                continue;
            const size_t first = points.size();
            points.resize(first + static_cast<size_t>(count));
            HC_Show_Shell(coarse, &count, points.data() + first, nullptr, nullptr);
        }
        HC_Close_LOD();
    }
    HC_Close_Geometry();
    return points;
}

HC_KEY OwnerOf(HC_KEY key) {
    std::string path;
    return HC_Show_Owner_By_Key(key, path);
}

} // namespace

int AddNodeMarkers(const char* library, float size) {
    if (!library || HC_QShow_Existence(library, "self") <= 0)
        return 0;
    // Shells by the segment that holds them; segments already marked are skipped.
    std::map<HC_KEY, std::vector<HC_KEY>> shellsByOwner;
    std::set<HC_KEY> marked;
    HC_Open_Segment(library);
    HC_Begin_Contents_Search("...", "shells, segments");
    std::string type;
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key)) {
        if (type == "shell") {
            shellsByOwner[OwnerOf(key)].push_back(key);
        } else if (type == "segment") {
            if (HC_Show_Segment_Name(key) == kNodeMarkersSegment)
                marked.insert(OwnerOf(key));
        }
    }
    HC_End_Contents_Search();
    HC_Close_Segment();

    int added = 0;
    for (const auto& [owner, shells] : shellsByOwner) {
        if (marked.count(owner))
            continue;
        std::set<Point> points;
        for (HC_KEY shell : shells)
            for (const Point& p : CoarsestPoints(shell))
                points.insert(p);
        if (points.empty())
            continue;
        HC_Open_Segment_By_Key(owner);
        HC_Open_Segment(kNodeMarkersSegment);
        HC_Set_Selectability("everything = off");
        HC_Set_Marker_Size(size);
        HC_Set_Rendering_Options("depth range = (0, 0.1)");
        for (const Point& p : points)
            HC_Insert_Marker(p[0], p[1], p[2]);
        HC_Close_Segment();
        HC_Close_Segment();
        added += static_cast<int>(points.size());
    }
    return added;
}

} // namespace ketra::view
