// Node markers: what the Markers toggle shows in every render mode. Each element shell with
// levels of detail gets, in a subsegment "node markers" of the segment holding it, one marker
// at each point of its coarsest level (a pipe's centre line: its two nodes; a bend's arc).
// Living beside the element's geometry, the markers take the element style's marker colour
// and symbol and its modelling matrix; the scene's "markers" visibility shows or hides them.
// They are drawn in front of the faces (a centre line's points lie inside the pipe), at the
// size the caller gives, and are not selectable.
#pragma once

typedef long HC_KEY;

namespace ketra::view {

inline constexpr const char* kNodeMarkersSegment = "node markers";

// Adds the markers below `library` (a segment path) where they are missing; segments that
// already hold "node markers" are left as they are. `size` is the markers' HC marker size.
// Returns the number of markers added.
int AddNodeMarkers(const char* library, float size);

} // namespace ketra::view
