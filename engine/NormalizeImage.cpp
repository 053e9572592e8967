#include "NormalizeImage.h"

#include "EmfPicture.h"
#include "VipsRuntime.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips8>

using vips::VImage;

namespace {

// Pictures beyond this many pixels are refused: decoding them would take
// minutes and gigabytes, and no page needs them.
constexpr int64_t kMaxPicturePixels = 400'000'000;

enum class PictureFormat { Jpeg, Png, Gif, Tiff, Bmp, Emf, Unknown };

PictureFormat SniffFormat(std::string_view head) {
    auto startsWith = [&](std::string_view magic) { return head.substr(0, magic.size()) == magic; };
    if (startsWith("\xFF\xD8\xFF")) {
        return PictureFormat::Jpeg;
    }
    if (startsWith("\x89PNG\r\n\x1A\n")) {
        return PictureFormat::Png;
    }
    if (startsWith("GIF87a") || startsWith("GIF89a")) {
        return PictureFormat::Gif;
    }
    if (startsWith(std::string_view("II*\0", 4)) || startsWith(std::string_view("MM\0*", 4)) ||
        startsWith(std::string_view("II+\0", 4)) || startsWith(std::string_view("MM\0+", 4))) {
        return PictureFormat::Tiff;
    }
    if (startsWith("BM")) {
        return PictureFormat::Bmp;
    }
    if (LooksLikeEmf(head)) {
        return PictureFormat::Emf;
    }
    return PictureFormat::Unknown;
}

// A source file opened once and read by descriptor, so that its name is taken
// literally: libvips would read "scan[1].jpg" as "scan" with load options.
class SourceFile {
  public:
    explicit SourceFile(const std::filesystem::path& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            throw std::runtime_error(std::strerror(errno));
        }
        struct stat info {};
        if (::fstat(fd_, &info) != 0) {
            throw std::runtime_error(std::strerror(errno));
        }
        if (S_ISDIR(info.st_mode)) {
            throw std::runtime_error("it is a folder, not a picture");
        }
        if (!S_ISREG(info.st_mode)) {
            throw std::runtime_error("it is not a regular file");
        }
        if (info.st_size == 0) {
            throw std::runtime_error("the file is empty");
        }
        size_ = static_cast<size_t>(info.st_size);
    }
    ~SourceFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    std::string Read(size_t limit) const {
        std::string bytes(std::min(limit, size_), '\0');
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::pread(fd_, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                throw std::runtime_error(n < 0 ? std::strerror(errno) : "the file shrank while being read");
            }
            got += static_cast<size_t>(n);
        }
        return bytes;
    }
    // A fresh libvips source on this file; libvips keeps its own descriptor.
    vips::VSource Source() const { return vips::VSource::new_from_descriptor(fd_); }
    size_t size() const { return size_; }

  private:
    int fd_ = -1;
    size_t size_ = 0;
};

struct LoadRequest {
    int shrink = 1;
    bool sequential = true;
    VipsFailOn failOn = VIPS_FAIL_ON_NONE;
};

VImage LoadRaster(const SourceFile& file, PictureFormat format, const LoadRequest& request) {
    auto options = [&] {
        auto* o = VImage::option()->set("fail_on", request.failOn);
        o->set("access", request.sequential ? VIPS_ACCESS_SEQUENTIAL : VIPS_ACCESS_RANDOM);
        return o;
    };
    switch (format) {
    case PictureFormat::Jpeg:
        return VImage::jpegload_source(file.Source(), options()->set("shrink", request.shrink));
    case PictureFormat::Png:
        return VImage::pngload_source(file.Source(), options());
    case PictureFormat::Gif:
        return VImage::gifload_source(file.Source(), options());
    case PictureFormat::Tiff:
        return VImage::tiffload_source(file.Source(), options());
    case PictureFormat::Bmp: {
        // libvips reads BMP only through ImageMagick, and only from a file or memory.
        const std::string bytes = file.Read(file.size());
        VipsBlob* blob = vips_blob_copy(bytes.data(), bytes.size());
        std::unique_ptr<VipsArea, decltype(&vips_area_unref)> owner(VIPS_AREA(blob), &vips_area_unref);
        return VImage::magickload_buffer(blob, VImage::option()->set("fail_on", request.failOn));
    }
    default:
        throw std::runtime_error("not a JPEG, PNG, BMP, TIFF, GIF or EMF picture");
    }
}

bool SwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// The largest JPEG shrink-on-load factor that still leaves at least the pixels
// the page needs, so the decoder never produces pixels we throw away.
int JpegShrinkFor(int storedWidth, int storedHeight, int neededWidth, int neededHeight) {
    for (int shrink : {8, 4, 2}) {
        if ((storedWidth + shrink - 1) / shrink >= neededWidth &&
            (storedHeight + shrink - 1) / shrink >= neededHeight) {
            return shrink;
        }
    }
    return 1;
}

// Brings any decoded picture to 8-bit grey or sRGB without alpha, transparent
// areas shown as white.
VImage ToOpaqueEightBit(VImage image) {
    const VipsInterpretation kind = image.interpretation();
    const bool grey = kind == VIPS_INTERPRETATION_B_W || kind == VIPS_INTERPRETATION_GREY16;
    if (kind == VIPS_INTERPRETATION_CMYK || image.format() != VIPS_FORMAT_UCHAR ||
        (!grey && kind != VIPS_INTERPRETATION_sRGB && kind != VIPS_INTERPRETATION_MULTIBAND)) {
        image = image.colourspace(grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
    }
    if (image.has_alpha()) {
        image = image.flatten(VImage::option()->set("background", std::vector<double>{255.0}));
    }
    if (image.bands() == 2) {
        image = image.extract_band(0);
    } else if (image.bands() > 3) {
        image = image.extract_band(0, VImage::option()->set("n", 3));
    }
    return image.cast(VIPS_FORMAT_UCHAR);
}

// Scales `picture` to the placement and centres it on a white page.
VImage PlaceOnPage(VImage picture, const PagePlacement& place, int pageWidth, int pageHeight) {
    const int width = std::max(place.width, 1);
    const int height = std::max(place.height, 1);
    if (picture.width() != width || picture.height() != height) {
        picture = picture.resize(static_cast<double>(width) / picture.width(),
                                 VImage::option()
                                     ->set("vscale", static_cast<double>(height) / picture.height())
                                     ->set("kernel", VIPS_KERNEL_LINEAR));
    }
    if (picture.width() > width || picture.height() > height) {
        picture = picture.crop(0, 0, std::min(picture.width(), width), std::min(picture.height(), height));
    }
    return picture.embed(place.left, place.top, pageWidth, pageHeight,
                         VImage::option()
                             ->set("extend", VIPS_EXTEND_BACKGROUND)
                             ->set("background", std::vector<double>{255.0}));
}

// The page could be made but not stored (disk full, folder gone): not the
// picture's fault, and a white page would not fit either.
struct PageWriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void WriteFileOrRemove(const std::filesystem::path& destination, const void* data, size_t size) {
    const int fd = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw PageWriteError("cannot write the page " + destination.string() + ": " + std::strerror(errno));
    }
    const char* bytes = static_cast<const char*>(data);
    size_t written = 0;
    int error = 0;
    while (written < size && error == 0) {
        const ssize_t n = ::write(fd, bytes + written, size - written);
        if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n > 0) {
            written += static_cast<size_t>(n);
        }
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(destination.c_str()); // no half page for the PDF stage to trip over
        throw PageWriteError("cannot write the page " + destination.string() + ": " + std::strerror(error));
    }
}

// Encodes in memory, then writes: a failure to decode and a failure to store
// are different things for the report.
void SavePage(const VImage& page, const std::filesystem::path& destination) {
    // Metadata is left out: the orientation is already applied, and a large ICC
    // profile copied into every page would only make the documents bigger.
    VipsBlob* blob = page.jpegsave_buffer(VImage::option()->set("strip", true));
    std::unique_ptr<VipsArea, decltype(&vips_area_unref)> owner(VIPS_AREA(blob), &vips_area_unref);
    WriteFileOrRemove(destination, VIPS_AREA(blob)->data, VIPS_AREA(blob)->length);
}

void RenderRaster(const SourceFile& file, PictureFormat format, int32_t pageWidth, int32_t pageHeight,
                  VipsFailOn failOn, const std::filesystem::path& destination) {
    const VImage header = LoadRaster(file, format, {});
    const int orientation = vips_image_get_orientation(header.get_image());
    const int64_t pixels = static_cast<int64_t>(header.width()) * header.height();
    if (pixels > kMaxPicturePixels) {
        throw std::runtime_error("the picture is too large: " + std::to_string(header.width()) + " x " +
                                 std::to_string(header.height()) + " pixels (the limit is " +
                                 std::to_string(kMaxPicturePixels / 1'000'000) + " megapixels)");
    }
    const bool swap = SwapsSides(orientation);
    const int shownWidth = swap ? header.height() : header.width();
    const int shownHeight = swap ? header.width() : header.height();
    const PagePlacement place = FitPictureOnPage(pageWidth, pageHeight, shownWidth, shownHeight);

    LoadRequest request;
    request.failOn = failOn;
    // Turning a picture needs all of it at once; otherwise stream it top to bottom.
    request.sequential = orientation <= 1;
    if (format == PictureFormat::Jpeg) {
        request.shrink = swap ? JpegShrinkFor(header.width(), header.height(), place.height, place.width)
                              : JpegShrinkFor(header.width(), header.height(), place.width, place.height);
    }
    VImage picture = LoadRaster(file, format, request);
    if (orientation > 1) {
        picture = picture.autorot();
    }
    SavePage(PlaceOnPage(ToOpaqueEightBit(picture), place, pageWidth, pageHeight), destination);
}

std::string ReadMetafile(const SourceFile& file) {
    constexpr size_t kMaxMetafileBytes = 256u << 20;
    if (file.size() > kMaxMetafileBytes) {
        throw std::runtime_error("the metafile is larger than 256 MB");
    }
    return file.Read(file.size());
}

void RenderMetafile(const SourceFile& file, int32_t pageWidth, int32_t pageHeight,
                    const std::filesystem::path& destination) {
    const VImage drawing = ToOpaqueEightBit(RenderEmf(ReadMetafile(file), pageWidth, pageHeight));
    const PagePlacement place = FitPictureOnPage(pageWidth, pageHeight, drawing.width(), drawing.height());
    SavePage(PlaceOnPage(drawing, place, pageWidth, pageHeight), destination);
}

std::string ReasonOf(const vips::VError&) {
    std::string reason = TakeVipsError();
    return reason.empty() ? "the picture library could not decode it" : reason;
}

} // namespace

PagePlacement FitPictureOnPage(int32_t pageWidth, int32_t pageHeight, int32_t pictureWidth,
                               int32_t pictureHeight) {
    PagePlacement place{0, 0, pageWidth, pageHeight};
    if (pictureWidth < 1 || pictureHeight < 1 || pageHeight == 0) {
        return place;
    }
    const float pageRatio = static_cast<float>(pageWidth) / static_cast<float>(pageHeight);
    const float pictureRatio = static_cast<float>(pictureWidth) / static_cast<float>(pictureHeight);
    // 64-bit products: a wide page times a tall picture overflows 32 bits.
    if (pageRatio < pictureRatio) {
        const double exact = static_cast<double>(int64_t{pageWidth} * pictureHeight) / pictureWidth;
        place.height = static_cast<int32_t>(exact);
        place.top = static_cast<int32_t>(static_cast<int32_t>(pageHeight - exact) * 0.5);
    } else if (pictureRatio < pageRatio) {
        const double exact = static_cast<double>(int64_t{pictureWidth} * pageHeight) / pictureHeight;
        place.width = static_cast<int32_t>(exact);
        place.left = static_cast<int32_t>(static_cast<int32_t>(pageWidth - exact) * 0.5);
    }
    return place;
}

namespace {

// Reads a raster picture strictly first, then once more without stopping at
// damage, so a truncated scan still shows what it holds. `render` does the work
// for one reading; the result says whether it took the second reading.
template <typename Render> NormalizeResult RenderStrictThenLenient(Render render, std::string& failure) {
    NormalizeResult result;
    try {
        render(VIPS_FAIL_ON_TRUNCATED);
        result.written = true;
        return result;
    } catch (const vips::VError& strict) {
        failure = ReasonOf(strict);
    }
    try {
        render(VIPS_FAIL_ON_NONE);
        result.written = true;
        result.problem = PictureOutcome::Damaged;
        result.reason = failure;
        return result;
    } catch (const vips::VError& lenient) {
        const std::string second = ReasonOf(lenient);
        failure = failure.empty() || failure == second ? second : second + "\n" + failure;
    }
    return result;
}

// The size a picture is shown at, EXIF orientation applied, scaled down to fit
// inside maxSide x maxSide; a smaller picture keeps its size.
std::pair<int32_t, int32_t> PreviewSize(const SourceFile& file, PictureFormat format, int32_t maxSide) {
    const VImage header = LoadRaster(file, format, {});
    const bool swap = SwapsSides(vips_image_get_orientation(header.get_image()));
    const int32_t shownWidth = swap ? header.height() : header.width();
    const int32_t shownHeight = swap ? header.width() : header.height();
    const double scale = std::min(1.0, static_cast<double>(maxSide) / std::max(shownWidth, shownHeight));
    return {std::max(1, static_cast<int32_t>(shownWidth * scale)),
            std::max(1, static_cast<int32_t>(shownHeight * scale))};
}

} // namespace

NormalizeResult NormalizeImage(int32_t pageWidth, int32_t pageHeight, const std::filesystem::path& source,
                               const std::filesystem::path& destination) {
    EnsureVipsStarted();
    // Forget warnings left by earlier pictures, so that a failure carries only
    // its own reason.
    ClearVipsMessages();
    NormalizeResult result;
    std::string failure;
    try {
        const SourceFile file(source);
        const PictureFormat format = SniffFormat(file.Read(64));
        if (format == PictureFormat::Emf) {
            RenderMetafile(file, pageWidth, pageHeight, destination);
            result.written = true;
            return result;
        }
        result = RenderStrictThenLenient(
            [&](VipsFailOn failOn) {
                RenderRaster(file, format, pageWidth, pageHeight, failOn, destination);
            },
            failure);
        if (result.written) {
            return result;
        }
    } catch (const PageWriteError& error) {
        result.problem = PictureOutcome::NotPrepared;
        result.reason = error.what();
        return result;
    } catch (const vips::VError& error) {
        failure = ReasonOf(error);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    const NormalizeResult white = WriteWhitePage(pageWidth, pageHeight, destination);
    result.written = white.written;
    result.problem = white.written ? PictureOutcome::Undecodable : PictureOutcome::NotPrepared;
    result.reason = white.written ? failure : white.reason + "\n" + failure;
    return result;
}

NormalizeResult RenderPreview(int32_t maxSide, const std::filesystem::path& source,
                              const std::filesystem::path& destination) {
    EnsureVipsStarted();
    ClearVipsMessages();
    NormalizeResult result;
    std::string failure;
    try {
        const SourceFile file(source);
        const PictureFormat format = SniffFormat(file.Read(64));
        if (format == PictureFormat::Emf) {
            SavePage(ToOpaqueEightBit(RenderEmf(ReadMetafile(file), maxSide, maxSide)), destination);
            result.written = true;
            return result;
        }
        // A page of exactly the picture's shown proportions is the picture itself.
        const auto [width, height] = PreviewSize(file, format, maxSide);
        result = RenderStrictThenLenient(
            [&](VipsFailOn failOn) { RenderRaster(file, format, width, height, failOn, destination); },
            failure);
        if (result.written) {
            return result;
        }
    } catch (const PageWriteError& error) {
        failure = error.what();
    } catch (const vips::VError& error) {
        failure = ReasonOf(error);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    result.problem = PictureOutcome::Undecodable;
    result.reason = failure;
    return result;
}

NormalizeResult WriteWhitePage(int32_t pageWidth, int32_t pageHeight,
                               const std::filesystem::path& destination) {
    EnsureVipsStarted();
    NormalizeResult result;
    try {
        SavePage(VImage::black(pageWidth, pageHeight)
                     .new_from_image(std::vector<double>{255.0})
                     .cast(VIPS_FORMAT_UCHAR),
                 destination);
        result.written = true;
    } catch (const PageWriteError& error) {
        result.problem = PictureOutcome::NotPrepared;
        result.reason = error.what();
    } catch (const vips::VError&) {
        result.problem = PictureOutcome::NotPrepared;
        result.reason = "the white page could not be made: " + TakeVipsError();
    }
    return result;
}
