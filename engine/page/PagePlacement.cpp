#include "PagePlacement.h"

#include "PageSize.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kMillimetresPerInch = 25.4;

int32_t MillimetresToPixels(double millimetres, int32_t dpi) {
    return static_cast<int32_t>(std::lround(millimetres * dpi / kMillimetresPerInch));
}

// Whether the page, as sized, must be turned for this picture.
bool TurnFor(PageOrientation orientation, int32_t pageWidth, int32_t pageHeight, int32_t pictureWidth,
             int32_t pictureHeight) {
    switch (orientation) {
    case PageOrientation::AsSized:
        return false;
    case PageOrientation::Portrait:
        return pageWidth > pageHeight;
    case PageOrientation::Landscape:
        return pageWidth < pageHeight;
    case PageOrientation::Auto:
        if (pictureWidth > pictureHeight) {
            return pageWidth < pageHeight;
        }
        if (pictureWidth < pictureHeight) {
            return pageWidth > pageHeight;
        }
        return false;
    }
    return false;
}

constexpr double kMinStatedDpi = 10;
constexpr double kMaxStatedDpi = 100000;

int32_t RoundedSide(double pixels) {
    return static_cast<int32_t>(std::lround(std::clamp(pixels, 1.0, 1e9)));
}

// A Picture page before its margin: the picture's physical size, at most the
// largest PDF page less the margin, in pixels of the page picture.
void SizePicturePage(const PageSetup& setup, int32_t pictureWidth, int32_t pictureHeight,
                     double pixelsPerInch, int32_t& width, int32_t& height) {
    double widthIn = 210 / kMillimetresPerInch; // an unknown picture gets an A4 sheet
    double heightIn = 297 / kMillimetresPerInch;
    if (pictureWidth >= 1 && pictureHeight >= 1) {
        const double perInch = pixelsPerInch > 0 ? pixelsPerInch : kUnstatedPixelsPerInch;
        widthIn = pictureWidth / perInch;
        heightIn = pictureHeight / perInch;
    }
    const double marginIn = 2.0 * MarginInPixels(setup) / setup.dpi;
    const double roomIn = std::max(kMaxPdfPageInches - marginIn, 1.0 / setup.dpi);
    const double scale = std::min({1.0, roomIn / widthIn, roomIn / heightIn});
    width = RoundedSide(widthIn * scale * setup.dpi);
    height = RoundedSide(heightIn * scale * setup.dpi);
    // A picture of a pixel or two would make a page smaller than any PDF may
    // have, and the whole document would fail: it gets the smallest page.
    const int32_t least = static_cast<int32_t>(std::ceil(kMinPageSide * setup.dpi / kPointsPerInch)) -
                          2 * MarginInPixels(setup);
    width = std::max(width, least);
    height = std::max(height, least);
}

} // namespace

ShownSize ShowPicture(int32_t width, int32_t height, PictureResolution resolution) {
    const auto usable = [](double dpi) {
        return std::isfinite(dpi) && dpi >= kMinStatedDpi && dpi <= kMaxStatedDpi;
    };
    const double x = resolution.x;
    const double y = resolution.y;
    if (!usable(x) || !usable(y) || std::max(x, y) > kMaxPixelAspect * std::min(x, y)) {
        return {width, height, 0};
    }
    // The finer axis keeps its pixels; the coarser one gets as many as it
    // would have at the finer resolution.
    if (x < y) {
        return {RoundedSide(width * (y / x)), height, y};
    }
    if (y < x) {
        return {width, RoundedSide(height * (x / y)), x};
    }
    return {width, height, x};
}

PagePlacement FitPictureOnPage(int32_t pageWidth, int32_t pageHeight, int32_t pictureWidth,
                               int32_t pictureHeight) {
    PagePlacement place{0, 0, pageWidth, pageHeight};
    if (pictureWidth < 1 || pictureHeight < 1 || pageHeight == 0) {
        return place;
    }
    const float pageRatio = static_cast<float>(pageWidth) / static_cast<float>(pageHeight);
    const float pictureRatio = static_cast<float>(pictureWidth) / static_cast<float>(pictureHeight);
    // 64-bit products: a wide page times a tall picture overflows 32 bits.
    if (pageRatio < pictureRatio) {
        const double exact = static_cast<double>(int64_t{pageWidth} * pictureHeight) / pictureWidth;
        place.height = static_cast<int32_t>(exact);
        place.top = static_cast<int32_t>(static_cast<int32_t>(pageHeight - exact) * 0.5);
    } else if (pictureRatio < pageRatio) {
        const double exact = static_cast<double>(int64_t{pictureWidth} * pageHeight) / pictureHeight;
        place.width = static_cast<int32_t>(exact);
        place.left = static_cast<int32_t>(static_cast<int32_t>(pageWidth - exact) * 0.5);
    }
    return place;
}

int32_t MarginInPixels(const PageSetup& setup) {
    if (!(setup.margin > 0)) {
        return 0;
    }
    const double pixels =
        setup.paper == PaperSize::Custom ? setup.margin : setup.margin * setup.dpi / kMillimetresPerInch;
    return static_cast<int32_t>(std::lround(std::min(pixels, 1e9)));
}

PageGeometry LayOutPage(const PageSetup& setup, int32_t pictureWidth, int32_t pictureHeight,
                        double pixelsPerInch) {
    PageGeometry page;
    const bool ownSize = setup.paper == PaperSize::Picture;
    if (ownSize) {
        // The page is made for the picture: the margin goes around it.
        int32_t width = 0;
        int32_t height = 0;
        SizePicturePage(setup, pictureWidth, pictureHeight, pixelsPerInch, width, height);
        const int32_t margin = MarginInPixels(setup);
        page.widthPx = width + 2 * margin;
        page.heightPx = height + 2 * margin;
        page.widthPt = page.widthPx * kPointsPerInch / setup.dpi;
        page.heightPt = page.heightPx * kPointsPerInch / setup.dpi;
    } else if (setup.paper == PaperSize::Custom) {
        page.widthPx = setup.pageWidth;
        page.heightPx = setup.pageHeight;
        page.widthPt = setup.pageWidth;
        page.heightPt = setup.pageHeight;
    } else {
        const SheetSize sheet = SheetOf(setup.paper);
        page.widthPx = MillimetresToPixels(sheet.widthMm, setup.dpi);
        page.heightPx = MillimetresToPixels(sheet.heightMm, setup.dpi);
        page.widthPt = sheet.widthMm * kPointsPerInch / kMillimetresPerInch;
        page.heightPt = sheet.heightMm * kPointsPerInch / kMillimetresPerInch;
    }
    page.turned =
        !ownSize && TurnFor(setup.orientation, page.widthPx, page.heightPx, pictureWidth, pictureHeight);
    if (page.turned) {
        std::swap(page.widthPx, page.heightPx);
        std::swap(page.widthPt, page.heightPt);
    }

    // A margin too wide for the page leaves a one-pixel area; jobs refuse such
    // margins before they start.
    const int32_t narrow = std::min(page.widthPx, page.heightPx);
    const int32_t margin = std::clamp(MarginInPixels(setup), 0, std::max((narrow - 1) / 2, 0));
    const int32_t areaWidth = page.widthPx - 2 * margin;
    const int32_t areaHeight = page.heightPx - 2 * margin;

    const bool keepsOwnSize = !ownSize && setup.fit == PictureFit::Shrink && pictureWidth >= 1 &&
                              pictureHeight >= 1 && pictureWidth <= areaWidth && pictureHeight <= areaHeight;
    if (keepsOwnSize) {
        page.picture = {(areaWidth - pictureWidth) / 2, (areaHeight - pictureHeight) / 2, pictureWidth,
                        pictureHeight};
    } else {
        page.picture = FitPictureOnPage(areaWidth, areaHeight, pictureWidth, pictureHeight);
    }
    page.picture.left += margin;
    page.picture.top += margin;
    return page;
}

PdfPageBox PdfPageFor(const PageSetup& setup, int32_t pagePictureWidth, int32_t pagePictureHeight) {
    PdfPageBox box;
    if (setup.paper == PaperSize::Picture) {
        box.pageWidth = box.imageWidth = pagePictureWidth * kPointsPerInch / setup.dpi;
        box.pageHeight = box.imageHeight = pagePictureHeight * kPointsPerInch / setup.dpi;
        return box;
    }
    if (setup.paper == PaperSize::Custom) {
        const bool turned = setup.pageWidth != setup.pageHeight && pagePictureWidth == setup.pageHeight &&
                            pagePictureHeight == setup.pageWidth;
        box.pageWidth = turned ? setup.pageHeight : setup.pageWidth;
        box.pageHeight = turned ? setup.pageWidth : setup.pageHeight;
        box.imageWidth = pagePictureWidth;
        box.imageHeight = pagePictureHeight;
        return box;
    }
    const SheetSize sheet = SheetOf(setup.paper);
    box.pageWidth = sheet.widthMm * kPointsPerInch / kMillimetresPerInch;
    box.pageHeight = sheet.heightMm * kPointsPerInch / kMillimetresPerInch;
    if (pagePictureWidth > pagePictureHeight) {
        std::swap(box.pageWidth, box.pageHeight);
    }
    box.imageWidth = box.pageWidth;
    box.imageHeight = box.pageHeight;
    return box;
}
