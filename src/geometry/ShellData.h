#pragma once
// A shell held in memory: points as packed x, y, z floats and a face list in the graphics
// system's format (per face a vertex count, then that many zero-based point indices; a negative
// count starts a hole in the previous face). The builders compute their shells here and insert
// the finished result into the scene in one call.

#include <vector>

struct ShellData {
    std::vector<float> points; ///< 3 floats per point
    std::vector<int> faces;    ///< face list

    int PointCount() const { return static_cast<int>(points.size() / 3); }
    int FaceListLength() const { return static_cast<int>(faces.size()); }
    void Clear()
    {
        points.clear();
        faces.clear();
    }
    void AddPoint(float x, float y, float z)
    {
        points.push_back(x);
        points.push_back(y);
        points.push_back(z);
    }
    /// True when every coordinate is finite.
    bool IsFinite() const;
};

/// Appends shell b to shell a: b's points follow a's, and b's face list follows a's with every
/// vertex index raised by a's point count while every vertex-count entry (holes included) is
/// copied unchanged. A count of 0 is copied and the walk goes on with the next entry; a face
/// whose indices run past the end of b's list keeps only the indices that exist.
void AppendShellData(ShellData& a, const ShellData& b);
