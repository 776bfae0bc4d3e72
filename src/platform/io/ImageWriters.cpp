#include "platform/io/ImageWriters.h"

#include "platform/sys/AtomicFile.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace ketra::io {

namespace {

// Encoders report through these; the writer turns them into one message naming the file.
struct EncodeError {
    std::string text;
};

std::vector<std::uint8_t> ToRgb(const render::Image& image) {
    std::vector<std::uint8_t> rgb(static_cast<size_t>(image.width) * image.height * 3);
    for (size_t i = 0, j = 0; j < rgb.size(); i += 4, j += 3) {
        rgb[j] = image.rgba[i];
        rgb[j + 1] = image.rgba[i + 1];
        rgb[j + 2] = image.rgba[i + 2];
    }
    return rgb;
}

// ---- PNG ----

void PngError(png_structp png, png_const_charp message) {
    static_cast<EncodeError*>(png_get_error_ptr(png))->text = message;
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

bool EncodePng(const render::Image& image, std::FILE* file, int dpi, EncodeError& error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
    if (!png) {
        error.text = "libpng could not start";
        return false;
    }
    std::vector<std::uint8_t> rgb = ToRgb(image);  // made before setjmp: longjmp skips destructors
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (error.text.empty()) error.text = "libpng failed";
        return false;
    }
    png_init_io(png, file);
    // Rendered pictures are mostly flat colour: fast deflate keeps nearly all of the saving.
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const auto perMetre = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
    png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, rgb.data() + static_cast<size_t>(y) * image.width * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// ---- BMP ----

void PutLe16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xff));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutLe16(out, value & 0xffff);
    PutLe16(out, value >> 16);
}

bool EncodeBmp(const render::Image& image, std::FILE* file, int dpi, EncodeError& error) {
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(image.width) * 3 + 3) & ~std::uint64_t(3);
    const std::uint64_t pixelBytes = rowBytes * static_cast<std::uint64_t>(image.height);
    if (pixelBytes + 54 > 0xffffffffu) {
        error.text = "image too large for BMP";
        return false;
    }
    std::vector<std::uint8_t> header;
    header.reserve(54);
    header.push_back('B');
    header.push_back('M');
    PutLe32(header, static_cast<std::uint32_t>(54 + pixelBytes));  // file size
    PutLe32(header, 0);                                             // reserved
    PutLe32(header, 54);                                            // offset of the pixels
    PutLe32(header, 40);                                            // BITMAPINFOHEADER
    PutLe32(header, static_cast<std::uint32_t>(image.width));
    PutLe32(header, static_cast<std::uint32_t>(image.height));     // positive: bottom-up rows
    PutLe16(header, 1);                                             // planes
    PutLe16(header, 24);                                            // bits per pixel
    PutLe32(header, 0);                                             // BI_RGB
    PutLe32(header, static_cast<std::uint32_t>(pixelBytes));
    const auto perMetre = static_cast<std::uint32_t>(dpi / 0.0254 + 0.5);
    PutLe32(header, perMetre);
    PutLe32(header, perMetre);
    PutLe32(header, 0);  // colours used
    PutLe32(header, 0);  // important colours
    if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) {
        error.text = std::strerror(errno);
        return false;
    }
    std::vector<std::uint8_t> row(rowBytes, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* source = image.rgba.data() + static_cast<size_t>(y) * image.width * 4;
        for (int x = 0; x < image.width; ++x) {
            row[x * 3] = source[x * 4 + 2];  // BMP stores blue, green, red
            row[x * 3 + 1] = source[x * 4 + 1];
            row[x * 3 + 2] = source[x * 4];
        }
        if (std::fwrite(row.data(), 1, row.size(), file) != row.size()) {
            error.text = std::strerror(errno);
            return false;
        }
    }
    return true;
}

// ---- TIFF ----

thread_local std::string* g_tiffMessage = nullptr;

void TiffError(const char* module, const char* format, va_list args) {
    if (!g_tiffMessage) return;
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    *g_tiffMessage = std::string(module ? module : "libtiff") + ": " + buffer;
}

bool EncodeTiff(const render::Image& image, int fd, int dpi, EncodeError& error) {
    // libtiff closes the descriptor it is given; it gets its own duplicate.
    int own = ::dup(fd);
    if (own < 0) {
        error.text = std::strerror(errno);
        return false;
    }
    g_tiffMessage = &error.text;
    TIFFErrorHandler previous = TIFFSetErrorHandler(TiffError);
    TIFF* tiff = TIFFFdOpen(own, "image.tif", "w");
    bool ok = tiff != nullptr;
    if (!tiff) ::close(own);
    if (ok) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
        std::vector<std::uint8_t> rgb = ToRgb(image);
        for (int y = 0; ok && y < image.height; ++y)
            ok = TIFFWriteScanline(tiff, rgb.data() + static_cast<size_t>(y) * image.width * 3,
                                   static_cast<std::uint32_t>(y), 0) == 1;
        if (ok) ok = TIFFFlush(tiff) == 1;
        TIFFClose(tiff);
    }
    TIFFSetErrorHandler(previous);
    g_tiffMessage = nullptr;
    if (!ok && error.text.empty()) error.text = "libtiff failed";
    return ok;
}

// ---- JPEG ----

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    EncodeError* error;
};

void JpegErrorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    char buffer[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, buffer);
    manager->error->text = buffer;
    std::longjmp(manager->jump, 1);
}

bool EncodeJpeg(const render::Image& image, std::FILE* file, int dpi, int quality,
                EncodeError& error) {
    jpeg_compress_struct info;
    JpegErrorManager manager;
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = JpegErrorExit;
    manager.error = &error;
    std::vector<std::uint8_t> rgb = ToRgb(image);
    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
    info.write_JFIF_header = TRUE;
    info.density_unit = 1;  // dots per inch
    info.X_density = static_cast<UINT16>(dpi > 65535 ? 65535 : dpi);
    info.Y_density = info.X_density;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rgb.data() + static_cast<size_t>(info.next_scanline) * image.width * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

WriteStatus WriteImage(const render::Image& image, const std::string& path, ImageFormat format,
                       const ImageWriteOptions& options, std::string* error) {
    if (image.Empty() ||
        image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4) {
        if (error) *error = "cannot write \"" + path + "\": the image is empty";
        return WriteStatus::Failed;
    }
    if (format == ImageFormat::Jpeg && (image.width > 65500 || image.height > 65500)) {
        if (error) *error = "cannot write \"" + path + "\": JPEG images are at most 65500 pixels a side";
        return WriteStatus::Failed;
    }
    sys::AtomicFile file;
    if (!file.Open(path, error)) return WriteStatus::BadPath;
    const int dpi = options.dpi > 0 ? options.dpi : 96;
    EncodeError encodeError;
    bool ok = false;
    switch (format) {
    case ImageFormat::Png: ok = EncodePng(image, file.Stream(), dpi, encodeError); break;
    case ImageFormat::Bmp: ok = EncodeBmp(image, file.Stream(), dpi, encodeError); break;
    case ImageFormat::Tiff: ok = EncodeTiff(image, file.Descriptor(), dpi, encodeError); break;
    case ImageFormat::Jpeg:
        ok = EncodeJpeg(image, file.Stream(), dpi, options.jpegQuality, encodeError);
        break;
    }
    if (!ok) {
        if (error) *error = "cannot write \"" + path + "\": " + encodeError.text;
        return WriteStatus::Failed;
    }
    if (!file.Commit(error)) return WriteStatus::Failed;
    return WriteStatus::Ok;
}

} // namespace ketra::io
