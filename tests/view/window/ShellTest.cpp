// The application shell: initialisation (resources, settings defaults written once, draw
// callbacks defined once), the splitter's one/four pane toggle, the class factory, and the
// segment browser over a known scene.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "view/ViewExFixture.h"
#include "model/HMySelectionSet.h"
#include "platform/sys/Registry.h"
#include "platform/window/CMenu.h"
#include "platform/window/RecordingPort.h"
#include "platform/window/ResourceModule.h"
#include "view/window/CHoopsShell.h"
#include "view/window/CHoopsViewEx.h"
#include "view/window/CSegmentBrowserDlg.h"
#include "view/window/ClassFactory.h"

namespace {

using namespace ketra::sys;

void HostCallback() {}

class RegistryFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = (std::filesystem::temp_directory_path() /
                  ("ketra-shell-" + std::to_string(getpid()) + ".reg")).string();
        std::filesystem::remove(m_path);
        setenv("KETRA_REGISTRY", m_path.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("KETRA_REGISTRY");
        std::filesystem::remove(m_path);
        std::filesystem::remove(m_path + ".lock");
    }

    static std::wstring Value(const wchar_t* name)
    {
        HKEY key = nullptr;
        std::wstring text;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, L"HOOPS", 0, KEY_READ, &key) != ERROR_SUCCESS)
            return L"<no key>";
        if (RegQueryString(key, name, &text) != ERROR_SUCCESS)
            text = L"<missing>";
        RegCloseKey(key);
        return text;
    }

    std::string m_path;
};

using ShellTest = RegistryFile;

TEST_F(ShellTest, InitialisationWritesMissingDefaultsOnly)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, L"HOOPS", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, nullptr), ERROR_SUCCESS);
    RegSetString(key, L"HOOPS_PICTURE", L"opengl/mine");
    RegCloseKey(key);

    CHOOPS_KETRAApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(Value(L"HOOPS_PICTURE"), L"opengl/mine");
    EXPECT_EQ(Value(L"HOOPS_SYSTEM_OPTIONS"), L"no errors,no warnings,no info");
    EXPECT_EQ(Value(L"HOOPS_FONT_DIRECTORY"), L"/usr/share/fonts");
    const std::wstring folder = Value(L"INSTALLATION_DIRECTORY");
    EXPECT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'/');
    EXPECT_EQ(Value(L"PARASOLID_SCHEMA_PATH"), folder);
    char options[4096] = "";
    HC_Show_System_Options(options);
    EXPECT_NE(std::string(options).find("font directory=/usr/share/fonts"), std::string::npos) << options;

    // A user's own values survive a second start; nothing is rewritten.
    key = nullptr;
    RegOpenKeyEx(HKEY_CURRENT_USER, L"HOOPS", 0, KEY_ALL_ACCESS, &key);
    RegSetString(key, L"HOOPS_SYSTEM_OPTIONS", L"errors");
    RegCloseKey(key);
    const auto before = std::filesystem::last_write_time(m_path);
    CHOOPS_KETRAApp second;
    ASSERT_TRUE(second.InitInstance());
    EXPECT_EQ(Value(L"HOOPS_SYSTEM_OPTIONS"), L"errors");
    EXPECT_EQ(std::filesystem::last_write_time(m_path), before);
}

TEST_F(ShellTest, ResourcesComeFromTheComponentsOwnModule)
{
    CHOOPS_KETRAApp app;
    ASSERT_TRUE(app.InitInstance());
    ASSERT_NE(app.GetResourceModule(), nullptr);
    EXPECT_EQ(ketra::window::GetResourceHandle(), app.GetResourceModule());
    CMenu menu;
    EXPECT_TRUE(menu.LoadMenu(203));
    EXPECT_EQ(menu.GetMenuString(0, MF_BYPOSITION), "TOOLS");
}

TEST_F(ShellTest, DrawCallbacksAreDefinedOncePerProcess)
{
    // A host defined one of the names first: it must stay the host's.
    HC_UnDefine_Callback_Name("ketra_drawmarker");
    HC_Define_Callback_Name("ketra_drawmarker", &HostCallback);

    CHOOPS_KETRAApp first, second;
    first.InitInstance();
    second.InitInstance();
    HC_CALLBACK callback = nullptr;
    HC_Show_Callback_Name("ketra_drawmarker", &callback);
    EXPECT_EQ(callback, &HostCallback);
    int seen[4] = {0, 0, 0, 0};
    const char* names[4] = {"ketra_drawline", "ketra_drawlineclip", "ketra_drawmarker",
                            "ketra_drawlinedummy"};
    HC_Begin_Callback_Name_Search();
    char name[256];
    while (HC_Find_Callback_Name(name))
        for (int i = 0; i < 4; ++i)
            seen[i] += std::string(name) == names[i];
    HC_End_Callback_Name_Search();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(seen[i], 1) << names[i];
    HC_Show_Callback_Name("ketra_drawline", &callback);
    EXPECT_NE(callback, nullptr);
    HC_UnDefine_Callback_Name("ketra_drawmarker");
}

TEST(SplitterTest, TogglesOneFourOneWithTheFlag)
{
    ketra::window::RecordingPort port;
    CHoopsChildWnd child(&port);
    CCustSplitterWnd* splitter = child.GetSplitterWnd();
    EXPECT_EQ(splitter->GetRowCount() * splitter->GetColumnCount(), 1);
    EXPECT_FALSE(splitter->GetFourViews());
    splitter->ToggleFourViews();
    EXPECT_EQ(splitter->GetRowCount(), 2);
    EXPECT_EQ(splitter->GetColumnCount(), 2);
    EXPECT_TRUE(splitter->GetFourViews());
    EXPECT_EQ(port.splitterPanes, 4);
    splitter->SetActivePane(3);
    splitter->ToggleFourViews();
    EXPECT_EQ(splitter->GetRowCount() * splitter->GetColumnCount(), 1);
    EXPECT_FALSE(splitter->GetFourViews());
    EXPECT_EQ(splitter->GetActivePane(), 0);
    EXPECT_EQ(port.splitterPanes, 1);
    // Enter or Escape ends a split in progress; other keys do not.
    splitter->StartTracking();
    EXPECT_FALSE(splitter->OnKeyDown('A'));
    EXPECT_TRUE(splitter->IsTracking());
    EXPECT_TRUE(splitter->OnKeyDown(0x1B));
    EXPECT_FALSE(splitter->IsTracking());
    EXPECT_FALSE(splitter->OnKeyDown(0x0D));
}

TEST(ClassFactoryTest, CreatesEachClassByNameAndCountsThem)
{
    EXPECT_EQ(DllCanUnloadNow(), KETRA_S_OK);
    for (const char* name : {"CHoopsViewEx", "CHoopsFrameSdi", "CHoopsChildWnd", "CHoopsOleDoc"}) {
        void* object = nullptr;
        ASSERT_EQ(DllGetClassObject(name, &object), KETRA_S_OK) << name;
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(DllCanUnloadNow(), KETRA_S_FALSE);
        EXPECT_EQ(DllReleaseClassObject(name, object), KETRA_S_OK);
        EXPECT_EQ(DllCanUnloadNow(), KETRA_S_OK);
    }
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject("CNoSuchView", &object), KETRA_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DllGetClassObject(nullptr, &object), KETRA_E_POINTER);
    EXPECT_EQ(DllGetClassObject("CHoopsViewEx", nullptr), KETRA_E_POINTER);

    // A host's own class.
    static int made = 0;
    ketra::view::RegisterClassFactory(
        "HostView", {[] { ++made; return static_cast<void*>(new CHoopsViewEx()); },
                     [](void* o) { delete static_cast<CHoopsViewEx*>(o); }});
    ASSERT_EQ(DllGetClassObject("HostView", &object), KETRA_S_OK);
    EXPECT_EQ(made, 1);
    DllReleaseClassObject("HostView", object);
}

TEST_F(ShellTest, RegisterServerRecordsEveryClass)
{
    EXPECT_EQ(DllRegisterServer(), KETRA_S_OK);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, L"Software\\Classes\\Ketra.CHoopsViewEx", 0,
                           KEY_READ, &key), ERROR_SUCCESS);
    std::wstring library;
    EXPECT_EQ(RegQueryString(key, nullptr, &library), ERROR_SUCCESS);
    EXPECT_NE(library.find(L"/"), std::wstring::npos);
    RegCloseKey(key);
}

class SegmentBrowserTest : public viewtest::ViewExTest {
protected:
    void SetUp() override
    {
        viewtest::ViewExTest::SetUp();
        HC_Open_Segment_By_Key(view->GetModelKey());
        pipes = HC_Open_Segment("pipes");
        HC_Set_Color("faces = red");
        run = HC_Open_Segment("run1");
        const HPoint p[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
        const int faces[] = {4, 0, 1, 2, 3};
        shell = HC_Insert_Shell(4, p, 5, faces);  // 2 triangles
        HC_Insert_Text(0, 0, 0, "N10");
        HC_Close_Segment();
        HC_Insert_Line(0, 0, 0, 5, 0, 0);
        HC_Close_Segment();
        include = HC_Include_Segment("/include library/browser symbols");
        HC_Close_Segment();
        HC_Open_Segment("/include library/browser symbols");
        HC_Insert_Line(0, 0, 0, 0, 0, 1);
        HC_Close_Segment();
    }

    HC_KEY pipes = -1, run = -1, shell = -1, include = -1;
};

TEST_F(SegmentBrowserTest, TreeTextsInformationAndSelection)
{
    CSegmentBrowserDlg browser(view.get(), "plant.json");
    EXPECT_EQ(browser.GetTitle(), "Segment Browser - plant.json");
    browser.Open();
    EXPECT_EQ(browser.GetInformation(),
              (std::vector<std::string>{"2 triangles", "2 polylines"}));
    const int root = browser.GetRoot();
    ASSERT_GE(root, 0);
    EXPECT_EQ(browser.GetItem(root).segment, view->GetModelKey());
    EXPECT_TRUE(browser.GetItem(root).children.empty());  // filled on expand
    const std::vector<int> children = browser.Expand(root);
    // Includes come first in a segment's contents, then subsegments (the view's own legend
    // window among them).
    ASSERT_GE(children.size(), 2u);
    EXPECT_EQ(browser.GetItem(children[0]).kind, CSegmentBrowserDlg::Kind::Include);
    EXPECT_EQ(browser.GetItem(children[0]).text, "browser symbols");
    EXPECT_EQ(browser.GetItem(children.back()).text, "pipes");
    EXPECT_EQ(browser.GetItem(children.back()).kind, CSegmentBrowserDlg::Kind::Segment);
    const int pipesItem = children.back();
    const std::vector<int> grand = browser.Expand(pipesItem);
    ASSERT_EQ(grand.size(), 1u);
    EXPECT_EQ(browser.GetItem(grand[0]).text, "run1");
    EXPECT_EQ(browser.Expand(pipesItem).size(), 1u);  // not listed twice

    browser.SelectItem(pipesItem);
    EXPECT_EQ(browser.GetInformation(),
              (std::vector<std::string>{"2 triangles", "1 polylines", "1 text strings",
                                        "1 subsegments (total)", "Color: faces=R=1 G=0 B=0"}));
    HSelectionSet* selection = view->GetSelection();
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), pipes);
    // An include selects the segment it includes.
    browser.SelectItem(children[0]);
    ASSERT_EQ(selection->GetSize(), 1u);
    EXPECT_EQ(selection->GetAt(0), browser.GetItem(children[0]).segment);
    EXPECT_EQ(browser.GetInformation().back(), "Color:");
}

TEST_F(SegmentBrowserTest, NamesOfAnyLengthShowWholeAndAreFollowed)
{
    for (const size_t length : {6000u, 100000u}) {
        const std::string name(length, 'n');
        const std::string libraryPath = "/include library/" + name;
        HC_Open_Segment(libraryPath.c_str());
        const HC_KEY line = HC_Insert_Line(0, 0, 0, 1, 1, 1);
        HC_Close_Segment();
        HC_Open_Segment_By_Key(pipes);
        const HC_KEY longSegment = HC_Open_Segment(name.c_str());
        const HC_KEY longInclude = HC_Include_Segment(libraryPath.c_str());
        HC_Close_Segment();
        HC_Close_Segment();

        CSegmentBrowserDlg browser(view.get(), "doc");
        browser.Open();
        const int pipesItem = browser.Expand(browser.GetRoot()).back();
        const std::vector<int> children = browser.Expand(pipesItem);
        ASSERT_EQ(children.size(), 2u);
        EXPECT_EQ(browser.GetItem(children[1]).text, name);
        const std::vector<int> inside = browser.Expand(children[1]);
        ASSERT_EQ(inside.size(), 1u);
        EXPECT_EQ(browser.GetItem(inside[0]).kind, CSegmentBrowserDlg::Kind::Include);
        EXPECT_EQ(browser.GetItem(inside[0]).text, name);

        const HC_KEY path[] = {longInclude};
        view->GetSelection()->Select(line, 1, path);
        browser.FollowSelection();
        ASSERT_EQ(browser.GetExpandedPath().size(), 3u);
        EXPECT_EQ(browser.GetItem(browser.GetExpandedPath()[1]).segment, longSegment);
        EXPECT_EQ(browser.GetItem(browser.GetExpandedPath()[2]).key, longInclude);
        view->GetSelection()->DeSelectAll();
        HC_Delete_By_Key(longSegment);
        HC_Delete_Segment(libraryPath.c_str());
    }
}

TEST_F(SegmentBrowserTest, RootSwitchingAndFollowingTheSelection)
{
    CSegmentBrowserDlg browser(view.get(), "doc");
    browser.Open();
    EXPECT_EQ(browser.GetViewButtonText(), "Standard View");

    view->GetSelection()->Select(shell, nullptr, 0, 0);
    browser.FollowSelection();
    const std::vector<int>& path = browser.GetExpandedPath();
    ASSERT_EQ(path.size(), 2u);
    EXPECT_EQ(browser.GetItem(path[0]).segment, pipes);
    EXPECT_EQ(browser.GetItem(path[1]).segment, run);

    // An item drawn through an include (as the plotter draws every element) is followed
    // through the include that shows it.
    HC_Open_Segment("/include library/browser symbols");
    const HC_KEY symbol = HC_Open_Segment("anchor");
    const HC_KEY line = HC_Insert_Line(0, 0, 0, 1, 1, 1);
    HC_Close_Segment();
    HC_Close_Segment();
    view->GetSelection()->DeSelectAll();
    view->GetSelection()->Select(line, 1, &include);
    browser.FollowSelection();
    const std::vector<int>& through = browser.GetExpandedPath();
    ASSERT_EQ(through.size(), 2u);
    EXPECT_EQ(browser.GetItem(through[0]).kind, CSegmentBrowserDlg::Kind::Include);
    EXPECT_EQ(browser.GetItem(through[0]).key, include);
    EXPECT_EQ(browser.GetItem(through[1]).segment, symbol);
    view->GetSelection()->DeSelectAll();

    browser.OnViewButton();
    EXPECT_EQ(browser.GetViewButtonText(), "Expanded View");
    EXPECT_EQ(view->GetSelection()->GetSize(), 0u);
    EXPECT_EQ(browser.GetItem(browser.GetRoot()).text, "/");
    view->GetSelection()->Select(shell, nullptr, 0, 0);
    browser.FollowSelection();  // only while rooted at the model
    EXPECT_TRUE(browser.GetExpandedPath().empty());
    browser.OnViewButton();
    EXPECT_EQ(browser.GetViewButtonText(), "Standard View");
    EXPECT_EQ(browser.GetItem(browser.GetRoot()).segment, view->GetModelKey());
}

} // namespace
