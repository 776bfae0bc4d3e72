// `ketra view` as an application, on a real X display: opening good and broken models, the
// four-view splitter, the segment browser selecting in the view, the overview following the
// main camera, the walk panel, the help and Options dialogs, and what is kept in the
// settings store.
#include "UiTestSupport.h"

#include "Viewer.h"
#include "ViewerApp.h"
#include "config/CAppSettings.h"
#include "operators/HSOpCameraDrag.h"
#include "platform/hc/hc.h"
#include "platform/io/HIOManager.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/sys/Registry.h"
#include "platform/ui/CSegmentDialogBar.h"
#include "platform/ui/FourViewSplitter.h"
#include "platform/ui/HoopsMainWindow.h"
#include "platform/ui/KeysAndMouseDialog.h"
#include "platform/ui/OverviewDock.h"
#include "platform/ui/PropertiesPanel.h"
#include "platform/ui/WalkNavigationPanel.h"
#include "view/window/CHoopsViewEx.h"
#include "view/HMyBaseView.h"
#include "view/window/ViewCommands.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QDragEnterEvent>
#include <QUrl>
#include <QMouseEvent>
#include <QTableWidget>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using ketra::app::ViewerApp;
using uitest::WaitFor;
using namespace ketra::view;

namespace {

const std::string kPlant = std::string(KETRA_SOURCE_DIR) + "/samples/plant.json";

// A picture once the area can draw (after pending repaints have run).
QImage Settled(const std::function<QImage()>& grab) {
    QImage picture;
    WaitFor([&] {
        picture = grab();
        return !picture.isNull();
    });
    QApplication::processEvents();
    return grab();
}

long DifferentPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return a.width() * a.height();
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    long count = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col)
            count += x.pixel(col, row) != y.pixel(col, row);
    return count;
}

void Camera(HBaseView* view, HPoint* position, HPoint* target) {
    HC_Open_Segment_By_Key(view->GetSceneKey());
    HPoint up;
    float width = 0, height = 0;
    char projection[64];
    HC_Show_Camera(position, target, &up, &width, &height, projection);
    HC_Close_Segment();
}

class ViewerAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("ketra_viewer_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
        setenv("KETRA_REGISTRY", (m_folder / "registry.reg").c_str(), 1);
        m_app = std::make_unique<ViewerApp>(ketra::app::ViewerOptions{});
        ASSERT_TRUE(m_app->OpenFile(kPlant));
        m_app->Show();
        QApplication::processEvents();
    }
    void TearDown() override {
        m_app.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
        unsetenv("KETRA_REGISTRY");
    }
    std::string Write(const char* name, const std::string& text) {
        const std::filesystem::path path = m_folder / name;
        std::ofstream(path) << text;
        return path.string();
    }
    CHoopsViewEx& Main() { return m_app->MainWindow(); }
    HBaseView* MainView() { return Main().GetHoopsView(); }
    long LibrarySegments() {
        long count = 0;
        HC_Begin_Contents_Search("/include library/halden/...", "segments");
        char type[64];
        HC_KEY key = -1;
        while (HC_Find_Contents(type, &key))
            ++count;
        HC_End_Contents_Search();
        return count;
    }

    std::filesystem::path m_folder;
    std::unique_ptr<ViewerApp> m_app;
};

TEST_F(ViewerAppTest, OpensAGoodModelAndKeepsItWhenTheNextOneIsBroken) {
    EXPECT_TRUE(m_app->Frame().windowTitle().endsWith(" - Ketra"));
    ASSERT_NE(MainView(), nullptr);
    HBaseView* shown = MainView();
    const long segments = LibrarySegments();
    EXPECT_GT(segments, 10);

    // The element's "to" node is missing: the loader names file, line and column.
    const std::string broken = Write("broken.json", "{\n  \"units\": \"mm\",\n  \"nodes\": [\n");
    QString message;
    uitest::WhenModalOpens([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w))
            message = box->text();
        w->close();
    });
    std::string error;
    EXPECT_FALSE(m_app->OpenFile(broken, &error));
    EXPECT_EQ(message.toStdString(), error);
    EXPECT_EQ(error.rfind(broken + ":", 0), 0u) << error;
    int line = 0, column = 0;
    EXPECT_EQ(std::sscanf(error.c_str() + broken.size(), ":%d:%d:", &line, &column), 2) << error;

    // The plant is still shown, drawn as before, and the broken file is not remembered.
    EXPECT_EQ(MainView(), shown);
    EXPECT_EQ(m_app->Document().Path(), kPlant);
    EXPECT_EQ(LibrarySegments(), segments);
    ASSERT_FALSE(m_app->Recent().Paths().empty());
    EXPECT_EQ(m_app->Recent().Paths().front(), kPlant);
    EXPECT_EQ(m_app->Recent().Paths().size(), 1u);

    // Opening a good model again replaces the view and redraws the library.
    EXPECT_TRUE(m_app->OpenFile(kPlant));
    EXPECT_EQ(LibrarySegments(), segments);
    EXPECT_NE(MainView(), nullptr);
    EXPECT_FALSE(Settled([&] { return m_app->Frame().Picture(); }).isNull());
}

// A scene file that changes after it was checked is shown as it was checked: nothing is
// read from the file once the current model has gone.
TEST(ViewerDocumentTest, ASceneFileChangedAfterItsCheckIsShownAsChecked) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("ketra_changing_" + std::to_string(::getpid()) + ".hmf");
    std::ofstream(path) << "KETRA-HMF 1\nsegment \"model_1\" {\nmarker 1 2 3\n}\nend-of-file\n";
    ketra::app::ViewerDocument document({});
    ASSERT_TRUE(document.Open(kPlant, nullptr));
    std::string error;
    const auto cutTheFile = [&] { std::ofstream(path) << "KETRA-HMF 1\ncut"; };
    EXPECT_TRUE(document.Open(path.string(), &error, cutTheFile)) << error;
    ASSERT_TRUE(document.HasModel());
    EXPECT_EQ(document.Path(), path.string());
    EXPECT_EQ(HC_QShow_Existence("/include library/scene file/model_1", "markers"), 1);
    std::filesystem::remove(path);
}

// Render > Gouraud Shading on a saved scene opened in the viewer keeps it in the picture.
TEST_F(ViewerAppTest, GouraudShadingKeepsAnOpenedSceneFile) {
    const std::string scene = (m_folder / "plant.hsf").string();
    ASSERT_EQ(HIOManager::Instance()->GetOutputHandler("hsf")->FileOutputByKey(
                  scene.c_str(), m_app->Document().View().GetModel()->GetModelIncludeKey(), nullptr),
              OutputOK);
    ASSERT_TRUE(m_app->OpenFile(scene));
    const auto picture = [&] { return Settled([&] { return m_app->Frame().Picture(); }); };
    const QImage shown = picture();
    Main().OnCommand(kCmdWireframe);
    const QImage wireframe = picture();
    Main().OnCommand(kCmdGouraud);
    const QImage shaded = picture();
    if (const char* out = std::getenv("KETRA_SCREENSHOT_DIR")) {
        shown.save(QString(out) + "/scene-shown.png");
        shaded.save(QString(out) + "/scene-gouraud.png");
    }
    // Shaded again, the scene looks as it did when opened; an emptied view would differ from
    // it wherever the plant was.
    const long changed = DifferentPixels(shown, shaded);
    EXPECT_GT(DifferentPixels(shown, wireframe), 4 * changed) << changed;
}

// The window paints each frame after the Update that asked for it; the view must still judge
// the painted frames, or a drag on a large model never coarsens. The target makes any painted
// frame too slow (over 0.6 ms) while the request to paint alone is fast.
TEST_F(ViewerAppTest, ADragInTheWindowCoarsensTheDetailAndTheRestRestoresIt) {
    HConstantFrameRate* rate = MainView()->GetConstantFrameRateObject();
    ASSERT_TRUE(rate->GetActive());
    rate->SetTargetFrameRate(2000.0f);
    ASSERT_NE(m_app->Frame().Surface(), nullptr);
    QWidget* area = m_app->Frame().Surface()->Widget();
    ASSERT_FALSE(Settled([&] { return m_app->Frame().Picture(); }).isNull());
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(100, 100));
    int highest = 0;
    for (int i = 1; i <= 6; ++i) {
        const QPointF at(100 + 8 * i, 100);
        QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(area, &move);
        WaitFor([] { return false; }, 60);  // the window paints the motion frame
        highest = std::max(highest, rate->GetDetailLevel());
    }
    EXPECT_GT(highest, 0);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(148, 100));
    EXPECT_TRUE(WaitFor([&] { return rate->GetDetailLevel() == 0; }, 3000));  // the frame at rest
}

TEST_F(ViewerAppTest, RecentFilesAndWindowStateAreKeptInTheSettingsStore) {
    m_app->Frame().UpdateCommandActions();
    QList<QAction*> first = m_app->Frame().CommandActions(kCmdAppRecentFile1);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(first.front()->text(), "&1 plant.json");
    EXPECT_TRUE(first.front()->isEnabled());
    QList<QAction*> second = m_app->Frame().CommandActions(kCmdAppRecentFile1 + 1);
    ASSERT_FALSE(second.isEmpty());
    EXPECT_FALSE(second.front()->isEnabled());
    EXPECT_FALSE(second.front()->isVisible());  // unused slots are hidden

    m_app->Frame().resize(900, 650);
    m_app->MainWindow().OnCommand(kCmdAppSegmentBrowser);
    QApplication::processEvents();
    m_app->Frame().close(); // stores the settings
    m_app.reset();

    EXPECT_EQ(ketra::app::ViewerSettings::LoadRecentFiles().Paths(),
              std::vector<std::string>{kPlant});
    m_app = std::make_unique<ViewerApp>(ketra::app::ViewerOptions{});
    ASSERT_TRUE(m_app->OpenFile(kPlant));
    m_app->Show();
    QApplication::processEvents();
    EXPECT_EQ(m_app->Frame().size(), QSize(900, 650));
    EXPECT_TRUE(m_app->SegmentBrowser().isVisible());
    EXPECT_FALSE(m_app->Overview().isVisible());
}

TEST_F(ViewerAppTest, RecentFilesAreCanonicalAndOpenListsEveryReadableType) {
    // Named relative to the working folder, through a link and ".": stored as the file itself.
    std::filesystem::create_directory_symlink(std::string(KETRA_SOURCE_DIR) + "/samples",
                                              m_folder / "link");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_folder);
    const bool opened = m_app->OpenFile("./link/./plant.json", nullptr, true);
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(opened);
    EXPECT_EQ(m_app->Recent().Paths(),
              std::vector<std::string>{std::filesystem::canonical(kPlant).string()});

    QStringList filters;
    uitest::WhenModalOpens([&](QWidget* w) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w))
            filters = dialog->nameFilters();
        qobject_cast<QDialog*>(w)->reject();
    });
    Main().OnCommand(kCmdAppFileOpen);
    EXPECT_EQ(filters, (QStringList{"Models and scene files (*.json *.pcf *.hsf *.hmf)",
                                    "Piping models (*.json)", "PCF files (*.pcf)",
                                    "Scene files (*.hsf *.hmf)", "All files (*)"}));
}

TEST(RecentFilesTest, NewestFirstWithoutDuplicatesAndAtMostFour) {
    ketra::app::RecentFiles files({"a", "b", "", "a"});
    EXPECT_EQ(files.Paths(), (std::vector<std::string>{"a", "b"}));
    for (const char* path : {"c", "d", "e", "b"})
        files.Add(path);
    EXPECT_EQ(files.Paths(), (std::vector<std::string>{"b", "e", "d", "c"}));
    files.Remove("e");
    EXPECT_EQ(files.Paths(), (std::vector<std::string>{"b", "d", "c"}));
}

TEST_F(ViewerAppTest, AFileDroppedOnTheWindowOpensAndStartPathsAreAbsolute) {
    const std::filesystem::path copy = m_folder / "dropped.json";
    std::filesystem::copy_file(kPlant, copy);
    ketra::app::AcceptFileDrops(m_app->Frame(), [this](const std::string& path) { m_app->OpenFile(path); });
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(copy.string()))});
    QMimeData text;
    text.setText("not a file");
    const QPoint at = m_app->Frame().rect().center();
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&m_app->Frame(), &refused);
    EXPECT_FALSE(refused.isAccepted());
    QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&m_app->Frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&m_app->Frame(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(WaitFor([&] { return m_app->Document().Path() == copy.string(); }))
        << m_app->Document().Path();

    const std::filesystem::path start = std::filesystem::current_path();
    std::filesystem::current_path(m_folder);
    EXPECT_EQ(ketra::app::StartPath("./sub/../dropped.json"), copy.string());
    std::filesystem::current_path(start);
}

TEST_F(ViewerAppTest, FourViewsAndBackToOne) {
    m_app->Frame().UpdateCommandActions();
    QList<QAction*> toggle = m_app->Frame().CommandActions(kCmdFourViews);
    ASSERT_FALSE(toggle.isEmpty());
    EXPECT_TRUE(toggle.front()->isEnabled()); // the viewer is an input plot

    Main().OnCommand(kCmdFourViews);
    QApplication::processEvents();
    EXPECT_TRUE(m_app->Panes().IsFour());
    EXPECT_TRUE(Main().GetFourViews());
    auto* splitter = qobject_cast<ketra::ui::FourViewSplitter*>(m_app->Frame().centralWidget());
    ASSERT_NE(splitter, nullptr);
    EXPECT_EQ(splitter->Pane(0), m_app->Frame().Surface()->Widget());
    std::vector<HBaseView*> views{MainView()};
    for (int i = 1; i <= 3; ++i) {
        ASSERT_NE(m_app->Panes().Pane(i), nullptr);
        EXPECT_EQ(splitter->Pane(i), m_app->Panes().Pane(i)->Widget());
        views.push_back(m_app->Panes().Pane(i)->Window()->GetHoopsView());
    }
    // Every pane keeps its motion fluid at the configured rate.
    for (HBaseView* v : views) {
        ASSERT_NE(v->GetConstantFrameRateObject(), nullptr);
        EXPECT_TRUE(v->GetConstantFrameRateObject()->GetActive());
        EXPECT_FLOAT_EQ(v->GetConstantFrameRateObject()->GetTargetFrameRate(), CAppSettings::FrameRate);
    }
    // One model, four views, each with its own camera and operator.
    for (size_t i = 0; i < views.size(); ++i) {
        ASSERT_NE(views[i], nullptr);
        EXPECT_EQ(views[i]->GetModelKey(), MainView()->GetModelKey());
        ASSERT_NE(views[i]->GetOperator(), nullptr);
        for (size_t j = 0; j < i; ++j) {
            EXPECT_NE(views[i], views[j]);
            EXPECT_NE(views[i]->GetOperator(), views[j]->GetOperator());
            HPoint pi, ti, pj, tj;
            Camera(views[i], &pi, &ti);
            Camera(views[j], &pj, &tj);
            HPoint di(pi.x - ti.x, pi.y - ti.y, pi.z - ti.z),
                dj(pj.x - tj.x, pj.y - tj.y, pj.z - tj.z);
            const float li = std::sqrt(di.x * di.x + di.y * di.y + di.z * di.z);
            const float lj = std::sqrt(dj.x * dj.x + dj.y * dj.y + dj.z * dj.z);
            const float cosine = (di.x * dj.x + di.y * dj.y + di.z * dj.z) / (li * lj);
            EXPECT_LT(cosine, 0.99f) << "panes " << i << " and " << j << " look the same way";
        }
    }
    // The extra panes draw the model.
    const QImage iso = Settled([&] { return m_app->Panes().Pane(3)->Picture(); });
    ASSERT_FALSE(iso.isNull());
    EXPECT_GT(DifferentPixels(iso, QImage(iso.size(), iso.format()).copy()), 0);
    m_app->Frame().UpdateCommandActions();
    EXPECT_TRUE(toggle.front()->isChecked());

    // Menu commands act on the pane the user works in; the split stays the main window's.
    QList<QAction*> wireframe = m_app->Frame().CommandActions(kCmdWireframe);
    ASSERT_FALSE(wireframe.isEmpty());
    const HRenderMode before = MainView()->GetRenderMode();
    m_app->Panes().Pane(2)->Widget()->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    if (m_app->Panes().Splitter().GetActivePane() != 2) // no focus without an active X window
        m_app->Panes().Activate(2);
    EXPECT_EQ(m_app->Frame().CommandTarget(kCmdWireframe), m_app->Panes().Pane(2)->Window());
    wireframe.front()->trigger();
    EXPECT_EQ(views[2]->GetRenderMode(), HRenderWireframe);
    EXPECT_EQ(MainView()->GetRenderMode(), before);
    m_app->Frame().UpdateCommandActions();
    EXPECT_TRUE(wireframe.front()->isChecked()); // the active pane's state
    // Each pane is titled by its view, the active one marked; a new standard view renames it.
    EXPECT_EQ(splitter->Current(), 2);
    const char* titles[4] = {"Right", "Front", "Top", "SE Isometric"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(splitter->Title(i).toStdString(), titles[i]);
    m_app->Panes().Pane(2)->Window()->OnCommand(kCmdViewBack);
    m_app->Panes().UpdateTitles();
    EXPECT_EQ(splitter->Title(2).toStdString(), "Back");
    // The extra panes select whole elements in the main view's selection colours.
    HSelectionSet* paneSelection = views[3]->GetSelection();
    EXPECT_EQ(paneSelection->GetSelectionLevel(), MainView()->GetSelection()->GetSelectionLevel());
    EXPECT_EQ(paneSelection->GetHighlightColor(), MainView()->GetSelection()->GetHighlightColor());
    EXPECT_EQ(m_app->Frame().CommandTarget(kCmdFourViews), &Main());
    m_app->Panes().Activate(0);
    EXPECT_EQ(m_app->Frame().CommandTarget(kCmdWireframe), &Main());

    Main().OnCommand(kCmdFourViews);
    QApplication::processEvents();
    EXPECT_FALSE(m_app->Panes().IsFour());
    EXPECT_FALSE(Main().GetFourViews());
    EXPECT_EQ(m_app->Panes().Splitter().GetActivePane(), 0);
    EXPECT_EQ(m_app->Frame().centralWidget(), m_app->Frame().Surface()->Widget());
    EXPECT_EQ(m_app->Panes().Pane(1), nullptr);
    EXPECT_FALSE(Settled([&] { return m_app->Frame().Picture(); }).isNull());

    // Opening a model while four views show goes back to one first.
    Main().OnCommand(kCmdFourViews);
    EXPECT_TRUE(m_app->OpenFile(kPlant));
    EXPECT_FALSE(m_app->Panes().IsFour());
    EXPECT_FALSE(Main().GetFourViews());
}

TEST_F(ViewerAppTest, BrowserSelectionIsHighlightedInTheView) {
    Main().OnCommand(kCmdAppSegmentBrowser);
    ketra::ui::CSegmentDialogBar& bar = m_app->SegmentBrowser();
    ASSERT_TRUE(bar.isVisible());
    EXPECT_TRUE(bar.windowTitle().startsWith("Segment Browser - "));
    ASSERT_EQ(bar.Information()->count(), 2);
    EXPECT_TRUE(bar.Information()->item(0)->text().endsWith(" triangles"));

    // Down to the first pipe: model -> include of the library -> pipes -> its first element.
    CSegmentBrowserDlg& browser = *bar.Browser();
    auto childNamed = [&](int parent, const std::string& name) {
        QTreeWidgetItem* item = bar.TreeItem(parent);
        item->setExpanded(true); // fills the branch as a click on its arrow does
        for (int child : browser.GetItem(parent).children)
            if (browser.GetItem(child).text == name)
                return child;
        return -1;
    };
    // Named as the model names them, not by internal segment names.
    const int halden = childNamed(browser.GetRoot(), "Piping model");
    ASSERT_GE(halden, 0);
    const int pipes = childNamed(halden, "Pipes (9)");
    ASSERT_GE(pipes, 0);
    bar.TreeItem(pipes)->setExpanded(true);
    ASSERT_FALSE(browser.GetItem(pipes).children.empty());
    const int pipe = browser.GetItem(pipes).children.front();
    ASSERT_NE(bar.TreeItem(pipe), nullptr);
    EXPECT_EQ(browser.GetItem(pipe).text, "Pipe 20\u201325");

    const QImage before = Settled([&] { return m_app->Frame().Picture(); });
    bar.Tree()->setCurrentItem(bar.TreeItem(pipe));
    HSelectionSet* selection = MainView()->GetSelection();
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), browser.GetItem(pipe).segment);
    EXPECT_EQ(bar.Information()->item(0)->text(), "OD: 6.625 in");
    const QImage after = Settled([&] { return m_app->Frame().Picture(); });
    EXPECT_GT(DifferentPixels(before, after), 50) << "the selected pipe is not highlighted";

    // The view's selection, followed on request: the tree opens down to the selected item.
    // Following walks owners up to the model segment: a part drawn there directly (before
    // the tree is rebuilt, which lists the model segment's children afresh).
    HC_Open_Segment_By_Key(MainView()->GetModelKey());
    const HC_KEY part = HC_Open_Segment("site/unit 1/marker post");
    HC_Insert_Line(0, 0, 0, 1, 1, 1);
    HC_Close_Segment();
    HC_Close_Segment();
    bar.ToggleRoot();
    bar.ToggleRoot();
    EXPECT_EQ(selection->GetSize(), 0u);
    ASSERT_NE(bar.TreeItem(halden), nullptr);  // the tree was rebuilt, closed
    EXPECT_FALSE(bar.TreeItem(halden)->isExpanded());
    selection->Select(part, nullptr, 0, 0);
    ASSERT_EQ(selection->GetSize(), 1u);
    bar.FollowSelection();
    EXPECT_EQ(browser.GetExpandedPath().size(), 3u) << selection->GetAt(0) << " " << part;
    ASSERT_NE(bar.Tree()->currentItem(), nullptr);
    EXPECT_EQ(bar.Tree()->currentItem()->text(0), "marker post");
    ASSERT_NE(bar.Tree()->currentItem()->parent(), nullptr);
    EXPECT_EQ(bar.Tree()->currentItem()->parent()->text(0), "unit 1");
    EXPECT_EQ(selection->GetSize(), 1u); // following changes no selection
}

TEST_F(ViewerAppTest, OverviewFollowsTheMainCamera) {
    Main().OnCommand(kCmdAppOverview);
    ketra::ui::OverviewDock& dock = m_app->Overview();
    ASSERT_TRUE(dock.isVisible());
    ASSERT_NE(dock.Pane(), nullptr);
    HBaseView* overview = dock.Pane()->Window()->GetHoopsView();
    ASSERT_NE(overview, nullptr);
    auto* drag = dynamic_cast<HSOpCameraDrag*>(overview->GetOperator());
    ASSERT_NE(drag, nullptr);
    EXPECT_EQ(drag->GetTrackedView(), MainView());
    const QImage before = Settled([&] { return dock.Pane()->Picture(); });

    MainView()->SetViewMode(HViewTop, false, false);
    MainView()->CameraPositionChanged();
    EXPECT_TRUE(drag->GetCameraChanged());
    // The drag operator's timer rebuilds the pointer within its period.
    EXPECT_TRUE(WaitFor([&] { return !drag->GetCameraChanged(); }, 3000));
    const QImage after = Settled([&] { return dock.Pane()->Picture(); });
    EXPECT_GT(DifferentPixels(before, after), 10) << "the camera pointer did not move";

    Main().OnCommand(kCmdAppOverview);
    EXPECT_FALSE(dock.isVisible());
    // A new model: the overview follows the new main view.
    Main().OnCommand(kCmdAppOverview);
    ASSERT_TRUE(m_app->OpenFile(kPlant));
    ASSERT_NE(dock.Pane(), nullptr);
    auto* again =
        dynamic_cast<HSOpCameraDrag*>(dock.Pane()->Window()->GetHoopsView()->GetOperator());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetTrackedView(), MainView());
}

TEST_F(ViewerAppTest, WalkOpensTheNavigationPanelWhichWritesTheWalkSettings) {
    ketra::ui::WalkNavigationPanel& panel = m_app->Navigation();
    EXPECT_FALSE(panel.isVisible());
    Main().OnCommand(kCmdWalk);
    EXPECT_TRUE(panel.isVisible());
    const bool keyboard = CAppSettings::bWalkUseKeyboard;
    panel.KeyboardWalk()->click();
    EXPECT_EQ(CAppSettings::bWalkUseKeyboard, !keyboard);
    // Stored: a fresh load of the settings sees the change.
    CAppSettings::bWalkUseKeyboard = keyboard;
    CAppSettings::InitSettings();
    EXPECT_EQ(CAppSettings::bWalkUseKeyboard, !keyboard);
    panel.KeyboardWalk()->click();
}

TEST_F(ViewerAppTest, HelpListsKeysAndMouseAndToolsOpensOptions) {
    QStringList inputs;
    uitest::WhenModalOpens([&](QWidget* w) {
        if (auto* dialog = qobject_cast<ketra::ui::KeysAndMouseDialog*>(w))
            for (int row = 0; row < dialog->Table()->rowCount(); ++row)
                inputs << dialog->Table()->item(row, 0)->text();
        w->close();
    });
    Main().OnCommand(kCmdAppKeysAndMouse);
    for (const char* wanted : {"Left drag", "Middle drag", "Right click", "Wheel", "+ / -", "W / S", "A / D",
                               "Q / Z", "Delete", "Ctrl+4", "Ctrl+B", "Ctrl+Shift+V", "Ctrl+O", "F1",
                               "Ctrl+Shift+F", "Ctrl+Shift+I"})
        EXPECT_TRUE(inputs.contains(wanted)) << wanted;
    // The keys listed are the keys the menus have.
    for (const auto& [id, keys] : {std::pair{kCmdViewFront, "Ctrl+Shift+F"}, std::pair{kCmdFourViews, "Ctrl+4"},
                                   std::pair{kCmdViewIsoSE, "Ctrl+Shift+I"}}) {
        const QList<QAction*> actions = m_app->Frame().CommandActions(id);
        ASSERT_FALSE(actions.isEmpty());
        EXPECT_EQ(actions.front()->shortcut(), QKeySequence(keys)) << keys;
    }

    QString title;
    uitest::WhenModalOpens([&](QWidget* w) {
        title = w->windowTitle();
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
    });
    Main().OnCommand(kCmdAppOptions);
    EXPECT_FALSE(title.isEmpty());

    // Help > About Ketra names the version.
    QString about;
    uitest::WhenModalOpens([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w))
            about = box->text();
        w->close();
    });
    m_app->Frame().UpdateCommandActions();
    const QList<QAction*> aboutItems = m_app->Frame().CommandActions(ketra::ui::HoopsMainWindow::kAboutCommand);
    ASSERT_EQ(aboutItems.size(), 1);
    ASSERT_TRUE(aboutItems.front()->isEnabled());
    aboutItems.front()->trigger();
    EXPECT_TRUE(about.contains("Ketra " KETRA_VERSION)) << about.toStdString();
}

} // namespace

// What a user reads in the window: the status bar's words for every tool, the unit, the
// element under the pointer, its Properties on a double-click, and a tool bar of icons that
// fits one row at 1280 pixels.
TEST_F(ViewerAppTest, TheWindowTellsAboutElementsInWordsAndUnits) {
    ketra::ui::HoopsMainWindow& frame = m_app->Frame();
    frame.resize(1280, 900);
    QApplication::processEvents();
    QToolBar* bar = frame.CommandToolBar();
    ASSERT_NE(bar, nullptr);
    int row = -1;
    for (QAction* action : bar->actions()) {
        if (action->isSeparator())
            continue;
        QWidget* button = bar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible()) << action->toolTip().toStdString() << " is in the overflow";
        EXPECT_EQ(row < 0 ? button->y() : row, button->y());
        row = button->y();
        EXPECT_FALSE(action->icon().isNull()) << action->toolTip().toStdString();
        EXPECT_TRUE(action->toolTip().contains(QChar(0x2014))) << action->toolTip().toStdString();
    }

    for (unsigned int tool : std::initializer_list<unsigned int>{kCmdOrbitCamera, kCmdPanCamera, kCmdZoomCamera, kCmdZoomWindow, kCmdWalk,
                              kCmdSelectSingleClick, kCmdSelectWindow, kCmdAppMeasure, kCmdAppMarkupCircle,
                              kCmdAppMarkupNote, kCmdAppMarkupFreehand}) {
        Main().OnCommand(tool);
        const QString mode = frame.ModeText();
        EXPECT_FALSE(mode.contains("HOp") || mode.contains("HSOp") || mode.startsWith("Tool")) << mode.toStdString();
    }
    Main().OnCommand(kCmdOrbitCamera);
    EXPECT_EQ(frame.ModeText(), QString("Orbit \u00B7 Shaded"));
    // The standard views' keys work from the view (none made silent by a second action).
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    frame.Surface()->Widget()->setFocus();
    for (const auto& [keys, mode] : {std::pair{"Ctrl+Shift+T", HViewTop}, std::pair{"Ctrl+Shift+I", HViewIsoSE},
                                     std::pair{"Ctrl+Shift+F", HViewFront}}) {
        QTest::keySequence(&frame, QKeySequence(keys));
        QApplication::processEvents();
        EXPECT_EQ(MainView()->GetViewMode(), mode) << keys;
    }
    auto* units = frame.findChild<QLabel*>("unitsLabel");
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(units->text(), "Units: in");

    // A pixel well inside a pipe near the middle of the view (light blue: blue well above red,
    // and so two pixels each way), where a user points, not on its outline.
    const QImage picture = Settled([&] { return frame.Picture(); }).convertToFormat(QImage::Format_RGB32);
    const auto pipeColour = [&](int x, int y) {
        const QColor c = picture.pixelColor(std::clamp(x, 0, picture.width() - 1), std::clamp(y, 0, picture.height() - 1));
        return c.blue() > 150 && c.blue() > c.red() + 40 && c.green() > c.red();
    };
    QPoint pipe(-1, -1);
    long best = -1;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const long d = long(x - picture.width() / 2) * (x - picture.width() / 2) +
                           long(y - picture.height() / 2) * (y - picture.height() / 2);
            if (pipeColour(x, y) && pipeColour(x, y - 2) && pipeColour(x, y + 2) && pipeColour(x - 2, y) &&
                pipeColour(x + 2, y) && (best < 0 || d < best)) {
                best = d;
                pipe = QPoint(x, y);
            }
        }
    ASSERT_GE(best, 0);
    frame.ShowHoverText(pipe.x(), pipe.y());
    const QString hover = frame.statusBar()->currentMessage();
    EXPECT_TRUE(hover.contains(QChar(0x2013)) && hover.contains(" \u00B7 OD ") && hover.contains(" in \u00B7 "))
        << hover.toStdString();
    frame.ShowHoverText(2, 2);  // the background: the tool's hint
    EXPECT_TRUE(frame.statusBar()->currentMessage().startsWith("Drag to turn"));

    QTest::mouseDClick(frame.Surface()->Widget(), Qt::LeftButton, Qt::NoModifier, pipe);
    ketra::ui::PropertiesPanel* panel = nullptr;
    WaitFor([&] {
        panel = frame.findChild<ketra::ui::PropertiesPanel*>();
        return panel && panel->isVisible();
    });
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(hover.left(panel->Tree()->topLevelItem(0)->text(0).size()), panel->Tree()->topLevelItem(0)->text(0));
    EXPECT_TRUE(panel->Text().contains("\nOD\t")) << panel->Text().toStdString();

    // A PCF model shows the file's own units beside the model's.
    ASSERT_TRUE(m_app->OpenFile(Write("run.pcf", "UNITS-BORE MM\nUNITS-CO-ORDS INCH\nPIPELINE-REFERENCE L-1\n"
                                                 "PIPE\n    END-POINT 0 0 0 100\n    END-POINT 40 0 0 100\n")));
    EXPECT_EQ(units->text(), "Units: in (file: INCH, bore MM)");
}
