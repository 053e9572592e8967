#pragma once

#include "PageSetup.h"
#include "PageSize.h"

#include <cstdint>

// Where a picture goes on its page: the one place where pages are measured,
// for the page pictures the preparation renders and for the PDF pages that
// show them.

// A rectangle on a page picture, in its pixels, from its top-left corner.
struct PagePlacement {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const PagePlacement&) const = default;
};

// Where a picture of w x h pixels lands on an area of W x H pixels: fitted with
// its proportions kept, centred along the axis with room to spare. Ratios are
// compared in single precision, the exact fitted side is computed in double
// precision, and every conversion to an integer truncates toward zero, so the
// far margin may be up to two pixels wider than the near one. Pictures smaller
// than the area are enlarged. A picture without pixels gets the whole area.
PagePlacement FitPictureOnPage(int32_t pageWidth, int32_t pageHeight, int32_t pictureWidth,
                               int32_t pictureHeight);

// The largest side a PDF page may have (readers refuse larger ones), in inches.
inline constexpr double kMaxPdfPageInches = kMaxPageSide / 72.0;

// The resolution of a picture that states none, as screens show it.
inline constexpr double kUnstatedPixelsPerInch = 96;

// Pixels per inch along each axis of a picture as stored, as its file states
// them; 0 when it states none.
struct PictureResolution {
    double x = 0;
    double y = 0;
};

// A picture as pages measure it: its pixels, with non-square pixels made
// square by stretching the axis of lower resolution, so that its proportions
// are those of its physical size; and the pixels per inch of that size, 0 when
// the picture states none.
struct ShownSize {
    int32_t width = 0;
    int32_t height = 0;
    double pixelsPerInch = 0;
    bool operator==(const ShownSize&) const = default;
};

// Pictures whose two resolutions differ more than this have a number wrong
// rather than pixels that wide: they keep their square pixels.
inline constexpr double kMaxPixelAspect = 8;

// The picture of w x h pixels (as shown, EXIF turn applied: its resolutions
// swapped with its sides) at `resolution`. A resolution that is missing, not
// finite, below 10 or above 100000 dpi on either axis, or whose axes differ
// more than kMaxPixelAspect, counts as none: the picture keeps w x h.
ShownSize ShowPicture(int32_t width, int32_t height, PictureResolution resolution);

// One page laid out for one picture.
struct PageGeometry {
    double widthPt = 0; // the PDF page
    double heightPt = 0;
    int32_t widthPx = 0; // the page picture
    int32_t heightPx = 0;
    PagePlacement picture; // the picture's place on the page picture
    bool turned = false;   // the page is turned against the size the setup gives
};

// Lays out the page for a picture of w x h pixels (as ShowPicture shows it;
// 0 x 0 when it is not known) at `pixelsPerInch` (0 when it states none):
//  - the page: a preset's sheet in points (mm x 72 / 25.4), its page picture
//    mm x dpi / 25.4 pixels, rounded; a Custom page W x H pixels, one pixel one
//    point; a Picture page the picture's own size at its resolution (96 dpi
//    when it states none; an A4 sheet when the picture is not known), reduced
//    to fit the largest PDF page, with the margin added around it, its page
//    picture at the setup's dpi (never turned, and the picture always fitted);
//  - turned as the orientation asks (Auto: by the picture's own shape; a
//    square or unknown picture keeps the page as sized);
//  - the margin taken off every side (rounded to whole pixels);
//  - the picture fitted inside by FitPictureOnPage, or with Shrink, when it is
//    no larger than the area, centred at its own size (the near margin is half
//    the leftover, rounded down).
// A Custom page as sized, without margin, with Fit is FitPictureOnPage on the
// whole page.
PageGeometry LayOutPage(const PageSetup& setup, int32_t pictureWidth, int32_t pictureHeight,
                        double pixelsPerInch = 0);

// The margin of a setup in pixels of its page picture.
int32_t MarginInPixels(const PageSetup& setup);

// The PDF page that shows a page picture of w x h pixels, and the size the
// picture is drawn at, both in points, from the lower-left corner.
struct PdfPageBox {
    double pageWidth = 0;
    double pageHeight = 0;
    double imageWidth = 0;
    double imageHeight = 0;
};

// A preset page is its sheet, turned to landscape when the page picture is
// wider than tall, with the picture drawn over the whole sheet. A Picture page
// is its page picture at the setup's dpi, the picture drawn over all of it. A Custom page
// is W x H points (H x W when the picture was turned to that), with the
// picture drawn at one point per pixel.
PdfPageBox PdfPageFor(const PageSetup& setup, int32_t pagePictureWidth, int32_t pagePictureHeight);
