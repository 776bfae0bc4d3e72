// ViewOutput: what the view window writes, prints and copies. The window's output commands
// call these with themselves; each does nothing while the window has no view.
//
//   57604 Save As          FileSaveAs(window, documentPath)
//   32988 HTML             OnFileSaveAsHTML(window, documentPath) -> FileSaveAsHTML(window, base)
//   40006 TIFF of a size   SaveBitmap(window)
//   print                  PreparePrinting(window, request), PrintView(window, request)
//   57634 Copy             CopyToClipboard(window)
//
// Messages go to the window's port (MessageBox); dialogs are the port's FileDialog. Writing
// goes through the output handlers (platform/io): the view writes pictures, the model writes
// scene files. The view's constant-frame-rate object is stopped while a file is written or a
// page printed and restarted afterwards when it was running, whatever the outcome.
#pragma once

#include "platform/io/HIOManager.h"
#include "platform/window/WindowPort.h"
#include "view/window/ComponentResources.h"

#include <string>

class CHoopsViewEx;

namespace ketra::view {

// Texts of the commands, exactly.
inline constexpr const char* kSaveAsFilter =
    "HTML Page (*.html)|*.html|TIFF Image File (*.tif)|*.tif|HOOPS Streaming File (*.hsf)|*.hsf|"
    "Windows BMP (*.bmp)|*.bmp|JPEG File (*.jpeg;*.jpg)|*.jpeg;*.jpg||";
inline constexpr const char* kSaveAsDefaultExtension = "DWF";
inline constexpr const char* kBitmapTitle = "Save Image as .TIF";
inline constexpr const char* kBitmapFilter = "TIFF files (*.tif)|*.tif||";
inline constexpr int kBitmapDefaultWidth = 1200;
inline constexpr int kBitmapDefaultHeight = 1024;
// "%s": the extension without its dot.
inline constexpr const char* kNoHandlerMessage = "Handler for file type .%s unavailable.\nNo file has been created.";
inline constexpr const char* kBadFileNameMessage =
    "A problem occurred with the file name provided.\nperhaps you don't have read permission or it is missing.\n";
inline constexpr const char* kNotHandledMessage = "This program doesn't have a handler for this file operation.\n";
inline constexpr const char* kWriteFailedMessage = "A problem occurred during this file operation.\n";
// The segment a DWF file holds.
inline constexpr const char* kDwfSegment = "/include library/halden";
// The page template's text resource in the component's resources (kComponentResourceModule).
inline constexpr unsigned int kHtmlTemplateResource = 118;
// The page template: text resource 118 of the component's own resources.
std::string HtmlPageTemplate();

// The message for a write's result: "" for success (1), else one of the three texts above.
const char* WriteResultMessage(HFileOutputResult result);

// The name Save As suggests: the document's file name without its folder, its extension
// that of the dialog's first type (".html"), at most 256 characters; "" without a document.
std::string SaveAsInitialName(const std::string& documentPath);
// What the page of `base` (a path without extension) is written as, for the status bar:
// "plant.html, plant.hmf and plant.hsf in /folder" (the folder made absolute).
std::string HtmlFilesText(const std::string& base);

// Save As (57604): asks for a file (initial name: SaveAsInitialName) and writes it by its
// extension (.html/.htm the page with its scene files, .dwf and .pdf through their handlers
// when present, pictures through the view at the screen's resolution, scene files through the
// model). Cancel or an empty name does nothing. Every write that succeeds says in the status
// bar (pane 0) what it wrote; failures have their message box.
void FileSaveAs(CHoopsViewEx& window, const std::string& documentPath);

// HTML (32988): the page and scene files of the document's path without its extension,
// beside it; the status bar names them.
void OnFileSaveAsHTML(CHoopsViewEx& window, const std::string& documentPath);

// Writes base + ".html" (the page template from the component's resources, the view's
// picture as a WebGL scene), then base + ".hmf" and base + ".hsf" through the model, in that
// order. Returns the first failure (nothing is written after it), else OutputOK. The caller
// reports it (WriteResultMessage). The 8-bit overload takes UTF-8.
HFileOutputResult FileSaveAsHTML(CHoopsViewEx& window, const char* base);
HFileOutputResult FileSaveAsHTML(CHoopsViewEx& window, const wchar_t* base);

// TIFF of a chosen size (40006): the dialog with the two size fields (1200 x 1024 at start;
// an empty, zero or unreadable field takes its default), then the model writes the picture.
void SaveBitmap(CHoopsViewEx& window);

// The print settings of the settings store (values of the settings key, REG_DWORD):
// "Print Raster Resolution" (dots per inch of a full-resolution picture, default 300),
// "Print Force Grayscale" (default 0) and "Print Full Resolution Image" (default 0).
struct PrintSettings {
    int rasterResolution = 300;
    bool forceGrayscale = false;
    bool fullResolutionImage = false;
};
PrintSettings ReadPrintSettings();

// Print preparation: fills the request from the print settings (grayscale). False when the
// window has no view.
bool PreparePrinting(CHoopsViewEx& window, ketra::window::PrintRequest& request);
// Prints the view's picture: at the window's pixel size, or with "Print Full Resolution
// Image" at the raster resolution over the window's physical size (at most 8192 pixels a
// side); grey when "Print Force Grayscale" is set. False when nothing could be rendered or
// the port did not print.
bool PrintView(CHoopsViewEx& window, const ketra::window::PrintRequest& request);

// Copy (57634): the view's picture on the clipboard; with GetClipboardTruecolor false it is
// reduced to the 256 colours of a 3-3-2 palette first.
bool CopyToClipboard(CHoopsViewEx& window);

// The output option rules of the view commands: Lights sets "fast print" to the new lights

} // namespace ketra::view
