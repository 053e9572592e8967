#include "MetafileRenderer.h"

#include "Canvas.h"
#include "EmfFile.h"
#include "EmfPlusPlayer.h"
#include "GdiPlayer.h"
#include "Playback.h"
#include "RecordTypes.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace metafile {
namespace {

// The largest drawing scale from the reference device to the page, and the
// smallest: beyond them the frame is absurd for any page.
constexpr double kSmallestScale = 1e-4;
constexpr double kLargestScale = 1e6;

void PlayGdiOnly(const EmfFile& file, GdiPlayer& gdi) {
    for (const EmfRecord& record : file.records) {
        gdi.Play(record);
    }
}

// GDI+ plays a file with EMF+ records from those records. The GDI records
// that follow EMF+ drawing repeat it for programs without GDI+ and are left
// out; GDI records after EMF+ records that only set state, or after GetDC,
// are drawing of their own (Office writes its text that way) and are played.
void PlayEmfPlus(const EmfFile& file, GdiPlayer& gdi, EmfPlusPlayer& plus) {
    bool playGdi = true;
    for (const EmfRecord& record : file.records) {
        if (record.type == kEmrComment) {
            const EmfPlusPlayer::CommentResult result = plus.PlayComment(record);
            if (result.isEmfPlus) {
                playGdi = result.getDc || !result.drew;
            }
            continue;
        }
        if (playGdi || record.type == kEmrEof || record.type == kEmrHeader) {
            gdi.Play(record);
        } else {
            gdi.PlayObjectsOnly(record);
        }
    }
}

// The size in output pixels of the frame fitted inside fitWidth x fitHeight.
struct FittedSize {
    int width = 0;
    int height = 0;
};

FittedSize FitFrame(const DeviceFrame& frame, int fitWidth, int fitHeight) {
    const double scale = std::min(fitWidth / frame.shownWidth, fitHeight / frame.shownHeight);
    if (!(scale >= kSmallestScale && scale <= kLargestScale)) {
        throw std::runtime_error("the metafile's frame is absurdly large or small (" +
                                 std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                                 " pixels)");
    }
    return {std::clamp(static_cast<int>(std::lround(frame.shownWidth * scale)), 1, std::max(1, fitWidth)),
            std::clamp(static_cast<int>(std::lround(frame.shownHeight * scale)), 1, std::max(1, fitHeight))};
}

// Plays the records onto `canvas`, the frame filling it; returns what could
// not be drawn, empty when all was.
std::string PlayOnto(const EmfFile& file, const DeviceFrame& frame, Canvas& canvas) {
    PlaybackReport report;
    const double scaleX = canvas.width() / frame.width, scaleY = canvas.height() / frame.height;
    PlaybackTarget target{
        canvas, Identity(), std::sqrt(scaleX * scaleY), file.pixelsPerMmX, file.pixelsPerMmY, report};
    cairo_matrix_init(&target.deviceToOutput, scaleX, 0, 0, scaleY, -frame.left * scaleX,
                      -frame.top * scaleY);

    GdiPlayer gdi(target);
    if (file.hasEmfPlus && EmfPlusPlayer::CanDraw(file)) {
        EmfPlusPlayer plus(target);
        PlayEmfPlus(file, gdi, plus);
    } else {
        PlayGdiOnly(file, gdi);
    }
    return report.Describe();
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

RenderedMetafile DrawMetafileToFit(std::string_view bytes, int fitWidth, int fitHeight) {
    const EmfFile file = ReadEmfFile(bytes);
    const DeviceFrame frame = FrameInDevicePixels(file);
    const FittedSize size = FitFrame(frame, fitWidth, fitHeight);
    RenderedMetafile rendered;
    rendered.width = size.width;
    rendered.height = size.height;
    Canvas canvas(rendered.width, rendered.height);
    rendered.problem = PlayOnto(file, frame, canvas);

    const unsigned char* data = canvas.data();
    const int stride = canvas.stride();
    rendered.rgb.resize(static_cast<size_t>(rendered.width) * rendered.height * 3);
    uint8_t* out = rendered.rgb.data();
    for (int y = 0; y < rendered.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < rendered.width; ++x) {
            const uint32_t p = row[x];
            *out++ = static_cast<uint8_t>(p >> 16);
            *out++ = static_cast<uint8_t>(p >> 8);
            *out++ = static_cast<uint8_t>(p);
        }
    }
    return rendered;
}

DrawnPdf DrawMetafileAsPdf(std::string_view bytes, int fitWidth, int fitHeight) {
    const EmfFile file = ReadEmfFile(bytes);
    const DeviceFrame frame = FrameInDevicePixels(file);
    const FittedSize size = FitFrame(frame, fitWidth, fitHeight);
    DrawnPdf drawn;
    drawn.width = size.width;
    drawn.height = size.height;
    cairo_surface_t* surface =
        cairo_pdf_surface_create_for_stream(AppendToString, &drawn.pdf, size.width, size.height);
    // The oldest version the document may declare (PDF/A-1 is 1.4): the
    // page goes into it as it is.
    cairo_pdf_surface_restrict_to_version(surface, CAIRO_PDF_VERSION_1_4);
    // What PDF cannot draw (raster operations) cairo draws as pixels: at one
    // pixel per unit, the resolution the raster page would have, no finer,
    // so that such a part costs no more than that page.
    cairo_surface_set_fallback_resolution(surface, 72, 72);
    Canvas canvas(surface, size.width, size.height);
    drawn.problem = PlayOnto(file, frame, canvas);
    cairo_surface_finish(surface);
    cairo_status_t status = cairo_status(canvas.cr());
    if (status == CAIRO_STATUS_SUCCESS) {
        status = cairo_surface_status(surface);
    }
    if (status != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error(std::string("the drawing could not be written as a PDF page: ") +
                                 cairo_status_to_string(status));
    }
    return drawn;
}

} // namespace metafile
