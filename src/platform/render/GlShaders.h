// GLSL 3.30 core sources of the renderer's programs.
#pragma once

namespace ketra::render::shaders {

// The surface, line and marker sources follow the definitions of their variant
// (ProgramVariant::Defines: the version line, then KETRA_* constants or, for the general
// program, expressions of uniforms). Conditions on constants fold away when compiled, and
// with them the inputs and outputs only they read.

// Clip planes shared by the programs: up to 8 world-space planes; a point is kept where
// a*x + b*y + c*z + d <= 0 (the positive side is cut away).
#define KETRA_CLIP_DECL \
    "uniform vec4 uClip[8];\n" \
    "#if KETRA_CLIP_PLANES > 0\n" \
    "out float gl_ClipDistance[KETRA_CLIP_PLANES];\n" \
    "#endif\n"
#define KETRA_CLIP_WRITE(world) \
    "#if KETRA_CLIP_PLANES > 0\n" \
    "  for (int i = 0; i < KETRA_CLIP_PLANES; ++i) gl_ClipDistance[i] = i < KETRA_CLIP_COUNT ? -dot(uClip[i], vec4(" world ", 1.0)) : 1.0;\n" \
    "#endif\n"
// Planes that cut only together (a three-sided section): up to 8, ordered by group; a point
// is cut away where every plane of one group is positive.
#define KETRA_CUT_TOGETHER_DECL \
    "uniform vec4 uClipAnd[8];\n" \
    "uniform int uClipAndGroup[8];\n" \
    "uniform int uClipAndCount;\n" \
    "bool ketraCutTogether(vec3 w) {\n" \
    "  if (!KETRA_CUT_TOGETHER || uClipAndCount <= 0) return false;\n" \
    "  bool all = true;\n" \
    "  int group = uClipAndGroup[0];\n" \
    "  for (int i = 0; i < 8; ++i) {\n" \
    "    if (i >= uClipAndCount) break;\n" \
    "    if (uClipAndGroup[i] != group) { if (all) return true; all = true; group = uClipAndGroup[i]; }\n" \
    "    if (dot(uClipAnd[i], vec4(w, 1.0)) <= 0.0) all = false;\n" \
    "  }\n" \
    "  return all;\n" \
    "}\n"

inline const char* kSurfaceVertex =
    "layout(location = 0) in vec3 aPosition;\n"
    "layout(location = 1) in vec4 aNormal;\n"
    "layout(location = 2) in vec4 aColor;\n"
    "layout(location = 3) in vec2 aUv;\n"  // textured items only
    "uniform mat4 uWorldToClip;\n"
    "uniform mat3 uWorldToEye;\n"
    "uniform mat4 uWorldToEye4;\n"
    KETRA_CLIP_DECL
    "out vec3 vNormal;\n"
    "out vec3 vEye;\n"
    "out vec4 vColor;\n"
    "out vec3 vWorld;\n"
    "out vec2 vUv;\n"
    "void main() {\n"
    "  gl_Position = vec4(aPosition, 1.0) * uWorldToClip;\n"
    "  vWorld = aPosition;\n"
    "  vUv = aUv;\n"
    "  vEye = (vec4(aPosition, 1.0) * uWorldToEye4).xyz;\n"
    "  vNormal = aNormal.xyz * uWorldToEye;\n"
    "  vColor = aColor;\n"
    KETRA_CLIP_WRITE("aPosition")
    "}\n";

inline const char* kSurfaceFragment =
    "in vec3 vNormal;\n"
    "in vec3 vEye;\n"
    "in vec4 vColor;\n"
    "in vec3 vWorld;\n"
    "in vec2 vUv;\n"
    "uniform sampler2D uTexture;\n"
    KETRA_CUT_TOGETHER_DECL
    "uniform vec3 uLightDir[8];\n"  // towards the light, eye space
    "uniform vec3 uLightColor[8];\n"
    "uniform vec3 uSpecular;\n"
    "uniform float uAlpha;\n"
    "uniform vec4 uBatchColor;\n"
    "out vec4 fragColor;\n"
    "void main() {\n"
    "  if (ketraCutTogether(vWorld)) discard;\n"
    "  vec3 base = KETRA_TEXTURED ? texture(uTexture, vUv).rgb : KETRA_BATCH_COLOR ? uBatchColor.rgb : vColor.rgb;\n"
    "  if (!KETRA_LIT) { fragColor = vec4(base, uAlpha); return; }\n"
    "  vec3 n = KETRA_FLAT ? cross(dFdx(vEye), dFdy(vEye)) : vNormal;\n"
    "  n = length(n) > 0.0 ? normalize(n) : vec3(0.0, 0.0, -1.0);\n"
    "  vec3 toEye = KETRA_PERSPECTIVE ? normalize(-vEye) : vec3(0.0, 0.0, -1.0);\n"
    "  if (dot(n, toEye) < 0.0) n = -n;\n"  // both sides lit
    "  vec3 color = 0.25 * base;\n"
    "  for (int i = 0; i < 8; ++i) {\n"
    "    if (i >= KETRA_LIGHTS) break;\n"
    "    float d = max(dot(n, uLightDir[i]), 0.0);\n"
    "    color += base * uLightColor[i] * d * 0.8;\n"
    "    if (d > 0.0 && KETRA_SPECULAR) {\n"
    "      vec3 h = normalize(uLightDir[i] + toEye);\n"
    "      color += uSpecular * uLightColor[i] * pow(max(dot(n, h), 0.0), uGloss) * 0.35;\n"
    "    }\n"
    "  }\n"
    "  fragColor = vec4(min(color, vec3(1.0)), uAlpha);\n"
    "}\n";

// Lines and edges: each primitive is a line with adjacency (a, b, c, d). c and d are a
// vertex of the face on either side; c == a or d == a marks a side without a face.
inline const char* kLineVertex =
    "layout(location = 0) in vec3 aPosition;\n"
    "layout(location = 2) in vec4 aColor;\n"
    "out vec3 gWorld;\n"
    "out vec4 gColor;\n"
    "void main() { gWorld = aPosition; gColor = aColor; }\n";

inline const char* kLineGeometry =
    "layout(lines_adjacency) in;\n"
    "layout(triangle_strip, max_vertices = 4) out;\n"
    "in vec3 gWorld[];\n"
    "in vec4 gColor[];\n"
    "uniform mat4 uWorldToClip;\n"
    "uniform vec2 uViewport;\n"
    "uniform float uWeight;\n"
    "uniform int uSilhouetteOnly;\n"
    "uniform float uCreaseCos;\n"
    KETRA_CLIP_DECL
    "noperspective out float vDistance;\n"
    "out vec4 vColor;\n"
    "out vec3 vWorld;\n"
    "void emit(vec4 clip, vec2 offsetPixels, vec3 world, float distance) {\n"
    "  gl_Position = clip + vec4(offsetPixels * 2.0 / uViewport * clip.w, 0.0, 0.0);\n"
    "  vDistance = distance;\n"
    "  vWorld = world;\n"
    "  vColor = gColor[0];\n"
    KETRA_CLIP_WRITE("world")
    "  EmitVertex();\n"
    "}\n"
    "void main() {\n"
    "  vec3 a = gWorld[0], b = gWorld[1], c = gWorld[2], d = gWorld[3];\n"
    "  vec4 pa = vec4(a, 1.0) * uWorldToClip;\n"
    "  vec4 pb = vec4(b, 1.0) * uWorldToClip;\n"
    "  if (pa.w <= 0.0 || pb.w <= 0.0) return;\n"
    "  bool open = c == a || d == a;\n"
    "  if (uSilhouetteOnly != 0 && !open) {\n"
    "    vec4 pc = vec4(c, 1.0) * uWorldToClip;\n"
    "    vec4 pd = vec4(d, 1.0) * uWorldToClip;\n"
    // In pixels: how far each side's face reaches beyond the edge on screen. Both on one
    // side make a silhouette; so does a face seen edge-on (under half a pixel wide), whose
    // side is a matter of rounding: it lies on the outline.
    "    vec2 hv = uViewport * 0.5;\n"
    "    vec2 sa = pa.xy / pa.w * hv, sb = pb.xy / pb.w * hv;\n"
    "    vec2 e = sb - sa;\n"
    "    float el = max(length(e), 1e-6);\n"
    "    float sc = (e.x * (pc.y / pc.w * hv.y - sa.y) - e.y * (pc.x / pc.w * hv.x - sa.x)) / el;\n"
    "    float sd = (e.x * (pd.y / pd.w * hv.y - sa.y) - e.y * (pd.x / pd.w * hv.x - sa.x)) / el;\n"
    "    bool edgeOn = abs(sc) < 0.5 || abs(sd) < 0.5;\n"
    "    vec3 n1 = cross(b - a, c - a), n2 = cross(b - a, d - a);\n"
    "    bool crease = length(n1) > 0.0 && length(n2) > 0.0 &&\n"
    "                  dot(normalize(n1), -normalize(n2)) < uCreaseCos;\n"
    "    if (!(sc * sd > 0.0) && !edgeOn && !crease) return;\n"
    "  }\n"
    "  vec2 sa = pa.xy / pa.w * uViewport * 0.5;\n"
    "  vec2 sb = pb.xy / pb.w * uViewport * 0.5;\n"
    "  vec2 dir = sb - sa;\n"
    "  float len = length(dir);\n"
    "  dir = len > 0.0 ? dir / len : vec2(1.0, 0.0);\n"
    "  vec2 side = vec2(-dir.y, dir.x) * (max(uWeight, 1.0) * 0.5 + 0.25);\n"
    "  emit(pa, side, a, 0.0);\n"
    "  emit(pa, -side, a, 0.0);\n"
    "  emit(pb, side, b, len);\n"
    "  emit(pb, -side, b, len);\n"
    "  EndPrimitive();\n"
    "}\n";

inline const char* kLineFragment =
    "noperspective in float vDistance;\n"
    "in vec4 vColor;\n"
    "in vec3 vWorld;\n"
    "uniform int uPattern;\n"   // 16-bit mask, bit 0 first
    "uniform float uPatternScale;\n"
    KETRA_CUT_TOGETHER_DECL
    "out vec4 fragColor;\n"
    "void main() {\n"
    "  if (ketraCutTogether(vWorld)) discard;\n"
    "  if (uPattern != 0xFFFF) {\n"
    "    int bit = int(mod(floor(vDistance / (uPatternScale * 2.0)), 16.0));\n"
    "    if (((uPattern >> bit) & 1) == 0) discard;\n"
    "  }\n"
    "  fragColor = vec4(vColor.rgb, 1.0);\n"
    "}\n";

// Markers: a point expanded into a square of uSize pixels; the symbol is drawn by distance.
inline const char* kMarkerVertex =
    "layout(location = 0) in vec3 aPosition;\n"
    "layout(location = 2) in vec4 aColor;\n"
    "layout(location = 3) in vec2 aSymbolSize;\n"
    "out vec3 gWorld;\n"
    "out vec4 gColor;\n"
    "out vec2 gSymbolSize;\n"
    "void main() { gWorld = aPosition; gColor = aColor; gSymbolSize = aSymbolSize; }\n";

inline const char* kMarkerGeometry =
    "layout(points) in;\n"
    "layout(triangle_strip, max_vertices = 4) out;\n"
    "in vec3 gWorld[];\n"
    "in vec4 gColor[];\n"
    "in vec2 gSymbolSize[];\n"
    "uniform mat4 uWorldToClip;\n"
    "uniform vec2 uViewport;\n"
    KETRA_CLIP_DECL
    "out vec2 vLocal;\n"
    "out vec4 vColor;\n"
    "flat out int vSymbol;\n"
    "flat out float vSize;\n"
    KETRA_CUT_TOGETHER_DECL
    "void main() {\n"
    "  vec4 p = vec4(gWorld[0], 1.0) * uWorldToClip;\n"
    "  if (p.w <= 0.0 || ketraCutTogether(gWorld[0])) return;\n"
    "  float halfSize = gSymbolSize[0].y * 0.5 + 1.0;\n"
    "  for (int k = 0; k < 4; ++k) {\n"
    "    vec2 corner = vec2(k == 1 || k == 3 ? 1.0 : -1.0, k >= 2 ? 1.0 : -1.0);\n"
    "    gl_Position = p + vec4(corner * halfSize * 2.0 / uViewport * p.w, 0.0, 0.0);\n"
    "    vLocal = corner * halfSize;\n"
    "    vColor = gColor[0];\n"
    "    vSymbol = int(gSymbolSize[0].x + 0.5);\n"
    "    vSize = gSymbolSize[0].y;\n"
    KETRA_CLIP_WRITE("gWorld[0]")
    "    EmitVertex();\n"
    "  }\n"
    "  EndPrimitive();\n"
    "}\n";

inline const char* kMarkerFragment =
    "in vec2 vLocal;\n"     // pixels from the centre
    "in vec4 vColor;\n"
    "flat in int vSymbol;\n"
    "flat in float vSize;\n"
    "out vec4 fragColor;\n"
    "void main() {\n"
    "  float r = vSize * 0.5;\n"
    "  float t = 0.75;\n"   // half a stroke, pixels
    "  float d = length(vLocal);\n"
    "  float ax = abs(vLocal.x), ay = abs(vLocal.y);\n"
    "  bool inside = false;\n"
    "  bool withinBox = ax <= r && ay <= r;\n"
    "  float diag1 = abs(vLocal.x - vLocal.y) * 0.70710678, diag2 = abs(vLocal.x + vLocal.y) * 0.70710678;\n"
    "  if (vSymbol == 0) inside = abs(d - (r - t)) <= t || d <= max(r * 0.25, 1.0);\n"
    "  else if (vSymbol == 1) inside = withinBox && (ax <= t || ay <= t);\n"
    "  else if (vSymbol == 2) inside = d <= max(r * 0.35, 1.0);\n"
    "  else if (vSymbol == 3) inside = withinBox && (diag1 <= t || diag2 <= t);\n"
    "  else if (vSymbol == 4) inside = withinBox && (ax <= t || ay <= t || diag1 <= t || diag2 <= t);\n"
    "  else if (vSymbol == 5) inside = abs(d - (r - t)) <= t;\n"
    "  else if (vSymbol == 6) inside = d <= r;\n"
    "  else if (vSymbol == 7) inside = withinBox && (ax >= r - 2.0 * t || ay >= r - 2.0 * t);\n"
    "  else if (vSymbol == 8) inside = ax + ay <= r && ax + ay >= r - 2.0 * t * 1.41421356;\n"
    "  if (!inside) discard;\n"
    "  fragColor = vec4(vColor.rgb, 1.0);\n"
    "}\n";

// Background: one triangle covering the viewport, colour blended from top to bottom.
inline const char* kBackgroundVertex =
    "#version 330 core\n"
    "out float vT;\n"
    "void main() {\n"
    "  vec2 p = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);\n"
    "  vT = (p.y + 1.0) * 0.5;\n"
    "  gl_Position = vec4(p, 1.0, 1.0);\n"
    "}\n";

inline const char* kBackgroundFragment =
    "#version 330 core\n"
    "in float vT;\n"
    "uniform vec3 uTop;\n"
    "uniform vec3 uBottom;\n"
    "out vec4 fragColor;\n"
    "void main() { fragColor = vec4(mix(uBottom, uTop, clamp(vT, 0.0, 1.0)), 1.0); }\n";

// Text: quads in pixels (origin bottom-left) with a depth, sampling a coverage atlas.
inline const char* kTextVertex =
    "#version 330 core\n"
    "layout(location = 0) in vec3 aPixel;\n"  // x, y pixels; z window depth 0..1
    "layout(location = 1) in vec2 aUv;\n"
    "layout(location = 2) in vec4 aColor;\n"
    "uniform vec2 uViewport;\n"
    "out vec2 vUv;\n"
    "out vec4 vColor;\n"
    "void main() {\n"
    "  gl_Position = vec4(aPixel.xy / uViewport * 2.0 - 1.0, aPixel.z * 2.0 - 1.0, 1.0);\n"
    "  vUv = aUv;\n"
    "  vColor = aColor;\n"
    "}\n";

inline const char* kTextFragment =
    "#version 330 core\n"
    "in vec2 vUv;\n"
    "in vec4 vColor;\n"
    "uniform sampler2D uAtlas;\n"
    "uniform int uSolid;\n"  // 0 glyph coverage, 1 plain fill (callback polygons), 2 RGBA image
    "out vec4 fragColor;\n"
    "void main() {\n"
    "  if (uSolid == 2) { vec4 c = texture(uAtlas, vUv); if (c.a <= 0.0) discard; fragColor = c; return; }\n"
    "  float coverage = uSolid != 0 ? 1.0 : texture(uAtlas, vUv).r;\n"
    "  if (coverage <= 0.0) discard;\n"
    "  fragColor = vec4(vColor.rgb, coverage);\n"
    "}\n";

#undef KETRA_CLIP_DECL
#undef KETRA_CLIP_WRITE
#undef KETRA_CUT_TOGETHER_DECL

} // namespace ketra::render::shaders
