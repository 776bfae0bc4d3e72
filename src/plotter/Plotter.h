// Draws a piping model through the component the way a host program does: it starts the
// component (settings, plot properties, a view and its styles), draws every element into its
// own segment under "/include library/halden/<kind>" with the builder for that element,
// registers every key in an element registry, and fits the camera. One Plotter per process
// at a time: the scene graph is global.
#pragma once

#include "host/PipingModel.h"
#include "model/HElementCollection.h"
#include "plotter/ElementInfo.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

class HBaseModel;
class HMyBaseView;
class HOpConfig;

namespace ketra::plotter {

// The element kinds, each drawn under its own include-library segment.
enum class Kind { Pipes, Bends, Restraints, Hangers, Anchors, Rigids, Structures, ExpansionJoints, Tees };

// Segment name of a kind under "/include library/halden" ("pipes", "expansion joints", ...).
const char* KindSegmentName(Kind kind);
// Style segment of a kind ("/Style Library/Pipes", ...).
const char* KindStyleName(Kind kind);
// Parses a kind as written on the command line: the segment name, with '-' or '_' for
// blanks ("expansion-joints"), case-insensitive. False for anything else.
bool ParseKind(const std::string& text, Kind* kind);

struct PlotOptions {
    std::string configFile;   // plot-properties file; empty: the user's default file
    // HOpConfig config type: a piping host's input plot (2), as every ketra command and the
    // viewer draw, so one model with one settings store looks the same everywhere.
    int configType = 2;
    int facets = 20;          // pipe facets at full detail
};

struct PlotStats {
    std::map<Kind, int> counts;          // segments drawn per kind
    double bboxMin[3] = {0, 0, 0};
    double bboxMax[3] = {0, 0, 0};
    bool hasBox = false;
};

class Plotter {
public:
    Plotter();
    ~Plotter();
    Plotter(const Plotter&) = delete;
    Plotter& operator=(const Plotter&) = delete;

    // Starts the component: loads settings, opens the plot properties, makes a headless
    // view, runs its Init and fills the style segments. False with a message on failure.
    bool Start(const PlotOptions& options, std::string* error);

    // Draws the model (after Start). `progress(done, total)` is called as elements are drawn.
    // Returns what was drawn.
    PlotStats Draw(const host::PipingModel& model,
                   const std::function<void(long, long)>& progress = {});

    // Shows or hides a kind of element: hiding sets "everything=off" on its segment,
    // showing removes that segment's own visibility.
    void SetVisible(Kind kind, bool visible);
    void Hide(Kind kind) { SetVisible(kind, false); }
    bool IsVisible(Kind kind) const;

    HMyBaseView& View();
    HBaseModel& Model();
    // The plot properties the plotter started with (for the Options dialog).
    HOpConfig& Config();
    HElementCollection& Registry() { return m_registry; }

    // The model drawn last; null before Draw (and for a plotter that shows a scene file).
    const host::PipingModel* DrawnModel() const;
    // What the model holds for the element or support drawn in the segment of `key` (the
    // segment itself or anything inside it), with the extra-lines provider's lines. False
    // when `key` belongs to nothing drawn from the model (or is stale).
    bool Describe(long key, ElementInfo* info) const;
    // Lines other modules add to every description (results); an empty function removes
    // them. It is called on the UI thread whenever a description is made.
    void SetExtraInfoLines(ExtraInfoLines provider);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    HElementCollection m_registry;
};

} // namespace ketra::plotter
