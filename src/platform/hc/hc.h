// hc.h — the C-style interface of Ketra's retained scene graph.
//
// A host builds and queries a scene with this header alone: no view, window or
// renderer is needed. Every call works on one process-wide graph and is
// single-threaded by contract (call from one thread only).
//
// Conventions shared by every call
// --------------------------------
// * Keys (HC_KEY) are signed values that fit 32 bits. Keys the graph hands out
//   ("original keys") are negative, never 0 or -1, never reused in a process and
//   looked up in O(1). -1 means "none". HC_Renumber_Key gives an item a user key
//   (>= 0) in addition; calls that report keys report the user key when there is one.
// * Points are arrays of x, y, z floats passed as `const void*` / `void*`; an
//   array of HPoint or of float[3] converts. Matrices are 16 floats, row-major,
//   row-vector convention (point x matrix, translation in the last row).
// * Counts are int; booleans are bool; scalar inputs are double.
// * Strings are 8-bit, zero-terminated. Segment names are case-insensitive.
//   Option strings are case-insensitive comma-separated `name = value` lists;
//   blanks around names and values are ignored; `no name` means name = off;
//   values may be parenthesised lists; `on!` marks a forced/locked value.
// * Output strings (`char* value`) are written zero-terminated; the caller
//   supplies a buffer large enough for the result (4096 bytes covers every
//   attribute string; use the *_Length calls for user text of unknown size).
//   Output pointers that are null are an error unless documented as optional.
// * Misuse — an unknown, stale or foreign key, a malformed option string, a null
//   pointer, a negative count, a face list indexing past its points, closing with
//   nothing open, unbalanced geometry/LOD opens — goes to the error handler, has
//   no effect and returns a defined value (-1 for keys, 0/false for counts and
//   queries, an empty string for text). No input may crash the process.
//
// Paths
// -----
//   "/a/b" absolute; "a/b" relative to the open segment (to "/" when none is
//   open); "." the open segment; ".." its owner; "" (only in HC_Open_Segment and
//   HC_Create_Segment) a new nameless subsegment; "@<key>" (decimal) names a
//   nameless subsegment by its key, which is how nameless segments appear in
//   path names. Aliases: "?Style Library" = "/style library", "?Include Library"
//   = "/include library", "?User Library" = "/user library", "?Picture" = the
//   current view's driver segment (default "/driver/opengl/window0"); more with
//   HC_Define_Alias. In flush and search specs a trailing "..." means the segment
//   and everything below it, and "*" matches any one name.
#pragma once

#ifdef __cplusplus
#include <cstddef>
extern "C" {
#else
#include <stdbool.h>
#include <stddef.h>
#endif

typedef long HC_KEY;

// ---------------------------------------------------------------------------
// Errors and system options
// ---------------------------------------------------------------------------

// Error categories passed to the handler.
enum {
    HC_ERR_KEY = 1,        // unknown, stale or foreign key; wrong kind of key
    HC_ERR_PATH = 2,       // malformed path, missing segment, bad alias
    HC_ERR_ARGUMENT = 3,   // null pointer, negative count, value out of range
    HC_ERR_OPTION = 4,     // malformed or unknown option string / colour
    HC_ERR_STATE = 5,      // nothing open, unbalanced opens/closes, wrong context
    HC_ERR_GEOMETRY = 6,   // bad face list or geometry data
    HC_ERR_DEFINITION = 7, // unknown definition name (callback, texture, glyph...)
    HC_ERR_FILE = 8,       // file input/output (metafiles)
    HC_ERR_DRIVER = 9      // display and driver problems
};
// Severities.
enum { HC_SEV_INFO = 0, HC_SEV_WARNING = 1, HC_SEV_ERROR = 2, HC_SEV_FATAL = 3 };

// Called for every reported problem. `function` is the HC_* call's name,
// `message` one line describing the problem. Both stay valid only for the call.
typedef void (*HC_ERROR_HANDLER)(int category, int specific, int severity,
                                 const char* function, const char* message);

// Replaces the current handler (the default prints
// "<function>: <message>" as one line on stderr). Null restores the default.
void HC_Define_Error_Handler(HC_ERROR_HANDLER handler);
// Restores the default handler if `handler` is the current one.
void HC_UnDefine_Error_Handler(HC_ERROR_HANDLER handler);
// Reports a problem through the current handler as if an HC_* call had found it.
void HC_Report_Error(int category, int specific, int severity, const char* function,
                     const char* message);

// System options: "errors"/"no errors", "warnings"/"no warnings", "info"/"no info"
// (silence that severity for every handler), "font directory = <path>"; other
// well-formed options are kept and shown back. Applies process-wide.
void HC_Define_System_Options(const char* list);
// Writes the current system options, e.g. "errors,warnings,info".
void HC_Show_System_Options(char* list);

// Deletes every segment, key, definition and search, closes everything, restores
// the default error handler, options and aliases. Keys handed out before stay
// invalid (they are never reused).
void HC_Reset_System(void);

// Aliases: `name` starts with '?' (case-insensitive); `expansion` is a path.
void HC_Define_Alias(const char* name, const char* expansion);
void HC_UnDefine_Alias(const char* name);
// Writes the expansion of alias `name`; empty and an error when undefined.
void HC_Show_Alias(const char* name, char* expansion);

// ---------------------------------------------------------------------------
// Segments
// ---------------------------------------------------------------------------

// Opens (creating when missing) the segment and pushes it on the open stack;
// returns its key. "" opens a new nameless subsegment of the open segment.
HC_KEY HC_Open_Segment(const char* segment);
// Pushes an existing segment by key. A non-segment key is an error.
void HC_Open_Segment_By_Key(HC_KEY key);
// Pops the innermost open segment. An error when none is open or when a
// geometry, face, edge, vertex or LOD is still open above it.
void HC_Close_Segment(void);
// Creates the segment (and missing ancestors) without opening it; returns its key.
HC_KEY HC_Create_Segment(const char* segment);
// Writes the full path name of the open segment ("" and an error when none).
void HC_Show_Open_Segment(char* segment);
// Key of the open segment; -1 when none (no error).
HC_KEY HC_KShow_Open_Segment(void);
// Writes the full path that `pathname` resolves to (aliases, ".", "..",
// relative names expanded), without creating anything.
void HC_Show_Pathname_Expansion(const char* pathname, char* expansion);
// Writes the full path name of a segment key.
void HC_Show_Segment(HC_KEY key, char* pathname);
// Writes the last component of a segment's name ("" for nameless segments).
void HC_Show_Segment_Name(HC_KEY key, char* name);

// Deletes the segment, everything below it, and every include or style that
// references it. Open segments (or segments with an open descendant) are not
// deleted: that is an error.
void HC_Delete_Segment(const char* segment);
// Deletes a segment, geometry item, include or style by key (a segment as with
// HC_Delete_Segment). Deleting a shell deletes its levels of detail.
void HC_Delete_By_Key(HC_KEY key);
// Removes from each segment matched by `segment` (a path, "..." for the subtree)
// the kinds listed in `filter`: "everything", "geometry", "segments" or
// "subsegments", "includes", "styles", "attributes", a geometry kind ("shells",
// "polylines", ...), an attribute name ("color", "user options", "modelling
// matrix", ...), comma-separated. Segments that are open are kept (an error).
void HC_Flush_Contents(const char* segment, const char* filter);
// Renames the segment `old_name` to `new_name` (a name or path in the same or
// another owner; moving into its own subtree is an error). Keys stay valid.
void HC_Rename_Segment(const char* old_name, const char* new_name);
// Moves a geometry item or segment into the segment `new_owner` (a path,
// resolved like HC_Open_Segment's). The key stays valid.
void HC_Move_By_Key(HC_KEY key, const char* new_owner);

// ---------------------------------------------------------------------------
// Includes and styles
// ---------------------------------------------------------------------------

// Makes the segment's contents appear under the open segment (drawn and picked
// there, inheriting the open segment's attributes). Returns the include's key
// (type "include"); the included segment is created when missing.
HC_KEY HC_Include_Segment(const char* segment);
HC_KEY HC_Include_Segment_By_Key(HC_KEY segment);
// Applies the segment's attributes to the open segment (below its own local
// attributes). Returns the style's key (type "style").
HC_KEY HC_Style_Segment(const char* segment);
HC_KEY HC_Style_Segment_By_Key(HC_KEY segment);
// The referenced segment of an include or style key; `pathname` (optional)
// receives its path. -1 and an error for other keys.
HC_KEY HC_Show_Include_Segment(HC_KEY include_key, char* pathname);
HC_KEY HC_Show_Style_Segment(HC_KEY style_key, char* pathname);

// ---------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------

// Writes the key's type: "segment", "include", "style", "shell",
// "polycylinder", "cylinder", "line", "polyline", "marker", "text", "polygon",
// "circle", "ellipse", "elliptical arc", "image", "distant light",
// "cutting plane"; "invalid" (and no error) for unknown or stale keys.
void HC_Show_Key_Type(HC_KEY key, char* type);
// The owning segment of an item or segment; `owner` (optional) receives its path.
// -1 for the root or an unknown key (an error).
HC_KEY HC_Show_Owner_By_Key(HC_KEY key, char* owner);
HC_KEY HC_KShow_Owner_By_Key(HC_KEY key);
// The original (graph-assigned) key of a key; the key itself when not renumbered.
HC_KEY HC_Show_Original_Key(HC_KEY key);
// Gives the item `key` the user key `new_key` (>= 0). `scope` "global": unique in
// the process; "local": unique among the items of its owning segment and
// resolved while that segment is open. Returns new_key, -1 on error.
HC_KEY HC_Renumber_Key(HC_KEY key, HC_KEY new_key, const char* scope);

// Existence queries. `filter` lists what to count: "self" (the key is valid),
// "segments", "includes", "styles", "geometry", a geometry kind, an attribute
// ("color", "visibility", "modelling matrix", "user options", "heuristics",
// "rendering options", "selectability", "line pattern", "line weight",
// "edge weight", "edge pattern", "face pattern", "marker symbol", "marker size",
// "text font", "text alignment", "callback", "handedness", "user index",
// "camera", "window", "driver options"), or one option of a multi-valued
// attribute: "user option = from", "rendering options = lod",
// "heuristics = quick moves", "callback = draw dc polyline". Returns how many
// match in the open segment (HC_Show_Existence), the named segment
// (HC_QShow_Existence; 0 without error when it does not exist) or the keyed
// item (HC_Show_Existence_By_Key; "self" on an unknown key is 0 with no error).
int HC_Show_Existence(const char* filter);
int HC_QShow_Existence(const char* segment, const char* filter);
int HC_Show_Existence_By_Key(HC_KEY key, const char* filter);

// ---------------------------------------------------------------------------
// Contents search (nestable: each Begin pushes a search, End pops it)
// ---------------------------------------------------------------------------

// Starts a search of the segments matched by `segment` ("." the open one, "..."
// the open one and everything below, "/a/b/...", "*" wildcards) for the kinds in
// `filter`: "segments" (subsegments), "includes", "styles", "geometry",
// "shells", "polycylinders", "cylinders", "lines", "polylines", "markers",
// "text", "polygons", "circles", "ellipses", "elliptical arcs", "images",
// "distant lights", "cutting planes", "user options", "attributes",
// "everything". Results are a snapshot taken here, in order: per segment (pre-
// order) its includes, styles, geometry (insertion order), attributes, then its
// subsegments. While a geometry LOD is open, "." names the LOD's contents.
void HC_Begin_Contents_Search(const char* segment, const char* filter);
// Next result: writes its type (as HC_Show_Key_Type; attributes give their name,
// e.g. "user options", with the segment's key) and key. False when exhausted or
// no search is active (the latter an error). Either pointer may be null.
bool HC_Find_Contents(char* type, HC_KEY* key);
// Number of results of the innermost search.
void HC_Show_Contents_Count(int* count);
void HC_End_Contents_Search(void);

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------
// Inserted into the open segment (or, between HC_Open_LOD and HC_Close_LOD, into
// that level of detail of the open geometry); each returns its key, -1 on error.

// Shell: `face_list` holds per face its vertex count then that many zero-based
// point indices; a negative count starts a hole in the previous face; a count of
// 2 is an edge-only face. pcount 0 with null arrays gives an empty shell.
HC_KEY HC_Insert_Shell(int pcount, const void* points, int flist_length, const int* face_list);
void HC_Show_Shell_Size(HC_KEY key, int* pcount, int* flist_length);
// `points` holds 3*pcount floats and `face_list` flist_length ints (from
// HC_Show_Shell_Size). Either array may be null to skip it.
void HC_Show_Shell(HC_KEY key, int* pcount, void* points, int* flist_length, int* face_list);
// Number of faces (positive counts) of a shell.
void HC_Show_Shell_Face_Count(HC_KEY key, int* face_count);

// PolyCylinder: a tube through pcount points; rcount is 1 (one radius) or pcount
// (per point). capping: "both", "none", "first", "second".
HC_KEY HC_Insert_PolyCylinder(int pcount, const void* points, int rcount, const float* radii,
                              const char* capping);
void HC_Show_PolyCylinder_Count(HC_KEY key, int* pcount, int* rcount);
// Any output may be null; `capping` receives one of the capping words.
void HC_Show_PolyCylinder(HC_KEY key, int* pcount, void* points, int* rcount, float* radii,
                          char* capping);

// Cylinder between two centre points; capping as for polycylinders.
HC_KEY HC_Insert_Cylinder(const void* center_point_1, const void* center_point_2, double radius,
                          const char* capping);
void HC_Show_Cylinder(HC_KEY key, void* center_point_1, void* center_point_2, float* radius,
                      char* capping);

HC_KEY HC_Insert_Line(double xa, double ya, double za, double xb, double yb, double zb);
void HC_Show_Line(HC_KEY key, float* xa, float* ya, float* za, float* xb, float* yb, float* zb);

HC_KEY HC_Insert_Polyline(int count, const void* points);
void HC_Show_Polyline_Count(HC_KEY key, int* count);
void HC_Show_Polyline(HC_KEY key, int* count, void* points);

// Ink: appends the point to the open segment's current ink polyline (starting
// one when the segment has none, or when anything else was inserted into it
// since, or after HC_Restart_Ink). Returns the polyline's key.
HC_KEY HC_Insert_Ink(double x, double y, double z);
void HC_Restart_Ink(void);

HC_KEY HC_Insert_Marker(double x, double y, double z);
void HC_Show_Marker(HC_KEY key, float* x, float* y, float* z);

// Text in 8-bit characters.
HC_KEY HC_Insert_Text(double x, double y, double z, const char* text);
// encoding "iso latin one" (8-bit, as HC_Insert_Text) or "unicode" (zero-
// terminated array of unsigned short UTF-16 code units).
HC_KEY HC_Insert_Text_With_Encoding(double x, double y, double z, const char* encoding,
                                    const void* text);
// Number of characters (code units) of the text, excluding the terminator.
void HC_Show_Text_Length(HC_KEY key, int* length);
// `text` receives 8-bit text (unicode text converted to UTF-8).
void HC_Show_Text(HC_KEY key, float* x, float* y, float* z, char* text);
// `encoding` receives "iso latin one" or "unicode"; `text` gets the characters in
// that encoding (unsigned short units for "unicode"). Outputs may be null.
void HC_Show_Text_Encoding(HC_KEY key, char* encoding);
void HC_Show_Text_With_Encoding(HC_KEY key, float* x, float* y, float* z, char* encoding,
                                void* text);
// Replaces the characters of a text item, keeping position and key.
void HC_Edit_Text(HC_KEY key, const char* text);
void HC_Edit_Text_With_Encoding(HC_KEY key, const char* encoding, const void* text);

// Polygon: a closed planar outline of count points.
HC_KEY HC_Insert_Polygon(int count, const void* points);
void HC_Show_Polygon_Count(HC_KEY key, int* count);
void HC_Show_Polygon(HC_KEY key, int* count, void* points);

// Circle through three points; by centre, radius and plane normal.
HC_KEY HC_Insert_Circle(const void* point1, const void* point2, const void* point3);
HC_KEY HC_Insert_Circle_By_Radius(const void* center, double radius, const void* normal);
// Three points on the circle (for a circle given by radius: centre + r*u,
// centre + r*v, centre - r*u for a fixed in-plane basis u, v).
void HC_Show_Circle(HC_KEY key, void* point1, void* point2, void* point3);
void HC_Show_Circle_By_Radius(HC_KEY key, void* center, float* radius, void* normal);

// Ellipse from centre and the ends of its major and minor axes; elliptical arc
// with start and end as fractions (0..1) of the full turn from major toward minor.
HC_KEY HC_Insert_Ellipse(const void* center, const void* major, const void* minor);
HC_KEY HC_Insert_Elliptical_Arc(const void* center, const void* major, const void* minor,
                                double start, double end);
void HC_Show_Ellipse(HC_KEY key, void* center, void* major, void* minor);
void HC_Show_Elliptical_Arc(HC_KEY key, void* center, void* major, void* minor, float* start,
                            float* end);

// Image of width x height pixels centred at (x, y, z). `format` starts with the
// pixel format "rgb" (3 bytes a pixel), "rgba" (4) or "grayscale" (1) and may add
// options: "name = <image name>" (a texture source), "local". Rows go top down.
HC_KEY HC_Insert_Image(double x, double y, double z, const char* format, int width, int height,
                       const void* data);
// `format` receives the pixel format word (plus ", name = ..." when named).
void HC_Show_Image_Size(HC_KEY key, float* x, float* y, float* z, char* format, int* width,
                        int* height);
void HC_Show_Image(HC_KEY key, float* x, float* y, float* z, char* format, int* width,
                   int* height, void* data);
// Replaces a block of pixels (xcount x ycount starting at xoffset, yoffset).
void HC_Edit_Image(HC_KEY key, int xoffset, int yoffset, int xcount, int ycount,
                   const void* data);

// Distant light shining from direction (di, dj, dk) toward the origin.
HC_KEY HC_Insert_Distant_Light(double di, double dj, double dk);
void HC_Show_Distant_Light(HC_KEY key, float* di, float* dj, float* dk);

// Cutting plane a*x + b*y + c*z + d = 0; the side where the value is positive is cut away.
HC_KEY HC_Insert_Cutting_Plane(double a, double b, double c, double d);
void HC_Show_Cutting_Plane(HC_KEY key, float* a, float* b, float* c, float* d);

// ---------------------------------------------------------------------------
// Geometry editing contexts: per-item, per-face, per-edge, per-vertex
// attributes and levels of detail
// ---------------------------------------------------------------------------
// HC_Open_Geometry(key) opens an item of the open segment's tree; attribute
// setters then apply to the item. Within it (shells only):
//   HC_Open_Face(face)     face index in order of the face list (holes excluded);
//   HC_Open_Edge(v1, v2)   the edge between two point indices (either order);
//   HC_Open_Vertex(v)      a point index.
// Colour, visibility and normal setters/showers apply to the open face/edge/
// vertex. HC_Open_LOD(level), level 1..7 (coarser as it rises), makes inserts go
// to that level of the open shell. Every open needs its matching close, in
// order; a mismatched close is an error with no effect.
void HC_Open_Geometry(HC_KEY key);
void HC_Close_Geometry(void);
void HC_Open_Face(int face);
void HC_Close_Face(void);
void HC_Open_Edge(int vertex1, int vertex2);
void HC_Close_Edge(void);
void HC_Open_Vertex(int vertex);
void HC_Close_Vertex(void);
void HC_Open_LOD(int level);
void HC_Close_LOD(void);
// Normal of the open face or vertex.
void HC_Set_Normal(double x, double y, double z);
void HC_UnSet_Normal(void);
void HC_Show_Normal(float* x, float* y, float* z);

// ---------------------------------------------------------------------------
// Attributes of the open segment (or open geometry/face/edge/vertex where noted)
// ---------------------------------------------------------------------------
// For each attribute: Set replaces/merges the local value; UnSet removes it;
// Show writes the local value (empty and an error when not set); Show_Net writes
// the value the open segment inherits through its owners, styles and includes;
// PShow_Net does so along an explicit path: keys[0] is the segment (or an item,
// meaning its owner) and each following key is an include key or an including
// segment through which the previous one is reached, upward to the root.
// count 0 means the open segment and its owners.

// Colour: "red", "bright white", "r=0.5 g=0.2 b=1", "(R=0.5 G=0.2 B=1)",
// channel lists "faces=(diffuse=red,specular=white,transmission=black,gloss=30),
// lines=red,edges=blue,markers=green,text=black,windows=white,
// window contrast=gray". A bare colour sets every geometry channel; names
// without a value take the next item's value ("edges, lines = red"); "diffuse =
// <texture name>" on faces uses a defined texture. Settable on open geometry,
// face, edge and vertex. Show/Show_Net write canonical text:
// "faces=(diffuse=R=1 G=1 B=1,specular=R=0 G=0 B=0),lines=R=1 G=0 B=0".
void HC_Set_Color(const char* color_spec);
void HC_UnSet_Color(void);
void HC_UnSet_One_Color(const char* channel);
void HC_Show_Color(char* color_spec);
// One channel ("faces", "lines", "edges", "markers", "text", "windows",
// "window contrast", "lights", "back", "vertices"; "faces" gives the diffuse
// colour, "faces=specular" a face component).
void HC_Show_One_Color(const char* channel, char* value);
void HC_Show_Net_Color(char* color_spec);
void HC_Show_One_Net_Color(const char* channel, char* value);
void HC_PShow_Net_Color(int count, const HC_KEY* keys, char* color_spec);
void HC_PShow_One_Net_Color(int count, const HC_KEY* keys, const char* channel, char* value);
// Colour by index into the colour map: `types` a channel list ("faces",
// "text, lights", "edges, lines", "geometry", "windows", "window contrast").
void HC_Set_Color_By_Index(const char* types, int index);
// Colour map (comma-separated colours). Default:
// "white, black, red, green, blue, cyan, magenta, yellow".
void HC_Set_Color_Map(const char* colors);
void HC_UnSet_Color_Map(void);
void HC_Show_Color_Map(char* colors);
void HC_Show_Net_Color_Map(char* colors);

// Visibility: "on", "off", "everything=off", "faces=on, edges=off", "lights =
// (faces = on, edges = off, markers = off)", "markers", "lines", "text",
// "images", "windows", "cutting planes", "shadows", "vertices", "geometry".
// Settable on open geometry, face, edge and vertex. Show writes canonical text,
// e.g. "faces=on,edges=off".
void HC_Set_Visibility(const char* list);
void HC_UnSet_Visibility(void);
void HC_UnSet_One_Visibility(const char* which);
void HC_Show_Visibility(char* list);
void HC_Show_One_Visibility(const char* which, char* value);
void HC_Show_Net_Visibility(char* list);
void HC_Show_One_Net_Visibility(const char* which, char* value);
void HC_PShow_Net_Visibility(int count, const HC_KEY* keys, char* list);

// Line and edge patterns: "---" solid, "- -", "-.-.", "-...", "....", "-- --",
// "center", "phantom", "(----)", or a defined line style name.
void HC_Set_Line_Pattern(const char* pattern);
void HC_UnSet_Line_Pattern(void);
void HC_Show_Line_Pattern(char* pattern);
void HC_Show_Net_Line_Pattern(char* pattern);
void HC_PShow_Net_Line_Pattern(int count, const HC_KEY* keys, char* pattern);
void HC_Set_Edge_Pattern(const char* pattern);
void HC_UnSet_Edge_Pattern(void);
void HC_Show_Edge_Pattern(char* pattern);
void HC_Show_Net_Edge_Pattern(char* pattern);
// Face pattern: "solid", "##", "||", "==", "//", "\\\\", "::", "<><>", "[]".
void HC_Set_Face_Pattern(const char* pattern);
void HC_UnSet_Face_Pattern(void);
void HC_Show_Face_Pattern(char* pattern);
void HC_Show_Net_Face_Pattern(char* pattern);

// Weights in pixels (> 0; a negative weight is an error).
void HC_Set_Line_Weight(double weight);
void HC_UnSet_Line_Weight(void);
void HC_Show_Line_Weight(float* weight);
void HC_Show_Net_Line_Weight(float* weight);
void HC_PShow_Net_Line_Weight(int count, const HC_KEY* keys, float* weight);
void HC_Set_Edge_Weight(double weight);
void HC_UnSet_Edge_Weight(void);
void HC_Show_Edge_Weight(float* weight);
void HC_Show_Net_Edge_Weight(float* weight);
void HC_PShow_Net_Edge_Weight(int count, const HC_KEY* keys, float* weight);

// Marker symbol ("(.)", "+", "x", "*", "o", "[]", "<>", "()", "(*)", "(x)",
// "(+)", ".", or a defined glyph name) and size (multiple of the default size).
void HC_Set_Marker_Symbol(const char* symbol);
void HC_UnSet_Marker_Symbol(void);
void HC_Show_Marker_Symbol(char* symbol);
void HC_Show_Net_Marker_Symbol(char* symbol);
void HC_PShow_Net_Marker_Symbol(int count, const HC_KEY* keys, char* symbol);
void HC_Set_Marker_Size(double size);
void HC_UnSet_Marker_Size(void);
void HC_Show_Marker_Size(float* size);
void HC_Show_Net_Marker_Size(float* size);
void HC_PShow_Net_Marker_Size(int count, const HC_KEY* keys, float* size);

// Text font: "name=(Arial,sans serif,system default), transforms=off,
// size=8.0 pts"; options merge one by one with inherited ones.
void HC_Set_Text_Font(const char* options);
void HC_UnSet_Text_Font(void);
void HC_UnSet_One_Text_Font(const char* option);
void HC_Show_Text_Font(char* options);
void HC_Show_One_Text_Font(const char* option, char* value);
void HC_Show_Net_Text_Font(char* options);
void HC_Show_One_Net_Text_Font(const char* option, char* value);
void HC_PShow_Net_Text_Font(int count, const HC_KEY* keys, char* options);
// Text alignment: one or two of "<", ">", "^", "v", "*" (e.g. "**", "<v").
void HC_Set_Text_Alignment(const char* locater);
void HC_UnSet_Text_Alignment(void);
void HC_Show_Text_Alignment(char* locater);
void HC_Show_Net_Text_Alignment(char* locater);
void HC_PShow_Net_Text_Alignment(int count, const HC_KEY* keys, char* locater);

// Rendering options, heuristics and selectability: option lists merged option
// by option ("no lighting" sets lighting = off; a later setting of one option
// replaces only that option). UnSet_One removes one option by name.
// Selectability values: "on" (when visible), "off", "on!" (even when invisible);
// types as for visibility plus "everything", e.g. "everything = off, faces = on".
void HC_Set_Rendering_Options(const char* list);
void HC_UnSet_Rendering_Options(void);
void HC_UnSet_One_Rendering_Option(const char* which);
void HC_Show_Rendering_Options(char* list);
void HC_Show_One_Rendering_Option(const char* which, char* value);
void HC_Show_Net_Rendering_Options(char* list);
void HC_Show_One_Net_Rendering_Option(const char* which, char* value);
void HC_PShow_Net_Rendering_Options(int count, const HC_KEY* keys, char* list);
void HC_PShow_One_Net_Rendering_Option(int count, const HC_KEY* keys, const char* which,
                                       char* value);
void HC_Set_Heuristics(const char* list);
void HC_UnSet_Heuristics(void);
void HC_UnSet_One_Heuristic(const char* which);
void HC_Show_Heuristics(char* list);
void HC_Show_One_Heuristic(const char* which, char* value);
void HC_Show_Net_Heuristics(char* list);
void HC_Show_One_Net_Heuristic(const char* which, char* value);
void HC_PShow_Net_Heuristics(int count, const HC_KEY* keys, char* list);
void HC_Set_Selectability(const char* list);
void HC_UnSet_Selectability(void);
void HC_UnSet_One_Selectability(const char* which);
void HC_Show_Selectability(char* list);
void HC_Show_One_Selectability(const char* which, char* value);
void HC_Show_Net_Selectability(char* list);
void HC_Show_One_Net_Selectability(const char* which, char* value);
void HC_PShow_Net_Selectability(int count, const HC_KEY* keys, char* list);

// Handedness of the world coordinate system: "left" or "right" (default "right").
void HC_Set_Handedness(const char* value);
void HC_UnSet_Handedness(void);
void HC_Show_Handedness(char* value);
void HC_Show_Net_Handedness(char* value);

// Callbacks: "draw dc polyline = ketra_drawline, draw dc marker = ketra_drawmarker".
// The names may be defined with HC_Define_Callback_Name before or after they
// are set; a name still undefined at draw time is ignored by the renderer.
void HC_Set_Callback(const char* callbacks);
void HC_UnSet_Callback(void);
void HC_UnSet_One_Callback(const char* callback_point);
void HC_Show_Callback(char* callbacks);
void HC_Show_One_Callback(const char* callback_point, char* callback_name);
void HC_Show_One_Net_Callback(const char* callback_point, char* callback_name);

// User options: "from = 10, to = 20"; names are case-insensitive, values kept
// as given (parenthesised values keep their parentheses). Set merges by name.
void HC_Set_User_Options(const char* list);
void HC_UnSet_User_Options(void);
void HC_UnSet_One_User_Option(const char* which);
void HC_Show_User_Options(char* list);
void HC_Show_User_Options_Length(int* length);
// Writes the value of one option; "" and an error when it is not set locally.
void HC_Show_One_User_Option(const char* which, char* value);
void HC_Show_One_User_Option_Length(const char* which, int* length);
void HC_Show_Net_User_Options(char* list);
void HC_Show_One_Net_User_Option(const char* which, char* value);
void HC_PShow_One_Net_User_Option(int count, const HC_KEY* keys, const char* which,
                                  char* value);
// User index: integer slots holding a pointer-sized value.
void HC_Set_User_Index(long index, const void* data);
void HC_UnSet_One_User_Index(long index);
// False (no error) when the slot is not set locally; `data` receives the value.
bool HC_Show_One_User_Index(long index, void** data);
bool HC_Show_One_Net_User_Index(long index, void** data);

// Subwindow of the open segment in its parent window's coordinates (-1..1).
void HC_Set_Window(double left, double right, double bottom, double top);
void HC_UnSet_Window(void);
void HC_Show_Window(float* left, float* right, float* bottom, float* top);

// ---------------------------------------------------------------------------
// Modelling transforms (compose onto the open segment's matrix in call order:
// new = old x T, row-vector convention). Rotations are right-handed, in degrees:
// +90 about Z carries +X onto +Y.
// ---------------------------------------------------------------------------
void HC_Set_Modelling_Matrix(const float* matrix);
void HC_Append_Modelling_Matrix(const float* matrix);
void HC_UnSet_Modelling_Matrix(void);
// Local matrix (identity and no error when none is set).
void HC_Show_Modelling_Matrix(float* matrix);
void HC_Show_Net_Modelling_Matrix(float* matrix);
void HC_PShow_Net_Modelling_Matrix(int count, const HC_KEY* keys, float* matrix);
// Rotation about X by theta, then Y by phi, then Z by psi (degrees).
void HC_Rotate_Object(double theta, double phi, double psi);
void HC_Rotate_Object_Offaxis(double x, double y, double z, double degrees);
void HC_Translate_Object(double x, double y, double z);
void HC_Scale_Object(double x, double y, double z);

// ---------------------------------------------------------------------------
// Vector and matrix computations (pure: they touch no segment)
// ---------------------------------------------------------------------------
// Unit vector; false (and out = input) for a zero-length vector.
bool HC_Compute_Normalized_Vector(const void* vector, void* out_vector);
void HC_Compute_Cross_Product(const void* vector1, const void* vector2, void* out_vector);
double HC_Compute_Dot_Product(const void* vector1, const void* vector2);
double HC_Compute_Vector_Length(const void* vector);
// out[i] = in[i] x matrix (with perspective divide when w != 1). in may equal out.
void HC_Compute_Transformed_Points(int count, const void* points, const float* matrix,
                                   void* out_points);
// Normal of a planar polygon (Newell's method), unit length; "right": counter-
// clockwise points give the normal toward the viewer; "left" the opposite.
void HC_Compute_Polygon_Normal(int count, const void* points, const char* handedness,
                               void* out_vector);
// Matrices equal to the corresponding HC_*_Object call on an identity.
void HC_Compute_Offaxis_Rotation(double x, double y, double z, double degrees, float* matrix);
void HC_Compute_Rotation_Matrix(double theta, double phi, double psi, float* matrix);
void HC_Compute_Translation_Matrix(double x, double y, double z, float* matrix);
void HC_Compute_Scale_Matrix(double x, double y, double z, float* matrix);
// out = a x b (apply a first). out may alias a or b.
void HC_Compute_Matrix_Product(const float* a, const float* b, float* out);
// False (out = identity) when the matrix is singular.
bool HC_Compute_Matrix_Inverse(const float* matrix, float* out);
double HC_Compute_Matrix_Determinant(const float* matrix);

// ---------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------
// Callback names. HC_CALLBACK is a generic function pointer; each callback
// point casts it to its own type (see HIC_* below).
typedef void (*HC_CALLBACK)(void);
void HC_Define_Callback_Name(const char* name, HC_CALLBACK callback);
void HC_UnDefine_Callback_Name(const char* name);
// The function of a defined name (null and an error when undefined).
void HC_Show_Callback_Name(const char* name, HC_CALLBACK* callback);
void HC_Begin_Callback_Name_Search(void);
bool HC_Find_Callback_Name(char* name);
void HC_End_Callback_Name_Search(void);

// Glyphs: a name and `data_size` signed bytes in the glyph format (stored
// verbatim; the renderer interprets them).
void HC_Define_Glyph(const char* name, int data_size, const char* data);
void HC_UnDefine_Glyph(const char* name);
void HC_Show_Glyph_Size(const char* name, int* data_size);
void HC_Show_Glyph(const char* name, char* data);
void HC_Begin_Glyph_Search(void);
bool HC_Find_Glyph(char* name);
void HC_End_Glyph_Search(void);

// Line styles: "start cap = <glyph name>, ..." definitions usable as patterns.
void HC_Define_Line_Style(const char* name, const char* definition);
void HC_UnDefine_Line_Style(const char* name);
void HC_Show_Line_Style(const char* name, char* definition);
void HC_Begin_Line_Style_Search(void);
bool HC_Find_Line_Style(char* name);
void HC_End_Line_Style_Search(void);

// Textures: "source = <image name>, parameterization source = cylinder".
// Process-wide names; a name may be redefined (the new definition replaces it).
void HC_Define_Texture(const char* name, const char* definition);
void HC_UnDefine_Texture(const char* name);
void HC_Show_Texture(const char* name, char* definition);
void HC_Begin_Texture_Search(void);
bool HC_Find_Texture(char* name);
void HC_End_Texture_Search(void);

// ---------------------------------------------------------------------------
// Cameras, coordinate spaces, picking, bounds, display and scene files.
// (Implemented by the camera/selection/metafile sources of this folder.)
// ---------------------------------------------------------------------------
// Camera of the open segment. Setters take doubles. Projection: "perspective",
// "orthographic", "stretched". Sign conventions: HC_Orbit_Camera(theta, phi)
// moves the camera about the target, positive theta to the camera's right,
// positive phi up; HC_Pan_Camera(theta, phi) turns the camera about its own
// position, positive theta to the right, positive phi up; HC_Dolly_Camera(right,
// up, in) moves camera and target along the camera's axes; HC_Zoom_Camera(f)
// narrows the field by f (field /= f); HC_Roll_Camera(degrees) turns the up
// vector about the viewing direction.
void HC_Set_Camera_Position(double x, double y, double z);
void HC_Set_Camera_Target(double x, double y, double z);
void HC_Set_Camera_Up_Vector(double x, double y, double z);
void HC_Set_Camera_Field(double width, double height);
void HC_Set_Camera_Projection(const char* projection);
void HC_Set_Camera(const void* position, const void* target, const void* up, double width,
                   double height, const char* projection);
// Camera of the open segment (its net camera when it has none of its own).
void HC_Show_Camera(void* position, void* target, void* up, float* width, float* height,
                    char* projection);
void HC_PShow_Net_Camera(int count, const HC_KEY* keys, void* position, void* target, void* up,
                         float* width, float* height, char* projection);
void HC_Orbit_Camera(double theta, double phi);
void HC_Pan_Camera(double theta, double phi);
void HC_Dolly_Camera(double right, double up, double in);
void HC_Zoom_Camera(double zoom);
void HC_Roll_Camera(double degrees);

// Coordinate spaces ("object" of a segment below a "mask transform" is mapped as
// drawn): "object", "world", "viewpoint", "local window" and "outer
// window" (-1..1, y up), "local pixels" and "outer pixels" (origin at the top-
// left pixel, y down). The segment's net modelling matrix, camera and window
// apply. in_position and out_position may be the same array.
void HC_Compute_Coordinates(const char* segment, const char* in_system, const void* in_position,
                            const char* out_system, void* out_position);
void HC_Compute_Coordinates_By_Path(int count, const HC_KEY* keys, const char* in_system,
                                    const void* in_position, const char* out_system,
                                    void* out_position);
// The matrix taking in_system coordinates to out_system coordinates.
void HC_Compute_Transform(const char* segment, const char* in_system, const char* out_system,
                          float* matrix);
void HC_Compute_Transform_By_Path(int count, const HC_KEY* keys, const char* in_system,
                                  const char* out_system, float* matrix);

// Bounds in the named segment's object coordinates (net transforms below it
// applied); false when there is nothing to bound.
bool HC_Compute_Circumcuboid(const char* segment, void* min, void* max);
bool HC_Compute_Circumcuboid_By_Key(HC_KEY key, void* min, void* max);
bool HC_Compute_Circumsphere(const char* segment, void* center, float* radius);
bool HC_Compute_Circumsphere_By_Key(HC_KEY key, void* center, float* radius);

// Picking. `display` names the driver segment; x, y in local window
// coordinates (-1..1). Returns how many items were found (nearest first).
// Items are hit where they are drawn: through a "mask transform" rendering
// option as the renderer applies it, and text anywhere over its extent.
int HC_Compute_Selection(const char* display, const char* start_segment, const char* action,
                         double x, double y);
int HC_Compute_Selection_By_Area(const char* display, const char* start_segment,
                                 const char* action, double left, double right, double bottom,
                                 double top);
// The current item: its key and offsets (face/vertex/edge indices, -1 when none).
void HC_Show_Selection_Element(HC_KEY* key, int* offset1, int* offset2, int* offset3);
// Length of the current item's path (for sizing the array of HC_Show_Selection_Keys).
void HC_Show_Selection_Keys_Count(int* count);
// The path from the item up through includes to the display segment (item first).
void HC_Show_Selection_Keys(int* count, HC_KEY* keys);
void HC_Show_Selection_Position(float* window_x, float* window_y, float* window_z,
                                float* world_x, float* world_y, float* world_z);
// Advances to the next found item; false when there is none.
bool HC_Find_Related_Selection(void);

// Display: redraw every display segment whose contents changed.
void HC_Update_Display(void);
// "redraw everything", "unset redraw" for the display at or above key.
void HC_Control_Update_By_Key(HC_KEY key, const char* options);
// Driver options of the open (display) segment: "window size = (W pixels, H pixels)".
void HC_Set_Driver_Options(const char* list);
// Device information of a display: "size" ("w, h" centimetres), "pixels"
// ("w, h"), "current window ID".
void HC_Show_Device_Info(const char* driver, const char* item, char* data);

// Scene files: write a segment's subtree as our text metafile; read a text metafile or a
// binary scene stream (.hsf, told apart by its first bytes) into a segment (nothing is
// created when the file is malformed).
void HC_Write_Metafile(const char* segment, const char* file, const char* options);
void HC_Read_Metafile(const char* file, const char* segment, const char* options);

// ---------------------------------------------------------------------------
// Driver-level drawing interface for draw callbacks (implemented by the renderer)
// ---------------------------------------------------------------------------
// A renderer calls a segment's "draw dc polyline" callback with the device-space
// points of each polyline/line it would draw there, and "draw dc marker" with
// each marker's point; the callback draws what it wants with HIC_Draw_DC_*.
// Device coordinates: pixels with the origin at the bottom-left of the window,
// y up; z is depth 0 (near) .. 1 (far).
typedef struct HIC_DC_Point {
    float x, y, z;
} HIC_DC_Point;
// What is being drawn: opaque, valid only during the callback.
typedef struct HIC_Rendition HIC_Rendition;

typedef void (*HIC_Draw_DC_Polyline_Action)(HIC_Rendition const* nr, int count,
                                            HIC_DC_Point const* points);
typedef void (*HIC_Draw_DC_Marker_Action)(HIC_Rendition const* nr, HIC_DC_Point const* point);

void HIC_Draw_DC_Polyline(HIC_Rendition const* nr, int count, HIC_DC_Point const* points);
void HIC_Draw_DC_Polygon(HIC_Rendition const* nr, int count, HIC_DC_Point const* points);
void HIC_Draw_DC_Marker(HIC_Rendition const* nr, HIC_DC_Point const* point);
// Key of the segment whose geometry is being drawn, and of the item.
HC_KEY HIC_Show_Segment_Key(HIC_Rendition const* nr);
HC_KEY HIC_Show_Geometry_Key(HIC_Rendition const* nr);
// Key of the display (driver) segment being drawn.
HC_KEY HIC_Show_Display_Key(HIC_Rendition const* nr);
// Window size in pixels.
void HIC_Show_Window_Size(HIC_Rendition const* nr, int* width, int* height);
// The include path of the segment being drawn, as for the PShow calls (segment
// first, display last); writes at most `capacity` keys, returns the full count.
int HIC_Show_Path(HIC_Rendition const* nr, int capacity, HC_KEY* keys);

#ifdef __cplusplus
}
#endif
