// CHoopsViewEx: the component's view window. It shows one HBaseViewEx, routes the window's
// mouse and keyboard messages to the view's operator (with the middle button lending the view
// to a pan operator and the right button opening the context menu), and carries the
// component's commands (command ids below; see ViewCommands.h). Hosts subclass it: the
// virtual hooks that do nothing here are theirs to fill.
//
// Every handler that needs the view does nothing while no view is set.
#pragma once

#include "platform/mvo/HPoint.h"
#include "platform/window/CHoopsView.h"
#include "platform/window/CMenu.h"

#include <cstdint>

class HBaseOperator;
class HBaseViewEx;
class HKetraUtilityAnnotation;

// Stands in for the window's logical palette. Palette devices do not exist under X11 or
// Wayland, so it stays empty.
struct CPalette {
    int entries = 0;
};

class CHoopsViewEx : public CHoopsView {
public:
    explicit CHoopsViewEx(ketra::window::WindowPort* port = nullptr);
    ~CHoopsViewEx() override;

    // --- view
    // Sets the view (an HBaseViewEx, or null); see CHoopsView::SetHoopsView for ownership.
    void SetHoopsViewEx(HBaseView* view, bool takeOwnership = true);
    virtual HBaseViewEx* GetHoopsViewEx();
    // Deletes the view's current operator (when there is one), makes `op` current, updates.
    void LocalSetOperator(HBaseOperator* op);

    // --- virtual hooks and helpers (the order follows the base class's)
    // Returns non-zero to show the context menu; a host may edit `menu` first.
    virtual int UpdatePopupMenu(CMenu* menu);
    virtual void set_status_view_to_be_restored(bool restore);
    virtual void set_status_isLoading(bool loading);
    virtual void Unset_Centerline_Settings();
    virtual CPalette* GetPalette();
    // Posts 32837 (Show Supports and Restraints) when the plot configuration shows restraints.
    virtual void SetInitialSymbolVisibility();
    // Does nothing.
    virtual void SetSpeedyMovement(int speedy);
    virtual void InsertAnnotations(long key, const char* text, HKetraUtilityAnnotation* note);
    virtual void UpdateAnnotations(long key, HKetraUtilityAnnotation* note);
    virtual void OnUpdateRigidOnly(int a, int b);

    // Visibility of one style segment's symbols ("/Style Library/<style>").
    void SetSymbolVisibility(const char* style, unsigned int on);
    // Plant-design parts under "/include library/halden/Drafton".
    void HideSelectedDraftonParts();
    void HideLocalElement(CPoint point);
    void UnhideDraftonSegment(long key);
    // Element-kind "On" toggle over the nine include-library segments.
    void OnVisibilityAll();

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
    HBaseOperator* GetSavedOperator() const { return m_savedOperator; }
    const HPoint& GetRightClickPoint() const { return m_rightClickPoint; }
    long GetNoteKey() const { return m_noteKey; }
    std::uint32_t GetPlantPartHidden() const { return m_plantPartHidden; }

    // --- output options
    bool GetFastPrint() const { return m_fastPrint; }
    void SetFastPrint(bool on) { m_fastPrint = on; }
    bool GetMetaPrint() const { return m_metaPrint; }
    void SetMetaPrint(bool on) { m_metaPrint = on; }
    bool GetClipboardTrueColor() const { return m_clipboardTrueColor; }
    void SetClipboardTrueColor(bool on) { m_clipboardTrueColor = on; }
    int GetMetafileType() const { return m_metafileType; }
    void SetMetafileType(int type) { m_metafileType = type; }

protected:
    HBaseViewEx* m_pHViewEx = nullptr;
    CPalette m_palette;
    bool m_facesShown = true;
    bool m_edgesShown = true;
    bool m_lightsShown = true;
    bool m_markersShown = false;
    bool m_allKindsShown = true;
    bool m_fourViews = false;
    bool m_fastPrint = false;
    bool m_metaPrint = false;
    bool m_clipboardTrueColor = true;
    int m_metafileType = 0;
    HBaseOperator* m_savedOperator = nullptr;
    HPoint m_rightClickPoint;
    long m_noteKey = -1;
    std::uint32_t m_plantPartHidden = 0;
};
