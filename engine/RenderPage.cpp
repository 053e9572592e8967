#include "RenderPage.h"

#include "KeepJpeg.h"
#include "PageNotes.h"

#include <unistd.h>

NormalizeResult RenderPage(const RenderRequest& request) {
    const RenderSettings& settings = request.settings;
    PageNotes notes;
    notes.source = request.source;
    NormalizeResult result;
    if (request.whitePageOnly) {
        result = WriteWhitePage(settings.page, request.destination, settings.quality);
    } else {
        KeepJpegResult kept;
        if (settings.keepJpeg) {
            kept = KeepJpegAsIs(request.source, request.destination, settings.page);
        }
        if (kept.kept) {
            result.written = true;
            notes.keptJpeg = kept.kept;
        } else if (!kept.writeError.empty()) {
            result.problem = PictureOutcome::NotPrepared;
            result.reason = kept.writeError;
        } else {
            result = NormalizeImage(settings.page, request.source, request.destination, settings.quality);
        }
    }
    if (result.written) {
        if (std::string error = WritePageNotes(request.destination, notes); !error.empty()) {
            ::unlink(request.destination.c_str());
            result.written = false;
            result.problem = PictureOutcome::NotPrepared;
            result.reason = error;
        }
    }
    return result;
}
