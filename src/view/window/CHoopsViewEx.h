// CHoopsViewEx: the component's view window. It shows one HBaseViewEx, routes the window's
// mouse and keyboard messages to the view's operator (with the middle button lending the view
// to a pan operator and the right button opening the context menu), and carries the
// component's commands (ids in ViewCommands.h). Every command runs through the command map
// (CWnd::Commands()): OnCommand(id) runs it, OnUpdateCommand(id, ui) gives its check mark and
// enabled state. Hosts subclass it: the virtual hooks that do nothing here are theirs to fill,
// and a host may replace any command's entry in the map.
//
// Every handler that needs the view does nothing while no view is set. The window's code is
// split by subject: CHoopsViewEx.cpp (view, routing, hooks, output), CHoopsViewExCommands.cpp
// (the command map), CHoopsViewExMenu.cpp (context menu and notes), CHoopsViewExScene.cpp
// (element kinds, translucency, Gouraud shading, plant parts, cutting planes).
#pragma once

#include "annotation/KetraViewWindow.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HPoint.h"
#include "platform/window/CHoopsView.h"
#include "platform/window/CMenu.h"

#include <cstdint>
#include <string>

class HBaseOperator;
class HBaseViewEx;
class HKetraUtilityAnnotation;
class HOpConfig;

// Stands in for the window's logical palette. Palette devices do not exist under X11 or
// Wayland, so it stays empty.
struct CPalette {
    int entries = 0;
};

class CHoopsViewEx : public CHoopsView, public KetraViewWindow {
public:
    // Registers the component's resources (ketra::view::RegisterComponentResources) and fills
    // the command map.
    explicit CHoopsViewEx(ketra::window::WindowPort* port = nullptr);
    ~CHoopsViewEx() override;

    // --- view
    // Sets the view (an HBaseViewEx, or null); see CHoopsView::SetHoopsView for ownership.
    // An operator set aside for a middle-button pan belongs to the old view and is deleted.
    void SetHoopsViewEx(HBaseView* view, bool takeOwnership = true);
    HBaseViewEx* GetHoopsViewEx() override;
    HBaseView* GetHoopsView() const override { return CHoopsView::GetHoopsView(); }
    // Deletes the view's current operator (when there is one and it is not `op`), makes `op`
    // current (the view owns it from then on; without a view `op` is deleted), updates. An operator set aside by a middle-button pan is deleted too: the
    // command's choice stands when the button is released.
    void LocalSetOperator(HBaseOperator* op) override;
    // The port's note-text dialog; false without a port.
    bool AskNoteText(std::string& text, const char* caption) override;

    // The plot configuration the window consults (config type, restraint display,
    // translucency). Not owned; null (the default) means the application's, set with
    // SetApplicationConfig; without either a default configuration (no file) answers.
    void SetPlotConfig(HOpConfig* config) { m_config = config; }
    // Keeps camera motion fluid on large models: starts the view's constant-frame-rate object
    // at the "Constant Frame Rate" setting (10 frames a second unless set). A window that
    // shows a model for a person calls it once its view is set.
    void StartConstantFrameRate();
    HOpConfig& GetPlotConfig() const;
    static void SetApplicationConfig(HOpConfig* config);

    // --- virtual hooks and helpers (the order follows the base class's)
    // Returns non-zero to show the context menu; a host may edit `menu` first.
    virtual int UpdatePopupMenu(CMenu* menu);
    void set_status_view_to_be_restored(bool restore) override;
    virtual void set_status_isLoading(bool loading);
    virtual void Unset_Centerline_Settings();
    virtual CPalette* GetPalette();
    // Posts 32837 (Show Supports and Restraints) when the plot configuration shows restraints.
    virtual void SetInitialSymbolVisibility();
    // Does nothing.
    virtual void SetSpeedyMovement(int speedy);
    void InsertAnnotations(long key, const char* text, HKetraUtilityAnnotation* note) override;
    void UpdateAnnotations(long key, HKetraUtilityAnnotation* note) override;
    virtual void OnUpdateRigidOnly(int a, int b);
    // Palette devices do not exist here: does nothing.
    virtual void InitializePalette();

    // Visibility of one style segment's symbols ("/Style Library/<style>").
    void SetSymbolVisibility(const char* style, unsigned int on);
    // Plant-design parts under kPlantSegment. Hide Selected also hides selected elements of
    // the plot: object segments (HObjectManager) of kind kElementObjectKind anywhere under
    // kLibrarySegment.
    static constexpr const char* kPlantSegment = "/include library/halden/Drafton";
    static constexpr const char* kLibrarySegment = "/include library/halden";
    static constexpr const char* kElementObjectKind = "Element";
    void HideSelectedDraftonParts();
    // Hides the part under `point` (window pixels).
    void HideLocalElement(CPoint point);
    void UnhideDraftonSegment(long key);
    // Show All: every hidden part under kPlantSegment and every hidden element under
    // kLibrarySegment shows again, and so does every element kind (our host's meaning).
    void ShowAllDraftonParts();
    // Element-kind "On" toggle over the nine include-library segments.
    void OnVisibilityAll();
    // One element kind's toggle: hides the segment ("everything=off") when it has no
    // visibility of its own, else removes its visibility.
    void ToggleElementKind(const char* segment);
    // Whether `segment` shows: it has no visibility attribute of its own.
    static bool ElementKindShown(const char* segment);

    // --- command handlers (the command map calls these; hosts may override)
    virtual void OnStandardView(ViewMode mode);
    virtual void OnGouraudShading();
    virtual void OnTranslucentObjects();
    virtual void OnInsertCuttingPlane();
    virtual void OnDeleteCuttingPlane();
    virtual void OnCuttingPlaneX();
    virtual void OnViewCompass();
    virtual void OnForces();
    virtual void OnFourViews();
    virtual void OnEditUndo();
    // The operator a command installs (null for ids that install none). Operators get the
    // view, repeat 0 and capture 1.
    virtual HBaseOperator* CreateOperator(unsigned int commandId);
    // The walk command's operator, configured from the walk settings.
    virtual HBaseOperator* CreateWalkOperator();
    // Walk (40003): a configured walk operator (or the current walk reconfigured) and the
    // navigation panel.
    virtual void OnWalk();

    // --- notes (context menu items 130 and 131 act on the note found under the cursor)
    // The note under window pixel `point` (an item of an object segment of kind
    // "Annotation"), -1 when none.
    long FindNoteUnderCursor(CPoint point);
    // Deletes the note's object segment after telling the object-manipulation listeners.
    virtual void DeleteNote(long noteKey);
    // Edits the note's text in the note-text dialog.
    virtual void EditNote(long noteKey);

    // --- output (the output commands call these)
    // The document's file (its path name), "" without a document.
    std::string GetDocumentPath() const;
    virtual void OnFileSaveAs();
    virtual void OnFileSaveAsHTML();
    virtual void OnBitmap();
    // Copy (57634): the picture on the clipboard, reduced to 256 colours unless the
    // clipboard is true colour.
    bool OnEditCopy() override;
    // Printing: prepare (false cancels), begin, print, end. OnPrint prints through the base
    // window with the view's constant-frame-rate object stopped meanwhile.
    virtual bool OnPreparePrinting(ketra::window::PrintRequest& request);
    virtual void OnBeginPrinting();
    virtual bool OnPrint(const ketra::window::PrintRequest& request);
    virtual void OnEndPrinting();
    // The whole print sequence for commands 57607 (dialog), 57608 (direct), 57609 (preview).
    bool RunPrint(ketra::window::PrintRequest request);

    // --- context menu
    // Loads menu 203 from the component's resources and returns its first popup, edited as
    // the current state says (checks, radio checks, config type, plant parts). False when
    // the menu cannot be loaded.
    bool BuildContextMenu(CMenu& popup);

    // --- window messages (see the routing table in the .cpp)
    void OnInitialUpdate() override;
    void OnPaint() override;
    void OnLButtonDown(unsigned int nFlags, CPoint point) override;
    void OnMButtonDown(unsigned int nFlags, CPoint point) override;
    void OnMButtonUp(unsigned int nFlags, CPoint point) override;
    void OnMButtonDblClk(unsigned int nFlags, CPoint point) override;
    void OnRButtonDown(unsigned int nFlags, CPoint point) override;
    void OnRButtonUp(unsigned int nFlags, CPoint point) override;
    void OnRButtonDblClk(unsigned int nFlags, CPoint point) override;
    void OnMouseMove(unsigned int nFlags, CPoint point) override;
    void OnKeyDown(unsigned int nChar, unsigned int nRepCnt, unsigned int nFlags) override;

    // --- state (the toggles of the commands)
    bool GetFacesShown() const { return m_facesShown; }
    bool GetEdgesShown() const { return m_edgesShown; }
    bool GetLightsShown() const { return m_lightsShown; }
    bool GetMarkersShown() const { return m_markersShown; }
    bool GetAllElementKindsShown() const { return m_allKindsShown; }
    bool GetFourViews() const { return m_fourViews; }
    bool GetCuttingPlanesExist() const { return m_cuttingPlanesExist; }
    HBaseOperator* GetSavedOperator() const { return m_savedOperator; }
    const HPoint& GetRightClickPoint() const { return m_rightClickPoint; }
    long GetNoteKey() const { return m_noteKey; }
    std::uint32_t GetPlantPartHidden() const { return m_plantPartHidden; }

    // --- output options
    bool GetFastPrint() const { return m_fastPrint; }
    void SetFastPrint(bool on) { m_fastPrint = on; }
    bool GetMetaPrint() const { return m_metaPrint; }
    void SetMetaPrint(bool on) { m_metaPrint = on; }
    bool GetClipboardTruecolor() const { return m_clipboardTrueColor; }
    void SetClipboardTruecolor(bool on) { m_clipboardTrueColor = on; }
    bool GetClipboardTrueColor() const { return m_clipboardTrueColor; }
    void SetClipboardTrueColor(bool on) { m_clipboardTrueColor = on; }
    int GetMetafileType() const { return m_metafileType; }
    void SetMetafileType(int type) { m_metafileType = type; }

protected:
    // Whether the pipe style's faces transmission is non-zero (the styles are translucent).
    static bool StylesAreTranslucent();
    static void SetVisibilityOnSegment(long segment, const char* visibility);
    // Whether `op` (may be null) walks: the library's or the host's walk operator.
    static bool IsWalkOperator(HBaseOperator* op);
    // The model segment's visibility for the Edges toggle's state.
    static const char* EdgesVisibility(bool shown);
    // The current operator's name ("" without a view or operator).
    std::string CurrentOperatorName() const;
    bool CurrentOperatorIs(const char* name) const { return CurrentOperatorName() == name; }
    // An event of `type` at window pixel `point` for the view.
    HEventInfo MakeEvent(HEventType type, unsigned int nFlags, CPoint point);
    void RegisterCommands();
    void RegisterViewCommands();
    void RegisterOperatorCommands();
    void RegisterSceneCommands();
    void RegisterOtherCommands();

    HBaseViewEx* m_pHViewEx = nullptr;
    HOpConfig* m_config = nullptr;
    CPalette m_palette;
    bool m_facesShown = true;
    bool m_edgesShown = true;
    bool m_lightsShown = true;
    bool m_markersShown = false;
    bool m_allKindsShown = true;
    bool m_fourViews = false;
    bool m_fastPrint = true;
    bool m_metaPrint = false;
    bool m_clipboardTrueColor = true;
    int m_metafileType = 1;
    bool m_cuttingPlanesExist = false;
    // A middle-button pan is in progress: the pan operator is current and m_savedOperator
    // (possibly null) waits to be restored.
    bool m_panLent = false;
    HBaseOperator* m_savedOperator = nullptr;
    // The projection a walk replaced with perspective (ProjUnknown while no walk runs).
    HProjMode m_projectionBeforeWalk = ProjUnknown;
    HPoint m_rightClickPoint;
    long m_noteKey = -1;
    std::uint32_t m_plantPartHidden = 0;
};
