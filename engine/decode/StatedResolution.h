#pragma once

#include "PagePlacement.h"

#include <vips/vips8>

// The resolution a decoded picture's file states, from what its libvips
// loader made of it, in pixels per inch along its stored axes; 0 x 0 when the
// file states none. libvips gives one pixel per millimetre to a picture that
// states nothing, and 72 dpi to a JPEG without a density of its own: both
// count as none. A TIFF resolution without a unit says only the shape of its
// pixels: its finer axis is taken at 96 dpi.
PictureResolution StatedResolution(const vips::VImage& picture);
