// File output handlers chosen by file extension, and the process-wide manager that finds
// them. The view layer writes a file with
//
//     HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler("png");
//     HOutputHandlerOptions options;
//     options.m_pHBaseView = view;           // optional, passed through to the handler
//     options.m_Window_Width = 8.0f;         // inches
//     options.m_Window_Height = 6.0f;        // inches
//     options.m_Image_Dpi = 100;             // 800 x 600 pixels
//     HFileOutputResult r = handler->FileOutputByKey("out.png", view->GetViewKey(), &options);
//
// Image handlers render the given segment (normally a view's driver segment, which holds the
// camera) offscreen through the renderer; they never need a window.
#pragma once

#include <memory>
#include <string>
#include <vector>

class HBaseView;

#ifndef KETRA_HC_KEY_DEFINED
#define KETRA_HC_KEY_DEFINED
typedef long HC_KEY;  // same type as hc.h declares
#endif

// Result of a file write. Values other than OutputOK mean nothing usable was written (a
// partially written file is removed, and an existing file at the path is left untouched).
enum HFileOutputResult {
    OutputOK = 1,           // the file was written
    OutputFail = 3,         // rendering or encoding failed (see HIOManager::LastError)
    OutputNotHandled = 4,   // the handler cannot do this operation (for example, no key)
    OutputBadFileName = 5,  // empty path, missing folder or no permission to write there
};

// What a handler needs besides the path. Pixels = inches x dpi, rounded to the nearest pixel
// and at least 1. When m_Pixel_Width/m_Pixel_Height are both > 0 they win over inches x dpi
// (the "TIFF of a chosen size" command). The dpi is also stored in the image file.
struct HOutputHandlerOptions {
    HBaseView* m_pHBaseView = nullptr;  // the view being written; may be null
    float m_Window_Width = 0.0f;        // inches
    float m_Window_Height = 0.0f;       // inches
    int m_Image_Dpi = 0;                // dots per inch; <= 0 means 96
    int m_Pixel_Width = 0;              // explicit size in pixels; 0 = from inches x dpi
    int m_Pixel_Height = 0;
    bool m_bMultisample = true;         // 4x multisampling for saved images
    int m_JpegQuality = 90;             // 1..100
    // Opaque flag and value of vector formats (the DWF writer's "true, 100"); image
    // handlers ignore them.
    bool m_bFlag = false;
    int m_Value = 0;

    // Image size this options record asks for, or {0,0} when it asks for none.
    int PixelWidth() const;
    int PixelHeight() const;
};

// One output format. Handlers are owned by HIOManager; pointers stay valid for the process.
class HOutputHandler {
public:
    virtual ~HOutputHandler() = default;

    // Short name of the format ("png", "tif").
    virtual const char* GetOutputName() const = 0;
    // Extensions served, lower case without the dot, separated by ';' ("tif;tiff").
    virtual const char* GetOutputTypesString() const = 0;
    // True for handlers that render a picture (images): they need a segment with a camera
    // (a view's driver segment) and a pixel size.
    virtual bool RendersPicture() const { return false; }

    // Writes the scene below `key` (a segment key; usually a view's driver segment) to
    // `filename`. options may be null for handlers that need none; image handlers need one
    // with a pixel size, else OutputFail.
    virtual HFileOutputResult FileOutputByKey(const char* filename, HC_KEY key,
                                              const HOutputHandlerOptions* options) = 0;
};

class HIOManager {
public:
    // The process-wide manager, with the built-in handlers registered:
    // png, bmp, tif/tiff, jpg/jpeg (images rendered offscreen), hmf (our text metafile of
    // the segment's subtree), hsf (our binary scene stream of it), glb/gltf (glTF of what
    // the segment shows) and html (a page with a WebGL viewer of it; HIOUtilityHTML.h).
    static HIOManager* Instance();

    // Handler for an extension ("png", ".PNG", "file.png" all work: the text after the last
    // '.' is taken, case-insensitively). Null when there is none.
    HOutputHandler* GetOutputHandler(const char* extension) const;

    // Adds a handler for every extension in its GetOutputTypesString(), replacing a previous
    // handler of the same extension (the old one stays alive, since callers may hold it).
    HOutputHandler* RegisterOutputHandler(std::unique_ptr<HOutputHandler> handler);

    // Text of the last failure reported by a built-in handler on this thread ("" if none),
    // naming the file and the reason.
    static const std::string& LastError();
    static void SetLastError(std::string text);

    HIOManager(const HIOManager&) = delete;
    HIOManager& operator=(const HIOManager&) = delete;

private:
    HIOManager();
    struct Entry {
        std::string extension;
        HOutputHandler* handler;
    };
    std::vector<std::unique_ptr<HOutputHandler>> m_handlers;
    std::vector<Entry> m_byExtension;
};
