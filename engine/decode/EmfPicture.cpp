#include "EmfPicture.h"

#include "EmfFile.h"
#include "MetafileRenderer.h"

#include <algorithm>
#include <cmath>

namespace {

// The most pixels a metafile is drawn with; a larger page gets the drawing
// enlarged. The drawing is held three times over while it is handed on, and a
// page of 14400 x 14400 pixels would need gigabytes for no visible gain.
constexpr double kMostDrawingPixels = 32.0 * 1024 * 1024;

} // namespace

bool LooksLikeEmf(std::string_view head) {
    return metafile::IsEmfSignature(head);
}

EmfDrawing RenderEmf(std::string_view bytes, int fitWidth, int fitHeight) {
    const double pixels = static_cast<double>(fitWidth) * fitHeight;
    if (pixels > kMostDrawingPixels) {
        const double shrink = std::sqrt(kMostDrawingPixels / pixels);
        fitWidth = std::max(1, static_cast<int>(fitWidth * shrink));
        fitHeight = std::max(1, static_cast<int>(fitHeight * shrink));
    }
    const metafile::RenderedMetafile rendered = metafile::DrawMetafileToFit(bytes, fitWidth, fitHeight);
    EmfDrawing drawing;
    drawing.image =
        vips::VImage::new_from_memory(const_cast<uint8_t*>(rendered.rgb.data()), rendered.rgb.size(),
                                      rendered.width, rendered.height, 3, VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .copy_memory(); // the pixels outlive `rendered`
    drawing.problem = rendered.problem;
    return drawing;
}
