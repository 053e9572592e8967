#include "KeepJpeg.h"

#include "JpegMarkers.h"
#include "KeptPlacement.h"
#include "NormalizeImage.h"
#include "PagePlacement.h"
#include "StatedResolution.h"
#include "VipsRuntime.h"

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips8>

namespace {

constexpr uint8_t kBaseline = 0xC0;
constexpr uint8_t kProgressive = 0xC2;

// Larger sources are left to the normalisation, which refuses what it must.
constexpr off_t kMaxKeptBytes = off_t{512} << 20;

// A source file seen through a read-only mapping: the checks read it where
// it lies, without copying it.
class MappedFile {
  public:
    explicit MappedFile(const std::filesystem::path& source) {
        // O_NONBLOCK: a named pipe is refused below instead of waited on.
        const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return;
        }
        if (::fstat(fd, &info_) == 0 && S_ISREG(info_.st_mode) && info_.st_size > 0 &&
            info_.st_size <= kMaxKeptBytes) {
            void* mapped = ::mmap(nullptr, static_cast<size_t>(info_.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (mapped != MAP_FAILED) {
                data_ = mapped;
                size_ = static_cast<size_t>(info_.st_size);
            }
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (data_ != nullptr) {
            ::munmap(data_, size_);
        }
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool mapped() const { return data_ != nullptr; }
    std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }
    int64_t modifiedNs() const {
        return int64_t{info_.st_mtim.tv_sec} * 1'000'000'000 + info_.st_mtim.tv_nsec;
    }

  private:
    struct stat info_ {};
    void* data_ = nullptr;
    size_t size_ = 0;
};

// Hands the checked source over as the page: a link to the source where the
// scratch folder's file system takes links (nothing copied, its EXIF left out
// later), a copy without the EXIF where it does not.
std::string HandOver(const std::filesystem::path& source, const std::filesystem::path& destination,
                     const MappedFile& file, const JpegLayout& layout, KeptJpeg& kept, uint64_t& diskFull) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::absolute(source, error);
    // A page left by an earlier attempt (a link, perhaps to another picture)
    // is replaced, never written through.
    ::unlink(destination.c_str());
    if (!error && ::symlink(target.c_str(), destination.c_str()) == 0) {
        LinkedSource linked;
        linked.bytes = file.bytes().size();
        linked.modifiedNs = file.modifiedNs();
        for (const auto& [offset, length] : layout.exifSegments) {
            linked.leaveOut.emplace_back(offset, length);
        }
        kept.linked = std::move(linked);
        return {};
    }
    return StorePage(destination, WithoutExif(file.bytes(), layout), &diskFull);
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

struct HeaderFacts {
    int orientation = 1;
    PictureResolution resolution;
};

// The EXIF orientation and the resolution as the normalisation reads them, so
// a kept picture turns and stretches exactly as a rendered one would; empty
// when the picture library cannot read the header (the normalisation then
// reports why).
std::optional<HeaderFacts> HeaderFactsOf(std::string_view bytes, const JpegLayout& layout) {
    EnsureVipsStarted();
    VipsBlob* blob = vips_blob_new(nullptr, bytes.data(), bytes.size());
    std::unique_ptr<VipsArea, decltype(&vips_area_unref)> owner(VIPS_AREA(blob), &vips_area_unref);
    try {
        const vips::VImage header = vips::VImage::jpegload_buffer(blob);
        return HeaderFacts{vips_image_get_orientation(header.get_image()),
                           StatedResolution(WithJpegDensity(header, layout))};
    } catch (const vips::VError&) {
        ClearVipsMessages();
        return std::nullopt;
    }
}

} // namespace

KeepJpegResult KeepJpegAsIs(const std::filesystem::path& source, const std::filesystem::path& destination,
                            const PageSetup& page) {
    KeepJpegResult result;
    const MappedFile file(source);
    if (!file.mapped()) {
        return result;
    }
    const std::string_view bytes = file.bytes();
    const std::optional<JpegLayout> layout = ReadJpegLayout(bytes);
    if (!layout || !ShowsAsItIs(*layout) || !ReachesEndOfImage(bytes, *layout)) {
        return result;
    }
    const std::optional<HeaderFacts> facts = HeaderFactsOf(bytes, *layout);
    if (!facts) {
        return result;
    }
    KeptJpeg kept =
        PlaceKeptPicture(layout->width, layout->height, facts->orientation, facts->resolution, page);
    if (kept.place.width < 1 || kept.place.height < 1) {
        return result; // a sliver thinner than a pixel: the normalisation draws it one pixel wide
    }
    result.writeError = HandOver(source, destination, file, *layout, kept, result.diskFullNeeding);
    if (result.writeError.empty()) {
        result.kept = kept;
    }
    return result;
}
