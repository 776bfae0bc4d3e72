#include "platform/ui/CommandHelp.h"

#include "view/window/ViewCommands.h"

#include <cstring>
#include <string_view>

namespace ketra::ui {

using namespace ketra::view;

const std::vector<CommandHelp>& CommandHelps() {
    static const std::vector<CommandHelp> helps = {
        {kCmdAppFileOpen, "Open", "Open a piping model, a PCF file or a saved scene", "Ctrl+O"},
        {kCmdAppExit, "Exit", "Close the viewer", "Ctrl+Q"},
        {kCmdAppKeysAndMouse, "Keys and Mouse", "Show what the keys and the mouse do", "F1"},
        {kCmdFourViews, "Four Views", "Split the window into Front, Top, Side and Iso views, or join them", "Ctrl+4"},
        {kCmdAppSegmentBrowser, "Segment Browser", "Show or hide the list of drawn elements", "Ctrl+B"},
        {kCmdAppOverview, "Overview", "Show or hide the overview of the whole plant", "Ctrl+Shift+V"},
        {kCmdViewFront, "Front", "Look at the model from the front", "Ctrl+Shift+F"},
        {kCmdViewBack, "Back", "Look at the model from the back", "Ctrl+Shift+B"},
        {kCmdViewTop, "Top", "Look down on the model", "Ctrl+Shift+T"},
        {kCmdViewBottom, "Bottom", "Look up at the model", "Ctrl+Shift+O"},
        {kCmdViewLeft, "Left", "Look at the model from the left", "Ctrl+Shift+L"},
        {kCmdViewRight, "Right", "Look at the model from the right", "Ctrl+Shift+R"},
        {kCmdViewIsoSE, "SE Isometric", "Look at the model from the south-east, from above", "Ctrl+Shift+I"},
        {kCmdViewIsoSE2, "SE Isometric", "Look at the model from the south-east, from above", "Ctrl+Shift+I"},
        {kCmdZoomToExtents, "Zoom to Extents", "Fit the whole model in the view", "Ctrl+Shift+E"},
        {kCmdCopy, "Copy", "Copy the picture to the clipboard", "Ctrl+C"},
        {kCmdPrint, "Print", "Print the picture", "Ctrl+P"},
        {kCmdUndo, "Undo", "Go back to the previous view", "Ctrl+Z"},
        {kCmdOrbitCamera, "Orbit", "Drag to turn the model about its centre", ""},
        {kCmdPanCamera, "Pan", "Drag to move the model across the view", ""},
        {kCmdZoomCamera, "Zoom", "Drag up to come closer, down to go back", ""},
        {kCmdZoomWindow, "Zoom to Window", "Drag a box around what to fill the view with", ""},
        {kCmdWalk, "Walk", "Walk through the plant: W and S forward and back, drag to look around", ""},
        {kCmdSelectSingleClick, "Select", "Click an element to select it; Shift toggles, Ctrl adds", ""},
        {kCmdSelectWindow, "Select by Window", "Drag a box around the elements to select", ""},
        {kCmdZoomToSelection, "Zoom to Selection", "Fit the selected elements in the view", ""},
        {kCmdWireframe, "Wireframe", "Draw the edges of every face", ""},
        {kCmdHiddenLines, "Hidden Lines", "Draw the visible edges only", ""},
        {kCmdGouraud, "Shaded", "Draw shaded faces", ""},
        {kCmdTwoLineMode, "Two Line", "Draw each pipe as its two outlines", ""},
        {kCmdOrthographic, "Orthographic", "Parallel projection: sizes do not shrink with distance", ""},
        {kCmdPerspective, "Perspective", "Perspective projection: far things look smaller", ""},
        {kCmdTranslucent, "Translucent", "See through the elements", ""},
        {kCmdViewCompass, "View Compass", "Show or hide the compass of the view's axes", ""},
        {kCmdAppMarkupCircle, "Markup Circle", "Drag to draw a circle on the view", ""},
        {kCmdAppMarkupRectangle, "Markup Rectangle", "Drag to draw a rectangle on the view", ""},
        {kCmdAppMarkupFreehand, "Freehand Markup", "Drag to draw freehand on the view", ""},
        {kCmdAppMarkupNote, "Note", "Click a point, then where the note goes, and type it", ""},
        {kCmdAppMeasure, "Measure", "Click two points on the model to measure the distance between them", ""},
        {kCmdProperties, "Properties", "Everything the model holds for the selected element", ""},
        {kCmdFindNode, "Find Node", "Select the elements at a node number and fit the view to them", ""},
    };
    return helps;
}

const CommandHelp* FindCommandHelp(unsigned int id) {
    for (const CommandHelp& help : CommandHelps())
        if (help.id == id)
            return &help;
    return nullptr;
}

std::string CommandToolTip(unsigned int id, const std::string& fallback) {
    const CommandHelp* help = FindCommandHelp(id);
    if (!help)
        return fallback;
    std::string tip = help->name;
    if (*help->keys)
        tip += std::string(" (") + help->keys + ")";
    return tip + " \u2014 " + help->help;
}

ToolWords DescribeTool(const char* operatorName) {
    static const struct {
        const char* name;
        ToolWords words;
    } kTools[] = {
        {"HOpCameraOrbit", {"Orbit", "Drag to turn the model; middle drag pans; wheel zooms"}},
        {"HOpCameraPan", {"Pan", "Drag to move the model across the view"}},
        {"HOpCameraZoom", {"Zoom", "Drag up to come closer, down to go back"}},
        {"HOpCameraZoomBox", {"Zoom to Window", "Drag a box around what to fill the view with"}},
        {"HOpCameraWalk", {"Walk", "W/S forward and back, A/D sideways, Q/Z up and down; drag to look"}},
        {"HSOpCameraWalk", {"Walk", "W/S forward and back, A/D sideways, Q/Z up and down; drag to look"}},
        {"HSOpCameraDrag", {"Move View", "Drag the frame to move the main view"}},
        {"HOpSelectAperture", {"Select", "Click an element to select it; Shift toggles, Ctrl adds"}},
        {"HOpSelectArea", {"Select by Window", "Drag a box around the elements to select"}},
        {"HOpKetraSelectArea", {"Select by Window", "Drag a box around the elements to select"}},
        {"HOpKetraMeasure", {"Measure", "Click two points on the model, then where the text goes"}},
        {"HOpKetraMarkupAnnotate", {"Note", "Click a point, then where the note goes, and type it"}},
        {"HOpMarkupAnnotate", {"Note", "Click a point, then where the note goes, and type it"}},
        {"HOpMarkupPostIt", {"Note", "Click where the note goes and type it"}},
        {"HOpKetraMarkupFloatingText", {"Floating Note", "Click where the note goes and type it"}},
        {"HOpKetraMarkupCircle", {"Markup Circle", "Drag to draw a circle"}},
        {"HOpMarkupCircle", {"Markup Circle", "Drag to draw a circle"}},
        {"HOpConstructCircle", {"Circle", "Drag to draw a circle"}},
        {"HOpKetraMarkupRectangle", {"Markup Rectangle", "Drag to draw a rectangle"}},
        {"HOpMarkupRectangle", {"Markup Rectangle", "Drag to draw a rectangle"}},
        {"HOpConstructRectangle", {"Rectangle", "Drag to draw a rectangle"}},
        {"HOpKetraMarkupFreehand", {"Freehand Markup", "Drag to draw"}},
        {"HOpMarkupFreehand", {"Freehand Markup", "Drag to draw"}},
        {"HOpObjectRotate", {"Rotate Selection", "Drag to turn the selected elements"}},
        {"HOpObjectTranslate", {"Move Selection", "Drag to move the selected elements"}},
        {"HOpMoveHandle", {"Move Handle", "Drag a handle"}},
    };
    if (!operatorName)
        return {"Tool", ""};
    std::string_view name = operatorName;
    // The component's extended operators say what their base does.
    if (name.size() > 2 && name.substr(name.size() - 2) == "Ex")
        name.remove_suffix(2);
    for (const auto& tool : kTools)
        if (name == tool.name)
            return tool.words;
    return {"Tool", ""};
}

const char* RenderModeWord(HRenderMode mode) {
    switch (mode) {
    case HRenderWireframe:
    case HRenderWireframeWithSilhouette:
        return "Wireframe";
    case HRenderSilhouette:
        return "Two Line";
    case HRenderHiddenLine:
    case HRenderHiddenLineFast:
    case HRenderBRepHiddenLine:
    case HRenderBRepHiddenLineFast:
        return "Hidden Lines";
    case HRenderGouraudWithEdges:
    case HRenderGouraudWithLines:
    case HRenderPhongWithEdges:
    case HRenderPhongWithLines:
    case HRenderShadedWireframe:
        return "Shaded with Edges";
    case HRenderFlat:
        return "Flat Shaded";
    case HRenderFlatWithEdges:
    case HRenderFlatWithLines:
        return "Flat Shaded with Edges";
    case HRenderMarkers:
        return "Markers";
    default:
        return "Shaded";
    }
}

} // namespace ketra::ui
