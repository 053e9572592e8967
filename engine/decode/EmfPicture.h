#pragma once

#include "PagePlacement.h"
#include "VectorPage.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vips/vips8>

// True when `head` (the first bytes of a file) starts an enhanced metafile.
bool LooksLikeEmf(std::string_view head);

// An enhanced metafile drawn as a picture by our own metafile renderer: the
// records are checked before anything is drawn (a damaged file is refused
// before any record is read past its end), then drawn so that the frame fits
// inside fitWidth x fitHeight pixels, over white. `problem` says what could
// not be drawn ("drawn without 3 records it does not know"), empty when the
// whole picture was. Throws std::runtime_error with the reason when it cannot
// be drawn at all.
struct EmfDrawing {
    vips::VImage image;
    std::string problem;
};
EmfDrawing RenderEmf(std::string_view bytes, int fitWidth, int fitHeight);

// The same drawing as a one-page PDF of `width` x `height` units, the pixels
// RenderEmf draws for the same box: shapes stay paths, text stays text,
// bitmaps stay images. Throws as RenderEmf does, and when the page cannot be
// written.
struct EmfPdf {
    int width = 0;
    int height = 0;
    std::string pdf;
    std::string problem;
};
EmfPdf DrawEmfAsPdf(std::string_view bytes, int fitWidth, int fitHeight);

// The box a metafile is drawn to fit for a page of `setup`: a drawing has no
// pixel size of its own, so it fills the area inside the margins. When the
// page turns by the drawing's shape, that shape is known only once drawn,
// so the box is a square that holds the area either way up.
struct MetafileBox {
    int width = 0;
    int height = 0;
};
MetafileBox MetafileBoxFor(const PageSetup& setup);

// The page a metafile drawn drawnWidth x drawnHeight pixels lands on:
// fitted inside the margins, at the page's resolution, so that a page of the
// drawing's own size keeps that size.
PageGeometry MetafilePageFor(const PageSetup& setup, int drawnWidth, int drawnHeight);

// Draws the metafile `bytes` for a page of `setup` as vectors into
// `destination`, a one-page PDF, sized and placed as the page picture of the
// same metafile shows it. A metafile the players cannot draw at all, or whose
// page cannot be written as a PDF, gives no page and no error: its page
// picture stands, with what it reports.
VectorPageResult WriteVectorPage(const PageSetup& setup, std::string_view bytes,
                                 const std::filesystem::path& destination);
