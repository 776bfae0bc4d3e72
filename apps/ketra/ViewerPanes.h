// ViewerPanes: the four-view splitter of `ketra view`. The main window's splitter logic
// (CCustSplitterWnd: the four-views flag, the first pane active after going back) decides;
// this class lays the panes out: with four, the main view window becomes the top-left pane
// (X camera) and three more view windows of the same model join it (Y, Z and iso cameras),
// each with its own view (HMyBaseView), operator and camera history. Going back to one view
// deletes the three and gives the main view window the whole client area again.
#pragma once

#include "platform/mvo/HBaseView.h"
#include "view/window/CHoopsShell.h"

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class CHoopsView;
class QWidget;
class HBaseModel;
class HOpConfig;

namespace ketra::ui {
class FourViewSplitter;
class HoopsMainWindow;
class ViewPane;
} // namespace ketra::ui

namespace ketra::app {

class ViewerPanes {
public:
    // The cameras of the four panes, top left first.
    static const std::array<ViewMode, 4> kPaneViews;

    // `frame` must outlive this object; its port's splitter is set to SetPanes.
    explicit ViewerPanes(ketra::ui::HoopsMainWindow& frame);
    ~ViewerPanes();

    // The model and plot configuration new panes show (null: no model, no split).
    void SetModel(HBaseModel* model, HOpConfig* config);

    // The port's splitter request: 1 or 4 panes.
    void SetPanes(int panes);
    bool IsFour() const { return m_splitter.GetFourViews(); }
    CCustSplitterWnd& Splitter() { return m_splitter; }
    // Extra pane 1..3 (0 is the main window); null while one view is shown.
    ketra::ui::ViewPane* Pane(int index) const;
    // Every view window shown now, the main one first.
    std::vector<CHoopsView*> Windows() const;
    // The window of the pane the user last clicked or gave the keyboard to (the main window
    // while one view shows). The frame's menu and tool-bar view commands go there;
    // application commands and the split itself stay with the main window.
    CHoopsView* ActiveWindow() const;
    // Makes pane `index` (0 main, 1..3 extra) the active one, as a click in it does.
    void Activate(int index);
    // The name a pane's title bar gives its view: the View menu's name of its standard view
    // ("Front", "SE Isometric", ...), "View" for none.
    static QString ViewName(ViewMode mode);
    // Sets each pane's title from its view now (a timer does it while four views show).
    void UpdateTitles();

private:
    void Layout(int panes);
    // The pane whose widget is or holds `widget`; -1 for none.
    int PaneOf(const QWidget* widget) const;

    ketra::ui::HoopsMainWindow& m_frame;
    HBaseModel* m_model = nullptr;
    HOpConfig* m_config = nullptr;
    CCustSplitterWnd m_splitter;
    std::array<std::unique_ptr<ketra::ui::ViewPane>, 3> m_extra;
    QPointer<ketra::ui::FourViewSplitter> m_widget;
    QMetaObject::Connection m_focusWatch;
    QTimer m_titleTimer;
};

} // namespace ketra::app
