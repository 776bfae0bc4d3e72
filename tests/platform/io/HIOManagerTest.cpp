#include "platform/io/HIOManager.h"

#include "platform/hc/hc.h"
#include "platform/render/Renderer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path TempDir() {
    fs::path dir = fs::temp_directory_path() / ("ketra_hio_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

// A display with a red square on white, filling the middle half of the window.
class RedSquare {
public:
    RedSquare() {
        m_key = HC_Open_Segment("/driver/null/hio test");
        const float position[3] = {0, 0, 5}, target[3] = {0, 0, 0}, up[3] = {0, 1, 0};
        HC_Set_Camera(position, target, up, 2.0, 2.0, "stretched");
        HC_Set_Color("windows = white, faces = red");
        HC_Set_Visibility("edges = off");
        HC_Set_Rendering_Options("no lighting");
        const float points[12] = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
        const int faces[5] = {4, 0, 1, 2, 3};
        HC_Insert_Shell(4, points, 5, faces);
        HC_Close_Segment();
    }
    ~RedSquare() { HC_Delete_By_Key(m_key); }
    HC_KEY Key() const { return m_key; }

private:
    HC_KEY m_key;
};

} // namespace

TEST(HIOManager, HandlersByExtension) {
    HIOManager* manager = HIOManager::Instance();
    ASSERT_NE(manager, nullptr);
    for (const char* extension : {"png", "PNG", ".bmp", "tif", "tiff", "jpg", "jpeg", "picture.JPEG"})
        EXPECT_NE(manager->GetOutputHandler(extension), nullptr) << extension;
    EXPECT_EQ(manager->GetOutputHandler("tif"), manager->GetOutputHandler("tiff"));
    EXPECT_EQ(manager->GetOutputHandler("dwf"), nullptr);
    EXPECT_EQ(manager->GetOutputHandler(""), nullptr);
    EXPECT_EQ(manager->GetOutputHandler("file."), nullptr);
    EXPECT_EQ(manager->GetOutputHandler(nullptr), nullptr);
}

TEST(HIOManager, PixelSizeIsInchesTimesDpi) {
    HOutputHandlerOptions options;
    options.m_Window_Width = 8.0f;
    options.m_Window_Height = 6.0f;
    options.m_Image_Dpi = 100;
    EXPECT_EQ(options.PixelWidth(), 800);
    EXPECT_EQ(options.PixelHeight(), 600);
    options.m_Image_Dpi = 0;  // 96 by default
    EXPECT_EQ(options.PixelWidth(), 768);
    options.m_Pixel_Width = 1200;
    options.m_Pixel_Height = 1024;
    EXPECT_EQ(options.PixelWidth(), 1200);
    EXPECT_EQ(options.PixelHeight(), 1024);
    HOutputHandlerOptions bad;
    bad.m_Window_Width = -1.0f;
    bad.m_Window_Height = 1e30f;
    EXPECT_EQ(bad.PixelWidth(), 0);
    EXPECT_GT(bad.PixelHeight(), 16384);  // reported as too large, never wrapped
}

TEST(HIOManager, WritesTheRenderedViewInEveryFormat) {
    std::string why;
    if (!ketra::render::HeadlessAvailable(&why)) GTEST_SKIP() << why;
    RedSquare scene;
    const fs::path dir = TempDir();
    HOutputHandlerOptions options;
    options.m_Window_Width = 0.64f;
    options.m_Window_Height = 0.48f;
    options.m_Image_Dpi = 100;  // 64 x 48 pixels
    for (const char* extension : {"png", "bmp", "tif", "jpg"}) {
        const fs::path path = dir / (std::string("view.") + extension);
        HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler(extension);
        ASSERT_NE(handler, nullptr);
        EXPECT_EQ(handler->FileOutputByKey(path.c_str(), scene.Key(), &options), OutputOK)
            << extension << ": " << HIOManager::LastError();
        EXPECT_GT(fs::file_size(path), 54u) << extension;
    }
    // PNG read back: the size asked for, red in the middle, white in the corners.
    std::FILE* f = std::fopen((dir / "view.png").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    EXPECT_EQ(png_get_image_width(png, info), 64u);
    EXPECT_EQ(png_get_image_height(png, info), 48u);
    png_bytepp rows = png_get_rows(png, info);
    EXPECT_EQ(rows[24][32 * 3], 255);
    EXPECT_EQ(rows[24][32 * 3 + 1], 0);
    EXPECT_EQ(rows[2][2 * 3 + 1], 255);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    // TIFF read back.
    TIFF* tiff = TIFFOpen((dir / "view.tif").c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
    EXPECT_EQ(w, 64u);
    EXPECT_EQ(h, 48u);
    TIFFClose(tiff);
    fs::remove_all(dir);
}

TEST(HIOManager, MetafileHandlerWritesTheSubtree) {
    RedSquare scene;
    const fs::path dir = TempDir();
    HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler("hmf");
    ASSERT_NE(handler, nullptr);
    const fs::path path = dir / "scene.hmf";
    EXPECT_EQ(handler->FileOutputByKey(path.c_str(), scene.Key(), nullptr), OutputOK) << HIOManager::LastError();
    EXPECT_GT(fs::file_size(path), 0u);
    EXPECT_EQ(handler->FileOutputByKey((dir / "missing" / "x.hmf").c_str(), scene.Key(), nullptr), OutputBadFileName);
    EXPECT_EQ(handler->FileOutputByKey((dir / "y.hmf").c_str(), -987654321, nullptr), OutputFail);

    // Scene files are written as user files are: a link stays a link, permissions stay,
    // and no temporary is left beside the file.
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path link = dir / "link.hmf";
    fs::create_symlink("scene.hmf", link);
    fs::resize_file(path, 0);
    EXPECT_EQ(handler->FileOutputByKey(link.c_str(), scene.Key(), nullptr), OutputOK) << HIOManager::LastError();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_GT(fs::file_size(path), 0u);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 2) << "a temporary was left behind";
    fs::remove_all(dir);
}

TEST(HIOManager, FailuresReportTheirKind) {
    RedSquare scene;
    HOutputHandler* handler = HIOManager::Instance()->GetOutputHandler("png");
    HOutputHandlerOptions options;
    options.m_Pixel_Width = 16;
    options.m_Pixel_Height = 16;
    EXPECT_EQ(handler->FileOutputByKey("", scene.Key(), &options), OutputBadFileName);
    EXPECT_EQ(handler->FileOutputByKey(nullptr, scene.Key(), &options), OutputBadFileName);
    EXPECT_EQ(handler->FileOutputByKey("/tmp/x.png", scene.Key(), nullptr), OutputFail);
    const fs::path dir = TempDir();
    const fs::path missing = dir / "no such folder" / "x.png";
    std::string why;
    if (ketra::render::HeadlessAvailable(&why)) {
        EXPECT_EQ(handler->FileOutputByKey(missing.c_str(), scene.Key(), &options), OutputBadFileName);
        EXPECT_NE(HIOManager::LastError().find("no such folder"), std::string::npos);
    }
    // A key that is not a segment writes nothing.
    const fs::path path = dir / "nothing.png";
    EXPECT_EQ(handler->FileOutputByKey(path.c_str(), -987654321, &options), OutputFail);
    EXPECT_FALSE(fs::exists(path));
    HOutputHandlerOptions huge;
    huge.m_Pixel_Width = 100000;
    huge.m_Pixel_Height = 10;
    EXPECT_EQ(handler->FileOutputByKey(path.c_str(), scene.Key(), &huge), OutputFail);
    fs::remove_all(dir);
}
