// The modal dialogs and the printer of QtWindowPort, as free functions over Qt.
#pragma once

#include "platform/window/WindowPort.h"

#include <QImage>
#include <QStringList>

#include <string>

class QWidget;

namespace ketra::ui {

// A Windows filter string ("Text (*.a;*.b)|*.a;*.b|All (*.*)|*.*||") as Qt name filters
// ("Text (*.a *.b)", "All (*)"): the description is kept, its pattern list replaced by the
// pair's patterns. An entry without patterns is dropped.
QStringList QtNameFilters(const std::string& windowsFilter);

int RunMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                  unsigned int style);
ketra::window::FileDialogResult RunFileDialog(QWidget* parent,
                                              const ketra::window::FileDialogRequest& request);
bool RunNoteTextDialog(QWidget* parent, std::string& text, const std::string& title);

// A rendered picture as a QImage (deep copy).
QImage ToQImage(const ketra::render::Image& image);
// Prints `picture` scaled to the page, as the request says: to `outputFile` as PDF (written
// under a temporary name and renamed) when given; otherwise to a printer chosen in the print
// dialog (or a preview), or, where no printer exists, to a PDF file chosen in a save dialog.
// False when cancelled or nothing could be written.
bool PrintPicture(QWidget* parent, const QImage& picture,
                  const ketra::window::PrintRequest& request);

} // namespace ketra::ui
