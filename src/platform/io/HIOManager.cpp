#include "platform/io/HIOManager.h"

#include "platform/io/HIOUtilityGltf.h"
#include "platform/io/HIOUtilityHTML.h"
#include "platform/io/HIOUtilityHsf.h"
#include "platform/io/ImageWriters.h"
#include "platform/hc/HcExtras.h"
#include "platform/hc/HcStrings.h"
#include "platform/render/Renderer.h"
#include "platform/sys/AtomicFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxPixels = 16384;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

thread_local std::string g_lastError;

// Scene files (HC_Write_Metafile, the hmf handler) are written as every user file is: synced
// before the rename, under the file's lock, permissions and links kept.
bool WriteMetafileDurably(const std::string& path, const std::string& data, std::string& error) {
    return ketra::sys::WriteFileAtomically(path, data, &error);
}
const bool g_metafileWriterInstalled = (ketra::hc::SetMetafileFileWriter(&WriteMetafileDurably), true);

// Renders the segment offscreen and encodes the picture in one image format.
class ImageOutputHandler final : public HOutputHandler {
public:
    ImageOutputHandler(const char* name, const char* types, ketra::io::ImageFormat format)
        : m_name(name), m_types(types), m_format(format) {}

    const char* GetOutputName() const override { return m_name; }
    const char* GetOutputTypesString() const override { return m_types; }
    bool RendersPicture() const override { return true; }

    HFileOutputResult FileOutputByKey(const char* filename, HC_KEY key,
                                      const HOutputHandlerOptions* options) override {
        const std::string path = filename ? filename : "";
        if (path.empty()) {
            HIOManager::SetLastError("no file name given");
            return OutputBadFileName;
        }
        if (!options) {
            HIOManager::SetLastError("\"" + path + "\": no image size given");
            return OutputFail;
        }
        const int width = options->PixelWidth();
        const int height = options->PixelHeight();
        if (width <= 0 || height <= 0 || width > kMaxPixels || height > kMaxPixels) {
            HIOManager::SetLastError("\"" + path + "\": image size " + std::to_string(width) +
                                     "x" + std::to_string(height) + " pixels is not in 1.." +
                                     std::to_string(kMaxPixels));
            return OutputFail;
        }
        ketra::render::FrameSettings settings;
        settings.width = width;
        settings.height = height;
        settings.samples = options->m_bMultisample ? 4 : 1;
        ketra::render::Image image;
        std::string error;
        if (!ketra::render::RenderToImage(key, settings, image, &error)) {
            HIOManager::SetLastError("\"" + path + "\": " + error);
            return OutputFail;
        }
        ketra::io::ImageWriteOptions writeOptions;
        writeOptions.dpi = options->m_Image_Dpi > 0 ? options->m_Image_Dpi : 96;
        writeOptions.jpegQuality = options->m_JpegQuality;
        switch (ketra::io::WriteImage(image, path, m_format, writeOptions, &error)) {
        case ketra::io::WriteStatus::Ok: HIOManager::SetLastError(""); return OutputOK;
        case ketra::io::WriteStatus::BadPath: HIOManager::SetLastError(error); return OutputBadFileName;
        case ketra::io::WriteStatus::Failed: break;
        }
        HIOManager::SetLastError(error);
        return OutputFail;
    }

private:
    const char* m_name;
    const char* m_types;
    ketra::io::ImageFormat m_format;
};

// Our text metafile (the scene graph's own writer): the segment's subtree, written by
// HC_Write_Metafile, which reports its own problems through the HC error handler. Whether a
// file came out is judged from the file itself. A segment that includes segments outside
// itself (a model and its element library) is written with them (SelfContainedRoot), so the
// file shows the same on its own.
class MetafileOutputHandler final : public HOutputHandler {
public:
    const char* GetOutputName() const override { return "hmf"; }
    const char* GetOutputTypesString() const override { return "hmf"; }

    HFileOutputResult FileOutputByKey(const char* filename, HC_KEY key,
                                      const HOutputHandlerOptions*) override {
        const std::string file = filename ? filename : "";
        if (file.empty() || file.back() == '/') {
            HIOManager::SetLastError("\"" + file + "\": not a file name");
            return OutputBadFileName;
        }
        const size_t slash = file.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
        if (::access(folder.c_str(), W_OK) != 0) {
            HIOManager::SetLastError("cannot write \"" + file + "\": " + std::strerror(errno));
            return OutputBadFileName;
        }
        if (HC_Show_Key_Type(key) != "segment") {
            HIOManager::SetLastError("\"" + file + "\": key " + std::to_string(key) + " is not a segment");
            return OutputFail;
        }
        const ketra::hc::Segment* segment = ketra::hc::Graph::Instance().FindSegment(key);
        ketra::hc::SegmentFilter keep;
        const ketra::hc::Segment* root = segment ? &ketra::hc::SelfContainedRoot(*segment, keep) : nullptr;
        if (root && root != segment) {
            std::string error;
            if (!ketra::sys::WriteFileAtomically(file, ketra::hc::MetafileText(*root, keep), &error)) {
                HIOManager::SetLastError(error);
                return OutputFail;
            }
            HIOManager::SetLastError("");
            return OutputOK;
        }
        const std::string path = HC_Show_Segment(key);
        struct stat before {};
        const bool existed = ::stat(file.c_str(), &before) == 0;
        const std::time_t start = std::time(nullptr);
        HC_Write_Metafile(path.c_str(), file.c_str(), "");
        struct stat after {};
        const bool written = ::stat(file.c_str(), &after) == 0 && after.st_size > 0 &&
                             (!existed || after.st_mtime >= start || after.st_ino != before.st_ino);
        if (!written) {
            HIOManager::SetLastError("\"" + file + "\": the scene file was not written");
            return OutputFail;
        }
        HIOManager::SetLastError("");
        return OutputOK;
    }
};

int PixelsOf(int explicitPixels, float inches, int dpi) {
    if (explicitPixels > 0) return explicitPixels;
    if (!(inches > 0.0f) || !std::isfinite(inches)) return 0;
    const double pixels = std::round(static_cast<double>(inches) * (dpi > 0 ? dpi : 96));
    if (pixels > 1e9) return kMaxPixels + 1;  // reported as out of range, never wrapped
    return std::max(1, static_cast<int>(pixels));
}

} // namespace

int HOutputHandlerOptions::PixelWidth() const {
    if (m_Pixel_Width > 0 && m_Pixel_Height > 0) return m_Pixel_Width;
    return PixelsOf(0, m_Window_Width, m_Image_Dpi);
}

int HOutputHandlerOptions::PixelHeight() const {
    if (m_Pixel_Width > 0 && m_Pixel_Height > 0) return m_Pixel_Height;
    return PixelsOf(0, m_Window_Height, m_Image_Dpi);
}

HIOManager::HIOManager() {
    using ketra::io::ImageFormat;
    RegisterOutputHandler(std::make_unique<ImageOutputHandler>("png", "png", ImageFormat::Png));
    RegisterOutputHandler(std::make_unique<ImageOutputHandler>("bmp", "bmp", ImageFormat::Bmp));
    RegisterOutputHandler(std::make_unique<ImageOutputHandler>("tif", "tif;tiff", ImageFormat::Tiff));
    RegisterOutputHandler(std::make_unique<ImageOutputHandler>("jpeg", "jpg;jpeg", ImageFormat::Jpeg));
    RegisterOutputHandler(std::make_unique<MetafileOutputHandler>());
    RegisterOutputHandler(std::make_unique<HIOUtilityHsf>());
    RegisterOutputHandler(std::make_unique<HIOUtilityGltf>(true));
    RegisterOutputHandler(std::make_unique<HIOUtilityGltf>(false));
    RegisterOutputHandler(std::make_unique<HIOUtilityHTML>());
}

HIOManager* HIOManager::Instance() {
    static HIOManager manager;
    return &manager;
}

HOutputHandler* HIOManager::GetOutputHandler(const char* extension) const {
    if (!extension) return nullptr;
    std::string text = extension;
    const size_t dot = text.rfind('.');
    if (dot != std::string::npos) text = text.substr(dot + 1);
    text = Lower(text);
    if (text.empty()) return nullptr;
    for (const Entry& entry : m_byExtension)
        if (entry.extension == text) return entry.handler;
    return nullptr;
}

HOutputHandler* HIOManager::RegisterOutputHandler(std::unique_ptr<HOutputHandler> handler) {
    if (!handler) return nullptr;
    HOutputHandler* raw = handler.get();
    m_handlers.push_back(std::move(handler));
    std::string types = Lower(raw->GetOutputTypesString() ? raw->GetOutputTypesString() : "");
    size_t start = 0;
    while (start <= types.size()) {
        size_t end = types.find(';', start);
        if (end == std::string::npos) end = types.size();
        std::string extension = types.substr(start, end - start);
        if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);
        if (!extension.empty()) {
            auto found = std::find_if(m_byExtension.begin(), m_byExtension.end(),
                                      [&](const Entry& e) { return e.extension == extension; });
            if (found != m_byExtension.end())
                found->handler = raw;
            else
                m_byExtension.push_back({extension, raw});
        }
        start = end + 1;
    }
    return raw;
}

const std::string& HIOManager::LastError() { return g_lastError; }

void HIOManager::SetLastError(std::string text) { g_lastError = std::move(text); }
