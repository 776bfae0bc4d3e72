// The Qt window port: popups built from the menu model, posted commands, dialogs answered
// through their widgets, clipboard, printing to PDF, status bar, title and panels.
#include "UiTestSupport.h"

#include "platform/render/Renderer.h"
#include "platform/ui/HoopsRasterWidget.h"
#include "platform/ui/QtDialogs.h"
#include "platform/ui/QtWindowPort.h"
#include "platform/window/CMenu.h"

#include <QFileInfo>
#include <QActionGroup>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cstdlib>
#include <memory>

using ketra::ui::QtWindowPort;
using uitest::RecordingView;
using uitest::WhenModalOpens;
namespace kw = ketra::window;

namespace {

const char* kMenuScript = R"(
203 MENU
BEGIN
    POPUP "TOOLS"
    BEGIN
        MENUITEM "&Orbit",                 42795
        MENUITEM "&Pan",                   42797, CHECKED
        MENUITEM SEPARATOR
        POPUP "&Views"
        BEGIN
            MENUITEM "&Front",             42835
            MENUITEM "&Back",              43022
        END
        MENUITEM "Model &Info",            40005, GRAYED
        MENUITEM "Fish && Chips\tCtrl+F",  40006
    END
END
)";

CMenu ToolsMenu() {
    CMenu menu;
    std::string error;
    EXPECT_TRUE(menu.LoadFromScript(kMenuScript, &error)) << error;
    CMenu tools = *menu.GetSubMenu(0);
    tools.GetSubMenu(3)->CheckMenuRadioItem(42835, 43022, 43022, MF_BYCOMMAND);
    return tools;
}

QAction* ActionWithText(QMenu& menu, const QString& text) {
    for (QAction* a : menu.actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

// A port over a shown raster drawing area in a frame with a status bar.
class PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame = std::make_unique<QMainWindow>();
        window = std::make_unique<RecordingView>(&port);
        surface = new ketra::ui::HoopsRasterWidget(window.get(), frame.get());
        frame->setCentralWidget(surface->Widget());
        port.SetWindow(window.get());
        port.SetSurface(surface);
        port.SetFrame(frame.get());
        frame->resize(500, 400);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }
    void TearDown() override {
        frame.reset();
        window.reset();
    }

    QtWindowPort port;
    std::unique_ptr<QMainWindow> frame;
    std::unique_ptr<RecordingView> window;
    ketra::ui::HoopsViewSurface* surface = nullptr;
};

TEST_F(PortTest, PopupHasTheMenusItemsChecksRadioMarksAndGreyStates) {
    const CMenu tools = ToolsMenu();
    std::unique_ptr<QMenu> popup = QtWindowPort::BuildPopup(tools);
    const QList<QAction*> items = popup->actions();
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0]->text(), "&Orbit");
    EXPECT_EQ(items[0]->data().toUInt(), 42795u);
    EXPECT_FALSE(items[0]->isChecked());
    EXPECT_TRUE(items[0]->isEnabled());
    EXPECT_TRUE(items[1]->isCheckable() && items[1]->isChecked());
    EXPECT_EQ(items[1]->actionGroup(), nullptr); // a plain check mark
    EXPECT_TRUE(items[2]->isSeparator());
    ASSERT_NE(items[3]->menu(), nullptr);
    EXPECT_EQ(items[3]->text(), "&Views");
    const QList<QAction*> views = items[3]->menu()->actions();
    ASSERT_EQ(views.size(), 2);
    EXPECT_FALSE(views[0]->isChecked());
    EXPECT_TRUE(views[1]->isChecked());
    ASSERT_NE(views[1]->actionGroup(), nullptr); // drawn as a radio mark
    EXPECT_TRUE(views[1]->actionGroup()->isExclusive());
    EXPECT_FALSE(items[4]->isEnabled());
    EXPECT_EQ(items[5]->text(), "Fish && Chips\tCtrl+F");
}

TEST_F(PortTest, TrackedPopupReturnsTheChosenIdOrSendsItToTheOwner) {
    const CMenu tools = ToolsMenu();
    QPoint shownAt;
    WhenModalOpens([&](QWidget* w) {
        auto* menu = qobject_cast<QMenu*>(w);
        ASSERT_NE(menu, nullptr);
        shownAt = menu->pos();
        // KETRA_UI_SHOTS=folder keeps a picture of the popup to look at.
        if (const char* shots = std::getenv("KETRA_UI_SHOTS"))
            menu->grab().save(QDir(shots).filePath("popup.png"));
        QAction* pan = ActionWithText(*menu, "&Pan");
        ASSERT_NE(pan, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(pan).center());
    });
    const CPoint screen = port.ClientToScreen(CPoint(40, 30));
    EXPECT_EQ(tools.TrackPopupMenu(TPM_RETURNCMD, screen.x, screen.y, window.get()), 42797u);
    EXPECT_EQ(shownAt, QPoint(screen.x, screen.y));
    EXPECT_TRUE(window->commands.empty());

    WhenModalOpens([&](QWidget* w) {
        auto* menu = qobject_cast<QMenu*>(w);
        ASSERT_NE(menu, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {},
                          menu->actionGeometry(menu->actions()[0]).center());
    });
    EXPECT_EQ(tools.TrackPopupMenu(TPM_RIGHTBUTTON, screen.x, screen.y, window.get()), 1u);
    EXPECT_EQ(window->commands, std::vector<unsigned int>{42795});

    // Greyed items cannot be chosen; Escape chooses nothing.
    WhenModalOpens([&](QWidget* w) {
        auto* menu = qobject_cast<QMenu*>(w);
        ASSERT_NE(menu, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {},
                          menu->actionGeometry(menu->actions()[4]).center());
        QTest::keyClick(menu, Qt::Key_Escape);
    });
    EXPECT_EQ(tools.TrackPopupMenu(TPM_RETURNCMD, screen.x, screen.y, window.get()), 0u);
}

TEST_F(PortTest, PostedCommandReachesOnCommandFromTheEventLoop) {
    window->PostCommand(32837);
    port.PostCommand(57643);
    EXPECT_TRUE(window->commands.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(window->commands, (std::vector<unsigned int>{32837, 57643}));
    // A window taken away before delivery gets nothing.
    port.PostCommand(1);
    port.SetWindow(nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->commands.size(), 2u);
}

TEST_F(PortTest, StatusTitleAndPanels) {
    port.SetStatusText(0, "Orbit the camera");
    EXPECT_EQ(frame->statusBar()->currentMessage(), "Orbit the camera");
    port.SetStatusText(2, "HOpCameraOrbitEx");
    auto labels = frame->statusBar()->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
                            [](QLabel* l) { return l->text() == "HOpCameraOrbitEx"; }));
    port.SetTitle("plant.json - Ketra");
    EXPECT_EQ(frame->windowTitle(), "plant.json - Ketra");

    QWidget panel(frame.get(), Qt::Tool);
    port.RegisterPanel("navigation", &panel);
    EXPECT_TRUE(port.ShowPanel("navigation", true));
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(port.ShowPanel("navigation", false));
    EXPECT_FALSE(panel.isVisible());
    EXPECT_FALSE(port.ShowPanel("overview", true));
    EXPECT_FALSE(port.HasSplitter());
}

TEST_F(PortTest, MessageBoxAnswersWithTheButtonPressed) {
    WhenModalOpens([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Delete the note?");
        EXPECT_EQ(box->windowTitle(), "Ketra");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(port.MessageBox("Delete the note?", "Ketra", kw::MB_YESNO | kw::MB_ICONQUESTION),
              kw::IDNO);
    WhenModalOpens(
        [](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click(); });
    EXPECT_EQ(port.MessageBox("Done", "Ketra", kw::MB_OK), kw::IDOK);
}

TEST(QtNameFilters, WindowsFilterPairsBecomeQtFilters) {
    EXPECT_EQ(ketra::ui::QtNameFilters("Images (*.png;*.tif)|*.png;*.tif|All Files (*.*)|*.*||"),
              (QStringList{"Images (*.png *.tif)", "All Files (*)"}));
    EXPECT_EQ(ketra::ui::QtNameFilters("HTML|*.html|"), QStringList{"HTML (*.html)"});
    EXPECT_EQ(ketra::ui::QtNameFilters("Broken|"), QStringList{});
    EXPECT_EQ(ketra::ui::QtNameFilters(""), QStringList{});
}

TEST_F(PortTest, FileDialogWithSizeFieldsReturnsPathFilterAndTypedSizes) {
    QTemporaryDir dir;
    const QString wanted = dir.filePath("plant.tif");
    WhenModalOpens([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        auto* width = dialog->findChild<QLineEdit*>("widthField");
        auto* height = dialog->findChild<QLineEdit*>("heightField");
        ASSERT_TRUE(width && height);
        EXPECT_EQ(width->text(), "640");
        EXPECT_EQ(height->text(), "480");
        width->setText("1024");
        EXPECT_EQ(dialog->nameFilters(), (QStringList{"PNG (*.png)", "TIFF (*.tif *.tiff)"}));
        dialog->selectNameFilter("TIFF (*.tif *.tiff)");
        // Typed, as a user names the file: selectFile races the dialog's listing of the folder,
        // which can put the first name back under load.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(QFileInfo(wanted).fileName());
        QMetaObject::invokeMethod(dialog, "accept");
    });
    kw::FileDialogRequest request;
    request.save = true;
    request.filter = "PNG (*.png)|*.png|TIFF (*.tif;*.tiff)|*.tif;*.tiff||";
    request.initialName = dir.filePath("picture.png").toStdString();
    request.sizeFields = true;
    request.widthText = "640";
    request.heightText = "480";
    const kw::FileDialogResult result = port.FileDialog(request);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.path, wanted.toStdString());
    EXPECT_EQ(result.filterIndex, 2);
    EXPECT_EQ(result.widthText, "1024");
    EXPECT_EQ(result.heightText, "480");

    WhenModalOpens([](QWidget* w) {
        EXPECT_EQ(w->findChild<QLineEdit*>("widthField"), nullptr);
        qobject_cast<QDialog*>(w)->reject();
    });
    request.sizeFields = false;
    EXPECT_FALSE(port.FileDialog(request).ok);
}

TEST_F(PortTest, SaveDialogNamesFollowTheChosenType) {
    QTemporaryDir dir;
    WhenModalOpens([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_TRUE(name && types);
        EXPECT_EQ(name->text(), "plant.html");
        // The user picks the second type: the name shown takes its extension.
        types->setFocus();
        QTest::keyClick(types, Qt::Key_Down);
        EXPECT_EQ(name->text(), "plant.tif");
        // A name typed without an extension gets the chosen type's, not the default "DWF".
        name->setText(dir.filePath("picture"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    kw::FileDialogRequest request;
    request.filter = "HTML Page (*.html)|*.html|TIFF Image File (*.tif)|*.tif||";
    request.initialName = "plant.html";
    request.defaultExtension = "DWF";
    const kw::FileDialogResult result = port.FileDialog(request);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.path, dir.filePath("picture.tif").toStdString());
}

TEST_F(PortTest, NoteTextDialogReplacesTheTextOnlyOnOk) {
    std::string text = "Support S1\nguided";
    WhenModalOpens([](QWidget* w) {
        auto* edit = w->findChild<QPlainTextEdit*>("noteText");
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->toPlainText(), "Support S1\nguided");
        edit->setPlainText("Support S2\nanchor");
        w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_TRUE(port.NoteTextDialog(text, "Edit Note"));
    EXPECT_EQ(text, "Support S2\nanchor");

    WhenModalOpens([](QWidget* w) {
        w->findChild<QPlainTextEdit*>("noteText")->setPlainText("typed, then cancelled");
        w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    EXPECT_FALSE(port.NoteTextDialog(text, "Edit Note"));
    EXPECT_EQ(text, "Support S2\nanchor");
}

TEST_F(PortTest, ColourChooserUsesRedInTheLowByte) {
    unsigned int rgb = 0x00FF8010; // red 0x10, green 0x80, blue 0xFF
    WhenModalOpens([](QWidget* w) {
        auto* dialog = qobject_cast<QColorDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->currentColor(), QColor(0x10, 0x80, 0xFF));
        dialog->setCurrentColor(QColor(10, 20, 30));
        dialog->accept();
    });
    EXPECT_TRUE(port.ChooseColor(rgb));
    EXPECT_EQ(rgb, 10u | (20u << 8) | (30u << 16));
    WhenModalOpens([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(port.ChooseColor(rgb));
    EXPECT_EQ(rgb, 10u | (20u << 8) | (30u << 16));
}

ketra::render::Image TwoByTwo() {
    ketra::render::Image image;
    image.width = 2;
    image.height = 2;
    image.rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    return image;
}

TEST_F(PortTest, ClipboardGetsThePicture) {
    ASSERT_TRUE(port.SetClipboardImage(TwoByTwo()));
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(2, 2));
    EXPECT_EQ(copied.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(copied.pixelColor(0, 1), QColor(0, 0, 255));
    EXPECT_FALSE(port.SetClipboardImage(ketra::render::Image{}));
}

TEST_F(PortTest, PrintsToAPdfFileReplacingAnOldOneWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("view.pdf");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    kw::PrintRequest request;
    request.documentName = "plant";
    request.outputFile = path.toStdString();
    request.grayscale = true;
    const mode_t oldMask = ::umask(022);
    ASSERT_TRUE(port.Print(TwoByTwo(), request));
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    EXPECT_GT(pdf.size(), 200);
    // No partial file is left beside it, and the umask (not the temporary's 0600) decides who reads
    // it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"view.pdf"});
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ::umask(oldMask);

    request.outputFile = dir.filePath("missing/folder/view.pdf").toStdString();
    EXPECT_FALSE(port.Print(TwoByTwo(), request));
    EXPECT_FALSE(port.Print(ketra::render::Image{}, request));
}

} // namespace
