#include "MetafileRenderer.h"

#include "Canvas.h"
#include "EmfFile.h"
#include "EmfPlusPlayer.h"
#include "GdiPlayer.h"
#include "Playback.h"
#include "RecordTypes.h"

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

} // namespace

RenderedMetafile DrawMetafileToFit(std::string_view bytes, int fitWidth, int fitHeight) {
    const EmfFile file = ReadEmfFile(bytes);
    const DeviceFrame frame = FrameInDevicePixels(file);
    const double scale = std::min(fitWidth / frame.shownWidth, fitHeight / frame.shownHeight);
    if (!(scale >= kSmallestScale && scale <= kLargestScale)) {
        throw std::runtime_error("the metafile's frame is absurdly large or small (" +
                                 std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                                 " pixels)");
    }
    RenderedMetafile rendered;
    rendered.width =
        std::clamp(static_cast<int>(std::lround(frame.shownWidth * scale)), 1, std::max(1, fitWidth));
    rendered.height =
        std::clamp(static_cast<int>(std::lround(frame.shownHeight * scale)), 1, std::max(1, fitHeight));
    Canvas canvas(rendered.width, rendered.height);
    PlaybackReport report;
    const double scaleX = rendered.width / frame.width, scaleY = rendered.height / frame.height;
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
    rendered.problem = report.Describe();
    return rendered;
}

} // namespace metafile
