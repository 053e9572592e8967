#include "Dib.h"

#include "ByteReader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace metafile {
namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4, kBiPng = 5,
                   kBiAlphaBitfields = 6;

struct DibHeader {
    int64_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    uint32_t bitCount = 0;
    uint32_t compression = kBiRgb;
    uint32_t colourCount = 0;
    std::array<uint32_t, 4> masks{0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    std::vector<uint32_t> palette; // 0xAARRGGBB with AA = FF
};

bool ReadHeader(std::string_view info, DibHeader& header) {
    ByteReader in(info);
    const uint32_t size = in.U32();
    size_t paletteEntry = 4;
    if (size == 12) { // BITMAPCOREHEADER
        header.width = in.U16();
        header.height = in.U16();
        in.U16();
        header.bitCount = in.U16();
        paletteEntry = 3;
    } else if (size >= 40) {
        header.width = in.I32();
        header.height = in.I32();
        in.U16();
        header.bitCount = in.U16();
        header.compression = in.U32();
        in.Skip(12); // image size, resolution
        header.colourCount = in.U32();
        in.U32(); // important colours
        if (header.compression == kBiBitfields || header.compression == kBiAlphaBitfields) {
            // The masks follow a 40-byte header, or are part of a larger one.
            in.Seek(40);
            header.masks[0] = in.U32();
            header.masks[1] = in.U32();
            header.masks[2] = in.U32();
            if (size >= 56 || header.compression == kBiAlphaBitfields) {
                header.masks[3] = in.U32();
            }
            if (size == 40) {
                in.Seek(40 + (header.compression == kBiAlphaBitfields ? 16 : 12));
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
    if (header.height < 0) {
        header.topDown = true;
        header.height = -header.height;
    }
    if (header.width < 1 || header.height < 1) {
        return false;
    }
    if (header.bitCount <= 8 && header.bitCount > 0) {
        uint32_t entries = header.colourCount != 0 ? header.colourCount : 1u << header.bitCount;
        entries = std::min<uint32_t>(entries, 256);
        for (uint32_t i = 0; i < entries && in.Holds(1, paletteEntry); ++i) {
            const uint8_t b = in.U8(), g = in.U8(), r = in.U8();
            if (paletteEntry == 4) {
                in.U8();
            }
            header.palette.push_back(0xFF000000u | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b);
        }
        // Indices beyond a short table are black, as GDI shows them.
        header.palette.resize(size_t{1} << header.bitCount, 0xFF000000u);
    }
    return true;
}

// Scales a masked field to 0..255.
uint32_t Field(uint32_t pixel, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) {
        ++shift;
    }
    const uint32_t max = mask >> shift;
    return static_cast<uint32_t>((static_cast<uint64_t>((pixel & mask) >> shift) * 255 + max / 2) / max);
}

uint32_t Premultiply(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | ((r * a + 127) / 255 << 16) | ((g * a + 127) / 255 << 8) | ((b * a + 127) / 255);
}

// Expands RLE8/RLE4 data into one byte per pixel, bottom-up rows; pixels the
// runs never reach stay at `unset` (drawn transparent, as GDI skips them).
std::vector<uint16_t> ExpandRle(std::string_view data, int64_t width, int64_t height, bool four) {
    constexpr uint16_t unset = 0x100;
    std::vector<uint16_t> pixels(static_cast<size_t>(width * height), unset);
    int64_t x = 0, y = 0;
    ByteReader in(data);
    auto put = [&](uint8_t index) {
        if (x < width && y < height) {
            pixels[static_cast<size_t>(y * width + x)] = index;
        }
        ++x;
    };
    while (in.remaining() >= 2 && y < height) {
        const uint8_t count = in.U8();
        const uint8_t value = in.U8();
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i) {
                put(four ? ((i % 2 == 0) ? value >> 4 : value & 0x0F) : value);
            }
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            x += in.U8();
            y += in.U8();
        } else { // absolute run of `value` pixels, padded to 16 bits
            const int bytes = four ? (value + 1) / 2 : value;
            std::string_view run = in.Bytes(static_cast<size_t>(bytes));
            for (int i = 0; i < value && static_cast<size_t>(four ? i / 2 : i) < run.size(); ++i) {
                const uint8_t b = static_cast<uint8_t>(run[static_cast<size_t>(four ? i / 2 : i)]);
                put(four ? ((i % 2 == 0) ? b >> 4 : b & 0x0F) : b);
            }
            if (bytes % 2 != 0) {
                in.Skip(1);
            }
        }
        if (!in.ok()) {
            break;
        }
    }
    return pixels;
}

} // namespace

bool ReadDibShape(std::string_view info, DibShape& shape) {
    DibHeader header;
    if (!ReadHeader(info, header)) {
        return false;
    }
    shape.width = header.width;
    shape.height = header.height;
    shape.topDown = header.topDown;
    shape.bitCount = static_cast<int>(header.bitCount);
    return true;
}

Surface DecodeDib(const DibRequest& request) {
    DibHeader header;
    if (!ReadHeader(request.info, header)) {
        return nullptr;
    }
    if (header.compression == kBiJpeg || header.compression == kBiPng) {
        return DecodeEmbeddedPicture(request.bits);
    }
    const uint32_t bits = header.bitCount;
    const bool rle = header.compression == kBiRle8 || header.compression == kBiRle4;
    if (rle ? !((header.compression == kBiRle8 && bits == 8) || (header.compression == kBiRle4 && bits == 4))
            : !(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) {
        return nullptr;
    }
    if (header.compression != kBiRgb && header.compression != kBiBitfields &&
        header.compression != kBiAlphaBitfields && !rle) {
        return nullptr;
    }
    if (header.width > (int64_t{1} << 30) || header.height > (int64_t{1} << 30)) {
        return nullptr;
    }
    // Large bitmaps are sampled: step through the source to stay within limits.
    int64_t step = 1;
    while (header.width / step > kLargestBitmapSide || header.height / step > kLargestBitmapSide ||
           (header.width / step) * (header.height / step) > kLargestBitmapPixels) {
        ++step;
    }
    if (rle && header.width * header.height > kLargestBitmapPixels * 4) {
        return nullptr; // run-length data expands; refuse the absurd before allocating
    }
    const int outWidth = static_cast<int>(std::max<int64_t>(1, header.width / step));
    const int outHeight = static_cast<int>(std::max<int64_t>(1, header.height / step));
    Surface surface = NewSurface(outWidth, outHeight);
    if (!surface) {
        return nullptr;
    }
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());

    std::vector<uint32_t>& palette = header.palette;
    if (bits == 1 && request.monochrome != nullptr) {
        palette = {0xFF000000u | request.monochrome->zero, 0xFF000000u | request.monochrome->one};
    }
    std::vector<uint16_t> expanded;
    if (rle) {
        expanded = ExpandRle(request.bits, header.width, header.height, header.compression == kBiRle4);
    }
    const uint64_t rowBytes = ((static_cast<uint64_t>(header.width) * bits + 31) / 32) * 4;
    const bool masked = header.compression == kBiBitfields || header.compression == kBiAlphaBitfields;
    const bool useAlpha = request.alpha == DibAlpha::Premultiplied && bits == 32;
    for (int oy = 0; oy < outHeight; ++oy) {
        const int64_t sy = oy * step;
        const int64_t storedRow = header.topDown ? sy : header.height - 1 - sy;
        auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(oy) * stride);
        if (rle) {
            for (int ox = 0; ox < outWidth; ++ox) {
                const uint16_t index = expanded[static_cast<size_t>(storedRow * header.width + ox * step)];
                out[ox] = index > 0xFF ? 0 : palette[index];
            }
            continue;
        }
        const uint64_t rowStart = static_cast<uint64_t>(storedRow) * rowBytes;
        if (rowStart >= request.bits.size()) {
            continue; // the record holds fewer rows than the header says
        }
        const std::string_view row = request.bits.substr(static_cast<size_t>(rowStart));
        for (int ox = 0; ox < outWidth; ++ox) {
            const uint64_t sx = static_cast<uint64_t>(ox) * step;
            const uint64_t bit = sx * bits;
            if ((bit + bits + 7) / 8 > row.size()) {
                break;
            }
            auto byte = [&](uint64_t i) { return static_cast<uint8_t>(row[static_cast<size_t>(i)]); };
            uint32_t pixel = 0;
            switch (bits) {
            case 1:
                pixel = palette[(byte(bit / 8) >> (7 - bit % 8)) & 1];
                break;
            case 4:
                pixel = palette[(byte(bit / 8) >> (bit % 8 == 0 ? 4 : 0)) & 0x0F];
                break;
            case 8:
                pixel = palette[byte(bit / 8)];
                break;
            case 16: {
                const uint32_t v = byte(bit / 8) | (uint32_t{byte(bit / 8 + 1)} << 8);
                const auto& m = masked ? header.masks : std::array<uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0};
                pixel = 0xFF000000u | (Field(v, m[0]) << 16) | (Field(v, m[1]) << 8) | Field(v, m[2]);
                break;
            }
            case 24:
                pixel = 0xFF000000u | (uint32_t{byte(bit / 8 + 2)} << 16) |
                        (uint32_t{byte(bit / 8 + 1)} << 8) | byte(bit / 8);
                break;
            case 32: {
                const size_t i = static_cast<size_t>(bit / 8);
                const uint32_t v = byte(i) | (uint32_t{byte(i + 1)} << 8) | (uint32_t{byte(i + 2)} << 16) |
                                   (uint32_t{byte(i + 3)} << 24);
                if (masked) {
                    const uint32_t a = useAlpha && header.masks[3] != 0 ? Field(v, header.masks[3]) : 255;
                    pixel = Premultiply(a, Field(v, header.masks[0]), Field(v, header.masks[1]),
                                        Field(v, header.masks[2]));
                } else if (useAlpha) {
                    // Already premultiplied; a colour above its alpha is clamped.
                    const uint32_t a = v >> 24;
                    const uint32_t r = std::min((v >> 16) & 0xFF, a), g = std::min((v >> 8) & 0xFF, a),
                                   b = std::min(v & 0xFF, a);
                    pixel = (a << 24) | (r << 16) | (g << 8) | b;
                } else {
                    pixel = 0xFF000000u | (v & 0x00FFFFFF);
                }
                break;
            }
            }
            out[ox] = pixel;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

} // namespace metafile
