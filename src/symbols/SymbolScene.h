// Scene helpers of the symbol builder: argument checks, coarse levels, the named shape caches
// and the deletion of scratch keys and segments without tripping the error handler.
#pragma once

#include "geometry/CVector3D.h"
#include "geometry/ShellData.h"

#include <initializer_list>
#include <string>

class HBaseViewEx;

namespace ketra::symbols {

// True when every value is finite.
bool AllFinite(std::initializer_list<float> values);

// A level of detail or facet count the symbol builders accept: 2 (the coarse line symbol) or
// a facet count from 1 to the geometry kernel's limit.
bool ResolutionOk(int res);

// True when a segment is open to draw into.
bool SegmentIsOpen();

// Inserts an empty shell into the open segment and `coarse` as its level `level`. Returns the
// empty shell's key.
long InsertCoarseLevel(const ShellData& coarse, int level);

// Points of `shell` carried by the net modelling transform of segment `segment` (object to
// world). Nothing happens when segment is not a segment key.
void TransformBySegment(long segment, ShellData& shell);

// Composes onto the open segment the rotation of the element placement rule for `element`
// (a half turn about Y when theta is exactly 180, else -theta about its normal when that is
// not zero), then the translation by (x, y, z).
void ApplyPlacementRotation(const CVector3D& element, float x, float y, float z);

// Deletes a key when it still names something (no error otherwise).
void DeleteKeyIfPresent(long key);
// Deletes the segment at `path` (relative to the open segment, or absolute) when it exists.
void DeleteSegmentIfPresent(const char* path);

// The first shell in the segment at `path` or below it; -1 when the segment or shell is
// missing.
long FindShellInSegment(const std::string& path);

// A cached shape filed under `name`: the first record of the view's shell cache with this
// name whose key is still a shell, else (and without a view) the first shell in the segment
// `name`. -1 when there is none.
long FindCachedShell(HBaseViewEx* view, const std::string& name);

// Appends a SHELLS record (copies of the arrays, allocated as the view's cache frees them)
// for `key` to the view's shell cache. Nothing without a view.
void FileInShellCache(HBaseViewEx* view, long key, const ShellData& shape, int kind,
                      const std::string& name);

} // namespace ketra::symbols
