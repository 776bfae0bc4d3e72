#pragma once
// Records in which the view keeps shell arrays and heap blocks that outlive the builder
// call that made them. Header-only: the view extension (HBaseViewEx) holds lists of these.

#include <string>
#include <utility>

class HPoint;

/// One shared shell whose arrays the component keeps for reuse (the restraint and rigid
/// symbol caches file their shells here).
///
/// Ownership: the record never frees its arrays. They belong to the view's shell cache, which
/// frees `faces` and `points` of every entry when the view is reset. Builders allocate them
/// with `new int[faceListLength]` and `new HPoint[pointCount]`, so the cache releases them with
/// `delete[]`. Copying a record copies the pointers (no deep copy).
struct SHELLS {
    long key = -1;              ///< key of the shell in the scene; -1 when none
    int* faces = nullptr;       ///< face list (graphics-system format), faceListLength ints
    HPoint* points = nullptr;   ///< pointCount points
    int faceListLength = 0;     ///< number of ints in faces
    int pointCount = 0;         ///< number of points
    int kind = 4013;            ///< 4013 after construction; rigid symbols store 4015, restraints 4016
    std::string name;           ///< segment name under which the shared shell is filed

    SHELLS() = default;
    SHELLS(const SHELLS&) = default;

    /// Copies every field from `source` (arrays by pointer). The source is taken by value and
    /// the result is 0, as hosts that assign records expect.
    int operator=(SHELLS source)
    {
        key = source.key;
        faces = source.faces;
        points = source.points;
        faceListLength = source.faceListLength;
        pointCount = source.pointCount;
        kind = source.kind;
        name = std::move(source.name);
        return 0;
    }
};

/// One heap block that a symbol builder hands over to the view. The view keeps a list of these
/// and, when it is reset, frees every non-null block with `delete[]` (blocks are allocated with
/// `new HPoint[count]`). Copying copies the pointer.
struct POINTLIST {
    HPoint* points = nullptr;
};
