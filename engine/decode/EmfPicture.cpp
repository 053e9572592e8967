#include "EmfPicture.h"

#include "EmfFile.h"
#include "MetafileRenderer.h"
#include "NormalizeImage.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// The most pixels a metafile is drawn with; a larger page gets the drawing
// enlarged. The drawing is held three times over while it is handed on, and a
// page of 14400 x 14400 pixels would need gigabytes for no visible gain.
constexpr double kMostDrawingPixels = 32.0 * 1024 * 1024;

// The box shrunk to hold no more than kMostDrawingPixels.
MetafileBox Bounded(int fitWidth, int fitHeight) {
    const double pixels = static_cast<double>(fitWidth) * fitHeight;
    if (pixels > kMostDrawingPixels) {
        const double shrink = std::sqrt(kMostDrawingPixels / pixels);
        fitWidth = std::max(1, static_cast<int>(fitWidth * shrink));
        fitHeight = std::max(1, static_cast<int>(fitHeight * shrink));
    }
    return {fitWidth, fitHeight};
}

} // namespace

bool LooksLikeEmf(std::string_view head) {
    return metafile::IsEmfSignature(head);
}

EmfDrawing RenderEmf(std::string_view bytes, int fitWidth, int fitHeight) {
    const MetafileBox box = Bounded(fitWidth, fitHeight);
    const metafile::RenderedMetafile rendered = metafile::DrawMetafileToFit(bytes, box.width, box.height);
    EmfDrawing drawing;
    drawing.image =
        vips::VImage::new_from_memory(const_cast<uint8_t*>(rendered.rgb.data()), rendered.rgb.size(),
                                      rendered.width, rendered.height, 3, VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .copy_memory(); // the pixels outlive `rendered`
    drawing.problem = rendered.problem;
    return drawing;
}

EmfPdf DrawEmfAsPdf(std::string_view bytes, int fitWidth, int fitHeight) {
    // Bounded as the pixels are, so that the page shows the drawing exactly
    // where and as large as the raster page does, thin lines as thin.
    const MetafileBox box = Bounded(fitWidth, fitHeight);
    metafile::DrawnPdf drawn = metafile::DrawMetafileAsPdf(bytes, box.width, box.height);
    return {drawn.width, drawn.height, std::move(drawn.pdf), std::move(drawn.problem)};
}

MetafileBox MetafileBoxFor(const PageSetup& setup) {
    const PagePlacement area = LayOutPage(setup, 0, 0).picture;
    if (setup.orientation == PageOrientation::Auto) {
        const int side = std::max(area.width, area.height);
        return {side, side};
    }
    return {area.width, area.height};
}

PageGeometry MetafilePageFor(const PageSetup& setup, int drawnWidth, int drawnHeight) {
    PageSetup fitted = setup;
    fitted.fit = PictureFit::Fit;
    return LayOutPage(fitted, drawnWidth, drawnHeight, setup.dpi);
}

VectorPageResult WriteVectorPage(const PageSetup& setup, std::string_view bytes,
                                 const std::filesystem::path& destination) {
    const MetafileBox box = MetafileBoxFor(setup);
    EmfPdf drawn;
    try {
        drawn = DrawEmfAsPdf(bytes, box.width, box.height);
    } catch (const std::exception&) {
        return {}; // the page picture says why
    }
    const PageGeometry page = MetafilePageFor(setup, drawn.width, drawn.height);
    VectorPageResult result;
    result.writeError = StorePage(destination, drawn.pdf, &result.diskFullNeeding);
    if (result.writeError.empty()) {
        result.page = VectorPage{page.widthPx, page.heightPx, page.picture, destination};
    }
    return result;
}
