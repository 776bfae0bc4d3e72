// Command ids of the view window (CHoopsViewEx), as its menus (resources menu 128, 129 and
// 203) and hosts send them. The numbers are fixed: host programs pass their own constants.
#pragma once

#include "view/window/ComponentResources.h"

namespace ketra::view {

enum ViewCommand : unsigned int {
    // Standard views
    kCmdViewFront = 42835,
    kCmdViewBack = 43022,
    kCmdViewTop = 42838,
    kCmdViewBottom = 43023,
    kCmdViewLeft = 42837,
    kCmdViewRight = 43024,
    kCmdViewIsoSE = 40002,
    kCmdViewIsoSE2 = 40101,  // second id of SE Isometric (tool bar)
    kCmdViewIsoNW = 40104,
    kCmdViewIsoSW = 40102,
    kCmdViewIsoNE = 40103,

    // Camera and selection operators
    kCmdZoomCamera = 42796,      // Realtime Zoom
    kCmdZoomWindow = 42793,
    kCmdOrbitCamera = 42795,
    kCmdPanCamera = 42797,
    kCmdZoomToExtents = 42794,
    kCmdZoomToSelection = 43073,
    kCmdRotateSelection = 42775,
    kCmdTranslateSelection = 42828,
    kCmdSelectSingleClick = 42809,  // Element Select
    kCmdSelectWindow = 42811,
    kCmdAnnotate = 40001,           // check mark only
    kCmdMarkupAnnotate = 43067,
    kCmdMarkupCircle = 43051,
    kCmdMarkupRectangle = 43052,
    kCmdMarkupFreehand = 43037,
    kCmdWalk = 40003,

    // Cutting planes
    kCmdInsertCuttingPlane = 42807,
    kCmdDeleteCuttingPlane = 43053,
    kCmdCuttingPlaneX = 33000,

    // Projections
    kCmdOrthographic = 42824,
    kCmdPerspective = 42825,
    kCmdStretched = 40013,

    // Render modes and scene parts
    kCmdWireframe = 42801,
    kCmdHiddenLines = 34010,
    kCmdGouraud = 34009,
    kCmdTwoLineMode = 40014,
    kCmdEdges = 42773,
    kCmdFaces = 42774,
    kCmdLights = 42810,
    kCmdMarkers = 40008,
    kCmdLines = 103,
    kCmdText = 42849,
    kCmdTranslucent = 43035,

    // Element kinds
    kCmdShowPipes = 43040,
    kCmdShowBends = 43041,
    kCmdShowRestraints = 43042,
    kCmdShowHangers = 43043,
    kCmdShowAnchors = 43044,
    kCmdShowRigids = 43045,
    kCmdShowStructures = 43046,
    kCmdShowExpansionJoints = 43047,
    kCmdShowTees = 43048,  // the frame's Show menu only (the context menu is fixed)
    kCmdShowAllKinds = 43084,  // "On"

    // View decorations and state
    kCmdViewCompass = 32904,
    kCmdForces = 32841,
    kCmdFourViews = 32882,  // Show X,Y,Z,Iso Views
    kCmdUndo = 57643,
    kCmdShowToolTips = 43002,
    kCmdLeftHanded = 43064,
    kCmdRightHanded = 43065,

    // Plant-design parts
    kCmdHideSelectedParts = 43082,
    kCmdHideCurrentPart = 43079,
    kCmdShowAllParts = 43081,

    // Notes (appended to the context menu when a note is under the cursor)
    kCmdDeleteNote = 130,
    kCmdEditNote = 131,

    // Host hooks: no effect in the component
    kCmdModelInfo = 40005,
    kCmdFindNode = 43068,
    kCmdCollaborate = 43038,
    kCmdProperties = 43085,
    kCmdShowSupports = 32837,  // posted by SetInitialSymbolVisibility; the host handles it

    // Output
    kCmdCopy = 57634,
    kCmdSaveAs = 57604,
    kCmdSaveHtml = 32988,
    kCmdSaveBitmap = 40006,
    kCmdPrint = 57607,
    kCmdPrintDirect = 57608,
    kCmdPrintPreview = 57609,
};

// Application commands: ids of the menu bar items that belong to the application showing the
// view window (`ketra view`), not to the window. The window has no handler for them; the
// application adds its own to the window's command map (CWnd::Commands()).
enum AppCommand : unsigned int {
    kCmdAppFileOpen = 57601,
    kCmdAppRecentFile1 = 57616,  // recent files: kCmdAppRecentFile1 + 0 .. kRecentFileCount - 1
    kCmdAppExit = 57665,
    kCmdAppKeysAndMouse = 57664,
    kCmdAppSegmentBrowser = 33101,
    kCmdAppOverview = 33102,
    kCmdAppOptions = 33103,
    kCmdAppNavigation = 33104,
    // The markup group: the component's own markup operators, which the host installs.
    kCmdAppMarkupCircle = 33110,
    kCmdAppMarkupRectangle = 33111,
    kCmdAppMarkupFreehand = 33112,
    kCmdAppMarkupNote = 33113,
    kCmdAppMarkupFloatingNote = 33114,
    kCmdAppMarkupTypedNote = 33115,
    kCmdAppMeasure = 43200,  // ketra::operators::kMeasureCommand
};
inline constexpr unsigned int kRecentFileCount = 4;

// True for the ids above: menu items the application handles (the window greys them when
// no application adds a handler).
constexpr bool IsApplicationCommand(unsigned int id)
{
    return id == kCmdAppFileOpen || (id >= kCmdAppRecentFile1 && id < kCmdAppRecentFile1 + kRecentFileCount) ||
           id == kCmdAppExit || id == kCmdAppKeysAndMouse ||
           (id >= kCmdAppSegmentBrowser && id <= kCmdAppNavigation) ||
           (id >= kCmdAppMarkupCircle && id <= kCmdAppMarkupTypedNote) || id == kCmdAppMeasure;
}

// Resource ids of the component's own menus.
enum ViewMenu : unsigned int {
    kMenuMain = 128,     // the application's menu bar
    kMenuToolBar = 129,  // tool-bar buttons (item text = tool tip)
    kMenuContext = 203,  // the view's context menu (first popup "TOOLS")
};

} // namespace ketra::view
