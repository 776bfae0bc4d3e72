// The frame: menu bar and tool bar from a resource module's command menus, their states
// following the view window's OnUpdateCommand, their actions reaching its OnCommand, and the
// minimal File menu when the module is missing.
#include "UiTestSupport.h"

#include "platform/hc/hc.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HBaseView.h"
#include "platform/ui/HoopsMainWindow.h"
#include "platform/window/CMenu.h"
#include "platform/window/ResourceModule.h"
#include "view/window/ViewCommands.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include <functional>
#include <memory>

using ketra::ui::HoopsMainWindow;
using uitest::RecordingView;

namespace {

constexpr const char* kModule = "ketra_ui_test_resources.dll";

void RegisterTestModule() {
    ketra::window::ResourceModule module;
    module.name = kModule;
    module.menus[128] = R"(
128 MENU
BEGIN
    POPUP "&View"
    BEGIN
        MENUITEM "&Front",            42835
        MENUITEM "&Back",             43022
        MENUITEM SEPARATOR
        POPUP "&Render Mode"
        BEGIN
            MENUITEM "&Wireframe",    42801
        END
        MENUITEM "&Undo",             57643
    END
    POPUP "&Tools"
    BEGIN
        MENUITEM "&Orbit Camera",     42795
    END
END
)";
    module.menus[129] = R"(
129 MENU
BEGIN
    MENUITEM "Front",                 42835
    MENUITEM SEPARATOR
    MENUITEM "Orbit Camera",          42795
    MENUITEM "Undo",                  57643
END
)";
    ketra::window::RegisterResourceModule(module);
}

// Commands whose states the test flips: Front/Back a radio pair, Orbit a check, Undo enabled
// by a flag; Wireframe has neither handler nor updater.
struct State {
    int viewMode = 20;
    bool orbit = false;
    bool undo = false;
};

std::unique_ptr<RecordingView> MakeWindow(State& state) {
    auto window = std::make_unique<RecordingView>();
    CommandMap& commands = window->Commands();
    commands.Add(
        42835, [&state] { state.viewMode = 20; },
        [&state](CCmdUI& ui) { ui.SetRadio(state.viewMode == 20); });
    commands.Add(
        43022, [&state] { state.viewMode = 21; },
        [&state](CCmdUI& ui) { ui.SetRadio(state.viewMode == 21); });
    commands.Add(
        42795, [&state] { state.orbit = !state.orbit; },
        [&state](CCmdUI& ui) { ui.SetCheck(state.orbit); });
    commands.Add(
        57643, [&state] { state.undo = false; }, [&state](CCmdUI& ui) { ui.Enable(state.undo); });
    return window;
}

ketra::ui::SurfaceChoice RasterChoice() {
    ketra::ui::SurfaceChoice choice;
    choice.why = "the frame tests draw offscreen";
    return choice;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestModule();
        auto owned = MakeWindow(state);
        window = owned.get();
        // The raster form: these tests are about the frame, not about OpenGL.
        frame = std::make_unique<HoopsMainWindow>(std::move(owned), RasterChoice());
        ASSERT_TRUE(frame->LoadCommandBars(kModule));
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }

    QAction* MenuAction(unsigned int id) const {
        const QList<QAction*> found = frame->CommandActions(id);
        for (QAction* a : found)
            if (!frame->CommandToolBar()->actions().contains(a))
                return a;
        return nullptr;
    }
    QAction* ToolAction(unsigned int id) const {
        for (QAction* a : frame->CommandToolBar()->actions())
            if (a->data().toUInt() == id && !a->isSeparator())
                return a;
        return nullptr;
    }

    State state;
    RecordingView* window = nullptr;
    std::unique_ptr<HoopsMainWindow> frame;
};

TEST_F(FrameTest, MenuBarAndToolBarComeFromTheCommandMenus) {
    const QList<QAction*> top = frame->menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), "&View");
    EXPECT_EQ(top[1]->text(), "&Tools");
    const QList<QAction*> view = top[0]->menu()->actions();
    ASSERT_EQ(view.size(), 7);  // the module's five, then the frame's own Frame Rate toggle
    EXPECT_TRUE(view[2]->isSeparator());
    ASSERT_NE(view[3]->menu(), nullptr);
    EXPECT_EQ(view[3]->menu()->actions()[0]->text(), "&Wireframe");
    EXPECT_TRUE(view[5]->isSeparator());
    EXPECT_EQ(view[6]->text(), "Frame &Rate");
    EXPECT_EQ(view[6]->data().toUInt(), HoopsMainWindow::kFrameRateCommand);

    const QList<QAction*> tools = frame->CommandToolBar()->actions();
    ASSERT_EQ(tools.size(), 4);
    EXPECT_TRUE(tools[1]->isSeparator());
    EXPECT_EQ(tools[2]->text(), "Orbit Camera");
    // The tool tip says what the tool does; its icon is ours.
    EXPECT_EQ(tools[2]->toolTip(), "Orbit \u2014 Drag to turn the model about its centre");
    EXPECT_FALSE(tools[2]->icon().isNull());
    EXPECT_EQ(frame->CommandActions(42835).size(), 2);
}

TEST_F(FrameTest, ActionsFollowOnUpdateCommand) {
    frame->UpdateCommandActions();
    EXPECT_TRUE(MenuAction(42835)->isChecked());
    EXPECT_FALSE(MenuAction(43022)->isChecked());
    EXPECT_NE(MenuAction(43022)->actionGroup(), nullptr); // radio marks
    EXPECT_FALSE(MenuAction(42795)->isChecked());
    EXPECT_FALSE(MenuAction(57643)->isEnabled());
    EXPECT_FALSE(MenuAction(42801)->isEnabled()); // no handler: greyed
    EXPECT_TRUE(MenuAction(42835)->isEnabled());

    // A menu asks before it opens.
    state.viewMode = 21;
    state.undo = true;
    QMenu* viewMenu = frame->menuBar()->actions()[0]->menu();
    emit viewMenu->aboutToShow();
    EXPECT_FALSE(MenuAction(42835)->isChecked());
    EXPECT_TRUE(MenuAction(43022)->isChecked());
    EXPECT_TRUE(MenuAction(57643)->isEnabled());

    // The tool bar asks on its own, a moment later.
    state.orbit = true;
    state.undo = false;
    EXPECT_FALSE(ToolAction(42795)->isChecked());
    QTest::qWait(HoopsMainWindow::kUpdateIntervalMs * 2 + 100);
    EXPECT_TRUE(ToolAction(42795)->isChecked());
    EXPECT_FALSE(ToolAction(57643)->isEnabled());
    EXPECT_FALSE(ToolAction(42835)->isChecked());
}

TEST_F(FrameTest, ChoosingAnActionRunsTheCommand) {
    MenuAction(43022)->trigger();
    EXPECT_EQ(state.viewMode, 21);
    ToolAction(42795)->trigger();
    EXPECT_TRUE(state.orbit);
    EXPECT_EQ(window->commands, (std::vector<unsigned int>{43022, 42795}));
    // The frame is the window's port: posted commands come back to it.
    window->PostCommand(42835);
    QCoreApplication::processEvents();
    EXPECT_EQ(state.viewMode, 20);
}

TEST(FrameWithoutResources, ShowsAMinimalFileMenu) {
    State state;
    HoopsMainWindow frame(MakeWindow(state), RasterChoice());
    EXPECT_FALSE(frame.LoadCommandBars("no_such_module.dll"));
    const QList<QAction*> top = frame.menuBar()->actions();
    ASSERT_EQ(top.size(), 1);
    EXPECT_EQ(top[0]->text(), "&File");
    QStringList texts;
    for (QAction* a : top[0]->menu()->actions())
        texts << a->text();
    EXPECT_TRUE(texts.contains("E&xit"));
    EXPECT_EQ(frame.CommandToolBar(), nullptr);
    EXPECT_EQ(&frame.ViewWindow()->Port(), static_cast<ketra::window::WindowPort*>(&frame.Port()));
}

// A first OpenGL frame that cannot be drawn (here: the view's segment is gone) hands the
// window over to the raster form, which keeps forwarding input.
TEST(FrameFallback, FailedFirstOpenGLFrameSwitchesToTheRasterForm) {
    HBaseModel model;
    model.Init();
    auto view = std::make_unique<HBaseView>(&model);
    view->Init();
    auto window = std::make_unique<RecordingView>();
    RecordingView* recording = window.get();
    window->SetHoopsView(view.get(), false);
    HC_Delete_By_Key(view->GetViewKey());
    ketra::ui::SurfaceChoice openGL;
    openGL.openGL = true;
    HoopsMainWindow frame(std::move(window), openGL);
    ASSERT_TRUE(frame.Surface()->IsOpenGL());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    for (int i = 0; i < 100 && frame.Surface()->IsOpenGL(); ++i)
        QTest::qWait(20);
    ASSERT_FALSE(frame.Surface()->IsOpenGL());
    EXPECT_EQ(frame.centralWidget(), frame.Surface()->Widget());
    recording->messages.clear();
    QTest::mouseClick(frame.Surface()->Widget(), Qt::LeftButton, {}, QPoint(20, 30));
    ASSERT_GE(recording->messages.size(), 2u);
    EXPECT_EQ(recording->messages[0], "LButtonDown 0x1 20,30");
    frame.close();
}

// No menu of the component and no command id of the window or the application uses the
// frame's Frame Rate id.
TEST(FrameRate, CommandIdCollidesWithNoOtherCommand) {
    const unsigned int id = HoopsMainWindow::kFrameRateCommand;
    EXPECT_FALSE(ketra::view::IsApplicationCommand(id));
    ketra::view::RegisterComponentResources();
    const ketra::window::ResourceModule* module = ketra::window::LoadResourceModule(HoopsMainWindow::kResourceModule);
    ASSERT_NE(module, nullptr);
    ketra::window::ScopedResourceHandle handle(module);
    std::function<int(const CMenu&)> uses = [&](const CMenu& menu) {
        int n = 0;
        for (const CMenu::Item& item : menu.Items())
            n += (item.id == id ? 1 : 0) + (item.popup ? uses(*item.popup) : 0);
        return n;
    };
    for (unsigned int menuId : {ketra::view::kMenuMain, ketra::view::kMenuToolBar, ketra::view::kMenuContext}) {
        CMenu menu;
        menu.LoadMenu(menuId);
        EXPECT_GT(menu.GetMenuItemCount(), 0) << menuId;
        EXPECT_EQ(uses(menu), 0) << menuId;
    }
    // With the component's menu bar, the toggle is the only item that carries it.
    State state;
    HoopsMainWindow frame(MakeWindow(state), RasterChoice());
    frame.LoadCommandBars(HoopsMainWindow::kResourceModule);
    EXPECT_EQ(frame.CommandActions(id).size(), 1);
}

// The toggle shows frames per second in the status bar while the camera moves, and nothing
// once it rests or the toggle is off.
TEST(FrameRate, StatusBarShowsTheRateWhileTheCameraMoves) {
    RegisterTestModule();
    HBaseModel model;
    model.Init();
    HC_Open_Segment_By_Key(model.GetModelKey());
    const float points[] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    const int faces[] = {4, 0, 1, 2, 3};
    HC_Insert_Shell(4, points, 5, faces);
    HC_Close_Segment();
    HBaseView* view = new HBaseView(&model);  // owned by the window
    view->Init();
    auto window = std::make_unique<RecordingView>();
    window->SetHoopsView(view, true);
    HoopsMainWindow frame(std::move(window), RasterChoice());
    ASSERT_TRUE(frame.LoadCommandBars(kModule));
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QLabel* label = frame.findChild<QLabel*>("frameRateLabel");
    ASSERT_NE(label, nullptr);
    const QList<QAction*> toggle = frame.CommandActions(HoopsMainWindow::kFrameRateCommand);
    ASSERT_EQ(toggle.size(), 1);
    EXPECT_FALSE(label->isVisible());
    toggle[0]->trigger();
    EXPECT_TRUE(frame.FrameRateShown());
    frame.UpdateCommandActions();
    EXPECT_TRUE(toggle[0]->isChecked());
    EXPECT_TRUE(label->isVisible());

    auto orbit = [&] {
        HC_Open_Segment_By_Key(view->GetSceneKey());
        HC_Orbit_Camera(5, 0);
        HC_Close_Segment();
        view->Update();
        QTest::qWait(40);
    };
    view->Update();  // a frame at rest counts for nothing
    QTest::qWait(40);
    EXPECT_EQ(frame.FrameRateText(), "");
    for (int i = 0; i < 6; ++i) orbit();
    EXPECT_TRUE(frame.FrameRateText().endsWith(" fps")) << frame.FrameRateText().toStdString();
    EXPECT_EQ(label->text(), frame.FrameRateText());
    QTest::qWait(static_cast<int>(ketra::ui::FrameRateMeter::kIdleSeconds * 1000) + 400);
    EXPECT_EQ(frame.FrameRateText(), "");  // at rest
    EXPECT_EQ(label->text(), "");

    // A further pane's frames (four views) count by that pane's camera.
    HBaseView* paneView = new HBaseView(&model);
    paneView->Init();
    RecordingView pane;
    pane.SetHoopsView(paneView, true);
    for (int i = 0; i < 6; ++i) {
        HC_Open_Segment_By_Key(paneView->GetSceneKey());
        HC_Orbit_Camera(5, 0);
        HC_Close_Segment();
        frame.NoteFrame(&pane);
        QTest::qWait(20);
    }
    EXPECT_TRUE(frame.FrameRateText().endsWith(" fps")) << frame.FrameRateText().toStdString();
    QTest::qWait(static_cast<int>(ketra::ui::FrameRateMeter::kIdleSeconds * 1000) + 400);
    EXPECT_EQ(frame.FrameRateText(), "");

    toggle[0]->trigger();
    EXPECT_FALSE(frame.FrameRateShown());
    EXPECT_FALSE(label->isVisible());
    for (int i = 0; i < 3; ++i) orbit();
    EXPECT_EQ(frame.FrameRateText(), "");
    frame.close();
}

} // namespace
