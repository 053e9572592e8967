#include "KeptPlacement.h"

KeptJpeg PlaceKeptPicture(int32_t width, int32_t height, int32_t orientation, PictureResolution resolution,
                          const PageSetup& page) {
    KeptJpeg kept;
    kept.width = width;
    kept.height = height;
    kept.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    // A quarter turn takes each axis's resolution along with it; the page's
    // matrix stretches the picture to its place, so non-square pixels show at
    // their true shape as in a rendered page.
    const bool swap = kept.orientation >= 5;
    const ShownSize shown = swap ? ShowPicture(height, width, {resolution.y, resolution.x})
                                 : ShowPicture(width, height, resolution);
    const PageGeometry geometry = LayOutPage(page, shown.width, shown.height, shown.pixelsPerInch);
    kept.pageWidth = geometry.widthPx;
    kept.pageHeight = geometry.heightPx;
    kept.place = geometry.picture;
    return kept;
}
