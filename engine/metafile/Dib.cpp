#include "Dib.h"

#include "ByteReader.h"
#include "DibPixels.h"

#include <algorithm>
#include <vector>

namespace metafile {
namespace {

struct DibHeader {
    DibFormat format;
    uint32_t colourCount = 0;
    std::vector<uint32_t> palette; // 0xAARRGGBB with AA = FF, as many entries as the bit count can index
};

// Reads a BITMAPCOREHEADER or a BITMAPINFOHEADER and its successors, which
// are all GDI takes in a record, and the colour table after it.
bool ReadHeader(std::string_view info, DibHeader& header) {
    DibFormat& format = header.format;
    ByteReader in(info);
    const uint32_t size = in.U32();
    size_t paletteEntry = 4;
    if (size == 12) { // BITMAPCOREHEADER
        format.width = in.U16();
        format.height = in.U16();
        in.U16();
        format.bitCount = in.U16();
        paletteEntry = 3;
    } else if (size >= 40) {
        format.width = in.I32();
        format.height = in.I32();
        in.U16();
        format.bitCount = in.U16();
        format.compression = in.U32();
        in.Skip(12); // image size, resolution
        header.colourCount = in.U32();
        in.U32(); // important colours
        if (format.Masked()) {
            // The masks follow a 40-byte header, or are part of a larger one.
            int count = 0;
            if (!ReadDibMasks(info, size, format.compression, format.masks, count)) {
                return false;
            }
            if (size == 40) {
                in.Seek(40 + 4 * count);
            }
        }
        if (size > 40) {
            in.Seek(size);
        }
    } else {
        return false;
    }
    if (!in.ok()) {
        return false;
    }
    if (format.height < 0) {
        format.topDown = true;
        format.height = -format.height;
    }
    if (format.width < 1 || format.height < 1) {
        return false;
    }
    if (format.bitCount <= 8 && format.bitCount > 0) {
        const std::string_view table = info.substr(in.offset());
        for (const uint32_t rgb : ReadDibPalette(table, format.bitCount, header.colourCount, paletteEntry)) {
            header.palette.push_back(0xFF000000u | rgb);
        }
        // Indices beyond a short table are black, as GDI shows them.
        header.palette.resize(size_t{1} << format.bitCount, 0xFF000000u);
    }
    return true;
}

// Whether GDI draws this depth and compression; JPEG and PNG are handled apart.
bool Drawable(const DibFormat& format) {
    const uint32_t bits = format.bitCount;
    if (format.RunLength()) {
        return (format.compression == kDibRle8 && bits == 8) || (format.compression == kDibRle4 && bits == 4);
    }
    if (!(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) {
        return false;
    }
    return format.compression == kDibRgb || format.Masked();
}

// Large bitmaps are sampled: every step-th pixel keeps them within limits.
int64_t SampleStep(const DibFormat& format) {
    int64_t step = 1;
    while (format.width / step > kLargestBitmapSide || format.height / step > kLargestBitmapSide ||
           (format.width / step) * (format.height / step) > kLargestBitmapPixels) {
        ++step;
    }
    return step;
}

// The masks pixels are read by. GDI ignores the fourth byte of a 32-bit pixel
// unless the caller blends with it, and never reads alpha from 16 bits.
void ChooseMasks(DibFormat& format, DibAlpha alpha) {
    const bool masked = format.Masked();
    if (!masked) {
        format.masks = DefaultDibMasks(format.bitCount);
    }
    if (format.bitCount == 32 && alpha == DibAlpha::Premultiplied) {
        format.masks[3] = masked ? format.masks[3] : 0xFF000000u;
    } else {
        format.masks[3] = 0;
    }
}

// A straight 0xAARRGGBB pixel as cairo holds it. Bit-field pixels are straight
// and are multiplied by their alpha; plain 32-bit ones are premultiplied
// already, and a colour above its alpha is clamped.
uint32_t Premultiplied(uint32_t pixel, bool masked) {
    const uint32_t a = pixel >> 24;
    uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    if (masked) {
        r = (r * a + 127) / 255;
        g = (g * a + 127) / 255;
        b = (b * a + 127) / 255;
    } else {
        r = std::min(r, a);
        g = std::min(g, a);
        b = std::min(b, a);
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

struct Target {
    unsigned char* data;
    int stride;
    int width;
    int height;
    uint32_t* Row(int y) const { return reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride); }
};

void DrawRows(const DibHeader& header, std::string_view bits, int64_t step, const Target& target) {
    const DibFormat& format = header.format;
    std::vector<uint32_t> values(static_cast<size_t>(target.width));
    for (int oy = 0; oy < target.height; ++oy) {
        const size_t count =
            ReadDibRow(format, bits, format.StoredRow(oy * step), step, values.data(), values.size());
        uint32_t* out = target.Row(oy);
        for (size_t ox = 0; ox < count; ++ox) {
            out[ox] = format.bitCount <= 8 ? header.palette[values[ox]]
                                           : Premultiplied(values[ox], format.Masked());
        }
    }
}

// Pixels the runs never reach stay transparent, as GDI skips them.
void DrawRuns(const DibHeader& header, std::string_view bits, int64_t step, const Target& target) {
    const DibFormat& format = header.format;
    PlayDibRuns(bits, format, [&](int64_t x, int64_t storedRow, unsigned index) {
        const int64_t y = format.StoredRow(storedRow);
        if (x % step != 0 || y % step != 0 || x / step >= target.width || y / step >= target.height) {
            return;
        }
        target.Row(static_cast<int>(y / step))[x / step] = header.palette[index];
    });
}

} // namespace

bool ReadDibShape(std::string_view info, DibShape& shape) {
    DibHeader header;
    if (!ReadHeader(info, header)) {
        return false;
    }
    shape.width = header.format.width;
    shape.height = header.format.height;
    shape.topDown = header.format.topDown;
    shape.bitCount = static_cast<int>(header.format.bitCount);
    return true;
}

Surface DecodeDib(const DibRequest& request) {
    DibHeader header;
    if (!ReadHeader(request.info, header)) {
        return nullptr;
    }
    DibFormat& format = header.format;
    if (format.compression == kDibJpeg || format.compression == kDibPng) {
        return DecodeEmbeddedPicture(request.bits);
    }
    if (!Drawable(format) || format.width > (int64_t{1} << 30) || format.height > (int64_t{1} << 30)) {
        return nullptr;
    }
    // A few bytes of runs can claim billions of pixels: refuse those rather
    // than sample them.
    if (format.RunLength() && format.width * format.height > kLargestBitmapPixels * 4) {
        return nullptr;
    }
    const int64_t step = SampleStep(format);
    const int outWidth = static_cast<int>(std::max<int64_t>(1, format.width / step));
    const int outHeight = static_cast<int>(std::max<int64_t>(1, format.height / step));
    Surface surface = NewSurface(outWidth, outHeight);
    if (!surface) {
        return nullptr;
    }
    cairo_surface_flush(surface.get());
    const Target target{cairo_image_surface_get_data(surface.get()),
                        cairo_image_surface_get_stride(surface.get()), outWidth, outHeight};
    if (format.bitCount == 1 && request.monochrome != nullptr) {
        header.palette = {0xFF000000u | request.monochrome->zero, 0xFF000000u | request.monochrome->one};
    }
    ChooseMasks(format, request.alpha);
    if (format.RunLength()) {
        DrawRuns(header, request.bits, step, target);
    } else {
        DrawRows(header, request.bits, step, target);
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

} // namespace metafile
