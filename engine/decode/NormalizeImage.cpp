#include "NormalizeImage.h"

#include "BilevelPage.h"
#include "BmpDecoder.h"
#include "ColourToSrgb.h"
#include "DamageWarnings.h"
#include "EmfPicture.h"
#include "PngColour.h"
#include "PngTextOrientation.h"
#include "ScanPictures.h"
#include "StatedResolution.h"
#include "TiffFallback.h"
#include "TiffPages.h"
#include "TiffQuirks.h"
#include "VipsRuntime.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips8>

using vips::VImage;

namespace {

// A TIFF with more pages than this is taken as far as this: a hostile chain of
// tiny pages must not fill the disk, and no scanned document is this long.
constexpr size_t kMaxPicturePages = 5000;

// Enough of a JPEG for the markers before its picture data, profile and EXIF included.
constexpr size_t kJpegHeaderBytes = 1 << 20;

constexpr const char* kUnknownKind =
    "not a JPEG, PNG, BMP, TIFF, GIF, EMF, HEIC, AVIF, WebP, JPEG XL or JPEG 2000 picture";

enum class PictureFormat { Jpeg, Png, Gif, Tiff, Bmp, Emf, Heif, Webp, JpegXl, Jpeg2000, Unknown };

// HEIC and AVIF are ISO media files: a "ftyp" box whose major brand, or one of
// its compatible brands, names a still picture or a sequence of them.
bool IsHeif(std::string_view head) {
    if (head.size() < 12 || head.substr(4, 4) != "ftyp") {
        return false;
    }
    static constexpr std::string_view kBrands[] = {"heic", "heix", "heim", "heis", "hevc",
                                                   "hevx", "mif1", "msf1", "avif", "avis"};
    const uint32_t boxSize = (uint32_t(uint8_t(head[0])) << 24) | (uint32_t(uint8_t(head[1])) << 16) |
                             (uint32_t(uint8_t(head[2])) << 8) | uint32_t(uint8_t(head[3]));
    const size_t end = std::min<size_t>(head.size(), boxSize);
    for (size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) { // brand, minor version, compatible brands
        for (std::string_view brand : kBrands) {
            if (head.substr(at, 4) == brand) {
                return true;
            }
        }
    }
    return false;
}

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
    if (IsHeif(head)) {
        return PictureFormat::Heif;
    }
    if (startsWith("RIFF") && head.substr(8, 4) == "WEBP") {
        return PictureFormat::Webp;
    }
    if (startsWith("\xFF\x0A") || startsWith(std::string_view("\0\0\0\x0CJXL \r\n\x87\n", 12))) {
        return PictureFormat::JpegXl;
    }
    if (startsWith("\xFF\x4F\xFF\x51") || startsWith(std::string_view("\0\0\0\x0CjP  \r\n\x87\n", 12))) {
        return PictureFormat::Jpeg2000;
    }
    return PictureFormat::Unknown;
}

// A source file opened once and read by descriptor, so that its name is taken
// literally: libvips would read "scan[1].jpg" as "scan" with load options.
class SourceFile {
  public:
    explicit SourceFile(const std::filesystem::path& path) {
        // Without O_NONBLOCK, opening a named pipe waits for a writer that may
        // never come; with it, the check below refuses the pipe at once.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

    std::string Read(size_t limit) const { return ReadAt(0, limit); }
    // Up to `count` bytes from `offset`; fewer at the end of the file.
    std::string ReadAt(uint64_t offset, size_t count) const {
        if (offset >= size_) {
            return {};
        }
        std::string bytes(std::min<uint64_t>(count, size_ - offset), '\0');
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n =
                ::pread(fd_, bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset + got));
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
    int descriptor() const { return fd_; }
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

// Gives the picture for a request. A decoder that cannot shrink while
// decoding, or stop at damage, ignores those parts of the request.
using Loader = std::function<VImage(const LoadRequest&)>;

// `page` picks the page of a TIFF.
VImage LoadWithLibvips(const SourceFile& file, PictureFormat format, const LoadRequest& request,
                       int page = 0) {
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
        return VImage::tiffload_source(file.Source(), options()->set("page", page));
    case PictureFormat::Heif:
        // libheif turns the picture as its own irot and imir boxes say; libvips
        // then drops the EXIF orientation, which does not count in HEIF.
        return VImage::heifload_source(file.Source(), options());
    case PictureFormat::Webp:
        return VImage::webpload_source(file.Source(), options()->set("scale", 1.0 / request.shrink));
    case PictureFormat::JpegXl:
        return VImage::jxlload_source(file.Source(), options());
    case PictureFormat::Jpeg2000:
        return VImage::jp2kload_source(file.Source(), options());
    default:
        throw std::runtime_error(kUnknownKind);
    }
}

// `bytes` must outlive the picture: libvips reads them where they lie. `page`
// picks the page of a multi-page file that ImageMagick reads.
VImage LoadFromMemory(std::string_view bytes, PictureFormat format, const LoadRequest& request,
                      int page = 0) {
    VipsBlob* blob = vips_blob_new(nullptr, bytes.data(), bytes.size());
    std::unique_ptr<VipsArea, decltype(&vips_area_unref)> owner(VIPS_AREA(blob), &vips_area_unref);
    auto* options = VImage::option()->set("fail_on", request.failOn);
    switch (format) {
    case PictureFormat::Jpeg:
        return VImage::jpegload_buffer(blob, options->set("shrink", request.shrink));
    case PictureFormat::Png:
        return VImage::pngload_buffer(blob, options);
    case PictureFormat::Tiff:
        return VImage::tiffload_buffer(blob, options->set("page", page));
    default:
        // ImageMagick reads from memory: given a file name it would take
        // "scan[1].tif" as page 1 of "scan.tif".
        return VImage::magickload_buffer(blob, options->set("page", page));
    }
}

// A loader for decoders that read all of a picture or nothing: one decode for
// each strictness asked for, however often the picture is asked for.
Loader DecodeOnce(std::function<VImage(VipsFailOn)> decode) {
    auto decoded = std::make_shared<std::map<VipsFailOn, VImage>>();
    return [decode = std::move(decode), decoded](const LoadRequest& request) {
        auto found = decoded->find(request.failOn);
        if (found == decoded->end()) {
            found = decoded->emplace(request.failOn, decode(request.failOn)).first;
        }
        return found->second;
    };
}

// A PNG shown as its gAMA, cHRM or cICP chunk says, through a profile made
// from them; libvips' PNG loader reads only an embedded profile.
VImage WithPngColour(VImage picture, const PngColour& colour) {
    const int colourBands = picture.bands() - (picture.has_alpha() ? 1 : 0);
    const std::string profile = PngProfile(colour, colourBands == 1);
    return profile.empty() ? picture : WithProfile(picture, profile);
}

// A PNG turned as the orientation in its text chunks says, unless an eXIf
// chunk, which libvips reads, gives one of its own.
VImage WithTextOrientation(VImage picture, std::optional<int> orientation) {
    if (!orientation || picture.get_typeof(VIPS_META_ORIENTATION) != 0) {
        return picture;
    }
    picture = picture.copy();
    picture.set(VIPS_META_ORIENTATION, *orientation);
    return picture;
}

// A bitmap decoded by our own reader, as a libvips picture that owns its pixels.
VImage BitmapImage(BmpPicture& bitmap) {
    auto pixels = std::make_unique<std::vector<uint8_t>>(std::move(bitmap.pixels));
    VImage image = VImage::new_from_memory(pixels->data(), pixels->size(), bitmap.width, bitmap.height,
                                           bitmap.bands, VIPS_FORMAT_UCHAR);
    g_signal_connect(image.get_image(), "postclose", G_CALLBACK(+[](VipsImage*, gpointer data) {
                         delete static_cast<std::vector<uint8_t>*>(data);
                     }),
                     pixels.release());
    auto* options = VImage::option()->set(
        "interpretation", bitmap.bands <= 2 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
    if (bitmap.xPixelsPerMetre > 0 && bitmap.yPixelsPerMetre > 0) {
        options->set("xres", bitmap.xPixelsPerMetre / 1000.0)->set("yres", bitmap.yPixelsPerMetre / 1000.0);
    }
    image = image.copy(options);
    return bitmap.iccProfile.empty() ? image : WithProfile(image, bitmap.iccProfile);
}

bool SwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// The largest shrink-on-load factor (JPEG, WebP) that still leaves at least
// the pixels the page needs, so the decoder never produces pixels we throw away.
int JpegShrinkFor(int storedWidth, int storedHeight, int neededWidth, int neededHeight) {
    for (int shrink : {8, 4, 2}) {
        if ((storedWidth + shrink - 1) / shrink >= neededWidth &&
            (storedHeight + shrink - 1) / shrink >= neededHeight) {
            return shrink;
        }
    }
    return 1;
}

// Brings any decoded picture to 8-bit grey or sRGB without alpha, in the
// colours a screen shows for it, transparent areas shown as white; with why
// its colour profile could not be used, if it could not.
DisplayColours ToOpaqueEightBit(VImage picture) {
    auto [image, profileProblem] = ToDisplayColours(std::move(picture));
    if (image.has_alpha()) {
        image = image.flatten(VImage::option()->set("background", std::vector<double>{255.0}));
    }
    if (image.bands() == 2) {
        image = image.extract_band(0);
    } else if (image.bands() > 3) {
        image = image.extract_band(0, VImage::option()->set("n", 3));
    }
    return {image.cast(VIPS_FORMAT_UCHAR), profileProblem};
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
    PageWriteError(const std::string& why, uint64_t diskFull)
        : std::runtime_error(why), diskFullNeeding(diskFull) {}
    uint64_t diskFullNeeding = 0;
};

// Encodes in memory, then writes: a failure to decode and a failure to store
// are different things for the report.
void SavePage(const VImage& page, const std::filesystem::path& destination, int quality) {
    // Metadata is left out: the orientation is already applied, and a large ICC
    // profile copied into every page would only make the documents bigger.
    VipsBlob* blob = page.jpegsave_buffer(VImage::option()->set("strip", true)->set("Q", quality));
    std::unique_ptr<VipsArea, decltype(&vips_area_unref)> owner(VIPS_AREA(blob), &vips_area_unref);
    uint64_t diskFull = 0;
    const std::string error =
        StorePage(destination,
                  std::string_view(static_cast<const char*>(VIPS_AREA(blob)->data), VIPS_AREA(blob)->length),
                  &diskFull);
    if (!error.empty()) {
        throw PageWriteError(error, diskFull);
    }
}

// The page a picture goes on, laid out for the size it is shown at (EXIF
// orientation applied, its pixels made square): the job's page, or for a
// preview a page of the picture's own proportions.
// `shown`, when set, hears the picture before it is placed.
struct PageFor {
    std::function<PageGeometry(const ShownSize& picture)> layout;
    const ShownPictureSink* shown = nullptr;
    // When set, the picture is cleaned as a scan before it is placed, and
    // `decided` hears what was done.
    const ScanCleaner* cleaner = nullptr;
    ScanDecisions* decided = nullptr;
    std::optional<KeptJpeg>* stream = nullptr; // hears how a page stored as an image stream is shown
};

// The size at least a picture of w x h pixels is decoded at for `shown`: its
// own, or when that has more than the sink wants, scaled down to that many.
std::pair<int, int> SizeWanted(const ShownPictureSink& shown, int width, int height) {
    const double pixels = static_cast<double>(width) * height;
    if (shown.maxPixels <= 0 || pixels <= static_cast<double>(shown.maxPixels)) {
        return {width, height};
    }
    const double scale = std::sqrt(static_cast<double>(shown.maxPixels) / pixels);
    return {std::max(1, static_cast<int>(width * scale)), std::max(1, static_cast<int>(height * scale))};
}

// Hands a drawn picture to `shown`, if any, and gives back what the page is
// made from: held in memory when both need it, since a streamed picture can
// be read only once.
VImage LetHear(const ShownPictureSink* shown, VImage picture, const PageGeometry& page) {
    if (shown == nullptr || !shown->hear) {
        return picture;
    }
    picture = picture.copy_memory();
    shown->hear({picture.get_image(), page.picture, page.widthPx, page.heightPx});
    return picture;
}

// Stores a page in black and white, as a Group 4 image stream: a page of
// text takes a fraction of its grey JPEG's bytes and loses no edge to JPEG's
// blur. Returns how the document shows it.
KeptJpeg SaveBilevelPage(const VImage& page, const std::filesystem::path& destination) {
    const VImage bilevel = BilevelPage(page).copy_memory();
    StreamCoding coding;
    uint64_t diskFull = 0;
    const std::string error = StoreBilevelPage(destination, bilevel.get_image(), coding, &diskFull);
    if (!error.empty()) {
        throw PageWriteError(error, diskFull);
    }
    return OverWholePage(bilevel.width(), bilevel.height(), coding);
}

// RenderRaster for a scan to be cleaned: the whole picture is decoded once,
// cleaned, heard by the listener as cleaned, and placed by the size it has
// then (`turned` when it was turned a quarter). A blank picture writes no page.
std::string RenderCleaned(const Loader& load, const PageFor& pageFor, VipsFailOn failOn, int orientation,
                          const ShownSize& shownPicture, const ShownSize& turned,
                          const std::filesystem::path& destination, int quality) {
    LoadRequest request;
    request.failOn = failOn;
    request.sequential = false;
    VImage picture = load(request);
    if (orientation > 1) {
        picture = picture.autorot();
    }
    const DisplayColours colours = ToOpaqueEightBit(picture);
    ScanDecisions ignored;
    ScanDecisions& decided = pageFor.decided != nullptr ? *pageFor.decided : ignored;
    const std::optional<VImage> cleaned = CleanScan(colours.image.copy_memory(), *pageFor.cleaner, decided);
    if (!cleaned) {
        return colours.profileProblem;
    }
    const PageGeometry page = pageFor.layout(decided.turnedBy % 180 != 0 ? turned : shownPicture);
    const VImage placed = PlaceOnPage(LetHear(pageFor.shown, *cleaned, page), page.picture, page.widthPx,
                                      page.heightPx);
    if (pageFor.cleaner->cleaning.bilevel) {
        const KeptJpeg stored = SaveBilevelPage(placed, destination);
        if (pageFor.stream != nullptr) {
            *pageFor.stream = stored;
        }
    } else {
        SavePage(placed, destination, quality);
    }
    return colours.profileProblem;
}

// Returns why the picture's colour profile could not be used, empty when it
// could or there was none.
std::string RenderRaster(const Loader& load, bool shrinksOnLoad, const PageFor& pageFor, VipsFailOn failOn,
                         const std::filesystem::path& destination, int quality) {
    LoadRequest headerRequest;
    headerRequest.failOn = failOn;
    const VImage header = load(headerRequest);
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
    const PictureResolution stored = StatedResolution(header);
    // A quarter turn takes each axis's resolution along with it.
    const ShownSize shownPicture =
        swap ? ShowPicture(header.height(), header.width(), {stored.y, stored.x})
             : ShowPicture(header.width(), header.height(), stored);
    if (pageFor.cleaner != nullptr && pageFor.cleaner->cleaning.Any()) {
        const ShownSize turnedPicture = swap ? ShowPicture(header.width(), header.height(), stored)
                                             : ShowPicture(header.height(), header.width(), {stored.y, stored.x});
        return RenderCleaned(load, pageFor, failOn, orientation, shownPicture, turnedPicture, destination,
                             quality);
    }
    const PageGeometry page = pageFor.layout(shownPicture);
    const PagePlacement& place = page.picture;

    LoadRequest request;
    request.failOn = failOn;
    // Turning a picture needs all of it at once; otherwise stream it top to bottom.
    request.sequential = orientation <= 1;
    if (pageFor.shown != nullptr && pageFor.shown->hear) {
        // The picture is decoded for its listener on its own, at the size the
        // listener wants: the page is then made exactly as without it.
        LoadRequest forListener = request;
        if (shrinksOnLoad) {
            const auto [width, height] = SizeWanted(*pageFor.shown, shownWidth, shownHeight);
            forListener.shrink = swap ? JpegShrinkFor(header.width(), header.height(), height, width)
                                      : JpegShrinkFor(header.width(), header.height(), width, height);
        }
        VImage picture = load(forListener);
        if (orientation > 1) {
            picture = picture.autorot();
        }
        const DisplayColours shown = ToOpaqueEightBit(picture);
        if (!pageFor.shown->pageNeeded) {
            const VImage whole = shown.image.copy_memory();
            pageFor.shown->hear({whole.get_image(), place, page.widthPx, page.heightPx});
            return shown.profileProblem;
        }
        pageFor.shown->hear({shown.image.get_image(), place, page.widthPx, page.heightPx});
    }
    if (shrinksOnLoad) {
        request.shrink = swap ? JpegShrinkFor(header.width(), header.height(), place.height, place.width)
                              : JpegShrinkFor(header.width(), header.height(), place.width, place.height);
    }
    VImage picture = load(request);
    if (orientation > 1) {
        picture = picture.autorot();
    }
    const DisplayColours colours = ToOpaqueEightBit(picture);
    SavePage(PlaceOnPage(colours.image, place, page.widthPx, page.heightPx), destination, quality);
    return colours.profileProblem;
}

std::string ReadMetafile(const SourceFile& file) {
    constexpr size_t kMaxMetafileBytes = 256u << 20;
    if (file.size() > kMaxMetafileBytes) {
        throw std::runtime_error("the metafile is larger than 256 MB");
    }
    return file.Read(file.size());
}

// Draws the metafile onto a page and saves it at `destination`. Returns what
// of the metafile could not be drawn, empty when all of it was.
std::string SaveMetafilePage(const SourceFile& file, const PageSetup& setup,
                             const std::filesystem::path& destination, int quality,
                             const ShownPictureSink* shown) {
    const MetafileBox box = MetafileBoxFor(setup);
    const EmfDrawing drawn = RenderEmf(ReadMetafile(file), box.width, box.height);
    const VImage drawing = ToOpaqueEightBit(drawn.image).image;
    const PageGeometry page = MetafilePageFor(setup, drawing.width(), drawing.height());
    SavePage(PlaceOnPage(LetHear(shown, drawing, page), page.picture, page.widthPx, page.heightPx),
             destination, quality);
    return drawn.problem;
}

// A Custom page of W x H pixels, as sized, without margin, fitted.
PageSetup PixelPage(int32_t pageWidth, int32_t pageHeight) {
    PageSetup page;
    page.pageWidth = pageWidth;
    page.pageHeight = pageHeight;
    return page;
}

// libvips says "bad seek to N" whenever a decoder looks past the end of the
// file, before the decoder says what it made of that: the decoder's words
// come first. Alone, the seek means a file cut short in a copy or a download.
std::string DecoderWordsFirst(const std::string& reason) {
    std::string decoder, seeks;
    std::istringstream lines(reason);
    for (std::string line; std::getline(lines, line);) {
        std::string& into = line.find("bad seek to") == std::string::npos ? decoder : seeks;
        into += (into.empty() ? "" : "\n") + line;
    }
    if (seeks.empty()) {
        return reason;
    }
    if (decoder.empty()) {
        return "the file is cut short: the picture's data lies past its end\n" + seeks;
    }
    return decoder + "\n" + seeks;
}

// What a failed read said: libvips' collected words when it has them.
std::string ReasonOf(const std::exception& error) {
    std::string reason = TakeVipsError(); // also forgets what libvips collected
    if (dynamic_cast<const vips::VError*>(&error) == nullptr && *error.what() != '\0') {
        reason = error.what();
    }
    return reason.empty() ? "the picture library could not decode it" : DecoderWordsFirst(reason);
}

// A decoder could not read the picture at all; `what()` says why.
struct DecodeFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What making a page found wrong with its picture, both empty when it read
// cleanly: damaged data (the page shows only part of the picture), and a
// colour profile that could not be used (the page shows all of it, but its
// colours may be off).
struct PageTrouble {
    std::string damage;
    std::string profile;
};

// Renders the page from `load`, first asking the decoder to stop at damage,
// then, when it did, to read past it: a truncated scan still shows what it
// holds.
PageTrouble RenderStrictThenLenient(const Loader& load, bool shrinksOnLoad, const PageFor& pageFor,
                                    const std::filesystem::path& destination, int quality) {
    std::string strictFailure;
    try {
        const std::string profile =
            RenderRaster(load, shrinksOnLoad, pageFor, VIPS_FAIL_ON_TRUNCATED, destination, quality);
        return {DamageIn(RecentVipsWarnings()), profile};
    } catch (const PageWriteError&) {
        throw;
    } catch (const std::exception& strict) {
        strictFailure = ReasonOf(strict);
    }
    try {
        const std::string profile =
            RenderRaster(load, shrinksOnLoad, pageFor, VIPS_FAIL_ON_NONE, destination, quality);
        return {strictFailure, profile};
    } catch (const PageWriteError&) {
        throw;
    } catch (const std::exception& lenient) {
        const std::string second = ReasonOf(lenient);
        throw DecodeFailure(strictFailure == second ? second : second + "\n" + strictFailure);
    }
}

// One way of reading the picture and making its page; throws DecodeFailure
// when this decoder cannot read it.
using Attempt = std::function<PageTrouble()>;

// `directory` is the page of a TIFF to read.
std::vector<Attempt> AttemptsFor(const SourceFile& file, PictureFormat format, int directory,
                                 const PageFor& pageFor, const std::filesystem::path& destination,
                                 int quality) {
    auto render = [=](const Loader& load, bool shrinksOnLoad = false) {
        return RenderStrictThenLenient(load, shrinksOnLoad, pageFor, destination, quality);
    };
    auto withImageMagick = [=, &file] {
        const std::string bytes = file.Read(file.size());
        return render([&](const LoadRequest& request) {
            return LoadFromMemory(bytes, PictureFormat::Unknown, request, directory);
        });
    };
    switch (format) {
    case PictureFormat::Jpeg:
        return {[=, &file] {
            // The header's density, which libvips reads only in part.
            const std::optional<JpegLayout> layout = ReadJpegLayout(file.Read(kJpegHeaderBytes));
            PageTrouble trouble = render(
                [&](const LoadRequest& request) {
                    return WithJpegDensity(LoadWithLibvips(file, format, request), layout);
                },
                true);
            // libvips names only the first of libjpeg's warnings, and that one
            // may be harmless while a later one is not: look at them all.
            if (trouble.damage.empty() && RecentVipsWarnings().find("VipsJpeg") != std::string::npos) {
                trouble.damage = JpegDataDamage(file.Read(file.size()));
            }
            return trouble;
        }};
    case PictureFormat::Png:
        return {[=, &file] {
            const ReadBytesAt read = [&](uint64_t offset, size_t count) { return file.ReadAt(offset, count); };
            const PngColour colour = ReadPngColour(read);
            const std::optional<int> orientation = ReadPngTextOrientation(read);
            return render([&](const LoadRequest& request) {
                return WithTextOrientation(
                    WithPngColour(WithPngDensity(LoadWithLibvips(file, format, request), read), colour),
                    orientation);
            });
        }};
    case PictureFormat::Gif:
        return {[=, &file] {
                    return render(
                        [&](const LoadRequest& request) { return LoadWithLibvips(file, format, request); });
                },
                withImageMagick};
    case PictureFormat::Tiff: {
        const TiffQuirks quirks = FindTiffQuirks(file.descriptor(), directory);
        std::vector<Attempt> attempts;
        if (quirks.floatWithoutPhotometric) {
            attempts.push_back([=, &file] {
                const std::string grey = WithGreyPhotometric(file.Read(file.size()), directory);
                return render([&](const LoadRequest& request) {
                    return LoadFromMemory(grey, PictureFormat::Tiff, request, directory);
                });
            });
        }
        // libvips would give such a file stripes without a word of complaint.
        if (!quirks.greyPlanesApart) {
            attempts.push_back([=, &file] {
                return render([&](const LoadRequest& request) {
                    return LoadWithLibvips(file, format, request, directory);
                });
            });
        }
        attempts.push_back([=, &file] {
            return render(DecodeOnce([&](VipsFailOn failOn) {
                return ReadTiffAsRgba(file.descriptor(), directory, kMaxPicturePixels,
                                      failOn != VIPS_FAIL_ON_NONE);
            }));
        });
        attempts.push_back(withImageMagick);
        return attempts;
    }
    case PictureFormat::Heif:
    case PictureFormat::Webp:
    case PictureFormat::JpegXl:
    case PictureFormat::Jpeg2000:
        // One decoder each: ImageMagick would only call the same library again.
        return {[=, &file] {
            return render([&](const LoadRequest& request) { return LoadWithLibvips(file, format, request); },
                          format == PictureFormat::Webp);
        }};
    case PictureFormat::Bmp:
        return {[=, &file] {
                    const std::string bytes = file.Read(file.size());
                    BmpPicture bitmap = DecodeBmp(bytes, kMaxPicturePixels);
                    if (bitmap.stream != BmpPicture::Stream::None) {
                        const PictureFormat inner = bitmap.stream == BmpPicture::Stream::Jpeg
                                                        ? PictureFormat::Jpeg
                                                        : PictureFormat::Png;
                        return render(
                            [&](const LoadRequest& request) {
                                return LoadFromMemory(bitmap.streamBytes, inner, request);
                            },
                            inner == PictureFormat::Jpeg);
                    }
                    const VImage image = BitmapImage(bitmap);
                    PageTrouble trouble = render([&](const LoadRequest&) { return image; });
                    if (!bitmap.damage.empty()) {
                        trouble.damage = bitmap.damage;
                    }
                    return trouble;
                },
                withImageMagick};
    default:
        return {};
    }
}

} // namespace

namespace {

// A preview keeps the picture's proportions, scaled down to fit inside
// maxSide x maxSide; a smaller picture keeps its size.
PageFor PreviewPage(int32_t maxSide) {
    return {[maxSide](const ShownSize& shown) {
        const double scale = std::min(1.0, static_cast<double>(maxSide) / std::max(shown.width, shown.height));
        return LayOutPage(PixelPage(std::max(1, static_cast<int32_t>(shown.width * scale)),
                                    std::max(1, static_cast<int32_t>(shown.height * scale))),
                          shown.width, shown.height);
    }};
}

// Tries each decoder that can read this kind of picture in turn, and stops at
// the first that reads it: the result is then written (and Damaged when only
// part could be read). When none can, the result is not written and `failure`
// says why each of them could not.
NormalizeResult RenderWithDecoders(const SourceFile& file, PictureFormat format, int directory,
                                   const PageFor& pageFor, const std::filesystem::path& destination,
                                   int quality, std::string& failure) {
    NormalizeResult result;
    if (format == PictureFormat::Unknown) {
        failure = kUnknownKind;
        return result;
    }
    for (const Attempt& attempt : AttemptsFor(file, format, directory, pageFor, destination, quality)) {
        try {
            const PageTrouble trouble = attempt();
            result.written = !(pageFor.decided != nullptr && pageFor.decided->blank);
            if (pageFor.decided != nullptr) {
                result.scan = *pageFor.decided;
            }
            if (pageFor.stream != nullptr) {
                result.stream = *pageFor.stream;
            }
            if (!trouble.damage.empty()) {
                result.problem = PictureOutcome::Damaged;
                result.reason = trouble.damage;
            }
            // Damage says more about the page than its colours: the profile
            // then only adds its line to the reason.
            if (!trouble.profile.empty()) {
                result.reason = result.problem ? result.reason + "\n" + trouble.profile : trouble.profile;
                result.problem = result.problem.value_or(PictureOutcome::ProfileUnused);
            }
            return result;
        } catch (const PageWriteError&) {
            throw;
        } catch (const std::exception& error) {
            const std::string why =
                dynamic_cast<const DecodeFailure*>(&error) ? error.what() : ReasonOf(error);
            failure += (failure.empty() ? "" : "\n") + why;
        }
        ClearVipsMessages();
    }
    return result;
}

} // namespace

std::string StorePage(const std::filesystem::path& destination, std::string_view bytes,
                      uint64_t* diskFullNeeding) {
    auto failed = [&](int error) {
        if (diskFullNeeding != nullptr && (error == ENOSPC || error == EDQUOT)) {
            *diskFullNeeding = std::max<uint64_t>(bytes.size(), 1);
        }
        return "cannot write the page " + destination.string() + ": " + std::strerror(error);
    };
    // Never through a link: a kept page may be a link to the user's own picture.
    const int fd = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        return failed(errno);
    }
    size_t written = 0;
    int error = 0;
    while (written < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
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
        return failed(error);
    }
    return {};
}

struct PicturePages::Opened {
    std::unique_ptr<SourceFile> file; // empty when the file cannot be read at all
    std::string failure;              // why it cannot
    PictureFormat format = PictureFormat::Unknown;
    std::vector<int> directories{0}; // the TIFF directory of each page
    bool more = false;               // pages beyond kMaxPicturePages were left out
};

PicturePages::PicturePages(const std::filesystem::path& source) : opened_(std::make_unique<Opened>()) {
    EnsureVipsStarted();
    try {
        opened_->file = std::make_unique<SourceFile>(source);
        opened_->format = SniffFormat(opened_->file->Read(64));
        if (opened_->format == PictureFormat::Tiff) {
            TiffPages pages = ListTiffPages(opened_->file->descriptor(), kMaxPicturePages);
            if (!pages.directories.empty()) {
                opened_->directories = std::move(pages.directories);
                opened_->more = pages.more;
            }
        }
    } catch (const std::exception& error) {
        opened_->file.reset();
        opened_->failure = error.what();
    }
}

PicturePages::~PicturePages() = default;

size_t PicturePages::count() const {
    return opened_->directories.size();
}

NormalizeResult PicturePages::Render(size_t part, const PageSetup& page,
                                     const std::filesystem::path& destination, int32_t quality,
                                     const ShownPictureSink* shown, const ScanCleaner* cleaner) const {
    // Forget warnings left by earlier pictures and pages, so that a failure
    // carries only its own reason.
    ClearVipsMessages();
    NormalizeResult result;
    std::string failure = opened_->failure;
    try {
        if (!opened_->file) {
            throw std::runtime_error(failure);
        }
        if (part >= count()) {
            throw std::runtime_error("the picture has no page " + std::to_string(part + 1));
        }
        const SourceFile& file = *opened_->file;
        if (opened_->format == PictureFormat::Emf) {
            const std::string missing = SaveMetafilePage(file, page, destination, quality, shown);
            result.written = true;
            if (!missing.empty()) {
                // The page shows the picture less what could not be drawn.
                result.problem = PictureOutcome::Damaged;
                result.reason = missing;
            }
            return result;
        }
        PageFor jobPage{[&](const ShownSize& picture) {
                                  return LayOutPage(page, picture.width, picture.height, picture.pixelsPerInch);
                              },
                              shown};
        ScanDecisions decided;
        std::optional<KeptJpeg> stream;
        jobPage.cleaner = cleaner;
        jobPage.decided = &decided;
        jobPage.stream = &stream;
        result = RenderWithDecoders(file, opened_->format, opened_->directories[part], jobPage, destination,
                                    quality, failure);
        if (result.scan.blank) {
            return result; // read, and left out: no page at all
        }
        if (result.written) {
            if (opened_->more && part + 1 == count()) {
                const std::string note = "the file has more than " + std::to_string(kMaxPicturePages) +
                                         " pages; those after page " + std::to_string(part + 1) +
                                         " were left out";
                result.reason = result.problem ? note + "\n" + result.reason : note;
                // Pages left out weigh more than colours that may be off.
                result.problem = PictureOutcome::Damaged;
            }
            return result;
        }
    } catch (const PageWriteError& error) {
        result.problem = PictureOutcome::NotPrepared;
        result.reason = error.what();
        result.diskFullNeeding = error.diskFullNeeding;
        return result;
    } catch (const vips::VError& error) {
        failure = ReasonOf(error);
    } catch (const std::exception& error) {
        failure = error.what();
    }
    const NormalizeResult white = WriteWhitePage(page, destination, quality);
    result.written = white.written;
    result.problem = white.written ? PictureOutcome::Undecodable : PictureOutcome::NotPrepared;
    result.reason = white.written ? failure : white.reason + "\n" + failure;
    result.diskFullNeeding = white.diskFullNeeding;
    return result;
}

VectorPageResult PicturePages::DrawAsVectors(const PageSetup& page,
                                             const std::filesystem::path& destination) const {
    if (!opened_->file || opened_->format != PictureFormat::Emf) {
        return {};
    }
    std::string bytes;
    try {
        bytes = ReadMetafile(*opened_->file);
    } catch (const std::exception&) {
        return {}; // Render says why
    }
    return WriteVectorPage(page, bytes, destination);
}

NormalizeResult NormalizeImage(const PageSetup& page, const std::filesystem::path& source,
                               const std::filesystem::path& destination, int32_t quality) {
    return PicturePages(source).Render(0, page, destination, quality);
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
            SavePage(ToOpaqueEightBit(RenderEmf(ReadMetafile(file), maxSide, maxSide).image).image,
                     destination, kDefaultJpegQuality);
            result.written = true;
            return result;
        }
        // A page of exactly the picture's shown proportions is the picture itself.
        result = RenderWithDecoders(file, format, 0, PreviewPage(maxSide), destination, kDefaultJpegQuality,
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

NormalizeResult NormalizeImage(int32_t pageWidth, int32_t pageHeight, const std::filesystem::path& source,
                               const std::filesystem::path& destination, int32_t quality) {
    return NormalizeImage(PixelPage(pageWidth, pageHeight), source, destination, quality);
}

NormalizeResult WriteWhitePage(const PageSetup& setup, const std::filesystem::path& destination,
                               int32_t quality) {
    EnsureVipsStarted();
    NormalizeResult result;
    try {
        const PageGeometry page = LayOutPage(setup, 0, 0);
        SavePage(VImage::black(page.widthPx, page.heightPx)
                     .new_from_image(std::vector<double>{255.0})
                     .cast(VIPS_FORMAT_UCHAR),
                 destination, quality);
        result.written = true;
    } catch (const PageWriteError& error) {
        result.problem = PictureOutcome::NotPrepared;
        result.reason = error.what();
        result.diskFullNeeding = error.diskFullNeeding;
    } catch (const vips::VError&) {
        result.problem = PictureOutcome::NotPrepared;
        result.reason = "the white page could not be made: " + TakeVipsError();
    }
    return result;
}
