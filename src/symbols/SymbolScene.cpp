#include "symbols/SymbolScene.h"

#include "geometry/GeometryConstants.h"
#include "geometry/ShellMerge.h"
#include "platform/hc/HcStrings.h"
#include "view/HBaseViewEx.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ketra::symbols {

bool AllFinite(std::initializer_list<float> values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

bool ResolutionOk(int res) {
    return res >= 1 && res <= kMaxFacets;
}

bool SegmentIsOpen() {
    return HC_KShow_Open_Segment() != -1;
}

long InsertCoarseLevel(const ShellData& coarse, int level) {
    const long key = HC_Insert_Shell(0, nullptr, 0, nullptr);
    if (key == -1) {
        return -1;
    }
    HC_Open_Geometry(key);
    HC_Open_LOD(level);
    HC_Insert_Shell(coarse.PointCount(), coarse.points.data(), coarse.FaceListLength(),
                    coarse.faces.data());
    HC_Close_LOD();
    HC_Close_Geometry();
    return key;
}

namespace {

bool IsSegmentKey(long key) {
    if (key == -1 || HC_Show_Existence_By_Key(key, "self") == 0) {
        return false;
    }
    return HC_Show_Key_Type(key) == "segment";
}

} // namespace

void TransformBySegment(long segment, ShellData& shell) {
    if (!IsSegmentKey(segment) || shell.PointCount() == 0) {
        return;
    }
    float matrix[16];
    HC_PShow_Net_Modelling_Matrix(1, &segment, matrix);
    HC_Compute_Transformed_Points(shell.PointCount(), shell.points.data(), matrix,
                                  shell.points.data());
}

void ApplyPlacementRotation(const CVector3D& element, float x, float y, float z) {
    const float theta = element.GetTheta();
    if (theta == 180.0f) {
        HC_Rotate_Object_Offaxis(0, 1, 0, -theta);
    } else if (element.GetNormalX() != 0.0f || element.GetNormalY() != 0.0f ||
               element.GetNormalZ() != 0.0f) {
        HC_Rotate_Object_Offaxis(element.GetNormalX(), element.GetNormalY(),
                                 element.GetNormalZ(), -theta);
    }
    HC_Translate_Object(x, y, z);
}

void DeleteKeyIfPresent(long key) {
    if (key != -1 && HC_Show_Existence_By_Key(key, "self") != 0) {
        HC_Delete_By_Key(key);
    }
}

void DeleteSegmentIfPresent(const char* path) {
    if (HC_QShow_Existence(path, "self") != 0) {
        HC_Delete_Segment(path);
    }
}

long FindShellInSegment(const std::string& path) {
    if (HC_QShow_Existence(path.c_str(), "self") == 0) {
        return -1;
    }
    long found = -1;
    const std::string spec = path + "/...";
    HC_Begin_Contents_Search(spec.c_str(), "shells");
    std::string type;
    long key = -1;
    if (HC_Find_Contents(type, &key)) {
        found = key;
    }
    HC_End_Contents_Search();
    return found;
}

long FindCachedShell(HBaseViewEx* view, const std::string& name) {
    if (view == nullptr) {
        return FindShellInSegment(name);
    }
    for (const SHELLS& record : view->GetShellCache()) {
        if (record.name == name && IsShellKey(record.key)) {
            return record.key;
        }
    }
    return -1;
}

void FileInShellCache(HBaseViewEx* view, long key, const ShellData& shape, int kind,
                      const std::string& name) {
    if (view == nullptr || key == -1) {
        return;
    }
    SHELLS record;
    record.key = key;
    record.pointCount = shape.PointCount();
    record.faceListLength = shape.FaceListLength();
    record.points = new HPoint[record.pointCount];
    std::memcpy(static_cast<void*>(record.points), shape.points.data(),
                shape.points.size() * sizeof(float));
    record.faces = new int[record.faceListLength];
    std::copy(shape.faces.begin(), shape.faces.end(), record.faces);
    record.kind = kind;
    record.name = name;
    view->GetShellCache().push_back(record);
}

} // namespace ketra::symbols
