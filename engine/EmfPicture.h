#pragma once

#include <string>
#include <string_view>
#include <vips/vips8>

// True when `head` (the first bytes of a file) starts an enhanced metafile.
bool LooksLikeEmf(std::string_view head);

// An enhanced metafile drawn as a picture: the metafile is checked record by
// record first (a damaged one is refused before the converter reads past its
// end), turned into SVG by libemf2svg and rendered by libvips so that it fits
// inside fitWidth x fitHeight pixels, over white. Throws std::runtime_error with
// the reason when it cannot be drawn, including a metafile whose drawing is all
// in EMF+ records, which the converter cannot show.
vips::VImage RenderEmf(std::string bytes, int fitWidth, int fitHeight);
