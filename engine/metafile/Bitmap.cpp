#include "Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vips/vips8>

namespace metafile {

Surface NewSurface(int width, int height) {
    if (width < 1 || height < 1 || width > kLargestBitmapSide || height > kLargestBitmapSide ||
        static_cast<long long>(width) * height > kLargestBitmapPixels) {
        return nullptr;
    }
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return surface;
}

Surface DecodeEmbeddedPicture(std::string_view bytes) {
    using vips::VImage;
    try {
        VImage image = VImage::new_from_buffer(bytes.data(), bytes.size(), "");
        const double shrink = std::max(
            {1.0, image.width() / double(kLargestBitmapSide), image.height() / double(kLargestBitmapSide),
             std::sqrt(double(image.width()) * image.height() / kLargestBitmapPixels)});
        if (shrink > 1.0) {
            image = image.resize(1.0 / shrink);
        }
        image = image.colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR);
        if (!image.has_alpha()) {
            image = image.bandjoin_const({255.0});
        }
        image = image.extract_band(0, VImage::option()->set("n", 4)).copy_memory();
        Surface surface = NewSurface(image.width(), image.height());
        if (!surface) {
            return nullptr;
        }
        const auto* rgba = static_cast<const uint8_t*>(image.data());
        cairo_surface_flush(surface.get());
        unsigned char* out = cairo_image_surface_get_data(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(out + static_cast<size_t>(y) * stride);
            const uint8_t* in = rgba + static_cast<size_t>(y) * image.width() * 4;
            for (int x = 0; x < image.width(); ++x, in += 4) {
                const uint32_t a = in[3];
                row[x] = (a << 24) | ((in[0] * a / 255) << 16) | ((in[1] * a / 255) << 8) | (in[2] * a / 255);
            }
        }
        cairo_surface_mark_dirty(surface.get());
        return surface;
    } catch (const vips::VError&) {
        vips_error_clear();
        return nullptr;
    }
}

} // namespace metafile
