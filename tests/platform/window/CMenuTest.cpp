// Menu model: resource scripts, item addressing by command and by position, checks, radio
// groups, greying, deletion, and showing a menu through a window's port.
#include <gtest/gtest.h>

#include "platform/window/CMenu.h"
#include "platform/window/CWnd.h"
#include "platform/window/RecordingPort.h"
#include "platform/window/ResourceModule.h"

namespace {

const char* kScript = R"(
// a context menu
203 MENU
BEGIN
    POPUP "TOOLS"
    BEGIN
        POPUP "Render Mode"
        BEGIN
            MENUITEM "&Edges",        42773, CHECKED
            MENUITEM "&Faces",        42774
        END
        MENUITEM SEPARATOR
        MENUITEM "Say ""hi""\tCtrl+H",       100, GRAYED
        POPUP "Views"
        BEGIN
            MENUITEM "Front", 42835
            MENUITEM "Back",  43022
            MENUITEM "Top",   42838
        END
        MENUITEM "Collaborate", 0xA84E
    END
END
)";

CMenu LoadTools()
{
    CMenu menu;
    std::string error;
    EXPECT_TRUE(menu.LoadFromScript(kScript, &error)) << error;
    CMenu* tools = menu.GetSubMenu(0);
    return tools ? *tools : CMenu();
}

TEST(CMenuTest, ScriptGivesItemsPopupsAndStates)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadFromScript(kScript));
    ASSERT_EQ(menu.GetMenuItemCount(), 1);
    EXPECT_EQ(menu.GetMenuString(0, MF_BYPOSITION), "TOOLS");
    const CMenu tools = LoadTools();
    ASSERT_EQ(tools.GetMenuItemCount(), 5);
    EXPECT_EQ(tools.GetMenuItemID(0), 0xFFFFFFFFu);  // popup
    EXPECT_EQ(tools.GetMenuItemID(1), 0u);           // separator
    EXPECT_EQ(tools.GetMenuItemID(2), 100u);
    EXPECT_EQ(tools.GetMenuString(100, MF_BYCOMMAND), "Say \"hi\"\tCtrl+H");
    EXPECT_EQ(tools.GetMenuState(100, MF_BYCOMMAND), static_cast<unsigned>(MF_GRAYED));
    EXPECT_EQ(tools.GetMenuState(42773, MF_BYCOMMAND), static_cast<unsigned>(MF_CHECKED));
    EXPECT_EQ(tools.GetMenuItemID(4), 0xA84Eu);
    EXPECT_EQ(tools.GetMenuState(0, MF_BYPOSITION) & MF_POPUP, static_cast<unsigned>(MF_POPUP));
    EXPECT_EQ(tools.CommandIds(),
              (std::vector<unsigned>{42773, 42774, 100, 42835, 43022, 42838, 0xA84E}));
}

TEST(CMenuTest, BadScriptsAreRefusedWithTheirLine)
{
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"", "no MENU"},
        {"1 MENU\nBEGIN\n MENUITEM \"A\", 1\n", "missing END"},
        {"1 MENU\nBEGIN\n MENUITEM \"A\" 1\nEND", "line 3: MENUITEM \"A\" needs a comma"},
        {"1 MENU\nBEGIN\n MENUITEM \"A\", x1\nEND", "line 3: bad id 'x1'"},
        {"1 MENU\nBEGIN\n MENUITEM \"A, 1\nEND", "line 3: unterminated string"},
        {"1 MENU\nBEGIN\n POPUP \"P\"\n MENUITEM \"A\", 1\nEND", "line 4: POPUP \"P\" without BEGIN"},
        {"1 MENU\nBEGIN\n WHAT\nEND", "line 3: unexpected 'WHAT'"},
        {"1 MENU\nBEGIN\n MENUITEM \"A\", 70000\nEND", "bad id '70000'"},
    };
    for (const auto& c : cases) {
        CMenu menu;
        menu.AppendMenu(MF_STRING, 5, "kept?");
        std::string error;
        EXPECT_FALSE(menu.LoadFromScript(c.script, &error)) << c.script;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(menu.GetMenuItemCount(), 0);
    }
    // Nesting without end is refused, not recursed into without bound.
    std::string deep = "1 MENU\nBEGIN\n";
    for (int i = 0; i < 100; ++i)
        deep += "POPUP \"p\"\nBEGIN\n";
    CMenu menu;
    EXPECT_FALSE(menu.LoadFromScript(deep));
}

TEST(CMenuTest, ChecksRadioGroupsAndGreying)
{
    CMenu tools = LoadTools();
    EXPECT_EQ(tools.CheckMenuItem(42773, MF_BYCOMMAND | MF_UNCHECKED), static_cast<unsigned>(MF_CHECKED));
    EXPECT_EQ(tools.GetMenuState(42773, MF_BYCOMMAND), 0u);
    EXPECT_EQ(tools.CheckMenuItem(999, MF_BYCOMMAND | MF_CHECKED), 0xFFFFFFFFu);

    CMenu* views = tools.GetSubMenu(3);
    ASSERT_NE(views, nullptr);
    EXPECT_TRUE(views->CheckMenuRadioItem(0, 2, 1, MF_BYPOSITION));
    EXPECT_TRUE(views->Items()[1].radio && views->Items()[1].checked);
    EXPECT_FALSE(views->Items()[0].checked);
    EXPECT_TRUE(views->CheckMenuRadioItem(0, 2, 2, MF_BYPOSITION));
    EXPECT_FALSE(views->Items()[1].checked);
    // A position outside the group checks nothing and says so.
    EXPECT_FALSE(views->CheckMenuRadioItem(0, 1, 2, MF_BYPOSITION));
    // By command, through the parent menu.
    EXPECT_TRUE(tools.CheckMenuRadioItem(42835, 42838, 42835, MF_BYCOMMAND));
    EXPECT_TRUE(views->Items()[0].checked);
    EXPECT_FALSE(views->Items()[2].checked);

    EXPECT_EQ(tools.EnableMenuItem(100, MF_BYCOMMAND | MF_ENABLED), static_cast<unsigned>(MF_GRAYED));
    EXPECT_EQ(tools.EnableMenuItem(3, MF_BYPOSITION | MF_GRAYED), static_cast<unsigned>(MF_ENABLED));
    EXPECT_TRUE(tools.Items()[3].grayed);
}

TEST(CMenuTest, DeleteRenameAppendAndCopy)
{
    CMenu tools = LoadTools();
    const CMenu copy = tools;
    EXPECT_TRUE(tools.DeleteMenu(43022, MF_BYCOMMAND));  // inside a popup
    EXPECT_EQ(tools.GetSubMenu(3)->GetMenuItemCount(), 2);
    EXPECT_EQ(copy.GetSubMenu(3)->GetMenuItemCount(), 3);  // deep copy
    EXPECT_TRUE(tools.DeleteMenu(0, MF_BYPOSITION));       // a popup
    EXPECT_EQ(tools.GetMenuItemCount(), 4);
    EXPECT_FALSE(tools.DeleteMenu(9, MF_BYPOSITION));
    EXPECT_FALSE(tools.DeleteMenu(12345, MF_BYCOMMAND));

    EXPECT_TRUE(tools.ModifyMenu(0xA84E, MF_BYCOMMAND | MF_STRING, 0xA84E, "Animate"));
    EXPECT_EQ(tools.GetMenuString(0xA84E, MF_BYCOMMAND), "Animate");
    tools.AppendMenu(MF_SEPARATOR);
    tools.AppendMenu(MF_STRING, 130, "Delete Note");
    EXPECT_EQ(tools.GetMenuItemID(tools.GetMenuItemCount() - 1), 130u);
    EXPECT_EQ(tools.GetMenuItemID(tools.GetMenuItemCount() - 2), 0u);
}

TEST(CMenuTest, LoadMenuReadsTheCurrentResourceModuleOnly)
{
    ketra::window::ResourceModule module;
    module.name = "Test_Menus.dll";
    module.menus[203] = kScript;
    module.menus[7] = "7 MENU BEGIN MENUITEM END";
    ketra::window::RegisterResourceModule(module);

    CMenu menu;
    EXPECT_FALSE(menu.LoadMenu(203));  // no current module
    const ketra::window::ResourceModule* loaded = ketra::window::LoadResourceModule("test_menus.DLL");
    ASSERT_NE(loaded, nullptr);
    {
        ketra::window::ScopedResourceHandle scope(loaded);
        EXPECT_TRUE(menu.LoadMenu(203));
        EXPECT_FALSE(menu.LoadMenu(204));
        EXPECT_FALSE(menu.LoadMenu(7));  // bad script
    }
    EXPECT_EQ(ketra::window::GetResourceHandle(), nullptr);
    EXPECT_EQ(ketra::window::LoadResourceModule("missing.dll"), nullptr);
}

class CommandWindow : public CWnd {
public:
    using CWnd::CWnd;
    std::vector<unsigned> run;
    bool OnCommand(unsigned id) override
    {
        run.push_back(id);
        return true;
    }
};

TEST(CMenuTest, TrackPopupSendsTheChoiceUnlessReturnCmd)
{
    ketra::window::RecordingPort port;
    port.popupChoice = 42774;
    CommandWindow window(&port);
    const CMenu tools = LoadTools();
    EXPECT_EQ(tools.TrackPopupMenu(0x2800, 10, 20, &window), 1u);
    EXPECT_EQ(window.run, (std::vector<unsigned>{42774}));
    EXPECT_EQ(port.lastMenuPoint, (CPoint{10, 20}));
    EXPECT_EQ(port.lastMenuFlags, 0x2800u);
    EXPECT_EQ(port.lastMenu.CommandIds(), tools.CommandIds());

    EXPECT_EQ(tools.TrackPopupMenu(TPM_RETURNCMD, 0, 0, &window), 42774u);
    EXPECT_EQ(window.run.size(), 1u);
    port.popupChoice = 0;
    EXPECT_EQ(tools.TrackPopupMenu(0, 0, 0, &window), 0u);
    EXPECT_EQ(window.run.size(), 1u);
    EXPECT_EQ(tools.TrackPopupMenu(0, 0, 0, nullptr), 0u);
}

TEST(CMenuTest, WindowsWithoutAPortStayInert)
{
    CWnd window;
    const CMenu tools = LoadTools();
    EXPECT_EQ(tools.TrackPopupMenu(TPM_RETURNCMD, 0, 0, &window), 0u);
    EXPECT_EQ(window.Port().MessageBox("x", "y", 0), ketra::window::IDCANCEL);
    std::string text = "keep";
    EXPECT_FALSE(window.Port().NoteTextDialog(text, "t"));
    EXPECT_EQ(text, "keep");
    EXPECT_FALSE(window.OnCommand(1));
    CCmdUI ui(1);
    EXPECT_FALSE(window.OnUpdateCommand(1, ui));
    window.Commands().Add(1, [] {}, [](CCmdUI& u) { u.Enable(false); });
    EXPECT_TRUE(window.OnCommand(1));
    EXPECT_TRUE(window.OnUpdateCommand(1, ui));
    EXPECT_FALSE(ui.IsEnabled());
}

} // namespace
