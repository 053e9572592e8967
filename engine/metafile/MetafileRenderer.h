#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace metafile {

// A metafile drawn at the size that fits a page: `width` x `height` pixels,
// 8-bit RGB, rows top to bottom, on white. `problem` says what could not be
// drawn ("drawn without 3 records it does not know"), empty when all was.
struct RenderedMetafile {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    std::string problem;
};

// Draws an enhanced metafile, its GDI records or, in a file that has them and
// where they can stand for the drawing, its EMF+ records, as Windows plays
// them: the frame fitted inside fitWidth x fitHeight pixels with its
// proportions kept, anti-aliased. Throws std::runtime_error, in words a user
// understands, for a file that is not a metafile, is damaged or truncated, or
// has an empty or absurd frame.
RenderedMetafile DrawMetafileToFit(std::string_view bytes, int fitWidth, int fitHeight);

// The same drawing, by the same players, as a one-page PDF of `width` x
// `height` units, the pixels DrawMetafileToFit draws: shapes as paths, text as
// text in embedded font subsets, bitmaps as images; what PDF cannot draw
// (raster operations) as pixels at one a unit. Throws as DrawMetafileToFit
// does, and when cairo cannot write the page.
struct DrawnPdf {
    int width = 0;
    int height = 0;
    std::string pdf;
    std::string problem;
};
DrawnPdf DrawMetafileAsPdf(std::string_view bytes, int fitWidth, int fitHeight);

} // namespace metafile
