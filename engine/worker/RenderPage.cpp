#include "RenderPage.h"

#include "KeepJpeg.h"
#include "PreparedPages.h"

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
    if (settings.keepJpeg && request.firstPart == 0) {
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
                                   languages.empty() ? nullptr : &recognise);
        if (settings.lossless && page.result.written && page.result.problem != PictureOutcome::Undecodable) {
            AddVectors(pages, settings.page, VectorPagePath(PartPagePath(first, part)), page);
        }
        if (!onPage(part, page)) {
            return;
        }
    }
}
