#include "LosslessPicture.h"

#include "BilevelPage.h"
#include "PngStream.h"
#include "VipsRuntime.h"

#include <fcntl.h>
#include <unistd.h>
#include <vips/vips8>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <vector>

using vips::VImage;

namespace {

// The picture's pixels, in memory, band after band for each pixel.
struct Pixels {
    std::unique_ptr<uint8_t, decltype(&g_free)> data{nullptr, &g_free};
    size_t size = 0;
};

Pixels PixelsOf(const VImage& image) {
    Pixels pixels;
    pixels.data.reset(static_cast<uint8_t*>(vips_image_write_to_memory(image.get_image(), &pixels.size)));
    if (!pixels.data) {
        throw vips::VError(TakeVipsError());
    }
    return pixels;
}

uint32_t ColourAt(const uint8_t* p, int bands) {
    return bands == 1 ? p[0] : uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

// At most 256 colours, each its bands packed into one number, in the order
// met, found again through a hash table: a picture of many pixels and few
// colours must not cost a search per pixel.
class ColourTable {
  public:
    // The colour's index, added when new; -1 when the table is full.
    int IndexOf(uint32_t colour) {
        // At most 256 colours in 4096 slots: a probe or two finds any of them.
        for (size_t slot = (colour * 2654435761u) >> 20;; slot = (slot + 1) % kSlots) {
            Slot& held = slots_[slot];
            if (held.index >= 0 && held.colour == colour) {
                return held.index;
            }
            if (held.index < 0) {
                held = {colour, Add(colour)};
                return held.index;
            }
        }
    }
    const std::vector<uint32_t>& colours() const { return colours_; }

  private:
    // The new colour's index, or -1 when the table is full.
    int16_t Add(uint32_t colour) {
        if (colours_.size() == 256) {
            return -1;
        }
        colours_.push_back(colour);
        return static_cast<int16_t>(colours_.size() - 1);
    }

    struct Slot {
        uint32_t colour = 0;
        int16_t index = -1;
    };
    static constexpr size_t kSlots = size_t{1} << 12;
    std::vector<uint32_t> colours_;
    std::array<Slot, kSlots> slots_{};
};

// The picture's colours when it has at most 256 of them.
std::optional<std::vector<uint32_t>> ColoursOf(const Pixels& pixels, int bands) {
    if (bands == 1) {
        // A grey picture never has more: a bare loop for the commonest kind of scan.
        std::array<bool, 256> met{};
        std::vector<uint32_t> colours;
        for (size_t at = 0; at < pixels.size; ++at) {
            const uint8_t grey = pixels.data.get()[at];
            if (!met[grey]) {
                met[grey] = true;
                colours.push_back(grey);
            }
        }
        return colours;
    }
    ColourTable table;
    for (size_t at = 0; at + bands <= pixels.size; at += bands) {
        if (table.IndexOf(ColourAt(pixels.data.get() + at, bands)) < 0) {
            return std::nullopt;
        }
    }
    return table.colours();
}

bool IsBlackAndWhite(const std::vector<uint32_t>& colours, int bands) {
    const uint32_t white = bands == 1 ? 0xFF : 0xFFFFFF;
    return std::all_of(colours.begin(), colours.end(), [&](uint32_t c) { return c == 0 || c == white; });
}

// The picture's data as libvips' PNG writer filters and compresses it, for
// FlateDecode with PNG predictors: the best of its row filters for photos
// and screenshots, none for packed indices, where filters only cost.
std::string FlateData(const VImage& image, int bits, bool filtered) {
    VipsBlob* blob = image.pngsave_buffer(
        VImage::option()
            ->set("bitdepth", bits)
            ->set("strip", true)
            ->set("filter", filtered ? VIPS_FOREIGN_PNG_FILTER_ALL : VIPS_FOREIGN_PNG_FILTER_NONE));
    std::unique_ptr<VipsArea, decltype(&vips_area_unref)> owner(VIPS_AREA(blob), &vips_area_unref);
    std::optional<PngStream> png = ReadPngStream(
        std::string_view(static_cast<const char*>(VIPS_AREA(blob)->data), VIPS_AREA(blob)->length));
    if (!png) {
        throw std::runtime_error("the picture's own PNG data could not be read back");
    }
    return std::move(png->data);
}

int IndexBits(size_t colours) {
    return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

struct Stored {
    std::string data;
    StreamCoding coding;
};

// An index picture of the colours, written as grey of the index depth: the
// PNG writer packs each value's low bits, which hold the index.
Stored IndexedPicture(const VImage& image, const Pixels& pixels, const std::vector<uint32_t>& colours) {
    const int bands = image.bands();
    const int bits = IndexBits(colours.size());
    std::vector<uint8_t> indices(static_cast<size_t>(image.width()) * image.height());
    std::string palette;
    ColourTable table;
    for (uint32_t colour : colours) {
        table.IndexOf(colour);
        palette += static_cast<char>(bands == 1 ? colour : colour >> 16);
        palette += static_cast<char>(bands == 1 ? colour : colour >> 8);
        palette += static_cast<char>(colour);
    }
    if (bands == 1) {
        std::array<uint8_t, 256> indexOf{};
        for (uint32_t colour : colours) {
            indexOf[colour] = static_cast<uint8_t>(table.IndexOf(colour));
        }
        for (size_t i = 0; i < indices.size(); ++i) {
            indices[i] = indexOf[pixels.data.get()[i]];
        }
    } else {
        for (size_t i = 0; i < indices.size(); ++i) {
            const int index = table.IndexOf(ColourAt(pixels.data.get() + i * bands, bands));
            indices[i] = static_cast<uint8_t>(index);
        }
    }
    const VImage index = VImage::new_from_memory(indices.data(), indices.size(), image.width(),
                                                 image.height(), 1, VIPS_FORMAT_UCHAR)
                             .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
    return {FlateData(index, bits, bits == 8), {StreamCoding::Filter::Flate, 1, bits, true, false, palette}};
}

Stored LosslessData(const VImage& image, const std::filesystem::path& destination, bool& bilevelStored,
                    std::string& writeError, uint64_t& diskFull) {
    if (image.format() == VIPS_FORMAT_USHORT) {
        return {FlateData(image, 16, true),
                {StreamCoding::Filter::Flate, image.bands(), 16, true, false, {}}};
    }
    const Pixels pixels = PixelsOf(image);
    const int bands = image.bands();
    const std::optional<std::vector<uint32_t>> colours = ColoursOf(pixels, bands);
    if (colours && IsBlackAndWhite(*colours, bands)) {
        StreamCoding coding;
        const VImage grey = bands == 1 ? image : image.extract_band(0);
        writeError = StoreBilevelPage(destination, grey.get_image(), coding, &diskFull);
        if (writeError.empty() || diskFull > 0) {
            bilevelStored = writeError.empty();
            return {{}, coding};
        }
        writeError.clear(); // libtiff could not: Flate keeps the pixels as well
    }
    if (colours && (bands == 3 || IndexBits(colours->size()) < 8)) {
        return IndexedPicture(image, pixels, *colours);
    }
    return {FlateData(image, 8, true), {StreamCoding::Filter::Flate, bands, 8, true, false, {}}};
}

} // namespace

std::string StoreOwnPixels(_VipsImage* picture, const std::filesystem::path& destination,
                           StreamCoding& coding, uint64_t* diskFullNeeding) {
    const VImage image(picture, vips::NOSTEAL);
    bool bilevelStored = false;
    std::string writeError;
    uint64_t diskFull = 0;
    Stored stored = LosslessData(image, destination, bilevelStored, writeError, diskFull);
    if (writeError.empty() && !bilevelStored) {
        writeError = StorePage(destination, stored.data, &diskFull);
    }
    if (diskFullNeeding != nullptr) {
        *diskFullNeeding = diskFull;
    }
    if (writeError.empty()) {
        coding = stored.coding;
    }
    return writeError;
}

LosslessPageResult StoreShownPicture(const ShownPicture& shown, const std::filesystem::path& destination,
                                     bool lossy, int32_t quality) {
    LosslessPageResult result;
    if (shown.image == nullptr || shown.place.width < 1 || shown.place.height < 1) {
        return result;
    }
    const VImage image(shown.image, vips::NOSTEAL);
    if (image.width() > 65535 || image.height() > 65535 || image.format() != VIPS_FORMAT_UCHAR ||
        (image.bands() != 1 && image.bands() != 3)) {
        return result; // the page as rendered stands
    }
    KeptJpeg kept;
    kept.width = image.width();
    kept.height = image.height();
    kept.pageWidth = shown.pageWidth;
    kept.pageHeight = shown.pageHeight;
    kept.place = shown.place;
    try {
        if (lossy) {
            VipsBlob* blob = image.jpegsave_buffer(VImage::option()->set("strip", true)->set("Q", quality));
            std::unique_ptr<VipsArea, decltype(&vips_area_unref)> owner(VIPS_AREA(blob), &vips_area_unref);
            result.writeError = StorePage(
                destination,
                std::string_view(static_cast<const char*>(VIPS_AREA(blob)->data), VIPS_AREA(blob)->length),
                &result.diskFullNeeding);
        } else {
            StreamCoding coding;
            result.writeError = StoreOwnPixels(shown.image, destination, coding, &result.diskFullNeeding);
            kept.coding = coding;
        }
    } catch (const std::exception&) {
        ClearVipsMessages();
        return result; // the page as rendered stands
    }
    if (result.writeError.empty()) {
        result.kept = std::move(kept);
    }
    return result;
}

namespace {

// A WebP says how it is coded in the chunk that holds its picture: "VP8 "
// lossy, "VP8L" lossless; an extended file ("VP8X") puts others (a colour
// profile, an animation) before it.
bool IsLossyWebp(const std::filesystem::path& source) {
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool lossy = false;
    off_t at = 12;
    for (int chunks = 0; chunks < 64; ++chunks) {
        unsigned char header[8];
        if (::pread(fd, header, sizeof header, at) != static_cast<ssize_t>(sizeof header)) {
            break;
        }
        const std::string_view name(reinterpret_cast<const char*>(header), 4);
        if (name == "VP8 " || name == "VP8L" || name == "ANMF") {
            // An animation is read for its first frame, which may be either: taken as lossy.
            lossy = name != "VP8L";
            break;
        }
        const uint32_t size = header[4] | header[5] << 8 | header[6] << 16 | uint32_t{header[7]} << 24;
        at += 8 + static_cast<off_t>(size) + (size & 1);
    }
    ::close(fd);
    return lossy;
}

} // namespace

SourceCoding SourceCodingOf(const std::filesystem::path& source) {
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return SourceCoding::Lossless;
    }
    std::array<char, 64> bytes{};
    const ssize_t got = ::pread(fd, bytes.data(), bytes.size(), 0);
    ::close(fd);
    const std::string_view head(bytes.data(), got > 0 ? static_cast<size_t>(got) : 0);
    if (head.size() >= 44 && head.substr(0, 4) == std::string_view("\x01\0\0\0", 4) &&
        head.substr(40, 4) == " EMF") {
        return SourceCoding::Metafile;
    }
    const bool jpeg = head.substr(0, 3) == "\xFF\xD8\xFF";
    const bool heif = head.size() >= 12 && head.substr(4, 4) == "ftyp";
    const bool jpegXl = head.substr(0, 2) == "\xFF\x0A" ||
                        head.substr(0, 12) == std::string_view("\0\0\0\x0CJXL \r\n\x87\n", 12);
    const bool lossyWebp = head.substr(0, 4) == "RIFF" && head.substr(8, 4) == "WEBP" && IsLossyWebp(source);
    return jpeg || heif || jpegXl || lossyWebp ? SourceCoding::Lossy : SourceCoding::Lossless;
}

NormalizeResult RenderInOwnPixels(const PicturePages& pages, size_t part, const PageSetup& page,
                                  const std::filesystem::path& destination, int32_t quality, bool lossy,
                                  const ShownPictureSink* text, std::optional<KeptJpeg>& kept) {
    std::optional<VImage> picture;
    ShownPicture heard;
    // Every pixel, however many: the page is made of them, and only of them.
    const ShownPictureSink keep{[&](const ShownPicture& shown) {
                                    picture = VImage(shown.image, vips::NOSTEAL);
                                    heard = shown;
                                    if (text != nullptr && text->hear) {
                                        text->hear(shown);
                                    }
                                },
                                0, false};
    NormalizeResult result = pages.Render(part, page, destination, quality, &keep);
    const bool clean = result.written && (!result.problem || *result.problem == PictureOutcome::ProfileUnused);
    if (clean && picture) {
        heard.image = picture->get_image();
        const LosslessPageResult stored = StoreShownPicture(heard, destination, lossy, quality);
        if (stored.kept) {
            kept = stored.kept;
            return result;
        }
        if (!stored.writeError.empty()) {
            result.written = false;
            result.problem = PictureOutcome::NotPrepared;
            result.reason = stored.writeError;
            result.diskFullNeeding = stored.diskFullNeeding;
            return result;
        }
    }
    // Damaged, unreadable, or not a picture that can be stored as itself:
    // the page is rendered and reported as it always is.
    return pages.Render(part, page, destination, quality, text);
}
