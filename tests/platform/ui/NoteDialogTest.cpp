// The note dialogs of `ketra view` driven through the X server as a user drives them: xdotool
// clicks in the view and on the dialog's OK and Cancel and types the text; then the note is
// looked at in the scene and in the window's picture.
#include "UiTestSupport.h"

#include "ViewerApp.h"
#include "annotation/HKetraUtilityAnnotation.h"
#include "config/CAppSettings.h"
#include "platform/hc/HcStrings.h"
#include "platform/hc/hc.h"
#include "platform/mvo/HMarkupManager.h"
#include "platform/ui/HoopsMainWindow.h"
#include "view/window/CHoopsViewEx.h"
#include "view/window/ViewCommands.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <tuple>

using ketra::app::ViewerApp;
using uitest::WaitFor;
using namespace ketra::view;

namespace {

bool XDo(const QStringList& args) { return QProcess::execute("xdotool", args) == 0; }

void XClick(QWidget* widget, QPoint local) {
    const QPoint at = widget->mapToGlobal(local);
    XDo({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

// Where the dialog's answer came from: its OK or Cancel button clicked, or nothing (the test
// closed it after waiting).
struct DialogRun {
    bool opened = false, closedByClick = false;
    QString title;
};

// When the note dialog opens: types `text` (unless empty) with X keys, then clicks `button`
// with the X pointer; closes the dialog itself if the click did nothing.
void AnswerWithTheMouse(DialogRun& run, const QString& text, QDialogButtonBox::StandardButton button) {
    uitest::WhenModalOpens([&run, text, button](QWidget* w) {
        if (qobject_cast<QMenu*>(w)) {  // the menu that leads to the dialog is still closing
            AnswerWithTheMouse(run, text, button);
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(w);
        auto* edit = w->findChild<QPlainTextEdit*>("noteText");
        auto* box = w->findChild<QDialogButtonBox*>();
        if (!dialog || !edit || !box) {
            ADD_FAILURE() << "not the note dialog";
            w->close();
            return;
        }
        run.opened = true;
        run.title = dialog->windowTitle();
        if (!text.isEmpty()) {
            WaitFor([&] { return dialog->isActiveWindow() && edit->hasFocus(); }, 3000);
            edit->selectAll();
            XDo({"type", "--delay", "30", text});
            WaitFor([&] { return edit->toPlainText() == text; }, 3000);
        }
        XClick(box->button(button), box->button(button)->rect().center());
        run.closedByClick = WaitFor([dialog] { return !dialog->isVisible(); }, 3000);
        if (!run.closedByClick)
            dialog->reject();
    });
}

class NoteDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "xdotool is missing (scripts/bootstrap installs it)";
        m_folder = std::filesystem::temp_directory_path() / ("ketra_note_dialog_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
        setenv("KETRA_REGISTRY", (m_folder / "registry.reg").c_str(), 1);
        m_app = std::make_unique<ViewerApp>(ketra::app::ViewerOptions{});
        ASSERT_TRUE(m_app->OpenFile(std::string(KETRA_SOURCE_DIR) + "/samples/plant.json"));
        m_app->Show();
        m_app->Frame().activateWindow();
        WaitFor([&] { return m_app->Frame().isActiveWindow(); }, 3000);
        area = m_app->Frame().Surface()->Widget();
        WaitFor([&] { return !m_app->Frame().Picture().isNull(); });
    }
    void TearDown() override {
        m_app.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
        unsetenv("KETRA_REGISTRY");
    }
    HBaseView* View() { return m_app->MainWindow().GetHoopsView(); }
    // The notes of the view's markup layers.
    std::vector<long> Notes() {
        std::vector<long> notes;
        HC_Open_Segment_By_Key(View()->GetMarkupManager()->GetMarkupKey());
        HC_Begin_Contents_Search("...", "segments");
        char type[64];
        long key;
        while (HC_Find_Contents(type, &key))
            if (HKetraUtilityAnnotation::IsNote(key) && HKetraUtilityAnnotation::GetKey(key) == key)
                notes.push_back(key);
        HC_End_Contents_Search();
        HC_Close_Segment();
        return notes;
    }
    static std::string Text(long note, HBaseView* view) {
        HKetraUtilityAnnotation annotation;
        annotation.SetNote(note, view);
        return Utf16ToUtf8(annotation.GetText16());
    }

    std::filesystem::path m_folder;
    std::unique_ptr<ViewerApp> m_app;
    QWidget* area = nullptr;
};

// The ink of the note's text in the window's picture: the pixels of the (green) text colour
// near `at`, where the note was placed.
QRect TextInk(const QImage& picture, QPoint at) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QRect ink;
    for (int y = at.y() - 40; y <= at.y() + 40; ++y)
        for (int x = at.x() - 150; x <= at.x() + 150; ++x)
            if (image.valid(x, y)) {
                const QRgb p = image.pixel(x, y);
                if (qGreen(p) > qRed(p) + 40 && qGreen(p) > qBlue(p) + 40)
                    ink |= QRect(x, y, 1, 1);
            }
    return ink;
}

} // namespace

TEST_F(NoteDialogTest, FloatingNoteTakesClicksAndShowsTheTextAsTyped) {
    // Text in its own colour (green), so that its ink is told from the note's red frame.
    const auto fontColour = CAppSettings::AnnotationFontColor;
    CAppSettings::AnnotationFontColor = 0x00A000;
    m_app->MainWindow().OnCommand(kCmdAppMarkupFloatingNote);
    const QPoint empty(90, 40);  // the sample plant leaves the top left of the view empty
    DialogRun run;
    AnswerWithTheMouse(run, "Pipe rack Ab", QDialogButtonBox::Ok);
    XClick(area, empty);
    ASSERT_TRUE(WaitFor([&] { return run.opened && !QApplication::activeModalWidget(); }, 15000));
    CAppSettings::AnnotationFontColor = fontColour;
    EXPECT_TRUE(run.closedByClick) << "OK ignored the click";
    const std::vector<long> notes = Notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(Text(notes[0], View()), "Pipe rack Ab");

    // In the picture: the whole text, its capitals' tops and descenders, and nothing before it.
    WaitFor([] { return false; }, 300);
    const QImage picture = m_app->Frame().Picture();
    if (const char* shots = std::getenv("KETRA_SHOTS"))
        picture.save(QString(shots) + "/floating-note.png");
    const QRect ink = TextInk(picture, empty * picture.devicePixelRatio());
    QFont font("Liberation Sans");
    font.setPixelSize(static_cast<int>(std::lround(std::wcstod(CAppSettings::AnnotationFontSize.c_str(), nullptr) * 96 / 72)));
    const QRect expected = QFontMetrics(font).tightBoundingRect("Pipe rack Ab");
    EXPECT_GE(ink.height(), expected.height() - 1) << "letters lose their tops";
    EXPECT_NEAR(ink.width(), expected.width(), 4) << "more or less than the text is drawn";
}

TEST_F(NoteDialogTest, NoteWithLeaderAndEditNoteTakeOkAndCancelClicks) {
    m_app->MainWindow().OnCommand(kCmdAppMarkupNote);
    const QPoint middle(area->width() / 2, area->height() / 2), end(area->width() - 80, 40);
    DialogRun placed;
    AnswerWithTheMouse(placed, "Check shoe", QDialogButtonBox::Ok);
    // Press on the plant, drag to empty space, release: the dialog opens on the release.
    const QPoint from = area->mapToGlobal(middle), to = area->mapToGlobal(end);
    XDo({"mousemove", "--sync", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"});
    XDo({"mousemove", QString::number((from.x() + to.x()) / 2), QString::number((from.y() + to.y()) / 2)});
    XDo({"mousemove", QString::number(to.x()), QString::number(to.y()), "mouseup", "1"});
    ASSERT_TRUE(WaitFor([&] { return placed.opened && !QApplication::activeModalWidget(); }, 15000));
    EXPECT_TRUE(placed.closedByClick) << "OK ignored the click";
    std::vector<long> notes = Notes();
    ASSERT_EQ(notes.size(), 1u) << "no note on the plant (the press missed it?)";
    EXPECT_EQ(Text(notes[0], View()), "Check shoe");
    if (const char* shots = std::getenv("KETRA_SHOTS")) {
        WaitFor([] { return false; }, 300);
        m_app->Frame().Picture().save(QString(shots) + "/leader-note.png");
    }

    // Edit Note from the context menu of a right click on the note (the press captures the
    // mouse as any press does): Cancel keeps the text, OK takes the new one.
    for (const auto& [typed, button, kept] :
         {std::tuple{QString("thrown away"), QDialogButtonBox::Cancel, "Check shoe"},
          std::tuple{QString("Check shoe gap"), QDialogButtonBox::Ok, "Check shoe gap"}}) {
        DialogRun edit;
        uitest::WhenModalOpens([&, typed = typed, button = button](QWidget* popup) {
            QAction* item = nullptr;
            for (QAction* action : popup->actions())
                if (action->text() == "Edit Note")
                    item = action;
            auto* menu = qobject_cast<QMenu*>(popup);
            if (!item || !menu) {
                ADD_FAILURE() << "no Edit Note in the context menu";
                popup->close();
                return;
            }
            AnswerWithTheMouse(edit, typed, button);
            XClick(menu, menu->actionGeometry(item).center());
        });
        XDo({"mousemove", "--sync", QString::number(to.x()), QString::number(to.y()), "click", "3"});
        ASSERT_TRUE(WaitFor([&] { return edit.opened && !QApplication::activeModalWidget() &&
                                         !QApplication::activePopupWidget(); }, 15000));
        EXPECT_EQ(edit.title, "Edit Note");
        EXPECT_TRUE(edit.closedByClick) << edit.title.toStdString() << " ignored the click";
        EXPECT_EQ(Text(notes[0], View()), kept);
    }
}

TEST_F(NoteDialogTest, TypedNoteTakesTheTextAsTyped) {
    // Markup > Typed note: a drag places the note, then the keyboard types into it. Capitals,
    // small letters and punctuation stay as typed, and Shift adds nothing of its own.
    m_app->MainWindow().OnCommand(kCmdAppMarkupTypedNote);
    const QPoint from = area->mapToGlobal(QPoint(60, 30)), to = area->mapToGlobal(QPoint(160, 70));
    ASSERT_TRUE(XDo({"mousemove", "--sync", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"}));
    ASSERT_TRUE(XDo({"mousemove", "--sync", QString::number(to.x()), QString::number(to.y()), "mouseup", "1"}));
    WaitFor([] { return false; }, 300);
    ASSERT_TRUE(XDo({"type", "--delay", "30", "Pipe Ab, No. 7!"}));
    ASSERT_TRUE(XDo({"key", "Return"}));
    std::vector<std::string> texts;
    ASSERT_TRUE(WaitFor([&] {
        texts.clear();
        HC_Open_Segment_By_Key(View()->GetMarkupManager()->GetMarkupKey());
        HC_Begin_Contents_Search("...", "text");
        char type[64];
        long key;
        while (HC_Find_Contents(type, &key)) {
            std::string text;
            HC_Show_Text(key, nullptr, nullptr, nullptr, text);
            texts.push_back(text);
        }
        HC_End_Contents_Search();
        HC_Close_Segment();
        return std::find(texts.begin(), texts.end(), "Pipe Ab, No. 7!") != texts.end();
    })) << "the typed note holds " << (texts.empty() ? std::string("no text") : texts.front());
}
