#pragma once

#include "JpegMarkers.h"
#include "PagePlacement.h"
#include "PngChunks.h"

#include <optional>
#include <vips/vips8>

// The resolution a decoded picture's file states, from what its libvips
// loader made of it, in pixels per inch along its stored axes; 0 x 0 when the
// file states none (libvips gives such a picture one pixel per millimetre). A
// TIFF resolution without a unit says only the shape of its pixels: its finer
// axis is taken at 96 dpi.
PictureResolution StatedResolution(const vips::VImage& picture);

// A JPEG as libvips loaded it, with the resolution its header states: libvips
// gives 72 dpi to a JPEG that states none, or whose JFIF density gives only
// the pixels' shape, which it drops. With an EXIF resolution or a JFIF density
// in inches or centimetres, libvips' own reading stands. `layout` is empty
// when the header could not be read; the picture is then left as it is.
vips::VImage WithJpegDensity(vips::VImage picture, const std::optional<JpegLayout>& layout);

// A PNG as libvips loaded it, read with its pHYs chunk. libvips gives 72 dpi
// to a PNG without one, and takes the numbers of a chunk without a unit,
// which give only the shape of the pixels, for pixels per millimetre (a 2:1
// chunk made a page of 50.8 x 25.4 dpi). The first states no resolution; in
// the second the finer axis is taken at 96 dpi, as for a TIFF without a unit.
vips::VImage WithPngDensity(vips::VImage picture, const ReadBytesAt& read);
