#include "KeepJpeg.h"

#include "DamageWarnings.h"
#include "JpegMarkers.h"
#include "NormalizeImage.h"
#include "PagePlacement.h"
#include "VipsRuntime.h"

#include <memory>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips8>


namespace {

constexpr uint8_t kBaseline = 0xC0;
constexpr uint8_t kProgressive = 0xC2;

// Larger sources are left to the normalisation, which refuses what it must.
constexpr off_t kMaxKeptBytes = off_t{512} << 20;

// The whole file, or nothing when it cannot be read or is no regular file of
// a size worth keeping.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& source) {
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && info.st_size <= kMaxKeptBytes) {
        std::string content(static_cast<size_t>(info.st_size), '\0');
        size_t got = 0;
        while (got < content.size()) {
            const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<size_t>(n);
        }
        if (got == content.size()) {
            bytes = std::move(content);
        }
    }
    ::close(fd);
    return bytes;
}

// What a PDF reader shows without help: it takes three components for YCbCr
// unless an Adobe segment says otherwise, while decoders also go by the
// components' names; a file whose names say RGB without an Adobe segment
// would come out in other colours.
bool ShowsAsItIs(const JpegLayout& layout) {
    if (layout.frameMarker != kBaseline && layout.frameMarker != kProgressive) {
        return false; // extended, lossless, hierarchical or arithmetic coding
    }
    if (layout.precision != 8 || layout.width < 1 || layout.height < 1 ||
        int64_t{layout.width} * layout.height > kMaxPicturePixels) {
        return false;
    }
    if (layout.componentIds.size() == 1) {
        return true;
    }
    if (layout.componentIds.size() != 3) {
        return false; // CMYK and YCCK need the normalisation's colour conversion
    }
    const bool namedRgb =
        layout.componentIds[0] == 'R' && layout.componentIds[1] == 'G' && layout.componentIds[2] == 'B';
    return !namedRgb || layout.adobeTransform.has_value();
}

} // namespace

bool JpegDecodesCleanly(std::string_view bytes) {
    const JpegScan scan = ScanJpeg(bytes);
    return !scan.failed && scan.warnings == 0;
}

namespace {

// The EXIF orientation as the normalisation reads it, so a kept picture turns
// exactly as a rendered one would; empty when the picture library cannot read
// the header (the normalisation then reports why).
std::optional<int> OrientationOf(const std::string& bytes) {
    EnsureVipsStarted();
    VipsBlob* blob = vips_blob_new(nullptr, bytes.data(), bytes.size());
    std::unique_ptr<VipsArea, decltype(&vips_area_unref)> owner(VIPS_AREA(blob), &vips_area_unref);
    try {
        const vips::VImage header = vips::VImage::jpegload_buffer(blob);
        return vips_image_get_orientation(header.get_image());
    } catch (const vips::VError&) {
        ClearVipsMessages();
        return std::nullopt;
    }
}

bool SwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

} // namespace

KeepJpegResult KeepJpegAsIs(const std::filesystem::path& source, const std::filesystem::path& destination,
                            const PageSetup& page) {
    KeepJpegResult result;
    const std::optional<std::string> bytes = ReadWholeFile(source);
    if (!bytes) {
        return result;
    }
    const std::optional<JpegLayout> layout = ReadJpegLayout(*bytes);
    if (!layout || !ShowsAsItIs(*layout) || !JpegDecodesCleanly(*bytes)) {
        return result;
    }
    const std::optional<int> orientation = OrientationOf(*bytes);
    if (!orientation) {
        return result;
    }
    KeptJpeg kept;
    kept.width = layout->width;
    kept.height = layout->height;
    kept.orientation = *orientation;
    const bool swap = SwapsSides(kept.orientation);
    const PageGeometry geometry =
        LayOutPage(page, swap ? kept.height : kept.width, swap ? kept.width : kept.height);
    kept.pageWidth = geometry.widthPx;
    kept.pageHeight = geometry.heightPx;
    kept.place = geometry.picture;
    if (kept.place.width < 1 || kept.place.height < 1) {
        return result; // a sliver thinner than a pixel: the normalisation draws it one pixel wide
    }
    result.writeError = StorePage(destination, WithoutExif(*bytes, *layout));
    if (result.writeError.empty()) {
        result.kept = kept;
    }
    return result;
}
