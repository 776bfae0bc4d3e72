// Our host's meaning of the view window's host hooks for a plotted model. The component leaves
// Properties, Model Info and Find Node to the host and hands the Delete key to the view's
// listeners; for a model drawn by the Plotter:
// - Properties: a message box naming each selected element (kind and nodes);
// - Model Info: a message box with the elements per kind, the box and the selection's size;
// - Find Node: asks for a node number (the note-text dialog), selects every element at that
//   node and fits the view to them; a bad number is reported and selects nothing;
// - Delete key: removes the selected elements from the picture and the element registry (the
//   model file is not touched; opening it again brings them back).
#pragma once

#include <memory>
#include <string>

class CHoopsViewEx;

namespace ketra::plotter {

class Plotter;

// The texts and actions behind the commands, usable without a window.
std::string DescribeSelection(Plotter& plotter);
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

private:
    struct Listener;
    CHoopsViewEx& m_window;
    Plotter& m_plotter;
    std::unique_ptr<Listener> m_listener;
};

} // namespace ketra::plotter
