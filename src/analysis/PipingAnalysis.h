// Pipe stress analysis of a piping model: the model's elements and supports become a space
// frame (FrameSolver.h), solved for the load cases of the process-piping code (weight,
// thermal expansion, pressure; operating, sustained and the expansion range), with the code
// stresses against their allowables and the loads on the supports. Formulas and sources:
// docs/analysis.md.
#pragma once

#include "analysis/FrameSolver.h"
#include "host/PipingModel.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ketra::analysis {

// The cases an analysis writes, in this order. Weight and thermal are the basic cases that the
// code combinations are built from; they are written only when asked for.
enum class CaseId { Operating, Sustained, Expansion, Weight, Thermal };

struct CaseChoice {
    std::vector<CaseId> cases{CaseId::Operating, CaseId::Sustained, CaseId::Expansion};
};

// Parses "OPE,SUS,EXP,W,T" (any order, case-insensitive); false with a message naming the
// unknown name.
bool ParseCaseList(const std::string& text, CaseChoice* choice, std::string* error);

struct EndResult {
    Vec6 load{};         // force and moment the element's end exerts on its node, global axes
    double stress = -1;  // the code stress; < 0: none (rigid elements, expansion joints)
    double allowable = 0; // 0: none (operating and basic cases)
};

struct ElementResult {
    int from = 0, to = 0; // model node numbers
    EndResult start, end;
};

struct CaseResult {
    std::string name, kind; // kind as the results file names it
    double frequency = 0;   // modal cases
    std::map<int, Vec6> displacements; // model node -> translation (length) and rotation (rad)
    std::vector<ElementResult> elements;
    std::map<int, Vec6> supports; // model node -> the load its supports take, global axes
};

// The model as a space frame, with what is needed to report on it by the model's numbers.
struct PipingFrame {
    FrameModel frame;          // stiffness, supports and masses, no loads
    std::vector<Vec3> weight;  // per beam: weight per length (global axes)
    int conditions = 1;          // operating conditions (the model's temperature and pressure lists)
    std::vector<std::vector<double>> thermal; // per condition, per beam: free thermal strain
    std::vector<NodalLoad> nodeLoads;    // point masses' weight and applied forces (with weight)
    std::vector<int> supportNode;        // per frame support: its model node
    std::vector<Vec3> supportPreload;    // per frame support: a hanger's installed load on the pipe
    std::map<int, int> nodeOf;           // model node -> frame node
    std::vector<int> frameNodeModel; // frame node -> the model node it stands for (a bend's: its corner)
    bool hasLoad = false;
    std::vector<std::string> warnings; // found while building: walls too thin for their pressure
    std::string unitLength, unitForce, unitMoment, unitStress;

    // Per model element (in model order): its beams, first to last, and how its stresses are
    // worked out (filled by BuildFrame; used by Analyse).
    struct Station {
        int beam = 0;
        bool atB = false; // the beam's b end
        double inPlane = 1, outOfPlane = 1; // stress intensification factors
        Vec3 planeNormal{};                 // the fitting's plane; zero: none
    };
    struct Part {
        int from = 0, to = 0;
        bool stressed = true;
        double od = 0, wall = 0, corrodedWall = 0, endOd = 0;
        double pressure = 0; // the highest of `pressures`: the sustained case's
        std::vector<double> pressures; // per operating condition
        double allowableCold = 0, allowableHot = 0, rangeFactor = 1;
        double millTolerance = 0; // percent
        Station start;
        std::vector<Station> endStations; // the end's stress is the worst of these
        Station endLoad;                  // where the end's forces are taken
    };
    std::vector<Part> parts;
};

struct FrameBuild {
    bool ok = false;
    std::string error; // "FILE:LINE:COLUMN: what" where the model gives a place
    PipingFrame piping;
};

// Builds the frame of `model`; `name` is the model file as messages name it. Refuses a model
// that lacks data the analysis needs, naming the first element or support that lacks it.
FrameBuild BuildFrame(const host::PipingModel& model, const std::string& name);

struct AnalysisResult {
    bool ok = false;
    std::string error;
    std::vector<std::string> warnings; // one-way supports that chatter, and the like
    std::vector<CaseResult> cases;
};

// Solves the chosen cases. `progress` (may be empty) hears (done, total) after each solve.
AnalysisResult Analyse(const PipingFrame& piping, const CaseChoice& choice,
                       const std::function<void(int, int)>& progress = {});

// A mode shape as a modal case ("Mode N", kind "modal").
CaseResult ModalCase(const PipingFrame& piping, int index, double frequency, const std::vector<Vec6>& shape);

// The `ketra-results/1` file (docs/results-format.md) of `cases`.
std::string ResultsJson(const PipingFrame& piping, const std::vector<CaseResult>& cases,
                        const std::string& program, const std::string& modelName);

} // namespace ketra::analysis
