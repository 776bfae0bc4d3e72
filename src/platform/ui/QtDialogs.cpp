#include "platform/ui/QtDialogs.h"

#include "platform/render/Renderer.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace ketra::ui {

using ketra::window::FileDialogRequest;
using ketra::window::FileDialogResult;
using ketra::window::PrintRequest;

QStringList QtNameFilters(const std::string& windowsFilter) {
    const QStringList parts = QString::fromUtf8(windowsFilter.c_str()).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == "*.*") // Windows' "every file"; Qt would ask for a dot
                p = "*";
        }
        patterns.removeAll(QString());
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        if (patterns.isEmpty())
            continue;
        // Qt reads the patterns from the last parenthesised group, separated by blanks.
        if (description.endsWith(')')) {
            const int open = description.lastIndexOf('(');
            if (open >= 0)
                description = description.left(open).trimmed();
        }
        if (description.isEmpty())
            description = patterns.join(' ');
        filters << QString("%1 (%2)").arg(description, patterns.join(' '));
    }
    return filters;
}

int RunMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                  unsigned int style) {
    using namespace ketra::window;
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromUtf8(caption.c_str()));
    box.setText(QString::fromUtf8(text.c_str()));
    switch (style & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (style & 0x0F) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        // Closed with the title bar: Windows answers Cancel, or OK for a box with OK only.
        return (style & 0x0F) == MB_OK ? IDOK : IDCANCEL;
    }
}

namespace {

// The types a Qt name filter names: {"tif"} for "TIFF Image File (*.tif)", {"jpeg", "jpg"}
// for "JPEG File (*.jpeg *.jpg)"; none for "All files (*)".
QStringList FilterSuffixes(const QString& filter) {
    const int open = filter.lastIndexOf('(');
    QStringList suffixes;
    for (QString pattern : filter.mid(open + 1).remove(')').split(' ', Qt::SkipEmptyParts)) {
        if (!pattern.startsWith("*.") || pattern.indexOf('*', 2) >= 0 || pattern.indexOf('?') >= 0)
            return {};
        suffixes << pattern.mid(2);
    }
    return suffixes;
}

// As the Windows save dialog does with a default extension: a name typed without one gets
// the chosen type's, and choosing another type changes the extension of the name shown.
void FollowChosenType(QFileDialog& dialog, const QStringList& filters) {
    if (dialog.acceptMode() != QFileDialog::AcceptSave || filters.isEmpty())
        return;
    auto follow = [&dialog](const QString& filter) {
        const QStringList suffixes = FilterSuffixes(filter);
        if (suffixes.isEmpty())
            return;
        const QString& suffix = suffixes.first();
        dialog.setDefaultSuffix(suffix);
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        if (!name)
            return;
        const QString typed = name->text();
        const QString old = QFileInfo(typed).suffix();
        if (!old.isEmpty() && !suffixes.contains(old, Qt::CaseInsensitive))
            name->setText(typed.left(typed.size() - old.size()) + suffix);
    };
    follow(filters.first());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
}

} // namespace

FileDialogResult RunFileDialog(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, QString::fromUtf8(request.title.c_str()));
    // The size fields live in Qt's own dialog; the platform's cannot hold them.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!request.defaultExtension.empty()) {
        QString suffix = QString::fromUtf8(request.defaultExtension.c_str());
        if (suffix.startsWith('.'))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
        FollowChosenType(dialog, filters);
    }
    if (!request.initialName.empty()) {
        const QFileInfo initial(QString::fromUtf8(request.initialName.c_str()));
        if (initial.path() != ".")
            dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
    QLineEdit* width = nullptr;
    QLineEdit* height = nullptr;
    if (request.sizeFields) {
        width = new QLineEdit(QString::fromUtf8(request.widthText.c_str()), &dialog);
        height = new QLineEdit(QString::fromUtf8(request.heightText.c_str()), &dialog);
        width->setObjectName("widthField");
        height->setObjectName("heightField");
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel("Width:", &dialog));
        row->addWidget(width);
        row->addWidget(new QLabel("Height:", &dialog));
        row->addWidget(height);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addLayout(row, grid->rowCount(), 0, 1, grid->columnCount());
        else
            dialog.layout()->addItem(row);
    }
    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return result;
    result.ok = true;
    result.path = dialog.selectedFiles().first().toStdString();
    const int index = filters.indexOf(dialog.selectedNameFilter());
    result.filterIndex = index >= 0 ? index + 1 : 1;
    if (width)
        result.widthText = width->text().toStdString();
    if (height)
        result.heightText = height->text().toStdString();
    return result;
}

bool RunNoteTextDialog(QWidget* parent, std::string& text, const std::string& title) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromUtf8(title.c_str()));
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new QPlainTextEdit(QString::fromUtf8(text.c_str()), &dialog);
    edit->setObjectName("noteText");
    layout->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    text = edit->toPlainText().toStdString();
    return true;
}

QImage ToQImage(const ketra::render::Image& image) {
    if (image.Empty())
        return {};
    return QImage(image.rgba.data(), image.width, image.height, image.width * 4,
                  QImage::Format_RGBA8888)
        .copy();
}

namespace {

bool DrawPage(QPrinter& printer, const QImage& picture) {
    QPainter painter(&printer);
    if (!painter.isActive())
        return false;
    const QRect page = painter.viewport();
    QSize size = picture.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    const QRect target(page.x() + (page.width() - size.width()) / 2,
                       page.y() + (page.height() - size.height()) / 2, size.width(), size.height());
    painter.drawImage(target, picture);
    return painter.end();
}

// Writes the PDF under a temporary name in the target's folder and renames it, so an
// existing file is replaced only by a complete one.
bool PrintToPdf(QPrinter& printer, const QImage& picture, const QString& path) {
    const QFileInfo target(path);
    QTemporaryFile partial(target.absoluteDir().filePath("." + target.fileName() + ".XXXXXX"));
    partial.setAutoRemove(false);
    if (!partial.open()) {
        std::fprintf(stderr, "print: cannot write in %s\n",
                     target.absolutePath().toLocal8Bit().constData());
        return false;
    }
    const QString partialName = partial.fileName();
    partial.close();
    // QTemporaryFile makes the file private (0600); a printout is shared like any file the
    // user makes, so the umask decides.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(partialName).constData(), 0666 & ~mask);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(partialName);
    if (!DrawPage(printer, picture)) {
        std::fprintf(stderr, "print: cannot write %s\n", path.toLocal8Bit().constData());
        QFile::remove(partialName);
        return false;
    }
    std::error_code error;
    std::filesystem::rename(partialName.toStdString(), target.absoluteFilePath().toStdString(),
                            error);
    if (error) {
        std::fprintf(stderr, "print: cannot write %s: %s\n", path.toLocal8Bit().constData(),
                     error.message().c_str());
        QFile::remove(partialName);
        return false;
    }
    return true;
}

} // namespace

bool PrintPicture(QWidget* parent, const QImage& source, const PrintRequest& request) {
    if (source.isNull())
        return false;
    const QImage picture =
        request.grayscale ? source.convertToFormat(QImage::Format_Grayscale8) : source;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromUtf8(request.documentName.c_str()));
    printer.setColorMode(request.grayscale ? QPrinter::GrayScale : QPrinter::Color);
    if (!request.outputFile.empty())
        return PrintToPdf(printer, picture, QString::fromUtf8(request.outputFile.c_str()));
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // Printing directly too: with no printer the page can only go to a file, so ask which.
        const QString name = request.documentName.empty()
                                 ? "picture"
                                 : QString::fromUtf8(request.documentName.c_str());
        const QString path =
            QFileDialog::getSaveFileName(parent, "Print to PDF", name + ".pdf", "PDF (*.pdf)");
        return !path.isEmpty() && PrintToPdf(printer, picture, path);
    }
    if (request.preview) {
        QPrintPreviewDialog preview(&printer, parent);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                         [&picture](QPrinter* p) { DrawPage(*p, picture); });
        return preview.exec() == QDialog::Accepted;
    }
    if (request.showDialog) {
        QPrintDialog dialog(&printer, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    return DrawPage(printer, picture);
}

} // namespace ketra::ui
