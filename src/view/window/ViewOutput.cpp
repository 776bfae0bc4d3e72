#include "view/window/ViewOutput.h"

#include "config/CAppSettings.h"
#include "platform/hc/HcStrings.h"
#include "platform/io/HIOUtilityHTML.h"
#include "platform/mvo/HBaseModel.h"
#include "platform/mvo/HConstantFrameRate.h"
#include "platform/mvo/HSelectionSet.h"
#include "platform/render/Renderer.h"
#include "platform/sys/Registry.h"
#include "platform/window/ResourceModule.h"
#include "view/window/CHoopsViewEx.h"
#include "view/HBaseViewEx.h"
#include "view/window/ComponentResources.h"
#include "view/window/ViewCommands.h"
#include "platform/sys/TextEncoding.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace ketra::view {

namespace {

using ketra::window::FileDialogRequest;
using ketra::window::FileDialogResult;
using ketra::window::MB_ICONERROR;
using ketra::window::MB_OK;

const bool g_templateSourceInstalled = (HIOUtilityHTML::SetTemplateSource(&HtmlPageTemplate), true);

// Stops the view's constant-frame-rate object for the life of the object and restarts it
// afterwards when it was running (a walk keeps it stopped for its whole life).
class FrameRatePause {
public:
    explicit FrameRatePause(HBaseView* view)
        : m_frameRate(view ? view->GetConstantFrameRateObject() : nullptr),
          m_wasActive(m_frameRate && m_frameRate->GetActive()) {
        if (m_frameRate)
            m_frameRate->Stop();
    }
    ~FrameRatePause() {
        if (m_frameRate && m_wasActive)
            m_frameRate->Start();
    }
    FrameRatePause(const FrameRatePause&) = delete;
    FrameRatePause& operator=(const FrameRatePause&) = delete;

private:
    HConstantFrameRate* m_frameRate;
    bool m_wasActive;
};

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The extension without its dot ("" when the name has none).
std::string ExtensionOf(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    return ext.empty() ? ext : ext.substr(1);
}

void Message(CHoopsViewEx& window, const std::string& text) {
    window.Port().MessageBox(text, "", MB_OK | MB_ICONERROR);
}

void ReportNoHandler(CHoopsViewEx& window, const std::string& extension) {
    std::string text = kNoHandlerMessage;
    const size_t at = text.find("%s");
    text.replace(at, 2, extension);
    Message(window, text);
}

void Report(CHoopsViewEx& window, HFileOutputResult result) {
    if (const char* text = WriteResultMessage(result); *text)
        Message(window, text);
}

// A write that succeeded says what it wrote in the status bar; a failure has its message box.
void ReportSaved(CHoopsViewEx& window, HFileOutputResult result, const std::string& what) {
    if (result == OutputOK)
        window.Port().SetStatusText(0, "Saved " + what);
    else
        Report(window, result);
}

// "*.html" of the filter's first pair: ".html"; "" when its first pattern names no one type.
std::string FirstFilterExtension(const std::string& filter) {
    const size_t open = filter.find('|');
    if (open == std::string::npos)
        return {};
    const size_t end = filter.find_first_of(";|", open + 1);
    const std::string pattern =
        filter.substr(open + 1, end == std::string::npos ? end : end - open - 1);
    if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0 ||
        pattern.find_first_of("*?", 2) != std::string::npos)
        return {};
    return pattern.substr(1);
}

// Device size of the view's window: centimetres and pixels, as the display reports them.
void DeviceSize(HBaseView& view, float& widthCm, float& heightCm, int& widthPixels) {
    const std::string path = HC_Show_Segment(view.GetViewKey());
    const std::string size = HC_Show_Device_Info(path.c_str(), "size");
    const std::string pixels = HC_Show_Device_Info(path.c_str(), "pixels");
    widthCm = heightCm = 0.0f;
    widthPixels = 0;
    std::sscanf(size.c_str(), "%f , %f", &widthCm, &heightCm);
    std::sscanf(pixels.c_str(), "%d", &widthPixels);
}

std::string Utf8(const std::wstring& text) {
    return ketra::sys::ToUtf8(text);
}

// UTF-8 to wide text; a byte that starts no valid sequence stands for itself.
std::wstring Wide(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!valid) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        char32_t c = length == 1 ? b : b & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out += static_cast<wchar_t>(c);
        i += static_cast<size_t>(length);
    }
    return out;
}

// A size field: whole pixels; empty, zero, negative or unreadable text gives the default.
int SizeField(const std::string& text, int fallback) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return value > 0 && value <= 16384 ? static_cast<int>(value) : fallback;
}

} // namespace

const char* WriteResultMessage(HFileOutputResult result) {
    switch (result) {
    case OutputOK: return "";
    case OutputBadFileName: return kBadFileNameMessage;
    case OutputNotHandled: return kNotHandledMessage;
    default: return kWriteFailedMessage;
    }
}

std::string SaveAsInitialName(const std::string& documentPath) {
    std::filesystem::path name = std::filesystem::path(documentPath).filename();
    if (name.empty())
        return {};
    const std::string ext = FirstFilterExtension(kSaveAsFilter);
    if (!ext.empty())
        name.replace_extension(ext);
    return name.string().substr(0, 256);
}

std::string HtmlFilesText(const std::string& base) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(base, error);
    if (error)
        path = base;
    const std::string name = path.filename().string();
    std::string text = name + ".html, " + name + ".hmf and " + name + ".hsf";
    if (path.has_parent_path())
        text += " in " + path.parent_path().string();
    return text;
}

void FileSaveAs(CHoopsViewEx& window, const std::string& documentPath) {
    HBaseView* view = window.GetHoopsView();
    if (!view)
        return;
    float widthCm = 0, heightCm = 0;
    int widthPixels = 0;
    DeviceSize(*view, widthCm, heightCm, widthPixels);

    FileDialogRequest request;
    request.save = true;
    request.filter = kSaveAsFilter;
    request.initialName = SaveAsInitialName(documentPath);
    request.defaultExtension = kSaveAsDefaultExtension;
    const FileDialogResult answer = window.Port().FileDialog(request);
    if (!answer.ok || answer.path.empty())
        return;

    FrameRatePause pause(view);
    HC_Control_Update_By_Key(view->GetViewKey(), "redraw everything");
    view->Update();
    const std::string path = answer.path;
    const std::string ext = Lower(ExtensionOf(path));
    HIOManager* manager = HIOManager::Instance();

    if (ext == "htm" || ext == "html") {
        const std::string base = path.substr(0, path.size() - ext.size() - 1);
        const HFileOutputResult result = FileSaveAsHTML(window, base.c_str());
        ReportSaved(window, result, HtmlFilesText(base));
        return;
    }
    if (ext == "dwf") {
        if (HSelectionSet* selection = view->GetSelection(); selection && selection->GetSize() > 0) {
            selection->DeSelectAll();
            view->Update();
        }
        HOutputHandlerOptions options;
        options.m_pHBaseView = view;
        options.m_bFlag = true;
        options.m_Value = 100;
        HOutputHandler* handler = manager->GetOutputHandler(ext.c_str());
        if (!handler) {
            ReportNoHandler(window, ext);
            return;
        }
        ReportSaved(
            window,
            handler->FileOutputByKey(path.c_str(), HC_Create_Segment(kDwfSegment), &options), path);
        return;
    }
    if (ext == "pdf") {
        HOutputHandlerOptions options;
        options.m_pHBaseView = view;
        options.m_bFlag = true;
        HOutputHandler* handler = manager->GetOutputHandler("pdf3d");
        if (!handler) {
            ReportNoHandler(window, ext);
            return;
        }
        ReportSaved(window, view->FileOutput(path.c_str(), handler, &options), path);
        return;
    }
    HOutputHandler* handler = manager->GetOutputHandler(ext.c_str());
    if (!handler) {
        ReportNoHandler(window, ext);
        return;
    }
    HOutputHandlerOptions options;
    options.m_pHBaseView = view;
    options.m_Window_Width = widthCm / 2.54f;
    options.m_Window_Height = heightCm / 2.54f;
    options.m_Image_Dpi = options.m_Window_Width > 0 ? static_cast<int>(widthPixels / options.m_Window_Width) : 0;
    HFileOutputResult result;
    if (handler->RendersPicture()) {
        // .bmp, .tif, .jpeg and .jpg; .png too, which the dialog does not offer but a typed
        // name may ask for: a file the user named is never silently left unwritten.
        result = view->FileOutput(path.c_str(), handler, &options);
    } else {
        // Scene files (.hsf, and .hmf, .glb, .gltf typed by hand) are the model's.
        HBaseModel* model = view->GetModel();
        result = model ? model->FileOutput(path.c_str(), view, &options) : OutputNotHandled;
    }
    ReportSaved(window, result, path);
}

void OnFileSaveAsHTML(CHoopsViewEx& window, const std::string& documentPath) {
    if (!window.GetHoopsView())
        return;
    std::filesystem::path base(documentPath);
    base.replace_extension();
    // No dialog asks where: the status bar says where the files went.
    ReportSaved(window, FileSaveAsHTML(window, base.string().c_str()),
                HtmlFilesText(base.string()));
}

HFileOutputResult FileSaveAsHTML(CHoopsViewEx& window, const char* base) {
    return FileSaveAsHTML(window, Wide(base ? base : "").c_str());
}

HFileOutputResult FileSaveAsHTML(CHoopsViewEx& window, const wchar_t* base) {
    HBaseView* view = window.GetHoopsView();
    if (!view)
        return OutputNotHandled;
    const std::string name = Utf8(base ? base : L"");
    if (name.empty())
        return OutputBadFileName;
    HOutputHandler* html = HIOManager::Instance()->GetOutputHandler("html");
    if (!html)
        return OutputNotHandled;
    HOutputHandlerOptions options;
    options.m_pHBaseView = view;
    view->GetWindowSizeInPixels(options.m_Pixel_Width, options.m_Pixel_Height);
    HFileOutputResult result;
    {
        // The page's template is the component's resource 118.
        const ketra::window::ResourceModule* own = ketra::window::LoadResourceModule(kComponentResourceModule);
        ketra::window::ScopedResourceHandle resources(own ? own : ketra::window::GetResourceHandle());
        result = html->FileOutputByKey((name + ".html").c_str(), view->GetViewKey(), &options);
    }
    if (result != OutputOK)
        return result;
    HBaseModel* model = view->GetModel();
    if (!model)
        return OutputNotHandled;
    for (const char* ext : {".hmf", ".hsf"}) {
        result = model->FileOutput((name + ext).c_str(), view);
        if (result != OutputOK)
            return result;
    }
    return OutputOK;
}

void SaveBitmap(CHoopsViewEx& window) {
    HBaseView* view = window.GetHoopsView();
    if (!view)
        return;
    std::string initial;
    if (HBaseViewEx* viewEx = window.GetHoopsViewEx(); viewEx && viewEx->GetProjectName())
        initial = viewEx->GetProjectName();
    if (!initial.empty())
        initial = std::filesystem::path(initial).replace_extension(".tif").string();

    FileDialogRequest request;
    request.save = true;
    request.title = kBitmapTitle;
    request.filter = kBitmapFilter;
    request.initialName = initial;
    request.defaultExtension = "tif";
    request.sizeFields = true;
    request.widthText = std::to_string(kBitmapDefaultWidth);
    request.heightText = std::to_string(kBitmapDefaultHeight);
    const FileDialogResult answer = window.Port().FileDialog(request);
    if (!answer.ok || answer.path.empty())
        return;
    HOutputHandlerOptions options;
    options.m_pHBaseView = view;
    options.m_Pixel_Width = SizeField(answer.widthText, kBitmapDefaultWidth);
    options.m_Pixel_Height = SizeField(answer.heightText, kBitmapDefaultHeight);
    HBaseModel* model = view->GetModel();
    FrameRatePause pause(view);
    ReportSaved(window,
                model ? model->FileOutput(answer.path.c_str(), view, &options) : OutputNotHandled,
                answer.path + " (" + std::to_string(options.m_Pixel_Width) + " x " +
                    std::to_string(options.m_Pixel_Height) + " pixels)");
}

PrintSettings ReadPrintSettings() {
    using namespace ketra::sys;
    PrintSettings settings;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, CAppSettings::SettingsKeyPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return settings;
    DWORD value = 0;
    if (RegQueryDword(key, L"Print Raster Resolution", &value) == ERROR_SUCCESS && value >= 50 && value <= 2400)
        settings.rasterResolution = static_cast<int>(value);
    if (RegQueryDword(key, L"Print Force Grayscale", &value) == ERROR_SUCCESS)
        settings.forceGrayscale = value != 0;
    if (RegQueryDword(key, L"Print Full Resolution Image", &value) == ERROR_SUCCESS)
        settings.fullResolutionImage = value != 0;
    RegCloseKey(key);
    return settings;
}

bool PreparePrinting(CHoopsViewEx& window, ketra::window::PrintRequest& request) {
    if (!window.GetHoopsView())
        return false;
    request.grayscale = request.grayscale || ReadPrintSettings().forceGrayscale;
    return true;
}

bool PrintView(CHoopsViewEx& window, const ketra::window::PrintRequest& request) {
    HBaseView* view = window.GetHoopsView();
    if (!view)
        return false;
    FrameRatePause pause(view);
    const PrintSettings settings = ReadPrintSettings();
    int width = 0, height = 0;
    view->GetWindowSizeInPixels(width, height);
    if (settings.fullResolutionImage && width > 0 && height > 0) {
        // The window's physical size at the raster resolution (screens count as 96 dpi).
        const double scale = std::min({settings.rasterResolution / 96.0, 8192.0 / width, 8192.0 / height});
        width = static_cast<int>(width * scale);
        height = static_cast<int>(height * scale);
    }
    ketra::render::Image image;
    if (!window.RenderPicture(image, width, height))
        return false;
    ketra::window::PrintRequest print = request;
    if (settings.forceGrayscale || request.grayscale) {
        print.grayscale = true;
        for (size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
            const auto grey = static_cast<std::uint8_t>(
                (image.rgba[i] * 299 + image.rgba[i + 1] * 587 + image.rgba[i + 2] * 114 + 500) / 1000);
            image.rgba[i] = image.rgba[i + 1] = image.rgba[i + 2] = grey;
        }
    }
    return window.Port().Print(image, print);
}

bool CopyToClipboard(CHoopsViewEx& window) {
    if (!window.GetHoopsView())
        return false;
    ketra::render::Image image;
    if (!window.RenderPicture(image))
        return false;
    if (!window.GetClipboardTrueColor()) {
        // 3 bits of red, 3 of green, 2 of blue, each spread back over 0..255.
        for (size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
            image.rgba[i] = static_cast<std::uint8_t>((image.rgba[i] >> 5) * 255 / 7);
            image.rgba[i + 1] = static_cast<std::uint8_t>((image.rgba[i + 1] >> 5) * 255 / 7);
            image.rgba[i + 2] = static_cast<std::uint8_t>((image.rgba[i + 2] >> 6) * 255 / 3);
        }
    }
    return window.Port().SetClipboardImage(image);
}

std::string HtmlPageTemplate() {
    RegisterComponentResources();
    const ketra::window::ResourceModule* module = ketra::window::LoadResourceModule(kComponentResourceModule);
    if (!module)
        return {};
    const auto it = module->texts.find(kHtmlTemplateResource);
    return it != module->texts.end() ? it->second : std::string();
}
} // namespace ketra::view
