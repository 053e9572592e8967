#include "BmpDecoder.h"

#include "DibPixels.h"

#include <algorithm>
#include <array>

namespace {

using metafile::kDibAlphaBitfields;
using metafile::kDibBitfields;
using metafile::kDibJpeg;
using metafile::kDibOs2Rle24;
using metafile::kDibPng;
using metafile::kDibRgb;
using metafile::kDibRle4;
using metafile::kDibRle8;

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12; // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr uint32_t kInfoHeaderSize = 40;
// In an OS/2 2.x header the bit-field and JPEG codes mean other encodings.
constexpr uint32_t kOs2Huffman = kDibBitfields;
constexpr uint32_t kOs2Rle24 = kDibJpeg;

// Little-endian reads that never go past the end: what lies beyond reads as zero.
uint32_t U32(std::string_view bytes, size_t at) {
    if (at > bytes.size() || bytes.size() - at < 4) {
        return 0;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t U16(std::string_view bytes, size_t at) {
    if (at > bytes.size() || bytes.size() - at < 2) {
        return 0;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

struct Header {
    uint32_t size = 0;
    int64_t width = 0;
    int64_t height = 0; // negative when the rows are stored top row first
    uint32_t bitCount = 0;
    uint32_t compression = kDibRgb;
    uint32_t imageSize = 0;
    uint32_t coloursUsed = 0;
    int32_t xPixelsPerMetre = 0;
    int32_t yPixelsPerMetre = 0;
    bool os2 = false;
    std::array<uint32_t, 4> masks{}; // red, green, blue, alpha
    bool alphaMaskGiven = false;
    uint32_t colourSpace = 0;
    uint32_t profileOffset = 0;
    uint32_t profileSize = 0;
};

Header ReadHeader(std::string_view file) {
    if (file.size() < kFileHeaderSize + 4 || file.substr(0, 2) != "BM") {
        throw BmpError("not a BMP file");
    }
    Header h;
    h.size = U32(file, 14);
    const std::string_view info = file.substr(kFileHeaderSize);
    if (h.size == kCoreHeaderSize) {
        h.width = U16(info, 4);
        h.height = U16(info, 6);
        h.bitCount = U16(info, 10);
        h.os2 = true;
        return h;
    }
    if (h.size < 16 || h.size > file.size() - kFileHeaderSize) {
        throw BmpError("the bitmap header is damaged (it claims " + std::to_string(h.size) + " bytes)");
    }
    // An OS/2 2.x header is 16 to 64 bytes long and may stop after any field;
    // the fields it leaves out read as zero.
    const std::string_view fields = info.substr(0, h.size);
    h.os2 = h.size <= 64 && h.size != kInfoHeaderSize && h.size != 52 && h.size != 56;
    h.width = static_cast<int32_t>(U32(fields, 4));
    h.height = static_cast<int32_t>(U32(fields, 8));
    h.bitCount = U16(fields, 14);
    h.compression = U32(fields, 16);
    h.imageSize = U32(fields, 20);
    h.xPixelsPerMetre = static_cast<int32_t>(U32(fields, 24));
    h.yPixelsPerMetre = static_cast<int32_t>(U32(fields, 28));
    h.coloursUsed = U32(fields, 32);
    if (h.os2) {
        if (h.compression == kOs2Huffman) {
            throw BmpError("OS/2 Huffman-compressed bitmaps are not supported");
        }
        if (h.compression == kOs2Rle24) {
            h.compression = kDibOs2Rle24;
        }
        return h;
    }
    if (h.compression == kDibBitfields || h.compression == kDibAlphaBitfields) {
        // Masks the file does not hold read as zero.
        int count = 0;
        metafile::ReadDibMasks(info, h.size, h.compression, h.masks, count);
        h.alphaMaskGiven = count == 4 && h.masks[3] != 0;
    } else if (h.compression == kDibRgb && h.size >= 108) {
        // A V4 or V5 header may give an alpha mask even for plain pixels.
        h.masks[3] = U32(fields, 52);
        h.alphaMaskGiven = h.masks[3] != 0 && h.bitCount == 32;
    }
    if (h.size >= 124) {
        h.colourSpace = U32(fields, 56);
        h.profileOffset = U32(fields, 112);
        h.profileSize = U32(fields, 116);
    }
    return h;
}

size_t MasksSize(const Header& h) {
    if (h.size != kInfoHeaderSize) {
        return 0;
    }
    return h.compression == kDibBitfields ? 12 : h.compression == kDibAlphaBitfields ? 16 : 0;
}

// The pixel layout the header describes, with the masks this decoder reads
// pixels by: the file's own, or the defaults, and alpha only when the header
// gives an alpha mask.
metafile::DibFormat FormatOf(const Header& h, const BmpPicture& picture) {
    metafile::DibFormat format;
    format.width = picture.width;
    format.height = picture.height;
    format.topDown = h.height < 0;
    format.bitCount = h.bitCount;
    format.compression = h.compression;
    if (format.Masked()) {
        format.masks = h.masks;
    } else {
        format.masks = metafile::DefaultDibMasks(h.bitCount);
        if (h.bitCount == 32) {
            format.masks[3] = h.masks[3];
        }
    }
    if (!h.alphaMaskGiven) {
        format.masks[3] = 0;
    }
    return format;
}

struct Palette {
    std::vector<std::array<uint8_t, 3>> colours;
    bool grey = true;
};

Palette ReadPalette(std::string_view file, const Header& h, size_t pixelsAt) {
    Palette palette;
    const size_t entrySize = h.size == kCoreHeaderSize ? 3 : 4;
    const size_t at = kFileHeaderSize + h.size + MasksSize(h);
    // The palette ends where the pixels begin; a palette that claims more
    // entries than fit there keeps those that do.
    const size_t end = std::min(pixelsAt, file.size());
    const std::string_view table = end > at ? file.substr(at, end - at) : std::string_view();
    for (const uint32_t rgb : metafile::ReadDibPalette(table, h.bitCount, h.coloursUsed, entrySize)) {
        const std::array<uint8_t, 3> colour{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                            static_cast<uint8_t>(rgb)};
        palette.colours.push_back(colour);
        palette.grey = palette.grey && colour[0] == colour[1] && colour[1] == colour[2];
    }
    return palette;
}

// Writes decoded pixels into the output picture, bottom-up files turned the
// right way up, and remembers which pixels were ever written.
class Canvas {
  public:
    Canvas(BmpPicture& picture, const metafile::DibFormat& format, bool trackWritten)
        : picture_(picture), format_(format) {
        const size_t count = static_cast<size_t>(picture.width) * picture.height;
        picture.pixels.assign(count * 4, 0);
        if (trackWritten) {
            written_.assign(count, false);
        }
    }
    void Put(int64_t x, int64_t storedRow, const std::array<uint8_t, 3>& rgb, uint8_t alpha = 255) {
        const int64_t y = format_.StoredRow(storedRow);
        const size_t index = static_cast<size_t>(y) * picture_.width + static_cast<size_t>(x);
        if (!written_.empty()) {
            written_[index] = true;
        }
        uint8_t* p = picture_.pixels.data() + index * 4;
        p[0] = rgb[0];
        p[1] = rgb[1];
        p[2] = rgb[2];
        p[3] = alpha;
    }
    // The first pixel of a whole row, for uncompressed pictures, which write
    // every pixel and need no record of which were written.
    uint8_t* Row(int64_t storedRow) {
        const size_t y = static_cast<size_t>(format_.StoredRow(storedRow));
        return picture_.pixels.data() + y * static_cast<size_t>(picture_.width) * 4;
    }
    bool AllWritten() const { return std::find(written_.begin(), written_.end(), false) == written_.end(); }

  private:
    BmpPicture& picture_;
    const metafile::DibFormat& format_;
    std::vector<bool> written_;
};

// What went wrong while decoding, each kind said once however often it happened.
struct Faults {
    bool badIndex = false;
    bool spilled = false;
    bool runsCutShort = false;
    uint64_t rowsPresent = 0; // of an uncompressed picture
    bool rowsMissing = false;

    std::string Describe(int height) const {
        std::string text;
        auto add = [&](const std::string& what) { text += (text.empty() ? "" : "; ") + what; };
        if (rowsMissing) {
            add("the pixel data is cut short: " + std::to_string(rowsPresent) + " of " +
                std::to_string(height) + " rows are there");
        }
        if (runsCutShort) {
            add("the compressed pixel data is cut short");
        }
        if (spilled) {
            add("runs of pixels spill past the edge of the picture");
        }
        if (badIndex) {
            add("some pixels use colours missing from the palette");
        }
        return text;
    }
};

// Looks up a palette index; an index past the palette shows black.
std::array<uint8_t, 3> Colour(const Palette& palette, unsigned index, Faults& faults) {
    if (index < palette.colours.size()) {
        return palette.colours[index];
    }
    faults.badIndex = true;
    return {0, 0, 0};
}

// Only whole rows are drawn: a row the file cuts off part-way stays clear.
void DecodeUncompressed(std::string_view data, const metafile::DibFormat& format, const Palette& palette,
                        Canvas& canvas, Faults& faults) {
    const uint64_t stride = metafile::DibRowBytes(format.width, format.bitCount);
    faults.rowsPresent = std::min<uint64_t>(data.size() / stride, format.height);
    faults.rowsMissing = faults.rowsPresent < static_cast<uint64_t>(format.height);
    std::vector<uint32_t> line(static_cast<size_t>(format.width));
    for (uint64_t row = 0; row < faults.rowsPresent; ++row) {
        metafile::ReadDibRow(format, data, static_cast<int64_t>(row), 1, line.data(), line.size());
        uint8_t* out = canvas.Row(static_cast<int64_t>(row));
        for (const uint32_t v : line) {
            if (format.bitCount <= 8) {
                const std::array<uint8_t, 3> rgb = Colour(palette, v, faults);
                out[0] = rgb[0];
                out[1] = rgb[1];
                out[2] = rgb[2];
                out[3] = 255;
            } else {
                out[0] = static_cast<uint8_t>(v >> 16);
                out[1] = static_cast<uint8_t>(v >> 8);
                out[2] = static_cast<uint8_t>(v);
                out[3] = static_cast<uint8_t>(v >> 24);
            }
            out += 4;
        }
    }
}

// Pixels the runs skip stay transparent.
void DecodeRunLength(std::string_view data, const metafile::DibFormat& format, const Palette& palette,
                     Canvas& canvas, Faults& faults) {
    const bool rgb = format.compression == kDibOs2Rle24;
    const metafile::DibRunFaults runs =
        metafile::PlayDibRuns(data, format, [&](int64_t x, int64_t storedRow, unsigned value) {
            if (rgb) {
                canvas.Put(x, storedRow,
                           {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value)});
            } else {
                canvas.Put(x, storedRow, Colour(palette, value, faults));
            }
        });
    faults.spilled = runs.spilled;
    faults.runsCutShort = runs.cutShort;
}

enum class Alpha {
    None,         // every pixel is opaque
    Written,      // pixels never written (skipped by runs, rows missing) are clear
    FromFile,     // the file's own alpha byte of a 32-bit pixel
    FromFileBits, // the alpha bits of a 16-bit pixel, taken as they are
};

// Pictures whose palette holds only greys are stored as grey, and an alpha
// channel that says nothing is dropped: all opaque, or, when it is the alpha
// byte of 32-bit pixels, all clear (a writer that left the byte at zero did
// not mean an invisible picture). A 16-bit pixel has room for alpha only when
// its writer gives up colour bits for it: there, all clear means clear.
void Pack(BmpPicture& picture, bool grey, Alpha alpha) {
    const size_t count = static_cast<size_t>(picture.width) * picture.height;
    std::vector<uint8_t>& p = picture.pixels;
    bool keepAlpha = false;
    if (alpha != Alpha::None) {
        bool anyClear = false;
        bool anyOpaque = false;
        for (size_t i = 0; i < count && !(anyClear && anyOpaque); ++i) {
            anyClear = anyClear || p[i * 4 + 3] != 255;
            anyOpaque = anyOpaque || p[i * 4 + 3] != 0;
        }
        keepAlpha = anyClear && (anyOpaque || alpha == Alpha::Written || alpha == Alpha::FromFileBits);
    }
    picture.bands = (grey ? 1 : 3) + (keepAlpha ? 1 : 0);
    if (picture.bands == 4) {
        return;
    }
    size_t out = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* pixel = &p[i * 4];
        p[out++] = pixel[0];
        if (!grey) {
            p[out++] = pixel[1];
            p[out++] = pixel[2];
        }
        if (keepAlpha) {
            p[out++] = pixel[3];
        }
    }
    p.resize(out);
}

// The picture's size, refused when it has no pixels or more than `maxPixels`.
void SizePicture(const Header& h, int64_t maxPixels, BmpPicture& picture) {
    if (h.width <= 0 || h.height == 0) {
        throw BmpError("the bitmap has no pixels (" + std::to_string(h.width) + " x " +
                       std::to_string(h.height) + ")");
    }
    const int64_t height = h.height < 0 ? -h.height : h.height;
    if (h.width > 1'000'000 || height > 1'000'000 || h.width * height > maxPixels) {
        throw BmpError("the bitmap is too large: " + std::to_string(h.width) + " x " +
                       std::to_string(height) + " pixels");
    }
    picture.width = static_cast<int>(h.width);
    picture.height = static_cast<int>(height);
}

// A colour profile embedded in a V5 header, when it lies inside the file.
std::string EmbeddedProfile(std::string_view file, const Header& h) {
    if (h.size >= 124 && h.colourSpace == 0x4D424544 /* 'MBED' */ && h.profileSize > 0) {
        const uint64_t at = kFileHeaderSize + uint64_t{h.profileOffset};
        if (at < file.size() && file.size() - at >= h.profileSize) {
            return std::string(file.substr(at, h.profileSize));
        }
    }
    return {};
}

// Refuses compressions this decoder does not know, and those that do not fit
// the bit count, so that another decoder may try.
void CheckCompression(const Header& h) {
    const bool runLength =
        h.compression == kDibRle8 || h.compression == kDibRle4 || h.compression == kDibOs2Rle24;
    const uint32_t runBits = h.compression == kDibRle8 ? 8 : h.compression == kDibRle4 ? 4 : 24;
    if (runLength && h.bitCount != runBits) {
        throw BmpError("the bitmap's compression does not match its " + std::to_string(h.bitCount) +
                       "-bit pixels");
    }
    switch (h.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 24:
        if (h.compression != kDibRgb && !runLength) {
            throw BmpError("unknown compression " + std::to_string(h.compression) + " for " +
                           std::to_string(h.bitCount) + "-bit pixels");
        }
        break;
    case 16:
    case 32:
        if (h.compression != kDibRgb && h.compression != kDibBitfields &&
            h.compression != kDibAlphaBitfields) {
            throw BmpError("unknown compression " + std::to_string(h.compression) + " for " +
                           std::to_string(h.bitCount) + "-bit pixels");
        }
        break;
    default:
        throw BmpError("unsupported bits per pixel: " + std::to_string(h.bitCount));
    }
}

} // namespace

BmpPicture DecodeBmp(std::string_view file, int64_t maxPixels) {
    const Header h = ReadHeader(file);
    BmpPicture picture;
    SizePicture(h, maxPixels, picture);
    const uint32_t pixelsAt = U32(file, 10);
    if (pixelsAt >= file.size()) {
        throw BmpError("the bitmap holds no pixel data");
    }
    const std::string_view data = file.substr(pixelsAt);
    picture.iccProfile = EmbeddedProfile(file, h);
    picture.xPixelsPerMetre = std::max(h.xPixelsPerMetre, 0);
    picture.yPixelsPerMetre = std::max(h.yPixelsPerMetre, 0);
    if (h.compression == kDibJpeg || h.compression == kDibPng) {
        picture.stream = h.compression == kDibJpeg ? BmpPicture::Stream::Jpeg : BmpPicture::Stream::Png;
        picture.streamBytes =
            h.imageSize != 0 && h.imageSize < data.size() ? data.substr(0, h.imageSize) : data;
        return picture;
    }
    CheckCompression(h);

    const metafile::DibFormat format = FormatOf(h, picture);
    const Palette palette = ReadPalette(file, h, pixelsAt);
    Faults faults;
    // Run-length pictures are stored bottom-up; a top-down one is out of the
    // format, but its rows are read the way they are stored.
    Canvas canvas(picture, format, format.RunLength());
    if (format.RunLength()) {
        DecodeRunLength(data, format, palette, canvas, faults);
    } else {
        DecodeUncompressed(data, format, palette, canvas, faults);
    }
    picture.damage = faults.Describe(picture.height);
    if (h.bitCount <= 8 && palette.colours.empty()) {
        picture.damage = "the palette is missing" + (picture.damage.empty() ? "" : "; " + picture.damage);
    }
    const bool grey = h.bitCount <= 8 && palette.grey;
    if (h.alphaMaskGiven) {
        Pack(picture, grey, h.bitCount == 16 ? Alpha::FromFileBits : Alpha::FromFile);
    } else if ((format.RunLength() && !canvas.AllWritten()) || faults.rowsMissing) {
        Pack(picture, grey, Alpha::Written);
    } else {
        Pack(picture, grey, Alpha::None);
    }
    return picture;
}
