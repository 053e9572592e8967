#include "CopyImageData.h"

#include "KeptPlacement.h"
#include "LosslessPicture.h"
#include "NormalizeImage.h"
#include "PngStream.h"
#include "PngTextOrientation.h"
#include "StatedResolution.h"
#include "TiffPages.h"
#include "VipsRuntime.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>
#include <vips/vips8>

#include <cstring>
#include <memory>
#include <vector>

using vips::VImage;

namespace {

// Larger sources are decoded: their data would not fit a page's stream anyway.
constexpr size_t kMaxCopiedBytes = size_t{512} << 20;

enum class Kind { Png, Tiff, Jpx, Other };

Kind KindOf(std::string_view head) {
    if (head.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) {
        return Kind::Png;
    }
    if (head.substr(0, 4) == "II*\0" || head.substr(0, 4) == std::string_view("MM\0*", 4)) {
        return Kind::Tiff;
    }
    if (head.substr(0, 12) == std::string_view("\0\0\0\x0CjP  \r\n\x87\n", 12) ||
        head.substr(0, 4) == std::string_view("\xFF\x4F\xFF\x51", 4)) {
        return Kind::Jpx;
    }
    return Kind::Other;
}

class OpenSource {
  public:
    explicit OpenSource(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenSource() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OpenSource(const OpenSource&) = delete;
    OpenSource& operator=(const OpenSource&) = delete;
    int fd() const { return fd_; }
    // All of the file, or empty when it cannot be read or is too large.
    std::string ReadAll() const {
        std::string bytes;
        char chunk[1 << 16];
        for (;;) {
            const ssize_t n = ::pread(fd_, chunk, sizeof chunk, static_cast<off_t>(bytes.size()));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 || bytes.size() + static_cast<size_t>(n) > kMaxCopiedBytes) {
                return {};
            }
            if (n == 0) {
                return bytes;
            }
            bytes.append(chunk, static_cast<size_t>(n));
        }
    }

  private:
    int fd_;
};

// Where the picture goes, from its header as the normalisation reads it.
KeptJpeg PlaceByHeader(const VImage& header, int32_t width, int32_t height, const PageSetup& page) {
    return PlaceKeptPicture(width, height, vips_image_get_orientation(header.get_image()),
                            StatedResolution(header), page);
}

// Bytes of the file behind `fd`, read where they lie.
ReadBytesAt ReaderOf(int fd) {
    return [fd](uint64_t offset, size_t count) {
        std::string bytes(count, '\0');
        ssize_t n = -1;
        do {
            n = ::pread(fd, bytes.data(), count, static_cast<off_t>(offset));
        } while (n < 0 && errno == EINTR);
        bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return bytes;
    };
}

// A PNG's header with what the normalisation reads beside libvips: the shape
// of pixels stated without a unit, and the orientation kept in a text chunk,
// so that a copied page lands as a rendered one does.
VImage PngHeaderOf(const vips::VSource& source, int fd) {
    const ReadBytesAt read = ReaderOf(fd);
    VImage header = WithPngDensity(VImage::pngload_source(source), read);
    if (header.get_typeof(VIPS_META_ORIENTATION) == 0) {
        if (const std::optional<int> orientation = ReadPngTextOrientation(read)) {
            header = header.copy();
            header.set(VIPS_META_ORIENTATION, *orientation);
        }
    }
    return header;
}

VImage HeaderOf(int fd, Kind kind, int directory) {
    const vips::VSource source = vips::VSource::new_from_descriptor(fd);
    switch (kind) {
    case Kind::Png:
        return PngHeaderOf(source, fd);
    case Kind::Tiff:
        return VImage::tiffload_source(source, VImage::option()->set("page", directory));
    default:
        return VImage::jp2kload_source(source, VImage::option()->set("fail_on", VIPS_FAIL_ON_WARNING));
    }
}

// A one-bit PNG: Group 4 stores it smaller, so it is decoded.
bool IsBlackAndWhite(const PngStream& png) {
    if (png.bits != 1) {
        return false;
    }
    return png.palette.empty() || png.palette == std::string("\0\0\0\xFF\xFF\xFF", 6) ||
           png.palette == std::string("\xFF\xFF\xFF\0\0\0", 6);
}

struct Copied {
    std::string data; // empty when the page file is already stored
    StreamCoding coding;
    int32_t width = 0;
    int32_t height = 0;
};

// A PNG that cannot be copied (interlaced, transparent, with a colour
// profile): decoded to its own values, as a copy would show them, with
// transparency over white, and stored losslessly. Damage throws, and the
// picture is then rendered and reported as any damaged picture is.
std::optional<Copied> DecodePng(int fd, const std::filesystem::path& destination, bool pdf14,
                                std::string& writeError, uint64_t& diskFull) {
    VImage picture = VImage::pngload_source(vips::VSource::new_from_descriptor(fd),
                                            VImage::option()->set("fail_on", VIPS_FAIL_ON_WARNING));
    const bool deep = picture.format() == VIPS_FORMAT_USHORT;
    if (picture.has_alpha()) {
        picture =
            picture.flatten(VImage::option()->set("background", std::vector<double>{deep ? 65535.0 : 255.0}));
    }
    picture = picture.cast(deep ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
    if (deep && pdf14) {
        picture = (picture >> 8).cast(VIPS_FORMAT_UCHAR);
    }
    if ((picture.bands() != 1 && picture.bands() != 3) || picture.width() > 65535 ||
        picture.height() > 65535) {
        return std::nullopt;
    }
    picture = picture.copy_memory(); // decoded through here: damage shows now, not half way through storing
    Copied copied;
    copied.width = picture.width();
    copied.height = picture.height();
    writeError = StoreOwnPixels(picture.get_image(), destination, copied.coding, &diskFull);
    return copied;
}

std::optional<Copied> CopyPng(const std::string& bytes) {
    std::optional<PngStream> png = ReadPngStream(bytes);
    if (!png || IsBlackAndWhite(*png)) {
        return std::nullopt;
    }
    Copied copied;
    copied.width = png->width;
    copied.height = png->height;
    copied.coding = {StreamCoding::Filter::Flate, png->components, png->bits, true, false, png->palette};
    copied.data = std::move(png->data);
    return copied;
}

// Damage found while libtiff reads the strip: any error or warning counts.
struct TiffTrouble {
    int count = 0;
};

int CountTrouble(TIFF*, void* user, const char*, const char*, va_list) {
    ++static_cast<TiffTrouble*>(user)->count;
    return 1; // heard: libtiff need not print it
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// The one strip of a Group 4 page, when it decodes without a complaint.
std::optional<Copied> CopyGroup4Strip(int fd, int directory) {
    const int own = ::dup(fd);
    if (own < 0) {
        return std::nullopt;
    }
    ::lseek(own, 0, SEEK_SET);
    TiffTrouble trouble;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, CountTrouble, &trouble);
    TIFFOpenOptionsSetWarningHandlerExtR(options, CountTrouble, &trouble);
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFFdOpenExt(own, "page", "r", options));
    TIFFOpenOptionsFree(options);
    if (!tiff) {
        ::close(own);
        return std::nullopt;
    }
    TIFF* t = tiff.get();
    if (directory > 0 && TIFFSetDirectory(t, static_cast<tdir_t>(directory)) != 1) {
        return std::nullopt;
    }
    uint16_t compression = 0, bits = 0, samples = 0, photometric = 0, fillOrder = FILLORDER_MSB2LSB;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint32_t width = 0, height = 0, options4 = 0;
    TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(t, TIFFTAG_FILLORDER, &fillOrder);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    const bool hasPhotometric = TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric) == 1;
    if (compression != COMPRESSION_CCITTFAX4 || bits != 1 || samples != 1 || !hasPhotometric ||
        photometric > PHOTOMETRIC_MINISBLACK || fillOrder != FILLORDER_MSB2LSB || TIFFIsTiled(t) ||
        TIFFNumberOfStrips(t) != 1 || width < 1 || height < 1 || width > 65535 || height > 65535) {
        return std::nullopt;
    }
    // Uncompressed runs inside Group 4 data are an extension few readers know.
    if (TIFFGetField(t, TIFFTAG_GROUP4OPTIONS, &options4) == 1 && options4 != 0) {
        return std::nullopt;
    }
    uint64_t* counts = nullptr;
    if (TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) != 1 || counts == nullptr || counts[0] == 0 ||
        counts[0] > kMaxCopiedBytes) {
        return std::nullopt;
    }
    Copied copied;
    copied.width = static_cast<int32_t>(width);
    copied.height = static_cast<int32_t>(height);
    copied.data.resize(counts[0]);
    if (TIFFReadRawStrip(t, 0, copied.data.data(), static_cast<tmsize_t>(counts[0])) !=
        static_cast<tmsize_t>(counts[0])) {
        return std::nullopt;
    }
    // Decoded once to be sure it is whole: a reader would show damage as noise.
    std::vector<uint8_t> rows(static_cast<size_t>(TIFFStripSize(t)));
    if (TIFFReadEncodedStrip(t, 0, rows.data(), static_cast<tmsize_t>(rows.size())) !=
            static_cast<tmsize_t>(rows.size()) ||
        trouble.count > 0) {
        return std::nullopt;
    }
    // The codec takes 1 for black; a picture whose smallest value is black says the opposite.
    copied.coding = {StreamCoding::Filter::G4, 1, 1, false, photometric == PHOTOMETRIC_MINISBLACK, {}};
    return copied;
}

// A grey or colour JPEG 2000 picture of 8 bits that decodes to its end.
std::optional<Copied> CopyJpx(const VImage& header, std::string bytes) {
    if ((header.bands() != 1 && header.bands() != 3) || header.format() != VIPS_FORMAT_UCHAR ||
        header.width() > 65535 || header.height() > 65535) {
        return std::nullopt;
    }
    (void)header.avg(); // decodes every pixel: damage throws
    Copied copied;
    copied.width = header.width();
    copied.height = header.height();
    copied.coding = {StreamCoding::Filter::Jpx, header.bands(), 8, false, false, {}};
    copied.data = std::move(bytes);
    return copied;
}

} // namespace

LosslessPageResult CopyImageData(const std::filesystem::path& source, size_t part,
                                 const std::filesystem::path& destination, const PageSetup& page,
                                 bool pdf14) {
    LosslessPageResult result;
    EnsureVipsStarted();
    const OpenSource file(source);
    if (file.fd() < 0) {
        return result;
    }
    char head[16] = {};
    const ssize_t got = ::pread(file.fd(), head, sizeof head, 0);
    const Kind kind = KindOf(std::string_view(head, got > 0 ? static_cast<size_t>(got) : 0));
    if (kind == Kind::Other || (kind == Kind::Jpx && pdf14) || (kind != Kind::Tiff && part > 0)) {
        return result;
    }
    std::optional<Copied> copied;
    int directory = 0;
    try {
        if (kind == Kind::Tiff) {
            const TiffPages pages = ListTiffPages(file.fd(), part + 1);
            if (part >= pages.directories.size()) {
                return result;
            }
            directory = pages.directories[part];
            copied = CopyGroup4Strip(file.fd(), directory);
        } else if (kind == Kind::Png) {
            copied = CopyPng(file.ReadAll());
            if (!copied || (copied->coding.bits == 16 && pdf14)) {
                copied = DecodePng(file.fd(), destination, pdf14, result.writeError, result.diskFullNeeding);
                if (!result.writeError.empty()) {
                    return result;
                }
            }
        }
        if (!copied && kind != Kind::Jpx) {
            return result;
        }
        const VImage header = HeaderOf(file.fd(), kind, directory);
        if (kind == Kind::Jpx) {
            copied = CopyJpx(header, file.ReadAll());
            if (!copied) {
                return result;
            }
        }
        KeptJpeg kept = PlaceByHeader(header, copied->width, copied->height, page);
        if (kept.place.width < 1 || kept.place.height < 1 || header.width() != copied->width ||
            header.height() != copied->height) {
            return result;
        }
        kept.coding = copied->coding;
        if (!copied->data.empty()) {
            result.writeError = StorePage(destination, copied->data, &result.diskFullNeeding);
        }
        if (result.writeError.empty()) {
            result.kept = std::move(kept);
        }
    } catch (const std::exception&) {
        ClearVipsMessages();
        ::unlink(destination.c_str()); // a page stored before the damage showed is no page
    }
    return result;
}
