#include "BmpDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12; // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr uint32_t kInfoHeaderSize = 40;

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3, // Huffman 1D in an OS/2 2.x header
    kJpeg = 4,      // RLE24 in an OS/2 2.x header
    kPng = 5,
    kAlphaBitfields = 6,
};

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

// One colour channel held under a bit mask: where it sits, and how to widen it
// to eight bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m = 0) : mask(m) {
        if (mask != 0) {
            shift = std::countr_zero(mask);
            max = mask >> shift;
        }
    }
    uint8_t Read(uint32_t pixel, uint8_t absent) const {
        if (max == 0) {
            return absent;
        }
        const uint64_t value = (pixel & mask) >> shift;
        return static_cast<uint8_t>((value * 255 + max / 2) / max);
    }
};

struct Header {
    uint32_t size = 0;
    int64_t width = 0;
    int64_t height = 0; // negative when the rows are stored top row first
    uint32_t bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t imageSize = 0;
    uint32_t coloursUsed = 0;
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
    h.coloursUsed = U32(fields, 32);
    if (h.os2) {
        if (h.compression == kBitfields || h.compression == kJpeg) {
            throw BmpError(h.compression == kBitfields ? "OS/2 Huffman-compressed bitmaps are not supported"
                                                       : "OS/2 RLE24-compressed bitmaps are not supported");
        }
        return h;
    }
    if (h.compression == kBitfields || h.compression == kAlphaBitfields) {
        // In a 40-byte header the masks follow it; larger headers hold them.
        const size_t masksAt = kFileHeaderSize + 40;
        const int count = h.size >= 56 || h.compression == kAlphaBitfields ? 4 : 3;
        for (int i = 0; i < count; ++i) {
            h.masks[i] = U32(file, masksAt + 4 * i);
        }
        h.alphaMaskGiven = count == 4 && h.masks[3] != 0;
    } else if (h.compression == kRgb && h.size >= 108) {
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
    return h.compression == kBitfields ? 12 : h.compression == kAlphaBitfields ? 16 : 0;
}

struct Palette {
    std::vector<std::array<uint8_t, 3>> colours;
    bool grey = true;
};

Palette ReadPalette(std::string_view file, const Header& h, size_t pixelsAt) {
    Palette palette;
    if (h.bitCount > 8) {
        return palette;
    }
    const size_t entrySize = h.size == kCoreHeaderSize ? 3 : 4;
    const size_t maximum = size_t{1} << h.bitCount;
    size_t count = h.coloursUsed != 0 && h.coloursUsed < maximum ? h.coloursUsed : maximum;
    const size_t at = kFileHeaderSize + h.size + MasksSize(h);
    // The palette ends where the pixels begin; a palette that claims more
    // entries than fit there keeps those that do.
    const size_t end = std::min(pixelsAt, file.size());
    const size_t room = end > at ? (end - at) / entrySize : 0;
    count = std::min(count, room);
    palette.colours.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(file.data() + at + i * entrySize);
        palette.colours.push_back({p[2], p[1], p[0]});
        palette.grey = palette.grey && p[0] == p[1] && p[1] == p[2];
    }
    return palette;
}

// Writes decoded pixels into the output picture, bottom-up files turned the
// right way up, and remembers which pixels were ever written.
class Canvas {
  public:
    Canvas(BmpPicture& picture, bool bottomUp, bool trackWritten) : picture_(picture), bottomUp_(bottomUp) {
        const size_t count = static_cast<size_t>(picture.width) * picture.height;
        picture.pixels.assign(count * 4, 0);
        if (trackWritten) {
            written_.assign(count, false);
        }
    }
    uint8_t* Pixel(int64_t x, int64_t row) {
        const int64_t y = bottomUp_ ? picture_.height - 1 - row : row;
        const size_t index = static_cast<size_t>(y) * picture_.width + static_cast<size_t>(x);
        if (!written_.empty()) {
            written_[index] = true;
        }
        return picture_.pixels.data() + index * 4;
    }
    void Put(int64_t x, int64_t row, const std::array<uint8_t, 3>& rgb, uint8_t alpha = 255) {
        uint8_t* p = Pixel(x, row);
        p[0] = rgb[0];
        p[1] = rgb[1];
        p[2] = rgb[2];
        p[3] = alpha;
    }
    bool AllWritten() const { return std::find(written_.begin(), written_.end(), false) == written_.end(); }

  private:
    BmpPicture& picture_;
    bool bottomUp_;
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

uint64_t Stride(int width, uint32_t bitCount) {
    return (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
}

void DecodeUncompressed(std::string_view data, const Header& h, const Palette& palette,
                        const BmpPicture& picture, Canvas& canvas, Faults& faults) {
    const uint64_t stride = Stride(picture.width, h.bitCount);
    faults.rowsPresent = std::min<uint64_t>(data.size() / stride, picture.height);
    faults.rowsMissing = faults.rowsPresent < static_cast<uint64_t>(picture.height);
    const bool masked = h.compression == kBitfields || h.compression == kAlphaBitfields;
    std::array<Channel, 4> channels;
    if (masked) {
        for (int i = 0; i < 4; ++i) {
            channels[i] = Channel(h.masks[i]);
        }
    } else if (h.bitCount == 16) {
        channels = {Channel(0x7C00), Channel(0x03E0), Channel(0x001F), Channel(0)};
    } else {
        channels = {Channel(0xFF0000), Channel(0x00FF00), Channel(0x0000FF), Channel(h.masks[3])};
    }
    if (!h.alphaMaskGiven) {
        channels[3] = Channel(0);
    }
    const unsigned indexMask = (1u << std::min(h.bitCount, 8u)) - 1;
    for (uint64_t row = 0; row < faults.rowsPresent; ++row) {
        const auto* line = reinterpret_cast<const unsigned char*>(data.data() + row * stride);
        for (int64_t x = 0; x < picture.width; ++x) {
            if (h.bitCount <= 8) {
                const uint64_t bit = static_cast<uint64_t>(x) * h.bitCount;
                const unsigned shift = 8 - h.bitCount - bit % 8;
                canvas.Put(x, row, Colour(palette, (line[bit / 8] >> shift) & indexMask, faults));
                continue;
            }
            const unsigned char* p = line + x * (h.bitCount / 8);
            uint32_t value = p[0] | (p[1] << 8);
            if (h.bitCount >= 24) {
                value |= p[2] << 16;
            }
            if (h.bitCount == 32) {
                value |= static_cast<uint32_t>(p[3]) << 24;
            }
            canvas.Put(x, row,
                       {channels[0].Read(value, 0), channels[1].Read(value, 0), channels[2].Read(value, 0)},
                       channels[3].Read(value, 255));
        }
    }
}

// RLE4 and RLE8: runs of one colour, literal stretches, and jumps that leave
// pixels unwritten. Unwritten pixels stay transparent.
void DecodeRunLength(std::string_view data, const Header& h, const Palette& palette,
                     const BmpPicture& picture, Canvas& canvas, Faults& faults) {
    const bool four = h.compression == kRle4;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const size_t size = data.size();
    int64_t x = 0;
    int64_t row = 0;
    size_t at = 0;
    bool ended = false;
    auto put = [&](unsigned index) {
        if (x >= picture.width || row >= picture.height) {
            faults.spilled = true;
        } else {
            canvas.Put(x, row, Colour(palette, index, faults));
        }
        ++x;
    };
    while (!ended && row < picture.height && size - at >= 2) {
        const unsigned count = bytes[at];
        const unsigned value = bytes[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) {
                put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            }
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++row;
            break;
        case 1: // end of bitmap
            ended = true;
            break;
        case 2: // jump ahead
            if (size - at < 2) {
                at = size;
                break;
            }
            x += bytes[at];
            row += bytes[at + 1];
            at += 2;
            break;
        default: { // a literal stretch of `value` pixels, padded to an even byte count
            const size_t length = four ? (value + 1) / 2 : value;
            if (size - at < length) {
                at = size;
                break;
            }
            for (unsigned i = 0; i < value; ++i) {
                const unsigned byte = bytes[at + (four ? i / 2 : i)];
                put(four ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
            }
            at += std::min(length + length % 2, size - at);
            break;
        }
        }
    }
    faults.runsCutShort = !ended && row < picture.height;
}

enum class Alpha {
    None,     // every pixel is opaque
    Written,  // pixels never written (skipped by runs, rows missing) are clear
    FromFile, // the file's own alpha channel
};

// Pictures whose palette holds only greys are stored as grey, and an alpha
// channel that says nothing is dropped: all opaque, or, when it comes from the
// file, all clear (a writer that left the byte at zero did not mean an
// invisible picture).
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
        keepAlpha = anyClear && (anyOpaque || alpha == Alpha::Written);
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

} // namespace

BmpPicture DecodeBmp(std::string_view file, int64_t maxPixels) {
    const Header h = ReadHeader(file);
    BmpPicture picture;
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

    const uint32_t pixelsAt = U32(file, 10);
    if (pixelsAt >= file.size()) {
        throw BmpError("the bitmap holds no pixel data");
    }
    std::string_view data = file.substr(pixelsAt);
    if (h.size >= 124 && h.colourSpace == 0x4D424544 /* 'MBED' */ && h.profileSize > 0) {
        const uint64_t at = kFileHeaderSize + uint64_t{h.profileOffset};
        if (at < file.size() && file.size() - at >= h.profileSize) {
            picture.iccProfile.assign(file.substr(at, h.profileSize));
        }
    }

    if (h.compression == kJpeg || h.compression == kPng) {
        picture.stream = h.compression == kJpeg ? BmpPicture::Stream::Jpeg : BmpPicture::Stream::Png;
        picture.streamBytes =
            h.imageSize != 0 && h.imageSize < data.size() ? data.substr(0, h.imageSize) : data;
        return picture;
    }
    const bool runLength = h.compression == kRle8 || h.compression == kRle4;
    if (runLength && h.bitCount != (h.compression == kRle8 ? 8u : 4u)) {
        throw BmpError("the bitmap's compression does not match its " + std::to_string(h.bitCount) +
                       "-bit pixels");
    }
    switch (h.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 24:
        if (h.compression != kRgb && !runLength) {
            throw BmpError("unknown compression " + std::to_string(h.compression) + " for " +
                           std::to_string(h.bitCount) + "-bit pixels");
        }
        break;
    case 16:
    case 32:
        if (h.compression != kRgb && h.compression != kBitfields && h.compression != kAlphaBitfields) {
            throw BmpError("unknown compression " + std::to_string(h.compression) + " for " +
                           std::to_string(h.bitCount) + "-bit pixels");
        }
        break;
    default:
        throw BmpError("unsupported bits per pixel: " + std::to_string(h.bitCount));
    }

    const Palette palette = ReadPalette(file, h, pixelsAt);
    Faults faults;
    // Run-length pictures are stored bottom-up; a top-down one is out of the
    // format, but its rows are read the way they are stored.
    Canvas canvas(picture, h.height > 0, runLength);
    if (runLength) {
        DecodeRunLength(data, h, palette, picture, canvas, faults);
    } else {
        DecodeUncompressed(data, h, palette, picture, canvas, faults);
    }
    picture.damage = faults.Describe(picture.height);
    if (h.bitCount <= 8 && palette.colours.empty()) {
        picture.damage = "the palette is missing" + (picture.damage.empty() ? "" : "; " + picture.damage);
    }
    const bool grey = h.bitCount <= 8 && palette.grey;
    if (h.alphaMaskGiven) {
        Pack(picture, grey, Alpha::FromFile);
    } else if ((runLength && !canvas.AllWritten()) || faults.rowsMissing) {
        Pack(picture, grey, Alpha::Written);
    } else {
        Pack(picture, grey, Alpha::None);
    }
    return picture;
}
