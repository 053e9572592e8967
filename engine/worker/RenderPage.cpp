#include "RenderPage.h"

#include "CopyImageData.h"
#include "KeepJpeg.h"
#include "LosslessPicture.h"
#include "PageOrientation.h"
#include "PreparedPages.h"

#include <optional>
#include <system_error>

namespace {

void Take(RecognitionResult recognised, PageMade& page) {
    page.recognitionFailure = std::move(recognised.failure);
    // A page without text needs nothing more: it simply has no layer.
    if (page.recognitionFailure.empty() && !recognised.text.lines.empty()) {
        page.text = std::move(recognised.text);
    }
}

// A metafile's page drawn as vectors too, beside its page picture. A page
// that cannot be stored fails as a page picture that cannot: the disk that
// lacks room for it lacks it for every page after.
void AddVectors(const PicturePages& pages, const PageSetup& setup, const std::filesystem::path& destination,
                PageMade& page) {
    VectorPageResult vectors = pages.DrawAsVectors(setup, destination);
    if (vectors.page) {
        page.vectorPage = std::move(vectors.page);
    } else if (!vectors.writeError.empty()) {
        page.result.written = false;
        page.result.problem = PictureOutcome::NotPrepared;
        page.result.reason = vectors.writeError;
        page.result.diskFullNeeding = vectors.diskFullNeeding;
        page.text.reset();
    }
}

// The text of a page whose picture went in as its own data: read from the
// picture decoded as a rendered page would show it, the page made for that
// thrown away.
void RecogniseCopied(const PicturePages& pages, size_t part, const RenderRequest& request,
                     const std::filesystem::path& page, TextRecognizer& recognizer, PageMade& made) {
    const ShownPictureSink recognise{
        [&](const ShownPicture& shown) { Take(recognizer.Recognize(shown, request.ocrLanguages), made); },
        kMaxRecognitionPixels};
    std::filesystem::path scratch = page;
    scratch += ".text.jpg";
    pages.Render(part, request.settings.page, scratch, request.settings.quality, &recognise);
    std::error_code ignored;
    std::filesystem::remove(scratch, ignored);
}

PageMade CopiedPage(const LosslessPageResult& copied) {
    PageMade page;
    if (copied.kept) {
        page.result.written = true;
        page.keptJpeg = copied.kept;
    } else {
        page.result.problem = PictureOutcome::NotPrepared;
        page.result.reason = copied.writeError;
        page.result.diskFullNeeding = copied.diskFullNeeding;
    }
    return page;
}

// The source JPEG itself as the picture's one page, when it can go in as it
// is; nothing when it must be rendered.
std::optional<PageMade> KeptAsIs(const RenderRequest& request, TextRecognizer& recognizer) {
    const RenderSettings& settings = request.settings;
    // A cleaned scan is a new picture: its JPEG cannot go in as it was.
    if (!(settings.keepJpeg || settings.lossless) || settings.cleaning.Any() || request.firstPart != 0) {
        return std::nullopt;
    }
    const std::filesystem::path first = request.destination;
    const KeepJpegResult kept = KeepJpegAsIs(request.source, first, settings.page);
    if (!kept.kept && kept.writeError.empty()) {
        return std::nullopt;
    }
    PageMade page;
    if (kept.kept) {
        page.result.written = true;
        page.keptJpeg = kept.kept;
        if (!request.ocrLanguages.empty()) {
            Take(recognizer.Recognize(first, *kept.kept, request.ocrLanguages), page);
        }
    } else {
        page.result.problem = PictureOutcome::NotPrepared;
        page.result.reason = kept.writeError;
        page.result.diskFullNeeding = kept.diskFullNeeding;
    }
    return page;
}

// How the pages of one picture are made.
struct PageMaking {
    const RenderRequest& request;
    const PicturePages& pages;
    const ScanCleaner& cleaner;
    SourceCoding coding;
    bool rendered; // drawn on the page picture, as without --lossless
};

PageMade MakePage(const PageMaking& making, size_t part, TextRecognizer& recognizer) {
    const RenderRequest& request = making.request;
    const RenderSettings& settings = request.settings;
    const std::string& languages = request.ocrLanguages;
    const std::filesystem::path destination = PartPagePath(request.destination, part);
    if (!making.rendered && making.coding == SourceCoding::Lossless) {
        const LosslessPageResult copied =
            CopyImageData(request.source, part, destination, settings.page, settings.pdf14);
        if (copied.kept || !copied.writeError.empty()) {
            PageMade page = CopiedPage(copied);
            if (copied.kept && !languages.empty()) {
                RecogniseCopied(making.pages, part, request, destination, recognizer, page);
            }
            return page;
        }
    }
    PageMade page;
    const ShownPictureSink recognise{
        [&](const ShownPicture& shown) { Take(recognizer.Recognize(shown, languages), page); },
        kMaxRecognitionPixels};
    const ShownPictureSink* text = languages.empty() ? nullptr : &recognise;
    if (making.rendered) {
        page.result =
            making.pages.Render(part, settings.page, destination, settings.quality, text, &making.cleaner);
        // A page stored as an image stream is shown as its descriptor says.
        page.keptJpeg = page.result.stream;
        if (settings.lossless && page.result.written && page.result.problem != PictureOutcome::Undecodable) {
            AddVectors(making.pages, settings.page, VectorPagePath(destination), page);
        }
    } else {
        page.result = RenderInOwnPixels(making.pages, part, settings.page, destination, settings.quality,
                                        making.coding == SourceCoding::Lossy, text, page.keptJpeg);
    }
    return page;
}

} // namespace

void RenderPages(const RenderRequest& request, TextRecognizer& recognizer,
                 const std::function<bool(size_t count)>& onCount,
                 const std::function<bool(size_t part, const PageMade& page)>& onPage) {
    const RenderSettings& settings = request.settings;
    if (request.whitePageOnly) {
        if (onCount(1)) {
            onPage(0, {WriteWhitePage(settings.page, request.destination, settings.quality)});
        }
        return;
    }
    if (const std::optional<PageMade> kept = KeptAsIs(request, recognizer)) {
        if (onCount(1)) {
            onPage(0, *kept);
        }
        return;
    }
    // Loaded on the first page that asks, and kept for the worker's others.
    thread_local OrientationDetector orientation;
    const ScanCleaner cleaner{settings.cleaning, [&](_VipsImage* grey) {
                                  try {
                                      return orientation.UprightTurn(grey);
                                  } catch (const std::exception&) {
                                      // The job checks for the data before it begins: a page
                                      // it cannot judge stays as it was scanned.
                                      return 0;
                                  }
                              }};
    const PicturePages pages(request.source);
    if (!onCount(pages.count())) {
        return;
    }
    // Without --lossless every page is rendered as it always is, and so is a
    // metafile's with it, and a cleaned scan's: cleaning makes a new picture.
    const SourceCoding coding = settings.lossless ? SourceCodingOf(request.source) : SourceCoding::Lossless;
    const bool rendered = !settings.lossless || coding == SourceCoding::Metafile || settings.cleaning.Any();
    const PageMaking making{request, pages, cleaner, coding, rendered};
    for (size_t part = request.firstPart; part < pages.count(); ++part) {
        if (!onPage(part, MakePage(making, part, recognizer))) {
            return;
        }
    }
}
