// Our host's meaning of the view window's host hooks for a plotted model. The component leaves
// Properties, Model Info and Find Node to the host and hands the Delete key to the view's
// listeners; for a model drawn by the Plotter:
// - Properties: everything the model holds for each selected element or support (the
//   ElementInfo lines, with the extra-lines provider's), in the panel the host sets
//   (SetPropertiesPanel), else in a message box;
// - Model Info: a message box with the elements per kind, the box and the selection's size;
// - Find Node: asks for a node number (the note-text dialog), selects every element at that
//   node and fits the view to them; a bad number is reported and selects nothing;
// - Delete key: removes the selected elements from the picture and the element registry (the
//   model file is not touched; opening it again brings them back).
#pragma once

#include "plotter/ElementInfo.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CHoopsViewEx;
class HBaseView;

namespace ketra::plotter {

class Plotter;

// The texts and actions behind the commands, usable without a window.
// The information of every selected element, in selection order (at most kMostDescribed;
// selected items drawn from no model element are left out).
inline constexpr std::size_t kMostDescribed = 50;
std::vector<ElementInfo> SelectedInfo(Plotter& plotter);
// The selection as the Properties message box says it: a heading per element and its lines;
// a selection of items drawn from no model element (a saved scene) is counted, never called empty.
std::string DescribeSelection(Plotter& plotter);
// The hover text of what is drawn at device pixel (x, y) of the plotter's view; "" when no
// element or support of the model is there.
std::string HoverTextAt(Plotter& plotter, int x, int y);
// The same for device pixel (x, y) of another view of the plotter's model (a pane of four views).
std::string HoverTextAt(Plotter& plotter, HBaseView& view, int x, int y);
// The segment browser's words for `segment`: an element's or support's title ("Pipe 10–20")
// and its "label: value" lines; a kind's segment as "Pipes (9)"; the drawn library as
// "Piping model". False (nothing set) for any other segment.
bool BrowserDescription(Plotter& plotter, long segment, std::string* name, std::vector<std::string>* lines);
// Selects the element or support drawn at device pixel (x, y) alone; false (the selection
// unchanged) when there is none.
bool SelectAt(Plotter& plotter, int x, int y);
// The same, picked at device pixel (x, y) of another view of the model; selected in the
// plotter's view, whose selection the commands use.
bool SelectAt(Plotter& plotter, HBaseView& view, int x, int y);
std::string DescribeModel(Plotter& plotter);
// Selects every registered element with `node` at either end (replacing the selection);
// returns how many.
int SelectNode(Plotter& plotter, int node);
// Deletes the selected elements; returns how many.
int DeleteSelection(Plotter& plotter);

// Installs the commands on `window` (whose view must be the plotter's) and the Delete key on
// the plotter's view, for as long as the object lives; it must live no longer than the
// plotter and the window. Dropped, it puts the component's own (empty) commands back.
class ElementCommands {
public:
    ElementCommands(CHoopsViewEx& window, Plotter& plotter);
    ~ElementCommands();
    ElementCommands(const ElementCommands&) = delete;
    ElementCommands& operator=(const ElementCommands&) = delete;

    // Shows the Properties of the selection (the infos are never empty).
    using PropertiesPanel = std::function<void(const std::vector<ElementInfo>& infos)>;
    void SetPropertiesPanel(PropertiesPanel panel) { m_panel = std::move(panel); }
    // The Properties command: the panel, or a message box without one; "Nothing is
    // selected." when nothing of the model is.
    void ShowProperties();
    // A double-click at device pixel (x, y): selects what is there and shows its Properties.
    void PropertiesAt(int x, int y);
    // The same in another view of the model (a pane of four views).
    void PropertiesAt(HBaseView& view, int x, int y);

private:
    struct Listener;
    CHoopsViewEx& m_window;
    Plotter& m_plotter;
    std::unique_ptr<Listener> m_listener;
    PropertiesPanel m_panel;
};

} // namespace ketra::plotter
