#pragma once

#include "JpegQuality.h"
#include "KeptJpeg.h"
#include "PagePlacement.h"
#include "PictureOutcome.h"
#include "ScanCleaning.h"
#include "VectorPage.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Pictures beyond this many pixels are refused: decoding them would take
// minutes and gigabytes, and no page needs them.
inline constexpr int64_t kMaxPicturePixels = 400'000'000;

// The result of rendering one picture. `written` tells whether the destination
// JPEG exists; `problem` is empty for a picture that converted cleanly.
struct NormalizeResult {
    bool written = false;
    std::optional<PictureOutcome> problem;
    std::string reason;
    // Set when the page could not be stored because its disk is full (or
    // the user's quota is used up): how many bytes the page needed. Every
    // page after it would fail the same way.
    uint64_t diskFullNeeding = 0;
    // What cleaning the scan did; a blank page left out is not `written`
    // and has no problem.
    ScanDecisions scan;
    // Set when the page file is no JPEG but an image stream (a page stored
    // in black and white): how the document shows it.
    std::optional<KeptJpeg> stream;
};

struct _VipsImage;

// A picture as it is shown (EXIF or HEIF orientation applied, transparency
// flattened onto white; 8-bit grey or sRGB) at the size it was decoded at,
// and where it lands on its page picture of pageWidth x pageHeight pixels.
// `image` lives only as long as the call it is handed to.
struct ShownPicture {
    _VipsImage* image = nullptr;
    PagePlacement place;
    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
};

// Hears the picture of a page while the page is made, for what is read from
// the picture itself rather than from the page (its text). `maxPixels` is as
// many pixels as it wants: a picture is decoded at least that large when it
// is itself that large, even when the page needs fewer. It must not throw.
struct ShownPictureSink {
    std::function<void(const ShownPicture&)> hear;
    int64_t maxPixels = 0;
    // False when the listener makes the page itself from what it hears: no
    // page picture is written then (a white page still is, for a picture
    // that cannot be read), and the picture it hears is decoded whole, so
    // that damage is found and reported as it is for a page.
    bool pageNeeded = true;
};

// Renders `source` (JPEG, PNG, BMP, TIFF, GIF, EMF, HEIC, AVIF, WebP, JPEG XL
// or JPEG 2000; the first page or frame of a file of several) into
// `destination`, the JPEG page picture that LayOutPage measures for it, at
// JPEG `quality` (1 to 100): the picture as its viewer shows it (EXIF or HEIF
// orientation applied, transparency over white), placed by LayOutPage on a
// white page. A metafile has no pixel size of its own: it is always fitted to
// the area inside the margins. A source that cannot be read yields an
// all-white page (as sized) and an Undecodable problem; one that can be read
// only in part (a truncated file) yields what could be read and a Damaged
// problem. The destination's folder must exist. Safe to call from several
// threads at once.
NormalizeResult NormalizeImage(const PageSetup& page, const std::filesystem::path& source,
                               const std::filesystem::path& destination,
                               int32_t quality = kDefaultJpegQuality);

// The same on a Custom page of pageWidth x pageHeight pixels, as sized,
// without margin, fitted.
NormalizeResult NormalizeImage(int32_t pageWidth, int32_t pageHeight, const std::filesystem::path& source,
                               const std::filesystem::path& destination,
                               int32_t quality = kDefaultJpegQuality);

// Stores the bytes of a finished page at `destination`; on failure nothing is
// left there (no half page for the PDF stage to trip over). Empty on success,
// otherwise why, for the user; when the disk (or the user's quota) is full,
// `diskFullNeeding`, if given, is set to the page's size.
std::string StorePage(const std::filesystem::path& destination, std::string_view bytes,
                      uint64_t* diskFullNeeding = nullptr);

// A picture opened to be rendered page by page. A multi-page TIFF (a fax, a
// scanned document) has a page for each of its pages, in order, reduced-size
// copies and masks left out, at most a few thousand (the last page then says
// that the rest was left out). Every other picture has one page: an animated
// GIF or WebP, or an HEIF sequence, gives its first frame, since an animation
// is not a document. A file that cannot be opened has one page, rendered white
// with the reason.
class PicturePages {
  public:
    explicit PicturePages(const std::filesystem::path& source);
    ~PicturePages();
    PicturePages(const PicturePages&) = delete;
    PicturePages& operator=(const PicturePages&) = delete;

    size_t count() const;

    // Renders page `part` (0 for the first) as NormalizeImage renders a
    // picture; a page that cannot be read gets its white page and its own
    // problem, whatever became of the others. `shown`, when given, hears the
    // picture before it is placed (not for a white page). `cleaner`, when
    // given, cleans a scanned picture (not a metafile) before it is placed,
    // and `shown` hears it cleaned.
    NormalizeResult Render(size_t part, const PageSetup& page, const std::filesystem::path& destination,
                           int32_t quality = kDefaultJpegQuality, const ShownPictureSink* shown = nullptr,
                           const ScanCleaner* cleaner = nullptr) const;

    // Draws a metafile's page as vectors into `destination`, as
    // WriteVectorPage does. Any other picture, or a metafile that cannot be
    // read, gives nothing: its page is the one Render makes.
    VectorPageResult DrawAsVectors(const PageSetup& page, const std::filesystem::path& destination) const;

  private:
    struct Opened;
    std::unique_ptr<Opened> opened_;
};

// Renders `source` as a small JPEG picture for a preview: drawn as
// NormalizeImage draws it, scaled down to fit inside maxSide x maxSide with its
// proportions kept (a smaller picture keeps its size). A picture that cannot be
// read writes nothing and yields an Undecodable problem with the reason; a
// damaged one is shown as far as it can be read, with a Damaged problem.
NormalizeResult RenderPreview(int32_t maxSide, const std::filesystem::path& source,
                              const std::filesystem::path& destination);

// Writes an all-white page as sized, for a picture that could not be rendered at all.
NormalizeResult WriteWhitePage(const PageSetup& page, const std::filesystem::path& destination,
                               int32_t quality = kDefaultJpegQuality);
