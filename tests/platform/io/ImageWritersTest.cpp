#include "platform/io/ImageWriters.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

using namespace ketra;
namespace fs = std::filesystem;

namespace {

fs::path TempDir() {
    fs::path dir = fs::temp_directory_path() /
                   ("ketra_io_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

// A picture with distinct quadrants so that flips and channel swaps show.
render::Image Quadrants(int w, int h) {
    render::Image image;
    image.width = w;
    image.height = h;
    image.rgba.resize(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = image.rgba.data() + (static_cast<size_t>(y) * w + x) * 4;
            const bool right = x >= w / 2, bottom = y >= h / 2;
            p[0] = right ? 255 : 0;            // red on the right
            p[1] = bottom ? 255 : 0;           // green at the bottom
            p[2] = (!right && !bottom) ? 200 : 0;  // blue top-left
            p[3] = 255;
        }
    return image;
}

render::Image ReadPng(const fs::path& path, double* dpi) {
    render::Image image;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return {};
    }
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_16, nullptr);
    image.width = static_cast<int>(png_get_image_width(png, info));
    image.height = static_cast<int>(png_get_image_height(png, info));
    const int channels = png_get_channels(png, info);
    png_bytepp rows = png_get_rows(png, info);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            for (int c = 0; c < 3; ++c) image.rgba.push_back(rows[y][x * channels + c]);
            image.rgba.push_back(255);
        }
    png_uint_32 rx = 0, ry = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &rx, &ry, &unit) && unit == PNG_RESOLUTION_METER && dpi)
        *dpi = rx * 0.0254;
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return image;
}

render::Image ReadTiff(const fs::path& path, double* dpi) {
    render::Image image;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff) return image;
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
    std::vector<std::uint32_t> raster(static_cast<size_t>(w) * h);
    if (TIFFReadRGBAImageOriented(tiff, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
        image.width = static_cast<int>(w);
        image.height = static_cast<int>(h);
        for (std::uint32_t v : raster) {
            image.rgba.push_back(TIFFGetR(v));
            image.rgba.push_back(TIFFGetG(v));
            image.rgba.push_back(TIFFGetB(v));
            image.rgba.push_back(255);
        }
    }
    float xres = 0;
    if (dpi && TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres)) *dpi = xres;
    TIFFClose(tiff);
    return image;
}

render::Image ReadJpeg(const fs::path& path, double* dpi) {
    render::Image image;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return image;
    jpeg_decompress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    std::vector<std::uint8_t> row(info.output_width * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&info, &r, 1);
        for (size_t x = 0; x < info.output_width; ++x) {
            image.rgba.insert(image.rgba.end(), {row[x * 3], row[x * 3 + 1], row[x * 3 + 2], 255});
        }
    }
    if (dpi && info.density_unit == 1) *dpi = info.X_density;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return image;
}

// Our BMP reader for the test: the fields a BMP consumer reads.
render::Image ReadBmp(const fs::path& path, double* dpi) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    render::Image image;
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return image;
    auto u32 = [&](size_t at) {
        return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
               std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
    };
    const std::uint32_t offset = u32(10), w = u32(18), h = u32(22);
    EXPECT_EQ(u32(2), bytes.size());
    EXPECT_EQ(bytes[28], 24);
    const size_t stride = (w * 3 + 3) & ~size_t(3);
    if (bytes.size() < offset + stride * h) return image;
    image.width = static_cast<int>(w);
    image.height = static_cast<int>(h);
    for (std::uint32_t y = 0; y < h; ++y) {
        const std::uint8_t* row = bytes.data() + offset + stride * (h - 1 - y);
        for (std::uint32_t x = 0; x < w; ++x)
            image.rgba.insert(image.rgba.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3], 255});
    }
    if (dpi) *dpi = u32(38) * 0.0254;
    return image;
}

struct FormatCase {
    io::ImageFormat format;
    const char* extension;
    render::Image (*read)(const fs::path&, double*);
    int tolerance;  // JPEG is lossy
};

const FormatCase kFormats[] = {
    {io::ImageFormat::Png, "png", ReadPng, 0},
    {io::ImageFormat::Bmp, "bmp", ReadBmp, 0},
    {io::ImageFormat::Tiff, "tif", ReadTiff, 0},
    {io::ImageFormat::Jpeg, "jpg", ReadJpeg, 12},
};

void ExpectNear(const render::Image::Pixel& actual, int r, int g, int b, int tolerance,
                const char* where) {
    EXPECT_NEAR(actual.r, r, tolerance) << where;
    EXPECT_NEAR(actual.g, g, tolerance) << where;
    EXPECT_NEAR(actual.b, b, tolerance) << where;
}

} // namespace

TEST(ImageWriters, EachFormatReadsBackWithSizePixelsAndResolution) {
    const fs::path dir = TempDir();
    // Odd width: BMP rows need padding, TIFF/PNG rows do not.
    const render::Image image = Quadrants(37, 22);
    for (const FormatCase& c : kFormats) {
        const fs::path path = dir / (std::string("quadrants.") + c.extension);
        io::ImageWriteOptions options;
        options.dpi = 150;
        options.jpegQuality = 95;
        std::string error;
        ASSERT_EQ(io::WriteImage(image, path.string(), c.format, options, &error),
                  io::WriteStatus::Ok)
            << c.extension << ": " << error;
        double dpi = 0;
        const render::Image back = c.read(path, &dpi);
        ASSERT_EQ(back.width, 37) << c.extension;
        ASSERT_EQ(back.height, 22) << c.extension;
        EXPECT_NEAR(dpi, 150.0, 0.6) << c.extension;
        // Sample away from the quadrant borders so JPEG's blocks do not blur the test.
        ExpectNear(back.At(3, 3), 0, 0, 200, c.tolerance, c.extension);        // top-left
        ExpectNear(back.At(33, 3), 255, 0, 0, c.tolerance, c.extension);       // top-right
        ExpectNear(back.At(3, 19), 0, 255, 0, c.tolerance, c.extension);       // bottom-left
        ExpectNear(back.At(33, 19), 255, 255, 0, c.tolerance, c.extension);    // bottom-right
        if (c.tolerance == 0) {
            EXPECT_EQ(back.rgba, image.rgba) << c.extension;
        }
    }
    // No temporary files are left behind.
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    fs::remove_all(dir);
}

TEST(ImageWriters, BadPathsAreReportedAndLeaveNothing) {
    const fs::path dir = TempDir();
    const render::Image image = Quadrants(4, 4);
    std::string error;
    EXPECT_EQ(io::WriteImage(image, (dir / "missing" / "x.png").string(), io::ImageFormat::Png,
                             {}, &error),
              io::WriteStatus::BadPath);
    EXPECT_NE(error.find("missing/x.png"), std::string::npos) << error;
    EXPECT_EQ(io::WriteImage(image, "", io::ImageFormat::Bmp, {}, &error), io::WriteStatus::BadPath);
    EXPECT_EQ(io::WriteImage(image, (dir / "").string(), io::ImageFormat::Bmp, {}, &error),
              io::WriteStatus::BadPath);
    if (::geteuid() != 0) {
        const fs::path locked = dir / "locked";
        fs::create_directories(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(io::WriteImage(image, (locked / "x.tif").string(), io::ImageFormat::Tiff, {},
                                 &error),
                  io::WriteStatus::BadPath);
        fs::permissions(locked, fs::perms::owner_all);
    }
    fs::remove_all(dir);
}

TEST(ImageWriters, FailedWriteKeepsTheExistingFile) {
    const fs::path dir = TempDir();
    const fs::path path = dir / "keep.png";
    { std::ofstream(path) << "precious"; }
    render::Image empty;
    std::string error;
    EXPECT_EQ(io::WriteImage(empty, path.string(), io::ImageFormat::Png, {}, &error),
              io::WriteStatus::Failed);
    EXPECT_NE(error.find("keep.png"), std::string::npos);
    std::ifstream in(path);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "precious");
    // A malformed image (buffer shorter than width x height) is refused, not read past.
    render::Image shortImage;
    shortImage.width = 10;
    shortImage.height = 10;
    shortImage.rgba.resize(16);
    EXPECT_EQ(io::WriteImage(shortImage, path.string(), io::ImageFormat::Bmp, {}, &error),
              io::WriteStatus::Failed);
    fs::remove_all(dir);
}

TEST(ImageWriters, OverwritingReplacesTheWholeFile) {
    const fs::path dir = TempDir();
    const fs::path path = dir / "twice.bmp";
    std::string error;
    ASSERT_EQ(io::WriteImage(Quadrants(64, 64), path.string(), io::ImageFormat::Bmp, {}, &error),
              io::WriteStatus::Ok);
    ASSERT_EQ(io::WriteImage(Quadrants(2, 2), path.string(), io::ImageFormat::Bmp, {}, &error),
              io::WriteStatus::Ok);
    EXPECT_EQ(fs::file_size(path), 54u + 2u * 8u);  // two rows of 6 bytes padded to 8
    fs::remove_all(dir);
}

// A picture saved over an existing file keeps that file's permissions, and one saved
// through a symbolic link replaces the link's target, not the link.
TEST(ImageWriters, OverwritingKeepsPermissionsAndLinks) {
    const fs::path dir = TempDir() / "links";
    fs::create_directories(dir);
    const fs::path target = dir / "real.bmp", link = dir / "link.bmp";
    std::string error;
    ASSERT_EQ(io::WriteImage(Quadrants(64, 64), target.string(), io::ImageFormat::Bmp, {}, &error),
              io::WriteStatus::Ok) << error;
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.bmp", link);
    ASSERT_EQ(io::WriteImage(Quadrants(2, 2), link.string(), io::ImageFormat::Bmp, {}, &error),
              io::WriteStatus::Ok) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::file_size(target), 54u + 2u * 8u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 2) << "a temporary was left behind";
    fs::remove_all(dir);
}
