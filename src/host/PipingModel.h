// A piping model as the host reads it from a model file (docs/model-format.md): nodes,
// elements written as deltas from their "from" node, and the supports, components and
// steel members that stand on them. Loading validates everything; a model that fails to
// load is never partly drawn.
#pragma once

#include "host/JsonDocument.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ketra::host {

using Vec3 = std::array<double, 3>;

enum class Units { Inches, Millimetres };
enum class UpAxis { Z, Y }; // the world is Z-up; Y selects the alternate vertical axis

struct ExpansionJoint {
    // Zero convolutions: a plain bellows drawn from the pipe diameter. Otherwise the
    // pressure-vessel bellows with its profile parameters.
    int convolutions = 0;
    double rootRadius = 0, crestRadius = 0, knuckleRadius = 0;
    double firstOffset = 0, rootPitch = 0, crestWidth = 0;
};

// A pipe material for analysis, in the model's unit system (docs/model-format.md).
struct Material {
    double youngs = 0;  // elastic modulus E
    double poisson = 0.3;
    // Thermal expansion: a mean coefficient per degree, or a table of mean coefficients from
    // `expansionReference` to each temperature (temperature, coefficient), ascending.
    std::optional<double> expansion;
    std::vector<std::array<double, 2>> expansionTable;
    double expansionReference = 0;
    double density = 0;                         // of the metal
    double allowableCold = 0, allowableHot = 0; // code allowables S_c and S_h (0: not given)
    double rangeFactor = 1;                     // the stress range factor f
    SourcePosition position;
};

struct Insulation {
    double thickness = 0, density = 0;
};

// An expansion joint's stiffnesses (force per length, moment per radian). Lateral and torsion
// are optional (0: not given).
struct JointStiffness {
    double axial = 0, lateral = 0, bending = 0, torsion = 0;
};

struct Element {
    int from = 0, to = 0;
    Vec3 delta{};
    double od = 0;   // outer diameter
    double wall = 0; // wall thickness (0: not given)
    std::optional<double> bendRadius; // the element ends at a bend's corner node
    std::optional<double> reducerOd;  // outer diameter at the "to" end of a reducer
    bool rigid = false;
    std::optional<ExpansionJoint> expansionJoint;
    // Analysis data; all but `weight` and `jointStiffness` carry forward like `od`.
    int material = -1; // index into PipingModel::materials; -1: none
    double corrosion = 0;     // corrosion allowance
    double millTolerance = 0; // percent of the wall
    std::optional<double> temperature; // operating (the first condition's); none: installed
    double pressure = 0;               // the first operating condition's
    // One value per operating condition where the file gives lists (two or more values, the
    // same count throughout the model); empty: `temperature` and `pressure` hold in every one.
    std::vector<double> temperatures, pressures;
    double contents = 0; // density of the contents
    Insulation insulation;
    std::optional<double> weight; // a rigid element's own weight
    std::optional<JointStiffness> jointStiffness;
    SourcePosition position;
};

enum class RestraintKind { Arrow, Rod };

struct Restraint {
    int node = 0;
    int direction = 0;        // symbol direction 1..6 (+X:4? see format doc); 0 with cosines
    std::string cosines;      // "x, y, z" direction cosines, or empty
    bool stiff = false;       // a spring (stiffness given) rather than rigid
    bool setOff = false;      // set off from the pipe surface
    double rodLength = 0;     // > 0 draws a rod restraint
    std::optional<double> rate; // a spring's rate (force per length)
    bool oneWay = false;        // only pushes the pipe along its direction
    SourcePosition position;
};

struct Hanger {
    int node = 0;
    bool can = false; // can (support) spring below the pipe instead of a hanger above
    SourcePosition position;
    std::optional<double> rate, coldLoad; // spring rate and the load it carries as installed
};

struct NodeItem {
    int node = 0;
    SourcePosition position;
};

// A force and moment applied at a node (a sustained load for analysis).
struct NodalForce {
    int node = 0;
    Vec3 force{}, moment{};
    SourcePosition position;
};

struct PointMass {
    int node = 0;
    double mass = 0; // lb or kg
    SourcePosition position;
};

enum class SteelSection { Channel, WideFlange, Angle, Tee, Box };

struct SteelMember {
    SteelSection section = SteelSection::Channel;
    Vec3 from{}, to{};
    std::array<double, 4> dims{}; // section dimensions s1..s4 (box uses s1, s2)
    double turn = 0;              // degrees about the member axis
    SourcePosition position;
};

struct PipingModel {
    std::string title;
    Units units = Units::Inches;
    UpAxis up = UpAxis::Z;
    double symbolScale = 1.0;
    // Where the node co-ordinates are measured from: a node's position in the plant is its
    // co-ordinates plus the origin. Readers of plant files with large co-ordinates re-centre
    // them here so that drawing in single precision loses nothing.
    Vec3 origin{};
    bool symbolScaleChosen = false; // the file gave none: ChooseSymbolScale picked it
    std::map<int, Vec3> nodes; // every node's coordinates, after resolving deltas
    std::vector<Element> elements;
    std::vector<Restraint> restraints;
    std::vector<Hanger> hangers;
    std::vector<NodeItem> anchors, nozzles, flanges, tees;
    std::vector<SteelMember> steel;
    // Analysis data (docs/model-format.md); none of it changes the drawing.
    std::vector<Material> materials;
    std::optional<double> installedTemperature;
    std::vector<PointMass> masses;
    std::vector<NodalForce> forces;

    // The elements that end or start at a node, in file order. Uses an index that is
    // rebuilt when the element list has grown or shrunk since the last call.
    std::vector<const Element*> ElementsAt(int node) const;
    // The first element, in file order, that starts at `node`; null when none.
    const Element* FirstFrom(int node) const;

private:
    void Reindex() const;
    mutable std::map<int, std::vector<std::size_t>> m_atNode;   // node -> element indices
    mutable std::map<int, std::size_t> m_firstFrom;             // node -> first element starting there
    mutable std::size_t m_indexed = static_cast<std::size_t>(-1);
    mutable const Element* m_indexedData = nullptr;
};

struct LoadResult {
    bool ok = false;
    PipingModel model;
    std::string error; // "file:line:column: what"
};

// Reads and validates a model file. `name` is used in messages (the path as given).
// The scene stores coordinates as floats: a node beyond this (or not finite) would be drawn
// nowhere, so models refuse it.
inline constexpr double kMaxCoordinate = 1e9;
// True when every coordinate of `p` is finite and within kMaxCoordinate.
bool UsableCoordinates(const Vec3& p);
// "(x, y, z)" as messages write a point.
std::string FormatPoint(const Vec3& p);

LoadResult LoadPipingModel(const std::string& path);
LoadResult ParsePipingModel(const std::string& text, const std::string& name);

} // namespace ketra::host
