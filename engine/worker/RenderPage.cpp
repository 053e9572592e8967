#include "RenderPage.h"

#include "KeepJpeg.h"
#include "PageOrientation.h"
#include "PreparedPages.h"

namespace {

void Take(RecognitionResult recognised, PageMade& page) {
    page.recognitionFailure = std::move(recognised.failure);
    // A page without text needs nothing more: it simply has no layer.
    if (page.recognitionFailure.empty() && !recognised.text.lines.empty()) {
        page.text = std::move(recognised.text);
    }
}

} // namespace

void RenderPages(const RenderRequest& request, TextRecognizer& recognizer,
                 const std::function<bool(size_t count)>& onCount,
                 const std::function<bool(size_t part, const PageMade& page)>& onPage) {
    const RenderSettings& settings = request.settings;
    const std::filesystem::path first = request.destination;
    const std::string& languages = request.ocrLanguages;
    if (request.whitePageOnly) {
        if (onCount(1)) {
            onPage(0, {WriteWhitePage(settings.page, first, settings.quality)});
        }
        return;
    }
    // A cleaned scan is a new picture: its JPEG cannot go in as it was.
    if (settings.keepJpeg && !settings.cleaning.Any() && request.firstPart == 0) {
        const KeepJpegResult kept = KeepJpegAsIs(request.source, first, settings.page);
        if (kept.kept || !kept.writeError.empty()) {
            PageMade page;
            if (kept.kept) {
                page.result.written = true;
                page.keptJpeg = kept.kept;
                if (!languages.empty()) {
                    Take(recognizer.Recognize(first, *kept.kept, languages), page);
                }
            } else {
                page.result.problem = PictureOutcome::NotPrepared;
                page.result.reason = kept.writeError;
                page.result.diskFullNeeding = kept.diskFullNeeding;
            }
            if (onCount(1)) {
                onPage(0, page);
            }
            return;
        }
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
    for (size_t part = request.firstPart; part < pages.count(); ++part) {
        PageMade page;
        const ShownPictureSink recognise{
            [&](const ShownPicture& shown) { Take(recognizer.Recognize(shown, languages), page); },
            kMaxRecognitionPixels};
        page.result = pages.Render(part, settings.page, PartPagePath(first, part), settings.quality,
                                   languages.empty() ? nullptr : &recognise, &cleaner);
        // A page stored as an image stream is shown as its descriptor says.
        page.keptJpeg = page.result.stream;
        if (!onPage(part, page)) {
            return;
        }
    }
}
