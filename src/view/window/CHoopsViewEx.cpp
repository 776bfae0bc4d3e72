#include "view/window/CHoopsViewEx.h"

#include <cstring>


#include "config/CAppSettings.h"
#include "config/HOpConfig.h"
#include "operators/HOpCameraEx.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HBaseOperator.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/mvo/HEventManager.h"
#include "platform/window/CHoopsDoc.h"
#include "view/HBaseViewEx.h"
#include "view/window/ViewCommands.h"
#include "view/window/ViewOutput.h"

namespace {

HOpConfig* g_applicationConfig = nullptr;

// Alt context bit of a key message's flags.
constexpr unsigned int kKeyAltContext = 0x2000;

} // namespace

CHoopsViewEx::CHoopsViewEx(ketra::window::WindowPort* port) : CHoopsView(port)
{
    ketra::view::RegisterComponentResources();
    RegisterCommands();
}

CHoopsViewEx::~CHoopsViewEx()
{
    // While a middle-button pan runs the pan operator is current (the view deletes it) and
    // the operator set aside waits here.
    delete m_savedOperator;
}

void CHoopsViewEx::SetHoopsViewEx(HBaseView* view, bool takeOwnership)
{
    if (view != m_pHView) {
        delete m_savedOperator;
        m_savedOperator = nullptr;
        m_panLent = false;
        m_projectionBeforeWalk = ProjUnknown;
    }
    const bool newView = view != m_pHView;
    SetHoopsView(view, takeOwnership);
    m_pHViewEx = dynamic_cast<HBaseViewEx*>(view);
    // A new view shows the Edges toggle's state from the start (its menu item is ticked
    // from the start).
    if (newView && view)
        SetVisibilityOnSegment(view->GetModelKey(), EdgesVisibility(m_edgesShown));
}

const char* CHoopsViewEx::EdgesVisibility(bool shown)
{
    return shown ? "lines = on, edges = on" : "lines = off, edges = off";
}

HBaseViewEx* CHoopsViewEx::GetHoopsViewEx()
{
    return m_pHViewEx;
}

void CHoopsViewEx::LocalSetOperator(HBaseOperator* op)
{
    if (!m_pHView) {
        delete op;
        return;
    }
    // A command replacing the operator during a middle-button pan: the operator set aside
    // would otherwise come back on release (over the user's choice) or leak.
    if (m_panLent && op != m_savedOperator) {
        delete m_savedOperator;
        m_savedOperator = nullptr;
        m_panLent = false;
    }
    HBaseOperator* current = m_pHView->GetOperator();
    // A walk looks in perspective, so that stepping forward shows; the projection before it
    // comes back when another operator takes over.
    const bool wasWalking = IsWalkOperator(current);
    const bool walking = IsWalkOperator(op);
    if (walking && !wasWalking) {
        m_projectionBeforeWalk = m_pHView->GetProjMode();
        if (m_projectionBeforeWalk != ProjPerspective)
            m_pHView->SetProjMode(ProjPerspective);
    } else if (!walking && wasWalking && m_projectionBeforeWalk != ProjUnknown) {
        if (m_pHView->GetProjMode() != m_projectionBeforeWalk)
            m_pHView->SetProjMode(m_projectionBeforeWalk);
        m_projectionBeforeWalk = ProjUnknown;
    }
    if (current && current != op)
        delete current;
    m_pHView->SetOperator(op);
    m_pHView->Update();
}

bool CHoopsViewEx::IsWalkOperator(HBaseOperator* op)
{
    const char* name = op ? op->GetName() : nullptr;
    return name && (std::strcmp(name, "HOpCameraWalk") == 0 || std::strcmp(name, "HSOpCameraWalk") == 0);
}

HOpConfig& CHoopsViewEx::GetPlotConfig() const
{
    if (m_config)
        return *m_config;
    if (g_applicationConfig)
        return *g_applicationConfig;
    static HOpConfig defaults;
    return defaults;
}

void CHoopsViewEx::SetApplicationConfig(HOpConfig* config)
{
    g_applicationConfig = config;
}

std::string CHoopsViewEx::CurrentOperatorName() const
{
    if (!m_pHView || !m_pHView->GetOperator())
        return {};
    const char* name = m_pHView->GetOperator()->GetName();
    return name ? name : "";
}

HEventInfo CHoopsViewEx::MakeEvent(HEventType type, unsigned int nFlags, CPoint point)
{
    return MakeMouseEvent(type, nFlags, point);
}

// --- hooks

int CHoopsViewEx::UpdatePopupMenu(CMenu*) { return 1; }
void CHoopsViewEx::set_status_view_to_be_restored(bool) {}
void CHoopsViewEx::set_status_isLoading(bool) {}
void CHoopsViewEx::Unset_Centerline_Settings() {}
CPalette* CHoopsViewEx::GetPalette() { return &m_palette; }
void CHoopsViewEx::SetSpeedyMovement(int) {}
void CHoopsViewEx::InsertAnnotations(long, const char*, HKetraUtilityAnnotation*) {}
void CHoopsViewEx::UpdateAnnotations(long, HKetraUtilityAnnotation*) {}
void CHoopsViewEx::OnUpdateRigidOnly(int, int) {}
void CHoopsViewEx::InitializePalette() {}

void CHoopsViewEx::SetInitialSymbolVisibility()
{
    if (GetPlotConfig().GetRestraintDisplay())
        PostCommand(ketra::view::kCmdShowSupports);
}

void CHoopsViewEx::SetSymbolVisibility(const char* style, unsigned int on)
{
    if (!style)
        return;
    HC_Open_Segment((std::string("/Style Library/") + style).c_str());
    HC_Set_Visibility(on ? "everything=on,markers=off" : "everything=off,markers=off");
    if (on) {
        const HRenderMode mode = m_pHView ? m_pHView->GetRenderMode() : HRenderUnknown;
        HC_Set_Visibility(mode == HRenderGouraud || mode == HRenderGouraudWithEdges ? "edges=off"
                                                                                    : "edges=on");
    }
    HC_Close_Segment();
    if (m_pHView)
        m_pHView->Update();
}

// --- window messages

void CHoopsViewEx::StartConstantFrameRate()
{
    HConstantFrameRate* frameRate = m_pHView ? m_pHView->GetConstantFrameRateObject() : nullptr;
    if (!frameRate)
        return;
    frameRate->SetTargetFrameRate(CAppSettings::FrameRate > 0 ? CAppSettings::FrameRate
                                                              : CAppSettings::DefaultFrameRate);
    frameRate->Start();
}

void CHoopsViewEx::OnInitialUpdate()
{
    CHoopsView::OnInitialUpdate();
    InitializePalette();
}

void CHoopsViewEx::OnPaint()
{
    if (!m_pHView)
        return;
    HC_Control_Update_By_Key(m_pHView->GetViewKey(), "redraw everything");
    m_pHView->Update();
}

void CHoopsViewEx::OnLButtonDown(unsigned int nFlags, CPoint point)
{
    // Every press records the camera first, so Edit Undo returns to it.
    if (m_pHViewEx)
        m_pHViewEx->GetManageMotion().Step(m_pHViewEx);
    CHoopsView::OnLButtonDown(nFlags, point);
}

void CHoopsViewEx::OnMButtonDown(unsigned int nFlags, CPoint point)
{
    if (m_pHView && !m_panLent) {
        const std::string name = CurrentOperatorName();
        if (name != "HOpCameraPanEx" && name != "HOpCameraWalk") {
            // Lend the view to a pan operator; the current one is set aside, not deleted.
            m_savedOperator = m_pHView->GetOperator();
            m_panLent = true;
            m_pHView->SetOperator(new HOpCameraPanEx(m_pHView, 0, 1));
            // The message again, so that the pan operator receives the press.
            OnMButtonDown(nFlags, point);
            return;
        }
    }
    CHoopsView::OnMButtonDown(nFlags, point);
}

void CHoopsViewEx::OnMButtonUp(unsigned int nFlags, CPoint point)
{
    if (m_panLent) {
        // The pan operator finishes its gesture before it is deleted.
        CHoopsView::OnMButtonUp(nFlags, point);
        HBaseOperator* saved = m_savedOperator;
        m_savedOperator = nullptr;
        m_panLent = false;
        LocalSetOperator(saved);
        return;
    }
    CHoopsView::OnMButtonUp(nFlags, point);
}

void CHoopsViewEx::OnMButtonDblClk(unsigned int, CPoint) {}

void CHoopsViewEx::OnRButtonUp(unsigned int nFlags, CPoint point)
{
    HBaseOperator* op = m_pHView ? m_pHView->GetOperator() : nullptr;
    if (!op) {
        CHoopsView::OnRButtonUp(nFlags, point);
        return;
    }
    HEventInfo event = MakeEvent(HE_RButtonUp, nFlags, point);
    op->OnRButtonUp(event);
    Port().ReleaseCapture();
}

void CHoopsViewEx::OnRButtonDblClk(unsigned int nFlags, CPoint point)
{
    HBaseOperator* op = m_pHView ? m_pHView->GetOperator() : nullptr;
    if (!op) {
        CHoopsView::OnRButtonDblClk(nFlags, point);
        return;
    }
    HEventInfo event = MakeEvent(HE_RButtonDblClk, nFlags, point);
    op->OnRButtonDblClk(event);
}

void CHoopsViewEx::OnMouseMove(unsigned int nFlags, CPoint point)
{
    // The base handler hands the move to the operator's OnMouseMove (event type 10) before
    // the button-specific move handlers, so the operator sees each move once.
    CHoopsView::OnMouseMove(nFlags, point);
}

void CHoopsViewEx::OnKeyDown(unsigned int nChar, unsigned int nRepCnt, unsigned int nFlags)
{
    if (nChar != VK_DELETE || !m_pHView) {
        CHoopsView::OnKeyDown(nChar, nRepCnt, nFlags);
        return;
    }
    // Delete goes to the view's listeners only (the selection deletes what it holds).
    unsigned int flags = MapFlags(KeyboardStateFlags()) | 1u;
    if (nFlags & kKeyAltContext)
        flags |= 8u;
    HEventInfo event(m_pHView);
    event.SetKey(HE_KeyDown, nChar, nRepCnt, flags);
    m_pHView->GetEventManager()->EmitMouseEvent(event);
}

// --- output

std::string CHoopsViewEx::GetDocumentPath() const
{
    return m_pDocument ? m_pDocument->GetPathName() : std::string();
}

void CHoopsViewEx::OnFileSaveAs()
{
    ketra::view::FileSaveAs(*this, GetDocumentPath());
}

void CHoopsViewEx::OnFileSaveAsHTML()
{
    ketra::view::OnFileSaveAsHTML(*this, GetDocumentPath());
}

void CHoopsViewEx::OnBitmap()
{
    ketra::view::SaveBitmap(*this);
}

bool CHoopsViewEx::OnEditCopy()
{
    return ketra::view::CopyToClipboard(*this);
}

bool CHoopsViewEx::OnPreparePrinting(ketra::window::PrintRequest& request)
{
    return ketra::view::PreparePrinting(*this, request);
}

void CHoopsViewEx::OnBeginPrinting() {}
void CHoopsViewEx::OnEndPrinting() {}

bool CHoopsViewEx::OnPrint(const ketra::window::PrintRequest& request)
{
    // Stops the constant-frame-rate object around the picture, as every output does.
    return ketra::view::PrintView(*this, request);
}

bool CHoopsViewEx::RunPrint(ketra::window::PrintRequest request)
{
    if (!m_pHView || !OnPreparePrinting(request))
        return false;
    OnBeginPrinting();
    const bool printed = OnPrint(request);
    OnEndPrinting();
    return printed;
}
