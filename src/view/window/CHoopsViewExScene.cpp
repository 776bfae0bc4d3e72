// Scene commands of the view window: element kinds, Gouraud shading, translucency,
// plant-design parts and cutting planes.
#include "view/window/CHoopsViewEx.h"

#include "config/HOpConfig.h"
#include "platform/hc/HcStrings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HObjectManager.h"
#include "platform/mvo/HOpMoveHandle.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/mvo/HUtility.h"
#include "view/HBaseViewEx.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <strings.h>
#include <vector>

namespace {

// The nine segments the "On" toggle hides and shows, in the order it visits them.
constexpr const char* kAllKindSegments[] = {
    "/include library/halden/restraints", "/include library/halden/rigids",
    "/include library/halden/hangers",    "/include library/halden/pipes",
    "/include library/halden/bends",      "/include library/halden/anchors",
    "/include library/halden/structures", "/include library/halden/expansion joints",
    "/include library/halden/tees",
};

// The style segments Translucent Objects changes, in this order.
constexpr const char* kTranslucentStyles[] = {
    "/Style Library/Pipes",           "/Style Library/Hangers",
    "/Style Library/hangersCNode",    "/Style Library/hangersNoCN",
    "/Style Library/Restraints",      "/Style Library/restraintsCNode",
    "/Style Library/restraintsNoCN",  "/Style Library/Anchors",
    "/Style Library/anchorsCNode",    "/Style Library/anchorsNoCN",
    "/Style Library/Expansion Joints", "/Style Library/Structure",
    "/Style Library/bends",           "/Style Library/rigids",
    "/Style Library/flanges",         "/Style Library/nozlims",
    "/Style Library/nozzles",         "/Style Library/tees",
};

constexpr const char* kHiddenPartOption = "Drafton Hidden Part";

bool KeyValid(HC_KEY key)
{
    return key != -1 && key != 0 && HC_Show_Existence_By_Key(key, "self") > 0;
}

bool IsSegment(HC_KEY key)
{
    return strcasecmp(HC_Show_Key_Type(key).c_str(), "segment") == 0;
}

// True when `path` names `ancestor` or a segment below it (names compare without case).
bool IsPathAtOrBelow(const std::string& path, const std::string& ancestor)
{
    return path.size() >= ancestor.size() &&
           strncasecmp(path.c_str(), ancestor.c_str(), ancestor.size()) == 0 &&
           (path.size() == ancestor.size() || path[ancestor.size()] == '/');
}

// The last name of a segment's path.
std::string SegmentName(HC_KEY key)
{
    return HC_Show_Segment_Name(key);
}

// Every segment below `root` (any depth) whose name begins with "lines".
void CollectLineSegments(HC_KEY root, std::vector<HC_KEY>& out)
{
    std::vector<HC_KEY> children;
    HC_Open_Segment_By_Key(root);
    HC_Begin_Contents_Search(".", "segments");
    std::string type;
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key))
        children.push_back(key);
    HC_End_Contents_Search();
    HC_Close_Segment();
    for (HC_KEY child : children) {
        if (strncasecmp(SegmentName(child).c_str(), "lines", 5) == 0)
            out.push_back(child);
        CollectLineSegments(child, out);
    }
}

HC_KEY SegmentKey(const char* path)
{
    HC_Open_Segment(path);
    const HC_KEY key = HC_KShow_Open_Segment();
    HC_Close_Segment();
    return key;
}

// Marks a plant part hidden.
void HidePart(HC_KEY segment)
{
    HC_Open_Segment_By_Key(segment);
    HC_Set_User_Options("Drafton Hidden Part = on");
    HC_Set_Visibility("everything = off");
    HC_Close_Segment();
}

// Reads "R=a G=b B=c" into three numbers (0 for a missing channel).
void ParseRgb(const std::string& text, float rgb[3])
{
    const char* tags[3] = {"R=", "G=", "B="};
    for (int i = 0; i < 3; ++i) {
        rgb[i] = 0.0f;
        size_t at = std::string::npos;
        for (size_t p = text.find(tags[i]); p != std::string::npos; p = text.find(tags[i], p + 1)) {
            at = p;
            break;
        }
        if (at == std::string::npos) {
            // Lower-case spellings ("r=0.5 g=0.5 b=0.5").
            std::string lower = tags[i];
            lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
            at = text.find(lower);
        }
        if (at != std::string::npos)
            rgb[i] = static_cast<float>(std::atof(text.c_str() + at + 2));
    }
}

} // namespace

// --- element kinds

bool CHoopsViewEx::ElementKindShown(const char* segment)
{
    return HC_QShow_Existence(segment, "visibility") == 0;
}

void CHoopsViewEx::ToggleElementKind(const char* segment)
{
    if (!segment)
        return;
    HC_Open_Segment(segment);
    if (HC_Show_Existence("visibility") == 0)
        HC_Set_Visibility("everything=off");
    else
        HC_UnSet_Visibility();
    HC_Close_Segment();
    if (m_pHView)
        m_pHView->Update();
}

void CHoopsViewEx::OnVisibilityAll()
{
    for (const char* segment : kAllKindSegments) {
        HC_Open_Segment(segment);
        if (m_allKindsShown)
            HC_Set_Visibility("everything=off");
        else if (HC_Show_Existence("visibility") > 0)
            HC_UnSet_Visibility();
        HC_Close_Segment();
    }
    m_allKindsShown = !m_allKindsShown;
    if (m_pHView)
        m_pHView->Update();
}

// --- Gouraud shading

void CHoopsViewEx::OnGouraudShading()
{
    if (!m_pHViewEx)
        return;
    HBaseViewEx& view = *m_pHViewEx;
    const HC_KEY model = view.GetModelKey();

    // 1. Line segments (centre lines and the like) show everything but markers and edges.
    std::vector<HC_KEY> lineSegments;
    CollectLineSegments(model, lineSegments);
    CollectLineSegments(SegmentKey("/include library"), lineSegments);
    char visibility[128];
    std::snprintf(visibility, sizeof visibility, "everything=%s,markers=off,edges=off", "on");
    for (HC_KEY segment : std::set<HC_KEY>(lineSegments.begin(), lineSegments.end()))
        SetVisibilityOnSegment(segment, visibility);

    // 2. The model segment shows the element library and nothing else. Its modelling matrix
    // (a Y-up model's turn) and the view's legend segment stay: the view keeps the legend's
    // key.
    HC_Open_Segment_By_Key(model);
    float matrix[16];
    const bool hasMatrix = HC_Show_Existence("modelling matrix") > 0;
    if (hasMatrix)
        HC_Show_Modelling_Matrix(matrix);
    std::vector<HC_KEY> subsegments;
    HC_Begin_Contents_Search(".", "segments");
    std::string type;
    HC_KEY key = -1;
    while (HC_Find_Contents(type, &key))
        if (key != view.GetLegendKey())
            subsegments.push_back(key);
    HC_End_Contents_Search();
    // Includes of anything outside the element library stay: a scene file shown in the view
    // is included here, and flushing it would empty the view.
    std::vector<HC_KEY> kept;
    HC_Begin_Contents_Search(".", "includes");
    while (HC_Find_Contents(type, &key)) {
        std::string target;
        const HC_KEY included = HC_Show_Include_Segment(key, target);
        if (included != -1 && !IsPathAtOrBelow(target, "/include library/halden"))
            kept.push_back(included);
    }
    HC_End_Contents_Search();
    for (HC_KEY segment : subsegments)
        HC_Delete_By_Key(segment);
    HC_Flush_Contents(".", "geometry, includes, styles, attributes");
    if (hasMatrix)
        HC_Set_Modelling_Matrix(matrix);
    HC_Include_Segment("/include library/halden");
    for (HC_KEY segment : kept)
        HC_Include_Segment_By_Key(segment);
    HC_Close_Segment();

    // 3. and 4.
    view.RenderGouraud();
    HC_Open_Segment_By_Key(model);
    HC_Open_Segment("LineView");
    HC_Set_Visibility("edges=off, lines=off");
    HC_Close_Segment();
    HC_Set_Visibility("lines=off,edges=off,faces=on,lights=on");
    HC_Close_Segment();
    m_facesShown = true;
    m_edgesShown = false;
    m_fastPrint = true;

    // 5. The axis triad, only while the corner triad is shown: on a hidden triad the letters
    // alone would come back, floating without their axes.
    const AxisMode axis = view.GetAxisMode();
    if (axis == AxisOn || axis == AxisOnAndCenter) {
        HC_Open_Segment_By_Key(view.GetTriadKey());
        HC_Set_Visibility("text=on,faces=on,edges=off,lights=on");
        HC_Close_Segment();
    }
    view.Update();
}

void CHoopsViewEx::SetVisibilityOnSegment(long segment, const char* visibility)
{
    if (!KeyValid(segment))
        return;
    HC_Open_Segment_By_Key(segment);
    HC_Set_Visibility(visibility);
    HC_Close_Segment();
}

// --- translucency

bool CHoopsViewEx::StylesAreTranslucent()
{
    // The pipe style's faces transmission decides for all eighteen styles.
    std::string transmission;
    HC_Open_Segment("/Style Library/Pipes");
    if (HC_Show_Existence("color") > 0) {
        const std::string text = HC_Show_Color();
        const size_t faces = text.find("faces=");
        const size_t at = text.find("transmission=", faces == std::string::npos ? 0 : faces);
        if (at != std::string::npos) {
            transmission = text.substr(at + 13);
            // The transmission value ends at the next channel or component.
            const size_t end = transmission.find_first_of(",)");
            if (end != std::string::npos)
                transmission.resize(end);
        }
    }
    HC_Close_Segment();
    if (transmission.empty())
        return false;
    // Named colours ("black", "gray") are resolved by the scene graph in a scratch segment.
    HC_Open_Segment("/include library/DoubleDummy");
    HC_Set_Color(("faces=(transmission=" + transmission + ")").c_str());
    const std::string value = HC_Show_One_Color("faces=transmission");
    HC_Close_Segment();
    HC_Delete_Segment("/include library/DoubleDummy");
    float rgb[3];
    ParseRgb(value, rgb);
    return rgb[0] > 0.0f || rgb[1] > 0.0f || rgb[2] > 0.0f;
}

void CHoopsViewEx::OnTranslucentObjects()
{
    char color[256];
    bool lock = false;
    if (!StylesAreTranslucent()) {
        const float percent = GetPlotConfig().GetInvisiblePercent();
        std::snprintf(color, sizeof color, "faces=(transmission=(r=%f g=%f b=%f))", percent,
                      percent, percent);
        lock = true;
    } else {
        std::snprintf(color, sizeof color, "faces=(transmission=black)");
    }
    for (const char* style : kTranslucentStyles) {
        HC_Open_Segment(style);
        HC_Set_Color(color);
        if (lock)
            HC_Set_Rendering_Options("attribute lock = (color = (faces = transmission))");
        else if (HC_Show_Existence("rendering options = attribute lock") > 0)
            HC_UnSet_One_Rendering_Option("attribute lock");
        HC_Close_Segment();
    }
    if (m_pHView)
        m_pHView->Update();
}

// --- plant-design parts

void CHoopsViewEx::HideSelectedDraftonParts()
{
    if (!m_pHView || !m_pHView->GetSelection())
        return;
    HSelectionSet& selection = *m_pHView->GetSelection();
    if (selection.GetSize() == 0)
        return;
    m_plantPartHidden = 1;
    const HC_KEY plant = HUtility::SegmentExists(kPlantSegment) ? SegmentKey(kPlantSegment) : -1;
    for (unsigned int i = 0; i < selection.GetSize(); ++i) {
        const HC_KEY item = selection.GetAt(i);
        if (!KeyValid(item))
            continue;
        // Our host's meaning beside the plant-design parts: a selected element of the plot (an
        // object segment of kind "Element", as the plotter draws them) is hidden as a part is,
        // and Show All brings it back.
        const HC_KEY element = HObjectManager::FindHObjectSegment(item);
        if (element != -1 && HObjectManager::GetHObjectKind(element) == kElementObjectKind) {
            HidePart(element);
            continue;
        }
        if (plant == -1)
            continue;
        const std::vector<HC_KEY> includes = selection.GetIncludePath(i);
        std::vector<HC_KEY> path(includes.size() + 2, -1);
        int pathCount = static_cast<int>(path.size());
        // Parts are reached through an include of a segment at or below the plant segment,
        // or lie below it themselves (the model segment includes the whole library).
        bool below =
            HUtility::BuildIncludePath(item, includes.data(), static_cast<int>(includes.size()),
                                       path.data(), &pathCount, plant);
        if (!below) {
            for (HC_KEY owner = HUtility::GrabSegment(item); owner != -1 && KeyValid(owner);
                 owner = HC_KShow_Owner_By_Key(owner)) {
                if (owner == plant) {
                    below = true;
                    break;
                }
            }
        }
        if (!below)
            continue;
        HC_KEY segment = item;
        if (!IsSegment(item)) {
            segment = HC_KShow_Owner_By_Key(item);
            if (selection.IsSelected(segment))
                segment = HC_KShow_Owner_By_Key(segment);
        }
        if (KeyValid(segment))
            HidePart(segment);
    }
    selection.DeSelectAll();
    m_pHView->Update();
}

void CHoopsViewEx::HideLocalElement(CPoint point)
{
    if (!m_pHView)
        return;
    HEventInfo located(m_pHView);
    located.SetPixelPoint(HE_MouseMove, point.x, point.y, 0);
    const HPoint window = located.GetMouseWindowPos();
    HC_KEY segment = -1;
    HC_Open_Segment_By_Key(m_pHView->GetViewKey());
    if (HC_Compute_Selection(".", "./scene", "v", window.x, window.y) > 0) {
        HC_KEY item = -1;
        int o1 = 0, o2 = 0, o3 = 0;
        HC_Show_Selection_Element(&item, &o1, &o2, &o3);
        if (KeyValid(item))
            segment = IsSegment(item) ? item : HC_KShow_Owner_By_Key(item);
    }
    HC_Close_Segment();
    if (KeyValid(segment)) {
        HidePart(segment);
        m_pHView->Update();
    }
}

void CHoopsViewEx::UnhideDraftonSegment(long key)
{
    m_plantPartHidden = 1;
    // Includes may form cycles (a part library including its assembly); each segment is
    // visited once.
    std::set<HC_KEY> visited;
    std::vector<HC_KEY> pending{key};
    while (!pending.empty()) {
        const HC_KEY segment = pending.back();
        pending.pop_back();
        if (!KeyValid(segment) || !IsSegment(segment) || !visited.insert(segment).second)
            continue;
        HC_Open_Segment_By_Key(segment);
        if (HC_Show_Existence("user option = Drafton Hidden Part") > 0) {
            if (HC_Show_Existence("visibility") > 0)
                HC_UnSet_Visibility();
            HC_UnSet_One_User_Option(kHiddenPartOption);
        }
        std::vector<HC_KEY> next;
        HC_Begin_Contents_Search(".", "segments, includes");
        std::string type;
        HC_KEY found = -1;
        while (HC_Find_Contents(type, &found)) {
            if (strcasecmp(type.c_str(), "include") == 0)
                next.push_back(HC_Show_Include_Segment(found, nullptr));
            else
                next.push_back(found);
        }
        HC_End_Contents_Search();
        HC_Close_Segment();
        // Depth first in the order found.
        pending.insert(pending.end(), next.rbegin(), next.rend());
    }
}

void CHoopsViewEx::ShowAllDraftonParts()
{
    if (!m_pHView)
        return;
    if (HUtility::SegmentExists(kPlantSegment))
        UnhideDraftonSegment(SegmentKey(kPlantSegment));
    else
        m_plantPartHidden = 1;
    // Elements hidden by Hide Selected lie anywhere in the drawn library.
    if (HUtility::SegmentExists(kLibrarySegment))
        UnhideDraftonSegment(SegmentKey(kLibrarySegment));
    // Our host's meaning of Show All: every element kind comes back as well, whether hidden
    // one by one or all at once by On, so nothing hidden is out of reach of this one command.
    for (const char* segment : kAllKindSegments) {
        if (!HUtility::SegmentExists(segment))
            continue;
        HC_Open_Segment(segment);
        if (HC_Show_Existence("visibility") > 0)
            HC_UnSet_Visibility();
        HC_Close_Segment();
    }
    m_allKindsShown = true;
    m_pHView->Update();
}

// --- cutting planes

void CHoopsViewEx::OnInsertCuttingPlane()
{
    if (!m_pHView)
        return;
    LocalSetOperator(CreateOperator(42807));
    HUtilityGeometryCreation::CreateCuttingPlane(m_pHView);
    HOpMoveHandle::SetupObject(m_pHView->GetCuttingPlanesKey(), m_pHView, false, 1.0f);
    m_cuttingPlanesExist = true;
    m_pHView->Update();
}

void CHoopsViewEx::OnDeleteCuttingPlane()
{
    if (!m_pHView)
        return;
    for (HC_KEY segment : {m_pHView->GetCuttingPlaneGeomKey(), m_pHView->GetCuttingPlanesKey()}) {
        if (!KeyValid(segment))
            continue;
        HC_Open_Segment_By_Key(segment);
        HC_Flush_Contents(".", "everything");
        HC_Close_Segment();
    }
    m_cuttingPlanesExist = false;
    m_pHView->Update();
}

void CHoopsViewEx::OnCuttingPlaneX()
{
    if (!m_pHView || !KeyValid(m_pHView->GetCuttingPlanesKey()))
        return;
    HC_Open_Segment_By_Key(m_pHView->GetCuttingPlanesKey());
    const bool exists = HUtility::SegmentExists("threesection");
    if (exists)
        HC_Delete_Segment("threesection");
    HC_Close_Segment();
    if (!exists) {
        HUtilityGeometryCreation::CreateThreeSidedSection(m_pHView);
        m_cuttingPlanesExist = true;
    }
    m_pHView->Update();
}
