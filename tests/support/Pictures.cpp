#include "Pictures.h"

#include <vips/vips8>

#include <jpeglib.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <vector>

using vips::VImage;

void StartTestVips() {
    static std::once_flag started;
    std::call_once(started, [] {
        if (VIPS_INIT("quillmark-tests") != 0) {
            throw std::runtime_error("cannot start libvips");
        }
        // Tests rewrite files under the same name: never answer from a cache.
        vips_cache_set_max(0);
    });
}

namespace {

VImage SolidImage(int width, int height, const std::vector<double>& bands) {
    return VImage::black(width, height)
        .new_from_image(bands)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void Save(const VImage& image, const std::filesystem::path& path) {
    // libvips writes BMP only through its ImageMagick saver.
    if (path.extension() == ".bmp") {
        image.magicksave(path.c_str(), VImage::option()->set("format", "bmp"));
    } else {
        image.write_to_file(path.c_str());
    }
}

} // namespace

void WriteSolidPicture(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 3> rgb) {
    StartTestVips();
    Save(SolidImage(width, height, {double(rgb[0]), double(rgb[1]), double(rgb[2])}), path);
}

namespace {

void Put32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A 24-bit bitmap written by hand: libvips has no writer of its own for it.
void WriteBmpAt(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 3> rgb,
                double xDpi, double yDpi) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    std::string bytes = "BM";
    Put32(bytes, 54 + rowBytes * height);
    Put32(bytes, 0);
    Put32(bytes, 54);
    Put32(bytes, 40);
    Put32(bytes, width);
    Put32(bytes, height);
    Put32(bytes, 1 | (24 << 16));
    Put32(bytes, 0);
    Put32(bytes, rowBytes * height);
    Put32(bytes, static_cast<uint32_t>(std::lround(xDpi / 0.0254)));
    Put32(bytes, static_cast<uint32_t>(std::lround(yDpi / 0.0254)));
    Put32(bytes, 0);
    Put32(bytes, 0);
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            row += {static_cast<char>(rgb[2]), static_cast<char>(rgb[1]), static_cast<char>(rgb[0])};
        }
        row.resize(rowBytes, '\0');
        bytes += row;
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

void WriteSolidPictureAt(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 3> rgb,
                         double xDpi, double yDpi, bool faxTiff) {
    StartTestVips();
    if (path.extension() == ".bmp") {
        WriteBmpAt(path, width, height, rgb, xDpi, yDpi);
        return;
    }
    const VImage image = SolidImage(width, height, {double(rgb[0]), double(rgb[1]), double(rgb[2])})
                             .copy(VImage::option()->set("xres", xDpi / 25.4)->set("yres", yDpi / 25.4));
    if (faxTiff) {
        image.colourspace(VIPS_INTERPRETATION_B_W)
            .tiffsave(path.c_str(), VImage::option()
                                        ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_CCITTFAX4)
                                        ->set("bitdepth", 1)
                                        ->set("resunit", VIPS_FOREIGN_TIFF_RESUNIT_INCH));
        return;
    }
    Save(image, path);
}

void WriteJfifJpeg(const std::filesystem::path& path, int width, int height, int unit, int x, int y) {
    StartTestVips();
    VipsBlob* blob =
        SolidImage(width, height, {90, 90, 90}).jpegsave_buffer(VImage::option()->set("strip", true));
    std::string bytes(static_cast<const char*>(VIPS_AREA(blob)->data), VIPS_AREA(blob)->length);
    vips_area_unref(VIPS_AREA(blob));
    // Stripped, libvips writes no JFIF segment: one goes in after the start marker.
    if (unit >= 0) {
        std::string jfif("\xFF\xE0\x00\x10JFIF\x00\x01\x01", 11);
        jfif += {static_cast<char>(unit),
                 static_cast<char>(x >> 8),
                 static_cast<char>(x & 0xFF),
                 static_cast<char>(y >> 8),
                 static_cast<char>(y & 0xFF),
                 '\0',
                 '\0'};
        bytes.insert(2, jfif);
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

void ReencodePicture(const std::filesystem::path& from, const std::filesystem::path& to) {
    StartTestVips();
    Save(VImage::new_from_file(from.c_str()), to);
}

void WriteRgbaPng(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 4> rgba) {
    StartTestVips();
    Save(SolidImage(width, height, {double(rgba[0]), double(rgba[1]), double(rgba[2]), double(rgba[3])}),
         path);
}

std::array<uint8_t, 3> ReadPixel(const std::filesystem::path& path, int x, int y) {
    StartTestVips();
    VImage image = VImage::new_from_file(path.c_str()).colourspace(VIPS_INTERPRETATION_sRGB);
    std::vector<double> pixel = image.getpoint(x, y);
    return {static_cast<uint8_t>(pixel.at(0)), static_cast<uint8_t>(pixel.at(1)),
            static_cast<uint8_t>(pixel.at(2))};
}

PictureSize ReadSize(const std::filesystem::path& path) {
    StartTestVips();
    VImage image = VImage::new_from_file(path.c_str());
    return {image.width(), image.height()};
}

void WriteQuarteredJpeg(const std::filesystem::path& path, int width, int height, int orientation) {
    StartTestVips();
    const int w = width / 2, h = height / 2;
    VImage top = SolidImage(w, h, {220, 30, 30})
                     .join(SolidImage(width - w, h, {30, 200, 30}), VIPS_DIRECTION_HORIZONTAL);
    VImage bottom = SolidImage(w, height - h, {30, 30, 220})
                        .join(SolidImage(width - w, height - h, {240, 220, 20}), VIPS_DIRECTION_HORIZONTAL);
    VImage picture = top.join(bottom, VIPS_DIRECTION_VERTICAL).copy();
    picture.set("orientation", orientation);
    picture.jpegsave(path.c_str(), VImage::option()->set("Q", 95));
}

void WriteArithmeticJpeg(const std::filesystem::path& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path.string());
    }
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    jpeg_stdio_dest(&encoder, file);
    encoder.image_width = static_cast<JDIMENSION>(width);
    encoder.image_height = static_cast<JDIMENSION>(height);
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    encoder.arith_code = TRUE;
    jpeg_start_compress(&encoder, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<JSAMPLE>(x * 255 / width);
            row[3 * x + 1] = static_cast<JSAMPLE>(y * 255 / height);
            row[3 * x + 2] = 128;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&encoder, rows, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    std::fclose(file);
}

double MeanDifference(const std::filesystem::path& a, const std::filesystem::path& b) {
    StartTestVips();
    VImage first = VImage::new_from_file(a.c_str()).colourspace(VIPS_INTERPRETATION_sRGB);
    VImage second = VImage::new_from_file(b.c_str()).colourspace(VIPS_INTERPRETATION_sRGB);
    if (first.width() != second.width() || first.height() != second.height()) {
        return -1;
    }
    const int bands = std::min(first.bands(), second.bands());
    return (first.extract_band(0, VImage::option()->set("n", bands)) -
            second.extract_band(0, VImage::option()->set("n", bands)))
        .abs()
        .avg();
}

void WriteTextPicture(const std::filesystem::path& path, const std::string& text, int points, int width) {
    StartTestVips();
    constexpr int kMargin = 40;
    const VImage ink = VImage::text(
        text.c_str(), VImage::option()
                          ->set("font", ("WenQuanYi Micro Hei " + std::to_string(points)).c_str())
                          ->set("dpi", 200)
                          ->set("width", width - 2 * kMargin));
    (255 - ink)
        .embed(kMargin, kMargin, width, ink.height() + 2 * kMargin,
               VImage::option()->set("extend", VIPS_EXTEND_WHITE))
        .cast(VIPS_FORMAT_UCHAR)
        .write_to_file(path.c_str());
}

void WriteTurnedJpeg(const std::filesystem::path& upright, const std::filesystem::path& jpeg) {
    StartTestVips();
    VImage turned = VImage::new_from_file(upright.c_str()).rot270().copy();
    turned.set("orientation", 6);
    turned.jpegsave(jpeg.c_str(), VImage::option()->set("Q", 90));
}
