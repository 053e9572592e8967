#pragma once

#include <cairo.h>
#include <memory>
#include <string_view>

namespace metafile {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
// A cairo image surface (ARGB32, premultiplied) owned by one holder.
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// The largest side and pixel count a picture inside a metafile is decoded at.
// A larger one is decoded with every n-th pixel: it is drawn onto a page of a
// few thousand pixels anyway, and a hostile file must not ask for gigabytes.
constexpr int kLargestBitmapSide = 16384;
constexpr long long kLargestBitmapPixels = 32LL << 20;

// A new ARGB32 surface of width x height, all transparent, or null when the
// size is out of range or cairo cannot allocate it.
Surface NewSurface(int width, int height);

// A picture in a common file format (PNG, JPEG, GIF, TIFF, BMP) embedded in a
// metafile, decoded by libvips into a surface. Null when it cannot be read.
Surface DecodeEmbeddedPicture(std::string_view bytes);

} // namespace metafile
