#include "RenderPage.h"

#include "KeepJpeg.h"
#include "PageNotes.h"
#include "PreparedPages.h"

#include <unistd.h>

namespace {

// The page's notes beside it; a page without them is no page.
NormalizeResult WithNotes(NormalizeResult result, const std::filesystem::path& page, const PageNotes& notes) {
    if (result.written) {
        if (std::string error = WritePageNotes(page, notes); !error.empty()) {
            ::unlink(page.c_str());
            result.written = false;
            result.problem = PictureOutcome::NotPrepared;
            result.reason = error;
        }
    }
    return result;
}

} // namespace

void RenderPages(const RenderRequest& request, const std::function<bool(size_t count)>& onCount,
                 const std::function<bool(size_t part, const NormalizeResult& result)>& onPage) {
    const RenderSettings& settings = request.settings;
    const std::filesystem::path first = request.destination;
    PageNotes notes;
    notes.source = request.source;
    if (request.whitePageOnly) {
        if (onCount(1)) {
            onPage(0, WithNotes(WriteWhitePage(settings.page, first, settings.quality), first, notes));
        }
        return;
    }
    if (settings.keepJpeg && request.firstPart == 0) {
        const KeepJpegResult kept = KeepJpegAsIs(request.source, first, settings.page);
        if (kept.kept || !kept.writeError.empty()) {
            NormalizeResult result;
            if (kept.kept) {
                result.written = true;
                notes.keptJpeg = kept.kept;
            } else {
                result.problem = PictureOutcome::NotPrepared;
                result.reason = kept.writeError;
            }
            if (onCount(1)) {
                onPage(0, WithNotes(result, first, notes));
            }
            return;
        }
    }
    const PicturePages pages(request.source);
    if (!onCount(pages.count())) {
        return;
    }
    for (size_t part = request.firstPart; part < pages.count(); ++part) {
        const std::filesystem::path page = PartPagePath(first, part);
        if (!onPage(part,
                    WithNotes(pages.Render(part, settings.page, page, settings.quality), page, notes))) {
            return;
        }
    }
}

NormalizeResult RenderPage(const RenderRequest& request) {
    NormalizeResult first;
    RenderPages(
        request, [](size_t) { return true; },
        [&](size_t, const NormalizeResult& result) {
            first = result;
            return false;
        });
    return first;
}
