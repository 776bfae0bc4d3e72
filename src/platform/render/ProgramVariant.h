// Which compiled program draws a batch. The surface, line and marker programs are compiled per
// variant, with what a batch needs fixed at compile time: a software rasterizer runs every
// vertex and fragment through the program, so a clip plane, a lighting loop or a texture
// lookup a batch does not use costs it on every one of them. The general variant decides all
// of it by uniforms at run time (one program for everything; the pictures the variants must
// match).
#pragma once

#include <cstdint>
#include <string>

namespace ketra::render {

enum class ProgramKind : std::uint8_t { Surface, Line, Marker };

struct ProgramVariant {
    ProgramKind kind = ProgramKind::Surface;
    bool general = false;          // everything below decided by uniforms (the fields are then unused)
    std::uint8_t clipPlanes = 0;   // planes that cut alone, as clip distances (0 to 8)
    bool cutTogether = false;      // planes that cut only together, tested per fragment
    // Surfaces only.
    bool textured = false;         // the texture replaces the diffuse colour
    bool lit = false;              // false: faces take their colour unshaded
    bool flat = false;             // lit: one normal per triangle
    bool perspective = false;      // lit: the eye is a point, not a direction
    bool specular = false;         // lit: a highlight (gloss above 0)
    std::uint8_t lights = 0;       // lit: how many lights (1 to 8)
    bool batchColor = false;       // one colour for the whole batch, from a uniform

    bool operator==(const ProgramVariant&) const = default;
    // Tells variants apart (equal keys, equal variants).
    std::uint32_t Key() const;
    // The GLSL definitions that make the program this variant.
    std::string Defines() const;
    // For logs and tests: "surface clip=1 lit=2 flat".
    std::string Name() const;
};

struct Frame;
struct Layer;
struct SurfaceState;

// A line or marker program for what clip set `clipSet` of the layer holds (-1: none).
ProgramVariant ClipVariant(ProgramKind kind, const Layer& layer, int clipSet);
// The surface program for faces of state `s` in frame `f`: textured or not, and whether they
// write colour (faces that only hide do not, and take the plainest program that clips alike).
ProgramVariant SurfaceVariant(const Frame& f, const SurfaceState& s, bool textured, bool colorWritten);

} // namespace ketra::render
