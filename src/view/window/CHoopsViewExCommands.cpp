// The view window's command map: what each command id does, when its item is enabled and
// when it is checked.
#include "view/window/CHoopsViewEx.h"

#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "operators/HOpCameraEx.h"
#include "platform/hc/hc.h"
#include "view/window/NodeMarkers.h"
#include "platform/mvo/HMarkupManager.h"
#include "platform/mvo/HOpMarkup.h"
#include "platform/mvo/HOpMoveHandle.h"
#include "platform/mvo/HOpObjectTranslate.h"
#include "platform/mvo/HOpSelectAperture.h"
#include "operators/HOpKetraSelectArea.h"
#include "operators/WalkCommand.h"
#include "platform/mvo/HSelectionSet.h"
#include "view/HBaseViewEx.h"
#include "view/window/ViewCommands.h"

#include <algorithm>

using namespace ketra::view;

namespace {

// Operator commands and the class name that marks their item.
struct OperatorCommand {
    unsigned int id;
    const char* name;
};

constexpr OperatorCommand kOperatorCommands[] = {
    {kCmdZoomCamera, "HOpCameraZoomEx"},
    {kCmdZoomWindow, "HOpCameraZoomBoxEx"},
    {kCmdOrbitCamera, "HOpCameraOrbitEx"},
    {kCmdPanCamera, "HOpCameraPanEx"},
    {kCmdRotateSelection, "HOpObjectRotate"},
    {kCmdTranslateSelection, nullptr},
    {kCmdSelectSingleClick, "HOpSelectAperture"},
    {kCmdSelectWindow, "HOpKetraSelectArea"},
    {kCmdMarkupAnnotate, "HOpMarkupPostIt"},
    {kCmdMarkupCircle, "HOpMarkupCircle"},
    {kCmdMarkupRectangle, "HOpMarkupRectangle"},
    {kCmdMarkupFreehand, "HOpMarkupFreehand"},
    {kCmdWalk, "HOpCameraWalk"},
    {kCmdInsertCuttingPlane, "HOpMoveHandle"},
};

struct ViewCommandMode {
    unsigned int id;
    ViewMode mode;
};

constexpr ViewCommandMode kViewCommands[] = {
    {kCmdViewFront, HViewFront},   {kCmdViewBack, HViewBack},     {kCmdViewTop, HViewTop},
    {kCmdViewBottom, HViewBottom}, {kCmdViewLeft, HViewLeft},     {kCmdViewRight, HViewRight},
    {kCmdViewIsoSE, HViewIsoSE},   {kCmdViewIsoSE2, HViewIsoSE},  {kCmdViewIsoNW, HViewIsoNW},
    {kCmdViewIsoSW, HViewIsoSW},   {kCmdViewIsoNE, HViewIsoNE},
};

struct ElementKindCommand {
    unsigned int id;
    const char* segment;
};

// The segments the toggles open (their names as the host spells them; names are compared
// without regard to case).
constexpr ElementKindCommand kElementKindCommands[] = {
    {kCmdShowPipes, "/include library/halden/pipes"},
    {kCmdShowBends, "/include library/halden/Bends"},
    {kCmdShowRestraints, "/include library/halden/Restraints"},
    {kCmdShowHangers, "/include library/halden/Hangers"},
    {kCmdShowAnchors, "/include library/halden/Anchors"},
    {kCmdShowRigids, "/include library/halden/Rigids"},
    {kCmdShowStructures, "/include library/halden/structures"},
    {kCmdShowExpansionJoints, "/include library/halden/expansion joints"},
    {kCmdShowTees, "/include library/halden/tees"},
};

void SetVisibilityOn(HC_KEY segment, const char* visibility)
{
    if (segment == -1 || HC_Show_Existence_By_Key(segment, "self") <= 0)
        return;
    HC_Open_Segment_By_Key(segment);
    HC_Set_Visibility(visibility);
    HC_Close_Segment();
}

} // namespace

void CHoopsViewEx::RegisterCommands()
{
    RegisterViewCommands();
    RegisterOperatorCommands();
    RegisterSceneCommands();
    RegisterOtherCommands();
}

void CHoopsViewEx::OnStandardView(ViewMode mode)
{
    if (!m_pHView)
        return;
    m_pHView->SetViewMode(mode, false, true);
}

void CHoopsViewEx::RegisterViewCommands()
{
    CommandMap& map = Commands();
    for (const ViewCommandMode& command : kViewCommands) {
        const ViewMode mode = command.mode;
        const unsigned int id = command.id;
        map.Add(id, [this, mode] { OnStandardView(mode); },
                [this, mode, id](CCmdUI& ui) {
                    const ViewMode current = m_pHView ? m_pHView->GetViewMode() : HViewNone;
                    ui.SetCheck(m_pHView && (current == mode ||
                                             (mode == HViewIsoSE && current == HViewIso)));
                    // Looking straight down or up makes no sense to a walker.
                    if (id == kCmdViewTop || id == kCmdViewBottom)
                        ui.Enable(!CurrentOperatorIs("HOpCameraWalk"));
                });
    }

    struct Projection {
        unsigned int id;
        HProjMode mode;
    };
    for (const Projection& p : {Projection{kCmdOrthographic, ProjOrthographic},
                                Projection{kCmdPerspective, ProjPerspective},
                                Projection{kCmdStretched, ProjStretched}}) {
        const HProjMode mode = p.mode;
        map.Add(p.id,
                [this, mode] {
                    if (!m_pHView)
                        return;
                    m_pHView->SetProjMode(mode);
                    m_pHView->Update();
                },
                [this, mode](CCmdUI& ui) { ui.SetCheck(m_pHView && m_pHView->GetProjMode() == mode); });
    }

    map.Add(kCmdZoomToExtents, [this] {
        if (!m_pHView)
            return;
        m_pHView->ZoomToExtents();
        m_pHView->Update();
    });
    map.Add(kCmdZoomToSelection,
            [this] {
                if (m_pHViewEx && m_pHViewEx->GetSelection() && m_pHViewEx->GetSelection()->GetSize() > 0)
                    m_pHViewEx->FitWorldToHOOPSSelection();
            },
            [this](CCmdUI& ui) {
                ui.Enable(m_pHViewEx && m_pHViewEx->GetSelection() &&
                          m_pHViewEx->GetSelection()->GetSize() > 0);
            });
    map.Add(kCmdViewCompass, [this] { OnViewCompass(); });
    map.Add(kCmdUndo, [this] { OnEditUndo(); },
            [this](CCmdUI& ui) { ui.Enable(m_pHViewEx && m_pHViewEx->GetManageMotion().Size() > 0); });
    map.Add(kCmdFourViews, [this] { OnFourViews(); }, [this](CCmdUI& ui) {
        ui.SetCheck(m_fourViews);
        ui.Enable(GetPlotConfig().GetConfigType() == HOpConfig::ConfigInput);
    });
    // The handedness is kept in the scene for hosts that read it, but our renderer and picking
    // work in one right-handed world, so the picture cannot change: the menu items are greyed.
    const auto noHandedness = [](CCmdUI& ui) { ui.Enable(false); };
    map.Add(kCmdLeftHanded,
            [this] {
                if (!m_pHView)
                    return;
                m_pHView->SetHandedness(HandednessLeft, false);
                m_pHView->Update();
            },
            noHandedness);
    map.Add(kCmdRightHanded,
            [this] {
                if (!m_pHView)
                    return;
                m_pHView->SetHandedness(HandednessRight, false);
                m_pHView->Update();
            },
            noHandedness);
}

HBaseOperator* CHoopsViewEx::CreateWalkOperator()
{
    return BuildWalkOperator(m_pHView);
}

void CHoopsViewEx::OnWalk()
{
    if (!m_pHView)
        return;
    // Choosing Walk again while walking takes the current settings without a new operator.
    if (auto* walk = dynamic_cast<HOpCameraWalk*>(m_pHView->GetOperator());
        walk && CurrentOperatorIs("HOpCameraWalk"))
        ConfigureWalkOperator(*walk);
    else
        LocalSetOperator(CreateWalkOperator());
    ShowWalkNavigationPanel(Port());
}

HBaseOperator* CHoopsViewEx::CreateOperator(unsigned int commandId)
{
    if (!m_pHView)
        return nullptr;
    HBaseView* view = m_pHView;
    switch (commandId) {
    case kCmdZoomCamera: {
        auto* op = new HOpCameraZoomEx(view, 0, 1);
        op->SetLightFollowsCamera(true);
        return op;
    }
    case kCmdZoomWindow: {
        auto* op = new HOpCameraZoomBoxEx(view, 0, 1);
        op->SetLightFollowsCamera(true);
        return op;
    }
    case kCmdOrbitCamera: {
        auto* op = new HOpCameraOrbitEx(view, 0, 1);
        op->SetLightFollowsCamera(true);
        op->SetShowBoundingBox(false);
        return op;
    }
    case kCmdPanCamera: {
        auto* op = new HOpCameraPanEx(view, 0, 1);
        op->SetLightFollowsCamera(true);
        return op;
    }
    case kCmdRotateSelection: return new HOpObjectRotate(view, 0, 1);
    case kCmdTranslateSelection: return new HOpObjectTranslate(view, 0, 1);
    case kCmdSelectSingleClick: return new HOpSelectAperture(view, 0, 1);
    case kCmdSelectWindow: return new HOpKetraSelectArea(view, 0, 1);
    case kCmdMarkupAnnotate: return new HOpMarkupPostIt(view, 0, 1);
    case kCmdMarkupCircle: return new HOpMarkupCircle(view, 0, 1);
    case kCmdMarkupRectangle: return new HOpMarkupRectangle(view, 0, 1);
    case kCmdMarkupFreehand: return new HOpMarkupFreehand(view, 0, 1);
    case kCmdWalk: return CreateWalkOperator();
    case kCmdInsertCuttingPlane: return new HOpMoveHandle(view, false, 0, 1);
    default: return nullptr;
    }
}

void CHoopsViewEx::RegisterOperatorCommands()
{
    CommandMap& map = Commands();
    for (const OperatorCommand& command : kOperatorCommands) {
        const unsigned int id = command.id;
        const char* name = command.name;
        CommandMap::Handler handler;
        if (id == kCmdInsertCuttingPlane)
            handler = [this] { OnInsertCuttingPlane(); };
        else if (id == kCmdWalk)
            handler = [this] { OnWalk(); };
        else
            handler = [this, id] {
                if (m_pHView)
                    LocalSetOperator(CreateOperator(id));
            };
        map.Add(id, std::move(handler), [this, id, name](CCmdUI& ui) {
            ui.Enable(id != kCmdTranslateSelection);
            if (!name)
                return;
            const std::string current = CurrentOperatorName();
            ui.SetCheck(!current.empty() && current == name);
        });
    }
    // Annotate only shows whether the library's note operator is current.
    map.Add(kCmdAnnotate, [] {},
            [this](CCmdUI& ui) { ui.SetCheck(CurrentOperatorIs("HOpMarkupAnnotate")); });
}

void CHoopsViewEx::RegisterSceneCommands()
{
    CommandMap& map = Commands();
    map.Add(kCmdWireframe,
            [this] {
                if (!m_pHViewEx)
                    return;
                if (m_pHViewEx->GetRenderMode() == HRenderMarkers)
                    Unset_Centerline_Settings();
                m_pHViewEx->RenderWireframe();
                m_pHViewEx->Update();
            },
            [this](CCmdUI& ui) { ui.SetCheck(m_pHView && m_pHView->GetRenderMode() == HRenderWireframe); });
    map.Add(kCmdHiddenLines,
            [this] {
                if (!m_pHViewEx)
                    return;
                if (m_pHViewEx->GetRenderMode() == HRenderMarkers)
                    Unset_Centerline_Settings();
                m_pHViewEx->RenderHiddenLine();
                m_pHViewEx->Update();
            },
            [this](CCmdUI& ui) {
                const HRenderMode mode = m_pHView ? m_pHView->GetRenderMode() : HRenderUnknown;
                ui.SetCheck(mode == HRenderHiddenLine || mode == HRenderHiddenLineFast ||
                            mode == HRenderBRepHiddenLine);
            });
    map.Add(kCmdGouraud, [this] { OnGouraudShading(); }, [this](CCmdUI& ui) {
        const HRenderMode mode = m_pHView ? m_pHView->GetRenderMode() : HRenderUnknown;
        ui.SetCheck(mode == HRenderGouraud || mode == HRenderGouraudWithEdges);
    });
    map.Add(kCmdTwoLineMode,
            [this] {
                if (m_pHView)
                    m_pHView->RenderSilhouette();
            },
            [this](CCmdUI& ui) { ui.SetCheck(m_pHView && m_pHView->GetRenderMode() == HRenderSilhouette); });

    map.Add(kCmdEdges,
            [this] {
                if (!m_pHView)
                    return;
                m_edgesShown = !m_edgesShown;
                SetVisibilityOn(m_pHView->GetModelKey(), EdgesVisibility(m_edgesShown));
                m_pHView->Update();
            },
            [this](CCmdUI& ui) { ui.SetCheck(m_edgesShown); });
    map.Add(kCmdFaces,
            [this] {
                if (!m_pHView)
                    return;
                m_facesShown = !m_facesShown;
                SetVisibilityOn(m_pHView->GetModelKey(), m_facesShown ? "faces = on" : "faces = off");
                m_pHView->Update();
            },
            [this](CCmdUI& ui) { ui.SetCheck(m_facesShown); });
    map.Add(kCmdLights,
            [this] {
                if (!m_pHView)
                    return;
                m_lightsShown = !m_lightsShown;
                SetVisibilityOn(m_pHView->GetLightsKey(),
                                m_lightsShown ? "lights = (faces = on, edges = off, markers = off)"
                                              : "lights = off");
                m_fastPrint = m_lightsShown;
                m_pHView->Update();
            },
            [this](CCmdUI& ui) { ui.SetCheck(m_lightsShown); });
    map.Add(kCmdMarkers,
            [this] {
                if (!m_pHView)
                    return;
                m_markersShown = !m_markersShown;
                // The elements carry no markers of their own: the nodes of the pipe runs get
                // them first, at four times the pipe marker size (the style's size alone
                // makes dots of two pixels).
                if (m_markersShown)
                    for (const char* run : {"/include library/halden/pipes", "/include library/halden/Bends"})
                        AddNodeMarkers(run, std::max(1.0f, 4.0f * CAppSettings::PipeMarkerSymbolSize));
                SetVisibilityOn(m_pHView->GetSceneKey(), m_markersShown ? "markers = on" : "markers = off");
                m_pHView->Update();
            },
            [this](CCmdUI& ui) { ui.SetCheck(m_markersShown); });
    map.Add(kCmdLines, [] {});
    map.Add(kCmdText, [] {});
    map.Add(kCmdTranslucent, [this] { OnTranslucentObjects(); });

    for (const ElementKindCommand& command : kElementKindCommands) {
        const char* segment = command.segment;
        map.Add(command.id, [this, segment] { ToggleElementKind(segment); },
                [segment](CCmdUI& ui) { ui.SetCheck(ElementKindShown(segment)); });
    }
    map.Add(kCmdShowAllKinds, [this] { OnVisibilityAll(); },
            [this](CCmdUI& ui) { ui.SetCheck(m_allKindsShown); });

    map.Add(kCmdDeleteCuttingPlane, [this] { OnDeleteCuttingPlane(); },
            [this](CCmdUI& ui) { ui.Enable(m_pHView && m_cuttingPlanesExist); });
    map.Add(kCmdCuttingPlaneX, [this] { OnCuttingPlaneX(); });

    map.Add(kCmdHideSelectedParts, [this] { HideSelectedDraftonParts(); });
    map.Add(kCmdHideCurrentPart, [this] {
        m_plantPartHidden = 1;
        HideLocalElement(CPoint{static_cast<int>(m_rightClickPoint.x),
                                static_cast<int>(m_rightClickPoint.y)});
    });
    map.Add(kCmdShowAllParts, [this] { ShowAllDraftonParts(); });
}

void CHoopsViewEx::RegisterOtherCommands()
{
    CommandMap& map = Commands();
    map.Add(kCmdForces, [this] { OnForces(); }, [](CCmdUI& ui) { ui.Enable(false); });
    map.Add(kCmdShowToolTips, [this] { Port().TrackMouseLeave(); });
    map.Add(kCmdDeleteNote, [this] {
        if (m_noteKey != -1)
            DeleteNote(m_noteKey);
    });
    map.Add(kCmdEditNote, [this] {
        if (m_noteKey != -1)
            EditNote(m_noteKey);
    });
    map.Add(kCmdModelInfo, [] {}, [](CCmdUI& ui) { ui.Enable(false); });
    map.Add(kCmdFindNode, [] {});
    map.Add(kCmdCollaborate, [] {}, [](CCmdUI& ui) { ui.Enable(true); });
    map.Add(kCmdProperties, [] {});

    map.Add(kCmdCopy, [this] { OnEditCopy(); });
    map.Add(kCmdSaveAs, [this] { OnFileSaveAs(); });
    map.Add(kCmdSaveHtml, [this] { OnFileSaveAsHTML(); });
    map.Add(kCmdSaveBitmap, [this] { OnBitmap(); });
    map.Add(kCmdPrint, [this] {
        ketra::window::PrintRequest request;
        request.showDialog = true;
        RunPrint(request);
    });
    map.Add(kCmdPrintDirect, [this] {
        ketra::window::PrintRequest request;
        request.showDialog = false;
        RunPrint(request);
    });
    map.Add(kCmdPrintPreview, [this] {
        ketra::window::PrintRequest request;
        request.preview = true;
        RunPrint(request);
    });
}

void CHoopsViewEx::OnViewCompass()
{
    if (!m_pHView)
        return;
    const int mode = static_cast<int>(m_pHView->GetAxisMode());
    const int next = mode >= 0 && mode < 3 ? mode + 1 : 0;
    m_pHView->SetAxisMode(static_cast<AxisMode>(next));
    m_pHView->AdjustAxisWindowEx();
    m_pHView->Update();
}

void CHoopsViewEx::OnForces()
{
    if (!m_pHView)
        return;
    HC_Open_Segment_By_Key(m_pHView->GetViewKey());
    HC_Open_Segment("Legend1");
    HC_Set_Callback("draw 3d polygon = draw_text_postit");
    HC_Set_Color("window contrast=gray");
    HC_Set_Color("text=red");
    HC_Close_Segment();
    HC_Close_Segment();
}

void CHoopsViewEx::OnFourViews()
{
    ketra::window::WindowPort& port = Port();
    if (port.HasSplitter())
        port.SetSplitterPanes(m_fourViews ? 1 : 4);
    m_fourViews = !m_fourViews;
}

void CHoopsViewEx::OnEditUndo()
{
    if (m_pHViewEx)
        m_pHViewEx->GetManageMotion().Undo(m_pHViewEx);
}
