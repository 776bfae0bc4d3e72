// The markup group of the tool bar: which operator each tool installs, and the Measure
// tool's command id. The view window's command handlers call InstallMarkupOperator.
#pragma once

class KetraViewWindow;
class HBaseOperator;

namespace ketra::operators {

// Command id of the Measure tool (not used by any menu of the component).
constexpr unsigned int kMeasureCommand = 43200;

enum class MarkupTool {
    Circle,       // HOpKetraMarkupCircle
    Rectangle,    // HOpKetraMarkupRectangle
    Freehand,     // HOpKetraMarkupFreehand
    Annotate,     // HOpKetraMarkupText (notes with leaders)
    FloatingText, // HOpKetraMarkupFloatingText
    TypedNote,    // HOpMarkupAnnotateEx
    Measure,      // HOpKetraMeasure
};

// A new operator of the tool for the window's view (repeat 0, capture 1, as the window's
// operator commands make theirs; the measure tool repeats). Null without a window or view.
HBaseOperator* CreateMarkupOperator(KetraViewWindow* window, MarkupTool tool);
// Makes it the view's operator (KetraViewWindow::LocalSetOperator). False without a view.
bool InstallMarkupOperator(KetraViewWindow* window, MarkupTool tool);
// The operator's class name as GetName returns it (for the tool's check mark).
const char* MarkupToolOperatorName(MarkupTool tool);

} // namespace ketra::operators
